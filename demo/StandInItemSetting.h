// The stand-in of the account set's procedure QZ_MRP_UpdateItemSetting.
#pragma once

namespace kvdemo {

// Registers QZ_MRP_UpdateItemSetting for every embedded connection of the process.
void registerItemSettingProcedure();

} // namespace kvdemo
