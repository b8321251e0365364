#include "ExportTestSupport.h"
#include "XlsReadBack.h"
#include "untTLExportLink.h"

#include "Editors.h"
#include "TreeList.h"

#include <QDate>
#include <QIcon>
#include <QPixmap>
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

// In native format a date, mask, currency, spin, calculator or time editor
// writes its value whatever the column's value type; otherwise such a column
// gives its text.
TEST_F(TreeListExportTest, NativeFormatWritesTheValuesOfValueEditors)
{
    Column* due = tree->addColumn("交期");
    auto spin = std::make_shared<TextEditProperties>();
    spin->setNativeValueEdit(true);
    due->setEditor(spin);
    TreeNode* top = tree->topNode(0);
    top->setValue(due, QDate(2027, 1, 5));
    for (bool native : {true, false}) {
        TcxTreeListExportHelper helper(tree.get(), ExportXls, path("n.xls"));
        helper.IsNativeFormat = native;
        const QVariant v = helper.GetDataCellValue(top, due);
        EXPECT_EQ(v.typeId(), native ? int(QMetaType::QDate) : int(QMetaType::QString)) << native;
    }
}

// Data cells are edged as the tree's grid lines go; band cells are frames
// around the band's columns, not one merged cell; a node's image is written
// into its indent cell.
TEST_F(TreeListExportTest, GridLinesBandFramesAndNodeImages)
{
    tree->setShowBandHeaders(true);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    tree->setImages({QIcon(red)});
    tree->topNode(0)->setImageIndex(0);
    const struct {
        BandedView::GridLines lines;
        int left, top;
    } cases[] = {{BandedView::GridLines::Both, 1, 1},
                 {BandedView::GridLines::Horizontal, 0, 1},
                 {BandedView::GridLines::Vertical, 1, 0},
                 {BandedView::GridLines::None, 0, 0}};
    for (const auto& c : cases) {
        tree->setGridLines(c.lines);
        TcxTreeListExportHelper helper(tree.get(), ExportHtml, path("g.html"));
        helper.DoExport();
        const ExportProvider* p = helper.Provider();
        // Row 0 the band, row 1 the headers, row 2 the node; the node's name
        // cell is the first one holding text.
        int nameCol = -1;
        for (int col = 0; col < p->columnCount() && nameCol < 0; ++col)
            if (p->cell(col, 2).value.toString() == "整机")
                nameCol = col;
        ASSERT_GE(nameCol, 0);
        const ExportCellStyle& data = p->style(p->cell(nameCol, 2).style);
        EXPECT_EQ(data.borders[0].width, c.left) << int(c.lines);
        EXPECT_EQ(data.borders[2].width, c.left) << int(c.lines);
        EXPECT_EQ(data.borders[1].width, c.top) << int(c.lines);
        EXPECT_EQ(data.borders[3].width, c.top) << int(c.lines);

        const ExportProvider::Cell& first = p->cell(0, 0);
        const ExportProvider::Cell& last = p->cell(p->columnCount() - 1, 0);
        EXPECT_EQ(first.value.toString(), "物料");
        EXPECT_EQ(first.mergeAcross, 0);
        EXPECT_FALSE(last.covered);
        EXPECT_GT(p->style(first.style).borders[0].width, 0);
        EXPECT_EQ(p->style(first.style).borders[2].width, 0);
        EXPECT_EQ(p->style(last.style).borders[0].width, 0);
        EXPECT_GT(p->style(last.style).borders[2].width, 0);
        EXPECT_EQ(p->style(last.style).brushColor, p->style(first.style).brushColor);
    }
    const QString html = ReadExported(path("g.html"));
    EXPECT_EQ(html.count("<img src=\"data:image/png;base64,"), 1);
}

TEST_F(TreeListExportTest, HeaderAndFooterBordersTakeTheGridLineColour)
{
    tree->setShowFooter(true);
    TcxTreeListExportHelper helper(tree.get(), ExportHtml, path("h.html"));
    helper.DoExport();
    const ExportProvider* p = helper.Provider();
    const QColor gridLine = tree->viewPalette().gridLine;
    // Row 0 the headers, row 1 the node, row 2 the footer.
    int nameCol = -1;
    for (int col = 0; col < p->columnCount() && nameCol < 0; ++col)
        if (p->cell(col, 0).value.toString() == "名称")
            nameCol = col;
    ASSERT_GE(nameCol, 0);
    for (int row : {0, 2}) {
        const ExportCellStyle& style = p->style(p->cell(nameCol, row).style);
        for (const ExportBorder& border : style.borders) {
            EXPECT_GT(border.width, 0) << row;
            EXPECT_EQ(border.color, gridLine) << row;
        }
    }
}
