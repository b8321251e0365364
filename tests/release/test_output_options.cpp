// The output options: the bill kind of each target type, loading over presets
// and the ERP's row cap (configured in the ERP library's own file), storing,
// and the dialog's pages and checks.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "dlgMRPOutputSet.h"
#include "untAppFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabBar>

using kvtest::DemoLogin;

namespace {

QString cfgFile()
{
    return AppFramePaths().ProgramFolder + QStringLiteral("/ERPAccountSets.cfg");
}

// Replaces the ERP library's row caps; the account sets stay.
void setRowCaps(const QString& ALines)
{
    QFile f(cfgFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(f.readAll());
    f.close();
    const int at = text.indexOf(QStringLiteral("[MaxBillRows]"));
    if (at >= 0)
        text.truncate(at);
    if (!ALines.isEmpty())
        text += QStringLiteral("[MaxBillRows]\n") + ALines;
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

void setInt(const QString& AKey, int AValue)
{
    InfoApplication->WriteSystemSettingAsInteger(QStringLiteral("QZ_MRP"), AKey, AValue, false);
}

class OutputOptionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoLogin::instance();
        DemoLogin::instance().exec(QStringLiteral("delete QZ_SYS_UserSettings where SetClass='QZ_MRP' and SetKey like 'Output%'\n"
                                                  "delete QZ_SYS_SysSettings where SetClass='QZ_MRP' and SetKey='OutputDirectOO'"));
        setRowCaps(QString());
    }
    void TearDown() override
    {
        TMRPOutputSetDlg::ExecHook = nullptr;
        setRowCaps(QString());
    }
    static QString stored(const QString& AKey)
    {
        return DemoLogin::value(QStringLiteral("select SetValue from QZ_SYS_UserSettings where SetUsrID='plan01' and "
                                               "SetClass='QZ_MRP' and SetKey='%1'")
                                    .arg(AKey))
            .toString();
    }
    // Opens the dialog on a bill type and runs the steps on it; True when it
    // was confirmed and stored.
    static bool runDialog(int ABillType, std::function<int(TMRPOutputSetDlg&)> steps)
    {
        TMRPOutputSetDlg::ExecHook = std::move(steps);
        return ShowMRPOutputSetDlg(ABillType);
    }
};

TEST(BillTypeToOutputSlot, EveryTargetTypeHasItsKind)
{
    const std::pair<int, int> table[] = {{2, 2}, {4, 3}, {8, 1}, {22, 10}, {24, 8}, {26, 5}, {28, 6}, {34, 9}, {36, 7}, {38, 4},
                                         {0, 0}, {16, 0}, {42, 0}, {-1, 0}};
    for (const auto& [type, kind] : table)
        EXPECT_EQ(BillTypeToOutputSlot(type), kind) << type;
}

TEST_F(OutputOptionsTest, PresetsByFamily)
{
    struct Case {
        int type;
        int split[3], sort[3];
    };
    const Case cases[] = {
        {22, {0, 0, 0}, {5, 6, 0}}, // one row per production order: the split keys are not read
        {24, {1, 2, 4}, {5, 6, 0}},
        {36, {2, 4, 0}, {5, 6, 0}},
        {38, {2, 4, 0}, {5, 6, 0}},
    };
    setRowCaps(QStringLiteral("10=1\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        TMRPOutputOptions o;
        LoadMRPOutputOptions(c.type, o);
        if (c.type == 22) {
            EXPECT_EQ(o.MaxRows, 1);
            EXPECT_EQ(o.SplitBy1, 1);
            EXPECT_EQ(o.SplitBy2, 3);
            EXPECT_EQ(o.SplitBy3, 4);
        } else {
            EXPECT_EQ(o.SplitBy1, c.split[0]);
            EXPECT_EQ(o.SplitBy2, c.split[1]);
            EXPECT_EQ(o.SplitBy3, c.split[2]);
        }
        EXPECT_EQ(o.SortBy1, c.sort[0]);
        EXPECT_EQ(o.SortBy2, c.sort[1]);
        EXPECT_EQ(o.SortBy3, c.sort[2]);
    }
    // a type outside the families keeps what the caller holds
    TMRPOutputOptions o;
    o.SplitBy1 = 6;
    o.SortBy1 = 2;
    setRowCaps(QStringLiteral("9=50\n"));
    LoadMRPOutputOptions(34, o);
    EXPECT_EQ(o.SplitBy1, 6);
    EXPECT_EQ(o.SortBy1, 2);
    EXPECT_EQ(o.MaxRows, 50);
}

TEST_F(OutputOptionsTest, RowLimitFollowsTheConfiguredCap)
{
    struct Case {
        int cap;
        int stored; // -1: none
        int maxRows;
    };
    const Case cases[] = {{500, -1, 100}, {500, 0, 100}, {500, 600, 100}, {500, 250, 250}, {40, -1, 40}, {40, 41, 40}, {40, 7, 7}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "cap " << c.cap << " stored " << c.stored);
        setRowCaps(QStringLiteral("4=%1\n").arg(c.cap));
        DemoLogin::instance().exec(QStringLiteral("delete QZ_SYS_UserSettings where SetKey='OutputMaxRows38'"));
        if (c.stored >= 0)
            setInt(QStringLiteral("OutputMaxRows38"), c.stored);
        ASSERT_EQ(InfoApplication->ERPAccess->GetMaxBillRows(4), c.cap);
        TMRPOutputOptions o;
        LoadMRPOutputOptions(38, o);
        EXPECT_EQ(o.MaxRows, c.maxRows);
    }
}

TEST_F(OutputOptionsTest, BillsAboveTheConfiguredCapAreRefusedByTheERP)
{
    setRowCaps(QStringLiteral("4=2\nx=5\n7=0\n"));
    EXPECT_EQ(InfoApplication->ERPAccess->GetMaxBillRows(4), 2);
    EXPECT_EQ(InfoApplication->ERPAccess->GetMaxBillRows(7), 200) << "a cap out of range keeps the library's own";
    IBillPtr bill = InfoApplication->ERPAccess->NewBill(4);
    for (int i = 0; i < 3; ++i)
        bill->Details(QStringLiteral("Rows"))->Add()->SetValue(QStringLiteral("Qty"), 1);
    QString error;
    EXPECT_FALSE(bill->Save(error));
    EXPECT_EQ(error, QStringLiteral("单据体内容不允许超过 2 行!"));
}

TEST_F(OutputOptionsTest, StoredKeysClearTheKeysAfterAnEmptyOne)
{
    setRowCaps(QStringLiteral("4=500\n"));
    setInt(QStringLiteral("OutputSplitBy1st38"), 0);
    setInt(QStringLiteral("OutputSplitBy2nd38"), 3);
    setInt(QStringLiteral("OutputSplitBy3rd38"), 5);
    setInt(QStringLiteral("OutputSortBy1st38"), 6);
    setInt(QStringLiteral("OutputSortBy2nd38"), 0);
    setInt(QStringLiteral("OutputSortBy3rd38"), 4);
    TMRPOutputOptions o;
    LoadMRPOutputOptions(38, o);
    EXPECT_EQ(o.SplitBy1, 0);
    EXPECT_EQ(o.SplitBy2, 0);
    EXPECT_EQ(o.SplitBy3, 0);
    EXPECT_EQ(o.SortBy1, 6);
    EXPECT_EQ(o.SortBy2, 0);
    EXPECT_EQ(o.SortBy3, 0);
}

TEST_F(OutputOptionsTest, SaveAndLoadRoundTrip)
{
    setRowCaps(QStringLiteral("8=300\n"));
    TMRPOutputOptions o;
    o.MergeTrack = 2;
    o.MergePeriods = true;
    o.MaxRows = 30;
    o.SplitBy1 = 1;
    o.SplitBy2 = 4;
    o.SplitBy3 = 0;
    o.SortBy1 = 6;
    o.SortBy2 = 5;
    o.SortBy3 = 0;
    o.ItemSubs = 1;
    o.OutPBoms = true;
    o.LotRule = true;
    o.DepartmentID = QStringLiteral("D03");
    o.EmployeeID = QStringLiteral("E02");
    SaveMRPOutputOptions(24, o);
    EXPECT_EQ(stored(QStringLiteral("OutputMaxRows24")), QStringLiteral("30"));
    TMRPOutputOptions back;
    LoadMRPOutputOptions(24, back);
    EXPECT_EQ(back.MergeTrack, 2);
    EXPECT_TRUE(back.MergePeriods);
    EXPECT_EQ(back.MaxRows, 30);
    EXPECT_EQ(back.SplitBy1, 1);
    EXPECT_EQ(back.SplitBy2, 4);
    EXPECT_EQ(back.SplitBy3, 0);
    EXPECT_EQ(back.SortBy1, 6);
    EXPECT_EQ(back.SortBy2, 5);
    EXPECT_EQ(back.ItemSubs, 1);
    EXPECT_TRUE(back.OutPBoms);
    EXPECT_TRUE(back.LotRule);
    EXPECT_EQ(back.DepartmentID, QStringLiteral("D03"));
    EXPECT_EQ(back.EmployeeID, QStringLiteral("E02"));

    // production keeps no employee, purchase no substitutes
    SaveMRPOutputOptions(22, o);
    SaveMRPOutputOptions(38, o);
    EXPECT_EQ(stored(QStringLiteral("OutputEmpID22")), QString());
    EXPECT_EQ(stored(QStringLiteral("OutputItemSubs38")), QString());
    TMRPOutputOptions production;
    production.EmployeeID = QStringLiteral("E01");
    LoadMRPOutputOptions(22, production);
    EXPECT_EQ(production.EmployeeID, QString());
}

TEST_F(OutputOptionsTest, TabsFollowTheSubcontractChoice)
{
    for (bool direct : {false, true}) {
        SCOPED_TRACE(direct);
        InfoApplication->WriteSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("OutputDirectOO"), direct, true);
        int second = 0;
        bool subsShown = true, employeeShown = false;
        QString employee;
        runDialog(direct ? 24 : 36, [&](TMRPOutputSetDlg& d) {
            second = d.TabBillType(1);
            EXPECT_EQ(d.Pages->currentIndex(), 1);
            subsShown = d.cboItemSubs->isVisibleTo(&d) && d.chkOutPBoms->isVisibleTo(&d);
            employeeShown = d.edtEmployee->isVisibleTo(&d);
            employee = d.lblEmployee->text();
            return int(QDialog::Rejected);
        });
        EXPECT_EQ(second, direct ? 24 : 36);
        EXPECT_EQ(subsShown, direct);
        EXPECT_TRUE(employeeShown);
        EXPECT_EQ(employee, direct ? QStringLiteral("业务员(&E):") : QStringLiteral("申请人(&E):"));
    }
}

TEST_F(OutputOptionsTest, ProductionTabWithOneRowPerBill)
{
    setRowCaps(QStringLiteral("10=1\n"));
    setInt(QStringLiteral("OutputSplitBy1st22"), 0);
    bool ok = runDialog(22, [](TMRPOutputSetDlg& d) {
        EXPECT_EQ(d.Pages->tabText(0), QStringLiteral(" ") + InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), 22)
                                             + QStringLiteral("(&1)"));
        EXPECT_FALSE(d.edtEmployee->isVisibleTo(&d));
        EXPECT_FALSE(d.cboBillSplitBy1->isEnabled());
        EXPECT_FALSE(d.edtBillMaxRows->isEnabled());
        EXPECT_EQ(d.edtBillMaxRows->value(), 1);
        EXPECT_EQ(d.cboMergeTrack->itemText(0), QStringLiteral("(保持MRP运算结果跟踪)"));
        d.accept();
        return d.result();
    });
    EXPECT_TRUE(ok);
    // the presets are written back
    EXPECT_EQ(stored(QStringLiteral("OutputMaxRows22")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("OutputSplitBy1st22")), QStringLiteral("1"));
    EXPECT_EQ(stored(QStringLiteral("OutputSplitBy2nd22")), QStringLiteral("3"));
    EXPECT_EQ(stored(QStringLiteral("OutputSplitBy3rd22")), QStringLiteral("4"));
}

TEST_F(OutputOptionsTest, EditWithinTheRowCap)
{
    setRowCaps(QStringLiteral("4=60\n"));
    const bool ok = runDialog(38, [](TMRPOutputSetDlg& d) {
        EXPECT_EQ(d.edtBillMaxRows->maximum(), 60);
        EXPECT_EQ(d.edtBillMaxRows->value(), 60);
        d.edtBillMaxRows->setValue(500);
        EXPECT_EQ(d.edtBillMaxRows->value(), 60);
        d.edtBillMaxRows->setValue(25);
        d.cboBillSplitBy1->setCurrentIndex(d.cboBillSplitBy1->findText(QStringLiteral("计划员")));
        d.cboBillSplitBy2->setCurrentIndex(d.cboBillSplitBy2->findText(QString()));
        EXPECT_FALSE(d.cboBillSplitBy3->isEnabled());
        d.edtDepartment->setText(QStringLiteral(" 06 "));
        d.edtEmployee->setText(QStringLiteral("李采购"));
        d.accept();
        return d.result();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(stored(QStringLiteral("OutputMaxRows38")), QStringLiteral("25"));
    EXPECT_EQ(stored(QStringLiteral("OutputSplitBy1st38")), QStringLiteral("3"));
    EXPECT_EQ(stored(QStringLiteral("OutputSplitBy2nd38")), QStringLiteral("0"));
    EXPECT_EQ(stored(QStringLiteral("OutputDeptID38")), QStringLiteral("D06"));
    EXPECT_EQ(stored(QStringLiteral("OutputEmpID38")), QStringLiteral("E02"));
}

TEST_F(OutputOptionsTest, PageChecks)
{
    DemoLogin::instance().exec(QStringLiteral(
        "if not exists (select * from QZ_Base_Department where DeptID='D99') insert QZ_Base_Department (DeptID, DeptNo, DeptName, "
        "DeptWorkShop, DeptDisabled) values ('D99', '99', '撤销部门', 0, 1)"));
    setRowCaps(QStringLiteral("4=60\n"));
    struct Case {
        const char* what;
        std::function<void(TMRPOutputSetDlg&)> edit;
        QString warning;
    };
    auto keys = [](const QString& s1, const QString& s2, const QString& o1, const QString& o2) {
        return [=](TMRPOutputSetDlg& d) {
            d.cboBillSplitBy1->setCurrentIndex(d.cboBillSplitBy1->findText(s1));
            d.cboBillSplitBy2->setCurrentIndex(d.cboBillSplitBy2->findText(s2));
            d.cboBillSortBy1->setCurrentIndex(d.cboBillSortBy1->findText(o1));
            d.cboBillSortBy2->setCurrentIndex(d.cboBillSortBy2->findText(o2));
            d.edtDepartment->setText(QStringLiteral("采购部"));
            d.edtEmployee->setText(QStringLiteral("E02"));
        };
    };
    const Case cases[] = {
        {"split twice", keys(QStringLiteral("采购员"), QStringLiteral("采购员"), QStringLiteral("物料代码"), QString()),
         QStringLiteral("分单依据字段出现重复, 请修正!")},
        {"sort on a split key", keys(QStringLiteral("采购员"), QStringLiteral("主需求"), QStringLiteral("主需求"), QString()),
         QStringLiteral("分录排序字段与分单依据字段出现重复, 请修正!")},
        {"sort twice", keys(QStringLiteral("采购员"), QString(), QStringLiteral("交货日期"), QStringLiteral("交货日期")),
         QStringLiteral("分录排序字段出现重复, 请修正!")},
        {"empty keys never collide", keys(QStringLiteral("采购员"), QString(), QStringLiteral("交货日期"), QString()), QString()},
        {"disabled department",
         [](TMRPOutputSetDlg& d) {
             d.edtDepartment->setText(QStringLiteral("撤销部门"));
             d.edtEmployee->setText(QStringLiteral("E02"));
         },
         QStringLiteral("[部门:]的值(撤销部门)无效!")},
        {"typed quote",
         [](TMRPOutputSetDlg& d) {
             d.edtDepartment->setText(QStringLiteral("x' or DeptNo like '%"));
             d.edtEmployee->setText(QStringLiteral("E02"));
         },
         QStringLiteral("[部门:]的值(x' or DeptNo like '%)无效!")},
        {"no department",
         [](TMRPOutputSetDlg& d) {
             d.edtDepartment->setText(QStringLiteral("  "));
             d.edtEmployee->setText(QStringLiteral("E02"));
         },
         QStringLiteral("[部门:]的内容不能为空!")},
        {"no applicant",
         [](TMRPOutputSetDlg& d) {
             d.edtDepartment->setText(QStringLiteral("06"));
             d.edtEmployee->setText(QString());
         },
         QStringLiteral("[申请人:]的内容不能为空!")},
        {"unknown applicant",
         [](TMRPOutputSetDlg& d) {
             d.edtDepartment->setText(QStringLiteral("06"));
             d.edtEmployee->setText(QStringLiteral("E0' or '1'='1"));
         },
         QStringLiteral("[申请人:]的值(E0' or '1'='1)无效!")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedMessageBoxes boxes;
        const bool ok = runDialog(38, [&](TMRPOutputSetDlg& d) {
            c.edit(d);
            d.accept();
            return d.result();
        });
        if (c.warning.isEmpty()) {
            EXPECT_TRUE(ok);
            EXPECT_TRUE(boxes.shown.isEmpty());
        } else {
            EXPECT_FALSE(ok);
            ASSERT_FALSE(boxes.shown.isEmpty());
            EXPECT_EQ(boxes.shown.first().text, c.warning);
        }
    }
}

TEST_F(OutputOptionsTest, EmptiedProductionDepartmentIsCleared)
{
    setRowCaps(QStringLiteral("10=1\n"));
    InfoApplication->WriteSystemSettingAsString(QStringLiteral("QZ_MRP"), QStringLiteral("OutputDeptID22"), QStringLiteral("D03"), false);
    const bool ok = runDialog(22, [](TMRPOutputSetDlg& d) {
        EXPECT_EQ(d.edtDepartment->text(), QStringLiteral("电机车间"));
        d.edtDepartment->clear();
        d.accept();
        return d.result();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(stored(QStringLiteral("OutputDeptID22")), QString());
}

TEST_F(OutputOptionsTest, CancelAfterSwitchingTabsStoresNothing)
{
    setRowCaps(QStringLiteral("10=1\n4=60\n7=60\n"));
    InfoApplication->WriteSystemSettingAsString(QStringLiteral("QZ_MRP"), QStringLiteral("OutputDeptID22"), QStringLiteral("D03"), false);
    ScriptedMessageBoxes boxes;
    const bool ok = runDialog(22, [](TMRPOutputSetDlg& d) {
        d.show();
        d.chkLotRule->setChecked(true);
        d.Pages->setCurrentIndex(2);
        EXPECT_EQ(d.Pages->currentIndex(), 2);
        d.edtDepartment->clear();
        d.Pages->setCurrentIndex(1);
        EXPECT_EQ(d.Pages->currentIndex(), 2) << "a page with missing values is not left";
        return int(QDialog::Rejected);
    });
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown.first().text, QStringLiteral("[部门:]的内容不能为空!"));
    const int rows = DemoLogin::count(QStringLiteral("select count(*) from QZ_SYS_UserSettings where SetClass='QZ_MRP' and SetKey like 'Output%'"));
    EXPECT_EQ(rows, 1);
}

} // namespace

TEST_F(OutputOptionsTest, BillsStartFromThePlannersOwnDepartmentAndEmployee)
{
    setRowCaps(QStringLiteral("10=1\n4=60\n7=60\n"));
    // plan01 is 王计划, employee E01 of 计划部 (D02). A stored salesman stays.
    InfoApplication->WriteSystemSettingAsString(QStringLiteral("QZ_MRP"), QStringLiteral("OutputEmpID36"), QStringLiteral("E03"), false);
    ScriptedMessageBoxes boxes;
    const bool ok = runDialog(38, [](TMRPOutputSetDlg& d) {
        d.show();
        EXPECT_EQ(d.edtDepartment->text(), QStringLiteral("计划部"));
        EXPECT_EQ(d.edtEmployee->text(), QStringLiteral("王计划"));
        d.Pages->setCurrentIndex(1);
        EXPECT_EQ(d.Pages->currentIndex(), 1);
        EXPECT_EQ(d.edtDepartment->text(), QStringLiteral("计划部"));
        EXPECT_EQ(d.edtEmployee->text(), QStringLiteral("陈销售"));
        // Production names no department of its own choosing.
        d.Pages->setCurrentIndex(0);
        EXPECT_EQ(d.Pages->currentIndex(), 0);
        EXPECT_EQ(d.edtDepartment->text(), QString());
        d.accept();
        return d.result();
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(stored(QStringLiteral("OutputDeptID38")), QStringLiteral("D02"));
    EXPECT_EQ(stored(QStringLiteral("OutputEmpID38")), QStringLiteral("E01"));
    EXPECT_EQ(stored(QStringLiteral("OutputEmpID36")), QStringLiteral("E03"));
    EXPECT_EQ(stored(QStringLiteral("OutputDeptID22")), QString());

    // Without an employee of the user's name the fields start empty.
    DemoLogin::instance().exec(QStringLiteral("delete QZ_SYS_UserSettings where SetClass='QZ_MRP' and SetKey like 'Output%'\n"
                                              "update QZ_Base_Employee set EmpName='王计划(调岗)' where EmpID='E01'"));
    runDialog(38, [](TMRPOutputSetDlg& d) {
        EXPECT_EQ(d.edtDepartment->text(), QString());
        EXPECT_EQ(d.edtEmployee->text(), QString());
        return int(QDialog::Rejected);
    });
    DemoLogin::instance().exec(QStringLiteral("update QZ_Base_Employee set EmpName='王计划' where EmpID='E01'"));
}
