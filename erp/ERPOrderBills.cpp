#include "ERPOrderBills.h"

#include "Ado.h"
#include "ERPValueLists.h"
#include "untApplication.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <cmath>

namespace {

QString text(TERPValueList& AValues, const QString& AName)
{
    const QVariant v = AValues.GetValue(AName);
    return v.isNull() ? QString() : v.toString().trimmed();
}

QString textOrNull(TERPValueList& AValues, const QString& AName)
{
    const QString t = text(AValues, AName);
    return t.isEmpty() ? QStringLiteral("null") : QuotedStr(t);
}

double number(TERPValueList& AValues, const QString& AName, double AEmpty = 0)
{
    bool ok = false;
    const double n = AValues.GetValue(AName).toDouble(&ok);
    return ok && std::isfinite(n) ? n : AEmpty;
}

QString qtyLiteral(double AValue)
{
    return QString::number(AValue, 'f', 8);
}

// A quantity given as a decimal text is stored as written: a number of
// sixteen digits and more would not keep its last decimals.
QString qtyLiteral(TERPValueList& AValues, const QString& AName)
{
    static const QRegularExpression exact(QStringLiteral("^-?[0-9]{1,20}(\\.[0-9]{1,8})?$"));
    const QVariant v = AValues.GetValue(AName);
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        if (exact.match(t).hasMatch())
            return t;
    }
    return qtyLiteral(number(AValues, AName));
}

// A date value: days since 1899-12-30, a date or a date text; null when none.
QString dateOrNull(TERPValueList& AValues, const QString& AName)
{
    const QVariant v = AValues.GetValue(AName);
    QDate d;
    if (v.typeId() == QMetaType::QDate)
        d = v.toDate();
    else if (v.typeId() == QMetaType::QDateTime)
        d = v.toDateTime().date();
    else if (bool ok = false; (void)v.toDouble(&ok), ok)
        d = QDate(1899, 12, 30).addDays(qint64(std::floor(v.toDouble())));
    else
        d = QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? QuotedStr(d.toString(QStringLiteral("yyyyMMdd"))) : QStringLiteral("null");
}

// The planning bill type of an origin document kind (the reverse of the
// output's mapping of demand types).
QString origTypeOrNull(TERPValueList& ARow)
{
    switch (int(number(ARow, QStringLiteral("OrigType")))) {
    case 0: return QStringLiteral("null");
    case 1: return QStringLiteral("8");
    case 2: return QStringLiteral("2");
    case 3: return QStringLiteral("4");
    default: return QString::number(int(number(ARow, QStringLiteral("OrigType"))));
    }
}

QString itemProps(TERPValueList& ARow)
{
    QString props = QuotedStr(text(ARow, QStringLiteral("ItemProps")));
    for (int n = 1; n <= 10; ++n)
        props += QStringLiteral(", ") + textOrNull(ARow, QStringLiteral("ItemProp%1").arg(n));
    return props;
}

QString propColumns(const QString& APrefix)
{
    QString columns = APrefix + QStringLiteral("Props");
    for (int n = 1; n <= 10; ++n)
        columns += QStringLiteral(", %1Prop%2").arg(APrefix).arg(n);
    return columns;
}

struct TOrderLine {
    QString ID, No;
    int Entry = 0;
    QString Origin;     // the origin values in the order of the component tables' columns
};

// Collects the material rows of a list, a sub-assembly with a list of its own as that list's rows.
void collectMaterials(const std::function<const TERPRowList*(const QString&)>& ADetails, const QString& AListName,
                      QList<std::shared_ptr<TERPValueList>>& AOut, int ADepth)
{
    const TERPRowList* list = ADetails(AListName);
    if (!list || ADepth > 32)
        return;
    for (const auto& row : list->Rows()) {
        const QString body = text(*row, QStringLiteral("SupBomBody"));
        const TERPRowList* own = body.isEmpty() ? nullptr : ADetails(body);
        if (own && !own->Rows().isEmpty())
            collectMaterials(ADetails, body, AOut, ADepth + 1);
        else
            AOut << row;
    }
}

} // namespace

namespace {

// How one order document kind is kept in the account set: the table (and
// column prefix) of its lines, whether it is made from materials (draw date
// and bill of materials), whether its lines carry a status and a quantity under
// inspection, and the table of its component lines (none for requisitions:
// the next run explodes their bill of materials).
struct TOrderTable {
    int Kind;
    const char* Prefix;
    bool Made;
    bool Ordered;
    const char* Components;
};

const TOrderTable OrderTables[] = {
    {10, "MO", true, true, "QZ_MRP_MOBOM"}, // production order (planning bill type 22)
    {8, "OO", true, true, "QZ_MRP_OOBOM"},  // subcontract order (24)
    {7, "OR", true, false, nullptr},        // subcontract requisition (36)
    {4, "PR", false, false, nullptr},       // purchase requisition (38)
};

const TOrderTable* orderTable(int AKind)
{
    for (const TOrderTable& t : OrderTables)
        if (t.Kind == AKind)
            return &t;
    return nullptr;
}

} // namespace

void StoreOrderBill(TADOConnection* AConnection, int AKind, int ABillID, const QString& ABillNo, TERPValueList& AHead,
                    const std::function<const TERPRowList*(const QString&)>& ADetails)
{
    const TOrderTable* table = orderTable(AKind);
    if (!table)
        return;
    const QString p = QLatin1String(table->Prefix);
    const bool made = table->Made;
    const QString id = QStringLiteral("%1-%2").arg(AKind).arg(ABillID);
    const QString billDate = dateOrNull(AHead, QStringLiteral("Date")) == QLatin1String("null")
        ? QuotedStr(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")))
        : dateOrNull(AHead, QStringLiteral("Date"));
    const TERPRowList* rows = ADetails(QStringLiteral("Rows"));
    if (!rows)
        return;

    int entry = 0;
    for (const auto& rowPtr : rows->Rows()) {
        TERPValueList& row = *rowPtr;
        ++entry;
        const QString itemID = text(row, QStringLiteral("ItemID"));
        if (itemID.isEmpty())
            throw Exception(QStringLiteral("第%1行没有物料, 不能保存!").arg(entry));
        const double stdQty = number(row, QStringLiteral("StdQty"));
        const double unitRate = number(row, QStringLiteral("UnitRate"), 1);
        const double billQty = unitRate != 0 ? stdQty / unitRate : stdQty;
        const QString party = textOrNull(row, QStringLiteral("SupID"));
        const QString origin = QStringList{origTypeOrNull(row), textOrNull(row, QStringLiteral("OrigID")),
                                           textOrNull(row, QStringLiteral("OrigNo")),
                                           row.GetValue(QStringLiteral("OrigEntry")).isNull()
                                               ? QStringLiteral("null")
                                               : QString::number(int(number(row, QStringLiteral("OrigEntry")))),
                                           textOrNull(row, QStringLiteral("OrigItemID")), textOrNull(row, QStringLiteral("OrigCustID")),
                                           textOrNull(row, QStringLiteral("OrigCustPO")), textOrNull(row, QStringLiteral("OrigTag")),
                                           textOrNull(row, QStringLiteral("OrigSubTag"))}
                                   .join(QStringLiteral(", "));
        const int groupType = int(number(row, QStringLiteral("MRPGroupType")));
        const QString group = QStringLiteral("%1, %2").arg(groupType).arg(QuotedStr(groupType == 0 ? QString() : text(row, QStringLiteral("MRPGroupNo"))));
        const QString origCols = QStringLiteral("%1OrigType, %1OrigID, %1OrigNo, %1OrigEntry, %1OrigItmID, %1OrigCustID, %1OrigCustPO, "
                                                "%1OrigTag, %1OrigSubTag")
                                     .arg(p);

        QString columns = QStringLiteral("%1ID, %1No, %1Entry, %1Date, ").arg(p);
        QStringList values{QuotedStr(id), QuotedStr(ABillNo), QString::number(entry), billDate};
        if (AKind == 10) {
            columns += QStringLiteral("MODeptID, ");
            values << party;
        } else {
            columns += QStringLiteral("%1SuppID, %1DeptID, ").arg(p);
            values << party << textOrNull(AHead, QStringLiteral("DeptID"));
        }
        columns += QStringLiteral("%1ItmID, %2, %1UntID, %1BillQty, %1Qty, %1OkQty, %1DelivDate, ").arg(p, propColumns(p + QStringLiteral("Itm")));
        values << QuotedStr(itemID) << itemProps(row) << textOrNull(row, QStringLiteral("UnitID"))
               << (unitRate == 1 ? qtyLiteral(row, QStringLiteral("StdQty")) : qtyLiteral(billQty)) << qtyLiteral(row, QStringLiteral("StdQty")) << QStringLiteral("0") << dateOrNull(row, QStringLiteral("Date"));
        if (table->Ordered) {
            columns += QStringLiteral("%1ChkQty, ").arg(p);
            values << QStringLiteral("0");
        }
        if (made) {
            columns += QStringLiteral("%1DrawDate, %1BomType, %1BomID, ").arg(p);
            values << dateOrNull(row, QStringLiteral("DrawDate")) << QString::number(int(number(row, QStringLiteral("BomType"))))
                   << textOrNull(row, QStringLiteral("BomID"));
        }
        if (made && table->Ordered) {
            columns += QStringLiteral("%1Status, ").arg(p);
            values << QuotedStr(QStringLiteral("计划"));
        }
        columns += origCols + QStringLiteral(", %1GroupType, %1GroupNo, %1Note, Checked, Closed, CanMRP").arg(p);
        values << origin << group << textOrNull(row, QStringLiteral("Note")) << QStringLiteral("1, 0, 1");
        AConnection->Execute(QStringLiteral("insert QZ_MRP_%1 (%2) values (%3)").arg(p, columns, values.join(QStringLiteral(", "))));

        if (!table->Components)
            continue;
        // The component lines: the material list sent with the row, else the row's bill of materials.
        const QString compTable = QLatin1String(table->Components);
        const QString partyCol = AKind == 10 ? QStringLiteral("BomDeptID") : QStringLiteral("BomSuppID");
        const QString head = QStringLiteral("insert %1 (BomID, BomNo, BomEntry, BomDate, %2ID, %2No, %2Entry, %2ItmID, %2Note, %3, "
                                            "%2GroupType, %2GroupNo, %4, BomItmID, %5, BomUntID, BomUnitQty, BomBillQty, BomQty, "
                                            "BomOkQty, BomDrawDate, BomRole, BomRowHook, BomNote, Checked, Closed, CanMRP) ")
                                 .arg(compTable, p, origCols, partyCol, propColumns(QStringLiteral("Bom")));
        const QString lineID = QStringLiteral("%1-%2").arg(id).arg(entry);
        const QString lineNo = QStringLiteral("%1-%2").arg(ABillNo).arg(entry);
        const QString common = QStringList{QuotedStr(lineID), QuotedStr(lineNo)}.join(QStringLiteral(", "));
        const QString orderCols = QStringList{QuotedStr(id), QuotedStr(ABillNo), QString::number(entry), QuotedStr(itemID),
                                              textOrNull(row, QStringLiteral("Note")), origin, group, party}
                                      .join(QStringLiteral(", "));
        QList<std::shared_ptr<TERPValueList>> materials;
        collectMaterials(ADetails, QString::number(entry), materials, 0);
        if (!materials.isEmpty()) {
            int line = 0;
            for (const auto& m : materials) {
                const double qty = number(*m, QStringLiteral("Qty"));
                const double rate = number(*m, QStringLiteral("UnitRate"), 1);
                const double base = number(*m, QStringLiteral("UnitQtyBase"), 1);
                const QStringList values{common, QString::number(++line), billDate, orderCols,
                                         QuotedStr(text(*m, QStringLiteral("ItemID"))), itemProps(*m),
                                         textOrNull(*m, QStringLiteral("UnitID")), qtyLiteral(number(*m, QStringLiteral("UnitQty")) / (base != 0 ? base : 1)),
                                         qtyLiteral(qty), qtyLiteral(qty * rate), QStringLiteral("0"),
                                         dateOrNull(*m, QStringLiteral("DrawDate")), QStringLiteral("0"),
                                         textOrNull(*m, QStringLiteral("BomHook")), textOrNull(*m, QStringLiteral("Note")),
                                         QStringLiteral("1, 0, 1")};
                AConnection->Execute(head + QStringLiteral("values (") + values.join(QStringLiteral(", ")) + u')');
            }
        } else if (!text(row, QStringLiteral("BomID")).isEmpty()) {
            const QString perUnit = QStringLiteral("l.BomQty*l.BomPercent/100/l.BomBaseQty");
            const QStringList values{common, QStringLiteral("l.BomEntry"), billDate, orderCols, QStringLiteral("l.BomItmID"),
                                     propColumns(QStringLiteral("l.Bom")), QStringLiteral("l.BomUntID"), perUnit,
                                     qtyLiteral(stdQty) + u'*' + perUnit, qtyLiteral(stdQty) + u'*' + perUnit, QStringLiteral("0"),
                                     dateOrNull(row, QStringLiteral("DrawDate")), QStringLiteral("l.BomRole, l.BomRowHook, l.BomNote"),
                                     QStringLiteral("1, 0, 1")};
            AConnection->Execute(head + QStringLiteral("select ") + values.join(QStringLiteral(", "))
                                 + QStringLiteral(" from QZ_MRP_ItemBOMLines as l where l.BomType=")
                                 + QString::number(int(number(row, QStringLiteral("BomType")))) + QStringLiteral(" and l.BomID=")
                                 + QuotedStr(text(row, QStringLiteral("BomID"))) + QStringLiteral(" and l.BomBaseQty<>0"));
        }
    }
}
