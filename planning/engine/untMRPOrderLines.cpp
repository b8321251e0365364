#include "untMRPOrderLines.h"

namespace untMRPOrderLines {

std::vector<TOrderLineSelect> OrderLineSelects(bool AOrdersOfLevel, int ALevel, bool AMainItems, bool APendingIssues)
{
    struct TKind {
        const char* objectID;
        int code;
        int order;
        const char* X;
    } kinds[] = {{"QZ_MRP.OOBOM", 82, 24, "OO"}, {"QZ_MRP.MOBOM", 84, 22, "MO"}};
    std::vector<TOrderLineSelect> out;
    for (const TKind& k : kinds) {
        TOrderLineSelect s;
        s.ObjectID = QLatin1String(k.objectID);
        s.DemandCode = k.code;
        s.OrderCode = k.order;
        const QString X = QLatin1String(k.X);
        s.Where = QStringLiteral("s.CanMRP<>0 and s.BomQty>0 and s.BomRole=0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null) "
                                 "and tmpdmd.DmdBillID is null");
        if (AOrdersOfLevel)
            s.Tail = QStringLiteral(" join #QZ_MRP_ItemLowestCode as tmplvl with(nolock) on s.%1ItmID=tmplvl.ItmID and "
                                    "tmplvl.LowestCode=%2")
                         .arg(X)
                         .arg(ALevel);
        // Pending issues: the lines of every open order, in the run or not
        // (those outside have no parent supply yet).
        const bool anyOrder = APendingIssues && !AOrdersOfLevel;
        s.Tail += QStringLiteral(" %1join #QZ_MRP_Supplies as tmpsup with(nolock) on tmpsup.SupBillType=%2 and "
                                 "s.%3ID=tmpsup.SupBillID and s.%3Entry=tmpsup.SupBillEntry")
                      .arg(anyOrder ? QStringLiteral("left ") : QString())
                      .arg(k.order)
                      .arg(X);
        // Only orders that something uses: an order nothing draws on asks
        // for no material.
        if (AOrdersOfLevel)
            s.Tail += QStringLiteral(" and (tmpsup.SupAllotQty>0 or tmpsup.SupPDmdIID=-1)");
        if (AOrdersOfLevel && AMainItems)
            s.Tail += QStringLiteral(" join #QZ_MRP_MainItems as tmpman with(nolock) on tmpsup.SupItmID=tmpman.ManItmID and "
                                     "tmpsup.SupItmProps=tmpman.ManItmProps and tmpsup.SupGroupType=tmpman.ManGroupType and "
                                     "tmpsup.SupGroupNo=tmpman.ManGroupNo");
        s.Tail += QStringLiteral(" left join #QZ_MRP_Demands as tmpdmd with(nolock) on tmpdmd.DmdBillType=%1 and "
                                 "s.BomID=tmpdmd.DmdBillID and s.BomEntry=tmpdmd.DmdBillEntry")
                      .arg(k.code);
        out.push_back(s);
    }
    return out;
}

} // namespace untMRPOrderLines
