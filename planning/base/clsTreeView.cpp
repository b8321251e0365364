#include "clsTreeView.h"

#include "ColumnFit.h"

#include "MessageBox.h"
#include "PrintLink.h"
#include "UCommon.h"
#include "clsGridView.h"
#include "untDllCommon.h"
#include "untTLExportLink.h"
#include "untCommonUI.h"
#include "untComponentPrint.h"

#include <QApplication>
#include <QFileInfo>

#include <algorithm>

namespace {

const QString ExportTitle = QStringLiteral("导出数据");
const QString ExportFilter = QStringLiteral("Excel 工作簿 (*.xls)|*.xls") + u'|' + QStringLiteral("网页 (*.html)|*.html")
    + u'|' + QStringLiteral("XML 数据 (*.xml)|*.xml") + u'|' + QStringLiteral("文本文档 (*.txt)|*.txt");
const QString ExportFailed = QStringLiteral("导出数据至文档\"%s\"出现错误!");
const QString ExpandBeforeExport = QStringLiteral("导出数据前强制展开装载全部结点的内容?\r\r提示: 全部装载可能大量耗时, 过程中可以按[Esc]键中止。");

const QString Bar = QStringLiteral("|");
const QString BindError = QStringLiteral("Bind static column error !");
const QString CountText = QStringLiteral("%1 / %2");

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

void ExportTreeListToFile(kvui::TreeList* ATreeList, const QString& ABaseName, bool AAskExpand)
{
    if (!ATreeList)
        return;
    bool expand = true;
    if (AAskExpand) {
        const int answer = ShowQuestion(ExpandBeforeExport, int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON2));
        if (answer == kvos::IDCANCEL)
            return;
        expand = answer == kvos::IDYES;
        if (expand && !ExpandTreeListAll(ATreeList)) {
            ShowWarning(UCommonText::Cancelled);
            return;
        }
    }

    QString fileName;
    if (!ExecuteSaveFileDialog(ExportTitle, ABaseName + QStringLiteral(".xls"), QStringLiteral("xls"), ExportFilter, fileName))
        return;
    const QString ext = QFileInfo(fileName).suffix().toLower();
    bool done = false;
    {
        WaitCursor wait;
        try {
            // The kind by the chosen extension; anything else is a workbook.
            if (ext == QLatin1String("html"))
                ExportTreeListAsHtml(fileName, ATreeList, expand, true, QStringLiteral("html"));
            else if (ext == QLatin1String("xml"))
                ExportTreeListAsXml(fileName, ATreeList, expand, true, QStringLiteral("xml"));
            else if (ext == QLatin1String("txt"))
                ExportTreeListAsText(fileName, ATreeList, expand, true, QString(), QString(), QString(), QStringLiteral("txt"));
            else
                ExportTreeListAsExcel(fileName, ATreeList, expand, true, true, QStringLiteral("xls"));
            done = true;
        } catch (const std::exception&) {
            done = false;
        }
    }
    if (done)
        ShowInfo(UCommonText::Finished);
    else
        ShowError(FormatMessage(ExportFailed, {fileName}));
}

void PrintTreeList(kvui::TreeList* ATreeList, QString& APrintSetting, int ACommandIndex)
{
    if (!ATreeList)
        return;
    kvui::PrintLink* link = nullptr;
    try {
        link = GetComponentReportLink(kvui::TreePrintLink::staticMetaObject);
        if (!link)
            return;
        if (!APrintSetting.isEmpty())
            link->setSettingsText(APrintSetting);
        kvui::PrintSettings& s = link->settings();
        s.bandHeaders = ATreeList->showBandHeaders();
        s.headers = ATreeList->showHeaders();
        s.footer = ATreeList->showFooter();
        s.groupFooters = false;
        s.expandButtons = ATreeList->showRoot() || ATreeList->showTreeLines();
        s.gridLines = true;
        s.headersOnEveryPage = ATreeList->showBandHeaders() || ATreeList->showHeaders();
        // The printed cells take their colours from the tree list's own draw
        // hook (asked with selected and focused off).
        link->setView(ATreeList);
        QWidget* parent = ATreeList->window();
        switch (ACommandIndex) {
        case Commands::PageSetup:
            link->pageSetup(parent);
            break;
        case Commands::ReportDesign:
            link->designReport(parent);
            break;
        case Commands::Print:
            link->print(parent, true);
            break;
        default:
            link->preview(parent);
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

QString TreeColumnValueType(int ADataType)
{
    switch (ADataType) {
    case FieldTypes::ftFloat:
    case FieldTypes::ftCurrency:
    case FieldTypes::ftBCD:
    case FieldTypes::ftFMTBcd:
    case FieldTypes::ftExtended:
    case FieldTypes::ftSingle:
        return QStringLiteral("Float");
    case FieldTypes::ftSmallint:
    case FieldTypes::ftInteger:
    case FieldTypes::ftWord:
    case FieldTypes::ftShortint:
    case FieldTypes::ftByte:
        return QStringLiteral("Integer");
    case FieldTypes::ftAutoInc:
    case FieldTypes::ftLargeint:
    case FieldTypes::ftLongWord:
        return QStringLiteral("LargeInt");
    case FieldTypes::ftDate:
    case FieldTypes::ftTime:
    case FieldTypes::ftDateTime:
        return QStringLiteral("DateTime");
    case FieldTypes::ftBoolean:
        return QStringLiteral("Boolean");
    default:
        return QStringLiteral("String");
    }
}

// ---- TInfoTreeView ----------------------------------------------------------

TInfoTreeView::TInfoTreeView(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TCustomInfoView(AOwner, AObjectDef)
{
    ViewScheme.Supports = voSupportFilter | voSupportFields | voSupportSort;
}

TInfoTreeView::~TInfoTreeView() = default;

kvui::TreeList* TInfoTreeView::TreeList() const
{
    return qobject_cast<kvui::TreeList*>(ViewComponent);
}

void TInfoTreeView::BindStaticColumn(kvui::Column* AColumn, const QString& AFieldName)
{
    if (FColumnFieldNames.size() != FStaticColumnCount || FColumnFieldNames.contains(AFieldName, Qt::CaseInsensitive))
        throw Exception(BindError);
    FColumnFieldNames.append(AFieldName);
    FColumns.append(AColumn);
    FStaticColumnCount = int(FColumnFieldNames.size());
}

QString TInfoTreeView::GetColumnFieldName(int AColumnIndex) const
{
    kvui::TreeList* tree = TreeList();
    return tree ? GetColumnFieldName(tree->column(AColumnIndex)) : QString();
}

QString TInfoTreeView::GetColumnFieldName(kvui::Column* AColumn) const
{
    if (!AColumn)
        return QString();
    const qsizetype i = FColumns.indexOf(AColumn);
    return i < 0 ? QString() : FColumnFieldNames.at(i);
}

kvui::Column* TInfoTreeView::FindFieldColumn(const QString& AFieldName) const
{
    for (int i = 0; i < FColumnFieldNames.size(); ++i)
        if (FColumnFieldNames[i].compare(AFieldName, Qt::CaseInsensitive) == 0)
            return FColumns[i];
    return nullptr;
}

QString TInfoTreeView::GetItemPropFieldNames() const
{
    QString result;
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        if (FColumnFieldNames[i].startsWith(QStringLiteral("Item_"), Qt::CaseInsensitive))
            result += Bar + FColumnFieldNames[i];
    return result.isEmpty() ? result : result + Bar;
}

void TInfoTreeView::GetItemPropSelectSQL(QString& ASelectSQL, QString& AJoinSQL, TInfoObjectDef* AObjectDef)
{
    TInfoObjectDef* def = AObjectDef ? AObjectDef : ObjectDef;
    ASelectSQL.clear();
    AJoinSQL.clear();
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i) {
        const QString& name = FColumnFieldNames[i];
        if (!name.startsWith(QStringLiteral("Item_"), Qt::CaseInsensitive))
            continue;
        const PInfoFieldDef field = def ? def->GetFieldDef(name) : nullptr;
        ASelectSQL += QStringLiteral(", [") + name + QStringLiteral("]=") + (field ? field->SQLExpress : QStringLiteral("null"));
    }
    if (ASelectSQL.isEmpty() || !InfoApplication)
        return;
    QString mainFilter;
    const QString sql = InfoApplication->GetInfoObjectDataSourceSQL(def, ASelectSQL, mainFilter);
    const QString key = QStringLiteral("i.ItmID");
    const qsizetype at = sql.indexOf(key);
    if (at >= 0)
        AJoinSQL = sql.mid(at + key.size());
}

void TInfoTreeView::FetchCustomDrawFormat(kvui::TreeNode*, kvui::Column*, bool, bool, QColor&, QFont&, QColor&) {}

void TInfoTreeView::SetFocus()
{
    if (kvui::TreeList* tree = TreeList())
        tree->setFocus();
    else
        TCustomInfoView::SetFocus();
}

void TInfoTreeView::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    if (kvui::TreeList* tree = TreeList()) {
        tree->beginUpdate();
        tree->setEnterMovesToNextCell(true);
        tree->setEqualWidthTagGroups(true);
        for (int i = 0; i < tree->bandCount(); ++i) {
            tree->band(i).movable = false;
            tree->band(i).width = 0;
        }
        if (!FEventsConnected) {
            FEventsConnected = true;
            if (FOnFocusedRecordChanged)
                connect(tree, &kvui::TreeList::focusedNodeChanged, this,
                        [this](kvui::TreeNode* previous, kvui::TreeNode* current) {
                            if (current && current == previous)
                                return;
                            DoFocusedRecordChanged();
                        });
            if (!tree->customDrawHook())
                tree->setCustomDrawHook([this](kvui::CellDraw& cell) {
                    if (cell.row.kind != kvui::RowRef::Data)
                        return;
                    FetchCustomDrawFormat(cell.row.node, cell.column, cell.selected, cell.focused, cell.background,
                                          cell.font, cell.textColor);
                });
        }
        if (ObjectDef)
            for (TInfoFieldDef& field : ObjectDef->Fields)
                if (kvui::Column* column = FindFieldColumn(field.ID)) {
                    const qsizetype slash = field.Name.indexOf(u'\\');
                    column->setCaption(slash >= 0 ? field.Name.mid(slash + 1) : field.Name);
                    SetupTreeListColumn(&field, column);
                }
        tree->endUpdate();
    }
    TCustomInfoView::InitializeView(AViewAsDetailID, AMasterView);
}

void TInfoTreeView::ApplyViewScheme()
{
    kvui::TreeList* tree = TreeList();
    if (!tree || tree->bandCount() == 0)
        return;
    tree->beginUpdate();

    tree->clearSorting();
    const QString fieldList = GetSchemeFieldList();
    const int defaultBand = tree->defaultBandIndex();

    // The columns the view made before go.
    for (int i = int(FColumnFieldNames.size()) - 1; i >= FStaticColumnCount; --i) {
        tree->removeColumn(FColumns[i]);
        FColumns.removeAt(i);
        FColumnFieldNames.removeAt(i);
    }

    const QString positionText = ReadViewSchemeParam(ViewScheme.Params, PositionsSection).replace(u':', u'=');
    const auto positions = ViewSchemeNamedItems(positionText);

    QHash<int, int> nextColIndex;
    if (ObjectDef)
        for (TInfoFieldDef& field : ObjectDef->Fields) {
            if (field.HideList || !DelimitedListContains(fieldList, field.ID, Bar))
                continue;
            kvui::Column* column = FindFieldColumn(field.ID);
            if (!column) {
                column = tree->addColumn(field.Name, QString(), defaultBand);
                column->setValueType(TreeColumnValueType(field.DataType));
                column->setEditable(false);
                column->setSortable(!field.HideSort);
                column->setWidth(70);
                SetupTreeListColumn(&field, column);
                FColumnFieldNames.append(field.ID);
                FColumns.append(column);
            }
            if (positionText.isEmpty()) {
                column->setLineCount(1);
                column->setRowIndex(0);
                column->setColIndex(nextColIndex[column->bandIndex()]++);
            }
        }

    QList<TGridColumnPosition> records;
    QList<kvui::Column*> storedWidths; // a stored width wins over fitting
    for (kvui::Column* column : tree->columns()) {
        TGridColumnPosition p;
        p.Column = column;
        p.BandIndex = column->bandIndex();
        p.ColIndex = column->colIndex();
        p.RowIndex = column->rowIndex();
        p.LineCount = column->lineCount();
        p.Width = column->width();
        p.Visible = column->isVisible();
        const QString name = GetColumnFieldName(column);
        if (column->tag() <= 0 && !name.isEmpty()) {
            if (p.BandIndex < 0 || p.BandIndex >= tree->bandCount())
                p.BandIndex = defaultBand;
            QString code;
            if (FindViewSchemeItem(positions, name, code)) {
                int bandID = -1, colIndex = p.ColIndex, rowIndex = p.RowIndex, lineCount = p.LineCount, width = p.Width;
                const int read = DecodeColumnPosition(code, bandID, colIndex, rowIndex, lineCount, width);
                if (read >= 5)
                    storedWidths.append(column);
                if (read >= 1) {
                    const int band = tree->bandIndexById(bandID);
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
            p.Visible = DelimitedListContains(fieldList, name, Bar);
            column->setVisible(false);
        }
        records.append(p);
    }
    std::stable_sort(records.begin(), records.end(), [](const TGridColumnPosition& a, const TGridColumnPosition& b) {
        return CompareColumnPositions(a, b) < 0;
    });
    for (const TGridColumnPosition& p : std::as_const(records)) {
        kvui::Column* column = p.Column;
        if (column->isMovable() && p.BandIndex >= 0 && p.BandIndex < tree->bandCount()) {
            column->setPosition(p.BandIndex, p.RowIndex, p.ColIndex);
            column->setLineCount(p.LineCount);
        }
        column->setWidth(p.Width);
        column->setVisible(p.Visible);
        if (p.Visible && p.BandIndex >= 0 && p.BandIndex < tree->bandCount())
            tree->band(p.BandIndex).visible = true;
    }
    // Columns without a stored width fit their captions and values once rows show.
    kvui::ColumnFit::of(tree)->setStoredColumns(storedWidths);

    const QStringList sortLines =
        ReadViewSchemeParam(ViewScheme.Params, SortsSection).replace(u':', u'=').replace(u'|', u'\n').split(u'\n');
    for (const QString& line : sortLines) {
        const qsizetype eq = line.indexOf(u'=');
        const QString name = eq < 0 ? line : line.left(eq);
        const QString value = eq < 0 ? QString() : line.mid(eq + 1);
        if (name.isEmpty())
            continue;
        kvui::Column* column = FindFieldColumn(name);
        if (!column || column->bandIndex() < 0 || column->bandIndex() >= tree->bandCount())
            continue;
        tree->sortBy(column, value.startsWith(u'1') ? Qt::DescendingOrder : Qt::AscendingOrder, true);
    }
    tree->endUpdate();
}

void TInfoTreeView::StoreViewScheme()
{
    kvui::TreeList* tree = TreeList();
    if (!tree || tree->bandCount() == 0)
        return;

    QString fieldList =
        StoreColumnPositions(tree, ViewScheme.Params, [this](kvui::Column* AColumn) { return GetColumnFieldName(AColumn); });

    QString sortText;
    for (kvui::Column* column : tree->sortedColumns()) {
        const QString name = GetColumnFieldName(column);
        if (name.isEmpty() || sortText.contains(Bar + name + u':'))
            continue;
        sortText += Bar + name + u':' + (column->sortOrder() == Qt::DescendingOrder ? u'1' : u'0');
    }
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, SortsSection, sortText.mid(1));
    if (fieldList == Bar)
        fieldList.clear();
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, FieldsSection, fieldList);
}

QString TInfoTreeView::GetFocusedRecordString(const QString& AFieldID)
{
    const QString none = QStringLiteral("null");
    kvui::TreeList* tree = TreeList();
    kvui::TreeNode* node = tree ? tree->focusedNode() : nullptr;
    kvui::Column* column = FindFieldColumn(AFieldID);
    if (!node || !column)
        return none;
    const QVariant value = node->value(column);
    if (!value.isValid() || value.isNull())
        return none;
    const int type = value.typeId();
    if (column->valueType() == QLatin1String("DateTime") || type == QMetaType::QDateTime || type == QMetaType::QDate) {
        // A date goes into SQL as a quoted literal the server reads whatever its settings.
        QDateTime dt;
        if (type == QMetaType::QDate)
            dt = value.toDate().startOfDay();
        else if (type == QMetaType::QDateTime)
            dt = value.toDateTime();
        else
            dt = StrToDateTime(value.toString());
        if (!dt.isValid())
            return none;
        return u'\'' + dt.toString(dt.time() == QTime(0, 0) ? QStringLiteral("yyyyMMdd") : QStringLiteral("yyyyMMdd hh:mm:ss"))
            + u'\'';
    }
    switch (type) {
    case QMetaType::QString:
    case QMetaType::QChar:
    case QMetaType::QByteArray: {
        const QString text = value.toString();
        return text.isEmpty() ? none : QuotedStr(text);
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
        return QString::number(value.toLongLong());
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return FloatToLiteralText(value.toDouble());
    default:
        return none;
    }
}

void TInfoTreeView::RefreshData(bool ARebuild)
{
    if (EnsureViewSchemeParsed())
        TCustomInfoView::RefreshData(ARebuild);
}

void TInfoTreeView::CloseData()
{
    TCustomInfoView::CloseData();
    if (kvui::TreeList* tree = TreeList())
        tree->clear();
}

bool TInfoTreeView::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    kvui::TreeList* tree = TreeList();
    if (QueryViewCommandState(ACommandIndex, AState))
        return true;
    switch (ACommandIndex) {
    case Commands::Fill:
        AState = tree && tree->editingEnabled() && !tree->isReadOnly() && tree->selectedCount() > 0
                     ? TCommandState(csEnabled)
                     : TCommandState();
        return true;
    case Commands::RecordCount: {
        QString text;
        if (tree && tree->topCount() > 0) {
            if (kvui::TreeNode* node = tree->focusedNode()) {
                const int siblings = node->parent() ? node->parent()->childCount() : tree->topCount();
                text = CountText.arg(node->index() + 1).arg(siblings);
            } else {
                text = CountText.arg(0).arg(tree->topCount());
            }
        }
        if (InfoApplication)
            InfoApplication->ShowStatusMessage(text, mkCount);
        return true;
    }
    default:
        return TCustomInfoView::QueryCommandState(ACommandIndex, AState);
    }
}

bool TInfoTreeView::ExecCommand(int ACommandIndex)
{
    kvui::TreeList* tree = TreeList();
    switch (ACommandIndex) {
    case Commands::Export:
    case Commands::PageSetup:
    case Commands::ReportDesign:
    case Commands::Print:
    case Commands::PrintPreview: {
        if (!tree)
            return true;
        // The export and the print ask this view for each cell's colours.
        const QVariant previousTag = tree->property(TreeListOwnerViewProperty);
        tree->setProperty(TreeListOwnerViewProperty, QVariant::fromValue<QObject*>(this));
        struct Restore {
            kvui::TreeList* tree;
            QVariant tag;
            ~Restore() { tree->setProperty(TreeListOwnerViewProperty, tag); }
        } restore{tree, previousTag};
        if (ACommandIndex == Commands::Export)
            ExportTreeListToFile(tree, ObjectDef ? ObjectDef->Name : QString(), true);
        else
            PrintTreeList(tree, ViewScheme.PrintSetting, ACommandIndex);
        return true;
    }
    case Commands::Fill:
        if (tree && ShowFillValuesDlgProc())
            ShowFillValuesDlgProc()(tree);
        return true;
    default:
        return ExecViewSchemeCommand(ACommandIndex) || TCustomInfoView::ExecCommand(ACommandIndex);
    }
}
