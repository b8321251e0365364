// The stand-ins of the account set's procedures that the output view calls:
// QZ_MRP_GetItemSupplierList, QZ_MRP_GetItemSupplierDef,
// QZ_MRP_GetItemSubsExists and QZ_MRP_GetItemSubsForDemand.
#pragma once

namespace kvdemo {

// Registers the four procedures for every embedded connection of the process.
void registerOutputProcedures();

} // namespace kvdemo
