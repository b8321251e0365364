// The host program: start-up in unit order, login, then the main window.
#include "LocalTimeZone.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untGuardedApp.h"
#include "untLocale.h"
#include "untStartUp.h"

int main(int argc, char** argv)
{
    kvos::ReadLocalTimeZoneOnce();
    TGuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Korvane"));
    // Chinese from the first box on, whatever the machine's locale.
    UseProgramLocale(QCoreApplication::applicationDirPath());

    InitHostUnits();

    ReadProgramSettings();
    if (!SystemLogin())
        return 1;

    TMainForm mainForm;
    mainForm.showMaximized();
    return app.exec();
}
