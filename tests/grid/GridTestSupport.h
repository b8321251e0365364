#pragma once
// What the grid and master-detail tests share: one fresh demo account set per
// test program, the planner plan01 logged in through the real ERP integration
// library, and stand-ins for the host dialogs the views call (the view-scheme
// dialog with its SQL parser, the status bar).
#include "NewAccountSet.h"
#include "TsqlEngine.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace gridtest {

// What the stand-in view-scheme dialog saw and how it answers.
struct SchemeDialogLog {
    int calls = 0;
    bool lastFieldsPageFirst = false;
    QString lastCaption;
    QString paramsSeen;    // the scheme's Params when the dialog opened
    bool answer = true;    // OK
    QString newParams;     // when not empty, the dialog's result Params
};
inline SchemeDialogLog& schemeDialog()
{
    static SchemeDialogLog log;
    return log;
}

struct StatusLog {
    QList<QPair<QString, TShowStatusMessageKind>> messages;
};
inline StatusLog& statusLog()
{
    static StatusLog log;
    return log;
}

// The scheme's SELECT list from "[Fields]" and "[Sorts]", its order from
// "[Sorts]", its filter the user's row permissions.
inline void parseScheme(TInfoObjectDef* def, PViewScheme scheme, TADOQuery* query)
{
    const QString fields = ReadViewSchemeParam(scheme->Params, QStringLiteral("[Fields]"));
    QStringList select, order, extra;
    if (scheme->Supports & voSupportSort) {
        const QStringList entries = ReadViewSchemeParam(scheme->Params, QStringLiteral("[Sorts]")).split(u'|', Qt::SkipEmptyParts);
        for (const QString& entry : entries) {
            const QString id = entry.section(u':', 0, 0);
            const QString value = entry.section(u':', 1);
            const PInfoFieldDef f = def->GetFieldDef(id);
            if (!f)
                continue;
            order << u'[' + f->ID + u']' + (value.startsWith(u'1') ? QStringLiteral(" desc") : QString());
            if (!DelimitedListContains(fields, f->ID, QStringLiteral("|")))
                extra << f->SQLExpress + QStringLiteral(" as [") + f->ID + u']';
        }
    }
    for (const TInfoFieldDef& f : def->Fields)
        if (fields.contains(u'|' + f.ID + u'|'))
            select << f.SQLExpress + QStringLiteral(" as [") + f.ID + u']';
    scheme->FieldsSQL = (extra + select).join(QStringLiteral(", "));
    scheme->OrderBySQL = order.join(QStringLiteral(", "));
    scheme->FilterSQL = def->GetPermitFilter(query);
    scheme->SQLParsed = true;
}

inline bool showSchemeDialog(TInfoObjectDef* def, PViewScheme scheme, TADOQuery* query, bool fieldsFirst, const QString& caption)
{
    SchemeDialogLog& log = schemeDialog();
    ++log.calls;
    log.lastFieldsPageFirst = fieldsFirst;
    log.lastCaption = caption;
    log.paramsSeen = scheme->Params;
    if (!log.answer)
        return false;
    if (!log.newParams.isEmpty())
        scheme->Params = log.newParams;
    parseScheme(def, scheme, query);
    return true;
}

inline void showStatus(const QString& text, TShowStatusMessageKind kind)
{
    statusLog().messages.append({text, kind});
}

// The account set and the login, once per test program.
class DemoAccountSet {
public:
    static DemoAccountSet& instance()
    {
        static DemoAccountSet set;
        return set;
    }
    QString file() const { return FFile; }
    // Runs a batch on the account set through a connection of its own.
    void exec(const QString& sql) const
    {
        auto c = kvtsql::Connection::open(FFile);
        const auto r = c->execute(sql);
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
    }
    // A number read from the account set through the global query.
    static int count(const QString& sql)
    {
        EXPECT_TRUE(ExecSQLText(GlobalADOQuery, sql, true, false, false));
        const int n = GlobalADOQuery->Fields()->Field(0)->AsInteger();
        GlobalADOQuery->Close();
        return n;
    }

private:
    DemoAccountSet()
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
        InfoApplication->ShowViewSchemeDlgProc = showSchemeDialog;
        InfoApplication->ParseViewSchemeSQLProc = parseScheme;
        InfoApplication->ShowStatusMessageProc = showStatus;
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

} // namespace gridtest
