// The decimal functions, aggregates and collation on a real in-memory SQLite database.
#include "Decimal.h"

#include <sqlite3.h>

#include <charconv>
#include <string>
#include <vector>
#include <gtest/gtest.h>

namespace {

class SqliteDecimal : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
        kvdec::registerSqliteFunctions(db, form);
    }
    void TearDown() override { sqlite3_close(db); }

    void exec(const std::string& sql)
    {
        char* err = nullptr;
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "") << "\n" << sql;
    }

    // Every row of a query, each column as "NULL", "int:N", "real:X" or its text;
    // an error as "error:MESSAGE".
    std::vector<std::vector<std::string>> rows(const std::string& sql)
    {
        std::vector<std::vector<std::string>> out;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return {{"error:" + std::string(sqlite3_errmsg(db))}};
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                switch (sqlite3_column_type(st, i)) {
                case SQLITE_NULL: row.push_back("NULL"); break;
                case SQLITE_INTEGER: row.push_back("int:" + std::to_string(sqlite3_column_int64(st, i))); break;
                case SQLITE_FLOAT: {
                    char buf[64];
                    const auto r = std::to_chars(buf, buf + sizeof buf, sqlite3_column_double(st, i));
                    row.push_back("real:" + std::string(buf, r.ptr));
                    break;
                }
                default: row.push_back(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                }
            }
            out.push_back(row);
        }
        if (rc != SQLITE_DONE) out = {{"error:" + std::string(sqlite3_errmsg(db))}};
        sqlite3_finalize(st);
        return out;
    }

    std::string value(const std::string& sql)
    {
        const auto r = rows(sql);
        return r.empty() || r[0].empty() ? "<no row>" : r[0][0];
    }

    std::vector<std::string> column(const std::string& sql)
    {
        std::vector<std::string> out;
        for (const auto& r : rows(sql))
            out.push_back(r.empty() ? "" : r[0]);
        return out;
    }

    sqlite3* db = nullptr;
    kvdec::SqliteForm form = kvdec::SqliteForm::Text;
};

class SqliteDecimalNumbers : public SqliteDecimal {
protected:
    void SetUp() override
    {
        form = kvdec::SqliteForm::Number;
        SqliteDecimal::SetUp();
    }
};

} // namespace

TEST_F(SqliteDecimal, ScalarFunctions)
{
    struct Case { const char* expr; const char* result; };
    const Case cases[] = {
        // operand types taken from the values: '2.50000000' is decimal(9,8)
        {"dec_mul('2.50000000', '3.00000000')", "7.5000000000000000"},
        // the caller's result type: decimal(28,8) * decimal(28,8) is decimal(38,6)
        {"dec_mul('2.50000000', '3.00000000', 38, 6)", "7.500000"},
        {"dec_div('1.50000000', '3.00000000', 38, 10)", "0.5000000000"},
        {"dec_div(2, 3, 28, 8)", "0.66666666"},
        // the result scale alone: decimal(38, s)
        {"dec_div(2, 3, 10)", "0.6666666666"},
        {"dec_mul('0.125', '0.5', 2)", "0.06"},
        {"dec_add(0.1, 0.2, 8)", "0.30000000"},
        {"dec_add('0.1', '0.2')", "0.3"},
        {"dec_add(0.1, 0.2)", "0.3"},
        {"dec_sub('5.00000000', 7)", "-2.00000000"},
        {"dec_add(' 1.5 ', '1e-2')", "1.51"},
        {"dec_div(dec_mul(3, '0.1'), '0.1')", "3.000000"},
        {"dec_ceiling(dec_div(dec_mul(3, 0.1), 0.1))", "3"},
        // a REAL operand types as the literal of its shortest text: 2.0 reads as 2
        {"dec_div(2.0, 3)", "0.66666666666"},
        {"dec_div('2.0', 3)", "0.666666666666"},
        {"dec_cast(5, 28, 8)", "5.00000000"},
        {"dec_cast('-0.5', 28, 8)", "-0.50000000"},
        {"dec_cast(2.675, 10, 2)", "2.68"},
        {"dec_cast('1.005', 10, 2)", "1.01"},
        {"dec_cast(1e-9, 28, 8)", "0.00000000"},
        {"dec_cast('0.3333333333333', 28, 10)", "0.3333333333"},
        {"dec_round('2.5', 0)", "3.0"},
        {"dec_round('-2.45', 1)", "-2.50"},
        {"dec_round('9.9', 0)", "10.0"},
        {"dec_round('748.58', -3)", "1000.00"},
        {"dec_round('2.59', 1, 1)", "2.50"},
        {"dec_round('2.59', 1, 0)", "2.60"},
        {"dec_ceiling('2.00000001')", "3"},
        {"dec_ceiling('-2.1')", "-2"},
        {"dec_floor('-2.1')", "-3"},
        {"dec_floor(7)", "7"},
        {"dec_abs('-1.50')", "1.50"},
        {"dec_sign('-1.50')", "-1.00"},
        {"dec_neg('1.50')", "-1.50"},
        {"dec_text('5', 8)", "5.00000000"},
        {"dec_text(0.5)", "0.5"},
        {"dec_text('1.005', 2)", "1.01"},
        {"dec_text('-0.5', 8)", "-0.50000000"},
        {"dec_text(12)", "12"},
        {"dec_int('-2.9')", "int:-2"},
        {"dec_int('12345678901.7')", "int:12345678901"},
        {"dec_float('0.25')", "real:0.25"},
        {"dec_cmp('5', '5.000')", "int:0"},
        {"dec_cmp('10', 9)", "int:1"},
        {"dec_cmp('-0.5', 0)", "int:-1"},
        {"dec_add(null, 1)", "NULL"},
        {"dec_mul(1, null, 38, 6)", "NULL"},
        {"dec_cast(null, 28, 8)", "NULL"},
        {"dec_round(null, 2)", "NULL"},
        {"dec_ceiling(null)", "NULL"},
        {"dec_text(null, 8)", "NULL"},
        {"dec_cmp(null, 1)", "NULL"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(value(std::string("select ") + c.expr), c.result) << c.expr;
}

TEST_F(SqliteDecimal, ErrorsCarryTheServerNumber)
{
    struct Case { const char* expr; const char* error; };
    const Case cases[] = {
        {"dec_div(1, 0)", "error:8134|Divide by zero error encountered."},
        {"dec_div('1.5', '0.000', 38, 6)", "error:8134|Divide by zero error encountered."},
        {"dec_cast('abc', 28, 8)", "error:8114|Error converting data type varchar to numeric."},
        {"dec_add('1', 'x')", "error:8114|Error converting data type varchar to numeric."},
        {"dec_cast('123456789012345678901', 28, 8)", "error:8115|Arithmetic overflow error converting expression to data type numeric."},
        {"dec_mul('99999999999999999999.99999999', '99999999999999999999.99999999', 38, 6)",
         "error:8115|Arithmetic overflow error converting expression to data type numeric."},
        {"dec_cast(1e300, 28, 8)", "error:8115|Arithmetic overflow error converting expression to data type numeric."},
        {"dec_int('30000000000000000000')", "error:8115|Arithmetic overflow error converting expression to data type bigint."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(value(std::string("select ") + c.expr), c.error) << c.expr;

    // misuse by the caller: a plain message without a number
    for (const char* expr : {"dec_cast(1, 50, 2)", "dec_cast(1, 10, 'x')", "dec_round(1, 'a')", "dec_text(1, 40)"}) {
        const std::string r = value(std::string("select ") + expr);
        ASSERT_EQ(r.rfind("error:", 0), 0u) << expr << " gave " << r;
        int number = -1;
        std::string text;
        EXPECT_FALSE(kvdec::splitErrorMessage(r.substr(6), number, text)) << r;
    }

    // the engine's way of reading the message back
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select dec_div(1, 0)", -1, &st, nullptr), SQLITE_OK);
    EXPECT_EQ(sqlite3_step(st), SQLITE_ERROR);
    int number = 0;
    std::string text;
    EXPECT_TRUE(kvdec::splitErrorMessage(sqlite3_errmsg(db), number, text));
    EXPECT_EQ(number, 8134);
    EXPECT_EQ(text, "Divide by zero error encountered.");
    sqlite3_finalize(st);
}

TEST_F(SqliteDecimal, ReadsResultColumnsAsDecimals)
{
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select 7, 0.25, ' 5.00000000', 'x'", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(kvdec::fromSqliteValue(sqlite3_column_value(st, 0)).type(), kvdec::IntType);
    EXPECT_EQ(kvdec::fromSqliteValue(sqlite3_column_value(st, 1)).cast(28, 8).toString(), "0.25000000");
    EXPECT_EQ(kvdec::fromSqliteValue(sqlite3_column_value(st, 2)).toString(), "5.00000000");
    EXPECT_THROW(kvdec::fromSqliteValue(sqlite3_column_value(st, 3)), kvdec::DecimalError);
    sqlite3_finalize(st);
}

TEST_F(SqliteDecimal, SumsAndAveragesAreExact)
{
    exec("create table T (k int, Qty text collate DECIMAL)");
    exec("with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
         "insert into T select i % 2, '0.00000001' from n");
    EXPECT_EQ(value("select dec_sum(Qty) from T"), "0.00010000");
    EXPECT_EQ(value("select dec_avg(Qty) from T"), "0.00000001");
    EXPECT_EQ(value("select dec_cmp(dec_sum(Qty), '0.0001') from T"), "int:0");
    EXPECT_EQ(column("select dec_sum(Qty) from T group by k order by k"),
              (std::vector<std::string>{"0.00005000", "0.00005000"}));

    EXPECT_EQ(value("select dec_sum(Qty) from T where k > 5"), "NULL");
    EXPECT_EQ(value("select dec_avg(Qty) from T where k > 5"), "NULL");
    exec("insert into T values (9, null), (9, '1'), (9, 2), (9, 0.5)");
    EXPECT_EQ(value("select dec_sum(Qty) from T where k = 9"), "3.5");
    EXPECT_EQ(value("select dec_avg(Qty) from T where k = 9"), "1.166666");

    // a result scale given to the aggregate
    EXPECT_EQ(value("select dec_sum(Qty, 8) from T where k = 9"), "3.50000000");
    EXPECT_EQ(value("select dec_avg(Qty, 8) from T where k = 9"), "1.16666666");
    EXPECT_EQ(value("select dec_sum(Qty, 8) from T where k > 9"), "NULL");

    exec("insert into T values (8, '99999999999999999999999999999999999999'), (8, '1')");
    EXPECT_EQ(value("select dec_sum(Qty) from T where k = 8"),
              "error:8115|Arithmetic overflow error converting expression to data type numeric.");
}

TEST_F(SqliteDecimal, CollationKeepsNativeComparisonsExact)
{
    exec("create table T (Qty text collate DECIMAL)");
    exec("insert into T values ('10.00000000'), ('9.5'), ('-1'), ('5'), ('5.00000000'), ('0.00000001'), ('-0.5')");
    EXPECT_EQ(column("select dec_text(Qty, 8) from T order by Qty, rowid"),
              (std::vector<std::string>{"-1.00000000", "-0.50000000", "0.00000001", "5.00000000", "5.00000000",
                                        "9.50000000", "10.00000000"}));
    EXPECT_EQ(value("select max(Qty) from T"), "10.00000000");
    EXPECT_EQ(value("select min(Qty) from T"), "-1");
    EXPECT_EQ(value("select count(distinct Qty) from T"), "int:6");
    EXPECT_EQ(value("select count(*) from (select Qty from T group by Qty)"), "int:6");
    // comparisons with literals and parameters of any storage class
    EXPECT_EQ(value("select count(*) from T where Qty = 5"), "int:2");
    EXPECT_EQ(value("select count(*) from T where Qty = '5.0'"), "int:2");
    EXPECT_EQ(value("select count(*) from T where Qty > 9"), "int:2");
    EXPECT_EQ(value("select count(*) from T where Qty < 0"), "int:2");
    EXPECT_EQ(value("select count(*) from T where Qty > 0.000000005"), "int:5");
    EXPECT_EQ(value("select count(*) from T where Qty between -0.5 and 5"), "int:4");

    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select count(*) from T where Qty >= ?", -1, &st, nullptr), SQLITE_OK);
    sqlite3_bind_double(st, 1, 1e-8);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), 5);
    sqlite3_finalize(st);

    // an index on the column orders and finds by value too
    exec("create index IX_T on T (Qty)");
    EXPECT_EQ(value("select count(*) from T where Qty = 10"), "int:1");
    EXPECT_EQ(value("select Qty from T where Qty > 9 order by Qty limit 1"), "9.5");
}

TEST_F(SqliteDecimal, UpdatesKeepQuantitiesExact)
{
    // the way the engine writes decimal(28,8) columns: every value cast to the column type
    exec("create table Stock (Item text, Qty text collate DECIMAL)");
    exec("insert into Stock values ('A', dec_cast(0, 28, 8))");
    for (int i = 0; i < 100; ++i)
        exec("update Stock set Qty = dec_cast(dec_add(Qty, '0.1', 38, 8), 28, 8) where Item = 'A'");
    EXPECT_EQ(value("select Qty from Stock"), "10.00000000");
    EXPECT_EQ(value("select count(*) from Stock where Qty = 10"), "int:1");
    exec("update Stock set Qty = dec_cast(dec_div(Qty, 3, 38, 10), 28, 8)");
    EXPECT_EQ(value("select Qty from Stock"), "3.33333333");
}

TEST_F(SqliteDecimal, NumericAffinityColumnsStayExactWithinFifteenDigits)
{
    // A column declared decimal(28,8) has NUMERIC affinity: SQLite keeps the
    // canonical text as INTEGER or REAL. The functions read a REAL back through
    // its shortest text, so sums of 8-decimal quantities stay exact.
    exec("create table N (Qty decimal(28,8))");
    exec("with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
         "insert into N select dec_cast('0.00000001', 28, 8) from n");
    EXPECT_EQ(value("select typeof(Qty) from N limit 1"), "real");
    EXPECT_EQ(value("select dec_sum(Qty, 8) from N"), "0.00010000");
    exec("delete from N");
    exec("insert into N values (dec_cast('1234567.12345678', 28, 8)), (dec_cast(5, 28, 8))");
    EXPECT_EQ(column("select dec_text(Qty, 8) from N order by Qty"),
              (std::vector<std::string>{"5.00000000", "1234567.12345678"}));
    EXPECT_EQ(value("select dec_mul(Qty, 3, 38, 6) from N where Qty > 10"), "3703701.370370");
}

TEST_F(SqliteDecimalNumbers, ResultsComeBackAsSqliteNumbers)
{
    struct Case { const char* expr; const char* result; };
    const Case cases[] = {
        {"dec_cast(5, 28, 8)", "int:5"},
        {"dec_cast('-0.5', 28, 8)", "real:-0.5"},
        {"dec_mul('2.50000000', '3.00000000', 38, 6)", "real:7.5"},
        {"dec_add(0.1, 0.2, 8)", "real:0.3"},
        {"dec_ceiling(dec_div(dec_mul(3, 0.1), 0.1))", "int:3"},
        {"dec_div(1, 3, 38, 10)", "real:0.3333333333"},
        {"dec_round(2.5, 0)", "int:3"},
        // beyond what a double holds exactly: the exact text
        {"dec_cast('12345678901234567.12345678', 38, 8)", "12345678901234567.12345678"},
        {"dec_cast('99999999999999999999', 38, 0)", "99999999999999999999"},
        // display text, integers, floats and comparisons keep their own forms
        {"dec_text(5, 8)", "5.00000000"},
        {"dec_int('2.5')", "int:2"},
        {"dec_float('2.5')", "real:2.5"},
        {"dec_cmp(1, 2)", "int:-1"},
        {"dec_add(null, 1)", "NULL"},
        {"dec_div(1, 0)", "error:8134|Divide by zero error encountered."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(value(std::string("select ") + c.expr), c.result) << c.expr;

    // NUMERIC columns and native comparisons on computed values
    exec("create table N (Qty decimal(28,8))");
    exec("with recursive n(i) as (select 1 union all select i+1 from n where i < 10000) "
         "insert into N select dec_cast('0.00000001', 28, 8) from n");
    EXPECT_EQ(value("select dec_sum(Qty, 8) from N"), "real:1e-04");
    EXPECT_EQ(value("select dec_sum(Qty, 8) = 0.0001 from N"), "int:1");
    EXPECT_EQ(value("select count(*) from N where dec_mul(Qty, 3, 38, 8) = 0.00000003"), "int:10000");
    EXPECT_EQ(value("select dec_ceiling(dec_div(dec_mul(3, 0.1, 38, 8), 0.1, 38, 10)) = 3"), "int:1");
}
