#pragma once
// The output view: the open planned supplies of a released plan scheme as a
// tree of supply rows (checked for output), copy and demand rows and their
// substitutes, spread over the plan periods, with target type, department or
// supplier, dates, quantities to release and note to edit, the options that
// choose what is loaded, and the Output command that checks the rows and
// prepares the release. Opened on its own it lists the released schemes the
// user may see; a quick analysis binds its own scheme instead.
#include "clsPickEdit.h"
#include "clsTreeView.h"
#include "untMRP.h"
#include "untMRPOutputRecs.h"
#include "untMRPOutputTree.h"

#include <QDate>
#include <deque>
#include <memory>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QFrame;
class QLabel;
class QPushButton;
class QSplitter;
class QToolButton;
class TADOConnection;
class TDoResultFrame;

class TMRPOutputFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TMRPOutputFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPOutputFrame() override;

    // Options bar.
    QFrame* gbxOptions;
    QLabel* lblScheme;
    QComboBox* cboScheme;     // item data: the scheme's IID
    QLabel* lblPlanState;
    QLabel* lblSelectAll;
    QLabel* lblUnselectAll;
    QCheckBox* chkReplace;
    QComboBox* cboPlanType;
    QLabel* lblEndPeriod;
    QComboBox* cboEndPeriod;
    QToolButton* btnExpand;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    QWidget* pnlSecondRow;
    QLabel* lblSuppDef;
    QComboBox* cboSuppDef;
    QLabel* lblSuppList;
    QComboBox* cboSuppList;
    QCheckBox* chkRefPOQty;
    QCheckBox* chkRefUseQty;
    QLabel* lblRefDate;
    QDateEdit* edtRefDate;    // its minimum date stands for an empty date

    kvui::TreeList* grdSupplies;
    kvui::Column *colSupBillNo, *colSupIID, *colSupItmNo, *colSupItmID, *colSupItmName, *colSupItmSpec;
    kvui::Column* colSupItmProp[10];
    kvui::Column *colSupItmProps, *colSupDestType, *colSupDept, *colSupDeptID, *colSupBillDate, *colSupDrawDate,
        *colSupDate, *colSupOldDate, *colSupOrigType, *colSupOrigID, *colSupOrigNo, *colSupOrigEntry, *colSupCustID,
        *colSupCust, *colSupCustPO, *colSupOrigItmID, *colSupOrigItmNo, *colSupOrigItmName, *colSupOrigItmSpec,
        *colSupOrigTag, *colSupOrigSubTag, *colSupGroupType, *colSupGroupNo, *colSupBOM, *colSupBomType, *colSupBomID,
        *colSupUnit, *colSupBillType, *colSupQty, *colSupDestQty, *colSupRefPOQty, *colSupRefUseQty, *colSupDester,
        *colSupDestTime, *colSupDestUntID, *colSupDestUntRate, *colSupDestUnit, *colSupHints, *colSupPDmdIIDs,
        *colSupTrackKey, *colItmPlannerID, *colItmBuyerID, *colItmPlanner, *colItmBuyer, *colItmMinQty, *colItmLotQty,
        *colItmFixLeadTime, *colItmVarLeadTime, *colItmVarLeadLot, *colSupDoDestQtyU, *colSupDoDestQty,
        *colSupUnDestQty, *colSupNote;

    // Binds a scheme the caller owns (a quick analysis); the connection is not used.
    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection = nullptr);
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    void RefreshPlanState();

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // Loads the whole list (nullptr) or the substitutes of a supply row.
    // False when the load failed (the tree keeps what it had).
    bool LoadSupplies(kvui::TreeNode* ANode);
    // Checks the checked rows and prepares the release (the Output command).
    void ReleaseSupplies();
    void ShowOutputOptions();
    void ExecSetting() {}

    void SetOptionsEditing(bool AEditing);
    bool OptionsEditing() const { return FSchemesLocked; }
    void btnOkClick();
    void btnCancelClick();
    void lblSelectAllClick();
    void lblUnselectAllClick();

    // The row edits as the tree's events run them.
    bool CanEditNode(kvui::TreeNode* ANode) const;
    void NodeEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue);
    // Switches a sub-row (double click or Space); False when the row takes no switch.
    bool ToggleNode(kvui::TreeNode* ANode);
    void NodeCheckChanged(kvui::TreeNode* ANode, Qt::KeyboardModifiers AModifiers);
    bool IsRowOpen(kvui::TreeNode* ANode) const;
    // The message a row carries about a quantity that could not be worked out.
    QString RowMessage(kvui::TreeNode* ANode) const;
    // The value of a cell as the release run reads it.
    TMRPOutputRow RowValues(kvui::TreeNode* ANode) const;

    bool IsModified() const { return FModified; }
    TDoResultFrame* Resulter() const { return FResulter; }
    // The records of the last release run (empty before the first).
    const TMRPOutputRun* LastRun() const { return FRun.get(); }
    bool CanToMO() const { return FCanToMO; }
    bool CanToOR() const { return FCanToOR; }
    bool CanToPR() const { return FCanToPR; }
    int CurPeriod() const { return FCurPeriod; }
    int PeriodColumnCount() const { return int(FPeriodCols.size()); }
    kvui::Column* PeriodColumn(int AIndex) const;
    // The command number of an action of the definition, -1 when none.
    int ActionCommand(const QString& AActionID) const;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    TPlanScheme* FPlanScheme = nullptr;
    std::unique_ptr<TPlanScheme> FOwnScheme;
    std::vector<kvui::Column*> FPeriodCols;
    bool FShowSchemes = false;
    bool FSchemesLocked = false;
    bool FNodeChecking = false;
    bool FModified = false;
    bool FReleasing = false;   // a release run is under way
    QVariant FOldValue;
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    QSplitter* FSplitter = nullptr;
    std::unique_ptr<TMRPOutputRun> FRun;
    std::deque<TMRPOutputRow> FRunRows;   // the rows the run's records point at
    // Item ID -> whether it is kept in whole pieces and its decimals (ItmPutInteger, ItmDecimal).
    QHash<QString, std::pair<QVariant, QVariant>> FItemUnits;
    TDoResultFrame* FResulter = nullptr;
    int FCurScheme = -1;
    bool FCurReplace = false;
    int FCurPlanType = 0;
    int FCurPeriod = -1;
    int FCurSuppDef = 0;
    int FCurSuppList = 0;
    bool FCurRefPOQty = false;
    bool FCurRefUseQty = false;
    QDate FCurRefDate;
    bool FCanToMO = false;
    bool FCanToOR = false;
    bool FCanToPR = false;
    bool FDirectOO = false;
    int FOutputTarget24or36 = 36;

    void BuildPeriodColumns();
    void cboPlanTypePropertiesChange();
    void cboSchemePropertiesChange();
    void chkRefInfoPropertiesChange();
    void CopyControlsToCurrent();
    bool AskReloadWhenModified();
    void SetModified(bool AValue) { FModified = AValue; }
    QString ActionIDOf(int ACommandIndex) const;
    bool ActionEnabled() const;
    bool LoadWholeList();
    bool LoadSubstitutes(kvui::TreeNode* ANode);
    void FillLevel0(kvui::TreeNode* ANode, TCustomADODataSet* AData, const QString& ADefDeptID,
                    const QString& ADefDeptName, bool ALimitByPeriod);
    void SpreadPeriodQty(kvui::TreeNode* ANode, bool ALimitByPeriod);
    // The supply's identity, bill, origin and planning group (SupIID to
    // SupGroupNo) from the current row of AData.
    void FillSupplyOrigin(kvui::TreeNode* ANode, TCustomADODataSet* AData);
    // The item's planning fields (planner, buyer, lot sizes, lead times) and
    // the columns chosen by field name, from the current row of AData.
    void FillItemPlanning(kvui::TreeNode* ANode, TCustomADODataSet* AData);
    // Keeps the item's whole-piece flag and decimals of the current row of AData.
    void NoteItemUnits(TCustomADODataSet* AData);
    // The decimals a row's quantities are released in.
    int ItemQtyScale(kvui::TreeNode* ANode) const;
    kvui::TreeNode* AddSupplyCopyRow(kvui::TreeNode* ASupply);
    void LookupDefaultDept(kvui::TreeNode* ANode, int ATarget);
    void LookupTypedDept(kvui::TreeNode* ANode);
    bool SwitchUnit(kvui::TreeNode* ANode, int ANewTarget, int AOldTarget);
    void UpdateDeptEditor(kvui::TreeNode* ANode);
    void EnsureResulter();
    QDate RefDate() const;
    void TrackPosition(const QVariant& ANode, const QVariant& AColumn);
    // The second half of the Output command: the records cut into bills and
    // saved through the ERP library; False when Esc stopped it.
    bool WriteOutputBills(const QDateTime& ANow);
    // Moves a saved quantity onto a tree row and the rows above it.
    void ApplyOutputToNode(kvui::TreeNode* ANode, double AQty, const QDateTime& ANow);
};
