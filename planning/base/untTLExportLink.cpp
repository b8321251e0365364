#include "untTLExportLink.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QPalette>
#include <algorithm>

namespace {

constexpr int AllBorders = 15;   // 1 left, 2 top, 4 right, 8 bottom

const QString NotVisibleControl = QStringLiteral("不能导出不可见的控件!");

QString ReplaceExtension(const QString& AFileName, const QString& AExt)
{
    const QFileInfo fi(AFileName);
    QString base = AFileName;
    if (!fi.suffix().isEmpty() && !fi.fileName().startsWith(u'.'))
        base.chop(fi.suffix().size() + 1);
    return base + u'.' + AExt;
}

double AsReal(const QVariant& AValue)
{
    static const QDate base(1899, 12, 30);
    if (AValue.typeId() == QMetaType::QDate)
        return AValue.toDate().isValid() ? double(base.daysTo(AValue.toDate())) : 0;
    if (AValue.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = AValue.toDateTime();
        return dt.isValid() ? double(base.daysTo(dt.date())) + dt.time().msecsSinceStartOfDay() / 86400000.0 : 0;
    }
    return AValue.toDouble();
}

} // namespace

TcxTreeListExportHelper::TcxTreeListExportHelper(kvui::TreeList* ATreeList, int AExportType, const QString& AFileName)
    : FTreeList(ATreeList), FProvider(kvui::ExportProvider::create(AExportType, AFileName))
{
}

TcxTreeListExportHelper::~TcxTreeListExportHelper() = default;

void TcxTreeListExportHelper::DoExport()
{
    CollectNodes();
    // The default style from the tree list's background.
    const kvui::BandedView::Palette& pal = FTreeList->viewPalette();
    kvui::ExportCellStyle s = kvui::DefaultCellStyle();
    s.brushColor = pal.content;
    s.fontColor = pal.text;
    s.fontName = FTreeList->font().family();
    s.fontSize = FTreeList->font().pointSize() > 0 ? FTreeList->font().pointSize() : 9;
    FProvider->setDefaultStyle(s);
    FDefaultStyleIndex = FProvider->registerStyle(s);
    BuildItems();
    FColumns.arrange();
    FRows.arrange();
    if (FColumns.visibleCount() > 0 && FRows.visibleCount() > 0) {
        FProvider->setRange(FColumns.visibleCount(), FRows.visibleCount());
        WriteCells();
    }
    FProvider->commit();
}

void TcxTreeListExportHelper::CollectNodes()
{
    if (!SaveAll) {
        FNodes = FTreeList->selectedNodes();
        if (!FNodes.isEmpty())
            return;
    }
    // Expanding may load children that have children of their own: repeat until
    // a pass shows no new node.
    FNodes = FTreeList->allNodes(true);
    while (Expand) {
        for (qsizetype i = FNodes.size() - 1; i >= 0; --i)
            if (FNodes[i]->hasChildren() && !FNodes[i]->isExpanded())
                FTreeList->expandNode(FNodes[i]);
        const QList<kvui::TreeNode*> next = FTreeList->allNodes(true);
        const bool grown = next.size() != FNodes.size();
        FNodes = next;
        if (!grown)
            break;
    }
}

int TcxTreeListExportHelper::RegisterStyle(const QColor& ABrush, const QColor& AFontColor, const QFont& AFont,
                                           Qt::Alignment AAlign, int ABorders, const QColor& ABorderColor,
                                           int AFontSize)
{
    return FProvider->registerStyle(kvui::CellStyleOf(ABrush, AFontColor, AFont, AAlign, ABorders, ABorderColor, AFontSize));
}

TcxTLExportVisualItem* TcxTreeListExportHelper::AddItem(const QRect& ABounds, const QVariant& AValue, int AStyle)
{
    if (ABounds.isEmpty())
        return nullptr;
    FColumns.add(ABounds.left());
    FColumns.add(ABounds.left() + ABounds.width());
    FRows.add(ABounds.top());
    FRows.add(ABounds.top() + ABounds.height());
    TcxTLExportVisualItem item;
    item.Bounds = ABounds;
    item.Style = AStyle;
    item.Value = AValue;
    FVisualItems.append(item);
    return &FVisualItems.last();
}

int TcxTreeListExportHelper::DataCellBorders() const
{
    switch (FTreeList->gridLines()) {
    case kvui::BandedView::GridLines::None: return 0;
    case kvui::BandedView::GridLines::Horizontal: return 10;
    case kvui::BandedView::GridLines::Vertical: return 5;
    case kvui::BandedView::GridLines::Both: break;
    }
    return AllBorders;
}

QVariant TcxTreeListExportHelper::GetDataCellValue(kvui::TreeNode* ANode, kvui::Column* AColumn) const
{
    const QString text = ANode->text(AColumn);
    kvui::RowRef r;
    r.node = ANode;
    r.level = ANode->level();
    const kvui::EditorPtr properties = AColumn->effectiveEditor(r);
    const bool nativeEdit = IsNativeFormat && properties && properties->isNativeValueEdit();
    if (!nativeEdit && properties && properties->isDropDown())
        return text;
    const QString type = AColumn->valueType();
    if (nativeEdit || type == QLatin1String("Float") || type == QLatin1String("Integer")
        || type == QLatin1String("Currency") || type == QLatin1String("DateTime")) {
        QVariant value = ANode->value(AColumn);
        if (!value.isValid() || value.isNull())
            return QString();
        if (AsReal(value) == 0)
            return QString();
        const bool dated = value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime;
        if (!dated && type != QLatin1String("DateTime") && value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Int
            && value.typeId() != QMetaType::LongLong) {
            bool ok = false;
            const double d = value.toString().remove(u',').toDouble(&ok);
            return ok ? QVariant(d) : QVariant(text);
        }
        return value;
    }
    return text;
}

void TcxTreeListExportHelper::BuildItems()
{
    const kvui::ViewGeometry& geom = FTreeList->geometry();
    const kvui::BandedView::Palette& pal = FTreeList->viewPalette();
    const QFont font = FTreeList->font();
    const QColor shadow = QGuiApplication::palette().color(QPalette::Dark);
    const int step = kvui::BandedView::IndentStep;
    int top = 0;
    FTreeList->beginUpdate();
    if (FTreeList->showBandHeaders() && !geom.bands.isEmpty() && !geom.columns.isEmpty()) {
        // Band cells are frames in the band's colour, edged as the tree draws
        // them between bands.
        const int style = RegisterStyle(pal.band1, pal.text, font, Qt::AlignLeft, AllBorders, shadow);
        for (const kvui::ViewGeometry::BandGeom& band : geom.bands)
            if (band.width > 0)
                if (TcxTLExportVisualItem* item = AddItem(QRect(band.x, top, band.width, geom.lineHeight), band.caption, style))
                    item->IsBackground = true;
        top += geom.lineHeight;
    }
    if (FTreeList->showHeaders() && !geom.columns.isEmpty()) {
        for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns) {
            const Qt::Alignment align = cg.column->effectiveEditor(kvui::RowRef())->alignment();
            AddItem(cg.rect.translated(0, top), cg.column->caption(),
                    RegisterStyle(pal.header1, pal.text, font, align, AllBorders, pal.gridLine));
        }
        top += geom.recordHeight;
    }
    if (!geom.columns.isEmpty())
        for (kvui::TreeNode* node : std::as_const(FNodes)) {
            const int row = FTreeList->rowOfNode(node);
            if (row < 0)
                continue;
            const int level = node->level();
            const int indent = std::max(FTreeList->contentIndent(row), (level + 1) * step);
            // Indent cells, the node's own one with its expand button, then one
            // for each image list the tree shows, holding the node's image.
            const int indentStyle = RegisterStyle(pal.content, pal.text, font, Qt::AlignHCenter, 0, QColor(), 12);
            for (int i = 0; i < level; ++i)
                AddItem(QRect(i * step, top, step, geom.recordHeight), QVariant(), indentStyle);
            QVariant button;
            if (node->hasChildren())
                button = node->isExpanded() ? QStringLiteral("-") : QStringLiteral("+");
            const QList<std::pair<QList<QIcon>, int>> imageLists{{FTreeList->stateImages(), node->stateIndex()},
                                                                {FTreeList->images(), node->imageIndex()}};
            int imagesLeft = indent;
            for (const auto& [list, index] : imageLists)
                if (!list.isEmpty())
                    imagesLeft -= kvui::TreeList::ImageWidth;
            AddItem(QRect(level * step, top, imagesLeft - level * step, geom.recordHeight), button, indentStyle);
            for (const auto& [list, index] : imageLists) {
                if (list.isEmpty())
                    continue;
                TcxTLExportVisualItem* item =
                    AddItem(QRect(imagesLeft, top, kvui::TreeList::ImageWidth, geom.recordHeight), QVariant(), indentStyle);
                if (item && index >= 0 && index < list.size())
                    item->Picture = list[index].pixmap(16, 16).toImage();
                imagesLeft += kvui::TreeList::ImageWidth;
            }
            for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns) {
                QRect bounds = cg.rect.translated(0, top);
                if (cg.rect.left() == 0)
                    bounds.setLeft(indent);
                if (bounds.width() <= 0)
                    continue;
                const kvui::CellFormat format = FTreeList->cellFormat(row, cg.column, true);
                const int borders = DataCellBorders();
                AddItem(bounds, GetDataCellValue(node, cg.column),
                        RegisterStyle(format.background, format.textColor, format.font, format.alignment, borders,
                                      borders ? pal.gridLine : QColor()));
            }
            top += geom.recordHeight;
        }
    if (FTreeList->showFooter() && !geom.columns.isEmpty()) {
        for (const kvui::ViewGeometry::ColumnGeom& cg : geom.columns) {
            const Qt::Alignment align = cg.column->effectiveEditor(kvui::RowRef())->alignment();
            AddItem(QRect(cg.rect.left(), top, cg.rect.width(), geom.lineHeight), FTreeList->footerText(cg.column),
                    RegisterStyle(pal.footer, pal.text, font, align, AllBorders, pal.gridLine));
        }
        top += geom.lineHeight;
    }
    FTreeList->endUpdate();
}

void TcxTreeListExportHelper::WriteCells()
{
    for (int c = 0; c < FColumns.visibleCount(); ++c)
        FProvider->setColumnWidth(c, FColumns.delta(c));
    for (int r = 0; r < FRows.visibleCount(); ++r)
        if (FRows.delta(r) != FDefaultRowHeight)
            FProvider->setRowHeight(r, FRows.delta(r));
    // Background items first, so the cells written over them keep their own look.
    std::stable_sort(FVisualItems.begin(), FVisualItems.end(),
                     [](const TcxTLExportVisualItem& a, const TcxTLExportVisualItem& b) {
                         return a.IsBackground && !b.IsBackground;
                     });
    for (const TcxTLExportVisualItem& item : std::as_const(FVisualItems)) {
        int left, top, right, bottom;
        if (!FColumns.span(item.Bounds.left(), item.Bounds.left() + item.Bounds.width(), left, right)
            || !FRows.span(item.Bounds.top(), item.Bounds.top() + item.Bounds.height(), top, bottom))
            continue;
        const int style = item.Style >= 0 ? item.Style : FDefaultStyleIndex;
        if (item.IsBackground) {
            FProvider->setCellFrame(left, top, right, bottom, style);
            if (item.Value.isValid() && !item.Value.isNull())
                FProvider->setCellValue(left, top, item.Value);
            continue;
        }
        if (!item.Picture.isNull())
            FProvider->setCellPicture(left, top, item.Picture);
        else if (item.Value.isValid() && !item.Value.isNull())
            FProvider->setCellValue(left, top, item.Value);
        FProvider->setCellStyle(left, top, right, bottom, style);
    }
}

void ExportTreeListToFile(const QString& AFileName, kvui::TreeList* ATreeList, int AExportType, bool AExpand,
                          bool ASaveAll, bool AUseNativeFormat, const QStringList& ASeparators, const QString& AFileExt)
{
    if (!ATreeList)
        return;
    const QString fileName = AFileExt.isEmpty() ? AFileName : ReplaceExtension(AFileName, AFileExt);
    if (!ATreeList->isVisible())
        throw EcxTreeListError(NotVisibleControl);
    TcxTreeListExportHelper helper(ATreeList, AExportType, fileName);
    helper.Expand = AExpand;
    helper.IsNativeFormat = AUseNativeFormat;
    helper.SaveAll = ASaveAll;
    if (helper.Provider()->supportsSeparators())
        for (const QString& s : ASeparators)
            helper.Provider()->addSeparator(s);
    helper.DoExport();
}

void ExportTreeListAsHtml(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                          const QString& AFileExt)
{
    ExportTreeListToFile(AFileName, ATreeList, kvui::ExportHtml, AExpand, ASaveAll, false, {}, AFileExt);
}

void ExportTreeListAsXml(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                         const QString& AFileExt)
{
    ExportTreeListToFile(AFileName, ATreeList, kvui::ExportXml, AExpand, ASaveAll, false, {}, AFileExt);
}

void ExportTreeListAsExcel(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                           bool AUseNativeFormat, const QString& AFileExt)
{
    ExportTreeListToFile(AFileName, ATreeList, kvui::ExportXls, AExpand, ASaveAll, AUseNativeFormat, {}, AFileExt);
}

void ExportTreeListAsText(const QString& AFileName, kvui::TreeList* ATreeList, bool AExpand, bool ASaveAll,
                          const QString& ASeparator, const QString& ABeginString, const QString& AEndString,
                          const QString& AFileExt)
{
    ExportTreeListToFile(AFileName, ATreeList, kvui::ExportText, AExpand, ASaveAll, false,
                         {ASeparator, ABeginString, AEndString}, AFileExt);
}
