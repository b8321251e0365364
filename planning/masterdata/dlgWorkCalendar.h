#pragma once
// The factory-calendar dialog: pick one of the factory calendars and mark or
// clear its rest days over the months shown; OK saves them. Calendars are
// only listed here, never written.
#include "clsDialog.h"

#include <QDate>

class QComboBox;
class QLabel;
class QPushButton;
class TADOQuery;
class TCalendarFrame;

class TWorkCalenderDlg : public TDialog {
    Q_OBJECT
public:
    explicit TWorkCalenderDlg(QWidget* parent = nullptr);

    QLabel* cxLabel1;
    QComboBox* cboCalendar;
    TCalendarFrame* famCalendar;
    QPushButton* btnAddHoliday;
    QPushButton* btnClearHoliday;

    void LoadCalendars(int ACalIID, TADOQuery* AQuery, const QDate& ADate);
    // The CalIID of the selected calendar, 0 when none is selected.
    int SelectedCalIID() const;
    // Replaces the shown window's rows of the selected calendar by the marked
    // days, in one transaction; True when saved (or nothing to save).
    bool SaveHolidays();

public slots:
    void accept() override;

private:
    void cboCalendarPropertiesChange();
    TADOQuery* FQuery = nullptr;
};

// Shows the dialog on the calendar ACalIID (else the first), its grid starting
// with ADate's month. On OK ACalIID is the chosen calendar (0 when none) and
// the result is True; on Cancel ACalIID is 0 and the result False.
bool ShowWorkCalenderDlg(int& ACalIID, TADOQuery* AQuery, const QDate& ADate);
// What the navigator's factory calendar opens.
void OpenWorkCalendar();

// Shared with the plan-periods dialog.
// Fills a calendar list (text CalName, item data CalIID) and selects ACalIID,
// else the first item; signals stay blocked while it fills.
void FillCalendarList(QComboBox* ACombo, TADOQuery* AQuery, int ACalIID);
// The frame's holidays replaced by the calendar's rest days inside the months
// it shows; nothing is loaded for calendar 0. False after a failed read
// (reported by the SQL runner).
bool LoadFrameHolidays(TCalendarFrame* AFrame, TADOQuery* AQuery, int ACalIID);
// First day shown and the day after the last month shown, as 'yyyymmdd'.
QString HolidayWindowBegin(const TCalendarFrame* AFrame);
QString HolidayWindowEnd(const TCalendarFrame* AFrame);
