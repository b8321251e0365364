// SQLite collation and functions that give translated statements SQL Server's
// behaviour: text comparison, dates, conversions, decimals.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

struct sqlite3;

namespace kvtsql {

// Registers the KV collation and every kv_* function on a connection.
void registerFunctions(sqlite3* db);

// The KV collation's order of two UTF-8 texts: case-insensitive, trailing
// blanks ignored; -1, 0 or 1. Plain ASCII texts are compared byte by byte,
// any other through compareTextUnicode, which gives every text its order.
int compareText(const char* a, int n1, const char* b, int n2);
int compareTextUnicode(const char* a, int n1, const char* b, int n2);

// Dates are stored as "yyyy-MM-dd hh:mm:ss.zzz" texts.
QString canonicalDateTime(const QDateTime& dt);
// A datetime at its 1/300-second ticks, and a smalldatetime at its minute.
QDateTime roundToTicks(const QDateTime& dt);
QDateTime roundToMinute(const QDateTime& dt);
// Dates written month first or with month names (part of parseDateText).
bool otherDateForms(const QString& text, QDateTime& out);
// Parses the date texts SQL Server converts implicitly ('yyyymmdd', 'yyyymmdd hh:nn:ss',
// 'yyyy/mm/dd hh:nn:ss', 'yyyy-mm-dd...', ISO 'T' form). Empty text is 1900-01-01.
bool parseDateText(const QString& text, QDateTime& out);

// Decimal value (as SQLite holds it: integer, real or text) printed with exactly `scale` decimals.
QString formatDecimal(const QVariant& value, int scale);
// The same for a stored decimal's UTF-8 text when it is plain ("-12.5": no exponent, no
// blanks, no leading zeros) and fits `scale` and 38 digits without rounding; false (out
// untouched) for any other text, which formatDecimal handles.
bool formatPlainDecimal(const char* text, int size, int scale, QString& out);

// Error raised by a kv_* function: "kv:NUMBER:message" in SQLite's error text.
bool parseFunctionError(const QString& sqliteMessage, int& number, QString& message);

// SQL Server's lock error for a SQLite result code of the busy or locked kind
// (extended codes included); false for any other code. A write refused because
// another writer committed after this transaction began reading ends the
// transaction (1205: rerun it); every other one can be retried as it stands (1222).
bool lockError(int resultCode, bool inTransaction, int& number, int& severity, QString& message);

} // namespace kvtsql
