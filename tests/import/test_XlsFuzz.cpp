// The workbook reader against damaged files: mutated copies of the test
// workbooks (a byte set, bits flipped, a run overwritten, cut short, a piece
// repeated) are each either read or refused with a reason, never a crash or a
// read past the data (the sanitizer run of the suite catches the latter). The
// mutations come from a fixed seed, so that a failure repeats; the run stops
// after a fixed number of copies or a time budget, whichever comes first.
#include "ExportWriter.h"
#include "SpreadSheetBook.h"
#include "XlsWorkbook.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

using namespace kvui;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// A workbook of our own export: shared strings, numbers, dates, a merged area.
QByteArray ownExport(const QString& path)
{
    auto p = ExportProvider::create(ExportXls, path);
    p->setRange(4, 3);
    p->setCellValue(0, 0, QStringLiteral("编码"));
    p->setCellValue(1, 0, QStringLiteral("数量"));
    p->setCellValue(2, 0, QStringLiteral("日期"));
    p->setCellValue(0, 1, QStringLiteral("A-1"));
    p->setCellValue(1, 1, 12.5);
    p->setCellValue(2, 1, QDate(2026, 12, 24));
    p->setCellValue(0, 2, QStringLiteral("合计"));
    p->setCellStyle(0, 2, 1, 2, p->registerStyle(DefaultCellStyle()));
    p->commit();
    return readAll(path);
}

QByteArray mutate(QByteArray b, std::mt19937& rng)
{
    auto pick = [&rng](qsizetype n) { return qsizetype(std::uniform_int_distribution<qint64>(0, std::max<qint64>(0, n - 1))(rng)); };
    const int changes = 1 + int(rng() % 3);
    for (int i = 0; i < changes && !b.isEmpty(); ++i) {
        const qsizetype at = pick(b.size());
        switch (rng() % 8) {
        case 0: b[at] = 0; break;
        case 1: b[at] = char(0xFF); break;
        case 2: b[at] = char(rng()); break;
        case 3: b[at] = char(b[at] ^ (1 << (rng() % 8))); break;
        case 4: {   // a run of bytes overwritten with one value
            const qsizetype n = std::min<qsizetype>(1 + pick(16), b.size() - at);
            const char v = rng() % 2 ? char(0xFF) : char(rng());
            for (qsizetype k = 0; k < n; ++k)
                b[at + k] = v;
            break;
        }
        case 5: b.truncate(at); break;
        case 6: {   // a 16-bit length or count made large
            if (at + 1 < b.size()) {
                b[at] = char(0xFF);
                b[at + 1] = char(rng() % 2 ? 0xFF : 0x7F);
            }
            break;
        }
        default: {   // a piece of the file repeated elsewhere
            const qsizetype from = pick(b.size()), n = std::min<qsizetype>(1 + pick(64), b.size() - from);
            const QByteArray piece = b.mid(from, n);
            for (qsizetype k = 0; k < piece.size() && at + k < b.size(); ++k)
                b[at + k] = piece[k];
            break;
        }
        }
    }
    return b;
}

// Everything a reader of the workbook asks for: names, sizes, cells, texts, merged areas.
void touchAll(const XlsWorkbook& book)
{
    for (int s = 0; s < book.sheetCount(); ++s) {
        (void)book.sheetName(s);
        EXPECT_LE(book.columnCount(s), 256);
        EXPECT_LE(book.rowCount(s), 65536);
        const int rows = std::min(book.rowCount(s), 300);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < book.columnCount(s); ++c) {
                const XlsCell cell = book.cell(s, c, r);
                (void)book.displayText(s, c, r);
                (void)book.isDateTimeFormat(cell.format);
            }
        for (const XlsRange& area : book.mergedAreas(s)) {
            EXPECT_LE(area.left, area.right);
            EXPECT_LE(area.top, area.bottom);
        }
    }
}

} // namespace

TEST(XlsFuzz, DamagedWorkbooksAreReadOrRefusedWithAReason)
{
    QTemporaryDir dir;
    const QList<QByteArray> originals{
        readAll(QStringLiteral(IMPORT_DATA_DIR "/import_sample.xls")),
        readAll(QStringLiteral(IMPORT_DATA_DIR "/import_protected.xls")),
        ownExport(dir.filePath(QStringLiteral("export.xls"))),
    };
    for (const QByteArray& o : originals)
        ASSERT_FALSE(o.isEmpty());
    const QString path = dir.filePath(QStringLiteral("mutated.xls"));
    auto check = [&path](const QByteArray& bytes, const std::string& what) {
        writeAll(path, bytes);
        XlsWorkbook book;
        QString error;
        if (book.load(path, &error)) {
            touchAll(book);
        } else {
            EXPECT_FALSE(error.isEmpty()) << what;
            EXPECT_EQ(book.sheetCount(), 0) << what;
        }
    };

    // The copy found first: one byte of the sample's workbook stream set to
    // zero, which turns a cell's record into a second, short size record.
    {
        QByteArray b = originals[0];
        ASSERT_GT(b.size(), 4132);
        b[4132] = 0;
        writeAll(path, b);
        XlsWorkbook book;
        QString error;
        EXPECT_FALSE(book.load(path, &error));
        EXPECT_TRUE(error.contains(QStringLiteral("损坏"))) << error.toStdString();
    }
    // Every byte of the sample set to zero, one at a time.
    for (qsizetype at = 0; at < originals[0].size(); ++at) {
        QByteArray b = originals[0];
        b[at] = 0;
        check(b, "sample, byte " + std::to_string(at) + " zero");
    }

    std::mt19937 rng(20261211);
    QElapsedTimer clock;
    clock.start();
    constexpr int Copies = 4000;
    int done = 0;
    for (; done < Copies && clock.elapsed() < 60000; ++done) {
        const int which = done % int(originals.size());
        check(mutate(originals[which], rng), "copy " + std::to_string(done) + " of workbook " + std::to_string(which));
        if (HasFatalFailure())
            return;
    }
    EXPECT_GT(done, 0);
}

// The book the import shows reads a damaged file the same way: refused with a
// reason and the book left as it was, or shown.
TEST(XlsFuzz, TheImportBookShowsOrRefusesDamagedWorkbooks)
{
    QTemporaryDir dir;
    const QString sample = QStringLiteral(IMPORT_DATA_DIR "/import_sample.xls");
    const QByteArray original = readAll(sample);
    const QString path = dir.filePath(QStringLiteral("mutated.xls"));
    SpreadSheetBook book;
    book.resize(600, 400);
    ASSERT_TRUE(book.loadFromFile(sample));
    std::mt19937 rng(66);
    for (int i = 0; i < 300; ++i) {
        writeAll(path, mutate(original, rng));
        QString error;
        if (book.loadFromFile(path, &error)) {
            for (int s = 0; s < book.sheetCount(); ++s) {
                book.setActiveSheet(s);
                book.setSelection(XlsRange{0, 0, 3, 3});
                (void)book.grab();
            }
        } else {
            EXPECT_FALSE(error.isEmpty());
            EXPECT_GT(book.sheetCount(), 0);   // the workbook shown before stays
        }
    }
}
