// Batch fill: which columns are offered, the value checks, the fill through the
// control's editing (veto, Null for empty text, row-major order, Esc), on a grid,
// on a tree list and on rows read from the demo account set.
#include "BandedGrid.h"
#include "DataSetSource.h"
#include "DemoLogin.h"
#include "EscapeKey.h"
#include "ScriptedMessageBoxes.h"
#include "TreeList.h"
#include "UDBComm.h"
#include "clsGridView.h"
#include "dlgFillValues.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

// Answers the next modal dialog of the kind with the steps.
template <typename TDlg>
void whenShown(std::function<void(TDlg*)> steps)
{
    QTimer::singleShot(0, [steps] {
        auto* dlg = qobject_cast<TDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "the fill dialog is not shown";
            return;
        }
        steps(dlg);
        if (dlg->isVisible()) {
            ADD_FAILURE() << "the steps left the dialog open";
            dlg->reject();
        }
    });
}

QStringList captions(TFillValuesDlg& dlg)
{
    QStringList list;
    for (TreeNode* node : dlg.trlFieldValues->topNodes())
        list << node->value(dlg.colField).toString();
    return list;
}

TreeNode* nodeOf(TFillValuesDlg& dlg, const QString& caption)
{
    for (TreeNode* node : dlg.trlFieldValues->topNodes())
        if (node->value(dlg.colField).toString() == caption)
            return node;
    return nullptr;
}

// A grid of four records: number, name, quantity, flag, and an unbound column.
struct GridFixture : ::testing::Test {
    StaticDataSource src{{"No", "Name", "Qty", "Flag"}, {QMetaType::Int, QMetaType::QString, QMetaType::Double, QMetaType::Bool}};
    BandedGrid grid;
    Column *no, *name, *qty, *flag, *unbound, *design;
    QList<QString> edits;
    void SetUp() override
    {
        for (int i = 0; i < 4; ++i)
            src.appendRecord({i + 1, QStringLiteral("n%1").arg(i + 1), 10.5 * (i + 1), false});
        grid.addBand();
        no = grid.addColumn("编号", "No");
        name = grid.addColumn("名称", "Name");
        qty = grid.addColumn("数量", "Qty");
        flag = grid.addColumn("标记", "Flag");
        flag->setEditor(std::make_shared<CheckBoxProperties>());
        unbound = grid.addColumn("说明", QString());
        design = grid.addColumn("内部", "No");
        design->setTag(-1);
        grid.setDataSource(&src);
        grid.setMultiSelect(true);
        grid.resize(600, 300);
        grid.show();
        QObject::connect(&grid, &BandedView::cellEdited, [this](int row, Column* c, const QVariant&, const QVariant& v) {
            edits << QStringLiteral("%1.%2=%3").arg(grid.row(row).record).arg(c->caption(), v.toString());
        });
    }
    void select(std::initializer_list<int> records)
    {
        grid.setFocusedRecordIndex(*records.begin());
        for (int r : records)
            grid.selectRecord(r, true);
    }
};

} // namespace

TEST_F(GridFixture, OffersEditableBoundColumnsTheVetoAllows)
{
    grid.setEditingHook([this](const RowRef&, Column* c) { return c != no; });
    select({1});
    TFillValuesDlg dlg;
    dlg.LoadFields(&grid);
    EXPECT_EQ(captions(dlg), QStringList({"名称", "数量", "标记"}));
    // The focused record's value and text come along; nothing is ticked.
    TreeNode* q = nodeOf(dlg, "数量");
    EXPECT_EQ(q->value(dlg.colValue).toDouble(), 21.0);
    EXPECT_FALSE(q->isChecked());
    EXPECT_FALSE(dlg.btnOk->isEnabled());
    // A check box is offered as the choice 是 / 否, without a text check.
    TreeNode* f = nodeOf(dlg, "标记");
    const EditorPtr editor = dlg.colValue->effectiveEditor(dlg.trlFieldValues->row(dlg.trlFieldValues->rowOfNode(f)));
    auto* choices = dynamic_cast<ImageComboProperties*>(editor.get());
    ASSERT_NE(choices, nullptr);
    ASSERT_EQ(choices->items.size(), 2);
    EXPECT_EQ(choices->items[0].description, "是");
    EXPECT_EQ(choices->items[1].description, "否");
    EXPECT_EQ(f->stateIndex(), -1);

    // A grid that does not allow editing offers nothing.
    grid.setEditingEnabled(false);
    dlg.LoadFields(&grid);
    EXPECT_TRUE(captions(dlg).isEmpty());
    EXPECT_FALSE(dlg.btnOk->isEnabled());
}

TEST(FillValueCheck, IntegersAndFloatsWithinTheirRange)
{
    struct Case {
        int mark;
        QVariant value;
        bool ok;
    };
    const Case cases[] = {
        {3, "12", true},         {3, "-2147483648", true}, {3, "2147483648", false}, {3, "1.5", false},
        {3, "abc", false},       {25, "7", true},          {6, "9999999998.99", true}, {6, "9999999999", false},
        {6, "-9999999999", false}, {6, "1e10", false},     {6, "-3.25", true},         {6, "x", false},
        {1, "anything", true},   {-1, "abc", true},        {3, QVariant(), true},
    };
    TFillValuesDlg dlg;
    TreeNode* node = dlg.trlFieldValues->addNode();
    node->setValue(dlg.colField, "数量");
    for (const Case& c : cases) {
        ScriptedMessageBoxes boxes;
        node->setStateIndex(c.mark);
        node->setValue(dlg.colValue, c.value);
        EXPECT_EQ(TFillValuesDlg::CheckNodeValue(node, dlg.colValue, dlg.colField), c.ok)
            << c.mark << " " << c.value.toString().toStdString();
        ASSERT_EQ(boxes.shown.size(), c.ok ? 0 : 1);
        if (!c.ok) {
            EXPECT_EQ(boxes.shown[0].text, QStringLiteral("[数量]的值(%1)无效!").arg(c.value.toString()));
        }
    }
}

TEST_F(GridFixture, OkChecksTheTickedValuesAndNeedsOneTicked)
{
    select({0});
    ScriptedMessageBoxes boxes;
    whenShown<TFillValuesDlg>([&boxes](TFillValuesDlg* dlg) {
        EXPECT_FALSE(dlg->btnOk->isEnabled());
        dlg->btnSelectAll->click();
        EXPECT_TRUE(dlg->btnOk->isEnabled());
        EXPECT_FALSE(dlg->btnSelectAll->isEnabled());
        dlg->btnClearAll->click();
        EXPECT_FALSE(dlg->btnOk->isEnabled());
        // A bad quantity keeps the dialog open with the value cell in edit.
        TreeNode* q = nodeOf(*dlg, "数量");
        q->setCheckState(Qt::Checked);
        q->setValue(dlg->colValue, "1e12");
        dlg->btnOk->click();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "[数量]的值(1e12)无效!");
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->trlFieldValues->focusedNode(), q);
        dlg->trlFieldValues->cancelEdit();
        q->setValue(dlg->colValue, "7.5");
        dlg->btnOk->click();
    });
    ShowFillValuesDlg(&grid);
    EXPECT_EQ(edits, QStringList({"0.数量=7.5"}));
    EXPECT_EQ(src.value(0, 2).toDouble(), 7.5);
}

// The user's click on 确定 while a value cell is being edited, in the running
// event loop (the press, what it sets off, the release): it ends the edit and
// fills at once.
TEST_F(GridFixture, OneClickOnOkWhileAValueIsBeingEdited)
{
    select({0});
    ScriptedMessageBoxes boxes;
    whenShown<TFillValuesDlg>([](TFillValuesDlg* dlg) {
        dlg->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dlg));
        TreeNode* q = nodeOf(*dlg, "数量");
        q->setCheckState(Qt::Checked);
        dlg->trlFieldValues->setFocusedNode(q);
        dlg->trlFieldValues->setFocusedColumn(dlg->colValue);
        ASSERT_TRUE(dlg->trlFieldValues->startEdit(dlg->colValue));
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr);
        editor->selectAll();
        QTest::keyClicks(editor, "8.25");
        QTest::mousePress(dlg->btnOk, Qt::LeftButton);
        QTest::qWait(20);
        QTest::mouseRelease(dlg->btnOk, Qt::LeftButton);
        QTest::qWait(20);
    });
    ShowFillValuesDlg(&grid);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(edits, QStringList({"0.数量=8.25"}));
}

TEST_F(GridFixture, EveryTickedFieldOfEverySelectedRowInRowMajorOrder)
{
    src.setValue(2, 1, "keep");
    select({0, 2, 3});
    TFillValuesDlg dlg;
    dlg.LoadFields(&grid);
    nodeOf(dlg, "名称")->setCheckState(Qt::Checked);
    nodeOf(dlg, "名称")->setValue(dlg.colValue, QVariant()); // an empty text
    nodeOf(dlg, "数量")->setCheckState(Qt::Checked);
    nodeOf(dlg, "数量")->setValue(dlg.colValue, "3");
    dlg.FillValues();
    EXPECT_EQ(edits, QStringList({"0.名称=", "0.数量=3", "2.名称=", "2.数量=3", "3.名称=", "3.数量=3"}));
    // Empty text is stored as Null, never as an empty string; row 1 was not selected.
    EXPECT_TRUE(src.value(2, 1).isNull());
    EXPECT_EQ(src.value(1, 1).toString(), "n2");
    EXPECT_EQ(src.value(1, 2).toDouble(), 21.0);
    // The user's selection is still the one worked through.
    EXPECT_EQ(grid.selectedRecordIndexes(), QList<int>({0, 2, 3}));
}

TEST_F(GridFixture, TheEditVetoKeepsARowAndEscStopsAfterTheCurrentCell)
{
    grid.setEditingHook([](const RowRef& r, Column*) { return r.record != 1; });
    select({0, 1, 2, 3});
    TFillValuesDlg dlg;
    dlg.LoadFields(&grid);
    nodeOf(dlg, "数量")->setCheckState(Qt::Checked);
    nodeOf(dlg, "数量")->setValue(dlg.colValue, "8");
    // Esc is pressed while the third selected row is written.
    QObject::connect(&grid, &BandedView::cellEdited, [this](int row, Column*, const QVariant&, const QVariant&) {
        if (grid.row(row).record == 2)
            QTest::keyClick(&grid, Qt::Key_Escape);
    });
    kvos::installEscapeKeyLatch();
    dlg.FillValues();
    EXPECT_EQ(edits, QStringList({"0.数量=8", "2.数量=8"}));
    EXPECT_EQ(src.value(1, 2).toDouble(), 21.0); // refused by the veto
    EXPECT_EQ(src.value(3, 2).toDouble(), 42.0); // never reached
}

TEST(FillValuesTree, SelectedNodesOfATreeList)
{
    TreeList tree;
    tree.addBand();
    Column* item = tree.addColumn("物料");
    item->setEditable(false);
    Column* qty = tree.addColumn("数量");
    qty->setValueType("Float");
    TreeNode* a = tree.addNode();
    a->setValue(item, "A");
    TreeNode* b = tree.addNode(a);
    b->setValue(item, "B");
    TreeNode* c = tree.addNode();
    c->setValue(item, "C");
    tree.expandNode(a);
    tree.setMultiSelect(true);
    tree.resize(400, 200);
    tree.show();
    tree.setFocusedNode(b);
    tree.selectNode(b, true);
    tree.selectNode(c, true);

    TFillValuesDlg dlg;
    dlg.LoadFields(&tree);
    EXPECT_EQ(captions(dlg), QStringList({"数量"}));
    TreeNode* node = dlg.trlFieldValues->topNode(0);
    EXPECT_EQ(node->stateIndex(), 6); // checked as a floating value
    node->setCheckState(Qt::Checked);
    node->setValue(dlg.colValue, "2.5");
    dlg.FillValues();
    EXPECT_TRUE(a->value(qty).isNull());
    EXPECT_EQ(b->value(qty).toString(), "2.5");
    EXPECT_EQ(c->value(qty).toString(), "2.5");
}

TEST(FillValuesDemo, ColumnOfSelectedRowsReadFromTheAccountSet)
{
    kvtest::DemoLogin::instance();
    TADOQuery query;
    query.SetConnection(GlobalADOConnection);
    ASSERT_TRUE(ExecSQLText(&query,
                            "select ItmID, ItmSafeQty=cast(0 as decimal(28,8)), ItmLeadTime=cast(0 as int) from "
                            "QZ_MRP_ItemSetting with(nolock) order by ItmID",
                            true, false, false));
    DataSetSource source(&query);
    BandedGrid grid;
    grid.addBand();
    Column* id = grid.addColumn("物料内码", "ItmID");
    id->setEditable(false);
    Column* safe = grid.addColumn("安全库存", "ItmSafeQty");
    Column* lead = grid.addColumn("提前期", "ItmLeadTime");
    grid.setDataSource(&source);
    grid.setMultiSelect(true);
    grid.resize(500, 300);
    grid.show();
    ASSERT_GE(grid.recordCount(), 5);
    grid.setFocusedRecordIndex(1);
    for (int r : {1, 3, 4})
        grid.selectRecord(r, true);

    // Through command 26's routine: 安全库存 and 提前期 ticked and filled.
    ScriptedMessageBoxes boxes;
    whenShown<TFillValuesDlg>([](TFillValuesDlg* dlg) {
        EXPECT_EQ(captions(*dlg), QStringList({"安全库存", "提前期"}));
        EXPECT_EQ(nodeOf(*dlg, "提前期")->stateIndex(), 3);
        dlg->btnSelectAll->click();
        nodeOf(*dlg, "安全库存")->setValue(dlg->colValue, "120.5");
        nodeOf(*dlg, "提前期")->setValue(dlg->colValue, "3");
        dlg->btnOk->click();
    });
    ShowFillValuesDlgProc()(&grid);
    EXPECT_TRUE(boxes.shown.isEmpty());
    for (int r = 0; r < grid.recordCount(); ++r) {
        const bool filled = r == 1 || r == 3 || r == 4;
        EXPECT_EQ(grid.value(r, safe).toDouble(), filled ? 120.5 : 0.0) << r;
        EXPECT_EQ(grid.value(r, lead).toInt(), filled ? 3 : 0) << r;
    }
    // The filled rows are pending changes of the client data set, nothing else is.
    for (int r = 0; r < grid.recordCount(); ++r)
        EXPECT_EQ(source.recordStatus(r), (r == 1 || r == 3 || r == 4) ? RecordStatus::Modified : RecordStatus::Unchanged) << r;
}
