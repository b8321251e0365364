// The demo account set: a fresh file made from the scripts, its row counts, the
// info objects' SELECTs, users, permissions and the script runner's errors.
#include "NewAccountSet.h"
#include "TsqlEngine.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <memory>
#include <thread>

using kvdemo::Script;

namespace {

class DemoAccountSet : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        ASSERT_TRUE(dir->isValid());
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(dir->filePath("demo.kvdb"), &error)) << error.toStdString();
        db = kvtsql::Connection::open(dir->filePath("demo.kvdb")).release();
    }
    static void TearDownTestSuite()
    {
        delete db;
        db = nullptr;
        delete dir;
        dir = nullptr;
    }

    // Runs a batch that must succeed and returns its first result set.
    static kvtsql::ResultSet query(const QString& sql)
    {
        kvtsql::BatchResult r = db->execute(sql);
        EXPECT_TRUE(r.errors.isEmpty()) << sql.toStdString() << "\n -> "
                                        << (r.errors.isEmpty() ? "" : r.errors.first().message.toStdString());
        return r.resultSets.isEmpty() ? kvtsql::ResultSet{} : r.resultSets.first();
    }
    static qlonglong scalar(const QString& sql)
    {
        const kvtsql::ResultSet rs = query(sql);
        return rs.rows.isEmpty() ? -1 : rs.rows.first().first().toLongLong();
    }

    static QTemporaryDir* dir;
    static kvtsql::Connection* db;
};
QTemporaryDir* DemoAccountSet::dir = nullptr;
kvtsql::Connection* DemoAccountSet::db = nullptr;

TEST_F(DemoAccountSet, KeyTablesHoldTheSampleRows)
{
    const struct { const char* table; int rows; } cases[] = {
        {"QZ_SYS_Objects", 37},    {"QZ_SYS_Users", 4},         {"QZ_SYS_UserGroups", 3},
        {"QZ_SYS_Modules", 5},     {"QZ_SYS_Functions", 29},    {"QZ_Base_ItemMaster", 60},
        {"QZ_MRP_ItemSetting", 60}, {"QZ_MRP_ItemBOMs", 21},    {"QZ_MRP_ItemBOMLines", 97},
        {"QZ_MRP_ItemSubstitutes", 1}, {"QZ_MRP_SO", 8},        {"QZ_MRP_SI", 2},
        {"QZ_MRP_Forcast", 5},     {"QZ_MRP_MO", 3},            {"QZ_MRP_MOBOM", 19},
        {"QZ_MRP_OO", 2},          {"QZ_MRP_OOBOM", 6},         {"QZ_MRP_PO", 6},
        {"QZ_MRP_PI", 1},          {"QZ_MRP_MR", 1},            {"QZ_MRP_OR", 1},
        {"QZ_MRP_PR", 1},          {"QZ_MRP_MOScrap", 1},       {"QZ_MRP_Inventory", 24},
        {"QZ_MRP_Calendar", 2},    {"QZ_MRP_Holidays", 369},    {"QZ_MRP_Schemes", 1},
        {"QZ_MRP_Main", 0},        {"QZ_MRP_Supplies", 0},      {"QZ_SYS_ViewSchemes", 32},
    };
    for (const auto& c : cases)
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(c.table))), c.rows) << c.table;
}

TEST_F(DemoAccountSet, EveryViewAUserCanOpenHasASharedDefaultScheme)
{
    // grids and the planning library's views (result views and tree views)
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from QZ_SYS_Objects as o where o.ObjType in (0, 10) and not exists (select * from "
                     "QZ_SYS_ViewSchemes as v where v.ViwID=o.ObjID and v.ViwUsrID='' and v.ViwKind=2)")),
              0);
    // one each, so the default a view loads is never a matter of order
    EXPECT_EQ(scalar(QStringLiteral("select count(*) from (select ViwID from QZ_SYS_ViewSchemes where ViwUsrID='' and ViwKind=2 "
                     "group by ViwID having count(*)>1) as t")),
              0);
}

TEST_F(DemoAccountSet, BillTypesOfThePlanningAreAValueList)
{
    const kvtsql::ResultSet rs =
        query("select EnmID, EnmName from QZ_SYS_Enums with(nolock) where EnmClass='MrpBillType' order by EnmID");
    QMap<int, QString> names;
    for (const auto& row : rs.rows)
        names[row[0].toInt()] = row[1].toString();
    // the optional sources of the run are read only when their code is listed
    for (int code : {2, 4, 8, 12, 16, 22, 24, 26, 28, 34, 36, 38, 42, 52, 58, 62, 74, 80, 82, 84, 92, 94, 96})
        EXPECT_TRUE(names.contains(code)) << code;
    EXPECT_EQ(names.value(16), QStringLiteral("即时库存"));
}

// The SELECT of an info object over all its data sources and fields, built as
// the host's builder does when every alias is referred to.
static QString fullSelect(kvtsql::Connection& db, const QString& objectId, QString* problem)
{
    const QString id = QString(objectId).replace(u'\'', QStringLiteral("''"));
    kvtsql::BatchResult src = db.execute(QStringLiteral(
        "select DtsID, DtsType, DtsSource, DtsFilter, DtsJoin from QZ_SYS_ObjDataSources with(nolock) "
        "where DtsObjID='%1' order by DtsSeqNo").arg(id));
    kvtsql::BatchResult fld = db.execute(QStringLiteral(
        "select FldID, FldExpress, FldValType from QZ_SYS_ObjFields with(nolock) where FldObjID='%1' "
        "order by FldSeqNo, FldName").arg(id));
    if (!src.errors.isEmpty() || !fld.errors.isEmpty() || src.resultSets.isEmpty() || fld.resultSets.isEmpty()) {
        *problem = "definition not readable";
        return {};
    }
    QStringList columns;
    QString from;
    const auto& sources = src.resultSets.first().rows;
    for (int i = 0; i < sources.size(); ++i) {
        const QString alias = sources[i][0].toString();
        const QString text = sources[i][2].toString();
        const QString piece = sources[i][1].toInt() == 0 ? text + " as " + alias + " with(nolock)"
                                                         : "(" + text + ") as " + alias;
        if (i == 0) {
            from = piece;
        } else {
            QString on = sources[i][4].toString().trimmed();
            const QString filter = sources[i][3].toString().trimmed();
            if (!filter.isEmpty())
                on = on.isEmpty() ? filter : "(" + filter + ") and (" + on + ")";
            from += " left join " + piece + " on " + (on.isEmpty() ? QStringLiteral("1=1") : on);
        }
    }
    for (const auto& f : fld.resultSets.first().rows) {
        const QString fid = f[0].toString().trimmed();
        const int valueType = f[2].toInt();
        if (valueType == 1 || valueType == 2) {   // user-name fields join the users under the field's ID
            from += " left join QZ_SYS_Users as " + fid + " with(nolock) on " + f[1].toString() + "=" + fid + ".UsrID";
            columns << "[" + fid + "]=" + fid + ".UsrName";
        } else {
            columns << "[" + fid + "]=" + f[1].toString();
        }
    }
    if (from.isEmpty()) {
        *problem = "no data source";
        return {};
    }
    return "select " + (columns.isEmpty() ? QStringLiteral("1") : columns.join(", ")) + "\rfrom " + from + "\r";
}

TEST_F(DemoAccountSet, EveryInfoObjectWithDataSourcesOpensItsSelect)
{
    const struct { const char* id; int rows; } cases[] = {
        {"QZ_MRP.SO", 8},        {"QZ_MRP.SI", 2},       {"QZ_MRP.Forcast", 5},  {"QZ_MRP.MO", 3},
        {"QZ_MRP.OO", 2},        {"QZ_MRP.PO", 6},       {"QZ_MRP.PI", 1},       {"QZ_MRP.MR", 1},
        {"QZ_MRP.OR", 1},        {"QZ_MRP.PR", 1},       {"QZ_MRP.MOScrap", 1},  {"QZ_MRP.OOScrap", 0},
        {"QZ_MRP.Inventory", 24}, {"QZ_MRP.OOBOM", 6},   {"QZ_MRP.MOBOM", 19},   {"QZ_MRP.Stocks", 4},
        {"QZ_MRP.Items", 60},    {"QZ_MRP.ItemSubs", 1}, {"QZ_MRP.BOMs", 21}, {"QZ_MRP.Deduct", 5},
        {"QZ_MRP.DeductLog", 0}, {"QZ_MRP.InvFilter", 24}, {"QZ_MRP.MRP.Main", 0}, {"QZ_MRP.MRP.Supplies", 0}, {"QZ_MRP.MRPOutput", 0},
        {"QZ_MRP.AgeAnalyze", 0},
        // QZ_MRP.MRP.Allot is left out: its view puts the union of demands, group
        // lines and top-level supplies in place of its main table, and its fields
        // name that union's columns (the allotment tests open it).
    };
    for (const auto& c : cases) {
        QString problem;
        const QString sql = fullSelect(*db, QLatin1String(c.id), &problem);
        ASSERT_TRUE(problem.isEmpty()) << c.id << ": " << problem.toStdString();
        kvtsql::BatchResult r = db->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << c.id << ": " << r.errors.first().message.toStdString() << "\n"
                                        << sql.toStdString();
        ASSERT_FALSE(r.resultSets.isEmpty()) << c.id;
        EXPECT_EQ(r.resultSets.first().rows.size(), c.rows) << c.id;
    }
}

TEST_F(DemoAccountSet, DemandAndSupplyObjectsDefineTheEngineMacros)
{
    const char* objects[] = {"QZ_MRP.SO", "QZ_MRP.SI", "QZ_MRP.Forcast", "QZ_MRP.MO", "QZ_MRP.OO", "QZ_MRP.PO",
                             "QZ_MRP.PI", "QZ_MRP.MR", "QZ_MRP.OR", "QZ_MRP.PR", "QZ_MRP.MOScrap", "QZ_MRP.OOScrap",
                             "QZ_MRP.Inventory", "QZ_MRP.OOBOM", "QZ_MRP.MOBOM"};
    const QString macros = "'ItmProps','ItmProp1','ItmProp2','ItmProp3','ItmProp4','ItmProp5','ItmProp6','ItmProp7',"
                           "'ItmProp8','ItmProp9','ItmProp10','OrigType','OrigID','OrigNo','OrigEntry','OrigItmID',"
                           "'OrigCustID','OrigCustPO','OrigTag','OrigSubTag','MRPGroupType','MRPGroupNo','ItmID'";
    for (const char* id : objects)
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from QZ_SYS_ObjFields where FldObjID='%1' and FldID in (%2)")
                             .arg(QLatin1String(id), macros)),
                  23)
            << id;
    EXPECT_EQ(scalar("select count(*) from QZ_SYS_ObjFields where FldObjID='QZ_MRP.MO' and FldID='MOChkQty'"), 1);
    EXPECT_EQ(scalar("select count(*) from QZ_SYS_ObjFields where FldObjID='QZ_MRP.OO' and FldID='OOChkQty'"), 1);
    EXPECT_EQ(scalar("select count(*) from QZ_SYS_Objects where ObjType in (10, 11, 12) and ObjDllName<>'QZ_MRP.dll'"), 0);
}

TEST_F(DemoAccountSet, UsersAndGroupsAsTheLoginReadsThem)
{
    const kvtsql::ResultSet users =
        query("select UsrID, UsrAdmin, UsrDisabled from QZ_SYS_Users with(nolock) order by UsrID");
    QMap<QString, QPair<bool, bool>> flags;
    for (const auto& row : users.rows)
        flags[row[0].toString()] = {row[1].toBool(), row[2].toBool()};
    EXPECT_EQ(flags.value("admin"), qMakePair(true, false));
    EXPECT_EQ(flags.value("plan01"), qMakePair(false, false));
    EXPECT_EQ(flags.value("old01"), qMakePair(false, true));

    const kvtsql::ResultSet groups =
        query("select b.GrpID, g.GrpAdmin from QZ_SYS_UserBelongs as b with(nolock) join QZ_SYS_UserGroups as g "
              "with(nolock) on b.GrpID=g.GrpID where b.UsrID='plan01'");
    ASSERT_EQ(groups.rows.size(), 1);
    EXPECT_EQ(groups.rows[0][0].toString(), "G_PLAN");
    EXPECT_FALSE(groups.rows[0][1].toBool());
}

// The navigator's function list for a user who is not an administrator.
static QString navigatorSql(const QString& user, const QString& groups)
{
    return QStringLiteral(
        "select f.* from QZ_SYS_Functions as f with(nolock) left join QZ_SYS_Objects as o with(nolock) on FunType=0 and FunObject=ObjID "
        "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind<>2) as p1 on FunType=0 and FunObject=p1.PmsObjID and FunAction=p1.PmsRelID "
        "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind=2) as p2 on FunType=0 and FunObject=p2.PmsObjID and FunAction=p2.PmsRelID "
        "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind<>2) as p3 on FunType=0 and FunObject=p3.ActObjID and FunAction=p3.ActID "
        "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID where (PmsUsrID=%1 and PmsIsGroup=0 or PmsUsrID in (%2) and PmsIsGroup=1) and PmsKind=2) as p4 on FunType=0 and FunObject=p4.ActObjID and FunAction=p4.ActID "
        "where FunType<>0 or o.ObjInternal=1 or p1.PmsObjID is not null and p2.PmsObjID is null or p3.ActObjID is not null and p4.ActObjID is null order by FunModID, FunSeqNo")
        .arg(user, groups);
}

TEST_F(DemoAccountSet, NavigatorShowsEachUserTheFunctionsOfHisGroup)
{
    EXPECT_EQ(query(navigatorSql("'plan01'", "'G_PLAN',null")).rows.size(), 29);
    EXPECT_EQ(query(navigatorSql("'buy01'", "'G_BUY',null")).rows.size(), 7);
    EXPECT_EQ(query(navigatorSql("'nobody'", "null")).rows.size(), 0);
}

TEST_F(DemoAccountSet, ThePlannersSchemeAwaitsItsMainDemand)
{
    const kvtsql::ResultSet rs = query(
        "select SchName, SchState, SchCalIID, SchPeriods, UsrName from QZ_MRP_Schemes with(nolock) "
        "left join QZ_SYS_Users with(nolock) on SchUsrID=UsrID where SchType=0");
    ASSERT_EQ(rs.rows.size(), 1);
    EXPECT_EQ(rs.rows[0][1].toInt(), 0);
    EXPECT_EQ(rs.rows[0][2].toInt(), 1);
    EXPECT_EQ(rs.rows[0][3].toString().count(u'|'), 14);   // 13 weeks and the exceed period
    EXPECT_EQ(rs.rows[0][4].toString(), QStringLiteral("王计划"));
    // holidays of the plan's calendar from its first day on
    EXPECT_GT(scalar("select count(*) from QZ_MRP_Holidays with(nolock) where CalIID=1 and CalHoliday>='20270104'"), 0);
}

// A scheme made on the demo may reach to the end of 2029 (lead times reach back
// to November 2026): no Saturday or Sunday in between is a working day of the
// standard calendar, and the continuous calendar rests on every New Year's Day.
TEST_F(DemoAccountSet, CalendarsHoldRestDaysOverEveryYearASchemeReaches)
{
    QSet<QDate> rest;
    for (const QVariantList& row : query("select CalHoliday from QZ_MRP_Holidays with(nolock) where CalIID=1").rows)
        rest.insert(row.first().toDateTime().date());
    QStringList workingWeekends;
    for (QDate d(2026, 11, 1); d <= QDate(2029, 12, 31); d = d.addDays(1))
        if (d.dayOfWeek() >= 6 && !rest.contains(d))
            workingWeekends << d.toString(Qt::ISODate);
    EXPECT_TRUE(workingWeekends.isEmpty()) << workingWeekends.join(u' ').toStdString();
    for (const char* day : {"20270101", "20280101", "20290101"}) {
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from QZ_MRP_Holidays with(nolock) where CalIID=1 and CalHoliday='%1'")
                             .arg(QLatin1String(day))), 1) << day;
        EXPECT_EQ(scalar(QStringLiteral("select count(*) from QZ_MRP_Holidays with(nolock) where CalIID=2 and CalHoliday='%1'")
                             .arg(QLatin1String(day))), 1) << day;
    }
    // the continuous calendar keeps its weekends as working days
    EXPECT_EQ(scalar("select count(*) from QZ_MRP_Holidays with(nolock) where CalIID=2"), 9);
}

TEST(DemoScripts, BatchesAreSplitAtGoLines)
{
    const QList<kvdemo::Batch> batches =
        kvdemo::splitBatches("create table A (x int)\r\ngo\r\n\n  GO  \ninsert A values (1)\ngo;\ninsert A values (2)\n");
    ASSERT_EQ(batches.size(), 2);
    EXPECT_EQ(batches[0].firstLine, 1);
    EXPECT_EQ(batches[0].text, "create table A (x int)");
    // "go;" is not a separator line, so it stays inside the last batch
    EXPECT_EQ(batches[1].firstLine, 5);
    EXPECT_TRUE(batches[1].text.startsWith("insert A values (1)\ngo;"));
    EXPECT_TRUE(kvdemo::splitBatches("\n go \n\n").isEmpty());
}

TEST(DemoScripts, TheRunnerStopsAtTheFirstFailingBatchAndNamesIt)
{
    QTemporaryDir dir;
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::create(dir.filePath("t.kvdb"));
    const QList<Script> scripts = {
        {"a.sql", "create table T (x int)\ngo\ninsert T (x) values (1)\ngo"},
        {"b.sql", "insert T (x) values (2)\ngo\n\nselect * from NoSuchTable\ngo\ninsert T (x) values (3)\ngo"},
        {"c.sql", "insert T (x) values (4)"},
    };
    QString error;
    EXPECT_FALSE(kvdemo::runScripts(*db, scripts, &error));
    EXPECT_TRUE(error.contains("b.sql")) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("第4行"))) << error.toStdString();
    kvtsql::BatchResult r = db->execute("select x from T order by x");
    ASSERT_TRUE(r.errors.isEmpty());
    ASSERT_EQ(r.resultSets.first().rows.size(), 2);   // 1 and 2; nothing after the failure
}

TEST(DemoScripts, AnExistingFileIsNeverOverwritten)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("mine.kvdb");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep me");
    }
    QString error;
    EXPECT_FALSE(kvdemo::createAccountSet(file, &error));
    EXPECT_TRUE(error.contains(file)) << error.toStdString();
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("keep me"));
}

TEST(DemoScripts, AFailedCreationLeavesNoFileBehind)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("broken.kvdb");
    QString error;
    EXPECT_FALSE(kvdemo::createAccountSet(file, {{"bad.sql", "create table T (x int)\ngo\ninsert Nope values (1)"}}, &error));
    EXPECT_TRUE(error.contains("bad.sql")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "nor a file it was built in";
    // and a retry with sound scripts works on the same name
    EXPECT_TRUE(kvdemo::createAccountSet(file, {{"good.sql", "create table T (x int)"}}, &error)) << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"broken.kvdb"});
}

TEST(DemoScripts, AKilledToolLeavesNoHalfBuiltAccountSet)
{
    // korvane-newdb killed while it runs the scripts: nothing opens under the
    // target's name, and the next build of it succeeds and removes what was left.
    QTemporaryDir dir;
    const QString file = dir.filePath("demo.kvdb");
    QString bin = qEnvironmentVariable("KORVANE_BIN_DIR");
    if (bin.isEmpty())
        bin = QCoreApplication::applicationDirPath();
    QProcess tool;
    tool.start(bin + "/korvane-newdb", {file});
    ASSERT_TRUE(tool.waitForStarted());
    // the build is under way once its log holds pages
    const auto building = [&] {
        for (const QFileInfo& f : QDir(dir.path()).entryInfoList({"*-wal"}, QDir::Files | QDir::Hidden))
            if (f.size() > 64 * 1024)
                return true;
        return false;
    };
    QElapsedTimer waited;
    waited.start();
    while (!building() && tool.state() == QProcess::Running && waited.elapsed() < 60000)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(tool.state(), QProcess::Running) << "the tool ended before it could be killed midway";
    tool.kill();
    tool.waitForFinished();

    EXPECT_FALSE(QFile::exists(file)) << "a half-built file under the target's name";
    QString error;
    ASSERT_TRUE(kvdemo::createAccountSet(file, &error)) << error.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"demo.kvdb"});
    auto db = kvtsql::Connection::open(file);
    const kvtsql::BatchResult r = db->execute("select n=count(*) from QZ_SYS_Users");
    ASSERT_TRUE(r.errors.isEmpty());
    EXPECT_GT(r.resultSets.first().rows.first().first().toInt(), 0);
}

TEST(DemoScripts, TheDemoScriptsAreCarriedInOrder)
{
    QStringList names;
    for (const Script& s : kvdemo::accountSetScripts())
        names << s.name;
    EXPECT_EQ(names, QStringList({"schema/01_sys.sql", "schema/02_mrp.sql", "schema/03_erp.sql", "schema/04_erp_access.sql", "schema/05_views.sql",
                                  "schema/06_stock_bills.sql", "data/10_objects.sql", "data/11_system.sql", "data/12_erp_users.sql", "data/13_view_defaults.sql", "data/20_master.sql", "data/21_documents.sql",
                                  "data/22_stock_bills.sql"}));
}

} // namespace
