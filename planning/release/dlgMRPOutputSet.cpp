#include "dlgMRPOutputSet.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kKeyTexts[] = {QString(), QStringLiteral("供应单位"), QStringLiteral("采购员"), QStringLiteral("计划员"),
                             QStringLiteral("主需求"), QStringLiteral("物料代码"), QStringLiteral("交货日期")};

struct TFamily {
    QList<int> First; // entries of the first split list
    QList<int> Other; // entries of the other split lists and the sort lists
    int Split[3];
    int Sort[3];
    QString Employee; // label of the employee field; empty: no employee
};

const TFamily& familyOf(int ABillType)
{
    static const TFamily a{{1}, {0, 3, 4, 5, 6}, {1, 3, 4}, {5, 6, 0}, QString()};
    static const TFamily b{{1}, {0, 2, 4, 5, 6}, {1, 2, 4}, {5, 6, 0}, QStringLiteral("业务员(&E):")};
    static const TFamily c{{0, 2, 3, 1, 4, 5, 6}, {0, 2, 3, 1, 4, 5, 6}, {2, 4, 0}, {5, 6, 0}, QStringLiteral("申请人(&E):")};
    if (ABillType == 24 || ABillType == 26 || ABillType == 28)
        return b;
    if (ABillType == 36 || ABillType == 38)
        return c;
    return a;
}

bool hasEmployee(int ABillType)
{
    return ABillType != 22 && ABillType != 34;
}

bool hasSubstitutes(int ABillType)
{
    return ABillType == 22 || ABillType == 24;
}

void fillKeys(QComboBox* ACombo, const QList<int>& ACodes)
{
    for (int code : ACodes)
        ACombo->addItem(kKeyTexts[code], code);
}

void selectKey(QComboBox* ACombo, int ACode)
{
    const int i = ACombo->findData(ACode);
    if (i >= 0)
        ACombo->setCurrentIndex(i);
}

int keyOf(const QComboBox* ACombo)
{
    return ACombo->currentIndex() >= 0 ? ACombo->currentData().toInt() : 0;
}

// A label's caption without its hot key: "部门(&D):" gives "部门:".
QString stripHotKey(const QString& ACaption)
{
    QString s = ACaption;
    static const QRegularExpression hotKey(QStringLiteral("\\(&.\\)"));
    s.remove(hotKey);
    s.remove(QLatin1Char('&'));
    return s;
}

// The first column of a lookup, empty when there is no row or the statement fails.
QString lookUp(const QString& ASQL, bool AShowError)
{
    QString value;
    if (ExecSQLText(GlobalADOQuery, ASQL, true, false, AShowError)) {
        if (!GlobalADOQuery->IsEmpty())
            value = GlobalADOQuery->Fields()->Field(0)->AsString();
        GlobalADOQuery->Close();
    }
    return value;
}

std::unique_ptr<TPickEditProperties> pickProperties(const QString& ASQL, const QString& AWhere)
{
    auto p = std::make_unique<TPickEditProperties>();
    p->RefQuery = GlobalADOQuery;
    p->SQL = ASQL;
    p->WhereOrder = AWhere;
    p->FixedFields = QStringLiteral("[代码]");
    p->TextField = QStringLiteral("名称");
    return p;
}

} // namespace

std::function<int(TMRPOutputSetDlg&)> TMRPOutputSetDlg::ExecHook;

TMRPOutputSetDlg::TMRPOutputSetDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("MRPOutputSetDlg"));
    setWindowTitle(QStringLiteral("投放选项"));
    Pages = new QTabBar(ClientArea());
    Pages->setObjectName(QStringLiteral("Pages"));
    Pages->addTab(QStringLiteral(" 生产任务(&1)"));
    Pages->addTab(QStringLiteral(" 委外申请(&2)"));
    Pages->addTab(QStringLiteral(" 采购申请(&3)"));

    cxGroupBox1 = new QGroupBox(QStringLiteral(" 计划数据合并: "), ClientArea());
    lblMergeTrack = new QLabel(QStringLiteral("跟踪合并(&H):"), cxGroupBox1);
    cboMergeTrack = new QComboBox(cxGroupBox1);
    cboMergeTrack->setObjectName(QStringLiteral("cboMergeTrack"));
    lblMergeTrack->setBuddy(cboMergeTrack);
    chkMergePeriods = new QCheckBox(QStringLiteral("合并各展望期数量(&T)"), cxGroupBox1);
    chkMergePeriods->setObjectName(QStringLiteral("chkMergePeriods"));
    auto* g1 = new QGridLayout(cxGroupBox1);
    g1->addWidget(lblMergeTrack, 0, 0);
    g1->addWidget(cboMergeTrack, 0, 1);
    g1->addWidget(chkMergePeriods, 0, 2);
    g1->setColumnStretch(1, 1);

    cxGroupBox2 = new QGroupBox(QStringLiteral(" 投放目标单据: "), ClientArea());
    auto combo = [this](QLabel*& ALabel, QComboBox*& ACombo, const QString& ACaption, const char* AName) {
        ALabel = new QLabel(ACaption, cxGroupBox2);
        ACombo = new QComboBox(cxGroupBox2);
        ACombo->setObjectName(QLatin1String(AName));
        ALabel->setBuddy(ACombo);
    };
    combo(lblBillSplitBy1, cboBillSplitBy1, QStringLiteral("分单依据一(&1):"), "cboBillSplitBy1");
    combo(lblBillSplitBy2, cboBillSplitBy2, QStringLiteral("依据二(&2):"), "cboBillSplitBy2");
    combo(lblBillSplitBy3, cboBillSplitBy3, QStringLiteral("依据三(&3):"), "cboBillSplitBy3");
    combo(lblBillSortBy1, cboBillSortBy1, QStringLiteral("分录排序一(&A):"), "cboBillSortBy1");
    combo(lblBillSortBy2, cboBillSortBy2, QStringLiteral("排序二(&B):"), "cboBillSortBy2");
    combo(lblBillSortBy3, cboBillSortBy3, QStringLiteral("排序三(&C):"), "cboBillSortBy3");
    lblBillMaxRows = new QLabel(QStringLiteral("最大分录数(&N):"), cxGroupBox2);
    edtBillMaxRows = new QSpinBox(cxGroupBox2);
    edtBillMaxRows->setObjectName(QStringLiteral("edtBillMaxRows"));
    edtBillMaxRows->setRange(1, 1000);
    edtBillMaxRows->setSingleStep(10);
    edtBillMaxRows->setValue(1);
    lblBillMaxRows->setBuddy(edtBillMaxRows);

    FDeptPick = pickProperties(
        QStringLiteral("select [代码]=DeptNo, [名称]=DeptName from QZ_Base_Department with(nolock)"),
        QStringLiteral("(DeptNo like '%%'+%0:s+'%%' or DeptName like '%%'+%0:s+'%%') and DeptDisabled=0 order by DeptNo, DeptName"));
    FDeptPick->Caption = QStringLiteral("部门");
    FEmpPick = pickProperties(
        QStringLiteral("select [代码]=EmpNo, [名称]=EmpName from QZ_Base_Employee with(nolock)"),
        QStringLiteral("(EmpNo like '%%'+%0:s+'%%' or EmpName like '%%'+%0:s+'%%') and EmpDisabled=0 order by EmpNo, EmpName"));
    lblDepartment = new QLabel(QStringLiteral("部门(&D):"), cxGroupBox2);
    edtDepartment = qobject_cast<QLineEdit*>(FDeptPick->createEditor(cxGroupBox2));
    edtDepartment->setObjectName(QStringLiteral("edtDepartment"));
    lblDepartment->setBuddy(edtDepartment);
    lblEmployee = new QLabel(QStringLiteral("业务员(&E):"), cxGroupBox2);
    edtEmployee = qobject_cast<QLineEdit*>(FEmpPick->createEditor(cxGroupBox2));
    edtEmployee->setObjectName(QStringLiteral("edtEmployee"));
    lblEmployee->setBuddy(edtEmployee);
    lblItemSubs = new QLabel(QStringLiteral("替代料展开(&R):"), cxGroupBox2);
    cboItemSubs = new QComboBox(cxGroupBox2);
    cboItemSubs->setObjectName(QStringLiteral("cboItemSubs"));
    cboItemSubs->addItems({QStringLiteral("仅展开计划运算及投放所发生的"), QStringLiteral("展开所有"), QStringLiteral("(不展开)")});
    cboItemSubs->setEnabled(false);
    lblItemSubs->setBuddy(cboItemSubs);
    chkOutPBoms = new QCheckBox(QStringLiteral("投放用料(&L)"), cxGroupBox2);
    chkOutPBoms->setObjectName(QStringLiteral("chkOutPBoms"));
    chkLotRule = new QCheckBox(QStringLiteral("强制批量规则(&U)"), cxGroupBox2);
    chkLotRule->setObjectName(QStringLiteral("chkLotRule"));

    auto* g2 = new QGridLayout(cxGroupBox2);
    g2->addWidget(lblBillSplitBy1, 0, 0);
    g2->addWidget(cboBillSplitBy1, 0, 1);
    g2->addWidget(lblBillSortBy1, 0, 2);
    g2->addWidget(cboBillSortBy1, 0, 3);
    g2->addWidget(lblBillSplitBy2, 1, 0);
    g2->addWidget(cboBillSplitBy2, 1, 1);
    g2->addWidget(lblBillSortBy2, 1, 2);
    g2->addWidget(cboBillSortBy2, 1, 3);
    g2->addWidget(lblBillSplitBy3, 2, 0);
    g2->addWidget(cboBillSplitBy3, 2, 1);
    g2->addWidget(lblBillSortBy3, 2, 2);
    g2->addWidget(cboBillSortBy3, 2, 3);
    g2->addWidget(lblBillMaxRows, 3, 0);
    g2->addWidget(edtBillMaxRows, 3, 1);
    g2->addWidget(lblDepartment, 4, 0);
    g2->addWidget(edtDepartment, 4, 1);
    g2->addWidget(lblEmployee, 4, 2);
    g2->addWidget(edtEmployee, 4, 3);
    g2->addWidget(lblItemSubs, 5, 0);
    g2->addWidget(cboItemSubs, 5, 1);
    g2->addWidget(chkOutPBoms, 5, 2, 1, 2);
    g2->addWidget(chkLotRule, 6, 0, 1, 2);
    g2->setColumnStretch(1, 1);
    g2->setColumnStretch(3, 1);

    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Pages);
    layout->addWidget(cxGroupBox1);
    layout->addWidget(cxGroupBox2);
    layout->addStretch(1);
    setFixedWidth(560);

    connect(Pages, &QTabBar::currentChanged, this, [this](int i) { PagesChange(i); });
    connect(cboBillSplitBy1, &QComboBox::currentIndexChanged, this, [this] { cboBillSplitBy1PropertiesChange(); });
    connect(cboBillSplitBy2, &QComboBox::currentIndexChanged, this, [this] { cboBillSplitBy2PropertiesChange(); });
    connect(cboBillSortBy1, &QComboBox::currentIndexChanged, this, [this] { cboBillSortBy1PropertiesChange(); });
    connect(cboBillSortBy2, &QComboBox::currentIndexChanged, this, [this] { cboBillSortBy2PropertiesChange(); });
    connect(chkOutPBoms, &QCheckBox::toggled, this, [this] { chkOutPBomsPropertiesChange(); });
    connect(chkLotRule, &QCheckBox::toggled, this, [this] { chkOutPBomsPropertiesChange(); });
}

TMRPOutputSetDlg::~TMRPOutputSetDlg() = default;

int TMRPOutputSetDlg::TabBillType(int ATab) const
{
    return Pages->tabData(ATab < 0 ? Pages->currentIndex() : ATab).toInt();
}

void TMRPOutputSetDlg::PagesChange(int AIndex)
{
    // leaving a tab while the dialog is shown needs its values to be sound
    if (FShownTab >= 0 && FShownTab != AIndex && isVisible()) {
        const QSignalBlocker block(Pages);
        Pages->setCurrentIndex(FShownTab);
        if (!CheckOutputOptionsPage())
            return;
        Pages->setCurrentIndex(AIndex);
    }
    FShownTab = AIndex;
    LoadOutputOptionsPage();
}

void TMRPOutputSetDlg::PagesChangeFromStart()
{
    PagesChange(Pages->currentIndex());
}

void TMRPOutputSetDlg::cboBillSplitBy1PropertiesChange()
{
    const bool on = FSplitEnabled && keyOf(cboBillSplitBy1) != 0;
    if (!on)
        cboBillSplitBy2->setCurrentIndex(cboBillSplitBy2->findData(0));
    cboBillSplitBy2->setEnabled(on);
    cboBillSplitBy2PropertiesChange();
}

void TMRPOutputSetDlg::cboBillSplitBy2PropertiesChange()
{
    const bool on = FSplitEnabled && cboBillSplitBy2->isEnabled() && keyOf(cboBillSplitBy2) != 0;
    if (!on)
        cboBillSplitBy3->setCurrentIndex(cboBillSplitBy3->findData(0));
    cboBillSplitBy3->setEnabled(on);
}

void TMRPOutputSetDlg::cboBillSortBy1PropertiesChange()
{
    const bool on = keyOf(cboBillSortBy1) != 0;
    if (!on)
        cboBillSortBy2->setCurrentIndex(cboBillSortBy2->findData(0));
    cboBillSortBy2->setEnabled(on);
    cboBillSortBy2PropertiesChange();
}

void TMRPOutputSetDlg::cboBillSortBy2PropertiesChange()
{
    const bool on = cboBillSortBy2->isEnabled() && keyOf(cboBillSortBy2) != 0;
    if (!on)
        cboBillSortBy3->setCurrentIndex(cboBillSortBy3->findData(0));
    cboBillSortBy3->setEnabled(on);
}

void TMRPOutputSetDlg::chkOutPBomsPropertiesChange()
{
    cboItemSubs->setEnabled(chkOutPBoms->isChecked());
}

void TMRPOutputSetDlg::LoadOutputOptionsPage()
{
    const int tab = Pages->currentIndex();
    if (tab < 0)
        return;
    const int t = TabBillType(tab);
    const TMRPOutputOptions& o = FOptions[tab];
    const TFamily& family = familyOf(t);

    QComboBox* const splits[] = {cboBillSplitBy1, cboBillSplitBy2, cboBillSplitBy3};
    QComboBox* const sorts[] = {cboBillSortBy1, cboBillSortBy2, cboBillSortBy3};
    {
        const QSignalBlocker b1(cboBillSplitBy1), b2(cboBillSplitBy2), b3(cboBillSortBy1), b4(cboBillSortBy2);
        for (QComboBox* c : splits)
            c->clear();
        for (QComboBox* c : sorts)
            c->clear();
        fillKeys(cboBillSplitBy1, family.First);
        fillKeys(cboBillSplitBy2, family.Other);
        fillKeys(cboBillSplitBy3, family.Other);
        for (QComboBox* c : sorts)
            fillKeys(c, family.Other);
        for (int i = 0; i < 3; ++i) {
            selectKey(splits[i], family.Split[i]);
            selectKey(sorts[i], family.Sort[i]);
        }
    }
    const bool employee = !family.Employee.isEmpty();
    lblEmployee->setVisible(employee);
    edtEmployee->setVisible(employee);
    if (employee)
        lblEmployee->setText(family.Employee);
    const bool subs = hasSubstitutes(t);
    lblItemSubs->setVisible(subs);
    cboItemSubs->setVisible(subs);
    chkOutPBoms->setVisible(subs);

    const int track = cboMergeTrack->findData(o.MergeTrack - 1);
    cboMergeTrack->setCurrentIndex(track >= 0 ? track : 0);
    chkMergePeriods->setChecked(o.MergePeriods);

    const int limit = InfoApplication->ERPAccess ? InfoApplication->ERPAccess->GetMaxBillRows(BillTypeToOutputSlot(t)) : 1;
    FSplitEnabled = limit > 1;
    for (QWidget* w : {static_cast<QWidget*>(lblBillSplitBy1), static_cast<QWidget*>(cboBillSplitBy1),
                       static_cast<QWidget*>(lblBillSplitBy2), static_cast<QWidget*>(cboBillSplitBy2),
                       static_cast<QWidget*>(lblBillSplitBy3), static_cast<QWidget*>(cboBillSplitBy3),
                       static_cast<QWidget*>(lblBillMaxRows), static_cast<QWidget*>(edtBillMaxRows)})
        w->setEnabled(FSplitEnabled);
    if (!FSplitEnabled) {
        edtBillMaxRows->setRange(1, 1);
        edtBillMaxRows->setValue(1);
        cboBillSplitBy2->setCurrentIndex(0);
    } else {
        edtBillMaxRows->setRange(1, limit);
        edtBillMaxRows->setValue(o.MaxRows == 0 ? 100 : o.MaxRows);
        selectKey(cboBillSplitBy3, o.SplitBy3);
        selectKey(cboBillSplitBy2, o.SplitBy2);
        selectKey(cboBillSplitBy1, o.SplitBy1);
    }
    cboBillSplitBy1PropertiesChange();
    selectKey(cboBillSortBy3, o.SortBy3);
    selectKey(cboBillSortBy2, o.SortBy2);
    selectKey(cboBillSortBy1, o.SortBy1);
    cboBillSortBy1PropertiesChange();
    if (subs) {
        cboItemSubs->setCurrentIndex(qBound(0, o.ItemSubs, 2));
        chkOutPBoms->setChecked(o.OutPBoms);
    }
    chkLotRule->setChecked(o.LotRule);
    chkOutPBomsPropertiesChange();

    edtDepartment->setText(o.DepartmentID.isEmpty()
                               ? QString()
                               : lookUp(QStringLiteral("select DeptName from QZ_Base_Department with(nolock) where DeptID=")
                                            + QuotedStr(o.DepartmentID),
                                        false));
    if (hasEmployee(t))
        edtEmployee->setText(o.EmployeeID.isEmpty()
                                 ? QString()
                                 : lookUp(QStringLiteral("select EmpName from QZ_Base_Employee with(nolock) where EmpID=")
                                              + QuotedStr(o.EmployeeID),
                                          false));
}

bool TMRPOutputSetDlg::CheckOutputOptionsPage()
{
    const int tab = Pages->currentIndex();
    if (tab < 0)
        return true;
    const int t = TabBillType(tab);
    TMRPOutputOptions& o = FOptions[tab];
    auto fail = [](QWidget* AControl, const QString& AText) {
        ShowWarning(AText);
        AControl->setFocus();
        return false;
    };
    // keys compare by their texts; an empty key takes part in no comparison
    auto same = [](const QComboBox* a, const QComboBox* b) {
        return !a->currentText().isEmpty() && a->currentText() == b->currentText();
    };
    const QString splitTwice = QStringLiteral("分单依据字段出现重复, 请修正!");
    const QString sortSplit = QStringLiteral("分录排序字段与分单依据字段出现重复, 请修正!");
    const QString sortTwice = QStringLiteral("分录排序字段出现重复, 请修正!");
    if (same(cboBillSplitBy2, cboBillSplitBy1))
        return fail(cboBillSplitBy2, splitTwice);
    if (same(cboBillSplitBy3, cboBillSplitBy1) || same(cboBillSplitBy3, cboBillSplitBy2))
        return fail(cboBillSplitBy3, splitTwice);
    auto matchesSplit = [&](const QComboBox* c) {
        return same(c, cboBillSplitBy1) || same(c, cboBillSplitBy2) || same(c, cboBillSplitBy3);
    };
    if (matchesSplit(cboBillSortBy1))
        return fail(cboBillSortBy1, sortSplit);
    if (matchesSplit(cboBillSortBy2))
        return fail(cboBillSortBy2, sortSplit);
    if (same(cboBillSortBy2, cboBillSortBy1))
        return fail(cboBillSortBy2, sortTwice);
    if (matchesSplit(cboBillSortBy3))
        return fail(cboBillSortBy3, sortSplit);
    if (same(cboBillSortBy3, cboBillSortBy1) || same(cboBillSortBy3, cboBillSortBy2))
        return fail(cboBillSortBy3, sortTwice);

    // the typed texts go into the lookups quoted
    const QString dept = edtDepartment->text().trimmed();
    edtDepartment->setText(dept);
    QString deptID;
    if (!dept.isEmpty()) {
        deptID = lookUp(QStringLiteral("select DeptID from QZ_Base_Department with(nolock) where (DeptNo=%1 or DeptName=%1) and "
                                       "DeptDisabled=0")
                            .arg(QuotedStr(dept)),
                        true);
        if (deptID.isEmpty())
            return fail(edtDepartment, QStringLiteral("[%1]的值(%2)无效!").arg(stripHotKey(lblDepartment->text()), dept));
    } else if (hasEmployee(t)) {
        return fail(edtDepartment, QStringLiteral("[%1]的内容不能为空!").arg(stripHotKey(lblDepartment->text())));
    }
    QString empID;
    if (edtEmployee->isVisibleTo(this)) {
        const QString emp = edtEmployee->text().trimmed();
        edtEmployee->setText(emp);
        if (emp.isEmpty())
            return fail(edtEmployee, QStringLiteral("[%1]的内容不能为空!").arg(stripHotKey(lblEmployee->text())));
        empID = lookUp(QStringLiteral("select EmpID from QZ_Base_Employee with(nolock) where (EmpNo=%1 or EmpName=%1) and "
                                      "EmpDisabled=0")
                           .arg(QuotedStr(emp)),
                       true);
        if (empID.isEmpty())
            return fail(edtEmployee, QStringLiteral("[%1]的值(%2)无效!").arg(stripHotKey(lblEmployee->text()), emp));
    }

    // an emptied department clears the one stored before
    o.DepartmentID = deptID;
    if (edtEmployee->isVisibleTo(this))
        o.EmployeeID = empID;
    o.MergeTrack = cboMergeTrack->currentData().toInt() + 1;
    o.MergePeriods = chkMergePeriods->isChecked();
    o.MaxRows = edtBillMaxRows->value();
    if (cboBillSplitBy1->isEnabled()) {
        o.SplitBy1 = keyOf(cboBillSplitBy1);
        o.SplitBy2 = keyOf(cboBillSplitBy2);
        o.SplitBy3 = keyOf(cboBillSplitBy3);
    }
    o.SortBy1 = keyOf(cboBillSortBy1);
    o.SortBy2 = keyOf(cboBillSortBy2);
    o.SortBy3 = keyOf(cboBillSortBy3);
    if (hasSubstitutes(t)) {
        o.ItemSubs = cboItemSubs->currentIndex();
        o.OutPBoms = chkOutPBoms->isChecked();
    }
    o.LotRule = chkLotRule->isChecked();
    return true;
}

void TMRPOutputSetDlg::accept()
{
    if (CheckOutputOptionsPage())
        TDialog::accept();
}

namespace {

// The planner's own employee and department where the account set knows them:
// the one enabled employee named as the logged-in user. Empty when none or
// several carry that name.
void OwnEmployee(QString& AEmployeeID, QString& ADepartmentID)
{
    AEmployeeID.clear();
    ADepartmentID.clear();
    const QString name = InfoApplication->LoginInfo.UserName.trimmed();
    if (name.isEmpty())
        return;
    if (!ExecSQLText(GlobalADOQuery,
                     QStringLiteral("select EmpID, EmpDeptID=isnull(d.DeptID,'') from QZ_Base_Employee as e with(nolock) "
                                    "left join QZ_Base_Department as d with(nolock) on e.EmpDeptID=d.DeptID and "
                                    "d.DeptDisabled=0 where e.EmpName=%1 and e.EmpDisabled=0")
                         .arg(QuotedStr(name)),
                     true, false, false))
        return;
    if (GlobalADOQuery->RecordCount() == 1) {
        AEmployeeID = GlobalADOQuery->FieldByName(QStringLiteral("EmpID"))->AsString();
        ADepartmentID = GlobalADOQuery->FieldByName(QStringLiteral("EmpDeptID"))->AsString();
    }
    GlobalADOQuery->Close();
}

} // namespace

bool ShowMRPOutputSetDlg(int ABillType)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::unique_ptr<TMRPOutputSetDlg> dlg;
    int types[3] = {22, IIfInteger(GetOutputDirectOO(), 24, 36), 38};
    try {
        dlg = std::make_unique<TMRPOutputSetDlg>(QApplication::activeWindow());
        for (int i = 0; i < 3; ++i) {
            dlg->Pages->setTabText(i, QStringLiteral(" ") + InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), types[i])
                                          + QStringLiteral("(&%1)").arg(i + 1));
            dlg->Pages->setTabData(i, types[i]);
            LoadMRPOutputOptions(types[i], dlg->FOptions[i]);
        }
        // Bills that must name a department and an applicant or salesman start
        // from the planner's own until the planner chooses others.
        QString ownEmployee, ownDepartment;
        OwnEmployee(ownEmployee, ownDepartment);
        for (int i = 0; i < 3; ++i) {
            TMRPOutputOptions& o = dlg->FOptions[i];
            if (!hasEmployee(types[i]))
                continue;
            if (o.DepartmentID.isEmpty())
                o.DepartmentID = ownDepartment;
            if (o.EmployeeID.isEmpty())
                o.EmployeeID = ownEmployee;
        }
        if (TSystemEnumList* tracks = InfoApplication->GetSystemEnumList(QStringLiteral("MrpTrackType"))) {
            for (int i = 0; i < tracks->Count(); ++i) {
                QString text = tracks->Strings(i);
                if (i == 0) {
                    const int open = text.indexOf(QLatin1Char('('));
                    if (open >= 0)
                        text.remove(open, 1);
                    const int close = text.indexOf(QLatin1Char(')'));
                    if (close >= 0)
                        text.remove(close, 1);
                }
                dlg->cboMergeTrack->addItem(text, tracks->Objects(i));
            }
        }
        dlg->cboMergeTrack->insertItem(0, QStringLiteral("(保持MRP运算结果跟踪)"), -1);
        int tab = 0;
        for (int i = 0; i < 3; ++i)
            if (types[i] == ABillType)
                tab = i;
        {
            const QSignalBlocker block(dlg->Pages);
            dlg->Pages->setCurrentIndex(tab);
        }
        dlg->PagesChangeFromStart();
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    const int result = TMRPOutputSetDlg::ExecHook ? TMRPOutputSetDlg::ExecHook(*dlg) : dlg->exec();
    if (result != QDialog::Accepted)
        return false;
    // A database that refuses the options has said so once: the rest are not tried.
    for (int i = 0; i < 3; ++i)
        if (!SaveMRPOutputOptions(types[i], dlg->FOptions[i]))
            return false;
    return true;
}
