// Dates as SQL Server keeps them: 1/300-second ticks, smalldatetime minutes, the
// date texts of the default language, day numbers and date parts.
#include "TsqlTestUtil.h"

using namespace kvtsql;
using namespace kvtsqltest;

TEST(TsqlDates, TicksMinutesAndDayNumbers)
{
    const RowsCase cases[] = {
        {"milliseconds round to ticks",
         "select cast('2024-01-05 10:11:12.001' as datetime), cast('2024-01-05 10:11:12.002' as datetime), "
         "cast('2024-01-05 10:11:12.005' as datetime), cast('2024-01-05 10:11:12.009' as datetime)",
         {"2024-01-05 10:11:12.000|2024-01-05 10:11:12.003|2024-01-05 10:11:12.007|2024-01-05 10:11:12.010"}},
        {".999 rolls over to the next second, and day", "select cast('2024-12-31 23:59:59.999' as datetime)", {"2025-01-01 00:00:00.000"}},
        {"a stored datetime is rounded", "create table D1 (d datetime) insert D1 values ('2024-01-05 10:11:12.009') select d from D1",
         {"2024-01-05 10:11:12.010"}},
        {"a datetime variable is rounded", "declare @d datetime = '2024-01-05 10:11:12.998' select @d", {"2024-01-05 10:11:12.997"}},
        {"smalldatetime rounds to the minute",
         "select cast('2024-01-05 10:11:29.998' as smalldatetime), cast('2024-01-05 10:11:29.999' as smalldatetime), "
         "cast('2024-01-05 23:59:30' as smalldatetime)",
         {"2024-01-05 10:11:00.000|2024-01-05 10:12:00.000|2024-01-06 00:00:00.000"}},
        {"a smalldatetime column and variable hold minutes",
         "create table D2 (s smalldatetime) insert D2 values ('2024-01-05 10:11:40') declare @s smalldatetime = '2024-01-05 08:00:31' "
         "select s, @s from D2",
         {"2024-01-05 10:12:00.000|2024-01-05 08:01:00.000"}},
        {"datetime as float is a day number with the time as its fraction",
         "select cast(cast('2024-01-05 18:00' as datetime) as float), cast(cast('1899-12-31' as datetime) as float)", {"45294.75|-1"}},
        {"datetime as int rounds to the nearest day",
         "select cast(cast('2024-01-05 11:59:59' as datetime) as int), cast(cast('2024-01-05 12:00' as datetime) as int)", {"45294|45295"}},
        {"the floor-a-date idiom", "select cast(floor(cast(cast('2024-01-05 18:30' as datetime) as float)) as datetime)",
         {"2024-01-05 00:00:00.000"}},
        {"day numbers back to dates", "select cast(45294 as datetime), cast(45294.75 as datetime), cast(-1 as datetime)",
         {"2024-01-05 00:00:00.000|2024-01-05 18:00:00.000|1899-12-31 00:00:00.000"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}

TEST(TsqlDates, TextsOfTheDefaultLanguage)
{
    const RowsCase cases[] = {
        {"month/day/year with slashes", "select cast('01/05/2024' as datetime), cast('1/5/2024 10:30' as datetime)",
         {"2024-01-05 00:00:00.000|2024-01-05 10:30:00.000"}},
        {"month-day-year with dashes or dots, two-digit years", "select cast('12-31-49' as datetime), cast('1.2.50' as datetime)",
         {"2049-12-31 00:00:00.000|1950-01-02 00:00:00.000"}},
        {"a 12-hour time", "select cast('1/5/2024 1:05PM' as datetime), cast('1/5/2024 12:00 AM' as datetime)",
         {"2024-01-05 13:05:00.000|2024-01-05 00:00:00.000"}},
        {"month names", "select cast('Jan 5 2024' as datetime), cast('January 5, 2024' as datetime), cast('5 jan 2024' as datetime), "
                        "cast('2024 Sep 30 10:00' as datetime)",
         {"2024-01-05 00:00:00.000|2024-01-05 00:00:00.000|2024-01-05 00:00:00.000|2024-09-30 10:00:00.000"}},
        {"a text compared with a datetime column", "create table D3 (d datetime) insert D3 values ('20240105') "
                                                   "select count(*) from D3 where d = 'Jan 5 2024' and d < '01/06/2024'", {"1"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}

TEST(TsqlDates, TextsThatAreNoDate)
{
    const char* texts[] = {"13/01/2024", "02/30/2024", "Foo 5 2024", "1/5/2024 25:00", "1/5/2024 13:00PM", "5 2024"};
    ScratchDb db;
    for (const char* t : texts) {
        BatchResult r = db.conn->execute(QStringLiteral("select cast('%1' as datetime)").arg(QString::fromUtf8(t)));
        ASSERT_EQ(r.errors.size(), 1) << t;
        EXPECT_EQ(r.errors[0].number, 241) << t;
    }
}

TEST(TsqlDates, DateParts)
{
    const RowsCase cases[] = {
        {"weeks start on Sunday", "select datepart(wk, '20240106'), datepart(wk, '20240107'), datepart(week, '20241231')", {"1|2|53"}},
        {"weekday, day of year, quarter", "select datepart(dw, '20240107'), datepart(dw, '20240106'), datepart(dy, '20240201'), "
                                          "datepart(qq, '20240501')", {"1|7|32|2"}},
        {"time parts", "select datepart(hh, '2024-01-01 13:14:15.123'), datepart(mi, '2024-01-01 13:14:15.123'), "
                       "datepart(ss, '2024-01-01 13:14:15.123'), datepart(ms, '2024-01-01 13:14:15.123')", {"13|14|15|123"}},
        {"date parts", "select datepart(yy, '20240229'), datepart(mm, '20240229'), datepart(dd, '20240229')", {"2024|2|29"}},
        {"ISO week", "select datepart(isowk, '20210103'), datepart(iso_week, '20210104')", {"53|1"}},
    };
    ScratchDb db;
    runRowsCases(db, cases);
}
