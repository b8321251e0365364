#include "untMRPOutputRecs.h"

#include "untMRPCalendar.h"
#include "untMRPOutputTree.h"
#include "untMRPUtils.h"

#include <QCollator>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <numeric>

using namespace untMRPUtils;

namespace {

const QChar KeySeparator(0xF8F5);
const QString Bar = QStringLiteral("|");

bool isEmptyValue(const QVariant& v)
{
    return !v.isValid() || v.isNull() || (v.typeId() == QMetaType::QString && v.toString().trimmed().isEmpty());
}

double round8(double v)
{
    return std::round(v * 1e8) / 1e8;
}

QString numberText(double v)
{
    return QString::number(round8(v), 'f', 8);
}

QString quoted(const QString& text)
{
    return QuoteSQL(text);
}

// A write-back template with its pieces: "%N:s" is piece N, "%s" the next
// piece, "%%" a percent sign. A piece is never read as a template itself.
QString fillTemplate(const QString& APattern, const QStringList& APieces)
{
    QString out;
    int next = 0;
    for (int i = 0; i < APattern.size(); ++i) {
        const QChar c = APattern[i];
        if (c != u'%' || i + 1 >= APattern.size()) {
            out += c;
            continue;
        }
        if (APattern[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        int j = i + 1;
        int index = -1;
        int k = j;
        while (k < APattern.size() && APattern[k].isDigit())
            ++k;
        if (k > j && k < APattern.size() && APattern[k] == u':') {
            index = APattern.mid(j, k - j).toInt();
            j = k + 1;
        }
        if (j < APattern.size() && (APattern[j] == u's' || APattern[j] == u'd')) {
            if (index < 0)
                index = next;
            out += APieces.value(index);
            next = index + 1;
            i = j;
            continue;
        }
        out += c;
    }
    return out;
}

int compareTexts(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive);
}

// A base-36 plan-period index ("0".."9", "A".."Z", either case); -1 when not one.
int periodIndexOf(const QString& name)
{
    bool ok = false;
    const int index = name.trimmed().toInt(&ok, 36);
    return ok && index >= 0 ? index : -1;
}

} // namespace

// ---- rows ------------------------------------------------------------------

bool TMRPOutputRow::IsEmpty(const QString& AColumn) const
{
    return isEmptyValue(Value(AColumn));
}

QString TMRPOutputRow::Text(const QString& AColumn) const
{
    const QVariant v = Value(AColumn);
    if (!v.isValid() || v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double)
        return FloatToText(v.toDouble());
    return v.toString();
}

double TMRPOutputRow::Number(const QString& AColumn, double AEmpty) const
{
    const QVariant v = Value(AColumn);
    if (isEmptyValue(v))
        return AEmpty;
    bool ok = false;
    const double d = v.typeId() == QMetaType::QString ? QLocale::c().toDouble(v.toString().trimmed(), &ok) : v.toDouble(&ok);
    return ok ? d : AEmpty;
}

int TMRPOutputRow::Whole(const QString& AColumn, int AEmpty) const
{
    return static_cast<int>(std::lround(Number(AColumn, AEmpty)));
}

QDate TMRPOutputRow::Date(const QString& AColumn) const
{
    const QVariant v = Value(AColumn);
    if (isEmptyValue(v))
        return QDate();
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    return v.toDateTime().date();
}

const TMRPOutputRow* TMRPOutputRow::Top() const
{
    const TMRPOutputRow* r = this;
    while (r->Parent)
        r = r->Parent;
    return r;
}

// ---- options ---------------------------------------------------------------

TMRPOutputOptions& TMRPOutputRun::GetOutputOptions(int ABillType)
{
    if (ABillType == obtProduction)
        return OptionsMO;
    if (ABillType == obtSubcontract || ABillType == obtSubcontractDirect)
        return OptionsOO;
    return OptionsPR;
}

const TMRPOutputOptions& TMRPOutputRun::GetOutputOptions(int ABillType) const
{
    return const_cast<TMRPOutputRun*>(this)->GetOutputOptions(ABillType);
}

// ---- merge keys --------------------------------------------------------------

QString TMRPOutputRun::MergeKey(const TMRPOutputRow& ARow) const
{
    const int billType = ARow.Whole(QStringLiteral("SupDestType"));
    QString key = QString::number(billType) + KeySeparator + ARow.Text(QStringLiteral("SupItmID")) + KeySeparator
        + ARow.Text(QStringLiteral("SupItmProps")) + KeySeparator + QString::number(ARow.Whole(QStringLiteral("SupGroupType")))
        + KeySeparator + ARow.Text(QStringLiteral("SupGroupNo")) + KeySeparator + ARow.Text(QStringLiteral("SupDeptID"));
    const int track = GetOutputOptions(billType).MergeTrack;
    const TMRPOutputRow* top = ARow.Top();
    // Rows made or subcontracted with different bills of materials never share a
    // bill row, whatever the tracking: the row would be made to the wrong BOM.
    if (billType == obtProduction || billType == obtSubcontract || billType == obtSubcontractDirect)
        key += KeySeparator + QString::number(ARow.Whole(QStringLiteral("SupBomType"))) + u':' + ARow.Text(QStringLiteral("SupBomID"));
    if (track <= 0)
        return key + KeySeparator + top->Text(QStringLiteral("SupTrackKey"));
    key += KeySeparator + QString::number(track - 1);
    const QString origType = QString::number(top->Whole(QStringLiteral("SupOrigType")));
    const QString origID = top->Text(QStringLiteral("SupOrigID"));
    switch (track) {
    case 1:
        key += Bar + origType + Bar + origID + Bar + QString::number(top->Whole(QStringLiteral("SupOrigEntry")));
        break;
    case 2:
        key += Bar + origType + Bar + origID + Bar + top->Text(QStringLiteral("SupOrigItmID"));
        break;
    case 3:
        key += Bar + origType + Bar + origID;
        break;
    case 4:
        key += Bar + top->Text(QStringLiteral("SupCustID")) + Bar + top->Text(QStringLiteral("SupOrigItmID"));
        break;
    case 5:
        key += Bar + top->Text(QStringLiteral("SupCustID"));
        break;
    case 6:
        key += Bar + top->Text(QStringLiteral("SupOrigTag"));
        break;
    default:
        break;
    }
    return key;
}

// ---- adding rows -------------------------------------------------------------

namespace {

// One piece of a row's split: its plan period (-1: the row's own date) and quantity.
struct TPiece {
    int Period;
    TOutputQty Qty;
};

} // namespace

QDate TMRPOutputRun::OutputPieceDate(int APeriod, const QDate& ARowDate, const QDate& APrevious) const
{
    const TInt64DynArray& h = Holidays;
    // Nothing is due before today, nor before the piece before it.
    std::int64_t floor = DayOfDate(Today);
    if (APrevious.isValid())
        floor = std::max(floor, DayOfDate(APrevious));
    std::int64_t day;
    if (APeriod > 0 && APeriod < static_cast<int>(MrpPeriods.size())) {
        // A period's piece is due on its first working day; a period without
        // one (a holiday week) has its piece ready on the working day before.
        const TPlanPeriod& p = MrpPeriods[size_t(APeriod)];
        const std::int64_t begin = DateToDay(p.DateBegin);
        day = WorkDayOnOrAfter(h, begin);
        if (day > DateToDay(p.DateEnd))
            day = WorkDayOnOrBefore(h, begin);
    } else if (APeriod == 0 && !MrpPeriods.empty()) {
        // What is overdue is due on the last working day before the horizon.
        day = WorkDayOnOrBefore(h, DateToDay(MrpPeriods[0].DateEnd));
    } else {
        day = ARowDate.isValid() ? WorkDayOnOrBefore(h, DayOfDate(ARowDate)) : floor;
    }
    if (day < floor)
        day = WorkDayOnOrAfter(h, floor);
    return DateOfDay(day);
}

void TMRPOutputRun::AddOutputNode(const TMRPOutputRow& ARow)
{
    const QString key = MergeKey(ARow);
    const int billType = ARow.Whole(QStringLiteral("SupDestType"));
    const QDate rowDate = ARow.Date(QStringLiteral("SupDate"));
    const int scale = OutputQtyScale(ARow.Value(QStringLiteral("ItmPutInteger")), ARow.Value(QStringLiteral("ItmDecimal")));
    TOutputQty toOutput = TOutputQty::FromValue(ARow.Value(QStringLiteral("SupDoDestQty")), scale);
    if (!toOutput.IsPositive())
        return;
    const QString hints = ARow.Text(QStringLiteral("SupHints"));
    std::vector<TPiece> pieces;
    if (GetOutputOptions(billType).MergePeriods || hints.trimmed().isEmpty()) {
        pieces.push_back({-1, toOutput});
    } else {
        // Split over the plan-period hints: what was output before is taken from
        // the first periods, each period gives at most what is still to output.
        TOutputQty before = TOutputQty::FromValue(ARow.Value(QStringLiteral("SupDestQty")), scale);
        double textUnits = 0; // what the hints' texts could not carry of their quantities
        const QStringList lines = hints.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
        for (const QString& line : lines) {
            if (!toOutput.IsPositive())
                break;
            const qsizetype eq = line.indexOf(u'=');
            if (eq <= 0)
                continue;
            TOutputQty h;
            const int index = periodIndexOf(line.left(eq));
            // An unreadable line, or one naming a period the scheme does not have, is passed over.
            if (!TOutputQty::FromText(QStringView(line).mid(eq + 1), scale, h) || index < 0
                || index >= static_cast<int>(MrpPeriods.size()))
                continue;
            textUnits += OutputTextUnit(h.ToDouble());
            if (before >= h) {
                before -= h;
                continue;
            }
            h -= before;
            before = TOutputQty();
            h = Min(h, toOutput);
            pieces.push_back({index, h});
            toOutput -= h;
        }
        if (toOutput.IsPositive()) {
            // A trace the hints' texts dropped belongs to the last period's
            // piece; anything more is one more piece at the row's own date.
            if (!pieces.empty() && toOutput.ToDouble() <= textUnits)
                pieces.back().Qty += toOutput;
            else
                pieces.push_back({-1, toOutput});
        }
    }
    TOutputQty offset;
    QDate previous;
    for (const TPiece& piece : pieces) {
        if (!piece.Qty.IsPositive())
            continue;
        const QDate due = OutputPieceDate(piece.Period, rowDate, previous);
        AddOutputRec(ARow, key, due, piece.Qty, offset);
        offset += piece.Qty;
        previous = due;
    }
}

void TMRPOutputRun::AddOutputRec(const TMRPOutputRow& ARow, QString AKey, QDate ADate, const TOutputQty& AQty,
                                 const TOutputQty& AOffset)
{
    const TMRPOutputRow* top = ARow.Top();
    const int billType = ARow.Whole(QStringLiteral("SupDestType"));
    const QDate rowDate = ARow.Date(QStringLiteral("SupDate"));
    const QDate rowDraw = ARow.Date(QStringLiteral("SupDrawDate"));
    const double qty = AQty.ToDouble();

    // 1. The start: the due date less the row's lead time in working days,
    // never after the due date nor before today's first working day.
    if (!ADate.isValid())
        ADate = DateOfDay(WorkDayOnOrAfter(Holidays, DayOfDate(Today)));
    const int lead = rowDate.isValid() && rowDraw.isValid() ? std::max(0, WorkDaysBetween(Holidays, DayOfDate(rowDate), DayOfDate(rowDraw))) : 0;
    std::int64_t drawDay = std::min(LeadTimeStart(Holidays, lead, DayOfDate(ADate)), DayOfDate(ADate));
    if (drawDay < DayOfDate(Today))
        drawDay = std::min(WorkDayOnOrAfter(Holidays, DayOfDate(Today)), DayOfDate(ADate));
    const QDate draw = DateOfDay(drawDay);

    // 2. The period part when periods are kept apart.
    if (!GetOutputOptions(billType).MergePeriods)
        AKey += u':' + QString::number(FindPlanPeriodIndex(MrpPeriods, static_cast<double>(DayOfDate(ADate))));

    // 3-5. The record of the key: merged into, or new.
    const QString folded = AKey.toCaseFolded();
    int index = FKeys.value(folded, -1);
    if (index >= 0) {
        TMRPOutputRec& r = FRecs[size_t(index)];
        r.SupQty += AQty;
        r.SupStdQty = r.SupQty.ToDouble();
        if (FLastRow != &ARow) {
            const QString iid = top->Text(QStringLiteral("SupIID"));
            if (!r.SupIIDs.contains(u',' + iid + u','))
                r.SupIIDs += iid + u',';
            const int origType = top->Whole(QStringLiteral("SupOrigType"));
            if (r.SupOrigType != origType) {
                r.SupOrigType = 0;
                r.SupOrigID.clear();
                r.SupOrigNo.clear();
                r.SupOrigCustPO.clear();
                r.SupOrigEntry = 0;
            } else if (compareTexts(r.SupOrigID, top->Text(QStringLiteral("SupOrigID"))) != 0) {
                r.SupOrigID.clear();
                r.SupOrigNo.clear();
                r.SupOrigCustPO.clear();
                r.SupOrigEntry = 0;
            } else if (r.SupOrigEntry != top->Whole(QStringLiteral("SupOrigEntry"))) {
                r.SupOrigEntry = 0;
            }
            if (r.SupOrigCustID != top->Text(QStringLiteral("SupCustID"))) {
                r.SupOrigCustID.clear();
                r.SupOrigCustName.clear();
            }
            if (r.SupOrigItmID != top->Text(QStringLiteral("SupOrigItmID")))
                r.SupOrigItmID.clear();
            if (r.SupOrigTag != top->Text(QStringLiteral("SupOrigTag")))
                r.SupOrigTag.clear();
            if (r.SupOrigSubTag != top->Text(QStringLiteral("SupOrigSubTag")))
                r.SupOrigSubTag.clear();
            const QString note = ARow.Text(QStringLiteral("SupNote")).trimmed();
            if (!note.isEmpty())
                r.SupNote = r.SupNote.isEmpty() ? note : r.SupNote + QStringLiteral("; ") + note;
            if (ADate < r.SupDate)
                r.SupDate = ADate;
            if (draw < r.SupDrawDate)
                r.SupDrawDate = draw;
            FLastRow = &ARow;
        }
    } else {
        TMRPOutputRec r;
        r.SupIID = top->Text(QStringLiteral("SupIID"));
        r.SupIIDs = u',' + r.SupIID + u',';
        r.SupOrigType = top->Whole(QStringLiteral("SupOrigType"));
        r.SupOrigID = top->Text(QStringLiteral("SupOrigID"));
        r.SupOrigNo = top->Text(QStringLiteral("SupOrigNo"));
        r.SupOrigEntry = top->Whole(QStringLiteral("SupOrigEntry"));
        r.SupOrigItmID = top->Text(QStringLiteral("SupOrigItmID"));
        r.SupOrigCustID = top->Text(QStringLiteral("SupCustID"));
        r.SupOrigCustName = top->Text(QStringLiteral("SupCust"));
        r.SupOrigCustPO = top->Text(QStringLiteral("SupCustPO"));
        r.SupOrigTag = top->Text(QStringLiteral("SupOrigTag"));
        r.SupOrigSubTag = top->Text(QStringLiteral("SupOrigSubTag"));
        r.SupType = billType;
        r.SupItmID = ARow.Text(QStringLiteral("SupItmID"));
        r.SupItmNo = ARow.Text(QStringLiteral("SupItmNo"));
        r.SupItmProps = ARow.Text(QStringLiteral("SupItmProps"));
        for (int i = 0; i < 10; ++i)
            r.SupItmProp[i] = ARow.Text(QStringLiteral("SupItmProp%1").arg(i + 1));
        r.SupGroupType = ARow.Whole(QStringLiteral("SupGroupType"));
        r.SupGroupNo = ARow.Text(QStringLiteral("SupGroupNo"));
        r.SupMinQty = ARow.Number(QStringLiteral("ItmMinQty"));
        r.SupLotQty = ARow.Number(QStringLiteral("ItmLotQty"));
        r.SupQty = AQty;
        r.SupStdQty = qty;
        r.SupUnitID = ARow.Text(QStringLiteral("SupDestUntID"));
        r.SupUnitRate = ARow.Number(QStringLiteral("SupDestUntRate"), 1);
        r.SupBomType = ARow.Whole(QStringLiteral("SupBomType"));
        r.SupBomID = ARow.Text(QStringLiteral("SupBomID"));
        r.SupSuppID = ARow.Text(QStringLiteral("SupDeptID"));
        r.SupBuyerID = ARow.Text(QStringLiteral("ItmBuyerID"));
        r.SupPlannerID = ARow.Text(QStringLiteral("ItmPlannerID"));
        r.SupNote = ARow.Text(QStringLiteral("SupNote")).trimmed();
        r.SupDate = ADate;
        r.SupBillDate = Today;
        r.SupDrawDate = draw;
        index = static_cast<int>(FRecs.size());
        FRecs.push_back(std::move(r));
        FKeys.insert(folded, index);
        FLastRow = &ARow;
    }
    TMRPOutputRec& r = FRecs[size_t(index)];

    // 6. The piece in the supply's own unit: a substitute row converts by the
    // quantities of its demand row and its own. A zero quantity converts nothing.
    QString q = AQty.ToText();
    if (ARow.Level == 2 && ARow.Parent) {
        const double own = ARow.Number(QStringLiteral("SupQty"));
        q = numberText(own != 0 ? round8(qty * ARow.Parent->Number(QStringLiteral("SupQty")) / own) : 0);
    }
    // 7. Write-backs of the piece.
    if (!SupplyWriteBackFmt.isEmpty())
        r.SupUpdateSQL += FormatWriteBack(SupplyWriteBackFmt, {top->Text(QStringLiteral("SupBillNo")),
                                                          QString::number(top->Whole(QStringLiteral("SupIID"))), q,
                                                          quoted(ARow.Text(QStringLiteral("SupNote")))});
    if (ARow.Level == 2 && ARow.Parent && !AlterWriteBackFmt.isEmpty())
        r.SupUpdateSQL += FormatWriteBack(AlterWriteBackFmt, {top->Text(QStringLiteral("SupIID")), ARow.Parent->Text(QStringLiteral("SupIID")),
                                                         quoted(ARow.Text(QStringLiteral("SupItmID"))),
                                                         quoted(ARow.Text(QStringLiteral("SupItmProps"))), q});
    // 8. The tree row and what it gave.
    r.SupNodes.push_back({&ARow, qty});

    // 9. Substitute groups of purchase requisitions.
    if (ARow.Level != 1 || r.SupType != obtPurchase || !ItemSubsPR || !ARow.Parent)
        return;
    double left = qty;
    double offset = AOffset.ToDouble();
    for (const TMRPOutputRow* group : ARow.Parent->Children) {
        if (left <= 0)
            break;
        double u = group->Number(QStringLiteral("SupUnDestQty"));
        if (group->Children.empty() || u <= 0)
            continue;
        if (u <= offset) {
            offset -= u;
            continue;
        }
        u -= offset;
        offset = 0;
        u = std::min(u, left);
        left -= u;
        const double groupQty = group->Number(QStringLiteral("SupQty"));
        QStringList lines;
        for (const TMRPOutputRow* c : group->Children)
            lines << c->Text(QStringLiteral("SupItmID")) + KeySeparator + c->Text(QStringLiteral("SupItmProps")) + KeySeparator
                    + numberText(groupQty != 0 ? c->Number(QStringLiteral("SupQty")) / groupQty : 0);
        lines.sort();
        const QString key = lines.join(u'\n');
        auto found = std::find_if(r.SupSubItems.rbegin(), r.SupSubItems.rend(),
                                  [&key](const TMRPOutputSub& s) { return compareTexts(s.Key, key) == 0; });
        if (found != r.SupSubItems.rend()) {
            found->Qty += u;
            continue;
        }
        TMRPOutputSub sub;
        sub.Key = key;
        sub.Qty = u;
        for (const TMRPOutputRow* c : group->Children) {
            TMRPOutputSubItem item;
            item.ItemID = c->Text(QStringLiteral("SupItmID"));
            item.ItemProps = c->Text(QStringLiteral("SupItmProps"));
            for (int i = 0; i < 10; ++i)
                item.ItemProp[i] = c->Text(QStringLiteral("SupItmProp%1").arg(i + 1));
            item.MRPGroupType = c->Whole(QStringLiteral("SupGroupType"));
            item.MRPGroupNo = c->Text(QStringLiteral("SupGroupNo"));
            item.SuppID = c->Whole(QStringLiteral("SupDestType")) == obtProduction ? r.SupSuppID : c->Text(QStringLiteral("SupDeptID"));
            item.SubRate = groupQty != 0 ? round8(c->Number(QStringLiteral("SupQty")) / groupQty) : 0;
            sub.Items.push_back(item);
        }
        r.SupSubItems.push_back(std::move(sub));
    }
}

// ---- order and bills ---------------------------------------------------------

int TMRPOutputRun::CompareOutputRecsByKey(int AKeyNo, int I, int J) const
{
    const TMRPOutputRec& a = FRecs[size_t(I)];
    const TMRPOutputRec& b = FRecs[size_t(J)];
    static const QCollator collator = [] {
        QCollator c;
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    auto text = [](const QString& x, const QString& y) { return collator.compare(x, y); };
    int r = 0;
    switch (AKeyNo) {
    case okSupplier:
        if ((r = text(a.SupSuppID, b.SupSuppID)) == 0)
            r = text(a.SupCurID, b.SupCurID);
        return r;
    case okBuyer:
        return text(a.SupBuyerID, b.SupBuyerID);
    case okPlanner:
        return text(a.SupPlannerID, b.SupPlannerID);
    case okOrigin:
        if ((r = text(a.SupOrigCustID, b.SupOrigCustID)) != 0)
            return r;
        if ((r = a.SupOrigType - b.SupOrigType) != 0)
            return r;
        if ((r = text(a.SupOrigNo, b.SupOrigNo)) != 0)
            return r;
        if ((r = a.SupOrigEntry - b.SupOrigEntry) != 0)
            return r;
        if ((r = text(a.SupOrigItmID, b.SupOrigItmID)) != 0)
            return r;
        return text(a.SupOrigTag, b.SupOrigTag);
    case okItemNo:
        return text(a.SupItmNo, b.SupItmNo);
    case okDate:
        return a.SupDate < b.SupDate ? -1 : (b.SupDate < a.SupDate ? 1 : 0);
    default:
        return 0;
    }
}

int TMRPOutputRun::CompareOutputRows(int I, int J, bool ASplitOnly) const
{
    const TMRPOutputRec& a = FRecs[size_t(I)];
    const TMRPOutputRec& b = FRecs[size_t(J)];
    if (int r = a.SupType - b.SupType; r != 0)
        return r;
    const TMRPOutputOptions& o = GetOutputOptions(a.SupType);
    for (int key : {o.SplitBy1, o.SplitBy2, o.SplitBy3})
        if (key > 0)
            if (int r = CompareOutputRecsByKey(key, I, J); r != 0)
                return r;
    if (ASplitOnly)
        return 0;
    for (int key : {o.SortBy1, o.SortBy2, o.SortBy3})
        if (key > 0)
            if (int r = CompareOutputRecsByKey(key, I, J); r != 0)
                return r;
    return I - J;
}

std::vector<std::vector<int>> TMRPOutputRun::CutIntoBills() const
{
    std::vector<int> order(FRecs.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [this](int a, int b) { return CompareOutputRows(a, b, false) < 0; });
    std::vector<std::vector<int>> bills;
    for (int index : order) {
        if (!bills.empty()) {
            std::vector<int>& bill = bills.back();
            const int maxRows = std::max(1, GetOutputOptions(FRecs[size_t(bill.front())].SupType).MaxRows);
            if (static_cast<int>(bill.size()) < maxRows && CompareOutputRows(bill.front(), index, true) == 0) {
                bill.push_back(index);
                continue;
            }
        }
        bills.push_back({index});
    }
    return bills;
}

QString FormatWriteBack(const QString& AFormat, const QStringList& AArgs)
{
    return fillTemplate(AFormat, AArgs);
}

double ApplyOutputLotRule(double AStdQty, double AMinQty, double ALotQty)
{
    const double base = AMinQty > 0 ? AMinQty : 0;
    if (AStdQty - base > 1e-9)
        return ALotQty > 0 ? base + std::ceil((AStdQty - base) / ALotQty - 1e-9) * ALotQty : AStdQty;
    return base;
}

TOutputQty ApplyOutputLotRule(const TOutputQty& AStdQty, double AMinQty, double ALotQty)
{
    const int s = AStdQty.Scale();
    const TOutputQty base = TOutputQty::FromNumber(AMinQty > 0 ? AMinQty : 0, 8);
    const TOutputQty above = AStdQty - base;
    if (!above.IsPositive())
        return base.Rounded(s);
    if (!(ALotQty > 0))
        return AStdQty;
    const auto lots = static_cast<std::int64_t>(std::ceil(above.ToDouble() / ALotQty - 1e-9));
    return (base + TOutputQty::FromNumber(ALotQty, 8).Times(lots)).Rounded(s);
}

// ---- the checks before output ------------------------------------------------

namespace {

const QString NoMainDemand = QStringLiteral("主需求信息(%s)不存在或未审核!");
const QString OverRelease = QStringLiteral("拟投放数(%s)超过可投放数(%s=计划数量%s-已投放数%s)!");
const QString NotAbove = QStringLiteral("[%s]的值(%s)没有大于%s !");
const QString NotAtLeast = QStringLiteral("[%s]的值(%s)没有大于或等于%s !");
const QString NoPermission = QStringLiteral("没有投放%s的权限, 该行放弃投放!");
const QString MustNotBeEmpty = QStringLiteral("[%s]的内容不能为空!");
const QString DoesNotExist = QStringLiteral("[%s]的值(%s)不存在!");
const QString BeforeToday = QStringLiteral("[%s]的值(%s)早于今天(%s), 投放时自动调整为今天!");
const QString DateOrder = QStringLiteral("[%s]的值没有大于或等于[%s]的值!");

QString shortDate(const QDate& d)
{
    return d.toString(QStringLiteral("yyyy/MM/dd"));
}

} // namespace

int TMRPOutputCheck::Errors() const
{
    return int(std::count_if(Findings.begin(), Findings.end(),
                             [](const TMRPOutputFinding& f) { return f.FindingKind == TMRPOutputFinding::Error; }));
}

int TMRPOutputCheck::Warnings() const
{
    return int(Findings.size()) - Errors();
}

QString OutputColumnCaption(const QString& AColumn)
{
    static const QHash<QString, QString> captions{
        {QStringLiteral("SupOrigType"), QStringLiteral("主需求")},   {QStringLiteral("SupOrigNo"), QStringLiteral("主需求号")},
        {QStringLiteral("SupOrigEntry"), QStringLiteral("主需求行")}, {QStringLiteral("SupOrigItmNo"), QStringLiteral("主需求物料代码")},
        {QStringLiteral("SupBillNo"), QStringLiteral("单据编号")},    {QStringLiteral("SupDestType"), QStringLiteral("供应类型")},
        {QStringLiteral("SupQty"), QStringLiteral("计划数量")},       {QStringLiteral("SupDestQty"), QStringLiteral("已投放数")},
        {QStringLiteral("SupUnDestQty"), QStringLiteral("未投放数")}, {QStringLiteral("SupDoDestQty"), QStringLiteral("拟投放数")},
        {QStringLiteral("SupDept"), QStringLiteral("供应单位")},      {QStringLiteral("SupDrawDate"), QStringLiteral("开工日期")},
        {QStringLiteral("SupDate"), QStringLiteral("交货日期")},      {QStringLiteral("SupBOM"), QStringLiteral("BOM单")},
    };
    return captions.value(AColumn, AColumn);
}

QString MainDemandCheckSQL(const TMRPOutputRow& ARow)
{
    QString table, id, entry, item;
    switch (ARow.Whole(QStringLiteral("SupOrigType"))) {
    case 2: table = QStringLiteral("QZ_MRP_SO"); id = QStringLiteral("SOID"); entry = QStringLiteral("SOEntry"); item = QStringLiteral("SOItmID"); break;
    case 4: table = QStringLiteral("QZ_MRP_SI"); id = QStringLiteral("SIID"); entry = QStringLiteral("SIEntry"); item = QStringLiteral("SIItmID"); break;
    case 8: table = QStringLiteral("QZ_MRP_Forcast"); id = QStringLiteral("ForID"); entry = QStringLiteral("ForEntry"); item = QStringLiteral("ForItmID"); break;
    default: return QString();
    }
    const QString idText = quoted(ARow.Text(QStringLiteral("SupOrigID")));
    const QString line = QString::number(ARow.Whole(QStringLiteral("SupOrigEntry")));
    const QString itemText = quoted(ARow.Text(QStringLiteral("SupOrigItmID")));
    return QStringLiteral("select top 1 1 from ") + table + QStringLiteral(" with(nolock) where ") + id + u'=' + idText
        + QStringLiteral(" and Checked=1 and (") + line + QStringLiteral("=0 or ") + entry + u'=' + line + QStringLiteral(") and (")
        + itemText + QStringLiteral("='' or ") + item + u'=' + itemText + u')';
}

TMRPOutputCheck CheckOutputRow(const TMRPOutputRow& ARow, const QDate& AToday, const TMRPOutputPermissions& APermissions,
                               const std::function<bool(const QString& ASQL)>& AMainDemandExists,
                               const std::function<QString(const QString& AColumn)>& ACaption)
{
    TMRPOutputCheck check;
    const auto caption = [&ACaption](const QString& column) { return ACaption ? ACaption(column) : OutputColumnCaption(column); };
    const auto add = [&check](TMRPOutputFinding::Kind kind, const QString& text, const QString& column) {
        check.Findings.push_back({kind, text, column});
    };
    const auto error = [&add](const QString& text, const QString& column) { add(TMRPOutputFinding::Error, text, column); };
    const auto warning = [&add](const QString& text, const QString& column) { add(TMRPOutputFinding::Warning, text, column); };

    // 1. The main demand of a supply still exists and is checked.
    if (ARow.Level == 0 && !ARow.IsEmpty(QStringLiteral("SupOrigID"))) {
        const QString sql = MainDemandCheckSQL(ARow);
        if (!sql.isEmpty() && !(AMainDemandExists && AMainDemandExists(sql))) {
            QString what = ARow.Text(QStringLiteral("SupOrigType")) + QStringLiteral(": ") + ARow.Text(QStringLiteral("SupOrigNo"));
            if (ARow.Whole(QStringLiteral("SupOrigEntry")) != 0)
                what += u'/' + ARow.Text(QStringLiteral("SupOrigEntry"));
            if (!ARow.IsEmpty(QStringLiteral("SupOrigItmID")))
                what += QStringLiteral(" | ") + ARow.Text(QStringLiteral("SupOrigItmNo"));
            error(FormatMessage(NoMainDemand, {what}), QStringLiteral("SupOrigNo"));
        }
    }
    // 2. The bill type of the row.
    const int billType = ARow.Whole(QStringLiteral("SupDestType"));
    // 4. Over-release stays a warning; a trace left by rounding shares to eight
    // places on large quantities is not one.
    const double qty = ARow.Number(QStringLiteral("SupQty"));
    const double done = ARow.Number(QStringLiteral("SupDestQty"));
    if (ARow.Number(QStringLiteral("SupUnDestQty")) < 0 && OutputQtyGreater(ARow.Number(QStringLiteral("SupDoDestQty")), qty - done)) {
        warning(FormatMessage(OverRelease, {ARow.Text(QStringLiteral("SupDoDestQty")), FloatToText(qty - done), FloatToText(qty),
                                            FloatToText(done)}),
                QStringLiteral("SupDoDestQty"));
    }
    // 5. The quantity to output.
    const double toOutput = ARow.Number(QStringLiteral("SupDoDestQty"));
    const int sign = toOutput > 0 ? 1 : (toOutput < 0 ? -1 : 0);
    const QString qtyText = ARow.Text(QStringLiteral("SupDoDestQty"));
    if (ARow.Level == 0 && (sign == 0 || (sign < 0 && ARow.IsLeaf())))
        error(FormatMessage(NotAbove, {caption(QStringLiteral("SupDoDestQty")), qtyText, QStringLiteral("0")}), QStringLiteral("SupDoDestQty"));
    else if (ARow.Level > 0 && sign < 0 && ARow.IsLeaf())
        error(FormatMessage(NotAtLeast, {caption(QStringLiteral("SupDoDestQty")), qtyText, QStringLiteral("0")}),
              QStringLiteral("SupDoDestQty"));
    // 6. Only released leaves go on.
    if (!ARow.IsLeaf() || (ARow.Level > 0 && sign == 0))
        return check;
    // 7. Permission for the bill type.
    const bool allowed = billType == obtProduction ? APermissions.CanToMO
        : (billType == obtSubcontract || billType == obtSubcontractDirect) ? APermissions.CanToOR
        : billType == obtPurchase ? APermissions.CanToPR : true;
    if (!allowed) {
        warning(FormatMessage(NoPermission, {ARow.Text(QStringLiteral("SupDestType"))}), QStringLiteral("SupDestType"));
        return check;
    }
    check.Candidate = true;
    // 9. A producing department or supplier.
    if ((billType == obtProduction || billType == obtSubcontract) && ARow.IsEmpty(QStringLiteral("SupDeptID"))) {
        if (ARow.IsEmpty(QStringLiteral("SupDept")))
            error(FormatMessage(MustNotBeEmpty, {caption(QStringLiteral("SupDept"))}), QStringLiteral("SupDept"));
        else
            error(FormatMessage(DoesNotExist, {caption(QStringLiteral("SupDept")), ARow.Text(QStringLiteral("SupDept"))}),
                  QStringLiteral("SupDept"));
    }
    // 10, 11. Draw and delivery dates (compared as read; today replaces them on output).
    const QDate draw = ARow.IsEmpty(QStringLiteral("SupDrawDate")) ? AToday : ARow.Date(QStringLiteral("SupDrawDate"));
    const QDate due = ARow.IsEmpty(QStringLiteral("SupDate")) ? AToday : ARow.Date(QStringLiteral("SupDate"));
    if (draw < AToday)
        warning(FormatMessage(BeforeToday, {caption(QStringLiteral("SupDrawDate")), shortDate(draw), shortDate(AToday)}),
                QStringLiteral("SupDrawDate"));
    if (due < draw)
        error(FormatMessage(DateOrder, {caption(QStringLiteral("SupDate")), caption(QStringLiteral("SupDrawDate"))}),
              QStringLiteral("SupDate"));
    else if (due < AToday)
        warning(FormatMessage(BeforeToday, {caption(QStringLiteral("SupDate")), shortDate(due), shortDate(AToday)}),
                QStringLiteral("SupDate"));
    // 12. Made and subcontracted items need their bill of materials.
    if ((billType == obtProduction || billType == obtSubcontract || billType == obtSubcontractDirect)
        && ARow.IsEmpty(QStringLiteral("SupBomID")))
        error(FormatMessage(MustNotBeEmpty, {caption(QStringLiteral("SupBOM"))}), QStringLiteral("SupBOM"));
    return check;
}

TMRPOutputDecision DecideAfterChecks(int ACandidates, int AErrors, int AWarnings)
{
    if (ACandidates == 0)
        return odNothingToOutput;
    if (AErrors > 0)
        return odStopOnErrors;
    if (AWarnings > 0)
        return odAskOnWarnings;
    return odOutput;
}
