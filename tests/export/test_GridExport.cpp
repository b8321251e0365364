#include "ExportTestSupport.h"
#include "XlsReadBack.h"
#include "untGridExportLink.h"
#include "clsGridView.h"

#include "BandedGrid.h"
#include "DisplayFormat.h"
#include "Editors.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

// Items with a quantity shown with thousands separators, a date and a
// drop-down kind whose key differs from its text.
class GridExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        src = std::make_unique<StaticDataSource>(
            QStringList{"No", "Name", "Qty", "Due", "Kind"},
            QList<int>{QMetaType::QString, QMetaType::QString, QMetaType::Double, QMetaType::QDate, QMetaType::Int});
        src->appendRecord({"A1", "螺栓", 1234.5, QDate(2026, 3, 1), 1});
        src->appendRecord({"A2", "垫圈", 0.0, QVariant(), 2});
        src->appendRecord({"A3", "螺母", 7.0, QDate(1899, 12, 30), 1});
        grid = std::make_unique<BandedGrid>();
        grid->addBand("物料");
        grid->setShowBandHeaders(false);
        grid->addColumn("No", "No");
        grid->addColumn("Name", "Name");
        qty = grid->addColumn("Qty", "Qty");
        qty->setEditor(std::make_shared<TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter));
        qty->displayTextHook = [](const RowRef&, const QVariant& v, QString& text) {
            text = formatFloat("#,##0.00", v.toDouble());
        };
        grid->addColumn("Due", "Due");
        kind = grid->addColumn("Kind", "Kind");
        auto combo = std::make_shared<ImageComboProperties>();
        combo->addItem(1, "自制");
        combo->addItem(2, "外购");
        kind->setEditor(combo);
        grid->setDataSource(src.get());
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    std::unique_ptr<StaticDataSource> src;
    std::unique_ptr<BandedGrid> grid;
    Column* qty = nullptr;
    Column* kind = nullptr;
};

} // namespace

TEST_F(GridExportTest, CellsFollowTheValueRulesInTextXmlAndHtml)
{
    ExportGridAsText(path("g.txt"), grid.get(), true, true, "", "", "", "txt");
    const QList<QStringList> rows = ReadTextCells(path("g.txt"));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], QStringList({"No", "Name", "Qty", "Due", "Kind"}));
    // 1,234.50 becomes the number 1234.5; zero and empty or zero dates are blank;
    // the drop-down column gives its text, not its key.
    EXPECT_EQ(rows[1], QStringList({"A1", "螺栓", "1234.5", "2026/03/01", "自制"}));
    EXPECT_EQ(rows[2], QStringList({"A2", "垫圈", "", "", "外购"}));
    EXPECT_EQ(rows[3], QStringList({"A3", "螺母", "7", "", "自制"}));

    ExportGridAsXml(path("g.xml"), grid.get(), true, true, "xml");
    QString error;
    const QList<XmlCell> cells = ReadXmlCells(path("g.xml"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    auto at = [&](int row, int column) {
        for (const XmlCell& c : cells)
            if (c.row == row && c.column == column)
                return c;
        return XmlCell();
    };
    EXPECT_EQ(at(2, 3).type, "Number");
    EXPECT_EQ(at(2, 3).data, "1234.5");
    EXPECT_EQ(at(2, 4).type, "DateTime");
    EXPECT_EQ(at(2, 5).type, "String");
    EXPECT_EQ(at(2, 5).data, "自制");
    EXPECT_TRUE(at(3, 3).data.isEmpty());
    EXPECT_TRUE(at(3, 4).data.isEmpty());
    EXPECT_EQ(at(1, 1).data, "No");

    ExportGridAsHtml(path("g.html"), grid.get(), true, true, "html");
    const QString html = ReadExported(path("g.html"));
    EXPECT_TRUE(html.contains(">螺栓</td>"));
    EXPECT_TRUE(html.contains(">1234.5</td>"));
    EXPECT_FALSE(html.contains("1,234.50"));
}

TEST_F(GridExportTest, NumberShownWithASignKeepsItsValue)
{
    qty->displayTextHook = [](const RowRef&, const QVariant& v, QString& text) {
        text = "¥" + formatFloat("#,##0.00", v.toDouble());
    };
    ExportGridAsText(path("sign.txt"), grid.get(), true, true, "", "", "", "txt");
    const QList<QStringList> rows = ReadTextCells(path("sign.txt"));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[1].value(2), "1234.5");
    EXPECT_EQ(rows[2].value(2), "");
}

TEST_F(GridExportTest, SelectedRowsOnlyUnlessAllAreAsked)
{
    grid->setMultiSelect(true);
    grid->clearSelection();
    grid->selectRow(grid->rowOfRecord(1), true);
    grid->selectRow(grid->rowOfRecord(2), true);
    ExportGridAsText(path("sel.txt"), grid.get(), true, false, "", "", "", "txt");
    QList<QStringList> rows = ReadTextCells(path("sel.txt"));
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[1].value(0), "A2");
    EXPECT_EQ(rows[2].value(0), "A3");

    ExportGridAsText(path("all.txt"), grid.get(), true, true, "", "", "", "txt");
    EXPECT_EQ(ReadTextCells(path("all.txt")).size(), 4);

    // Nothing selected: every row.
    grid->clearSelection();
    ExportGridAsText(path("none.txt"), grid.get(), true, false, "", "", "", "txt");
    EXPECT_EQ(ReadTextCells(path("none.txt")).size(), 4);
}

TEST_F(GridExportTest, ExtensionIsReplacedByTheKinds)
{
    ExportGridAsText(path("list.dat"), grid.get(), true, true, "", "", "", "txt");
    EXPECT_TRUE(QFile::exists(path("list.txt")));
    EXPECT_FALSE(QFile::exists(path("list.dat")));
    // Without an extension argument the name stays as given.
    ExportGridAsXml(path("list.dat"), grid.get(), true, true, "");
    EXPECT_TRUE(QFile::exists(path("list.dat")));
}

TEST_F(GridExportTest, EmptyGridWithoutHeaderWritesAnEmptySheet)
{
    src->clear();
    src->changed();
    grid->setShowHeaders(false);
    ExportGridAsText(path("e.txt"), grid.get(), true, true, "", "", "", "txt");
    EXPECT_TRUE(ReadExported(path("e.txt")).isEmpty());
    ExportGridAsXml(path("e.xml"), grid.get(), true, true, "xml");
    QString error;
    EXPECT_TRUE(ReadXmlCells(path("e.xml"), &error).isEmpty());
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(GridExportTest, GroupsAreExpandedAndFootersWritten)
{
    grid->groupBy(kind);
    grid->collapseAllGroups();
    qty->setFooterSummary(SummaryKind::Sum, "#,##0.00");
    grid->setShowFooter(true);
    ExportGridAsText(path("grp.txt"), grid.get(), true, true, "", "", "", "txt");
    const QList<QStringList> rows = ReadTextCells(path("grp.txt"));
    // Header, two group rows, three data rows, the footer.
    ASSERT_EQ(rows.size(), 7);
    EXPECT_EQ(rows[1].value(0), "-");
    EXPECT_TRUE(rows[1].join("").contains("自制")) << rows[1].join("|").toStdString();
    EXPECT_EQ(rows[2].value(0), "");
    EXPECT_EQ(rows[2].value(1), "A1");
    EXPECT_TRUE(rows[6].contains("1,241.50")) << rows[6].join("|").toStdString();

    // In native format the footer keeps its number.
    ExportGridToFile(path("grp.xml"), ExportXml, grid.get(), true, true, true, "", "", "", "xml");
    bool found = false;
    for (const XmlCell& c : ReadXmlCells(path("grp.xml")))
        found = found || (c.type == "Number" && c.data == "1241.5");
    EXPECT_TRUE(found) << ReadExported(path("grp.xml")).right(600).toStdString();
}

TEST_F(GridExportTest, CustomDrawColoursReachTheCells)
{
    grid->setCustomDrawHook([](CellDraw& cell) {
        if (cell.column && cell.column->fieldName() == "Qty" && cell.row.record == 0) {
            cell.background = QColor(0xff, 0, 0);
            cell.font.setBold(true);
        }
    });
    ExportGridAsXml(path("c.xml"), grid.get(), true, true, "xml");
    const QString text = ReadExported(path("c.xml"));
    const qsizetype red = text.indexOf("<Interior ss:Color=\"#FF0000\"");
    ASSERT_GE(red, 0);
    // The red style is bold and is the one of the quantity 1234.5.
    const qsizetype styleStart = text.lastIndexOf("<Style ss:ID=\"", red);
    const QString id = text.mid(styleStart + 14, text.indexOf('"', styleStart + 14) - styleStart - 14);
    EXPECT_TRUE(text.mid(styleStart, red - styleStart).contains("ss:Bold=\"1\""));
    EXPECT_TRUE(text.contains("<Cell ss:StyleID=\"" + id + "\"><Data ss:Type=\"Number\">1234.5</Data>")) << id.toStdString();
}

TEST_F(GridExportTest, ExcelWorkbookHoldsNumbersDatesAndTexts)
{
    ExportGridAsExcel(path("g.dat"), grid.get(), true, true, true, "xls");
    const XlsSheet sheet = ReadXlsSheet(path("g.xls"));
    ASSERT_EQ(sheet.error, 0);
    ASSERT_EQ(sheet.rows.size(), 4);
    EXPECT_EQ(sheet.at(0, 2).toString(), "Qty");
    EXPECT_EQ(sheet.at(1, 2).toDouble(), 1234.5);
    EXPECT_EQ(sheet.at(1, 3).toDate(), QDate(2026, 3, 1));
    EXPECT_EQ(sheet.at(1, 4).toString(), "自制");
    EXPECT_FALSE(sheet.at(2, 2).isValid());
    EXPECT_FALSE(sheet.at(3, 3).isValid());
}

TEST(GridExportProcsTest, TheViewFindsTheWritersOfEveryKind)
{
    const TGridExportProcs& procs = GridExportProcs();
    EXPECT_TRUE(bool(procs.ExportGridAsExcel));
    EXPECT_TRUE(bool(procs.ExportGridAsText));
    EXPECT_TRUE(bool(procs.ExportGridAsHtml));
    EXPECT_TRUE(bool(procs.ExportGridAsXml));
}

TEST_F(GridExportTest, BandHeadersSpanTheirColumnsAndEmptyFootersShowADot)
{
    grid->addBand("数量");
    qty->setPosition(1, 0, 0);
    grid->setShowBandHeaders(true);
    src->clear();
    src->changed();
    qty->setFooterSummary(SummaryKind::Sum, "#,##0.00");
    grid->setShowFooter(true);
    ExportGridAsXml(path("b.xml"), grid.get(), true, true, "xml");
    const QList<XmlCell> cells = ReadXmlCells(path("b.xml"));
    ASSERT_FALSE(cells.isEmpty());
    // Band row: "物料" over its four columns, "数量" over the quantity.
    EXPECT_EQ(cells[0].row, 1);
    EXPECT_EQ(cells[0].data, "物料");
    EXPECT_EQ(cells[0].mergeAcross, 3);
    EXPECT_EQ(cells[1].data, "数量");
    EXPECT_EQ(cells[1].column, 5);
    // No rows: the footer sum has no text and writes ".".
    bool dot = false;
    for (const XmlCell& c : cells)
        dot = dot || (c.row == 3 && c.data == ".");
    EXPECT_TRUE(dot);
}
