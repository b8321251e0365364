#pragma once
// Numbers of the stand-in ERP's bills: a day's stem ("MO20261211-") followed
// by the day's sequence number, four digits at least and wider past 9999
// ("-9999", "-10000", "-10001"). The next number follows the highest number
// of the stem compared as a number, not as text; a number a user gave that is
// not all digits after the stem does not count.
#include <QString>

class TADOConnection;

// The next free number after the numbered values of AColumn in ATable that
// start with AStem; AWhere (may be empty) narrows the rows ("BillKind=10").
QString NextDayBillNo(TADOConnection* AConnection, const QString& ATable, const QString& AColumn, const QString& AWhere,
                      const QString& AStem);

// The sequence number of a bill number of the stem; 0 when it has none.
qint64 DayBillSequence(const QString& ABillNo, const QString& AStem);
