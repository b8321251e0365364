// The check of a value typed into a cell before the in-place editor writes it
// (a member of BandedView, kept in a unit of its own).
#include "BandedView.h"
#include "DisplayFormat.h"
#include "MessageBox.h"

#include <QLineEdit>

namespace kvui {

bool BandedView::refuseEditValue(int row, Column* c, const QVariant& v)
{
    if (m_refusingEdit)
        return true; // the box is up: the editor's focus moving to it posts nothing
    if (!c || row < 0 || row >= m_rows.size() || v.typeId() != QMetaType::QString)
        return false;
    bool ok = true;
    convertEditedValue(v, editValueType(m_rows[row], c), &ok);
    if (ok)
        return false;
    // A text that is no value of the cell's type (a letter in a quantity) is
    // not dropped in silence: the user is told, and corrects it in the editor,
    // which stays open with the text.
    m_refusingEdit = true;
    kvos::applicationMessageBox(QStringLiteral("[%1]的值(%2)无效!").arg(c->caption(), v.toString()), QStringLiteral("错误"),
                                kvos::MB_OK | kvos::MB_ICONERROR);
    m_refusingEdit = false;
    if (m_editor) {
        m_editor->setFocus();
        if (auto* line = qobject_cast<QLineEdit*>(m_editor.data()))
            line->selectAll();
    }
    return true;
}

} // namespace kvui
