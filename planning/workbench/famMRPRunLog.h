#pragma once
// The run-log panel of the plan-scheme workbench: a result list laid over the
// scheme parameters that shows the lines of one scheme's MRP run, live while
// the run goes on or read back from QZ_MRP_RunLog. A toggle button of the
// frame shows and hides it.
#include "famDoResults.h"

#include <QPointer>
#include <QRect>
#include <functional>

class QAbstractButton;
class QAction;
class QWidget;
class TADOQuery;

class TMRPRunLogPanel {
public:
    // AOwner owns the panel once made, AParent holds it; AToggle is the
    // frame's pressed-while-shown button (nullptr: the panel keeps its own flag).
    TMRPRunLogPanel(QWidget* AOwner, QWidget* AParent, QAbstractButton* AToggle);
    // The same with a checkable action as the toggle (the frame's actRunLog).
    TMRPRunLogPanel(QWidget* AOwner, QWidget* AParent, QAction* AToggle);

    // Where the panel lies in its parent; asked each time it is shown.
    std::function<QRect()> Geometry;
    // The frame's control update, run after the panel is shown or hidden.
    std::function<void()> UpdateSchemeControls;

    // The result list, nullptr until first shown.
    TDoResultFrame* Frame() const { return FRunLogFrame; }
    // Scheme whose log the panel holds; -1 reloads at the next show.
    int LogSchemeIID = -1;

    bool Pressed() const;
    void SetPressed(bool AValue);
    bool Visible() const;

    // Shows or hides the panel as the toggle says. With a sender the log is
    // read again when it belongs to another scheme than ASchemeIID.
    void Execute(QObject* ASender, int ASchemeIID, TADOQuery* AQuery);
    // Clears the panel and reads the scheme's lines in order; False when the
    // read failed (the error is shown and the panel stays empty).
    bool LoadLog(int ASchemeIID, TADOQuery* AQuery);
    // Another scheme was loaded: the toggle is released and the panel hidden.
    void Release();
    // Lays the shown panel where Geometry says (after the parent was resized).
    void Relayout();

private:
    void CreatePanel();
    QWidget* FOwner;
    QWidget* FParent;
    QPointer<QAbstractButton> FToggle;
    QPointer<QAction> FToggleAction;
    bool FPressed = false;
    TDoResultFrame* FRunLogFrame = nullptr;
};

// The text of one stored log line: its time as "yyyy/mm/dd hh:nn:ss " and the text.
QString RunLogLineText(const QDateTime& ATime, const QString& AText);
