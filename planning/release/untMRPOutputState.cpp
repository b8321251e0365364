#include "untMRPOutputState.h"

#include "UCommon.h"
#include "untMRP.h"

bool CheckPlanStateForOutput(TPlanScheme& AScheme)
{
    if (AScheme.PlanType != 0)
        return true;
    if (AScheme.LoadState() && (AScheme.PlanState == 8 || AScheme.PlanState == 9))
        return true;
    ShowError(FormatMessage(QStringLiteral("计划方案[%s]已取消发布, 或已关闭投放, 不能继续进行投放!"), {AScheme.SchemeName}));
    return false;
}
