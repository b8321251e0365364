#pragma once
// What the view-scheme tests share: one fresh demo account set per test
// program with the planner plan01 logged in through the real ERP integration
// library, and the view-scheme hooks installed as the program installs them.
#include "DemoLogin.h"
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

// The account set and the login, once per test program, with the view-scheme
// hooks installed as the program installs them.
struct DemoLogin {
    static kvtest::DemoLogin& instance()
    {
        kvtest::DemoLogin& login = kvtest::DemoLogin::instance();
        static const bool hooks = [] {
            InitViewSchemeDlgUnit(InfoApplication);
            return true;
        }();
        Q_UNUSED(hooks);
        return login;
    }
    static QVariant value(const QString& sql) { return kvtest::DemoLogin::value(sql); }
};

} // namespace schemetest
