#include "famCalendar.h"

#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

namespace {

const QDate kBaseDate(1899, 12, 30);
constexpr int kDayCols = 21;
constexpr int kGrowBy = 100;

// Fill and line colour of the periods that run over several grid rows, by the
// grid row of their first day.
const QRgb kPalette[10][2] = {
    {0xFFC06F, 0xFFAB3F}, {0xE7A1A2, 0xA71D23}, {0x78D168, 0x397D2A}, {0xB5A1E2, 0x43308D}, {0xF7DD8F, 0xB48002},
    {0xDAAEC2, 0x813D5F}, {0x9FDCC9, 0x2C7E65}, {0x9DB7E8, 0x28518E}, {0xFCFA90, 0xA0981D}, {0xF9BA89, 0xB1AF0C},
};
const QColor kGreen(0, 161, 0);

} // namespace

TCalendarFrame::TCalendarFrame(QWidget* AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("famCalendar"));
    grdCalendar = new kvui::DrawGrid(this);
    grdCalendar->setObjectName(QStringLiteral("grdCalendar"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(grdCalendar);
    setFocusProxy(grdCalendar);

    grdCalendar->setColCount(kDayCols + 1);
    grdCalendar->setFixedCols(1);
    grdCalendar->setFixedRows(1);
    grdCalendar->setDefaultColWidth(20);
    grdCalendar->setColWidth(0, 40);
    grdCalendar->setDefaultRowHeight(20);
    grdCalendar->setDrawCellHook([this](QPainter* p, int c, int r, const QRect& rect, const kvui::GridDrawState& st) {
        grdCalendarDrawCell(p, c, r, rect, st);
    });
    connect(grdCalendar, &kvui::DrawGrid::topLeftChanged, this, [this] { grdCalendarTopLeftChanged(); });

    const QDate today = QDate::currentDate();
    FDrawDateStart = QDate(today.year(), today.month(), 1);
    SetDrawMonths(24);
}

std::int64_t TCalendarFrame::DayOf(const QDate& ADate)
{
    return ADate.isValid() ? kBaseDate.daysTo(ADate) : 0;
}

QDate TCalendarFrame::DateOf(std::int64_t ADay)
{
    return kBaseDate.addDays(ADay);
}

int TCalendarFrame::FirstWeekday(const QDate& AMonth)
{
    return QDate(AMonth.year(), AMonth.month(), 1).dayOfWeek(); // Monday 1 ... Sunday 7
}

void TCalendarFrame::SetDrawDateStart(const QDate& AValue)
{
    if (!AValue.isValid())
        return;
    FDrawDateStart = QDate(AValue.year(), AValue.month(), 1);
    Repaint();
}

void TCalendarFrame::SetDrawMonths(int AValue)
{
    if (AValue <= 0)
        return;
    FDrawMonths = std::min(AValue, 255);
    grdCalendar->setRowCount(2 * FDrawMonths + 1);
    Repaint();
}

void TCalendarFrame::Repaint()
{
    grdCalendar->viewport()->update();
}

// ---- cells and dates -----------------------------------------------------

std::int64_t TCalendarFrame::CellToDate(int ACol, int ARow) const
{
    if (ACol < 1 || ACol > kDayCols || ARow < 1 || ARow > 2 * FDrawMonths)
        return 0;
    const QDate month = FDrawDateStart.addMonths((ARow - 1) / 2);
    const int w = FirstWeekday(month);
    const int day = (ARow - 1) % 2 == 0 ? ACol - w + 1 : 22 - w + ACol;
    if (day < 1 || day > month.daysInMonth())
        return 0;
    return DayOf(QDate(month.year(), month.month(), day));
}

bool TCalendarFrame::DateToCell(std::int64_t ADate, QPoint& ACell) const
{
    const QDate d = DateOf(ADate);
    if (ADate <= 0 || d < FDrawDateStart)
        return false;
    const int k = (d.year() - FDrawDateStart.year()) * 12 + d.month() - FDrawDateStart.month();
    if (k >= FDrawMonths)
        return false;
    const int w = FirstWeekday(d);
    const int col = d.day() + w - 1;
    if (col <= kDayCols)
        ACell = QPoint(col, 2 * k + 1);
    else
        ACell = QPoint(d.day() - 22 + w, 2 * k + 2);
    return true;
}

std::vector<std::int64_t> TCalendarFrame::SelectedDates() const
{
    std::vector<std::int64_t> dates;
    const kvui::GridRect s = grdCalendar->selection();
    for (int r = s.top; r <= s.bottom; ++r)
        for (int c = s.left; c <= s.right; ++c)
            if (const std::int64_t d = CellToDate(c, r))
                dates.push_back(d);
    return dates;
}

// ---- searching -----------------------------------------------------------

bool TCalendarFrame::FindHolidayPos(std::int64_t ADate, int& APos) const
{
    int low = 0, high = HolidayCount() - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        const std::int64_t v = Holidays(mid);
        if (v == ADate) {
            APos = mid;
            return true;
        }
        if (v < ADate)
            low = mid + 1;
        else
            high = mid - 1;
    }
    APos = low;
    return false;
}

bool TCalendarFrame::FindPeriodPos(std::int64_t ADate, int& APos) const
{
    // the first period that ends on or after the date
    int low = 0, high = PeriodCount() - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        if (Periods(mid).DateEnd < ADate)
            low = mid + 1;
        else
            high = mid - 1;
    }
    APos = low;
    return low < PeriodCount() && Periods(low).DateBegin <= ADate;
}

int TCalendarFrame::FindPeriodIndex(int ACol, int ARow) const
{
    const std::int64_t d = CellToDate(ACol, ARow);
    int pos;
    return d > 0 && FindPeriodPos(d, pos) ? pos : -1;
}

// ---- holidays ------------------------------------------------------------

void TCalendarFrame::AddHoliday(std::int64_t ADate)
{
    int pos;
    if (ADate <= 0 || FindHolidayPos(ADate, pos))
        return;
    if (FHolidayCount >= int(FHolidayVals.size()))
        FHolidayVals.resize(FHolidayVals.size() + kGrowBy);
    FHolidayVals[FHolidayCount] = ADate;
    FHolidayList.insert(pos, FHolidayCount);
    ++FHolidayCount;
}

void TCalendarFrame::AddSelectionToHoliday()
{
    for (std::int64_t d : SelectedDates())
        AddHoliday(d);
    Repaint();
    emit Changed();
}

void TCalendarFrame::ClearHolidaysSelected()
{
    int pos;
    for (std::int64_t d : SelectedDates())
        if (FindHolidayPos(d, pos))
            FHolidayList.removeAt(pos);
    Repaint();
    emit Changed();
}

void TCalendarFrame::ClearHolidaysAll()
{
    FHolidayList.clear();
    FHolidayVals.clear();
    FHolidayCount = 0;
    Repaint();
}

// ---- periods -------------------------------------------------------------

void TCalendarFrame::InsertPeriod(int APos, const TPeriod& APeriod)
{
    if (FPeriodCount >= int(FPeriodVals.size()))
        FPeriodVals.resize(FPeriodVals.size() + kGrowBy);
    FPeriodVals[FPeriodCount] = APeriod;
    FPeriodList.insert(APos, FPeriodCount);
    ++FPeriodCount;
}

void TCalendarFrame::RemovePeriodAt(int APos)
{
    FPeriodList.removeAt(APos);
}

void TCalendarFrame::RemovePeriodsInRange(std::int64_t BDate, std::int64_t EDate)
{
    int i;
    FindPeriodPos(BDate, i);
    while (i < PeriodCount()) {
        TPeriod& p = FPeriodVals[FPeriodList[i]];
        if (BDate <= p.DateBegin && p.DateEnd <= EDate) {
            RemovePeriodAt(i); // the walk stays at the same index
        } else if (p.DateBegin < BDate && EDate < p.DateEnd) {
            const TPeriod rest{EDate + 1, p.DateEnd};
            p.DateEnd = BDate - 1;
            InsertPeriod(i + 1, rest);
            return;
        } else if (EDate < p.DateBegin) {
            return;
        } else if (p.DateBegin < BDate) {
            p.DateEnd = BDate - 1;
            ++i;
        } else {
            p.DateBegin = EDate + 1;
            return;
        }
    }
}

void TCalendarFrame::AddPeriod(std::int64_t BDate, std::int64_t EDate)
{
    if (BDate <= 0 || EDate < BDate)
        return;
    RemovePeriodsInRange(BDate, EDate);
    int pos;
    FindPeriodPos(BDate, pos);
    InsertPeriod(pos, {BDate, EDate});
}

void TCalendarFrame::AddSelectionToPeriodDay()
{
    if (SelectionIsEmpty())
        return;
    std::int64_t last = 0;
    for (std::int64_t d : SelectedDates()) {
        int pos;
        if (!FindPeriodPos(d, pos))
            InsertPeriod(pos, {d, d});
        else if (Periods(pos).DateBegin != Periods(pos).DateEnd)
            AddPeriod(d, d);
        last = d;
    }
    if (last > 0)
        FocusDate(last + 1);
    Repaint();
    emit Changed();
}

void TCalendarFrame::AddSelectionToPeriodWeek()
{
    if (!SelectionCanAddWeek())
        return;
    const kvui::GridRect s = grdCalendar->selection();
    std::int64_t last = 0;
    for (int c = s.left; c <= s.right; c += 7)
        if (const std::int64_t d = CellToDate(c, s.top)) {
            AddPeriod(d, d + 6);
            last = d + 6;
        }
    if (last > 0)
        FocusDate(last + 1);
    Repaint();
    emit Changed();
}

void TCalendarFrame::AddSelectionToPeriodMonth()
{
    if (!SelectionCanAddMonth())
        return;
    const kvui::GridRect s = grdCalendar->selection();
    const std::int64_t d = CellToDate(s.left, s.top);
    const QDate first = DateOf(d);
    std::int64_t e = d + first.daysInMonth() - 1;
    // a month from late January would reach into March: it ends with February
    if (first.month() == 1 && DateOf(e).month() == 3)
        e = DayOf(QDate(first.year(), 3, 1)) - 1;
    AddPeriod(d, e);
    FocusDate(e + 1);
    Repaint();
    emit Changed();
}

void TCalendarFrame::AddSelectionToPeriodSpan()
{
    if (SelectionIsEmpty())
        return;
    const std::vector<std::int64_t> dates = SelectedDates();
    std::int64_t last = 0;
    for (size_t i = 0; i < dates.size();) {
        size_t j = i;
        while (j + 1 < dates.size() && dates[j + 1] == dates[j] + 1)
            ++j;
        AddPeriod(dates[i], dates[j]);
        last = dates[j];
        i = j + 1;
    }
    if (last > 0)
        FocusDate(last + 1);
    Repaint();
    emit Changed();
}

bool TCalendarFrame::SelectionCanMerged() const
{
    const kvui::GridRect s = grdCalendar->selection();
    const bool oneRow = s.top == s.bottom;
    const bool wholeRows = s.left == 1 && s.right == kDayCols && s.top != 1;
    if (!oneRow && !wholeRows)
        return false;
    std::int64_t d1 = 0;
    for (int c = s.left; c <= s.right && !d1; ++c)
        d1 = CellToDate(c, s.top);
    if (!d1)
        return false;
    int prior, own;
    if (!FindPeriodPos(d1 - 1, prior))
        return false;
    return !FindPeriodPos(d1, own) || own != prior;
}

void TCalendarFrame::MergePeriodWithPrior()
{
    if (!SelectionCanMerged())
        return;
    const kvui::GridRect s = grdCalendar->selection();
    std::int64_t d1 = 0, d2 = 0;
    for (int c = s.left; c <= s.right && !d1; ++c)
        d1 = CellToDate(c, s.top);
    for (int c = s.right; c >= s.left && !d2; --c)
        d2 = CellToDate(c, s.bottom);
    int prior;
    if (!d2 || !FindPeriodPos(d1 - 1, prior))
        return;
    AddPeriod(Periods(prior).DateBegin, d2);
    FocusDate(d2 + 1);
    Repaint();
    emit Changed();
}

void TCalendarFrame::ClearPeriodsSelected()
{
    const std::vector<std::int64_t> dates = SelectedDates();
    for (auto it = dates.rbegin(); it != dates.rend(); ++it) {
        int pos;
        if (FindPeriodPos(*it, pos))
            RemovePeriodAt(pos);
    }
    Repaint();
    emit Changed();
}

void TCalendarFrame::ClearPeriodsAll()
{
    FPeriodList.clear();
    FPeriodVals.clear();
    FPeriodCount = 0;
    Repaint();
    emit Changed();
}

// ---- focus and selection -------------------------------------------------

void TCalendarFrame::FocusPeriod(int AIndex)
{
    if (AIndex >= 0 && AIndex < PeriodCount())
        FocusDate(Periods(AIndex).DateBegin);
}

void TCalendarFrame::FocusDate(std::int64_t ADate)
{
    QPoint cell;
    if (DateToCell(ADate, cell))
        grdCalendar->focusCell(cell.x(), cell.y());
}

bool TCalendarFrame::SelectionIsEmpty() const
{
    const kvui::GridRect s = grdCalendar->selection();
    return s.top == s.bottom && !CellToDate(s.left, s.top) && !CellToDate(s.right, s.top);
}

bool TCalendarFrame::SelectionCanAddWeek() const
{
    const kvui::GridRect s = grdCalendar->selection();
    return s.top == s.bottom && CellToDate(s.left, s.top) != 0;
}

bool TCalendarFrame::SelectionCanAddMonth() const
{
    return SelectionCanAddWeek();
}

// ---- drawing -------------------------------------------------------------

void TCalendarFrame::grdCalendarTopLeftChanged()
{
    grdCalendar->invalidateCell(0, 0);
}

void TCalendarFrame::grdCalendarDrawCell(QPainter* p, int ACol, int ARow, const QRect& ARect,
                                         const kvui::GridDrawState& AState)
{
    static const QString headWeekDays = QStringLiteral("一二三四五六日");
    QString text;
    if (ARow == 0 && ACol == 0) {
        const int top = std::max(1, grdCalendar->topRow());
        text = QString::number(FDrawDateStart.addMonths((top - 1) / 2).year()) + QStringLiteral("年");
    } else if (ARow == 0) {
        text = headWeekDays.at((ACol - 1) % 7);
    } else if (ACol == 0) {
        text = QString::number(FDrawDateStart.addMonths((ARow - 1) / 2).month()) + QStringLiteral("月");
    }
    const std::int64_t d = (ARow > 0 && ACol > 0) ? CellToDate(ACol, ARow) : 0;
    if (d > 0)
        text = QString::number(DateOf(d).day());

    int pos = -1;
    if (d > 0 && FindPeriodPos(d, pos)) {
        const TPeriod period = Periods(pos);
        // the grid row of the period's first shown day and of its last day
        QPoint first, last;
        if (!DateToCell(period.DateBegin, first))
            DateToCell(DayOf(FDrawDateStart), first);
        if (!DateToCell(period.DateEnd, last))
            last = QPoint(kDayCols, 2 * FDrawMonths);
        const bool plain = !AState.selected && !AState.focused && !AState.fixed;
        QColor line = kGreen;
        if (plain && first.y() != last.y()) {
            const QRgb* entry = kPalette[first.y() % 10];
            p->fillRect(ARect, QColor(entry[0]));
            line = QColor(entry[1]);
        }
        QPen pen(line, 3);
        pen.setJoinStyle(Qt::MiterJoin);
        p->save();
        p->setPen(pen);
        const QRect in = ARect.adjusted(1, 1, -2, -2);
        if (period.DateBegin == period.DateEnd) {
            p->drawRect(in);
        } else {
            p->drawLine(in.topLeft(), in.topRight());
            p->drawLine(in.bottomLeft(), in.bottomRight());
            if (d == period.DateBegin)
                p->drawLine(in.topLeft(), in.bottomLeft());
            if (d == period.DateEnd)
                p->drawLine(in.topRight(), in.bottomRight());
        }
        p->restore();
    }

    int hpos;
    if (d > 0 && FindHolidayPos(d, hpos)) {
        QFont f = p->font();
        f.setBold(true);
        p->setFont(f);
        p->setPen(Qt::red);
    }
    p->drawText(ARect, Qt::AlignCenter, text);
}
