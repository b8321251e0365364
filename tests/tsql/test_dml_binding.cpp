// UPDATE and DELETE with a FROM clause: which FROM source the target binds to,
// and variables assigned in an UPDATE's SET list.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

// The tables every case starts from; each case is a statement, then a select
// of what it left.
const char* kFixture =
    "create table T (id int not null, a int null, q decimal(28,8) null)\n"
    "insert T values (1, 10, 1.5)\n"
    "insert T values (2, 20, 2.5)\n"
    "insert T values (3, 30, null)\n"
    "create table U (id int not null, b int null)\n"
    "insert U values (1, 5)\n"
    "insert U values (3, 7)\n";

} // namespace

TEST(TsqlDmlBinding, TheTargetBindsToItsFromSource)
{
    const RowsCase cases[] = {
        {"target under an alias: each row once, from its own values",
         "update T set a = t1.a + 1 from T t1 select id, a from T order by id", {"1|11", "2|21", "3|31"}},
        {"target without an alias in FROM", "update T set a = T.a + 1 from T select a from T order by id", {"11", "21", "31"}},
        {"target under an alias with a filter on the alias",
         "update T set a = x.a + 100 from T x where x.id = 1 select a from T order by id", {"110", "20", "30"}},
        {"target under an alias joined to another table",
         "update T set a = u.b from T x join U u on u.id = x.id select a from T order by id", {"5", "20", "7"}},
        {"the alias itself as the target", "update x set a = 0 from T x where x.id = 2 select a from T order by id", {"10", "0", "30"}},
        {"target named only after UPDATE joins as itself",
         "update T set a = U.b from U where U.id = T.id select a from T order by id", {"5", "20", "7"}},
        {"delete through an alias of the target",
         "delete T from T x join U on U.id = x.id select id from T order by id", {"2"}},
        {"delete through the alias named as target", "delete x from T x where x.a > 15 select id from T order by id", {"1"}},
    };
    runRowsCasesEach(QString::fromUtf8(kFixture), cases);
}

TEST(TsqlDmlBinding, ATargetTwiceUnderAliasesIsAmbiguous)
{
    ScratchDb db;
    db.ok(kFixture);
    BatchResult r = db.conn->execute("update T set a = 0 from T x join T y on x.id = y.id");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 8154);
    EXPECT_EQ(db.rows("select sum(a) from T"), QStringList{"60"});
}

TEST(TsqlDmlBinding, VariablesAssignedInUpdate)
{
    const RowsCase cases[] = {
        {"@v = column takes the value before the update",
         "declare @v int update T set @v = a, a = a + 1 where id = 2 select @v, a from T where id = 2", {"20|21"}},
        {"@v = column = value takes the new value",
         "declare @v int update T set @v = a = a + 5 where id = 2 select @v, a from T where id = 2", {"25|25"}},
        {"a decimal variable keeps its type",
         "declare @q decimal(28,8) update T set @q = q * 2, a = 0 where id = 1 select @q, a from T where id = 1", {"3.00000000|0"}},
        {"only variables: the table is unchanged, @@rowcount counts the rows",
         "declare @v int update T set @v = a where id >= 2 select @v, @@rowcount, sum(a) from T", {"30|2|60"}},
        {"no row matches: the variable keeps its value",
         "declare @v int = -1 update T set @v = a, a = 0 where id = 99 select @v, @@rowcount", {"-1|0"}},
        {"with FROM and an alias", "declare @v int update T set @v = u.b, a = u.b from T x join U u on u.id = x.id where x.id = 3 "
                                   "select @v, a from T where id = 3", {"7|7"}},
        {"compound assignment", "declare @v int = 100 update T set @v += a where id = 1 select @v", {"110"}},
    };
    runRowsCasesEach(QString::fromUtf8(kFixture), cases);
}

// An insert whose select list repeats one computed value: every column still gets
// the value converted to its own type, row for row, and the statement fails or
// succeeds as a whole as before.
TEST(TsqlDmlBinding, InsertOfARepeatedValue)
{
    const char* fixture =
        "create table R (k int not null, x decimal(10,3) null, s varchar(10) null)\n"
        "insert R values (1, 2.345, 'ab')\n"
        "insert R values (2, 10, 'cd')\n"
        "insert R values (3, null, null)\n"
        "create table D (k int null, q1 decimal(28,8) null, q2 decimal(10,2) null, q3 int null,"
        " t1 varchar(20) null, t2 varchar(3) null, n int null)\n";
    const RowsCase cases[] = {
        {"one value into columns of three types",
         "insert D (k, q1, q2, q3) select k, x*2+1, x*2+1, x*2+1 from R "
         "select k, q1, q2, q3 from D order by k",
         {"1|5.69000000|5.69|5", "2|21.00000000|21.00|21", "3|NULL|NULL|NULL"}},
        {"repeated values beside a plain column repeated",
         "insert D (k, n, q1, t1, q3) select k, k, x/4, s+'-'+s, k from R where k < 3 "
         "select k, n, q1, t1, q3 from D order by k",
         {"1|1|0.58625000|ab-ab|1", "2|2|2.50000000|cd-cd|2"}},
        {"text repeated into a long and a short column that holds it",
         "insert D (t1, t2) select upper(s), upper(s) from R where k = 2 select t1, t2 from D",
         {"CD|CD"}},
        {"a value repeated in a joined and filtered select",
         "insert D (k, q1, q2) select a.k, isnull(b.x, 0) + a.k, isnull(b.x, 0) + a.k from R a "
         "left join R b on b.k = a.k + 1 where a.k > 1 select k, q1, q2 from D order by k",
         {"2|2.00000000|2.00", "3|3.00000000|3.00"}},
        {"top keeps its count",
         "insert D (k, q3, n) select top 2 k, k*10, k*10 from R select count(*), sum(q3), sum(n) from D",
         {"2|"
          "30|30"}},
        {"the same case expression twice, a different one beside them",
         "insert D (k, t1, t2, n) select k, case when x > 5 then 'big' else 'small' end, "
         "case when x > 5 then 'big' else 'sml' end, case when x > 5 then 1 else 0 end from R where x is not null "
         "select k, t1, t2, n from D order by k",
         {"1|small|sml|0", "2|big|big|1"}},
        {"a value repeated in another expression is not taken for it",
         "insert D (k, q1, q2) select k, x+1, (x+1)*2 from R where k = 1 select q1, q2 from D",
         {"3.34500000|6.69"}},
        {"statements of one shape, one repeating a value and one not, each keep their own values",
         "insert D (k, q3, n) select k, k*2, k*2 from R where k = 1 "
         "insert D (k, q3, n) select k, k*2, k*3 from R where k = 1 "
         "insert D (k, q3, n) select k, k*3, k*2 from R where k = 1 "
         "insert D (k, q3, n) select k, k*4, k*4 from R where k = 1 select q3, n from D",
         {"2|2", "2|3", "3|2", "4|4"}},
        {"newid() gives each column its own value",
         "create table G (a varchar(36) null, b varchar(36) null) insert G select newid(), newid() from R "
         "select count(*) from G where a <> b",
         {"3"}},
        {"numbered identity rows take repeated values too",
         "create table N (id int identity(10, 5) not null, a int null, b int null) "
         "insert N (a, b) select k*k, k*k from R select id, a, b from N order by id",
         {"10|1|1", "15|4|4", "20|9|9"}},
    };
    runRowsCasesEach(QString::fromUtf8(fixture), cases);

    // errors of the repeated value end the statement without a row
    struct ErrorCase {
        const char* what;
        const char* sql;
        int number;
    };
    const ErrorCase errors[] = {
        {"division by zero", "insert D (q1, q2) select 1/(x-10), 1/(x-10) from R where x is not null", 8134},
        {"text too long for the short column", "insert D (t1, t2) select s+s, s+s from R", 8152},
        {"value too large for the narrow decimal", "insert D (q1, q2) select x*1e9, x*1e9 from R", 8115},
    };
    for (const ErrorCase& c : errors) {
        ScratchDb db;
        db.ok(QString::fromUtf8(fixture));
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.errors.size(), 1) << c.what;
        EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(db.rows("select count(*) from D"), QStringList{"0"}) << c.what;
    }
}
