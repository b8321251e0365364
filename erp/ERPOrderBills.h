#pragma once
// The order documents of the stand-in ERP that planned orders are released
// as: production orders (kind 10), subcontract orders (kind 8), subcontract
// requisitions (kind 7) and purchase requisitions (kind 4). Their rows become
// open, checked lines of the account set's tables of that document
// (QZ_MRP_MO, QZ_MRP_OO, QZ_MRP_OR, QZ_MRP_PR), orders with their component
// lines (QZ_MRP_MOBOM, QZ_MRP_OOBOM), where the next MRP run reads them as
// open supplies and demands.
//
// Head values read: "Date", "DeptID", "SupID", "UserID". Rows of the list
// "Rows": "ItemID", "ItemProps", "ItemProp1".."ItemProp10", "SupID" (the
// department of a production order, else the supplier), "BomType", "BomID",
// "StdQty" (base unit), "UnitID", "UnitRate", "Date" (delivery), "DrawDate",
// "Note", the origin "OrigType" (a document kind), "OrigID", "OrigNo",
// "OrigEntry", "OrigItemID", "OrigCustID", "OrigCustPO", "OrigTag",
// "OrigSubTag", "MRPGroupType", "MRPGroupNo". The components of row n are the
// rows of the list named n ("Index", "ItemID", "ItemProps", "ItemProp1"..,
// "UnitID", "UnitRate", "UnitQty", "Qty", "BomHook", "DrawDate", "Note"); a
// sub-assembly row whose own list ("SupBomBody") holds rows is issued as those
// rows. Without a list the lines of the row's bill of materials are issued in
// proportion. Dates are days since 1899-12-30 or date values.
#include <QString>
#include <functional>

class TADOConnection;
class TERPValueList;
class TERPRowList;

// Writes the order lines inside the caller's transaction. ABillID makes the
// lines' document identity unique over the kinds; ADetails finds a detail
// list by name (nullptr when the bill has none).
void StoreOrderBill(TADOConnection* AConnection, int AKind, int ABillID, const QString& ABillNo, TERPValueList& AHead,
                    const std::function<const TERPRowList*(const QString&)>& ADetails);
