// korvane-exit-session PROGRAMDIR DBFILE: a session of the program in a process
// of its own, ended the way a user ends it. It starts as the program does,
// logs the planner in silently to DBFILE, opens a view of the planning library
// and the plan-scheme workbench (each with connections of its own), changes an
// item's lead time, then chooses 系统→退出 and returns what the event loop
// returns. The test that runs it looks at the account set after the exit.
#include "StandInProcedures.h"
#include "UDBComm.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untStartUp.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QSettings>
#include <QTimer>
#include <QTreeWidget>
#include <QToolBox>
#include <cstdio>

namespace {

QTreeWidgetItem* functionNode(TMainForm& AForm, const QString& AName)
{
    for (int i = 0; i < AForm.nabNavigator->count(); ++i)
        if (auto* tree = qobject_cast<QTreeWidget*>(AForm.nabNavigator->widget(i)))
            for (QTreeWidgetItem* item : tree->findItems(AName, Qt::MatchExactly | Qt::MatchRecursive))
                if (item->data(0, NavStateRole).toInt() >= 0)
                    return item;
    return nullptr;
}

bool writeText(const QString& APath, const QString& AText)
{
    QFile f(APath);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    f.write(AText.toUtf8());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: korvane-exit-session PROGRAMDIR DBFILE\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString dbFile = QString::fromLocal8Bit(argv[2]);

    // The window units only: a silent session asks the user nothing, so the
    // scheme and import dialogs stay out.
    InitHostWindowUnits();
    kvdemo::registerStandInProcedures();

    QFile::link(QCoreApplication::applicationDirPath() + QStringLiteral("/libERPAccess.so"), folder + QStringLiteral("/libERPAccess.so"));
    AppFramePaths().ProgramFolder = folder;
    AppFramePaths().SettingsFile = folder + QStringLiteral("/Korvane.ini");
    if (!writeText(folder + QStringLiteral("/ERPAccountSets.cfg"),
                   QStringLiteral("[演示账套]\nID=7\nNo=001\nLocation=%1\nDatabase=KorvaneDemo\nLoginID=\nPassword=\n").arg(dbFile))
        || !writeText(folder + QStringLiteral("/ERPaccess.cfg"), QStringLiteral("[ERPaccess]\nLibrary=ERPAccess.dll\n")))
        return 3;
    {
        QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
        s.setValue(QStringLiteral("Connect/Silent"), 1);
        s.setValue(QStringLiteral("Connect/String"),
                   EncipherSilentLogin({QStringLiteral("演示账套"), QStringLiteral("plan01"), QString(), QString(),
                                        QStringLiteral("KorvaneDemo"), dbFile},
                                       SilentLoginKey()));
    }
    ReadProgramSettings();
    if (!SystemLogin())
        return 1;

    TMainForm mainForm;
    mainForm.show();
    QTimer::singleShot(0, &mainForm, [&mainForm] {
        for (const QString& name : {QStringLiteral("物料计划参数"), QStringLiteral("MRP计划方案")}) {
            QTreeWidgetItem* node = functionNode(mainForm, name);
            if (!node) {
                std::fprintf(stderr, "no function %s\n", qPrintable(name));
                QCoreApplication::exit(4);
                return;
            }
            mainForm.OpenFunction(node);
        }
        if (!ExecSQLText(GlobalADOQuery, QStringLiteral("update QZ_MRP_ItemSetting set ItmFixLeadTime=37 where ItmID='IPT-121'"),
                         false, false, false))
            QCoreApplication::exit(5);
        QTimer::singleShot(0, mainForm.actSystemExit, &QAction::trigger);
    });
    return app.exec();
}
