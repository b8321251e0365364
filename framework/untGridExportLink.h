// Export of a grid view to an Excel workbook, an HTML page, an XML workbook or
// a text file: the grid's header, rows, group rows, group footers and footer
// are laid out into the export writer's cells with the grid's colours.
#pragma once

#include "BandedGrid.h"
#include "ExportWriter.h"
#include "Exceptions.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QVariant>
#include <memory>

// Raised when the grid's view cannot be exported.
class EcxGridExport : public Exception {
public:
    using Exception::Exception;
};

// One laid-out rectangle with its content.
struct TcxExportVisualItem {
    QRect Bounds;
    QVariant Value;
    int Style = -1;
    bool Hidden = false;   // takes room, writes nothing
};

// The base exporter: provider, records, scales, default style and the value rules.
class TcxGridCustomExport {
public:
    TcxGridCustomExport(const QString& AFileName, int AExportType, kvui::BandedGrid* AGrid);
    virtual ~TcxGridCustomExport();

    kvui::ExportProvider* Provider() const { return FProvider.get(); }
    bool Expand = false;
    bool SaveAll = false;
    bool UseNativeFormat = false;

    // Export, then the provider's commit.
    void DoExport();
    // The value a data cell of a shown row exports: dates as dates (blank when
    // empty or zero), numbers as numbers without separators (blank when zero),
    // drop-down columns and everything else as the text shown.
    QVariant GetItemExportValue(int ARow, kvui::Column* AItem) const;

protected:
    virtual void Export();
    virtual void CollectRecords();
    virtual void RegisterDefaultStyle();
    virtual void BuildViewLayout() {}
    virtual void WriteCells();

    int AddVisualItem(const QRect& ABounds, const QVariant& AValue, int AStyle, bool AHidden = false);
    int RegisterStyle(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont, Qt::Alignment AAlign,
                      int ABorders, const QColor& ABorderColor);

    kvui::BandedGrid* FGrid;
    std::unique_ptr<kvui::ExportProvider> FProvider;
    kvui::ExportScale FColumns, FRows;
    int FDefaultRowHeight = 19;
    int FDefaultStyleIndex = 0;
    QList<int> FRecordsList;   // shown rows to export, in order
    QList<TcxExportVisualItem> FVisualItems;
};

// The banded table view: band headers, column headers, data rows with their
// group indents, group rows, group footers and the footer.
class TcxGridBandedTableViewExport : public TcxGridCustomExport {
public:
    using TcxGridCustomExport::TcxGridCustomExport;

protected:
    void BuildViewLayout() override;
    virtual void ExportHeader();
    virtual void ExportBandHeaders();
    virtual void ExportDataRow(int ARow);
    virtual void ExportGroupRow(int ARow);
    virtual void ExportSummaryRow(int ARow, bool AIsFooter, int AIndentLevel);
    virtual int ExportIndent(int ATop, int AHeight, int ALevel, bool AHasButton, int ARow);

    // The cell style of a data cell after the owning view's custom draw.
    int DataCellStyle(int ARow, kvui::Column* AColumn);

    int FTop = 0;
    int FContentLeft = 0;   // left edge of the bands, right of the group indents
    int FRecordWidth = 0;
};

// Writers of the four kinds (the view's export command calls them); each raises on failure.
void ExportGridToFile(const QString& AFileName, int AExportType, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      bool AUseNativeFormat, const QString& ASeparator, const QString& ABeginString,
                      const QString& AEndString, const QString& AFileExt);
void ExportGridAsHtml(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      const QString& AFileExt);
void ExportGridAsXml(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                     const QString& AFileExt);
void ExportGridAsExcel(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       bool AUseNativeFormat, const QString& AFileExt);
void ExportGridAsText(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      const QString& ASeparator, const QString& ABeginString, const QString& AEndString,
                      const QString& AFileExt);

// Installs the writers in the grid view's export table (GridExportProcs), which
// does so itself when it is first used.
struct TGridExportProcs;
void InstallGridExportProcs(TGridExportProcs& AProcs);
void InitGridExportLinkUnit();
