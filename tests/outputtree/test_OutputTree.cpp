// The arithmetic of the output supply tree on a plain tree made in the test:
// open rows, entering quantities in either unit, parents following their
// children, switching sub-rows, the spread over plan periods, the demands of
// a supply and the quantities and groups of substitutes. Rates and ratios of
// 0 leave a message on the row instead of dividing by zero.
#include "untMRPOutputSQL.h"
#include "untMRPOutputTree.h"

#include <gtest/gtest.h>
#include <cmath>
#include <QRegularExpression>
#include <deque>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

struct Row {
    Row* parent = nullptr;
    std::vector<Row*> children;
    QVariant q[6];
    QString message;
    int level() const { return parent ? parent->level() + 1 : 0; }
    double operator[](TMRPOutputQtyField f) const { return q[f].toDouble(); }
};

class Tree : public TMRPOutputTreeAccess {
public:
    std::deque<Row> rows;
    // A row with planned and released quantity, open quantity as loaded.
    Row* add(Row* parent, double qty, double dest = 0, double rate = 1, double toRelease = 0)
    {
        rows.emplace_back();
        Row* r = &rows.back();
        r->parent = parent;
        if (parent)
            parent->children.push_back(r);
        r->q[oqQty] = qty;
        r->q[oqDestQty] = dest;
        r->q[oqUnitRate] = rate;
        r->q[oqDoDestQty] = toRelease;
        r->q[oqDoDestQtyU] = rate ? toRelease / rate : 0;
        r->q[oqUnDestQty] = qty - dest - toRelease;
        return r;
    }
    static const Row* row(const void* n) { return static_cast<const Row*>(n); }
    static Row* row(const void* n, int) { return const_cast<Row*>(static_cast<const Row*>(n)); }
    const void* Parent(const void* n) const override { return row(n)->parent; }
    int ChildCount(const void* n) const override { return int(row(n)->children.size()); }
    const void* Child(const void* n, int i) const override { return row(n)->children[size_t(i)]; }
    int Level(const void* n) const override { return row(n)->level(); }
    QVariant Get(const void* n, TMRPOutputQtyField f) const override { return row(n)->q[f]; }
    void Set(const void* n, TMRPOutputQtyField f, const QVariant& v) override { row(n, 0)->q[f] = v; }
    void SetMessage(const void* n, const QString& t) override { row(n, 0)->message = t; }
};

} // namespace

TEST(OutputTree, OpenRowsNeedOpenQuantityAllTheWayUp)
{
    Tree t;
    Row* full = t.add(nullptr, 30, 30);
    Row* below = t.add(full, 10, 0);
    Row* open = t.add(nullptr, 30, 29.99999999);
    Row* noise = t.add(nullptr, 0.3, 0.1 + 0.2);
    Row* nothingReleased = t.add(nullptr, 5, QVariant().toDouble());
    nothingReleased->q[oqDestQty] = QVariant();
    EXPECT_FALSE(IsOutputRowOpen(t, full));
    EXPECT_FALSE(IsOutputRowOpen(t, below)) << "a row under a fully released row";
    EXPECT_TRUE(IsOutputRowOpen(t, open));
    EXPECT_FALSE(IsOutputRowOpen(t, noise)) << "binary residue is no open quantity";
    EXPECT_TRUE(IsOutputRowOpen(t, nothingReleased)) << "an empty released quantity counts 0";
}

TEST(OutputTree, EnteringAQuantityInEitherUnit)
{
    const struct {
        const char* name;
        double rate;
        QVariant value;
        bool inStockUnit;
        double doDest;
        QVariant doDestU;
        double unDest;
        bool message;
    } cases[] = {
        {"stock unit", 2.5, 10.0, true, 10, 4.0, 15, false},
        {"target unit", 2.5, 4.0, false, 10, 4.0, 15, false},
        {"empty counts 0", 2.5, QVariant(), true, 0, 0.0, 25, false},
        {"more than open leaves a negative rest", 1, 40.0, true, 40, 40.0, -15, false},
        {"no rate: no converted quantity", 0, 10.0, true, 10, QVariant(), 15, true},
        {"no rate: target unit gives nothing", 0, 4.0, false, 0, 4.0, 25, true},
    };
    for (const auto& c : cases) {
        Tree t;
        Row* r = t.add(nullptr, 30, 5, c.rate);
        EditOutputQty(t, r, c.value, c.inStockUnit);
        EXPECT_DOUBLE_EQ((*r)[oqDoDestQty], c.doDest) << c.name;
        EXPECT_EQ(r->q[oqDoDestQtyU].isNull() || !r->q[oqDoDestQtyU].isValid(), !c.doDestU.isValid()) << c.name;
        if (c.doDestU.isValid()) {
            EXPECT_DOUBLE_EQ((*r)[oqDoDestQtyU], c.doDestU.toDouble()) << c.name;
        }
        EXPECT_TRUE(std::isfinite((*r)[oqDoDestQtyU])) << c.name;
        EXPECT_DOUBLE_EQ((*r)[oqUnDestQty], c.unDest) << c.name;
        EXPECT_EQ(!r->message.isEmpty(), c.message) << c.name;
    }
}

// A supply of 30 with nothing to release yet, its copy row and a demand row
// of 10 carrying a substitute at 1:2 (20 planned for the demand's 10).
struct SubstituteTree {
    Tree t;
    Row* supply = t.add(nullptr, 30, 0, 1, 0);
    Row* copy = t.add(supply, 30, 0, 1, 0);
    Row* demand = t.add(supply, 10, 0, 1, 0);
    Row* sub = t.add(demand, 20, 0, 2, 0);
};

TEST(OutputTree, SwitchingASubstituteMovesItsOpenQuantityAndTheParentsFollow)
{
    SubstituteTree s;
    ToggleOutputRow(s.t, s.sub);
    EXPECT_DOUBLE_EQ((*s.sub)[oqDoDestQty], 20);
    EXPECT_DOUBLE_EQ((*s.sub)[oqDoDestQtyU], 10);
    EXPECT_DOUBLE_EQ((*s.sub)[oqUnDestQty], 0);
    EXPECT_DOUBLE_EQ((*s.demand)[oqDoDestQty], 10) << "20 of the substitute is 10 of the demand's item";
    EXPECT_DOUBLE_EQ((*s.demand)[oqUnDestQty], 0);
    EXPECT_DOUBLE_EQ((*s.supply)[oqDoDestQty], 10);
    EXPECT_DOUBLE_EQ((*s.supply)[oqUnDestQty], 20);

    ToggleOutputRow(s.t, s.copy);
    EXPECT_DOUBLE_EQ((*s.supply)[oqDoDestQty], 40) << "the copy row adds its whole open quantity";

    ToggleOutputRow(s.t, s.sub);
    ToggleOutputRow(s.t, s.copy);
    for (Row* r : {s.sub, s.demand, s.copy, s.supply})
        EXPECT_DOUBLE_EQ((*r)[oqDoDestQty], 0);
    EXPECT_DOUBLE_EQ((*s.sub)[oqUnDestQty], 20);
    EXPECT_DOUBLE_EQ((*s.demand)[oqUnDestQty], 10);
    EXPECT_DOUBLE_EQ((*s.supply)[oqUnDestQty], 30);
}

TEST(OutputTree, EditingASubstituteRecountsDemandAndSupply)
{
    SubstituteTree s;
    EditOutputQty(s.t, s.sub, 8.0, true);
    EXPECT_DOUBLE_EQ((*s.sub)[oqUnDestQty], 12);
    EXPECT_DOUBLE_EQ((*s.demand)[oqDoDestQty], 4);
    EXPECT_DOUBLE_EQ((*s.supply)[oqDoDestQty], 4);
    EXPECT_DOUBLE_EQ((*s.supply)[oqUnDestQty], 26);
}

TEST(OutputTree, ASubRowWithoutPlannedQuantityIsNotCountedUp)
{
    SubstituteTree s;
    s.sub->q[oqQty] = 0.0;
    s.sub->q[oqDoDestQty] = 5.0;
    RecalcOutputFromChildren(s.t, s.demand);
    EXPECT_DOUBLE_EQ((*s.demand)[oqDoDestQty], 0);
    EXPECT_TRUE(std::isfinite((*s.supply)[oqDoDestQty]));
    EXPECT_EQ(s.sub->message, OutputMsgZeroPlanQty);
}

TEST(OutputTree, SpreadOverPeriodsAndTheEndPeriod)
{
    const QString hints = QStringLiteral("00=5\r\n01=7\r\n03=2");
    const struct {
        const char* name;
        QString hints;
        int ownPeriod, endPeriod;
        bool limited;
        double dest, toRelease;
        QMap<int, double> periods;
    } cases[] = {
        {"up to period 1", hints, 3, 1, true, 0, 12, {{0, 5}, {1, 7}, {3, 2}}},
        {"up to period 1, less what was released", hints, 3, 1, true, 3, 9, {{0, 5}, {1, 7}, {3, 2}}},
        {"never below 0", hints, 3, 1, true, 13, 0, {{0, 5}, {1, 7}, {3, 2}}},
        {"not limited: the whole open quantity", hints, 3, 3, false, 4, 10, {{0, 5}, {1, 7}, {3, 2}}},
        {"no hints: the own period", QString(), 2, 3, true, 0, 14, {{2, 14}}},
        {"no hints, own period after the end", QString(), 2, 1, true, 0, 0, {{2, 14}}},
        {"unreadable lines and periods without a column are skipped", QStringLiteral("00=5\r\nxx\r\n01=abc\r\nZZ=3\r\n02=1"), 0,
         9, true, 0, 6, {{0, 5}, {2, 1}}},
    };
    for (const auto& c : cases) {
        const TMRPPeriodSpread spread = SpreadOutputPeriods(c.hints, 14, c.ownPeriod, 4, c.endPeriod);
        EXPECT_EQ(spread.Periods, c.periods) << c.name;
        EXPECT_DOUBLE_EQ(OutputQtyToRelease(spread, 14, c.dest, c.limited), c.toRelease) << c.name;
    }
}

TEST(OutputTree, DemandsOfASupply)
{
    const auto demands = ParseOutputDemands(QStringLiteral("|12:01=4\r\n|7:00=3\r\n|12:02=x\r\n|bad\r\n|12:03=1.5\r\n"));
    ASSERT_EQ(demands.size(), 2u);
    EXPECT_EQ(demands[0].IID, QStringLiteral("12"));
    EXPECT_DOUBLE_EQ(demands[0].Qty, 5.5) << "an unreadable quantity counts 0";
    EXPECT_EQ(demands[0].Period, 1);
    EXPECT_EQ(demands[0].Hints, QStringLiteral("01=4\r\n02=x\r\n03=1.5\r\n"));
    EXPECT_EQ(demands[1].IID, QStringLiteral("7"));
    EXPECT_EQ(demands[1].Period, 0);
    EXPECT_EQ(OutputDemandInsertSQL(demands),
              QStringLiteral("insert #QZ_MRP_OutputDmds (DmdIID, DmdQty, Period, Hints) values (12, 5.50000000, 1, "
                             "'01=4\r\n02=x\r\n03=1.5\r\n')\rinsert #QZ_MRP_OutputDmds (DmdIID, DmdQty, Period, Hints) values "
                             "(7, 3.00000000, 0, '00=3\r\n')\r"));
    // A demand identity that is no number never reaches the statement.
    EXPECT_EQ(OutputDemandInsertSQL(ParseOutputDemands(QStringLiteral("|1);drop table x--:00=1"))), QString());
}

TEST(OutputTree, SubstituteQuantityByRatio)
{
    double q = -1;
    EXPECT_TRUE(OutputSubstituteQty(10, 1, 2, q));
    EXPECT_DOUBLE_EQ(q, 20);
    EXPECT_TRUE(OutputSubstituteQty(10, 3, 1, q));
    EXPECT_DOUBLE_EQ(q, 3.33333333);
    EXPECT_FALSE(OutputSubstituteQty(10, 0, 2, q));
    EXPECT_EQ(q, 0);
    EXPECT_FALSE(OutputSubstituteQty(10, 1, 0, q));
}

TEST(OutputTree, SubstituteGroupFollowsTheSupplysOrigin)
{
    const auto group = [](const TMRPOutputOrigin& o) {
        const QString sql = OutputSubstituteGroupSQL(o);
        // The types of rules 1..6 and 9, then the numbers.
        const QRegularExpression re(QStringLiteral("when (\\d) then ('(?:[^']|'')*'|\\d+)"));
        QStringList parts;
        for (auto it = re.globalMatch(sql); it.hasNext();)
            parts << it.next().captured(2);
        return parts.join(u' ');
    };
    TMRPOutputOrigin salesLine{2, "SO1", "SO-001", 3, "", "", "", 0, ""};
    EXPECT_EQ(group(salesLine), QStringLiteral("1 2 0 9 9 0 0 'SO-001/3' 'SO-001' '' 'SO-001/3' 'SO-001' '' ''"));
    TMRPOutputOrigin exportDoc{4, "EX1", "EX-9", 0, "T1", "", "顾客's", 9, "G-1"};
    EXPECT_EQ(group(exportDoc), QStringLiteral("4 4 9 9 9 9 9 'EX-9' 'EX-9' 'T1' 'EX-9' 'EX-9' '顾客''s' 'G-1'"));
    TMRPOutputOrigin forecast{8, "", "", 0, "", "SUB", "", 0, ""};
    EXPECT_EQ(group(forecast), QStringLiteral("0 0 9 0 0 0 0 '' '' 'SUB' '' '' '' ''"));
}

TEST(OutputTree, ReferenceTemplatesAreKeptPerLogin)
{
    TMRPOutputRefTemplates templates;
    int built = 0;
    const auto build = [&built](bool purchase) {
        ++built;
        return QStringLiteral("%1 of login %2").arg(purchase ? "purchases" : "use").arg(built);
    };
    EXPECT_EQ(templates.Get(1, true, build), QStringLiteral("purchases of login 1"));
    EXPECT_EQ(templates.Get(1, true, build), QStringLiteral("purchases of login 1")) << "composed once";
    EXPECT_EQ(templates.Get(1, false, build), QStringLiteral("use of login 2"));
    // Another login may see other definitions and permissions.
    EXPECT_EQ(templates.Get(2, true, build), QStringLiteral("purchases of login 3"));
    EXPECT_EQ(templates.Get(2, false, build), QStringLiteral("use of login 4"));
    EXPECT_EQ(built, 4);
}

TEST(OutputTree, TheQuantityToReleaseIsExactAndNeverAbovePlanned)
{
    // Nine digits over three periods: the hints' texts add up exactly, and
    // what is to release never exceeds the planned quantity.
    const QString hints = QStringLiteral("01=110566182.333333\r\n02=110566182.333333\r\n03=110566182.333334");
    const TMRPPeriodSpread all = SpreadOutputPeriods(hints, 331698547, 1, 4, 3);
    EXPECT_FALSE(all.BeyondEnd);
    EXPECT_EQ(OutputQtyToRelease(all, 331698547, 0, true, 0), 331698547.0);
    EXPECT_EQ(OutputQtyToRelease(all, 331698547, 0, false, 0), 331698547.0);
    const TMRPPeriodSpread two = SpreadOutputPeriods(hints, 331698547, 1, 4, 2);
    EXPECT_TRUE(two.BeyondEnd);
    EXPECT_EQ(two.LimitedSum, 221132364.666666);
    EXPECT_EQ(OutputQtyToRelease(two, 331698547, 0, true, 6), 221132364.666666);
    // A trace of binary arithmetic in what was released is no quantity for
    // an item kept in whole pieces.
    EXPECT_EQ(OutputQtyToRelease(all, 2119444, 2119443.99999999, false, 0), 0.0);
    EXPECT_EQ(OutputQtyToRelease(all, 2119444, 1200000.00000001, false, 0), 919444.0);
}
