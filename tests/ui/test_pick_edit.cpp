// The pick editor and its lookup window, answered through the window's hook.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "clsPickEdit.h"
#include "ScriptedMessageBoxes.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

using namespace kvui;

TEST(PickEditFormat, PositionalArguments)
{
    struct Case { const char* pattern; const char* out; };
    const Case cases[] = {
        {"[A] like '%%'+%0:s+'%%'", "[A] like '%'+'x'+'%'"},
        {"%s and %s", "'x' and 'y'"},
        {"%1:s %0:s", "'y' 'x'"},
        {"100%%", "100%"},
        {"%q stays", "%q stays"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatPositional(QString::fromUtf8(c.pattern), {"'x'", "'y'"}), QString::fromUtf8(c.out));
}

namespace {
struct PickFixture : ::testing::Test {
    QTemporaryDir dir;
    TADOQuery ref;
    TPickEditProperties props;
    void SetUp() override
    {
        ref.SetConnectionString(QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=t").arg(scratchDatabase(dir.filePath("t.db"))));
        props.RefQuery = &ref;
        props.SQL = "select * from (select 'A1' as ItmNo, '螺丝' as ItmName, 1 as [#ID] union all "
                    "select 'B2', '螺母', 2 union all select 'A3', '底座加长型号的一个特别长的名称用来测试列宽上限是否生效的文字内容', 3) as t";
        props.WhereOrder = "[ItmNo] like '%%'+%0:s+'%%' order by ItmNo";
        props.TextField = "ItmNo";
        props.FixedFields = "ItmNo";
        props.Caption = "物料";
    }
    void TearDown() override { TPickPopupDlg::ExecHook = nullptr; }
};
} // namespace

TEST_F(PickFixture, SearchPicksAndReportsTheSelection)
{
    props.Text = "a";
    props.MultiSelect = true;
    TBookmarks picked;
    QVariantList ids;
    props.AfterDataPicked = [&](TCustomADODataSet* ds, const TBookmarks& rows) {
        picked = rows;
        for (int r : rows) { ds->SetRecNo(r + 1); ids << ds->FieldByName("#ID")->Value(); }
    };
    TPickPopupDlg::ExecHook = [](TPickPopupDlg& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "选择资料 - [物料]");
        BandedGrid* g = dlg.grvPickData;
        EXPECT_EQ(g->recordCount(), 2);   // A1 and A3
        EXPECT_EQ(g->columnCount(), 2);   // "#ID" gets no column
        Column* no = g->columnByField("ItmNo");
        Column* name = g->columnByField("ItmName");
        EXPECT_EQ(g->band(no->bandIndex()).fixed, BandFixed::Left);
        EXPECT_EQ(g->band(name->bandIndex()).fixed, BandFixed::None);
        EXPECT_EQ(name->width(), 300);   // fitted to its long text, then cut
        EXPECT_GE(dlg.width(), 350);
        EXPECT_TRUE(dlg.edtSearch->isVisibleTo(&dlg));
        EXPECT_FALSE(dlg.lblPrompt->isVisibleTo(&dlg));
        g->setFocusedRecordIndex(1);
        g->selectRecord(0, true);
        dlg.UpdateCount();
        EXPECT_EQ(dlg.lblCount->text(), "2 / 2");   // search mode shows the position only
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(props.ShowPicker(true));
    EXPECT_EQ(props.Text, "A3");
    EXPECT_EQ(picked, (TBookmarks{0, 1}));
    EXPECT_EQ(ids, (QVariantList{1, 3}));
}

TEST_F(PickFixture, LocatesTheTextAndKeepsItWithoutTextField)
{
    props.WhereOrder.clear();
    props.Text = "b2";
    TPickPopupDlg::ExecHook = [](TPickPopupDlg& dlg) {
        EXPECT_EQ(dlg.grvPickData->recordCount(), 3);
        EXPECT_EQ(dlg.grvPickData->focusedRecordIndex(), 1);   // found without regard to case
        EXPECT_TRUE(dlg.lblPrompt->isVisibleTo(&dlg));
        EXPECT_TRUE(dlg.btnOk->isEnabled());
        return int(QDialog::Accepted);
    };
    ASSERT_TRUE(props.ShowPicker(false));
    EXPECT_EQ(props.Text, "B2");
    props.TextField.clear();
    props.Text = "unchanged";
    TPickPopupDlg::ExecHook = [](TPickPopupDlg&) { return int(QDialog::Accepted); };
    EXPECT_TRUE(props.ShowPicker(false));
    EXPECT_EQ(props.Text, "unchanged");
    TPickPopupDlg::ExecHook = [](TPickPopupDlg&) { return int(QDialog::Rejected); };
    EXPECT_FALSE(props.ShowPicker(false));
}

TEST_F(PickFixture, NoRowsAndSearchAgain)
{
    props.Text = "zz";
    TPickPopupDlg::ExecHook = [](TPickPopupDlg& dlg) {
        EXPECT_EQ(dlg.grvPickData->recordCount(), 0);
        EXPECT_TRUE(dlg.lblCount->text().isEmpty());
        EXPECT_FALSE(dlg.btnOk->isEnabled());
        dlg.edtSearch->setText("B");
        dlg.Search();
        EXPECT_EQ(dlg.grvPickData->recordCount(), 1);
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(props.ShowPicker(true));
    EXPECT_EQ(props.Text, "zz");
}

TEST_F(PickFixture, ThePickedValueIsPostedIntoTheGridCell)
{
    StaticDataSource src{{"ItmNo"}};
    src.appendRecord({"A1"});
    BandedGrid grid;
    grid.addBand();
    Column* c = grid.addColumn("物料代码", "ItmNo");
    auto shared = std::make_shared<TPickEditProperties>(props);
    c->setEditor(shared);
    grid.setDataSource(&src);
    grid.resize(300, 200);
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    TPickPopupDlg::ExecHook = [](TPickPopupDlg& dlg) {
        dlg.grvPickData->setFocusedRecordIndex(0);
        return int(QDialog::Accepted);
    };
    grid.setFocusedRecordIndex(0);
    ASSERT_TRUE(grid.startEdit(c));
    auto* edit = qobject_cast<ButtonEdit*>(grid.activeEditor());
    ASSERT_NE(edit, nullptr);
    edit->setText("B");
    edit->clickButton(0);
    EXPECT_EQ(src.value(0, 0).toString(), "B2");
    EXPECT_TRUE(grid.isEditing());
}

// A look-up that fails (here a table that does not exist) is reported by the
// edit itself: an error box naming the cause, the typed text kept, and the
// event loop that delivered the click goes on.
TEST_F(PickFixture, AFailingLookUpIsReportedByTheEdit)
{
    ScriptedMessageBoxes boxes;
    props.SQL = "select ItmNo from QZ_NoSuchTable";
    props.WhereOrder.clear();
    bool opened = false;
    TPickPopupDlg::ExecHook = [&](TPickPopupDlg&) { opened = true; return int(QDialog::Accepted); };
    std::unique_ptr<QWidget> editor(props.createEditor(nullptr));
    auto* edit = qobject_cast<ButtonEdit*>(editor.get());
    ASSERT_NE(edit, nullptr);
    edit->setText("A1");
    QEventLoop loop;
    bool after = false;
    QMetaObject::invokeMethod(edit, [edit] { edit->clickButton(0); }, Qt::QueuedConnection);
    QTimer::singleShot(0, &loop, [&] { after = true; loop.quit(); });
    loop.exec();
    EXPECT_TRUE(after);
    EXPECT_FALSE(opened);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].caption, "错误");
    EXPECT_TRUE(boxes.shown[0].text.startsWith("程序执行出现错误!")) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains("QZ_NoSuchTable")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(edit->text(), "A1");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}
