// One value of a bulk row as it is bound to a prepared statement: the stored
// form of the common values (a whole number within its integer type, a text
// that fits, a decimal text, a 'yyyymmdd' date), made without the general
// conversion of a value to its declared type.
#pragma once

#include "Translator.h"

#include <QVariant>

#include <string>

namespace kvtsql {

struct BulkValue {
    enum Kind { Null, Int, Text, General } kind = General;
    qint64 number = 0;
    std::string text;   // UTF-8, reused from row to row

    // Takes raw, a value for a parameter of type t, in its stored form; false
    // for a value left to the general conversion (which also reports errors).
    bool take(const QVariant& raw, const TypeInfo& t);

private:
    // The text's characters into text; false when one is not ASCII.
    bool ascii(const QString& s);
    // True when text is already the stored form of a decimal(p, sc).
    static bool canonicalDecimal(const std::string& text, int p, int sc);
};

} // namespace kvtsql
