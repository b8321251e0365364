// What the MRP run gathers: the main demand (with its quantities refreshed),
// orders tied to it, free supplies of the run or of a level, open orders'
// component lines, scrap, stock and safety stock, and the orders of material
// demands that become supplies after the balance.
#include "untMRPRunCommon.h"

#include "untMRPOrderLines.h"

#include <QDate>
#include <QStringList>
#include <map>

using namespace untMRPUtils;
using namespace untMRPRunCommon;

namespace {

const QString kSupplyInsert = QStringLiteral(
    "insert #QZ_MRP_Supplies (SupPeriod, SupBillType, SupBillID, SupBillNo, SupBillEntry, SupBillDate, SupBillQty, "
    "SupSuppID, SupDeptID, SupOrigType, SupOrigID, SupOrigNo, SupOrigEntry, SupOrigItmID, SupOrigCustID, SupOrigCustPO, "
    "SupOrigTag, SupOrigSubTag, SupGroupType, SupGroupNo, SupDate, SupPriority, SupPDmdIID, SupItmID, SupItmProps, ") +
    PropList(QStringLiteral("SupItmProp")) +
    QStringLiteral(", SupQty, SupChkQty, SupRestQty, SupBomLocked, SupBomType, SupBomID, SupDrawDate, SupHints, SupNote)\r");

const QString kDemandInsert = QStringLiteral(
    "insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, DmdBillDate, DmdBillQty, "
    "DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, "
    "DmdOrigTag, DmdOrigSubTag, DmdGroupType, DmdGroupNo, DmdDate, DmdPriority, DmdPSupIID, DmdItmID, DmdItmProps, ") +
    PropList(QStringLiteral("DmdItmProp")) +
    QStringLiteral(", DmdUnitQty, DmdNeedQty, DmdQty, DmdBomHook, DmdNote)\r");

const QString kOrigMacros = QStringLiteral(
    "$$OrigType$$, $$OrigID$$, $$OrigNo$$, $$OrigEntry$$, $$OrigItmID$$, $$OrigCustID$$, $$OrigCustPO$$, $$OrigTag$$, "
    "$$OrigSubTag$$, isnull($$MRPGroupType$$, 0), isnull($$MRPGroupNo$$, '')");
const QString kPropMacros = QStringLiteral(
    "isnull($$ItmProps$$, ''), $$ItmProp1$$, $$ItmProp2$$, $$ItmProp3$$, $$ItmProp4$$, $$ItmProp5$$, $$ItmProp6$$, "
    "$$ItmProp7$$, $$ItmProp8$$, $$ItmProp9$$, $$ItmProp10$$");

} // namespace

void TMRPRun::RefreshMainQuantities()
{
    Exec(Q, DropIfExists(QStringLiteral("#QZ_MRP_MainX")) +
                QStringLiteral("create table #QZ_MRP_MainX (ManIID int not null primary key clustered, ManBillQty "
                               "decimal(28,8) null, ManExeQty decimal(28,8) null, ManDedQty decimal(28,8) null, ManNeedQty "
                               "decimal(28,8) null, ManAdjQty decimal(28,8) null, ManQty decimal(28,8), OldQty decimal(28,8), "
                               "ManHints varchar(max) null)"));
    struct TDoc {
        int type;
        const char* X;
        const char* table;
        bool forecast;
    } docs[] = {{8, "For", "QZ_MRP_Forcast", true}, {2, "SO", "QZ_MRP_SO", false}, {4, "SI", "QZ_MRP_SI", false}};
    QStringList parts;
    for (const TDoc& d : docs) {
        const QString X = QLatin1String(d.X);
        const QString ded = QStringLiteral("isnull(x.%1DedAQty,0)+isnull(x.%1DedMQty,0)").arg(X);
        const QString need = d.forecast ? QStringLiteral("s.%1Qty-(%2)").arg(X, ded) : QStringLiteral("s.%1Qty").arg(X);
        parts << QStringLiteral("select m.ManIID, s.%1BillQty, s.%1OkQty, %2, %3, m.ManAdjQty, %3+isnull(m.ManAdjQty,0), "
                                "m.ManQty, m.ManHints from QZ_MRP_Main as m join %4 as s with(nolock) on m.ManBillType=%5 and "
                                "m.ManBillID=s.%1ID and m.ManBillEntry=s.%1Entry left join %4Ext as x with(nolock) on "
                                "s.%1ID=x.%1ID and s.%1Entry=x.%1Entry where ManSchIID=%6")
                     .arg(X, ded, need, QLatin1String(d.table))
                     .arg(d.type)
                     .arg(S.SchemeIID);
    }
    Exec(Q, QStringLiteral("insert #QZ_MRP_MainX (ManIID, ManBillQty, ManExeQty, ManDedQty, ManNeedQty, ManAdjQty, ManQty, "
                           "OldQty, ManHints)\r") +
                parts.join(QStringLiteral("\runion\r")));
    std::unique_ptr<TADOQuery> read(S.NewSchemeQuery());
    MergeQtyHints(S, QStringLiteral("select IID=ManIID, QtySum=ManQty, QtyHints=ManHints from #QZ_MRP_MainX where "
                                    "ManQty<>OldQty and ManHints<>''"),
                  QStringLiteral("update #QZ_MRP_MainX set ManHints=%s where ManIID=%d"), Q, read.get(), S.MpsPeriods,
                  S.MpsPeriods);
    Exec(Q, QStringLiteral("update m set ManBillQty=s.ManBillQty, ManExeQty=s.ManExeQty, ManDedQty=s.ManDedQty, "
                           "ManNeedQty=s.ManNeedQty, ManAdjQty=s.ManAdjQty, ManQty=s.ManQty, ManHints=s.ManHints from "
                           "QZ_MRP_Main as m join #QZ_MRP_MainX as s on m.ManSchIID=%1 and m.ManIID=s.ManIID\r"
                           "drop table #QZ_MRP_MainX")
                .arg(S.SchemeIID));
}

void TMRPRun::NormaliseTiedSupplyHints()
{
    RunSQL(SupQ.get(),
                QStringLiteral("select SupIID, SupQty, SupHints from #QZ_MRP_Supplies with(nolock) where SupBillType in (22, "
                               "24, 34, 36)"),
                true, true, false);
    TMRPSQLBatch batch([this](const QString& text) { Exec(Q, text); });
    for (; !SupQ->Eof(); SupQ->Next()) {
        std::map<int, double> byKey;
        const QStringList lines = SupQ->FieldByName(QStringLiteral("SupHints"))->AsString().split(QStringLiteral("\r\n"),
                                                                                                  Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0)
                continue;
            int key = -1;
            if (eq == 0) {
                // "=yyyymmdd": the period of that date.
                const QDate date = QDate::fromString(line.mid(1, 8), QStringLiteral("yyyyMMdd"));
                if (date.isValid())
                    key = FindPlanPeriodIndex(S.MpsPeriods, double(QDate(1899, 12, 30).daysTo(date)));
                if (key >= 0)
                    byKey[key] += SupQ->FieldByName(QStringLiteral("SupQty"))->AsFloat();
                continue;
            }
            key = PeriodKeyToIndex(line.left(eq));
            bool ok = false;
            const double v = TextToFloat(line.mid(eq + 1), &ok);
            if (key >= 0 && ok)
                byKey[key] += v;
        }
        batch.Add(QStringLiteral("update #QZ_MRP_Supplies set SupHints=%1 where SupIID=%2\r")
                      .arg(QuoteSQL(BuildHints(byKey)))
                      .arg(SupQ->FieldByName(QStringLiteral("SupIID"))->AsInteger()));
    }
    SupQ->Close();
    batch.Flush();
}

void TMRPRun::GatherMainDemands()
{
    const int iid = S.SchemeIID;
    if (S.PlanType == 0 || S.PlanType == 1) {
        if (S.PlanType == 0)
            RefreshMainQuantities();
        const QString freeName = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), 12)
                                                 : QString();
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdBillID, DmdBillNo, DmdBillEntry, "
                               "DmdBillDate, DmdBillQty, DmdSuppID, DmdDeptID, DmdOrigType, DmdOrigID, DmdOrigNo, DmdOrigEntry, "
                               "DmdOrigItmID, DmdOrigCustID, DmdOrigCustPO, DmdOrigTag, DmdOrigSubTag, DmdGroupType, "
                               "DmdGroupNo, DmdItmID, DmdItmProps, ") +
                    PropList(QStringLiteral("DmdItmProp")) +
                    QStringLiteral(", DmdDate, DmdPriority, DmdPSupIID, DmdBomType, DmdBomID, DmdUnitQty, DmdNeedQty, DmdQty, "
                                   "DmdNote, DmdHints, DmdPHints)\rselect ManPeriod, ManBillType, ManBillID, (case when "
                                   "rtrim(isnull(ManBillNo,''))='' then %1 else ManBillNo end), ManBillEntry, ManBillDate, "
                                   "ManBillQty, ManSuppID, ManDeptID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, "
                                   "ManOrigItmID, ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, "
                                   "ManGroupNo, ManItmID, ManItmProps, ")
                        .arg(QuoteSQL(freeName)) +
                    PropList(QStringLiteral("ManItmProp")) +
                    QStringLiteral(", ManDate, ManPriority, null, ManBomType, ManBomID, null, ManQty, ManQty, ManNote, "
                                   "ManHints, ManHints from QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType<=12 "
                                   "and ManQty>0 order by ManIID")
                        .arg(iid));
    }
    TiedGathered = (S.PlanType == 0 && S.PlanSource == 3) || S.PlanType == 2;
    if (TiedGathered) {
        struct TTied {
            const char* X;
            const char* objectID;
            int code;
            bool order;
        } tied[] = {{"MO", "QZ_MRP.MO", 22, true}, {"OO", "QZ_MRP.OO", 24, true}, {"MR", "QZ_MRP.MR", 34, false},
                    {"OR", "QZ_MRP.OR", 36, false}};
        for (const TTied& t : tied) {
            if (!t.order && (S.PlanType != 0 || !BillTypeExists(t.code)))
                continue;
            const QString X = QLatin1String(t.X);
            // The analyses read orders tied to their main demand, free within
            // the horizon, or not at all, by their source choice.
            bool free = false;
            if (S.PlanType != 0) {
                const int src = S.PlanSource;
                const bool none = t.code == 22 ? src >= 5 : (src == 3 || src == 4 || src >= 7);
                if (none)
                    continue;
                free = src != 0;
            }
            const QString qty = X == QLatin1String("MO") ? QStringLiteral("(case when s.MOQty>0 then s.MOQty else 0 end)")
                                : X == QLatin1String("OO")
                                    ? QStringLiteral("(case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end)")
                                    : QStringLiteral("s.%1Qty").arg(X);
            const QString chk = t.order ? QStringLiteral("s.%1ChkQty").arg(X) : QStringLiteral("null");
            const QString supp = (X == QLatin1String("OO") || X == QLatin1String("OR")) ? QStringLiteral("s.%1SuppID").arg(X)
                                                                                        : QStringLiteral("null");
            const QString locked = t.order ? QStringLiteral("1")
                                           : QStringLiteral("(case when s.%1BomID is null then 0 else 1 end)").arg(X);
            const QString fields =
                BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
                QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                    .arg(t.code)
                    .arg(X, supp) +
                kOrigMacros +
                (free ? QStringLiteral(", s.%1DelivDate, 50, -1, s.%1ItmID, ").arg(X)
                      : QStringLiteral(", s.%1DelivDate, 50+isnull(tmpm.ManPriority,0), -1, s.%1ItmID, ").arg(X)) +
                kPropMacros +
                QStringLiteral(", %1, %2, %1, %3, s.%4BomType, s.%4BomID, s.%4DrawDate, %5, left(isnull(s.%4Note,'')+'  "
                               "'+isnull(s.%4Remark,''), 500)")
                    .arg(qty, chk, locked, X,
                         free ? QStringLiteral("null")
                              : QStringLiteral("(case when tmpm.ManHints<>'' then tmpm.ManHints else "
                                               "'='+convert(char(8),tmpm.ManDate,112) end)"));
            const QString tail = free ? QString()
                                      : QStringLiteral(" join QZ_MRP_Main as tmpm with(nolock) on tmpm.ManSchIID=%1 and "
                                                       "tmpm.ManBillType=%2 and s.%3ID=tmpm.ManBillID and "
                                                       "s.%3Entry=tmpm.ManBillEntry")
                                            .arg(iid)
                                            .arg(t.code)
                                            .arg(X);
            QString filter = QStringLiteral("s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
            if (free)
                filter += QStringLiteral(" and s.%1DelivDate<'%2'")
                              .arg(X, DayToDateStr(DateToDay(GetPlanEndDate(S.MpsPeriods)) + 1));
            Exec(Q, kSupplyInsert + Select(QLatin1String(t.objectID), fields, filter, tail));
        }
    }
    if (S.PlanType == 0 || S.PlanSource == 0)
        NormaliseTiedSupplyHints();
    if (S.PlanType == 0)
        Exec(Q, kSupplyInsert +
                    QStringLiteral("select ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, "
                                   "ManSuppID, ManDeptID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, "
                                   "ManOrigCustID, ManOrigCustPO, ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManDate, "
                                   "ManPriority, -1, ManItmID, ManItmProps, ") +
                    PropList(QStringLiteral("ManItmProp")) +
                    QStringLiteral(", ManQty, null, ManQty, 1, ManBomType, ManBomID, ManBillDate, ManHints, ManNote from "
                                   "QZ_MRP_Main with(nolock) where ManSchIID=%1 and ManBillType>=42 and ManQty>0")
                        .arg(iid));
    if (S.PlanNeedScope == 0 && S.CareItemSafety == 2)
        Exec(Q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdOrigType, DmdOrigItmID, DmdPriority, "
                               "DmdItmID, DmdDate, DmdNeedQty, DmdQty)\rselect 0, 74, 74, t.ItmID, 98, t.ItmID, '%1', "
                               "ItmSafeQty, ItmSafeQty from QZ_MRP_ItemSetting as t with(nolock) join QZ_Base_ItemMaster as i "
                               "with(nolock) on t.ItmID=i.ItmID where (ItmDisabled=0 or ItmDisabled is null) and (ItmMrpSkip=0 "
                               "or ItmMrpSkip is null) and ItmSafeQty>0")
                        .arg(FirstPlanDayBefore()));
    if (((S.PlanNeedScope == 3 || S.PlanNeedScope == 4) && S.CareItemReplace != 0) || S.PlanNeedScope >= 5)
        Exec(Q, QStringLiteral("insert #QZ_MRP_MainItems (ManItmID, ManItmProps, ManGroupType, ManGroupNo)\rselect DmdItmID, "
                               "DmdItmProps, DmdGroupType, DmdGroupNo from #QZ_MRP_Demands with(nolock)\runion\rselect "
                               "SupItmID, SupItmProps, SupGroupType, SupGroupNo from #QZ_MRP_Supplies with(nolock)"));
    Exec(Q, DropIfExists(QStringLiteral("#QZ_MRP_LastSupAdjusts")) +
                QStringLiteral("select SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey, SupBillType, SupBomType, "
                               "SupBomID, SupAdjQty into #QZ_MRP_LastSupAdjusts from ") +
                (KeepAny ? QStringLiteral("QZ_MRP_SupAdjusts with(nolock) join QZ_MRP_Supplies with(nolock) on "
                                          "AdjSchIID=SupSchIID and AdjSupIID=SupIID where AdjSchIID=%1")
                               .arg(iid)
                         : QStringLiteral("QZ_MRP_Supplies with(nolock) where 1=0")) +
                QStringLiteral("\rcreate index #QZ_MRP_AdjItmID on #QZ_MRP_LastSupAdjusts (SupItmID, SupItmProps)"));
}

void TMRPRun::LevelItemScope(int level, const QString& itemExpr, QString& join, QString& where) const
{
    BuildLevelGatherJoin(S.PlanNeedScope, S.CareItemReplace, level, itemExpr, join, where);
}

void TMRPRun::GatherFreeSupplies(int level)
{
    const QString excludes = ReadSchemeFilter(S.DataFilters, QStringLiteral("[Excludes]"));
    auto excluded = [&](const QString& id) { return IsObjectExcluded(S.DataFilters, id); };
    Q_UNUSED(excludes);
    struct TFree {
        const char* X;
        const char* objectID;
        int code;
        bool order;   // production or outsourcing order: checked quantity and bill
        bool hasChk;
        bool hasSupp;
        bool hasBom;
    } sources[] = {
        {"MO", "QZ_MRP.MO", 22, true, true, false, true},   {"OO", "QZ_MRP.OO", 24, true, true, true, true},
        {"PO", "QZ_MRP.PO", 26, false, true, true, false},  {"PI", "QZ_MRP.PI", 28, false, true, true, false},
        {"MR", "QZ_MRP.MR", 34, false, false, false, true}, {"OR", "QZ_MRP.OR", 36, false, false, true, true},
        {"PR", "QZ_MRP.PR", 38, false, false, true, false}};
    for (const TFree& f : sources) {
        const QString objectID = QLatin1String(f.objectID);
        if (excluded(objectID))
            continue;
        if ((f.code == 28 || f.code == 34 || f.code == 36) && !BillTypeExists(f.code))
            continue;
        const QString X = QLatin1String(f.X);
        const QString qty = f.hasChk ? QStringLiteral("(case when s.%1Qty>($$%1ChkQty$$) then s.%1Qty else ($$%1ChkQty$$) "
                                                      "end)")
                                           .arg(X)
                                     : QStringLiteral("s.%1Qty").arg(X);
        const QString chk = f.hasChk ? QStringLiteral("$$%1ChkQty$$").arg(X) : QStringLiteral("null");
        const QString supp = f.hasSupp ? QStringLiteral("s.%1SuppID").arg(X) : QStringLiteral("null");
        const QString bom = f.hasBom ? QStringLiteral("%1, s.%2BomType, s.%2BomID, s.%2DrawDate")
                                           .arg(f.order ? QStringLiteral("1")
                                                        : QStringLiteral("(case when s.%1BomID is null then 0 else 1 end)")
                                                              .arg(X))
                                           .arg(X)
                                     : QStringLiteral("0, 0, null, null");
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
                               QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                                   .arg(f.code)
                                   .arg(X, supp) +
                               kOrigMacros + QStringLiteral(", s.%1DelivDate, 50, null, s.%1ItmID, ").arg(X) + kPropMacros +
                               QStringLiteral(", %1, %2, %1, %3, null, left(isnull(s.%4Note,'')+'  '+isnull(s.%4Remark,''), "
                                              "500)")
                                   .arg(qty, chk, bom, X);
        QString where = QStringLiteral("s.CanMRP<>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null) and %1>0").arg(qty);
        QString join;
        LevelItemScope(level, QStringLiteral("s.%1ItmID").arg(X), join, where);
        QString tail = join;
        if (TiedGathered && (f.code == 22 || f.code == 24 || f.code == 34 || f.code == 36)) {
            tail += QStringLiteral(" left join #QZ_MRP_Supplies as tmpsup with(nolock) on tmpsup.SupBillType=%1 and "
                                   "s.%2ID=tmpsup.SupBillID and s.%2Entry=tmpsup.SupBillEntry")
                        .arg(f.code)
                        .arg(X);
            where += QStringLiteral(" and tmpsup.SupBillID is null");
        }
        Exec(Q, kSupplyInsert + Select(objectID, fields, where, tail));
    }
    Exec(Q, QStringLiteral("exec QZ_MRP_SetBOMForSupply"));

    GatherOrderComponents(level);
    // Production scrap to be replaced within the horizon.
    if (BillTypeExists(80) && !excluded(QStringLiteral("QZ_MRP.MOScrap"))) {
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.MspDrawDate")) +
                               QStringLiteral(", 80, s.MspID, s.MspNo, s.MspEntry, s.MspDate, s.MspBillQty, null, s.MspDeptID, ") +
                               kOrigMacros + QStringLiteral(", s.MspDrawDate, 50, null, s.MspItmID, ") + kPropMacros +
                               QStringLiteral(", null, s.MspQty, s.MspQty, null, left(isnull(s.MONo,'')+'/'+cast(s.MOEntry as "
                                              "varchar(10))+'/'+cast(s.BomEntry as varchar(10))+'  '+isnull(s.MspNote,'')+'  '+"
                                              "isnull(s.BomNote,'')+'  '+isnull(s.MONote,''), 500)");
        QString where = QStringLiteral("s.CanMRP<>0 and s.MspDrawDate<'%1' and s.MspQty>0 and (mt.ItmMrpSkip=0 or "
                                       "mt.ItmMrpSkip is null)")
                            .arg(DayToDateStr(DateToDay(GetPlanEndDate(S.MpsPeriods)) + 1));
        QString join;
        LevelItemScope(level, QStringLiteral("s.MspItmID"), join, where);
        Exec(Q, kDemandInsert + Select(QStringLiteral("QZ_MRP.MOScrap"), fields, where, join));
    }
    // Inventory of the scheme's stocks: negative stock is a demand, the rest
    // goes through the inventory procedures.
    if (!excluded(QStringLiteral("QZ_MRP.Inventory"))) {
        QStringList stocks;
        for (const QString& id : ReadSchemeFilter(S.DataFilters, QStringLiteral("[QZ_MRP.Stocks]")).split(u'|', Qt::SkipEmptyParts))
            if (!id.trimmed().isEmpty())
                stocks << QuoteSQL(id.trimmed());
        // An empty list restricts nothing.
        const QString stockCond = stocks.isEmpty() ? QString()
                                                   : QStringLiteral("s.InvStkID in (") + stocks.join(QStringLiteral(", ")) +
                                                         QStringLiteral(") and ");
        QString whereNeg = stockCond + QStringLiteral("s.InvQty<0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
        QString join;
        LevelItemScope(level, QStringLiteral("s.InvItmID"), join, whereNeg);
        const QString negFields = QStringLiteral("0, 72, null, null, null, null, null, null, null, ") + kOrigMacros +
                                  QStringLiteral(", '%1', 50, null, s.InvItmID, ").arg(FirstPlanDayBefore()) + kPropMacros +
                                  QStringLiteral(", null, -s.InvQty, -s.InvQty, null, s.InvBatch");
        Exec(Q, kDemandInsert + Select(QStringLiteral("QZ_MRP.Inventory"), negFields, whereNeg, join));
        QString wherePos = stockCond + QStringLiteral("s.InvQty>0 and (mt.ItmMrpSkip=0 or mt.ItmMrpSkip is null)");
        LevelItemScope(level, QStringLiteral("s.InvItmID"), join, wherePos);
        const QString posFields = QStringLiteral("s.InvItmID, ") + kPropMacros +
                                  QStringLiteral(", s.InvBatch, $$OrigType$$, $$OrigID$$, $$OrigNo$$, $$OrigEntry$$, "
                                                 "$$OrigItmID$$, $$OrigCustID$$, $$OrigCustPO$$, $$OrigTag$$, "
                                                 "isnull($$MRPGroupType$$, 0), isnull($$MRPGroupNo$$, ''), s.InvQty");
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_ItemInventory\rinsert #QZ_MRP_ItemInventory (InvItmID, InvItmProps, ") +
                    PropList(QStringLiteral("InvItmProp")) +
                    QStringLiteral(", InvBatch, InvOrigType, InvOrigID, InvOrigNo, InvOrigEntry, InvOrigItmID, InvOrigCustID, "
                                   "InvOrigCustPO, InvOrigTag, InvGroupType, InvGroupNo, InvQty)\r") +
                    Select(QStringLiteral("QZ_MRP.Inventory"), posFields, wherePos, join) +
                    QStringLiteral("\rexec QZ_MRP_GetInventoryForDemand '%1'\rexec QZ_MRP_GetInventoryForSupply")
                        .arg(FirstPlanDayBefore()));
    }
    if (S.DemandByOrigDate) {
        Exec(Q, QStringLiteral("truncate table #QZ_MRP_MainOrigDates\rinsert #QZ_MRP_MainOrigDates (ManBillType, ManBillID, "
                               "ManBillDate)\rselect DmdOrigType, DmdOrigID, min(SODate) from #QZ_MRP_Demands as d "
                               "with(nolock) join QZ_MRP_SOHead with(nolock) on DmdOrigType=2 and DmdOrigID=SOID group by "
                               "DmdOrigType, DmdOrigID\runion\rselect DmdOrigType, DmdOrigID, min(SIDate) from "
                               "#QZ_MRP_Demands as d with(nolock) join QZ_MRP_SIHead with(nolock) on DmdOrigType=4 and "
                               "DmdOrigID=SIID group by DmdOrigType, DmdOrigID\runion\rselect DmdOrigType, DmdOrigID, "
                               "min(ForDate) from #QZ_MRP_Demands as d with(nolock) join QZ_MRP_ForcastHead with(nolock) on "
                               "DmdOrigType=8 and DmdOrigID=ForID group by DmdOrigType, DmdOrigID"));
    }
}

void TMRPRun::GatherOrderComponents(int level, bool ordersOfLevel)
{
    const bool mainItems = ordersOfLevel && S.PlanNeedScope >= 5;
    // Pending issues are gathered level by level, for the level's items.
    const bool pendingIssues = level >= 0 && S.PlanNeedScope != 0 && S.PlanNeedScope % 2 == 0;
    for (const untMRPOrderLines::TOrderLineSelect& c :
         untMRPOrderLines::OrderLineSelects(ordersOfLevel, level, mainItems, pendingIssues)) {
        if (IsObjectExcluded(S.DataFilters, c.ObjectID))
            continue;
        const bool outsourced = c.OrderCode == 24;
        const QString fields = BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.BomDrawDate")) +
                               QStringLiteral(", %1, s.BomID, s.BomNo, s.BomEntry, s.BomDate, s.BomBillQty, %2, ")
                                   .arg(c.DemandCode)
                                   .arg(outsourced ? QStringLiteral("s.BomSuppID, null") : QStringLiteral("null, s.BomDeptID")) +
                               kOrigMacros +
                               QStringLiteral(", s.BomDrawDate, isnull(tmpsup.SupPriority, 50), tmpsup.SupIID, s.BomItmID, ") +
                               kPropMacros +
                               QStringLiteral(", s.BomUnitQty, s.BomQty, s.BomQty, s.BomRowHook, ") +
                               // Lines brought in level by level also carry their order's note.
                               (ordersOfLevel ? QStringLiteral("left(isnull(s.BomNote,'')+'  '+isnull(s.%1Note,''), 500)")
                                                    .arg(outsourced ? QStringLiteral("OO") : QStringLiteral("MO"))
                                              : QStringLiteral("left(s.BomNote, 500)"));
        QString where = c.Where;
        QString join;
        if (!ordersOfLevel)
            LevelItemScope(level, QStringLiteral("s.BomItmID"), join, where);
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, c.ObjectID, fields, where, QString(), QString(), QString(),
                                                     join + c.Tail);
        if (sql.isEmpty()) {
            // Named as the planner knows the lines: by their bill type.
            const QString name = ordersOfLevel && InfoApplication
                                     ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), c.DemandCode)
                                     : c.ObjectID;
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {name}));
        }
        Exec(Q, kDemandInsert + sql);
    }
}

// Open production and outsourcing orders that own material demands of the
// run but are no supplies of it: they become supplies (after the balance) so
// that those demands have a parent for the kit quantities.
void TMRPRun::AddOrdersOfMaterialDemands()
{
    struct TOrder {
        const char* X;
        const char* objectID;
        int code;
        int demandCode;
        const char* bomTable;
    } orders[] = {{"MO", "QZ_MRP.MO", 22, 84, "QZ_MRP_MOBOM"}, {"OO", "QZ_MRP.OO", 24, 82, "QZ_MRP_OOBOM"}};
    for (const TOrder& o : orders) {
        const QString X = QLatin1String(o.X);
        const bool outsourced = o.code == 24;
        const QString fields =
            BuildPeriodCaseSQL(S.MpsPeriods, QStringLiteral("s.%1DelivDate").arg(X)) +
            QStringLiteral(", %1, s.%2ID, s.%2No, s.%2Entry, s.%2Date, s.%2BillQty, %3, s.%2DeptID, ")
                .arg(o.code)
                .arg(X, outsourced ? QStringLiteral("s.OOSuppID") : QStringLiteral("null")) +
            kOrigMacros + QStringLiteral(", s.%1DelivDate, 0, -2, s.%1ItmID, ").arg(X) + kPropMacros +
            (outsourced ? QStringLiteral(", (case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end), s.OOChkQty, "
                                         "(case when s.OOQty>s.OOChkQty then s.OOQty else s.OOChkQty end)")
                        : QStringLiteral(", (case when s.MOQty>0 then s.MOQty else 0 end), null, (case when s.MOQty>0 then "
                                         "s.MOQty else 0 end)")) +
            QStringLiteral(", 1, s.%1BomType, s.%1BomID, s.%1DrawDate, null, left(isnull(s.%1Note,'')+'  '+"
                           "isnull(s.%1Remark,''), 500)")
                .arg(X);
        const QString tail =
            QStringLiteral(" join (select distinct MOID, MOEntry from #QZ_MRP_Demands with(nolock) join %1 with(nolock) on "
                           "DmdBillType=%2 and DmdBillID=BomID and DmdBillEntry=BomEntry where DmdPSupIID is null) as tmpmo on "
                           "s.MOID=tmpmo.MOID and s.MOEntry=tmpmo.MOEntry left join #QZ_MRP_Supplies as tmpsup with(nolock) "
                           "on tmpsup.SupBillType=%3 and s.MOID=tmpsup.SupBillID and s.MOEntry=tmpsup.SupBillEntry")
                .arg(QLatin1String(o.bomTable))
                .arg(o.demandCode)
                .arg(o.code)
                .replace(QStringLiteral("MOID"), X + QStringLiteral("ID"))
                .replace(QStringLiteral("MOEntry"), X + QStringLiteral("Entry"));
        const QString sql = BuildInfoObjectSelectSQL(S, Cache, QLatin1String(o.objectID), fields,
                                                     QStringLiteral("tmpsup.SupBillID is null"), QString(), QString(),
                                                     QString(), tail);
        if (sql.isEmpty()) {
            const QString name = InfoApplication ? InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), o.code)
                                                 : QString::number(o.code);
            throw Exception(untMRPUtils::FormatMessage(untMRPDataTypes::SObjectAccessRestricted(), {name}));
        }
        Exec(Q, kSupplyInsert + sql);
        Exec(Q, QStringLiteral("update t set DmdPSupIID=SupIID from #QZ_MRP_Demands as t join %1 with(nolock) on "
                               "DmdBillType=%2 and DmdBillID=BomID and DmdBillEntry=BomEntry join #QZ_MRP_Supplies with(nolock) "
                               "on SupBillType=%3 and %4ID=SupBillID and %4Entry=SupBillEntry where DmdPSupIID is null")
                    .arg(QLatin1String(o.bomTable))
                    .arg(o.demandCode)
                    .arg(o.code)
                    .arg(X));
    }
}
