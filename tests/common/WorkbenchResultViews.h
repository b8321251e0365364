#pragma once
// The workbench's result tabs as the host makes them for the frame: here the
// planning library's own view classes, without the host's composite around
// them; any other definition gets no view.
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untDllCommon.h"

#include <QLatin1String>

namespace kvtest {

inline IInfoViewPtr workbenchResultView(TInfoObjectDef* def)
{
    if (!def)
        return nullptr;
    const QString id = def->ID;
    if (id == QLatin1String("QZ_MRP.MRP.Main"))
        return CreateInfoView<TMRPMainFrame>(nullptr, def);
    if (id == QLatin1String("QZ_MRP.MRP.Allot"))
        return CreateInfoView<TMRPAllotFrame>(nullptr, def);
    if (id == QLatin1String("QZ_MRP.MRP.Balance"))
        return CreateInfoView<TMRPBalanceFrame>(nullptr, def);
    if (id == QLatin1String("QZ_MRP.MRP.Supplies"))
        return CreateInfoView<TMRPSuppliesFrame>(nullptr, def);
    if (id == QLatin1String("QZ_MRP.MRP.Replaces"))
        return CreateInfoView<TMRPReplacesFrame>(nullptr, def);
    return nullptr;
}

} // namespace kvtest
