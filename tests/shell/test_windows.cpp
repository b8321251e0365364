// MDI children in the main window: command state and dispatch, the action
// bar, closing through tabs, edit windows of a library, library actions, the
// input lock of long work.
#include "shell_fixture.h"
#include "GridTestSupport.h"
#include "clsInfoView.h"
#include "clsGridView.h"
#include "clsMasterDetailView.h"
#include "frmInfoEdit.h"
#include "untLibraryLoader.h"
#include "untCommonUI.h"

#include <QDialog>
#include <QLineEdit>
#include <QTabBar>
#include <QTest>

using namespace shelltest;

namespace {

struct TShellProbe {
    TEditMode EditMode = emNone;
    QString EditCaption;
    bool RefuseClose = false;
    int ActionCalls = 0;
    bool ActionRefresh = false;
    QString LastActionID;
    QString LastOpenedKeys;
    int FrameStateQueries = 0;
};

TShellProbe* probe()
{
    auto proc = reinterpret_cast<TShellProbe* (*)()>(GetDllProc("KvShellProbe.dll", "ShellProbe"));
    return proc ? proc() : nullptr;
}

TInfoActionDef action(const QString& id, TInfoActionType type, int group = 0, TInfoActionKind kind = akSimple,
                      bool inEditor = false)
{
    TInfoActionDef a;
    a.ID = id;
    a.Name = id;
    a.ActType = type;
    a.Group = group;
    a.Kind = kind;
    a.InEditor = inEditor;
    a.DllName = "KvShellProbe.dll";
    return a;
}

QStringList shownActions(TMainForm* form)
{
    QStringList result;
    for (int i = 0; i < Commands::ActionSlots; ++i) {
        QAction* a = form->actInfoActions[i];
        if (!a->isVisible())
            continue;
        result.append((form->InfoToolSeparators[i]->isVisible() ? "|" : "") + a->text() + u'='
                      + QString::number(ActionTag(a)));
    }
    return result;
}

} // namespace

TEST_F(ShellTest, CommandStateAndExecutionFollowTheActiveWindow)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    form->AppIdle();
    EXPECT_FALSE(form->actWindowClose->isEnabled());
    auto* first = new TTestChild("第一");
    first->States[Commands::Save] = csEnabled;
    first->States[Commands::Relations] = TCommandState(csEnabled) | csChecked;
    auto* second = new TTestChild("第二");
    second->States[Commands::Save] = TCommandState();
    second->States[Commands::Export] = csHidden;
    pump();
    ASSERT_EQ(form->ActiveMDIChild(), second);
    form->AppIdle();
    EXPECT_FALSE(form->actFileSave->isEnabled());
    EXPECT_FALSE(form->actFileExport->isVisible());
    EXPECT_FALSE(form->actViewRelation->isChecked());
    EXPECT_TRUE(form->actWindowClose->isEnabled());
    EXPECT_GT(second->IdleCalls, 0);
    EXPECT_EQ(first->IdleCalls, 0);

    first->BringToFront();
    pump();
    form->AppIdle();
    EXPECT_TRUE(form->actFileSave->isEnabled());
    EXPECT_TRUE(form->actFileExport->isVisible());
    EXPECT_TRUE(form->actViewRelation->isChecked());
    form->actFileSave->trigger();
    EXPECT_EQ(first->Executed, QList<int>{Commands::Save});
    EXPECT_TRUE(second->Executed.isEmpty());
    // a disabled command is not sent
    first->States[Commands::Save] = TCommandState();
    form->ExecuteMainAction(form->actFileSave);
    EXPECT_EQ(first->Executed.size(), 1);
    // an info action the child does not decide stays disabled
    SetActionTag(form->actInfoActions[0], 100);
    form->UpdateActionState(form->actInfoActions[0], first);
    EXPECT_FALSE(form->actInfoActions[0]->isEnabled());
}

TEST_F(ShellTest, ActionBarShowsAtMostTwentyActionsWithGroups)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    TInfoObjectDef def;
    def.ID = "Probe.Bar";
    def.Actions.push_back(action("新增", atNew, 1));
    def.Actions.push_back(action("打印", atPrint, 1));
    def.Actions.push_back(action("导出", atExport, 1));
    def.Actions.push_back(action("修改", atUpdate, 1));
    def.Actions.push_back(action("审核", atCheck, 2));
    def.Actions.push_back(action("编辑内", atCustom, 2, akSimple, true));
    def.Actions.push_back(action("全局", atCustom, 3, akGlobal));
    for (int i = 0; i < 30; ++i)
        def.Actions.push_back(action(QStringLiteral("动作%1").arg(i), atCustom, 4));

    DoResetMainActionsBar(&def, false);
    QStringList shown = shownActions(form);
    ASSERT_EQ(shown.size(), Commands::ActionSlots);
    EXPECT_EQ(shown.mid(0, 5), (QStringList{"新增=100", "修改=103", "|审核=104", "|全局=106", "|动作0=107"}));
    EXPECT_EQ(shown.last(), "动作15=122");
    EXPECT_FALSE(form->actInfoPlaceholder->isVisible());
    EXPECT_EQ(MainActionsBarObjectDef(), &def);

    // in an editor: actions marked for editors, but no view-wide or global ones
    ResetMainActionsBarReference();
    def.Actions.resize(7);
    DoResetMainActionsBar(&def, true);
    EXPECT_EQ(shownActions(form), (QStringList{"新增=100", "修改=103", "|审核=104", "编辑内=105"}));
    // the same definition again changes nothing, whatever the editor flag
    DoResetMainActionsBar(&def, false);
    EXPECT_EQ(shownActions(form).size(), 4);

    DoResetMainActionsBar(nullptr, false);
    EXPECT_TRUE(shownActions(form).isEmpty());
    EXPECT_TRUE(form->actInfoPlaceholder->isVisible());
    for (QAction* a : form->InfoActions)
        EXPECT_EQ(ActionTag(a), 0);
}

TEST_F(ShellTest, ClosingTheLastWindowHidesTheInfoActions)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    TInfoObjectDef def;
    def.Actions.push_back(action("新增", atNew));
    auto* a = new TTestChild("甲");
    auto* b = new TTestChild("乙");
    pump();
    DoResetMainActionsBar(&def, false);
    ASSERT_EQ(shownActions(form).size(), 1);
    b->Close();
    pump();
    EXPECT_EQ(form->MDIChildCount(), 1);
    EXPECT_EQ(shownActions(form).size(), 1);
    a->Close();
    pump();
    EXPECT_EQ(form->MDIChildCount(), 0);
    EXPECT_TRUE(shownActions(form).isEmpty());
    EXPECT_EQ(MainActionsBarObjectDef(), nullptr);
}

TEST_F(ShellTest, ActivatingAWindowRebuildsTheBarForIt)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    auto* a = new TTestChild("甲");
    auto* b = new TTestChild("乙");
    pump();
    const int before = a->RefreshCalls;
    TInfoObjectDef def;
    DoResetMainActionsBar(&def, false);
    a->BringToFront();
    pump();
    EXPECT_GT(a->RefreshCalls, before);
    EXPECT_EQ(MainActionsBarObjectDef(), nullptr);
    Q_UNUSED(b);
}

TEST_F(ShellTest, AWindowThatRefusesToCloseKeepsItsTab)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    auto* working = new TTestChild("运算中");
    working->IsWorking = true;
    auto* minimising = new TTestChild("最小化");
    minimising->CloseAnswer = caMinimize;
    auto* plain = new TTestChild("普通");
    pump();
    QTabBar* bar = form->FTabbedMDIManager->TabBar();
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(bar->count(), 3);
    for (int i = 0; i < 3; ++i)
        emit bar->tabCloseRequested(i);
    pump();
    EXPECT_EQ(tabCaptions(), (QStringList{"运算中", "最小化"}));
    EXPECT_EQ(bar->count(), 2);
    Q_UNUSED(plain);
    // closing all stops at the first window that stays
    form->actWindowCloseAllExecute();
    pump();
    EXPECT_EQ(form->MDIChildCount(), 2);
    working->IsWorking = false;
    minimising->CloseAnswer = caFree;
    form->actWindowCloseAllExecute();
    pump();
    EXPECT_EQ(form->MDIChildCount(), 0);
}

TEST_F(ShellTest, EditWindowsFollowTheEditModeAndAreReused)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    TShellProbe* state = probe();
    ASSERT_NE(state, nullptr);
    state->EditCaption = "预测单";
    state->EditMode = emNone;
    TInfoObjectDef def;
    def.ID = "Probe.Edit";
    def.DllName = "KvShellProbe.dll";
    def.Actions.push_back(action("新增", atNew));
    def.Actions.push_back(action("视图动作", atCustom, 0, akView));

    new TTestChild("列表");
    pump();
    IInfoEditPtr edit = InfoApplication->ShowInfoObjectEditor(&def, "ID=1", "新增");
    ASSERT_NE(edit, nullptr);
    pump();
    EXPECT_EQ(state->LastOpenedKeys, "ID=1");
    auto* window = qobject_cast<TInfoEditForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "预测单");
    EXPECT_EQ(shownActions(form), QStringList{"新增=100"});

    state->EditMode = emNew;
    window->ProcessIdle();
    EXPECT_EQ(window->windowTitle(), "预测单 - 新建");
    EXPECT_EQ(window->palette().color(QPalette::Window), TColorToQColor(EditModeColor));
    state->EditMode = emModify;
    window->ProcessIdle();
    EXPECT_EQ(window->windowTitle(), "预测单 - 修改");
    state->EditMode = emNone;
    window->ProcessIdle();
    EXPECT_EQ(window->windowTitle(), "预测单");
    EXPECT_EQ(window->palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));

    // the same data again: the open window; other data: a new window after the active tab
    form->MDIChildren().first()->BringToFront();
    pump();
    EXPECT_EQ(InfoApplication->ShowInfoObjectEditor(&def, "ID=1", "修改"), edit);
    EXPECT_EQ(form->ActiveMDIChild(), window);
    form->MDIChildren().first()->BringToFront();
    pump();
    IInfoEditPtr other = InfoApplication->ShowInfoObjectEditor(&def, "ID=2", "修改");
    pump();
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, edit);
    EXPECT_EQ(tabCaptions(), (QStringList{"列表", "预测单", "预测单"}));
    EXPECT_EQ(form->MDIChildren().at(1), form->ActiveMDIChild());

    // an editor that refuses keeps its window; none to be had gives none
    state->RefuseClose = true;
    form->actWindowCloseAllExecute();
    pump();
    EXPECT_EQ(form->MDIChildCount(), 3);
    state->RefuseClose = false;
    TInfoObjectDef none;
    none.ID = "Probe.None";
    none.DllName = "KvShellProbe.dll";
    EXPECT_EQ(InfoApplication->ShowInfoObjectEditor(&none, "", ""), nullptr);
    EXPECT_EQ(form->MDIChildCount(), 3);
}

TEST_F(ShellTest, LibraryActionsRunOnTheActiveViewAndMayRefreshIt)
{
    exec("insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActKind, ActGroup, ActInEditor, ActAgrID, ActContext, ActFilter, ActDllName, ActSeqNo) "
         "values ('QZ_MRP.PO', 'Probe', '探针动作', 6, 3, 9, 0, '', '', '', 'KvShellProbe.dll', 999)");
    ASSERT_TRUE(login("admin"));
    newForm();
    TShellProbe* state = probe();
    ASSERT_NE(state, nullptr);
    state->ActionCalls = 0;
    form->OpenFunction(functionNode("采购订单"));
    pump();
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    form->AppIdle(); // first idle: the bar and the data
    EXPECT_TRUE(window->InitDone());
    TInfoObjectDef* def = window->ObjectDef();
    ASSERT_NE(def, nullptr);
    const int index = def->IndexOfAction("Probe");
    ASSERT_GE(index, 0);
    QAction* slot = nullptr;
    for (QAction* a : form->InfoActions)
        if (ActionTag(a) == Commands::FirstAction + index)
            slot = a;
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->text(), "探针动作");
    state->ActionRefresh = true;
    form->ExecuteMainAction(slot);
    EXPECT_EQ(state->ActionCalls, 1);
    EXPECT_EQ(state->LastActionID, "Probe");
}

TEST_F(ShellTest, LongWorkLocksInputToItsWindow)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    QWidget progress;
    auto* inside = new QLineEdit(&progress);
    QLineEdit outside;
    progress.show();
    outside.show();
    InfoApplication->LockProcessMessages(quintptr(&progress));
    QTest::keyClicks(&outside, "ab");
    QTest::keyClicks(inside, "cd");
    // As the window system delivers keys: to the native window first.
    progress.activateWindow();
    inside->setFocus();
    QTest::keyClick(progress.windowHandle(), Qt::Key_X);
    outside.activateWindow();
    outside.setFocus();
    QTest::keyClick(outside.windowHandle(), Qt::Key_Y);
    InfoApplication->LockProcessMessages(0);
    QTest::keyClicks(&outside, "ef");
    EXPECT_EQ(outside.text(), "ef");
    EXPECT_EQ(inside->text(), "cdx");
}

// A modal question opened during the work takes its input; a modal window
// that holds the work keeps its other controls locked.
TEST_F(ShellTest, AModalBoxOverLockedWorkTakesInput)
{
    ASSERT_TRUE(login("plan01"));
    newForm();
    QDialog work;
    work.setModal(true);
    auto* progress = new QWidget(&work);
    auto* beside = new QLineEdit(&work);
    work.show();
    InfoApplication->LockProcessMessages(quintptr(progress));
    QTest::keyClicks(beside, "ab");
    QDialog box(&work);
    box.setModal(true);
    auto* answer = new QLineEdit(&box);
    box.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &box);
    QTest::keyClicks(answer, "cd");
    // As the window system delivers it: to the box's native window first.
    box.activateWindow();
    answer->setFocus();
    QTest::keyClick(box.windowHandle(), Qt::Key_E);
    box.hide();
    InfoApplication->LockProcessMessages(0);
    EXPECT_EQ(beside->text(), "");
    EXPECT_EQ(answer->text(), "cde");
}

TEST_F(ShellTest, AViewWindowLoadsItsRowsAtTheFirstIdleTime)
{
    // the grid tests' stand-ins for the view-scheme dialog and its SQL parser
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    ASSERT_TRUE(login("plan01"));
    newForm();
    form->OpenFunction(functionNode("生产任务"));
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    auto* grid = dynamic_cast<TInfoGridView*>(md->MasterView().get());
    ASSERT_NE(grid, nullptr);
    EXPECT_FALSE(window->InitDone());
    form->AppIdle();
    InfoApplication->ShowViewSchemeDlgProc = nullptr;
    InfoApplication->ParseViewSchemeSQLProc = nullptr;
    EXPECT_TRUE(window->InitDone());
    ASSERT_NE(grid->GridView(), nullptr);
    EXPECT_GT(grid->GridView()->recordCount(), 0);
    // the bar shows the object's actions once the first idle time came
    EXPECT_EQ(MainActionsBarObjectDef(), window->ObjectDef());
}

TEST_F(ShellTest, TheBarFollowsTheFocusedMasterOrDetailView)
{
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    ASSERT_TRUE(login("plan01"));
    newForm();
    form->activateWindow();
    form->OpenFunction(functionNode("生产任务"));
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    form->AppIdle();
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    TInfoObjectDef* master = md->GetObjectDef();
    EXPECT_EQ(MainActionsBarObjectDef(), master);
    md->ShowRelation(0, false);
    pump();
    const IInfoViewPtr detail = md->DetailView(0);
    ASSERT_NE(detail, nullptr);
    ASSERT_NE(detail->GetObjectDef(), master);
    detail->MakeFocus();
    pump();
    if (!detail->IsFocused())
        GTEST_SKIP() << "the platform gives no focus to the detail view";
    form->AppIdle();
    EXPECT_EQ(MainActionsBarObjectDef(), detail->GetObjectDef());
    md->MakeFocus();
    pump();
    form->AppIdle();
    EXPECT_EQ(MainActionsBarObjectDef(), master);
}

TEST_F(ShellTest, ALibraryActionThatRefreshesTheMasterRelinksItsDetails)
{
    exec("insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActKind, ActGroup, ActInEditor, ActAgrID, ActContext, ActFilter, ActDllName, ActSeqNo) "
         "values ('QZ_MRP.MO', 'Probe', '探针动作', 6, 3, 9, 0, '', '', '', 'KvShellProbe.dll', 999)");
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    ASSERT_TRUE(login("admin"));
    newForm();
    TShellProbe* state = probe();
    ASSERT_NE(state, nullptr);
    form->OpenFunction(functionNode("生产任务"));
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    form->AppIdle();
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    md->ShowRelation(0, false);
    pump();
    auto* master = dynamic_cast<TInfoGridView*>(md->MasterView().get());
    auto* detail = dynamic_cast<TCustomInfoView*>(md->DetailView(0).get());
    ASSERT_TRUE(master && detail && master->GridView());
    ASSERT_GE(master->GridView()->recordCount(), 2);
    const QString firstValues = detail->MasterValues;

    // the master moves while its details do not follow
    md->FSyncRelationDisabled = true;
    ASSERT_TRUE(master->GridView()->setFocusedRecordIndex(1));
    md->FSyncRelationDisabled = false;
    ASSERT_EQ(detail->MasterValues, firstValues);

    const int index = window->ObjectDef()->IndexOfAction("Probe");
    ASSERT_GE(index, 0);
    QAction* slot = nullptr;
    for (QAction* a : form->InfoActions)
        if (ActionTag(a) == Commands::FirstAction + index)
            slot = a;
    ASSERT_NE(slot, nullptr);
    state->ActionCalls = 0;
    state->ActionRefresh = false;
    form->ExecuteMainAction(slot);
    EXPECT_EQ(state->ActionCalls, 1);
    EXPECT_EQ(detail->MasterValues, firstValues); // no refresh asked: nothing relinked
    state->ActionRefresh = true;
    form->ExecuteMainAction(slot);
    EXPECT_EQ(state->ActionCalls, 2);
    EXPECT_FALSE(md->FSyncRelationDisabled);
    EXPECT_EQ(master->GridView()->focusedRow(), 1); // the position survives the refresh
    EXPECT_NE(detail->MasterValues, firstValues);
    EXPECT_TRUE(detail->MasterValues.contains(md->GetFocusedRecordString("MOID"))) << detail->MasterValues.toStdString();
}
