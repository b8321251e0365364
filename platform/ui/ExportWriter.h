// The export writer (the role of the component suite's export unit): a
// provider per export kind and file that collects a sheet of cells (values,
// registered styles, merged spans, column widths, row heights) and writes it
// as a spreadsheet XML workbook, an HTML page or a text file on commit.
// The grid and tree-list exports lay their views out into this cell model.
#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <stdexcept>

namespace kvui {

// Export kinds, the integers the exports hand to ExportProvider::create.
enum ExportKind { ExportXls = 1, ExportHtml = 2, ExportXml = 3, ExportText = 4 };

struct ExportBorder {
    int width = 0;            // 0: no border
    QColor color;
    bool operator==(const ExportBorder&) const = default;
};

// One registered cell style. Borders in the order left, top, right, bottom.
struct ExportCellStyle {
    QColor brushColor = Qt::white;
    QColor fontColor = Qt::black;
    QString fontName;
    int fontSize = 9;         // points
    bool bold = false, italic = false, underline = false, strikeOut = false;
    Qt::Alignment alignment = Qt::AlignLeft;   // horizontal part only
    ExportBorder borders[4];
    bool operator==(const ExportCellStyle& o) const;
};

// The style every cell starts from.
ExportCellStyle DefaultCellStyle();
// The style of a cell as a view draws it: background and text colour (white and
// black when invalid), the font (at AFontSize points when given, else its own
// size or 9), the horizontal alignment and a one-pixel border on the sides set
// in ABorders (bit 0 left, 1 top, 2 right, 3 bottom) when a border colour is given.
ExportCellStyle CellStyleOf(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont, Qt::Alignment AAlign,
                            int ABorders, const QColor& ABorderColor, int AFontSize = 0);

class ExportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The sorted boundaries (in pixels) of the columns or rows of a layout: every
// laid-out rectangle adds its edges, arrange() sorts them and drops repeats,
// and the intervals between neighbours become the sheet's columns or rows.
class ExportScale {
public:
    void add(int position) { m_values.append(position); m_arranged = false; }
    void arrange();
    int count() const { return int(m_values.size()); }
    int visibleCount() const { return count() > 1 ? count() - 1 : 0; }
    int value(int i) const { return m_values.value(i); }
    int delta(int i) const { return m_values.value(i + 1) - m_values.value(i); }
    // Index of a boundary; -1 when the position is no boundary.
    int indexOf(int position) const;
    // The cell interval [first, last] that a pixel span [from, to) covers; false when it covers none.
    bool span(int from, int to, int& first, int& last) const;
private:
    QList<int> m_values;
    bool m_arranged = true;
};

class ExportProvider {
public:
    // A provider for an export kind writing to a file; throws ExportError for an unknown kind.
    static std::unique_ptr<ExportProvider> create(int kind, const QString& fileName);
    virtual ~ExportProvider();

    int kind() const { return m_kind; }
    QString fileName() const { return m_fileName; }
    // Only text files use separators: [cell separator, text before a cell, text after a cell].
    virtual bool supportsSeparators() const { return false; }
    void addSeparator(const QString& s) { m_separators.append(s); }
    QStringList separators() const { return m_separators; }

    void setRange(int columns, int rows);
    int columnCount() const { return m_columns; }
    int rowCount() const { return m_rows; }
    void setDefaultStyle(const ExportCellStyle& style);
    // Registers a style once; equal styles share one index.
    int registerStyle(const ExportCellStyle& style);
    const ExportCellStyle& style(int index) const { return m_styles.at(index); }
    int styleCount() const { return int(m_styles.size()); }
    void setColumnWidth(int col, int pixels);
    void setRowHeight(int row, int pixels);
    // Applies a style to a range of cells; a range of more than one cell is merged.
    void setCellStyle(int col, int row, int lastCol, int lastRow, int styleIndex);
    void setCellStyle(int col, int row, int styleIndex) { setCellStyle(col, row, col, row, styleIndex); }
    // A frame over a range of cells, not merged: every cell gets the style's
    // background, font and alignment, and only the range's outer sides get the
    // style's borders.
    void setCellFrame(int col, int row, int lastCol, int lastRow, int styleIndex);
    // A value: numbers and dates keep their kind, everything else is written as text.
    void setCellValue(int col, int row, const QVariant& value);
    // A picture shown in a cell (HTML pages show it; the workbook and text
    // formats have no pictures and leave the cell as it is).
    void setCellPicture(int col, int row, const QImage& image);
    void setCellDataString(int col, int row, const QString& text) { setCellValue(col, row, text); }
    // Writes the file; throws ExportError when it cannot be written.
    void commit();

    struct Cell {
        QVariant value;
        int style = -1;
        int mergeAcross = 0, mergeDown = 0;
        bool covered = false;  // inside another cell's merged range
        QImage picture;
    };
    const Cell& cell(int col, int row) const { return m_cells.at(row * m_columns + col); }

protected:
    ExportProvider(int kind, const QString& fileName);
    virtual QByteArray render() const = 0;
    int cellStyleIndex(const Cell& c) const { return c.style >= 0 ? c.style : m_defaultStyle; }
    int columnWidth(int col) const { return m_columnWidths.value(col, 64); }
    int rowHeight(int row) const { return m_rowHeights.value(row, 19); }
    int m_kind;
    QString m_fileName;
    QStringList m_separators;
    int m_columns = 0, m_rows = 0;
    int m_defaultStyle = -1;
    QList<ExportCellStyle> m_styles;
    QList<int> m_columnWidths, m_rowHeights;
    QList<Cell> m_cells;
private:
    Cell* at(int col, int row);
};

} // namespace kvui
