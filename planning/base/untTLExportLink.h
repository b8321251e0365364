// Export of a tree list to an Excel workbook, an HTML page, an XML workbook or
// a text file: the headers, every exported node's row with its indent and
// expand button, and the footer, written through the export writer.
#pragma once

#include "ExportWriter.h"
#include "Exceptions.h"
#include "TreeList.h"

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

// Raised for a tree list that cannot be exported.
class EcxTreeListError : public Exception {
public:
    using Exception::Exception;
};

// One cell item: its rectangle in pixels, its style and what it writes.
struct TcxTLExportVisualItem {
    QRect Bounds;
    int Style = -1;
    QVariant Value;   // the native value or the display text; Null writes nothing
    bool IsBackground = false;   // a band cell: a frame under the cells written after it
    QImage Picture;              // a node image of an indent cell
};

class TcxTreeListExportHelper {
public:
    TcxTreeListExportHelper(kvui::TreeList* ATreeList, int AExportType, const QString& AFileName);
    ~TcxTreeListExportHelper();

    kvui::ExportProvider* Provider() const { return FProvider.get(); }
    bool Expand = false;
    bool IsNativeFormat = false;
    bool SaveAll = true;

    // Collects the nodes, lays out and writes the cells, then commits the file.
    void DoExport();
    // The value a data cell of a node exports: in native format the values of
    // date, mask, currency, spin, calculator and time editors; else numbers and
    // dates of columns of those value types natively (blank when zero or empty),
    // drop-down columns and everything else as their text.
    QVariant GetDataCellValue(kvui::TreeNode* ANode, kvui::Column* AColumn) const;

private:
    void CollectNodes();
    void BuildItems();
    void WriteCells();
    TcxTLExportVisualItem* AddItem(const QRect& ABounds, const QVariant& AValue, int AStyle);
    // The item's borders on data cells: the sides the tree list's grid lines draw.
    int DataCellBorders() const;
    int RegisterStyle(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont, Qt::Alignment AAlign,
                      int ABorders, const QColor& ABorderColor, int AFontSize = 0);

    kvui::TreeList* FTreeList;
    std::unique_ptr<kvui::ExportProvider> FProvider;
    kvui::ExportScale FColumns, FRows;
    int FDefaultRowHeight = 19;
    int FDefaultStyleIndex = 0;
    QList<kvui::TreeNode*> FNodes;
    QList<TcxTLExportVisualItem> FVisualItems;
};

void ExportTreeListToFile(const QString& AFileName, kvui::TreeList* ATreeList, int AExportType, bool AExpand,
                          bool ASaveAll, bool AUseNativeFormat, const QStringList& ASeparators, const QString& AFileExt);
void ExportTreeListAsHtml(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                          const QString& AFileExt);
void ExportTreeListAsXml(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                         const QString& AFileExt);
void ExportTreeListAsExcel(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                           bool AUseNativeFormat, const QString& AFileExt);
void ExportTreeListAsText(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                          const QString& ASeparator, const QString& ABeginString, const QString& AEndString,
                          const QString& AFileExt);
