// Programs that write to one account set at once wait for each other's write
// lock as a server's sessions wait for their locks: a transaction takes the lock
// at its first statement on the file's tables and keeps it to its end, so one
// that reads and then writes never finds its reads outdated; the one that waits
// goes on when the other ends, and answers 1222 only after its lock time-out.
// The other programs are real processes (kv-sql-session, korvane-sql).
#include "ProgramSessions.h"
#include "TsqlTestUtil.h"

#include <QElapsedTimer>
#include <QThread>

namespace {

using kvtsqltest::runTool;
using kvtsqltest::Session;
using kvtsqltest::Tool;

class LockWaits : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir.filePath(QStringLiteral("shared.kvdb"));
        kvtsql::Connection::create(file)->execute(QStringLiteral("create table T (a int)"));
    }

    QString valuesIn() const { return runTool(file, QStringLiteral("select a from T order by a")); }

    static QString values(std::initializer_list<int> list)
    {
        QString out = QStringLiteral("a\n");
        for (int v : list) out += QString::number(v) + u'\n';
        return out + QStringLiteral("(%1 rows affected)\n").arg(list.size());
    }

    QTemporaryDir dir;
    QString file;
};

} // namespace

TEST_F(LockWaits, AWriteWaitsForAnotherProgramsTransactionToEnd)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 begin tran insert T values (1)"), "ok");
    Tool b(file, "begin tran\ninsert T values (2)\ncommit");
    QThread::msleep(1500);
    EXPECT_TRUE(b.running()) << "the second program waits for the lock";
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(b.output(), "") << "and writes once the first one committed";
    EXPECT_EQ(valuesIn(), values({1, 2}));
}

// The transaction reads first (as a bill save reads the next number), another
// program commits meanwhile: the read took the lock, so the other waits and the
// transaction's write goes through.
TEST_F(LockWaits, AReadThenWriteTransactionMeetingACommitInBetweenWrites)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 begin tran select count(*) from T"), "ok");
    Tool b(file, "insert T values (2)");
    EXPECT_FALSE(b.endsWithin(3000)) << "the other program waits for the transaction";
    EXPECT_EQ(a.send("exec 0 insert T values (3)"), "ok");
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(b.output(), "");
    EXPECT_EQ(valuesIn(), values({2, 3}));
}

// Another program holds the lock when the transaction starts reading: it waits
// for the other's commit, then reads and writes.
TEST_F(LockWaits, AReadThenWriteTransactionWaitsForAnotherProgramsLock)
{
    Session a(file);
    Session c(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(c.send("open"), "opened 0");
    ASSERT_EQ(c.send("exec 0 begin tran insert T values (1)"), "ok");
    a.post("exec 0 begin tran select count(*) from T");
    QThread::msleep(1000);
    ASSERT_EQ(c.send("exec 0 commit"), "ok");
    EXPECT_EQ(a.answer(), "ok");
    EXPECT_EQ(a.send("exec 0 insert T values (2)"), "ok");
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(valuesIn(), values({1, 2}));
}

// Held longer than the waiting side's lock time-out: 1222 once the time-out has
// passed (not at once), the transaction stays open to be rolled back, and the
// same work goes through once the other side ended.
TEST_F(LockWaits, ALockHeldLongerThanTheTimeOutAnswers1222AfterIt)
{
    Session a(file);
    Session c(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(c.send("open"), "opened 0");
    ASSERT_EQ(c.send("exec 0 begin tran insert T values (1)"), "ok");
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(a.send("exec 0 set lock_timeout 1000 begin tran select count(*) from T insert T values (5)"), "error 1222");
    EXPECT_GE(waited.elapsed(), 1000) << "the lock error comes after the time-out";
    ASSERT_EQ(a.send("exec 0 if @@trancount<>1 raiserror('no transaction', 16, 1) rollback"), "ok");
    ASSERT_EQ(c.send("exec 0 commit"), "ok");
    EXPECT_EQ(a.send("exec 0 begin tran select count(*) from T insert T values (5) commit"), "ok");
    EXPECT_EQ(valuesIn(), values({1, 5}));
}

// Work tables alone lock nothing: another program writes meanwhile. Once the
// transaction reads the file it holds the lock, and its write follows safely.
TEST_F(LockWaits, WorkTablesAloneTakeNoLock)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 create table #w (x int) begin tran insert #w values (1)"), "ok");
    EXPECT_EQ(runTool(file, "set lock_timeout 1000\ninsert T values (7)"), "") << "not kept waiting by work tables";
    ASSERT_EQ(a.send("exec 0 insert #w select count(*) from T"), "ok");
    Tool b(file, "insert T values (8)");
    EXPECT_FALSE(b.endsWithin(3000)) << "the other program waits for the transaction";
    EXPECT_EQ(a.send("exec 0 insert T select x from #w"), "ok");
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(b.output(), "");
    EXPECT_EQ(valuesIn(), values({1, 1, 7, 8}));
}

// A nested or read-only transaction keeps the lock to its outermost commit.
TEST_F(LockWaits, TheLockLastsToTheOutermostCommit)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 begin tran begin tran select count(*) from T commit"), "ok");
    EXPECT_EQ(runTool(file, "set lock_timeout 500\ninsert T values (9)").section(u',', 0, 0), "Msg 1222");
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(runTool(file, "set lock_timeout 500\ninsert T values (9)"), "");
    EXPECT_EQ(valuesIn(), values({9}));
}

// A bulk run (the MRP run's level results) in a transaction that cannot get the
// lock answers 1222 once, after one time-out, and writes nothing.
TEST_F(LockWaits, ABulkRunWithoutItsLockEndsAfterOneTimeOut)
{
    auto holder = kvtsql::Connection::open(file);
    ASSERT_TRUE(holder->execute(QStringLiteral("begin tran insert T values (1)")).errors.isEmpty());
    auto writer = kvtsql::Connection::open(file);
    ASSERT_TRUE(writer->execute(QStringLiteral("set lock_timeout 300 begin tran")).errors.isEmpty());
    QElapsedTimer waited;
    waited.start();
    const kvtsql::BatchResult r = writer->executeBulk(QStringLiteral("@a int"), QStringLiteral("insert T values (@a)"),
                                                      {{2}, {3}, {4}});
    const qint64 took = waited.elapsed();
    ASSERT_EQ(r.errors.size(), 1) << kvtsqltest::errorsOf(r).toStdString();
    EXPECT_EQ(r.errors[0].number, 1222);
    EXPECT_GE(took, 300);
    EXPECT_LT(took, 600) << "one time-out, not one per attempt";
    writer->rollbackAll();
    ASSERT_TRUE(holder->execute(QStringLiteral("commit")).errors.isEmpty());
    EXPECT_EQ(valuesIn(), values({1}));
}
