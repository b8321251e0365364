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
    if (lockError(code, trancount > 0 && !sqlite3_get_autocommit(db), e.number, e.severity, e.message)) return e;
    if ((code & 0xff) == SQLITE_READONLY) {
        e.number = 3906;
        e.message = QStringLiteral("Failed to update database \"%1\" because the database is read-only.").arg(QFileInfo(file).fileName());
        return e;
    }
    if ((code & 0xff) == SQLITE_FULL) {
        e.number = 1105;
        e.message = QStringLiteral("Could not allocate space for object in database '%1' because the 'PRIMARY' filegroup is full. "
                                   "Create disk space by deleting unneeded files, dropping objects in the filegroup, adding "
                                   "additional files to the filegroup, or setting autogrowth on for existing files in the filegroup.")
                        .arg(QFileInfo(file).fileName());
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

void Connection::Impl::bind(sqlite3_stmt* st, int i, const QVariant& v)
{
    if (v.isNull()) { sqlite3_bind_null(st, i); return; }
    switch (v.typeId()) {
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::UInt: case QMetaType::ULongLong:
        sqlite3_bind_int64(st, i, v.toLongLong());
        return;
    case QMetaType::Bool: sqlite3_bind_int(st, i, v.toBool() ? 1 : 0); return;
    case QMetaType::Double: case QMetaType::Float: sqlite3_bind_double(st, i, v.toDouble()); return;
    case QMetaType::QByteArray: {
        QByteArray b = v.toByteArray();
        sqlite3_bind_blob(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QDateTime: {
        QDateTime d = v.toDateTime();
        QByteArray b = canonicalDateTime(QDateTime(d.date(), d.time(), Qt::UTC)).toUtf8();
        sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
        return;
    }
    case QMetaType::QDate: {
        QByteArray b = canonicalDateTime(QDateTime(v.toDate(), QTime(0, 0), Qt::UTC)).toUtf8();
        sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
        return;
    }
    default: {
        QByteArray b = v.toString().toUtf8();
        sqlite3_bind_text(st, i, b.constData(), b.size(), SQLITE_TRANSIENT);
    }
    }
}

void Connection::Impl::clearPrepared()
{
    for (sqlite3_stmt* st : std::as_const(prepared)) sqlite3_finalize(st);
    prepared.clear();
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
        int rc = sqlite3_prepare_v3(db, b.constData(), b.size(), SQLITE_PREPARE_PERSISTENT, &st, nullptr);
        if (manyValues) sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, db, 0);
        if (rc != SQLITE_OK) fail(rc);
        prepared.insert(sql, st);
    }
    for (int i = 0; i < params.size(); ++i) bind(st, i + 1, params[i]);
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
    // a transaction chosen to end on a lock conflict is rolled back, as SQL Server does
    if (error.number == 1205 && !sqlite3_get_autocommit(db)) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        trancount = 0;
        schemaChanged();
    }
    // SQLite ends a transaction by itself on some failures (disk full, interrupted)
    if (trancount > 0 && sqlite3_get_autocommit(db)) trancount = 0;
}

int Connection::transactionCount() const { return d->trancount; }

void Connection::rollbackAll()
{
    if (!sqlite3_get_autocommit(d->db)) sqlite3_exec(d->db, "ROLLBACK", nullptr, nullptr, nullptr);
    d->trancount = 0;
    d->schemaChanged();
}

} // namespace kvtsql
