// The Excel source through the import dialog: a workbook saved by another
// spreadsheet program (merged cells, dates, formatted numbers), one written by
// our own export, the definer's refusals and files that cannot be read.
#include "BandedGrid.h"
#include "DataSource.h"
#include "DialogDriver.h"
#include "Editors.h"
#include "ExportWriter.h"
#include "MessageBox.h"
#include "ScriptedMessageBoxes.h"
#include "SpreadSheetBook.h"
#include "TreeList.h"
#include "dlgImpExcel.h"
#include "dlgImport.h"
#include "untCommonUI.h"
#include "untGridExportLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using kvui::XlsRange;

namespace {

const QString Sample = QStringLiteral(IMPORT_DATA_DIR "/import_sample.xls");

TExchangeFieldRec field(const QString& name, quint16 type, int group)
{
    return TExchangeFieldRec{name, type, fkNormal, group, QString()};
}

QVariant dt(int y, int m, int d)
{
    return QDateTime(QDate(y, m, d), QTime(0, 0));
}

// The open-file dialog answers with a fixed file (or is cancelled) for the
// lifetime of the object.
struct FileChoice {
    explicit FileChoice(const QString& path)
    {
        SetOpenFileDialogHook([path, this](const QString& title, const QString&, const QString& filter, QString& chosen) {
            ++asked;
            EXPECT_EQ(title, QStringLiteral("导入数据"));
            EXPECT_EQ(filter, QStringLiteral("Excel 工作簿 (*.xls)|*.xls"));
            chosen = path;
            return !path.isEmpty();
        });
    }
    ~FileChoice() { SetOpenFileDialogHook({}); }
    int asked = 0;
};

struct Received {
    QList<TVariantArray> records;
    int ended = 0;
};

// An import dialog whose only kind is the Excel source.
std::unique_ptr<TImportDlg> excelDialog(const TExchangeFieldRecs& fields, Received& received)
{
    ClearImportSources();
    InitImpExcelUnit();
    auto dlg = std::make_unique<TImportDlg>(fields);
    dlg->FImportDataProc = [&received](const TVariantArray& r, TMessageKind&, QString&, int&) { received.records << r; };
    dlg->FOnEndImport = [&received](QObject*) { ++received.ended; };
    return dlg;
}

// Defines the source in the definer: the file, a sheet and optionally a range.
void define(TImportDlg& dlg, const QString& path, int sheet, const XlsRange* range, bool header = true)
{
    FileChoice choice(path);
    kvtest::WhenShown<TImportExcelDlg>([&](TImportExcelDlg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("导入Excel文件"));
        d->btnFileName->click();
        EXPECT_EQ(d->edtFileName->text(), path);
        d->ssbContent->setActiveSheet(sheet);
        d->chkHeader->setChecked(header);
        if (range) {
            d->chkSelection->setChecked(true);
            d->ssbContent->setSelection(*range);
            d->UpdateRange();
        }
        d->btnOk->click();
        EXPECT_FALSE(d->isVisible());
    });
    dlg.Define();
}

auto* excel(TImportDlg& dlg)
{
    return static_cast<TImportExcel*>(dlg.Source());
}

} // namespace

TEST(ImportExcel, ImportsARangeWithMergedCellsDatesAndFormattedNumbers)
{
    Received received;
    auto dlg = excelDialog({field(QStringLiteral("物料编码"), 256, 1), field(QStringLiteral("分组"), 256, 0),
                            field(QStringLiteral("安全库存"), 5, 1), field(QStringLiteral("损耗率"), 5, 0),
                            field(QStringLiteral("生效日期"), 7, 0)},
                           received);
    EXPECT_EQ(dlg->cboSourceType->currentText(), QStringLiteral("Excel格式文件"));
    const XlsRange range{0, 1, 4, 4};   // A2:E5
    define(*dlg, Sample, 0, &range);
    EXPECT_EQ(dlg->edtSourceName->text(), QStringLiteral("物料设置!A2:E5@") + Sample);
    EXPECT_EQ(excel(*dlg)->Definer()->edtCellRange->text(), QStringLiteral("A2:E5"));
    EXPECT_EQ(excel(*dlg)->RowCount(), 3);
    // Every field found its column by name.
    for (int i = 0; i < 5; ++i)
        EXPECT_GE(dlg->FieldPartner(i), 0) << i;
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(dlg->FieldInvalid(i)) << i;

    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    ASSERT_EQ(received.records.size(), 3);
    struct Row {
        const char* code;
        const char* group;
        double stock, loss;
        QVariant date;
    } rows[] = {
        {"IMP-001", "电机", 1234.5, 0.025, dt(2026, 12, 1)},
        {"IMP-002", "电机", 80, 0, dt(2027, 1, 15)},   // the group merged down A3:A4
        {"IMP-003", "齿轮", 0.75, 0.1, dt(2027, 2, 28)},
    };
    for (int q = 0; q < 3; ++q) {
        const TVariantArray& r = received.records[q];
        EXPECT_EQ(r[0].toString(), QString::fromUtf8(rows[q].code)) << q;
        EXPECT_EQ(r[1].toString(), QString::fromUtf8(rows[q].group)) << q;
        EXPECT_DOUBLE_EQ(r[2].toDouble(), rows[q].stock) << q;
        EXPECT_DOUBLE_EQ(r[3].toDouble(), rows[q].loss) << q;
        EXPECT_EQ(r[4].toDateTime(), rows[q].date.toDateTime()) << q;
    }
    EXPECT_EQ(dlg->LogLines(), QStringList({QStringLiteral("执行完成。")}));
    EXPECT_EQ(received.ended, 1);
}

TEST(ImportExcel, WholeSheetHeadersPositionsAndMergedAreas)
{
    Received received;
    auto dlg = excelDialog({field(QStringLiteral("编码"), 256, 0)}, received);
    define(*dlg, Sample, 0, nullptr);
    TImportExcel* src = excel(*dlg);
    EXPECT_EQ(src->SourceName(), QStringLiteral("物料设置@") + Sample);
    EXPECT_EQ(src->Definer()->edtCellRange->text(), QStringLiteral("(全部内容)"));
    EXPECT_EQ(src->ColCount(), 6);
    EXPECT_EQ(src->RowCount(), 4);
    // The title across A1:F1 names column A; the others are named by letter.
    EXPECT_EQ(src->GetHeaders(0), QStringLiteral("物料计划设置"));
    EXPECT_EQ(src->GetHeaders(2), QStringLiteral("(列 C)"));
    EXPECT_EQ(src->GetCells(1, 0), QVariant(QStringLiteral("物料编码")));
    EXPECT_TRUE(src->GetCells(5, 2).isNull());
    EXPECT_EQ(src->GetCells(5, 1), QVariant(12.0));
    EXPECT_EQ(src->GetPosition(-1, -1), QStringLiteral("(全部)"));
    EXPECT_EQ(src->GetPosition(-1, 0), QStringLiteral("行2"));
    EXPECT_EQ(src->GetPosition(2, -1), QStringLiteral("列C"));
    EXPECT_EQ(src->GetPosition(2, 3), QStringLiteral("单元格C5"));

    // Reads follow the definer: a range from B3 with its header row, without one.
    TImportExcelDlg* d = src->Definer();
    d->chkSelection->setChecked(true);
    d->ssbContent->setSelection(XlsRange{1, 2, 4, 4});
    d->UpdateRange();
    EXPECT_EQ(src->GetPosition(0, 0), QStringLiteral("单元格B4"));
    EXPECT_EQ(src->GetHeaders(0), QStringLiteral("IMP-001"));
    d->chkHeader->setChecked(false);
    EXPECT_EQ(src->GetHeaders(0), QStringLiteral("(列 B)"));
    EXPECT_EQ(src->RowCount(), 3);
    EXPECT_EQ(src->GetPosition(0, 0), QStringLiteral("单元格B3"));
    // A second definition keeps the file, sheet, range and boxes.
    kvtest::WhenShown<TImportExcelDlg>([](TImportExcelDlg* again) {
        EXPECT_EQ(again->edtCellRange->text(), QStringLiteral("B3:E5"));
        EXPECT_FALSE(again->chkHeader->isChecked());
        again->btnOk->click();
    });
    dlg->Define();
    EXPECT_EQ(dlg->edtSourceName->text(), QStringLiteral("物料设置!B3:E5@") + Sample);
}

TEST(ImportExcel, ImportsAWorkbookOfOurOwnExport)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("导出.xls"));
    auto p = kvui::ExportProvider::create(kvui::ExportXls, path);
    p->setRange(3, 3);
    const char* heads[] = {"编码", "数量", "日期"};
    for (int c = 0; c < 3; ++c)
        p->setCellValue(c, 0, QString::fromUtf8(heads[c]));
    p->setCellValue(0, 1, QStringLiteral("A-1"));
    p->setCellValue(1, 1, 12.5);
    p->setCellValue(2, 1, QDate(2026, 12, 24));
    p->setCellValue(0, 2, QStringLiteral("A-2"));
    p->setCellValue(1, 2, 3);
    p->setCellValue(2, 2, QDate(2027, 3, 1));
    p->commit();

    Received received;
    auto dlg = excelDialog({field(QStringLiteral("编码"), 256, 1), field(QStringLiteral("数量"), 5, 1),
                            field(QStringLiteral("日期"), 7, 0)},
                           received);
    define(*dlg, path, 0, nullptr);
    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    ASSERT_EQ(received.records.size(), 2);
    EXPECT_EQ(received.records[0], TVariantArray({QStringLiteral("A-1"), 12.5, dt(2026, 12, 24)}));
    EXPECT_EQ(received.records[1], TVariantArray({QStringLiteral("A-2"), 3.0, dt(2027, 3, 1)}));
}

TEST(ImportExcel, ImportsAGridExportedByTheViewsExport)
{
    using namespace kvui;
    StaticDataSource src(QStringList{"No", "Qty", "Due", "Kind"},
                         QList<int>{QMetaType::QString, QMetaType::Double, QMetaType::QDate, QMetaType::Int});
    src.appendRecord({"A1", 1234.5, QDate(2026, 3, 1), 1});
    src.appendRecord({"A2", 0.0, QVariant(), 2});
    BandedGrid grid;
    grid.addBand("物料");
    grid.setShowBandHeaders(false);
    grid.addColumn("物料代码", "No");
    Column* qty = grid.addColumn("数量", "Qty");
    qty->displayTextHook = [](const RowRef&, const QVariant& v, QString& text) { text = QString::number(v.toDouble(), 'f', 2); };
    grid.addColumn("交期", "Due");
    auto combo = std::make_shared<ImageComboProperties>();
    combo->addItem(1, "自制");
    combo->addItem(2, "外购");
    grid.addColumn("来源", "Kind")->setEditor(combo);
    grid.setDataSource(&src);
    QTemporaryDir dir;
    ExportGridAsExcel(dir.filePath("grid.dat"), &grid, true, true, true, "xls");

    Received received;
    auto dlg = excelDialog({field(QStringLiteral("物料代码"), 256, 1), field(QStringLiteral("数量"), 5, 0),
                            field(QStringLiteral("交期"), 7, 0), field(QStringLiteral("来源"), 256, 0)},
                           received);
    define(*dlg, dir.filePath("grid.xls"), 0, nullptr);
    ScriptedMessageBoxes boxes;
    dlg->btnOk->click();
    ASSERT_EQ(received.records.size(), 2);
    EXPECT_EQ(received.records[0], TVariantArray({QStringLiteral("A1"), 1234.5, dt(2026, 3, 1), QStringLiteral("自制")}));
    // A zero the grid leaves blank and an empty date arrive as Null.
    EXPECT_EQ(received.records[1][0], QVariant(QStringLiteral("A2")));
    EXPECT_TRUE(received.records[1][1].isNull());
    EXPECT_TRUE(received.records[1][2].isNull());
    EXPECT_EQ(received.records[1][3], QVariant(QStringLiteral("外购")));
}

TEST(ImportExcel, TextInANumberColumnIsConfirmedAndItsRowSkipped)
{
    for (int answer : {kvos::IDCANCEL, kvos::IDOK}) {
        Received received;
        auto dlg = excelDialog({field(QStringLiteral("物料编码"), 256, 1), field(QStringLiteral("安全库存"), 5, 1)}, received);
        define(*dlg, Sample, 2, nullptr);
        EXPECT_TRUE(dlg->FieldInvalid(1));
        ScriptedMessageBoxes boxes;
        boxes.answer({answer});
        dlg->btnOk->click();
        ASSERT_GE(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, QStringLiteral("目标字段\"安全库存\"与对应来源字段\"安全库存\"的数据类型不匹配, 继续?"));
        if (answer == kvos::IDCANCEL) {
            EXPECT_TRUE(received.records.isEmpty());
            EXPECT_EQ(received.ended, 0);
            continue;
        }
        ASSERT_EQ(received.records.size(), 1);
        EXPECT_EQ(received.records[0][0], QVariant(QStringLiteral("IMP-101")));
        EXPECT_EQ(dlg->LogLines(),
                  QStringList({QStringLiteral("来源字段\"安全库存\"的值(十件)转换成目标字段\"安全库存\"的数据类型时出现错误, 此行放弃导入! (源数据行3)"),
                               QStringLiteral("执行完成。")}));
    }
}

TEST(ImportExcel, TheDefinerRefusesRangesWithoutContent)
{
    struct Case {
        const char* name;
        QString file;
        int sheet;
        bool selection;
        XlsRange range;
        bool header;
        QString message;
    } cases[] = {
        {"no file", QString(), 0, false, {}, true, QStringLiteral("请点击[浏览]按钮选择待导入的文件!")},
        {"empty sheet", Sample, 1, false, {}, true, QStringLiteral("指定导入范围内未发现有可导入的内容!")},
        {"header row only", Sample, 0, true, {0, 1, 4, 1}, true, QStringLiteral("指定导入范围内未发现有可导入的内容!")},
        {"header past the end", Sample, 2, true, {0, 5, 1, 5}, true, QStringLiteral("指定导入范围内未发现有可导入的内容!")},
    };
    for (const Case& c : cases) {
        Received received;
        auto dlg = excelDialog({field(QStringLiteral("物料编码"), 256, 1)}, received);
        FileChoice choice(c.file);
        ScriptedMessageBoxes boxes;
        bool stayedOpen = false;
        kvtest::WhenShown<TImportExcelDlg>([&](TImportExcelDlg* d) {
            // The file was asked for when the definer first opened.
            EXPECT_EQ(choice.asked, 1) << c.name;
            EXPECT_EQ(d->edtFileName->text(), c.file) << c.name;
            if (!c.file.isEmpty()) {
                d->ssbContent->setActiveSheet(c.sheet);
                d->chkSelection->setChecked(c.selection);
                if (c.selection) {
                    d->ssbContent->setSelection(c.range);
                    d->UpdateRange();
                }
            }
            d->btnOk->click();
            stayedOpen = d->isVisible();
        });
        dlg->Define();
        EXPECT_TRUE(stayedOpen) << c.name;
        ASSERT_FALSE(boxes.shown.isEmpty()) << c.name;
        EXPECT_EQ(boxes.shown.last().text, c.message) << c.name;
        EXPECT_EQ(boxes.shown.last().icon(), unsigned(kvos::MB_ICONINFORMATION)) << c.name;
        // Nothing was loaded, so nothing can be imported.
        EXPECT_TRUE(dlg->edtSourceName->text().isEmpty()) << c.name;
        EXPECT_EQ(dlg->trlSourceData->columnCount(), 0) << c.name;
    }
}

TEST(ImportExcel, FilesThatCannotBeReadAreReportedAndKeepTheChosenOne)
{
    QFile sample(Sample);
    ASSERT_TRUE(sample.open(QIODevice::ReadOnly));
    const QByteArray bytes = sample.readAll();
    QFile protectedFile(QStringLiteral(IMPORT_DATA_DIR "/import_protected.xls"));
    ASSERT_TRUE(protectedFile.open(QIODevice::ReadOnly));
    QTemporaryDir dir;
    struct Case {
        const char* name;
        QByteArray content;
        const char* reason;
    } cases[] = {
        {"empty", QByteArray(), ""},
        {"text", QByteArray("物料编码,安全库存\nIMP-001,10\n"), ""},
        {"truncated", bytes.left(bytes.size() / 2), ""},
        {"protected", protectedFile.readAll(), "密码保护"},
        // One byte of the workbook stream changed: a length that runs past its record.
        {"one byte changed", [&bytes] { QByteArray b = bytes; b[4132] = 0; return b; }(), "损坏"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".xls"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
        f.close();

        Received received;
        auto dlg = excelDialog({field(QStringLiteral("物料编码"), 256, 1)}, received);
        ScriptedMessageBoxes boxes;
        FileChoice none{QString()};   // the file asked for at once: cancelled
        kvtest::WhenShown<TImportExcelDlg>([&](TImportExcelDlg* d) {
            {
                FileChoice good(Sample);
                d->btnFileName->click();
            }
            FileChoice bad(path);
            d->btnFileName->click();
            // The workbook read before stays.
            EXPECT_EQ(d->edtFileName->text(), Sample) << c.name;
            EXPECT_EQ(d->ssbContent->sheetCount(), 3) << c.name;
            d->btnCancel->click();
        });
        dlg->Define();
        ASSERT_EQ(boxes.shown.size(), 1) << c.name;
        EXPECT_EQ(boxes.shown[0].icon(), unsigned(kvos::MB_ICONERROR)) << c.name;
        EXPECT_FALSE(boxes.shown[0].text.isEmpty()) << c.name;
        EXPECT_TRUE(boxes.shown[0].text.contains(QString::fromUtf8(c.reason))) << c.name;
        // Cancelled: nothing loaded, nothing imported.
        EXPECT_TRUE(dlg->edtSourceName->text().isEmpty()) << c.name;
        EXPECT_TRUE(received.records.isEmpty()) << c.name;
    }
}
