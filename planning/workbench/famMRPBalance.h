#pragma once
// The supply-and-demand balance of a plan scheme: one line per item, property
// key and MRP group as the MRP run stored it, and under each item, on first
// expansion, one line per plan period with the same figures and a running
// balance carried from period to period, computed from the rows of the
// balance bills view (this view's detail).
#include "clsTreeView.h"
#include "famMRPBills.h"
#include "untMRPDataTypes.h"

#include <QPointer>

class QFrame;
class QLabel;
class TADOConnection;
class TPlanScheme;

// Adds a quantity to the figure of a period record that a bill type feeds
// (types 97 and above, and types without a figure, add nothing).
void AddBalanceByBillType(TMRPBalanceRec& ARec, int ABillType, double AQty);

class TMRPBalanceFrame : public TInfoTreeView {
    Q_OBJECT
public:
    TMRPBalanceFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPBalanceFrame() override;

    QFrame* gbxOptions = nullptr;
    QLabel* lblPlanState = nullptr;
    kvui::TreeList* grdBalance = nullptr;
    kvui::Column* colBalItmID = nullptr;
    kvui::Column* colBalItmNo = nullptr;
    kvui::Column* colBalGroupType = nullptr;
    kvui::Column* colBalGroupNo = nullptr;
    kvui::Column* colBalItmName = nullptr;
    kvui::Column* colBalItmSpec = nullptr;
    kvui::Column* colBalUnit = nullptr;
    kvui::Column* colItmPlanner = nullptr;
    kvui::Column* colItmBuyer = nullptr;
    kvui::Column* colItmMinQty = nullptr;
    kvui::Column* colItmLotQty = nullptr;
    kvui::Column* colBalItmProps = nullptr;
    kvui::Column* colBalItmProp[10] = {};
    kvui::Column* colBalInvQty = nullptr;
    kvui::Column* colBalSafeQty = nullptr;
    kvui::Column* colBalForQty = nullptr;
    kvui::Column* colBalSOQty = nullptr;
    kvui::Column* colBalFreeQty = nullptr;
    kvui::Column* colBalRelQty = nullptr;
    kvui::Column* colBalOODQty = nullptr;
    kvui::Column* colBalMODQty = nullptr;
    kvui::Column* colBalROutQty = nullptr;
    kvui::Column* colBalPOQty = nullptr;
    kvui::Column* colBalOOQty = nullptr;
    kvui::Column* colBalMOQty = nullptr;
    kvui::Column* colBalChkQty = nullptr;
    kvui::Column* colBalPRQty = nullptr;
    kvui::Column* colBalORQty = nullptr;
    kvui::Column* colBalMRQty = nullptr;
    kvui::Column* colBalRInQty = nullptr;
    kvui::Column* colBalNetQty = nullptr;
    kvui::Column* colBalQty = nullptr;
    kvui::Column* colBalXQty = nullptr;
    kvui::Column* colBalEndQty = nullptr;

private:
    TPlanScheme* FPlanScheme = nullptr;      // the workbench's, not owned
    TADOConnection* FConnection = nullptr;   // the workbench's, not owned
    QPointer<TMRPBillsFrame> FMRPBillsFrame; // the detail view, not owned
    QColor FSecondaryColor;
    // The item line whose bills the detail was last asked for (compared only).
    kvui::TreeNode* FNotifiedItemLine = nullptr;

    void LoadBalanceNodes(kvui::TreeNode* ANode);
    void LoadItemNodes();
    void LoadPeriodNodes(kvui::TreeNode* ANode);
    void grdBalanceFocusedNodeChanged(kvui::TreeNode* APrevFocusedNode, kvui::TreeNode* AFocusedNode);
    // Tells the owner that another item line is focused (its detail follows).
    void NotifyItemLineChanged();

public:
    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection);
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    TMRPBillsFrame* BillsFrame() const { return FMRPBillsFrame; }
    void RefreshPlanState();

    void NotifyDetailCreated(const IInfoViewPtr& ADetailFrame) override;
    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void RefreshData(bool ARebuild) override;
    void ApplyViewScheme() override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    void FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;
};
