// The item settings view with plan01 logged in: edit mode, look-ups, the
// checks of the save, the save itself read back by SQL, and the next MRP run.
#include "DataSetSource.h"
#include "DemoLogin.h"
#include "DialogDriver.h"
#include "TreeList.h"
#include "dlgLossRate.h"
#include "untLossRate.h"
#include "RowLimitCases.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "famItemSetting.h"
#include "untMRP.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using kvtest::DemoLogin;

namespace {

QString row(const QString& sql)
{
    EXPECT_TRUE(ExecSQLText(GlobalADOQuery, sql, true, false, false));
    QStringList parts;
    if (!GlobalADOQuery->IsEmpty())
        for (int i = 0; i < GlobalADOQuery->FieldCount(); ++i)
            parts << GlobalADOQuery->Fields()->Field(i)->AsString();
    GlobalADOQuery->Close();
    return parts.join(u'|');
}

class ItemSettingFrameTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvdemo::registerStandInProcedures();
        DemoLogin::instance();
        def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items"));
        ASSERT_NE(def, nullptr);
        window.resize(1200, 700);
        window.setLayout(new QVBoxLayout);
        frame = CreateInfoView<TItemSettingFrame>(nullptr, def);
        frame->SetParentControl(&window);
        frame->InitializeView(QString(), nullptr);
        InfoApplication->ParseViewSchemeSQL(def, frame->GetViewScheme(), GlobalADOQuery);
        // the view-scheme dialog of a first refresh is answered as accepted
        frame->ViewScheme.SQLParsed = true;
        frame->ApplyViewScheme();
        frame->RefreshData(true);
    }
    void TearDown() override { frame.reset(); }

    int record(const QString& itmNo) const
    {
        for (int r = 0; r < frame->grdItemSetting->recordCount(); ++r)
            if (frame->RecordValue(r, QStringLiteral("ItmID")).toString() == itmNo)
                return r;
        return -1;
    }
    // Types a text into a cell as the user would.
    void type(const QString& itmNo, kvui::Column* column, const QString& text)
    {
        kvui::BandedGrid* g = frame->grdItemSetting;
        const int r = record(itmNo);
        ASSERT_GE(r, 0) << itmNo.toStdString();
        g->setFocusedRecordIndex(r);
        g->setFocusedColumn(column);
        ASSERT_TRUE(g->startEdit(column)) << column->caption().toStdString();
        auto* edit = qobject_cast<QLineEdit*>(g->activeEditor());
        ASSERT_NE(edit, nullptr);
        edit->setText(text);
        ASSERT_TRUE(g->postEdit());
    }
    void set(const QString& itmNo, kvui::Column* column, const QVariant& value)
    {
        kvui::BandedGrid* g = frame->grdItemSetting;
        const int r = record(itmNo);
        const QVariant old = g->value(r, column);
        ASSERT_TRUE(g->setValue(r, column, value));
        frame->grvItemSettingEditValueChanged(r, column, old, value);
    }
    int updateCommand() const { return Commands::FirstAction; }

    QWidget window;
    TInfoObjectDef* def = nullptr;
    std::shared_ptr<TItemSettingFrame> frame;
};

TEST_F(ItemSettingFrameTest, EditSaveReadBackAndPlan)
{
    ASSERT_GT(frame->grdItemSetting->recordCount(), 10);
    TCommandState state;
    frame->QueryCommandState(updateCommand(), state);
    EXPECT_TRUE(state.testFlag(csEnabled));
    EXPECT_FALSE(state.testFlag(csChecked));
    frame->ExecCommand(updateCommand());
    ASSERT_TRUE(frame->EditMode());
    ASSERT_GT(frame->grdItemSetting->recordCount(), 10) << frame->BuiltSQL.toStdString();
    frame->QueryCommandState(updateCommand(), state);
    EXPECT_TRUE(state.testFlag(csChecked));
    EXPECT_TRUE(frame->grdItemSetting->editingEnabled());

    type(QStringLiteral("IFG-2001"), frame->colItmFixLeadTime, QStringLiteral("5"));
    type(QStringLiteral("IFG-2001"), frame->colItmSafeQty, QStringLiteral("12.125"));
    type(QStringLiteral("ISA-101"), frame->colItmMinQty, QStringLiteral("0.33333333"));
    set(QStringLiteral("ISA-101"), frame->colItmPutLossType, 2);
    set(QStringLiteral("ISA-101"), frame->colItmPutLossRate, QStringLiteral("100:3%|2%"));
    // look-ups by code or name; a text that matches nothing empties the cell
    type(QStringLiteral("ISA-102"), frame->colItmPOSupp, QStringLiteral("S001"));
    type(QStringLiteral("ISA-102"), frame->colItmMODept, QStringLiteral("no such department"));
    const QString planNo = DemoLogin::value(QStringLiteral("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-1001'")).toString();
    type(QStringLiteral("IFG-2001"), frame->colItmPlanNo, planNo);
    EXPECT_TRUE(frame->Modified);
    const int isa102 = record(QStringLiteral("ISA-102"));
    EXPECT_EQ(frame->RecordValue(isa102, QStringLiteral("ItmPOSuppID")).toString(), QStringLiteral("S001"));
    EXPECT_FALSE(frame->RecordValue(isa102, QStringLiteral("ItmPOSupp")).toString().isEmpty());
    EXPECT_TRUE(frame->RecordValue(isa102, QStringLiteral("ItmMODept")).isNull());
    EXPECT_TRUE(frame->RecordValue(isa102, QStringLiteral("ItmMODeptID")).isNull());
    EXPECT_EQ(frame->RecordValue(record(QStringLiteral("IFG-2001")), QStringLiteral("ItmPlanItmID")).toString(),
              QStringLiteral("IFG-1001"));

    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(frame->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(row(QStringLiteral("select ItmFixLeadTime, ItmSafeQty, ItmPlanItmID from QZ_MRP_ItemSetting where ItmID='IFG-2001'")),
              QStringLiteral("5|12.125|IFG-1001"));
    EXPECT_EQ(row(QStringLiteral("select ItmMinQty, ItmPutLossType, ItmPutLossRate from QZ_MRP_ItemSetting where ItmID='ISA-101'")),
              QStringLiteral("0.33333333|2|100:3%|2%"));
    EXPECT_EQ(row(QStringLiteral("select isnull(ItmPOSuppID,'-'), isnull(ItmMODeptID,'-') from QZ_MRP_ItemSetting where ItmID='ISA-102'")),
              QStringLiteral("S001|-"));
    // the reload shows the server's values and nothing is pending
    EXPECT_FALSE(frame->Modified);
    EXPECT_EQ(frame->dsItemSetting->pendingCount(), 0);

    // leaving edit mode with nothing to save asks nothing
    frame->ExecCommand(updateCommand());
    EXPECT_FALSE(frame->EditMode());
    EXPECT_TRUE(boxes.shown.isEmpty());

    // the next run plans the floor fan with five days of lead time
    TPlanScheme scheme(GlobalADOConnection);
    ASSERT_TRUE(scheme.Load(1));
    ASSERT_TRUE(scheme.RunMPS(false, false));
    ASSERT_TRUE(scheme.Load(1));
    ASSERT_TRUE(scheme.RunMRP(false, false, false));
    EXPECT_EQ(row(QStringLiteral("select SupLeadDays from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-2001' and SupBillType=42")),
              QStringLiteral("5"));
}

struct RefusedCase {
    const char* item;
    QList<QPair<const char*, QVariant>> values;
    const char* message;
    const char* focusField;
};

TEST_F(ItemSettingFrameTest, ChecksRefuseTheSave)
{
    const QList<RefusedCase> cases{
        {"ISA-201", {{"ItmFixLeadTime", -1}}, "[固定提前期]的值(-1)没有大于或等于0 !", "ItmFixLeadTime"},
        {"ISA-201", {{"ItmVarLeadTime", 3}, {"ItmVarLeadLot", 0}}, "设置[变动提前期]时(值大于0), [变动提前期批量]不能小于0 !", "ItmVarLeadLot"},
        {"ISA-201", {{"ItmMaxQty", 10}, {"ItmMinQty", 20}}, "设置[最大供应量]时(值大于0), 不能小于[最小供应量]!", "ItmMaxQty"},
        {"ISA-201", {{"ItmPutLossType", 2}, {"ItmPutLossRate", QString()}},
         "设置[投料损耗控制]为\"默认损耗率\"时, 必须设置[投料默认损耗率]的值!", "ItmPutLossRate"},
    };
    frame->ExecCommand(updateCommand());
    for (const RefusedCase& c : cases) {
        frame->dsItemSetting->revertAll();
        for (const auto& v : c.values)
            set(QString::fromLatin1(c.item), frame->grdItemSetting->columnByField(QString::fromLatin1(v.first)), v.second);
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(frame->SaveData()) << c.message;
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(frame->grdItemSetting->focusedColumn()->fieldName(), QString::fromLatin1(c.focusField));
        EXPECT_GT(frame->dsItemSetting->pendingCount(), 0) << "the changes stay for the user to mend";
    }
    // zero means no maximum; no variable lead time needs no lot
    frame->dsItemSetting->revertAll();
    set(QStringLiteral("ISA-201"), frame->colItmMaxQty, 0);
    set(QStringLiteral("ISA-201"), frame->colItmMinQty, 20);
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(frame->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(row(QStringLiteral("select ItmMinQty from QZ_MRP_ItemSetting where ItmID='ISA-201'")), QStringLiteral("20"));
}

TEST_F(ItemSettingFrameTest, ItemPickStatement)
{
    const QString sql = BuildItemPickSQL(QStringLiteral("ItmType"), QStringLiteral("i.ItmNo like '%%'+%0:s+'%%'"), QString());
    EXPECT_TRUE(sql.startsWith(QStringLiteral("select [物料代码]=i.ItmNo, [物料名称]=i.ItmName, [规格型号]=i.ItmSpec, [物料属性]=i.ItmType from ")))
        << sql.toStdString();
    EXPECT_TRUE(sql.endsWith(QStringLiteral(" where i.ItmNo like '%%'+%0:s+'%%' order by i.ItmNo")));
    EXPECT_TRUE(BuildItemPickSQL(QString(), QString(), QStringLiteral("[#ID]=i.ItmID")).startsWith(QStringLiteral("select top ")));
}

} // namespace

namespace {

TEST_F(ItemSettingFrameTest, FailedSaveKeepsTheChangesAndSavesNothing)
{
    frame->ExecCommand(updateCommand());
    set(QStringLiteral("ISA-202"), frame->colItmFixLeadTime, 9);
    set(QStringLiteral("ISA-301"), frame->colItmFixLeadTime, 8);
    kvtsql::unregisterProcedure(QStringLiteral("QZ_MRP_UpdateItemSetting"));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(frame->SaveData());
    kvdemo::registerStandInProcedures();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("保存过程中出现意外错误, 操作被中止!"));
    EXPECT_EQ(frame->dsItemSetting->pendingCount(), 2);
    EXPECT_EQ(row(QStringLiteral("select ItmFixLeadTime from QZ_MRP_ItemSetting where ItmID='ISA-202'")), QStringLiteral("3"));
    // tried again once the procedure is back
    EXPECT_TRUE(frame->SaveData());
    EXPECT_EQ(row(QStringLiteral("select ItmFixLeadTime from QZ_MRP_ItemSetting where ItmID in ('ISA-202', 'ISA-301') order by ItmID")),
              QStringLiteral("9"));
    EXPECT_EQ(row(QStringLiteral("select ItmFixLeadTime from QZ_MRP_ItemSetting where ItmID='ISA-301'")), QStringLiteral("8"));
}

} // namespace

namespace {

TEST_F(ItemSettingFrameTest, EditModeLoadAndSaveTextStandFirm)
{
    // a work table left behind on the view's connection does not stop the load
    frame->dbConnection->Execute(QStringLiteral("select 1 as x into #QZ_MRP_ItemSettingView"));
    ScriptedMessageBoxes boxes;
    frame->ExecCommand(updateCommand());
    ASSERT_TRUE(frame->EditMode());
    EXPECT_GT(frame->grdItemSetting->recordCount(), 10);
    EXPECT_TRUE(boxes.shown.isEmpty());

    // quantities go into the save with eight decimals and a point, whatever the locale
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    set(QStringLiteral("ISA-401"), frame->colItmSafeQty, 1234.5);
    const QString sql = frame->BuildUpdateSQL(record(QStringLiteral("ISA-401")));
    QLocale::setDefault(previous);
    EXPECT_TRUE(sql.contains(QStringLiteral("@ItmSafeQty=1234.50000000"))) << sql.toStdString();
    EXPECT_TRUE(sql.contains(QStringLiteral("@ItmID='ISA-401'")));
    EXPECT_TRUE(sql.endsWith(QStringLiteral("\r\rif @@error<>0\rreturn\r")));
}

} // namespace

namespace {

TEST_F(ItemSettingFrameTest, LossColumnOpensTheEditorAndLeavingAsks)
{
    SetLossRateTypeForTest(false);
    frame->ExecCommand(updateCommand());
    kvui::BandedGrid* g = frame->grdItemSetting;
    const int r = record(QStringLiteral("ISA-402"));
    g->setFocusedRecordIndex(r);
    g->setFocusedColumn(frame->colItmPutLossRate);
    ASSERT_TRUE(g->startEdit(frame->colItmPutLossRate));
    auto* edit = qobject_cast<kvui::ButtonEdit*>(g->activeEditor());
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->noKeyInput());
    kvtest::WhenShown<TLossRateDlg>([](TLossRateDlg* dlg) {
        dlg->trlLossRate->topNode(0)->setValue(dlg->colValue, 1.5);
        dlg->btnOk->click();
    });
    edit->clickButton();
    g->postEdit();
    EXPECT_EQ(frame->RecordValue(r, QStringLiteral("ItmPutLossRate")).toString(), QStringLiteral("1.5%"));
    EXPECT_TRUE(frame->Modified);

    // leaving with changes asks: Cancel stays, No leaves without saving
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDCANCEL, kvos::IDNO});
    frame->ExecCommand(updateCommand());
    EXPECT_TRUE(frame->EditMode());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您将退出[%1]的当前编辑状态, 对未保存过的内容进行保存?").arg(frame->GetViewCaption()));
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    frame->ExecCommand(updateCommand());
    EXPECT_FALSE(frame->EditMode());
    EXPECT_EQ(row(QStringLiteral("select isnull(ItmPutLossRate,'-') from QZ_MRP_ItemSetting where ItmID='ISA-402'")), QStringLiteral("-"));
}

} // namespace

TEST_F(ItemSettingFrameTest, ACutListIsTold)
{
    kvtest::expectCutListIsTold([this] { frame->RefreshData(true); }, [this] { return frame->grdItemSetting->recordCount(); });
}
