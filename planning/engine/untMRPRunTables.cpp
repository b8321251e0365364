// The MRP run's work tables (CreateMRPWorkTables) and the balance's quantity
// columns they share with the balance and the save.
#include "untMRPRunCommon.h"

#include <QStringList>

using namespace untMRPUtils;
using namespace untMRPRunCommon;

namespace {

QString Props(const QString& prefix)
{
    QString s;
    for (int i = 1; i <= 10; ++i)
        s += QStringLiteral("%1%2 nvarchar(80) null, ").arg(prefix).arg(i);
    return s;
}

} // namespace

const QString untMRPRunCommon::kBalanceQtyColumns = QStringLiteral(
    "BalForQty, BalSOQty, BalFreeQty, BalInvQty, BalPOQty, BalOOQty, BalMOQty, BalGInQty, BalRInQty, BalChkQty, BalPRQty, "
    "BalORQty, BalMRQty, BalSafeQty, BalOODQty, BalMODQty, BalGOutQty, BalROutQty, BalPOODQty, BalPMODQty, BalVirDQty, "
    "BalNetQty, BalQty, BalPPOQty, BalPOOQty, BalPMOQty, BalXQty, BalEndQty");

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
