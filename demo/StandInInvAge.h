// The stand-ins of the account set's procedures that the inventory-age
// analysis calls: the stock on hand at a date, the receipts that explain it
// pass by pass, inner transfers traced back to the receipts they moved, the
// receipt prices and the last issue dates. They read the stock
// (QZ_MRP_Inventory) and its receipt and issue lines (QZ_MRP_StockBills).
#pragma once

namespace kvdemo {

// Registers QZ_MRP_GetHistoryInventory, QZ_MRP_GetLastStockInBills,
// QZ_MRP_UndoInnerTransBills, QZ_MRP_GetLastStockInPrice and
// QZ_MRP_GetLastStockOutDate for every embedded connection of the process.
void registerInvAgeProcedures();

} // namespace kvdemo
