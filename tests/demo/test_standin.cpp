// The stand-in stored procedures against the work tables the planning hands
// them, on a fresh demo account set.
#include "NewAccountSet.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>

namespace {

// The run's work tables the procedures read and fill, as the planning creates them.
const char* workTables = R"SQL(
create table #QZ_MRP_RefGetBOM (PrdID nvarchar(50) null, BomType tinyint null, BomID nvarchar(50) null)
create table #QZ_MRP_BOM (BomType tinyint null, BomID nvarchar(50) null, BomNo nvarchar(80) null, BomPrdID
    nvarchar(50) null, BomPrdOkRate decimal(28,8) null, BomEntry int null, BomItmID nvarchar(50) not null,
    BomProps nvarchar(100) not null default(''), BomProp1 nvarchar(80) null, BomProp2 nvarchar(80) null,
    BomProp3 nvarchar(80) null, BomProp4 nvarchar(80) null, BomProp5 nvarchar(80) null, BomProp6 nvarchar(80)
    null, BomProp7 nvarchar(80) null, BomProp8 nvarchar(80) null, BomProp9 nvarchar(80) null, BomProp10
    nvarchar(80) null, BomFixed bit null, BomQty decimal(28,8) null, BomBaseQty decimal(28,8) null,
    BomLossRate decimal(28,8) null, BomPutLossRate varchar(500) null, BomUntID nvarchar(50) null, BomUQty
    decimal(28,8) null, BomUBaseQty decimal(28,8) null, BomPercent decimal(28,8) null, BomRowHook varchar(50)
    null, BomBeginDate datetime null, BomEndDate datetime null, BomOffsetDay int null, BomPosition
    nvarchar(500) null, BomPosNo nvarchar(500) null, BomStkID nvarchar(50) null, BomOperSeq nvarchar(50) null,
    BomOperID nvarchar(50) null, BomDrawType nvarchar(80) null, BomRole tinyint null, BomRoleName nvarchar(80)
    null, BomItmBomType tinyint null, BomItmBomID nvarchar(50) null, BomItmBomNo nvarchar(80) null,
    BomItmBomOkRate decimal(28,8) null, BomItmBomLocked bit null, BomItmBomSkip tinyint null, BomNote
    nvarchar(500) null, BomNote1 nvarchar(500) null, BomNote2 nvarchar(500) null, BomNote3 nvarchar(500) null)
create table #QZ_MRP_Supplies (SupIID int not null identity(1,1) primary key clustered, SupPeriod smallint not
    null, SupBillType tinyint not null, SupBillID nvarchar(50) null, SupBillNo nvarchar(80) null, SupBillEntry
    int null, SupBillDate datetime null, SupBillQty decimal(28,8) null, SupSuppID nvarchar(50) null, SupDeptID
    nvarchar(50) null, SupOrigType int null, SupOrigID nvarchar(50) null, SupOrigNo nvarchar(80) null,
    SupOrigEntry int null, SupOrigItmID nvarchar(50) null, SupOrigCustID nvarchar(50) null, SupOrigCustPO
    nvarchar(80) null, SupOrigTag nvarchar(80) null, SupOrigSubTag nvarchar(80) null, SupGroupType tinyint not
    null default(0), SupGroupNo nvarchar(100) not null default(''), SupDate datetime null, SupLeadDays int
    null, SupPriority int null default(0), SupPDmdIID int null, SupItmID nvarchar(50) not null, SupItmProps
    nvarchar(100) not null default(''), SupItmProp1 nvarchar(80) null, SupItmProp2 nvarchar(80) null,
    SupItmProp3 nvarchar(80) null, SupItmProp4 nvarchar(80) null, SupItmProp5 nvarchar(80) null, SupItmProp6
    nvarchar(80) null, SupItmProp7 nvarchar(80) null, SupItmProp8 nvarchar(80) null, SupItmProp9 nvarchar(80)
    null, SupItmProp10 nvarchar(80) null, SupAdjQty decimal(28,8) null, SupQty decimal(28,8) not null,
    SupChkQty decimal(28,8) null, SupAllotQty decimal(28,8) null, SupAGrpxQty decimal(28,8) null, SupAReplQty
    decimal(28,8) null, SupHasAdjDays bit null default(0), SupRestQty decimal(28,8) not null, SupBomLocked bit
    not null default(0), SupBomType tinyint not null default(0), SupBomID nvarchar(50) null, SupDrawDate
    datetime null, SupDSetQty decimal(28,8) null, SupDSetRate decimal(28,8) null, SupNote nvarchar(500) null,
    SupHints varchar(1000) null, SupPHints varchar(1000) null, SupTrackKey nvarchar(200) null, SupPDmdIIDs
    text null, SupDestQty decimal(28,8) null, SupDester nvarchar(50) null, SupDestTime datetime null)
create table #QZ_MRP_Demands (DmdIID int not null identity(1,1) primary key clustered, DmdPeriod smallint not
    null, DmdBillType tinyint null, DmdBillID nvarchar(50) null, DmdBillNo nvarchar(80) null, DmdBillEntry int
    null, DmdBillDate datetime null, DmdBillQty decimal(28,8) null, DmdSuppID nvarchar(50) null, DmdDeptID
    nvarchar(50) null, DmdOrigType int null, DmdOrigID nvarchar(50) null, DmdOrigNo nvarchar(80) null,
    DmdOrigEntry int null, DmdOrigItmID nvarchar(50) null, DmdOrigCustID nvarchar(50) null, DmdOrigCustPO
    nvarchar(80) null, DmdOrigTag nvarchar(80) null, DmdOrigSubTag nvarchar(80) null, DmdGroupType tinyint not
    null default(0), DmdGroupNo nvarchar(100) not null default(''), DmdDate datetime null, DmdDayOffset int
    null, DmdPriority int null default(0), DmdPSupIID int null, DmdItmID nvarchar(50) not null, DmdItmProps
    nvarchar(100) not null default(''), DmdItmProp1 nvarchar(80) null, DmdItmProp2 nvarchar(80) null,
    DmdItmProp3 nvarchar(80) null, DmdItmProp4 nvarchar(80) null, DmdItmProp5 nvarchar(80) null, DmdItmProp6
    nvarchar(80) null, DmdItmProp7 nvarchar(80) null, DmdItmProp8 nvarchar(80) null, DmdItmProp9 nvarchar(80)
    null, DmdItmProp10 nvarchar(80) null, DmdUnitQty decimal(28,8) null, DmdNeedQty decimal(28,8) not null,
    DmdInvQty decimal(28,8) null, DmdMOQty decimal(28,8) null, DmdOOQty decimal(28,8) null, DmdPOQty
    decimal(28,8) null, DmdMRQty decimal(28,8) null, DmdORQty decimal(28,8) null, DmdPRQty decimal(28,8) null,
    DmdChkQty decimal(28,8) null, DmdPChkQty decimal(28,8) null, DmdGrpxQty decimal(28,8) null, DmdReplQty
    decimal(28,8) null, DmdASetQty decimal(28,8) null, DmdASetRate decimal(28,8) null, DmdPPPQty1
    decimal(28,8) null, DmdPPPQty2 decimal(28,8) null, DmdPDmdIID1 int null, DmdPDmdIID2 varchar(1000) null,
    DmdQty decimal(28,8) not null, DmdBomHook varchar(50) null, DmdBomType tinyint not null default(0),
    DmdBomID nvarchar(50) null, DmdBomLocked bit not null default(0), DmdBomSkip tinyint not null default(0),
    DmdNote nvarchar(500) null, DmdHints varchar(1000) null, DmdPHints varchar(1000) null)
create table #QZ_MRP_ItemInventory (InvItmID nvarchar(50) null, InvItmProps nvarchar(100) not null
    default(''), InvItmProp1 nvarchar(80) null, InvItmProp2 nvarchar(80) null, InvItmProp3 nvarchar(80) null,
    InvItmProp4 nvarchar(80) null, InvItmProp5 nvarchar(80) null, InvItmProp6 nvarchar(80) null, InvItmProp7
    nvarchar(80) null, InvItmProp8 nvarchar(80) null, InvItmProp9 nvarchar(80) null, InvItmProp10 nvarchar(80)
    null, InvBatch nvarchar(80) null, InvOrigType int null, InvOrigID nvarchar(50) null, InvOrigNo
    nvarchar(80) null, InvOrigEntry int null, InvOrigItmID nvarchar(50) null, InvOrigCustID nvarchar(50) null,
    InvOrigCustPO nvarchar(80) null, InvOrigTag nvarchar(80) null, InvGroupType tinyint not null default(0),
    InvGroupNo nvarchar(100) not null default(''), InvQty decimal(28,8) null)
create table #QZ_MRP_ItemSubsForMRPDemand (DmdIID int not null, SubGlobal bit null, SubPriority int null,
    SubRItmID nvarchar(50) not null, SubRProps nvarchar(100) not null default(''), SubQty decimal(18,8) null,
    SubRQty decimal(18,8) null, SubReplace bit not null default(0))
create table #QZ_MRP_ItemLowestCode (ItmID nvarchar(50) primary key clustered, LowestCode int)
create table #QZ_MRP_BOMCouples (PrdID nvarchar(50) not null, ItmID nvarchar(50) not null, ItmBomType tinyint
    not null, ItmBomID nvarchar(50) not null)
create table #QZ_MRP_ItemSubsCouples (SubItmID nvarchar(50), SubRItmID nvarchar(50), SubPrdID nvarchar(50)
    null, SubBomType tinyint null, SubBomID nvarchar(50) null))SQL";

class StandInProcedures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        kvdemo::registerStandInProcedures();
        dir = new QTemporaryDir;
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(dir->filePath("demo.kvdb"), &error)) << error.toStdString();
    }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
    }
    void SetUp() override
    {
        // a connection of its own per test: its temp tables start empty
        db = kvtsql::Connection::open(dir->filePath("demo.kvdb"));
        ok(workTables);
    }

    kvtsql::BatchResult ok(const QString& sql)
    {
        kvtsql::BatchResult r = db->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty()) << sql.left(300).toStdString() << "\n -> "
                                        << (r.errors.isEmpty() ? "" : r.errors.first().message.toStdString());
        return r;
    }
    QList<QList<QVariant>> rows(const QString& sql)
    {
        kvtsql::BatchResult r = ok(sql);
        return r.resultSets.isEmpty() ? QList<QList<QVariant>>() : r.resultSets.last().rows;
    }
    qlonglong scalar(const QString& sql)
    {
        const auto r = rows(sql);
        return r.isEmpty() ? -1 : r.first().first().toLongLong();
    }

    static QTemporaryDir* dir;
    std::unique_ptr<kvtsql::Connection> db;
};
QTemporaryDir* StandInProcedures::dir = nullptr;

TEST_F(StandInProcedures, GetBOMFillsTheLinesOfTheGivenOrDefaultBillOnce)
{
    ok("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('IFG-1001', 0, 'B-FG-1001')\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', null, null)\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', 0, 'B-SA-201')\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('IPT-131', null, null)");
    ok("exec QZ_MRP_GetBOM");
    ok("exec QZ_MRP_GetBOM");   // a second call adds nothing
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOM where BomID='B-FG-1001'"), 10);
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOM where BomID='B-SA-201'"), 2);
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOM"), 12);   // a purchased part has no bill
    const auto motor = rows("select BomPrdID, BomQty, BomBaseQty, BomPercent, BomRole, BomItmBomType, BomItmBomID, "
                            "BomRowHook from #QZ_MRP_BOM where BomID='B-FG-1001' and BomItmID='ISA-101'");
    ASSERT_EQ(motor.size(), 1);
    EXPECT_EQ(motor[0][0].toString(), "IFG-1001");
    EXPECT_DOUBLE_EQ(motor[0][1].toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(motor[0][3].toDouble(), 100.0);
    EXPECT_EQ(motor[0][4].toInt(), 0);
    EXPECT_EQ(motor[0][6].toString(), "B-SA-101");   // the component's own default bill
    EXPECT_FALSE(motor[0][7].toString().isEmpty());
    const auto plastic = rows("select BomPrdOkRate, BomLossRate, BomQty from #QZ_MRP_BOM where BomID='B-SA-201' "
                              "and BomItmID='IPT-201'");
    ASSERT_EQ(plastic.size(), 1);
    EXPECT_DOUBLE_EQ(plastic[0][0].toDouble(), 98.0);
    EXPECT_DOUBLE_EQ(plastic[0][1].toDouble(), 2.0);
    EXPECT_DOUBLE_EQ(plastic[0][2].toDouble(), 0.12);
}

// The lines are stored bill by bill in key order and line order whatever order the
// bills were asked in; a later call appends its bills after the earlier ones.
TEST_F(StandInProcedures, GetBOMStoresTheLinesInKeyOrder)
{
    auto stored = [&] {
        QStringList out;
        for (const auto& r : rows("select BomID, BomEntry from #QZ_MRP_BOM"))   // as stored: no order asked
            out << r[0].toString() + u'/' + QString::number(r[1].toInt()).rightJustified(4, u'0');
        return out;
    };
    ok("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', 0, 'B-SA-201')\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('IFG-1001', 0, 'B-FG-1001')");
    ok("exec QZ_MRP_GetBOM");
    const QStringList first = stored();
    ASSERT_EQ(first.size(), 12);
    QStringList sorted = first;
    sorted.sort();
    EXPECT_EQ(first, sorted);
    EXPECT_TRUE(first.first().startsWith("B-FG-1001/")) << first.first().toStdString();

    // another bill, asked with one already there: only its lines, after the others
    ok("truncate table #QZ_MRP_RefGetBOM\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', 0, 'B-SA-201')\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-101', null, null)");
    ok("exec QZ_MRP_GetBOM");
    const QStringList both = stored();
    ASSERT_GT(both.size(), 12);
    EXPECT_EQ(both.mid(0, 12), first);
    for (const QString& line : both.mid(12)) EXPECT_TRUE(line.startsWith("B-SA-101/")) << line.toStdString();
    QStringList added = both.mid(12);
    added.sort();
    EXPECT_EQ(both.mid(12), added);
}

// A call inside a transaction that is rolled back takes its work table with it;
// the next call makes it again.
TEST_F(StandInProcedures, GetBOMAfterARolledBackCall)
{
    ok("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', 0, 'B-SA-201')");
    ok("begin tran\nexec QZ_MRP_GetBOM\nexec QZ_MRP_GetBOMCouples\nrollback");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOM"), 0);
    ok("exec QZ_MRP_GetBOM\nexec QZ_MRP_GetBOMCouples");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOM"), 2);
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOMCouples"), 2);
}

TEST_F(StandInProcedures, GetBOMCouplesPairsProductsWithTheirComponents)
{
    ok("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('IFG-4001', null, null)");
    ok("exec QZ_MRP_GetBOMCouples");
    const auto pairs = rows("select PrdID, ItmID, ItmBomType, ItmBomID from #QZ_MRP_BOMCouples order by ItmID");
    ASSERT_EQ(pairs.size(), 3);
    EXPECT_EQ(pairs[0][1].toString(), "IFG-1002");
    EXPECT_EQ(pairs[0][3].toString(), "B-FG-1002");
    EXPECT_EQ(pairs[1][1].toString(), "IPK-531");
    EXPECT_EQ(pairs[1][3].toString(), "");   // a purchased component has no bill of its own
    for (const auto& p : pairs)
        EXPECT_EQ(p[0].toString(), "IFG-4001");
}

// Each call pairs only the products asked for then, however often it runs on one
// connection; a product asked twice (by its default and its named bill) pairs once.
TEST_F(StandInProcedures, GetBOMCouplesOnEachCallOnlyTheProductsAskedThen)
{
    ok("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('IFG-4001', null, null)");
    ok("exec QZ_MRP_GetBOMCouples");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_BOMCouples"), 3);
    ok("truncate table #QZ_MRP_RefGetBOM\ntruncate table #QZ_MRP_BOMCouples\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', null, null)\n"
       "insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values ('ISA-201', 0, 'B-SA-201')");
    ok("exec QZ_MRP_GetBOMCouples");
    const auto pairs = rows("select PrdID, ItmID from #QZ_MRP_BOMCouples order by ItmID");
    ASSERT_EQ(pairs.size(), 2);
    for (const auto& p : pairs) EXPECT_EQ(p[0].toString(), "ISA-201");
    EXPECT_EQ(pairs[0][1].toString(), "IPT-201");
}

TEST_F(StandInProcedures, SetBOMForSupplyGivesMadeSuppliesTheirDefaultBill)
{
    ok("insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty) values (1, 42, 'ISA-101', 10, 10)\n"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty) values (1, 22, 'ISA-201', 10, 10)\n"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty, SupBomType, SupBomID) "
       "values (1, 22, 'ISA-102', 10, 10, 0, 'B-OTHER')\n"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty) values (1, 26, 'IFG-1001', 10, 10)\n"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty) values (1, 58, 'IPT-131', 10, 10)");
    ok("exec QZ_MRP_SetBOMForSupply");
    const auto r = rows("select SupItmID, SupBomID from #QZ_MRP_Supplies order by SupIID");
    ASSERT_EQ(r.size(), 5);
    EXPECT_EQ(r[0][1].toString(), "B-SA-101");
    EXPECT_EQ(r[1][1].toString(), "B-SA-201");
    EXPECT_EQ(r[2][1].toString(), "B-OTHER");   // a bill already named stays
    EXPECT_TRUE(r[3][1].isNull());              // a purchase order gets none
    EXPECT_TRUE(r[4][1].isNull());              // a purchased part has none
}

TEST_F(StandInProcedures, SetBOMForDemandTouchesOnlyTheLevelAsked)
{
    ok("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) values ('ISA-101', 1)\n"
       "insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) values ('IFG-1001', 0)\n"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdItmID, DmdNeedQty, DmdQty) values (1, 'ISA-101', 5, 5)\n"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdItmID, DmdNeedQty, DmdQty) values (1, 'IFG-1001', 5, 5)");
    ok("exec QZ_MRP_SetBOMForDemand 1");
    const auto r = rows("select DmdItmID, DmdBomID from #QZ_MRP_Demands order by DmdIID");
    EXPECT_EQ(r[0][1].toString(), "B-SA-101");
    EXPECT_TRUE(r[1][1].isNull());
}

TEST_F(StandInProcedures, SubstitutesAsPairsAndForTheDemandsOfALevel)
{
    ok("exec QZ_MRP_GetItemSubsCouples");
    const auto pairs = rows("select SubItmID, SubRItmID, SubPrdID from #QZ_MRP_ItemSubsCouples");
    ASSERT_EQ(pairs.size(), 1);
    EXPECT_EQ(pairs[0][0].toString(), "IPT-141");
    EXPECT_EQ(pairs[0][1].toString(), "IPT-142");
    EXPECT_TRUE(pairs[0][2].isNull());   // valid in every bill

    ok("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) values ('IPT-141', 2)\n"
       "insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) values ('IPT-131', 2)\n"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty) "
       "values (1, 94, 'IPT-141', '20270110', 10, 10)\n"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty) "
       "values (1, 94, 'IPT-141', '20270110', 10, 0)\n"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty) "
       "values (1, 94, 'IPT-131', '20270110', 10, 10)");
    ok("exec QZ_MRP_GetItemSubsForMRPDemand 2, 0");
    const auto subs = rows("select DmdIID, SubGlobal, SubRItmID, SubRProps, SubQty, SubRQty, SubReplace "
                           "from #QZ_MRP_ItemSubsForMRPDemand");
    ASSERT_EQ(subs.size(), 1);   // only the open demand of the capacitor
    EXPECT_EQ(subs[0][0].toInt(), 1);
    EXPECT_TRUE(subs[0][1].toBool());
    EXPECT_EQ(subs[0][2].toString(), "IPT-142");
    EXPECT_DOUBLE_EQ(subs[0][4].toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(subs[0][5].toDouble(), 1.0);
    ok("truncate table #QZ_MRP_ItemSubsForMRPDemand\nexec QZ_MRP_GetItemSubsForMRPDemand 1, 1");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_ItemSubsForMRPDemand"), 0);
}

TEST_F(StandInProcedures, InventoryBecomesStockSuppliesAndTheWorkTableEmpties)
{
    ok("insert #QZ_MRP_ItemInventory (InvItmID, InvBatch, InvQty) values ('IPT-131', 'A', 100)\n"
       "insert #QZ_MRP_ItemInventory (InvItmID, InvBatch, InvQty) values ('IPT-131', 'B', 50)\n"
       "insert #QZ_MRP_ItemInventory (InvItmID, InvBatch, InvQty, InvOrigType, InvOrigID) "
       "values ('IFG-1001', 'A', 20, 2, 'SO2612001')\n"
       "insert #QZ_MRP_ItemInventory (InvItmID, InvBatch, InvQty) values ('IFG-1001', 'A', 30)");
    ok("exec QZ_MRP_GetInventoryForDemand '20270103'");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_ItemInventory"), 0);
    const auto r = rows("select SupItmID, SupBillType, SupPeriod, SupQty, SupRestQty, SupBillQty, SupOrigID, "
                        "convert(char(8), SupDate, 112) from #QZ_MRP_Supplies order by SupItmID, SupOrigID");
    ASSERT_EQ(r.size(), 3);   // free and reserved stock of the fan stay apart
    EXPECT_EQ(r[2][0].toString(), "IPT-131");
    EXPECT_EQ(r[2][1].toInt(), 16);
    EXPECT_EQ(r[2][2].toInt(), 0);
    EXPECT_DOUBLE_EQ(r[2][3].toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(r[2][4].toDouble(), 150.0);
    EXPECT_DOUBLE_EQ(r[2][5].toDouble(), 150.0);
    EXPECT_EQ(r[2][7].toString(), "20270103");
    EXPECT_EQ(r[1][6].toString(), "SO2612001");

    ok("insert #QZ_MRP_ItemInventory (InvItmID, InvQty) values ('IPT-132', 7)");
    ok("exec QZ_MRP_GetInventoryForSupply");
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_Supplies where SupItmID='IPT-132' and SupBillType=16"), 1);
    EXPECT_EQ(scalar("select count(*) from #QZ_MRP_ItemInventory"), 0);

    kvtsql::BatchResult bad = db->execute("exec QZ_MRP_GetInventoryForDemand 'tomorrow'");
    EXPECT_FALSE(bad.errors.isEmpty());
}

TEST(StandInForecasts, UpdateForcastChangesTheStateItsRulesAllow)
{
    kvdemo::registerStandInProcedures();
    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(kvdemo::createAccountSet(dir.filePath("f.kvdb"), &error)) << error.toStdString();
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(dir.filePath("f.kvdb"));
    auto call = [&](const QString& entry, int type) {
        // the caller puts the bill's identity and line into the text unquoted
        return db->execute(QStringLiteral("exec QZ_MRP_UpdateForcast @ForID=FC2612001, @ForEntry=%1, @UpdateType=%2, "
                                          "@UserID='plan01'\rselect 1").arg(entry).arg(type)).errors;
    };
    auto count = [&](const char* where) {
        return db->execute(QStringLiteral("select count(*) from QZ_MRP_Forcast where ForID='FC2612001' and %1")
                               .arg(QLatin1String(where))).resultSets.first().rows.first().first().toInt();
    };
    EXPECT_FALSE(call("0", 1).isEmpty());   // already checked
    EXPECT_FALSE(call("0", 3).isEmpty());   // a checked bill is not deleted
    EXPECT_TRUE(call("2", 2).isEmpty());    // close line 2
    EXPECT_EQ(count("Closed=1"), 1);
    EXPECT_EQ(count("CanMRP=1"), 4);
    EXPECT_FALSE(call("0", -1).isEmpty());  // a closed line blocks unchecking
    EXPECT_TRUE(call("2", -2).isEmpty());   // reopen it
    EXPECT_EQ(count("CanMRP=1"), 5);
    EXPECT_TRUE(call("0", -1).isEmpty());   // uncheck the bill
    EXPECT_EQ(count("Checked=0 and CanMRP=0"), 5);
    // checking, unchecking and deleting work on the whole bill whatever line is named
    EXPECT_TRUE(call("3", 1).isEmpty());    // check it again through one of its lines
    EXPECT_EQ(count("Checked=1 and CanMRP=1"), 5);
    EXPECT_EQ(db->execute("select ForCheckerID from QZ_MRP_ForcastHead where ForID='FC2612001'")
                  .resultSets.first().rows.first().first().toString(), "plan01");
    EXPECT_TRUE(call("4", -1).isEmpty());   // uncheck through another line
    EXPECT_EQ(count("Checked=0"), 5);
    EXPECT_EQ(db->execute("select count(*) from QZ_MRP_ForcastHead where ForCheckerID is null and Checked=0")
                  .resultSets.first().rows.first().first().toInt(), 1);
    EXPECT_TRUE(call("5", 3).isEmpty());    // delete the unchecked bill
    EXPECT_EQ(count("1=1"), 0);
    EXPECT_EQ(db->execute("select count(*) from QZ_MRP_ForcastHead where ForID='FC2612001'")
                  .resultSets.first().rows.first().first().toInt(), 0);
    EXPECT_FALSE(call("0", 7).isEmpty());   // no such change
    EXPECT_FALSE(db->execute("exec QZ_MRP_UpdateForcast @ForID=NOSUCHBILL, @ForEntry=0, @UpdateType=1, @UserID=''")
                     .errors.isEmpty());
}

} // namespace
