#include "ERPForecastBills.h"

#include "Ado.h"
#include "ERPBillNumbers.h"
#include "ERPValueLists.h"
#include "UCommon.h"
#include "untApplication.h"

#include <QUuid>

namespace {

// A text value, or null for an empty one.
QString textOrNull(const QVariant& value)
{
    const QString text = value.isNull() ? QString() : value.toString().trimmed();
    return text.isEmpty() ? QStringLiteral("null") : QuotedStr(text);
}

QDateTime dateTimeOf(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QDateTime();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::QDateTime:
        return value.toDateTime();
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    QDateTime result = StrToDateTime(text);
    if (!result.isValid())
        result = QDateTime::fromString(text, Qt::ISODate);
    return result;
}

QString dateLiteral(const QDateTime& value)
{
    return QuotedStr(value.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")));
}

bool numberOf(const QVariant& value, double& number)
{
    if (!value.isValid() || value.isNull() || value.toString().trimmed().isEmpty()) {
        number = 0;
        return true;
    }
    bool ok = false;
    number = value.toString().trimmed().toDouble(&ok);
    if (!ok)
        number = value.toDouble(&ok);
    return ok;
}

QString quantityLiteral(double value)
{
    return QString::number(value, 'f', 8);
}

// The first row of a statement; an empty list when there is none.
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

} // namespace

QString NextForecastBillNo(TADOConnection* AConnection, const QDate& ADay)
{
    const QString stem = QStringLiteral("FC") + ADay.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('-');
    return NextDayBillNo(AConnection, QStringLiteral("QZ_MRP_ForcastHead"), QStringLiteral("ForNo"), QString(), stem);
}

void StoreForecastBill(TADOConnection* AConnection, TERPValueList& AHead, const TERPRowList* ARows)
{
    const QList<std::shared_ptr<TERPValueList>> rows = ARows ? ARows->Rows() : QList<std::shared_ptr<TERPValueList>>();
    if (rows.isEmpty())
        refuse(QStringLiteral("预测单没有明细行, 不能保存!"));
    const QDateTime billDate = dateTimeOf(AHead.GetValue(QStringLiteral("Date")));
    if (!billDate.isValid())
        refuse(QStringLiteral("预测单的单据日期无效!"));
    const QString billDay = QuotedStr(billDate.date().toString(QStringLiteral("yyyyMMdd")));

    // An existing bill may be changed only while it is not checked.
    QString billID = AHead.GetValue(QStringLiteral("BillID")).toString().trimmed();
    const bool isNew = billID.isEmpty();
    if (!isNew) {
        const QVariantList head = firstRow(
            AConnection, QStringLiteral("select Checked=isnull(h.Checked,0)+(select count(*) from QZ_MRP_Forcast as s with(nolock) "
                                        "where s.ForID=h.ForID and s.Checked=1) from QZ_MRP_ForcastHead as h with(nolock) "
                                        "where h.ForID=%1")
                             .arg(QuotedStr(billID)));
        if (head.isEmpty())
            refuse(QStringLiteral("预测单\"%1\"不存在, 可能已被删除!").arg(billID));
        if (head.first().toInt() > 0)
            refuse(QStringLiteral("预测单\"%1\"已审核, 不能修改!").arg(billID));
    }

    // A number given is kept when no other forecast has it; none given: the next free one.
    QString billNo = AHead.GetValue(QStringLiteral("BillNo")).toString().trimmed();
    if (billNo.isEmpty()) {
        billNo = NextForecastBillNo(AConnection, QDate::currentDate());
    } else {
        QString sql = QStringLiteral("select ForID from QZ_MRP_ForcastHead with(nolock) where ForNo=%1").arg(QuotedStr(billNo));
        if (!isNew)
            sql += QStringLiteral(" and ForID<>") + QuotedStr(billID);
        if (!firstRow(AConnection, sql).isEmpty())
            refuse(QStringLiteral("单据编号\"%1\"已被其他预测单使用, 不能保存!").arg(billNo));
    }
    if (isNew)
        billID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();

    // The lines, checked before anything is written.
    QStringList lines;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        TERPValueList& row = *rows[i];
        const int entry = int(i) + 1;
        const QString itemID = row.GetValue(QStringLiteral("ItemID")).toString().trimmed();
        if (itemID.isEmpty()
            || firstRow(AConnection, QStringLiteral("select ItmID from QZ_Base_ItemMaster with(nolock) where ItmID=%1")
                                         .arg(QuotedStr(itemID)))
                   .isEmpty())
            refuse(QStringLiteral("第%1行的物料(%2)不存在!").arg(entry).arg(itemID));
        double qty = 0, stdQty = 0;
        if (!numberOf(row.GetValue(QStringLiteral("Qty")), qty) || !numberOf(row.GetValue(QStringLiteral("StdQty")), stdQty)
            || stdQty <= 0)
            refuse(QStringLiteral("第%1行的数量必须大于0!").arg(entry));
        const QDateTime delivery = dateTimeOf(row.GetValue(QStringLiteral("Date")));
        if (!delivery.isValid())
            refuse(QStringLiteral("第%1行的交货日期无效!").arg(entry));
        double groupType = 0;
        numberOf(row.GetValue(QStringLiteral("MRPGroupType")), groupType);
        QString props;
        for (int n = 1; n <= 10; ++n)
            props += QStringLiteral(", ") + textOrNull(row.GetValue(QStringLiteral("ItemProp%1").arg(n)));
        // Values joined as they are: no text of the line is ever read as a placeholder.
        const QStringList values{QuotedStr(billID), QuotedStr(billNo), QString::number(entry), billDay,
                                 textOrNull(row.GetValue(QStringLiteral("CustID"))), QuotedStr(itemID),
                                 QuotedStr(row.GetValue(QStringLiteral("ItemProps")).toString().trimmed()) + props,
                                 textOrNull(row.GetValue(QStringLiteral("UnitID"))), quantityLiteral(stdQty),
                                 quantityLiteral(stdQty), QStringLiteral("0"), quantityLiteral(qty), dateLiteral(delivery),
                                 QStringLiteral("0"), textOrNull(row.GetValue(QStringLiteral("OrigTag"))),
                                 textOrNull(row.GetValue(QStringLiteral("OrigSubTag"))), QString::number(int(groupType)),
                                 QuotedStr(int(groupType) == 0 ? QString()
                                                            : row.GetValue(QStringLiteral("MRPGroupNo")).toString().trimmed()),
                                 textOrNull(row.GetValue(QStringLiteral("Note"))), QStringLiteral("0, 0, 0")};
        lines << QStringLiteral("insert QZ_MRP_Forcast (ForID, ForNo, ForEntry, ForDate, ForCustID, ForItmID, ForItmProps, "
                                "ForItmProp1, ForItmProp2, ForItmProp3, ForItmProp4, ForItmProp5, ForItmProp6, ForItmProp7, "
                                "ForItmProp8, ForItmProp9, ForItmProp10, ForUntID, ForBillQty, ForQty, ForOkQty, ForUBillQty, "
                                "ForDelivDate, ForBomType, ForTag, ForSubTag, ForGroupType, ForGroupNo, ForNote, Checked, "
                                "Closed, CanMRP) values (")
                + values.join(QStringLiteral(", ")) + u')';
    }

    const QString user = AHead.GetValue(QStringLiteral("UserID")).toString().trimmed();
    if (isNew) {
        AConnection->Execute(QStringLiteral("insert QZ_MRP_ForcastHead (ForID, ForNo, ForDate, ForUsrID, Checked, Closed) "
                                            "values (%1, %2, %3, %4, 0, 0)")
                                 .arg(QuotedStr(billID), QuotedStr(billNo), billDay, user.isEmpty() ? QStringLiteral("null") : QuotedStr(user)));
    } else {
        // The lines are written anew; the planning extension of a line that no
        // longer exists goes with it.
        AConnection->Execute(QStringLiteral("update QZ_MRP_ForcastHead set ForNo=%2, ForDate=%3 where ForID=%1\n"
                                            "delete QZ_MRP_Forcast where ForID=%1\n"
                                            "delete QZ_MRP_ForcastExt where ForID=%1 and ForEntry>%4")
                                 .arg(QuotedStr(billID), QuotedStr(billNo), billDay, QString::number(rows.size())));
    }
    for (const QString& line : lines)
        AConnection->Execute(line);

    AHead.SetValue(QStringLiteral("BillID"), billID);
    AHead.SetValue(QStringLiteral("BillNo"), billNo);
}
