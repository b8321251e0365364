// Arithmetic and range checks as SQL Server answers them: integers beyond their
// type, zero divisors, floats beyond their range, invalid operations, dates too far
// apart, codes without a character, the bytes of a value, names too long. The same
// checks hold in expressions, stored columns, conversions and functions.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kFixture =
    "create table R (i int null, s smallint null, t tinyint null, b bigint null, f float null, "
    "n nvarchar(10) null, v varchar(10) null, d decimal(9,2) null)\n"
    "insert R (i, s, t, b, f, n, v, d) values (2147483647, 32767, 255, 9223372036854775807, 1e308, N'abc', 'abc', 1.5)\n";

// A batch and SQL Server's answer: an error number, or else the rows of its last result set.
struct RangeCase {
    const char* what;
    const char* sql;
    int number;          // 0: no error
    QStringList rows;    // when no error
};

void runRangeCases(const QList<RangeCase>& cases)
{
    ScratchDb db;
    db.ok(QString::fromUtf8(kFixture));
    for (const RangeCase& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        if (c.number) {
            ASSERT_EQ(r.errors.size(), 1) << c.what << ": " << c.sql << "\n" << errorsOf(r).toStdString();
            EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
            EXPECT_TRUE(r.resultSets.isEmpty()) << c.what << ": no value comes back";
        } else {
            ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
            ASSERT_FALSE(r.resultSets.isEmpty()) << c.what;
            EXPECT_EQ(rowsOf(r.resultSets.last()), c.rows) << c.what << ": " << c.sql;
        }
    }
    // nothing that failed was stored
    EXPECT_EQ(db.rows("select count(*), sum(cast(i as bigint)), max(s), max(t) from R"),
              QStringList{"1|2147483647|32767|255"});
}

} // namespace

TEST(TsqlRanges, ExpressionsCheckTheirTypesRange)
{
    runRangeCases({
        {"int + int beyond int", "select 2147483647 + 1", 8115, {}},
        {"int - int below int", "select -2147483647 - 2", 8115, {}},
        {"int * int", "select 65536 * 65536", 8115, {}},
        {"int column + 1", "select i + 1 from R", 8115, {}},
        {"smallint + smallint is an int", "select s + s from R", 0, {"65534"}},
        {"tinyint + tinyint is an int", "select t + t from R", 0, {"510"}},
        {"a literal beyond int is wider", "select 2147483648 + 1", 0, {"2147483649"}},
        {"bigint beyond bigint", "select b + 1 from R", 8115, {}},
        {"bigint * 2", "select cast(9223372036854775807 as bigint) * 2", 8115, {}},
        {"negated int minimum", "declare @m int = -2147483648 select -@m", 8115, {}},
        {"int minimum / -1", "declare @m int = -2147483648 select @m / -1", 8115, {}},
        {"abs of int minimum", "declare @m int = -2147483648 select abs(@m)", 8115, {}},
        {"a sum of ints is an int", "select sum(x) from (select 2147483647 as x union all select 1) u", 8115, {}},
        {"a sum of bigints beyond bigint", "select sum(b) from (select b from R union all select b from R) u", 8115, {}},
        {"integers divide whole", "select 7 / 2, -7 / 2", 0, {"3|-3"}},
        {"remainder", "select 7 % 3, -7 % 3, 5.5 % 2", 0, {"1|-1|1.5"}},
        {"remainder by zero", "select 5 % 0", 8134, {}},
        {"remainder of a column by zero", "select i % 0 from R", 8134, {}},
        {"division by zero", "select 5 / 0", 8134, {}},
        {"float beyond its range", "select 1e308 * 10", 8115, {}},
        {"float column beyond its range", "select f * 10 from R", 8115, {}},
        {"power of a decimal beyond numeric", "select power(10.0, 400)", 8115, {}},
        {"power of an int beyond int", "select power(2, 31)", 8115, {}},
        {"power within int", "select power(2, 30)", 0, {"1073741824"}},
        {"square root of a negative", "select sqrt(-1)", 3623, {}},
        {"power of a negative to a fraction", "select power(-8.0e0, 0.5)", 3623, {}},
        {"datediff beyond int", "select datediff(millisecond, '17530101', '99991231')", 535, {}},
        {"datediff within int", "select datediff(day, '17530101', '99991231')", 0, {"3012153"}},
        {"char outside its codes", "select char(300), char(-1), char(65)", 0, {"NULL|NULL|A"}},
        {"nchar reaches further", "select unicode(nchar(300))", 0, {"300"}},
        {"datalength of texts", "select datalength(N'abc'), datalength('abc'), datalength(n), datalength(v) from R", 0, {"6|3|6|3"}},
        {"datalength of texts made of texts", "select datalength(n + 'x'), datalength(left(v, 2)), datalength(upper(n)), datalength('中文') from R", 0,
         {"8|2|6|4"}},
        {"datalength of numbers and dates",
         "select datalength(i), datalength(s), datalength(t), datalength(b), datalength(f), datalength(d), datalength(getdate()) from R", 0,
         {"4|2|1|8|8|5|8"}},
    });
}

TEST(TsqlRanges, StoredColumnsAndConversionsCheckTheirTypesRange)
{
    runRangeCases({
        {"int column", "insert R (i) values (2147483648)", 8115, {}},
        {"smallint column", "insert R (s) values (40000)", 220, {}},
        {"tinyint column", "insert R (t) values (256)", 220, {}},
        {"tinyint below zero", "insert R (t) values (-1)", 220, {}},
        {"bigint column from an overflowing sum", "insert R (b) values (cast(9223372036854775807 as bigint) + 1)", 8115, {}},
        {"bigint column from a float", "insert R (b) values (1e19)", 8115, {}},
        {"int column from a decimal", "insert R (i) values (3000000000.5)", 8115, {}},
        {"int column from a text", "insert R (i) values ('3000000000')", 8115, {}},
        {"update beyond tinyint", "update R set t = t + 1", 220, {}},
        {"update from a wider column", "update R set s = i", 220, {}},
        {"insert ... select beyond smallint", "insert R (s) select i from R", 220, {}},
        {"cast to tinyint", "select cast(300 as tinyint)", 220, {}},
        {"cast to int", "select cast(3000000000 as int)", 8115, {}},
        {"convert to smallint", "select convert(smallint, 70000)", 220, {}},
        {"variables check as before", "declare @t tinyint set @t = 256", 220, {}},
        {"within range", "select cast(255 as tinyint), cast(-32768 as smallint), cast(-2147483648 as bigint)", 0,
         {"255|-32768|-2147483648"}},
    });
}

TEST(TsqlRanges, NamesLongerThan128CharactersAreRefused)
{
    ScratchDb db;
    const QString longName = QString(129, u'a');
    const QString longest = QString(128, u'b');
    for (const QString& sql : {QStringLiteral("create table %1 (x int)").arg(longName),
                               QStringLiteral("create table T (%1 int)").arg(longName),
                               QStringLiteral("select 1 as [%1]").arg(longName),
                               QStringLiteral("declare @%1 int").arg(longName)}) {
        BatchResult r = db.conn->execute(sql);
        ASSERT_EQ(r.errors.size(), 1) << sql.left(40).toStdString();
        EXPECT_EQ(r.errors[0].number, 103);
        EXPECT_EQ(r.errors[0].message,
                  QStringLiteral("The identifier that starts with '%1' is too long. Maximum length is 128.").arg(sql.contains(u'@') ? "@" + longName.left(127) : longName.left(128)));
    }
    db.ok(QStringLiteral("create table %1 (%1 int) insert %1 values (1)").arg(longest));
    EXPECT_EQ(db.rows(QStringLiteral("select %1 from %1").arg(longest)), QStringList{"1"});
}
