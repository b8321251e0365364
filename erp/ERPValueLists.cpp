#include "ERPValueLists.h"

#include "Exceptions.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QJsonValue jsonValue(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QJsonValue::Null;
    switch (v.metaType().id()) {
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QDateTime:
        return v.toDateTime().toString(Qt::ISODate);
    default:
        return QJsonValue::fromVariant(v);
    }
}

} // namespace

QVariant TERPValueList::GetValue(const QString& name)
{
    for (const auto& [key, value] : FItems)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return QVariant();
}

void TERPValueList::SetValue(const QString& name, const QVariant& value)
{
    for (auto& item : FItems)
        if (item.first.compare(name, Qt::CaseInsensitive) == 0) {
            item.second = value;
            return;
        }
    FItems.append({name, value});
}

QString TERPValueList::ToJson(const QStringList& except) const
{
    QJsonObject o;
    for (const auto& [key, value] : FItems)
        if (!except.contains(key, Qt::CaseInsensitive))
            o.insert(key, jsonValue(value));
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

IValueListPtr TERPRowList::Add()
{
    FRows.append(std::make_shared<TERPValueList>());
    return FRows.last();
}

IValueListPtr TERPRowList::GetRow(int AIndex)
{
    if (AIndex < 0 || AIndex >= FRows.size())
        throw Exception(QStringLiteral("单据行号%1超出范围!").arg(AIndex));
    return FRows[AIndex];
}
