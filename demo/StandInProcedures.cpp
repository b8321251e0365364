#include "StandInProcedures.h"

#include "StandInBomExpand.h"
#include "StandInBomForItem.h"
#include "StandInInvAge.h"
#include "StandInItemProps.h"
#include "StandInItemSetting.h"
#include "StandInItemSubs.h"
#include "StandInOutput.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

#include <QDate>

namespace kvdemo {

namespace {

// The bills of materials that a list of heads (#table with PrdID, BomType, BomID)
// stands for: the given bill, or the product's default bill when none is given.
QString resolvedHeads(const QString& refTable)
{
    return QStringLiteral(
               "(select distinct PrdID=isnull(r.PrdID, h.BomItmID), h.BomType, h.BomID "
               "from %1 as r with(nolock) join QZ_MRP_ItemBOMs as h with(nolock) "
               "on isnull(r.BomID,'')<>'' and h.BomType=isnull(r.BomType,0) and h.BomID=r.BomID "
               "or isnull(r.BomID,'')='' and h.BomItmID=r.PrdID and h.BomIsDefault=1)")
        .arg(refTable);
}

// The own bill of a component line: the one the line names, else the component's default.
const char* componentBomJoin =
    " left join QZ_MRP_ItemBOMs as cb with(nolock) on l.BomItmBomID is not null and cb.BomType=isnull(l.BomItmBomType,0)"
    " and cb.BomID=l.BomItmBomID or l.BomItmBomID is null and cb.BomItmID=l.BomItmID and cb.BomIsDefault=1";

// Fills #QZ_MRP_BOM with the lines of the bills asked for in #QZ_MRP_RefGetBOM;
// a bill already present is not added twice. The bills to add are listed first, in
// their key order, in #QZ_MRP_GetBOMHeads (made on the first call and kept empty on
// the connection, so later calls change no schema), and the lines come out in the
// order they are stored in without a sort of the wide rows.
void getBom(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
                 "if object_id('tempdb..#QZ_MRP_GetBOMHeads') is null\n"
                 "create table #QZ_MRP_GetBOMHeads (BomType tinyint not null, BomID nvarchar(50) not null, "
                 "primary key (BomType, BomID))\n"
                 "truncate table #QZ_MRP_GetBOMHeads\n"
                 "insert #QZ_MRP_GetBOMHeads (BomType, BomID)\n"
                 "select distinct BomType, BomID from %1 as t\n"
                 "where not exists (select * from #QZ_MRP_BOM as x where x.BomType=t.BomType and x.BomID=t.BomID)\n"
                 "insert #QZ_MRP_BOM (BomType, BomID, BomNo, BomPrdID, BomPrdOkRate, BomEntry, BomItmID, BomProps, "
                 "BomProp1, BomProp2, BomProp3, BomProp4, BomProp5, BomProp6, BomProp7, BomProp8, BomProp9, BomProp10, "
                 "BomFixed, BomQty, BomBaseQty, BomLossRate, BomPutLossRate, BomUntID, BomUQty, BomUBaseQty, BomPercent, "
                 "BomRowHook, BomBeginDate, BomEndDate, BomOffsetDay, BomPosition, BomPosNo, BomStkID, BomOperSeq, "
                 "BomOperID, BomDrawType, BomRole, BomRoleName, BomItmBomType, BomItmBomID, BomItmBomNo, BomItmBomOkRate, "
                 "BomItmBomLocked, BomItmBomSkip, BomNote, BomNote1, BomNote2, BomNote3)\n"
                 "select h.BomType, h.BomID, h.BomNo, h.BomItmID, h.BomOkRate, l.BomEntry, l.BomItmID, l.BomProps, "
                 "l.BomProp1, l.BomProp2, l.BomProp3, l.BomProp4, l.BomProp5, l.BomProp6, l.BomProp7, l.BomProp8, "
                 "l.BomProp9, l.BomProp10, l.BomFixed, l.BomQty, l.BomBaseQty, l.BomLossRate, l.BomPutLossRate, l.BomUntID, "
                 "isnull(l.BomUQty, l.BomQty), isnull(l.BomUBaseQty, l.BomBaseQty), l.BomPercent, l.BomRowHook, "
                 "l.BomBeginDate, l.BomEndDate, l.BomOffsetDay, l.BomPosition, l.BomPosNo, l.BomStkID, l.BomOperSeq, "
                 "l.BomOperID, l.BomDrawType, l.BomRole, l.BomRoleName, cb.BomType, cb.BomID, cb.BomNo, cb.BomOkRate, "
                 "(case when l.BomItmBomID is null then 0 else 1 end), l.BomItmBomSkip, l.BomNote, l.BomNote1, "
                 "l.BomNote2, l.BomNote3\n"
                 "from #QZ_MRP_GetBOMHeads as r "
                 "join QZ_MRP_ItemBOMs as h with(nolock) on h.BomType=r.BomType and h.BomID=r.BomID "
                 "join QZ_MRP_ItemBOMLines as l with(nolock) on l.BomType=r.BomType and l.BomID=r.BomID%2\n"
                 "order by r.BomType, r.BomID, l.BomEntry\n"
                 "truncate table #QZ_MRP_GetBOMHeads")
                 .arg(resolvedHeads(QStringLiteral("#QZ_MRP_RefGetBOM")), QLatin1String(componentBomJoin)));
}

// Fills #QZ_MRP_BOMCouples with the parent-component pairs of the bills of the
// products in #QZ_MRP_RefGetBOM, with each component's own bill ('' when none).
// The resolved bills are listed first in #QZ_MRP_GetBOMCoupleHeads (made on the
// first call and kept empty), so each bill's lines are read through the line key.
void getBomCouples(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
                 "if object_id('tempdb..#QZ_MRP_GetBOMCoupleHeads') is null\n"
                 "create table #QZ_MRP_GetBOMCoupleHeads (PrdID nvarchar(50) not null, BomType tinyint not null, "
                 "BomID nvarchar(50) not null, primary key (PrdID, BomType, BomID))\n"
                 "truncate table #QZ_MRP_GetBOMCoupleHeads\n"
                 "insert #QZ_MRP_GetBOMCoupleHeads (PrdID, BomType, BomID) select PrdID, BomType, BomID from %1 as t\n"
                 "insert #QZ_MRP_BOMCouples (PrdID, ItmID, ItmBomType, ItmBomID)\n"
                 "select distinct r.PrdID, l.BomItmID, isnull(cb.BomType, 0), isnull(cb.BomID, '')\n"
                 "from #QZ_MRP_GetBOMCoupleHeads as r "
                 "join QZ_MRP_ItemBOMLines as l with(nolock) on l.BomType=r.BomType and l.BomID=r.BomID%2\n"
                 "where l.BomRole=0 and l.BomItmID<>r.PrdID\n"
                 "truncate table #QZ_MRP_GetBOMCoupleHeads")
                 .arg(resolvedHeads(QStringLiteral("#QZ_MRP_RefGetBOM")), QLatin1String(componentBomJoin)));
}

// Gives production, outsourcing, request and planned supplies without a bill the
// default bill of their item.
void setBomForSupply(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "update s set SupBomType=h.BomType, SupBomID=h.BomID from #QZ_MRP_Supplies as s "
        "join QZ_MRP_ItemBOMs as h with(nolock) on h.BomItmID=s.SupItmID and h.BomIsDefault=1 "
        "where isnull(s.SupBomID,'')='' and (s.SupBillType in (22, 24, 34, 36) or s.SupBillType>=42)"));
}

// Gives the demands of one level without a bill the default bill of their item.
void setBomForDemand(kvtsql::ProcedureCall& call)
{
    const int level = intArg(call, QStringLiteral("level"), 0);
    call.run(QStringLiteral(
                 "update d set DmdBomType=h.BomType, DmdBomID=h.BomID from #QZ_MRP_Demands as d "
                 "join #QZ_MRP_ItemLowestCode as c with(nolock) on d.DmdItmID=c.ItmID and c.LowestCode=%1 "
                 "join QZ_MRP_ItemBOMs as h with(nolock) on h.BomItmID=d.DmdItmID and h.BomIsDefault=1 "
                 "where isnull(d.DmdBomID,'')=''")
                 .arg(level));
}

// Fills #QZ_MRP_ItemSubsCouples with every substitute pair of usable items; a
// pair that holds only in one bill names that bill and its product.
void getItemSubsCouples(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "insert #QZ_MRP_ItemSubsCouples (SubItmID, SubRItmID, SubPrdID, SubBomType, SubBomID)\n"
        "select distinct s.SubItmID, s.SubRItmID, h.BomItmID, (case when s.SubGlobal=1 then null else s.SubBomType end), "
        "(case when s.SubGlobal=1 then null else s.SubBomID end)\n"
        "from QZ_MRP_ItemSubstitutes as s with(nolock) "
        "join QZ_Base_ItemMaster as i with(nolock) on s.SubItmID=i.ItmID and i.ItmDisabled=0 "
        "join QZ_Base_ItemMaster as ri with(nolock) on s.SubRItmID=ri.ItmID and ri.ItmDisabled=0 "
        "left join QZ_MRP_ItemBOMs as h with(nolock) on s.SubGlobal=0 and h.BomType=s.SubBomType and h.BomID=s.SubBomID "
        "where s.SubItmID<>s.SubRItmID"));
}

// Fills #QZ_MRP_ItemSubsForMRPDemand with the substitutes of the open demands of
// one level: the global ones, and those of the bill that the demand's line
// belongs to, valid on the demand's date. The second argument (1 when only the
// main demand's gross requirements are planned) does not change the choice here.
void getItemSubsForMrpDemand(kvtsql::ProcedureCall& call)
{
    const int level = intArg(call, QStringLiteral("level"), 0);
    call.run(QStringLiteral(
                 "insert #QZ_MRP_ItemSubsForMRPDemand (DmdIID, SubGlobal, SubPriority, SubRItmID, SubRProps, SubQty, "
                 "SubRQty, SubReplace)\n"
                 "select d.DmdIID, s.SubGlobal, s.SubPriority, s.SubRItmID, s.SubRProps, s.SubQty, s.SubRQty, s.SubReplace\n"
                 "from #QZ_MRP_Demands as d with(nolock) "
                 "join #QZ_MRP_ItemLowestCode as c with(nolock) on d.DmdItmID=c.ItmID and c.LowestCode=%1 "
                 "join QZ_MRP_ItemSubstitutes as s with(nolock) on s.SubItmID=d.DmdItmID and s.SubProps=d.DmdItmProps "
                 "join QZ_Base_ItemMaster as ri with(nolock) on s.SubRItmID=ri.ItmID and ri.ItmDisabled=0\n"
                 "where d.DmdQty>0 and s.SubRItmID<>s.SubItmID and (s.SubGlobal=1 or d.DmdBillType in (92, 94, 96) "
                 "and s.SubBomID=d.DmdBillID and (s.BomRowHook is null or s.BomRowHook=d.DmdBomHook)) "
                 "and (s.SubBeginDate is null or s.SubBeginDate<=d.DmdDate) and (s.SubEndDate is null or s.SubEndDate>=d.DmdDate)")
                 .arg(level));
}

// Turns the stock of #QZ_MRP_ItemInventory into supplies of bill type 16 (one per
// item, properties, group and origin), dated dateText, and empties the table.
void inventoryToSupplies(kvtsql::ProcedureCall& call, const QString& dateText)
{
    call.run(QStringLiteral(
                 "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupBillNo, SupBillDate, SupBillQty, SupOrigType, SupOrigID, "
                 "SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, SupOrigCustPO, SupOrigTag, SupGroupType, SupGroupNo, "
                 "SupDate, SupPriority, SupItmID, SupItmProps, SupItmProp1, SupItmProp2, SupItmProp3, SupItmProp4, "
                 "SupItmProp5, SupItmProp6, SupItmProp7, SupItmProp8, SupItmProp9, SupItmProp10, SupQty, SupRestQty, "
                 "SupBomLocked, SupBomType)\n"
                 "select 0, 16, '', %1, sum(InvQty), InvOrigType, InvOrigID, InvOrigNo, InvOrigEntry, InvOrigItmID, "
                 "InvOrigCustID, InvOrigCustPO, InvOrigTag, InvGroupType, InvGroupNo, %1, 0, InvItmID, InvItmProps, "
                 "max(InvItmProp1), max(InvItmProp2), max(InvItmProp3), max(InvItmProp4), max(InvItmProp5), "
                 "max(InvItmProp6), max(InvItmProp7), max(InvItmProp8), max(InvItmProp9), max(InvItmProp10), "
                 "sum(InvQty), sum(InvQty), 0, 0\n"
                 "from #QZ_MRP_ItemInventory with(nolock) where InvItmID is not null\n"
                 "group by InvItmID, InvItmProps, InvGroupType, InvGroupNo, InvOrigType, InvOrigID, InvOrigNo, InvOrigEntry, "
                 "InvOrigItmID, InvOrigCustID, InvOrigCustPO, InvOrigTag\n"
                 "having sum(InvQty)>0\n"
                 "truncate table #QZ_MRP_ItemInventory")
                 .arg(dateText));
}

void getInventoryForDemand(kvtsql::ProcedureCall& call)
{
    const QString text = call.arg(QStringLiteral("date"), 0).toString().trimmed();
    const QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    if (!date.isValid())
        fail(QStringLiteral("存储过程参数@date的值(%1)不是日期!").arg(text));
    inventoryToSupplies(call, quoted(date.toString(QStringLiteral("yyyyMMdd"))));
}

void getInventoryForSupply(kvtsql::ProcedureCall& call)
{
    inventoryToSupplies(call, QStringLiteral("convert(char(8), getdate(), 112)"));
}

// Checks (1), unchecks (-1), closes (2), reopens (-2) or deletes (3) a forecast
// bill (@ForEntry 0) or one of its lines; refuses a change that the lines'
// state does not allow.
void updateForcast(kvtsql::ProcedureCall& call)
{
    const QString id = call.arg(QStringLiteral("forid"), 0).toString().trimmed();
    const int entry = intArg(call, QStringLiteral("forentry"), 1);
    const int type = intArg(call, QStringLiteral("updatetype"), 2);
    const QString user = call.arg(QStringLiteral("userid"), 3).toString().trimmed();
    // Checking, unchecking and deleting work on the whole bill whatever line the
    // caller names; closing and reopening on the line given (0: every line).
    const bool wholeBill = entry == 0 || type == 1 || type == -1 || type == 3;
    const QString lines = QStringLiteral("ForID=%1%2").arg(quoted(id),
        wholeBill ? QString() : QStringLiteral(" and ForEntry=%1").arg(entry));

    const kvtsql::BatchResult state = call.run(QStringLiteral(
        "select Lines=count(*), Checked=sum(case when Checked=1 then 1 else 0 end), "
        "Closed=sum(case when Closed=1 then 1 else 0 end), "
        "Deducted=sum(case when isnull(x.ForDedAQty,0)+isnull(x.ForDedMQty,0)>0 then 1 else 0 end) "
        "from QZ_MRP_Forcast as s left join QZ_MRP_ForcastExt as x on s.ForID=x.ForID and s.ForEntry=x.ForEntry "
        "where s.%1").arg(QString(lines).replace(QStringLiteral("ForEntry="), QStringLiteral("s.ForEntry="))));
    const QList<QVariant> row = state.resultSets.first().rows.first();
    const int count = row[0].toInt(), checked = row[1].toInt(), closed = row[2].toInt(), deducted = row[3].toInt();
    if (count == 0)
        fail(QStringLiteral("预测单\"%1\"不存在!").arg(id));

    QString sql;
    switch (type) {
    case 1:
        if (checked == count)
            fail(QStringLiteral("预测单\"%1\"已审核!").arg(id));
        sql = QStringLiteral("update QZ_MRP_Forcast set Checked=1, CanMRP=(case when Closed=0 then 1 else 0 end) where %1\n"
                             "update QZ_MRP_ForcastHead set Checked=1, ForCheckerID=@user, ForCheckDate=getdate() "
                             "where ForID=%2");
        break;
    case -1:
        if (checked == 0)
            fail(QStringLiteral("预测单\"%1\"未审核!").arg(id));
        if (closed > 0 || deducted > 0)
            fail(QStringLiteral("预测单\"%1\"已关闭或已被订单冲销, 不能反审核!").arg(id));
        sql = QStringLiteral("update QZ_MRP_Forcast set Checked=0, CanMRP=0 where %1\n"
                             "if not exists (select * from QZ_MRP_Forcast where ForID=%2 and Checked=1)\n"
                             "update QZ_MRP_ForcastHead set Checked=0, ForCheckerID=null, ForCheckDate=null "
                             "where ForID=%2");
        break;
    case 2:
        if (checked < count)
            fail(QStringLiteral("预测单\"%1\"未审核, 不能关闭!").arg(id));
        if (closed == count)
            fail(QStringLiteral("预测单\"%1\"已关闭!").arg(id));
        sql = QStringLiteral("update QZ_MRP_Forcast set Closed=1, CanMRP=0 where %1\n"
                             "if not exists (select * from QZ_MRP_Forcast where ForID=%2 and Closed=0)\n"
                             "update QZ_MRP_ForcastHead set Closed=1 where ForID=%2");
        break;
    case -2:
        if (closed == 0)
            fail(QStringLiteral("预测单\"%1\"未关闭!").arg(id));
        sql = QStringLiteral("update QZ_MRP_Forcast set Closed=0, CanMRP=Checked where %1\n"
                             "update QZ_MRP_ForcastHead set Closed=0 where ForID=%2");
        break;
    case 3:
        if (checked > 0)
            fail(QStringLiteral("预测单\"%1\"已审核, 不能删除!").arg(id));
        sql = QStringLiteral("delete QZ_MRP_ForcastExt where %1\n"
                             "delete QZ_MRP_Forcast where %1\n"
                             "if not exists (select * from QZ_MRP_Forcast where ForID=%2)\n"
                             "delete QZ_MRP_ForcastHead where ForID=%2");
        break;
    default:
        fail(QStringLiteral("存储过程参数@UpdateType的值(%1)无效!").arg(type));
    }
    call.run(sql.arg(lines, quoted(id)).replace(QStringLiteral("@user"), user.isEmpty() ? QStringLiteral("null") : quoted(user)));
}

// Keeps in #QZ_MRP_BOM the lines in effect on a day ('yyyymmdd'): a line
// beginning later or ended before that day is dropped.
void setBomForBomItem(kvtsql::ProcedureCall& call)
{
    const QString text = call.arg(QStringLiteral("date"), 0).toString().trimmed();
    const QDate date = QDate::fromString(text, QStringLiteral("yyyyMMdd"));
    if (!date.isValid())
        fail(QStringLiteral("存储过程参数@date的值(%1)不是日期!").arg(text));
    call.run(QStringLiteral("delete #QZ_MRP_BOM where BomBeginDate>'%1' or BomEndDate<'%1'").arg(text));
}

} // namespace

void registerStandInProcedures()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetBOM"), getBom);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetBOMCouples"), getBomCouples);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_SetBOMForSupply"), setBomForSupply);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_SetBOMForDemand"), setBomForDemand);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsCouples"), getItemSubsCouples);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsForMRPDemand"), getItemSubsForMrpDemand);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetInventoryForDemand"), getInventoryForDemand);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetInventoryForSupply"), getInventoryForSupply);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_UpdateForcast"), updateForcast);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_SetBOMForBomItem"), setBomForBomItem);
    registerItemPropsProcedure();
    registerBomForItemProcedure();
    registerItemSettingProcedure();
    registerItemSubsProcedure();
    registerInvAgeProcedures();
    registerBomExpandProcedures();
    registerOutputProcedures();
}

} // namespace kvdemo
