#pragma once
// The bill-of-materials operation document (kind 16) of the stand-in ERP: it
// replaces the substitutes of the bill rows (or, for the global scope, of the
// items) it lists in the account set's substitute table
// (QZ_MRP_ItemSubstitutes), where the planning and the MRP run read them.
//
// Head values read: "BomType", "BomID" (empty: the global scope). Rows of the
// list "ItemSubs": "ItemID" (the replaced item), "SubItemID" (empty: the row
// keeps no substitute), "RowHook" (the bill row; empty for the global scope),
// "SubItemProps", "SubItemProp1".."SubItemProp10", "Qty" (of the replaced
// item), "RQty" (of the substitute), "BeginDate", "EndDate", "Note". The rows
// of one bill row or item replace all its substitutes, in their order.
// Rows of the list "Rows" (a bill only): "BomEntry", "RowHook" and
// "PutLossRate", the stepped loss text that replaces the bill row's.
class TADOConnection;
class TERPValueList;
class TERPRowList;

inline constexpr int ERPBomBillKind = 16;

// Applies the document inside the caller's transaction. A document the ERP
// refuses (an unknown bill, bill row or item, a row of another item, a
// quantity not above 0, a begin date not before the end date, loss texts for
// the global scope) raises Exception with the reason; nothing of it is
// written then.
void StoreBomOperationBill(TADOConnection* AConnection, TERPValueList& AHead, const TERPRowList* AItemSubs,
                           const TERPRowList* ARows = nullptr);
