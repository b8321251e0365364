#include "dlgMRPminiSetBase.h"

#include "BandedGrid.h"
#include "DataSetSource.h"
#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "untCommonUI.h"
#include "untMRPFilters.h"
#include "untMRPViewUtils.h"
#include "untMRPminiSet.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

TMRPminiSetDlgBase::TMRPminiSetDlgBase(QWidget* parent)
    : TViewSettingDlg(parent)
{
    FSchemeGroup = lblScheme->parentWidget();
}

TMRPminiSetDlgBase::~TMRPminiSetDlgBase()
{
    // The widgets and actions go after this part of the dialog: what they
    // signal while they go reaches none of its handlers.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    if (grdMain)
        grdMain->setDataSource(nullptr);
    delete FMainSource;
}

void TMRPminiSetDlgBase::BuildPages(const QString& AMainCaption)
{
    Pages = new QTabWidget(OptionsArea);
    Pages->setObjectName(QStringLiteral("Pages"));
    tabMain = new QWidget(Pages);
    tabMain->setObjectName(QStringLiteral("tabMain"));
    tabOptions = new QWidget(Pages);
    tabOptions->setObjectName(QStringLiteral("tabOptions"));
    Pages->addTab(tabMain, AMainCaption);
    Pages->addTab(tabOptions, QStringLiteral(" 参数(&2) "));
    auto* area = new QVBoxLayout(OptionsArea);
    area->setContentsMargins(0, 0, 0, 0);
    area->addWidget(Pages);
}

void TMRPminiSetDlgBase::BuildLinesGrid()
{
    qryMain = new TADOQuery(this);
    qryMain->setObjectName(QStringLiteral("qryMain"));
    SetupADOQuery(qryMain);
    qryMain->SetConnection(GlobalADOConnection);
    qryMain->CommandTimeout = 600;
    grdMain = new kvui::BandedGrid(tabMain);
    grdMain->setObjectName(QStringLiteral("grdMain"));
}

kvui::BandedGrid* TMRPminiSetDlgBase::BeginLinesGridColumns()
{
    kvui::BandedGrid* g = grdMain;
    g->beginUpdate();
    g->addBand(QString(), kvui::BandFixed::Left);
    g->addBand(QString(), kvui::BandFixed::None);
    g->setShowIndicator(true);
    g->setEditingEnabled(true);
    g->setMultiSelect(true);
    return g;
}

void TMRPminiSetDlgBase::BuildOptionsPage(bool AWithMainGross)
{
    const TMiniOptionsPage optionsPage = BuildMiniOptionsPage(tabOptions, this, AWithMainGross);
    trlMRPFilters = optionsPage.Filters;
    actSetMRPFilter = optionsPage.SetFilter;
    gbxOptions = optionsPage.Options;
    connect(trlMRPFilters, &kvui::TreeList::nodeCheckChanged, this, [this] { UpdateCareAlloted(); });
    connect(trlMRPFilters, &kvui::TreeList::focusedNodeChanged, this, [this] { ActionListUpdate(); });
    trlMRPFilters->viewport()->installEventFilter(this);
    connect(actSetMRPFilter, &QAction::triggered, this, [this] { actSetMRPFilterExecute(); });

    FSchemeGroup->setVisible(false);
    connect(Pages, &QTabWidget::currentChanged, this, [this] { FSchemeGroup->setVisible(Pages->currentWidget() == tabOptions); });
}

kvui::Column* TMRPminiSetDlgBase::Column(const QString& AFieldName) const
{
    return MiniGridColumn(grdMain, AFieldName);
}

QVariant TMRPminiSetDlgBase::LineValue(int ALine, const QString& AField) const
{
    return FMainSource ? FMainSource->fieldValue(ALine, AField) : QVariant();
}

void TMRPminiSetDlgBase::SetLineValue(int ALine, const QString& AField, const QVariant& AValue)
{
    if (FMainSource)
        FMainSource->setFieldValue(ALine, AField, AValue);
}

void TMRPminiSetDlgBase::LoadSharedSettings()
{
    const QString& p = ViewScheme.Params;
    LoadMiniMRPFilters(trlMRPFilters, p);
    gbxOptions->LoadOptions(p);
    UpdateCareAlloted();
    chkShowFilter->setChecked(ReadViewSchemeParam(p, QStringLiteral("[NeedFilter]")) == QLatin1String("1"));
}

QString TMRPminiSetDlgBase::SharedSettings() const
{
    QString p = ViewScheme.Params;
    TMRPFilterTree::MRPFiltersSaveSettings(trlMRPFilters, p);
    p = gbxOptions->SaveOptions(p);
    return WriteViewSchemeParam(p, QStringLiteral("[NeedFilter]"), chkShowFilter->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TMRPminiSetDlgBase::UpdateCareAlloted()
{
    bool anySource = false, orders = false;
    MiniMRPFiltersChecked(trlMRPFilters, anySource, orders);
    // Only the kit analysis has the box of the main demand's gross need.
    if (QCheckBox* mainGross = gbxOptions->chkMainGross) {
        mainGross->setEnabled(anySource);
        if (!anySource)
            mainGross->setChecked(true);
    }
    gbxOptions->chkCareAlloted->setEnabled(orders);
    if (!orders)
        gbxOptions->chkCareAlloted->setChecked(false);
}

int TMRPminiSetDlgBase::LineCount() const
{
    return FMainSource ? FMainSource->recordCount() : 0;
}

QList<int> TMRPminiSetDlgBase::Lines() const
{
    QList<int> out;
    for (int i = 0; i < LineCount(); ++i)
        out << i;
    return out;
}

void TMRPminiSetDlgBase::NeedDelete()
{
    if (!FMainSource)
        return;
    QList<int> lines = grdMain->selectedRecordIndexes();
    if (lines.isEmpty() && grdMain->focusedRecordIndex() >= 0)
        lines << grdMain->focusedRecordIndex();
    FMainSource->deleteRecords(lines);
    grdMain->refresh();
    ActionListUpdate();
}

void TMRPminiSetDlgBase::NeedClear()
{
    if (!FMainSource)
        return;
    TMRPWaitCursor wait;
    FMainSource->deleteRecords(Lines());
    grdMain->refresh();
    ActionListUpdate();
}

void TMRPminiSetDlgBase::actSetMRPFilterExecute()
{
    ActionListUpdate();
    if (actSetMRPFilter->isEnabled())
        TMRPFilterTree::MRPFiltersShowFilter(trlMRPFilters, ViewScheme.Params, false);
}

bool TMRPminiSetDlgBase::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AEvent->type() == QEvent::MouseButtonDblClick && AObject == trlMRPFilters->viewport() && trlMRPFilters->focusedNode())
        QMetaObject::invokeMethod(this, [this] { actSetMRPFilterExecute(); }, Qt::QueuedConnection);
    return TViewSettingDlg::eventFilter(AObject, AEvent);
}

bool ShowMiniSetDlg(const std::function<std::unique_ptr<TMRPminiSetDlgBase>()>& AMake, TViewScheme& AScheme,
                    TPlanScheme* APlanScheme)
{
    try {
        std::unique_ptr<TMRPminiSetDlgBase> dlg = AMake();
        dlg->OrigScheme = &AScheme;
        dlg->ViewScheme.ID = AScheme.ID;
        dlg->ViewScheme.Mask = AScheme.Mask;
        dlg->ViewScheme.Supports = AScheme.Supports;
        dlg->FPlanScheme = APlanScheme;
        {
            TMRPWaitCursor wait;
            dlg->Prepare();
        }
        if (dlg->exec() != QDialog::Accepted)
            return false;
        AScheme.Params = dlg->ViewScheme.Params;
        return true;
    } catch (const std::exception& e) {
        ShowError(QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %1").arg(QString::fromUtf8(e.what())), -1);
        return false;
    }
}

void TMRPminiSetDlgBase::done(int r)
{
    if (r == QDialog::Accepted) {
        if (!SaveScheme())
            return;
        const bool enabled = grdMain->isEnabled();
        grdMain->setEnabled(false);
        bool ok = false;
        try {
            ok = CloseWithOk();
        } catch (const std::exception& e) {
            ShowExceptionMessage(e);
        }
        grdMain->setEnabled(enabled);
        if (!ok)
            return;
    }
    TViewSettingDlg::done(r);
}
