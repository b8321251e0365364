#pragma once
// The bill-of-materials expansion: one product's bill of materials (named by
// the master values BomItmID, BomType and BomID) unfolded level by level as a
// tree, with the usages for the bill's quantity and trial usages for a typed
// trial quantity, optionally with issue loss and the parents' yield. In edit
// mode the planner maintains the local substitutes of the rows and the rows'
// stepped loss texts, and saves them as the ERP's bill-of-materials operation
// documents, one per touched bill, upper levels first.
#include "clsPickEdit.h"
#include "clsTreeView.h"
#include "untItemSubsEdit.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;

// Node kinds of the expansion tree, kept as a node's image index.
enum TBOMExpandNodeKind {
    bkLocalSub = 0,       // local substitute of the parent row
    bkGlobalSub = 1,      // global substitute of the parent row (read only)
    bkMaterial = 2,       // material without a standalone bill of materials
    bkBom = 3,            // material with a bill of materials to unfold; the product head
    bkBomChoice = 4,      // several standalone bills and the row names none of its own type
    bkBomOther = 5,       // a non-default bill chosen by the planner
    bkBomUnnamed = 6,     // the item has standalone bills but the row unfolds none
};

// Row numbers of substitutes: local ones count from LocalSubEntryBase (shown
// a, b, ...), global ones from GlobalSubEntryBase (shown A, B, ...).
inline constexpr int GlobalSubEntryBase = -10000000;
inline constexpr int LocalSubEntryBase = -20000000;

// A master value as it enters SQL: a quoted text (with its quotes doubled
// inside), a number or null. AOk is false for anything else.
QString MasterValueLiteral(const QString& AValue, bool& AOk);

class TBOMExpandFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TBOMExpandFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TBOMExpandFrame() override;

    QFrame* gbxOptions;
    QCheckBox* chkSubItems;
    QLabel* lblLossRate;
    QComboBox* cboLossRate;
    kvui::TreeList* grdExpand;

    kvui::Column* colBomEntry;
    kvui::Column* colBomItmNo;
    kvui::Column* colBomItmID;
    kvui::Column* colBomRowHook;
    kvui::Column* colBomItmName;
    kvui::Column* colBomItmSpec;
    kvui::Column* colBomRole;
    kvui::Column* colBomFixed;
    kvui::Column* colBomUnit;
    kvui::Column* colBomUCurrQty;
    kvui::Column* colBomUBaseQty;
    kvui::Column* colBomPercent;
    kvui::Column* colBomUFullQty;
    kvui::Column* colBomLossRate;
    kvui::Column* colBomPutLossRate;
    kvui::Column* colBomItmTypeName;
    kvui::Column* colBomItmMrpType;
    kvui::Column* colBomBeginDate;
    kvui::Column* colBomEndDate;
    kvui::Column* colBomNote;
    kvui::Column* colBomBaseUnit;
    kvui::Column* colBomCurrQty;
    kvui::Column* colBomBaseQty;
    kvui::Column* colBomFullQty;
    kvui::Column* colBomProp[10];
    kvui::Column* colBomPropMask;
    kvui::Column* colBomProps;
    kvui::Column* colBomItmBomNo;
    kvui::Column* colBomItmOkRate;
    kvui::Column* colBomUTestQty;
    kvui::Column* colBomTestQty;
    kvui::Column* colBomItmBomID;
    kvui::Column* colBomUnitFactor;
    kvui::Column* colBomItmBomType;

    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    bool SaveData() override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // Edit mode with the columns and options it shows and allows.
    void SetExpandEditMode(bool AValue);
    bool CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    // ANode nil: the tree anew from the product head; else ANode's next level.
    void LoadBOMLevel(kvui::TreeNode* ANode);
    // The usages of one node from its parent's.
    void CalcNodeQtys(kvui::TreeNode* ANode);
    // ANode (with AWithSelf) and everything loaded below it, parents first.
    void RecalcQtys(kvui::TreeNode* ANode, bool AWithSelf);
    void MarkSubsChanged(kvui::TreeNode* ARow);
    void AddSubs();
    void CopySubs();
    void DelSubs();
    void MoveSubs(bool AUp);
    // The item number typed into (or picked for) a local substitute.
    void ItemPicked(kvui::TreeNode* ANode, const QString& AItemNo);
    // The bill of materials chosen for a row (a value of the choice list).
    void BomNoChanged(kvui::TreeNode* ANode, const QVariant& AValue);
    // Fills the choice of bills of materials of a row.
    void PrepareBomNoChoice(kvui::TreeNode* ANode);
    // A cell changed from AOldValue (the tree's edited event).
    void CellEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue);
    // The text of the row-number column for a node.
    QString EntryText(kvui::TreeNode* ANode) const;

    static int Kind(kvui::TreeNode* ANode) { return ANode ? ANode->imageIndex() : -1; }
    static bool LevelNotLoaded(kvui::TreeNode* ANode);
    static bool SubsChanged(kvui::TreeNode* ANode);
    static bool RowEdited(kvui::TreeNode* ANode) { return ANode && ANode->stateIndex() > 0; }
    bool BomQtyUseStdQty() const { return FBomQtyUseStdQty; }
    void SetBomQtyUseStdQty(bool AValue) { FBomQtyUseStdQty = AValue; }
    QStringList BomNoChoiceEntries() const { return FBomNoEditPopupIDs; }

private:
    QVariant FOldValue;
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FBomNoEditProperties;
    QStringList FBomNoEditPopupIDs;
    kvui::TreeNode* FBomNoEditNode = nullptr;   // the row whose choice the list holds
    bool FBomQtyUseStdQty = false;
    bool FBomExpandVirtualItem = false;
    kvui::TreeNode* FExpanding = nullptr;

    void setupPickEditor();
    bool lossTextEditable() const;
    void fillItemProps(kvui::TreeNode* ANode, TCustomADODataSet* AData);
    kvui::TreeNode* insertLocalSub(kvui::TreeNode* ARow);
    void focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    bool checkSubstitute(kvui::TreeNode* ANode);
    void saveBOMLevel(kvui::TreeNode* ANode);
    QString itemSelectSQL(const QString& AWhere);
};
