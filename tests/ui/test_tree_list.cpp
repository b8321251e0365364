#include "TreeList.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

QIcon colourIcon(QColor c)
{
    QPixmap p(16, 16);
    p.fill(c);
    return QIcon(p);
}

// A bill of materials: a product whose levels load when they open.
struct TreeFixture : ::testing::Test {
    TreeList tree;
    Column *no, *name, *qty, *note;
    int loads = 0;

    void SetUp() override
    {
        tree.addBand("物料", BandFixed::Left);
        tree.addBand("用量");
        no = tree.addColumn("物料代码", "ItmNo", 0);
        name = tree.addColumn("物料名称", "ItmName", 1);
        qty = tree.addColumn("用量", "Qty", 1);
        qty->setValueType("Float");
        note = tree.addColumn("备注", "Note", 1);
        // Children are made when a node first opens; each level has two parts.
        tree.setExpandingHook([this](TreeNode* n) {
            if (n->childCount() == 0 && n->level() < 3) {
                ++loads;
                for (int i = 1; i <= 2; ++i) {
                    TreeNode* c = n->addChild();
                    c->setValue(no, n->value(no).toString() + "." + QString::number(i));
                    c->setValue(name, QString("零件%1").arg(i));
                    c->setValue(qty, double(i) * 1.5);
                    c->setHasChildren(n->level() < 2);
                }
            }
            return true;
        });
        TreeNode* head = tree.addNode();
        head->setValue(no, "P1");
        head->setValue(name, "成品");
        head->setValue(qty, 1.0);
        head->setHasChildren(true);
        TreeNode* other = tree.addNode();
        other->setValue(no, "P2");
        other->setValue(name, "备件");
        other->setValue(qty, 4.0);
        tree.resize(600, 400);
    }
};

} // namespace

TEST_F(TreeFixture, LoadsChildrenWhenANodeFirstOpens)
{
    TreeNode* head = tree.topNode(0);
    EXPECT_EQ(tree.rowCount(), 2);
    EXPECT_TRUE(head->hasChildren());
    EXPECT_TRUE(tree.expandNode(head));
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(tree.rowCount(), 4);
    EXPECT_EQ(tree.nodeAtRow(1)->value(no).toString(), "P1.1");
    tree.collapseNode(head);
    tree.expandNode(head);
    EXPECT_EQ(loads, 1);  // loaded once
    // A node that shows a button but has nothing to load loses the button.
    TreeNode* leafish = tree.topNode(1);
    leafish->setHasChildren(true);
    tree.setExpandingHook({});
    EXPECT_FALSE(tree.expandNode(leafish));
    EXPECT_FALSE(leafish->hasChildren());
}

TEST_F(TreeFixture, ExpandAllLoadsEverythingAndCanBeStopped)
{
    int asked = 0;
    EXPECT_FALSE(tree.expandAll([&] { return ++asked > 3; }));
    int partial = tree.nodeCount();
    EXPECT_LT(partial, 2 + 2 + 4 + 8);
    EXPECT_TRUE(tree.expandAll());
    EXPECT_EQ(tree.nodeCount(), 2 + 2 + 4 + 8);   // three loaded levels under P1
    EXPECT_EQ(tree.rowCount(), tree.nodeCount());
    tree.collapseAll();
    EXPECT_EQ(tree.rowCount(), 2);
}

TEST_F(TreeFixture, CollapseVetoKeepsTheHeadOpen)
{
    tree.setCollapsingHook([](TreeNode* n) { return n->level() > 0; });
    TreeNode* head = tree.topNode(0);
    tree.expandNode(head);
    tree.collapseNode(head);
    EXPECT_TRUE(head->isExpanded());
    TreeNode* part = head->child(0);
    tree.expandNode(part);
    tree.setFocusedNode(part->child(1));
    tree.collapseNode(part);
    EXPECT_FALSE(part->isExpanded());
    EXPECT_EQ(tree.focusedNode(), part);  // the focus climbs out of the closed branch
}

TEST_F(TreeFixture, SearchByTextStepsThroughMatches)
{
    tree.expandAll();
    TreeNode* a = tree.findNode("零件2", name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->value(no).toString(), "P1.1.1.2");
    TreeNode* b = tree.findNode("零件2", name, a);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(tree.findNode("p2", no, nullptr, true), tree.topNode(1));
    EXPECT_EQ(tree.findNode("没有", name), nullptr);
    // Wraps around to the first match after the last one.
    TreeNode* last = nullptr;
    for (TreeNode* n : tree.allNodes())
        if (n->text(name).contains("零件2")) last = n;
    EXPECT_EQ(tree.findNode("零件2", name, last), a);
}

TEST_F(TreeFixture, CheckBoxesImagesAndStateImages)
{
    tree.setImages({colourIcon(Qt::red), colourIcon(Qt::blue)});
    tree.setStateImages({colourIcon(Qt::green)});
    tree.setShowCheckBoxes(true);
    TreeNode* head = tree.topNode(0);
    head->setImageIndex(1);
    head->setStateIndex(0);
    RowRef r = tree.row(0);
    EXPECT_EQ(r.node, head);
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    QSignalSpy checks(&tree, &TreeList::nodeCheckChanged);
    QRect cell = tree.cellRect(0, no);
    // Button, then the check box, then the state image, then the node image.
    QPoint checkPos(cell.left() + BandedView::IndentStep + 9, cell.center().y());
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, checkPos);
    EXPECT_TRUE(head->isChecked());
    EXPECT_EQ(checks.count(), 1);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, checkPos);
    EXPECT_FALSE(head->isChecked());
    // The expand button opens the node.
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(cell.left() + 9, cell.center().y()));
    EXPECT_TRUE(head->isExpanded());
    // A disabled node's box, and a node without one, do not change by a click.
    for (auto setUp : {+[](TreeNode* n) { n->setEnabled(false); }, +[](TreeNode* n) { n->setCheckable(false); }}) {
        setUp(head);
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, checkPos, 500);
        EXPECT_FALSE(head->isChecked());
        head->setEnabled(true);
        head->setCheckable(true);
    }
    EXPECT_EQ(checks.count(), 2);
    QImage img = tree.grab().toImage();
    EXPECT_FALSE(img.isNull());

    // Only the nodes the hook names carry a box; a click beside no box checks nothing.
    tree.setCheckableHook([](TreeNode* n) { return n->level() == 0; });
    ASSERT_GT(head->childCount(), 0);
    TreeNode* child = head->child(0);
    const int childRow = tree.rowOfNode(child);
    ASSERT_GE(childRow, 0);
    QRect childCell = tree.cellRect(childRow, no);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(childCell.left() + 2 * BandedView::IndentStep + 9, childCell.center().y()));
    EXPECT_FALSE(child->isChecked());
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, checkPos);
    EXPECT_TRUE(head->isChecked());
}

TEST_F(TreeFixture, MultiSelectWithAVeto)
{
    tree.expandAll();
    tree.setMultiSelect(true);
    // Once a part of the first level leads the selection, only first-level parts join.
    tree.setCanSelectHook([this](TreeNode* n) {
        QList<TreeNode*> sel = tree.selectedNodes();
        return sel.isEmpty() || sel.first()->level() != 1 || n->level() == 1;
    });
    TreeNode* head = tree.topNode(0);
    TreeNode* p1 = head->child(0);
    TreeNode* p2 = head->child(1);
    tree.setFocusedNode(p1);
    tree.selectNode(p1->child(0), true);
    tree.selectNode(p2, true);
    EXPECT_EQ(tree.selectedNodes(), (QList<TreeNode*>{p1, p2}));
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    int r = tree.rowOfNode(p2->child(0));
    tree.makeRowVisible(r);
    QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, tree.cellRect(r, name).center());
    EXPECT_EQ(tree.selectedCount(), 2);  // vetoed
    // Deleting a selected node drops it from the selection.
    tree.deleteNode(p2);
    EXPECT_EQ(tree.selectedNodes(), QList<TreeNode*>{p1});
}

TEST_F(TreeFixture, SortsChildrenOnEveryLevel)
{
    tree.expandAll();
    tree.sortBy(qty, Qt::DescendingOrder);
    EXPECT_EQ(tree.topNode(0)->value(no).toString(), "P2");
    TreeNode* p1 = tree.topNode(1);
    EXPECT_EQ(p1->child(0)->value(no).toString(), "P1.2");
    EXPECT_EQ(p1->child(0)->child(0)->value(no).toString(), "P1.2.2");
    tree.sortBy(name, Qt::AscendingOrder);
    EXPECT_EQ(tree.topNode(0)->value(name).toString(), "备件");
}

TEST_F(TreeFixture, PerCellEditorsEditingVetoAndCustomDraw)
{
    tree.expandNode(tree.topNode(0));
    auto combo = std::make_shared<ImageComboProperties>();
    combo->addItem("A", "甲");
    combo->addItem("B", "乙");
    // Notes of parts pick from a list; the head's note is free text.
    note->editorHook = [combo](const RowRef& r) -> EditorPtr { return r.level > 0 ? combo : nullptr; };
    tree.setEditingHook([](const RowRef& r, Column* c) { return !(c->valueType() == "Float" && r.level == 0); });
    tree.setCustomDrawHook([](CellDraw& c) {
        if (c.row.level == 0) c.font.setBold(true);
        if (c.row.node->value(c.column).isNull()) c.background = QColor(255, 0, 0);
    });
    tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
    TreeNode* head = tree.topNode(0);
    TreeNode* part = head->child(0);
    tree.setFocusedNode(part);
    ASSERT_TRUE(tree.startEdit(note));
    auto* cb = qobject_cast<QComboBox*>(tree.activeEditor());
    ASSERT_NE(cb, nullptr);
    cb->setCurrentIndex(1);
    tree.postEdit();
    EXPECT_EQ(part->value(note).toString(), "B");
    EXPECT_EQ(part->text(note), "乙");

    tree.setFocusedNode(head);
    ASSERT_TRUE(tree.startEdit(note));
    EXPECT_NE(qobject_cast<QLineEdit*>(tree.activeEditor()), nullptr);
    tree.cancelEdit();
    EXPECT_FALSE(tree.startEdit(qty));   // vetoed on the head
    tree.setFocusedNode(part);
    ASSERT_TRUE(tree.startEdit(qty));
    qobject_cast<QLineEdit*>(tree.activeEditor())->setText("2.25");
    tree.postEdit();
    EXPECT_EQ(part->value(qty).typeId(), QMetaType::Double);
    EXPECT_EQ(part->value(qty).toDouble(), 2.25);

    CellModel* m = tree.cellModel();
    int noCol = int(tree.visibleColumns().indexOf(no));
    int noteCol = int(tree.visibleColumns().indexOf(note));
    EXPECT_EQ(m->index(0, noCol).data(CellModel::FontStyleRole).toInt(), 1);   // head bold
    EXPECT_EQ(m->index(1, noCol).data(CellModel::FontStyleRole).toInt(), 0);
    EXPECT_EQ(m->index(0, noteCol).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 0, 0));
    EXPECT_EQ(m->index(1, noteCol).data(Qt::DisplayRole).toString(), "乙");
    EXPECT_EQ(m->index(1, 0).data(CellModel::LevelRole).toInt(), 1);
}

TEST_F(TreeFixture, FocusSignalsAndFooterSummary)
{
    QSignalSpy spy(&tree, &TreeList::focusedNodeChanged);
    tree.setFocusedNode(tree.topNode(1));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy[0][1].value<TreeNode*>(), tree.topNode(1));
    tree.setShowFooter(true);
    qty->setFooterSummary(SummaryKind::Sum, "#,##0.00");
    EXPECT_EQ(tree.footerText(qty), "5.00");
    tree.expandNode(tree.topNode(0));
    EXPECT_EQ(tree.footerText(qty), "9.50");   // 1 + 4 + 1.5 + 3
}

TEST_F(TreeFixture, FocusAskedForWhileUpdatesAreHeldLandsOnItsNode)
{
    // Nodes made again under held updates, as a list refilled from scratch:
    // the rows still name the old nodes until the update ends.
    for (int round = 0; round < 20; ++round) {
        tree.beginUpdate();
        tree.clear();
        for (int i = 0; i < 5; ++i)
            tree.addNode()->setValue(no, QString("N%1").arg(i));
        TreeNode* wanted = tree.topNode(round % 5);
        tree.setFocusedNode(wanted);
        tree.endUpdate();
        ASSERT_EQ(tree.focusedNode(), wanted) << round;
        ASSERT_EQ(tree.selectedNodes(), QList<TreeNode*>{wanted}) << round;
    }
}
