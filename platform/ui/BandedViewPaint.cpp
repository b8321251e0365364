// Painting of the banded view: band and column headers, indicator, data, group
// and footer rows, the footer; resizing, scrolling and cell tooltips (a member
// of BandedView, kept in a unit of its own).
#include "BandedView.h"
#include "BandedViewInternal.h"

#include <QHelpEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>

namespace kvui {

void BandedView::paintHeaderCell(QPainter* p, const QRect& r, const QString& text, bool band,
                                 const QString& mark, Qt::Alignment a, int rightReserve) const
{
    QLinearGradient grad(r.topLeft(), r.bottomLeft());
    grad.setColorAt(0, band ? m_pal.band1 : m_pal.header1);
    grad.setColorAt(1, band ? m_pal.band2 : m_pal.header2);
    p->fillRect(r, grad);
    p->setPen(m_pal.headerBorder);
    p->drawLine(r.topRight(), r.bottomRight());
    p->drawLine(r.bottomLeft(), r.bottomRight());
    p->setPen(QColor(255, 255, 255, 160));
    p->drawLine(r.topLeft(), r.bottomLeft());
    p->setPen(m_pal.text);
    QRect tr = r.adjusted(4, 0, -4 - rightReserve, 0);
    if (!mark.isEmpty()) {
        // Sort mark: a small triangle at the right.
        int s = 7;
        QPoint c(tr.right() - s / 2 - 1, r.center().y());
        QPolygon tri;
        if (mark == "up") tri << QPoint(c.x() - s / 2, c.y() + 2) << QPoint(c.x() + s / 2, c.y() + 2) << QPoint(c.x(), c.y() - 3);
        else tri << QPoint(c.x() - s / 2, c.y() - 2) << QPoint(c.x() + s / 2, c.y() - 2) << QPoint(c.x(), c.y() + 3);
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setBrush(QColor(0x5a, 0x6e, 0x8c));
        p->setPen(Qt::NoPen);
        p->drawPolygon(tri);
        p->restore();
        tr.setRight(tr.right() - s - 4);
    }
    p->drawText(tr, int(band ? Qt::AlignCenter : a) | Qt::TextSingleLine,
                p->fontMetrics().elidedText(text, Qt::ElideRight, tr.width()));
}

void BandedView::paintExpandButton(QPainter* p, const QRect& area, bool expanded) const
{
    QRect b(0, 0, 9, 9);
    b.moveCenter(area.center());
    p->save();
    p->setPen(QColor(0x7f, 0x9d, 0xb9));
    p->setBrush(Qt::white);
    p->drawRect(b.adjusted(0, 0, -1, -1));
    p->setPen(Qt::black);
    int cy = b.top() + 4, cx = b.left() + 4;
    p->drawLine(b.left() + 2, cy, b.right() - 2, cy);
    if (!expanded) p->drawLine(cx, b.top() + 2, cx, b.bottom() - 2);
    p->restore();
}

void BandedView::paintEvent(QPaintEvent* e)
{
    QPainter p(viewport());
    p.fillRect(e->rect(), m_pal.content);
    p.setFont(font());
    if (groupBoxHeight() > 0) paintGroupBox(&p, QRect(0, 0, viewport()->width(), groupBoxHeight()));
    p.save();
    p.setClipRect(QRect(0, rowsTop(), viewport()->width(), rowsBottom() - rowsTop()));
    paintRows(&p, e->rect());
    p.restore();
    paintHeaders(&p);
    if (m_showFooter) paintFooter(&p);
    // The dragged header follows the mouse.
    if (m_drag == Drag::Move && m_dragColumn) {
        QRect r(m_dragPos.x() - m_dragColumn->width() / 2, m_dragPos.y() - m_geom.lineHeight / 2,
                m_dragColumn->width(), m_geom.lineHeight);
        p.setOpacity(0.8);
        paintHeaderCell(&p, r, m_dragColumn->caption(), false);
        p.setOpacity(1);
    }
}

void BandedView::paintIndicator(QPainter* p, int row, const QRect& rr)
{
    if (!m_showIndicator) return;
    QRect r(0, rr.top(), IndicatorWidth, rr.height());
    paintHeaderCell(p, r, QString(), false);
    if (row == focusedRow()) {
        p->save();
        p->setRenderHint(QPainter::Antialiasing);
        p->setBrush(Qt::black);
        p->setPen(Qt::NoPen);
        QPoint c(r.center().x(), rr.top() + qMin(rr.height(), m_geom.lineHeight) / 2);
        if (m_editor && row == m_editRow) {
            p->setPen(QPen(Qt::black, 1.2));
            p->drawLine(c.x() - 1, c.y() - 4, c.x() - 1, c.y() + 4);
        } else {
            QPolygon tri;
            tri << QPoint(c.x() - 2, c.y() - 4) << QPoint(c.x() + 3, c.y()) << QPoint(c.x() - 2, c.y() + 4);
            p->drawPolygon(tri);
        }
        p->restore();
    }
}

void BandedView::paintRows(QPainter* p, const QRect& clip)
{
    if (m_rows.isEmpty()) return;
    int first = rowAt(QPoint(0, qMax(rowsTop(), clip.top())));
    if (first < 0) first = 0;
    for (int row = first; row < m_rows.size(); ++row) {
        QRect rr = rowRect(row);
        if (rr.top() > rowsBottom() || rr.top() > clip.bottom()) break;
        switch (m_rows[row].kind) {
        case RowRef::Data: paintDataRow(p, row, rr); break;
        case RowRef::Group: paintGroupRow(p, row, rr); break;
        case RowRef::GroupFooter: paintFooterRow(p, row, rr, true); break;
        case RowRef::Footer: break;
        }
        paintIndicator(p, row, rr);
    }
}

void BandedView::paintDataRow(QPainter* p, int row, const QRect& rr)
{
    const RowRef& r = m_rows[row];
    int indL = m_showIndicator ? IndicatorWidth : 0;
    int dataLeft = indL + indentWidth();
    // Group indents at the left of a data row.
    if (indentWidth() > 0) {
        p->fillRect(QRect(indL, rr.top(), indentWidth(), rr.height()), m_pal.group);
        p->setPen(QColor(0xc5, 0xcd, 0xda));
        p->drawLine(dataLeft - 1, rr.top(), dataLeft - 1, rr.bottom());
    }
    int midLeft = dataLeft + (m_geom.totalWidth + dataLeft <= viewport()->width() ? 0 : m_geom.leftFixedWidth);
    midLeft = dataLeft + m_geom.leftFixedWidth;
    int midRight = screenX(m_geom.totalWidth - m_geom.rightFixedWidth, m_geom.bands.isEmpty() ? 0
                            : m_geom.bands.last().band);
    if (m_geom.rightFixedWidth == 0) midRight = viewport()->width();
    Column* first = firstVisibleColumn();
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& g : m_geom.columns) {
            Column* c = g.column;
            bool fixed = m_bands[c->m_band].fixed != BandFixed::None;
            if ((pass == 1) != fixed) continue;
            QRect cr = cellRect(row, c);
            p->save();
            if (!fixed) p->setClipRect(QRect(midLeft, rr.top(), qMax(0, midRight - midLeft), rr.height()), Qt::IntersectClip);
            CellFormat f = cellFormat(row, c);
            p->fillRect(cr, f.background);
            QRect content = cr.adjusted(0, 0, -1, -1);
            if (c == first) {
                int ind = rowContentIndent(r);
                if (ind > 0) {
                    paintRowDecoration(p, r, QRect(cr.left(), cr.top(), ind, qMin(cr.height(), m_geom.lineHeight)));
                    content.setLeft(content.left() + ind);
                }
            }
            p->setFont(f.font);
            p->setPen(f.textColor);
            c->effectiveEditor(r)->paint(p, content, f.value, f.text);
            p->setPen(m_pal.gridLine);
            if (m_gridLines == GridLines::Vertical || m_gridLines == GridLines::Both)
                p->drawLine(cr.topRight(), cr.bottomRight());
            if (m_gridLines == GridLines::Horizontal || m_gridLines == GridLines::Both)
                p->drawLine(cr.bottomLeft(), cr.bottomRight());
            if (row == focusedRow() && c == m_focusColumn && hasFocus() && !m_editor) {
                QStyleOptionFocusRect o;
                o.rect = cr.adjusted(1, 1, -2, -2);
                o.backgroundColor = f.background;
                style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, p, this);
            }
            p->restore();
        }
    }
    int right = screenX(m_geom.totalWidth, m_geom.bands.isEmpty() ? 0 : m_geom.bands.last().band);
    if (right < viewport()->width()) p->fillRect(QRect(right, rr.top(), viewport()->width() - right, rr.height()), m_pal.content);
    // Edges of the fixed bands.
    p->setPen(QColor(0x80, 0x80, 0x80));
    if (m_geom.leftFixedWidth > 0) p->drawLine(midLeft - 1, rr.top(), midLeft - 1, rr.bottom());
    if (m_geom.rightFixedWidth > 0) p->drawLine(midRight, rr.top(), midRight, rr.bottom());
}

void BandedView::paintGroupRow(QPainter* p, int row, const QRect& rr)
{
    const RowRef& r = m_rows[row];
    int indL = m_showIndicator ? IndicatorWidth : 0;
    int x = indL + r.level * IndentStep;
    int right = qMin(viewport()->width(), screenX(m_geom.totalWidth, m_geom.bands.isEmpty() ? 0 : m_geom.bands.last().band));
    right = qMax(right, viewport()->width());
    p->fillRect(QRect(indL, rr.top(), x - indL, rr.height()), m_pal.group);
    QRect gr(x, rr.top(), right - x, rr.height());
    bool sel = isRowSelected(row);
    bool active = hasFocus();
    p->fillRect(gr, sel ? (active ? m_pal.selection : m_pal.inactiveSelection) : m_pal.group);
    paintExpandButton(p, QRect(x, rr.top(), IndentStep, rr.height()), rowExpanded(row));
    QFont f = font();
    f.setBold(true);
    p->setFont(f);
    p->setPen(sel && active ? m_pal.selectionText : m_pal.groupText);
    p->drawText(gr.adjusted(IndentStep + 2, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                groupRowText(row));
    p->setFont(font());
    p->setPen(QColor(0xc5, 0xcd, 0xda));
    p->drawLine(gr.bottomLeft(), gr.bottomRight());
    if (row == focusedRow() && hasFocus()) {
        QStyleOptionFocusRect o;
        o.rect = gr.adjusted(IndentStep, 1, -2, -2);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &o, p, this);
    }
}

void BandedView::paintFooterRow(QPainter* p, int row, const QRect& rr, bool groupFooter)
{
    int indL = m_showIndicator ? IndicatorWidth : 0;
    int level = groupFooter && row >= 0 ? m_rows[row].level : 0;
    int x = indL + (groupFooter ? (level + 1) * IndentStep : 0);
    if (groupFooter) p->fillRect(QRect(indL, rr.top(), x - indL, rr.height()), m_pal.group);
    p->fillRect(QRect(x, rr.top(), viewport()->width() - x, rr.height()), m_pal.footer);
    int dataLeft = indL + indentWidth();
    int midLeft = dataLeft + m_geom.leftFixedWidth;
    int midRight = m_geom.rightFixedWidth == 0 ? viewport()->width()
                   : screenX(m_geom.totalWidth - m_geom.rightFixedWidth, m_geom.bands.last().band);
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& g : m_geom.columns) {
            Column* c = g.column;
            bool fixed = m_bands[c->m_band].fixed != BandFixed::None;
            if ((pass == 1) != fixed) continue;
            QString text = groupFooter ? groupFooterText(row, c) : footerText(c);
            SummaryKind k = groupFooter ? c->groupSummary().kind : c->footerSummary().kind;
            if (k == SummaryKind::None) continue;
            QRect cr(screenX(g.rect.x(), c->m_band), rr.top() + g.rect.y(), g.rect.width(), g.rect.height());
            if (groupFooter && cr.left() < x) cr.setLeft(x);
            p->save();
            if (!fixed) p->setClipRect(QRect(midLeft, rr.top(), qMax(0, midRight - midLeft), rr.height()), Qt::IntersectClip);
            QRect box = cr.adjusted(2, 2, -3, -3);
            p->setPen(QColor(0xac, 0xa8, 0x99));
            p->drawLine(box.topLeft(), box.topRight());
            p->drawLine(box.topLeft(), box.bottomLeft());
            p->setPen(Qt::white);
            p->drawLine(box.bottomLeft(), box.bottomRight());
            p->drawLine(box.topRight(), box.bottomRight());
            p->setPen(m_pal.text);
            Qt::Alignment a = c->effectiveEditor(RowRef{})->alignment();
            if (k == SummaryKind::Count || k == SummaryKind::Sum || k == SummaryKind::Average) a = Qt::AlignRight | Qt::AlignVCenter;
            p->drawText(box.adjusted(3, 0, -3, 0), int(a) | Qt::TextSingleLine,
                        p->fontMetrics().elidedText(text, Qt::ElideRight, box.width() - 6));
            p->restore();
        }
    }
    p->setPen(QColor(0xc0, 0xc0, 0xc0));
    p->drawLine(QPoint(x, rr.bottom()), QPoint(viewport()->width(), rr.bottom()));
}

void BandedView::paintHeaders(QPainter* p)
{
    int top = headerTop();
    int indL = m_showIndicator ? IndicatorWidth : 0;
    int dataLeft = indL + indentWidth();
    int bandH = m_showBandHeaders && !m_geom.bands.isEmpty() ? m_geom.lineHeight : 0;
    int colH = m_showHeaders ? m_geom.recordHeight : 0;
    int h = bandH + colH;
    if (h == 0) return;
    p->save();
    p->setClipRect(QRect(0, top, viewport()->width(), h));
    paintHeaderCell(p, QRect(dataLeft, top, viewport()->width() - dataLeft, h), QString(), false);
    int midLeft = dataLeft + m_geom.leftFixedWidth;
    int midRight = m_geom.rightFixedWidth == 0 ? viewport()->width()
                   : screenX(m_geom.totalWidth - m_geom.rightFixedWidth, m_geom.bands.last().band);
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m_geom.bands.size(); ++i) {
            bool fixed = m_geom.bands[i].fixed != BandFixed::None;
            if ((pass == 1) != fixed) continue;
            p->save();
            if (!fixed) p->setClipRect(QRect(midLeft, top, qMax(0, midRight - midLeft), h), Qt::IntersectClip);
            int x = bandScreenX(i);
            if (bandH) paintHeaderCell(p, QRect(x, top, m_geom.bands[i].width, bandH), m_geom.bands[i].caption, true);
            if (colH) {
                for (const auto& g : m_geom.columns) {
                    if (g.column->m_band != m_geom.bands[i].band) continue;
                    QRect r(screenX(g.rect.x(), g.column->m_band), top + bandH + g.rect.y(), g.rect.width(), g.rect.height());
                    paintHeaderCell(p, r, g.column->caption(), false, sortMarkFor(g.column),
                                    g.column->effectiveEditor(RowRef{})->alignment() & Qt::AlignHorizontal_Mask,
                                    headerButtonWidth(g.column));
                    paintHeaderButton(p, g.column, r);
                }
            }
            p->restore();
        }
    }
    if (indL + indentWidth() > 0) paintHeaderCell(p, QRect(0, top, dataLeft, h), QString(), false);
    p->restore();
}

void BandedView::paintFooter(QPainter* p)
{
    QRect rr(0, rowsBottom(), viewport()->width(), viewport()->height() - rowsBottom());
    p->fillRect(rr, m_pal.footer);
    p->setPen(QColor(0xac, 0xa8, 0x99));
    p->drawLine(rr.topLeft(), rr.topRight());
    paintFooterRow(p, -1, rr.adjusted(0, 1, 0, 0), false);
    if (m_showIndicator) paintHeaderCell(p, QRect(0, rr.top(), IndicatorWidth, rr.height()), QString(), false);
}

void BandedView::resizeEvent(QResizeEvent* e)
{
    QAbstractScrollArea::resizeEvent(e);
    updateScrollBars();
    if (m_editor && m_editRow >= 0) m_editor->setGeometry(cellRect(m_editRow, m_editColumn));
}

void BandedView::scrollContentsBy(int, int)
{
    if (m_editor && m_editRow >= 0) m_editor->setGeometry(cellRect(m_editRow, m_editColumn));
    viewport()->update();
}

bool BandedView::viewportEvent(QEvent* e)
{
    if (e->type() == QEvent::ToolTip) {
        auto* he = static_cast<QHelpEvent*>(e);
        QString tip;
        if (Column* c = headerColumnAt(he->pos(), nullptr)) {
            tip = c->hint().isEmpty() ? c->caption() : c->hint();
        } else {
            int row = rowAt(he->pos());
            Column* c2 = columnAt(he->pos());
            if (row >= 0 && c2) {
                QString t = cellText(row, c2);
                if (fontMetrics().horizontalAdvance(t) > cellRect(row, c2).width() - 6) tip = t;
            }
        }
        if (tip.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(he->globalPos(), tip, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(e);
}

} // namespace kvui
