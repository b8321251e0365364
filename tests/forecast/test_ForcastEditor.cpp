// The forecast editor on the demo account set, plan01 logged in through the
// real ERP library: opening, cell rules, the ordered save checks, the document
// it hands to the ERP library, check and uncheck, and the main demand that
// follows.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "edtForcast.h"
#include "untMRP.h"

#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

// Readable failures.
void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

// A document of the real ERP library that remembers the number it was handed
// when it was saved (the library writes the number it gave back into the head).
class TRecordingBill : public IBill {
public:
    explicit TRecordingBill(IBillPtr real) : Real(std::move(real)) {}
    IValueListPtr Head() override { return Real->Head(); }
    IRowListPtr Details(const QString& name) override { return Real->Details(name); }
    bool Save(QString& errorText) override
    {
        BillNoSent = Real->Head()->GetValue("BillNo").toString();
        return Real->Save(errorText);
    }
    IBillPtr Real;
    QString BillNoSent;
};

// The real ERP library behind a recorder: the documents built are kept, and
// the row cap can be set.
class TRecordingERP : public IERPAccess {
public:
    explicit TRecordingERP(IERPAccessPtr real) : FReal(std::move(real)) {}
    void Login(TLoginInfo& info, int mode, bool& ok) override { FReal->Login(info, mode, ok); }
    void Logout(bool& ok) override { FReal->Logout(ok); }
    IBillPtr NewBill(int kind) override
    {
        bills << std::make_shared<TRecordingBill>(FReal->NewBill(kind));
        return bills.last();
    }
    QString GetNewBillNo(const IBillPtr& bill, qint16& flag) override
    {
        auto* recording = dynamic_cast<TRecordingBill*>(bill.get());
        return FReal->GetNewBillNo(recording ? recording->Real : bill, flag);
    }
    QString lastBillNoSent() const { return bills.isEmpty() ? QString() : static_cast<TRecordingBill*>(bills.last().get())->BillNoSent; }
    quint16 GetMaxBillRows(int kind) override { return maxRows >= 0 ? quint16(maxRows) : FReal->GetMaxBillRows(kind); }

    QList<IBillPtr> bills;
    int maxRows = -1;
    IERPAccessPtr FReal;
};

class ForcastEditorTest : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        kvdemo::registerStandInProcedures();
        kvtest::DemoLogin::instance();
    }
    void SetUp() override
    {
        ASSERT_NE(InfoApplication, nullptr);
        real = InfoApplication->ERPAccess;
        recorder = std::make_shared<TRecordingERP>(real);
        InfoApplication->ERPAccess = recorder;
        def = InfoApplication->GetInfoObjectDef("QZ_MRP.Forcast");
        ASSERT_NE(def, nullptr);
        edit = CreateInfoEdit<TForcastEditor>(nullptr, def);
        editor = dynamic_cast<TForcastEditor*>(edit.get());
        ASSERT_NE(editor, nullptr);
        editor->resize(1200, 600);
        editor->show();
    }
    void TearDown() override
    {
        InfoApplication->ERPAccess = real;
        edit.reset();
    }

    static QString value(const QString& sql) { return kvtest::DemoLogin::value(sql).toString(); }
    int action(const QString& id) const { return Commands::FirstAction + def->IndexOfAction(id); }
    kvui::TreeList* grid() const { return editor->grdDetail; }
    kvui::TreeNode* node(int i) const { return grid()->topNode(i); }

    // Types a text into a cell as the user does: start, type, leave the cell.
    void type(kvui::TreeNode* n, kvui::Column* c, const QString& text)
    {
        grid()->setFocusedNode(n);
        grid()->setFocusedColumn(c);
        ASSERT_TRUE(grid()->startEdit(c)) << c->objectName().toStdString();
        auto* line = qobject_cast<QLineEdit*>(grid()->activeEditor());
        ASSERT_NE(line, nullptr);
        line->setText(text);
        grid()->postEdit();
    }
    // A line as a planner types it.
    void fillLine(kvui::TreeNode* n, const QString& item, const QString& qty, const QString& date, const QString& cust = {})
    {
        type(n, editor->colItmNo, item);
        type(n, editor->colForUBillQty, qty);
        type(n, editor->colForDelivDate, date);
        if (!cust.isEmpty())
            type(n, editor->colCustName, cust);
    }
    void newBill(const QDate& date = QDate(2027, 1, 4))
    {
        editor->OpenData(QString(), "New");
        ASSERT_EQ(editor->EditMode, emNew);
        editor->dteDate->setDate(date);
    }
    // The rows list of the last document handed to the ERP library.
    IRowListPtr lastRows() const { return recorder->bills.last()->Details("Rows"); }
    QString keyOf(const QString& forID) const { return "ForID='" + forID + "'\r\nForEntry=1\r\n"; }

    IERPAccessPtr real;
    std::shared_ptr<TRecordingERP> recorder;
    TInfoObjectDef* def = nullptr;
    IInfoEditPtr edit;
    TForcastEditor* editor = nullptr;
    ScriptedMessageBoxes boxes;
};

QStringList texts(const QList<ShownBox>& shown)
{
    QStringList out;
    for (const ShownBox& b : shown)
        out << b.text;
    return out;
}

} // namespace

TEST_F(ForcastEditorTest, CreateCopyEditCheckAndUncheckThroughTheERPLibrary)
{
    // new: two lines, the second taking its customer and date from the first
    newBill();
    EXPECT_FALSE(editor->edtBillNo->isReadOnly());
    const QString proposed = editor->NewBillNo();
    EXPECT_EQ(editor->edtBillNo->text(), proposed);
    EXPECT_EQ(editor->edtCreater->text(), InfoApplication->LoginInfo.UserName);
    fillLine(node(0), "FG-2001", "120", "2027/02/15", "C001");
    EXPECT_EQ(node(0)->value(editor->colCustName).toString(), "华南电器商城"); // the number became the name
    kvui::TreeNode* second = editor->AppendRow();
    ASSERT_NE(second, nullptr);
    type(second, editor->colItmNo, "FG-3001");
    EXPECT_EQ(second->value(editor->colForCustID).toString(), "C001");
    EXPECT_EQ(second->value(editor->colForDelivDate).toDateTime().date(), QDate(2027, 2, 15));
    type(second, editor->colForBillQty, "40");
    EXPECT_TRUE(editor->Modified);
    ASSERT_TRUE(editor->ExecCommand(Commands::Save));
    EXPECT_TRUE(boxes.shown.isEmpty()) << texts(boxes.shown).join('\n').toStdString();
    EXPECT_EQ(editor->EditMode, emNone);
    const QString id = editor->BillID();
    ASSERT_FALSE(id.isEmpty());
    EXPECT_EQ(editor->KeyValues, "ForID='" + id + "'");
    EXPECT_EQ(lastRows()->GetCount(), 2);
    EXPECT_EQ(recorder->lastBillNoSent(), ""); // the proposal kept: the ERP numbers the bill
    EXPECT_EQ(recorder->bills.last()->Head()->GetValue("BillNo").toString(), proposed);
    EXPECT_EQ(value("select ForNo from QZ_MRP_ForcastHead where ForID='" + id + "'"), proposed);
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast where ForID='" + id + "' and ForCustID='C001' and "
                    "ForDelivDate='20270215' and Checked=0"),
              "2");
    // the save reopened it from the account set
    ASSERT_EQ(grid()->topCount(), 2);
    EXPECT_EQ(node(1)->value(editor->colItmNo).toString(), "FG-3001");
    EXPECT_EQ(editor->edtBillNo->text(), proposed);

    // copy: a new bill with the same lines, saved at once under a new identity
    ASSERT_TRUE(editor->ExecCommand(action("Copy")));
    EXPECT_EQ(editor->EditMode, emNew);
    EXPECT_TRUE(editor->Modified);
    ASSERT_TRUE(editor->ExecCommand(Commands::Save));
    const QString copyID = editor->BillID();
    EXPECT_NE(copyID, id);
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast where ForID='" + copyID + "'"), "2");
    EXPECT_NE(value("select ForNo from QZ_MRP_ForcastHead where ForID='" + copyID + "'"), proposed);

    // update the first bill: one line fewer, another quantity, its own number kept
    editor->OpenData(keyOf(id), QString());
    ASSERT_TRUE(editor->ExecCommand(action("Update")));
    ASSERT_EQ(editor->EditMode, emModify);
    EXPECT_EQ(editor->edtBillNo->text(), proposed);
    grid()->clearSelection();
    grid()->selectNode(node(1), true);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
    QCoreApplication::sendEvent(grid(), &del);
    ASSERT_EQ(grid()->topCount(), 1);
    type(node(0), editor->colForUBillQty, "150");
    ASSERT_TRUE(editor->ExecCommand(Commands::Save));
    EXPECT_TRUE(boxes.shown.isEmpty()) << texts(boxes.shown).join('\n').toStdString();
    EXPECT_EQ(editor->BillID(), id);
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast where ForID='" + id + "'"), "1");
    EXPECT_EQ(value("select ForQty from QZ_MRP_Forcast where ForID='" + id + "'").toDouble(), 150);

    // check, then the update action is refused; uncheck again
    ASSERT_TRUE(editor->ExecCommand(action("Check")));
    EXPECT_EQ(texts(boxes.shown), QStringList{"[审核]执行完成。"});
    EXPECT_EQ(value("select count(*) from QZ_MRP_ForcastHead where Checked=1 and ForID='" + id + "'"), "1");
    EXPECT_EQ(editor->lblState->text(), "(已审核)");
    EXPECT_EQ(editor->edtChecker->text(), InfoApplication->LoginInfo.UserName);
    TCommandState state;
    editor->QueryCommandState(action("Update"), state);
    EXPECT_FALSE(state & csEnabled);
    editor->OpenData(editor->KeyValues, "Update");
    EXPECT_EQ(boxes.shown.last().text, "单据状态已改变, 不能进行编辑!");
    EXPECT_EQ(editor->EditMode, emNone);
    EXPECT_EQ(editor->lblState->text(), "(已审核)");
    ASSERT_TRUE(editor->ExecCommand(action("Check"))); // refused by the account set: checked already
    EXPECT_EQ(boxes.shown.last().text, "因不满足执行条件或其他原因, 执行[审核]不成功!");
    ASSERT_TRUE(editor->ExecCommand(action("UnCheck")));
    EXPECT_EQ(boxes.shown.last().text, "[反审核]执行完成。");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast where Checked=0 and ForID='" + id + "'"), "1");
    EXPECT_TRUE(editor->lblState->text().isEmpty());

    // checked once more, the next main demand holds its line
    ASSERT_TRUE(editor->ExecCommand(action("Check")));
    TPlanScheme scheme(GlobalADOConnection);
    ASSERT_TRUE(scheme.Load(1));
    ASSERT_TRUE(scheme.RunMPS(false, false));
    EXPECT_EQ(value("select sum(ManQty) from QZ_MRP_Main where ManSchIID=1 and ManBillType=8 and ManBillID='" + id + "'")
                  .toDouble(),
              150);
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillID='" + copyID + "'"), "0"); // unchecked
}

TEST_F(ForcastEditorTest, OpeningBillsThatAreGoneNewAndChecked)
{
    // a bill that no longer exists: a warning and an empty bill to look at
    editor->OpenData("ForID='NO-SUCH'\r\n", QString());
    EXPECT_EQ(texts(boxes.shown), QStringList{"单据无法打开, 可能已被删除!"});
    EXPECT_EQ(grid()->topCount(), 0);
    EXPECT_EQ(editor->EditMode, emNone);
    // after it the new bill shows today, and one empty line
    editor->OpenData(QString(), "New");
    EXPECT_EQ(editor->dteDate->date(), QDate::currentDate());
    EXPECT_EQ(grid()->topCount(), 1);
    EXPECT_FALSE(editor->Modified);
    EXPECT_TRUE(editor->DataInEdit(QString())); // an untouched new bill takes the next request for one
    EXPECT_FALSE(editor->DataInEdit(keyOf("FC2612001")));

    // the demo's checked bill, opened to update: refused, shown read-only
    boxes.shown.clear();
    editor->OpenData(keyOf("FC2612001"), "Update");
    EXPECT_EQ(texts(boxes.shown), QStringList{"单据状态已改变, 不能进行编辑!"});
    EXPECT_EQ(editor->EditMode, emNone);
    EXPECT_EQ(editor->lblState->text(), "(已审核)");
    EXPECT_EQ(grid()->topCount(), 5);
    EXPECT_FALSE(grid()->editingEnabled());
    EXPECT_TRUE(editor->DataInEdit("ForID=fc2612001\r\n"));
    // the key travels as a quoted literal whatever form it came in
    editor->OpenData("ForID=FC2612001\r\n", QString());
    EXPECT_EQ(grid()->topCount(), 5);
    boxes.shown.clear();
    editor->OpenData("ForID='x'' or ''1''=''1'\r\n", QString());
    EXPECT_EQ(grid()->topCount(), 0);
    EXPECT_EQ(texts(boxes.shown), QStringList{"单据无法打开, 可能已被删除!"});
    // viewing focuses the line the window asked for
    editor->OpenData("ForID='FC2612001'\r\nForEntry=4\r\n", QString());
    EXPECT_EQ(grid()->focusedNode(), node(3));

    // a new bill after viewing one keeps that bill's date
    kvtest::DemoLogin::instance().exec("update QZ_MRP_Forcast set ForDate='20120501' where ForID='FC2612001'");
    editor->OpenData(keyOf("FC2612001"), QString());
    editor->OpenData(QString(), "New");
    EXPECT_EQ(editor->dteDate->date(), QDate(2012, 5, 1));
    kvtest::DemoLogin::instance().exec("update QZ_MRP_Forcast set ForDate='20261201' where ForID='FC2612001'");
}

TEST_F(ForcastEditorTest, CellRules)
{
    newBill();
    kvui::TreeNode* n = node(0);
    // unit conversion with a factor of 12
    kvtest::DemoLogin::instance().exec(
        "insert QZ_Base_Unit (UntID, UntNo, UntName, UntFactor) values ('DOZ', 'DOZ', '打', 12)\n"
        "update QZ_Base_ItemMaster set ItmProdUnitID='DOZ', ItmHasProp2=1, ItmHasProp5=1 where ItmID='IPT-601'");
    const QString screws = value("select ItmNo from QZ_Base_ItemMaster where ItmID='IPT-601'");
    ASSERT_FALSE(screws.isEmpty());
    type(n, editor->colItmNo, screws);
    EXPECT_EQ(n->value(editor->colUnitName).toString(), "打");
    type(n, editor->colForUBillQty, "1");
    EXPECT_EQ(n->value(editor->colForBillQty).toDouble(), 12);
    type(n, editor->colForBillQty, "1");
    EXPECT_EQ(n->value(editor->colForUBillQty).toDouble(), 0.08333333);

    // properties: only those the item uses can be edited; others are emptied when the item changes
    kvui::Column* prop2 = editor->colItmProp[1];
    kvui::Column* prop3 = editor->colItmProp[2];
    EXPECT_TRUE(editor->IsCellEditable(n, prop2));
    EXPECT_FALSE(editor->IsCellEditable(n, prop3));
    EXPECT_FALSE(grid()->canEditCell(grid()->rowOfNode(n), prop3));
    type(n, prop2, "红");
    type(n, editor->colItmNo, "FG-2001");
    EXPECT_TRUE(n->value(prop2).toString().isEmpty());
    EXPECT_FALSE(editor->IsCellEditable(n, prop2));
    EXPECT_EQ(n->value(editor->colForBillQty).toDouble(), 0.08333333); // factor 1 now: base = quantity

    // the group number only with a group type
    EXPECT_FALSE(editor->IsCellEditable(n, editor->colForGroupNo));
    n->setValue(editor->colForGroupType, 9);
    EXPECT_TRUE(editor->IsCellEditable(n, editor->colForGroupNo));

    // customers: a number shows the name; a name two customers share takes the lower number
    kvtest::DemoLogin::instance().exec("update QZ_Base_Customer set CustName='同名客户' where CustID in ('C003', 'C002')");
    type(n, editor->colCustName, "同名客户");
    EXPECT_EQ(n->value(editor->colForCustID).toString(), "C002");
    type(n, editor->colCustName, "C004");
    EXPECT_EQ(n->value(editor->colCustName).toString(), "西部五金批发");
    type(n, editor->colCustName, "没有这个客户");
    EXPECT_TRUE(n->value(editor->colForCustID).toString().isEmpty());
    EXPECT_TRUE(n->value(editor->colCustName).toString().isEmpty());

    // an unknown or disabled item empties the item part, the typed number included
    for (const char* item : {"NO-SUCH", "PT-699"}) {
        type(n, editor->colItmNo, item);
        for (kvui::Column* c : {editor->colItmNo, editor->colForItmID, editor->colItmName, editor->colUnitName})
            EXPECT_TRUE(n->value(c).toString().isEmpty()) << item << c->objectName().toStdString();
    }
    kvtest::DemoLogin::instance().exec(
        "update QZ_Base_Customer set CustName='远洋国际贸易' where CustID='C003'\n"
        "update QZ_Base_Customer set CustName='北方家电连锁' where CustID='C002'\n"
        "update QZ_Base_ItemMaster set ItmProdUnitID='PCS', ItmHasProp2=0, ItmHasProp5=0 where ItmID='IPT-601'\n"
        "delete QZ_Base_Unit where UntID='DOZ'");
}

TEST_F(ForcastEditorTest, SaveChecksInOrderWithTheirMessages)
{
    kvtest::DemoLogin::instance().exec(
        "update QZ_Base_ItemMaster set ItmHasProp2=1, ItmHasProp5=1 where ItmID='IFG-3001'\n"
        "insert QZ_Base_ItemProps (ItpID, ItpItmID, ItpProp2, ItpProp5) values ('P-RED-S', 'IFG-3001', '红', '小')");
    const QString fg3001Caption = editor->colItmProp[4]->caption();
    const struct {
        const char* name;
        std::function<void(ForcastEditorTest*, kvui::TreeNode*)> setUp;
        QString message;
        kvui::Column* TForcastEditor::*focus;
    } cases[] = {
        {"no item", [](ForcastEditorTest* t, kvui::TreeNode* n) { t->type(n, t->editor->colForUBillQty, "5"); },
         "[物料代码]的内容不能为空!", &TForcastEditor::colItmNo},
        {"item id lost", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-2001", "5", "2027/02/01");
             n->setValue(t->editor->colForItmID, QVariant());
         },
         "[物料代码]的值(FG-2001)不存在!", &TForcastEditor::colItmNo},
        {"property 5 empty", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-3001", "5", "2027/02/01");
             t->type(n, t->editor->colItmProp[1], "红");
         },
         "[" + fg3001Caption + "]的内容不能为空!", nullptr},
        {"property text unknown", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-3001", "5", "2027/02/01");
             t->type(n, t->editor->colItmProp[1], "绿");
             t->type(n, t->editor->colItmProp[4], "小");
         },
         "[" + editor->colItmProp[1]->caption() + "]的值(绿)无效!", nullptr},
        {"group without number", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-2001", "5", "2027/02/01");
             n->setValue(t->editor->colForGroupType, 9);
         },
         "[" + editor->colForGroupNo->caption() + "]的内容不能为空!", &TForcastEditor::colForGroupNo},
        {"unknown customer", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-2001", "5", "2027/02/01");
             n->setValue(t->editor->colCustName, "某客户");
         },
         "[客户]的值(某客户)不存在!", &TForcastEditor::colCustName},
        {"quantity 0", [](ForcastEditorTest* t, kvui::TreeNode* n) { t->fillLine(n, "FG-2001", "0", "2027/02/01"); },
         "[" + editor->colForBillQty->caption() + "]的值(0)没有大于0 !", &TForcastEditor::colForBillQty},
        {"no delivery date", [](ForcastEditorTest* t, kvui::TreeNode* n) { t->fillLine(n, "FG-2001", "5", ""); },
         "[交货日期]的内容不能为空!", &TForcastEditor::colForDelivDate},
        {"delivery a day before the bill", [](ForcastEditorTest* t, kvui::TreeNode* n) {
             t->fillLine(n, "FG-2001", "5", "2027/01/03");
         },
         "[交货日期]的值没有大于或等于[单据日期:]的值!", &TForcastEditor::colForDelivDate},
    };
    const QString before = value("select count(*) from QZ_MRP_Forcast");
    for (const auto& c : cases) {
        newBill();
        c.setUp(this, node(0));
        boxes.shown.clear();
        EXPECT_FALSE(editor->SaveData()) << c.name;
        EXPECT_EQ(texts(boxes.shown), QStringList{c.message}) << c.name;
        if (c.focus) {
            EXPECT_EQ(grid()->focusedColumn(), editor->*c.focus) << c.name;
        }
        EXPECT_EQ(editor->EditMode, emNew) << c.name;
        editor->Modified = false;
    }
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast"), before);

    // the head comes first: an empty number, then a date before 2010
    newBill(QDate(2009, 12, 31));
    editor->edtBillNo->setText("  ");
    boxes.shown.clear();
    EXPECT_FALSE(editor->SaveData());
    EXPECT_EQ(texts(boxes.shown), QStringList{"[单据编号:]的内容不能为空!"});
    editor->edtBillNo->setText("FC-X");
    EXPECT_FALSE(editor->SaveData());
    EXPECT_EQ(boxes.shown.last().text, "[单据日期:]的值(2009/12/31)没有大于2010/01/01 !");
    // no lines at all: a line is added to type into
    editor->dteDate->setDate(QDate(2027, 1, 4));
    grid()->clear();
    EXPECT_FALSE(editor->SaveData());
    EXPECT_EQ(boxes.shown.last().text, "单据体内容为空, 请输入!");
    EXPECT_EQ(grid()->topCount(), 1);
    editor->Modified = false;

    // what the document carries: the found combination, a delivery date equal
    // to the bill date, a group number as demand class when that column is hidden
    newBill();
    fillLine(node(0), "FG-3001", "5", "2027/01/04");
    type(node(0), editor->colItmProp[1], "红");
    type(node(0), editor->colItmProp[4], "小");
    kvui::TreeNode* second = editor->AppendRow();
    fillLine(second, "FG-2001", "7", "2027/02/01");
    second->setValue(editor->colForGroupNo, "G-1");         // typed with no group type
    kvui::TreeNode* third = editor->AppendRow();
    fillLine(third, "FG-1001", "9", "2027/02/01");
    third->setValue(editor->colForGroupType, 9);
    third->setValue(editor->colForGroupNo, " G-2 ");
    editor->colForOrigTag->setVisible(false);
    boxes.shown.clear();
    ASSERT_TRUE(editor->SaveData()) << texts(boxes.shown).join('\n').toStdString();
    editor->colForOrigTag->setVisible(true);
    IRowListPtr rows = lastRows();
    ASSERT_EQ(rows->GetCount(), 3);
    EXPECT_EQ(rows->GetRow(0)->GetValue("ItemProps").toString(), "P-RED-S");
    EXPECT_EQ(rows->GetRow(0)->GetValue("ItemProp5").toString(), "小");
    EXPECT_EQ(rows->GetRow(1)->GetValue("ItemProps").toString(), ""); // no properties, no lookup
    EXPECT_EQ(rows->GetRow(1)->GetValue("MRPGroupNo").toString(), "");
    EXPECT_EQ(rows->GetRow(2)->GetValue("MRPGroupNo").toString(), "G-2");
    EXPECT_EQ(rows->GetRow(2)->GetValue("OrigTag").toString(), "G-2");
    EXPECT_EQ(rows->GetRow(2)->GetValue("Index").toInt(), 3);
    const QString id = editor->BillID();
    EXPECT_EQ(value("select ForItmProps from QZ_MRP_Forcast where ForID='" + id + "' and ForEntry=1"), "P-RED-S");
    EXPECT_EQ(value("select ForGroupNo from QZ_MRP_Forcast where ForID='" + id + "' and ForEntry=3"), "G-2");

    kvtest::DemoLogin::instance().exec("update QZ_Base_ItemMaster set ItmHasProp2=0, ItmHasProp5=0 where ItmID='IFG-3001'");
}

TEST_F(ForcastEditorTest, RowCapOfTheERPLibrary)
{
    // a cap of 0 or 1 means one line per bill, never "no bill at all"
    for (int cap : {0, 1}) {
        recorder->maxRows = cap;
        newBill();
        fillLine(node(0), "FG-2001", "5", "2027/02/01");
        kvui::TreeNode* second = editor->AppendRow();
        fillLine(second, "FG-3001", "6", "2027/02/01");
        boxes.shown.clear();
        EXPECT_FALSE(editor->SaveData()) << cap;
        EXPECT_EQ(texts(boxes.shown), QStringList{"单据体内容不允许超过 1 行, 请修正!"}) << cap;
        EXPECT_EQ(grid()->focusedNode(), second) << cap;
        EXPECT_EQ(grid()->focusedColumn(), editor->colItmNo) << cap;
        grid()->deleteNode(second);
        EXPECT_TRUE(editor->SaveData()) << cap;
    }
    // as many lines as the cap allows save
    recorder->maxRows = 2;
    newBill();
    fillLine(node(0), "FG-2001", "5", "2027/02/01");
    fillLine(editor->AppendRow(), "FG-3001", "6", "2027/02/01");
    EXPECT_TRUE(editor->SaveData());
}

TEST_F(ForcastEditorTest, TypedNumbersAndTheirUniqueness)
{
    // a number another bill has: asked; Cancel keeps editing
    newBill();
    fillLine(node(0), "FG-2001", "5", "2027/02/01");
    editor->edtBillNo->setText("fc-202612-001");
    boxes.answer({kvos::IDCANCEL});
    EXPECT_FALSE(editor->SaveData());
    EXPECT_EQ(texts(boxes.shown), QStringList{"单据编号\"fc-202612-001\"已存在, 由系统自动生成新编号继续保存?"});
    EXPECT_EQ(editor->EditMode, emNew);
    // OK: the ERP numbers it, and the number is announced
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    ASSERT_TRUE(editor->SaveData());
    EXPECT_EQ(recorder->lastBillNoSent(), ""); // OK: the ERP numbers it
    EXPECT_EQ(recorder->bills.last()->Head()->GetValue("BillNo").toString(), editor->NewBillNo());
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, "系统已自动生成新单据编号\"" + editor->NewBillNo() + "\"进行保存。");
    EXPECT_EQ(editor->edtBillNo->text(), editor->NewBillNo());

    // a free number typed in is kept; the bill then keeps it through an update
    newBill();
    fillLine(node(0), "FG-2001", "5", "2027/02/01");
    editor->edtBillNo->setText("FC-OWN-7");
    boxes.shown.clear();
    ASSERT_TRUE(editor->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(recorder->lastBillNoSent(), "FC-OWN-7");
    const QString id = editor->BillID();
    editor->OpenData(keyOf(id), "Update");
    ASSERT_EQ(editor->EditMode, emModify);
    type(node(0), editor->colForUBillQty, "6");
    ASSERT_TRUE(editor->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty()) << texts(boxes.shown).join('\n').toStdString();
    EXPECT_EQ(value("select ForNo from QZ_MRP_ForcastHead where ForID='" + id + "'"), "FC-OWN-7");

    // the ERP library's refusal is shown and the bill stays in edit
    editor->OpenData(keyOf(id), "Update");
    type(node(0), editor->colForUBillQty, "7");
    kvtest::DemoLogin::instance().exec("update QZ_MRP_ForcastHead set Checked=1 where ForID='" + id + "'");
    boxes.shown.clear();
    EXPECT_FALSE(editor->SaveData());
    EXPECT_EQ(texts(boxes.shown), QStringList{"保存过程中出现意外错误, 操作被中止!\r\r原因: 预测单\"" + id + "\"已审核, 不能修改!"});
    EXPECT_EQ(editor->EditMode, emModify);
    EXPECT_TRUE(editor->Modified);
    editor->Modified = false;
}
