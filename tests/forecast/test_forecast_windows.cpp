// The forecast editor reached as the planner reaches it: the host's 产品预测
// window, its "new" action and a double-click on a line open the planning
// library's editor in an edit window.
#include "BandedGrid.h"
#include "GridTestSupport.h"
#include "MainWindowTest.h"
#include "NewAccountSet.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "clsGridView.h"
#include "clsMDIChild.h"
#include "clsMasterDetailView.h"
#include "frmInfoEdit.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untTabbedMDI.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class ForecastWindowsTest : public kvtest::MainWindowTest {
protected:
    ForecastWindowsTest() : MainWindowTest(QStringLiteral("plan01"), QSize(1200, 800)) {}
    ScriptedMessageBoxes boxes;
};

} // namespace

TEST_F(ForecastWindowsTest, NewActionAndDoubleClickOpenTheEditor)
{
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    QTreeWidgetItem* node = functionNode("产品预测");
    ASSERT_NE(node, nullptr);
    form->OpenFunction(node);
    pump();
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    form->AppIdle();
    InfoApplication->ShowViewSchemeDlgProc = nullptr;
    InfoApplication->ParseViewSchemeSQLProc = nullptr;
    TInfoObjectDef* def = window->ObjectDef();
    ASSERT_NE(def, nullptr);
    ASSERT_GE(def->IndexOfAction("Copy"), 0); // the planner may copy bills

    // "new" opens an edit window holding the library's editor, in edit mode
    QAction* newSlot = actionSlot(def, "New");
    ASSERT_NE(newSlot, nullptr);
    form->ExecuteMainAction(newSlot);
    pump();
    auto* editWindow = qobject_cast<TInfoEditForm*>(form->ActiveMDIChild());
    ASSERT_NE(editWindow, nullptr);
    ASSERT_NE(editWindow->Editor(), nullptr);
    EXPECT_EQ(editWindow->Editor()->GetEditMode(), emNew);
    EXPECT_EQ(editWindow->Editor()->GetCaption(), "产品预测");
    EXPECT_TRUE(boxes.shown.isEmpty());

    // a double-click on a line of the forecast view shows that bill
    window->BringToFront();
    pump();
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    auto* gridView = dynamic_cast<TInfoGridView*>(md->MasterView().get());
    ASSERT_NE(gridView, nullptr);
    kvui::BandedGrid* grid = gridView->GridView();
    ASSERT_GE(grid->rowCount(), 1);
    grid->setFocusedRow(0, true);
    Q_EMIT grid->cellDoubleClicked(0, nullptr);
    pump();
    auto* shown = qobject_cast<TInfoEditForm*>(form->ActiveMDIChild());
    ASSERT_NE(shown, nullptr);
    EXPECT_NE(shown, editWindow); // the new bill keeps its own window
    EXPECT_EQ(shown->Editor()->GetEditMode(), emNone);
    EXPECT_TRUE(shown->Editor()->DataInEdit("ForID='FC2612001'\r\n"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

// 预测冲销 in the navigator opens a window of its own on the deduction page: the
// bar shows the deduction's actions, and 修改 opens the focused forecast line's
// deductions for adding or removing by hand, as the manual tells.
TEST_F(ForecastWindowsTest, TheDeductionFunctionLandsWhereDeductionsAreEdited)
{
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    const auto open = [this](const char* name) {
        QTreeWidgetItem* node = functionNode(QString::fromUtf8(name));
        EXPECT_NE(node, nullptr) << name;
        if (node)
            form->OpenFunction(node);
        pump();
        for (int i = 0; i < 3; ++i) {
            form->AppIdle();
            pump();
        }
        return qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    };
    TInfoViewForm* forecasts = open("产品预测");
    ASSERT_NE(forecasts, nullptr);
    TInfoViewForm* deductions = open("预测冲销");
    ASSERT_NE(deductions, nullptr);
    EXPECT_NE(deductions, forecasts);
    EXPECT_EQ(deductions->windowTitle(), QStringLiteral("预测冲销"));
    InfoApplication->ShowViewSchemeDlgProc = nullptr;
    InfoApplication->ParseViewSchemeSQLProc = nullptr;

    auto* md = dynamic_cast<TInfoMasterDetailView*>(deductions->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    const IInfoViewPtr detail = md->GetRelationView(QStringLiteral("Deduct"));
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(md->DetailAreaOpen());
    EXPECT_EQ(md->GetActiveView(), detail);
    TInfoObjectDef* def = deductions->ObjectDef();
    ASSERT_NE(def, nullptr);
    EXPECT_EQ(def->ID, QStringLiteral("QZ_MRP.Deduct"));
    QAction* update = actionSlot(def, "Update");
    ASSERT_NE(update, nullptr);
    EXPECT_TRUE(update->isVisible());
    EXPECT_TRUE(update->isEnabled());
    form->ExecuteMainAction(update);
    pump();
    EXPECT_TRUE(detail->GetEditMode());
    EXPECT_TRUE(boxes.shown.isEmpty());

    // the forecasts' own window keeps its place, and the function finds its window again
    EXPECT_EQ(open("产品预测"), forecasts);
    EXPECT_EQ(forecasts->ObjectDef()->ID, QStringLiteral("QZ_MRP.Forcast"));
}

// The action bar and the count in the status bar are the active window's:
// the plan-scheme window shows neither the forecasts' 关闭 nor their 自动冲销,
// and no count while its scheme page is up; a new empty bill shows no count.
TEST_F(ForecastWindowsTest, ActionsAndCountFollowTheActiveWindow)
{
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    const auto idle = [this] {
        for (int i = 0; i < 3; ++i) {
            form->AppIdle();
            pump();
        }
    };
    const auto open = [&](const char* name) {
        QTreeWidgetItem* node = functionNode(QString::fromUtf8(name));
        EXPECT_NE(node, nullptr) << name;
        if (node)
            form->OpenFunction(node);
        pump();
        idle();
        return qobject_cast<TMDIChild*>(form->ActiveMDIChild());
    };
    const auto shownActions = [this] {
        QStringList texts;
        for (QAction* a : form->InfoActions)
            if (a->isVisible() && ActionTag(a) >= Commands::FirstAction)
                texts << a->text();
        return texts;
    };
    const auto count = [this] { return form->StatusPanels[1]->text(); };

    TMDIChild* forecasts = open("产品预测");
    ASSERT_NE(forecasts, nullptr);
    EXPECT_TRUE(shownActions().contains(QStringLiteral("关闭"))) << shownActions().join(u' ').toStdString();
    EXPECT_TRUE(shownActions().contains(QStringLiteral("自动冲销")));
    EXPECT_EQ(count(), QStringLiteral("1 / 5"));

    TMDIChild* schemes = open("MRP计划方案");
    ASSERT_NE(schemes, nullptr);
    ASSERT_NE(schemes, forecasts);
    EXPECT_EQ(shownActions(), (QStringList{QStringLiteral("新建计划方案"), QStringLiteral("复制计划方案"),
                                           QStringLiteral("修改计划方案"), QStringLiteral("删除计划方案"),
                                           QStringLiteral("获取主需求"), QStringLiteral("运算MRP")}));
    EXPECT_EQ(count(), QString());

    forecasts->BringToFront();
    pump();
    idle();
    EXPECT_TRUE(shownActions().contains(QStringLiteral("自动冲销")));
    EXPECT_EQ(count(), QStringLiteral("1 / 5"));

    // a new forecast bill: its window has no rows to count
    auto* window = qobject_cast<TInfoViewForm*>(forecasts);
    ASSERT_NE(window, nullptr);
    QAction* newSlot = actionSlot(window->ObjectDef(), "New");
    ASSERT_NE(newSlot, nullptr);
    form->ExecuteMainAction(newSlot);
    pump();
    idle();
    ASSERT_NE(qobject_cast<TInfoEditForm*>(form->ActiveMDIChild()), nullptr);
    EXPECT_EQ(count(), QString());
    InfoApplication->ShowViewSchemeDlgProc = nullptr;
    InfoApplication->ParseViewSchemeSQLProc = nullptr;
    EXPECT_TRUE(boxes.shown.isEmpty());
}
