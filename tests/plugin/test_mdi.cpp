// The host's main window with the real planning library: the library is
// loaded by the name the demo definitions give, its frame export answers a
// function of the navigator, and the forecast view's actions run through its
// action export on the rows of the host's view window.
#include "NewAccountSet.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "clsMDIChild.h"
#include "frmInfoFrame.h"
#include "frmInfoView.h"
#include "frmMain.h"
#include "untAppFrame.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untInfoObjectDefLoader.h"
#include "untTabbedMDI.h"
#include "BandedGrid.h"
#include "TreeList.h"
#include "GridTestSupport.h"
#include "MainWindowTest.h"
#include "clsGridView.h"
#include "clsMasterDetailView.h"

#include <QApplication>
#include <QTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolBox>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class PluginWindowsTest : public kvtest::MainWindowTest {
protected:
    PluginWindowsTest() : MainWindowTest(QStringLiteral("admin"), QSize(1024, 700)) {}

    QString value(const QString& sql)
    {
        auto c = kvtsql::Connection::open(dbFile);
        const auto r = c->execute(sql);
        if (!r.errors.isEmpty() || r.resultSets.isEmpty() || r.resultSets.first().rows.isEmpty())
            return QStringLiteral("<none>");
        return r.resultSets.first().rows.first().first().toString();
    }

    ScriptedMessageBoxes boxes;
};

} // namespace

TEST_F(PluginWindowsTest, AFrameTheLibraryDoesNotHoldOpensNoWindow)
{
    // A function of the navigator whose frame the library does not know.
    value("insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjModID, ObjInternal, ObjHasEditor, ObjCanFilter, ObjDllName, ObjSID) "
          "values ('QZ_MRP.NotYetThere', '未开放功能', 11, 'M_PLAN', 0, 0, 0, 'QZ_MRP.dll', '')\r"
          "insert QZ_SYS_Functions (FunID, FunModID, FunSeqNo, FunName, FunType, FunObject, FunAction, FunParams, FunImgFile, FunImgID) "
          "values ('F_NotYetThere', 'M_PLAN', 99, '未开放功能', 0, 'QZ_MRP.NotYetThere', '', '', null, null)\rselect 1");
    form->LoadNavigator();
    QTreeWidgetItem* node = functionNode("未开放功能");
    ASSERT_NE(node, nullptr);
    form->OpenFunction(node);
    pump();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "很抱歉, 此功能处于内部测试阶段, 暂时不开放使用!");
    EXPECT_TRUE(form->MDIChildren().isEmpty());
}

TEST_F(PluginWindowsTest, ThePlanSchemeWorkbenchAndItsQueryOpenFromTheNavigator)
{
    for (const char* name : {"MRP计划方案", "MRP计划查询"}) {
        QTreeWidgetItem* node = functionNode(name);
        ASSERT_NE(node, nullptr) << name;
        form->OpenFunction(node);
        pump();
        form->AppIdle();
        auto* window = qobject_cast<TInfoFrameForm*>(form->ActiveMDIChild());
        ASSERT_NE(window, nullptr) << name;
        ASSERT_NE(window->ObjFrame(), nullptr) << name;
        // The scheme tab answers the refresh command of the main window.
        TCommandState state;
        EXPECT_TRUE(window->ObjFrame()->QueryCommandState(Commands::Refresh, state)) << name;
        EXPECT_TRUE(state & csEnabled) << name;
    }
    EXPECT_EQ(form->MDIChildren().size(), 2);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.value(0).text.toStdString();
}

TEST_F(PluginWindowsTest, ForecastActionsRunOnTheViewWindow)
{
    // the host's view-scheme parser is not part of the program yet: the grid
    // tests' stand-in reads the scheme's fields
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
    EXPECT_EQ(def->GetActionDef("Close")->DllName, "QZ_MRP.dll"); // the object's library
    IInfoViewPtr view = window->ViewFrame()->GetActiveView();
    ASSERT_NE(view, nullptr);
    // the user selects a line of the forecast
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    auto* gridView = dynamic_cast<TInfoGridView*>(md->MasterView().get());
    ASSERT_NE(gridView, nullptr);
    kvui::BandedGrid* grid = gridView->GridView();
    ASSERT_NE(grid, nullptr);
    ASSERT_GE(grid->rowCount(), 2);
    grid->clearSelection();
    grid->setFocusedRow(1, true);
    ASSERT_EQ(view->GetSelectedRecordCount(), 1);
    QStringList lines;
    for (int i = 0; i < 1; ++i)
        lines << view->GetSelectedRecordValue(i, "ForID").toString() + u'/' + view->GetSelectedRecordValue(i, "ForEntry").toString();

    QAction* slot = actionSlot(def, "Close");
    ASSERT_NE(slot, nullptr);
    boxes.answer({kvos::IDOK});
    form->ExecuteMainAction(slot);
    pump();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "对所选择数据进行[关闭], 确定?");
    EXPECT_EQ(boxes.shown.last().text, "[关闭]执行完成。");
    // that line closed, the others not
    for (const QString& l : lines)
        EXPECT_EQ(value("select Closed from QZ_MRP_Forcast where ForID='" + l.section(u'/', 0, 0)
                        + "' and ForEntry=" + l.section(u'/', 1, 1)), "1") << l.toStdString();
    EXPECT_EQ(value("select count(*) from QZ_MRP_Forcast where Closed=1"), "1");
}

TEST_F(PluginWindowsTest, BomExpansionOpensTheBillListWithTheFocusedBillUnfoldedBelow)
{
    InfoApplication->ShowViewSchemeDlgProc = gridtest::showSchemeDialog;
    InfoApplication->ParseViewSchemeSQLProc = gridtest::parseScheme;
    QTreeWidgetItem* node = functionNode(QStringLiteral("BOM展开"));
    ASSERT_NE(node, nullptr);
    form->OpenFunction(node);
    pump();
    auto* window = qobject_cast<TInfoViewForm*>(form->ActiveMDIChild());
    ASSERT_NE(window, nullptr);
    form->AppIdle();
    auto* md = dynamic_cast<TInfoMasterDetailView*>(window->ViewFrame().get());
    ASSERT_NE(md, nullptr);
    EXPECT_EQ(md->GetObjectDef()->ID, "QZ_MRP.BOMs");
    md->ShowRelation(0, false);
    pump();
    const IInfoViewPtr detail = md->DetailView(0);
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(detail->GetObjectDef()->ID, "QZ_MRP.BOMExpand");
    // The first bill (the 16-inch table fan) is unfolded: its head shows the product.
    auto* view = dynamic_cast<TCustomInfoView*>(detail.get());
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->MasterValues.contains(QStringLiteral("BomID='B-FG-1001'"))) << view->MasterValues.toStdString();
    auto* tree = view->findChild<kvui::TreeList*>(QStringLiteral("grdExpand"));
    ASSERT_NE(tree, nullptr);
    ASSERT_GE(tree->topCount(), 1);
    EXPECT_EQ(tree->topNode(0)->childCount(), 10);
    InfoApplication->ShowViewSchemeDlgProc = nullptr;
    InfoApplication->ParseViewSchemeSQLProc = nullptr;
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PluginWindowsTest, TheReleaseManagementOpensItsDialogModally)
{
    QTreeWidgetItem* node = functionNode(QStringLiteral("计划发布管理"));
    ASSERT_NE(node, nullptr);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* dlg = QApplication::activeModalWidget()) {
            shown = dlg->objectName();
            QMetaObject::invokeMethod(dlg, "reject");
        }
    });
    form->OpenFunction(node);
    pump();
    EXPECT_EQ(shown, "MRPReleaseDlg");
    EXPECT_TRUE(form->MDIChildren().isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(PluginWindowsTest, TheFactoryCalendarOpensItsDialogModally)
{
    QTreeWidgetItem* node = functionNode(QStringLiteral("工厂日历"));
    ASSERT_NE(node, nullptr);
    QString shown;
    QTimer::singleShot(0, [&] {
        if (QWidget* dlg = QApplication::activeModalWidget()) {
            shown = dlg->objectName();
            QMetaObject::invokeMethod(dlg, "reject");
        }
    });
    form->OpenFunction(node);
    pump();
    EXPECT_EQ(shown, "WorkCalenderDlg");
    EXPECT_TRUE(form->MDIChildren().isEmpty()); // a dialog, no window stays
    EXPECT_TRUE(boxes.shown.isEmpty());
}
