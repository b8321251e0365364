#pragma once
// The forecast bill (kind 1) of the stand-in ERP: it is kept in the account
// set's forecast tables themselves (QZ_MRP_ForcastHead, QZ_MRP_Forcast), where
// the planning reads forecasts, so a saved bill reopens in the editor and the
// next main-demand fetch sees it once it is checked.
//
// Head values read: "BillID" (empty: a new bill), "BillNo" (empty: numbered
// here), "Date", "UserID". Rows of the list "Rows": "ItemID", "ItemProps",
// "ItemProp1".."ItemProp10", "CustID", "UnitID", "Qty" (line unit), "StdQty"
// (base unit), "Date" (delivery), "Note", "OrigTag", "OrigSubTag",
// "MRPGroupType", "MRPGroupNo". Values may be set in any order.
#include <QDate>
#include <QString>

class TADOConnection;
class TERPValueList;
class TERPRowList;

inline constexpr int ERPForecastBillKind = 1;

// The next free forecast number of the day: "FC", the day as yyyyMMdd, "-" and
// four digits. Asking does not take the number.
QString NextForecastBillNo(TADOConnection* AConnection, const QDate& ADay);

// Writes a new bill, or replaces the lines of an unchecked one, inside the
// caller's transaction, and sets the head values "BillID" and "BillNo" to what
// the bill got. A bill the ERP refuses (a number another forecast has, a
// checked or vanished bill, a line without item or quantity) raises Exception
// with the reason; nothing of it is written then.
void StoreForecastBill(TADOConnection* AConnection, TERPValueList& AHead, const TERPRowList* ARows);
