#include "clsMDIChild.h"

#include "frmMain.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QToolBar>

namespace {
// The definition whose actions the bar shows; compared by identity.
TInfoObjectDef* ShownActionsObjectDef = nullptr;
} // namespace

TMDIChild::TMDIChild(QWidget* AParent) : QWidget(AParent)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
}

TMDIChild::~TMDIChild()
{
    FDestroying = true;
    if (MainForm) {
        int others = 0;
        for (TMDIChild* child : MainForm->MDIChildren())
            if (child != this)
                ++others;
        if (others == 0) {
            ResetMainActionsBarReference();
            MainForm->CloseMDIChildUI();
        }
    }
    UnregisterViewForm(this);
}

bool TMDIChild::QueryCommandState(int, TCommandState& AState)
{
    AState = TCommandState();
    return false;
}

bool TMDIChild::ExecCommand(int)
{
    return false;
}

QMdiSubWindow* TMDIChild::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(parentWidget());
}

void TMDIChild::ShowChild()
{
    QMdiArea* area = MainForm ? MainForm->MDIClient : nullptr;
    if (!area) {
        show();
        return;
    }
    QMdiSubWindow* sub = area->addSubWindow(this, Qt::SubWindow);
    sub->setAttribute(Qt::WA_DeleteOnClose, true);
    sub->setOption(QMdiSubWindow::RubberBandResize, false);
    const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    sub->setGeometry(0, 0, qMax(1, area->viewport()->width() - 4 * border), qMax(1, area->viewport()->height() - 4 * border));
    sub->show();
    area->setActiveSubWindow(sub);
}

bool TMDIChild::Close()
{
    if (QMdiSubWindow* sub = SubWindow()) {
        const bool closed = sub->close();
        return closed;
    }
    return close();
}

void TMDIChild::BringToFront()
{
    if (QMdiSubWindow* sub = SubWindow()) {
        if (QMdiArea* area = sub->mdiArea())
            area->setActiveSubWindow(sub);
    } else {
        raise();
        activateWindow();
    }
}

void TMDIChild::FormClose(TCloseAction& Action)
{
    Action = IsWorking ? caNone : caFree;
}

void TMDIChild::closeEvent(QCloseEvent* AEvent)
{
    if (IsWorking || !CanClose()) {
        AEvent->ignore();
        return;
    }
    // A child of a multiple-document window minimises unless its handler
    // says otherwise; a tabbed child cannot be minimised, so that means stay.
    TCloseAction action = caMinimize;
    FormClose(action);
    if (action == caFree)
        AEvent->accept();
    else
        AEvent->ignore();
}

void TMDIChild::Activated()
{
    if (FDestroying || !MainForm)
        return;
    ResetMainActionsBarReference();
    QMdiSubWindow* sub = SubWindow();
    if (sub && sub->isMinimized())
        MainForm->CloseMDIChildUI();
    else
        RefreshMainUI();
}

// ---------------------------------------------------------------- action bar

void InitMDIChildUnit()
{
    if (InfoApplication)
        InfoApplication->ResetMainActionsBarProc = DoResetMainActionsBar;
}

void ResetMainActionsBarReference()
{
    ShownActionsObjectDef = nullptr;
}

TInfoObjectDef* MainActionsBarObjectDef()
{
    return ShownActionsObjectDef;
}

namespace {

int ActionImageIndex(TInfoActionType AType)
{
    switch (AType) {
    case atNew: return 24;
    case atUpdate: return 26;
    case atDelete: return 27;
    case atCopy: return 25;
    case atCheck: return 28;
    default: return 29;
    }
}

bool ShownOnBar(const TInfoActionDef& AAction, bool AInEditor)
{
    if (AAction.ActType == atPrint || AAction.ActType == atExport)
        return false; // reached through the print and export commands
    if (AInEditor && AAction.ActType != atNew && AAction.ActType != atUpdate && AAction.ActType != atCopy
        && (AAction.Kind == akView || AAction.Kind == akGlobal))
        return false;
    if (!AInEditor && AAction.InEditor)
        return false;
    return true;
}

} // namespace

void DoResetMainActionsBar(TInfoObjectDef* AObjectDef, bool AInEditor)
{
    if (!MainForm)
        return;
    if (!AObjectDef) {
        ShownActionsObjectDef = nullptr;
        MainForm->CloseMDIChildUI();
        return;
    }
    if (AObjectDef == ShownActionsObjectDef)
        return;
    MainForm->BeginBarUpdate();
    ShownActionsObjectDef = AObjectDef;
    try {
        int k = 0;
        bool anyShown = false;
        int lastGroup = 0;
        const auto& actions = AObjectDef->Actions;
        // Only as many actions as there are slots: the rest stay off the bar.
        for (size_t i = 0; i < actions.size() && k < Commands::ActionSlots; ++i) {
            const TInfoActionDef& def = actions[i];
            if (!ShownOnBar(def, AInEditor))
                continue;
            QAction* act = MainForm->actInfoActions[k];
            act->setText(def.Name);
            SetActionTag(act, Commands::FirstAction + int(i));
            act->setIcon(MainForm->ActionImage(ActionImageIndex(def.ActType)));
            act->setChecked(false);
            act->setEnabled(true);
            act->setVisible(true);
            const bool beginGroup = anyShown && def.Group != lastGroup;
            MainForm->InfoMenuSeparators[k]->setVisible(beginGroup);
            MainForm->InfoToolSeparators[k]->setVisible(beginGroup);
            anyShown = true;
            lastGroup = def.Group;
            ++k;
        }
        for (int j = k; j < Commands::ActionSlots; ++j) {
            SetActionTag(MainForm->actInfoActions[j], 0);
            MainForm->actInfoActions[j]->setVisible(false);
            MainForm->InfoMenuSeparators[j]->setVisible(false);
            MainForm->InfoToolSeparators[j]->setVisible(false);
        }
        MainForm->actInfoPlaceholder->setVisible(k == 0);
        MainForm->RefreshActionState(MainForm->InfoActions);
    } catch (...) {
        MainForm->EndBarUpdate();
        throw;
    }
    MainForm->EndBarUpdate();
}
