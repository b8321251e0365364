#pragma once
// The supply plan of a plan scheme: the supplies the MRP run found or planned,
// filtered by plan type, with one column per plan period. In edit mode the
// planner changes the bill type, the BOM and the quantity of planned supplies;
// each change is applied to the row at once with what follows from it and a
// record of what the supply was before, and the save writes the adjustment
// records, the balance and the supplies in one transaction and marks the
// scheme for a new MRP run.
#include "clsGridView.h"
#include "untMRP.h"
#include "untMRPDataTypes.h"

#include <memory>

class QComboBox;
class QFrame;
class QLabel;
class TADOConnection;
class TADOQuery;
namespace kvui {
class DataSetSource;
}

// The period hint text of a supply after its remaining quantity changed: the
// run's hint text with the quantity added to its first line or taken from its
// last lines. A text the change empties keeps its first line's period with a
// quantity of 0, so that it still means nothing in any period (an empty text
// would mean the whole quantity at the delivery date).
QString AdjustSupplyHints(const QString& AHints, double ADelta);

class TMRPSuppliesFrame : public TInfoGridView {
    Q_OBJECT
public:
    TMRPSuppliesFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPSuppliesFrame() override;

    QFrame* gbxOptions = nullptr;
    QComboBox* cboPlanType = nullptr;
    QLabel* lblPlanState = nullptr;
    kvui::BandedGrid* grdSupplies = nullptr;
    TADOQuery* qrySupplies = nullptr;

    kvui::Column* colSupItmNo = nullptr;
    kvui::Column* colSupBillType = nullptr;
    kvui::Column* colSupBillNo = nullptr;
    kvui::Column* colSupDate = nullptr;
    kvui::Column* colSupBomLocked = nullptr;
    kvui::Column* colSupItmName = nullptr;
    kvui::Column* colSupItmSpec = nullptr;
    kvui::Column* colSupDept = nullptr;
    kvui::Column* colSupNote = nullptr;
    kvui::Column* colSupBOM = nullptr;
    kvui::Column* colSupPDmdBillNo = nullptr; // what the supply serves
    kvui::Column* colSupDrawDate = nullptr;
    kvui::Column* colSupBillEntry = nullptr;
    kvui::Column* colSupOrigType = nullptr;
    kvui::Column* colSupOrigNo = nullptr;
    kvui::Column* colSupCust = nullptr;
    kvui::Column* colSupCustPO = nullptr;
    kvui::Column* colSupOrigItmNo = nullptr;
    kvui::Column* colSupOrigItmName = nullptr;
    kvui::Column* colSupOrigItmSpec = nullptr;
    kvui::Column* colSupOrigTag = nullptr;
    kvui::Column* colSupOrigSubTag = nullptr;
    kvui::Column* colSupGroupType = nullptr;
    kvui::Column* colSupGroupNo = nullptr;
    kvui::Column* colSupBillDate = nullptr;
    kvui::Column* colSupBillQty = nullptr;
    kvui::Column* colSupOkQty = nullptr;
    kvui::Column* colSupChkQty = nullptr;
    kvui::Column* colSupAReplQty = nullptr;
    kvui::Column* colSupUnit = nullptr;
    kvui::Column* colSupHints = nullptr;
    kvui::Column* colSupDestQty = nullptr;
    kvui::Column* colSupUnDestQty = nullptr;
    kvui::Column* colSupDester = nullptr;
    kvui::Column* colSupDestTime = nullptr;
    kvui::Column* colItmPlanner = nullptr;
    kvui::Column* colItmBuyer = nullptr;
    kvui::Column* colItmMinQty = nullptr;
    kvui::Column* colItmLotQty = nullptr;
    kvui::Column* colItmFixedLead = nullptr;
    kvui::Column* colItmVarLead = nullptr;
    kvui::Column* colItmVarLeadLot = nullptr;
    kvui::Column* colSupItmProps = nullptr;
    kvui::Column* colSupItmProp[10] = {};
    kvui::Column* colSupQty = nullptr;
    kvui::Column* colSupAdjQty = nullptr;
    kvui::Column* colSupAllotQty = nullptr;
    kvui::Column* colSupRestQty = nullptr;

private:
    TPlanScheme* FPlanScheme = nullptr;  // the owner's, not owned
    TPlanPeriodCols FPeriodCols;
    bool FPeriodQtySummary = false;
    TPlanSchemeUIEvents FPlanSchemeUIEvents;
    std::shared_ptr<kvui::ImageComboProperties> FBillTypeEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FBomNoEditProperties;
    QVariant FOldValue;
    kvui::DataSetSource* FDataSource = nullptr;

    void FillMrpBillTypeItems();
    void BuildPeriodColumns();
    void CopyPeriodSummaries();
    bool grvSuppliesEditing(int ARecord, kvui::Column* AColumn);
    void grvSuppliesEditValueChanged(int ARecord, kvui::Column* AColumn, const QVariant& AValue);
    void UpdateAdjPending(int ARecord);
    void cboPlanTypePropertiesChange();
    // The row's current BOM fields from a BOM lookup; false (and the error
    // box shown) when the lookup failed.
    bool LookupBom(int ARecord, const QString& AExtraArgs);
    void FocusFailedCell(int ARecord, kvui::Column* AColumn);
    bool CheckSchemeState(bool ARefreshData);
    void NotifyStateChanged();

public:
    // Binds the view to a scheme: the rows are read on the connection (the
    // scheme's own when none is given); the callbacks are the owner's.
    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection = nullptr,
                       const TPlanSchemeUIEvents& AUIEvents = {});
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    const TPlanPeriodCols& PeriodCols() const { return FPeriodCols; }
    void RefreshPlanState();
    void SwitchEditMode(bool AEditMode);
    bool IsCellEditable(int ARecord, kvui::Column* AColumn) const;
    // The statement RefreshData opens for the current plan-type choice and mode.
    QString BuildSuppliesSQL();
    // Fills the BOM editor's items for a row (what its drop-down offers).
    void colSupBOMGetPropertiesForEdit(int ARecord);
    kvui::ImageComboProperties* BillTypeEditProperties() const { return FBillTypeEditProperties.get(); }
    kvui::ImageComboProperties* BomNoEditProperties() const { return FBomNoEditProperties.get(); }

    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    bool SaveData() override;
    bool QueryClose() override;
    void CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone) override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // The rows as loaded and edited.
    int SupplyRowCount() const;
    QVariant SupplyValue(int ARecord, const QString& AFieldName) const;
    // The quantity a row shows in a period's column, 0 when none.
    double PeriodQty(int ARecord, int APeriodIndex) const;
};
