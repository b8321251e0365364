// What a cell of the banded view holds and how it shows: values, texts and
// formats, the footer and group-footer summaries, and the row hooks a grid or
// tree list overrides (a member of BandedView, kept in a unit of its own).
#include "BandedView.h"
#include "DisplayFormat.h"
#include "BandedViewInternal.h"

#include <QDateTime>

namespace kvui {

namespace {
int compareForSummary(const QVariant& a, const QVariant& b)
{
    if (isNumeric(a) && isNumeric(b)) {
        double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.typeId() == QMetaType::QDate || a.typeId() == QMetaType::QDateTime) {
        QDateTime x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    return a.toString().compare(b.toString(), Qt::CaseInsensitive);
}
} // namespace

QVariant BandedView::cellValue(int row, Column* c) const
{
    if (row < 0 || row >= m_rows.size() || !c) return QVariant();
    const RowRef& r = m_rows[row];
    if (r.kind != RowRef::Data) return QVariant();
    if (c->valueHook) return c->valueHook(r);
    return rowValue(r, c);
}

QString BandedView::cellText(int row, Column* c) const
{
    if (row < 0 || row >= m_rows.size() || !c) return QString();
    const RowRef& r = m_rows[row];
    if (r.kind != RowRef::Data) return QString();
    QVariant v = cellValue(row, c);
    QString text = c->effectiveEditor(r)->displayText(v);
    if (c->displayTextHook) c->displayTextHook(r, v, text);
    return text;
}

bool BandedView::setCellValue(int row, Column* c, const QVariant& v)
{
    if (row < 0 || row >= m_rows.size() || !c || m_rows[row].kind != RowRef::Data) return false;
    if (!writeRowValue(m_rows[row], c, v)) return false;
    invalidateSummaries();
    emit m_cellModel->dataChanged(m_cellModel->index(row, 0),
                                  m_cellModel->index(row, m_cellModel->columnCount() - 1));
    return true;
}

CellFormat BandedView::cellFormat(int row, Column* c, bool forPrint) const
{
    CellFormat f;
    if (row < 0 || row >= m_rows.size() || !c) return f;
    const RowRef& r = m_rows[row];
    f.value = cellValue(row, c);
    f.text = cellText(row, c);
    f.alignment = c->effectiveEditor(r)->alignment();
    f.font = font();
    bool sel = !forPrint && isRowSelected(row);
    bool foc = !forPrint && row == focusedRow() && c == m_focusColumn;
    bool active = hasFocus() || (m_editor && m_editor->hasFocus());
    f.background = m_pal.content;
    f.textColor = m_pal.text;
    if (sel) {
        if (foc && active && m_multiSelect == false) {
            f.background = m_pal.focusedCell;
        } else if (foc && active) {
            f.background = m_pal.focusedCell;
        } else if (active) {
            f.background = m_pal.selection;
            f.textColor = m_pal.selectionText;
        } else {
            f.background = m_pal.inactiveSelection;
        }
    }
    if (m_customDraw) {
        CellDraw cd{r, c, sel, foc, f.background, f.textColor, f.font};
        m_customDraw(cd);
        f.background = cd.background;
        f.textColor = cd.textColor;
        f.font = cd.font;
    }
    return f;
}

QVariant BandedView::computeSummary(Column* c, SummaryKind kind, const QList<RowRef>& rows) const
{
    SummaryState st;
    st.column = c;
    st.kind = kind;
    for (const RowRef& r : rows) {
        QVariant v = c->valueHook ? c->valueHook(r) : rowValue(r, c);
        bool done = false;
        if (m_summaryHook) m_summaryHook(st, v, done);
        if (done) continue;
        if (isNullValue(v)) continue;
        ++st.count;
        if (kind == SummaryKind::Count) continue;
        if (!st.value.isValid()) {
            st.value = isNumeric(v) ? QVariant(v.toDouble()) : v;
        } else if (kind == SummaryKind::Min) {
            if (compareForSummary(v, st.value) < 0) st.value = v;
        } else if (kind == SummaryKind::Max) {
            if (compareForSummary(v, st.value) > 0) st.value = v;
        } else {
            st.value = st.value.toDouble() + v.toDouble();
        }
    }
    if (kind == SummaryKind::Count) return st.count;
    if (kind == SummaryKind::Average)
        return st.count > 0 && st.value.isValid() ? QVariant(st.value.toDouble() / st.count) : QVariant();
    return st.value;
}

QString BandedView::summaryText(Column*, const SummaryItem& item, const QVariant& v) const
{
    if (isNullValue(v)) return QString();
    if (isNumeric(v)) return formatFloat(item.format.isEmpty() && item.kind == SummaryKind::Count ? "0" : item.format,
                                         v.toDouble());
    return formatValue(item.format, v);
}

QVariant BandedView::footerValue(Column* c) const
{
    if (!c || c->footerSummary().kind == SummaryKind::None) return QVariant();
    QString key = QStringLiteral("F%1").arg(c->valueIndex());
    auto it = m_summaryCache.constFind(key);
    if (it != m_summaryCache.constEnd()) return *it;
    QList<RowRef> rows;
    if (m_summaryOverSelection && m_selected.size() > 1) {
        for (const RowRef& r : m_rows)
            if (r.kind == RowRef::Data && m_selected.contains(rowKey(r))) rows << r;
    } else {
        rows = summaryRows(nullptr);
    }
    QVariant v = computeSummary(c, c->footerSummary().kind, rows);
    m_summaryCache.insert(key, v);
    return v;
}

QString BandedView::footerText(Column* c) const
{
    return c ? summaryText(c, c->footerSummary(), footerValue(c)) : QString();
}

QVariant BandedView::groupFooterValue(int row, Column* c) const
{
    if (!c || row < 0 || row >= m_rows.size() || c->groupSummary().kind == SummaryKind::None) return QVariant();
    const RowRef& r = m_rows[row];
    if (r.kind != RowRef::GroupFooter && r.kind != RowRef::Group) return QVariant();
    QString key = QStringLiteral("G%1:%2").arg(r.group).arg(c->valueIndex());
    auto it = m_summaryCache.constFind(key);
    if (it != m_summaryCache.constEnd()) return *it;
    QVariant v = computeSummary(c, c->groupSummary().kind, summaryRows(&r));
    m_summaryCache.insert(key, v);
    return v;
}

QString BandedView::groupFooterText(int row, Column* c) const
{
    return c ? summaryText(c, c->groupSummary(), groupFooterValue(row, c)) : QString();
}

QString BandedView::groupRowText(int) const { return QString(); }
bool BandedView::rowHasChildren(int) const { return false; }
bool BandedView::rowExpanded(int) const { return false; }
void BandedView::setRowExpanded(int, bool) {}

void BandedView::headerClicked(Column*, Qt::KeyboardModifiers) {}

} // namespace kvui
