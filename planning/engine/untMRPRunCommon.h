#pragma once
// What the units of the MRP run share (included by them only): the SQL helpers
// that count what a run sends, the work-table texts several stages use, and
// TMRPRun, whose stages live by kind:
//   untMRPRun.cpp          the helpers, the run log, Execute (the stages in
//                          order), CleanUp and TPlanScheme::RunMRP
//   untMRPRunTables.cpp    the work tables
//   untMRPRunLowCodes.cpp  the low-level codes
//   untMRPRunGather.cpp    gathering demands and supplies (main demand, tied
//                          and free orders, order lines, stock, scrap)
//   untMRPRunLevel.cpp     one level: planned, written, its bills exploded
//   untMRPRunBalance.cpp   the balance statement and the kit quantities
//   untMRPRunSave.cpp      the result check and the save
#include "untMRP.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untMRPLevel.h"
#include "untMRPUtils.h"

#include <QString>
#include <memory>

namespace untMRPRunCommon {

// Every SQL text of a run goes through here, so a run can tell how much it sent.
bool RunSQL(TADOQuery* query, const QString& sql, bool aOpen, bool aReraise, bool aShow);
// Runs a statement and gives the rows it changed.
int ExecCount(TADOQuery* q, const QString& sql);
// Opens a select and gives its first column (0 without a row).
int OpenCount(TADOQuery* q, const QString& sql);
void Exec(TADOQuery* q, const QString& sql);
// Runs a prepared statement once per row; every bulk write of a run goes
// through here, so a run can tell how many rows it wrote.
void RunBulkStatement(TADOConnection* connection, const TMRPBulkStatement& st);
// The same in a transaction of its own.
void ExecBulk(TADOConnection* connection, const TMRPBulkStatement& st);

QString DropIfExists(const QString& table);
// prefix1, ..., prefix10
QString PropList(const QString& prefix);
// The balance's quantity columns, in the order of the result table.
extern const QString kBalanceQtyColumns;

// One run of MRP on a scheme: the work queries, the select cache, the log and
// the stages in order.
class TMRPRun {
public:
    TMRPRun(TPlanScheme& scheme, bool keepType, bool keepBom, bool keepQty, TAddProcessMessageNodeProc addMsg)
        : S(scheme), Q(scheme.PublicQuery()), KeepType(keepType), KeepBom(keepBom), KeepQty(keepQty)
    {
        Log.Query = Q;
        Log.AddMsgProc = std::move(addMsg);
        KeepAny = keepType || keepBom || keepQty;
        DmdQ.reset(scheme.NewSchemeQuery());
        SupQ.reset(scheme.NewSchemeQuery());
        SubQ.reset(scheme.NewSchemeQuery());
        if (KeepAny)
            AdjQ.reset(scheme.NewSchemeQuery());
    }

    bool Execute(TDateTime runTime, const QString& startMpsRunTime, int startState);
    void CleanUp();

private:
    TPlanScheme& S;
    TADOQuery* Q;
    bool KeepType, KeepBom, KeepQty, KeepAny;
    TMRPRunLog Log;
    std::unique_ptr<TADOQuery> DmdQ, SupQ, SubQ, AdjQ;
    TMRPSelectCache Cache;
    TInt64DynArray Holidays;
    int LosType = 0;
    bool TiedGathered = false;
    bool WorkTablesMade = false;

    void Info(const QString& text, bool indent = false)
    {
        if (Log.AddMsgProc)
            AddRunLog(Log, mkInformation, text, indent);
    }
    void CheckEsc()
    {
        if (InfoApplication)
            InfoApplication->CheckEscapeKeyPress(true);
    }
    QString FirstPlanDayBefore() const
    {
        return untMRPUtils::DayToDateStr(untMRPUtils::DateToDay(GetPlanBeginDate(S.MpsPeriods)) - 1);
    }
    bool BillTypeExists(int code) const
    {
        return InfoApplication && InfoApplication->SystemEnumExists(QStringLiteral("MrpBillType"), code);
    }
    QString Select(const QString& objectID, const QString& fields, const QString& filter, const QString& tail)
    {
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, objectID, fields, filter, QString(), QString(), QString(), tail);
        if (sql.isEmpty())
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {objectID}));
        return sql;
    }
    void GatherMainDemands();
    void RefreshMainQuantities();
    void NormaliseTiedSupplyHints();
    // The join (and condition) that keeps gathered rows to the items of a
    // level; a gathering over all levels (level < 0) gets no join.
    void LevelItemScope(int level, const QString& itemExpr, QString& join, QString& where) const;
    void GatherFreeSupplies(int level);
    // Open component lines of orders that are no demands yet: with
    // ordersOfLevel false, of the run's orders (all of them for level -1, else
    // those of the level's items); with it true, of the orders of the level
    // that serve demands (brought in after the level is planned).
    void GatherOrderComponents(int level, bool ordersOfLevel = false);
    void PlanLevel(int level, int levelCount);
    // The parts a level of more rows than MRPLevelPartRows() is planned in,
    // each of whole items, written to #QZ_MRP_LevelChunks; -1: the level at once.
    int SplitLevel(int level);
    // After a level is planned: unused supplies of substitutes dropped, its
    // bills exploded, its orders' lines brought in.
    void FinishLevel(int level, int levelCount);
    void AddOrdersOfMaterialDemands();
    // Kit quantities of every level, from the highest code down.
    void KitQuantities(int highest);
    // A warning in the log for each planned supply without a bill of materials.
    void WarnMissingBoms();
    // The save, in one transaction; raises when the scheme's state or main
    // demand time is no longer the one the run started from.
    bool SaveResult(TDateTime runTime, const QString& startMpsRunTime, int startState);
};

} // namespace untMRPRunCommon
