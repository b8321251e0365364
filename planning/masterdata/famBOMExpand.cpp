#include "famBOMExpand.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgCopyItemSubs.h"
#include "dlgLossRate.h"
#include "famItemSetting.h"
#include "untCommonUI.h"
#include "untDllCommon.h"
#include "untItemSubsEdit.h"
#include "untItemSubsRows.h"
#include "untLossRate.h"
#include "untTreeColumns.h"
#include "untViewActions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QVBoxLayout>

using namespace ItemSubsEdit;
using namespace ItemSubsRows;

namespace {

const QString OptItemSubs = QStringLiteral("[ItemSubs]");
const QString CRLF = QStringLiteral("\r\n");
const QString DuplicateLocalSub = QStringLiteral("局部替代料不允许重复, 替代物料\"%s\"已存在!");
const QString CopiedAlreadyThere = QStringLiteral("选择复制的替代料已存在于目标BOM中。");
const QString LocalSubRole = QStringLiteral("局部替代料");
const QString GlobalSubRole = QStringLiteral("全局替代料");
const QString ExistsTest = QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..%1'))\rdrop table %1\r");
const QString PropColumnsSQL = QStringLiteral("BomProp1 nvarchar(80) null,BomProp2 nvarchar(80) null,BomProp3 nvarchar(80) null,"
                                              "BomProp4 nvarchar(80) null,BomProp5 nvarchar(80) null,BomProp6 nvarchar(80) null,"
                                              "BomProp7 nvarchar(80) null,BomProp8 nvarchar(80) null,BomProp9 nvarchar(80) null,"
                                              "BomProp10 nvarchar(80) null");
const QString BomChoiceSeparator = QString(2, QChar(0xF8F5));
const QDate EndOfTime(9999, 12, 31);

bool isFixed(const QVariant& v)
{
    return kvui::CheckBoxProperties::isChecked(v);
}

// Per-node marks besides the kind: the level still to read and the
// substitutes changed (the row-edited mark is the node's state index).
QVariantMap marks(kvui::TreeNode* ANode)
{
    return ANode->data().toMap();
}

void setMark(kvui::TreeNode* ANode, const char* AName, int AValue)
{
    QVariantMap m = marks(ANode);
    m.insert(QLatin1String(AName), AValue);
    ANode->setData(m);
}

void setLevelNotLoaded(kvui::TreeNode* ANode, bool AOn)
{
    setMark(ANode, "NotLoaded", AOn ? 1 : 0);
}

void setSubsChanged(kvui::TreeNode* ANode, bool AOn)
{
    setMark(ANode, "SubsChanged", AOn ? 1 : -1);
}

QString tempTable(const QString& AName, const QString& AColumns, const QString& AIndexColumns)
{
    return ExistsTest.arg(AName) + QStringLiteral("create table %1 (%2)\rcreate index %1Idx on %1 (%3)\r").arg(AName, AColumns, AIndexColumns);
}

QString refGetBomSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_RefGetBOM"), QStringLiteral("PrdID nvarchar(50) null,BomType tinyint null,BomID nvarchar(50) null"),
                     QStringLiteral("PrdID, BomType, BomID"));
}

QString bomHeadSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BOMHead"),
                     QStringLiteral("BomType tinyint null,BomID nvarchar(50) null,BomNo nvarchar(80) null,BomItmID nvarchar(50) not null,"
                                    "BomProps nvarchar(100) not null default(''),") +
                         PropColumnsSQL +
                         QStringLiteral(",BomQty decimal(28,8) null,BomUntID nvarchar(50) null,BomUQty decimal(28,8) null,"
                                        "BomOkRate decimal(28,8) null,BomSkip bit null,BomNote nvarchar(500) null"),
                     QStringLiteral("BomType, BomID"));
}

QString bomSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BOM"),
                     QStringLiteral("BomType tinyint null,BomID nvarchar(50) null,BomNo nvarchar(80) null,BomPrdID nvarchar(50) null,"
                                    "BomPrdOkRate decimal(28,8) null,BomEntry int null,BomItmID nvarchar(50) not null,"
                                    "BomProps nvarchar(100) not null default(''),") +
                         PropColumnsSQL +
                         QStringLiteral(",BomFixed bit null,BomQty decimal(28,8) null,BomBaseQty decimal(28,8) null,"
                                        "BomLossRate decimal(28,8) null,BomPutLossRate varchar(500) null,BomUntID nvarchar(50) null,"
                                        "BomUQty decimal(28,8) null,BomUBaseQty decimal(28,8) null,BomPercent decimal(28,8) null,"
                                        "BomRowHook varchar(50) null,BomBeginDate datetime null,BomEndDate datetime null,"
                                        "BomOffsetDay int null,BomPosition nvarchar(500) null,BomPosNo nvarchar(500) null,"
                                        "BomStkID nvarchar(50) null,BomOperSeq nvarchar(50) null,BomOperID nvarchar(50) null,"
                                        "BomDrawType nvarchar(80) null,BomRole tinyint null,BomRoleName nvarchar(80) null,"
                                        "BomItmBomType tinyint null,BomItmBomID nvarchar(50) null,BomItmBomNo nvarchar(80) null,"
                                        "BomItmBomOkRate decimal(28,8) null,BomItmBomLocked bit null,BomItmBomSkip tinyint null,"
                                        "BomNote nvarchar(500) null,BomNote1 nvarchar(500) null,BomNote2 nvarchar(500) null,"
                                        "BomNote3 nvarchar(500) null"),
                     QStringLiteral("BomType, BomID"));
}

QString bomRefItemsSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_BomRefItems"), QStringLiteral("BomItmID nvarchar(50) null,BomRowHook varchar(50) null"),
                     QStringLiteral("BomItmID, BomRowHook"));
}

QString itemSubsSQL()
{
    return tempTable(QStringLiteral("#QZ_MRP_ItemSubs"),
                     QStringLiteral("BomRowHook varchar(50) null,BomProps nvarchar(100) not null default(''),") + PropColumnsSQL +
                         QStringLiteral(",SubGlobal bit null,SubPriority int null,SubRItmID nvarchar(50) null,SubQty decimal(18,8) null,"
                                        "SubRQty decimal(18,8) null,SubReplace bit null,SubBeginDate datetime null,"
                                        "SubEndDate datetime null,SubNote nvarchar(500) null"),
                     QStringLiteral("SubRItmID"));
}

} // namespace

QString MasterValueLiteral(const QString& AValue, bool& AOk)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    static const QRegularExpression text(QStringLiteral("^[Nn]?'([^']|'')*'$"));
    const QString v = AValue.trimmed();
    AOk = v.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0 || number.match(v).hasMatch() || text.match(v).hasMatch();
    return AOk ? v : QString();
}

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

// ---- loading --------------------------------------------------------------

void TBOMExpandFrame::fillItemProps(kvui::TreeNode* ANode, TCustomADODataSet* AData)
{
    for (int i = 0; i < 10; ++i)
        ANode->setValue(colBomProp[i], GetFieldValue(AData, QStringLiteral("BomProp%1").arg(i + 1)));
    ANode->setValue(colBomProps, GetFieldValue(AData, QStringLiteral("BomProps")));
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        ANode->setValue(FColumns[i], GetFieldValue(AData, FColumnFieldNames[i]));
}

void TBOMExpandFrame::LoadBOMLevel(kvui::TreeNode* ANode)
{
    WaitCursor wait;
    UpdateBracket bracket(grdExpand);
    QString itemSelect, itemJoin;
    GetItemPropSelectSQL(itemSelect, itemJoin);
    const auto v = [](const char* field) { return GetFieldValue(GlobalADOQuery, QLatin1String(field)); };

    if (!ANode) {
        grdExpand->clear();
        FBomNoEditNode = nullptr;
        bool okItem = false, okType = false, okID = false;
        const QString item = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomItmID"), CRLF), okItem);
        const QString type = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomType"), CRLF), okType);
        const QString id = MasterValueLiteral(ReadDelimitedValue(MasterValues, QStringLiteral("BomID"), CRLF), okID);
        // Values that are no SQL literals never reach the statement.
        if (!okItem || !okType || !okID || SameText(item, QStringLiteral("null")))
            return;
        const QString sql = refGetBomSQL() + bomHeadSQL() +
            QStringLiteral("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values (%1, %2, %3)\r").arg(item, type, id) +
            QStringLiteral("exec QZ_MRP_GetBOMHead\r"
                           "select s.*, ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end),"
                           "i.ItmNo, i.ItmName, i.ItmSpec, i.ItmTypeName, u.UntName, u.UntFactor, ItmUntName=ub.UntName") +
            itemSelect +
            QStringLiteral(" from #QZ_MRP_BOMHead as s with(nolock) left join QZ_Base_ItemMaster as i with(nolock) on s.BomItmID=i.ItmID"
                           " left join QZ_Base_Unit as u with(nolock) on s.BomUntID=u.UntID left join QZ_Base_Unit as ub with(nolock) "
                           "on i.ItmUnitID=ub.UntID left join QZ_MRP_ItemSetting as t with(nolock) on s.BomItmID=t.ItmID") +
            itemJoin + QStringLiteral("\rdrop table #QZ_MRP_BOMHead\rdrop table #QZ_MRP_RefGetBOM");
        if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
            return;
        if (GlobalADOQuery->Eof()) {
            GlobalADOQuery->Close();
            return;
        }
        kvui::TreeNode* root = grdExpand->addNode();
        root->setValue(colBomItmID, v("BomItmID"));
        root->setValue(colBomItmNo, v("ItmNo"));
        root->setValue(colBomItmName, v("ItmName"));
        root->setValue(colBomItmSpec, v("ItmSpec"));
        root->setValue(colBomItmTypeName, v("ItmTypeName"));
        root->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(v("ItmMrpType").toInt()));
        root->setValue(colBomPercent, 100.0);
        root->setValue(colBomUnit, v("UntName"));
        root->setValue(colBomUnitFactor, v("UntFactor").isNull() ? 1.0 : Num(v("UntFactor")));
        for (kvui::Column* c : {colBomUCurrQty, colBomUFullQty, colBomUTestQty})
            root->setValue(c, Num(v("BomUQty")));
        root->setValue(colBomUBaseQty, 1.0);
        root->setValue(colBomBaseQty, 1.0);
        root->setValue(colBomNote, v("BomNote"));
        root->setValue(colBomBaseUnit, v("ItmUntName"));
        for (kvui::Column* c : {colBomCurrQty, colBomFullQty, colBomTestQty})
            root->setValue(c, Num(v("BomQty")));
        root->setValue(colBomItmBomType, v("BomType").toInt());
        root->setValue(colBomItmBomID, v("BomID"));
        root->setValue(colBomItmBomNo, v("BomNo"));
        root->setValue(colBomItmOkRate, v("BomOkRate"));
        fillItemProps(root, GlobalADOQuery);
        GlobalADOQuery->Close();
        root->setImageIndex(bkBom);
        setLevelNotLoaded(root, true);
        root->setHasChildren(true);
        ANode = root;
    }

    // The next level of ANode.
    const bool withSubs = chkSubItems->isChecked();
    const QString fields = QStringLiteral(
        "ItmNo|ItmMrpType|BomUQty|BomUBaseQty|BomQty|BomBaseQty|BomPercent|BomLossRate|BomPutLossRate|BomItmBomOkRate|BomBeginDate|"
        "BomEndDate|BomNote|BomProp1|BomProp2|BomProp3|BomProp4|BomProp5|BomProp6|BomProp7|BomProp8|BomProp9|BomProp10|"
        "BomEntry|ItmName|ItmSpec|ItmTypeName|BomRoleName|BomFixed|UntName|ItmUntName|BomItmBomNo");
    QString selectList = BuildFieldSelectList(this, fields).trimmed();
    if (selectList.startsWith(u','))
        selectList = selectList.mid(1).trimmed();
    selectList += QStringLiteral(", s.BomItmID, s.BomProps, s.BomRowHook, s.BomItmBomType, s.BomItmBomID, u.UntFactor, "
                                 "ItmBomCount=(case when s.BomItmBomLocked=1 then 1 else m.ItmBomCount end)");
    QString mainFilter;
    const QString from = InfoApplication ? InfoApplication->GetInfoObjectDataSourceSQL(ObjectDef, selectList, mainFilter) : QString();
    const QString sql = refGetBomSQL() + bomSQL() +
        QStringLiteral("insert #QZ_MRP_RefGetBOM (PrdID, BomType, BomID) values (%1, %2, %3)\r")
            .arg(QuotedStr(ANode->value(colBomItmID).toString()))
            .arg(ANode->value(colBomItmBomType).toInt())
            .arg(QuotedStr(ANode->value(colBomItmBomID).toString())) +
        QStringLiteral("exec QZ_MRP_GetBOM @ForceOneLevel=%1\rexec QZ_MRP_SetBOMForBomItem\r").arg(withSubs ? 0 : 1) +
        QStringLiteral("select ") + selectList + QStringLiteral(" from ") + from +
        QStringLiteral(" left join (select s.BomItmID, ItmBomCount=count(*) from (select distinct BomItmID from #QZ_MRP_BOM with(nolock)) as s "
                       "join QZ_MRP_ItemBOMs as m with(nolock) on s.BomItmID=m.BomItmID where BomStandalone=1 group by s.BomItmID) as m "
                       "on s.BomItmID=m.BomItmID order by s.BomEntry\rdrop table #QZ_MRP_RefGetBOM");
    int rows = 0;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
        const double parentFactor = Num(ANode->value(colBomUnitFactor)) == 0 ? 1 : Num(ANode->value(colBomUnitFactor));
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            ++rows;
            kvui::TreeNode* n = grdExpand->addNode(ANode);
            n->setValue(colBomEntry, v("BomEntry").toInt());
            n->setValue(colBomItmID, v("BomItmID"));
            n->setValue(colBomItmNo, v("ItmNo"));
            n->setValue(colBomItmName, v("ItmName"));
            n->setValue(colBomItmSpec, v("ItmSpec"));
            n->setValue(colBomItmTypeName, v("ItmTypeName"));
            const int mrpType = v("ItmMrpType").toInt();
            n->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(mrpType));
            n->setValue(colBomRole, v("BomRoleName"));
            n->setValue(colBomPercent, Num(v("BomPercent")));
            n->setValue(colBomBaseUnit, v("ItmUntName"));
            n->setValue(colBomCurrQty, Num(v("BomQty")));
            n->setValue(colBomBaseQty, Num(v("BomBaseQty")));
            n->setValue(colBomUnit, v("UntName"));
            n->setValue(colBomUnitFactor, v("UntFactor").isNull() ? 1.0 : Num(v("UntFactor")));
            n->setValue(colBomFixed, v("BomFixed"));
            n->setValue(colBomUCurrQty, Num(v("BomUQty")));
            n->setValue(colBomUBaseQty, Round8(Num(v("BomBaseQty")) / parentFactor));
            n->setValue(colBomLossRate, Num(v("BomLossRate")));
            n->setValue(colBomPutLossRate, v("BomPutLossRate"));
            n->setValue(colBomBeginDate, v("BomBeginDate"));
            n->setValue(colBomEndDate, v("BomEndDate"));
            n->setValue(colBomNote, v("BomNote"));
            n->setValue(colBomRowHook, v("BomRowHook"));
            fillItemProps(n, GlobalADOQuery);
            if (mrpType >= 2 && mrpType <= 4) {
                n->setValue(colBomItmBomType, v("BomItmBomType").toInt());
                n->setValue(colBomItmBomID, v("BomItmBomID"));
                n->setValue(colBomItmBomNo, v("BomItmBomNo"));
                n->setValue(colBomItmOkRate, v("BomItmBomOkRate"));
            } else {
                n->setValue(colBomItmBomType, 0);
                n->setValue(colBomItmBomID, QString());
                n->setValue(colBomItmBomNo, QString());
                n->setValue(colBomItmOkRate, QVariant());
            }
            const int bomCount = v("ItmBomCount").toInt();
            const bool unfolds = !n->value(colBomItmBomID).toString().isEmpty();
            n->setHasChildren(unfolds);
            setLevelNotLoaded(n, unfolds);
            if (unfolds)
                n->setImageIndex(bomCount > 1 && v("BomItmBomType").toInt() == 0 ? bkBomChoice : bkBom);
            else
                n->setImageIndex(bomCount == 0 ? bkMaterial : bkBomUnnamed);
        }
        GlobalADOQuery->Close();
    }

    if (withSubs && rows > 0) {
        const QString subsSql = bomRefItemsSQL() + itemSubsSQL() +
            QStringLiteral("insert #QZ_MRP_BomRefItems (BomItmID, BomRowHook) select BomItmID, BomRowHook from #QZ_MRP_BOM with(nolock)\r") +
            QStringLiteral("exec QZ_MRP_GetItemSubstitutes %1, %2\r")
                .arg(ANode->value(colBomItmBomType).toInt())
                .arg(QuotedStr(ANode->value(colBomItmBomID).toString())) +
            QStringLiteral("select s.*, ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end),"
                           "i.ItmNo, i.ItmName, i.ItmSpec, i.ItmTypeName, u.UntName, u.UntFactor, ItmUntName=ub.UntName,") +
            PropMaskSQL + itemSelect +
            QStringLiteral(" from #QZ_MRP_ItemSubs as s with(nolock) left join QZ_Base_ItemMaster as i with(nolock) on s.SubRItmID=i.ItmID"
                           " left join QZ_Base_Unit as u with(nolock) on i.ItmInvUnitID=u.UntID left join QZ_Base_Unit as ub with(nolock) "
                           "on i.ItmUnitID=ub.UntID left join QZ_MRP_ItemSetting as t with(nolock) on s.SubRItmID=t.ItmID") +
            itemJoin +
            QStringLiteral(" order by s.BomRowHook, s.SubGlobal, s.SubPriority\rdrop table #QZ_MRP_BomRefItems\r"
                           "drop table #QZ_MRP_ItemSubs\rdrop table #QZ_MRP_BOM");
        if (ExecSQLText(GlobalADOQuery, subsSql, true, false, true)) {
            QString hook;
            bool first = true;
            kvui::TreeNode* row = nullptr;
            int lastLocal = -1;
            for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
                const QString rowHook = v("BomRowHook").toString();
                if (first || rowHook != hook) {
                    first = false;
                    hook = rowHook;
                    row = nullptr;
                    lastLocal = -1;
                    for (kvui::TreeNode* c : ANode->children())
                        if (Kind(c) >= bkMaterial && SameText(c->value(colBomRowHook).toString(), rowHook)) {
                            row = c;
                            break;
                        }
                }
                if (!row)
                    continue;
                kvui::TreeNode* s = grdExpand->addNode(row);
                const int position = s->index();
                if (v("SubGlobal").toBool()) {
                    s->setValue(colBomRole, GlobalSubRole);
                    s->setValue(colBomEntry, GlobalSubEntryBase + (position - lastLocal - 1));
                    s->setImageIndex(bkGlobalSub);
                } else {
                    lastLocal = position;
                    s->setValue(colBomRole, LocalSubRole);
                    s->setValue(colBomEntry, LocalSubEntryBase + position);
                    s->setImageIndex(bkLocalSub);
                }
                s->setValue(colBomItmID, v("SubRItmID"));
                s->setValue(colBomItmNo, v("ItmNo"));
                s->setValue(colBomItmName, v("ItmName"));
                s->setValue(colBomItmSpec, v("ItmSpec"));
                s->setValue(colBomItmTypeName, v("ItmTypeName"));
                s->setValue(colBomItmMrpType, v("ItmMrpType").isNull() ? QVariant() : QVariant(v("ItmMrpType").toInt()));
                s->setValue(colBomPercent, 100.0);
                s->setValue(colBomBaseUnit, v("ItmUntName"));
                s->setValue(colBomBaseQty, Num(v("SubQty")));
                s->setValue(colBomCurrQty, Num(v("SubRQty")));
                s->setValue(colBomUnit, v("UntName"));
                const double factor = v("UntFactor").isNull() || Num(v("UntFactor")) == 0 ? 1.0 : Num(v("UntFactor"));
                s->setValue(colBomUnitFactor, factor);
                const double rowFactor = Num(row->value(colBomUnitFactor)) == 0 ? 1 : Num(row->value(colBomUnitFactor));
                s->setValue(colBomUBaseQty, Round8(Num(v("SubQty")) / rowFactor));
                s->setValue(colBomUCurrQty, Round8(Num(v("SubRQty")) / factor));
                s->setValue(colBomBeginDate, v("SubBeginDate"));
                s->setValue(colBomEndDate, v("SubEndDate"));
                s->setValue(colBomNote, v("SubNote"));
                s->setValue(colBomPropMask, v("PropMask"));
                s->setValue(colBomLossRate, 0.0);
                fillItemProps(s, GlobalADOQuery);
            }
            GlobalADOQuery->Close();
        }
    }

    ANode->setHasChildren(ANode->childCount() > 0);
    setLevelNotLoaded(ANode, false);
    if (ANode->childCount() > 0) {
        RecalcQtys(ANode, false);
        if (ANode != FExpanding)
            ANode->setExpanded(true);
    }
}

// ---- quantities -----------------------------------------------------------

void TBOMExpandFrame::CalcNodeQtys(kvui::TreeNode* ANode)
{
    kvui::TreeNode* p = ANode ? ANode->parent() : nullptr;
    if (!p)
        return;
    const bool fixed = isFixed(ANode->value(colBomFixed));
    const double curr = Num(ANode->value(colBomCurrQty));
    const double percent = Num(ANode->value(colBomPercent));
    const double base = Num(ANode->value(colBomBaseQty));
    const double factor = Num(ANode->value(colBomUnitFactor));
    if (base == 0 || factor == 0) {
        // A usage without a base or unit factor has no defined result.
        for (kvui::Column* c : {colBomFullQty, colBomUFullQty, colBomTestQty, colBomUTestQty})
            ANode->setValue(c, QVariant());
        return;
    }
    const double s = fixed ? 1 : Num(p->value(colBomFullQty));
    ANode->setValue(colBomFullQty, Round8(s * curr * percent / 100 / base));
    ANode->setValue(colBomUFullQty, Round8(s * curr * percent / 100 / base / factor));

    const int mode = cboLossRate->currentIndex();
    double yield = 100;
    if (mode != 0) {
        yield = Num(p->value(colBomItmOkRate));
        if (!(yield > 0))
            yield = 100;
    }
    const double t = fixed ? 1 : Num(p->value(colBomTestQty)) * 100 / yield;
    double q = t * curr * percent / 100 / base;
    if (!FBomQtyUseStdQty)
        q = Round8(q / factor);
    const double rate = Num(ANode->value(colBomLossRate));
    if (mode == 1)
        q = q + CalcStepLossRateQty(q, rate);
    else if (mode == 2)
        q = q + ParseLossRateSteps(ANode->value(colBomPutLossRate).toString(), q, rate);
    if (FBomQtyUseStdQty) {
        ANode->setValue(colBomTestQty, Round8(q));
        ANode->setValue(colBomUTestQty, Round8(q / factor));
    } else {
        ANode->setValue(colBomUTestQty, Round8(q));
        ANode->setValue(colBomTestQty, Round8(q * factor));
    }
}

void TBOMExpandFrame::RecalcQtys(kvui::TreeNode* ANode, bool AWithSelf)
{
    if (!ANode)
        return;
    UpdateBracket bracket(grdExpand);
    if (AWithSelf)
        CalcNodeQtys(ANode);
    for (kvui::TreeNode* child : ANode->children()) {
        CalcNodeQtys(child);
        if (child->childCount() > 0)
            RecalcQtys(child, false);
    }
}

// ---- edit mode and cells --------------------------------------------------

bool TBOMExpandFrame::lossTextEditable() const
{
    return colBomPutLossRate->isEditable();
}

void TBOMExpandFrame::SetExpandEditMode(bool AValue)
{
    UpdateBracket bracket(grdExpand);
    SetEditMode(AValue);
    Modified = false;
    const bool subs = chkSubItems->isChecked();
    if (AValue) {
        grdExpand->clearSorting();
        colBomPutLossRate->setVisible(true);
        if (subs) {
            const auto defines = [this](const QString& field) { return ObjectDef && ObjectDef->GetFieldDef(field); };
            colBomItmNo->setVisible(true);
            if (defines(QStringLiteral("BomUQty")))
                colBomUCurrQty->setVisible(true);
            else
                colBomCurrQty->setVisible(true);
            if (defines(QStringLiteral("BomUBaseQty")))
                colBomUBaseQty->setVisible(true);
            else
                colBomBaseQty->setVisible(true);
            ShowSubstituteEditColumns(SubsColumnsOf(*this), ObjectDef);
        }
    }
    chkSubItems->setEnabled(!AValue);
    SetSubstitutesEditable(SubsColumnsOf(*this), AValue);
    colBomPutLossRate->setEditable(AValue && !(subs && FBomExpandVirtualItem));
    colBomItmBomNo->setEditable(!AValue);
    grdExpand->setSortingEnabled(!AValue);
}

bool TBOMExpandFrame::CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode || !AColumn || !AColumn->isEditable())
        return false;
    const int kind = Kind(ANode);
    const int level = ANode->level();
    if (kind == bkGlobalSub)
        return false;
    if (AColumn == colBomUTestQty || AColumn == colBomTestQty)
        return level == 0;
    if (AColumn == colBomItmBomNo)
        return !GetEditMode() && level >= 1 && kind >= bkBomChoice;
    if (AColumn == colBomPutLossRate)
        return GetEditMode() && level >= 1 && kind != bkLocalSub;
    if (!GetEditMode() || level < 1 || kind != bkLocalSub)
        return false;
    if (AColumn->tag() < -100) {
        const int n = -AColumn->tag() - 100;
        return ANode->value(colBomPropMask).toString().mid(n - 1, 1) == QLatin1String("1");
    }
    return true;
}

void TBOMExpandFrame::CellEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue)
{
    if (!ANode || !AColumn)
        return;
    const QVariant value = ANode->value(AColumn);
    if (value == AOldValue && value.toString() == AOldValue.toString())
        return;
    if (ANode->level() == 0 && (AColumn == colBomUTestQty || AColumn == colBomTestQty)) {
        const double factor = Num(ANode->value(colBomUnitFactor)) == 0 ? 1 : Num(ANode->value(colBomUnitFactor));
        const double q = Num(value);
        ANode->setValue(AColumn, q);
        if (AColumn == colBomUTestQty)
            ANode->setValue(colBomTestQty, q * factor);
        else
            ANode->setValue(colBomUTestQty, q / factor);
        RecalcQtys(ANode, false);
        return;
    }
    if (AColumn == colBomItmBomNo) {
        BomNoChanged(ANode, value);
        return;
    }
    if (!GetEditMode())
        return;
    Modified = true;
    if (Kind(ANode) == bkLocalSub)
        MarkSubsChanged(ANode->parent());
    else
        ANode->setStateIndex(1);
    const TSubsColumns cols = SubsColumnsOf(*this);
    if (ApplyQtyEdit(ANode, AColumn, cols)) {
        RecalcQtys(ANode, true);
    } else if (AColumn == colBomLossRate) {
        bool ok = false;
        double rate = value.toString().trimmed().toDouble(&ok);
        if (!ok || rate < 0)
            rate = 0;
        ANode->setValue(colBomLossRate, rate);
        RecalcQtys(ANode, true);
    } else if (AColumn == colBomPutLossRate) {
        RecalcQtys(ANode, true);
    } else if (AColumn == colBomBeginDate || AColumn == colBomEndDate) {
        FillOpenValidity(ANode, AColumn, cols);
    } else if (AColumn == colBomItmNo) {
        ItemPicked(ANode, value.isNull() ? QString() : value.toString().trimmed());
    }
}

QString TBOMExpandFrame::itemSelectSQL(const QString& AWhere)
{
    QString itemSelect, itemJoin;
    GetItemPropSelectSQL(itemSelect, itemJoin);
    return QStringLiteral("select i.ItmID, ItmName, ItmSpec, ItmTypeName, ub.UntName, "
                          "ItmMrpType=(case when t.ItmMrpType<>0 then t.ItmMrpType else i.ItmType end),") +
        PropMaskSQL + itemSelect +
        QStringLiteral(" from QZ_Base_ItemMaster as i with(nolock) left join QZ_Base_Unit as ub with(nolock) on i.ItmUnitID=ub.UntID"
                       " left join QZ_MRP_ItemSetting as t with(nolock) on i.ItmID=t.ItmID") +
        itemJoin + QStringLiteral(" where ") + AWhere;
}

void TBOMExpandFrame::ItemPicked(kvui::TreeNode* ANode, const QString& AItemNo)
{
    if (!ANode)
        return;
    FillSubstituteItem(ANode, AItemNo, SubsColumnsOf(*this), [this](const QString& AWhere) { return itemSelectSQL(AWhere); },
                       FColumnFieldNames.mid(FStaticColumnCount), FColumns.mid(FStaticColumnCount));
    RecalcQtys(ANode, true);
}

void TBOMExpandFrame::PrepareBomNoChoice(kvui::TreeNode* ANode)
{
    FBomNoEditProperties->items.clear();
    FBomNoEditPopupIDs.clear();
    FBomNoEditNode = ANode;
    if (!ANode)
        return;
    bool hasDefault = false;
    if (ExecSQLText(GlobalADOQuery,
                    QStringLiteral("select BomType, BomID, BomNo, BomOkRate, BomIsDefault, Checked from QZ_MRP_ItemBOMs with(nolock) "
                                   "where BomItmID=%1 and BomItmProps=%2 and BomStandalone=1 order by BomIsDefault desc, Checked desc, "
                                   "BomDate desc")
                        .arg(QuotedStr(ANode->value(colBomItmID).toString()), QuotedStr(ANode->value(colBomProps).toString())),
                    true, false, true)) {
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            const auto v = [](const char* f) { return GetFieldValue(GlobalADOQuery, QLatin1String(f)); };
            const bool isDefault = v("BomIsDefault").toBool();
            hasDefault = hasDefault || isDefault;
            const QString no = v("BomNo").toString();
            const QString mark = isDefault ? QStringLiteral(" (默认)") : (v("Checked").toBool() ? QString() : QStringLiteral(" (未审核)"));
            FBomNoEditProperties->addItem(no, no + mark, isDefault ? 4 : 5);
            FBomNoEditPopupIDs << v("BomType").toString() + BomChoiceSeparator + v("BomID").toString() + BomChoiceSeparator +
                    v("BomOkRate").toString();
        }
        GlobalADOQuery->Close();
    }
    const int mrpType = ANode->value(colBomItmMrpType).toInt();
    if (!hasDefault || mrpType < 2 || mrpType > 4) {
        FBomNoEditProperties->addItem(QString(), QString(), 6);
        FBomNoEditPopupIDs << QString();
    }
}

void TBOMExpandFrame::BomNoChanged(kvui::TreeNode* ANode, const QVariant& AValue)
{
    if (!ANode)
        return;
    const QString chosen = AValue.isNull() ? QString() : AValue.toString();
    if (chosen == FOldValue.toString() && !FOldValue.isNull())
        return;
    const int index = FBomNoEditProperties->indexOfValue(chosen);
    const QString entry = index >= 0 && index < FBomNoEditPopupIDs.size() ? FBomNoEditPopupIDs[index] : QString();
    UpdateBracket bracket(grdExpand);
    const QList<kvui::TreeNode*> children = ANode->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it)
        if (!chkSubItems->isChecked() || Kind(*it) >= bkMaterial)
            grdExpand->deleteNode(*it);
    const QStringList parts = entry.split(BomChoiceSeparator);
    bool ok = false;
    const int type = parts.value(0).toInt(&ok);
    ANode->setValue(colBomItmBomType, ok ? type : 0);
    ANode->setValue(colBomItmBomID, parts.value(1));
    const double rate = parts.value(2).toDouble(&ok);
    ANode->setValue(colBomItmOkRate, ok ? rate : 0.0);
    ANode->setImageIndex(index >= 0 ? FBomNoEditProperties->items[index].imageIndex : bkBomUnnamed);
    const bool chosenBill = !parts.value(1).isEmpty();
    ANode->setHasChildren(ANode->childCount() > 0 || chosenBill);
    setLevelNotLoaded(ANode, chosenBill);
    ANode->setValue(colBomItmBomNo, chosen);
    FOldValue = chosen;
    if (ANode->hasChildren())
        ANode->setExpanded(true);
}

void TBOMExpandFrame::MarkSubsChanged(kvui::TreeNode* ARow)
{
    if (!ARow)
        return;
    setSubsChanged(ARow, true);
    if (!ARow->parent())
        return;
    // The same item used twice in one bill has its substitutes on both rows.
    const QString item = ARow->value(colBomItmID).toString();
    for (kvui::TreeNode* sibling : ARow->parent()->children())
        if (Kind(sibling) >= bkMaterial && SameText(sibling->value(colBomItmID).toString(), item))
            setSubsChanged(sibling, true);
}

// ---- adding, copying, deleting and moving ---------------------------------

kvui::TreeNode* TBOMExpandFrame::insertLocalSub(kvui::TreeNode* ARow)
{
    int largest = LocalSubEntryBase - 1;
    int before = 0;
    for (kvui::TreeNode* child : ARow->children()) {
        if (Kind(child) != bkLocalSub)
            break;
        largest = std::max(largest, child->value(colBomEntry).toInt());
        ++before;
    }
    kvui::TreeNode* node = grdExpand->insertNode(ARow, before);
    node->setImageIndex(bkLocalSub);
    node->setValue(colBomEntry, largest + 1);
    node->setValue(colBomRole, LocalSubRole);
    node->setValue(colBomPercent, 100.0);
    node->setValue(colBomLossRate, 0.0);
    node->setValue(colBomPutLossRate, QString());
    ARow->setHasChildren(true);
    return node;
}

void TBOMExpandFrame::AddSubs()
{
    kvui::TreeNode* focused = grdExpand->focusedNode();
    if (!focused || !focused->parent())
        return;
    kvui::TreeNode* row = Kind(focused) <= bkGlobalSub ? focused->parent() : focused;
    row->setExpanded(true);
    kvui::TreeNode* node = nullptr;
    {
        UpdateBracket bracket(grdExpand);
        node = insertLocalSub(row);
        node->setValue(colBomUCurrQty, 1.0);
        node->setValue(colBomUBaseQty, 1.0);
        node->setValue(colBomCurrQty, 1.0);
        node->setValue(colBomBaseQty, Num(row->value(colBomUnitFactor)) == 0 ? 1.0 : Num(row->value(colBomUnitFactor)));
        node->setValue(colBomUnitFactor, 1.0);
        node->setValue(colBomBeginDate, QDate::currentDate());
        node->setValue(colBomEndDate, EndOfTime);
        RecalcQtys(node, true);
        MarkSubsChanged(row);
        Modified = true;
    }
    row->setExpanded(true);
    focusCell(node, colBomItmNo);
}

void TBOMExpandFrame::CopySubs()
{
    kvui::TreeNode* focused = grdExpand->focusedNode();
    if (!focused)
        return;
    kvui::TreeNode* product = focused;
    if (Kind(focused) <= bkGlobalSub)
        product = focused->parent() ? focused->parent()->parent() : nullptr;
    else if (focused->parent())
        product = focused->parent();
    if (!product)
        return;
    QString text = product->value(colBomItmNo).toString() + QStringLiteral(" (") + product->value(colBomItmName).toString() +
        QStringLiteral(" / ") + product->value(colBomItmSpec).toString() + u')';
    for (kvui::Column* c : colBomProp)
        if (!product->value(c).toString().isEmpty())
            text += QStringLiteral(" / ") + product->value(c).toString();
    QString freeFields = GetItemPropFieldNames();
    TItemSubRecs subs;
    bool overwrite = false;
    if (!ShowCopyItemSubsDlg(product, colBomItmID, colBomProps, product->value(colBomItmBomType).toInt(),
                             product->value(colBomItmBomID).toString(), text, freeFields, subs, overwrite))
        return;
    const QStringList freeIDs = freeFields.split(u'\n', Qt::SkipEmptyParts);
    QList<kvui::TreeNode*> added;
    QList<kvui::TreeNode*> cleared;
    {
        WaitCursor wait;
        UpdateBracket bracket(grdExpand);
        for (const TItemSubRec& rec : subs) {
            for (kvui::TreeNode* row : product->children()) {
                if (Kind(row) < bkMaterial || !SameText(row->value(colBomItmID).toString(), rec.ItemID) ||
                    !SameText(row->value(colBomProps).toString(), rec.ItemProps))
                    continue;
                if (overwrite && !cleared.contains(row)) {
                    cleared << row;
                    const QList<kvui::TreeNode*> children = row->children();
                    for (kvui::TreeNode* c : children) {
                        if (Kind(c) != bkLocalSub)
                            break;
                        grdExpand->deleteNode(c);
                    }
                    setSubsChanged(row, true);
                }
                row->setExpanded(true);
                bool exists = false;
                for (kvui::TreeNode* c : row->children()) {
                    if (Kind(c) != bkLocalSub)
                        break;
                    if (!SameText(c->value(colBomItmID).toString(), rec.SubItemID))
                        continue;
                    bool same = true;
                    for (int i = 0; i < 10; ++i)
                        if (rec.SubPropMask.mid(i, 1) == QLatin1String("1") && c->value(colBomProp[i]).toString() != rec.SubProp[i])
                            same = false;
                    exists = exists || same;
                }
                if (exists)
                    continue;
                kvui::TreeNode* node = insertLocalSub(row);
                node->setValue(colBomItmID, rec.SubItemID);
                node->setValue(colBomItmNo, rec.SubItemNo);
                node->setValue(colBomItmName, rec.SubItemName);
                node->setValue(colBomItmSpec, rec.SubItemSpec);
                node->setValue(colBomProps, rec.SubItemProps);
                for (int i = 0; i < 10; ++i)
                    node->setValue(colBomProp[i], rec.SubProp[i]);
                node->setValue(colBomPropMask, rec.SubPropMask);
                node->setValue(colBomItmTypeName, rec.SubTypeName);
                node->setValue(colBomItmMrpType, rec.SubMrpType);
                node->setValue(colBomUnit, rec.SubUnit);
                node->setValue(colBomUCurrQty, rec.SubUQty);
                node->setValue(colBomCurrQty, rec.SubQty);
                node->setValue(colBomBaseQty, rec.ItemQty);
                const double rowFactor = Num(row->value(colBomUnitFactor)) == 0 ? 1 : Num(row->value(colBomUnitFactor));
                node->setValue(colBomUBaseQty, Round8(rec.ItemQty / rowFactor));
                node->setValue(colBomUnitFactor, rec.SubFactor == 0 ? 1.0 : rec.SubFactor);
                node->setValue(colBomBaseUnit, rec.SubBaseUnit);
                node->setValue(colBomBeginDate, rec.BeginDate);
                node->setValue(colBomEndDate, rec.EndDate);
                node->setValue(colBomNote, rec.Note);
                for (int i = 0; i < freeIDs.size() && i < rec.FreeFields.size(); ++i)
                    if (kvui::Column* c = FindFieldColumn(freeIDs[i]))
                        node->setValue(c, rec.FreeFields[i]);
                RecalcQtys(node, true);
                setSubsChanged(row, true);
                added << node;
            }
        }
        Modified = true;
    }
    if (added.isEmpty()) {
        ShowInfo(CopiedAlreadyThere);
        return;
    }
    focusCell(added.first(), colBomItmNo);
    for (kvui::TreeNode* n : added)
        grdExpand->selectNode(n, true);
}

void TBOMExpandFrame::DelSubs()
{
    const auto markChanged = [this](kvui::TreeNode* row) { MarkSubsChanged(row); };
    if (DeleteSubstitutes(grdExpand, [](kvui::TreeNode* n) { return Kind(n) == bkLocalSub; }, markChanged))
        Modified = true;
}

void TBOMExpandFrame::MoveSubs(bool AUp)
{
    kvui::TreeNode* node = grdExpand->focusedNode();
    if (Kind(node) != bkLocalSub)
        return;
    kvui::TreeNode* other = AUp ? node->prevSibling() : node->nextSibling();
    if (!other || Kind(other) != bkLocalSub)
        return;
    MarkSubsChanged(node->parent());
    Modified = true;
    const QVariant entry = node->value(colBomEntry);
    node->setValue(colBomEntry, other->value(colBomEntry));
    other->setValue(colBomEntry, entry);
    const int at = other->index();
    node->moveTo(node->parent(), AUp ? at : at + 1);
    grdExpand->setFocusedNode(node);
}

void TBOMExpandFrame::focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode)
        return;
    for (kvui::TreeNode* p = ANode->parent(); p; p = p->parent())
        p->setExpanded(true);
    for (kvui::TreeNode* n : grdExpand->selectedNodes())
        grdExpand->selectNode(n, false);
    grdExpand->setFocusedNode(ANode);
    grdExpand->setFocusedColumn(AColumn);
    grdExpand->setFocus();
    grdExpand->viewport()->update();
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

// ---- saving ---------------------------------------------------------------

bool TBOMExpandFrame::checkSubstitute(kvui::TreeNode* ANode)
{
    TSubstituteCheck check;
    check.Cols = SubsColumnsOf(*this);
    check.ObjectDef = ObjectDef;
    check.DuplicateMessage = DuplicateLocalSub;
    check.IsPeer = [](kvui::TreeNode* p) { return Kind(p) == bkLocalSub; };
    check.FocusCell = [this](kvui::TreeNode* n, kvui::Column* c) { focusCell(n, c); };
    return CheckSubstitute(ANode, check);
}

void TBOMExpandFrame::saveBOMLevel(kvui::TreeNode* ANode)
{
    const bool subs = chkSubItems->isChecked();
    const bool lossText = lossTextEditable();
    IBillPtr bill;
    for (kvui::TreeNode* row : ANode->children()) {
        if (Kind(row) < bkMaterial)
            continue;
        const bool writeLoss = lossText && RowEdited(row);
        const bool writeSubs = subs && SubsChanged(row);
        if (!writeLoss && !writeSubs)
            continue;
        if (!bill)
            bill = NewSubstituteBill(ANode->value(colBomItmBomType).toInt(), ANode->value(colBomItmBomID).toString());
        const QString hook = row->value(colBomRowHook).toString();
        if (writeLoss) {
            IValueListPtr r = bill->Details(QStringLiteral("Rows"))->Add();
            r->SetValue(QStringLiteral("BomEntry"), row->value(colBomEntry));
            r->SetValue(QStringLiteral("RowHook"), hook);
            r->SetValue(QStringLiteral("PutLossRate"), row->value(colBomPutLossRate).toString());
        }
        if (writeSubs) {
            IRowListPtr list = bill->Details(QStringLiteral("ItemSubs"));
            const QString item = row->value(colBomItmID).toString();
            if (row->childCount() == 0 || Kind(row->child(0)) != bkLocalSub) {
                AddRowWithoutSubstitutes(list, item, hook);
            } else {
                const TSubsColumns cols = SubsColumnsOf(*this);
                for (kvui::TreeNode* sub : row->children()) {
                    if (Kind(sub) != bkLocalSub)
                        break;
                    AddSubstituteRow(list, item, hook, sub, cols);
                }
            }
        }
    }
    if (bill) {
        SaveSubstituteBill(bill);
        for (kvui::TreeNode* row : ANode->children()) {
            row->setStateIndex(-1);
            setSubsChanged(row, false);
        }
    }
    for (kvui::TreeNode* row : ANode->children())
        if (Kind(row) >= bkBom && Kind(row) <= bkBomOther)
            saveBOMLevel(row);
}

bool TBOMExpandFrame::SaveData()
{
    WaitCursor wait;
    grdExpand->postEdit();
    if (chkSubItems->isChecked())
        for (kvui::TreeNode* node : grdExpand->allNodes())
            if (Kind(node) == bkLocalSub && !checkSubstitute(node))
                return false;
    if (grdExpand->topCount() == 0)
        return true;
    return RunSubstituteSave([this] {
        saveBOMLevel(grdExpand->topNode(0));
        Modified = false;
    });
}
