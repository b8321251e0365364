#include "DataSetSource.h"

#include "Ado.h"

namespace kvui {

DataSetSource::DataSetSource(TCustomADODataSet* dataSet) : m_dataSet(dataSet) {}

void DataSetSource::setDataSet(TCustomADODataSet* dataSet)
{
    m_dataSet = dataSet;
    reset();
}

void DataSetSource::reset()
{
    m_changes.clear();
    notifyChanged();
}

int DataSetSource::recordCount() const
{
    return m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
}

int DataSetSource::fieldCount() const
{
    return m_dataSet && m_dataSet->Active() ? m_dataSet->FieldCount() : 0;
}

QString DataSetSource::fieldName(int field) const
{
    if (field < 0 || field >= fieldCount()) return QString();
    return m_dataSet->Fields()->Field(field)->FieldName();
}

int DataSetSource::fieldType(int field) const
{
    if (field < 0 || field >= fieldCount()) return QMetaType::UnknownType;
    switch (m_dataSet->Fields()->Field(field)->DataType()) {
    case ftWideString: return QMetaType::QString;
    case ftInteger: case ftLargeint: return QMetaType::LongLong;
    case ftBoolean: return QMetaType::Bool;
    case ftFloat: case ftBCD: return QMetaType::Double;
    case ftDateTime: return QMetaType::QDateTime;
    default: return QMetaType::UnknownType;
    }
}

QVariant DataSetSource::value(int record, int field) const
{
    if (record < 0 || record >= recordCount() || field < 0 || field >= fieldCount()) return QVariant();
    auto it = m_changes.constFind(qMakePair(record, field));
    if (it != m_changes.constEnd()) return *it;
    // Read the record and put the cursor back where the owner left it.
    int saved = m_dataSet->RecNo();
    bool eof = m_dataSet->Eof();
    m_dataSet->SetRecNo(record + 1);
    QVariant v = m_dataSet->Fields()->Field(field)->Value();
    if (saved > 0 && !eof) {
        m_dataSet->SetRecNo(saved);
    } else {
        m_dataSet->Last();
        m_dataSet->Next();
    }
    return v;
}

bool DataSetSource::setValue(int record, int field, const QVariant& value)
{
    if (m_readOnly || record < 0 || record >= recordCount() || field < 0 || field >= fieldCount()) return false;
    m_changes.insert(qMakePair(record, field), value);
    return true;
}

void DataSetSource::moveTo(int record)
{
    if (m_dataSet && m_dataSet->Active() && record >= 0 && record < recordCount()) m_dataSet->SetRecNo(record + 1);
}

} // namespace kvui
