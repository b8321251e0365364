#pragma once
// What the grid and master-detail tests share: one fresh demo account set per
// test program, the planner plan01 logged in through the real ERP integration
// library, and stand-ins for the host dialogs the views call (the view-scheme
// dialog with its SQL parser, the status bar).
#include "DemoLogin.h"
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

// The account set and the login, once per test program, with the stand-in
// dialogs installed.
struct DemoAccountSet {
    static kvtest::DemoLogin& instance()
    {
        kvtest::DemoLogin& login = kvtest::DemoLogin::instance();
        static const bool hooks = [] {
            InfoApplication->ShowViewSchemeDlgProc = showSchemeDialog;
            InfoApplication->ParseViewSchemeSQLProc = parseScheme;
            InfoApplication->ShowStatusMessageProc = showStatus;
            return true;
        }();
        Q_UNUSED(hooks);
        return login;
    }
    static int count(const QString& sql) { return kvtest::DemoLogin::count(sql); }
};

} // namespace gridtest
