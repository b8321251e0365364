#include "BandedGrid.h"
#include "PrintLink.h"
#include "TreeList.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

namespace {

int pdfPages(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return -1;
    QByteArray data = f.readAll();
    if (!data.startsWith("%PDF")) return -1;
    return int(QString::fromLatin1(data).count(QRegularExpression("/Type\\s*/Page[^s]")));
}

struct PrintFixture : ::testing::Test {
    QTemporaryDir dir;
    StaticDataSource src{{"No", "Name", "Cat", "Qty"}, {QMetaType::QString, QMetaType::QString, QMetaType::QString, QMetaType::Double}};
    BandedGrid grid;
    Column *no, *name, *cat, *qty;
    void SetUp() override
    {
        for (int i = 0; i < 120; ++i)
            src.appendRecord({QString("P%1").arg(i, 4, 10, QChar('0')), QString("物料%1").arg(i),
                              i % 3 ? "标准件" : "结构件", double(i % 10)});
        grid.addBand("物料", BandFixed::Left);
        grid.addBand("数量");
        no = grid.addColumn("代码", "No", 0);
        name = grid.addColumn("名称", "Name", 0);
        cat = grid.addColumn("类别", "Cat", 1);
        qty = grid.addColumn("数量", "Qty", 1);
        qty->setFooterSummary(SummaryKind::Sum, "#,##0");
        grid.setShowFooter(true);
        grid.setDataSource(&src);
        grid.setCustomDrawHook([](CellDraw& c) { if (c.row.record % 2) c.background = QColor(255, 255, 194); });
    }
};

} // namespace

TEST(PrintSettingsText, RoundTripsAndIgnoresWhatItCannotRead)
{
    PrintSettings s;
    s.title = "物料清单";
    s.footnotes = "第一行\n第二行 \\ 反斜杠";
    s.pageHeader = "[Date]";
    s.groupFooters = false;
    s.orientation = QPageLayout::Landscape;
    s.paper = QPageSize::A3;
    s.margins = QMarginsF(10, 15, 10, 20);
    QString text = s.toText();
    EXPECT_FALSE(text.contains("第一行\n第二行"));  // one line per key
    PrintSettings r = PrintSettings::fromText(text);
    EXPECT_TRUE(r == s);
    EXPECT_EQ(r.footnotes, s.footnotes);
    EXPECT_EQ(r.paper, QPageSize::A3);

    PrintSettings d = PrintSettings::fromText("Headers=yes\nMargins=1,2,x,4\nPaper=Nonsense\nUnknown=1\ngarbage");
    EXPECT_TRUE(d == PrintSettings());
    EXPECT_TRUE(PrintSettings::fromText(QString()) == PrintSettings());
}

TEST(ReportDesign, DialogEditsTheSettings)
{
    PrintSettings s;
    s.title = "旧标题";
    ReportDesignDialog dlg(s);
    EXPECT_TRUE(dlg.settings() == s);
    dlg.titleEdit()->setText("新标题");
    dlg.footnotesEdit()->setPlainText("制表人:");
    dlg.option("GroupFooters")->setChecked(false);
    dlg.option("BandHeaders")->setChecked(false);
    PrintSettings r = dlg.settings();
    EXPECT_EQ(r.title, "新标题");
    EXPECT_EQ(r.footnotes, "制表人:");
    EXPECT_FALSE(r.groupFooters);
    EXPECT_FALSE(r.bandHeaders);
    EXPECT_TRUE(r.headers);
}

TEST_F(PrintFixture, GridPrintsToPdf)
{
    PrintLink link;
    EXPECT_FALSE(link.printToPdf(dir.filePath("none.pdf")));  // no view bound
    link.setView(&grid);
    link.settings().title = "物料清单";
    link.settings().footnotes = "制表人: 张三";
    link.settings().showFootnotes = true;
    QString file = dir.filePath("grid.pdf");
    ASSERT_TRUE(link.printToPdf(file));
    int pages = pdfPages(file);
    EXPECT_GE(pages, 2);
    EXPECT_EQ(pages, link.pageCount());

    // Grouped and collapsed, the grid fits one page.
    grid.groupBy(cat);
    EXPECT_EQ(link.pageCount(), 1);
    grid.expandAllGroups();
    link.settings().orientation = QPageLayout::Landscape;
    QString file2 = dir.filePath("grouped.pdf");
    ASSERT_TRUE(link.printToPdf(file2));
    EXPECT_EQ(pdfPages(file2), link.pageCount());
    EXPECT_GT(link.pageCount(), pages);  // landscape pages hold fewer rows

    // Settings survive as text, and defaults come back on reset.
    QString stored = link.settingsText();
    link.resetToDefaults();
    EXPECT_TRUE(link.settings().title.isEmpty());
    link.setSettingsText(stored);
    EXPECT_EQ(link.settings().title, "物料清单");
}

// A view far wider than the paper keeps a readable font: it is not shrunk to
// a few points to fit one page, its columns continue on pages to the right.
TEST_F(PrintFixture, AWideViewStaysReadableAndContinuesToTheRight)
{
    for (Column* c : {no, name, cat, qty})
        c->setWidth(700);
    PrintLink link;
    link.setView(&grid);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(12.7, 12.7, 12.7, 12.7),
                                      QPageLayout::Millimeter));
    const double natural = printer.resolution() / 96.0;
    // 9-point text stays at 7.5 points or more.
    EXPECT_GE(link.printScale(&printer) / natural * grid.font().pointSizeF(), 7.4);
    const int narrowPages = [&] {
        for (Column* c : {no, name, cat, qty})
            c->setWidth(100);
        const int n = link.pageCount();
        for (Column* c : {no, name, cat, qty})
            c->setWidth(700);
        return n;
    }();
    // Four columns of a page's width each: four pages side by side.
    EXPECT_EQ(link.pageCount(), 4 * narrowPages);
    const QString file = dir.filePath("wide.pdf");
    ASSERT_TRUE(link.printToPdf(file));
    EXPECT_EQ(pdfPages(file), link.pageCount());
    // A view that fits keeps its size.
    for (Column* c : {no, name, cat, qty})
        c->setWidth(100);
    EXPECT_DOUBLE_EQ(link.printScale(&printer), natural);
}

TEST(TreePrint, TreeListPrintsToPdf)
{
    QTemporaryDir dir;
    TreeList tree;
    tree.addBand("结构");
    Column* name = tree.addColumn("名称");
    Column* qty = tree.addColumn("用量");
    qty->setValueType("Float");
    TreeNode* head = tree.addNode();
    head->setValue(name, "成品");
    for (int i = 0; i < 5; ++i) {
        TreeNode* c = head->addChild();
        c->setValue(name, QString("零件%1").arg(i));
        c->setValue(qty, i * 1.5);
    }
    tree.expandAll();
    PrintLink link;
    link.setView(&tree);
    QString file = dir.filePath("tree.pdf");
    ASSERT_TRUE(link.printToPdf(file));
    EXPECT_EQ(pdfPages(file), 1);
}
