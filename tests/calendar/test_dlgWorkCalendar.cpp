// The factory-calendar dialog on the demo account set, planner plan01 logged in.
#include "DemoLogin.h"
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "dlgWorkCalendar.h"
#include "famCalendar.h"
#include "untInfoObjectDef.h"

#include <QComboBox>
#include <QLocale>
#include <QPushButton>

using kvtest::DemoLogin;
using kvtest::WhenShown;

namespace {

std::int64_t D(int y, int m, int d)
{
    return TCalendarFrame::DayOf(QDate(y, m, d));
}

void Select(TCalendarFrame* f, std::int64_t from, std::int64_t to)
{
    QPoint a, b;
    ASSERT_TRUE(f->DateToCell(from, a));
    ASSERT_TRUE(f->DateToCell(to, b));
    f->grdCalendar->setSelection({a.x(), a.y(), b.x(), b.y()});
}

int Holidays(int calIID, const QString& where = QString())
{
    return DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_Holidays where CalIID=%1").arg(calIID) +
                            (where.isEmpty() ? QString() : QStringLiteral(" and ") + where));
}

bool IsHoliday(int calIID, const char* yyyymmdd)
{
    return Holidays(calIID, QStringLiteral("CalHoliday='%1'").arg(QLatin1String(yyyymmdd))) == 1;
}

class WorkCalendarTest : public ::testing::Test {
protected:
    void SetUp() override { DemoLogin::instance(); }
};

} // namespace

TEST_F(WorkCalendarTest, MarksAndClearsRestDaysAndSavesTheShownMonths)
{
    // rows outside the 24 months from November 2026, and another calendar's row inside them
    DemoLogin::instance().exec("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (1, '20261031')\n"
                               "insert QZ_MRP_Holidays (CalIID, CalHoliday) values (1, '20281101')\n"
                               "insert QZ_MRP_Holidays (CalIID, CalHoliday) values (2, '20261225')");
    const int inWindow = Holidays(1, "CalHoliday>='20261101' and CalHoliday<'20281101'");
    ASSERT_GT(inWindow, 10);

    int shown = -1;
    QString calendarName;
    bool canMark = false;
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        EXPECT_EQ(dlg->windowTitle(), "工厂日历设置");
        calendarName = dlg->cboCalendar->currentText();
        EXPECT_EQ(dlg->cboCalendar->count(), 2);
        shown = dlg->famCalendar->HolidayCount();
        canMark = dlg->btnOk->isEnabled() && dlg->btnAddHoliday->isEnabled() && dlg->btnClearHoliday->isEnabled();
        Select(dlg->famCalendar, D(2026, 12, 7), D(2026, 12, 9));
        dlg->btnAddHoliday->click();
        Select(dlg->famCalendar, D(2026, 11, 1), D(2026, 11, 3)); // clears the 1st, the others were no rest days
        dlg->btnClearHoliday->click();
        // the text of dates in SQL never follows the user's locale
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        dlg->btnOk->click();
        QLocale::setDefault(QLocale::c());
        EXPECT_FALSE(dlg->isVisible());
    });
    int calIID = 1;
    EXPECT_TRUE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2026, 11, 15)));
    EXPECT_EQ(calIID, 1);
    EXPECT_EQ(calendarName, "标准日历(双休)");
    EXPECT_EQ(shown, inWindow);
    EXPECT_TRUE(canMark); // plan01's group holds "Update"

    EXPECT_EQ(Holidays(1, "CalHoliday>='20261101' and CalHoliday<'20281101'"), inWindow + 3 - 1);
    for (const char* day : {"20261207", "20261208", "20261209", "20261107", "20270103"})
        EXPECT_TRUE(IsHoliday(1, day)) << day;
    EXPECT_FALSE(IsHoliday(1, "20261101"));
    // what lies outside the shown months or belongs to another calendar stays
    EXPECT_TRUE(IsHoliday(1, "20261031"));
    EXPECT_TRUE(IsHoliday(1, "20281101"));
    EXPECT_TRUE(IsHoliday(2, "20261225"));

    // saving without rest days empties the shown months only
    const int outside = Holidays(1, "(CalHoliday<'20261101' or CalHoliday>='20281101')");
    ASSERT_GE(outside, 2);
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        dlg->famCalendar->grdCalendar->setSelection({1, 1, 21, 48});
        dlg->btnClearHoliday->click();
        EXPECT_EQ(dlg->famCalendar->HolidayCount(), 0);
        dlg->btnOk->click();
    });
    EXPECT_TRUE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2026, 11, 15)));
    EXPECT_EQ(Holidays(1), outside);
    EXPECT_TRUE(IsHoliday(1, "20261031"));
    EXPECT_TRUE(IsHoliday(1, "20281101"));
}

TEST_F(WorkCalendarTest, ChoosingAnotherCalendarLoadsItsRestDaysAndIsReturned)
{
    DemoLogin::instance().exec("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (2, '20270501')\n"
                               "insert QZ_MRP_Holidays (CalIID, CalHoliday) values (2, '20270502')");
    int loaded = -1;
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        dlg->cboCalendar->setCurrentIndex(dlg->cboCalendar->findText("连续生产日历"));
        loaded = dlg->famCalendar->HolidayCount();
        int pos;
        EXPECT_TRUE(dlg->famCalendar->FindHolidayPos(D(2027, 5, 2), pos));
        dlg->btnOk->click();
    });
    int calIID = 0; // none asked for: the first in name order is shown
    EXPECT_TRUE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2027, 4, 1)));
    EXPECT_EQ(calIID, 2);
    EXPECT_EQ(loaded, Holidays(2, "CalHoliday>='20270401'"));

    // Cancel returns no calendar and saves nothing
    const int before = Holidays(2);
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        dlg->famCalendar->grdCalendar->setSelection({1, 1, 21, 4});
        dlg->btnAddHoliday->click();
        dlg->btnCancel->click();
    });
    calIID = 2;
    EXPECT_FALSE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2027, 4, 1)));
    EXPECT_EQ(calIID, 0);
    EXPECT_EQ(Holidays(2), before);
}

TEST_F(WorkCalendarTest, AFailedSaveKeepsTheStoredRestDaysAndTheDialogOpen)
{
    // a rest day may belong to one calendar only here: marking calendar 2's
    // day in calendar 1 makes the insert fail after the delete ran (calendar 2
    // keeps only that day, the demo's own would share days with calendar 1)
    DemoLogin::instance().exec("delete QZ_MRP_Holidays where CalIID=2\n"
                               "create unique index QZ_Test_OneCalendarADay on QZ_MRP_Holidays (CalHoliday)\n"
                               "insert QZ_MRP_Holidays (CalIID, CalHoliday) values (2, '20300306')");
    DemoLogin::instance().exec("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (1, '20300302')");
    const int before = Holidays(1);

    ScriptedMessageBoxes boxes;
    bool stayedOpen = false;
    int marks = 0;
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        Select(dlg->famCalendar, D(2030, 3, 6), D(2030, 3, 6));
        dlg->btnAddHoliday->click();
        dlg->btnOk->click();
        stayedOpen = dlg->isVisible();
        marks = dlg->famCalendar->HolidayCount();
        dlg->btnCancel->click();
    });
    int calIID = 1;
    EXPECT_FALSE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2030, 3, 1)));
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(marks, 2);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.first().caption, "错误");
    EXPECT_EQ(Holidays(1), before);
    EXPECT_TRUE(IsHoliday(1, "20300302"));
    EXPECT_FALSE(GlobalADOConnection->InTransaction());

    DemoLogin::instance().exec("drop index QZ_MRP_Holidays.QZ_Test_OneCalendarADay\n"
                               "delete QZ_MRP_Holidays where CalHoliday>='20300101'");
}

TEST_F(WorkCalendarTest, WithoutTheUpdateGroupCalendarsCanOnlyBeBrowsed)
{
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef("QZ_MRP.Calendar");
    ASSERT_NE(def, nullptr);
    const TInfoAccessGroups groups = def->AccessGroups;
    def->AccessGroups.clear();
    DemoLogin::instance().exec("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (1, '20261110')");
    const int before = Holidays(1);

    bool enabled = true, closed = true;
    int shown = 0;
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        enabled = dlg->btnOk->isEnabled() || dlg->btnAddHoliday->isEnabled() || dlg->btnClearHoliday->isEnabled();
        EXPECT_TRUE(dlg->cboCalendar->isEnabled());
        shown = dlg->famCalendar->HolidayCount();
        dlg->famCalendar->ClearHolidaysAll();
        dlg->accept(); // Enter on the dialog
        closed = !dlg->isVisible();
    });
    int calIID = 1;
    EXPECT_FALSE(ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2026, 11, 1)));
    def->AccessGroups = groups;
    EXPECT_FALSE(enabled);
    EXPECT_FALSE(closed);
    EXPECT_GT(shown, 0);
    EXPECT_EQ(calIID, 0);
    EXPECT_EQ(Holidays(1), before);
}

TEST_F(WorkCalendarTest, WithoutCalendarsNothingIsLoadedOrSaved)
{
    const int before = DemoLogin::count("select count(*) from QZ_MRP_Holidays");
    GlobalADOConnection->BeginTrans();
    ASSERT_TRUE(ExecSQLText(GlobalADOQuery, "delete QZ_MRP_Calendar", false, false, false));
    int items = -1, shown = -1;
    WhenShown<TWorkCalenderDlg>([&](TWorkCalenderDlg* dlg) {
        items = dlg->cboCalendar->count();
        shown = dlg->famCalendar->HolidayCount();
        dlg->famCalendar->grdCalendar->setSelection({1, 1, 21, 2});
        dlg->btnAddHoliday->click();
        dlg->btnOk->click();
    });
    int calIID = 1;
    const bool ok = ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate(2026, 11, 1));
    const int after = DemoLogin::count("select count(*) from QZ_MRP_Holidays");
    GlobalADOConnection->RollbackTrans();
    EXPECT_TRUE(ok);
    EXPECT_EQ(calIID, 0);
    EXPECT_EQ(items, 0);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(after, before);
}
