// A working window with a host of the test's own in place of the main window:
// where it opens, what it leaves behind, and the actions it puts on the bar.
#include "clsMDIChild.h"
#include "untInfoObjectDef.h"
#include "untMDIHost.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <gtest/gtest.h>
#include <memory>

namespace {

struct ProbeHost : IMDIHost {
    QMdiArea area;
    int closedUI = 0;
    QList<QList<TInfoActionSlot>> shown;
    QMdiArea* MDIArea() const override { return const_cast<QMdiArea*>(&area); }
    TMDIChild* ActiveMDIChild() const override
    {
        QMdiSubWindow* sub = area.activeSubWindow();
        return sub ? qobject_cast<TMDIChild*>(sub->widget()) : nullptr;
    }
    QList<TMDIChild*> MDIChildren() const override
    {
        QList<TMDIChild*> list;
        for (QMdiSubWindow* sub : area.subWindowList())
            if (auto* child = qobject_cast<TMDIChild*>(sub->widget()))
                list << child;
        return list;
    }
    void CloseMDIChildUI() override { ++closedUI; }
    void ShowInfoActions(const QList<TInfoActionSlot>& ASlots) override { shown << ASlots; }
};

// A working window as the view, frame and editor windows are: shown by itself.
struct ProbeChild : TMDIChild {
    void Show() { ShowChild(); }
};

struct HostFixture : ::testing::Test {
    ProbeHost host;
    void SetUp() override
    {
        SetMDIHost(&host);
        ResetMainActionsBarReference();
    }
    void TearDown() override { SetMDIHost(nullptr); }
};

TInfoActionDef action(const QString& name, TInfoActionType type, int group = 0, bool inEditor = false)
{
    TInfoActionDef a;
    a.ID = name;
    a.Name = name;
    a.ActType = type;
    a.Group = group;
    a.InEditor = inEditor;
    return a;
}

} // namespace

TEST_F(HostFixture, AChildOpensInTheHostsAreaAndTheLastOneClearsTheBar)
{
    auto* a = new ProbeChild;
    a->Show();
    auto* b = new ProbeChild;
    b->Show();
    ASSERT_EQ(host.MDIChildren().size(), 2);
    EXPECT_EQ(host.ActiveMDIChild(), b);
    delete b->SubWindow();
    EXPECT_EQ(host.closedUI, 0); // another window is still open
    delete a->SubWindow();
    EXPECT_EQ(host.closedUI, 1);
}

TEST_F(HostFixture, TheBarGetsTheObjectsActionsInTheirSlots)
{
    TInfoObjectDef def;
    def.Actions = {action("新增", atNew, 1), action("打印", atPrint, 1), action("审核", atCheck, 2),
                   action("只在编辑", atCustom, 2, true), action("导出", atExport, 2)};
    for (int i = 0; i < 20; ++i)
        def.Actions.push_back(action(QStringLiteral("A%1").arg(i), atCustom, 3));
    DoResetMainActionsBar(&def, false);
    ASSERT_EQ(host.shown.size(), 1);
    const QList<TInfoActionSlot>& slotList = host.shown[0];
    // Print and export go through their commands; editor-only actions stay in the editor;
    // twenty slots and no more.
    ASSERT_EQ(slotList.size(), Commands::ActionSlots);
    EXPECT_EQ(slotList[0].Caption, "新增");
    EXPECT_EQ(slotList[0].Tag, Commands::FirstAction + 0);
    EXPECT_FALSE(slotList[0].BeginGroup);
    EXPECT_EQ(slotList[1].Caption, "审核");
    EXPECT_EQ(slotList[1].Tag, Commands::FirstAction + 2);
    EXPECT_TRUE(slotList[1].BeginGroup);
    EXPECT_EQ(slotList[2].Caption, "A0");
    EXPECT_TRUE(slotList[2].BeginGroup);
    EXPECT_FALSE(slotList[3].BeginGroup);
    EXPECT_EQ(slotList.last().Caption, "A17");
    // The same object again changes nothing; no object clears the bar.
    DoResetMainActionsBar(&def, false);
    EXPECT_EQ(host.shown.size(), 1);
    DoResetMainActionsBar(nullptr, false);
    EXPECT_EQ(host.closedUI, 1);
    EXPECT_EQ(MainActionsBarObjectDef(), nullptr);
}
