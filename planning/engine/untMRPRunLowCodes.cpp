// The MRP run's low-level codes (CalcLowLevelCodes): the item graph from bills,
// order bills and substitutes in work tables, the codes in memory where they
// can be (untMRPLowCodes) and in SQL steps otherwise, and the items of a loop.
#include "untMRPRunCommon.h"

#include "untMRPLowCodes.h"

#include <QStringList>
#include <vector>

using namespace untMRPUtils;
using namespace untMRPRunCommon;

namespace {

// Without substitutes the steps below reach each item's longest path from a
// top item: the pairs are read once, the codes found in memory and written
// back in one transaction. False (nothing written) when the pairs hold a loop,
// which the steps then find and list.
bool CodesInMemory(TADOQuery* q, int& maxCode)
{
    QStringList items;
    RunSQL(q, QStringLiteral("select ItmID from #QZ_MRP_ItemLowestCode"), true, true, false);
    items.reserve(q->RecordCount());
    for (TField* f = q->Fields()->Field(0); !q->Eof(); q->Next())
        items.append(f->AsString());
    q->Close();
    std::vector<std::pair<QString, QString>> pairs;
    RunSQL(q, QStringLiteral("select ParentID, ChildID from #QZ_TmpTbl_BOM where ParentID is not null and ChildID is not null"),
           true, true, false);
    pairs.reserve(size_t(q->RecordCount()));
    for (TField *p = q->Fields()->Field(0), *c = q->Fields()->Field(1); !q->Eof(); q->Next())
        pairs.emplace_back(p->AsString(), c->AsString());
    q->Close();
    std::vector<int> codes;
    if (!untMRPLowCodes::LongestPathCodes(items, pairs, codes))
        return false;
    TMRPBulkStatement st;
    st.ParamNames = {QStringLiteral("@ItmID"), QStringLiteral("@Code")};
    st.ParamTypes = {QStringLiteral("nvarchar(50)"), QStringLiteral("int")};
    st.Statement = QStringLiteral("update #QZ_MRP_ItemLowestCode set LowestCode=@Code where ItmID=@ItmID");
    maxCode = 0;
    for (size_t i = 0; i < codes.size(); ++i)
        if (codes[i] > 0) {
            st.Rows.append({QVariant(items[qsizetype(i)]), QVariant(codes[i])});
            maxCode = std::max(maxCode, codes[i]);
        }
    ExecBulk(q->ActiveConnection(), st);
    return true;
}

// The pairs only open orders' bills name join the item graph, but none that
// leads back to its own product.
void MergePlanningPairs(TADOQuery* q)
{
    auto read = [q](const QString& sql) {
        std::vector<std::pair<QString, QString>> pairs;
        RunSQL(q, sql, true, true, false);
        for (TField *p = q->Fields()->Field(0), *c = q->Fields()->Field(1); !q->Eof(); q->Next())
            pairs.emplace_back(p->AsString(), c->AsString());
        q->Close();
        return pairs;
    };
    const auto planning = read(QStringLiteral("select PPPrdID, PPItmID from #QZ_TmpTbl_PPBOM as p left join #QZ_TmpTbl_BOM as b "
                                              "on p.PPPrdID=b.ParentID and p.PPItmID=b.ChildID where b.ParentID is null order "
                                              "by PPPrdID, PPItmID"));
    if (planning.empty())
        return;
    const std::vector<bool> kept = untMRPLowCodes::KeepPlanningPairs(
        read(QStringLiteral("select ParentID, ChildID from #QZ_TmpTbl_BOM where ParentID is not null and ChildID is not null")),
        planning);
    TMRPBulkStatement st;
    st.ParamNames = {QStringLiteral("@PrdID"), QStringLiteral("@ItmID")};
    st.ParamTypes = {QStringLiteral("nvarchar(50)"), QStringLiteral("nvarchar(50)")};
    st.Statement = QStringLiteral("insert #QZ_TmpTbl_BOM (ParentID, ChildID) values (@PrdID, @ItmID)");
    for (size_t i = 0; i < planning.size(); ++i)
        if (kept[i])
            st.Rows.append({QVariant(planning[i].first), QVariant(planning[i].second)});
    ExecBulk(q->ActiveConnection(), st);
}

} // namespace

int CalcLowLevelCodes(TADOQuery* AQuery, bool AUseOrderBoms, bool AUseSubstitutes)
{
    TADOQuery* q = AQuery;
    Exec(q, QStringLiteral("truncate table #QZ_MRP_ItemLowestCode\rinsert #QZ_MRP_ItemLowestCode (ItmID, LowestCode)\r"
                           "select ItmID, 0 from (select DmdItmID as ItmID from #QZ_MRP_Demands with(nolock) union select "
                           "SupItmID from #QZ_MRP_Supplies with(nolock) union select SupItmID from #QZ_MRP_LastSupAdjusts "
                           "with(nolock)) as x"));
    int n = OpenCount(q, QStringLiteral("select RowCnt=count(*) from #QZ_MRP_ItemLowestCode"));
    if (n == 0)
        return 0;
    Exec(q, DropIfExists(QStringLiteral("#QZ_MRP_RefGetBOM0")) +
                QStringLiteral("create table #QZ_MRP_RefGetBOM0 (PrdID nvarchar(50) null, BomType tinyint null, BomID "
                               "nvarchar(50) null)\rcreate index #QZ_TmpIdx_RefGetBOM0 on #QZ_MRP_RefGetBOM0 (PrdID, BomType, "
                               "BomID)\r") +
                DropIfExists(QStringLiteral("#QZ_MRP_BOMCouples")) +
                QStringLiteral("create table #QZ_MRP_BOMCouples (PrdID nvarchar(50) not null, ItmID nvarchar(50) not null, "
                               "ItmBomType tinyint not null, ItmBomID nvarchar(50) not null)\rcreate index "
                               "#QZ_TmpIdx_BOMCouples on #QZ_MRP_BOMCouples (PrdID, ItmID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_BOM")) +
                QStringLiteral("create table #QZ_TmpTbl_BOM (ParentID nvarchar(50) null, ChildID nvarchar(50) null)\r"
                               "create unique index #QZ_TmpIdx_BOM on #QZ_TmpTbl_BOM (ParentID, ChildID)\r"
                               "create index #QZ_TmpIdx_BOMChild on #QZ_TmpTbl_BOM (ChildID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_BOM0")) +
                QStringLiteral("create table #QZ_TmpTbl_BOM0 (ParentID nvarchar(50) null, ChildID nvarchar(50) null)\r"
                               "create unique index #QZ_TmpIdx_BOM0 on #QZ_TmpTbl_BOM0 (ParentID, ChildID)\r") +
                DropIfExists(QStringLiteral("#QZ_TmpTbl_ItemSubs")) +
                QStringLiteral("create table #QZ_TmpTbl_ItemSubs (SubItmID nvarchar(50) null, SubRItmID nvarchar(50) null)"));
    if (AUseOrderBoms)
        Exec(q, DropIfExists(QStringLiteral("#QZ_TmpTbl_PPBOM")) +
                    QStringLiteral("create table #QZ_TmpTbl_PPBOM (PPPrdID nvarchar(50) null, PPItmID nvarchar(50) null)"));
    // Products whose bills are read: demands with a bill, requested and
    // planned supplies, kept adjustments with a bill, and (with order bills)
    // production and outsourcing orders.
    QString heads = QStringLiteral(
        "truncate table #QZ_MRP_RefGetBOM\rinsert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID)\r"
        "select distinct DmdItmID, DmdBomType, DmdBomID from #QZ_MRP_Demands as d with(nolock) join QZ_Base_ItemMaster as i "
        "with(nolock) on d.DmdItmID=i.ItmID where DmdBomID<>'' or i.ItmType>1\r"
        "union select distinct SupItmID, SupBomType, SupBomID from #QZ_MRP_Supplies with(nolock) where SupBillType in (34, "
        "36) or SupBillType>=42\r"
        "union select distinct SupItmID, SupBomType, SupBomID from #QZ_MRP_LastSupAdjusts with(nolock) where SupBomID<>''");
    if (AUseOrderBoms)
        heads += QStringLiteral("\runion select distinct SupItmID, null, null from #QZ_MRP_Supplies with(nolock) where "
                                "SupBillType in (22, 24)");
    Exec(q, heads);
    const QString skipped = QStringLiteral("(select ItmID from QZ_MRP_ItemSetting with(nolock) where ItmMrpSkip=1)");
    for (int guard = 0; guard < 1000; ++guard) {
        Exec(q, QStringLiteral("insert #QZ_MRP_RefGetBOM0 (PrdID, BomType, BomID) select PrdID, BomType, BomID from "
                               "#QZ_MRP_RefGetBOM\rtruncate table #QZ_MRP_BOMCouples\rexec QZ_MRP_GetBOMCouples\r"
                               "insert #QZ_TmpTbl_BOM (ParentID, ChildID) select distinct c.PrdID, c.ItmID from "
                               "#QZ_MRP_BOMCouples as c left join #QZ_TmpTbl_BOM as b on c.PrdID=b.ParentID and "
                               "c.ItmID=b.ChildID where b.ParentID is null and c.ItmID not in ") +
                    skipped);
        if (AUseOrderBoms)
            for (const char* src : {"QZ_MRP_MOBOM", "QZ_MRP_OOBOM"}) {
                const QString prd = QLatin1String(src) == QLatin1String("QZ_MRP_MOBOM") ? QStringLiteral("MOItmID")
                                                                                          : QStringLiteral("OOItmID");
                Exec(q, QStringLiteral("insert #QZ_TmpTbl_PPBOM (PPPrdID, PPItmID) select distinct o.%1, o.BomItmID from "
                                       "%2 as o with(nolock) join (select distinct PrdID from #QZ_MRP_RefGetBOM) as r on "
                                       "o.%1=r.PrdID left join #QZ_TmpTbl_BOM as b on o.%1=b.ParentID and "
                                       "o.BomItmID=b.ChildID left join #QZ_TmpTbl_PPBOM as pp on o.%1=pp.PPPrdID and "
                                       "o.BomItmID=pp.PPItmID where o.CanMRP=1 and o.BomQty>0 and o.BomItmID<>o.%1 and "
                                       "b.ParentID is null and pp.PPPrdID is null and o.BomItmID not in ")
                                .arg(prd, QLatin1String(src)) +
                            skipped);
            }
        // The next products: components with a bill of their own not read yet.
        const int next = ExecCount(
            q, QStringLiteral("truncate table #QZ_MRP_RefGetBOM\rinsert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) select "
                              "distinct c.ItmID, c.ItmBomType, c.ItmBomID from #QZ_MRP_BOMCouples as c join "
                              "QZ_Base_ItemMaster as i with(nolock) on c.ItmID=i.ItmID left join QZ_MRP_ItemSetting as t "
                              "with(nolock) on c.ItmID=t.ItmID left join #QZ_MRP_RefGetBOM0 as r on c.ItmID=r.PrdID where "
                              "r.PrdID is null and (case when isnull(t.ItmMrpType,0)<>0 then t.ItmMrpType else i.ItmType "
                              "end)>1") +
                (AUseOrderBoms ? QStringLiteral("\runion select distinct p.PPItmID, null, null from #QZ_TmpTbl_PPBOM as p join "
                                                "QZ_Base_ItemMaster as i with(nolock) on p.PPItmID=i.ItmID left join "
                                                "QZ_MRP_ItemSetting as t with(nolock) on p.PPItmID=t.ItmID left join "
                                                "#QZ_MRP_RefGetBOM0 as r on p.PPItmID=r.PrdID where r.PrdID is null and (case "
                                                "when isnull(t.ItmMrpType,0)<>0 then t.ItmMrpType else i.ItmType end)>1")
                               : QString()));
        if (next == 0)
            break;
    }
    if (AUseOrderBoms)
        MergePlanningPairs(q);
    n += ExecCount(q, QStringLiteral("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) select distinct b.ChildID, 0 from "
                                     "#QZ_TmpTbl_BOM as b left join #QZ_MRP_ItemLowestCode as c on b.ChildID=c.ItmID where "
                                     "c.ItmID is null"));
    bool subs = AUseSubstitutes;
    if (subs) {
        Exec(q, DropIfExists(QStringLiteral("#QZ_MRP_ItemSubsCouples")) +
                    QStringLiteral("create table #QZ_MRP_ItemSubsCouples (SubItmID nvarchar(50), SubRItmID nvarchar(50), "
                                   "SubPrdID nvarchar(50) null, SubBomType tinyint null, SubBomID nvarchar(50) null)\r"
                                   "exec QZ_MRP_GetItemSubsCouples\r"
                                   "insert #QZ_TmpTbl_ItemSubs (SubItmID, SubRItmID) select distinct s.SubItmID, s.SubRItmID "
                                   "from #QZ_MRP_ItemSubsCouples as s join #QZ_MRP_ItemLowestCode as c on s.SubItmID=c.ItmID "
                                   "left join #QZ_MRP_ItemLowestCode as p on s.SubPrdID=p.ItmID where (s.SubPrdID is null or "
                                   "p.ItmID is not null) and s.SubRItmID not in ") +
                    skipped);
        const int pairs = OpenCount(q, QStringLiteral("select count(*) from #QZ_TmpTbl_ItemSubs"));
        subs = pairs > 0;
        if (subs)
            n += ExecCount(q, QStringLiteral("insert #QZ_MRP_ItemLowestCode (ItmID, LowestCode) select distinct s.SubRItmID, 0 "
                                             "from #QZ_TmpTbl_ItemSubs as s left join #QZ_MRP_ItemLowestCode as c on "
                                             "s.SubRItmID=c.ItmID where c.ItmID is null"));
    }
    // Each step moves every component below its deepest parent; without a
    // loop no code can exceed the number of items, and a substitute stays on
    // the level of the item it replaces.
    int maxCode = 0;
    bool loop = false;
    const bool settled = !subs && CodesInMemory(q, maxCode);
    for (int step = 0; !settled; ++step) {
        // Every code starts at 0. Without substitutes an item's code after a
        // step is the lesser of the steps made and its depth, so only the
        // components of the items that reached this step's code can move:
        // the step reads those parents alone instead of every pair.
        const QString movedParents = subs ? QString() : QStringLiteral(" where pc.LowestCode=%1").arg(step);
        int moved = ExecCount(q, QStringLiteral("update c set LowestCode=p.Code+1 from #QZ_MRP_ItemLowestCode as c join (select "
                                                "b.ChildID, max(pc.LowestCode) as Code from #QZ_TmpTbl_BOM as b join "
                                                "#QZ_MRP_ItemLowestCode as pc on b.ParentID=pc.ItmID%1 group by b.ChildID) as p "
                                                "on c.ItmID=p.ChildID where c.LowestCode<p.Code+1")
                                     .arg(movedParents));
        if (subs) {
            moved += ExecCount(q, QStringLiteral("update c set LowestCode=x.Code from #QZ_MRP_ItemLowestCode as c join (select "
                                                 "s.SubRItmID as ItmID, max(r.LowestCode) as Code from #QZ_TmpTbl_ItemSubs as s "
                                                 "join #QZ_MRP_ItemLowestCode as r on s.SubItmID=r.ItmID group by s.SubRItmID) "
                                                 "as x on c.ItmID=x.ItmID where c.LowestCode<x.Code"));
            moved += ExecCount(q, QStringLiteral("update c set LowestCode=x.Code from #QZ_MRP_ItemLowestCode as c join (select "
                                                 "s.SubItmID as ItmID, max(r.LowestCode) as Code from #QZ_TmpTbl_ItemSubs as s "
                                                 "join #QZ_MRP_ItemLowestCode as r on s.SubRItmID=r.ItmID group by s.SubItmID) "
                                                 "as x on c.ItmID=x.ItmID where c.LowestCode<x.Code"));
        }
        maxCode = OpenCount(q, QStringLiteral("select isnull(max(LowestCode),0) from #QZ_MRP_ItemLowestCode"));
        if (moved == 0)
            break;
        if (maxCode > n) {
            loop = true;
            break;
        }
    }
    if (loop) {
        // The items of a loop keep climbing: the pairs among the deepest
        // items and their closure show which item reaches itself.
        Exec(q, QStringLiteral("insert #QZ_TmpTbl_BOM0 (ParentID, ChildID) select b.ParentID, b.ChildID from #QZ_TmpTbl_BOM "
                               "as b join #QZ_MRP_ItemLowestCode as p on b.ParentID=p.ItmID join #QZ_MRP_ItemLowestCode as c "
                               "on b.ChildID=c.ItmID where p.LowestCode>%1 and c.LowestCode>%1")
                    .arg(n - 1));
        for (int guard = 0; guard <= n; ++guard)
            if (ExecCount(q, QStringLiteral("insert #QZ_TmpTbl_BOM0 (ParentID, ChildID) select distinct a.ParentID, b.ChildID "
                                            "from #QZ_TmpTbl_BOM0 as a join #QZ_TmpTbl_BOM0 as b on a.ChildID=b.ParentID left "
                                            "join #QZ_TmpTbl_BOM0 as x on a.ParentID=x.ParentID and b.ChildID=x.ChildID where "
                                            "x.ParentID is null")) == 0)
                break;
        RunSQL(q, QStringLiteral("select ItmNo, ItmName, ItmSpec from (select distinct ParentID from #QZ_TmpTbl_BOM0 "
                                      "with(nolock) where ParentID=ChildID) as b join QZ_Base_ItemMaster with(nolock) on "
                                      "ParentID=ItmID order by ItmNo"),
                    true, true, false);
        return -1;
    }
    Exec(q, QStringLiteral("drop table #QZ_MRP_RefGetBOM0\rdrop table #QZ_MRP_BOMCouples\rdrop table #QZ_TmpTbl_BOM\r"
                           "drop table #QZ_TmpTbl_BOM0\rdrop table #QZ_TmpTbl_ItemSubs"));
    if (AUseSubstitutes)
        Exec(q, QStringLiteral("if object_id('tempdb..#QZ_MRP_ItemSubsCouples') is not null\rdrop table #QZ_MRP_ItemSubsCouples"));
    if (AUseOrderBoms)
        Exec(q, QStringLiteral("drop table #QZ_TmpTbl_PPBOM"));
    return maxCode;
}
