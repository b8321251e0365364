// Several programs on one account set: a program holding two connections (as
// the host and the plug-in do) while other programs open, read, write and end.
// Every committed write is seen by the others at once and survives them all;
// the write-ahead log and its shared memory stay while any connection is open.
// The programs are real processes: kv-sql-session keeps its connections open
// between commands, korvane-sql opens, runs a script and ends.
#include "ProgramSessions.h"
#include "TsqlTestUtil.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

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

// Which files the log and its shared memory are (0 for one that is not there):
// a log deleted and made anew is another file.
QString logIds(const QString& file)
{
    QString ids;
    for (const char* suffix : {"-wal", "-shm"}) {
        struct stat st;
        const bool there = ::stat(QFile::encodeName(file + QLatin1String(suffix)).constData(), &st) == 0;
        ids += QString::number(there ? qulonglong(st.st_ino) : 0) + u' ';
    }
    return ids;
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

// Other code of a program opening and closing the account set's files (a file
// dialog looking at its folder, a file check) takes nothing from the program's
// hold on it: another program ending leaves the log in place, and every write of
// every program survives them all. The program's file dialogs list the folder
// without opening the files in it.
TEST_F(SharedFile, OtherCodeOfTheProgramAndItsFileDialogsLeaveItsHoldAlone)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("open"), "opened 1") << "the host's and the plug-in's connections";
    ASSERT_EQ(a.send("exec 1 insert T values (1)"), "ok");
    const QString ids = logIds(file);
    const QString dialogs = a.send("dialogs");
    EXPECT_TRUE(dialogs.startsWith("dialogs ")) << dialogs.toStdString();
    EXPECT_GE(dialogs.section(u' ', 1, 1).toInt(), 6) << "export, import, print to file (its name and its browse "
                                                         "button) and the print preview's: "
                                                      << dialogs.toStdString();
    EXPECT_EQ(dialogs.section(u' ', 2), "read 0") << "no dialog opens a file it lists";
    ASSERT_EQ(a.send("touch"), "touched");
    EXPECT_EQ(runTool(file, "insert T values (2)"), "") << "another program writes and ends";
    EXPECT_EQ(logIds(file), ids) << "the log and its shared memory are the same files";
    ASSERT_EQ(a.send("exec 0 insert T values (3)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3})) << "a third program sees every write";
    ASSERT_EQ(a.send("touch"), "touched");
    ASSERT_EQ(a.send("exec 1 insert T values (4)"), "ok");
    EXPECT_EQ(runTool(file, "insert T values (5)"), "");
    EXPECT_EQ(logIds(file), ids);
    ASSERT_EQ(a.send("exec 0 insert T values (6)"), "ok");
    EXPECT_EQ(valuesIn(file), values({1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(a.end(), 0);
    EXPECT_EQ(valuesIn(file), values({1, 2, 3, 4, 5, 6})) << "nothing is lost after all have ended";
    EXPECT_FALSE(QFileInfo::exists(file + "-wal")) << "the last program to end folds the log into the file";
}

// Our programs and those with SQLite's ordinary locks (an older build, a stock
// shell) exclude each other as two of either kind do.
TEST_F(SharedFile, ProgramsWithOrdinaryLocksAndOursExcludeEachOther)
{
    Session ours(file);
    Session stock(file, QStringLiteral("kv-stock-session"));
    ASSERT_EQ(ours.send("open"), "opened 0");
    ASSERT_EQ(ours.send("open"), "opened 1");
    ASSERT_EQ(stock.send("open"), "opened 0");
    ASSERT_EQ(stock.send("exec 0 begin immediate; insert into T values (1)"), "ok");
    EXPECT_EQ(ours.send("exec 0 insert T values (2)"), "error 1222") << "the other program's transaction holds";
    ASSERT_EQ(stock.send("exec 0 commit"), "ok");
    ASSERT_EQ(ours.send("exec 0 begin tran insert T values (3)"), "ok");
    EXPECT_EQ(stock.send("exec 0 insert into T values (4)"), "error 5") << "ours holds against theirs";
    ASSERT_EQ(ours.send("exec 1 select count(*) from T"), "ok") << "a read beside our own write transaction";
    ASSERT_EQ(ours.send("exec 0 commit"), "ok");
    ASSERT_EQ(stock.send("exec 0 insert into T values (5)"), "ok");
    EXPECT_EQ(stock.end(), 0) << "the program with ordinary locks ends";
    EXPECT_TRUE(logBeside(file)) << "and leaves our log in place";
    ASSERT_EQ(ours.send("exec 1 insert T values (6)"), "ok");
    Session stock2(file, QStringLiteral("kv-stock-session"));
    ASSERT_EQ(stock2.send("open"), "opened 0");
    ASSERT_EQ(stock2.send("exec 0 select count(*) from T"), "ok");
    EXPECT_EQ(ours.end(), 0) << "ours ends while the other still reads";
    EXPECT_TRUE(logBeside(file)) << "and leaves its log in place";
    ASSERT_EQ(stock2.send("exec 0 insert into T values (7)"), "ok");
    EXPECT_EQ(stock2.end(), 0);
    EXPECT_EQ(valuesIn(file), values({1, 3, 5, 6, 7}));
    EXPECT_FALSE(QFileInfo::exists(file + "-wal")) << "the last program to end folds the log into the file";
}

// A program whose log another program removed (by hand, or one that ignores the
// locks) stops writing and says so, and its ending writes nothing back over what
// others have committed since.
TEST_F(SharedFile, AProgramWhoseLogIsRemovedStopsWriting)
{
    Session a(file);
    ASSERT_EQ(a.send("open"), "opened 0");
    ASSERT_EQ(a.send("open"), "opened 1");
    ASSERT_EQ(a.send("exec 0 insert T values (1)"), "ok");
    ASSERT_TRUE(QFile::remove(file + "-wal") && QFile::remove(file + "-shm"));
    EXPECT_EQ(runTool(file, "insert T values (2)"), "") << "another program writes into a new log";
    EXPECT_EQ(a.send("exec 1 insert T values (3)"), "error 9001");
    EXPECT_EQ(a.send("exec 0 insert T values (3)"), "error 9001") << "every connection of the program";
    EXPECT_EQ(a.end(), 0);
    EXPECT_EQ(valuesIn(file), values({2})) << "the other program's write survives the first one ending";
}
