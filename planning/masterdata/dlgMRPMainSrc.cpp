#include "dlgMRPMainSrc.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kBillTypeClass = QStringLiteral("MrpBillType");

// The schemes to copy from: released ones and the user's own whose main
// demand is ready, except the current one, among those the user owns or that
// were shared with the user or a group of the user's; newest main demand first.
const QString kSchemesSQL = QStringLiteral(
    "select SchIID, SchName, SchState, SchUsrID, UsrName, MpsTime=(case when SchMpsUpdTime>SchMpsRunTime then "
    "SchMpsUpdTime else SchMpsRunTime end) from QZ_MRP_Schemes left join QZ_SYS_Users with(nolock) on SchUsrID=UsrID "
    "where SchType=%1 and (SchState>=%4 or SchUsrID=%2 and SchState>=%5) and SchIID<>%6 and (SchUsrID=%2 or SchIID in "
    "(select distinct DpmDataID from QZ_SYS_DataPermissions with(nolock) where DpmObjID='QZ_MRP.MRP' and (DpmUsrID=%2 "
    "and DpmIsGroup=0 or DpmUsrID in (%3) and DpmIsGroup=1))) order by MpsTime desc");

QString BillTypeName(int AType)
{
    return InfoApplication ? InfoApplication->GetSystemEnumName(kBillTypeClass, AType)
                           : QStringLiteral("(%1)").arg(AType);
}

bool BillTypeExists(int AType)
{
    return InfoApplication && InfoApplication->SystemEnumExists(kBillTypeClass, AType);
}

} // namespace

TMRPMainSourceDlg::TMRPMainSourceDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("MRPMainSourceDlg"));
    setWindowTitle(QStringLiteral("获取主需求"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);

    QWidget* area = ClientArea();
    lblWriteType = new QLabel(QStringLiteral("已有数据覆盖方式(&W):"), area);
    cboWriteType = new QComboBox(area);
    cboWriteType->setObjectName(QStringLiteral("cboWriteType"));
    cboWriteType->addItems({QStringLiteral("同需求行覆盖, 否则追加"), QStringLiteral("完全覆盖, 全清已有数据")});
    lblWriteType->setBuddy(cboWriteType);
    rdbBills = new QRadioButton(QStringLiteral("从业务数据选取(&1):"), area);
    rdbBills->setObjectName(QStringLiteral("rdbBills"));
    rdbBills->setChecked(true);
    cboBills = new QComboBox(area);
    cboBills->setObjectName(QStringLiteral("cboBills"));
    chkShowFilter = new QCheckBox(QStringLiteral("选单前显示筛选条件(&H)"), area);
    chkShowFilter->setObjectName(QStringLiteral("chkShowFilter"));
    rdbScheme = new QRadioButton(QStringLiteral("从其他计划导入(&3):"), area);
    rdbScheme->setObjectName(QStringLiteral("rdbScheme"));
    cboScheme = new QComboBox(area);
    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    cboScheme->setMaxVisibleItems(20);
    cboMrpType = new QComboBox(area);
    cboMrpType->setObjectName(QStringLiteral("cboMrpType"));
    cboMrpType->addItems({QStringLiteral("主需求"), QStringLiteral("供应计划")});
    chkSynPeriod = new QCheckBox(QStringLiteral("同时导入来源计划的展望期间设置(&T)"), area);
    chkSynPeriod->setObjectName(QStringLiteral("chkSynPeriod"));
    rdbImport = new QRadioButton(QStringLiteral("外部数据源导入(&2):"), area);
    rdbImport->setObjectName(QStringLiteral("rdbImport"));
    cboImport = new QComboBox(area);
    cboImport->setObjectName(QStringLiteral("cboImport"));

    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(8, 8, 8, 0);
    grid->setColumnStretch(1, 1);
    grid->setColumnMinimumWidth(0, 150);
    grid->addWidget(lblWriteType, 0, 0);
    grid->addWidget(cboWriteType, 0, 1, 1, 2);
    grid->setRowMinimumHeight(1, 8);
    grid->addWidget(rdbBills, 2, 0);
    grid->addWidget(cboBills, 2, 1, 1, 2);
    grid->addWidget(chkShowFilter, 3, 1, 1, 2);
    grid->setRowMinimumHeight(4, 8);
    grid->addWidget(rdbScheme, 5, 0);
    grid->addWidget(cboScheme, 5, 1);
    grid->addWidget(cboMrpType, 5, 2);
    grid->addWidget(chkSynPeriod, 6, 1, 1, 2);
    grid->setRowMinimumHeight(7, 8);
    grid->addWidget(rdbImport, 8, 0);
    grid->addWidget(cboImport, 8, 1, 1, 2);
    auto* bevel = new QFrame(area);
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    grid->setRowStretch(9, 1);
    grid->addWidget(bevel, 10, 0, 1, 3);
    setFixedSize(463 + 24, 295 + 24);

    for (QRadioButton* r : {rdbBills, rdbScheme, rdbImport})
        connect(r, &QRadioButton::toggled, this, [this] { UpdateControls(); });
    for (QComboBox* c : {cboWriteType, cboMrpType, cboScheme, cboBills})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { UpdateControls(); });
}

void TMRPMainSourceDlg::FillSourceLists()
{
    const struct {
        int billType;
        TMRPMainImportType importType;
        bool always;
    } bills[] = {
        {2, itSelectSO, true},       {4, itSelectSI, false},  {8, itSelectForcast, false}, {22, itSelectMO, true},
        {34, itSelectMR, false},     {24, itSelectOO, true},  {36, itSelectOR, false},
    };
    cboBills->clear();
    for (const auto& b : bills)
        if (b.always || BillTypeExists(b.billType))
            cboBills->addItem(BillTypeName(b.billType), int(b.importType));

    const auto joined = [](std::initializer_list<std::pair<int, bool>> types) {
        QStringList names;
        for (const auto& [type, always] : types)
            if (always || BillTypeExists(type))
                names << BillTypeName(type);
        return names.join(u'+');
    };
    cboImport->clear();
    cboImport->addItem(joined({{2, true}, {4, false}, {8, false}}));
    cboImport->addItem(joined({{22, true}, {34, false}, {24, true}, {36, false}}));
    cboImport->addItem(BillTypeName(12));
    cboBills->setCurrentIndex(0);
    cboImport->setCurrentIndex(0);
}

void TMRPMainSourceDlg::RestoreImportType(TMRPMainImportType AImportType)
{
    const int t = int(AImportType);
    if (t == itMRPMain || t == itMRPSupplies) {
        rdbScheme->setChecked(true);
        cboMrpType->setCurrentIndex(t == itMRPSupplies ? 1 : 0);
    } else if (t >= itImportSOorForcast && t <= itImportFreeNeed) {
        rdbImport->setChecked(true);
        cboImport->setCurrentIndex(t - itImportSOorForcast);
    } else {
        rdbBills->setChecked(true);
        // no entry when that kind is not offered: the user picks one before OK
        cboBills->setCurrentIndex(cboBills->findData(t));
    }
}

bool TMRPMainSourceDlg::LoadSchemes(int ACurrentSchemeIID)
{
    cboScheme->clear();
    if (!InfoApplication)
        return false;
    const TLoginInfo& login = InfoApplication->LoginInfo;
    // one pass: a "%" in the user's identity or groups is never taken for a placeholder
    const QString sql = kSchemesSQL.arg(QString::number(0), QuotedStr(login.UserID), login.UserGroups, QString::number(8),
                                        QString::number(2), QString::number(ACurrentSchemeIID));
    if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
        return false;
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        const QDateTime mpsTime = GlobalADOQuery->FieldByName(QStringLiteral("MpsTime"))->AsDateTime();
        QString text = GlobalADOQuery->FieldByName(QStringLiteral("SchName"))->AsString() + QStringLiteral(" (") +
                       (mpsTime.isValid() ? DateTimeToStr(mpsTime) : QString());
        const QString owner = GlobalADOQuery->FieldByName(QStringLiteral("SchUsrID"))->AsString();
        if (owner.compare(login.UserID, Qt::CaseInsensitive) != 0)
            text += u' ' + GlobalADOQuery->FieldByName(QStringLiteral("UsrName"))->AsString();
        text += u')';
        cboScheme->addItem(text, GlobalADOQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger());
    }
    GlobalADOQuery->Close();
    cboScheme->setCurrentIndex(-1);
    return true;
}

void TMRPMainSourceDlg::UpdateControls()
{
    const bool bills = rdbBills->isChecked();
    const bool scheme = rdbScheme->isChecked();
    const bool import = rdbImport->isChecked();
    cboBills->setEnabled(bills);
    cboImport->setEnabled(import);
    cboScheme->setEnabled(scheme);
    cboMrpType->setEnabled(scheme);
    chkShowFilter->setEnabled(bills || (scheme && cboMrpType->currentIndex() == 1));
    const bool overwriteAll = cboWriteType->currentIndex() == 1;
    if (!overwriteAll)
        chkSynPeriod->setChecked(false);
    chkSynPeriod->setEnabled(scheme && cboMrpType->currentIndex() == 0 && overwriteAll);
    btnOk->setEnabled(!(scheme && cboScheme->currentIndex() < 0) && !(bills && cboBills->currentIndex() < 0));
}

TMRPMainImportType TMRPMainSourceDlg::ChosenImportType() const
{
    if (rdbScheme->isChecked())
        return cboMrpType->currentIndex() == 1 ? itMRPSupplies : itMRPMain;
    if (rdbImport->isChecked())
        return TMRPMainImportType(itImportSOorForcast + std::max(0, cboImport->currentIndex()));
    return TMRPMainImportType(cboBills->currentData().toInt());
}

bool ShowMRPMainSourceDlg(TMRPMainImportType& AImportType, std::uint8_t& AWriteType, bool& AShowFilter, bool& ASynPeriods,
                          int& ASchemeIID)
{
    auto dlg = std::make_unique<TMRPMainSourceDlg>(QApplication::activeWindow());
    dlg->cboWriteType->setCurrentIndex(AWriteType <= 1 ? AWriteType : 0);
    dlg->chkShowFilter->setChecked(AShowFilter);
    dlg->chkSynPeriod->setChecked(ASynPeriods);
    dlg->FillSourceLists();
    dlg->RestoreImportType(AImportType);
    dlg->UpdateControls();
    dlg->LoadSchemes(ASchemeIID);
    dlg->UpdateControls();
    if (dlg->exec() != QDialog::Accepted || !dlg->btnOk->isEnabled())
        return false;
    AWriteType = std::uint8_t(dlg->cboWriteType->currentIndex());
    AShowFilter = dlg->chkShowFilter->isChecked();
    AImportType = dlg->ChosenImportType();
    if (dlg->rdbScheme->isChecked()) {
        ASchemeIID = dlg->cboScheme->currentData().toInt();
        ASynPeriods = dlg->chkSynPeriod->isChecked();
    }
    return true;
}
