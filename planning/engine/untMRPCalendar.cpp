#include "untMRPCalendar.h"
#include "untMRPUtils.h"
#include <QDate>
#include <QStringList>
#include <algorithm>
#include <cmath>

using namespace untMRPUtils;

namespace {

const QDate kBaseDate(1899, 12, 30);
constexpr std::int64_t kEarliestShift = EarliestShiftDay;

QString MonthDay(TDateTime date)
{
    const QDate d = kBaseDate.addDays(DateToDay(date));
    return QStringLiteral("%1/%2").arg(d.month()).arg(d.day());
}

// Lines of a CR LF list as the string list reads them: a trailing empty line
// is no line.
QStringList HintLines(const QString& hints)
{
    QString text = hints;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QString BuildPlanPeriodCaptions(const TPlanPeriods& periods, int index)
{
    if (index < 0 || index >= static_cast<int>(periods.size()))
        return QString();
    const TPlanPeriod& p = periods[index];
    if (p.PeriodKind == ppkDelay)
        return untMRPDataTypes::SPeriodDelay();
    if (p.PeriodKind == ppkExceed)
        return untMRPDataTypes::SPeriodExceed();
    if (DateToDay(p.DateBegin) == DateToDay(p.DateEnd)) {
        static const QString weekDays = QStringLiteral("日一二三四五六");
        const QDate d = kBaseDate.addDays(DateToDay(p.DateBegin));
        return MonthDay(p.DateBegin) + QLatin1Char(' ') + weekDays.at(d.dayOfWeek() % 7);
    }
    return MonthDay(p.DateBegin) + QLatin1Char('-') + MonthDay(p.DateEnd);
}

int FindPlanPeriodIndex(const TPlanPeriods& periods, TDateTime date)
{
    const std::int64_t day = DateToDay(date);
    for (int i = static_cast<int>(periods.size()) - 1; i >= 0; --i)
        if (DateToDay(periods[i].DateBegin) <= day && day <= DateToDay(periods[i].DateEnd))
            return i;
    return -1;
}

QVariant GetPeriodQtyValue(const TPlanPeriods& periods, int index, const QString& hints,
                           const QVariant& quantity, TDateTime rowDate)
{
    if (!hints.isEmpty()) {
        const QString key = PeriodKey(index) + QLatin1Char('=');
        for (const QString& line : HintLines(hints)) {
            if (line.startsWith(key, Qt::CaseInsensitive)) {
                const QString value = line.mid(key.size());
                if (value.trimmed().isEmpty())
                    return QVariant();
                bool ok = false;
                const double v = TextToFloat(value, &ok);
                return ok ? QVariant(v) : QVariant();
            }
        }
        return QVariant();
    }
    if (index < 0 || index >= static_cast<int>(periods.size()))
        return QVariant();
    const std::int64_t day = DateToDay(rowDate);
    const TPlanPeriod& p = periods[index];
    const double qty = quantity.isNull() || !quantity.isValid() ? 0.0 : quantity.toDouble();
    if (DateToDay(p.DateBegin) <= day && day <= DateToDay(p.DateEnd) && qty != 0)
        return QVariant(qty);
    return QVariant();
}

TDateTime GetPlanBeginDate(const TPlanPeriods& periods)
{
    return periods.size() < 3 ? 0 : periods[1].DateBegin;
}

TDateTime GetPlanEndDate(const TPlanPeriods& periods)
{
    return periods.size() < 3 ? 0 : periods[periods.size() - 2].DateEnd;
}

QString PlanPeriodsToText(const TPlanPeriods& periods)
{
    QString text;
    for (size_t i = 1; i < periods.size(); ++i)
        text += FloatToText(periods[i].DateBegin) + QLatin1Char('|');
    return text;
}

bool TextToPlanPeriods(const QString& text, TPlanPeriods& periods)
{
    periods.assign(1, TPlanPeriod{});
    QStringList lines = text.split(QLatin1Char('|'));
    if (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return false;
    std::vector<double> d;
    for (const QString& line : lines) {
        bool ok = false;
        const double v = TextToFloat(line, &ok);
        if (!ok) {
            periods.assign(1, TPlanPeriod{});
            return false;
        }
        d.push_back(v);
    }
    const size_t n = d.size();
    periods.assign(n + 1, TPlanPeriod{});
    periods[0] = {ppkDelay, 0, d[0] - 1};
    for (size_t k = 1; k < n; ++k)
        periods[k] = {ppkNormal, d[k - 1], d[k] - 1};
    periods[n] = {ppkExceed, d[n - 1], static_cast<double>(MaxDay)};
    return true;
}

QString AdjustHintQty(const QString& hints, double delta)
{
    if (hints.isEmpty())
        return QString();
    if (delta == 0)
        return hints;
    if (delta > 0) {
        const int eq = hints.indexOf(QLatin1Char('='));
        if (eq < 0)
            return hints;
        const QString key = hints.mid(std::max(0, eq - 2), std::min(2, eq)) + QLatin1Char('=');
        // Write the new value in place into the first item that starts with the key.
        static const QString sep = QStringLiteral("\r\n");
        int start = 0;
        while (start <= hints.size()) {
            int end = hints.indexOf(sep, start);
            if (end < 0)
                end = hints.size();
            const QString item = hints.mid(start, end - start);
            if (item.startsWith(key, Qt::CaseInsensitive)) {
                const double old = TextToFloat(item.mid(key.size()));
                return hints.left(start + key.size()) + FloatToText(old + delta) + hints.mid(end);
            }
            if (end >= hints.size())
                break;
            start = end + sep.size();
        }
        return hints;
    }
    const QStringList lines = HintLines(hints);
    std::vector<bool> keep(lines.size(), true);
    std::vector<QString> text(lines.begin(), lines.end());
    double r = -delta;
    for (int i = static_cast<int>(lines.size()) - 1; i >= 0 && r > 0; --i) {
        const int eq = lines[i].indexOf(QLatin1Char('='));
        const double v = eq < 0 ? 0 : TextToFloat(lines[i].mid(eq + 1));
        if (v > r) {
            text[i] = lines[i].left(eq + 1) + FloatToText(v - r);
            r = -1;
        } else {
            keep[i] = false;
            r -= v;
        }
    }
    QString result;
    for (size_t i = 0; i < text.size(); ++i)
        if (keep[i])
            result += text[i] + QLatin1String("\r\n");
    return result;
}

void AdjustHintQty(const QString& hints, QString& result, double delta)
{
    result = AdjustHintQty(hints, delta);
}

QString BuildCalendarHolidaysSQL(int calIID, TDateTime firstDate)
{
    return QStringLiteral("select CalHoliday from QZ_MRP_Holidays with(nolock) where CalIID=%1 and CalHoliday>='%2' "
                          "order by CalHoliday")
        .arg(calIID)
        .arg(DayToDateStr(DateToDay(firstDate)));
}

int FindDateIndex(const TInt64DynArray& holidays, std::int64_t date)
{
    int low = 0;
    int high = static_cast<int>(holidays.size()) - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (holidays[mid] < date) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (holidays[mid] == date)
                low = mid;
        }
    }
    return low;
}

TDateTime ShiftWorkDays(const TInt64DynArray& holidays, int days, std::int64_t date)
{
    if (days == 0)
        return static_cast<TDateTime>(date);
    if (days > 0) {
        std::int64_t r = date - days;
        if (r < kEarliestShift)
            return static_cast<TDateTime>(date >= kEarliestShift ? kEarliestShift : date);
        if (holidays.empty())
            return static_cast<TDateTime>(r);
        int i = FindDateIndex(holidays, date) - 1; // last holiday strictly before the date
        while (i >= 0 && holidays[i] >= r) {
            --r;
            --i;
        }
        return static_cast<TDateTime>(r);
    }
    std::int64_t r = date - static_cast<std::int64_t>(days);
    if (r <= kEarliestShift)
        return static_cast<TDateTime>(kEarliestShift);
    int i = FindDateIndex(holidays, date);
    while (i < static_cast<int>(holidays.size()) && holidays[i] < r) {
        ++r;
        ++i;
    }
    return static_cast<TDateTime>(r);
}

int WorkDaysBetween(const TInt64DynArray& holidays, std::int64_t first, std::int64_t second)
{
    if (first == second)
        return 0;
    const std::int64_t lo = std::min(first, second);
    const std::int64_t hi = std::max(first, second);
    std::int64_t k = hi - lo;
    for (int i = FindDateIndex(holidays, lo); i < static_cast<int>(holidays.size()) && holidays[i] < hi; ++i)
        --k;
    return static_cast<int>(first > second ? k : -k);
}

TDateTime CalendarFirstDay(const TPlanPeriods& periods)
{
    return std::min<TDateTime>(GetPlanBeginDate(periods), static_cast<TDateTime>(EarliestShiftDay));
}

std::int64_t DayOfDate(const QDate& date)
{
    return kBaseDate.daysTo(date);
}

QDate DateOfDay(std::int64_t day)
{
    return kBaseDate.addDays(day);
}

bool IsWorkDay(const TInt64DynArray& holidays, std::int64_t day)
{
    return !std::binary_search(holidays.begin(), holidays.end(), day);
}

std::int64_t WorkDayOnOrBefore(const TInt64DynArray& holidays, std::int64_t day)
{
    auto it = std::upper_bound(holidays.begin(), holidays.end(), day);
    for (; it != holidays.begin() && *(it - 1) >= day; --it)
        if (*(it - 1) == day)
            --day;
    return day;
}

std::int64_t WorkDayOnOrAfter(const TInt64DynArray& holidays, std::int64_t day)
{
    for (auto it = std::lower_bound(holidays.begin(), holidays.end(), day); it != holidays.end() && *it <= day; ++it)
        if (*it == day)
            ++day;
    return day;
}

std::int64_t WorkDaysLater(const TInt64DynArray& holidays, int days, std::int64_t day)
{
    if (days <= 0)
        return day;
    // The shift gives the day after the half-open range [day, r) of `days`
    // working days; a rest day there gives way to the next working day.
    return WorkDayOnOrAfter(holidays, static_cast<std::int64_t>(ShiftWorkDays(holidays, -days, day)));
}

std::int64_t LeadTimeStart(const TInt64DynArray& holidays, int days, std::int64_t due)
{
    return static_cast<std::int64_t>(ShiftWorkDays(holidays, days, due));
}

int CalcVarLeadTime(int fixedLeadTime, int varLeadTime, double varLeadLot, double quantity)
{
    if (varLeadTime <= 0 || !(varLeadLot > 0))
        return fixedLeadTime;
    return fixedLeadTime + static_cast<int>(CeilQty(quantity / varLeadLot * varLeadTime));
}

std::vector<THintEntry> ParseHints(const QString& hints)
{
    std::vector<THintEntry> entries;
    // lines end with CR LF, CR or LF; read in place, every demand's hints pass here
    const QStringView text(hints);
    qsizetype start = 0;
    bool ordered = true;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        const QStringView line = text.mid(start, end - start);
        start = end + 1;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const int period = PeriodKeyToIndex(line.left(eq));
        bool ok = false;
        const double qty = TextToFloat(line.mid(eq + 1), &ok);
        if (period < 0 || !ok)
            continue;
        if (!entries.empty() && entries.back().Period >= period)
            ordered = false;
        entries.push_back({period, qty});
    }
    if (ordered)
        return entries;
    // lines out of order or repeated: period order, a period's quantities
    // added up in the order their lines come
    std::stable_sort(entries.begin(), entries.end(),
                     [](const THintEntry& a, const THintEntry& b) { return a.Period < b.Period; });
    size_t out = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (out > 0 && entries[out - 1].Period == entries[i].Period)
            entries[out - 1].Qty += entries[i].Qty;
        else
            entries[out++] = entries[i];
    }
    entries.resize(out);
    return entries;
}

QString BuildHints(const std::map<int, double>& qtyByPeriod)
{
    QString text;
    for (const auto& [period, qty] : qtyByPeriod) {
        if (!(qty > 0) || IsResidue(qty, 1e-8))
            continue;
        if (!text.isEmpty())
            text += QLatin1String("\r\n");
        text += PeriodKey(period);
        text += QLatin1Char('=');
        AppendFloatText(text, RoundTo(qty, 8));
    }
    return text;
}

QString AddHintQty(const QString& hints, int period, double qty)
{
    std::map<int, double> byPeriod;
    for (const THintEntry& e : ParseHints(hints))
        byPeriod[e.Period] += e.Qty;
    byPeriod[period] += qty;
    return BuildHints(byPeriod);
}
