#include "untMRPLevelSelects.h"
#include <QStringList>

namespace untMRPLevelSelects {

namespace {
const QString kTag = QStringLiteral("rtrim(isnull(DmdOrigTag,''))");
const QString kCust = QStringLiteral("rtrim(isnull(DmdOrigCustID,''))");
const QString kCustItem = kCust + QStringLiteral("+'|'+rtrim(isnull(DmdOrigItmID,''))");
const QString kDoc = QStringLiteral("cast(isnull(DmdOrigType,0) as nvarchar(2))+'|'+rtrim(isnull(DmdOrigID,''))");
const QString kDocItem = kDoc + QStringLiteral("+'|'+rtrim(isnull(DmdOrigItmID,''))");
const QString kLine = kDoc + QStringLiteral("+'|'+cast(isnull(DmdOrigEntry,0) as nvarchar(10))");

// The item codes of the tracking setting, in the order the texts use them.
constexpr int kCodes[] = {9, 4, 5, 3, 2, 1};
} // namespace

QString BuildTrackKeySQL(int careMRPTrackMode, bool careItemMRPTrack)
{
    if (careMRPTrackMode == 9)
        return QStringLiteral("TrackKey=''");
    if (!careItemMRPTrack) {
        switch (careMRPTrackMode) {
        case 5: return QStringLiteral("TrackKey=") + kTag;
        case 4: return QStringLiteral("TrackKey=") + kCust;
        case 3: return QStringLiteral("TrackKey=") + kCustItem;
        case 2: return QStringLiteral("TrackKey=") + kDoc;
        case 1: return QStringLiteral("TrackKey=") + kDocItem;
        default: return QStringLiteral("TrackKey=") + kLine;
        }
    }
    // Branches for the codes 9, 4, 5, 3, 2, 1 as far as the mode allows, and
    // the mode's own key for everything else.
    QStringList branches{QStringLiteral("''"), kCust, kTag, kCustItem, kDoc, kDocItem};
    int used;
    QString otherwise;
    switch (careMRPTrackMode) {
    case 5: used = 1; otherwise = kTag; break;
    case 4: used = 1; otherwise = kCust; break;
    case 3: used = 2; otherwise = kCustItem; break;
    case 2: used = 4; otherwise = kDoc; break;
    case 1: used = 5; otherwise = kDocItem; break;
    default: used = 6; otherwise = kLine; break;
    }
    QString sql = QStringLiteral("TrackKey=(case isnull(t.ItmMrpTrack,0)");
    for (int i = 0; i < used; ++i)
        sql += QStringLiteral(" when %1 then %2").arg(kCodes[i]).arg(branches[i]);
    return sql + QStringLiteral(" else ") + otherwise + QStringLiteral(" end)");
}

QString BuildDmdSupTypeSQL()
{
    const QString made = QStringLiteral(
        "(case when DmdBillType=94 and DmdBomSkip=2 then 64 when DmdBillType=92 and DmdBomSkip=2 then 66 when "
        "DmdBillType=94 and (t.ItmMOBomSkip=1 or isnull(t.ItmMOBomSkip,0)=0 and DmdBomSkip=1) then 44 when "
        "DmdBillType=92 and (t.ItmOOBomSkip=1 or isnull(t.ItmOOBomSkip,0)=0 and DmdBomSkip=1) then 54 else %1 end)");
    return QStringLiteral("DmdSupType=(case (case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end) when 1 "
                          "then 58 when 2 then %1 when 3 then %2 else (case DmdBillType when 94 then 64 when 92 then "
                          "66 else 62 end) end)")
        .arg(made.arg(42), made.arg(52));
}

QString BuildDmdSupDeptSQL()
{
    return QStringLiteral("DmdSupDept=(case (case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end) when 1 "
                          "then t.ItmPOSuppID when 3 then (case when DmdBillType=94 then t.ItmMODeptID else "
                          "t.ItmOOSuppID end) when 2 then (case when DmdBillType=92 then t.ItmOOSuppID else "
                          "t.ItmMODeptID end) else t.ItmMODeptID end)");
}

QString BuildLevelDemandSelectSQL(int level, bool demandByOrigDate, const QString& trackKeySQL)
{
    QString sql = QStringLiteral("exec QZ_MRP_SetBOMForDemand %1\rselect d.*, DmdItemKey=DmdItmID+'|'+DmdItmProps+"
                                 "char(13)+cast(DmdGroupType as varchar(3))+'|'+DmdGroupNo, p.SupBillType, "
                                 "p.SupBillNo, p.SupBillEntry, p.SupBillQty, p.SupDate, p.SupLeadDays, p.SupHints, "
                                 "p.SupPDmdIID, ")
                      .arg(level);
    sql += BuildDmdSupTypeSQL() + QStringLiteral(", ") + BuildDmdSupDeptSQL();
    sql += QStringLiteral(", i.ItmDecimal, t.ItmPutInteger, t.ItmMinQty, t.ItmLotQty, t.ItmMaxQty, ");
    if (demandByOrigDate)
        sql += QStringLiteral("DmdOrigDate=isnull(ManBillDate, '99991231'), ");
    sql += QStringLiteral("PrdPreLeadTime=pt.ItmPreLeadTime, t.ItmPostLeadTime, t.ItmFixLeadTime, t.ItmVarLeadTime, "
                          "t.ItmVarLeadLot, ")
           + trackKeySQL;
    sql += QStringLiteral(" from #QZ_MRP_Demands as d with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                          "DmdItmID=l.ItmID join QZ_Base_ItemMaster as i with(nolock) on DmdItmID=i.ItmID left join "
                          "QZ_MRP_ItemSetting as t with(nolock) on DmdItmID=t.ItmID left join #QZ_MRP_Supplies as p "
                          "with(nolock) on DmdPSupIID=p.SupIID left join QZ_MRP_ItemSetting as pt with(nolock) on "
                          "p.SupItmID=pt.ItmID");
    if (demandByOrigDate)
        sql += QStringLiteral(" left join #QZ_MRP_MainOrigDates with(nolock) on DmdOrigType=ManBillType and "
                              "DmdOrigID=ManBillID");
    sql += QStringLiteral(" where LowestCode=%1 and DmdQty>0 order by DmdItmID, DmdItmProps, DmdGroupType, "
                          "DmdGroupNo, DmdDate, DmdPriority desc, DmdBillType, DmdBillID, DmdBillEntry")
               .arg(level);
    return sql;
}

QString BuildLevelSupplySelectSQL(int level)
{
    return QStringLiteral("select SupIID, SupPeriod, SupBillType, SupOrigType, SupOrigID, SupOrigEntry, SupOrigCustID, "
                          "SupOrigTag, SupItemKey=SupItmID+'|'+SupItmProps+char(13)+cast(SupGroupType as "
                          "varchar(3))+'|'+SupGroupNo, SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupDate, "
                          "SupBillQty, SupChkQty, SupRestQty, SupHints, SupBomLocked, SupBomType, SupBomID, "
                          "ItmPostLeadTime=(case when SupBillType in (26, 28, 38, 24, 36) then t.ItmPostLeadTime else 0 "
                          "end) from #QZ_MRP_Supplies as s with(nolock) join #QZ_MRP_ItemLowestCode as l "
                          "with(nolock) on SupItmID=l.ItmID left join QZ_MRP_ItemSetting as t with(nolock) on "
                          "SupItmID=t.ItmID where LowestCode=%1 and (SupBillType<=38 and SupRestQty>0 or "
                          "SupBillType=16) order by SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupBillType, "
                          "(case SupBillType when 16 then SupBomLocked else 0 end) desc, SupDate, SupBillNo, "
                          "SupBillID, SupBillEntry")
        .arg(level);
}

QString BuildLevelAdjustSelectSQL(int level)
{
    return QStringLiteral("select SupItemKey=SupItmID+'|'+SupItmProps+char(13)+cast(SupGroupType as varchar(3))+'|'+"
                          "SupGroupNo, SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey, SupBillType, "
                          "SupBomID, SupAdjQty from #QZ_MRP_LastSupAdjusts as a with(nolock) join "
                          "#QZ_MRP_ItemLowestCode as l with(nolock) on SupItmID=l.ItmID where LowestCode=%1 order by "
                          "SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey")
        .arg(level);
}

QString BuildLevelSubstituteSQL(int level, int planNeedScope)
{
    const bool grossMain = planNeedScope == 3 || planNeedScope == 4 || planNeedScope == 7 || planNeedScope == 8;
    return QStringLiteral("truncate table #QZ_MRP_ItemSubsForMRPDemand\rexec QZ_MRP_GetItemSubsForMRPDemand %1%2\r"
                          "select DmdIID, SubKey=SubRItmID+'|'+SubRProps+char(13), SubQty, SubRQty, SubReplace from "
                          "#QZ_MRP_ItemSubsForMRPDemand order by DmdIID, SubGlobal, SubPriority")
        .arg(level)
        .arg(grossMain ? QStringLiteral(",1") : QStringLiteral(",0"));
}

} // namespace untMRPLevelSelects
