#pragma once
// The bills behind one balance line of a plan scheme: every supply and demand
// row the MRP run stored for the item (with its properties and MRP group),
// and the substitution allotments in which the item replaced another or was
// replaced, each sorted into a bill class, with one column per plan period.
// The balance view computes its period lines from these rows.
#include "clsGridView.h"
#include "untMRPDataTypes.h"

#include <QHash>

class TADOConnection;
class TADOQuery;
class TPlanScheme;
namespace kvui {
class DataSetSource;
}

// The four master values of a balance line as the bills query takes them:
// texts as SQL literals, the group type as a number.
struct TMRPBillsMaster {
    QString ItmID;      // quoted text or "null"
    QString ItmProps;   // quoted text or "null"
    QString GroupNo;    // quoted text or "null"
    int GroupType = 0;
};

// Reads the master values (lines Name=Value). A value that is not an SQL
// literal (a quoted text or null) is taken as data and quoted, so nothing
// the master passes ever becomes SQL; an absent item is null (no rows),
// absent properties and group number are the empty text.
TMRPBillsMaster ReadBillsMasterValues(const QString& AMasterValues);

class TMRPBillsFrame : public TInfoGridView {
    Q_OBJECT
public:
    TMRPBillsFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPBillsFrame() override;

    // Bill classes of the rows.
    enum TBillClass {
        bcInventory = 1,    // stock, negative stock and safety stock
        bcMainDemand = 2,   // orders, forecasts, free and related needs
        bcOtherDemand = 3,
        bcReplaceOut = 4,   // this item's supply covers another item's demand
        bcOrder = 5,        // open orders and requisitions
        bcReplaceIn = 6,    // another item's supply covers this item's demand
        bcOtherSupply = 7
    };

    kvui::BandedGrid* grdBalDetail = nullptr;
    TADOQuery* qryBalDetail = nullptr;
    kvui::Column* colBtlBillClass = nullptr;
    kvui::Column* colBtlBillType = nullptr;
    kvui::Column* colBtlBillNo = nullptr;
    kvui::Column* colBtlDept = nullptr;
    kvui::Column* colBtlDate = nullptr;
    kvui::Column* colBtlPeriod = nullptr;
    kvui::Column* colBtlHints = nullptr;
    kvui::Column* colBtlNote = nullptr;
    kvui::Column* colBtlBomNo = nullptr;
    kvui::Column* colBtlBillEntry = nullptr;
    kvui::Column* colBtlOrigType = nullptr;
    kvui::Column* colBtlOrigNo = nullptr;
    kvui::Column* colBtlOrigCust = nullptr;
    kvui::Column* colBtlOrigCustPO = nullptr;
    kvui::Column* colBtlOrigItmNo = nullptr;
    kvui::Column* colBtlOrigItmName = nullptr;
    kvui::Column* colBtlOrigItmSpec = nullptr;
    kvui::Column* colBtlOrigTag = nullptr;
    kvui::Column* colBtlBillDate = nullptr;
    kvui::Column* colBtlBillQty = nullptr;
    kvui::Column* colBtlOkQty = nullptr;
    kvui::Column* colBtlInvQty = nullptr;
    kvui::Column* colBtlPOQty = nullptr;
    kvui::Column* colBtlOOQty = nullptr;
    kvui::Column* colBtlMOQty = nullptr;
    kvui::Column* colBtlChkQty = nullptr;
    kvui::Column* colBtlPRQty = nullptr;
    kvui::Column* colBtlORQty = nullptr;
    kvui::Column* colBtlMRQty = nullptr;
    kvui::Column* colBtlPPPQty = nullptr;
    kvui::Column* colBtlReplQty = nullptr;
    kvui::Column* colBtlRItmNo = nullptr;
    kvui::Column* colBtlRItmName = nullptr;
    kvui::Column* colBtlRItmSpec = nullptr;
    kvui::Column* colBtlRItmQty = nullptr;
    kvui::Column* colBtlQty = nullptr;
    kvui::Column* colBtlRestQty = nullptr;

private:
    TPlanScheme* FPlanScheme = nullptr;  // the workbench's, not owned
    TPlanPeriodCols FPeriodCols;
    bool FPeriodQtySummary = false;
    QString FPeriodsStr;
    kvui::DataSetSource* FDataSource = nullptr;
    mutable QHash<QString, int> FFieldIndexes;

    void BuildPeriodColumns();
    void CopyQtySummaryToPeriods();

public:
    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection);
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    const TPlanPeriodCols& PeriodCols() const { return FPeriodCols; }
    QString PeriodsStr() const { return FPeriodsStr; }

    // The bills query for the current master values (what RefreshData opens).
    QString BuildBillsSQL();

    void RefreshData(bool ARebuild) override;
    void ApplyViewScheme() override;
    void CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone) override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // The rows of the last query, in the order it returned them.
    int BillRowCount() const;
    QVariant BillValue(int ARecord, const QString& AFieldName) const;
    // What a row shows in the column of a period: the part of its quantity
    // that falls into the period, Null when none.
    QVariant PeriodValue(int ARecord, int APeriodIndex) const;
};
