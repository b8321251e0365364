// The two quick analyses on the demo account set: a kit analysis of picked
// sales-order lines and a shortage analysis of a picked production task run
// the engine on a private scheme and show their result tabs; the kit figures
// equal those of an ordinary MRP run of the same demand; closing deletes the
// private scheme, the user's week-old schemes of that analysis and the orphan
// results; cancelling the first settings opens nothing. The settings dialogs'
// checks, their settings texts, the daily periods and the one-transaction
// write of scheme and main demand are tested on their own. The run shows its
// progress in a run log of its own and stops on Esc.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "QueryRows.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "TypeIntoCell.h"
#include "StandInProcedures.h"
#include "clsPickEdit.h"
#include "dlgCheckOptions.h"
#include "dlgMRPLackSet.h"
#include "dlgMRPminiSet.h"
#include "dlgViewScheme.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPOutput.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "famMRPmini.h"
#include "untMRPminiRunLog.h"
#include "untMRPminiSet.h"
#include "PressEscape.h"
#include "famDoResults.h"
#include "BandedGrid.h"
#include "TreeList.h"
#include "DataSetSource.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>
#include <QPointer>
#include <algorithm>

// Readable texts in failure messages.
void PrintTo(const QString& AText, std::ostream* AOut)
{
    *AOut << '"' << AText.toStdString() << '"';
}

using kvtest::DemoLogin;
using kvtest::rows;
using kvtest::WhenShown;

namespace {

// The result views as the host hands them to the frame: here the library's
// own classes, without the host's composite around them.
// A result view the host cannot make (its definition missing).
QString RefusedView;

IInfoViewPtr testResultView(TInfoObjectDef* def)
{
    const QString id = def->ID.toLower();
    if (id == RefusedView)
        return IInfoViewPtr();
    if (id == QLatin1String("qz_mrp.mrp.allot"))
        return CreateInfoView<TMRPAllotFrame>(nullptr, def);
    if (id == QLatin1String("qz_mrp.mrp.balance"))
        return CreateInfoView<TMRPBalanceFrame>(nullptr, def);
    if (id == QLatin1String("qz_mrp.mrp.supplies"))
        return CreateInfoView<TMRPSuppliesFrame>(nullptr, def);
    if (id == QLatin1String("qz_mrp.mrp.replaces"))
        return CreateInfoView<TMRPReplacesFrame>(nullptr, def);
    if (id == QLatin1String("qz_mrp.mrpoutput"))
        return CreateInfoView<TMRPOutputFrame>(nullptr, def);
    return IInfoViewPtr();
}

void setUp()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    kvtest::demoPlanningLogin();
    InfoApplication->GetInfoObjectViewProc = testResultView;
}

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

// The same seen by another connection: only what was committed.
int committedCount(const QString& sql)
{
    auto c = kvtsql::Connection::open(DemoLogin::instance().file());
    const kvtsql::BatchResult r = c->execute(sql);
    EXPECT_TRUE(r.errors.isEmpty()) << sql.toStdString();
    return r.resultSets.isEmpty() || r.resultSets.first().rows.isEmpty() ? -1 : r.resultSets.first().rows.first().value(0).toInt();
}

// The pick list answers by choosing the rows whose bill number and line are wanted.
void pickRows(const QStringList& AWanted)
{
    TPickPopupDlg::ExecHook = [AWanted](TPickPopupDlg& dlg) {
        for (int i = 0; i < dlg.grvPickData->recordCount(); ++i) {
            dlg.qryPickData->SetRecNo(i + 1);
            const QString key = dlg.qryPickData->FieldByName(QStringLiteral("单据编号"))->AsString() + u'/' +
                                dlg.qryPickData->FieldByName(QStringLiteral("单据行"))->AsString();
            dlg.grvPickData->selectRecord(i, AWanted.contains(key));
        }
        return int(QDialog::Accepted);
    };
}

struct Analysis {
    IInfoFramePtr frame;
    TMRPminiFrame* mini = nullptr;
    int iid = 0;
};

template <typename Dlg>
Analysis open(const QString& AObjectID, std::function<void(Dlg*)> ASteps)
{
    setUp();
    WhenShown<Dlg>(ASteps);
    Analysis a;
    try {
        a.frame = CreateInfoFrame<TMRPminiFrame>(InfoApplication->GetInfoObjectDef(AObjectID));
    } catch (const EAbort&) {
        return a;
    }
    a.mini = dynamic_cast<TMRPminiFrame*>(a.frame.get());
    a.iid = a.mini->PlanScheme()->SchemeIID;
    return a;
}

Analysis openKit(const QStringList& ALines)
{
    return open<TMRPminiSetDlg>(QStringLiteral("QZ_MRP.MRPmini"), [ALines](TMRPminiSetDlg* dlg) {
        dlg->chkShowFilter->setChecked(false);
        pickRows(ALines);
        dlg->PickBills(QStringLiteral("QZ_MRP.SO"));
        TPickPopupDlg::ExecHook = nullptr;
        dlg->accept();
    });
}

QString mainColumns(const QString& AFirst)
{
    return AFirst + QStringLiteral(
                        ", ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManBillDate, ManBillQty, ManSuppID, "
                        "ManDeptID, ManOrigType, ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManOrigCustPO, "
                        "ManOrigTag, ManOrigSubTag, ManGroupType, ManGroupNo, ManDate, ManPriority, ManItmID, ManItmProps, "
                        "ManItmProp1, ManBomType, ManBomID, ManExeQty, ManDedQty, ManNeedQty, ManQty, ManNote");
}

} // namespace

TEST(QuickAnalyses, AKitAnalysisRunsOnAPrivateSchemeAndMatchesAnOrdinaryRun)
{
    ScriptedMessageBoxes boxes;
    Analysis a = openKit({QStringLiteral("SO-202612-001/1"), QStringLiteral("SO-202612-002/1")});
    ASSERT_NE(a.mini, nullptr);
    TPlanScheme* s = a.mini->PlanScheme();
    EXPECT_EQ(s->PlanState, psMRPDone);
    EXPECT_EQ(s->PlanType, 1);
    EXPECT_EQ(s->PlanSource, 3);
    EXPECT_EQ(rows(QStringLiteral("select SchType, SchName, SchUsrID, case when SchNewTime is null then 'no time' else 'made' end "
                                  "from QZ_MRP_Schemes where SchIID=%1").arg(a.iid)),
              QStringList{QStringLiteral("1||plan01|made")});
    EXPECT_EQ(rows(QStringLiteral("select ManIID, ManBillType, ManBillNo, ManBillEntry, ManItmID, ManOrigType, ManOrigNo, ManQty, "
                                  "ManBomID from QZ_MRP_Main where ManSchIID=%1 order by ManIID").arg(a.iid)),
              (QStringList{QStringLiteral("1|2|SO-202612-001|1|IFG-1001|2|SO-202612-001|200|B-FG-1001"),
                           QStringLiteral("2|2|SO-202612-002|1|IFG-1002|2|SO-202612-002|400|B-FG-1002")}));
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1").arg(a.iid)), 2);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.value(0).text.toStdString();

    // The tabs: the allotment tab is made at once, each other result tab on first use.
    ASSERT_NE(a.mini->Pages, nullptr);
    EXPECT_EQ(a.mini->Pages->currentIndex(), int(TMRPminiFrame::tabAllot));
    a.mini->ProcessIdle();
    ASSERT_NE(a.mini->TabView(TMRPminiFrame::tabAllot), nullptr);
    EXPECT_TRUE(a.mini->TabView(TMRPminiFrame::tabAllot)->DataRefreshed());
    for (int tab : {TMRPminiFrame::tabBalance, TMRPminiFrame::tabSupplies, TMRPminiFrame::tabReplace, TMRPminiFrame::tabOutput}) {
        a.mini->Pages->setCurrentIndex(tab);
        a.mini->ProcessIdle();
        EXPECT_EQ(a.mini->Pages->currentIndex(), tab);
        ASSERT_NE(a.mini->TabView(tab), nullptr) << tab;
        EXPECT_TRUE(a.mini->TabView(tab)->DataRefreshed()) << tab;
        EXPECT_EQ(a.mini->TabView(tab)->GetViewScheme()->ID.left(15), QStringLiteral("QZ_MRP.MRPmini."));
    }
    auto* supplies = MiniResultFrame<TMRPSuppliesFrame>(a.mini->TabView(TMRPminiFrame::tabSupplies));
    ASSERT_NE(supplies, nullptr);
    EXPECT_GT(supplies->grdSupplies->recordCount(), 0);

    // The same demand planned by an ordinary scheme gives the same kit figures.
    TPlanScheme ref(GlobalADOConnection);
    ref.PlanType = 1;
    ASSERT_TRUE(ref.Load(a.iid));
    ref.SchemeIID = 0;
    ref.PlanType = 0;
    ref.SchemeName = QStringLiteral("齐套对照");
    ref.PlanState = psSchemeChangedRerun;
    ASSERT_TRUE(ref.Save());
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMpsCalIID=1, SchMpsPeriods=(select SchMpsPeriods from "
                                              "QZ_MRP_Schemes where SchIID=%1) where SchIID=%2\r"
                                              "insert QZ_MRP_Main (%3) select %4 from QZ_MRP_Main where ManSchIID=%1")
                                   .arg(QString::number(a.iid), QString::number(ref.SchemeIID), mainColumns("ManSchIID"),
                                        mainColumns(QString::number(ref.SchemeIID))));
    ASSERT_TRUE(ref.Load(ref.SchemeIID));
    ASSERT_TRUE(ref.RunMRP(false, false, false));
    const QString kit = QStringLiteral("select DmdBillType, DmdBillNo, DmdItmID, DmdPeriod, DmdQty, DmdASetQty from QZ_MRP_Demands "
                                       "where DmdSchIID=%1 order by DmdBillType, DmdBillNo, DmdItmID, DmdPeriod, DmdQty");
    const QStringList expected = rows(kit.arg(ref.SchemeIID));
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(rows(kit.arg(a.iid)), expected);

    // Closing deletes the private scheme and its results, and nothing else.
    ASSERT_TRUE(a.mini->QueryClose());
    a.frame.reset();
    EXPECT_FALSE(GlobalADOConnection->InTransaction());
    EXPECT_EQ(committedCount(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchIID=%1").arg(a.iid)), 0);
    for (const char* t : {"QZ_MRP_Main where ManSchIID", "QZ_MRP_Demands where DmdSchIID", "QZ_MRP_Supplies where SupSchIID",
                          "QZ_MRP_Allots where AltSchIID", "QZ_MRP_Balance where BalSchIID", "QZ_MRP_RunLog where LogSchIID"})
        EXPECT_EQ(count(QStringLiteral("select count(*) from %1=%2").arg(QLatin1String(t)).arg(a.iid)), 0) << t;
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1").arg(ref.SchemeIID)), 0);
    // The settings of the analysis stay as the user's last used ones.
    TViewScheme last;
    last.ID = QStringLiteral("QZ_MRP.MRPmini");
    ASSERT_TRUE(LoadViewScheme(last));
    EXPECT_EQ(ReadViewSchemeParam(last.Params, QStringLiteral("[BillType]")), QStringLiteral("QZ_MRP.SO"));
}

TEST(QuickAnalyses, CancellingTheFirstSettingsOpensNothingAndLeavesNoScheme)
{
    setUp();
    const QString schemes = QStringLiteral("select count(*) from QZ_MRP_Schemes where SchType in (1, 2)");
    const int before = count(schemes);
    for (const char* id : {"QZ_MRP.MRPmini", "QZ_MRP.LackAnalyze"}) {
        Analysis a = QLatin1String(id) == QLatin1String("QZ_MRP.MRPmini")
                         ? open<TMRPminiSetDlg>(QLatin1String(id), [](TMRPminiSetDlg* dlg) { dlg->reject(); })
                         : open<TMRPLackSetDlg>(QLatin1String(id), [](TMRPLackSetDlg* dlg) { dlg->reject(); });
        EXPECT_EQ(a.frame, nullptr) << id;
        EXPECT_EQ(count(schemes), before) << id;
    }
}

TEST(QuickAnalyses, ClosingCleansUpTheUsersWeekOldSchemesOfTheSameAnalysisOnly)
{
    setUp();
    // Old and young schemes of plan01 and another user, of both analyses, each with a main-demand row.
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchNewTime) values (1, 'old kit', 'plan01', getdate()-10)\r"
        "insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchNewTime) values (1, 'young kit', 'plan01', getdate()-2)\r"
        "insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchNewTime) values (2, 'old lack', 'plan01', getdate()-10)\r"
        "insert QZ_MRP_Schemes (SchType, SchName, SchUsrID, SchNewTime) values (1, 'old kit of admin', 'admin', getdate()-10)\r"
        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManItmID, ManDate, ManQty) select SchIID, 1, 0, 12, 'IFG-1001', getdate(), 1 "
        "from QZ_MRP_Schemes where SchName in ('old kit', 'young kit', 'old lack', 'old kit of admin')"));
    {
        ScriptedMessageBoxes boxes;
        Analysis a = openKit({QStringLiteral("SO-202701-001/1")});
        ASSERT_NE(a.mini, nullptr);
        a.frame.reset();
    }
    EXPECT_EQ(rows(QStringLiteral("select SchName from QZ_MRP_Schemes where SchName in ('old kit', 'young kit', 'old lack', "
                                  "'old kit of admin') order by SchName")),
              (QStringList{QStringLiteral("old kit of admin"), QStringLiteral("old lack"), QStringLiteral("young kit")}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main as m left join QZ_MRP_Schemes on ManSchIID=SchIID "
                                   "where SchIID is null")),
              0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main as m join QZ_MRP_Schemes on ManSchIID=SchIID where "
                                   "SchName in ('young kit', 'old lack', 'old kit of admin')")),
              3);
}

TEST(QuickAnalyses, AShortageAnalysisKeepsThePickedLinesPropertiesAndOrigin)
{
    setUp();
    DemoLogin::instance().exec(QStringLiteral(
        "update QZ_MRP_MO set MOItmProps='PR-7', MOItmProp1='蓝色', MOOrigID='SO2612001', MOOrigEntry=1, "
        "MOOrigItmID='IFG-1001', MOOrigCustID='C001' where MONo='MO-202612-001' and MOEntry=1"));
    ScriptedMessageBoxes boxes;
    Analysis a = open<TMRPLackSetDlg>(QStringLiteral("QZ_MRP.LackAnalyze"), [](TMRPLackSetDlg* dlg) {
        dlg->cboBillType->setCurrentIndex(0);
        dlg->chkShowFilter->setChecked(false);
        pickRows({QStringLiteral("MO-202612-001/1")});
        dlg->NeedAdd(22);
        TPickPopupDlg::ExecHook = nullptr;
        dlg->accept();
    });
    ASSERT_NE(a.mini, nullptr) << boxes.shown.value(0).text.toStdString();
    EXPECT_EQ(a.mini->PlanScheme()->PlanType, 2);
    EXPECT_EQ(a.mini->PlanScheme()->PlanSource, 0);
    EXPECT_EQ(a.mini->PlanScheme()->PlanState, psMRPDone);
    EXPECT_EQ(rows(QStringLiteral("select ManBillType, ManBillNo, ManBillEntry, ManItmID, ManItmProps, ManItmProp1, ManOrigType, "
                                  "ManOrigID, ManOrigNo, ManOrigEntry, ManOrigItmID, ManOrigCustID, ManQty, ManNote from QZ_MRP_Main "
                                  "where ManSchIID=%1").arg(a.iid)),
              QStringList{QStringLiteral("22|MO-202612-001|1|IFG-1001|PR-7|蓝色|2|SO2612001|SO-202612-001|1|IFG-1001|C001|"
                                         "150|[下达]   ")});
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1").arg(a.iid)), 0);
    // The order's component lines were planned: a component the stock does not cover gets a planned supply.
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1 and DmdBillType=84").arg(a.iid)), 0);
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and SupBillType>=42").arg(a.iid)), 0);

    // A rerun from the settings command: all production tasks due up to a
    // date; the engine gathers them, so no main demand is written. The active
    // tab reloads at once, another made before when it is shown next.
    a.mini->Pages->setCurrentIndex(TMRPminiFrame::tabBalance);
    a.mini->ProcessIdle();
    a.mini->Pages->setCurrentIndex(TMRPminiFrame::tabAllot);
    a.mini->ProcessIdle();
    ASSERT_NE(a.mini->TabView(TMRPminiFrame::tabBalance), nullptr);
    WhenShown<TMRPLackSetDlg>([](TMRPLackSetDlg* dlg) {
        EXPECT_EQ(dlg->FMainSource->recordCount(), 1); // the lines of the last run come back
        dlg->cboBillType->setCurrentIndex(2);
        dlg->rdbEndDate->setChecked(true);
        dlg->dteEndDate->setDate(QDate::currentDate().addDays(60));
        dlg->accept();
    });
    EXPECT_TRUE(a.mini->ExecCommand(41));
    EXPECT_EQ(a.mini->PlanScheme()->PlanSource, 4);
    EXPECT_EQ(a.mini->PlanScheme()->PlanState, psMRPDone);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(a.iid)), 0);
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    EXPECT_TRUE(a.mini->TabView(TMRPminiFrame::tabAllot)->DataRefreshed());
    EXPECT_FALSE(a.mini->TabView(TMRPminiFrame::tabBalance)->DataRefreshed());
    a.mini->Pages->setCurrentIndex(TMRPminiFrame::tabBalance);
    a.mini->ProcessIdle();
    EXPECT_TRUE(a.mini->TabView(TMRPminiFrame::tabBalance)->DataRefreshed());
    a.frame.reset();
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_MO set MOItmProps='', MOItmProp1=null, MOOrigID=null, "
                                              "MOOrigEntry=null, MOOrigItmID=null, MOOrigCustID=null where MONo='MO-202612-001'"));
}

TEST(QuickAnalyses, TheFrameAnswersItsCommands)
{
    ScriptedMessageBoxes boxes;
    Analysis a = openKit({QStringLiteral("SO-202612-001/2")});
    ASSERT_NE(a.mini, nullptr);
    struct Case {
        int command;
        bool answers;
        bool executes;
    };
    for (const Case& c : {Case{41, true, true}, Case{50, true, false}, Case{49, true, true}, Case{100, true, true},
                          Case{1, false, false}, Case{47, false, false}}) {
        TCommandState state;
        EXPECT_EQ(a.mini->QueryCommandState(c.command, state), c.answers) << c.command;
        if (c.command == 41) {
            EXPECT_TRUE(state.testFlag(csEnabled));
        } else {
            EXPECT_EQ(a.mini->ExecCommand(c.command), c.executes) << c.command;
        }
    }
    // A rerun asked by a result view shows no settings dialog, and the
    // keep-adjustments question only once results were edited.
    int dialogs = 0;
    QTimer::singleShot(0, [] {
        if (auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            ADD_FAILURE() << "a dialog is shown: " << dlg->metaObject()->className();
            dlg->reject();
        }
    });
    a.mini->actRunMRPExecute(nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMrpUpdTime=getdate() where SchIID=%1").arg(a.iid));
    a.mini->PlanScheme()->Load(a.iid);
    const int shown = int(boxes.shown.size());
    WhenShown<TCheckOptionsDlg>([&dialogs](TCheckOptionsDlg* dlg) {
        ++dialogs;
        EXPECT_EQ(dlg->Items.size(), 3);
        dlg->reject();
    });
    a.mini->actRunMRPExecute(nullptr);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(int(boxes.shown.size()), shown); // cancelled: no run, no message

    // A tab whose view cannot be made is not entered.
    RefusedView = QStringLiteral("qz_mrp.mrp.replaces");
    a.mini->Pages->setCurrentIndex(TMRPminiFrame::tabBalance);
    a.mini->Pages->setCurrentIndex(TMRPminiFrame::tabReplace);
    EXPECT_EQ(a.mini->Pages->currentIndex(), int(TMRPminiFrame::tabBalance));
    EXPECT_EQ(a.mini->TabView(TMRPminiFrame::tabReplace), nullptr);
    RefusedView.clear();
    a.frame.reset();
}

TEST(QuickAnalyses, SettingsThatCannotBeReadOpenNothing)
{
    setUp();
    const QString schemes = QStringLiteral("select count(*) from QZ_MRP_Schemes where SchType=1");
    const int before = count(schemes);
    DemoLogin::instance().exec(QStringLiteral("drop view QZ_MRP_BOMsOfMain"));
    ScriptedMessageBoxes boxes;
    Analysis a;
    try {
        a.frame = CreateInfoFrame<TMRPminiFrame>(InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRPmini")));
    } catch (const EAbort&) {
    }
    DemoLogin::instance().exec(QStringLiteral(
        "create view QZ_MRP_BOMsOfMain as select m.ManSchIID, m.ManIID, b.BomNo from QZ_MRP_Main as m "
        "join QZ_MRP_ItemBOMs as b on m.ManBomType=b.BomType and m.ManBomID=b.BomID"));
    EXPECT_EQ(a.frame, nullptr);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("读取数据失败"))) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(boxes.shown[0].icon(), kvos::MB_ICONERROR);
    EXPECT_EQ(count(schemes), before);
}

// ---- the parts on their own ---------------------------------------------

TEST(QuickAnalysisPeriods, DailyPeriodsUpToTheLatestDemand)
{
    const QDate today(2027, 1, 4);
    struct Case {
        int latest;       // days after today
        int normals;      // one-day periods
        bool tail;        // one more period up to the latest demand
    };
    for (const Case& c : {Case{-5, 1, false}, Case{0, 1, false}, Case{10, 11, false}, Case{29, 30, false}, Case{30, 30, true},
                          Case{40, 30, true}}) {
        const QDate latest = today.addDays(c.latest);
        const TPlanPeriods p = BuildMiniPlanPeriods(today, latest);
        const QDate last = latest < today ? today : latest;
        ASSERT_EQ(int(p.size()), c.normals + 2 + (c.tail ? 1 : 0)) << c.latest;
        EXPECT_EQ(p.front().PeriodKind, ppkDelay);
        EXPECT_EQ(MiniDateTimeToDate(p.front().DateEnd), today.addDays(-1));
        for (int i = 1; i <= c.normals; ++i) {
            EXPECT_EQ(p[size_t(i)].PeriodKind, ppkNormal);
            EXPECT_EQ(MiniDateTimeToDate(p[size_t(i)].DateBegin), today.addDays(i - 1));
            EXPECT_EQ(p[size_t(i)].DateEnd, p[size_t(i)].DateBegin);
        }
        if (c.tail) {
            const TPlanPeriod& t = p[p.size() - 2];
            EXPECT_EQ(MiniDateTimeToDate(t.DateBegin), today.addDays(30));
            EXPECT_EQ(MiniDateTimeToDate(t.DateEnd), last);
        }
        EXPECT_EQ(p.back().PeriodKind, ppkExceed);
        EXPECT_EQ(MiniDateTimeToDate(p.back().DateBegin), last.addDays(1));
        EXPECT_EQ(MiniDateTimeToDate(p.back().DateEnd), QDate(9999, 12, 31));
    }
    // All orders: the horizon far ahead.
    const TPlanPeriods all = BuildMiniPlanPeriods(today, QDate(8888, 12, 31));
    EXPECT_EQ(MiniDateTimeToDate(all[all.size() - 2].DateEnd), QDate(8888, 12, 31));
    EXPECT_EQ(MiniDateTimeToDate(all.back().DateBegin), QDate(8889, 1, 1));
}

TEST(QuickAnalysisSettings, OptionWordsAndTheirDefaults)
{
    setUp();
    TMRPminiOptionsBox kit(true);
    kit.LoadOptions(QString());
    EXPECT_TRUE(kit.chkMainGross->isChecked());
    for (QCheckBox* c : {kit.chkCurrentBOM, kit.chkCareSafety, kit.chkCareAlloted, kit.chkCareLossRate, kit.chkCareLotRule,
                         kit.chkCareItemMRPTrack})
        EXPECT_FALSE(c->isChecked()) << c->objectName().toStdString();
    EXPECT_EQ(kit.cboCareItemReplace->currentIndex(), 0);
    EXPECT_EQ(kit.SaveOptions(QString()).contains(QStringLiteral("NetMain|")), false);
    kit.chkMainGross->setChecked(false);
    kit.chkCareSafety->setChecked(true);
    kit.chkCareItemMRPTrack->setChecked(true);
    kit.cboCareItemSuites->setCurrentIndex(2);
    const QString text = kit.SaveOptions(QString());
    EXPECT_EQ(ReadViewSchemeParam(text, QStringLiteral("[CareOptions]")), QStringLiteral("NetMain|Safety|ItemTrack|"));
    EXPECT_EQ(ReadViewSchemeParam(text, QStringLiteral("[CareSuites]")), QStringLiteral("2"));
    TMRPminiOptionsBox back(true);
    back.LoadOptions(WriteViewSchemeParam(text, QStringLiteral("[CareOptions]"), QStringLiteral("netmain|SAFETY|ItemTrack|")));
    EXPECT_FALSE(back.chkMainGross->isChecked());
    EXPECT_TRUE(back.chkCareSafety->isChecked());
    EXPECT_TRUE(back.chkCareItemMRPTrack->isChecked());
    EXPECT_EQ(back.cboCareItemSuites->currentIndex(), 2);
    // A stored track mode the value list lacks leaves no choice; the scheme
    // then takes the first mode.
    back.LoadOptions(WriteViewSchemeParam(text, QStringLiteral("[CareMRPTrack]"), QStringLiteral("977")));
    EXPECT_EQ(back.cboCareMRPTrackMode->currentIndex(), -1);
    EXPECT_EQ(back.TrackModeID(), back.cboCareMRPTrackMode->itemData(0).toInt());
}

TEST(QuickAnalysisSettings, TheOptionsFollowTheFilterTree)
{
    setUp();
    const auto node = [](kvui::TreeList* ATree, int ABillType) -> kvui::TreeNode* {
        for (int i = 0; i < ATree->topCount(); ++i)
            if (ATree->topNode(i)->imageIndex() == ABillType)
                return ATree->topNode(i);
        return nullptr;
    };
    TMRPminiSetDlg kit;
    kit.ViewScheme.ID = QStringLiteral("QZ_MRP.MRPmini");
    kit.LoadScheme();
    ASSERT_NE(node(kit.trlMRPFilters, 16), nullptr);
    for (int i = 0; i < kit.trlMRPFilters->topCount(); ++i)
        if (kit.trlMRPFilters->topNode(i)->imageIndex() != 16)
            kit.trlMRPFilters->topNode(i)->setCheckState(Qt::Unchecked);
    node(kit.trlMRPFilters, 16)->setCheckState(Qt::Checked);
    // Only inventory takes part: the main demand counts gross, no expected issues.
    EXPECT_FALSE(kit.gbxOptions->chkMainGross->isEnabled());
    EXPECT_TRUE(kit.gbxOptions->chkMainGross->isChecked());
    EXPECT_FALSE(kit.gbxOptions->chkCareAlloted->isEnabled());
    EXPECT_FALSE(kit.gbxOptions->chkCareAlloted->isChecked());
    node(kit.trlMRPFilters, 26)->setCheckState(Qt::Checked);
    EXPECT_TRUE(kit.gbxOptions->chkMainGross->isEnabled());
    EXPECT_FALSE(kit.gbxOptions->chkCareAlloted->isEnabled());
    node(kit.trlMRPFilters, 22)->setCheckState(Qt::Checked);
    EXPECT_TRUE(kit.gbxOptions->chkCareAlloted->isEnabled());
    // The unchecked sources go into the settings text and come back.
    ASSERT_TRUE(kit.SaveScheme());
    EXPECT_TRUE(ReadViewSchemeParam(kit.ViewScheme.Params, QStringLiteral("[Excludes]")).contains(QStringLiteral("QZ_MRP.OO")));
    TMRPminiSetDlg again;
    again.ViewScheme.Params = kit.ViewScheme.Params;
    again.LoadScheme();
    EXPECT_FALSE(node(again.trlMRPFilters, 24)->isChecked());
    EXPECT_TRUE(node(again.trlMRPFilters, 22)->isChecked());

    // The shortage dialog: no order node checked, no expected issues.
    TMRPLackSetDlg lack;
    lack.LoadScheme();
    node(lack.trlMRPFilters, 22)->setCheckState(Qt::Unchecked);
    node(lack.trlMRPFilters, 24)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(lack.gbxOptions->chkCareAlloted->isEnabled());
    EXPECT_FALSE(lack.gbxOptions->chkCareAlloted->isChecked());
}

namespace {

// A scheme row of the user's own for a settings dialog tested alone.
std::unique_ptr<TPlanScheme> spareScheme(int APlanType)
{
    setUp();
    auto s = std::make_unique<TPlanScheme>(GlobalADOConnection);
    s->PlanType = APlanType;
    s->PlanState = psMainDemandReady;
    s->SchemeName = QStringLiteral("试算");
    EXPECT_TRUE(s->Save());
    return s;
}

} // namespace

TEST(QuickAnalysisSettings, KitLinesAreCheckedBeforeAnythingIsWritten)
{
    auto scheme = spareScheme(1);
    const QDate today = QDate::currentDate();
    struct Case {
        const char* name;
        std::function<void(TMRPminiSetDlg&)> lines;
        QList<int> answers;
        const char* message; // first box
        bool ok;
    };
    const auto picked = [](TMRPminiSetDlg& d, const char* no, int entry, QDate date, double qty) {
        d.FMainSource->appendRecord({{QStringLiteral("ManBillType"), 2}, {QStringLiteral("ManBillNo"), QString::fromLatin1(no)},
                                     {QStringLiteral("ManBillEntry"), entry}, {QStringLiteral("ManItmID"), QStringLiteral("IFG-1001")},
                                     {QStringLiteral("ItmNo"), QStringLiteral("IFG-1001")},
                                     {QStringLiteral("ManDate"), QDateTime(date, QTime())}, {QStringLiteral("ManQty"), qty}});
    };
    const auto typed = [](TMRPminiSetDlg& d, const char* code, const char* id, double qty) {
        d.NeedInsert();
        const int line = d.FMainSource->recordCount() - 1;
        d.SetLineValue(line, QStringLiteral("ItmNo"), QString::fromLatin1(code));
        d.ItemCodeChanged(line);
        if (id) {
            EXPECT_EQ(d.LineValue(line, QStringLiteral("ManItmID")).toString(), QString::fromLatin1(id));
        }
        d.SetLineValue(line, QStringLiteral("ManQty"), qty);
    };
    const QList<Case> cases{
        {"no lines", [](TMRPminiSetDlg&) {}, {}, "[配套主需求]的内容不能为空!", false},
        {"the same bill line twice",
         [&](TMRPminiSetDlg& d) {
             picked(d, "SO-1", 1, today.addDays(3), 5);
             picked(d, "SO-1", 1, today.addDays(4), 6);
         },
         {}, "以下配套主需求行前面已经存在, 请修正!\r\r类型: 销售订单　需求单号: SO-1　需求行: 1", false},
        {"two typed lines of one item", [&](TMRPminiSetDlg& d) { typed(d, "FG-1001", "IFG-1001", 2); typed(d, "FG-1001", "IFG-1001", 3); },
         {}, nullptr, true},
        {"an unknown item", [&](TMRPminiSetDlg& d) { typed(d, "NO-SUCH", nullptr, 2); }, {}, "[物料代码]的值(NO-SUCH)不存在!", false},
        {"no quantity", [&](TMRPminiSetDlg& d) { typed(d, "FG-1001", "IFG-1001", 0); }, {}, "[毛需求数]的值(0)没有大于0 !", false},
        {"an early date, cancelled",
         [&](TMRPminiSetDlg& d) { picked(d, "SO-1", 1, today.addDays(-2), 5); }, {kvos::IDCANCEL},
         "发现存在需求日期早于今天的主需求行, 统一自动修正为今天?", false},
        {"a date after 2099", [&](TMRPminiSetDlg& d) { picked(d, "SO-1", 1, QDate(2100, 1, 1), 5); }, {}, "[需求日期]的值没有小于或等于",
         false},
    };
    for (const Case& c : cases) {
        TMRPminiSetDlg dlg;
        dlg.ViewScheme.ID = QStringLiteral("QZ_MRP.MRPmini");
        dlg.FPlanScheme = scheme.get();
        dlg.Prepare();
        dlg.NeedClear();
        c.lines(dlg);
        const QString written = QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(scheme->SchemeIID);
        const int before = count(written);
        ScriptedMessageBoxes boxes;
        for (int answer : c.answers)
            boxes.answer({answer});
        EXPECT_EQ(dlg.CloseWithOk(), c.ok) << c.name;
        if (c.message) {
            ASSERT_FALSE(boxes.shown.isEmpty()) << c.name;
            EXPECT_TRUE(boxes.shown[0].text.startsWith(QString::fromUtf8(c.message))) << c.name << ": " << boxes.shown[0].text.toStdString();
        } else {
            EXPECT_TRUE(boxes.shown.isEmpty()) << c.name;
        }
        if (!c.ok) {
            EXPECT_EQ(count(written), before) << c.name;
        }
    }
    // The typed lines were written with their own line numbers and no properties.
    EXPECT_EQ(rows(QStringLiteral("select ManBillEntry, ManItmProps, ManBillType from QZ_MRP_Main where ManSchIID=%1 order by ManIID")
                       .arg(scheme->SchemeIID)),
              (QStringList{QStringLiteral("1||12"), QStringLiteral("2||12")}));
}

TEST(QuickAnalysisSettings, EveryBillSourceListsItsLines)
{
    auto scheme = spareScheme(1);
    TMRPminiSetDlg kit;
    kit.ViewScheme.ID = QStringLiteral("QZ_MRP.MRPmini");
    kit.FPlanScheme = scheme.get();
    kit.Prepare();
    kit.chkShowFilter->setChecked(false);
    TMRPLackSetDlg lack;
    lack.FPlanScheme = scheme.get();
    lack.Prepare();
    lack.chkShowFilter->setChecked(false);
    struct Case {
        const char* source;
        std::function<void()> pick;
        int atLeast;
    };
    const QList<Case> cases{
        {"QZ_MRP.SO", [&] { kit.PickBills(QStringLiteral("QZ_MRP.SO")); }, 6},
        {"QZ_MRP.SI", [&] { kit.PickBills(QStringLiteral("QZ_MRP.SI")); }, 0},
        {"QZ_MRP.Forcast", [&] { kit.PickBills(QStringLiteral("QZ_MRP.Forcast")); }, 1},
        {"QZ_MRP.MOScrap", [&] { kit.PickBills(QStringLiteral("QZ_MRP.MOScrap")); }, 0},
        {"QZ_MRP.OOScrap", [&] { kit.PickBills(QStringLiteral("QZ_MRP.OOScrap")); }, 0},
        {"QZ_MRP.MO", [&] { lack.NeedAdd(22); }, 3},
        {"QZ_MRP.OO", [&] { lack.NeedAdd(24); }, 2},
    };
    for (const Case& c : cases) {
        int listed = -1;
        QStringList columns;
        TPickPopupDlg::ExecHook = [&](TPickPopupDlg& dlg) {
            listed = dlg.grvPickData->recordCount();
            for (int i = 0; i < dlg.qryPickData->FieldCount(); ++i)
                columns << dlg.qryPickData->Fields()->Field(i)->FieldName();
            return int(QDialog::Rejected);
        };
        ScriptedMessageBoxes boxes;
        c.pick();
        TPickPopupDlg::ExecHook = nullptr;
        EXPECT_TRUE(boxes.shown.isEmpty()) << c.source << ": " << boxes.shown.value(0).text.toStdString();
        EXPECT_GE(listed, c.atLeast) << c.source;
        for (const char* key : {"#BillType", "#BillID", "#ItmID", "单据编号", "单据行", "#ItmProps", "#OrigType", "#OrigID"})
            EXPECT_TRUE(columns.contains(QString::fromUtf8(key))) << c.source << " lacks " << key;
    }
    EXPECT_EQ(ReadViewSchemeParam(kit.ViewScheme.Params, QStringLiteral("[BillType]")), QStringLiteral("QZ_MRP.OOScrap"));
}

TEST(QuickAnalysisSettings, EarlyDatesAreAskedAboutOnce)
{
    auto scheme = spareScheme(1);
    const QDate today = QDate::currentDate();
    for (int answer : {kvos::IDYES, kvos::IDNO}) {
        TMRPminiSetDlg dlg;
        dlg.ViewScheme.ID = QStringLiteral("QZ_MRP.MRPmini");
        dlg.FPlanScheme = scheme.get();
        dlg.Prepare();
        dlg.NeedClear(); // the lines of the last OK come back
        for (int i = 1; i <= 2; ++i)
            dlg.FMainSource->appendRecord({{QStringLiteral("ManBillType"), 2}, {QStringLiteral("ManBillNo"), QStringLiteral("SO-E")},
                                           {QStringLiteral("ManBillEntry"), i}, {QStringLiteral("ManItmID"), QStringLiteral("IFG-1001")},
                                           {QStringLiteral("ManDate"), QDateTime(today.addDays(-i), QTime())},
                                           {QStringLiteral("ManQty"), 1.0}});
        ScriptedMessageBoxes boxes;
        boxes.answer({answer});
        ASSERT_TRUE(dlg.CloseWithOk()) << boxes.shown.value(boxes.shown.size() - 1).text.toStdString();
        EXPECT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManDate='%2'")
                            .arg(QString::number(scheme->SchemeIID), today.toString(QStringLiteral("yyyyMMdd")))),
                  answer == kvos::IDYES ? 2 : 0);
        EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(scheme->SchemeIID)), 2);
    }
}

TEST(QuickAnalysisSettings, TheShortageChoiceComesFromItsSettingsText)
{
    setUp();
    struct Case {
        const char* source;
        const char* endDate;
        int index;
        bool byDate;
        QDate shown;
    };
    const QDate today = QDate::currentDate();
    const QString stored = QLocale().toString(today.addDays(20), QLocale::ShortFormat);
    for (const Case& c : {Case{"21", nullptr, 2, true, today.addDays(7)}, Case{"21", "stored", 2, true, today.addDays(20)},
                          Case{"20", nullptr, 2, false, QDate()}, Case{"", nullptr, 0, false, QDate()}}) {
        TMRPLackSetDlg dlg;
        QString text = WriteViewSchemeParam(QString(), QStringLiteral("[Source]"), QLatin1String(c.source));
        if (c.endDate)
            text = WriteViewSchemeParam(text, QStringLiteral("[EndDate]"), stored);
        dlg.ViewScheme.Params = text;
        dlg.LoadScheme();
        EXPECT_EQ(dlg.cboBillType->currentIndex(), c.index) << c.source;
        EXPECT_EQ(dlg.rdbEndDate->isChecked(), c.byDate) << c.source;
        EXPECT_EQ(dlg.dteEndDate->isEnabled(), c.byDate) << c.source;
        EXPECT_EQ(dlg.grdMain->isEnabled(), c.index == 0) << c.source;
        if (c.shown.isValid()) {
            EXPECT_EQ(dlg.dteEndDate->date(), c.shown) << c.source;
        }
        ASSERT_TRUE(dlg.SaveScheme());
        EXPECT_EQ(ReadViewSchemeParam(dlg.ViewScheme.Params, QStringLiteral("[Source]")),
                  QString::number(c.index * 10 + (c.byDate ? 1 : 0)));
    }
    // "All production and subcontract orders" takes the expected-issue option only up to a date.
    TMRPLackSetDlg dlg;
    dlg.cboBillType->setCurrentIndex(1);
    dlg.rdbAll->setChecked(true);
    EXPECT_FALSE(dlg.gbxOptions->chkCareAlloted->isEnabled());
    dlg.rdbEndDate->setChecked(true);
    EXPECT_TRUE(dlg.gbxOptions->chkCareAlloted->isEnabled());
}

TEST(QuickAnalysisSettings, TheShortageEndDateMustLieBetweenTodayAnd2099)
{
    auto scheme = spareScheme(2);
    const QDate today = QDate::currentDate();
    struct Case {
        QDate end;
        bool ok;
    };
    for (const Case& c : {Case{today.addDays(-1), false}, Case{QDate(2100, 1, 1), false}, Case{today, true}}) {
        TMRPLackSetDlg dlg;
        dlg.FPlanScheme = scheme.get();
        dlg.Prepare();
        dlg.cboBillType->setCurrentIndex(3);
        dlg.rdbEndDate->setChecked(true);
        dlg.dteEndDate->setMaximumDate(QDate(9999, 1, 1));
        dlg.dteEndDate->setDate(c.end);
        ScriptedMessageBoxes boxes;
        EXPECT_EQ(dlg.CloseWithOk(), c.ok) << c.end.toString(Qt::ISODate).toStdString();
        if (!c.ok) {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("[截止交货日期]的值("))) << boxes.shown[0].text.toStdString();
            EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("没有介于今天与")));
        } else {
            EXPECT_EQ(scheme->PlanSource, 6);
            EXPECT_EQ(MiniDateTimeToDate(scheme->PlanPeriods.back().DateBegin), today.addDays(1));
        }
    }
}

TEST(QuickAnalysisSettings, TheSameOrderLinePickedTwiceIsRefused)
{
    auto scheme = spareScheme(2);
    TMRPLackSetDlg dlg;
    dlg.FPlanScheme = scheme.get();
    dlg.Prepare();
    dlg.chkShowFilter->setChecked(false);
    pickRows({QStringLiteral("OO-202612-001/1")});
    dlg.NeedAdd(24);
    dlg.NeedAdd(24);
    TPickPopupDlg::ExecHook = nullptr;
    ASSERT_EQ(dlg.LineCount(), 2);
    // A subcontract line shows its supplier as the producing unit.
    kvui::Column* dept = dlg.Column(QStringLiteral("DeptName"));
    EXPECT_FALSE(dlg.grdMain->displayText(0, dept).isEmpty());
    EXPECT_EQ(dlg.grdMain->displayText(0, dept), dlg.LineValue(0, QStringLiteral("SuppName")).toString());
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDYES, kvos::IDYES});
    EXPECT_FALSE(dlg.CloseWithOk());
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_TRUE(boxes.shown.last().text.startsWith(QStringLiteral("以下投料需求行前面已经存在, 请修正!")));
    // The line's type by its name, not its code.
    EXPECT_TRUE(boxes.shown.last().text.contains(QStringLiteral("类型: 委外订单　单据号: OO-202612-001")))
        << boxes.shown.last().text.toStdString();
    dlg.grdMain->setFocusedRecordIndex(1);
    dlg.NeedDelete();
    EXPECT_TRUE(dlg.CloseWithOk());
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManBillType=24 and ManSuppID='S003'")
                        .arg(scheme->SchemeIID)),
              1);
}

TEST(QuickAnalysisSettings, SchemeAndMainDemandAreWrittenTogetherOrNotAtAll)
{
    auto scheme = spareScheme(1);
    const QString state = QStringLiteral("select SchState, SchMpsSource, isnull(SchFilters, '') from QZ_MRP_Schemes where SchIID=%1")
                              .arg(scheme->SchemeIID);
    DemoLogin::instance().exec(QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManItmID, ManDate, ManQty) "
                                              "values (%1, 1, 0, 12, 'IFG-1001', getdate(), 7)").arg(scheme->SchemeIID));
    const QStringList before = rows(state);
    const QString main = QStringLiteral("select ManIID, ManQty from QZ_MRP_Main where ManSchIID=%1").arg(scheme->SchemeIID);
    const QStringList mainBefore = rows(main);
    const auto line = [](double qty, bool withDate) {
        return [qty, withDate](const QString& f) -> QVariant {
            if (f == QLatin1String("ManDate"))
                return withDate ? QVariant(QDateTime(QDate::currentDate(), QTime())) : QVariant();
            if (f == QLatin1String("ManQty"))
                return qty;
            if (f == QLatin1String("ManBillType"))
                return 12;
            if (f == QLatin1String("ManItmID"))
                return QStringLiteral("IFG-1001");
            return QVariant();
        };
    };
    scheme->PlanSource = 3;
    scheme->PlanState = psSchemeChangedRerun;
    scheme->DataFilters = QStringLiteral("[CareOptions]=Safety|");
    scheme->PlanPeriods = scheme->MpsPeriods = BuildMiniPlanPeriods(QDate::currentDate(), QDate::currentDate());
    // The second line has no date, which the table refuses.
    const QStringList inserts{BuildMiniMainInsertSQL(scheme->SchemeIID, 1, 1, 1, true, line(3, true)),
                              BuildMiniMainInsertSQL(scheme->SchemeIID, 2, 1, 2, true, line(4, false))};
    ScriptedMessageBoxes boxes;
    EXPECT_ANY_THROW(SaveMiniSchemeAndMain(*scheme, inserts));
    EXPECT_EQ(rows(state), before);
    EXPECT_EQ(rows(main), mainBefore);
    EXPECT_TRUE(SaveMiniSchemeAndMain(*scheme, {inserts[0]}));
    EXPECT_EQ(rows(main), QStringList{QStringLiteral("1|3")});
    EXPECT_EQ(rows(state).value(0).section(u'|', 0, 1), QStringLiteral("4|3"));
}

// The wall-fan line of the demo's README: the main demand's own item is
// gross while 主需求自身只计算毛需求 is checked (the default); unchecked, its
// stock and orders count, and the orders the plan uses bring their materials.
TEST(QuickAnalyses, TheWallFanLineNetsStockAndOrdersWhenTheMainDemandIsNotGross)
{
    setUp();
    for (const bool gross : {true, false}) {
        SCOPED_TRACE(gross ? "gross" : "net");
        ScriptedMessageBoxes boxes;
        Analysis a = open<TMRPminiSetDlg>(QStringLiteral("QZ_MRP.MRPmini"), [gross](TMRPminiSetDlg* dlg) {
            dlg->chkShowFilter->setChecked(false);
            dlg->gbxOptions->chkMainGross->setChecked(gross);
            pickRows({QStringLiteral("SO-202701-001/2")});
            dlg->PickBills(QStringLiteral("QZ_MRP.SO"));
            TPickPopupDlg::ExecHook = nullptr;
            dlg->accept();
        });
        ASSERT_NE(a.mini, nullptr);
        const QString iid = QString::number(a.iid);
        // The sale's kit-complete quantity, and the wall fans planned.
        EXPECT_EQ(rows(QStringLiteral("select DmdNeedQty, DmdASetQty from QZ_MRP_Demands where DmdSchIID=%1 and "
                                      "DmdItmID='IFG-3001'").arg(iid)),
                  QStringList{gross ? QStringLiteral("100|0") : QStringLiteral("100|12")});
        const QStringList fans = gross ? QStringList{QStringLiteral("42|100")}
                                       : QStringList{QStringLiteral("16|12"), QStringLiteral("42|88")};
        EXPECT_EQ(rows(QStringLiteral("select SupBillType, SupQty from QZ_MRP_Supplies where SupSchIID=%1 and "
                                      "SupItmID='IFG-3001' order by SupBillType").arg(iid)),
                  fans);
        // 88 motor assemblies: 40 in stock and 48 of the order MO-202612-002
        // line 1, whose seven unissued lines then become demands; the order
        // is not kit-complete while its stators are missing.
        if (!gross) {
            EXPECT_EQ(rows(QStringLiteral("select SupBillType, SupAllotQty, SupDSetQty from QZ_MRP_Supplies where SupSchIID=%1 "
                                          "and SupItmID='ISA-101' order by SupBillType").arg(iid)),
                      (QStringList{QStringLiteral("16|40|"), QStringLiteral("22|48|0")}));
            EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Demands where DmdSchIID=%1 and DmdBillType=84 and "
                                           "DmdBillNo='MB-202612-002-1'").arg(iid)), 7);
        }
        ASSERT_TRUE(a.mini->QueryClose());
    }
}

// A letter typed into a kit line's 毛需求数 is refused with a message and can be corrected.
TEST(QuickAnalysisSettings, ATextThatIsNoNumberIsRefusedWithAMessage)
{
    auto scheme = spareScheme(1);
    TMRPminiSetDlg dlg;
    dlg.ViewScheme.ID = QStringLiteral("QZ_MRP.MRPmini");
    dlg.FPlanScheme = scheme.get();
    dlg.Prepare();
    dlg.NeedClear();
    dlg.NeedInsert();
    dlg.show();
    const int line = dlg.FMainSource->recordCount() - 1;
    kvui::Column* qty = dlg.Column(QStringLiteral("ManQty"));
    ASSERT_NE(qty, nullptr);
    dlg.grdMain->setFocusedRecordIndex(line);
    dlg.grdMain->setFocusedColumn(qty);
    kvtest::expectNonNumberIsRefused(dlg.grdMain, qty, QStringLiteral("1x0"), QStringLiteral("10"),
                                     [&] { return dlg.LineValue(line, QStringLiteral("ManQty")); }, 10);
}

namespace {

// The main lines of the run log the analysis shows while it runs, seen at
// each of its lines; presses Esc once a line holds AStopAt (when given).
struct RunLogWatch {
    explicit RunLogWatch(const QString& AStopAt = QString())
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this, AStopAt] {
            TMRPminiRunLog* log = TMRPminiRunLog::Current();
            if (!log)
                return;
            window = log->Window();
            TDoResultFrame* frame = log->Frame();
            lines.clear();
            for (kvui::TreeNode* n : frame->grdResults->allNodes())
                lines << n->value(frame->colText).toString();
            if (!AStopAt.isEmpty() && !pressed && lines.join(u'\n').contains(AStopAt)) {
                pressed = true;
                kvtest::pressEscape(frame->grdResults);
            }
        });
        timer.start();
    }
    QTimer timer;
    QStringList lines;
    QPointer<QDialog> window;
    bool pressed = false;
};

bool anyContains(const QStringList& ALines, const QString& AText)
{
    return std::any_of(ALines.begin(), ALines.end(), [&](const QString& l) { return l.contains(AText); });
}

} // namespace

// The analysis shows its progress in a run log while it runs, level by level,
// and the window closes when the run ends well; Esc there, confirmed, stops
// the run: no window of the analysis opens, its scheme is gone, and the run
// log stays open with the reason.
TEST(QuickAnalyses, TheRunShowsItsProgressAndEscStopsIt)
{
    setUp();
    {
        ScriptedMessageBoxes boxes;
        RunLogWatch watch;
        Analysis a = openKit({QStringLiteral("SO-202612-001/1")});
        ASSERT_NE(a.mini, nullptr);
        EXPECT_TRUE(anyContains(watch.lines, QStringLiteral("运算第1层")));
        EXPECT_TRUE(anyContains(watch.lines, QStringLiteral("运算第2层")));
        // The window was made, and is gone again.
        EXPECT_FALSE(watch.window);
        EXPECT_EQ(TMRPminiRunLog::Current(), nullptr);
        // The lines stay in the scheme's run log.
        EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_RunLog where LogSchIID=%1 and LogText like '%运算第2层%'")
                            .arg(a.iid)),
                  0);
        ASSERT_TRUE(a.mini->QueryClose());
    }
    const int schemesBefore = count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchType=1"));
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDYES});
    RunLogWatch watch(QStringLiteral("运算第2层"));
    Analysis a = openKit({QStringLiteral("SO-202612-001/1")});
    EXPECT_TRUE(watch.pressed);
    EXPECT_EQ(a.mini, nullptr);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.first().text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
    EXPECT_FALSE(anyContains(watch.lines, QStringLiteral("运算第3层")));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchType=1")), schemesBefore);
    ASSERT_TRUE(watch.window);
    EXPECT_TRUE(watch.window->isVisible());
    watch.window->close();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(watch.window);
}
