#pragma once
// The work frame of the two quick analyses, kit availability
// ("QZ_MRP.MRPmini", plan type 1) and production shortage
// ("QZ_MRP.LackAnalyze", plan type 2): it runs the MRP engine on a private,
// throw-away plan scheme of the logged-in user, asking for the analysis
// settings first, and shows the result in five tabs of the workbench's result
// views. Closing it deletes the private scheme with its results, together with
// the user's schemes of the same analysis older than a week.
#include "clsInfoFrame.h"
#include "clsInfoView.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"

#include <memory>

class QTabWidget;
class TMRPAllotFrame;
class TMRPBalanceFrame;
class TMRPOutputFrame;
class TMRPReplacesFrame;
class TMRPSuppliesFrame;

class TMRPminiFrame : public TCustomInfoFrame {
    Q_OBJECT
public:
    // Raises EAbort when the first analysis does not finish (settings
    // cancelled, run failed or stopped); the private scheme is gone again.
    explicit TMRPminiFrame(TInfoObjectDef* AObjectDef);
    ~TMRPminiFrame() override;

    void ProcessIdle() override;
    void RefreshMainUI() override;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // Runs the analysis. A null sender is a rerun asked by a result view (no
    // settings dialog); any other sender shows the settings dialog first.
    void actRunMRPExecute(QObject* Sender);

    enum TMiniTab { tabAllot, tabBalance, tabSupplies, tabReplace, tabOutput, MiniTabCount };
    // The view of the active tab; null for a tab not made yet.
    IInfoViewPtr GetActiveTabView() const;
    IInfoViewPtr TabView(int ATab) const { return FTabViews[ATab]; }

    QTabWidget* Pages = nullptr;
    TPlanScheme* PlanScheme() const { return FPlanScheme.get(); }
    TViewScheme& SettingsScheme() { return FViewScheme; }
    int PlanType() const { return FPlanScheme->PlanType; }

private:
    bool PagesPageChanging(int ANewPage);
    void DoRefreshPlanState(QObject* Sender);
    bool DoCheckPlanState(bool ARefreshData);
    void RefreshTabPlanStates();
    void CloseTabViewsData();
    // Hands the scheme to a tab's result frame.
    void BindTabView(int ATab);
    void DeleteSchemes();

    TInfoObjectDef* FSchemeDef;
    TViewScheme FViewScheme;
    IInfoViewPtr FTabViews[MiniTabCount];
    std::unique_ptr<TPlanScheme> FPlanScheme;
    QWidget* FActivePage = nullptr;
    bool FActivePageKnown = false;
    TInfoObjectDef* FActiveObjectDef = nullptr;
    TPlanSchemeUIEvents FPlanSchemeUIEvents;
    bool FComponentsMade = false;
    int FCurrentTab = 0;
    bool FSwitchingBack = false;
};

// The result frame behind a view that the host made: the main view of its
// composite view, of the expected class (null otherwise).
template <typename T>
T* MiniResultFrame(const IInfoViewPtr& AView)
{
    if (!AView)
        return nullptr;
    const IInfoViewPtr main = AView->GetRelationView(QString());
    return dynamic_cast<T*>(main ? main.get() : AView.get());
}
