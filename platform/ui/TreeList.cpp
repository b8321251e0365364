#include "TreeList.h"
#include "DisplayFormat.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>

namespace kvui {

namespace {
constexpr int CheckWidth = 18;
}

// ---------------------------------------------------------------- TreeNode

TreeNode::~TreeNode()
{
    qDeleteAll(m_children);
}

int TreeNode::index() const
{
    const QList<TreeNode*>& sib = m_parent ? m_parent->m_children : m_tree->m_top;
    return int(sib.indexOf(const_cast<TreeNode*>(this)));
}

int TreeNode::level() const
{
    int l = 0;
    for (TreeNode* p = m_parent; p; p = p->m_parent) ++l;
    return l;
}

TreeNode* TreeNode::nextSibling() const
{
    const QList<TreeNode*>& sib = m_parent ? m_parent->m_children : m_tree->m_top;
    int i = index();
    return i >= 0 && i + 1 < sib.size() ? sib[i + 1] : nullptr;
}

TreeNode* TreeNode::prevSibling() const
{
    const QList<TreeNode*>& sib = m_parent ? m_parent->m_children : m_tree->m_top;
    int i = index();
    return i > 0 ? sib[i - 1] : nullptr;
}

bool TreeNode::isVisible() const
{
    for (TreeNode* p = m_parent; p; p = p->m_parent)
        if (!p->m_expanded) return false;
    return true;
}

QVariant TreeNode::value(const Column* c) const
{
    return c ? m_values.value(c->valueIndex()) : QVariant();
}

void TreeNode::setValue(const Column* c, const QVariant& v)
{
    if (!c) return;
    if (m_values.size() <= c->valueIndex()) m_values.resize(c->valueIndex() + 1);
    m_values[c->valueIndex()] = v;
    m_tree->nodeChanged(false);
}

QString TreeNode::text(Column* c) const
{
    if (!c) return QString();
    RowRef r;
    r.node = const_cast<TreeNode*>(this);
    r.level = level();
    QVariant v = c->valueHook ? c->valueHook(r) : value(c);
    QString t = c->effectiveEditor(r)->displayText(v);
    if (c->displayTextHook) c->displayTextHook(r, v, t);
    return t;
}

void TreeNode::setImageIndex(int i) { m_image = i; m_tree->nodeChanged(false); }
void TreeNode::setStateIndex(int i) { m_state = i; m_tree->nodeChanged(false); }

void TreeNode::setCheckState(Qt::CheckState s)
{
    if (m_check == s) return;
    m_check = s;
    m_tree->nodeChanged(false);
    emit m_tree->nodeCheckChanged(this);
}

void TreeNode::setCheckable(bool on) { m_checkable = on; m_tree->nodeChanged(false); }
void TreeNode::setEnabled(bool on) { m_enabled = on; m_tree->nodeChanged(false); }

void TreeNode::setHasChildren(bool on) { m_hasChildren = on; m_tree->nodeChanged(false); }

void TreeNode::setExpanded(bool on)
{
    if (on) m_tree->expandNode(this);
    else m_tree->collapseNode(this);
}

TreeNode* TreeNode::addChild() { return m_tree->addNode(this); }
TreeNode* TreeNode::insertChild(int before) { return m_tree->insertNode(this, before); }

void TreeNode::deleteChildren()
{
    for (TreeNode* c : m_children) m_tree->forget(c);
    qDeleteAll(m_children);
    m_children.clear();
    m_tree->nodeChanged(true);
}

void TreeNode::moveTo(TreeNode* newParent, int before)
{
    for (TreeNode* p = newParent; p; p = p->m_parent)
        if (p == this) return;  // not below itself
    QList<TreeNode*>& from = m_parent ? m_parent->m_children : m_tree->m_top;
    from.removeAll(this);
    m_parent = newParent;
    QList<TreeNode*>& to = newParent ? newParent->m_children : m_tree->m_top;
    if (before < 0 || before > to.size()) before = int(to.size());
    to.insert(before, this);
    m_tree->nodeChanged(true);
}

// ---------------------------------------------------------------- TreeList

TreeList::TreeList(QWidget* parent) : BandedView(parent)
{
    connect(this, &BandedView::focusedRowChanged, this, [this](int, int) {
        TreeNode* cur = focusedNode();
        if (cur != m_lastFocus) {
            TreeNode* prev = m_lastFocus;
            m_lastFocus = cur;
            emit focusedNodeChanged(prev, cur);
        }
    });
}

TreeList::~TreeList()
{
    qDeleteAll(m_top);
}

void TreeList::nodeChanged(bool structure)
{
    if (structure) rowsChanged();
    else invalidateSummaries();
}

void TreeList::forget(TreeNode* node)
{
    m_selected.remove(quintptr(node));
    if (m_lastFocus == node) m_lastFocus = nullptr;
    if (isEditing()) cancelEdit();
    for (TreeNode* c : std::as_const(node->m_children)) forget(c);
}

TreeNode* TreeList::addNode(TreeNode* parent)
{
    return insertNode(parent, -1);
}

TreeNode* TreeList::insertNode(TreeNode* parent, int before)
{
    auto* n = new TreeNode(this, parent);
    QList<TreeNode*>& list = parent ? parent->m_children : m_top;
    if (before < 0 || before > list.size()) before = int(list.size());
    list.insert(before, n);
    if (!parent || parent->isVisible()) nodeChanged(true);
    return n;
}

void TreeList::deleteNode(TreeNode* node)
{
    if (!node) return;
    forget(node);
    QList<TreeNode*>& list = node->m_parent ? node->m_parent->m_children : m_top;
    list.removeAll(node);
    delete node;
    nodeChanged(true);
}

void TreeList::clear()
{
    cancelEdit();
    m_selected.clear();
    m_lastFocus = nullptr;
    qDeleteAll(m_top);
    m_top.clear();
    nodeChanged(true);
}

void TreeList::collect(const QList<TreeNode*>& list, QList<TreeNode*>& out, bool visibleOnly) const
{
    for (TreeNode* n : list) {
        out << n;
        if (!visibleOnly || n->m_expanded) collect(n->m_children, out, visibleOnly);
    }
}

QList<TreeNode*> TreeList::allNodes(bool visibleOnly) const
{
    QList<TreeNode*> out;
    collect(m_top, out, visibleOnly);
    return out;
}

TreeNode* TreeList::focusedNode() const
{
    int row = focusedRow();
    return row >= 0 ? m_rows[row].node : nullptr;
}

int TreeList::rowOfNode(TreeNode* node) const
{
    return node ? rowOfKey(quintptr(node)) : -1;
}

void TreeList::setFocusedNode(TreeNode* node)
{
    if (!node) return;
    // Open its parents so that it shows.
    QList<TreeNode*> chain;
    for (TreeNode* p = node->m_parent; p; p = p->m_parent) chain.prepend(p);
    bool changed = false;
    for (TreeNode* p : chain)
        if (!p->m_expanded) { p->m_expanded = true; changed = true; }
    if (changed) rowsChanged();
    // Under held updates the rows still name the nodes shown before (perhaps
    // deleted ones at the same address): the node is focused once rows are rebuilt.
    focusKeyWhenShown(quintptr(node));
}

QList<TreeNode*> TreeList::selectedNodes() const
{
    QList<TreeNode*> out;
    for (TreeNode* n : allNodes())
        if (m_selected.contains(quintptr(n))) out << n;
    return out;
}

void TreeList::selectNode(TreeNode* node, bool on)
{
    int row = rowOfNode(node);
    if (row >= 0) selectRow(row, on);
    else if (!on) { m_selected.remove(quintptr(node)); emit selectionChanged(); }
    viewport()->update();
}

bool TreeList::expandNode(TreeNode* node)
{
    if (!node) return false;
    if (node->m_expanded) return true;
    if (!node->hasChildren()) return false;
    if (m_expanding && !m_expanding(node)) return false;
    if (node->m_children.isEmpty()) {
        // Nothing to show after loading: the button goes away.
        node->m_hasChildren = false;
        nodeChanged(true);
        return false;
    }
    node->m_expanded = true;
    if (node->isVisible()) nodeChanged(true);
    emit nodeExpanded(node);
    return true;
}

void TreeList::collapseNode(TreeNode* node)
{
    if (!node || !node->m_expanded) return;
    if (m_collapsing && !m_collapsing(node)) return;
    TreeNode* f = focusedNode();
    bool focusInside = false;
    for (TreeNode* p = f ? f->m_parent : nullptr; p; p = p->m_parent)
        if (p == node) focusInside = true;
    node->m_expanded = false;
    nodeChanged(true);
    if (focusInside) setFocusedNode(node);
    emit nodeCollapsed(node);
}

bool TreeList::expandDeep(TreeNode* node, const std::function<bool()>& stop)
{
    if (node->hasChildren()) expandNode(node);
    const QList<TreeNode*> kids = node->m_children;
    for (TreeNode* c : kids) {
        if (stop && stop()) return false;
        if (!expandDeep(c, stop)) return false;
    }
    return true;
}

bool TreeList::expandAll(const std::function<bool()>& stop)
{
    beginUpdate();
    bool done = true;
    const QList<TreeNode*> tops = m_top;
    for (TreeNode* n : tops) {
        if ((stop && stop()) || !expandDeep(n, stop)) { done = false; break; }
    }
    endUpdate();
    rowsChanged();
    return done;
}

void TreeList::collapseAll()
{
    for (TreeNode* n : allNodes()) n->m_expanded = false;
    rowsChanged();
}

bool TreeList::rowHasChildren(int row) const
{
    TreeNode* n = nodeAtRow(row);
    return n && n->hasChildren();
}

bool TreeList::rowExpanded(int row) const
{
    TreeNode* n = nodeAtRow(row);
    return n && n->m_expanded;
}

void TreeList::setRowExpanded(int row, bool expanded)
{
    TreeNode* n = nodeAtRow(row);
    if (!n) return;
    if (expanded) expandNode(n);
    else if (n->m_expanded) collapseNode(n);
    else if (n->m_parent) {
        // Collapsing a closed node closes its parent.
        TreeNode* p = n->m_parent;
        collapseNode(p);
    }
}

void TreeList::sortChildren(QList<TreeNode*>& list) const
{
    const QList<Column*> keys = sortedColumns();
    if (keys.isEmpty()) return;
    std::stable_sort(list.begin(), list.end(), [&](TreeNode* a, TreeNode* b) {
        for (Column* c : keys) {
            RowRef ra, rb;
            ra.node = a;
            rb.node = b;
            QVariant va = c->valueHook ? c->valueHook(ra) : a->value(c);
            QVariant vb = c->valueHook ? c->valueHook(rb) : b->value(c);
            int k = compareValues(va, vb);
            if (k) return c->sortOrder() == Qt::DescendingOrder ? k > 0 : k < 0;
        }
        return false;
    });
}

void TreeList::emitRows(TreeNode* node, QList<RowRef>& rows)
{
    RowRef r;
    r.kind = RowRef::Data;
    r.node = node;
    r.level = node->level();
    rows << r;
    if (!node->m_expanded) return;
    if (m_sortActive) sortChildren(node->m_children);
    for (TreeNode* c : std::as_const(node->m_children)) emitRows(c, rows);
}

void TreeList::buildRows(QList<RowRef>& rows)
{
    m_sortActive = !sortedColumns().isEmpty();
    if (m_sortActive) sortChildren(m_top);
    for (TreeNode* n : std::as_const(m_top)) emitRows(n, rows);
}

QVariant TreeList::rowValue(const RowRef& r, const Column* c) const
{
    return r.node ? r.node->value(c) : QVariant();
}

int TreeList::editValueType(const RowRef&, Column* c) const
{
    const QString& t = c->valueType();
    if (t == "Float" || t == "Currency") return QMetaType::Double;
    if (t == "Integer" || t == "LargeInt") return QMetaType::LongLong;
    if (t == "DateTime") return QMetaType::QDateTime;
    if (t == "Boolean") return QMetaType::Bool;
    return QMetaType::UnknownType;
}

bool TreeList::writeRowValue(const RowRef& r, Column* c, const QVariant& v)
{
    if (!r.node) return false;
    bool ok = true;
    QVariant nv = convertEditedValue(v, editValueType(r, c), &ok);
    if (!ok) return false;
    if (r.node->m_values.size() <= c->valueIndex()) r.node->m_values.resize(c->valueIndex() + 1);
    r.node->m_values[c->valueIndex()] = nv;
    invalidateSummaries();
    return true;
}

QList<RowRef> TreeList::summaryRows(const RowRef*) const
{
    QList<RowRef> out;
    for (TreeNode* n : allNodes()) {
        RowRef r;
        r.node = n;
        r.level = n->level();
        out << r;
    }
    return out;
}

int TreeList::rowContentIndent(const RowRef& r) const
{
    if (!r.node) return 0;
    int levels = r.level + (m_showRoot ? 1 : 0);
    int w = levels * IndentStep;
    if (m_checkBoxes) w += CheckWidth;
    if (!m_stateImages.isEmpty()) w += ImageWidth;
    if (!m_images.isEmpty()) w += ImageWidth;
    return w;
}

void TreeList::paintRowDecoration(QPainter* p, const RowRef& r, const QRect& area) const
{
    TreeNode* n = r.node;
    if (!n) return;
    int levels = r.level + (m_showRoot ? 1 : 0);
    int x = area.left();
    int h = area.height();
    int cy = area.top() + h / 2;
    if (m_treeLines && levels > 0) {
        p->save();
        QPen pen(QColor(0xa0, 0xa0, 0xa0));
        pen.setStyle(Qt::DotLine);
        p->setPen(pen);
        // Lines of the ancestors that have later siblings.
        TreeNode* a = n;
        for (int l = levels - 1; l >= 0 && a; --l) {
            int lx = x + l * IndentStep + IndentStep / 2;
            if (a == n) {
                bool first = !a->prevSibling() && !a->m_parent;
                p->drawLine(lx, first ? cy : area.top(), lx, a->nextSibling() ? area.bottom() : cy);
                p->drawLine(lx, cy, lx + IndentStep / 2, cy);
            } else if (a->nextSibling()) {
                p->drawLine(lx, area.top(), lx, area.bottom());
            }
            a = a->m_parent;
        }
        p->restore();
    }
    if (levels > 0 && n->hasChildren())
        paintExpandButton(p, QRect(x + (levels - 1) * IndentStep, area.top(), IndentStep, h), n->m_expanded);
    x += levels * IndentStep;
    // A box shows where the node allows one and the tree's hook, if any, names it.
    if (m_checkBoxes && n->m_checkable && (!m_checkable || m_checkable(n))) {
        QStyleOptionButton opt;
        QStyle* st = QApplication::style();
        int w = st->pixelMetric(QStyle::PM_IndicatorWidth), ih = st->pixelMetric(QStyle::PM_IndicatorHeight);
        opt.rect = QRect(x + (CheckWidth - w) / 2, cy - ih / 2, w, ih);
        opt.state = (n->m_enabled ? QStyle::State_Enabled : QStyle::State_None) |
                    (n->m_check == Qt::Checked ? QStyle::State_On
                     : n->m_check == Qt::PartiallyChecked ? QStyle::State_NoChange : QStyle::State_Off);
        st->drawPrimitive(QStyle::PE_IndicatorCheckBox, &opt, p);
    }
    if (m_checkBoxes)
        x += CheckWidth;
    if (!m_stateImages.isEmpty()) {
        if (n->m_state >= 0 && n->m_state < m_stateImages.size())
            m_stateImages[n->m_state].paint(p, QRect(x + 2, cy - 8, 16, 16));
        x += ImageWidth;
    }
    if (!m_images.isEmpty()) {
        if (n->m_image >= 0 && n->m_image < m_images.size())
            m_images[n->m_image].paint(p, QRect(x + 2, cy - 8, 16, 16));
    }
}

bool TreeList::hitRowDecoration(const RowRef& r, const QRect& area, const QPoint& pos)
{
    TreeNode* n = r.node;
    if (!n) return false;
    int levels = r.level + (m_showRoot ? 1 : 0);
    int x = area.left();
    if (levels > 0 && n->hasChildren()) {
        QRect b(x + (levels - 1) * IndentStep, area.top(), IndentStep, area.height());
        if (b.contains(pos)) {
            if (n->m_expanded) collapseNode(n);
            else expandNode(n);
            return true;
        }
    }
    x += levels * IndentStep;
    if (m_checkBoxes && (!m_checkable || m_checkable(n))) {
        QRect cb(x, area.top(), CheckWidth, area.height());
        if (cb.contains(pos) && n->m_checkable) {
            if (n->m_enabled)
                n->setCheckState(n->m_check == Qt::Checked ? Qt::Unchecked : Qt::Checked);
            return true;
        }
    }
    return false;
}

void TreeList::sortBy(Column* c, Qt::SortOrder order, bool add)
{
    if (!add)
        for (Column* o : columns())
            if (o != c) o->m_sortIndex = -1;
    c->m_sortOrder = order;
    if (c->m_sortIndex < 0) {
        int n = 0;
        for (Column* o : columns()) if (o->m_sortIndex >= 0) n = qMax(n, o->m_sortIndex + 1);
        c->m_sortIndex = n;
    }
    rowsChanged();
}

void TreeList::clearSorting()
{
    for (Column* c : columns()) c->m_sortIndex = -1;
    rowsChanged();
}

QList<Column*> TreeList::sortedColumns() const
{
    QList<Column*> out;
    for (Column* c : columns()) if (c->sortIndex() >= 0) out << c;
    std::stable_sort(out.begin(), out.end(), [](Column* a, Column* b) { return a->sortIndex() < b->sortIndex(); });
    return out;
}

void TreeList::headerClicked(Column* c, Qt::KeyboardModifiers mods)
{
    if (!sortingEnabled() || !c->isSortable()) return;
    if (mods & Qt::ControlModifier) { c->m_sortIndex = -1; rowsChanged(); return; }
    Qt::SortOrder order = c->sortIndex() >= 0 && c->sortOrder() == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                        : Qt::AscendingOrder;
    sortBy(c, order, mods & Qt::ShiftModifier);
}

QString TreeList::sortMarkFor(Column* c) const
{
    if (c->sortIndex() < 0) return QString();
    return c->sortOrder() == Qt::AscendingOrder ? QStringLiteral("up") : QStringLiteral("down");
}

TreeNode* TreeList::findNode(const QString& text, Column* c, TreeNode* start, bool wholeText) const
{
    const QList<TreeNode*> all = allNodes();
    if (all.isEmpty() || !c) return nullptr;
    int from = start ? int(all.indexOf(start)) + 1 : 0;
    for (int k = 0; k < all.size(); ++k) {
        TreeNode* n = all[(from + k) % all.size()];
        QString t = n->text(c);
        if (wholeText ? t.compare(text, Qt::CaseInsensitive) == 0 : t.contains(text, Qt::CaseInsensitive)) return n;
    }
    return nullptr;
}

} // namespace kvui
