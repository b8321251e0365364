#pragma once
// What the grid view and the tree view share beyond their commands: the
// hourglass, the owner-view mark of an export or print, the control's set-up
// for a view, the column positions and sorts of a view scheme applied to and
// read from a control, the fill and count command states, running an export
// and a print link, and a focused value as an SQL literal.
#include "BandedView.h"
#include "clsInfoView.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <functional>

namespace kvui {
struct PrintSettings;
}

// The hourglass for the length of one step, restored on every path.
class TWaitCursor {
public:
    TWaitCursor();
    ~TWaitCursor();
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;
};

// While it lives, the control's dynamic property AProperty holds the owning
// view (an export or print asks that view for each cell's colours); the value
// the property had comes back afterwards, on every path.
class TOwnerViewScope {
public:
    TOwnerViewScope(QObject* AControl, const char* AProperty, QObject* AView);
    ~TOwnerViewScope();
    TOwnerViewScope(const TOwnerViewScope&) = delete;
    TOwnerViewScope& operator=(const TOwnerViewScope&) = delete;

private:
    QObject* FControl;
    const char* FProperty;
    QVariant FPrevious;
};

// Readies a grid or tree list for a view: Enter moves to the next cell,
// columns of one tag group share their width, and the bands neither move nor
// keep a width of their own.
void PrepareViewControl(kvui::BandedView* AView);
// Makes ADraw the control's colour hook for data cells, unless the control
// already has a hook.
void SetDataCellDrawHook(kvui::BandedView* AView, std::function<void(kvui::CellDraw&)> ADraw);
// The caption of a field's column: the field's name after its first "\"
// (what stands before it names the group), else the whole name.
QString FieldColumnCaption(const QString& AFieldName);

// A shown field's column when the scheme stores no positions: one line in
// the first row, at the next free column index of its band.
void PlaceColumnInOrder(kvui::Column* AColumn, QHash<int, int>& ANextColIndex);
// Moves the columns of a grid or tree list to the stored positions
// (APositions, the name=code items of "[Positions]"): a governed column (Tag
// below 1, bound to a field) outside a band goes to the default band, takes
// what its code holds and shows when AShown says so; then every column is set
// in band, row, column and line order, and a shown column shows its band.
// Columns whose stored width was read keep it; the others fit their captions
// and values once rows show. AFieldName names the field of a column.
void ApplyColumnPositions(kvui::BandedView* AView, const QList<QPair<QString, QString>>& APositions,
                          const std::function<QString(kvui::Column*)>& AFieldName,
                          const std::function<bool(const QString& AFieldName)>& AShown);

// One line of "[Sorts]": the field and its code (first character "1" for
// descending; a grid's second character "1" groups by the field).
struct TViewSchemeSort {
    QString FieldName;
    QString Code;
};
// The lines of "[Sorts]" in the scheme parameters, in order, items split at
// "|" or line breaks and a name from its code at the first ":" or "="; lines
// without a name are kept, so that a line's index is its place.
QList<TViewSchemeSort> ReadViewSchemeSorts(const QString& AParams);
// Appends "|name:d" + ASuffix for each of the sorted columns whose field is
// named and not yet in ASortText (d is 1 for descending, else 0).
void AppendSortedColumns(QString& ASortText, const QList<kvui::Column*>& AColumns,
                         const std::function<QString(kvui::Column*)>& AFieldName, const QString& ASuffix);

// The fill command: enabled while the control takes edits and rows are selected.
TCommandState FillCommandState(const kvui::BandedView* AView, int ASelectedCount);
// The "position / count" text of the record-count pane.
QString RecordCountText(int APosition, int ACount);
// Shows the text in the status bar's count pane.
void ShowRecordCount(const QString& AText);

// Asks for the file an export writes, proposing ABaseName + ".xls"; false
// when the user cancelled.
bool AskExportFileName(const QString& ABaseName, QString& AFileName);
// The export kind a file's extension asks for: "html", "xml", "txt", and
// "xls" for anything else.
QString ExportKindOfFile(const QString& AFileName);
// Runs AWrite under the hourglass and tells the user it finished or that
// writing the file failed.
void RunExport(const QString& AFileName, const std::function<void()>& AWrite);

// Page setup, report design, print or preview (by the command) of the view
// with the process-wide link of ALinkClass: the link starts from the settings
// kept in APrintSetting, ASetup adjusts them, and APrintSetting receives the
// settings afterwards. Printing problems are not reported.
void PrintViewWithLink(const QMetaObject& ALinkClass, kvui::BandedView* AView, QWidget* AParent, QString& APrintSetting,
                       int ACommandIndex, const std::function<void(kvui::PrintSettings&)>& ASetup);

// A date or date-time as an SQL literal the server reads whatever its date
// settings: the date alone at midnight, else with the time (and its
// milliseconds when AWithMilliseconds and there are some).
QString DateSqlLiteral(const QDateTime& ADateTime, bool AWithMilliseconds);
// The kinds of value a view tells apart: floating numbers; whole numbers
// and truth values; texts (characters and bytes included).
bool IsFloatValue(const QVariant& AValue);
bool IsOrdinalValue(const QVariant& AValue);
bool IsTextValue(const QVariant& AValue);
// A text, truth or number value as an SQL literal; "null" for empty text and
// for any other kind.
QString ValueSqlLiteral(const QVariant& AValue);
