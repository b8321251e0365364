#include "DataSource.h"

namespace kvui {

DataSource::~DataSource() = default;

bool DataSource::setValue(int, int, const QVariant&)
{
    return false;
}

int DataSource::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fieldCount(); ++i)
        if (fieldName(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

StaticDataSource::StaticDataSource(const QStringList& fields, const QList<int>& types)
{
    setFields(fields, types);
}

void StaticDataSource::setFields(const QStringList& fields, const QList<int>& types)
{
    m_fields = fields;
    m_types = types;
    m_rows.clear();
}

void StaticDataSource::appendRecord(const QVariantList& values)
{
    QVariantList row = values;
    while (row.size() < m_fields.size()) row << QVariant();
    m_rows << row;
}

void StaticDataSource::insertRecord(int before, const QVariantList& values)
{
    QVariantList row = values;
    while (row.size() < m_fields.size()) row << QVariant();
    m_rows.insert(qBound(0, before, int(m_rows.size())), row);
}

void StaticDataSource::removeRecord(int record)
{
    if (record >= 0 && record < m_rows.size()) m_rows.removeAt(record);
}

void StaticDataSource::clear()
{
    m_rows.clear();
}

QVariant StaticDataSource::value(int record, int field) const
{
    if (record < 0 || record >= m_rows.size() || field < 0 || field >= m_fields.size())
        return QVariant();
    return m_rows[record].value(field);
}

bool StaticDataSource::setValue(int record, int field, const QVariant& value)
{
    if (m_readOnly || record < 0 || record >= m_rows.size() || field < 0 || field >= m_fields.size())
        return false;
    m_rows[record][field] = value;
    return true;
}

} // namespace kvui
