// The banded view's columns and bands, its options and its layout: where bands,
// column headers, rows and footer lie, which column or row a point hits, and
// column best fit. Painting, mouse, selection and keys, editing, cell values
// and summaries, clipboard and cell model live in the BandedView*.cpp units
// beside this one (see README.md).
#include "BandedView.h"
#include "BandedViewInternal.h"

#include <QScrollBar>
#include <algorithm>

namespace kvui {

// ---------------------------------------------------------------- Column

Column::Column(BandedView* view) : QObject(view), m_view(view) {}

int Column::index() const { return int(m_view->m_columns.indexOf(const_cast<Column*>(this))); }

void Column::changed() { m_view->columnChanged(this, true); }
void Column::setFieldName(const QString& f) { m_fieldName = f; m_field = -1; changed(); }
void Column::setCaption(const QString& c) { m_caption = c; m_view->columnChanged(this, false); }
void Column::setBandIndex(int b) { m_band = b; changed(); }
void Column::setRowIndex(int r) { m_row = qMax(0, r); changed(); }
void Column::setColIndex(int c) { m_colIndex = c; changed(); }
void Column::setLineCount(int n) { m_lineCount = qMax(1, n); changed(); }
void Column::setWidth(int w) { m_width = qMax(8, w); changed(); }
void Column::setVisible(bool v) { if (m_visible != v) { m_visible = v; changed(); } }
void Column::setEditor(EditorPtr e) { m_editor = std::move(e); m_view->columnChanged(this, false); }

void Column::setPosition(int band, int row, int colIndex)
{
    // Columns at or after the new place in that band row move one step right.
    for (Column* o : m_view->columns())
        if (o != this && o->m_band == band && o->m_row == row && o->m_colIndex >= colIndex)
            ++o->m_colIndex;
    m_band = band;
    m_row = qMax(0, row);
    m_colIndex = colIndex;
    changed();
}

void Column::setFooterSummary(SummaryKind k, const QString& format)
{
    m_footer = SummaryItem{k, format};
    m_view->invalidateSummaries();
}

void Column::setGroupSummary(SummaryKind k, const QString& format)
{
    m_groupFooter = SummaryItem{k, format};
    m_view->invalidateSummaries();
}

EditorPtr Column::effectiveEditor(const RowRef& row) const
{
    if (editorHook) {
        if (EditorPtr e = editorHook(row)) return e;
    }
    if (m_editor) return m_editor;
    static EditorPtr plain = std::make_shared<TextEditProperties>();
    static EditorPtr right = std::make_shared<TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter);
    if (m_valueType == "Float" || m_valueType == "Integer" || m_valueType == "LargeInt" || m_valueType == "Currency")
        return right;
    return plain;
}

QRect ViewGeometry::columnRect(const Column* c) const
{
    for (const auto& g : columns)
        if (g.column == c) return g.rect;
    return QRect();
}

// ---------------------------------------------------------------- BandedView

BandedView::BandedView(QWidget* parent) : QAbstractScrollArea(parent)
{
    m_cellModel = new CellModel(this);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFrameShape(QFrame::StyledPanel);
    horizontalScrollBar()->setSingleStep(20);
    computeGeometry();
}

BandedView::~BandedView() = default;

int BandedView::addBand(const QString& caption, BandFixed fixed)
{
    Band b;
    b.id = m_nextBandId++;
    b.caption = caption;
    b.fixed = fixed;
    m_bands << b;
    relayout();
    return int(m_bands.size()) - 1;
}

int BandedView::bandIndexById(int id) const
{
    for (int i = 0; i < m_bands.size(); ++i)
        if (m_bands[i].id == id) return i;
    return -1;
}

void BandedView::clearBands()
{
    m_bands.clear();
    m_nextBandId = 0;
    relayout();
}

int BandedView::defaultBandIndex() const
{
    for (int i = int(m_bands.size()) - 1; i >= 0; --i)
        if (m_bands[i].fixed == BandFixed::None && !m_bands[i].ownColumnsOnly) return i;
    return 0;
}

Column* BandedView::addColumn(const QString& caption, const QString& fieldName, int band)
{
    auto* c = new Column(this);
    c->m_valueIndex = m_nextValueIndex++;
    c->m_caption = caption;
    c->m_fieldName = fieldName;
    c->m_band = band >= 0 ? band : defaultBandIndex();
    int next = 0;
    for (Column* o : m_columns)
        if (o->m_band == c->m_band && o->m_row == 0) next = qMax(next, o->m_colIndex + 1);
    c->m_colIndex = next;
    m_columns << c;
    columnChanged(c, true);
    return c;
}

void BandedView::removeColumn(Column* c)
{
    if (!m_columns.contains(c)) return;
    if (m_editColumn == c) cancelEdit();
    if (m_focusColumn == c) m_focusColumn = nullptr;
    m_columns.removeAll(c);
    delete c;
    rowsChanged();
}

void BandedView::clearColumns()
{
    cancelEdit();
    m_focusColumn = nullptr;
    qDeleteAll(m_columns);
    m_columns.clear();
    rowsChanged();
}

Column* BandedView::columnByField(const QString& fieldName) const
{
    for (Column* c : m_columns)
        if (c->fieldName().compare(fieldName, Qt::CaseInsensitive) == 0) return c;
    return nullptr;
}

Column* BandedView::columnByName(const QString& objectName) const
{
    for (Column* c : m_columns)
        if (c->objectName() == objectName) return c;
    return nullptr;
}

QList<Column*> BandedView::visibleColumns() const
{
    QList<Column*> out;
    for (const auto& g : m_geom.columns) out << g.column;
    return out;
}

Column* BandedView::firstVisibleColumn() const
{
    // The left-most column of the first row (tree indents sit in it).
    Column* best = nullptr;
    for (const auto& g : m_geom.columns)
        if (!best || g.rect.x() < m_geom.columnRect(best).x() ||
            (g.rect.x() == m_geom.columnRect(best).x() && g.rect.y() < m_geom.columnRect(best).y()))
            best = g.column;
    return best;
}

void BandedView::setShowBandHeaders(bool on) { m_showBandHeaders = on; relayout(); }
void BandedView::setShowHeaders(bool on) { m_showHeaders = on; relayout(); }
void BandedView::setShowFooter(bool on) { m_showFooter = on; relayout(); }
void BandedView::setShowIndicator(bool on) { m_showIndicator = on; relayout(); }

void BandedView::setMultiSelect(bool on)
{
    if (m_multiSelect == on) return;
    m_multiSelect = on;
    if (!on) {
        int f = focusedRow();
        m_selected.clear();
        if (f >= 0) m_selected.insert(rowKey(m_rows[f]));
        invalidateSummaries();
        emit selectionChanged();
        viewport()->update();
    }
}

void BandedView::columnChanged(Column*, bool relayoutNeeded)
{
    if (relayoutNeeded) relayout();
    else viewport()->update();
}

void BandedView::endUpdate()
{
    if (m_updateLock > 0 && --m_updateLock == 0 && m_dirty) rowsChanged();
}

void BandedView::relayout()
{
    if (m_updateLock) { m_dirty = true; return; }
    rowsChanged();
    emit layoutChanged();
}

void BandedView::rowsChanged()
{
    if (m_updateLock) { m_dirty = true; return; }
    m_dirty = false;
    // Keep the editor only while its row survives; rows are rebuilt from scratch.
    quintptr editKey = 0;
    bool editing = m_editor && m_editRow >= 0 && m_editRow < m_rows.size();
    if (editing) editKey = rowKey(m_rows[m_editRow]);
    cancelEdit();
    (void)editKey;
    const int oldFocusRow = focusedRow();
    computeGeometry();
    m_rows.clear();
    buildRows(m_rows);
    m_keyRow.clear();
    m_rowTop.clear();
    int y = 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        m_keyRow.insert(rowKey(m_rows[i]), i);
        m_rowTop << y;
        y += m_rows[i].kind == RowRef::Group ? m_geom.lineHeight : m_geom.recordHeight;
    }
    m_rowTop << y;
    // A focus asked for while updates were held goes to its row now.
    bool pendingFocused = false;
    if (m_hasPendingFocus) {
        m_hasPendingFocus = false;
        if (m_keyRow.contains(m_pendingFocusKey)) {
            m_hasFocusKey = false;
            setFocusKey(m_pendingFocusKey, nullptr);
            m_anchorKey = m_pendingFocusKey;
            m_selected = {m_pendingFocusKey};
            pendingFocused = true;
        }
    }
    // Selection and focus keep only rows that still show.
    QSet<quintptr> sel;
    for (quintptr k : std::as_const(m_selected))
        if (m_keyRow.contains(k)) sel.insert(k);
    bool selChanged = pendingFocused || sel.size() != m_selected.size();
    m_selected = sel;
    if (m_hasFocusKey && !m_keyRow.contains(m_focusKey)) {
        m_hasFocusKey = false;
        if (!m_rows.isEmpty())
            setFocusKey(rowKey(m_rows[qBound(0, focusFallbackRow(oldFocusRow), int(m_rows.size()) - 1)]), m_focusColumn);
    } else if (!m_hasFocusKey && !m_rows.isEmpty()) {
        setFocusKey(rowKey(m_rows[0]), m_focusColumn);
    }
    if (!m_multiSelect && m_hasFocusKey && m_selected.isEmpty()) m_selected.insert(m_focusKey);
    m_summaryCache.clear();
    updateScrollBars();
    m_cellModel->reset();
    viewport()->update();
    if (selChanged) emit selectionChanged();
}

void BandedView::invalidateSummaries()
{
    m_summaryCache.clear();
    viewport()->update();
}

void BandedView::computeGeometry()
{
    ViewGeometry g;
    g.lineHeight = m_lineHeightOverride > 0 ? m_lineHeightOverride : fontMetrics().height() + 8;
    const int lh = g.lineHeight;
    QList<int> order;
    for (BandFixed f : {BandFixed::Left, BandFixed::None, BandFixed::Right})
        for (int i = 0; i < m_bands.size(); ++i)
            if (m_bands[i].fixed == f && m_bands[i].visible) order << i;
    // Per band: its columns laid out row by row.
    struct Placed { Column* c; QRect r; };
    QList<QList<Placed>> placed;
    QList<int> widths, lines;
    int maxLines = 1;
    for (int b : order) {
        QList<Column*> cols;
        for (Column* c : m_columns)
            if (c->m_visible && c->m_band == b) cols << c;
        std::stable_sort(cols.begin(), cols.end(), [](Column* x, Column* y) {
            if (x->m_row != y->m_row) return x->m_row < y->m_row;
            return x->m_colIndex < y->m_colIndex;
        });
        QList<Placed> ps;
        int rows = 1;
        for (Column* c : cols) rows = qMax(rows, c->m_row + c->m_lineCount);
        QList<QList<QPair<int, int>>> occupied(rows);
        QList<int> rowRight(rows, 0);
        QList<int> lastInRow(rows, -1);
        for (Column* c : cols) {
            int r = c->m_row;
            int x = rowRight[r];
            bool moved = true;
            while (moved) {
                moved = false;
                for (auto iv : occupied[r])
                    if (x >= iv.first && x < iv.second) { x = iv.second; moved = true; }
            }
            QRect rect(x, r * lh, c->m_width, c->m_lineCount * lh);
            for (int k = r; k < r + c->m_lineCount && k < rows; ++k) {
                occupied[k] << qMakePair(x, x + c->m_width);
                rowRight[k] = qMax(rowRight[k], x + c->m_width);
            }
            lastInRow[r] = int(ps.size());
            ps << Placed{c, rect};
        }
        int bw = m_bands[b].width;
        for (int w : rowRight) bw = qMax(bw, w);
        if (cols.isEmpty()) continue;  // a band without visible columns takes no room
        for (int r = 0; r < rows; ++r)
            if (lastInRow[r] >= 0) ps[lastInRow[r]].r.setRight(bw - 1);
        placed << ps;
        widths << bw;
        lines << rows;
        maxLines = qMax(maxLines, rows);
        g.bands << ViewGeometry::BandGeom{b, 0, bw, m_bands[b].caption, m_bands[b].fixed};
    }
    int x = 0;
    for (int i = 0; i < g.bands.size(); ++i) {
        g.bands[i].x = x;
        for (Placed& p : placed[i]) {
            QRect r = p.r.translated(x, 0);
            // Columns ending at the band's last row reach down to the record's bottom.
            if (r.bottom() == lines[i] * lh - 1) r.setBottom(maxLines * lh - 1);
            g.columns << ViewGeometry::ColumnGeom{p.c, r};
        }
        if (g.bands[i].fixed == BandFixed::Left) g.leftFixedWidth += widths[i];
        if (g.bands[i].fixed == BandFixed::Right) g.rightFixedWidth += widths[i];
        x += widths[i];
    }
    g.totalWidth = x;
    g.recordLines = maxLines;
    g.recordHeight = maxLines * lh;
    m_geom = g;
}

int BandedView::indentWidth() const { return groupLevels() * IndentStep; }

int BandedView::headerTop() const { return groupBoxHeight(); }

int BandedView::rowsTop() const
{
    int y = headerTop();
    if (m_showBandHeaders && !m_geom.bands.isEmpty()) y += m_geom.lineHeight;
    if (m_showHeaders) y += m_geom.recordHeight;
    return y;
}

int BandedView::rowsBottom() const
{
    return viewport()->height() - (m_showFooter ? m_geom.recordHeight + 2 : 0);
}

void BandedView::updateScrollBars()
{
    int dataLeft = (m_showIndicator ? IndicatorWidth : 0) + indentWidth();
    int hmax = qMax(0, m_geom.totalWidth + dataLeft - viewport()->width());
    horizontalScrollBar()->setRange(0, hmax);
    horizontalScrollBar()->setPageStep(viewport()->width());
    int total = m_rowTop.isEmpty() ? 0 : m_rowTop.last();
    int area = qMax(0, rowsBottom() - rowsTop());
    verticalScrollBar()->setRange(0, qMax(0, total - area));
    verticalScrollBar()->setPageStep(area);
    verticalScrollBar()->setSingleStep(m_geom.lineHeight);
}

int BandedView::screenX(int geomX, int band) const
{
    int dataLeft = (m_showIndicator ? IndicatorWidth : 0) + indentWidth();
    BandFixed f = m_bands.value(band).fixed;
    if (f == BandFixed::Left) return dataLeft + geomX;
    if (f == BandFixed::Right) {
        if (m_geom.totalWidth + dataLeft <= viewport()->width()) return dataLeft + geomX;
        return viewport()->width() - m_geom.totalWidth + geomX;
    }
    return dataLeft + geomX - horizontalScrollBar()->value();
}

void BandedView::makeColumnVisible(Column* c)
{
    if (!c) return;
    const QRect r = m_geom.columnRect(c);
    if (!r.isValid() || m_bands.value(c->bandIndex()).fixed != BandFixed::None) return;
    const int dataLeft = (m_showIndicator ? IndicatorWidth : 0) + indentWidth();
    // Right-fixed bands stand at the right edge only while the view scrolls.
    const bool scrolls = m_geom.totalWidth + dataLeft > viewport()->width();
    const int areaLeft = dataLeft + m_geom.leftFixedWidth;
    const int areaRight = viewport()->width() - (scrolls ? m_geom.rightFixedWidth : 0);
    QScrollBar* bar = horizontalScrollBar();
    int h = bar->value();
    if (dataLeft + r.right() + 1 - h > areaRight) h = dataLeft + r.right() + 1 - areaRight;
    if (dataLeft + r.left() - h < areaLeft) h = dataLeft + r.left() - areaLeft;
    bar->setValue(h);
}

int BandedView::bandScreenX(int geomBand) const
{
    const auto& b = m_geom.bands[geomBand];
    return screenX(b.x, b.band);
}

QRect BandedView::rowRect(int row) const
{
    if (row < 0 || row >= m_rows.size()) return QRect();
    int top = rowsTop() + m_rowTop[row] - verticalScrollBar()->value();
    return QRect(0, top, viewport()->width(), m_rowTop[row + 1] - m_rowTop[row]);
}

QRect BandedView::cellRect(int row, Column* c) const
{
    QRect rr = rowRect(row);
    QRect cr = m_geom.columnRect(c);
    if (rr.isNull() || cr.isNull()) return QRect();
    return QRect(screenX(cr.x(), c->m_band), rr.top() + cr.y(), cr.width(), cr.height());
}

int BandedView::rowAt(const QPoint& pos) const
{
    if (pos.y() < rowsTop() || pos.y() >= rowsBottom()) return -1;
    int y = pos.y() - rowsTop() + verticalScrollBar()->value();
    auto it = std::upper_bound(m_rowTop.begin(), m_rowTop.end(), y);
    int row = int(it - m_rowTop.begin()) - 1;
    return row >= 0 && row < m_rows.size() ? row : -1;
}

Column* BandedView::columnAt(const QPoint& pos) const
{
    int row = rowAt(pos);
    if (row < 0) return nullptr;
    for (const auto& g : m_geom.columns) {
        QRect r = cellRect(row, g.column);
        if (r.contains(pos)) {
            // Fixed bands cover the scrolled ones.
            if (m_bands[g.column->m_band].fixed == BandFixed::None) {
                for (const auto& h : m_geom.columns)
                    if (m_bands[h.column->m_band].fixed != BandFixed::None && cellRect(row, h.column).contains(pos))
                        return h.column;
            }
            return g.column;
        }
    }
    return nullptr;
}

Column* BandedView::headerColumnAt(const QPoint& pos, bool* nearRightEdge) const
{
    if (nearRightEdge) *nearRightEdge = false;
    if (!m_showHeaders) return nullptr;
    int top = rowsTop() - m_geom.recordHeight;
    if (pos.y() < top || pos.y() >= rowsTop()) return nullptr;
    Column* hit = nullptr;
    for (int pass = 0; pass < 2 && !hit; ++pass) {
        for (const auto& g : m_geom.columns) {
            bool fixed = m_bands[g.column->m_band].fixed != BandFixed::None;
            if ((pass == 0) != fixed) continue;
            QRect r(screenX(g.rect.x(), g.column->m_band), top + g.rect.y(), g.rect.width(), g.rect.height());
            if (r.adjusted(0, 0, 3, 0).contains(pos)) {
                hit = g.column;
                if (nearRightEdge) *nearRightEdge = pos.x() >= r.right() - 3;
                if (r.contains(pos) && !(nearRightEdge && *nearRightEdge)) break;
            }
        }
    }
    return hit;
}

QRect BandedView::columnHeaderRect(const Column* c) const
{
    if (!m_showHeaders) return QRect();
    const int top = rowsTop() - m_geom.recordHeight;
    for (const auto& g : m_geom.columns)
        if (g.column == c) return QRect(screenX(g.rect.x(), c->m_band), top + g.rect.y(), g.rect.width(), g.rect.height());
    return QRect();
}

void BandedView::bestFitColumn(Column* c, int maxRows)
{
    if (!c) return;
    QFontMetrics fm(font());
    int w = fm.horizontalAdvance(c->caption()) + 16;
    int seen = 0;
    for (int i = 0; i < m_rows.size() && (maxRows < 0 || seen < maxRows); ++i)
        if (m_rows[i].kind == RowRef::Data) {
            ++seen;
            int extra = c == firstVisibleColumn() ? rowContentIndent(m_rows[i]) : 0;
            w = qMax(w, fm.horizontalAdvance(cellText(i, c)) + 10 + extra);
        }
    c->setWidth(qMin(w, 1000));
}

} // namespace kvui
