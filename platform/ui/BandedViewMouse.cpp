// The mouse on the banded view: header clicks, column resizing and dragging,
// equal widths, expand buttons, row clicks and double clicks (a member of
// BandedView, kept in a unit of its own).
#include "BandedView.h"
#include "BandedViewInternal.h"

#include <QMouseEvent>

namespace kvui {

void BandedView::mousePressEvent(QMouseEvent* e)
{
    setFocus();
    QPoint pos = e->position().toPoint();
    if (e->button() != Qt::LeftButton) return;
    if (pos.y() < headerTop()) { groupBoxMousePress(e); return; }
    if (pos.y() < rowsTop()) {
        bool edge = false;
        Column* c = headerColumnAt(pos, &edge);
        if (!c) return;
        if (m_editor && !postEdit()) return;
        if (!edge && headerButtonPressed(c, columnHeaderRect(c), pos)) return;
        m_dragColumn = c;
        m_pressPos = pos;
        if (edge && c->isSizable()) { m_drag = Drag::Resize; m_resizeStartWidth = c->width(); }
        else m_drag = Drag::Press;
        return;
    }
    int row = rowAt(pos);
    if (row < 0) return;
    const RowRef r = m_rows[row];
    Column* c = columnAt(pos);
    if (m_editor) {
        if (row == m_editRow && c == m_editColumn) return;
        if (!postEdit()) return;
    }
    if (r.kind == RowRef::Data && c == firstVisibleColumn() && rowContentIndent(r) > 0) {
        QRect cr = cellRect(row, c);
        if (hitRowDecoration(r, QRect(cr.left(), cr.top(), rowContentIndent(r), qMin(cr.height(), m_geom.lineHeight)), pos))
            return;
    }
    if (r.kind == RowRef::Group) {
        int x = (m_showIndicator ? IndicatorWidth : 0) + r.level * IndentStep;
        if (pos.x() >= x && pos.x() < x + IndentStep) { setRowExpanded(row, !rowExpanded(row)); return; }
    }
    bool wasFocused = row == focusedRow() && c == m_focusColumn;
    quintptr key = rowKey(r);
    Qt::KeyboardModifiers mods = e->modifiers();
    if (m_multiSelect && (mods & Qt::ControlModifier)) {
        if (m_selected.contains(key)) m_selected.remove(key);
        else if (canSelectRow(r)) m_selected.insert(key);
        m_anchorKey = key;
    } else if (m_multiSelect && (mods & Qt::ShiftModifier) && rowOfKey(m_anchorKey) >= 0) {
        int a = rowOfKey(m_anchorKey);
        m_selected.clear();
        for (int i = qMin(a, row); i <= qMax(a, row); ++i)
            if (canSelectRow(m_rows[i])) m_selected.insert(rowKey(m_rows[i]));
    } else {
        m_selected.clear();
        if (canSelectRow(r)) m_selected.insert(key);
        m_anchorKey = key;
    }
    setFocusKey(key, c);
    invalidateSummaries();
    emit selectionChanged();
    viewport()->update();
    if (r.kind == RowRef::Data && c && !mods) {
        EditorPtr ed = c->effectiveEditor(r);
        if (ed->toggleOnClick()) {
            QRect cr = cellRect(row, c);
            if (m_editingEnabled && !m_readOnly && c->isEditable() && !ed->readOnly() &&
                (!m_editingHook || m_editingHook(r, c)) && cr.contains(pos)) {
                QVariant old = cellValue(row, c);
                QVariant nv = ed->toggled(old);
                if (setCellValue(row, c, nv)) emit cellEdited(row, c, old, nv);
            }
        } else if (wasFocused) {
            startEdit(c);
        }
    }
}

void BandedView::mouseMoveEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    if (m_drag == Drag::Resize && m_dragColumn) {
        m_dragColumn->setWidth(qMax(20, m_resizeStartWidth + pos.x() - m_pressPos.x()));
        applyEqualWidths(m_dragColumn);
        return;
    }
    if (m_drag == Drag::Press && (pos - m_pressPos).manhattanLength() > 6) {
        m_drag = Drag::Move;
    }
    if (m_drag == Drag::Move) {
        m_dragPos = pos;
        viewport()->update();
        return;
    }
    if (e->buttons() == Qt::NoButton) {
        bool edge = false;
        Column* c = headerColumnAt(pos, &edge);
        viewport()->setCursor(c && edge && c->isSizable() ? Qt::SplitHCursor : Qt::ArrowCursor);
    }
}

void BandedView::mouseReleaseEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    Drag d = m_drag;
    Column* c = m_dragColumn;
    m_drag = Drag::None;
    m_dragColumn = nullptr;
    if (!c) return;
    if (d == Drag::Resize) {
        applyEqualWidths(c);
        emit columnResized(c);
    } else if (d == Drag::Press) {
        headerClicked(c, e->modifiers());
    } else if (d == Drag::Move) {
        if (pos.y() < headerTop()) {
            headerDropToGroupBox(c);
        } else if (pos.y() < rowsTop() && c->isMovable()) {
            Column* target = headerColumnAt(pos, nullptr);
            if (target && target != c && (m_bands[target->m_band].fixed == m_bands[c->m_band].fixed ||
                                          m_bands.value(target->m_band).movable))
                moveColumnBefore(c, target);
        }
        viewport()->update();
    }
}

void BandedView::mouseDoubleClickEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    int row = rowAt(pos);
    if (row < 0 || e->button() != Qt::LeftButton) return;
    if (m_rows[row].kind == RowRef::Group) { setRowExpanded(row, !rowExpanded(row)); return; }
    Column* c = columnAt(pos);
    if (m_rows[row].kind == RowRef::Data && c) emit cellDoubleClicked(row, c);
}

void BandedView::moveColumnBefore(Column* moving, Column* target)
{
    beginUpdate();
    moving->setPosition(target->m_band, target->m_row, target->m_colIndex);
    endUpdate();
    relayout();
}

void BandedView::applyEqualWidths(Column* c)
{
    if (!m_equalWidthTags || c->tag() <= 0) return;
    for (Column* o : m_columns)
        if (o != c && o->m_band == c->m_band && o->tag() == c->tag()) o->m_width = c->m_width;
    relayout();
}

} // namespace kvui
