#pragma once
// Releases a finished plan scheme in place through the release dialog, as a
// planner does it: the release settings answered "in place, output allowed",
// the receiver picker answered with the logged-in user, a warning about
// planned supplies without a bill of materials confirmed. False when the
// dialog does not offer the scheme. Shared by the tests and the benchmarks;
// programs using it link qz_mrp_planning.
#include "ScriptedMessageBoxes.h"
#include "dlgMRPRelease.h"
#include "untApplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

namespace kvtest {

inline bool releaseThroughDialog(int ASchemeIID)
{
    TMRPReleaseDlg dlg;
    bool listed = false;
    for (int i = 0; i < dlg.cboScheme->count(); ++i)
        if (dlg.cboScheme->itemData(i, TMRPReleaseDlg::ValueRole).toInt() == ASchemeIID) {
            dlg.cboScheme->setCurrentIndex(i);
            listed = true;
        }
    if (!listed)
        return false;
    TMRPReleaseSetDlg::ExecHook = [](TMRPReleaseSetDlg& d) {
        d.rdbDirectMode->setChecked(true);
        d.chkCanOutput->setChecked(true);
        d.accept();
        return d.result();
    };
    const TShowSelectUserProc previousPicker = InfoApplication->ShowSelectUserProc;
    InfoApplication->ShowSelectUserProc = [](TUserRecs& AUsers, bool, const QString&, TShowUserOptions) {
        TUserRec me;
        me.UserID = InfoApplication->LoginInfo.UserID;
        me.UserName = InfoApplication->LoginInfo.UserName;
        AUsers = {me};
        return true;
    };
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        dlg.actRelease->trigger();
    }
    TMRPReleaseSetDlg::ExecHook = nullptr;
    InfoApplication->ShowSelectUserProc = previousPicker;
    return true;
}

} // namespace kvtest
