#pragma once
// The quantity side of the BOM explosion: the parent quantity a component line
// is exploded from (yield, loss, fixed lines), the component quantity with the
// item's rounding, the group and bill type of the component demand, and the
// statements that fetch a level's BOMs, check their master data and insert
// the next level's demands.
#include <QString>
#include <utility>

namespace untMRPBom {

// Bill types the explosion reads and writes.
enum : int {
    btMR = 34, btOR = 36, btPMO = 42, btPMOX = 44, btPOO = 52, btPOOX = 54,
    btPX = 62, btPMOS = 64, btPOOS = 66,
    btPOOD = 92, btPMOD = 94, btVirD = 96
};

// Quantity base B as an SQL expression over the BOM rows.
QString BuildBomQtyBaseSQL(bool careItemLossRate, int losType);
// The component quantity, rounded up to whole units when the component's
// ItmPutInteger is 1, otherwise to its ItmDecimal places.
QString BuildBomQtySQL(bool careItemLossRate, int losType);

// The same in memory, for checks and the tools that show an explosion.
double CalcBomQtyBase(bool careItemLossRate, int losType, bool bomFixed, double supQty, double bomPrdOkRate,
                      double bomLossRate);
double CalcBomComponentQty(double qtyBase, double bomQty, double bomBaseQty, double bomPercent, int itmPutInteger,
                           int itmDecimal);

// Why a BOM line cannot be exploded; bkNone when it can.
enum TBadBomKind { bkNone = 0, bkBaseQty = 1, bkYield = 2, bkLossRate = 3 };
TBadBomKind CheckBomLine(bool careItemLossRate, int losType, bool bomFixed, double bomBaseQty, double bomPrdOkRate,
                         double bomLossRate);
// The run-log text that stops a run on a bad line, naming item and BOM.
QString BadBomMessage(TBadBomKind kind, const QString& itemNo, const QString& bomNo);

// Demand bill type of a component of a parent supply of the given type:
// 94 under production, 92 under outsourcing, 96 under virtual items; 0 when
// the parent type is not exploded.
int BomDemandBillType(int parentBillType);

// Group of a component demand by the component's ItmMrpGroup.
std::pair<int, QString> BomDemandGroup(int itmMrpGroup, int supOrigType, const QString& supOrigID,
                                       const QString& supOrigNo, int supOrigEntry, const QString& supOrigTag,
                                       const QString& supOrigSubTag, const QString& custName, int supGroupType,
                                       const QString& supGroupNo);
QString BuildBomGroupTypeSQL();
QString BuildBomGroupNoSQL();

// Fills #QZ_MRP_BOM with the BOMs of a level's planned and requested supplies.
QString BuildBomFetchSQL(int level);
// Opens at most one BOM line of the level that cannot be exploded, with the
// columns ItmNo, BomNo and BadKind (TBadBomKind); no row when all is sound.
QString BuildBadBomCheckSQL(int level, bool careItemLossRate, int losType, int planNeedScope);
// Inserts the demands of the level's components. periodOfDrawDateSQL is the
// period expression over SupDrawDate.
QString BuildBomDemandInsertSQL(int level, bool careItemLossRate, int losType, int planNeedScope,
                                const QString& periodOfDrawDateSQL);

} // namespace untMRPBom
