// The plan-scheme workbench as a planner uses it on the demo account set:
// fetch the main demand and run MRP through the frame's commands, watch the
// run log over the parameters, then see the plan on the result tabs; the log
// of a scheme that never ran cannot be shown, and coming back to a scheme
// reads its log again from the database.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "TreeList.h"
#include "WorkbenchResultViews.h"
#include "dlgViewScheme.h"
#include "famMRP.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untDllCommon.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>

using kvtest::DemoLogin;

namespace {

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

struct Workbench {
    Workbench()
    {
        kvtest::demoPlanningLogin();
        InfoApplication->GetInfoObjectViewProc = kvtest::workbenchResultView;
        window.resize(1300, 800);
        ptr = CreateInfoFrame<TMRPFrame>(InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP")), true);
        f = dynamic_cast<TMRPFrame*>(ptr.get());
        f->SetParentControl(&window);
        window.show();
    }
    void select(int iid)
    {
        const int index = f->cboSchemeName->findData(iid);
        ASSERT_GE(index, 0) << iid;
        f->cboSchemeName->setCurrentIndex(index);
        ASSERT_EQ(f->PlanScheme()->SchemeIID, iid);
    }
    // The command number of a scheme action, as the host's action bar sends it.
    int command(QAction* a) const { return Commands::FirstAction + TMRPFrame::ActionTag(a); }
    // A result tab entered as the user does, its data loaded by the idle pass.
    IInfoViewPtr enter(QWidget* tab)
    {
        f->Pages->setCurrentWidget(tab);
        IInfoViewPtr view = f->ResultView(tab);
        if (view)
            InfoApplication->ParseViewSchemeSQL(view->GetObjectDef(), view->GetViewScheme(), GlobalADOQuery);
        f->ProcessIdle();
        return view;
    }
    QWidget window;
    IInfoFramePtr ptr;
    TMRPFrame* f = nullptr;
};

} // namespace

TEST(WorkbenchRun, FetchRunAndSeeThePlan)
{
    Workbench w;
    TMRPFrame* f = w.f;
    w.select(1);
    ASSERT_EQ(f->PlanScheme()->PlanState, int(psWaitMainDemand));
    // A scheme that never ran has no log to show; MRP cannot run yet.
    EXPECT_FALSE(f->actRunLog->isEnabled());
    EXPECT_FALSE(f->actRunMRP->isEnabled());
    ASSERT_TRUE(f->actRunMPS->isEnabled());
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(f->ExecCommand(w.command(f->actRunMPS)));
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("执行完成。"));
    }
    EXPECT_EQ(f->PlanScheme()->PlanState, int(psMainDemandReady));
    EXPECT_EQ(f->edtPlanState->text(), QStringLiteral("主需求就绪, 可以运算MRP"));
    EXPECT_FALSE(f->edtMpsRunTime->text().isEmpty());
    ASSERT_TRUE(f->actRunMRP->isEnabled());
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(f->ExecCommand(w.command(f->actRunMRP)));
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("系统将开始运算MRP")));
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("执行完成。"));
    }
    EXPECT_EQ(f->PlanScheme()->PlanState, int(psMRPDone));
    EXPECT_EQ(f->edtPlanState->text(), QStringLiteral("MRP运算完成"));
    EXPECT_FALSE(f->edtMrpRunTime->text().isEmpty());

    // The log lies over the parameters and keeps this run's lines; while it
    // is shown the periods, the filters and the scheme commands rest.
    TMRPRunLogPanel* log = f->RunLog();
    ASSERT_TRUE(log->Visible());
    EXPECT_TRUE(f->actRunLog->isChecked());
    const QRect panel = log->Frame()->geometry();
    EXPECT_EQ(log->Frame()->parentWidget(), f->gbxScheme);
    EXPECT_GT(panel.top(), f->btnRunLog->geometry().bottom());
    EXPECT_GT(panel.height(), 200);
    EXPECT_FALSE(f->trlPlanPeriods->isEnabled());
    EXPECT_FALSE(f->edtPlanState->isEnabled());
    EXPECT_FALSE(f->actSchemeNew->isEnabled());
    EXPECT_FALSE(f->actRunMPS->isEnabled());
    EXPECT_TRUE(f->actRunMRP->isEnabled());
    const int lines = count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=1"));
    EXPECT_EQ(log->Frame()->grdResults->nodeCount(), lines);
    EXPECT_EQ(log->LogSchemeIID, 1);
    // Export and print of the scheme tab go to the log while it is shown.
    TCommandState state;
    ASSERT_TRUE(f->QueryCommandState(Commands::Export, state));
    EXPECT_TRUE(state & csEnabled);

    // Hidden and shown again: the same lines, and the controls come back.
    f->actRunLog->trigger();
    EXPECT_FALSE(log->Visible());
    EXPECT_TRUE(f->trlPlanPeriods->isEnabled());
    EXPECT_TRUE(f->actSchemeNew->isEnabled());
    f->actRunLog->trigger();
    EXPECT_TRUE(log->Visible());
    EXPECT_EQ(log->Frame()->grdResults->nodeCount(), lines);

    // The plan on the result tabs.
    auto* supplies = dynamic_cast<TMRPSuppliesFrame*>(w.enter(f->tabSupplies).get());
    ASSERT_NE(supplies, nullptr);
    EXPECT_GT(supplies->SupplyRowCount(), 0);
    auto* main = dynamic_cast<TMRPMainFrame*>(w.enter(f->tabMain).get());
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->RowCount(), count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1")));
    f->Pages->setCurrentWidget(f->tabScheme);

    // Another scheme releases the log; back on this one it is read again.
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchUsrID, SchState, SchNewTime, SchUpdTime, SchMaxTime) "
        "select 0, '另一方案', SchCalIID, SchPeriods, 'plan01', 0, getdate(), getdate(), getdate() from QZ_MRP_Schemes where SchIID=1"));
    f->actRefreshExecute(f->actRefresh);
    const int other = count(QStringLiteral("select max(SchIID) from QZ_MRP_Schemes"));
    w.select(other);
    EXPECT_FALSE(f->actRunLog->isChecked());
    EXPECT_FALSE(log->Visible());
    EXPECT_FALSE(f->actRunLog->isEnabled());
    w.select(1);
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogTime, LogText, LogKind) values (1, 9001, 0, getdate(), '再读一次', 1)"));
    ASSERT_TRUE(f->actRunLog->isEnabled());
    f->actRunLog->trigger();
    ASSERT_TRUE(log->Visible());
    EXPECT_EQ(log->Frame()->grdResults->nodeCount(), lines + 1);
}
