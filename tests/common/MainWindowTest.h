#pragma once
// A test of the host's main window: per test a fresh demo account set, a demo
// user logged in silently through the real ERP integration library, and the
// main window shown; the user and the window's size are the test's. Also the
// navigator's functions by name and the main window's action slots.
// Test programs using it link korvane_host and kv_demo.
#include "NewAccountSet.h"
#include "StandInProcedures.h"
#include "clsMDIChild.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untTabbedMDI.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QSize>
#include <QTemporaryDir>
#include <QToolBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kvtest {

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest(const QString& AUserNo, QSize AWindowSize) : FUserNo(AUserNo), FWindowSize(AWindowSize) {}

    void SetUp() override
    {
        const QString folder = programDir.path();
        QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"),
                    folder + QStringLiteral("/libERPAccess.so"));
        AppFramePaths().ProgramFolder = folder;
        AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
        InitAppFrameUnit();
        InitMDIChildUnit();
        InitInfoViewFormUnit();
        InitTabbedMDIUnit();
        InitMainFormUnit();
        kvdemo::registerStandInProcedures();

        dbFile = dbDir.filePath("demo.kvdb");
        QString error;
        ASSERT_TRUE(kvdemo::createAccountSet(dbFile, &error)) << error.toStdString();
        writeFile(folder + "/ERPAccountSets.cfg",
                  "[演示账套]\nID=7\nNo=001\nLocation=" + dbFile + "\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n");
        writeFile(folder + "/ERPaccess.cfg", "[ERPaccess]\nLibrary=ERPAccess.dll\n");
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue("Connect/Silent", 1);
        s.setValue("Connect/String", EncipherSilentLogin({"演示账套", FUserNo, "", "", "KorvaneDemo", dbFile}, SilentLoginKey()));
        s.sync();
        InfoApplication->LoginInfo = TLoginInfo();
        ReadProgramSettings();
        ASSERT_TRUE(SystemLogin());
        form = new TMainForm;
        form->resize(FWindowSize);
        form->show();
        pump();
    }

    void TearDown() override
    {
        delete form;
        pump();
        if (InfoApplication && !InfoApplication->LoginInfo.UserID.isEmpty())
            SystemLogout();
    }

    // Lets deferred deletes and posted events run.
    static void pump()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents();
        }
    }

    // The navigator's function of that name the user may open.
    QTreeWidgetItem* functionNode(const QString& name) const
    {
        for (int i = 0; i < form->nabNavigator->count(); ++i)
            if (auto* tree = qobject_cast<QTreeWidget*>(form->nabNavigator->widget(i)))
                for (QTreeWidgetItem* item : tree->findItems(name, Qt::MatchExactly | Qt::MatchRecursive))
                    if (item->data(0, NavStateRole).toInt() >= 0)
                        return item;
        return nullptr;
    }

    // The main window's slot of an action of the definition.
    QAction* actionSlot(TInfoObjectDef* def, const QString& id) const
    {
        for (QAction* a : form->InfoActions)
            if (ActionTag(a) == Commands::FirstAction + def->IndexOfAction(id))
                return a;
        return nullptr;
    }

    QTemporaryDir programDir;
    QTemporaryDir dbDir;
    QString dbFile;
    TMainForm* form = nullptr;

private:
    static void writeFile(const QString& path, const QString& text)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.toUtf8());
    }

    QString FUserNo;
    QSize FWindowSize;
};

} // namespace kvtest
