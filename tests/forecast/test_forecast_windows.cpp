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
