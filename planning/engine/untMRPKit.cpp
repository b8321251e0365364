#include "untMRPKit.h"
#include <algorithm>
#include <cmath>

using namespace untMRPUtils;

namespace untMRPKit {

TKitAvailable BuildKitAvailableSQL(int careItemSuites)
{
    TKitAvailable k;
    k.A = QStringLiteral("isnull(DmdASetQty,0)+isnull(DmdInvQty,0)");
    k.C = QStringLiteral("DmdASetQty>0 or DmdInvQty>0");
    if (careItemSuites == 1) {
        k.A += QStringLiteral("+isnull(DmdPChkQty,0)");
        k.C += QStringLiteral(" or DmdPChkQty>0");
    } else if (careItemSuites == 2) {
        k.A += QStringLiteral("+isnull(DmdPOQty,0)");
        k.C += QStringLiteral(" or DmdPOQty>0");
    } else if (careItemSuites >= 3) {
        k.A += QStringLiteral("+isnull(DmdPOQty,0)+isnull(DmdPRQty,0)");
        k.C += QStringLiteral(" or DmdPOQty>0 or DmdPRQty>0");
    }
    return k;
}

QString BuildSupplyKitFromComponentsSQL(int level)
{
    // The component lines are found through the supplies of the level (the top level also takes
    // every supply without a parent demand), so only those lines are read, not all of them.
    return QStringLiteral("update s set SupDSetQty=isnull(DmdASetQty, SupQty), SupDSetRate=isnull(DmdASetRate, 100) "
                          "from #QZ_MRP_Supplies as s join (select DmdPSupIID, DmdASetQty=min(case ItmSuitSkip when 1 "
                          "then null else isnull(DmdASetQty,0) end),DmdASetRate=min(case ItmSuitSkip when 1 then null "
                          "else isnull(DmdASetRate,0) end) from #QZ_MRP_Demands with(nolock) left join "
                          "QZ_MRP_ItemSetting as t with(nolock) on DmdItmID=t.ItmID where DmdPSupIID in (select SupIID "
                          "from #QZ_MRP_Supplies with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                          "SupItmID=l.ItmID where LowestCode=")
           + QString::number(level)
           + (level == 0 ? QStringLiteral(" union all select SupIID from #QZ_MRP_Supplies with(nolock) where SupPDmdIID<0")
                         : QString())
           + QStringLiteral(") and DmdBillQty>0 group by DmdPSupIID) as d on SupIID=DmdPSupIID");
}

QString BuildOrdersWithoutComponentsKitSQL(int level)
{
    return QStringLiteral("update s set SupDSetQty=SupQty, SupDSetRate=100 from #QZ_MRP_Supplies as s join "
                          "#QZ_MRP_ItemLowestCode as l with(nolock) on s.SupItmID=l.ItmID where LowestCode=%1 and "
                          "s.SupBillType in (22, 24) and s.SupQty>0 and not exists (select 1 from #QZ_MRP_Demands as d "
                          "with(nolock) where d.DmdPSupIID=s.SupIID)")
        .arg(level);
}

QString BuildPlannedKitSelectSQL(int level)
{
    return QStringLiteral("select SupIID, SupDSetQty, SupPDmdIIDs from #QZ_MRP_Supplies with(nolock) join "
                          "#QZ_MRP_ItemLowestCode as l with(nolock) on SupItmID=l.ItmID where LowestCode=%1 and "
                          "SupBillType>=42 and SupDSetQty>0 order by SupIID")
        .arg(level);
}

QString BuildAllotKitSelectSQL(int level)
{
    return QStringLiteral("select SupIID, SupDSetQty, AltDmdIID, AltQty, AltIsRepl, AltReplQty from #QZ_MRP_Supplies "
                          "with(nolock) join #QZ_MRP_ItemLowestCode as l with(nolock) on SupItmID=l.ItmID join "
                          "#QZ_MRP_Allots with(nolock) on SupIID=AltSupIID where LowestCode=%1 and SupDSetQty>0 "
                          "order by SupIID, AltIID")
        .arg(level);
}

QStringList BuildDemandKitSQL(int level, int careItemSuites)
{
    const TKitAvailable k = BuildKitAvailableSQL(careItemSuites);
    const QString from = QStringLiteral(" from #QZ_MRP_Demands as d join #QZ_MRP_ItemLowestCode as l with(nolock) on "
                                        "d.DmdItmID=l.ItmID left join #QZ_MRP_Supplies as s with(nolock) on "
                                        "d.DmdPSupIID=s.SupIID left join QZ_MRP_ItemSetting as t with(nolock) on "
                                        "s.SupItmID=t.ItmID left join QZ_Base_ItemMaster as i with(nolock) on "
                                        "s.SupItmID=i.ItmID where LowestCode=")
                         + QString::number(level);
    // Cut toward zero to whole units or the parent's places; never below zero.
    auto cut = [](const QString& x) {
        const QString c = QStringLiteral("(case t.ItmPutInteger when 1 then round(%1, 0, 1) else round(%1, "
                                         "isnull(i.ItmDecimal,8), 1) end)")
                              .arg(x);
        return QStringLiteral("(case when %1<0 then 0 else %1 end)").arg(c);
    };
    QStringList sql;
    sql << QStringLiteral("update d set DmdASetQty=%1, DmdASetRate=round((%1)*100/DmdNeedQty, 2)").arg(k.A) + from
               + QStringLiteral(" and DmdBillType<82 and DmdNeedQty>0");
    sql << QStringLiteral("update d set DmdASetQty=")
               + cut(QStringLiteral("isnull(SupQty,0)-(isnull(DmdNeedQty,0)-(%1))*isnull(SupBillQty,0)/DmdBillQty")
                         .arg(k.A))
               + from + QStringLiteral(" and DmdBillType in (82, 84) and DmdBillQty>0");
    sql << QStringLiteral("update d set DmdASetQty=") + cut(QStringLiteral("(%1)*isnull(SupQty,0)/DmdNeedQty").arg(k.A))
               + from + QStringLiteral(" and DmdBillType>84 and DmdNeedQty>0 and (%1)").arg(k.C);
    // Most component lines have no kit quantity yet: their rate is 0 without the decimal work.
    sql << QStringLiteral("update d set DmdASetRate=(case when DmdASetQty<>0 then round(DmdASetQty*100/SupQty, 2) "
                          "else 0 end)")
               + from + QStringLiteral(" and DmdBillType>=82 and SupQty>0");
    return sql;
}

std::vector<TKitCredit> DistributePlannedKit(double supDSetQty, const QString& supPDmdIIDs)
{
    std::vector<TKitCredit> credits;
    double k = supDSetQty;
    if (!(k > 0))
        return credits;
    for (const QString& line : supPDmdIIDs.split(QLatin1String("\r\n"), Qt::SkipEmptyParts)) {
        if (!(k > 0))
            break;
        // "|IID:KK=qty": only entries with a period count.
        const int colon = line.indexOf(QLatin1Char(':'));
        const int eq = line.indexOf(QLatin1Char('='));
        if (!line.startsWith(QLatin1Char('|')) || colon < 0 || eq < colon)
            continue;
        bool ok = false;
        const int iid = line.mid(1, colon - 1).toInt(&ok);
        const double qty = TextToFloat(line.mid(eq + 1));
        if (!ok || !(qty > 0))
            continue;
        const double credited = std::min(qty, k);
        credits.push_back({iid, credited});
        k -= credited;
    }
    return credits;
}

std::vector<TKitCredit> DistributeAllotKit(const std::vector<TKitAllotRow>& rows)
{
    std::vector<TKitCredit> credits;
    int current = 0;
    bool first = true;
    double k = 0;
    for (const TKitAllotRow& r : rows) {
        if (first || r.SupIID != current) {
            current = r.SupIID;
            k = r.SupDSetQty;
            first = false;
        }
        if (!(k > 0) || !(r.AltQty > 0))
            continue;
        const double q = std::min(r.AltQty, k);
        const double credited = r.AltIsRepl ? RoundTo(r.AltReplQty * q / r.AltQty, 8) : q;
        credits.push_back({r.AltDmdIID, credited});
        k -= q;
    }
    return credits;
}

TMRPBulkStatement KitCreditsBulk(const std::vector<TKitCredit>& credits)
{
    TMRPBulkStatement st;
    st.ParamNames = {QStringLiteral("@DmdIID"), QStringLiteral("@Qty")};
    st.ParamTypes = {QStringLiteral("int"), QStringLiteral("decimal(28,8)")};
    st.Statement = QStringLiteral("update #QZ_MRP_Demands set DmdASetQty=isnull(DmdASetQty,0)+@Qty where DmdIID=@DmdIID");
    st.Rows.reserve(qsizetype(credits.size()));
    for (const TKitCredit& c : credits)
        st.Rows.append({QVariant(qlonglong(c.DmdIID)), QVariant(SQLQty(c.Qty))});
    return st;
}

double CalcOrderLineKitQty(double supQty, double dmdNeedQty, double available, double supBillQty,
                           double dmdBillQty, int itmPutInteger, int itmDecimal)
{
    if (!(dmdBillQty > 0))
        return 0;
    const double q = supQty - (dmdNeedQty - available) * supBillQty / dmdBillQty;
    return std::max(0.0, TruncItemQty(q, itmPutInteger, itmDecimal));
}

double CalcPlannedLineKitQty(double available, double supQty, double dmdNeedQty, int itmPutInteger, int itmDecimal)
{
    if (!(dmdNeedQty > 0))
        return 0;
    return std::max(0.0, TruncItemQty(available * supQty / dmdNeedQty, itmPutInteger, itmDecimal));
}

double CalcKitRate(double qty, double base)
{
    if (!(base > 0))
        return 0;
    return RoundTo(qty * 100 / base, 2);
}

std::pair<double, double> CalcSupplyKit(double supQty, const std::vector<TKitComponent>& components)
{
    bool any = false;
    double qty = 0, rate = 0;
    for (const TKitComponent& c : components) {
        if (c.ItmSuitSkip)
            continue;
        if (!any || c.DmdASetQty < qty)
            qty = c.DmdASetQty;
        if (!any || c.DmdASetRate < rate)
            rate = c.DmdASetRate;
        any = true;
    }
    return any ? std::make_pair(qty, rate) : std::make_pair(supQty, 100.0);
}

} // namespace untMRPKit
