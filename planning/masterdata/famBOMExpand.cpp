// The BOM expansion frame (TBOMExpandFrame): its columns and editing hooks,
// the view scheme, the row numbers and its commands. Loading and quantities
// are in famBOMExpandLoad.cpp, editing and saving in famBOMExpandEdit.cpp.
#include "famBOMExpand.h"
#include "famBOMExpandPrivate.h"

#include "MessageBox.h"
#include "dlgLossRate.h"
#include "famItemSetting.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untItemSubsRows.h"
#include "untTreeColumns.h"
#include "untViewActions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

using namespace ItemSubsRows;

namespace {

const QString OptItemSubs = QStringLiteral("[ItemSubs]");

} // namespace

// ---- TBOMExpandFrame ------------------------------------------------------

TBOMExpandFrame::TBOMExpandFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef) : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("BOMExpandFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setFixedHeight(35);
    auto* options = new QHBoxLayout(gbxOptions);
    options->setContentsMargins(6, 3, 25, 3);
    options->setSpacing(8);
    chkSubItems = new QCheckBox(QStringLiteral("显示替代物料(&S)"), gbxOptions);
    chkSubItems->setObjectName(QStringLiteral("chkSubItems"));
    lblLossRate = new QLabel(QStringLiteral("试算考虑(&L):"), gbxOptions);
    cboLossRate = new QComboBox(gbxOptions);
    cboLossRate->setObjectName(QStringLiteral("cboLossRate"));
    cboLossRate->addItems({QStringLiteral("(无损耗率)"), QStringLiteral("损耗率(%)"), QStringLiteral("投料损耗率")});
    cboLossRate->setCurrentIndex(1);
    lblLossRate->setBuddy(cboLossRate);
    options->addWidget(chkSubItems);
    options->addStretch(1);
    options->addWidget(lblLossRate);
    options->addWidget(cboLossRate);
    box->addWidget(gbxOptions);

    grdExpand = new kvui::TreeList(this);
    grdExpand->setObjectName(QStringLiteral("grdExpand"));
    box->addWidget(grdExpand, 1);
    const int left = grdExpand->addBand(QString(), kvui::BandFixed::Left);
    const int middle = grdExpand->addBand(QString());
    const int right = grdExpand->addBand(QString(), kvui::BandFixed::Right);
    const auto add = [this](const QString& caption, int band, const char* valueType, int width = 80) {
        return TreeColumns::AddReadOnly(grdExpand, caption, band, valueType, width);
    };
    grdExpand->beginUpdate();
    colBomEntry = add(QStringLiteral("行号"), left, "String", 120);
    colBomItmNo = add(QStringLiteral("物料代码"), left, "String", 100);
    colBomItmID = add(QString(), left, "String");
    colBomRowHook = add(QString(), left, "String");
    colBomItmName = add(QStringLiteral("物料名称"), middle, "String", 110);
    colBomItmSpec = add(QStringLiteral("规格型号"), middle, "String", 100);
    colBomRole = add(QStringLiteral("子项类型"), middle, "String", 70);
    colBomFixed = add(QStringLiteral("固定用量"), middle, "Boolean", 60);
    colBomUnit = add(QStringLiteral("单位"), middle, "String", 50);
    colBomUCurrQty = add(QStringLiteral("用量"), middle, "Float", 70);
    colBomUBaseQty = add(QStringLiteral("用量基数"), middle, "Float", 70);
    colBomPercent = add(QStringLiteral("计划%"), middle, "Float", 50);
    colBomUFullQty = add(QStringLiteral("全局用量"), middle, "Float", 70);
    colBomLossRate = add(QStringLiteral("损耗率(%)"), middle, "Float", 60);
    colBomPutLossRate = add(QStringLiteral("投料损耗率"), middle, "String", 110);
    colBomItmTypeName = add(QStringLiteral("物料属性"), middle, "String", 60);
    colBomItmMrpType = add(QStringLiteral("计划属性"), middle, "Integer", 60);
    colBomBeginDate = add(QStringLiteral("生效日期"), middle, "DateTime");
    colBomEndDate = add(QStringLiteral("失效日期"), middle, "DateTime");
    colBomNote = add(QStringLiteral("备注"), middle, "String", 120);
    colBomBaseUnit = add(QStringLiteral("单位(基本)"), middle, "String", 60);
    colBomCurrQty = add(QStringLiteral("用量(基本)"), middle, "Float", 70);
    colBomBaseQty = add(QStringLiteral("用量基数(基本)"), middle, "Float", 90);
    colBomFullQty = add(QStringLiteral("全局用量(基本)"), middle, "Float", 90);
    for (int i = 0; i < 10; ++i) {
        colBomProp[i] = add(QStringLiteral("辅助项%1").arg(i + 1), middle, "String");
        colBomProp[i]->setTag(-101 - i);
    }
    colBomPropMask = add(QString(), middle, "String");
    colBomProps = add(QString(), middle, "String");
    colBomItmBomNo = add(QStringLiteral("BOM单"), right, "String", 100);
    colBomItmOkRate = add(QStringLiteral("成品率(%)"), right, "Float", 60);
    colBomUTestQty = add(QStringLiteral("试算用量"), right, "Float", 80);
    colBomTestQty = add(QStringLiteral("试算用量(基本)"), right, "Float", 90);
    colBomItmBomID = add(QString(), right, "String");
    colBomUnitFactor = add(QString(), right, "Float");
    colBomItmBomType = add(QString(), right, "Integer");
    colBomItmNo->setTag(-1);
    colBomItmBomNo->setTag(-1);
    for (kvui::Column* c : {colBomItmID, colBomRowHook, colBomPropMask, colBomProps, colBomItmBomID, colBomUnitFactor, colBomItmBomType})
        c->setVisible(false);
    colBomFixed->setEditor(std::make_shared<kvui::CheckBoxProperties>());
    for (kvui::Column* c : {colBomUCurrQty, colBomUBaseQty, colBomPercent, colBomLossRate, colBomCurrQty, colBomBaseQty, colBomItmOkRate})
        c->setEditor(std::make_shared<kvui::TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter));
    auto numbers = std::make_shared<kvui::TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter);
    for (kvui::Column* c : {colBomFullQty, colBomTestQty, colBomUFullQty, colBomUTestQty}) {
        c->setEditor(numbers);
        c->displayTextHook = &TCommonUI::TreeFloatColumnGetDisplayText;
    }
    colBomPutLossRate->setEditor(std::make_shared<TLossRateEditProperties>());
    colBomEntry->displayTextHook = [this](const kvui::RowRef& r, const QVariant&, QString& text) { text = EntryText(r.node); };

    const std::pair<kvui::Column*, const char*> bindings[] = {
        {colBomEntry, "BomEntry"},         {colBomItmNo, "ItmNo"},           {colBomItmName, "ItmName"},
        {colBomItmSpec, "ItmSpec"},        {colBomRole, "BomRoleName"},      {colBomFixed, "BomFixed"},
        {colBomUnit, "UntName"},           {colBomUCurrQty, "BomUQty"},      {colBomUBaseQty, "BomUBaseQty"},
        {colBomPercent, "BomPercent"},     {colBomUFullQty, "BomUFullQty"},  {colBomLossRate, "BomLossRate"},
        {colBomPutLossRate, "BomPutLossRate"}, {colBomItmTypeName, "ItmTypeName"}, {colBomItmMrpType, "ItmMrpType"},
        {colBomBeginDate, "BomBeginDate"}, {colBomEndDate, "BomEndDate"},    {colBomNote, "BomNote"},
        {colBomBaseUnit, "ItmUntName"},    {colBomCurrQty, "BomQty"},        {colBomBaseQty, "BomBaseQty"},
        {colBomFullQty, "BomFullQty"},     {colBomProps, "BomProps"},        {colBomItmBomNo, "BomItmBomNo"},
        {colBomItmOkRate, "BomItmBomOkRate"}, {colBomUTestQty, "BomUTestQty"}, {colBomTestQty, "BomTestQty"},
    };
    for (const auto& [column, field] : bindings)
        BindStaticColumn(column, QLatin1String(field));
    for (int i = 0; i < 10; ++i)
        BindStaticColumn(colBomProp[i], QStringLiteral("BomProp%1").arg(i + 1));
    grdExpand->endUpdate();

    // One picture per node kind (local and global substitute, material, bill,
    // bill to choose, bill chosen, bill not named); the bill choice uses the last three.
    QList<QIcon> kindImages;
    for (QStyle::StandardPixmap p : {QStyle::SP_ArrowRight, QStyle::SP_ArrowForward, QStyle::SP_FileIcon, QStyle::SP_DirIcon,
                                     QStyle::SP_DirLinkIcon, QStyle::SP_DirOpenIcon, QStyle::SP_DirClosedIcon})
        kindImages << style()->standardIcon(p);
    grdExpand->setImages(kindImages);
    grdExpand->setMultiSelect(true);
    grdExpand->setShowTreeLines(false);
    grdExpand->setShowRoot(false);
    grdExpand->setEditingEnabled(true);
    colBomUTestQty->setEditable(true);
    colBomTestQty->setEditable(true);
    colBomItmBomNo->setEditable(true);
    grdExpand->setEditingHook([this](const kvui::RowRef& r, kvui::Column* c) {
        if (!CanEditCell(r.node, c))
            return false;
        FOldValue = r.node->value(c);
        if (c == colBomItmBomNo)
            PrepareBomNoChoice(r.node);
        return true;
    });
    grdExpand->setCanSelectHook([this](kvui::TreeNode* node) {
        if (!GetEditMode() || !node)
            return true;
        const QList<kvui::TreeNode*> selected = grdExpand->selectedNodes();
        return selected.isEmpty() || Kind(selected.first()) != bkLocalSub || Kind(node) == bkLocalSub;
    });
    grdExpand->setExpandingHook([this](kvui::TreeNode* node) {
        if (LevelNotLoaded(node)) {
            FExpanding = node;
            LoadBOMLevel(node);
            FExpanding = nullptr;
        }
        return true;
    });
    grdExpand->setCollapsingHook([](kvui::TreeNode* node) { return node && node->parent() != nullptr; });
    connect(grdExpand, &kvui::BandedView::cellEdited, this,
            [this](int row, kvui::Column* column, const QVariant& oldValue, const QVariant&) {
                CellEdited(grdExpand->nodeAtRow(row), column, oldValue);
            });
    connect(chkSubItems, &QCheckBox::toggled, this, [this] {
        RefreshData(true);
        grdExpand->viewport()->update();
    });
    connect(cboLossRate, &QComboBox::currentIndexChanged, this, [this] {
        if (grdExpand->topCount() > 0)
            RecalcQtys(grdExpand->topNode(0), false);
        grdExpand->viewport()->update();
    });
    ViewComponent = grdExpand;

    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FBomNoEditProperties = std::make_shared<kvui::ImageComboProperties>();
    FBomNoEditProperties->images = grdExpand->images();
    // The choice is built for the row being edited; other rows show their bill's number as text.
    colBomItmBomNo->editorHook = [this](const kvui::RowRef& r) -> kvui::EditorPtr {
        return r.node && r.node == FBomNoEditNode ? FBomNoEditProperties : nullptr;
    };
    if (InfoApplication) {
        FBomQtyUseStdQty = InfoApplication->ReadSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("BomQtyUseStdQty"), false, true);
        FBomExpandVirtualItem =
            InfoApplication->ReadSystemSettingAsBoolean(QStringLiteral("QZ_MRP"), QStringLiteral("BomExpandVirtualItem"), false, true);
    }
    setupPickEditor();
}

TBOMExpandFrame::~TBOMExpandFrame() = default;

bool TBOMExpandFrame::LevelNotLoaded(kvui::TreeNode* ANode)
{
    return ANode && marks(ANode).value(QStringLiteral("NotLoaded")).toInt() != 0;
}

bool TBOMExpandFrame::SubsChanged(kvui::TreeNode* ANode)
{
    return ANode && marks(ANode).value(QStringLiteral("SubsChanged"), -1).toInt() > 0;
}

void TBOMExpandFrame::setupPickEditor()
{
    FPickEditProperties->SQL = BuildItemPickSQL(QStringLiteral("ItmType") + GetItemPropFieldNames(),
                                                QStringLiteral("i.ItmType<>4 and i.ItmDisabled=0 and (") + PickCondition + u')', QString());
    QString caption = QStringLiteral("物料代码");
    if (InfoApplication)
        if (TInfoObjectDef* items = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items")))
            if (PInfoFieldDef f = items->GetFieldDef(QStringLiteral("ItmNo")))
                caption = f->Name.section(u'\\', -1);
    FPickEditProperties->TextField = caption;
    FPickEditProperties->Caption = caption;
    FPickEditProperties->AfterDataPicked = [this, caption](TCustomADODataSet* data, const TBookmarks&) {
        kvui::TreeNode* node = grdExpand->focusedNode();
        if (!node)
            return;
        const QVariant old = node->value(colBomItmNo);
        node->setValue(colBomItmNo, GetFieldValue(data, caption));
        CellEdited(node, colBomItmNo, old);
    };
    colBomItmNo->setEditor(FPickEditProperties);
}

void TBOMExpandFrame::ApplyViewScheme()
{
    TInfoTreeView::ApplyViewScheme();
    colBomEntry->setVisible(true);
    colBomItmNo->setVisible(true);
    colBomUBaseQty->setVisible(colBomUCurrQty->isVisible());
    colBomBaseQty->setVisible(colBomCurrQty->isVisible());
    const QSignalBlocker block(chkSubItems);
    chkSubItems->setChecked(ReadViewSchemeParam(ViewScheme.Params, OptItemSubs).trimmed() == QLatin1String("1"));
    setupPickEditor();
}

void TBOMExpandFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    ViewScheme.Params =
        WriteViewSchemeParam(ViewScheme.Params, OptItemSubs, chkSubItems->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void TBOMExpandFrame::RefreshData(bool ARebuild)
{
    TInfoTreeView::RefreshData(ARebuild);
    if (!ViewScheme.SQLParsed)
        return;
    LoadBOMLevel(nullptr);
    Modified = false;
}

QString TBOMExpandFrame::EntryText(kvui::TreeNode* ANode) const
{
    if (!ANode)
        return QString();
    if (!ANode->parent())
        return QStringLiteral("(产品)");
    const int entry = ANode->value(colBomEntry).toInt();
    QString own;
    if (entry >= 0)
        own = QString::number(entry);
    else if (entry >= GlobalSubEntryBase)
        own = QString(QChar(u'A' + (entry - GlobalSubEntryBase) % 26));
    else
        own = QString(QChar(u'a' + (entry - LocalSubEntryBase) % 26));
    if (!ANode->parent()->parent())
        return own;
    return EntryText(ANode->parent()) + u'.' + own;
}

// ---- commands -------------------------------------------------------------

bool TBOMExpandFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex < Commands::FirstAction)
        return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
    AState = TCommandState();
    if (grdExpand->topCount() == 0)
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    const bool editing = GetEditMode();
    const bool subs = chkSubItems->isChecked();
    kvui::TreeNode* focused = grdExpand->focusedNode();
    const QList<kvui::TreeNode*> selected = grdExpand->selectedNodes();
    const bool single = selected.isEmpty() || (selected.size() == 1 && selected.first() == focused);
    if (is("Update"))
        AState = editing ? TCommandState(csEnabled | csChecked) : TCommandState(csEnabled);
    else if (is("AddSubs"))
        AState = editing && subs && focused && focused->level() >= 1 && single ? csEnabled : TCommandState();
    else if (is("CopySubs"))
        AState = editing && subs && focused && single ? csEnabled : TCommandState();
    else if (is("DelSubs"))
        AState = editing && ((Kind(focused) == bkLocalSub && single) || (selected.size() >= 2 && Kind(selected.first()) == bkLocalSub))
            ? csEnabled
            : TCommandState();
    else if (is("UpSubs"))
        AState = editing && Kind(focused) == bkLocalSub && single && focused->prevSibling() ? csEnabled : TCommandState();
    else if (is("DownSubs"))
        AState = editing && Kind(focused) == bkLocalSub && single && Kind(focused->nextSibling()) == bkLocalSub ? csEnabled
                                                                                                                   : TCommandState();
    return true;
}

bool TBOMExpandFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex < Commands::FirstAction)
        return TInfoTreeView::ExecCommand(ACommandIndex);
    TCommandState state;
    QueryCommandState(ACommandIndex, state);
    if (!(state & csEnabled))
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("Update")) {
        ViewActions::SwitchEditMode(this, true, [this](bool AEditing) { SetExpandEditMode(AEditing); });
    } else if (is("AddSubs")) {
        AddSubs();
    } else if (is("CopySubs")) {
        CopySubs();
    } else if (is("DelSubs")) {
        DelSubs();
    } else if (is("UpSubs")) {
        MoveSubs(true);
    } else if (is("DownSubs")) {
        MoveSubs(false);
    }
    return true;
}

void TBOMExpandFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool, QColor& AOutBrush,
                                            QFont& AOutFont, QColor& AOutTextColor)
{
    if (!ANode)
        return;
    const int kind = Kind(ANode);
    if (!ANode->parent())
        AOutFont.setBold(true);
    if (kind >= bkMaterial) {
        const int mrpType = ANode->value(colBomItmMrpType).toInt();
        const bool made = mrpType >= 2 && mrpType <= 4;
        if (made && ANode->value(colBomItmBomID).toString().isEmpty())
            AOutTextColor = QColor(255, 0, 0);
        else if (!ASelected && ((made && kind == bkBomOther) || (!made && (kind == bkBomChoice || kind == bkBomOther))))
            AOutTextColor = QColor(0, 0, 255);
    } else if (!ASelected) {
        AOutTextColor = QColor(255, 0, 255);
    }
    if (AColumn && AColumn->isEditable() && CanEditCell(ANode, AColumn)) {
        if (AColumn == colBomItmBomNo || AColumn == colBomUTestQty || AColumn == colBomTestQty)
            AOutBrush = ASelected ? QColor(0, 192, 192) : QColor(194, 255, 255);
        else
            AOutBrush = ASelected ? QColor(192, 192, 0) : QColor(255, 255, 194);
        if (AColumn == colBomItmNo && ANode->value(colBomItmID).toString().isEmpty())
            AOutBrush = QColor(255, 0, 0);
    }
}
