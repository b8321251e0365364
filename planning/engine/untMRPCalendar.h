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
