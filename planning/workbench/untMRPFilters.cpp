#include "untMRPFilters.h"

#include "TreeList.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untDllCommon.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"

#include <QPalette>
#include <memory>

const QString TMRPFilterTree::DefaultFilterText = QStringLiteral("(默认条件)");
const QString TMRPFilterTree::StocksSection = QStringLiteral("[QZ_MRP.Stocks]");

namespace {

const QString kExcludes = QStringLiteral("[Excludes]");
const QString kStocksCaption = QStringLiteral("参与仓库");
const QString kBillTypeClass = QStringLiteral("MrpBillType");
const char* const kUpdatingProperty = "MRPFiltersUpdating";
const char* const kChangingProperty = "MRPFiltersChanging";
// Node data of a virtual stock row.
constexpr int kVirtualStock = 1;

bool flag(const kvui::TreeList* ATree, const char* AName)
{
    return ATree->property(AName).toBool();
}

// Sets a tree flag for the rest of a scope, giving back its former value.
class TFlagScope {
public:
    TFlagScope(kvui::TreeList* ATree, const char* AName)
        : FTree(ATree), FName(AName), FWas(flag(ATree, AName))
    {
        FTree->setProperty(FName, true);
    }
    ~TFlagScope() { FTree->setProperty(FName, FWas); }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    kvui::TreeList* FTree;
    const char* FName;
    bool FWas;
};

kvui::Column* captionColumn(const kvui::TreeList* ATree)
{
    return ATree->column(0);
}

kvui::Column* keyColumn(const kvui::TreeList* ATree)
{
    return ATree->column(1);
}

QString readSection(const QString& AText, const QString& ASection)
{
    return ReadDelimitedValue(AText, ASection, ViewSchemeParamSeparator);
}

QString writeSection(const QString& AText, const QString& ASection, const QString& AValue)
{
    return WriteDelimitedValue(AText, ASection, AValue, ViewSchemeParamSeparator);
}

bool listContains(const QString& AList, const QString& AItem)
{
    return DelimitedListContains(AList, AItem, QStringLiteral("|"));
}

// The state a parent of check boxes shows for its children's states.
Qt::CheckState groupState(const kvui::TreeNode* AParent)
{
    int checked = 0;
    int unchecked = 0;
    for (const kvui::TreeNode* child : AParent->children()) {
        if (child->checkState() == Qt::Checked)
            ++checked;
        else if (child->checkState() == Qt::Unchecked)
            ++unchecked;
    }
    if (checked == AParent->childCount())
        return Qt::Checked;
    if (unchecked == AParent->childCount())
        return Qt::Unchecked;
    return Qt::PartiallyChecked;
}

void setChildrenState(kvui::TreeNode* AParent, Qt::CheckState AState)
{
    for (kvui::TreeNode* child : AParent->children())
        child->setCheckState(AState);
}

} // namespace

TMRPFilterTree::TUpdateGuard::TUpdateGuard(kvui::TreeList* ATree)
    : FTree(ATree), FWas(flag(ATree, kUpdatingProperty))
{
    FTree->setProperty(kUpdatingProperty, true);
    FTree->beginUpdate();
}

TMRPFilterTree::TUpdateGuard::~TUpdateGuard()
{
    FTree->endUpdate();
    FTree->setProperty(kUpdatingProperty, FWas);
}

bool TMRPFilterTree::IsStocksNode(const kvui::TreeNode* ANode)
{
    return ANode && !ANode->parent() && ANode->imageIndex() == 0
           && ANode->data().toString() == StocksSection;
}

bool TMRPFilterTree::IsBillTypeNode(const kvui::TreeNode* ANode)
{
    return ANode && !ANode->parent() && ANode->imageIndex() > 0;
}

kvui::TreeNode* TMRPFilterTree::StocksNode(const kvui::TreeList* AMRPFilters)
{
    for (kvui::TreeNode* node : AMRPFilters->topNodes())
        if (IsStocksNode(node))
            return node;
    return nullptr;
}

kvui::TreeNode* TMRPFilterTree::InventoryNode(const kvui::TreeList* AMRPFilters)
{
    for (kvui::TreeNode* node : AMRPFilters->topNodes())
        if (IsBillTypeNode(node) && node->imageIndex() == MRPBillTypes::Inventory)
            return node;
    return nullptr;
}

QString TMRPFilterTree::NodeCaption(const kvui::TreeNode* ANode)
{
    return ANode ? ANode->value(captionColumn(ANode->tree())).toString() : QString();
}

QString TMRPFilterTree::NodeKey(const kvui::TreeNode* ANode)
{
    return ANode ? ANode->value(keyColumn(ANode->tree())).toString() : QString();
}

bool TMRPFilterTree::IsVirtualStock(const kvui::TreeNode* ANode)
{
    return ANode && ANode->parent() && IsStocksNode(ANode->parent()) && ANode->stateIndex() == kVirtualStock;
}

void TMRPFilterTree::MRPFiltersSetupTree(kvui::TreeList* AMRPFilters)
{
    if (AMRPFilters->bandCount() == 0)
        AMRPFilters->addBand();
    while (AMRPFilters->columnCount() < 2)
        AMRPFilters->addColumn();
    captionColumn(AMRPFilters)->setObjectName(QStringLiteral("colMRPFilter"));
    captionColumn(AMRPFilters)->setEditable(false);
    keyColumn(AMRPFilters)->setObjectName(QStringLiteral("colMRPBillID"));
    keyColumn(AMRPFilters)->setVisible(false);
    keyColumn(AMRPFilters)->setEditable(false);
    if (captionColumn(AMRPFilters)->width() < 300)
        captionColumn(AMRPFilters)->setWidth(360);
    AMRPFilters->setShowHeaders(false);
    AMRPFilters->setShowBandHeaders(false);
    AMRPFilters->setShowIndicator(false);
    AMRPFilters->setShowCheckBoxes(true);
    AMRPFilters->setEditingEnabled(false);
    AMRPFilters->setCustomDrawHook([AMRPFilters](kvui::CellDraw& cell) { MRPFiltersCustomDrawDataCell(AMRPFilters, cell); });
    AMRPFilters->setExpandingHook([AMRPFilters](kvui::TreeNode* node) { return MRPFiltersExpanding(AMRPFilters, node); });
    QObject::connect(AMRPFilters, &kvui::TreeList::nodeCheckChanged, AMRPFilters,
                     [AMRPFilters](kvui::TreeNode* node) { MRPFiltersNodeCheckChanged(AMRPFilters, node); });
}

void TMRPFilterTree::MRPFiltersAddItem(kvui::TreeList* AMRPFilters, int ABillType, const QString& ABillTypeID,
                                       const QString& ADataFilters)
{
    TUpdateGuard guard(AMRPFilters);
    kvui::TreeNode* node = AMRPFilters->addNode();
    node->setImageIndex(ABillType);
    node->setValue(captionColumn(AMRPFilters),
                   InfoApplication ? InfoApplication->GetSystemEnumName(kBillTypeClass, ABillType)
                                   : QStringLiteral("(%1)").arg(ABillType));
    node->setValue(keyColumn(AMRPFilters), ABillTypeID);
    if (ABillType == MRPBillTypes::SalesOrder || ABillType == MRPBillTypes::StockIn || ABillType == MRPBillTypes::Forcast) {
        // Main-demand bill types always take part; their condition still applies.
        node->setCheckState(Qt::Checked);
        node->setEnabled(false);
    } else {
        node->setCheckState(listContains(readSection(ADataFilters, kExcludes), ABillTypeID) ? Qt::Unchecked : Qt::Checked);
    }

    kvui::TreeNode* filterRow = node->addChild();
    filterRow->setImageIndex(ABillType);
    filterRow->setCheckable(false);
    const QString text = HexCodesToStr(readSection(ADataFilters, u'{' + ABillTypeID + u'}'));
    filterRow->setValue(captionColumn(AMRPFilters), text.isEmpty() ? DefaultFilterText : text);

    if (ABillType != MRPBillTypes::Inventory)
        return;
    // The stocks follow the inventory node unless some were chosen one by one.
    const QString stocks = readSection(ADataFilters, StocksSection);
    kvui::TreeNode* stocksNode = AMRPFilters->addNode();
    stocksNode->setImageIndex(0);
    stocksNode->setData(StocksSection);
    stocksNode->setValue(captionColumn(AMRPFilters), kStocksCaption);
    stocksNode->setValue(keyColumn(AMRPFilters), stocks);
    stocksNode->setCheckState(stocks.isEmpty() ? node->checkState() : Qt::PartiallyChecked);
    stocksNode->setHasChildren(true);
}

bool TMRPFilterTree::MRPFiltersShowFilter(kvui::TreeList* AMRPFilters, QString& ASettings, bool AReadOnly)
{
    kvui::TreeNode* node = AMRPFilters->focusedNode();
    if (!node || node->imageIndex() <= 0)
        return false;
    if (node->parent())
        node = node->parent();
    if (!IsBillTypeNode(node))
        return false;
    AMRPFilters->expandNode(node);

    const QString id = NodeKey(node);
    TInfoObjectDef* def = InfoApplication ? InfoApplication->GetInfoObjectDef(id) : nullptr;
    QString code = readSection(ASettings, u'[' + id + u']');
    QString text = HexCodesToStr(readSection(ASettings, u'{' + id + u'}'));
    if (!InfoApplication || !InfoApplication->ShowFilterDlg(def, text, code, GlobalADOQuery, QString(), AReadOnly))
        return false;
    if (AReadOnly)
        return false;

    ASettings = writeSection(ASettings, u'{' + id + u'}', StrToHexCodes(text));
    if (text.isEmpty())
        code.clear();
    ASettings = writeSection(ASettings, u'[' + id + u']', code);
    node->setCheckState(Qt::Checked);
    if (kvui::TreeNode* filterRow = node->child(0))
        filterRow->setValue(captionColumn(AMRPFilters), text.isEmpty() ? DefaultFilterText : text);
    AMRPFilters->viewport()->update();
    return true;
}

void TMRPFilterTree::MRPFiltersSaveSettings(kvui::TreeList* AMRPFilters, QString& ASettings)
{
    const QList<kvui::TreeNode*> top = AMRPFilters->topNodes();
    QString excludes;
    for (int i = 0; i + 1 < top.size(); ++i)
        if (top[i]->checkState() == Qt::Unchecked)
            excludes += NodeKey(top[i]) + u'|';
    ASettings = writeSection(ASettings, kExcludes, excludes);

    kvui::TreeNode* last = top.isEmpty() ? nullptr : top.last();
    if (!last || last->checkState() != Qt::PartiallyChecked) {
        ASettings = writeSection(ASettings, StocksSection, QString());
        return;
    }
    if (last->childCount() == 0)
        return; // the stocks were never shown: the stored choice stands
    QString stocks;
    for (kvui::TreeNode* stock : last->children())
        if (stock->checkState() == Qt::Checked)
            stocks += NodeKey(stock) + u'|';
    ASettings = writeSection(ASettings, StocksSection, stocks);
}

void TMRPFilterTree::MRPFiltersSetEditable(kvui::TreeList* AMRPFilters, bool AEditable)
{
    for (kvui::TreeNode* node : AMRPFilters->topNodes()) {
        const int type = node->imageIndex();
        const bool mainDemand = IsBillTypeNode(node)
                                && (type == MRPBillTypes::SalesOrder || type == MRPBillTypes::StockIn
                                    || type == MRPBillTypes::Forcast);
        node->setEnabled(!mainDemand && AEditable);
        if (IsStocksNode(node))
            for (kvui::TreeNode* stock : node->children())
                stock->setEnabled(AEditable);
    }
}

void TMRPFilterTree::LoadWorkbenchMRPFilters(kvui::TreeList* AMRPFilters, int APlanSource, const QString& ADataFilters)
{
    TUpdateGuard guard(AMRPFilters);
    AMRPFilters->clear();
    auto listed = [](int type) { return InfoApplication && InfoApplication->SystemEnumExists(kBillTypeClass, type); };
    if (APlanSource == 0 || APlanSource == 2)
        MRPFiltersAddItem(AMRPFilters, MRPBillTypes::Forcast, QStringLiteral("QZ_MRP.Forcast"), ADataFilters);
    if (APlanSource == 0 || APlanSource == 1) {
        MRPFiltersAddItem(AMRPFilters, MRPBillTypes::SalesOrder, QStringLiteral("QZ_MRP.SO"), ADataFilters);
        if (listed(MRPBillTypes::StockIn))
            MRPFiltersAddItem(AMRPFilters, MRPBillTypes::StockIn, QStringLiteral("QZ_MRP.SI"), ADataFilters);
    }
    struct Supply {
        int Type;
        const char* ID;
        bool OnlyWhenListed;
    };
    static const Supply kSupplies[] = {
        {34, "QZ_MRP.MR", true}, {22, "QZ_MRP.MO", false}, {80, "QZ_MRP.MOScrap", true},
        {36, "QZ_MRP.OR", true}, {24, "QZ_MRP.OO", false}, {38, "QZ_MRP.PR", false},
        {26, "QZ_MRP.PO", false}, {28, "QZ_MRP.PI", true},
    };
    for (const Supply& s : kSupplies)
        if (!s.OnlyWhenListed || listed(s.Type))
            MRPFiltersAddItem(AMRPFilters, s.Type, QString::fromLatin1(s.ID), ADataFilters);
    MRPFiltersAddItem(AMRPFilters, MRPBillTypes::Inventory, QStringLiteral("QZ_MRP.Inventory"), ADataFilters);
    if (AMRPFilters->topCount() > 0)
        AMRPFilters->setFocusedNode(AMRPFilters->topNode(0));
}

void TMRPFilterTree::MRPFiltersCustomDrawDataCell(kvui::TreeList* AMRPFilters, kvui::CellDraw& ACell)
{
    kvui::TreeNode* node = ACell.row.node;
    if (!node)
        return;
    bool bold = false;
    bool grey = false;
    if (!node->parent()) {
        if (IsBillTypeNode(node))
            bold = node->childCount() > 0 && NodeCaption(node->child(0)) != DefaultFilterText;
        else if (IsStocksNode(node)) {
            kvui::TreeNode* inventory = InventoryNode(AMRPFilters);
            bold = inventory && inventory->checkState() == Qt::Checked;
        }
    } else {
        grey = (IsBillTypeNode(node->parent()) && NodeCaption(node) == DefaultFilterText) || IsVirtualStock(node);
    }
    if (bold)
        ACell.font.setBold(true);
    if (grey && !ACell.selected)
        ACell.textColor = AMRPFilters->palette().color(QPalette::Disabled, QPalette::Text);
}

void TMRPFilterTree::MRPFiltersNodeCheckChanged(kvui::TreeList* AMRPFilters, kvui::TreeNode* ANode)
{
    if (!ANode || flag(AMRPFilters, kUpdatingProperty) || flag(AMRPFilters, kChangingProperty))
        return;
    TFlagScope changing(AMRPFilters, kChangingProperty);
    kvui::TreeNode* inventory = InventoryNode(AMRPFilters);
    kvui::TreeNode* stocks = StocksNode(AMRPFilters);

    // The stocks node and its rows form a check group.
    kvui::TreeNode* stocksChanged = nullptr;
    if (ANode == stocks) {
        if (ANode->checkState() != Qt::PartiallyChecked)
            setChildrenState(ANode, ANode->checkState());
        stocksChanged = ANode;
    } else if (ANode->parent() && ANode->parent() == stocks) {
        const Qt::CheckState before = stocks->checkState();
        stocks->setCheckState(groupState(stocks));
        if (stocks->checkState() != before)
            stocksChanged = stocks;
        if (ANode->checkState() == Qt::Checked && inventory)
            inventory->setCheckState(Qt::Checked);
    } else if (ANode == inventory && stocks) {
        if (stocks->checkState() != Qt::PartiallyChecked) {
            stocks->setCheckState(inventory->checkState());
            setChildrenState(stocks, inventory->checkState());
        }
        AMRPFilters->viewport()->update();
        return;
    }
    if (stocksChanged && stocksChanged->checkState() != Qt::PartiallyChecked) {
        // Checked or unchecked as a whole: the stocks follow the inventory node again.
        if (inventory)
            inventory->setCheckState(stocksChanged->checkState());
        stocksChanged->setValue(keyColumn(AMRPFilters), QString());
    }
    AMRPFilters->viewport()->update();
}

bool TMRPFilterTree::MRPFiltersExpanding(kvui::TreeList* AMRPFilters, kvui::TreeNode* ANode)
{
    if (!IsStocksNode(ANode) || ANode->childCount() > 0)
        return true;
    std::unique_ptr<TADOQuery> query(NewPluginQuery());
    if (!ExecSQLText(query.get(), QStringLiteral("select * from QZ_Base_Stock with(nolock) where StkDisabled=0 order by StkNo"),
                     true, false, true))
        return true; // shown as empty; tried again at the next expansion
    kvui::TreeNode* inventory = InventoryNode(AMRPFilters);
    const bool inventoryChecked = inventory && inventory->checkState() == Qt::Checked;
    const QString stored = NodeKey(ANode);
    {
        TUpdateGuard guard(AMRPFilters);
        for (; !query->Eof(); query->Next()) {
            const QString id = query->FieldByName(QStringLiteral("StkID"))->AsString().trimmed();
            kvui::TreeNode* stock = ANode->addChild();
            stock->setEnabled(ANode->isEnabled());
            stock->setValue(captionColumn(AMRPFilters), query->FieldByName(QStringLiteral("StkNo"))->AsString().trimmed()
                                                            + QStringLiteral(" - ")
                                                            + query->FieldByName(QStringLiteral("StkName"))->AsString().trimmed());
            stock->setValue(keyColumn(AMRPFilters), id);
            stock->setStateIndex(query->FieldByName(QStringLiteral("StkVirtual"))->AsBoolean() ? kVirtualStock : 0);
            const bool checked = (inventoryChecked && stored.isEmpty()) || listContains(stored, id);
            stock->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
        }
        if (ANode->childCount() > 0)
            ANode->setCheckState(groupState(ANode));
    }
    return true;
}
