// Decimals at rest: every value of a declared precision comes back digit for
// digit, and comparison, ordering, grouping, indexes and sums work on the exact
// values. Random values are checked against GMP's exact integers.
#include "TsqlTestUtil.h"

#include <gmpxx.h>

#include <algorithm>
#include <random>

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

// Neighbours that differ only in their 36th digit, a value a double cannot
// hold, and values equal by value but written with different scales.
const char* kFixture =
    "create table Q (id int not null, v decimal(38,8) null, w decimal(28,8) null)\n"
    "insert Q values (1, 123456789012345678901234567890.12345678, 1)\n"
    "insert Q values (2, 123456789012345678901234567890.12345677, -2.5)\n"
    "insert Q values (3, 5, 0.1)\n"
    "insert Q values (4, 5.00000000, null)\n"
    "insert Q values (5, -0.00000001, 60618509.00000015)\n";


} // namespace

TEST(TsqlDecimalStorage, ExactValuesCompareSortGroupAndSum)
{
    const RowsCase cases[] = {
        {"a 36-digit value reads back whole", "select v from Q where id = 1", {"123456789012345678901234567890.12345678"}},
        {"a value beyond a double reads back whole", "select w from Q where id = 5", {"60618509.00000015"}},
        {"a 37-digit whole literal", "select cast(1111111111111111111111111111111111111 as decimal(38,0))",
         {"1111111111111111111111111111111111111"}},
        {"numeric(15,0) + numeric(16,15) keeps the last digit",
         "select cast(123456789012345 as numeric(15,0)) + cast(0.123456789012345 as numeric(16,15))",
         {"123456789012345.123456789012345"}},
        {"equality tells neighbours apart", "select id from Q where v = 123456789012345678901234567890.12345677", {"2"}},
        {"range tells neighbours apart", "select id from Q where v > 123456789012345678901234567890.12345677", {"1"}},
        {"equal values of different scales are equal", "select id from Q where v = 5 order by id", {"3", "4"}},
        {"order by the exact value", "select id from Q order by v desc, id", {"1", "2", "3", "4", "5"}},
        {"a negative value sorts below zero", "select top 1 id from Q order by v", {"5"}},
        {"group by the value", "select v, count(*) from Q group by v order by v",
         {"-0.00000001|1", "5.00000000|2", "123456789012345678901234567890.12345677|1", "123456789012345678901234567890.12345678|1"}},
        {"distinct by the value", "select count(*) from (select distinct v from Q) x", {"4"}},
        {"count distinct by the value", "select count(distinct v) from Q", {"4"}},
        {"sum beyond 15 digits", "select sum(v) from Q where id <= 2", {"246913578024691357802469135780.24691355"}},
        {"min and max of stored values", "select min(v), max(v) from Q",
         {"-0.00000001|123456789012345678901234567890.12345678"}},
        {"a computed value against a number", "select id from Q where isnull(w, 0) > 0 order by id", {"1", "3", "5"}},
        {"a computed value below zero", "select id from Q where w - 1 < 0 order by id", {"2", "3"}},
        {"two computed values", "select id from Q where w * 2 > w + 1 order by id", {"5"}},
        {"in list on a computed value", "select id from Q where isnull(w, 0) in (0, 1) order by id", {"1", "4"}},
        {"between on a computed value", "select id from Q where w + 0 between -3 and 0.5 order by id", {"2", "3"}},
        {"order by a computed value (10 above 9)",
         "select w + 9 x from Q where w is not null order by x", {"6.50000000", "9.10000000", "10.00000000", "60618518.00000015"}},
        {"order by an alias over a computed value", "select id, isnull(w, -9) k from Q order by k",
         {"4|-9.00000000", "2|-2.50000000", "3|0.10000000", "1|1.00000000", "5|60618509.00000015"}},
        {"min and max of computed values", "select min(isnull(w, 0)), max(w * 10) from Q", {"-2.50000000|606185090.0000015"}},
        {"group by a computed value", "select count(*) from Q group by isnull(w, 0) * 0", {"5"}},
        {"case on a computed value", "select case w + 0 when 1 then 'one' else 'other' end from Q where id = 1", {"one"}},
        {"a variable keeps every digit",
         "declare @x decimal(38,8) = 123456789012345678901234567890.12345677\n"
         "select id from Q where v = @x select @x",
         {"123456789012345678901234567890.12345677"}},
        {"a variable compared with a number", "declare @x decimal(28,8) = -0.5 select case when @x < 0 then 1 else 0 end", {"1"}},
        {"numeric without precision is numeric(18,0)", "declare @n numeric = 2.5 select @n, cast(7.5 as numeric)", {"3|8"}},
        {"a stored value cast to int truncates as a number", "select cast(w as int), cast(-w as int) from Q where id = 2", {"-2|2"}},
        {"cast to int of a value with trailing zeros", "select cast(v as int), convert(int, v) from Q where id = 4", {"5|5"}},
        {"a stored value cast to float and to bit", "select cast(w as float), cast(w as bit) from Q where id = 3", {"0.1|1"}},
        {"cast to int through a table made by select into",
         "select w into #w from Q where id = 2 select cast(cast(w as int) as varchar(9)) + '|' from #w", {"-2|"}},
        {"a value updated in place", "update Q set w = w + 0.00000001 where id = 5 select w from Q where id = 5", {"60618509.00000016"}},
    };
    ScratchDb db;
    db.ok(kFixture);
    runRowsCases(db, cases);
}

TEST(TsqlDecimalStorage, IndexesCompareByValue)
{
    ScratchDb db;
    db.ok("create table K (v decimal(38,10) not null)\n"
          "create unique index IX_K on K (v)\n"
          "insert K values (1234567890123456789012345678.0000000001)\n"
          "insert K values (1234567890123456789012345678.0000000002)\n"
          "insert K values (2)");
    // the same value written another way is a duplicate key
    BatchResult r = db.conn->execute("insert K values (2.00)");
    ASSERT_EQ(r.errors.size(), 1);
    EXPECT_EQ(r.errors[0].number, 2601);
    EXPECT_EQ(db.rows("select count(*) from K where v = 1234567890123456789012345678.0000000002"), QStringList{"1"});
    EXPECT_EQ(db.rows("select count(*) from K where v >= 3"), QStringList{"2"});
}

TEST(TsqlDecimalStorage, PrecisionAbove38IsRefused)
{
    struct ErrorCase {
        const char* what;
        const char* sql;
        int number;
    };
    const ErrorCase cases[] = {
        {"column", "create table P (a int, b decimal(39,2))", 2750},
        {"variable", "declare @a numeric(40,2)", 2750},
        {"cast", "select cast(1 as decimal(50,0))", 2750},
        {"scale above precision", "declare @a decimal(5,6)", 192},
        {"a value beyond numeric(18,0)", "create table P2 (a numeric) insert P2 values (1234567890123456789)", 8115},
    };
    ScratchDb db;
    for (const ErrorCase& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql) + "\nselect 'ran on'");
        ASSERT_FALSE(r.errors.isEmpty()) << c.what;
        EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        if (c.number != 8115) {
            EXPECT_TRUE(r.resultSets.isEmpty()) << c.what << ": the batch must end";
        }
    }
    EXPECT_EQ(db.rows("select count(*) from sysobjects where name = 'P'"), QStringList{"0"});
}

namespace {

// SQL Server's display text of unscaled / 10^scale.
std::string decimalText(const mpz_class& unscaled, int scale)
{
    std::string digits = mpz_class(abs(unscaled)).get_str();
    if (int(digits.size()) <= scale) digits.insert(0, std::size_t(scale + 1 - int(digits.size())), '0');
    if (scale > 0) digits.insert(digits.size() - std::size_t(scale), 1, '.');
    return (unscaled < 0 ? "-" : "") + digits;
}

} // namespace

TEST(TsqlDecimalStorage, RandomValuesOfEveryPrecisionRoundTrip)
{
    std::mt19937_64 rng(20261211);
    ScratchDb db;
    for (int p = 1; p <= 38; ++p) {
        const int s = int(rng() % std::uint64_t(p + 1));
        const QString table = QStringLiteral("R%1").arg(p);
        db.ok(QStringLiteral("create table %1 (id int not null, v decimal(%2,%3) null) create index IX_%1 on %1 (v)")
                  .arg(table).arg(p).arg(s));
        // random digits of random length, the largest value of the type, and zero
        std::vector<mpz_class> values;
        mpz_class largest;
        mpz_ui_pow_ui(largest.get_mpz_t(), 10, unsigned(p));
        largest -= 1;
        values.push_back(largest);
        values.push_back(-largest);
        values.push_back(0);
        for (int i = 0; i < 24; ++i) {
            const int len = 1 + int(rng() % std::uint64_t(p));
            std::string digits;
            for (int k = 0; k < len; ++k) digits += char('0' + rng() % 10);
            mpz_class v(digits, 10);
            if (rng() % 3 == 0) v = -v;
            values.push_back(v);
        }
        QString batch;
        for (std::size_t i = 0; i < values.size(); ++i)
            batch += QStringLiteral("insert %1 values (%2, %3)\n").arg(table).arg(i).arg(QString::fromStdString(decimalText(values[i], s)));
        db.ok(batch);

        // every value back as written, and in exact order
        std::vector<std::size_t> order(values.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
        QStringList expected;
        for (std::size_t i : order) expected << QStringLiteral("%1|%2").arg(i).arg(QString::fromStdString(decimalText(values[i], s)));
        EXPECT_EQ(db.rows(QStringLiteral("select id, v from %1 order by v, id").arg(table)), expected) << "decimal(" << p << "," << s << ")";

        // a range through the index and an equality on one value
        const mpz_class& pivot = values[5];
        const auto above = std::count_if(values.begin(), values.end(), [&](const mpz_class& v) { return v > pivot; });
        const auto equal = std::count_if(values.begin(), values.end(), [&](const mpz_class& v) { return v == pivot; });
        const QString lit = QString::fromStdString(decimalText(pivot, s));
        EXPECT_EQ(db.rows(QStringLiteral("select count(*) from %1 where v > %2").arg(table, lit)), QStringList{QString::number(above)})
            << "decimal(" << p << "," << s << ") > " << lit.toStdString();
        EXPECT_EQ(db.rows(QStringLiteral("select count(*) from %1 where v = %2").arg(table, lit)), QStringList{QString::number(equal)})
            << "decimal(" << p << "," << s << ") = " << lit.toStdString();

        // the exact sum (decimal(38,s)) while it fits 38 digits
        if (p <= 36) {
            mpz_class sum = 0;
            for (std::size_t i = 3; i < values.size(); ++i) sum += values[i];
            EXPECT_EQ(db.rows(QStringLiteral("select sum(v) from %1 where id >= 3").arg(table)),
                      QStringList{QString::fromStdString(decimalText(sum, s))})
                << "decimal(" << p << "," << s << ")";
        }
    }
}
