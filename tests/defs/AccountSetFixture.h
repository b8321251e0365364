#pragma once
// A fresh demo account set in a temporary folder, with the application object,
// the global connection and the host's definition and SQL hooks.
#include "NewAccountSet.h"
#include "ScriptedMessageBoxes.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untInfoObjectDefLoader.h"
#include "untInfoObjectSQL.h"

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
        const QString file = dir.filePath(QStringLiteral("acct.db"));
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(file, &error)) << error.toStdString();
        ApplyConnectionString(GlobalADOConnection, dbMSSQL, file, QStringLiteral("acct"),
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
