#include "BandedGrid.h"
#include "ColumnFilter.h"
#include "ColumnFilterWidgets.h"
#include "DisplayFormat.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kvui {

namespace {
constexpr quintptr GroupKeyBit = quintptr(1) << (sizeof(quintptr) * 8 - 2);
constexpr quintptr FooterKeyBit = quintptr(1) << (sizeof(quintptr) * 8 - 3);
const char* const EmptyGroupBoxText = "拖动列标题至此, 按该列分组";
}

BandedGrid::BandedGrid(QWidget* parent) : BandedView(parent), m_filter(new ColumnFilter(this))
{
    connect(m_filter, &ColumnFilter::changed, this, [this] { filterChanged(); });
    connect(this, &BandedView::focusedRowChanged, this, [this](int, int) {
        if (!m_refreshing) noteFocusedRecord();
    });
}

void BandedGrid::noteFocusedRecord()
{
    // The event follows the record, not its index: a record that moves because
    // others were added or removed before it is still the same record.
    int rec = focusedRecordIndex();
    quintptr key = rec >= 0 ? recordKey(rec) : 0;
    int prev = m_lastFocusRecord;
    m_lastFocusRecord = rec;
    if (key != m_lastFocusKey) {
        m_lastFocusKey = key;
        emit focusedRecordChanged(prev, rec);
    }
}

quintptr BandedGrid::recordKey(int record) const
{
    return quintptr(m_source ? m_source->recordId(record) : quint64(record)) + 1;
}

void BandedGrid::takeRecordKeys()
{
    // Row keys come from the record identities as they were when the rows were
    // built, so that focus and selection still name the right records after
    // the source changed and before the rows are rebuilt.
    m_recordKeys.clear();
    m_recordKeys.reserve(m_order.size());
    for (int i = 0; i < recordCount(); ++i) m_recordKeys << recordKey(i);
}

BandedGrid::~BandedGrid()
{
    if (m_source) m_source->setChangedHandler({});
}

void BandedGrid::setDataSource(DataSource* source)
{
    if (m_source && m_source != source) m_source->setChangedHandler({});
    m_source = source;
    if (m_source) m_source->setChangedHandler([this] { refresh(); });
    m_expanded.clear();
    refresh();
}

void BandedGrid::resolveFields()
{
    for (Column* c : columns())
        c->m_field = m_source && !c->fieldName().isEmpty() ? m_source->fieldIndex(c->fieldName()) : -1;
}

void BandedGrid::refresh()
{
    // Focus and selection stay with their records (by identity, row keys are
    // built from it) across added, deleted, reverted and filtered records; a
    // focused record that no longer shows hands the focus to the row now at
    // its place (focusFallbackRow).
    m_refreshQueued = false;
    // The rows still hold the keys the records had when they were built.
    int row = focusedRow();
    bool focused = row >= 0 && m_rows[row].kind == RowRef::Data;
    quint64 focusedId = focused ? quint64(rowKey(m_rows[row]) - 1) : 0;
    m_refreshing = true;
    resort();
    int now = focused && m_source ? m_source->recordOfId(focusedId) : -1;
    if (now >= 0 && updateLockCount() == 0 && focusedRecordIndex() != now) setFocusedRecordIndex(now);
    m_refreshing = false;
    noteFocusedRecord();
}

void BandedGrid::queueRefresh()
{
    if (m_refreshQueued) return;
    m_refreshQueued = true;
    QMetaObject::invokeMethod(this, [this] { if (m_refreshQueued) refresh(); }, Qt::QueuedConnection);
}

int BandedGrid::focusFallbackRow(int previousRow) const
{
    return previousRow >= 0 ? qMin(previousRow, rowCount() - 1) : 0;
}

int BandedGrid::recordCount() const { return m_source ? m_source->recordCount() : 0; }

QVariant BandedGrid::value(int record, Column* c) const
{
    if (!c || record < 0 || record >= recordCount()) return QVariant();
    RowRef r;
    r.record = record;
    r.level = groupLevels();
    if (c->valueHook) return c->valueHook(r);
    return rowValue(r, c);
}

QString BandedGrid::displayText(int record, Column* c) const
{
    if (!c) return QString();
    RowRef r;
    r.record = record;
    QVariant v = value(record, c);
    QString text = c->effectiveEditor(r)->displayText(v);
    if (c->displayTextHook) c->displayTextHook(r, v, text);
    return text;
}

bool BandedGrid::setValue(int record, Column* c, const QVariant& v)
{
    int row = rowOfRecord(record);
    if (row >= 0) return setCellValue(row, c, v);
    RowRef r;
    r.record = record;
    if (!writeRowValue(r, c, v)) return false;
    invalidateSummaries();
    return true;
}

QVariant BandedGrid::rowValue(const RowRef& r, const Column* c) const
{
    if (!m_source || r.record < 0) return QVariant();
    int f = c->m_field;
    if (f < 0 && !c->fieldName().isEmpty()) f = m_source->fieldIndex(c->fieldName());
    return f >= 0 ? m_source->value(r.record, f) : QVariant();
}

int BandedGrid::editValueType(const RowRef& r, Column* c) const
{
    if (!m_source || r.record < 0) return QMetaType::UnknownType;
    int f = c->m_field >= 0 ? c->m_field : m_source->fieldIndex(c->fieldName());
    if (f < 0) return QMetaType::UnknownType;
    int type = m_source->fieldType(f);
    if (type == QMetaType::UnknownType) {
        QVariant old = m_source->value(r.record, f);
        if (old.isValid() && !old.isNull()) type = old.typeId();
    }
    return type;
}

bool BandedGrid::writeRowValue(const RowRef& r, Column* c, const QVariant& v)
{
    if (!m_source || r.record < 0) return false;
    int f = c->m_field >= 0 ? c->m_field : m_source->fieldIndex(c->fieldName());
    if (f < 0) return false;
    bool ok = true;
    QVariant nv = convertEditedValue(v, editValueType(r, c), &ok);
    if (!ok) return false;
    if (!m_source->setValue(r.record, f, nv)) return false;
    // A record edited in a sorted or grouped column moves to its new place once
    // the edit is over (the caller may still hold the row it edited).
    if (c->sortIndex() >= 0 || c->groupIndex() >= 0) queueRefresh();
    return true;
}

quintptr BandedGrid::rowKey(const RowRef& r) const
{
    if (r.kind == RowRef::Data)
        return r.record >= 0 && r.record < m_recordKeys.size() ? m_recordKeys[r.record] : recordKey(r.record);
    const QString& key = m_groups[r.group].key;
    quintptr id = m_groupIds.value(key, 0);
    if (!id) { id = quintptr(m_groupIds.size()) + 1; m_groupIds.insert(key, id); }
    return id | (r.kind == RowRef::Group ? GroupKeyBit : FooterKeyBit);
}

int BandedGrid::compareRecords(int a, int b, const QList<Column*>& keys) const
{
    for (Column* c : keys) {
        int k = compareValues(value(a, c), value(b, c));
        if (k) return c->sortOrder() == Qt::DescendingOrder ? -k : k;
    }
    return 0;
}

void BandedGrid::resort()
{
    resolveFields();
    QList<Column*> keys = groupedColumns();
    for (Column* c : sortedColumns())
        if (!keys.contains(c)) keys << c;
    m_order.clear();
    for (int i = 0; i < recordCount(); ++i) m_order << i;
    takeRecordKeys();
    dropFilteredRecords();
    if (!keys.isEmpty())
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](int a, int b) { return compareRecords(a, b, keys) < 0; });
    m_groups.clear();
    m_topGroups.clear();
    if (!groupedColumns().isEmpty()) buildGroups(-1, 0, 0, int(m_order.size()), QString());
    rowsChanged();
}

void BandedGrid::buildGroups(int parent, int level, int first, int last, const QString& parentKey)
{
    QList<Column*> gcols = groupedColumns();
    Column* c = gcols[level];
    int i = first;
    while (i < last) {
        QVariant v = value(m_order[i], c);
        int j = i + 1;
        while (j < last && compareValues(value(m_order[j], c), v) == 0) ++j;
        Group g{level, c, v, i, j, {}, parentKey + QChar(0x1f) + QString::number(c->valueIndex()) + ':' + v.toString()};
        int gi = int(m_groups.size());
        m_groups << g;
        if (parent < 0) m_topGroups << gi;
        else m_groups[parent].children << gi;
        if (level + 1 < gcols.size()) buildGroups(gi, level + 1, i, j, g.key);
        i = j;
    }
}

void BandedGrid::emitRows(int gi, QList<RowRef>& rows) const
{
    const Group& g = m_groups[gi];
    RowRef gr;
    gr.kind = RowRef::Group;
    gr.level = g.level;
    gr.group = gi;
    rows << gr;
    if (!m_expanded.value(g.key, false)) return;
    if (!g.children.isEmpty()) {
        for (int ci : g.children) emitRows(ci, rows);
    } else {
        for (int i = g.first; i < g.last; ++i) {
            RowRef r;
            r.kind = RowRef::Data;
            r.level = g.level + 1;
            r.record = m_order[i];
            rows << r;
        }
    }
    if (m_groupFooterMode == GroupFootersWhenExpanded) {
        bool any = false;
        for (Column* c : visibleColumns()) if (c->groupSummary().kind != SummaryKind::None) any = true;
        if (any) {
            RowRef f;
            f.kind = RowRef::GroupFooter;
            f.level = g.level;
            f.group = gi;
            rows << f;
        }
    }
}

void BandedGrid::buildRows(QList<RowRef>& rows)
{
    if (m_orderSourceCount != recordCount()) {
        // The source changed size behind our back: show it as it stands.
        m_order.clear();
        for (int i = 0; i < recordCount(); ++i) m_order << i;
        takeRecordKeys();
        dropFilteredRecords();
        m_groups.clear();
        m_topGroups.clear();
        if (!groupedColumns().isEmpty()) buildGroups(-1, 0, 0, int(m_order.size()), QString());
    }
    if (m_groups.isEmpty()) {
        for (int rec : std::as_const(m_order)) {
            RowRef r;
            r.record = rec;
            rows << r;
        }
        return;
    }
    for (int gi : std::as_const(m_topGroups)) emitRows(gi, rows);
}

QList<RowRef> BandedGrid::summaryRows(const RowRef* groupRow) const
{
    QList<RowRef> out;
    int first = 0, last = int(m_order.size());
    if (groupRow && groupRow->group >= 0 && groupRow->group < m_groups.size()) {
        first = m_groups[groupRow->group].first;
        last = m_groups[groupRow->group].last;
    }
    for (int i = first; i < last; ++i) {
        RowRef r;
        r.record = m_order[i];
        out << r;
    }
    return out;
}

int BandedGrid::focusedRecordIndex() const
{
    int row = focusedRow();
    return row >= 0 ? m_rows[row].record : -1;
}

int BandedGrid::rowOfRecord(int record) const
{
    return record < 0 || record >= recordCount() ? -1 : rowOfKey(recordKey(record));
}

bool BandedGrid::setFocusedRecordIndex(int record)
{
    if (record < 0 || record >= recordCount()) return false;
    if (rowOfRecord(record) < 0) {
        // Open the groups that hold the record.
        int pos = int(m_order.indexOf(record));
        for (const Group& g : std::as_const(m_groups))
            if (pos >= g.first && pos < g.last) m_expanded[g.key] = true;
        rowsChanged();
    }
    int row = rowOfRecord(record);
    if (row < 0) return false;
    setFocusedRow(row, true);
    return true;
}

quint64 BandedGrid::bookmark() const
{
    int record = focusedRecordIndex();
    if (record < 0) return NoBookmark;
    return m_source ? m_source->recordId(record) : quint64(record);
}

bool BandedGrid::gotoBookmark(quint64 bookmark)
{
    if (bookmark == NoBookmark || !m_source) return false;
    return setFocusedRecordIndex(m_source->recordOfId(bookmark));
}

QList<int> BandedGrid::selectedRecordIndexes() const
{
    QList<int> out;
    for (const RowRef& r : m_rows)
        if (r.kind == RowRef::Data && m_selected.contains(rowKey(r))) out << r.record;
    return out;
}

void BandedGrid::selectRecord(int record, bool on)
{
    int row = rowOfRecord(record);
    if (row >= 0) selectRow(row, on);
    viewport()->update();
}

void BandedGrid::sortBy(Column* c, Qt::SortOrder order, bool add)
{
    if (!add) {
        for (Column* o : columns())
            if (o != c && o->groupIndex() < 0) o->m_sortIndex = -1;
    }
    c->m_sortOrder = order;
    if (c->m_sortIndex < 0 && c->m_groupIndex < 0) {
        int n = 0;
        for (Column* o : columns()) if (o->m_sortIndex >= 0) n = qMax(n, o->m_sortIndex + 1);
        c->m_sortIndex = n;
    }
    resort();
}

void BandedGrid::clearSorting()
{
    for (Column* c : columns()) c->m_sortIndex = -1;
    resort();
}

QList<Column*> BandedGrid::sortedColumns() const
{
    QList<Column*> out;
    for (Column* c : columns()) if (c->sortIndex() >= 0) out << c;
    std::stable_sort(out.begin(), out.end(), [](Column* a, Column* b) { return a->sortIndex() < b->sortIndex(); });
    return out;
}

void BandedGrid::groupBy(Column* c, int groupIndex)
{
    QList<Column*> g = groupedColumns();
    g.removeAll(c);
    if (groupIndex < 0 || groupIndex > g.size()) groupIndex = int(g.size());
    g.insert(groupIndex, c);
    for (int i = 0; i < g.size(); ++i) g[i]->m_groupIndex = i;
    c->m_sortIndex = -1;
    if (m_hideGrouped) c->m_visible = false;
    resort();
}

void BandedGrid::ungroup(Column* c)
{
    if (c->m_groupIndex < 0) return;
    QList<Column*> g = groupedColumns();
    g.removeAll(c);
    c->m_groupIndex = -1;
    for (int i = 0; i < g.size(); ++i) g[i]->m_groupIndex = i;
    if (m_hideGrouped) c->m_visible = true;
    resort();
}

void BandedGrid::clearGrouping()
{
    for (Column* c : columns()) {
        if (c->m_groupIndex >= 0 && m_hideGrouped) c->m_visible = true;
        c->m_groupIndex = -1;
    }
    resort();
}

QList<Column*> BandedGrid::groupedColumns() const
{
    QList<Column*> out;
    for (Column* c : columns()) if (c->groupIndex() >= 0) out << c;
    std::stable_sort(out.begin(), out.end(), [](Column* a, Column* b) { return a->groupIndex() < b->groupIndex(); });
    return out;
}

void BandedGrid::expandAllGroups()
{
    for (const Group& g : std::as_const(m_groups)) m_expanded[g.key] = true;
    rowsChanged();
}

void BandedGrid::collapseAllGroups()
{
    m_expanded.clear();
    rowsChanged();
}

void BandedGrid::setShowGroupByBox(bool on)
{
    m_showGroupBox = on;
    relayout();
}

void BandedGrid::setGroupFooterMode(GroupFooterMode m)
{
    m_groupFooterMode = m;
    rowsChanged();
}

QString BandedGrid::groupRowText(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_rows[row].kind != RowRef::Group) return QString();
    const Group& g = m_groups[m_rows[row].group];
    RowRef r;
    r.record = m_order.value(g.first, -1);
    QString text = g.column->effectiveEditor(r)->displayText(g.value);
    if (g.column->displayTextHook) g.column->displayTextHook(r, g.value, text);
    return g.column->caption() + " : " + text;
}

bool BandedGrid::rowHasChildren(int row) const
{
    return row >= 0 && row < m_rows.size() && m_rows[row].kind == RowRef::Group;
}

bool BandedGrid::rowExpanded(int row) const
{
    if (!rowHasChildren(row)) return false;
    return m_expanded.value(m_groups[m_rows[row].group].key, false);
}

void BandedGrid::setRowExpanded(int row, bool expanded)
{
    if (!rowHasChildren(row)) return;
    m_expanded[m_groups[m_rows[row].group].key] = expanded;
    rowsChanged();
}

void BandedGrid::headerClicked(Column* c, Qt::KeyboardModifiers mods)
{
    if (!sortingEnabled() || !c->isSortable()) return;
    if (mods & Qt::ControlModifier) {
        c->m_sortIndex = -1;
        resort();
        return;
    }
    bool sorted = c->sortIndex() >= 0 || c->groupIndex() >= 0;
    Qt::SortOrder order = sorted && c->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    sortBy(c, order, mods & Qt::ShiftModifier);
}

QString BandedGrid::sortMarkFor(Column* c) const
{
    if (c->sortIndex() < 0 && c->groupIndex() < 0) return QString();
    return c->sortOrder() == Qt::AscendingOrder ? QStringLiteral("up") : QStringLiteral("down");
}

bool BandedGrid::headerDropToGroupBox(Column* c)
{
    if (!m_showGroupBox || !c->isGroupable() || !sortingEnabled()) return false;
    groupBy(c);
    return true;
}

int BandedGrid::groupBoxHeight() const
{
    if (!m_showGroupBox) return 0;
    int n = int(groupedColumns().size());
    int lh = geometry().lineHeight;
    return 16 + lh + qMax(0, n - 1) * (lh / 2);
}

QList<QRect> BandedGrid::groupBoxItemRects() const
{
    QList<QRect> out;
    int x = 10;
    int lh = geometry().lineHeight;
    const QList<Column*> g = groupedColumns();
    for (int i = 0; i < g.size(); ++i) {
        int w = fontMetrics().horizontalAdvance(g[i]->caption()) + 28;
        out << QRect(x, 8 + i * (lh / 2), w, lh);
        x += w + 10;
    }
    return out;
}

void BandedGrid::paintGroupBox(QPainter* p, const QRect& r)
{
    p->fillRect(r, m_pal.groupBox);
    const QList<Column*> g = groupedColumns();
    if (g.isEmpty()) {
        p->setPen(QColor(0xe8, 0xee, 0xf6));
        p->drawText(r.adjusted(12, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QString::fromUtf8(EmptyGroupBoxText));
        return;
    }
    QList<QRect> rects = groupBoxItemRects();
    p->setPen(QColor(0x30, 0x30, 0x30));
    for (int i = 1; i < rects.size(); ++i) {
        // Connector from the previous item down to this one.
        int x = rects[i - 1].right() - 6;
        p->drawLine(x, rects[i - 1].bottom() + 1, x, rects[i].center().y());
        p->drawLine(x, rects[i].center().y(), rects[i].left() - 1, rects[i].center().y());
    }
    for (int i = 0; i < rects.size(); ++i) {
        paintHeaderCell(p, rects[i], g[i]->caption(), false, sortMarkFor(g[i]));
        p->setPen(m_pal.headerBorder);
        p->drawRect(rects[i].adjusted(0, 0, -1, -1));
    }
}

void BandedGrid::groupBoxMousePress(QMouseEvent* e)
{
    QPoint pos = e->position().toPoint();
    QList<QRect> rects = groupBoxItemRects();
    const QList<Column*> g = groupedColumns();
    for (int i = 0; i < rects.size(); ++i)
        if (rects[i].contains(pos)) {
            m_boxDrag = g[i];
            m_boxPress = pos;
            return;
        }
}

void BandedGrid::mouseReleaseEvent(QMouseEvent* e)
{
    if (m_boxDrag) {
        Column* c = m_boxDrag;
        m_boxDrag = nullptr;
        QPoint pos = e->position().toPoint();
        if ((pos - m_boxPress).manhattanLength() > 6) {
            if (pos.y() >= headerTop()) ungroup(c);
        } else {
            c->m_sortOrder = c->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
            resort();
        }
        return;
    }
    BandedView::mouseReleaseEvent(e);
}

// ---------------------------------------------------------------- column filtering

void BandedGrid::dropFilteredRecords()
{
    m_orderSourceCount = recordCount();
    if (!m_filter->isFiltering()) return;
    m_order.erase(std::remove_if(m_order.begin(), m_order.end(), [this](int rec) { return !m_filter->accepts(rec); }),
                  m_order.end());
}

void BandedGrid::setColumnFilteringEnabled(bool on)
{
    if (m_filterEnabled == on) return;
    m_filterEnabled = on;
    if (!on) m_filter->clear();
    viewport()->update();
}

void BandedGrid::filterChanged()
{
    if (!m_filterBar && !m_filter->isEmpty()) m_filterBar = new ColumnFilterBar(this);
    placeFilterBar();
    refresh();
}

void BandedGrid::placeFilterBar()
{
    const bool shown = m_filterBar && !m_filter->isEmpty();
    const int h = shown ? qMax(22, fontMetrics().height() + 8) : 0;
    setViewportMargins(0, 0, 0, h);
    if (!m_filterBar) return;
    m_filterBar->setVisible(shown);
    if (shown) {
        const QRect vp = viewport()->geometry();
        m_filterBar->setGeometry(vp.left(), vp.bottom() + 1, vp.width(), h);
        m_filterBar->refresh();
    }
}

void BandedGrid::resizeEvent(QResizeEvent* e)
{
    BandedView::resizeEvent(e);
    if (m_filterBar && m_filterBar->isVisible()) placeFilterBar();
}

int BandedGrid::headerButtonWidth(Column* c) const
{
    return m_filterEnabled && c && c->isFilterable() ? 14 : 0;
}

QRect BandedGrid::filterButtonRect(Column* c) const
{
    const int w = headerButtonWidth(c);
    const QRect header = columnHeaderRect(c);
    if (!w || header.isEmpty()) return QRect();
    return QRect(header.right() - w, header.top() + 1, w, header.height() - 2);
}

void BandedGrid::paintHeaderButton(QPainter* p, Column* c, const QRect& header) const
{
    const int w = headerButtonWidth(c);
    if (!w) return;
    const QRect r(header.right() - w, header.top() + 1, w, header.height() - 2);
    const bool filtered = m_filter->isColumnFiltered(c);
    const QPoint mid = r.center();
    QPolygon arrow;
    arrow << QPoint(mid.x() - 4, mid.y() - 2) << QPoint(mid.x() + 4, mid.y() - 2) << QPoint(mid.x(), mid.y() + 3);
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    p->setPen(Qt::NoPen);
    // A filtered column's button stands out in the selection colour.
    p->setBrush(filtered ? m_pal.selection : QColor(0x7a, 0x86, 0x98));
    p->drawPolygon(arrow);
    p->restore();
}

bool BandedGrid::headerButtonPressed(Column* c, const QRect& header, const QPoint& pos)
{
    const int w = headerButtonWidth(c);
    if (!w || pos.x() < header.right() - w) return false;
    QMenu* menu = ColumnFilterMenu(this, c);
    menu->popup(viewport()->mapToGlobal(QPoint(header.left(), header.bottom() + 1)));
    return true;
}

} // namespace kvui
