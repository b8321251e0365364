// The MRP filter tree on the demo account set: which bill types a source
// shows, excluded types and the main-demand types that cannot be excluded,
// the stocks under the inventory node, the host's filter dialog writing code
// and readable text, and the text written back.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "TreeList.h"
#include "UCommon.h"
#include "untDllCommon.h"
#include "untInfoObjectDef.h"
#include "untMRPFilters.h"

#include <QStringList>

using kvtest::DemoLogin;
using T = TMRPFilterTree;

namespace {

const QString kSep = ViewSchemeParamSeparator;

QString section(const QString& text, const QString& name)
{
    return ReadDelimitedValue(text, name, kSep);
}

QStringList keys(const kvui::TreeList& tree)
{
    QStringList out;
    for (kvui::TreeNode* n : tree.topNodes())
        out << (T::IsStocksNode(n) ? QStringLiteral("stocks") : T::NodeKey(n));
    return out;
}

kvui::TreeNode* nodeOf(const kvui::TreeList& tree, const QString& id)
{
    for (kvui::TreeNode* n : tree.topNodes())
        if (T::IsBillTypeNode(n) && T::NodeKey(n) == id)
            return n;
    return nullptr;
}

// The host's filter dialog as the test wants it answered.
struct FilterAnswer {
    bool ok = true;
    QString text;
    QString code;
    int calls = 0;
    bool readOnly = false;
    TInfoObjectDef* def = nullptr;
    QString codeIn;
};
FilterAnswer answer;

bool scriptedFilterDlg(TInfoObjectDef* def, QString& text, QString& code, TADOQuery*, const QString&, bool readOnly)
{
    ++answer.calls;
    answer.def = def;
    answer.readOnly = readOnly;
    answer.codeIn = code;
    if (answer.ok) {
        text = answer.text;
        code = answer.code;
    }
    return answer.ok;
}

class MRPFilters : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoLogin::instance();
        T::MRPFiltersSetupTree(&tree);
        answer = FilterAnswer();
        InfoApplication->ShowFilterDlgProc = scriptedFilterDlg;
    }
    void TearDown() override { InfoApplication->ShowFilterDlgProc = nullptr; }

    kvui::TreeList tree;
};

QStringList stockIDs()
{
    QStringList ids;
    EXPECT_TRUE(ExecSQLText(GlobalADOQuery, QStringLiteral("select StkID from QZ_Base_Stock where StkDisabled=0 order by StkNo"), true,
                            false, false));
    for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next())
        ids << GlobalADOQuery->Fields()->Field(0)->AsString().trimmed();
    GlobalADOQuery->Close();
    return ids;
}

} // namespace

TEST_F(MRPFilters, EachMainDemandSourceShowsItsBillTypesBeforeTheSupplies)
{
    const QStringList supplies{"QZ_MRP.MR", "QZ_MRP.MO", "QZ_MRP.MOScrap", "QZ_MRP.OR", "QZ_MRP.OO",
                               "QZ_MRP.PR", "QZ_MRP.PO", "QZ_MRP.PI", "QZ_MRP.Inventory", "stocks"};
    const struct {
        int source;
        QStringList demands;
    } cases[] = {
        {0, {"QZ_MRP.Forcast", "QZ_MRP.SO", "QZ_MRP.SI"}},
        {1, {"QZ_MRP.SO", "QZ_MRP.SI"}},
        {2, {"QZ_MRP.Forcast"}},
        {3, {}},
    };
    for (const auto& c : cases) {
        T::LoadWorkbenchMRPFilters(&tree, c.source, QString());
        EXPECT_EQ(keys(tree), c.demands + supplies) << c.source;
        EXPECT_EQ(tree.focusedNode(), tree.topNode(0)) << c.source;
    }
    // Captions are the names of the system's bill types; every bill type has its filter row.
    T::LoadWorkbenchMRPFilters(&tree, 0, QString());
    EXPECT_EQ(T::NodeCaption(nodeOf(tree, "QZ_MRP.SO")), QStringLiteral("销售订单"));
    EXPECT_EQ(T::NodeCaption(nodeOf(tree, "QZ_MRP.Inventory")), QStringLiteral("即时库存"));
    EXPECT_EQ(T::NodeCaption(T::StocksNode(&tree)), QStringLiteral("参与仓库"));
    for (kvui::TreeNode* n : tree.topNodes())
        if (T::IsBillTypeNode(n)) {
            ASSERT_EQ(n->childCount(), 1) << T::NodeKey(n).toStdString();
            EXPECT_EQ(T::NodeCaption(n->child(0)), QStringLiteral("(默认条件)"));
            EXPECT_FALSE(n->child(0)->isCheckable());
        }
}

TEST_F(MRPFilters, ExcludedTypesAreUncheckedButMainDemandTypesNeverAre)
{
    const QString filters = QStringLiteral("[Excludes]=QZ_MRP.PR|qz_mrp.so|QZ_MRP.Forcast|");
    T::LoadWorkbenchMRPFilters(&tree, 0, filters);
    for (const char* id : {"QZ_MRP.Forcast", "QZ_MRP.SO", "QZ_MRP.SI"}) {
        EXPECT_TRUE(nodeOf(tree, id)->isChecked()) << id;
        EXPECT_FALSE(nodeOf(tree, id)->isEnabled()) << id;
    }
    EXPECT_FALSE(nodeOf(tree, "QZ_MRP.PR")->isChecked());
    EXPECT_TRUE(nodeOf(tree, "QZ_MRP.PO")->isChecked());

    // Editing enables every other node; main-demand types stay disabled.
    T::MRPFiltersSetEditable(&tree, true);
    EXPECT_FALSE(nodeOf(tree, "QZ_MRP.SO")->isEnabled());
    EXPECT_TRUE(nodeOf(tree, "QZ_MRP.PO")->isEnabled());
    EXPECT_TRUE(T::StocksNode(&tree)->isEnabled());
    T::MRPFiltersSetEditable(&tree, false);
    EXPECT_FALSE(nodeOf(tree, "QZ_MRP.PO")->isEnabled());

    // Written back: the unchecked nodes, in tree order, and never the stocks node.
    nodeOf(tree, "QZ_MRP.PR")->setCheckState(Qt::Checked);
    nodeOf(tree, "QZ_MRP.MO")->setCheckState(Qt::Unchecked);
    nodeOf(tree, "QZ_MRP.Inventory")->setCheckState(Qt::Unchecked);
    QString text = filters;
    T::MRPFiltersSaveSettings(&tree, text);
    EXPECT_EQ(section(text, "[Excludes]"), QStringLiteral("QZ_MRP.MO|QZ_MRP.Inventory|"));
    EXPECT_EQ(section(text, "[QZ_MRP.Stocks]"), QString());
}

TEST_F(MRPFilters, TheStocksNodeFollowsTheInventoryNodeUnlessStocksWereChosen)
{
    const QStringList stocks = stockIDs();
    ASSERT_GE(stocks.size(), 2);

    // No stock list: the stocks node takes the inventory node's state both ways.
    T::LoadWorkbenchMRPFilters(&tree, 0, QString());
    kvui::TreeNode* inventory = nodeOf(tree, "QZ_MRP.Inventory");
    kvui::TreeNode* stocksNode = T::StocksNode(&tree);
    EXPECT_EQ(stocksNode->checkState(), Qt::Checked);
    EXPECT_TRUE(stocksNode->hasChildren());
    inventory->setCheckState(Qt::Unchecked);
    EXPECT_EQ(stocksNode->checkState(), Qt::Unchecked);
    inventory->setCheckState(Qt::Checked);
    EXPECT_EQ(stocksNode->checkState(), Qt::Checked);

    // A stored list: partly checked before anything is loaded, and kept by a save
    // that never showed the stocks.
    const QString list = stocks[1] + u'|';
    const QString filters = QStringLiteral("[QZ_MRP.Stocks]=") + list;
    T::LoadWorkbenchMRPFilters(&tree, 0, filters);
    inventory = nodeOf(tree, "QZ_MRP.Inventory");
    stocksNode = T::StocksNode(&tree);
    EXPECT_EQ(stocksNode->checkState(), Qt::PartiallyChecked);
    EXPECT_EQ(stocksNode->childCount(), 0);
    QString text = filters;
    T::MRPFiltersSaveSettings(&tree, text);
    EXPECT_EQ(section(text, "[QZ_MRP.Stocks]"), list);
    // Unchecking the inventory node leaves the chosen stocks alone.
    inventory->setCheckState(Qt::Unchecked);
    EXPECT_EQ(stocksNode->checkState(), Qt::PartiallyChecked);

    // Expanded: the listed stock is checked, the others are not.
    ASSERT_TRUE(tree.expandNode(stocksNode));
    ASSERT_EQ(stocksNode->childCount(), stocks.size());
    for (kvui::TreeNode* s : stocksNode->children())
        EXPECT_EQ(s->isChecked(), T::NodeKey(s) == stocks[1]) << T::NodeKey(s).toStdString();
    // Checking one more stock is written back and checks the inventory node.
    stocksNode->child(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(inventory->isChecked());
    if (stocks.size() > 2) {
        EXPECT_EQ(stocksNode->checkState(), Qt::PartiallyChecked);
        T::MRPFiltersSaveSettings(&tree, text);
        EXPECT_EQ(section(text, "[QZ_MRP.Stocks]"), stocks[0] + u'|' + stocks[1] + u'|');
    }
    // Unchecking the stocks node as a whole unchecks every stock and the
    // inventory node, and forgets the list.
    stocksNode->setCheckState(Qt::Unchecked);
    for (kvui::TreeNode* s : stocksNode->children())
        EXPECT_FALSE(s->isChecked());
    EXPECT_FALSE(inventory->isChecked());
    EXPECT_EQ(T::NodeKey(stocksNode), QString());
    T::MRPFiltersSaveSettings(&tree, text);
    EXPECT_EQ(section(text, "[QZ_MRP.Stocks]"), QString());
    EXPECT_EQ(section(text, "[Excludes]"), QStringLiteral("QZ_MRP.Inventory|"));
}

TEST_F(MRPFilters, TheFilterDialogWritesCodeAndReadableTextOfTheFocusedBillType)
{
    T::LoadWorkbenchMRPFilters(&tree, 0, QStringLiteral("[Excludes]=QZ_MRP.MO|"));
    kvui::TreeNode* mo = nodeOf(tree, "QZ_MRP.MO");
    QString text;

    // Nothing for the stocks node or no focus.
    tree.setFocusedNode(T::StocksNode(&tree));
    EXPECT_FALSE(T::MRPFiltersShowFilter(&tree, text, false));
    EXPECT_EQ(answer.calls, 0);

    // The focused filter row opens its bill type's filter; OK checks the node.
    tree.setFocusedNode(mo->child(0));
    answer.text = QStringLiteral("车间 = '一车间'");
    answer.code = QStringLiteral("x.MODept='D01'");
    EXPECT_TRUE(T::MRPFiltersShowFilter(&tree, text, false));
    ASSERT_NE(answer.def, nullptr);
    EXPECT_EQ(answer.def->ID, QStringLiteral("QZ_MRP.MO"));
    EXPECT_FALSE(answer.readOnly);
    EXPECT_EQ(section(text, "[QZ_MRP.MO]"), answer.code);
    EXPECT_EQ(section(text, "{QZ_MRP.MO}"), StrToHexCodes(answer.text));
    EXPECT_TRUE(mo->isChecked());
    EXPECT_EQ(T::NodeCaption(mo->child(0)), answer.text);
    // The tree built again from the text shows the condition.
    T::LoadWorkbenchMRPFilters(&tree, 0, text);
    EXPECT_EQ(T::NodeCaption(nodeOf(tree, "QZ_MRP.MO")->child(0)), answer.text);

    // The stored code goes into the dialog; an empty text removes code and text.
    tree.setFocusedNode(nodeOf(tree, "QZ_MRP.MO"));
    answer.text.clear();
    answer.code = QStringLiteral("left over");
    EXPECT_TRUE(T::MRPFiltersShowFilter(&tree, text, false));
    EXPECT_EQ(answer.codeIn, QStringLiteral("x.MODept='D01'"));
    EXPECT_FALSE(text.contains(QStringLiteral("[QZ_MRP.MO]")));
    EXPECT_FALSE(text.contains(QStringLiteral("{QZ_MRP.MO}")));
    EXPECT_EQ(T::NodeCaption(nodeOf(tree, "QZ_MRP.MO")->child(0)), QStringLiteral("(默认条件)"));

    // Read-only: the dialog shows the filter, nothing is written; Cancel neither.
    const QString before = text;
    answer.text = QStringLiteral("changed");
    answer.code = QStringLiteral("1=0");
    EXPECT_FALSE(T::MRPFiltersShowFilter(&tree, text, true));
    EXPECT_TRUE(answer.readOnly);
    answer.ok = false;
    EXPECT_FALSE(T::MRPFiltersShowFilter(&tree, text, false));
    EXPECT_EQ(text, before);
}

TEST_F(MRPFilters, SwitchingTheSourceAwayAndBackKeepsTheHiddenFilters)
{
    const QString so = QStringLiteral("[QZ_MRP.SO]=x.SOCust='C01'") + kSep + QStringLiteral("{QZ_MRP.SO}=") + StrToHexCodes("客户=C01");
    QString text = so;
    T::LoadWorkbenchMRPFilters(&tree, 0, text);
    T::MRPFiltersSaveSettings(&tree, text);
    T::LoadWorkbenchMRPFilters(&tree, 3, text);
    EXPECT_EQ(nodeOf(tree, "QZ_MRP.SO"), nullptr);
    T::MRPFiltersSaveSettings(&tree, text);
    T::LoadWorkbenchMRPFilters(&tree, 0, text);
    EXPECT_EQ(section(text, "[QZ_MRP.SO]"), QStringLiteral("x.SOCust='C01'"));
    EXPECT_EQ(T::NodeCaption(nodeOf(tree, "QZ_MRP.SO")->child(0)), QStringLiteral("客户=C01"));
}

TEST_F(MRPFilters, ConditionsAreBoldAndDefaultRowsGrey)
{
    T::LoadWorkbenchMRPFilters(&tree, 0, QStringLiteral("{QZ_MRP.PO}=") + StrToHexCodes("供应商=V1"));
    auto draw = [this](kvui::TreeNode* n) {
        kvui::CellDraw cell;
        cell.row.node = n;
        cell.column = tree.column(0);
        cell.textColor = Qt::black;
        T::MRPFiltersCustomDrawDataCell(&tree, cell);
        return cell;
    };
    EXPECT_TRUE(draw(nodeOf(tree, "QZ_MRP.PO")).font.bold());
    EXPECT_FALSE(draw(nodeOf(tree, "QZ_MRP.MO")).font.bold());
    EXPECT_EQ(draw(nodeOf(tree, "QZ_MRP.PO")->child(0)).textColor, QColor(Qt::black));
    EXPECT_NE(draw(nodeOf(tree, "QZ_MRP.MO")->child(0)).textColor, QColor(Qt::black));
    // The stocks node is bold while the inventory node is checked.
    EXPECT_TRUE(draw(T::StocksNode(&tree)).font.bold());
    nodeOf(tree, "QZ_MRP.Inventory")->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(draw(T::StocksNode(&tree)).font.bold());
}
