#include "ExportTestSupport.h"
#include "ExportWriter.h"
#include "XlsReadBack.h"

#include <QDate>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

TEST(ExportScale, ArrangesEdgesIntoIntervalsAndMapsSpans)
{
    ExportScale s;
    for (int v : {30, 0, 10, 30, 10, 55})
        s.add(v);
    s.arrange();
    ASSERT_EQ(s.count(), 4);
    EXPECT_EQ(s.visibleCount(), 3);
    EXPECT_EQ(s.delta(2), 25);
    int first = -1, last = -1;
    ASSERT_TRUE(s.span(10, 55, first, last));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(last, 2);
    EXPECT_FALSE(s.span(10, 10, first, last));
    ExportScale empty;
    empty.add(0);
    empty.arrange();
    EXPECT_EQ(empty.visibleCount(), 0);
}

TEST(ExportWriter, EqualStylesShareOneIndex)
{
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportXml, dir.filePath("a.xml"));
    ExportCellStyle a = DefaultCellStyle();
    a.bold = true;
    ExportCellStyle b = a;
    const int ia = p->registerStyle(a);
    EXPECT_EQ(p->registerStyle(b), ia);
    b.borders[2] = ExportBorder{1, Qt::red};
    EXPECT_NE(p->registerStyle(b), ia);
}

TEST(ExportWriter, UnknownKindAndUnwritableFileRaise)
{
    EXPECT_THROW(ExportProvider::create(9, "/tmp/x.bin"), ExportError);
    auto p = ExportProvider::create(ExportText, "/nonexistent-dir/sub/a.txt");
    p->setRange(1, 1);
    EXPECT_THROW(p->commit(), ExportError);
}

// One sheet with a merged title, a number, a date, an empty cell and texts that
// need escaping, written as each kind and read back.
static void FillSheet(ExportProvider& p)
{
    p.setRange(3, 2);
    ExportCellStyle title = DefaultCellStyle();
    title.bold = true;
    title.brushColor = QColor(0xff, 0xee, 0xdd);
    p.setCellValue(0, 0, QStringLiteral("<物料> & \"清单\""));
    p.setCellStyle(0, 0, 2, 0, p.registerStyle(title));
    p.setCellValue(0, 1, 1234.5);
    p.setCellValue(1, 1, QDate(2026, 3, 9));
    p.setColumnWidth(0, 80);
    p.setRowHeight(1, 24);
}

TEST(ExportWriter, XmlWorkbookKeepsKindsOfValuesAndMerges)
{
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportXml, dir.filePath("a.xml"));
    FillSheet(*p);
    p->commit();
    QString error;
    const QList<XmlCell> cells = ReadXmlCells(dir.filePath("a.xml"), &error);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(cells.size(), 4);
    EXPECT_EQ(cells[0].data, "<物料> & \"清单\"");
    EXPECT_EQ(cells[0].mergeAcross, 2);
    EXPECT_EQ(cells[1].type, "Number");
    EXPECT_EQ(cells[1].data, "1234.5");
    EXPECT_EQ(cells[2].type, "DateTime");
    EXPECT_EQ(cells[2].data, "2026-03-09T00:00:00.000");
    EXPECT_TRUE(cells[2].style.endsWith('d'));
    EXPECT_TRUE(cells[3].data.isEmpty());
    const QString text = ReadExported(dir.filePath("a.xml"));
    EXPECT_TRUE(text.contains("<Column ss:Width=\"60.00\"/>"));
    EXPECT_TRUE(text.contains("ss:Height=\"18.00\""));
    EXPECT_TRUE(text.contains("ss:Bold=\"1\""));
    EXPECT_TRUE(text.contains("ss:Color=\"#FFEEDD\""));
}

TEST(ExportWriter, HtmlPageSpansMergedCells)
{
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportHtml, dir.filePath("a.html"));
    FillSheet(*p);
    p->commit();
    const QString html = ReadExported(dir.filePath("a.html"));
    EXPECT_TRUE(html.contains("colspan=\"3\">&lt;物料&gt; &amp; &quot;清单&quot;</td>")) << html.toStdString();
    EXPECT_TRUE(html.contains(">1234.5</td>"));
    EXPECT_TRUE(html.contains(">2026/03/09</td>"));
    EXPECT_EQ(html.count("<tr"), 2);
    // Columns start at the grid's widths but grow to whole values: nothing is cut off.
    EXPECT_FALSE(html.contains("overflow: hidden"));
    EXPECT_FALSE(html.contains("table-layout: fixed"));
}

TEST(ExportWriter, TextFileUsesSeparatorsAndKeepsRowsWhole)
{
    QTemporaryDir dir;
    {
        auto p = ExportProvider::create(ExportText, dir.filePath("a.txt"));
        FillSheet(*p);
        p->setCellValue(2, 1, QStringLiteral("两\n行\t文本"));
        p->commit();
        const QList<QStringList> rows = ReadTextCells(dir.filePath("a.txt"));
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[0], QStringList({"<物料> & \"清单\"", "", ""}));
        EXPECT_EQ(rows[1], QStringList({"1234.5", "2026/03/09", "两 行 文本"}));
    }
    {
        auto p = ExportProvider::create(ExportText, dir.filePath("b.txt"));
        ASSERT_TRUE(p->supportsSeparators());
        for (const char* s : {";", "[", "]"})
            p->addSeparator(s);
        FillSheet(*p);
        p->commit();
        const QList<QStringList> rows = ReadTextCells(dir.filePath("b.txt"), ";");
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[1], QStringList({"[1234.5]", "[2026/03/09]", "[]"}));
    }
}

TEST(ExportWriter, ExcelWorkbookReadsBackWithValuesAndTypes)
{
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportXls, dir.filePath("a.xls"));
    FillSheet(*p);
    p->commit();
    const XlsSheet sheet = ReadXlsSheet(dir.filePath("a.xls"));
    ASSERT_EQ(sheet.error, 0);
    ASSERT_EQ(sheet.rows.size(), 2);
    EXPECT_EQ(sheet.at(0, 0).toString(), "<物料> & \"清单\"");
    EXPECT_EQ(sheet.at(1, 0).toDouble(), 1234.5);
    EXPECT_EQ(sheet.at(1, 1).toDate(), QDate(2026, 3, 9));
    EXPECT_FALSE(sheet.at(1, 2).isValid());
}

TEST(ExportWriter, LargeExcelWorkbookWithManyStringsAndColours)
{
    // Enough shared strings to need continuation records, more colours than the
    // palette holds and more styles than a workbook's cell formats.
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportXls, dir.filePath("big.xls"));
    const int rows = 4500;
    p->setRange(3, rows);
    for (int r = 0; r < rows; ++r) {
        p->setCellValue(0, r, QStringLiteral("物料名称%1-%2").arg(r).arg(QString(r % 7, u'长')));
        p->setCellValue(1, r, r * 1.5);
        ExportCellStyle s = DefaultCellStyle();
        s.brushColor = QColor(r % 256, r / 256, 200);
        p->setCellStyle(2, r, p->registerStyle(s));
    }
    p->commit();
    const XlsSheet sheet = ReadXlsSheet(dir.filePath("big.xls"));
    ASSERT_EQ(sheet.error, 0);
    ASSERT_EQ(sheet.rows.size(), rows);
    for (int r : {0, 1, 1234, rows - 1}) {
        EXPECT_EQ(sheet.at(r, 0).toString(), QStringLiteral("物料名称%1-%2").arg(r).arg(QString(r % 7, u'长')));
        EXPECT_EQ(sheet.at(r, 1).toDouble(), r * 1.5);
    }
}

TEST(ExportWriter, ExcelWorkbookBeyondTheSheetLimitsRaises)
{
    QTemporaryDir dir;
    auto p = ExportProvider::create(ExportXls, dir.filePath("wide.xls"));
    p->setRange(257, 1);
    EXPECT_THROW(p->commit(), ExportError);
    EXPECT_FALSE(QFile::exists(dir.filePath("wide.xls")));
}
