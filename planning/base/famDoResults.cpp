#include "famDoResults.h"

#include "clsInfoView.h"
#include "clsTreeView.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace {

const QString DefaultExportName = QStringLiteral("执行结果信息");
const QString PrintSettingClass = QStringLiteral("QZ_SYS");
const QString PrintSettingKey = QStringLiteral("ResultsFramePrint");

// A position shown as a link: underlined text in the cell's text colour,
// never edited in place (a click opens it instead).
class TLinkTextProperties : public kvui::EditorProperties {
public:
    TLinkTextProperties() { setReadOnly(true); }
    void paint(QPainter* p, const QRect& rect, const QVariant&, const QString& text) const override
    {
        QFont f = p->font();
        f.setUnderline(true);
        p->save();
        p->setFont(f);
        p->drawText(rect.adjusted(2, 0, -2, 0), int(alignment()) | Qt::TextSingleLine,
                    p->fontMetrics().elidedText(text, Qt::ElideRight, rect.width() - 4));
        p->restore();
    }
};

int KindImageIndex(TMessageKind AKind)
{
    switch (AKind) {
    case mkInformation:
        return 0;
    case mkWarning:
        return 1;
    case mkError:
        return 2;
    default:
        return -1;
    }
}

QIcon StandardIcon(QStyle::StandardPixmap APixmap)
{
    return QIcon(QApplication::style()->standardIcon(APixmap).pixmap(16, 16));
}

} // namespace

TDoResultFrame::TDoResultFrame(QWidget* AOwner)
    : QFrame(AOwner)
{
    setObjectName(QStringLiteral("DoResultFrame") + QString::number(CurrentTickCount()));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grdResults = new kvui::TreeList(this);
    grdResults->setObjectName(QStringLiteral("grdResults"));
    layout->addWidget(grdResults);

    ImageList << StandardIcon(QStyle::SP_MessageBoxInformation) << StandardIcon(QStyle::SP_MessageBoxWarning)
              << StandardIcon(QStyle::SP_MessageBoxCritical);
    grdResults->setImages(ImageList);

    grdResults->addBand();
    colText = grdResults->addColumn(QStringLiteral("执行结果"));
    colText->setObjectName(QStringLiteral("colText"));
    colText->setEditable(false);
    colText->setWidth(484);
    colPosition = grdResults->addColumn(QStringLiteral("位置"));
    colPosition->setObjectName(QStringLiteral("colPosition"));
    colPosition->setEditor(std::make_shared<TLinkTextProperties>());
    colPosition->setWidth(111);
    colPosition->setVisible(false);
    colPosition1 = grdResults->addColumn();
    colPosition1->setObjectName(QStringLiteral("colPosition1"));
    colPosition1->setValueType(QStringLiteral("Variant"));
    colPosition1->setVisible(false);
    colPosition2 = grdResults->addColumn();
    colPosition2->setObjectName(QStringLiteral("colPosition2"));
    colPosition2->setValueType(QStringLiteral("Variant"));
    colPosition2->setVisible(false);
    for (kvui::Column* c : grdResults->columns()) {
        c->setSortable(false);
        c->setMovable(false);
        c->setGroupable(false);
    }

    grdResults->setSortingEnabled(false);
    grdResults->setShowBandHeaders(false);
    grdResults->setShowIndicator(false);
    grdResults->setShowTreeLines(false);
    grdResults->setShowRoot(false);
    grdResults->setCustomDrawHook([this](kvui::CellDraw& cell) { CustomDrawCell(cell); });
    grdResults->viewport()->installEventFilter(this);
}

void TDoResultFrame::SetFocus()
{
    setFocus();
    grdResults->setFocus();
}

void* TDoResultFrame::AddResultNode(TMessageKind AKind, const QString& AText, const QString& APositionText,
                                    const QVariant& APositionData1, const QVariant& APositionData2, void* AParentNode)
{
    auto* parent = static_cast<kvui::TreeNode*>(AParentNode);
    kvui::TreeNode* node = grdResults->addNode(parent);
    node->setImageIndex(KindImageIndex(AKind));
    node->setValue(colText, AText);
    node->setValue(colPosition, APositionText);
    node->setValue(colPosition1, APositionData1);
    node->setValue(colPosition2, APositionData2);
    if (parent) {
        grdResults->setShowRoot(true);
        grdResults->expandNode(parent);
    }
    grdResults->setFocusedNode(node);
    grdResults->makeRowVisible(grdResults->rowOfNode(node));
    if (grdResults->updateLockCount() <= 0) {
        // Let the user watch the run without starting other work: only the
        // result list receives input while pending messages are handled.
        struct Unlock {
            ~Unlock()
            {
                if (InfoApplication)
                    InfoApplication->LockProcessMessages(0);
            }
        } unlock;
        if (InfoApplication)
            InfoApplication->LockProcessMessages(quintptr(grdResults));
        grdResults->viewport()->update();
        QApplication::processEvents();
    }
    return node;
}

void TDoResultFrame::ChangeResultNode(kvui::TreeNode* AResultNode, TMessageKind AKind, const QString& AText)
{
    if (!AResultNode)
        return;
    const int image = KindImageIndex(AKind);
    if (image > AResultNode->imageIndex())
        AResultNode->setImageIndex(image);
    AResultNode->setValue(colText, AText);
}

TMessageKind TDoResultFrame::GetResultNodeKind(kvui::TreeNode* ANode) const
{
    switch (ANode ? ANode->imageIndex() : -1) {
    case 0:
        return mkInformation;
    case 1:
        return mkWarning;
    case 2:
        return mkError;
    default:
        return mkNone;
    }
}

void TDoResultFrame::ClearResultNodes()
{
    grdResults->clear();
}

void TDoResultFrame::ShowAsGrayStyle(bool AValue)
{
    FGrayStyle = AValue;
    grdResults->cancelEdit();
    colPosition->setEditable(!AValue);
    grdResults->viewPalette().content = AValue ? TColorToQColor(ContentColor()) : QApplication::palette().color(QPalette::Base);
    grdResults->viewport()->update();
}

void TDoResultFrame::ShowTrackPosition(bool AValue)
{
    colPosition->setVisible(AValue);
}

void TDoResultFrame::CustomDrawCell(kvui::CellDraw& ACell) const
{
    kvui::TreeNode* node = ACell.row.node;
    if (!node)
        return;
    if (node->hasChildren())
        ACell.font.setBold(true);
    const bool keepSelection = ACell.selected && (!FGrayStyle || grdResults->hasFocus());
    if (!ACell.selected) {
        if (node->imageIndex() == 1)
            ACell.textColor = QColor(0x80, 0x80, 0x00); // olive
        else if (node->imageIndex() == 2)
            ACell.textColor = QColor(0xFF, 0x00, 0x00);
        else if (ACell.column == colPosition)
            ACell.textColor = FGrayStyle ? TColorToQColor(ContentTextColor()) : QColor(0x00, 0x00, 0xFF);
    }
    if (!keepSelection)
        ACell.background = FGrayStyle ? TColorToQColor(ContentColor()) : QApplication::palette().color(QPalette::Base);
}

void TDoResultFrame::TrackPositionAt(const QPoint& AViewportPos, bool AFromLink)
{
    if (!FOnTrackPosition)
        return;
    const int row = grdResults->rowAt(AViewportPos);
    kvui::TreeNode* node = grdResults->nodeAtRow(row);
    if (!node)
        return;
    if (AFromLink && (grdResults->columnAt(AViewportPos) != colPosition || !colPosition->isEditable()
                      || !colPosition->isVisible()))
        return;
    FOnTrackPosition(node, node->value(colPosition1), node->value(colPosition2));
}

bool TDoResultFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == grdResults->viewport()) {
        if (AEvent->type() == QEvent::MouseButtonDblClick) {
            auto* e = static_cast<QMouseEvent*>(AEvent);
            if (e->button() == Qt::LeftButton) {
                TrackPositionAt(e->position().toPoint(), false);
                return true; // a double click never expands a line here
            }
        } else if (AEvent->type() == QEvent::MouseButtonRelease) {
            auto* e = static_cast<QMouseEvent*>(AEvent);
            const QPoint pos = e->position().toPoint();
            if (e->button() == Qt::LeftButton && grdResults->columnAt(pos) == colPosition
                && !grdResults->cellText(grdResults->rowAt(pos), colPosition).isEmpty())
                TrackPositionAt(pos, true);
        }
    }
    return QFrame::eventFilter(AObject, AEvent);
}

bool TDoResultFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex >= Commands::Export && ACommandIndex <= Commands::PrintPreview) {
        AState = csEnabled;
        return true;
    }
    return false;
}

bool TDoResultFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex == Commands::Export) {
        ExportTreeListToFile(grdResults, FTitle.isEmpty() ? DefaultExportName : FTitle, false);
        return true;
    }
    if (ACommandIndex >= Commands::PageSetup && ACommandIndex <= Commands::PrintPreview) {
        if (FPrintSetting.isEmpty() && InfoApplication)
            FPrintSetting = InfoApplication->ReadSystemSettingAsString(PrintSettingClass, PrintSettingKey, QString(), false);
        PrintTreeList(grdResults, FPrintSetting, ACommandIndex);
        if (InfoApplication)
            InfoApplication->WriteSystemSettingAsString(PrintSettingClass, PrintSettingKey, FPrintSetting, false);
        return true;
    }
    return false;
}
