#include "untStartUp.h"

#include "clsMDIChild.h"
#include "dlgFilter.h"
#include "dlgImpExcel.h"
#include "dlgImport.h"
#include "dlgSelectUser.h"
#include "dlgViewScheme.h"
#include "famFilter.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untTabbedMDI.h"

void InitHostWindowUnits()
{
    InitAppFrameUnit();
    InitMDIChildUnit();
    InitInfoViewFormUnit();
    InitSelectUserUnit();
    InitFilterFrameUnit();
    InitFilterDlgUnit();
    InitTabbedMDIUnit();
    InitMainFormUnit();
}

void InitHostUnits()
{
    InitHostWindowUnits();
    InitViewSchemeDlgUnit(InfoApplication);
    InitImportDlgUnit();
    InitImpExcelUnit();
}
