#pragma once
// The main demand of one plan scheme: its rows with the spread of each row's
// planned quantity over the scheme's MPS periods, one column per period. In
// edit mode the planner changes priorities, quantities, notes and spreads,
// adds and deletes free needs and saves them in one transaction; the due-date
// adjustment moves quantities into a period or takes them from an import.
#include "clsGridView.h"
#include "untMRP.h"
#include "untMRPDataTypes.h"

#include <QLabel>
#include <QStringList>
#include <map>
#include <memory>

class TADOConnection;
class TADOQuery;
class TPickEditProperties;
namespace kvui {
class DataSetSource;
class ImageComboProperties;
}

class TMRPMainFrame : public TInfoGridView {
    Q_OBJECT
public:
    TMRPMainFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TMRPMainFrame() override;

    kvui::BandedGrid* grdMain = nullptr;
    TADOQuery* qryMain = nullptr;
    QLabel* lblPlanState = nullptr;

    void SetPlanScheme(TPlanScheme* APlanScheme, TADOConnection* AConnection = nullptr,
                       const TPlanSchemeUIEvents& AEvents = TPlanSchemeUIEvents());
    void RefreshPlanState();
    TPlanScheme* PlanScheme() const { return FPlanScheme; }
    const TPlanPeriodCols& PeriodCols() const { return FPeriodCols; }

    void RefreshData(bool ARebuild) override;
    void ApplyViewScheme() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    bool SaveData() override;
    void CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone) override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    // Switches between browse and edit mode (the Update command).
    void SetEditing(bool AValue);
    // The column of a field, nullptr when none.
    kvui::Column* FieldColumn(const QString& AFieldName) const;
    // Rows as loaded and edited (record indexes of the data set).
    int RowCount() const;
    QVariant RowValue(int ARecord, const QString& AFieldName) const;
    bool SetRowValue(int ARecord, const QString& AFieldName, const QVariant& AValue);
    // The part of a row's planned quantity in a period (0 when none).
    double PeriodQty(int ARecord, int APeriodIndex) const;
    // Text typed into a period cell of a row.
    void SetPeriodText(int ARecord, int APeriodIndex, const QString& AText);
    // Double-click or Space on a period cell.
    void TogglePeriodCell(int ARecord, int APeriodIndex);
    bool CanEditCell(int ARecord, kvui::Column* AColumn) const;
    void AddNeed();
    void DelNeed();
    QString DeleteIIDs() const { return FDeleteIIDs; }

    void AdjustDueDates();
    // The new spread of one row for the period rule of the adjustment; false
    // when the row stays as it is.
    static bool AdjustRowHints(const TPlanPeriods& APeriods, int APeriod, bool AOnlyPast, TDateTime ADate, double AQty,
                               QString& AHints);
    void ImportAdjustments(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText,
                           int& AMessageField);
    TExchangeFieldRecs ImportFieldRecs() const;
    // The item pick of ItmNo and the MRP grouping drop-down of ManGroupType.
    TPickEditProperties* PickEditProperties() const { return FPickEditProperties.get(); }
    kvui::ImageComboProperties* GroupTypeProperties() const { return FGroupTypeProperties.get(); }

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    TPlanScheme* FPlanScheme = nullptr;  // the workbench's, not owned
    TPlanPeriodCols FPeriodCols;
    bool FPeriodQtySummary = false;
    TPlanSchemeUIEvents FPlanSchemeUIEvents;
    QVariant FOldValue;
    QString FDeleteIIDs;
    int FAdjPeriod = 0;
    // Accumulated spread per demand key over one import.
    std::map<QString, std::map<QString, double>> FImportQtys;
    kvui::DataSetSource* FDataSource = nullptr;
    std::shared_ptr<TPickEditProperties> FPickEditProperties;
    std::shared_ptr<kvui::ImageComboProperties> FGroupTypeProperties;

    void BuildPeriodColumns();
    void CopyQtySummaryToPeriods();
    bool CheckSchemeState(bool ARefreshData);
    void RefreshSchemeState();
    void ItemChanged(int ARecord);
    bool CheckPendingRows();
    bool WriteScheme(const QString& ASQL);
    int PeriodOfRow(int ARecord) const;
    QString ActionID(int ACommandIndex) const;
    void FocusCell(int ARecord, kvui::Column* AColumn);
    void ReloadKeepingPosition();
};
