#include "ExportTestSupport.h"
#include "XlsReadBack.h"
#include "untTLExportLink.h"

#include "Editors.h"
#include "TreeList.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

// A bill of materials whose children are loaded only when their parent opens.
class TreeListExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree = std::make_unique<TreeList>();
        tree->addBand("物料");
        tree->setShowBandHeaders(false);
        name = tree->addColumn("名称");
        qty = tree->addColumn("数量");
        qty->setValueType("Float");
        kind = tree->addColumn("属性");
        kind->setValueType("Integer");
        auto combo = std::make_shared<ImageComboProperties>();
        combo->addItem(1, "自制");
        combo->addItem(2, "外购");
        kind->setEditor(combo);
        tree->setExpandingHook([this](TreeNode* node) {
            if (node->childCount() == 0 && node->value(name).toString() == "整机") {
                fill(tree->addNode(node), "部件", 2.0, 1, true);
                fill(tree->addNode(node), "螺钉", 0.0, 2, false);
            } else if (node->childCount() == 0 && node->value(name).toString() == "部件") {
                fill(tree->addNode(node), "零件", 4.0, 2, false);
            }
            return true;
        });
        fill(tree->addNode(), "整机", 1.0, 1, true);
        tree->resize(400, 300);
        tree->show();
    }
    void fill(TreeNode* node, const QString& n, double q, int k, bool lazy)
    {
        node->setValue(name, n);
        node->setValue(qty, q);
        node->setValue(kind, k);
        node->setHasChildren(lazy);
    }
    QString path(const QString& f) const { return dir.filePath(f); }

    QTemporaryDir dir;
    std::unique_ptr<TreeList> tree;
    Column *name = nullptr, *qty = nullptr, *kind = nullptr;
};

// The filled cells of a row besides the expand buttons (the first column's
// cell spans the indent columns that deeper nodes take).
QStringList Content(const QStringList& row)
{
    QStringList out;
    for (const QString& cell : row)
        if (!cell.isEmpty() && cell != "+" && cell != "-")
            out << cell;
    return out;
}

} // namespace

TEST_F(TreeListExportTest, ExpandingRunsUntilEveryLoadedNodeIsExported)
{
    ExportTreeListAsText(path("t.dat"), tree.get(), true, true, "", "", "", "txt");
    const QList<QStringList> rows = ReadTextCells(path("t.txt"));
    ASSERT_EQ(rows.size(), 5);   // header and four nodes
    EXPECT_EQ(Content(rows[0]), QStringList({"名称", "数量", "属性"}));
    EXPECT_EQ(rows[1].value(0), "-");
    EXPECT_EQ(Content(rows[1]), QStringList({"整机", "1", "自制"}));
    EXPECT_EQ(Content(rows[2]), QStringList({"部件", "2", "自制"}));
    EXPECT_EQ(Content(rows[3]), QStringList({"零件", "4", "外购"}));
    // A zero quantity is blank; the drop-down column gives its text.
    EXPECT_EQ(Content(rows[4]), QStringList({"螺钉", "外购"}));
    EXPECT_EQ(rows[4].value(rows[4].size() - 2), "");
}

TEST_F(TreeListExportTest, WithoutExpandingOnlyTheShownNodes)
{
    ExportTreeListAsXml(path("t.xml"), tree.get(), false, true, "xml");
    QString error;
    const QList<XmlCell> cells = ReadXmlCells(path("t.xml"), &error);
    EXPECT_TRUE(error.isEmpty());
    int lastRow = 0;
    for (const XmlCell& c : cells)
        lastRow = std::max(lastRow, c.row);
    EXPECT_EQ(lastRow, 2);
    bool plus = false;
    for (const XmlCell& c : cells)
        plus = plus || (c.row == 2 && c.data == "+");
    EXPECT_TRUE(plus);
}

TEST_F(TreeListExportTest, WorkbookHoldsNumbersAsNumbers)
{
    ExportTreeListAsExcel(path("t.xls"), tree.get(), true, true, true, "xls");
    const XlsSheet sheet = ReadXlsSheet(path("t.xls"));
    ASSERT_EQ(sheet.error, 0);
    ASSERT_EQ(sheet.rows.size(), 5);
    const int qtyColumn = int(sheet.rows[1].size()) - 2;
    EXPECT_EQ(sheet.at(3, qtyColumn).toDouble(), 4.0);
    EXPECT_FALSE(sheet.at(4, qtyColumn).isValid());
}

TEST_F(TreeListExportTest, HiddenTreeListAndEmptyTreeList)
{
    tree->hide();
    EXPECT_THROW(ExportTreeListAsHtml(path("h.html"), tree.get(), true, true, "html"), EcxTreeListError);
    EXPECT_FALSE(QFile::exists(path("h.html")));

    TreeList empty;
    empty.show();
    ExportTreeListAsText(path("e.txt"), &empty, true, true, "", "", "", "txt");
    EXPECT_TRUE(QFile::exists(path("e.txt")));
    EXPECT_TRUE(ReadExported(path("e.txt")).isEmpty());
}
