// Feeds a grid from an open ADO data set (a client-side static result): the
// grid reads records by index; edits stay in the source's own change list
// and are never written back through the data set (callers save them by SQL).
#pragma once
#include "DataSource.h"

#include <QHash>
#include <QPointer>

class TCustomADODataSet;

namespace kvui {

class DataSetSource : public DataSource {
public:
    explicit DataSetSource(TCustomADODataSet* dataSet = nullptr);
    void setDataSet(TCustomADODataSet* dataSet);
    TCustomADODataSet* dataSet() const { return m_dataSet; }
    // Call after the data set was opened again: changes are dropped and the grid re-reads.
    void reset();

    int recordCount() const override;
    int fieldCount() const override;
    QString fieldName(int field) const override;
    int fieldType(int field) const override;
    QVariant value(int record, int field) const override;
    bool setValue(int record, int field, const QVariant& value) override;

    // The edited cells: (record, field) -> value.
    bool isModified() const { return !m_changes.isEmpty(); }
    QHash<QPair<int, int>, QVariant> changes() const { return m_changes; }
    void clearChanges() { m_changes.clear(); }
    void setReadOnly(bool ro) { m_readOnly = ro; }
    // Moves the data set's current record to a record index (the focused record).
    void moveTo(int record);

private:
    QPointer<TCustomADODataSet> m_dataSet;
    QHash<QPair<int, int>, QVariant> m_changes;
    bool m_readOnly = false;
};

} // namespace kvui
