// The stand-ins of the account set's procedures behind the bill-of-materials
// expansion: QZ_MRP_GetBOMHead, QZ_MRP_SetBOMForBomItem and
// QZ_MRP_GetItemSubstitutes (the rows themselves come from QZ_MRP_GetBOM).
#pragma once

namespace kvdemo {

// Registers the three procedures for every embedded connection of the process.
void registerBomExpandProcedures();

} // namespace kvdemo
