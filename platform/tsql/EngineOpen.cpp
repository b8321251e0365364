// Opening an account-set file and the connection's storage settings (write-ahead
// log, durable commits, work tables in memory), a whole copy of the file through
// SQLite, and the catalog of tables the translator types its statements from.
#include "EngineImpl.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <fcntl.h>
#include <unistd.h>

namespace kvtsql {

// ---------------------------------------------------------------- connection
Connection::Connection() : d(std::make_unique<Impl>()) {}

Connection::~Connection() = default;

namespace {

[[noreturn]] void cannotOpen(const QString& file, const QString& reason)
{
    throw SqlException(4060, QStringLiteral("Cannot open database \"%1\": %2.").arg(file, reason));
}

// A file the engine may open: it exists and is a file. Whether it holds a database
// is asked of SQLite once it is open. The file itself is never opened here: under
// POSIX, closing any handle of a file drops every lock the process holds on it,
// so this process's other connections would lose theirs, and another program
// ending would then take itself for the last one and delete the log under them.
void checkExisting(const QString& file)
{
    const QFileInfo info(file);
    if (!info.exists()) cannotOpen(file, QStringLiteral("the file does not exist"));
    if (!info.isFile()) cannotOpen(file, QStringLiteral("it is not a file"));
}

// Whether this process (its effective user) may write the path; a file system
// mounted read-only answers no for everyone.
bool mayWrite(const QString& path, int mode = W_OK)
{
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

QString notAnAccountSet() { return QStringLiteral("the file is not an account set"); }

// The pages the open database holds, its log included (0: an empty file).
qlonglong pageCount(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    qlonglong n = -1;
    if (sqlite3_prepare_v2(db, "PRAGMA page_count", -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return n;
}
} // namespace

std::unique_ptr<Connection> Connection::open(const QString& databaseFile) { return openFile(databaseFile, false); }

std::unique_ptr<Connection> Connection::create(const QString& databaseFile) { return openFile(databaseFile, true); }

bool Connection::readOnly() const { return d->readOnly; }

Connection::ReadOnlyCause Connection::readOnlyCause() const { return d->readOnlyCause; }

QString Connection::pragma(const QString& name) const
{
    static const QRegularExpression plainName(QStringLiteral("^(temp\\.)?[A-Za-z_]+$"));
    if (!plainName.match(name).hasMatch()) return QString();
    QString value;
    sqlite3_stmt* st = nullptr;
    const QByteArray q = "PRAGMA " + name.toLatin1();
    if (sqlite3_prepare_v2(d->db, q.constData(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return value;
}

std::unique_ptr<Connection> Connection::openFile(const QString& databaseFile, bool create)
{
    loadProcedureModules();
    const bool memory = databaseFile == QLatin1String(":memory:");
    if (!create && !memory) checkExisting(databaseFile);
    if (create && !memory && QFileInfo::exists(databaseFile))
        cannotOpen(databaseFile, QStringLiteral("the file exists already"));
    std::unique_ptr<Connection> c(new Connection);
    Impl& d = *c->d;
    d.owner = c.get();
    d.file = databaseFile;
    // An account set this user may not write is read through, leaving nothing beside
    // it; so is one in a folder this user may not write, where its log and the log's
    // index could not be made. Its writes answer 3906 either way.
    if (!create && !memory) {
        const QFileInfo info(databaseFile);
        d.readOnlyCause = !mayWrite(info.absoluteFilePath())            ? ReadOnlyCause::File
                          : !mayWrite(info.absolutePath(), W_OK | X_OK) ? ReadOnlyCause::Folder
                                                                         : ReadOnlyCause::None;
    }
    d.readOnly = d.readOnlyCause != ReadOnlyCause::None;
    QByteArray path = databaseFile.toUtf8();
    int flags = SQLITE_OPEN_FULLMUTEX;
    if (d.readOnly) {
        flags |= SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        path = QUrl::fromLocalFile(QFileInfo(databaseFile).absoluteFilePath()).toEncoded() + "?mode=ro";
        // Every writer of an account set keeps its write-ahead log beside it while it
        // is connected. With no log there, nobody is changing the file: it is read as
        // it stands, without the lock files a shared reader would make (and could not
        // make in a folder it may not write). With a log there, SQLite reads through
        // the log and its index as any reader, seeing what the writers committed.
        // A log without its index (a writer's crash, the index removed) is read only where
        // the index can be made again: its transactions may not be in the file yet.
        if (!QFileInfo::exists(databaseFile + QStringLiteral("-wal"))) path += "&immutable=1";
        else if (d.readOnlyCause == ReadOnlyCause::Folder && !QFileInfo::exists(databaseFile + QStringLiteral("-shm")))
            cannotOpen(databaseFile, QStringLiteral("its folder may not be written, and the write-ahead log beside it "
                                                    "cannot be read without its index (-shm)"));
    } else {
        flags |= SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    }
    // SQLite need not count its memory (nothing here reads the count): each of
    // its allocations then skips a process-wide lock. Only possible before
    // SQLite's first use in the process; later it is refused and changes nothing.
    static const bool noMemoryCount = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
    (void)noMemoryCount;
    // no other code of the process can release the locks SQLite takes on the files
    installFileLocks();
    int rc = sqlite3_open_v2(path.constData(), &d.db, flags, nullptr);
    if (rc != SQLITE_OK) {
        QString msg = d.db ? QString::fromUtf8(sqlite3_errmsg(d.db)) : QStringLiteral("out of memory");
        cannotOpen(databaseFile, msg);
    }
    sqlite3_extended_result_codes(d.db, 1);
    // a double-quoted name is always a name, never a text that stands in for a missing column
    sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(d.db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    sqlite3_busy_timeout(d.db, 10000);
    watchHold(d.db);
    registerFunctions(d.db);
    auto run = [&](const char* sql) {
        char* err = nullptr;
        const int rc = sqlite3_exec(d.db, sql, nullptr, nullptr, &err);
        if (rc != SQLITE_OK) {
            QString msg = rc == SQLITE_NOTADB ? notAnAccountSet() : QString::fromUtf8(err ? err : "error");
            sqlite3_free(err);
            cannotOpen(databaseFile, msg);
        }
    };
    // a file that is a database in name only (damaged, or of another kind) is refused here
    run("SELECT count(*) FROM main.sqlite_master");
    // and so is an empty one, before anything (the log) could be written to it
    if (!create && !memory && pageCount(d.db) == 0) cannotOpen(databaseFile, notAnAccountSet());
    if (!d.readOnly) {
        run("PRAGMA journal_mode=WAL");
        // a committed transaction survives a power cut, as a database server promises
        run("PRAGMA synchronous=FULL");
        // After a commit that leaves 1,000 pages (4 MiB) in the log, they are
        // written back, and the log starts again from its beginning once nobody
        // reads it; a log that grew larger meanwhile is then cut back to 32 MiB.
        run("PRAGMA journal_size_limit=33554432");
    }
    // Temporary tables (a run's work tables) live in a page cache of their own
    // of up to 256 MiB; only what a large run holds beyond spills to a file of
    // the connection's own, which nobody else opens and which is gone with it,
    // so that a run's memory stays bounded whatever it plans.
    run("PRAGMA temp_store=FILE");
    // Work tables hold wide rows in their hundreds of thousands: on 64 KiB pages
    // their trees are shallower and their memory smaller (a 50,000-item MRP run
    // 5% faster, 30 MB less). Set before the first temporary object is made.
    run("PRAGMA temp.page_size=65536");
    run("CREATE TEMP VIEW sysobjects AS "
        "SELECT -rowid AS id, name COLLATE KV AS name, 'U' AS xtype, 'U' AS type, 0 AS uid FROM sqlite_temp_master "
        "WHERE type='table' AND substr(name,1,1)='#' "
        "UNION ALL SELECT rowid, name COLLATE KV, CASE type WHEN 'view' THEN 'V' ELSE 'U' END, "
        "CASE type WHEN 'view' THEN 'V' ELSE 'U' END, 1 FROM main.sqlite_master "
        "WHERE type IN ('table','view') AND name NOT LIKE 'sqlite[_]%'");
    // The work tables' cache, once their schema exists (the view made it).
    run("PRAGMA temp.cache_size=-262144");
    d.watchStatements();
    d.ctx.table = [&d](const QString& name) { return d.tableInfo(name); };
    d.ctx.variable = [&d](const QString& name) -> const Variable* {
        if (!d.frame) return nullptr;
        auto it = d.frame->vars.constFind(name);
        return it == d.frame->vars.constEnd() ? nullptr : &*it;
    };
    d.ctx.identityInsert = [&d]() { return d.identityInsertTable; };
    d.ctx.system = [&d](const QString& name) -> QVariant {
        if (name == "@@error") return qlonglong(d.lastError);
        if (name == "@@rowcount") return qlonglong(d.rowcount);
        if (name == "@@identity") return d.identity;
        if (name.startsWith(QLatin1String("kv_identity:"))) return d.currentIdentity(name.mid(12));
        if (name == "@@trancount") return qlonglong(d.trancount);
        if (name == "@@spid") return qlonglong(51);
        if (name == "@@fetch_status") return qlonglong(-1);
        if (name == "@@datefirst") return qlonglong(7);
        if (name == "@@version") return QStringLiteral("Korvane embedded T-SQL engine on SQLite " SQLITE_VERSION);
        if (name == "@@language") return QStringLiteral("简体中文");
        return QStringLiteral("localhost");
    };
    return c;
}

void Connection::copyTo(const QString& newFile) const
{
    if (!d->db) throw SqlException(4060, QStringLiteral("The connection is closed."));
    if (QFileInfo::exists(newFile)) cannotOpen(newFile, QStringLiteral("the file exists already"));
    // the copy is made under a name of its own and named when whole
    removeAbandonedBuilds(newFile);
    const QString built = buildingFileName(newFile);
    sqlite3* target = nullptr;
    int rc = sqlite3_open_v2(built.toUtf8().constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(target, 10000);
        if (sqlite3_backup* b = sqlite3_backup_init(target, "main", d->db, "main")) {
            sqlite3_backup_step(b, -1);
            sqlite3_backup_finish(b);
        }
        rc = sqlite3_errcode(target);
    }
    const QString msg = target ? QString::fromUtf8(sqlite3_errmsg(target)) : QStringLiteral("out of memory");
    sqlite3_close_v2(target);
    if (rc != SQLITE_OK) {
        // the half-made copy is this call's own file: nobody else has it open
        removeDatabaseFiles(built);
        cannotOpen(newFile, msg);
    }
    moveIntoPlace(built, newFile);
}

// ---------------------------------------------------------------- catalog
TableInfo Connection::Impl::tableInfo(const QString& name)
{
    const QString key = name.toLower();
    auto it = catalog.find(key);
    if (it != catalog.end()) return *it;
    TableInfo info;
    const bool temp = name.startsWith(u'#');
    if (!temp && !compiling) lockFile();
    const char* sql = temp
        ? "select name, type, sql from sqlite_temp_master where type in ('table','view') and name=?1 collate nocase"
        : "select name, type, sql from main.sqlite_master where type in ('table','view') and name=?1 collate nocase";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
        QByteArray b = name.toUtf8();
        sqlite3_bind_text(st, 1, b.constData(), b.size(), SQLITE_TRANSIENT);
        if (sqlite3_step(st) == SQLITE_ROW) {
            info.exists = true;
            info.temp = temp;
            info.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
            info.view = qstrcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)), "view") == 0;
            QString ddl = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
            bool autoinc = ddl.contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);
            QHash<QString, QString> viewTypes;
            int mark = info.view ? ddl.lastIndexOf(QLatin1String("/*kv:types ")) : -1;
            if (mark >= 0) {
                QString list = ddl.mid(mark + 11);
                list.truncate(list.indexOf(QLatin1String("*/")));
                for (const QString& item : list.split(u';', Qt::SkipEmptyParts))
                    viewTypes.insert(item.section(u'=', 0, 0).toLower(), item.section(u'=', 1));
            }
            sqlite3_finalize(st);
            st = nullptr;
            QByteArray q = QStringLiteral("PRAGMA %1table_info(%2)")
                               .arg(temp ? "temp." : "main.", Translator::quote(info.name))
                               .toUtf8();
            if (sqlite3_prepare_v2(db, q.constData(), -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    TableColumn c;
                    c.name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
                    QString decl = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)));
                    c.notNull = sqlite3_column_int(st, 3) != 0;
                    bool pk = sqlite3_column_int(st, 5) != 0;
                    if (autoinc && pk && decl.compare("INTEGER", Qt::CaseInsensitive) == 0) {
                        c.identity = true;
                        static const QRegularExpression step(QStringLiteral("/\\*kv:identity (-?\\d+),(-?\\d+)\\*/"));
                        const QRegularExpressionMatch m = step.match(ddl);
                        if (m.hasMatch()) {
                            c.identitySeed = m.captured(1).toLongLong();
                            c.identityStep = m.captured(2).toLongLong();
                        }
                        info.identityColumn = info.columns.size();
                        c.type.type = SqlType::Integer;
                        c.type.precision = 10;
                    } else {
                        c.type = typeFromDecl(decl.isEmpty() ? viewTypes.value(c.name.toLower()) : decl);
                    }
                    info.columns.append(c);
                }
            }
        }
    }
    if (st) sqlite3_finalize(st);
    if (info.exists) catalog.insert(key, info);
    return info;
}

QVariant Connection::Impl::currentIdentity(const QString& table)
{
    const TableInfo info = tableInfo(table);
    if (info.identityColumn < 0) return QVariant();
    const TableColumn& c = info.columns[info.identityColumn];
    const QString seq = QStringLiteral("SELECT seq FROM %1sqlite_sequence WHERE name = ?1").arg(info.temp ? "temp." : "main.");
    const QString col = Translator::quote(c.name), t = Translator::quote(info.name);
    // an increasing identity continues above the highest value it ever gave; a decreasing
    // one below its lowest row (or its seed)
    Rows r = c.identityStep > 0 ? fetch(seq, {info.name}) : fetch("SELECT min(" + col + ") FROM " + t, {});
    if (!r.rows.isEmpty() && !r.rows[0].isEmpty() && !r.rows[0][0].isNull()) return r.rows[0][0].toLongLong();
    return c.identitySeed - c.identityStep;
}

void Connection::Impl::schemaChanged()
{
    catalog.clear();
    translations.clear();
}

} // namespace kvtsql
