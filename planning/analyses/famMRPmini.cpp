#include "famMRPmini.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgCheckOptions.h"
#include "dlgMRPLackSet.h"
#include "dlgMRPminiSet.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPOutput.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untMRPViewUtils.h"
#include "untMRPminiRunLog.h"
#include "untMRPminiSet.h"

#include <QDate>
#include <QGuiApplication>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

struct TabDef {
    const char* caption;
    const char* objectID;
    const char* viewID;
    const char* name;
};

const TabDef Tabs[TMRPminiFrame::MiniTabCount] = {
    {" 需求分配(&1) ", "QZ_MRP.MRP.Allot", "QZ_MRP.MRPmini.Allot", "tabAllot"},
    {" 供需平衡(&2) ", "QZ_MRP.MRP.Balance", "QZ_MRP.MRPmini.Balance", "tabBalance"},
    {" 供应计划(&3) ", "QZ_MRP.MRP.Supplies", "QZ_MRP.MRPmini.Supplies", "tabSupplies"},
    {" 替代挪用(&4) ", "QZ_MRP.MRP.Replaces", "QZ_MRP.MRPmini.Replaces", "tabReplace"},
    {" 计划投放(&5) ", "QZ_MRP.MRPOutput", "QZ_MRP.MRPmini.Output", "tabOutput"},
};

// The tab caption as a view caption: trimmed, without its accelerator.
QString ViewCaptionOf(const char* ACaption)
{
    QString s = QString::fromUtf8(ACaption).trimmed();
    const int amp = s.indexOf(QStringLiteral("(&"));
    if (amp >= 0)
        s = s.left(amp);
    return s.remove(u'&').trimmed();
}

// Commands passed on to the active tab's view (both questions).
bool IsForwardedCommand(int ACommand)
{
    switch (ACommand) {
    case 2: case 3: case 5: case 6: case 7: case 8: case 9: case 26:
    case 42: case 43: case 44: case 45: case 46: case 49:
        return true;
    default:
        return ACommand >= 100;
    }
}

struct StatusHint {
    explicit StatusHint(const QString& AText) { InfoApplication->ShowStatusMessage(AText, mkHint); }
    ~StatusHint() { InfoApplication->ShowStatusMessage(QString(), mkHint); }
};

} // namespace

TMRPminiFrame::TMRPminiFrame(TInfoObjectDef* AObjectDef)
    : TCustomInfoFrame(nullptr)
    , FSchemeDef(AObjectDef)
{
    setObjectName(QStringLiteral("MRPminiFrame"));
    FViewScheme.ID = AObjectDef->ID;
    LoadViewScheme(FViewScheme);

    FPlanScheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
    FPlanScheme->PlanType = AObjectDef->ID.compare(QStringLiteral("QZ_MRP.MRPmini"), Qt::CaseInsensitive) == 0 ? 1 : 2;

    // The row records when it was made, so that the clean-up of a later close
    // finds it once it is a week old.
    ExecSQLText(GlobalADOQuery,
                QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchNewTime) values (%1, '', %2, getdate())\r"
                               "select SchIID=@@identity")
                    .arg(QString::number(FPlanScheme->PlanType), QuotedStr(InfoApplication->LoginInfo.UserID)),
                true, true, false);
    FPlanScheme->SchemeIID = GlobalADOQuery->FieldByName(QStringLiteral("SchIID"))->AsInteger();
    GlobalADOQuery->Close();
    FPlanScheme->PlanState = psMainDemandReady;

    try {
        actRunMRPExecute(this);
        if (FPlanScheme->PlanState != psMRPDone)
            Abort();
    } catch (...) {
        DeleteSchemes();
        throw;
    }

    Pages = new QTabWidget(this);
    Pages->setObjectName(QStringLiteral("Pages"));
    for (const TabDef& t : Tabs) {
        auto* page = new QWidget(Pages);
        page->setObjectName(QString::fromLatin1(t.name));
        auto* box = new QVBoxLayout(page);
        box->setContentsMargins(0, 0, 0, 0);
        Pages->addTab(page, QString::fromUtf8(t.caption));
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Pages);
    FComponentsMade = true;

    FPlanSchemeUIEvents.RunMRP = [this](QObject* ASender) { actRunMRPExecute(ASender); };
    FPlanSchemeUIEvents.RefreshState = [this](QObject* ASender) { DoRefreshPlanState(ASender); };
    FPlanSchemeUIEvents.CheckState = [this](bool ARefreshData) { return DoCheckPlanState(ARefreshData); };

    Pages->setCurrentIndex(tabAllot);
    PagesPageChanging(tabAllot);
    connect(Pages, &QTabWidget::currentChanged, this, [this](int AIndex) {
        if (FSwitchingBack)
            return;
        if (!PagesPageChanging(AIndex)) {
            FSwitchingBack = true;
            Pages->setCurrentIndex(FCurrentTab);
            FSwitchingBack = false;
            return;
        }
        FCurrentTab = AIndex;
    });
}

TMRPminiFrame::~TMRPminiFrame()
{
    for (IInfoViewPtr& v : FTabViews)
        v.reset();
    delete Pages;
    Pages = nullptr;
    DeleteSchemes();
}

void TMRPminiFrame::DeleteSchemes()
{
    if (!FPlanScheme || FPlanScheme->SchemeIID == 0)
        return;
    QString sql = QStringLiteral("delete QZ_MRP_Schemes where SchIID=%1 or SchType=%2 and SchUsrID=%3 and SchNewTime<getdate()-7\r")
                      .arg(QString::number(FPlanScheme->SchemeIID), QString::number(FPlanScheme->PlanType),
                           QuotedStr(InfoApplication->LoginInfo.UserID));
    const std::pair<const char*, const char*> tables[] = {
        {"QZ_MRP_Main", "ManSchIID"},       {"QZ_MRP_Demands", "DmdSchIID"}, {"QZ_MRP_Supplies", "SupSchIID"},
        {"QZ_MRP_SupAdjusts", "AdjSchIID"}, {"QZ_MRP_Allots", "AltSchIID"},  {"QZ_MRP_DestAlters", "DstSchIID"},
        {"QZ_MRP_Balance", "BalSchIID"},    {"QZ_MRP_RunLog", "LogSchIID"}};
    QStringList orphans;
    for (const auto& [table, column] : tables)
        orphans << QStringLiteral("delete d from %1 as d left join QZ_MRP_Schemes on %2=SchIID where SchIID is null")
                       .arg(QString::fromLatin1(table), QString::fromLatin1(column));
    sql += orphans.join(u'\r');
    ExecSQLText(GlobalADOQuery, sql, false, false, true);
    FPlanScheme->SchemeIID = 0;
}

void TMRPminiFrame::actRunMRPExecute(QObject* Sender)
{
    bool keepType = false, keepBom = false, keepQty = false;
    const int planType = FPlanScheme->PlanType;
    if (Sender) {
        const bool ok = planType == 1 ? ShowMRPminiSetDlg(FViewScheme, FPlanScheme.get())
                                      : ShowMRPLackSetDlg(&FViewScheme, FPlanScheme.get());
        if (!ok)
            return;
    } else if (MiniDateTimeToDate(FPlanScheme->MrpUpdTime).year() > 1900) {
        // Results were edited after the last run: the user picks which edits stay.
        TBooleanDynArray checks{true, true, true};
        if (!ShowCheckOptionsDlg({QStringLiteral("供应类型调整(&1)"), QStringLiteral("供应BOM调整(&2)"),
                                  QStringLiteral("供应数量调整(&3)")},
                                 checks, QStringLiteral("保留以下内容:"), QStringLiteral("重新运算MRP")))
            return;
        keepType = checks.value(0);
        keepBom = checks.value(1);
        keepQty = checks.value(2);
    }

    bool success = false;
    {
        TMRPWaitCursor wait;
        StatusHint hint(planType == 1 ? QStringLiteral("正在进行物料配套分析, 请稍候...")
                                      : QStringLiteral("正在进行生产缺料分析, 请稍候..."));
        // Its progress shows in a run log of its own; Esc there stops it.
        TMRPminiRunLog log(FSchemeDef->Name + QStringLiteral(" - 运算日志"));
        success = FPlanScheme->RunMRP(keepType, keepBom, keepQty, log.MessageProc());
        log.Finish(success);
        success = success && FPlanScheme->Load(FPlanScheme->SchemeIID);
        if (success && FComponentsMade) {
            CloseTabViewsData();
            if (Sender)
                for (int tab = 0; tab < MiniTabCount; ++tab)
                    BindTabView(tab);
            FActivePage = nullptr;
            FActivePageKnown = false;
            ProcessIdle();
        }
    }
    if (success && FComponentsMade)
        ShowInfo(QStringLiteral("执行完成。"), -1);
}

bool TMRPminiFrame::PagesPageChanging(int ANewPage)
{
    if (ANewPage < 0 || ANewPage >= MiniTabCount)
        return false;
    if (FTabViews[ANewPage])
        return true;
    TMRPWaitCursor wait;
    const TabDef& t = Tabs[ANewPage];
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QString::fromLatin1(t.objectID));
    if (!def)
        return false;
    IInfoViewPtr view = InfoApplication->GetInfoObjectView(def);
    if (!view)
        return false;
    FTabViews[ANewPage] = view;
    view->SetParentControl(Pages->widget(ANewPage));
    view->SetViewID(QString::fromLatin1(t.viewID));
    view->SetViewCaption(ViewCaptionOf(t.caption));
    view->InitializeView(QString(), IInfoViewPtr());
    BindTabView(ANewPage);
    return true;
}

void TMRPminiFrame::BindTabView(int ATab)
{
    const IInfoViewPtr& view = FTabViews[ATab];
    if (!view)
        return;
    TPlanScheme* scheme = FPlanScheme.get();
    switch (ATab) {
    case tabAllot:
        if (auto* f = MiniResultFrame<TMRPAllotFrame>(view))
            f->SetPlanScheme(scheme, GlobalADOConnection, FPlanSchemeUIEvents);
        break;
    case tabBalance:
        if (auto* f = MiniResultFrame<TMRPBalanceFrame>(view))
            f->SetPlanScheme(scheme, GlobalADOConnection);
        break;
    case tabSupplies:
        if (auto* f = MiniResultFrame<TMRPSuppliesFrame>(view))
            f->SetPlanScheme(scheme, GlobalADOConnection, FPlanSchemeUIEvents);
        break;
    case tabReplace:
        if (auto* f = MiniResultFrame<TMRPReplacesFrame>(view))
            f->SetPlanScheme(scheme, GlobalADOConnection, FPlanSchemeUIEvents);
        break;
    case tabOutput:
        if (auto* f = MiniResultFrame<TMRPOutputFrame>(view))
            f->SetPlanScheme(scheme, GlobalADOConnection);
        break;
    default:
        break;
    }
}

IInfoViewPtr TMRPminiFrame::GetActiveTabView() const
{
    if (!Pages)
        return IInfoViewPtr();
    const int index = Pages->currentIndex();
    return index >= 0 && index < MiniTabCount ? FTabViews[index] : IInfoViewPtr();
}

void TMRPminiFrame::DoRefreshPlanState(QObject*)
{
    FPlanScheme->LoadState();
    RefreshTabPlanStates();
}

bool TMRPminiFrame::DoCheckPlanState(bool)
{
    return true;
}

void TMRPminiFrame::RefreshTabPlanStates()
{
    if (auto* f = MiniResultFrame<TMRPAllotFrame>(FTabViews[tabAllot]))
        f->RefreshPlanState();
    if (auto* f = MiniResultFrame<TMRPBalanceFrame>(FTabViews[tabBalance]))
        f->RefreshPlanState();
    if (auto* f = MiniResultFrame<TMRPSuppliesFrame>(FTabViews[tabSupplies]))
        f->RefreshPlanState();
    if (auto* f = MiniResultFrame<TMRPReplacesFrame>(FTabViews[tabReplace]))
        f->RefreshPlanState();
    if (auto* f = MiniResultFrame<TMRPOutputFrame>(FTabViews[tabOutput]))
        f->RefreshPlanState();
}

void TMRPminiFrame::CloseTabViewsData()
{
    for (const IInfoViewPtr& v : FTabViews)
        if (v)
            v->CloseData();
}

void TMRPminiFrame::ProcessIdle()
{
    if (!Pages)
        return;
    QWidget* page = Pages->currentWidget();
    if (!FActivePageKnown || page != FActivePage) {
        FActivePage = page;
        FActivePageKnown = true;
        if (const IInfoViewPtr view = GetActiveTabView(); view && !view->DataRefreshed())
            view->RefreshData(true);
    }
    TInfoObjectDef* def = FSchemeDef;
    if (const IInfoViewPtr view = GetActiveTabView())
        if (const IInfoViewPtr active = view->GetActiveView())
            def = active->GetObjectDef();
    if (def != FActiveObjectDef) {
        FActiveObjectDef = def;
        RefreshMainUI();
    }
}

void TMRPminiFrame::RefreshMainUI()
{
    InfoApplication->ResetMainActionsBar(FActiveObjectDef, false);
}

bool TMRPminiFrame::QueryClose()
{
    for (int tab = 0; tab < MiniTabCount; ++tab) {
        const IInfoViewPtr& v = FTabViews[tab];
        if (!v)
            continue;
        if (v->NeedSave() && Pages)
            Pages->setCurrentIndex(tab);
        if (!v->QueryClose())
            return false;
    }
    SaveViewScheme(FViewScheme, true);
    return true;
}

bool TMRPminiFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex == 41) {
        AState = TCommandState(csEnabled);
        return true;
    }
    if (IsForwardedCommand(ACommandIndex) || ACommandIndex == 50) {
        if (const IInfoViewPtr view = GetActiveTabView())
            view->QueryCommandState(ACommandIndex, AState);
        return true;
    }
    return false;
}

bool TMRPminiFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex == 41) {
        actRunMRPExecute(this);
        return true;
    }
    if (IsForwardedCommand(ACommandIndex)) {
        if (const IInfoViewPtr view = GetActiveTabView())
            view->ExecCommand(ACommandIndex);
        return true;
    }
    return false;
}
