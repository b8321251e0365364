// The host program: start-up in unit order, login, then the main window.
#include "clsMDIChild.h"
#include "dlgImpExcel.h"
#include "dlgImport.h"
#include "dlgFilter.h"
#include "dlgSelectUser.h"
#include "dlgViewScheme.h"
#include "famFilter.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "LocalTimeZone.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untGuardedApp.h"
#include "untTabbedMDI.h"

int main(int argc, char** argv)
{
    kvos::ReadLocalTimeZoneOnce();
    TGuardedApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Korvane"));

    // Unit start-up, in order: each installs its hooks in the application object.
    InitAppFrameUnit();
    InitMDIChildUnit();
    InitInfoViewFormUnit();
    InitSelectUserUnit();
    InitFilterFrameUnit();
    InitFilterDlgUnit();
    InitTabbedMDIUnit();
    InitMainFormUnit();
    InitViewSchemeDlgUnit(InfoApplication);
    InitImportDlgUnit();
    InitImpExcelUnit();

    ReadProgramSettings();
    if (!SystemLogin())
        return 1;

    TMainForm mainForm;
    mainForm.showMaximized();
    return app.exec();
}
