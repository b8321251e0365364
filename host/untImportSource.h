#pragma once
// What the import dialog takes rows from: the abstract source kind, the
// process-wide registry of source kinds, and the check and conversion of a
// source value to a target field's variant type code.
#include "untApplication.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

// One kind of import source. An object of it remembers the user's choice
// (file, sheet, range...) for the lifetime of the import dialog.
class TImportSource {
public:
    virtual ~TImportSource() = default;
    // Describes the chosen source; empty while nothing is chosen.
    virtual QString SourceName() const = 0;
    virtual int ColCount() const = 0;
    virtual int RowCount() const = 0;
    // Caption of a source column (0-based).
    virtual QString GetHeaders(int ACol) const = 0;
    // Value of a cell (0-based data row).
    virtual QVariant GetCells(int ACol, int ARow) const = 0;
    // Readable place of a cell in the source; ACol -1 is the whole row.
    virtual QString GetPosition(int ACol, int ARow) const = 0;
    // Lets the user choose the source; True when a usable choice was made.
    virtual bool ShowDefiner() = 0;
};

// A registered source kind: its name in the kind chooser and how to make one.
struct TImportSourceClass {
    QString SourceType;
    std::function<std::unique_ptr<TImportSource>()> Create;
};

// Appends a kind unless one of the same name is registered already.
void RegisterImportSource(const TImportSourceClass& AClass);
// The kinds in registration order.
const QList<TImportSourceClass>& ImportSourceClasses();
// Forgets every kind (at shutdown, and in tests).
void ClearImportSources();

// Variant type codes of target fields.
namespace ImportTypes {
constexpr quint16 SmallInt = 2, Integer = 3, Single = 4, Double = 5, Currency = 6, Date = 7, Boolean = 11, Word = 18,
                  LongWord = 19, Int64 = 20, String = 256;
}

// The Null of an import record: a value that is there but empty.
QVariant ImportNull();
// Whether a value fits a field of the type code: empty values always fit;
// integer types take whole numbers (also as text), floating types numbers
// (also as text), dates dates or date texts, Booleans numbers and texts,
// strings anything; an unknown type code takes nothing but empty values.
bool ImportValueFits(const QVariant& AValue, quint16 ADataType);
// Converts a source value for a field of the type code; False when it does not
// convert (AResult is then left as Null). Empty sources and blank texts give Null
// (a Boolean takes a blank text as False); a field of an unknown type code
// receives nothing (AResult unassigned) for a value that is there.
bool ConvertImportValue(const QVariant& AValue, quint16 ADataType, QVariant& AResult);
// The text of a source value as the log and the string fields show it.
QString ImportValueText(const QVariant& AValue);
