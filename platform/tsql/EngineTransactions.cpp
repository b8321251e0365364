// Transactions of a connection and the file's write lock.
//
// Several connections and programs share one account-set file; SQLite lets one
// of them write at a time. A transaction that has read the file cannot start
// writing after another connection committed (its reads would be stale), and
// SQLite refuses that at once instead of waiting. So `begin tran` opens a
// transaction that takes the write lock before its first statement on the
// file's tables, reading or writing, and waits for it as a server's statement
// waits for its locks: up to the lock time-out (10 s, `set lock_timeout`), then
// 1222. Statements on #temp tables alone lock nothing, so a run that fills its
// work tables inside a transaction keeps others free to save.
#include "EngineImpl.h"

#include <QElapsedTimer>
#include <QThread>

#include <cstring>

namespace kvtsql {

namespace {

// Marks the statement being prepared when it reads or writes the file's own
// tables (the schema included), or calls a function that looks into it.
int watchAccess(void* impl, int action, const char* object, const char* detail, const char* database, const char*)
{
    auto* d = static_cast<Connection::Impl*>(impl);
    if (database && std::strcmp(database, "main") == 0) d->touchesFile = true;
    // a table read without its columns (count(*)) comes without its database: a
    // work table is known by its name
    else if (action == SQLITE_READ && !database && object && object[0] != '#' && std::strcmp(object, "sqlite_temp_master") != 0)
        d->touchesFile = true;
    else if (action == SQLITE_FUNCTION && detail && std::strcmp(detail, "kv_object_id") == 0) d->touchesFile = true;
    return SQLITE_OK;
}

// A table of the file, named so that an empty delete on it can be prepared.
QString anyTable(sqlite3* db)
{
    QString name;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "select name from main.sqlite_master where type='table' and substr(name, 1, 7)<>'sqlite_' "
                               "order by rowid limit 1", -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW)
        name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return name;
}

} // namespace

void Connection::Impl::watchStatements()
{
    sqlite3_set_authorizer(db, watchAccess, this);
    lockTable = anyTable(db);
}

void Connection::Impl::setLockTimeout(int milliseconds)
{
    lockTimeout = milliseconds < 0 ? -1 : milliseconds;
    // SQLite waits in its busy handler; "no limit" is a day
    sqlite3_busy_timeout(db, lockTimeout < 0 ? 86400000 : lockTimeout);
}

void Connection::Impl::beginTransaction()
{
    if (trancount == 0) {
        exec("BEGIN");
        fileLockPending = !readOnly;
    }
    ++trancount;
}

void Connection::Impl::commitTransaction()
{
    if (trancount == 1) exec("COMMIT");
    --trancount;
    if (trancount == 0) fileLockPending = false;
}

void Connection::Impl::rollbackTransaction()
{
    trancount = 0;
    fileLockPending = false;
    if (!sqlite3_get_autocommit(db)) exec("ROLLBACK");
    schemaChanged();
}

void Connection::Impl::lockFile()
{
    if (!fileLockPending) return;
    if (sqlite3_get_autocommit(db)) {
        fileLockPending = false;
        return;
    }
    int state = sqlite3_txn_state(db, "main");
    if (state == SQLITE_TXN_WRITE) {
        fileLockPending = false;
        return;
    }
    if (state == SQLITE_TXN_READ && sqlite3_txn_state(db, "temp") != SQLITE_TXN_WRITE) {
        // Only read so far (the catalog while a statement was translated): the
        // reads end and the transaction starts again, as a read-committed
        // transaction sees what others committed since.
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        state = SQLITE_TXN_NONE;
    }
    if (lockTable.isEmpty()) lockTable = anyTable(db);
    if (lockTable.isEmpty()) {
        // a file without tables: nothing to read before writing
        fileLockPending = false;
        return;
    }
    const QByteArray sql = "DELETE FROM main." + Translator::quote(lockTable).toUtf8() + " WHERE 0";
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        // the table went: another one serves
        sqlite3_finalize(st);
        st = nullptr;
        lockTable = anyTable(db);
        state = sqlite3_txn_state(db, "main");
        if (lockTable.isEmpty()) {
            fileLockPending = false;
            return;
        }
        const QByteArray again = "DELETE FROM main." + Translator::quote(lockTable).toUtf8() + " WHERE 0";
        rc = sqlite3_prepare_v2(db, again.constData(), -1, &st, nullptr);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            fail(rc);
        }
    }
    // Without a read of its own SQLite waits in its busy handler; after a read
    // (work tables written first) it answers at once, so the wait is here.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        rc = sqlite3_step(st);
        if (rc != SQLITE_BUSY || state == SQLITE_TXN_NONE) break;
        if (lockTimeout >= 0 && waited.elapsed() >= lockTimeout) break;
        sqlite3_reset(st);
        QThread::msleep(5);
    }
    if (rc == SQLITE_DONE) {
        sqlite3_finalize(st);
        fileLockPending = false;
        return;
    }
    const SqlError e = sqliteError(rc);
    sqlite3_finalize(st);
    syncTransaction(e);
    throw StatementError{e};
}

} // namespace kvtsql
