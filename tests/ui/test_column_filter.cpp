// Column filtering of the banded grid: the filter button's drop-down, the
// custom filter dialog, the filter bar, and the rows, counts and summaries
// that follow the filter.
#include "BandedGrid.h"
#include "ColumnFilter.h"
#include "ColumnFilterWidgets.h"

#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QMenu>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

struct ColumnFilterTest : ::testing::Test {
    StaticDataSource src{{"ItmNo", "Cat", "Qty"}, {QMetaType::QString, QMetaType::QString, QMetaType::Double}};
    BandedGrid grid;
    Column *no, *cat, *qty;

    void SetUp() override
    {
        src.appendRecord({"A-03", "标准件", 10.0});
        src.appendRecord({"a-01", "标准件", 0.0});
        src.appendRecord({"B-02", "Plastic", 3.0});
        src.appendRecord({"b-04", "plastic", 7.0});
        src.appendRecord({"C-05", QVariant(), 2.5});
        grid.addBand("物料");
        no = grid.addColumn("物料代码", "ItmNo");
        cat = grid.addColumn("类别", "Cat");
        qty = grid.addColumn("数量", "Qty");
        qty->setValueType("Float");
        qty->setFooterSummary(SummaryKind::Sum);
        grid.setShowFooter(true);
        grid.setDataSource(&src);
        grid.resize(600, 300);
        grid.setColumnFilteringEnabled(true);
        grid.refresh();
    }
    void TearDown() override { ColumnFilterDialog::ExecHook = nullptr; }

    QStringList shown()
    {
        QStringList out;
        for (int r : grid.shownRecordOrder())
            out << grid.displayText(r, no);
        return out;
    }
    QStringList menuTexts(Column* c)
    {
        QMenu* menu = ColumnFilterMenu(&grid, c);
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text());
        delete menu;
        return out;
    }
    void pick(Column* c, const QString& text)
    {
        QMenu* menu = ColumnFilterMenu(&grid, c);
        for (QAction* a : menu->actions())
            if (a->text() == text)
                a->trigger();
        delete menu;
    }
};

} // namespace

// Each filterable column has a button listing "(全部)", "(自定义…)" and its
// values; a column that is not filterable, or a grid without column filtering,
// has none.
TEST_F(ColumnFilterTest, ButtonsAndTheirDropDown)
{
    grid.show();
    EXPECT_FALSE(grid.filterButtonRect(no).isEmpty());
    cat->setFilterable(false);
    EXPECT_TRUE(grid.filterButtonRect(cat).isEmpty());
    cat->setFilterable(true);
    EXPECT_EQ(menuTexts(qty), (QStringList{"(全部)", "(自定义…)", "-", "0", "2.5", "3", "7", "10"}));
    // Without regard to case, "Plastic" and "plastic" are one value.
    grid.columnFilter()->setCaseInsensitive(true);
    EXPECT_EQ(menuTexts(cat), (QStringList{"(全部)", "(自定义…)", "-", "Plastic", "标准件"}));
    grid.setColumnFilteringEnabled(false);
    EXPECT_TRUE(grid.filterButtonRect(no).isEmpty());
}

// A value picked from the drop-down narrows the rows; the footer sums and the
// record order follow; "(全部)" brings every row back.
TEST_F(ColumnFilterTest, PickedValueNarrowsRowsCountsAndSums)
{
    grid.columnFilter()->setCaseInsensitive(true);
    pick(cat, "Plastic");
    EXPECT_EQ(shown(), (QStringList{"B-02", "b-04"}));
    EXPECT_EQ(grid.rowCount(), 2);
    EXPECT_DOUBLE_EQ(grid.footerValue(qty).toDouble(), 10.0);
    // Case matters when the grid says so.
    grid.columnFilter()->setCaseInsensitive(false);
    EXPECT_EQ(shown(), (QStringList{"B-02"}));
    pick(cat, "(全部)");
    EXPECT_EQ(shown().size(), 5);
    EXPECT_DOUBLE_EQ(grid.footerValue(qty).toDouble(), 22.5);
}

// The custom dialog offers two conditions on the column; joined by OR or AND
// they narrow the rows; the grid's hook sees the dialog before it opens.
TEST_F(ColumnFilterTest, CustomDialogWithTwoConditions)
{
    int hooked = 0;
    grid.customFilterDialogHook = [&](ColumnFilterDialog& dlg) {
        ++hooked;
        EXPECT_EQ(dlg.column(), qty);
    };
    ColumnFilterDialog::ExecHook = [](ColumnFilterDialog& dlg) {
        FilterNode& root = dlg.fltConditions->criteria().root;
        EXPECT_EQ(root.children.size(), 2u);
        root.boolOperator = FilterBoolOperator::And;
        root.children[0]->op = FilterOperator::GreaterEqual;
        root.children[0]->values = {3};
        root.children[1]->op = FilterOperator::Less;
        root.children[1]->values = {10};
        return int(QDialog::Accepted);
    };
    pick(qty, "(自定义…)");
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(shown(), (QStringList{"B-02", "b-04"}));
    // Opened again it shows the conditions in force; OR, and a condition left
    // empty is dropped.
    ColumnFilterDialog::ExecHook = [](ColumnFilterDialog& dlg) {
        FilterNode& root = dlg.fltConditions->criteria().root;
        EXPECT_EQ(root.children[0]->op, FilterOperator::GreaterEqual);
        root.boolOperator = FilterBoolOperator::Or;
        root.children[0]->op = FilterOperator::Greater;
        root.children[0]->values = {7};
        root.children[1]->op = FilterOperator::Equal;
        root.children[1]->values = {};
        return int(QDialog::Accepted);
    };
    pick(qty, "(自定义…)");
    EXPECT_EQ(shown(), (QStringList{"A-03"}));
    // Cancel leaves the filter as it was.
    ColumnFilterDialog::ExecHook = [](ColumnFilterDialog&) { return int(QDialog::Rejected); };
    pick(qty, "(自定义…)");
    EXPECT_EQ(shown(), (QStringList{"A-03"}));
}

// The filter bar shows while a filter is set: its box switches the filter off
// and on, its button clears it.
TEST_F(ColumnFilterTest, FilterBarSwitchesAndClears)
{
    grid.show();
    EXPECT_TRUE(!grid.filterBar() || grid.filterBar()->isHidden());
    pick(no, "C-05");
    ColumnFilterBar* bar = grid.filterBar();
    ASSERT_TRUE(bar);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_TRUE(bar->lblText->toolTip().contains("物料代码"));
    EXPECT_TRUE(bar->lblText->toolTip().contains("C-05"));
    EXPECT_EQ(shown(), (QStringList{"C-05"}));
    bar->chkActive->setChecked(false);
    EXPECT_EQ(shown().size(), 5);
    EXPECT_FALSE(bar->isHidden());
    bar->chkActive->setChecked(true);
    EXPECT_EQ(shown(), (QStringList{"C-05"}));
    bar->btnClear->click();
    EXPECT_EQ(shown().size(), 5);
    EXPECT_TRUE(bar->isHidden());
}

// Conditions on single values: numbers as numbers, texts with or without case,
// "contains" as a plain text or as the user's own pattern.
TEST(ColumnCriterion, Matches)
{
    struct Case {
        const char* what;
        FilterOperator op;
        QVariantList values;
        QVariant value;
        const char* text;
        bool ci;
        bool result;
    };
    const Case cases[] = {
        {"number above", FilterOperator::Greater, {QStringLiteral("9")}, 10.0, "10", true, true},
        {"numbers not as texts", FilterOperator::Less, {QStringLiteral("9")}, 10.0, "10", true, false},
        {"text equal without case", FilterOperator::Equal, {QStringLiteral("abc")}, QStringLiteral("ABC"), "ABC", true, true},
        {"text equal with case", FilterOperator::Equal, {QStringLiteral("abc")}, QStringLiteral("ABC"), "ABC", false, false},
        {"contains a plain text", FilterOperator::Like, {QStringLiteral("b-0")}, QStringLiteral("B-02"), "B-02", true, true},
        {"a typed pattern", FilterOperator::Like, {QStringLiteral("b_0%")}, QStringLiteral("B-02"), "B-02", true, true},
        {"a pattern is anchored", FilterOperator::Like, {QStringLiteral("_0%")}, QStringLiteral("B-02"), "B-02", true, false},
        {"regex signs are text", FilterOperator::Like, {QStringLiteral("(a")}, QStringLiteral("x(a)"), "x(a)", true, true},
        {"not contains", FilterOperator::NotLike, {QStringLiteral("x")}, QStringLiteral("abc"), "abc", true, true},
        {"empty", FilterOperator::IsEmpty, {}, QVariant(), "", true, true},
        {"empty equals nothing", FilterOperator::Equal, {}, QVariant(), "", true, true},
        {"empty is below nothing", FilterOperator::Less, {5}, QVariant(), "", true, false},
        {"between", FilterOperator::Between, {2, 4}, 3.0, "3", true, true},
        {"in list", FilterOperator::InList, {QStringLiteral("x"), QStringLiteral("Y")}, QStringLiteral("y"), "y", true, true},
        {"dates", FilterOperator::GreaterEqual, {QDate(2027, 1, 5)}, QDate(2027, 1, 6), "2027-01-06", true, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColumnCriterionMatches(c.op, c.values, c.value, QString::fromUtf8(c.text), c.ci), c.result) << c.what;
}
