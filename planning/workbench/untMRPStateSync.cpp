#include "untMRPStateSync.h"

#include "UDBComm.h"
#include "untMRP.h"

bool SyncPlanState(TPlanScheme& AScheme)
{
    if (AScheme.SchemeIID == 0 || AScheme.Editing)
        return false;
    TADOQuery q;
    q.SetConnection(AScheme.Connection());
    const QString sql = QStringLiteral("select SchState from QZ_MRP_Schemes with(nolock) where SchIID=%1 and SchType=%2")
                            .arg(AScheme.SchemeIID)
                            .arg(AScheme.PlanType);
    if (!ExecSQLText(&q, sql, true, false, false) || q.Eof())
        return false;
    const int state = q.Fields()->Field(0)->AsInteger();
    q.Close();
    return state != AScheme.PlanState && AScheme.LoadState();
}
