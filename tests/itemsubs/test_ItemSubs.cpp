// The item substitutes view on the demo account set: what the list procedure
// gives for each filter, editing substitutes and saving them as ERP
// documents, the save's checks, the add-substitute dialog, and an MRP run
// that takes a substitute saved from the view.
#include "DialogDriver.h"
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "ViewActions.h"
#include "clsPickEdit.h"
#include "dlgAddItemSubs.h"
#include "famItemSubs.h"
#include "untMRP.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>

using namespace enginetest;

namespace {

class ItemSubsTest : public EngineDbTest {
protected:
    std::shared_ptr<TItemSubsFrame> view;

    void TearDown() override
    {
        view.reset();
        EngineDbTest::TearDown();
    }

    TItemSubsFrame* open(int kind, const QString& text)
    {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.ItemSubs"));
        EXPECT_NE(def, nullptr);
        view = CreateInfoView<TItemSubsFrame>(nullptr, def);
        view->InitializeView(QString(), IInfoViewPtr());
        view->ViewScheme.SQLParsed = true;
        view->cboFilterKind->setCurrentIndex(kind);
        view->edtFilterText->setText(text);
        view->RefreshData(true);
        return view.get();
    }
    bool enabled(const char* action) { return kvtest::actionEnabled(view.get(), action); }
    void run(const char* action) { kvtest::runAction(view.get(), action); }

    // The tree as lines of indentation, label, kind, item number and base quantities.
    QStringList tree()
    {
        QStringList out;
        for (kvui::TreeNode* n : view->grdExpand->allNodes())
            out << QString(n->level() * 2, u' ') + n->text(view->colBomNo) + u'|' + QString::number(n->imageIndex()) + u'|' +
                       n->value(view->colBomItmNo).toString() + u'|' + n->value(view->colBomCurrQty).toString() + u'|' +
                       n->value(view->colBomBaseQty).toString();
        return out;
    }
    kvui::TreeNode* find(const QString& bomNo, const QString& rowLabel)
    {
        for (kvui::TreeNode* head : view->grdExpand->topNodes())
            if (head->text(view->colBomNo) == bomNo) {
                if (rowLabel.isEmpty())
                    return head;
                for (kvui::TreeNode* row : head->children())
                    if (row->text(view->colBomNo) == rowLabel)
                        return row;
            }
        return nullptr;
    }
    // Types into a cell as the user would.
    void type(kvui::TreeNode* node, kvui::Column* column, const QVariant& value)
    {
        ASSERT_TRUE(view->CanEditCell(node, column));
        const QVariant old = node->value(column);
        node->setValue(column, value);
        view->CellEdited(node, column, old);
    }
    void focus(kvui::TreeNode* node)
    {
        for (kvui::TreeNode* p = node->parent(); p; p = p->parent())
            p->setExpanded(true);
        for (kvui::TreeNode* n : view->grdExpand->selectedNodes())
            view->grdExpand->selectNode(n, false);
        view->grdExpand->setFocusedNode(node);
        view->grdExpand->selectNode(node, true);
    }
    kvui::TreeNode* addTo(kvui::TreeNode* row, const QString& itemNo)
    {
        focus(row);
        run("AddSubs");
        kvui::TreeNode* node = view->grdExpand->focusedNode();
        EXPECT_NE(node, row);
        type(node, view->colBomItmNo, itemNo);
        return node;
    }
    ::testing::AssertionResult save() { return kvtest::saveWithoutBoxes(view.get()); }
    // A main-demand build and an MRP run of the demo scheme.
    void runDemoScheme()
    {
        TPlanScheme scheme(GlobalADOConnection);
        ASSERT_TRUE(scheme.Load(1));
        ASSERT_TRUE(scheme.RunMPS(false, false));
        ASSERT_TRUE(scheme.Load(1));
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(scheme.RunMRP(false, false, false));
    }
    QStringList subs()
    {
        return rows("select isnull(SubBomID,'-'), isnull(BomRowHook,'-'), SubItmID, SubRItmID, SubQty, SubRQty, SubPriority, "
                    "cast(SubGlobal as int) from QZ_MRP_ItemSubstitutes order by SubGlobal, SubBomID, BomRowHook, SubPriority");
    }
};

const QString B101 = QStringLiteral("BOM-SA-101");

} // namespace

TEST_F(ItemSubsTest, ListShowsBillRowsWithLocalAndGlobalSubstitutesAndTheGlobalScope)
{
    exec("insert QZ_MRP_ItemSubstitutes (SubBomType, SubBomID, BomRowHook, SubItmID, SubProps, SubRItmID, SubRProps, SubQty, "
         "SubRQty, SubPriority, SubGlobal) values (0, 'B-SA-101', 'B-SA-101-06', 'IPT-141', '', 'IPT-133', '', 2, 3, 1, 0)");
    const QString head = value("select BomNo from QZ_MRP_ItemBOMs where BomID='B-SA-101'");
    open(0, QStringLiteral("PT-141"));
    const QStringList t = tree();
    // The bill row carries its local substitute "a" before the global one "A".
    const int at = int(t.indexOf(head + QStringLiteral("|-1000|SA-101||")));
    ASSERT_GE(at, 0) << t.join('\n').toStdString();
    EXPECT_EQ(t.mid(at + 1, 3), (QStringList{"  6|-1001|PT-141|1|1", "    a|-1003|PT-133|3|2", "    A|-1005|PT-142|1|1"}))
        << t.join('\n').toStdString();
    EXPECT_EQ(t.first(), "(全局范围)|-1000|||");
    EXPECT_EQ(t.mid(1, 2), (QStringList{"  (全局范围)|-1002|PT-141||", "    A|-1004|PT-142|1|1"}));

    struct Case {
        int kind;
        const char* text;
        bool rowShown;
        bool globalShown;
    };
    for (const Case& c : {Case{0, "PT-133", false, false}, Case{2, "PT-133", true, false}, Case{2, "PT-142", true, true},
                          Case{1, "PT-101", false, false}, Case{0, "PT-101", true, false}}) {
        open(c.kind, QString::fromLatin1(c.text));
        EXPECT_EQ(find(head, QString()) != nullptr, c.rowShown) << c.kind << c.text;
        EXPECT_EQ(find(QStringLiteral("(全局范围)"), QString()) != nullptr, c.globalShown) << c.kind << c.text;
    }
}

// The planning type is a code of the item types: the view shows its name.
TEST_F(ItemSubsTest, PlanningTypeShowsItsNameNotItsCode)
{
    open(0, QString());
    QSet<QString> shown;
    for (kvui::TreeNode* n : view->grdExpand->allNodes())
        if (!n->value(view->colBomItmMrpType).isNull())
            shown.insert(n->text(view->colBomItmMrpType));
    ASSERT_FALSE(shown.isEmpty());
    for (const QString& text : shown) {
        bool number = false;
        text.toInt(&number);
        EXPECT_FALSE(number) << text.toStdString();
    }
    EXPECT_TRUE(shown.contains(QStringLiteral("自制")));
    EXPECT_TRUE(shown.contains(QStringLiteral("外购")));
}

// A substitute's BOM类别 shows its kind's text, not the node code behind it;
// and the item's name stands first in the middle band, where widening the
// later columns (a long note) cannot push it under the right-hand band.
TEST_F(ItemSubsTest, SubstituteKindShowsItsTextAndTheNameComesFirst)
{
    open(0, QString());
    QSet<QString> kinds;
    for (kvui::TreeNode* n : view->grdExpand->allNodes())
        if (n->level() >= 2)
            kinds.insert(n->text(view->colBomType));
    ASSERT_FALSE(kinds.isEmpty());
    for (const QString& text : kinds)
        EXPECT_TRUE(text == QStringLiteral("全局替代") || text == QStringLiteral("局部替代")) << text.toStdString();
    const QList<kvui::Column*> shown = view->grdExpand->visibleColumns();
    kvui::Column* firstMiddle = nullptr;
    for (kvui::Column* c : shown)
        if (c->bandIndex() == view->colBomItmName->bandIndex() && !firstMiddle)
            firstMiddle = c;
    EXPECT_EQ(firstMiddle, view->colBomItmName);
}

TEST_F(ItemSubsTest, FilterKindWithoutTextAppliesSilentlyAndWithTextWaitsForOk)
{
    open(0, QString());
    const int nodes = view->grdExpand->nodeCount();
    view->cboFilterKind->setCurrentIndex(2);
    EXPECT_FALSE(view->btnOk->isVisibleTo(view.get()));
    EXPECT_EQ(view->CurFilterKind(), 2);
    EXPECT_EQ(view->grdExpand->nodeCount(), nodes);

    view->edtFilterText->setText(QStringLiteral("PT-142"));
    emit view->edtFilterText->textEdited(QStringLiteral("PT-142"));
    EXPECT_TRUE(view->btnOk->isVisibleTo(view.get()));
    EXPECT_FALSE(enabled("Update"));
    view->btnOkClick();
    EXPECT_FALSE(view->btnOk->isVisibleTo(view.get()));
    EXPECT_LT(view->grdExpand->nodeCount(), nodes);
    EXPECT_NE(find(QStringLiteral("(全局范围)"), QString()), nullptr);
}

TEST_F(ItemSubsTest, AddMoveDeleteAndSaveGoThroughTheErpAndShowOnReload)
{
    const QString head = value("select BomNo from QZ_MRP_ItemBOMs where BomID='B-SA-101'");
    open(0, QStringLiteral("PT-141"));
    EXPECT_FALSE(enabled("AddSubs"));
    run("Update");
    ASSERT_TRUE(view->GetEditMode());
    kvui::TreeNode* row = find(head, QStringLiteral("6"));
    ASSERT_NE(row, nullptr);

    kvui::TreeNode* a = addTo(row, QStringLiteral("PT-133"));
    kvui::TreeNode* b = addTo(row, QStringLiteral("PT-132"));
    EXPECT_EQ(a->text(view->colBomNo), "a");
    EXPECT_EQ(b->text(view->colBomNo), "b");
    EXPECT_EQ(b->index(), 1) << "local substitutes go before the global ones";
    // A quantity of 0 becomes 1; the base-unit quantity follows the typed one.
    type(b, view->colBomUCurrQty, 0);
    EXPECT_EQ(b->value(view->colBomUCurrQty).toDouble(), 1);
    type(b, view->colBomBaseQty, 4);
    EXPECT_EQ(b->value(view->colBomUBaseQty).toDouble(), 4);
    type(b, view->colBomEndDate, QVariant());
    EXPECT_EQ(b->value(view->colBomEndDate).toDate(), QDate(9999, 12, 31));

    // Moving "b" up swaps the labels; the last local substitute cannot go below the global one.
    focus(b);
    EXPECT_FALSE(enabled("DownSubs"));
    ASSERT_TRUE(enabled("UpSubs"));
    run("UpSubs");
    EXPECT_EQ(b->index(), 0);
    EXPECT_EQ(b->text(view->colBomNo), "a");
    EXPECT_EQ(a->text(view->colBomNo), "b");
    // The global substitute shown under the row is neither editable nor deletable.
    kvui::TreeNode* ref = row->child(2);
    EXPECT_EQ(ref->imageIndex(), nkGlobalSubRef);
    EXPECT_FALSE(view->CanEditCell(ref, view->colBomItmNo));
    view->grdExpand->setFocusedNode(ref);
    EXPECT_FALSE(enabled("DelSubs"));

    // The other bill's row of the same item is untouched; its head is not sent.
    ASSERT_TRUE(view->IsChanged(row));
    ASSERT_TRUE(view->IsChanged(find(head, QString())));
    ASSERT_TRUE(save());
    EXPECT_FALSE(view->IsChanged(row));
    EXPECT_EQ(rows("select count(*), min(HeadValues) from ERP_Bills where BillKind=16"),
              QStringList{"1|{\"BomID\":\"B-SA-101\",\"BomType\":0,\"UserID\":\"" + InfoApplication->LoginInfo.UserID + "\"}"});
    EXPECT_EQ(subs(), (QStringList{"B-SA-101|B-SA-101-06|IPT-141|IPT-132|4|1|1|0", "B-SA-101|B-SA-101-06|IPT-141|IPT-133|1|1|2|0",
                                   "-|-|IPT-141|IPT-142|1|1|1|1"}));

    // Reloaded, the row shows them in their order; deleting all of them clears the row.
    run("Update");
    open(0, QStringLiteral("PT-141"));
    row = find(head, QStringLiteral("6"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->child(0)->value(view->colBomItmNo).toString(), "PT-132");
    EXPECT_EQ(row->child(1)->value(view->colBomItmNo).toString(), "PT-133");
    run("Update");
    view->grdExpand->setFocusedNode(row->child(0));
    view->grdExpand->selectNode(row->child(0), true);
    view->grdExpand->selectNode(row->child(1), true);
    ASSERT_TRUE(enabled("DelSubs"));
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        run("DelSubs");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "您已选择 2 个项目进行批量删除, 确定?");
    }
    EXPECT_EQ(row->childCount(), 1);
    ASSERT_TRUE(save());
    EXPECT_EQ(rows("select RowValues from ERP_BillRows join ERP_Bills on ERP_Bills.BillID=ERP_BillRows.BillID where BillKind=16 "
                   "and RowNo=1 order by ERP_Bills.BillID desc").value(0),
              "{\"ItemID\":\"IPT-141\",\"RowHook\":\"B-SA-101-06\",\"SubItemID\":\"\"}");
    EXPECT_EQ(subs(), QStringList{"-|-|IPT-141|IPT-142|1|1|1|1"});
}

TEST_F(ItemSubsTest, SaveRefusesBadSubstitutesAndSendsNothing)
{
    const QString head = value("select BomNo from QZ_MRP_ItemBOMs where BomID='B-SA-101'");
    struct Case {
        const char* itemNo;
        const char* message;
    };
    const Case cases[] = {
        {"", "[物料代码]的内容不能为空!"},
        {"PT-999", "[物料代码]的值(PT-999)不存在!"},
        {"PT-141", "替代物料\"PT-141\"与被替代物料(或其上级产品)出现重复!"},
        {"PT-133", "替代物料不允许重复, \"PT-133\"已存在!"},
    };
    for (const Case& c : cases) {
        open(0, QStringLiteral("PT-141"));
        run("Update");
        kvui::TreeNode* row = find(head, QStringLiteral("6"));
        ASSERT_NE(row, nullptr);
        addTo(row, QStringLiteral("PT-133"));
        if (QByteArray(c.itemNo).isEmpty()) {
            focus(row);
            run("AddSubs");
        } else {
            addTo(row, QString::fromLatin1(c.itemNo));
        }
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(view->SaveData()) << c.itemNo;
        ASSERT_EQ(boxes.shown.size(), 1) << c.itemNo;
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_TRUE(view->Modified);
    }
    // Begin and end on one day.
    open(0, QStringLiteral("PT-141"));
    run("Update");
    kvui::TreeNode* sub = addTo(find(head, QStringLiteral("6")), QStringLiteral("PT-133"));
    type(sub, view->colBomBeginDate, QDate(2027, 1, 1));
    type(sub, view->colBomEndDate, QDate(2027, 1, 1));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "[失效日期]的值没有大于[生效日期]的值!");
    EXPECT_EQ(value("select count(*) from ERP_Bills where BillKind=16"), "0");
}

TEST_F(ItemSubsTest, ErpRefusalKeepsTheEditAndRollsTheDocumentBack)
{
    open(0, QStringLiteral("PT-141"));
    run("Update");
    const QString head = value("select BomNo from QZ_MRP_ItemBOMs where BomID='B-SA-101'");
    addTo(find(head, QStringLiteral("6")), QStringLiteral("PT-133"));
    // The bill row vanished in the ERP meanwhile.
    exec("update QZ_MRP_ItemBOMLines set BomRowHook='gone' where BomID='B-SA-101' and BomEntry=6");
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("保存过程中出现意外错误, 操作被中止!\r\r原因: BOM(B-SA-101)中不存在标识为(B-SA-101-06)的行!"))
        << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(view->Modified);
    EXPECT_EQ(value("select count(*) from ERP_Bills where BillKind=16"), "0");
    EXPECT_EQ(subs(), QStringList{"-|-|IPT-141|IPT-142|1|1|1|1"});
}

TEST_F(ItemSubsTest, AddSubstituteDialogChecksAndAddsUnderEverySelectedRow)
{
    // The dialog's checks, in order.
    struct Case {
        const char* itemNo;
        double qty;
        QDate end;
        const char* message;
    };
    const Case cases[] = {
        {"", 1, QDate(9999, 12, 31), "[替代物料代码]的内容不能为空!"},
        {"PT-999", 1, QDate(9999, 12, 31), "[替代物料代码]的值(PT-999)无效!"},
        {"PT-133", 0, QDate(9999, 12, 31), "[替代用量]的值(0.00000000)没有大于0 !"},
        {"PT-133", 1, QDate(1900, 1, 1), "[失效日期]的值没有大于[生效日期]的值!"},
    };
    for (const Case& c : cases) {
        ScriptedMessageBoxes boxes;
        kvtest::WhenShown<TAddItemSubsDlg>([&c](TAddItemSubsDlg* dlg) {
            EXPECT_EQ(dlg->cboInsPos->count(), 2);
            dlg->edtItmNo->setText(QString::fromLatin1(c.itemNo));
            dlg->spnCurrQty->setValue(c.qty);
            dlg->dteDateEnd->setDate(c.end);
            dlg->btnOk->click();
            EXPECT_TRUE(dlg->isVisible());
        });
        quint8 pos = 0;
        QString id, note;
        double q = 0, bq = 0;
        QDate b, e;
        EXPECT_FALSE(ShowAddItemSubsDlg(pos, id, note, q, bq, b, e, true, QString()));
        ASSERT_EQ(boxes.shown.size(), 1) << c.itemNo;
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(c.message));
    }

    // Two rows of different bills selected: the substitute goes under both.
    open(0, QStringLiteral("PT-141"));
    run("Update");
    QList<kvui::TreeNode*> targets;
    for (kvui::TreeNode* head : view->grdExpand->topNodes())
        for (kvui::TreeNode* row : head->children())
            if (row->imageIndex() == nkBomRow)
                targets << row;
    ASSERT_EQ(targets.size(), 2);
    for (kvui::TreeNode* row : targets)
        row->parent()->setExpanded(true);
    view->grdExpand->setFocusedNode(targets[0]);
    for (kvui::TreeNode* row : targets)
        view->grdExpand->selectNode(row, true);
    ASSERT_TRUE(enabled("AddSubsEx"));
    kvtest::WhenShown<TAddItemSubsDlg>([](TAddItemSubsDlg* dlg) {
        dlg->cboInsPos->setCurrentIndex(1);
        dlg->edtItmNo->setText(QStringLiteral("PT-133"));
        dlg->spnCurrQty->setValue(2);
        dlg->spnBaseQty->setValue(3);
        dlg->btnOk->click();
    });
    run("AddSubsEx");
    for (kvui::TreeNode* row : targets) {
        ASSERT_EQ(row->childCount(), 2);
        kvui::TreeNode* sub = row->child(0);
        EXPECT_EQ(sub->text(view->colBomNo), "a");
        EXPECT_EQ(sub->imageIndex(), nkLocalSub);
        EXPECT_EQ(sub->value(view->colBomItmNo).toString(), "PT-133");
        EXPECT_EQ(sub->value(view->colBomCurrQty).toDouble(), 2);
        EXPECT_EQ(sub->value(view->colBomBaseQty).toDouble(), 3);
    }
    ASSERT_TRUE(save());
    EXPECT_EQ(value("select count(*) from ERP_Bills where BillKind=16"), "2");
    EXPECT_EQ(value("select count(*) from QZ_MRP_ItemSubstitutes where SubGlobal=0 and SubRItmID='IPT-133' and SubQty=3 and SubRQty=2"),
              "2");
}

// The item picks of the view and of the add-substitute dialog come from the
// item list's own statement: its captions, and the view's "Item_" fields.
TEST_F(ItemSubsTest, PickListsAreTheItemListsWithTheViewsItemFields)
{
    TInfoObjectDef* items = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items"));
    TInfoObjectDef* subsDef = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.ItemSubs"));
    ASSERT_TRUE(items && subsDef);
    TInfoFieldDef extra;
    extra.ID = QStringLiteral("Item_TypeName");
    extra.Name = QStringLiteral("物料类型名");
    extra.DataType = FieldTypes::ftWideString;
    extra.SQLExpress = QStringLiteral("i.ItmTypeName");
    items->Fields.push_back(extra);
    subsDef->Fields.push_back(extra);
    struct Restore {
        TInfoObjectDef* a;
        TInfoObjectDef* b;
        ~Restore() { a->Fields.pop_back(); b->Fields.pop_back(); }
    } restore{items, subsDef};

    open(0, QString());
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, FieldsSection,
                                                   ReadViewSchemeParam(view->ViewScheme.Params, FieldsSection) +
                                                       QStringLiteral("|Item_TypeName|"));
    view->ApplyViewScheme();
    ASSERT_EQ(view->GetItemPropFieldNames(), QStringLiteral("|Item_TypeName|"));

    // What a pick list shows for "PT-13", and the row it hands back.
    QStringList columns;
    int listed = 0;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
        columns.clear();
        for (int i = 0; i < dlg.qryPickData->FieldCount(); ++i)
            columns << dlg.qryPickData->Fields()->Field(i)->FieldName();
        listed = dlg.grvPickData->recordCount();
        return listed > 0 ? int(QDialog::Accepted) : int(QDialog::Rejected);
    };
    auto pick = [&](TPickEditProperties* props) {
        props->Text = QStringLiteral("PT-13");
        return props->ShowPicker(true);
    };
    const int matching = value("select count(*) from QZ_Base_ItemMaster where ItmNo like '%PT-13%' or ItmName like '%PT-13%' or "
                               "ItmSpec like '%PT-13%'").toInt();
    ASSERT_GT(matching, 0);
    EXPECT_TRUE(pick(view->FilterPick()));
    EXPECT_EQ(columns, (QStringList{"物料代码", "物料名称", "规格型号", "物料类型名"}));
    EXPECT_EQ(listed, matching);
    EXPECT_EQ(view->edtFilterText->text(),
              value("select top 1 ItmNo from QZ_Base_ItemMaster where ItmNo like '%PT-13%' or ItmName like '%PT-13%' or "
                    "ItmSpec like '%PT-13%' order by ItmNo"));
    EXPECT_TRUE(pick(view->ItemNoPick()));
    EXPECT_EQ(columns, (QStringList{"物料代码", "物料名称", "规格型号", "物料属性", "物料类型名"}));

    // The dialog lists the fields it is given, with the unit and the hidden identity.
    kvtest::WhenShown<TAddItemSubsDlg>([&](TAddItemSubsDlg* dlg) {
        EXPECT_TRUE(pick(dlg->ItemPick()));
        EXPECT_EQ(columns, (QStringList{"物料代码", "物料名称", "规格型号", "基本", "物料类型名", "#ItmID"}));
        EXPECT_FALSE(dlg->ItemID().isEmpty());
        EXPECT_FALSE(dlg->edtItmName->text().isEmpty());
        EXPECT_FALSE(dlg->lblCurrUnit->text().isEmpty());
        dlg->btnCancel->click();
    });
    quint8 pos = 0;
    QString id, note;
    double q = 0, bq = 0;
    QDate b, e;
    EXPECT_FALSE(ShowAddItemSubsDlg(pos, id, note, q, bq, b, e, false, view->GetItemPropFieldNames()));
    TPickPopupDlg::ExecHook = nullptr;
}

TEST_F(ItemSubsTest, MrpRunUsesAGlobalSubstituteSavedFromTheView)
{
    // The capacitor's substitute has expired: the second maker's stock is not used.
    exec("update QZ_MRP_ItemSubstitutes set SubRItmID='IPT-133', SubEndDate='19000102'");
    open(0, QStringLiteral("PT-141"));
    run("Update");
    kvui::TreeNode* global = find(QStringLiteral("(全局范围)"), QStringLiteral("(全局范围)"));
    ASSERT_NE(global, nullptr);
    ASSERT_EQ(global->childCount(), 1);
    focus(global->child(0));
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        run("DelSubs");
    }
    view->grdExpand->selectNode(global->child(0), false);
    addTo(global, QStringLiteral("PT-142"));
    ASSERT_TRUE(save());
    EXPECT_TRUE(view->SubsGlobalUpdated());
    run("Update");
    EXPECT_EQ(subs(), QStringList{"-|-|IPT-141|IPT-142|1|1|1|1"});

    ASSERT_NO_FATAL_FAILURE(runDemoScheme());
    EXPECT_EQ(value("select sum(AltReplQty) from QZ_MRP_Allots as a join QZ_MRP_Supplies as s on s.SupSchIID=1 and "
                    "s.SupIID=a.AltSupIID where a.AltSchIID=1 and s.SupItmID='IPT-142' and a.AltIsRepl=1"),
              "500");
}

TEST_F(ItemSubsTest, MrpRunUsesALocalSubstituteSavedFromTheView)
{
    // Only the motor set's own bill may take the second maker's capacitor.
    exec("delete QZ_MRP_ItemSubstitutes");
    const QString head = value("select BomNo from QZ_MRP_ItemBOMs where BomID='B-SA-101'");
    open(0, QStringLiteral("PT-141"));
    run("Update");
    kvui::TreeNode* row = find(head, QStringLiteral("6"));
    ASSERT_NE(row, nullptr);
    addTo(row, QStringLiteral("PT-142"));
    ASSERT_TRUE(save());
    run("Update");
    EXPECT_EQ(subs(), QStringList{"B-SA-101|B-SA-101-06|IPT-141|IPT-142|1|1|1|0"});

    ASSERT_NO_FATAL_FAILURE(runDemoScheme());
    EXPECT_EQ(value("select sum(AltReplQty) from QZ_MRP_Allots as a join QZ_MRP_Supplies as s on s.SupSchIID=1 and "
                    "s.SupIID=a.AltSupIID where a.AltSchIID=1 and s.SupItmID='IPT-142' and a.AltIsRepl=1"),
              "500");
}
