#pragma once
// The item substitutes view: the bills of materials with the local
// substitutes of their rows, and the items with global substitutes, where the
// planner adds, deletes, reorders and edits substitutes and saves them as the
// ERP's bill-of-materials operation documents (one per bill, one for the
// global scope).
#include "clsPickEdit.h"
#include "clsTreeView.h"
#include "untItemSubsEdit.h"

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class QPushButton;

// Node kinds of the substitute trees, kept as a node's image index.
enum TItemSubsNodeKind {
    nkScopeHead = -1000,
    nkBomRow = -1001,
    nkGlobalItem = -1002,
    nkLocalSub = -1003,
    nkGlobalSub = -1004,
    nkGlobalSubRef = -1005,
};

class TItemSubsFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TItemSubsFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TItemSubsFrame() override;

    QFrame* gbxOptions;
    QLabel* lblFilter;
    QComboBox* cboFilterKind;
    QLabel* lblContain;
    TPickEdit* edtFilterText;
    QPushButton* btnOk;
    QPushButton* btnCancel;
    kvui::TreeList* grdExpand;

    kvui::Column* colBomNo;
    kvui::Column* colBomType;
    kvui::Column* colBomItmNo;
    kvui::Column* colBomItmName;
    kvui::Column* colBomItmSpec;
    kvui::Column* colBomFixed;
    kvui::Column* colBomUnit;
    kvui::Column* colBomBaseUnit;
    kvui::Column* colBomBeginDate;
    kvui::Column* colBomEndDate;
    kvui::Column* colBomItmTypeName;
    kvui::Column* colBomItmMrpType;
    kvui::Column* colBomNote;
    kvui::Column* colBomProp[10];
    kvui::Column* colBomUCurrQty;
    kvui::Column* colBomUBaseQty;
    kvui::Column* colBomCurrQty;
    kvui::Column* colBomBaseQty;
    kvui::Column* colBomProps;
    kvui::Column* colBomID;
    kvui::Column* colBomEntry;
    kvui::Column* colBomItmID;
    kvui::Column* colBomUnitFactor;
    kvui::Column* colBomRowHook;
    kvui::Column* colBomPropMask;

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    bool SaveData() override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    void SetSubsEditMode(bool AEditing);
    bool CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    void MarkSubsChanged(kvui::TreeNode* ARow);
    void AddSubs();
    void AddSubsEx();
    void DelSubs();
    void MoveSubs(bool AUp);
    // The item number typed into (or picked for) a substitute's cell.
    void ItemNoChanged(kvui::TreeNode* ANode, const QString& AItemNo);
    // A cell of the focused node changed from AOldValue.
    void CellEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue);
    void ShowFilterButtons(bool AShow);
    void btnOkClick();
    void btnCancelClick();

    static bool IsChanged(kvui::TreeNode* ANode) { return ANode && ANode->stateIndex() == 1; }
    int CurFilterKind() const { return FCurFilterKind; }
    bool SubsGlobalUpdated() const { return FSubsGlobalUpdated; }
    // The item picks of the filter box and of a substitute's item cell.
    TPickEditProperties* FilterPick() const { return FFilterPick.get(); }
    TPickEditProperties* ItemNoPick() const { return FPickEditProperties.get(); }

private:
    QVariant FOldValue;
    int FCurFilterKind = 0;
    QString FCurFilterText;
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<TPickEditProperties> FFilterPick;
    bool FSubsGlobalUpdated = false;
    bool FFilterButtons = false;

    void setupFilterPick();
    void loadData(bool ARebuild);
    void fillNode(kvui::TreeNode* ANode, TCustomADODataSet* AData, int ALevel);
    void filterChanged();
    kvui::TreeNode* addSubNode(kvui::TreeNode* ARow, int APosition, kvui::TreeNode* AAnchor);
    void focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    bool checkSubstitute(kvui::TreeNode* ANode);
    void saveScopeDocument(kvui::TreeNode* AHead);
    QString itemSelectSQL(const QString& AWhere);
};
