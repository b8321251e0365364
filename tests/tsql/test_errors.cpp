// Errors where SQL Server raises them: a batch that does not compile runs
// nothing, overflows and truncation carry the server's numbers and set @@error.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kFixture =
    "create table E (id int not null, name varchar(5) null)\n"
    "insert E values (1, 'a')\n";

} // namespace

TEST(TsqlErrors, ABatchThatDoesNotCompileRunsNothing)
{
    struct Case {
        const char* what;
        const char* sql;   // an insert runs first if the batch is run at all
        int number;
    };
    const Case cases[] = {
        {"an unknown column of a table that exists", "insert E values (2, 'b') select nosuch from E", 207},
        {"an unknown column in a later branch", "insert E values (2, 'b') if 1 = 0 begin update E set nosuch = 1 end", 207},
        {"an undeclared variable", "insert E values (2, 'b') select @nosuch", 137},
        {"a variable used before its declaration", "insert E values (2, 'b') set @v = 1 declare @v int", 137},
        {"an unknown function", "insert E values (2, 'b') select nosuchfunction(1)", 195},
        {"a precision above 38", "insert E values (2, 'b') declare @d decimal(40, 2)", 2750},
        {"an unknown qualifier", "insert E values (2, 'b') delete from E where X.id = 1", 4104},
    };
    for (const Case& c : cases) {
        ScratchDb db;
        db.ok(kFixture);
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.errors.size(), 1) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(db.rows("select count(*) from E"), QStringList{"1"}) << c.what << ": nothing of the batch may run";
        EXPECT_EQ(db.rows("select @@error"), QStringList{"0"});
    }
}

TEST(TsqlErrors, StatementsOnTablesTheBatchMakesCompileWhenTheyRun)
{
    ScratchDb db;
    db.ok(kFixture);
    // the table does not exist before the batch: the statements run, the bad one fails when it comes
    BatchResult r = db.conn->execute("insert E values (2, 'b') create table #n (a int) insert #n values (1) select nosuch from #n select 'after'");
    ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 207);
    EXPECT_EQ(db.rows("select count(*) from E"), QStringList{"2"});
    EXPECT_EQ(db.rows("select count(*) from #n"), QStringList{"1"});
    // a missing table is a run-time error: the batch goes on
    r = db.conn->execute("select * from NoSuchTable select 'after'");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 208);
    ASSERT_EQ(r.resultSets.size(), 1);
}

TEST(TsqlErrors, OverflowAndTruncationSetError)
{
    struct Case {
        const char* what;
        const char* sql;
        int number;
        const char* after;   // select run after the failing statement
    };
    const Case cases[] = {
        {"tinyint overflow in a declaration", "declare @a tinyint = 1000 select @@error, @a", 220, "220|NULL"},
        {"smallint overflow", "declare @a smallint set @a = -40000 select @@error, @a", 220, "220|NULL"},
        {"int overflow", "declare @a int = 3000000000 select @@error, @a", 8115, "8115|NULL"},
        {"tinyint takes 255", "declare @a tinyint = 255 select @@error, @a", 0, "0|255"},
        {"decimal overflow", "declare @a decimal(3,1) = 100 select @@error, @a", 8115, "8115|NULL"},
        {"truncation of a column value", "insert E values (3, 'abcdef') select @@error, count(*) from E", 8152, "8152|1"},
        {"trailing blanks are not truncation", "insert E values (3, 'abc     ') select @@error, count(*) from E", 0, "0|2"},
    };
    for (const Case& c : cases) {
        ScratchDb db;
        db.ok(kFixture);
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        if (c.number) {
            ASSERT_EQ(r.errors.size(), 1) << c.what;
            EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        } else {
            EXPECT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
        }
        ASSERT_EQ(r.resultSets.size(), 1) << c.what;
        EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{c.after}) << c.what;
    }
}

TEST(TsqlErrors, TruncationMessage)
{
    ScratchDb db;
    db.ok(kFixture);
    BatchResult r = db.conn->execute("update E set name = 'too long a name'");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 8152);
    EXPECT_EQ(r.errors[0].message, QStringLiteral("String or binary data would be truncated."));
    EXPECT_EQ(db.rows("select name from E"), QStringList{"a"});
}

TEST(TsqlErrors, ADuplicateTableInsideATransaction)
{
    ScratchDb db;
    BatchResult r = db.conn->execute("begin tran create table Z (a int) insert Z values (1) create table Z (b int) "
                                     "select @@error, @@trancount, count(*) from Z");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 2714);
    ASSERT_EQ(r.resultSets.size(), 1);
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"2714|1|1"});
    // the transaction stays open and can be rolled back whole
    db.ok("rollback");
    r = db.conn->execute("select * from Z");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 208);
}

TEST(TsqlErrors, SqliteMachineryIsAnUnknownObject)
{
    ScratchDb db;
    db.ok("create table Idn (id int identity(1,1) primary key, v int) insert Idn (v) values (1) insert Idn (v) values (2)"
          " create index ix on Idn (v)");
    const char* cases[] = {
        "select * from sqlite_master",
        "select * from main.sqlite_master",
        "select name from sqlite_schema",
        "select * from sqlite_temp_master",
        "select * from sqlite_sequence",
        "delete from sqlite_sequence",
        "update sqlite_sequence set seq = 0",
        "insert sqlite_sequence (name, seq) values ('Idn', 0)",
        "truncate table sqlite_sequence",
        "drop table sqlite_sequence",
        "select * from sqlite_stat1",
        "select * from dbstat",
        "select * from pragma_database_list",
        "select * from pragma_compile_options",
        "select * from [pragma_table_info]",
        "select t.name from Idn join sqlite_master t on 1 = 1",
        "select * from Idn where exists (select 1 from sqlite_master)",
    };
    for (const char* sql : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(sql));
        ASSERT_EQ(r.errors.size(), 1) << sql << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, 208) << sql << ": " << errorsOf(r).toStdString();
        EXPECT_TRUE(r.resultSets.isEmpty()) << sql;
    }
    // identity values are still never reused; the engine's own use of its tables goes on
    db.ok("delete from Idn where id = 2 insert Idn (v) values (3)");
    EXPECT_EQ(db.rows("select id from Idn order by id"), (QStringList{"1", "3"}));
    EXPECT_EQ(db.rows("select object_id('sqlite_sequence'), object_id('sqlite_master'), count(*) from sysobjects where name like 'sqlite%'"),
              QStringList{"NULL|NULL|0"});
    db.ok("truncate table Idn drop index Idn.ix create table Idn2 (id int identity(5,2), v int) insert Idn2 (v) values (1)");
    EXPECT_EQ(db.rows("select id from Idn2"), QStringList{"5"});
}
