#include "dlgWorkCalendar.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "famCalendar.h"
#include "untApplication.h"
#include "untInfoObjectDef.h"
#include "untMRPLevelSelects.h"
#include "untMRPUtils.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

using untMRPUtils::DateToDay;
using untMRPUtils::DayToDateStr;

namespace {

const QString kCalendarListSQL = QStringLiteral("select * from QZ_MRP_Calendar order by CalName");
const QString kHolidaysSQL = QStringLiteral(
    "select CalHoliday from QZ_MRP_Holidays where CalIID=%1 and CalHoliday>='%2' and CalHoliday<'%3' order by CalHoliday");
const QString kDeleteWindowSQL =
    QStringLiteral("delete QZ_MRP_Holidays where CalIID=%1 and CalHoliday>='%2' and CalHoliday<'%3'\r");
const QString kInsertHolidaySQL = QStringLiteral("insert QZ_MRP_Holidays (CalIID, CalHoliday) values (%1, '%2')\r");

// The user may mark rest days when the definition grants the "Update" group.
bool CanUpdateCalendars()
{
    TInfoObjectDef* def = InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Calendar")) : nullptr;
    return def && def->GetAccessGroup(QStringLiteral("Update"));
}

} // namespace

// ---- shared with the plan-periods dialog ----------------------------------

QString HolidayWindowBegin(const TCalendarFrame* AFrame)
{
    // 'yyyymmdd' from the day number: never the user's date format
    return DayToDateStr(TCalendarFrame::DayOf(AFrame->DrawDateStart()));
}

QString HolidayWindowEnd(const TCalendarFrame* AFrame)
{
    return DayToDateStr(TCalendarFrame::DayOf(AFrame->DrawDateStart().addMonths(AFrame->DrawMonths())));
}

void FillCalendarList(QComboBox* ACombo, TADOQuery* AQuery, int ACalIID)
{
    const QSignalBlocker block(ACombo);
    ACombo->clear();
    if (ExecSQLText(AQuery, kCalendarListSQL, true, false, true)) {
        for (; !AQuery->Eof(); AQuery->Next())
            ACombo->addItem(AQuery->FieldByName(QStringLiteral("CalName"))->AsString(),
                            AQuery->FieldByName(QStringLiteral("CalIID"))->AsInteger());
        AQuery->Close();
    }
    if (ACombo->count() > 0) {
        const int i = ACombo->findData(ACalIID);
        ACombo->setCurrentIndex(i >= 0 ? i : 0);
    }
}

bool LoadFrameHolidays(TCalendarFrame* AFrame, TADOQuery* AQuery, int ACalIID)
{
    AFrame->ClearHolidaysAll();
    if (ACalIID == 0)
        return true;
    if (!ExecSQLText(AQuery, kHolidaysSQL.arg(ACalIID).arg(HolidayWindowBegin(AFrame), HolidayWindowEnd(AFrame)), true,
                     false, true))
        return false;
    for (; !AQuery->Eof(); AQuery->Next())
        AFrame->AddHoliday(DateToDay(untMRPLevelSelects::VariantToDateTime(AQuery->Fields()->Field(0)->Value())));
    AQuery->Close();
    AFrame->grdCalendar->viewport()->update();
    return true;
}

// ---- the dialog --------------------------------------------------------------

TWorkCalenderDlg::TWorkCalenderDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("WorkCalenderDlg"));
    setWindowTitle(QStringLiteral("工厂日历设置"));
    setMinimumSize(550, 400);
    resize(560, 520);

    cxLabel1 = new QLabel(QStringLiteral("日历名称(&N):"), ClientArea());
    cboCalendar = new QComboBox(ClientArea());
    cboCalendar->setObjectName(QStringLiteral("cboCalendar"));
    cxLabel1->setBuddy(cboCalendar);
    famCalendar = new TCalendarFrame(ClientArea());
    btnAddHoliday = new QPushButton(QStringLiteral(" 设置休息日(&A)"), this);
    btnAddHoliday->setObjectName(QStringLiteral("btnAddHoliday"));
    btnAddHoliday->setAutoDefault(false);
    btnClearHoliday = new QPushButton(QStringLiteral(" 清除休息日(&C)"), this);
    btnClearHoliday->setObjectName(QStringLiteral("btnClearHoliday"));
    btnClearHoliday->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(cxLabel1);
    top->addWidget(cboCalendar, 1);
    auto* layout = new QVBoxLayout(ClientArea());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(famCalendar, 1);
    // the marking buttons sit on the left of OK and Cancel
    if (auto* buttons = qobject_cast<QHBoxLayout*>(btnOk->parentWidget()->layout()->itemAt(1)->layout())) {
        buttons->insertWidget(0, btnAddHoliday);
        buttons->insertWidget(1, btnClearHoliday);
    }
    famCalendar->setFocus();
    setFocusProxy(famCalendar);

    connect(cboCalendar, &QComboBox::currentIndexChanged, this, [this] { cboCalendarPropertiesChange(); });
    connect(btnAddHoliday, &QPushButton::clicked, famCalendar, &TCalendarFrame::AddSelectionToHoliday);
    connect(btnClearHoliday, &QPushButton::clicked, famCalendar, &TCalendarFrame::ClearHolidaysSelected);
}

int TWorkCalenderDlg::SelectedCalIID() const
{
    return cboCalendar->currentIndex() >= 0 ? cboCalendar->currentData().toInt() : 0;
}

void TWorkCalenderDlg::LoadCalendars(int ACalIID, TADOQuery* AQuery, const QDate& ADate)
{
    FQuery = AQuery;
    famCalendar->SetDrawDateStart(ADate);
    FillCalendarList(cboCalendar, FQuery, ACalIID);
    cboCalendarPropertiesChange();
}

void TWorkCalenderDlg::cboCalendarPropertiesChange()
{
    if (!FQuery)
        return;
    LoadFrameHolidays(famCalendar, FQuery, SelectedCalIID());
}

bool TWorkCalenderDlg::SaveHolidays()
{
    const int calIID = SelectedCalIID();
    if (calIID == 0 || !FQuery)
        return true;
    QString batch = kDeleteWindowSQL.arg(calIID).arg(HolidayWindowBegin(famCalendar), HolidayWindowEnd(famCalendar));
    for (int i = 0; i < famCalendar->HolidayCount(); ++i)
        batch += kInsertHolidaySQL.arg(calIID).arg(DayToDateStr(famCalendar->Holidays(i)));
    try {
        // the window's old rows go only together with the new ones coming in
        kvado::ScopedTransaction tran(FQuery->Connection() ? FQuery->Connection() : GlobalADOConnection);
        ExecSQLText(FQuery, batch, false, true, true);
        tran.Commit();
        return true;
    } catch (const Exception& e) {
        ShowExceptionMessage(e);
        return false;
    }
}

void TWorkCalenderDlg::accept()
{
    // nothing is accepted past a disabled OK (Enter included); the dialog
    // stays open with the user's marks when the save fails
    if (btnOk->isEnabled() && SaveHolidays())
        TDialog::accept();
}

bool ShowWorkCalenderDlg(int& ACalIID, TADOQuery* AQuery, const QDate& ADate)
{
    auto dlg = std::make_unique<TWorkCalenderDlg>(QApplication::activeWindow());
    dlg->LoadCalendars(ACalIID, AQuery, ADate);
    const bool canUpdate = CanUpdateCalendars();
    dlg->btnOk->setEnabled(canUpdate);
    dlg->btnAddHoliday->setEnabled(canUpdate);
    dlg->btnClearHoliday->setEnabled(canUpdate);
    if (dlg->exec() == QDialog::Accepted) {
        ACalIID = dlg->SelectedCalIID();
        return true;
    }
    ACalIID = 0;
    return false;
}

void OpenWorkCalendar()
{
    int calIID = 0;
    ShowWorkCalenderDlg(calIID, GlobalADOQuery, QDate::currentDate());
}
