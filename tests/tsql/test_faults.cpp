// Failures of the machine under the engine: a full disk, a failing disk, memory run
// out, an interrupted statement, a damaged file, values grown without end. A transaction SQLite ends by itself
// ends the batch as a deadlock does (nothing after the failure runs, nothing of
// the transaction is kept), and each failure carries SQL Server's number.
#include "TsqlTestUtil.h"

#include "EngineImpl.h"

#include <QFile>

using namespace kvtsql;
using namespace kvtsqltest;

namespace {

sqlite3* handleOf(Connection& c) { return c.impl()->db; }

qlonglong pragmaValue(Connection& c, const char* pragma)
{
    sqlite3_stmt* st = nullptr;
    qlonglong v = -1;
    if (sqlite3_prepare_v2(handleOf(c), pragma, -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

// The disk is full: the file may not grow by more than a few pages.
void fillTheDisk(Connection& c)
{
    const qlonglong pages = pragmaValue(c, "PRAGMA page_count");
    const QByteArray limit = "PRAGMA max_page_count=" + QByteArray::number(pages + 2);
    sqlite3_exec(handleOf(c), limit.constData(), nullptr, nullptr, nullptr);
}

void freeTheDisk(Connection& c) { sqlite3_exec(handleOf(c), "PRAGMA max_page_count=1073741823", nullptr, nullptr, nullptr); }

// The next statement that runs is interrupted, as sqlite3_interrupt does it.
int interruptsArmed = 0;
int interruptHandler(void*) { return interruptsArmed > 0 ? (--interruptsArmed, 1) : 0; }

// A file system whose writes fail while armed: SQLite's own files pass through a
// VFS that forwards every call to the system's, and answers writes with the armed
// error code instead.
int failingWrites = 0;   // the error code writes answer; 0: they pass

struct FaultFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_vfs* systemVfs = nullptr;
sqlite3_io_methods faultMethods;

sqlite3_file* realOf(sqlite3_file* f) { return reinterpret_cast<FaultFile*>(f)->real; }

int faultWrite(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset)
{
    if (failingWrites) return failingWrites;
    return realOf(f)->pMethods->xWrite(realOf(f), data, amount, offset);
}

int faultOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* ff = reinterpret_cast<FaultFile*>(file);
    ff->real = reinterpret_cast<sqlite3_file*>(ff + 1);
    const int rc = systemVfs->xOpen(systemVfs, name, ff->real, flags, outFlags);
    if (!ff->real->pMethods) {
        file->pMethods = nullptr;
        return rc;
    }
    // every call of the system's file but the write goes straight to it
    static const bool made = [&] {
        const sqlite3_io_methods& m = *ff->real->pMethods;
        faultMethods = m;
        faultMethods.xClose = [](sqlite3_file* f) { return realOf(f)->pMethods->xClose(realOf(f)); };
        faultMethods.xRead = [](sqlite3_file* f, void* d, int n, sqlite3_int64 o) { return realOf(f)->pMethods->xRead(realOf(f), d, n, o); };
        faultMethods.xWrite = faultWrite;
        faultMethods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return realOf(f)->pMethods->xTruncate(realOf(f), n); };
        faultMethods.xSync = [](sqlite3_file* f, int fl) { return realOf(f)->pMethods->xSync(realOf(f), fl); };
        faultMethods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return realOf(f)->pMethods->xFileSize(realOf(f), n); };
        faultMethods.xLock = [](sqlite3_file* f, int l) { return realOf(f)->pMethods->xLock(realOf(f), l); };
        faultMethods.xUnlock = [](sqlite3_file* f, int l) { return realOf(f)->pMethods->xUnlock(realOf(f), l); };
        faultMethods.xCheckReservedLock = [](sqlite3_file* f, int* r) { return realOf(f)->pMethods->xCheckReservedLock(realOf(f), r); };
        faultMethods.xFileControl = [](sqlite3_file* f, int op, void* a) { return realOf(f)->pMethods->xFileControl(realOf(f), op, a); };
        faultMethods.xSectorSize = [](sqlite3_file* f) { return realOf(f)->pMethods->xSectorSize(realOf(f)); };
        faultMethods.xDeviceCharacteristics = [](sqlite3_file* f) { return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f)); };
        faultMethods.xShmMap = [](sqlite3_file* f, int r, int sz, int e, void volatile** p) { return realOf(f)->pMethods->xShmMap(realOf(f), r, sz, e, p); };
        faultMethods.xShmLock = [](sqlite3_file* f, int o, int n, int fl) { return realOf(f)->pMethods->xShmLock(realOf(f), o, n, fl); };
        faultMethods.xShmBarrier = [](sqlite3_file* f) { realOf(f)->pMethods->xShmBarrier(realOf(f)); };
        faultMethods.xShmUnmap = [](sqlite3_file* f, int d) { return realOf(f)->pMethods->xShmUnmap(realOf(f), d); };
        faultMethods.xFetch = [](sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return realOf(f)->pMethods->xFetch(realOf(f), o, n, p); };
        faultMethods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 o, void* p) { return realOf(f)->pMethods->xUnfetch(realOf(f), o, p); };
        return true;
    }();
    (void)made;
    file->pMethods = &faultMethods;
    return rc;
}

// Makes the failing file system the default one for the connections opened while it lives.
struct FaultVfs {
    sqlite3_vfs vfs{};
    FaultVfs()
    {
        systemVfs = sqlite3_vfs_find(nullptr);
        vfs = *systemVfs;
        vfs.zName = "kv_fault";
        vfs.szOsFile = int(sizeof(FaultFile)) + systemVfs->szOsFile;
        vfs.xOpen = faultOpen;
        sqlite3_vfs_register(&vfs, 1);
    }
    ~FaultVfs()
    {
        sqlite3_vfs_register(systemVfs, 1);
        sqlite3_vfs_unregister(&vfs);
    }
};

// The disk fails: the next pages written (a small cache spills them) meet the error.
void failTheDisk(Connection& c)
{
    sqlite3_exec(handleOf(c), "PRAGMA cache_size=5", nullptr, nullptr, nullptr);
    failingWrites = SQLITE_IOERR_WRITE;
}

// Memory runs out while pages are written out (SQLite's out-of-memory error from its file layer).
void runOutOfMemory(Connection& c)
{
    sqlite3_exec(handleOf(c), "PRAGMA cache_size=5", nullptr, nullptr, nullptr);
    failingWrites = SQLITE_IOERR_NOMEM;
}

void mendTheDisk(Connection& c)
{
    failingWrites = 0;
    sqlite3_exec(handleOf(c), "PRAGMA cache_size=-2000", nullptr, nullptr, nullptr);
}

const char* kFixture =
    "create table tlog (id int identity(1,1) primary key, v nvarchar(4000) not null)\n"
    "create table n (i int)\n"
    "insert tlog (v) values ('before')\n"
    "declare @k int set @k = 0\n"
    "begin tran while @k < 200 begin insert n values (@k) set @k = @k + 1 end commit\n";

} // namespace

TEST(TsqlFaults, ATransactionEndedByAFailureEndsTheBatch)
{
    const FaultVfs failingFiles;
    registerProcedure(QStringLiteral("kv_test_interrupt_next"), [](ProcedureCall&) { interruptsArmed = 1; });
    struct Case {
        const char* what;
        void (*fault)(Connection&);
        const char* failing;   // the statement that meets the failure
        int number;
        int severity;
    };
    const Case cases[] = {
        {"a full disk", fillTheDisk, "insert tlog (v) select replicate('x', 4000) from n", 1105, 17},
        {"an interruption", nullptr, "exec kv_test_interrupt_next insert tlog (v) values ('interrupted')", 3980, 16},
        {"a failing disk", failTheDisk, "insert tlog (v) select replicate('x', 4000) from n", 823, 24},
        {"memory run out", runOutOfMemory, "insert tlog (v) select replicate('x', 4000) from n", 701, 17},
    };
    for (const Case& c : cases) {
        ScratchDb db;
        db.ok(QString::fromUtf8(kFixture));
        sqlite3_progress_handler(handleOf(*db.conn), 1, interruptHandler, nullptr);
        if (c.fault) c.fault(*db.conn);
        // the batch of the report: a failure inside the transaction, then more work and a rollback
        BatchResult r = db.conn->execute(QStringLiteral("begin tran\n"
                                                        "insert tlog (v) values ('in the transaction')\n"
                                                        "%1\n"
                                                        "insert tlog (v) values ('after')\n"
                                                        "update tlog set v = 'changed after'\n"
                                                        "select @@trancount\n"
                                                        "rollback\n").arg(QString::fromUtf8(c.failing)));
        freeTheDisk(*db.conn);
        mendTheDisk(*db.conn);
        sqlite3_progress_handler(handleOf(*db.conn), 0, nullptr, nullptr);
        interruptsArmed = 0;
        ASSERT_EQ(r.errors.size(), 1) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, c.number) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].severity, c.severity) << c.what;
        EXPECT_TRUE(r.resultSets.isEmpty()) << c.what << ": nothing after the failure runs";
        EXPECT_EQ(db.conn->transactionCount(), 0) << c.what;
        EXPECT_EQ(db.rows("select @@trancount, xact_state()"), QStringList{"0|0"}) << c.what;
        EXPECT_EQ(db.rows("select v from tlog order by id"), QStringList{"before"}) << c.what << ": nothing of the transaction is kept";
        // the next batch works as ever
        db.ok("begin tran insert tlog (v) values ('next') commit");
        EXPECT_EQ(db.rows("select count(*) from tlog"), QStringList{"2"}) << c.what;
    }
    unregisterProcedure(QStringLiteral("kv_test_interrupt_next"));
}

TEST(TsqlFaults, AFailureOutsideATransactionEndsTheBatchToo)
{
    ScratchDb db;
    db.ok(QString::fromUtf8(kFixture));
    fillTheDisk(*db.conn);
    BatchResult r = db.conn->execute("insert tlog (v) select replicate('x', 4000) from n\n"
                                     "insert tlog (v) values ('after')\n"
                                     "select @@error");
    freeTheDisk(*db.conn);
    ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 1105);
    EXPECT_TRUE(r.errors[0].message.contains(QStringLiteral("磁盘已满"))) << r.errors[0].message.toStdString();
    EXPECT_TRUE(r.resultSets.isEmpty());
    EXPECT_EQ(db.rows("select v from tlog"), QStringList{"before"});
}

TEST(TsqlFaults, AProcedureThatGoesOnAfterItsBatchEndedEndsTheCaller)
{
    // a procedure that swallows its statement's failure and runs more: nothing more runs
    registerProcedure(QStringLiteral("kv_test_swallow"), [](ProcedureCall& call) {
        interruptsArmed = 1;
        try {
            call.run(QStringLiteral("insert tlog (v) values ('interrupted')"));
        } catch (const SqlException&) {
        }
        try {
            call.run(QStringLiteral("insert tlog (v) values ('after, in the procedure')"));
        } catch (const SqlException&) {
        }
    });
    ScratchDb db;
    db.ok(QString::fromUtf8(kFixture));
    sqlite3_progress_handler(handleOf(*db.conn), 1, interruptHandler, nullptr);
    BatchResult r = db.conn->execute("begin tran insert tlog (v) values ('in the transaction') exec kv_test_swallow "
                                     "insert tlog (v) values ('after') commit");
    sqlite3_progress_handler(handleOf(*db.conn), 0, nullptr, nullptr);
    interruptsArmed = 0;
    unregisterProcedure(QStringLiteral("kv_test_swallow"));
    ASSERT_FALSE(r.errors.isEmpty());
    EXPECT_EQ(r.errors.last().number, 3980) << errorsOf(r).toStdString();
    EXPECT_EQ(db.conn->transactionCount(), 0);
    EXPECT_EQ(db.rows("select v from tlog order by id"), QStringList{"before"});
}

TEST(TsqlFaults, MemoryRunOutInTheEngineIs701)
{
    // an allocation that fails in the engine's own code (here a procedure's) is the batch's
    // error 701, ending it and its transaction, never an exception out of execute
    registerProcedure(QStringLiteral("kv_test_no_memory"), [](ProcedureCall&) { throw std::bad_alloc(); });
    ScratchDb db;
    db.ok(QString::fromUtf8(kFixture));
    BatchResult r;
    EXPECT_NO_THROW(r = db.conn->execute("begin tran insert tlog (v) values ('in the transaction') exec kv_test_no_memory "
                                         "insert tlog (v) values ('after') commit"));
    unregisterProcedure(QStringLiteral("kv_test_no_memory"));
    ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 701);
    EXPECT_EQ(db.conn->transactionCount(), 0);
    EXPECT_EQ(db.rows("select v from tlog"), QStringList{"before"});
}

TEST(TsqlFaults, ADamagedPageIs824)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("damaged.db"));
    {
        auto c = Connection::create(file);
        BatchResult r = c->execute(QString::fromUtf8(kFixture) + "insert tlog (v) select replicate('x', 2000) from n");
        ASSERT_TRUE(r.errors.isEmpty()) << errorsOf(r).toStdString();
    }
    // a page of the table's rows, well past the schema, overwritten
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_GT(f.size(), 40 * 4096);
        f.seek(30 * 4096);
        f.write(QByteArray(4096, '\xA5'));
    }
    auto c = Connection::open(file);
    BatchResult r = c->execute("select count(*), max(len(v)) from tlog select 'after'");
    ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 824) << errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].severity, 24);
    EXPECT_TRUE(r.resultSets.isEmpty());
}

TEST(TsqlFaults, GrowingTextsHaveACap)
{
    ScratchDb db;
    db.ok("create table big (v nvarchar(max))");
    struct Case {
        const char* what;
        const char* sql;
    };
    // each of these would take gigabytes; each is refused before it is made
    const Case cases[] = {
        {"replicate of a replicate", "select len(replicate(replicate('ab', 100000), 100000))"},
        {"replace that multiplies", "select len(replace(replicate('a', 1048576), 'a', replicate('b', 1048576)))"},
        {"space", "select len(space(2000000000))"},
        {"concatenation", "select len(replicate('a', 40000000) + replicate('b', 40000000))"},
        {"concatenation of unknown types", "declare @s nvarchar(max) set @s = replicate('a', 40000000) select len(@s + @s)"},
        {"a variable doubled", "declare @s nvarchar(max) set @s = replicate('a', 40000000) set @s = @s + @s"},
        {"a stored value", "insert big values (replicate('a', 40000000) + replicate('b', 40000000))"},
    };
    for (const Case& c : cases) {
        BatchResult r = db.conn->execute(QString::fromUtf8(c.sql));
        ASSERT_EQ(r.errors.size(), 1) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, 7119) << c.what << ": " << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].message, QStringLiteral("Attempting to grow LOB beyond maximum allowed size of 67108864 bytes."));
    }
    // a value handed in beyond the cap is refused, never stored as NULL
    {
        const QList<QList<QVariant>> rows = {{QString(int(kMaxValueBytes) + 1, u'a')}};
        BatchResult r = db.conn->executeBulk("@v nvarchar(max)", "insert big values (@v)", rows);
        ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, 7119);
        r = db.conn->executeBulk("@v nvarchar(max)", "insert big select @v", rows);
        ASSERT_EQ(r.errors.size(), 1) << errorsOf(r).toStdString();
        EXPECT_EQ(r.errors[0].number, 7119);
    }
    // below the cap they work, past the old limit of a million repetitions too
    EXPECT_EQ(db.rows("select len(replicate('ab', 2000000)), len(replace(replicate('a', 1000), 'a', 'bcd')), len(space(5) + 'x')"),
              QStringList{"4000000|3000|6"});
    EXPECT_EQ(db.rows("select count(*) from big"), QStringList{"0"});
}

TEST(TsqlFaults, LikeWithAPatternOfThousandsOfWildcardsAnswers)
{
    ScratchDb db;
    // each % once took a level of recursion: 200,000 of them overflowed the stack
    EXPECT_EQ(db.rows("select case when replicate('a', 300000) like replicate('%a', 200000) + 'b' then 1 else 0 end, "
                      "case when replicate('a', 300000) like replicate('%a', 200000) then 1 else 0 end"),
              QStringList{"0|1"});
}
