#include "ERPBills.h"

#include "Ado.h"
#include "ERPBillNumbers.h"
#include "untApplication.h"

#include <QDate>

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

TERPDetailLookup TERPBill::DetailLookup() const
{
    return [this](const QString& name) -> const TERPRowList* {
        for (const auto& [listName, rows] : FDetails)
            if (listName.compare(name, Qt::CaseInsensitive) == 0)
                return rows.get();
        return nullptr;
    };
}

QString TERPBill::NextBillNo(const QDate& day)
{
    const TERPBillKind kind = ERPBillKind(FKind);
    if (kind.NextOwnBillNo)
        return kind.NextOwnBillNo(FConnection.get(), day);
    const QString stem = kind.Prefix + day.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-');
    return NextDayBillNo(FConnection.get(), QStringLiteral("ERP_Bills"), QStringLiteral("BillNo"),
                         QStringLiteral("BillKind=%1").arg(FKind), stem);
}

void TERPBill::store()
{
    kvado::ScopedTransaction transaction(FConnection.get());
    const TERPBillKind kind = ERPBillKind(FKind);
    if (kind.StoreOwn) {
        kind.StoreOwn(FConnection.get(), *FHead, DetailLookup());
        transaction.Commit();
        return;
    }

    // A number given by the caller is kept unless another bill of the kind has it.
    QString billNo = FHead->GetValue(QStringLiteral("BillNo")).toString().trimmed();
    if (!billNo.isEmpty()) {
        TADOQuery q;
        q.SetConnection(FConnection.get());
        q.SQL.Add(QStringLiteral("select BillID from ERP_Bills with(nolock) where BillKind=%1 and BillNo=%2").arg(FKind).arg(QuotedStr(billNo)));
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
                  .arg(QuotedStr(billNo), QuotedStr(FHead->GetValue(QStringLiteral("UserID")).toString()),
                       QuotedStr(FHead->ToJson({QStringLiteral("BillNo")}))));
    q.Open();
    const int billID = q.FieldByName(QStringLiteral("BillID"))->AsInteger();
    q.Close();

    for (const auto& [listName, rows] : FDetails) {
        int rowNo = 0;
        for (const auto& row : rows->Rows()) {
            ++rowNo;
            FConnection->Execute(QStringLiteral("insert ERP_BillRows (BillID, ListName, RowNo, RowValues) values (%1, %2, %3, %4)")
                                     .arg(billID)
                                     .arg(QuotedStr(listName))
                                     .arg(rowNo)
                                     .arg(QuotedStr(row->ToJson({QStringLiteral("WriteBackSQL")}))));
            const QString writeBack = row->GetValue(QStringLiteral("WriteBackSQL")).toString();
            if (!writeBack.trimmed().isEmpty())
                FConnection->Execute(writeBack);
        }
    }
    if (kind.StoreAlso)
        kind.StoreAlso(FConnection.get(), FKind, billID, billNo, *FHead, DetailLookup());
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
