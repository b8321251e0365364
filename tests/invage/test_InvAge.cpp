// The inventory-age analysis on the demo account set, through its settings
// dialog and its view: the age-group totals of the view equal the stock on
// hand at the cut-off (and today) as SQL computes it from the stock and its
// receipt and issue lines; the receipts without a batch, the inner transfer
// and the receipt of no quantity of the demo data are explained; Esc between
// the receipt passes leaves the stored results as they were; a procedure that
// brings the same receipts again ends the passes; a list cut at the row limit
// says so in its total; the dialog's checks.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "QueryRows.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "TsqlEngine.h"
#include "UCommon.h"
#include "dlgInvAgeSet.h"
#include "dlgViewScheme.h"
#include "famInvAge.h"
#include "untInfoObjectDef.h"

#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWidget>
#include <cmath>

using kvtest::DemoLogin;

namespace {

const QDate CutOff(2026, 11, 30);

TInfoObjectDef* ageDef()
{
    static bool prepared = false;
    if (!prepared) {
        prepared = true;
        kvtest::demoPlanningLogin();
    }
    return InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.AgeAnalyze"));
}

double sqlNumber(const QString& sql)
{
    return DemoLogin::value(sql).toDouble();
}

// The stock on hand of the real stocks at the end of a day (an invalid date:
// now), per stock row; AWhich "q>0" for the positive rows, "1=1" for all.
double stockAt(const QDate& ADay, const char* AWhich)
{
    QString later;
    if (ADay.isValid())
        later = QStringLiteral(" union all select StbItmID, isnull(StbBatch,''), StbStkID, isnull(StbStpID,''), -StbDir*StbQty "
                               "from QZ_MRP_StockBills where StbDate>='%1'")
                    .arg(ADay.addDays(1).toString(QStringLiteral("yyyyMMdd")));
    return sqlNumber(QStringLiteral("select sum(q) from (select ItmID, Batch, m.StkID, StpID, q=sum(q) from (select ItmID=InvItmID, "
                                    "Batch=isnull(InvBatch,''), StkID=InvStkID, StpID=isnull(InvStpID,''), q=InvQty from "
                                    "QZ_MRP_Inventory%1) as m join QZ_Base_Stock as k on m.StkID=k.StkID where "
                                    "k.StkVirtual=0 group by ItmID, Batch, m.StkID, StpID) as t where %2")
                         .arg(later, QLatin1String(AWhich)));
}

// Answers the settings dialog: the cut-off (invalid: today's stock) and the
// widths of the age groups typed row by row.
void answerSettings(const QDate& ACutOff, const QList<int>& AWidths, std::function<void(TInvAgeSetDlg*)> AMore = {})
{
    kvtest::WhenShown<TInvAgeSetDlg>([ACutOff, AWidths, AMore](TInvAgeSetDlg* dlg) {
        if (ACutOff.isValid()) {
            dlg->rdbEndDate->setChecked(true);
            dlg->dteEndDate->setDate(ACutOff);
        } else {
            dlg->rdbJustTime->setChecked(true);
        }
        while (dlg->trlAgeGroups->topLevelItemCount() > 1)
            dlg->trlAgeGroups->topLevelItem(0)->setText(1, QString());
        for (int width : AWidths) {
            QTreeWidgetItem* last = dlg->trlAgeGroups->topLevelItem(dlg->trlAgeGroups->topLevelItemCount() - 1);
            last->setText(1, QString::number(width));
        }
        if (AMore)
            AMore(dlg);
        dlg->btnOk->click();
    });
}

struct Shown {
    QWidget window;
    std::shared_ptr<TInvAgeFrame> frame;
    explicit Shown(const IInfoViewPtr& view)
    {
        frame = std::dynamic_pointer_cast<TInvAgeFrame>(view);
        if (!frame)
            return;
        window.resize(1300, 600);
        window.setLayout(new QVBoxLayout);
        frame->SetParentControl(&window);
        frame->InitializeView(QString(), nullptr);
        frame->RefreshData(true);
    }
    kvui::TreeNode* total() const { return frame->grdInvAge->topNode(0); }
    kvui::TreeNode* item(const QString& AItemNo) const
    {
        for (kvui::TreeNode* n : total()->children())
            if (n->value(frame->colInvItmNo).toString() == AItemNo)
                return n;
        return nullptr;
    }
    QList<double> groupTotals() const
    {
        QList<double> out;
        for (kvui::Column* c : frame->AgeQtyColumns())
            out << total()->value(c).toDouble();
        return out;
    }
};

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

// Rows of a result set: item, batch, book and counted quantity, and the group quantities.
QStringList stored(int AScheme)
{
    return kvtest::rows(QStringLiteral("select AgeItmID, AgeQty, AgeInQty, AgeQty1, AgeQty2, AgeQty3, AgeQty4, AgeDays from "
                                       "QZ_MRP_InvAgeMain where AgeSchIID=%1 order by AgeItmID")
                            .arg(AScheme));
}

} // namespace

TEST(InvAgeAnalysis, GroupTotalsEqualTheStockOnHand)
{
    TInfoObjectDef* def = ageDef();
    ASSERT_TRUE(def);
    const struct {
        QDate cutOff;
        QList<double> groups;  // expected at the fixed cut-off; empty: only the sum is known
    } cases[] = {
        {CutOff, {6010, 2722.5, 3630, 912}},
        {QDate(), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cutOff.isValid() ? c.cutOff.toString(Qt::ISODate).toStdString() : std::string("today"));
        ScriptedMessageBoxes boxes;
        answerSettings(c.cutOff, {30, 30, 60});
        Shown shown(CreateInvAgeFrame(def));
        ASSERT_TRUE(shown.frame);
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.value(0).text.toStdString();
        ASSERT_EQ(shown.frame->AgeQtyColumns().size(), 4);
        const QList<double> groups = shown.groupTotals();
        double sum = 0;
        for (double g : groups)
            sum += g;
        if (!c.groups.isEmpty()) {
            EXPECT_EQ(groups, c.groups);
        }
        // Every positive stock row of the demo is explained by its receipts;
        // the negative stock of the power cords is in the book quantity only.
        EXPECT_NEAR(sum, stockAt(c.cutOff, "q>0"), 1e-6);
        EXPECT_NEAR(shown.total()->value(shown.frame->colInvQty).toDouble(), stockAt(c.cutOff, "1=1"), 1e-6);
        EXPECT_NEAR(shown.total()->value(shown.frame->colInvInQty).toDouble(), sum, 1e-6);
        EXPECT_EQ(shown.total()->value(shown.frame->colInvItmNo).toString(), QStringLiteral("(总计)"));
    }
}

TEST(InvAgeAnalysis, ReceiptsWithoutBatchTransfersAndEmptyReceiptsExplainStock)
{
    TInfoObjectDef* def = ageDef();
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30, 30, 60});
    Shown shown(CreateInvAgeFrame(def));
    ASSERT_TRUE(shown.frame);
    const int iid = shown.frame->ResultSchemeIID;
    // item: counted quantity; receipt lines as number, type, counted quantity, days, group
    const struct {
        const char* item;
        double counted;
        const char* lines;
    } cases[] = {
        {"PT-604", 100, "CR-261027-01/1 采购入库 100 34 2"},                  // no batch
        {"SA-601", 350, "RK-260905-01/1 产品入库 350 86 3"},                  // moved by an inner transfer
        {"PT-121", 120, "CR-261025-01/1 采购入库 120 36 2"},                  // the newest receipt holds nothing
        {"PT-601", 8000, "CR-260912-01/1 采购入库 3000 79 3;CR-261119-01/1 采购入库 5000 11 1"},
        {"PT-602", 0, ""},                                                    // negative stock: nothing to explain
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.item);
        kvui::TreeNode* node = shown.item(QString::fromUtf8(c.item));
        ASSERT_TRUE(node);
        EXPECT_NEAR(node->value(shown.frame->colInvInQty).toDouble(), c.counted, 1e-9);
        shown.frame->grdInvAge->expandNode(node);
        QStringList lines;
        for (kvui::TreeNode* line : node->children()) {
            int group = 0;
            for (int g = 0; g < shown.frame->AgeQtyColumns().size(); ++g)
                if (!line->value(shown.frame->AgeQtyColumns()[g]).isNull())
                    group = g + 1;
            lines << QStringLiteral("%1 %2 %3 %4 %5")
                         .arg(line->value(shown.frame->colInvBillNo).toString(), line->value(shown.frame->colInvBillType).toString())
                         .arg(line->value(shown.frame->colInvInQty).toDouble())
                         .arg(line->value(shown.frame->colInvAge).toDouble())
                         .arg(group);
        }
        EXPECT_EQ(lines.join(u';'), QString::fromUtf8(c.lines));
    }
    // Prices come with the amount permission; the receipt of no quantity is worth nothing.
    EXPECT_DOUBLE_EQ(DemoLogin::value(QStringLiteral("select AgePrice from QZ_MRP_InvAgeMain where AgeSchIID=%1 and "
                                                     "AgeItmID='IPT-121'").arg(iid)).toDouble(),
                     3.5);
    EXPECT_DOUBLE_EQ(DemoLogin::value(QStringLiteral("select AgeInAmt from QZ_MRP_InvAgeMain where AgeSchIID=%1 and "
                                                     "AgeItmID='IPT-121'").arg(iid)).toDouble(),
                     420);
    // The production receipt of the order tied to a sales order names that order.
    EXPECT_EQ(DemoLogin::value(QStringLiteral("select AgeOrigNo from QZ_MRP_InvAgeDetail where AgeSchIID=%1 and AgeBillNo='RK-261105-01'")
                                   .arg(iid))
                  .toString(),
              QStringLiteral("SO-202612-001"));
    // An item row opens once and keeps its lines; the total row stays open.
    kvui::TreeNode* fan = shown.item(QStringLiteral("FG-1001"));
    shown.frame->grdInvAge->expandNode(fan);
    shown.frame->grdInvAge->collapseNode(fan);
    shown.frame->grdInvAge->expandNode(fan);
    EXPECT_EQ(fan->childCount(), 2);
    shown.frame->grdInvAge->collapseNode(shown.total());
    EXPECT_TRUE(shown.total()->isExpanded());
}

// Esc is pressed while the first receipt pass runs (the procedure that
// follows each pass presses it; tracing transfers back is left out then).
void pressEscDuringPasses()
{
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_UndoInnerTransBills"), [](kvtsql::ProcedureCall&) {
        QCoreApplication::postEvent(qApp, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    });
}

TEST(InvAgeAnalysis, EscBetweenPassesLeavesTheStoredResultsAsTheyWere)
{
    TInfoObjectDef* def = ageDef();
    const QString sets = QStringLiteral("select count(*) from QZ_MRP_InvAgeScheme");
    const QString rows = QStringLiteral("select count(*) from QZ_MRP_InvAgeMain");
    struct Restore {
        ~Restore() { kvdemo::registerStandInProcedures(); }
    } restore;

    // Stopped at the first analysis: no view and nothing stored.
    {
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDYES});
        const int before = count(sets), rowsBefore = count(rows);
        answerSettings(CutOff, {30});
        pressEscDuringPasses();
        EXPECT_FALSE(CreateInvAgeFrame(def));
        kvdemo::registerStandInProcedures();
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("您已按下[Esc]键, 中止正在执行的操作?"));
        EXPECT_EQ(count(sets), before);
        EXPECT_EQ(count(rows), rowsBefore);
    }

    // Stopped in a rerun: the earlier results stay whole; answering No goes on.
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30, 30, 60});
    Shown shown(CreateInvAgeFrame(def));
    ASSERT_TRUE(shown.frame);
    const int iid = shown.frame->ResultSchemeIID;
    const QStringList first = stored(iid);
    ASSERT_FALSE(first.isEmpty());

    boxes.answer({kvos::IDYES});
    answerSettings(QDate(2026, 10, 31), {10});
    pressEscDuringPasses();
    EXPECT_TRUE(shown.frame->ExecCommand(41));
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(shown.frame->ResultSchemeIID, iid);
    EXPECT_EQ(stored(iid), first);
    EXPECT_EQ(shown.groupTotals(), QList<double>({6010, 2722.5, 3630, 912}));
    EXPECT_EQ(ReadDelimitedValue(shown.frame->ViewScheme.Params, QStringLiteral("[AgeGroups]"), ViewSchemeParamSeparator),
              QStringLiteral("30|30|60|"));

    boxes.answer({kvos::IDNO, kvos::IDNO, kvos::IDNO, kvos::IDNO, kvos::IDNO});
    answerSettings(QDate(2026, 10, 31), {});
    EXPECT_TRUE(shown.frame->ExecCommand(41));
    EXPECT_GE(boxes.shown.size(), 2);
    EXPECT_NE(stored(iid), first);
    EXPECT_NEAR(sqlNumber(QStringLiteral("select sum(AgeInQty) from QZ_MRP_InvAgeMain where AgeSchIID=%1").arg(iid)),
                stockAt(QDate(2026, 10, 31), "q>0"), 1e-6);
}

TEST(InvAgeAnalysis, PassesEndWhenTheProcedureBringsNothingNew)
{
    TInfoObjectDef* def = ageDef();
    // A procedure that hands out the same receipt line on every call.
    int calls = 0;
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetLastStockInBills"), [&calls](kvtsql::ProcedureCall& call) {
        ++calls;
        call.run(QStringLiteral(
            "insert #QZ_MRP_LastStockInBillsA (BillTypID, BillTypName, BillID, BillNo, BillEntry, BillDate, BillItmID, BillBatch, "
            "BillStkID, BillStpID, BillQty) select StbTypID, StbTypName, StbID, StbNo, StbEntry, StbDate, StbItmID, StbBatch, "
            "StbStkID, StbStpID, StbQty from QZ_MRP_StockBills where StbNo='CR-260601-01'"));
        call.resultSets = call.run(QStringLiteral("select RowCnt=1")).resultSets;
    });
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {});
    Shown shown(CreateInvAgeFrame(def));
    kvdemo::registerStandInProcedures();
    ASSERT_TRUE(shown.frame);
    EXPECT_EQ(calls, 2);
    EXPECT_NEAR(shown.item(QStringLiteral("PT-142"))->value(shown.frame->colInvInQty).toDouble(), 500, 1e-9);
    EXPECT_NEAR(shown.total()->value(shown.frame->colInvInQty).toDouble(), 500, 1e-9);
}

TEST(InvAgeAnalysis, AListCutAtTheRowLimitSaysSoInItsTotal)
{
    TInfoObjectDef* def = ageDef();
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30});
    const int previous = InfoApplication->MaxResultRowCount;
    InfoApplication->MaxResultRowCount = 5;
    Shown shown(CreateInvAgeFrame(def));
    InfoApplication->MaxResultRowCount = previous;
    ASSERT_TRUE(shown.frame);
    EXPECT_EQ(shown.total()->childCount(), 5);
    EXPECT_EQ(shown.total()->value(shown.frame->colInvItmNo).toString(), QStringLiteral("(前5行合计)"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains(QStringLiteral("超过5行"))) << boxes.shown[0].text.toStdString();
    double shownQty = 0;
    for (kvui::TreeNode* n : shown.total()->children())
        shownQty += n->value(shown.frame->colInvQty).toDouble();
    EXPECT_NEAR(shown.total()->value(shown.frame->colInvQty).toDouble(), shownQty, 1e-9);
}

TEST(InvAgeSettings, ChecksAndWritesTheOptions)
{
    ageDef();
    TViewScheme scheme;
    scheme.ID = QStringLiteral("QZ_MRP.AgeAnalyze");
    const struct {
        const char* what;
        std::function<void(TInvAgeSetDlg*)> steps;
        const char* warning;
    } refusals[] = {
        {"future cut-off", [](TInvAgeSetDlg* d) { d->dteEndDate->setDate(d->Today.addDays(1)); }, "[截止日期]的值没有小于或等于今天 !"},
        {"no stock", [](TInvAgeSetDlg* d) { d->trlInvStocks->topLevelItem(0)->setCheckState(0, Qt::Unchecked); },
         "请选择参与库龄分析的仓库!"},
        {"21 rows",
         [](TInvAgeSetDlg* d) {
             for (int i = 0; i < 20; ++i)
                 d->trlAgeGroups->topLevelItem(d->trlAgeGroups->topLevelItemCount() - 1)->setText(1, QStringLiteral("5"));
         },
         "库龄分组不能超过20个!"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        ScriptedMessageBoxes boxes;
        kvtest::WhenShown<TInvAgeSetDlg>([&r](TInvAgeSetDlg* d) {
            r.steps(d);
            d->btnOk->click();
            EXPECT_TRUE(d->isVisible());
        });
        EXPECT_FALSE(ShowInvAgeSetDlg(&scheme));
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QString::fromUtf8(r.warning));
    }

    // Widths typed, one cleared: captions follow, the closing row is not stored.
    QStringList captions;
    kvtest::WhenShown<TInvAgeSetDlg>([&captions](TInvAgeSetDlg* d) {
        const auto type = [d](int row, const char* days) { d->trlAgeGroups->topLevelItem(row)->setText(1, QLatin1String(days)); };
        type(0, "30");
        type(1, "30");
        type(2, "60");
        type(3, "15");
        type(3, "x");  // not a number: the row goes
        for (int i = 0; i < d->trlAgeGroups->topLevelItemCount(); ++i)
            captions << d->trlAgeGroups->topLevelItem(i)->text(0);
        d->trlInvStocks->topLevelItem(0)->child(1)->setCheckState(0, Qt::Unchecked);
        d->chbMergeItems->item(0)->setCheckState(Qt::Unchecked);
        d->btnOk->click();
    });
    ASSERT_TRUE(ShowInvAgeSetDlg(&scheme));
    EXPECT_EQ(captions, QStringList({"0 - 29天", "30 - 59天", "60 - 119天", "120天以上"}));
    const auto option = [&scheme](const char* key) { return ReadDelimitedValue(scheme.Params, QLatin1String(key), ViewSchemeParamSeparator); };
    EXPECT_EQ(option("[AgeGroups]"), QStringLiteral("30|30|60|"));
    EXPECT_EQ(option("[AllStocks]"), QStringLiteral("0"));
    EXPECT_EQ(option("[SelStocks]"), QStringLiteral("K01|K03|"));
    EXPECT_EQ(option("[MergeBatch]"), QStringLiteral("0"));
    EXPECT_EQ(option("[MergeStock]"), QStringLiteral("1"));

    // Every width cleared: no groups.
    kvtest::WhenShown<TInvAgeSetDlg>([](TInvAgeSetDlg* d) {
        while (d->trlAgeGroups->topLevelItemCount() > 1)
            d->trlAgeGroups->topLevelItem(0)->setText(1, QString());
        EXPECT_EQ(d->trlAgeGroups->topLevelItem(0)->text(0), QStringLiteral("(不分组)"));
        d->btnOk->click();
    });
    ASSERT_TRUE(ShowInvAgeSetDlg(&scheme));
    EXPECT_EQ(option("[AgeGroups]"), QString());
}

TEST(InvAgeSettings, ReferencePlanSchemeMustMeetTheCutOffAndShareAStock)
{
    ageDef();
    // The demo scheme with its MRP periods: weekly from Monday 2027-01-04.
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMrpPeriods=SchPeriods where SchIID=1"));
    TInvAgeSetDlg dlg;
    dlg.ViewScheme.ID = QStringLiteral("QZ_MRP.AgeAnalyze");
    dlg.ByQuery->SetConnection(GlobalADOConnection);
    dlg.Prepare();
    dlg.Today = QDate(2027, 1, 5);
    dlg.cboPlanScheme->addItem(QStringLiteral("2027年第一季度MRP"), 1);
    dlg.cboPlanScheme->setCurrentIndex(1);
    const struct {
        QDate cutOff;
        bool passes;
    } dates[] = {{QDate(2027, 1, 3), true}, {QDate(2027, 1, 2), false}, {QDate(2027, 1, 5), true}};
    for (const auto& c : dates) {
        ScriptedMessageBoxes boxes;
        dlg.dteEndDate->setDate(c.cutOff);
        EXPECT_EQ(dlg.CheckPlanScheme(), c.passes) << c.cutOff.toString(Qt::ISODate).toStdString();
        if (!c.passes) {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_TRUE(boxes.shown[0].text.startsWith(QStringLiteral("库龄分析的截止日期(")));
        }
    }
    ScriptedMessageBoxes boxes;
    dlg.dteEndDate->setDate(QDate(2027, 1, 3));
    for (int i = 0; i < dlg.trlInvStocks->topLevelItem(0)->childCount(); ++i)
        dlg.trlInvStocks->topLevelItem(0)->child(i)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(dlg.CheckPlanScheme());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("库龄分析的参与仓库和参考计划方案\"2027年第一季度MRP\"的参与仓库(01 - 原材料仓、02 - "
                                                  "半成品仓、03 - 成品仓)范围上不存在交集!"));
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMrpPeriods='' where SchIID=1"));
}

TEST(InvAgeAnalysis, ClosingTheViewDeletesItsResultsAndTheUsersOldOnes)
{
    TInfoObjectDef* def = ageDef();
    DemoLogin::instance().exec(QStringLiteral(
        "insert QZ_MRP_InvAgeScheme (SchUsrID, SchTime) values ('plan01', getdate()-10)\r"
        "insert QZ_MRP_InvAgeMain (AgeSchIID, AgeIID, AgeItmID, AgeQty) select max(SchIID), 1, 'IPT-142', 1 from QZ_MRP_InvAgeScheme\r"
        "insert QZ_MRP_InvAgeScheme (SchUsrID, SchTime) values ('buy01', getdate()-10)\r"
        "insert QZ_MRP_InvAgeMain (AgeSchIID, AgeIID, AgeItmID, AgeQty) select max(SchIID), 1, 'IPT-142', 1 from QZ_MRP_InvAgeScheme\r"
        "insert QZ_MRP_InvAgeDetail (AgeSchIID, AgeIID) values (99999, 1)"));
    const int oldOwn = count(QStringLiteral("select max(SchIID) from QZ_MRP_InvAgeScheme where SchUsrID='plan01'"));
    int iid = 0;
    {
        ScriptedMessageBoxes boxes;
        answerSettings(CutOff, {30});
        Shown shown(CreateInvAgeFrame(def));
        ASSERT_TRUE(shown.frame);
        iid = shown.frame->ResultSchemeIID;
        EXPECT_GT(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeMain where AgeSchIID=%1").arg(iid)), 0);
    }
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeScheme where SchIID in (%1, %2)").arg(iid).arg(oldOwn)), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeMain where AgeSchIID in (%1, %2)").arg(iid).arg(oldOwn)), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeDetail where AgeSchIID=99999")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeScheme where SchUsrID='buy01'")), 1);
}

TEST(InvAgeAnalysis, AFailedSaveKeepsThePreviousResults)
{
    TInfoObjectDef* def = ageDef();
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30, 30, 60});
    Shown shown(CreateInvAgeFrame(def));
    ASSERT_TRUE(shown.frame);
    const int iid = shown.frame->ResultSchemeIID;
    const QStringList first = stored(iid);
    const int lines = count(QStringLiteral("select count(*) from QZ_MRP_InvAgeDetail where AgeSchIID=%1").arg(iid));

    // Receipt lines that belong to no item row cannot be stored.
    kvtsql::registerProcedure(QStringLiteral("QZ_MRP_GetLastStockOutDate"), [](kvtsql::ProcedureCall& call) {
        call.run(QStringLiteral("update #QZ_MRP_LastStockInBillsB set BillItmProps='?'"));
    });
    answerSettings(QDate(2026, 10, 31), {10});
    EXPECT_TRUE(shown.frame->ExecCommand(41));
    kvdemo::registerStandInProcedures();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("错误"));
    EXPECT_EQ(stored(iid), first);
    EXPECT_EQ(count(QStringLiteral("select count(*) from QZ_MRP_InvAgeDetail where AgeSchIID=%1").arg(iid)), lines);
    EXPECT_EQ(shown.groupTotals(), QList<double>({6010, 2722.5, 3630, 912}));
}

TEST(InvAgeView, FilterPanelKeepsItemsWithMatchingReceipts)
{
    TInfoObjectDef* def = ageDef();
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30});
    Shown shown(CreateInvAgeFrame(def));
    ASSERT_TRUE(shown.frame);
    TInvAgeFrame* f = shown.frame.get();
    const auto items = [&shown] {
        QStringList out;
        for (kvui::TreeNode* n : shown.total()->children())
            out << n->value(shown.frame->colInvItmNo).toString();
        return out.join(u' ');
    };
    const struct {
        int kind;
        const char* text;
        const char* items;
    } cases[] = {
        {0, "达", "PT-121 PT-131 PT-132 PT-604"},    // wrapped in "%"
        {0, "宏达%", "PT-121 PT-131 PT-132 PT-604"},  // used as typed
        {0, "_达电机配件", "PT-121 PT-131 PT-132 PT-604"},
        {0, "达%", ""},                              // as typed: the partner begins with it
        {1, "PO-202612", "PT-131"},                  // the order the receipt came from
        {2, "SO-202612-001", "FG-1001"},             // the demand behind it
        {3, "华南", "FG-1001"},                      // the demand's customer
        {0, "", "FG-1001 FG-2001 FG-3001 PK-521 PK-541 PT-121 PT-131 PT-132 PT-141 PT-142 PT-201 PT-202 PT-301 PT-601 PT-602 "
                "PT-603 PT-604 RM-102 RM-103 SA-101 SA-201 SA-401 SA-601 SA-602"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        f->cboFilterKind->setCurrentIndex(c.kind);
        f->edtFilterText->setText(QString::fromUtf8(c.text));
        emit f->edtFilterText->textEdited(f->edtFilterText->text());
        EXPECT_TRUE(f->FilterEditMode());
        EXPECT_FALSE(f->grdInvAge->isEnabled());
        TCommandState state;
        EXPECT_TRUE(f->QueryCommandState(Commands::Refresh, state));
        EXPECT_EQ(state, TCommandState());
        f->btnOk->click();
        EXPECT_FALSE(f->FilterEditMode());
        EXPECT_EQ(items(), QString::fromUtf8(c.items));
    }
    // Cancel restores what was applied.
    f->edtFilterText->setText(QStringLiteral("x"));
    emit f->edtFilterText->textEdited(QStringLiteral("x"));
    f->cboFilterKind->setCurrentIndex(2);
    f->btnCancel->click();
    EXPECT_EQ(f->cboFilterKind->currentIndex(), 0);
    EXPECT_EQ(f->edtFilterText->text(), QString());
    EXPECT_TRUE(f->grdInvAge->isEnabled());
}

TEST(InvAgeView, AmountColumnsNeedTheAmountPermissionAndTheCountedAmount)
{
    TInfoObjectDef* def = ageDef();
    ScriptedMessageBoxes boxes;
    answerSettings(CutOff, {30, 30, 60});
    Shown shown(CreateInvAgeFrame(def));
    ASSERT_TRUE(shown.frame);
    TInvAgeFrame* f = shown.frame.get();
    // The counted amount is hidden at first: quantities only, captioned by group.
    EXPECT_FALSE(f->ShowAmounts);
    ASSERT_EQ(f->AgeQtyColumns().size(), 4);
    EXPECT_TRUE(f->AgeAmtColumns().isEmpty());
    EXPECT_EQ(f->AgeQtyColumns()[0]->caption(), QStringLiteral("0 - 29天"));

    const QString fields = QStringLiteral("|ItmNo|ItmName|AgeQty|AgeInQty|AgeInAmt|AgeDays|");
    f->ViewScheme.Params = WriteViewSchemeParam(f->ViewScheme.Params, FieldsSection, fields);
    f->ApplyViewScheme();
    f->RefreshData(true);
    EXPECT_TRUE(f->ShowAmounts);
    ASSERT_EQ(f->AgeAmtColumns().size(), 4);
    EXPECT_EQ(f->AgeQtyColumns()[0]->caption(), QStringLiteral("数量"));
    EXPECT_EQ(f->grdInvAge->band(f->AgeQtyColumns()[3]->bandIndex()).caption, QStringLiteral("120天以上"));
    double amounts = 0;
    for (kvui::Column* c : f->AgeAmtColumns())
        amounts += shown.total()->value(c).toDouble();
    EXPECT_NEAR(amounts, shown.total()->value(f->colInvInAmount).toDouble(), 0.011);
    EXPECT_GT(amounts, 0);

    // Without the permission the amounts go, whatever the scheme shows.
    const TInfoAccessGroups groups = def->AccessGroups;
    std::erase_if(def->AccessGroups, [](const TInfoAccessGroup& g) { return g.ID == QStringLiteral("Money"); });
    f->ApplyViewScheme();
    def->AccessGroups = groups;
    EXPECT_FALSE(f->ShowAmounts);
    EXPECT_TRUE(f->AgeAmtColumns().isEmpty());
    EXPECT_EQ(f->AgeQtyColumns().size(), 4);
}
