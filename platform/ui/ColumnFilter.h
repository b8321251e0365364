// Column filtering of a banded grid (the role of the component suite's
// data-controller filter): per column a criterion or a group of criteria over
// the column's values, all columns joined by AND, switched on and off as a
// whole. It decides which records a grid shows and describes itself in the
// words of the filter control.
#pragma once
#include "FilterControl.h"

#include <QObject>
#include <QStringList>
#include <QVariant>

namespace kvui {

class BandedGrid;
class Column;

// Whether a value meets one criterion. AText is the value as the grid shows
// it; texts compare without regard to case when ACaseInsensitive is set;
// numbers and dates compare as such when both sides are numbers or dates. A
// "contains" value without "%" or "_" matches anywhere in the text, one with
// them is a LIKE pattern as typed.
bool ColumnCriterionMatches(FilterOperator AOp, const QVariantList& AValues, const QVariant& AValue, const QString& AText,
                            bool ACaseInsensitive);

class ColumnFilter : public QObject {
    Q_OBJECT
public:
    explicit ColumnFilter(BandedGrid* grid);

    // The filter in force: criteria present and switched on.
    bool isFiltering() const { return m_active && !m_criteria.isEmpty(); }
    bool isEmpty() const { return m_criteria.isEmpty(); }
    bool isActive() const { return m_active; }
    void setActive(bool on);
    bool caseInsensitive() const { return m_caseInsensitive; }
    void setCaseInsensitive(bool on);

    // The criteria of a column: a group whose children are its conditions;
    // nullptr when the column is not filtered.
    const FilterNode* columnCriteria(const Column* c) const;
    // Sets a column's criteria (a criterion or a group over the column's key);
    // empty criteria clear the column. Switches the filter on.
    void setColumnCriteria(const Column* c, const FilterCriteria& criteria);
    // The column shows only rows whose text is AText.
    void setColumnValue(const Column* c, const QString& text);
    void clearColumn(const Column* c);
    void clear();
    bool isColumnFiltered(const Column* c) const { return columnCriteria(c) != nullptr; }

    // The name a column's criteria use as their field.
    static QString columnKey(const Column* c);
    // A filter-control item for a column (its key, caption and value type).
    FilterItem itemFor(const Column* c) const;
    // Whether the grid shows a record.
    bool accepts(int record) const;
    // The column's distinct texts over all records, sorted, without the empty text.
    QStringList distinctTexts(const Column* c) const;
    // The whole filter in readable words ("[数量] 大于 5 并且 ...").
    QString readableText() const;

signals:
    void changed();

private:
    bool matches(const FilterNode& node, int record) const;
    Column* columnOfKey(const QString& key) const;
    int indexOfColumn(const Column* c) const;

    BandedGrid* m_grid;
    FilterCriteria m_criteria;   // root AND: one group per filtered column
    bool m_active = true;
    bool m_caseInsensitive = false;
};

} // namespace kvui
