#pragma once
// A fresh embedded account set in a temporary folder, with the application
// object, the global connection and the host's definition and SQL hooks.
#include "ScriptedMessageBoxes.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untInfoObjectDefLoader.h"
#include "untInfoObjectSQL.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

class AccountSetFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifndef KV_HAVE_TSQL
        GTEST_SKIP() << "the embedded engine is not part of this build";
#endif
        ApplyConnectionString(GlobalADOConnection, dbMSSQL, dir.filePath(QStringLiteral("acct.db")), QStringLiteral("acct"),
                              QStringLiteral("sa"), QString(), QString(), false);
        GlobalADOQuery->Close();
        GlobalADOQuery->SetConnection(GlobalADOConnection);
        previous = InfoApplication;
        app = std::make_unique<TInfoApplication>();
        InfoApplication = app.get();
        InstallInfoObjectDefHooks(app.get());
        InstallInfoObjectSQLHooks(app.get());
        ClearInfoObjectDefCache();
    }
    void TearDown() override
    {
        ClearInfoObjectDefCache();
        if (app) {
            app.reset();
            InfoApplication = previous;
        }
        GlobalADOQuery->Close();
        GlobalADOConnection->Close();
    }

    // Runs a script of the demo folder: batches separated by lines holding only "go".
    void runScript(const QString& relativePath)
    {
        QFile file(QStringLiteral(KORVANE_DEMO_DIR "/") + relativePath);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << relativePath.toStdString();
        const QString text = QString::fromUtf8(file.readAll());
        static const QRegularExpression go(QStringLiteral("^\\s*go\\s*$"),
                                           QRegularExpression::MultilineOption | QRegularExpression::CaseInsensitiveOption);
        for (const QString& batch : text.split(go))
            if (!batch.trimmed().isEmpty())
                GlobalADOConnection->Execute(batch);
    }
    void exec(const QString& sql) { GlobalADOConnection->Execute(sql); }
    int count(const QString& sql)
    {
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        q.SQL.Add(sql);
        q.Open();
        return q.Fields()->Field(0)->AsInteger();
    }
    void login(const QString& user, const QString& groups, bool admin)
    {
        ClearInfoObjectDefCache();
        app->LoginInfo.UserID = user;
        app->LoginInfo.UserGroups = groups;
        app->LoginInfo.UserIsAdmin = admin;
    }

    QTemporaryDir dir;
    TInfoApplication* previous = nullptr;
    std::unique_ptr<TInfoApplication> app;
    ScriptedMessageBoxes boxes;
};
