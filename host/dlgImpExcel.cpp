#include "dlgImpExcel.h"

#include "SpreadSheetBook.h"
#include "UCommon.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>
#include <cmath>

using kvui::XlsCell;
using kvui::XlsCellType;
using kvui::XlsRange;
using kvui::XlsWorkbook;

namespace {

QString rangeText(const XlsRange& r)
{
    return XlsWorkbook::columnName(r.left) + XlsWorkbook::rowName(r.top) + u':' + XlsWorkbook::columnName(r.right)
        + XlsWorkbook::rowName(r.bottom);
}

// Colours a box's caption (and makes it bold) or gives it back its plain look.
void markCaption(QWidget* w, bool highlight, bool bold)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText,
                 highlight ? QApplication::palette().color(QPalette::Highlight) : QApplication::palette().color(QPalette::WindowText));
    pal.setColor(QPalette::Text,
                 highlight ? QApplication::palette().color(QPalette::Highlight) : QApplication::palette().color(QPalette::Text));
    w->setPalette(pal);
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

} // namespace

// --- the definer dialog ----------------------------------------------------------

TImportExcelDlg::TImportExcelDlg(QWidget* parent) : TDialog(parent)
{
    setWindowTitle(QStringLiteral("导入Excel文件"));
    resize(720, 520);
    disconnect(btnOk, nullptr, this, nullptr);
    connect(btnOk, &QPushButton::clicked, this, &TImportExcelDlg::OkClick);

    auto* lblFile = new QLabel(QStringLiteral("导入文件(&F):"));
    edtFileName = new QLineEdit;
    edtFileName->setObjectName("edtFileName");
    edtFileName->setReadOnly(true);
    edtFileName->installEventFilter(this);
    lblFile->setBuddy(edtFileName);
    btnFileName = new QPushButton(QStringLiteral(" 浏览(&B)..."));
    btnFileName->setObjectName("btnFileName");
    connect(btnFileName, &QPushButton::clicked, this, [this] { ChooseFile(); });
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(lblFile);
    fileRow->addWidget(edtFileName, 1);
    fileRow->addWidget(btnFileName);

    ssbContent = new kvui::SpreadSheetBook;
    ssbContent->setObjectName("ssbContent");
    connect(ssbContent, &kvui::SpreadSheetBook::selectionChanged, this, &TImportExcelDlg::SelectionChanged);
    connect(ssbContent, &kvui::SpreadSheetBook::activeSheetChanged, this, [this] { UpdateRange(); });

    auto* lblRange = new QLabel(QStringLiteral("导入范围(&F):"));
    edtSheetName = new QLineEdit;
    edtSheetName->setObjectName("edtSheetName");
    edtSheetName->setReadOnly(true);
    edtCellRange = new QLineEdit;
    edtCellRange->setObjectName("edtCellRange");
    edtCellRange->setReadOnly(true);
    lblRange->setBuddy(edtCellRange);
    chkSelection = new QCheckBox(QStringLiteral("选择区域(&H)"));
    chkSelection->setObjectName("chkSelection");
    chkHeader = new QCheckBox(QStringLiteral("数据包含标题(&H)"));
    chkHeader->setObjectName("chkHeader");
    chkHeader->setChecked(true);
    connect(chkSelection, &QCheckBox::toggled, this, [this] { UpdateRange(); });
    connect(chkHeader, &QCheckBox::toggled, this, [this] { UpdateRange(); });
    auto* rangeRow = new QHBoxLayout;
    rangeRow->addWidget(lblRange);
    rangeRow->addWidget(edtSheetName);
    rangeRow->addWidget(edtCellRange);
    rangeRow->addWidget(chkSelection);
    rangeRow->addWidget(chkHeader);
    rangeRow->addStretch();

    auto* client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    client->addLayout(fileRow);
    client->addWidget(ssbContent, 1);
    client->addLayout(rangeRow);
    UpdateRange();
}

bool TImportExcelDlg::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == edtFileName && AEvent->type() == QEvent::MouseButtonDblClick) {
        ChooseFile();
        return true;
    }
    return TDialog::eventFilter(AObject, AEvent);
}

bool TImportExcelDlg::ChooseFile()
{
    QString chosen;
    if (!ExecuteOpenFileDialog(QStringLiteral("导入数据"), edtFileName->text(), QStringLiteral("Excel 工作簿 (*.xls)|*.xls"),
                               chosen))
        return false;
    return LoadFile(chosen);
}

bool TImportExcelDlg::LoadFile(const QString& AFileName)
{
    QString error;
    if (!ssbContent->loadFromFile(AFileName, &error)) {
        ShowError(error);
        return false;
    }
    edtFileName->setText(AFileName);
    chkSelection->setChecked(false);
    UpdateRange();
    return true;
}

int TImportExcelDlg::Sheet() const
{
    return ssbContent->activeSheet();
}

int TImportExcelDlg::HeaderOffset() const
{
    return chkHeader->isChecked() ? 1 : 0;
}

XlsRange TImportExcelDlg::ImportRange() const
{
    if (chkSelection->isChecked())
        return ssbContent->selection();
    const int s = Sheet();
    const XlsWorkbook& book = ssbContent->workbook();
    return XlsRange{0, 0, book.columnCount(s) - 1, book.rowCount(s) - 1};
}

void TImportExcelDlg::UpdateRange()
{
    const XlsRange s = ssbContent->selection();
    FSelection = QRect(QPoint(s.left, s.top), QPoint(s.right, s.bottom));
    edtSheetName->setText(Sheet() >= 0 ? ssbContent->sheetCaption(Sheet()) : QString());
    if (chkSelection->isChecked()) {
        edtCellRange->setText(rangeText(s));
        markCaption(edtCellRange, false, false);
        markCaption(chkSelection, true, true);
    } else {
        edtCellRange->setText(QStringLiteral("(全部内容)"));
        markCaption(edtCellRange, true, true);
        markCaption(chkSelection, false, false);
    }
    markCaption(chkHeader, chkHeader->isChecked(), false);
}

void TImportExcelDlg::SelectionChanged(Qt::KeyboardModifiers AModifiers)
{
    if (AModifiers & Qt::ShiftModifier) {
        // A selection made with Shift grows out of the previous one.
        const XlsRange n = ssbContent->selection();
        XlsRange m;
        m.left = std::min(n.left, FSelection.left());
        m.top = std::min(n.top, FSelection.top());
        m.right = n.right >= FSelection.left() ? n.right : FSelection.right();
        m.bottom = n.bottom >= FSelection.top() ? n.bottom : FSelection.bottom();
        if (!(m == n))
            ssbContent->setSelection(m);
    }
    UpdateRange();
}

void TImportExcelDlg::OkClick()
{
    if (edtFileName->text().isEmpty()) {
        ShowInfo(QStringLiteral("请点击[浏览]按钮选择待导入的文件!"));
        return;
    }
    const int s = Sheet();
    const int h = HeaderOffset();
    const XlsWorkbook& book = ssbContent->workbook();
    bool ok = s >= 0 && book.columnCount(s) > 0 && book.rowCount(s) > h;
    if (ok && chkSelection->isChecked()) {
        const XlsRange r = ssbContent->selection();
        ok = r.bottom - r.top >= h;
    }
    if (!ok) {
        ShowInfo(QStringLiteral("指定导入范围内未发现有可导入的内容!"));
        return;
    }
    accept();
}

// --- the source ----------------------------------------------------------------

TImportExcel::TImportExcel() = default;
TImportExcel::~TImportExcel() = default;

bool TImportExcel::Loaded() const
{
    return FDefiner && !FDefiner->edtFileName->text().isEmpty() && FDefiner->Sheet() >= 0;
}

QString TImportExcel::SourceName() const
{
    if (!Loaded())
        return QString();
    const QString sheet = FDefiner->ssbContent->sheetCaption(FDefiner->Sheet());
    const QString file = FDefiner->edtFileName->text();
    if (FDefiner->chkSelection->isChecked())
        return sheet + u'!' + rangeText(FDefiner->ImportRange()) + u'@' + file;
    return sheet + u'@' + file;
}

int TImportExcel::ColCount() const
{
    if (!Loaded())
        return 0;
    const XlsRange r = FDefiner->ImportRange();
    return std::max(0, r.right - r.left + 1);
}

int TImportExcel::RowCount() const
{
    if (!Loaded())
        return 0;
    const XlsRange r = FDefiner->ImportRange();
    return std::max(0, r.bottom - r.top + 1 - FDefiner->HeaderOffset());
}

QString TImportExcel::GetHeaders(int ACol) const
{
    if (!Loaded())
        return QString();
    const XlsRange r = FDefiner->ImportRange();
    const int col = r.left + ACol;
    QString text;
    if (FDefiner->HeaderOffset() == 1)
        text = FDefiner->ssbContent->workbook().displayText(FDefiner->Sheet(), col, r.top);
    if (text.isEmpty())
        text = QStringLiteral("(列 %1)").arg(XlsWorkbook::columnName(col));
    return text;
}

QVariant TImportExcel::GetCells(int ACol, int ARow) const
{
    if (!Loaded())
        return ImportNull();
    const XlsWorkbook& book = FDefiner->ssbContent->workbook();
    const int sheet = FDefiner->Sheet();
    const XlsRange r = FDefiner->ImportRange();
    int col = r.left + ACol, row = r.top + ARow + FDefiner->HeaderOffset();
    // Inside a merged area that starts in the same column, the cells below
    // the first one repeat its value; an area spanning columns gives its value
    // to its first column only.
    const XlsRange area = book.mergedAreaAt(sheet, col, row);
    if (area.right >= area.left && area.left == col) {
        col = area.left;
        row = area.top;
    }
    const XlsCell cell = book.cell(sheet, col, row);
    switch (cell.type) {
    case XlsCellType::Empty:
        return ImportNull();
    case XlsCellType::DateTime:
        return cell.value.toDateTime();
    default:
        break;
    }
    if (cell.format <= 255 && book.isDateTimeFormat(cell.format)) {
        if (cell.type == XlsCellType::Number) {
            const double v = cell.value.toDouble();
            if (std::isfinite(v) && v >= 0 && v < 2958466) {
                const double day = std::floor(v);
                const qint64 ms = std::llround((v - day) * 86400000.0);
                return QDateTime(QDate(1899, 12, 30).addDays(qint64(day)), QTime(0, 0)).addMSecs(ms);
            }
        }
        return book.displayText(sheet, col, row);
    }
    if (cell.format == 35)
        return book.displayText(sheet, col, row);
    return cell.value;
}

QString TImportExcel::GetPosition(int ACol, int ARow) const
{
    if (ACol < 0 && ARow < 0)
        return QStringLiteral("(全部)");
    const XlsRange r = Loaded() ? FDefiner->ImportRange() : XlsRange{};
    const int h = Loaded() ? FDefiner->HeaderOffset() : 0;
    if (ACol < 0)
        return QStringLiteral("行") + XlsWorkbook::rowName(r.top + ARow + h);
    if (ARow < 0)
        return QStringLiteral("列") + XlsWorkbook::columnName(r.left + ACol);
    return QStringLiteral("单元格") + XlsWorkbook::columnName(r.left + ACol) + XlsWorkbook::rowName(r.top + ARow + h);
}

bool TImportExcel::ShowDefiner()
{
    if (!FDefiner)
        FDefiner = std::make_unique<TImportExcelDlg>();
    // With no file yet, the file is asked for at once.
    if (FDefiner->edtFileName->text().isEmpty())
        FDefiner->ChooseFile();
    return FDefiner->exec() == QDialog::Accepted;
}

void InitImpExcelUnit()
{
    RegisterImportSource({TImportExcel::SourceType(), [] { return std::make_unique<TImportExcel>(); }});
}
