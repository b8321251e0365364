// The release run's records: merging rows into bill rows, the split over plan
// periods, dates before today, ordering and cutting into bills, the lot rule,
// and the checks every row passes before output.
#include "untMRPOutputRecs.h"

#include <gtest/gtest.h>
#include <deque>

namespace {

double day(const QDate& d)
{
    return QDate(1899, 12, 30).daysTo(d);
}

// Rows kept alive for the records that point at them.
struct Rows {
    std::deque<TMRPOutputRow> rows;
    TMRPOutputRow& add(QHash<QString, QVariant> values, TMRPOutputRow* parent = nullptr)
    {
        rows.emplace_back();
        TMRPOutputRow& r = rows.back();
        r.Values = std::move(values);
        r.Parent = parent;
        r.Level = parent ? parent->Level + 1 : 0;
        r.Checked = !parent;
        if (parent)
            parent->Children.push_back(&r);
        return r;
    }
};

// A planned production of item A, 10 to output, due 2027-01-05, drawn 01-04.
QHash<QString, QVariant> production(const QString& iid, double qty = 10)
{
    return {{"SupIID", iid},          {"SupDestType", 22},     {"SupItmID", "A"},        {"SupItmNo", "A-01"},
            {"SupDeptID", "D1"},      {"SupDept", "总装车间"}, {"SupBomType", 0},        {"SupBomID", "B1"},
            {"SupBOM", "BOM-A"},      {"SupDate", QDate(2027, 1, 5)}, {"SupDrawDate", QDate(2027, 1, 4)},
            {"SupQty", qty},          {"SupDoDestQty", qty},   {"SupUnDestQty", qty},    {"SupBillNo", "S-" + iid},
            {"SupOrigType", 2},       {"SupOrigID", "SO1"},    {"SupOrigNo", "SO-001"},  {"SupOrigEntry", 1},
            {"SupOrigItmID", "A"},    {"SupCustID", "C1"},     {"SupCust", "华南"},      {"SupTrackKey", "T"}};
}

struct RunFixture : ::testing::Test {
    Rows rows;
    TMRPOutputRun run;
    void SetUp() override
    {
        run.Today = QDate(2026, 12, 10);
        run.MrpPeriods = {{ppkDelay, day(QDate(2026, 12, 1)), day(QDate(2027, 1, 3))},
                          {ppkNormal, day(QDate(2027, 1, 4)), day(QDate(2027, 1, 10))},
                          {ppkNormal, day(QDate(2027, 1, 11)), day(QDate(2027, 1, 17))}};
        for (TMRPOutputOptions* o : {&run.OptionsMO, &run.OptionsOO, &run.OptionsPR}) {
            o->MergeTrack = 7; // merge whatever the origin
            o->MergePeriods = true;
            o->MaxRows = 2;
        }
    }
};

} // namespace

TEST_F(RunFixture, RowsWithEqualKeysMergeIntoOneBillRow)
{
    auto a = production("12", 10);
    a["SupNote"] = "急";
    a["SupDate"] = QDate(2027, 1, 6);
    a["SupDrawDate"] = QDate(2027, 1, 5);
    auto b = production("15", 4);
    b["SupOrigID"] = "SO2";
    b["SupOrigNo"] = "SO-002";
    b["SupCustID"] = "C2";
    b["SupNote"] = "分批";
    run.AddOutputNode(rows.add(a));
    run.AddOutputNode(rows.add(b));
    ASSERT_EQ(run.Records().size(), 1u);
    const TMRPOutputRec& r = run.Records()[0];
    EXPECT_DOUBLE_EQ(r.SupStdQty, 14);
    EXPECT_EQ(r.SupIIDs, ",12,15,");
    EXPECT_EQ(r.SupOrigType, 2);        // the same type stays
    EXPECT_EQ(r.SupOrigID, "");        // different bills are cleared
    EXPECT_EQ(r.SupOrigNo, "");
    EXPECT_EQ(r.SupOrigEntry, 0);
    EXPECT_EQ(r.SupOrigCustID, "");
    EXPECT_EQ(r.SupDate, QDate(2027, 1, 5));     // the earlier dates
    EXPECT_EQ(r.SupDrawDate, QDate(2027, 1, 4));
    EXPECT_EQ(r.SupNote, "急; 分批");
    EXPECT_EQ(r.SupNodes.size(), 2u);
}

TEST_F(RunFixture, DifferentBillsOfMaterialsNeverShareABillRow)
{
    for (int track : {0, 3, 7}) {
        TMRPOutputRun fresh = run;
        fresh.OptionsMO.MergeTrack = track;
        auto b = production("2");
        b["SupBomID"] = "B2";
        fresh.AddOutputNode(rows.add(production("1")));
        fresh.AddOutputNode(rows.add(b));
        ASSERT_EQ(fresh.Records().size(), 2u) << track;
        EXPECT_EQ(fresh.Records()[1].SupBomID, "B2");
    }
}

TEST_F(RunFixture, TrackingAndPeriodsKeepRowsApart)
{
    // Tracking by origin bill: two sales orders stay apart.
    run.OptionsMO.MergeTrack = 3;
    auto b = production("2");
    b["SupOrigID"] = "SO2";
    run.AddOutputNode(rows.add(production("1")));
    run.AddOutputNode(rows.add(b));
    EXPECT_EQ(run.Records().size(), 2u);

    // Periods kept apart: rows due in different MRP periods never merge.
    TMRPOutputRun periods;
    periods.Today = run.Today;
    periods.MrpPeriods = run.MrpPeriods;
    periods.OptionsMO.MergeTrack = 7;
    periods.OptionsMO.MergePeriods = false;
    auto late = production("3");
    late["SupDate"] = QDate(2027, 1, 12);
    late["SupDrawDate"] = QDate(2027, 1, 11);
    periods.AddOutputNode(rows.add(production("1")));
    periods.AddOutputNode(rows.add(production("2")));
    periods.AddOutputNode(rows.add(late));
    ASSERT_EQ(periods.Records().size(), 2u);
    EXPECT_DOUBLE_EQ(periods.Records()[0].SupStdQty, 20);
    EXPECT_DOUBLE_EQ(periods.Records()[1].SupStdQty, 10);
}

TEST_F(RunFixture, NothingIsDueBeforeToday)
{
    auto old = production("1");
    old["SupDate"] = QDate(2026, 12, 1);
    old["SupDrawDate"] = QDate(2026, 11, 28);
    run.AddOutputNode(rows.add(old));
    ASSERT_EQ(run.Records().size(), 1u);
    EXPECT_EQ(run.Records()[0].SupDate, run.Today);
    EXPECT_EQ(run.Records()[0].SupDrawDate, run.Today);
    EXPECT_EQ(run.Records()[0].SupBillDate, run.Today);
}

TEST_F(RunFixture, ARowSplitsOverItsPlanPeriodHints)
{
    // 5 for period 0 and 5 for period 1; 3 were output before and 7 go now.
    run.OptionsMO.MergePeriods = false;
    auto row = production("1", 10);
    row["SupHints"] = "0=5\r\n1=5";
    row["SupDestQty"] = 3;
    row["SupDoDestQty"] = 7;
    row["SupUnDestQty"] = 7;
    run.AddOutputNode(rows.add(row));
    ASSERT_EQ(run.Records().size(), 2u);
    // The first period's piece: what is left of it, at the end of period 0.
    EXPECT_DOUBLE_EQ(run.Records()[0].SupStdQty, 2);
    EXPECT_EQ(run.Records()[0].SupDate, QDate(2027, 1, 3));
    // The next period's piece: due on its period's first day, started the
    // row's lead time (one day) before.
    EXPECT_DOUBLE_EQ(run.Records()[1].SupStdQty, 5);
    EXPECT_EQ(run.Records()[1].SupDate, QDate(2027, 1, 4));
    EXPECT_EQ(run.Records()[1].SupDrawDate, QDate(2027, 1, 3));

    // A hint naming a period the scheme does not have is passed over; the rest
    // of the quantity comes as one more piece at the row's date.
    TMRPOutputRun other = run;
    auto beyond = production("2", 6);
    beyond["SupHints"] = "Z=4\r\n1=2\r\nxx";
    const TMRPOutputRow& added = rows.add(beyond);
    other.AddOutputNode(added);
    QList<double> pieces;
    for (const TMRPOutputRec& r : other.Records())
        for (const TSourceNodeRec& n : r.SupNodes)
            if (n.Node == &added)
                pieces << n.Qty;
    EXPECT_EQ(pieces, QList<double>({2, 4}));
}

// Released dates on the demo's calendar (weekends, New Year's Day and the
// Spring Festival 2027-02-06..02-14 rest) and its weekly plan periods from
// Monday 2027-01-04 (period 1) on; period 0 ends on Sunday 01-03. Worked out by
// hand: each period's piece is due on its period's first working day (a
// period without one has it on the working day before), never before the
// piece before it nor before today's first working day; its start is its due
// date less the row's lead time in working days. The same for production,
// purchase and subcontracting, with periods kept apart or merged.
TEST(OutputDates, ReleasedDatesOnTheDemoCalendar)
{
    struct Case {
        const char* what;
        QDate today, date, draw;
        const char* hints;
        double before, qty;
        bool merged;
        QStringList records;   // "quantity@due/draw", MM-dd, in creation order
    };
    const QDate jan5(2027, 1, 5);
    const QDate dec21(2026, 12, 21);
    const Case cases[] = {
        {"whole row on a working day keeps its dates", jan5, {2027, 2, 26}, {2027, 2, 22}, "", 0, 88, false, {"88@02-26/02-22"}},
        {"whole row due on a Saturday: Friday, lead time kept", jan5, {2027, 1, 23}, {2027, 1, 18}, "", 0, 10, false,
         {"10@01-22/01-15"}},
        {"whole row due inside the Spring Festival", jan5, {2027, 2, 10}, {2027, 2, 3}, "", 0, 10, false, {"10@02-05/02-02"}},
        {"due today, a Saturday: the next working day", {2027, 1, 9}, {2027, 1, 9}, {2027, 1, 7}, "", 0, 10, false,
         {"10@01-11/01-11"}},
        {"a rest day after today whose working day lies before it", {2027, 1, 9}, {2027, 1, 10}, {2027, 1, 7}, "", 0, 10, false,
         {"10@01-11/01-11"}},
        {"pieces on period starts that are Mondays (S-85)", dec21, {2027, 1, 11}, {2026, 12, 30}, "02=400\r\n03=370\r\n04=320", 0,
         1090, false, {"400@01-11/12-30", "370@01-18/01-07", "320@01-25/01-14"}},
        {"the same with the periods merged", dec21, {2027, 1, 11}, {2026, 12, 30}, "02=400\r\n03=370\r\n04=320", 0, 1090, true,
         {"1090@01-11/12-30"}},
        {"a row dated inside a period: pieces on the periods' first days", jan5, {2027, 1, 20}, {2027, 1, 15}, "3=40\r\n4=60", 0,
         100, false, {"40@01-18/01-13", "60@01-25/01-20"}},
        {"the overdue bucket on the last working day before the horizon", dec21, {2027, 1, 3}, {2026, 12, 30}, "0=5\r\n1=7", 0,
         12, false, {"5@12-31/12-29", "7@01-04/12-30"}},
        {"a piece due before today comes today, with the next one", jan5, {2027, 1, 5}, {2027, 1, 4}, "0=5\r\n1=5", 0, 10, false,
         {"10@01-05/01-05"}},
        {"output before: the released periods are passed over; a holiday week's piece is ready the working day before", jan5,
         {2027, 1, 6}, {2027, 1, 5}, "1=10\r\n5=10\r\n6=10", 10, 20, false, {"20@02-01/01-29"}},
        {"a period beginning in the Spring Festival", jan5, {2027, 2, 15}, {2027, 2, 5}, "6=10\r\n7=10", 0, 20, false,
         {"10@02-05/02-04", "10@02-15/02-05"}},
    };
    TInt64DynArray holidays;
    for (QDate d(2026, 12, 1); d <= QDate(2027, 3, 31); d = d.addDays(1))
        if (d.dayOfWeek() >= 6 || d == QDate(2027, 1, 1) || (d >= QDate(2027, 2, 6) && d <= QDate(2027, 2, 14)))
            holidays.push_back(std::int64_t(day(d)));
    TPlanPeriods periods{{ppkDelay, day(QDate(2026, 12, 1)), day(QDate(2027, 1, 3))}};
    for (int k = 0; k < 13; ++k)
        periods.push_back({ppkNormal, day(QDate(2027, 1, 4).addDays(7 * k)), day(QDate(2027, 1, 10).addDays(7 * k))});
    for (const int billType : {obtProduction, obtPurchase, obtSubcontract, obtSubcontractDirect})
        for (const Case& c : cases) {
            SCOPED_TRACE(QStringLiteral("%1, bill type %2").arg(QString::fromUtf8(c.what)).arg(billType).toStdString());
            Rows rows;
            TMRPOutputRun run;
            run.Today = c.today;
            run.Holidays = holidays;
            run.MrpPeriods = periods;
            TMRPOutputOptions& o = run.GetOutputOptions(billType);
            o.MergeTrack = 7;
            o.MergePeriods = c.merged;
            auto row = production("1", c.before + c.qty);
            row["SupDestType"] = billType;
            row["SupDate"] = c.date;
            row["SupDrawDate"] = c.draw;
            row["SupHints"] = QString::fromUtf8(c.hints);
            row["SupDestQty"] = c.before;
            row["SupDoDestQty"] = c.qty;
            run.AddOutputNode(rows.add(row));
            QStringList got;
            for (const TMRPOutputRec& r : run.Records())
                got << QStringLiteral("%1@%2/%3").arg(r.SupStdQty).arg(r.SupDate.toString("MM-dd"), r.SupDrawDate.toString("MM-dd"));
            EXPECT_EQ(got.join(" ").toStdString(), c.records.join(" ").toStdString());
        }

    // A period beginning on a rest day (monthly periods from Friday 2027-01-01):
    // its piece is due on its first working day, inside the period.
    TMRPOutputRun monthly;
    monthly.Today = dec21;
    monthly.Holidays = holidays;
    monthly.MrpPeriods = {{ppkDelay, day(QDate(2026, 12, 1)), day(QDate(2026, 12, 31))},
                          {ppkNormal, day(QDate(2027, 1, 1)), day(QDate(2027, 1, 31))},
                          {ppkNormal, day(QDate(2027, 2, 1)), day(QDate(2027, 2, 28))}};
    EXPECT_EQ(monthly.OutputPieceDate(1, QDate(2027, 1, 15), QDate()), QDate(2027, 1, 4));
    EXPECT_EQ(monthly.OutputPieceDate(2, QDate(2027, 1, 15), QDate(2027, 1, 4)), QDate(2027, 2, 1));
    // Never before the piece before it.
    EXPECT_EQ(monthly.OutputPieceDate(1, QDate(2027, 1, 15), QDate(2027, 1, 6)), QDate(2027, 1, 6));
}

TEST_F(RunFixture, BillsHoldAtMostMaxRowsOfEqualSplitKeysInCreationOrder)
{
    struct Case {
        int maxRows;
        std::vector<size_t> sizes;
    };
    for (const Case& c : {Case{2, {2, 2, 1}}, Case{1, {1, 1, 1, 1, 1}}, Case{3, {3, 2}}}) {
        TMRPOutputRun r = run;
        r.OptionsMO.MaxRows = c.maxRows;
        for (int i = 0; i < 5; ++i) {
            auto v = production(QString::number(i + 1));
            v["SupItmID"] = QStringLiteral("I%1").arg(i);
            r.AddOutputNode(rows.add(v));
        }
        const auto bills = r.CutIntoBills();
        std::vector<size_t> sizes;
        std::vector<int> order;
        for (const auto& bill : bills) {
            sizes.push_back(bill.size());
            order.insert(order.end(), bill.begin(), bill.end());
        }
        EXPECT_EQ(sizes, c.sizes) << c.maxRows;
        EXPECT_EQ(order, std::vector<int>({0, 1, 2, 3, 4})); // equal in every key: the order of creation
    }
}

TEST_F(RunFixture, SplitKeysStartNewBillsAndSortKeysOrderInside)
{
    run.OptionsPR.MaxRows = 10;
    run.OptionsPR.SplitBy1 = okBuyer;
    run.OptionsPR.SortBy1 = okDate;
    run.OptionsPR.SortBy2 = okItemNo;
    const struct {
        const char* item;
        const char* buyer;
        QDateTime due;
    } lines[] = {{"P3", "B2", QDateTime(QDate(2027, 1, 8), QTime(9, 0))},
                 {"P2", "B1", QDateTime(QDate(2027, 1, 8), QTime(18, 0))},
                 {"P1", "B1", QDateTime(QDate(2027, 1, 8), QTime(8, 0))},
                 {"P0", "B1", QDateTime(QDate(2027, 1, 7), QTime(23, 0))}};
    for (const auto& l : lines) {
        auto v = production(l.item);
        v["SupDestType"] = 38;
        v["SupItmID"] = l.item;
        v["SupItmNo"] = l.item;
        v["ItmBuyerID"] = l.buyer;
        v["SupDate"] = l.due;
        v["SupDrawDate"] = l.due;
        run.AddOutputNode(rows.add(v));
    }
    const auto bills = run.CutIntoBills();
    ASSERT_EQ(bills.size(), 2u);
    QStringList first;
    for (int i : bills[0])
        first << run.Records()[size_t(i)].SupItmNo;
    // The date ignores the time of day: P1 and P2 are ordered by item number.
    EXPECT_EQ(first, QStringList({"P0", "P1", "P2"}));
    EXPECT_EQ(run.Records()[size_t(bills[1][0])].SupItmNo, "P3");
}

TEST_F(RunFixture, PurchaseRequisitionsCarryTheirSubstituteGroups)
{
    run.ItemSubsPR = true;
    auto supply = production("9", 10);
    supply["SupDestType"] = 38;
    TMRPOutputRow& top = rows.add(supply);
    // The demand rows under the supply: one without substitutes, one whose 4
    // still to output may be covered by A2 at two per piece, and the released leaf.
    rows.add({{"SupDestType", 38}, {"SupItmID", "A"}, {"SupQty", 6}, {"SupUnDestQty", 6}}, &top);
    TMRPOutputRow& group = rows.add({{"SupDestType", 38}, {"SupItmID", "A"}, {"SupQty", 4}, {"SupUnDestQty", 4}}, &top);
    rows.add({{"SupItmID", "A2"}, {"SupQty", 8}, {"SupDeptID", "V9"}, {"SupDestType", 38}}, &group);
    TMRPOutputRow& leaf = rows.add({{"SupDestType", 38}, {"SupItmID", "A"}, {"SupQty", 10}, {"SupDoDestQty", 10}}, &top);
    run.AddOutputRec(leaf, run.MergeKey(leaf), QDate(2027, 1, 5), TOutputQty::FromNumber(10, 8), TOutputQty());
    ASSERT_EQ(run.Records().size(), 1u);
    const TMRPOutputRec& r = run.Records()[0];
    ASSERT_EQ(r.SupSubItems.size(), 1u);
    EXPECT_DOUBLE_EQ(r.SupSubItems[0].Qty, 4);
    ASSERT_EQ(r.SupSubItems[0].Items.size(), 1u);
    EXPECT_EQ(r.SupSubItems[0].Items[0].ItemID, "A2");
    EXPECT_DOUBLE_EQ(r.SupSubItems[0].Items[0].SubRate, 2);
    EXPECT_EQ(r.SupSubItems[0].Items[0].SuppID, "V9");
}

TEST(OutputLotRule, MinimumThenWholeLots)
{
    const struct {
        double qty, min, lot, expected;
    } cases[] = {{11, 10, 4, 14}, {10, 10, 4, 10}, {3, 10, 4, 10}, {11, 10, 0, 11}, {0.3, 0, 0.1, 0.3}, {7, 0, 5, 10}};
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(ApplyOutputLotRule(c.qty, c.min, c.lot), c.expected) << c.qty << " " << c.min << " " << c.lot;
}

TEST(OutputChecks, EachRefusalWithItsMessage)
{
    const QDate today(2026, 12, 10);
    const TMRPOutputPermissions all{true, true, true};
    const auto exists = [](const QString&) { return true; };
    const auto missing = [](const QString&) { return false; };
    struct Case {
        const char* name;
        QHash<QString, QVariant> change;
        TMRPOutputPermissions permissions;
        bool mainDemandExists;
        QStringList expected; // "E:" errors, "W:" warnings
        bool candidate;
    };
    const std::vector<Case> cases = {
        {"clean", {}, all, true, {}, true},
        {"main demand gone", {}, all, false, {"E:主需求信息(2: SO-001/1 | A-01)不存在或未审核!"}, true},
        {"over release", {{"SupUnDestQty", -2}, {"SupDoDestQty", 12}, {"SupDestQty", 0}}, all, true,
         {"W:拟投放数(12)超过可投放数(10=计划数量10-已投放数0)!"}, true},
        {"a rounding trace on a large quantity is no over-release",
         {{"SupQty", 2221712}, {"SupUnDestQty", -0.00000001}, {"SupDoDestQty", 2221712.00000001}, {"SupDestQty", 0}}, all, true, {}, true},
        {"nothing to output", {{"SupDoDestQty", 0}}, all, true, {"E:[拟投放数]的值(0)没有大于0 !"}, true},
        {"no permission", {}, {false, true, true}, true, {"W:没有投放22的权限, 该行放弃投放!"}, false},
        {"no department", {{"SupDeptID", QVariant()}}, all, true, {"E:[供应单位]的值(总装车间)不存在!"}, true},
        {"no department at all", {{"SupDeptID", QVariant()}, {"SupDept", QVariant()}}, all, true, {"E:[供应单位]的内容不能为空!"}, true},
        {"drawn before today", {{"SupDrawDate", QDate(2026, 12, 8)}}, all, true,
         {"W:[开工日期]的值(2026/12/08)早于今天(2026/12/10), 投放时自动调整为今天!"}, true},
        {"due before drawn", {{"SupDate", QDate(2027, 1, 3)}}, all, true, {"E:[交货日期]的值没有大于或等于[开工日期]的值!"}, true},
        {"no BOM", {{"SupBomID", QVariant()}}, all, true, {"E:[BOM单]的内容不能为空!"}, true},
    };
    for (const Case& c : cases) {
        TMRPOutputRow row;
        row.Values = production("1");
        row.Values["SupOrigItmNo"] = "A-01";
        for (auto it = c.change.begin(); it != c.change.end(); ++it)
            row.Values[it.key()] = it.value();
        const TMRPOutputCheck check =
            CheckOutputRow(row, today, c.permissions, c.mainDemandExists ? std::function<bool(const QString&)>(exists) : missing, {});
        QStringList found;
        for (const TMRPOutputFinding& f : check.Findings)
            found << (f.FindingKind == TMRPOutputFinding::Error ? "E:" : "W:") + f.Text;
        EXPECT_EQ(found, c.expected) << c.name;
        EXPECT_EQ(check.Candidate, c.candidate) << c.name;
    }
    // The main-demand statement quotes what it is given.
    TMRPOutputRow row;
    row.Values = production("1");
    row.Values["SupOrigID"] = "SO'1";
    EXPECT_EQ(MainDemandCheckSQL(row), "select top 1 1 from QZ_MRP_SO with(nolock) where SOID='SO''1' and Checked=1 and (1=0 or "
                                       "SOEntry=1) and ('A'='' or SOItmID='A')");
}

TEST(OutputChecks, TheDecisionAfterAllRows)
{
    EXPECT_EQ(DecideAfterChecks(0, 0, 0), odNothingToOutput);
    EXPECT_EQ(DecideAfterChecks(3, 1, 2), odStopOnErrors);
    EXPECT_EQ(DecideAfterChecks(3, 0, 2), odAskOnWarnings);
    EXPECT_EQ(DecideAfterChecks(3, 0, 0), odOutput);
}
