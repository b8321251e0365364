#pragma once
// The plan-scheme workbench: on its first tab the planner picks, creates,
// copies, changes, saves and deletes plan schemes and sets their parameters,
// periods and participating bills; the other tabs show the scheme's main
// demand, allotments, balance, supplies and substitutions, each view made on
// first entry and bound to the workbench's scheme. Opened editable (the
// user's own schemes) or read-only (released schemes shared with the user).
#include "clsInfoFrame.h"
#include "untInfoObjectDef.h"
#include "famMRPRunLog.h"
#include "untMRP.h"
#include "untMRPCommandHost.h"
#include "untMRPFetch.h"
#include "untMRPFilters.h"
#include "untMRPSchemeEdit.h"

#include <QString>
#include <array>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;
class QWidget;
class TADOConnection;
class TDoResultFrame;
class TInfoObjectDef;
namespace kvui {
class TreeList;
}

class TMRPFrame : public TCustomInfoFrame, public TMRPFilterTree {
    Q_OBJECT
public:
    TMRPFrame(TInfoObjectDef* AObjectDef, bool AMaintainMode, QWidget* AOwner = nullptr);
    ~TMRPFrame() override;

    // IInfoFrame
    void ProcessIdle() override;
    void RefreshMainUI() override;
    bool QueryClose() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // Form components.
    QTabWidget* Pages = nullptr;
    QWidget* tabScheme = nullptr;
    QWidget* tabMain = nullptr;
    QWidget* tabAllot = nullptr;
    QWidget* tabBalance = nullptr;
    QWidget* tabSupplies = nullptr;
    QWidget* tabReplace = nullptr;
    QGroupBox* gbxScheme = nullptr;
    QLabel* lblSchemeName = nullptr;
    QComboBox* cboSchemeName = nullptr;
    QLineEdit* edtSchemeName = nullptr;
    QLabel* lblSchemeEditing = nullptr;
    QToolButton* btnGetMainData = nullptr;
    QToolButton* btnRunMRP = nullptr;
    QToolButton* btnRunLog = nullptr;
    kvui::TreeList* trlPlanPeriods = nullptr;
    kvui::TreeList* trlMRPFilters = nullptr;
    QComboBox* cboMainSource = nullptr;
    QComboBox* cboNeedScope = nullptr;
    QComboBox* cboCareSafety = nullptr;
    QComboBox* cboCareItemReplace = nullptr;
    QComboBox* cboCareItemSuites = nullptr;
    QComboBox* cboCareMRPTrackMode = nullptr;
    QCheckBox* chkCareItemMRPTrack = nullptr;
    QCheckBox* chkCareLossRate = nullptr;
    QCheckBox* chkCareLotRule = nullptr;
    QLineEdit* edtCreater = nullptr;
    QLineEdit* edtPlanState = nullptr;
    QLineEdit* edtUpdateTime = nullptr;
    QLineEdit* edtMpsRunTime = nullptr;
    QLineEdit* edtMrpRunTime = nullptr;
    QGroupBox* gbxSchemeList = nullptr;
    QComboBox* cboScheme = nullptr;
    TADOConnection* dbConnection = nullptr;

    QAction* actRefresh = nullptr;
    QAction* actSchemeNew = nullptr;
    QAction* actSchemeCopy = nullptr;
    QAction* actSchemeUpdate = nullptr;
    QAction* actSchemeDelete = nullptr;
    QAction* actSchemeSave = nullptr;
    QAction* actSchemeRevert = nullptr;
    QAction* actRunMPS = nullptr;
    QAction* actRunMRP = nullptr;
    QAction* actRunLog = nullptr;
    QAction* actSetPlanPeriods = nullptr;
    QAction* actSetMRPFilter = nullptr;

    TPlanScheme* PlanScheme() const { return FPlanScheme.get(); }
    bool MaintainMode() const { return FMaintainMode; }
    bool SchemeEditing() const { return FSchemeEditing; }
    bool SchemeCopying() const { return FSchemeCopying; }
    bool SchemeLoadErr() const { return FSchemeLoadErr; }
    // The action's index in the definition's action list; -1 when the
    // definition does not list it (the command numbers never reach it).
    static int ActionTag(const QAction* AAction);
    IInfoViewPtr ResultView(QWidget* ATab) const;
    TPlanSchemeUIEvents PlanSchemeUIEvents() const { return FPlanSchemeUIEvents; }

    // Scheme list and maintenance.
    void actRefreshExecute(QObject* ASender = nullptr);
    void cboSchemePropertiesChange(QComboBox* ASender);
    void actSchemeNewExecute();
    void actSchemeCopyExecute();
    void actSchemeUpdateExecute();
    void actSchemeSaveExecute();
    void actSchemeRevertExecute();
    void actSchemeDeleteExecute();
    // Parameters.
    void LoadMRPFilters();
    void actSetMRPFilterExecute();
    void actSetPlanPeriodsExecute();
    void cboMainSourcePropertiesChange();
    void cboNeedScopePropertiesChange();

    // The main-demand fetch, the MRP run and its log: routed here from the
    // buttons, the action commands and the result views.
    void actRunMPSExecute(QObject* ASender);
    void actRunMRPExecute(QObject* ASender);
    void actRunLogExecute(QObject* ASender = nullptr);
    // The run-log panel (its result list exists once first shown).
    TMRPRunLogPanel* RunLog() const { return FRunLog.get(); }
    TMRPMainFetch* MainFetch() const { return FMainFetch.get(); }

    // Callbacks of the result views.
    bool CheckPlanState(bool ARefreshData);
    void DoRefreshPlanState(QObject* ASender);

    // Helpers.
    IInfoViewPtr GetActiveResultView() const;
    bool CanRefreshScheme();
    void CloseResultViews(bool AIncludeMain);
    void ShowPlanState();
    void UpdateSchemeControls();
    // The tab change as the user makes it: refused (false) when the tab's view
    // cannot be made.
    bool PagesPageChanging(QWidget* ANewPage);

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    TInfoObjectDef* FSchemeDef = nullptr;
    TViewScheme FViewScheme;
    bool FMaintainMode = false;
    IInfoViewPtr FMainFrame;
    IInfoViewPtr FAllotFrame;
    IInfoViewPtr FBalanceFrame;
    IInfoViewPtr FSuppliesFrame;
    IInfoViewPtr FReplaceFrame;
    std::unique_ptr<TMRPRunLogPanel> FRunLog;
    std::unique_ptr<TMRPMainFetch> FMainFetch;
    std::unique_ptr<TPlanScheme> FPlanScheme;
    bool FSchemeEditing = false;
    bool FSchemeCopying = false;
    bool FSchemeLoading = false;
    bool FSchemeLoadErr = false;
    QWidget* FActivePage = nullptr;
    TInfoObjectDef* FActiveObjectDef = nullptr;
    TPlanSchemeUIEvents FPlanSchemeUIEvents;
    int FOldSchemeIID = 0;
    QString FOldPlanPeriods;
    QString FOldMRPFilters;
    int FCurrentPage = 0;
    bool FPageChanging = false;

    void CreateControls();
    void BindResultView(QWidget* ATab);
    IInfoViewPtr& ResultViewRef(QWidget* ATab);
    void PagesChange(int AIndex);
    void StartEdit(QAction* AAction);
    void EndEdit();
    void SetSafetyItems(bool AWithAll);
    TSchemeParamValues ControlValues() const;
    // The first enabled scheme action whose tag is the index; nullptr when none.
    QAction* SchemeActionOfIndex(int AIndex) const;
    bool SaveScheme();
    TMRPCommandHost CommandHost();
};
