// Number display formats in the picture style the views use
// ("###,###,###,##0.########", "≥#,##0.00;≥-#,##0.00", sections for
// positive;negative;zero values). Always a point and commas, whatever the locale.
#pragma once
#include <QString>
#include <QVariant>

namespace kvui {

// Formats a number with a picture. An empty picture gives the shortest decimal text.
QString formatFloat(const QString& picture, double value);

// Formats a variant for display with a picture: numbers go through formatFloat,
// everything else is its text; Null gives an empty text.
QString formatValue(const QString& picture, const QVariant& value);

// True for variants that hold a number (integers, floating point, bool excluded).
bool isNumeric(const QVariant& v);

// Orders two values the way the grid sorts: Null first, numbers by value, dates
// by time, everything else as text without regard to case.
int compareValues(const QVariant& a, const QVariant& b);

// Converts an edited value (usually text) to a value of the given QMetaType id:
// numbers accept a point and thousands commas, dates yyyy/MM/dd or yyyy-MM-dd.
// Empty text gives Null. ok is false when the text cannot be read as that type.
QVariant convertEditedValue(const QVariant& v, int metaType, bool* ok);

} // namespace kvui
