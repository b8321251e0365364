#include "DataSetSource.h"

#include "Ado.h"

#include <algorithm>

namespace kvui {

namespace {

bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (isNull(a) || isNull(b)) return isNull(a) && isNull(b);
    return a == b;
}

} // namespace

// --- pending record ---------------------------------------------------------

RecordStatus PendingRecord::status() const
{
    const auto* row = m_source->rowById(m_id);
    return row ? row->status : RecordStatus::Unchanged;
}

int PendingRecord::record() const { return m_source->recordOfId(m_id); }

QVariant PendingRecord::value(const QString& fieldName) const
{
    const auto* row = m_source->rowById(m_id);
    int f = m_source->fieldIndex(fieldName);
    return row && f >= 0 ? m_source->currentValue(*row, f) : QVariant();
}

QVariant PendingRecord::oldValue(const QString& fieldName) const
{
    const auto* row = m_source->rowById(m_id);
    int f = m_source->fieldIndex(fieldName);
    return row && f >= 0 ? m_source->loadedValue(*row, f) : QVariant();
}

bool PendingRecord::isChanged(const QString& fieldName) const
{
    const auto* row = m_source->rowById(m_id);
    int f = m_source->fieldIndex(fieldName);
    return row && f >= 0 && !sameValue(m_source->currentValue(*row, f), m_source->loadedValue(*row, f));
}

// --- rows -------------------------------------------------------------------

DataSetSource::DataSetSource(TCustomADODataSet* dataSet) : m_dataSet(dataSet) {}

void DataSetSource::setDataSet(TCustomADODataSet* dataSet)
{
    m_dataSet = dataSet;
    reset();
}

void DataSetSource::reset()
{
    m_pendingOnly = false;
    loadRows();
    notifyChanged();
}

int DataSetSource::baseRecordCount() const
{
    return m_dataSet && m_dataSet->Active() ? m_dataSet->RecordCount() : -1;
}

void DataSetSource::loadRows() const
{
    m_rows.clear();
    m_loadedCount = baseRecordCount();
    const int read = m_rowLimit ? qMin(m_loadedCount, m_rowLimit()) : m_loadedCount;
    for (int i = 0; i < read; ++i) {
        Row r;
        r.id = quint64(i) + 1;
        r.base = i;
        m_rows << r;
    }
    m_nextId = quint64(qMax(0, m_loadedCount)) + 1;
    rebuildShown();
}

void DataSetSource::sync() const
{
    if (baseRecordCount() != m_loadedCount) loadRows();
}

void DataSetSource::rebuildShown() const
{
    m_shown.clear();
    m_rowIndex.clear();
    m_shownIndex.clear();
    for (int i = 0; i < m_rows.size(); ++i) {
        const Row& r = m_rows[i];
        m_rowIndex.insert(r.id, i);
        if (r.status == RecordStatus::Deleted) continue;
        if (m_pendingOnly && r.status == RecordStatus::Unchanged) continue;
        m_shownIndex.insert(r.id, int(m_shown.size()));
        m_shown << i;
    }
}

void DataSetSource::structureChanged()
{
    rebuildShown();
    notifyChanged();
}

const DataSetSource::Row* DataSetSource::rowOfRecord(int record) const
{
    sync();
    if (record < 0 || record >= m_shown.size() || record >= recordCount()) return nullptr;
    return &m_rows[m_shown[record]];
}

const DataSetSource::Row* DataSetSource::rowById(quint64 id) const
{
    sync();
    auto it = m_rowIndex.constFind(id);
    return it == m_rowIndex.constEnd() ? nullptr : &m_rows[*it];
}

QVariant DataSetSource::loadedValue(const Row& row, int field) const
{
    auto it = row.loaded.constFind(field);
    if (it != row.loaded.constEnd()) return *it;
    if (row.base < 0 || !m_dataSet || field < 0 || field >= m_dataSet->FieldCount()) return QVariant();
    // Read the record and put the cursor back where the owner left it.
    int saved = m_dataSet->RecNo();
    bool eof = m_dataSet->Eof();
    m_dataSet->SetRecNo(row.base + 1);
    QVariant v = m_dataSet->Fields()->Field(field)->Value();
    if (saved > 0 && !eof) {
        m_dataSet->SetRecNo(saved);
    } else {
        m_dataSet->Last();
        m_dataSet->Next();
    }
    return v;
}

QVariant DataSetSource::currentValue(const Row& row, int field) const
{
    auto it = row.edits.constFind(field);
    return it != row.edits.constEnd() ? *it : loadedValue(row, field);
}

// --- data source ------------------------------------------------------------

int DataSetSource::recordCount() const
{
    sync();
    return int(m_shown.size());
}

int DataSetSource::fieldCount() const
{
    return m_dataSet && m_dataSet->Active() ? m_dataSet->FieldCount() : 0;
}

QString DataSetSource::fieldName(int field) const
{
    if (field < 0 || field >= fieldCount()) return QString();
    return m_dataSet->Fields()->Field(field)->FieldName();
}

int DataSetSource::fieldType(int field) const
{
    if (field < 0 || field >= fieldCount()) return QMetaType::UnknownType;
    switch (m_dataSet->Fields()->Field(field)->DataType()) {
    case ftWideString: return QMetaType::QString;
    case ftInteger: case ftLargeint: return QMetaType::LongLong;
    case ftBoolean: return QMetaType::Bool;
    case ftFloat: case ftBCD: return QMetaType::Double;
    case ftDateTime: return QMetaType::QDateTime;
    default: return QMetaType::UnknownType;
    }
}

QVariant DataSetSource::value(int record, int field) const
{
    const Row* row = rowOfRecord(record);
    if (!row || field < 0 || field >= fieldCount()) return QVariant();
    return currentValue(*row, field);
}

bool DataSetSource::setValue(int record, int field, const QVariant& value)
{
    const Row* found = rowOfRecord(record);
    if (m_readOnly || !found || field < 0 || field >= fieldCount()) return false;
    Row& row = m_rows[m_rowIndex.value(found->id)];
    if (sameValue(currentValue(row, field), value)) return true;
    row.edits.insert(field, value);
    if (row.status == RecordStatus::Unchanged) row.status = RecordStatus::Modified;
    return true;
}

quint64 DataSetSource::recordId(int record) const
{
    const Row* row = rowOfRecord(record);
    return row ? row->id : 0;
}

int DataSetSource::recordOfId(quint64 id) const
{
    sync();
    int record = m_shownIndex.value(id, -1);
    return record < recordCount() ? record : -1;
}

QVariant DataSetSource::fieldValue(int record, const QString& name) const
{
    return value(record, fieldIndex(name));
}

bool DataSetSource::setFieldValue(int record, const QString& name, const QVariant& value)
{
    return setValue(record, fieldIndex(name), value);
}

bool DataSetSource::moveTo(int record)
{
    const Row* row = rowOfRecord(record);
    if (!row || row->base < 0) return false;
    m_dataSet->SetRecNo(row->base + 1);
    return true;
}

// --- pending changes --------------------------------------------------------

int DataSetSource::appendRecord(const QVariantMap& values)
{
    sync();
    if (m_readOnly || fieldCount() == 0) return -1;
    Row row;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it) {
        int f = fieldIndex(it.key());
        if (f < 0) return -1;
        if (!isNull(it.value())) row.edits.insert(f, it.value());
    }
    row.id = m_nextId++;
    row.status = RecordStatus::Inserted;
    m_rows << row;
    structureChanged();
    return recordOfId(row.id);
}

int DataSetSource::deleteRecords(const QList<int>& records)
{
    if (m_readOnly) return 0;
    QList<quint64> ids;
    for (int record : records)
        if (const Row* row = rowOfRecord(record); row && !ids.contains(row->id)) ids << row->id;
    if (ids.isEmpty()) return 0;
    for (quint64 id : std::as_const(ids)) {
        int i = int(std::find_if(m_rows.cbegin(), m_rows.cend(), [id](const Row& r) { return r.id == id; }) -
                    m_rows.cbegin());
        if (m_rows[i].status == RecordStatus::Inserted) {
            m_rows.removeAt(i);   // never written: nothing is left of it
        } else {
            m_rows[i].status = RecordStatus::Deleted;
            m_rows[i].deleteOrder = ++m_deleteSeq;
        }
    }
    structureChanged();
    return int(ids.size());
}

RecordStatus DataSetSource::recordStatus(int record) const
{
    const Row* row = rowOfRecord(record);
    return row ? row->status : RecordStatus::Unchanged;
}

QVariant DataSetSource::oldValue(int record, int field) const
{
    const Row* row = rowOfRecord(record);
    if (!row || field < 0 || field >= fieldCount()) return QVariant();
    return loadedValue(*row, field);
}

bool DataSetSource::isValueChanged(int record, int field) const
{
    const Row* row = rowOfRecord(record);
    if (!row || field < 0 || field >= fieldCount()) return false;
    return !sameValue(currentValue(*row, field), loadedValue(*row, field));
}

int DataSetSource::pendingCount() const
{
    sync();
    return int(std::count_if(m_rows.cbegin(), m_rows.cend(),
                             [](const Row& r) { return r.status != RecordStatus::Unchanged; }));
}

QList<PendingRecord> DataSetSource::pendingRecords() const
{
    sync();
    QList<const Row*> deleted;
    QList<PendingRecord> out;
    for (const Row& r : std::as_const(m_rows))
        if (r.status == RecordStatus::Deleted) deleted << &r;
    std::sort(deleted.begin(), deleted.end(), [](const Row* a, const Row* b) { return a->deleteOrder < b->deleteOrder; });
    for (const Row* r : std::as_const(deleted)) out << PendingRecord(this, r->id);
    for (const Row& r : std::as_const(m_rows))
        if (r.status == RecordStatus::Inserted || r.status == RecordStatus::Modified) out << PendingRecord(this, r.id);
    return out;
}

bool DataSetSource::revertRecord(int record)
{
    const Row* found = rowOfRecord(record);
    if (!found) return false;
    int i = m_rowIndex.value(found->id);
    if (m_rows[i].status == RecordStatus::Inserted) {
        m_rows.removeAt(i);
    } else {
        m_rows[i].edits.clear();
        m_rows[i].status = RecordStatus::Unchanged;
    }
    structureChanged();
    return true;
}

void DataSetSource::revertAll()
{
    sync();
    m_rows.removeIf([](const Row& r) { return r.status == RecordStatus::Inserted; });
    for (Row& r : m_rows) {
        r.edits.clear();
        r.status = RecordStatus::Unchanged;
    }
    structureChanged();
}

void DataSetSource::setPendingOnly(bool on)
{
    if (m_pendingOnly == on) return;
    m_pendingOnly = on;
    sync();
    structureChanged();
}

DataSetSource::ApplyResult DataSetSource::applyUpdates(TADOConnection* connection, const Writer& writer)
{
    ApplyResult result;
    const QList<PendingRecord> pending = pendingRecords();
    if (pending.isEmpty()) {
        result.ok = true;
        return result;
    }
    if (!connection || !writer) {
        result.error = QStringLiteral("No connection to write the changes on.");
        return result;
    }
    const bool outerTransaction = connection->InTransaction();
    bool written = false;
    try {
        kvado::ScopedTransaction transaction(connection);
        written = writer(pending);
        if (written) transaction.Commit();   // else rolled back by the transaction's scope
    } catch (const Exception& e) {
        written = false;
        result.error = e.Message;
    } catch (const std::exception& e) {
        written = false;
        result.error = QString::fromUtf8(e.what());
    }
    if (!written) {
        // A commit that failed (the writer's own batch may have ended the
        // transaction) leaves the connection counting one: close it for good.
        if (!outerTransaction && connection->InTransaction()) {
            try {
                connection->RollbackTrans();
            } catch (...) {
                // Nothing was left open on the server.
            }
        }
        return result;
    }
    // Written: what was pending is now what the records hold.
    m_rows.removeIf([](const Row& r) { return r.status == RecordStatus::Deleted; });
    for (Row& r : m_rows) {
        for (auto it = r.edits.constBegin(); it != r.edits.constEnd(); ++it) r.loaded.insert(it.key(), it.value());
        r.edits.clear();
        r.status = RecordStatus::Unchanged;
    }
    structureChanged();
    result.ok = true;
    return result;
}

} // namespace kvui
