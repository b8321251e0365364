#include "untMRPBom.h"
#include "untMRPUtils.h"
#include <algorithm>
#include <cmath>

using namespace untMRPUtils;

namespace untMRPBom {

QString BuildBomQtyBaseSQL(bool careItemLossRate, int losType)
{
    if (!careItemLossRate)
        return QStringLiteral("(case BomFixed when 1 then 1 else SupQty end)");
    if (losType == 1)
        return QStringLiteral("(case BomFixed when 1 then 1 else SupQty*100/BomPrdOkRate end)*100/(100-BomLossRate)");
    return QStringLiteral("(case BomFixed when 1 then 1 else SupQty*100/BomPrdOkRate end)*(100+BomLossRate)/100");
}

QString BuildBomQtySQL(bool careItemLossRate, int losType)
{
    const QString b = BuildBomQtyBaseSQL(careItemLossRate, losType);
    return QStringLiteral("(case t.ItmPutInteger when 1 then cast(ceiling(%1 *BomQty/BomBaseQty*BomPercent/100) as "
                          "decimal(28,10)) else round(%1 *BomQty/BomBaseQty*BomPercent/100, i.ItmDecimal) end)")
        .arg(b);
}

double CalcBomQtyBase(bool careItemLossRate, int losType, bool bomFixed, double supQty, double bomPrdOkRate,
                      double bomLossRate)
{
    if (!careItemLossRate)
        return bomFixed ? 1.0 : supQty;
    const double grossed = bomFixed ? 1.0 : supQty * 100 / bomPrdOkRate;
    if (losType == 1)
        return grossed * 100 / (100 - bomLossRate);
    return grossed * (100 + bomLossRate) / 100;
}

double CalcBomComponentQty(double qtyBase, double bomQty, double bomBaseQty, double bomPercent, int itmPutInteger,
                           int itmDecimal)
{
    const double q = qtyBase * bomQty / bomBaseQty * bomPercent / 100;
    if (itmPutInteger == 1)
        return CeilQty(q);
    // The database rounds to the item's places as given; beyond eight the
    // stored quantity keeps eight.
    return RoundTo(q, std::min(EffectiveDecimals(itmDecimal), 8));
}

TBadBomKind CheckBomLine(bool careItemLossRate, int losType, bool bomFixed, double bomBaseQty, double bomPrdOkRate,
                         double bomLossRate)
{
    if (!(bomBaseQty != 0) || !std::isfinite(bomBaseQty))
        return bkBaseQty;
    if (careItemLossRate && !bomFixed && (!(bomPrdOkRate > 0) || !std::isfinite(bomPrdOkRate)))
        return bkYield;
    if (careItemLossRate && losType == 1 && bomLossRate >= 100)
        return bkLossRate;
    return bkNone;
}

QString BadBomMessage(TBadBomKind kind, const QString& itemNo, const QString& bomNo)
{
    QString text;
    switch (kind) {
    case bkBaseQty: text = untMRPDataTypes::SBadBomBaseQty(); break;
    case bkYield: text = untMRPDataTypes::SBadBomYield(); break;
    case bkLossRate: text = untMRPDataTypes::SBadBomLossRate(); break;
    default: return QString();
    }
    return FormatMessage(text, {itemNo, bomNo});
}

int BomDemandBillType(int parentBillType)
{
    switch (parentBillType) {
    case btMR: case btPMO: case btPMOX: case btPMOS: return btPMOD;
    case btOR: case btPOO: case btPOOX: case btPOOS: return btPOOD;
    case btPX: return btVirD;
    default: return 0;
    }
}

std::pair<int, QString> BomDemandGroup(int itmMrpGroup, int supOrigType, const QString& supOrigID,
                                       const QString& supOrigNo, int supOrigEntry, const QString& supOrigTag,
                                       const QString& supOrigSubTag, const QString& custName, int supGroupType,
                                       const QString& supGroupNo)
{
    const bool customerDoc = supOrigType == 2 || supOrigType == 4;
    const QString noWithEntry = supOrigNo + (supOrigEntry != 0 ? QLatin1Char('/') + QString::number(supOrigEntry)
                                                               : QString());
    switch (itmMrpGroup) {
    case 1:
        if (customerDoc && !supOrigID.isEmpty())
            return {supOrigEntry != 0 ? (supOrigType == 2 ? 1 : 3) : (supOrigType == 2 ? 2 : 4), noWithEntry};
        break;
    case 2:
        if (customerDoc && !supOrigID.isEmpty())
            return {supOrigType == 2 ? 2 : 4, supOrigNo};
        break;
    case 3:
        if (!supOrigTag.isEmpty() || !supOrigSubTag.isEmpty())
            return {9, !supOrigSubTag.isEmpty() ? supOrigSubTag : supOrigTag};
        break;
    case 4:
        if (customerDoc && !supOrigNo.isEmpty())
            return {9, noWithEntry};
        break;
    case 5:
        if (customerDoc && !supOrigNo.isEmpty())
            return {9, supOrigNo};
        break;
    case 6:
        if (!custName.isEmpty())
            return {9, custName};
        break;
    case 9:
        return {supGroupType, supGroupNo};
    default:
        break;
    }
    return {0, QString()};
}

namespace {
const char* const kCustDocWithID = "SupOrigType in (2, 4) and isnull(SupOrigID,'')<>''";
const char* const kCustDocWithNo = "SupOrigType in (2, 4) and isnull(SupOrigNo,'')<>''";
const char* const kTagged = "(isnull(SupOrigTag,'')<>'' or isnull(SupOrigSubTag,'')<>'')";
const char* const kNoWithEntry =
    "isnull(SupOrigNo,'')+(case when isnull(SupOrigEntry,0)<>0 then '/'+cast(SupOrigEntry as nvarchar(10)) else '' end)";
} // namespace

QString BuildBomGroupTypeSQL()
{
    return QStringLiteral("(case t.ItmMrpGroup"
                          " when 1 then (case when %1 then (case when isnull(SupOrigEntry,0)<>0 then (case SupOrigType "
                          "when 2 then 1 else 3 end) else (case SupOrigType when 2 then 2 else 4 end) end) else 0 end)"
                          " when 2 then (case when %1 then (case SupOrigType when 2 then 2 else 4 end) else 0 end)"
                          " when 3 then (case when %3 then 9 else 0 end)"
                          " when 4 then (case when %2 then 9 else 0 end)"
                          " when 5 then (case when %2 then 9 else 0 end)"
                          " when 6 then (case when isnull(c.CustName,'')<>'' then 9 else 0 end)"
                          " when 9 then SupGroupType else 0 end)")
        .arg(QLatin1String(kCustDocWithID), QLatin1String(kCustDocWithNo), QLatin1String(kTagged));
}

QString BuildBomGroupNoSQL()
{
    return QStringLiteral("(case t.ItmMrpGroup"
                          " when 1 then (case when %1 then %3 else '' end)"
                          " when 2 then (case when %1 then isnull(SupOrigNo,'') else '' end)"
                          " when 3 then (case when isnull(SupOrigSubTag,'')<>'' then SupOrigSubTag else "
                          "isnull(SupOrigTag,'') end)"
                          " when 4 then (case when %2 then %3 else '' end)"
                          " when 5 then (case when %2 then isnull(SupOrigNo,'') else '' end)"
                          " when 6 then isnull(c.CustName,'')"
                          " when 9 then SupGroupNo else '' end)")
        .arg(QLatin1String(kCustDocWithID), QLatin1String(kCustDocWithNo), QLatin1String(kNoWithEntry));
}

QString BuildBomFetchSQL(int level)
{
    return QStringLiteral("truncate table #QZ_MRP_RefGetBOM\rtruncate table #QZ_MRP_BOM\rinsert #QZ_MRP_RefGetBOM "
                          "(PrdID, BomType, BomID)\rselect distinct SupItmID, SupBomType, SupBomID from "
                          "#QZ_MRP_Supplies with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                          "SupItmID=l.ItmID where LowestCode=%1 and SupBillType in (%2, %3, %4, %5, %6, %7, %8, %9, "
                          "%10)\rexec QZ_MRP_GetBOM")
        .arg(level)
        .arg(btMR).arg(btPMO).arg(btPMOX).arg(btPMOS).arg(btOR).arg(btPOO).arg(btPOOX).arg(btPOOS)
        .arg(btPX);
}

namespace {

// From and where of the level's exploded lines.
QString ExplodedLinesFromWhere(int level, int planNeedScope, const QString& extraJoin)
{
    QString sql = QStringLiteral(
                      " from #QZ_MRP_Supplies with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                      "SupItmID=l.ItmID join #QZ_MRP_BOM with(nolock) on SupBomType=BomType and SupBomID=BomID and "
                      "BomRole=0 join QZ_Base_ItemMaster as i with(nolock) on BomItmID=i.ItmID left join "
                      "QZ_MRP_ItemSetting as t with(nolock) on BomItmID=t.ItmID left join QZ_Base_Customer as c "
                      "with(nolock) on SupOrigCustID=c.CustID")
                  + extraJoin;
    if (planNeedScope >= 5)
        sql += QStringLiteral(" left join #QZ_MRP_MainItems as tmpman with(nolock) on SupItmID=tmpman.ManItmID and "
                              "SupItmProps=tmpman.ManItmProps and SupGroupType=tmpman.ManGroupType and "
                              "SupGroupNo=tmpman.ManGroupNo");
    sql += QStringLiteral(" where LowestCode=%1 and (SupBillType in (%2, %3, %4, %5)")
               .arg(level)
               .arg(btMR)
               .arg(btPMO)
               .arg(btOR)
               .arg(btPOO);
    if (planNeedScope >= 5)
        sql += QStringLiteral(" and tmpman.ManItmID is not null");
    sql += QStringLiteral(" or SupBillType in (%1, %2, %3, %4, %5)) and (t.ItmMrpSkip=0 or t.ItmMrpSkip is null) and ")
               .arg(btPMOX)
               .arg(btPMOS)
               .arg(btPOOX)
               .arg(btPOOS)
               .arg(btPX);
    sql += planNeedScope != 0 ? QStringLiteral("(SupAllotQty>0 or SupPDmdIID=-1)") : QStringLiteral("SupQty>0");
    return sql;
}

} // namespace

QString BuildBadBomCheckSQL(int level, bool careItemLossRate, int losType, int planNeedScope)
{
    QString bad = QStringLiteral("isnull(BomBaseQty,0)=0");
    QString kind = QStringLiteral("(case when isnull(BomBaseQty,0)=0 then 1");
    if (careItemLossRate) {
        bad += QStringLiteral(" or isnull(BomFixed,0)<>1 and isnull(BomPrdOkRate,0)<=0");
        kind += QStringLiteral(" when isnull(BomFixed,0)<>1 and isnull(BomPrdOkRate,0)<=0 then 2");
        if (losType == 1) {
            bad += QStringLiteral(" or BomLossRate>=100");
            kind += QStringLiteral(" when BomLossRate>=100 then 3");
        }
    }
    kind += QStringLiteral(" else 0 end)");
    return QStringLiteral("select top 1 ItmNo=isnull(p.ItmNo, SupItmID), BomNo=(case when isnull(BomNo,'')<>'' then "
                          "BomNo else BomID end), BadKind=")
           + kind
           + ExplodedLinesFromWhere(level, planNeedScope,
                                    QStringLiteral(" left join QZ_Base_ItemMaster as p with(nolock) on SupItmID=p.ItmID"))
           + QStringLiteral(" and (") + bad + QStringLiteral(")");
}

QString BuildBomDemandInsertSQL(int level, bool careItemLossRate, int losType, int planNeedScope,
                                const QString& periodOfDrawDateSQL)
{
    const QString qty = BuildBomQtySQL(careItemLossRate, losType);
    QString sql = QStringLiteral(
        "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, "
        "DmdBillQty, DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, "
        "DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdItmID, DmdItmProps, "
        "DmdItmProp1, DmdItmProp2, DmdItmProp3, DmdItmProp4, DmdItmProp5, DmdItmProp6, DmdItmProp7, DmdItmProp8, "
        "DmdItmProp9, DmdItmProp10, DmdDate, DmdDayOffset, DmdPriority, DmdPSupIID, DmdBomHook, DmdBomType, "
        "DmdBomID, DmdBomSkip, DmdUnitQty, DmdNeedQty, DmdQty, DmdNote)\rselect ");
    sql += periodOfDrawDateSQL;
    sql += QStringLiteral(", (case when SupBillType in (%1, %2, %3, %4) then %5 when SupBillType in (%6, %7, %8, %9) "
                          "then %10 else %11 end)")
               .arg(btMR).arg(btPMO).arg(btPMOX).arg(btPMOS).arg(btPMOD)
               .arg(btOR).arg(btPOO).arg(btPOOX).arg(btPOOS).arg(btPOOD)
               .arg(btVirD);
    sql += QStringLiteral(", BomID, (case when isnull(SupBillNo,'')<>'' then SupBillNo+(case when "
                          "isnull(SupBillEntry,0)<>0 then '/'+cast(SupBillEntry as nvarchar(10)) else '' end) else "
                          "BomNo end), BomEntry, SupDrawDate, ");
    sql += qty;
    sql += QStringLiteral(", SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, "
                          "SupOrigCustID, SupOrigCustPO, (case when isnull(SupOrigSubTag,'')<>'' then SupOrigSubTag "
                          "else SupOrigTag end), null, ");
    sql += BuildBomGroupTypeSQL() + QStringLiteral(", ") + BuildBomGroupNoSQL();
    sql += QStringLiteral(", BomItmID, BomProps, BomProp1, BomProp2, BomProp3, BomProp4, BomProp5, BomProp6, "
                          "BomProp7, BomProp8, BomProp9, BomProp10, SupDrawDate, BomOffsetDay, SupPriority, SupIID, "
                          "BomRowHook, isnull(BomItmBomType,0), BomItmBomID, isnull(BomItmBomSkip,0), "
                          "round(BomQty/BomBaseQty*BomPercent/100, 10), ");
    sql += qty + QStringLiteral(", ") + qty + QStringLiteral(", BomNote");
    sql += ExplodedLinesFromWhere(level, planNeedScope, QString());
    return sql;
}

} // namespace untMRPBom
