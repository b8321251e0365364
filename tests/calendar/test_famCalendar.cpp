// The month day grid: its layout, the holiday and period sets and the period
// commands on a selection.
#include "famCalendar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::int64_t D(int y, int m, int d)
{
    return TCalendarFrame::DayOf(QDate(y, m, d));
}

std::string Text(std::int64_t day)
{
    return TCalendarFrame::DateOf(day).toString("yyyy-MM-dd").toStdString();
}

// The periods as "begin..end" texts, in order.
std::vector<std::string> PeriodTexts(const TCalendarFrame& f)
{
    std::vector<std::string> r;
    for (int i = 0; i < f.PeriodCount(); ++i)
        r.push_back(Text(f.Periods(i).DateBegin) + ".." + Text(f.Periods(i).DateEnd));
    return r;
}

QPoint Cell(const TCalendarFrame& f, std::int64_t day)
{
    QPoint c(-1, -1);
    EXPECT_TRUE(f.DateToCell(day, c)) << Text(day);
    return c;
}

// Selects the cells from the first date's to the second date's (a rectangle).
void Select(TCalendarFrame& f, std::int64_t from, std::int64_t to)
{
    const QPoint a = Cell(f, from), b = Cell(f, to);
    f.grdCalendar->setSelection({a.x(), a.y(), b.x(), b.y()});
}

// A frame showing twelve months from November 2026.
struct Frame : TCalendarFrame {
    Frame()
    {
        SetDrawDateStart(QDate(2026, 11, 17));
        SetDrawMonths(12);
        resize(600, 400);
    }
};

} // namespace

TEST(CalendarFrame, MonthLayoutByTheWeekdayOfTheFirst)
{
    Frame f;
    EXPECT_EQ(f.DrawDateStart(), QDate(2026, 11, 1)); // only year and month are kept
    EXPECT_EQ(f.grdCalendar->rowCount(), 25);
    EXPECT_EQ(f.grdCalendar->colCount(), 22);

    // November 2026 starts on a Sunday (rows 1-2), February 2027 on a Monday (rows 7-8)
    const struct {
        int row;
        int firstCol, firstDay;   // the first dated cell of the row
        int lastCol, lastDay;     // the last dated cell of the row
    } rows[] = {
        {1, 7, 1, 21, 15}, {2, 1, 16, 15, 30}, // Sunday: 1-15, 16 onward
        {7, 1, 1, 21, 21}, {8, 1, 22, 7, 28},  // Monday: 1-21, 22 onward
    };
    for (const auto& r : rows) {
        const int month = r.row <= 2 ? 11 : 2, year = r.row <= 2 ? 2026 : 2027;
        EXPECT_EQ(f.CellToDate(r.firstCol - 1, r.row), 0) << r.row;
        EXPECT_EQ(f.CellToDate(r.firstCol, r.row), D(year, month, r.firstDay)) << r.row;
        EXPECT_EQ(f.CellToDate(r.lastCol, r.row), D(year, month, r.lastDay)) << r.row;
        if (r.lastCol < 21) {
            EXPECT_EQ(f.CellToDate(r.lastCol + 1, r.row), 0) << r.row;
        }
    }
    EXPECT_EQ(f.CellToDate(0, 1), 0);  // month column
    EXPECT_EQ(f.CellToDate(5, 0), 0);  // header row
    EXPECT_EQ(f.CellToDate(5, 25), 0); // past the last month

    // every shown day has one cell and reads back from it
    for (std::int64_t d = D(2026, 11, 1); d <= D(2027, 10, 31); ++d) {
        QPoint c;
        ASSERT_TRUE(f.DateToCell(d, c)) << Text(d);
        ASSERT_EQ(f.CellToDate(c.x(), c.y()), d) << Text(d);
    }
    QPoint c;
    EXPECT_FALSE(f.DateToCell(D(2026, 10, 31), c));
    EXPECT_FALSE(f.DateToCell(D(2027, 11, 1), c));
}

TEST(CalendarFrame, HolidaysStayUniqueAndInOrder)
{
    Frame f;
    for (std::int64_t d : {D(2026, 12, 5), D(2026, 11, 7), D(2026, 12, 5), D(2026, 11, 28), std::int64_t(0), std::int64_t(-3)})
        f.AddHoliday(d);
    ASSERT_EQ(f.HolidayCount(), 3);
    EXPECT_EQ(f.Holidays(0), D(2026, 11, 7));
    EXPECT_EQ(f.Holidays(1), D(2026, 11, 28));
    EXPECT_EQ(f.Holidays(2), D(2026, 12, 5));

    // marking a selection adds its days once; clearing a selection removes the marked ones in it
    Select(f, D(2026, 11, 26), D(2026, 11, 29));
    f.AddSelectionToHoliday();
    EXPECT_EQ(f.HolidayCount(), 6); // 26, 27, 29 are new; 28 was held
    Select(f, D(2026, 11, 27), D(2026, 11, 28));
    f.ClearHolidaysSelected();
    int pos;
    EXPECT_FALSE(f.FindHolidayPos(D(2026, 11, 27), pos));
    EXPECT_FALSE(f.FindHolidayPos(D(2026, 11, 28), pos));
    EXPECT_TRUE(f.FindHolidayPos(D(2026, 11, 29), pos));
    EXPECT_EQ(f.HolidayCount(), 4);
    // removed days can be marked again
    f.AddHoliday(D(2026, 11, 28));
    EXPECT_EQ(f.HolidayCount(), 5);
    f.ClearHolidaysAll();
    EXPECT_EQ(f.HolidayCount(), 0);
}

TEST(CalendarFrame, AddingAPeriodClearsItsRange)
{
    const auto d = [](int m, int day) { return D(2027, m, day); };
    const struct {
        const char* name;
        std::vector<std::pair<std::int64_t, std::int64_t>> before;
        std::pair<std::int64_t, std::int64_t> added;
        std::vector<std::string> after;
    } cases[] = {
        {"inside one splits it", {{d(3, 1), d(3, 31)}}, {d(3, 10), d(3, 12)},
         {"2027-03-01..2027-03-09", "2027-03-10..2027-03-12", "2027-03-13..2027-03-31"}},
        {"over its end cuts it short", {{d(3, 1), d(3, 10)}, {d(3, 20), d(3, 25)}}, {d(3, 8), d(3, 15)},
         {"2027-03-01..2027-03-07", "2027-03-08..2027-03-15", "2027-03-20..2027-03-25"}},
        {"over its start moves it", {{d(3, 10), d(3, 20)}}, {d(3, 5), d(3, 12)},
         {"2027-03-05..2027-03-12", "2027-03-13..2027-03-20"}},
        {"covering several removes them", {{d(3, 1), d(3, 2)}, {d(3, 3), d(3, 4)}, {d(3, 5), d(3, 9)}, {d(3, 10), d(3, 11)}},
         {d(3, 2), d(3, 9)}, {"2027-03-01..2027-03-01", "2027-03-02..2027-03-09", "2027-03-10..2027-03-11"}},
        {"the same range replaces it", {{d(3, 1), d(3, 7)}}, {d(3, 1), d(3, 7)}, {"2027-03-01..2027-03-07"}},
        {"before all goes first", {{d(3, 10), d(3, 11)}}, {d(3, 1), d(3, 2)},
         {"2027-03-01..2027-03-02", "2027-03-10..2027-03-11"}},
        {"an end before the begin is ignored", {{d(3, 10), d(3, 11)}}, {d(3, 5), d(3, 4)}, {"2027-03-10..2027-03-11"}},
    };
    for (const auto& c : cases) {
        Frame f;
        for (const auto& [b, e] : c.before)
            f.AddPeriod(b, e);
        f.AddPeriod(c.added.first, c.added.second);
        EXPECT_EQ(PeriodTexts(f), c.after) << c.name;
    }
}

TEST(CalendarFrame, PeriodSearch)
{
    Frame f;
    f.AddPeriod(D(2027, 3, 1), D(2027, 3, 7));
    f.AddPeriod(D(2027, 3, 15), D(2027, 3, 15));
    int pos = -1;
    EXPECT_TRUE(f.FindPeriodPos(D(2027, 3, 7), pos));
    EXPECT_EQ(pos, 0);
    EXPECT_FALSE(f.FindPeriodPos(D(2027, 3, 10), pos));
    EXPECT_EQ(pos, 1); // the first period after the date
    EXPECT_TRUE(f.FindPeriodPos(D(2027, 3, 15), pos));
    EXPECT_EQ(pos, 1);
    EXPECT_FALSE(f.FindPeriodPos(D(2027, 4, 1), pos));
    EXPECT_EQ(pos, 2);
    const QPoint c = Cell(f, D(2027, 3, 3));
    EXPECT_EQ(f.FindPeriodIndex(c.x(), c.y()), 0);
    EXPECT_EQ(f.FindPeriodIndex(0, c.y()), -1);
}

TEST(CalendarFrame, DayWeekMonthAndSpanCommands)
{
    {
        // days: new one-day periods, a longer period carved, a one-day period left alone
        Frame f;
        f.AddPeriod(D(2027, 3, 1), D(2027, 3, 5));
        f.AddPeriod(D(2027, 3, 7), D(2027, 3, 7));
        Select(f, D(2027, 3, 4), D(2027, 3, 8));
        f.AddSelectionToPeriodDay();
        EXPECT_EQ(PeriodTexts(f), (std::vector<std::string>{"2027-03-01..2027-03-03", "2027-03-04..2027-03-04",
                                                            "2027-03-05..2027-03-05", "2027-03-06..2027-03-06",
                                                            "2027-03-07..2027-03-07", "2027-03-08..2027-03-08"}));
        EXPECT_EQ(f.CellToDate(f.grdCalendar->col(), f.grdCalendar->row()), D(2027, 3, 9)); // the day after
    }
    {
        // weeks: ten cells of one row from a date give two weeks
        Frame f;
        const QPoint a = Cell(f, D(2027, 3, 2));
        f.grdCalendar->setSelection({a.x(), a.y(), a.x() + 9, a.y()});
        ASSERT_TRUE(f.SelectionCanAddWeek());
        f.AddSelectionToPeriodWeek();
        EXPECT_EQ(PeriodTexts(f), (std::vector<std::string>{"2027-03-02..2027-03-08", "2027-03-09..2027-03-15"}));
        // a selection over two rows is no week selection
        Select(f, D(2027, 3, 2), D(2027, 3, 25));
        EXPECT_FALSE(f.SelectionCanAddWeek());
        f.AddSelectionToPeriodWeek();
        EXPECT_EQ(f.PeriodCount(), 2);
    }
    {
        // months: as long as the first day's month, but never from January into March
        const struct {
            std::int64_t from;
            const char* period;
        } months[] = {
            {D(2027, 1, 31), "2027-01-31..2027-02-28"},
            {D(2027, 1, 29), "2027-01-29..2027-02-28"},
            {D(2027, 1, 15), "2027-01-15..2027-02-14"},
            {D(2027, 2, 1), "2027-02-01..2027-02-28"},  // a month starting on a Monday
            {D(2026, 11, 1), "2026-11-01..2026-11-30"}, // a month starting on a Sunday
            {D(2027, 3, 31), "2027-03-31..2027-04-30"},
        };
        for (const auto& m : months) {
            Frame f;
            f.SetDrawDateStart(QDate(2026, 11, 1));
            Select(f, m.from, m.from);
            f.AddSelectionToPeriodMonth();
            EXPECT_EQ(PeriodTexts(f), std::vector<std::string>{m.period}) << Text(m.from);
        }
        Frame leap;
        leap.SetDrawDateStart(QDate(2028, 1, 1));
        Select(leap, D(2028, 1, 31), D(2028, 1, 31));
        leap.AddSelectionToPeriodMonth();
        EXPECT_EQ(PeriodTexts(leap), std::vector<std::string>{"2028-01-31..2028-02-29"});
    }
    {
        // spans: each run of consecutive selected days, in walking order
        Frame f;
        const QPoint a = Cell(f, D(2027, 3, 8)), b = Cell(f, D(2027, 3, 24));
        f.grdCalendar->setSelection({a.x(), a.y(), a.x() + 2, b.y()}); // 8-10 and 29-31 in two rows
        f.AddSelectionToPeriodSpan();
        EXPECT_EQ(PeriodTexts(f), (std::vector<std::string>{"2027-03-08..2027-03-10", "2027-03-29..2027-03-31"}));
    }
}

TEST(CalendarFrame, EmptySelectionsChangeNothing)
{
    Frame f;
    // the blank cells before the first of November 2026 (a Sunday, column 7)
    f.grdCalendar->setSelection({1, 1, 6, 1});
    EXPECT_TRUE(f.SelectionIsEmpty());
    EXPECT_FALSE(f.SelectionCanAddWeek());
    EXPECT_FALSE(f.SelectionCanAddMonth());
    f.AddSelectionToPeriodDay();
    f.AddSelectionToPeriodSpan();
    f.AddSelectionToPeriodWeek();
    f.AddSelectionToPeriodMonth();
    EXPECT_EQ(f.PeriodCount(), 0);
}

TEST(CalendarFrame, MergeExtendsThePriorPeriod)
{
    Frame f;
    f.AddPeriod(D(2027, 3, 1), D(2027, 3, 7));
    f.AddPeriod(D(2027, 3, 10), D(2027, 3, 12));
    f.AddPeriod(D(2027, 3, 20), D(2027, 3, 21));

    Select(f, D(2027, 3, 9), D(2027, 3, 9)); // 8 is in no period
    EXPECT_FALSE(f.SelectionCanMerged());
    Select(f, D(2027, 3, 11), D(2027, 3, 11)); // 10 is in the same period
    EXPECT_FALSE(f.SelectionCanMerged());

    Select(f, D(2027, 3, 8), D(2027, 3, 11));
    ASSERT_TRUE(f.SelectionCanMerged());
    f.MergePeriodWithPrior();
    EXPECT_EQ(PeriodTexts(f), (std::vector<std::string>{"2027-03-01..2027-03-11", "2027-03-12..2027-03-12",
                                                        "2027-03-20..2027-03-21"}));
    EXPECT_EQ(f.CellToDate(f.grdCalendar->col(), f.grdCalendar->row()), D(2027, 3, 12));

    // whole rows below the first: from the top row's first day to the bottom row's last
    const QPoint top = Cell(f, D(2027, 3, 13)), bottom = Cell(f, D(2027, 3, 31));
    ASSERT_EQ(top.y() + 1, bottom.y());
    f.grdCalendar->setSelection({1, top.y(), 21, bottom.y()}); // March 2027 starts on a Monday: 1-21, 22-31
    EXPECT_FALSE(f.SelectionCanMerged()); // the top row's first day, 1 March, has no period before it
    f.AddPeriod(D(2027, 2, 20), D(2027, 2, 28));
    EXPECT_TRUE(f.SelectionCanMerged()); // 28 February is in a period, 1 March in another one
    f.MergePeriodWithPrior();
    EXPECT_EQ(PeriodTexts(f), std::vector<std::string>{"2027-02-20..2027-03-31"});
}

TEST(CalendarFrame, ClearingRemovesWholePeriods)
{
    Frame f;
    f.AddPeriod(D(2027, 3, 1), D(2027, 3, 7));
    f.AddPeriod(D(2027, 3, 8), D(2027, 3, 14));
    f.AddPeriod(D(2027, 3, 15), D(2027, 3, 21));
    Select(f, D(2027, 3, 7), D(2027, 3, 8)); // one day of each of the first two
    f.ClearPeriodsSelected();
    EXPECT_EQ(PeriodTexts(f), std::vector<std::string>{"2027-03-15..2027-03-21"});
    f.AddPeriod(D(2027, 3, 1), D(2027, 3, 2));
    EXPECT_EQ(f.PeriodCount(), 2);
    f.ClearPeriodsAll();
    EXPECT_EQ(f.PeriodCount(), 0);
}
