// The workbook reader: values, number formats, dates and merged areas of a
// workbook from another program and of our own export; files it refuses.
#include "ExportWriter.h"
#include "XlsWorkbook.h"

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kvui;

namespace {
const QString Sample = QStringLiteral(IMPORT_DATA_DIR "/import_sample.xls");
}

TEST(XlsWorkbook, ReadsSheetsValuesFormatsAndMergedAreas)
{
    XlsWorkbook book;
    QString error;
    ASSERT_TRUE(book.load(Sample, &error)) << error.toStdString();
    ASSERT_EQ(book.sheetCount(), 3);
    EXPECT_EQ(book.sheetName(0), QStringLiteral("物料设置"));
    EXPECT_EQ(book.columnCount(0), 6);
    EXPECT_EQ(book.rowCount(0), 5);
    // The title across A1:F1 and the group 电机 down A3:A4.
    EXPECT_TRUE(book.mergedAreas(0).contains(XlsRange{0, 0, 5, 0}));
    EXPECT_EQ(book.mergedAreaAt(0, 0, 3), (XlsRange{0, 2, 0, 3}));
    EXPECT_EQ(book.displayText(0, 1, 2), QStringLiteral("IMP-001"));
    // A number shown with thousands separators and a percentage keep their values.
    EXPECT_EQ(book.cell(0, 2, 2).type, XlsCellType::Number);
    EXPECT_DOUBLE_EQ(book.cell(0, 2, 2).value.toDouble(), 1234.5);
    EXPECT_EQ(book.displayText(0, 2, 2), QStringLiteral("1,234.50"));
    EXPECT_DOUBLE_EQ(book.cell(0, 3, 2).value.toDouble(), 0.025);
    EXPECT_EQ(book.displayText(0, 3, 2), QStringLiteral("2.5%"));
    // A date cell arrives as a date.
    const XlsCell date = book.cell(0, 4, 3);
    ASSERT_EQ(date.type, XlsCellType::DateTime);
    EXPECT_EQ(date.value.toDateTime().date(), QDate(2027, 1, 15));
    EXPECT_EQ(book.displayText(0, 4, 3), QStringLiteral("2027/01/15"));
    // The second sheet has no content.
    EXPECT_EQ(book.columnCount(1), 0);
    EXPECT_EQ(book.rowCount(1), 0);
}

TEST(XlsWorkbook, ReadsOurOwnExport)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("export.xls"));
    auto p = ExportProvider::create(ExportXls, path);
    p->setRange(3, 3);
    p->setCellValue(0, 0, QStringLiteral("编码"));
    p->setCellValue(1, 0, QStringLiteral("数量"));
    p->setCellValue(2, 0, QStringLiteral("日期"));
    p->setCellValue(0, 1, QStringLiteral("A-1"));
    p->setCellValue(1, 1, 12.5);
    p->setCellValue(2, 1, QDate(2026, 12, 24));
    p->setCellValue(0, 2, QStringLiteral("合计"));
    p->setCellStyle(0, 2, 1, 2, p->registerStyle(DefaultCellStyle()));
    p->commit();

    XlsWorkbook book;
    QString error;
    ASSERT_TRUE(book.load(path, &error)) << error.toStdString();
    EXPECT_EQ(book.columnCount(0), 3);
    EXPECT_EQ(book.displayText(0, 0, 0), QStringLiteral("编码"));
    EXPECT_DOUBLE_EQ(book.cell(0, 1, 1).value.toDouble(), 12.5);
    EXPECT_EQ(book.cell(0, 2, 1).type, XlsCellType::DateTime);
    EXPECT_EQ(book.cell(0, 2, 1).value.toDateTime().date(), QDate(2026, 12, 24));
    EXPECT_EQ(book.mergedAreaAt(0, 1, 2), (XlsRange{0, 2, 1, 2}));
}

TEST(XlsWorkbook, RefusesFilesItCannotRead)
{
    QTemporaryDir dir;
    QFile sample(Sample);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    struct Case {
        const char* name;
        QByteArray content;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("物料编码,安全库存\nIMP-001,10\n")},
        {"truncated", bytes.left(bytes.size() / 2)},
        {"header only", bytes.left(512)},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".xls"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();
        XlsWorkbook book;
        QString error;
        EXPECT_FALSE(book.load(path, &error)) << c.name;
        EXPECT_FALSE(error.isEmpty()) << c.name;
        EXPECT_EQ(book.sheetCount(), 0) << c.name;
    }
    XlsWorkbook book;
    QString error;
    EXPECT_FALSE(book.load(dir.filePath(QStringLiteral("missing.xls")), &error));
}

TEST(XlsWorkbook, FormatsNumbers)
{
    struct Case {
        double value;
        const char* format;
        const char* text;
    } cases[] = {
        {1234.5, "#,##0.00", "1,234.50"}, {0.025, "0.0%", "2.5%"}, {12, "General", "12"},
        {-3.5, "0.00;(0.00)", "(3.50)"}, {7, "0", "7"}, {1.25, "0.00\" kg\"", "1.25 kg"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XlsWorkbook::formatNumber(c.value, QString::fromUtf8(c.format)), QString::fromUtf8(c.text)) << c.format;
    EXPECT_EQ(XlsWorkbook::columnName(0), QStringLiteral("A"));
    EXPECT_EQ(XlsWorkbook::columnName(27), QStringLiteral("AB"));
}
