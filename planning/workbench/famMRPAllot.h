#pragma once
// How a plan scheme's MRP run pegs supplies to demands, as a read-only tree:
// the independent demands, one group line per kind of dependent demand
// without a parent (negative stock, safety stock, each kind of pending issue)
// and the existing orders that carry component demands at the top; under a
// line, loaded when it opens, the component demands of the supply planned or
// allotted for it, level by level. A filter bar keeps only the chains that
// lead to an item, a planner's or a buyer's items.
#include "clsTreeView.h"
#include "untMRP.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TADOConnection;

// Quotes a text for SQL (inner quotes doubled).
QString AllotQuoted(const QString& AText);

class TMRPAllotFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TMRPAllotFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPAllotFrame() override;

    QFrame* gbxOptions = nullptr;
    QLabel* lblFilter = nullptr;
    QComboBox* cboFilterKind = nullptr;
    QLabel* lblContain = nullptr;
    QLineEdit* edtFilterText = nullptr;
    QToolButton* btnFilterPick = nullptr;
    QCheckBox* chkFilterNoBom = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* lblPlanState = nullptr;
    kvui::TreeList* grdAllot = nullptr;

    kvui::Column* colDmdPriority = nullptr;
    kvui::Column* colDmdBillType = nullptr;
    kvui::Column* colDmdBillNo = nullptr;
    kvui::Column* colSupIID = nullptr;
    kvui::Column* colDmdItmNo = nullptr;
    kvui::Column* colDmdIID = nullptr;
    kvui::Column* colDmdDate = nullptr;
    kvui::Column* colDmdDept = nullptr;
    kvui::Column* colDmdCust = nullptr;
    kvui::Column* colDmdUnit = nullptr;
    kvui::Column* colDmdNeedQty = nullptr;
    kvui::Column* colSupBillType = nullptr;
    kvui::Column* colSupBOM = nullptr;
    kvui::Column* colItmPlanner = nullptr;
    kvui::Column* colItmBuyer = nullptr;
    kvui::Column* colDmdNetQty = nullptr;
    kvui::Column* colDmdPPPQty = nullptr;
    kvui::Column* colSupQty = nullptr;
    kvui::Column* colSupDSetQty = nullptr;
    kvui::Column* colSupDSetRate = nullptr;
    kvui::Column* colBalInvQty = nullptr;

private:
    TPlanScheme* FPlanScheme = nullptr;  // the owner's, not owned
    TPlanPeriodCols FPeriodCols;
    TPlanSchemeUIEvents FPlanSchemeUIEvents;
    QString FSQLTempTable;
    int FCurFilterKind = 0;
    QString FCurFilterText;
    bool FCurFilterNoBom = false;
    bool FFilterEditing = false;
    bool FKindHandlerOn = true;
    // Per line: the hidden values the load and the colours need.
    struct LineData {
        QVariant DmdHints, DmdPeriod, SupBillType, BomNo, SupBomLocked, DmdMainKind, DmdBillType, RefHasChild;
    };
    QHash<kvui::TreeNode*, LineData> FLines;
    QColor FSecondaryColor;

    void cboFilterKindPropertiesChange(bool AByUser);
    void edtFilterTextPropertiesChange();
    void SetFilterEditing(bool AEditing);
    void PickFilterText();
    void CollectFilterChains(const QString& ACondition);
    QString FilterCondition() const;
    void FillLines(kvui::TreeNode* AParent, TADOQuery* AQuery);
    void PlaceStateLabel();
    // A demand's own line (main demand or component), not a group or an order listed at the top.
    bool IsDemandLine(kvui::TreeNode* ANode) const;

public:
    void btnOkClick();
    void btnCancelClick();
    // Loads the top level (nullptr) or the children of a line (once).
    void LoadAllotNodes(kvui::TreeNode* ANode);
    // The statements of the top level and of a line's children (for tests).
    QString BuildTopLevelSQL();
    QString BuildChildSQL(kvui::TreeNode* ANode) const;
    QString TempTableName() const { return FSQLTempTable; }
    const TPlanPeriodCols& PeriodCols() const { return FPeriodCols; }

    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection, const TPlanSchemeUIEvents& AUIEvents = {});
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    void RefreshPlanState();

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

protected:
    void resizeEvent(QResizeEvent* AEvent) override;
};
