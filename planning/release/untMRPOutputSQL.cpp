#include "untMRPOutputSQL.h"

#include "untApplication.h"
#include "untMRP.h"
#include "untMRPOutputRecs.h"

namespace {

const QString CR = QStringLiteral("\r");

// Bill types of the planned supplies.
constexpr int btPlanMO = 42;
constexpr int btPlanOO = 52;
constexpr int btPlanPO = 58;

QString quoted(const QString& s)
{
    return u'\'' + QString(s).replace(u'\'', QStringLiteral("''")) + u'\'';
}

QString n(int v)
{
    return QString::number(v);
}

int subcontractTarget(const TMRPOutputLoadOptions& o)
{
    return o.DirectOO ? obtSubcontract : obtSubcontractDirect;
}

QString createRefItems()
{
    return OutputDropTempSQL(QStringLiteral("#QZ_MRP_RefItems")) +
           QStringLiteral("create table #QZ_MRP_RefItems (ItmID nvarchar(50) not null primary key)") + CR;
}

QString supplierDefSQL(int ASuppDef, bool AWantPO, bool AWantOO)
{
    return OutputDropTempSQL(QStringLiteral("#QZ_MRP_ItemSupplierDef")) +
           QStringLiteral("create table #QZ_MRP_ItemSupplierDef (ItmID nvarchar(50) not null primary key, POSuppID "
                          "nvarchar(50) null, OOSuppID nvarchar(50) null)") +
           CR + QStringLiteral("exec QZ_MRP_GetItemSupplierDef ") + n(ASuppDef) + u',' + (AWantPO ? u'1' : u'0') + u',' +
           (AWantOO ? u'1' : u'0') + CR;
}

QString refItemPropsSQL(const QString& ASelect)
{
    return OutputDropTempSQL(QStringLiteral("#QZ_MRP_RefItemProps")) +
           QStringLiteral("create table #QZ_MRP_RefItemProps (ItmID nvarchar(50) not null,ItmProps nvarchar(100) not null)") + CR +
           QStringLiteral("create index #QZ_MRP_RefItemPropsIdx on #QZ_MRP_RefItemProps (ItmID, ItmProps)") + CR +
           QStringLiteral("insert #QZ_MRP_RefItemProps (ItmID, ItmProps)") + CR + ASelect + CR;
}

TMRPOutputRefTemplates& refTemplates()
{
    static TMRPOutputRefTemplates templates;
    return templates;
}

QString buildRefTemplate(bool APurchase)
{
    const QString head = APurchase ? QStringLiteral("#QZ_MRP_RefItemPOQty") : QStringLiteral("#QZ_MRP_RefItemUseQty");
    const QString column = APurchase ? QStringLiteral("RefPOQty") : QStringLiteral("RefUseQty");
    QString p1, p2;
    if (APurchase) {
        p1 = BuildInfoObjectFilterSQL(
            QStringLiteral("QZ_MRP.PO"),
            QStringLiteral("tmpi.ItmID, tmpi.ItmProps, RefQty=sum(case when s.POOkQty>s.POQty then s.POOkQty else (case when "
                           "s.Closed=0 then s.POQty else s.POOkQty end) end)"),
            QStringLiteral("s.PODate>='%0:s' and isnull($$ItmProps$$, '')=tmpi.ItmProps"), QString(), QString(),
            QStringLiteral("join #QZ_MRP_RefItemProps as tmpi with(nolock) on s.POItmID=tmpi.ItmID"));
        p2 = BuildInfoObjectFilterSQL(
            QStringLiteral("QZ_MRP.PI"),
            QStringLiteral("tmpi.ItmID, tmpi.ItmProps, RefQty=sum(case when s.PIOkQty>s.PIQty then s.PIOkQty else (case when "
                           "s.Closed=0 then s.PIQty else s.PIOkQty end) end)"),
            QStringLiteral("s.PIDate>='%0:s' and isnull($$ItmProps$$, '')=tmpi.ItmProps"), QString(), QString(),
            QStringLiteral("join #QZ_MRP_RefItemProps as tmpi with(nolock) on s.PIItmID=tmpi.ItmID"));
    } else {
        const QString select = QStringLiteral("tmpi.ItmID, tmpi.ItmProps, RefQty=sum(s.BomOkQty)");
        const QString cond = QStringLiteral("BomDrawDate>='%0:s' and isnull($$ItmProps$$, '')=tmpi.ItmProps");
        const QString join = QStringLiteral("join #QZ_MRP_RefItemProps as tmpi with(nolock) on s.BomItmID=tmpi.ItmID");
        p1 = BuildInfoObjectFilterSQL(QStringLiteral("QZ_MRP.MOBOM"), select, cond, QString(), QString(), join);
        p2 = BuildInfoObjectFilterSQL(QStringLiteral("QZ_MRP.OOBOM"), select, cond, QString(), QString(), join);
    }
    return OutputDropTempSQL(head) + QStringLiteral("select RefItmID=isnull(t1.ItmID, t2.ItmID), RefItmProps=isnull(t1.ItmProps, "
                                                    "t2.ItmProps), ") +
           column + QStringLiteral("=isnull(t1.RefQty,0)+isnull(t2.RefQty,0) into ") + head + QStringLiteral(" from (") + p1 +
           QStringLiteral(" group by tmpi.ItmID, tmpi.ItmProps) as t1 full join (") + p2 +
           QStringLiteral(" group by tmpi.ItmID, tmpi.ItmProps) as t2 on t1.ItmID=t2.ItmID and t1.ItmProps=t2.ItmProps") + CR;
}

QString refSQL(bool APurchase, const QDate& ARefDate)
{
    const int tick = InfoApplication ? InfoApplication->LoginTick : 0;
    return QString(refTemplates().Get(tick, APurchase, &buildRefTemplate))
        .replace(QStringLiteral("%0:s"), ARefDate.toString(QStringLiteral("yyyyMMdd")));
}

// The part of the item's planning type in the substitute select.
const QString MrpTypeCase = QStringLiteral("(case (case when mt.ItmMrpType<>0 then mt.ItmMrpType else i.ItmType end)");

} // namespace

QString OutputDropTempSQL(const QString& ATable)
{
    return QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..") + ATable +
           QStringLiteral("'))") + CR + QStringLiteral("drop table ") + ATable + CR;
}

QString TMRPOutputRefTemplates::Get(int ALoginTick, bool APurchase, const TBuilder& ABuild)
{
    if (ALoginTick != FLoginTick) {
        FLoginTick = ALoginTick;
        FPurchase.clear();
        FUse.clear();
    }
    QString& t = APurchase ? FPurchase : FUse;
    if (t.isEmpty())
        t = ABuild(APurchase);
    return t;
}

QString OutputRefPOQtySQL(const QDate& ARefDate)
{
    return refSQL(true, ARefDate);
}

QString OutputRefUseQtySQL(const QDate& ARefDate)
{
    return refSQL(false, ARefDate);
}

QString BuildOutputSupplyListSQL(const TMRPOutputLoadOptions& o)
{
    // 5. Plan-type parts.
    QString x, u, c;
    const QString prodUnit = QStringLiteral(" left join QZ_Base_Unit as du with(nolock) on i.ItmProdUnitID=du.UntID");
    switch (o.PlanType) {
    case 1:
        x = QStringLiteral(", SupDeptID=mt.ItmMODeptID, DestType=") + n(obtProduction);
        u = prodUnit;
        c = u'=' + n(btPlanMO);
        break;
    case 2:
        x = QStringLiteral(", SupDeptID=mt.ItmOOSuppID, DestType=") + n(subcontractTarget(o));
        u = prodUnit;
        c = u'=' + n(btPlanOO);
        break;
    case 3:
        x = QStringLiteral(", SupDeptID=mt.ItmPOSuppID, DestType=") + n(obtPurchase);
        u = QStringLiteral(" left join QZ_Base_Unit as du with(nolock) on i.ItmBuyUnitID=du.UntID");
        c = u'=' + n(btPlanPO);
        break;
    default:
        x = QStringLiteral(", SupDeptID=(case SupBillType when %1 then mt.ItmMODeptID when %2 then mt.ItmOOSuppID else "
                           "mt.ItmPOSuppID end),DestType=(case SupBillType when %1 then %3 when %2 then %4 else %5 end)")
                .arg(btPlanMO)
                .arg(btPlanOO)
                .arg(obtProduction)
                .arg(subcontractTarget(o))
                .arg(obtPurchase);
        u = QStringLiteral(" left join QZ_Base_Unit as du with(nolock) on (case SupBillType when %1 then i.ItmBuyUnitID else "
                           "i.ItmProdUnitID end)=du.UntID")
                .arg(btPlanPO);
        c = QStringLiteral(" in (%1, %2, %3)").arg(btPlanMO).arg(btPlanOO).arg(btPlanPO);
        break;
    }
    // 6. The main select.
    QString m = QStringLiteral(
        "select s.SupIID, SupPeriod, SupBillType, SupBillNo, SupBillDate, SupItmID, SupQty, SupBomType, SupBomID, SupDate, "
        "SupDrawDate,SupItmProps, SupItmProp1, SupItmProp2, SupItmProp3, SupItmProp4, SupItmProp5, SupItmProp6, SupItmProp7, "
        "SupItmProp8, SupItmProp9, SupItmProp10,SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, "
        "SupOrigCustPO, SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo,SupDestQty, SupDester, SupDestTime, SupHints, "
        "SupPDmdIIDs, SupTrackKey, SupNote, ItmNo=i.ItmNo, ItmName=i.ItmName, ItmSpec=i.ItmSpec,u.UntName, SupOrigCust=c.CustName, "
        "SupOrigItmNo=o.ItmNo, SupOrigItmName=o.ItmName, SupOrigItmSpec=o.ItmSpec, BomNo, UsrName,ItmPlannerID, "
        "ItmPlanner=ep.EmpName, ItmBuyerID, ItmBuyer=eb.EmpName, ItmMinQty, ItmLotQty, ItmFixLeadTime, ItmVarLeadTime, "
        "ItmVarLeadLot, ItmDecimal=i.ItmDecimal, ItmPutInteger=mt.ItmPutInteger,SubTag=cast(null as bit), SubSeqNo=cast(null as tinyint), DestUnitID=du.UntID, DestUnitName=du.UntName, "
        "DestUnitRate=du.UntFactor");
    m += o.ItemSel + x + QStringLiteral(" from ") + QStringLiteral("QZ_MRP_Supplies as s with(nolock)") +
         QStringLiteral(" join QZ_Base_ItemMaster as i with(nolock) on SupItmID=i.ItmID") +
         QStringLiteral(" left join QZ_Base_Unit as u with(nolock) on i.ItmUnitID=u.UntID left join QZ_Base_ItemMaster as o "
                        "with(nolock) on SupOrigItmID=o.ItmID") +
         QStringLiteral(" left join QZ_Base_Customer as c with(nolock) on SupOrigCustID=CustID left join QZ_MRP_BOMsOfSupply as b "
                        "with(nolock) on s.SupSchIID=b.SupSchIID and s.SupIID=b.SupIID") +
         QStringLiteral(" left join QZ_SYS_Users as usr with(nolock) on SupDester=UsrID left join QZ_MRP_ItemSetting as mt "
                        "with(nolock) on SupItmID=mt.ItmID") +
         QStringLiteral(" left join QZ_Base_Employee as ep with(nolock) on ItmPlannerID=ep.EmpID left join QZ_Base_Employee as eb "
                        "with(nolock) on ItmBuyerID=eb.EmpID") +
         o.ItemJoin + u + QStringLiteral(" where s.SupSchIID=") + n(o.SchemeIID) + QStringLiteral(" and SupBillType") + c +
         QStringLiteral(" and SupQty>isnull(SupDestQty,0) and (ItmOutSkip is null or ItmOutSkip=0)");
    if (!o.Filter.trimmed().isEmpty())
        m += QStringLiteral(" and (") + o.Filter + u')';
    // 7.
    const QString names = QStringLiteral("DeptID=(case SupBillType when %1 then td.DeptID else ts.SuppID end), DeptName=(case "
                                         "SupBillType when %1 then td.DeptName else ts.SuppName end)")
                              .arg(btPlanMO);
    const QString top = QStringLiteral("select top ") + n(o.MaxRows);
    const QString order = QStringLiteral(" order by [SupBillType], [ItmNo], [SupDate], [SupIID]");
    // 8.
    const bool suppDef = o.SuppDef > 0 && o.PlanType != 1;
    const bool prepared = suppDef || o.RefPOQty || o.RefUseQty || o.Replace;
    if (!prepared)
        return top + QStringLiteral(" t.*, RefPOQty=cast(null as float), RefUseQty=cast(null as float),") + names +
               QStringLiteral(" from (") + m + QStringLiteral(") as t") +
               QStringLiteral(" left join QZ_Base_Department as td with(nolock) on SupDeptID=td.DeptID") +
               QStringLiteral(" left join QZ_Base_Supplier as ts with(nolock) on SupDeptID=ts.SuppID") + order;
    QString sql = OutputDropTempSQL(QStringLiteral("#QZ_MRP_OutputSupplies")) +
                  QStringLiteral("select * into #QZ_MRP_OutputSupplies from (") + m + QStringLiteral(") as t") + CR;
    if (suppDef)
        sql += createRefItems() + QStringLiteral("insert #QZ_MRP_RefItems (ItmID)") + CR +
               QStringLiteral("select distinct SupItmID from #QZ_MRP_OutputSupplies") + CR +
               supplierDefSQL(o.SuppDef, o.PlanType != 2, o.PlanType != 3);
    if (o.RefPOQty || o.RefUseQty || o.Replace)
        sql += refItemPropsSQL(QStringLiteral("select distinct SupItmID, SupItmProps from #QZ_MRP_OutputSupplies"));
    if (o.RefPOQty)
        sql += OutputRefPOQtySQL(o.RefDate);
    if (o.RefUseQty)
        sql += OutputRefUseQtySQL(o.RefDate);
    if (o.Replace)
        sql += QStringLiteral("exec QZ_MRP_GetItemSubsExists ") + n(o.SchemeIID) + CR;
    const QString s = suppDef ? QStringLiteral(" left join #QZ_MRP_ItemSupplierDef as tsd with(nolock) on SupItmID=tsd.ItmID left "
                                               "join QZ_Base_Supplier as ts with(nolock) on (case SupBillType when ") +
                                    n(btPlanOO) + QStringLiteral(" then tsd.OOSuppID else tsd.POSuppID end)=ts.SuppID")
                              : QStringLiteral(" left join QZ_Base_Supplier as ts with(nolock) on SupDeptID=ts.SuppID");
    sql += top + QStringLiteral(" t.*,") + names +
           (o.RefPOQty ? QStringLiteral(", h.RefPOQty") : QStringLiteral(", RefPOQty=cast(null as float)")) +
           (o.RefUseQty ? QStringLiteral(", f.RefUseQty") : QStringLiteral(", RefUseQty=cast(null as float)")) +
           (o.Replace ? QStringLiteral(", SubItmID=s.ItmID") : QString()) +
           QStringLiteral(" from #QZ_MRP_OutputSupplies as t with(nolock) left join QZ_Base_Department as td with(nolock) on "
                          "SupDeptID=td.DeptID") +
           s +
           (o.RefPOQty ? QStringLiteral(" left join #QZ_MRP_RefItemPOQty as h with(nolock) on t.SupItmID=h.RefItmID and "
                                        "t.SupItmProps=h.RefItmProps")
                       : QString()) +
           (o.RefUseQty ? QStringLiteral(" left join #QZ_MRP_RefItemUseQty as f with(nolock) on t.SupItmID=f.RefItmID and "
                                         "t.SupItmProps=f.RefItmProps")
                        : QString()) +
           (o.Replace ? QStringLiteral(" left join #QZ_MRP_RefItemProps as s with(nolock) on t.SupItmID=s.ItmID and "
                                       "t.SupItmProps=s.ItmProps")
                      : QString()) +
           order;
    return sql;
}

QString BuildOutputSubstitutesSQL(const TMRPOutputLoadOptions& o, const std::vector<TMRPOutputDemand>& ADemands,
                                  const QString& AGroupSQL)
{
    const bool suppDef = o.SuppDef > 0 && o.PlanType != 1;
    // 5.
    QString itemSel = o.ItemSel + QStringLiteral(", DeptID=") + MrpTypeCase +
                      QStringLiteral(" when 1 then ts.SuppID when 3 then tp.SuppID else td.DeptID end),") +
                      QStringLiteral("DeptName=") + MrpTypeCase +
                      QStringLiteral(" when 1 then ts.SuppName when 3 then tp.SuppName else td.DeptName end),") +
                      QStringLiteral("DestUnitID=") + MrpTypeCase + QStringLiteral(" when 1 then bu.UntID else du.UntID end),") +
                      QStringLiteral("DestUnitName=") + MrpTypeCase +
                      QStringLiteral(" when 1 then bu.UntName else du.UntName end),") + QStringLiteral("DestUnitRate=") +
                      MrpTypeCase + QStringLiteral(" when 1 then bu.UntFactor else du.UntFactor end),") +
                      QStringLiteral("DestType=") + MrpTypeCase +
                      QStringLiteral(" when 1 then %1 when 3 then %2 else %3 end)")
                          .arg(obtPurchase)
                          .arg(subcontractTarget(o))
                          .arg(obtProduction);
    QString itemJoin = o.ItemJoin +
                       QStringLiteral(" left join QZ_Base_Unit as du with(nolock) on i.ItmProdUnitID=du.UntID left join "
                                      "QZ_Base_Unit as bu with(nolock) on i.ItmBuyUnitID=bu.UntID") +
                       QStringLiteral(" left join QZ_Base_Department as td with(nolock) on mt.ItmMODeptID=td.DeptID");
    if (suppDef)
        itemJoin += QStringLiteral(" left join #QZ_MRP_ItemSupplierDef as tsd with(nolock) on s.SubRItmID=tsd.ItmID") +
                    QStringLiteral(" left join QZ_Base_Supplier as ts with(nolock) on tsd.POSuppID=ts.SuppID left join "
                                   "QZ_Base_Supplier as tp with(nolock) on tsd.OOSuppID=tp.SuppID");
    else
        itemJoin += QStringLiteral(" left join QZ_Base_Supplier as ts with(nolock) on mt.ItmPOSuppID=ts.SuppID left join "
                                   "QZ_Base_Supplier as tp with(nolock) on mt.ItmOOSuppID=tp.SuppID");
    // 7.
    QString sql = OutputDropTempSQL(QStringLiteral("#QZ_MRP_DemandRefItems")) +
                  QStringLiteral("create table #QZ_MRP_DemandRefItems (DmdIID int not null, DmdBillType tinyint null, DmdBillID "
                                 "nvarchar(50) null, DmdBillEntry int null, DmdItmID nvarchar(50) not null, DmdItmProps "
                                 "nvarchar(100) not null, DmdBomHook varchar(50) null, DmdDate datetime null, SupBomType tinyint "
                                 "null, SupBomID nvarchar(50) null)") +
                  CR + QStringLiteral("create index #QZ_MRP_DemandRefItemsIdx on #QZ_MRP_DemandRefItems (DmdItmID)") + CR +
                  OutputDropTempSQL(QStringLiteral("#QZ_MRP_ItemSubsForDemand")) +
                  QStringLiteral("create table #QZ_MRP_ItemSubsForDemand (DmdIID int not null, SubGlobal bit null, SubPriority "
                                 "int null, SubRItmID nvarchar(50) not null, SubRProps nvarchar(100) not null default(''), "
                                 "SubRProp1 nvarchar(80) null, SubRProp2 nvarchar(80) null, SubRProp3 nvarchar(80) null, "
                                 "SubRProp4 nvarchar(80) null, SubRProp5 nvarchar(80) null, SubRProp6 nvarchar(80) null, "
                                 "SubRProp7 nvarchar(80) null, SubRProp8 nvarchar(80) null, SubRProp9 nvarchar(80) null, "
                                 "SubRProp10 nvarchar(80) null, SubQty decimal(18,8) null, SubRQty decimal(18,8) null, "
                                 "SubReplace bit null, SubBomType tinyint null, SubBomID nvarchar(50) null, SubBomNo "
                                 "nvarchar(80) null)") +
                  CR + QStringLiteral("create index #QZ_MRP_ItemSubsForDemandIdx1 on #QZ_MRP_ItemSubsForDemand (DmdIID)") + CR +
                  QStringLiteral("create index #QZ_MRP_ItemSubsForDemandIdx2 on #QZ_MRP_ItemSubsForDemand (SubRItmID)") + CR +
                  OutputDropTempSQL(QStringLiteral("#QZ_MRP_OutputDmds")) +
                  // The hints of a demand hold one line per period: a long
                  // period list needs more than a short text.
                  QStringLiteral("create table #QZ_MRP_OutputDmds (DmdIID int not null primary key clustered, DmdQty "
                                 "decimal(28,8), Period int, Hints varchar(max) null)") +
                  CR + OutputDemandInsertSQL(ADemands) + CR;
    const QString scheme = n(o.SchemeIID);
    sql += QStringLiteral("insert #QZ_MRP_DemandRefItems (DmdIID, DmdBillType, DmdBillID, DmdBillEntry, DmdItmID, DmdItmProps, "
                          "DmdBomHook, DmdDate, SupBomType, SupBomID)") +
           CR +
           QStringLiteral("select t.DmdIID, DmdBillType, DmdBillID, DmdBillEntry, DmdItmID, DmdItmProps, DmdBomHook, DmdDate, "
                          "SupBomType, SupBomID") +
           QStringLiteral(" from #QZ_MRP_OutputDmds as t with(nolock) join QZ_MRP_Demands as d with(nolock) on DmdSchIID=") +
           scheme + QStringLiteral(" and t.DmdIID=d.DmdIID") +
           QStringLiteral(" left join QZ_MRP_Supplies as s with(nolock) on DmdSchIID=SupSchIID and DmdPSupIID=SupIID") + CR +
           QStringLiteral("exec QZ_MRP_GetItemSubsForDemand") + CR;
    if (suppDef)
        sql += createRefItems() + QStringLiteral("insert #QZ_MRP_RefItems (ItmID)") + CR +
               QStringLiteral("select distinct SubRItmID from #QZ_MRP_ItemSubsForDemand") + CR +
               supplierDefSQL(o.SuppDef, o.PlanType != 2, o.PlanType != 3);
    if (o.RefPOQty || o.RefUseQty)
        sql += refItemPropsSQL(QStringLiteral("select distinct SubRItmID, SubRProps from #QZ_MRP_ItemSubsForDemand"));
    if (o.RefPOQty)
        sql += OutputRefPOQtySQL(o.RefDate);
    if (o.RefUseQty)
        sql += OutputRefUseQtySQL(o.RefDate);
    sql += QStringLiteral(
               "select SupIID=s.DmdIID, SupPeriod=r.Period, SupBillType=DmdBillType, SupBillNo=DmdBillNo, SupQty=r.DmdQty, "
               "SupDestQty=dst.DstQty,") +
           QStringLiteral("s.SubRItmID, s.SubRProps, s.SubRProp1, s.SubRProp2, s.SubRProp3, s.SubRProp4, s.SubRProp5, s.SubRProp6, "
                          "s.SubRProp7, s.SubRProp8, s.SubRProp9, s.SubRProp10,") +
           QStringLiteral("s.SubBomType, s.SubBomID, s.SubBomNo, s.SubQty, s.SubRQty, SupBillDate=DmdBillDate, SupDate=DmdDate, "
                          "SupNote=DmdNote,") +
           QStringLiteral("SupOrigType=DmdOrigType, SupOrigID=DmdOrigID, SupOrigNo=DmdOrigNo, SupOrigEntry=DmdOrigEntry, "
                          "SupOrigItmID=DmdOrigItmID,") +
           QStringLiteral("SupOrigCustID=DmdOrigCustID, SupOrigCustPO=DmdOrigCustPO, SupOrigTag=DmdOrigTag, "
                          "SupOrigSubTag=DmdOrigSubTag, SupGroupType=DmdGroupType, SupGroupNo=DmdGroupNo,") +
           QStringLiteral("ItmNo=i.ItmNo, ItmName=i.ItmName, ItmSpec=i.ItmSpec, u.UntName, SupOrigCust=c.CustName, "
                          "SupOrigItmNo=o.ItmNo, SupOrigItmName=o.ItmName, SupOrigItmSpec=o.ItmSpec,") +
           QStringLiteral("ItmPlannerID, ItmPlanner=ep.EmpName, ItmBuyerID, ItmBuyer=eb.EmpName, ItmMinQty, ItmLotQty, "
                          "ItmFixLeadTime, ItmVarLeadTime, ItmVarLeadLot, ItmDecimal=i.ItmDecimal, ItmPutInteger=mt.ItmPutInteger,") +
           QStringLiteral("SupHints=r.Hints, SubTag=s.SubGlobal, SubSeqNo=s.SubPriority,") + AGroupSQL + itemSel +
           (o.RefPOQty ? QStringLiteral(", h.RefPOQty") : QStringLiteral(", RefPOQty=cast(null as float)")) +
           (o.RefUseQty ? QStringLiteral(", f.RefUseQty") : QStringLiteral(", RefUseQty=cast(null as float)")) +
           QStringLiteral(" from #QZ_MRP_ItemSubsForDemand as s with(nolock) join #QZ_MRP_OutputDmds as r with(nolock) on "
                          "s.DmdIID=r.DmdIID") +
           QStringLiteral(" join QZ_MRP_Demands as d with(nolock) on d.DmdSchIID=") + scheme +
           QStringLiteral(" and s.DmdIID=d.DmdIID") +
           QStringLiteral(" join QZ_Base_ItemMaster as i with(nolock) on s.SubRItmID=i.ItmID left join QZ_Base_Unit as u "
                          "with(nolock) on i.ItmUnitID=u.UntID") +
           QStringLiteral(" left join QZ_MRP_DestAlters as dst with(nolock) on DstSchIID=") + scheme +
           QStringLiteral(" and s.DmdIID=DstDmdIID and s.SubRItmID=DstItmID and s.SubRProps=DstItmProps") +
           QStringLiteral(" left join QZ_Base_ItemMaster as o with(nolock) on DmdOrigItmID=o.ItmID left join QZ_Base_Customer "
                          "as c with(nolock) on DmdOrigCustID=CustID") +
           QStringLiteral(" left join QZ_MRP_ItemSetting as mt with(nolock) on s.SubRItmID=mt.ItmID left join QZ_Base_Employee "
                          "as ep with(nolock) on ItmPlannerID=ep.EmpID") +
           QStringLiteral(" left join QZ_Base_Employee as eb with(nolock) on ItmBuyerID=eb.EmpID") + itemJoin +
           (o.RefPOQty ? QStringLiteral(" left join #QZ_MRP_RefItemPOQty as h with(nolock) on s.SubRItmID=h.RefItmID and "
                                        "s.SubRProps=h.RefItmProps")
                       : QString()) +
           (o.RefUseQty ? QStringLiteral(" left join #QZ_MRP_RefItemUseQty as f with(nolock) on s.SubRItmID=f.RefItmID and "
                                         "s.SubRProps=f.RefItmProps")
                        : QString()) +
           QStringLiteral(" order by [SupIID], [SubTag], [SubSeqNo], [ItmNo]") + CR +
           QStringLiteral("drop table #QZ_MRP_DemandRefItems") + CR + QStringLiteral("drop table #QZ_MRP_ItemSubsForDemand") + CR +
           QStringLiteral("drop table #QZ_MRP_OutputDmds");
    return sql;
}

QString OutputDeptPickSQL(int ATarget, int ASuppList, const QString& AItemID)
{
    if (ATarget == obtProduction)
        return QStringLiteral("select [代码]=DeptNo, [名称]=DeptName from QZ_Base_Department with(nolock) where DeptWorkShop=1 and "
                              "DeptDisabled=0 and (DeptNo like '%%'+%0:s+'%%' or DeptName like '%%'+%0:s+'%%') order by DeptNo");
    const QString kind = ATarget == obtPurchase ? QStringLiteral("SuppPO") : QStringLiteral("SuppOO");
    const QString filter = kind + QStringLiteral("=1 and SuppDisabled=0 and (SuppNo like '%%'+%0:s+'%%' or SuppName like "
                                                 "'%%'+%0:s+'%%') order by SuppNo");
    if (ASuppList < 1)
        return QStringLiteral("select [代码]=SuppNo, [名称]=SuppName from QZ_Base_Supplier with(nolock) where ") + filter;
    return createRefItems() + QStringLiteral("exec QZ_MRP_GetItemSupplierList ") + quoted(AItemID) + u',' + n(ASuppList) + u',' +
           (ATarget == obtPurchase ? u'0' : u'1') + CR +
           QStringLiteral("select [代码]=SuppNo, [名称]=SuppName from #QZ_MRP_RefItems with(nolock) join QZ_Base_Supplier "
                          "with(nolock) on ItmID=SuppID") +
           QStringLiteral(" where ") + filter + CR + QStringLiteral("drop table #QZ_MRP_RefItems");
}

QString OutputDefaultDeptSQL(int ATarget, int ASuppDef, const QString& AItemID)
{
    const QString item = quoted(AItemID);
    if (ATarget == obtProduction)
        return QStringLiteral("select [ID]=DeptID, [Name]=DeptName from QZ_MRP_ItemSetting with(nolock) join QZ_Base_Department "
                              "with(nolock) on ItmMODeptID=DeptID where ItmID=") +
               item;
    const bool purchase = ATarget == obtPurchase;
    if (ASuppDef <= 0)
        return QStringLiteral("select [ID]=SuppID, [Name]=SuppName from QZ_MRP_ItemSetting with(nolock) join QZ_Base_Supplier "
                              "with(nolock) on ") +
               (purchase ? QStringLiteral("ItmPOSuppID") : QStringLiteral("ItmOOSuppID")) + QStringLiteral("=SuppID where ItmID=") +
               item;
    return createRefItems() + QStringLiteral("insert #QZ_MRP_RefItems (ItmID) values (") + item + u')' + CR +
           supplierDefSQL(ASuppDef, purchase, !purchase) +
           QStringLiteral("select [ID]=SuppID, [Name]=SuppName from #QZ_MRP_ItemSupplierDef with(nolock)") +
           QStringLiteral(" join QZ_Base_Supplier with(nolock) on ") +
           (purchase ? QStringLiteral("POSuppID") : QStringLiteral("OOSuppID")) + QStringLiteral("=SuppID") + CR +
           QStringLiteral("drop table #QZ_MRP_RefItems") + CR + QStringLiteral("drop table #QZ_MRP_ItemSupplierDef");
}

QString OutputTypedDeptSQL(int ATarget, const QString& AText)
{
    const QString t = quoted(AText);
    if (ATarget == obtProduction)
        return QStringLiteral("select [ID]=DeptID, [Name]=DeptName from QZ_Base_Department with(nolock) where DeptWorkShop=1 and "
                              "DeptDisabled=0 and (DeptNo=%1 or DeptName=%1)")
            .arg(t);
    return QStringLiteral("select [ID]=SuppID, [Name]=SuppName from QZ_Base_Supplier with(nolock) where %1=1 and SuppDisabled=0 "
                          "and (SuppNo=%2 or SuppName=%2)")
        .arg(ATarget == obtPurchase ? QStringLiteral("SuppPO") : QStringLiteral("SuppOO"), t);
}
