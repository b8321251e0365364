#include "StandInOutput.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

namespace kvdemo {

namespace {

// The supplier of an item's latest purchase (or subcontract) order line.
QString latestOrderSupplier(bool subcontract, const QString& itemColumn)
{
    return subcontract
        ? QStringLiteral("(select top 1 o.OOSuppID from QZ_MRP_OO as o with(nolock) where o.OOItmID=%1 and o.OOSuppID is not null "
                         "order by o.OODate desc, o.OOID desc, o.OOEntry desc)")
              .arg(itemColumn)
        : QStringLiteral("(select top 1 o.POSuppID from QZ_MRP_PO as o with(nolock) where o.POItmID=%1 and o.POSuppID is not null "
                         "order by o.PODate desc, o.POID desc, o.POEntry desc)")
              .arg(itemColumn);
}

// @ItmID, @Mode (1 price data, 2 supply data), @IsOO: leaves in #QZ_MRP_RefItems
// the suppliers listed for the item. The demo keeps no price lists: the
// suppliers that have taken orders of the item stand for its price data; its
// supply data adds the supplier its planning setting names.
void getItemSupplierList(kvtsql::ProcedureCall& call)
{
    const QString item = call.arg(QStringLiteral("ItmID"), 0).toString();
    const int mode = intArg(call, QStringLiteral("Mode"), 1);
    const bool oo = intArg(call, QStringLiteral("IsOO"), 2) != 0;
    if (mode != 1 && mode != 2)
        fail(QStringLiteral("存储过程参数@Mode的值(%1)无效!").arg(mode));
    QString sql = oo ? QStringLiteral("select SuppID=OOSuppID from QZ_MRP_OO with(nolock) where OOItmID=%1 and OOSuppID is not null")
                     : QStringLiteral("select SuppID=POSuppID from QZ_MRP_PO with(nolock) where POItmID=%1 and POSuppID is not null");
    if (mode == 2)
        sql += oo ? QStringLiteral(" union select SuppID=ItmOOSuppID from QZ_MRP_ItemSetting with(nolock) where ItmID=%1 and ItmOOSuppID is not null")
                  : QStringLiteral(" union select SuppID=ItmPOSuppID from QZ_MRP_ItemSetting with(nolock) where ItmID=%1 and ItmPOSuppID is not null");
    call.run(QStringLiteral("delete #QZ_MRP_RefItems\ninsert #QZ_MRP_RefItems (ItmID) select distinct t.SuppID from (") +
             sql.arg(quoted(item)) + QStringLiteral(") as t"));
}

// @Mode (0 item settings, 1 lowest price, 2 latest order), @WantPO, @WantOO:
// fills #QZ_MRP_ItemSupplierDef with the default purchase and subcontract
// supplier of each item of #QZ_MRP_RefItems. Without price lists the lowest
// price is the planning setting's supplier, else that of the latest order.
void getItemSupplierDef(kvtsql::ProcedureCall& call)
{
    const int mode = intArg(call, QStringLiteral("Mode"), 0);
    const bool wantPO = intArg(call, QStringLiteral("WantPO"), 1) != 0;
    const bool wantOO = intArg(call, QStringLiteral("WantOO"), 2) != 0;
    if (mode < 0 || mode > 2)
        fail(QStringLiteral("存储过程参数@Mode的值(%1)无效!").arg(mode));
    const auto pick = [mode](bool oo) {
        const QString setting = oo ? QStringLiteral("mt.ItmOOSuppID") : QStringLiteral("mt.ItmPOSuppID");
        const QString latest = latestOrderSupplier(oo, QStringLiteral("r.ItmID"));
        switch (mode) {
        case 0: return setting;
        case 1: return QStringLiteral("isnull(%1, %2)").arg(setting, latest);
        default: return latest;
        }
    };
    call.run(QStringLiteral("insert #QZ_MRP_ItemSupplierDef (ItmID, POSuppID, OOSuppID)\n"
                            "select r.ItmID, %1, %2 from #QZ_MRP_RefItems as r with(nolock) "
                            "left join QZ_MRP_ItemSetting as mt with(nolock) on r.ItmID=mt.ItmID")
                 .arg(wantPO ? pick(false) : QStringLiteral("null"), wantOO ? pick(true) : QStringLiteral("null")));
}

// The substitutes of usable items that the pair (i, p) may be replaced by in
// scheme @SchIID: its global ones and the local ones of the bills that
// demands of the scheme come from.
QString substitutesOfPair(const QString& item, const QString& props, const QString& scheme)
{
    return QStringLiteral(
               "select * from QZ_MRP_ItemSubstitutes as s with(nolock) join QZ_Base_ItemMaster as ri with(nolock) on "
               "s.SubRItmID=ri.ItmID and ri.ItmDisabled=0 where s.SubItmID=%1 and s.SubProps=%2 and s.SubRItmID<>s.SubItmID and "
               "(s.SubGlobal=1 or exists (select * from QZ_MRP_Demands as d with(nolock) where d.DmdSchIID=%3 and "
               "d.DmdItmID=%1 and d.DmdItmProps=%2 and d.DmdBillType in (92, 94, 96) and d.DmdBillID=s.SubBomID))")
        .arg(item, props, scheme);
}

// @SchIID: keeps in #QZ_MRP_RefItemProps only the item and property pairs
// that have substitutes in the scheme.
void getItemSubsExists(kvtsql::ProcedureCall& call)
{
    const int scheme = intArg(call, QStringLiteral("SchIID"), 0);
    call.run(QStringLiteral("delete p from #QZ_MRP_RefItemProps as p where not exists (") +
             substitutesOfPair(QStringLiteral("p.ItmID"), QStringLiteral("p.ItmProps"), QString::number(scheme)) + u')');
}

// Fills #QZ_MRP_ItemSubsForDemand with the substitutes of each demand of
// #QZ_MRP_DemandRefItems valid on its date: the global ones of its item and
// the local ones of the bill its component line belongs to, each with the
// substitute's default bill of materials.
void getItemSubsForDemand(kvtsql::ProcedureCall& call)
{
    call.run(QStringLiteral(
        "insert #QZ_MRP_ItemSubsForDemand (DmdIID, SubGlobal, SubPriority, SubRItmID, SubRProps, SubRProp1, SubRProp2, "
        "SubRProp3, SubRProp4, SubRProp5, SubRProp6, SubRProp7, SubRProp8, SubRProp9, SubRProp10, SubQty, SubRQty, "
        "SubReplace, SubBomType, SubBomID, SubBomNo)\n"
        "select d.DmdIID, s.SubGlobal, s.SubPriority, s.SubRItmID, s.SubRProps, s.SubRProp1, s.SubRProp2, s.SubRProp3, "
        "s.SubRProp4, s.SubRProp5, s.SubRProp6, s.SubRProp7, s.SubRProp8, s.SubRProp9, s.SubRProp10, s.SubQty, s.SubRQty, "
        "s.SubReplace, b.BomType, b.BomID, b.BomNo\n"
        "from #QZ_MRP_DemandRefItems as d with(nolock) "
        "join QZ_MRP_ItemSubstitutes as s with(nolock) on s.SubItmID=d.DmdItmID and s.SubProps=d.DmdItmProps "
        "join QZ_Base_ItemMaster as ri with(nolock) on s.SubRItmID=ri.ItmID and ri.ItmDisabled=0 "
        "left join QZ_MRP_ItemBOMs as b with(nolock) on b.BomItmID=s.SubRItmID and b.BomIsDefault=1\n"
        "where s.SubRItmID<>s.SubItmID and (s.SubGlobal=1 or d.DmdBillType in (92, 94, 96) and s.SubBomID=d.DmdBillID "
        "and (s.BomRowHook is null or s.BomRowHook=d.DmdBomHook)) "
        "and (s.SubBeginDate is null or s.SubBeginDate<=d.DmdDate) and (s.SubEndDate is null or s.SubEndDate>=d.DmdDate)"));
}

} // namespace

void registerOutputProcedures()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSupplierList"), getItemSupplierList);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSupplierDef"), getItemSupplierDef);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsExists"), getItemSubsExists);
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsForDemand"), getItemSubsForDemand);
}

} // namespace kvdemo
