#include "StandInItemSubs.h"

#include "StandInSql.h"
#include "TsqlEngine.h"

namespace kvdemo {

namespace {

// A text searched inside item numbers and names: "%" and "_" in it are taken
// literally.
QString containsPattern(const QString& text)
{
    QString t = text;
    t.replace(u'[', QStringLiteral("[[]")).replace(u'%', QStringLiteral("[%]")).replace(u'_', QStringLiteral("[_]"));
    return quoted(u'%' + t + u'%');
}

// The local substitutes of the bill row "ln" (by its row hook, or by its item
// for substitutes recorded without one) and the global ones of its item.
const QString LocalOfRow = QStringLiteral(
    "s.SubGlobal=0 and s.SubBomType=ln.BomType and s.SubBomID=ln.BomID and (s.BomRowHook=ln.BomRowHook or "
    "isnull(s.BomRowHook,'')='' and s.SubItmID=ln.BomItmID and s.SubProps=ln.BomProps)");
const QString GlobalOfRow = QStringLiteral("s.SubGlobal=1 and s.SubItmID=ln.BomItmID and s.SubProps=ln.BomProps");

// The substitutes (with the info object's aliases i, ri, ub and b) that a
// condition on "s" selects, as an exists test.
QString substituteExists(const QString& condition, const QString& extra)
{
    return QStringLiteral("exists (select * from QZ_MRP_ItemSubstitutes as s with(nolock) "
                          "left join QZ_Base_ItemMaster as i with(nolock) on s.SubItmID=i.ItmID "
                          "left join QZ_Base_ItemMaster as ri with(nolock) on s.SubRItmID=ri.ItmID "
                          "left join QZ_Base_Unit as ub with(nolock) on i.ItmUnitID=ub.UntID "
                          "left join QZ_MRP_ItemBOMs as b with(nolock) on s.SubBomType=b.BomType and s.SubBomID=b.BomID "
                          "where (") +
           condition + u')' + (extra.isEmpty() ? QString() : QStringLiteral(" and (") + extra + u')') + u')';
}

const QString Columns = QStringLiteral(
    "BomLevel, BomType, BomID, BomNo, BomEntry, BomRowHook, BomItmID, BomSubSeq, BomSubItmID, BomSubReplace, BomProps, "
    "BomProp1, BomProp2, BomProp3, BomProp4, BomProp5, BomProp6, BomProp7, BomProp8, BomProp9, BomProp10, BomFixed, "
    "BomUntID, BomUQty, BomQty, BomBaseQty, BomBeginDate, BomEndDate, BomPosNo, BomOperSeq, BomOperID, BomPosition, BomNote");

const QString SubValues = QStringLiteral(
    "s.SubPriority, s.SubRItmID, s.SubReplace, s.SubRProps, s.SubRProp1, s.SubRProp2, s.SubRProp3, s.SubRProp4, "
    "s.SubRProp5, s.SubRProp6, s.SubRProp7, s.SubRProp8, s.SubRProp9, s.SubRProp10, 0, null, s.SubRQty, s.SubRQty, "
    "s.SubQty, s.SubBeginDate, s.SubEndDate, null, null, null, null, s.SubNote");

// Fills #QZ_MRP_GetItemSubsList with the bills of materials and their rows
// (levels 0 and 1), the rows' local substitutes (2) and the global substitutes
// of the rows' items (3), and the global scope: a head without identity, the
// items with global substitutes (1) and those substitutes (2).
// @Filter: the view's filter on the substitutes (aliases s, i, ri, ub, b); a
// filter "$$ItemNo$$ like ..." is a pattern on the bill's product number
// instead and leaves out the global scope. @LimitType with a non-empty
// @LimitItmID: 0 rows whose item matches the text, 1 those of them that have
// substitutes, 2 rows with a substitute whose item matches; the text is
// looked for in item numbers and names. Without a text every row is listed.
void getItemSubsList(kvtsql::ProcedureCall& call)
{
    const QString filter = call.arg(QStringLiteral("filter"), 0).toString().trimmed();
    const int limitType = call.arg(QStringLiteral("limittype"), 1).toInt();
    const QString limitText = call.arg(QStringLiteral("limititmid"), 2).toString().trimmed();

    const QString productPrefix = QStringLiteral("$$ItemNo$$ like ");
    const bool productFilter = filter.startsWith(productPrefix, Qt::CaseInsensitive);

    QStringList rowConditions{QStringLiteral("ln.BomRole=0")};
    QStringList itemConditions;
    if (productFilter)
        rowConditions << QStringLiteral("pi.ItmNo like ") + filter.mid(productPrefix.size());
    else if (!filter.isEmpty()) {
        rowConditions << substituteExists(LocalOfRow + QStringLiteral(" or ") + GlobalOfRow, filter);
        itemConditions << substituteExists(QStringLiteral("s.SubGlobal=1 and s.SubItmID=g.SubItmID and s.SubProps=g.SubProps"), filter);
    }
    if (!limitText.isEmpty()) {
        const QString pattern = containsPattern(limitText);
        const QString itemMatches = QStringLiteral("exists (select * from QZ_Base_ItemMaster as li with(nolock) where li.ItmID=%1 "
                                                   "and (li.ItmNo like %2 or li.ItmName like %2))");
        const QString subMatches = QStringLiteral("exists (select * from QZ_MRP_ItemSubstitutes as s with(nolock) join "
                                                  "QZ_Base_ItemMaster as si with(nolock) on s.SubRItmID=si.ItmID where (%1) and "
                                                  "(si.ItmNo like %2 or si.ItmName like %2))");
        const QString anySub = QStringLiteral("exists (select * from QZ_MRP_ItemSubstitutes as s with(nolock) where %1)");
        switch (limitType) {
        case 2:
            rowConditions << subMatches.arg(LocalOfRow + QStringLiteral(" or ") + GlobalOfRow, pattern);
            itemConditions << subMatches.arg(QStringLiteral("s.SubGlobal=1 and s.SubItmID=g.SubItmID and s.SubProps=g.SubProps"), pattern);
            break;
        case 1:
            rowConditions << anySub.arg(LocalOfRow + QStringLiteral(" or ") + GlobalOfRow);
            [[fallthrough]];
        default:
            rowConditions << itemMatches.arg(QStringLiteral("ln.BomItmID"), pattern);
            itemConditions << itemMatches.arg(QStringLiteral("g.SubItmID"), pattern);
            break;
        }
    }

    QString sql = QStringLiteral(
        "if object_id('tempdb..#QZ_ItemSubsRows') is not null\rdrop table #QZ_ItemSubsRows\r"
        "if object_id('tempdb..#QZ_ItemSubsGlobal') is not null\rdrop table #QZ_ItemSubsGlobal\r"
        "select ln.BomType, ln.BomID, ln.BomEntry into #QZ_ItemSubsRows from QZ_MRP_ItemBOMLines as ln with(nolock) "
        "join QZ_MRP_ItemBOMs as hd with(nolock) on hd.BomType=ln.BomType and hd.BomID=ln.BomID "
        "left join QZ_Base_ItemMaster as pi with(nolock) on hd.BomItmID=pi.ItmID where ") +
        rowConditions.join(QStringLiteral(" and ")) + u'\r';
    // Bill heads, rows, local and then global substitutes of the rows.
    sql += QStringLiteral("insert #QZ_MRP_GetItemSubsList (") + Columns +
           QStringLiteral(") select 0, hd.BomType, hd.BomID, hd.BomNo, null, null, hd.BomItmID, null, null, null, hd.BomItmProps, "
                          "null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, "
                          "null, null, null, null, hd.BomNote from QZ_MRP_ItemBOMs as hd with(nolock) where exists (select * from "
                          "#QZ_ItemSubsRows as r where r.BomType=hd.BomType and r.BomID=hd.BomID)\r");
    sql += QStringLiteral("insert #QZ_MRP_GetItemSubsList (") + Columns +
           QStringLiteral(") select 1, ln.BomType, ln.BomID, hd.BomNo, ln.BomEntry, ln.BomRowHook, ln.BomItmID, null, null, null, "
                          "ln.BomProps, ln.BomProp1, ln.BomProp2, ln.BomProp3, ln.BomProp4, ln.BomProp5, ln.BomProp6, ln.BomProp7, "
                          "ln.BomProp8, ln.BomProp9, ln.BomProp10, ln.BomFixed, ln.BomUntID, isnull(ln.BomUQty, ln.BomQty), ln.BomQty, "
                          "ln.BomBaseQty, ln.BomBeginDate, ln.BomEndDate, ln.BomPosNo, ln.BomOperSeq, ln.BomOperID, ln.BomPosition, "
                          "ln.BomNote from #QZ_ItemSubsRows as r join QZ_MRP_ItemBOMLines as ln with(nolock) on "
                          "ln.BomType=r.BomType and ln.BomID=r.BomID and ln.BomEntry=r.BomEntry join QZ_MRP_ItemBOMs as hd "
                          "with(nolock) on hd.BomType=ln.BomType and hd.BomID=ln.BomID\r");
    for (int level : {2, 3})
        sql += QStringLiteral("insert #QZ_MRP_GetItemSubsList (") + Columns +
               QStringLiteral(") select %1, ln.BomType, ln.BomID, hd.BomNo, ln.BomEntry, ln.BomRowHook, ln.BomItmID, ").arg(level) +
               SubValues +
               QStringLiteral(" from #QZ_ItemSubsRows as r join QZ_MRP_ItemBOMLines as ln with(nolock) on ln.BomType=r.BomType and "
                              "ln.BomID=r.BomID and ln.BomEntry=r.BomEntry join QZ_MRP_ItemBOMs as hd with(nolock) on "
                              "hd.BomType=ln.BomType and hd.BomID=ln.BomID join QZ_MRP_ItemSubstitutes as s with(nolock) on ") +
               (level == 2 ? LocalOfRow : GlobalOfRow) + u'\r';
    // The global scope.
    if (!productFilter) {
        sql += QStringLiteral("select distinct g.SubItmID, g.SubProps into #QZ_ItemSubsGlobal from QZ_MRP_ItemSubstitutes as g "
                              "with(nolock) where g.SubGlobal=1") +
               (itemConditions.isEmpty() ? QString() : QStringLiteral(" and ") + itemConditions.join(QStringLiteral(" and "))) +
               u'\r';
        sql += QStringLiteral("if exists (select * from #QZ_ItemSubsGlobal)\rinsert #QZ_MRP_GetItemSubsList (BomLevel) values (0)\r");
        sql += QStringLiteral("insert #QZ_MRP_GetItemSubsList (") + Columns +
               QStringLiteral(") select 1, null, null, null, null, null, g.SubItmID, null, null, null, g.SubProps, null, null, null, "
                              "null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, null, "
                              "null, null from #QZ_ItemSubsGlobal as g\r");
        sql += QStringLiteral("insert #QZ_MRP_GetItemSubsList (") + Columns +
               QStringLiteral(") select 2, null, null, null, null, null, s.SubItmID, ") + SubValues +
               QStringLiteral(" from #QZ_ItemSubsGlobal as g join QZ_MRP_ItemSubstitutes as s with(nolock) on s.SubGlobal=1 and "
                              "s.SubItmID=g.SubItmID and s.SubProps=g.SubProps\r");
        sql += QStringLiteral("drop table #QZ_ItemSubsGlobal\r");
    }
    sql += QStringLiteral("drop table #QZ_ItemSubsRows");
    call.run(sql);
}

} // namespace

void registerItemSubsProcedure()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetItemSubsList"), getItemSubsList);
}

} // namespace kvdemo
