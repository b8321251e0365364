// The stand-in of the account set's procedure QZ_MRP_GetItemPropsID.
#pragma once

namespace kvdemo {

// Registers QZ_MRP_GetItemPropsID for every embedded connection of the process.
void registerItemPropsProcedure();

} // namespace kvdemo
