// Banded grid over a DataSource (the role of the component suite's data-aware
// banded table view): records sorted by several columns, grouped with a
// group-by box, footer and group-footer summaries, multi-select and editing.
#pragma once
#include "BandedView.h"
#include "DataSource.h"

#include <functional>

namespace kvui {

class ColumnFilter;
class ColumnFilterBar;
class ColumnFilterDialog;

class BandedGrid : public BandedView {
    Q_OBJECT
public:
    enum GroupFooterMode { NoGroupFooters, GroupFootersWhenExpanded };

    explicit BandedGrid(QWidget* parent = nullptr);
    ~BandedGrid() override;

    // The grid does not own the source (one grid per source). Columns bind to its
    // fields by name.
    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return m_source; }
    // Re-reads the source after its rows changed. The focus and selection stay
    // on the same records (DataSource::recordId); when the focused record is
    // gone the row now at its place takes the focus.
    void refresh();

    // Records (indexes of the data source)
    int recordCount() const;
    QVariant value(int record, Column* c) const;
    QString displayText(int record, Column* c) const;
    bool setValue(int record, Column* c, const QVariant& v);
    int focusedRecordIndex() const;
    // Focuses a record (expanding its groups); false when there is no such record.
    bool setFocusedRecordIndex(int record);
    int rowOfRecord(int record) const;
    // Records in the order the grid shows them.
    QList<int> shownRecordOrder() const { return m_order; }
    QList<int> selectedRecordIndexes() const;   // data records only, in view order
    int selectedRecordCount() const { return int(selectedRecordIndexes().size()); }
    void selectRecord(int record, bool on);
    // A bookmark names the focused record by its identity, so it still finds
    // the record after others were added, deleted or filtered out.
    static constexpr quint64 NoBookmark = ~quint64(0);
    quint64 bookmark() const;
    bool gotoBookmark(quint64 bookmark);

    // Sorting: ascending or descending by several columns, text without regard to case.
    void sortBy(Column* c, Qt::SortOrder order, bool addToSorting = false);
    void clearSorting();
    QList<Column*> sortedColumns() const;

    // Grouping
    void groupBy(Column* c, int groupIndex = -1);
    void ungroup(Column* c);
    void clearGrouping();
    QList<Column*> groupedColumns() const;
    bool isGrouped() const { return !groupedColumns().isEmpty(); }
    void expandAllGroups();
    void collapseAllGroups();
    void setShowGroupByBox(bool on);
    bool showGroupByBox() const { return m_showGroupBox; }
    void setGroupFooterMode(GroupFooterMode m);
    GroupFooterMode groupFooterMode() const { return m_groupFooterMode; }
    // Grouping by the user hides the grouped column and ungrouping shows it again.
    void setHideGroupedColumns(bool on) { m_hideGrouped = on; }

    // Column filtering by the user: a filter button in the header of every
    // filterable column (its values, "(全部)", "(自定义…)"), the custom filter
    // dialog and a filter bar under the rows while a filter is set. The grid
    // shows, counts, sums, exports and prints only the records that pass.
    void setColumnFilteringEnabled(bool on);
    bool columnFilteringEnabled() const { return m_filterEnabled; }
    ColumnFilter* columnFilter() const { return m_filter; }
    ColumnFilterBar* filterBar() const { return m_filterBar; }
    // Called when the custom filter dialog is about to open.
    std::function<void(ColumnFilterDialog&)> customFilterDialogHook;
    // The header rectangle of a column's filter button (empty when it has none).
    QRect filterButtonRect(Column* c) const;

    QString groupRowText(int row) const override;
    bool rowHasChildren(int row) const override;
    bool rowExpanded(int row) const override;
    void setRowExpanded(int row, bool expanded) override;

signals:
    void focusedRecordChanged(int previousRecord, int currentRecord);

protected:
    void buildRows(QList<RowRef>& rows) override;
    QVariant rowValue(const RowRef& r, const Column* c) const override;
    bool writeRowValue(const RowRef& r, Column* c, const QVariant& v) override;
    int editValueType(const RowRef& r, Column* c) const override;
    quintptr rowKey(const RowRef& r) const override;
    QList<RowRef> summaryRows(const RowRef* groupRow) const override;
    int groupLevels() const override { return int(groupedColumns().size()); }
    bool canSelectRow(const RowRef& r) const override { return r.kind != RowRef::GroupFooter; }
    bool headerDropToGroupBox(Column* c) override;
    void paintGroupBox(QPainter* p, const QRect& r) override;
    int groupBoxHeight() const override;
    void groupBoxMousePress(QMouseEvent* e) override;
    void headerClicked(Column* c, Qt::KeyboardModifiers mods) override;
    QString sortMarkFor(Column* c) const override;
    bool isGroupFooterShown() const override { return m_groupFooterMode != NoGroupFooters; }
    int focusFallbackRow(int previousRow) const override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    int headerButtonWidth(Column* c) const override;
    void paintHeaderButton(QPainter* p, Column* c, const QRect& header) const override;
    bool headerButtonPressed(Column* c, const QRect& header, const QPoint& pos) override;

private:
    struct Group {
        int level;
        Column* column;
        QVariant value;
        int first, last;       // range in m_order, last exclusive
        QList<int> children;   // subgroups
        QString key;
    };
    void resolveFields();
    void resort();
    void buildGroups(int parent, int level, int first, int last, const QString& parentKey);
    void emitRows(int group, QList<RowRef>& rows) const;
    QList<QRect> groupBoxItemRects() const;
    int compareRecords(int a, int b, const QList<Column*>& keys) const;
    quintptr recordKey(int record) const;
    void takeRecordKeys();
    void noteFocusedRecord();
    void queueRefresh();
    void filterChanged();
    void placeFilterBar();
    void dropFilteredRecords();

    DataSource* m_source = nullptr;
    QList<int> m_order;
    int m_orderSourceCount = 0;     // the source's record count when m_order was built
    ColumnFilter* m_filter = nullptr;
    ColumnFilterBar* m_filterBar = nullptr;
    bool m_filterEnabled = false;
    QList<quintptr> m_recordKeys;   // row key of each record index, as of the last resort
    QList<Group> m_groups;
    QList<int> m_topGroups;
    QHash<QString, bool> m_expanded;
    mutable QHash<QString, quintptr> m_groupIds;
    bool m_showGroupBox = false;
    bool m_hideGrouped = true;
    GroupFooterMode m_groupFooterMode = NoGroupFooters;
    int m_lastFocusRecord = -1;
    quintptr m_lastFocusKey = 0;
    bool m_refreshing = false;
    bool m_refreshQueued = false;
    Column* m_boxDrag = nullptr;
    QPoint m_boxPress;
};

} // namespace kvui
