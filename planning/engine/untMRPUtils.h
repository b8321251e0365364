#pragma once
// Number, date and text helpers of the engine's pure units: quantities in SQL
// text (C locale, eight decimals), 'yyyymmdd' day texts, rounding of item
// quantities, the base-36 period keys and the batch of write-back statements.
#include "untMRPDataTypes.h"
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

namespace untMRPUtils {

// Day number (days since 1899-12-30) of a date-time, time of day dropped.
std::int64_t DateToDay(TDateTime date);
// 'yyyymmdd' text of a day number.
QString DayToDateStr(std::int64_t day);
// 'yyyymmdd hh:nn:ss' text of a date-time.
QString DateTimeToSQLStr(TDateTime dateTime);
// Day number of 9999-12-31, the end of the exceed period.
constexpr std::int64_t MaxDay = 2958465;

// A quantity in SQL text: C locale, eight decimals ("%8.8f"). A value that is
// not finite raises an exception instead of reaching the database.
QString SQLQty(double value);
// A text as an SQL literal: single quotes around it, inner quotes doubled.
QString QuoteSQL(const QString& text);
// A quantity inside a hints or served-demand text: the shortest decimal form
// with at most fifteen significant digits, C locale.
QString FloatToText(double value);
// The same text appended to text.
void AppendFloatText(QString& text, double value);
void AppendFloatText(std::string& text, double value);
// Reads a decimal number (C locale, blanks trimmed); ok reports success.
double TextToFloat(const QString& text, bool* ok = nullptr);
double TextToFloat(QStringView text, bool* ok = nullptr);

// Period key: the index in base 36, two digits, "0"-padded (0A = period 10).
QString PeriodKey(int periodIndex);
// Value of a base-36 key text; -1 when the text is not a base-36 number.
int PeriodKeyToIndex(const QString& key);
int PeriodKeyToIndex(QStringView key);
// Digits 0-9 and A-Z of an unsigned value, most significant first.
QString IntToBase36(std::uint32_t value, int minWidth = 0);

// Fills the "%s" and "%d" placeholders of a message text in order.
QString FormatMessage(QString text, const QStringList& args);

// Rounding unit of an item: 1 for whole units, 10^-decimals otherwise
// (decimals outside 0..8 count as 8).
int EffectiveDecimals(int itmDecimal);
double QtyUnit(int itmPutInteger, int itmDecimal);
// Item quantity rounding: up to whole units when itmPutInteger is 1, otherwise
// half away from zero to the item's decimals. A floating-point residue below
// 1e-9 of the unit never pushes a value to the next unit.
double RoundItemQty(double value, int itmPutInteger, int itmDecimal);
// Up to the item's unit (a whole unit when itmPutInteger is 1, otherwise the
// last of its decimals), in decimal arithmetic on the eight decimals a stored
// quantity carries: what binary arithmetic leaves beyond them never adds a
// unit (2.0000000001 is 2, 1 - 0.7 is 0.3).
double CeilItemQty(double value, int itmPutInteger, int itmDecimal);
// Like RoundItemQty but cut toward zero (kit quantities).
double TruncItemQty(double value, int itmPutInteger, int itmDecimal);
// Half away from zero to a number of decimals, residue-safe.
double RoundTo(double value, int decimals);
// Cut toward zero to a number of decimals, residue-safe.
double TruncTo(double value, int decimals);
// Rounds up to whole units, residue-safe: ceiling(3*0.1/0.1) is 3.
double CeilQty(double value);
// True when value is at most a residue (1e-9) of the unit.
bool IsResidue(double value, double unit);

// Statements of one write-back text. Before a statement would carry the text
// beyond 65000 characters the text is handed to the executor and cleared, so
// no text is longer (unless one statement alone is); Flush hands over the
// rest. Without an executor the texts are only collected.
class TMRPSQLBatch {
public:
    using TExecutor = std::function<void(const QString&)>;
    explicit TMRPSQLBatch(TExecutor executor = {}, QString header = QString());
    void Add(const QString& statement);
    void Flush();
    const QString& Text() const { return FText; }
    // Every text executed so far (kept only when there is no executor).
    const QStringList& Executed() const { return FExecuted; }
    static constexpr int MaxBatchChars = 65000;

private:
    TExecutor FExecutor;
    QString FHeader;
    QString FText;
    QStringList FExecuted;
};

} // namespace untMRPUtils
