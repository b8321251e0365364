// The deduction view: loading a bill line with its deductions, adding,
// editing and deleting manual deductions, and saving them in one transaction.
#include "DeductFixture.h"
#include "ViewActions.h"
#include "famDeduction.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

using namespace deductui;

namespace {

class DeductFrameTest : public DeductDbTest {
protected:
    void SetUp() override
    {
        DeductDbTest::SetUp();
        if (HasFatalFailure())
            return;
        forecast("F9", 1, "IFG-1001", "20270110", 100, 10);
        order("SO", "S1", 1, "IFG-1001", "20270112", 100);
        order("SO", "S2", 1, "IFG-1001", "20270114", 40);
        order("SI", "E1", 1, "IFG-1001", "20270115", 30);
    }

    void TearDown() override
    {
        view.reset();
        DeductDbTest::TearDown();
    }

    TMRPDeductFrame* open(const QString& masterValues)
    {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Deduct"));
        EXPECT_NE(def, nullptr);
        view = CreateInfoView<TMRPDeductFrame>(nullptr, def);
        view->InitializeView(QStringLiteral("Deduct"), IInfoViewPtr());
        view->SetMasterValues(masterValues, true);
        return view.get();
    }
    TMRPDeductFrame* openForecast(const QString& id) { return open(QStringLiteral("BillID='%1'\r\nBillEntry=1\r\nBillType=8").arg(id)); }

    kvui::TreeNode* root() { return view->tlMain->topNode(0); }
    kvui::TreeNode* child(const QString& billID)
    {
        for (kvui::TreeNode* n : root()->children())
            if (n->value(view->colBillID).toString() == billID)
                return n;
        return nullptr;
    }
    double q(kvui::TreeNode* n, kvui::Column* c) { return n->value(c).toDouble(); }

    // The candidate lines of a kind as the pick list shows them, picked by bill number.
    void pick(int kind, const QStringList& billNos)
    {
        QString sql;
        ASSERT_TRUE(view->BuildCandidateSQL(kind, sql));
        TADOQuery query;
        query.SetConnection(GlobalADOConnection);
        ASSERT_TRUE(ExecSQLText(&query, sql, true, false, false)) << sql.toStdString();
        TBookmarks rows;
        for (int i = 0; !query.Eof(); query.Next(), ++i)
            if (billNos.contains(query.FieldByName(QStringLiteral("单据编号"))->AsString()))
                rows << i;
        ASSERT_EQ(rows.size(), billNos.size());
        view->AddPickedBills(&query, rows);
    }
    QStringList candidates(int kind)
    {
        QString sql;
        EXPECT_TRUE(view->BuildCandidateSQL(kind, sql));
        return rows(QStringLiteral("select [单据编号], [本次可冲销数] from (") + sql.left(sql.lastIndexOf(QStringLiteral(" order by "))) +
                    QStringLiteral(") as c order by [单据编号]"));
    }
    // Types a quantity into a deducting line's cell, as the user does.
    void typeQty(kvui::TreeNode* n, const QString& text)
    {
        view->tlMain->setFocusedNode(n);
        ASSERT_TRUE(view->tlMain->startEdit(view->colDedQty));
        auto* editor = qobject_cast<QLineEdit*>(view->tlMain->activeEditor());
        ASSERT_NE(editor, nullptr);
        editor->setText(text);
        view->tlMain->postEdit();
    }

    std::shared_ptr<TMRPDeductFrame> view;
};

} // namespace

TEST_F(DeductFrameTest, ABillLineShowsItsDeductionsWithTheRoomLeft)
{
    deduction("F9", "S1", 2, 60, 60, false);
    deduction("F9", "E1", 4, 20, 20, true);
    openForecast("F9");
    ASSERT_EQ(view->tlMain->topCount(), 1);
    kvui::TreeNode* r = root();
    EXPECT_EQ(q(r, view->colDedQty), 80);
    EXPECT_EQ(q(r, view->colRestQty), 10); // 100 - 10 executed - 60 - 20
    EXPECT_EQ(q(r, view->colMaxQty), 90);
    ASSERT_EQ(r->childCount(), 2);
    kvui::TreeNode* s1 = child("S1");
    ASSERT_NE(s1, nullptr);
    EXPECT_EQ(s1->stateIndex(), 0); // loaded as automatic: its manual flag may be switched on
    EXPECT_FALSE(s1->value(view->colDedManual).toBool());
    EXPECT_EQ(q(s1, view->colMaxQty), 100);
    EXPECT_EQ(q(s1, view->colPreAQty), 0);
    EXPECT_EQ(q(s1, view->colRestQty), 40);
    kvui::TreeNode* e1 = child("E1");
    ASSERT_NE(e1, nullptr);
    EXPECT_TRUE(e1->value(view->colDedManual).toBool());
    EXPECT_EQ(e1->stateIndex(), -1);
    EXPECT_EQ(q(e1, view->colMaxQty), 30);
    EXPECT_EQ(q(e1, view->colPreMQty), 0);

    // The scheme's sort orders the lines (the union sorts by column names).
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, QStringLiteral("[Sorts]"), QStringLiteral("BillNo:0"));
    view->RefreshData(false);
    ASSERT_EQ(root()->childCount(), 2);
    EXPECT_EQ(root()->child(0)->value(view->colBillNo).toString(), QStringLiteral("E1"));

    // Seen from the order line, the forecast is the deducting line.
    open(QStringLiteral("BillID='S1'\r\nBillEntry=1\r\nBillType=2"));
    ASSERT_EQ(view->tlMain->topCount(), 1);
    ASSERT_EQ(root()->childCount(), 1);
    EXPECT_EQ(q(child("F9"), view->colMaxQty), 70); // 100 - 10 executed - 20 by hand for E1
}

TEST_F(DeductFrameTest, MasterValuesNameTheLine)
{
    struct Case {
        const char* what;
        const char* values;
        int rows, kind, entry;
    };
    const Case cases[] = {
        {"no line", "BillID=null\r\nBillEntry=1\r\nBillType=8", 0, 8, 0},
        {"kind missing reads as forecast", "BillID='F9'\r\nBillEntry=1", 1, 8, 1},
        {"line missing reads as 0", "BillID='F9'\r\nBillType=8", 0, 8, 0},
        {"unknown kind reads as export order", "BillID='E1'\r\nBillEntry=1\r\nBillType=7", 1, 4, 1},
    };
    for (const Case& c : cases) {
        open(QString::fromUtf8(c.values));
        EXPECT_EQ(view->tlMain->topCount(), c.rows) << c.what;
        if (c.rows) {
            EXPECT_EQ(view->BillType(), c.kind) << c.what;
            EXPECT_EQ(view->BillEntry(), c.entry) << c.what;
        }
        TCommandState state;
        view->QueryCommandState(Commands::FirstAction, state);
        EXPECT_EQ(state == TCommandState(), c.rows == 0) << c.what;
    }
}

TEST_F(DeductFrameTest, ManualDeductionsAreAddedEditedDeletedAndSaved)
{
    deduction("F9", "S1", 2, 30, 30, false);
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S2")});
    kvui::TreeNode* s2 = child("S2");
    ASSERT_NE(s2, nullptr);
    // The default quantity is the smaller of the order's room and the forecast's maximum.
    EXPECT_EQ(q(s2, view->colDedQty), 40);
    EXPECT_TRUE(view->Modified);
    typeQty(s2, QStringLiteral("25"));
    EXPECT_EQ(q(root(), view->colDedQty), 55);
    EXPECT_EQ(q(root(), view->colDedMQty), 25);

    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(view->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_FALSE(view->Modified);
    EXPECT_EQ(deductions(), QStringList({"F9|2|S1|30|30|0", "F9|2|S2|25|25|1"}));
    EXPECT_EQ(totals("Forcast", "F9"), "30|25");
    EXPECT_EQ(totals("SO", "S1"), "30|0");
    EXPECT_EQ(totals("SO", "S2"), "0|25");
    EXPECT_EQ(value("select DedUsrID from QZ_MRP_Deduction where DedOrdID='S2'"), InfoApplication->LoginInfo.UserID);

    // The automatic pair becomes manual at a new quantity, the manual one goes.
    kvui::TreeNode* s1 = child("S1");
    view->tlMain->setFocusedNode(s1);
    ASSERT_TRUE(view->CanEditCell(s1, view->colDedManual));
    EXPECT_FALSE(view->CanEditCell(root(), view->colDedQty));
    s1->setValue(view->colDedManual, true);
    typeQty(s1, QStringLiteral("-5"));
    EXPECT_EQ(q(s1, view->colDedQty), 0); // not positive: 0
    typeQty(s1, QStringLiteral("45"));
    view->tlMain->clearSelection();
    view->tlMain->selectNode(child("S2"), true);
    boxes.answer({kvos::IDOK});
    view->DeleteSelectedLines();
    ASSERT_TRUE(view->SaveData());
    EXPECT_EQ(deductions(), QStringList({"F9|2|S1|45|45|1"}));
    EXPECT_EQ(totals("Forcast", "F9"), "0|45");
    EXPECT_EQ(totals("SO", "S1"), "0|45");
    EXPECT_EQ(totals("SO", "S2"), "0|0");
    EXPECT_EQ(value("select @@trancount"), "0");
}

TEST_F(DeductFrameTest, AManualPairShrinksTheOtherLinesAutomaticRecordsNewestFirst)
{
    // S1 (100) is taken whole by two forecasts' automatic deductions; the
    // newer one was converted 1:2 between the forecast's and the order's unit.
    forecast("F1", 1, "IFG-1001", "20270105", 200);
    forecast("F2", 1, "IFG-1001", "20270106", 200);
    deduction("F1", "S1", 2, 70, 70, false);
    deduction("F2", "S1", 2, 60, 30, false);
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S1")});
    kvui::TreeNode* s1 = child("S1");
    ASSERT_NE(s1, nullptr);
    typeQty(s1, QStringLiteral("50"));
    EXPECT_EQ(q(s1, view->colDedAQty), 50); // 100 of automatic deductions must shrink to 50
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(view->SaveData());
    // F2's record (30 on the order's side) goes whole, F1's is cut by the other 20.
    EXPECT_EQ(deductions(), QStringList({"F1|2|S1|50|50|0", "F9|2|S1|50|50|1"}));
    EXPECT_EQ(totals("Forcast", "F1"), "50|0");
    EXPECT_EQ(totals("Forcast", "F2"), "0|0");
    EXPECT_EQ(totals("SO", "S1"), "50|50");
    EXPECT_EQ(totals("Forcast", "F9"), "0|50");
}

TEST_F(DeductFrameTest, APartialReductionConvertsTheOtherSideInProportion)
{
    forecast("F1", 1, "IFG-1001", "20270105", 200);
    deduction("F1", "S1", 2, 150, 100, false); // 3 forecast units for 2 order units
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S1")});
    typeQty(child("S1"), QStringLiteral("10"));
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(view->SaveData());
    EXPECT_EQ(deductions(), QStringList({"F1|2|S1|135|90|0", "F9|2|S1|10|10|1"}));
    EXPECT_EQ(totals("Forcast", "F1"), "135|0");
}

TEST_F(DeductFrameTest, QuantitiesAboveTheMaximumBlockTheSave)
{
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S2")});
    pick(4, {QStringLiteral("E1")});
    const QStringList before = snapshot();

    // The line's own maximum: the warning names it, the cell is drawn in red.
    typeQty(child("S2"), QStringLiteral("45"));
    QColor brush, text;
    QFont font;
    view->FetchCustomDrawFormat(child("S2"), view->colDedQty, false, false, brush, font, text);
    EXPECT_EQ(text, QColor(255, 0, 0));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("销售订单行(S2/1)的本次冲销数量(45)超出其自身的最大可冲销数量(40)!"));
    EXPECT_EQ(view->tlMain->focusedNode(), child("S2"));
    EXPECT_TRUE(view->Modified);

    // The sum over the lines: 40 + 30 + 30 > 90.
    typeQty(child("S2"), QStringLiteral("40"));
    pick(2, {QStringLiteral("S1")});
    typeQty(child("S1"), QStringLiteral("30"));
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_TRUE(boxes.shown[1].text.startsWith(QStringLiteral("各明细行的本次冲销数量累计(100)超出当前产品预测行")))
        << boxes.shown[1].text.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DeductFrameTest, AFailureMidwayLeavesTheTablesAsTheyWere)
{
    // S1 keeps an automatic record of F1 whose extension row is gone: taking
    // room from it fails after the bill line's batch and S2's batch ran.
    forecast("F1", 1, "IFG-1001", "20270105", 200);
    deduction("F1", "S1", 2, 100, 100, false);
    deduction("F9", "S2", 2, 10, 10, false);
    exec("delete QZ_MRP_ForcastExt where ForID='F1'");
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S1")});
    typeQty(child("S1"), QStringLiteral("20"));
    const QStringList before = snapshot();
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1); // the SQL runner's error box
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(snapshot(), before);
    EXPECT_EQ(value("select @@trancount"), "0");
    EXPECT_TRUE(view->Modified);
}

TEST_F(DeductFrameTest, AStatementErrorInALaterBatchLeavesNoTransactionOpen)
{
    // F1's room is taken by an automatic deduction of export order E1; giving
    // it to S2 by hand must shrink that record, and the export orders'
    // extension table is gone: the line's batch fails after the bill line's
    // batch opened the transaction.
    forecast("F1", 1, "IFG-1001", "20270105", 30);
    deduction("F1", "E1", 4, 30, 30, false);
    exec("drop table QZ_MRP_SIExt");
    open(QStringLiteral("BillID='S2'\r\nBillEntry=1\r\nBillType=2"));
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(8, {QStringLiteral("F1")});
    typeQty(child("F1"), QStringLiteral("10"));
    const QStringList before = rows("select * from QZ_MRP_Deduction order by DedIID") +
                               rows("select * from QZ_MRP_ForcastExt order by ForID") +
                               rows("select * from QZ_MRP_SOExt order by SOID");
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    EXPECT_EQ(value("select @@trancount"), "0");
    EXPECT_EQ(rows("select * from QZ_MRP_Deduction order by DedIID") + rows("select * from QZ_MRP_ForcastExt order by ForID") +
                  rows("select * from QZ_MRP_SOExt order by SOID"),
              before);
}

TEST_F(DeductFrameTest, CandidatesByScopeCustomerAndRoom)
{
    // An order of an item planned under the forecast's item, a closed order
    // due within 180 days before the forecast and one due long before.
    exec("update QZ_MRP_ItemSetting set ItmPlanItmID='IFG-1001' where ItmID='IFG-1002'\r"
         "if @@rowcount=0 insert QZ_MRP_ItemSetting (ItmID, ItmPlanItmID) values ('IFG-1002', 'IFG-1001')");
    order("SO", "S3", 1, "IFG-1002", "20270120", 15);
    order("SO", "S4", 1, "IFG-1001", "20260901", 5, true);
    order("SO", "S5", 1, "IFG-1001", "20260601", 5, true);
    order("SO", "S6", 1, "IFG-2001", "20270112", 5);
    exec("update QZ_MRP_SO set SOCustID='C002' where SOID='S2'");
    deduction("F9", "S1", 2, 30, 30, true);
    openForecast("F9");
    view->SetDeductEditMode(true);

    struct Case {
        const char* what;
        int scope;
        bool diffCustom;
        QStringList expected;
    };
    const Case cases[] = {
        {"same item or planned under it", 0, false, {"S1|100", "S3|15", "S4|5"}},
        {"same item only", 1, false, {"S1|100", "S4|5"}},
        {"any item, other customers too", 2, true, {"S1|100", "S2|40", "S3|15", "S4|5", "S6|5"}},
    };
    for (const Case& c : cases) {
        view->cboBillScope->setCurrentIndex(c.scope);
        view->chkDiffCustom->setChecked(c.diffCustom);
        QStringList got = candidates(2);
        for (QString& line : got)
            line = line.section(u'.', 0, 0);
        EXPECT_EQ(got, c.expected) << c.what;
    }

    // A forecast offered to an order line has room for no more than its bill
    // leaves after what was executed and deducted by hand.
    exec("update QZ_MRP_Forcast set ForQty=500 where ForID='F9'");
    open(QStringLiteral("BillID='S2'\r\nBillEntry=1\r\nBillType=2"));
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    view->chkDiffCustom->setChecked(true);
    QStringList got = candidates(8);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].section(u'.', 0, 0), "F9|60"); // 100 - 10 executed - 30 by hand
}

TEST_F(DeductFrameTest, PickingALineTwiceResetsIt)
{
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S2")});
    typeQty(child("S2"), QStringLiteral("5"));
    pick(2, {QStringLiteral("S2")});
    EXPECT_EQ(root()->childCount(), 1);
    EXPECT_EQ(q(child("S2"), view->colDedQty), 40);
}

TEST_F(DeductFrameTest, ActionsFollowTheLineAndTheEditMode)
{
    deduction("F9", "S1", 2, 30, 30, false);
    openForecast("F9");
    const auto command = [this](const char* id) { return kvtest::actionCommand(view.get(), id); };
    const auto state = [&](const char* id) {
        TCommandState s;
        EXPECT_TRUE(view->QueryCommandState(command(id), s));
        return s;
    };
    EXPECT_EQ(state("Update"), TCommandState(csEnabled));
    EXPECT_EQ(state("AddForcast"), TCommandState(csHidden));
    EXPECT_EQ(state("AddSO"), TCommandState(csEnabled));
    view->tlMain->clearSelection();
    view->tlMain->selectNode(root(), true);
    EXPECT_EQ(state("Delete"), TCommandState());
    view->tlMain->clearSelection();
    view->tlMain->selectNode(child("S1"), true);
    EXPECT_EQ(state("Delete"), TCommandState(csEnabled));

    // Deleting enters edit mode; leaving it with Yes saves, and the view reloads.
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK});
    view->ExecCommand(command("Delete"));
    EXPECT_TRUE(view->GetEditMode());
    EXPECT_EQ(state("Update"), TCommandState(csEnabled | csChecked));
    EXPECT_EQ(root()->childCount(), 0);
    boxes.answer({kvos::IDYES});
    view->ExecCommand(command("Update"));
    EXPECT_FALSE(view->GetEditMode());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("您将退出[%1]的当前编辑状态, 对未保存过的内容进行保存?").arg(view->ViewCaption));
    EXPECT_TRUE(deductions().isEmpty());
    EXPECT_EQ(totals("SO", "S1"), "0|0");

    // The options live in the scheme's text.
    view->cboBillScope->setCurrentIndex(2);
    view->chkShowFilter->setChecked(true);
    ASSERT_TRUE(view->QueryClose());
    EXPECT_EQ(ReadViewSchemeParam(view->ViewScheme.Params, QStringLiteral("[BillScope]")), "2");
    EXPECT_EQ(ReadViewSchemeParam(view->ViewScheme.Params, QStringLiteral("[DiffCustom]")), "0");
    openForecast("F9");
    EXPECT_EQ(view->cboBillScope->currentIndex(), 2);
    EXPECT_TRUE(view->chkShowFilter->isChecked());
}

namespace {
bool FilterCancelled(TInfoObjectDef*, QString&, QString&, TADOQuery*, const QString&, bool) { return false; }
QString OfferedCode;
// The user clears the filter offered.
bool FilterChosen(TInfoObjectDef*, QString& AText, QString& ACode, TADOQuery*, const QString&, bool)
{
    OfferedCode = ACode;
    AText.clear();
    ACode.clear();
    return true;
}
} // namespace

TEST_F(DeductFrameTest, CandidatesArePickedFromTheListAfterTheFilter)
{
    openForecast("F9");
    view->cboBillScope->setCurrentIndex(1);
    view->chkShowFilter->setChecked(true);
    const auto previousFilter = InfoApplication->ShowFilterDlgProc;
    InfoApplication->ShowFilterDlgProc = &FilterCancelled;
    int pickerShown = 0;
    TPickPopupDlg::ExecHook = [&pickerShown](TPickPopupDlg& dlg) {
        ++pickerShown;
        dlg.grvPickData->selectAllRows();
        return int(QDialog::Accepted);
    };
    view->AddBills(2);
    EXPECT_EQ(pickerShown, 0);
    EXPECT_EQ(root()->childCount(), 0);

    InfoApplication->ShowFilterDlgProc = &FilterChosen;
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, QStringLiteral("[QZ_MRP.SO]"), QStringLiteral("last"));
    view->AddBills(2);
    InfoApplication->ShowFilterDlgProc = previousFilter;
    TPickPopupDlg::ExecHook = nullptr;
    EXPECT_EQ(pickerShown, 1);
    EXPECT_EQ(root()->childCount(), 2);
    EXPECT_NE(child("S1"), nullptr);
    EXPECT_NE(child("S2"), nullptr);
    // The code kept for sales orders was offered, and the one chosen is kept.
    EXPECT_EQ(OfferedCode, QStringLiteral("last"));
    EXPECT_FALSE(view->ViewScheme.Params.contains(QStringLiteral("[QZ_MRP.SO]")));
}

TEST_F(DeductFrameTest, ALinePickedAndSavedAsItIsMakesRoomToo)
{
    // S1 (100) is taken whole by F1's automatic deduction. Picked under F9 it
    // proposes 90 by hand: F1's record must give 90 back, or S1 would carry 190.
    forecast("F1", 1, "IFG-1001", "20270105", 200);
    deduction("F1", "S1", 2, 100, 100, false);
    openForecast("F9");
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S1")});
    EXPECT_EQ(q(child("S1"), view->colDedQty), 90);
    EXPECT_EQ(q(child("S1"), view->colDedAQty), 10);
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(view->SaveData());
    EXPECT_EQ(deductions(), QStringList({"F1|2|S1|10|10|0", "F9|2|S1|90|90|1"}));
    EXPECT_EQ(totals("SO", "S1"), "10|90");
}

TEST_F(DeductFrameTest, ALineChangedByTheERPSinceItsDeductionBlocksTheSave)
{
    deduction("F9", "S1", 2, 20, 20, false);
    exec("update QZ_MRP_SO set SOItmID='IFG-2001' where SOID='S1'");
    openForecast("F9");
    kvui::TreeNode* s1 = child("S1");
    ASSERT_NE(s1, nullptr);
    EXPECT_EQ(s1->imageIndex(), 1);
    QColor brush, text;
    QFont font;
    view->FetchCustomDrawFormat(s1, view->colItmNo, false, false, brush, font, text);
    EXPECT_EQ(brush, QColor(255, 0, 0));
    view->SetDeductEditMode(true);
    const QStringList before = snapshot();
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(view->SaveData());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("销售订单行的冲销信息有异常, 不能参与本次冲销")))
        << boxes.shown[0].text.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(DeductFrameTest, KeysArePutIntoTheStatementsAsTheyAre)
{
    // A key with a quote and with what looks like placeholders.
    exec("insert QZ_MRP_Forcast (ForID, ForNo, ForEntry, ForDate, ForCustID, ForItmID, ForUntID, ForBillQty, ForUBillQty, "
         "ForQty, ForOkQty, ForDelivDate, Checked, Closed, CanMRP) values ('F''%1%2', 'F''%1%2', 1, '20261201', 'C001', "
         "'IFG-1001', 'PCS', 50, 50, 50, 0, '20270110', 1, 0, 1)");
    open(QStringLiteral("BillID='F''%1%2'\r\nBillEntry=1\r\nBillType=8"));
    ASSERT_EQ(view->tlMain->topCount(), 1);
    EXPECT_EQ(view->BillID(), QStringLiteral("F'%1%2"));
    view->SetDeductEditMode(true);
    view->cboBillScope->setCurrentIndex(1);
    pick(2, {QStringLiteral("S2")});
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(view->SaveData());
    EXPECT_EQ(deductions(), QStringList({"F'%1%2|2|S2|40|40|1"}));
}
