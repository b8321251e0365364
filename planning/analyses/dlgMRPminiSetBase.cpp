#include "dlgMRPminiSetBase.h"

#include "BandedGrid.h"
#include "ColumnFit.h"
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
#include <QPushButton>
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
    // The lines keep no layout of their own: columns fit what they show.
    kvui::ColumnFit::of(grdMain);
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

void TMRPminiSetDlgBase::AppendPickedLines(TCustomADODataSet* ADataSet, const QList<int>& ASelRecords,
                                           const std::function<QVariantMap()>& ALine)
{
    if (!ADataSet || !FMainSource)
        return;
    TMRPWaitCursor wait;
    grdMain->beginUpdate();
    for (int record : ASelRecords) {
        ADataSet->SetRecNo(record + 1);
        FMainSource->appendRecord(ALine());
    }
    grdMain->endUpdate();
    grdMain->refresh();
    ActionListUpdate();
}

QAction* TMRPminiSetDlgBase::MakeAction(const char* AName, const QString& AText, const std::function<void()>& ASlot)
{
    auto* a = new QAction(AText, this);
    a->setObjectName(QString::fromLatin1(AName));
    connect(a, &QAction::triggered, this, ASlot);
    return a;
}

void TMRPminiSetDlgBase::MakeRemoveActions()
{
    actNeedDelete = MakeAction("actNeedDelete", QStringLiteral("移除(&R)"), [this] { NeedDelete(); });
    actNeedClear = MakeAction("actNeedClear", QStringLiteral(" 全部移除(&C)"), [this] { NeedClear(); });
}

void TMRPminiSetDlgBase::AddActionButtons(QBoxLayout* ALayout, std::initializer_list<QAction*> AActions)
{
    for (QAction* a : AActions) {
        auto* b = new QPushButton(a->text(), tabMain);
        b->setObjectName(QStringLiteral("btn") + a->objectName().mid(3));
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        connect(a, &QAction::changed, b, [a, b] {
            b->setEnabled(a->isEnabled());
            b->setText(a->text());
        });
        ALayout->addWidget(b);
    }
}

void TMRPminiSetDlgBase::UpdateFilterAction()
{
    const kvui::TreeNode* node = trlMRPFilters->focusedNode();
    actSetMRPFilter->setEnabled(node && node->imageIndex() > 0);
}

bool TMRPminiSetDlgBase::AskSourceFilter(TInfoObjectDef* ADef, const QString& AObjectID, QString& ACode)
{
    if (!chkShowFilter->isChecked())
        return true;
    const QString section = QStringLiteral("[Src.") + AObjectID + u']';
    ACode = ReadViewSchemeParam(ViewScheme.Params, section);
    QString text;
    if (!InfoApplication->ShowFilterDlg(ADef, text, ACode, GlobalADOQuery, QString(), false))
        return false;
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, section, ACode);
    return true;
}

void TMRPminiSetDlgBase::ShowLinesPicker(const QString& ACaption, const QString& ASQL,
                                         const std::function<void(TCustomADODataSet*, const QList<int>&)>& APicked)
{
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FPickEditProperties->Caption = ACaption;
    FPickEditProperties->SQL = ASQL;
    FPickEditProperties->WhereOrder.clear();
    FPickEditProperties->TextField = QStringLiteral("单据编号");
    FPickEditProperties->MultiSelect = true;
    FPickEditProperties->AfterDataPicked = APicked;
    try {
        FPickEditProperties->ShowPicker(false);
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
    }
}

void TMRPminiSetDlgBase::Warn(QWidget* AFocus, const QString& AText)
{
    Pages->setCurrentWidget(tabMain);
    if (AFocus)
        AFocus->setFocus();
    ShowWarning(AText, -1);
}

void TMRPminiSetDlgBase::LineWarning(int ALine, const QString& AField, const QString& AText)
{
    grdMain->setFocusedRecordIndex(ALine);
    if (kvui::Column* c = Column(AField))
        grdMain->setFocusedColumn(c);
    Warn(grdMain, AText);
}

bool TMRPminiSetDlgBase::CheckLineKey(int ALine, const QString& AKey, QSet<QString>& AKeys, const QString& AMessage)
{
    if (AKeys.contains(AKey)) {
        const auto val = [this, ALine](const char* f) { return LineValue(ALine, QLatin1String(f)); };
        LineWarning(ALine, QStringLiteral("ManBillNo"),
                    AMessage.arg(InfoApplication->GetSystemEnumName(QStringLiteral("MrpBillType"), val("ManBillType").toInt()),
                                 val("ManBillNo").toString(), QString::number(val("ManBillEntry").toInt()),
                                 val("ItmNo").toString()));
        return false;
    }
    AKeys.insert(AKey);
    return true;
}

bool TMRPminiSetDlgBase::CheckLineDate(int ALine, const QDate& AToday, const QDate& ALimit, const QString& AQuestion, int& AAsked)
{
    QDate date = MiniValueToDate(LineValue(ALine, QStringLiteral("ManDate")));
    if (!date.isValid() || date < AToday) {
        if (AAsked == 0) {
            grdMain->setFocusedRecordIndex(ALine);
            AAsked = ShowWarning(AQuestion, int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
            if (AAsked != kvos::IDYES && AAsked != kvos::IDNO) {
                grdMain->setFocusedColumn(Column(QStringLiteral("ManDate")));
                Pages->setCurrentWidget(tabMain);
                grdMain->setFocus();
                return false;
            }
        }
        if (AAsked == kvos::IDYES) {
            date = AToday;
            SetLineValue(ALine, QStringLiteral("ManDate"), QDateTime(AToday, QTime()));
        }
    } else if (date > ALimit) {
        LineWarning(ALine, QStringLiteral("ManDate"),
                    QStringLiteral("[%1]的值没有小于或等于%2 !")
                        .arg(Column(QStringLiteral("ManDate"))->caption(), QLocale().toString(ALimit, QLocale::ShortFormat)));
        return false;
    }
    if (date.isValid() && date > FMaxDate)
        FMaxDate = date;
    return true;
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
