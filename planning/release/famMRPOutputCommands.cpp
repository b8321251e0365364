// The output view's commands: the actions of the definition, their state and
// execution (the print commands served by the result pane while it has the
// focus), the output options, and what the Output command reads of the view:
// a row's values and the result pane below the tree.
#include "famMRPOutput.h"
#include "famMRPOutputShared.h"

#include "dlgMRPOutputSet.h"
#include "famDoResults.h"
#include "untDllCommon.h"

#include <QApplication>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

using namespace famMRPOutputShared;

namespace {

// The print and export commands, which the result pane serves itself while it
// has the focus.
bool isPrintCommand(int ACommandIndex)
{
    return ACommandIndex == Commands::Export || ACommandIndex == Commands::PageSetup || ACommandIndex == Commands::ReportDesign
        || ACommandIndex == Commands::Print || ACommandIndex == Commands::PrintPreview;
}

// The commands that load the view again and so drop its edits.
bool isReloadCommand(int ACommandIndex)
{
    return ACommandIndex == Commands::SchemeFields || ACommandIndex == Commands::SchemeSort
        || ACommandIndex == Commands::SchemeFilter || ACommandIndex == Commands::SchemeCustomView
        || ACommandIndex == Commands::Refresh;
}

bool resultPaneServes(const TDoResultFrame* AResulter, int ACommandIndex)
{
    return isPrintCommand(ACommandIndex) && AResulter && !AResulter->isHidden()
        && AResulter->isAncestorOf(QApplication::focusWidget());
}

} // namespace

int TMRPOutputFrame::ActionCommand(const QString& AActionID) const
{
    if (!ObjectDef)
        return -1;
    for (int i = 0; i < int(ObjectDef->Actions.size()); ++i)
        if (ObjectDef->Actions[size_t(i)].ID.compare(AActionID, Qt::CaseInsensitive) == 0)
            return Commands::FirstAction + i;
    return -1;
}

QString TMRPOutputFrame::ActionIDOf(int ACommandIndex) const
{
    const int i = ACommandIndex - Commands::FirstAction;
    if (!ObjectDef || i < 0 || i >= int(ObjectDef->Actions.size()))
        return QString();
    return ObjectDef->Actions[size_t(i)].ID;
}

bool TMRPOutputFrame::ActionEnabled() const
{
    return FPlanScheme && !!btnOk->isHidden() && (FCanToMO || FCanToOR || FCanToPR);
}

bool TMRPOutputFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    const QString action = ActionIDOf(ACommandIndex);
    if (!action.isEmpty()) {
        bool on = ActionEnabled();
        if (action.compare(QStringLiteral("Options"), Qt::CaseInsensitive) != 0
            && action.compare(QStringLiteral("Setting"), Qt::CaseInsensitive) != 0) {
            bool anyChecked = false;
            for (kvui::TreeNode* n : grdSupplies->topNodes())
                if (n->isChecked()) {
                    anyChecked = true;
                    break;
                }
            on = on && FPlanScheme->SchemeIID != 0 && !FPlanScheme->Editing && anyChecked;
        }
        AState = on ? TCommandState(csEnabled) : TCommandState();
        return true;
    }
    if (resultPaneServes(FResulter, ACommandIndex))
        return FResulter->QueryCommandState(ACommandIndex, AState);
    // While the options are edited, the view offers neither printing nor reloading.
    if ((isPrintCommand(ACommandIndex) || isReloadCommand(ACommandIndex) || ACommandIndex == Commands::Fill) && !btnOk->isHidden()) {
        AState = TCommandState();
        return true;
    }
    return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
}

bool TMRPOutputFrame::ExecCommand(int ACommandIndex)
{
    const QString action = ActionIDOf(ACommandIndex);
    if (!action.isEmpty()) {
        if (action.compare(QStringLiteral("Options"), Qt::CaseInsensitive) == 0)
            ShowOutputOptions();
        else if (action.compare(QStringLiteral("Setting"), Qt::CaseInsensitive) == 0)
            ExecSetting();
        else if (action.compare(QStringLiteral("Output"), Qt::CaseInsensitive) == 0)
            ReleaseSupplies();
        return true;
    }
    if (resultPaneServes(FResulter, ACommandIndex))
        return FResulter->ExecCommand(ACommandIndex);
    if (isReloadCommand(ACommandIndex)) {
        grdSupplies->cancelEdit();
        if (!AskReloadWhenModified())
            return false;
    }
    return TInfoTreeView::ExecCommand(ACommandIndex);
}

void TMRPOutputFrame::ShowOutputOptions()
{
    // The options of the first bill type the user may output.
    const int type = FCanToMO ? obtProduction : FCanToOR ? FOutputTarget24or36 : obtPurchase;
    ShowMRPOutputSetDlg(type);
}

TMRPOutputRow TMRPOutputFrame::RowValues(kvui::TreeNode* ANode) const
{
    TMRPOutputRow r;
    if (!ANode)
        return r;
    r.Level = ANode->level();
    r.Checked = ANode->isChecked();
    r.Node = ANode;
    const std::pair<kvui::Column*, const char*> columns[] = {
        {colSupBillNo, "SupBillNo"}, {colSupIID, "SupIID"}, {colSupItmNo, "SupItmNo"}, {colSupItmID, "SupItmID"},
        {colSupItmName, "SupItmName"}, {colSupItmProps, "SupItmProps"}, {colSupDestType, "SupDestType"},
        {colSupDept, "SupDept"}, {colSupDeptID, "SupDeptID"}, {colSupBillDate, "SupBillDate"},
        {colSupDrawDate, "SupDrawDate"}, {colSupDate, "SupDate"}, {colSupOrigType, "SupOrigType"},
        {colSupOrigID, "SupOrigID"}, {colSupOrigNo, "SupOrigNo"}, {colSupOrigEntry, "SupOrigEntry"},
        {colSupCustID, "SupCustID"}, {colSupCust, "SupCust"}, {colSupCustPO, "SupCustPO"},
        {colSupOrigItmID, "SupOrigItmID"}, {colSupOrigItmNo, "SupOrigItmNo"}, {colSupOrigTag, "SupOrigTag"},
        {colSupOrigSubTag, "SupOrigSubTag"}, {colSupGroupType, "SupGroupType"}, {colSupGroupNo, "SupGroupNo"},
        {colSupBOM, "SupBOM"}, {colSupBomType, "SupBomType"}, {colSupBomID, "SupBomID"}, {colSupQty, "SupQty"},
        {colSupDestQty, "SupDestQty"}, {colSupDestUntID, "SupDestUntID"}, {colSupDestUntRate, "SupDestUntRate"},
        {colSupHints, "SupHints"}, {colSupPDmdIIDs, "SupPDmdIIDs"}, {colSupTrackKey, "SupTrackKey"},
        {colItmPlannerID, "ItmPlannerID"}, {colItmBuyerID, "ItmBuyerID"}, {colItmMinQty, "ItmMinQty"},
        {colItmLotQty, "ItmLotQty"}, {colSupDoDestQty, "SupDoDestQty"}, {colSupDoDestQtyU, "SupDoDestQtyU"},
        {colSupUnDestQty, "SupUnDestQty"}, {colSupNote, "SupNote"},
    };
    for (const auto& [c, name] : columns)
        r.Values.insert(QLatin1String(name), ANode->value(c));
    for (int i = 0; i < 10; ++i)
        r.Values.insert(QStringLiteral("SupItmProp%1").arg(i + 1), ANode->value(colSupItmProp[i]));
    r.Values.insert(QStringLiteral("SupPeriod"), ANode->imageIndex());
    const auto units = FItemUnits.constFind(ANode->value(colSupItmID).toString());
    if (units != FItemUnits.cend()) {
        r.Values.insert(QStringLiteral("ItmPutInteger"), units->first);
        r.Values.insert(QStringLiteral("ItmDecimal"), units->second);
    }
    return r;
}

void TMRPOutputFrame::EnsureResulter()
{
    if (FResulter)
        return;
    FSplitter = new QSplitter(Qt::Vertical, this);
    FSplitter->setObjectName(QStringLiteral("FSplitter"));
    FSplitter->setHandleWidth(4);
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->removeWidget(grdSupplies);
    FSplitter->addWidget(grdSupplies);
    FResulter = new TDoResultFrame(FSplitter);
    FResulter->setObjectName(QStringLiteral("FResulter"));
    FResulter->ShowTrackPosition(true);
    FResulter->setMinimumHeight(100);
    FSplitter->addWidget(FResulter);
    FSplitter->setSizes({height() - height() / 3, height() / 3});
    box->addWidget(FSplitter, 1);
}
