// The output view's colours: editable cells, rows that take no part, the
// checked rows, the dates and quantities that need the planner's eye.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include <QCheckBox>

using namespace famMRPOutputShared;

namespace {

QDate dateOf(const QVariant& v)
{
    if (OutputIsNone(v))
        return QDate();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    const QDate d = QDate::fromString(v.toString().left(10), Qt::ISODate);
    return d.isValid() ? d : v.toDateTime().date();
}

// The stand-in look of cells and rows that take no part.
const QColor clInactiveBack(240, 240, 240), clInactiveText(128, 128, 128);

} // namespace

void TMRPOutputFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                                            QColor& AOutBrush, QFont&, QColor& AOutTextColor)
{
    Q_UNUSED(AFocused);
    if (!grdSupplies->isEnabled() || !ANode || !AColumn)
        return;
    const kvui::TreeNode* top = ANode;
    while (top->parent())
        top = top->parent();
    const bool leaf = ANode->childCount() == 0;
    const double doDest = OutputNumber(ANode->value(colSupDoDestQty));
    const bool outputRow = leaf && top->isChecked() && (ANode->level() == 0 || doDest != 0);
    // 1.
    if (!IsRowOpen(ANode)) {
        AOutBrush = clInactiveBack;
        AOutTextColor = clInactiveText;
        return;
    }
    bool painted = true;
    const int period = AColumn->tag() - 1;
    const bool isPeriod = period >= 0 && period < int(FPeriodCols.size()) && FPeriodCols[size_t(period)] == AColumn;
    const int target = whole(ANode->value(colSupDestType));
    if (isPeriod) {
        if ((ANode->level() == 0 || !leaf) && ANode->imageIndex() == period)
            AOutBrush = ASelected ? clTeal : clCyan;
        else
            painted = false;
    } else if (AColumn == colSupUnDestQty && OutputNumber(ANode->value(colSupUnDestQty)) < 0) {
        AOutBrush = clOrange;
    } else if ((AColumn == colSupDoDestQty || AColumn == colSupDoDestQtyU)
               && (doDest < 0 || (doDest == 0 && ANode->level() == 0 && ANode->isChecked()) || !RowMessage(ANode).isEmpty())) {
        AOutBrush = clRed;
    } else if ((AColumn == colSupRefPOQty && !chkRefPOQty->isChecked()) || (AColumn == colSupRefUseQty && !chkRefUseQty->isChecked())) {
        AOutBrush = clInactiveBack;
    } else if (AColumn == colSupBOM && outputRow
               && (target == obtProduction || target == obtSubcontract || target == obtSubcontractDirect)
               && text(ANode->value(colSupBomID)).isEmpty()) {
        AOutBrush = clRed;
    } else if (leaf && AColumn->isEditable()) {
        if (AColumn == colSupDept && text(ANode->value(colSupDeptID)).isEmpty()
            && ((outputRow && (target == obtProduction || target == obtSubcontract)) || !text(ANode->value(colSupDept)).isEmpty())) {
            AOutBrush = clRed;
        } else if (AColumn == colSupDate) {
            const QDate today = QDate::currentDate();
            QDate start = dateOf(ANode->value(colSupDrawDate));
            QDate end = dateOf(ANode->value(colSupDate));
            if (!start.isValid())
                start = today;
            if (!end.isValid())
                end = today;
            AOutBrush = end < start ? clRed : (ASelected ? clOlive : clYellow);
        } else {
            AOutBrush = ASelected ? clOlive : clYellow;
        }
    } else {
        painted = false;
    }
    Q_UNUSED(painted);
    // Font colour.
    const bool focusedTree = grdSupplies->hasFocus();
    if (ANode->level() > 0 && doDest == 0) {
        AOutTextColor = focusedTree && ASelected ? palette().color(QPalette::Button) : palette().color(QPalette::Mid);
        return;
    }
    if (focusedTree && ASelected)
        return;
    const bool checked = ANode->isChecked() || (ANode->level() == 1 && ANode->parent()->isChecked())
        || (ANode->level() == 2 && ANode->parent()->parent()->isChecked());
    if (checked)
        AOutTextColor = clBlue;
}
