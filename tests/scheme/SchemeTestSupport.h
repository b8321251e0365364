#pragma once
// What the view-scheme tests share: one fresh demo account set per test
// program with the planner plan01 logged in through the real ERP integration
// library, and the view-scheme hooks installed as the program installs them.
#include "NewAccountSet.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "dlgViewScheme.h"
#include "untAppFrame.h"
#include "untApplication.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace schemetest {

// Runs the steps on the modal dialog that opens next, as a user at the screen
// would; a dialog the steps leave open is cancelled so that no test waits.
template <typename TDlg>
void whenShown(std::function<void(TDlg*)> steps)
{
    QTimer::singleShot(0, [steps] {
        auto* dlg = qobject_cast<TDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "the expected dialog is not shown";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
            return;
        }
        steps(dlg);
        if (dlg->isVisible()) {
            ADD_FAILURE() << "the steps left the dialog open";
            dlg->reject();
        }
    });
}

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

private:
    DemoLogin()
    {
        const QString folder = FProgramDir.path();
        QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                    folder + QStringLiteral("/libERPAccess.so"));
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        InitAppFrameUnit();
        InitViewSchemeDlgUnit(InfoApplication);
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

} // namespace schemetest
