#pragma once
// One fresh demo account set per test program, with the planner plan01
// logged in through the real ERP integration library: a program folder of the
// test's own holds the library, ERPaccess.cfg and the library's account sets,
// and the ERP login dialog is answered as the planner would.
// Test programs using it link korvane_host and kv_demo.
#include "NewAccountSet.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <gtest/gtest.h>

namespace kvtest {

class DemoLogin {
public:
    static DemoLogin& instance()
    {
        static DemoLogin login;
        return login;
    }
    QString file() const { return FFile; }
    // Runs a batch on the account set through a connection of its own.
    void exec(const QString& sql) const
    {
        auto c = kvtsql::Connection::open(FFile);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }
    // The first column of the first row of a statement, through the global query.
    static QVariant value(const QString& sql)
    {
        EXPECT_TRUE(ExecSQLText(GlobalADOQuery, sql, true, false, false));
        const QVariant v = GlobalADOQuery->IsEmpty() ? QVariant() : GlobalADOQuery->Fields()->Field(0)->Value();
        GlobalADOQuery->Close();
        return v;
    }
    static int count(const QString& sql) { return value(sql).toInt(); }

private:
    DemoLogin()
    {
        const QString folder = FProgramDir.path();
        QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                    folder + QStringLiteral("/libERPAccess.so"));
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        InitAppFrameUnit();
        ReadProgramSettings();
        FFile = FDbDir.filePath(QStringLiteral("demo.kvdb"));
        QString error;
        if (!kvdemo::createAccountSet(FFile, &error))
            ADD_FAILURE() << error.toStdString();
        write(folder + QStringLiteral("/ERPAccountSets.cfg"),
              QStringLiteral("[演示账套]\nID=7\nNo=001\nLocation=") + FFile + QStringLiteral("\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n"));
        write(folder + QStringLiteral("/ERPaccess.cfg"), QStringLiteral("[ERPaccess]\nLibrary=ERPAccess.dll\n"));
        // The planner answers the ERP login dialog.
        QTimer::singleShot(0, [] {
            QWidget* dlg = QApplication::activeModalWidget();
            if (!dlg)
                return;
            dlg->findChild<QLineEdit*>(QStringLiteral("edtUserNo"))->setText(QStringLiteral("plan01"));
            dlg->findChild<QLineEdit*>(QStringLiteral("edtPassword"))->setText(QStringLiteral("123"));
            QMetaObject::invokeMethod(dlg, "accept");
        });
        if (!SystemLogin())
            ADD_FAILURE() << "plan01 could not log in";
    }
    static void write(const QString& path, const QString& text)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(text.toUtf8());
    }
    QTemporaryDir FProgramDir;
    QTemporaryDir FDbDir;
    QString FFile;
};

} // namespace kvtest
