#include "untInvAgeRun.h"

#include "Ado.h"
#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"

#include <QHash>

namespace {

const QString Sep = ViewSchemeParamSeparator;

QString option(const QString& AParams, const char* AName)
{
    return ReadDelimitedValue(AParams, QLatin1String(AName), Sep).trimmed();
}

int intOption(const QString& AParams, const char* AName, int ADefault)
{
    bool ok = false;
    const int v = option(AParams, AName).toInt(&ok);
    return ok ? v : ADefault;
}

QString ymd(const QDate& ADate)
{
    return ADate.toString(QStringLiteral("yyyyMMdd"));
}

// Drops a temporary table when it exists, ahead of creating it anew.
QString dropTemp(const QString& AName)
{
    return QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%1'))\rdrop table %1\r")
        .arg(AName);
}

QString inventoryCreateSQL()
{
    QString props;
    for (int n = 1; n <= 10; ++n)
        props += QStringLiteral("InvItmProp%1 nvarchar(80) null, ").arg(n);
    return dropTemp(QStringLiteral("#QZ_MRP_Inventory")) +
           QStringLiteral("create table #QZ_MRP_Inventory (InvItmID nvarchar(50) not null, InvItmProps nvarchar(100) not null "
                          "default '', ") +
           props +
           QStringLiteral("InvBatch nvarchar(80) not null, InvStkID nvarchar(50) not null, InvStpID nvarchar(50) not null "
                          "default '', InvGroupType tinyint not null default 0, InvGroupNo nvarchar(100) not null default '', "
                          "InvQty decimal(28,8) not null, InvInQty decimal(28,8) not null default 0)\r"
                          "create index #QZ_TmpIdx_Inventory1 on #QZ_MRP_Inventory (InvItmID, InvItmProps, InvBatch)\r"
                          "create index #QZ_TmpIdx_Inventory2 on #QZ_MRP_Inventory (InvStkID, InvStpID)\r"
                          "create index #QZ_TmpIdx_Inventory3 on #QZ_MRP_Inventory (InvGroupType, InvGroupNo)\r");
}

QString billsCreateSQL()
{
    const QString a = QStringLiteral("#QZ_MRP_LastStockInBillsA");
    const QString b = QStringLiteral("#QZ_MRP_LastStockInBillsB");
    const auto indexes = [](const QString& table, const QString& letter) {
        return QStringLiteral("create index #QZ_TmpIdx_LastStockInBills%2_1 on %1 (BillTypID, BillID, BillEntry)\r"
                              "create index #QZ_TmpIdx_LastStockInBills%2_2 on %1 (BillItmID, BillItmProps, BillBatch)\r"
                              "create index #QZ_TmpIdx_LastStockInBills%2_3 on %1 (BillStkID, BillStpID)\r"
                              "create index #QZ_TmpIdx_LastStockInBills%2_4 on %1 (BillGroupType, BillGroupNo)\r")
            .arg(table, letter);
    };
    return dropTemp(a) + dropTemp(b) +
           QStringLiteral(
               "create table #QZ_MRP_LastStockInBillsA (BillTypID nvarchar(50), BillTypName nvarchar(80), BillID nvarchar(50), "
               "BillNo nvarchar(80), BillEntry int, BillSupply nvarchar(80) null, BillDate datetime, BillItmID nvarchar(50), "
               "BillItmProps nvarchar(100) not null default '', BillBatch nvarchar(80) null, BillStkID nvarchar(50), "
               "BillStpID nvarchar(50) not null default '', BillGroupType tinyint not null default 0, "
               "BillGroupNo nvarchar(100) not null default '', BillQty decimal(28,8), BillPrice decimal(28,8) null, "
               "BillAmt decimal(28,8) null, BillOkQty decimal(28,8) default 0, BillOkAmt decimal(28,8) default 0, "
               "BillNote nvarchar(200) null, BillMemo nvarchar(200) null, BillOrdType int null, BillOrdID nvarchar(50) null, "
               "BillOrdNo nvarchar(80) null, BillOrdEntry int null, BillOrigType int null, BillOrigID nvarchar(50) null, "
               "BillOrigNo nvarchar(80) null, BillOrigEntry int null, BillOrigItmID nvarchar(50) null, "
               "BillOrigCustID nvarchar(50) null, BillOrigCustPO nvarchar(80) null, BillOrigTag nvarchar(80) null, "
               "BillAgeIID int null, BillDays int null, BillGroup tinyint null)\r") +
           indexes(a, QStringLiteral("A")) +
           QStringLiteral("select * into #QZ_MRP_LastStockInBillsB from #QZ_MRP_LastStockInBillsA\r") +
           indexes(b, QStringLiteral("B"));
}

QString ageMainCreateSQL()
{
    QString props, groups;
    for (int n = 1; n <= 10; ++n)
        props += QStringLiteral("AgeItmProp%1 nvarchar(80) null, ").arg(n);
    for (int n = 1; n <= MaxAgeGroups; ++n)
        groups += QStringLiteral(", AgeQty%1 decimal(28,8) null, AgeAmt%1 decimal(28,8) null").arg(n);
    return dropTemp(QStringLiteral("#QZ_MRP_InvAgeMain")) +
           QStringLiteral("create table #QZ_MRP_InvAgeMain (AgeIID int identity(1,1) primary key, AgeItmID nvarchar(50), "
                          "AgeItmProps nvarchar(100) not null default '', ") +
           props +
           QStringLiteral("AgeBatch nvarchar(80) null, AgeStkID nvarchar(50) null, AgeStpID nvarchar(50) null, "
                          "AgeGroupType tinyint null, AgeGroupNo nvarchar(100) null, AgeQty decimal(28,8), "
                          "AgePrice decimal(28,8) null, AgeAmt decimal(28,8) null, AgeInQty decimal(28,8) null, "
                          "AgeInAmt decimal(28,8) null, AgeInDate datetime null, AgeDays decimal(28,8) null, "
                          "AgeOutDate datetime null, AgePlanDate datetime null") +
           groups +
           QStringLiteral(")\r"
                          "create index #QZ_TmpIdx_InvAgeMain1 on #QZ_MRP_InvAgeMain (AgeItmID, AgeItmProps, AgeBatch)\r"
                          "create index #QZ_TmpIdx_InvAgeMain2 on #QZ_MRP_InvAgeMain (AgeStkID, AgeStpID)\r"
                          "create index #QZ_TmpIdx_InvAgeMain3 on #QZ_MRP_InvAgeMain (AgeGroupType, AgeGroupNo)\r");
}

// The columns of a stored item row, in the order of #QZ_MRP_InvAgeMain.
QString mainColumns()
{
    QString cols = QStringLiteral("AgeIID, AgeItmID, AgeItmProps");
    for (int n = 1; n <= 10; ++n)
        cols += QStringLiteral(", AgeItmProp%1").arg(n);
    cols += QStringLiteral(", AgeBatch, AgeStkID, AgeStpID, AgeGroupType, AgeGroupNo, AgePrice, AgeQty, AgeAmt, AgeInQty, "
                           "AgeInAmt, AgeInDate, AgeDays, AgeOutDate, AgePlanDate");
    for (int n = 1; n <= MaxAgeGroups; ++n)
        cols += QStringLiteral(", AgeQty%1, AgeAmt%1").arg(n);
    return cols;
}

const char* const DetailColumns =
    "AgeIID, AgeBillTypID, AgeBillTypName, AgeBillID, AgeBillNo, AgeBillEntry, AgeBillDate, AgeSupply, AgeBatch, AgeStkID, "
    "AgeStpID, AgeGroupType, AgeGroupNo, AgeBillQty, AgeBillAmt, AgePrice, AgeQty, AgeAmt, AgeDays, AgeGroup, AgeNote, AgeMemo, "
    "AgeOrdType, AgeOrdID, AgeOrdNo, AgeOrdEntry, AgeOrigType, AgeOrigID, AgeOrigNo, AgeOrigEntry, AgeOrigItmID, "
    "AgeOrigCustID, AgeOrigCustPO, AgeOrigTag";
const char* const BillColumns =
    "BillAgeIID, BillTypID, BillTypName, BillID, BillNo, BillEntry, BillDate, BillSupply, BillBatch, BillStkID, BillStpID, "
    "BillGroupType, BillGroupNo, BillQty, BillAmt, BillPrice, BillOkQty, BillOkAmt, BillDays, BillGroup, BillNote, BillMemo, "
    "BillOrdType, BillOrdID, BillOrdNo, BillOrdEntry, BillOrigType, BillOrigID, BillOrigNo, BillOrigEntry, BillOrigItmID, "
    "BillOrigCustID, BillOrigCustPO, BillOrigTag";

// The order kinds whose documents name the demand behind a receipt.
struct TOriginKind {
    int Type;
    const char* ObjectID;
    const char* Key;  // the kind's identity and entry columns, "SOID/SOEntry"
    bool IsSales;     // sales documents are the demand themselves
};
const TOriginKind OriginKinds[] = {
    {2, "QZ_MRP.SO", "SO", true},  {4, "QZ_MRP.SI", "SI", true},  {22, "QZ_MRP.MO", "MO", false},
    {24, "QZ_MRP.OO", "OO", false}, {26, "QZ_MRP.PO", "PO", false}, {28, "QZ_MRP.PI", "PI", false},
};

// The select of one order kind, built once per login (it depends on the
// user's permissions, not on the run).
QString originSelect(const TOriginKind& AKind)
{
    static QHash<int, QString> cache;
    static int cachedTick = -1;
    const int tick = InfoApplication ? InfoApplication->LoginTick : 0;
    if (tick != cachedTick) {
        cache.clear();
        cachedTick = tick;
    }
    if (const auto found = cache.constFind(AKind.Type); found != cache.constEnd())
        return found.value();
    const QString k = QLatin1String(AKind.Key);
    const QString fields =
        AKind.IsSales
            ? QStringLiteral("distinct s.%1ID, s.%1No, s.%1Entry, s.%1ItmID, s.%1CustID, s.%1CustPO, OrigTag=$$OrigTag$$").arg(k)
            : QStringLiteral("distinct s.%1ID, s.%1Entry, OrigType=$$OrigType$$,OrigID=$$OrigID$$, OrigNo=$$OrigNo$$, "
                             "OrigEntry=$$OrigEntry$$, OrigItmID=$$OrigItmID$$, OrigCustID=$$OrigCustID$$, "
                             "OrigCustPO=$$OrigCustPO$$, OrigTag=$$OrigTag$$")
                  .arg(k);
    const QString join = QStringLiteral(" join #QZ_MRP_LastStockInBillsB as tmpb with(nolock) on tmpb.BillOrdType=%1 and "
                                        "s.%2ID=tmpb.BillOrdID and s.%2Entry=tmpb.BillOrdEntry")
                             .arg(AKind.Type)
                             .arg(k);
    const QString sql = BuildInfoObjectFilterSQL(QLatin1String(AKind.ObjectID), fields, QString(), QString(), QString(), join);
    if (!sql.isEmpty())
        cache.insert(AKind.Type, sql);
    return sql;
}

} // namespace

TInvAgeOptions ReadInvAgeOptions(const QString& AParams, const QDate& AToday)
{
    TInvAgeOptions o;
    o.CurrentStock = intOption(AParams, "[InvType]", 0) != 0;
    if (o.CurrentStock) {
        o.CutOff = AToday;
    } else {
        const QString text = option(AParams, "[InvDate]");
        QDate date = StrToDateTime(text).date();
        if (!date.isValid())
            date = QDate::fromString(text.left(10), Qt::ISODate);
        o.CutOff = date.isValid() ? date : AToday.addDays(-1);
    }
    o.AllStocks = intOption(AParams, "[AllStocks]", 1) == 1;
    o.SelStocks = option(AParams, "[SelStocks]");
    o.Criteria = option(AParams, "[Criteria]");
    o.MergeBatch = intOption(AParams, "[MergeBatch]", 1) == 1;
    o.MergeStock = intOption(AParams, "[MergeStock]", 1) == 1;
    o.MergePlace = intOption(AParams, "[MergePlace]", 1) == 1;
    o.MergeTrack = intOption(AParams, "[MergeTrack]", 1) == 1;
    o.AgeType = intOption(AParams, "[AgeType]", 0);
    o.AgeGroups = option(AParams, "[AgeGroups]");
    o.PlanScheme = intOption(AParams, "[PlanScheme]", 0);
    return o;
}

QString InvAgeDateLiteral(const TInvAgeOptions& AOptions)
{
    return AOptions.CurrentStock ? QStringLiteral("null") : u'\'' + ymd(AOptions.CutOff) + u'\'';
}

QString InvAgeStockCondition(const TInvAgeOptions& AOptions)
{
    if (AOptions.AllStocks)
        return QString();
    QStringList items = AOptions.SelStocks.split(u'|');
    items.removeLast();  // only text followed by "|" is an item
    QStringList ids;
    for (const QString& item : std::as_const(items))
        if (!item.trimmed().isEmpty())
            ids << QuotedStr(item.trimmed());
    if (ids.isEmpty())
        return QString();
    return QStringLiteral("$$StockID$$ in (") + ids.join(u',') + u')';
}

QString InvAgeFilterLiteral(const QString& AStockCondition, const QString& ACriteriaCondition)
{
    return QuotedStr(CombineConditions(AStockCondition, ACriteriaCondition, QStringLiteral("and")));
}

QString InvAgeGroupSQL(const TAgeGroups& AGroups, const QDate& ACutOff)
{
    if (AGroups.isEmpty())
        return QStringLiteral("\r");
    QString sql = QStringLiteral(",BillGroup=(case");
    for (qsizetype i = AGroups.size() - 1; i >= 1; --i)
        sql += QStringLiteral(" when BillDate<'%1' then %2").arg(ymd(ACutOff.addDays(-AGroups[i].Offset + 1))).arg(i + 1);
    return sql + QStringLiteral(" else 1 end)\r");
}

QString InvAgeAssignSQL()
{
    // A receipt without a batch explains the stock row without one.
    const QString join = QStringLiteral(
        " join #QZ_MRP_Inventory as v with(nolock) on a.BillItmID=InvItmID and a.BillItmProps=InvItmProps and "
        "isnull(a.BillBatch,'')=InvBatch and a.BillStkID=InvStkID and a.BillStpID=InvStpID and a.BillGroupType=InvGroupType "
        "and a.BillGroupNo=InvGroupNo\r");
    return QStringLiteral("update b set BillOkQty=(case when a.BillQty<=InvQty-InvInQty then a.BillQty else InvQty-InvInQty "
                          "end) from #QZ_MRP_LastStockInBillsA as a with(nolock) join #QZ_MRP_LastStockInBillsB as b "
                          "with(nolock) on a.BillTypID=b.BillTypID and a.BillID=b.BillID and a.BillEntry=b.BillEntry") +
           join +
           QStringLiteral("update v set InvInQty=InvInQty+(case when a.BillQty<=InvQty-InvInQty then a.BillQty else "
                          "InvQty-InvInQty end) from #QZ_MRP_LastStockInBillsA as a with(nolock)") +
           join;
}

QString InvAgeBuildSQL(const TInvAgeOptions& AOptions, const QString& AFilterLiteral)
{
    const QString cutOff = ymd(AOptions.CutOff);
    TAgeGroups groups;
    ParseAgeGroups(AOptions.AgeGroups, groups);

    // a. amounts of the explained quantities, days and age group of each line;
    // a line of no quantity explains nothing and is worth nothing.
    QString sql = QStringLiteral("update #QZ_MRP_LastStockInBillsB set BillOkAmt=(case when BillQty<>0 then "
                                 "round(BillOkQty*BillAmt/BillQty, 2) else 0 end),BillDays=(case when BillDate<'%1' then "
                                 "datediff(day, BillDate, '%1') else 0 end)")
                      .arg(cutOff) +
                  InvAgeGroupSQL(groups, AOptions.CutOff);
    // b. the item rows
    sql += ageMainCreateSQL();
    // c. their book quantities, explained quantities and last issue dates
    QString keys, invKeys;
    if (!AOptions.MergeBatch) {
        keys += QStringLiteral(", AgeBatch");
        invKeys += QStringLiteral(", InvBatch");
    }
    if (!AOptions.MergeStock) {
        keys += QStringLiteral(", AgeStkID");
        invKeys += QStringLiteral(", InvStkID");
    }
    if (!AOptions.MergePlace) {
        keys += QStringLiteral(", AgeStpID");
        invKeys += QStringLiteral(", InvStpID");
    }
    if (!AOptions.MergeTrack) {
        keys += QStringLiteral(", AgeGroupType, AgeGroupNo");
        invKeys += QStringLiteral(", InvGroupType, InvGroupNo");
    }
    sql += QStringLiteral("insert #QZ_MRP_InvAgeMain (AgeItmID, AgeItmProps %1, AgeQty, AgeInQty)\rselect InvItmID, InvItmProps "
                          "%2, sum(InvQty), sum(InvInQty) from #QZ_MRP_Inventory where InvQty<>0 group by InvItmID, InvItmProps "
                          "%2\rexec QZ_MRP_GetLastStockOutDate %3, %4, %5, %6, %7, %8\r")
               .arg(keys, invKeys, InvAgeDateLiteral(AOptions), AFilterLiteral)
               .arg(int(AOptions.MergeBatch))
               .arg(int(AOptions.MergeStock))
               .arg(int(AOptions.MergePlace))
               .arg(int(AOptions.MergeTrack));
    // d. each receipt line to its item row
    sql += QStringLiteral("update b set BillAgeIID=AgeIID from #QZ_MRP_LastStockInBillsB as b join #QZ_MRP_InvAgeMain "
                          "with(nolock) on BillItmID=AgeItmID and BillItmProps=AgeItmProps");
    if (!AOptions.MergeBatch)
        sql += QStringLiteral(" and isnull(BillBatch,'')=AgeBatch");
    if (!AOptions.MergeStock)
        sql += QStringLiteral(" and BillStkID=AgeStkID");
    if (!AOptions.MergePlace)
        sql += QStringLiteral(" and BillStpID=AgeStpID");
    if (!AOptions.MergeTrack)
        sql += QStringLiteral(" and BillGroupType=AgeGroupType and BillGroupNo=AgeGroupNo");
    sql += u'\r';
    // e. price, amounts, age, receipt date and the quantities of each group
    const QString days = AOptions.AgeType == 0   ? QStringLiteral("cast(sum(BillDays*BillOkQty/AgeInQty) as decimal(22,2))")
                         : AOptions.AgeType == 1 ? QStringLiteral("max(BillDays)")
                                                 : QStringLiteral("min(BillDays)");
    QString setGroups, sumGroups;
    for (int n = 1; n <= MaxAgeGroups; ++n) {
        setGroups += QStringLiteral(", AgeQty%1=BillQty%1, AgeAmt%1=BillAmt%1").arg(n);
        sumGroups += QStringLiteral(", BillQty%1=sum(case when BillGroup=%1 then BillOkQty else null end), BillAmt%1=sum(case "
                                    "when BillGroup=%1 then BillOkAmt else null end)")
                         .arg(n);
    }
    sql += QStringLiteral("update s set AgePrice=(case when BillQty<>0 then round(BillAmt/BillQty, 6) end), AgeAmt=(case when "
                          "AgeQty=BillOkQty then BillOkAmt when BillQty<>0 then round(AgeQty*BillAmt/BillQty, 2) end),"
                          "AgeInAmt=BillOkAmt, AgeDays=BillDays, AgeInDate=BillDate") +
           setGroups +
           QStringLiteral(" from #QZ_MRP_InvAgeMain as s join (select BillAgeIID, BillDays=") + days +
           QStringLiteral(", BillQty=sum(BillQty), BillAmt=sum(BillAmt), BillOkQty=sum(BillOkQty), BillOkAmt=sum(BillOkAmt), "
                          "BillDate=max(BillDate)") +
           sumGroups + QStringLiteral(" from #QZ_MRP_LastStockInBillsB with(nolock)") +
           (AOptions.AgeType == 0 ? QStringLiteral(" join #QZ_MRP_InvAgeMain on BillAgeIID=AgeIID") : QString()) +
           QStringLiteral(" where BillOkQty>0 group by BillAgeIID) as t on AgeIID=BillAgeIID\r");
    // f. the date at which the reference plan first uses the item's stock
    if (AOptions.PlanScheme > 0)
        sql += QStringLiteral("update s set AgePlanDate=AltDate from #QZ_MRP_InvAgeMain as s join (select SupItmID, SupItmProps, "
                              "AltDate=min(AltDate) from QZ_MRP_Supplies with(nolock) join QZ_MRP_Allots with(nolock) on "
                              "SupSchIID=AltSchIID and SupIID=AltSupIID where SupSchIID=%1 and SupBillType=%2 and AltDate>'%3' "
                              "group by SupItmID, SupItmProps) as r on AgeItmID=SupItmID and AgeItmProps=SupItmProps")
                   .arg(AOptions.PlanScheme)
                   .arg(16)
                   .arg(cutOff);
    return sql;
}

bool ClearInvAgeResults(TADOQuery* AQuery, int AResultSchemeIID, bool ADropScheme, const QString& AUserID)
{
    if (AResultSchemeIID == 0)
        return true;
    if (!ADropScheme)
        return ExecSQLText(AQuery,
                           QStringLiteral("delete QZ_MRP_InvAgeMain where AgeSchIID=%1\rdelete QZ_MRP_InvAgeDetail where "
                                          "AgeSchIID=%1")
                               .arg(AResultSchemeIID),
                           false, false, true);
    return ExecSQLText(AQuery,
                       QStringLiteral("delete QZ_MRP_InvAgeScheme where SchIID=%1 or SchUsrID=%2 and SchTime<getdate()-7\r"
                                      "delete d from QZ_MRP_InvAgeMain as d left join QZ_MRP_InvAgeScheme with(nolock) on "
                                      "AgeSchIID=SchIID where SchIID is null\r"
                                      "delete d from QZ_MRP_InvAgeDetail as d left join QZ_MRP_InvAgeScheme with(nolock) on "
                                      "AgeSchIID=SchIID where SchIID is null")
                           .arg(AResultSchemeIID)
                           .arg(QuotedStr(AUserID)),
                       false, false, true);
}

// ---- TInvAgeRun --------------------------------------------------------------------

TInvAgeRun::TInvAgeRun(TADOQuery* AQuery, TInfoObjectDef* AObjectDef)
    : FQuery(AQuery)
    , FObjectDef(AObjectDef)
{
}

bool TInvAgeRun::exec(const QString& ASQL, bool AOpen)
{
    return ExecSQLText(FQuery, ASQL, AOpen, false, true);
}

bool TInvAgeRun::Execute(const QString& AParams, int& AResultSchemeIID)
{
    const TInvAgeOptions options = ReadInvAgeOptions(AParams, Today);
    const QString dateLiteral = InvAgeDateLiteral(options);
    QString criteria;
    if (!options.Criteria.isEmpty()) {
        TInfoObjectDef* filterDef =
            InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.InvFilter")) : nullptr;
        if (!filterDef)
            return false;
        criteria = InfoApplication->TranslateFilterCodeToSQL(filterDef, options.Criteria, FQuery);
    }
    const QString filterLiteral = InvAgeFilterLiteral(InvAgeStockCondition(options), criteria);

    // The stock on hand.
    if (!exec(inventoryCreateSQL() +
                  QStringLiteral("exec QZ_MRP_GetHistoryInventory %1, %2\r").arg(dateLiteral, filterLiteral),
              true))
        return false;
    const int stockRows = FQuery->Active() && !FQuery->IsEmpty() ? FQuery->FieldByName(QStringLiteral("RowCnt"))->AsInteger() : 0;
    FQuery->Close();
    if (stockRows == 0)
        return ClearInvAgeResults(FQuery, AResultSchemeIID, false, QString());

    // The receipts that explain it, newest first, pass by pass.
    if (!exec(billsCreateSQL(), false))
        return false;
    const QString undo = QStringLiteral("insert #QZ_MRP_LastStockInBillsB\rselect * from #QZ_MRP_LastStockInBillsA\r"
                                        "exec QZ_MRP_UndoInnerTransBills %1, %2, %3, %4, %5\r")
                             .arg(filterLiteral)
                             .arg(int(options.MergeBatch))
                             .arg(int(options.MergeStock))
                             .arg(int(options.MergePlace))
                             .arg(int(options.MergeTrack)) +
                         InvAgeAssignSQL() + QStringLiteral("truncate table #QZ_MRP_LastStockInBillsA");
    if (!receiptPasses(dateLiteral, undo))
        return false;

    // Prices, ages, groups and item rows.
    if (FObjectDef && FObjectDef->GetAccessGroup(QStringLiteral("Money")) && !exec(QStringLiteral("exec QZ_MRP_GetLastStockInPrice"), false))
        return false;
    if (!exec(InvAgeBuildSQL(options, filterLiteral), false))
        return false;
    if (!origins())
        return false;
    return save(AResultSchemeIID);
}

bool TInvAgeRun::receiptPasses(const QString& ADateLiteral, const QString& AUndoSQL)
{
    const QString fetch = QStringLiteral("exec QZ_MRP_GetLastStockInBills ") + ADateLiteral;
    // Lines an earlier pass brought already are dropped: a pass of nothing
    // but those adds nothing and ends the passes.
    const QString fresh = QStringLiteral(
        "delete a from #QZ_MRP_LastStockInBillsA as a join #QZ_MRP_LastStockInBillsB as b with(nolock) on "
        "a.BillTypID=b.BillTypID and a.BillID=b.BillID and a.BillEntry=b.BillEntry\r"
        "select RowCnt=count(*) from #QZ_MRP_LastStockInBillsA");
    const auto rowCount = [this](const QString& sql, int& count) {
        if (!exec(sql, true))
            return false;
        count = FQuery->Active() && !FQuery->IsEmpty() ? FQuery->FieldByName(QStringLiteral("RowCnt"))->AsInteger() : 0;
        FQuery->Close();
        return true;
    };
    for (;;) {
        int count = 0;
        if (!rowCount(fetch, count))
            return false;
        if (count == 0)
            return true;
        if (!rowCount(fresh, count))
            return false;
        if (count == 0)
            return true;
        if (!exec(AUndoSQL, false))
            return false;
        if (OnCheckEscape && OnCheckEscape())
            return false;
    }
}

bool TInvAgeRun::origins()
{
    QString sql = QStringLiteral(
        "create index #QZ_TmpIdx_LastStockInBillsB5 on #QZ_MRP_LastStockInBillsB (BillOrdType, BillOrdID, BillOrdEntry)\r");
    for (const TOriginKind& kind : OriginKinds) {
        const QString select = originSelect(kind);
        if (select.isEmpty()) {
            const QString name = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), kind.Type)
                                                 : QString::number(kind.Type);
            ShowError(QStringLiteral("访问信息对象\"%1\"受到限制!").arg(name));
            return false;
        }
        const QString k = QLatin1String(kind.Key);
        sql += kind.IsSales
                   ? QStringLiteral("update s set BillOrigType=BillOrdType, BillOrigID=%1ID, BillOrigNo=%1No, BillOrigEntry=%1Entry, "
                                    "BillOrigItmID=%1ItmID, BillOrigCustID=%1CustID, BillOrigCustPO=%1CustPO, BillOrigTag=OrigTag")
                         .arg(k)
                   : QStringLiteral("update s set BillOrigType=OrigType, BillOrigID=OrigID, BillOrigNo=OrigNo, "
                                    "BillOrigEntry=OrigEntry, BillOrigItmID=OrigItmID, BillOrigCustID=OrigCustID, "
                                    "BillOrigCustPO=OrigCustPO, BillOrigTag=OrigTag");
        sql += QStringLiteral(" from #QZ_MRP_LastStockInBillsB as s join (") + select +
               QStringLiteral(") as r on BillOrdID=%1ID and BillOrdEntry=%1Entry where BillOrdType=%2\r").arg(k).arg(kind.Type);
    }
    return exec(sql, false);
}

bool TInvAgeRun::save(int& AResultSchemeIID)
{
    const int previous = AResultSchemeIID;
    // The new rows replace the old ones whole or not at all.
    kvado::ScopedTransaction transaction(FQuery->Connection());
    if (AResultSchemeIID == 0) {
        const QString user = InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
        if (!exec(QStringLiteral("insert QZ_MRP_InvAgeScheme (SchUsrID) values (%1)\rselect SchIID=@@identity").arg(QuotedStr(user)),
                  true))
            return false;
        AResultSchemeIID = FQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger();
        FQuery->Close();
    } else if (!ClearInvAgeResults(FQuery, AResultSchemeIID, false, QString())) {
        return false;
    }
    const QString iid = QString::number(AResultSchemeIID);
    const QString main = mainColumns();
    const QString detail = QLatin1String(DetailColumns);
    const QString bills = QLatin1String(BillColumns);
    if (!exec(QStringLiteral("insert QZ_MRP_InvAgeMain (AgeSchIID, ") + main + QStringLiteral(")\rselect ") + iid +
                  QStringLiteral(", ") + main + QStringLiteral(" from #QZ_MRP_InvAgeMain with(nolock)\r") +
                  QStringLiteral("insert QZ_MRP_InvAgeDetail (AgeSchIID, ") + detail + QStringLiteral(")\rselect ") + iid +
                  QStringLiteral(", ") + bills +
                  QStringLiteral(" from #QZ_MRP_LastStockInBillsB with(nolock) where BillOkQty>0"),
              false)) {
        AResultSchemeIID = previous;
        return false;
    }
    transaction.Commit();
    return true;
}
