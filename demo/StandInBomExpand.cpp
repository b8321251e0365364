#include "StandInBomExpand.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

namespace kvdemo {

namespace {

// Fills #QZ_MRP_BOMHead with the bills asked for in #QZ_MRP_RefGetBOM: the bill
// named, or the product's default bill when none is named. A bill states no
// quantity of its own here: it makes one unit of the product's base unit.
void getBomHead(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "insert #QZ_MRP_BOMHead (BomType, BomID, BomNo, BomItmID, BomProps, BomQty, BomUntID, BomUQty, BomOkRate, BomSkip, BomNote)\n"
        "select distinct h.BomType, h.BomID, h.BomNo, h.BomItmID, h.BomItmProps, 1, i.ItmUnitID, 1, h.BomOkRate, 0, h.BomNote\n"
        "from #QZ_MRP_RefGetBOM as r with(nolock) join QZ_MRP_ItemBOMs as h with(nolock) "
        "on isnull(r.BomID,'')<>'' and h.BomType=isnull(r.BomType,0) and h.BomID=r.BomID "
        "or isnull(r.BomID,'')='' and h.BomItmID=r.PrdID and h.BomIsDefault=1 "
        "left join QZ_Base_ItemMaster as i with(nolock) on h.BomItmID=i.ItmID\n"
        "where not exists (select * from #QZ_MRP_BOMHead as x where x.BomType=h.BomType and x.BomID=h.BomID)"));
}

// Gives the rows of #QZ_MRP_BOM that name no bill of their own the default
// standalone bill of their item, and every named bill its number and yield.
void setBomForBomItem(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "update s set BomItmBomType=h.BomType, BomItmBomID=h.BomID, BomItmBomNo=h.BomNo, BomItmBomOkRate=h.BomOkRate "
        "from #QZ_MRP_BOM as s join QZ_MRP_ItemBOMs as h with(nolock) on h.BomItmID=s.BomItmID and h.BomIsDefault=1 "
        "and h.BomStandalone=1 where isnull(s.BomItmBomID,'')=''\n"
        "update s set BomItmBomNo=h.BomNo, BomItmBomOkRate=h.BomOkRate from #QZ_MRP_BOM as s join QZ_MRP_ItemBOMs as h "
        "with(nolock) on h.BomType=isnull(s.BomItmBomType,0) and h.BomID=s.BomItmBomID where s.BomItmBomNo is null"));
}

// Fills #QZ_MRP_ItemSubs with the substitutes of the rows in #QZ_MRP_BomRefItems:
// the local ones of the bill given by the two arguments (type, identity) that
// belong to the row (by its row hook, or by its item when recorded without a
// row) and the global ones of the row's item. BomProps and BomProp1..10 are
// the substitute's own properties.
void getItemSubstitutes(kvtsql::ProcedureCall& call)
{
    bool ok = false;
    const int bomType = call.arg(QStringLiteral("bomtype"), 0).toString().trimmed().toInt(&ok);
    if (!ok)
        throw kvtsql::SqlException(50000, QStringLiteral("存储过程参数@BomType的值(%1)不是整数!")
                                              .arg(call.arg(QStringLiteral("bomtype"), 0).toString()));
    const QString bomID = call.arg(QStringLiteral("bomid"), 1).toString().trimmed();
    const QString columns = QStringLiteral(
        "insert #QZ_MRP_ItemSubs (BomRowHook, BomProps, BomProp1, BomProp2, BomProp3, BomProp4, BomProp5, BomProp6, BomProp7, "
        "BomProp8, BomProp9, BomProp10, SubGlobal, SubPriority, SubRItmID, SubQty, SubRQty, SubReplace, SubBeginDate, SubEndDate, "
        "SubNote)\nselect distinct r.BomRowHook, s.SubRProps, s.SubRProp1, s.SubRProp2, s.SubRProp3, s.SubRProp4, s.SubRProp5, "
        "s.SubRProp6, s.SubRProp7, s.SubRProp8, s.SubRProp9, s.SubRProp10, s.SubGlobal, s.SubPriority, s.SubRItmID, s.SubQty, "
        "s.SubRQty, s.SubReplace, s.SubBeginDate, s.SubEndDate, s.SubNote\n"
        "from #QZ_MRP_BomRefItems as r with(nolock) join QZ_MRP_ItemSubstitutes as s with(nolock) on ");
    call.run(columns +
             QStringLiteral("s.SubGlobal=0 and s.SubBomType=%1 and s.SubBomID=%2 and (s.BomRowHook=r.BomRowHook or "
                            "isnull(s.BomRowHook,'')='' and s.SubItmID=r.BomItmID)\n")
                 .arg(bomType)
                 .arg(quoted(bomID)) +
             columns + QStringLiteral("s.SubGlobal=1 and s.SubItmID=r.BomItmID"));
}

} // namespace

void registerBomExpandProcedures()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetBOMHead"), getBomHead);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_SetBOMForBomItem"), setBomForBomItem);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubstitutes"), getItemSubstitutes);
}

} // namespace kvdemo
