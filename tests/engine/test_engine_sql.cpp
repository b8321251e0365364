// The engine's statement texts run for real on the embedded T-SQL engine,
// over the run's work tables and the item tables they join.
#include "TsqlEngine.h"
#include "untMRPBom.h"
#include "untMRPCalendar.h"
#include "untMRPKit.h"
#include "untMRPLevel.h"
#include "untMRPLevelSelects.h"
#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

std::int64_t Day(int y, int m, int d)
{
    return QDate(1899, 12, 30).daysTo(QDate(y, m, d));
}

QString Props10(const QString& prefix, const QString& type)
{
    QStringList l;
    for (int i = 1; i <= 10; ++i)
        l << QStringLiteral("%1%2 %3 null").arg(prefix).arg(i).arg(type);
    return l.join(QStringLiteral(", "));
}

// The run's work tables as far as these statements use them, and the item
// tables they join.
QString Schema()
{
    return QStringLiteral(
               "create table QZ_Base_ItemMaster (ItmID nvarchar(50) not null primary key, ItmNo nvarchar(80) not null, "
               "ItmName nvarchar(80) not null, ItmType int not null default(1), ItmDecimal int not null default(4))\r"
               "create table QZ_MRP_ItemSetting (ItmID nvarchar(50) not null primary key, ItmMrpType int not null "
               "default(0), ItmMrpGroup int not null default(0), ItmMrpTrack int not null default(0), ItmMinQty "
               "decimal(28,8) null, ItmLotQty decimal(28,8) null, ItmMaxQty decimal(28,8) null, ItmPreLeadTime int "
               "not null default(0), ItmFixLeadTime int not null default(0), ItmVarLeadTime int not null default(0), "
               "ItmVarLeadLot decimal(28,8) null, ItmPostLeadTime int not null default(0), ItmPutInteger int not "
               "null default(0), ItmMOBomSkip int not null default(0), ItmOOBomSkip int not null default(0), "
               "ItmMrpSkip int not null default(0), ItmSuitSkip int not null default(0), ItmMODeptID nvarchar(50) "
               "null, ItmPOSuppID nvarchar(50) null, ItmOOSuppID nvarchar(50) null)\r"
               "create table QZ_Base_Customer (CustID nvarchar(50) not null primary key, CustNo nvarchar(50) not "
               "null, CustName nvarchar(80) not null)\r"
               "create table #QZ_MRP_ItemLowestCode (ItmID nvarchar(50) primary key, LowestCode int)\r"
               "create table #QZ_MRP_RefGetBOM (PrdID nvarchar(50) null, BomType tinyint null, BomID nvarchar(50) "
               "null)\r"
               "create table #QZ_MRP_MainItems (ManItmID nvarchar(50) not null, ManItmProps nvarchar(100) not null, "
               "ManGroupType tinyint not null, ManGroupNo nvarchar(100) not null)\r"
               "create table #QZ_MRP_BOM (BomType tinyint null, BomID nvarchar(50) null, BomNo nvarchar(80) null, "
               "BomPrdID nvarchar(50) null, BomPrdOkRate decimal(28,8) null, BomEntry int null, BomItmID "
               "nvarchar(50) not null, BomProps nvarchar(100) not null default(''), ")
           + Props10("BomProp", "nvarchar(80)")
           + QStringLiteral(
               ", BomFixed bit null, BomQty decimal(28,8) null, BomBaseQty decimal(28,8) null, BomLossRate "
               "decimal(28,8) null, BomPercent decimal(28,8) null, BomRowHook varchar(50) null, BomOffsetDay int "
               "null, BomRole tinyint null, BomItmBomType tinyint null, BomItmBomID nvarchar(50) null, BomItmBomSkip "
               "tinyint null, BomNote nvarchar(500) null)\r"
               "create table #QZ_MRP_Supplies (SupIID int not null identity(1,1) primary key, SupPeriod smallint not "
               "null, SupBillType tinyint not null, SupBillID nvarchar(50) null, SupBillNo nvarchar(80) null, "
               "SupBillEntry int null, SupBillDate datetime null, SupBillQty decimal(28,8) null, SupSuppID "
               "nvarchar(50) null, SupDeptID nvarchar(50) null, SupOrigType int null, SupOrigID nvarchar(50) null, "
               "SupOrigNo nvarchar(80) null, SupOrigEntry int null, SupOrigItmID nvarchar(50) null, SupOrigCustID "
               "nvarchar(50) null, SupOrigCustPO nvarchar(80) null, SupOrigTag nvarchar(80) null, SupOrigSubTag "
               "nvarchar(80) null, SupGroupType tinyint not null default(0), SupGroupNo nvarchar(100) not null "
               "default(''), SupDate datetime null, SupLeadDays int null, SupPriority int null default(0), "
               "SupPDmdIID int null, SupItmID nvarchar(50) not null, SupItmProps nvarchar(100) not null "
               "default(''), ")
           + Props10("SupItmProp", "nvarchar(80)")
           + QStringLiteral(
               ", SupAdjQty decimal(28,8) null, SupQty decimal(28,8) not null, SupChkQty decimal(28,8) null, "
               "SupAllotQty decimal(28,8) null, SupAGrpxQty decimal(28,8) null, SupAReplQty decimal(28,8) null, "
               "SupRestQty decimal(28,8) not null, SupBomLocked bit not null default(0), SupBomType tinyint not null "
               "default(0), SupBomID nvarchar(50) null, SupDrawDate datetime null, SupDSetQty decimal(28,8) null, "
               "SupDSetRate decimal(28,8) null, SupNote nvarchar(500) null, SupHints varchar(1000) null, SupPHints "
               "varchar(1000) null, SupTrackKey nvarchar(200) null, SupPDmdIIDs text null)\r"
               "create table #QZ_MRP_SupAdjusts (AdjSupIID int, AdjOldType int null, AdjOldBomID nvarchar(50) null, "
               "AdjOldQty decimal(28,8) null)\r"
               "create table #QZ_MRP_Demands (DmdIID int not null identity(1,1) primary key, DmdPeriod smallint not "
               "null, DmdBillType tinyint null, DmdBillID nvarchar(50) null, DmdBillNo nvarchar(80) null, "
               "DmdBillEntry int null, DmdBillDate datetime null, DmdBillQty decimal(28,8) null, DmdSuppID "
               "nvarchar(50) null, DmdDeptID nvarchar(50) null, DmdOrigType int null, DmdOrigID nvarchar(50) null, "
               "DmdOrigNo nvarchar(80) null, DmdOrigEntry int null, DmdOrigItmID nvarchar(50) null, DmdOrigCustID "
               "nvarchar(50) null, DmdOrigCustPO nvarchar(80) null, DmdOrigTag nvarchar(80) null, DmdOrigSubTag "
               "nvarchar(80) null, DmdGroupType tinyint not null default(0), DmdGroupNo nvarchar(100) not null "
               "default(''), DmdDate datetime null, DmdDayOffset int null, DmdPriority int null default(0), "
               "DmdPSupIID int null, DmdItmID nvarchar(50) not null, DmdItmProps nvarchar(100) not null default(''), ")
           + Props10("DmdItmProp", "nvarchar(80)")
           + QStringLiteral(
               ", DmdUnitQty decimal(28,8) null, DmdNeedQty decimal(28,8) not null, DmdInvQty decimal(28,8) null, "
               "DmdMOQty decimal(28,8) null, DmdOOQty decimal(28,8) null, DmdPOQty decimal(28,8) null, DmdMRQty "
               "decimal(28,8) null, DmdORQty decimal(28,8) null, DmdPRQty decimal(28,8) null, DmdChkQty "
               "decimal(28,8) null, DmdPChkQty decimal(28,8) null, DmdGrpxQty decimal(28,8) null, DmdReplQty "
               "decimal(28,8) null, DmdASetQty decimal(28,8) null, DmdASetRate decimal(28,8) null, DmdPPPQty1 "
               "decimal(28,8) null, DmdPPPQty2 decimal(28,8) null, DmdPDmdIID1 int null, DmdPDmdIID2 varchar(1000) "
               "null, DmdQty decimal(28,8) not null, DmdBomHook varchar(50) null, DmdBomType tinyint not null "
               "default(0), DmdBomID nvarchar(50) null, DmdBomLocked bit not null default(0), DmdBomSkip tinyint not "
               "null default(0), DmdNote nvarchar(500) null, DmdHints varchar(1000) null, DmdPHints varchar(1000) "
               "null)\r"
               "create table #QZ_MRP_Allots (AltIID int not null identity(1,1) primary key, AltPeriod smallint, "
               "AltSupIID int, AltDmdIID int, AltDate datetime, AltAdjDays int, AltTrack tinyint, AltQty "
               "decimal(28,8), AltIsGrpx bit null, AltIsRepl bit null, AltReplQty decimal(28,8) null)\r"
               "create table #QZ_MRP_LastSupAdjusts (SupItmID nvarchar(50), SupItmProps nvarchar(100), SupGroupType "
               "tinyint, SupGroupNo nvarchar(100), SupTrackKey nvarchar(200), SupBillType tinyint, SupBomType "
               "tinyint, SupBomID nvarchar(50), SupAdjQty decimal(28,8))\r"
               "create table #QZ_MRP_MainOrigDates (ManBillType int null, ManBillID nvarchar(50) null, ManBillDate "
               "datetime null)\r"
               "create table #QZ_MRP_ItemSubsForMRPDemand (DmdIID int not null, SubGlobal bit null, SubPriority int "
               "null, SubRItmID nvarchar(50) not null, SubRProps nvarchar(100) not null default(''), SubQty "
               "decimal(18,8) null, SubRQty decimal(18,8) null, SubReplace bit not null default(0))\r");
}

QString Errors(const kvtsql::BatchResult& r)
{
    QStringList e;
    for (const auto& err : r.errors)
        e << QStringLiteral("%1 %2").arg(err.number).arg(err.message);
    return e.join('\n');
}

class EngineSql : public ::testing::Test {
protected:
    void SetUp() override
    {
        conn = kvtsql::Connection::create(dir.filePath(QStringLiteral("engine.db")));
        Ok(Schema());
        kvtsql::registerProcedure(QStringLiteral("QZ_MRP_SetBOMForDemand"), [](kvtsql::ProcedureCall&) {});
    }
    void TearDown() override { kvtsql::unregisterProcedure(QStringLiteral("QZ_MRP_SetBOMForDemand")); }

    kvtsql::BatchResult Ok(const QString& sql)
    {
        kvtsql::BatchResult r = conn->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty()) << Errors(r).toStdString() << "\nin: " << sql.left(3000).toStdString();
        return r;
    }
    QStringList Rows(const QString& sql)
    {
        const kvtsql::BatchResult r = Ok(sql);
        QStringList out;
        if (r.resultSets.isEmpty())
            return out;
        for (const auto& row : r.resultSets.last().rows) {
            QStringList f;
            for (const QVariant& v : row)
                f << (v.isNull() ? QStringLiteral("NULL")
                                 : v.typeId() == QMetaType::QDateTime ? v.toDateTime().toString("yyyyMMdd")
                                                                       : v.toString());
            out << f.join('|');
        }
        return out;
    }

    QTemporaryDir dir;
    std::unique_ptr<kvtsql::Connection> conn;
};

TPlanPeriods Weeks()
{
    TPlanPeriods p;
    QString text;
    for (int w = 0; w <= 8; ++w)
        text += QString::number(Day(2024, 4, 1) + 7 * w) + "|";
    TextToPlanPeriods(text, p);
    return p;
}

} // namespace

TEST_F(EngineSql, LevelSelectsRun)
{
    Ok("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType) values ('X', 'X-1', 'x', 2)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmMinQty, ItmLotQty, ItmMODeptID, ItmPOSuppID, ItmOOSuppID) values "
       "('X', 100, 30, 'D1', 'P1', 'O1')\r"
       "insert #QZ_MRP_ItemLowestCode values ('X', 0)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty, DmdOrigType, "
       "DmdOrigID) values (2, 2, 'X', '20240410', 10, 10, 2, 'SO1')\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupRestQty, SupBillQty) values "
       "(0, 16, 'X', '20240331', 4, 4, 4)");
    using namespace untMRPLevelSelects;
    for (int mode : {0, 1, 2, 3, 4, 5, 9})
        for (bool item : {false, true}) {
            const QStringList rows = Rows(BuildLevelDemandSelectSQL(0, true, BuildTrackKeySQL(mode, item)));
            EXPECT_EQ(rows.size(), 1) << mode << item;
        }
    const kvtsql::BatchResult d = Ok(BuildLevelDemandSelectSQL(0, false, BuildTrackKeySQL(0, false)));
    ASSERT_FALSE(d.resultSets.isEmpty());
    const auto& cols = d.resultSets.last().columns;
    auto col = [&](const QString& name) {
        for (int i = 0; i < cols.size(); ++i)
            if (cols[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return d.resultSets.last().rows[0][i];
        ADD_FAILURE() << "no column " << name.toStdString();
        return QVariant();
    };
    EXPECT_EQ(col("DmdSupType").toInt(), 42);
    EXPECT_EQ(col("TrackKey").toString(), "2|SO1|0");
    // The reader takes the item key and the planned supply's party from the row.
    auto readFirst = [&] {
        const kvtsql::BatchResult r = Ok(BuildLevelDemandSelectSQL(0, false, BuildTrackKeySQL(0, false)));
        const kvtsql::ResultSet& rs = r.resultSets.last();
        return ReadLevelDemandRow([&](const char* name) {
            for (int i = 0; i < rs.columns.size(); ++i)
                if (rs.columns[i].name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    return rs.rows[0][i];
            return QVariant();
        });
    };
    const TMRPLevelDemandRow first = readFirst();
    EXPECT_EQ(first.Item.ItmID, "X");
    EXPECT_EQ(first.Item.Props, "");
    EXPECT_EQ(first.Item.GroupType, 0);
    EXPECT_EQ(first.Item.GroupNo, "");
    struct PartyCase {
        const char* setting;
        int supType;
        const char* party;
    };
    for (const PartyCase& c : {PartyCase{"ItmMrpType=0", 42, "D1"}, PartyCase{"ItmMrpType=1", 58, "P1"},
                               PartyCase{"ItmMrpType=3", 52, "O1"}, PartyCase{"ItmMrpType=4", 62, "D1"}}) {
        Ok(QStringLiteral("update QZ_MRP_ItemSetting set %1 where ItmID='X'").arg(QLatin1String(c.setting)));
        const TMRPLevelDemandRow row = readFirst();
        EXPECT_EQ(row.DmdSupType, c.supType) << c.setting;
        EXPECT_EQ(row.DmdSupDept, c.party) << c.setting;
    }
    Ok("update QZ_MRP_ItemSetting set ItmMrpType=0 where ItmID='X'");
    // The select names its columns: every one the reader asks for is there.
    for (bool byOrigDate : {false, true}) {
        const kvtsql::BatchResult r = Ok(BuildLevelDemandSelectSQL(0, byOrigDate, BuildTrackKeySQL(0, true)));
        ASSERT_FALSE(r.resultSets.isEmpty());
        QStringList missing;
        ReadLevelDemandRow([&](const char* name) {
            for (const auto& c : r.resultSets.last().columns)
                if (c.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                    return QVariant(0);
            if (byOrigDate || qstrcmp(name, "DmdOrigDate") != 0)
                missing << QLatin1String(name);
            return QVariant();
        });
        EXPECT_TRUE(missing.isEmpty()) << byOrigDate << ": " << missing.join(' ').toStdString();
    }
    EXPECT_EQ(Rows(BuildLevelSupplySelectSQL(0)).size(), 1);
    Ok(BuildLevelAdjustSelectSQL(0));
}

TEST_F(EngineSql, LevelWriteBacksAndPlannedSupplies)
{
    // Three needs of X under the lot rule, and a stock of 4 that covers part of the first.
    Ok("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdBillDate, DmdNeedQty, DmdQty) values "
       "(2, 12, 'X', '20240410', '20240410', 124, 124)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdBillDate, DmdNeedQty, DmdQty) values "
       "(2, 12, 'X', '20240410', '20240401', 25, 25)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty) values "
       "(3, 12, 'X', '20240417', 20, 20)\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupRestQty, SupBillQty) values "
       "(0, 16, 'X', '20240331', 4, 4, 4)");
    std::vector<TMRPLevelDemandRow> dmds;
    const std::int64_t days[] = {Day(2024, 4, 10), Day(2024, 4, 10), Day(2024, 4, 17)};
    const double qty[] = {124, 25, 20};
    for (int i = 0; i < 3; ++i) {
        TMRPLevelDemandRow r;
        r.DmdIID = i + 1;
        r.DmdBillType = 12;
        r.Item.ItmID = "X";
        r.DmdQty = r.DmdBillQty = qty[i];
        r.DmdDate = double(days[i]);
        r.DmdPeriod = i < 2 ? 2 : 3;
        r.DmdSupType = 58;
        r.DmdNote = "it's";
        r.ItmMinQty = 100;
        r.ItmLotQty = 30;
        dmds.push_back(r);
    }
    TMRPLevelSupplyRow s;
    s.SupIID = 1;
    s.SupBillType = 16;
    s.Item.ItmID = "X";
    s.SupRestQty = s.SupBillQty = 4;
    s.SupDate = double(Day(2024, 3, 31));
    TMRPLevelAdjustRow adj;
    adj.Item.ItmID = "X";
    adj.SupBillType = 42;
    adj.SupAdjQty = 5;
    TMRPLevelPlanner::TOptions o;
    o.MpsPeriods = Weeks();
    o.CareItemLotRule = true;
    o.HasAdjustQuery = o.AKeepTypeAdjusts = o.AKeepQtyAdjusts = true;
    TMRPLevelPlanner p(o);
    QStringList executed;
    p.Run(dmds, {s}, {}, {adj}, [&](const QString& sql) {
        executed << sql;
        Ok(sql);
    });
    ASSERT_EQ(executed.size(), 3);
    EXPECT_EQ(Rows("select AltSupIID, AltDmdIID, AltQty, AltTrack, AltIsRepl from #QZ_MRP_Allots"),
              QStringList{"1|1|4.00000000|0|0"});
    EXPECT_EQ(Rows("select SupQty, SupAllotQty, SupRestQty, SupHints from #QZ_MRP_Supplies where SupIID=1"),
              QStringList{"4.00000000|4.00000000|0.00000000|02=4"});
    EXPECT_EQ(Rows("select SupBillType, SupBillQty, SupAdjQty, SupQty, SupAllotQty, SupRestQty, SupPDmdIID, "
                   "SupDeptID, SupSuppID, SupNote, SupHints from #QZ_MRP_Supplies where SupIID=2"),
              QStringList{"42|260.00000000|5.00000000|265.00000000|165.00000000|100.00000000|1|NULL|NULL|it's|"
                          "02=165\r\n03=100"});
    EXPECT_EQ(Rows("select AdjSupIID, AdjOldType, AdjOldQty from #QZ_MRP_SupAdjusts"),
              QStringList{"2|42|265.00000000"});
    EXPECT_EQ(Rows("select DmdIID, DmdInvQty, DmdPPPQty1, DmdPDmdIID1, DmdQty, DmdBillDate from #QZ_MRP_Demands "
                   "order by DmdIID"),
              (QStringList{"1|4.00000000|120.00000000|1|0.00000000|20240410",
                           "2|0.00000000|25.00000000|1|0.00000000|20240401",
                           "3|0.00000000|20.00000000|1|0.00000000|NULL"}));
}

TEST_F(EngineSql, BulkWritesLeaveTheSameRowsAsTheTexts)
{
    // One level written twice, as SQL texts here and as rows of prepared
    // statements on a second account set: every row of the tables it writes
    // must match. Items A and C keep an adjustment, B does not, so plain and
    // adjusted planned supplies alternate; texts carry quotes and Chinese.
    auto bulkConn = kvtsql::Connection::create(dir.filePath(QStringLiteral("bulk.db")));
    const QString seed =
        "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdBillDate, DmdNeedQty, DmdQty) values "
        "(2, 12, 'A', '20240410', '20240410', 124.125, 124.125)\r"
        "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdBillDate, DmdNeedQty, DmdQty) values "
        "(2, 12, 'B', '20240410', '20240401', 25, 25)\r"
        "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdNeedQty, DmdQty) values "
        "(3, 12, 'C', '20240417', 20, 20)\r"
        "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupRestQty, SupBillQty) values "
        "(0, 16, 'A', '20240331', 4, 4, 4)\r"
        "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupRestQty, SupBillQty) values "
        "(0, 16, 'B', '20240331', 0.33333333, 0.33333333, 0.33333333)";
    Ok(seed);
    for (const kvtsql::BatchResult& r : {bulkConn->execute(Schema()), bulkConn->execute(seed)})
        ASSERT_TRUE(r.errors.isEmpty()) << Errors(r).toStdString();

    const struct { const char* item; int iid; std::int64_t day; int period; double qty; } needs[] = {
        {"A", 1, Day(2024, 4, 10), 2, 124.125}, {"B", 2, Day(2024, 4, 10), 2, 25}, {"C", 3, Day(2024, 4, 17), 3, 20}};
    std::vector<TMRPLevelDemandRow> dmds;
    for (const auto& n : needs) {
        TMRPLevelDemandRow r;
        r.DmdIID = n.iid;
        r.DmdBillType = 12;
        r.Item.ItmID = n.item;
        r.ItmProp[0] = QStringLiteral("蓝色");
        r.DmdQty = r.DmdBillQty = n.qty;
        r.DmdDate = double(n.day);
        r.DmdPeriod = n.period;
        r.DmdSupType = 58;
        r.DmdNote = QStringLiteral("it's 急单");
        r.DmdBomLocked = n.iid == 3;
        r.DmdBomID = QStringLiteral("B'1");
        r.ItmMinQty = 100;
        r.ItmLotQty = 30;
        dmds.push_back(r);
    }
    std::vector<TMRPLevelSupplyRow> sups;
    for (int i = 0; i < 2; ++i) {
        TMRPLevelSupplyRow s;
        s.SupIID = i + 1;
        s.SupBillType = 16;
        s.Item.ItmID = i == 0 ? "A" : "B";
        s.SupRestQty = s.SupBillQty = i == 0 ? 4 : 0.33333333;
        s.SupDate = double(Day(2024, 3, 31));
        sups.push_back(s);
    }
    std::vector<TMRPLevelAdjustRow> adjusts;
    for (const char* item : {"A", "C"}) {
        TMRPLevelAdjustRow adj;
        adj.Item.ItmID = item;
        adj.SupBillType = 42;
        adj.SupBomID = QStringLiteral("B9");
        adj.SupAdjQty = 5.5;
        adjusts.push_back(adj);
    }
    TMRPLevelPlanner::TOptions o;
    o.MpsPeriods = Weeks();
    o.CareItemLotRule = true;
    o.HasAdjustQuery = o.AKeepTypeAdjusts = o.AKeepBomAdjusts = o.AKeepQtyAdjusts = true;

    TMRPLevelPlanner texts(o);
    texts.Run(dmds, sups, {}, adjusts, [&](const QString& sql) { Ok(sql); });
    TMRPLevelPlanner bulk(o);
    int statements = 0;
    bulk.RunBulk(dmds, sups, {}, adjusts, [&](const std::vector<TMRPBulkStatement>& writes) {
        for (const TMRPBulkStatement& st : writes) {
            QStringList decl;
            for (int i = 0; i < st.ParamNames.size(); ++i)
                decl << st.ParamNames[i] + ' ' + st.ParamTypes[i];
            const kvtsql::BatchResult r = bulkConn->executeBulk(decl.join(", "), st.Statement, st.Rows);
            EXPECT_TRUE(r.errors.isEmpty()) << Errors(r).toStdString() << "\nin: " << st.Statement.toStdString();
            statements += st.Rows.isEmpty() ? 0 : 1;
        }
    });
    EXPECT_GE(statements, 5); // allotments, supply updates, demand updates, plain and adjusted inserts

    for (const char* table : {"#QZ_MRP_Allots", "#QZ_MRP_Supplies", "#QZ_MRP_SupAdjusts", "#QZ_MRP_Demands"}) {
        SCOPED_TRACE(table);
        const QString sql = QStringLiteral("select * from %1").arg(QLatin1String(table));
        const kvtsql::BatchResult r = bulkConn->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty() && !r.resultSets.isEmpty()) << Errors(r).toStdString();
        QStringList bulkRows;
        for (const auto& row : r.resultSets.last().rows) {
            QStringList f;
            for (const QVariant& v : row)
                f << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            bulkRows << f.join('|');
        }
        const kvtsql::BatchResult t = Ok(sql);
        QStringList textRows;
        for (const auto& row : t.resultSets.last().rows) {
            QStringList f;
            for (const QVariant& v : row)
                f << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            textRows << f.join('|');
        }
        EXPECT_FALSE(textRows.isEmpty());
        EXPECT_EQ(bulkRows, textRows);
    }
}

TEST_F(EngineSql, BomExplosionWithYieldLossAndFixedLines)
{
    Ok("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('P', 'P-1', 'p', 2)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('C1', 'C-1', 'c1', 2)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('C2', 'C-2', 'c2', 2)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('C3', 'C-3', 'c3', 0)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmPutInteger) values ('C3', 1)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmMrpGroup) values ('C1', 9)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P', 0)\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupDrawDate, SupQty, SupRestQty, "
       "SupAllotQty, SupBomType, SupBomID, SupPDmdIID, SupGroupType, SupGroupNo, SupOrigType, SupOrigTag) values "
       "(2, 42, 'P', '20240410', '20240405', 100, 0, 100, 1, 'B1', 7, 2, 'SO-9', 2, 'tag')\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupDrawDate, SupQty, SupRestQty, "
       "SupAllotQty, SupBomType, SupBomID, SupPDmdIID) values (2, 58, 'P', '20240410', '20240405', 100, 0, 100, 1, "
       "'B1', 8)");
    // The BOM of P: C1 with yield 80 and loss 5, C2 a fixed line, C3 whole units.
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetBOM"), [](kvtsql::ProcedureCall& call) {
        call.run("insert #QZ_MRP_BOM (BomType, BomID, BomNo, BomEntry, BomRole, BomItmID, BomFixed, BomPrdOkRate, "
                 "BomLossRate, BomQty, BomBaseQty, BomPercent, BomOffsetDay) select BomType, BomID, 'BOM-1', 1, 0, "
                 "'C1', 0, 80, 5, 1, 1, 100, 0 from #QZ_MRP_RefGetBOM\r"
                 "insert #QZ_MRP_BOM (BomType, BomID, BomNo, BomEntry, BomRole, BomItmID, BomFixed, BomPrdOkRate, "
                 "BomLossRate, BomQty, BomBaseQty, BomPercent, BomOffsetDay) select BomType, BomID, 'BOM-1', 2, 0, "
                 "'C2', 1, 80, 5, 2.5, 1, 40, 1 from #QZ_MRP_RefGetBOM\r"
                 "insert #QZ_MRP_BOM (BomType, BomID, BomNo, BomEntry, BomRole, BomItmID, BomFixed, BomPrdOkRate, "
                 "BomLossRate, BomQty, BomBaseQty, BomPercent, BomOffsetDay) select BomType, BomID, 'BOM-1', 3, 0, "
                 "'C3', 0, 100, 0, 0.1, 3, 100, 0 from #QZ_MRP_RefGetBOM");
    });
    using namespace untMRPBom;
    Ok(BuildBomFetchSQL(0));
    EXPECT_TRUE(Rows(BuildBadBomCheckSQL(0, true, 1, 0)).isEmpty());
    Ok(BuildBomDemandInsertSQL(0, true, 1, 0, "2"));
    // 100 / 0.8 / 0.95 = 131.578947... to two places; the fixed line takes base 1 (with the loss:
    // 1/0.95*2.5*40% = 1.05); 100*0.1/3 up to 4.
    EXPECT_EQ(Rows("select DmdItmID, DmdBillType, DmdNeedQty, DmdQty, DmdDate, DmdDayOffset, DmdPSupIID, "
                   "DmdGroupType, DmdGroupNo, DmdBillNo from #QZ_MRP_Demands order by DmdItmID"),
              (QStringList{"C1|94|131.58000000|131.58000000|20240405|0|1|2|SO-9|BOM-1",
                           "C2|94|1.05000000|1.05000000|20240405|1|1|0||BOM-1",
                           "C3|94|4.00000000|4.00000000|20240405|0|1|0||BOM-1"}));
    Ok("delete #QZ_MRP_Demands");
    Ok(BuildBomDemandInsertSQL(0, true, 2, 0, "2"));
    EXPECT_EQ(Rows("select DmdNeedQty from #QZ_MRP_Demands where DmdItmID='C1'"), QStringList{"131.25000000"});

    // A BOM line whose base quantity is 0 is found before anything is inserted.
    Ok("update #QZ_MRP_BOM set BomBaseQty=0 where BomItmID='C3'");
    EXPECT_EQ(Rows(BuildBadBomCheckSQL(0, true, 1, 0)), QStringList{"P-1|BOM-1|1"});
    Ok("update #QZ_MRP_BOM set BomBaseQty=3 where BomItmID='C3'\rupdate #QZ_MRP_BOM set BomLossRate=100 where "
       "BomItmID='C1'");
    EXPECT_EQ(Rows(BuildBadBomCheckSQL(0, true, 1, 0)), QStringList{"P-1|BOM-1|3"});
    EXPECT_TRUE(Rows(BuildBadBomCheckSQL(0, true, 2, 0)).isEmpty());
    kvtsql::unregisterProcedure(QStringLiteral("QZ_MRP_GetBOM"));
}

TEST_F(EngineSql, KitQuantities)
{
    Ok("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('P', 'P-1', 'p', 0)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmPutInteger) values ('P', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P', 0)\r"
       "insert #QZ_MRP_ItemLowestCode values ('C1', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('C2', 1)\r"
       // A production order of 10 P; components: 50 of C1 needed, 30 in stock; 20 of C2, 16 in stock.
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupBillQty, SupRestQty) values "
       "(2, 22, 'P', 10, 10, 10)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdBillQty, DmdNeedQty, DmdQty, "
       "DmdInvQty) values (2, 84, 'C1', 1, 50, 50, 20, 30)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdBillQty, DmdNeedQty, DmdQty, "
       "DmdInvQty) values (2, 84, 'C2', 1, 20, 20, 4, 16)\r"
       // Nothing of C3 in stock: its kit quantity would be negative.
       "insert #QZ_MRP_ItemLowestCode values ('C3', 1)\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupBillQty, SupRestQty) values "
       "(2, 22, 'P', 10, 20, 10)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdBillQty, DmdNeedQty, DmdQty) "
       "values (2, 84, 'C3', 2, 10, 10, 10)");
    using namespace untMRPKit;
    for (const QString& sql : BuildDemandKitSQL(1, 0))
        Ok(sql);
    // C1 allows 10 - 20*10/50 = 6 parents, C2 10 - 4*10/20 = 8; C3 would give -10.
    EXPECT_EQ(Rows("select DmdItmID, DmdASetQty, DmdASetRate from #QZ_MRP_Demands order by DmdItmID"),
              (QStringList{"C1|6.00000000|60.00000000", "C2|8.00000000|80.00000000", "C3|0.00000000|0.00000000"}));
    Ok(BuildSupplyKitFromComponentsSQL(0));
    EXPECT_EQ(Rows("select SupIID, SupDSetQty, SupDSetRate from #QZ_MRP_Supplies order by SupIID"),
              (QStringList{"1|6.00000000|60.00000000", "2|0.00000000|0.00000000"}));
    Ok(BuildOrdersWithoutComponentsKitSQL(0));
    Ok(BuildPlannedKitSelectSQL(0));
    Ok(BuildAllotKitSelectSQL(0));
    // A demand credited twice gets both.
    const TMRPBulkStatement credits = KitCreditsBulk({{1, 1.5}, {2, 1}, {2, 0.25}});
    QStringList decl;
    for (int i = 0; i < credits.ParamNames.size(); ++i)
        decl << credits.ParamNames[i] + ' ' + credits.ParamTypes[i];
    const kvtsql::BatchResult r = conn->executeBulk(decl.join(", "), credits.Statement, credits.Rows);
    EXPECT_TRUE(r.errors.isEmpty()) << Errors(r).toStdString();
    EXPECT_EQ(Rows("select DmdASetQty from #QZ_MRP_Demands where DmdIID<3 order by DmdIID"),
              (QStringList{"7.50000000", "9.25000000"}));
}

TEST_F(EngineSql, SupplyKitFromComponentsByLevel)
{
    // Levels: P0 on 0, P1 on 1, the components C and S (never limits a kit) on 2; X has no level.
    Ok("insert QZ_MRP_ItemSetting (ItmID, ItmSuitSkip) values ('S', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P0', 0)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P1', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('C', 2)\r"
       "insert #QZ_MRP_ItemLowestCode values ('S', 2)");
    struct Line {
        const char* item;
        const char* billQty;
        const char* kitQty;
        const char* kitRate;
    };
    struct Case {
        const char* what;
        const char* item;
        const char* parentDemand; // SupPDmdIID
        std::vector<Line> lines;
        const char* onLevel1; // SupDSetQty|SupDSetRate after the level 1 statement
        const char* onLevel0; // ... after the level 0 statement
    };
    const Case cases[] = {
        {"the scarcest component of a top supply", "P0", "null", {{"C", "5", "4", "40"}, {"C", "5", "6", "60"}}, "NULL|NULL",
         "4.00000000|40.00000000"},
        {"a supply without a parent demand on a lower level", "P1", "-1", {{"C", "5", "3", "30"}, {"S", "5", "1", "10"}},
         "3.00000000|30.00000000", "3.00000000|30.00000000"},
        {"a component without a kit quantity", "P1", "5", {{"C", "5", "null", "null"}}, "0.00000000|0.00000000", "NULL|NULL"},
        {"an item without a level and without a parent demand", "X", "-1", {{"C", "5", "7", "70"}}, "NULL|NULL",
         "7.00000000|70.00000000"},
        {"only components that never limit", "P0", "null", {{"S", "5", "1", "10"}}, "NULL|NULL", "10.00000000|100.00000000"},
        {"a component without a bill quantity", "P0", "null", {{"C", "0", "1", "10"}}, "NULL|NULL", "NULL|NULL"},
    };
    int sup = 0;
    for (const Case& c : cases) {
        ++sup;
        Ok(QStringLiteral("insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupBillQty, SupRestQty, "
                          "SupPDmdIID) values (2, 42, '%1', 10, 10, 0, %2)")
               .arg(c.item, c.parentDemand));
        for (const Line& l : c.lines)
            Ok(QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdBillQty, "
                              "DmdNeedQty, DmdQty, DmdASetQty, DmdASetRate) values (2, 92, '%1', %2, %3, %3, %3, %4, %5)")
                   .arg(l.item)
                   .arg(sup)
                   .arg(l.billQty, l.kitQty, l.kitRate));
    }
    for (int level : {1, 0}) {
        Ok("update #QZ_MRP_Supplies set SupDSetQty=null, SupDSetRate=null");
        Ok(untMRPKit::BuildSupplyKitFromComponentsSQL(level));
        const QStringList rows = Rows("select SupDSetQty, SupDSetRate from #QZ_MRP_Supplies order by SupIID");
        ASSERT_EQ(rows.size(), int(std::size(cases)));
        for (std::size_t i = 0; i < std::size(cases); ++i)
            EXPECT_EQ(rows[int(i)].toStdString(), level == 1 ? cases[i].onLevel1 : cases[i].onLevel0)
                << cases[i].what << " on level " << level;
    }
}

TEST_F(EngineSql, KitQuantitiesByKindOfDemand)
{
    // Parents: P demands whole units, Q keeps two decimals.
    Ok("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('P', 'P-1', 'p', 0)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmDecimal) values ('Q', 'Q-1', 'q', 2)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmPutInteger) values ('P', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P', 0)\r"
       "insert #QZ_MRP_ItemLowestCode values ('Q', 0)\r"
       "insert #QZ_MRP_ItemLowestCode values ('M', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('C1', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('C2', 2)");
    struct Supply {
        const char* item;
        const char* qty;
    };
    // 1: planned 10 P, 2: planned 10 Q, 3: nothing left of P, 4: an order of 3 P.
    const Supply supplies[] = {{"P", "10"}, {"Q", "10"}, {"P", "0"}, {"P", "3"}};
    for (const Supply& sp : supplies)
        Ok(QStringLiteral("insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupQty, SupBillQty, SupRestQty) "
                          "values (2, 42, '%1', %2, %2, 0)")
               .arg(sp.item, sp.qty));
    struct Case {
        const char* what;
        int billType;
        const char* item;
        const char* parent; // DmdPSupIID or null
        const char* billQty;
        const char* needQty;
        const char* invQty;
        const char* expected; // DmdASetQty|DmdASetRate
    };
    const Case cases[] = {
        {"main demand: what is in stock", 2, "M", "null", "8", "8", "6", "6.00000000|75.00000000"},
        {"main demand needing nothing", 2, "M", "null", "0", "0", "6", "NULL|NULL"},
        {"planned line cut to whole parents", 92, "C1", "1", "40", "40", "30", "7.00000000|70.00000000"},
        {"planned line cut to the parent's decimals", 92, "C1", "2", "30", "30", "10", "3.33000000|33.30000000"},
        {"planned line with nothing available", 92, "C1", "1", "40", "40", "null", "NULL|0.00000000"},
        {"planned line of a parent with nothing left", 92, "C1", "3", "5", "5", "5", "0.00000000|NULL"},
        {"order line without a bill quantity", 84, "C1", "4", "0", "3", "1", "NULL|0.00000000"},
        {"rate rounded to two places", 92, "C1", "4", "3", "3", "1", "1.00000000|33.33000000"},
        {"line of another level", 94, "C2", "1", "5", "5", "5", "NULL|NULL"},
    };
    for (const Case& c : cases)
        Ok(QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdBillQty, DmdNeedQty, "
                          "DmdQty, DmdInvQty) values (2, %1, '%2', %3, %4, %5, %5, %6)")
               .arg(c.billType)
               .arg(c.item, c.parent, c.billQty, c.needQty, c.invQty));
    for (const QString& sql : untMRPKit::BuildDemandKitSQL(1, 0))
        Ok(sql);
    const QStringList rows = Rows("select DmdASetQty, DmdASetRate from #QZ_MRP_Demands order by DmdIID");
    ASSERT_EQ(rows.size(), int(std::size(cases)));
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(rows[int(i)], cases[i].expected) << cases[i].what;
}

namespace {

// Rows of a select as the planner reads them.
template <typename Row, typename Reader>
std::vector<Row> ReadRows(const kvtsql::BatchResult& r, Reader read)
{
    std::vector<Row> rows;
    if (r.resultSets.isEmpty())
        return rows;
    const kvtsql::ResultSet& rs = r.resultSets.last();
    for (const auto& values : rs.rows) {
        rows.push_back(read([&](const QString& name) {
            for (int i = 0; i < rs.columns.size(); ++i)
                if (rs.columns[i].name.compare(name, Qt::CaseInsensitive) == 0)
                    return values[i];
            return QVariant();
        }));
    }
    return rows;
}

} // namespace

TEST_F(EngineSql, LevelFromSelectsToWriteBacks)
{
    // Item 1001 and 10011 side by side (a text key would misplace them), a
    // component demand split by its parent's periods, and a substitute.
    Ok("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmDecimal) values ('1001', '1001', 'a', 1, 0)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmDecimal) values ('10011', '10011', 'b', 2, 2)\r"
       "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmType, ItmDecimal) values ('S', 'S', 's', 1, 2)\r"
       "insert QZ_MRP_ItemSetting (ItmID, ItmPutInteger) values ('1001', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('1001', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('10011', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('S', 1)\r"
       "insert #QZ_MRP_ItemLowestCode values ('P', 0)\r"
       // The parent: a planned production supply of 7 spread over weeks 2 and 3.
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupDrawDate, SupLeadDays, SupQty, "
       "SupBillQty, SupRestQty, SupHints, SupPDmdIID) values (2, 42, 'P', '20240410', '20240408', 2, 7, 7, 0, "
       "'02=3\r\n03=4', 9)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdPSupIID, DmdDate, DmdBillQty, DmdNeedQty, "
       "DmdQty) values (2, 94, '1001', 1, '20240408', 4, 4, 4)\r"
       "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdDate, DmdBillQty, DmdNeedQty, DmdQty) values "
       "(2, 12, '10011', '20240409', 10, 10, 10)\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupBillQty, SupRestQty) values "
       "(0, 16, '10011', '20240331', 3, 3, 3)\r"
       "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupItmID, SupDate, SupQty, SupBillQty, SupRestQty) values "
       "(0, 16, 'S', '20240331', 8, 8, 8)");
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsForMRPDemand"), [](kvtsql::ProcedureCall& call) {
        call.run("insert #QZ_MRP_ItemSubsForMRPDemand (DmdIID, SubGlobal, SubPriority, SubRItmID, SubQty, SubRQty) "
                 "select DmdIID, 0, 1, 'S', 1, 2 from #QZ_MRP_Demands where DmdItmID='10011'");
    });
    using namespace untMRPLevelSelects;
    const auto dmds = ReadRows<TMRPLevelDemandRow>(
        Ok(BuildLevelDemandSelectSQL(1, false, BuildTrackKeySQL(0, false))), ReadLevelDemandRow);
    const auto sups = ReadRows<TMRPLevelSupplyRow>(Ok(BuildLevelSupplySelectSQL(1)), ReadLevelSupplyRow);
    const auto subs = ReadRows<TMRPLevelSubstituteRow>(Ok(BuildLevelSubstituteSQL(1, 0)), ReadLevelSubstituteRow);
    ASSERT_EQ(dmds.size(), 2u);
    ASSERT_EQ(sups.size(), 2u);
    ASSERT_EQ(subs.size(), 1u);
    EXPECT_TRUE(dmds[0].HasParent);
    EXPECT_EQ(dmds[0].DmdDate, double(Day(2024, 4, 8)));

    TMRPLevelPlanner::TOptions o;
    o.MpsPeriods = Weeks();
    o.CareItemReplace = 1;
    TMRPLevelPlanner p(o);
    p.Run(dmds, sups, subs, {}, [&](const QString& sql) { Ok(sql); });
    // 1001: 3 of 7 parents give ceil(3*4/7)=2 at the start, the other 2 two days before week 3 (still
    // week 2): one planned purchase of 4. 10011: the rest 3 becomes a planned production order.
    EXPECT_EQ(Rows("select SupItmID, SupBillType, SupQty, SupPeriod, SupDate, SupPDmdIIDs from #QZ_MRP_Supplies "
                   "where SupIID>3 order by SupIID"),
              (QStringList{"1001|58|4.00000000|2|20240408||1:02=4", "10011|42|3.00000000|2|20240409||2:02=3"}));
    EXPECT_EQ(p.Details.size(), 3u);
    // 10011: 3 from its own stock, 7 from S at 1:2 (14 of the 8 there: 4 covered), 3 planned.
    EXPECT_EQ(Rows("select DmdItmID, DmdInvQty, DmdReplQty, DmdPPPQty1, DmdQty from #QZ_MRP_Demands order by DmdIID"),
              (QStringList{"1001|0.00000000|0.00000000|4.00000000|0.00000000",
                           "10011|7.00000000|4.00000000|3.00000000|0.00000000"}));
    EXPECT_EQ(Rows("select SupItmID, SupAllotQty, SupAReplQty, SupRestQty from #QZ_MRP_Supplies where SupBillType=16 "
                   "order by SupIID"),
              (QStringList{"10011|3.00000000|0.00000000|0.00000000", "S|8.00000000|8.00000000|0.00000000"}));
    EXPECT_EQ(Rows("select count(*) from #QZ_MRP_Allots where AltIsRepl<>0"), QStringList{"1"});
    kvtsql::unregisterProcedure(QStringLiteral("QZ_MRP_GetItemSubsForMRPDemand"));
}
