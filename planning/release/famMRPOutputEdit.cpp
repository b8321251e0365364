// The output view's row edits: which cells a row lets the user change, the
// target type, department or supplier, unit and quantities as they are typed,
// the switch of sub-rows, the check marks with select all and none, and the
// keys of the tree.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untDllCommon.h"
#include "untMRPOutputBills.h"
#include "untMRPOutputSQL.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>

using namespace famMRPOutputShared;

namespace {

// The tree's nodes as the row arithmetic sees them.
class TreeAccess : public TMRPOutputTreeAccess {
public:
    explicit TreeAccess(const TMRPOutputFrame* AFrame) : f(AFrame) {}
    static kvui::TreeNode* node(const void* n) { return const_cast<kvui::TreeNode*>(static_cast<const kvui::TreeNode*>(n)); }
    kvui::Column* column(TMRPOutputQtyField AField) const
    {
        switch (AField) {
        case oqQty: return f->colSupQty;
        case oqDestQty: return f->colSupDestQty;
        case oqDoDestQty: return f->colSupDoDestQty;
        case oqDoDestQtyU: return f->colSupDoDestQtyU;
        case oqUnDestQty: return f->colSupUnDestQty;
        case oqUnitRate: return f->colSupDestUntRate;
        }
        return nullptr;
    }
    const void* Parent(const void* n) const override { return node(n)->parent(); }
    int ChildCount(const void* n) const override { return node(n)->childCount(); }
    const void* Child(const void* n, int i) const override { return node(n)->child(i); }
    int Level(const void* n) const override { return node(n)->level(); }
    QVariant Get(const void* n, TMRPOutputQtyField AField) const override { return node(n)->value(column(AField)); }
    void Set(const void* n, TMRPOutputQtyField AField, const QVariant& v) override { node(n)->setValue(column(AField), v); }
    void SetMessage(const void* n, const QString& t) override { node(n)->setData(t.isEmpty() ? QVariant() : QVariant(t)); }

private:
    const TMRPOutputFrame* f;
};

} // namespace

bool TMRPOutputFrame::IsRowOpen(kvui::TreeNode* ANode) const
{
    TreeAccess a(this);
    return ANode && IsOutputRowOpen(a, ANode);
}

void TMRPOutputFrame::ApplyOutputToNode(kvui::TreeNode* ANode, double AQty, const QDateTime& ATime)
{
    TreeAccess a(this);
    auto* top = static_cast<kvui::TreeNode*>(const_cast<void*>(::ApplyOutputToNode(a, ANode, AQty)));
    if (!top)
        return;
    top->setValue(colSupDester, InfoApplication->LoginInfo.UserName);
    top->setValue(colSupDestTime, ATime);
    const QVariant left = top->value(colSupDoDestQty);
    if (left.isNull() || left.toDouble() <= 1e-8)
        top->setCheckState(Qt::Unchecked);
}

QString TMRPOutputFrame::RowMessage(kvui::TreeNode* ANode) const
{
    return ANode ? text(ANode->data()) : QString();
}

bool TMRPOutputFrame::CanEditNode(kvui::TreeNode* ANode) const
{
    return ANode && ANode->childCount() == 0 && IsRowOpen(ANode);
}

void TMRPOutputFrame::UpdateDeptEditor(kvui::TreeNode* ANode)
{
    if (!ANode)
        return;
    const int t = whole(ANode->value(colSupDestType));
    FPickEditProperties->SQL = OutputDeptPickSQL(t, cboSuppList->currentIndex(), text(ANode->value(colSupItmID)));
}

void TMRPOutputFrame::LookupDefaultDept(kvui::TreeNode* ANode, int ATarget)
{
    QString id, name;
    if (ExecSQLText(GlobalADOQuery, OutputDefaultDeptSQL(ATarget, cboSuppDef->currentIndex(), text(ANode->value(colSupItmID))), true,
                    false, true)) {
        if (TField* f = GlobalADOQuery->FindField(QStringLiteral("ID")); f && !GlobalADOQuery->Eof())
            id = f->AsString();
        if (TField* f = GlobalADOQuery->FindField(QStringLiteral("Name")); f && !GlobalADOQuery->Eof())
            name = f->AsString();
    }
    GlobalADOQuery->Close();
    ANode->setValue(colSupDeptID, id);
    ANode->setValue(colSupDept, name);
}

bool TMRPOutputFrame::SwitchUnit(kvui::TreeNode* ANode, int ANewTarget, int AOldTarget)
{
    if ((ANewTarget == obtPurchase) == (AOldTarget == obtPurchase))
        return true;
    const QString sql = QStringLiteral("select u.* from QZ_Base_ItemMaster with(nolock) join QZ_Base_Unit as u with(nolock) on "
                                       "%1=UntID where ItmID=%2")
                            .arg(ANewTarget == obtPurchase ? QStringLiteral("ItmBuyUnitID") : QStringLiteral("ItmProdUnitID"),
                                 QuotedStr(text(ANode->value(colSupItmID))));
    bool found = false;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true) && !GlobalADOQuery->Eof()) {
        found = true;
        const QString unit = GlobalADOQuery->FieldByName(QStringLiteral("UntID"))->AsString();
        if (unit.compare(text(ANode->value(colSupDestUntID)), Qt::CaseInsensitive) != 0) {
            ANode->setValue(colSupDestUntID, unit);
            ANode->setValue(colSupDestUnit, GlobalADOQuery->FieldByName(QStringLiteral("UntName"))->AsString());
            ANode->setValue(colSupDestUntRate, GlobalADOQuery->FieldByName(QStringLiteral("UntFactor"))->AsFloat());
            QVariant u;
            const bool ok = OutputQtyInUnit(OutputNumber(ANode->value(colSupDoDestQty)), ANode->value(colSupDestUntRate), u);
            ANode->setValue(colSupDoDestQtyU, u);
            ANode->setData(ok ? QVariant() : QVariant(OutputMsgZeroUnitRate));
        }
    }
    GlobalADOQuery->Close();
    return found;
}

void TMRPOutputFrame::LookupTypedDept(kvui::TreeNode* ANode)
{
    const QString typed = text(ANode->value(colSupDept)).trimmed();
    QString id, name;
    bool found = false;
    if (ExecSQLText(GlobalADOQuery, OutputTypedDeptSQL(whole(ANode->value(colSupDestType)), typed), true, false, true)
        && !GlobalADOQuery->Eof()) {
        found = true;
        id = GlobalADOQuery->FieldByName(QStringLiteral("ID"))->AsString();
        name = GlobalADOQuery->FieldByName(QStringLiteral("Name"))->AsString();
    }
    GlobalADOQuery->Close();
    ANode->setValue(colSupDeptID, found ? id : QString());
    ANode->setValue(colSupDept, found ? name : typed);
}

void TMRPOutputFrame::NodeEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue)
{
    if (!ANode || !AColumn)
        return;
    const QVariant now = ANode->value(AColumn);
    if (now == AOldValue || (OutputIsNone(now) && OutputIsNone(AOldValue)))
        return;
    FModified = true;
    TreeAccess a(this);
    if (AColumn == colSupDestType) {
        const int t = whole(now);
        LookupDefaultDept(ANode, t);
        if (!SwitchUnit(ANode, t, whole(AOldValue)))
            ANode->setValue(colSupDestType, AOldValue);
    } else if (AColumn == colSupDept) {
        LookupTypedDept(ANode);
    } else if (AColumn == colSupDoDestQty || AColumn == colSupDoDestQtyU) {
        UpdateBracket bracket(grdSupplies);
        EditOutputQty(a, ANode, now, AColumn == colSupDoDestQty);
    }
    if (InfoApplication && ANode == grdSupplies->focusedNode() && !FReleasing)
        InfoApplication->ShowStatusMessage(RowMessage(ANode), mkHint);
    grdSupplies->viewport()->update();
}

bool TMRPOutputFrame::ToggleNode(kvui::TreeNode* ANode)
{
    if (!ANode || ANode->level() == 0 || ANode->childCount() > 0 || !IsRowOpen(ANode))
        return false;
    UpdateBracket bracket(grdSupplies);
    TreeAccess a(this);
    ToggleOutputRow(a, ANode);
    // Switching a row changes what goes out like any edit does.
    FModified = true;
    return true;
}

void TMRPOutputFrame::NodeCheckChanged(kvui::TreeNode* ANode, Qt::KeyboardModifiers AModifiers)
{
    if (FNodeChecking || !ANode || ANode->level() != 0)
        return;
    FlagHold hold(FNodeChecking, true);
    if (!(AModifiers & (Qt::ShiftModifier | Qt::ControlModifier))) {
        grdSupplies->setFocusedNode(ANode);
        return;
    }
    UpdateBracket bracket(grdSupplies);
    grdSupplies->selectNode(ANode, true);
    for (kvui::TreeNode* n : grdSupplies->selectedNodes())
        if (n->level() == 0)
            n->setCheckState(ANode->checkState());
}

void TMRPOutputFrame::lblSelectAllClick()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    {
        FlagHold hold(FNodeChecking, true);
        UpdateBracket bracket(grdSupplies);
        for (kvui::TreeNode* n : grdSupplies->topNodes())
            if (!n->isChecked() && OutputNumber(n->value(colSupDoDestQty)) > 0)
                n->setCheckState(Qt::Checked);
    }
    QApplication::restoreOverrideCursor();
}

void TMRPOutputFrame::lblUnselectAllClick()
{
    FlagHold hold(FNodeChecking, true);
    UpdateBracket bracket(grdSupplies);
    for (kvui::TreeNode* n : grdSupplies->topNodes())
        if (n->isChecked())
            n->setCheckState(Qt::Unchecked);
}

bool TMRPOutputFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == grdSupplies && AEvent->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(AEvent);
        kvui::TreeNode* n = grdSupplies->focusedNode();
        if (key->key() == Qt::Key_Space && !(key->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) && n
            && n->level() > 0 && n->childCount() == 0) {
            kvui::Column* editing = grdSupplies->activeEditor() ? grdSupplies->focusedColumn() : nullptr;
            if (!editing || editing == colSupDoDestQty || editing == colSupDoDestQtyU) {
                grdSupplies->cancelEdit();
                ToggleNode(n);
                if (editing)
                    grdSupplies->startEdit(editing);
                return true;
            }
        }
    }
    return TInfoTreeView::eventFilter(AObject, AEvent);
}
