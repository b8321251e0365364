#include "ColumnFit.h"

#include "BandedView.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTimer>

namespace kvui {

namespace {

// Header text margins (4 each side), the sort mark (7) with its gap (4), and a
// little air.
constexpr int CaptionRoom = 4 + 4 + 7 + 4 + 3;
// Cell text margins (3 each side) and a little air.
constexpr int CellRoom = 3 + 3 + 6;

} // namespace

ColumnFit::ColumnFit(BandedView* view)
    : QObject(view), m_view(view)
{
    setObjectName(QStringLiteral("ColumnFit"));
    view->viewport()->installEventFilter(this);
}

ColumnFit* ColumnFit::of(BandedView* view)
{
    if (!view)
        return nullptr;
    if (auto* fit = view->findChild<ColumnFit*>(QStringLiteral("ColumnFit"), Qt::FindDirectChildrenOnly))
        return fit;
    return new ColumnFit(view);
}

int ColumnFit::fittedWidth(const BandedView* view, Column* column, int sampleRows)
{
    const QFontMetrics fm(view->font());
    int width = fm.horizontalAdvance(column->caption()) + CaptionRoom;
    const bool first = view->visibleColumns().value(0) == column;
    int seen = 0;
    for (int i = 0; i < view->rowCount() && seen < sampleRows; ++i) {
        if (view->row(i).kind != RowRef::Data)
            continue;
        ++seen;
        const int indent = first ? view->contentIndent(i) : 0;
        width = qMax(width, fm.horizontalAdvance(view->cellText(i, column)) + CellRoom + indent);
    }
    if (column->footerSummary().kind != SummaryKind::None)
        width = qMax(width, fm.horizontalAdvance(view->footerText(column)) + CellRoom + 6);
    return width;
}

void ColumnFit::setStoredColumns(const QList<Column*>& columns)
{
    m_stored = QSet<Column*>(columns.begin(), columns.end());
    m_signature = 0;
}

void ColumnFit::fitNow()
{
    m_pending = false;
    if (!m_view)
        return;
    m_signature = signature();
    const QList<Column*> shown = m_view->visibleColumns();
    for (Column* c : shown) {
        if (m_stored.contains(c))
            continue;
        const auto done = m_fitted.constFind(c);
        if (done != m_fitted.constEnd() && *done != c->width())
            continue; // resized since by the user or the frame
        const int want = qMin(fittedWidth(m_view, c), MaxWidth);
        if (want > c->width())
            c->setWidth(want);
        m_fitted[c] = c->width();
    }
}

quint64 ColumnFit::signature() const
{
    // The rows shown, the columns shown and the texts of the first and last
    // rows: enough to tell a load, a rerun or another layout.
    quint64 h = quint64(m_view->rowCount()) * 1000003u;
    const QList<Column*> shown = m_view->visibleColumns();
    for (Column* c : shown) {
        h = h * 31 + qHash(quintptr(c));
        if (m_view->rowCount() > 0) {
            h = h * 31 + qHash(m_view->cellText(0, c));
            h = h * 31 + qHash(m_view->cellText(m_view->rowCount() - 1, c));
        }
    }
    return h == 0 ? 1 : h;
}

bool ColumnFit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && m_view && watched == m_view->viewport() && !m_pending
        && signature() != m_signature) {
        // Fitted after this paint: widths change outside the view's painting.
        m_pending = true;
        QTimer::singleShot(0, this, &ColumnFit::fitNow);
    }
    return QObject::eventFilter(watched, event);
}

} // namespace kvui
