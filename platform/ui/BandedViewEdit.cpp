// In-place editing in the banded view: which cells can be edited, opening the
// editor, posting or cancelling its value (a member of BandedView, kept in a
// unit of its own; the check of a typed value is EditValueCheck.cpp).
#include "BandedView.h"
#include "BandedViewInternal.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

namespace kvui {

bool BandedView::canEditCell(int row, Column* c) const
{
    if (!m_editingEnabled || m_readOnly || !c || !c->isEditable() || row < 0 || row >= m_rows.size() ||
        m_rows[row].kind != RowRef::Data)
        return false;
    if (c->effectiveEditor(m_rows[row])->readOnly()) return false;
    return !m_editingHook || m_editingHook(m_rows[row], c);
}

bool BandedView::startEdit(Column* c, const QString& typed)
{
    if (m_editor) return true;
    if (!m_editingEnabled || m_readOnly) return false;
    int row = focusedRow();
    if (row < 0 || m_rows[row].kind != RowRef::Data) return false;
    if (!c) c = m_focusColumn;
    if (!c || !c->isEditable() || !c->isVisible() || !m_geom.columnRect(c).isValid()) return false;
    RowRef r = m_rows[row];
    if (m_editingHook && !m_editingHook(r, c)) return false;
    EditorPtr ed = c->effectiveEditor(r);
    if (ed->readOnly()) return false;
    m_focusColumn = c;
    makeRowVisible(row);
    makeColumnVisible(c);
    QWidget* w = ed->createEditor(viewport());
    m_editOldValue = cellValue(row, c);
    ed->setEditorValue(w, m_editOldValue);
    if (!typed.isEmpty()) {
        if (auto* le = qobject_cast<QLineEdit*>(w)) {
            if (auto* be = qobject_cast<ButtonEdit*>(w); be && be->noKeyInput()) {
                // typing into a button edit without text input clicks its button
                m_editor = w;
            } else {
                le->setText(typed);
            }
        }
    }
    QRect cr = cellRect(row, c).adjusted(0, 0, -1, -1);
    if (c == firstVisibleColumn()) cr.setLeft(cr.left() + rowContentIndent(r));
    w->setGeometry(cr);
    w->installEventFilter(this);
    m_editor = w;
    m_editorProps = ed;
    m_editRow = row;
    m_editColumn = c;
    w->show();
    w->setFocus();
    if (!typed.isEmpty()) {
        if (auto* be = qobject_cast<ButtonEdit*>(w); be && be->noKeyInput()) {
            QKeyEvent ke(QEvent::KeyPress, 0, Qt::NoModifier, typed);
            QApplication::sendEvent(be, &ke);
        }
    }
    viewport()->update();
    return true;
}

bool BandedView::postEdit()
{
    if (!m_editor) return true;
    QWidget* w = m_editor;
    int row = m_editRow;
    Column* c = m_editColumn;
    QVariant nv = m_editorProps->editorValue(w);
    if (refuseEditValue(row, c, nv)) return false;
    QVariant old = m_editOldValue;
    bool same = (isNullValue(nv) && isNullValue(old)) ||
                (!isNullValue(nv) && !isNullValue(old) && nv.toString() == old.toString() &&
                 (nv.typeId() == old.typeId() || nv.typeId() == QMetaType::QString));
    const bool keepFocus = focusMovedAway();
    m_editor = nullptr;
    w->removeEventFilter(this);
    w->hide();
    w->deleteLater();
    m_editorProps.reset();
    m_editRow = -1;
    m_editColumn = nullptr;
    if (!same) {
        if (!setCellValue(row, c, nv)) {
            QApplication::beep();
        } else {
            emit cellEdited(row, c, old, cellValue(row, c));
        }
    }
    if (!keepFocus)
        setFocus();
    viewport()->update();
    return true;
}

bool BandedView::focusMovedAway() const
{
    // A click on a button of the window ends the edit as the button takes the
    // focus: taking it back would leave the button unpressed, its click lost.
    QWidget* fw = window()->focusWidget();
    return fw && fw != this && !isAncestorOf(fw) && fw->isVisible();
}

bool BandedView::postEditValue()
{
    if (!m_editor) return false;
    QVariant nv = m_editorProps->editorValue(m_editor);
    QVariant old = m_editOldValue;
    if (!setCellValue(m_editRow, m_editColumn, nv)) return false;
    m_editOldValue = cellValue(m_editRow, m_editColumn);
    emit cellEdited(m_editRow, m_editColumn, old, m_editOldValue);
    return true;
}

void BandedView::cancelEdit()
{
    if (!m_editor) return;
    QWidget* w = m_editor;
    const bool keepFocus = focusMovedAway();
    m_editor = nullptr;
    w->removeEventFilter(this);
    w->hide();
    w->deleteLater();
    m_editorProps.reset();
    m_editRow = -1;
    m_editColumn = nullptr;
    if (isVisible() && !keepFocus) setFocus();
    viewport()->update();
}

bool BandedView::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_editor) {
        if (e->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(e);
            bool comboOpen = false;
            if (auto* cb = qobject_cast<QComboBox*>(m_editor)) comboOpen = cb->view() && cb->view()->isVisible();
            switch (ke->key()) {
            case Qt::Key_Escape: cancelEdit(); return true;
            case Qt::Key_Return: case Qt::Key_Enter: {
                if (comboOpen) return false;
                if (postEdit() && m_enterNext) {
                    int k = nextEditableColumn(1);
                    if (k >= 0) { m_focusColumn = visibleColumns()[k]; startEdit(); }
                }
                return true;
            }
            case Qt::Key_Tab: case Qt::Key_Backtab: {
                if (!postEdit()) return true;
                int k = nextEditableColumn(ke->key() == Qt::Key_Tab ? 1 : -1);
                if (k >= 0) { m_focusColumn = visibleColumns()[k]; startEdit(); }
                return true;
            }
            case Qt::Key_Up: case Qt::Key_Down:
                if (comboOpen || qobject_cast<QComboBox*>(m_editor)) return false;
                if (postEdit()) moveFocus(focusedRow() + (ke->key() == Qt::Key_Up ? -1 : 1), Qt::NoModifier);
                return true;
            default: break;
            }
        } else if (e->type() == QEvent::FocusOut) {
            QWidget* fw = QApplication::focusWidget();
            if (!QApplication::activePopupWidget() && !(fw && m_editor->isAncestorOf(fw)) &&
                !(fw && fw->window() != window()))
                QMetaObject::invokeMethod(this, [this] { if (m_editor && !m_editor->hasFocus() &&
                    !m_editor->isAncestorOf(QApplication::focusWidget())) postEdit(); }, Qt::QueuedConnection);
        }
    }
    return QAbstractScrollArea::eventFilter(o, e);
}

} // namespace kvui
