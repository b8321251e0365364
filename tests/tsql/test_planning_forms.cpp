// Forms the planning engine uses: update/delete with joins, select into, loops,
// transactions across batches, native procedures, exact decimals, several connections.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kStock =
    "create table Item (ItmID varchar(20) not null primary key, ItmName nvarchar(40), ParentID varchar(20) null, Qty decimal(28,8) null, Lvl int null)\n"
    "create table Mov (MovID int identity(1,1) primary key, ItmID varchar(20) not null, MovQty decimal(28,8) not null, Kind int not null)\n"
    "insert Item (ItmID, ItmName, ParentID, Qty, Lvl) values ('A', 'a', null, 0, 0)\n"
    "insert Item (ItmID, ItmName, ParentID, Qty, Lvl) values ('B', 'b', 'A', 0, 0)\n"
    "insert Item (ItmID, ItmName, ParentID, Qty, Lvl) values ('C', 'c', 'B', 0, 0)\n"
    "insert Item (ItmID, ItmName, ParentID, Qty, Lvl) values ('D', 'd', null, 5, 0)\n"
    "insert Mov (ItmID, MovQty, Kind) values ('A', 1.5, 1)\n"
    "insert Mov (ItmID, MovQty, Kind) values ('A', 2.25, 1)\n"
    "insert Mov (ItmID, MovQty, Kind) values ('B', 4, 2)\n"
    "insert Mov (ItmID, MovQty, Kind) values ('C', 0.1, 1)\n";

struct FormCase {
    const char* what;
    const char* sql;
    const char* check;
    QStringList rows;
};

} // namespace

TEST(TsqlPlanningForms, UpdateAndDeleteWithJoins)
{
    const FormCase cases[] = {
        {"update with the target first", "update i set Qty=m.MovQty from Item as i join Mov as m on i.ItmID=m.ItmID where m.Kind=2",
         "select ItmID, Qty from Item where Qty<>0 order by ItmID", {"B|4.00000000", "D|5.00000000"}},
        {"update with the target not first", "update i set Qty=1 from Mov as m join Item as i with(nolock) on i.ItmID=m.ItmID where m.Kind=1",
         "select ItmID, Qty from Item order by ItmID", {"A|1.00000000", "B|0.00000000", "C|1.00000000", "D|5.00000000"}},
        {"update from an aggregated derived table",
         "update i set Qty=s.Total from Item as i join (select ItmID, Total=sum(MovQty) from Mov group by ItmID) as s on i.ItmID=s.ItmID",
         "select ItmID, Qty from Item order by ItmID", {"A|3.75000000", "B|4.00000000", "C|0.10000000", "D|5.00000000"}},
        {"self-join update", "update c set Lvl=p.Lvl+1 from Item as c join Item as p on c.ParentID=p.ItmID",
         "select ItmID, Lvl from Item order by ItmID", {"A|0", "B|1", "C|1", "D|0"}},
        {"left-join update touches unmatched rows", "update i set Qty=isnull(m.MovQty, -1) from Item as i left join (select ItmID, MovQty from Mov where Kind=2) as m on i.ItmID=m.ItmID",
         "select ItmID, Qty from Item order by ItmID", {"A|-1.00000000", "B|4.00000000", "C|-1.00000000", "D|-1.00000000"}},
        {"update naming the table, joined by name", "update Item set Qty=Qty+MovQty from Item join Mov on Item.ItmID=Mov.ItmID where Kind=2",
         "select ItmID, Qty from Item where ItmID='B'", {"B|4.00000000"}},
        {"delete with a join", "delete m from Mov as m join Item as i on m.ItmID=i.ItmID where i.ParentID is not null",
         "select ItmID from Mov order by MovID", {"A", "A"}},
        {"delete with a left join keeps matched rows", "delete i from Item as i left join Mov as m on i.ItmID=m.ItmID where m.ItmID is null",
         "select ItmID from Item order by ItmID", {"A", "B", "C"}},
        {"delete with a join to a derived table",
         "delete d from Item as d join (select distinct ItmID from Mov where Kind=1) as k on d.ItmID=k.ItmID",
         "select ItmID from Item order by ItmID", {"B", "D"}},
        {"@@rowcount inside where", "update Item set Lvl=9 where ItmID='A'\nupdate Item set Lvl=@@rowcount where ItmID='D' and @@rowcount>0",
         "select Lvl from Item where ItmID='D'", {"1"}},
    };
    for (const FormCase& c : cases) {
        ScratchDb db;
        db.ok(kStock);
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
        QStringList rows = db.rows(QString::fromUtf8(c.check));
        EXPECT_EQ(rows, c.rows) << c.what;
    }
}

TEST(TsqlPlanningForms, SelectIntoKeepsDeclaredTypes)
{
    ScratchDb db;
    db.ok(kStock);
    db.ok("select ItmID, Qty, Lvl, Name=ItmName into #t from Item where 1=0\n"
          "insert #t select ItmID, Qty, Lvl, ItmName from Item\n"
          "select m.*, x=cast(MovQty as decimal(22,2)) into #m from Mov as m where Kind=1\n"
          "union all select m.*, 0 from Mov as m where Kind=2");
    BatchResult r = db.ok("select * from #t order by ItmID\nselect * from #m order by MovID");
    ASSERT_EQ(r.resultSets.size(), 2);
    const auto& c = r.resultSets[0].columns;
    EXPECT_EQ(c[0].type, SqlType::Text);
    EXPECT_EQ(c[1].type, SqlType::Decimal);
    EXPECT_EQ(c[1].scale, 8);
    EXPECT_EQ(c[2].type, SqlType::Integer);
    EXPECT_EQ(r.resultSets[0].rows.size(), 4);
    const auto& m = r.resultSets[1].columns;
    EXPECT_EQ(m.last().type, SqlType::Decimal);
    EXPECT_EQ(m.last().scale, 2);
    EXPECT_EQ(rowsOf(r.resultSets[1]), (QStringList{"1|A|1.50000000|1|1.50", "2|A|2.25000000|1|2.25", "3|B|4.00000000|2|0.00", "4|C|0.10000000|1|0.10"}));
}

TEST(TsqlPlanningForms, AFailedSelectIntoLeavesNoTable)
{
    ScratchDb db;
    db.ok(kStock);
    BatchResult r = db.conn->execute("select ItmID, x=1/(Lvl-Lvl) into #bad from Item");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 8134);
    EXPECT_EQ(db.rows("select case when object_id('tempdb..#bad') is null then 1 else 0 end"), QStringList{"1"});
    db.ok("begin tran\nselect ItmID into #good from Item\ncommit");
    EXPECT_EQ(db.rows("select count(*) from #good"), QStringList{"4"});
}

TEST(TsqlPlanningForms, WhileRowcountLoopComputesLevels)
{
    ScratchDb db;
    db.ok(kStock);
    // low-level codes: a child sits one level below its parent, repeated until nothing moves
    db.ok("update c set Lvl=p.Lvl+1 from Item as c join Item as p on c.ParentID=p.ItmID where c.Lvl<p.Lvl+1\n"
          "while @@rowcount>0\n"
          "update c set Lvl=p.Lvl+1 from Item as c join Item as p on c.ParentID=p.ItmID where c.Lvl<p.Lvl+1");
    EXPECT_EQ(db.rows("select ItmID, Lvl from Item order by ItmID"), (QStringList{"A|0", "B|1", "C|2", "D|0"}));
}

TEST(TsqlPlanningForms, VariablesOfThePlanningBatches)
{
    ScratchDb db;
    db.ok(kStock);
    QStringList rows = db.rows(
        "declare @iid int, @time datetime\r"
        "select @time=getdate()\r"
        "insert Mov (ItmID, MovQty, Kind) values ('D', 1.12345678, 3)\r"
        "select @iid=@@identity\r"
        "select [IID]=@iid, [Same]=case when @time<=getdate() then 1 else 0 end");
    EXPECT_EQ(rows, QStringList{"5|1"});
    rows = db.rows("declare @a int, @b varchar(10)\nselect @a=1, @b='x'\nselect @a=count(*), @b=max(ItmID) from Item\nselect @a, @b");
    EXPECT_EQ(rows, QStringList{"4|D"});
    rows = db.rows("declare @saveerror int, @saverowcount int\n"
                   "update Item set Lvl=1 where ParentID is not null\n"
                   "select @saveerror=@@error, @saverowcount=@@rowcount\n"
                   "select @saveerror, @saverowcount");
    EXPECT_EQ(rows, QStringList{"0|2"});
}

TEST(TsqlPlanningForms, TransactionsAcrossBatches)
{
    ScratchDb db;
    db.ok(kStock);
    db.ok("begin tran");
    EXPECT_EQ(db.conn->transactionCount(), 1);
    db.ok("update Item set Qty=100 where ItmID='A'");
    // a failing batch in the middle: the caller rolls back, nothing stays written
    BatchResult r = db.conn->execute("insert Item (ItmID) values ('A')\nif @@error<>0 begin rollback return end\ncommit");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 2627);
    EXPECT_EQ(db.conn->transactionCount(), 0);
    EXPECT_EQ(db.rows("select Qty from Item where ItmID='A'"), QStringList{"0.00000000"});

    db.ok("begin tran\nupdate Item set Qty=7 where ItmID='A'");
    r = db.conn->execute("insert Item (ItmID) values (null)\nif @@error<>0 begin raiserror('', 16, 1) return end\ncommit");
    EXPECT_EQ(r.errors.size(), 2);
    EXPECT_EQ(db.conn->transactionCount(), 1);
    db.conn->rollbackAll();
    EXPECT_EQ(db.conn->transactionCount(), 0);
    EXPECT_EQ(db.rows("select Qty from Item where ItmID='A'"), QStringList{"0.00000000"});

    db.ok("begin tran\nbegin tran\nupdate Item set Qty=8 where ItmID='A'\ncommit");
    EXPECT_EQ(db.rows("select @@trancount"), QStringList{"1"});
    db.ok("commit");
    EXPECT_EQ(db.rows("select Qty from Item where ItmID='A'"), QStringList{"8.00000000"});
}

TEST(TsqlPlanningForms, NativeProcedures)
{
    registerProcedure("QZ_Test_Fill", [](ProcedureCall& call) {
        // sees the caller's #temp table, takes named or positional arguments, returns a result set
        QVariant kind = call.arg("kind", 0);
        QVariant date = call.arg("date", 1);
        QVariant note = call.arg("note", 2);
        call.run(QStringLiteral("insert #fill (K, D, N) values (%1, '%2', %3)")
                     .arg(kind.toInt())
                     .arg(date.typeId() == QMetaType::QDateTime ? date.toDateTime().toString("yyyyMMdd") : date.toString())
                     .arg(note.isNull() ? QStringLiteral("null") : "'" + note.toString() + "'"));
        ResultSet rs;
        rs.columns << ColumnInfo{"Kind", SqlType::Integer};
        rs.rows << QList<QVariant>{kind};
        call.resultSets << rs;
        call.returnValue = 7;
    });
    ScratchDb db;
    db.ok("create table #fill (K int, D datetime, N varchar(10))");
    BatchResult r = db.ok("declare @d datetime, @r int\nset @d='20240302'\nexec QZ_Test_Fill 1, '20240301', null\n"
                          "exec @r = QZ_Test_Fill @kind=2, @date=@d, @note='x'\nselect @r");
    ASSERT_EQ(r.resultSets.size(), 3);
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"1"});
    EXPECT_EQ(rowsOf(r.resultSets[2]), QStringList{"7"});
    EXPECT_EQ(db.rows("select K, convert(char(8), D, 112), N from #fill order by K"), (QStringList{"1|20240301|NULL", "2|20240302|x"}));
    // the rows a procedure returns can be inserted
    db.ok("create table #kinds (K int)\ninsert #kinds exec QZ_Test_Fill 5, '20240303', 'y'\ninsert #kinds (K) exec QZ_Test_Fill @kind=6, @date='20240304'");
    EXPECT_EQ(db.rows("select K from #kinds order by K"), (QStringList{"5", "6"}));
    r = db.conn->execute("exec QZ_Test_Missing 1");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 2812);
    unregisterProcedure("QZ_Test_Fill");
    registerProcedure("QZ_Test_Throws", [](ProcedureCall&) { throw std::runtime_error("disk gone"); });
    r = db.conn->execute("exec QZ_Test_Throws\nselect 'next'");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 50000);
    EXPECT_EQ(r.resultSets.size(), 1);
    unregisterProcedure("QZ_Test_Throws");
}

TEST(TsqlPlanningForms, ExactDecimals)
{
    ScratchDb db;
    db.ok("create table Q (Qty decimal(28,8), Q18 decimal(18,8))");
    QString inserts;
    for (int i = 0; i < 1000; ++i) inserts += QStringLiteral("insert Q (Qty, Q18) values (%1, %1)\n").arg(0.1 + i * 0.00000001, 0, 'f', 8);
    db.ok(inserts);
    struct D { const char* sql; const char* value; };
    const D cases[] = {
        {"select ceiling(3*0.1/0.1)", "3"},
        {"select cast(5 as decimal(28,8))", "5.00000000"},
        {"select cast(cast(5 as decimal(28,8)) as varchar(20))", "5.00000000"},
        {"select cast(1.0/3 as decimal(28,10))", "0.3333333333"},
        {"select cast(2.675 as decimal(22,2))", "2.68"},
        {"select sum(Qty) from Q", "100.00499500"},
        {"select case when sum(Qty) = 100.004995 then 1 else 0 end from Q", "1"},
        {"select case when sum(Q18) = 100.004995 then 1 else 0 end from Q", "1"},
        {"select count(*) from Q where Qty*3.0 = Qty + Qty + Qty and Qty*3.0 - 0.3 = (Qty - 0.1) * 3.0", "1000"},
        {"select 1234567890.12345678 * 3", "3703703670.37037034"},
    };
    for (const D& c : cases) EXPECT_EQ(db.rows(QString::fromUtf8(c.sql)), QStringList{QString::fromUtf8(c.value)}) << c.sql;
}

TEST(TsqlPlanningForms, SeveralConnectionsOnOneFile)
{
    ScratchDb db;
    db.ok(kStock);
    auto second = Connection::open(db.path());
    db.ok("create table #w (a int)\ninsert #w values (1)");
    BatchResult r = second->execute("create table #w (a int)\ninsert #w values (2)\ninsert #w values (3)\nselect count(*) from #w");
    ASSERT_TRUE(r.errors.isEmpty()) << errorsOf(r).toStdString();
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"2"});
    EXPECT_EQ(db.rows("select count(*) from #w"), QStringList{"1"});
    // each connection has its own transaction; a committed write is seen by the other
    db.ok("begin tran\nupdate Item set Lvl=5 where ItmID='A'");
    EXPECT_EQ(rowsOf(second->execute("select Lvl from Item where ItmID='A'").resultSets[0]), QStringList{"0"});
    EXPECT_EQ(second->transactionCount(), 0);
    db.ok("commit");
    EXPECT_EQ(rowsOf(second->execute("select Lvl from Item where ItmID='A'").resultSets[0]), QStringList{"5"});
}

TEST(TsqlPlanningForms, Views)
{
    ScratchDb db;
    db.ok(kStock);
    db.ok("create view ItemMoves as select i.ItmID, i.ItmName, Total=sum(m.MovQty), Tag='v' from Item as i join Mov as m on i.ItmID=m.ItmID group by i.ItmID, i.ItmName");
    BatchResult r = db.ok("select ItmID, Total, Tag from ItemMoves where ItmID='a' ");
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"A|3.75000000|v"});
    EXPECT_EQ(db.rows("select count(*) from sysobjects where name='itemmoves' and xtype='V'"), QStringList{"1"});
    r = db.conn->execute("create view ItemMoves as select 1 x");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 2714);
    db.ok("drop view ItemMoves");
    r = db.conn->execute("drop view ItemMoves");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 3701);
}

TEST(TsqlPlanningForms, StatementsOfOneShapeTakeTheirOwnValues)
{
    // statements that differ only in literals share a translation; each keeps its values and types
    ScratchDb db;
    db.ok(kStock);
    BatchResult r = db.ok(
        "declare @k int\nset @k = 1\n"
        "update Item set Qty=1.5, ItmName='x' where ItmID='A'\n"
        "update Item set Qty=22.25, ItmName='yy' where ItmID='B'\n"
        "select ItmID, Qty*0.5, ItmName + 'z' from Item where Lvl=0 and ItmID in ('A', 'B') order by ItmID\n"
        "select ItmID, Qty*1.5, ItmName + 'zz' from Item where Lvl=0 and ItmID in ('C', 'D') order by ItmID\n"
        "select ItmID, MovQty + @k from Mov where MovID = 1\n"
        "set @k = 10\n"
        "select ItmID, MovQty + @k from Mov where MovID = 2\n"
        "select top 1 ItmID from Item order by ItmID\n"
        "select top 2 ItmID from Item order by ItmID desc\n"
        "select ItmID from Item order by 1\n"
        "select ItmID, Lvl from Item order by 2, 1");
    ASSERT_EQ(r.resultSets.size(), 8);
    EXPECT_EQ(rowsOf(r.resultSets[0]), (QStringList{"A|0.750000000|xz", "B|11.125000000|yyz"}));
    EXPECT_EQ(rowsOf(r.resultSets[1]), (QStringList{"C|0E-9|czz", "D|7.500000000|dzz"}).replaceInStrings("0E-9", "0.000000000"));
    EXPECT_EQ(rowsOf(r.resultSets[2]), QStringList{"A|2.50000000"});
    EXPECT_EQ(rowsOf(r.resultSets[3]), QStringList{"A|12.25000000"});
    EXPECT_EQ(rowsOf(r.resultSets[4]), QStringList{"A"});
    EXPECT_EQ(rowsOf(r.resultSets[5]), (QStringList{"D", "C"}));
    EXPECT_EQ(rowsOf(r.resultSets[6]), (QStringList{"A", "B", "C", "D"}));
    EXPECT_EQ(rowsOf(r.resultSets[7]).first(), "A|0");
}
