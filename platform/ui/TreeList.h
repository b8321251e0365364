// Tree list (the role of the component suite's tree list): the banded column
// model of BandedView over nodes that the owner fills, with children loaded when
// a node first opens, node and state images, check boxes, multi-select with a
// veto, interruptible expand-all, search by text, custom draw and per-cell editors.
#pragma once
#include "BandedView.h"

namespace kvui {

class TreeList;

class TreeNode {
public:
    TreeList* tree() const { return m_tree; }
    TreeNode* parent() const { return m_parent; }   // nullptr for top-level nodes
    int childCount() const { return int(m_children.size()); }
    TreeNode* child(int i) const { return m_children.value(i); }
    QList<TreeNode*> children() const { return m_children; }
    int index() const;                              // among its siblings
    int level() const;                              // 0 for top-level nodes
    TreeNode* nextSibling() const;
    TreeNode* prevSibling() const;
    bool isVisible() const;                         // every parent expanded

    QVariant value(const Column* c) const;
    void setValue(const Column* c, const QVariant& v);
    QString text(Column* c) const;

    int imageIndex() const { return m_image; }
    void setImageIndex(int i);
    int stateIndex() const { return m_state; }      // state image index, -1 none
    void setStateIndex(int i);
    Qt::CheckState checkState() const { return m_check; }
    void setCheckState(Qt::CheckState s);
    bool isChecked() const { return m_check == Qt::Checked; }
    // Whether the node shows a check box (when the tree shows them) and whether
    // the user may change it; a disabled node's box is drawn greyed.
    bool isCheckable() const { return m_checkable; }
    void setCheckable(bool on);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool on);
    // Shows an expand button before the children are loaded.
    bool hasChildren() const { return m_hasChildren || !m_children.isEmpty(); }
    void setHasChildren(bool on);
    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool on);
    QVariant data() const { return m_data; }
    void setData(const QVariant& d) { m_data = d; }
    void* object() const { return m_object; }
    void setObject(void* o) { m_object = o; }

    TreeNode* addChild();
    TreeNode* insertChild(int before);
    void deleteChildren();
    void moveTo(TreeNode* newParent, int before);

    ~TreeNode();   // nodes are deleted through TreeList::deleteNode

private:
    friend class TreeList;
    explicit TreeNode(TreeList* t, TreeNode* parent) : m_tree(t), m_parent(parent) {}
    TreeList* m_tree;
    TreeNode* m_parent;
    QList<TreeNode*> m_children;
    QList<QVariant> m_values;
    int m_image = -1, m_state = -1;
    Qt::CheckState m_check = Qt::Unchecked;
    bool m_hasChildren = false, m_expanded = false;
    bool m_checkable = true, m_enabled = true;
    QVariant m_data;
    void* m_object = nullptr;
};

class TreeList : public BandedView {
    Q_OBJECT
public:
    explicit TreeList(QWidget* parent = nullptr);
    ~TreeList() override;

    // Nodes
    TreeNode* addNode(TreeNode* parent = nullptr);
    TreeNode* insertNode(TreeNode* parent, int before);
    void deleteNode(TreeNode* node);
    void clear();
    int topCount() const { return int(m_top.size()); }
    TreeNode* topNode(int i) const { return m_top.value(i); }
    QList<TreeNode*> topNodes() const { return m_top; }
    // Every loaded node in absolute order (parents before children); with
    // visibleOnly only those whose parents are all expanded.
    QList<TreeNode*> allNodes(bool visibleOnly = false) const;
    int nodeCount() const { return int(allNodes().size()); }

    TreeNode* focusedNode() const;
    void setFocusedNode(TreeNode* node);
    QList<TreeNode*> selectedNodes() const;   // in absolute order
    int selectedCount() const { return int(selectedNodes().size()); }
    void selectNode(TreeNode* node, bool on);
    bool isNodeSelected(TreeNode* node) const { return m_selected.contains(quintptr(node)); }
    int rowOfNode(TreeNode* node) const;
    TreeNode* nodeAtRow(int row) const { return row >= 0 && row < rowCount() ? this->row(row).node : nullptr; }

    // Expanding. The expanding hook loads the children of a node that shows an
    // expand button; it answers false to keep the node closed. The collapsing
    // hook may refuse a collapse the same way.
    void setExpandingHook(std::function<bool(TreeNode*)> h) { m_expanding = std::move(h); }
    void setCollapsingHook(std::function<bool(TreeNode*)> h) { m_collapsing = std::move(h); }
    bool expandNode(TreeNode* node);
    void collapseNode(TreeNode* node);
    // Expands every node depth first, loading children; stop() is asked between two
    // nodes and ends the walk when it answers true. Returns false when stopped.
    bool expandAll(const std::function<bool()>& stop = {});
    void collapseAll();

    // Images (each image list takes this width of a row's first cell)
    static constexpr int ImageWidth = 20;
    void setImages(const QList<QIcon>& images) { m_images = images; relayout(); }
    void setStateImages(const QList<QIcon>& images) { m_stateImages = images; relayout(); }
    QList<QIcon> images() const { return m_images; }
    QList<QIcon> stateImages() const { return m_stateImages; }
    bool showTreeLines() const { return m_treeLines; }
    bool showRoot() const { return m_showRoot; }
    void setShowCheckBoxes(bool on) { m_checkBoxes = on; relayout(); }
    bool showCheckBoxes() const { return m_checkBoxes; }
    // Which nodes carry a check box when boxes are shown (all when not set).
    void setCheckableHook(std::function<bool(TreeNode*)> h) { m_checkable = std::move(h); viewport()->update(); }
    void setShowTreeLines(bool on) { m_treeLines = on; viewport()->update(); }
    void setShowRoot(bool on) { m_showRoot = on; relayout(); }   // buttons of top-level nodes
    // Asked before a node joins the selection; false keeps it out.
    void setCanSelectHook(std::function<bool(TreeNode*)> h) { m_canSelect = std::move(h); }

    // Sorting (children of every node), text without regard to case.
    void sortBy(Column* c, Qt::SortOrder order, bool addToSorting = false);
    void clearSorting();
    QList<Column*> sortedColumns() const;

    // The next node, in absolute order after start (from the first node when start
    // is null), whose text in the column contains the text without regard to case;
    // wraps around once. nullptr when none.
    TreeNode* findNode(const QString& text, Column* c, TreeNode* start = nullptr, bool wholeText = false) const;

    bool rowHasChildren(int row) const override;
    bool rowExpanded(int row) const override;
    void setRowExpanded(int row, bool expanded) override;

signals:
    void focusedNodeChanged(kvui::TreeNode* previous, kvui::TreeNode* current);
    void nodeCheckChanged(kvui::TreeNode* node);
    void nodeExpanded(kvui::TreeNode* node);
    void nodeCollapsed(kvui::TreeNode* node);

protected:
    void buildRows(QList<RowRef>& rows) override;
    QVariant rowValue(const RowRef& r, const Column* c) const override;
    bool writeRowValue(const RowRef& r, Column* c, const QVariant& v) override;
    int editValueType(const RowRef& r, Column* c) const override;
    quintptr rowKey(const RowRef& r) const override { return quintptr(r.node); }
    QList<RowRef> summaryRows(const RowRef* groupRow) const override;
    int rowContentIndent(const RowRef& r) const override;
    void paintRowDecoration(QPainter* p, const RowRef& r, const QRect& area) const override;
    bool hitRowDecoration(const RowRef& r, const QRect& area, const QPoint& pos) override;
    bool canSelectRow(const RowRef& r) const override { return !m_canSelect || m_canSelect(r.node); }
    void headerClicked(Column* c, Qt::KeyboardModifiers mods) override;
    QString sortMarkFor(Column* c) const override;

private:
    friend class TreeNode;
    void nodeChanged(bool structure);
    void forget(TreeNode* node);
    void emitRows(TreeNode* node, QList<RowRef>& rows);
    void sortChildren(QList<TreeNode*>& list) const;
    bool expandDeep(TreeNode* node, const std::function<bool()>& stop);
    void collect(const QList<TreeNode*>& list, QList<TreeNode*>& out, bool visibleOnly) const;

    QList<TreeNode*> m_top;
    QList<QIcon> m_images, m_stateImages;
    bool m_checkBoxes = false, m_treeLines = true, m_showRoot = true;
    std::function<bool(TreeNode*)> m_expanding, m_collapsing, m_canSelect, m_checkable;
    TreeNode* m_lastFocus = nullptr;
    bool m_sortActive = false;
};

} // namespace kvui
