#pragma once
// The statements of the output view: the open planned supplies of a scheme
// with their default department or supplier, target type and unit and the
// optional reference quantities; the substitutes of one supply's demands; the
// look-ups of a department or supplier cell. Texts only: the view runs them.
#include "untMRPOutputTree.h"

#include <QDate>
#include <QString>
#include <functional>
#include <vector>

// What a load of the output view is asked for.
struct TMRPOutputLoadOptions {
    int SchemeIID = 0;
    int PlanType = 0;        // 0 all, 1 production, 2 subcontract, 3 purchase
    int SuppDef = 0;         // default supplier: 0 item settings, 1 lowest price, 2 latest order
    bool Replace = false;    // mark supplies whose item has substitutes
    bool RefPOQty = false;   // reference purchase quantity
    bool RefUseQty = false;  // reference material use
    QDate RefDate;           // first day the reference quantities count
    bool DirectOO = false;   // subcontracting goes out as type 24, else 36
    int MaxRows = 20000;
    QString Filter;          // the user's view condition
    QString ItemSel, ItemJoin; // the item-property columns of the view
};

// The guard that drops a temp table when it exists.
QString OutputDropTempSQL(const QString& ATable);
// The whole list: one statement, or one batch when temp tables are needed.
QString BuildOutputSupplyListSQL(const TMRPOutputLoadOptions& AOptions);
// The substitutes of the demands of one supply (AGroupSQL: the substitutes'
// MRP group items, OutputSubstituteGroupSQL).
QString BuildOutputSubstitutesSQL(const TMRPOutputLoadOptions& AOptions, const std::vector<TMRPOutputDemand>& ADemands,
                                  const QString& AGroupSQL);

// The pick list of a department or supplier cell for a target type; ASuppList
// 1 or 2 keeps to the suppliers the item's price or supply data lists.
QString OutputDeptPickSQL(int ATarget, int ASuppList, const QString& AItemID);
// The default department or supplier (fields ID, Name) of an item for a target type.
QString OutputDefaultDeptSQL(int ATarget, int ASuppDef, const QString& AItemID);
// The department or supplier whose number or name was typed (fields ID, Name).
QString OutputTypedDeptSQL(int ATarget, const QString& AText);

// The templates of the reference quantities depend on the user's definitions
// and permissions: they are composed once per login and kept.
class TMRPOutputRefTemplates {
public:
    using TBuilder = std::function<QString(bool APurchase)>;
    // The template of purchases (APurchase) or material use for a login.
    QString Get(int ALoginTick, bool APurchase, const TBuilder& ABuild);

private:
    int FLoginTick = -1;
    QString FPurchase, FUse;
};
// The statements that fill #QZ_MRP_RefItemPOQty and #QZ_MRP_RefItemUseQty for
// a reference date, from the process's templates of the current login.
QString OutputRefPOQtySQL(const QDate& ARefDate);
QString OutputRefUseQtySQL(const QDate& ARefDate);
