// SQL Server semantics the results depend on, as a table of cases run on one
// scratch table, and errors with their SQL Server numbers.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kFixture =
    "create table S (IID int identity(1,1) primary key, Code varchar(20) not null, Name nvarchar(40) null,\n"
    " Qty decimal(28,8) null, D datetime null, B bit null, N int null)\n"
    "insert S (Code, Name, Qty, D, B, N) values ('A01', N'螺丝', 1.5, '20240105', 1, 7)\n"
    "insert S (Code, Name, Qty, D, B, N) values ('a02  ', 'Bolt', 2.25, '2024/01/06 10:11:12', 0, 2)\n"
    "insert S (Code, Name, Qty, D, B, N) values ('B03', null, null, null, null, null)\n";

struct Case {
    const char* what;
    const char* sql;
    QStringList rows;
};

} // namespace

TEST(TsqlSemantics, TableOfCases)
{
    const Case cases[] = {
        {"text equality ignores case", "select IID from S where Code='a01'", {"1"}},
        {"text equality ignores trailing blanks", "select IID from S where Code='A02'", {"2"}},
        {"literal comparison ignores case and trailing blanks", "select case when 'abc ' = 'ABC' then 1 else 0 end", {"1"}},
        {"in list ignores case", "select IID from S where Code in ('b03', 'x')", {"3"}},
        {"order by ignores case", "select Code from S order by Code desc", {"B03", "a02  ", "A01"}},
        {"like ignores case", "select IID from S where Code like 'a%' order by IID", {"1", "2"}},
        {"like with a character class", "select IID from S where Code like '[ab]0[13]%' order by IID", {"1", "3"}},
        {"yyyymmdd text compares as a date", "select IID from S where D = '20240105'", {"1"}},
        {"yyyy/mm/dd hh:nn:ss text compares as a date", "select IID from S where D >= '2024/01/06 10:11:12'", {"2"}},
        {"yyyymmdd hh:nn:ss text compares as a date", "select IID from S where D < '20240106 10:11:13' and D > '20240105 00:00:01'", {"2"}},
        {"date between texts", "select count(*) from S where D between '20240101' and '20240106'", {"1"}},
        {"dates print with milliseconds", "select D from S where IID=2", {"2024-01-06 10:11:12.000"}},
        {"convert to yyyymmdd", "select convert(char(8), D, 112) from S where IID=1", {"20240105"}},
        {"convert with style 120", "select convert(varchar(19), D, 120) from S where IID=2", {"2024-01-06 10:11:12"}},
        {"datediff in days", "select datediff(day, '20240101', D) from S where IID=2", {"5"}},
        {"datediff in months", "select datediff(mm, '20231231', '20240201')", {"2"}},
        {"dateadd", "select dateadd(day, 30, D) from S where IID=1", {"2024-02-04 00:00:00.000"}},
        {"+ joins texts", "select Code + '-' + rtrim(Code) from S where IID=2", {"a02  -a02"}},
        {"+ adds numbers", "select N + 1 from S where IID=1", {"8"}},
        {"+ adds decimals", "select Qty + 1 from S where IID=2", {"3.25000000"}},
        {"NULL propagates through + on text", "select 'x' + Name from S where IID=3", {"NULL"}},
        {"NULL propagates through + on numbers", "select N + 1 from S where IID=3", {"NULL"}},
        {"isnull replaces NULL", "select isnull(Name, '') + '|' from S where IID=3", {"|"}},
        {"integer division truncates", "select 7/2, -7/2, N/4 from S where IID=1", {"3|-3|1"}},
        {"decimal division keeps decimals", "select 7/2.0", {"3.500000"}},
        {"integer modulo", "select 7 % 3", {"1"}},
        {"bitwise operators", "select 6 & 3, 6 | 3, 6 ^ 3, 1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1^1", {"2|7|5|0"}},
        {"bit reads back as 0/1", "select B from S order by IID", {"1", "0", "NULL"}},
        {"cast of decimal to varchar prints its scale", "select cast(Qty as varchar(20)) from S where IID=1", {"1.50000000"}},
        {"cast to varchar without a length keeps 30 characters", "select cast('123456789012345678901234567890xyz' as varchar), cast(N'螺丝钉' as nvarchar)", {"123456789012345678901234567890|螺丝钉"}},
        {"round", "select round(2.345, 2), round(2.345, 2, 1)", {"2.350|2.340"}},
        {"ceiling of decimal arithmetic", "select ceiling(3*0.1/0.1)", {"3"}},
        {"left, substring, len", "select left(Name, 1), substring(Code, 2, 2), len(Code) from S where IID=2", {"B|02|3"}},
        {"char(13) is a carriage return", "select len('a' + char(13) + 'b')", {"3"}},
        {"case with operand ignores case", "select case Code when 'b03' then 'yes' else 'no' end from S where IID=3", {"yes"}},
        {"count and sum skip NULL", "select count(*), count(Qty), sum(Qty) from S", {"3|2|3.75000000"}},
        {"avg of integers is an integer", "select avg(N) from S", {"4"}},
        {"exists", "select case when exists (select * from S where Code='A01') then 1 else 0 end", {"1"}},
        {"derived table with top", "select x.Code from (select top 1 Code from S order by IID desc) as x", {"B03"}},
        {"union keeps each branch's top", "select top 1 IID from S union all select top 1 IID from S where IID > 1", {"1", "2"}},
        {"full join", "select count(*) from S a full join S b on a.IID = b.N", {"5"}},
        {"select without from with alias", "select [Now]=1, x='y'", {"1|y"}},
        {"Chinese text in a bracketed alias", "select [名称]=Name from S where IID=1", {"螺丝"}},
        {"group by with having", "select B, count(*) from S group by B having count(*) > 0 order by B", {"NULL|1", "0|1", "1|1"}},
    };
    ScratchDb db;
    db.ok(kFixture);
    for (const Case& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
        ASSERT_EQ(r.resultSets.size(), 1) << c.what;
        EXPECT_EQ(rowsOf(r.resultSets[0]), c.rows) << c.what << ": " << c.sql;
    }
}

TEST(TsqlSemantics, LongTextColumns)
{
    ScratchDb db;
    const QString text(9000, u'x');
    db.ok("create table L (M nvarchar(max), T ntext, V varchar(8000))\ninsert L values ('" + text + "', '" + text + "', 'v')");
    db.ok("select M2=M into #l from L");
    EXPECT_EQ(db.rows("select len(M), len(T) from L"), QStringList{"9000|9000"});
    EXPECT_EQ(db.rows("insert #l values ('" + text + "')\nselect count(*), max(len(M2)) from #l"), QStringList{"2|9000"});
}

TEST(TsqlSemantics, BitColumnsHoldZeroOrOne)
{
    ScratchDb db;
    db.ok("create table F (B bit)\ninsert F (B) values (5)\ninsert F values (-1)\ninsert F values (0)\ninsert F values ('true')");
    db.ok("update F set B = 7 where B = 0");
    EXPECT_EQ(db.rows("select B from F"), (QStringList{"1", "1", "1", "1"}));
}

TEST(TsqlSemantics, IdentityValuesAreNeverReused)
{
    ScratchDb db;
    db.ok("create table I (IID int identity(1,1) primary key, V varchar(10))\n"
          "insert I (V) values ('a')\ninsert I (V) values ('b')\ndelete I where V='b'\ninsert I (V) values ('c')");
    EXPECT_EQ(db.rows("select IID, V from I order by IID"), (QStringList{"1|a", "3|c"}));
    EXPECT_EQ(db.rows("insert I (V) values ('d')\nselect ViwIID=@@identity"), QStringList{"4"});
}

TEST(TsqlSemantics, ResultSetsCarryColumnTypes)
{
    ScratchDb db;
    db.ok(kFixture);
    BatchResult r = db.ok("select IID, Code, Qty, D, B, Qty*2 as Q2, cast(N as float) F, getdate() G, count(*) over_all from S group by IID, Code, Qty, D, B, N");
    ASSERT_EQ(r.resultSets.size(), 1);
    const auto& c = r.resultSets[0].columns;
    ASSERT_EQ(c.size(), 9);
    EXPECT_EQ(c[0].type, SqlType::Integer);
    EXPECT_EQ(c[1].type, SqlType::Text);
    EXPECT_EQ(c[1].size, 20);
    EXPECT_EQ(c[2].type, SqlType::Decimal);
    EXPECT_EQ(c[2].precision, 28);
    EXPECT_EQ(c[2].scale, 8);
    EXPECT_EQ(c[3].type, SqlType::DateTime);
    EXPECT_EQ(c[4].type, SqlType::Bit);
    EXPECT_EQ(c[5].type, SqlType::Decimal);
    EXPECT_EQ(c[6].type, SqlType::Float);
    EXPECT_EQ(c[7].type, SqlType::DateTime);
    EXPECT_EQ(c[8].type, SqlType::Integer);
    const auto& row = r.resultSets[0].rows[0];
    EXPECT_EQ(row[0].typeId(), QMetaType::LongLong);
    EXPECT_EQ(row[2], QVariant(QStringLiteral("1.50000000")));
    EXPECT_EQ(row[3].toDateTime(), QDateTime(QDate(2024, 1, 5), QTime(0, 0)));
    EXPECT_EQ(row[4], QVariant(qlonglong(1)));
    EXPECT_EQ(row[6].typeId(), QMetaType::Double);
}

TEST(TsqlSemantics, ErrorsCarrySqlServerNumbersAndTheBatchGoesOn)
{
    struct ErrCase { const char* sql; int number; };
    const ErrCase cases[] = {
        {"select * from Missing", 208},
        {"select Nope from S", 207},
        {"select x.Code from S", 4104},
        {"insert S (Code) values (null)", 515},
        {"create table S (a int)", 2714},
        {"drop table Missing", 3701},
        {"insert S (IID, Code) values (9, 'x')", 544},
        {"select 1/0", 8134},
        {"select cast('abc' as int)", 245},
        {"select cast('2024-13-45' as datetime)", 241},
        {"select @undeclared", 137},
        {"exec NoSuchProcedure 1", 2812},
        {"select nosuchfunction(1)", 195},
        {"commit", 3902},
        {"rollback", 3903},
        {"raiserror('stop here', 16, 1)", 50000},
        {"insert S (Code) values ('a text longer than twenty characters')", 8152},
        {"update S set Qty = 12345678901234567890123.5 where IID = 1", 8115},
        {"select IID, Code from S union select IID from S", 205},
    };
    ScratchDb db;
    db.ok(kFixture);
    db.ok("create unique index IX_Code on S (Code)");
    for (const ErrCase& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_FALSE(r.errors.isEmpty()) << c.sql;
        EXPECT_EQ(r.errors[0].number, c.number) << c.sql << " -> " << r.errors[0].message.toStdString();
        EXPECT_FALSE(r.errors[0].message.isEmpty());
    }
    BatchResult dup = db.conn->execute("insert S (Code) values ('A01')");
    ASSERT_EQ(dup.errors.size(), 1);
    EXPECT_EQ(dup.errors[0].number, 2601);
    // a failing statement sets @@error and the batch goes on
    BatchResult r = db.conn->execute("select * from Missing\nselect e=@@error\nselect e=@@error");
    ASSERT_EQ(r.errors.size(), 1);
    ASSERT_EQ(r.resultSets.size(), 2);
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"208"});
    EXPECT_EQ(rowsOf(r.resultSets[1]), QStringList{"0"});
    // ... unless the text returns
    r = db.conn->execute("insert S (Code) values (null)\nif @@error<>0 return\nselect 'not reached'");
    EXPECT_EQ(r.errors.size(), 1);
    EXPECT_TRUE(r.resultSets.isEmpty());
}

TEST(TsqlSemantics, RowCountAndRowsAffected)
{
    ScratchDb db;
    db.ok(kFixture);
    BatchResult r = db.ok("update S set N = 0 where Code like 'a%'\nselect @@rowcount");
    EXPECT_EQ(rowsOf(r.resultSets[0]), QStringList{"2"});
    EXPECT_EQ(r.rowsAffected, 2);
    r = db.ok("select * from S");
    EXPECT_EQ(r.rowsAffected, -1);
    r = db.ok("delete S where IID = 3\nselect 1");
    EXPECT_EQ(r.rowsAffected, 1);
}

TEST(TsqlSemantics, VariablesAndControlFlow)
{
    ScratchDb db;
    db.ok(kFixture);
    QStringList rows = db.rows(
        "declare @n int, @s varchar(10), @d datetime\n"
        "select @n = count(*) from S\n"
        "set @s = 'x' + 'y'\n"
        "set @d = '20240301'\n"
        "if @n > 2 begin set @n = @n * 10 end else set @n = -1\n"
        "select @n, @s, @d, dateadd(day, 1, @d)");
    EXPECT_EQ(rows, QStringList{"30|xy|2024-03-01 00:00:00.000|2024-03-02 00:00:00.000"});
    // select @v= keeps the value of the last row, and leaves it when there is none
    rows = db.rows("declare @c varchar(20)\nset @c = 'none'\nselect @c = Code from S where IID > 100\nselect @c");
    EXPECT_EQ(rows, QStringList{"none"});
    rows = db.rows("declare @i int\nset @i = 0\nwhile @i < 5 begin set @i = @i + 1 if @i = 3 break end\nselect @i");
    EXPECT_EQ(rows, QStringList{"3"});
}

TEST(TsqlSemantics, TempTablesBelongToTheirConnection)
{
    ScratchDb db;
    db.ok("create table #t (a int)\ninsert #t values (1)");
    EXPECT_EQ(db.rows("select case when object_id('tempdb..#t') is not null then 1 else 0 end"), QStringList{"1"});
    auto other = Connection::open(db.path());
    BatchResult r = other->execute("select * from #t");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 208);
    EXPECT_EQ(rowsOf(other->execute("select case when object_id('tempdb..#t') is null then 1 else 0 end").resultSets[0]), QStringList{"1"});
    db.ok("truncate table #t\ncreate index IX_a on #t (a)\ndrop table #t");
    EXPECT_EQ(db.rows("select count(*) from tempdb.dbo.sysobjects where id=object_id('tempdb..#t')"), QStringList{"0"});
}

TEST(TsqlSemantics, CompileErrorsEndTheBatch)
{
    ScratchDb db;
    db.ok(kFixture);
    // a statement naming an unknown column stops the batch; a runtime error does not
    BatchResult r = db.conn->execute("declare @i int\nset @i = 0\nwhile @i < 3 begin set @i = NoSuchColumn + 1 end\nselect 'not reached'");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 207);
    EXPECT_TRUE(r.resultSets.isEmpty());
    r = db.conn->execute("insert S (Code) values (null)\nselect 'reached'");
    EXPECT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.resultSets.size(), 1);
}
