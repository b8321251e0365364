#include "untMRPFetch.h"

#include "Ado.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgCheckOptions.h"
#include "untInfoObjectDef.h"
#include "untMRPUtils.h"
#include "untMRPViewUtils.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <cmath>

using namespace untMRPUtils;

namespace {

const QString kGuard = QStringLiteral("\rif @@error<>0\rreturn\r");

// The columns an insert of picked or imported rows names, in its order.
const QString kInsertColumns = QStringLiteral(
    "insert #QZ_MRP_Main (ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManDeptID, "
    "ManSuppID,ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, "
    "ManOrigSubTag, ManGroupType, ManGroupNo,ManItmID, ManItmProps, ManItmProp1, ManItmProp2, ManItmProp3, ManItmProp4, "
    "ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10,ManDate, ManPriority, ManBomType, "
    "ManBomID, ManExeQty, ManNeedQty, ManAdjQty, ManQty, ManNote, ManHints) values (");

// The columns of a stored row from ManPeriod to ManHints, as the carry-over
// and the replace batch list them.
const QString kStoredColumns = QStringLiteral(
    "ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManDeptID, ManSuppID,ManOrigType, "
    "ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, "
    "ManGroupType, ManGroupNo, ManDate, ManPriority,ManItmID, ManItmProps, ManItmProp1, ManItmProp2, ManItmProp3, "
    "ManItmProp4, ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10,ManBomType, ManBomID, "
    "ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, ManQty, ManNote, ManHints");

QString Prefixed(const QString& AColumns, const QString& AAlias)
{
    QStringList parts = AColumns.split(u',');
    for (QString& p : parts) {
        const bool blank = p.startsWith(u' ');
        p = (blank ? QStringLiteral(" ") : QString()) + AAlias + u'.' + p.trimmed();
    }
    return parts.join(u',');
}

QString DayText(TDateTime ADate)
{
    return DayToDateStr(DateToDay(ADate));
}

TDateTime ToDateTime(const QDateTime& ADate)
{
    if (!ADate.isValid())
        return 0;
    return double(QDate(1899, 12, 30).daysTo(ADate.date())) + ADate.time().msecsSinceStartOfDay() / 86400000.0;
}

TDateTime VariantDate(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return 0;
    if (AValue.typeId() == QMetaType::QDateTime)
        return ToDateTime(AValue.toDateTime());
    if (AValue.typeId() == QMetaType::QDate)
        return ToDateTime(AValue.toDate().startOfDay());
    const QString text = AValue.toString().trimmed();
    if (text.isEmpty())
        return 0;
    for (const char* format : {"yyyy-MM-dd", "yyyy/M/d", "yyyyMMdd", "yyyy-MM-ddTHH:mm:ss", "yyyy/M/d H:mm:ss"}) {
        const QDateTime dt = QDateTime::fromString(text, QLatin1String(format));
        if (dt.isValid())
            return ToDateTime(dt);
    }
    bool ok = false;
    const double day = text.toDouble(&ok);
    return ok ? day : 0;
}

double VariantQty(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return 0;
    bool ok = false;
    double v = AValue.toDouble(&ok);
    if (!ok)
        v = TextToFloat(AValue.toString(), &ok);
    return ok && std::isfinite(v) ? v : 0;
}

QString VariantText(const QVariant& AValue)
{
    return AValue.isValid() && !AValue.isNull() ? AValue.toString() : QString();
}

// Reading a column of the current record the way the inserts want it.
struct TRowReader {
    TCustomADODataSet* D;
    TField* F(const QString& AName) const { return D->FieldByName(AName); }
    QString Text(const QString& AName) const
    {
        TField* f = F(AName);
        return QuoteSQL(f->IsNull() ? QString() : f->AsString());
    }
    QString Int(const QString& AName) const
    {
        TField* f = F(AName);
        return QString::number(f->IsNull() ? 0 : f->AsInteger());
    }
    QString PlainOrNull(const QString& AName) const
    {
        TField* f = F(AName);
        return f->IsNull() ? QStringLiteral("null") : f->AsString();
    }
    double Qty(const QString& AName) const
    {
        TField* f = F(AName);
        return f->IsNull() ? 0 : f->AsFloat();
    }
    TDateTime Date(const QString& AName) const { return ToDateTime(F(AName)->AsDateTime()); }
};

int LoginTick()
{
    return InfoApplication ? InfoApplication->LoginTick : 0;
}

QString FieldName(TInfoObjectDef* ADef, const QString& AFieldID)
{
    if (ADef)
        if (PInfoFieldDef f = ADef->GetFieldDef(AFieldID))
            return f->Name;
    return AFieldID;
}

TInfoObjectDef* MainDef()
{
    return InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP.Main")) : nullptr;
}

// The merge key of a gathered row.
QString BillRowKey(int ABillType, const QString& ABillID, int ALine)
{
    return QStringLiteral("B|%1|%2|%3").arg(ABillType).arg(ABillID).arg(ALine);
}
QString FreeRowKey(const QString& ABillNo, int ALine, const QString& AItemID, const QString& AProps)
{
    return QStringLiteral("F|%1|%2|%3|%4").arg(ABillNo).arg(ALine).arg(AItemID, AProps);
}

struct TBillSourceName {
    const char* ObjectID;
    const char* Prefix;
};

QString SourcePrefix(const QString& AObjectID)
{
    static const QHash<QString, QString> prefixes = {
        {QStringLiteral("qz_mrp.so"), QStringLiteral("SO")},     {QStringLiteral("qz_mrp.si"), QStringLiteral("SI")},
        {QStringLiteral("qz_mrp.forcast"), QStringLiteral("For")}, {QStringLiteral("qz_mrp.mo"), QStringLiteral("MO")},
        {QStringLiteral("qz_mrp.mr"), QStringLiteral("MR")},     {QStringLiteral("qz_mrp.oo"), QStringLiteral("OO")},
        {QStringLiteral("qz_mrp.or"), QStringLiteral("OR")}};
    return prefixes.value(AObjectID.toLower());
}

QString FieldCases(const QString& AObjectID, const QStringList& AFieldIDs)
{
    QString result;
    for (const QString& id : AFieldIDs) {
        QString part;
        if (BuildFieldValueCaseSQL(AObjectID, id, part))
            result += part;
    }
    return result;
}

QStringList PropFieldIDs(const QString& APrefix)
{
    QStringList ids;
    for (int i = 1; i <= 10; ++i)
        ids << APrefix + QStringLiteral("ItmProp%1").arg(i);
    return ids;
}

const QString kMacroColumns = QStringLiteral(
    "[#ItmProps]=$$ItmProps$$, [#ItmProp1]=$$ItmProp1$$, [#ItmProp2]=$$ItmProp2$$, [#ItmProp3]=$$ItmProp3$$, "
    "[#ItmProp4]=$$ItmProp4$$,[#ItmProp5]=$$ItmProp5$$, [#ItmProp6]=$$ItmProp6$$, [#ItmProp7]=$$ItmProp7$$, "
    "[#ItmProp8]=$$ItmProp8$$, [#ItmProp9]=$$ItmProp9$$,[#ItmProp10]=$$ItmProp10$$, [#OrigTag]=$$OrigTag$$, "
    "[#OrigSubTag]=$$OrigSubTag$$, [#MRPGroupType]=$$MRPGroupType$$, [#MRPGroupNo]=$$MRPGroupNo$$,");

// The quantity a hints text holds for one period.
double HintQtyOf(const QString& AHints, int APeriod)
{
    double sum = 0;
    for (const THintEntry& e : ParseHints(AHints))
        if (e.Period == APeriod)
            sum += e.Qty;
    return sum;
}

} // namespace

// ---- Pure helpers --------------------------------------------------------

TMRPSelectCache& MainImportLookupCache()
{
    static TMRPSelectCache cache;
    return cache;
}

int MainDemandPeriodIndex(const TPlanPeriods& APeriods, TDateTime ADate)
{
    const int found = FindPlanPeriodIndex(APeriods, ADate);
    if (found >= 0 || APeriods.empty())
        return std::max(found, 0);
    const std::int64_t day = DateToDay(ADate);
    if (day < DateToDay(APeriods.front().DateBegin))
        return 0;
    for (int i = 0; i < int(APeriods.size()); ++i)
        if (DateToDay(APeriods[size_t(i)].DateBegin) > day)
            return i;
    return int(APeriods.size()) - 1;
}

bool GetMainPickSource(TMRPMainImportType AType, TMRPMainPickSource& ASource)
{
    const QString skip = QStringLiteral("s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
    const QString plain = QStringLiteral("s.CanMRP<>0");
    auto bomJoin = [](const QString& X) {
        return QStringLiteral(" join (select distinct %1ID, %1Entry from QZ_MRP_%1BOM as s with(nolock) left join "
                              "QZ_MRP_ItemSetting as mt with(nolock) on s.BomItmID=mt.ItmID where s.CanMRP<>0 and "
                              "s.BomQty>0 and s.BomRole=0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)) as tmpo on "
                              "s.%1ID=tmpo.%1ID and s.%1Entry=tmpo.%1Entry")
            .arg(X);
    };
    auto order = [](const QString& X) { return QStringLiteral("s.%1DelivDate, s.%1No, s.%1Entry").arg(X); };
    switch (AType) {
    case itSelectSO: ASource = {QStringLiteral("QZ_MRP.SO"), 2, skip, QString(), order(QStringLiteral("SO"))}; return true;
    case itSelectSI: ASource = {QStringLiteral("QZ_MRP.SI"), 4, skip, QString(), order(QStringLiteral("SI"))}; return true;
    case itSelectForcast:
        ASource = {QStringLiteral("QZ_MRP.Forcast"), 8, skip, QString(), order(QStringLiteral("For"))};
        return true;
    case itSelectMO:
        ASource = {QStringLiteral("QZ_MRP.MO"), 22, plain, bomJoin(QStringLiteral("MO")), order(QStringLiteral("MO"))};
        return true;
    case itSelectMR: ASource = {QStringLiteral("QZ_MRP.MR"), 34, plain, QString(), order(QStringLiteral("MR"))}; return true;
    case itSelectOO:
        ASource = {QStringLiteral("QZ_MRP.OO"), 24, plain, bomJoin(QStringLiteral("OO")), order(QStringLiteral("OO"))};
        return true;
    case itSelectOR: ASource = {QStringLiteral("QZ_MRP.OR"), 36, plain, QString(), order(QStringLiteral("OR"))}; return true;
    case itMRPSupplies:
        ASource = {QStringLiteral("QZ_MRP.MRP.Supplies"), 0,
                   QStringLiteral("s.SupSchIID=%d and s.SupBillType in (22, 34, 42, 44, 24, 36, 52, 54, 62, 64, 66) and s.SupQty>0"),
                   QStringLiteral("join QZ_MRP_Schemes as sch with(nolock) on s.SupSchIID=sch.SchIID"),
                   QStringLiteral("s.SupDate, s.SupBillType, s.SupBillNo, s.SupBillEntry")};
        return true;
    default: return false;
    }
}

QString BuildMainPickSelect(TMRPMainImportType AType)
{
    TMRPMainPickSource src;
    if (!GetMainPickSource(AType, src))
        return QString();
    const QString id = src.ObjectID;
    if (AType == itMRPSupplies)
        return QStringLiteral(
                   "[#BillType]=s.SupBillType, [#BillID]=(case when s.SupBillID<>'' then s.SupBillID else s.SupSchIID end), "
                   "[#ItmID]=s.SupItmID, [#DeptID]=s.SupDeptID,[#OrigType]=s.SupOrigType, [#OrigID]=s.SupOrigID, "
                   "[#OrigNo]=s.SupOrigNo, [#OrigEntry]=s.SupOrigEntry, [#OrigItmID]=s.SupOrigItmID,"
                   "[#OrigCustID]=s.SupOrigCustID, [#OrigCustPO]=s.SupOrigCustPO, [#SuppID]=s.SupSuppID, "
                   "[#BomType]=s.SupBomType, [#BomID]=s.SupBomID,[需求日期]=s.SupDate, [单据编号]=(case when "
                   "s.SupBillID<>'' then s.SupBillNo else cast(s.SupBillNo+'@'+sch.SchName as nvarchar(80)) end),"
                   "[单据行]=(case when s.SupBillID<>'' then s.SupBillEntry else s.SupIID end), [产品代码]=i.ItmNo, "
                   "[产品名称]=i.ItmName, [规格型号]=i.ItmSpec,") +
               FieldCases(id, PropFieldIDs(QStringLiteral("Sup"))) +
               QStringLiteral("[生产单位]=isnull(p.SuppName, d.DeptName), [备注]=s.SupNote, [单据数量]=s.SupBillQty, "
                              "[已交数量]=isnull(s.SupBillQty,0)-isnull(s.SupQty,0), [需求数量]=s.SupQty,"
                              "[单位]=u.UntName, [BOM]=$$BomNo$$, [单据日期]=s.SupBillDate, [客户]=c.CustName, "
                              "[客户单号]=s.SupOrigCustPO, [源需求单号]=s.SupOrigNo,") +
               FieldCases(id, {QStringLiteral("SupOrigTag"), QStringLiteral("SupOrigSubTag"), QStringLiteral("SupGroupType"),
                               QStringLiteral("SupGroupNo")}) +
               QStringLiteral("[#ItmProps]=s.SupItmProps, [#ItmProp1]=s.SupItmProp1, [#ItmProp2]=s.SupItmProp2, "
                              "[#ItmProp3]=s.SupItmProp3, [#ItmProp4]=s.SupItmProp4,[#ItmProp5]=s.SupItmProp5, "
                              "[#ItmProp6]=s.SupItmProp6, [#ItmProp7]=s.SupItmProp7, [#ItmProp8]=s.SupItmProp8, "
                              "[#ItmProp9]=s.SupItmProp9,[#ItmProp10]=s.SupItmProp10, [#OrigTag]=s.SupOrigTag, "
                              "[#OrigSubTag]=s.SupOrigSubTag, [#MRPGroupType]=s.SupGroupType, [#MRPGroupNo]=s.SupGroupNo,"
                              "[#ExeQty]=isnull(s.SupBillQty,0)-isnull(s.SupQty,0), [#Hints]=s.SupHints");

    const QString X = SourcePrefix(id);
    const QString bt = QString::number(src.BillType);
    const bool sales = AType <= itSelectForcast;
    QString sql = QStringLiteral("[#BillType]=%1, [#BillID]=s.%2ID, [#ItmID]=s.%2ItmID, [#DeptID]=s.%2DeptID,").arg(bt, X);
    const QString note = QStringLiteral("[备注]=left(isnull(s.%1Note,'')+'  '+isnull(s.%1Remark,''), 500)").arg(X);
    if (sales) {
        sql += QStringLiteral("[#OrigType]=%1, [#OrigID]=s.%2ID, [#OrigNo]=s.%2No, [#OrigEntry]=s.%2Entry, [#OrigItmID]=s.%2ItmID,")
                   .arg(bt, X);
        sql += QStringLiteral("[#OrigCustID]=s.%1CustID, [#OrigCustPO]=s.%1CustPO, [#SuppID]=cast(null as char(1)), "
                              "[#BomType]=s.%1BomType, [#BomID]=s.%1BomID,")
                   .arg(X);
        sql += QStringLiteral("[需求日期]=s.%1DelivDate, [单据编号]=s.%1No, [单据行]=s.%1Entry, [物料代码]=i.ItmNo, "
                              "[物料名称]=i.ItmName, [规格型号]=i.ItmSpec,")
                   .arg(X);
        sql += FieldCases(id, PropFieldIDs(QString()));
        sql += QStringLiteral("[客户]=c.CustName, [客户单号]=s.%1CustPO, ").arg(X) + note +
               QStringLiteral(", [单据数量]=s.%1BillQty,").arg(X);
        if (AType == itSelectForcast)
            sql += QStringLiteral("[已执行数]=s.ForOkQty, [需求数量]=s.ForQty, [单位]=ub.UntName, [BOM]=$$BomNo$$, "
                                  "[部门]=d.DeptName, [单据日期]=s.ForDate,");
        else
            sql += QStringLiteral("[已交数量]=s.%1OkQty, [需求数量]=s.%1Qty, [单位]=ub.UntName, [BOM]=$$BomNo$$, "
                                  "[部门]=d.DeptName, [业务员]=e.EmpName, [单据日期]=s.%1Date,")
                       .arg(X);
    } else {
        const bool outsourced = AType == itSelectOO || AType == itSelectOR;
        sql += QStringLiteral("[#OrigType]=$$OrigType$$, [#OrigID]=$$OrigID$$, [#OrigNo]=$$OrigNo$$, "
                              "[#OrigEntry]=$$OrigEntry$$, [#OrigItmID]=$$OrigItmID$$,");
        sql += QStringLiteral("[#OrigCustID]=$$OrigCustID$$, [#OrigCustPO]=$$OrigCustPO$$, [#SuppID]=%1, "
                              "[#BomType]=s.%2BomType, [#BomID]=s.%2BomID,")
                   .arg(outsourced ? QStringLiteral("s.%1SuppID").arg(X) : QStringLiteral("cast(null as char(1))"), X);
        sql += QStringLiteral("[需求日期]=s.%1DelivDate, [单据编号]=s.%1No, [单据行]=s.%1Entry, [产品代码]=i.ItmNo, "
                              "[产品名称]=i.ItmName, [规格型号]=i.ItmSpec,")
                   .arg(X);
        sql += FieldCases(id, PropFieldIDs(QString()));
        sql += QStringLiteral("[生产单位]=%1, ").arg(outsourced ? QStringLiteral("p.SuppName") : QStringLiteral("d.DeptName")) +
               note + QStringLiteral(", ") + (AType == itSelectMO ? QStringLiteral("[状态]=s.MOStatus, ") : QString()) +
               QStringLiteral("[单据数量]=s.%1BillQty, [已交数量]=s.%1OkQty,").arg(X);
        sql += QStringLiteral("[需求数量]=s.%1Qty, [单位]=ub.UntName, [BOM]=$$BomNo$$, [单据日期]=s.%1Date, "
                              "[客户]=$$OrigCust$$, [客户单号]=$$OrigCustPO$$, [源需求单号]=$$OrigNo$$,")
                   .arg(X);
    }
    sql += FieldCases(id, {QStringLiteral("OrigTag"), QStringLiteral("OrigSubTag"), QStringLiteral("MRPGroupType"),
                           QStringLiteral("MRPGroupNo")});
    sql += kMacroColumns;
    if (AType == itSelectMR)
        sql += QStringLiteral("[#ExeQty]=cast(null as float), [#Hints]=cast(null as char(1))");
    else
        sql += QStringLiteral("[#ExeQty]=s.%1OkQty, [#Hints]=cast(null as char(1))").arg(X);
    return sql;
}

QString BuildBillLookupSelect(const QString& AObjectID)
{
    const QString X = SourcePrefix(AObjectID);
    const bool sales = X == QLatin1String("SO") || X == QLatin1String("SI") || X == QLatin1String("For");
    const bool outsourced = X == QLatin1String("OO") || X == QLatin1String("OR");
    QString sql = QStringLiteral("BillType=%0:d, BillID=s.") + X + QStringLiteral("ID, BillEntry=s.") + X +
                  QStringLiteral("Entry, BilllDate=s.") + X + QStringLiteral("Date, BillQty=s.") + X +
                  QStringLiteral("BillQty,ItmID=s.") + X + QStringLiteral("ItmID, SuppID=") +
                  (outsourced ? QStringLiteral("s.") + X + QStringLiteral("SuppID") : QStringLiteral("cast(null as char(1))")) +
                  QStringLiteral(", DeptID=s.") + X + QStringLiteral("DeptID, BomType=s.") + X + QStringLiteral("BomType, BomID=s.") +
                  X + QStringLiteral("BomID, NeedDate=s.") + X + QStringLiteral("DelivDate, NeedQty=s.") + X + QStringLiteral("Qty,");
    if (sales)
        sql += QStringLiteral("OrigType=%0:d, OrigID=s.") + X + QStringLiteral("ID, OrigNo=s.") + X +
               QStringLiteral("No, OrigEntry=s.") + X + QStringLiteral("Entry, OrigItmID=s.") + X +
               QStringLiteral("ItmID, OrigCustID=s.") + X + QStringLiteral("CustID, OrigCustPO=s.") + X + QStringLiteral("CustPO,");
    else
        sql += QStringLiteral("OrigType=$$OrigType$$, OrigID=$$OrigID$$, OrigNo=$$OrigNo$$, OrigEntry=$$OrigEntry$$, "
                              "OrigItmID=$$OrigItmID$$, OrigCustID=$$OrigCustID$$, OrigCustPO=$$OrigCustPO$$,");
    sql += QStringLiteral("ItmProps=$$ItmProps$$, ItmProp1=$$ItmProp1$$, ItmProp2=$$ItmProp2$$, ItmProp3=$$ItmProp3$$, "
                          "ItmProp4=$$ItmProp4$$,ItmProp5=$$ItmProp5$$, ItmProp6=$$ItmProp6$$, ItmProp7=$$ItmProp7$$, "
                          "ItmProp8=$$ItmProp8$$, ItmProp9=$$ItmProp9$$,ItmProp10=$$ItmProp10$$, OrigTag=$$OrigTag$$, "
                          "OrigSubTag=$$OrigSubTag$$, MRPGroupType=$$MRPGroupType$$, MRPGroupNo=$$MRPGroupNo$$");
    return sql;
}

QString BuildBillLookupCondition(const QString& AObjectID)
{
    const QString X = SourcePrefix(AObjectID);
    return QStringLiteral("s.%1No=%1:s and (s.%1Entry=%2:d or %2:d=0) and i.ItmNo=%3:s and s.CanMRP=1")
        .replace(QStringLiteral("%1No"), X + QStringLiteral("No"))
        .replace(QStringLiteral("%1Entry"), X + QStringLiteral("Entry"));
}

QString FormatBillLookup(const QString& AStatement, int ABillType, const QString& ABillNo, int ALine, const QString& AItemNo)
{
    QString sql = AStatement;
    sql.replace(QStringLiteral("%0:d"), QString::number(ABillType));
    sql.replace(QStringLiteral("%2:d"), QString::number(ALine));
    // The quoted texts last, so that their own characters are never read as placeholders.
    const QString bill = QStringLiteral("\x01" "1\x01"), item = QStringLiteral("\x01" "3\x01");
    sql.replace(QStringLiteral("%1:s"), bill);
    sql.replace(QStringLiteral("%3:s"), item);
    sql.replace(bill, QuoteSQL(ABillNo));
    sql.replace(item, QuoteSQL(AItemNo));
    return sql;
}

QString BuildMainCarryOverSQL(int ASchemeIID)
{
    return QStringLiteral("insert #QZ_MRP_Main (") + kStoredColumns + QStringLiteral(")\rselect ") +
           Prefixed(kStoredColumns, QStringLiteral("m")) +
           QStringLiteral(" from QZ_MRP_Main as m with(nolock) left join #QZ_MRP_Main as s with(nolock) on "
                          "m.ManBillType=s.ManBillType and m.ManBillEntry=s.ManBillEntry and ((m.ManBillType<>12 and "
                          "isnull(m.ManBillID,'')<>'' and m.ManBillID=s.ManBillID) or (m.ManBillType=12 and "
                          "isnull(m.ManBillNo,'')=isnull(s.ManBillNo,'') and m.ManItmID=s.ManItmID and "
                          "m.ManItmProps=s.ManItmProps)) where m.ManSchIID=%1 and s.ManIID is null")
               .arg(ASchemeIID);
}

QString BuildMainReplaceSQL(int ASchemeIID)
{
    return QStringLiteral("delete QZ_MRP_Main where ManSchIID=%1\rif @@error<>0\rreturn\rdeclare @date datetime\r"
                          "select @date=getdate()\rupdate QZ_MRP_Schemes set SchState=(case when SchMrpRunTime is null "
                          "then %2 else %3 end), SchMpsRunTime=@date, SchMpsUpdTime=@date, SchMaxTime=@date where "
                          "SchIID=%1\rif @@error<>0\rreturn\rinsert QZ_MRP_Main (ManSchIID, ManIID, ")
               .arg(ASchemeIID)
               .arg(int(psMainDemandReady))
               .arg(int(psMainDemandChanged)) +
           kStoredColumns + QStringLiteral(")\rselect %1, ManIID, ").arg(ASchemeIID) + kStoredColumns +
           QStringLiteral(" from #QZ_MRP_Main");
}

// ---- The command ---------------------------------------------------------

TMRPMainFetch::TMRPMainFetch(const TMRPCommandHost& AHost) : FHost(AHost) {}

TMRPMainFetch::~TMRPMainFetch() = default;

bool TMRPMainFetch::RunOnScheme(const QString& ASQL, bool AShowError)
{
    return ExecSQLText(FWriteQuery.get(), ASQL, false, !AShowError, AShowError);
}

void TMRPMainFetch::DropMainTempTable()
{
    if (FWriteQuery)
        ExecSQLText(FWriteQuery.get(), QStringLiteral("if object_id('tempdb..#QZ_MRP_Main') is not null\rdrop table #QZ_MRP_Main"),
                    false, false, false);
}

void TMRPMainFetch::AddImportStatement(const QString& AStatement)
{
    FImportSQL += AStatement + kGuard;
    if (FImportSQL.size() > TMRPSQLBatch::MaxBatchChars)
        RunImportSQL();
}

void TMRPMainFetch::RunImportSQL()
{
    if (!FImportSQL.isEmpty())
        ExecSQLText(FWriteQuery.get(), FImportSQL, false, true, false);
    FImportSQL.clear();
    FPendingKeys.clear();
}

bool TMRPMainFetch::ReplaceMainDemand()
{
    // The old rows, the state and the new rows change together or not at all.
    try {
        kvado::ScopedTransaction tran(FHost.Scheme->Connection());
        if (!RunOnScheme(BuildMainReplaceSQL(FHost.Scheme->SchemeIID), true))
            return false;
        tran.Commit();
        return true;
    } catch (const Exception& e) {
        ShowADOError(e, FWriteQuery.get());
        return false;
    }
}

bool TMRPMainFetch::Execute()
{
    TPlanScheme* scheme = FHost.Scheme;
    if (!scheme || !FHost.CheckPlanState(true))
        return false;
    auto status = [](const QString& AText) {
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(AText, mkHint);
    };
    bool ok = false;
    if (scheme->PlanSource == 3) {
        QString& params = *FHost.ViewSchemeParams;
        const QString& sep = ViewSchemeParamSeparator;
        auto importType = TMRPMainImportType(
            std::clamp(ReadDelimitedValue(params, QStringLiteral("[SrcImportType]"), sep).toInt(), 0, int(itMRPSupplies)));
        auto writeType = std::uint8_t(std::clamp(ReadDelimitedValue(params, QStringLiteral("[SrcWriteType]"), sep).toInt(), 0, 1));
        bool showFilter = ReadDelimitedValue(params, QStringLiteral("[SrcShowFilter]"), sep) == QLatin1String("1");
        bool synPeriods = ReadDelimitedValue(params, QStringLiteral("[SrcSynPeriods]"), sep) == QLatin1String("1");
        int srcIID = scheme->SchemeIID;
        if (!ShowMRPMainSourceDlg(importType, writeType, showFilter, synPeriods, srcIID))
            return false;
        if (!FHost.CheckPlanState(true))
            return false;
        params = WriteDelimitedValue(params, QStringLiteral("[SrcImportType]"), QString::number(int(importType)), sep);
        params = WriteDelimitedValue(params, QStringLiteral("[SrcWriteType]"), QString::number(int(writeType)), sep);
        params = WriteDelimitedValue(params, QStringLiteral("[SrcShowFilter]"), showFilter ? QStringLiteral("1") : QString(), sep);
        params = WriteDelimitedValue(params, QStringLiteral("[SrcSynPeriods]"), synPeriods ? QStringLiteral("1") : QString(), sep);
        FImportType = importType;
        FImportWriteType = TMPSOverwriteType(writeType);
        QString failure;
        {
            TMRPWaitCursor wait;
            status(QStringLiteral("正在获取主需求数据, 请稍候..."));
            try {
                if (importType == itMRPMain) {
                    ok = scheme->CopyMPS(srcIID, FImportWriteType, synPeriods);
                    if (!ok)
                        failure = UCommonText::StoppedByErrors;
                } else if (importType <= itSelectOR || importType == itMRPSupplies) {
                    status(QStringLiteral("正在从业务数据导入主需求信息, 按[Esc]键可以中止..."));
                    ok = ImportFromBusinessData(srcIID, showFilter);
                } else {
                    status(QStringLiteral("正在从外部数据源导入主需求信息, 按[Esc]键可以中止..."));
                    ok = ImportFromExternalData();
                }
                if (ok && FHost.Refresh)
                    FHost.Refresh(nullptr);
            } catch (const Exception& e) {
                ok = false;
                failure = ::FormatMessage(QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s"), QVariantList{e.Message});
            } catch (const std::exception& e) {
                ok = false;
                failure = ::FormatMessage(QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s"),
                                          QVariantList{QString::fromUtf8(e.what())});
            }
            status(QString());
        }
        if (ok)
            ShowInfo(UCommonText::Finished);
        else if (!failure.isEmpty())
            ShowError(failure);
        return ok;
    }

    bool keepFree = false, keepAdjusts = false;
    if (!SchemeTimeIsSet(scheme->MpsUpdTime)) {
        if (ShowQuestion(QStringLiteral("系统将开始获取主需求数据, 这可能需要较长时间, 确定?"), int(kvos::MB_OKCANCEL)) != kvos::IDOK)
            return false;
    } else {
        TBooleanDynArray checks = {true, true};
        if (!ShowCheckOptionsDlg({QStringLiteral("自由需求数据(&1)"), QStringLiteral("排程调整数据(&2)")}, checks,
                                 QStringLiteral("保留以下内容:"), QStringLiteral("重新获取主需求")))
            return false;
        keepFree = checks.value(0);
        keepAdjusts = checks.value(1);
    }
    if (!FHost.CheckPlanState(true))
        return false;
    {
        TMRPWaitCursor wait;
        status(QStringLiteral("正在获取主需求数据, 请稍候..."));
        if (FHost.CloseResultViews)
            FHost.CloseResultViews(true);
        ok = scheme->RunMPS(keepFree, keepAdjusts);
        if (FHost.Refresh)
            FHost.Refresh(nullptr);
        status(QString());
    }
    if (ok)
        ShowInfo(UCommonText::Finished);
    else
        ShowError(UCommonText::StoppedByErrors);
    return ok;
}

bool TMRPMainFetch::ImportFromBusinessData(int ASrcSchemeIID, bool AShowFilter)
{
    TMRPMainPickSource src;
    if (!GetMainPickSource(FImportType, src))
        return false;
    TPlanScheme* scheme = FHost.Scheme;
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(src.ObjectID);
    if (!def)
        return false;
    QString filterCode;
    if (AShowFilter) {
        const QString section = QStringLiteral("[Src.") + src.ObjectID + u']';
        filterCode = ReadDelimitedValue(scheme->DataFilters, section, ViewSchemeParamSeparator);
        QString filterText;
        if (!InfoApplication->ShowFilterDlg(def, filterText, filterCode, GlobalADOQuery, QString(), false))
            return false;
        scheme->DataFilters = WriteDelimitedValue(scheme->DataFilters, section, filterCode, ViewSchemeParamSeparator);
        ExecSQLText(GlobalADOQuery,
                    QStringLiteral("update QZ_MRP_Schemes set SchFilters=") + QuoteSQL(scheme->DataFilters) +
                        QStringLiteral(" where SchIID=%1").arg(scheme->SchemeIID),
                    false, false, true);
    }
    QString condition = src.Condition;
    if (FImportType == itMRPSupplies)
        condition.replace(QStringLiteral("%d"), QString::number(ASrcSchemeIID));
    const QString sql = BuildInfoObjectFilterSQL(src.ObjectID, BuildMainPickSelect(FImportType), condition,
                                                 AShowFilter ? filterCode : QString(), src.OrderBy, QString(), src.ExtJoin);
    if (sql.isEmpty())
        return false;
    TPickEditProperties picker;
    picker.RefQuery = GlobalADOQuery;
    picker.SQL = sql;
    picker.MultiSelect = true;
    picker.TextField = QStringLiteral("单据编号");
    picker.Caption = def->Name;
    picker.AfterDataPicked = [this](TCustomADODataSet* ADataSet, const TBookmarks& ASel) {
        WriteImportedMainRows(ADataSet, ASel);
    };
    TMRPWaitCursor wait;
    return picker.ShowPicker(false);
}

void TMRPMainFetch::WriteImportedMainRows(TCustomADODataSet* ADataSet, const TBookmarks& ASelRecords)
{
    TPlanScheme* scheme = FHost.Scheme;
    FWriteQuery.reset(scheme->NewSchemeQuery());
    struct TDrop {
        TMRPMainFetch* F;
        ~TDrop() { F->DropMainTempTable(); }
    } drop{this};
    CreateMainTempTable(FWriteQuery.get());
    FImportSQL.clear();
    FPendingKeys.clear();
    const TRowReader r{ADataSet};
    for (const int record : ASelRecords) {
        ADataSet->SetRecNo(record + 1);
        const TDateTime need = r.Date(QStringLiteral("需求日期"));
        const double qty = r.Qty(QStringLiteral("需求数量"));
        QStringList v;
        v << QString::number(MainDemandPeriodIndex(scheme->MpsPeriods, need)) << r.Int(QStringLiteral("#BillType"))
          << r.Text(QStringLiteral("#BillID")) << r.Text(QStringLiteral("单据编号")) << r.Int(QStringLiteral("单据行"))
          << u'\'' + DayText(r.Date(QStringLiteral("单据日期"))) + u'\'' << SQLQty(r.Qty(QStringLiteral("单据数量")))
          << r.Text(QStringLiteral("#DeptID")) << r.Text(QStringLiteral("#SuppID")) << r.PlainOrNull(QStringLiteral("#OrigType"))
          << r.Text(QStringLiteral("#OrigID")) << r.Text(QStringLiteral("#OrigNo")) << r.PlainOrNull(QStringLiteral("#OrigEntry"));
        for (const char* name : {"#OrigItmID", "#OrigCustID", "#OrigCustPO", "#OrigTag", "#OrigSubTag"})
            v << r.Text(QLatin1String(name));
        v << r.Int(QStringLiteral("#MRPGroupType")) << r.Text(QStringLiteral("#MRPGroupNo")) << r.Text(QStringLiteral("#ItmID"))
          << r.Text(QStringLiteral("#ItmProps"));
        for (int i = 1; i <= 10; ++i)
            v << r.Text(QStringLiteral("#ItmProp%1").arg(i));
        v << u'\'' + DayText(need) + u'\'' << QStringLiteral("1") << r.Int(QStringLiteral("#BomType"))
          << r.Text(QStringLiteral("#BomID")) << SQLQty(r.Qty(QStringLiteral("#ExeQty"))) << SQLQty(qty) << QStringLiteral("0")
          << SQLQty(qty) << r.Text(QStringLiteral("备注")) << r.Text(QStringLiteral("#Hints"));
        AddImportStatement(kInsertColumns + v.join(QStringLiteral(", ")) + u')');
    }
    RunImportSQL();
    if (FImportWriteType == wtInsertOrUpdate)
        RunOnScheme(BuildMainCarryOverSQL(scheme->SchemeIID), false);
    kvado::ScopedTransaction tran(scheme->Connection());
    RunOnScheme(BuildMainReplaceSQL(scheme->SchemeIID), false);
    tran.Commit();
}

int TMRPMainFetch::AddImportField(const QString& AFieldID)
{
    TInfoObjectDef* def = MainDef();
    PInfoFieldDef field = def ? def->GetFieldDef(AFieldID) : nullptr;
    if (!field || field->HideList)
        return 0;
    ++FImportVarCount;
    TExchangeFieldRec& rec = FImportFields[FImportVarCount + 2];
    rec.Name = field->Name;
    rec.DataType = 256;
    rec.Kind = fkNormal;
    rec.Group = 0;
    return FImportVarCount;
}

void TMRPMainFetch::BuildImportFields()
{
    TInfoObjectDef* def = MainDef();
    auto field = [def](const QString& AID, quint16 AType, TExchangeFieldKind AKind, int AGroup) {
        TExchangeFieldRec rec;
        rec.Name = FieldName(def, AID);
        rec.DataType = AType;
        rec.Kind = AKind;
        rec.Group = AGroup;
        return rec;
    };
    FImportFields.clear();
    FImportFields << field(QStringLiteral("ManBillNo"), 256, fkNormal, FImportType == itImportFreeNeed ? 0 : 1)
                  << field(QStringLiteral("ManBillEntry"), 3, fkNormal, 0) << field(QStringLiteral("ItmNo"), 256, fkNormal, 1);
    FImportVarCount = 0;
    FImportVarProps.fill(0);
    FImportVarTag = FImportVarSubTag = FImportVarGroupNo = 0;
    if (FImportType == itImportFreeNeed) {
        // Room for every optional field; the ones not offered are cut off.
        for (int i = 0; i < 13; ++i)
            FImportFields << TExchangeFieldRec();
        for (int i = 0; i < 10; ++i)
            FImportVarProps[size_t(i)] = AddImportField(QStringLiteral("ManItmProp%1").arg(i + 1));
        FImportVarTag = AddImportField(QStringLiteral("ManOrigTag"));
        FImportVarSubTag = AddImportField(QStringLiteral("ManOrigSubTag"));
        FImportVarGroupNo = AddImportField(QStringLiteral("ManGroupNo"));
        FImportFields.resize(3 + FImportVarCount);
    }
    FDatePos = int(FImportFields.size());
    FImportFields << field(QStringLiteral("ManDate"), 7, fkPivotH, 1);
    FQtyPos = int(FImportFields.size());
    FImportFields << field(FImportType == itImportSOorForcast ? QStringLiteral("ManNeedQty") : QStringLiteral("ManQty"), 5,
                           fkPivotH, 1);
    FAdjPos = -1;
    if (FImportType == itImportSOorForcast) {
        FAdjPos = int(FImportFields.size());
        FImportFields << field(QStringLiteral("ManAdjQty"), 5, fkNormal, 1);
    }
    FPeriodPos = int(FImportFields.size());
    const TPlanPeriods& periods = FHost.Scheme->MpsPeriods;
    for (int p = 0; p < int(periods.size()); ++p) {
        TExchangeFieldRec rec;
        rec.Name = BuildPlanPeriodCaptions(periods, p);
        rec.DataType = 5;
        rec.Kind = fkPivotV;
        rec.Group = 2;
        FImportFields << rec;
    }
}

bool TMRPMainFetch::ImportFromExternalData()
{
    TPlanScheme* scheme = FHost.Scheme;
    // Without the host's import wizard there is nothing to read the file with.
    if (!InfoApplication || !InfoApplication->ShowImportDataProc) {
        ShowInfo(QStringLiteral("很抱歉, 此功能处于内部测试阶段, 暂时不开放使用!"));
        return false;
    }
    BuildImportFields();
    FWriteQuery.reset(scheme->NewSchemeQuery());
    FReadQuery.reset(scheme->NewSchemeQuery());
    struct TDrop {
        TMRPMainFetch* F;
        ~TDrop() { F->DropMainTempTable(); }
    } drop{this};
    CreateMainTempTable(FWriteQuery.get());
    FImportSQL.clear();
    FPendingKeys.clear();
    if (!InfoApplication->ShowImportData(
            FImportFields,
            [this](const TVariantArray& ARecord, TMessageKind& AKind, QString& AText, int& AField) {
                ImportMainRecord(ARecord, AKind, AText, AField);
            },
            TOnBeginImportEvent(), TNotifyEvent()))
        return false;
    if (!FImportSQL.isEmpty()) {
        const QString rest = FImportSQL;
        FImportSQL.clear();
        FPendingKeys.clear();
        if (!RunOnScheme(rest, true))
            return false;
    }
    if (FImportWriteType == wtInsertOrUpdate && !RunOnScheme(BuildMainCarryOverSQL(scheme->SchemeIID), true))
        return false;
    return ReplaceMainDemand();
}

void TMRPMainFetch::ImportMainRecord(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText,
                                     int& /*AMessageField*/)
{
    TPlanScheme* scheme = FHost.Scheme;
    const TPlanPeriods& periods = scheme->MpsPeriods;
    TInfoObjectDef* mainDef = MainDef();
    auto at = [&ARecord](int APos) { return APos >= 0 && APos < ARecord.size() ? ARecord[APos] : QVariant(); };
    auto reject = [&](TMessageKind AKind, const QString& AText) {
        AMessageKind = AKind;
        AMessageText = AText;
    };
    AMessageKind = mkNone;
    AMessageText.clear();

    const QString billNo = VariantText(at(0)).trimmed();
    const QString itemNo = VariantText(at(2)).trimmed();
    const int line = int(VariantQty(at(1)));
    QString empty;
    if (billNo.isEmpty() && FImportType != itImportFreeNeed)
        empty += u'[' + FImportFields[0].Name + u']';
    if (itemNo.isEmpty())
        empty += u'[' + FImportFields[2].Name + u']';
    if (!empty.isEmpty())
        return reject(mkWarning, ::FormatMessage(QStringLiteral("字段%s导入内容为空, 忽略导入!"), QVariantList{empty}));

    // The row's values.
    int billType = 12, bomType = 0, groupType = 0, entry = line;
    QString billID, deptID, suppID, bomID, origID, origNo, origItmID, origCustID, origCustPO, origTag, origSubTag, groupNo;
    QString origType = QStringLiteral("null"), origEntry = QStringLiteral("null");
    QString itemID, props;
    QStringList propTexts;
    for (int i = 0; i < 10; ++i)
        propTexts << QString();
    TDateTime billDate = ToDateTime(QDateTime(QDate::currentDate(), QTime(0, 0)));
    TDateTime needDate = 0;
    double billQty = 0;
    QString existingSQL, key;
    const QString propsName = FieldName(mainDef, QStringLiteral("ManItmProps"));

    if (FImportType == itImportFreeNeed) {
        QString mask;
        QString sql = QStringLiteral("select ItmID, PropMask=");
        for (int i = 1; i <= 10; ++i)
            sql += QStringLiteral("%1cast(ItmHasProp%2 as char(1))").arg(i > 1 ? QStringLiteral("+") : QString()).arg(i);
        sql += QStringLiteral(" from QZ_Base_ItemMaster with(nolock) where ItmNo=") + QuoteSQL(itemNo);
        if (ExecSQLText(FReadQuery.get(), sql, true, false, true) && !FReadQuery->Eof()) {
            itemID = FReadQuery->FieldByName(QStringLiteral("ItmID"))->AsString();
            mask = FReadQuery->FieldByName(QStringLiteral("PropMask"))->AsString();
        }
        FReadQuery->Close();
        if (itemID.isEmpty())
            return reject(mkWarning, ::FormatMessage(QStringLiteral("[%s]的值(%s)不存在!"), QVariantList{FImportFields[2].Name, itemNo}));
        if (mask.contains(u'1')) {
            for (int n = 0; n < 10; ++n) {
                if (mask.mid(n, 1) != QLatin1String("1"))
                    continue;
                const int pos = FImportVarProps[size_t(n)];
                if (pos == 0)
                    return reject(mkError, ::FormatMessage(UCommonText::InvalidFieldValue, QVariantList{propsName, QString()}));
                propTexts[n] = VariantText(at(pos + 2));
                if (propTexts[n].trimmed().isEmpty())
                    return reject(mkWarning,
                                  ::FormatMessage(QStringLiteral("[%s]的内容不能为空!"), QVariantList{FImportFields[pos + 2].Name}));
            }
            QStringList args{QuoteSQL(itemNo)};
            for (const QString& t : propTexts)
                args << QuoteSQL(t);
            QString id;
            int errNum = -1;
            if (ExecSQLText(FReadQuery.get(), QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")),
                            true, false, true) &&
                !FReadQuery->Eof()) {
                id = FReadQuery->FieldByName(QStringLiteral("ID"))->AsString();
                errNum = FReadQuery->FieldByName(QStringLiteral("ErrNum"))->AsInteger();
            }
            FReadQuery->Close();
            if (errNum < 0)
                return reject(mkWarning, ::FormatMessage(QStringLiteral("[%s]的内容不能为空!"), QVariantList{propsName}));
            if (errNum > 0) {
                const int n = std::min(errNum, 10) - 1;
                const int pos = FImportVarProps[size_t(n)];
                return reject(mkWarning, ::FormatMessage(UCommonText::InvalidFieldValue,
                                                       QVariantList{pos > 0 ? FImportFields[pos + 2].Name : propsName, propTexts[n]}));
            }
            if (id.isEmpty())
                return reject(mkWarning, ::FormatMessage(QStringLiteral("[%s]的内容不能为空!"), QVariantList{propsName}));
            props = id;
        } else {
            for (QString& t : propTexts)
                t.clear();
        }
        const QString groupText = FImportVarGroupNo > 0 ? VariantText(at(FImportVarGroupNo + 2)).trimmed() : QString();
        origTag = FImportVarTag > 0 ? VariantText(at(FImportVarTag + 2)) : groupText;
        origSubTag = FImportVarSubTag > 0 ? VariantText(at(FImportVarSubTag + 2)) : QString();
        groupNo = groupText;
        groupType = groupNo.isEmpty() ? 0 : 9;
        // Free needs that share number and line but not the item stay apart.
        key = FreeRowKey(billNo, line, itemID, props);
        existingSQL = QStringLiteral("select ManIID, ManQty, ManAdjQty, ManHints from #QZ_MRP_Main with(nolock) where "
                                     "ManBillType=12 and ManBillNo=%1 and ManBillEntry=%2 and ManItmID=%3 and ManItmProps=%4")
                          .arg(QuoteSQL(billNo), QString::number(line), QuoteSQL(itemID), QuoteSQL(props));
    } else {
        struct TSrc {
            const char* ObjectID;
            int BillType;
            bool Always;
        };
        QList<TSrc> sources;
        if (FImportType == itImportSOorForcast)
            sources = {{"QZ_MRP.SO", 2, true}, {"QZ_MRP.SI", 4, false}, {"QZ_MRP.Forcast", 8, false}};
        else
            sources = {{"QZ_MRP.MO", 22, true}, {"QZ_MRP.MR", 34, false}, {"QZ_MRP.OO", 24, true}, {"QZ_MRP.OR", 36, false}};
        int found = 0;
        for (const TSrc& s : sources) {
            if (!s.Always && !InfoApplication->SystemEnumExists(QStringLiteral("MrpBillType"), s.BillType))
                continue;
            const QString objectID = QLatin1String(s.ObjectID);
            QString statement = MainImportLookupCache().Find(LoginTick(), objectID);
            if (statement.isNull()) {
                statement = BuildInfoObjectFilterSQL(objectID, BuildBillLookupSelect(objectID),
                                                     BuildBillLookupCondition(objectID), QString());
                if (statement.isEmpty())
                    continue;
                MainImportLookupCache().Store(LoginTick(), objectID, statement);
            }
            ExecSQLText(FReadQuery.get(), FormatBillLookup(statement, s.BillType, billNo, line, itemNo), true, true, false);
            found = FReadQuery->RecordCount();
            if (found != 0)
                break;
            FReadQuery->Close();
        }
        if (found == 0)
            return reject(mkWarning,
                          ::FormatMessage(QStringLiteral("导入的需求单据不存在, 或不符合计划运算条件!\r\r需求单号: %s\r需求行: %d\r物料代码: %s"),
                                        QVariantList{billNo, line, itemNo}));
        if (found > 1) {
            FReadQuery->Close();
            return reject(mkWarning,
                          ::FormatMessage(QStringLiteral("导入的需求单据因未指定行号而存在重复内容, 忽略导入!\r\r需求单号: %s\r物料代码: %s"),
                                        QVariantList{billNo, itemNo}));
        }
        TField* f = nullptr;
        auto text = [&](const char* AName) {
            f = FReadQuery->FieldByName(QLatin1String(AName));
            return f->IsNull() ? QString() : f->AsString();
        };
        auto plainOrNull = [&](const char* AName) {
            f = FReadQuery->FieldByName(QLatin1String(AName));
            return f->IsNull() ? QStringLiteral("null") : f->AsString();
        };
        billType = FReadQuery->FieldByName(QStringLiteral("BillType"))->AsInteger();
        billID = text("BillID");
        entry = FReadQuery->FieldByName(QStringLiteral("BillEntry"))->AsInteger();
        billDate = ToDateTime(FReadQuery->FieldByName(QStringLiteral("BilllDate"))->AsDateTime());
        billQty = FReadQuery->FieldByName(QStringLiteral("BillQty"))->AsFloat();
        needDate = ToDateTime(FReadQuery->FieldByName(QStringLiteral("NeedDate"))->AsDateTime());
        itemID = text("ItmID");
        props = text("ItmProps");
        for (int i = 0; i < 10; ++i)
            propTexts[i] = text(QStringLiteral("ItmProp%1").arg(i + 1).toLatin1().constData());
        suppID = text("SuppID");
        deptID = text("DeptID");
        bomType = FReadQuery->FieldByName(QStringLiteral("BomType"))->AsInteger();
        bomID = text("BomID");
        origType = plainOrNull("OrigType");
        origID = text("OrigID");
        origNo = text("OrigNo");
        origEntry = plainOrNull("OrigEntry");
        origItmID = text("OrigItmID");
        origCustID = text("OrigCustID");
        origCustPO = text("OrigCustPO");
        origTag = text("OrigTag");
        origSubTag = text("OrigSubTag");
        groupType = FReadQuery->FieldByName(QStringLiteral("MRPGroupType"))->AsInteger();
        groupNo = text("MRPGroupNo");
        FReadQuery->Close();
        key = BillRowKey(billType, billID, entry);
        existingSQL = QStringLiteral("select ManIID, ManQty, ManAdjQty, ManHints from #QZ_MRP_Main with(nolock) where "
                                     "ManBillType=%1 and ManBillID=%2 and ManBillEntry=%3")
                          .arg(QString::number(billType), QuoteSQL(billID), QString::number(entry));
    }

    // Quantities and hints.
    const int P = MainDemandPeriodIndex(periods, needDate);
    double A = FAdjPos >= 0 ? VariantQty(at(FAdjPos)) : 0;
    double Q = 0;
    QString H;
    int existingIID = 0;
    // A row of the same key still waiting in the gathered text is written
    // first, so that both records add up in one row.
    if (FPendingKeys.contains(key))
        RunImportSQL();
    if (ExecSQLText(FReadQuery.get(), existingSQL, true, false, true) && !FReadQuery->Eof()) {
        existingIID = FReadQuery->FieldByName(QStringLiteral("ManIID"))->AsInteger();
        Q = FReadQuery->FieldByName(QStringLiteral("ManQty"))->AsFloat();
        A = FReadQuery->FieldByName(QStringLiteral("ManAdjQty"))->AsFloat() + A;
        H = FReadQuery->FieldByName(QStringLiteral("ManHints"))->AsString().trimmed();
        if (H.isEmpty())
            H = PeriodKey(P) + u'=' + FloatToText(Q);
    }
    FReadQuery->Close();
    bool any = false;
    const QVariant dateValue = at(FDatePos);
    const TDateTime recordDate = VariantDate(dateValue);
    if (recordDate < 1) {
        for (int p = 0; p < int(periods.size()); ++p) {
            const double q = VariantQty(at(FPeriodPos + p));
            if (q <= 0)
                continue;
            if (needDate < 1)
                needDate = p == 0 ? periods[0].DateEnd : periods[size_t(p)].DateBegin;
            H = AddHintQty(H, p, q);
            Q += q;
            any = true;
        }
    } else {
        const double q = VariantQty(at(FQtyPos));
        if (q > 0) {
            if (needDate < 1)
                needDate = recordDate;
            H = AddHintQty(H, MainDemandPeriodIndex(periods, recordDate), q);
            Q += q;
            any = true;
        }
    }
    if (!any)
        return reject(mkWarning, QStringLiteral("导入内容无计划数量, 或计划数量不大于0, 忽略导入。"));
    if (std::abs(HintQtyOf(H, P) - Q) < 1e-9)
        H.clear();
    else if (!H.isEmpty() && !H.endsWith(QStringLiteral("\r\n")))
        H += QStringLiteral("\r\n");

    const QString needText = u'\'' + DayText(needDate) + u'\'';
    const QString billDateText = u'\'' + DayText(billDate) + u'\'';
    if (existingIID == 0) {
        QStringList v;
        v << QString::number(P) << QString::number(billType) << QuoteSQL(billID) << QuoteSQL(billNo) << QString::number(entry)
          << billDateText << SQLQty(billQty) << QuoteSQL(deptID) << QuoteSQL(suppID) << origType << QuoteSQL(origID)
          << QuoteSQL(origNo) << origEntry << QuoteSQL(origItmID) << QuoteSQL(origCustID) << QuoteSQL(origCustPO)
          << QuoteSQL(origTag) << QuoteSQL(origSubTag) << QString::number(groupType) << QuoteSQL(groupNo) << QuoteSQL(itemID)
          << QuoteSQL(props);
        for (const QString& t : propTexts)
            v << QuoteSQL(t);
        v << needText << QStringLiteral("1") << QString::number(bomType) << QuoteSQL(bomID) << SQLQty(billQty - (Q - A))
          << SQLQty(Q - A) << SQLQty(A) << SQLQty(Q) << QStringLiteral("''") << QuoteSQL(H);
        AddImportStatement(kInsertColumns + v.join(QStringLiteral(", ")) + u')');
        if (!FImportSQL.isEmpty())
            FPendingKeys.insert(key);
    } else {
        AddImportStatement(QStringLiteral("update #QZ_MRP_Main set ManPeriod=") + QString::number(P) +
                           QStringLiteral(", ManBillDate=") + billDateText + QStringLiteral(", ManDate=") + needText +
                           QStringLiteral(", ManBillQty=") + SQLQty(billQty) + QStringLiteral(",ManExeQty=") +
                           SQLQty(billQty - (Q - A)) + QStringLiteral(", ManNeedQty=") + SQLQty(Q - A) +
                           QStringLiteral(", ManAdjQty=") + SQLQty(A) + QStringLiteral(", ManQty=") + SQLQty(Q) +
                           QStringLiteral(", ManNote='', ManHints=") + QuoteSQL(H) + QStringLiteral(" where ManIID=") +
                           QString::number(existingIID));
        if (!FImportSQL.isEmpty())
            FPendingKeys.insert(key);
    }
}
