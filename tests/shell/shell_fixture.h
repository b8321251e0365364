#pragma once
// A program folder with the ERP integration library and a stand-in planning
// library, a fresh demo account set per test, silent login as a demo user and
// the main window.
#include "NewAccountSet.h"
#include "ScriptedMessageBoxes.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "clsMDIChild.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untInfoObjectDefLoader.h"
#include "untTabbedMDI.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBox>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

namespace shelltest {

inline QTemporaryDir& programDir()
{
    static QTemporaryDir dir;
    return dir;
}

inline void writeFile(const QString& path, const QString& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.toUtf8());
}

// Lets posted work (deferred deletes, queued tab captions) happen.
inline void pump()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

// A window whose command answers the test sets.
class TTestChild : public TMDIChild {
public:
    explicit TTestChild(const QString& ACaption)
    {
        setWindowTitle(ACaption);
        ShowChild();
    }
    QMap<int, TCommandState> States;
    QList<int> Executed;
    TCloseAction CloseAnswer = caFree;
    int IdleCalls = 0;
    int RefreshCalls = 0;
    void ProcessIdle() override { ++IdleCalls; }
    void RefreshMainUI() override { ++RefreshCalls; }
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override
    {
        if (!States.contains(ACommandIndex))
            return TMDIChild::QueryCommandState(ACommandIndex, AState);
        AState = States.value(ACommandIndex);
        return true;
    }
    bool ExecCommand(int ACommandIndex) override
    {
        Executed.append(ACommandIndex);
        return true;
    }

protected:
    void FormClose(TCloseAction& Action) override
    {
        TMDIChild::FormClose(Action);
        if (Action == caFree)
            Action = CloseAnswer;
    }
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QString folder = programDir().path();
        const QString bin = QCoreApplication::applicationDirPath();
        for (const QString& lib : {QStringLiteral("libERPAccess.so"), QStringLiteral("libKvShellProbe.so")})
            QFile::link(bin + u'/' + lib, folder + u'/' + lib);
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        InitAppFrameUnit();
        InitMDIChildUnit();
        InitInfoViewFormUnit();
        InitTabbedMDIUnit();
        InitMainFormUnit();
        TMainForm::ShellOpen() = [this](const QUrl& url) {
            opened.append(url);
            return shellResult;
        };

        dbFile = dbDir.filePath("demo.kvdb");
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(dbFile, &error)) << error.toStdString();
        writeFile(folder + "/ERPAccountSets.cfg",
                  "[演示账套]\nID=7\nNo=001\nLocation=" + dbFile + "\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n");
        writeFile(folder + "/ERPaccess.cfg", "[ERPaccess]\nLibrary=ERPAccess.dll\n");
    }

    void TearDown() override
    {
        InfoApplication->ShowViewSchemeDlgProc = nullptr;
        InfoApplication->ParseViewSchemeSQLProc = nullptr;
        delete form;
        pump();
        if (InfoApplication && !InfoApplication->LoginInfo.UserID.isEmpty())
            SystemLogout();
    }

    // Silent login as a demo user (the settings file names the user).
    bool login(const QString& userNo)
    {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue("Connect/Silent", 1);
        s.setValue("Connect/String", EncipherSilentLogin({"演示账套", userNo, "", "", "KorvaneDemo", dbFile}, SilentLoginKey()));
        s.sync();
        InfoApplication->LoginInfo = TLoginInfo();
        ReadProgramSettings();
        return SystemLogin();
    }

    TMainForm* newForm()
    {
        form = new TMainForm;
        form->resize(1024, 700);
        form->show();
        pump();
        return form;
    }

    void exec(const QString& sql)
    {
        auto c = kvtsql::Connection::open(dbFile);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }

    // Navigator groups as "caption: node, node/child, ..." lines.
    QStringList navigator() const
    {
        QStringList result;
        for (int i = 0; i < form->nabNavigator->count(); ++i) {
            auto* tree = qobject_cast<QTreeWidget*>(form->nabNavigator->widget(i));
            QStringList nodes;
            std::function<void(QTreeWidgetItem*, const QString&)> walk = [&](QTreeWidgetItem* item, const QString& prefix) {
                nodes.append(prefix + item->text(0));
                for (int c = 0; c < item->childCount(); ++c)
                    walk(item->child(c), prefix + item->text(0) + u'/');
            };
            for (int t = 0; tree && t < tree->topLevelItemCount(); ++t)
                walk(tree->topLevelItem(t), QString());
            result.append(form->nabNavigator->itemText(i) + QStringLiteral(": ") + nodes.join(QStringLiteral(", ")));
        }
        return result;
    }

    // The navigator node of a function by its name.
    QTreeWidgetItem* functionNode(const QString& name) const
    {
        for (int i = 0; i < form->nabNavigator->count(); ++i) {
            auto* tree = qobject_cast<QTreeWidget*>(form->nabNavigator->widget(i));
            if (!tree)
                continue;
            const auto found = tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
            for (QTreeWidgetItem* item : found)
                if (item->data(0, NavStateRole).toInt() >= 0)
                    return item;
        }
        return nullptr;
    }

    QStringList tabCaptions() const
    {
        QStringList result;
        for (TMDIChild* c : form->MDIChildren())
            result.append(c->windowTitle());
        return result;
    }

    // No test waits on a box, whatever it shows.
    ScriptedMessageBoxes unexpectedBoxes;
    TMainForm* form = nullptr;
    QTemporaryDir dbDir;
    QString dbFile;
    QList<QUrl> opened;
    bool shellResult = true;
};

} // namespace shelltest
