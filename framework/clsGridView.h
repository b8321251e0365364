#pragma once
// The view of an info object on a banded grid: columns set up from the field
// definitions, the grid's part of the view scheme ("[Positions]", "[Sorts]",
// "[Fields]", "[Total]", "[Summaries]"), its own summary rule, the per-cell
// colour hook, and the view commands export, print, fill, scheme, refresh and
// count. The host's automatic view and the planning library's grid frames
// derive from it.
#include "BandedGrid.h"
#include "clsInfoView.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <functional>
#include <memory>

// Display formats of footer and group summaries.
inline const QString SummarySumFormat = QStringLiteral("###,###,###,##0.########");
inline const QString SummaryMinFormat = QStringLiteral("≥###,###,###,##0.########;≥-###,###,###,##0.########");
inline const QString SummaryMaxFormat = QStringLiteral("≤###,###,###,##0.########;≤-###,###,###,##0.########");

// The 7-character position code of a column in "[Positions]": band identifier
// (1), column index (2), row index (1), line count (1), width (2), all base 36.
// The width is clamped to 20..1295; every other part to what its digits hold.
QString EncodeColumnPosition(int ABandID, int AColIndex, int ARowIndex, int ALineCount, int AWidth);
// Reads the parts in that order into the arguments and stops at the first part
// that is missing or not base 36, leaving the parts read so far; returns how
// many parts were read (5 for a whole code).
int DecodeColumnPosition(const QString& ACode, int& ABandID, int& AColIndex, int& ARowIndex, int& ALineCount, int& AWidth);

// Writes the positions of a grid's or tree list's governed columns (Tag below
// 1, bound to a field, in a band) into the scheme parameters' "[Positions]",
// keeping the order of the stored entries and a hidden column's stored width,
// and returns the shown fields as a list text ("|a|b|"). AFieldName names the
// field of a column.
QString StoreColumnPositions(kvui::BandedView* AView, QString& AParams,
                             const std::function<QString(kvui::Column*)>& AFieldName);

// The summary kind of a "[Summaries]" code: "1" sum, "2" count, "3" maximum,
// "4" minimum; anything else none.
kvui::SummaryKind SummaryKindOfCode(const QString& ACode);
QString SummaryFormatOfKind(kvui::SummaryKind AKind);

// The writers of the export kinds (the grid-export unit installs them); a
// kind whose writer is empty cannot be exported yet. Each raises on failure.
struct TGridExportProcs {
    std::function<void(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       bool AUseNativeFormat, const QString& AFileExt)>
        ExportGridAsExcel;
    std::function<void(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       const QString& AFileExt)>
        ExportGridAsHtml;
    std::function<void(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       const QString& AFileExt)>
        ExportGridAsXml;
    std::function<void(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       const QString& ASeparator, const QString& ABeginString, const QString& AEndString,
                       const QString& AFileExt)>
        ExportGridAsText;
};
TGridExportProcs& GridExportProcs();

// The fill-values dialog on a grid's or tree list's selected rows
// (ShowFillValuesDlg unless a test answers in its place).
using TShowFillValuesDlgProc = std::function<void(kvui::BandedView* AView)>;
TShowFillValuesDlgProc& ShowFillValuesDlgProc();

// The dynamic property of the grid that holds the owning view while an
// export runs (the export asks that view for each cell's colours).
inline constexpr const char* GridOwnerViewProperty = "Tag";

class TInfoGridView : public TCustomInfoView {
    Q_OBJECT
public:
    TInfoGridView(QWidget* AOwner, TInfoObjectDef* AObjectDef);
    ~TInfoGridView() override;

protected:
    // Columns the view made itself for fields without a design-time column;
    // a subclass may reset it, and the scheme then creates no such columns.
    std::unique_ptr<QList<kvui::Column*>> FDynamicColumns;
    // While above 0, a change of the grid's focused record fires no event
    // (a subclass replacing all rows fires it once afterwards).
    int FFocusEventLock = 0;

public:
    // The grid that ViewComponent holds (nullptr before a subclass set it).
    kvui::BandedGrid* GridView() const;

    // The grid's summary rule: empty, zero and blank values are not counted.
    virtual void CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone);
    // Called for every painted and printed data cell with the colours and font
    // about to be used; subclasses colour cells here. Empty in this class.
    virtual void FetchCustomDrawFormat(const kvui::RowRef& ARecord, kvui::Column* AItem, bool ASelected, bool AFocused,
                                       QColor& AOutBrush, QFont& AOutFont, QColor& AOutTextColor);

    void SetFocus() override;
    void ApplyViewScheme() override;
    void StoreViewScheme() override;
    void InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView) override;
    void SetSelectedRecordValue(int AIndex, const QString& AFieldID, const QVariant& AValue) override;
    void SetViewPosition(const QString& AValue) override;
    void RefreshData(bool ARebuild) override;
    void CloseData() override;
    QString GetViewPosition() override;
    QString GetFocusedRecordString(const QString& AFieldID) override;
    int GetSelectedRecordCount() override;
    QVariant GetSelectedRecordValue(int AIndex, const QString& AFieldID) override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

protected:
    // The data controller keeps every record in memory: never in grid mode.
    bool InGridMode() const { return false; }
    void ExportData();
    void PrintData(int ACommandIndex);

private:
    bool FEventsConnected = false;
};
