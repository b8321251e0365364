// korvane-sql: script from standard input, batches split at "go" lines, result
// sets as tab-separated lines, errors as "Msg N, Level L: text", exit status 0.
#include "TsqlTestUtil.h"

#include <QCoreApplication>
#include <QProcess>

using namespace kvtsqltest;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
};

ToolRun runTool(const QStringList& args, const QString& input)
{
    QProcess p;
    QString bin = qEnvironmentVariable("KORVANE_BIN_DIR");
    if (bin.isEmpty()) bin = QCoreApplication::applicationDirPath();
    p.start(bin + "/korvane-sql", args);
    p.write(input.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput())};
}

} // namespace

TEST(TsqlCli, PrintsResultSetsAndErrorsBatchByBatch)
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
    ToolRun r = runTool({dir.filePath("a.db")}, script);
    EXPECT_EQ(r.exitCode, 0);
    const QStringList expected = {
        "IID\tName\tQty\tD\tB",
        "1\t螺丝\t5.00000000\t2024-01-05 08:30:00.000\t1",
        "2\tNULL\tNULL\tNULL\tNULL",
        "(2 rows affected)",
        "",
        "after",
        "(1 rows affected)",
        "Msg 208, Level 16: Invalid object name 'Missing'.",
        "Msg 102, Level 15: Incorrect syntax near 'from'.",
        "n",
        "2",
        "(1 rows affected)",
        "",
    };
    EXPECT_EQ(r.out.split(u'\n'), expected) << r.out.toStdString();
}

TEST(TsqlCli, FailsOnlyWhenTheFileCannotBeOpened)
{
    EXPECT_NE(runTool({"/nonexistent-dir/x/y.db"}, "select 1").exitCode, 0);
    EXPECT_NE(runTool({}, "").exitCode, 0);
}
