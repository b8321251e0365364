#include "untMRPSchemeEdit.h"

#include "UCommon.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"

#include <QStringList>

namespace {

QString filterSection(const QString& AFilters, const char* ASection)
{
    return ReadDelimitedValue(AFilters, QString::fromLatin1(ASection), ViewSchemeParamSeparator);
}

bool gathersForecasts(int ASource)
{
    return ASource == 0 || ASource == 2;
}

bool gathersOrders(int ASource)
{
    return ASource == 0 || ASource == 1;
}

} // namespace

int NewSchemeState(int APlanSource)
{
    return APlanSource == 3 ? psMainDemandReady : psWaitMainDemand;
}

int SavedSchemeState(int AState, const TSchemeParamValues& AOld, const TSchemeParamValues& ANew)
{
    int state = AState;
    const int source = ANew.PlanSource;
    bool mainChanged = source != AOld.PlanSource || ANew.PeriodsText != AOld.PeriodsText;
    if (!mainChanged && gathersForecasts(source))
        mainChanged = filterSection(ANew.DataFilters, "[QZ_MRP.Forcast]") != filterSection(AOld.DataFilters, "[QZ_MRP.Forcast]");
    if (!mainChanged && gathersOrders(source))
        mainChanged = filterSection(ANew.DataFilters, "[QZ_MRP.SO]") != filterSection(AOld.DataFilters, "[QZ_MRP.SO]")
                      || filterSection(ANew.DataFilters, "[QZ_MRP.SI]") != filterSection(AOld.DataFilters, "[QZ_MRP.SI]");
    if (mainChanged) {
        if (source == 3)
            return state > psMainDemandReady ? int(psSchemeChangedRerun) : int(psMainDemandReady);
        return state > psWaitMainDemand ? int(psSchemeChangedRefetch) : int(psWaitMainDemand);
    }
    if (state > psMainDemandReady
        && (ANew.PlanNeedScope != AOld.PlanNeedScope || ANew.CareItemSafety != AOld.CareItemSafety
            || ANew.CareItemReplace != AOld.CareItemReplace || ANew.CareItemSuites != AOld.CareItemSuites
            || ANew.CareMRPTrackMode != AOld.CareMRPTrackMode || ANew.CareItemMRPTrack != AOld.CareItemMRPTrack
            || ANew.CareItemLossRate != AOld.CareItemLossRate || ANew.CareItemLotRule != AOld.CareItemLotRule
            || ANew.DataFilters != AOld.DataFilters))
        state = psSchemeChangedRerun;
    return state;
}

QString BuildSchemeListSQL(bool AMaintainMode, const QString& AUserID, const QString& AUserGroups)
{
    const QString user = QuotedStr(AUserID);
    QString condition;
    if (AMaintainMode)
        condition = QStringLiteral("SchUsrID=") + user;
    else
        condition = QStringLiteral("SchState>=%1 and (SchUsrID=%2 or SchIID in (select distinct DpmDataID from "
                                   "QZ_SYS_DataPermissions with(nolock) where DpmObjID='QZ_MRP.MRP' and (DpmUsrID=%2 and "
                                   "DpmIsGroup=0 or DpmUsrID in (%3) and DpmIsGroup=1)))")
                        .arg(QString::number(psReleased), user, AUserGroups.trimmed().isEmpty() ? QStringLiteral("null") : AUserGroups);
    return QStringLiteral("select SchIID, SchName, SchState, SchRelTime, SchUsrID, UsrName from QZ_MRP_Schemes"
                          " left join QZ_SYS_Users with(nolock) on SchUsrID=UsrID"
                          " where SchType=%1 and %2 order by (case when SchState>=%3 then 1 else 0 end), SchMaxTime desc")
        .arg(QStringLiteral("0"), condition, QString::number(psReleased));
}

QString SchemeListCaption(const QString& AName, int AState, const QString& AOwnerID, const QString& AOwnerName,
                          const QString& ALoginUserID)
{
    QString caption = AName.trimmed();
    switch (AState) {
    case psReleaseCancelled: caption += QStringLiteral(" (已取消发布)"); break;
    case psReleased: caption += QStringLiteral(" (已发布)"); break;
    case psOutputStarted: caption += QStringLiteral(" (已投放)"); break;
    case psOutputClosed: caption += QStringLiteral(" (已关闭投放)"); break;
    default: break;
    }
    if (AOwnerID.trimmed().compare(ALoginUserID, Qt::CaseInsensitive) != 0)
        caption += u'[' + AOwnerName.trimmed() + u']';
    return caption;
}

QString CopiedMainBillTypes(int APlanSource)
{
    QString list = QStringLiteral("12");
    if (gathersOrders(APlanSource))
        list += QStringLiteral(",2,4");
    if (gathersForecasts(APlanSource))
        list += QStringLiteral(",8");
    return list;
}

QString BuildCopyMainSQL(int ASrcSchemeIID, int ADestSchemeIID, int APlanSource)
{
    static const QString kColumns = QStringLiteral(
        "ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManDeptID, ManSuppID,"
        "ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, "
        "ManOrigSubTag, ManGroupType, ManGroupNo, ManDate, ManPriority,ManItmID, ManItmProps, ManItmProp1, ManItmProp2, "
        "ManItmProp3, ManItmProp4, ManItmProp5, ManItmProp6, ManItmProp7, ManItmProp8, ManItmProp9, ManItmProp10,"
        "ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, ManQty, ManNote, ManHints");
    return QStringLiteral("insert QZ_MRP_Main (ManSchIID, ") + kColumns + QStringLiteral(")\rselect ")
           + QString::number(ADestSchemeIID) + QStringLiteral(", ") + kColumns
           + QStringLiteral(" from QZ_MRP_Main with(nolock) where ManSchIID=") + QString::number(ASrcSchemeIID)
           + QStringLiteral(" and ManBillType in (") + CopiedMainBillTypes(APlanSource) + u')';
}

QString BuildCopySchemeTimesSQL(int ASrcSchemeIID, int ADestSchemeIID, bool ACopyMpsPeriods, bool ACopyResults)
{
    QString sql = QStringLiteral("update s set SchMpsRunTime=r.SchMpsRunTime, SchMpsUpdTime=r.SchMpsUpdTime");
    if (ACopyMpsPeriods)
        sql += QStringLiteral(", SchMpsCalIID=r.SchMpsCalIID, SchMpsPeriods=r.SchMpsPeriods");
    if (ACopyResults)
        sql += QStringLiteral(", SchMrpCalIID=r.SchMrpCalIID, SchMrpPeriods=r.SchMrpPeriods, SchMrpRunTime=r.SchMrpRunTime, "
                              "SchMrpUpdTime=r.SchMrpUpdTime");
    return sql + QStringLiteral(" from QZ_MRP_Schemes as s join QZ_MRP_Schemes as r with(nolock) on r.SchIID=")
           + QString::number(ASrcSchemeIID) + QStringLiteral(" where s.SchIID=") + QString::number(ADestSchemeIID);
}

QString BuildDeleteSchemeSQL(int ASchemeIID)
{
    static const char* const kTables[][2] = {
        {"QZ_MRP_Demands", "DmdSchIID"}, {"QZ_MRP_Supplies", "SupSchIID"}, {"QZ_MRP_SupAdjusts", "AdjSchIID"},
        {"QZ_MRP_Allots", "AltSchIID"},  {"QZ_MRP_DestAlters", "DstSchIID"}, {"QZ_MRP_Balance", "BalSchIID"},
        {"QZ_MRP_RunLog", "LogSchIID"},  {"QZ_MRP_Main", "ManSchIID"},      {"QZ_MRP_Schemes", "SchIID"},
    };
    const QString iid = QString::number(ASchemeIID);
    QString sql;
    for (const auto& t : kTables)
        sql += QStringLiteral("delete %1 where %2=%3\rif @@error<>0\rreturn\r")
                   .arg(QString::fromLatin1(t[0]), QString::fromLatin1(t[1]), iid);
    return sql + QStringLiteral("delete QZ_SYS_DataPermissions where DpmObjID='QZ_MRP.MRP' and DpmDataID='%1'").arg(iid);
}
