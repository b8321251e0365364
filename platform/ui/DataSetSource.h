// Feeds a grid from an open ADO data set (a client-side static result) and
// keeps the grid's edits as a batch on the client, the way a batch-optimistic
// data set does: cell edits, appended and deleted records, each record with
// its status, a filter that shows only the pending records, revert of one
// record or of all, and the old (as loaded) and new value of every cell.
// Nothing is ever written back through the data set: the caller writes the
// pending records by SQL in applyUpdates, inside one transaction.
#pragma once
#include "DataSource.h"

#include <QHash>
#include <QPointer>
#include <QVariantMap>
#include <functional>

class TCustomADODataSet;
class TADOConnection;

namespace kvui {

enum class RecordStatus { Unchanged, Modified, Inserted, Deleted };

class DataSetSource;

// A pending record as the writer of DataSetSource::applyUpdates sees it.
// Valid until the source's records change.
class PendingRecord {
public:
    PendingRecord(const DataSetSource* source, quint64 id) : m_source(source), m_id(id) {}
    quint64 id() const { return m_id; }
    RecordStatus status() const;
    // The record index among the shown records; -1 for a deleted record.
    int record() const;
    // The value to write (for a deleted record the last one it had) and the
    // value as loaded (null for an appended record); null for an unknown field.
    QVariant value(const QString& fieldName) const;
    QVariant oldValue(const QString& fieldName) const;
    bool isChanged(const QString& fieldName) const;

private:
    const DataSetSource* m_source;
    quint64 m_id;
};

class DataSetSource : public DataSource {
public:
    explicit DataSetSource(TCustomADODataSet* dataSet = nullptr);
    void setDataSet(TCustomADODataSet* dataSet);
    TCustomADODataSet* dataSet() const { return m_dataSet; }
    // Call after the data set was opened again: pending changes are dropped,
    // the pending-only filter is lifted (nothing is pending) and the grid re-reads.
    void reset();

    int recordCount() const override;
    int fieldCount() const override;
    QString fieldName(int field) const override;
    int fieldType(int field) const override;
    QVariant value(int record, int field) const override;
    // A value equal to the current one changes nothing; any other makes an
    // unchanged record modified (an appended record stays inserted). A record
    // changed and changed back stays modified.
    bool setValue(int record, int field, const QVariant& value) override;
    quint64 recordId(int record) const override;
    int recordOfId(quint64 id) const override;

    // Values by field name: null, and false, for a field the data set lacks.
    QVariant fieldValue(int record, const QString& fieldName) const;
    bool setFieldValue(int record, const QString& fieldName, const QVariant& value);

    // At most this many of the data set's records are read (none set: all). A
    // query that asked for one row more than a row limit, to know that its
    // result was cut, does not show that row; appended records still show.
    void setRowLimit(std::function<int()> limit) { m_rowLimit = std::move(limit); }

    void setReadOnly(bool ro) { m_readOnly = ro; }
    bool isReadOnly() const { return m_readOnly; }
    // Moves the data set's current record to a record index (the focused
    // record); false for an appended record, which the data set does not hold.
    bool moveTo(int record);

    // Appends a record with the given values (field name -> value, the other
    // fields null); the new record's index, -1 when refused (read-only, no
    // open data set, or a name the data set lacks).
    int appendRecord(const QVariantMap& values = {});
    // Deletes shown records: an appended one is gone at once, any other stays
    // pending as deleted. The number of records deleted.
    int deleteRecords(const QList<int>& records);
    bool deleteRecord(int record) { return deleteRecords({record}) == 1; }

    RecordStatus recordStatus(int record) const;
    QVariant oldValue(int record, int field) const;
    // True when the cell holds a value other than the one loaded.
    bool isValueChanged(int record, int field) const;

    // True while any record is pending (modified, inserted or deleted).
    bool isModified() const { return pendingCount() > 0; }
    int pendingCount() const;
    // Every pending record: the deleted ones first, in the order they were
    // deleted, then the inserted and modified ones in data order.
    QList<PendingRecord> pendingRecords() const;

    // Reverting drops a record's edits: an appended record is gone, a modified
    // one unchanged again with its loaded values.
    bool revertRecord(int record);
    // Every pending change dropped, deleted records shown again.
    void revertAll();

    // Shows only the inserted and modified records (deleted ones never show).
    void setPendingOnly(bool on);
    bool pendingOnly() const { return m_pendingOnly; }

    struct ApplyResult {
        bool ok = false;
        QString error;   // the text of an exception that stopped the apply
    };
    // Writes the pending records (pendingRecords(), in that order) through the
    // caller's writer inside one transaction on the connection: the writer runs
    // the SQL (in batches of its choosing) and answers false on failure. A false
    // answer, an exception or a failed commit rolls everything back and leaves
    // the pending changes as they were, so the save can be tried again. On
    // success the changes become the records' loaded values (deleted records
    // go) and nothing is pending. Nothing pending: the writer is not called.
    // The writer must not add, delete or revert records.
    using Writer = std::function<bool(const QList<PendingRecord>& records)>;
    ApplyResult applyUpdates(TADOConnection* connection, const Writer& writer);

private:
    friend class PendingRecord;
    struct Row {
        quint64 id = 0;
        int base = -1;                 // record of the data set, -1 for an appended record
        RecordStatus status = RecordStatus::Unchanged;
        QHash<int, QVariant> loaded;   // values that replace the data set's (after an apply)
        QHash<int, QVariant> edits;    // pending values
        int deleteOrder = 0;
    };
    void sync() const;
    void loadRows() const;
    void rebuildShown() const;
    void structureChanged();
    const Row* rowOfRecord(int record) const;
    const Row* rowById(quint64 id) const;
    QVariant loadedValue(const Row& row, int field) const;
    QVariant currentValue(const Row& row, int field) const;
    int baseRecordCount() const;

    QPointer<TCustomADODataSet> m_dataSet;
    bool m_readOnly = false;
    bool m_pendingOnly = false;
    std::function<int()> m_rowLimit;
    // Rows follow the data set lazily: a data set opened again with another
    // record count, or closed, is read afresh even without reset().
    mutable QList<Row> m_rows;               // data order; deleted rows kept until applied or reverted
    mutable QList<int> m_shown;              // index into m_rows of each shown record
    mutable QHash<quint64, int> m_rowIndex;  // id -> index into m_rows
    mutable QHash<quint64, int> m_shownIndex;// id -> record index
    mutable int m_loadedCount = -1;          // data set records the rows were made from; -1 none
    mutable quint64 m_nextId = 1;
    int m_deleteSeq = 0;
};

} // namespace kvui
