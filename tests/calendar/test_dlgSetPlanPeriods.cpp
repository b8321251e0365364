// The plan periods dialog: building a scheme's periods on the calendar, the
// gap check and the wrapping into delay, normal and exceed periods.
#include "DemoLogin.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "TreeList.h"
#include "dlgSetPlanPeriods.h"
#include "dlgWorkCalendar.h"
#include "famCalendar.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>

using kvtest::DemoLogin;
using kvtest::WhenShown;

namespace {

std::int64_t D(int y, int m, int d)
{
    return TCalendarFrame::DayOf(QDate(y, m, d));
}

QString Text(double day)
{
    return TCalendarFrame::DateOf(std::int64_t(day)).toString("yyyy-MM-dd");
}

// "kind:begin..end" per period; the delay period's begin is day 0.
QStringList Describe(const TPlanPeriods& periods)
{
    QStringList r;
    for (const TPlanPeriod& p : periods)
        r << QString::number(int(p.PeriodKind)) + u':' + (p.DateBegin == 0 ? QStringLiteral("0") : Text(p.DateBegin)) +
                 QStringLiteral("..") + Text(p.DateEnd);
    return r;
}

void Select(TCalendarFrame* f, std::int64_t from, std::int64_t to)
{
    QPoint a, b;
    ASSERT_TRUE(f->DateToCell(from, a));
    ASSERT_TRUE(f->DateToCell(to, b));
    f->grdCalendar->setSelection({a.x(), a.y(), b.x(), b.y()});
}

QStringList TreeTexts(kvui::TreeList* tree)
{
    QStringList r;
    for (kvui::TreeNode* n : tree->topNodes())
        r << n->text(tree->column(0)) + QStringLiteral(" #") + QString::number(n->imageIndex()) + QStringLiteral(" @") +
                 n->data().toString();
    return r;
}

TPlanPeriod Normal(std::int64_t b, std::int64_t e)
{
    return {ppkNormal, double(b), double(e)};
}

class PlanPeriodsTest : public ::testing::Test {
protected:
    void SetUp() override { DemoLogin::instance(); }
};

} // namespace

TEST_F(PlanPeriodsTest, BuildsDaysWeeksAndMonthsAndWrapsThemIntoDelayAndExceed)
{
    TPlanPeriods periods;
    int calIID = 1;
    QStringList tree;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "计划展望期设置");
        TCalendarFrame* f = dlg->famCalendar;
        Select(f, D(2027, 1, 4), D(2027, 1, 6));
        dlg->btnAddDay->click();
        Select(f, D(2027, 1, 7), D(2027, 1, 7));
        dlg->btnAddWeek->click();
        Select(f, D(2027, 1, 14), D(2027, 1, 14));
        dlg->btnAddMonth->click();
        Select(f, D(2027, 2, 14), D(2027, 2, 16));
        dlg->btnAddSpan->click();
        tree = TreeTexts(dlg->trlPlanPeriods);
        dlg->cboCalendar->setCurrentIndex(dlg->cboCalendar->findText("连续生产日历"));
        dlg->btnOk->click();
        EXPECT_FALSE(dlg->isVisible());
    });
    ASSERT_TRUE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 1, 1)));
    EXPECT_EQ(calIID, 2);
    EXPECT_EQ(Describe(periods), (QStringList{"0:0..2027-01-03", "1:2027-01-04..2027-01-04", "1:2027-01-05..2027-01-05",
                                              "1:2027-01-06..2027-01-06", "1:2027-01-07..2027-01-13",
                                              "1:2027-01-14..2027-02-13", "1:2027-02-14..2027-02-16",
                                              "2:2027-02-17..9999-12-31"}));
    EXPECT_EQ(tree, (QStringList{"2027/01/04 (一) #0 @0", "2027/01/05 (二) #0 @1", "2027/01/06 (三) #0 @2",
                                 "2027/01/07 (四) - 01/13 (三) #2 @3", "2027/01/14 (四) - 02/13 (六) #3 @4",
                                 "2027/02/14 (日) - 02/16 (二) #1 @5"}));

    // reopened, the normal periods come back and can be changed
    QStringList reopened;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        reopened = TreeTexts(dlg->trlPlanPeriods);
        Select(dlg->famCalendar, D(2027, 1, 5), D(2027, 1, 5));
        dlg->actPeriodRemove->trigger();
        Select(dlg->famCalendar, D(2027, 1, 5), D(2027, 1, 5));
        ASSERT_TRUE(dlg->actPeriodMerge->isEnabled()); // 4 January lies before, in a period
        dlg->actPeriodMerge->trigger();
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 1, 1)));
    EXPECT_EQ(reopened, tree);
    EXPECT_EQ(Describe(periods).mid(0, 3), (QStringList{"0:0..2027-01-03", "1:2027-01-04..2027-01-05", "1:2027-01-06..2027-01-06"}));
}

TEST_F(PlanPeriodsTest, MonthsFromTheEndOfJanuaryAndFromSundaysAndMondays)
{
    TPlanPeriods periods;
    int calIID = 0;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        TCalendarFrame* f = dlg->famCalendar;
        for (std::int64_t first : {D(2026, 11, 1), D(2026, 12, 1)}) { // November 2026 starts on a Sunday
            Select(f, first, first);
            dlg->btnAddMonth->click();
        }
        Select(f, D(2027, 1, 1), D(2027, 1, 17)); // the first row of January
        dlg->btnAddSpan->click();
        Select(f, D(2027, 1, 18), D(2027, 1, 30));
        dlg->btnAddSpan->click();
        for (std::int64_t first : {D(2027, 1, 31), D(2027, 3, 1)}) { // March 2027 starts on a Monday
            Select(f, first, first);
            dlg->btnAddMonth->click();
        }
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2026, 11, 20)));
    EXPECT_EQ(Describe(periods), (QStringList{"0:0..2026-10-31", "1:2026-11-01..2026-11-30", "1:2026-12-01..2026-12-31",
                                              "1:2027-01-01..2027-01-17", "1:2027-01-18..2027-01-30",
                                              "1:2027-01-31..2027-02-28", "1:2027-03-01..2027-03-31",
                                              "2:2027-04-01..9999-12-31"}));
    EXPECT_EQ(calIID, 1); // none asked for: the first calendar by name
}

TEST_F(PlanPeriodsTest, AGapIsRefusedWithItsFirstAndLastMissingDay)
{
    TPlanPeriods periods{{ppkDelay, 0, double(D(2027, 1, 3))}, Normal(D(2027, 1, 4), D(2027, 1, 4)),
                         Normal(D(2027, 1, 6), D(2027, 1, 12)), {ppkExceed, double(D(2027, 1, 13)), 2958465}};
    const TPlanPeriods given = periods;
    ScriptedMessageBoxes boxes;
    bool stayedOpen = false;
    std::int64_t focused = 0;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        dlg->btnOk->click();
        stayedOpen = dlg->isVisible();
        focused = dlg->famCalendar->CellToDate(dlg->famCalendar->grdCalendar->col(), dlg->famCalendar->grdCalendar->row());
        dlg->btnCancel->click();
    });
    int calIID = 2;
    EXPECT_FALSE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 1, 1)));
    EXPECT_TRUE(stayedOpen);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].caption, "警告");
    EXPECT_EQ(boxes.shown[0].text, "展望期间需要连续出现, 而日期2027/01/05至2027/01/05间未设置展望期, 请修正!");
    EXPECT_EQ(focused, D(2027, 1, 5));
    // cancelled: nothing changes
    EXPECT_EQ(Describe(periods), Describe(given));
    EXPECT_EQ(calIID, 2);
}

TEST_F(PlanPeriodsTest, NoPeriodsAreAcceptedOnlyAfterConfirming)
{
    TPlanPeriods periods{{ppkDelay, 0, double(D(2027, 1, 3))}, Normal(D(2027, 1, 4), D(2027, 1, 10)),
                         {ppkExceed, double(D(2027, 1, 11)), 2958465}};
    ScriptedMessageBoxes boxes;
    boxes.answer({2, 1}); // Cancel, then OK
    bool openAfterCancel = false;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        ASSERT_TRUE(dlg->actPeriodRemoveAll->isEnabled());
        dlg->btnRemoveAll->click();
        EXPECT_FALSE(dlg->actPeriodRemoveAll->isEnabled());
        EXPECT_EQ(dlg->trlPlanPeriods->topCount(), 0);
        dlg->btnOk->click();
        openAfterCancel = dlg->isVisible();
        dlg->btnOk->click();
    });
    int calIID = 1;
    EXPECT_TRUE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 1, 1)));
    EXPECT_TRUE(openAfterCancel);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "您没有设置任何展望期间, 确认?");
    EXPECT_TRUE(periods.empty());
}

TEST_F(PlanPeriodsTest, OnlyDelayAndExceedShowNoPeriodAndTheActionsFollowTheSelection)
{
    TPlanPeriods periods{{ppkDelay, 0, double(D(2027, 1, 3))}, {ppkExceed, double(D(2027, 1, 4)), 2958465}};
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        EXPECT_EQ(dlg->famCalendar->PeriodCount(), 0);
        EXPECT_EQ(dlg->trlPlanPeriods->topCount(), 0);
        EXPECT_EQ(dlg->trlPlanPeriods->visibleColumns().size(), 1);
        EXPECT_FALSE(dlg->actPeriodRemoveAll->isEnabled());
        // blank cells before the first of January 2027 (a Friday)
        dlg->famCalendar->grdCalendar->setSelection({1, 1, 3, 1});
        EXPECT_FALSE(dlg->actPeriodAddDay->isEnabled());
        EXPECT_FALSE(dlg->actPeriodAddSpan->isEnabled());
        EXPECT_FALSE(dlg->actPeriodAddWeek->isEnabled());
        EXPECT_FALSE(dlg->btnAddMonth->isEnabled());
        EXPECT_FALSE(dlg->actPeriodRemove->isEnabled());
        EXPECT_TRUE(dlg->actSetCalender->isEnabled());
        Select(dlg->famCalendar, D(2027, 1, 5), D(2027, 1, 6));
        EXPECT_TRUE(dlg->btnAddDay->isEnabled());
        EXPECT_TRUE(dlg->actPeriodAddWeek->isEnabled());
        EXPECT_FALSE(dlg->actPeriodMerge->isEnabled());
        EXPECT_FALSE(dlg->actPeriodRemove->isEnabled()); // no period yet
        // Every command shows its caption whole ("延展前时段(H)", not cut).
        for (QPushButton* b : {dlg->btnAddDay, dlg->btnAddWeek, dlg->btnAddMonth, dlg->btnAddSpan, dlg->btnMerge, dlg->btnRemove,
                               dlg->btnRemoveAll, dlg->btnSetCalendar})
            EXPECT_GE(b->width(), b->fontMetrics().horizontalAdvance(b->text().remove(u'&')) + 8) << b->text().toStdString();
        dlg->btnCancel->click();
    });
    int calIID = 1;
    EXPECT_FALSE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 1, 1)));
}

TEST_F(PlanPeriodsTest, TheCalendarsRestDaysAreShownAndItsSettingOpensTheWorkCalendar)
{
    DemoLogin::instance().exec("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (2, '20270605')");
    int firstShown = -1, secondShown = -1;
    QString chosen;
    WhenShown<TSetPlanPeriodsDlg>([&](TSetPlanPeriodsDlg* dlg) {
        firstShown = dlg->famCalendar->HolidayCount();
        // the work calendar dialog opens on the selected calendar and the month shown
        WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* cal) {
            EXPECT_EQ(cal->famCalendar->DrawDateStart(), QDate(2027, 6, 1));
            cal->cboCalendar->setCurrentIndex(cal->cboCalendar->findText("连续生产日历"));
            cal->btnOk->click();
        });
        dlg->btnSetCalendar->click();
        chosen = dlg->cboCalendar->currentText();
        secondShown = dlg->famCalendar->HolidayCount();
        dlg->btnCancel->click();
    });
    TPlanPeriods periods;
    int calIID = 1;
    EXPECT_FALSE(ShowSetPlanPeriodsDlg(periods, calIID, GlobalADOQuery, QDate(2027, 6, 10)));
    EXPECT_EQ(firstShown, DemoLogin::count("select count(*) from QZ_MRP_Holidays where CalIID=1 and CalHoliday>='20270601' "
                                           "and CalHoliday<'20290601'"));
    EXPECT_EQ(chosen, "连续生产日历");
    EXPECT_EQ(secondShown, DemoLogin::count("select count(*) from QZ_MRP_Holidays where CalIID=2 and CalHoliday>='20270601' "
                                            "and CalHoliday<'20290601'"));
    EXPECT_GE(secondShown, 1);
}

TEST(PlanPeriodTree, OneNodePerNormalPeriodWithItsTextAndImage)
{
    const TPlanPeriods periods{{ppkDelay, 0, double(D(2027, 1, 3))},
                               Normal(D(2027, 1, 4), D(2027, 1, 4)),
                               Normal(D(2027, 1, 5), D(2027, 1, 9)),
                               Normal(D(2027, 1, 10), D(2027, 1, 16)),
                               Normal(D(2027, 1, 17), D(2027, 1, 24)),
                               {ppkExceed, double(D(2027, 1, 25)), 2958465}};
    kvui::TreeList tree;
    tree.addNode(); // what was there goes
    FillPlanPeriodTree(&tree, periods);
    EXPECT_EQ(tree.visibleColumns().size(), 1); // the texts show, in a band of their own
    EXPECT_EQ(TreeTexts(&tree), (QStringList{"2027/01/04 (一) #0 @1", "2027/01/05 (二) - 01/09 (六) #1 @2",
                                             "2027/01/10 (日) - 01/16 (六) #2 @3", "2027/01/17 (日) - 01/24 (日) #3 @4"}));
}
