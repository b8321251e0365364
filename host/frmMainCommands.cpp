// The main window's command dispatch: action states asked of the active
// window on idle, commands sent to it, the info-action bar's slots and the
// input lock of long work.
#include "frmMain.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "clsMDIChild.h"
#include "dlgAbout.h"
#include "dlgPermissions.h"
#include "frmInfoEdit.h"
#include "frmInfoFrame.h"
#include "frmInfoView.h"
#include "untAppFrame.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untLibraryLoader.h"
#include "untTabbedMDI.h"

#include <QAction>
#include <QApplication>
#include <QWindow>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLibraryInfo>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QTranslator>
#include <QTreeWidget>
#include <QUrl>

// ---------------------------------------------------------------- commands

void TMainForm::UpdateActionState(QAction* AAction, TMDIChild* AChild)
{
    const int tag = ActionTag(AAction);
    if (tag <= 0)
        return;
    TCommandState state;
    bool decided = false;
    const bool counting = tag == Commands::RecordCount;
    if (counting)
        FCountShown = false;
    if (AChild)
        decided = AChild->QueryCommandState(tag, state);
    if (counting) {
        // The count is the active window's: one that reports none (another
        // page of a frame, a new empty window) leaves no other window's count.
        if (!FCountShown)
            DoShowStatusMessage(QString(), mkCount);
    } else if (!decided && tag < Commands::FirstAction) {
        QueryEditCommandState(tag, state);
    }
    AAction->setEnabled(state.testFlag(csEnabled));
    const bool checked = state.testFlag(csChecked);
    if (checked != AAction->isChecked() || checked != AAction->isCheckable()) {
        AAction->setCheckable(checked);
        AAction->setChecked(checked);
    }
    AAction->setVisible(!state.testFlag(csHidden));
}

void TMainForm::RefreshActionState(const QList<QAction*>& AActions)
{
    TMDIChild* child = ActiveMDIChild();
    for (qsizetype i = AActions.size() - 1; i >= 0; --i)
        UpdateActionState(AActions.at(i), child);
}

void TMainForm::ExecuteMainAction(QAction* AAction)
{
    TMDIChild* child = ActiveMDIChild();
    if (!child)
        return;
    const int tag = ActionTag(AAction);
    try {
        UpdateActionState(AAction, child);
        if (!AAction->isEnabled())
            return;
        if (child->ExecCommand(tag))
            return;
        if (tag < Commands::FirstAction) {
            ExecEditCommand(tag);
            return;
        }
    } catch (const EAbort&) {
        return;
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
        return;
    }
    auto* viewForm = qobject_cast<TInfoViewForm*>(child);
    if (!viewForm || !viewForm->ViewFrame())
        return;
    IInfoViewPtr view = viewForm->ViewFrame()->GetActiveView();
    TInfoObjectDef* def = view ? view->GetObjectDef() : nullptr;
    const int index = tag - Commands::FirstAction;
    if (!def || index < 0 || index >= int(def->Actions.size()))
        return;
    const TInfoActionDef action = def->Actions[size_t(index)];
    bool refresh = false;
    QString position;
    try {
        position = view->GetViewPosition();
        auto proc = reinterpret_cast<TLoadInfoActionProc>(GetDllProc(action.DllName, QStringLiteral("LoadInfoAction")));
        if (proc)
            proc(InfoApplication, def, action.ID, view, refresh);
    } catch (...) {
        // A failing library action leaves the view as it was.
        refresh = false;
    }
    if (!refresh)
        return;
    viewForm->SetSyncRelationDisabled(true);
    try {
        view->RefreshData(false);
        view->SetViewPosition(position);
        viewForm->SetSyncRelationDisabled(false);
        if (view == viewForm->ViewFrame()->GetRelationView(QString()))
            viewForm->RefreshRelations();
    } catch (...) {
        viewForm->SetSyncRelationDisabled(false);
    }
}

void TMainForm::ScheduleIdle()
{
    if (FIdlePending)
        return;
    FIdlePending = true;
    QTimer::singleShot(0, this, [this] {
        FIdlePending = false;
        AppIdle();
    });
}

void TMainForm::AppIdle()
{
    if (FInIdle)
        return;
    FInIdle = true;
    struct Leave {
        bool& Flag;
        ~Leave() { Flag = false; }
    } leave{FInIdle};
    if (MDIChildCount() == 0 && FDeferEraseBackground)
        MDIClient->viewport()->update();
    actViewNavigator->setChecked(nabNavigator->isVisible());
    actViewToolStandard->setChecked(tbrStandard->isVisible());
    actViewToolActions->setChecked(tbrActions->isVisible());
    actViewStatusBar->setChecked(statusBar()->isVisible());
    TMDIChild* child = ActiveMDIChild();
    actWindowClose->setEnabled(child != nullptr);
    actWindowCloseAll->setEnabled(child != nullptr);
    try {
        if (child)
            child->ProcessIdle();
        RefreshActionState(MainActions);
        RefreshActionState(InfoActions);
    } catch (...) {
        // Idle work never stops the application; the next idle time tries again.
    }
}

void TMainForm::BeginBarUpdate()
{
    if (FBarUpdateCount++ == 0) {
        tbrActions->setUpdatesEnabled(false);
        mnuActions->setUpdatesEnabled(false);
    }
}

void TMainForm::EndBarUpdate()
{
    if (FBarUpdateCount > 0 && --FBarUpdateCount == 0) {
        tbrActions->setUpdatesEnabled(true);
        mnuActions->setUpdatesEnabled(true);
    }
}

void TMainForm::CloseMDIChildUI()
{
    BeginBarUpdate();
    for (int i = 0; i < Commands::ActionSlots; ++i) {
        SetActionTag(actInfoActions[i], 0);
        actInfoActions[i]->setVisible(false);
        InfoMenuSeparators[i]->setVisible(false);
        InfoToolSeparators[i]->setVisible(false);
    }
    actInfoPlaceholder->setVisible(true);
    EndBarUpdate();
}

void TMainForm::ShowInfoActions(const QList<TInfoActionSlot>& ASlots)
{
    BeginBarUpdate();
    struct EndUpdate {
        TMainForm* form;
        ~EndUpdate() { form->EndBarUpdate(); }
    } endUpdate{this};
    const int shown = std::min(int(ASlots.size()), int(Commands::ActionSlots));
    for (int k = 0; k < shown; ++k) {
        const TInfoActionSlot& slot = ASlots[k];
        QAction* act = actInfoActions[k];
        act->setText(slot.Caption);
        SetActionTag(act, slot.Tag);
        act->setIcon(ActionImage(slot.ImageIndex));
        act->setChecked(false);
        act->setEnabled(true);
        act->setVisible(true);
        InfoMenuSeparators[k]->setVisible(slot.BeginGroup);
        InfoToolSeparators[k]->setVisible(slot.BeginGroup);
    }
    for (int j = shown; j < Commands::ActionSlots; ++j) {
        SetActionTag(actInfoActions[j], 0);
        actInfoActions[j]->setVisible(false);
        InfoMenuSeparators[j]->setVisible(false);
        InfoToolSeparators[j]->setVisible(false);
    }
    actInfoPlaceholder->setVisible(shown == 0);
    RefreshActionState(InfoActions);
}

// ---------------------------------------------------------------- messages

bool TMainForm::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (MDIClient && AObject == MDIClient->viewport() && AEvent->type() == QEvent::Paint) {
        if (MDIChildCount() == 0) {
            FDeferEraseBackground = false;
            PrepareDesktopImage();
            QPainter p(MDIClient->viewport());
            p.drawImage(0, 0, FClientImage);
            return true;
        }
        FDeferEraseBackground = true;
        return false;
    }
    if (AEvent->type() == QEvent::KeyPress) {
        auto* tree = qobject_cast<QTreeWidget*>(AObject);
        const int key = static_cast<QKeyEvent*>(AEvent)->key();
        if (tree && tree->window() == this && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            OpenFunction(tree->currentItem());
            return true;
        }
    }
    return AppMessage(AObject, AEvent);
}

bool TMainForm::AppMessage(QObject* AObject, QEvent* AEvent)
{
    const QEvent::Type type = AEvent->type();
    // While long work runs, input reaches only its window.
    if (InfoApplication && InfoApplication->LockMsgHWnd != 0) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::Close: {
            bool allowed = false;
            // The lock names a window by its address or its native window id;
            // it and everything inside it keep their input.
            const quintptr lock = InfoApplication->LockMsgHWnd;
            auto isLock = [lock](QObject* o) {
                auto* w = qobject_cast<QWidget*>(o);
                return quintptr(o) == lock || (w && w->internalWinId() && quintptr(w->internalWinId()) == lock);
            };
            for (QObject* o = AObject; o && !allowed; o = o->parent())
                allowed = isLock(o);
            auto holdsLock = [&isLock](QWidget* AWindow) {
                if (isLock(AWindow))
                    return true;
                for (QObject* c : AWindow->findChildren<QObject*>())
                    if (isLock(c))
                        return true;
                return false;
            };
            // The native window that holds the work passes input on; its
            // widgets are then checked one by one.
            if (!allowed && !AObject->isWidgetType())
                if (auto* window = qobject_cast<QWindow*>(AObject))
                    for (QWidget* top : QApplication::topLevelWidgets())
                        if (top->windowHandle() == window) {
                            allowed = holdsLock(top);
                            break;
                        }
            // A question or message that the work opens over its window is
            // answered as usual; a modal window that holds the work itself
            // stays locked but for the work's part.
            if (!allowed)
                if (QWidget* modal = QApplication::activeModalWidget()) {
                    // Input arrives at the native window first, then at the widget.
                    auto* widget = qobject_cast<QWidget*>(AObject);
                    const bool inModal = widget ? widget->window() == modal
                                                : (modal->windowHandle() && AObject == static_cast<QObject*>(modal->windowHandle()));
                    if (inModal)
                        allowed = !holdsLock(modal);
                }
            if (!allowed) {
                AEvent->ignore();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    if (type == QEvent::ContextMenu) {
        TMDIChild* child = ActiveMDIChild();
        auto* widget = qobject_cast<QWidget*>(AObject);
        if (child && widget && child->isAncestorOf(widget) && QApplication::activeModalWidget() == nullptr) {
            child->BringToFront();
            mnuPopup->popup(static_cast<QContextMenuEvent*>(AEvent)->globalPos());
            return true;
        }
    }
    if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) {
        if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(AEvent)->button() != Qt::LeftButton)
            return false;
        if (qobject_cast<QWidget*>(AObject) && HandleGridShortcutMessage(AObject, AEvent))
            return true;
        ScheduleIdle();
    }
    return false;
}
