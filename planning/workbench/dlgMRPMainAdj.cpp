#include "dlgMRPMainAdj.h"

#include "untMRP.h"
#include "untMRPCalendar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

TMRPMainAdjustDlg::TMRPMainAdjustDlg(TPlanScheme* AScheme, int AFlags, int APeriod, QWidget* AParent)
    : TDialog(AParent)
{
    setObjectName(QStringLiteral("MRPMainAdjustDlg"));
    setWindowTitle(QStringLiteral("主需求批调整"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout(ClientArea());
    chkAdjPeriod = new QCheckBox(QStringLiteral("自动调整交期至该期间(&P):"), ClientArea());
    chkAdjPeriod->setObjectName(QStringLiteral("chkAdjPeriod"));
    cboAdjPeriod = new QComboBox(ClientArea());
    cboAdjPeriod->setObjectName(QStringLiteral("cboAdjPeriod"));
    cboAdjPeriod->setMaxVisibleItems(20);
    chkOnlyPast = new QCheckBox(QStringLiteral("仅针对早于该期间的记录(&B)"), ClientArea());
    chkOnlyPast->setObjectName(QStringLiteral("chkOnlyPast"));
    chkOnlyPast->setChecked(true);
    auto* scope = new QLabel(QStringLiteral("调整范围:"), ClientArea());
    rdbSelection = new QRadioButton(QStringLiteral("已选择区域(&1)"), ClientArea());
    rdbSelection->setObjectName(QStringLiteral("rdbSelection"));
    rdbSelection->setChecked(true);
    rdbFullView = new QRadioButton(QStringLiteral("视图全部(&2)"), ClientArea());
    rdbFullView->setObjectName(QStringLiteral("rdbFullView"));
    chkAdjImport = new QCheckBox(QStringLiteral("从外部数据源导入交期调整信息(&F)"), ClientArea());
    chkAdjImport->setObjectName(QStringLiteral("chkAdjImport"));
    grid->addWidget(chkAdjPeriod, 0, 0);
    grid->addWidget(cboAdjPeriod, 0, 1);
    grid->addWidget(chkOnlyPast, 1, 0, 1, 2);
    grid->addWidget(scope, 2, 0);
    auto* range = new QHBoxLayout;
    range->addWidget(rdbSelection);
    range->addWidget(rdbFullView);
    grid->addLayout(range, 2, 1);
    grid->addWidget(chkAdjImport, 3, 0, 1, 2);

    const TPlanPeriods periods = AScheme ? AScheme->MpsPeriods : TPlanPeriods();
    for (int i = 0; i < int(periods.size()); ++i)
        cboAdjPeriod->addItem(BuildPlanPeriodCaptions(periods, i));
    if (cboAdjPeriod->count() > 0)
        cboAdjPeriod->setCurrentIndex(APeriod > 0 && APeriod < cboAdjPeriod->count() ? APeriod : 0);
    chkAdjImport->setEnabled(AScheme && AScheme->PlanSource != 3);
    chkAdjPeriod->setEnabled((AFlags & mafAdjPeriod) != 0 && cboAdjPeriod->count() > 0);
    connect(chkAdjPeriod, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    connect(chkAdjImport, &QCheckBox::toggled, this, [this] { UpdateControls(); });
    UpdateControls();
}

void TMRPMainAdjustDlg::UpdateControls()
{
    const bool adjust = chkAdjPeriod->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{cboAdjPeriod, chkOnlyPast, rdbSelection, rdbFullView})
        w->setEnabled(adjust);
    btnOk->setEnabled(adjust || chkAdjImport->isChecked());
}

int TMRPMainAdjustDlg::Flags() const
{
    int flags = 0;
    if (chkAdjPeriod->isChecked()) {
        flags |= mafAdjPeriod;
        if (chkOnlyPast->isChecked())
            flags |= mafOnlyPast;
        if (rdbSelection->isChecked())
            flags |= mafSelection;
    }
    if (chkAdjImport->isChecked())
        flags |= mafImport;
    return flags;
}

int TMRPMainAdjustDlg::Period() const
{
    return cboAdjPeriod->currentIndex();
}

bool ShowMRPMainAdjustDlg(TPlanScheme* AScheme, int& AFlags, int& APeriod)
{
    TMRPMainAdjustDlg dlg(AScheme, AFlags, APeriod);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    AFlags = dlg.Flags();
    if (AFlags & mafAdjPeriod)
        APeriod = dlg.Period();
    return true;
}
