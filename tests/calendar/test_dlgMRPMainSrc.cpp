// The main-demand source dialog: restoring and returning each choice, its
// enabling rules, the bill kinds by the value list and the schemes offered.
#include "DemoLogin.h"
#include "DialogDriver.h"
#include "dlgMRPMainSrc.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>

using kvtest::DemoLogin;
using kvtest::WhenShown;

namespace {

QStringList Items(QComboBox* c)
{
    QStringList r;
    for (int i = 0; i < c->count(); ++i)
        r << c->itemText(i);
    return r;
}

int SchemeID(const char* name)
{
    return DemoLogin::count(QStringLiteral("select SchIID from QZ_MRP_Schemes where SchName='%1'").arg(QString::fromUtf8(name)));
}

class MainSourceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        DemoLogin::instance();
        // schemes of plan01 and of others, ready, released and shared in different ways
        const char* rows[][5] = {
            // name, type, owner, state, main-demand run and update times
            {"自有就绪", "0", "plan01", "2", "'20270105 09:00:00', null"},
            {"当前方案", "0", "plan01", "3", "'20270107 09:00:00', null"},
            {"自有待取", "0", "plan01", "1", "'20270101 09:00:00', null"},
            {"自有齐套", "1", "plan01", "6", "'20270101 09:00:00', null"},
            {"共享发布", "0", "buy01", "8", "'20270104 09:00:00', '20270106 10:00:00'"},
            {"共享未发布", "0", "buy01", "6", "'20270104 09:00:00', null"},
            {"未共享发布", "0", "buy01", "8", "'20270104 09:00:00', null"},
        };
        for (const auto& r : rows)
            DemoLogin::instance().exec(
                QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchState, SchMpsRunTime, SchMpsUpdTime) "
                               "values (%1, '%2', '%3', %4, %5)")
                    .arg(QLatin1String(r[1]), QString::fromUtf8(r[0]), QLatin1String(r[2]), QLatin1String(r[3]),
                         QLatin1String(r[4])));
        for (const char* shared : {"共享发布", "共享未发布"})
            DemoLogin::instance().exec(QStringLiteral("insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) "
                                                      "values ('G_PLAN', 1, 'QZ_MRP.MRP', '%1')")
                                           .arg(SchemeID(shared)));
    }
};

struct Choice {
    TMRPMainImportType importType = itSelectSO;
    std::uint8_t writeType = 0;
    bool showFilter = false;
    bool synPeriods = false;
    int schemeIID = 0;
    bool show(std::function<void(TMRPMainSourceDlg*)> steps)
    {
        WhenShown<TMRPMainSourceDlg>(std::move(steps));
        return ShowMRPMainSourceDlg(importType, writeType, showFilter, synPeriods, schemeIID);
    }
};

} // namespace

TEST_F(MainSourceTest, EachChoiceIsRestoredAndReturned)
{
    for (int t = itSelectSO; t <= itMRPSupplies; ++t) {
        Choice c;
        c.importType = TMRPMainImportType(t);
        c.schemeIID = SchemeID("当前方案");
        c.showFilter = true;
        c.writeType = 1;
        bool okBeforeScheme = true;
        const bool ok = c.show([&](TMRPMainSourceDlg* dlg) {
            if (dlg->rdbScheme->isChecked()) {
                okBeforeScheme = dlg->btnOk->isEnabled(); // no scheme is preselected
                dlg->cboScheme->setCurrentIndex(1);
            }
            dlg->btnOk->click();
        });
        ASSERT_TRUE(ok) << t;
        EXPECT_EQ(int(c.importType), t);
        EXPECT_EQ(c.writeType, 1);
        EXPECT_EQ(c.showFilter, true);
        if (t >= itMRPMain) {
            EXPECT_FALSE(okBeforeScheme);
            EXPECT_EQ(c.schemeIID, SchemeID("自有就绪")) << t;
        } else {
            EXPECT_EQ(c.schemeIID, SchemeID("当前方案")) << t; // kept with another source
        }
    }

    // choosing by hand: an import kind, then a bill kind
    Choice c;
    c.importType = itMRPSupplies;
    c.synPeriods = true;
    ASSERT_TRUE(c.show([](TMRPMainSourceDlg* dlg) {
        dlg->rdbImport->setChecked(true);
        dlg->cboImport->setCurrentIndex(2);
        dlg->btnOk->click();
    }));
    EXPECT_EQ(c.importType, itImportFreeNeed);
    EXPECT_TRUE(c.synPeriods); // kept: not the scheme source
    ASSERT_TRUE(c.show([](TMRPMainSourceDlg* dlg) {
        dlg->rdbBills->setChecked(true);
        dlg->cboBills->setCurrentIndex(dlg->cboBills->findText("委外订单"));
        dlg->btnOk->click();
    }));
    EXPECT_EQ(c.importType, itSelectOO);
}

TEST_F(MainSourceTest, CancelChangesNothing)
{
    Choice c;
    c.importType = itSelectMO;
    c.schemeIID = 77;
    EXPECT_FALSE(c.show([](TMRPMainSourceDlg* dlg) {
        dlg->rdbScheme->setChecked(true);
        dlg->cboScheme->setCurrentIndex(0);
        dlg->cboWriteType->setCurrentIndex(1);
        dlg->chkShowFilter->setChecked(true);
        dlg->btnCancel->click();
    }));
    EXPECT_EQ(c.importType, itSelectMO);
    EXPECT_EQ(c.writeType, 0);
    EXPECT_FALSE(c.showFilter);
    EXPECT_EQ(c.schemeIID, 77);
}

TEST_F(MainSourceTest, EnablingFollowsTheSourceTheKindAndTheWriteType)
{
    Choice c;
    c.importType = itMRPSupplies;
    c.synPeriods = true; // unchecked at once: the write type is not 1
    c.show([](TMRPMainSourceDlg* dlg) {
        EXPECT_TRUE(dlg->rdbScheme->isChecked());
        EXPECT_EQ(dlg->cboMrpType->currentText(), "供应计划");
        EXPECT_TRUE(dlg->chkShowFilter->isEnabled());
        EXPECT_FALSE(dlg->chkSynPeriod->isEnabled());
        EXPECT_FALSE(dlg->chkSynPeriod->isChecked());
        EXPECT_FALSE(dlg->cboBills->isEnabled());
        EXPECT_FALSE(dlg->cboImport->isEnabled());
        EXPECT_TRUE(dlg->cboScheme->isEnabled());

        dlg->cboMrpType->setCurrentIndex(0); // main demand
        EXPECT_FALSE(dlg->chkShowFilter->isEnabled());
        EXPECT_FALSE(dlg->chkSynPeriod->isEnabled());
        dlg->cboWriteType->setCurrentIndex(1); // overwrite all
        EXPECT_TRUE(dlg->chkSynPeriod->isEnabled());
        dlg->chkSynPeriod->setChecked(true);
        dlg->cboWriteType->setCurrentIndex(0);
        EXPECT_FALSE(dlg->chkSynPeriod->isEnabled());
        EXPECT_FALSE(dlg->chkSynPeriod->isChecked());

        dlg->rdbImport->setChecked(true);
        EXPECT_TRUE(dlg->cboImport->isEnabled());
        EXPECT_FALSE(dlg->cboScheme->isEnabled());
        EXPECT_FALSE(dlg->chkShowFilter->isEnabled());
        EXPECT_TRUE(dlg->btnOk->isEnabled());
        dlg->rdbBills->setChecked(true);
        EXPECT_TRUE(dlg->cboBills->isEnabled());
        EXPECT_TRUE(dlg->chkShowFilter->isEnabled());
    });
}

TEST_F(MainSourceTest, TheSchemesOfferedAndHowTheyRead)
{
    QStringList schemes;
    Choice c;
    c.importType = itMRPMain;
    c.schemeIID = SchemeID("当前方案");
    c.show([&](TMRPMainSourceDlg* dlg) {
        schemes = Items(dlg->cboScheme);
        EXPECT_EQ(dlg->cboScheme->currentIndex(), -1);
    });
    // released or own and ready, shared or own, never the current one; newest main demand first
    EXPECT_EQ(schemes, (QStringList{"共享发布 (2027/01/06 10:00:00 李采购)", "自有就绪 (2027/01/05 09:00:00)"}));
}

TEST_F(MainSourceTest, BillKindsFollowTheValueList)
{
    Choice c;
    QStringList bills, imports;
    c.show([&](TMRPMainSourceDlg* dlg) {
        bills = Items(dlg->cboBills);
        imports = Items(dlg->cboImport);
    });
    EXPECT_EQ(bills, (QStringList{"销售订单", "出口订单", "产品预测", "生产任务", "生产申请", "委外订单", "委外申请"}));
    EXPECT_EQ(imports, (QStringList{"销售订单+出口订单+产品预测", "生产任务+生产申请+委外订单+委外申请", "自由需求"}));

    // without export orders and forecasts
    DemoLogin::instance().exec("delete QZ_SYS_Enums where EnmClass='MrpBillType' and EnmID in (4, 8)");
    InfoApplication->ClearCaches();
    bool okWithoutKind = true;
    c.importType = itSelectSI; // a kind no longer offered: none is selected
    const bool ok = c.show([&](TMRPMainSourceDlg* dlg) {
        bills = Items(dlg->cboBills);
        imports = Items(dlg->cboImport);
        EXPECT_TRUE(dlg->rdbBills->isChecked());
        EXPECT_EQ(dlg->cboBills->currentIndex(), -1);
        okWithoutKind = dlg->btnOk->isEnabled();
        dlg->cboBills->setCurrentIndex(0);
        dlg->btnOk->click();
    });
    DemoLogin::instance().exec("insert QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('MrpBillType', 4, '出口订单')\n"
                               "insert QZ_SYS_Enums (EnmClass, EnmID, EnmName) values ('MrpBillType', 8, '产品预测')");
    InfoApplication->ClearCaches();
    EXPECT_EQ(bills, (QStringList{"销售订单", "生产任务", "生产申请", "委外订单", "委外申请"}));
    EXPECT_EQ(imports.value(0), "销售订单");
    EXPECT_FALSE(okWithoutKind);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.importType, itSelectSO);
}
