#include "untMRPRunCmd.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "dlgCheckOptions.h"
#include "famMRPRunLog.h"
#include "untMRPViewUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDate>
#include <cmath>

bool AskMRPKeepChoices(const TPlanScheme& AScheme, bool& AKeepTypeAdjusts, bool& AKeepBomAdjusts, bool& AKeepQtyAdjusts)
{
    if (!SchemeTimeIsSet(AScheme.MrpUpdTime)) {
        AKeepTypeAdjusts = AKeepBomAdjusts = AKeepQtyAdjusts = false;
        return ShowQuestion(QStringLiteral("系统将开始运算MRP, 这可能需要较长时间, 确定?\r\r提示: 运算过程中按[Esc]键可以取消。"),
                            int(kvos::MB_OKCANCEL)) == kvos::IDOK;
    }
    TBooleanDynArray checks = {true, true, true};
    if (!ShowCheckOptionsDlg({QStringLiteral("供应类型调整(&1)"), QStringLiteral("供应BOM调整(&2)"), QStringLiteral("供应数量调整(&3)")},
                             checks, QStringLiteral("保留以下内容:"), QStringLiteral("重新运算MRP")))
        return false;
    AKeepTypeAdjusts = checks.value(0);
    AKeepBomAdjusts = checks.value(1);
    AKeepQtyAdjusts = checks.value(2);
    return true;
}

bool ExecuteRunMRP(const TMRPCommandHost& AHost, TMRPRunLogPanel& ALog)
{
    TPlanScheme* scheme = AHost.Scheme;
    if (!scheme || !AHost.CheckPlanState(true))
        return false;
    bool keepType = false, keepBom = false, keepQty = false;
    if (!AskMRPKeepChoices(*scheme, keepType, keepBom, keepQty))
        return false;
    if (!AHost.CheckPlanState(true))
        return false;
    if (AHost.ActivateSchemeTab)
        AHost.ActivateSchemeTab();
    bool ok = false;
    {
        TMRPWaitCursor wait;
        if (!ALog.Pressed()) {
            ALog.SetPressed(true);
            ALog.Execute(nullptr, scheme->SchemeIID, scheme->PublicQuery());
        }
        ALog.LogSchemeIID = scheme->SchemeIID;
        TDoResultFrame* panel = ALog.Frame();
        panel->ClearResultNodes();
        // Keys typed during the run go to the list that shows it, so that
        // Esc reaches the run whatever had the focus before.
        panel->SetFocus();
        QApplication::processEvents();
        ok = scheme->RunMRP(keepType, keepBom, keepQty,
                            [panel](TMessageKind AKind, const QString& AText, const QString& APosText, const QVariant& APos1,
                                    const QVariant& APos2, void* AParent) {
                                return panel->AddResultNode(AKind, AText, APosText, APos1, APos2, AParent);
                            });
        if (AHost.Refresh)
            AHost.Refresh(AHost.RunMRPSender);
    }
    if (ok)
        ShowInfo(QStringLiteral("执行完成。"));
    return ok;
}
