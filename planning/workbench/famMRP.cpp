#include "famMRP.h"
#include "untMRPStateSync.h"

#include "Ado.h"
#include "Exceptions.h"
#include "MessageBox.h"
#include "TreeList.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgSetPlanPeriods.h"
#include "famDoResults.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untMRPCopy.h"
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

const QString kLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString kInEditing = QStringLiteral("视图[%s]处于编辑状态, 不能刷新计划方案!");
const QString kQuitEditing = QStringLiteral("您将退出[%s]的当前编辑状态, 对未保存过的内容进行保存?");
const QString kEmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString kValueExists = QStringLiteral("[%s]的值(%s)已经存在!");
const QString kSchemeNameCaption = QStringLiteral("方案名称");
const QString kNoPeriods = QStringLiteral("展望期间不能为空, 请设置!");
const QString kCopyResults = QStringLiteral("计划方案[%s]已运算过MRP, 复制其结果数据至新方案?");
const QString kSaving = QStringLiteral("正在保存数据, 请稍候...");
const QString kCopyingAll = QStringLiteral("正在从计划方案[%s]复制全部数据至[%s], 请稍候...");
const QString kCopyingMain = QStringLiteral("正在从计划方案[%s]复制主需求数据至[%s], 请稍候...");
const QString kSaveFailed = QStringLiteral("保存过程中出现意外错误, 操作被中止!\r\r原因: %s");
const QString kReleasedSupplies = QStringLiteral("计划方案[%s]有%d条MRP供应计划已被投放, 删除后意味着不能进行追溯查询, 确定?");
const QString kDeleteScheme = QStringLiteral("删除计划方案[%s], 其主需求、MRP结果以及手工调整数据都被永久清除, 确定?");
const QString kDeleting = QStringLiteral("正在删除数据, 请稍候...");
const QString kDone = QStringLiteral("执行完成。");
const QString kStopped = QStringLiteral("执行过程中发现错误, 操作被停止!");

const char* const kTagProperty = "Tag";

// A stored date-time (days since 1899-12-30) as shown: nothing before 2000.
QString timeText(TDateTime AValue)
{
    const QDateTime t = QDateTime(QDate(1899, 12, 30), QTime(0, 0)).addMSecs(qRound64(AValue * 86400000.0));
    if (t.date().year() < 2000)
        return QString();
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

int yearOf(TDateTime AValue)
{
    return QDate(1899, 12, 30).addDays(qint64(AValue)).year();
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

void statusMessage(const QString& AText)
{
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(AText, mkHint);
}

QString loginUserID()
{
    return InfoApplication ? InfoApplication->LoginInfo.UserID : QString();
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

// ---- Scheme list ---------------------------------------------------------------

void TMRPFrame::actRefreshExecute(QObject* ASender)
{
    {
        FSchemeLoading = true;
        struct Reset {
            bool& Flag;
            ~Reset() { Flag = false; }
        } reset{FSchemeLoading};
        if (!CanRefreshScheme())
            return;
        FSchemeLoadErr = false;
        const int remembered = FPlanScheme->SchemeIID;
        const QSignalBlocker b1(cboScheme);
        const QSignalBlocker b2(cboSchemeName);
        cboScheme->clear();
        cboSchemeName->clear();
        const TLoginInfo login = InfoApplication ? InfoApplication->LoginInfo : TLoginInfo();
        const QString sql = BuildSchemeListSQL(FMaintainMode, login.UserID, login.UserGroups);
        try {
            ExecSQLText(GlobalADOQuery, sql, true, true, false);
            for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                const QString caption = SchemeListCaption(GlobalADOQuery->FieldByName(QStringLiteral("SchName"))->AsString(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("SchState"))->AsInteger(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("SchUsrID"))->AsString(),
                                                          GlobalADOQuery->FieldByName(QStringLiteral("UsrName"))->AsString(),
                                                          login.UserID);
                cboScheme->addItem(caption, GlobalADOQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger());
            }
            GlobalADOQuery->Close();
        } catch (const std::exception& e) {
            GlobalADOQuery->Close();
            cboScheme->clear();
            FSchemeLoadErr = true;
            Pages->setCurrentWidget(tabScheme);
            ShowError(FormatMessage(kLoadFailed, {QString::fromUtf8(e.what())}));
        }
        for (int i = 0; i < cboScheme->count(); ++i)
            cboSchemeName->addItem(cboScheme->itemText(i), cboScheme->itemData(i));
        if (cboScheme->count() > 0) {
            const int index = std::max(0, cboScheme->findData(remembered));
            cboScheme->setCurrentIndex(index);
            cboSchemeName->setCurrentIndex(index);
        }
        if (ASender != actRunMRP)
            FRunLog->LogSchemeIID = -1;
    }
    cboSchemePropertiesChange(cboScheme);
}

void TMRPFrame::SetSafetyItems(bool AWithAll)
{
    const QSignalBlocker block(cboCareSafety);
    if (AWithAll) {
        if (cboCareSafety->count() < 3)
            cboCareSafety->addItem(QStringLiteral("全部物料考虑"));
    } else if (cboCareSafety->count() > 2) {
        const bool all = cboCareSafety->currentIndex() == 2;
        cboCareSafety->removeItem(2);
        if (all)
            cboCareSafety->setCurrentIndex(1);
    }
}

void TMRPFrame::cboSchemePropertiesChange(QComboBox* ASender)
{
    if (FSchemeLoading || !ASender)
        return;
    FSchemeLoading = true;
    struct Reset {
        bool& Flag;
        ~Reset() { Flag = false; }
    } reset{FSchemeLoading};
    QComboBox* other = ASender == cboScheme ? cboSchemeName : cboScheme;
    if (!CanRefreshScheme()) {
        const QSignalBlocker block(ASender);
        ASender->setCurrentIndex(other->currentIndex());
        return;
    }
    TPlanScheme& s = *FPlanScheme;
    const int index = ASender->currentIndex();
    bool loaded = false;
    if (index >= 0 && s.Load(ASender->itemData(index).toInt())) {
        loaded = true;
        const QSignalBlocker b1(cboMainSource);
        const QSignalBlocker b2(cboNeedScope);
        cboMainSource->setCurrentIndex(s.PlanSource);
        cboNeedScope->setCurrentIndex(s.PlanNeedScope);
        SetSafetyItems(s.PlanNeedScope == 0);
        cboCareSafety->setCurrentIndex(std::min(s.CareItemSafety, cboCareSafety->count() - 1));
        cboCareItemReplace->setCurrentIndex(s.CareItemReplace);
        cboCareItemSuites->setCurrentIndex(s.CareItemSuites);
        cboCareMRPTrackMode->setCurrentIndex(cboCareMRPTrackMode->findData(s.CareMRPTrackMode));
        chkCareItemMRPTrack->setChecked(s.CareItemMRPTrack);
        chkCareLossRate->setChecked(s.CareItemLossRate);
        chkCareLotRule->setChecked(s.CareItemLotRule);
        edtCreater->setText(s.Creater);
    } else {
        const QSignalBlocker block(ASender);
        ASender->setCurrentIndex(-1);
        s.SchemeIID = 0;
        s.PlanPeriods.clear();
        s.DataFilters.clear();
        edtCreater->clear();
    }
    ShowPlanState();
    CloseResultViews(true);
    for (QWidget* tab : {tabMain, tabAllot, tabBalance, tabSupplies, tabReplace})
        BindResultView(tab);
    FillPlanPeriodTree(trlPlanPeriods, s.PlanPeriods);
    LoadMRPFilters();
    {
        const QSignalBlocker block(other);
        other->setCurrentIndex(ASender->currentIndex());
    }
    if (loaded)
        if (IInfoViewPtr view = GetActiveResultView()) {
            view->RefreshData(true);
            view->MakeFocus();
        }
    if (FRunLog->LogSchemeIID != s.SchemeIID)
        FRunLog->Release();
    UpdateSchemeControls();
}

// ---- Scheme maintenance --------------------------------------------------------

void TMRPFrame::StartEdit(QAction* AAction)
{
    Pages->setCurrentWidget(tabScheme);
    cboSchemeName->hide();
    edtSchemeName->show();
    edtSchemeName->setFocus();
    lblSchemeName->setBuddy(edtSchemeName);
    FSchemeEditing = true;
    lblSchemeEditing->setText(u'(' + AAction->text() + u')');
    UpdateSchemeControls();
}

void TMRPFrame::EndEdit()
{
    FSchemeEditing = false;
    FSchemeCopying = false;
    edtSchemeName->hide();
    cboSchemeName->show();
    lblSchemeName->setBuddy(cboSchemeName);
}

void TMRPFrame::actSchemeNewExecute()
{
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods.clear();
    FOldMRPFilters.clear();
    s.SchemeIID = 0;
    edtSchemeName->clear();
    edtCreater->setText(InfoApplication ? InfoApplication->LoginInfo.UserName : QString());
    for (QLineEdit* e : {edtPlanState, edtUpdateTime, edtMpsRunTime, edtMrpRunTime})
        e->clear();
    StartEdit(actSchemeNew);
}

void TMRPFrame::actSchemeCopyExecute()
{
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods = PlanPeriodsToText(s.PlanPeriods);
    FOldMRPFilters = s.DataFilters;
    s.SchemeIID = 0;
    edtSchemeName->clear();
    FSchemeCopying = true;
    edtCreater->setText(InfoApplication ? InfoApplication->LoginInfo.UserName : QString());
    edtPlanState->clear();
    edtUpdateTime->clear();
    StartEdit(actSchemeCopy);
}

void TMRPFrame::actSchemeUpdateExecute()
{
    if (!CheckPlanState(true))
        return;
    TPlanScheme& s = *FPlanScheme;
    FOldSchemeIID = s.SchemeIID;
    FOldPlanPeriods = PlanPeriodsToText(s.PlanPeriods);
    FOldMRPFilters = s.DataFilters;
    edtSchemeName->setText(s.SchemeName);
    StartEdit(actSchemeUpdate);
}

TSchemeParamValues TMRPFrame::ControlValues() const
{
    TSchemeParamValues v;
    v.PlanSource = cboMainSource->currentIndex();
    v.PlanNeedScope = cboNeedScope->currentIndex();
    v.CareItemSafety = cboCareSafety->currentIndex();
    v.CareItemReplace = cboCareItemReplace->currentIndex();
    v.CareItemSuites = cboCareItemSuites->currentIndex();
    v.CareMRPTrackMode = cboCareMRPTrackMode->currentData().toInt();
    v.CareItemMRPTrack = chkCareItemMRPTrack->isChecked();
    v.CareItemLossRate = chkCareLossRate->isChecked();
    v.CareItemLotRule = chkCareLotRule->isChecked();
    v.PeriodsText = PlanPeriodsToText(FPlanScheme->PlanPeriods);
    v.DataFilters = FPlanScheme->DataFilters;
    return v;
}

void TMRPFrame::actSchemeSaveExecute()
{
    if (!SaveScheme())
        return;
    EndEdit();
    actRefreshExecute(actSchemeSave);
    statusMessage(QString());
}

bool TMRPFrame::SaveScheme()
{
    TPlanScheme& s = *FPlanScheme;
    if (s.SchemeIID != 0 && !CheckPlanState(false))
        return false;
    const QString name = edtSchemeName->text().trimmed();
    if (name.isEmpty()) {
        ShowWarning(FormatMessage(kEmptyValue, {kSchemeNameCaption}));
        edtSchemeName->setFocus();
        return false;
    }
    const QString userID = loginUserID();
    if (s.SchemeIID == 0 || name.compare(s.SchemeName, Qt::CaseInsensitive) != 0) {
        const QString sql = QStringLiteral("select SchIID from QZ_MRP_Schemes with(nolock) where SchName=%1 and SchUsrID=%2")
                                .arg(QuotedStr(name), QuotedStr(userID));
        const bool ok = ExecSQLText(GlobalADOQuery, sql, true, false, true);
        const bool exists = ok && !GlobalADOQuery->Eof();
        GlobalADOQuery->Close();
        if (!ok)
            return false;
        if (exists) {
            ShowWarning(FormatMessage(kValueExists, {kSchemeNameCaption, name}));
            edtSchemeName->setFocus();
            return false;
        }
    }
    if (trlPlanPeriods->topCount() == 0) {
        ShowWarning(kNoPeriods);
        actSetPlanPeriodsExecute();
        return false;
    }
    MRPFiltersSaveSettings(trlMRPFilters, s.DataFilters);

    // What the scheme held before: restored when the save does not go through.
    const int prevIID = s.SchemeIID;
    const int prevType = s.PlanType;
    const int prevState = s.PlanState;
    const QString prevName = s.SchemeName;
    const QString prevCreater = s.Creater;
    TSchemeParamValues prev;
    prev.PlanSource = s.PlanSource;
    prev.PlanNeedScope = s.PlanNeedScope;
    prev.CareItemSafety = s.CareItemSafety;
    prev.CareItemReplace = s.CareItemReplace;
    prev.CareItemSuites = s.CareItemSuites;
    prev.CareMRPTrackMode = s.CareMRPTrackMode;
    prev.CareItemMRPTrack = s.CareItemMRPTrack;
    prev.CareItemLossRate = s.CareItemLossRate;
    prev.CareItemLotRule = s.CareItemLotRule;
    prev.PeriodsText = FOldPlanPeriods;
    prev.DataFilters = FOldMRPFilters;

    const TSchemeParamValues next = ControlValues();
    const bool isNew = s.SchemeIID == 0 && !FSchemeCopying;
    const bool periodsDiffer = next.PeriodsText != PlanPeriodsToText(s.MpsPeriods);
    bool copyResults = false;
    int state = 0;
    if (isNew) {
        s.PlanType = 0;
        state = NewSchemeState(next.PlanSource);
        s.Creater = userID;
    } else {
        state = SavedSchemeState(s.PlanState, prev, next);
        if (FSchemeCopying) {
            const bool sameSource = next.PlanSource != 3 && next.PlanSource == prev.PlanSource;
            if (yearOf(s.MrpRunTime) > 1900 && (sameSource || (next.PlanSource == 3 && !periodsDiffer))) {
                const int answer = ShowQuestion(FormatMessage(kCopyResults, {prevName}),
                                                int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
                if (answer == kvos::IDCANCEL)
                    return false;
                copyResults = answer == kvos::IDYES;
                if (!copyResults && state > psMainDemandReady)
                    state = psMainDemandReady;
            }
            s.Creater = userID;
            state = std::min(state, int(psMRPDone));
        }
    }

    s.SchemeName = name;
    s.PlanSource = next.PlanSource;
    s.PlanNeedScope = next.PlanNeedScope;
    s.PlanState = state;
    s.CareItemSafety = next.CareItemSafety;
    s.CareItemReplace = next.CareItemReplace;
    s.CareItemSuites = next.CareItemSuites;
    s.CareMRPTrackMode = next.CareMRPTrackMode;
    s.CareItemMRPTrack = next.CareItemMRPTrack;
    s.CareItemLossRate = next.CareItemLossRate;
    s.CareItemLotRule = next.CareItemLotRule;

    auto restore = [&] {
        s.SchemeIID = prevIID;
        s.PlanType = prevType;
        s.PlanState = prevState;
        s.SchemeName = prevName;
        s.Creater = prevCreater;
        s.PlanSource = prev.PlanSource;
        s.PlanNeedScope = prev.PlanNeedScope;
        s.CareItemSafety = prev.CareItemSafety;
        s.CareItemReplace = prev.CareItemReplace;
        s.CareItemSuites = prev.CareItemSuites;
        s.CareMRPTrackMode = prev.CareMRPTrackMode;
        s.CareItemMRPTrack = prev.CareItemMRPTrack;
        s.CareItemLossRate = prev.CareItemLossRate;
        s.CareItemLotRule = prev.CareItemLotRule;
    };

    TMRPWaitCursor hourglass;
    statusMessage(kSaving);
    // The row and everything copied into it are written together or not at all.
    try {
        kvado::ScopedTransaction tran(dbConnection);
        if (!s.Save()) {
            restore();
            statusMessage(QString());
            return false;
        }
        TADOQuery* q = s.PublicQuery();
        const int newIID = s.SchemeIID;
        if (FSchemeCopying) {
            ExecSQLText(q, BuildCopySchemeTimesSQL(FOldSchemeIID, newIID, copyResults || next.PlanSource != 3, copyResults),
                        false, true, false);
            if (copyResults) {
                statusMessage(FormatMessage(kCopyingAll, {prevName, name}));
                CopySchemeResults(FOldSchemeIID, newIID, q, false);
            } else if (next.PlanSource == 3) {
                statusMessage(FormatMessage(kCopyingMain, {prevName, name}));
                if (!s.CopyMPS(FOldSchemeIID, wtOverwriteAll, !periodsDiffer))
                    throw Exception(kStopped);
            } else {
                statusMessage(FormatMessage(kCopyingMain, {prevName, name}));
                ExecSQLText(q, BuildCopyMainSQL(FOldSchemeIID, newIID, next.PlanSource), false, true, false);
            }
        } else if (next.PlanSource == 3 && prevIID != 0 && periodsDiffer) {
            // The imported main demand is spread over the new periods.
            if (!s.CopyMPS(newIID, wtOverwriteAll, false))
                throw Exception(kStopped);
        }
        if (next.PlanSource == 3)
            ExecSQLText(q, QStringLiteral("update QZ_MRP_Schemes set SchMpsCalIID=%1, SchMpsPeriods=%2 where SchIID=%3")
                               .arg(QString::number(s.PlanCalIID), QuotedStr(next.PeriodsText), QString::number(newIID)),
                        false, true, false);
        tran.Commit();
    } catch (const std::exception& e) {
        restore();
        statusMessage(QString());
        ShowError(FormatMessage(kSaveFailed, {QString::fromUtf8(e.what())}));
        return false;
    }
    return true;
}

void TMRPFrame::actSchemeRevertExecute()
{
    EndEdit();
    FPlanScheme->SchemeIID = FOldSchemeIID;
    actRefreshExecute(actSchemeRevert);
}

void TMRPFrame::actSchemeDeleteExecute()
{
    if (!CheckPlanState(true))
        return;
    TPlanScheme& s = *FPlanScheme;
    const int buttons = int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2);
    bool asked = false;
    if (s.PlanState == psOutputClosed) {
        const bool ok = ExecSQLText(GlobalADOQuery,
                                    QStringLiteral("select Cnt=count(*) from QZ_MRP_Supplies with(nolock) where SupSchIID=%1 and SupDestQty>0")
                                        .arg(s.SchemeIID),
                                    true, false, true);
        const int count = ok && !GlobalADOQuery->Eof() ? GlobalADOQuery->FieldByName(QStringLiteral("Cnt"))->AsInteger() : 0;
        GlobalADOQuery->Close();
        if (!ok)
            return;
        if (count > 0) {
            if (ShowWarning(FormatMessage(kReleasedSupplies, {s.SchemeName, count}), buttons) != kvos::IDOK)
                return;
            asked = true;
        }
    }
    if (!asked && ShowWarning(FormatMessage(kDeleteScheme, {s.SchemeName}), buttons) != kvos::IDOK)
        return;
    if (!CheckPlanState(true))
        return;
    bool ok = false;
    {
        TMRPWaitCursor hourglass;
        statusMessage(kDeleting);
        // Every row of the scheme goes, or none does.
        try {
            kvado::ScopedTransaction tran(GlobalADOQuery->Connection());
            ok = ExecSQLText(GlobalADOQuery, BuildDeleteSchemeSQL(s.SchemeIID), false, false, true);
            if (ok)
                tran.Commit();
        } catch (const std::exception&) {
            ok = false;
        }
        actRefreshExecute(actSchemeDelete);
        statusMessage(QString());
    }
    if (ok)
        ShowInfo(kDone);
    else
        ShowError(kStopped);
}

// ---- Parameters ------------------------------------------------------------------

void TMRPFrame::LoadMRPFilters()
{
    LoadWorkbenchMRPFilters(trlMRPFilters, cboMainSource->currentIndex(), FPlanScheme->DataFilters);
    MRPFiltersSetEditable(trlMRPFilters, FSchemeEditing);
}

void TMRPFrame::cboMainSourcePropertiesChange()
{
    if (FSchemeLoading)
        return;
    // Filters of nodes that the new source hides stay in the text.
    MRPFiltersSaveSettings(trlMRPFilters, FPlanScheme->DataFilters);
    LoadMRPFilters();
}

void TMRPFrame::cboNeedScopePropertiesChange()
{
    SetSafetyItems(cboNeedScope->currentIndex() == 0);
}

void TMRPFrame::actSetMRPFilterExecute()
{
    if (FPlanScheme->SchemeIID == 0 && !actSetMRPFilter->isEnabled())
        return;
    MRPFiltersShowFilter(trlMRPFilters, FPlanScheme->DataFilters, !actSetMRPFilter->isEnabled());
}

void TMRPFrame::actSetPlanPeriodsExecute()
{
    if (!actSetPlanPeriods->isEnabled())
        return;
    TPlanScheme& s = *FPlanScheme;
    QDate start = QDate::currentDate();
    if (s.PlanPeriods.size() > 2) {
        const QDate first = QDate(1899, 12, 30).addDays(qint64(GetPlanBeginDate(s.PlanPeriods)));
        if (start > first)
            start = first;
    }
    if (ShowSetPlanPeriodsDlg(s.PlanPeriods, s.PlanCalIID, GlobalADOQuery, start))
        FillPlanPeriodTree(trlPlanPeriods, s.PlanPeriods);
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
