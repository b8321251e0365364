#include "ERPBomBills.h"

#include "Ado.h"
#include "ERPValueLists.h"
#include "UCommon.h"
#include "untApplication.h"

namespace {

QString textOf(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString().trimmed();
}

QString textOrNull(const QVariant& value)
{
    const QString text = textOf(value);
    return text.isEmpty() ? QStringLiteral("null") : QuotedStr(text);
}

QDate dateOf(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QDate();
    if (value.metaType().id() == QMetaType::QDate)
        return value.toDate();
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime().date();
    const QString text = value.toString().trimmed();
    QDate d = StrToDateTime(text).date();
    if (!d.isValid())
        d = QDateTime::fromString(text, Qt::ISODate).date();
    if (!d.isValid())
        d = QDate::fromString(text, Qt::ISODate);
    return d;
}

QString dateLiteral(const QDate& d)
{
    return d.isValid() ? QuotedStr(d.toString(QStringLiteral("yyyy/MM/dd"))) : QStringLiteral("null");
}

bool quantityOf(const QVariant& value, double& number)
{
    bool ok = false;
    number = value.isNull() ? 0 : value.toString().trimmed().toDouble(&ok);
    if (!ok && !value.isNull())
        number = value.toDouble(&ok);
    return ok && number > 0;
}

QVariantList firstRow(TADOConnection* connection, const QString& sql)
{
    TADOQuery q;
    q.SetConnection(connection);
    q.SQL.Add(sql);
    q.Open();
    QVariantList row;
    if (!q.IsEmpty())
        for (int i = 0; i < q.Fields()->Count(); ++i)
            row << q.Fields()->Field(i)->Value();
    q.Close();
    return row;
}

[[noreturn]] void refuse(const QString& reason)
{
    throw Exception(reason);
}

// The substitutes of one bill row or one item, as the document lists them.
struct Group {
    QString ItemID;
    QString RowHook;
    QList<TERPValueList*> Rows;
};

} // namespace

void StoreBomOperationBill(TADOConnection* AConnection, TERPValueList& AHead, const TERPRowList* AItemSubs, const TERPRowList* ARows)
{
    const bool anySubs = AItemSubs && !AItemSubs->Rows().empty();
    const bool anyRows = ARows && !ARows->Rows().empty();
    if (!anySubs && !anyRows)
        return;
    const QString bomID = textOf(AHead.GetValue(QStringLiteral("BomID")));
    const bool global = bomID.isEmpty();
    int bomType = 0;
    if (!global) {
        bool ok = false;
        bomType = textOf(AHead.GetValue(QStringLiteral("BomType"))).toInt(&ok);
        if (!ok || firstRow(AConnection, QStringLiteral("select BomID from QZ_MRP_ItemBOMs with(nolock) where BomType=%1 and BomID=%2")
                                             .arg(bomType)
                                             .arg(QuotedStr(bomID)))
                       .isEmpty())
            refuse(QStringLiteral("BOM(%1)不存在!").arg(bomID));
    }

    QStringList statements;
    if (anyRows) {
        if (global)
            refuse(QStringLiteral("全局范围没有BOM行, 不能修改投料损耗率!"));
        for (const auto& row : ARows->Rows()) {
            const QString hook = textOf(row->GetValue(QStringLiteral("RowHook")));
            bool entryOk = false;
            const int entry = textOf(row->GetValue(QStringLiteral("BomEntry"))).toInt(&entryOk);
            const QString where = QStringLiteral("BomType=%1 and BomID=%2 and ").arg(bomType).arg(QuotedStr(bomID)) +
                (hook.isEmpty() ? QStringLiteral("BomEntry=%1").arg(entry) : QStringLiteral("BomRowHook=%1").arg(QuotedStr(hook)));
            if ((hook.isEmpty() && !entryOk) ||
                firstRow(AConnection, QStringLiteral("select BomEntry from QZ_MRP_ItemBOMLines with(nolock) where ") + where).isEmpty())
                refuse(QStringLiteral("BOM(%1)中不存在标识为(%2)的行!").arg(bomID, hook.isEmpty() ? textOf(row->GetValue(QStringLiteral("BomEntry"))) : hook));
            statements << QStringLiteral("update QZ_MRP_ItemBOMLines set BomPutLossRate=%1 where ").arg(textOrNull(row->GetValue(QStringLiteral("PutLossRate")))) +
                    where;
        }
    }

    QList<Group> groups;
    const QList<std::shared_ptr<TERPValueList>> noRows;
    for (const auto& row : anySubs ? AItemSubs->Rows() : noRows) {
        const QString item = textOf(row->GetValue(QStringLiteral("ItemID")));
        const QString hook = global ? QString() : textOf(row->GetValue(QStringLiteral("RowHook")));
        if (item.isEmpty())
            refuse(QStringLiteral("替代料行缺少被替代物料!"));
        Group* group = nullptr;
        for (Group& g : groups)
            if (g.ItemID.compare(item, Qt::CaseInsensitive) == 0 && g.RowHook.compare(hook, Qt::CaseInsensitive) == 0)
                group = &g;
        if (!group) {
            groups.append({item, hook, {}});
            group = &groups.last();
        }
        group->Rows << row.get();
    }

    for (const Group& g : groups) {
        QString itemProps;
        if (global) {
            if (firstRow(AConnection, QStringLiteral("select ItmID from QZ_Base_ItemMaster with(nolock) where ItmID=%1").arg(QuotedStr(g.ItemID)))
                    .isEmpty())
                refuse(QStringLiteral("物料(%1)不存在!").arg(g.ItemID));
            // Global substitutes are kept for the item itself, whatever its properties.
            statements << QStringLiteral("delete QZ_MRP_ItemSubstitutes where SubGlobal=1 and SubItmID=%1 and SubProps=''").arg(QuotedStr(g.ItemID));
        } else {
            if (g.RowHook.isEmpty())
                refuse(QStringLiteral("BOM(%1)的替代料行缺少BOM行标识!").arg(bomID));
            const QVariantList line =
                firstRow(AConnection, QStringLiteral("select BomItmID, BomProps from QZ_MRP_ItemBOMLines with(nolock) where BomType=%1 "
                                                     "and BomID=%2 and BomRowHook=%3")
                                          .arg(bomType)
                                          .arg(QuotedStr(bomID), QuotedStr(g.RowHook)));
            if (line.isEmpty())
                refuse(QStringLiteral("BOM(%1)中不存在标识为(%2)的行!").arg(bomID, g.RowHook));
            if (textOf(line.value(0)).compare(g.ItemID, Qt::CaseInsensitive) != 0)
                refuse(QStringLiteral("BOM(%1)中标识为(%2)的行的物料不是(%3)!").arg(bomID, g.RowHook, g.ItemID));
            itemProps = textOf(line.value(1));
            // The row's own substitutes, and those recorded for its item in the
            // bill without a row (they stand under every row of that item).
            statements << QStringLiteral("delete QZ_MRP_ItemSubstitutes where SubGlobal=0 and SubBomType=%1 and SubBomID=%2 and "
                                         "(BomRowHook=%3 or isnull(BomRowHook,'')='' and SubItmID=%4 and SubProps=%5)")
                              .arg(bomType)
                              .arg(QuotedStr(bomID), QuotedStr(g.RowHook), QuotedStr(g.ItemID), QuotedStr(itemProps));
        }
        int priority = 0;
        for (TERPValueList* row : g.Rows) {
            const QString sub = textOf(row->GetValue(QStringLiteral("SubItemID")));
            if (sub.isEmpty())
                continue;
            if (firstRow(AConnection, QStringLiteral("select ItmID from QZ_Base_ItemMaster with(nolock) where ItmID=%1").arg(QuotedStr(sub)))
                    .isEmpty())
                refuse(QStringLiteral("替代物料(%1)不存在!").arg(sub));
            if (sub.compare(g.ItemID, Qt::CaseInsensitive) == 0 && textOf(row->GetValue(QStringLiteral("SubItemProps"))) == itemProps)
                refuse(QStringLiteral("物料(%1)不能替代其自身!").arg(sub));
            double qty = 0;
            double rqty = 0;
            if (!quantityOf(row->GetValue(QStringLiteral("Qty")), qty) || !quantityOf(row->GetValue(QStringLiteral("RQty")), rqty))
                refuse(QStringLiteral("物料(%1)的替代物料(%2)的数量必须大于0!").arg(g.ItemID, sub));
            const QDate begin = dateOf(row->GetValue(QStringLiteral("BeginDate")));
            const QDate end = dateOf(row->GetValue(QStringLiteral("EndDate")));
            if (begin.isValid() && end.isValid() && begin >= end)
                refuse(QStringLiteral("物料(%1)的替代物料(%2)的生效日期必须早于失效日期!").arg(g.ItemID, sub));
            QStringList props;
            for (int n = 1; n <= 10; ++n)
                props << textOrNull(row->GetValue(QStringLiteral("SubItemProp%1").arg(n)));
            statements << QStringLiteral("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, "
                                         "SubRProps, SubRProp1, SubRProp2, SubRProp3, SubRProp4, SubRProp5, SubRProp6, SubRProp7, "
                                         "SubRProp8, SubRProp9, SubRProp10, SubQty, SubRQty, SubPriority, SubGlobal, SubReplace, "
                                         "SubBeginDate, SubEndDate, SubNote) values (%1, %2, %3, %4, %5, %6, %7, %8, %9, %10, %11, "
                                         "%12, 0, %13, %14, %15)")
                              .arg(global ? QStringLiteral("null") : QString::number(bomType), global ? QStringLiteral("null") : QuotedStr(bomID),
                                   global ? QStringLiteral("null") : QuotedStr(g.RowHook), QuotedStr(g.ItemID), QuotedStr(itemProps), QuotedStr(sub),
                                   QuotedStr(textOf(row->GetValue(QStringLiteral("SubItemProps")))), props.join(QStringLiteral(", ")),
                                   QString::number(qty, 'f', 8))
                              .arg(QString::number(rqty, 'f', 8), QString::number(++priority), global ? QStringLiteral("1") : QStringLiteral("0"),
                                   dateLiteral(begin), dateLiteral(end), textOrNull(row->GetValue(QStringLiteral("Note"))));
        }
    }
    for (const QString& sql : statements)
        AConnection->Execute(sql);
}
