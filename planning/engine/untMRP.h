#pragma once
// The plan scheme and the engine's database side: loading, saving and checking
// a scheme's row, the factory calendar's holidays, the planning SELECT builders
// over info objects (field macros, cached skeletons, the period CASE, item
// scopes) and the main demand (RunMPS, CopyMPS, MergeQtyHints).
//
// Every statement runs on the connection handed to the scheme, so a run's
// temporary tables live on exactly one connection.
#include "untMRPCalendar.h"
#include "untMRPDataTypes.h"
#include "untApplication.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>
#include <map>

class TADOConnection;
class TADOQuery;
class TInfoObjectDef;

// States of a plan scheme (column SchState).
enum TPlanState {
    psWaitMainDemand = 0,
    psSchemeChangedRefetch = 1,
    psMainDemandReady = 2,
    psMainDemandChanged = 3,
    psSchemeChangedRerun = 4,
    psMRPResultChanged = 5,
    psMRPDone = 6,
    psReleaseCancelled = 7,
    psReleased = 8,
    psOutputStarted = 9,
    psOutputClosed = 10
};

// Shows one run message as a node of a result list: kind, text, position text,
// two position values and the parent node (null for a main line); gives back
// the node made.
using TAddProcessMessageNodeProc = std::function<void*(TMessageKind AKind, const QString& AText, const QString& APosText,
                                                        const QVariant& APos1, const QVariant& APos2, void* AParent)>;

// A frame's own state check that result frames call before they write.
using TPlanSchemeCheckStateProc = std::function<bool(bool ARefreshData)>;

// The four callbacks a workbench hands to each result frame with the scheme.
struct TPlanSchemeUIEvents {
    TNotifyEvent RunMPS;
    TNotifyEvent RunMRP;
    TNotifyEvent RefreshState;
    TPlanSchemeCheckStateProc CheckState;
};

// The SELECT skeletons of one run. A skeleton depends on the login (the
// user's definitions and permissions), the object and the data sources its
// texts refer to, so it is kept under all three.
class TMRPSelectCache {
public:
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    // The cached text, or a null string; drops every text of another login.
    QString Find(int loginTick, const QString& key);
    void Store(int loginTick, const QString& key, const QString& text);

private:
    int FLoginTick = -1;
    QHash<QString, QString> FItems;
};

class TPlanScheme {
public:
    explicit TPlanScheme(TADOConnection* AADOConn);
    ~TPlanScheme();
    TPlanScheme(const TPlanScheme&) = delete;
    TPlanScheme& operator=(const TPlanScheme&) = delete;

    int SchemeIID = 0;
    QString SchemeName;
    int PlanType = 0;
    int PlanCalIID = 0;
    TPlanPeriods PlanPeriods;
    int PlanSource = 0;
    int PlanNeedScope = 0;
    int CareItemSafety = 0;
    int CareItemReplace = 0;
    int CareItemSuites = 0;
    int CareMRPTrackMode = 0;
    bool CareItemMRPTrack = false;
    bool CareItemLossRate = false;
    bool CareItemLotRule = false;
    bool DemandByOrigDate = false;
    QString DataFilters;
    int PlanState = 0;
    bool Editing = false;
    // The owner's user name after Load; the user ID an owner sets before
    // saving a new scheme.
    QString Creater;
    TDateTime CreateTime = 0;
    TDateTime UpdateTime = 0;
    int MpsCalIID = 0;
    TPlanPeriods MpsPeriods;
    TDateTime MpsRunTime = 0;
    TDateTime MpsUpdTime = 0;
    int MrpCalIID = 0;
    TPlanPeriods MrpPeriods;
    TDateTime MrpRunTime = 0;
    TDateTime MrpUpdTime = 0;
    TDateTime ReleaseTime = 0;

    bool Load(int ASchemeIID);
    bool LoadState();
    bool CheckState();
    bool Save();
    QString GetPlanStateText() const;

    bool CopyMPS(int ASrcSchemeIID, TMPSOverwriteType AOverwriteType, bool ACopyPeriods);
    bool RunMPS(bool AKeepFreeNeeds, bool AKeepAdjusts);
    // Computes and stores the scheme's MRP result; False when it failed or
    // was cancelled (the previous result and state stay).
    bool RunMRP(bool AKeepTypeAdjusts, bool AKeepBomAdjusts, bool AKeepQtyAdjusts,
                TAddProcessMessageNodeProc AddMsgProc = {});

    TADOQuery* PublicQuery() const { return FPublicQuery; }
    TADOConnection* Connection() const;
    // A new query on the scheme's connection; the caller frees it.
    TADOQuery* NewSchemeQuery() const;

private:
    TADOQuery* FPublicQuery;
    // The user ID of the row's owner, read with the row.
    QString FOwnerID;
    bool ReadServerTime(TDateTime& ATime);
    // Runs the replacing batch of the main demand in one transaction.
    bool StoreMainDemand(const QString& ABatch);
};

// ---- Calendar ------------------------------------------------------------

// Reads the holidays of a calendar from a first date on into the array
// (empty after a failure); no message here, the caller shows its own.
bool LoadCalendarHolidays(int ACalIID, TInt64DynArray& AHolidays, TADOQuery* AQuery, TDateTime AFirstDate);

// ---- Planning SQL builders -----------------------------------------------

// Replaces every "$$FieldID$$" by the field's SQL expression ("null" for a
// field the object does not define); an unclosed macro takes the rest of the
// text as its field ID.
void ExpandFieldMacros(TInfoObjectDef* AObjectDef, const QString& ASQL, QString& AResult);
QString ExpandFieldMacros(TInfoObjectDef* AObjectDef, const QString& ASQL);

QString BuildInfoObjectFilterSQL(const QString& AObjectID, const QString& ASelectSQL, const QString& AFilterSQL,
                                 const QString& AFilterCode, const QString& AOrderBySQL = QString(),
                                 const QString& AMainJoinSQL = QString(), const QString& AExtJoinSQL = QString());
QString BuildInfoObjectSelectSQL(const TPlanScheme& AScheme, TMRPSelectCache& ACache, const QString& AObjectID,
                                 const QString& ASelectSQL, const QString& AFilterSQL, const QString& AFilterCode,
                                 const QString& AOrderBySQL = QString(), const QString& AMainJoinSQL = QString(),
                                 const QString& ATailSQL = QString());
// "[Name]=(case expr when 1 then 'a' ... else null end)," or "[Name]=expr,".
bool BuildFieldValueCaseSQL(const QString& AObjectID, const QString& AFieldID, QString& AResult);
// The period index of a date expression over the periods.
QString BuildPeriodCaseSQL(const TPlanPeriods& APeriods, const QString& ADateExpr);
void BuildMainItemJoin(const QString& AItemExpr, QString& AWhere, QString& AJoin);
void BuildLevelItemJoin(int APlanNeedScope, int ALevel, const QString& AItemExpr, const QString& APropsExpr,
                        const QString& AGroupTypeExpr, const QString& AGroupNoExpr, bool AByLevel, QString& AJoin,
                        QString& AWhere);
void BuildLevelItemJoinDefault(int APlanNeedScope, int ALevel, const QString& AItemExpr, bool AByLevel, QString& AJoin,
                               QString& AWhere);
// The item scope of what a level of a run gathers (stock, open orders and
// their lines, scrap): nothing for level -1 (all at once); the level's
// demanded items, or with substitutes or a single-level explosion every item
// on the level except main-demand items the level does not demand.
void BuildLevelGatherJoin(int APlanNeedScope, int ACareItemReplace, int ALevel, const QString& AItemExpr, QString& AJoin,
                          QString& AWhere);
// A section of a scheme's data-filter text ("[QZ_MRP.SO]").
QString ReadSchemeFilter(const QString& ADataFilters, const QString& ASection);
// Whether an object ID is listed in the "[Excludes]" section.
bool IsObjectExcluded(const QString& ADataFilters, const QString& AObjectID);
// A new query on the connection of the plug-in's global query; the caller frees it.
TADOQuery* NewPluginQuery();

// ---- Main demand ---------------------------------------------------------

void CreateMainTempTable(TADOQuery* AQuery);
// Carries the hints texts of the select's rows (IID, QtySum, QtyHints) from
// the old periods to the new ones and writes them with the update format
// ("... set X=%s where IID=%d"). AIIDMap, when given, maps a row's IID to the
// IID the update must address.
void MergeQtyHints(const TPlanScheme& AScheme, const QString& ASelectSQL, const QString& AUpdateFormat,
                   TADOQuery* AWriteQuery, TADOQuery* AReadQuery, const TPlanPeriods& AOldPeriods,
                   const TPlanPeriods& ANewPeriods, const std::map<int, int>* AIIDMap = nullptr);
// The same on texts: the new hints of one row (pure; used by MergeQtyHints).
QString MergeHintsText(const QString& AOldHints, double AQtySum, const TPlanPeriods& AOldPeriods,
                       const TPlanPeriods& ANewPeriods);

// ---- MRP run -------------------------------------------------------------

// The run log of one run: lines in #QZ_MRP_RunLog and, when a callback is
// given, nodes of a result list (a detail line under the last main line).
struct TMRPRunLog {
    TADOQuery* Query = nullptr;
    TAddProcessMessageNodeProc AddMsgProc;
    void* LastMainNode = nullptr;
};
// The longest text a run-log line keeps.
constexpr int MaxRunLogText = 500;
void AddRunLog(TMRPRunLog& ALog, TMessageKind AKind, const QString& AText, bool AIndent);
// The two halves of AddRunLog, for a line that is saved with a result but shown
// only once the result is committed: the line in the table (its time back), then
// the node of the list.
QDateTime WriteRunLog(TMRPRunLog& ALog, const QString& AText, TMessageKind AKind, bool AIndent);
void ShowRunLog(TMRPRunLog& ALog, const QString& AText, TMessageKind AKind, bool AIndent, const QDateTime& ATime);

// Creates the run's work tables on the query's connection.
void CreateMRPWorkTables(TADOQuery* AQuery, bool ACareItemReplace, bool ADemandByOrigDate);
// Low-level codes of the run's items into #QZ_MRP_ItemLowestCode: the deepest
// code (0 when there are no items), or -1 for a loop in the bills of
// materials, whose items are then left open on the query (ItmNo, ItmName,
// ItmSpec, ordered by item number).
int CalcLowLevelCodes(TADOQuery* AQuery, bool AUseOrderBoms, bool AUseSubstitutes);
// The balance statement of the run.
QString BuildBalanceSQL();

// SQL sent by MRP runs since the counters were last cleared: batches and
// characters of SQL text, and the rows written through prepared statements.
struct TMRPRunStats {
    qint64 Batches = 0;
    qint64 Chars = 0;
    qint64 BulkRows = 0;
    // With Profile set, the time of every batch is added up under the
    // batch's opening text (digits left out), for benchmarks.
    bool Profile = false;
    struct TBatchTime {
        qint64 Count = 0;
        qint64 Nanoseconds = 0;
    };
    QHash<QString, TBatchTime> BatchTimes;
};
TMRPRunStats& MRPRunStats();

// The most rows (demands and supplies) of a level a run reads at once: a
// larger level, when no substitutes take part, is planned in parts of whole
// items, which plan apart from each other, so that memory stays bounded by
// the part, not the level; 0 plans every level at once.
int& MRPLevelPartRows();
