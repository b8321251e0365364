#pragma once
// Shared record types of the MRP engine and its message texts.
//
// One planning level is carried in memory as arrays of these records: items,
// demands, dated demand details, supplies, substitute groups and the
// allotments of every item. Dates kept as day numbers count whole days from
// 1899-12-30; quantities are doubles and are written into SQL with eight
// decimals.
#include <QString>
#include <QList>
#include <cstdint>
#include <vector>

class QObject;

// Date-time scale of the engine: days since 1899-12-30, time as the fraction.
using TDateTime = double;
// Ascending holiday dates of a factory calendar as whole day numbers.
using TInt64DynArray = std::vector<std::int64_t>;

// ---- Plan periods --------------------------------------------------------

enum TPlanPeriodKind { ppkDelay, ppkNormal, ppkExceed };

struct TPlanPeriod {
    TPlanPeriodKind PeriodKind = ppkDelay;
    TDateTime DateBegin = 0; // inclusive, whole day
    TDateTime DateEnd = 0;   // inclusive, whole day
};
using TPlanPeriods = std::vector<TPlanPeriod>;

// A grid column bound to one plan period, kept by the result frames.
struct TPlanPeriodCol {
    int PeriodIndex = 0;
    QObject* Column = nullptr;
};
using TPlanPeriodCols = std::vector<TPlanPeriodCol>;

// How copying a main demand treats rows already present.
enum TMPSOverwriteType { wtInsertOrUpdate, wtOverwriteAll };

// ---- Records of one level ------------------------------------------------

// One allotment of a supply to a demand detail.
struct TMRPAllotRec {
    int AltPeriod = 0;
    std::uint8_t AltTrackLevel = 0; // 2 origin line, 1 origin document, 0 free
    bool AltGroupX = false;         // group exchange; never set by the run
    bool AltReplace = false;        // made from a substitute item
    int AltDtlIndex = 0;
    int AltSupIndex = 0;
    std::int64_t AltDay = 0;        // day number of the allotment date
    int AltAdjDays = 0;             // allotment date - supply date (0 for stock)
    double AltQty = 0;              // taken from the supply
    double AltChkQty = 0;           // part of it already checked
    double AltReplQty = 0;          // quantity of the demanded item covered
};

// One item (with properties and group) of a level.
struct TMRPItemSumRec {
    QString ItmID;
    QString ItmProps;
    QString ItmProp1, ItmProp2, ItmProp3, ItmProp4, ItmProp5;
    QString ItmProp6, ItmProp7, ItmProp8, ItmProp9, ItmProp10;
    std::uint8_t ItmGroupType = 0;
    QString ItmGroupNo;
    double ItmMinQty = 0;
    double ItmLotQty = 0;
    double ItmMaxQty = 0;
    int ItmFixLeadTime = 0;
    int ItmVarLeadTime = 0;
    double ItmVarLeadLot = 0;
    int ItmPostLeadTime = 0;
    double ItmAltProQty = 0;  // allotted from orders
    double ItmAltReqQty = 0;  // allotted from requisitions
    double ItmRestDtlQty = 0; // uncovered demand
    double ItmRestSupQty = 0; // free supply
    double ItmRestInvQty = 0; // free stock
    double ItmRestProQty = 0; // free orders
    int ItmDtlBegin = -1;
    int ItmDtlEnd = -1;
    int ItmSupBegin = -1;
    int ItmSupEnd = -1;
    int ItmAltCnt = 0;
    std::vector<TMRPAllotRec> ItmAllots;
    // Rounding of the item's quantities: whole units when ItmPutInteger is 1,
    // otherwise ItmDecimal places.
    int ItmPutInteger = 0;
    int ItmDecimal = 8;
};

// One demand row of a level.
struct TMRPDemandRec {
    int DmdRecNo = 0;
    int DmdIID = 0;
    std::int16_t DmdPriority = 0;
    std::uint8_t DmdBillType = 0;
    std::uint8_t DmdOrigType = 0;
    QString DmdOrigID;
    QString DmdOrigNo;
    int DmdOrigEntry = 0;
    QString DmdOrigItmID;
    QString DmdOrigCustID;
    QString DmdOrigCustPO;
    QString DmdOrigTag;
    QString DmdOrigSubTag;
    std::int64_t DmdOrigDate = 0;
    bool DmdBomLocked = false;
    std::uint8_t DmdBomType = 0;
    QString DmdBomID;
    double DmdInvQty = 0;
    double DmdMOQty = 0;
    double DmdOOQty = 0;
    double DmdPOQty = 0;
    double DmdMRQty = 0;
    double DmdORQty = 0;
    double DmdPRQty = 0;
    double DmdChkQty = 0;
    double DmdPChkQty = 0;
    double DmdGrpxQty = 0;
    double DmdReplQty = 0;
    double DmdPPPQty1 = 0;
    double DmdPPPQty2 = 0;
    int DmdPDmdIID1 = 0;
    QString DmdPDmdIID2;
    double DmdQty = 0;
    QString DmdHints;
    TDateTime DmdDate = 0;
    int DmdPeriod = 0;
    QString DmdNote;
    std::uint8_t DmdSupType = 0;
    QString DmdSupDept;
    QString DmdSupBillNo;
    int DmdSupBillEntry = 0;
    int DmdPreLeadTime = 0;
    QString DmdTrackKey;
    int DmdItmIndex = 0;
    int DmdRplBegin = 0;
    int DmdRplEnd = 0; // 0 = not resolved yet, -1 = none
};
using PMRPDemandRec = TMRPDemandRec*;

// One dated part of a demand.
struct TMRPDemandDetailRec {
    PMRPDemandRec DtlDmdRec = nullptr;
    int DtlPeriod = 0;
    std::int64_t DtlDate = 0;
    double DtlQty = 0;  // still uncovered
};
using TMRPDemandDetailRecs = std::vector<TMRPDemandDetailRec>;

// A planner's adjustment of a planned supply kept from the previous run.
struct TMRPPlanAdjustRec {
    bool Adjust = false;
    std::uint8_t AdjSupType = 0;
    QString AdjSupDept;
    std::uint8_t AdjBomType = 0;
    QString AdjBomID;
    double AdjQty = 0;
};

// One supply row of a level.
struct TMRPSupplyRec {
    int SupIID = 0;
    std::int64_t SupDate = 0;
    std::uint8_t SupBillType = 0;
    std::uint8_t SupOrigType = 0;
    QString SupOrigID;
    int SupOrigEntry = 0;
    QString SupOrigCustID;
    QString SupOrigTag;
    double SupChkQty = 0;
    double SupAllotQty = 0;
    double SupAGrpxQty = 0;
    double SupAReplQty = 0;
    double SupRestQty = 0;
    bool SupBomLocked = false;
    std::uint8_t SupBomType = 0;
    QString SupBomID;
    QString SupMpsHints;
    QString SupHints;
    int SupRestPeriod = 0;
    int SupPostLeadTime = 0;
    bool SupAlloted = false;
    int SupItmIndex = 0;
};

// One substitute group of a demand.
struct TMRPSubItemsRec {
    int SubDmdIID = 0;
    QString SubKey; // item key prefix of the substitute: ItmID|Props + CR
    int SubGBegin = -1;
    int SubGEnd = -1;
    int SubRBegin = -1;
    int SubREnd = -1;
    double SubQty = 0;
    double SubRQty = 0;
    bool SubReplace = false;
};

// Balance figures of an item and period.
struct TMRPBalanceRec {
    bool BalHasIO = false;
    double BalForQty = 0, BalSOQty = 0, BalFreeQty = 0, BalRelQty = 0, BalSafeQty = 0;
    double BalOODQty = 0, BalMODQty = 0, BalROutQty = 0, BalInvQty = 0, BalPOQty = 0;
    double BalOOQty = 0, BalMOQty = 0, BalChkQty = 0, BalPRQty = 0, BalORQty = 0;
    double BalMRQty = 0, BalRInQty = 0, BalXQty = 0, BalQty = 0;
};

// ---- Automatic forecast deduction ---------------------------------------

// Options of an automatic deduction run (the deduction options dialog fills it).
struct TAuotDeductOptions {
    bool SpanDeduct = false;  // window by calendar spans instead of days around the forecast date
    bool Span1Week = false;   // with SpanDeduct: weeks from Monday to Sunday; off: months
    bool Span2Month = false;  // with week spans: months from Span2Date on
    TDateTime Span2Date = 0;  // the switch date, a whole day
    int DaysBefore = 0;       // without SpanDeduct: days before the forecast date
    int DaysAfter = 0;        // without SpanDeduct: days after the forecast date
    bool KeepLast = false;    // keep the earlier automatic deductions instead of taking them back
    QString ForcastFilterCode; // filter codes limiting the forecast, sales-order and export-order lines
    QString SOFilterCode;
    QString SIFilterCode;
};

// ---- Message texts -------------------------------------------------------

namespace untMRPDataTypes {
QString SReleaseMissingBOM();      // 65408 %d
QString SSchemeStateChanged();     // 65409 %s
QString SCopyingMainDemand();      // 65410 %s %s
QString SCopyingScheme();          // 65411 %s %s
QString SMRPRunning();             // 65424
QString SObjectAccessRestricted(); // 65425 %s
QString SGatheringData();          // 65426
QString SLowLevelCodes();          // 65427
QString SPlanningLevel();          // 65428 %d %d
QString SLoadingLevel();           // 65429
QString SAllotting();              // 65430
QString SWritingAllots();          // 65431
QString SPlannedSupplies();        // 65432
QString SExplodingBOM();           // 65433
QString SBuildingBalance();        // 65434
QString SKitQuantities();          // 65435
QString SCheckingResult();         // 65436
QString SSavingResult();           // 65437
QString SMissingBOM();             // 65438 %s %s %s %s
QString SRunAborted();             // 65439 %s
QString SDefaultCondition();       // 65447
QString SStocksNode();             // 65448
QString SAllItems();               // 65449
QString SPeriodsEmpty();           // 65450
QString SNoPeriodsConfirm();       // 65451
QString SPeriodsGap();             // 65452 %s %s
QString SCalendarLoadFailed();     // 65453
QString SBOMCycle();               // 65454
QString SFetchingMainDemand();     // 65455
QString SPeriodDelay();            // 65462
QString SPeriodExceed();           // 65463
QString SReleased();               // 65464
QString SReleaseWithdrawn();       // 65465
QString SOutputStarted();          // 65466
QString SOutputClosed();           // 65467
// Display text of a plan state 0..10; empty for any other value.
QString PlanStateText(int state);

// Stops of a run on master data that cannot be computed.
QString SBadBomBaseQty();    // %s item, %s BOM
QString SBadBomYield();      // %s item, %s BOM
QString SBadBomLossRate();   // %s item, %s BOM
QString SBadSubstituteRatio(); // %s demanded item, %s substitute
} // namespace untMRPDataTypes
