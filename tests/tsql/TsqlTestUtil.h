// Helpers of the T-SQL engine tests: a scratch database and results as text.
#pragma once

#include "TsqlEngine.h"

#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Readable QString in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace kvtsqltest {

// A value as korvane-sql prints it.
inline QString cell(const QVariant& v, const kvtsql::ColumnInfo& c)
{
    if (v.isNull()) return QStringLiteral("NULL");
    if (c.type == kvtsql::SqlType::DateTime && v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    if (c.type == kvtsql::SqlType::Float) return QString::number(v.toDouble(), 'g', 15);
    return v.toString();
}

// Rows of one result set, fields joined by '|'.
inline QStringList rowsOf(const kvtsql::ResultSet& rs)
{
    QStringList out;
    for (const auto& row : rs.rows) {
        QStringList f;
        for (int i = 0; i < row.size(); ++i) f << cell(row[i], rs.columns[i]);
        out << f.join(u'|');
    }
    return out;
}

inline QString errorsOf(const kvtsql::BatchResult& r)
{
    QStringList e;
    for (const auto& err : r.errors) e << QStringLiteral("%1 %2").arg(err.number).arg(err.message);
    return e.join(u'\n');
}

class ScratchDb {
public:
    ScratchDb() { conn = kvtsql::Connection::create(dir.filePath(QStringLiteral("scratch.db"))); }
    QString path() const { return dir.filePath(QStringLiteral("scratch.db")); }

    // Runs a batch that must succeed.
    kvtsql::BatchResult ok(const QString& batch)
    {
        kvtsql::BatchResult r = conn->execute(batch);
        EXPECT_TRUE(r.errors.isEmpty()) << errorsOf(r).toStdString() << "\nin: " << batch.toStdString();
        return r;
    }
    // Rows of the last result set of a batch that must succeed.
    QStringList rows(const QString& batch)
    {
        kvtsql::BatchResult r = ok(batch);
        if (r.resultSets.isEmpty()) return {QStringLiteral("<no result set>")};
        return rowsOf(r.resultSets.last());
    }

    QTemporaryDir dir;
    std::unique_ptr<kvtsql::Connection> conn;
};

// One line of a table of cases: a batch and the rows of its last result set.
struct RowsCase {
    const char* what;
    const char* sql;
    QStringList rows;
};

// Runs one case: the batch must succeed and give its rows.
inline void runRowsCase(ScratchDb& db, const RowsCase& c)
{
    kvtsql::BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
    ASSERT_TRUE(r.errors.isEmpty()) << c.what << ": " << errorsOf(r).toStdString();
    ASSERT_FALSE(r.resultSets.isEmpty()) << c.what;
    EXPECT_EQ(rowsOf(r.resultSets.last()), c.rows) << c.what << ": " << c.sql;
}

// Runs the cases in order on one database. The first batch that fails or
// gives no result set ends the run.
template <typename Cases>
void runRowsCases(ScratchDb& db, const Cases& cases)
{
    for (const RowsCase& c : cases)
        ASSERT_NO_FATAL_FAILURE(runRowsCase(db, c));
}

// The same, each case on a database of its own that the fixture batch fills first.
template <typename Cases>
void runRowsCasesEach(const QString& fixture, const Cases& cases)
{
    for (const RowsCase& c : cases) {
        ScratchDb db;
        db.ok(fixture);
        ASSERT_NO_FATAL_FAILURE(runRowsCase(db, c));
    }
}

} // namespace kvtsqltest
