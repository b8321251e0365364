// The MRP run: work tables, run log, low-level codes, the balance statement and
// TMRPRun, which gathers demands and supplies, plans level by level, explodes
// bills of materials, builds the balance and kit quantities and saves the
// result (RunMRP lists its stages).
#include "untMRP.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untInfoObjectDef.h"
#include "untMRPLevelSelects.h"
#include "untMRPUtils.h"

#include <QStringList>
#include <algorithm>
#include <memory>
#include <unordered_map>

using namespace untMRPUtils;
using untMRPLevelSelects::VariantToDateTime;

// ---- MRP run -------------------------------------------------------------

#include "untMRPBom.h"
#include "untMRPKit.h"
#include "untMRPLevel.h"
#include "untMRPLowCodes.h"
#include "untMRPOrderLines.h"
#include "untMRPLevelSelects.h"

#include "EscapeKey.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>

namespace {

TMRPRunStats gRunStats;

// With profiling on, the time of a batch is added up under its key.
void NoteBatchTime(const QString& key, const QElapsedTimer& timer)
{
    TMRPRunStats::TBatchTime& t = gRunStats.BatchTimes[key];
    ++t.Count;
    t.Nanoseconds += timer.nsecsElapsed();
}

// Every SQL text of a run goes through here, so a run can tell how much it sent.
bool RunSQL(TADOQuery* query, const QString& sql, bool aOpen, bool aReraise, bool aShow)
{
    ++gRunStats.Batches;
    gRunStats.Chars += sql.size();
    if (!gRunStats.Profile)
        return ExecSQLText(query, sql, aOpen, aReraise, aShow);
    QElapsedTimer timer;
    timer.start();
    const bool result = ExecSQLText(query, sql, aOpen, aReraise, aShow);
    QString key = sql.left(100);
    key.remove(QRegularExpression(QStringLiteral("[0-9]")));
    NoteBatchTime(key, timer);
    return result;
}

QString DropIfExists(const QString& table)
{
    return QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%1'))\rdrop table %1\r")
        .arg(table);
}

QString Props(const QString& prefix)
{
    QString s;
    for (int i = 1; i <= 10; ++i)
        s += QStringLiteral("%1%2 nvarchar(80) null, ").arg(prefix).arg(i);
    return s;
}

QString PropList(const QString& prefix)
{
    QStringList l;
    for (int i = 1; i <= 10; ++i)
        l << prefix + QString::number(i);
    return l.join(QStringLiteral(", "));
}

// Columns of the stored results, in the order of the result tables.
const QString kDemandColumns = QStringLiteral(
    "DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, DmdSuppID, DmdDeptID, "
    "DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, "
    "DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdItmID, DmdItmProps, ") + PropList(QStringLiteral("DmdItmProp")) +
    QStringLiteral(", DmdDate, DmdDayOffset, DmdPriority, DmdPSupIID, DmdUnitQty, DmdNeedQty, DmdInvQty, DmdMOQty, "
                   "DmdOOQty, DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, DmdGrpxQty, DmdReplQty, DmdChkQty, DmdASetQty, "
                   "DmdASetRate, DmdPPPQty1, DmdPPPQty2, DmdPDmdIID1, DmdPDmdIID2, DmdQty, DmdBomHook, DmdBomType, "
                   "DmdBomID, DmdNote, DmdHints, DmdPHints");
const QString kSupplyColumns = QStringLiteral(
    "SupIID, SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, SupSuppID, SupDeptID, "
    "SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, SupOrigCustPO, SupOrigTag, "
    "SupOrigSubTag, SupGroupType, SupGroupNo, SupItmID, SupItmProps, ") + PropList(QStringLiteral("SupItmProp")) +
    QStringLiteral(", SupDate, SupLeadDays, SupPriority, SupPDmdIID, SupAdjQty, SupQty, SupChkQty, SupAllotQty, "
                   "SupAGrpxQty, SupAReplQty, SupHasAdjDays, SupRestQty, SupBomLocked, SupBomType, SupBomID, SupDrawDate, "
                   "SupDSetQty, SupDSetRate, SupDestQty, SupDester, SupDestTime, SupNote, SupHints, SupPHints, "
                   "SupPDmdIIDs, SupTrackKey");
const QString kBalanceQtyColumns = QStringLiteral(
    "BalForQty, BalSOQty, BalFreeQty, BalInvQty, BalPOQty, BalOOQty, BalMOQty, BalGInQty, BalRInQty, BalChkQty, BalPRQty, "
    "BalORQty, BalMRQty, BalSafeQty, BalOODQty, BalMODQty, BalGOutQty, BalROutQty, BalPOODQty, BalPMODQty, BalVirDQty, "
    "BalNetQty, BalQty, BalPPOQty, BalPOOQty, BalPMOQty, BalXQty, BalEndQty");

} // namespace

void AddRunLog(TMRPRunLog& ALog, TMessageKind AKind, const QString& AText, bool AIndent)
{
    // A line longer than its column is cut, never the cause of an aborted run.
    const QString text = AText.left(MaxRunLogText);
    QDateTime time = QDateTime::currentDateTime();
    if (ALog.Query) {
        RunSQL(ALog.Query,
                    QStringLiteral("declare @time datetime\rselect @time=getdate()\rinsert #QZ_MRP_RunLog (LogIndent, LogKind, "
                                   "LogText, LogTime) values (%1, %2, %3, @time)\rselect LogTime=@time")
                        .arg(AIndent ? 1 : 0)
                        .arg(int(AKind))
                        .arg(QuoteSQL(text)),
                    true, true, false);
        if (!ALog.Query->Eof())
            time = ALog.Query->FieldByName(QStringLiteral("LogTime"))->AsDateTime();
        ALog.Query->Close();
    }
    if (!ALog.AddMsgProc)
        return;
    const QString shown = time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss ")) + text;
    void* node = ALog.AddMsgProc(AKind, shown, QString(), QVariant(), QVariant(), AIndent ? ALog.LastMainNode : nullptr);
    if (!AIndent)
        ALog.LastMainNode = node;
}

void CreateMRPWorkTables(TADOQuery* AQuery, bool ACareItemReplace, bool ADemandByOrigDate)
{
    // Hints columns hold a line per period of the longest period list.
    const QString hints = QStringLiteral("varchar(max)");
    QString sql;
    sql += DropIfExists(QStringLiteral("#QZ_MRP_RefGetBOM")) +
           QStringLiteral("create table #QZ_MRP_RefGetBOM (PrdID nvarchar(50) null, BomType tinyint null, BomID nvarchar(50) "
                          "null)\rcreate index #QZ_MRP_RefGetBOMIdx on #QZ_MRP_RefGetBOM (PrdID, BomType, BomID)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_BOM")) +
           QStringLiteral("create table #QZ_MRP_BOM (BomType tinyint null, BomID nvarchar(50) null, BomNo nvarchar(80) null, "
                          "BomPrdID nvarchar(50) null, BomPrdOkRate decimal(28,8) null, BomEntry int null, BomItmID "
                          "nvarchar(50) not null, BomProps nvarchar(100) not null default(''), ") +
           Props(QStringLiteral("BomProp")) +
           QStringLiteral("BomFixed bit null, BomQty decimal(28,8) null, BomBaseQty decimal(28,8) null, BomLossRate "
                          "decimal(28,8) null, BomPutLossRate varchar(500) null, BomUntID nvarchar(50) null, BomUQty "
                          "decimal(28,8) null, BomUBaseQty decimal(28,8) null, BomPercent decimal(28,8) null, BomRowHook "
                          "varchar(50) null, BomBeginDate datetime null, BomEndDate datetime null, BomOffsetDay int null, "
                          "BomPosition nvarchar(500) null, BomPosNo nvarchar(500) null, BomStkID nvarchar(50) null, "
                          "BomOperSeq nvarchar(50) null, BomOperID nvarchar(50) null, BomDrawType nvarchar(80) null, BomRole "
                          "tinyint null, BomRoleName nvarchar(80) null, BomItmBomType tinyint null, BomItmBomID nvarchar(50) "
                          "null, BomItmBomNo nvarchar(80) null, BomItmBomOkRate decimal(28,8) null, BomItmBomLocked bit null, "
                          "BomItmBomSkip tinyint null, BomNote nvarchar(500) null, BomNote1 nvarchar(500) null, BomNote2 "
                          "nvarchar(500) null, BomNote3 nvarchar(500) null)\rcreate index #QZ_MRP_BOMIdx on #QZ_MRP_BOM "
                          "(BomType, BomID)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_Supplies")) +
           QStringLiteral("create table #QZ_MRP_Supplies (SupIID int not null identity(1,1) primary key clustered, SupPeriod "
                          "smallint not null, SupBillType tinyint not null, SupBillID nvarchar(50) null, SupBillNo "
                          "nvarchar(80) null, SupBillEntry int null, SupBillDate datetime null, SupBillQty decimal(28,8) null, "
                          "SupSuppID nvarchar(50) null, SupDeptID nvarchar(50) null, SupOrigType int null, SupOrigID "
                          "nvarchar(50) null, SupOrigNo nvarchar(80) null, SupOrigEntry int null, SupOrigItmID nvarchar(50) "
                          "null, SupOrigCustID nvarchar(50) null, SupOrigCustPO nvarchar(80) null, SupOrigTag nvarchar(80) "
                          "null, SupOrigSubTag nvarchar(80) null, SupGroupType tinyint not null default(0), SupGroupNo "
                          "nvarchar(100) not null default(''), SupDate datetime null, SupLeadDays int null, SupPriority int "
                          "null default(0), SupPDmdIID int null, SupItmID nvarchar(50) not null, SupItmProps nvarchar(100) not "
                          "null default(''), ") +
           Props(QStringLiteral("SupItmProp")) +
           QStringLiteral("SupAdjQty decimal(28,8) null, SupQty decimal(28,8) not null, SupChkQty decimal(28,8) null, "
                          "SupAllotQty decimal(28,8) null, SupAGrpxQty decimal(28,8) null, SupAReplQty decimal(28,8) null, "
                          "SupHasAdjDays bit null default(0), SupRestQty decimal(28,8) not null, SupBomLocked bit not null "
                          "default(0), SupBomType tinyint not null default(0), SupBomID nvarchar(50) null, SupDrawDate "
                          "datetime null, SupDSetQty decimal(28,8) null, SupDSetRate decimal(28,8) null, SupNote "
                          "nvarchar(500) null, SupHints %1 null, SupPHints %1 null, SupTrackKey nvarchar(200) null, "
                          "SupPDmdIIDs text null, SupDestQty decimal(28,8) null, SupDester nvarchar(50) null, SupDestTime "
                          "datetime null)\r"
                          "create index #QZ_MRP_SupBillType on #QZ_MRP_Supplies (SupBillType, SupBillID, SupBillEntry)\r"
                          "create index #QZ_MRP_SupItmID on #QZ_MRP_Supplies (SupItmID)\r")
               .arg(hints);
    sql += DropIfExists(QStringLiteral("#QZ_MRP_SupAdjusts")) +
           QStringLiteral("create table #QZ_MRP_SupAdjusts (AdjSupIID int, AdjOldType int null, AdjOldBomID nvarchar(50) null, "
                          "AdjOldQty decimal(28,8) null)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_Demands")) +
           QStringLiteral("create table #QZ_MRP_Demands (DmdIID int not null identity(1,1) primary key clustered, DmdPeriod "
                          "smallint not null, DmdBillType tinyint null, DmdBillID nvarchar(50) null, DmdBillNo nvarchar(80) "
                          "null, DmdBillEntry int null, DmdBillDate datetime null, DmdBillQty decimal(28,8) null, DmdSuppID "
                          "nvarchar(50) null, DmdDeptID nvarchar(50) null, DmdOrigType int null, DmdOrigID nvarchar(50) null, "
                          "DmdOrigNo nvarchar(80) null, DmdOrigEntry int null, DmdOrigItmID nvarchar(50) null, DmdOrigCustID "
                          "nvarchar(50) null, DmdOrigCustPO nvarchar(80) null, DmdOrigTag nvarchar(80) null, DmdOrigSubTag "
                          "nvarchar(80) null, DmdGroupType tinyint not null default(0), DmdGroupNo nvarchar(100) not null "
                          "default(''), DmdDate datetime null, DmdDayOffset int null, DmdPriority int null default(0), "
                          "DmdPSupIID int null, DmdItmID nvarchar(50) not null, DmdItmProps nvarchar(100) not null "
                          "default(''), ") +
           Props(QStringLiteral("DmdItmProp")) +
           QStringLiteral("DmdUnitQty decimal(28,8) null, DmdNeedQty decimal(28,8) not null, DmdInvQty decimal(28,8) null, "
                          "DmdMOQty decimal(28,8) null, DmdOOQty decimal(28,8) null, DmdPOQty decimal(28,8) null, DmdMRQty "
                          "decimal(28,8) null, DmdORQty decimal(28,8) null, DmdPRQty decimal(28,8) null, DmdChkQty "
                          "decimal(28,8) null, DmdPChkQty decimal(28,8) null, DmdGrpxQty decimal(28,8) null, DmdReplQty "
                          "decimal(28,8) null, DmdASetQty decimal(28,8) null, DmdASetRate decimal(28,8) null, DmdPPPQty1 "
                          "decimal(28,8) null, DmdPPPQty2 decimal(28,8) null, DmdPDmdIID1 int null, DmdPDmdIID2 varchar(1000) "
                          "null, DmdQty decimal(28,8) not null, DmdBomHook varchar(50) null, DmdBomType tinyint not null "
                          "default(0), DmdBomID nvarchar(50) null, DmdBomLocked bit not null default(0), DmdBomSkip tinyint "
                          "not null default(0), DmdNote nvarchar(500) null, DmdHints %1 null, DmdPHints %1 null)\r"
                          "create index #QZ_MRP_DmdBillType on #QZ_MRP_Demands (DmdBillType, DmdBillID, DmdBillEntry)\r"
                          "create index #QZ_MRP_DmdItmID on #QZ_MRP_Demands (DmdItmID)\r"
                          "create index #QZ_MRP_DmdPSupIID on #QZ_MRP_Demands (DmdPSupIID)\r")
               .arg(hints);
    sql += DropIfExists(QStringLiteral("#QZ_MRP_Allots")) +
           QStringLiteral("create table #QZ_MRP_Allots (AltIID int not null identity(1,1) primary key clustered, AltPeriod "
                          "smallint, AltSupIID int, AltDmdIID int, AltDate datetime, AltAdjDays int, AltTrack tinyint, AltQty "
                          "decimal(28,8), AltIsGrpx bit null, AltIsRepl bit null, AltReplQty decimal(28,8) null)\r"
                          "create index #QZ_MRP_AltSupIID on #QZ_MRP_Allots (AltSupIID)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_Balance")) +
           QStringLiteral("create table #QZ_MRP_Balance (BalIID int not null identity(1,1) primary key clustered, "
                          "BalGroupType tinyint not null default(0), BalGroupNo nvarchar(100) not null default(''), BalItmID "
                          "nvarchar(50) not null, BalItmProps nvarchar(100) not null default(''), ") +
           Props(QStringLiteral("BalItmProp"));
    {
        QStringList qty = kBalanceQtyColumns.split(QStringLiteral(", "));
        for (QString& c : qty)
            c += QStringLiteral(" decimal(28,8) null");
        sql += qty.join(QStringLiteral(", ")) + QStringLiteral(")\r");
    }
    sql += DropIfExists(QStringLiteral("#QZ_MRP_RunLog")) +
           QStringLiteral("create table #QZ_MRP_RunLog (LogIID int not null identity(1,1) primary key clustered, LogIndent bit, "
                          "LogKind tinyint, LogText nvarchar(500), LogTime datetime)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_ItemLowestCode")) +
           QStringLiteral("create table #QZ_MRP_ItemLowestCode (ItmID nvarchar(50) not null primary key clustered, LowestCode "
                          "int)\rcreate index #QZ_MRP_ItemLowestCodeIdx on #QZ_MRP_ItemLowestCode (LowestCode)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_MainItems")) +
           QStringLiteral("create table #QZ_MRP_MainItems (ManItmID nvarchar(50) not null, ManItmProps nvarchar(100) not null, "
                          "ManGroupType tinyint not null, ManGroupNo nvarchar(100) not null)\rcreate index "
                          "#QZ_MRP_MainItemsIdx on #QZ_MRP_MainItems (ManItmID, ManItmProps, ManGroupType, ManGroupNo)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_CurLevelDmdItems")) +
           QStringLiteral("create table #QZ_MRP_CurLevelDmdItems (DmdItmID nvarchar(50) not null, DmdItmProps nvarchar(100) not "
                          "null, DmdGroupType tinyint not null, DmdGroupNo nvarchar(100) not null)\rcreate index "
                          "#QZ_MRP_CurLevelDmdItemsIdx on #QZ_MRP_CurLevelDmdItems (DmdItmID, DmdItmProps, DmdGroupType, "
                          "DmdGroupNo)\r");
    sql += DropIfExists(QStringLiteral("#QZ_MRP_ItemInventory")) +
           QStringLiteral("create table #QZ_MRP_ItemInventory (InvItmID nvarchar(50) null, InvItmProps nvarchar(100) not null "
                          "default(''), ") +
           Props(QStringLiteral("InvItmProp")) +
           QStringLiteral("InvBatch nvarchar(80) null, InvOrigType int null, InvOrigID nvarchar(50) null, InvOrigNo "
                          "nvarchar(80) null, InvOrigEntry int null, InvOrigItmID nvarchar(50) null, InvOrigCustID "
                          "nvarchar(50) null, InvOrigCustPO nvarchar(80) null, InvOrigTag nvarchar(80) null, InvGroupType "
                          "tinyint not null default(0), InvGroupNo nvarchar(100) not null default(''), InvQty decimal(28,8) "
                          "null)\rcreate index #QZ_MRP_ItemInventoryIdx on #QZ_MRP_ItemInventory (InvItmID, InvItmProps, "
                          "InvBatch)\r");
    if (ACareItemReplace)
        sql += DropIfExists(QStringLiteral("#QZ_MRP_ItemSubsForMRPDemand")) +
               QStringLiteral("create table #QZ_MRP_ItemSubsForMRPDemand (DmdIID int not null, SubGlobal bit null, "
                              "SubPriority int null, SubRItmID nvarchar(50) not null, SubRProps nvarchar(100) not null "
                              "default(''), SubQty decimal(18,8) null, SubRQty decimal(18,8) null, SubReplace bit not null "
                              "default(0))\r");
    if (ADemandByOrigDate)
        sql += DropIfExists(QStringLiteral("#QZ_MRP_MainOrigDates")) +
               QStringLiteral("create table #QZ_MRP_MainOrigDates (ManBillType int null, ManBillID nvarchar(50) null, "
                              "ManBillDate datetime null)\rcreate index #QZ_MRP_MainOrigDatesIdx on #QZ_MRP_MainOrigDates "
                              "(ManBillType, ManBillID)\r");
    RunSQL(AQuery, sql, false, true, false);
}

namespace {

// Runs a statement and gives the rows it changed.
int ExecCount(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql + QStringLiteral("\rselect RowCnt=@@rowcount"), true, true, false);
    const int n = q->Eof() ? 0 : q->FieldByName(QStringLiteral("RowCnt"))->AsInteger();
    q->Close();
    return n;
}

int OpenCount(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql, true, true, false);
    const int n = q->Eof() ? 0 : q->Fields()->Field(0)->AsInteger();
    q->Close();
    return n;
}

void Exec(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql, false, true, false);
}

// Runs a prepared statement once per row; every bulk write of a run goes
// through here, so a run can tell how many rows it wrote.
void RunBulkStatement(TADOConnection* connection, const TMRPBulkStatement& st)
{
    if (st.Rows.isEmpty())
        return;
    QList<kvado::BulkParam> params;
    for (int i = 0; i < st.ParamNames.size(); ++i)
        params.append(kvado::BulkParam{st.ParamNames[i], st.ParamTypes[i]});
    ++gRunStats.Batches;
    gRunStats.Chars += st.Statement.size();
    gRunStats.BulkRows += st.Rows.size();
    QElapsedTimer timer;
    timer.start();
    connection->ExecuteBulk(params, st.Statement, st.Rows);
    if (gRunStats.Profile)
        NoteBatchTime(QStringLiteral("(bulk) ") + st.Statement.left(90), timer);
}

// The same in a transaction of its own.
void ExecBulk(TADOConnection* connection, const TMRPBulkStatement& st)
{
    if (st.Rows.isEmpty())
        return;
    kvado::ScopedTransaction tran(connection);
    RunBulkStatement(connection, st);
    tran.Commit();
}

// Without substitutes the steps below reach each item's longest path from a
// top item: the pairs are read once, the codes found in memory and written
// back in one transaction. False (nothing written) when the pairs hold a loop,
// which the steps then find and list.
bool CodesInMemory(TADOQuery* q, int& maxCode)
{
    QStringList items;
    RunSQL(q, QStringLiteral("select ItmID from #QZ_MRP_ItemLowestCode"), true, true, false);
    items.reserve(q->RecordCount());
    for (TField* f = q->Fields()->Field(0); !q->Eof(); q->Next())
        items.append(f->AsString());
    q->Close();
    std::vector<std::pair<QString, QString>> pairs;
    RunSQL(q, QStringLiteral("select ParentID, ChildID from #QZ_TmpTbl_BOM where ParentID is not null and ChildID is not null"),
           true, true, false);
    pairs.reserve(size_t(q->RecordCount()));
    for (TField *p = q->Fields()->Field(0), *c = q->Fields()->Field(1); !q->Eof(); q->Next())
        pairs.emplace_back(p->AsString(), c->AsString());
    q->Close();
    std::vector<int> codes;
    if (!untMRPLowCodes::LongestPathCodes(items, pairs, codes))
        return false;
    TMRPBulkStatement st;
    st.ParamNames = {QStringLiteral("@ItmID"), QStringLiteral("@Code")};
    st.ParamTypes = {QStringLiteral("nvarchar(50)"), QStringLiteral("int")};
    st.Statement = QStringLiteral("update #QZ_MRP_ItemLowestCode set LowestCode=@Code where ItmID=@ItmID");
    maxCode = 0;
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] > 0) {
            st.Rows.append({QVariant(items[qsizetype(i)]), QVariant(codes[i])});
            maxCode = std::max(maxCode, codes[i]);
        }
    ExecBulk(q->ActiveConnection(), st);
    return true;
}

// The pairs only open orders' bills name join the item graph, but none that
// leads back to its own product.
void MergePlanningPairs(TADOQuery* q)
{
    auto read = [q](const QString& sql) {
        std::vector<std::pair<QString, QString>> pairs;
        RunSQL(q, sql, true, true, false);
        for (TField *p = q->Fields()->Field(0), *c = q->Fields()->Field(1); !q->Eof(); q->Next())
            pairs.emplace_back(p->AsString(), c->AsString());
        q->Close();
        return pairs;
    };
    const auto planning = read(QStringLiteral("select PPPrdID, PPItmID from #QZ_TmpTbl_PPBOM as p left join #QZ_TmpTbl_BOM as b "
                                              "on p.PPPrdID=b.ParentID and p.PPItmID=b.ChildID where b.ParentID is null order "
                                              "by PPPrdID, PPItmID"));
    if (planning.empty())
        return;
    const std::vector<bool> kept = untMRPLowCodes::KeepPlanningPairs(
        read(QStringLiteral("select ParentID, ChildID from #QZ_TmpTbl_BOM where ParentID is not null and ChildID is not null")),
        planning);
    TMRPBulkStatement st;
    st.ParamNames = {QStringLiteral("@PrdID"), QStringLiteral("@ItmID")};
    st.ParamTypes = {QStringLiteral("nvarchar(50)"), QStringLiteral("nvarchar(50)")};
    st.Statement = QStringLiteral("insert #QZ_TmpTbl_BOM (ParentID, ChildID) values (@PrdID, @ItmID)");
    for (size_t i = 0; i < planning.size(); ++i)
        if (kept[i])
            st.Rows.append({QVariant(planning[i].first), QVariant(planning[i].second)});
    ExecBulk(q->ActiveConnection(), st);
}

} // namespace

int CalcLowLevelCodes(TADOQuery* AQuery, bool AUseOrderBoms, bool AUseSubstitutes)
{
    TADOQuery* q = AQuery;
    Exec(q, QStringLiteral("truncate table #QZ_MRP_ItemLowestCode\rinsert #QZ_MRP_ItemLowestCode (ItmID, LowestCode)\r"
                           "select ItmID, 0 from (select DmdItmID as ItmID from #QZ_MRP_Demands with(nolock) union select "
                           "SupItmID from #QZ_MRP_Supplies with(nolock) union select SupItmID from #QZ_MRP_LastSupAdjusts "
                           "with(nolock)) as x"));
    int n = OpenCount(q, QStringLiteral("select RowCnt=count(*) from #QZ_MRP_ItemLowestCode"));
    if (n == 0)
        return 0;
    Exec(q, DropIfExists(QStringLiteral("#QZ_MRP_RefGetBOM0")) +
                QStringLiteral("create table #QZ_MRP_RefGetBOM0 (PrdID nvarchar(50) null, BomType tinyint null, BomID "
                               "nvarchar(50) null)\rcreate index #QZ_TmpIdx_RefGetBOM0 on #QZ_MRP_RefGetBOM0 (PrdID, BomType, "
                               "BomID)\r") +
                DropIfExists(QStringLiteral("#QZ_MRP_BOMCouples")) +
                QStringLiteral("create table #QZ_MRP_BOMCouples (PrdID nvarchar(50) not null, ItmID nvarchar(50) not null, "
                               "ItmBomType tinyint not null, ItmBomID nvarchar(50) not null)\rcreate index "
                               "#QZ_TmpIdx_BOMCouples on #QZ_MRP_BOMCouples (PrdID, ItmID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_BOM")) +
                QStringLiteral("create table #QZ_TmpTbl_BOM (ParentID nvarchar(50) null, ChildID nvarchar(50) null)\r"
                               "create unique index #QZ_TmpIdx_BOM on #QZ_TmpTbl_BOM (ParentID, ChildID)\r"
                               "create index #QZ_TmpIdx_BOMChild on #QZ_TmpTbl_BOM (ChildID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_BOM0")) +
                QStringLiteral("create table #QZ_TmpTbl_BOM0 (ParentID nvarchar(50) null, ChildID nvarchar(50) null)\r"
                               "create unique index #QZ_TmpIdx_BOM0 on #QZ_TmpTbl_BOM0 (ParentID, ChildID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_ItemSubs")) +
                QStringLiteral("create table #QZ_TmpTbl_ItemSubs (SubItmID nvarchar(50) null, SubRItmID nvarchar(50) null)"));
    if (AUseOrderBoms)
        Exec(q, DropIfExists(QStringLiteral("#QZ_TmpTbl_PPBOM")) +
                    QStringLiteral("create table #QZ_TmpTbl_PPBOM (PPPrdID nvarchar(50) null, PPItmID nvarchar(50) null)"));
    // Products whose bills are read: demands with a bill, requested and
    // planned supplies, kept adjustments with a bill, and (with order bills)
    // production and outsourcing orders.
    QString heads = QStringLiteral(
        "truncate table #QZ_MRP_RefGetBOM\rinsert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID)\r"
        "select distinct DmdItmID, DmdBomType, DmdBomID from #QZ_MRP_Demands as d with(nolock) join QZ_Base_ItemMaster as i "
        "with(nolock) on d.DmdItmID=i.ItmID where DmdBomID<>'' or i.ItmType>1\r"
        "union select distinct SupItmID, SupBomType, SupBomID from #QZ_MRP_Supplies with(nolock) where SupBillType in (34, "
        "36) or SupBillType>=42\r"
        "union select distinct SupItmID, SupBomType, SupBomID from #QZ_MRP_LastSupAdjusts with(nolock) where SupBomID<>''");
    if (AUseOrderBoms)
        heads += QStringLiteral("\runion select distinct SupItmID, null, null from #QZ_MRP_Supplies with(nolock) where "
                                "SupBillType in (22, 24)");
    Exec(q, heads);
    const QString skipped = QStringLiteral("(select ItmID from QZ_MRP_ItemSetting with(nolock) where ItmMrpSkip=1)");
    for (int guard = 0; guard < 1000; ++guard) {
        Exec(q, QStringLiteral("insert #QZ_MRP_RefGetBOM0 (PrdID, BomType, BomID) select PrdID, BomType, BomID from "
                               "#QZ_MRP_RefGetBOM\rtruncate table #QZ_MRP_BOMCouples\rexec QZ_MRP_GetBOMCouples\r"
                               "insert #QZ_TmpTbl_BOM (ParentID, ChildID) select distinct c.PrdID, c.ItmID from "
                               "#QZ_MRP_BOMCouples as c left join #QZ_TmpTbl_BOM as b on c.PrdID=b.ParentID and "
                               "c.ItmID=b.ChildID where b.ParentID is null and c.ItmID not in ") +
                    skipped);
        if (AUseOrderBoms)
            for (const char* src : {"QZ_MRP_MOBOM", "QZ_MRP_OOBOM"}) {
                const QString prd = QLatin1String(src) == QLatin1String("QZ_MRP_MOBOM") ? QStringLiteral("MOItmID")
                                                                                          : QStringLiteral("OOItmID");
                Exec(q, QStringLiteral("insert #QZ_TmpTbl_PPBOM (PPPrdID, PPItmID) select distinct o.%1, o.BomItmID from "
                                       "%2 as o with(nolock) join (select distinct PrdID from #QZ_MRP_RefGetBOM) as r on "
                                       "o.%1=r.PrdID left join #QZ_TmpTbl_BOM as b on o.%1=b.ParentID and "
                                       "o.BomItmID=b.ChildID left join #QZ_TmpTbl_PPBOM as pp on o.%1=pp.PPPrdID and "
                                       "o.BomItmID=pp.PPItmID where o.CanMRP=1 and o.BomQty>0 and o.BomItmID<>o.%1 and "
                                       "b.ParentID is null and pp.PPPrdID is null and o.BomItmID not in ")
                                .arg(prd, QLatin1String(src)) +
                            skipped);
            }
        // The next products: components with a bill of their own not read yet.
        const int next = ExecCount(
            q, QStringLiteral("truncate table #QZ_MRP_RefGetBOM\rinsert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) select "
                              "distinct c.ItmID, c.ItmBomType, c.ItmBomID from #QZ_MRP_BOMCouples as c join "
                              "QZ_Base_ItemMaster as i with(nolock) on c.ItmID=i.ItmID left join QZ_MRP_ItemSetting as t "
                              "with(nolock) on c.ItmID=t.ItmID left join #QZ_MRP_RefGetBOM0 as r on c.ItmID=r.PrdID where "
                              "r.PrdID is null and (case when isnull(t.ItmMrpType,0)<>0 then t.ItmMrpType else i.ItmType "
                              "end)>1") +
                (AUseOrderBoms ? QStringLiteral("\runion select distinct p.PPItmID, null, null from #QZ_TmpTbl_PPBOM as p join "
                                                "QZ_Base_ItemMaster as i with(nolock) on p.PPItmID=i.ItmID left join "
                                                "QZ_MRP_ItemSetting as t with(nolock) on p.PPItmID=t.ItmID left join "
                                                "#QZ_MRP_RefGetBOM0 as r on p.PPItmID=r.PrdID where r.PrdID is null and (case "
                                                "when isnull(t.ItmMrpType,0)<>0 then t.ItmMrpType else i.ItmType end)>1")
                               : QString()));
        if (next == 0)
            break;
    }
    if (AUseOrderBoms)
        MergePlanningPairs(q);
    n += ExecCount(q, QStringLiteral("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) select distinct b.ChildID, 0 from "
                                     "#QZ_TmpTbl_BOM as b left join #QZ_MRP_ItemLowestCode as c on b.ChildID=c.ItmID where "
                                     "c.ItmID is null"));
    bool subs = AUseSubstitutes;
    if (subs) {
        Exec(q, DropIfExists(QStringLiteral("#QZ_MRP_ItemSubsCouples")) +
                    QStringLiteral("create table #QZ_MRP_ItemSubsCouples (SubItmID nvarchar(50), SubRItmID nvarchar(50), "
                                   "SubPrdID nvarchar(50) null, SubBomType tinyint null, SubBomID nvarchar(50) null)\r"
                                   "exec QZ_MRP_GetItemSubsCouples\r"
                                   "insert #QZ_TmpTbl_ItemSubs (SubItmID, SubRItmID) select distinct s.SubItmID, s.SubRItmID "
                                   "from #QZ_MRP_ItemSubsCouples as s join #QZ_MRP_ItemLowestCode as c on s.SubItmID=c.ItmID "
                                   "left join #QZ_MRP_ItemLowestCode as p on s.SubPrdID=p.ItmID where (s.SubPrdID is null or "
                                   "p.ItmID is not null) and s.SubRItmID not in ") +
                    skipped);
        const int pairs = OpenCount(q, QStringLiteral("select count(*) from #QZ_TmpTbl_ItemSubs"));
        subs = pairs > 0;
        if (subs)
            n += ExecCount(q, QStringLiteral("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) select distinct s.SubRItmID, 0 "
                                             "from #QZ_TmpTbl_ItemSubs as s left join #QZ_MRP_ItemLowestCode as c on "
                                             "s.SubRItmID=c.ItmID where c.ItmID is null"));
    }
    // Each step moves every component below its deepest parent; without a
    // loop no code can exceed the number of items, and a substitute stays on
    // the level of the item it replaces.
    int maxCode = 0;
    bool loop = false;
    const bool settled = !subs && CodesInMemory(q, maxCode);
    for (int step = 0; !settled; ++step) {
        // Every code starts at 0. Without substitutes an item's code after a
        // step is the lesser of the steps made and its depth, so only the
        // components of the items that reached this step's code can move:
        // the step reads those parents alone instead of every pair.
        const QString movedParents = subs ? QString() : QStringLiteral(" where pc.LowestCode=%1").arg(step);
        int moved = ExecCount(q, QStringLiteral("update c set LowestCode=p.Code+1 from #QZ_MRP_ItemLowestCode as c join (select "
                                                "b.ChildID, max(pc.LowestCode) as Code from #QZ_TmpTbl_BOM as b join "
                                                "#QZ_MRP_ItemLowestCode as pc on b.ParentID=pc.ItmID%1 group by b.ChildID) as p "
                                                "on c.ItmID=p.ChildID where c.LowestCode<p.Code+1")
                                     .arg(movedParents));
        if (subs) {
            moved += ExecCount(q, QStringLiteral("update c set LowestCode=x.Code from #QZ_MRP_ItemLowestCode as c join (select "
                                                 "s.SubRItmID as ItmID, max(r.LowestCode) as Code from #QZ_TmpTbl_ItemSubs as s "
                                                 "join #QZ_MRP_ItemLowestCode as r on s.SubItmID=r.ItmID group by s.SubRItmID) "
                                                 "as x on c.ItmID=x.ItmID where c.LowestCode<x.Code"));
            moved += ExecCount(q, QStringLiteral("update c set LowestCode=x.Code from #QZ_MRP_ItemLowestCode as c join (select "
                                                 "s.SubItmID as ItmID, max(r.LowestCode) as Code from #QZ_TmpTbl_ItemSubs as s "
                                                 "join #QZ_MRP_ItemLowestCode as r on s.SubRItmID=r.ItmID group by s.SubItmID) "
                                                 "as x on c.ItmID=x.ItmID where c.LowestCode<x.Code"));
        }
        maxCode = OpenCount(q, QStringLiteral("select isnull(max(LowestCode),0) from #QZ_MRP_ItemLowestCode"));
        if (moved == 0)
            break;
        if (maxCode > n) {
            loop = true;
            break;
        }
    }
    if (loop) {
        // The items of a loop keep climbing: the pairs among the deepest
        // items and their closure show which item reaches itself.
        Exec(q, QStringLiteral("insert #QZ_TmpTbl_BOM0 (ParentID, ChildID) select b.ParentID, b.ChildID from #QZ_TmpTbl_BOM "
                               "as b join #QZ_MRP_ItemLowestCode as p on b.ParentID=p.ItmID join #QZ_MRP_ItemLowestCode as c "
                               "on b.ChildID=c.ItmID where p.LowestCode>%1 and c.LowestCode>%1")
                    .arg(n - 1));
        for (int guard = 0; guard <= n; ++guard)
            if (ExecCount(q, QStringLiteral("insert #QZ_TmpTbl_BOM0 (ParentID, ChildID) select distinct a.ParentID, b.ChildID "
                                            "from #QZ_TmpTbl_BOM0 as a join #QZ_TmpTbl_BOM0 as b on a.ChildID=b.ParentID left "
                                            "join #QZ_TmpTbl_BOM0 as x on a.ParentID=x.ParentID and b.ChildID=x.ChildID where "
                                            "x.ParentID is null")) == 0)
                break;
        RunSQL(q, QStringLiteral("select ItmNo, ItmName, ItmSpec from (select distinct ParentID from #QZ_TmpTbl_BOM0 "
                                      "with(nolock) where ParentID=ChildID) as b join QZ_Base_ItemMaster with(nolock) on "
                                      "ParentID=ItmID order by ItmNo"),
                    true, true, false);
        return -1;
    }
    Exec(q, QStringLiteral("drop table #QZ_MRP_RefGetBOM0\rdrop table #QZ_MRP_BOMCouples\rdrop table #QZ_TmpTbl_BOM\r"
                           "drop table #QZ_TmpTbl_BOM0\rdrop table #QZ_TmpTbl_ItemSubs"));
    if (AUseSubstitutes)
        Exec(q, QStringLiteral("if object_id('tempdb..#QZ_MRP_ItemSubsCouples') is not null\rdrop table #QZ_MRP_ItemSubsCouples"));
    if (AUseOrderBoms)
        Exec(q, QStringLiteral("drop table #QZ_TmpTbl_PPBOM"));
    return maxCode;
}

QString BuildBalanceSQL()
{
    // Demand and supply rows in one list, grouped once by group and item: a
    // full join of the two sums without the cost of joining them.
    auto d = [](const QString& codes) {
        return QStringLiteral("(case when DmdBillType in (%1) then DmdNeedQty end)").arg(codes);
    };
    auto s = [](const QString& codes) {
        return QStringLiteral("(case when SupBillType in (%1) then SupQty end)").arg(codes);
    };
    const QStringList dCols = {QStringLiteral("ForQ"),   QStringLiteral("SOQ"),   QStringLiteral("FreeQ"),
                               QStringLiteral("NGInvQ"), QStringLiteral("GInQ"),  QStringLiteral("RInQ"),
                               QStringLiteral("SafeQ"),  QStringLiteral("OODQ"),  QStringLiteral("MODQ"),
                               QStringLiteral("POODQ"),  QStringLiteral("PMODQ"), QStringLiteral("VirDQ"),
                               QStringLiteral("OutQ")};
    const QStringList dExpr = {d("8"),  d("2, 4"),  d("12"),      d("72"),       QStringLiteral("DmdGrpxQty"),
                               QStringLiteral("DmdReplQty"), d("74"), d("82, 79"), d("84, 80"), d("92"), d("94"),
                               d("96"), QStringLiteral("DmdNeedQty")};
    const QStringList sCols = {QStringLiteral("InvQ"),  QStringLiteral("POQ"),   QStringLiteral("OOQ"),
                               QStringLiteral("MOQ"),   QStringLiteral("ChkQ"),  QStringLiteral("PRQ"),
                               QStringLiteral("ORQ"),   QStringLiteral("MRQ"),   QStringLiteral("GOutQ"),
                               QStringLiteral("ROutQ"), QStringLiteral("BalQ"),  QStringLiteral("PPOQ"),
                               QStringLiteral("POOQ"),  QStringLiteral("PMOQ"),  QStringLiteral("XQ"),
                               QStringLiteral("InQ")};
    const QStringList sExpr = {s("16"), s("26, 28"), s("24"), s("22"), QStringLiteral("SupChkQty"), s("38"), s("36"),
                               s("34"), QStringLiteral("SupAGrpxQty"), QStringLiteral("SupAReplQty"), s("58, 52, 42"),
                               s("58"), s("52"), s("42"), s("54, 44, 62, 66, 64"), QStringLiteral("SupQty")};
    QString dSel = QStringLiteral("select DmdGroupType as GT, DmdGroupNo as GN, DmdItmID as IT, DmdItmProps as IP");
    QString sSel = QStringLiteral("select SupGroupType, SupGroupNo, SupItmID, SupItmProps");
    for (int i = 1; i <= 10; ++i) {
        dSel += QStringLiteral(", DmdItmProp%1 as DP%1, null as SP%1").arg(i);
        sSel += QStringLiteral(", null, SupItmProp%1").arg(i);
    }
    for (int i = 0; i < dCols.size(); ++i) {
        dSel += QStringLiteral(", %1 as %2").arg(dExpr[i], dCols[i]);
        sSel += QStringLiteral(", null");
    }
    for (int i = 0; i < sCols.size(); ++i) {
        dSel += QStringLiteral(", null as %1").arg(sCols[i]);
        sSel += QStringLiteral(", ") + sExpr[i];
    }
    dSel += QStringLiteral(" from #QZ_MRP_Demands with(nolock)");
    sSel += QStringLiteral(" from #QZ_MRP_Supplies with(nolock) where SupQty<>0");
    QString props;
    for (int i = 1; i <= 10; ++i)
        props += QStringLiteral("isnull(max(DP%1), max(SP%1)), ").arg(i);
    auto z = [](const QString& c) { return QStringLiteral("isnull(sum(%1),0)").arg(c); };
    const QString net = QStringLiteral("%1-%2+%3+%4+%5-%6+%7-%8")
                            .arg(z("OutQ"), z("InQ"), z("BalQ"), z("XQ"), z("GOutQ"), z("GInQ"), z("ROutQ"), z("RInQ"));
    const QString end = QStringLiteral("%1-%2+%3-%4+%5-%6")
                            .arg(z("InQ"), z("OutQ"), z("GInQ"), z("GOutQ"), z("RInQ"), z("ROutQ"));
    return QStringLiteral("insert #QZ_MRP_Balance (BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") +
           PropList(QStringLiteral("BalItmProp")) + QStringLiteral(", ") + kBalanceQtyColumns +
           QStringLiteral(")\rselect GT, GN, IT, IP, ") + props +
           QStringLiteral("sum(ForQ), sum(SOQ), sum(FreeQ), (case when sum(InvQ) is null and sum(NGInvQ) is null then null "
                          "else isnull(sum(InvQ),0)-isnull(sum(NGInvQ),0) end), sum(POQ), sum(OOQ), sum(MOQ), sum(GInQ), "
                          "sum(RInQ), sum(ChkQ), sum(PRQ), sum(ORQ), sum(MRQ), sum(SafeQ), sum(OODQ), sum(MODQ), sum(GOutQ), "
                          "sum(ROutQ), sum(POODQ), sum(PMODQ), sum(VirDQ), ") +
           net + QStringLiteral(", sum(BalQ), sum(PPOQ), sum(POOQ), sum(PMOQ), sum(XQ), ") + end +
           QStringLiteral("\rfrom (") + dSel + QStringLiteral("\runion all\r") + sSel +
           QStringLiteral(") as x group by GT, GN, IT, IP");
}

namespace {

// One run of MRP on a scheme: the work queries, the select cache, the log and
// the stages in order.
class TMRPRun {
public:
    TMRPRun(TPlanScheme& scheme, bool keepType, bool keepBom, bool keepQty, TAddProcessMessageNodeProc addMsg)
        : S(scheme), Q(scheme.PublicQuery()), KeepType(keepType), KeepBom(keepBom), KeepQty(keepQty)
    {
        Log.Query = Q;
        Log.AddMsgProc = std::move(addMsg);
        KeepAny = keepType || keepBom || keepQty;
        DmdQ.reset(scheme.NewSchemeQuery());
        SupQ.reset(scheme.NewSchemeQuery());
        SubQ.reset(scheme.NewSchemeQuery());
        if (KeepAny)
            AdjQ.reset(scheme.NewSchemeQuery());
    }

    bool Execute(TDateTime runTime, const QString& startMpsRunTime, int startState);
    void CleanUp();

private:
    TPlanScheme& S;
    TADOQuery* Q;
    bool KeepType, KeepBom, KeepQty, KeepAny;
    TMRPRunLog Log;
    std::unique_ptr<TADOQuery> DmdQ, SupQ, SubQ, AdjQ;
    TMRPSelectCache Cache;
    TInt64DynArray Holidays;
    int LosType = 0;
    bool TiedGathered = false;
    bool WorkTablesMade = false;

    void Info(const QString& text, bool indent = false)
    {
        if (Log.AddMsgProc)
            AddRunLog(Log, mkInformation, text, indent);
    }
    void CheckEsc()
    {
        if (InfoApplication)
            InfoApplication->CheckEscapeKeyPress(true);
    }
    QString FirstPlanDayBefore() const
    {
        return DayToDateStr(DateToDay(GetPlanBeginDate(S.MpsPeriods)) - 1);
    }
    bool BillTypeExists(int code) const
    {
        return InfoApplication && InfoApplication->SystemEnumExists(QStringLiteral("MrpBillType"), code);
    }
    QString Select(const QString& objectID, const QString& fields, const QString& filter, const QString& tail)
    {
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, objectID, fields, filter, QString(), QString(), QString(), tail);
        if (sql.isEmpty())
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {objectID}));
        return sql;
    }
    void GatherMainDemands();
    void RefreshMainQuantities();
    void NormaliseTiedSupplyHints();
    // The join (and condition) that keeps gathered rows to the items of a
    // level; a gathering over all levels (level < 0) gets no join.
    void LevelItemScope(int level, const QString& itemExpr, QString& join, QString& where) const;
    void GatherFreeSupplies(int level);
    // Open component lines of orders that are no demands yet: with
    // ordersOfLevel false, of the run's orders (all of them for level -1, else
    // those of the level's items); with it true, of the orders of the level
    // that serve demands (brought in after the level is planned).
    void GatherOrderComponents(int level, bool ordersOfLevel = false);
    void PlanLevel(int level, int levelCount);
    void AddOrdersOfMaterialDemands();
};

const QString kSupplyInsert = QStringLiteral(
    "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, "
    "SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, SupOrigCustPO, "
    "SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo, SupDate, SupPriority, SupPDmdIID, SupItmID, SupItmProps, ") +
    PropList(QStringLiteral("SupItmProp")) +
    QStringLiteral(", SupQty, SupChkQty, SupRestQty, SupBomLocked, SupBomType, SupBomID, SupDrawDate, SupHints, SupNote)\r");

const QString kDemandInsert = QStringLiteral(
    "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, "
    "DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, "
    "DmdOrigTag, DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdDate, DmdPriority, DmdPSupIID, DmdItmID, DmdItmProps, ") +
    PropList(QStringLiteral("DmdItmProp")) +
    QStringLiteral(", DmdUnitQty, DmdNeedQty, DmdQty, DmdBomHook, DmdNote)\r");

const QString kOrigMacros = QStringLiteral(
    "$$OrigType$$, $$OrigID$$, $$OrigNo$$, $$OrigEntry$$, $$OrigItmID$$, $$OrigCustID$$, $$OrigCustPO$$, $$OrigTag$$, "
    "$$OrigSubTag$$, isnull($$MRPGroupType$$, 0), isnull($$MRPGroupNo$$, '')");
const QString kPropMacros = QStringLiteral(
    "isnull($$ItmProps$$, ''), $$ItmProp1$$, $$ItmProp2$$, $$ItmProp3$$, $$ItmProp4$$, $$ItmProp5$$, $$ItmProp6$$, "
    "$$ItmProp7$$, $$ItmProp8$$, $$ItmProp9$$, $$ItmProp10$$");

void TMRPRun::RefreshMainQuantities()
{
    Exec(Q, DropIfExists(QStringLiteral("#QZ_MRP_MainX")) +
                QStringLiteral("create table #QZ_MRP_MainX (ManIID int not null primary key clustered, ManBillQty "
                               "decimal(28,8) null, ManExeQty decimal(28,8) null, ManDedQty decimal(28,8) null, ManNeedQty "
                               "decimal(28,8) null, ManAdjQty decimal(28,8) null, ManQty decimal(28,8), OldQty decimal(28,8), "
                               "ManHints varchar(max) null)"));
    struct TDoc {
        int type;
        const char* X;
        const char* table;
        bool forecast;
    } docs[] = {{8, "For", "QZ_MRP_Forcast", true}, {2, "SO", "QZ_MRP_SO", false}, {4, "SI", "QZ_MRP_SI", false}};
    QStringList parts;
    for (const TDoc& d : docs) {
        const QString X = QLatin1String(d.X);
        const QString ded = QStringLiteral("isnull(x.%1DedAQty,0)+isnull(x.%1DedMQty,0)").arg(X);
        const QString need = d.forecast ? QStringLiteral("s.%1Qty-(%2)").arg(X, ded) : QStringLiteral("s.%1Qty").arg(X);
        parts << QStringLiteral("select m.ManIID, s.%1BillQty, s.%1OkQty, %2, %3, m.ManAdjQty, %3+isnull(m.ManAdjQty,0), "
                                "m.ManQty, m.ManHints from QZ_MRP_Main as m join %4 as s with(nolock) on m.ManBillType=%5 and "
                                "m.ManBillID=s.%1ID and m.ManBillEntry=s.%1Entry left join %4Ext as x with(nolock) on "
                                "s.%1ID=x.%1ID and s.%1Entry=x.%1Entry where ManSchIID=%6")
                     .arg(X, ded, need, QLatin1String(d.table))
                     .arg(d.type)
                     .arg(S.SchemeIID);
    }
    Exec(Q, QStringLiteral("insert #QZ_MRP_MainX (ManIID, ManBillQty, ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, ManQty, "
                           "OldQty, ManHints)\r") +
                parts.join(QStringLiteral("\runion\r")));
    std::unique_ptr<TADOQuery> read(S.NewSchemeQuery());
    MergeQtyHints(S, QStringLiteral("select IID=ManIID, QtySum=ManQty, QtyHints=ManHints from #QZ_MRP_MainX where "
                                    "ManQty<>OldQty and ManHints<>''"),
                  QStringLiteral("update #QZ_MRP_MainX set ManHints=%s where ManIID=%d"), Q, read.get(), S.MpsPeriods,
                  S.MpsPeriods);
    Exec(Q, QStringLiteral("update m set ManBillQty=s.ManBillQty, ManExeQty=s.ManExeQty, ManDedQty=s.ManDedQty, "
                           "ManNeedQty=s.ManNeedQty, ManAdjQty=s.ManAdjQty, ManQty=s.ManQty, ManHints=s.ManHints from "
                           "QZ_MRP_Main as m join #QZ_MRP_MainX as s on m.ManSchIID=%1 and m.ManIID=s.ManIID\r"
                           "drop table #QZ_MRP_MainX")
                .arg(S.SchemeIID));
}

void TMRPRun::NormaliseTiedSupplyHints()
{
    RunSQL(SupQ.get(),
                QStringLiteral("select SupIID, SupQty, SupHints from #QZ_MRP_Supplies with(nolock) where SupBillType in (22, "
                               "24, 34, 36)"),
                true, true, false);
    TMRPSQLBatch batch([this](const QString& text) { Exec(Q, text); });
    for (; !SupQ->Eof(); SupQ->Next()) {
        std::map<int, double> byKey;
        const QStringList lines = SupQ->FieldByName(QStringLiteral("SupHints"))->AsString().split(QStringLiteral("\r\n"),
                                                                                                  Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            int key = -1;
            if (eq == 0) {
                // "=yyyymmdd": the period of that date.
                const QDate date = QDate::fromString(line.mid(1, 8), QStringLiteral("yyyyMMdd"));
                if (date.isValid())
                    key = FindPlanPeriodIndex(S.MpsPeriods, double(QDate(1899, 12, 30).daysTo(date)));
                if (key >= 0)
                    byKey[key] += SupQ->FieldByName(QStringLiteral("SupQty"))->AsFloat();
                continue;
            }
            key = PeriodKeyToIndex(line.left(eq));
            bool ok = false;
            const double v = TextToFloat(line.mid(eq + 1), &ok);
            if (key >= 0 && ok)
                byKey[key] += v;
        }
        batch.Add(QStringLiteral("update #QZ_MRP_Supplies set SupHints=%1 where SupIID=%2\r")
                      .arg(QuoteSQL(BuildHints(byKey)))
                      .arg(SupQ->FieldByName(QStringLiteral("SupIID"))->AsInteger()));
    }
    SupQ->Close();
    batch.Flush();
}

void TMRPRun::GatherMainDemands()
{
    const int iid = S.SchemeIID;
    if (S.PlanType == 0 || S.PlanType == 1) {
        if (S.PlanType == 0)
            RefreshMainQuantities();
        const QString freeName = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), 12)
                                                 : QString();
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, "
                               "DmdBillDate, DmdBillQty, DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, "
                               "DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag, DmdGroupType, "
                               "DmdGroupNo, DmdItmID, DmdItmProps, ") +
                    PropList(QStringLiteral("DmdItmProp")) +
                    QStringLiteral(", DmdDate, DmdPriority, DmdPSupIID, DmdBomType, DmdBomID, DmdUnitQty, DmdNeedQty, DmdQty, "
                                   "DmdNote, DmdHints, DmdPHints)\rselect ManPeriod, ManBillType, ManBillID, (case when "
                                   "rtrim(isnull(ManBillNo,''))='' then %1 else ManBillNo end), ManBillEntry, ManBillDate, "
                                   "ManBillQty, ManSuppID, ManDeptID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, "
                                   "ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, "
                                   "ManGroupNo, ManItmID, ManItmProps, ")
                        .arg(QuoteSQL(freeName)) +
                    PropList(QStringLiteral("ManItmProp")) +
                    QStringLiteral(", ManDate, ManPriority, null, ManBomType, ManBomID, null, ManQty, ManQty, ManNote, "
                                   "ManHints, ManHints from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType<=12 "
                                   "and ManQty>0 order by ManIID")
                        .arg(iid));
    }
    TiedGathered = (S.PlanType == 0 && S.PlanSource == 3) || S.PlanType == 2;
    if (TiedGathered) {
        struct TTied {
            const char* X;
            const char* objectID;
            int code;
            bool order;
        } tied[] = {{"MO", "QZ_MRP.MO", 22, true}, {"OO", "QZ_MRP.OO", 24, true}, {"MR", "QZ_MRP.MR", 34, false},
                    {"OR", "QZ_MRP.OR", 36, false}};
        for (const TTied& t : tied) {
            if (!t.order && (S.PlanType != 0 || !BillTypeExists(t.code)))
                continue;
            const QString X = QLatin1String(t.X);
            // The analyses read orders tied to their main demand, free within
            // the horizon, or not at all, by their source choice.
            bool free = false;
            if (S.PlanType != 0) {
                const int src = S.PlanSource;
                const bool none = t.code == 22 ? src >= 5 : (src == 3 || src == 4 || src >= 7);
                if (none)
                    continue;
                free = src != 0;
            }
            const QString qty = X == QLatin1String("MO") ? QStringLiteral("(case when s.MOQty>0 then s.MOQty else 0 end)")
                                : X == QLatin1String("OO")
                                    ? QStringLiteral("(case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end)")
                                    : QStringLiteral("s.%1Qty").arg(X);
            const QString chk = t.order ? QStringLiteral("s.%1ChkQty").arg(X) : QStringLiteral("null");
            const QString supp = (X == QLatin1String("OO") || X == QLatin1String("OR")) ? QStringLiteral("s.%1SuppID").arg(X)
                                                                                        : QStringLiteral("null");
            const QString locked = t.order ? QStringLiteral("1")
                                           : QStringLiteral("(case when s.%1BomID is null then 0 else 1 end)").arg(X);
            const QString fields =
                BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
                QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                    .arg(t.code)
                    .arg(X, supp) +
                kOrigMacros +
                (free ? QStringLiteral(", s.%1DelivDate, 50, -1, s.%1ItmID, ").arg(X)
                      : QStringLiteral(", s.%1DelivDate, 50+isnull(tmpm.ManPriority,0), -1, s.%1ItmID, ").arg(X)) +
                kPropMacros +
                QStringLiteral(", %1, %2, %1, %3, s.%4BomType, s.%4BomID, s.%4DrawDate, %5, left(isnull(s.%4Note,'')+'  "
                               "'+isnull(s.%4Remark,''), 500)")
                    .arg(qty, chk, locked, X,
                         free ? QStringLiteral("null")
                              : QStringLiteral("(case when tmpm.ManHints<>'' then tmpm.ManHints else "
                                               "'='+convert(char(8),tmpm.ManDate,112) end)"));
            const QString tail = free ? QString()
                                      : QStringLiteral(" join QZ_MRP_Main as tmpm with(nolock) on tmpm.ManSchIID=%1 and "
                                                       "tmpm.ManBillType=%2 and s.%3ID=tmpm.ManBillID and "
                                                       "s.%3Entry=tmpm.ManBillEntry")
                                            .arg(iid)
                                            .arg(t.code)
                                            .arg(X);
            QString filter = QStringLiteral("s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
            if (free)
                filter += QStringLiteral(" and s.%1DelivDate<'%2'")
                              .arg(X, DayToDateStr(DateToDay(GetPlanEndDate(S.MpsPeriods)) + 1));
            Exec(Q, kSupplyInsert + Select(QLatin1String(t.objectID), fields, filter, tail));
        }
    }
    if (S.PlanType == 0 || S.PlanSource == 0)
        NormaliseTiedSupplyHints();
    if (S.PlanType == 0)
        Exec(Q, kSupplyInsert +
                    QStringLiteral("select ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, "
                                   "ManSuppID, ManDeptID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, "
                                   "ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManDate, "
                                   "ManPriority, -1, ManItmID, ManItmProps, ") +
                    PropList(QStringLiteral("ManItmProp")) +
                    QStringLiteral(", ManQty, null, ManQty, 1, ManBomType, ManBomID, ManBillDate, ManHints, ManNote from "
                                   "QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType>=42 and ManQty>0")
                        .arg(iid));
    if (S.PlanNeedScope == 0 && S.CareItemSafety == 2)
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdOrigType, DmdOrigItmID, DmdPriority, "
                               "DmdItmID, DmdDate, DmdNeedQty, DmdQty)\rselect 0, 74, 74, t.ItmID, 98, t.ItmID, '%1', "
                               "ItmSafeQty, ItmSafeQty from QZ_MRP_ItemSetting as t with(nolock) join QZ_Base_ItemMaster as i "
                               "with(nolock) on t.ItmID=i.ItmID where (ItmDisabled=0 or ItmDisabled is null) and (ItmMrpSkip=0 "
                               "or ItmMrpSkip is null) and ItmSafeQty>0")
                        .arg(FirstPlanDayBefore()));
    if (((S.PlanNeedScope == 3 || S.PlanNeedScope == 4) && S.CareItemReplace != 0) || S.PlanNeedScope >= 5)
        Exec(Q, QStringLiteral("insert #QZ_MRP_MainItems (ManItmID, ManItmProps, ManGroupType, ManGroupNo)\rselect DmdItmID, "
                               "DmdItmProps, DmdGroupType, DmdGroupNo from #QZ_MRP_Demands with(nolock)\runion\rselect "
                               "SupItmID, SupItmProps, SupGroupType, SupGroupNo from #QZ_MRP_Supplies with(nolock)"));
    Exec(Q, DropIfExists(QStringLiteral("#QZ_MRP_LastSupAdjusts")) +
                QStringLiteral("select SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey, SupBillType, SupBomType, "
                               "SupBomID, SupAdjQty into #QZ_MRP_LastSupAdjusts from ") +
                (KeepAny ? QStringLiteral("QZ_MRP_SupAdjusts with(nolock) join QZ_MRP_Supplies with(nolock) on "
                                          "AdjSchIID=SupSchIID and AdjSupIID=SupIID where AdjSchIID=%1")
                               .arg(iid)
                         : QStringLiteral("QZ_MRP_Supplies with(nolock) where 1=0")) +
                QStringLiteral("\rcreate index #QZ_MRP_AdjItmID on #QZ_MRP_LastSupAdjusts (SupItmID, SupItmProps)"));
}

void TMRPRun::LevelItemScope(int level, const QString& itemExpr, QString& join, QString& where) const
{
    BuildLevelGatherJoin(S.PlanNeedScope, S.CareItemReplace, level, itemExpr, join, where);
}

void TMRPRun::GatherFreeSupplies(int level)
{
    const QString excludes = ReadSchemeFilter(S.DataFilters, QStringLiteral("[Excludes]"));
    auto excluded = [&](const QString& id) { return IsObjectExcluded(S.DataFilters, id); };
    Q_UNUSED(excludes);
    struct TFree {
        const char* X;
        const char* objectID;
        int code;
        bool order;   // production or outsourcing order: checked quantity and bill
        bool hasChk;
        bool hasSupp;
        bool hasBom;
    } sources[] = {
        {"MO", "QZ_MRP.MO", 22, true, true, false, true},   {"OO", "QZ_MRP.OO", 24, true, true, true, true},
        {"PO", "QZ_MRP.PO", 26, false, true, true, false},  {"PI", "QZ_MRP.PI", 28, false, true, true, false},
        {"MR", "QZ_MRP.MR", 34, false, false, false, true}, {"OR", "QZ_MRP.OR", 36, false, false, true, true},
        {"PR", "QZ_MRP.PR", 38, false, false, true, false}};
    for (const TFree& f : sources) {
        const QString objectID = QLatin1String(f.objectID);
        if (excluded(objectID))
            continue;
        if ((f.code == 28 || f.code == 34 || f.code == 36) && !BillTypeExists(f.code))
            continue;
        const QString X = QLatin1String(f.X);
        const QString qty = f.hasChk ? QStringLiteral("(case when s.%1Qty>($$%1ChkQty$$) then s.%1Qty else ($$%1ChkQty$$) "
                                                      "end)")
                                           .arg(X)
                                     : QStringLiteral("s.%1Qty").arg(X);
        const QString chk = f.hasChk ? QStringLiteral("$$%1ChkQty$$").arg(X) : QStringLiteral("null");
        const QString supp = f.hasSupp ? QStringLiteral("s.%1SuppID").arg(X) : QStringLiteral("null");
        const QString bom = f.hasBom ? QStringLiteral("%1, s.%2BomType, s.%2BomID, s.%2DrawDate")
                                           .arg(f.order ? QStringLiteral("1")
                                                        : QStringLiteral("(case when s.%1BomID is null then 0 else 1 end)")
                                                              .arg(X))
                                           .arg(X)
                                     : QStringLiteral("0, 0, null, null");
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
                               QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                                   .arg(f.code)
                                   .arg(X, supp) +
                               kOrigMacros + QStringLiteral(", s.%1DelivDate, 50, null, s.%1ItmID, ").arg(X) + kPropMacros +
                               QStringLiteral(", %1, %2, %1, %3, null, left(isnull(s.%4Note,'')+'  '+isnull(s.%4Remark,''), "
                                              "500)")
                                   .arg(qty, chk, bom, X);
        QString where = QStringLiteral("s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null) and %1>0").arg(qty);
        QString join;
        LevelItemScope(level, QStringLiteral("s.%1ItmID").arg(X), join, where);
        QString tail = join;
        if (TiedGathered && (f.code == 22 || f.code == 24 || f.code == 34 || f.code == 36)) {
            tail += QStringLiteral(" left join #QZ_MRP_Supplies as tmpsup with(nolock) on tmpsup.SupBillType=%1 and "
                                   "s.%2ID=tmpsup.SupBillID and s.%2Entry=tmpsup.SupBillEntry")
                        .arg(f.code)
                        .arg(X);
            where += QStringLiteral(" and tmpsup.SupBillID is null");
        }
        Exec(Q, kSupplyInsert + Select(objectID, fields, where, tail));
    }
    Exec(Q, QStringLiteral("exec QZ_MRP_SetBOMForSupply"));

    GatherOrderComponents(level);
    // Production scrap to be replaced within the horizon.
    if (BillTypeExists(80) && !excluded(QStringLiteral("QZ_MRP.MOScrap"))) {
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.MspDrawDate")) +
                               QStringLiteral(", 80, s.MspID, s.MspNo, s.MspEntry, s.MspDate, s.MspBillQty, null, s.MspDeptID, ") +
                               kOrigMacros + QStringLiteral(", s.MspDrawDate, 50, null, s.MspItmID, ") + kPropMacros +
                               QStringLiteral(", null, s.MspQty, s.MspQty, null, left(isnull(s.MONo,'')+'/'+cast(s.MOEntry as "
                                              "varchar(10))+'/'+cast(s.BomEntry as varchar(10))+'  '+isnull(s.MspNote,'')+'  '+"
                                              "isnull(s.BomNote,'')+'  '+isnull(s.MONote,''), 500)");
        QString where = QStringLiteral("s.CanMRP<>0 and s.MspDrawDate<'%1' and s.MspQty>0 and (mt.ItmMrpSkip=0 or "
                                       "mt.ItmMrpSkip is null)")
                            .arg(DayToDateStr(DateToDay(GetPlanEndDate(S.MpsPeriods)) + 1));
        QString join;
        LevelItemScope(level, QStringLiteral("s.MspItmID"), join, where);
        Exec(Q, kDemandInsert + Select(QStringLiteral("QZ_MRP.MOScrap"), fields, where, join));
    }
    // Inventory of the scheme's stocks: negative stock is a demand, the rest
    // goes through the inventory procedures.
    if (!excluded(QStringLiteral("QZ_MRP.Inventory"))) {
        QStringList stocks;
        for (const QString& id : ReadSchemeFilter(S.DataFilters, QStringLiteral("[QZ_MRP.Stocks]")).split(u'|', Qt::SkipEmptyParts))
            if (!id.trimmed().isEmpty())
                stocks << QuoteSQL(id.trimmed());
        // An empty list restricts nothing.
        const QString stockCond = stocks.isEmpty() ? QString()
                                                   : QStringLiteral("s.InvStkID in (") + stocks.join(QStringLiteral(", ")) +
                                                         QStringLiteral(") and ");
        QString whereNeg = stockCond + QStringLiteral("s.InvQty<0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
        QString join;
        LevelItemScope(level, QStringLiteral("s.InvItmID"), join, whereNeg);
        const QString negFields = QStringLiteral("0, 72, null, null, null, null, null, null, null, ") + kOrigMacros +
                                  QStringLiteral(", '%1', 50, null, s.InvItmID, ").arg(FirstPlanDayBefore()) + kPropMacros +
                                  QStringLiteral(", null, -s.InvQty, -s.InvQty, null, s.InvBatch");
        Exec(Q, kDemandInsert + Select(QStringLiteral("QZ_MRP.Inventory"), negFields, whereNeg, join));
        QString wherePos = stockCond + QStringLiteral("s.InvQty>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
        LevelItemScope(level, QStringLiteral("s.InvItmID"), join, wherePos);
        const QString posFields = QStringLiteral("s.InvItmID, ") + kPropMacros +
                                  QStringLiteral(", s.InvBatch, $$OrigType$$, $$OrigID$$, $$OrigNo$$, $$OrigEntry$$, "
                                                 "$$OrigItmID$$, $$OrigCustID$$, $$OrigCustPO$$, $$OrigTag$$, "
                                                 "isnull($$MRPGroupType$$, 0), isnull($$MRPGroupNo$$, ''), s.InvQty");
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_ItemInventory\rinsert #QZ_MRP_ItemInventory (InvItmID, InvItmProps, ") +
                    PropList(QStringLiteral("InvItmProp")) +
                    QStringLiteral(", InvBatch, InvOrigType, InvOrigID, InvOrigNo, InvOrigEntry, InvOrigItmID, InvOrigCustID, "
                                   "InvOrigCustPO, InvOrigTag, InvGroupType, InvGroupNo, InvQty)\r") +
                    Select(QStringLiteral("QZ_MRP.Inventory"), posFields, wherePos, join) +
                    QStringLiteral("\rexec QZ_MRP_GetInventoryForDemand '%1'\rexec QZ_MRP_GetInventoryForSupply")
                        .arg(FirstPlanDayBefore()));
    }
    if (S.DemandByOrigDate) {
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_MainOrigDates\rinsert #QZ_MRP_MainOrigDates (ManBillType, ManBillID, "
                               "ManBillDate)\rselect DmdOrigType, DmdOrigID, min(SODate) from #QZ_MRP_Demands as d "
                               "with(nolock) join QZ_MRP_SOHead with(nolock) on DmdOrigType=2 and DmdOrigID=SOID group by "
                               "DmdOrigType, DmdOrigID\runion\rselect DmdOrigType, DmdOrigID, min(SIDate) from "
                               "#QZ_MRP_Demands as d with(nolock) join QZ_MRP_SIHead with(nolock) on DmdOrigType=4 and "
                               "DmdOrigID=SIID group by DmdOrigType, DmdOrigID\runion\rselect DmdOrigType, DmdOrigID, "
                               "min(ForDate) from #QZ_MRP_Demands as d with(nolock) join QZ_MRP_ForcastHead with(nolock) on "
                               "DmdOrigType=8 and DmdOrigID=ForID group by DmdOrigType, DmdOrigID"));
    }
}

void TMRPRun::GatherOrderComponents(int level, bool ordersOfLevel)
{
    const bool mainItems = ordersOfLevel && S.PlanNeedScope >= 5;
    // Pending issues are gathered level by level, for the level's items.
    const bool pendingIssues = level >= 0 && S.PlanNeedScope != 0 && S.PlanNeedScope % 2 == 0;
    for (const untMRPOrderLines::TOrderLineSelect& c :
         untMRPOrderLines::OrderLineSelects(ordersOfLevel, level, mainItems, pendingIssues)) {
        if (IsObjectExcluded(S.DataFilters, c.ObjectID))
            continue;
        const bool outsourced = c.OrderCode == 24;
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.BomDrawDate")) +
                               QStringLiteral(", %1, s.BomID, s.BomNo, s.BomEntry, s.BomDate, s.BomBillQty, %2, ")
                                   .arg(c.DemandCode)
                                   .arg(outsourced ? QStringLiteral("s.BomSuppID, null") : QStringLiteral("null, s.BomDeptID")) +
                               kOrigMacros +
                               QStringLiteral(", s.BomDrawDate, isnull(tmpsup.SupPriority, 50), tmpsup.SupIID, s.BomItmID, ") +
                               kPropMacros +
                               QStringLiteral(", s.BomUnitQty, s.BomQty, s.BomQty, s.BomRowHook, left(s.BomNote, 500)");
        QString where = c.Where;
        QString join;
        if (!ordersOfLevel)
            LevelItemScope(level, QStringLiteral("s.BomItmID"), join, where);
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, c.ObjectID, fields, where, QString(), QString(), QString(),
                                                     join + c.Tail);
        if (sql.isEmpty()) {
            // Named as the planner knows the lines: by their bill type.
            const QString name = ordersOfLevel && InfoApplication
                                     ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), c.DemandCode)
                                     : c.ObjectID;
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {name}));
        }
        Exec(Q, kDemandInsert + sql);
    }
}

void TMRPRun::PlanLevel(int level, int levelCount)
{
    using namespace untMRPLevelSelects;
    CheckEsc();
    Info(untMRPUtils::FormatMessage(untMRPDataTypes::SPlanningLevel(),
                                    {QString::number(level + 1), QString::number(levelCount)}));
    if (S.PlanNeedScope != 0 || S.CareItemSafety == 1) {
        const bool gross = S.PlanNeedScope == 3 || S.PlanNeedScope == 4 || S.PlanNeedScope == 7 || S.PlanNeedScope == 8;
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_CurLevelDmdItems\rinsert #QZ_MRP_CurLevelDmdItems (DmdItmID, "
                               "DmdItmProps, DmdGroupType, DmdGroupNo)\rselect distinct DmdItmID, DmdItmProps, DmdGroupType, "
                               "DmdGroupNo from #QZ_MRP_Demands with(nolock) join #QZ_MRP_ItemLowestCode with(nolock) on "
                               "DmdItmID=ItmID where ") +
                    (gross ? QStringLiteral("DmdPSupIID<>0 and ") : QString()) + QStringLiteral("LowestCode=%1").arg(level));
    }
    if (S.PlanNeedScope != 0)
        GatherFreeSupplies(level);
    if (S.CareItemSafety == 1)
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdOrigType, DmdOrigItmID, DmdPriority, "
                               "DmdItmID, DmdDate, DmdNeedQty, DmdQty)\rselect distinct 0, 74, 74, t.ItmID, 98, t.ItmID, '%1', "
                               "ItmSafeQty, ItmSafeQty from QZ_MRP_ItemSetting as t with(nolock) join #QZ_MRP_CurLevelDmdItems "
                               "with(nolock) on t.ItmID=DmdItmID join QZ_Base_ItemMaster as i with(nolock) on t.ItmID=i.ItmID "
                               "where (ItmDisabled=0 or ItmDisabled is null) and ItmSafeQty>0")
                        .arg(FirstPlanDayBefore()));

    // Made after the select is open: each column's field is looked up by
    // name once, then found by the address of the reader's name text. A reader
    // asks for the same names in the same order on every row, so the next
    // name is tried first and the map is only the way back into step.
    auto getter = [](TADOQuery* q) -> TFieldGetter {
        struct TSeen {
            std::vector<std::pair<const char*, TField*>> order;
            std::unordered_map<const char*, std::size_t> at;
            std::size_t next = 0;
        };
        return [q, seen = std::make_shared<TSeen>()](const char* name) -> QVariant {
            TSeen& s = *seen;
            std::size_t i = s.next;
            if (i >= s.order.size() || s.order[i].first != name) {
                const auto it = s.at.find(name);
                if (it != s.at.end()) {
                    i = it->second;
                } else {
                    i = s.order.size();
                    s.order.emplace_back(name, q->FindField(QString::fromLatin1(name)));
                    s.at.emplace(name, i);
                }
            }
            s.next = i + 1;
            TField* field = s.order[i].second;
            return field ? field->Value() : QVariant();
        };
    };
    std::vector<TMRPLevelDemandRow> demands;
    RunSQL(DmdQ.get(),
                BuildLevelDemandSelectSQL(level, S.DemandByOrigDate, BuildTrackKeySQL(S.CareMRPTrackMode, S.CareItemMRPTrack)),
                true, true, false);
    {
        const TFieldGetter field = getter(DmdQ.get());
        demands.reserve(size_t(std::max(0, DmdQ->RecordCount())));
        for (; !DmdQ->Eof(); DmdQ->Next())
            demands.push_back(ReadLevelDemandRow(field));
    }
    DmdQ->Close();
    if (!demands.empty()) {
        std::vector<TMRPLevelSupplyRow> supplies;
        RunSQL(SupQ.get(), BuildLevelSupplySelectSQL(level), true, true, false);
        {
            const TFieldGetter field = getter(SupQ.get());
            supplies.reserve(size_t(std::max(0, SupQ->RecordCount())));
            for (; !SupQ->Eof(); SupQ->Next())
                supplies.push_back(ReadLevelSupplyRow(field));
        }
        SupQ->Close();
        std::vector<TMRPLevelAdjustRow> adjusts;
        if (AdjQ) {
            RunSQL(AdjQ.get(), BuildLevelAdjustSelectSQL(level), true, true, false);
            const TFieldGetter field = getter(AdjQ.get());
            for (; !AdjQ->Eof(); AdjQ->Next())
                adjusts.push_back(ReadLevelAdjustRow(field));
            AdjQ->Close();
        }
        std::vector<TMRPLevelSubstituteRow> substitutes;
        if (S.CareItemReplace != 0) {
            RunSQL(SubQ.get(), BuildLevelSubstituteSQL(level, S.PlanNeedScope), true, true, false);
            const TFieldGetter field = getter(SubQ.get());
            for (; !SubQ->Eof(); SubQ->Next())
                substitutes.push_back(ReadLevelSubstituteRow(field));
            SubQ->Close();
        }
        TMRPLevelPlanner::TOptions options;
        options.MpsPeriods = S.MpsPeriods;
        options.Holidays = Holidays;
        options.CareItemReplace = S.CareItemReplace;
        options.CareItemLotRule = S.CareItemLotRule;
        options.DemandByOrigDate = S.DemandByOrigDate;
        options.HasAdjustQuery = bool(AdjQ);
        options.AKeepTypeAdjusts = KeepType;
        options.AKeepBomAdjusts = KeepBom;
        options.AKeepQtyAdjusts = KeepQty;
        TMRPLevelPlanner planner(options);
        planner.OnLog = [this](const QString& text, int indent) { Info(text, indent != 0); };
        planner.OnCheckEscape = [this] { CheckEsc(); };
        // The level's results go in whole or not at all, in one commit, each
        // statement prepared once and run for its rows.
        TADOConnection* connection = S.Connection();
        kvado::ScopedTransaction tran(connection);
        planner.RunBulk(demands, supplies, substitutes, adjusts, [&](const std::vector<TMRPBulkStatement>& writes) {
            for (const TMRPBulkStatement& st : writes)
                RunBulkStatement(connection, st);
        });
        tran.Commit();
    }
    if (S.PlanNeedScope != 0 && S.CareItemReplace != 0)
        Exec(Q, QStringLiteral("delete s from #QZ_MRP_Supplies as s join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                               "SupItmID=l.ItmID and LowestCode=%1 left join #QZ_MRP_CurLevelDmdItems with(nolock) on "
                               "SupItmID=DmdItmID and SupItmProps=DmdItmProps and SupGroupType=DmdGroupType and "
                               "SupGroupNo=DmdGroupNo where (SupAllotQty is null or SupAllotQty=0) and (SupPDmdIID is null or "
                               "SupPDmdIID<>-1) and DmdItmID is null")
                        .arg(level));
    CheckEsc();
    if (level < levelCount - 1)
        Info(untMRPDataTypes::SExplodingBOM(), true);
    Exec(Q, untMRPBom::BuildBomFetchSQL(level));
    RunSQL(SupQ.get(), untMRPBom::BuildBadBomCheckSQL(level, S.CareItemLossRate, LosType, S.PlanNeedScope), true, true,
                false);
    if (!SupQ->Eof()) {
        const QString text = untMRPBom::BadBomMessage(
            untMRPBom::TBadBomKind(SupQ->FieldByName(QStringLiteral("BadKind"))->AsInteger()),
            SupQ->FieldByName(QStringLiteral("ItmNo"))->AsString(), SupQ->FieldByName(QStringLiteral("BomNo"))->AsString());
        SupQ->Close();
        if (Log.AddMsgProc)
            AddRunLog(Log, mkError, text, false);
        throw Exception(text);
    }
    SupQ->Close();
    Exec(Q, untMRPBom::BuildBomDemandInsertSQL(level, S.CareItemLossRate, LosType, S.PlanNeedScope,
                                               BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("SupDrawDate"))));
    // A run over all items read every order's lines up front; a scoped run
    // asks for the materials of the orders this level uses.
    if (S.PlanNeedScope != 0)
        GatherOrderComponents(level, true);
}

// Open production and outsourcing orders that own material demands of the
// run but are no supplies of it: they become supplies (after the balance) so
// that those demands have a parent for the kit quantities.
void TMRPRun::AddOrdersOfMaterialDemands()
{
    struct TOrder {
        const char* X;
        const char* objectID;
        int code;
        int demandCode;
        const char* bomTable;
    } orders[] = {{"MO", "QZ_MRP.MO", 22, 84, "QZ_MRP_MOBOM"}, {"OO", "QZ_MRP.OO", 24, 82, "QZ_MRP_OOBOM"}};
    for (const TOrder& o : orders) {
        const QString X = QLatin1String(o.X);
        const bool outsourced = o.code == 24;
        const QString fields =
            BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
            QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                .arg(o.code)
                .arg(X, outsourced ? QStringLiteral("s.OOSuppID") : QStringLiteral("null")) +
            kOrigMacros + QStringLiteral(", s.%1DelivDate, 0, -2, s.%1ItmID, ").arg(X) + kPropMacros +
            (outsourced ? QStringLiteral(", (case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end), s.OOChkQty, "
                                         "(case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end)")
                        : QStringLiteral(", (case when s.MOQty>0 then s.MOQty else 0 end), null, (case when s.MOQty>0 then "
                                         "s.MOQty else 0 end)")) +
            QStringLiteral(", 1, s.%1BomType, s.%1BomID, s.%1DrawDate, null, left(isnull(s.%1Note,'')+'  '+"
                           "isnull(s.%1Remark,''), 500)")
                .arg(X);
        const QString tail =
            QStringLiteral(" join (select distinct MOID, MOEntry from #QZ_MRP_Demands with(nolock) join %1 with(nolock) on "
                           "DmdBillType=%2 and DmdBillID=BomID and DmdBillEntry=BomEntry where DmdPSupIID is null) as tmpmo on "
                           "s.MOID=tmpmo.MOID and s.MOEntry=tmpmo.MOEntry left join #QZ_MRP_Supplies as tmpsup with(nolock) "
                           "on tmpsup.SupBillType=%3 and s.MOID=tmpsup.SupBillID and s.MOEntry=tmpsup.SupBillEntry")
                .arg(QLatin1String(o.bomTable))
                .arg(o.demandCode)
                .arg(o.code)
                .replace(QStringLiteral("MOID"), X + QStringLiteral("ID"))
                .replace(QStringLiteral("MOEntry"), X + QStringLiteral("Entry"));
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, QLatin1String(o.objectID), fields,
                                                     QStringLiteral("tmpsup.SupBillID is null"), QString(), QString(),
                                                     QString(), tail);
        if (sql.isEmpty()) {
            const QString name = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), o.code)
                                                 : QString::number(o.code);
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {name}));
        }
        Exec(Q, kSupplyInsert + sql);
        Exec(Q, QStringLiteral("update t set DmdPSupIID=SupIID from #QZ_MRP_Demands as t join %1 with(nolock) on "
                               "DmdBillType=%2 and DmdBillID=BomID and DmdBillEntry=BomEntry join #QZ_MRP_Supplies with(nolock) "
                               "on SupBillType=%3 and %4ID=SupBillID and %4Entry=SupBillEntry where DmdPSupIID is null")
                    .arg(QLatin1String(o.bomTable))
                    .arg(o.demandCode)
                    .arg(o.code)
                    .arg(X));
    }
}

bool TMRPRun::Execute(TDateTime runTime, const QString& startMpsRunTime, int startState)
{
    using namespace untMRPDataTypes;
    S.DemandByOrigDate = S.PlanType == 2 ? false
                                         : InfoApplication && InfoApplication->ReadSystemSettingAsBoolean(
                                                                  QStringLiteral("QZ_MRP"),
                                                                  QStringLiteral("DemandOrderByOrigDate"), false, true);
    CreateMRPWorkTables(Q, S.CareItemReplace != 0, S.DemandByOrigDate);
    WorkTablesMade = true;
    Info(SGatheringData());
    LosType = OpenCount(Q, QStringLiteral("select LosType from QZ_MRP_LossRateType with(nolock)"));
    {
        std::unique_ptr<TADOQuery> cal(S.NewSchemeQuery());
        // Start dates reach back before the first plan day by up to the
        // longest lead time: the rest days are loaded from the earliest day a
        // shift can give, so that every start date is a working day.
        if (!LoadCalendarHolidays(S.MpsCalIID, Holidays, cal.get(),
                                  std::min<TDateTime>(GetPlanBeginDate(S.MpsPeriods), EarliestShiftDay)))
            throw Exception(SCalendarLoadFailed());
    }
    GatherMainDemands();
    if (S.PlanNeedScope == 0)
        GatherFreeSupplies(-1);
    else if (S.PlanType == 2)
        // The component lines of the orders a shortage analysis looks at are
        // its target demands: read before the levels are known.
        GatherOrderComponents(-1);

    CheckEsc();
    Info(SLowLevelCodes());
    // A scoped run brings the orders' lines in level by level: their
    // components need codes below the orders' items, also those that only
    // the orders' own bills name.
    const int highest = CalcLowLevelCodes(DmdQ.get(), S.PlanNeedScope != 0, S.CareItemReplace != 0);
    if (highest < 0) {
        QStringList lines;
        for (; !DmdQ->Eof(); DmdQ->Next()) {
            QString line = DmdQ->FieldByName(QStringLiteral("ItmNo"))->AsString() + QStringLiteral(" (") +
                           DmdQ->FieldByName(QStringLiteral("ItmName"))->AsString();
            const QString itemSpec = DmdQ->FieldByName(QStringLiteral("ItmSpec"))->AsString();
            if (!itemSpec.isEmpty())
                line += QStringLiteral(" / ") + itemSpec;
            lines << line + u')';
        }
        DmdQ->Close();
        if (Log.AddMsgProc) {
            AddRunLog(Log, mkError, SBOMCycle(), false);
            for (const QString& l : lines)
                AddRunLog(Log, mkError, l, true);
        } else
            ShowError(SBOMCycle() + u'\r' + lines.join(u'\r'));
        throw Exception(QString());
    }
    const int levelCount = highest + 1;
    for (int level = 0; level <= highest; ++level)
        PlanLevel(level, levelCount);

    CheckEsc();
    Info(SBuildingBalance());
    Exec(Q, BuildBalanceSQL());

    if (S.PlanNeedScope == 2 || S.PlanNeedScope == 4 || S.PlanNeedScope == 6 || S.PlanNeedScope == 8)
        AddOrdersOfMaterialDemands();

    CheckEsc();
    Info(SKitQuantities());
    for (int level = highest; level >= 0; --level) {
        if (level < highest) {
            Exec(Q, untMRPKit::BuildSupplyKitFromComponentsSQL(level));
            Exec(Q, untMRPKit::BuildOrdersWithoutComponentsKitSQL(level));
        }
        std::vector<untMRPKit::TKitCredit> credits;
        RunSQL(SupQ.get(), untMRPKit::BuildPlannedKitSelectSQL(level), true, true, false);
        for (; !SupQ->Eof(); SupQ->Next()) {
            const auto c = untMRPKit::DistributePlannedKit(SupQ->FieldByName(QStringLiteral("SupDSetQty"))->AsFloat(),
                                                           SupQ->FieldByName(QStringLiteral("SupPDmdIIDs"))->AsString());
            credits.insert(credits.end(), c.begin(), c.end());
        }
        SupQ->Close();
        std::vector<untMRPKit::TKitAllotRow> rows;
        RunSQL(SupQ.get(), untMRPKit::BuildAllotKitSelectSQL(level), true, true, false);
        for (; !SupQ->Eof(); SupQ->Next()) {
            untMRPKit::TKitAllotRow r;
            r.SupIID = SupQ->FieldByName(QStringLiteral("SupIID"))->AsInteger();
            r.SupDSetQty = SupQ->FieldByName(QStringLiteral("SupDSetQty"))->AsFloat();
            r.AltDmdIID = SupQ->FieldByName(QStringLiteral("AltDmdIID"))->AsInteger();
            r.AltQty = SupQ->FieldByName(QStringLiteral("AltQty"))->AsFloat();
            r.AltIsRepl = SupQ->FieldByName(QStringLiteral("AltIsRepl"))->AsBoolean();
            r.AltReplQty = SupQ->FieldByName(QStringLiteral("AltReplQty"))->AsFloat();
            rows.push_back(r);
        }
        SupQ->Close();
        const auto allotCredits = untMRPKit::DistributeAllotKit(rows);
        credits.insert(credits.end(), allotCredits.begin(), allotCredits.end());
        ExecBulk(S.Connection(), untMRPKit::KitCreditsBulk(credits));
        for (const QString& sql : untMRPKit::BuildDemandKitSQL(level, S.CareItemSuites))
            Exec(Q, sql);
    }

    if (Log.AddMsgProc) {
        CheckEsc();
        Info(SCheckingResult());
        QString props;
        for (int i = 1; i <= 10; ++i)
            props += QStringLiteral("+(case when i.ItmHasProp%1=1 then ' / '+isnull(s.SupItmProp%1,'') else '' end)").arg(i);
        RunSQL(SupQ.get(),
                    QStringLiteral("select distinct i.ItmNo, i.ItmName, ItmSpec=(case when i.ItmSpec<>'' then ' / '+i.ItmSpec "
                                   "else '' end), ItmProps=''") +
                        props +
                        QStringLiteral(" from #QZ_MRP_Supplies as s with(nolock) join QZ_Base_ItemMaster as i with(nolock) on "
                                       "s.SupItmID=i.ItmID where SupBillType in (34, 42, 44, 36, 52, 54, 62, 64, 66) and "
                                       "(SupBomID is null or SupBomID='')"),
                    true, true, false);
        QStringList warnings;
        for (; !SupQ->Eof(); SupQ->Next())
            warnings << untMRPUtils::FormatMessage(SMissingBOM(), {SupQ->FieldByName(QStringLiteral("ItmNo"))->AsString(),
                                                                   SupQ->FieldByName(QStringLiteral("ItmName"))->AsString(),
                                                                   SupQ->FieldByName(QStringLiteral("ItmSpec"))->AsString(),
                                                                   SupQ->FieldByName(QStringLiteral("ItmProps"))->AsString()});
        SupQ->Close();
        for (const QString& w : warnings)
            AddRunLog(Log, mkWarning, w, true);
        Info(SSavingResult());
    }

    // The save: the old result out, the new one in and the new state, all or
    // nothing, and only while nobody rebuilt the main demand meanwhile.
    const int iid = S.SchemeIID;
    kvado::ScopedTransaction tran(S.Connection());
    RunSQL(Q,
                QStringLiteral("select SchState, SchMpsRunTime from QZ_MRP_Schemes where SchIID=%1 and SchType=%2")
                    .arg(iid)
                    .arg(S.PlanType),
                true, true, false);
    const bool present = !Q->Eof();
    const int stateNow = present ? Q->FieldByName(QStringLiteral("SchState"))->AsInteger() : -1;
    TField* mps = present ? Q->FieldByName(QStringLiteral("SchMpsRunTime")) : nullptr;
    const QString mpsNow = (mps && !mps->IsNull()) ? DateTimeToSQLStr(VariantToDateTime(mps->Value())) : QString();
    Q->Close();
    if (!present || stateNow != startState || mpsNow != startMpsRunTime) {
        const QString text = untMRPUtils::FormatMessage(SSchemeStateChanged(), {S.SchemeName});
        throw Exception(text);
    }
    Exec(Q, QStringLiteral("delete QZ_MRP_Demands where DmdSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_Supplies where "
                           "SupSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_SupAdjusts where AdjSchIID=%1\rif "
                           "@@error<>0\rreturn\rdelete QZ_MRP_Allots where AltSchIID=%1\rif @@error<>0\rreturn\rdelete "
                           "QZ_MRP_DestAlters where DstSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_Balance where "
                           "BalSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_RunLog where LogSchIID=%1")
                .arg(iid));
    Exec(Q, QStringLiteral("insert QZ_MRP_Demands (DmdSchIID, ") + kDemandColumns + QStringLiteral(")\rselect %1, ").arg(iid) +
                QString(kDemandColumns)
                    .replace(QStringLiteral("DmdBillNo,"),
                             QStringLiteral("(case when DmdBillNo<>'' then DmdBillNo else 'D-'+cast(DmdIID as nvarchar(8)) "
                                            "end),")) +
                QStringLiteral(" from #QZ_MRP_Demands"));
    Exec(Q, QStringLiteral("insert QZ_MRP_Supplies (SupSchIID, ") + kSupplyColumns + QStringLiteral(")\rselect %1, ").arg(iid) +
                QString(kSupplyColumns)
                    .replace(QStringLiteral("SupBillNo,"),
                             QStringLiteral("(case when SupBillNo<>'' then SupBillNo else 'S-'+cast(SupIID as nvarchar(8)) "
                                            "end),")) +
                QStringLiteral(" from #QZ_MRP_Supplies"));
    Exec(Q, QStringLiteral("insert QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty)\rselect %1, "
                           "AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty from #QZ_MRP_SupAdjusts")
                .arg(iid));
    Exec(Q, QStringLiteral("insert QZ_MRP_Allots (AltSchIID, AltIID, AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, "
                           "AltTrack, AltQty, AltIsGrpx, AltIsRepl, AltReplQty)\rselect %1, AltIID, AltPeriod, AltSupIID, "
                           "AltDmdIID, AltDate, AltAdjDays, AltTrack, AltQty, AltIsGrpx, AltIsRepl, AltReplQty from "
                           "#QZ_MRP_Allots")
                .arg(iid));
    const QString balCols = QStringLiteral("BalIID, BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") +
                            PropList(QStringLiteral("BalItmProp")) + QStringLiteral(", ") + kBalanceQtyColumns;
    Exec(Q, QStringLiteral("insert QZ_MRP_Balance (BalSchIID, ") + balCols + QStringLiteral(")\rselect %1, ").arg(iid) +
                balCols + QStringLiteral(" from #QZ_MRP_Balance"));
    Exec(Q, QStringLiteral("update QZ_MRP_Schemes set SchState=%1, SchMrpCalIID=%2, SchMrpPeriods=%3, SchMrpRunTime='%4',"
                           "SchMrpUpdTime=%5, SchMaxTime=getdate() where SchIID=%6")
                .arg(int(psMRPDone))
                .arg(S.MpsCalIID)
                .arg(QuoteSQL(PlanPeriodsToText(S.MpsPeriods)), DateTimeToSQLStr(runTime),
                     KeepAny ? QStringLiteral("SchMrpUpdTime") : QStringLiteral("null"))
                .arg(iid));
    Info(QStringLiteral("执行完成。"));
    Exec(Q, QStringLiteral("insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogKind, LogText, LogTime)\rselect %1, LogIID, "
                           "LogIndent, LogKind, LogText, LogTime from #QZ_MRP_RunLog")
                .arg(iid));
    tran.Commit();
    return true;
}

void TMRPRun::CleanUp()
{
    // Every table of the run, whether or not it was made; a dropped
    // connection is no reason to raise here.
    static const char* tables[] = {"#QZ_MRP_Demands", "#QZ_MRP_Supplies", "#QZ_MRP_SupAdjusts", "#QZ_MRP_Allots",
                                   "#QZ_MRP_Balance", "#QZ_MRP_RunLog", "#QZ_MRP_LastSupAdjusts", "#QZ_MRP_ItemLowestCode",
                                   "#QZ_MRP_MainItems", "#QZ_MRP_CurLevelDmdItems", "#QZ_MRP_RefGetBOM", "#QZ_MRP_BOM",
                                   "#QZ_MRP_ItemInventory", "#QZ_MRP_ItemSubsForMRPDemand", "#QZ_MRP_MainOrigDates",
                                   "#QZ_MRP_MainX", "#QZ_MRP_RefGetBOM0", "#QZ_MRP_BOMCouples", "#QZ_TmpTbl_BOM",
                                   "#QZ_TmpTbl_BOM0", "#QZ_TmpTbl_ItemSubs", "#QZ_MRP_ItemSubsCouples"};
    QString sql;
    for (const char* t : tables)
        sql += QStringLiteral("if object_id('tempdb..%1') is not null\rdrop table %1\r").arg(QLatin1String(t));
    try {
        RunSQL(Q, sql, false, false, false);
    } catch (...) {
    }
}

} // namespace

TMRPRunStats& MRPRunStats()
{
    return gRunStats;
}

bool TPlanScheme::RunMRP(bool AKeepTypeAdjusts, bool AKeepBomAdjusts, bool AKeepQtyAdjusts,
                         TAddProcessMessageNodeProc AddMsgProc)
{
    TDateTime runTime = 0;
    if (!ReadServerTime(runTime))
        return false;
    // What the save must still find: the state and main demand of now.
    QString startMps;
    int startState = -1;
    if (RunSQL(FPublicQuery,
                    QStringLiteral("select SchState, SchMpsRunTime from QZ_MRP_Schemes where SchIID=%1 and SchType=%2")
                        .arg(SchemeIID)
                        .arg(PlanType),
                    true, false, false) &&
        !FPublicQuery->Eof()) {
        startState = FPublicQuery->FieldByName(QStringLiteral("SchState"))->AsInteger();
        TField* f = FPublicQuery->FieldByName(QStringLiteral("SchMpsRunTime"));
        if (!f->IsNull())
            startMps = DateTimeToSQLStr(VariantToDateTime(f->Value()));
    }
    FPublicQuery->Close();
    if (InfoApplication) {
        InfoApplication->ShowStatusMessage(untMRPDataTypes::SMRPRunning(), mkHint);
        kvos::startEscapeKeyWatch(); // only an Esc pressed during the run counts
    }
    bool ok = false;
    std::unique_ptr<TMRPRun> run;
    try {
        run = std::make_unique<TMRPRun>(*this, AKeepTypeAdjusts, AKeepBomAdjusts, AKeepQtyAdjusts, AddMsgProc);
        ok = run->Execute(runTime, startMps, startState);
    } catch (const std::exception& e) {
        ok = false;
        QString reason = QString::fromUtf8(e.what());
        if (const auto* ex = dynamic_cast<const Exception*>(&e))
            reason = ex->Message;
        const QString text = untMRPUtils::FormatMessage(untMRPDataTypes::SRunAborted(), {reason});
        try {
            if (AddMsgProc) {
                TMRPRunLog log;
                log.AddMsgProc = AddMsgProc;
                AddRunLog(log, mkError, text, false);
            }
            ShowError(text);
        } catch (...) {
        }
    } catch (...) {
        ok = false;
    }
    if (run)
        run->CleanUp();
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(QString(), mkHint);
    return ok;
}
