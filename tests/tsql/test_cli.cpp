// korvane-sql: script from standard input, batches split at "go" lines, result
// sets as tab-separated lines, errors as "Msg N, Level L: text"; the exit status
// tells whether a batch failed; only an existing account set is opened.
#include "TsqlTestUtil.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kvtsqltest;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the tool in `workDir` (when given); `asNobody` drops a root test's
// privileges so that file permissions hold for the tool.
ToolRun runTool(const QStringList& args, const QString& input, const QString& workDir = QString(), bool asNobody = false)
{
    QProcess p;
    QString bin = qEnvironmentVariable("KORVANE_BIN_DIR");
    if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath();
    if (!workDir.isEmpty()) p.setWorkingDirectory(workDir);
    if (asNobody && geteuid() == 0)
        p.setChildProcessModifier([] {
            if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
        });
    p.start(bin + "/korvane-sql", args);
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString newDb(const QTemporaryDir& dir, const QString& name = QStringLiteral("a.db"))
{
    const QString file = dir.filePath(name);
    kvtsql::Connection::create(file);
    return file;
}

} // namespace

TEST(TsqlCli, PrintsResultSetsAndErrorsInTheOrderTheyCame)
{
    QTemporaryDir dir;
    const QString script = QStringLiteral(
        "create table T (IID int identity(1,1) primary key, Name nvarchar(20), Qty decimal(28,8), D datetime, B bit)\r\n"
        "insert T (Name, Qty, D, B) values (N'螺丝', 5, '20240105 08:30:00', 1)\r\n"
        "insert T (Name) values (null)\r\n"
        " GO \r\n"
        "select IID, Name, Qty, D, B from T order by IID\n"
        "select * from Missing\n"
        "select 'after'\n"
        "go\n"
        "select from\n"
        "Go\n"
        "select n=count(*) from T\n");
    ToolRun r = runTool({newDb(dir)}, script);
    EXPECT_EQ(r.exitCode, 1) << "two batches failed";
    const QStringList expected = {
        "IID\tName\tQty\tD\tB",
        "1\t螺丝\t5.00000000\t2024-01-05 08:30:00.000\t1",
        "2\tNULL\tNULL\tNULL\tNULL",
        "(2 rows affected)",
        "Msg 208, Level 16: Invalid object name 'Missing'.",
        "",
        "after",
        "(1 rows affected)",
        "Msg 102, Level 15: Incorrect syntax near 'from'.",
        "n",
        "2",
        "(1 rows affected)",
        "",
    };
    EXPECT_EQ(r.out.split(u'\n'), expected) << r.out.toStdString();
}

TEST(TsqlCli, ExitsNonZeroWhenABatchRaisesAnError)
{
    QTemporaryDir dir;
    const QString db = newDb(dir);
    struct Case {
        const char* script;
        int exitCode;
    } cases[] = {
        {"select 1\ngo\nprint 'done'", 0},
        {"raiserror('note', 10, 1)", 0},                   // level 10 is information
        {"select 1\ngo\nselect * from Missing\ngo\nselect 2", 1},
        {"raiserror('stop', 16, 1)", 1},
        {"select from", 1},
        {"create table T (a int not null)\ngo\ninsert T values (null)", 1},
    };
    for (const Case& c : cases) EXPECT_EQ(runTool({db}, c.script).exitCode, c.exitCode) << c.script;
}

TEST(TsqlCli, OpensExistingAccountSetsOnly)
{
    QTemporaryDir dir;
    // a mistyped path is reported and nothing is created
    ToolRun r = runTool({"missing.db"}, "select 1", dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("does not exist")) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());

    QFile empty(dir.filePath("empty.db"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    r = runTool({"empty.db"}, "create table T (a int)", dir.path());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("not an account set")) << r.err.toStdString();
    EXPECT_EQ(QFileInfo(dir.filePath("empty.db")).size(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"empty.db"});

    // options print the usage; none becomes a file
    r = runTool({"--help"}, "", dir.path());
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("usage: korvane-sql DBFILE")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Exit status")) << r.out.toStdString();
    EXPECT_NE(runTool({"-x"}, "", dir.path()).exitCode, 0);
    EXPECT_NE(runTool({}, "").exitCode, 0);
    EXPECT_NE(runTool({"/nonexistent-dir/x/y.db"}, "select 1").exitCode, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"empty.db"});
}

TEST(TsqlCli, AReadOnlyAccountSetIsReadWithoutFilesBesideIt)
{
    QTemporaryDir dir;
    const QString db = newDb(dir, "ro.db");
    {
        auto c = kvtsql::Connection::open(db);
        c->execute("create table T (a int)\ninsert T values (7)");
    }
    ASSERT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ro.db"});
    // the folder may be written by anyone, the account set by nobody
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(db).constData(), 0444), 0);

    ToolRun r = runTool({db}, "select a from T\ngo\ninsert T values (8)", QString(), true);
    EXPECT_EQ(r.out.split(u'\n').mid(0, 3), (QStringList{"a", "7", "(1 rows affected)"})) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Msg 3906")) << r.out.toStdString();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"ro.db"}) << "no log or lock file is left";
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
}

TEST(TsqlCli, AnAccountSetInAFolderNobodyMayWriteIsReadOnly)
{
    // The account set may be written, its folder may not: its log cannot be made
    // beside it, so it opens read-only, and writes are refused as for a read-only file.
    QTemporaryDir dir;
    const QString db = newDb(dir, "set.db");
    auto writer = kvtsql::Connection::open(db);
    ASSERT_TRUE(writer->execute("create table T (a int)\ninsert T values (7)").errors.isEmpty());
    writer.reset();
    ASSERT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"set.db"});
    ASSERT_EQ(chmod(QFile::encodeName(db).constData(), 0666), 0);
    ASSERT_EQ(chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);

    // nobody else is connected: the file is read as it stands, nothing is left beside it
    ToolRun r = runTool({db}, "select a from T\ngo\ninsert T values (8)", QString(), true);
    EXPECT_EQ(r.out.split(u'\n').mid(0, 3), (QStringList{"a", "7", "(1 rows affected)"})) << r.out.toStdString() << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("Msg 3906")) << r.out.toStdString();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"set.db"}) << "no log or lock file is left";

    // a user who may write the folder is connected and has committed into the log:
    // the read-only reader reads through the log and sees it
    if (geteuid() == 0) {
        writer = kvtsql::Connection::open(db);
        ASSERT_TRUE(writer->execute("insert T values (9)").errors.isEmpty());
        ASSERT_TRUE(QFile::exists(db + "-wal"));
        r = runTool({db}, "select n=count(*), m=max(a) from T\ngo\ninsert T values (10)", QString(), true);
        EXPECT_EQ(r.out.split(u'\n').mid(0, 2), (QStringList{"n\tm", "2\t9"})) << r.out.toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.contains("Msg 3906")) << r.out.toStdString();
        const auto rows = writer->execute("select count(*) from T");
        ASSERT_TRUE(rows.errors.isEmpty());
        EXPECT_EQ(rows.resultSets.first().rows.first().first().toInt(), 2);
        writer.reset();

        // a writer that ended without closing left its log and the log's index: what it
        // committed is read from the log (the index, which nobody may write, is not trusted)
        const pid_t child = fork();
        if (child == 0) {
            auto crashed = kvtsql::Connection::open(db);
            _exit(crashed->execute("insert T values (11)").errors.isEmpty() ? 0 : 1);
        }
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_EQ(status, 0);
        ASSERT_EQ(chmod(QFile::encodeName(db + "-shm").constData(), 0644), 0);
        r = runTool({db}, "select n=count(*), m=max(a) from T", QString(), true);
        EXPECT_EQ(r.out.split(u'\n').mid(0, 2), (QStringList{"n\tm", "3\t11"})) << r.out.toStdString() << r.err.toStdString();
        // without the index the log cannot be read here, and the file alone may be behind it: refused
        ASSERT_TRUE(QFile::remove(db + "-shm"));
        r = runTool({db}, "select n=count(*) from T", QString(), true);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains("cannot be read without its index")) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
    chmod(QFile::encodeName(dir.path()).constData(), 0700);
}
