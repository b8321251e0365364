#pragma once
// The grid view the host builds for an info object from its definition alone:
// its own grid with three bands (fixed left, scrolling, fixed right), its own
// query on the process-wide connection, one column per field the scheme
// shows (keys, hidden and sign fields always, hidden), a hidden column per
// action with a row filter, rows capped at the row limit, and row colours by
// the fields that mark a row as closed, to do, warning or error.
#include "clsGridView.h"

class TADOQuery;
namespace kvui {
class DataSetSource;
}

// A cell value's sign: -1, 0 or 1. Null and empty give 0, a Boolean -1 for
// True and 0 for False, anything else the sign of its number (0 when it is
// not one). A row sign counts as set at -1.
int GetVariantSign(const QVariant& AValue);

class TAutoGridView : public TInfoGridView {
    Q_OBJECT
public:
    TAutoGridView(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TAutoGridView() override;

protected:
    TADOQuery* FDefaultQuery = nullptr;
    int FBizClosedCol = -1;
    int FBizToDoCol = -1;
    int FBizWarningCol = -1;
    int FBizErrorCol = -1;

public:
    void ApplyViewScheme() override;
    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void RefreshData(bool ARebuild) override;
    void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                               QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor) override;

    TADOQuery* DefaultQuery() const { return FDefaultQuery; }

private:
    kvui::DataSetSource* FDataSource = nullptr;
    // The sign of a record's value in a sign column; 0 when there is no such column.
    int signOf(int ARecord, int AColumnIndex) const;
};
