// The MRP run's balance statement (BuildBalanceSQL) and kit quantities
// (TMRPRun::KitQuantities: per level from the highest code down, with
// untMRPKit's statements and distributions).
#include "untMRPRunCommon.h"

#include "untMRPKit.h"

#include <QStringList>
#include <vector>

using namespace untMRPUtils;
using namespace untMRPRunCommon;

QString BuildBalanceSQL()
{
    // Demand and supply rows in one list, grouped once by group and item: a
    // full join of the two sums without the cost of joining them.
    auto d = [](const QString& codes) {
        return QStringLiteral("(case when DmdBillType in (%1) then DmdNeedQty end)").arg(codes);
    };
    auto s = [](const QString& codes) {
        return QStringLiteral("(case when SupBillType in (%1) then SupQty end)").arg(codes);
    };
    const QStringList dCols = {QStringLiteral("ForQ"),   QStringLiteral("SOQ"),   QStringLiteral("FreeQ"),
                               QStringLiteral("NGInvQ"), QStringLiteral("GInQ"),  QStringLiteral("RInQ"),
                               QStringLiteral("SafeQ"),  QStringLiteral("OODQ"),  QStringLiteral("MODQ"),
                               QStringLiteral("POODQ"),  QStringLiteral("PMODQ"), QStringLiteral("VirDQ"),
                               QStringLiteral("OutQ")};
    const QStringList dExpr = {d("8"),  d("2, 4"),  d("12"),      d("72"),       QStringLiteral("DmdGrpxQty"),
                               QStringLiteral("DmdReplQty"), d("74"), d("82, 79"), d("84, 80"), d("92"), d("94"),
                               d("96"), QStringLiteral("DmdNeedQty")};
    const QStringList sCols = {QStringLiteral("InvQ"),  QStringLiteral("POQ"),   QStringLiteral("OOQ"),
                               QStringLiteral("MOQ"),   QStringLiteral("ChkQ"),  QStringLiteral("PRQ"),
                               QStringLiteral("ORQ"),   QStringLiteral("MRQ"),   QStringLiteral("GOutQ"),
                               QStringLiteral("ROutQ"), QStringLiteral("BalQ"),  QStringLiteral("PPOQ"),
                               QStringLiteral("POOQ"),  QStringLiteral("PMOQ"),  QStringLiteral("XQ"),
                               QStringLiteral("InQ")};
    const QStringList sExpr = {s("16"), s("26, 28"), s("24"), s("22"), QStringLiteral("SupChkQty"), s("38"), s("36"),
                               s("34"), QStringLiteral("SupAGrpxQty"), QStringLiteral("SupAReplQty"), s("58, 52, 42"),
                               s("58"), s("52"), s("42"), s("54, 44, 62, 66, 64"), QStringLiteral("SupQty")};
    QString dSel = QStringLiteral("select DmdGroupType as GT, DmdGroupNo as GN, DmdItmID as IT, DmdItmProps as IP");
    QString sSel = QStringLiteral("select SupGroupType, SupGroupNo, SupItmID, SupItmProps");
    for (int i = 1; i <= 10; ++i) {
        dSel += QStringLiteral(", DmdItmProp%1 as DP%1, null as SP%1").arg(i);
        sSel += QStringLiteral(", null, SupItmProp%1").arg(i);
    }
    for (int i = 0; i < dCols.size(); ++i) {
        dSel += QStringLiteral(", %1 as %2").arg(dExpr[i], dCols[i]);
        sSel += QStringLiteral(", null");
    }
    for (int i = 0; i < sCols.size(); ++i) {
        dSel += QStringLiteral(", null as %1").arg(sCols[i]);
        sSel += QStringLiteral(", ") + sExpr[i];
    }
    dSel += QStringLiteral(" from #QZ_MRP_Demands with(nolock)");
    sSel += QStringLiteral(" from #QZ_MRP_Supplies with(nolock) where SupQty<>0");
    QString props;
    for (int i = 1; i <= 10; ++i)
        props += QStringLiteral("isnull(max(DP%1), max(SP%1)), ").arg(i);
    auto z = [](const QString& c) { return QStringLiteral("isnull(sum(%1),0)").arg(c); };
    const QString net = QStringLiteral("%1-%2+%3+%4+%5-%6+%7-%8")
                            .arg(z("OutQ"), z("InQ"), z("BalQ"), z("XQ"), z("GOutQ"), z("GInQ"), z("ROutQ"), z("RInQ"));
    const QString end = QStringLiteral("%1-%2+%3-%4+%5-%6")
                            .arg(z("InQ"), z("OutQ"), z("GInQ"), z("GOutQ"), z("RInQ"), z("ROutQ"));
    return QStringLiteral("insert #QZ_MRP_Balance (BalGroupType, BalGroupNo, BalItmID, BalItmProps, ") +
           PropList(QStringLiteral("BalItmProp")) + QStringLiteral(", ") + kBalanceQtyColumns +
           QStringLiteral(")\rselect GT, GN, IT, IP, ") + props +
           QStringLiteral("sum(ForQ), sum(SOQ), sum(FreeQ), (case when sum(InvQ) is null and sum(NGInvQ) is null then null "
                          "else isnull(sum(InvQ),0)-isnull(sum(NGInvQ),0) end), sum(POQ), sum(OOQ), sum(MOQ), sum(GInQ), "
                          "sum(RInQ), sum(ChkQ), sum(PRQ), sum(ORQ), sum(MRQ), sum(SafeQ), sum(OODQ), sum(MODQ), sum(GOutQ), "
                          "sum(ROutQ), sum(POODQ), sum(PMODQ), sum(VirDQ), ") +
           net + QStringLiteral(", sum(BalQ), sum(PPOQ), sum(POOQ), sum(PMOQ), sum(XQ), ") + end +
           QStringLiteral("\rfrom (") + dSel + QStringLiteral("\runion all\r") + sSel +
           QStringLiteral(") as x group by GT, GN, IT, IP");
}

void TMRPRun::KitQuantities(int highest)
{
    for (int level = highest; level >= 0; --level) {
        if (level < highest) {
            Exec(Q, untMRPKit::BuildSupplyKitFromComponentsSQL(level));
            Exec(Q, untMRPKit::BuildOrdersWithoutComponentsKitSQL(level));
        }
        std::vector<untMRPKit::TKitCredit> credits;
        RunSQL(SupQ.get(), untMRPKit::BuildPlannedKitSelectSQL(level), true, true, false);
        for (; !SupQ->Eof(); SupQ->Next()) {
            const auto c = untMRPKit::DistributePlannedKit(SupQ->FieldByName(QStringLiteral("SupDSetQty"))->AsFloat(),
                                                           SupQ->FieldByName(QStringLiteral("SupPDmdIIDs"))->AsString());
            credits.insert(credits.end(), c.begin(), c.end());
        }
        SupQ->Close();
        std::vector<untMRPKit::TKitAllotRow> rows;
        RunSQL(SupQ.get(), untMRPKit::BuildAllotKitSelectSQL(level), true, true, false);
        for (; !SupQ->Eof(); SupQ->Next()) {
            untMRPKit::TKitAllotRow r;
            r.SupIID = SupQ->FieldByName(QStringLiteral("SupIID"))->AsInteger();
            r.SupDSetQty = SupQ->FieldByName(QStringLiteral("SupDSetQty"))->AsFloat();
            r.AltDmdIID = SupQ->FieldByName(QStringLiteral("AltDmdIID"))->AsInteger();
            r.AltQty = SupQ->FieldByName(QStringLiteral("AltQty"))->AsFloat();
            r.AltIsRepl = SupQ->FieldByName(QStringLiteral("AltIsRepl"))->AsBoolean();
            r.AltReplQty = SupQ->FieldByName(QStringLiteral("AltReplQty"))->AsFloat();
            rows.push_back(r);
        }
        SupQ->Close();
        const auto allotCredits = untMRPKit::DistributeAllotKit(rows);
        credits.insert(credits.end(), allotCredits.begin(), allotCredits.end());
        ExecBulk(S.Connection(), untMRPKit::KitCreditsBulk(credits));
        for (const QString& sql : untMRPKit::BuildDemandKitSQL(level, S.CareItemSuites))
            Exec(Q, sql);
    }
}
