// The MRP run: the SQL helpers every stage uses (counted for MRPRunStats), the
// run log, TMRPRun::Execute (the stages in order), CleanUp and RunMRP. The
// stages themselves live in the untMRPRun*.cpp files untMRPRunCommon.h lists.
#include "untMRPRunCommon.h"

#include "EscapeKey.h"
#include "untMRPLevelSelects.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>

using namespace untMRPUtils;
using namespace untMRPRunCommon;
using untMRPLevelSelects::VariantToDateTime;

namespace {

TMRPRunStats gRunStats;

// With profiling on, the time of a batch is added up under its key.
void NoteBatchTime(const QString& key, const QElapsedTimer& timer)
{
    TMRPRunStats::TBatchTime& t = gRunStats.BatchTimes[key];
    ++t.Count;
    t.Nanoseconds += timer.nsecsElapsed();
}

} // namespace

namespace untMRPRunCommon {

bool RunSQL(TADOQuery* query, const QString& sql, bool aOpen, bool aReraise, bool aShow)
{
    ++gRunStats.Batches;
    gRunStats.Chars += sql.size();
    if (!gRunStats.Profile)
        return ExecSQLText(query, sql, aOpen, aReraise, aShow);
    QElapsedTimer timer;
    timer.start();
    const bool result = ExecSQLText(query, sql, aOpen, aReraise, aShow);
    QString key = sql.left(100);
    key.remove(QRegularExpression(QStringLiteral("[0-9]")));
    NoteBatchTime(key, timer);
    return result;
}

QString DropIfExists(const QString& table)
{
    return QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%1'))\rdrop table %1\r")
        .arg(table);
}

QString PropList(const QString& prefix)
{
    QStringList l;
    for (int i = 1; i <= 10; ++i)
        l << prefix + QString::number(i);
    return l.join(QStringLiteral(", "));
}

int ExecCount(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql + QStringLiteral("\rselect RowCnt=@@rowcount"), true, true, false);
    const int n = q->Eof() ? 0 : q->FieldByName(QStringLiteral("RowCnt"))->AsInteger();
    q->Close();
    return n;
}

int OpenCount(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql, true, true, false);
    const int n = q->Eof() ? 0 : q->Fields()->Field(0)->AsInteger();
    q->Close();
    return n;
}

void Exec(TADOQuery* q, const QString& sql)
{
    RunSQL(q, sql, false, true, false);
}

void RunBulkStatement(TADOConnection* connection, const TMRPBulkStatement& st)
{
    if (st.Rows.isEmpty())
        return;
    QList<kvado::BulkParam> params;
    for (int i = 0; i < st.ParamNames.size(); ++i)
        params.append(kvado::BulkParam{st.ParamNames[i], st.ParamTypes[i]});
    ++gRunStats.Batches;
    gRunStats.Chars += st.Statement.size();
    gRunStats.BulkRows += st.Rows.size();
    QElapsedTimer timer;
    timer.start();
    connection->ExecuteBulk(params, st.Statement, st.Rows);
    if (gRunStats.Profile)
        NoteBatchTime(QStringLiteral("(bulk) ") + st.Statement.left(90), timer);
}

void ExecBulk(TADOConnection* connection, const TMRPBulkStatement& st)
{
    if (st.Rows.isEmpty())
        return;
    kvado::ScopedTransaction tran(connection);
    RunBulkStatement(connection, st);
    tran.Commit();
}

} // namespace untMRPRunCommon

void AddRunLog(TMRPRunLog& ALog, TMessageKind AKind, const QString& AText, bool AIndent)
{
    ShowRunLog(ALog, AText, AKind, AIndent, WriteRunLog(ALog, AText, AKind, AIndent));
}

QDateTime WriteRunLog(TMRPRunLog& ALog, const QString& AText, TMessageKind AKind, bool AIndent)
{
    // A line longer than its column is cut, never the cause of an aborted run.
    const QString text = AText.left(MaxRunLogText);
    QDateTime time = QDateTime::currentDateTime();
    if (ALog.Query) {
        RunSQL(ALog.Query,
                    QStringLiteral("declare @time datetime\rselect @time=getdate()\rinsert #QZ_MRP_RunLog (LogIndent, LogKind, "
                                   "LogText, LogTime) values (%1, %2, %3, @time)\rselect LogTime=@time")
                        .arg(AIndent ? 1 : 0)
                        .arg(int(AKind))
                        .arg(QuoteSQL(text)),
                    true, true, false);
        if (!ALog.Query->Eof())
            time = ALog.Query->FieldByName(QStringLiteral("LogTime"))->AsDateTime();
        ALog.Query->Close();
    }
    return time;
}

void ShowRunLog(TMRPRunLog& ALog, const QString& AText, TMessageKind AKind, bool AIndent, const QDateTime& ATime)
{
    if (!ALog.AddMsgProc)
        return;
    const QString shown = ATime.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss ")) + AText.left(MaxRunLogText);
    void* node = ALog.AddMsgProc(AKind, shown, QString(), QVariant(), QVariant(), AIndent ? ALog.LastMainNode : nullptr);
    if (!AIndent)
        ALog.LastMainNode = node;
}

bool TMRPRun::Execute(TDateTime runTime, const QString& startMpsRunTime, int startState)
{
    using namespace untMRPDataTypes;
    S.DemandByOrigDate = S.PlanType == 2 ? false
                                         : InfoApplication && InfoApplication->ReadSystemSettingAsBoolean(
                                                                  QStringLiteral("QZ_MRP"),
                                                                  QStringLiteral("DemandOrderByOrigDate"), false, true);
    CreateMRPWorkTables(Q, S.CareItemReplace != 0, S.DemandByOrigDate);
    WorkTablesMade = true;
    Info(SGatheringData());
    LosType = OpenCount(Q, QStringLiteral("select LosType from QZ_MRP_LossRateType with(nolock)"));
    {
        std::unique_ptr<TADOQuery> cal(S.NewSchemeQuery());
        // Start dates reach back before the first plan day by up to the
        // longest lead time: the rest days are loaded from the earliest day a
        // shift can give, so that every start date is a working day.
        if (!LoadCalendarHolidays(S.MpsCalIID, Holidays, cal.get(), CalendarFirstDay(S.MpsPeriods)))
            throw Exception(SCalendarLoadFailed());
    }
    GatherMainDemands();
    if (S.PlanNeedScope == 0)
        GatherFreeSupplies(-1);
    else if (S.PlanType == 2)
        // The component lines of the orders a shortage analysis looks at are
        // its target demands: read before the levels are known.
        GatherOrderComponents(-1);

    CheckEsc();
    Info(SLowLevelCodes());
    // A scoped run brings the orders' lines in level by level: their
    // components need codes below the orders' items, also those that only
    // the orders' own bills name.
    const int highest = CalcLowLevelCodes(DmdQ.get(), S.PlanNeedScope != 0, S.CareItemReplace != 0);
    if (highest < 0) {
        QStringList lines;
        for (; !DmdQ->Eof(); DmdQ->Next()) {
            QString line = DmdQ->FieldByName(QStringLiteral("ItmNo"))->AsString() + QStringLiteral(" (") +
                           DmdQ->FieldByName(QStringLiteral("ItmName"))->AsString();
            const QString itemSpec = DmdQ->FieldByName(QStringLiteral("ItmSpec"))->AsString();
            if (!itemSpec.isEmpty())
                line += QStringLiteral(" / ") + itemSpec;
            lines << line + u')';
        }
        DmdQ->Close();
        if (Log.AddMsgProc) {
            AddRunLog(Log, mkError, SBOMCycle(), false);
            for (const QString& l : lines)
                AddRunLog(Log, mkError, l, true);
        } else
            ShowError(SBOMCycle() + u'\r' + lines.join(u'\r'));
        throw Exception(QString());
    }
    const int levelCount = highest + 1;
    for (int level = 0; level <= highest; ++level)
        PlanLevel(level, levelCount);

    CheckEsc();
    Info(SBuildingBalance());
    Exec(Q, BuildBalanceSQL());

    if (S.PlanNeedScope == 2 || S.PlanNeedScope == 4 || S.PlanNeedScope == 6 || S.PlanNeedScope == 8)
        AddOrdersOfMaterialDemands();

    CheckEsc();
    Info(SKitQuantities());
    KitQuantities(highest);

    if (Log.AddMsgProc) {
        CheckEsc();
        Info(SCheckingResult());
        WarnMissingBoms();
        Info(SSavingResult());
    }
    return SaveResult(runTime, startMpsRunTime, startState);
}

void TMRPRun::CleanUp()
{
    // Every table of the run, whether or not it was made; a dropped
    // connection is no reason to raise here.
    static const char* tables[] = {"#QZ_MRP_Demands", "#QZ_MRP_Supplies", "#QZ_MRP_SupAdjusts", "#QZ_MRP_Allots",
                                   "#QZ_MRP_Balance", "#QZ_MRP_RunLog", "#QZ_MRP_LastSupAdjusts", "#QZ_MRP_ItemLowestCode",
                                   "#QZ_MRP_MainItems", "#QZ_MRP_CurLevelDmdItems", "#QZ_MRP_RefGetBOM", "#QZ_MRP_BOM",
                                   "#QZ_MRP_ItemInventory", "#QZ_MRP_ItemSubsForMRPDemand", "#QZ_MRP_MainOrigDates",
                                   "#QZ_MRP_MainX", "#QZ_MRP_RefGetBOM0", "#QZ_MRP_BOMCouples", "#QZ_TmpTbl_BOM",
                                   "#QZ_TmpTbl_BOM0", "#QZ_TmpTbl_ItemSubs", "#QZ_MRP_ItemSubsCouples",
                                   "#QZ_MRP_LevelChunks"};
    QString sql;
    for (const char* t : tables)
        sql += QStringLiteral("if object_id('tempdb..%1') is not null\rdrop table %1\r").arg(QLatin1String(t));
    try {
        RunSQL(Q, sql, false, false, false);
    } catch (...) {
    }
}

TMRPRunStats& MRPRunStats()
{
    return gRunStats;
}

int& MRPLevelPartRows()
{
    static int rows = 20000;
    return rows;
}

bool TPlanScheme::RunMRP(bool AKeepTypeAdjusts, bool AKeepBomAdjusts, bool AKeepQtyAdjusts,
                         TAddProcessMessageNodeProc AddMsgProc)
{
    TDateTime runTime = 0;
    if (!ReadServerTime(runTime))
        return false;
    // What the save must still find: the state and main demand of now.
    QString startMps;
    int startState = -1;
    if (RunSQL(FPublicQuery,
                    QStringLiteral("select SchState, SchMpsRunTime from QZ_MRP_Schemes where SchIID=%1 and SchType=%2")
                        .arg(SchemeIID)
                        .arg(PlanType),
                    true, false, false) &&
        !FPublicQuery->Eof()) {
        startState = FPublicQuery->FieldByName(QStringLiteral("SchState"))->AsInteger();
        TField* f = FPublicQuery->FieldByName(QStringLiteral("SchMpsRunTime"));
        if (!f->IsNull())
            startMps = DateTimeToSQLStr(VariantToDateTime(f->Value()));
    }
    FPublicQuery->Close();
    if (InfoApplication) {
        InfoApplication->ShowStatusMessage(untMRPDataTypes::SMRPRunning(), mkHint);
        kvos::startEscapeKeyWatch(); // only an Esc pressed during the run counts
    }
    bool ok = false;
    std::unique_ptr<TMRPRun> run;
    try {
        run = std::make_unique<TMRPRun>(*this, AKeepTypeAdjusts, AKeepBomAdjusts, AKeepQtyAdjusts, AddMsgProc);
        ok = run->Execute(runTime, startMps, startState);
    } catch (const std::exception& e) {
        ok = false;
        QString reason = QString::fromUtf8(e.what());
        if (const auto* ex = dynamic_cast<const Exception*>(&e))
            reason = ex->Message;
        const QString text = untMRPUtils::FormatMessage(untMRPDataTypes::SRunAborted(), {reason});
        try {
            if (AddMsgProc) {
                TMRPRunLog log;
                log.AddMsgProc = AddMsgProc;
                AddRunLog(log, mkError, text, false);
            }
            ShowError(text);
        } catch (...) {
        }
    } catch (...) {
        ok = false;
    }
    if (run)
        run->CleanUp();
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(QString(), mkHint);
    return ok;
}
