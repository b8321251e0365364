#include "untGridExportLink.h"

#include "clsGridView.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPalette>
#include <QScopeGuard>

namespace {

// Border bits: 1 left, 2 top, 4 right, 8 bottom.
constexpr int AllBorders = 15;

QColor ButtonShadowColor() { return QGuiApplication::palette().color(QPalette::Dark); }
QColor ButtonFaceColor() { return QGuiApplication::palette().color(QPalette::Button); }

bool IsNumberType(int ATypeId)
{
    switch (ATypeId) {
    case QMetaType::Short: case QMetaType::Int: case QMetaType::Float: case QMetaType::Double:
    case QMetaType::SChar: case QMetaType::UChar: case QMetaType::UShort: case QMetaType::UInt:
    case QMetaType::Long: case QMetaType::ULong: case QMetaType::LongLong: case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool IsDateType(int ATypeId) { return ATypeId == QMetaType::QDate || ATypeId == QMetaType::QDateTime; }

// Day number of a date value (days since 1899-12-30, with the time as a fraction).
double DateAsReal(const QVariant& AValue)
{
    static const QDate base(1899, 12, 30);
    if (AValue.typeId() == QMetaType::QDate)
        return AValue.toDate().isValid() ? double(base.daysTo(AValue.toDate())) : 0;
    const QDateTime dt = AValue.toDateTime();
    if (!dt.isValid())
        return 0;
    return double(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0;
}

QString ReplaceExtension(const QString& AFileName, const QString& AExt)
{
    const QFileInfo fi(AFileName);
    const QString suffix = fi.suffix();
    QString base = AFileName;
    // A name ending in a dot-less part keeps it; only the last extension is replaced.
    if (!suffix.isEmpty() && !fi.fileName().startsWith(u'.') )
        base.chop(suffix.size() + 1);
    return base + u'.' + AExt;
}

} // namespace

// ---------------------------------------------------------------- base exporter

TcxGridCustomExport::TcxGridCustomExport(const QString& AFileName, int AExportType, kvui::BandedGrid* AGrid)
    : FGrid(AGrid), FProvider(kvui::ExportProvider::create(AExportType, AFileName))
{
}

TcxGridCustomExport::~TcxGridCustomExport() = default;

void TcxGridCustomExport::DoExport()
{
    Export();
    FProvider->commit();
}

void TcxGridCustomExport::Export()
{
    FColumns.add(0);
    FRows.add(0);
    CollectRecords();
    RegisterDefaultStyle();
    BuildViewLayout();
    FColumns.arrange();
    FRows.arrange();
    if (FColumns.visibleCount() > 0 && FRows.visibleCount() > 0) {
        FProvider->setRange(FColumns.visibleCount(), FRows.visibleCount());
        WriteCells();
    }
}

void TcxGridCustomExport::CollectRecords()
{
    // The driver has expanded the groups (when asked) before locking the grid.
    QList<int> selected;
    for (int row : FGrid->selectedRows())
        if (FGrid->row(row).kind == kvui::RowRef::Data)
            selected.append(row);
    if (selected.isEmpty())
        SaveAll = true;
    FRecordsList.clear();
    if (SaveAll) {
        for (int i = 0; i < FGrid->rowCount(); ++i)
            if (FGrid->row(i).kind != kvui::RowRef::Footer)
                FRecordsList.append(i);
    } else {
        FRecordsList = selected;
    }
}

int TcxGridCustomExport::RegisterStyle(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont,
                                       Qt::Alignment AAlign, int ABorders, const QColor& ABorderColor)
{
    return FProvider->registerStyle(kvui::CellStyleOf(ABrush, AFontColor, AFont, AAlign, ABorders, ABorderColor));
}

void TcxGridCustomExport::RegisterDefaultStyle()
{
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    kvui::ExportCellStyle s = kvui::DefaultCellStyle();
    s.brushColor = pal.content;
    s.fontColor = pal.text;
    s.fontName = FGrid->font().family();
    s.fontSize = FGrid->font().pointSize() > 0 ? FGrid->font().pointSize() : 9;
    FProvider->setDefaultStyle(s);
    FDefaultStyleIndex = FProvider->registerStyle(s);
}

int TcxGridCustomExport::AddVisualItem(const QRect& ABounds, const QVariant& AValue, int AStyle, bool AHidden)
{
    if (!AHidden && !ABounds.isEmpty()) {
        FColumns.add(ABounds.left());
        FColumns.add(ABounds.left() + ABounds.width());
        FRows.add(ABounds.top());
        FRows.add(ABounds.top() + ABounds.height());
    }
    FVisualItems.append(TcxExportVisualItem{ABounds, AValue, AStyle, AHidden});
    return int(FVisualItems.size()) - 1;
}

void TcxGridCustomExport::WriteCells()
{
    for (int c = 0; c < FColumns.visibleCount(); ++c)
        FProvider->setColumnWidth(c, FColumns.delta(c));
    for (int r = 0; r < FRows.visibleCount(); ++r)
        if (FRows.delta(r) != FDefaultRowHeight)
            FProvider->setRowHeight(r, FRows.delta(r));
        else
            FProvider->setRowHeight(r, FDefaultRowHeight);
    for (const TcxExportVisualItem& item : FVisualItems) {
        if (item.Hidden || item.Bounds.isEmpty())
            continue;
        int left, top, right, bottom;
        if (!FColumns.span(item.Bounds.left(), item.Bounds.left() + item.Bounds.width(), left, right)
            || !FRows.span(item.Bounds.top(), item.Bounds.top() + item.Bounds.height(), top, bottom))
            continue;
        if (item.Value.isValid() && !item.Value.isNull())
            FProvider->setCellValue(left, top, item.Value);
        FProvider->setCellStyle(left, top, right, bottom, item.Style >= 0 ? item.Style : FDefaultStyleIndex);
    }
}

QVariant TcxGridCustomExport::GetItemExportValue(int ARow, kvui::Column* AItem) const
{
    const kvui::RowRef r = FGrid->row(ARow);
    const QVariant value = FGrid->cellValue(ARow, AItem);
    const kvui::EditorPtr properties = AItem->effectiveEditor(r);
    // The type of the column's values: the field's type, else the value's own.
    int type = QMetaType::UnknownType;
    if (FGrid->dataSource() && AItem->field() >= 0)
        type = FGrid->dataSource()->fieldType(AItem->field());
    if (type == QMetaType::UnknownType && value.isValid() && !value.isNull())
        type = value.typeId();

    if (IsDateType(type) && !(properties && properties->isDropDown())) {
        if (value.isNull() || !value.isValid() || DateAsReal(value) == 0)
            return QString();
        return value;
    }
    const QString text = FGrid->cellText(ARow, AItem);
    if (properties && properties->isDropDown())
        return text;
    if (IsNumberType(type)) {
        QString digits = text;
        digits.remove(u',');
        bool ok = false;
        double number = digits.trimmed().toDouble(&ok);
        // A text that is no plain number (a currency sign, a unit) would lose the
        // value: the cell then takes the number behind it.
        if (!ok && !text.trimmed().isEmpty() && value.isValid() && !value.isNull())
            number = value.toDouble(&ok);
        if (!ok || number == 0)
            return QString();
        return number;
    }
    return text;
}

// ---------------------------------------------------------------- banded table view

void TcxGridBandedTableViewExport::BuildViewLayout()
{
    const kvui::ViewGeometry& geom = FGrid->geometry();
    FContentLeft = FGrid->indentWidth();
    FRecordWidth = FContentLeft + geom.totalWidth;
    FDefaultRowHeight = geom.recordHeight > 0 ? geom.recordHeight : 19;
    FTop = 0;
    ExportHeader();
    for (int row : FRecordsList) {
        switch (FGrid->row(row).kind) {
        case kvui::RowRef::Group:
            ExportGroupRow(row);
            break;
        case kvui::RowRef::GroupFooter:
            ExportSummaryRow(row, false, FGrid->row(row).level);
            break;
        case kvui::RowRef::Data:
            ExportDataRow(row);
            break;
        default:
            break;
        }
    }
    if (FGrid->showFooter())
        ExportSummaryRow(-1, true, 0);
}

void TcxGridBandedTableViewExport::ExportBandHeaders()
{
    const kvui::ViewGeometry& geom = FGrid->geometry();
    if (!FGrid->showBandHeaders() || geom.bands.isEmpty())
        return;
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    const int style = RegisterStyle(pal.band1, pal.text, FGrid->font(), Qt::AlignHCenter, AllBorders, ButtonShadowColor());
    for (const kvui::ViewGeometry::BandGeom& band : geom.bands)
        if (band.width > 0)
            AddVisualItem(QRect(FContentLeft + band.x, FTop, band.width, geom.lineHeight), band.caption, style);
    if (FContentLeft > 0)
        AddVisualItem(QRect(0, FTop, FContentLeft, geom.lineHeight), QVariant(), style);
    FTop += geom.lineHeight;
}

void TcxGridBandedTableViewExport::ExportHeader()
{
    ExportBandHeaders();
    if (!FGrid->showHeaders())
        return;
    const kvui::ViewGeometry& geom = FGrid->geometry();
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns) {
        const Qt::Alignment align = cg.column->effectiveEditor(kvui::RowRef())->alignment();
        const int style = RegisterStyle(pal.header1, pal.text, FGrid->font(), align, AllBorders, ButtonShadowColor());
        AddVisualItem(cg.rect.translated(FContentLeft, FTop), cg.column->caption(), style);
    }
    if (FContentLeft > 0) {
        const int style = RegisterStyle(pal.header1, pal.text, FGrid->font(), Qt::AlignLeft, AllBorders, ButtonShadowColor());
        AddVisualItem(QRect(0, FTop, FContentLeft, geom.recordHeight), QVariant(), style);
    }
    FTop += geom.recordHeight;
}

int TcxGridBandedTableViewExport::ExportIndent(int ATop, int AHeight, int ALevel, bool AHasButton, int ARow)
{
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    const int step = kvui::BandedView::IndentStep;
    const int count = ALevel + (AHasButton ? 1 : 0);
    const int background = RegisterStyle(pal.group, pal.groupText, FGrid->font(), Qt::AlignLeft, 0, QColor());
    for (int i = 0; i < count; ++i) {
        const QRect bounds(i * step, ATop, step, AHeight);
        if (AHasButton && i == ALevel) {
            const int style =
                RegisterStyle(ButtonFaceColor(), pal.text, FGrid->font(), Qt::AlignHCenter, AllBorders, pal.gridLine);
            AddVisualItem(bounds, FGrid->rowExpanded(ARow) ? QStringLiteral("-") : QStringLiteral("+"), style);
        } else {
            AddVisualItem(bounds, QVariant(), background);
        }
    }
    return count * step;
}

int TcxGridBandedTableViewExport::DataCellStyle(int ARow, kvui::Column* AColumn)
{
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    kvui::CellFormat format;
    QObject* owner = FGrid->property(GridOwnerViewProperty).value<QObject*>();
    TInfoGridView* view = qobject_cast<TInfoGridView*>(owner);
    if (view) {
        // The owning view decides the colours; the grid's own hook would ask it again.
        const kvui::CustomDrawHook hook = FGrid->customDrawHook();
        FGrid->setCustomDrawHook(nullptr);
        format = FGrid->cellFormat(ARow, AColumn, true);
        FGrid->setCustomDrawHook(hook);
        QColor brush = format.background, textColor = format.textColor;
        QFont font = format.font;
        font.setBold(false);
        font.setItalic(false);
        font.setUnderline(false);
        font.setStrikeOut(false);
        try {
            view->FetchCustomDrawFormat(FGrid->row(ARow), AColumn, false, false, brush, font, textColor);
            format.background = brush;
            format.textColor = textColor;
            format.font.setBold(format.font.bold() || font.bold());
            format.font.setItalic(format.font.italic() || font.italic());
            format.font.setUnderline(format.font.underline() || font.underline());
            format.font.setStrikeOut(format.font.strikeOut() || font.strikeOut());
        } catch (...) {
            // A failing colour hook leaves the cell as it was.
        }
    } else {
        format = FGrid->cellFormat(ARow, AColumn, true);
    }
    return RegisterStyle(format.background, format.textColor, format.font, format.alignment, AllBorders, pal.gridLine);
}

void TcxGridBandedTableViewExport::ExportDataRow(int ARow)
{
    const kvui::ViewGeometry& geom = FGrid->geometry();
    const kvui::RowRef r = FGrid->row(ARow);
    const int height = geom.recordHeight;
    ExportIndent(FTop, height, r.level, false, ARow);
    for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns)
        AddVisualItem(cg.rect.translated(FContentLeft, FTop), GetItemExportValue(ARow, cg.column),
                      DataCellStyle(ARow, cg.column));
    FTop += height;
}

void TcxGridBandedTableViewExport::ExportGroupRow(int ARow)
{
    const kvui::ViewGeometry& geom = FGrid->geometry();
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    const kvui::RowRef r = FGrid->row(ARow);
    const int height = geom.lineHeight;
    const int left = ExportIndent(FTop, height, r.level, true, ARow);
    const int style = RegisterStyle(pal.group, pal.groupText, FGrid->font(), Qt::AlignLeft, 10, pal.gridLine);
    if (FRecordWidth > left)
        AddVisualItem(QRect(left, FTop, FRecordWidth - left, height), FGrid->groupRowText(ARow), style);
    FTop += height;
}

void TcxGridBandedTableViewExport::ExportSummaryRow(int ARow, bool AIsFooter, int AIndentLevel)
{
    const kvui::ViewGeometry& geom = FGrid->geometry();
    const kvui::BandedView::Palette& pal = FGrid->viewPalette();
    const int height = geom.lineHeight;
    if (!AIsFooter)
        ExportIndent(FTop, height, AIndentLevel, false, ARow);
    // The footer's background under the indents and under every column without a summary.
    const int background = RegisterStyle(pal.footer, pal.text, FGrid->font(), Qt::AlignLeft, 0, QColor());
    const int left = AIsFooter ? 0 : AIndentLevel * kvui::BandedView::IndentStep;
    if (FContentLeft > left)
        AddVisualItem(QRect(left, FTop, FContentLeft - left, height), QVariant(), background);
    for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns) {
        const kvui::SummaryItem item = AIsFooter ? cg.column->footerSummary() : cg.column->groupSummary();
        if (item.kind == kvui::SummaryKind::None) {
            AddVisualItem(QRect(FContentLeft + cg.rect.left(), FTop, cg.rect.width(), height), QVariant(), background);
            continue;
        }
        const QVariant value = AIsFooter ? FGrid->footerValue(cg.column) : FGrid->groupFooterValue(ARow, cg.column);
        QString text = AIsFooter ? FGrid->footerText(cg.column) : FGrid->groupFooterText(ARow, cg.column);
        if (text.isEmpty())
            text = QStringLiteral(".");
        QVariant cellValue = text;
        if (UseNativeFormat && value.isValid() && !value.isNull() && IsNumberType(value.typeId()))
            cellValue = value.toDouble();
        const Qt::Alignment align = cg.column->effectiveEditor(kvui::RowRef())->alignment();
        const int style = RegisterStyle(pal.footer, pal.text, FGrid->font(), align, AllBorders, ButtonShadowColor());
        AddVisualItem(QRect(FContentLeft + cg.rect.left(), FTop, cg.rect.width(), height), cellValue, style);
    }
    FTop += height;
}

// ---------------------------------------------------------------- entry points

void ExportGridToFile(const QString& AFileName, int AExportType, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      bool AUseNativeFormat, const QString& ASeparator, const QString& ABeginString,
                      const QString& AEndString, const QString& AFileExt)
{
    if (!AGrid)
        return;
    const QString fileName = AFileExt.isEmpty() ? AFileName : ReplaceExtension(AFileName, AFileExt);
    TcxGridBandedTableViewExport exporter(fileName, AExportType, AGrid);
    exporter.SaveAll = ASaveAll;
    exporter.Expand = AExpand;
    exporter.UseNativeFormat = AUseNativeFormat;
    if (exporter.Provider()->supportsSeparators())
        for (const QString& s : {ASeparator, ABeginString, AEndString})
            exporter.Provider()->addSeparator(s);
    // Expanding inserts the groups' rows, which the export then meets too; the
    // groups stay expanded afterwards.
    if (AExpand)
        AGrid->expandAllGroups();
    AGrid->beginUpdate();
    const auto endUpdate = qScopeGuard([AGrid] { AGrid->endUpdate(); });
    exporter.DoExport();
}

void ExportGridAsHtml(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      const QString& AFileExt)
{
    ExportGridToFile(AFileName, kvui::ExportHtml, AGrid, AExpand, ASaveAll, false, QString(), QString(), QString(),
                     AFileExt);
}

void ExportGridAsXml(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                     const QString& AFileExt)
{
    ExportGridToFile(AFileName, kvui::ExportXml, AGrid, AExpand, ASaveAll, false, QString(), QString(), QString(),
                     AFileExt);
}

void ExportGridAsExcel(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                       bool AUseNativeFormat, const QString& AFileExt)
{
    ExportGridToFile(AFileName, kvui::ExportXls, AGrid, AExpand, ASaveAll, AUseNativeFormat, QString(), QString(),
                     QString(), AFileExt);
}

void ExportGridAsText(const QString& AFileName, kvui::BandedGrid* AGrid, bool AExpand, bool ASaveAll,
                      const QString& ASeparator, const QString& ABeginString, const QString& AEndString,
                      const QString& AFileExt)
{
    ExportGridToFile(AFileName, kvui::ExportText, AGrid, AExpand, ASaveAll, false, ASeparator, ABeginString, AEndString,
                     AFileExt);
}

void InstallGridExportProcs(TGridExportProcs& procs)
{
    procs.ExportGridAsHtml = ExportGridAsHtml;
    procs.ExportGridAsXml = ExportGridAsXml;
    procs.ExportGridAsText = ExportGridAsText;
    procs.ExportGridAsExcel = ExportGridAsExcel;
}

void InitGridExportLinkUnit()
{
    InstallGridExportProcs(GridExportProcs());
}
