#pragma once
// The inventory-age view: a read-only tree over the stored result of the
// inventory-age analysis, with a total row, one row per item row of the
// result and, on demand, the receipt lines that explain it; a filter panel
// keeps the item rows explained by receipts that match a text. Command 41
// runs the analysis again with new settings.
#include "clsPickEdit.h"
#include "clsTreeView.h"
#include "untInvAgeGroups.h"

#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

class TInvAgeFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TInvAgeFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TInvAgeFrame() override;

    QFrame* gbxOptions;
    QLabel* lblFilter;
    QComboBox* cboFilterKind;
    QLabel* lblContain;
    TPickEdit* edtFilterText;
    QCheckBox* chkShareCols;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    kvui::TreeList* grdInvAge;

    kvui::Column* colInvItmNo;
    kvui::Column* colInvItmName;
    kvui::Column* colInvItmSpec;
    kvui::Column* colInvBillNo;
    kvui::Column* colInvBillType;
    kvui::Column* colInvSupply;
    kvui::Column* colInvDate;
    kvui::Column* colInvBatch;
    kvui::Column* colInvStock;
    kvui::Column* colInvPlace;
    kvui::Column* colInvUnit;
    kvui::Column* colInvQty;
    kvui::Column* colInvInQty;
    kvui::Column* colInvPrice;
    kvui::Column* colInvInAmount;
    kvui::Column* colInvAge;
    kvui::Column* colInvOutDate;
    kvui::Column* colInvPlanDate;
    kvui::Column* colInvPlanner;
    kvui::Column* colInvBuyer;
    kvui::Column* colInvNote;
    kvui::Column* colInvMemo;
    kvui::Column* colInvOrdType;
    kvui::Column* colInvOrdNo;
    kvui::Column* colInvOrigType;
    kvui::Column* colInvOrigNo;
    kvui::Column* colInvOrigCust;
    kvui::Column* colInvOrigCustPO;
    kvui::Column* colInvOrigItmNo;
    kvui::Column* colInvOrigItmName;
    kvui::Column* colInvOrigItmSpec;
    kvui::Column* colInvGroupType;
    kvui::Column* colInvGroupNo;
    kvui::Column* colInvItmProp[10];
    kvui::Column* colInvOrigTag;

    // The frame's result set in QZ_MRP_InvAgeScheme, 0 until the first save.
    int ResultSchemeIID = 0;
    // Amounts may be shown (the user has the amount permission and shows the
    // counted amount).
    bool ShowAmounts = false;
    // Asked between the receipt passes of a run; True stops the run. By
    // default the Esc key is polled (with the question whether to stop).
    std::function<bool()> OnCheckEscape;

    // Loads the user's settings and runs the first analysis; False when it was
    // cancelled or failed (then no view opens).
    bool StartAnalysis();
    // Asks for the settings and runs the analysis into the frame's result set.
    bool RunAnalysis();
    bool ClearResults(bool ADropScheme);
    void BuildAgeColumns();
    // Loads the item rows (no parent) or the receipt lines of an item row.
    void LoadView(kvui::TreeNode* AParent);

    // The age-group columns: quantities first, then amounts.
    QList<kvui::Column*> AgeColumns() const { return FAgeQtyColumns + FAgeAmtColumns; }
    QList<kvui::Column*> AgeQtyColumns() const { return FAgeQtyColumns; }
    QList<kvui::Column*> AgeAmtColumns() const { return FAgeAmtColumns; }
    bool FilterEditMode() const { return FFilterEditMode; }
    void ApplyFilterKindChange(bool AEnterEditMode);
    void btnOkClick();
    void btnCancelClick();
    void ShareColumns(bool AShared, bool AByUser);

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

private:
    QString FDesignCaptions[3];
    int FLimitKind = 0;
    QString FLimitText;
    bool FFilterEditMode = false;
    QList<kvui::Column*> FAgeQtyColumns;
    QList<kvui::Column*> FAgeAmtColumns;
    QList<int> FAgeBands;
    std::shared_ptr<TPickEditProperties> FFilterPick;
    TAgeGroups FGroups;

    void setupFilterPick();
    void setFilterEditMode(bool AOn);
    void loadTop();
    void loadLines(kvui::TreeNode* AItem);
};

// The view of QZ_MRP.AgeAnalyze after a first analysis; empty when the
// analysis was cancelled or failed.
IInfoViewPtr CreateInvAgeFrame(TInfoObjectDef* AObjectDef);
