// The main window's session commands: log-in, log-out, closing windows, the
// manual, the About box and permissions; and the hooks it installs for views
// (editors, status messages).
#include "frmMain.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "clsMDIChild.h"
#include "dlgAbout.h"
#include "dlgPermissions.h"
#include "frmInfoEdit.h"
#include "frmInfoFrame.h"
#include "frmInfoView.h"
#include "untAppFrame.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untLibraryLoader.h"
#include "untTabbedMDI.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLibraryInfo>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QTranslator>
#include <QTreeWidget>
#include <QUrl>

void TMainForm::actSystemLoginExecute()
{
    if (!actSystemLogoutExecute())
        return;
    try {
        if (InfoApplication->LoginInfo.UserID.isEmpty() && SystemLogin())
            LoadNavigator();
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
}

bool TMainForm::actSystemLogoutExecute()
{
    actWindowCloseAllExecute();
    if (MDIChildCount() > 0)
        return false;
    actSystemPermission->setEnabled(false);
    actSystemLogout->setEnabled(false);
    StatusPanels[3]->clear();
    StatusPanels[3]->setFixedWidth(50);
    StatusPanels[4]->clear();
    StatusPanels[4]->setFixedWidth(50);
    ClearNavigator();
    nabNavigator->addItem(trlNoCategory, QStringLiteral("(未登录)"));
    nabNavigator->setCurrentIndex(0);
    SystemLogout();
    return true;
}

void TMainForm::actWindowCloseExecute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->Close();
}

void TMainForm::actWindowCloseAllExecute()
{
    TMDIChild* last = nullptr;
    for (;;) {
        TMDIChild* child = ActiveMDIChild();
        if (!child) {
            // A child that is not the current one (none is current) still counts.
            const QList<TMDIChild*> rest = MDIChildren();
            if (rest.isEmpty())
                break;
            child = rest.last();
            child->BringToFront();
        }
        if (child == last)
            break; // it refused
        last = child;
        child->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!MDIChildren().contains(last))
            last = nullptr;
    }
    if (MDIChildCount() == 0)
        CloseMDIChildUI();
}

void TMainForm::actHelpManualExecute()
{
    const QString path = ProgramFolder() + QStringLiteral("/Korvane-用户手册.pdf");
    if (!QFileInfo::exists(path) || !ShellOpen()(QUrl::fromLocalFile(path)))
        ShowError(FormatMessage(QStringLiteral("打开用户手册文件\"%s\"出现错误!"), {QDir::toNativeSeparators(path)}));
}

void TMainForm::actHelpAboutExecute()
{
    TAboutDlg dlg(this);
    dlg.exec();
}

void TMainForm::actSystemPermissionExecute()
{
    ShowPermissionsDlg(this);
}

// ---------------------------------------------------------------- hooks

IInfoEditPtr DoShowInfoObjectEditor(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID)
{
    IInfoEditPtr edit;
    if (!MainForm || !AObjectDef)
        return edit;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    MainForm->setUpdatesEnabled(false);
    struct Restore {
        ~Restore()
        {
            if (MainForm)
                MainForm->setUpdatesEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    } restore;
    const QList<TMDIChild*> children = MainForm->MDIChildren();
    for (qsizetype i = children.size() - 1; i >= 0 && !edit; --i) {
        auto* form = qobject_cast<TInfoEditForm*>(children.at(i));
        if (!form || !form->Editor())
            continue;
        TInfoObjectDef* def = form->Editor()->GetObjectDef();
        if (def && def->ID.compare(AObjectDef->ID, Qt::CaseInsensitive) == 0 && form->Editor()->DataInEdit(AKeyValues)) {
            form->BringToFront();
            edit = form->Editor();
        }
    }
    if (!edit) {
        TexTabbedMDITabProperties* tabs = MainForm->FTabbedMDIManager->TabProperties();
        const int previous = tabs->PageIndex();
        MainForm->FTabbedMDIManager->BeginUpdate();
        try {
            auto* form = new TInfoEditForm(AObjectDef);
            MainForm->PlaceNewTab(previous, 5);
            edit = form->Editor();
        } catch (const EAbort&) {
        }
        MainForm->FTabbedMDIManager->EndUpdate();
    }
    if (edit)
        edit->OpenData(AKeyValues, AActionID);
    return edit;
}

void DoShowStatusMessage(const QString& AMessage, TShowStatusMessageKind AKind)
{
    if (!MainForm)
        return;
    if (AKind == mkCount) {
        MainForm->FCountShown = true;
        QLabel* panel = MainForm->StatusPanels[1];
        if (panel->text() != AMessage) {
            panel->setText(AMessage);
            panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(AMessage) + 10);
        }
        return;
    }
    QLabel* panel = MainForm->StatusPanels[0];
    if (!AMessage.isEmpty()) {
        panel->setText(u' ' + AMessage);
        panel->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    } else {
        panel->setText(QStringLiteral(" 就绪"));
        panel->setStyleSheet(QString());
    }
    panel->repaint();
}
