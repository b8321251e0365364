// The workbench's scheme commands on the demo account set: the main-demand
// fetch of a scheme fed by orders and forecasts, the MRP run with its keep
// choices, progress lines and Esc, and the run-log panel read back from the
// database; a harness stands in for the frame.
#include "PressEscape.h"
#include "SchemeCommandsHarness.h"
#include "SuppliesHarness.h"

#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "dlgCheckOptions.h"
#include "dlgViewScheme.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using kvtest::DemoLogin;
using mrpcommandstest::SchemeCommandsHarness;

namespace {

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

TPlanScheme* demoScheme()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        kvtest::demoPlanningLogin();
        scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(scheme->Load(1));
    }
    return scheme.get();
}

bool shownText(const ScriptedMessageBoxes& boxes, const QString& text)
{
    for (const ShownBox& b : boxes.shown)
        if (b.text == text)
            return true;
    return false;
}

// Presses Esc on a widget once the run has begun: the run's first status
// text arms a timer, which fires when the run first lets pending events through.
QPointer<QWidget> gEscTarget;
TShowStatusMessageProc gPreviousStatusProc = nullptr;

void pressEscapeDuringRun(QWidget* target)
{
    gEscTarget = target;
    gPreviousStatusProc = InfoApplication->ShowStatusMessageProc;
    InfoApplication->ShowStatusMessageProc = [](const QString& AMessage, TShowStatusMessageKind) {
        if (AMessage.isEmpty())
            return;
        InfoApplication->ShowStatusMessageProc = gPreviousStatusProc;
        QTimer::singleShot(0, [] {
            if (!gEscTarget)
                return;
            kvtest::pressEscape(gEscTarget);
        });
    };
}

} // namespace

// The first fetch and the first run as a new planner meets them: plain
// go-ahead questions, no keep choices, the states 2 and 6, the success box,
// the plan in the supplies view and the run's lines in the panel.
TEST(MRPCommands, FirstFetchAndRunOnTheDemoScheme)
{
    TPlanScheme* scheme = demoScheme();
    ASSERT_EQ(scheme->PlanState, int(psWaitMainDemand));
    ASSERT_NE(scheme->PlanSource, 3);
    SchemeCommandsHarness h(scheme);
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(h.fetch->Execute());
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("系统将开始获取主需求数据, 这可能需要较长时间, 确定?"));
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("执行完成。"));
    }
    EXPECT_TRUE(h.closedMain);
    EXPECT_EQ(scheme->PlanState, int(psMainDemandReady));
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1")), 0);

    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(h.runMRP());
        ASSERT_EQ(boxes.shown.size(), 2);
        EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("系统将开始运算MRP")));
        EXPECT_EQ(boxes.shown[1].text, QStringLiteral("执行完成。"));
    }
    EXPECT_EQ(scheme->PlanState, int(psMRPDone));
    EXPECT_EQ(h.tabActivations, 1);
    // The panel appeared by itself and holds this run's lines.
    EXPECT_TRUE(h.btnRunLog->isChecked());
    ASSERT_TRUE(h.log->Visible());
    EXPECT_EQ(h.log->LogSchemeIID, 1);
    const int lines = h.log->Frame()->grdResults->nodeCount();
    EXPECT_GT(lines, 1);
    EXPECT_EQ(lines, count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=1")));

    suppliestest::SuppliesHarness supplies(scheme);
    supplies.view->RefreshData(true);
    EXPECT_GT(supplies.view->SupplyRowCount(), 0);
}

// Again, with the keep choices: the check dialogs carry their titles and
// options ticked; cancelling them does nothing; unticked options reach the
// engine as False.
TEST(MRPCommands, RepeatedCommandsAskWhatToKeep)
{
    TPlanScheme* scheme = demoScheme();
    // The planner has adjusted the main demand and the supplies since.
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMpsUpdTime=getdate(), SchMrpUpdTime=getdate() where SchIID=1"));
    ASSERT_TRUE(scheme->Load(1));
    SchemeCommandsHarness h(scheme);
    struct Case {
        const char* title;
        QStringList options;
        bool mrp;
    } cases[] = {
        {"重新获取主需求", {QStringLiteral("自由需求数据(&1)"), QStringLiteral("排程调整数据(&2)")}, false},
        {"重新运算MRP", {QStringLiteral("供应类型调整(&1)"), QStringLiteral("供应BOM调整(&2)"), QStringLiteral("供应数量调整(&3)")}, true},
    };
    for (const Case& c : cases) {
        const int before = scheme->PlanState;
        QStringList seen;
        bool allTicked = true;
        kvtest::WhenShown<TCheckOptionsDlg>([&](TCheckOptionsDlg* dlg) {
            EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(c.title));
            EXPECT_EQ(dlg->FItems->title().trimmed(), QStringLiteral("保留以下内容:"));
            for (QCheckBox* box : dlg->Items) {
                seen << box->text();
                allTicked = allTicked && box->isChecked();
            }
            dlg->reject();
        });
        ScriptedMessageBoxes boxes;
        EXPECT_FALSE(c.mrp ? h.runMRP() : h.fetch->Execute()) << c.title;
        EXPECT_EQ(seen, c.options) << c.title;
        EXPECT_TRUE(allTicked) << c.title;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.title;
        EXPECT_EQ(scheme->PlanState, before) << c.title;
    }
    bool keepType = true, keepBom = true, keepQty = true;
    kvtest::WhenShown<TCheckOptionsDlg>([](TCheckOptionsDlg* dlg) {
        for (QCheckBox* box : dlg->Items)
            box->setChecked(false);
        dlg->btnOk->click();
    });
    ASSERT_TRUE(AskMRPKeepChoices(*scheme, keepType, keepBom, keepQty));
    EXPECT_FALSE(keepType || keepBom || keepQty);
}

// A scheme changed elsewhere stops both commands before anything is asked.
TEST(MRPCommands, AStaleSchemeStopsTheCommands)
{
    TPlanScheme* scheme = demoScheme();
    SchemeCommandsHarness h(scheme);
    h.checkAnswer = false;
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(h.fetch->Execute());
    EXPECT_FALSE(h.runMRP());
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(h.checks, 2);
}

// The panel reads a scheme's stored lines in order, main lines with their
// detail lines under them, each with its time in front; it reads them again
// only when they belong to another scheme.
TEST(MRPCommands, TheRunLogReadsTheStoredLines)
{
    TPlanScheme* scheme = demoScheme();
    ASSERT_GT(count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=1")), 0);
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogTime, LogText, LogKind) values (1, 9001, 0, '20270105 09:08:07', 'MAIN-X', 1)\r"
        "insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogTime, LogText, LogKind) values (1, 9002, 1, '20270105 09:08:08', 'DETAIL-X', 2)"));
    SchemeCommandsHarness h(scheme);
    QObject sender;
    h.btnRunLog->setChecked(true);
    h.log->Execute(&sender, 1, GlobalADOQuery);
    ASSERT_TRUE(h.log->Visible());
    kvui::TreeList* tree = h.log->Frame()->grdResults;
    EXPECT_EQ(tree->nodeCount(), count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=1")));
    EXPECT_EQ(tree->topCount(), count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=1 and LogIndent=0")));
    kvui::TreeNode* last = tree->topNode(tree->topCount() - 1);
    EXPECT_EQ(last->value(h.log->Frame()->colText).toString(), QStringLiteral("2027/01/05 09:08:07 MAIN-X"));
    ASSERT_EQ(last->childCount(), 1);
    EXPECT_EQ(last->child(0)->value(h.log->Frame()->colText).toString(), QStringLiteral("2027/01/05 09:08:08 DETAIL-X"));
    EXPECT_EQ(h.log->Frame()->GetResultNodeKind(last->child(0)), mkWarning);

    // The same scheme again: no new read; nil sender: only shown or hidden.
    DemoLogin::instance().exec(QStringLiteral("delete QZ_MRP_RunLog where LogSchIID=1 and LogIID>9000"));
    const int shown = tree->nodeCount();
    h.log->Execute(&sender, 1, GlobalADOQuery);
    EXPECT_EQ(tree->nodeCount(), shown);
    h.log->LogSchemeIID = -1;
    h.log->Execute(nullptr, 1, GlobalADOQuery);
    EXPECT_EQ(tree->nodeCount(), shown);
    h.log->Execute(&sender, 1, GlobalADOQuery);
    EXPECT_EQ(tree->nodeCount(), shown - 2);
    // Another scheme loaded: the toggle is released and the panel hidden.
    h.log->Release();
    EXPECT_FALSE(h.btnRunLog->isChecked());
    EXPECT_FALSE(h.log->Visible());
}

// Esc during a run, confirmed, stops it: the previous plan and state stay,
// the panel shows the abort line and no success box follows.
TEST(MRPCommands, EscStopsARunAndKeepsThePreviousPlan)
{
    TPlanScheme* scheme = demoScheme();
    ASSERT_EQ(scheme->PlanState, int(psMRPDone));
    const int supplies = count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=1"));
    const int runTime = count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMrpRunTime is not null"));
    SchemeCommandsHarness h(scheme);
    h.btnRunLog->setChecked(true);
    h.log->Execute(nullptr, 1, GlobalADOQuery);
    pressEscapeDuringRun(h.log->Frame()->grdResults);
    const bool adjusted = SchemeTimeIsSet(scheme->MrpUpdTime);
    if (adjusted)
        kvtest::WhenShown<TCheckOptionsDlg>([](TCheckOptionsDlg* dlg) { dlg->btnOk->click(); });
    ScriptedMessageBoxes boxes;
    if (!adjusted)
        boxes.answer({kvos::IDOK});
    boxes.answer({kvos::IDYES});
    EXPECT_FALSE(h.runMRP());
    EXPECT_FALSE(shownText(boxes, QStringLiteral("执行完成。")));
    EXPECT_TRUE(shownText(boxes, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?")));
    EXPECT_EQ(scheme->PlanState, int(psMRPDone));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=1")), supplies);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMrpRunTime is not null")), runTime);
    kvui::TreeList* tree = h.log->Frame()->grdResults;
    ASSERT_GT(tree->topCount(), 0);
    EXPECT_EQ(h.log->Frame()->GetResultNodeKind(tree->topNode(tree->topCount() - 1)), mkError);
}
