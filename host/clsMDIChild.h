#pragma once
// The base of every working window of the main window: an MDI child that
// refuses to close while it works, rebuilds the main window's action bar when
// it becomes active, and answers the main window's command questions. Also the
// host's action-bar routine that shows an info object's actions in the main
// window's twenty info-action slots.
#include "untApplication.h"

#include <QWidget>

class QMdiSubWindow;
class TInfoObjectDef;

// What a close handler decides: stay (none, hide, minimise) or be freed.
enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TMDIChild : public QWidget {
    Q_OBJECT
public:
    explicit TMDIChild(QWidget* AParent = nullptr);
    ~TMDIChild() override;

    // While set, the window refuses to close.
    bool IsWorking = false;

    // Called by the main window's idle handler for the active child.
    virtual void ProcessIdle() {}
    // Brings the main window's action bar up to date for this child.
    virtual void RefreshMainUI() {}
    // True when the child decides the command's state.
    virtual bool QueryCommandState(int ACommandIndex, TCommandState& AState);
    // True when the child handled the command.
    virtual bool ExecCommand(int ACommandIndex);

    // Asks the window to close through its close handling; True when it went.
    bool Close();
    // Makes the window the active child (its tab is selected).
    void BringToFront();
    // The MDI frame around this window, when it is shown in the main window.
    QMdiSubWindow* SubWindow() const;
    bool IsBeingDestroyed() const { return FDestroying; }

    // The main window's note that this child became active: the action bar is
    // rebuilt for it.
    void Activated();

protected:
    // Shows the window as a child of the main window's MDI area (at 0,0 over
    // the area); a window whose construction failed is never placed there.
    void ShowChild();
    // The content's answer whether it may close (unsaved data, a question).
    virtual bool CanClose() { return true; }
    // The close action: freed unless the window is working.
    virtual void FormClose(TCloseAction& Action);
    void closeEvent(QCloseEvent* AEvent) override;

private:
    bool FDestroying = false;
};

// Unit start-up: installs DoResetMainActionsBar as ResetMainActionsBarProc.
void InitMDIChildUnit();

// Shows the definition's actions on the main window's action bar (nil hides
// them all). AInEditor: the bar serves an edit window.
void DoResetMainActionsBar(TInfoObjectDef* AObjectDef, bool AInEditor);
// Forgets which definition the bar shows, so the next reset rebuilds it.
void ResetMainActionsBarReference();
TInfoObjectDef* MainActionsBarObjectDef();
