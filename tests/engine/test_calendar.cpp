// Plan periods, hints texts and working-day arithmetic.
#include "untMRPCalendar.h"
#include "untMRPUtils.h"
#include "Exceptions.h"
#include <cmath>
#include <cstdio>
#include <limits>
#include <QDate>
#include <gtest/gtest.h>

using namespace untMRPUtils;

namespace {

std::int64_t Day(int y, int m, int d)
{
    return QDate(1899, 12, 30).daysTo(QDate(y, m, d));
}

// Every Saturday and Sunday between two dates, plus extra days off.
TInt64DynArray Weekends(std::int64_t from, std::int64_t to, std::vector<std::int64_t> extra = {})
{
    TInt64DynArray h;
    for (std::int64_t d = from; d <= to; ++d) {
        const int dow = QDate(1899, 12, 30).addDays(d).dayOfWeek();
        if (dow >= 6 || std::find(extra.begin(), extra.end(), d) != extra.end())
            h.push_back(d);
    }
    return h;
}

} // namespace

TEST(PlanPeriods, TextRoundTripAndShape)
{
    TPlanPeriods p;
    ASSERT_TRUE(TextToPlanPeriods(QStringLiteral("45292|45299|"), p));
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].PeriodKind, ppkDelay);
    EXPECT_EQ(p[0].DateBegin, 0);
    EXPECT_EQ(p[0].DateEnd, Day(2023, 12, 31));
    EXPECT_EQ(p[1].PeriodKind, ppkNormal);
    EXPECT_EQ(p[1].DateBegin, Day(2024, 1, 1));
    EXPECT_EQ(p[1].DateEnd, Day(2024, 1, 7));
    EXPECT_EQ(p[2].PeriodKind, ppkExceed);
    EXPECT_EQ(p[2].DateBegin, Day(2024, 1, 8));
    EXPECT_EQ(p[2].DateEnd, Day(9999, 12, 31));
    EXPECT_EQ(PlanPeriodsToText(p), QStringLiteral("45292|45299|"));
    EXPECT_EQ(GetPlanBeginDate(p), Day(2024, 1, 1));
    EXPECT_EQ(GetPlanEndDate(p), Day(2024, 1, 7));

    ASSERT_TRUE(TextToPlanPeriods(QStringLiteral("45292|45299|45306|"), p));
    EXPECT_EQ(p.size(), 4u);
    EXPECT_EQ(PlanPeriodsToText(p), QStringLiteral("45292|45299|45306|"));
}

TEST(PlanPeriods, EmptyTextGivesOneElement)
{
    for (const QString& text : {QString(), QStringLiteral(" | "), QStringLiteral("|")}) {
        TPlanPeriods p(5);
        EXPECT_FALSE(TextToPlanPeriods(text, p)) << text.toStdString();
        ASSERT_EQ(p.size(), 1u);
        EXPECT_EQ(GetPlanBeginDate(p), 0);
        EXPECT_EQ(GetPlanEndDate(p), 0);
        EXPECT_EQ(PlanPeriodsToText(p), QString());
    }
}

TEST(PlanPeriods, FindIndexIgnoresTimeOfDay)
{
    TPlanPeriods p;
    ASSERT_TRUE(TextToPlanPeriods(QStringLiteral("45292|45299|45306|"), p));
    struct Case { double date; int index; };
    const Case cases[] = {
        {double(Day(2023, 12, 31)) + 0.75, 0},
        {double(Day(2024, 1, 7)) + 0.75, 1}, // 18:00 on the last day of period 1
        {double(Day(2024, 1, 8)), 2},
        {double(Day(2024, 1, 14)) + 0.99, 2},
        {double(Day(2030, 5, 5)), 3},
        {double(Day(9999, 12, 31)) + 0.5, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindPlanPeriodIndex(p, c.date), c.index) << c.date;
    EXPECT_EQ(FindPlanPeriodIndex(TPlanPeriods{}, 45000), -1);
}

TEST(PlanPeriods, Captions)
{
    TPlanPeriods p;
    // 2024-03-01 is a Friday: one day, then a week, then the rest.
    const QString text = QString::number(Day(2024, 3, 1)) + "|" + QString::number(Day(2024, 3, 2)) + "|"
                         + QString::number(Day(2024, 3, 9)) + "|";
    ASSERT_TRUE(TextToPlanPeriods(text, p));
    EXPECT_EQ(BuildPlanPeriodCaptions(p, 0), QStringLiteral("前期"));
    EXPECT_EQ(BuildPlanPeriodCaptions(p, 1), QStringLiteral("3/1 五"));
    EXPECT_EQ(BuildPlanPeriodCaptions(p, 2), QStringLiteral("3/2-3/8"));
    EXPECT_EQ(BuildPlanPeriodCaptions(p, 3), QStringLiteral("后期"));
}

TEST(PlanPeriods, PeriodQtyValue)
{
    TPlanPeriods p;
    ASSERT_TRUE(TextToPlanPeriods(QStringLiteral("45292|45299|45306|"), p));
    const QString hints = QStringLiteral("00=5\r\n02=7.5\r\n0A=");
    EXPECT_EQ(GetPeriodQtyValue(p, 0, hints, 99, 45300), QVariant(5.0));
    EXPECT_EQ(GetPeriodQtyValue(p, 2, hints, 99, 45300), QVariant(7.5));
    EXPECT_TRUE(GetPeriodQtyValue(p, 1, hints, 99, 45300).isNull());
    EXPECT_TRUE(GetPeriodQtyValue(p, 10, hints, 99, 45300).isNull());
    // Without hints the row's own date decides.
    EXPECT_EQ(GetPeriodQtyValue(p, 2, QString(), 12, 45300.75), QVariant(12.0));
    EXPECT_TRUE(GetPeriodQtyValue(p, 1, QString(), 12, 45300).isNull());
    EXPECT_TRUE(GetPeriodQtyValue(p, 2, QString(), 0, 45300).isNull());
    EXPECT_TRUE(GetPeriodQtyValue(p, 2, QString(), QVariant(), 45300).isNull());
}

TEST(HintTexts, AdjustHintQty)
{
    struct Case { const char* hints; double delta; const char* result; };
    const Case cases[] = {
        {"00=5\r\n01=10", -12, "00=3\r\n"},
        {"00=5\r\n01=10", +4, "00=9\r\n01=10"},
        {"00=5\r\n01=10\r\n", +4, "00=9\r\n01=10\r\n"},
        {"00=5\r\n01=10", -15, ""},
        {"00=5\r\n01=10", -10, "00=5\r\n"},
        {"00=5\r\n01=10", -3, "00=5\r\n01=7\r\n"},
        {"00=5\r\n01=10", 0, "00=5\r\n01=10"},
        {"", 5, ""},
        {"no key", 5, "no key"},
        {"0A=x\r\n01=1", 2, "0A=2\r\n01=1"},
    };
    for (const Case& c : cases) {
        QString out;
        AdjustHintQty(QString::fromUtf8(c.hints), out, c.delta);
        EXPECT_EQ(out, QString::fromUtf8(c.result)) << c.hints << " by " << c.delta;
    }
}

TEST(HintTexts, ParseBuildAndAdd)
{
    const auto e = ParseHints(QStringLiteral("0A=2\r\n00=1.5\r\nzz\r\n01=x\r\n00=1"));
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].Period, 0);
    EXPECT_DOUBLE_EQ(e[0].Qty, 2.5);
    EXPECT_EQ(e[1].Period, 10);
    EXPECT_EQ(BuildHints({{10, 2}, {0, 0.1 + 0.2}, {3, 0}}), QStringLiteral("00=0.3\r\n0A=2"));
    EXPECT_EQ(AddHintQty(QStringLiteral("01=4"), 1, -4), QString());
    EXPECT_EQ(AddHintQty(QStringLiteral("02=4"), 1, 3), QStringLiteral("01=3\r\n02=4"));
    EXPECT_EQ(PeriodKey(10), QStringLiteral("0A"));
    EXPECT_EQ(PeriodKey(36), QStringLiteral("10"));
}

TEST(HintTexts, LineEndsBlanksAndCase)
{
    // lines ended by CR LF, a lone CR or LF; keys in either case and with
    // blanks; the same period twice adds up; bad lines are passed over
    const struct {
        const char* hints;
        std::vector<std::pair<int, double>> entries;
    } cases[] = {
        {"", {}},
        {"01=5\r\n02=3", {{1, 5}, {2, 3}}},
        {"01=5\r02=3\n03=1\r\n", {{1, 5}, {2, 3}, {3, 1}}},
        {"0a=2\n0A=1", {{10, 3}}},
        {" 1 = 2.5 \r\n\r\n=4\r\n-1=3\r\n01=\r\n0_=1", {{1, 2.5}}},
        {"ZZZZ=1\r\n1000=1\nzzzzz=7", {{46656, 1}}},
    };
    for (const auto& c : cases) {
        std::vector<std::pair<int, double>> got;
        for (const THintEntry& e : ParseHints(QString::fromUtf8(c.hints)))
            got.emplace_back(e.Period, e.Qty);
        std::vector<std::pair<int, double>> want = c.entries;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.hints;
    }
}

TEST(WorkDays, HolidaysStatement)
{
    EXPECT_EQ(BuildCalendarHolidaysSQL(3, Day(2024, 4, 1) + 0.5),
              QStringLiteral("select CalHoliday from QZ_MRP_Holidays with(nolock) where CalIID=3 and "
                             "CalHoliday>='20240401' order by CalHoliday"));
}

TEST(WorkDays, FindDateIndex)
{
    const TInt64DynArray h{10, 12, 12, 15};
    EXPECT_EQ(FindDateIndex(h, 9), 0);
    EXPECT_EQ(FindDateIndex(h, 10), 0);
    EXPECT_EQ(FindDateIndex(h, 11), 1);
    EXPECT_EQ(FindDateIndex(h, 12), 1);
    EXPECT_EQ(FindDateIndex(h, 16), 4);
    EXPECT_EQ(FindDateIndex({}, 16), 0);
}

TEST(WorkDays, ShiftAcrossWeekendsAndHolidays)
{
    // Weekends of 2024 plus Wednesday 2024-05-01 off.
    const TInt64DynArray h = Weekends(Day(2024, 1, 1), Day(2024, 12, 31), {Day(2024, 5, 1)});
    struct Case { std::int64_t date; int days; std::int64_t expected; };
    const Case cases[] = {
        {Day(2024, 4, 15), 5, Day(2024, 4, 8)},    // Monday back 5 -> the Monday before
        {Day(2024, 4, 15), 1, Day(2024, 4, 12)},   // Monday back 1 -> Friday
        {Day(2024, 5, 3), 2, Day(2024, 4, 30)},    // Friday back 2 over the holiday -> Tuesday
        // Moving later gives the end of the range [date, result) of n working days.
        {Day(2024, 4, 8), -5, Day(2024, 4, 13)},   // Monday on 5 -> Saturday
        {Day(2024, 4, 12), -2, Day(2024, 4, 16)},  // Friday on 2 over the weekend -> Tuesday
        {Day(2024, 4, 30), -2, Day(2024, 5, 3)},   // Tuesday on 2 over the holiday -> Friday
        {Day(2024, 4, 15), 0, Day(2024, 4, 15)},
        {Day(2000, 1, 5), 10, Day(2000, 1, 1)},    // never earlier than 2000-01-01
        {Day(1999, 12, 20), 10, Day(1999, 12, 20)},
        {Day(1999, 12, 20), -3, Day(2000, 1, 1)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ShiftWorkDays(h, c.days, c.date), double(c.expected)) << c.date << " " << c.days;
    // Without holidays the shift is plain calendar days.
    EXPECT_EQ(ShiftWorkDays({}, 3, Day(2024, 4, 15)), double(Day(2024, 4, 12)));
}

TEST(WorkDays, CountBetween)
{
    const TInt64DynArray h = Weekends(Day(2024, 1, 1), Day(2024, 12, 31), {Day(2024, 5, 1)});
    struct Case { std::int64_t a, b; int expected; };
    const Case cases[] = {
        {Day(2024, 4, 15), Day(2024, 4, 15), 0},
        {Day(2024, 4, 15), Day(2024, 4, 8), 5},
        {Day(2024, 4, 8), Day(2024, 4, 15), -5},
        {Day(2024, 5, 3), Day(2024, 4, 29), 3},
        {Day(2024, 4, 29), Day(2024, 5, 3), -3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WorkDaysBetween(h, c.a, c.b), c.expected) << c.a << " " << c.b;
    // A shift and the count agree: [r, d) holds exactly n working days.
    for (int n = 1; n < 15; ++n) {
        const auto back = static_cast<std::int64_t>(ShiftWorkDays(h, n, Day(2024, 5, 6)));
        EXPECT_EQ(WorkDaysBetween(h, Day(2024, 5, 6), back), n);
        const auto on = static_cast<std::int64_t>(ShiftWorkDays(h, -n, Day(2024, 4, 24)));
        EXPECT_EQ(WorkDaysBetween(h, Day(2024, 4, 24), on), -n);
    }
}

TEST(WorkDays, VariableLeadTime)
{
    EXPECT_EQ(CalcVarLeadTime(2, 3, 100, 250), 10);
    EXPECT_EQ(CalcVarLeadTime(2, 3, 0, 250), 2);   // lot 0: fixed only
    EXPECT_EQ(CalcVarLeadTime(2, 0, 100, 250), 2);
    EXPECT_EQ(CalcVarLeadTime(2, 3, -5, 250), 2);
    EXPECT_EQ(CalcVarLeadTime(0, 1, 0.1, 0.3), 3); // no residue day
}

TEST(Numbers, RoundingAndSQLText)
{
    EXPECT_EQ(CeilQty(3 * 0.1 / 0.1), 3);
    EXPECT_EQ(RoundItemQty(3 * 0.1 / 0.1, 1, 0), 3);
    EXPECT_EQ(RoundItemQty(2.0000001, 1, 0), 3);
    EXPECT_DOUBLE_EQ(RoundItemQty(0.335, 0, 2), 0.34);
    EXPECT_DOUBLE_EQ(RoundItemQty(1.005, 0, 2), 1.01);
    EXPECT_DOUBLE_EQ(RoundItemQty(0.123456789, 0, 12), 0.12345679); // decimals beyond 8 count as 8
    // Planned quantities go up to the unit on the eight decimals a quantity keeps.
    EXPECT_EQ(CeilItemQty(2.0000000001, 1, 0), 2);
    EXPECT_EQ(CeilItemQty(2.00000001, 1, 0), 3);
    EXPECT_EQ(CeilItemQty(74.5, 1, 0), 75);
    EXPECT_EQ(CeilItemQty(3.456, 0, 2), 3.46);
    EXPECT_EQ(CeilItemQty(1 - 0.7, 0, 1), 0.3);
    EXPECT_EQ(CeilItemQty(0.123456781, 0, 12), 0.12345678);
    EXPECT_EQ(CeilItemQty(-2.5, 1, 0), -2);
    EXPECT_DOUBLE_EQ(TruncItemQty(6.999, 1, 0), 6);
    EXPECT_DOUBLE_EQ(TruncItemQty(0.7 * 100, 0, 2), 70);
    EXPECT_EQ(SQLQty(1.5), QStringLiteral("1.50000000"));
    EXPECT_EQ(SQLQty(-0.0), QStringLiteral("0.00000000"));
    EXPECT_EQ(SQLQty(-1e-12), QStringLiteral("0.00000000"));
    EXPECT_THROW(SQLQty(std::numeric_limits<double>::infinity()), Exception);
    EXPECT_THROW(SQLQty(std::nan("")), Exception);
    EXPECT_EQ(QuoteSQL(QStringLiteral("a'b")), QStringLiteral("'a''b'"));
    EXPECT_EQ(DayToDateStr(Day(2024, 1, 7)), QStringLiteral("20240107"));
}

TEST(Numbers, DayTexts)
{
    const struct {
        QDate date;
        const char* text;
    } cases[] = {
        {QDate(1899, 12, 30), "18991230"}, {QDate(2000, 2, 29), "20000229"}, {QDate(2024, 12, 31), "20241231"},
        {QDate(999, 7, 1), "09990701"},    {QDate(9999, 12, 31), "99991231"}, {QDate(10000, 1, 1), "100000101"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DayToDateStr(QDate(1899, 12, 30).daysTo(c.date)), QLatin1String(c.text)) << c.text;
}

TEST(Numbers, QuantityTexts)
{
    // whole numbers on either side of fifteen digits, signs, fractions and residues
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0, "0"}, {-0.0, "0"}, {3, "3"}, {-3, "-3"}, {120000, "120000"}, {999999999999999, "999999999999999"},
        {-999999999999999, "-999999999999999"}, {1e15, "1000000000000000"}, {2.5, "2.5"}, {-2.5, "-2.5"},
        {0.1 + 0.2, "0.3"}, {3 * 0.1 / 0.1, "3"}, {1e-9, "0.000000001"}, {12345.678901234, "12345.678901234"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FloatToText(c.value), QLatin1String(c.text)) << c.value;
    EXPECT_THROW(FloatToText(std::numeric_limits<double>::infinity()), Exception);
}

TEST(Numbers, ReadsDecimalsAsTheGeneralReader)
{
    // plain decimals take a short way; every other form must still read as
    // the trimmed text's toDouble reads it, failures included
    const char* texts[] = {
        "12.5", "-3", "0", "-0", "007", " 4.25 ", "\t1\t", "0.1", "0.30000000000000004", "123456789.12345678",
        "99999999999999999999", "1.", ".5", "+2", "1e3", "-1E-2", "1,5", "", " ", "-", "1.2.3", "--1", "1-", "1 2",
        "inf", "nan", "\r5\n", "0x10", "12345678901234567890123456789012345678901234567890",
    };
    for (const char* t : texts) {
        const QString text = QString::fromUtf8(t);
        bool wantOk = false;
        double want = text.trimmed().toDouble(&wantOk);
        wantOk = wantOk && std::isfinite(want);
        if (!wantOk)
            want = 0;
        bool ok = !wantOk;
        const double got = TextToFloat(text, &ok);
        EXPECT_EQ(ok, wantOk) << t;
        EXPECT_EQ(got, want) << t;
        EXPECT_EQ(std::signbit(got), std::signbit(want)) << t;
    }
    // digits outside Latin-1 (full-width) are no plain decimal
    bool ok = true;
    TextToFloat(QStringLiteral("\uFF11"), &ok);
    EXPECT_FALSE(ok);
}

TEST(Numbers, QuantityTextsAsPrintf)
{
    // SQL quantities are printf's "%.8f" text, zero without a sign; hints
    // quantities its "%.15g", or "%.10f" without trailing zeros where that
    // would show an exponent
    const double values[] = {0.125, 2.675, 1.005, -1.5, 1e-9, 5e-9, -5e-9, 1.23e-12, -1.23e-12, 0.1 + 0.2,
                             123456789.123456789, 1e15 + 0.5, 1e20, -1e20, 4503599627370497.5, 1e300, 1.0 / 3,
                             -2.0 / 3, 7, 0.000123456789012345678};
    for (double v : values) {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.8f", v);
        QString want = QLatin1String(buf);
        if (want == QLatin1String("-0.00000000"))
            want = QStringLiteral("0.00000000");
        EXPECT_EQ(SQLQty(v), want) << v;

        std::snprintf(buf, sizeof buf, "%.15g", v);
        want = QLatin1String(buf);
        if (want.contains(QLatin1Char('e'))) {
            std::snprintf(buf, sizeof buf, "%.10f", v);
            want = QLatin1String(buf);
            while (want.contains(QLatin1Char('.')) && want.endsWith(QLatin1Char('0')))
                want.chop(1);
            if (want.endsWith(QLatin1Char('.')))
                want.chop(1);
        }
        if (want == QLatin1String("-0"))
            want = QStringLiteral("0");
        EXPECT_EQ(FloatToText(v), want) << v;
    }
}

TEST(Numbers, BatchSplitsBeyondLimit)
{
    TMRPSQLBatch batch({}, QStringLiteral("declare @x int\r"));
    const QString stmt = QString(1000, QLatin1Char('x')) + "\r\n";
    for (int i = 0; i < 70; ++i)
        batch.Add(stmt);
    ASSERT_EQ(batch.Executed().size(), 1);
    EXPECT_LE(batch.Executed()[0].size(), TMRPSQLBatch::MaxBatchChars);
    EXPECT_GT(batch.Executed()[0].size(), TMRPSQLBatch::MaxBatchChars - stmt.size());
    EXPECT_TRUE(batch.Executed()[0].startsWith("declare @x int\r"));
    batch.Flush();
    ASSERT_EQ(batch.Executed().size(), 2);
    EXPECT_TRUE(batch.Executed()[1].startsWith("declare @x int\r"));
    EXPECT_TRUE(batch.Text().isEmpty());
    batch.Flush();
    EXPECT_EQ(batch.Executed().size(), 2);
}

TEST(WorkDays, NearestWorkingDaysAndLaterShifts)
{
    // Weekends of 2024 plus Wednesday 2024-05-01 off; the holiday given twice.
    TInt64DynArray h = Weekends(Day(2024, 1, 1), Day(2024, 12, 31), {Day(2024, 5, 1)});
    h.insert(std::lower_bound(h.begin(), h.end(), Day(2024, 5, 1)), Day(2024, 5, 1));
    struct Case { std::int64_t day, before, after; };
    const Case cases[] = {
        {Day(2024, 4, 17), Day(2024, 4, 17), Day(2024, 4, 17)},   // a working day is itself
        {Day(2024, 4, 13), Day(2024, 4, 12), Day(2024, 4, 15)},   // Saturday
        {Day(2024, 4, 14), Day(2024, 4, 12), Day(2024, 4, 15)},   // Sunday
        {Day(2024, 5, 1), Day(2024, 4, 30), Day(2024, 5, 2)},     // the holiday
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(IsWorkDay(h, c.before));
        EXPECT_EQ(WorkDayOnOrBefore(h, c.day), c.before) << c.day;
        EXPECT_EQ(WorkDayOnOrAfter(h, c.day), c.after) << c.day;
    }
    EXPECT_FALSE(IsWorkDay(h, Day(2024, 5, 1)));
    // A lead time of n working days from a day ends on a working day.
    EXPECT_EQ(WorkDaysLater(h, 1, Day(2024, 4, 12)), Day(2024, 4, 15));   // Friday and one day: Monday
    EXPECT_EQ(WorkDaysLater(h, 5, Day(2024, 4, 8)), Day(2024, 4, 15));    // Monday and five: the next Monday
    EXPECT_EQ(WorkDaysLater(h, 2, Day(2024, 4, 29)), Day(2024, 5, 2));    // over the holiday
    EXPECT_EQ(WorkDaysLater(h, 0, Day(2024, 4, 13)), Day(2024, 4, 13));
    // The start of a lead time is a working day too.
    EXPECT_EQ(LeadTimeStart(h, 1, Day(2024, 4, 15)), Day(2024, 4, 12));
    // Dates and day numbers.
    EXPECT_EQ(DayOfDate(QDate(2027, 1, 11)), 46398);
    EXPECT_EQ(DateOfDay(46398), QDate(2027, 1, 11));
    // Rest days are read from the earliest day a shift can give.
    TPlanPeriods periods;
    ASSERT_TRUE(TextToPlanPeriods(QStringLiteral("46391|46398|46405|"), periods));
    EXPECT_EQ(CalendarFirstDay(periods), double(EarliestShiftDay));
}
