#pragma once
// The program's Qt application object. Every event is delivered inside a
// guard: an exception that escapes an event handler (a button's slot, a timer,
// a key press) is shown as the error box and the program keeps running, so
// that no failure of one user action ends the program with unsaved edits.
#include <QApplication>
#include <exception>

class TGuardedApplication : public QApplication {
public:
    TGuardedApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

private:
    static void Report(const std::exception& e);
};
