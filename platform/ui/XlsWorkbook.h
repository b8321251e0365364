// The spreadsheet reader (the role of the component suite's spreadsheet book
// as the import uses it): loads an Excel 97-2003 workbook (.xls) and answers
// per sheet its caption, content size, cells (kind, value, number-format index,
// display text) and merged areas.
// Everything is read by our own reader of the compound file (XlsCompoundFile)
// and of the workbook stream's records (XlsWorkbookRecords.cpp), which checks
// every length, count and index against the file: a damaged file, whatever
// its damage, is refused with a reason and never read past its end.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

namespace kvui {

struct XlsRange {
    int left = 0, top = 0, right = -1, bottom = -1;   // zero-based, inclusive
    bool contains(int col, int row) const { return col >= left && col <= right && row >= top && row <= bottom; }
    bool operator==(const XlsRange&) const = default;
};

enum class XlsCellType { Empty, Number, Text, DateTime, Error };

struct XlsCell {
    XlsCellType type = XlsCellType::Empty;
    // Number: double; Text: QString; DateTime: QDateTime (a time alone lies on 1899-12-30).
    QVariant value;
    int format = 0;   // number-format index of the cell's format record
};

class XlsWorkbook {
public:
    // Loads the file; false (and the workbook empty) with a readable reason
    // when it is missing, no workbook, protected by a password or damaged.
    bool load(const QString& path, QString* error = nullptr);
    void clear();
    QString fileName() const { return m_fileName; }

    int sheetCount() const { return int(m_sheets.size()); }
    QString sheetName(int sheet) const;
    // The content area: one past the last column and row holding a cell.
    int columnCount(int sheet) const;
    int rowCount(int sheet) const;
    XlsCell cell(int sheet, int col, int row) const;
    // The text the sheet shows for the cell, after its number format.
    QString displayText(int sheet, int col, int row) const;
    QList<XlsRange> mergedAreas(int sheet) const;
    // The merged area holding the cell; an empty range (right < left) when none.
    XlsRange mergedAreaAt(int sheet, int col, int row) const;

    // The format string of a number-format index ("General" for unknown ones).
    QString formatString(int index) const;
    // Whether the index denotes a date or time format (indexes 0 to 255).
    bool isDateTimeFormat(int index) const;

    // Sheet names of columns and rows: A..Z, AA.. and 1-based numbers.
    static QString columnName(int col);
    static QString rowName(int row);
    // Renders a number after an Excel-style format string.
    static QString formatNumber(double value, const QString& format);

private:
    struct Sheet {
        QString name;
        int columns = 0, rows = 0;
        QHash<quint64, XlsCell> cells;
        QList<XlsRange> merged;
    };
    static quint64 key(int col, int row) { return (quint64(quint32(row)) << 32) | quint32(col); }
    // Reads the workbook stream's records into the sheets and formats.
    bool readStream(const QByteArray& stream, QString* error);
    // A serial day number shown in a date or time format as the date or time it
    // stands for; invalid when out of range.
    QDateTime serialDateTime(double serial, int format) const;

    QString m_fileName;
    QList<Sheet> m_sheets;
    QHash<int, QString> m_formats;
    bool m_1904 = false;   // serial numbers count from 1904-01-01
};

} // namespace kvui
