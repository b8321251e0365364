// The plan-scheme workbench on the demo account set: the schemes each mode
// lists, a new scheme with periods and filters, the state a saved, changed or
// copied scheme gets, copies with and without results, deletion with its
// questions, both all-or-nothing, the command routing by the definition's
// actions, the result tabs made on first entry and the read-only query.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "TreeList.h"
#include "WorkbenchResultViews.h"
#include "UCommon.h"
#include "dlgSetPlanPeriods.h"
#include "famCalendar.h"
#include "dlgViewScheme.h"
#include "famMRP.h"
#include "famMRPAllot.h"
#include "famMRPBalance.h"
#include "famMRPMain.h"
#include "famMRPReplaces.h"
#include "famMRPSupplies.h"
#include "untDllCommon.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include "DrawGrid.h"
#include <QTabWidget>
#include <QToolButton>
#include <sqlite3.h>

using kvtest::DemoLogin;

namespace {

QString one(const QString& sql)
{
    return DemoLogin::value(sql).toString();
}

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

int iidOf(const QString& name)
{
    const QVariant v = DemoLogin::value(QStringLiteral("select max(SchIID) from QZ_MRP_Schemes where SchName=%1").arg(QuotedStr(name)));
    return v.isNull() ? 0 : v.toInt();
}

int addScheme(const QString& name, const QString& owner, int state, const QString& maxTime = QStringLiteral("20260101"))
{
    DemoLogin::instance().exec(
        QStringLiteral("insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchUsrID, SchState, SchNewTime, "
                       "SchUpdTime, SchMaxTime) select 0, %1, SchCalIID, SchPeriods, '%2', %3, getdate(), getdate(), '%4' "
                       "from QZ_MRP_Schemes where SchIID=1")
            .arg(QuotedStr(name), owner)
            .arg(state)
            .arg(maxTime));
    return iidOf(name);
}

// Demo scheme 1 with a real main demand and MRP run, made once.
void runDemoScheme()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    kvtest::demoSchemeAfterRun();
}

// The host's view of a result tab, made here in the process.
bool viewsMissing = false;
IInfoViewPtr resultView(TInfoObjectDef* def)
{
    if (viewsMissing)
        return nullptr;
    return kvtest::workbenchResultView(def);
}

// The host's filter dialog: answers with the next code and text.
QString nextFilterText;
QString nextFilterCode;
bool scriptedFilter(TInfoObjectDef*, QString& text, QString& code, TADOQuery*, const QString&, bool readOnly)
{
    if (readOnly)
        return true;
    text = nextFilterText;
    code = nextFilterCode;
    return true;
}

TInfoObjectDef* barDef = reinterpret_cast<TInfoObjectDef*>(1);
void recordBar(TInfoObjectDef* def, bool)
{
    barDef = def;
}

struct Bench {
    explicit Bench(TInfoObjectDef* def, bool maintain = true)
    {
        window.resize(1300, 800);
        ptr = CreateInfoFrame<TMRPFrame>(def, maintain);
        f = dynamic_cast<TMRPFrame*>(ptr.get());
        f->SetParentControl(&window);
    }
    explicit Bench(const char* id = "QZ_MRP.MRP", bool maintain = true)
        : Bench(InfoApplication->GetInfoObjectDef(QString::fromLatin1(id)), maintain)
    {
    }
    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < f->cboSchemeName->count(); ++i)
            out << f->cboSchemeName->itemText(i);
        return out;
    }
    void select(int iid)
    {
        const int index = f->cboSchemeName->findData(iid);
        ASSERT_GE(index, 0) << iid;
        f->cboSchemeName->setCurrentIndex(index);
        ASSERT_EQ(f->PlanScheme()->SchemeIID, iid);
    }
    QWidget window;
    IInfoFramePtr ptr;
    TMRPFrame* f = nullptr;
};

class Workbench : public ::testing::Test {
protected:
    void SetUp() override
    {
        runDemoScheme();
        InfoApplication->GetInfoObjectViewProc = resultView;
        InfoApplication->ShowFilterDlgProc = scriptedFilter;
        viewsMissing = false;
    }
    void TearDown() override { InfoApplication->ShowFilterDlgProc = nullptr; }
    ScriptedMessageBoxes boxes;
};

// A SQLite trigger that refuses a write, to break a batch half-way.
struct FailingWrite {
    FailingWrite(const QString& table, const char* when, const QString& condition)
    {
        sqlite3_open(DemoLogin::instance().file().toUtf8().constData(), &db);
        const QString sql = QStringLiteral("create trigger kv_test_fail before %1 on %2 when %3 begin select raise(abort, 'refused'); end")
                                .arg(QString::fromLatin1(when), table, condition);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
    }
    ~FailingWrite()
    {
        sqlite3_exec(db, "drop trigger kv_test_fail", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    sqlite3* db = nullptr;
};

} // namespace

TEST(SchemeStates, ASavedSchemeGetsTheStateOfWhatChanged)
{
    const QString periods = QStringLiteral("46391|46398|46405|");
    TSchemeParamValues base;
    base.PeriodsText = periods;
    base.CareItemSafety = 1;
    base.DataFilters = QStringLiteral("[QZ_MRP.SO]=a");
    struct Case {
        const char* what;
        int state;
        std::function<void(TSchemeParamValues&)> change;
        int expected;
    };
    const Case cases[] = {
        {"nothing changed", 6, [](TSchemeParamValues&) {}, 6},
        {"safety stock", 6, [](TSchemeParamValues& v) { v.CareItemSafety = 2; }, 4},
        {"safety stock before MRP", 2, [](TSchemeParamValues& v) { v.CareItemSafety = 2; }, 2},
        {"track mode", 5, [](TSchemeParamValues& v) { v.CareMRPTrackMode = 9; }, 4},
        {"loss rate", 3, [](TSchemeParamValues& v) { v.CareItemLossRate = true; }, 4},
        {"supply filter", 6, [](TSchemeParamValues& v) { v.DataFilters += ViewSchemeParamSeparator + QStringLiteral("[QZ_MRP.MO]=b"); }, 4},
        {"periods", 6, [&](TSchemeParamValues& v) { v.PeriodsText = QStringLiteral("46391|46398|"); }, 1},
        {"periods before a fetch", 0, [&](TSchemeParamValues& v) { v.PeriodsText = QStringLiteral("46391|46398|"); }, 0},
        {"source", 6, [](TSchemeParamValues& v) { v.PlanSource = 1; }, 1},
        {"order filter, orders gathered", 6, [](TSchemeParamValues& v) { v.DataFilters = QStringLiteral("[QZ_MRP.SO]=c"); }, 1},
        {"forecast filter, orders only", 6,
         [](TSchemeParamValues& v) {
             v.PlanSource = 1;
             v.DataFilters += ViewSchemeParamSeparator + QStringLiteral("[QZ_MRP.Forcast]=f");
         },
         1},
    };
    for (const Case& c : cases) {
        TSchemeParamValues next = base;
        c.change(next);
        EXPECT_EQ(SavedSchemeState(c.state, base, next), c.expected) << c.what;
    }
    // An orders-only scheme does not refetch for a changed forecast filter, but reruns.
    TSchemeParamValues ordersOnly = base;
    ordersOnly.PlanSource = 1;
    TSchemeParamValues forecast = ordersOnly;
    forecast.DataFilters += ViewSchemeParamSeparator + QStringLiteral("[QZ_MRP.Forcast]=f");
    EXPECT_EQ(SavedSchemeState(6, ordersOnly, forecast), 4);
    // An imported schedule is ready again after new periods, or asks for a new run.
    TSchemeParamValues imported = base;
    imported.PlanSource = 3;
    TSchemeParamValues newPeriods = imported;
    newPeriods.PeriodsText = QStringLiteral("46391|");
    EXPECT_EQ(SavedSchemeState(2, imported, newPeriods), 2);
    EXPECT_EQ(SavedSchemeState(6, imported, newPeriods), 4);
    EXPECT_EQ(NewSchemeState(0), 0);
    EXPECT_EQ(NewSchemeState(3), 2);
}

TEST(SchemeStates, CopiedMainDemandFollowsTheSource)
{
    EXPECT_EQ(CopiedMainBillTypes(0), QStringLiteral("12,2,4,8"));
    EXPECT_EQ(CopiedMainBillTypes(1), QStringLiteral("12,2,4"));
    EXPECT_EQ(CopiedMainBillTypes(2), QStringLiteral("12,8"));
    EXPECT_EQ(CopiedMainBillTypes(3), QStringLiteral("12"));
}

TEST_F(Workbench, EachModeListsTheSchemesItMayShow)
{
    const int ownDraft = addScheme(QStringLiteral("列表-草稿"), QStringLiteral("plan01"), 0, QStringLiteral("20260301"));
    const int ownReleased = addScheme(QStringLiteral("列表-已发布"), QStringLiteral("plan01"), 8, QStringLiteral("20260302"));
    const int sharedToGroup = addScheme(QStringLiteral("列表-组共享"), QStringLiteral("buy01"), 9, QStringLiteral("20260303"));
    const int sharedToUser = addScheme(QStringLiteral("列表-用户共享"), QStringLiteral("buy01"), 10, QStringLiteral("20260304"));
    const int sharedButDraft = addScheme(QStringLiteral("列表-未发布共享"), QStringLiteral("buy01"), 6);
    const int notShared = addScheme(QStringLiteral("列表-他人"), QStringLiteral("buy01"), 8);
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) values ('G_PLAN', 1, 'QZ_MRP.MRP', '%1')\r"
        "insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) values ('plan01', 0, 'QZ_MRP.MRP', '%2')\r"
        "insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) values ('plan01', 0, 'QZ_MRP.MRP', '%3')\r"
        "insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) values ('G_PLAN', 0, 'QZ_MRP.MRP', '%4')")
                                   .arg(sharedToGroup)
                                   .arg(sharedToUser)
                                   .arg(sharedButDraft)
                                   .arg(notShared));

    // Editable: the user's own schemes in every state, unreleased first, newest first.
    {
        Bench b;
        const QStringList names = b.listed();
        EXPECT_TRUE(names.contains(QStringLiteral("列表-草稿")));
        EXPECT_TRUE(names.contains(QStringLiteral("列表-已发布 (已发布)")));
        EXPECT_LT(names.indexOf(QStringLiteral("列表-草稿")), names.indexOf(QStringLiteral("列表-已发布 (已发布)")));
        for (const QString& n : names)
            EXPECT_FALSE(n.contains(QStringLiteral("李采购"))) << n.toStdString();
        EXPECT_EQ(b.f->cboScheme->count(), names.size());
        EXPECT_EQ(b.f->PlanScheme()->SchemeIID, b.f->cboSchemeName->itemData(0).toInt());
    }
    // Read-only: released schemes only, own or shared with the user or his group.
    {
        Bench b("QZ_MRP.MRPQuery", false);
        QList<int> iids;
        for (int i = 0; i < b.f->cboSchemeName->count(); ++i)
            iids << b.f->cboSchemeName->itemData(i).toInt();
        EXPECT_TRUE(iids.contains(ownReleased));
        EXPECT_TRUE(iids.contains(sharedToGroup));
        EXPECT_TRUE(iids.contains(sharedToUser));
        EXPECT_FALSE(iids.contains(ownDraft));
        EXPECT_FALSE(iids.contains(sharedButDraft));
        EXPECT_FALSE(iids.contains(notShared)); // shared with a user named like the group, not the group
        EXPECT_TRUE(b.listed().contains(QStringLiteral("列表-组共享 (已投放)[李采购]")));
        EXPECT_TRUE(b.listed().contains(QStringLiteral("列表-用户共享 (已关闭投放)[李采购]")));
    }
}

TEST_F(Workbench, ANewSchemeIsSavedWithItsPeriodsAndFilters)
{
    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    f->actSchemeNew->trigger();
    ASSERT_TRUE(f->SchemeEditing());
    EXPECT_TRUE(f->edtSchemeName->isVisibleTo(&b.window));
    EXPECT_FALSE(f->cboSchemeName->isVisibleTo(&b.window));
    EXPECT_EQ(f->edtCreater->text(), QStringLiteral("王计划"));
    EXPECT_TRUE(f->actSchemeSave->isVisible());
    EXPECT_FALSE(f->actSchemeNew->isVisible());
    EXPECT_TRUE(f->cboMainSource->isEnabled());

    // An empty name is refused and the edit stays open.
    f->actSchemeSave->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("[方案名称]的内容不能为空!"));
    EXPECT_TRUE(f->SchemeEditing());

    // Without periods the periods dialog opens.
    const TPlanPeriods periods = f->PlanScheme()->PlanPeriods;
    ASSERT_GT(periods.size(), size_t(2));
    f->PlanScheme()->PlanPeriods.clear();
    FillPlanPeriodTree(f->trlPlanPeriods, {});
    f->edtSchemeName->setText(QStringLiteral("新方案'一"));
    // Two weeks set in the dialog; the save stops there and goes through the next time.
    kvtest::WhenShown<TSetPlanPeriodsDlg>([](TSetPlanPeriodsDlg* dlg) {
        for (const QDate& monday : {QDate(2027, 1, 4), QDate(2027, 1, 11)}) {
            QPoint cell;
            ASSERT_TRUE(dlg->famCalendar->DateToCell(TCalendarFrame::DayOf(monday), cell));
            dlg->famCalendar->grdCalendar->setSelection({cell.x(), cell.y(), cell.x(), cell.y()});
            dlg->btnAddWeek->click();
        }
        dlg->btnOk->click();
    });
    f->actSchemeSave->trigger();
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("展望期间不能为空, 请设置!"));
    EXPECT_TRUE(f->SchemeEditing());
    ASSERT_EQ(f->trlPlanPeriods->topCount(), 2);
    const TPlanPeriods twoWeeks = f->PlanScheme()->PlanPeriods;
    ASSERT_EQ(twoWeeks.size(), size_t(4));

    // A filter with quotes on the production orders, purchase requisitions left out.
    f->cboCareSafety->setCurrentIndex(2);
    f->cboNeedScope->setCurrentIndex(5); // the third safety choice goes with the global scope
    EXPECT_EQ(f->cboCareSafety->count(), 2);
    EXPECT_EQ(f->cboCareSafety->currentIndex(), 1);
    kvui::TreeNode* mo = nullptr;
    kvui::TreeNode* pr = nullptr;
    for (kvui::TreeNode* n : f->trlMRPFilters->topNodes()) {
        if (TMRPFilterTree::NodeKey(n) == QLatin1String("QZ_MRP.MO"))
            mo = n;
        if (TMRPFilterTree::NodeKey(n) == QLatin1String("QZ_MRP.PR"))
            pr = n;
    }
    ASSERT_TRUE(mo && pr);
    EXPECT_TRUE(mo->isEnabled());
    pr->setCheckState(Qt::Unchecked);
    f->trlMRPFilters->setFocusedNode(mo);
    f->ProcessIdle();
    ASSERT_TRUE(f->actSetMRPFilter->isEnabled());
    nextFilterText = QStringLiteral("车间 = '一车间'");
    nextFilterCode = QStringLiteral("x.MODeptID='D01'");
    f->actSetMRPFilter->trigger();

    const int before = boxes.shown.size();
    f->actSchemeSave->trigger();
    EXPECT_EQ(boxes.shown.size(), before);
    EXPECT_FALSE(f->SchemeEditing());
    const int iid = iidOf(QStringLiteral("新方案'一"));
    ASSERT_GT(iid, 1);
    EXPECT_EQ(f->PlanScheme()->SchemeIID, iid);
    EXPECT_EQ(f->cboSchemeName->currentText(), QStringLiteral("新方案'一"));
    EXPECT_EQ(f->cboSchemeName->currentIndex(), 0) << "the newest scheme comes first";
    EXPECT_EQ(one(QStringLiteral("select SchUsrID from QZ_MRP_Schemes where SchIID=%1").arg(iid)), QStringLiteral("plan01"));
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 0);
    EXPECT_EQ(count(QStringLiteral("select SchNeedScope*10+SchCareSafety from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 51);
    EXPECT_EQ(one(QStringLiteral("select SchPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid)), PlanPeriodsToText(twoWeeks));
    const QString filters = one(QStringLiteral("select SchFilters from QZ_MRP_Schemes where SchIID=%1").arg(iid));
    EXPECT_EQ(ReadDelimitedValue(filters, QStringLiteral("[QZ_MRP.MO]"), ViewSchemeParamSeparator), nextFilterCode);
    EXPECT_EQ(HexCodesToStr(ReadDelimitedValue(filters, QStringLiteral("{QZ_MRP.MO}"), ViewSchemeParamSeparator)), nextFilterText);
    EXPECT_EQ(ReadDelimitedValue(filters, QStringLiteral("[Excludes]"), ViewSchemeParamSeparator), QStringLiteral("QZ_MRP.PR|"));
    EXPECT_EQ(f->edtPlanState->text(), QStringLiteral("待获取主需求数据"));

    // The same name again is refused for the same owner, allowed beside another owner's.
    f->actSchemeNew->trigger();
    f->edtSchemeName->setText(QStringLiteral("新方案'一"));
    f->actSchemeSave->trigger();
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("[方案名称]的值(新方案'一)已经存在!"));
    EXPECT_TRUE(f->SchemeEditing());
    addScheme(QStringLiteral("别人的同名方案"), QStringLiteral("buy01"), 0);
    f->edtSchemeName->setText(QStringLiteral("别人的同名方案"));
    f->cboMainSource->setCurrentIndex(3);
    f->actSchemeSave->trigger();
    EXPECT_FALSE(f->SchemeEditing());
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchName='别人的同名方案'")), 2);
    // An imported schedule is ready at once.
    EXPECT_EQ(f->PlanScheme()->PlanState, 2);

    // Revert returns to the scheme shown before.
    f->actSchemeNew->trigger();
    f->actSchemeRevert->trigger();
    EXPECT_FALSE(f->SchemeEditing());
    EXPECT_EQ(f->cboSchemeName->currentText(), QStringLiteral("别人的同名方案"));
}

TEST_F(Workbench, ChangingAnMRPSchemeMakesItsResultStale)
{
    const int iid = addScheme(QStringLiteral("改参数"), QStringLiteral("plan01"), 6);
    Bench b;
    b.select(iid);
    TMRPFrame* f = b.f;
    EXPECT_TRUE(f->actSchemeUpdate->isEnabled());
    f->actSchemeUpdate->trigger();
    EXPECT_EQ(f->edtSchemeName->text(), QStringLiteral("改参数"));
    f->actSchemeSave->trigger();
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 6);

    f->actSchemeUpdate->trigger();
    f->cboCareSafety->setCurrentIndex(f->cboCareSafety->currentIndex() == 0 ? 1 : 0);
    f->actSchemeSave->trigger();
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 4);
    EXPECT_EQ(f->edtPlanState->text(), QStringLiteral("方案参数有变, 需重新运算MRP"));
    EXPECT_EQ(f->edtPlanState->palette().color(QPalette::Text), QColor(0xFF, 0, 0));

    // Another window changed the state meanwhile: the save is refused.
    f->actSchemeUpdate->trigger();
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchState=8 where SchIID=%1").arg(iid));
    f->actSchemeSave->trigger();
    EXPECT_TRUE(boxes.shown.last().text.contains(QStringLiteral("最新状态已被改变")));
    EXPECT_TRUE(f->SchemeEditing());
    f->actSchemeRevert->trigger();
    // Released: neither updated nor deleted.
    EXPECT_FALSE(f->actSchemeUpdate->isEnabled());
    EXPECT_FALSE(f->actSchemeDelete->isEnabled());
    EXPECT_TRUE(f->actSchemeCopy->isEnabled());
}

TEST_F(Workbench, ACopyTakesTheResultsButNoReleaseMarks)
{
    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    ASSERT_EQ(f->PlanScheme()->PlanState, 6);
    const int supplies = count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=1"));
    ASSERT_GT(supplies, 0);

    // Copy with its results.
    f->actSchemeCopy->trigger();
    EXPECT_TRUE(f->SchemeCopying());
    f->edtSchemeName->setText(QStringLiteral("带结果副本"));
    boxes.answer({kvos::IDYES});
    f->actSchemeSave->trigger();
    ASSERT_FALSE(f->SchemeEditing());
    EXPECT_TRUE(boxes.shown.last().text.contains(QStringLiteral("已运算过MRP, 复制其结果数据至新方案?")));
    const int copy = iidOf(QStringLiteral("带结果副本"));
    ASSERT_GT(copy, 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(copy)), supplies);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(copy)), 6);
    EXPECT_EQ(one(QStringLiteral("select SchMrpRunTime from QZ_MRP_Schemes where SchIID=%1").arg(copy)),
              one(QStringLiteral("select SchMrpRunTime from QZ_MRP_Schemes where SchIID=1")));

    // The copy is released and partly output; a copy of it starts clean.
    DemoLogin::instance().exec(
        QStringLiteral("update QZ_MRP_Schemes set SchState=10, SchRelTime=getdate() where SchIID=%1\r"
                       "update QZ_MRP_Supplies set SupDestQty=1, SupDester='plan01', SupDestTime=getdate() where SupSchIID=%1\r"
                       "insert QZ_MRP_DestAlters (DstSchIID, DstSupIID, DstDmdIID, DstItmID, DstQty) select SupSchIID, SupIID, 0, SupItmID, 1 "
                       "from QZ_MRP_Supplies where SupSchIID=%1")
            .arg(copy));
    f->actRefreshExecute();
    b.select(copy);
    f->actSchemeCopy->trigger();
    f->edtSchemeName->setText(QStringLiteral("已投放的副本"));
    boxes.answer({kvos::IDYES});
    f->actSchemeSave->trigger();
    const int second = iidOf(QStringLiteral("已投放的副本"));
    ASSERT_GT(second, copy);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(second)), 6);
    EXPECT_TRUE(DemoLogin::value(QStringLiteral("select SchRelTime from QZ_MRP_Schemes where SchIID=%1").arg(second)).isNull());
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(second)), supplies);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and (SupDestQty>0 or SupDester is not null)")
                        .arg(second)),
              0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_DestAlters where DstSchIID=%1").arg(second)), 0);

    // Deleting the closed scheme with released supplies asks the traceability question only.
    b.select(copy);
    EXPECT_TRUE(f->actSchemeDelete->isEnabled());
    const int shown = boxes.shown.size();
    boxes.answer({kvos::IDCANCEL});
    f->actSchemeDelete->trigger();
    ASSERT_EQ(boxes.shown.size(), shown + 1);
    EXPECT_EQ(boxes.shown.last().text,
              QStringLiteral("计划方案[带结果副本]有%1条MRP供应计划已被投放, 删除后意味着不能进行追溯查询, 确定?").arg(supplies));
    EXPECT_EQ(boxes.shown.last().defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes where SchIID=%1").arg(copy)), 1);
    DemoLogin::instance().exec(
        QStringLiteral("insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID) values ('buy01', 0, 'QZ_MRP.MRP', '%1')")
            .arg(copy));
    boxes.answer({kvos::IDOK});
    f->actSchemeDelete->trigger();
    EXPECT_EQ(boxes.shown.size(), shown + 3);
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    for (const char* sql : {"select count(*) from QZ_MRP_Schemes where SchIID=%1", "select count(*) from QZ_MRP_Supplies where SupSchIID=%1",
                            "select count(*) from QZ_MRP_Main where ManSchIID=%1", "select count(*) from QZ_MRP_Demands where DmdSchIID=%1",
                            "select count(*) from QZ_MRP_Allots where AltSchIID=%1", "select count(*) from QZ_MRP_Balance where BalSchIID=%1",
                            "select count(*) from QZ_MRP_DestAlters where DstSchIID=%1",
                            "select count(*) from QZ_SYS_DataPermissions where DpmObjID='QZ_MRP.MRP' and DpmDataID='%1'"})
        EXPECT_EQ(count(QString::fromLatin1(sql).arg(copy)), 0) << sql;
    EXPECT_NE(f->PlanScheme()->SchemeIID, copy);
}

TEST_F(Workbench, ACopyWithoutResultsTakesTheMainDemandItsSourceGathers)
{
    // A row of a bill type no source gathers stays behind.
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillNo, ManBillEntry, ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) "
        "select 1, max(ManIID)+1, 1, 22, 'MO-X', 1, max(ManDate), max(ManItmID), 1, 0, 1 from QZ_MRP_Main where ManSchIID=1"));
    const int forecasts = count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillType=8"));
    const int orders = count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillType in (12,2,4)"));
    ASSERT_GT(forecasts, 0);
    ASSERT_GT(orders, 0);

    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    f->actSchemeCopy->trigger();
    f->edtSchemeName->setText(QStringLiteral("无结果副本"));
    boxes.answer({kvos::IDNO});
    f->actSchemeSave->trigger();
    const int plain = iidOf(QStringLiteral("无结果副本"));
    ASSERT_GT(plain, 1);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(plain)), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(plain)), forecasts + orders);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(plain)), 0);
    EXPECT_TRUE(DemoLogin::value(QStringLiteral("select SchMrpRunTime from QZ_MRP_Schemes where SchIID=%1").arg(plain)).isNull());

    // Orders only: no question (the source changed), no forecast rows.
    b.select(1);
    f->actSchemeCopy->trigger();
    f->edtSchemeName->setText(QStringLiteral("仅订单副本"));
    f->cboMainSource->setCurrentIndex(1);
    const int shown = boxes.shown.size();
    f->actSchemeSave->trigger();
    EXPECT_EQ(boxes.shown.size(), shown);
    const int ordersCopy = iidOf(QStringLiteral("仅订单副本"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(ordersCopy)), orders);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(ordersCopy)), 1);
}

TEST_F(Workbench, AFailedCopyOrDeleteLeavesNothingHalfDone)
{
    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    const int schemes = count(QStringLiteral("select count(*) from QZ_MRP_Schemes"));
    {
        FailingWrite refuse(QStringLiteral("QZ_MRP_Supplies"), "insert", QStringLiteral("1=1"));
        f->actSchemeCopy->trigger();
        f->edtSchemeName->setText(QStringLiteral("半截副本"));
        boxes.answer({kvos::IDYES});
        f->actSchemeSave->trigger();
    }
    EXPECT_TRUE(boxes.shown.last().text.startsWith(QStringLiteral("保存过程中出现意外错误, 操作被中止!")))
        << boxes.shown.last().text.toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Schemes")), schemes);
    EXPECT_EQ(iidOf(QStringLiteral("半截副本")), 0);
    EXPECT_TRUE(f->SchemeEditing()) << "nothing typed is lost";
    // Saved again once the database takes it.
    boxes.answer({kvos::IDYES});
    f->actSchemeSave->trigger();
    EXPECT_FALSE(f->SchemeEditing());
    const int copy = iidOf(QStringLiteral("半截副本"));
    ASSERT_GT(copy, 0);
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(copy)), 0);

    const int mainRows = count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(copy));
    {
        FailingWrite refuse(QStringLiteral("QZ_MRP_Schemes"), "delete", QStringLiteral("old.SchIID=%1").arg(copy));
        b.select(copy);
        boxes.answer({kvos::IDOK});
        f->actSchemeDelete->trigger();
    }
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行过程中发现错误, 操作被停止!"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(copy)), mainRows);
    EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(copy)), 0);
}

TEST_F(Workbench, ActionCommandsRunOnlyWhatTheDefinitionGrants)
{
    // Every action listed: command 100 + index runs the action at that place.
    {
        Bench b;
        b.select(1);
        TCommandState state;
        ASSERT_TRUE(b.f->QueryCommandState(100, state));
        EXPECT_TRUE(state & csEnabled);
        ASSERT_TRUE(b.f->ExecCommand(100));
        EXPECT_TRUE(b.f->SchemeEditing());
        EXPECT_FALSE(b.f->SchemeCopying());
        ASSERT_TRUE(b.f->QueryCommandState(Commands::Save, state));
        EXPECT_TRUE(state & csEnabled);
        ASSERT_TRUE(b.f->ExecCommand(Commands::CancelEdits));
        EXPECT_FALSE(b.f->SchemeEditing());
        EXPECT_FALSE(b.f->QueryCommandState(Commands::Undo, state));
    }
    // Only Copy granted, at index 0: command 100 copies, and New, which the
    // definition does not list, answers no command at all.
    TInfoObjectDef limited = *InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRP"));
    std::erase_if(limited.Actions, [](const TInfoActionDef& a) { return a.ID != QLatin1String("Copy"); });
    ASSERT_EQ(limited.Actions.size(), size_t(1));
    Bench b(&limited);
    b.select(1);
    EXPECT_EQ(TMRPFrame::ActionTag(b.f->actSchemeCopy), 0);
    EXPECT_EQ(TMRPFrame::ActionTag(b.f->actSchemeNew), -1);
    for (int c = 101; c < 106; ++c) {
        TCommandState state = csEnabled;
        ASSERT_TRUE(b.f->QueryCommandState(c, state));
        EXPECT_FALSE(state & csEnabled) << c;
    }
    ASSERT_TRUE(b.f->ExecCommand(100));
    EXPECT_TRUE(b.f->SchemeCopying());
    // The frame's own buttons stay as they are.
    b.f->actSchemeRevert->trigger();
    b.f->actSchemeNew->trigger();
    EXPECT_TRUE(b.f->SchemeEditing());
    b.f->actSchemeRevert->trigger();
}

TEST_F(Workbench, ResultTabsAreMadeOnFirstEntryAndBoundToTheScheme)
{
    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    EXPECT_EQ(f->ResultView(f->tabMain), nullptr);
    f->Pages->setCurrentWidget(f->tabMain);
    ASSERT_EQ(f->Pages->currentWidget(), f->tabMain);
    IInfoViewPtr view = f->ResultView(f->tabMain);
    ASSERT_NE(view, nullptr);
    auto* main = dynamic_cast<TMRPMainFrame*>(view.get());
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->PlanScheme(), f->PlanScheme());
    EXPECT_EQ(view->GetViewCaption(), QStringLiteral("主需求"));
    EXPECT_TRUE(f->gbxSchemeList->isVisibleTo(&b.window));
    InfoApplication->ParseViewSchemeSQL(view->GetObjectDef(), view->GetViewScheme(), GlobalADOQuery);
    f->ProcessIdle();
    EXPECT_TRUE(view->DataRefreshed());

    // Commands go to the active view; the scheme tab's own are not offered there.
    TCommandState state;
    EXPECT_EQ(f->QueryCommandState(Commands::Refresh, state), view->QueryCommandState(Commands::Refresh, state));

    // A tab whose view cannot be had is not entered.
    viewsMissing = true;
    f->Pages->setCurrentWidget(f->tabAllot);
    EXPECT_EQ(f->Pages->currentWidget(), f->tabMain);
    EXPECT_EQ(f->ResultView(f->tabAllot), nullptr);
    viewsMissing = false;

    // Editing on the scheme tab disables the result tabs; a refresh is refused meanwhile.
    f->Pages->setCurrentWidget(f->tabScheme);
    f->actSchemeUpdate->trigger();
    EXPECT_FALSE(f->Pages->isTabEnabled(f->Pages->indexOf(f->tabMain)));
    f->actRefreshExecute();
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("视图[计划方案]处于编辑状态, 不能刷新计划方案!"));
    // Closing while editing, answering Yes with an empty name: the save warns, the close is refused.
    f->edtSchemeName->clear();
    boxes.answer({kvos::IDYES});
    EXPECT_FALSE(f->QueryClose());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("[方案名称]的内容不能为空!"));
    boxes.answer({kvos::IDNO});
    EXPECT_TRUE(f->QueryClose());
}

TEST_F(Workbench, TheQueryShowsReleasedSchemesWithoutEditCommands)
{
    addScheme(QStringLiteral("查询-已发布"), QStringLiteral("plan01"), 8, QStringLiteral("20260501"));
    InfoApplication->ResetMainActionsBarProc = recordBar;
    Bench b("QZ_MRP.MRPQuery", false);
    TMRPFrame* f = b.f;
    ASSERT_GT(f->cboSchemeName->count(), 0);
    EXPECT_EQ(f->cboSchemeName->width(), 395);
    for (QAction* a : {f->actSchemeNew, f->actSchemeCopy, f->actSchemeUpdate, f->actSchemeDelete, f->actSchemeSave,
                       f->actRunMPS, f->actRunMRP, f->actSetPlanPeriods, f->actSetMRPFilter})
        EXPECT_FALSE(a->isVisible()) << a->objectName().toStdString();
    // Buttons of hidden actions are hidden with them.
    for (QToolButton* button : f->gbxScheme->findChildren<QToolButton*>()) {
        ASSERT_NE(button->defaultAction(), nullptr);
        EXPECT_EQ(button->isVisibleTo(&b.window), button->defaultAction()->isVisible())
            << button->defaultAction()->objectName().toStdString();
    }
    for (int c : {100, 101, 102, 103, 104, 105, int(Commands::Save)}) {
        TCommandState state = csEnabled;
        EXPECT_TRUE(f->QueryCommandState(c, state));
        EXPECT_FALSE(state & csEnabled) << c;
    }
    f->ProcessIdle();
    EXPECT_EQ(barDef, nullptr);
    EXPECT_FALSE(f->cboMainSource->isEnabled());
    // The filters of a loaded scheme can still be looked at.
    f->trlMRPFilters->setFocusedNode(f->trlMRPFilters->topNode(0));
    const QString before = f->PlanScheme()->DataFilters;
    nextFilterText = QStringLiteral("x");
    nextFilterCode = QStringLiteral("1=0");
    f->actSetMRPFilterExecute();
    EXPECT_EQ(f->PlanScheme()->DataFilters, before);
    InfoApplication->ResetMainActionsBarProc = nullptr;
}

TEST_F(Workbench, AnImportedScheduleFollowsNewPeriods)
{
    Bench b;
    TMRPFrame* f = b.f;
    b.select(1);
    f->actSchemeNew->trigger();
    f->edtSchemeName->setText(QStringLiteral("导入排程方案"));
    f->cboMainSource->setCurrentIndex(3);
    for (kvui::TreeNode* n : f->trlMRPFilters->topNodes())
        EXPECT_FALSE(QStringList({"QZ_MRP.Forcast", "QZ_MRP.SO", "QZ_MRP.SI"}).contains(TMRPFilterTree::NodeKey(n)));
    f->actSchemeSave->trigger();
    const int iid = iidOf(QStringLiteral("导入排程方案"));
    ASSERT_GT(iid, 0);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 2);
    const QString periods = one(QStringLiteral("select SchPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid));
    EXPECT_EQ(one(QStringLiteral("select SchMpsPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid)), periods);

    // Its imported rows, then one period less: the rows stay, spread over the new periods.
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillNo, ManBillEntry, ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty) "
        "select %1, ManIID, ManPeriod, ManBillType, ManBillNo, ManBillEntry, ManDate, ManItmID, ManNeedQty, ManAdjQty, ManQty "
        "from QZ_MRP_Main where ManSchIID=1 and ManBillType=2").arg(iid));
    const int rows = count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(iid));
    ASSERT_GT(rows, 0);
    f->actRefreshExecute();
    f->actSchemeUpdate->trigger();
    TPlanPeriods shorter = f->PlanScheme()->PlanPeriods;
    ASSERT_GT(shorter.size(), size_t(3));
    shorter.back().DateBegin = shorter[shorter.size() - 2].DateBegin;
    shorter.erase(shorter.end() - 2);
    f->PlanScheme()->PlanPeriods = shorter;
    FillPlanPeriodTree(f->trlPlanPeriods, shorter);
    f->actSchemeSave->trigger();
    EXPECT_FALSE(f->SchemeEditing());
    EXPECT_EQ(one(QStringLiteral("select SchPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid)), PlanPeriodsToText(shorter));
    EXPECT_EQ(one(QStringLiteral("select SchMpsPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid)), PlanPeriodsToText(shorter));
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(iid)), rows);
    EXPECT_EQ(count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 2);
}

// A release made in another window while the workbench shows the scheme: when
// the workbench comes to the front again, what the release forbids is greyed
// (the main demand's 修改 and 运算MRP, the scheme tab's 修改 and 获取主需求)
// instead of being refused only when clicked. A scheme being edited is left to
// the refusal at its save.
TEST_F(Workbench, AStateSetElsewhereGreysWhatItForbidsOnReturn)
{
    const int iid = addScheme(QStringLiteral("另一窗口发布"), QStringLiteral("plan01"), 6);
    Bench b;
    TMRPFrame* f = b.f;
    b.select(iid);
    f->Pages->setCurrentWidget(f->tabMain);
    IInfoViewPtr view = f->ResultView(f->tabMain);
    ASSERT_NE(view, nullptr);
    InfoApplication->ParseViewSchemeSQL(view->GetObjectDef(), view->GetViewScheme(), GlobalADOQuery);
    f->ProcessIdle();
    TInfoObjectDef* def = view->GetObjectDef();
    const auto enabled = [&](const char* action) {
        TCommandState state;
        f->QueryCommandState(Commands::FirstAction + def->IndexOfAction(QString::fromLatin1(action)), state);
        return bool(state & csEnabled);
    };
    ASSERT_TRUE(enabled("Update"));
    ASSERT_TRUE(enabled("MRP"));

    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchState=8 where SchIID=%1").arg(iid));
    f->PlanScheme()->Editing = true; // a tab in edit mode keeps the state it began with
    f->RefreshMainUI();
    EXPECT_EQ(f->PlanScheme()->PlanState, 6);
    f->PlanScheme()->Editing = false;

    f->RefreshMainUI(); // what the window's activation runs
    EXPECT_EQ(f->PlanScheme()->PlanState, 8);
    EXPECT_EQ(f->edtPlanState->text(), QStringLiteral("计划方案已发布"));
    for (const char* action : {"Update", "MRP", "MPS", "Adjust"})
        EXPECT_FALSE(enabled(action)) << action;
    EXPECT_FALSE(f->actSchemeUpdate->isEnabled());
    EXPECT_FALSE(f->actRunMPS->isEnabled());
    EXPECT_FALSE(f->actRunMRP->isEnabled());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.value(0).text.toStdString();
}
