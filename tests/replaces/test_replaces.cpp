// The substitution and diversion view: after a real MRP run on the demo
// account set it lists exactly the run's substitution allotments (the
// capacitor the run used in place of another); on hand-made allotments each
// diversion level shows the rows it names and no others; the option comes
// from the view scheme without a reload; a scheme without identity shows
// nothing; a failing query ends in the data-load error box.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "QueryRows.h"
#include "SchemeTab.h"
#include "RowLimitCases.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "UCommon.h"
#include "dlgViewScheme.h"
#include "famMRPReplaces.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"

#include <QApplication>
#include <QComboBox>
#include <QProcessEnvironment>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

using kvtest::DemoLogin;
using kvtest::demoSchemeAfterRun;
using kvtest::rows;

namespace {

// The view in a window, bound to a scheme as the workbench binds its tabs.
struct Harness : kvtest::SchemeTab<TMRPReplacesFrame> {
    explicit Harness(TPlanScheme* AScheme) : SchemeTab(QStringLiteral("QZ_MRP.MRP.Replaces"), AScheme, QSize(1200, 600)) {}
    // "demand bill|demand item|supply bill|supply item|supply qty|demand qty|repl" per row, sorted.
    QStringList shown() const
    {
        QStringList out;
        for (int r = 0; r < view->RowCount(); ++r) {
            QStringList cols;
            for (const char* f : {"DmdBillNo", "DmdItmNo", "SupBillNo", "SupItmNo", "AltQty", "AltReplQty", "AltIsRepl"})
                cols << view->RowValue(r, QString::fromLatin1(f)).toString();
            out << cols.join(u'|');
        }
        out.sort();
        return out;
    }
};

// Scheme 88, written by hand: one sales order SO-A (lines 1 and 2, customer
// C1), another order SO-B of C1, an order SO-C of customer C2, and forecasts
// of C1 and without a customer. Each supply of an origin serves a demand of
// another (or the same) origin; one allotment is a substitution.
TPlanScheme* handScheme()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        demoSchemeAfterRun();
        scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        scheme->SchemeIID = 88;
        scheme->SchemeName = QStringLiteral("挪用方案");
        scheme->PlanState = psMRPDone;
        const QString sup = QStringLiteral("insert QZ_MRP_Supplies (SupSchIID, SupIID, SupPeriod, SupBillType, SupBillNo, SupItmID, "
                                           "SupOrigType, SupOrigID, SupOrigEntry, SupOrigCustID, SupQty, SupRestQty) values (88, ");
        const QString dmd = QStringLiteral("insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdBillType, DmdBillNo, DmdItmID, "
                                           "DmdOrigType, DmdOrigID, DmdOrigEntry, DmdOrigCustID, DmdNeedQty, DmdQty) values (88, ");
        const QString alt = QStringLiteral("insert QZ_MRP_Allots (AltSchIID, AltIID, AltSupIID, AltDmdIID, AltQty, "
                                           "AltReplQty, AltIsRepl) values (88, ");
        DemoLogin::instance().exec(
            // Demands: SO-A line 1 and line 2, SO-B, SO-C, forecast F-1 of C1.
            dmd + "1, 1, 2, 'D-A1', 'IPT-601', 2, 'SO-A', 1, 'C1', 10, 10)\r" +
            dmd + "2, 1, 2, 'D-A2', 'IPT-601', 2, 'SO-A', 2, 'C1', 10, 10)\r" +
            dmd + "3, 1, 2, 'D-B', 'IPT-601', 2, 'SO-B', 1, 'C1', 10, 10)\r" +
            dmd + "4, 1, 2, 'D-C', 'IPT-601', 2, 'SO-C', 1, 'C2', 10, 10)\r" +
            dmd + "5, 1, 8, 'D-F', 'IPT-601', 8, 'F-1', 1, 'C1', 10, 10)\r" +
            // Supplies: of SO-A line 1; of SO-A without a line; of forecasts of
            // C2 and without a customer; a plain one without origin.
            sup + "1, 1, 42, 'P-A1', 'IPT-601', 2, 'SO-A', 1, 'C1', 10, 0)\r" +
            sup + "2, 1, 42, 'P-A0', 'IPT-601', 2, 'SO-A', 0, 'C1', 10, 0)\r" +
            sup + "3, 1, 42, 'P-F2', 'IPT-601', 8, 'F-2', 1, 'C2', 10, 0)\r" +
            sup + "4, 1, 42, 'P-F0', 'IPT-601', 8, 'F-3', 1, '', 10, 0)\r" +
            sup + "5, 1, 16, 'P-STK', 'IPT-141', 0, null, 0, null, 10, 0)\r" +
            alt + "1, 1, 1, 1, 1, 0)\r" +   // same line: never a diversion
            alt + "2, 1, 2, 2, 2, 0)\r" +   // other line of the same order
            alt + "3, 2, 2, 3, 3, 0)\r" +   // no origin line, same order: only by order
            alt + "4, 1, 3, 4, 4, 0)\r" +   // other order of the same customer
            alt + "5, 1, 4, 5, 5, 0)\r" +   // other customer
            alt + "6, 3, 5, 6, 6, 0)\r" +   // forecast of C2 serves C1
            alt + "7, 4, 5, 7, 7, 0)\r" +   // forecast without a customer
            alt + "8, 5, 1, 8, 9, 1)");     // a substitution
    }
    return scheme.get();
}

} // namespace

// The demo run covers a capacitor demand with the other maker's capacitor:
// the view lists exactly the run's substitution allotments, with both items.
TEST(ReplacesDemo, ListsTheRunsSubstitutions)
{
    TPlanScheme* scheme = demoSchemeAfterRun();
    const QStringList expected = rows(
        "select d.DmdBillNo, di.ItmNo, s.SupBillNo, si.ItmNo, a.AltQty, a.AltReplQty, a.AltIsRepl from QZ_MRP_Allots a "
        "join QZ_MRP_Supplies s on a.AltSchIID=s.SupSchIID and a.AltSupIID=s.SupIID "
        "join QZ_MRP_Demands d on a.AltSchIID=d.DmdSchIID and a.AltDmdIID=d.DmdIID "
        "join QZ_Base_ItemMaster si on s.SupItmID=si.ItmID join QZ_Base_ItemMaster di on d.DmdItmID=di.ItmID "
        "where a.AltSchIID=1 and a.AltIsRepl=1");
    ASSERT_FALSE(expected.isEmpty()) << "the demo run used no substitute";
    Harness h(scheme);
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    QStringList sorted = expected;
    sorted.sort();
    // Quantities come back as the view's query gives them; compare as numbers.
    ASSERT_EQ(h.view->RowCount(), sorted.size());
    QStringList shown = h.shown();
    for (int i = 0; i < sorted.size(); ++i) {
        const QStringList e = sorted[i].split(u'|');
        const QStringList s = shown[i].split(u'|');
        EXPECT_EQ(s.mid(0, 4), e.mid(0, 4));
        EXPECT_DOUBLE_EQ(s[4].toDouble(), e[4].toDouble());
        EXPECT_DOUBLE_EQ(s[5].toDouble(), e[5].toDouble());
    }
    // The capacitor pair: supply and demand items differ, both capacitors.
    const QStringList pair = rows("select si.ItmName, di.ItmName from QZ_MRP_Allots a "
                                  "join QZ_MRP_Supplies s on a.AltSchIID=s.SupSchIID and a.AltSupIID=s.SupIID "
                                  "join QZ_MRP_Demands d on a.AltSchIID=d.DmdSchIID and a.AltDmdIID=d.DmdIID "
                                  "join QZ_Base_ItemMaster si on s.SupItmID=si.ItmID "
                                  "join QZ_Base_ItemMaster di on d.DmdItmID=di.ItmID where a.AltSchIID=1 and a.AltIsRepl=1");
    ASSERT_FALSE(pair.isEmpty());
    EXPECT_TRUE(pair.first().contains(QStringLiteral("电容"))) << pair.first().toStdString();
    EXPECT_EQ(h.view->lblPlanState->text(), "(MRP运算完成)");
    // The substitution flag is drawn as a check box, not as the text of its value.
    const kvui::EditorPtr flag = h.view->colSupIsRepl->effectiveEditor(h.view->grdReplaces->row(0));
    EXPECT_EQ(flag->kind(), kvui::EditorProperties::CheckBox);
    EXPECT_EQ(h.view->grdReplaces->displayText(0, h.view->colSupIsRepl), QStringLiteral("True"));
}

// Each diversion level adds the allotments it names to the substitution.
TEST(ReplacesDivert, EachLevelShowsTheRowsItNames)
{
    Harness h(handScheme());
    ScriptedMessageBoxes boxes;
    const struct {
        int index;
        QStringList bills;  // demand bill + "<-" + supply bill of the diversions
    } cases[] = {
        // other line (a supply with a line), other order; never the same line,
        // and a supply without a line is compared by order only (P-A0 serving
        // another line of its own order never shows).
        {1, {"D-A2<-P-A1", "D-B<-P-A1", "D-C<-P-A1"}},
        {2, {"D-B<-P-A1", "D-C<-P-A1"}},
        {3, {"D-C<-P-A1"}},
        // forecasts with a customer only; the forecast without one never shows.
        {4, {"D-F<-P-F2"}},
        {0, {}},
    };
    for (const auto& c : cases) {
        h.view->cboDivertType->setCurrentIndex(c.index);
        h.view->RefreshData(true);
        ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
        QStringList got;
        bool hasRepl = false;
        for (int r = 0; r < h.view->RowCount(); ++r) {
            if (h.view->RowValue(r, "AltIsRepl").toInt() == 1) {
                hasRepl = true;
                continue;
            }
            got << h.view->RowValue(r, "DmdBillNo").toString() + "<-" + h.view->RowValue(r, "SupBillNo").toString();
        }
        got.sort();
        QStringList want = c.bills;
        want.sort();
        EXPECT_TRUE(hasRepl) << "index " << c.index;
        EXPECT_EQ(got, want) << "index " << c.index;
        // The option is kept in the view scheme's text.
        EXPECT_EQ(ReadDelimitedValue(h.view->GetViewScheme()->Params, "[DivertType]", ViewSchemeParamSeparator),
                  QString::number(c.index));
    }
}

// A stored option selects its item without a reload; one that is absent,
// empty or no number selects the first.
TEST(ReplacesDivert, ViewSchemeOptionAppliesWithoutReload)
{
    Harness h(handScheme());
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    const int before = h.view->RowCount();
    for (const auto& [stored, index] : std::initializer_list<std::pair<QString, int>>{
             {"3", 3}, {"", 0}, {"x", 0}, {"9", 0}, {"4", 4}}) {
        PViewScheme vs = h.view->GetViewScheme();
        vs->Params = WriteDelimitedValue(vs->Params, "[DivertType]", stored, ViewSchemeParamSeparator);
        h.view->ApplyViewScheme();
        EXPECT_EQ(h.view->cboDivertType->currentIndex(), index) << stored.toStdString();
        EXPECT_EQ(h.view->RowCount(), before) << "no reload for " << stored.toStdString();
    }
    // Storing writes the option back.
    h.view->cboDivertType->blockSignals(true);
    h.view->cboDivertType->setCurrentIndex(2);
    h.view->cboDivertType->blockSignals(false);
    h.view->StoreViewScheme();
    EXPECT_EQ(ReadDelimitedValue(h.view->GetViewScheme()->Params, "[DivertType]", ViewSchemeParamSeparator), "2");
}

// State label: the state text in parentheses, red only while the results are
// out of date; empty for a scheme without identity, which shows no rows.
TEST(ReplacesState, LabelAndSchemeWithoutIdentity)
{
    TPlanScheme scheme(GlobalADOConnection);
    demoSchemeAfterRun();
    Harness h(&scheme);
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(h.view->lblPlanState->text(), "");
    EXPECT_EQ(h.view->RowCount(), 0);

    scheme.SchemeIID = 4242;  // never run: no allotments
    for (int state = 0; state <= 10; ++state) {
        scheme.PlanState = state;
        h.view->RefreshPlanState();
        const bool red = state == 1 || state == 3 || state == 4 || state == 5;
        EXPECT_EQ(h.view->lblPlanState->palette().color(QPalette::WindowText) == QColor(0xFF, 0, 0), red) << state;
        EXPECT_EQ(h.view->lblPlanState->text(), u'(' + scheme.GetPlanStateText() + u')');
    }
    h.view->RefreshData(true);
    EXPECT_EQ(h.view->RowCount(), 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// Supply-side columns are blue unless selected; demand columns keep theirs.
TEST(ReplacesColours, SupplySideIsBlue)
{
    Harness h(handScheme());
    kvui::RowRef row;
    QColor brush, text(Qt::black);
    QFont font;
    for (kvui::Column* c : {h.view->colSupItmNo, h.view->colSupAdjDays, h.view->colSupQty, h.view->colSupBillType}) {
        text = Qt::black;
        h.view->FetchCustomDrawFormat(row, c, false, false, brush, font, text);
        EXPECT_EQ(text, QColor(0, 0, 0xFF)) << c->objectName().toStdString();
        text = Qt::black;
        h.view->FetchCustomDrawFormat(row, c, true, false, brush, font, text);
        EXPECT_EQ(text, QColor(Qt::black));
    }
    for (kvui::Column* c : {h.view->colDmdItmNo, h.view->colDmdReplQty, h.view->colDmdDate}) {
        text = Qt::black;
        h.view->FetchCustomDrawFormat(row, c, false, false, brush, font, text);
        EXPECT_EQ(text, QColor(Qt::black)) << c->objectName().toStdString();
    }
}

// A query that cannot run ends in the data-load error box and an empty grid.
TEST(ReplacesFailure, QueryErrorShowsTheLoadFailureBox)
{
    Harness h(handScheme());
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    ASSERT_GT(h.view->RowCount(), 0);
    // The allotments' table is not there.
    ASSERT_FALSE(h.def->DataSources.empty());
    auto& main = h.def->DataSources.front();
    const QString saved = main.SQLData;
    main.SQLData = QStringLiteral("QZ_MRP_NoSuchTable");
    h.view->RefreshData(true);
    main.SQLData = saved;
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown.first().text.startsWith(QStringLiteral("读取数据失败"))) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(h.view->RowCount(), 0);
}

// Not a test of behaviour: with KORVANE_REPLACES_SHOT set to a file name, the
// view on the demo run is shown and grabbed into that file.
TEST(ReplacesDemo, Screenshot)
{
    const QString file = QProcessEnvironment::systemEnvironment().value("KORVANE_REPLACES_SHOT");
    if (file.isEmpty())
        GTEST_SKIP() << "no screenshot asked for";
    Harness h(demoSchemeAfterRun());
    h.window.setWindowTitle("物料替代 - " + demoSchemeAfterRun()->SchemeName);
    h.window.show();
    h.view->RefreshData(true);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(h.window.grab().save(file));
}

TEST(ReplacesDivert, ACutListIsTold)
{
    Harness h(handScheme());
    h.view->cboDivertType->setCurrentIndex(1);
    kvtest::expectCutListIsTold([&] { h.view->RefreshData(true); }, [&] { return h.view->RowCount(); });
}
