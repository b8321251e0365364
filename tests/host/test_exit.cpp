// The program ended by 系统→退出 in a process of its own: afterwards the
// account-set file alone holds the session's work, with no log beside it,
// as people expect when they copy or move it.
#include "NewAccountSet.h"
#include "TsqlEngine.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ProgramExit, LeavesTheAccountSetWholeInItsOwnFile)
{
    QTemporaryDir programDir, dbDir, copyDir;
    const QString dbFile = dbDir.filePath(QStringLiteral("demo.kvdb"));
    QString error;
    ASSERT_TRUE(kvdemo::createAccountSet(dbFile, &error)) << error.toStdString();

    QProcess session;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    session.setProcessEnvironment(env);
    session.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    session.start(QCoreApplication::applicationDirPath() + QStringLiteral("/korvane-exit-session"),
                  {programDir.path(), dbFile});
    ASSERT_TRUE(session.waitForFinished(120000));
    ASSERT_EQ(session.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(session.exitCode(), 0);

    EXPECT_FALSE(QFile::exists(dbFile + QStringLiteral("-wal")));
    EXPECT_FALSE(QFile::exists(dbFile + QStringLiteral("-shm")));
    // a copy of the file alone, as a backup takes it
    const QString copy = copyDir.filePath(QStringLiteral("copy.kvdb"));
    ASSERT_TRUE(QFile::copy(dbFile, copy));
    std::unique_ptr<kvtsql::Connection> db = kvtsql::Connection::open(copy);
    const kvtsql::BatchResult r = db->execute(QStringLiteral("select ItmFixLeadTime from QZ_MRP_ItemSetting where ItmID='IPT-121'"));
    ASSERT_TRUE(r.errors.isEmpty());
    ASSERT_FALSE(r.resultSets.isEmpty());
    ASSERT_FALSE(r.resultSets.first().rows.isEmpty());
    EXPECT_EQ(r.resultSets.first().rows.first().first().toInt(), 37);
}
