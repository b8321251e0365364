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

// "insert T (scheme column, columns)" CR "select target, selected columns from T with(nolock) where scheme column=source".
QString CopyStatement(const QString& ATable, const QString& ASchemeColumn, const QString& AColumns,
                      const QString& ASelected, int ASrc, int ATgt)
{
    return QStringLiteral("insert ") + ATable + QStringLiteral(" (") + ASchemeColumn + QStringLiteral(", ") + AColumns +
           QStringLiteral(")\rselect ") + QString::number(ATgt) + QStringLiteral(", ") + ASelected +
           QStringLiteral(" from ") + ATable + QStringLiteral(" with(nolock) where ") + ASchemeColumn + u'=' +
           QString::number(ASrc);
}

QString CopyStatement(const QString& ATable, const QString& ASchemeColumn, const QString& AColumns, int ASrc, int ATgt)
{
    return CopyStatement(ATable, ASchemeColumn, AColumns, AColumns, ASrc, ATgt);
}

} // namespace

void CopySchemeResults(int ASrcSchemeIID, int ATgtSchemeIID, TADOQuery* AQuery, bool AMainDemandOnly)
{
    auto run = [AQuery](const QString& sql) { ExecSQLText(AQuery, sql, false, true, true); };

    run(CopyStatement(QStringLiteral("QZ_MRP_Main"), QStringLiteral("ManSchIID"),
                      QStringLiteral("ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, "
                                     "ManBillQty, ManDeptID, ManSuppID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, "
                                     "ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, "
                                     "ManGroupNo, ManItmID, ManItmProps, ") +
                          Props(QStringLiteral("Man")) +
                          QStringLiteral(", ManDate, ManPriority, ManBomType, ManBomID, ManExeQty, ManDedQty, "
                                         "ManNeedQty, ManAdjQty, ManQty, ManNote, ManHints"),
                      ASrcSchemeIID, ATgtSchemeIID));
    if (AMainDemandOnly)
        return;

    run(CopyStatement(QStringLiteral("QZ_MRP_Demands"), QStringLiteral("DmdSchIID"),
                      QStringLiteral("DmdIID, DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, "
                                     "DmdBillQty, DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, "
                                     "DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag, DmdGroupType, "
                                     "DmdGroupNo, DmdItmID, DmdItmProps, ") +
                          Props(QStringLiteral("Dmd")) +
                          QStringLiteral(", DmdDate, DmdDayOffset, DmdPriority, DmdPSupIID, DmdUnitQty, DmdNeedQty, "
                                         "DmdInvQty, DmdMOQty, DmdOOQty, DmdPOQty, DmdMRQty, DmdORQty, DmdPRQty, "
                                         "DmdGrpxQty, DmdReplQty, DmdChkQty, DmdASetQty, DmdASetRate, DmdPPPQty1, "
                                         "DmdPPPQty2, DmdPDmdIID1, DmdPDmdIID2, DmdQty, DmdBomHook, DmdBomType, DmdBomID, "
                                         "DmdNote, DmdHints, DmdPHints"),
                      ASrcSchemeIID, ATgtSchemeIID));

    // The release columns of the copied supplies stay empty.
    const QString supHead = QStringLiteral(
                                "SupIID, SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, "
                                "SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, "
                                "SupOrigCustID, SupOrigCustPO, SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo, SupItmID, "
                                "SupItmProps, ") +
                            Props(QStringLiteral("Sup")) +
                            QStringLiteral(", SupDate, SupLeadDays, SupPriority, SupPDmdIID, SupAdjQty, SupQty, SupChkQty, "
                                           "SupAllotQty, SupAGrpxQty, SupAReplQty, SupHasAdjDays, SupRestQty, SupBomLocked, "
                                           "SupBomType, SupBomID, SupDrawDate, SupDSetQty, SupDSetRate, ");
    const QString supTail = QStringLiteral(", SupNote, SupHints, SupPHints, SupPDmdIIDs, SupTrackKey");
    run(CopyStatement(QStringLiteral("QZ_MRP_Supplies"), QStringLiteral("SupSchIID"),
                      supHead + QStringLiteral("SupDestQty, SupDester, SupDestTime") + supTail,
                      supHead + QStringLiteral("null, null, null") + supTail, ASrcSchemeIID, ATgtSchemeIID));

    run(CopyStatement(QStringLiteral("QZ_MRP_SupAdjusts"), QStringLiteral("AdjSchIID"),
                      QStringLiteral("AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty, AdjPending"), ASrcSchemeIID,
                      ATgtSchemeIID));

    run(CopyStatement(QStringLiteral("QZ_MRP_Allots"), QStringLiteral("AltSchIID"),
                      QStringLiteral("AltIID, AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, AltTrack, AltQty, "
                                     "AltIsGrpx, AltIsRepl, AltReplQty"),
                      ASrcSchemeIID, ATgtSchemeIID));

    run(CopyStatement(QStringLiteral("QZ_MRP_Balance"), QStringLiteral("BalSchIID"),
                      QStringLiteral("BalIID, BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") +
                          Props(QStringLiteral("Bal")) +
                          QStringLiteral(", BalForQty, BalSOQty, BalFreeQty, BalInvQty, BalPOQty, BalOOQty, BalMOQty, "
                                         "BalGInQty, BalRInQty, BalChkQty, BalPRQty, BalORQty, BalMRQty, BalSafeQty, "
                                         "BalOODQty, BalMODQty, BalGOutQty, BalROutQty, BalPOODQty, BalPMODQty, "
                                         "BalVirDQty, BalNetQty, BalQty, BalPPOQty, BalPOOQty, BalPMOQty, BalXQty, "
                                         "BalEndQty"),
                      ASrcSchemeIID, ATgtSchemeIID));

    run(CopyStatement(QStringLiteral("QZ_MRP_RunLog"), QStringLiteral("LogSchIID"),
                      QStringLiteral("LogIID, LogIndent, LogKind, LogText, LogTime"), ASrcSchemeIID, ATgtSchemeIID));
}
