#include "untMRPDeduct.h"

#include "UDBComm.h"
#include "untApplication.h"
#include "untMRP.h"
#include "untMRPLevelSelects.h"
#include "untMRPUtils.h"

#include <QDate>
#include <algorithm>
#include <cmath>
#include <memory>

using namespace untMRPUtils;
using untMRPLevelSelects::VariantToDateTime;

namespace {

QString N(qlonglong value) { return QString::number(value); }
QString Q(const QString& text) { return QuoteSQL(text); }

// Day numbers count from 1899-12-30.
const QDate kDayZero(1899, 12, 30);
QDate DayToDate(std::int64_t day) { return kDayZero.addDays(day); }
std::int64_t DateToDayNumber(const QDate& date) { return kDayZero.daysTo(date); }

// Quantities below this are what is left of a subtraction in floating point.
constexpr double kQtyResidue = 5e-9;

// Ends a write batch at its first failing or empty statement: the whole run's
// transaction is rolled back and an error is raised, so that the caller never
// goes on outside the transaction.
const QString kCheckSaved = QStringLiteral("if @saveerror<>0 or @saverowcount=0\r"
                                           "begin\r"
                                           "rollback\r"
                                           "raiserror ('', 16, 1)\r"
                                           "return\r"
                                           "end\r");
const QString kCheckStatement = QStringLiteral("select @saveerror=@@error, @saverowcount=@@rowcount\r") + kCheckSaved;

// Runs a write batch; a failure is passed on to the run's one handler.
void Exec(TADOQuery* AQuery, const QString& ASQL)
{
    ExecSQLText(AQuery, ASQL, false, true, false);
}

void Open(TADOQuery* AQuery, const QString& ASQL)
{
    ExecSQLText(AQuery, ASQL, true, true, false);
}

QString FieldStr(TADOQuery* q, const char* name) { return q->FieldByName(QLatin1String(name))->AsString(); }
double FieldQty(TADOQuery* q, const char* name) { return q->FieldByName(QLatin1String(name))->AsFloat(); }

// One order line that may consume a forecast line.
struct TOrderLine {
    int OrdType = 0; // 2 sales order, 4 export order
    QString OrdID;
    int OrdEntry = 0;
    QString OrdItmID;
    double OpenQty = 0; // in the order's own unit
    double Factor = 1;  // base units per unit of the order
};

// The open order lines of one forecast line, in the order they consume it.
QString BuildOrderLinesSQL(const QString& AForItmID, const QString& AForID, int AForEntry, const QString& AItmProps,
                           const QString& ACustID, const QString& ATag, std::int64_t ABegin, std::int64_t AEnd,
                           const QString& ASOSelect, const QString& ASISelect)
{
    const QString soCust = ACustID.isEmpty() ? QString() : QStringLiteral("SOCustID=") + Q(ACustID) + QStringLiteral(" and");
    const QString siCust = ACustID.isEmpty() ? QString() : QStringLiteral("SICustID=") + Q(ACustID) + QStringLiteral(" and");
    const QString tag = ATag.isEmpty() ? QString() : QStringLiteral("OrigTag=") + Q(ATag) + QStringLiteral(" and");
    const QString pattern = QStringLiteral(
        "select %1DelivDate=s.%1DelivDate, OrdType=%2, %1ID=s.%1ID, %1Entry=s.%1Entry, %1ItmID=s.%1ItmID, "
        "ItmProps=s.ItmProps, "
        "%1Qty=%1BillQty-isnull(%1DedMQty,0)-isnull(%1DedAQty,0), %1UntFactor=s.OrdUntFactor, "
        "%1ItmUntFactor=s.OrdItmUntFactor "
        "from (%3) as s left join QZ_MRP_%1Ext as x on s.%1ID=x.%1ID and s.%1Entry=x.%1Entry "
        "left join QZ_MRP_ItemSetting as t with(nolock) on s.%1ItmID=t.ItmID and ItmPlanItmID=%4 "
        "left join (select DedOrdID, DedOrdEntry from QZ_MRP_Deduction where DedForID=%5 and DedForEntry=%6 and "
        "DedOrdType=%2) as r on s.%1ID=DedOrdID and s.%1Entry=DedOrdEntry "
        "where (%1DelivDate between '%7' and '%8') and %9 %10 (s.%1ItmID=%4 and s.ItmProps=%11 or t.ItmID is not null) "
        "and DedOrdID is null and isnull(%1DedADis,0)=0 and %1BillQty>isnull(%1DedMQty,0)+isnull(%1DedAQty,0)");
    auto part = [&](const QString& X, int type, const QString& select, const QString& cust) {
        return pattern.arg(X, N(type), select, Q(AForItmID), Q(AForID), N(AForEntry), DayToDateStr(ABegin),
                           DayToDateStr(AEnd), cust, tag, Q(AItmProps));
    };
    return part(QStringLiteral("SO"), 2, ASOSelect, soCust) + QStringLiteral("\runion\r") +
           part(QStringLiteral("SI"), 4, ASISelect, siCust) +
           QStringLiteral("\rorder by SODelivDate, OrdType, SOID, SOEntry");
}

// Adds an automatic quantity to a line's extension row, made when missing,
// followed by the check of the statement that ran.
QString BuildExtAddSQL(const QString& ATable, const QString& X, const QString& AID, const QString& AEntry,
                       const QString& AItmID, const QString& AQty, const QString& AUser)
{
    return QStringLiteral(
               "if exists (select * from %1 where %2ID=%3 and %2Entry=%4)\rbegin\r"
               "update %1 set %2DedAQty=isnull(%2DedAQty,0)+%5, %2DedUsrID=%6, %2DedTime=getdate() "
               "where %2ID=%3 and %2Entry=%4\r"
               "select @saveerror=@@error, @saverowcount=@@rowcount\rend\relse\rbegin\r"
               "insert %1 (%2ID, %2Entry, %2ItmID, %2DedAQty, %2DedMQty, %2DedUsrID, %2DedTime) "
               "values (%3, %4, %7, %5, 0, %6, getdate())\r"
               "select @saveerror=@@error, @saverowcount=@@rowcount\rend\r")
               .arg(ATable, X, AID, AEntry, AQty, AUser, AItmID) +
           kCheckSaved;
}

// The batch of one match: the deduction record and the automatic quantities
// of the forecast's and the order's extension rows.
QString BuildMatchSQL(const QString& AForID, int AForEntry, const QString& AForItmID, const TOrderLine& AOrder,
                      double AForQty, double AOrdQty, const QString& AUserID)
{
    const QString X = AOrder.OrdType == 2 ? QStringLiteral("SO") : QStringLiteral("SI");
    const QString forID = Q(AForID), forEntry = N(AForEntry), ordID = Q(AOrder.OrdID), ordEntry = N(AOrder.OrdEntry);
    const QString forQty = SQLQty(AForQty), ordQty = SQLQty(AOrdQty), user = Q(AUserID);
    QString sql = QStringLiteral("begin tran\rdeclare @saveerror int, @saverowcount int\r");
    sql += QStringLiteral("insert QZ_MRP_Deduction (DedForID, DedForEntry, DedOrdType, DedOrdID, DedOrdEntry, DedForQty, "
                          "DedOrdQty, DedManual, DedUsrID, DedTime) values (%1, %2, %3, %4, %5, %6, %7, 0, %8, getdate())\r")
               .arg(forID, forEntry, N(AOrder.OrdType), ordID, ordEntry, forQty, ordQty, user);
    sql += kCheckStatement;
    sql += BuildExtAddSQL(QStringLiteral("QZ_MRP_ForcastExt"), QStringLiteral("For"), forID, forEntry, Q(AForItmID),
                          forQty, user);
    sql += BuildExtAddSQL(QStringLiteral("QZ_MRP_") + X + QStringLiteral("Ext"), X, ordID, ordEntry,
                          Q(AOrder.OrdItmID), ordQty, user);
    sql += QStringLiteral("commit\r");
    return sql;
}

// Takes back the automatic deductions of the forecast lines in scope; returns
// at once when none of them carries one.
QString BuildTakeBackSQL(const QString& AForcastSelect)
{
    QString sql = QStringLiteral(
        "if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_MRP_Forcast'))\r"
        "drop table #QZ_MRP_Forcast\r"
        "select x.ForID, x.ForEntry into #QZ_MRP_Forcast from QZ_MRP_ForcastExt as x join (");
    sql += AForcastSelect;
    sql += QStringLiteral(") as s on x.ForID=s.ForID and x.ForEntry=s.ForEntry where ForDedAQty>0\r"
                          "if @@error<>0 or @@rowcount=0\rreturn\r"
                          "begin tran\rdeclare @saveerror int, @saverowcount int\r");
    const QString onError = QStringLiteral("if @@error<>0\rbegin\rrollback\rraiserror ('', 16, 1)\rreturn\rend\r");
    for (const auto& [X, type] : {std::pair{QStringLiteral("SO"), 2}, std::pair{QStringLiteral("SI"), 4}}) {
        sql += QStringLiteral("update x set %1DedAQty=isnull(%1DedAQty,0)-DedOrdQty from (select DedOrdID, DedOrdEntry, "
                              "DedOrdQty=sum(DedOrdQty) from #QZ_MRP_Forcast join QZ_MRP_Deduction on ForID=DedForID and "
                              "ForEntry=DedForEntry where DedManual=0 and DedOrdType=%2 group by DedOrdID, DedOrdEntry) as r "
                              "join QZ_MRP_%1Ext as x on DedOrdID=%1ID and DedOrdEntry=%1Entry\r")
                   .arg(X, N(type));
        sql += onError;
    }
    sql += QStringLiteral("update x set ForDedAQty=0 from #QZ_MRP_Forcast as s join QZ_MRP_ForcastExt as x on "
                          "s.ForID=x.ForID and s.ForEntry=x.ForEntry\r");
    sql += kCheckStatement;
    sql += QStringLiteral("delete d from #QZ_MRP_Forcast join QZ_MRP_Deduction as d on ForID=DedForID and "
                          "ForEntry=DedForEntry where DedManual=0\r");
    sql += kCheckStatement;
    sql += QStringLiteral("commit\r");
    return sql;
}

// The first statement of the run's transaction writes the run's lock row, so
// that a second run waits at this point until the first has committed and
// only then reads the quantities still open.
QString BuildLockSQL(const QString& AUserID)
{
    return QStringLiteral("update QZ_SYS_SysSettings set SetValue=%1 where SetClass='QZ_MRP' and SetKey='AutoDeductLock'\r"
                          "if @@error<>0\rreturn\r"
                          "if @@rowcount=0\r"
                          "insert QZ_SYS_SysSettings (SetClass, SetKey, SetValue) values ('QZ_MRP', 'AutoDeductLock', %1)\r")
        .arg(Q(AUserID));
}

// The order select of one object: its lines with the unit factors that turn
// the order's quantity into base units.
QString BuildOrderSelect(const QString& AObjectID, const QString& X, const QString& AFilterCode)
{
    const QString fields = QStringLiteral("s.%1ID, s.%1Entry, s.%1CustID, s.%1DelivDate, s.%1ItmID, s.%1BillQty, "
                                          "OrigTag=$$OrigTag$$, ItmProps=isnull($$ItmProps$$, ''), "
                                          "OrdUntFactor=isnull(nullif(dedu.UntFactor,0),1), "
                                          "OrdItmUntFactor=isnull(nullif(dedb.UntFactor,0),1)")
                               .arg(X);
    const QString filter = QStringLiteral("s.Checked=1 and s.%1ForcastID is null").arg(X);
    const QString units = QStringLiteral(
                              "left join QZ_Base_Unit as dedu with(nolock) on s.%1UntID=dedu.UntID "
                              "left join QZ_Base_ItemMaster as dedi with(nolock) on s.%1ItmID=dedi.ItmID "
                              "left join QZ_Base_Unit as dedb with(nolock) on dedi.ItmUnitID=dedb.UntID")
                              .arg(X);
    return BuildInfoObjectFilterSQL(AObjectID, fields, filter, AFilterCode, QString(), QString(), units);
}

} // namespace

void GetAutoDeductWindow(const TAuotDeductOptions& AOptions, std::int64_t ADay, std::int64_t& ABegin,
                         std::int64_t& AEnd)
{
    if (!AOptions.SpanDeduct) {
        ABegin = ADay - AOptions.DaysBefore;
        AEnd = ADay + AOptions.DaysAfter;
        return;
    }
    const std::int64_t switchDay = DateToDay(AOptions.Span2Date);
    const bool weekSwitch = AOptions.Span1Week && AOptions.Span2Month;
    if (AOptions.Span1Week && !(weekSwitch && ADay >= switchDay)) {
        ABegin = ADay - DayToDate(ADay).dayOfWeek() + 1;
        AEnd = ABegin + 6;
        if (weekSwitch && AEnd >= switchDay)
            AEnd = switchDay - 1;
        return;
    }
    const QDate d = DayToDate(ADay);
    const QDate first(d.year(), d.month(), 1);
    ABegin = DateToDayNumber(first);
    AEnd = DateToDayNumber(first.addMonths(1)) - 1;
    if (weekSwitch && ABegin < switchDay)
        ABegin = switchDay;
}

bool RunAutoDeduction(const TAuotDeductOptions& AOptions)
{
    if (!InfoApplication)
        return false;
    const QString userID = InfoApplication->LoginInfo.UserID;
    const QString forcastSelect = BuildInfoObjectFilterSQL(
        QStringLiteral("QZ_MRP.Forcast"),
        QStringLiteral("s.ForID, s.ForEntry, s.ForCustID, s.ForDelivDate, s.ForItmID, s.ForQty, OrigTag=$$OrigTag$$, "
                       "ItmProps=isnull($$ItmProps$$, ''), ItmDecimal=i.ItmDecimal"),
        QStringLiteral("s.CanMRP<>0"), AOptions.ForcastFilterCode);
    const QString soSelect = BuildOrderSelect(QStringLiteral("QZ_MRP.SO"), QStringLiteral("SO"), AOptions.SOFilterCode);
    const QString siSelect = BuildOrderSelect(QStringLiteral("QZ_MRP.SI"), QStringLiteral("SI"), AOptions.SIFilterCode);
    if (forcastSelect.isEmpty() || soSelect.isEmpty() || siSelect.isEmpty())
        return false;

    std::unique_ptr<TADOQuery> exeQuery(NewPluginQuery());
    std::unique_ptr<TADOQuery> forQuery(NewPluginQuery());
    std::unique_ptr<TADOQuery> ordQuery(NewPluginQuery());
    TADOConnection* conn = exeQuery->Connection();
    if (!conn)
        return false;
    bool ok = false;
    try {
        kvado::ScopedTransaction tran(conn);
        Exec(exeQuery.get(), BuildLockSQL(userID));
        if (!AOptions.KeepLast)
            Exec(exeQuery.get(), BuildTakeBackSQL(forcastSelect));

        Open(forQuery.get(),
             QStringLiteral("select ForDelivDate, ForCustID, s.OrigTag, s.ForID, s.ForEntry, s.ForItmID, s.ItmProps, "
                            "s.ItmDecimal, "
                            "ForQty=ForQty-isnull(ForDedMQty,0)-isnull(ForDedAQty,0) from (") +
                 forcastSelect +
                 QStringLiteral(") as s left join QZ_MRP_ForcastExt as x on s.ForID=x.ForID and s.ForEntry=x.ForEntry "
                                "where isnull(ForDedADis,0)=0 and ForQty>isnull(ForDedMQty,0)+isnull(ForDedAQty,0) "
                                "order by ForDelivDate, ForCustID desc, OrigTag desc, s.ForID, s.ForEntry"));
        for (; !forQuery->Eof(); forQuery->Next()) {
            TField* date = forQuery->FieldByName(QStringLiteral("ForDelivDate"));
            if (date->IsNull())
                continue; // no delivery date, no window
            const QString forID = FieldStr(forQuery.get(), "ForID");
            const int forEntry = forQuery->FieldByName(QStringLiteral("ForEntry"))->AsInteger();
            const QString forItmID = FieldStr(forQuery.get(), "ForItmID");
            double rest = FieldQty(forQuery.get(), "ForQty");
            TField* itmDecimal = forQuery->FieldByName(QStringLiteral("ItmDecimal"));
            const int decimals = itmDecimal->IsNull() ? 8 : EffectiveDecimals(itmDecimal->AsInteger());
            std::int64_t begin = 0, end = 0;
            GetAutoDeductWindow(AOptions, DateToDay(VariantToDateTime(date->Value())), begin, end);
            Open(ordQuery.get(), BuildOrderLinesSQL(forItmID, forID, forEntry, FieldStr(forQuery.get(), "ItmProps"),
                                                    FieldStr(forQuery.get(), "ForCustID"),
                                                    FieldStr(forQuery.get(), "OrigTag"), begin, end, soSelect, siSelect));
            std::vector<TOrderLine> orders;
            for (; !ordQuery->Eof(); ordQuery->Next()) {
                TOrderLine o;
                o.OrdType = ordQuery->FieldByName(QStringLiteral("OrdType"))->AsInteger();
                o.OrdID = FieldStr(ordQuery.get(), "SOID");
                o.OrdEntry = ordQuery->FieldByName(QStringLiteral("SOEntry"))->AsInteger();
                o.OrdItmID = FieldStr(ordQuery.get(), "SOItmID");
                o.OpenQty = FieldQty(ordQuery.get(), "SOQty");
                o.Factor = FieldQty(ordQuery.get(), "SOUntFactor") / FieldQty(ordQuery.get(), "SOItmUntFactor");
                if (!std::isfinite(o.Factor) || !(o.Factor > 0))
                    o.Factor = 1;
                orders.push_back(o);
            }
            ordQuery->Close();
            for (const TOrderLine& o : orders) {
                if (rest <= kQtyResidue)
                    break;
                // Both sides in base units; the order's part goes back to its own unit.
                // A converted quantity keeps the item's decimals, so that the rest of a
                // line cut before (kept in the order's unit) is again a whole number of
                // base units.
                const double openBase = o.Factor == 1 ? o.OpenQty : RoundTo(o.OpenQty * o.Factor, decimals);
                double forQty = openBase;
                double ordQty = o.OpenQty;
                if (openBase > rest) {
                    forQty = rest;
                    ordQty = RoundTo(rest / o.Factor, 8);
                }
                if (forQty <= kQtyResidue || ordQty <= kQtyResidue)
                    continue;
                Exec(exeQuery.get(), BuildMatchSQL(forID, forEntry, forItmID, o, forQty, ordQty, userID));
                rest = RoundTo(rest - forQty, 8);
            }
        }
        forQuery->Close();
        tran.Commit();
        ok = true;
    } catch (const Exception&) {
        ok = false;
    }
    ExecSQLText(exeQuery.get(),
                QStringLiteral("if object_id('tempdb..#QZ_MRP_Forcast') is not null\rdrop table #QZ_MRP_Forcast"), false,
                false, false);
    return ok;
}
