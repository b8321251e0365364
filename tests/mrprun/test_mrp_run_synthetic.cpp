// The MRP run of the workbench on a synthetic account set of several levels:
// the run-log panel receives the run's stages while it goes on, one line per
// level, and Esc pressed in the middle of the levels, confirmed, stops the run
// and leaves the plan of the previous run as it was.
#include "SchemeCommandsHarness.h"

#include "PressEscape.h"
#include "QueryRows.h"
#include "ScriptedMessageBoxes.h"
#include "SilentLogin.h"
#include "StandInProcedures.h"
#include "SyntheticAccountSet.h"
#include "UDBComm.h"
#include "untAppFrame.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using kvtest::firstValue;
using mrpcommandstest::SchemeCommandsHarness;

namespace {

// A synthetic account set of a few hundred items on six levels, the planner
// logged in silently; once per program.
struct SyntheticLogin {
    SyntheticLogin()
    {
        const QString folder = programDir.path();
        dbFile = dbDir.filePath(QStringLiteral("synthetic.kvdb"));
        kvdemo::SyntheticParams params;
        params.items = 420;
        params.depth = 5;
        params.fanOut = 3;
        params.fanOutMax = 5;
        params.openOrders = true;
        params.demands = 120;
        QString error;
        if (!kvdemo::createSyntheticAccountSet(dbFile, params, &error))
            ADD_FAILURE() << error.toStdString();
        if (!kvtest::silentLogin({folder, dbFile, QStringLiteral("合成账套"), 1, QStringLiteral("Synthetic")}))
            ADD_FAILURE() << "plan01 could not log in";
        kvdemo::registerStandInProcedures();
    }
    QTemporaryDir programDir;
    QTemporaryDir dbDir;
    QString dbFile;
};

// The plan of a scheme as one text: every supply's item, type, date and quantity.
QString planText(int iid)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    EXPECT_TRUE(ExecSQLText(&q,
                            QStringLiteral("select SupItmID, SupBillType, convert(varchar(8), SupDate, 112), SupQty from "
                                           "QZ_MRP_Supplies where SupSchIID=%1 order by SupItmID, SupBillType, SupDate, SupQty")
                                .arg(iid),
                            true, false, false));
    QStringList rows;
    for (; q.Active() && !q.Eof(); q.Next())
        rows << q.Fields()->Field(0)->AsString() + u'|' + q.Fields()->Field(1)->AsString() + u'|' +
                    q.Fields()->Field(2)->AsString() + u'|' + q.Fields()->Field(3)->AsDecimalText();
    return rows.join(u'\n');
}

// Presses Esc once the panel shows the line of the given level, confirming
// the question that follows.
class EscAtLevel : public QObject {
public:
    EscAtLevel(TMRPRunLogPanel* ALog, const QString& ALevelText) : FLog(ALog), FLevelText(ALevelText)
    {
        FTimer.setInterval(0);
        connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start();
    }
    bool pressed = false;

private:
    void Poll()
    {
        TDoResultFrame* frame = FLog->Frame();
        if (pressed || !frame)
            return;
        for (kvui::TreeNode* n : frame->grdResults->allNodes())
            if (n->value(frame->colText).toString().contains(FLevelText)) {
                pressed = true;
                FTimer.stop();
                kvtest::pressEscape(frame->grdResults);
                return;
            }
    }
    TMRPRunLogPanel* FLog;
    QString FLevelText;
    QTimer FTimer;
};

} // namespace

TEST(SyntheticRun, ShowsProgressAndEscKeepsThePreviousPlan)
{
    static SyntheticLogin login;
    const int iid = firstValue(QStringLiteral("select min(SchIID) from QZ_MRP_Schemes where SchType=0")).toInt();
    TPlanScheme scheme(GlobalADOConnection);
    ASSERT_TRUE(scheme.Load(iid));
    SchemeCommandsHarness h(&scheme);
    {
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(h.fetch->Execute());
        ASSERT_TRUE(h.runMRP());
        EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    }
    ASSERT_EQ(scheme.PlanState, int(psMRPDone));
    // The run reported its stages, one line per level among them.
    QStringList levels;
    TDoResultFrame* frame = h.log->Frame();
    for (kvui::TreeNode* n : frame->grdResults->allNodes()) {
        const QString text = n->value(frame->colText).toString();
        if (text.contains(QStringLiteral("物料需求计划...")) && text.contains(QStringLiteral("运算第")))
            levels << text;
    }
    ASSERT_GE(levels.size(), 4);
    const QString plan = planText(iid);
    ASSERT_FALSE(plan.isEmpty());
    const QString runTime = firstValue(QStringLiteral("select convert(varchar(19), SchMrpRunTime, 120) from QZ_MRP_Schemes where SchIID=%1").arg(iid));

    // Again, stopped with Esc at the third level.
    EscAtLevel esc(h.log.get(), QStringLiteral("运算第3层"));
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK, kvos::IDYES});
    EXPECT_FALSE(h.runMRP());
    EXPECT_TRUE(esc.pressed);
    ASSERT_GE(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
    for (const ShownBox& b : boxes.shown)
        EXPECT_NE(b.text, QStringLiteral("执行完成。"));
    bool sawLevel3 = false, sawLevel4 = false;
    for (kvui::TreeNode* n : frame->grdResults->allNodes()) {
        const QString text = n->value(frame->colText).toString();
        sawLevel3 = sawLevel3 || text.contains(QStringLiteral("运算第3层"));
        sawLevel4 = sawLevel4 || text.contains(QStringLiteral("运算第4层"));
    }
    EXPECT_TRUE(sawLevel3);
    EXPECT_FALSE(sawLevel4);
    kvui::TreeList* tree = frame->grdResults;
    EXPECT_EQ(frame->GetResultNodeKind(tree->topNode(tree->topCount() - 1)), mkError);
    EXPECT_EQ(scheme.PlanState, int(psMRPDone));
    EXPECT_EQ(planText(iid), plan);
    EXPECT_EQ(firstValue(QStringLiteral("select convert(varchar(19), SchMrpRunTime, 120) from QZ_MRP_Schemes where SchIID=%1").arg(iid)),
              runTime);
}
