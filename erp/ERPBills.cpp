#include "ERPBills.h"

#include "Ado.h"
#include "ERPBillNumbers.h"
#include "ERPBomBills.h"
#include "ERPForecastBills.h"
#include "ERPOrderBills.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

QString quoted(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

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

TERPBillKind ERPBillKind(int kind)
{
    // Prefixes of the bill kinds the planning screens write; others get "B" and the kind.
    static const QList<TERPBillKind> kinds = {
        {1, QStringLiteral("FC"), 500},  // forecast
        {4, QStringLiteral("PR"), 200},  // purchase requisition
        {5, QStringLiteral("PO"), 200},  // purchase order
        {6, QStringLiteral("PI"), 200},  // purchase receipt under inspection
        {7, QStringLiteral("OR"), 200},  // subcontract requisition
        {8, QStringLiteral("OO"), 200},  // subcontract order
        {9, QStringLiteral("MR"), 200},  // production request
        {10, QStringLiteral("MO"), 1},   // production order: one item per order
        {16, QStringLiteral("BO"), 500}, // bill-of-materials operation document
    };
    for (const TERPBillKind& k : kinds)
        if (k.Kind == kind)
            return k;
    return {kind, QStringLiteral("B%1").arg(kind, 2, 10, QLatin1Char('0')), 200};
}

TERPBill::TERPBill(int kind, std::shared_ptr<TADOConnection> connection, quint16 maxRows)
    : FKind(kind), FMaxRows(maxRows ? maxRows : ERPBillKind(kind).MaxRows), FConnection(std::move(connection)), FHead(std::make_shared<TERPValueList>())
{
}

IRowListPtr TERPBill::Details(const QString& name)
{
    for (const auto& [listName, rows] : FDetails)
        if (listName.compare(name, Qt::CaseInsensitive) == 0)
            return rows;
    FDetails.append({name, std::make_shared<TERPRowList>()});
    return FDetails.last().second;
}

QString TERPBill::NextBillNo(const QDate& day)
{
    if (FKind == ERPForecastBillKind)
        return NextForecastBillNo(FConnection.get(), day);
    const QString stem = ERPBillKind(FKind).Prefix + day.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-');
    return NextDayBillNo(FConnection.get(), QStringLiteral("ERP_Bills"), QStringLiteral("BillNo"),
                         QStringLiteral("BillKind=%1").arg(FKind), stem);
}

void TERPBill::store()
{
    kvado::ScopedTransaction transaction(FConnection.get());
    if (FKind == ERPForecastBillKind) {
        StoreForecastBill(FConnection.get(), *FHead, std::dynamic_pointer_cast<TERPRowList>(Details(QStringLiteral("Rows"))).get());
        transaction.Commit();
        return;
    }

    // A number given by the caller is kept unless another bill of the kind has it.
    QString billNo = FHead->GetValue(QStringLiteral("BillNo")).toString().trimmed();
    if (!billNo.isEmpty()) {
        TADOQuery q;
        q.SetConnection(FConnection.get());
        q.SQL.Add(QStringLiteral("select BillID from ERP_Bills with(nolock) where BillKind=%1 and BillNo=%2").arg(FKind).arg(quoted(billNo)));
        q.Open();
        if (!q.IsEmpty())
            billNo.clear();
    }
    if (billNo.isEmpty())
        billNo = NextBillNo(QDate::currentDate());

    TADOQuery q;
    q.SetConnection(FConnection.get());
    q.SQL.Add(QStringLiteral("insert ERP_Bills (BillKind, BillNo, BillDate, UserID, HeadValues) values (%1, %2, getdate(), %3, %4)\r"
                             "select [BillID]=@@identity")
                  .arg(FKind)
                  .arg(quoted(billNo), quoted(FHead->GetValue(QStringLiteral("UserID")).toString()),
                       quoted(FHead->ToJson({QStringLiteral("BillNo")}))));
    q.Open();
    const int billID = q.FieldByName(QStringLiteral("BillID"))->AsInteger();
    q.Close();

    for (const auto& [listName, rows] : FDetails) {
        int rowNo = 0;
        for (const auto& row : rows->Rows()) {
            ++rowNo;
            FConnection->Execute(QStringLiteral("insert ERP_BillRows (BillID, ListName, RowNo, RowValues) values (%1, %2, %3, %4)")
                                     .arg(billID)
                                     .arg(quoted(listName))
                                     .arg(rowNo)
                                     .arg(quoted(row->ToJson({QStringLiteral("WriteBackSQL")}))));
            const QString writeBack = row->GetValue(QStringLiteral("WriteBackSQL")).toString();
            if (!writeBack.trimmed().isEmpty())
                FConnection->Execute(writeBack);
        }
    }
    if (IsERPOrderBillKind(FKind))
        StoreOrderBill(FConnection.get(), FKind, billID, billNo, *FHead, [this](const QString& name) -> const TERPRowList* {
            for (const auto& [listName, rows] : FDetails)
                if (listName.compare(name, Qt::CaseInsensitive) == 0)
                    return rows.get();
            return nullptr;
        });
    if (FKind == ERPBomBillKind)
        StoreBomOperationBill(FConnection.get(), *FHead, std::dynamic_pointer_cast<TERPRowList>(Details(QStringLiteral("ItemSubs"))).get(),
                              std::dynamic_pointer_cast<TERPRowList>(Details(QStringLiteral("Rows"))).get());
    transaction.Commit();
    FHead->SetValue(QStringLiteral("BillID"), billID);
    FHead->SetValue(QStringLiteral("BillNo"), billNo);
}

bool TERPBill::Save(QString& errorText)
{
    errorText.clear();
    if (FSaved) {
        errorText = QStringLiteral("单据已经保存, 不能再次保存!");
        return false;
    }
    if (!FConnection || !FConnection->Connected()) {
        errorText = QStringLiteral("尚未登录ERP账套, 不能保存单据!");
        return false;
    }
    const quint16 maxRows = FMaxRows;
    for (const auto& [listName, rows] : FDetails)
        if (listName.compare(QLatin1String("Rows"), Qt::CaseInsensitive) == 0 && rows->GetCount() > maxRows) {
            errorText = QStringLiteral("单据体内容不允许超过 %1 行!").arg(maxRows);
            return false;
        }
    try {
        store();
    } catch (const std::exception& e) {
        const auto* ex = dynamic_cast<const Exception*>(&e);
        errorText = ex ? ex->Message : QString::fromUtf8(e.what());
        return false;
    }
    FSaved = true;
    return true;
}
