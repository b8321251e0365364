// SQLite statements of a connection: prepared once per SQL text, bound, stepped
// and released; SQLite's failures as SQL Server's errors; the transaction count
// kept in step with SQLite's own.
#include "EngineImpl.h"

#include <QFileInfo>

namespace kvtsql {

// SQLite's optimisation bit that evaluates constant expressions once, ahead of the loop
static constexpr int kFactorOutConst = 0x0008;

SqlError Connection::Impl::sqliteError(int rc, const QString& context)
{
    SqlError e;
    QString msg = QString::fromUtf8(sqlite3_errmsg(db));
    int ext = sqlite3_extended_errcode(db);
    int number = 0;
    QString text;
    const int code = (ext & 0xff) == (rc & 0xff) ? ext : rc;
    if (holdLostError(db, code, e)) return e;
    if (lockError(code, trancount > 0 && !sqlite3_get_autocommit(db), e.number, e.severity, e.message)) return e;
    if (resourceError(code, QFileInfo(file).fileName(), e)) return e;
    if ((code & 0xff) == SQLITE_READONLY) {
        e.number = 3906;
        e.message = QStringLiteral("Failed to update database \"%1\" because the database is read-only.").arg(QFileInfo(file).fileName());
        return e;
    }
    if (parseFunctionError(msg, number, text)) {
        e.number = number;
        e.message = text;
        return e;
    }
    auto after = [&](const char* prefix) { return msg.mid(int(qstrlen(prefix))).trimmed(); };
    auto stripSchema = [](QString n) {
        if (n.startsWith("main.") || n.startsWith("temp.")) n = n.mid(5);
        return n;
    };
    if (msg.startsWith("no such table:")) {
        e.number = 208;
        e.message = QStringLiteral("Invalid object name '%1'.").arg(stripSchema(after("no such table:")));
    } else if (msg.startsWith("no such column:")) {
        QString c = after("no such column:");
        if (c.contains(u'.')) {
            e.number = 4104;
            e.message = QStringLiteral("The multi-part identifier \"%1\" could not be bound.").arg(c);
        } else {
            e.number = 207;
            e.message = QStringLiteral("Invalid column name '%1'.").arg(c);
        }
    } else if (msg.startsWith("ambiguous column name:")) {
        e.number = 209;
        e.message = QStringLiteral("Ambiguous column name '%1'.").arg(after("ambiguous column name:"));
    } else if (msg.startsWith("no such function:")) {
        e.number = 195;
        e.message = QStringLiteral("'%1' is not a recognized built-in function name.").arg(after("no such function:"));
    } else if (msg.startsWith("UNIQUE constraint failed:")) {
        QString cols = after("UNIQUE constraint failed:");
        QString table = cols.section(u'.', 0, 0);
        if (ext == SQLITE_CONSTRAINT_PRIMARYKEY || ext == SQLITE_CONSTRAINT_ROWID || isPrimaryKey(table, cols)) {
            e.number = 2627;
            e.message = QStringLiteral("Violation of PRIMARY KEY constraint 'PK_%1'. Cannot insert duplicate key in object 'dbo.%1'.").arg(table);
        } else {
            e.number = 2601;
            e.message = QStringLiteral("Cannot insert duplicate key row in object 'dbo.%1' with unique index on (%2).").arg(table, cols);
        }
    } else if (msg.startsWith("NOT NULL constraint failed:")) {
        QString c = after("NOT NULL constraint failed:");
        e.number = 515;
        e.message = QStringLiteral("Cannot insert the value NULL into column '%1', table '%2'; column does not allow nulls. %3 fails.")
                        .arg(c.section(u'.', 1), c.section(u'.', 0, 0), context.isEmpty() ? "INSERT" : context);
    } else if (msg.startsWith("table ") && msg.endsWith("already exists")) {
        QString n = msg.mid(6, msg.size() - 6 - int(qstrlen(" already exists")));
        e.number = 2714;
        e.message = QStringLiteral("There is already an object named '%1' in the database.").arg(n.remove(u'"'));
    } else if (msg.startsWith("index ") && msg.endsWith("already exists")) {
        QString n = msg.mid(6, msg.size() - 6 - int(qstrlen(" already exists")));
        e.number = 1913;
        e.message = QStringLiteral("The operation failed because an index or statistics with name '%1' already exists.").arg(n.remove(u'"'));
    } else if (msg.contains("parser stack overflow") || msg.contains("Expression tree is too large")) {
        e.number = 191;
        e.message = QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries.");
    } else if (msg.contains("syntax error")) {
        QString near = msg.section(u'"', 1, 1);
        e.number = 102;
        e.message = QStringLiteral("Incorrect syntax near '%1'.").arg(near);
    } else if (msg == QLatin1String("integer overflow")) {
        e.number = 8115;
        e.message = integerOverflowMessage(19);
    } else if (msg.startsWith("wrong number of arguments to function")) {
        e.number = 174;
        e.message = QStringLiteral("The %1 function requires a different number of arguments.")
                        .arg(msg.section(' ', 6, 6).remove(QLatin1String("()")));
    } else if (msg.contains("columns but") || msg.contains("sub-select returns")) {
        e.number = 116;
        e.message = QStringLiteral("Only one expression can be specified in the select list when the subquery is not introduced with EXISTS.");
    } else if (msg.contains("SELECTs to the left and right of")) {
        e.number = 205;
        e.message = QStringLiteral("All queries combined using a UNION, INTERSECT or EXCEPT operator must have an equal number of expressions in their target lists.");
    } else if (msg.contains("misuse of aggregate") || msg.contains("aggregate functions are not allowed")) {
        e.number = 147;
        e.message = QStringLiteral("An aggregate may not appear in the WHERE clause unless it is in a subquery contained in a HAVING clause or a select list.");
    } else {
        e.number = 50000;
        e.message = msg;
    }
    return e;
}

bool Connection::Impl::isPrimaryKey(const QString& table, const QString& cols)
{
    TableInfo info = tableInfo(table);
    Q_UNUSED(cols);
    // a table whose declared key became a unique constraint beside its identity column
    QByteArray q = QStringLiteral("select count(*) from pragma_index_list(%1) where origin='pk'")
                       .arg(QStringLiteral("'%1'").arg(QString(info.name).replace("'", "''")))
                       .toUtf8();
    sqlite3_stmt* st = nullptr;
    bool pk = false;
    if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        pk = sqlite3_column_int(st, 0) > 0;
    if (st) sqlite3_finalize(st);
    return pk;
}

int Connection::Impl::bind(sqlite3_stmt* st, int i, const QVariant& v)
{
    if (v.isNull()) return sqlite3_bind_null(st, i);
    switch (v.typeId()) {
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::UInt: case QMetaType::ULongLong:
        return sqlite3_bind_int64(st, i, v.toLongLong());
    case QMetaType::Bool: return sqlite3_bind_int(st, i, v.toBool() ? 1 : 0);
    case QMetaType::Double: case QMetaType::Float: return sqlite3_bind_double(st, i, v.toDouble());
    case QMetaType::QByteArray: {
        QByteArray b = v.toByteArray();
        return sqlite3_bind_blob64(st, i, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QDateTime: {
        QDateTime d = v.toDateTime();
        QByteArray b = canonicalDateTime(QDateTime(d.date(), d.time(), Qt::UTC)).toUtf8();
        return sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    case QMetaType::QDate: {
        QByteArray b = canonicalDateTime(QDateTime(v.toDate(), QTime(0, 0), Qt::UTC)).toUtf8();
        return sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    default: {
        QByteArray b = v.toString().toUtf8();
        return sqlite3_bind_text64(st, i, b.constData(), sqlite3_uint64(b.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

void Connection::Impl::clearPrepared()
{
    for (sqlite3_stmt* st : std::as_const(prepared)) sqlite3_finalize(st);
    prepared.clear();
    fileStatements.clear();
}

sqlite3_stmt* Connection::Impl::prepare(const QString& sql, const QList<QVariant>& params)
{
    sqlite3_stmt* st = prepared.value(sql);
    if (!st) {
        if (prepared.size() >= 256) clearPrepared();
        QByteArray b = sql.toUtf8();
        // SQLite sets every constant apart once, searching the ones it already set
        // apart one by one: with thousands of values (a long IN list or CASE) that
        // search is quadratic, so such a statement evaluates its values where they stand
        const bool manyValues = params.size() > 1000;
        if (manyValues) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, kFactorOutConst);
        touchesFile = false;
        int rc = sqlite3_prepare_v3(db, b.constData(), b.size(), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (manyValues) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, 0);
        if (rc != SQLITE_OK) fail(rc);
        prepared.insert(sql, st);
        if (touchesFile) fileStatements.insert(st);
    }
    beforeRun(st);
    for (int i = 0; i < params.size(); ++i) {
        // a value SQLite refuses (beyond the engine's cap) is the statement's error, never a NULL
        const int rc = bind(st, i + 1, params[i]);
        if (rc != SQLITE_OK) {
            release(st);
            fail(rc);
        }
    }
    return st;
}

void Connection::Impl::release(sqlite3_stmt* st)
{
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
}

void Connection::Impl::finishSteps(sqlite3_stmt* st, int rc, const QString& context)
{
    if (rc != SQLITE_DONE) {
        SqlError e = sqliteError(rc, context);
        release(st);
        syncTransaction(e);
        throw StatementError{e};
    }
    release(st);
}

void Connection::Impl::fail(int rc, const QString& context)
{
    const SqlError e = sqliteError(rc, context);
    syncTransaction(e);
    throw StatementError{e};
}

qint64 Connection::Impl::exec(const QString& sql, const QList<QVariant>& params, const QString& context)
{
    sqlite3_stmt* st = prepare(sql, params);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
    finishSteps(st, rc, context);
    return sqlite3_changes64(db);
}

Connection::Impl::Rows Connection::Impl::fetch(const QString& sql, const QList<QVariant>& params)
{
    sqlite3_stmt* st = prepare(sql, params);
    Rows r;
    const int n = sqlite3_column_count(st);
    for (int i = 0; i < n; ++i) {
        r.names << QString::fromUtf8(sqlite3_column_name(st, i));
        const char* d = sqlite3_column_decltype(st, i);
        r.declTypes << (d ? QString::fromUtf8(d) : QString());
    }
    sqlite3_mutex* lock = sqlite3_db_mutex(db);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QList<QVariant> row;
        row.reserve(n);
        {
            const RowLock held(lock);
            for (int i = 0; i < n; ++i) {
                sqlite3_value* v = sqlite3_column_value(st, i);
                row << storedValue(v, sqlite3_value_type(v));
            }
        }
        r.rows.append(row);
    }
    finishSteps(st, rc);
    return r;
}

void Connection::Impl::syncTransaction(const SqlError& error)
{
    // A transaction chosen to end on a lock conflict is rolled back, as SQL Server does;
    // so is one that met a full disk, a failing or damaged file, a lack of memory or an
    // interruption: SQLite may have rolled it back already, and what it kept is not known.
    const bool ends = endsBatch(error.number);
    if (ends && !sqlite3_get_autocommit(db)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        trancount = 0;
        fileLockPending = false;
        schemaChanged();
    }
    // Whenever SQLite ended the transaction by itself, nothing after the failure may
    // run in that batch: it would run without the transaction and be kept.
    if (trancount > 0 && sqlite3_get_autocommit(db)) {
        trancount = 0;
        schemaChanged();
        ending = error;
    }
    if (ends) ending = error;
}

int Connection::transactionCount() const { return d->trancount; }

void Connection::rollbackAll()
{
    if (!sqlite3_get_autocommit(d->db)) sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
    d->trancount = 0;
    d->fileLockPending = false;
    d->schemaChanged();
}

} // namespace kvtsql
