#pragma once
// The planning settings of every item (QZ_MRP.Items) on a banded grid: browse
// mode with grouping, sorting and filtering, and an edit mode in which the
// settings are changed in place (look-ups by code or name, the loss-rate
// editor for the step text) and saved item by item through the account set's
// procedure QZ_MRP_UpdateItemSetting. Also the item pick-list statement used
// by the other item editors.
#include "clsGridView.h"

#include <QVariant>

class TADOConnection;
class TADOQuery;
namespace kvui {
class DataSetSource;
}

// The item pick-list statement: code, name, size and model and the fields of
// AFields (a bar list of QZ_MRP.Items field IDs) with AExtraSelect, filtered by
// AWhere (whose "%0:s" places take the searched text), ordered by item code.
QString BuildItemPickSQL(const QString& AFields, const QString& AWhere, const QString& AExtraSelect);
// The column name a field of QZ_MRP.Items has in that statement (its caption),
// ADefault when the item list has no such field.
QString ItemPickColumn(const QString& AFieldID, const QString& ADefault);

class TItemSettingFrame : public TInfoGridView {
    Q_OBJECT
public:
    TItemSettingFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TItemSettingFrame() override;

    kvui::BandedGrid* grdItemSetting = nullptr;
    TADOConnection* dbConnection = nullptr;
    TADOQuery* qryItemSetting = nullptr;
    kvui::DataSetSource* dsItemSetting = nullptr;

    kvui::Column *colItmID, *colItmNo, *colItmName, *colItmSpec, *colItmType, *colItmPlanner, *colItmBuyer, *colItmUnit,
        *colItmBuyUnit, *colItmSaleUnit, *colItmInvUnit, *colItmProdUnit, *colItmMrpGroup, *colItmMrpType,
        *colItmMrpTrack, *colItmSafeQty, *colItmMinQty, *colItmLotQty, *colItmMaxQty, *colItmPreLeadTime,
        *colItmFixLeadTime, *colItmVarLeadTime, *colItmVarLeadLot, *colItmPostLeadTime, *colItmPutLossType,
        *colItmPutLossRate, *colItmPutInteger, *colItmMOBomSkip, *colItmOOBomSkip, *colItmMrpSkip, *colItmSuitSkip,
        *colItmOutSkip, *colItmPlanNo, *colItmPlanName, *colItmPlanSpec, *colItmMODept, *colItmPOSupp, *colItmOOSupp,
        *colItmDisabled;

    void RefreshData(bool ARebuild) override;
    void ApplyViewScheme() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;
    bool SaveData() override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    void SwitchEditMode(bool AValue);
    // A cell changed in edit mode: marks the view modified and resolves a
    // look-up cell's text to its identity.
    void grvItemSettingEditValueChanged(int ARecord, kvui::Column* AColumn, const QVariant& AOldValue,
                                        const QVariant& ANewValue);
    // The SQL of one pending record's save.
    QString BuildUpdateSQL(int ARecord) const;
    QVariant RecordValue(int ARecord, const QString& AFieldName) const;

private:
    int UpdateActionIndex() const;
    void ShowBandsWithColumns();
    bool FLookupBusy = false;
};
