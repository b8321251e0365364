#include "untMRPLevelSelects.h"
#include <QDate>
#include <QDateTime>
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

namespace {

// The planned supply type a demand asks for, by the item's planning type.
QString DmdSupTypeExpr()
{
    const QString made = QStringLiteral(
        "(case when DmdBillType=94 and DmdBomSkip=2 then 64 when DmdBillType=92 and DmdBomSkip=2 then 66 when "
        "DmdBillType=94 and (t.ItmMOBomSkip=1 or isnull(t.ItmMOBomSkip,0)=0 and DmdBomSkip=1) then 44 when "
        "DmdBillType=92 and (t.ItmOOBomSkip=1 or isnull(t.ItmOOBomSkip,0)=0 and DmdBomSkip=1) then 54 else %1 end)");
    return QStringLiteral("(case (case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end) when 1 then 58 when "
                          "2 then %1 when 3 then %2 else (case DmdBillType when 94 then 64 when 92 then 66 else 62 "
                          "end) end)")
        .arg(made.arg(42), made.arg(52));
}

} // namespace

QString BuildDmdSupTypeSQL()
{
    return QStringLiteral("DmdSupType=") + DmdSupTypeExpr();
}

namespace {
const QString kSupplyRowsOfLevel = QStringLiteral("(SupBillType<=38 and SupRestQty>0 or SupBillType=16)");
QString ChunkJoin(const QString& AItemColumn, int AChunk)
{
    if (AChunk < 0)
        return QString();
    return QStringLiteral(" join #QZ_MRP_LevelChunks as ch with(nolock) on %1=ch.ChkItmID and ch.ChkNo=%2")
        .arg(AItemColumn)
        .arg(AChunk);
}
} // namespace

QString BuildLevelDemandBomSQL(int level)
{
    return QStringLiteral("exec QZ_MRP_SetBOMForDemand %1").arg(level);
}

QString BuildLevelChunkCountSQL(int level)
{
    return QStringLiteral("select ItmID=DmdItmID, Rows=count(*), Dmds=count(*) from #QZ_MRP_Demands with(nolock) join "
                          "#QZ_MRP_ItemLowestCode as l with(nolock) on DmdItmID=l.ItmID where LowestCode=%1 and "
                          "DmdQty>0 group by DmdItmID\runion all\rselect SupItmID, count(*), 0 from #QZ_MRP_Supplies "
                          "with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on SupItmID=l.ItmID where "
                          "LowestCode=%1 and %2 group by SupItmID")
        .arg(level)
        .arg(kSupplyRowsOfLevel);
}

QString BuildLevelChunkTableSQL()
{
    return QStringLiteral("if object_id('tempdb..#QZ_MRP_LevelChunks') is not null\rdrop table #QZ_MRP_LevelChunks\r"
                          "create table #QZ_MRP_LevelChunks (ChkItmID nvarchar(50) not null primary key, ChkNo int not "
                          "null)");
}

QString BuildLevelDemandSelectSQL(int level, bool demandByOrigDate, const QString& trackKeySQL, int AChunk,
                                  bool AWithBomSetUp)
{
    // Only the demand columns ReadLevelDemandRow reads: a level's rows are
    // many and every column of them is carried to the reader.
    QString sql = (AWithBomSetUp ? BuildLevelDemandBomSQL(level) + u'\r' : QString()) + QStringLiteral("select d.DmdIID, d.DmdPeriod, d.DmdBillType, "
                                 "d.DmdBillQty, d.DmdOrigType, d.DmdOrigID, d.DmdOrigNo, d.DmdOrigEntry, "
                                 "d.DmdOrigItmID, d.DmdOrigCustID, d.DmdOrigCustPO, d.DmdOrigTag, d.DmdOrigSubTag, "
                                 "d.DmdGroupType, d.DmdGroupNo, d.DmdItmID, d.DmdItmProps, d.DmdItmProp1, "
                                 "d.DmdItmProp2, d.DmdItmProp3, d.DmdItmProp4, d.DmdItmProp5, d.DmdItmProp6, "
                                 "d.DmdItmProp7, d.DmdItmProp8, d.DmdItmProp9, d.DmdItmProp10, d.DmdDate, "
                                 "d.DmdDayOffset, d.DmdPriority, d.DmdPSupIID, d.DmdQty, d.DmdBomType, d.DmdBomID, "
                                 "d.DmdBomLocked, d.DmdNote, d.DmdHints, p.SupBillType, "
                                 "p.SupBillNo, p.SupBillEntry, p.SupBillQty, p.SupDate, p.SupLeadDays, p.SupHints, "
                                 "p.SupPDmdIID, ");
    // The department or supplier of the planned supply follows from its type and
    // the item's three parties: the reader picks it, so the type is worked out once.
    sql += BuildDmdSupTypeSQL();
    sql += QStringLiteral(", t.ItmMODeptID, t.ItmPOSuppID, t.ItmOOSuppID");
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
    sql += ChunkJoin(QStringLiteral("d.DmdItmID"), AChunk);
    if (demandByOrigDate)
        sql += QStringLiteral(" left join #QZ_MRP_MainOrigDates with(nolock) on DmdOrigType=ManBillType and "
                              "DmdOrigID=ManBillID");
    sql += QStringLiteral(" where LowestCode=%1 and DmdQty>0 order by DmdItmID, DmdItmProps, DmdGroupType, "
                          "DmdGroupNo, DmdDate, DmdPriority desc, DmdBillType, DmdBillID, DmdBillEntry")
               .arg(level);
    return sql;
}

QString BuildLevelSupplySelectSQL(int level, int AChunk)
{
    return QStringLiteral("select SupIID, SupPeriod, SupBillType, SupOrigType, SupOrigID, SupOrigEntry, SupOrigCustID, "
                          "SupOrigTag, SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupDate, "
                          "SupBillQty, SupChkQty, SupRestQty, SupHints, SupBomLocked, SupBomType, SupBomID, "
                          "ItmPostLeadTime=(case when SupBillType in (26, 28, 38, 24, 36) then t.ItmPostLeadTime else 0 "
                          "end) from #QZ_MRP_Supplies as s with(nolock) join #QZ_MRP_ItemLowestCode as l "
                          "with(nolock) on SupItmID=l.ItmID left join QZ_MRP_ItemSetting as t with(nolock) on "
                          "SupItmID=t.ItmID%2 where LowestCode=%1 and %3 order by SupItmID, SupItmProps, "
                          "SupGroupType, SupGroupNo, SupBillType, (case SupBillType when 16 then SupBomLocked else 0 "
                          "end) desc, SupDate, SupBillNo, SupBillID, SupBillEntry")
        .arg(level)
        .arg(ChunkJoin(QStringLiteral("s.SupItmID"), AChunk), kSupplyRowsOfLevel);
}

QString BuildLevelAdjustSelectSQL(int level)
{
    return QStringLiteral("select SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey, SupBillType, "
                          "SupBomType, SupBomID, SupAdjQty from #QZ_MRP_LastSupAdjusts as a with(nolock) join "
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

TDateTime VariantToDateTime(const QVariant& value)
{
    static const QDate base(1899, 12, 30);
    if (value.isNull() || !value.isValid())
        return 0;
    if (value.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = value.toDateTime();
        return static_cast<double>(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
    }
    if (value.typeId() == QMetaType::QDate)
        return static_cast<double>(base.daysTo(value.toDate()));
    if (value.typeId() == QMetaType::QString) {
        const QString s = value.toString().trimmed();
        const QDateTime dt = QDateTime::fromString(s.left(8), QStringLiteral("yyyyMMdd"));
        if (dt.isValid())
            return static_cast<double>(base.daysTo(dt.date()));
        const QDateTime iso = QDateTime::fromString(s, Qt::ISODateWithMs);
        if (iso.isValid())
            return static_cast<double>(base.daysTo(iso.date())) + iso.time().msecsSinceStartOfDay() / 86400000.0;
    }
    return value.toDouble();
}

namespace {

QString Text(const TFieldGetter& f, const char* name) { return f(name).toString(); }
int Int(const TFieldGetter& f, const char* name) { return f(name).toInt(); }
double Num(const TFieldGetter& f, const char* name) { return f(name).toDouble(); }
bool Bool(const TFieldGetter& f, const char* name) { return f(name).toInt() != 0; }

// The selects join the item on its code, so the code is never null here.
TMRPItemKey Key(const TFieldGetter& f, const char* id, const char* props, const char* type, const char* no)
{
    return TMRPItemKey{Text(f, id), Text(f, props), Int(f, type), Text(f, no)};
}

// The party of the planned supply's own kind: purchases from the purchase
// supplier, outsourcing from the outsourcing supplier, everything made in the
// production department.
QString SupDept(int supType, const TMRPLevelDemandRow& r)
{
    switch (supType) {
    case 58: return r.ItmPOSuppID;
    case 52:
    case 54:
    case 66: return r.ItmOOSuppID;
    default: return r.ItmMODeptID;
    }
}

} // namespace

TMRPLevelDemandRow ReadLevelDemandRow(const TFieldGetter& f)
{
    TMRPLevelDemandRow r;
    r.DmdIID = Int(f, "DmdIID");
    r.DmdBillType = Int(f, "DmdBillType");
    r.DmdPriority = Int(f, "DmdPriority");
    r.DmdOrigType = Int(f, "DmdOrigType");
    r.DmdOrigID = Text(f, "DmdOrigID");
    r.DmdOrigNo = Text(f, "DmdOrigNo");
    r.DmdOrigEntry = Int(f, "DmdOrigEntry");
    r.DmdOrigItmID = Text(f, "DmdOrigItmID");
    r.DmdOrigCustID = Text(f, "DmdOrigCustID");
    r.DmdOrigCustPO = Text(f, "DmdOrigCustPO");
    r.DmdOrigTag = Text(f, "DmdOrigTag");
    r.DmdOrigSubTag = Text(f, "DmdOrigSubTag");
    r.Item = Key(f, "DmdItmID", "DmdItmProps", "DmdGroupType", "DmdGroupNo");
    static const char* const kItmProps[10] = {"DmdItmProp1", "DmdItmProp2", "DmdItmProp3", "DmdItmProp4",
                                              "DmdItmProp5", "DmdItmProp6", "DmdItmProp7", "DmdItmProp8",
                                              "DmdItmProp9", "DmdItmProp10"};
    for (int i = 0; i < 10; ++i)
        r.ItmProp[i] = f(kItmProps[i]).toString();
    r.DmdBomLocked = Bool(f, "DmdBomLocked");
    r.DmdBomType = Int(f, "DmdBomType");
    r.DmdBomID = Text(f, "DmdBomID");
    r.DmdBillQty = Num(f, "DmdBillQty");
    r.DmdQty = Num(f, "DmdQty");
    r.DmdDate = VariantToDateTime(f("DmdDate"));
    r.DmdPeriod = Int(f, "DmdPeriod");
    r.DmdDayOffset = Int(f, "DmdDayOffset");
    r.DmdNote = Text(f, "DmdNote");
    r.DmdHints = Text(f, "DmdHints");
    const QVariant parent = f("DmdPSupIID");
    const QVariant parentType = f("SupBillType");
    r.HasParent = !parent.isNull() && parent.isValid() && !parentType.isNull() && parentType.isValid();
    r.SupBillType = parentType.toInt();
    r.SupBillNo = Text(f, "SupBillNo");
    r.SupBillEntry = Int(f, "SupBillEntry");
    r.SupBillQty = Num(f, "SupBillQty");
    r.SupDate = VariantToDateTime(f("SupDate"));
    r.SupLeadDays = Int(f, "SupLeadDays");
    r.SupHints = Text(f, "SupHints");
    r.SupPDmdIID = Int(f, "SupPDmdIID");
    r.DmdSupType = Int(f, "DmdSupType");
    r.ItmMODeptID = Text(f, "ItmMODeptID");
    r.ItmPOSuppID = Text(f, "ItmPOSuppID");
    r.ItmOOSuppID = Text(f, "ItmOOSuppID");
    r.DmdSupDept = SupDept(r.DmdSupType, r);
    const QVariant decimals = f("ItmDecimal");
    r.ItmDecimal = decimals.isNull() || !decimals.isValid() ? 8 : decimals.toInt();
    r.ItmPutInteger = Int(f, "ItmPutInteger");
    r.ItmMinQty = Num(f, "ItmMinQty");
    r.ItmLotQty = Num(f, "ItmLotQty");
    r.ItmMaxQty = Num(f, "ItmMaxQty");
    r.DmdOrigDate = VariantToDateTime(f("DmdOrigDate"));
    r.PrdPreLeadTime = Int(f, "PrdPreLeadTime");
    r.ItmPostLeadTime = Int(f, "ItmPostLeadTime");
    r.ItmFixLeadTime = Int(f, "ItmFixLeadTime");
    r.ItmVarLeadTime = Int(f, "ItmVarLeadTime");
    r.ItmVarLeadLot = Num(f, "ItmVarLeadLot");
    r.TrackKey = Text(f, "TrackKey");
    return r;
}

TMRPLevelSupplyRow ReadLevelSupplyRow(const TFieldGetter& f)
{
    TMRPLevelSupplyRow r;
    r.SupIID = Int(f, "SupIID");
    r.SupPeriod = Int(f, "SupPeriod");
    r.SupBillType = Int(f, "SupBillType");
    r.SupOrigType = Int(f, "SupOrigType");
    r.SupOrigID = Text(f, "SupOrigID");
    r.SupOrigEntry = Int(f, "SupOrigEntry");
    r.SupOrigCustID = Text(f, "SupOrigCustID");
    r.SupOrigTag = Text(f, "SupOrigTag");
    r.Item = Key(f, "SupItmID", "SupItmProps", "SupGroupType", "SupGroupNo");
    r.SupDate = VariantToDateTime(f("SupDate"));
    r.SupBillQty = Num(f, "SupBillQty");
    r.SupChkQty = Num(f, "SupChkQty");
    r.SupRestQty = Num(f, "SupRestQty");
    r.SupHints = Text(f, "SupHints");
    r.SupBomLocked = Bool(f, "SupBomLocked");
    r.SupBomType = Int(f, "SupBomType");
    r.SupBomID = Text(f, "SupBomID");
    r.ItmPostLeadTime = Int(f, "ItmPostLeadTime");
    return r;
}

TMRPLevelSubstituteRow ReadLevelSubstituteRow(const TFieldGetter& f)
{
    TMRPLevelSubstituteRow r;
    r.DmdIID = Int(f, "DmdIID");
    r.SubKey = Text(f, "SubKey");
    r.SubQty = Num(f, "SubQty");
    r.SubRQty = Num(f, "SubRQty");
    r.SubReplace = Bool(f, "SubReplace");
    return r;
}

TMRPLevelAdjustRow ReadLevelAdjustRow(const TFieldGetter& f)
{
    TMRPLevelAdjustRow r;
    r.Item = Key(f, "SupItmID", "SupItmProps", "SupGroupType", "SupGroupNo");
    r.SupTrackKey = Text(f, "SupTrackKey");
    r.SupBillType = Int(f, "SupBillType");
    r.SupBomType = Int(f, "SupBomType");
    r.SupBomID = Text(f, "SupBomID");
    r.SupAdjQty = Num(f, "SupAdjQty");
    return r;
}

} // namespace untMRPLevelSelects
