#pragma once
// The material list of a released production or subcontract row: the bill of
// materials of the output item exploded on the database server for the output
// quantity and draw date, each component's quantity with yield, loss and
// rounding, the components' substitutes, and the lists of skipped or virtual
// sub-assemblies below them, written as named detail lists of the ERP bill
// ("3", "3/2", "3/2R", "3/2/1R" ...).
#include "untERPaccess.h"
#include "untMRPDataTypes.h"
#include "untMRPOutputRecs.h"

#include <QDate>
#include <QStringList>

class TADOQuery;

// The quantities of one component row.
struct TSupplyBOMLine {
    double BomQty = 0, BomUQty = 0;      // per BomBaseQty of the parent, in the BOM's and the line's unit
    double BomPercent = 100;
    double BomBaseQty = 1;
    double BomPrdOkRate = 100;           // the parent's yield in percent
    bool BomFixed = false;               // the quantity does not grow with the parent's
    QString PutLossRate;                 // step text of the issue loss; empty: none
    int ItmDecimal = 8;
    bool PutInteger = false;             // issued in whole units
};

struct TSupplyBOMQty {
    int Decimals = 8;
    double UnitQty = 0;                  // per BomBaseQty of the parent, 8 decimals
    double NetX = 0, LossX = 0, LossRateX = 0;   // before the yield is charged as loss
    double Net = 0, Loss = 0, LossRate = 0;      // the yield loss included in Loss
    double Qty = 0;
};

// Works out a component row for AQty of the parent. A base quantity or (for a
// line that is not fixed) a yield of 0 raises Exception with the reason.
TSupplyBOMQty CalcSupplyBOMQty(const TSupplyBOMLine& ALine, double AQty, bool AUseStdQty, const QString& AItemNo = QString());
// The same row for a substitute that replaces ARatio units per unit of the
// component; AQty is rounded like the component's.
TSupplyBOMQty CalcSupplyBOMSubQty(const TSupplyBOMQty& AComponent, double ARatio, bool APutInteger);

// The thirteen MRP-group values of a record for the component and substitute
// queries: six group types (by the component's grouping 1, 2, 3, 4 and 5, 6,
// 9) and seven quoted group numbers (1, 2, 3, 4, 5, 6, 9).
QStringList SupplyBOMGroupValues(const TMRPOutputRec& ARec);
// The component query of a level (placeholders filled).
QString SupplyBOMComponentSQL(int ABillType, int ASchemeIID, const QString& ASupIID, const QStringList& AGroups);

// What every level of one material list shares.
struct TSupplyBOMRun {
    TADOQuery* Query = nullptr;          // the plug-in's shared query
    IBillPtr Bill;                       // the open bill
    int SchemeIID = 0;
    int BillType = 0;                    // 22 or 24
    bool BomQtyUseStdQty = false;        // the setting "BomQtyUseStdQty"
    TInt64DynArray Holidays;             // rest days of the scheme's MRP calendar
};

// One level of the material list.
struct TSupplyBOMCall {
    QString ItemID;
    int BomType = 0;
    QString BomID;
    QString SupIID;
    QString SupIIDs;                     // comma-separated supply IDs; empty: none
    QString ListName;
    double Qty = 0;
    double UnitRate = 1;
    QDate DrawDate;
    int ItemSubs = 2;                    // 0 used substitutes, 1 all, other none
};

// Writes the material list of ACall (and of its sub-assemblies) into the
// run's bill. A database error, a refused list operation, a zero divisor or a
// bill of materials that contains itself raises; rows written before stay.
void LoadSupplyBOM(const TSupplyBOMRun& ARun, const TMRPOutputRec& ARec, const TSupplyBOMCall& ACall);
