#pragma once
// The run log of a quick analysis while it runs: the engine's progress lines
// in a window of their own over the main window (the analysis's frame has no
// window before its first run ends), with the keyboard focus, so that Esc
// reaches the run and stops it. A run that ends well closes the window; a
// failed or stopped one leaves it open with its reason (a loop's items, a bad
// bill) until the user closes it.
#include "untMRP.h"

#include <QString>
#include <memory>

class QDialog;
class TDoResultFrame;

class TMRPminiRunLog {
public:
    explicit TMRPminiRunLog(const QString& ACaption);
    // Closes the window unless Finish(false) kept it.
    ~TMRPminiRunLog();
    TMRPminiRunLog(const TMRPminiRunLog&) = delete;
    TMRPminiRunLog& operator=(const TMRPminiRunLog&) = delete;

    // The engine's message callback: each line is shown at once.
    TAddProcessMessageNodeProc MessageProc();
    // The run has ended: well, the window closes; else it stays open, can be
    // closed by the user and frees itself then.
    void Finish(bool ASuccess);
    TDoResultFrame* Frame() const { return FFrame; }
    QDialog* Window() const { return FWindow.get(); }

    // The window of the run going on now, or null: what a test or a
    // benchmark watches.
    static TMRPminiRunLog* Current();

private:
    std::unique_ptr<QDialog> FWindow;
    TDoResultFrame* FFrame = nullptr;
    TMRPminiRunLog* FOuter = nullptr;
};
