#pragma once
// What a working window (TMDIChild) needs of the window that hosts it: the MDI
// area it opens in, the other working windows, and the bar of the focused info
// object's actions. The main window is the host of the running program; tests
// put a small host of their own in its place, so a working window is tested
// without the main window.
#include <QList>
#include <QString>

class QMdiArea;
class TMDIChild;

// One filled slot of the info-action bar.
struct TInfoActionSlot {
    QString Caption;
    int Tag = 0;         // the command number (100 + index of the action in its object)
    int ImageIndex = 0;  // picture in the host's action images
    bool BeginGroup = false;
};

class IMDIHost {
public:
    virtual ~IMDIHost() = default;
    virtual QMdiArea* MDIArea() const = 0;
    virtual TMDIChild* ActiveMDIChild() const = 0;
    virtual QList<TMDIChild*> MDIChildren() const = 0;
    // Puts the bars, menus and panels back as they are with no working window.
    virtual void CloseMDIChildUI() = 0;
    // Shows these actions in the bar's slots, in order; the slots after them go empty.
    virtual void ShowInfoActions(const QList<TInfoActionSlot>& ASlots) = 0;
};

// The host of the working windows; null while there is none.
IMDIHost* MDIHost();
void SetMDIHost(IMDIHost* AHost);
