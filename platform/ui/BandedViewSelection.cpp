// Focus, selection and keys of the banded view: the focused row and column,
// selected rows, scrolling a row into sight, keyboard navigation (a member of
// BandedView, kept in a unit of its own).
#include "BandedView.h"

#include <QKeyEvent>
#include <QScrollBar>

namespace kvui {

// ---------------------------------------------------------------- focus and selection

int BandedView::focusedRow() const
{
    return m_hasFocusKey ? m_keyRow.value(m_focusKey, -1) : -1;
}

int BandedView::rowOfKey(quintptr key) const { return m_keyRow.value(key, -1); }

void BandedView::setFocusKey(quintptr key, Column* c)
{
    int prev = focusedRow();
    bool changed = !m_hasFocusKey || key != m_focusKey;
    m_focusKey = key;
    m_hasFocusKey = true;
    if (c) m_focusColumn = c;
    if (!m_focusColumn) m_focusColumn = firstVisibleColumn();
    if (changed) emit focusedRowChanged(prev, focusedRow());
}

void BandedView::setFocusedColumn(Column* c)
{
    if (m_editor && !postEdit()) return;
    m_focusColumn = c;
    makeColumnVisible(c);
    viewport()->update();
}

void BandedView::focusKeyWhenShown(quintptr key)
{
    if (m_updateLock) {
        m_pendingFocusKey = key;
        m_hasPendingFocus = true;
        m_dirty = true;
        return;
    }
    setFocusedRow(rowOfKey(key), true);
}

void BandedView::setFocusedRow(int row, bool select)
{
    if (row < 0 || row >= m_rows.size()) return;
    if (m_editor && !postEdit()) return;
    quintptr k = rowKey(m_rows[row]);
    setFocusKey(k, nullptr);
    m_anchorKey = k;
    if (select || !m_multiSelect) {
        m_selected.clear();
        if (canSelectRow(m_rows[row])) m_selected.insert(k);
        invalidateSummaries();
        emit selectionChanged();
    }
    makeRowVisible(row);
    viewport()->update();
}

bool BandedView::isRowSelected(int row) const
{
    return row >= 0 && row < m_rows.size() && m_selected.contains(rowKey(m_rows[row]));
}

QList<int> BandedView::selectedRows() const
{
    QList<int> out;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_selected.contains(rowKey(m_rows[i]))) out << i;
    return out;
}

void BandedView::selectRow(int row, bool on)
{
    if (row < 0 || row >= m_rows.size()) return;
    quintptr k = rowKey(m_rows[row]);
    if (on) {
        if (!canSelectRow(m_rows[row])) return;
        if (!m_multiSelect) m_selected.clear();
        m_selected.insert(k);
    } else {
        m_selected.remove(k);
    }
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::selectAllRows()
{
    if (!m_multiSelect) return;
    for (const RowRef& r : std::as_const(m_rows))
        if (canSelectRow(r)) m_selected.insert(rowKey(r));
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::clearSelection()
{
    m_selected.clear();
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::makeRowVisible(int row)
{
    if (row < 0 || row >= m_rows.size()) return;
    int area = rowsBottom() - rowsTop();
    int top = m_rowTop[row], bottom = m_rowTop[row + 1];
    int v = verticalScrollBar()->value();
    if (top < v) verticalScrollBar()->setValue(top);
    else if (bottom > v + area) verticalScrollBar()->setValue(bottom - area);
}

// ---------------------------------------------------------------- keyboard

int BandedView::nextEditableColumn(int dir) const
{
    QList<Column*> vis = visibleColumns();
    int i = int(vis.indexOf(m_focusColumn));
    for (int k = i + dir; k >= 0 && k < vis.size(); k += dir)
        if (vis[k]->isEditable()) return k;
    return -1;
}

void BandedView::moveFocus(int row, Qt::KeyboardModifiers mods)
{
    if (m_rows.isEmpty()) return;
    row = qBound(0, row, int(m_rows.size()) - 1);
    quintptr key = rowKey(m_rows[row]);
    if (m_multiSelect && (mods & Qt::ShiftModifier)) {
        int a = rowOfKey(m_anchorKey);
        if (a < 0) a = focusedRow();
        m_selected.clear();
        for (int i = qMin(a, row); i <= qMax(a, row); ++i)
            if (canSelectRow(m_rows[i])) m_selected.insert(rowKey(m_rows[i]));
    } else if (m_multiSelect && (mods & Qt::ControlModifier)) {
        // focus moves without selecting
    } else {
        m_selected.clear();
        if (canSelectRow(m_rows[row])) m_selected.insert(key);
        m_anchorKey = key;
    }
    setFocusKey(key, nullptr);
    makeRowVisible(row);
    invalidateSummaries();
    emit selectionChanged();
    viewport()->update();
}

void BandedView::keyPressEvent(QKeyEvent* e)
{
    int row = focusedRow();
    Qt::KeyboardModifiers mods = e->modifiers();
    int page = qMax(1, (rowsBottom() - rowsTop()) / qMax(1, m_geom.recordHeight));
    if ((e->matches(QKeySequence::Copy)) || (e->key() == Qt::Key_Insert && (mods & Qt::ControlModifier))) {
        copyToClipboard(mods & Qt::ShiftModifier);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Up: moveFocus(row - 1, mods); return;
    case Qt::Key_Down: moveFocus(row + 1, mods); return;
    case Qt::Key_PageUp: moveFocus(row - page, mods); return;
    case Qt::Key_PageDown: moveFocus(row + page, mods); return;
    case Qt::Key_Home: if (mods & Qt::ControlModifier) { moveFocus(0, mods); return; } break;
    case Qt::Key_End: if (mods & Qt::ControlModifier) { moveFocus(int(m_rows.size()) - 1, mods); return; } break;
    default: break;
    }
    if (row >= 0 && m_rows[row].kind != RowRef::Data) {
        if (e->key() == Qt::Key_Right || e->key() == Qt::Key_Plus || e->key() == Qt::Key_Return) { setRowExpanded(row, true); return; }
        if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Minus) { setRowExpanded(row, false); return; }
    }
    QList<Column*> vis = visibleColumns();
    int ci = int(vis.indexOf(m_focusColumn));
    // The column the keys move to comes into view, past the fixed bands too.
    const auto focusColumnByKey = [this](Column* c) {
        m_focusColumn = c;
        makeColumnVisible(c);
        viewport()->update();
    };
    switch (e->key()) {
    case Qt::Key_Left:
        if (ci > 0) focusColumnByKey(vis[ci - 1]);
        return;
    case Qt::Key_Right:
        if (ci + 1 < vis.size()) focusColumnByKey(vis[ci + 1]);
        return;
    case Qt::Key_Home: if (!vis.isEmpty()) focusColumnByKey(vis.first()); return;
    case Qt::Key_End: if (!vis.isEmpty()) focusColumnByKey(vis.last()); return;
    case Qt::Key_Plus: if (row >= 0 && rowHasChildren(row)) setRowExpanded(row, true); return;
    case Qt::Key_Minus: if (row >= 0 && rowHasChildren(row)) setRowExpanded(row, false); return;
    case Qt::Key_F2: case Qt::Key_Return: case Qt::Key_Enter: startEdit(); return;
    case Qt::Key_Space:
        if (m_multiSelect && (mods & Qt::ControlModifier) && row >= 0) {
            selectRow(row, !isRowSelected(row));
            viewport()->update();
            return;
        }
        if (row >= 0 && m_focusColumn && m_focusColumn->effectiveEditor(m_rows[row])->toggleOnClick()) {
            RowRef r = m_rows[row];
            Column* c = m_focusColumn;
            if (m_editingEnabled && !m_readOnly && c->isEditable() && (!m_editingHook || m_editingHook(r, c))) {
                QVariant old = cellValue(row, c);
                QVariant nv = c->effectiveEditor(r)->toggled(old);
                if (setCellValue(row, c, nv)) emit cellEdited(row, c, old, nv);
            }
            return;
        }
        break;
    case Qt::Key_A:
        if (mods & Qt::ControlModifier) { selectAllRows(); viewport()->update(); return; }
        break;
    default: break;
    }
    QString t = e->text();
    if (!t.isEmpty() && t[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        if (startEdit(nullptr, t)) return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void BandedView::focusInEvent(QFocusEvent* e) { QAbstractScrollArea::focusInEvent(e); viewport()->update(); }
void BandedView::focusOutEvent(QFocusEvent* e) { QAbstractScrollArea::focusOutEvent(e); viewport()->update(); }

} // namespace kvui
