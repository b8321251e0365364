// The tabbed MDI manager on a plain window with an MDI area.
#include "shell_fixture.h"

#include <QMainWindow>
#include <QTabBar>

using namespace shelltest;

namespace {

struct Frame {
    QMainWindow window;
    QMdiArea* area;
    Frame()
    {
        area = new QMdiArea(&window);
        window.setCentralWidget(area);
        window.setWindowTitle("主窗口");
        window.resize(800, 600);
        window.show();
    }
    QMdiSubWindow* add(const QString& caption)
    {
        auto* w = new QWidget;
        w->setWindowTitle(caption);
        QMdiSubWindow* sub = area->addSubWindow(w);
        sub->show();
        area->setActiveSubWindow(sub);
        pump();
        return sub;
    }
};

} // namespace

TEST(TabbedMDIManager, ConfigurationErrors)
{
    Frame frame;
    QWidget inner(&frame.window);
    try {
        TexTabbedMDIManager bad(&inner);
        FAIL() << "a control that is not a window was accepted";
    } catch (const EexTabbedMDIManagerException& e) {
        EXPECT_EQ(e.Message, "Owner is not TForm");
    }
    TexTabbedMDIManager manager(&frame.window);
    try {
        TexTabbedMDIManager second(&frame.window);
        FAIL() << "a second manager was accepted";
    } catch (const EexTabbedMDIManagerException& e) {
        EXPECT_EQ(e.Message, "TabbedMDIManager already exists");
    }
    EXPECT_EQ(TabbedMDIManagers().count(&manager), 1);

    // a window without MDI area: activation fails quietly
    QMainWindow plain;
    TexTabbedMDIManager onPlain(&plain);
    onPlain.SetActive(true);
    EXPECT_FALSE(onPlain.Active());
    manager.SetActive(true);
    EXPECT_TRUE(manager.Active());
}

TEST(TabbedMDIManager, CaptionsShowPercentAndAmpersandLiterally)
{
    Frame frame;
    TexTabbedMDIManager manager(&frame.window);
    manager.SetActive(true);
    QMdiSubWindow* sub = frame.add("采购&销售");
    EXPECT_EQ(frame.window.windowTitle(), "主窗口 - 采购&销售");
    ASSERT_NE(manager.TabBar(), nullptr);
    EXPECT_EQ(manager.TabBar()->tabText(0), "采购&&销售");
    manager.SetFormCaptionMask("100% [childformcaption] ([MainFormCaption])");
    EXPECT_EQ(frame.window.windowTitle(), "100% 采购&销售 (主窗口)");
    // a caption change of the child follows on its tab and in the window caption
    sub->widget()->setWindowTitle("A&B %1");
    pump();
    EXPECT_EQ(manager.TabBar()->tabText(0), "A&&B %1");
    EXPECT_EQ(frame.window.windowTitle(), "100% A&B %1 (主窗口)");
    // the window's own caption is kept apart from the composed one
    frame.window.setWindowTitle("新标题");
    EXPECT_EQ(manager.Caption(), "新标题");
    EXPECT_EQ(frame.window.windowTitle(), "100% A&B %1 (新标题)");
    manager.SetActive(false);
    EXPECT_EQ(frame.window.windowTitle(), "新标题");
}

TEST(TabbedMDIManager, PagesInTabOrderAndOutOfRangeIndexes)
{
    Frame frame;
    TexTabbedMDIManager manager(&frame.window);
    manager.SetActive(true);
    frame.add("一");
    frame.add("二");
    frame.add("三");
    TexTabbedMDITabProperties* tabs = manager.TabProperties();
    ASSERT_EQ(tabs->PageCount(), 3);
    EXPECT_EQ(tabs->GetPage(-1), nullptr);
    EXPECT_EQ(tabs->GetPage(3), nullptr);
    EXPECT_EQ(tabs->PageIndex(), 2);
    tabs->SetPageIndex(7);
    EXPECT_EQ(tabs->PageIndex(), 2);
    tabs->SetPageIndex(0);
    EXPECT_EQ(tabs->ActivePage()->MDIChild()->windowTitle(), "一");
    tabs->MoveTab(2, 0);
    QStringList order;
    for (int i = 0; i < tabs->PageCount(); ++i)
        order.append(tabs->GetPage(i)->MDIChild()->windowTitle());
    EXPECT_EQ(order, (QStringList{"三", "一", "二"}));
    EXPECT_EQ(manager.TabBar()->tabText(0), "三");
    EXPECT_EQ(tabs->GetPage(0)->Index(), 0);
}

TEST(TabbedMDIManager, ChildrenAreNeverMinimisedAndAMaximisedChildComesBack)
{
    Frame frame;
    QMdiSubWindow* sub = frame.add("最大化");
    sub->showMaximized();
    pump();
    TexTabbedMDIManager manager(&frame.window);
    manager.SetActive(true);
    sub->showMinimized();
    pump();
    EXPECT_FALSE(sub->isMinimized());
    manager.SetActive(false);
    pump();
    EXPECT_TRUE(sub->isMaximized());
}
