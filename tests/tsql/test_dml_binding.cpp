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
