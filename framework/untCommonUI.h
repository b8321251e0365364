#pragma once
// What every grid, tree and edit shares: number display rules, the button edit
// that refuses typing, column editors from field definitions (with the
// ValueSource syntax of lookup fields), the row-limit notice, tree fill and
// expansion, the grids' key and mouse rules, the standard edit commands, the
// registry of open view windows, colour mixing and the shared colours.
#include "BandedGrid.h"
#include "ColumnFilterWidgets.h"
#include "DataSetSource.h"
#include "Editors.h"
#include "TreeList.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QColor>
#include <QHash>
#include <functional>
#include <memory>

class QEvent;
class QWidget;
class TCustomADODataSet;

// Colour values as the units keep them: 00BBGGRR (blue in the high byte).
using TColor = quint32;
QColor TColorToQColor(TColor AColor);
TColor QColorToTColor(const QColor& AColor);

inline constexpr TColor EditModeColor = 0x00FF00FF;
inline constexpr TColor UIColor2 = 0x00C2FFFF;
inline constexpr TColor UIColor3 = 0x0000C0C0;
inline constexpr TColor UIColor4 = 0x00FFFFC2;
inline constexpr TColor UIColor5 = 0x00C0C000;
inline constexpr TColor UIColor6 = 0x00FFFFC2;
inline constexpr TColor UIColor7 = 0x00C0C000;
inline constexpr TColor BizClosedTextColor = 0x0000A100;
inline constexpr TColor BizToDoTextColor = 0x00FF00FF;
inline constexpr TColor BizToDoClosedTextColor = 0x00FF0000;
inline constexpr TColor UIColor11 = 0x00FF00FF;
inline constexpr TColor UIColor12 = 0x000000FF;
inline constexpr TColor UIColor13 = 0x00FF0000;
inline constexpr TColor BizWarningTextColors[2] = {0x000000FF, 0x000080FF};
inline constexpr TColor BizErrorBackColor = 0x000000FF;

// Panel colours of the look in use (content background and text).
TColor ContentColor();
TColor ContentTextColor();

// Each channel A * percent / 100 + B * (100 - percent) / 100, capped at 255.
TColor BlendColors(TColor A, TColor B, int APercent);

// Display handlers of number columns: Null and zero show as empty text.
class TCommonUI {
public:
    static void GridFloatColumnGetDisplayText(const kvui::RowRef& ARow, const QVariant& AValue, QString& AText);
    static void TreeFloatColumnGetDisplayText(const kvui::RowRef& ARow, const QVariant& AValue, QString& AText);
    static void GridCurrencyColumnGetDisplayText(const kvui::RowRef& ARow, const QVariant& AValue, QString& AText);
    static void TreeCurrencyColumnGetDisplayText(const kvui::RowRef& ARow, const QVariant& AValue, QString& AText);
    // The grid's custom filter dialog as it opens: its own caption, no title or
    // hint line, and the filter control on the window colour with the focus.
    static void GridFilterControlDialogShow(kvui::ColumnFilterDialog& ADialog);
};
QString FloatDisplayText(const QVariant& AValue);     // "###,###,###,##0.########"
QString CurrencyDisplayText(const QVariant& AValue);  // "###,###,###,##0.00"

// A button edit whose text takes no typing when NoKeyInput is set.
class TExButtonEditProperties : public kvui::ButtonEditProperties {
public:
    bool NoKeyInput() const { return noKeyInput; }
    void SetNoKeyInput(bool AValue) { noKeyInput = AValue; }
    void Assign(const TExButtonEditProperties& ASource) { *this = ASource; }
};
using TExButtonEdit = kvui::ButtonEdit;

// Shared editor descriptions created at start.
kvui::EditorPtr RightAlignedTextItem();
kvui::EditorPtr CenterAlignedTextItem();
kvui::EditorPtr LeftAlignedTextItem();
kvui::EditorPtr CheckBoxItem();   // Null shows unchecked

struct TGridColumnPosition {
    kvui::Column* Column = nullptr;
    bool Visible = false;
    int BandIndex = 0, ColIndex = 0, RowIndex = 0, LineCount = 1, Width = 0;
};
// Orders by band, then row, then column index, then line count.
int CompareColumnPositions(const TGridColumnPosition& A, const TGridColumnPosition& B);

// The notice that a result was cut at MaxResultRowCount. ARowCount is the count
// of a query that asked for one row more than the limit (TopRowsForLimit), so
// a result of exactly MaxResultRowCount rows is known to be whole.
int TopRowsForLimit();
bool CheckResultRowLimit(int ARowCount);
// MaxResultRowCount, or 20000 when it is not set.
int ResultRowLimit();

// While it lives, a view's statement is built with the row cap one above the
// limit (MaxResultRowCount is raised to TopRowsForLimit and put back after).
class TRowCapForQuery {
public:
    TRowCapForQuery();
    ~TRowCapForQuery();
    TRowCapForQuery(const TRowCapForQuery&) = delete;
    TRowCapForQuery& operator=(const TRowCapForQuery&) = delete;

private:
    int FSaved;
};

// A data set's records up to the row limit: the query asked for one row more
// than the limit so that a cut result is known, and that row is not shown.
class TLimitedDataSetSource : public kvui::DataSetSource {
public:
    explicit TLimitedDataSetSource(TCustomADODataSet* ADataSet);
};

// Column editors from a field definition.
void SetupGridColumnEditor(const TInfoFieldDef& AField, kvui::Column* AColumn);
void FillFieldEnumItems(const TInfoFieldDef& AField, kvui::ImageComboProperties& AProperties);

// What a field's ValueSource sets on a pick editor: the text column, the fixed
// columns, the statement and the search condition with its order.
struct TPickSourceSetup {
    bool TextFieldSet = false, FixedFieldsSet = false, SQLSet = false, WhereOrderSet = false;
    QString TextField, FixedFields, SQL, WhereOrder;
};
// AInFilter: the pick editor serves the filter dialog (user fields then also
// offer the current user as '<我>').
TPickSourceSetup ParseValueSource(const TInfoFieldDef& AField, bool AInFilter);

// Trees
// Expands every node, loading children, until the user stops it with Esc.
bool ExpandTreeListAll(kvui::TreeList* ATreeList);

// IDs mapped to their nodes, without regard to case; an ID may be mapped
// before its node exists.
class TTreeNodeMap {
public:
    bool Contains(const QString& AID) const { return FItems.contains(AID.toUpper()); }
    kvui::TreeNode* Node(const QString& AID) const { return FItems.value(AID.toUpper()); }
    void Set(const QString& AID, kvui::TreeNode* ANode) { FItems.insert(AID.toUpper(), ANode); }
    int Count() const { return int(FItems.size()); }
    void Clear() { FItems.clear(); }
private:
    QHash<QString, kvui::TreeNode*> FItems;
};
// Adds the rows of an open query with columns ID, Parent and Name as nodes.
// Rows whose parents form a cycle (or that are their own parent) go to the top
// level, each once; the rows below them follow under them.
void FillTreeListFromQuery(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ANameColumn,
                           int AImageIndex, int AStateIndex, TCustomADODataSet* AQuery, TTreeNodeMap& AMap);
// Deletes every node without children whose state image index is the given
// one, again and again until no such node is left (a parent emptied by the
// prune goes too).
void PruneTreeLeaves(kvui::TreeList* ATreeList, int AStateIndex);

// Key and mouse rules of grids and tree lists; called by the main window's
// event filter for key presses and left button presses. True when the event
// was consumed.
bool HandleGridShortcutMessage(QObject* ATarget, QEvent* AEvent);

// Edit commands 21-28, 47 and 48 for the focused control; True when a control
// is active (the command is then handled here).
bool QueryEditCommandState(int ACommand, TCommandState& AState);
bool ExecEditCommand(int ACommand);

// The view-form registry: key text -> window.
void RegisterViewForm(const QString& AKey, QWidget* AForm);
void UnregisterViewForm(QWidget* AForm);
QWidget* FindViewForm(const QString& AKey);

// The save-file dialog shared by the export commands. AFilter lists
// description|pattern pairs ("Excel 工作簿 (*.xls)|*.xls|..."); a chosen name
// without extension gets ADefaultExt. False when the user cancels.
bool ExecuteSaveFileDialog(const QString& ATitle, const QString& AFileName, const QString& ADefaultExt,
                           const QString& AFilter, QString& AChosenFile);
// Where the dialog starts for a proposed file name: a name with a folder as it
// is; a bare name in the folder of the last file chosen, or at first in the
// user's documents folder (never the process's working folder).
QString SaveFileDialogStartPath(const QString& AFileName);
// Remembers the folder of a chosen file for the next dialog.
void RememberSaveFileFolder(const QString& AChosenFile);
// Answers the dialog in its place (tests); an empty hook restores the dialog.
using TSaveFileDialogHook = std::function<bool(const QString& ATitle, const QString& AFileName,
                                               const QString& ADefaultExt, const QString& AFilter, QString& AChosenFile)>;
void SetSaveFileDialogHook(TSaveFileDialogHook AHook);

// The open-file dialog of the import: starts at the given file (or the last
// folder chosen) and lists the filter's description|pattern pairs. False when
// the user cancels.
bool ExecuteOpenFileDialog(const QString& ATitle, const QString& AFileName, const QString& AFilter, QString& AChosenFile);
// Answers the dialog in its place (tests); an empty hook restores the dialog.
using TOpenFileDialogHook =
    std::function<bool(const QString& ATitle, const QString& AFileName, const QString& AFilter, QString& AChosenFile)>;
void SetOpenFileDialogHook(TOpenFileDialogHook AHook);
