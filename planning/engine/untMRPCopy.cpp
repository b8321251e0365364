#include "untMRPCopy.h"

#include "UDBComm.h"

#include <QStringList>

namespace {

// The item property columns 1 to 10 of a prefix.
QString Props(const QString& APrefix)
{
    QStringList cols;
    for (int i = 1; i <= 10; ++i)
        cols << APrefix + QStringLiteral("ItmProp") + QString::number(i);
    return cols.join(QStringLiteral(", "));
}

// A result table of a scheme: its scheme column and the columns after it.
struct TResultTable {
    QString Table;
    QString SchemeColumn;
    QString Columns;
};

// The result tables in the order they are copied; the main demand first.
QList<TResultTable> ResultTables()
{
    return {
        {QStringLiteral("QZ_MRP_Main"), QStringLiteral("ManSchIID"),
         QStringLiteral("ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, "
                        "ManDeptID, ManSuppID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, "
                        "ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManItmID, ManItmProps, ") +
             Props(QStringLiteral("Man")) +
             QStringLiteral(", ManDate, ManPriority, ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, "
                            "ManQty, ManNote, ManHints")},
        {QStringLiteral("QZ_MRP_Demands"), QStringLiteral("DmdSchIID"),
         QStringLiteral("DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, "
                        "DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, DmdOrigCustID, "
                        "DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdItmID, DmdItmProps, ") +
             Props(QStringLiteral("Dmd")) +
             QStringLiteral(", DmdDate, DmdDayOffset, DmdPriority, DmdPSupIID, DmdUnitQty, DmdNeedQty, DmdInvQty, DmdMOQty, "
                            "DmdOOQty, DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, DmdGrpxQty, DmdReplQty, DmdChkQty, "
                            "DmdASetQty, DmdASetRate, DmdPPPQty1, DmdPPPQty2, DmdPDmdIID1, DmdPDmdIID2, DmdQty, DmdBomHook, "
                            "DmdBomType, DmdBomID, DmdNote, DmdHints, DmdPHints")},
        {QStringLiteral("QZ_MRP_Supplies"), QStringLiteral("SupSchIID"),
         QStringLiteral("SupIID, SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, "
                        "SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, "
                        "SupOrigCustPO, SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo, SupItmID, SupItmProps, ") +
             Props(QStringLiteral("Sup")) +
             QStringLiteral(", SupDate, SupLeadDays, SupPriority, SupPDmdIID, SupAdjQty, SupQty, SupChkQty, SupAllotQty, "
                            "SupAGrpxQty, SupAReplQty, SupHasAdjDays, SupRestQty, SupBomLocked, SupBomType, SupBomID, "
                            "SupDrawDate, SupDSetQty, SupDSetRate, SupDestQty, SupDester, SupDestTime, SupNote, SupHints, "
                            "SupPHints, SupPDmdIIDs, SupTrackKey")},
        {QStringLiteral("QZ_MRP_SupAdjusts"), QStringLiteral("AdjSchIID"),
         QStringLiteral("AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty, AdjPending")},
        {QStringLiteral("QZ_MRP_Allots"), QStringLiteral("AltSchIID"),
         QStringLiteral("AltIID, AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, AltTrack, AltQty, AltIsGrpx, "
                        "AltIsRepl, AltReplQty")},
        {QStringLiteral("QZ_MRP_Balance"), QStringLiteral("BalSchIID"),
         QStringLiteral("BalIID, BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") + Props(QStringLiteral("Bal")) +
             QStringLiteral(", BalForQty, BalSOQty, BalFreeQty, BalInvQty, BalPOQty, BalOOQty, BalMOQty, BalGInQty, "
                            "BalRInQty, BalChkQty, BalPRQty, BalORQty, BalMRQty, BalSafeQty, BalOODQty, BalMODQty, "
                            "BalGOutQty, BalROutQty, BalPOODQty, BalPMODQty, BalVirDQty, BalNetQty, BalQty, BalPPOQty, "
                            "BalPOOQty, BalPMOQty, BalXQty, BalEndQty")},
        {QStringLiteral("QZ_MRP_RunLog"), QStringLiteral("LogSchIID"),
         QStringLiteral("LogIID, LogIndent, LogKind, LogText, LogTime")},
    };
}

// Released quantities stay with the source: the copy's release columns are empty.
const QString kReleaseColumns = QStringLiteral("SupDestQty, SupDester, SupDestTime");

} // namespace

void CopySchemeResults(int ASrcSchemeIID, int ATgtSchemeIID, TADOQuery* AQuery, bool AMainDemandOnly)
{
    for (const TResultTable& t : ResultTables()) {
        QString selected = t.Columns;
        selected.replace(kReleaseColumns, QStringLiteral("null, null, null"));
        const QString sql = QStringLiteral("insert ") + t.Table + QStringLiteral(" (") + t.SchemeColumn +
                            QStringLiteral(", ") + t.Columns + QStringLiteral(")\rselect ") +
                            QString::number(ATgtSchemeIID) + QStringLiteral(", ") + selected + QStringLiteral(" from ") +
                            t.Table + QStringLiteral(" with(nolock) where ") + t.SchemeColumn + u'=' +
                            QString::number(ASrcSchemeIID);
        ExecSQLText(AQuery, sql, false, true, true);
        if (AMainDemandOnly)
            break; // the main demand is always first
    }
}
