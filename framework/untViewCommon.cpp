#include "untViewCommon.h"

#include "ColumnFit.h"
#include "PrintLink.h"
#include "UCommon.h"
#include "clsGridView.h"
#include "untApplication.h"
#include "untCommonUI.h"
#include "untComponentPrint.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString ExportTitle = QStringLiteral("导出数据");
const QString ExportFilter = QStringLiteral("Excel 工作簿 (*.xls)|*.xls") + u'|' + QStringLiteral("网页 (*.html)|*.html")
    + u'|' + QStringLiteral("XML 数据 (*.xml)|*.xml") + u'|' + QStringLiteral("文本文档 (*.txt)|*.txt");
const QString ExportFailed = QStringLiteral("导出数据至文档\"%s\"出现错误!");
const QString CountText = QStringLiteral("%1 / %2");
const QString Bar = QStringLiteral("|");

} // namespace

// ---- cursor and owner mark -------------------------------------------------------

TWaitCursor::TWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TWaitCursor::~TWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

TOwnerViewScope::TOwnerViewScope(QObject* AControl, const char* AProperty, QObject* AView)
    : FControl(AControl)
    , FProperty(AProperty)
    , FPrevious(AControl->property(AProperty))
{
    FControl->setProperty(FProperty, QVariant::fromValue<QObject*>(AView));
}

TOwnerViewScope::~TOwnerViewScope()
{
    FControl->setProperty(FProperty, FPrevious);
}

// ---- the control -----------------------------------------------------------------

void PrepareViewControl(kvui::BandedView* AView)
{
    AView->setEnterMovesToNextCell(true);
    AView->setEqualWidthTagGroups(true);
    for (int i = 0; i < AView->bandCount(); ++i) {
        AView->band(i).movable = false;
        AView->band(i).width = 0;
    }
}

void SetDataCellDrawHook(kvui::BandedView* AView, std::function<void(kvui::CellDraw&)> ADraw)
{
    if (AView->customDrawHook())
        return;
    AView->setCustomDrawHook([draw = std::move(ADraw)](kvui::CellDraw& cell) {
        if (cell.row.kind == kvui::RowRef::Data)
            draw(cell);
    });
}

QString FieldColumnCaption(const QString& AFieldName)
{
    const qsizetype slash = AFieldName.indexOf(u'\\');
    return slash >= 0 ? AFieldName.mid(slash + 1) : AFieldName;
}

// ---- positions and sorts ---------------------------------------------------------

void PlaceColumnInOrder(kvui::Column* AColumn, QHash<int, int>& ANextColIndex)
{
    AColumn->setLineCount(1);
    AColumn->setRowIndex(0);
    AColumn->setColIndex(ANextColIndex[AColumn->bandIndex()]++);
}

void ApplyColumnPositions(kvui::BandedView* AView, const QList<QPair<QString, QString>>& APositions,
                          const std::function<QString(kvui::Column*)>& AFieldName,
                          const std::function<bool(const QString& AFieldName)>& AShown)
{
    const int defaultBand = AView->defaultBandIndex();
    const auto inBand = [AView](int band) { return band >= 0 && band < AView->bandCount(); };

    // The working position of every column.
    QList<TGridColumnPosition> records;
    QList<kvui::Column*> storedWidths; // a stored width wins over fitting
    for (kvui::Column* column : AView->columns()) {
        TGridColumnPosition p;
        p.Column = column;
        p.BandIndex = column->bandIndex();
        p.ColIndex = column->colIndex();
        p.RowIndex = column->rowIndex();
        p.LineCount = column->lineCount();
        p.Width = column->width();
        p.Visible = column->isVisible();
        const QString name = AFieldName(column);
        if (column->tag() <= 0 && !name.isEmpty()) {
            if (!inBand(p.BandIndex))
                p.BandIndex = defaultBand;
            QString code;
            if (FindViewSchemeItem(APositions, name, code)) {
                int bandID = -1, colIndex = p.ColIndex, rowIndex = p.RowIndex, lineCount = p.LineCount, width = p.Width;
                const int read = DecodeColumnPosition(code, bandID, colIndex, rowIndex, lineCount, width);
                if (read >= 5)
                    storedWidths.append(column);
                if (read >= 1) {
                    const int band = AView->bandIndexById(bandID);
                    if (band >= 0)
                        p.BandIndex = band;
                }
                if (read >= 2)
                    p.ColIndex = colIndex;
                if (read >= 3)
                    p.RowIndex = rowIndex;
                if (read >= 4)
                    p.LineCount = std::max(1, lineCount);
                if (read >= 5)
                    p.Width = width;
            }
            p.Visible = AShown(name);
            column->setVisible(false);
        }
        records.append(p);
    }

    // Applied in band, row, column and line order.
    std::stable_sort(records.begin(), records.end(), [](const TGridColumnPosition& a, const TGridColumnPosition& b) {
        return CompareColumnPositions(a, b) < 0;
    });
    for (const TGridColumnPosition& p : std::as_const(records)) {
        kvui::Column* column = p.Column;
        if (column->isMovable() && inBand(p.BandIndex)) {
            column->setPosition(p.BandIndex, p.RowIndex, p.ColIndex);
            column->setLineCount(p.LineCount);
        }
        column->setWidth(p.Width);
        column->setVisible(p.Visible);
        if (p.Visible && inBand(p.BandIndex))
            AView->band(p.BandIndex).visible = true;
    }

    // Columns without a stored width fit their captions and values once rows show.
    kvui::ColumnFit::of(AView)->setStoredColumns(storedWidths);
}

QList<TViewSchemeSort> ReadViewSchemeSorts(const QString& AParams)
{
    const QStringList lines =
        ReadViewSchemeParam(AParams, SortsSection).replace(u':', u'=').replace(u'|', u'\n').split(u'\n');
    QList<TViewSchemeSort> sorts;
    sorts.reserve(lines.size());
    for (const QString& line : lines) {
        const qsizetype eq = line.indexOf(u'=');
        sorts.append({eq < 0 ? line : line.left(eq), eq < 0 ? QString() : line.mid(eq + 1)});
    }
    return sorts;
}

void AppendSortedColumns(QString& ASortText, const QList<kvui::Column*>& AColumns,
                         const std::function<QString(kvui::Column*)>& AFieldName, const QString& ASuffix)
{
    for (kvui::Column* column : AColumns) {
        const QString name = AFieldName(column);
        if (name.isEmpty() || ASortText.contains(Bar + name + u':'))
            continue;
        ASortText += Bar + name + u':' + (column->sortOrder() == Qt::DescendingOrder ? u'1' : u'0') + ASuffix;
    }
}

// ---- command states --------------------------------------------------------------

TCommandState FillCommandState(const kvui::BandedView* AView, int ASelectedCount)
{
    return AView && AView->editingEnabled() && !AView->isReadOnly() && ASelectedCount > 0 ? TCommandState(csEnabled)
                                                                                           : TCommandState();
}

QString RecordCountText(int APosition, int ACount)
{
    return CountText.arg(APosition).arg(ACount);
}

void ShowRecordCount(const QString& AText)
{
    if (InfoApplication)
        InfoApplication->ShowStatusMessage(AText, mkCount);
}

// ---- export and print ------------------------------------------------------------

bool AskExportFileName(const QString& ABaseName, QString& AFileName)
{
    return ExecuteSaveFileDialog(ExportTitle, ABaseName + QStringLiteral(".xls"), QStringLiteral("xls"), ExportFilter,
                                 AFileName);
}

QString ExportKindOfFile(const QString& AFileName)
{
    const QString ext = QFileInfo(AFileName).suffix().toLower();
    if (ext == QLatin1String("html") || ext == QLatin1String("xml") || ext == QLatin1String("txt"))
        return ext;
    return QStringLiteral("xls");
}

void RunExport(const QString& AFileName, const std::function<void()>& AWrite)
{
    bool done = false;
    {
        TWaitCursor wait;
        try {
            AWrite();
            done = true;
        } catch (const std::exception&) {
            done = false;
        }
    }
    if (done)
        ShowInfo(UCommonText::Finished);
    else
        ShowError(FormatMessage(ExportFailed, {AFileName}));
}

void PrintViewWithLink(const QMetaObject& ALinkClass, kvui::BandedView* AView, QWidget* AParent, QString& APrintSetting,
                       int ACommandIndex, const std::function<void(kvui::PrintSettings&)>& ASetup)
{
    kvui::PrintLink* link = nullptr;
    try {
        link = GetComponentReportLink(ALinkClass);
        if (!link)
            return;
        if (!APrintSetting.isEmpty())
            link->setSettingsText(APrintSetting);
        ASetup(link->settings());
        // The printed cells take their colours from the same hook as the screen
        // (printing asks it with selected and focused off).
        link->setView(AView);
        switch (ACommandIndex) {
        case Commands::PageSetup:
            link->pageSetup(AParent);
            break;
        case Commands::ReportDesign:
            link->designReport(AParent);
            break;
        case Commands::Print:
            link->print(AParent, true);
            break;
        default:
            link->preview(AParent);
            break;
        }
        link->setView(nullptr);
        APrintSetting = link->settingsText();
    } catch (...) {
        // printing problems never reach the user as errors
        if (link)
            link->setView(nullptr);
    }
}

// ---- values as SQL ---------------------------------------------------------------

QString DateSqlLiteral(const QDateTime& ADateTime, bool AWithMilliseconds)
{
    QString text;
    if (ADateTime.time() == QTime(0, 0))
        text = ADateTime.toString(QStringLiteral("yyyyMMdd"));
    else if (AWithMilliseconds && ADateTime.time().msec() != 0)
        text = ADateTime.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz"));
    else
        text = ADateTime.toString(QStringLiteral("yyyyMMdd hh:mm:ss"));
    return u'\'' + text + u'\'';
}

bool IsFloatValue(const QVariant& AValue)
{
    const int t = AValue.typeId();
    return t == QMetaType::Double || t == QMetaType::Float;
}

bool IsOrdinalValue(const QVariant& AValue)
{
    switch (AValue.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool IsTextValue(const QVariant& AValue)
{
    const int t = AValue.typeId();
    return t == QMetaType::QString || t == QMetaType::QChar || t == QMetaType::QByteArray;
}

QString ValueSqlLiteral(const QVariant& AValue)
{
    const QString none = QStringLiteral("null");
    if (IsTextValue(AValue)) {
        const QString text = AValue.toString();
        return text.isEmpty() ? none : QuotedStr(text);
    }
    if (AValue.typeId() == QMetaType::Bool)
        return AValue.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    if (IsOrdinalValue(AValue))
        return AValue.typeId() == QMetaType::ULongLong ? QString::number(AValue.toULongLong())
                                                        : QString::number(AValue.toLongLong());
    if (IsFloatValue(AValue))
        return FloatToLiteralText(AValue.toDouble());
    return none;
}
