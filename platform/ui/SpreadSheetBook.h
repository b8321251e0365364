// The spreadsheet book (the role of the component suite's spreadsheet control
// as the import shows a workbook): one page per sheet of a loaded .xls file,
// each shown read-only with lettered columns and numbered rows, merged areas,
// and one rectangular selection per sheet that the user sets by mouse or keys.
#pragma once
#include "DrawGrid.h"
#include "XlsWorkbook.h"

#include <QWidget>

class QTabBar;

namespace kvui {

class SpreadSheetBook : public QWidget {
    Q_OBJECT
public:
    explicit SpreadSheetBook(QWidget* parent = nullptr);

    // Loads the file and shows its first sheet; false (the book left as it
    // was) with the reader's reason when the file cannot be read.
    bool loadFromFile(const QString& path, QString* error = nullptr);
    const XlsWorkbook& workbook() const { return m_book; }
    DrawGrid* grid() const { return m_grid; }
    QTabBar* pages() const { return m_tabs; }

    int sheetCount() const { return m_book.sheetCount(); }
    int activeSheet() const { return m_active; }
    void setActiveSheet(int sheet);
    QString sheetCaption(int sheet) const { return m_book.sheetName(sheet); }

    // The active sheet's selection (zero-based, inclusive); A1 when nothing was chosen.
    XlsRange selection() const;
    void setSelection(const XlsRange& range);
    void selectCell(int col, int row);

signals:
    // The selection of the active sheet changed; the keyboard modifiers held then.
    void selectionChanged(Qt::KeyboardModifiers modifiers);
    void activeSheetChanged(int sheet);

private:
    void showSheet();
    void drawCell(QPainter* p, int col, int row, const QRect& rect, const GridDrawState& st);

    XlsWorkbook m_book;
    QTabBar* m_tabs;
    DrawGrid* m_grid;
    QList<XlsRange> m_selections;   // per sheet
    int m_active = -1;
    bool m_syncing = false;
};

} // namespace kvui
