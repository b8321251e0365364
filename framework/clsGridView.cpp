#include "clsGridView.h"

#include "dlgFillValues.h"

#include "DataSetSource.h"
#include "DisplayFormat.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"
#include "ColumnFilter.h"
#include "untComponentPrint.h"
#include "untGridExportLink.h"
#include "untViewCommon.h"

#include <QHash>
#include <QLocale>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const QString ExportKindMissing = QStringLiteral("很抱歉, 暂时不能导出此类文档(*.%s)!");

const QString Bar = QStringLiteral("|");

constexpr int MinStoredWidth = 20;
constexpr int MaxStoredWidth = 1295; // the largest two-digit base-36 number

// A base-36 digit's value, -1 for anything else.
int base36Digit(QChar c)
{
    const char16_t u = c.toUpper().unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'Z')
        return u - u'A' + 10;
    return -1;
}

bool readBase36(const QString& code, int from, int count, int& value)
{
    if (from + count > code.size())
        return false;
    int v = 0;
    for (int i = from; i < from + count; ++i) {
        const int d = base36Digit(code[i]);
        if (d < 0)
            return false;
        v = v * 36 + d;
    }
    value = v;
    return true;
}

} // namespace

// ---- position codes and summary codes ------------------------------------------

QString EncodeColumnPosition(int ABandID, int AColIndex, int ARowIndex, int ALineCount, int AWidth)
{
    const auto part = [](int value, int max, int width) {
        return IntToBaseText(quint32(std::clamp(value, 0, max)), 36, width);
    };
    return part(ABandID, 35, 1) + part(AColIndex, 1295, 2) + part(ARowIndex, 35, 1) + part(ALineCount, 35, 1)
        + part(std::clamp(AWidth, MinStoredWidth, MaxStoredWidth), MaxStoredWidth, 2);
}

int DecodeColumnPosition(const QString& ACode, int& ABandID, int& AColIndex, int& ARowIndex, int& ALineCount, int& AWidth)
{
    const QString code = ACode.trimmed();
    struct Part {
        int from, count;
        int* target;
    };
    const Part parts[] = {{0, 1, &ABandID}, {1, 2, &AColIndex}, {3, 1, &ARowIndex}, {4, 1, &ALineCount}, {5, 2, &AWidth}};
    int read = 0;
    for (const Part& p : parts) {
        int value = 0;
        if (!readBase36(code, p.from, p.count, value))
            break;
        *p.target = value;
        ++read;
    }
    return read;
}

kvui::SummaryKind SummaryKindOfCode(const QString& ACode)
{
    bool ok = false;
    const int code = ACode.trimmed().toInt(&ok);
    if (!ok)
        return kvui::SummaryKind::None;
    switch (code) {
    case 1:
        return kvui::SummaryKind::Sum;
    case 2:
        return kvui::SummaryKind::Count;
    case 3:
        return kvui::SummaryKind::Max;
    case 4:
        return kvui::SummaryKind::Min;
    default:
        return kvui::SummaryKind::None;
    }
}

QString SummaryFormatOfKind(kvui::SummaryKind AKind)
{
    switch (AKind) {
    case kvui::SummaryKind::Min:
        return SummaryMinFormat;
    case kvui::SummaryKind::Max:
        return SummaryMaxFormat;
    default:
        return SummarySumFormat;
    }
}

TGridExportProcs& GridExportProcs()
{
    static TGridExportProcs procs = [] {
        TGridExportProcs p;
        InstallGridExportProcs(p);
        return p;
    }();
    return procs;
}

TShowFillValuesDlgProc& ShowFillValuesDlgProc()
{
    static TShowFillValuesDlgProc proc = ShowFillValuesDlg;
    return proc;
}

QString StoreColumnPositions(kvui::BandedView* AView, QString& AParams,
                             const std::function<QString(kvui::Column*)>& AFieldName)
{
    // The stored positions as an ordered name=code list.
    auto positions = ViewSchemeNamedItems(ReadViewSchemeParam(AParams, PositionsSection).replace(u':', u'='));
    QString fieldList = Bar;
    // Every governed column, from the last to the first.
    const QList<kvui::Column*> columns = AView->columns();
    for (auto it = columns.crbegin(); it != columns.crend(); ++it) {
        kvui::Column* column = *it;
        const QString name = AFieldName(column);
        if (column->tag() >= 1 || name.isEmpty() || column->bandIndex() < 0 || column->bandIndex() >= AView->bandCount())
            continue;
        int itemIndex = -1;
        for (int i = 0; i < positions.size(); ++i)
            if (positions[i].first.compare(name, Qt::CaseInsensitive) == 0) {
                itemIndex = i;
                break;
            }
        int width = column->width();
        if (column->isVisible()) {
            fieldList = Bar + name + fieldList;
        } else if (itemIndex >= 0) {
            // A hidden column keeps the width it was given while it showed.
            int bandID = 0, colIndex = 0, rowIndex = 0, lineCount = 0, storedWidth = 0;
            if (DecodeColumnPosition(positions[itemIndex].second, bandID, colIndex, rowIndex, lineCount, storedWidth) == 5)
                width = storedWidth;
        }
        const QString code = EncodeColumnPosition(AView->band(column->bandIndex()).id, column->colIndex(),
                                                   column->rowIndex(), column->lineCount(), width);
        if (itemIndex >= 0)
            positions[itemIndex].second = code;
        else
            positions.append({name, code});
    }
    // Written back with every item followed by "|".
    QString positionText;
    for (const auto& item : std::as_const(positions))
        positionText += item.first + u':' + item.second + Bar;
    AParams = WriteViewSchemeParam(AParams, PositionsSection, positionText);
    return fieldList;
}

// ---- TInfoGridView --------------------------------------------------------------

TInfoGridView::TInfoGridView(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TCustomInfoView(AOwner, AObjectDef)
    , FDynamicColumns(std::make_unique<QList<kvui::Column*>>())
{
    ViewScheme.Supports = voSupportAll;
}

TInfoGridView::~TInfoGridView() = default;

kvui::BandedGrid* TInfoGridView::GridView() const
{
    return qobject_cast<kvui::BandedGrid*>(ViewComponent);
}

void TInfoGridView::SetFocus()
{
    if (kvui::BandedGrid* grid = GridView())
        grid->setFocus();
    else
        TCustomInfoView::SetFocus();
}

void TInfoGridView::CalcSummary(kvui::SummaryState& AState, const QVariant& AValue, bool& ADone)
{
    ADone = true;
    if (!AValue.isValid() || AValue.isNull())
        return;
    if (IsFloatValue(AValue) && AValue.toDouble() == 0)
        return;
    if (IsOrdinalValue(AValue) && AValue.toLongLong() == 0)
        return;
    if (IsTextValue(AValue) && AValue.toString().trimmed().isEmpty())
        return;
    ++AState.count;
    if (AState.kind == kvui::SummaryKind::Count)
        return;
    if (!AState.value.isValid()) {
        AState.value = kvui::isNumeric(AValue) ? QVariant(AValue.toDouble()) : AValue;
        return;
    }
    switch (AState.kind) {
    case kvui::SummaryKind::Min:
        if (kvui::compareValues(AValue, AState.value) < 0)
            AState.value = AValue;
        break;
    case kvui::SummaryKind::Max:
        if (kvui::compareValues(AValue, AState.value) > 0)
            AState.value = AValue;
        break;
    default:
        AState.value = AState.value.toDouble() + AValue.toDouble();
        break;
    }
}

void TInfoGridView::FetchCustomDrawFormat(const kvui::RowRef&, kvui::Column*, bool, bool, QColor&, QFont&, QColor&) {}

void TInfoGridView::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    kvui::BandedGrid* grid = GridView();
    if (grid) {
        grid->beginUpdate();
        // Summaries over the selection when more than one record is selected.
        grid->setSummariesOverSelection(true);
        grid->setSummaryHook([this](kvui::SummaryState& state, const QVariant& value, bool& done) {
            CalcSummary(state, value, done);
        });
        grid->setShowIndicator(true);
        // Column filtering by the user, without regard to case, with the shared
        // look of the custom filter dialog.
        grid->setColumnFilteringEnabled(true);
        grid->columnFilter()->setCaseInsensitive(true);
        grid->customFilterDialogHook = &TCommonUI::GridFilterControlDialogShow;
        PrepareViewControl(grid);
        if (!FEventsConnected) {
            FEventsConnected = true;
            connect(grid, &kvui::BandedGrid::focusedRecordChanged, this, [this](int previous, int current) {
                if (previous != current && FFocusEventLock == 0)
                    DoFocusedRecordChanged();
            });
            SetDataCellDrawHook(grid, [this](kvui::CellDraw& cell) {
                FetchCustomDrawFormat(cell.row, cell.column, cell.selected, cell.focused, cell.background, cell.font,
                                      cell.textColor);
            });
            connect(grid, &kvui::BandedView::cellDoubleClicked, this, [this](int, kvui::Column*) {
                if (ObjectDef && ObjectDef->HasEditor)
                    ShowEditor(QString());
            });
        }
        if (ObjectDef)
            for (const TInfoFieldDef& field : ObjectDef->Fields)
                if (kvui::Column* column = grid->columnByField(field.ID)) {
                    column->setCaption(FieldColumnCaption(field.Name));
                    SetupGridColumnEditor(field, column);
                }
        grid->endUpdate();
    }
    TCustomInfoView::InitializeView(AViewAsDetailID, AMasterView);
}

void TInfoGridView::ApplyViewScheme()
{
    kvui::BandedGrid* grid = GridView();
    if (!grid || grid->bandCount() == 0)
        return;
    grid->beginUpdate();

    // 1. A clean grid: grouped columns shown, no grouping, sorting or summaries.
    for (kvui::Column* column : grid->groupedColumns())
        column->setVisible(true);
    grid->clearGrouping();
    grid->clearSorting();
    for (kvui::Column* column : grid->columns()) {
        column->setFooterSummary(kvui::SummaryKind::None);
        column->setGroupSummary(kvui::SummaryKind::None);
    }

    // 2, 3. The fields shown, the default band and the stored positions.
    const QString fieldList = GetSchemeFieldList();
    const int defaultBand = grid->defaultBandIndex();
    const QString positionText = ReadViewSchemeParam(ViewScheme.Params, PositionsSection).replace(u':', u'=');
    const auto positions = ViewSchemeNamedItems(positionText);

    // 4. Columns of their own for shown fields without a design-time column.
    if (FDynamicColumns) {
        for (kvui::Column* column : std::as_const(*FDynamicColumns))
            grid->removeColumn(column);
        FDynamicColumns->clear();
        QHash<int, int> nextColIndex;
        if (ObjectDef)
            for (const TInfoFieldDef& field : ObjectDef->Fields) {
                if (field.HideList || !DelimitedListContains(fieldList, field.ID, Bar))
                    continue;
                kvui::Column* column = grid->columnByField(field.ID);
                if (!column) {
                    column = grid->addColumn(field.Name, field.ID, defaultBand);
                    column->setEditable(false);
                    column->setSortable(!field.HideSort);
                    column->setFilterable(!field.HideFilter);
                    column->setWidth(70);
                    SetupGridColumnEditor(field, column);
                    FDynamicColumns->append(column);
                }
                if (positionText.isEmpty())
                    PlaceColumnInOrder(column, nextColIndex);
            }
    }

    // 5, 6. The working position of every column, applied in band, row, column and line order.
    ApplyColumnPositions(
        grid, positions, [](kvui::Column* AColumn) { return AColumn->fieldName(); },
        [&fieldList](const QString& AName) { return fieldList.contains(Bar + AName + Bar); });

    // 7. Sorting, grouping, footer and summaries.
    if (!InGridMode()) {
        const QList<TViewSchemeSort> sorts = ReadViewSchemeSorts(ViewScheme.Params);
        for (int i = 0; i < sorts.size(); ++i) {
            const QString& name = sorts[i].FieldName;
            const QString& value = sorts[i].Code;
            if (name.isEmpty())
                continue;
            kvui::Column* column = grid->columnByField(name);
            if (!column || column->bandIndex() < 0)
                continue;
            const Qt::SortOrder order = value.startsWith(u'1') ? Qt::DescendingOrder : Qt::AscendingOrder;
            grid->sortBy(column, order, true);
            if (value.size() >= 2 && value[1] == u'1') {
                grid->groupBy(column, i);
                column->setVisible(false);
            }
        }

        const QString total = ReadViewSchemeParam(ViewScheme.Params, TotalSection);
        const bool footer = !total.startsWith(u'0');
        grid->setShowFooter(footer);
        if (!footer) {
            grid->setGroupFooterMode(kvui::BandedGrid::NoGroupFooters);
        } else {
            const bool groupFooters = !(total.size() >= 2 && total[1] == u'0');
            grid->setGroupFooterMode(groupFooters ? kvui::BandedGrid::GroupFootersWhenExpanded
                                                  : kvui::BandedGrid::NoGroupFooters);
            const auto summaries = ViewSchemeNamedItems(ReadViewSchemeParam(ViewScheme.Params, SummariesSection).replace(u':', u'='));
            for (kvui::Column* column : grid->columns()) {
                QString code;
                if (column->fieldName().isEmpty() || !FindViewSchemeItem(summaries, column->fieldName(), code))
                    continue;
                const kvui::SummaryKind kind = SummaryKindOfCode(code);
                if (kind == kvui::SummaryKind::None)
                    continue;
                column->setFooterSummary(kind, SummaryFormatOfKind(kind));
                if (groupFooters)
                    column->setGroupSummary(kind, SummaryFormatOfKind(kind));
            }
        }
    }
    grid->endUpdate();
}

void TInfoGridView::StoreViewScheme()
{
    kvui::BandedGrid* grid = GridView();
    if (!grid || grid->bandCount() == 0)
        return;

    // 1-3. The governed columns' positions.
    QString fieldList =
        StoreColumnPositions(grid, ViewScheme.Params, [](kvui::Column* AColumn) { return AColumn->fieldName(); });

    // 4. Groups first, then the other sorted columns.
    if (!InGridMode()) {
        QString sortText;
        const QList<kvui::Column*> grouped = grid->groupedColumns();
        for (auto it = grouped.crbegin(); it != grouped.crend(); ++it) {
            const QString name = (*it)->fieldName();
            if (name.isEmpty())
                continue;
            const bool descending = (*it)->sortOrder() == Qt::DescendingOrder;
            sortText = Bar + name + (descending ? QStringLiteral(":11") : QStringLiteral(":01")) + sortText;
            if (!fieldList.contains(Bar + name + Bar))
                fieldList = Bar + name + fieldList;
        }
        AppendSortedColumns(
            sortText, grid->sortedColumns(), [](kvui::Column* AColumn) { return AColumn->fieldName(); },
            QStringLiteral("0"));
        if (fieldList == Bar)
            fieldList.clear();
        ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, SortsSection, sortText.mid(1));
    }

    // 5. The fields shown.
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, FieldsSection, fieldList);
}

void TInfoGridView::SetSelectedRecordValue(int AIndex, const QString& AFieldID, const QVariant& AValue)
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    kvui::Column* column = grid->columnByField(AFieldID);
    const QList<int> rows = grid->selectedRows();
    if (!column || AIndex < 0 || AIndex >= rows.size() || grid->row(rows[AIndex]).kind != kvui::RowRef::Data)
        return;
    grid->setCellValue(rows[AIndex], column, AValue);
}

QVariant TInfoGridView::GetSelectedRecordValue(int AIndex, const QString& AFieldID)
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return QVariant();
    kvui::Column* column = grid->columnByField(AFieldID);
    const QList<int> rows = grid->selectedRows();
    if (!column || AIndex < 0 || AIndex >= rows.size() || grid->row(rows[AIndex]).kind != kvui::RowRef::Data)
        return QVariant();
    return grid->cellValue(rows[AIndex], column);
}

int TInfoGridView::GetSelectedRecordCount()
{
    kvui::BandedGrid* grid = GridView();
    return grid ? grid->selectedRowCount() : 0;
}

QString TInfoGridView::GetViewPosition()
{
    kvui::BandedGrid* grid = GridView();
    return grid ? QString::number(grid->focusedRecordIndex()) : QString();
}

void TInfoGridView::SetViewPosition(const QString& AValue)
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    bool ok = false;
    int record = AValue.trimmed().toInt(&ok);
    if (!ok)
        record = -1;
    grid->setFocusedRecordIndex(record); // a record that is not there is ignored
}

QString TInfoGridView::GetFocusedRecordString(const QString& AFieldID)
{
    const QString none = QStringLiteral("null");
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return none;
    kvui::Column* column = grid->columnByField(AFieldID);
    const int record = grid->focusedRecordIndex();
    if (!column || record < 0)
        return none;
    const QVariant value = grid->value(record, column);
    if (!value.isValid() || value.isNull())
        return none;
    const PInfoFieldDef field = ObjectDef ? ObjectDef->GetFieldDef(AFieldID) : nullptr;
    const bool dateField = field && FieldTypes::IsDateType(field->DataType);
    if (value.typeId() == QMetaType::QDateTime || value.typeId() == QMetaType::QDate) {
        const QDateTime dt = value.typeId() == QMetaType::QDate ? value.toDate().startOfDay() : value.toDateTime();
        return dt.isValid() ? DateSqlLiteral(dt, true) : none;
    }
    if (dateField && IsTextValue(value)) {
        const QDateTime dt = StrToDateTime(value.toString());
        if (dt.isValid())
            return DateSqlLiteral(dt, true);
    }
    return ValueSqlLiteral(value);
}

void TInfoGridView::RefreshData(bool ARebuild)
{
    if (EnsureViewSchemeParsed())
        TCustomInfoView::RefreshData(ARebuild);
}

void TInfoGridView::CloseData()
{
    TCustomInfoView::CloseData();
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    if (auto* source = dynamic_cast<kvui::DataSetSource*>(grid->dataSource()); source && source->dataSet()) {
        source->dataSet()->Close();
        source->reset();
    }
}

bool TInfoGridView::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    kvui::BandedGrid* grid = GridView();
    if (QueryViewCommandState(ACommandIndex, AState))
        return true;
    switch (ACommandIndex) {
    case Commands::Fill:
        AState = FillCommandState(grid, grid ? grid->selectedRowCount() : 0);
        return true;
    case Commands::RecordCount: {
        QString text;
        // Records are counted, not the group rows a grouped grid shows between them;
        // on a group row the position is that of the group's first record.
        if (grid && grid->rowCount() > 0) {
            const QList<int> records = grid->shownRecordOrder();
            text = RecordCountText(int(records.indexOf(grid->focusedRecordIndex())) + 1, int(records.size()));
        }
        ShowRecordCount(text);
        return true;
    }
    default:
        break;
    }
    if (ACommandIndex >= Commands::FirstAction && ObjectDef) {
        const int index = ACommandIndex - Commands::FirstAction;
        if (index < int(ObjectDef->Actions.size()) && ObjectDef->Actions[size_t(index)].Kind != akGlobal
            && (!grid || grid->shownRecordOrder().isEmpty())) {
            AState = TCommandState();
            return true;
        }
    }
    return TCustomInfoView::QueryCommandState(ACommandIndex, AState);
}

bool TInfoGridView::ExecCommand(int ACommandIndex)
{
    switch (ACommandIndex) {
    case Commands::Export:
        ExportData();
        return true;
    case Commands::PageSetup:
    case Commands::ReportDesign:
    case Commands::Print:
    case Commands::PrintPreview:
        PrintData(ACommandIndex);
        return true;
    case Commands::Fill:
        if (kvui::BandedGrid* grid = GridView(); grid && ShowFillValuesDlgProc())
            ShowFillValuesDlgProc()(grid);
        return true;
    default:
        return ExecViewSchemeCommand(ACommandIndex) || TCustomInfoView::ExecCommand(ACommandIndex);
    }
}

void TInfoGridView::ExportData()
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    QString fileName;
    if (!AskExportFileName(ObjectDef ? ObjectDef->Name : QString(), fileName))
        return;
    const TGridExportProcs& procs = GridExportProcs();
    // The kind by the chosen extension; anything unknown is a workbook.
    const QString kind = ExportKindOfFile(fileName);
    bool available = false;
    if (kind == QLatin1String("html"))
        available = bool(procs.ExportGridAsHtml);
    else if (kind == QLatin1String("xml"))
        available = bool(procs.ExportGridAsXml);
    else if (kind == QLatin1String("txt"))
        available = bool(procs.ExportGridAsText);
    else
        available = bool(procs.ExportGridAsExcel);
    if (!available) {
        ShowError(FormatMessage(ExportKindMissing, {kind}));
        return;
    }

    RunExport(fileName, [&] {
        // The export asks this view for each cell's colours.
        const TOwnerViewScope owner(grid, GridOwnerViewProperty, this);
        if (kind == QLatin1String("html"))
            procs.ExportGridAsHtml(fileName, grid, true, true, QStringLiteral("html"));
        else if (kind == QLatin1String("xml"))
            procs.ExportGridAsXml(fileName, grid, true, true, QStringLiteral("xml"));
        else if (kind == QLatin1String("txt"))
            procs.ExportGridAsText(fileName, grid, true, true, QString(), QString(), QString(), QStringLiteral("txt"));
        else
            procs.ExportGridAsExcel(fileName, grid, true, true, true, QStringLiteral("xls"));
    });
}

void TInfoGridView::PrintData(int ACommandIndex)
{
    kvui::BandedGrid* grid = GridView();
    if (!grid)
        return;
    PrintViewWithLink(kvui::GridPrintLink::staticMetaObject, grid, this, ViewScheme.PrintSetting, ACommandIndex,
                      [grid, title = PrintTitle()](kvui::PrintSettings& s) {
                          if (s.title.isEmpty())
                              s.title = title;
                          s.expandButtons = true;
                          s.bandHeaders = grid->showBandHeaders();
                          s.headers = grid->showHeaders();
                          s.footer = grid->showFooter();
                          s.groupFooters = grid->groupFooterMode() != kvui::BandedGrid::NoGroupFooters;
                          s.headersOnEveryPage = grid->showBandHeaders() || grid->showHeaders();
                      });
}
