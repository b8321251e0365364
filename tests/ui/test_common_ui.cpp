// The shared UI helpers: colours, display rules, column editors from field
// definitions, ValueSource parsing, the row-limit notice, tree fill and prune,
// key and mouse rules, edit commands, the view-form registry, the base dialog
// and the shared printer.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "ScriptedMessageBoxes.h"
#include "clsDialog.h"
#include "clsPickEdit.h"
#include "untCommonUI.h"
#include "untComponentPrint.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvui;

TEST(CommonUIColours, BlendAndConvert)
{
    struct Case { TColor a, b; int percent; TColor expected; };
    const Case cases[] = {
        {0x00FFFFFF, 0x00000000, 100, 0x00FFFFFF},
        {0x00FFFFFF, 0x00000000, 0, 0x00000000},
        {0x00FFFFFF, 0x00000000, 50, 0x007F7F7F},
        {0x000000FF, 0x00FF0000, 25, 0x00BF003F},
        {0x00C2FFFF, 0x00FFFFFF, 60, 0x00DAFFFF},
        {0x00FFFFFF, 0x00FFFFFF, 200, 0x00FFFFFF},   // capped at 255
    };
    for (const Case& c : cases) EXPECT_EQ(BlendColors(c.a, c.b, c.percent), c.expected) << c.percent;
    EXPECT_EQ(TColorToQColor(BizClosedTextColor), QColor(0, 161, 0));
    EXPECT_EQ(TColorToQColor(BizToDoClosedTextColor), QColor(0, 0, 255));
    EXPECT_EQ(TColorToQColor(BizErrorBackColor), QColor(255, 0, 0));
    EXPECT_EQ(QColorToTColor(QColor(0x12, 0x34, 0x56)), TColor(0x00563412));
}

TEST(CommonUIDisplay, FloatAndCurrencyTexts)
{
    struct Case { QVariant v; const char* f; const char* c; };
    const Case cases[] = {
        {QVariant(), "", ""},
        {0.0, "", ""},
        {0, "", ""},
        {1234.5, "1,234.5", "1,234.50"},
        {-0.125, "-0.125", "-0.13"},
        {123456.12345678, "123,456.12345678", "123,456.12"},
        {1234567.005, "1,234,567.005", "1,234,567.01"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FloatDisplayText(c.v), QString::fromUtf8(c.f));
        QString t = "x";
        TCommonUI::GridCurrencyColumnGetDisplayText(RowRef{}, c.v, t);
        EXPECT_EQ(t, QString::fromUtf8(c.c));
    }
}

TEST(CommonUIPositions, CompareColumnPositionsOrdersBandRowColumnLines)
{
    auto pos = [](int b, int r, int c, int l) { TGridColumnPosition p; p.BandIndex = b; p.RowIndex = r; p.ColIndex = c; p.LineCount = l; return p; };
    EXPECT_LT(CompareColumnPositions(pos(0, 5, 5, 5), pos(1, 0, 0, 0)), 0);
    EXPECT_LT(CompareColumnPositions(pos(1, 0, 9, 9), pos(1, 1, 0, 0)), 0);
    EXPECT_GT(CompareColumnPositions(pos(1, 1, 2, 1), pos(1, 1, 1, 3)), 0);
    EXPECT_LT(CompareColumnPositions(pos(1, 1, 1, 1), pos(1, 1, 1, 2)), 0);
    EXPECT_EQ(CompareColumnPositions(pos(2, 1, 1, 1), pos(2, 1, 1, 1)), 0);
}

TEST(CommonUIValueSource, ParsesHeadFixedAndSource)
{
    struct Case {
        const char* what;
        TInfoFieldValueType type;
        const char* source;
        bool textSet, fixedSet, sqlSet;
        const char *text, *fixed, *sql, *whereOrder;
    };
    const char* like = " like '%%'+%0:s+'%%'";
    (void)like;
    const Case cases[] = {
        {"key, text and search, table source", vtLookup, "ItmID=ItmNo^ItmName|ItmNo|T|ItmID, ItmNo, ItmName",
         true, true, true, "ItmNo", "ItmNo", "select * from (select ItmID, ItmNo, ItmName from T with(nolock)) as t",
         "[ItmNo] like '%%'+%0:s+'%%' or ItmName like '%%'+%0:s+'%%' order by ItmNo"},
        {"bracketed text, no fixed, select source", vtLookup, "[ItmNo]||select ItmNo, ItmName from T",
         true, true, true, "ItmNo", "", "select * from (select ItmNo, ItmName from T) as t",
         "[ItmNo] like '%%'+%0:s+'%%' order by [ItmNo]"},
        {"no bar at all", vtLookup, "ItmNo", false, false, false, "", "", "", ""},
        {"bar in the first place only", vtLookup, "|ItmNo|T|a", false, false, false, "", "", "", ""},
        {"blank head", vtLookup, "  |ItmNo|T|a", false, false, false, "", "", "", ""},
        {"no second bar: text only", vtLookup, "ItmNo^ItmName|ItmNo", true, false, false, "ItmNo", "", "", ""},
        {"key with empty text", vtLookup, "[ItmID]=|ItmID|T|ItmID", true, true, true, "ItmID", "ItmID",
         "select * from (select ItmID from T with(nolock)) as t", "[ItmID] like '%%'+%0:s+'%%' order by ItmID"},
        {"search stops at an empty item", vtLookup, "A^B^^C|A|T|A,B,C", true, true, true, "A", "A",
         "select * from (select A,B,C from T with(nolock)) as t",
         "[A] like '%%'+%0:s+'%%' or B like '%%'+%0:s+'%%' order by A"},
        {"source without table bar", vtLookup, "A|A|T", true, true, false, "A", "A", "", ""},
        {"SELECT in capitals", vtLookup, "A|B, C|SELECT A FROM T", true, true, true, "A", "B, C",
         "select * from (SELECT A FROM T) as t", "[A] like '%%'+%0:s+'%%' order by B, C"},
    };
    for (const Case& c : cases) {
        TInfoFieldDef f;
        f.ValueType = c.type;
        f.ValueSource = QString::fromUtf8(c.source);
        TPickSourceSetup r = ParseValueSource(f, false);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(r.TextFieldSet, c.textSet);
        EXPECT_EQ(r.FixedFieldsSet, c.fixedSet);
        EXPECT_EQ(r.SQLSet, c.sqlSet);
        EXPECT_EQ(r.WhereOrderSet, c.sqlSet);
        EXPECT_EQ(r.TextField, QString::fromUtf8(c.text));
        EXPECT_EQ(r.FixedFields, QString::fromUtf8(c.fixed));
        EXPECT_EQ(r.SQL, QString::fromUtf8(c.sql));
        EXPECT_EQ(r.WhereOrder, QString::fromUtf8(c.whereOrder));
    }
}

TEST(CommonUIValueSource, UserFieldsPickUsersAndInTheFilterAlsoMe)
{
    TInfoFieldDef f;
    f.ValueType = vtUser;
    f.ValueSource = "ignored|x|y";
    TPickSourceSetup r = ParseValueSource(f, false);
    EXPECT_EQ(r.TextField, "名称");
    EXPECT_EQ(r.FixedFields, "代码");
    EXPECT_EQ(r.WhereOrder, "[代码] like '%%'+%0:s+'%%' or [名称] like '%%'+%0:s+'%%' order by [代码]");
    EXPECT_FALSE(r.SQL.contains("<我>"));
    f.ValueType = vtCreater;
    EXPECT_TRUE(ParseValueSource(f, true).SQL.contains("union select '', '<我>', cast(0 as bit)"));
}

TEST(CommonUIColumnEditors, FromFieldDefinitions)
{
    BandedGrid grid;
    grid.addBand();
    TSystemEnumList states;
    states.Add("新建", 1);
    states.Add("审核", 2);
    states.Add("关闭", 3);

    TInfoFieldDef e;
    e.ValueType = vtSysEnum;
    e.EnumValues = &states;
    e.ValueSource = "|1|3|";
    Column* ce = grid.addColumn("状态");
    SetupGridColumnEditor(e, ce);
    auto* combo = dynamic_cast<ImageComboProperties*>(ce->editor().get());
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->items.size(), 2);
    EXPECT_EQ(combo->items[1].description, "关闭");
    EXPECT_EQ(combo->items[1].value.toInt(), 3);

    TInfoFieldDef n;
    n.DataType = FieldTypes::ftFloat;
    Column* cn = grid.addColumn("数量");
    SetupGridColumnEditor(n, cn);
    EXPECT_EQ(cn->editor(), RightAlignedTextItem());
    QString t;
    cn->displayTextHook(RowRef{}, 0.0, t);
    EXPECT_EQ(t, "");

    TInfoFieldDef m;
    m.DataType = FieldTypes::ftCurrency;
    Column* cm = grid.addColumn("金额");
    auto own = std::make_shared<TextEditProperties>();
    cm->setEditor(own);   // a column with its own editor keeps it
    SetupGridColumnEditor(m, cm);
    EXPECT_EQ(cm->editor(), own);
    cm->displayTextHook(RowRef{}, 5, t);
    EXPECT_EQ(t, "5.00");

    TInfoFieldDef b;
    b.DataType = FieldTypes::ftBoolean;
    Column* cb = grid.addColumn("关闭");
    SetupGridColumnEditor(b, cb);
    EXPECT_EQ(cb->editor(), CheckBoxItem());

    TInfoFieldDef u;
    u.ValueType = vtUser;
    u.DataType = FieldTypes::ftInteger;
    Column* cu = grid.addColumn("制单人");
    SetupGridColumnEditor(u, cu);
    auto* pick = dynamic_cast<TPickEditProperties*>(cu->editor().get());
    ASSERT_NE(pick, nullptr);
    EXPECT_EQ(pick->TextField, "名称");
    EXPECT_TRUE(pick->SQL.contains("QZ_SYS_Users"));
}

TEST(CommonUIRowLimit, NoticeOnlyWhenRowsWereCut)
{
    ASSERT_EQ(InfoApplication, nullptr);   // default limit 20000
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(TopRowsForLimit(), 20001);
    EXPECT_FALSE(CheckResultRowLimit(19999));
    EXPECT_FALSE(CheckResultRowLimit(20000));   // exactly the limit: nothing was cut
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_TRUE(CheckResultRowLimit(20001));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "由于您的筛选条件过于宽松, 导致本次查询结果超过20000行, 超过部分已放弃返回显示!");
}

namespace {

struct TreeFillFixture : ::testing::Test {
    QTemporaryDir dir;
    TADOQuery query;
    TreeList tree;
    Column *id, *name;
    TTreeNodeMap map;

    void SetUp() override
    {
        id = tree.addColumn("ID");
        name = tree.addColumn("名称");
        query.SetConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(scratchDatabase(dir.filePath("t.db"))));
    }
    // rows: "ID,Parent,Name;..."
    void open(const QString& rows)
    {
        QStringList parts;
        for (const QString& r : rows.split(';')) {
            QStringList f = r.split(',');
            parts << QString("select '%1' as ID, '%2' as Parent, '%3' as Name").arg(f[0], f[1], f[2]);
        }
        query.SQL.SetText(parts.join(" union all "));
        query.Open();
    }
    QString shape(TreeNode* n = nullptr) const
    {
        QStringList out;
        const QList<TreeNode*> list = n ? n->children() : tree.topNodes();
        for (TreeNode* c : list) {
            QString s = c->value(id).toString();
            if (c->childCount()) s += "(" + shape(c) + ")";
            out << s;
        }
        return out.join(' ');
    }
};

} // namespace

TEST_F(TreeFillFixture, ParentsAfterChildrenCyclesAndMissingParents)
{
    struct Case { const char* what; const char* rows; const char* shape; };
    const Case cases[] = {
        {"parents first", "A,,a;B,A,b;C,B,c", "A(B(C))"},
        {"parents after their children", "C,B,c;B,A,b;A,,a", "A(B(C))"},
        {"missing parent makes a root", "A,,a;B,X,b", "A B"},
        {"parent matched without regard to case", "a1,,x;B,A1,b", "a1(B)"},
        {"own parent goes to the top once", "A,A,a;B,A,b", "A(B)"},
        {"cycle of two goes to the top", "A,B,a;B,A,b;C,A,c", "A(C) B"},
        {"duplicate ID placed once", "A,,a;A,,again", "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tree.clear();
        map.Clear();
        query.Close();
        open(QString::fromUtf8(c.rows));
        FillTreeListFromQuery(&tree, id, name, 2, 5, &query, map);
        EXPECT_EQ(shape(), QString::fromUtf8(c.shape));
    }
    TreeNode* a = map.Node("a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->imageIndex(), 2);
    EXPECT_EQ(a->stateIndex(), 5);
}

TEST(CommonUITree, PruneRemovesLeavesAndTheParentsItEmptied)
{
    TreeList tree;
    Column* c = tree.addColumn("ID");
    auto add = [&](TreeNode* p, const QString& v, int state) {
        TreeNode* n = tree.addNode(p);
        n->setValue(c, v);
        n->setStateIndex(state);
        return n;
    };
    // Folders (state -1) and leaves (state 1 = remove, 2 = keep).
    TreeNode* f1 = add(nullptr, "F1", 1);
    add(f1, "x", 1);
    TreeNode* f2 = add(nullptr, "F2", 1);
    TreeNode* f21 = add(f2, "F21", 1);
    add(f21, "y", 1);
    add(f2, "keep", 2);
    PruneTreeLeaves(&tree, 1);
    ASSERT_EQ(tree.topCount(), 1);
    EXPECT_EQ(tree.topNode(0)->value(c).toString(), "F2");
    ASSERT_EQ(tree.topNode(0)->childCount(), 1);
    EXPECT_EQ(tree.topNode(0)->child(0)->value(c).toString(), "keep");
}

TEST(CommonUITree, ExpandAllWithoutEscExpandsEverything)
{
    TreeList tree;
    tree.addColumn("ID");
    TreeNode* a = tree.addNode();
    tree.addNode(tree.addNode(a));
    EXPECT_TRUE(ExpandTreeListAll(&tree));
    EXPECT_EQ(tree.rowCount(), 3);
    EXPECT_TRUE(tree.updatesEnabled());
}

namespace {
struct RulesFixture : ::testing::Test {
    StaticDataSource src{{"No", "Cat"}};
    BandedGrid grid;
    Column *no, *cat;
    void SetUp() override
    {
        src.appendRecord({"1", "甲"});
        src.appendRecord({"2", "甲"});
        src.appendRecord({"3", "乙"});
        grid.addBand();
        no = grid.addColumn("编号", "No");
        cat = grid.addColumn("类别", "Cat");
        grid.setDataSource(&src);
        grid.resize(400, 300);
        grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    }
    bool key(int k, Qt::KeyboardModifiers m = {})
    {
        QKeyEvent e(QEvent::KeyPress, k, m);
        return HandleGridShortcutMessage(grid.viewport(), &e);
    }
};
} // namespace

TEST_F(RulesFixture, ModifiersSwitchMultiSelect)
{
    QPoint p = grid.cellRect(1, no).center();
    QMouseEvent ctrl(QEvent::MouseButtonPress, p, grid.viewport()->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                     Qt::ControlModifier);
    HandleGridShortcutMessage(grid.viewport(), &ctrl);
    EXPECT_TRUE(grid.multiSelect());
    QMouseEvent plain(QEvent::MouseButtonPress, p, grid.viewport()->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    HandleGridShortcutMessage(grid.viewport(), &plain);
    EXPECT_FALSE(grid.multiSelect());
    EXPECT_FALSE(key(Qt::Key_Down, Qt::ShiftModifier));
    EXPECT_TRUE(grid.multiSelect());
    key(Qt::Key_PageDown);
    EXPECT_FALSE(grid.multiSelect());
    key(Qt::Key_Space, Qt::ControlModifier);
    EXPECT_TRUE(grid.multiSelect());
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_FALSE(grid.multiSelect());
    key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(grid.multiSelect());
    EXPECT_EQ(grid.selectedRowCount(), 1);   // the focused row selected again
}

TEST_F(RulesFixture, PlusMinusAndCopy)
{
    grid.groupBy(cat);
    grid.setFocusedRow(0);
    EXPECT_TRUE(key(Qt::Key_Plus, Qt::KeypadModifier));
    EXPECT_TRUE(grid.rowExpanded(0));
    // Groups in code order: 乙 (record 2) first, then 甲.
    grid.setFocusedRecordIndex(2);
    EXPECT_TRUE(key(Qt::Key_Minus));   // a record collapses its group
    EXPECT_FALSE(grid.rowExpanded(0));
    EXPECT_EQ(grid.focusedRow(), 0);
    grid.clearGrouping();
    grid.setFocusedRecordIndex(2);
    grid.setFocusedColumn(no);
    EXPECT_TRUE(key(Qt::Key_C, Qt::ControlModifier));
    EXPECT_EQ(QApplication::clipboard()->text(), "3");
    EXPECT_TRUE(key(Qt::Key_Insert, Qt::ControlModifier | Qt::ShiftModifier));
    EXPECT_EQ(QApplication::clipboard()->text(), "3\t乙");
}

TEST_F(RulesFixture, EditCommandsFollowTheFocusedControl)
{
    grid.setFocus();
    QApplication::processEvents();
    if (QApplication::focusWidget() != &grid) GTEST_SKIP() << "no keyboard focus on this platform";
    TCommandState s;
    EXPECT_TRUE(QueryEditCommandState(24, s));
    EXPECT_TRUE(s & csEnabled);
    EXPECT_TRUE(QueryEditCommandState(47, s));
    EXPECT_FALSE(s & csEnabled);   // not grouped
    EXPECT_FALSE(QueryEditCommandState(26, s));
    EXPECT_TRUE(ExecEditCommand(28));
    EXPECT_TRUE(grid.multiSelect());
    EXPECT_EQ(grid.selectedRowCount(), 3);

    QLineEdit edit;
    edit.show();
    edit.setText("abc");
    edit.setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), &edit);
    EXPECT_TRUE(QueryEditCommandState(23, s));
    EXPECT_FALSE(s & csEnabled);   // nothing selected
    ExecEditCommand(28);
    EXPECT_EQ(edit.selectedText(), "abc");
    EXPECT_TRUE(QueryEditCommandState(23, s));
    EXPECT_TRUE(s & csEnabled);

    TExButtonEditProperties props;
    props.SetNoKeyInput(true);
    ButtonEdit be(props);
    be.show();
    be.setText("x");
    be.setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), &be);
    EXPECT_TRUE(QueryEditCommandState(25, s));
    EXPECT_FALSE(s & csEnabled);   // no typing, no paste
    EXPECT_TRUE(QueryEditCommandState(28, s));
    EXPECT_FALSE(s & csEnabled);
}

TEST(CommonUIRegistry, RegisterReplaceFindUnregister)
{
    QWidget a, b;
    RegisterViewForm("Obj.A", &a);
    EXPECT_EQ(FindViewForm("obj.a"), &a);
    RegisterViewForm("OBJ.A", &b);
    EXPECT_EQ(FindViewForm("Obj.A"), &b);
    UnregisterViewForm(&b);
    EXPECT_EQ(FindViewForm("Obj.A"), nullptr);
    UnregisterViewForm(&a);   // not registered: nothing happens
}

TEST(BaseDialog, ButtonsAndNoWindowLockLeftBehind)
{
    QWidget main;
    main.show();
    main.setUpdatesEnabled(false);   // a lock taken while the dialog was prepared
    TDialog dlg;
    EXPECT_EQ(dlg.btnOk->text(), "确定");
    EXPECT_TRUE(dlg.btnOk->isDefault());
    EXPECT_EQ(dlg.btnCancel->text(), "取消");
    EXPECT_EQ(dlg.size(), QSize(475, 341));
    dlg.setModal(true);
    dlg.show();
    EXPECT_TRUE(main.updatesEnabled());
    dlg.btnCancel->click();
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST(SharedPrinter, LinksAreReusedPerClassAndReset)
{
    PrintLink* g1 = GetComponentReportLink(GridPrintLink::staticMetaObject);
    ASSERT_NE(g1, nullptr);
    EXPECT_EQ(g1->objectName(), "GridPrintLink1");
    BandedGrid grid;
    g1->setView(&grid);
    g1->settings().title = "物料";
    PrintLink* g2 = GetComponentReportLink(GridPrintLink::staticMetaObject);
    EXPECT_EQ(g1, g2);
    EXPECT_EQ(g2->view(), nullptr);
    EXPECT_TRUE(g2->settings().title.isEmpty());
    PrintLink* t = GetComponentReportLink(TreePrintLink::staticMetaObject);
    EXPECT_NE(t, g1);
    EXPECT_EQ(t->objectName(), "TreePrintLink1");
    EXPECT_EQ(t->parent(), ComponentPrinter());
}

TEST(CommonUISaveFileDialog, StartsInTheDocumentsFolderThenWhereTheLastFileWent)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir elsewhere;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QDir().mkpath(documents);
    // Never the working folder: a bare name starts in the documents folder.
    EXPECT_EQ(SaveFileDialogStartPath("销售订单.xls"), QDir(documents).filePath("销售订单.xls"));
    // A name with its folder is taken as it is.
    EXPECT_EQ(SaveFileDialogStartPath(elsewhere.filePath("a.xls")), elsewhere.filePath("a.xls"));
    // After a file was saved elsewhere, the next export starts there.
    RememberSaveFileFolder(elsewhere.filePath("b.html"));
    EXPECT_EQ(SaveFileDialogStartPath("c.xls"), QDir(elsewhere.path()).filePath("c.xls"));
    // A remembered folder that has gone falls back to the documents folder.
    elsewhere.remove();
    EXPECT_EQ(SaveFileDialogStartPath("d.xls"), QDir(documents).filePath("d.xls"));
    QStandardPaths::setTestModeEnabled(false);
}
