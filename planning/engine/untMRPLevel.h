#pragma once
// The level planner: netting and allotment of one low-level code in memory,
// and the planned supplies with lot sizing for what stays uncovered.
//
// The rows of the level's demand, supply, substitute and kept-adjustment
// selects come in as plain records; allotments, supply and demand updates and
// the planned-supply inserts go out as SQL text through write-back batches.
// Items are keyed by (item, properties, group type, group number), compared
// as the database compares the rows: case-insensitive, trailing blanks
// ignored, the group type as a number.
#include "untMRPDataTypes.h"
#include "untMRPUtils.h"
#include <QHash>
#include <QList>
#include <QVariant>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <vector>

// Indexes of demand details, sortable in allotment order.
class TMRPDemandDetailList {
public:
    explicit TMRPDemandDetailList(int capacity = 0) { FItems.reserve(capacity); }
    void Add(int detailIndex) { FItems.push_back(detailIndex); }
    void Clear() { FItems.clear(); }
    int Count() const { return static_cast<int>(FItems.size()); }
    int operator[](int i) const { return FItems[i]; }
    const std::vector<int>& Items() const { return FItems; }
    // Orders by (item index when FSortByItems), origin date, detail date,
    // priority descending, bill type, demand row number.
    void SortDetails(const TMRPDemandDetailRecs& ADtls, bool FSortByItems);

private:
    std::vector<int> FItems;
};

// Key of an item of a level, as the selects order it.
struct TMRPItemKey {
    QString ItmID;
    QString Props;
    int GroupType = 0;
    QString GroupNo;
};
// -1, 0, 1 in the order of "order by ItmID, Props, GroupType, GroupNo".
int CompareItemKeys(const TMRPItemKey& a, const TMRPItemKey& b);
// Text comparison of the database: case-insensitive, trailing blanks ignored.
int CompareDBText(const QString& a, const QString& b);
bool SameDBText(const QString& a, const QString& b);
// A text as that comparison sees it (trailing blanks dropped, case folded):
// texts the database holds equal give the same key.
QString FoldedDBText(const QString& s);
// "ID|Props" + CR + "Type|No", the item key text of the selects.
QString BuildItemKeyText(const TMRPItemKey& key);
// Reads an item key text back into its parts.
TMRPItemKey SplitItemKeyText(const QString& text);

// One row of the level's demand select.
struct TMRPLevelDemandRow {
    int DmdIID = 0;
    int DmdBillType = 0;
    int DmdPriority = 0;
    int DmdOrigType = 0;
    QString DmdOrigID, DmdOrigNo;
    int DmdOrigEntry = 0;
    QString DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag;
    TMRPItemKey Item;
    std::array<QString, 10> ItmProp;
    bool DmdBomLocked = false;
    int DmdBomType = 0;
    QString DmdBomID;
    double DmdBillQty = 0;
    double DmdQty = 0;
    TDateTime DmdDate = 0;
    int DmdPeriod = 0;
    int DmdDayOffset = 0;
    QString DmdNote;
    QString DmdHints;
    // The parent supply (a component demand's order or planned supply).
    bool HasParent = false;
    int SupBillType = 0;
    QString SupBillNo;
    int SupBillEntry = 0;
    double SupBillQty = 0;
    TDateTime SupDate = 0;
    int SupLeadDays = 0;
    QString SupHints;
    int SupPDmdIID = 0;
    int DmdSupType = 0;
    QString DmdSupDept;
    // The item's parties for each kind of planned supply (production
    // department, purchase supplier, outsourcing supplier).
    QString ItmMODeptID, ItmPOSuppID, ItmOOSuppID;
    int ItmDecimal = 8;
    int ItmPutInteger = 0;
    double ItmMinQty = 0, ItmLotQty = 0, ItmMaxQty = 0;
    TDateTime DmdOrigDate = 0;
    int PrdPreLeadTime = 0;
    int ItmPostLeadTime = 0;
    int ItmFixLeadTime = 0;
    int ItmVarLeadTime = 0;
    double ItmVarLeadLot = 0;
    QString TrackKey;
};

// One row of the level's supply select.
struct TMRPLevelSupplyRow {
    int SupIID = 0;
    int SupPeriod = 0;
    int SupBillType = 0;
    int SupOrigType = 0;
    QString SupOrigID;
    int SupOrigEntry = 0;
    QString SupOrigCustID, SupOrigTag;
    TMRPItemKey Item;
    TDateTime SupDate = 0;
    double SupBillQty = 0;
    double SupChkQty = 0;
    double SupRestQty = 0;
    QString SupHints;
    bool SupBomLocked = false;
    int SupBomType = 0;
    QString SupBomID;
    int ItmPostLeadTime = 0;
};

// One row of the substitute select: "SubKey" is SubRItmID|SubRProps + CR.
struct TMRPLevelSubstituteRow {
    int DmdIID = 0;
    QString SubKey;
    double SubQty = 0;
    double SubRQty = 0;
    bool SubReplace = false;
};

// One row of the last adjustments of planned supplies.
struct TMRPLevelAdjustRow {
    TMRPItemKey Item;
    QString SupTrackKey;
    int SupBillType = 0;
    int SupBomType = 0;
    QString SupBomID;
    double SupAdjQty = 0;
};

// A planned supply as inserted (kept for the caller's checks and log).
struct TMRPPlannedSupply {
    int ItmIndex = 0;
    int SupPeriod = 0;
    int SupBillType = 0;
    QString SupDept;
    int HeadDmdIID = 0;
    std::int64_t SupDate = 0;     // need date
    std::int64_t SupDrawDate = 0; // start date
    int SupLeadDays = 0;
    double SupBillQty = 0;
    double SupAdjQty = 0;
    double SupQty = 0;
    double SupAllotQty = 0;
    double SupRestQty = 0;
    QString SupHints;
    QString SupPHints;
    QString SupPDmdIIDs;
    QString SupTrackKey;
    int SupOrigType = 0;
    QString SupOrigID, SupOrigCustID, SupOrigItmID, SupOrigTag;
    int SupOrigEntry = 0;
    bool Adjusted = false;
};

// A statement with typed parameters ("@AltQty" of "decimal(28,8)") and the
// rows of values it runs for, in order. Quantities travel as the same
// eight-decimal texts the SQL texts carry, dates as 'yyyymmdd' texts.
struct TMRPBulkStatement {
    QStringList ParamNames;
    QStringList ParamTypes;
    QString Statement;
    QList<QList<QVariant>> Rows;
};
using TMRPBulkExecutor = std::function<void(const std::vector<TMRPBulkStatement>&)>;

class TMRPLevelPlanner {
public:
    struct TOptions {
        TPlanPeriods MpsPeriods;
        TInt64DynArray Holidays;
        int CareItemReplace = 0;
        bool CareItemLotRule = false;
        bool DemandByOrigDate = false;
        bool HasAdjustQuery = false; // kept adjustments were asked for
        bool AKeepTypeAdjusts = false;
        bool AKeepBomAdjusts = false;
        bool AKeepQtyAdjusts = false;
    };
    using TLogProc = std::function<void(const QString& text, int indent)>;
    using TCheckProc = std::function<void()>;

    explicit TMRPLevelPlanner(TOptions options);

    // Progress lines of the level (run log) and the Esc check between steps.
    TLogProc OnLog;
    TCheckProc OnCheckEscape;

    // The whole level: load, details, passes, rebalancing, write-backs,
    // planned supplies. Every text goes to the executor in pieces of about
    // 65000 characters (collected in the batches when there is none).
    void Run(const std::vector<TMRPLevelDemandRow>& demands, const std::vector<TMRPLevelSupplyRow>& supplies,
             const std::vector<TMRPLevelSubstituteRow>& substitutes, const std::vector<TMRPLevelAdjustRow>& adjusts,
             untMRPUtils::TMRPSQLBatch::TExecutor executor = {});

    // The whole level as Run, its results handed to the executor as rows of
    // prepared statements (allotments, supply updates, planned supplies,
    // demand updates) instead of SQL texts, a few thousand rows a call so the
    // rows of a large level are never all held at once. Planned supplies keep
    // their order; the caller holds one transaction around the level.
    static constexpr int BulkRowsPerCall = 4000;
    void RunBulk(const std::vector<TMRPLevelDemandRow>& demands, const std::vector<TMRPLevelSupplyRow>& supplies,
                 const std::vector<TMRPLevelSubstituteRow>& substitutes, const std::vector<TMRPLevelAdjustRow>& adjusts,
                 const TMRPBulkExecutor& executor);

    // The steps of Run, for callers and tests that need them apart.
    void Load(const std::vector<TMRPLevelDemandRow>& demands, const std::vector<TMRPLevelSupplyRow>& supplies,
              const std::vector<TMRPLevelSubstituteRow>& substitutes, const std::vector<TMRPLevelAdjustRow>& adjusts);
    void BuildDetails();
    void AllotPasses();
    void Rebalance();
    void CollectUncovered();
    void WriteAllots(untMRPUtils::TMRPSQLBatch& batch) const;
    void WriteSupplies(untMRPUtils::TMRPSQLBatch& batch) const;
    void PlanSupplies(untMRPUtils::TMRPSQLBatch& batch);
    void WriteDemands(untMRPUtils::TMRPSQLBatch& batch) const;
    static QString PlannedSupplyHeader();

    // The level in memory.
    std::vector<TMRPItemSumRec> Items;
    std::vector<TMRPDemandRec> Demands;
    std::vector<TMRPSupplyRec> Supplies;
    TMRPDemandDetailRecs Details;
    std::vector<TMRPSubItemsRec> SubItems;
    TMRPDemandDetailList DetailList{1000};
    TMRPDemandDetailList UncoveredList{5000};
    std::vector<TMRPPlannedSupply> PlannedSupplies;
    // Texts Run wrote when it had no executor: write-backs, planned supplies.
    QStringList WriteTexts;
    QStringList PlannedTexts;

    // Allotted quantity per period of a supply ("KK=qty" lines).
    QString SupplyPeriodHints(int supIndex) const;
    // The hints a supply is written back with.
    QString SupplyWriteHints(int supIndex) const;
    // Item index of a key; -1 when the level has no such item.
    int FindItem(const TMRPItemKey& key) const;

private:
    // Per-demand data of the select that the record lacks.
    struct TDemandExtra {
        int DmdBillType = 0;
        double DmdBillQty = 0;
        int DmdDayOffset = 0;
        bool HasParent = false;
        int SupBillType = 0;
        double SupBillQty = 0;
        TDateTime SupDate = 0;
        int SupLeadDays = 0;
        QString SupHints;
        int SupPDmdIID = 0;
        int DmdBomType = 0;
        QString DmdOrigItmID;
        QString ItmMODeptID, ItmPOSuppID, ItmOOSuppID;
        // The item's party for a planned supply of the given type.
        QString DefaultParty(int supType) const;
    };
    // One future planned supply of an item.
    struct TBucket {
        QString Key;
        int Head = -1; // demand index
        std::map<int, double> QtyByPeriod;
        double LotTotal = 0;
        double DemandTotal = 0;
        TMRPPlanAdjustRec Adj;
        // Served demands in the order first met, equal keys added up; the
        // text is made once when the bucket is inserted (a bucket may serve
        // thousands of demands).
        struct TServed {
            int DmdIID;
            int Period; // -1: no period
            double Qty;
        };
        std::vector<TServed> ServedList;
        QHash<qint64, int> ServedIndex; // (demand, period) -> entry, once the list is long
        void AddServed(int dmdIID, int period, double qty);
        QString Served() const;
        // Origin of the planned supply: the head's, merged with every demand served.
        int OrigType = 0;
        QString OrigID, OrigNo, OrigItmID, OrigCustID, OrigCustPO, OrigTag, OrigSubTag;
        int OrigEntry = 0;
    };

    void AddDetail(int dmdIndex, int period, std::int64_t date, double qty);
    void ResolveSubstitutes(TMRPDemandRec& dmd);
    bool SupplyQualifies(const TMRPDemandRec& dmd, const TMRPSupplyRec& sup, int trackLevel) const;
    void AllotFromItem(int dtlIndex, int itmIndex, int trackLevel, const TMRPSubItemsRec* sub);
    // Allots from one supply to one detail; maxQty caps the demand side.
    void Allot(int dtlIndex, int supIndex, int trackLevel, const TMRPSubItemsRec* sub, double maxQty = -1);
    void Release(int itmIndex, int altIndex, double qty);
    void RebalanceStep(int itmIndex, int fromLow, int fromHigh, int toLow, int toHigh);
    void InsertBuckets(int itmIndex, std::vector<TBucket>& buckets, untMRPUtils::TMRPSQLBatch& batch);
    const TMRPLevelAdjustRow* FindAdjust(const TMRPItemSumRec& item, const QString& trackKey) const;

    // Rows of the statements in the order they run, while RunBulk collects them.
    struct TBulkWrites {
        TMRPBulkStatement Allots, Supplies, Demands;
        std::vector<TMRPBulkStatement> Planned; // the run of plain or adjusted inserts being filled
    };
    void AddPlannedRow(bool adjusted, QList<QVariant> row);
    // Hands the statement's rows to the executor when there are enough (or any, when forced).
    void PassBulkRows(TMRPBulkStatement& statement, bool force = false) const;

    TOptions FOptions;
    TBulkWrites* FBulk = nullptr;
    const TMRPBulkExecutor* FBulkExecutor = nullptr;
    std::vector<TDemandExtra> FDemandExtra;
    std::vector<std::map<int, double>> FSupPeriodQty;
    std::vector<TMRPLevelAdjustRow> FAdjusts;
    QHash<QString, int> FAdjustByKey; // item and track key -> first row
    bool FSubSorted = true;
    std::vector<std::pair<std::int64_t, std::int64_t>> FPeriodDays; // first and last day of each period
    // Index of the period that holds a day (0 when none does).
    int PeriodOf(std::int64_t day) const;
    bool FDetailListSorted = false; // DetailList is in allotment order (by AllotPasses)
};

// Served-demand text: adds qty under "|IID[:KK]"; equal keys add up.
QString AddServedDemand(const QString& text, int dmdIID, int period, double qty);
