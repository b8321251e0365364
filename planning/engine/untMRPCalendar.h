#pragma once
// Plan periods, hints texts and the factory calendar's working-day arithmetic.
//
// Periods text: the DateBegin of every period from index 1 on (normal periods,
// then the exceed period) as day numbers, each followed by "|".
// Hints text: lines "KK=quantity" separated by CR LF, KK the period index in
// base 36 with two digits.
// Holidays: ascending whole day numbers of a calendar's days off; loading them
// from the database belongs to the plan scheme.
#include "untMRPDataTypes.h"
#include <QDate>
#include <QVariant>
#include <map>
#include <utility>
#include <vector>

QString BuildPlanPeriodCaptions(const TPlanPeriods& periods, int index);
int FindPlanPeriodIndex(const TPlanPeriods& periods, TDateTime date);
QVariant GetPeriodQtyValue(const TPlanPeriods& periods, int index, const QString& hints,
                           const QVariant& quantity, TDateTime rowDate);
TDateTime GetPlanBeginDate(const TPlanPeriods& periods);
TDateTime GetPlanEndDate(const TPlanPeriods& periods);
QString PlanPeriodsToText(const TPlanPeriods& periods);
bool TextToPlanPeriods(const QString& text, TPlanPeriods& periods);
QString AdjustHintQty(const QString& hints, double delta);
// Same with the result handed back through a reference, as callers in the
// frames use it.
void AdjustHintQty(const QString& hints, QString& result, double delta);

// The statement that reads a calendar's holidays from a first date on
// ("yyyymmdd"), ascending; each CalHoliday becomes one element of the array.
QString BuildCalendarHolidaysSQL(int calIID, TDateTime firstDate);

// The earliest day a working-day shift gives (2000-01-01): a calendar's rest
// days from this day on serve every start date a run can produce.
constexpr std::int64_t EarliestShiftDay = 36526;

int FindDateIndex(const TInt64DynArray& holidays, std::int64_t date);
TDateTime ShiftWorkDays(const TInt64DynArray& holidays, int days, std::int64_t date);
int WorkDaysBetween(const TInt64DynArray& holidays, std::int64_t first, std::int64_t second);

// ---- The factory calendar's rules as the run and the release both ask them ----

// The first day a scheme's rest days are loaded from: start dates counted back
// by a lead time reach before the first plan day, so the rest days are read
// from the earliest day a shift can give.
TDateTime CalendarFirstDay(const TPlanPeriods& periods);
// Day numbers of dates and dates of day numbers (days since 1899-12-30).
std::int64_t DayOfDate(const QDate& date);
QDate DateOfDay(std::int64_t day);
bool IsWorkDay(const TInt64DynArray& holidays, std::int64_t day);
// The nearest working day on or before / on or after a day.
std::int64_t WorkDayOnOrBefore(const TInt64DynArray& holidays, std::int64_t day);
std::int64_t WorkDayOnOrAfter(const TInt64DynArray& holidays, std::int64_t day);
// The working day a lead time of `days` working days ends on when it starts on
// `day` (a Friday and one day give the Monday after the weekend); 0 days or
// fewer give the day itself.
std::int64_t WorkDaysLater(const TInt64DynArray& holidays, int days, std::int64_t day);
// The start of a lead time of `days` working days that ends with `due`: the
// working day for which [start, due) holds that many working days.
std::int64_t LeadTimeStart(const TInt64DynArray& holidays, int days, std::int64_t due);
int CalcVarLeadTime(int fixedLeadTime, int varLeadTime, double varLeadLot, double quantity);

// ---- Hints texts ---------------------------------------------------------

// One entry of a hints text.
struct THintEntry {
    int Period = 0;
    double Qty = 0;
};
// The entries of a hints text in period order, equal periods summed; lines
// whose key is no base-36 number or whose value is no number are skipped.
std::vector<THintEntry> ParseHints(const QString& hints);
// A hints text from per-period quantities: lines in period order, entries of
// zero or less left out, lines joined by CR LF.
QString BuildHints(const std::map<int, double>& qtyByPeriod);
// Adds a quantity to the line of a period (a new line when absent); a line
// that reaches zero or less is removed. Lines stay in period order.
QString AddHintQty(const QString& hints, int period, double qty);
