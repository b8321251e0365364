// The account set's log stays bounded whatever another program does: a program
// idle with its view open, an edit pending and a failed save's error box up
// (its event loop running) holds no transaction, so the log is written back
// and starts again while another program commits 100,000 small transactions,
// each of which is kept.
#include "ProgramSessions.h"
#include "TsqlEngine.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <iostream>

namespace {

constexpr qint64 kLogBound = 32 * 1024 * 1024;

QString lineOf(QProcess& p, int waitMs)
{
    QElapsedTimer t;
    t.start();
    while (!p.canReadLine())
        if (t.elapsed() > waitMs || !p.waitForReadyRead(1000)) {
            if (t.elapsed() > waitMs) return QStringLiteral("no answer");
        }
    return QString::fromUtf8(p.readLine()).trimmed();
}

} // namespace

TEST(LogBound, AnIdleProgramWithAnErrorBoxUpLetsTheLogBeWrittenBack)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("shared.kvdb"));
    kvtsql::Connection::create(file)->execute(QStringLiteral("create table T (a int)\ninsert T values (1)\ninsert T values (2)"));

    QProcess idle;
    idle.start(kvtsqltest::binDir() + "/kv-idle-program", {file});
    ASSERT_TRUE(idle.waitForStarted(30000));
    const QString box = lineOf(idle, 60000);
    ASSERT_TRUE(box.startsWith("box ")) << box.toStdString();
    EXPECT_TRUE(box.contains("NoSuchTable")) << box.toStdString();

    kvtsqltest::Tool writer(file, QStringLiteral("set nocount on\ndeclare @i int\nset @i=1\n"
                                                 "while @i<=100000\nbegin\ninsert T values (@i + 2)\nset @i=@i+1\nend"));
    const QString log = file + QStringLiteral("-wal");
    qint64 largest = 0;
    while (writer.running()) {
        largest = qMax(largest, QFileInfo(log).size());
        writer.endsWithin(200);
    }
    largest = qMax(largest, QFileInfo(log).size());
    EXPECT_EQ(writer.output(), "");
    EXPECT_LT(largest, kLogBound) << "the log reached " << largest << " bytes";
    std::cout << "largest log: " << largest << " bytes" << std::endl;

    idle.write("close\n");
    idle.waitForBytesWritten(10000);
    EXPECT_EQ(lineOf(idle, 60000), "closed");
    idle.closeWriteChannel();
    EXPECT_TRUE(idle.waitForFinished(60000));
    EXPECT_EQ(idle.exitCode(), 0);

    const QString rows = kvtsqltest::runTool(file, QStringLiteral("select count(*), count(distinct a), max(a) from T"));
    EXPECT_TRUE(rows.contains(QStringLiteral("\n100002\t100002\t100002\n"))) << "every write is kept: " << rows.toStdString();
}
