#include "DrawGrid.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace kvui {

DrawGrid::DrawGrid(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setTracking(true);
    horizontalScrollBar()->setTracking(true);
    setColCount(5);
    setRowCount(5);
}

void DrawGrid::setColCount(int n)
{
    n = std::max(0, n);
    while (m_colWidths.size() < n)
        m_colWidths << m_defaultColWidth;
    while (m_colWidths.size() > n)
        m_colWidths.removeLast();
    m_col = std::clamp(m_col, m_fixedCols, std::max(m_fixedCols, n - 1));
    m_anchorCol = std::clamp(m_anchorCol, m_fixedCols, std::max(m_fixedCols, n - 1));
    m_leftCol = std::clamp(m_leftCol, m_fixedCols, std::max(m_fixedCols, maxLeftCol()));
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setRowCount(int n)
{
    n = std::max(0, n);
    while (m_rowHeights.size() < n)
        m_rowHeights << m_defaultRowHeight;
    while (m_rowHeights.size() > n)
        m_rowHeights.removeLast();
    m_row = std::clamp(m_row, m_fixedRows, std::max(m_fixedRows, n - 1));
    m_anchorRow = std::clamp(m_anchorRow, m_fixedRows, std::max(m_fixedRows, n - 1));
    m_topRow = std::clamp(m_topRow, m_fixedRows, std::max(m_fixedRows, maxTopRow()));
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setFixedCols(int n)
{
    m_fixedCols = std::max(0, n);
    m_leftCol = std::max(m_leftCol, m_fixedCols);
    m_col = std::max(m_col, m_fixedCols);
    m_anchorCol = std::max(m_anchorCol, m_fixedCols);
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setFixedRows(int n)
{
    m_fixedRows = std::max(0, n);
    m_topRow = std::max(m_topRow, m_fixedRows);
    m_row = std::max(m_row, m_fixedRows);
    m_anchorRow = std::max(m_anchorRow, m_fixedRows);
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setColWidth(int col, int width)
{
    if (col < 0 || col >= m_colWidths.size())
        return;
    m_colWidths[col] = std::max(0, width);
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setRowHeight(int row, int height)
{
    if (row < 0 || row >= m_rowHeights.size())
        return;
    m_rowHeights[row] = std::max(0, height);
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setDefaultColWidth(int width)
{
    m_defaultColWidth = width;
    for (int& w : m_colWidths)
        w = width;
    updateScrollBars();
    viewport()->update();
}

void DrawGrid::setDefaultRowHeight(int height)
{
    m_defaultRowHeight = height;
    for (int& h : m_rowHeights)
        h = height;
    updateScrollBars();
    viewport()->update();
}

GridRect DrawGrid::selection() const
{
    return {std::min(m_col, m_anchorCol), std::min(m_row, m_anchorRow), std::max(m_col, m_anchorCol),
            std::max(m_row, m_anchorRow)};
}

void DrawGrid::setSelection(const GridRect& range)
{
    if (colCount() <= m_fixedCols || rowCount() <= m_fixedRows)
        return;
    const auto clampCol = [this](int c) { return std::clamp(c, m_fixedCols, colCount() - 1); };
    const auto clampRow = [this](int r) { return std::clamp(r, m_fixedRows, rowCount() - 1); };
    m_anchorCol = clampCol(std::min(range.left, range.right));
    m_anchorRow = clampRow(std::min(range.top, range.bottom));
    m_col = clampCol(std::max(range.left, range.right));
    m_row = clampRow(std::max(range.top, range.bottom));
    makeVisible(m_col, m_row);
    viewport()->update();
    emit selectionChanged();
}

bool DrawGrid::focusCell(int col, int row)
{
    if (col < m_fixedCols || col >= colCount() || row < m_fixedRows || row >= rowCount())
        return false;
    if (m_selectCell && !m_selectCell(col, row))
        return false;
    m_col = m_anchorCol = col;
    m_row = m_anchorRow = row;
    makeVisible(col, row);
    viewport()->update();
    emit cellSelected(col, row);
    emit selectionChanged();
    return true;
}

void DrawGrid::moveTo(int col, int row, bool extend)
{
    col = std::clamp(col, m_fixedCols, colCount() - 1);
    row = std::clamp(row, m_fixedRows, rowCount() - 1);
    if (col == m_col && row == m_row && (extend || (m_anchorCol == col && m_anchorRow == row)))
        return;
    if (m_selectCell && !m_selectCell(col, row))
        return;
    m_col = col;
    m_row = row;
    if (!extend || !m_rangeSelect) {
        m_anchorCol = col;
        m_anchorRow = row;
    }
    makeVisible(col, row);
    viewport()->update();
    emit cellSelected(col, row);
    emit selectionChanged();
}

int DrawGrid::fixedWidth() const
{
    int w = 0;
    for (int c = 0; c < m_fixedCols && c < colCount(); ++c)
        w += m_colWidths[c];
    return w;
}

int DrawGrid::fixedHeight() const
{
    int h = 0;
    for (int r = 0; r < m_fixedRows && r < rowCount(); ++r)
        h += m_rowHeights[r];
    return h;
}

int DrawGrid::maxTopRow() const
{
    const int room = viewport()->height() - fixedHeight();
    int used = 0;
    int top = rowCount();
    while (top > m_fixedRows && used + m_rowHeights[top - 1] <= room) {
        used += m_rowHeights[top - 1];
        --top;
    }
    return std::max(m_fixedRows, std::min(top, rowCount() - 1));
}

int DrawGrid::maxLeftCol() const
{
    const int room = viewport()->width() - fixedWidth();
    int used = 0;
    int left = colCount();
    while (left > m_fixedCols && used + m_colWidths[left - 1] <= room) {
        used += m_colWidths[left - 1];
        --left;
    }
    return std::max(m_fixedCols, std::min(left, colCount() - 1));
}

int DrawGrid::visibleRowCount() const
{
    const int room = viewport()->height() - fixedHeight();
    int used = 0, n = 0;
    for (int r = m_topRow; r < rowCount() && used + m_rowHeights[r] <= room; ++r, ++n)
        used += m_rowHeights[r];
    return n;
}

int DrawGrid::visibleColCount() const
{
    const int room = viewport()->width() - fixedWidth();
    int used = 0, n = 0;
    for (int c = m_leftCol; c < colCount() && used + m_colWidths[c] <= room; ++c, ++n)
        used += m_colWidths[c];
    return n;
}

void DrawGrid::setTopRow(int row)
{
    row = std::clamp(row, m_fixedRows, std::max(m_fixedRows, maxTopRow()));
    if (row == m_topRow)
        return;
    m_topRow = row;
    m_syncing = true;
    verticalScrollBar()->setValue(row - m_fixedRows);
    m_syncing = false;
    viewport()->update();
    emit topLeftChanged();
}

void DrawGrid::setLeftCol(int col)
{
    col = std::clamp(col, m_fixedCols, std::max(m_fixedCols, maxLeftCol()));
    if (col == m_leftCol)
        return;
    m_leftCol = col;
    m_syncing = true;
    horizontalScrollBar()->setValue(col - m_fixedCols);
    m_syncing = false;
    viewport()->update();
    emit topLeftChanged();
}

void DrawGrid::makeVisible(int col, int row)
{
    if (row >= m_fixedRows) {
        if (row < m_topRow)
            setTopRow(row);
        else {
            const int n = std::max(1, visibleRowCount());
            if (row >= m_topRow + n) {
                // the smallest top row that still shows the row wholly
                const int room = viewport()->height() - fixedHeight();
                int top = row, used = m_rowHeights[row];
                while (top > m_fixedRows && used + m_rowHeights[top - 1] <= room)
                    used += m_rowHeights[--top];
                setTopRow(top);
            }
        }
    }
    if (col >= m_fixedCols) {
        if (col < m_leftCol)
            setLeftCol(col);
        else {
            const int n = std::max(1, visibleColCount());
            if (col >= m_leftCol + n) {
                const int room = viewport()->width() - fixedWidth();
                int left = col, used = m_colWidths[col];
                while (left > m_fixedCols && used + m_colWidths[left - 1] <= room)
                    used += m_colWidths[--left];
                setLeftCol(left);
            }
        }
    }
}

QRect DrawGrid::cellRect(int col, int row) const
{
    if (col < 0 || col >= colCount() || row < 0 || row >= rowCount())
        return {};
    if ((col >= m_fixedCols && col < m_leftCol) || (row >= m_fixedRows && row < m_topRow))
        return {};
    int x = 0;
    if (col < m_fixedCols) {
        for (int c = 0; c < col; ++c)
            x += m_colWidths[c];
    } else {
        x = fixedWidth();
        for (int c = m_leftCol; c < col; ++c)
            x += m_colWidths[c];
    }
    int y = 0;
    if (row < m_fixedRows) {
        for (int r = 0; r < row; ++r)
            y += m_rowHeights[r];
    } else {
        y = fixedHeight();
        for (int r = m_topRow; r < row; ++r)
            y += m_rowHeights[r];
    }
    const QRect rect(x, y, m_colWidths[col], m_rowHeights[row]);
    if (x >= viewport()->width() || y >= viewport()->height())
        return {};
    return rect;
}

bool DrawGrid::cellAt(const QPoint& pos, int& col, int& row) const
{
    col = row = -1;
    int x = 0;
    for (int c = 0; c < m_fixedCols && c < colCount(); x += m_colWidths[c++])
        if (pos.x() >= x && pos.x() < x + m_colWidths[c])
            col = c;
    if (col < 0)
        for (int c = m_leftCol; c < colCount(); x += m_colWidths[c++])
            if (pos.x() >= x && pos.x() < x + m_colWidths[c]) {
                col = c;
                break;
            }
    int y = 0;
    for (int r = 0; r < m_fixedRows && r < rowCount(); y += m_rowHeights[r++])
        if (pos.y() >= y && pos.y() < y + m_rowHeights[r])
            row = r;
    if (row < 0)
        for (int r = m_topRow; r < rowCount(); y += m_rowHeights[r++])
            if (pos.y() >= y && pos.y() < y + m_rowHeights[r]) {
                row = r;
                break;
            }
    return col >= 0 && row >= 0;
}

void DrawGrid::invalidateCell(int col, int row)
{
    const QRect r = cellRect(col, row);
    if (!r.isEmpty())
        viewport()->update(r);
}

void DrawGrid::updateScrollBars()
{
    m_syncing = true;
    verticalScrollBar()->setRange(0, std::max(0, maxTopRow() - m_fixedRows));
    verticalScrollBar()->setPageStep(std::max(1, visibleRowCount()));
    verticalScrollBar()->setValue(m_topRow - m_fixedRows);
    horizontalScrollBar()->setRange(0, std::max(0, maxLeftCol() - m_fixedCols));
    horizontalScrollBar()->setPageStep(std::max(1, visibleColCount()));
    horizontalScrollBar()->setValue(m_leftCol - m_fixedCols);
    m_syncing = false;
}

void DrawGrid::scrollContentsBy(int, int)
{
    if (m_syncing)
        return;
    const int top = m_fixedRows + verticalScrollBar()->value();
    const int left = m_fixedCols + horizontalScrollBar()->value();
    if (top == m_topRow && left == m_leftCol)
        return;
    m_topRow = top;
    m_leftCol = left;
    viewport()->update();
    emit topLeftChanged();
}

void DrawGrid::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    const int top = std::min(m_topRow, std::max(m_fixedRows, maxTopRow()));
    const int left = std::min(m_leftCol, std::max(m_fixedCols, maxLeftCol()));
    const bool moved = top != m_topRow || left != m_leftCol;
    m_topRow = top;
    m_leftCol = left;
    updateScrollBars();
    if (moved)
        emit topLeftChanged();
}

QSize DrawGrid::sizeHint() const
{
    int w = 2 * frameWidth(), h = 2 * frameWidth();
    for (int c : m_colWidths)
        w += c;
    for (int r = 0; r < std::min<int>(rowCount(), 12); ++r)
        h += m_rowHeights[r];
    return {w + verticalScrollBar()->sizeHint().width(), h};
}

void DrawGrid::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    p.fillRect(e->rect(), palette().base());
    const GridRect sel = selection();
    const QColor lineColor = palette().color(QPalette::Mid);
    const auto paintCell = [&](int c, int r) {
        const QRect rect = cellRect(c, r);
        if (rect.isEmpty() || !rect.intersects(e->rect()))
            return;
        GridDrawState st;
        st.fixed = c < m_fixedCols || r < m_fixedRows;
        st.focused = !st.fixed && c == m_col && r == m_row && hasFocus();
        st.selected = !st.fixed && sel.contains(c, r) && (m_drawFocusSelected || !(c == m_col && r == m_row));
        if (st.fixed) {
            QLinearGradient g(rect.topLeft(), rect.bottomLeft());
            g.setColorAt(0, palette().color(QPalette::Button).lighter(112));
            g.setColorAt(1, palette().color(QPalette::Button).darker(108));
            p.fillRect(rect, g);
        } else if (st.selected) {
            p.fillRect(rect, palette().color(QPalette::Highlight));
        }
        p.save();
        p.setClipRect(rect);
        p.setPen(st.selected ? palette().color(QPalette::HighlightedText) : palette().color(QPalette::Text));
        if (m_drawCell)
            m_drawCell(&p, c, r, rect, st);
        p.restore();
        if (m_gridLines) {
            p.setPen(lineColor);
            p.drawLine(rect.topRight(), rect.bottomRight());
            p.drawLine(rect.bottomLeft(), rect.bottomRight());
        }
        if (st.focused) {
            p.setPen(QPen(palette().color(QPalette::Text), 1, Qt::DotLine));
            p.drawRect(rect.adjusted(0, 0, -1, -1));
        }
    };
    for (int r = 0; r < rowCount(); ++r) {
        if (r >= m_fixedRows && r < m_topRow)
            continue;
        for (int c = 0; c < colCount(); ++c) {
            if (c >= m_fixedCols && c < m_leftCol)
                continue;
            paintCell(c, r);
        }
        if (r >= m_topRow && colCount() > 0 && cellRect(0, r).isEmpty())
            break; // below the view
    }
}

void DrawGrid::mousePressEvent(QMouseEvent* e)
{
    setFocus(Qt::MouseFocusReason);
    int c, r;
    if (e->button() != Qt::LeftButton || !cellAt(e->position().toPoint(), c, r))
        return;
    if (c < m_fixedCols || r < m_fixedRows)
        return;
    moveTo(c, r, (e->modifiers() & Qt::ShiftModifier) != 0);
}

void DrawGrid::mouseMoveEvent(QMouseEvent* e)
{
    if (!(e->buttons() & Qt::LeftButton) || !m_rangeSelect)
        return;
    int c, r;
    const QPoint pos = e->position().toPoint();
    if (!cellAt(pos, c, r)) {
        // dragging past the edge scrolls
        c = m_col;
        r = m_row;
        if (pos.y() >= viewport()->height())
            r = m_row + 1;
        else if (pos.y() < fixedHeight())
            r = m_row - 1;
        if (pos.x() >= viewport()->width())
            c = m_col + 1;
    }
    if (c < m_fixedCols || r < m_fixedRows)
        return;
    moveTo(c, r, true);
}

void DrawGrid::keyPressEvent(QKeyEvent* e)
{
    const bool extend = (e->modifiers() & Qt::ShiftModifier) != 0;
    const int page = std::max(1, visibleRowCount());
    switch (e->key()) {
    case Qt::Key_Left: moveTo(m_col - 1, m_row, extend); break;
    case Qt::Key_Right: moveTo(m_col + 1, m_row, extend); break;
    case Qt::Key_Up: moveTo(m_col, m_row - 1, extend); break;
    case Qt::Key_Down: moveTo(m_col, m_row + 1, extend); break;
    case Qt::Key_PageUp: moveTo(m_col, m_row - page, extend); break;
    case Qt::Key_PageDown: moveTo(m_col, m_row + page, extend); break;
    case Qt::Key_Home:
        moveTo(m_fixedCols, (e->modifiers() & Qt::ControlModifier) ? m_fixedRows : m_row, extend);
        break;
    case Qt::Key_End:
        moveTo(colCount() - 1, (e->modifiers() & Qt::ControlModifier) ? rowCount() - 1 : m_row, extend);
        break;
    default: QAbstractScrollArea::keyPressEvent(e); return;
    }
    e->accept();
}

} // namespace kvui
