// SQLite collation and functions that give translated statements SQL Server's
// behaviour: text comparison, dates, conversions, decimals.
#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

struct sqlite3;

namespace kvtsql {

struct SqlError;

// Registers the KV collation and every kv_* function on a connection, and holds
// SQLite's own values (concatenations, stored rows) to kMaxValueBytes.
void registerFunctions(sqlite3* db);

// The longest text or binary value the engine makes, in bytes (UTF-8 for texts):
// every function that grows a text checks its result against it before building
// it, and SQLite refuses to make a longer one. Exceeding it is error 7119.
inline constexpr long long kMaxValueBytes = 64LL * 1024 * 1024;
QString valueTooLongMessage();

// SQL Server's error for a whole number outside the integer type of that precision
// (3 tinyint, 5 smallint, 10 int, 19 bigint): 220 naming the value for the small
// types, 8115 for int and bigint. False when the value fits. Variables, columns,
// expressions and functions all check their integers here.
bool integerOutOfRange(long long value, int precision, int& number, QString& message);
QString integerOverflowMessage(int precision);

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

// SQL Server's error for a SQLite failure of a resource, extended codes included:
// a full disk 1105, a failing file 823, a damaged file 824, no memory 701, an
// interruption 3980 (a cancelled batch), a value beyond kMaxValueBytes 7119. False
// for any other code. The texts are the Chinese ones the program shows.
bool resourceError(int resultCode, const QString& fileName, SqlError& error);
void outOfMemory(SqlError& error);

// An error that ends the batch it is raised in: a lock conflict that ended the
// transaction (1205) and the failures of resources (disk, file, memory, interruption),
// after which the transaction is rolled back.
bool endsBatch(int number);

} // namespace kvtsql
