// The bill-of-materials expansion on the demo account set: the four levels of
// the table fan unfolded one at a time, row numbers, trial quantities with
// loss and yield, local substitutes and loss texts edited, checked, saved as
// ERP documents and read back, and substitutes copied from other bills.
#include "DialogDriver.h"
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "ViewActions.h"
#include "dlgCopyItemSubs.h"
#include "dlgViewScheme.h"
#include "famBOMExpand.h"
#include "untLossRate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace enginetest;

namespace {

class BOMExpandTest : public EngineDbTest {
protected:
    std::shared_ptr<TBOMExpandFrame> view;

    void TearDown() override
    {
        view.reset();
        EngineDbTest::TearDown();
    }

    static QString master(const QString& item, const QString& type, const QString& bom)
    {
        return QStringLiteral("BomItmID=%1\r\nBomType=%2\r\nBomID=%3").arg(item, type, bom);
    }

    TBOMExpandFrame* open(const QString& masterValues, bool withSubs = false)
    {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.BOMExpand"));
        EXPECT_NE(def, nullptr);
        view = CreateInfoView<TBOMExpandFrame>(nullptr, def);
        view->InitializeView(QString(), IInfoViewPtr());
        // As the detail of the bill list, the view takes its scheme unasked.
        InitViewSchemeDlgUnit(InfoApplication);
        InfoApplication->ParseViewSchemeSQL(def, &view->ViewScheme, GlobalADOQuery);
        view->ApplyViewScheme();
        {
            const QSignalBlocker block(view->chkSubItems);
            view->chkSubItems->setChecked(withSubs);
        }
        view->SetMasterValues(masterValues, false);
        view->RefreshData(true);
        return view.get();
    }
    TBOMExpandFrame* openProduct(const char* bomID, bool withSubs = false)
    {
        const QString id = QLatin1String(bomID);
        const QString item = value(QStringLiteral("select BomItmID from QZ_MRP_ItemBOMs where BomID='%1'").arg(id));
        return open(master(u'\'' + item + u'\'', QStringLiteral("0"), u'\'' + id + u'\''), withSubs);
    }
    bool enabled(const char* action) { return kvtest::actionEnabled(view.get(), action); }
    void run(const char* action) { kvtest::runAction(view.get(), action); }

    kvui::TreeNode* root() { return view->grdExpand->topCount() ? view->grdExpand->topNode(0) : nullptr; }
    // The loaded node whose row number reads so.
    kvui::TreeNode* node(const QString& entry)
    {
        for (kvui::TreeNode* n : view->grdExpand->allNodes())
            if (view->EntryText(n) == entry)
                return n;
        ADD_FAILURE() << "no node " << entry.toStdString();
        return nullptr;
    }
    // Row number, kind and item number of the children of a node.
    QStringList children(kvui::TreeNode* parent)
    {
        QStringList out;
        for (kvui::TreeNode* n : parent->children())
            out << view->EntryText(n) + u'|' + QString::number(n->imageIndex()) + u'|' + n->value(view->colBomItmNo).toString();
        return out;
    }
    void type(kvui::TreeNode* n, kvui::Column* column, const QVariant& v)
    {
        ASSERT_TRUE(view->CanEditCell(n, column)) << view->EntryText(n).toStdString() << " " << column->caption().toStdString();
        const QVariant old = n->value(column);
        n->setValue(column, v);
        view->CellEdited(n, column, old);
    }
    void focus(kvui::TreeNode* n)
    {
        for (kvui::TreeNode* s : view->grdExpand->selectedNodes())
            view->grdExpand->selectNode(s, false);
        view->grdExpand->setFocusedNode(n);
    }
    double num(kvui::TreeNode* n, kvui::Column* c) { return n->value(c).toDouble(); }
    ::testing::AssertionResult save() { return kvtest::saveWithoutBoxes(view.get()); }
    QStringList documents()
    {
        return rows("select BillID from ERP_Bills where BillKind=16 order by BillID");
    }
};

} // namespace

TEST_F(BOMExpandTest, FourLevelsUnfoldOneLevelAtATime)
{
    // The switch is planned as bought: its own bill is never unfolded.
    exec("update QZ_MRP_ItemSetting set ItmMrpType=1 where ItmID='ISA-401'");
    openProduct("B-FG-1001");
    ASSERT_NE(root(), nullptr);
    EXPECT_EQ(view->EntryText(root()), QStringLiteral("(产品)"));
    EXPECT_EQ(root()->value(view->colBomItmNo).toString(), QStringLiteral("FG-1001"));
    EXPECT_EQ(children(root()),
              (QStringList{"1|3|SA-101", "2|3|SA-201", "3|3|SA-301", "4|6|SA-401", "5|2|SA-601", "6|2|PT-603", "7|2|PT-602",
                           "8|2|PT-601", "9|6|PH-501", "10|2|PT-606"}));
    // The planning type by its name, the switch's as its setting plans it.
    EXPECT_EQ(root()->text(view->colBomItmMrpType), QStringLiteral("自制"));
    EXPECT_EQ(node(QStringLiteral("4"))->text(view->colBomItmMrpType), QStringLiteral("外购"));
    // Only the first level is read.
    EXPECT_EQ(view->grdExpand->nodeCount(), 11);
    kvui::TreeNode* sa = node(QStringLiteral("1"));
    EXPECT_TRUE(TBOMExpandFrame::LevelNotLoaded(sa));
    EXPECT_EQ(sa->text(view->colBomItmBomNo), QStringLiteral("BOM-SA-101"));
    EXPECT_TRUE(sa->hasChildren());
    EXPECT_FALSE(node(QStringLiteral("4"))->hasChildren());

    ASSERT_TRUE(view->grdExpand->expandNode(sa));
    EXPECT_EQ(children(sa), (QStringList{"1.1|3|PT-101", "1.2|3|PT-111", "1.3|2|PT-121", "1.4|2|PT-131", "1.5|2|PT-132",
                                         "1.6|2|PT-141", "1.7|2|PT-601"}));
    kvui::TreeNode* shaft = node(QStringLiteral("1.1"));
    ASSERT_TRUE(view->grdExpand->expandNode(shaft));
    EXPECT_EQ(children(shaft), (QStringList{"1.1.1|2|RM-101", "1.1.2|2|RM-102", "1.1.3|2|RM-104", "1.1.4|2|RM-105"}));
    EXPECT_EQ(shaft->child(0)->level(), 3);
    EXPECT_DOUBLE_EQ(num(shaft->child(0), view->colBomFullQty), 0.15);

    // A level read once is not read again: the bill's lines may go, the tree keeps them.
    exec("delete QZ_MRP_ItemBOMLines where BomID='B-PT-101'");
    view->grdExpand->collapseNode(shaft);
    ASSERT_TRUE(view->grdExpand->expandNode(shaft));
    EXPECT_EQ(shaft->childCount(), 4);
    // The head stays open.
    view->grdExpand->collapseNode(root());
    EXPECT_TRUE(root()->isExpanded());
}

TEST_F(BOMExpandTest, MasterValuesEnterTheStatementOnlyAsLiterals)
{
    const struct {
        const char* item;
        const char* type;
        const char* bom;
        int nodes;
    } cases[] = {
        {"'IFG-1001'", "0", "'B-FG-1001'", 11},
        {"N'IFG-1001'", "0", "null", 11},              // the product's default bill
        {"null", "0", "'B-FG-1001'", 0},               // no product
        {"'IFG-1001'", "0", "'B-NONE'", 0},            // no such bill
        {"IFG-1001", "0", "'B-FG-1001'", 0},           // not quoted
        {"'IFG-1001'", "0", "'x' delete QZ_MRP_ItemBOMs--'", 0},
        {"'IFG-1001'", "0;drop table QZ_MRP_ItemBOMLines", "'B-FG-1001'", 0},
        {"'IFG-1001''", "0", "'B-FG-1001'", 0},        // an open quote
    };
    for (const auto& c : cases) {
        ScriptedMessageBoxes boxes;
        open(master(QString::fromUtf8(c.item), QString::fromUtf8(c.type), QString::fromUtf8(c.bom)));
        EXPECT_EQ(view->grdExpand->nodeCount(), c.nodes) << c.item << " " << c.type << " " << c.bom;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.bom;
    }
    EXPECT_EQ(value("select count(*) from QZ_MRP_ItemBOMs"), "21");
    EXPECT_EQ(value("select count(*) from QZ_MRP_ItemBOMLines"), "97");
}

TEST_F(BOMExpandTest, TrialQuantitiesFollowTheLossModeAndTheParentsYield)
{
    // Bearings: 2 per fan with 5% loss; the motor shaft by the dozen (12
    // pieces), 30 pieces per fan; screws fixed at 3; the capacitor at half.
    exec("insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('DOZ', 'DOZ', '打', 12)\r"
         "update QZ_MRP_ItemBOMLines set BomLossRate=5 where BomID='B-SA-101' and BomEntry=4\r"
         "update QZ_MRP_ItemBOMLines set BomUntID='DOZ', BomQty=30, BomUQty=2.5 where BomID='B-SA-101' and BomEntry=5\r"
         "update QZ_MRP_ItemBOMLines set BomFixed=1, BomQty=3 where BomID='B-SA-101' and BomEntry=7\r"
         "update QZ_MRP_ItemBOMLines set BomPercent=50 where BomID='B-SA-101' and BomEntry=6\r"
         "update QZ_MRP_ItemBOMLines set BomPutLossRate='10:10%|20%' where BomID='B-SA-101' and BomEntry=4");
    SetLossRateTypeForTest(false);
    const struct {
        double yield;
        int mode;
        const char* entry;
        double full, uTest, test;
    } cases[] = {
        {100, 0, "4", 2, 20, 20},         // 10 × 2
        {100, 1, "4", 2, 21, 21},         // plus 5%
        {80, 1, "4", 2, 26.25, 26.25},    // 10 × 100 ÷ 80 × 2 plus 5%
        {80, 0, "4", 2, 20, 20},          // without loss the yield does not count
        {0, 1, "4", 2, 21, 21},           // a yield of 0 counts as 100
        {100, 2, "4", 2, 23, 23},         // the step text: 10% of the first 10, 20% of the rest
        {100, 0, "5", 30, 25, 300},       // 10 × 30 pieces = 25 dozen
        {100, 0, "7", 3, 3, 3},           // fixed: whatever the trial quantity
        {100, 0, "6", 0.5, 5, 5},         // half of the rows go this way
    };
    for (const auto& c : cases) {
        exec(QStringLiteral("update QZ_MRP_ItemBOMs set BomOkRate=%1 where BomID='B-SA-101'").arg(c.yield));
        openProduct("B-SA-101");
        ASSERT_NE(root(), nullptr);
        view->cboLossRate->setCurrentIndex(c.mode);
        type(root(), view->colBomUTestQty, 10);
        kvui::TreeNode* n = node(QLatin1String(c.entry));
        ASSERT_NE(n, nullptr);
        EXPECT_NEAR(num(n, view->colBomFullQty), c.full, 1e-9) << c.entry << " mode " << c.mode;
        EXPECT_NEAR(num(n, view->colBomUTestQty), c.uTest, 1e-9) << c.entry << " mode " << c.mode << " yield " << c.yield;
        EXPECT_NEAR(num(n, view->colBomTestQty), c.test, 1e-9) << c.entry << " mode " << c.mode << " yield " << c.yield;
    }
    // Changing the mode recomputes the rows and keeps the head's trial quantity.
    view->cboLossRate->setCurrentIndex(1);
    EXPECT_DOUBLE_EQ(num(root(), view->colBomUTestQty), 10);
    EXPECT_NEAR(num(node(QStringLiteral("4")), view->colBomUTestQty), 21, 1e-9);
}

TEST_F(BOMExpandTest, TrialQuantitiesReachTheFourthLevel)
{
    exec("update QZ_MRP_ItemBOMs set BomOkRate=80 where BomID='B-SA-101'");
    openProduct("B-FG-1001");
    view->cboLossRate->setCurrentIndex(1);
    type(root(), view->colBomUTestQty, 8);
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("1"))));
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("1.1"))));
    // 8 fans need 8 motor sets, which need 10 shafts at 80% yield, and 0.15 kg of steel each.
    EXPECT_NEAR(num(node(QStringLiteral("1.1")), view->colBomUTestQty), 10, 1e-9);
    EXPECT_NEAR(num(node(QStringLiteral("1.1.1")), view->colBomUTestQty), 1.5, 1e-9);
    EXPECT_NEAR(num(node(QStringLiteral("1.1.1")), view->colBomFullQty), 0.15, 1e-9);
}

TEST_F(BOMExpandTest, SubstitutesShowUnderTheirRowsWithLettersAfterTheRowNumber)
{
    exec("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (null, null, null, 'ISA-201', '', 'ISA-202', '', 1, 1, 1, 1)\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (null, null, null, 'ISA-201', '', 'IPT-133', '', 1, 1, 2, 1)\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (0, 'B-SA-301', 'B-SA-301-02', 'IPT-302', '', 'IPT-132', '', 1, 2, 1, 0)\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (0, 'B-SA-301', 'B-SA-301-02', 'IPT-302', '', 'IPT-131', '', 1, 3, 2, 0)\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (null, null, null, 'IPT-302', '', 'IPT-133', '', 1, 1, 1, 1)");
    openProduct("B-FG-1001", true);
    EXPECT_EQ(children(node(QStringLiteral("2"))), (QStringList{"2.A|1|SA-202", "2.B|1|PT-133"}));
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("3"))));
    EXPECT_EQ(children(node(QStringLiteral("3.2"))), (QStringList{"3.2.a|0|PT-132", "3.2.b|0|PT-131", "3.2.A|1|PT-133"}));
    EXPECT_EQ(node(QStringLiteral("3.2.a"))->value(view->colBomRole).toString(), QStringLiteral("局部替代料"));
    // A substitute's usage is per so much of the replaced row: 3 for 1 × 4 per set.
    view->cboLossRate->setCurrentIndex(0);
    EXPECT_NEAR(num(node(QStringLiteral("3.2.b")), view->colBomFullQty), 12, 1e-9);

    // Without the box the substitutes stay out.
    view->chkSubItems->setChecked(false);
    EXPECT_TRUE(node(QStringLiteral("2"))->children().isEmpty());
}

TEST_F(BOMExpandTest, CommandsFollowModeSelectionAndTheSubstitutesBox)
{
    open(master("'IFG-NONE'", "0", "null"));
    for (const char* action : {"Update", "AddSubs", "CopySubs", "DelSubs", "UpSubs", "DownSubs"})
        EXPECT_FALSE(enabled(action)) << action;

    exec("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (0, 'B-FG-1001', 'B-FG-1001-05', 'ISA-601', '', 'ISA-602', '', 1, 1, 1, 0)\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (null, null, null, 'ISA-601', '', 'IPT-133', '', 1, 1, 1, 1)");
    openProduct("B-FG-1001", false);
    run("Update");
    EXPECT_FALSE(view->chkSubItems->isEnabled());
    focus(node(QStringLiteral("5")));
    EXPECT_FALSE(enabled("AddSubs"));
    EXPECT_FALSE(enabled("CopySubs"));
    run("Update");
    EXPECT_TRUE(view->chkSubItems->isEnabled());

    view->chkSubItems->setChecked(true);
    run("Update");
    focus(node(QStringLiteral("5")));
    EXPECT_TRUE(enabled("AddSubs"));
    EXPECT_TRUE(enabled("CopySubs"));
    EXPECT_FALSE(enabled("DelSubs"));
    focus(root());
    EXPECT_FALSE(enabled("AddSubs"));
    run("AddSubs");   // refused on the head
    EXPECT_EQ(node(QStringLiteral("5"))->childCount(), 2);
    focus(node(QStringLiteral("5")));
    run("AddSubs");
    EXPECT_EQ(children(node(QStringLiteral("5"))), (QStringList{"5.a|0|SA-602", "5.b|0|", "5.A|1|PT-133"}));
    focus(node(QStringLiteral("5.a")));
    EXPECT_FALSE(enabled("UpSubs"));
    EXPECT_TRUE(enabled("DownSubs"));
    EXPECT_TRUE(enabled("DelSubs"));
    focus(node(QStringLiteral("5.b")));
    EXPECT_TRUE(enabled("UpSubs"));
    EXPECT_FALSE(enabled("DownSubs"));   // a global one follows
    focus(node(QStringLiteral("5.A")));
    EXPECT_FALSE(enabled("DelSubs"));
    // With substitutes shown and phantom items expanded (the demo's setting) loss texts stay read-only.
    EXPECT_FALSE(view->CanEditCell(node(QStringLiteral("5")), view->colBomPutLossRate));
    EXPECT_FALSE(view->CanEditCell(node(QStringLiteral("5.A")), view->colBomUCurrQty));

    run("UpSubs");   // not for a global substitute
    focus(node(QStringLiteral("5.b")));
    run("UpSubs");
    EXPECT_EQ(children(node(QStringLiteral("5"))), (QStringList{"5.a|0|", "5.b|0|SA-602", "5.A|1|PT-133"}));
    EXPECT_TRUE(TBOMExpandFrame::SubsChanged(node(QStringLiteral("5"))));

    // Both local substitutes at once; a global one cannot join the selection.
    focus(node(QStringLiteral("5.a")));
    view->grdExpand->selectNode(node(QStringLiteral("5.a")), true);
    view->grdExpand->selectNode(node(QStringLiteral("5.b")), true);
    view->grdExpand->selectNode(node(QStringLiteral("5.A")), true);
    EXPECT_EQ(view->grdExpand->selectedCount(), 2);
    ASSERT_TRUE(enabled("DelSubs"));
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        run("DelSubs");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您已选择 2 个项目进行批量删除, 确定?"));
    }
    EXPECT_EQ(children(node(QStringLiteral("5"))), QStringList{"5.A|1|PT-133"});
}

TEST_F(BOMExpandTest, CellEditsKeepQuantitiesAboveZeroAndBasesInTheReplacedRowsUnit)
{
    // The guard's clip is counted by the dozen in the bill.
    exec("insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('DOZ', 'DOZ', '打', 12)\r"
         "update QZ_MRP_ItemBOMLines set BomUntID='DOZ', BomUQty=2, BomQty=24 where BomID='B-SA-301' and BomEntry=2\r"
         "insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (0, 'B-SA-301', 'B-SA-301-02', 'IPT-302', '', 'IPT-132', '', 24, 2, 1, 0)");
    openProduct("B-SA-301", true);
    kvui::TreeNode* sub = node(QStringLiteral("2.a"));
    ASSERT_NE(sub, nullptr);
    // Read: 24 clips (2 dozen) are replaced by 2 shafts.
    EXPECT_DOUBLE_EQ(num(sub, view->colBomUBaseQty), 2);
    run("Update");
    const struct {
        kvui::Column* column;
        QVariant typed;
        kvui::Column* derived;
        double shown, derivedValue;
    } cases[] = {
        {view->colBomUBaseQty, 3, view->colBomBaseQty, 3, 36},    // 3 dozen clips
        {view->colBomBaseQty, 6, view->colBomUBaseQty, 6, 0.5},
        {view->colBomUCurrQty, 0, view->colBomCurrQty, 1, 1},     // not above 0: 1
        {view->colBomCurrQty, -4, view->colBomUCurrQty, 1, 1},
        {view->colBomUCurrQty, QString(), view->colBomCurrQty, 1, 1},
    };
    for (const auto& c : cases) {
        type(sub, c.column, c.typed);
        EXPECT_DOUBLE_EQ(num(sub, c.column), c.shown) << c.column->caption().toStdString();
        EXPECT_DOUBLE_EQ(num(sub, c.derived), c.derivedValue) << c.column->caption().toStdString();
    }
    type(sub, view->colBomEndDate, QDate(2030, 6, 30));
    type(sub, view->colBomEndDate, QVariant());
    EXPECT_EQ(sub->value(view->colBomEndDate).toDate(), QDate(9999, 12, 31));
    type(sub, view->colBomBeginDate, QDate(2027, 1, 1));
    type(sub, view->colBomBeginDate, QVariant());
    EXPECT_EQ(sub->value(view->colBomBeginDate).toDate(), QDate::currentDate());

    // Saved and read back, the base is the same 6 clips, half a dozen.
    type(sub, view->colBomBaseQty, 6);
    ASSERT_TRUE(save());
    EXPECT_EQ(rows("select SubQty, SubRQty from QZ_MRP_ItemSubstitutes where SubBomID='B-SA-301'"), QStringList{"6|1"});
    view->RefreshData(true);
    EXPECT_DOUBLE_EQ(num(node(QStringLiteral("2.a")), view->colBomUBaseQty), 0.5);
    EXPECT_DOUBLE_EQ(num(node(QStringLiteral("2.a")), view->colBomBaseQty), 6);
}

TEST_F(BOMExpandTest, EditedSubstitutesAndLossTextsAreSavedPerBillUpperLevelFirstAndReadBack)
{
    // Loss texts stay editable beside the substitutes when phantom items are not expanded.
    exec("update QZ_SYS_SysSettings set SetValue='0' where SetClass='QZ_MRP' and SetKey='BomExpandVirtualItem'");
    openProduct("B-FG-1001", true);
    run("Update");
    ASSERT_TRUE(view->GetEditMode());
    // The fan's own row: a loss text.
    type(node(QStringLiteral("1")), view->colBomPutLossRate, QStringLiteral("1|100:2%|1%"));
    EXPECT_TRUE(TBOMExpandFrame::RowEdited(node(QStringLiteral("1"))));
    // The guard's clip gets a local substitute, and the guard's wire a loss text.
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("3"))));
    focus(node(QStringLiteral("3.2")));
    run("AddSubs");
    kvui::TreeNode* sub = view->grdExpand->focusedNode();
    ASSERT_EQ(view->EntryText(sub), QStringLiteral("3.2.a"));
    type(sub, view->colBomItmNo, QStringLiteral("PT-133"));
    EXPECT_EQ(sub->value(view->colBomItmID).toString(), QStringLiteral("IPT-133"));
    type(sub, view->colBomUCurrQty, 2);
    type(sub, view->colBomNote, QStringLiteral("临时代用"));
    type(node(QStringLiteral("3.1")), view->colBomPutLossRate, QStringLiteral("1|5:10%|3%"));

    ASSERT_TRUE(save());
    EXPECT_FALSE(TBOMExpandFrame::SubsChanged(node(QStringLiteral("3.2"))));
    EXPECT_FALSE(TBOMExpandFrame::RowEdited(node(QStringLiteral("3.1"))));
    const QStringList bills = documents();
    ASSERT_EQ(bills.size(), 2);
    EXPECT_EQ(rows("select ListName, count(*) from ERP_BillRows where BillID=" + bills[0] + " group by ListName"), QStringList{"Rows|1"});
    EXPECT_EQ(rows("select ListName, count(*) from ERP_BillRows where BillID=" + bills[1] + " group by ListName order by ListName"),
              (QStringList{"ItemSubs|1", "Rows|1"}));
    EXPECT_EQ(rows("select BomID, BomEntry, BomPutLossRate from QZ_MRP_ItemBOMLines where BomPutLossRate is not null order by BomID"),
              (QStringList{"B-FG-1001|1|1|100:2%|1%", "B-SA-301|1|1|5:10%|3%"}));
    EXPECT_EQ(rows("select SubBomID, BomRowHook, SubItmID, SubRItmID, SubQty, SubRQty, SubNote from QZ_MRP_ItemSubstitutes "
                   "where SubGlobal=0"),
              QStringList{"B-SA-301|B-SA-301-02|IPT-302|IPT-133|1|2|临时代用"});

    // Nothing left to write: no further document.
    ASSERT_TRUE(save());
    EXPECT_EQ(documents().size(), 2);

    run("Update");
    view->RefreshData(true);
    EXPECT_EQ(node(QStringLiteral("1"))->value(view->colBomPutLossRate).toString(), QStringLiteral("1|100:2%|1%"));
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("3"))));
    EXPECT_EQ(children(node(QStringLiteral("3.2"))), QStringList{"3.2.a|0|PT-133"});
    EXPECT_DOUBLE_EQ(num(node(QStringLiteral("3.2.a")), view->colBomUCurrQty), 2);

    // Deleting the last one clears the row's substitutes.
    run("Update");
    focus(node(QStringLiteral("3.2.a")));
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        run("DelSubs");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您所选的项目将被删除, 确定?"));
    }
    ASSERT_TRUE(save());
    EXPECT_EQ(value("select count(*) from QZ_MRP_ItemSubstitutes where SubGlobal=0"), "0");
    EXPECT_EQ(rows("select RowValues from ERP_BillRows where BillID=" + documents().last()).size(), 1);
}

TEST_F(BOMExpandTest, WithoutTheSubstitutesBoxOnlyLossTextsAreWritten)
{
    openProduct("B-SA-101", false);
    run("Update");
    type(node(QStringLiteral("4")), view->colBomPutLossRate, QStringLiteral("1|2%"));
    ASSERT_TRUE(save());
    EXPECT_EQ(rows("select ListName from ERP_BillRows as r join ERP_Bills as b on r.BillID=b.BillID where b.BillKind=16"),
              QStringList{"Rows"});
    EXPECT_EQ(value("select BomPutLossRate from QZ_MRP_ItemBOMLines where BomID='B-SA-101' and BomEntry=4"), "1|2%");
}

TEST_F(BOMExpandTest, SaveRefusesBadSubstitutesAndWritesNothing)
{
    const struct {
        const char* item;
        bool sameDay;
        const char* message;
    } cases[] = {
        {"", false, "[物料代码]的内容不能为空!"},
        {"XX-999", false, "[物料代码]的值(XX-999)不存在!"},
        {"PT-132", false, "局部替代料不允许重复, 替代物料\"PT-132\"已存在!"},
        {"SA-101", false, "替代物料\"SA-101\"与被替代物料(或其上级产品)出现重复!"},   // the product at the head
        {"PT-131", false, "替代物料\"PT-131\"与被替代物料(或其上级产品)出现重复!"},   // the row itself
        {"PT-133", true, "[失效日期]的值没有大于[生效日期]的值!"},                     // begins on its last day
    };
    for (const auto& c : cases) {
        openProduct("B-SA-101", true);
        run("Update");
        // A sound first substitute of the bearings, then the case.
        focus(node(QStringLiteral("4")));
        run("AddSubs");
        type(node(QStringLiteral("4.a")), view->colBomItmNo, QStringLiteral("PT-132"));
        focus(node(QStringLiteral("4")));
        run("AddSubs");
        kvui::TreeNode* sub = node(QStringLiteral("4.b"));
        ASSERT_NE(sub, nullptr);
        type(sub, view->colBomItmNo, QString::fromUtf8(c.item));
        if (c.sameDay)
            type(sub, view->colBomBeginDate, QDate(9999, 12, 31));
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(view->SaveData()) << c.message;
        ASSERT_EQ(boxes.shown.size(), 1) << c.message;
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(view->grdExpand->focusedNode(), sub) << c.message;
        EXPECT_TRUE(documents().isEmpty()) << c.message;
    }
}

TEST_F(BOMExpandTest, ARowsOwnBillIsChosenFromItsItemsBills)
{
    // The fan names no bill for its blade, whose item gets a second,
    // unchecked bill.
    exec("update QZ_MRP_ItemBOMLines set BomItmBomType=null, BomItmBomID=null where BomID='B-FG-1001' and BomEntry=2\r"
         "insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, Checked) "
         "values (0, 'B-SA-201B', 'BOM-SA-201B', 'ISA-201', '', 90, 0, 1, '20261201', 0)\r"
         "insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomRowHook, BomRole) "
         "values (0, 'B-SA-201B', 1, 'IPT-133', '', 3, 1, 'B-SA-201B-01', 0)");
    openProduct("B-FG-1001");
    kvui::TreeNode* blade = node(QStringLiteral("2"));
    EXPECT_EQ(children(root()).value(1), QStringLiteral("2|4|SA-201"));
    ASSERT_TRUE(view->CanEditCell(blade, view->colBomItmBomNo)) << view->colBomItmBomNo->isEditable();
    EXPECT_FALSE(view->CanEditCell(node(QStringLiteral("5")), view->colBomItmBomNo));   // a bought switch
    view->PrepareBomNoChoice(blade);
    ASSERT_EQ(view->BomNoChoiceEntries().size(), 2);
    type(blade, view->colBomItmBomNo, QStringLiteral("BOM-SA-201B"));
    EXPECT_EQ(blade->value(view->colBomItmBomID).toString(), QStringLiteral("B-SA-201B"));
    EXPECT_EQ(blade->imageIndex(), int(bkBomOther));
    EXPECT_DOUBLE_EQ(num(blade, view->colBomItmOkRate), 90);
    EXPECT_EQ(children(blade), QStringList{"2.1|2|PT-133"});
    // Edit mode leaves the choice alone.
    run("Update");
    EXPECT_FALSE(view->CanEditCell(blade, view->colBomItmBomNo));
}

TEST_F(BOMExpandTest, CopySubstitutesFromOtherBillsOfTheSameRows)
{
    // The switch of both 16-inch fans may be replaced by the blade's second source (IPT-133).
    for (const char* bom : {"B-FG-1001", "B-FG-2001"})
        exec(QStringLiteral("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, "
                            "SubQty, SubRQty, SubPriority, SubGlobal, SubNote) values (0, '%1', '%1-05', 'ISA-601', '', 'IPT-133', '', 1, "
                            "2, 1, 0, '复制来源')")
                 .arg(QLatin1String(bom)));
    // A row the target does not use (the 16-inch motor set).
    exec("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, SubRQty, "
         "SubPriority, SubGlobal) values (0, 'B-FG-1001', 'B-FG-1001-01', 'ISA-101', '', 'ISA-102', '', 1, 1, 1, 0)");
    openProduct("B-FG-1002", true);
    run("Update");
    focus(node(QStringLiteral("5")));
    QStringList listed;
    kvtest::WhenShown<TCopyItemSubsDlg>([&](TCopyItemSubsDlg* dlg) {
        EXPECT_TRUE(dlg->edtTarget->text().startsWith(QStringLiteral("FG-1002 (台扇 / 12寸 两档)")));
        EXPECT_FALSE(dlg->btnOk->isEnabled());
        {
            ScriptedMessageBoxes boxes;
            dlg->edtItmNo->setText(QStringLiteral("FG-100_"));   // taken as it stands: FG-1001 and FG-1002
            dlg->btnSearchClick();
            EXPECT_TRUE(boxes.shown.isEmpty());
        }
        for (kvui::TreeNode* n : dlg->grdExpand->allNodes())
            listed << QString(n->level() * 2, u' ') + n->text(dlg->colBomNo) + u'|' + n->value(dlg->colBomItmNo).toString();
        dlg->edtItmNo->setText(QStringLiteral("FG-"));
        dlg->btnSearchClick();
        for (kvui::TreeNode* head : dlg->grdExpand->topNodes())
            head->setCheckState(Qt::Checked);
        EXPECT_TRUE(dlg->btnOk->isEnabled());
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        dlg->btnOk->click();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您选择从 2 个不同的BOM中复制替代料数据, 确定?"));
    });
    run("CopySubs");
    EXPECT_EQ(listed, (QStringList{"BOM-FG-1001|FG-1001", "  5|SA-601", "    a|PT-133"}));
    // The same relation from two bills is added once.
    EXPECT_EQ(children(node(QStringLiteral("5"))), QStringList{"5.a|0|PT-133"});
    EXPECT_DOUBLE_EQ(num(node(QStringLiteral("5.a")), view->colBomCurrQty), 2);
    EXPECT_EQ(node(QStringLiteral("5.a"))->value(view->colBomNote).toString(), QStringLiteral("复制来源"));
    EXPECT_TRUE(TBOMExpandFrame::SubsChanged(node(QStringLiteral("5"))));

    // Again: nothing new.
    kvtest::WhenShown<TCopyItemSubsDlg>([](TCopyItemSubsDlg* dlg) {
        dlg->edtItmNo->setText(QStringLiteral("FG-1001"));
        dlg->btnSearchClick();
        dlg->grdExpand->topNode(0)->setCheckState(Qt::Checked);
        dlg->btnOk->click();
    });
    {
        ScriptedMessageBoxes boxes;
        run("CopySubs");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("选择复制的替代料已存在于目标BOM中。"));
    }
    ASSERT_TRUE(save());
    EXPECT_EQ(rows("select SubRItmID, SubRQty from QZ_MRP_ItemSubstitutes where SubBomID='B-FG-1002'"), QStringList{"IPT-133|2"});

    // Replacing: the row's own local substitutes give way to the copied ones.
    focus(node(QStringLiteral("5")));
    run("AddSubs");
    type(node(QStringLiteral("5.b")), view->colBomItmNo, QStringLiteral("PT-132"));
    exec("update QZ_MRP_ItemSubstitutes set SubRQty=5 where SubBomID='B-FG-1001'");
    kvtest::WhenShown<TCopyItemSubsDlg>([](TCopyItemSubsDlg* dlg) {
        dlg->edtItmNo->setText(QStringLiteral("FG-1001"));
        dlg->btnSearchClick();
        dlg->grdExpand->topNode(0)->setCheckState(Qt::Checked);
        dlg->chkOverwrite->setChecked(true);
        dlg->btnOk->click();
    });
    run("CopySubs");
    EXPECT_EQ(children(node(QStringLiteral("5"))), QStringList{"5.a|0|PT-133"});
    EXPECT_DOUBLE_EQ(num(node(QStringLiteral("5.a")), view->colBomCurrQty), 5);
}

TEST_F(BOMExpandTest, CopyDialogSearchFindingNothingToCopySaysSo)
{
    openProduct("B-FG-1002", true);
    run("Update");
    focus(node(QStringLiteral("5")));
    const char* texts[] = {"FG-1002", "PT-141", ""};
    for (const char* text : texts) {
        kvtest::WhenShown<TCopyItemSubsDlg>([text](TCopyItemSubsDlg* dlg) {
            ScriptedMessageBoxes boxes;
            dlg->edtItmNo->setText(QString::fromUtf8(text));
            dlg->btnSearchClick();
            ASSERT_EQ(boxes.shown.size(), 1) << text;
            EXPECT_EQ(boxes.shown[0].text, *text ? QStringLiteral("未搜索到与复制目标产品相同BOM用料子项的替代料数据!")
                                                 : QStringLiteral("请输入需复制替代料信息的来源产品搜索内容!"));
            EXPECT_EQ(dlg->grdExpand->topCount(), 0);
            // OK without anything checked keeps the dialog open.
            boxes.shown.clear();
            dlg->done(QDialog::Accepted);
            EXPECT_TRUE(dlg->isVisible());
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown[0].text, QStringLiteral("请勾选需复制的替代料数据!"));
        });
        run("CopySubs");
    }
    EXPECT_EQ(node(QStringLiteral("5"))->childCount(), 0);
}

TEST_F(BOMExpandTest, ARefusedDocumentKeepsItsLevelsMarksAndTheUpperLevelSaved)
{
    openProduct("B-FG-1001", false);
    ASSERT_TRUE(view->grdExpand->expandNode(node(QStringLiteral("1"))));
    run("Update");
    type(node(QStringLiteral("2")), view->colBomPutLossRate, QStringLiteral("1%"));
    type(node(QStringLiteral("1.4")), view->colBomPutLossRate, QStringLiteral("2%"));
    // Another user renumbers the motor set's bearing row meanwhile.
    exec("update QZ_MRP_ItemBOMLines set BomRowHook='B-SA-101-04X' where BomID='B-SA-101' and BomEntry=4");
    {
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(view->SaveData());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: ")));
        EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("B-SA-101-04")));
    }
    EXPECT_EQ(documents().size(), 1);
    EXPECT_EQ(value("select BomPutLossRate from QZ_MRP_ItemBOMLines where BomID='B-FG-1001' and BomEntry=2"), "1%");
    EXPECT_FALSE(TBOMExpandFrame::RowEdited(node(QStringLiteral("2"))));
    EXPECT_TRUE(TBOMExpandFrame::RowEdited(node(QStringLiteral("1.4"))));
    EXPECT_TRUE(view->Modified);

    // Put right, the retry writes the lower level only.
    exec("update QZ_MRP_ItemBOMLines set BomRowHook='B-SA-101-04' where BomID='B-SA-101' and BomEntry=4");
    ASSERT_TRUE(save());
    EXPECT_EQ(documents().size(), 2);
    EXPECT_EQ(value("select BomPutLossRate from QZ_MRP_ItemBOMLines where BomID='B-SA-101' and BomEntry=4"), "2%");
}
