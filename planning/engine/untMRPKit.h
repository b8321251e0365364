#pragma once
// Kit-complete quantities: how much of each demand can be served once the
// supplies that feed it are complete, and how many units of each supply its
// components allow, from the lowest level up. Quantities are cut, never
// rounded up, and never fall below zero.
#include "untMRPLevel.h"
#include "untMRPUtils.h"
#include <QString>
#include <QStringList>
#include <vector>

namespace untMRPKit {

// The available expression A over a demand row and its test C.
struct TKitAvailable {
    QString A;
    QString C;
};
TKitAvailable BuildKitAvailableSQL(int careItemSuites);

// Supply completeness from its components (levels below the highest).
QString BuildSupplyKitFromComponentsSQL(int level);
// Production and outsourcing orders without component demands are complete.
QString BuildOrdersWithoutComponentsKitSQL(int level);
// The level's planned supplies whose completeness goes to the demands they
// serve: SupIID, SupDSetQty, SupPDmdIIDs.
QString BuildPlannedKitSelectSQL(int level);
// The level's existing supplies with their allotments: SupIID, SupDSetQty,
// AltDmdIID, AltQty, AltIsRepl, AltReplQty, in supply and allotment order.
QString BuildAllotKitSelectSQL(int level);
// The demands of the level: kit quantities (steps in order), then rates.
QStringList BuildDemandKitSQL(int level, int careItemSuites);

// A demand credited with kit-complete units.
struct TKitCredit {
    int DmdIID = 0;
    double Qty = 0;
};
// A planned supply's complete units go to the demands it serves, in the order
// of its served-demand text, using only entries that carry a period.
std::vector<TKitCredit> DistributePlannedKit(double supDSetQty, const QString& supPDmdIIDs);

struct TKitAllotRow {
    int SupIID = 0;
    double SupDSetQty = 0;
    int AltDmdIID = 0;
    double AltQty = 0;
    bool AltIsRepl = false;
    double AltReplQty = 0;
};
// An existing supply's complete units go along its allotments; a substitute
// allotment credits the demanded item's share.
std::vector<TKitCredit> DistributeAllotKit(const std::vector<TKitAllotRow>& rows);
// "update #QZ_MRP_Demands set DmdASetQty=isnull(DmdASetQty,0)+@Qty where DmdIID=@DmdIID", prepared
// once and run for a row per credit, in the order given (a demand credited
// twice adds both).
TMRPBulkStatement KitCreditsBulk(const std::vector<TKitCredit>& credits);

// The formulas of the demand statements, in memory.
double CalcOrderLineKitQty(double supQty, double dmdNeedQty, double available, double supBillQty,
                           double dmdBillQty, int itmPutInteger, int itmDecimal);
double CalcPlannedLineKitQty(double available, double supQty, double dmdNeedQty, int itmPutInteger, int itmDecimal);
double CalcKitRate(double qty, double base);
// A supply's completeness: the smallest of its components' (skipped
// components do not count); its own quantity and 100 without components.
struct TKitComponent {
    double DmdASetQty = 0;
    double DmdASetRate = 0;
    bool ItmSuitSkip = false;
};
std::pair<double, double> CalcSupplyKit(double supQty, const std::vector<TKitComponent>& components);

} // namespace untMRPKit
