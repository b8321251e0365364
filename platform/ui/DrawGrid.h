// Owner-drawn grid (the role of the class library's draw grid): a fixed number
// of columns and rows, leading fixed columns and rows that do not scroll, a
// rectangular range selection, a focused cell, and a hook that paints the
// content of every cell. The grid paints the background (fixed cells with a
// gradient, selected cells highlighted) and the grid lines itself; the hook
// draws text and marks on top.
#pragma once
#include <QAbstractScrollArea>
#include <QList>
#include <QRect>
#include <functional>

namespace kvui {

// An inclusive range of cells.
struct GridRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool contains(int col, int row) const { return col >= left && col <= right && row >= top && row <= bottom; }
    bool operator==(const GridRect&) const = default;
};

// How a cell is being drawn.
struct GridDrawState {
    bool selected = false;
    bool focused = false;
    bool fixed = false;
};

class DrawGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    using DrawCellHook = std::function<void(QPainter* painter, int col, int row, const QRect& rect, const GridDrawState& state)>;
    // Asked before the focus moves to a cell; false keeps it where it is.
    using SelectCellHook = std::function<bool(int col, int row)>;

    explicit DrawGrid(QWidget* parent = nullptr);

    int colCount() const { return m_colWidths.size(); }
    int rowCount() const { return m_rowHeights.size(); }
    void setColCount(int n);
    void setRowCount(int n);
    int fixedCols() const { return m_fixedCols; }
    int fixedRows() const { return m_fixedRows; }
    void setFixedCols(int n);
    void setFixedRows(int n);
    int colWidth(int col) const { return m_colWidths.value(col); }
    int rowHeight(int row) const { return m_rowHeights.value(row); }
    void setColWidth(int col, int width);
    void setRowHeight(int row, int height);
    // Every column (row) at once, and those added later.
    void setDefaultColWidth(int width);
    void setDefaultRowHeight(int height);

    // Range selection on (the default): shift and dragging extend the selection.
    void setRangeSelect(bool on) { m_rangeSelect = on; }
    // The focused cell drawn as selected, like the rest of the range (the default).
    void setDrawFocusSelected(bool on) { m_drawFocusSelected = on; viewport()->update(); }
    void setShowGridLines(bool on) { m_gridLines = on; viewport()->update(); }

    int col() const { return m_col; }
    int row() const { return m_row; }
    // Focuses a cell and makes it the whole selection; scrolls it into view.
    // Refused by the select-cell hook like a click; cells outside the
    // scrolling area are ignored.
    bool focusCell(int col, int row);
    GridRect selection() const;
    // Sets the range (clipped to the scrolling cells) and focuses its
    // bottom-right corner with the top-left one as the anchor.
    void setSelection(const GridRect& range);

    // First scrolling column and row that show.
    int leftCol() const { return m_leftCol; }
    int topRow() const { return m_topRow; }
    void setTopRow(int row);
    void setLeftCol(int col);
    // Rows (columns) that fit wholly in the scrolling part of the view.
    int visibleRowCount() const;
    int visibleColCount() const;
    // The cell's rectangle in viewport coordinates; empty when it does not show.
    QRect cellRect(int col, int row) const;
    // The cell under a viewport point; false outside every cell.
    bool cellAt(const QPoint& pos, int& col, int& row) const;
    bool isCellShown(int col, int row) const { return !cellRect(col, row).isEmpty(); }
    void invalidateCell(int col, int row);

    void setDrawCellHook(DrawCellHook h) { m_drawCell = std::move(h); viewport()->update(); }
    void setSelectCellHook(SelectCellHook h) { m_selectCell = std::move(h); }

signals:
    void topLeftChanged();
    // The focus moved to a cell (after the select-cell hook agreed).
    void cellSelected(int col, int row);
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    QSize sizeHint() const override;

private:
    int fixedWidth() const;
    int fixedHeight() const;
    void updateScrollBars();
    void moveTo(int col, int row, bool extend);
    void makeVisible(int col, int row);
    int maxTopRow() const;
    int maxLeftCol() const;

    QList<int> m_colWidths, m_rowHeights;
    int m_defaultColWidth = 64, m_defaultRowHeight = 24;
    int m_fixedCols = 1, m_fixedRows = 1;
    int m_col = 1, m_row = 1;          // focused cell
    int m_anchorCol = 1, m_anchorRow = 1;
    int m_leftCol = 1, m_topRow = 1;
    bool m_rangeSelect = true, m_drawFocusSelected = true, m_gridLines = true;
    bool m_syncing = false;
    DrawCellHook m_drawCell;
    SelectCellHook m_selectCell;
};

} // namespace kvui
