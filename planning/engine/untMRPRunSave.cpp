// The end of an MRP run: the warnings of planned supplies without a bill of
// materials, and the save (old result out, new result in, state and run log in
// one transaction, only while the scheme is as the run found it).
#include "untMRPRunCommon.h"

#include "untMRPLevelSelects.h"

#include <QStringList>

using namespace untMRPUtils;
using namespace untMRPRunCommon;
using untMRPLevelSelects::VariantToDateTime;

namespace {

// Columns of the stored results, in the order of the result tables.
const QString kDemandColumns = QStringLiteral(
    "DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, DmdSuppID, DmdDeptID, "
    "DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, "
    "DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdItmID, DmdItmProps, ") + PropList(QStringLiteral("DmdItmProp")) +
    QStringLiteral(", DmdDate, DmdDayOffset, DmdPriority, DmdPSupIID, DmdUnitQty, DmdNeedQty, DmdInvQty, DmdMOQty, "
                   "DmdOOQty, DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, DmdGrpxQty, DmdReplQty, DmdChkQty, DmdASetQty, "
                   "DmdASetRate, DmdPPPQty1, DmdPPPQty2, DmdPDmdIID1, DmdPDmdIID2, DmdQty, DmdBomHook, DmdBomType, "
                   "DmdBomID, DmdNote, DmdHints, DmdPHints");
const QString kSupplyColumns = QStringLiteral(
    "SupIID, SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, SupSuppID, SupDeptID, "
    "SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, SupOrigCustPO, SupOrigTag, "
    "SupOrigSubTag, SupGroupType, SupGroupNo, SupItmID, SupItmProps, ") + PropList(QStringLiteral("SupItmProp")) +
    QStringLiteral(", SupDate, SupLeadDays, SupPriority, SupPDmdIID, SupAdjQty, SupQty, SupChkQty, SupAllotQty, "
                   "SupAGrpxQty, SupAReplQty, SupHasAdjDays, SupRestQty, SupBomLocked, SupBomType, SupBomID, SupDrawDate, "
                   "SupDSetQty, SupDSetRate, SupDestQty, SupDester, SupDestTime, SupNote, SupHints, SupPHints, "
                   "SupPDmdIIDs, SupTrackKey");

} // namespace

void TMRPRun::WarnMissingBoms()
{
    using namespace untMRPDataTypes;
    QString props;
    for (int i = 1; i <= 10; ++i)
        props += QStringLiteral("+(case when i.ItmHasProp%1=1 then ' / '+isnull(s.SupItmProp%1,'') else '' end)").arg(i);
    RunSQL(SupQ.get(),
                QStringLiteral("select distinct i.ItmNo, i.ItmName, ItmSpec=(case when i.ItmSpec<>'' then ' / '+i.ItmSpec "
                               "else '' end), ItmProps=''") +
                    props +
                    QStringLiteral(" from #QZ_MRP_Supplies as s with(nolock) join QZ_Base_ItemMaster as i with(nolock) on "
                                   "s.SupItmID=i.ItmID where SupBillType in (34, 42, 44, 36, 52, 54, 62, 64, 66) and "
                                   "(SupBomID is null or SupBomID='')"),
                true, true, false);
    QStringList warnings;
    for (; !SupQ->Eof(); SupQ->Next())
        warnings << untMRPUtils::FormatMessage(SMissingBOM(), {SupQ->FieldByName(QStringLiteral("ItmNo"))->AsString(),
                                                               SupQ->FieldByName(QStringLiteral("ItmName"))->AsString(),
                                                               SupQ->FieldByName(QStringLiteral("ItmSpec"))->AsString(),
                                                               SupQ->FieldByName(QStringLiteral("ItmProps"))->AsString()});
    SupQ->Close();
    for (const QString& w : warnings)
        AddRunLog(Log, mkWarning, w, true);
}

bool TMRPRun::SaveResult(TDateTime runTime, const QString& startMpsRunTime, int startState)
{
    using namespace untMRPDataTypes;
    // The save: the old result out, the new one in and the new state, all or
    // nothing, and only while nobody rebuilt the main demand meanwhile.
    const int iid = S.SchemeIID;
    kvado::ScopedTransaction tran(S.Connection());
    RunSQL(Q,
                QStringLiteral("select SchState, SchMpsRunTime from QZ_MRP_Schemes where SchIID=%1 and SchType=%2")
                    .arg(iid)
                    .arg(S.PlanType),
                true, true, false);
    const bool present = !Q->Eof();
    const int stateNow = present ? Q->FieldByName(QStringLiteral("SchState"))->AsInteger() : -1;
    TField* mps = present ? Q->FieldByName(QStringLiteral("SchMpsRunTime")) : nullptr;
    const QString mpsNow = (mps && !mps->IsNull()) ? DateTimeToSQLStr(VariantToDateTime(mps->Value())) : QString();
    Q->Close();
    if (!present || stateNow != startState || mpsNow != startMpsRunTime) {
        const QString text = untMRPUtils::FormatMessage(SSchemeStateChanged(), {S.SchemeName});
        throw Exception(text);
    }
    Exec(Q, QStringLiteral("delete QZ_MRP_Demands where DmdSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_Supplies where "
                           "SupSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_SupAdjusts where AdjSchIID=%1\rif "
                           "@@error<>0\rreturn\rdelete QZ_MRP_Allots where AltSchIID=%1\rif @@error<>0\rreturn\rdelete "
                           "QZ_MRP_DestAlters where DstSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_Balance where "
                           "BalSchIID=%1\rif @@error<>0\rreturn\rdelete QZ_MRP_RunLog where LogSchIID=%1")
                .arg(iid));
    Exec(Q, QStringLiteral("insert QZ_MRP_Demands (DmdSchIID, ") + kDemandColumns + QStringLiteral(")\rselect %1, ").arg(iid) +
                QString(kDemandColumns)
                    .replace(QStringLiteral("DmdBillNo,"),
                             QStringLiteral("(case when DmdBillNo<>'' then DmdBillNo else 'D-'+cast(DmdIID as nvarchar(8)) "
                                            "end),")) +
                QStringLiteral(" from #QZ_MRP_Demands"));
    Exec(Q, QStringLiteral("insert QZ_MRP_Supplies (SupSchIID, ") + kSupplyColumns + QStringLiteral(")\rselect %1, ").arg(iid) +
                QString(kSupplyColumns)
                    .replace(QStringLiteral("SupBillNo,"),
                             QStringLiteral("(case when SupBillNo<>'' then SupBillNo else 'S-'+cast(SupIID as nvarchar(8)) "
                                            "end),")) +
                QStringLiteral(" from #QZ_MRP_Supplies"));
    Exec(Q, QStringLiteral("insert QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty)\rselect %1, "
                           "AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty from #QZ_MRP_SupAdjusts")
                .arg(iid));
    Exec(Q, QStringLiteral("insert QZ_MRP_Allots (AltSchIID, AltIID, AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, "
                           "AltTrack, AltQty, AltIsGrpx, AltIsRepl, AltReplQty)\rselect %1, AltIID, AltPeriod, AltSupIID, "
                           "AltDmdIID, AltDate, AltAdjDays, AltTrack, AltQty, AltIsGrpx, AltIsRepl, AltReplQty from "
                           "#QZ_MRP_Allots")
                .arg(iid));
    const QString balCols = QStringLiteral("BalIID, BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") +
                            PropList(QStringLiteral("BalItmProp")) + QStringLiteral(", ") + kBalanceQtyColumns;
    Exec(Q, QStringLiteral("insert QZ_MRP_Balance (BalSchIID, ") + balCols + QStringLiteral(")\rselect %1, ").arg(iid) +
                balCols + QStringLiteral(" from #QZ_MRP_Balance"));
    Exec(Q, QStringLiteral("update QZ_MRP_Schemes set SchState=%1, SchMrpCalIID=%2, SchMrpPeriods=%3, SchMrpRunTime='%4',"
                           "SchMrpUpdTime=%5, SchMaxTime=getdate() where SchIID=%6")
                .arg(int(psMRPDone))
                .arg(S.MpsCalIID)
                .arg(QuoteSQL(PlanPeriodsToText(S.MpsPeriods)), DateTimeToSQLStr(runTime),
                     KeepAny ? QStringLiteral("SchMrpUpdTime") : QStringLiteral("null"))
                .arg(iid));
    // The completion line is saved with the log, and shown only once the result is committed.
    const QString done = QStringLiteral("执行完成。");
    const QDateTime doneAt = Log.AddMsgProc ? WriteRunLog(Log, done, mkInformation, false) : QDateTime();
    Exec(Q, QStringLiteral("insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogKind, LogText, LogTime)\rselect %1, LogIID, "
                           "LogIndent, LogKind, LogText, LogTime from #QZ_MRP_RunLog")
                .arg(iid));
    tran.Commit();
    ShowRunLog(Log, done, mkInformation, false, doneAt);
    return true;
}
