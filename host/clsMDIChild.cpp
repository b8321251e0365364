#include "clsMDIChild.h"

#include "untMDIHost.h"
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

// Every child window alive, so that one leaving can tell whether it is the last
// without asking the host's area, whose frames may be half destroyed just then.
QList<TMDIChild*>& LiveChildren()
{
    static QList<TMDIChild*> children;
    return children;
}
} // namespace

TMDIChild::TMDIChild(QWidget* AParent) : QWidget(AParent)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    LiveChildren().append(this);
}

TMDIChild::~TMDIChild()
{
    FDestroying = true;
    LiveChildren().removeOne(this);
    if (IMDIHost* host = MDIHost()) {
        int others = 0;
        for (TMDIChild* child : LiveChildren())
            if (!child->FDestroying)
                ++others;
        if (others == 0) {
            ResetMainActionsBarReference();
            host->CloseMDIChildUI();
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
    QMdiArea* area = MDIHost() ? MDIHost()->MDIArea() : nullptr;
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
    if (FDestroying || !MDIHost())
        return;
    ResetMainActionsBarReference();
    QMdiSubWindow* sub = SubWindow();
    if (sub && sub->isMinimized())
        MDIHost()->CloseMDIChildUI();
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
    IMDIHost* host = MDIHost();
    if (!host)
        return;
    if (!AObjectDef) {
        ShownActionsObjectDef = nullptr;
        host->CloseMDIChildUI();
        return;
    }
    if (AObjectDef == ShownActionsObjectDef)
        return;
    // Only as many actions as there are slots: the rest stay off the bar.
    QList<TInfoActionSlot> shown;
    int lastGroup = 0;
    const auto& actions = AObjectDef->Actions;
    for (size_t i = 0; i < actions.size() && shown.size() < Commands::ActionSlots; ++i) {
        const TInfoActionDef& def = actions[i];
        if (!ShownOnBar(def, AInEditor))
            continue;
        shown.append({def.Name, Commands::FirstAction + int(i), ActionImageIndex(def.ActType),
                      !shown.isEmpty() && def.Group != lastGroup});
        lastGroup = def.Group;
    }
    ShownActionsObjectDef = AObjectDef;
    host->ShowInfoActions(shown);
}
