// The stand-in of the account set's procedure QZ_MRP_GetItemSubsList.
#pragma once

namespace kvdemo {

// Registers QZ_MRP_GetItemSubsList for every embedded connection of the process.
void registerItemSubsProcedure();

} // namespace kvdemo
