// The host program: start-up in unit order, login, then the main window.
#include "StandInProcedures.h"
#include "untAppFrame.h"
#include "untApplication.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Korvane"));

    // The stored procedures an embedded account set answers in place of its server.
    kvdemo::registerStandInProcedures();

    InitAppFrameUnit();
    ReadProgramSettings();
    if (!SystemLogin())
        return 1;

    const TLoginInfo& info = InfoApplication->LoginInfo;
    std::fprintf(stdout, "%s\n",
                 QStringLiteral("Korvane: %1 (%2) logged in to account set %3. The main window is not built yet.")
                     .arg(info.UserName, info.UserID, info.DBAlias)
                     .toLocal8Bit()
                     .constData());
    SystemLogout();
    return 0;
}
