// Synthetic account sets: sizes follow the parameters, bills only point down
// the levels, open orders of a large release come with their lines, a set
// keeps its own name, and bad parameters are refused before any file is made.
#include "NewAccountSet.h"
#include "SyntheticAccountSet.h"
#include "TsqlEngine.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {

qlonglong scalar(kvtsql::Connection& db, const QString& sql)
{
    kvtsql::BatchResult r = db.execute(sql);
    EXPECT_TRUE(r.errors.isEmpty()) << sql.toStdString() << " -> "
                                    << (r.errors.isEmpty() ? "" : r.errors.first().message.toStdString());
    return r.resultSets.isEmpty() ? -1 : r.resultSets.first().rows.first().first().toLongLong();
}

TEST(SyntheticAccountSet, SizesFollowTheParameters)
{
    QTemporaryDir dir;
    kvdemo::SyntheticParams p;
    p.items = 60;
    p.depth = 2;      // three levels of 20 items
    p.fanOut = 4;
    p.demands = 25;
    p.periods = 8;
    QString error;
    ASSERT_TRUE(kvdemo::createSyntheticAccountSet(dir.filePath("s.kvdb"), p, &error)) << error.toStdString();
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(dir.filePath("s.kvdb"));

    EXPECT_EQ(scalar(*db, "select count(*) from QZ_Base_ItemMaster"), 60);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_ItemSetting"), 60);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_ItemBOMs"), 40);   // the two upper levels are made
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_ItemBOMLines"), 160);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_SO"), 25);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_SOHead"), 3);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_Base_ItemMaster where ItmType=1"), 20);
    // every component lies on a lower level than its product, so the bills hold no loop
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_ItemBOMLines as l join QZ_MRP_ItemBOMs as h on l.BomID=h.BomID "
                          "join QZ_Base_ItemMaster as p on h.BomItmID=p.ItmID join QZ_Base_ItemMaster as c on l.BomItmID=c.ItmID "
                          "where c.ItmSpec<=p.ItmSpec"), 0);
    // components of a bill are distinct, and a made component names its own bill
    EXPECT_EQ(scalar(*db, "select count(*) from (select BomID, BomItmID from QZ_MRP_ItemBOMLines group by BomID, BomItmID "
                          "having count(*)>1) as t"), 0);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_ItemBOMLines as l left join QZ_MRP_ItemBOMs as b on l.BomItmBomID=b.BomID "
                          "where l.BomItmBomID is not null and b.BomID is null"), 0);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_SO as s left join QZ_Base_ItemMaster as i on s.SOItmID=i.ItmID "
                          "where i.ItmID is null or i.ItmSpec<>'第0层'"), 0);
    // the scheme holds the periods and the exceed period's start
    EXPECT_EQ(scalar(*db, "select len(SchPeriods)-len(replace(SchPeriods, '|', '')) from QZ_MRP_Schemes"), 9);
    // the demo's definitions and users come along, its company does not
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_SYS_Objects where ObjID='QZ_MRP.SO'"), 1);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_SYS_Users where UsrID='plan01'"), 1);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO"), 0);
}

TEST(SyntheticAccountSet, FanOutRangeSharedPartAndOpenOrders)
{
    QTemporaryDir dir;
    kvdemo::SyntheticParams p;
    p.items = 90;
    p.depth = 2;      // three levels of 30 items
    p.fanOut = 3;
    p.fanOutMax = 8;
    p.sharedComponent = true;
    p.openOrders = true;
    p.demands = 10;
    p.periods = 8;
    QString error;
    ASSERT_TRUE(kvdemo::createSyntheticAccountSet(dir.filePath("s.kvdb"), p, &error)) << error.toStdString();
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(dir.filePath("s.kvdb"));

    // every bill takes 3 to 8 components of its next level; products take the shared part besides
    // (a product's bill may take the shared part on top of its 3 to 8)
    EXPECT_EQ(scalar(*db, "select count(*) from (select l.BomID, i.ItmSpec, n=count(*) from QZ_MRP_ItemBOMLines as l "
                          "join QZ_MRP_ItemBOMs as h on l.BomID=h.BomID join QZ_Base_ItemMaster as i on h.BomItmID=i.ItmID "
                          "group by l.BomID, i.ItmSpec) as t where n<3 or n>(case when ItmSpec='第0层' then 9 else 8 end)"), 0);
    EXPECT_EQ(scalar(*db, "select count(distinct l.BomID) from QZ_MRP_ItemBOMLines as l join QZ_MRP_ItemBOMs as h "
                          "on l.BomID=h.BomID join QZ_Base_ItemMaster as i on h.BomItmID=i.ItmID "
                          "where l.BomItmID='I000089' and i.ItmSpec='第0层' and l.BomItmBomID is null"), 30);
    EXPECT_GT(scalar(*db, "select count(distinct n) from (select l.BomID, n=count(*) from QZ_MRP_ItemBOMLines as l "
                          "group by l.BomID) as t"), 1);
    // open orders on every third item: made ones produced, bought ones purchased
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO"), 20);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_PO"), 10);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO as m join QZ_MRP_ItemBOMs as b on m.MOBomID=b.BomID"), 20);
}

// The shape a large release leaves: open production orders on the made items
// in turn, due in turn over the horizon, each with the lines of its bill.
// The set keeps a name of its own; the demo set has none and stays the demo.
TEST(SyntheticAccountSet, ReleasedOrdersWithTheirLinesAndTheSetsOwnName)
{
    QTemporaryDir dir;
    kvdemo::SyntheticParams p;
    p.items = 60;
    p.depth = 2;      // 40 made items on two levels
    p.fanOut = 3;
    p.fanOutMax = 5;
    p.releasedOrders = 130;
    p.demands = 10;
    p.periods = 4;
    QString error;
    ASSERT_TRUE(kvdemo::createSyntheticAccountSet(dir.filePath("s.kvdb"), p, &error)) << error.toStdString();
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(dir.filePath("s.kvdb"));

    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO"), 130);
    EXPECT_EQ(scalar(*db, "select count(distinct MOItmID) from QZ_MRP_MO"), 40);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO as m join QZ_Base_ItemMaster as i on m.MOItmID=i.ItmID "
                          "where i.ItmType=2 and m.MOBomID='B'+m.MOItmID and m.MOQty>0 and m.CanMRP=1 and m.Closed=0"), 130);
    // due within the 28 days of the horizon, each day in turn
    EXPECT_EQ(scalar(*db, "select count(distinct MODelivDate) from QZ_MRP_MO"), 28);
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MO where MODelivDate<'20270104' or MODelivDate>'20270131'"), 0);
    // every order's lines are its bill's lines for its quantity
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MOBOM"),
              scalar(*db, "select count(*) from QZ_MRP_MO as m join QZ_MRP_ItemBOMLines as l on l.BomID=m.MOBomID"));
    EXPECT_EQ(scalar(*db, "select count(*) from QZ_MRP_MOBOM as b join QZ_MRP_MO as m on b.MOID=m.MOID join "
                          "QZ_MRP_ItemBOMLines as l on l.BomID=m.MOBomID and l.BomEntry=b.BomEntry where "
                          "b.BomItmID<>l.BomItmID or b.BomQty<>m.MOQty*l.BomQty or b.CanMRP<>1 or b.BomRole<>0"), 0);

    EXPECT_EQ(kvdemo::storedAccountSetName(dir.filePath("s.kvdb")), QStringLiteral("合成账套(60个物料)"));
    ASSERT_TRUE(kvdemo::createAccountSet(dir.filePath("demo.kvdb"), &error)) << error.toStdString();
    EXPECT_EQ(kvdemo::storedAccountSetName(dir.filePath("demo.kvdb")), QString());
    EXPECT_EQ(kvdemo::storedAccountSetName(dir.filePath("missing.kvdb")), QString());
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.kvdb")));
}

TEST(SyntheticAccountSet, BadParametersAreRefusedWithoutAFile)
{
    QTemporaryDir dir;
    const struct { int items, depth, fanOut, demands, periods; } cases[] = {
        {10, 0, 3, 5, 4}, {10, 21, 3, 5, 4}, {2, 2, 3, 5, 4}, {10, 2, 0, 5, 4}, {10, 2, 3, -1, 4}, {10, 2, 3, 5, 0},
    };
    {
        kvdemo::SyntheticParams p;
        p.fanOut = 5;
        p.fanOutMax = 4; // a range whose top lies below its bottom
        QString error;
        EXPECT_FALSE(kvdemo::createSyntheticAccountSet(dir.filePath("bad.kvdb"), p, &error));
        EXPECT_FALSE(QFile::exists(dir.filePath("bad.kvdb")));
    }
    for (const auto& c : cases) {
        kvdemo::SyntheticParams p;
        p.items = c.items;
        p.depth = c.depth;
        p.fanOut = c.fanOut;
        p.demands = c.demands;
        p.periods = c.periods;
        QString error;
        EXPECT_FALSE(kvdemo::createSyntheticAccountSet(dir.filePath("bad.kvdb"), p, &error)) << c.items << "/" << c.depth;
        EXPECT_FALSE(error.isEmpty());
        EXPECT_FALSE(QFile::exists(dir.filePath("bad.kvdb")));
    }
}

} // namespace

// What a release names comes with the set: a planner on every made item, a
// buyer on every bought one (the applicant of its requisitions), the
// departments of the workshop, the planners, the buyers and the sales, and
// sales orders of a salesman; every reference names a row that exists.
TEST(SyntheticAccountSet, MasterDataForTheWholeRoad)
{
    QTemporaryDir dir;
    kvdemo::SyntheticParams p;
    p.items = 60;
    p.depth = 2;
    p.fanOut = 3;
    p.demands = 12;
    p.periods = 4;
    QString error;
    ASSERT_TRUE(kvdemo::createSyntheticAccountSet(dir.filePath("s.kvdb"), p, &error)) << error.toStdString();
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(dir.filePath("s.kvdb"));

    const struct { const char* what; const char* sql; qlonglong expected; } cases[] = {
        {"employees", "select count(*) from QZ_Base_Employee where EmpDisabled=0", 4},
        {"departments besides the workshop", "select count(*) from QZ_Base_Department where DeptWorkShop=0", 3},
        {"made items without a planner",
         "select count(*) from QZ_MRP_ItemSetting as s join QZ_Base_ItemMaster as i on s.ItmID=i.ItmID "
         "left join QZ_Base_Employee as e on s.ItmPlannerID=e.EmpID where i.ItmType=2 and e.EmpID is null", 0},
        {"bought items without a buyer",
         "select count(*) from QZ_MRP_ItemSetting as s join QZ_Base_ItemMaster as i on s.ItmID=i.ItmID "
         "left join QZ_Base_Employee as e on s.ItmBuyerID=e.EmpID where i.ItmType=1 and e.EmpID is null", 0},
        {"buyers of bought items", "select count(distinct ItmBuyerID) from QZ_MRP_ItemSetting where ItmBuyerID is not null", 2},
        {"bought items without a supplier",
         "select count(*) from QZ_MRP_ItemSetting as s join QZ_Base_ItemMaster as i on s.ItmID=i.ItmID "
         "left join QZ_Base_Supplier as u on s.ItmPOSuppID=u.SuppID where i.ItmType=1 and u.SuppID is null", 0},
        {"made items without a workshop",
         "select count(*) from QZ_MRP_ItemSetting as s join QZ_Base_ItemMaster as i on s.ItmID=i.ItmID "
         "left join QZ_Base_Department as d on s.ItmMODeptID=d.DeptID where i.ItmType=2 and (d.DeptWorkShop is null "
         "or d.DeptWorkShop=0)", 0},
        {"employees outside a department",
         "select count(*) from QZ_Base_Employee as e left join QZ_Base_Department as d on e.EmpDeptID=d.DeptID "
         "where d.DeptID is null", 0},
        {"sales orders without salesman or sales department",
         "select count(*) from QZ_MRP_SO as s left join QZ_Base_Employee as e on s.SOEmpID=e.EmpID "
         "left join QZ_Base_Department as d on s.SODeptID=d.DeptID where e.EmpID is null or d.DeptID is null", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scalar(*db, QString::fromUtf8(c.sql)), c.expected) << c.what;
}
