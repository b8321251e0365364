// The account set's stored procedures that the planning calls by name, written
// as native procedures of the embedded engine. On a customer's SQL Server they
// belong to the ERP's installation; here they read the demo's own ERP tables.
#pragma once

namespace kvdemo {

// Registers QZ_MRP_GetBOM, QZ_MRP_GetBOMCouples, QZ_MRP_SetBOMForSupply,
// QZ_MRP_SetBOMForDemand, QZ_MRP_GetItemSubsCouples, QZ_MRP_GetItemSubsForMRPDemand,
// QZ_MRP_GetInventoryForDemand, QZ_MRP_GetInventoryForSupply and
// QZ_MRP_UpdateForcast for every embedded connection of the process. Calling it
// again is harmless.
void registerStandInProcedures();

} // namespace kvdemo
