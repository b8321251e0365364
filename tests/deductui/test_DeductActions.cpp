// The deduction actions of the forecast, sales-order, export-order and
// deduction-log lists, on a selection handed over as the host's view does.
#include "DeductFixture.h"
#include "dlgDeductAuto.h"
#include "clsInfoView.h"
#include "untDeductActions.h"

#include <QMap>
#include <QRadioButton>
#include <QSpinBox>

using namespace deductui;

namespace {

// A list view whose selected rows are what the test says.
class TSelectionView : public TCustomInfoView {
public:
    TSelectionView() : TCustomInfoView(nullptr, nullptr) {}
    QList<QMap<QString, QVariant>> Rows;
    int GetSelectedRecordCount() override { return int(Rows.size()); }
    QVariant GetSelectedRecordValue(int AIndex, const QString& AFieldID) override { return Rows.value(AIndex).value(AFieldID); }
};

class DeductActionsTest : public DeductDbTest {
protected:
    void SetUp() override
    {
        DeductDbTest::SetUp();
        if (HasFatalFailure())
            return;
        forecast("F9", 1, "IFG-1001", "20270110", 100);
        order("SO", "S1", 1, "IFG-1001", "20270112", 60);
        order("SO", "S2", 1, "IFG-1001", "20270114", 40);
        order("SI", "E1", 1, "IFG-1001", "20270115", 30);
        view = CreateInfoView<TSelectionView>();
    }
    void TearDown() override
    {
        TDeductAutoDlg::ExecHook = nullptr;
        view.reset();
        DeductDbTest::TearDown();
    }
    void select(const QString& keyField, const QString& entryField, const QList<QVariant>& keys)
    {
        view->Rows.clear();
        for (const QVariant& key : keys)
            view->Rows.append({{keyField, key}, {entryField, 1}});
    }
    std::shared_ptr<TSelectionView> view;
};

} // namespace

TEST_F(DeductActionsTest, LinesAreKeptOutOfAutomaticDeductionAndAdmittedAgain)
{
    exec("insert QZ_MRP_SOExt (SOID, SOEntry, SOItmID, SODedAQty) values ('S1', 1, 'IFG-1001', 5)");
    using Dispatch = void (*)(const IInfoViewPtr&, const QString&, bool&);
    struct Case {
        const char* kind;
        const char* keyField;
        const char* entryField;
        Dispatch run;
        QList<QVariant> keys;
    };
    const Dispatch forcast = [](const IInfoViewPtr& v, const QString& a, bool& r) { ExecForcastDeductAction(v, a, r); };
    const Case cases[] = {
        {"SO", "SOID", "SOEntry", &ExecSODeductAction, {QStringLiteral("S1"), QVariant(), QStringLiteral("S2")}},
        {"SI", "SIID", "SIEntry", &ExecSIDeductAction, {QStringLiteral("E1")}},
        {"Forcast", "ForID", "ForEntry", forcast, {QStringLiteral("F9")}},
    };
    for (const Case& c : cases) {
        const QString p = QLatin1String(c.keyField).chopped(2);
        const QString flags = QStringLiteral("select %1ID, %1ItmID, %1DedADis from QZ_MRP_%2Ext order by %1ID").arg(p, QLatin1String(c.kind));
        select(QLatin1String(c.keyField), QLatin1String(c.entryField), c.keys);
        QStringList disabled, admitted;
        for (const QVariant& key : c.keys)
            if (!key.isNull()) {
                disabled << key.toString() + QStringLiteral("|IFG-1001|1");
                admitted << key.toString() + QStringLiteral("|IFG-1001|0");
            }
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        bool refresh = false;
        c.run(view, QStringLiteral("noautoded"), refresh);
        EXPECT_TRUE(refresh) << c.kind;
        ASSERT_EQ(boxes.shown.size(), 2) << c.kind;
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您所选的单据行将被禁止自动冲销, 确定?"));
        EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("执行完成。"));
        EXPECT_EQ(rows(flags), disabled) << c.kind; // the rows without a key are skipped

        boxes.answer({kvos::IDOK});
        c.run(view, QStringLiteral("CanAutoDed"), refresh);
        EXPECT_EQ(boxes.shown[2].text, QStringLiteral("您所选的单据行将被重新允许自动冲销, 确定?"));
        EXPECT_EQ(rows(flags), admitted) << c.kind;
    }
    // The existing extension row kept its deducted quantity.
    EXPECT_EQ(value("select SODedAQty from QZ_MRP_SOExt where SOID='S1'"), "5");
}

TEST_F(DeductActionsTest, NothingHappensWithoutASelectionOrOnCancel)
{
    ScriptedMessageBoxes boxes;
    bool refresh = true;
    ExecSODeductAction(view, QStringLiteral("NoAutoDed"), refresh);
    EXPECT_FALSE(refresh);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("请选择待处理数据后重试!"));

    select(QStringLiteral("DedIID"), QStringLiteral("x"), {1});
    boxes.answer({kvos::IDCANCEL});
    ExecDeductLogAction(view, QStringLiteral("ClearDed"), refresh);
    EXPECT_FALSE(refresh);

    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg&) { return int(QDialog::Rejected); };
    ExecSIDeductAction(view, QStringLiteral("AutoDed"), refresh);
    EXPECT_FALSE(refresh);
    EXPECT_TRUE(deductions().isEmpty());
    EXPECT_EQ(boxes.shown.size(), 2);
}

TEST_F(DeductActionsTest, AVeryLargeSelectionGoesInSeveralBatches)
{
    QList<QVariant> keys;
    for (int i = 0; i < 400; ++i)
        keys << QStringLiteral("S1") << QStringLiteral("S2");
    select(QStringLiteral("SOID"), QStringLiteral("SOEntry"), keys);
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK});
    bool refresh = false;
    SetAutoDeductDisabled(view, 2, true, refresh);
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    EXPECT_EQ(rows("select SOID, SODedADis from QZ_MRP_SOExt order by SOID"), QStringList({"S1|1", "S2|1"}));
}

TEST_F(DeductActionsTest, ClearingRecordsGivesTheirQuantitiesBack)
{
    deduction("F9", "S1", 2, 60, 60, false);
    deduction("F9", "E1", 4, 20, 20, true);
    deduction("F9", "S2", 2, 10, 10, true);
    exec("delete QZ_MRP_SOExt where SOID='S2'"); // a record whose order line has no extension row
    const QStringList ids = rows("select DedIID from QZ_MRP_Deduction order by DedIID");
    ASSERT_EQ(ids.size(), 3);
    // The records to clear among many that are gone already: the ID list
    // then needs several batches.
    QList<QVariant> selected;
    for (int i = 0; i < 4000; ++i)
        selected << 100000 + i;
    selected << ids[1].toInt() << QVariant() << ids[2].toInt();
    select(QStringLiteral("DedIID"), QStringLiteral("x"), selected);
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK});
    bool refresh = false;
    ExecDeductLogAction(view, QStringLiteral("CLEARDED"), refresh);
    EXPECT_TRUE(refresh);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您所选的项目将被删除, 确定?"));
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    EXPECT_EQ(deductions(), QStringList({"F9|2|S1|60|60|0"}));
    EXPECT_EQ(totals("Forcast", "F9"), "60|0");
    EXPECT_EQ(totals("SI", "E1"), "0|0");
    EXPECT_EQ(totals("SO", "S1"), "60|0");
    EXPECT_EQ(value("select count(*) from QZ_MRP_SOExt where SOID='S2'"), "0");
    EXPECT_EQ(value("select @@trancount"), "0");
}

TEST_F(DeductActionsTest, AutomaticDeductionRunsWithTheChosenOptionsAndSaysSo)
{
    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg& dlg) {
        dlg.rdbOrder->setChecked(true);
        dlg.edtBefore->setValue(0);
        dlg.edtAfter->setValue(3);
        dlg.done(QDialog::Accepted);
        return dlg.result();
    };
    ScriptedMessageBoxes boxes;
    bool refresh = false;
    ExecForcastDeductAction(view, QStringLiteral("AutoDed"), refresh);
    EXPECT_TRUE(refresh);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("执行完成。"));
    // S1 (due two days after the forecast) is within the window, S2 (four days) is not.
    EXPECT_EQ(deductions(), QStringList({"F9|2|S1|60|60|0"}));
    EXPECT_EQ(value("select count(*) from QZ_SYS_UserSettings where SetClass='QZ_MRP' and SetKey='AutoDeductOptions'"), "1");
}

TEST_F(DeductActionsTest, AFailedRunIsReportedAndLeavesNothing)
{
    exec("drop table QZ_MRP_SIExt");
    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg& dlg) {
        dlg.done(QDialog::Accepted);
        return dlg.result();
    };
    ScriptedMessageBoxes boxes;
    bool refresh = false;
    ExecDeductLogAction(view, QStringLiteral("AutoDed"), refresh);
    EXPECT_TRUE(refresh);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行过程中发现错误, 操作被停止!"));
    EXPECT_TRUE(deductions().isEmpty());
    EXPECT_EQ(value("select @@trancount"), "0");
}
