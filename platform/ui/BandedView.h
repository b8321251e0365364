// The common part of our banded grid and tree list (the role of the component
// suite's banded table view and tree list): bands fixed left, scrolling and fixed
// right; columns placed by band, row and column index; headers, footer and
// summaries; selection, focus, in-place editing, custom draw and clipboard.
// BandedGrid (records of a DataSource, sorted and grouped) and TreeList (nodes)
// supply the rows. Painting, export and printing read one geometry and one cell model.
#pragma once
#include "Editors.h"

#include <QAbstractScrollArea>
#include <QAbstractTableModel>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QPointer>
#include <QSet>
#include <functional>

namespace kvui {

class BandedView;
class TreeNode;
class Column;

enum class BandFixed { None, Left, Right };

struct Band {
    int id = 0;               // identifier stored in layouts
    QString caption;
    BandFixed fixed = BandFixed::None;
    bool visible = true;
    bool ownColumnsOnly = false;  // holds only the columns made for it
    bool movable = false;
    int width = 0;            // 0: as wide as its columns
};

enum class SummaryKind { None, Sum, Count, Min, Max, Average };
struct SummaryItem {
    SummaryKind kind = SummaryKind::None;
    QString format;           // display picture (DisplayFormat.h)
};

// What a hook gets to know about the row a cell belongs to.
struct RowRef {
    enum Kind { Data, Group, GroupFooter, Footer };
    Kind kind = Data;
    int level = 0;
    int record = -1;          // grid: record index of the data source
    TreeNode* node = nullptr; // tree: the node
    int group = -1;           // grid: group of a group row or group footer
};

// A summary being computed: the hook may take over (set done) for each value.
struct SummaryState {
    Column* column = nullptr;
    SummaryKind kind = SummaryKind::None;
    int count = 0;
    QVariant value;           // running result; invalid while nothing counted
};
using SummaryHook = std::function<void(SummaryState& state, const QVariant& value, bool& done)>;

// A cell about to be painted or printed; the custom draw hook may change the
// colours and the font style.
struct CellDraw {
    RowRef row;
    Column* column = nullptr;
    bool selected = false;
    bool focused = false;
    QColor background;
    QColor textColor;
    QFont font;
};
using CustomDrawHook = std::function<void(CellDraw& cell)>;

// The resolved look and content of one cell (what export and printing write).
struct CellFormat {
    QVariant value;
    QString text;
    QColor background;
    QColor textColor;
    QFont font;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
};

class Column : public QObject {
    Q_OBJECT
public:
    explicit Column(BandedView* view);
    BandedView* view() const { return m_view; }
    int index() const;          // position in the view's column list
    int valueIndex() const { return m_valueIndex; } // storage slot of tree node values

    QString fieldName() const { return m_fieldName; }
    void setFieldName(const QString& f);
    int field() const { return m_field; }  // grid: field index in the data source, -1 unbound
    QString caption() const { return m_caption; }
    void setCaption(const QString& c);
    QString hint() const { return m_hint; }
    void setHint(const QString& h) { m_hint = h; }
    int bandIndex() const { return m_band; }
    void setBandIndex(int b);
    int rowIndex() const { return m_row; }
    void setRowIndex(int r);
    int colIndex() const { return m_colIndex; }
    void setColIndex(int c);
    int lineCount() const { return m_lineCount; }
    void setLineCount(int n);
    // Sets band, row and column index at once, shifting the columns after it.
    void setPosition(int band, int row, int colIndex);
    int width() const { return m_width; }
    void setWidth(int w);
    bool isVisible() const { return m_visible; }
    void setVisible(bool v);
    bool isMovable() const { return m_movable; }
    void setMovable(bool m) { m_movable = m; }
    bool isSizable() const { return m_sizable; }
    void setSizable(bool s) { m_sizable = s; }
    bool isSortable() const { return m_sortable; }
    void setSortable(bool s) { m_sortable = s; }
    bool isFilterable() const { return m_filterable; }
    void setFilterable(bool f) { m_filterable = f; }
    bool isGroupable() const { return m_groupable; }
    void setGroupable(bool g) { m_groupable = g; }
    bool isEditable() const { return m_editable; }
    void setEditable(bool e) { m_editable = e; }
    int tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    // Value type word of unbound (tree) columns: "String", "Float", "Integer", ...
    QString valueType() const { return m_valueType; }
    void setValueType(const QString& t) { m_valueType = t; }
    QVariant userData() const { return m_userData; }
    void setUserData(const QVariant& d) { m_userData = d; }

    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    int sortIndex() const { return m_sortIndex; }   // -1: not sorted
    int groupIndex() const { return m_groupIndex; } // -1: not grouped

    EditorPtr editor() const { return m_editor; }
    void setEditor(EditorPtr e);
    // Editor used for editing a given row (per-cell editors); falls back to editor().
    std::function<EditorPtr(const RowRef&)> editorHook;
    // Adjusts the display text of a value (the column's get-display-text event).
    std::function<void(const RowRef&, const QVariant& value, QString& text)> displayTextHook;
    // Supplies the value of an unbound column (computed columns).
    std::function<QVariant(const RowRef&)> valueHook;

    SummaryItem footerSummary() const { return m_footer; }
    void setFooterSummary(SummaryKind k, const QString& format = QString());
    SummaryItem groupSummary() const { return m_groupFooter; }
    void setGroupSummary(SummaryKind k, const QString& format = QString());

    // The editor that shows values of this column when none is set.
    EditorPtr effectiveEditor(const RowRef& row) const;

private:
    friend class BandedView;
    friend class BandedGrid;
    friend class TreeList;
    void changed();
    BandedView* m_view;
    int m_valueIndex = 0;
    QString m_fieldName;
    int m_field = -1;
    QString m_caption, m_hint;
    int m_band = 0, m_row = 0, m_colIndex = 0, m_lineCount = 1, m_width = 70;
    bool m_visible = true, m_movable = true, m_sizable = true, m_sortable = true;
    bool m_filterable = true, m_groupable = true, m_editable = true;
    int m_tag = 0;
    QString m_valueType = QStringLiteral("String");
    QVariant m_userData;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    int m_sortIndex = -1;
    int m_groupIndex = -1;
    EditorPtr m_editor;
    SummaryItem m_footer, m_groupFooter;
};

// Where bands and columns lie inside one record, and the heights of the parts
// around the rows. x is measured from the left edge of the first band.
struct ViewGeometry {
    struct BandGeom { int band; int x; int width; QString caption; BandFixed fixed; };
    struct ColumnGeom { Column* column; QRect rect; };
    QList<BandGeom> bands;
    QList<ColumnGeom> columns;   // visible columns, band by band, row by row
    int lineHeight = 20;
    int recordHeight = 20;
    int recordLines = 1;
    int totalWidth = 0;
    int leftFixedWidth = 0;
    int rightFixedWidth = 0;
    QRect columnRect(const Column* c) const;
};

class CellModel;

class BandedView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit BandedView(QWidget* parent = nullptr);
    ~BandedView() override;

    // Bands
    int addBand(const QString& caption = QString(), BandFixed fixed = BandFixed::None);
    int bandCount() const { return int(m_bands.size()); }
    Band& band(int i) { return m_bands[i]; }
    const Band& band(int i) const { return m_bands[i]; }
    int bandIndexById(int id) const;
    void clearBands();
    // The band new and band-less columns go to: the last one that is not fixed to a
    // side and does not hold its own columns only; 0 when none is.
    int defaultBandIndex() const;

    // Columns
    Column* addColumn(const QString& caption = QString(), const QString& fieldName = QString(), int band = -1);
    void removeColumn(Column* c);
    void clearColumns();
    int columnCount() const { return int(m_columns.size()); }
    Column* column(int i) const { return m_columns.value(i); }
    Column* columnByField(const QString& fieldName) const;
    Column* columnByName(const QString& objectName) const;
    QList<Column*> columns() const { return m_columns; }
    QList<Column*> visibleColumns() const;   // in visual order

    // Options
    void setShowBandHeaders(bool on);
    bool showBandHeaders() const { return m_showBandHeaders; }
    void setShowHeaders(bool on);
    bool showHeaders() const { return m_showHeaders; }
    void setShowFooter(bool on);
    bool showFooter() const { return m_showFooter; }
    void setShowIndicator(bool on);
    bool showIndicator() const { return m_showIndicator; }
    void setEditingEnabled(bool on) { m_editingEnabled = on; if (!on) cancelEdit(); }
    bool editingEnabled() const { return m_editingEnabled; }
    void setReadOnly(bool ro) { m_readOnly = ro; if (ro) cancelEdit(); }
    bool isReadOnly() const { return m_readOnly; }
    void setSortingEnabled(bool on) { m_sortingEnabled = on; }
    bool sortingEnabled() const { return m_sortingEnabled; }
    void setEnterMovesToNextCell(bool on) { m_enterNext = on; }
    void setEqualWidthTagGroups(bool on) { m_equalWidthTags = on; }
    // Summaries over the selected rows when more than one is selected.
    void setSummariesOverSelection(bool on) { m_summaryOverSelection = on; invalidateSummaries(); }
    void setLineHeight(int h) { m_lineHeightOverride = h; relayout(); }
    // Lines between data cells: none, between rows, between columns or both.
    enum class GridLines { None, Horizontal, Vertical, Both };
    void setGridLines(GridLines g) { m_gridLines = g; viewport()->update(); }
    GridLines gridLines() const { return m_gridLines; }

    // Multi-select can be switched on and off at run time; off keeps only the focused row.
    void setMultiSelect(bool on);
    bool multiSelect() const { return m_multiSelect; }

    // Hooks
    void setCustomDrawHook(CustomDrawHook h) { m_customDraw = std::move(h); viewport()->update(); }
    CustomDrawHook customDrawHook() const { return m_customDraw; }
    void setSummaryHook(SummaryHook h) { m_summaryHook = std::move(h); invalidateSummaries(); }
    // Asked before an in-place edit of a cell starts; false vetoes the edit.
    void setEditingHook(std::function<bool(const RowRef&, Column*)> h) { m_editingHook = std::move(h); }
    std::function<bool(const RowRef&, Column*)> editingHook() const { return m_editingHook; }
    SummaryHook summaryHook() const { return m_summaryHook; }
    // True when the cell may be edited now: editing on, not read-only, the column
    // editable, its editor not read-only and the editing hook agreeing.
    bool canEditCell(int row, Column* c) const;
    // Room taken in a row's first cell by tree indents, buttons and images.
    int contentIndent(int row) const { return row >= 0 && row < m_rows.size() ? rowContentIndent(m_rows[row]) : 0; }

    // Rows as shown (data, group rows, group footers)
    int rowCount() const { return int(m_rows.size()); }
    RowRef row(int i) const { return m_rows.value(i); }
    int focusedRow() const;
    Column* focusedColumn() const { return m_focusColumn; }
    void setFocusedColumn(Column* c);
    void setFocusedRow(int row, bool select = true);
    bool isRowSelected(int row) const;
    int selectedRowCount() const { return int(m_selected.size()); }
    // Selected rows (data and group rows) in the order they show.
    QList<int> selectedRows() const;
    // Sets the column's width to fit its caption and the texts of the shown rows.
    void bestFitColumn(Column* c, int maxRows = -1);
    void selectRow(int row, bool on);
    void selectAllRows();
    void clearSelection();
    void makeRowVisible(int row);
    // Scrolls a column of the scrolled bands fully into the area between the
    // fixed bands (its left edge first when it is wider than that area).
    void makeColumnVisible(Column* c);

    // Values and texts of shown rows
    QVariant cellValue(int row, Column* c) const;
    QString cellText(int row, Column* c) const;
    bool setCellValue(int row, Column* c, const QVariant& v);
    // Colours, font and text of a cell after custom draw (printing passes
    // selected and focused as false).
    CellFormat cellFormat(int row, Column* c, bool forPrint = false) const;
    QString footerText(Column* c) const;
    QVariant footerValue(Column* c) const;
    QString groupFooterText(int row, Column* c) const;
    QVariant groupFooterValue(int row, Column* c) const;
    virtual QString groupRowText(int row) const;
    virtual bool rowHasChildren(int row) const;
    virtual bool rowExpanded(int row) const;
    virtual void setRowExpanded(int row, bool expanded);

    // In-place editing
    bool startEdit(Column* c = nullptr, const QString& typed = QString());
    bool postEdit();
    // Writes the editor's value into the cell and keeps editing.
    bool postEditValue();
    void cancelEdit();
    bool isEditing() const { return m_editor != nullptr; }
    QWidget* activeEditor() const { return m_editor; }

    // Clipboard: the focused cell's text, or with selectedRows the selected rows'
    // texts of the visible columns, tab separated, one line per row.
    QString copyText(bool selectedRows) const;
    void copyToClipboard(bool selectedRows) const;

    const ViewGeometry& geometry() const { return m_geom; }
    // The read-out model of what the view shows: one row per shown row, one
    // column per visible column, with display, value, colour and font roles.
    CellModel* cellModel() const { return m_cellModel; }
    int indentWidth() const;  // width left of the bands (group or tree indents)

    // Re-reads rows and geometry.
    void relayout();
    void beginUpdate() { ++m_updateLock; }
    void endUpdate();
    int updateLockCount() const { return m_updateLock; }
    int rowAt(const QPoint& viewportPos) const;
    Column* columnAt(const QPoint& viewportPos) const;
    QRect cellRect(int row, Column* c) const;   // in viewport coordinates
    QRect rowRect(int row) const;

    static constexpr int IndentStep = 18;

    // Styles
    struct Palette {
        QColor content = Qt::white;
        QColor text = Qt::black;
        QColor gridLine = QColor(0xd4, 0xd0, 0xc8);
        QColor header1 = QColor(0xf9, 0xfc, 0xfd);
        QColor header2 = QColor(0xd3, 0xdb, 0xe9);
        QColor headerBorder = QColor(0x9e, 0xb6, 0xce);
        QColor band1 = QColor(0xe3, 0xef, 0xff);
        QColor band2 = QColor(0xb9, 0xd1, 0xea);
        QColor group = QColor(0xf0, 0xf3, 0xf8);
        QColor groupText = QColor(0x1e, 0x39, 0x5b);
        QColor footer = QColor(0xf2, 0xf1, 0xec);
        QColor selection = QColor(0x31, 0x6a, 0xc5);
        QColor selectionText = Qt::white;
        QColor inactiveSelection = QColor(0xc6, 0xd7, 0xf0);
        QColor focusedCell = QColor(0xff, 0xff, 0xff);
        QColor groupBox = QColor(0x8b, 0xa0, 0xbc);
    };
    Palette& viewPalette() { return m_pal; }

signals:
    void focusedRowChanged(int previousRow, int currentRow);
    void selectionChanged();
    void cellDoubleClicked(int row, kvui::Column* column);
    void columnResized(kvui::Column* column);
    void cellEdited(int row, kvui::Column* column, const QVariant& oldValue, const QVariant& newValue);
    void layoutChanged();

protected:
    // Focuses the row of key, selecting it alone; while updates are held the
    // rows are stale, so the focus waits until they are rebuilt.
    void focusKeyWhenShown(quintptr key);
    // Row supply of the subclasses
    virtual void buildRows(QList<RowRef>& rows) = 0;
    virtual QVariant rowValue(const RowRef& r, const Column* c) const = 0;
    virtual bool writeRowValue(const RowRef& r, Column* c, const QVariant& v) = 0;
    // The type an edited value of the cell is converted to (UnknownType: kept as it is).
    virtual int editValueType(const RowRef&, Column*) const { return QMetaType::UnknownType; }
    virtual quintptr rowKey(const RowRef& r) const = 0;
    // The data rows a summary runs over: all (group < 0) or one group's.
    virtual QList<RowRef> summaryRows(const RowRef* groupRow) const = 0;
    virtual int groupLevels() const { return 0; }
    // Space taken inside the first cell of a row (tree indents and images).
    virtual int rowContentIndent(const RowRef&) const { return 0; }
    virtual void paintRowDecoration(QPainter*, const RowRef&, const QRect&) const {}
    virtual bool hitRowDecoration(const RowRef&, const QRect&, const QPoint&) { return false; }
    virtual bool canSelectRow(const RowRef&) const { return true; }
    virtual bool headerDropToGroupBox(Column*) { return false; }
    virtual void paintGroupBox(QPainter*, const QRect&) {}
    virtual int groupBoxHeight() const { return 0; }
    virtual void groupBoxMousePress(QMouseEvent*) {}
    virtual void headerClicked(Column* c, Qt::KeyboardModifiers mods);
    virtual QString sortMarkFor(Column*) const { return QString(); }
    virtual bool isGroupFooterShown() const { return false; }
    // The row that takes the focus when the focused row is gone after the rows
    // were rebuilt (previousRow: where it was, -1 when unknown).
    virtual int focusFallbackRow(int previousRow) const { (void)previousRow; return 0; }

    // Subclasses call these when their rows change.
    void rowsChanged();
    int rowOfKey(quintptr key) const;
    void invalidateSummaries();
    Column* firstVisibleColumn() const;

    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void focusInEvent(QFocusEvent*) override;
    void focusOutEvent(QFocusEvent*) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    bool viewportEvent(QEvent* e) override;

    int headerTop() const;
    int rowsTop() const;
    int rowsBottom() const;
    int bandScreenX(int geomBand) const;
    int screenX(int geomX, int band) const;
    void paintHeaderCell(QPainter* p, const QRect& r, const QString& text, bool band, const QString& mark = QString(),
                         Qt::Alignment a = Qt::AlignLeft | Qt::AlignVCenter, int rightReserve = 0) const;
    // A button at the right of a column header (the grid's filter button): its
    // width, left free by the caption and sort mark, its painting and its press.
    virtual int headerButtonWidth(Column*) const { return 0; }
    virtual void paintHeaderButton(QPainter*, Column*, const QRect& /*header*/) const {}
    virtual bool headerButtonPressed(Column*, const QRect& /*header*/, const QPoint& /*pos*/) { return false; }
    // A column's header cell in viewport coordinates (empty when not shown).
    QRect columnHeaderRect(const Column* c) const;
    void paintExpandButton(QPainter* p, const QRect& r, bool expanded) const;
    QSet<quintptr> m_selected;
    QList<RowRef> m_rows;
    Palette m_pal;

private:
    friend class Column;
    friend class CellModel;
    friend class PrintLink;
    void columnChanged(Column* c, bool relayoutNeeded);
    void computeGeometry();
    void updateScrollBars();
    void paintRows(QPainter* p, const QRect& clip);
    void paintDataRow(QPainter* p, int row, const QRect& rr);
    void paintGroupRow(QPainter* p, int row, const QRect& rr);
    void paintFooterRow(QPainter* p, int row, const QRect& rr, bool groupFooter);
    void paintHeaders(QPainter* p);
    void paintFooter(QPainter* p);
    void paintIndicator(QPainter* p, int row, const QRect& rr);
    void moveFocus(int row, Qt::KeyboardModifiers mods);
    void moveColumnBefore(Column* moving, Column* target);
    void applyEqualWidths(Column* c);
    QVariant computeSummary(Column* c, SummaryKind kind, const QList<RowRef>& rows) const;
    QString summaryText(Column* c, const SummaryItem& item, const QVariant& v) const;
    Column* headerColumnAt(const QPoint& p, bool* nearRightEdge) const;
    void setFocusKey(quintptr key, Column* c);
    int nextEditableColumn(int dir) const;

    QList<Band> m_bands;
    QList<Column*> m_columns;
    int m_nextValueIndex = 0;
    int m_nextBandId = 0;
    ViewGeometry m_geom;
    QList<int> m_rowTop;     // top of each row (relative), plus total at the end
    QHash<quintptr, int> m_keyRow;
    CellModel* m_cellModel;

    bool m_showBandHeaders = true, m_showHeaders = true, m_showFooter = false, m_showIndicator = true;
    bool m_editingEnabled = true, m_readOnly = false, m_sortingEnabled = true, m_enterNext = true;
    bool m_equalWidthTags = true, m_summaryOverSelection = false, m_multiSelect = false;
    int m_lineHeightOverride = 0;
    int m_updateLock = 0;
    bool m_dirty = false;

    quintptr m_focusKey = 0;
    bool m_hasFocusKey = false;
    quintptr m_anchorKey = 0;
    bool m_hasPendingFocus = false;
    quintptr m_pendingFocusKey = 0;
    Column* m_focusColumn = nullptr;

    CustomDrawHook m_customDraw;
    SummaryHook m_summaryHook;
    std::function<bool(const RowRef&, Column*)> m_editingHook;

    mutable QHash<QString, QVariant> m_summaryCache;

    GridLines m_gridLines = GridLines::Both;
    QPointer<QWidget> m_editor;
    EditorPtr m_editorProps;
    int m_editRow = -1;
    Column* m_editColumn = nullptr;
    QVariant m_editOldValue;
    bool m_refusingEdit = false;
    // A typed text that is no value of the cell's type: told, and the editor stays (EditValueCheck.cpp).
    bool refuseEditValue(int row, Column* c, const QVariant& v);
    // Whether the window's focus is on a widget outside the view (an edit ends then without taking it back).
    bool focusMovedAway() const;

    // header mouse work
    enum class Drag { None, Resize, Press, Move };
    Drag m_drag = Drag::None;
    Column* m_dragColumn = nullptr;
    QPoint m_pressPos;
    int m_resizeStartWidth = 0;
    QPoint m_dragPos;
};

// Read-out model of a view (see BandedView::cellModel).
class CellModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Roles { RowKindRole = Qt::UserRole + 1, LevelRole, RecordRole, FontStyleRole, FooterRole };
    explicit CellModel(BandedView* view);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation o, int role) const override;
    Column* columnAt(int section) const { return m_columns.value(section); }
    void reset();
private:
    BandedView* m_view;
    QList<Column*> m_columns;
};

} // namespace kvui
