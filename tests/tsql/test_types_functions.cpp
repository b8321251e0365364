// Types and functions as SQL Server gives them: blank-padded char(n), str(),
// identity seeds and increments, explicit identity values, and a few forms of
// the grammar (having without group by, order by after union, a trailing comma).
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

TEST(TsqlTypesFunctions, CharIsBlankPadded)
{
    const RowsCase cases[] = {
        {"char and nchar columns hold their length, varchar does not",
         "create table C (x char(5), y varchar(5), z nchar(3)) insert C values ('ab', 'ab', 'q') "
         "select x + '>', y + '>', z + '>', len(x), datalength(x) from C",
         {"ab   >|ab>|q  >|2|5"}},
        {"an update pads too", "update C set x = 'a' select x + '>' from C", {"a    >"}},
        {"a padded value still equals the text without blanks", "select count(*) from C where x = 'a'", {"1"}},
        {"a char variable", "declare @c char(4) = 'x' select @c + '>'", {"x   >"}},
        {"cast to char", "select cast('ab' as char(4)) + '>'", {"ab  >"}},
        {"select into keeps char", "select x into #c from C select x + '>' from #c", {"a    >"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}

TEST(TsqlTypesFunctions, Str)
{
    const RowsCase cases[] = {
        {"default length 10 without decimals, rounded", "select str(12.5) + '>', str(0.5) + '>', str(-2.4) + '>'",
         {"        13>|         1>|        -2>"}},
        {"length and decimals", "select str(123.456, 8, 2) + '>', str(-2.5, 6, 1) + '>', str(5, 4, 2) + '>'", {"  123.46>|  -2.5>|5.00>"}},
        {"decimals give way to fit", "select str(123.456, 5, 2) + '>', str(123.456, 3, 2) + '>'", {"123.5>|123>"}},
        {"a whole part that does not fit is stars", "select str(1234567, 5) + '>', str(-123, 3) + '>'", {"*****>|***>"}},
        {"a decimal column", "create table N (q decimal(28,8)) insert N values (2.675) select str(q, 6, 2) from N", {"  2.68"}},
        {"NULL gives NULL", "select str(null)", {"NULL"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}

TEST(TsqlTypesFunctions, IdentitySeedIncrementAndExplicitValues)
{
    const RowsCase cases[] = {
        {"seed and increment", "create table A (id int identity(10, 3) primary key, v int) insert A (v) values (1), (2) "
                               "insert A (v) select v + 10 from A insert A default values select id, v from A",
         {"10|1", "13|2", "16|11", "19|12", "22|NULL"}},
        {"@@identity and scope_identity() give the last value", "insert A (v) values (5) select @@identity, scope_identity()", {"25|25"}},
        {"a negative increment", "create table B (id int identity(100, -5), v int) insert B (v) values (1) insert B (v) values (2) "
                                 "insert B (v) select v from B select id, v from B order by id desc",
         {"100|1", "95|2", "90|2", "85|1"}},
        {"explicit values under identity_insert, @@identity after them",
         "create table E (id int identity(1, 1), v int) insert E (v) values (1) set identity_insert E on "
         "insert E (id, v) values (50, 2) select @@identity, scope_identity()",
         {"50|50"}},
        {"after identity_insert off the numbering goes on above the explicit value",
         "set identity_insert E off insert E (v) values (3) select id, v from E order by id", {"1|1", "50|2", "51|3"}},
        {"identity values are not reused after a delete", "delete from A where id = 25 insert A (v) values (6) select max(id) from A", {"28"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}

TEST(TsqlTypesFunctions, IdentityInsertErrors)
{
    struct ErrorCase {
        const char* what;
        const char* sql;
        int number;
    };
    const ErrorCase cases[] = {
        {"explicit value while off", "insert T (id, v) values (5, 1)", 544},
        {"no identity value while on", "set identity_insert T on insert T (v) values (1)", 545},
        {"no column list while on", "set identity_insert T on insert T values (5, 1)", 8101},
        {"a second table while one is on", "set identity_insert T on set identity_insert T2 on", 8107},
        {"a table without identity", "set identity_insert P on", 8106},
    };
    for (const ErrorCase& c : cases) {
        ScratchDb db;
        db.ok("create table T (id int identity(1,1), v int) create table T2 (id int identity(1,1)) create table P (v int)");
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_FALSE(r.errors.isEmpty()) << c.what;
        EXPECT_EQ(r.errors.last().number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(db.rows("select count(*) from T"), QStringList{"0"}) << c.what;
    }
}

TEST(TsqlTypesFunctions, GrammarForms)
{
    const RowsCase cases[] = {
        {"a trailing comma in create table", "create table G (a int, b varchar(10),) insert G values (1, 'x') insert G values (2, 'y') "
                                             "select count(*) from G", {"2"}},
        {"having without group by", "select sum(a) from G having sum(a) > 2", {"3"}},
        {"having without group by filters the one group out", "select count(*) from G having count(*) > 5", {}},
        {"order by a qualified column after union", "select g.a, g.b from G g union select 3, 'z' order by g.a desc", {"3|z", "2|y", "1|x"}},
        {"order by a table-qualified column after union all", "select G.b from G union all select 'a' order by G.b", {"a", "x", "y"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}
