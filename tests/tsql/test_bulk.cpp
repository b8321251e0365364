// Bulk runs: a statement run once per row of typed values. A single insert,
// update or delete runs prepared once; the same statement inside a block runs
// row by row as any batch does. Both must leave the same rows, counts and errors.
#include "TsqlTestUtil.h"

#include <sqlite3.h>

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

const char* kFixture =
    "create table B (id int not null primary key, tiny tinyint null, name nvarchar(6) null, code char(4) null,\n"
    "  qty decimal(28,8) null, big decimal(38,10) null, rate float null, d datetime null, sd smalldatetime null,\n"
    "  flag bit null, seq int identity(1,1) not null)\n"
    "insert B (id, name, qty) values (1, 'one', 1.5)\n"
    "insert B (id, name, qty) values (2, 'two', 2.5)\n"
    "insert B (id, name, qty) values (3, 'three', null)\n";

const char* kAll = "select id, tiny, name, code, qty, big, rate, d, sd, flag, seq from B order by id";

struct BulkCase {
    const char* what;
    const char* declarations;
    const char* statement;
    QList<QList<QVariant>> rows;
};

struct Outcome {
    QStringList stored;
    qint64 rowsAffected = 0;
    QString errors;
    QStringList after;   // @@error, @@rowcount and @@identity once the run is over
};

Outcome runBoth(const BulkCase& c, bool prepared)
{
    ScratchDb db;
    db.ok(kFixture);
    const QString statement = QString::fromUtf8(c.statement);
    const BatchResult r = db.conn->executeBulk(QString::fromUtf8(c.declarations),
                                               prepared ? statement : "begin " + statement + " end", c.rows);
    Outcome o;
    o.rowsAffected = r.rowsAffected;
    o.errors = errorsOf(r);
    o.stored = db.rows(kAll);
    o.after = db.rows("select @@identity");
    return o;
}

} // namespace

TEST(TsqlBulk, PreparedRunLeavesWhatTheRowByRowRunLeaves)
{
    const QDateTime when(QDate(2026, 3, 1), QTime(8, 30, 29, 998));
    const BulkCase cases[] = {
        {"inserts of every type, NULLs and conversions from text and numbers",
         "@id int, @tiny tinyint, @name nvarchar(6), @code char(4), @qty decimal(28,8), @big decimal(38,10), "
         "@rate float, @d datetime, @sd smalldatetime, @flag bit",
         "insert B (id, tiny, name, code, qty, big, rate, d, sd, flag) values (@id, @tiny, @name, @code, @qty, @big, @rate, @d, @sd, @flag)",
         {{10, 7, QStringLiteral("it's 垫圈"), QStringLiteral("ab"), QStringLiteral("0.1"),
           QStringLiteral("1234567890123456789012345678.0123456789"), 0.25, when, when, 1},
          {11, QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
          {QStringLiteral("12"), QStringLiteral("255"), QStringLiteral("toolongtext"), QStringLiteral("abcdef"), 3,
           2.5, QStringLiteral("1e3"), QStringLiteral("2026-02-28 23:59:59.999"), QStringLiteral("2026-02-28 10:10:31"),
           QStringLiteral("false")},
          {13, 0, QStringLiteral(""), QStringLiteral(" "), QStringLiteral("-0.000000005"), QStringLiteral("12.34567890125"),
           -1.5, 45000, 45000.75, 2}}},
        {"decimals given as text in their many forms, rounded to the parameter's scale", "@id int, @qty decimal(28,8), @big decimal(38,10)",
         "insert B (id, qty, big) values (@id, @qty, @big)",
         {{200, QStringLiteral(" 2.5 "), QStringLiteral("1e2")}, {201, QStringLiteral("-0.000000005"), QStringLiteral("0.00000000005")},
          {202, QStringLiteral("+7"), QStringLiteral("-0")}, {203, QStringLiteral("12.345678905"), QStringLiteral(".5")},
          {204, 2.5, qlonglong(-3)}, {205, QStringLiteral(""), QStringLiteral("1")}}},
        {"a decimal text that is no number stops at that row", "@id int, @qty decimal(28,8)",
         "insert B (id, qty) values (@id, @qty)", {{210, QStringLiteral("1.5")}, {211, QStringLiteral("１.5")}, {212, QStringLiteral("2")}}},
        {"values already in their stored form: 64-bit whole numbers, decimal texts of the parameter's scale, "
         "'yyyymmdd' dates",
         "@id int, @tiny tinyint, @name nvarchar(6), @qty decimal(28,8), @d datetime, @sd smalldatetime, @flag bit",
         "insert B (id, tiny, name, qty, d, sd, flag) values (@id, @tiny, @name, @qty, @d, @sd, @flag)",
         {{qlonglong(300), qlonglong(255), QStringLiteral("垫圈"), QStringLiteral("12.50000000"), QStringLiteral("20260228"),
           QStringLiteral("20260301"), qlonglong(2)},
          {qlonglong(301), qlonglong(0), QStringLiteral("abcdef"), QStringLiteral("-0.00000000"), QStringLiteral("17530101"),
           QStringLiteral("19000101"), qlonglong(0)},
          {qlonglong(302), QVariant(), QStringLiteral("abcdefgh"), QStringLiteral("007.50000000"), QStringLiteral("20240229"),
           QVariant(), qlonglong(-1)},
          {qlonglong(303), qlonglong(1), QStringLiteral(""), QStringLiteral("99999999999999999999.99999999"),
           QStringLiteral(" 20260101"), QStringLiteral("2026-01-01"), QVariant()},
          {qlonglong(304), qlonglong(1), QStringLiteral("x"), QStringLiteral("-1.00000000"), QStringLiteral("2026.1.5"),
           QStringLiteral("20260102"), qlonglong(1)},
          {qlonglong(305), qlonglong(1), QString(QChar(u'a')) + QChar(0xD800) + QChar(u'b'), QStringLiteral("0.00000000"), QStringLiteral("20260102"),
           QStringLiteral("20260102"), qlonglong(1)},
          {qlonglong(306), qlonglong(1), QString(), QStringLiteral("1.00000000"), QStringLiteral("20260102"),
           QStringLiteral("20260102"), qlonglong(1)}}},
        {"a 64-bit whole number beyond an int stops at that row", "@id int", "insert B (id) values (@id)",
         {{qlonglong(120)}, {qlonglong(2147483648LL)}, {qlonglong(121)}}},
        {"a 64-bit whole number beyond a tinyint stops at that row", "@id int, @tiny tinyint",
         "insert B (id, tiny) values (@id, @tiny)", {{qlonglong(130), qlonglong(-1)}, {qlonglong(131), qlonglong(1)}}},
        {"a decimal text of the scale but beyond the precision stops at that row", "@id int, @qty decimal(28,8)",
         "insert B (id, qty) values (@id, @qty)",
         {{140, QStringLiteral("1.00000000")}, {141, QStringLiteral("123456789012345678901.00000000")}}},
        {"a 'yyyymmdd' text that is no day stops at that row", "@id int, @d datetime", "insert B (id, d) values (@id, @d)",
         {{150, QStringLiteral("20260131")}, {151, QStringLiteral("20260230")}, {152, QStringLiteral("20260101")}}},
        {"a 'yyyymmdd' text before 1753 stops at that row", "@id int, @d datetime", "insert B (id, d) values (@id, @d)",
         {{160, QStringLiteral("17521231")}}},
        {"a parameter named twice and literals beside it", "@id int, @qty decimal(28,8)",
         "insert B (id, qty, big, name) values (@id, @qty, @qty * 2, N'fixed')",
         {{20, QStringLiteral("1.25")}, {21, QStringLiteral("99999999999999999999.99999999")}}},
        {"updates by key count only the rows they change", "@id int, @qty decimal(28,8), @name nvarchar(6)",
         "update B set qty = @qty, name = isnull(@name, name) where id = @id",
         {{1, QStringLiteral("7.125"), QVariant()}, {99, 1, QStringLiteral("none")}, {3, QVariant(), QStringLiteral("drei")},
          {2, QStringLiteral("0.00000001"), QStringLiteral("二")}}},
        {"an update that computes from the row and the parameter", "@id int, @add decimal(28,8)",
         "update B set qty = isnull(qty, 0) + @add, rate = @add where id >= @id",
         {{2, QStringLiteral("0.5")}, {3, 1}}},
        {"deletes", "@id int", "delete from B where id = @id", {{2}, {2}, {3}}},
        {"no rows at all", "@id int", "delete from B where id = @id", {}},
        {"a value too large for its parameter stops at that row", "@id int, @tiny tinyint",
         "insert B (id, tiny) values (@id, @tiny)", {{30, 1}, {31, 256}, {32, 2}}},
        {"a text that is no number stops at that row", "@id int", "insert B (id) values (@id)",
         {{40}, {QStringLiteral("x41")}, {42}}},
        {"a decimal beyond its precision stops at that row", "@id int, @qty decimal(5,2)",
         "insert B (id, qty) values (@id, @qty)", {{50, QStringLiteral("999.99")}, {51, QStringLiteral("1000")}}},
        {"a date that is no date stops at that row", "@id int, @d datetime", "insert B (id, d) values (@id, @d)",
         {{60, QStringLiteral("2026-01-01")}, {61, QStringLiteral("someday")}}},
        {"a duplicate key stops at that row", "@id int", "insert B (id) values (@id)", {{70}, {1}, {71}}},
        {"a NULL in a column that takes none stops at that row", "@id int", "update B set id = @id where id = 3",
         {{80}, {QVariant()}}},
        {"a row with too few values stops there", "@id int, @qty decimal(28,8)", "insert B (id, qty) values (@id, @qty)",
         {{90, 1}, {91}, {92, 2}}},
        {"an unknown column writes nothing", "@id int", "insert B (id, nosuch) values (@id, 1)", {{100}, {101}}},
        {"an unknown variable writes nothing", "@id int", "insert B (id, qty) values (@id, @other)", {{110}}},
    };
    for (const BulkCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome rowByRow = runBoth(c, false), prepared = runBoth(c, true);
        EXPECT_EQ(prepared.stored, rowByRow.stored);
        EXPECT_EQ(prepared.rowsAffected, rowByRow.rowsAffected);
        EXPECT_EQ(prepared.errors, rowByRow.errors);
        EXPECT_EQ(prepared.after, rowByRow.after);
    }
}

TEST(TsqlBulk, PreparedRunWritesExactValuesAndCountsRows)
{
    ScratchDb db;
    db.ok(kFixture);
    const BatchResult r = db.conn->executeBulk(
        "@id int, @qty decimal(38,10), @name nvarchar(6)", "insert B (id, big, name) values (@id, @qty, @name)",
        {{5, QStringLiteral("1234567890123456789012345678.0123456789"), QStringLiteral("abcdefgh")},
         {6, QStringLiteral("-0.00000000005"), QVariant()}});
    EXPECT_EQ(errorsOf(r), QString());
    EXPECT_EQ(r.rowsAffected, 2);
    EXPECT_EQ(db.rows("select id, big, name, seq from B where id >= 5 order by id"),
              (QStringList{"5|1234567890123456789012345678.0123456789|abcdef|4", "6|-0.0000000001|NULL|5"}));
    EXPECT_EQ(db.rows("select @@identity"), QStringList{"5"});

    // the first failing row ends the run; the rows before it stay
    const BatchResult bad = db.conn->executeBulk("@id int", "insert B (id) values (@id)", {{7}, {5}, {8}});
    ASSERT_EQ(bad.errors.size(), 1);
    EXPECT_TRUE(bad.errors[0].number == 2627 || bad.errors[0].number == 2601) << bad.errors[0].number;   // a duplicate key
    EXPECT_EQ(bad.rowsAffected, 1);
    EXPECT_EQ(db.rows("select count(*) from B where id in (7, 8)"), QStringList{"1"});
}

// Decimals and dates are stored in one form only (what the engine compares,
// sorts and copies): whatever form a bulk value comes in, the file holds that form.
TEST(TsqlBulk, PreparedRunStoresDecimalsAndDatesInTheirOneForm)
{
    ScratchDb db;
    db.ok(kFixture);
    const BatchResult r = db.conn->executeBulk(
        "@id int, @qty decimal(28,8), @d datetime", "insert B (id, qty, d) values (@id, @qty, @d)",
        {{qlonglong(400), QStringLiteral("12.50000000"), QStringLiteral("20260228")},
         {qlonglong(401), QStringLiteral("-0.00000000"), QStringLiteral("2026-02-28")},
         {qlonglong(402), QStringLiteral("007.50000000"), QStringLiteral("20240229")},
         {qlonglong(403), QStringLiteral("-1.5"), QStringLiteral("2026-03-01 08:30:00")},
         {qlonglong(404), qlonglong(3), QVariant()},
         {qlonglong(405), 2.5, QStringLiteral("19000101")},
         {qlonglong(406), QStringLiteral("-0.00000001"), QStringLiteral("99991231")}});
    ASSERT_EQ(errorsOf(r), QString());
    db.conn.reset();

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.path().toUtf8().constData(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(raw, "select id, qty, d from B where id >= 400 order by id", -1, &st, nullptr), SQLITE_OK);
    QStringList stored;
    while (sqlite3_step(st) == SQLITE_ROW) {
        QStringList f;
        for (int i = 0; i < 3; ++i)
            f << (sqlite3_column_type(st, i) == SQLITE_NULL
                      ? QStringLiteral("NULL")
                      : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i))));
        stored << f.join(u'|');
    }
    sqlite3_finalize(st);
    sqlite3_close(raw);
    EXPECT_EQ(stored, (QStringList{"400|12.50000000|2026-02-28 00:00:00.000", "401|0.00000000|2026-02-28 00:00:00.000",
                                   "402|7.50000000|2024-02-29 00:00:00.000", "403|-1.50000000|2026-03-01 08:30:00.000",
                                   "404|3.00000000|NULL", "405|2.50000000|1900-01-01 00:00:00.000",
                                   "406|-0.00000001|9999-12-31 00:00:00.000"}));
}
