#pragma once
// The MRP filter tree: which bill types take part in a plan (one check node per
// bill type, with its filter condition as a child row) and which stocks count
// (the stocks node after the inventory node, its stocks loaded on first
// expansion). The tree edits a data-filter text: "[Excludes]", "[QZ_MRP.Stocks]",
// one "[object ID]" filter code and one "{object ID}" readable text (as hex
// codes) per filtered bill type, items separated by two U+F8F5.
//
// The operations are class methods so that the workbench and the analysis
// setting dialogs run the same tree on their own tree list and text: set the
// tree up with MRPFiltersSetupTree (columns and the three handlers), add the
// nodes with MRPFiltersAddItem, show the filter of the focused node with
// MRPFiltersShowFilter and write the checks back with MRPFiltersSaveSettings
// before the text is stored.
#include <QString>

namespace kvui {
class TreeList;
class TreeNode;
struct CellDraw;
} // namespace kvui

// Bill types (system value list "MrpBillType") the tree treats apart.
namespace MRPBillTypes {
constexpr int SalesOrder = 2;
constexpr int StockIn = 4;
constexpr int Forcast = 8;
constexpr int Inventory = 16;
} // namespace MRPBillTypes

class TMRPFilterTree {
public:
    // The text of a filter row without a condition.
    static const QString DefaultFilterText;
    // Column 1 of the stocks node marks it among the top-level nodes.
    static const QString StocksSection;

    // Two columns (caption; the hidden key), check boxes, and the handlers
    // MRPFiltersCustomDrawDataCell, MRPFiltersNodeCheckChanged and
    // MRPFiltersExpanding installed on the tree.
    static void MRPFiltersSetupTree(kvui::TreeList* AMRPFilters);

    // One bill-type node with its filter row, and for the inventory bill type
    // the stocks node after it.
    static void MRPFiltersAddItem(kvui::TreeList* AMRPFilters, int ABillType, const QString& ABillTypeID,
                                  const QString& ADataFilters);
    // The host's filter dialog for the focused bill-type node (or the node of
    // the focused filter row). On OK the code and the readable text go into
    // ASettings and the node is checked; true then.
    static bool MRPFiltersShowFilter(kvui::TreeList* AMRPFilters, QString& ASettings, bool AReadOnly);
    // Writes "[Excludes]" and "[QZ_MRP.Stocks]" from the checks into ASettings.
    static void MRPFiltersSaveSettings(kvui::TreeList* AMRPFilters, QString& ASettings);

    // Enables the nodes the user may change while editing: every top-level
    // node but those of the main-demand bill types, and every stock row.
    static void MRPFiltersSetEditable(kvui::TreeList* AMRPFilters, bool AEditable);

    // The workbench's tree for a main-demand source: forecasts for sources 0
    // and 2, sales orders and stock-in bills for 0 and 1, none of them for an
    // imported schedule (3); then the supply bill types the system lists,
    // inventory and stocks. The first node is focused.
    static void LoadWorkbenchMRPFilters(kvui::TreeList* AMRPFilters, int APlanSource, const QString& ADataFilters);

    // The handlers (installed by MRPFiltersSetupTree).
    static void MRPFiltersCustomDrawDataCell(kvui::TreeList* AMRPFilters, kvui::CellDraw& ACell);
    static void MRPFiltersNodeCheckChanged(kvui::TreeList* AMRPFilters, kvui::TreeNode* ANode);
    static bool MRPFiltersExpanding(kvui::TreeList* AMRPFilters, kvui::TreeNode* ANode);

    // Node roles.
    static bool IsStocksNode(const kvui::TreeNode* ANode);
    static bool IsBillTypeNode(const kvui::TreeNode* ANode);
    static kvui::TreeNode* StocksNode(const kvui::TreeList* AMRPFilters);
    static kvui::TreeNode* InventoryNode(const kvui::TreeList* AMRPFilters);
    static QString NodeCaption(const kvui::TreeNode* ANode);
    static QString NodeKey(const kvui::TreeNode* ANode);
    static bool IsVirtualStock(const kvui::TreeNode* ANode);

    // While alive, check changes of the tree are not acted upon (nodes being built).
    class TUpdateGuard {
    public:
        explicit TUpdateGuard(kvui::TreeList* ATree);
        ~TUpdateGuard();
        TUpdateGuard(const TUpdateGuard&) = delete;
        TUpdateGuard& operator=(const TUpdateGuard&) = delete;

    private:
        kvui::TreeList* FTree;
        bool FWas;
    };
};
