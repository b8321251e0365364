#include "untGuardedApp.h"

#include "Exceptions.h"
#include "UCommon.h"

TGuardedApplication::TGuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TGuardedApplication::Report(const std::exception& e)
{
    // The handler that failed may have left its wait cursor behind.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    // The silent abort of a cancelled operation shows nothing.
    ShowExceptionMessage(e);
}

bool TGuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(e);
    } catch (...) {
        Report(Exception(QStringLiteral("未知的异常")));
    }
    return false;
}
