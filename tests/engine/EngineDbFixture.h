#pragma once
// A fresh demo account set per test and a silent login into it as the demo
// planner, through the real ERP integration library; the engine works on the
// host's global connection as the planning library does.
#include "NewAccountSet.h"
#include "QueryRows.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untApplication.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace enginetest {

inline void writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// One program folder and one pristine account set per test program; each
// test works on its own copy.
inline QTemporaryDir& programDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline QString templateDb()
{
    static QString file;
    if (file.isEmpty()) {
        file = programDir().filePath(QStringLiteral("template.kvdb"));
        QString error;
        if (!kvdemo::createAccountSet(file, &error))
            ADD_FAILURE() << error.toStdString();
    }
    return file;
}

class EngineDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvdemo::registerStandInProcedures();
        dbFile = dbDir.filePath(QStringLiteral("demo.kvdb"));
        ASSERT_TRUE(QFile::copy(accountSetTemplate(), dbFile));
        ASSERT_TRUE(kvtest::silentLogin({programDir().path(), dbFile, QStringLiteral("演示账套"), 7, QStringLiteral("KorvaneDemo"), userNo()}));
    }

    void TearDown() override
    {
        if (InfoApplication && !InfoApplication->LoginInfo.UserID.isEmpty())
            SystemLogout();
    }

    virtual QString userNo() const { return QStringLiteral("plan01"); }
    // The account set each test starts from (a copy of it): the demo's.
    virtual QString accountSetTemplate() const { return templateDb(); }

    // Runs a batch on a connection of its own (another user's session).
    void exec(const QString& sql)
    {
        auto c = kvtsql::Connection::open(dbFile);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }

    // The rows of a select as texts, columns joined by "|".
    QStringList rows(const QString& sql) { return kvtest::rows(sql); }

    // The first column of the first row.
    QString value(const QString& sql) { return kvtest::firstValue(sql); }

    QTemporaryDir dbDir;
    QString dbFile;
};

} // namespace enginetest
