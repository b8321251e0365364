// Netting and allotment of one level, and its planned supplies.
#include "untMRPCalendar.h"
#include "untMRPLevel.h"
#include "Exceptions.h"
#include <QDate>
#include <QSet>
#include <map>
#include <tuple>
#include <gtest/gtest.h>

using namespace untMRPUtils;

namespace {

std::int64_t Day(int y, int m, int d)
{
    return QDate(1899, 12, 30).daysTo(QDate(y, m, d));
}

// Weekly periods from Monday 2024-04-01 for eight weeks.
TPlanPeriods Weeks()
{
    TPlanPeriods p;
    QString text;
    for (int w = 0; w <= 8; ++w)
        text += QString::number(Day(2024, 4, 1) + 7 * w) + "|";
    TextToPlanPeriods(text, p);
    return p;
}

TInt64DynArray Weekends()
{
    TInt64DynArray h;
    for (std::int64_t d = Day(2024, 1, 1); d <= Day(2024, 12, 31); ++d)
        if (QDate(1899, 12, 30).addDays(d).dayOfWeek() >= 6)
            h.push_back(d);
    return h;
}

TMRPLevelPlanner::TOptions Options()
{
    TMRPLevelPlanner::TOptions o;
    o.MpsPeriods = Weeks();
    o.Holidays = Weekends();
    return o;
}

int NextIID = 1;

TMRPLevelDemandRow Demand(const QString& item, double qty, std::int64_t day, int billType = 12)
{
    TMRPLevelDemandRow r;
    r.DmdIID = NextIID++;
    r.DmdBillType = billType;
    r.Item.ItmID = item;
    r.DmdQty = qty;
    r.DmdBillQty = qty;
    r.DmdDate = static_cast<double>(day);
    r.DmdPeriod = std::max(0, FindPlanPeriodIndex(Weeks(), day));
    r.DmdSupType = 58;
    r.ItmDecimal = 2;
    return r;
}

TMRPLevelSupplyRow Supply(const QString& item, int billType, double qty, std::int64_t day = Day(2024, 4, 1))
{
    TMRPLevelSupplyRow r;
    r.SupIID = 1000 + NextIID++;
    r.SupBillType = billType;
    r.Item.ItmID = item;
    r.SupRestQty = qty;
    r.SupBillQty = qty;
    r.SupDate = static_cast<double>(day);
    r.SupPeriod = std::max(0, FindPlanPeriodIndex(Weeks(), day));
    return r;
}

struct Level {
    TMRPLevelPlanner P;
    explicit Level(TMRPLevelPlanner::TOptions o = Options()) : P(std::move(o)) {}
    void Net(const std::vector<TMRPLevelDemandRow>& d, const std::vector<TMRPLevelSupplyRow>& s,
             const std::vector<TMRPLevelSubstituteRow>& subs = {}, const std::vector<TMRPLevelAdjustRow>& adj = {})
    {
        P.Run(d, s, subs, adj);
    }
    const TMRPDemandRec& Dmd(int iid) const
    {
        for (const auto& d : P.Demands)
            if (d.DmdIID == iid)
                return d;
        throw std::runtime_error("no demand");
    }
    const TMRPSupplyRec& Sup(int iid) const
    {
        for (const auto& s : P.Supplies)
            if (s.SupIID == iid)
                return s;
        throw std::runtime_error("no supply");
    }
    // Allotted quantity from a supply to a demand (demand side), and the pass.
    double Allotted(int supIID, int dmdIID, int* track = nullptr) const
    {
        double q = 0;
        for (const auto& it : P.Items)
            for (int k = 0; k < it.ItmAltCnt; ++k) {
                const auto& a = it.ItmAllots[k];
                if (P.Supplies[a.AltSupIndex].SupIID == supIID && P.Details[a.AltDtlIndex].DtlDmdRec->DmdIID == dmdIID
                    && a.AltQty > 0) {
                    q += a.AltReplQty;
                    if (track)
                        *track = a.AltTrackLevel;
                }
            }
        return q;
    }
    QString AllWrites() const { return P.WriteTexts.join(QString()); }
    QString AllPlanned() const { return P.PlannedTexts.join(QString()); }
};

TMRPDemandDetailRecs MakeDetails(std::vector<TMRPDemandRec>& dmds, const std::vector<std::pair<int, std::int64_t>>& cases)
{
    TMRPDemandDetailRecs dtls;
    for (const auto& [dmd, day] : cases) {
        TMRPDemandDetailRec d;
        d.DtlDmdRec = &dmds[dmd];
        d.DtlDate = day;
        dtls.push_back(d);
    }
    return dtls;
}

} // namespace

TEST(SortDetails, AllotmentOrder)
{
    std::vector<TMRPDemandRec> d(5);
    for (int i = 0; i < 5; ++i)
        d[i].DmdRecNo = i;
    d[0].DmdPriority = 2; d[0].DmdBillType = 12; d[0].DmdItmIndex = 1;
    d[1].DmdPriority = 5; d[1].DmdBillType = 12; d[1].DmdItmIndex = 0; // higher priority
    d[2].DmdPriority = 2; d[2].DmdBillType = 8; d[2].DmdItmIndex = 1;  // lower bill type
    d[3].DmdPriority = 2; d[3].DmdBillType = 12; d[3].DmdItmIndex = 0; // same as 0, later row
    d[4].DmdPriority = 98; d[4].DmdBillType = 74; d[4].DmdItmIndex = 1; d[4].DmdOrigDate = 1;
    // Details: demand 0 on two dates, the others on day 10.
    auto dtls = MakeDetails(d, {{0, 11}, {0, 10}, {1, 10}, {2, 10}, {3, 10}, {4, 5}});
    TMRPDemandDetailList list;
    for (int i = 0; i < 6; ++i)
        list.Add(i);
    list.SortDetails(dtls, false);
    // Origin date first (demand 4 last), then date, priority desc, bill type, row.
    EXPECT_EQ(list.Items(), (std::vector<int>{2, 3, 1, 4, 0, 5}));
    list.SortDetails(dtls, true);
    // By items: item 0 (demands 1, 3) before item 1 (0, 2, 4), each in the order above.
    EXPECT_EQ(list.Items(), (std::vector<int>{2, 4, 3, 1, 0, 5}));

    // Negative priorities and dates far outside the usual range keep the same order.
    for (const std::int64_t shift : {std::int64_t(-40000), std::int64_t(1) << 40}) {
        std::vector<TMRPDemandRec> e = d;
        for (TMRPDemandRec& r : e) {
            r.DmdPriority = static_cast<std::int16_t>(r.DmdPriority - 100);
            r.DmdOrigDate += shift;
        }
        auto shifted = MakeDetails(e, {{0, 11 + shift}, {0, 10 + shift}, {1, 10 + shift}, {2, 10 + shift},
                                       {3, 10 + shift}, {4, 5 + shift}});
        TMRPDemandDetailList again;
        for (int i = 0; i < 6; ++i)
            again.Add(i);
        again.SortDetails(shifted, false);
        EXPECT_EQ(again.Items(), (std::vector<int>{2, 3, 1, 4, 0, 5})) << shift;
        again.SortDetails(shifted, true);
        EXPECT_EQ(again.Items(), (std::vector<int>{2, 4, 3, 1, 0, 5})) << shift;
    }

    TMRPDemandDetailList one;
    one.Add(3);
    one.SortDetails(dtls, true);
    EXPECT_EQ(one.Items(), std::vector<int>{3});
    TMRPDemandDetailList none;
    none.SortDetails(dtls, true);
    EXPECT_EQ(none.Count(), 0);
}

// Whatever the spread of the values (a level's usual few hundred days and
// rows, or dates and rows far apart), the order is the one compared field by
// field: item, origin date, date, priority descending, bill type, row, detail.
TEST(SortDetails, OrderHoldsForAnySpread)
{
    struct Spread {
        const char* name;
        std::int64_t days;  // dates drawn from [base, base + days)
        std::int64_t base;
        int rows;           // row numbers drawn from [0, rows)
    };
    const Spread spreads[] = {
        {"a level's usual", 400, 46000, 300},
        {"one day, one row", 1, 46000, 1},
        {"dates over 32 bits", std::int64_t(1) << 31, -(std::int64_t(1) << 30), 300},
        {"dates beyond 32 bits", std::int64_t(1) << 45, -(std::int64_t(1) << 44), 1 << 30},
    };
    std::uint64_t seed = 12345;
    auto next = [&](std::uint64_t n) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        return (seed >> 17) % n;
    };
    for (const Spread& sp : spreads) {
        std::vector<TMRPDemandRec> dmds(200);
        for (TMRPDemandRec& d : dmds) {
            d.DmdRecNo = int(next(std::uint64_t(sp.rows)));
            d.DmdItmIndex = int(next(4));
            d.DmdOrigDate = next(3) == 0 ? 0 : sp.base + std::int64_t(next(std::uint64_t(sp.days)));
            d.DmdPriority = static_cast<std::int16_t>(int(next(5)) * 40 - 80);
            d.DmdBillType = static_cast<std::uint8_t>(next(3) * 40 + 2);
        }
        std::vector<std::pair<int, std::int64_t>> cases;
        for (int i = 0; i < 600; ++i)
            cases.push_back({int(next(dmds.size())), sp.base + std::int64_t(next(std::uint64_t(sp.days)))});
        const auto dtls = MakeDetails(dmds, cases);
        for (const bool byItems : {false, true}) {
            // added out of order, as the uncovered details are
            TMRPDemandDetailList list;
            for (int i = 599; i >= 0; --i)
                list.Add(i);
            list.SortDetails(dtls, byItems);
            std::vector<int> expected(600);
            for (int i = 0; i < 600; ++i)
                expected[i] = i;
            std::sort(expected.begin(), expected.end(), [&](int a, int b) {
                const TMRPDemandRec& x = *dtls[a].DtlDmdRec;
                const TMRPDemandRec& y = *dtls[b].DtlDmdRec;
                const auto key = [&](const TMRPDemandRec& d, int i) {
                    return std::make_tuple(byItems ? d.DmdItmIndex : 0, d.DmdOrigDate, dtls[i].DtlDate,
                                           -int(d.DmdPriority), int(d.DmdBillType), d.DmdRecNo, i);
                };
                return key(x, a) < key(y, b);
            });
            EXPECT_EQ(list.Items(), expected) << sp.name << (byItems ? ", by items" : "");
        }
    }
}

TEST(ItemKeys, OrderLikeTheDatabase)
{
    struct Case { TMRPItemKey a, b; int expected; };
    const Case cases[] = {
        {{"1001", "", 0, ""}, {"10011", "", 0, ""}, -1},    // text key would put "10011|" first
        {{"A", "", 9, ""}, {"A", "", 10, ""}, -1},          // group types compare as numbers
        {{"abc", "x", 0, "G"}, {"ABC  ", "X", 0, "g "}, 0}, // case and trailing blanks ignored
        {{"A", "p1", 0, ""}, {"A", "p2", 0, ""}, -1},
        {{"A", "", 1, "b"}, {"A", "", 1, "a"}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompareItemKeys(c.a, c.b), c.expected) << c.a.ItmID.toStdString() << " " << c.b.ItmID.toStdString();
        EXPECT_EQ(CompareItemKeys(c.b, c.a), -c.expected);
    }
    const TMRPItemKey k{"I|1", "P", 12, "SO-1/2"};
    const TMRPItemKey back = SplitItemKeyText(BuildItemKeyText(TMRPItemKey{"I1", "P|x", 12, "SO|1"}));
    EXPECT_EQ(back.ItmID, "I1");
    EXPECT_EQ(back.Props, "P|x");
    EXPECT_EQ(back.GroupType, 12);
    EXPECT_EQ(back.GroupNo, "SO|1");
    (void)k;
}

TEST(LevelLoad, SuppliesFindTheirItemsWhateverTheKeyText)
{
    // Rows in the database's order: 1001 before 10011, group 9 before 10.
    auto d1 = Demand("1001", 5, Day(2024, 4, 3));
    auto d2 = Demand("10011", 5, Day(2024, 4, 3));
    auto d3 = Demand("A", 5, Day(2024, 4, 3));
    d3.Item.GroupType = 9;
    auto d4 = Demand("A", 5, Day(2024, 4, 3));
    d4.Item.GroupType = 10;
    auto s1 = Supply("1001", 16, 5);
    auto s2 = Supply("10011", 16, 5);
    auto s3 = Supply("a ", 16, 5); // same item as "A", other case, trailing blank
    s3.Item.GroupType = 9;
    auto s4 = Supply("A", 16, 5);
    s4.Item.GroupType = 10;
    Level l;
    l.Net({d1, d2, d3, d4}, {s1, s2, s3, s4});
    EXPECT_EQ(l.P.Items.size(), 4u);
    EXPECT_DOUBLE_EQ(l.Allotted(s1.SupIID, d1.DmdIID), 5);
    EXPECT_DOUBLE_EQ(l.Allotted(s2.SupIID, d2.DmdIID), 5);
    EXPECT_DOUBLE_EQ(l.Allotted(s3.SupIID, d3.DmdIID), 5);
    EXPECT_DOUBLE_EQ(l.Allotted(s4.SupIID, d4.DmdIID), 5);
    EXPECT_TRUE(l.P.PlannedSupplies.empty());
}

TEST(LevelPasses, OriginLineThenDocumentThenFree)
{
    auto so = Demand("X", 30, Day(2024, 4, 10), 2);
    so.DmdOrigType = 2; so.DmdOrigID = "SO1"; so.DmdOrigEntry = 1;
    auto free = Demand("X", 5, Day(2024, 4, 2), 12); // earlier but without origin
    // In select order: stock, then orders. The free stock would go first to an earlier demand.
    auto any = Supply("X", 26, 10);
    auto doc = Supply("X", 26, 10);
    doc.SupOrigType = 2; doc.SupOrigID = "so1"; doc.SupOrigEntry = 7;
    auto line = Supply("X", 26, 10);
    line.SupOrigType = 2; line.SupOrigID = "SO1"; line.SupOrigEntry = 1;
    Level l;
    l.Net({so, free}, {any, doc, line});
    int t = -1;
    EXPECT_DOUBLE_EQ(l.Allotted(line.SupIID, so.DmdIID, &t), 10);
    EXPECT_EQ(t, 2);
    EXPECT_DOUBLE_EQ(l.Allotted(doc.SupIID, so.DmdIID, &t), 10);
    EXPECT_EQ(t, 1);
    // Pass 0 serves the earlier free demand before the order's rest.
    EXPECT_DOUBLE_EQ(l.Allotted(any.SupIID, free.DmdIID, &t), 5);
    EXPECT_EQ(t, 0);
    EXPECT_DOUBLE_EQ(l.Allotted(any.SupIID, so.DmdIID), 5);
    EXPECT_DOUBLE_EQ(l.Dmd(so.DmdIID).DmdPOQty, 25);
    EXPECT_DOUBLE_EQ(l.Dmd(so.DmdIID).DmdQty, 0); // the rest 5 is planned
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    EXPECT_DOUBLE_EQ(l.P.PlannedSupplies[0].SupQty, 5);
}

TEST(LevelPasses, PriorityAndSafetyStockFirst)
{
    auto low = Demand("X", 8, Day(2024, 4, 10));
    low.DmdPriority = 1;
    auto high = Demand("X", 8, Day(2024, 4, 10));
    high.DmdPriority = 2;
    auto safety = Demand("X", 3, Day(2024, 3, 31), 74);
    safety.DmdPriority = 98;
    auto stock = Supply("X", 16, 12);
    Level l;
    l.Net({low, high, safety}, {stock});
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, safety.DmdIID), 3);
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, high.DmdIID), 8);
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, low.DmdIID), 1);
    EXPECT_DOUBLE_EQ(l.Dmd(high.DmdIID).DmdInvQty, 8);
}

TEST(LevelPasses, OriginDateOrdersWhenAsked)
{
    auto later = Demand("X", 5, Day(2024, 4, 3));
    later.DmdOrigDate = static_cast<double>(Day(9999, 12, 31)); // origin without a bill date
    auto earlier = Demand("X", 5, Day(2024, 4, 10));
    earlier.DmdOrigDate = static_cast<double>(Day(2024, 3, 1));
    auto stock = Supply("X", 16, 5);
    auto o = Options();
    o.DemandByOrigDate = true;
    Level with(o);
    with.Net({later, earlier}, {stock});
    EXPECT_DOUBLE_EQ(with.Allotted(stock.SupIID, earlier.DmdIID), 5);
    Level without;
    without.Net({later, earlier}, {stock});
    EXPECT_DOUBLE_EQ(without.Allotted(stock.SupIID, later.DmdIID), 5);
}

TEST(LevelPasses, BomLockedDemand)
{
    auto d = Demand("X", 10, Day(2024, 4, 10));
    d.DmdBomLocked = true; d.DmdBomType = 1; d.DmdBomID = "B1";
    auto mo = Supply("X", 22, 10);
    mo.SupBomType = 1; mo.SupBomID = "B2"; mo.SupBomLocked = true;
    auto moSame = Supply("X", 22, 3);
    moSame.SupBomType = 1; moSame.SupBomID = "b1"; moSame.SupBomLocked = true;
    auto stock = Supply("X", 16, 4);
    Level l;
    l.Net({d}, {stock, mo, moSame});
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, d.DmdIID), 4);
    EXPECT_DOUBLE_EQ(l.Allotted(moSame.SupIID, d.DmdIID), 3);
    EXPECT_DOUBLE_EQ(l.Allotted(mo.SupIID, d.DmdIID), 0);
}

TEST(LevelSubstitutes, RatioOneToTwo)
{
    struct Case { double stock; double covered; double taken; };
    for (const Case c : {Case{30, 10, 20}, Case{12, 6, 12}}) {
        auto d = Demand("X", 10, Day(2024, 4, 10));
        auto s = Supply("Y", 16, c.stock);
        auto o = Options();
        o.CareItemReplace = 1;
        Level l(o);
        l.Net({d}, {s}, {{d.DmdIID, "Y|\r", 1, 2, false}});
        EXPECT_DOUBLE_EQ(l.Allotted(s.SupIID, d.DmdIID), c.covered);
        EXPECT_DOUBLE_EQ(l.Sup(s.SupIID).SupAllotQty, c.taken);
        EXPECT_DOUBLE_EQ(l.Sup(s.SupIID).SupAReplQty, c.taken);
        EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdReplQty, c.covered);
        EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdInvQty, c.covered);
        EXPECT_TRUE(l.AllWrites().contains(QStringLiteral(", 0, -1, %1)").arg(SQLQty(c.covered))))
            << l.AllWrites().toStdString();
    }
}

TEST(LevelSubstitutes, ReplaceOptionChoosesSupplyKinds)
{
    struct Case { int care; double expected; };
    for (const Case c : {Case{1, 2}, Case{2, 5}, Case{3, 9}}) {
        auto d = Demand("X", 20, Day(2024, 4, 10));
        auto stock = Supply("Y", 16, 2);
        auto po = Supply("Y", 26, 3);
        auto pr = Supply("Y", 38, 4);
        auto o = Options();
        o.CareItemReplace = c.care;
        Level l(o);
        l.Net({d}, {stock, po, pr}, {{d.DmdIID, "y|\r", 1, 1, false}});
        EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdReplQty, c.expected) << c.care;
    }
}

TEST(LevelSubstitutes, OwnGroupBeforeOtherGroups)
{
    auto d = Demand("X", 5, Day(2024, 4, 10));
    d.Item.GroupType = 2; d.Item.GroupNo = "SO1";
    auto other = Supply("Y", 16, 5); // group 0
    auto own = Supply("Y", 16, 5);
    own.Item.GroupType = 2; own.Item.GroupNo = "SO1";
    auto o = Options();
    o.CareItemReplace = 1;
    Level l(o);
    l.Net({d}, {other, own}, {{d.DmdIID, "Y|\r", 1, 1, false}});
    EXPECT_DOUBLE_EQ(l.Allotted(own.SupIID, d.DmdIID), 5);
    EXPECT_DOUBLE_EQ(l.Allotted(other.SupIID, d.DmdIID), 0);
}

TEST(LevelSubstitutes, ZeroRatioStopsWithItemNames)
{
    auto d = Demand("X-1", 10, Day(2024, 4, 10));
    auto s = Supply("Y-2", 16, 30);
    auto o = Options();
    o.CareItemReplace = 1;
    Level l(o);
    try {
        l.Net({d}, {s}, {{d.DmdIID, "Y-2|\r", 1, 0, false}});
        FAIL() << "no stop";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message.contains("X-1")) << e.Message.toStdString();
        EXPECT_TRUE(e.Message.contains("Y-2"));
    }
}

TEST(LevelRebalance, StockTakesOverRequisitionsThenOrders)
{
    // The order line's own requisition and purchase order are taken in the
    // first pass; the free stock then takes those allotments over, the
    // requisition's first.
    auto so = Demand("X", 10, Day(2024, 4, 10), 2);
    so.DmdOrigType = 2; so.DmdOrigID = "SO1"; so.DmdOrigEntry = 1;
    auto stock = Supply("X", 16, 7);
    auto po = Supply("X", 26, 5);
    po.SupOrigType = 2; po.SupOrigID = "SO1"; po.SupOrigEntry = 1;
    auto pr = Supply("X", 38, 5);
    pr.SupOrigType = 2; pr.SupOrigID = "SO1"; pr.SupOrigEntry = 1;
    Level l;
    l.Net({so}, {stock, po, pr});
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, so.DmdIID), 7);
    EXPECT_DOUBLE_EQ(l.Allotted(pr.SupIID, so.DmdIID), 0);
    EXPECT_DOUBLE_EQ(l.Allotted(po.SupIID, so.DmdIID), 3);
    EXPECT_DOUBLE_EQ(l.Dmd(so.DmdIID).DmdInvQty, 7);
    EXPECT_DOUBLE_EQ(l.Dmd(so.DmdIID).DmdPOQty, 3);
    EXPECT_DOUBLE_EQ(l.Dmd(so.DmdIID).DmdPRQty, 0);
    EXPECT_DOUBLE_EQ(l.Sup(pr.SupIID).SupRestQty, 5);
    EXPECT_DOUBLE_EQ(l.Sup(po.SupIID).SupRestQty, 2);
    EXPECT_DOUBLE_EQ(l.Sup(stock.SupIID).SupRestQty, 0);
    EXPECT_DOUBLE_EQ(l.P.Items[0].ItmAltReqQty, 0);
    EXPECT_DOUBLE_EQ(l.P.Items[0].ItmAltProQty, 3);
    // The emptied allotment is not written.
    EXPECT_FALSE(l.AllWrites().contains(QStringLiteral(", %1, %2, '").arg(pr.SupIID).arg(so.DmdIID)));
}

TEST(LevelRebalance, OrdersTakeOverRequisitions)
{
    auto so = Demand("X", 10, Day(2024, 4, 10), 2);
    so.DmdOrigType = 2; so.DmdOrigID = "SO1"; so.DmdOrigEntry = 1;
    auto mo = Supply("X", 22, 6);
    auto pr = Supply("X", 38, 10);
    pr.SupOrigType = 2; pr.SupOrigID = "SO1"; pr.SupOrigEntry = 1;
    Level l;
    l.Net({so}, {mo, pr});
    EXPECT_DOUBLE_EQ(l.Allotted(mo.SupIID, so.DmdIID), 6);
    EXPECT_DOUBLE_EQ(l.Allotted(pr.SupIID, so.DmdIID), 4);
}

TEST(LevelDetails, DependentSplitRounding)
{
    struct Case { const char* parentHints; double parentQty; double billQty; int putInteger; int decimals;
                  std::vector<double> expected; };
    const Case cases[] = {
        {"01=3\r\n02=4", 7, 4, 1, 0, {2, 2}},
        {"01=1\r\n02=1\r\n03=1", 3, 1, 0, 2, {0.33, 0.34, 0.33}},
        {"01=5", 10, 4, 1, 0, {2, 2}},          // half the parent in the hints, the rest last
        {"01=0.1\r\n02=0.2", 0.3, 3, 1, 0, {1, 2}}, // 1.0000000000000002 is still 1
    };
    for (const Case& c : cases) {
        auto d = Demand("C", c.billQty, Day(2024, 4, 8), 94);
        d.HasParent = true;
        d.SupBillType = 42;
        d.SupBillQty = c.parentQty;
        d.SupHints = QString::fromUtf8(c.parentHints);
        d.SupDate = static_cast<double>(Day(2024, 4, 10));
        d.ItmPutInteger = c.putInteger;
        d.ItmDecimal = c.decimals;
        Level l;
        l.P.Load({d}, {}, {}, {});
        l.P.BuildDetails();
        std::vector<double> got;
        for (const auto& dtl : l.P.Details)
            got.push_back(dtl.DtlQty);
        ASSERT_EQ(got.size(), c.expected.size()) << c.parentHints;
        for (size_t i = 0; i < got.size(); ++i)
            EXPECT_NEAR(got[i], c.expected[i], 1e-12) << c.parentHints << " #" << i;
    }
}

TEST(LevelDetails, MainDemandSpreadByHints)
{
    auto d = Demand("X", 30, Day(2024, 4, 10), 8); // period 2
    d.DmdHints = "02=10\r\n04=15";
    Level l;
    l.P.Load({d}, {}, {}, {});
    l.P.BuildDetails();
    ASSERT_EQ(l.P.Details.size(), 2u);
    EXPECT_DOUBLE_EQ(l.P.Details[0].DtlQty, 15); // own period: 10 plus the 5 no hint holds
    EXPECT_EQ(l.P.Details[0].DtlDate, Day(2024, 4, 10));
    EXPECT_DOUBLE_EQ(l.P.Details[1].DtlQty, 15);
    EXPECT_EQ(l.P.Details[1].DtlDate, Day(2024, 4, 22));
    EXPECT_EQ(l.P.Details[1].DtlPeriod, 4);
    EXPECT_EQ(l.P.Demands[0].DmdHints, QStringLiteral("02=15\r\n04=15"));
}

TEST(LevelDetails, DayOffsetMovesWithPlannedParent)
{
    auto d = Demand("C", 4, Day(2024, 4, 8), 94); // parent's start date, a Monday
    d.HasParent = true;
    d.SupBillType = 42;
    d.SupPDmdIID = 5;
    d.SupLeadDays = 5;
    d.SupDate = static_cast<double>(Day(2024, 4, 15)); // need date a week later
    d.DmdDayOffset = 2;                                 // needed two working days after the start
    Level l;
    l.P.Load({d}, {}, {}, {});
    l.P.BuildDetails();
    EXPECT_EQ(l.P.Details.at(0).DtlDate, Day(2024, 4, 10));
    // The same for an existing order, counted from the demand's own date.
    d.SupBillType = 22;
    d.SupPDmdIID = 0;
    Level o;
    o.P.Load({d}, {}, {}, {});
    o.P.BuildDetails();
    EXPECT_EQ(o.P.Details.at(0).DtlDate, Day(2024, 4, 10));
}

TEST(LevelResidue, FloatingResidueCountsAsCovered)
{
    auto d = Demand("X", 0.1 + 0.2, Day(2024, 4, 10));
    d.ItmMinQty = 100;
    auto s1 = Supply("X", 16, 0.1);
    auto s2 = Supply("X", 16, 0.2);
    auto o = Options();
    o.CareItemLotRule = true;
    Level l(o);
    l.Net({d}, {s1, s2});
    EXPECT_TRUE(l.P.PlannedSupplies.empty());
    EXPECT_EQ(l.Dmd(d.DmdIID).DmdQty, 0);
    EXPECT_TRUE(l.AllPlanned().isEmpty());
}

TEST(LotRule, MinimumLotAndSurplus)
{
    auto d1 = Demand("X", 120, Day(2024, 4, 10));
    auto d2 = Demand("X", 25, Day(2024, 4, 10));
    auto d3 = Demand("X", 20, Day(2024, 4, 17));
    for (auto* d : {&d1, &d2, &d3}) {
        d->ItmMinQty = 100;
        d->ItmLotQty = 30;
    }
    auto o = Options();
    o.CareItemLotRule = true;
    Level l(o);
    l.Net({d1, d2, d3}, {});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    const auto& ps = l.P.PlannedSupplies[0];
    EXPECT_DOUBLE_EQ(ps.SupBillQty, 260);
    EXPECT_DOUBLE_EQ(ps.SupQty, 260);
    EXPECT_DOUBLE_EQ(ps.SupAllotQty, 165);
    EXPECT_DOUBLE_EQ(ps.SupRestQty, 95);
    EXPECT_EQ(ps.SupHints, QStringLiteral("02=160\r\n03=100"));
    EXPECT_EQ(ps.HeadDmdIID, d1.DmdIID);
    EXPECT_EQ(ps.SupPDmdIIDs, QStringLiteral("|%1:02=120\r\n|%2:02=25\r\n|%3:02=15\r\n|%3:03=5")
                                  .arg(d1.DmdIID).arg(d2.DmdIID).arg(d3.DmdIID));
    for (const auto& d : l.P.Demands) {
        EXPECT_EQ(d.DmdQty, 0);
        EXPECT_EQ(d.DmdPDmdIID1, d1.DmdIID);
    }
    EXPECT_DOUBLE_EQ(l.Dmd(d3.DmdIID).DmdPPPQty1, 20);
}

TEST(LotRule, BelowMinimumOffAndSingleTypes)
{
    struct Case { bool lotRule; int supType; double need; std::vector<double> expected; };
    const Case cases[] = {
        {true, 58, 40, {100}},
        {false, 58, 40, {40}},
        {true, 44, 40, {40, 40}}, // each demand of its own planned supply, no lot rule
        {true, 58, 130, {130}},
        {true, 58, 131, {160}},
    };
    for (const Case& c : cases) {
        auto d1 = Demand("X", c.need, Day(2024, 4, 10));
        d1.ItmMinQty = 100; d1.ItmLotQty = 30; d1.DmdSupType = c.supType;
        std::vector<TMRPLevelDemandRow> rows{d1};
        if (c.supType == 44) {
            auto d2 = d1;
            d2.DmdIID = NextIID++;
            rows.push_back(d2);
        }
        auto o = Options();
        o.CareItemLotRule = c.lotRule;
        Level l(o);
        l.Net(rows, {});
        std::vector<double> got;
        for (const auto& ps : l.P.PlannedSupplies)
            got.push_back(ps.SupQty);
        EXPECT_EQ(got, c.expected) << c.lotRule << " " << c.supType << " " << c.need;
    }
}

TEST(LotRule, MergedOriginAndLeadTime)
{
    auto a = Demand("X", 5, Day(2024, 4, 15), 2); // a Monday
    a.DmdOrigType = 2; a.DmdOrigID = "SO1"; a.DmdOrigCustID = "C1"; a.DmdOrigEntry = 1;
    a.ItmFixLeadTime = 2;
    a.ItmVarLeadTime = 1; a.ItmVarLeadLot = 10;
    auto b = Demand("X", 7, Day(2024, 4, 16), 2);
    b.DmdOrigType = 2; b.DmdOrigID = "SO1"; b.DmdOrigCustID = "C2"; b.DmdOrigEntry = 2;
    Level l;
    l.Net({a, b}, {});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    const auto& ps = l.P.PlannedSupplies[0];
    EXPECT_EQ(ps.SupOrigType, 2);
    EXPECT_EQ(ps.SupOrigID, "SO1");
    EXPECT_EQ(ps.SupOrigEntry, 0);
    EXPECT_TRUE(ps.SupOrigCustID.isEmpty());
    // Lead 2 + ceil(12/10*1) = 4 working days before Monday: the Tuesday before.
    EXPECT_EQ(ps.SupLeadDays, 4);
    EXPECT_EQ(ps.SupDate, Day(2024, 4, 15));
    EXPECT_EQ(ps.SupDrawDate, Day(2024, 4, 9));
    EXPECT_TRUE(l.AllPlanned().startsWith(TMRPLevelPlanner::PlannedSupplyHeader()));
    EXPECT_TRUE(l.AllPlanned().contains("'20240415', 4, 0, " + QString::number(a.DmdIID)
                                        + ", 0.00000000, 12.00000000, 12.00000000, 0.00000000, @bomlock"))
        << l.AllPlanned().toStdString();
}

TEST(LotRule, KeptAdjustments)
{
    auto d = Demand("X", 50, Day(2024, 4, 10));
    d.TrackKey = "T1";
    TMRPLevelAdjustRow adj;
    adj.Item.ItmID = "x";
    adj.SupTrackKey = "t1";
    adj.SupBillType = 42;
    adj.SupBomID = "B9";
    adj.SupAdjQty = -20;
    auto o = Options();
    o.HasAdjustQuery = o.AKeepTypeAdjusts = o.AKeepBomAdjusts = o.AKeepQtyAdjusts = true;
    Level l(o);
    l.Net({d}, {}, {}, {adj});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    const auto& ps = l.P.PlannedSupplies[0];
    EXPECT_EQ(ps.SupBillType, 42);
    EXPECT_DOUBLE_EQ(ps.SupAdjQty, -20);
    EXPECT_DOUBLE_EQ(ps.SupQty, 30);
    EXPECT_EQ(ps.SupHints, QStringLiteral("02=30\r\n"));
    EXPECT_TRUE(l.AllPlanned().contains("@bomid='B9'"));
    EXPECT_TRUE(l.AllPlanned().contains(
        "select @iid=@@identity\rinsert #QZ_MRP_SupAdjusts (AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty) "
        "values (@iid, 42, @bomid, 30.00000000)\r"));
    // A kept type takes the item's party of its own kind.
    for (const auto& [kept, party] : {std::pair{42, "D-MO"}, std::pair{52, "S-OO"}, std::pair{58, "S-PO"}}) {
        auto typed = d;
        typed.DmdSupType = 54;
        typed.DmdSupDept = "S-OO";
        typed.ItmMODeptID = "D-MO";
        typed.ItmPOSuppID = "S-PO";
        typed.ItmOOSuppID = "S-OO";
        auto keptAdj = adj;
        keptAdj.SupBillType = kept;
        Level k(o);
        k.Net({typed}, {}, {}, {keptAdj});
        EXPECT_EQ(k.P.PlannedSupplies.at(0).SupDept, QString::fromLatin1(party)) << kept;
    }
    // An adjustment beyond the quantity is cut at zero.
    adj.SupAdjQty = -80;
    Level cut(o);
    cut.Net({d}, {}, {}, {adj});
    EXPECT_DOUBLE_EQ(cut.P.PlannedSupplies.at(0).SupQty, 0);
    EXPECT_DOUBLE_EQ(cut.P.PlannedSupplies.at(0).SupAdjQty, -50);
}

TEST(LevelWrites, StatementTexts)
{
    auto d = Demand("X", 10, Day(2024, 4, 10));
    auto s = Supply("X", 26, 4, Day(2024, 4, 3));
    s.SupChkQty = 1;
    Level l;
    l.Net({d}, {s});
    const QString w = l.AllWrites();
    EXPECT_TRUE(w.contains(QStringLiteral(
        "insert #QZ_MRP_Allots (AltPeriod, AltSupIID, AltDmdIID, AltDate, AltAdjDays, AltTrack, AltQty, AltIsGrpx, "
        "AltIsRepl, AltReplQty) values (2, %1, %2, '20240410', 7, 0, 4.00000000, 0, 0, 4.00000000)\r\n")
                               .arg(s.SupIID)
                               .arg(d.DmdIID)))
        << w.toStdString();
    EXPECT_TRUE(w.contains(QStringLiteral("update #QZ_MRP_Supplies set SupQty=4.00000000, SupAllotQty=4.00000000, "
                                          "SupAReplQty=0.00000000, SupRestQty=0.00000000, SupHints='02=4', "
                                          "SupPHints='02=4' where SupIID=%1\r\n")
                               .arg(s.SupIID)));
    EXPECT_TRUE(w.contains(QStringLiteral(
        "update #QZ_MRP_Demands set DmdPeriod=2, DmdDate='20240410', DmdBillDate=(case when DmdBillDate=DmdDate "
        "then '20240410' else DmdBillDate end),DmdInvQty=0.00000000, DmdMOQty=0.00000000, DmdOOQty=0.00000000, "
        "DmdPOQty=4.00000000, DmdMRQty=0.00000000, DmdORQty=0.00000000, DmdPRQty=0.00000000, DmdChkQty=1.00000000, "
        "DmdPChkQty=1.00000000, DmdReplQty=0.00000000, DmdPPPQty1=6.00000000, DmdPPPQty2=0.00000000, "
        "DmdPDmdIID1=%1, DmdPDmdIID2='', DmdQty=0.00000000, DmdHints='' where DmdIID=%1\r\n")
                               .arg(d.DmdIID)))
        << w.toStdString();
}

TEST(LevelWrites, LargeLevelsSplitIntoBatches)
{
    std::vector<TMRPLevelDemandRow> dmds;
    std::vector<TMRPLevelSupplyRow> sups;
    for (int i = 0; i < 400; ++i) {
        dmds.push_back(Demand(QStringLiteral("I%1").arg(i, 4, 10, QLatin1Char('0')), 10, Day(2024, 4, 10)));
        sups.push_back(Supply(QStringLiteral("I%1").arg(i, 4, 10, QLatin1Char('0')), 16, 4));
    }
    QStringList executed;
    Level l;
    l.P.Run(dmds, sups, {}, {}, [&](const QString& sql) { executed << sql; });
    ASSERT_GT(executed.size(), 3);
    for (const QString& sql : executed)
        EXPECT_LE(sql.size(), TMRPSQLBatch::MaxBatchChars);
    EXPECT_EQ(executed.join(QString()).count("insert #QZ_MRP_Allots"), 400);
    EXPECT_EQ(executed.join(QString()).count("insert #QZ_MRP_Supplies"), 400);
    EXPECT_EQ(executed.join(QString()).count("update #QZ_MRP_Demands"), 400);
}

TEST(LevelWrites, BulkRowsComeInSlicesInTheirOrder)
{
    // More rows than one call takes: every row arrives once, no call holds
    // more than a slice, and the planned supplies keep the order of the texts.
    const int n = TMRPLevelPlanner::BulkRowsPerCall + 100;
    std::vector<TMRPLevelDemandRow> dmds;
    std::vector<TMRPLevelSupplyRow> sups;
    for (int i = 0; i < n; ++i) {
        dmds.push_back(Demand(QStringLiteral("I%1").arg(i, 5, 10, QLatin1Char('0')), 10, Day(2024, 4, 10)));
        sups.push_back(Supply(QStringLiteral("I%1").arg(i, 5, 10, QLatin1Char('0')), 16, 4));
    }
    QHash<QString, int> rows;
    QStringList plannedItems;
    int biggest = 0;
    Level bulk;
    bulk.P.RunBulk(dmds, sups, {}, {}, [&](const std::vector<TMRPBulkStatement>& writes) {
        for (const TMRPBulkStatement& st : writes) {
            const QString kind = st.Statement.section(QLatin1Char(' '), 0, 1);
            rows[kind] += int(st.Rows.size());
            biggest = std::max(biggest, int(st.Rows.size()));
            if (kind == QLatin1String("insert #QZ_MRP_Supplies"))
                for (const auto& row : st.Rows)
                    plannedItems << row[st.ParamNames.indexOf(QStringLiteral("@SupItmID"))].toString();
        }
    });
    EXPECT_LE(biggest, TMRPLevelPlanner::BulkRowsPerCall);
    EXPECT_EQ(rows.value("insert #QZ_MRP_Allots"), n);
    EXPECT_EQ(rows.value("update #QZ_MRP_Supplies"), n);
    EXPECT_EQ(rows.value("insert #QZ_MRP_Supplies"), n);
    EXPECT_EQ(rows.value("update #QZ_MRP_Demands"), n);
    Level texts;
    texts.Net(dmds, sups);
    QStringList textItems;
    for (const TMRPPlannedSupply& ps : texts.P.PlannedSupplies)
        textItems << texts.P.Items[ps.ItmIndex].ItmID;
    EXPECT_EQ(plannedItems, textItems);
}

TEST(LevelLoad, StockRowWithoutRestTakesItsShare)
{
    // The same stock seen twice: under a locked BOM with the whole rest, and
    // free with its own quantity but no rest of its own.
    auto locked = Supply("X", 16, 10);
    locked.SupBomLocked = true; locked.SupBomType = 1; locked.SupBomID = "B1";
    auto free = Supply("X", 16, 0);
    free.SupBillQty = 4;
    auto d = Demand("X", 1, Day(2024, 4, 10));
    Level l;
    l.P.Load({d}, {locked, free}, {}, {});
    EXPECT_DOUBLE_EQ(l.Sup(locked.SupIID).SupRestQty, 6);
    EXPECT_DOUBLE_EQ(l.Sup(free.SupIID).SupRestQty, 4);
    EXPECT_DOUBLE_EQ(l.P.Items[0].ItmRestInvQty, 10);
    EXPECT_DOUBLE_EQ(l.P.Items[0].ItmRestSupQty, 10);
}

TEST(LotRule, SurplusServesAnotherBucket)
{
    // Two tracking keys: the first lot's surplus serves the second key's need.
    auto a = Demand("X", 10, Day(2024, 4, 10));
    a.TrackKey = "A";
    auto b = Demand("X", 15, Day(2024, 4, 11));
    b.TrackKey = "B";
    for (auto* d : {&a, &b}) {
        d->ItmMinQty = 50;
        d->ItmLotQty = 10;
    }
    auto o = Options();
    o.CareItemLotRule = true;
    Level l(o);
    l.Net({a, b}, {});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    EXPECT_DOUBLE_EQ(l.P.PlannedSupplies[0].SupQty, 50);
    EXPECT_DOUBLE_EQ(l.P.PlannedSupplies[0].SupAllotQty, 25);
    EXPECT_EQ(l.P.PlannedSupplies[0].SupPDmdIIDs, QStringLiteral("|%1:02=10\r\n|%2:02=15").arg(a.DmdIID).arg(b.DmdIID));
    const auto& db = l.Dmd(b.DmdIID);
    EXPECT_DOUBLE_EQ(db.DmdPPPQty2, 15);
    EXPECT_DOUBLE_EQ(db.DmdPPPQty1, 0);
    EXPECT_EQ(db.DmdPDmdIID2, QStringLiteral("|%1=15").arg(a.DmdIID));
    EXPECT_EQ(db.DmdQty, 0);
}

TEST(LotRule, DemandsShareAPlannedSupplyByTypeBomAndTrackingKey)
{
    // Two demands of one item: one planned supply when type, BOM and
    // tracking key agree as texts (letter case aside, and also when the BOM
    // and tracking key only join to the same text), otherwise one each, in
    // the order of the key texts.
    struct Case {
        int typeA, typeB;
        int bomTypeA, bomTypeB;
        const char *bomA, *bomB, *trackA, *trackB;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {58, 58, 1, 1, "B1", "b1", "T", "t", {30}},
        {58, 58, 1, 1, "B1", "B1", "T1", "T2", {10, 20}},
        {58, 58, 1, 1, "B1", "B2", "T", "T", {10, 20}},
        {58, 58, 1, 2, "B1", "B1", "T", "T", {10, 20}},
        {58, 42, 1, 1, "B1", "B1", "T", "T", {20, 10}}, // type 42 ("16|...") goes before 58 ("1M|...")
        {58, 58, 1, 1, "A|B", "a", "C", "b|c", {30}},
        {58, 58, 1, 1, "A", "AB", "BC", "C", {20, 10}}, // "...:AB|C" goes before "...:A|BC"
        {44, 44, 1, 1, "B1", "B1", "T", "T", {10, 20}},
    };
    for (const Case& c : cases) {
        auto a = Demand("X", 10, Day(2024, 4, 10));
        auto b = Demand("X", 20, Day(2024, 4, 11));
        a.DmdSupType = c.typeA; b.DmdSupType = c.typeB;
        a.DmdBomType = c.bomTypeA; b.DmdBomType = c.bomTypeB;
        a.DmdBomID = c.bomA; b.DmdBomID = c.bomB;
        a.TrackKey = c.trackA; b.TrackKey = c.trackB;
        Level l;
        l.Net({a, b}, {});
        std::vector<double> got;
        for (const auto& ps : l.P.PlannedSupplies)
            got.push_back(ps.SupQty);
        EXPECT_EQ(got, c.expected) << c.typeA << c.bomA << c.trackA << " / " << c.typeB << c.bomB << c.trackB;
    }
}

TEST(LotRule, OneLotServingManyDemands)
{
    // Nineteen demands spread over two weeks in lots of 5: the first week's
    // last lot leaves a surplus for the first demand's second week, counted
    // in the first week's period, so it goes back to an entry made long
    // before; each demand and period stays one entry of the served list, and
    // each demand's entries add up to what it needed.
    std::vector<TMRPLevelDemandRow> rows;
    for (int i = 0; i < 19; ++i) {
        auto d = Demand("X", 10, Day(2024, 4, 10));
        d.DmdHints = "02=7\r\n03=3";
        d.ItmLotQty = 5;
        rows.push_back(d);
    }
    auto o = Options();
    o.CareItemLotRule = true;
    Level l(o);
    l.Net(rows, {});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    const auto& ps = l.P.PlannedSupplies[0];
    EXPECT_DOUBLE_EQ(ps.SupAllotQty, 190);
    std::map<int, double> byDemand;
    QSet<QString> keys;
    for (const QString& line : ps.SupPDmdIIDs.split(QStringLiteral("\r\n"))) {
        const QString key = line.section(QLatin1Char('='), 0, 0);
        EXPECT_FALSE(keys.contains(key)) << line.toStdString();
        keys.insert(key);
        byDemand[key.mid(1).section(QLatin1Char(':'), 0, 0).toInt()] += line.section(QLatin1Char('='), 1).toDouble();
    }
    EXPECT_EQ(keys.size(), 38);
    ASSERT_EQ(byDemand.size(), 19u);
    for (const auto& [iid, qty] : byDemand)
        EXPECT_DOUBLE_EQ(qty, 10) << iid;
}

TEST(LotRule, PreLeadTimeMovesThePlannedDate)
{
    auto d = Demand("X", 10, Day(2024, 4, 15)); // Monday, week 3
    d.PrdPreLeadTime = 1;                       // ready one working day before
    Level l;
    l.Net({d}, {});
    ASSERT_EQ(l.P.PlannedSupplies.size(), 1u);
    EXPECT_EQ(l.P.PlannedSupplies[0].SupHints, QStringLiteral("02=10")); // Friday 04-12, week 2
    EXPECT_EQ(l.P.PlannedSupplies[0].SupPeriod, 2);
}

TEST(LevelRebalance, SubstituteAllotmentsStay)
{
    // The order line's requisition and a substitute's stock, both tied to the
    // line, cover it in the first pass; the item's own free stock then takes
    // over from the requisition only, never from the substitute.
    auto d = Demand("X", 10, Day(2024, 4, 10), 2);
    d.DmdOrigType = 2; d.DmdOrigID = "SO1"; d.DmdOrigEntry = 1;
    auto stock = Supply("X", 16, 2, Day(2024, 4, 5));
    auto own = Supply("X", 38, 4);
    own.SupOrigType = 2; own.SupOrigID = "SO1"; own.SupOrigEntry = 1;
    auto sub = Supply("Y", 16, 10);
    sub.SupOrigType = 2; sub.SupOrigID = "SO1"; sub.SupOrigEntry = 1;
    auto o = Options();
    o.CareItemReplace = 3;
    Level l(o);
    l.Net({d}, {stock, own, sub}, {{d.DmdIID, "Y|\r", 1, 1, false}});
    EXPECT_DOUBLE_EQ(l.Allotted(own.SupIID, d.DmdIID), 2);
    EXPECT_DOUBLE_EQ(l.Allotted(stock.SupIID, d.DmdIID), 2);
    EXPECT_DOUBLE_EQ(l.Allotted(sub.SupIID, d.DmdIID), 6);
    EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdReplQty, 6);
    EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdPRQty, 2);
    EXPECT_DOUBLE_EQ(l.Dmd(d.DmdIID).DmdInvQty, 8);
}
