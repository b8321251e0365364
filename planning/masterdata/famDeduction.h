#pragma once
// The deduction view: one forecast, sales-order or export-order line (the
// master's focused line) with the lines that deduct it, where the planner
// adds, removes and changes manual deductions and saves them in one
// transaction together with the deducted totals of every touched line.
#include "clsPickEdit.h"
#include "clsTreeView.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;

class TMRPDeductFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TMRPDeductFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPDeductFrame() override;

    kvui::TreeList* tlMain;
    kvui::Column* colBillType;
    kvui::Column* colBillNo;
    kvui::Column* colDate;
    kvui::Column* colItmNo;
    kvui::Column* colItmName;
    kvui::Column* colItmSpec;
    kvui::Column* colBomNo;
    kvui::Column* colBillEntry;
    kvui::Column* colCust;
    kvui::Column* colCustPO;
    kvui::Column* colDept;
    kvui::Column* colBillDate;
    kvui::Column* colBillQty;
    kvui::Column* colExeQty;
    kvui::Column* colDedAQty;
    kvui::Column* colDedMQty;
    kvui::Column* colRestQty;
    kvui::Column* colUnit;
    kvui::Column* colDedManual;
    kvui::Column* colDedQty;
    kvui::Column* colDedUser;
    kvui::Column* colDedTime;
    kvui::Column* colOldQty;
    kvui::Column* colMaxQty;
    kvui::Column* colPreMQty;
    kvui::Column* colPreAQty;
    kvui::Column* colBillID;
    kvui::Column* colItmID;
    kvui::Column* colItmProp[10];
    kvui::Column* colOrigTag;
    kvui::Column* colGroupType;
    kvui::Column* colGroupNo;

    QFrame* gbxOptions;
    QLabel* lblBillScope;
    QComboBox* cboBillScope;
    QCheckBox* chkDiffCustom;
    QCheckBox* chkShowFilter;

    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    bool QueryClose() override;
    void RefreshData(bool ARebuild) override;
    bool SaveData() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    void SetDeductEditMode(bool AValue);
    // Offers the open lines of kind AKind (8, 2 or 4) that may deduct the bill
    // line and adds the picked ones as manual deductions.
    void AddBills(int AKind);
    void AddPickedBills(TCustomADODataSet* ADataSet, const TBookmarks& ASelRecords);
    // The pick statement for candidates of kind AKind; False when the user
    // cancelled the filter dialog.
    bool BuildCandidateSQL(int AKind, QString& ASQL);
    bool CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    void RecalcLine(kvui::TreeNode* ANode);
    void RecalcTotals(kvui::TreeNode* ANode);
    // Asks, then removes the selected deducting lines.
    void DeleteSelectedLines();

    QString BillID() const { return FBillID; }
    int BillEntry() const { return FBillEntry; }
    int BillType() const { return FBillType; }

private:
    QString FBillID;  // the bill line's key (unquoted); "null" when none
    int FBillEntry = 0;
    int FBillType = 8;
    QString FItemID;
    QString FItemProps;
    QString FCustID;
    QString FOrigTag;
    std::unique_ptr<TPickEditProperties> FPickEditProperties;
    QVariant FOldValue;
    QString FForcastSQL;
    QString FSOSQL;
    QString FSISQL;

    kvui::TreeNode* billNode() const;
    void loadData();
    void fillNode(kvui::TreeNode* ANode, TCustomADODataSet* AData, int AKind);
    void readOptions();
    void writeOptions();
    void cellEdited(int ARow, kvui::Column* AColumn, const QVariant& AOldValue, const QVariant& ANewValue);
    void focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn);
    QString nodeText(kvui::TreeNode* ANode, kvui::Column* AColumn) const;
    // The save's first batch: the transaction opens, the bill line's totals
    // are set and its old records taken back and deleted.
    QString headBatch(const QString& AUser);
    // The batch of one deducting line: the room taken from its other
    // automatic records (read inside the transaction), then the pair itself.
    QString lineBatch(kvui::TreeNode* ALine, const QString& AUser);
};

// Quantities of deduction statements: eight decimals with a point, whatever
// the locale.
QString DeductQtyText(double AValue);
