// The main window on the demo account set: the navigator per user, opening
// functions, log-out and log-in again, status panels, the user manual.
#include "shell_fixture.h"
#include "dlgAbout.h"

#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QTabBar>
#include <QUrl>

using namespace shelltest;

namespace {

const QString Base = QStringLiteral("计划资料: 物料计划参数, 物料替代, BOM展开, 工厂日历, 仓库");

} // namespace

TEST_F(ShellTest, NavigatorOfAnAdministratorShowsEveryModuleAndFunction)
{
    ASSERT_TRUE(login("admin"));
    newForm();
    const QStringList nav = navigator();
    ASSERT_EQ(nav.size(), 1) << nav.join('\n').toStdString();
    EXPECT_TRUE(nav[0].startsWith("计划管理: 计划资料, 计划资料/物料计划参数, 计划资料/物料替代")) << nav[0].toStdString();
    for (const char* f : {"需求管理/产品预测", "供应单据/采购订单", "计划运算/MRP计划方案", "计划运算/库存账龄分析"})
        EXPECT_TRUE(nav[0].contains(QString::fromUtf8(f))) << f;
    EXPECT_EQ(int(form->FFunctionDefs.size()), 29);
    EXPECT_TRUE(form->actSystemPermission->isEnabled());
    EXPECT_EQ(form->StatusPanels[3]->text(), "演示账套");
    EXPECT_EQ(form->StatusPanels[4]->text(), "admin (系统管理员)");
}

TEST_F(ShellTest, NavigatorOfARestrictedUserShowsOnlyPermittedFunctions)
{
    ASSERT_TRUE(login("buy01"));
    newForm();
    const QStringList nav = navigator();
    ASSERT_EQ(nav.size(), 1);
    EXPECT_EQ(nav[0], "计划管理: 计划资料, 计划资料/物料计划参数, 供应单据, 供应单据/即时库存, 供应单据/采购订单, "
                      "供应单据/采购在检, 供应单据/采购申请, 计划运算, 计划运算/MRP计划查询, 计划运算/MRP计划投放");
    EXPECT_FALSE(form->actSystemPermission->isEnabled());
    EXPECT_EQ(form->StatusPanels[4]->text(), "buy01 (李采购)");
    // the platform's own buttons speak Chinese when its translation is installed
    if (QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_zh_CN.qm")) {
        EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "取消");
    }
}

TEST_F(ShellTest, NavigatorWithoutPermittedFunctionsSaysSo)
{
    exec("insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrAdmin, UsrDisabled) values ('nobody', 'nobody', 'NoBody', 0, 0)\n"
         "insert ERP_Users (UserID, UserNo, UserName, PasswordHash) select 'nobody', 'nobody', 'x', PasswordHash from ERP_Users where UserNo='admin'");
    ASSERT_TRUE(login("nobody"));
    newForm();
    EXPECT_EQ(navigator(), QStringList{"(无授权资料): "});
    // the user number equal to the name (ignoring case) stands alone
    EXPECT_EQ(form->StatusPanels[4]->text(), "nobody");
}

TEST_F(ShellTest, NavigatorKeepsFunctionsOfUnknownOrCyclicModulesUncategorised)
{
    exec("insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M_A', '甲', 'M_B', 1)\n"
         "insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M_B', '乙', 'M_A', 1)\n"
         "insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M_X', '独立', 'M_GONE', 5)\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_C', 'M_A', 1, '循环功能', 1, 'x', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_U', 'M_NONE', 1, '无模块功能', 1, 'y', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_X', 'M_X', 1, '独立功能', 1, 'z', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_D', 'M_DEMAND', 99, '深层功能', 1, 'w', '', '')");
    ASSERT_TRUE(login("buy01"));
    newForm();
    const QStringList nav = navigator();
    ASSERT_EQ(nav.size(), 3) << nav.join('\n').toStdString();
    // functions of type other than 0 need no permission; a module whose parent
    // names no row is a group of its own, built in the first pass, before the
    // root that the planning modules make needed; the parent of a needed module is built too
    EXPECT_EQ(nav[0], "独立: 独立功能");
    EXPECT_TRUE(nav[1].startsWith("计划管理: 计划资料")) << nav[1].toStdString();
    EXPECT_TRUE(nav[1].contains("需求管理, 需求管理/深层功能")) << nav[1].toStdString();
    EXPECT_EQ(nav[2], "(未分类): 循环功能, 无模块功能");
}

TEST_F(ShellTest, OpeningAFunctionTwiceBringsTheFirstWindowToTheFront)
{
    ASSERT_TRUE(login("admin"));
    newForm();
    QTreeWidgetItem* po = functionNode("采购订单");
    QTreeWidgetItem* so = functionNode("销售订单");
    QTreeWidgetItem* mo = functionNode("生产任务");
    ASSERT_TRUE(po && so && mo);
    form->OpenFunction(po);
    pump();
    ASSERT_EQ(form->MDIChildCount(), 1);
    TMDIChild* poWindow = form->ActiveMDIChild();
    ASSERT_NE(qobject_cast<TInfoViewForm*>(poWindow), nullptr);
    EXPECT_EQ(poWindow->windowTitle(), "采购订单");
    form->OpenFunction(so);
    pump();
    EXPECT_EQ(form->MDIChildCount(), 2);
    form->OpenFunction(po);
    pump();
    EXPECT_EQ(form->MDIChildCount(), 2);
    EXPECT_EQ(form->ActiveMDIChild(), poWindow);
    // a new window's tab goes right after the tab that was active
    form->OpenFunction(mo);
    pump();
    EXPECT_EQ(tabCaptions(), (QStringList{"采购订单", "生产任务", "销售订单"}));
    EXPECT_EQ(form->windowTitle(), "Korvane - 生产任务");
    // module nodes and nothing open nothing
    form->OpenFunction(po->parent());
    form->OpenFunction(nullptr);
    EXPECT_EQ(form->MDIChildCount(), 3);
}

TEST_F(ShellTest, OpeningAnObjectThatCannotBeLoadedSaysSo)
{
    exec("insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_Gone', 'M_BASE', 99, '已删除对象', 0, 'QZ_MRP.Gone', '', '')");
    ASSERT_TRUE(login("admin"));
    newForm();
    ScriptedMessageBoxes boxes;
    form->OpenFunction(functionNode("已删除对象"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "装载信息对象出现错误!");
    EXPECT_EQ(form->MDIChildCount(), 0);
}

TEST_F(ShellTest, FramesAndFormsOfALibraryOpenOrEndSilently)
{
    exec("insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjModID, ObjInternal, ObjHasEditor, ObjCanFilter, ObjDllName, ObjSID) values ('Probe.Frame', '探针', 11, 'M_BASE', 0, 0, 0, 'KvShellProbe.dll', '')\n"
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjModID, ObjInternal, ObjHasEditor, ObjCanFilter, ObjDllName, ObjSID) values ('Probe.None', '无框架', 11, 'M_BASE', 0, 0, 0, 'KvShellProbe.dll', '')\n"
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjModID, ObjInternal, ObjHasEditor, ObjCanFilter, ObjDllName, ObjSID) values ('Probe.Lost', '无库', 11, 'M_BASE', 0, 0, 0, 'NoSuchLibrary.dll', '')\n"
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjModID, ObjInternal, ObjHasEditor, ObjCanFilter, ObjDllName, ObjSID) values ('Probe.Form', '无窗体', 12, 'M_BASE', 0, 0, 0, 'KvShellProbe.dll', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_P1', 'M_BASE', 91, '探针框架', 0, 'Probe.Frame', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_P2', 'M_BASE', 92, '空框架', 0, 'Probe.None', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_P3', 'M_BASE', 93, '缺库框架', 0, 'Probe.Lost', '', '')\n"
         "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams) values ('F_P4', 'M_BASE', 94, '缺导出窗体', 0, 'Probe.Form', '', '')");
    ASSERT_TRUE(login("admin"));
    newForm();
    ScriptedMessageBoxes boxes;
    for (const char* name : {"空框架", "缺库框架", "缺导出窗体"})
        form->OpenFunction(functionNode(QString::fromUtf8(name)));
    pump();
    EXPECT_EQ(form->MDIChildCount(), 0);
    EXPECT_TRUE(boxes.shown.isEmpty());
    form->OpenFunction(functionNode("探针框架"));
    pump();
    ASSERT_EQ(form->MDIChildCount(), 1);
    EXPECT_EQ(form->ActiveMDIChild()->windowTitle(), "探针框架");
    // the frame decides refresh; its failing command falls back to "not handled"
    form->AppIdle();
    EXPECT_TRUE(form->actViewRefresh->isEnabled());
    EXPECT_FALSE(form->ActiveMDIChild()->ExecCommand(Commands::Refresh));
}

TEST_F(ShellTest, LogoutClosesAllWindowsAndClearsCachesAndLoginRebuildsTheNavigator)
{
    ASSERT_TRUE(login("admin"));
    newForm();
    form->OpenFunction(functionNode("采购订单"));
    form->OpenFunction(functionNode("销售订单"));
    pump();
    ASSERT_EQ(form->MDIChildCount(), 2);
    ASSERT_GT(InfoObjectDefCacheCount(), 0);
    ASSERT_TRUE(form->actSystemLogoutExecute());
    EXPECT_EQ(form->MDIChildCount(), 0);
    EXPECT_EQ(InfoObjectDefCacheCount(), 0);
    EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
    EXPECT_EQ(navigator(), QStringList{"(未登录): "});
    EXPECT_TRUE(form->FFunctionDefs.empty());
    EXPECT_FALSE(form->actSystemLogout->isEnabled());
    EXPECT_FALSE(form->actSystemPermission->isEnabled());
    EXPECT_TRUE(form->StatusPanels[3]->text().isEmpty());
    for (QAction* a : form->InfoActions)
        EXPECT_FALSE(a->isVisible());

    // log in again, now as the buyer (silent login of the settings file)
    QSettings s(AppFramePaths().SettingsFile, QSettings::IniFormat);
    s.setValue("Connect/String", EncipherSilentLogin({"演示账套", "buy01", "", "", "KorvaneDemo", dbFile}, SilentLoginKey()));
    s.sync();
    ReadProgramSettings();
    const int tick = InfoApplication->LoginTick;
    form->actSystemLoginExecute();
    EXPECT_EQ(InfoApplication->LoginTick, tick + 1);
    EXPECT_EQ(InfoApplication->LoginInfo.UserNo, "buy01");
    const QStringList nav = navigator();
    ASSERT_EQ(nav.size(), 1);
    EXPECT_TRUE(nav[0].contains("供应单据/采购订单"));
    EXPECT_FALSE(nav[0].contains("销售订单"));
    EXPECT_TRUE(form->actSystemLogout->isEnabled());
}

TEST_F(ShellTest, AWindowThatRefusesToCloseStopsLogoutAndClosingTheMainWindow)
{
    ASSERT_TRUE(login("admin"));
    newForm();
    auto* busy = new TTestChild("忙碌");
    busy->IsWorking = true;
    new TTestChild("空闲");
    pump();
    ASSERT_EQ(form->MDIChildCount(), 2);
    EXPECT_FALSE(form->actSystemLogoutExecute());
    pump();
    // the idle one went, the working one stays, and the user stays logged in
    EXPECT_EQ(tabCaptions(), QStringList{"忙碌"});
    EXPECT_FALSE(InfoApplication->LoginInfo.UserID.isEmpty());
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(InfoApplication->LoginInfo.UserID.isEmpty());
    busy->IsWorking = false;
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(InfoApplication->LoginInfo.UserID.isEmpty());
}

TEST_F(ShellTest, StatusMessagesAndTheUserManual)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    EXPECT_EQ(form->StatusPanels[0]->text(), " 就绪");
    InfoApplication->ShowStatusMessage("正在计算", mkHint);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 正在计算");
    InfoApplication->ShowStatusMessage("", mkHint);
    EXPECT_EQ(form->StatusPanels[0]->text(), " 就绪");
    InfoApplication->ShowStatusMessage("共 12 条", mkCount);
    EXPECT_EQ(form->StatusPanels[1]->text(), "共 12 条");
    // no window decides the count command, so idle clears the count panel
    form->AppIdle();
    EXPECT_TRUE(form->StatusPanels[1]->text().isEmpty());

    const QString manual = programDir().filePath("Korvane-用户手册.pdf");
    QFile::remove(manual);
    {
        ScriptedMessageBoxes boxes;
        form->actHelpManualExecute();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "打开用户手册文件\"" + manual + "\"出现错误!");
        EXPECT_TRUE(opened.isEmpty());
    }
    writeFile(manual, "%PDF-1.4\n");
    {
        ScriptedMessageBoxes boxes;
        form->actHelpManualExecute();
        EXPECT_TRUE(boxes.shown.isEmpty());
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0].toLocalFile(), manual);
        shellResult = false;
        form->actHelpManualExecute();
        EXPECT_EQ(boxes.shown.size(), 1);
    }
}

TEST_F(ShellTest, TheDesktopPictureIsFittedAndCentred)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    form->DesktopImages[0] = QImage();
    form->DesktopImages[2] = QImage();
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    form->DesktopImages[1] = picture;
    form->MDIClient->viewport()->setFixedSize(400, 400);
    form->PrepareDesktopImage();
    const QImage& image = form->ClientImage();
    ASSERT_EQ(image.size(), QSize(400, 400));
    // full width, 200 pixels high, centred vertically
    EXPECT_EQ(image.pixelColor(200, 200), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(200, 110), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(200, 90), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(200, 310), QColor(Qt::red));
}

TEST_F(ShellTest, AboutBoxAndWindowList)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    {
        TAboutDlg dlg(form);
        EXPECT_EQ(dlg.windowTitle(), "关于本系统");
        EXPECT_EQ(dlg.lblTitle->text(), "Korvane系统");
        EXPECT_EQ(dlg.lblVersion->text(), "V3.1");
        emit dlg.lblHomePage->linkActivated(TAboutDlg::HomePage());
        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0].toString(), TAboutDlg::HomePage());
    }
    new TTestChild("甲&乙");
    auto* second = new TTestChild("丙");
    pump();
    ASSERT_EQ(form->ActiveMDIChild(), second);
    emit form->mnuWindow->aboutToShow();
    QStringList entries;
    QAction* first = nullptr;
    for (QAction* a : form->mnuWindow->actions())
        if (a->isCheckable()) {
            entries.append(a->text() + (a->isChecked() ? "*" : ""));
            if (!first)
                first = a;
        }
    EXPECT_EQ(entries, (QStringList{"甲&&乙", "丙*"}));
    ASSERT_NE(first, nullptr);
    first->trigger();
    pump();
    EXPECT_EQ(form->ActiveMDIChild()->windowTitle(), "甲&乙");
}
