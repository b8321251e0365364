#include "BandedView.h"
#include "DisplayFormat.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QClipboard>
#include <QComboBox>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

namespace kvui {

namespace {
constexpr int IndicatorWidth = 14;

bool isNullValue(const QVariant& v) { return !v.isValid() || v.isNull(); }

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

int BandedView::focusedRow() const
{
    return m_hasFocusKey ? m_keyRow.value(m_focusKey, -1) : -1;
}

int BandedView::rowOfKey(quintptr key) const { return m_keyRow.value(key, -1); }

void BandedView::setFocusKey(quintptr key, Column* c)
{
    int prev = focusedRow();
    bool changed = !m_hasFocusKey || key != m_focusKey;
    m_focusKey = key;
    m_hasFocusKey = true;
    if (c) m_focusColumn = c;
    if (!m_focusColumn) m_focusColumn = firstVisibleColumn();
    if (changed) emit focusedRowChanged(prev, focusedRow());
}

void BandedView::setFocusedColumn(Column* c)
{
    if (m_editor && !postEdit()) return;
    m_focusColumn = c;
    viewport()->update();
}

void BandedView::focusKeyWhenShown(quintptr key)
{
    if (m_updateLock) {
        m_pendingFocusKey = key;
        m_hasPendingFocus = true;
        m_dirty = true;
        return;
    }
    setFocusedRow(rowOfKey(key), true);
}

void BandedView::setFocusedRow(int row, bool select)
{
    if (row < 0 || row >= m_rows.size()) return;
    if (m_editor && !postEdit()) return;
    quintptr k = rowKey(m_rows[row]);
    setFocusKey(k, nullptr);
    m_anchorKey = k;
    if (select || !m_multiSelect) {
        m_selected.clear();
        if (canSelectRow(m_rows[row])) m_selected.insert(k);
        invalidateSummaries();
        emit selectionChanged();
    }
    makeRowVisible(row);
    viewport()->update();
}

bool BandedView::isRowSelected(int row) const
{
    return row >= 0 && row < m_rows.size() && m_selected.contains(rowKey(m_rows[row]));
}

QList<int> BandedView::selectedRows() const
{
    QList<int> out;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_selected.contains(rowKey(m_rows[i]))) out << i;
    return out;
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

void BandedView::selectRow(int row, bool on)
{
    if (row < 0 || row >= m_rows.size()) return;
    quintptr k = rowKey(m_rows[row]);
    if (on) {
        if (!canSelectRow(m_rows[row])) return;
        if (!m_multiSelect) m_selected.clear();
        m_selected.insert(k);
    } else {
        m_selected.remove(k);
    }
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::selectAllRows()
{
    if (!m_multiSelect) return;
    for (const RowRef& r : std::as_const(m_rows))
        if (canSelectRow(r)) m_selected.insert(rowKey(r));
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::clearSelection()
{
    m_selected.clear();
    invalidateSummaries();
    emit selectionChanged();
}

void BandedView::makeRowVisible(int row)
{
    if (row < 0 || row >= m_rows.size()) return;
    int area = rowsBottom() - rowsTop();
    int top = m_rowTop[row], bottom = m_rowTop[row + 1];
    int v = verticalScrollBar()->value();
    if (top < v) verticalScrollBar()->setValue(top);
    else if (bottom > v + area) verticalScrollBar()->setValue(bottom - area);
}

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

// ---------------------------------------------------------------- painting

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

// ---------------------------------------------------------------- mouse

void BandedView::mousePressEvent(QMouseEvent* e)
{
    setFocus();
    QPoint pos = e->position().toPoint();
    if (e->button() != Qt::LeftButton) return;
    if (pos.y() < headerTop()) { groupBoxMousePress(e); return; }
    if (pos.y() < rowsTop()) {
        bool edge = false;
        Column* c = headerColumnAt(pos, &edge);
        if (!c) return;
        if (m_editor && !postEdit()) return;
        if (!edge && headerButtonPressed(c, columnHeaderRect(c), pos)) return;
        m_dragColumn = c;
        m_pressPos = pos;
        if (edge && c->isSizable()) { m_drag = Drag::Resize; m_resizeStartWidth = c->width(); }
        else m_drag = Drag::Press;
        return;
    }
    int row = rowAt(pos);
    if (row < 0) return;
    const RowRef r = m_rows[row];
    Column* c = columnAt(pos);
    if (m_editor) {
        if (row == m_editRow && c == m_editColumn) return;
        if (!postEdit()) return;
    }
    if (r.kind == RowRef::Data && c == firstVisibleColumn() && rowContentIndent(r) > 0) {
        QRect cr = cellRect(row, c);
        if (hitRowDecoration(r, QRect(cr.left(), cr.top(), rowContentIndent(r), qMin(cr.height(), m_geom.lineHeight)), pos))
            return;
    }
    if (r.kind == RowRef::Group) {
        int x = (m_showIndicator ? IndicatorWidth : 0) + r.level * IndentStep;
        if (pos.x() >= x && pos.x() < x + IndentStep) { setRowExpanded(row, !rowExpanded(row)); return; }
    }
    bool wasFocused = row == focusedRow() && c == m_focusColumn;
    quintptr key = rowKey(r);
    Qt::KeyboardModifiers mods = e->modifiers();
    if (m_multiSelect && (mods & Qt::ControlModifier)) {
        if (m_selected.contains(key)) m_selected.remove(key);
        else if (canSelectRow(r)) m_selected.insert(key);
        m_anchorKey = key;
    } else if (m_multiSelect && (mods & Qt::ShiftModifier) && rowOfKey(m_anchorKey) >= 0) {
        int a = rowOfKey(m_anchorKey);
        m_selected.clear();
        for (int i = qMin(a, row); i <= qMax(a, row); ++i)
            if (canSelectRow(m_rows[i])) m_selected.insert(rowKey(m_rows[i]));
    } else {
        m_selected.clear();
        if (canSelectRow(r)) m_selected.insert(key);
        m_anchorKey = key;
    }
    setFocusKey(key, c);
    invalidateSummaries();
    emit selectionChanged();
    viewport()->update();
    if (r.kind == RowRef::Data && c && !mods) {
        EditorPtr ed = c->effectiveEditor(r);
        if (ed->toggleOnClick()) {
            QRect cr = cellRect(row, c);
            if (m_editingEnabled && !m_readOnly && c->isEditable() && !ed->readOnly() &&
                (!m_editingHook || m_editingHook(r, c)) && cr.contains(pos)) {
                QVariant old = cellValue(row, c);
                QVariant nv = ed->toggled(old);
                if (setCellValue(row, c, nv)) emit cellEdited(row, c, old, nv);
            }
        } else if (wasFocused) {
            startEdit(c);
        }
    }
}

void BandedView::mouseMoveEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    if (m_drag == Drag::Resize && m_dragColumn) {
        m_dragColumn->setWidth(qMax(20, m_resizeStartWidth + pos.x() - m_pressPos.x()));
        applyEqualWidths(m_dragColumn);
        return;
    }
    if (m_drag == Drag::Press && (pos - m_pressPos).manhattanLength() > 6) {
        m_drag = Drag::Move;
    }
    if (m_drag == Drag::Move) {
        m_dragPos = pos;
        viewport()->update();
        return;
    }
    if (e->buttons() == Qt::NoButton) {
        bool edge = false;
        Column* c = headerColumnAt(pos, &edge);
        viewport()->setCursor(c && edge && c->isSizable() ? Qt::SplitHCursor : Qt::ArrowCursor);
    }
}

void BandedView::mouseReleaseEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    Drag d = m_drag;
    Column* c = m_dragColumn;
    m_drag = Drag::None;
    m_dragColumn = nullptr;
    if (!c) return;
    if (d == Drag::Resize) {
        applyEqualWidths(c);
        emit columnResized(c);
    } else if (d == Drag::Press) {
        headerClicked(c, e->modifiers());
    } else if (d == Drag::Move) {
        if (pos.y() < headerTop()) {
            headerDropToGroupBox(c);
        } else if (pos.y() < rowsTop() && c->isMovable()) {
            Column* target = headerColumnAt(pos, nullptr);
            if (target && target != c && (m_bands[target->m_band].fixed == m_bands[c->m_band].fixed ||
                                          m_bands.value(target->m_band).movable))
                moveColumnBefore(c, target);
        }
        viewport()->update();
    }
}

void BandedView::mouseDoubleClickEvent(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    int row = rowAt(pos);
    if (row < 0 || e->button() != Qt::LeftButton) return;
    if (m_rows[row].kind == RowRef::Group) { setRowExpanded(row, !rowExpanded(row)); return; }
    Column* c = columnAt(pos);
    if (m_rows[row].kind == RowRef::Data && c) emit cellDoubleClicked(row, c);
}

void BandedView::moveColumnBefore(Column* moving, Column* target)
{
    beginUpdate();
    moving->setPosition(target->m_band, target->m_row, target->m_colIndex);
    endUpdate();
    relayout();
}

void BandedView::applyEqualWidths(Column* c)
{
    if (!m_equalWidthTags || c->tag() <= 0) return;
    for (Column* o : m_columns)
        if (o != c && o->m_band == c->m_band && o->tag() == c->tag()) o->m_width = c->m_width;
    relayout();
}

// ---------------------------------------------------------------- keyboard

int BandedView::nextEditableColumn(int dir) const
{
    QList<Column*> vis = visibleColumns();
    int i = int(vis.indexOf(m_focusColumn));
    for (int k = i + dir; k >= 0 && k < vis.size(); k += dir)
        if (vis[k]->isEditable()) return k;
    return -1;
}

void BandedView::moveFocus(int row, Qt::KeyboardModifiers mods)
{
    if (m_rows.isEmpty()) return;
    row = qBound(0, row, int(m_rows.size()) - 1);
    quintptr key = rowKey(m_rows[row]);
    if (m_multiSelect && (mods & Qt::ShiftModifier)) {
        int a = rowOfKey(m_anchorKey);
        if (a < 0) a = focusedRow();
        m_selected.clear();
        for (int i = qMin(a, row); i <= qMax(a, row); ++i)
            if (canSelectRow(m_rows[i])) m_selected.insert(rowKey(m_rows[i]));
    } else if (m_multiSelect && (mods & Qt::ControlModifier)) {
        // focus moves without selecting
    } else {
        m_selected.clear();
        if (canSelectRow(m_rows[row])) m_selected.insert(key);
        m_anchorKey = key;
    }
    setFocusKey(key, nullptr);
    makeRowVisible(row);
    invalidateSummaries();
    emit selectionChanged();
    viewport()->update();
}

void BandedView::keyPressEvent(QKeyEvent* e)
{
    int row = focusedRow();
    Qt::KeyboardModifiers mods = e->modifiers();
    int page = qMax(1, (rowsBottom() - rowsTop()) / qMax(1, m_geom.recordHeight));
    if ((e->matches(QKeySequence::Copy)) || (e->key() == Qt::Key_Insert && (mods & Qt::ControlModifier))) {
        copyToClipboard(mods & Qt::ShiftModifier);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Up: moveFocus(row - 1, mods); return;
    case Qt::Key_Down: moveFocus(row + 1, mods); return;
    case Qt::Key_PageUp: moveFocus(row - page, mods); return;
    case Qt::Key_PageDown: moveFocus(row + page, mods); return;
    case Qt::Key_Home: if (mods & Qt::ControlModifier) { moveFocus(0, mods); return; } break;
    case Qt::Key_End: if (mods & Qt::ControlModifier) { moveFocus(int(m_rows.size()) - 1, mods); return; } break;
    default: break;
    }
    if (row >= 0 && m_rows[row].kind != RowRef::Data) {
        if (e->key() == Qt::Key_Right || e->key() == Qt::Key_Plus || e->key() == Qt::Key_Return) { setRowExpanded(row, true); return; }
        if (e->key() == Qt::Key_Left || e->key() == Qt::Key_Minus) { setRowExpanded(row, false); return; }
    }
    QList<Column*> vis = visibleColumns();
    int ci = int(vis.indexOf(m_focusColumn));
    switch (e->key()) {
    case Qt::Key_Left:
        if (ci > 0) { m_focusColumn = vis[ci - 1]; viewport()->update(); }
        return;
    case Qt::Key_Right:
        if (ci + 1 < vis.size()) { m_focusColumn = vis[ci + 1]; viewport()->update(); }
        return;
    case Qt::Key_Home: if (!vis.isEmpty()) { m_focusColumn = vis.first(); viewport()->update(); } return;
    case Qt::Key_End: if (!vis.isEmpty()) { m_focusColumn = vis.last(); viewport()->update(); } return;
    case Qt::Key_Plus: if (row >= 0 && rowHasChildren(row)) setRowExpanded(row, true); return;
    case Qt::Key_Minus: if (row >= 0 && rowHasChildren(row)) setRowExpanded(row, false); return;
    case Qt::Key_F2: case Qt::Key_Return: case Qt::Key_Enter: startEdit(); return;
    case Qt::Key_Space:
        if (m_multiSelect && (mods & Qt::ControlModifier) && row >= 0) {
            selectRow(row, !isRowSelected(row));
            viewport()->update();
            return;
        }
        if (row >= 0 && m_focusColumn && m_focusColumn->effectiveEditor(m_rows[row])->toggleOnClick()) {
            RowRef r = m_rows[row];
            Column* c = m_focusColumn;
            if (m_editingEnabled && !m_readOnly && c->isEditable() && (!m_editingHook || m_editingHook(r, c))) {
                QVariant old = cellValue(row, c);
                QVariant nv = c->effectiveEditor(r)->toggled(old);
                if (setCellValue(row, c, nv)) emit cellEdited(row, c, old, nv);
            }
            return;
        }
        break;
    case Qt::Key_A:
        if (mods & Qt::ControlModifier) { selectAllRows(); viewport()->update(); return; }
        break;
    default: break;
    }
    QString t = e->text();
    if (!t.isEmpty() && t[0].isPrint() && !(mods & (Qt::ControlModifier | Qt::AltModifier))) {
        if (startEdit(nullptr, t)) return;
    }
    QAbstractScrollArea::keyPressEvent(e);
}

void BandedView::focusInEvent(QFocusEvent* e) { QAbstractScrollArea::focusInEvent(e); viewport()->update(); }
void BandedView::focusOutEvent(QFocusEvent* e) { QAbstractScrollArea::focusOutEvent(e); viewport()->update(); }

// ---------------------------------------------------------------- editing

bool BandedView::canEditCell(int row, Column* c) const
{
    if (!m_editingEnabled || m_readOnly || !c || !c->isEditable() || row < 0 || row >= m_rows.size() ||
        m_rows[row].kind != RowRef::Data)
        return false;
    if (c->effectiveEditor(m_rows[row])->readOnly()) return false;
    return !m_editingHook || m_editingHook(m_rows[row], c);
}

bool BandedView::startEdit(Column* c, const QString& typed)
{
    if (m_editor) return true;
    if (!m_editingEnabled || m_readOnly) return false;
    int row = focusedRow();
    if (row < 0 || m_rows[row].kind != RowRef::Data) return false;
    if (!c) c = m_focusColumn;
    if (!c || !c->isEditable() || !c->isVisible() || !m_geom.columnRect(c).isValid()) return false;
    RowRef r = m_rows[row];
    if (m_editingHook && !m_editingHook(r, c)) return false;
    EditorPtr ed = c->effectiveEditor(r);
    if (ed->readOnly()) return false;
    m_focusColumn = c;
    makeRowVisible(row);
    QWidget* w = ed->createEditor(viewport());
    m_editOldValue = cellValue(row, c);
    ed->setEditorValue(w, m_editOldValue);
    if (!typed.isEmpty()) {
        if (auto* le = qobject_cast<QLineEdit*>(w)) {
            if (auto* be = qobject_cast<ButtonEdit*>(w); be && be->noKeyInput()) {
                // typing into a button edit without text input clicks its button
                m_editor = w;
            } else {
                le->setText(typed);
            }
        }
    }
    QRect cr = cellRect(row, c).adjusted(0, 0, -1, -1);
    if (c == firstVisibleColumn()) cr.setLeft(cr.left() + rowContentIndent(r));
    w->setGeometry(cr);
    w->installEventFilter(this);
    m_editor = w;
    m_editorProps = ed;
    m_editRow = row;
    m_editColumn = c;
    w->show();
    w->setFocus();
    if (!typed.isEmpty()) {
        if (auto* be = qobject_cast<ButtonEdit*>(w); be && be->noKeyInput()) {
            QKeyEvent ke(QEvent::KeyPress, 0, Qt::NoModifier, typed);
            QApplication::sendEvent(be, &ke);
        }
    }
    viewport()->update();
    return true;
}

bool BandedView::postEdit()
{
    if (!m_editor) return true;
    QWidget* w = m_editor;
    int row = m_editRow;
    Column* c = m_editColumn;
    QVariant nv = m_editorProps->editorValue(w);
    if (refuseEditValue(row, c, nv)) return false;
    QVariant old = m_editOldValue;
    bool same = (isNullValue(nv) && isNullValue(old)) ||
                (!isNullValue(nv) && !isNullValue(old) && nv.toString() == old.toString() &&
                 (nv.typeId() == old.typeId() || nv.typeId() == QMetaType::QString));
    m_editor = nullptr;
    w->removeEventFilter(this);
    w->hide();
    w->deleteLater();
    m_editorProps.reset();
    m_editRow = -1;
    m_editColumn = nullptr;
    if (!same) {
        if (!setCellValue(row, c, nv)) {
            QApplication::beep();
        } else {
            emit cellEdited(row, c, old, cellValue(row, c));
        }
    }
    setFocus();
    viewport()->update();
    return true;
}

bool BandedView::postEditValue()
{
    if (!m_editor) return false;
    QVariant nv = m_editorProps->editorValue(m_editor);
    QVariant old = m_editOldValue;
    if (!setCellValue(m_editRow, m_editColumn, nv)) return false;
    m_editOldValue = cellValue(m_editRow, m_editColumn);
    emit cellEdited(m_editRow, m_editColumn, old, m_editOldValue);
    return true;
}

void BandedView::cancelEdit()
{
    if (!m_editor) return;
    QWidget* w = m_editor;
    m_editor = nullptr;
    w->removeEventFilter(this);
    w->hide();
    w->deleteLater();
    m_editorProps.reset();
    m_editRow = -1;
    m_editColumn = nullptr;
    if (isVisible()) setFocus();
    viewport()->update();
}

bool BandedView::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_editor) {
        if (e->type() == QEvent::KeyPress) {
            auto* ke = static_cast<QKeyEvent*>(e);
            bool comboOpen = false;
            if (auto* cb = qobject_cast<QComboBox*>(m_editor)) comboOpen = cb->view() && cb->view()->isVisible();
            switch (ke->key()) {
            case Qt::Key_Escape: cancelEdit(); return true;
            case Qt::Key_Return: case Qt::Key_Enter: {
                if (comboOpen) return false;
                if (postEdit() && m_enterNext) {
                    int k = nextEditableColumn(1);
                    if (k >= 0) { m_focusColumn = visibleColumns()[k]; startEdit(); }
                }
                return true;
            }
            case Qt::Key_Tab: case Qt::Key_Backtab: {
                if (!postEdit()) return true;
                int k = nextEditableColumn(ke->key() == Qt::Key_Tab ? 1 : -1);
                if (k >= 0) { m_focusColumn = visibleColumns()[k]; startEdit(); }
                return true;
            }
            case Qt::Key_Up: case Qt::Key_Down:
                if (comboOpen || qobject_cast<QComboBox*>(m_editor)) return false;
                if (postEdit()) moveFocus(focusedRow() + (ke->key() == Qt::Key_Up ? -1 : 1), Qt::NoModifier);
                return true;
            default: break;
            }
        } else if (e->type() == QEvent::FocusOut) {
            QWidget* fw = QApplication::focusWidget();
            if (!QApplication::activePopupWidget() && !(fw && m_editor->isAncestorOf(fw)) &&
                !(fw && fw->window() != window()))
                QMetaObject::invokeMethod(this, [this] { if (m_editor && !m_editor->hasFocus() &&
                    !m_editor->isAncestorOf(QApplication::focusWidget())) postEdit(); }, Qt::QueuedConnection);
        }
    }
    return QAbstractScrollArea::eventFilter(o, e);
}

// ---------------------------------------------------------------- clipboard

QString BandedView::copyText(bool selectedRows) const
{
    int row = focusedRow();
    if (!selectedRows) return row >= 0 ? cellText(row, m_focusColumn) : QString();
    QList<Column*> vis = visibleColumns();
    QStringList lines;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (!m_selected.contains(rowKey(m_rows[i]))) continue;
        if (m_rows[i].kind == RowRef::Group) { lines << groupRowText(i); continue; }
        QStringList cells;
        for (Column* c : vis) cells << cellText(i, c);
        lines << cells.join('\t');
    }
    return lines.join("\r\n");
}

void BandedView::copyToClipboard(bool selectedRows) const
{
    if (focusedRow() < 0) return;
    QApplication::clipboard()->setText(copyText(selectedRows));
}

// ---------------------------------------------------------------- cell model

CellModel::CellModel(BandedView* view) : QAbstractTableModel(view), m_view(view) {}

void CellModel::reset()
{
    beginResetModel();
    m_columns = m_view->visibleColumns();
    endResetModel();
}

int CellModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_view->rowCount(); }
int CellModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_columns.size()); }

QVariant CellModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_view->rowCount() || index.column() >= m_columns.size()) return QVariant();
    Column* c = m_columns[index.column()];
    RowRef r = m_view->row(index.row());
    switch (role) {
    case RowKindRole: return int(r.kind);
    case LevelRole: return r.level;
    case RecordRole: return r.record;
    default: break;
    }
    if (r.kind == RowRef::Group) {
        if (role == Qt::DisplayRole && index.column() == 0) return m_view->groupRowText(index.row());
        return QVariant();
    }
    if (r.kind == RowRef::GroupFooter) {
        if (role == Qt::DisplayRole) return m_view->groupFooterText(index.row(), c);
        if (role == Qt::EditRole) return m_view->groupFooterValue(index.row(), c);
        return QVariant();
    }
    CellFormat f = m_view->cellFormat(index.row(), c, true);
    switch (role) {
    case Qt::DisplayRole: return f.text;
    case Qt::EditRole: return f.value;
    case Qt::BackgroundRole: return f.background;
    case Qt::ForegroundRole: return f.textColor;
    case Qt::FontRole: return f.font;
    case Qt::TextAlignmentRole: return int(f.alignment);
    case FontStyleRole: {
        int s = 0;
        if (f.font.bold()) s |= 1;
        if (f.font.italic()) s |= 2;
        if (f.font.underline()) s |= 4;
        if (f.font.strikeOut()) s |= 8;
        return s;
    }
    default: return QVariant();
    }
}

QVariant CellModel::headerData(int section, Qt::Orientation o, int role) const
{
    if (o == Qt::Horizontal && section >= 0 && section < m_columns.size()) {
        if (role == Qt::DisplayRole) return m_columns[section]->caption();
        if (role == FooterRole) return m_view->footerText(m_columns[section]);
    }
    return QVariant();
}

} // namespace kvui
