// Result values as callers receive them: decimals printed with exactly their
// scale, read straight from a stored text when it is plain.
#include "TsqlTestUtil.h"

#include "Functions.h"

using namespace kvtsql;
using namespace kvtsqltest;

TEST(TsqlResultValues, PlainDecimalTextPrintsAsTheGeneralFormatting)
{
    struct Case {
        const char* text;
        int scale;
        bool plain;   // the short way takes it
    };
    const Case cases[] = {
        {"0", 8, true},          {"5", 0, true},          {"-5", 2, true},         {"1.5", 8, true},
        {"-0.5", 8, true},       {"0.00000001", 8, true}, {"12.34", 2, true},       {"123", 0, true},
        {"99999999999999999999.99999999", 8, true},      {"-1234567890123456789012345678.0123456789", 10, true},
        {"12345678901234567890123456789012345678", 0, true},
        // the general way: rounding, signs of zero, forms not stored, too many digits
        {"1.239", 2, false},     {"1.5", 0, false},       {"-0", 2, false},        {"-0.000", 8, false},
        {"007", 2, false},       {"1e3", 2, false},       {" 1.5", 8, false},      {"1.5 ", 8, false},
        {"+1.5", 8, false},      {".5", 8, false},        {"5.", 8, false},        {"", 8, false},
        {"-", 8, false},         {"1.2.3", 8, false},     {"abc", 8, false},
        {"1234567890123456789012345678901", 8, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " scale " + std::to_string(c.scale));
        QString plain = QStringLiteral("untouched");
        const QByteArray b(c.text);
        const bool took = formatPlainDecimal(b.constData(), int(b.size()), c.scale, plain);
        EXPECT_EQ(took, c.plain);
        if (took) EXPECT_EQ(plain, formatDecimal(QString::fromLatin1(c.text), c.scale));
        else EXPECT_EQ(plain, QStringLiteral("untouched"));
    }
}

TEST(TsqlResultValues, ColumnsOfEveryKindReadBack)
{
    ScratchDb db;
    db.ok("create table V (id int not null, q decimal(28,8) null, z decimal(5,0) null, t nvarchar(10) null, c char(3) null,"
          " f float null, d datetime null, b bit null)\n"
          "insert V values (1, 1.5, 12, N'垫圈', 'a', 0.25, '20260301 08:30', 1)\n"
          "insert V values (2, -0.00000001, -3, N'', '', -1e300, '2026-12-31 23:59:59.997', 0)\n"
          "insert V values (3, null, null, null, null, null, null, null)\n"
          "insert V values (4, 99999999999999999999.99999999, 0, N' x ', 'abc', 0, '19000101', 1)\n");
    EXPECT_EQ(db.rows("select id, q, z, t, c, f, d, b from V order by id"),
              (QStringList{"1|1.50000000|12|垫圈|a  |0.25|2026-03-01 08:30:00.000|1",
                           "2|-0.00000001|-3||   |-1e+300|2026-12-31 23:59:59.997|0",
                           "3|NULL|NULL|NULL|NULL|NULL|NULL|NULL",
                           "4|99999999999999999999.99999999|0| x |abc|0|1900-01-01 00:00:00.000|1"}));
    // computed decimals at the scale SQL Server gives them (a product beyond 38 digits
    // keeps 7 decimals, so -0.00000002 prints as zero), a NULL of no type, an aggregate
    EXPECT_EQ(db.rows("select q * 2, z + 0.5, null, (select sum(q) from V) from V where id in (1, 2) order by id"),
              (QStringList{"3.0000000|12.5|NULL|100000000000000000001.49999998",
                           "0.0000000|-2.5|NULL|100000000000000000001.49999998"}));
}

TEST(TsqlResultValues, StoredDateTimeTextIsTheFormattedTick)
{
    // written as "yyyy-MM-dd hh:mm:ss.zzz" of the value at its 1/300-second tick
    const QDateTime cases[] = {
        QDateTime(QDate(2026, 3, 1), QTime(8, 30, 0), Qt::UTC),
        QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), Qt::UTC),   // rounds into the next year
        QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC),
        QDateTime(QDate(1753, 1, 1), QTime(0, 0, 0, 1), Qt::UTC),
        QDateTime(QDate(1, 1, 1), QTime(1, 2, 3, 5), Qt::UTC),
        QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59, 997), Qt::UTC),
        QDateTime(QDate(2024, 2, 29), QTime(12, 0, 0, 4), Qt::UTC),
        QDateTime(QDate(2024, 2, 29), QTime(12, 0, 0, 4)),                  // local time
        QDateTime(QDate(0, 1, 1), QTime(0, 0)),                             // invalid
        QDateTime(),
    };
    for (const QDateTime& dt : cases) {
        SCOPED_TRACE(dt.toString(Qt::ISODateWithMs).toStdString());
        EXPECT_EQ(canonicalDateTime(dt), roundToTicks(dt).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
    }
    EXPECT_EQ(canonicalDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999), Qt::UTC)), "2027-01-01 00:00:00.000");
}

TEST(TsqlResultValues, RepeatedDatesReadAsTheirOwnRows)
{
    // Rows that share a date and rows that differ only in the time of day or
    // in the text's form: each reads back as its own local date-time.
    ScratchDb db;
    db.ok("create table D (id int not null, d datetime null)\n"
          "insert D values (1, '20260301')\ninsert D values (2, '20260301')\n"
          "insert D values (3, '20260301 00:00:00.003')\ninsert D values (4, '2026-03-01')\n"
          "insert D values (5, null)\ninsert D values (6, '20260302')\ninsert D values (7, '20260301')\n");
    for (int pass = 0; pass < 2; ++pass) {
        const kvtsql::BatchResult r = db.ok("select id, d from D order by id");
        ASSERT_EQ(r.resultSets.size(), 1);
        const auto& rows = r.resultSets[0].rows;
        ASSERT_EQ(rows.size(), 7);
        const QDateTime day(QDate(2026, 3, 1), QTime(0, 0));
        const QVariant expected[] = {day, day, day.addMSecs(3), day, QVariant(), day.addDays(1), day};
        for (int i = 0; i < 7; ++i) {
            SCOPED_TRACE(pass * 10 + i);
            EXPECT_EQ(rows[i][1].isNull(), expected[i].isNull());
            if (expected[i].isNull()) continue;
            ASSERT_EQ(rows[i][1].typeId(), QMetaType::QDateTime);
            EXPECT_EQ(rows[i][1].toDateTime(), expected[i].toDateTime());
            EXPECT_EQ(rows[i][1].toDateTime().timeSpec(), Qt::LocalTime);
        }
    }
}
