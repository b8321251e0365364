// The stand-in of the account set's procedure QZ_MRP_GetBOMForItem.
#pragma once

namespace kvdemo {

// Registers QZ_MRP_GetBOMForItem for every embedded connection of the process.
void registerBomForItemProcedure();

} // namespace kvdemo
