#include "clsTreeView.h"

#include "MessageBox.h"
#include "PrintLink.h"
#include "UCommon.h"
#include "clsGridView.h"
#include "untDllCommon.h"
#include "untTLExportLink.h"
#include "untCommonUI.h"
#include "untComponentPrint.h"
#include "untViewCommon.h"

namespace {

const QString ExpandBeforeExport = QStringLiteral("导出数据前强制展开装载全部结点的内容?\r\r提示: 全部装载可能大量耗时, 过程中可以按[Esc]键中止。");

const QString Bar = QStringLiteral("|");
const QString BindError = QStringLiteral("Bind static column error !");

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
    if (!AskExportFileName(ABaseName, fileName))
        return;
    RunExport(fileName, [&] {
        // The kind by the chosen extension; anything else is a workbook.
        const QString kind = ExportKindOfFile(fileName);
        if (kind == QLatin1String("html"))
            ExportTreeListAsHtml(fileName, ATreeList, expand, true, QStringLiteral("html"));
        else if (kind == QLatin1String("xml"))
            ExportTreeListAsXml(fileName, ATreeList, expand, true, QStringLiteral("xml"));
        else if (kind == QLatin1String("txt"))
            ExportTreeListAsText(fileName, ATreeList, expand, true, QString(), QString(), QString(), QStringLiteral("txt"));
        else
            ExportTreeListAsExcel(fileName, ATreeList, expand, true, true, QStringLiteral("xls"));
    });
}

void PrintTreeList(kvui::TreeList* ATreeList, QString& APrintSetting, int ACommandIndex, const QString& ATitle)
{
    if (!ATreeList)
        return;
    // The printed cells take their colours from the tree list's own draw hook.
    PrintViewWithLink(kvui::TreePrintLink::staticMetaObject, ATreeList, ATreeList->window(), APrintSetting, ACommandIndex,
                      [ATreeList, ATitle](kvui::PrintSettings& s) {
                          if (s.title.isEmpty())
                              s.title = ATitle;
                          s.bandHeaders = ATreeList->showBandHeaders();
                          s.headers = ATreeList->showHeaders();
                          s.footer = ATreeList->showFooter();
                          s.groupFooters = false;
                          s.expandButtons = ATreeList->showRoot() || ATreeList->showTreeLines();
                          s.gridLines = true;
                          s.headersOnEveryPage = ATreeList->showBandHeaders() || ATreeList->showHeaders();
                      });
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
        PrepareViewControl(tree);
        if (!FEventsConnected) {
            FEventsConnected = true;
            if (FOnFocusedRecordChanged)
                connect(tree, &kvui::TreeList::focusedNodeChanged, this,
                        [this](kvui::TreeNode* previous, kvui::TreeNode* current) {
                            if (current && current == previous)
                                return;
                            DoFocusedRecordChanged();
                        });
            SetDataCellDrawHook(tree, [this](kvui::CellDraw& cell) {
                FetchCustomDrawFormat(cell.row.node, cell.column, cell.selected, cell.focused, cell.background,
                                      cell.font, cell.textColor);
            });
        }
        if (ObjectDef)
            for (TInfoFieldDef& field : ObjectDef->Fields)
                if (kvui::Column* column = FindFieldColumn(field.ID)) {
                    column->setCaption(FieldColumnCaption(field.Name));
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
            if (positionText.isEmpty())
                PlaceColumnInOrder(column, nextColIndex);
        }

    ApplyColumnPositions(
        tree, positions, [this](kvui::Column* AColumn) { return GetColumnFieldName(AColumn); },
        [&fieldList](const QString& AName) { return DelimitedListContains(fieldList, AName, Bar); });

    for (const TViewSchemeSort& sort : ReadViewSchemeSorts(ViewScheme.Params)) {
        if (sort.FieldName.isEmpty())
            continue;
        kvui::Column* column = FindFieldColumn(sort.FieldName);
        if (!column || column->bandIndex() < 0 || column->bandIndex() >= tree->bandCount())
            continue;
        tree->sortBy(column, sort.Code.startsWith(u'1') ? Qt::DescendingOrder : Qt::AscendingOrder, true);
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
    AppendSortedColumns(
        sortText, tree->sortedColumns(), [this](kvui::Column* AColumn) { return GetColumnFieldName(AColumn); },
        QString());
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
        return DateSqlLiteral(dt, false);
    }
    return ValueSqlLiteral(value);
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
        AState = FillCommandState(tree, tree ? tree->selectedCount() : 0);
        return true;
    case Commands::RecordCount: {
        QString text;
        if (tree && tree->topCount() > 0) {
            if (kvui::TreeNode* node = tree->focusedNode()) {
                const int siblings = node->parent() ? node->parent()->childCount() : tree->topCount();
                text = RecordCountText(node->index() + 1, siblings);
            } else {
                text = RecordCountText(0, tree->topCount());
            }
        }
        ShowRecordCount(text);
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
        const TOwnerViewScope owner(tree, TreeListOwnerViewProperty, this);
        if (ACommandIndex == Commands::Export)
            ExportTreeListToFile(tree, ObjectDef ? ObjectDef->Name : QString(), true);
        else
            PrintTreeList(tree, ViewScheme.PrintSetting, ACommandIndex, PrintTitle());
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
