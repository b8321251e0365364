#pragma once
// A run of months as a compact day grid holding two ordered sets edited on it:
// holidays (single days) and periods (non-overlapping date ranges). Its owners
// load and read the sets; the frame touches no database.
//
// Layout: column 0 names the month, then 21 day columns, three weeks of Monday
// to Sunday; every month takes two rows. The first row of a month starts at
// the column of the weekday of its first day, the second row goes on with day
// 22 - W + 1 in column 1 (W the weekday of the first day, Monday 1 ... Sunday 7).
//
// Dates are whole-day numbers counted from 1899-12-30; 0 means no date.
#include "DrawGrid.h"

#include <QDate>
#include <QFrame>
#include <QList>
#include <cstdint>
#include <vector>

struct TPeriod {
    std::int64_t DateBegin = 0;
    std::int64_t DateEnd = 0; // inclusive
};

class TCalendarFrame : public QFrame {
    Q_OBJECT
public:
    explicit TCalendarFrame(QWidget* AOwner = nullptr);

    kvui::DrawGrid* grdCalendar;

    // Day numbers and dates.
    static std::int64_t DayOf(const QDate& ADate);
    static QDate DateOf(std::int64_t ADay);

    std::int64_t CellToDate(int ACol, int ARow) const;
    bool DateToCell(std::int64_t ADate, QPoint& ACell) const;
    bool FindHolidayPos(std::int64_t ADate, int& APos) const;
    bool FindPeriodPos(std::int64_t ADate, int& APos) const;

    void AddHoliday(std::int64_t ADate);
    void AddSelectionToHoliday();
    void ClearHolidaysSelected();
    void ClearHolidaysAll();

    void AddPeriod(std::int64_t BDate, std::int64_t EDate);
    void AddSelectionToPeriodDay();
    void AddSelectionToPeriodWeek();
    void AddSelectionToPeriodMonth();
    void AddSelectionToPeriodSpan();
    void MergePeriodWithPrior();
    void ClearPeriodsSelected();
    void ClearPeriodsAll();

    int FindPeriodIndex(int ACol, int ARow) const;
    void FocusPeriod(int AIndex);
    void FocusDate(std::int64_t ADate);
    bool SelectionIsEmpty() const;
    bool SelectionCanMerged() const;
    bool SelectionCanAddWeek() const;
    bool SelectionCanAddMonth() const;

    std::int64_t Holidays(int AIndex) const { return FHolidayVals[FHolidayList.at(AIndex)]; }
    TPeriod Periods(int AIndex) const { return FPeriodVals[FPeriodList.at(AIndex)]; }
    int HolidayCount() const { return int(FHolidayList.size()); }
    int PeriodCount() const { return int(FPeriodList.size()); }
    QDate DrawDateStart() const { return FDrawDateStart; }
    void SetDrawDateStart(const QDate& AValue);
    int DrawMonths() const { return FDrawMonths; }
    void SetDrawMonths(int AValue);

signals:
    // Holidays or periods changed through a command of the frame.
    void Changed();

private:
    void grdCalendarDrawCell(QPainter* p, int ACol, int ARow, const QRect& ARect, const kvui::GridDrawState& AState);
    void grdCalendarTopLeftChanged();
    void RemovePeriodsInRange(std::int64_t BDate, std::int64_t EDate);
    void InsertPeriod(int APos, const TPeriod& APeriod);
    void RemovePeriodAt(int APos);
    // The dates of the selected cells in walking order: rows from top to
    // bottom, columns from left to right, cells without a date skipped.
    std::vector<std::int64_t> SelectedDates() const;
    // The weekday of a month's first day, Monday 1 ... Sunday 7.
    static int FirstWeekday(const QDate& AMonth);
    void Repaint();

    QDate FDrawDateStart;
    int FDrawMonths = 24;
    QList<int> FHolidayList;
    std::vector<std::int64_t> FHolidayVals;
    int FHolidayCount = 0;
    QList<int> FPeriodList;
    std::vector<TPeriod> FPeriodVals;
    int FPeriodCount = 0;
};
