// The workbench frame (TMRPFrame): its controls, the result tabs, idle and
// command routing, closing, the state display and the main-demand, MRP-run and
// run-log commands. The scheme tab (list, maintenance, parameters) is in
// famMRPScheme.cpp.
#include "famMRP.h"
#include "famMRPPrivate.h"
#include "untMRPStateSync.h"

#include "Ado.h"
#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "famDoResults.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untMRPRunCmd.h"
#include "untMRPViewUtils.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QString kInEditing = QStringLiteral("视图[%s]处于编辑状态, 不能刷新计划方案!");
const QString kQuitEditing = QStringLiteral("您将退出[%s]的当前编辑状态, 对未保存过的内容进行保存?");

const char* const kTagProperty = "Tag";

// A stored date-time (days since 1899-12-30) as shown: nothing before 2000.
QString timeText(TDateTime AValue)
{
    const QDateTime t = QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addMSecs(qRound64(AValue * 86400000.0));
    if (t.date().year() < 2000)
        return QString();
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

// A tab caption without its hot-key marker: " 主需求(&1) " gives "主需求".
QString plainCaption(const QString& ACaption)
{
    QString s = ACaption;
    s.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    s.remove(u'&');
    return s.trimmed();
}

QString objectIDOfTab(const TMRPFrame* AFrame, const QWidget* ATab)
{
    if (ATab == AFrame->tabMain)
        return QStringLiteral("QZ_MRP.MRP.Main");
    if (ATab == AFrame->tabAllot)
        return QStringLiteral("QZ_MRP.MRP.Allot");
    if (ATab == AFrame->tabBalance)
        return QStringLiteral("QZ_MRP.MRP.Balance");
    if (ATab == AFrame->tabSupplies)
        return QStringLiteral("QZ_MRP.MRP.Supplies");
    if (ATab == AFrame->tabReplace)
        return QStringLiteral("QZ_MRP.MRP.Replaces");
    return QString();
}

QComboBox* newCombo(QWidget* AParent, const char* AName, const QStringList& AItems, int AIndex)
{
    auto* combo = new QComboBox(AParent);
    combo->setObjectName(QString::fromLatin1(AName));
    combo->addItems(AItems);
    combo->setCurrentIndex(AIndex);
    return combo;
}

QLineEdit* newReadOnlyEdit(QWidget* AParent, const char* AName)
{
    auto* edit = new QLineEdit(AParent);
    edit->setObjectName(QString::fromLatin1(AName));
    edit->setReadOnly(true);
    return edit;
}

QToolButton* newActionButton(QWidget* AParent, QAction* AAction, const char* AName = nullptr)
{
    auto* button = new QToolButton(AParent);
    if (AName)
        button->setObjectName(QString::fromLatin1(AName));
    button->setDefaultAction(AAction);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // A button shows only while its action is visible.
    button->setVisible(AAction->isVisible());
    QObject::connect(AAction, &QAction::changed, button, [button, AAction] { button->setVisible(AAction->isVisible()); });
    return button;
}

} // namespace

TMRPFrame::TMRPFrame(TInfoObjectDef* AObjectDef, bool AMaintainMode, QWidget* AOwner)
    : TCustomInfoFrame(AOwner), FSchemeDef(AObjectDef), FMaintainMode(AMaintainMode)
{
    // The frame's own view scheme keeps the options of its main-demand source.
    if (FSchemeDef) {
        FViewScheme.ID = FSchemeDef->ID;
        LoadViewScheme(FViewScheme);
        setWindowTitle(FSchemeDef->Name);
    }

    dbConnection = new TADOConnection(this);
    SetupADOConnection(dbConnection);
    if (InfoApplication) {
        const TLoginInfo& info = InfoApplication->LoginInfo;
        ApplyConnectionString(dbConnection, info.DBType, info.DBLocation, info.DBName, info.DBLoginID, info.DBPassword,
                              info.DBOptions, false);
    }
    FPlanScheme = std::make_unique<TPlanScheme>(dbConnection);
    FPlanSchemeUIEvents.RunMPS = [this](QObject* sender) { actRunMPSExecute(sender); };
    FPlanSchemeUIEvents.RunMRP = [this](QObject* sender) { actRunMRPExecute(sender); };
    FPlanSchemeUIEvents.RefreshState = [this](QObject* sender) { DoRefreshPlanState(sender); };
    FPlanSchemeUIEvents.CheckState = [this](bool refresh) { return CheckPlanState(refresh); };

    CreateControls();
    if (InfoApplication)
        if (TSystemEnumList* modes = InfoApplication->GetSystemEnumList(QStringLiteral("MrpTrackType")))
            for (int i = 0; i < modes->Count(); ++i)
                cboCareMRPTrackMode->addItem(modes->Strings(i), modes->Objects(i));
    cboCareMRPTrackMode->setCurrentIndex(cboCareMRPTrackMode->count() > 0 ? 0 : -1);
    MRPFiltersSetupTree(trlMRPFilters);
    Pages->setCurrentWidget(tabScheme);

    // Each scheme action answers the command of its place in the definition's
    // action list; an action the list lacks (the user may not run it) none.
    for (QAction* a : {actSchemeNew, actSchemeCopy, actSchemeUpdate, actSchemeDelete, actRunMPS, actRunMRP})
        a->setProperty(kTagProperty, -1);
    if (!FMaintainMode)
        cboSchemeName->setFixedWidth(395);
    else if (FSchemeDef) {
        const std::pair<const char*, QAction*> kActionIDs[] = {
            {"New", actSchemeNew}, {"Copy", actSchemeCopy}, {"Update", actSchemeUpdate},
            {"Delete", actSchemeDelete}, {"MPS", actRunMPS}, {"MRP", actRunMRP},
        };
        for (int i = int(FSchemeDef->Actions.size()) - 1; i >= 0; --i)
            for (const auto& [id, action] : kActionIDs)
                if (FSchemeDef->Actions[size_t(i)].ID.compare(QLatin1String(id), Qt::CaseInsensitive) == 0)
                    action->setProperty(kTagProperty, i);
    }
    actRefreshExecute();
}

TMRPFrame::~TMRPFrame()
{
    // The views go before the scheme they are bound to.
    for (IInfoViewPtr* view : {&FMainFrame, &FAllotFrame, &FBalanceFrame, &FSuppliesFrame, &FReplaceFrame})
        view->reset();
    delete Pages;
    Pages = nullptr;
}

void TMRPFrame::CreateControls()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    layout->addWidget(Pages);

    auto newTab = [this](const char* name, const QString& caption) {
        auto* tab = new QWidget(Pages);
        tab->setObjectName(QString::fromLatin1(name));
        auto* tabLayout = new QVBoxLayout(tab);
        tabLayout->setContentsMargins(2, 2, 2, 2);
        Pages->addTab(tab, caption);
        return tab;
    };
    tabScheme = newTab("tabScheme", QStringLiteral(" 计划方案(&0) "));
    tabMain = newTab("tabMain", QStringLiteral(" 主需求(&1) "));
    tabAllot = newTab("tabAllot", QStringLiteral(" 需求分配(&2) "));
    tabBalance = newTab("tabBalance", QStringLiteral(" 供需平衡(&3) "));
    tabSupplies = newTab("tabSupplies", QStringLiteral(" 供应计划(&4) "));
    tabReplace = newTab("tabReplace", QStringLiteral(" 替代挪用(&5) "));

    auto newAction = [this](const char* name, const QString& caption, const QString& hint = QString()) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(hint.isEmpty() ? caption : hint);
        return a;
    };
    actRefresh = newAction("actRefresh", QStringLiteral("刷新(&R)"), QStringLiteral("刷新计划方案"));
    actSchemeNew = newAction("actSchemeNew", QStringLiteral("新建计划方案"));
    actSchemeCopy = newAction("actSchemeCopy", QStringLiteral("复制计划方案"));
    actSchemeUpdate = newAction("actSchemeUpdate", QStringLiteral("修改计划方案"));
    actSchemeDelete = newAction("actSchemeDelete", QStringLiteral("删除计划方案"));
    actSchemeSave = newAction("actSchemeSave", QStringLiteral("保存"), QStringLiteral("保存计划方案"));
    actSchemeRevert = newAction("actSchemeRevert", QStringLiteral("取消"), QStringLiteral("取消编辑计划方案"));
    actRunMPS = newAction("actRunMPS", QStringLiteral("获取主需求"));
    actRunMRP = newAction("actRunMRP", QStringLiteral("运算MRP"));
    actRunLog = newAction("actRunLog", QStringLiteral("运算日志"), QStringLiteral("显示MRP运算日志"));
    actRunLog->setCheckable(true);
    actSetPlanPeriods = newAction("actSetPlanPeriods", QStringLiteral(" 设置(&E)..."));
    actSetMRPFilter = newAction("actSetMRPFilter", QStringLiteral(" 条件(&L)..."));
    connect(actRefresh, &QAction::triggered, this, [this] { actRefreshExecute(actRefresh); });
    connect(actSchemeNew, &QAction::triggered, this, [this] { actSchemeNewExecute(); });
    connect(actSchemeCopy, &QAction::triggered, this, [this] { actSchemeCopyExecute(); });
    connect(actSchemeUpdate, &QAction::triggered, this, [this] { actSchemeUpdateExecute(); });
    connect(actSchemeDelete, &QAction::triggered, this, [this] { actSchemeDeleteExecute(); });
    connect(actSchemeSave, &QAction::triggered, this, [this] { actSchemeSaveExecute(); });
    connect(actSchemeRevert, &QAction::triggered, this, [this] { actSchemeRevertExecute(); });
    connect(actRunMPS, &QAction::triggered, this, [this] { actRunMPSExecute(actRunMPS); });
    connect(actRunMRP, &QAction::triggered, this, [this] { actRunMRPExecute(actRunMRP); });
    connect(actRunLog, &QAction::triggered, this, [this] { actRunLogExecute(actRunLog); });
    connect(actSetPlanPeriods, &QAction::triggered, this, [this] { actSetPlanPeriodsExecute(); });
    connect(actSetMRPFilter, &QAction::triggered, this, [this] { actSetMRPFilterExecute(); });

    // The compact selector on the result tabs.
    gbxSchemeList = new QGroupBox(Pages);
    gbxSchemeList->setObjectName(QStringLiteral("gbxSchemeList"));
    gbxSchemeList->setFlat(true);
    auto* listLayout = new QHBoxLayout(gbxSchemeList);
    listLayout->setContentsMargins(2, 0, 2, 0);
    listLayout->addWidget(new QLabel(QStringLiteral("方案:"), gbxSchemeList));
    cboScheme = new QComboBox(gbxSchemeList);
    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    cboScheme->setMinimumWidth(260);
    listLayout->addWidget(cboScheme);
    listLayout->addWidget(newActionButton(gbxSchemeList, actRefresh, "btnRefresh"));
    Pages->setCornerWidget(gbxSchemeList, Qt::TopRightCorner);

    // The scheme tab.
    gbxScheme = new QGroupBox(tabScheme);
    gbxScheme->setObjectName(QStringLiteral("gbxScheme"));
    tabScheme->layout()->addWidget(gbxScheme);
    auto* schemeLayout = new QVBoxLayout(gbxScheme);
    auto* top = new QHBoxLayout();
    schemeLayout->addLayout(top);
    lblSchemeName = new QLabel(QStringLiteral("计划方案(&S):"), gbxScheme);
    top->addWidget(lblSchemeName);
    cboSchemeName = new QComboBox(gbxScheme);
    cboSchemeName->setObjectName(QStringLiteral("cboSchemeName"));
    cboSchemeName->setMaxVisibleItems(20);
    cboSchemeName->setMinimumWidth(300);
    top->addWidget(cboSchemeName);
    edtSchemeName = new QLineEdit(gbxScheme);
    edtSchemeName->setObjectName(QStringLiteral("edtSchemeName"));
    edtSchemeName->setMaxLength(80);
    edtSchemeName->setMinimumWidth(300);
    edtSchemeName->hide();
    top->addWidget(edtSchemeName);
    lblSchemeName->setBuddy(cboSchemeName);
    for (QAction* a : {actSchemeNew, actSchemeCopy, actSchemeUpdate, actSchemeDelete, actSchemeSave, actSchemeRevert})
        top->addWidget(newActionButton(gbxScheme, a));
    top->addSpacing(12);
    btnGetMainData = newActionButton(gbxScheme, actRunMPS, "btnGetMainData");
    btnRunMRP = newActionButton(gbxScheme, actRunMRP, "btnRunMRP");
    btnRunLog = newActionButton(gbxScheme, actRunLog, "btnRunLog");
    top->addWidget(btnGetMainData);
    top->addWidget(btnRunMRP);
    top->addWidget(btnRunLog);
    top->addStretch(1);
    lblSchemeEditing = new QLabel(gbxScheme);
    lblSchemeEditing->setObjectName(QStringLiteral("lblSchemeEditing"));
    lblSchemeEditing->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont bold = lblSchemeEditing->font();
    bold.setBold(true);
    lblSchemeEditing->setFont(bold);
    QPalette blue = lblSchemeEditing->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 0xFF));
    lblSchemeEditing->setPalette(blue);
    top->addWidget(lblSchemeEditing);

    auto* body = new QHBoxLayout();
    schemeLayout->addLayout(body, 1);
    auto treeColumn = [this, body](const QString& caption, kvui::TreeList*& tree, const char* name, QAction* action, int stretch) {
        auto* column = new QVBoxLayout();
        auto* head = new QHBoxLayout();
        auto* label = new QLabel(caption, gbxScheme);
        head->addWidget(label);
        head->addStretch(1);
        head->addWidget(newActionButton(gbxScheme, action));
        column->addLayout(head);
        tree = new kvui::TreeList(gbxScheme);
        tree->setObjectName(QString::fromLatin1(name));
        label->setBuddy(tree);
        column->addWidget(tree, 1);
        body->addLayout(column, stretch);
    };
    treeColumn(QStringLiteral("展望期(&P):"), trlPlanPeriods, "trlPlanPeriods", actSetPlanPeriods, 2);
    trlPlanPeriods->addBand();
    trlPlanPeriods->addColumn()->setWidth(230);
    trlPlanPeriods->setShowHeaders(false);
    trlPlanPeriods->setShowBandHeaders(false);
    trlPlanPeriods->setShowIndicator(false);
    trlPlanPeriods->setEditingEnabled(false);
    treeColumn(QStringLiteral("参与范围(&C):"), trlMRPFilters, "trlMRPFilters", actSetMRPFilter, 3);
    trlPlanPeriods->viewport()->installEventFilter(this);
    trlMRPFilters->viewport()->installEventFilter(this);

    auto* params = new QFormLayout();
    body->addLayout(params, 3);
    cboMainSource = newCombo(gbxScheme, "cboMainSource",
                             {QStringLiteral("产品预测+销售订单"), QStringLiteral("仅销售订单"), QStringLiteral("仅产品预测"),
                              QStringLiteral("(导入排程)")},
                             0);
    cboNeedScope = newCombo(gbxScheme, "cboNeedScope",
                            {QStringLiteral("(全局物料需求)"), QStringLiteral("主需求+多级展开"), QStringLiteral("主需求+多级展开+同料待出"),
                             QStringLiteral("主毛需求+多级展开"), QStringLiteral("主毛需求+多级展开+同料待出"),
                             QStringLiteral("主需求+单级展开"), QStringLiteral("主需求+单级展开+同料待出"),
                             QStringLiteral("主毛需求+单级展开"), QStringLiteral("主毛需求+单级展开+同料待出")},
                            0);
    cboCareSafety = newCombo(gbxScheme, "cboCareSafety",
                             {QStringLiteral("(不考虑)"), QStringLiteral("有需求的考虑"), QStringLiteral("全部物料考虑")}, 1);
    cboCareItemReplace = newCombo(gbxScheme, "cboCareItemReplace",
                                  {QStringLiteral("(不考虑)"), QStringLiteral("即时库存"), QStringLiteral("即时库存+供应订单"),
                                   QStringLiteral("即时库存+供应订单+供应申请")},
                                  3);
    cboCareItemSuites = newCombo(gbxScheme, "cboCareItemSuites",
                                 {QStringLiteral("即时库存"), QStringLiteral("即时库存+采购在检"), QStringLiteral("即时库存+采购订单"),
                                  QStringLiteral("即时库存+采购订单+采购申请")},
                                 0);
    cboCareMRPTrackMode = newCombo(gbxScheme, "cboCareMRPTrackMode", {}, -1);
    params->addRow(QStringLiteral("主需求源(&X):"), cboMainSource);
    params->addRow(QStringLiteral("需求范围(&D):"), cboNeedScope);
    params->addRow(QStringLiteral("安全库存(&F):"), cboCareSafety);
    params->addRow(QStringLiteral("物料替代(&R):"), cboCareItemReplace);
    params->addRow(QStringLiteral("齐套计算(&T):"), cboCareItemSuites);
    params->addRow(QStringLiteral("跟踪合并(&H):"), cboCareMRPTrackMode);
    chkCareItemMRPTrack = new QCheckBox(QStringLiteral("考虑物料的计划跟踪合并参数(&I)"), gbxScheme);
    chkCareItemMRPTrack->setObjectName(QStringLiteral("chkCareItemMRPTrack"));
    chkCareLossRate = new QCheckBox(QStringLiteral("考虑BOM损耗率(&B)"), gbxScheme);
    chkCareLossRate->setObjectName(QStringLiteral("chkCareLossRate"));
    chkCareLossRate->setChecked(true);
    chkCareLotRule = new QCheckBox(QStringLiteral("考虑供应批量规则(&O)"), gbxScheme);
    chkCareLotRule->setObjectName(QStringLiteral("chkCareLotRule"));
    chkCareLotRule->setChecked(true);
    params->addRow(QString(), chkCareItemMRPTrack);
    params->addRow(QString(), chkCareLossRate);
    params->addRow(QString(), chkCareLotRule);
    edtCreater = newReadOnlyEdit(gbxScheme, "edtCreater");
    edtPlanState = newReadOnlyEdit(gbxScheme, "edtPlanState");
    edtUpdateTime = newReadOnlyEdit(gbxScheme, "edtUpdateTime");
    edtMpsRunTime = newReadOnlyEdit(gbxScheme, "edtMpsRunTime");
    edtMrpRunTime = newReadOnlyEdit(gbxScheme, "edtMrpRunTime");
    params->addRow(QStringLiteral("创建者:"), edtCreater);
    params->addRow(QStringLiteral("最新状态:"), edtPlanState);
    params->addRow(QStringLiteral("更新时间:"), edtUpdateTime);
    params->addRow(QStringLiteral("主需求时间:"), edtMpsRunTime);
    params->addRow(QStringLiteral("MRP时间:"), edtMrpRunTime);

    // The run log lies over the periods, the filter tree and the parameters,
    // below the row of scheme commands.
    FRunLog = std::make_unique<TMRPRunLogPanel>(tabScheme, gbxScheme, actRunLog);
    FRunLog->Geometry = [this] {
        const QRect area = gbxScheme->contentsRect();
        const int top = btnGetMainData->geometry().bottom() + 6;
        return QRect(area.left(), top, area.width(), std::max(0, area.bottom() - top));
    };
    FRunLog->UpdateSchemeControls = [this] { UpdateSchemeControls(); };
    gbxScheme->installEventFilter(this);

    connect(cboSchemeName, &QComboBox::currentIndexChanged, this, [this] { cboSchemePropertiesChange(cboSchemeName); });
    connect(cboScheme, &QComboBox::currentIndexChanged, this, [this] { cboSchemePropertiesChange(cboScheme); });
    connect(cboMainSource, &QComboBox::currentIndexChanged, this, [this] { cboMainSourcePropertiesChange(); });
    connect(cboNeedScope, &QComboBox::currentIndexChanged, this, [this] { cboNeedScopePropertiesChange(); });
    connect(Pages, &QTabWidget::currentChanged, this, [this](int index) { PagesChange(index); });
}

int TMRPFrame::ActionTag(const QAction* AAction)
{
    const QVariant tag = AAction ? AAction->property(kTagProperty) : QVariant();
    return tag.isValid() ? tag.toInt() : -1;
}

IInfoViewPtr& TMRPFrame::ResultViewRef(QWidget* ATab)
{
    static IInfoViewPtr none;
    none.reset();
    if (ATab == tabMain)
        return FMainFrame;
    if (ATab == tabAllot)
        return FAllotFrame;
    if (ATab == tabBalance)
        return FBalanceFrame;
    if (ATab == tabSupplies)
        return FSuppliesFrame;
    if (ATab == tabReplace)
        return FReplaceFrame;
    return none;
}

IInfoViewPtr TMRPFrame::ResultView(QWidget* ATab) const
{
    return const_cast<TMRPFrame*>(this)->ResultViewRef(ATab);
}

IInfoViewPtr TMRPFrame::GetActiveResultView() const
{
    return ResultView(Pages->currentWidget());
}

// ---- Tabs --------------------------------------------------------------------

void TMRPFrame::PagesChange(int AIndex)
{
    if (FPageChanging)
        return;
    QWidget* page = Pages->widget(AIndex);
    if (page != tabScheme && !ResultView(page) && !PagesPageChanging(page)) {
        // The tab cannot be entered: the previous one stays active.
        FPageChanging = true;
        Pages->setCurrentIndex(FCurrentPage);
        FPageChanging = false;
        return;
    }
    FCurrentPage = AIndex;
    UpdateSchemeControls();
}

bool TMRPFrame::PagesPageChanging(QWidget* ANewPage)
{
    if (ANewPage == tabScheme || !ANewPage)
        return true;
    IInfoViewPtr& view = ResultViewRef(ANewPage);
    if (view)
        return true;
    TMRPWaitCursor hourglass;
    TInfoObjectDef* def = InfoApplication ? InfoApplication->GetInfoObjectDef(objectIDOfTab(this, ANewPage)) : nullptr;
    if (!def)
        return false;
    IInfoViewPtr created = InfoApplication->GetInfoObjectView(def);
    if (!created)
        return false;
    view = created;
    view->SetParentControl(ANewPage);
    view->SetViewCaption(plainCaption(Pages->tabText(Pages->indexOf(ANewPage))));
    view->InitializeView(QString(), IInfoViewPtr());
    BindResultView(ANewPage);
    return true;
}

void TMRPFrame::BindResultView(QWidget* ATab)
{
    IInfoViewPtr view = ResultView(ATab);
    if (!view)
        return;
    IInfoViewPtr inner = view->GetRelationView(QString());
    IInfoView* frame = inner ? inner.get() : view.get();
    TPlanScheme* scheme = FPlanScheme.get();
    if (auto* main = dynamic_cast<TMRPMainFrame*>(frame))
        main->SetPlanScheme(scheme, dbConnection, FPlanSchemeUIEvents);
    else if (auto* allot = dynamic_cast<TMRPAllotFrame*>(frame))
        allot->SetPlanScheme(scheme, dbConnection, FPlanSchemeUIEvents);
    else if (auto* balance = dynamic_cast<TMRPBalanceFrame*>(frame))
        balance->SetPlanScheme(scheme, dbConnection);
    else if (auto* supplies = dynamic_cast<TMRPSuppliesFrame*>(frame))
        supplies->SetPlanScheme(scheme, dbConnection, FPlanSchemeUIEvents);
    else if (auto* replaces = dynamic_cast<TMRPReplacesFrame*>(frame))
        replaces->SetPlanScheme(scheme, dbConnection, FPlanSchemeUIEvents);
}

// ---- Idle, commands, closing ---------------------------------------------------

void TMRPFrame::ProcessIdle()
{
    QWidget* page = Pages->currentWidget();
    if (page != FActivePage) {
        FActivePage = page;
        if (IInfoViewPtr view = ResultView(page); view && !view->DataRefreshed())
            view->RefreshData(true);
    }
    TInfoObjectDef* def = FSchemeDef;
    if (IInfoViewPtr view = GetActiveResultView()) {
        IInfoViewPtr active = view->GetActiveView();
        def = active ? active->GetObjectDef() : view->GetObjectDef();
    }
    if (def != FActiveObjectDef) {
        FActiveObjectDef = def;
        RefreshMainUI();
    }
    kvui::TreeNode* node = trlMRPFilters->focusedNode();
    actSetMRPFilter->setEnabled(FSchemeEditing && node && node->imageIndex() > 0);
}

void TMRPFrame::RefreshMainUI()
{
    // Back in the workbench or on another tab: a state set elsewhere greys what it forbids.
    if (!FSchemeEditing && !FSchemeLoading && SyncPlanState(*FPlanScheme)) {
        UpdateSchemeControls();
        ShowPlanState();
    }
    if (InfoApplication)
        InfoApplication->ResetMainActionsBar(FMaintainMode ? FActiveObjectDef : nullptr, false);
}

QAction* TMRPFrame::SchemeActionOfIndex(int AIndex) const
{
    for (QAction* a : {actSchemeNew, actSchemeCopy, actSchemeUpdate, actSchemeDelete, actRunMPS, actRunMRP})
        if (ActionTag(a) == AIndex && AIndex >= 0 && a->isEnabled() && a->isVisible())
            return a;
    return nullptr;
}

bool TMRPFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    const int c = ACommandIndex;
    const bool known = c == Commands::Save || c == Commands::CancelEdits || (c >= Commands::Export && c <= Commands::PrintPreview)
                       || c == Commands::Fill || (c >= Commands::SchemeFields && c <= Commands::Relations)
                       || c == Commands::Refresh || c == Commands::RecordCount || c >= Commands::FirstAction;
    if (!known)
        return false;
    if (IInfoViewPtr view = GetActiveResultView())
        return view->QueryCommandState(c, AState);
    AState = TCommandState();
    auto enabledIf = [&AState](bool on) {
        if (on)
            AState |= csEnabled;
    };
    if (c == Commands::Save)
        enabledIf(actSchemeSave->isEnabled() && actSchemeSave->isVisible());
    else if (c == Commands::CancelEdits)
        enabledIf(actSchemeRevert->isEnabled() && actSchemeRevert->isVisible());
    else if (c >= Commands::Export && c <= Commands::PrintPreview) {
        if (FRunLog->Visible())
            return FRunLog->Frame()->QueryCommandState(c, AState);
    } else if (c == Commands::Refresh)
        enabledIf(actRefresh->isEnabled());
    else if (c >= Commands::FirstAction)
        enabledIf(SchemeActionOfIndex(c - Commands::FirstAction) != nullptr);
    return true;
}

bool TMRPFrame::ExecCommand(int ACommandIndex)
{
    const int c = ACommandIndex;
    const bool known = c == Commands::Save || c == Commands::CancelEdits || (c >= Commands::Export && c <= Commands::PrintPreview)
                       || c == Commands::Fill || (c >= Commands::SchemeFields && c <= Commands::Relations)
                       || c == Commands::Refresh || c == Commands::RecordCount || c >= Commands::FirstAction;
    if (!known)
        return false;
    if (IInfoViewPtr view = GetActiveResultView()) {
        if (c == Commands::RecordCount)
            return false;
        return view->ExecCommand(c);
    }
    if (c == Commands::Save) {
        if (actSchemeSave->isEnabled() && actSchemeSave->isVisible())
            actSchemeSaveExecute();
    } else if (c == Commands::CancelEdits) {
        if (actSchemeRevert->isEnabled() && actSchemeRevert->isVisible())
            actSchemeRevertExecute();
    } else if (c >= Commands::Export && c <= Commands::PrintPreview) {
        if (FRunLog->Visible())
            return FRunLog->Frame()->ExecCommand(c);
    } else if (c == Commands::Refresh) {
        if (actRefresh->isEnabled())
            actRefreshExecute(actRefresh);
    } else if (c >= Commands::FirstAction) {
        if (QAction* a = SchemeActionOfIndex(c - Commands::FirstAction))
            a->trigger();
    }
    return true;
}

bool TMRPFrame::QueryClose()
{
    if (FSchemeEditing) {
        Pages->setCurrentWidget(tabScheme);
        const int answer = ShowQuestion(FormatMessage(kQuitEditing, {plainCaption(Pages->tabText(0))}),
                                        int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
        if (answer == kvos::IDCANCEL)
            return false;
        if (answer == kvos::IDYES) {
            actSchemeSaveExecute();
            if (FSchemeEditing)
                return false;
        }
    }
    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace}) {
        IInfoViewPtr view = ResultView(tab);
        if (view && view->NeedSave()) {
            Pages->setCurrentWidget(tab);
            if (!view->QueryClose())
                return false;
        }
    }
    if (!FViewScheme.ID.isEmpty())
        SaveViewScheme(FViewScheme, true);
    return true;
}

bool TMRPFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == gbxScheme && AEvent->type() == QEvent::Resize && FRunLog)
        FRunLog->Relayout();
    if (AEvent->type() == QEvent::MouseButtonDblClick) {
        const QPoint pos = static_cast<QMouseEvent*>(AEvent)->position().toPoint();
        kvui::TreeNode* focused = trlMRPFilters->focusedNode();
        if (AObject == trlMRPFilters->viewport() && focused && trlMRPFilters->rowAt(pos) == trlMRPFilters->rowOfNode(focused)) {
            QMetaObject::invokeMethod(this, [this] { actSetMRPFilterExecute(); }, Qt::QueuedConnection);
        } else if (AObject == trlPlanPeriods->viewport()) {
            QMetaObject::invokeMethod(this, [this] { actSetPlanPeriodsExecute(); }, Qt::QueuedConnection);
        }
    }
    return TCustomInfoFrame::eventFilter(AObject, AEvent);
}

// ---- State display and control state ------------------------------------------

bool TMRPFrame::CheckPlanState(bool ARefreshData)
{
    const bool ok = FPlanScheme->CheckState();
    if (!ok) {
        if (ARefreshData)
            actRefreshExecute();
        else {
            UpdateSchemeControls();
            ShowPlanState();
        }
    }
    return ok;
}

void TMRPFrame::DoRefreshPlanState(QObject*)
{
    FPlanScheme->LoadState();
    ShowPlanState();
}

void TMRPFrame::ShowPlanState()
{
    const TPlanScheme& s = *FPlanScheme;
    if (s.SchemeIID == 0) {
        edtUpdateTime->clear();
        edtMpsRunTime->clear();
        edtMrpRunTime->clear();
    } else {
        edtUpdateTime->setText(timeText(std::max({s.CreateTime, s.UpdateTime, s.MpsUpdTime, s.MrpUpdTime})));
        edtMpsRunTime->setText(timeText(s.MpsRunTime));
        edtMrpRunTime->setText(timeText(s.MrpRunTime));
    }
    edtPlanState->setText(s.GetPlanStateText());
    const int state = s.PlanState;
    const bool stale = s.SchemeIID != 0
                       && (state == psSchemeChangedRefetch || state == psMainDemandChanged || state == psSchemeChangedRerun
                           || state == psMRPResultChanged);
    QPalette p = edtPlanState->palette();
    p.setColor(QPalette::Text, stale ? QColor(0xFF, 0, 0) : palette().color(QPalette::WindowText));
    edtPlanState->setPalette(p);

    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace}) {
        IInfoViewPtr view = ResultView(tab);
        if (!view)
            continue;
        IInfoViewPtr inner = view->GetRelationView(QString());
        IInfoView* frame = inner ? inner.get() : view.get();
        if (auto* main = dynamic_cast<TMRPMainFrame*>(frame))
            main->RefreshPlanState();
        else if (auto* allot = dynamic_cast<TMRPAllotFrame*>(frame))
            allot->RefreshPlanState();
        else if (auto* balance = dynamic_cast<TMRPBalanceFrame*>(frame))
            balance->RefreshPlanState();
        else if (auto* supplies = dynamic_cast<TMRPSuppliesFrame*>(frame))
            supplies->RefreshPlanState();
        else if (auto* replaces = dynamic_cast<TMRPReplacesFrame*>(frame))
            replaces->RefreshPlanState();
    }
}

void TMRPFrame::UpdateSchemeControls()
{
    const TPlanScheme& s = *FPlanScheme;
    const bool editing = FSchemeEditing;
    const bool selectable = s.SchemeIID != 0 && !s.Editing;
    const bool logShown = actRunLog->isChecked();
    const int state = s.PlanState;

    gbxSchemeList->setVisible(Pages->currentWidget() != tabScheme);
    lblSchemeEditing->setVisible(editing);

    const bool browseVisible = FMaintainMode && !editing;
    for (QAction* a : {actSchemeNew, actSchemeCopy, actSchemeUpdate, actSchemeDelete, actRunMPS, actRunMRP, actRunLog})
        a->setVisible(browseVisible);
    actSchemeSave->setVisible(FMaintainMode && editing);
    actSchemeRevert->setVisible(FMaintainMode && editing);
    actSetPlanPeriods->setVisible(FMaintainMode);
    actSetMRPFilter->setVisible(FMaintainMode);

    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace})
        Pages->setTabEnabled(Pages->indexOf(tab), s.SchemeIID != 0 && !editing);

    actSchemeNew->setEnabled(browseVisible && !FSchemeLoadErr && !s.Editing && !logShown);
    actSchemeCopy->setEnabled(selectable && browseVisible && !logShown);
    actSchemeUpdate->setEnabled(selectable && browseVisible && !logShown && state < psReleased);
    actSchemeDelete->setEnabled(selectable && browseVisible && !logShown && state != psReleased && state != psOutputStarted);
    actSchemeSave->setEnabled(FMaintainMode && editing && (s.SchemeIID == 0 || state < psReleased));
    actSchemeRevert->setEnabled(FMaintainMode && editing);
    actRunMPS->setEnabled(selectable && browseVisible && !logShown && state < psReleased);
    actRunMRP->setEnabled(selectable && browseVisible && state >= psMainDemandReady && state <= psReleaseCancelled);
    actRunLog->setEnabled(selectable && browseVisible && (logShown || yearOf(s.MrpRunTime) >= 2000));
    actSetPlanPeriods->setEnabled(editing);

    for (QWidget* w : std::initializer_list<QWidget*>{cboMainSource, cboNeedScope, cboCareSafety, cboCareItemReplace,
                                                     cboCareItemSuites, cboCareMRPTrackMode, chkCareItemMRPTrack,
                                                     chkCareLossRate, chkCareLotRule})
        w->setEnabled(editing);
    MRPFiltersSetEditable(trlMRPFilters, editing);
    for (QWidget* w : std::initializer_list<QWidget*>{trlPlanPeriods, trlMRPFilters, edtCreater, edtPlanState, edtUpdateTime,
                                                     edtMpsRunTime, edtMrpRunTime})
        w->setEnabled(!logShown);
}

bool TMRPFrame::CanRefreshScheme()
{
    if (FSchemeEditing) {
        ShowWarning(FormatMessage(kInEditing, {plainCaption(Pages->tabText(Pages->indexOf(tabScheme)))}));
        Pages->setCurrentWidget(tabScheme);
        return false;
    }
    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace}) {
        IInfoViewPtr view = ResultView(tab);
        if (view && view->GetEditMode()) {
            ShowWarning(FormatMessage(kInEditing, {plainCaption(Pages->tabText(Pages->indexOf(tab)))}));
            Pages->setCurrentWidget(tab);
            return false;
        }
    }
    return true;
}

void TMRPFrame::CloseResultViews(bool AIncludeMain)
{
    for (QWidget* tab : {tabAllot, tabBalance, tabSupplies, tabReplace})
        if (IInfoViewPtr view = ResultView(tab))
            view->CloseData();
    if (AIncludeMain && FMainFrame)
        FMainFrame->CloseData();
}

// ---- Main demand, MRP run and run log ----------------------------------------------

TMRPCommandHost TMRPFrame::CommandHost()
{
    TMRPCommandHost host;
    host.Scheme = FPlanScheme.get();
    host.ViewSchemeParams = &FViewScheme.Params;
    host.CheckPlanState = [this](bool ARefreshData) { return CheckPlanState(ARefreshData); };
    host.Refresh = [this](QObject* ASender) { actRefreshExecute(ASender); };
    host.CloseResultViews = [this](bool AIncludeMain) { CloseResultViews(AIncludeMain); };
    host.ActivateSchemeTab = [this] { Pages->setCurrentWidget(tabScheme); };
    host.RunMRPSender = actRunMRP;
    return host;
}

void TMRPFrame::actRunMPSExecute(QObject*)
{
    if (!FMainFetch)
        FMainFetch = std::make_unique<TMRPMainFetch>(CommandHost());
    FMainFetch->Execute();
}

void TMRPFrame::actRunMRPExecute(QObject*)
{
    ExecuteRunMRP(CommandHost(), *FRunLog);
}

void TMRPFrame::actRunLogExecute(QObject* ASender)
{
    FRunLog->Execute(ASender, FPlanScheme->SchemeIID, FPlanScheme->PublicQuery());
}
