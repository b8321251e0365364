// The balance view and its bills view: after a real MRP run on the demo
// account set the period lines of every item add up to the balance the run
// stored; on a small hand-made scheme the period figures, the running balance,
// the in-check spread, the bills' classes, period cells and colours, and what
// happens to codes past the scheme's periods, very large quantities and
// master values that are not SQL literals.
#include "BalanceHarness.h"
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "QueryRows.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "dlgViewScheme.h"
#include "untMRPCalendar.h"

#include <QDate>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QProcessEnvironment>
#include <QScrollBar>
#include <cmath>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace balancetest;
using kvtest::DemoLogin;
using kvtest::demoSchemeAfterRun;
using kvtest::rows;

namespace {

double day(int y, int m, int d)
{
    return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d)));
}

// A scheme of our own (77) with three weeks of January 2027 between the
// delay and the exceed period, and its rows written by hand.
//   p0 ..01-03, p1 01-04..10, p2 01-11..17, p3 01-18..24, p4 01-25..
TPlanScheme* handScheme()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        demoSchemeAfterRun();
        scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        scheme->SchemeIID = 77;
        scheme->SchemeName = QStringLiteral("手工方案");
        scheme->PlanState = psMRPDone;
        const double w1 = day(2027, 1, 4);
        scheme->MrpPeriods = {{ppkDelay, 0, w1 - 1},
                              {ppkNormal, w1, w1 + 6},
                              {ppkNormal, w1 + 7, w1 + 13},
                              {ppkNormal, w1 + 14, w1 + 20},
                              {ppkExceed, w1 + 21, double(2958465)}};
        const QString sup = QStringLiteral("insert QZ_MRP_Supplies (SupSchIID, SupIID, SupPeriod, SupBillType, SupBillNo, "
                                           "SupItmID, SupDate, SupQty, SupChkQty, SupAllotQty, SupRestQty, SupHints, "
                                           "SupPHints) values (77, ");
        const QString dmd = QStringLiteral("insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdBillType, DmdBillNo, "
                                           "DmdItmID, DmdDate, DmdNeedQty, DmdQty, DmdHints) values (77, ");
        const QString alt = QStringLiteral("insert QZ_MRP_Allots (AltSchIID, AltIID, AltDmdIID, AltSupIID, AltPeriod, AltQty, "
                                           "AltReplQty, AltIsRepl) values (77, ");
        const QString bal = QStringLiteral("insert QZ_MRP_Balance (BalSchIID, BalIID, BalItmID) values (77, ");
        DemoLogin::instance().exec(
            // Screws: stock, a purchase order partly in check, a sales order and a
            // forecast over two periods, negative stock, a planned purchase with a
            // line past the last period and a forecast line that is no period code.
            sup + "1, 0, 16, 'STK', 'IPT-601', '20270101', 100, 0, 0, 100, null, null)\r" +
            sup + "2, 1, 26, 'PO-1', 'IPT-601', '20270105', 80, 40, 0, 80, '01=30\r\n02=50', '01=30\r\n02=50')\r" +
            sup + "3, 3, 58, 'PLN-1', 'IPT-601', '20270118', 60, 0, 60, 0, '03=60\r\n09=7', '03=60\r\n09=7')\r" +
            dmd + "1, 1, 2, 'SO-1', 'IPT-601', '20270106', 120, 120, '01=70\r\n03=50')\r" +
            dmd + "2, 0, 72, 'NEG', 'IPT-601', '20270101', 20, 20, null)\r" +
            dmd + "3, 2, 8, 'FC-1', 'IPT-601', '20270112', 15, 15, '02=15\r\nZ!=4')\r" +
            // Capacitors: this maker's stock covers the other maker's demand, once
            // with a quantity of twelve integer digits, once in a period past the last.
            sup + "4, 0, 16, 'STK', 'IPT-141', '20270101', 500, 0, 0, 500, null, null)\r" +
            dmd + "4, 2, 94, 'MO-9', 'IPT-142', '20270113', 900, 900, '02=900')\r" +
            alt + "1, 4, 4, 2, 123456789012.5, 5, 1)\r" +
            alt + "2, 4, 4, 9, 3, 3, 1)\r" +
            // Fan: only a planned production without quantity.
            sup + "5, 2, 42, 'PLN-2', 'IFG-2001', '20270112', 0, 0, 0, 0, null, null)\r" +
            bal + "1, 'IPT-601')\r" + bal + "2, 'IPT-141')\r" + bal + "3, 'IPT-142')\r" + bal + "4, 'IFG-2001')");
    }
    return scheme.get();
}

// The figures of a period line by field, with its caption.
struct PeriodLine {
    QString caption;
    QMap<QString, double> figures;
};

QList<PeriodLine> periodLines(BalanceHarness& h, kvui::TreeNode* item)
{
    QList<PeriodLine> out;
    for (kvui::TreeNode* line : item->children()) {
        PeriodLine p;
        p.caption = line->value(h.balance->colBalGroupNo).toString();
        for (kvui::Column* c : h.tree()->columns())
            if (c->bandIndex() >= 2)
                p.figures[h.balance->GetColumnFieldName(c)] = line->value(c).toDouble();
        out << p;
    }
    return out;
}

QString periodText(TMRPBillsFrame* bills, int record, int period)
{
    kvui::Column* column = nullptr;
    for (const TPlanPeriodCol& pc : bills->PeriodCols())
        if (pc.PeriodIndex == period)
            column = qobject_cast<kvui::Column*>(pc.Column);
    kvui::BandedGrid* g = bills->grdBalDetail;
    return column ? g->displayText(record, column) : QStringLiteral("<no column>");
}

int recordOf(TMRPBillsFrame* bills, const QString& billNo)
{
    for (int r = 0; r < bills->BillRowCount(); ++r)
        if (bills->BillValue(r, QStringLiteral("SupBillNo")).toString() == billNo)
            return r;
    return -1;
}

} // namespace

// What the run stored per item is what the item's period lines add up to:
// every demand and supply figure, and the opening stock that the period lines
// carry forward.
TEST(BalanceDemo, PeriodLinesAddUpToTheStoredBalanceOfEveryItem)
{
    BalanceHarness h(demoSchemeAfterRun());
    ScriptedMessageBoxes boxes;
    h.balance->RefreshData(true);
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(h.balance->lblPlanState->text(), "(MRP运算完成)");
    ASSERT_EQ(h.tree()->topCount(), DemoLogin::count("select count(*) from QZ_MRP_Balance where BalSchIID=1"));

    // Stored figure (by SQL over the balance row) against the period lines' sum.
    const QList<std::pair<QString, QString>> stored = {
        {"BalForQty", "BalForQty"},   {"BalSOQty", "BalSOQty"},     {"BalFreeQty", "BalFreeQty"},
        {"BalSafeQty", "BalSafeQty"}, {"BalOODQty", "BalOODQty"},   {"BalMODQty", "BalMODQty"},
        {"BalROutQty", "BalROutQty"}, {"BalPOQty", "BalPOQty"},     {"BalOOQty", "BalOOQty"},
        {"BalMOQty", "BalMOQty"},     {"BalPRQty", "BalPRQty"},     {"BalORQty", "BalORQty"},
        {"BalMRQty", "BalMRQty"},     {"BalRInQty", "BalRInQty"},   {"BalQty", "BalQty"},
        {"BalXQty", "BalXQty"},       {"BalRelQty", "isnull(BalPOODQty,0)+isnull(BalPMODQty,0)+isnull(BalVirDQty,0)"},
        {"BalInvQty", "BalInvQty"},
    };
    QString select;
    for (const auto& s : stored)
        select += QStringLiteral(", isnull(%1,0)").arg(s.second);
    int withLines = 0;
    for (kvui::TreeNode* item : h.tree()->topNodes()) {
        const QString itm = item->value(h.balance->colBalItmNo).toString();
        h.tree()->expandNode(item);
        const QList<PeriodLine> lines = periodLines(h, item);
        withLines += lines.isEmpty() ? 0 : 1;
        QMap<QString, double> sums;
        double carried = 0;
        for (const PeriodLine& p : lines) {
            for (auto it = p.figures.begin(); it != p.figures.end(); ++it)
                sums[it.key()] += it.value();
            // The stock column shows the balance carried in plus the period's stock.
            sums["BalInvQty"] -= carried;
            carried = p.figures["BalEndQty"];
        }
        const QStringList row = rows(
            QStringLiteral("select ") + select.mid(2) + QStringLiteral(" from QZ_MRP_Balance where BalSchIID=1 and BalItmID=")
            + h.balance->GetFocusedRecordString("BalItmID") + " and BalItmProps=" + h.balance->GetFocusedRecordString("BalItmProps")
            + " and BalGroupType=" + h.balance->GetFocusedRecordString("BalGroupType") + " and BalGroupNo="
            + h.balance->GetFocusedRecordString("BalGroupNo"));
        ASSERT_EQ(row.size(), 1) << itm.toStdString();
        const QStringList values = row.first().split(u'|');
        for (int i = 0; i < stored.size(); ++i)
            EXPECT_NEAR(sums.value(stored[i].first), values[i].toDouble(), 1e-6)
                << itm.toStdString() << ' ' << stored[i].first.toStdString();
    }
    EXPECT_GT(withLines, 10);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Focus and expansion against the real result: a period line of the same item
// leaves the bills alone, another item reloads them; a second expansion adds nothing.
TEST(BalanceDemo, BillsFollowTheItemLineNotItsPeriodLines)
{
    BalanceHarness h(demoSchemeAfterRun());
    h.balance->RefreshData(true);
    kvui::TreeNode* fan = h.itemLine("FG-2001");
    kvui::TreeNode* screws = h.itemLine("PT-601");
    ASSERT_TRUE(fan && screws);
    h.tree()->setFocusedNode(fan);
    ASSERT_TRUE(h.tree()->expandNode(fan));
    const int lines = fan->childCount();
    ASSERT_GT(lines, 0);
    EXPECT_TRUE(h.bills->MasterValues.contains("BillItmID='IFG-2001'"));
    const int links = h.links;
    const quint32 stamp = h.bills->DataTimeStamp();

    h.tree()->setFocusedNode(fan->child(lines - 1));
    EXPECT_EQ(h.links, links);
    h.tree()->collapseNode(fan);
    h.tree()->expandNode(fan);
    EXPECT_EQ(fan->childCount(), lines);
    EXPECT_EQ(h.bills->DataTimeStamp(), stamp);

    h.tree()->setFocusedNode(screws);
    EXPECT_EQ(h.links, links + 1);
    EXPECT_TRUE(h.bills->MasterValues.contains("BillItmID='IPT-601'"));
    EXPECT_GT(h.bills->BillRowCount(), 0);
    EXPECT_EQ(h.bills->PeriodCols().size(), demoSchemeAfterRun()->MrpPeriods.size());
}

TEST(BalanceHand, PeriodFiguresAndTheRunningBalance)
{
    BalanceHarness h(handScheme());
    ScriptedMessageBoxes boxes;
    h.balance->RefreshData(true);
    kvui::TreeNode* screws = h.itemLine("PT-601");
    ASSERT_NE(screws, nullptr);
    h.tree()->expandNode(screws);
    const QList<PeriodLine> lines = periodLines(h, screws);
    // p4 has no rows and gets no line; the planned line past the last period
    // and the line that is no period code go nowhere.
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0].caption, "前期");
    EXPECT_EQ(lines[1].caption, "1/4-1/10");
    struct Expect {
        const char* field;
        double p0, p1, p2, p3;
    };
    const Expect expected[] = {
        // 100 in stock less 20 of negative stock; the stock column carries the balance.
        {"BalInvQty", 80, 80, 40, 75},
        {"BalSOQty", 0, 70, 0, 50},
        {"BalForQty", 0, 0, 15, 0},
        {"BalPOQty", 0, 30, 50, 0},
        // 40 in check go to the earliest periods, never more than a period holds.
        {"BalChkQty", 0, 30, 10, 0},
        {"BalQty", 0, 0, 0, 60},
        {"BalNetQty", -80, -40, -75, -25},
        {"BalEndQty", 80, 40, 75, 85},
    };
    for (const Expect& e : expected) {
        const double want[] = {e.p0, e.p1, e.p2, e.p3};
        for (int p = 0; p < 4; ++p)
            EXPECT_DOUBLE_EQ(lines[p].figures.value(e.field), want[p]) << e.field << " period line " << p;
    }
    // Zeros show on period lines; negative stock is drawn red.
    EXPECT_EQ(screws->child(0)->text(h.balance->colBalSOQty), "0");
    QColor brush, text;
    QFont font;
    h.balance->FetchCustomDrawFormat(screws->child(0), h.balance->colBalInvQty, false, false, brush, font, text);
    EXPECT_NE(text, QColor(255, 0, 0));
    screws->child(0)->setValue(h.balance->colBalInvQty, -1.0);
    h.balance->FetchCustomDrawFormat(screws->child(0), h.balance->colBalInvQty, false, false, brush, font, text);
    EXPECT_EQ(text, QColor(255, 0, 0));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Substitution: the stock of one maker covering the other maker's demand is
// "替代他料" on its side and "他料替入" on the other, in the allotment's period;
// an allotment in a period past the last goes nowhere, and a quantity of twelve
// integer digits reaches the period intact.
TEST(BalanceHand, SubstitutionAllotmentsOnBothSides)
{
    BalanceHarness h(handScheme());
    h.balance->RefreshData(true);
    kvui::TreeNode* giver = h.itemLine("PT-141");
    kvui::TreeNode* taker = h.itemLine("PT-142");
    ASSERT_TRUE(giver && taker);
    h.tree()->expandNode(giver);
    const QList<PeriodLine> out = periodLines(h, giver);
    ASSERT_EQ(out.size(), 2);
    EXPECT_EQ(out[1].caption, "1/11-1/17");
    EXPECT_DOUBLE_EQ(out[1].figures["BalROutQty"], 123456789012.5);
    EXPECT_EQ(h.bills->BillRowCount(), 3);
    const int big = [&] {
        for (int r = 0; r < h.bills->BillRowCount(); ++r)
            if (h.bills->BillValue(r, "SupQty").toDouble() > 1e9)
                return r;
        return -1;
    }();
    ASSERT_GE(big, 0);
    EXPECT_EQ(h.bills->BillValue(big, "BillClass").toInt(), TMRPBillsFrame::bcReplaceOut);
    // Every digit of the quantity reaches the period text (a server refuses a
    // text too narrow for it).
    EXPECT_EQ(h.bills->BillValue(big, "SupHints").toString(), "02=123456789012.50000000");
    EXPECT_EQ(periodText(h.bills.get(), big, 2), "123,456,789,012.5");

    h.tree()->expandNode(taker);
    const QList<PeriodLine> in = periodLines(h, taker);
    ASSERT_EQ(in.size(), 1);
    EXPECT_DOUBLE_EQ(in[0].figures["BalRInQty"], 5);
    EXPECT_DOUBLE_EQ(in[0].figures["BalRelQty"], 900);
    EXPECT_DOUBLE_EQ(in[0].figures["BalNetQty"], 895);
}

TEST(BalanceHand, AnItemWithoutQuantitiesStaysExpandableWithoutLines)
{
    BalanceHarness h(handScheme());
    h.balance->RefreshData(true);
    kvui::TreeNode* fan = h.itemLine("FG-2001");
    ASSERT_NE(fan, nullptr);
    EXPECT_FALSE(h.tree()->expandNode(fan));
    EXPECT_EQ(fan->childCount(), 0);
    EXPECT_TRUE(fan->hasChildren());
    // The planned production without quantity is still one of its bills.
    EXPECT_EQ(h.bills->BillRowCount(), 1);
    EXPECT_EQ(h.bills->BillValue(0, "SupBillType").toInt(), 42);
}

// The bills of the screws: classes, what each row shows per period and the colours.
TEST(BillsHand, ClassesPeriodCellsAndColours)
{
    BalanceHarness h(handScheme());
    h.balance->RefreshData(true);
    h.tree()->setFocusedNode(h.itemLine("PT-601"));
    TMRPBillsFrame* bills = h.bills.get();
    ASSERT_EQ(bills->BillRowCount(), 6);
    struct Row {
        const char* billNo;
        int billClass;
        const char* p0;
        const char* p1;
        const char* p2;
        const char* p3;
    };
    const Row expected[] = {
        {"STK", TMRPBillsFrame::bcInventory, "", "", "", ""},      // stock without hints: nothing per period
        {"NEG", TMRPBillsFrame::bcInventory, "20", "", "", ""},    // a demand without hints: its date's period
        {"SO-1", TMRPBillsFrame::bcMainDemand, "", "70", "", "50"},
        {"FC-1", TMRPBillsFrame::bcMainDemand, "", "", "15", ""},
        {"PO-1", TMRPBillsFrame::bcOrder, "", "30", "50", ""},
        {"PLN-1", TMRPBillsFrame::bcOtherSupply, "", "", "", "60"},
    };
    for (const Row& e : expected) {
        const int r = recordOf(bills, e.billNo);
        ASSERT_GE(r, 0) << e.billNo;
        EXPECT_EQ(bills->BillValue(r, "BillClass").toInt(), e.billClass) << e.billNo;
        const char* want[] = {e.p0, e.p1, e.p2, e.p3};
        for (int p = 0; p < 4; ++p)
            EXPECT_EQ(periodText(bills, r, p), want[p]) << e.billNo << " period " << p;
    }
    // Rows in class then type order.
    EXPECT_EQ(recordOf(bills, "STK"), 0);

    QColor brush, text;
    QFont font;
    const auto draw = [&](const char* billNo, kvui::Column* column, bool selected) {
        brush = QColor();
        text = QColor();
        kvui::RowRef ref;
        ref.record = recordOf(bills, billNo);
        bills->FetchCustomDrawFormat(ref, column, selected, false, brush, font, text);
    };
    auto* week1 = qobject_cast<kvui::Column*>(bills->PeriodCols()[1].Column);
    draw("SO-1", bills->colBtlBillNo, false);
    EXPECT_EQ(text, QColor(255, 0, 255));
    draw("NEG", bills->colBtlBillNo, false);
    EXPECT_EQ(text, QColor(255, 0, 0));
    draw("PO-1", week1, false); // its date, 01-05, lies in the first week
    EXPECT_EQ(brush, QColor(0xC2, 0xFF, 0xFF));
    EXPECT_FALSE(text.isValid());
    draw("PO-1", week1, true);
    EXPECT_EQ(brush, QColor(0x00, 0xC0, 0xC0));
    draw("PLN-1", week1, false);
    EXPECT_FALSE(brush.isValid());

    // The period columns sum what they show when the quantity is summed.
    bills->colBtlQty->setFooterSummary(kvui::SummaryKind::Sum, SummarySumFormat);
    bills->SetPlanScheme(handScheme(), GlobalADOConnection);
    bills->RefreshData(true);
    auto* week3 = qobject_cast<kvui::Column*>(bills->PeriodCols()[3].Column);
    EXPECT_EQ(bills->grdBalDetail->footerText(week3), "110");
}

// A bills query that fails leaves the bills empty and the item without
// period lines, tells the user, and keeps the tree and the cursor usable; a
// failing item load shows the load failure.
TEST(BalanceHand, FailingQueriesAreReported)
{
    BalanceHarness h(handScheme());
    h.balance->RefreshData(true);
    ScriptedMessageBoxes boxes;
    h.bills->ViewScheme.OrderBySQL = "NoSuchColumn";
    kvui::TreeNode* screws = h.itemLine("PT-601");
    h.tree()->setFocusedNode(screws);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(h.bills->BillRowCount(), 0);
    EXPECT_FALSE(h.bills->DataRefreshed());
    EXPECT_FALSE(h.tree()->expandNode(screws));
    EXPECT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(screws->childCount(), 0);
    EXPECT_EQ(h.tree()->updateLockCount(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    h.bills->ViewScheme.OrderBySQL.clear();
    EXPECT_TRUE(h.tree()->expandNode(screws));
    EXPECT_EQ(screws->childCount(), 4);

    h.balance->ViewScheme.OrderBySQL = "[NoSuchColumn]";
    h.balance->RefreshData(true);
    ASSERT_EQ(boxes.shown.size(), 3);
    EXPECT_TRUE(boxes.shown.last().text.startsWith("读取数据失败")) << boxes.shown.last().text.toStdString();
    EXPECT_EQ(h.tree()->topCount(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(BillsHand, BomNumbersOnlyWhenTheirColumnShows)
{
    BalanceHarness h(handScheme());
    h.balance->RefreshData(true);
    h.tree()->setFocusedNode(h.itemLine("PT-601"));
    EXPECT_FALSE(h.bills->BuiltSQL.contains("BomNo"));
    EXPECT_FALSE(h.bills->BuiltSQL.contains("QZ_MRP_BOMsOf"));
    h.bills->colBtlBomNo->setVisible(true);
    h.bills->RefreshData(true);
    EXPECT_EQ(h.bills->BuiltSQL.count("QZ_MRP_BOMsOfSupply"), 2);
    EXPECT_EQ(h.bills->BuiltSQL.count("QZ_MRP_BOMsOfDemand"), 2);
    EXPECT_EQ(h.bills->BillRowCount(), 6);
}

// Master values go into the bills query as SQL literals only.
TEST(BillsMaster, ValuesBecomeLiterals)
{
    struct Case {
        const char* values;
        const char* itm;
        const char* props;
        const char* group;
        int groupType;
    };
    const Case cases[] = {
        {"BillItmID='IPT-601'\r\nBillItmProps=''\r\nBillGroupNo=''\r\nBillGroupType=0", "'IPT-601'", "''", "''", 0},
        {"BillItmID='O''Neil'\r\nBillGroupType=3", "'O''Neil'", "''", "''", 3},
        {"BillItmID=null\r\nBillItmProps=NULL", "null", "null", "''", 0},
        {"", "null", "''", "''", 0},
        // Not literals: taken as the texts they are.
        {"BillItmID=IPT-601", "'IPT-601'", "''", "''", 0},
        {"BillItmID=x' or 1=1 --\r\nBillGroupNo='a'b'", "'x'' or 1=1 --'", "''", "'''a''b'''", 0},
        {"BillItmID='IPT-601'\r\nBillGroupType=1 or 1=1", "'IPT-601'", "''", "''", 0},
    };
    for (const Case& c : cases) {
        const TMRPBillsMaster m = ReadBillsMasterValues(QString::fromUtf8(c.values));
        EXPECT_EQ(m.ItmID, c.itm) << c.values;
        EXPECT_EQ(m.ItmProps, c.props) << c.values;
        EXPECT_EQ(m.GroupNo, c.group) << c.values;
        EXPECT_EQ(m.GroupType, c.groupType) << c.values;
    }

    BalanceHarness h(handScheme());
    ScriptedMessageBoxes boxes;
    h.bills->SetMasterValues("BillItmID=IPT-601' or 1=1 --", true);
    EXPECT_EQ(h.bills->BillRowCount(), 0);
    h.bills->SetMasterValues("BillItmID=IPT-601", true);
    EXPECT_EQ(h.bills->BillRowCount(), 6);
    h.bills->SetMasterValues(QString(), true);
    EXPECT_EQ(h.bills->BillRowCount(), 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(BillsHand, PeriodColumnsFollowTheSchemesPeriods)
{
    BalanceHarness h(handScheme());
    TPlanScheme many(GlobalADOConnection);
    many.SchemeIID = 77;
    const double first = day(2027, 1, 4);
    many.MrpPeriods.push_back({ppkDelay, 0, first - 1});
    for (int i = 0; i < 35; ++i)
        many.MrpPeriods.push_back({ppkNormal, first + i, first + i});
    many.MrpPeriods.push_back({ppkExceed, first + 35, double(2958465)});
    h.bills->SetPlanScheme(&many, GlobalADOConnection);
    ASSERT_EQ(h.bills->PeriodCols().size(), 37u);
    EXPECT_EQ(h.bills->PeriodsStr().size(), 74);
    EXPECT_EQ(h.bills->PeriodsStr().mid(0, 2), "00");
    EXPECT_EQ(h.bills->PeriodsStr().mid(20, 2), "0A");
    EXPECT_EQ(h.bills->PeriodsStr().mid(70, 2), "0Z");
    EXPECT_EQ(h.bills->PeriodsStr().mid(72, 2), "10");
    EXPECT_EQ(qobject_cast<kvui::Column*>(h.bills->PeriodCols()[36].Column)->caption(), "后期");

    // No periods: no columns, and the substitution rows come with empty codes.
    TPlanScheme none(GlobalADOConnection);
    none.SchemeIID = 77;
    h.bills->SetPlanScheme(&none, GlobalADOConnection);
    EXPECT_TRUE(h.bills->PeriodCols().empty());
    EXPECT_TRUE(h.bills->PeriodsStr().isEmpty());
    h.bills->SetMasterValues("BillItmID='IPT-141'", true);
    ASSERT_EQ(h.bills->BillRowCount(), 3);
    for (int r = 0; r < 3; ++r) {
        if (h.bills->BillValue(r, "BillClass").toInt() == TMRPBillsFrame::bcReplaceOut) {
            EXPECT_TRUE(h.bills->BillValue(r, "SupHints").toString().startsWith('=')) << r;
        }
    }
    h.bills->SetPlanScheme(handScheme(), GlobalADOConnection);
}

// Not a test of behaviour: with KORVANE_BALANCE_SHOT set to a file name, the
// two views on the demo run are shown and grabbed into that file.
TEST(BalanceDemo, Screenshot)
{
    const QString file = QProcessEnvironment::systemEnvironment().value("KORVANE_BALANCE_SHOT");
    if (file.isEmpty())
        GTEST_SKIP() << "no screenshot asked for";
    BalanceHarness h(demoSchemeAfterRun());
    h.window.setWindowTitle("供需平衡 - " + demoSchemeAfterRun()->SchemeName);
    h.window.show();
    h.balance->RefreshData(true);
    kvui::TreeNode* fan = h.itemLine("FG-2001");
    ASSERT_NE(fan, nullptr);
    h.tree()->expandNode(fan);
    h.tree()->setFocusedNode(fan->child(0));
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    // The bills scrolled to their period columns.
    QScrollBar* bar = h.bills->grdBalDetail->horizontalScrollBar();
    bar->setValue(bar->maximum());
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(h.window.grab().save(file));
}
