// The rows a grid shows: records x fields of QVariant values addressed by a
// record index (the role of the data set behind a data-aware grid). A query
// result reaches a grid through a small adapter implementing this interface.
#pragma once
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace kvui {

class DataSource {
public:
    virtual ~DataSource();
    virtual int recordCount() const = 0;
    virtual int fieldCount() const = 0;
    virtual QString fieldName(int field) const = 0;
    // The type of the field's values (QMetaType id); Unknown when not known.
    virtual int fieldType(int field) const { (void)field; return QMetaType::UnknownType; }
    virtual QVariant value(int record, int field) const = 0;
    // Writes a value; false when the source refuses it (read-only source).
    virtual bool setValue(int record, int field, const QVariant& value);
    // Case-insensitive lookup of a field by name; -1 when missing.
    int fieldIndex(const QString& name) const;
    // A record's identity, kept while rows are added, removed or hidden around it,
    // so that the grid's focus and selection stay on the same record. Sources
    // whose rows never move use the record index.
    virtual quint64 recordId(int record) const { return quint64(record); }
    // The record index of an identity; -1 when that record is not shown.
    virtual int recordOfId(quint64 id) const { return id < quint64(recordCount()) ? int(id) : -1; }

    // Called by the source after its rows changed; the grid re-reads them.
    void setChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }
protected:
    void notifyChanged() { if (m_changed) m_changed(); }
private:
    std::function<void()> m_changed;
};

// A client-side static result kept in memory: a field list and rows of values.
class StaticDataSource : public DataSource {
public:
    StaticDataSource() = default;
    explicit StaticDataSource(const QStringList& fields, const QList<int>& types = {});
    void setFields(const QStringList& fields, const QList<int>& types = {});
    void appendRecord(const QVariantList& values);
    void insertRecord(int before, const QVariantList& values);
    void removeRecord(int record);
    void clear();
    void setReadOnly(bool ro) { m_readOnly = ro; }
    // Tells the grid that rows were added or removed.
    void changed() { notifyChanged(); }

    int recordCount() const override { return int(m_rows.size()); }
    int fieldCount() const override { return int(m_fields.size()); }
    QString fieldName(int field) const override { return m_fields.value(field); }
    int fieldType(int field) const override { return m_types.value(field, QMetaType::UnknownType); }
    QVariant value(int record, int field) const override;
    bool setValue(int record, int field, const QVariant& value) override;
private:
    QStringList m_fields;
    QList<int> m_types;
    QList<QVariantList> m_rows;
    bool m_readOnly = false;
};

} // namespace kvui
