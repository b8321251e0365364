#pragma once
// The substitutions of a plan scheme's last MRP run: every allotment in which
// a demand is covered by a substitute item and, on the user's choice, the
// allotments in which a supply planned for one customer document serves
// another one (diversion of the same item). Read-only.
#include "clsGridView.h"
#include "untMRP.h"

class QComboBox;
class QLabel;
class TADOConnection;
class TADOQuery;
namespace kvui {
class DataSetSource;
}

// The condition of the view for a scheme and a diversion option: the
// scheme's substitutions, and with options 1 to 4 the diversions at that
// level (another order line, order, customer, forecast customer).
QString BuildReplacesCondition(int ASchemeIID, int ADivertType);

class TMRPReplacesFrame : public TInfoGridView {
    Q_OBJECT
public:
    TMRPReplacesFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPReplacesFrame() override;

    TADOQuery* qryReplaces = nullptr;
    kvui::BandedGrid* grdReplaces = nullptr;
    kvui::Column* colSupItmNo = nullptr;
    kvui::Column* colSupItmName = nullptr;
    kvui::Column* colSupItmSpec = nullptr;
    kvui::Column* colSupBillNo = nullptr;
    kvui::Column* colSupAdjDays = nullptr;
    QComboBox* cboDivertType = nullptr;
    QLabel* lblPlanState = nullptr;
    kvui::Column* colSupBillType = nullptr;
    kvui::Column* colDmdBillType = nullptr;
    kvui::Column* colDmdBillNo = nullptr;
    kvui::Column* colDmdItmNo = nullptr;
    kvui::Column* colDmdItmName = nullptr;
    kvui::Column* colDmdItmSpec = nullptr;
    kvui::Column* colDmdDate = nullptr;
    kvui::Column* colSupQty = nullptr;
    kvui::Column* colSupIsRepl = nullptr;
    kvui::Column* colDmdReplQty = nullptr;

private:
    TPlanScheme* FPlanScheme = nullptr;  // the owner's, not owned
    kvui::DataSetSource* FDataSource = nullptr;
    bool FDivertHandlerOn = true;

    void cboDivertTypePropertiesChange();
    void PlaceControls();

protected:
    void resizeEvent(QResizeEvent* AEvent) override;

public:
    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection, const TPlanSchemeUIEvents& AUIEvents = {});
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    void RefreshPlanState();

    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void RefreshData(bool ARebuild) override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // The rows loaded (for the owner and the tests).
    int RowCount() const;
    QVariant RowValue(int ARecord, const QString& AFieldName) const;
};
