// One batch run once per row of values: parsed once, and when it is a single
// insert, update or delete of the parameters, translated and prepared once.
#include "EngineImpl.h"

namespace kvtsql {

SqlError Connection::Impl::rowSizeError(qsizetype values, qsizetype parameters)
{
    SqlError err;
    err.number = 8144;
    err.message = QStringLiteral("A row of values has %1 values for %2 parameters.").arg(values).arg(parameters);
    return err;
}

BatchResult Connection::Impl::runBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows)
{
    BatchResult result;
    QList<StmtP> decl, stmts;
    try {
        decl = parseBatch(QStringLiteral("declare ") + declarations);
        stmts = parseBatch(batch);
    } catch (const SyntaxError& e) {
        SqlError err;
        err.number = e.number;
        err.severity = 15;
        err.message = e.near.isEmpty() ? QStringLiteral("Incorrect syntax near the end of the batch (line %1).").arg(e.line)
                                       : QStringLiteral("Incorrect syntax near '%1'.").arg(e.near);
        result.errors << err;
        lastError = e.number;
        return result;
    }
    QStringList names;
    for (const StmtP& d : decl)
        for (const Stmt::Decl& v : d->decls) names << v.name;
    Frame f;
    Frame* savedFrame = frame;
    BatchResult* savedOut = out;
    frame = &f;
    out = &result;
    ++depth;
    qint64 changedRows = 0;
    QHash<const Stmt*, QString> memo;
    QHash<const Stmt*, QString>* savedMemo = shapeMemo;
    auto failed = [&] {
        for (const SqlError& e : result.errors)
            if (e.severity > 10) return true;
        return false;
    };
    auto restore = [&] {
        shapeMemo = savedMemo;
        --depth;
        frame = savedFrame;
        out = savedOut;
    };
    try {
        // compiled once, as a batch is, before any row runs
        if (!compiles(QList<StmtP>(decl) << stmts)) {
            restore();
            return result;
        }
        runList(decl);
        if (runBulkPrepared(stmts, names, rows, changedRows)) {
            restore();
            result.rowsAffected = changedRows;
            return result;
        }
        shapeMemo = &memo;
        for (const QList<QVariant>& row : rows) {
            if (failed()) break;
            if (row.size() != names.size()) {
                result.errors << rowSizeError(row.size(), names.size());
                break;
            }
            for (int i = 0; i < names.size(); ++i) {
                try {
                    setVariable(names[i], row[i]);
                } catch (const StatementError& e) {
                    record(e.error);
                    break;
                }
            }
            if (failed()) break;
            result.rowsAffected = -1;
            runList(stmts);
            if (result.rowsAffected > 0) changedRows += result.rowsAffected;
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    result.rowsAffected = changedRows;
    return result;
}

bool Connection::Impl::runBulkPrepared(const QList<StmtP>& stmts, const QStringList& names, const QList<QList<QVariant>>& rows,
                                        qint64& changedRows)
{
    if (stmts.size() != 1) return false;
    const Stmt& s = *stmts.first();
    QString context;
    switch (s.kind) {
    case SK::Insert:
        if (s.execSource) return false;
        context = QStringLiteral("INSERT");
        break;
    case SK::Update:
        for (const Assignment& a : s.sets)
            if (!a.variable.isEmpty()) return false;
        context = QStringLiteral("UPDATE");
        break;
    case SK::Delete: context = QStringLiteral("DELETE"); break;
    default: return false;
    }
    if (s.shapeKey.isEmpty()) return false;
    QList<TypeInfo> types;
    for (const QString& n : names) types << frame->vars.value(n).type;

    Translated q;
    QList<int> from;   // where each parameter's value comes from: >= 0 a declared parameter, -1 a constant
    bool identityTable = false;
    sqlite3_stmt* st = nullptr;
    try {
        q = translate(s, [&](Translator& tr) {
            return s.kind == SK::Insert ? tr.insert(s) : s.kind == SK::Update ? tr.update(s) : tr.remove(s);
        });
        if (!q.cacheable) return false;
        for (const ParamSource& src : q.sources) {
            if (src.kind == ParamSource::System) return false;   // may differ from row to row
            from << (src.kind == ParamSource::Variable ? int(names.indexOf(src.name)) : -1);
            if (src.kind == ParamSource::Variable && from.last() < 0) return false;
        }
        identityTable = s.kind == SK::Insert && tableInfo(Translator::tableName(s.table)).identityColumn >= 0;
        st = prepare(q.sql, q.params);
        release(st);
    } catch (const StatementError& e) {
        // the transaction's lock not had within the time-out: the run ends here
        if (e.error.number == 1222 || e.error.number == 1205) {
            record(e.error);
            return true;
        }
        // not translatable or preparable ahead: the row-by-row run reports it as it always has
        return false;
    }
    QList<QVariant> values(names.size());
    // Each row's values: the common ones (a whole number for an integer,
    // a text for a text, a decimal or a 'yyyymmdd' date) are brought to
    // what is stored right here and bound as they stand; any other value
    // goes through the general conversion.
    std::vector<BulkValue> bound(names.size());
    for (const QList<QVariant>& row : rows) {
        if (row.size() != names.size()) {
            out->errors << rowSizeError(row.size(), names.size());
            return true;
        }
        try {
            for (int i = 0; i < names.size(); ++i) {
                if (!bound[i].take(row[i], types[i])) {
                    bound[i].kind = BulkValue::General;
                    values[i] = coerce(row[i], types[i]);
                }
            }
        } catch (const StatementError& e) {
            record(e.error);
            return true;
        }
        int rc = SQLITE_OK;
        for (int i = 0; i < from.size() && rc == SQLITE_OK; ++i) {
            const int k = from[i];
            if (k < 0) {
                rc = bind(st, i + 1, q.params[i]);
                continue;
            }
            const BulkValue& b = bound[k];
            switch (b.kind) {
            case BulkValue::Null: rc = sqlite3_bind_null(st, i + 1); break;
            case BulkValue::Int: rc = sqlite3_bind_int64(st, i + 1, b.number); break;
            case BulkValue::Text: rc = sqlite3_bind_text64(st, i + 1, b.text.data(), b.text.size(), SQLITE_STATIC, SQLITE_UTF8); break;
            case BulkValue::General: rc = bind(st, i + 1, values[k]); break;
            }
        }
        if (rc != SQLITE_OK) {
            // a value SQLite may not hold (beyond the engine's cap): the row's error, never a NULL
            SqlError e = sqliteError(rc, context);
            release(st);
            record(e);
            return true;
        }
        out->rowsAffected = -1;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {}
        if (rc != SQLITE_DONE) {
            SqlError e = sqliteError(rc, context);
            release(st);
            syncTransaction(e);
            record(e);
            return true;
        }
        release(st);
        const qint64 n = sqlite3_changes64(db);
        if (identityTable && n > 0) identity = qlonglong(sqlite3_last_insert_rowid(db));
        changed(n);
        lastError = 0;
        if (n > 0) changedRows += n;
    }
    return true;
}

BatchResult Connection::executeBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows)
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    d->rowcount = 0;
    if (d->depth == 0) d->ending.reset();
    try {
        return d->runBulk(declarations, batch, rows);
    } catch (const std::bad_alloc&) {
        return d->outOfMemoryResult();
    }
}

} // namespace kvtsql
