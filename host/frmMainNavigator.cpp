// The main window's navigator: the modules and functions the user may open,
// loaded per login, and the opening of a function's window.
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

#include <functional>

namespace {

QString Trimmed(const QVariant& v)
{
    return v.toString().trimmed();
}

struct FunctionRow {
    QString ModID;
    QTreeWidgetItem* Node;
};

struct ModuleRow {
    QString ID, Name, Parent, ImgFile, ImgID;
};

struct BuiltModule {
    QTreeWidget* Tree = nullptr;     // a group: its tree
    QTreeWidgetItem* Node = nullptr; // a module below a group
};

// The functions the user may open: every one for an administrator; otherwise
// those of internal objects and those whose object or action is granted to the
// user or the user's groups and not denied.
QString NavigatorFunctionsSQL(const TLoginInfo& info)
{
    QString sql;
    if (info.UserIsAdmin) {
        sql = QStringLiteral("select * from QZ_SYS_Functions with(nolock) order by FunModID, FunSeqNo");
    } else {
        sql = QStringLiteral(
                "select f.* from QZ_SYS_Functions as f with(nolock) left join QZ_SYS_Objects as o with(nolock) on FunType=0 and FunObject=ObjID "
                "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind<>%2:d) as p1 on FunType=0 and FunObject=p1.PmsObjID and FunAction=p1.PmsRelID "
                "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind=%2:d) as p2 on FunType=0 and FunObject=p2.PmsObjID and FunAction=p2.PmsRelID "
                "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID "
                "join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind<>%2:d) as p3 on FunType=0 and FunObject=p3.ActObjID and FunAction=p3.ActID "
                "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID "
                "join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind=%2:d) as p4 on FunType=0 and FunObject=p4.ActObjID and FunAction=p4.ActID "
                "where FunType<>0 or o.ObjInternal=1 or p1.PmsObjID is not null and p2.PmsObjID is null or p3.ActObjID is not null and p4.ActObjID is null "
                "order by FunModID, FunSeqNo");
        sql.replace(QStringLiteral("%0:s"), QuotedStr(info.UserID))
            .replace(QStringLiteral("%1:s"), info.UserGroups)
            .replace(QStringLiteral("%2:d"), QStringLiteral("2"));
    }
    return sql;
}

// Reads the function rows into definitions and navigator nodes, noting the
// modules they belong to (upper-case ID -> ID).
void ReadFunctions(TADOQuery* q, std::vector<TFunctionDef>& ADefs, QList<FunctionRow>& ARows,
                   QMap<QString, QString>& ANeededModules)
{
    TNavigatorImages& images = NavigatorImages();
    while (!q->Eof()) {
        TFunctionDef f;
        f.FunID = q->FieldByName(QStringLiteral("FunID"))->AsString();
        f.FunName = q->FieldByName(QStringLiteral("FunName"))->AsString();
        f.FunType = q->FieldByName(QStringLiteral("FunType"))->AsInteger();
        f.FunObject = q->FieldByName(QStringLiteral("FunObject"))->AsString();
        f.FunAction = q->FieldByName(QStringLiteral("FunAction"))->AsString();
        f.FunParams = q->FieldByName(QStringLiteral("FunParams"))->AsString();
        const int image = NavImage(q->FieldByName(QStringLiteral("FunImgFile"))->AsString(),
                                   q->FieldByName(QStringLiteral("FunImgID"))->AsString(), 3, images.Small, 16);
        auto* node = new QTreeWidgetItem(QStringList{f.FunName});
        node->setData(0, NavStateRole, int(ADefs.size()));
        node->setData(0, NavImageRole, image);
        node->setIcon(0, images.Small.value(image));
        ADefs.push_back(f);
        const QString modID = q->FieldByName(QStringLiteral("FunModID"))->AsString().trimmed();
        ARows.append({modID, node});
        if (!modID.isEmpty())
            ANeededModules.insert(modID.toUpper(), modID);
        q->Next();
    }
    q->Close();
}

// Reads every module row; false when the modules cannot be read.
bool ReadModules(TADOQuery* q, QList<ModuleRow>& AModules, QSet<QString>& AModuleIDs)
{
    if (!ExecSQLText(q, QStringLiteral("select * from QZ_SYS_Modules with(nolock) order by ModParent, ModSeqNo"), true, false,
                     true))
        return false;
    while (!q->Eof()) {
        ModuleRow m{Trimmed(q->FieldValues(QStringLiteral("ModID"))), q->FieldByName(QStringLiteral("ModName"))->AsString(),
                    Trimmed(q->FieldValues(QStringLiteral("ModParent"))), q->FieldByName(QStringLiteral("ModImgFile"))->AsString(),
                    q->FieldByName(QStringLiteral("ModImgID"))->AsString()};
        AModules.append(m);
        AModuleIDs.insert(m.ID.toUpper());
        q->Next();
    }
    q->Close();
    return true;
}

// Builds the modules the functions need, with their parents: a root module
// (or one whose parent is unknown) becomes a group of the navigator, any other
// a node under its parent.
QMap<QString, BuiltModule> BuildModules(const QList<ModuleRow>& AModules, const QSet<QString>& AModuleIDs,
                                        QMap<QString, QString> ANeededModules, QToolBox* ANavigator,
                                        const std::function<QTreeWidget*()>& ANewTree)
{
    TNavigatorImages& images = NavigatorImages();
    QMap<QString, BuiltModule> built;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const ModuleRow& m : AModules) {
            const QString id = m.ID.toUpper();
            if (!ANeededModules.contains(id) || built.contains(id))
                continue;
            const QString parent = m.Parent.toUpper();
            if (parent.isEmpty() || !AModuleIDs.contains(parent)) {
                QTreeWidget* tree = ANewTree();
                tree->setObjectName(QStringLiteral("trl") + m.ID);
                const int image = NavImage(m.ImgFile, m.ImgID, 0, images.Small, 16);
                NavImage(m.ImgFile, m.ImgID, -1, images.Large, 24);
                ANavigator->addItem(tree, images.Small.value(image), m.Name);
                built.insert(id, BuiltModule{tree, nullptr});
                changed = true;
            } else if (built.contains(parent)) {
                const BuiltModule& p = built[parent];
                auto* node = new QTreeWidgetItem(QStringList{m.Name});
                const int image = NavImage(m.ImgFile, m.ImgID, 1, images.Small, 16);
                node->setData(0, NavStateRole, -1);
                node->setData(0, NavImageRole, image);
                node->setIcon(0, images.Small.value(image));
                if (p.Tree)
                    p.Tree->addTopLevelItem(node);
                else
                    p.Node->addChild(node);
                built.insert(id, BuiltModule{nullptr, node});
                changed = true;
            } else if (!ANeededModules.contains(parent)) {
                ANeededModules.insert(parent, m.Parent);
                changed = true;
            }
        }
    }
    return built;
}

// Functions under their modules; those of unknown modules stay uncategorised.
void PlaceFunctions(const QList<FunctionRow>& ARows, const QMap<QString, BuiltModule>& ABuilt, QTreeWidget* ANoCategory)
{
    for (const FunctionRow& r : ARows) {
        const auto it = ABuilt.constFind(r.ModID.toUpper());
        if (it == ABuilt.constEnd())
            ANoCategory->addTopLevelItem(r.Node);
        else if (it->Tree)
            it->Tree->addTopLevelItem(r.Node);
        else
            it->Node->addChild(r.Node);
    }
}

// The no-category group goes last: "(未分类)" while it holds nodes,
// "(无授权资料)" when nothing else is there, otherwise left out.
void FinishGroups(QToolBox* ANavigator, QTreeWidget* ANoCategory)
{
    if (ANoCategory->topLevelItemCount() > 0)
        ANavigator->addItem(ANoCategory, QStringLiteral("(未分类)"));
    else if (ANavigator->count() == 0)
        ANavigator->addItem(ANoCategory, QStringLiteral("(无授权资料)"));
    if (ANavigator->count() > 0)
        ANavigator->setCurrentIndex(0);
}

} // namespace

// ---------------------------------------------------------------- navigator

void TMainForm::ClearNavigator()
{
    while (nabNavigator->count() > 0) {
        QWidget* page = nabNavigator->widget(0);
        nabNavigator->removeItem(0);
        if (page != trlNoCategory)
            page->deleteLater();
    }
    trlNoCategory->clear();
    FFunctionDefs.clear();
}

void TMainForm::LoadNavigator()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorGuard {
        ~CursorGuard() { QApplication::restoreOverrideCursor(); }
    } cursorGuard;

    const TLoginInfo& info = InfoApplication->LoginInfo;
    actSystemPermission->setEnabled(info.UserIsAdmin);
    actSystemLogout->setEnabled(true);
    SetStatusPanel(3, info.DBAlias);
    SetStatusPanel(4, info.UserNo.compare(info.UserName, Qt::CaseInsensitive) == 0
                          ? info.UserNo
                          : info.UserNo + QStringLiteral(" (") + info.UserName + u')');

    ClearNavigator();
    TADOQuery* q = GlobalADOQuery;
    if (!ExecSQLText(q, NavigatorFunctionsSQL(info), true, false, true)) {
        FinishGroups(nabNavigator, trlNoCategory);
        return;
    }
    QList<FunctionRow> functionRows;
    QMap<QString, QString> neededModules;
    ReadFunctions(q, FFunctionDefs, functionRows, neededModules);

    QList<ModuleRow> modules;
    QSet<QString> moduleIDs;
    QMap<QString, BuiltModule> built;
    if (ReadModules(q, modules, moduleIDs))
        built = BuildModules(modules, moduleIDs, neededModules, nabNavigator, [this] { return NewNavigatorTree(); });
    PlaceFunctions(functionRows, built, trlNoCategory);
    FinishGroups(nabNavigator, trlNoCategory);
}

void TMainForm::OpenFunction(QTreeWidgetItem* ANode)
{
    if (!ANode)
        return;
    const int index = ANode->data(0, NavStateRole).isValid() ? ANode->data(0, NavStateRole).toInt() : -1;
    if (index < 0 || index >= int(FFunctionDefs.size()))
        return;
    const TFunctionDef f = FFunctionDefs[size_t(index)];
    const QString key = f.FunObject + u'|' + f.FunAction + u'|' + f.FunParams;
    if (auto* open = qobject_cast<TMDIChild*>(FindViewForm(key))) {
        open->BringToFront();
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    MDIClient->setUpdatesEnabled(false);
    struct Restore {
        QMdiArea* Area;
        ~Restore()
        {
            Area->setUpdatesEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    } restore{MDIClient};
    const int previous = FTabbedMDIManager->TabProperties()->PageIndex();
    try {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(f.FunObject);
        if (!def) {
            ShowError(QStringLiteral("装载信息对象出现错误!"));
            return;
        }
        QWidget* form = nullptr;
        if (def->ObjType == 11) {
            form = new TInfoFrameForm(def, f.FunName);
        } else if (def->ObjType == 12) {
            auto proc = reinterpret_cast<TLoadInfoFormProc>(GetDllProc(def->DllName, QStringLiteral("LoadInfoForm")));
            if (!proc)
                return;
            form = proc(InfoApplication, def);
        } else {
            // "Relation=ID" among the function's parameters: the window opens on that detail page.
            form = new TInfoViewForm(def, f.FunName, ReadDelimitedValue(f.FunParams, QStringLiteral("Relation"), QStringLiteral("|")));
        }
        if (!form)
            return;
        RegisterViewForm(key, form);
        if (qobject_cast<TMDIChild*>(form))
            PlaceNewTab(previous, ANode->data(0, NavImageRole).toInt());
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
    ScheduleIdle();
}
