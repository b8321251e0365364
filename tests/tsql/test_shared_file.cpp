// Several programs on one account set: a program holding two connections (as
// the host and the plug-in do) while other programs open, read, write and end.
// Every committed write is seen by the others at once and survives them all;
// the write-ahead log and its shared memory stay while any connection is open.
// The programs are real processes: kv-sql-session keeps its connections open
// between commands, korvane-sql opens, runs a script and ends.
#include "ProgramSessions.h"
#include "TsqlTestUtil.h"

#include <QElapsedTimer>
#include <QFileInfo>

namespace {

using kvtsqltest::runTool;
using kvtsqltest::Session;

QString valuesIn(const QString& file)
{
    return runTool(file, QStringLiteral("select a from T order by a"));
}

QString values(std::initializer_list<int> list)
{
    QString out = QStringLiteral("a\n");
    for (int v : list) out += QString::number(v) + u'\n';
    return out + QStringLiteral("(%1 rows affected)\n").arg(list.size());
}

// The log and its shared memory beside the file, both there.
bool logBeside(const QString& file)
{
    return QFileInfo::exists(file + QStringLiteral("-wal")) && QFileInfo::exists(file + QStringLiteral("-shm"));
}

class SharedFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        file = dir.filePath(QStringLiteral("shared.kvdb"));
        kvtsql::Connection::create(file)->execute(QStringLiteral("create table T (a int)"));
    }

    QTemporaryDir dir;
    QString file;
};

} // namespace

TEST_F(SharedFile, AReaderEndingLeavesTheWritersLogInPlace)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 insert T values (1)"), "ok");
    ASSERT_EQ(a.send("open"), "opened 1");
    EXPECT_EQ(valuesIn(file), values({1})) << "another program reads and ends";
    EXPECT_TRUE(logBeside(file)) << "the log stays while the first program has its connections open";
    ASSERT_EQ(a.send("exec 1 insert T values (2)"), "ok");
    ASSERT_EQ(a.send("exec 0 insert T values (3)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3})) << "a third program sees every write at once";
    EXPECT_TRUE(logBeside(file));
    EXPECT_EQ(a.end(), 0);
    EXPECT_EQ(valuesIn(file), values({1, 2, 3})) << "and after the first program has ended";
}

TEST_F(SharedFile, ProgramsWriteAndCloseInAnyOrder)
{
    Session a(file);
    Session b(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("open"), "opened 1");
    ASSERT_EQ(a.send("exec 1 insert T values (1)"), "ok");
    EXPECT_EQ(runTool(file, "insert T values (2)"), "") << "a program writes and ends";
    ASSERT_EQ(b.send("open"), "opened 0");
    ASSERT_EQ(b.send("exec 0 insert T values (3)"), "ok");
    ASSERT_EQ(b.send("open"), "opened 1");
    ASSERT_EQ(a.send("close 0"), "closed 0") << "the first program closes its first connection";
    EXPECT_TRUE(logBeside(file));
    ASSERT_EQ(a.send("exec 1 insert T values (4)"), "ok");
    ASSERT_EQ(b.send("close 1"), "closed 1");
    ASSERT_EQ(b.send("exec 0 insert T values (5)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3, 4, 5}));
    EXPECT_EQ(a.end(), 0);
    EXPECT_TRUE(logBeside(file)) << "the second program is still open";
    ASSERT_EQ(b.send("exec 0 insert T values (6)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(b.end(), 0);
    EXPECT_EQ(valuesIn(file), values({1, 2, 3, 4, 5, 6})) << "everything survives all of them ending";
}

// A program whose write meets another's open transaction waits, then answers the
// lock error; nothing the other program commits afterwards is lost.
TEST_F(SharedFile, AWriteMeetingAnotherProgramsLockAnswersTheLockError)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("open"), "opened 1");
    ASSERT_EQ(a.send("exec 0 begin tran insert T values (1)"), "ok");
    QElapsedTimer waited;
    waited.start();
    const QString out = runTool(file, "insert T values (2)");
    EXPECT_TRUE(out.startsWith("Msg 1222,")) << out.toStdString();
    EXPECT_GE(waited.elapsed(), 10000) << "after the 10 s lock time-out";
    ASSERT_EQ(a.send("exec 0 commit"), "ok");
    EXPECT_EQ(valuesIn(file), values({1}));
}

// A copy taken while another program has writes in the log holds them all, and
// taking it leaves that program's log and locks alone.
TEST_F(SharedFile, ACopyHoldsWhatIsCommittedInTheLog)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("exec 0 insert T values (1) insert T values (2)"), "ok");
    const QString copy = dir.filePath(QStringLiteral("copy.kvdb"));
    {
        auto c = kvtsql::Connection::open(file);
        c->copyTo(copy);
        EXPECT_THROW(c->copyTo(copy), kvtsql::SqlException) << "an existing file is never overwritten";
    }
    EXPECT_EQ(valuesIn(copy), values({1, 2}));
    EXPECT_TRUE(logBeside(file));
    ASSERT_EQ(a.send("exec 0 insert T values (3)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3}));
    EXPECT_EQ(valuesIn(copy), values({1, 2}));
}
