#include "famItemSubs.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "dlgAddItemSubs.h"
#include "famItemSetting.h"
#include "untItemSubsEdit.h"
#include "untItemSubsRows.h"
#include "untDllCommon.h"
#include "untTreeColumns.h"
#include "untViewActions.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ItemSubsEdit;
using namespace ItemSubsRows;

namespace {

const QString OptLimitKind = QStringLiteral("[LimitKind]");
const QString GlobalScope = QStringLiteral("(全局范围)");
const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString DuplicateSub = QStringLiteral("替代物料不允许重复, \"%s\"已存在!");
const QDate EndOfTime(9999, 12, 31);

bool isSub(kvui::TreeNode* n)
{
    return n && (n->imageIndex() == nkLocalSub || n->imageIndex() == nkGlobalSub);
}

QString letter(bool AGlobal, int AIndex)
{
    return QString(QChar((AGlobal ? u'A' : u'a') + AIndex % 26));
}

} // namespace

// ---- TItemSubsFrame
// ---------------------------------------------------------------

TItemSubsFrame::TItemSubsFrame(QWidget* AOwner, TInfoObjectDef* AObjectDef) : TInfoTreeView(AOwner, AObjectDef)
{
    setObjectName(QStringLiteral("ItemSubsFrame"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);

    gbxOptions = new QFrame(this);
    gbxOptions->setObjectName(QStringLiteral("gbxOptions"));
    gbxOptions->setFixedHeight(35);
    auto* options = new QHBoxLayout(gbxOptions);
    options->setContentsMargins(4, 3, 4, 3);
    lblFilter = new QLabel(QStringLiteral("显示子项满足(&F):"), gbxOptions);
    cboFilterKind = new QComboBox(gbxOptions);
    cboFilterKind->setObjectName(QStringLiteral("cboFilterKind"));
    cboFilterKind->addItems({QStringLiteral("BOM用料"), QStringLiteral("BOM用料(有替代)"), QStringLiteral("替代物料")});
    lblFilter->setBuddy(cboFilterKind);
    lblContain = new QLabel(QStringLiteral("="), gbxOptions);
    // The frame's own handler opens the picker (FFilterPick): the edit has a
    // button and no handler of its own.
    edtFilterText = new TPickEdit(kvui::ButtonEditProperties(), gbxOptions);
    edtFilterText->setObjectName(QStringLiteral("edtFilterText"));
    btnOk = new QPushButton(QStringLiteral("确定"), gbxOptions);
    QFont bold = btnOk->font();
    bold.setBold(true);
    btnOk->setFont(bold);
    btnCancel = new QPushButton(QStringLiteral("取消"), gbxOptions);
    options->addWidget(lblFilter);
    options->addWidget(cboFilterKind);
    options->addWidget(lblContain);
    options->addWidget(edtFilterText, 1);
    options->addWidget(btnOk);
    options->addWidget(btnCancel);
    btnOk->setVisible(false);
    btnCancel->setVisible(false);
    box->addWidget(gbxOptions);

    grdExpand = new kvui::TreeList(this);
    grdExpand->setObjectName(QStringLiteral("grdExpand"));
    box->addWidget(grdExpand, 1);
    const int left = grdExpand->addBand(QString(), kvui::BandFixed::Left);
    const int middle = grdExpand->addBand(QString());
    const int right = grdExpand->addBand(QString(), kvui::BandFixed::Right);
    const auto add = [this](const QString& caption, int band, const char* valueType = "String", int width = 80) {
        return TreeColumns::AddReadOnly(grdExpand, caption, band, valueType, width);
    };
    grdExpand->beginUpdate();
    colBomNo = add(QStringLiteral("BOM单号/行号"), left, "String", 110);
    colBomType = add(QStringLiteral("BOM类别"), left, "Integer", 70);
    colBomItmNo = add(QStringLiteral("物料代码"), left, "String", 100);
    colBomItmName = add(QStringLiteral("物料名称"), middle, "String", 110);
    colBomItmSpec = add(QStringLiteral("规格型号"), middle, "String", 100);
    colBomFixed = add(QStringLiteral("固定用量"), middle, "Boolean", 60);
    colBomUnit = add(QStringLiteral("单位"), middle, "String", 50);
    colBomBaseUnit = add(QStringLiteral("单位(基本)"), middle, "String", 60);
    colBomBeginDate = add(QStringLiteral("生效日期"), middle, "DateTime");
    colBomEndDate = add(QStringLiteral("失效日期"), middle, "DateTime");
    colBomItmTypeName = add(QStringLiteral("物料属性"), middle, "String", 60);
    colBomItmMrpType = add(QStringLiteral("计划属性"), middle, "Integer", 60);
    colBomNote = add(QStringLiteral("备注"), middle, "String", 120);
    for (int i = 0; i < 10; ++i) {
        colBomProp[i] = add(QStringLiteral("辅助项%1").arg(i + 1), middle);
        colBomProp[i]->setTag(-101 - i);
    }
    colBomUCurrQty = add(QStringLiteral("用量"), right, "Float", 70);
    colBomUBaseQty = add(QStringLiteral("用量基数"), right, "Float", 70);
    colBomCurrQty = add(QStringLiteral("用量(基本)"), right, "Float", 70);
    colBomBaseQty = add(QStringLiteral("用量基数(基本)"), right, "Float", 90);
    colBomProps = add(QString(), middle);
    colBomID = add(QString(), left);
    colBomEntry = add(QString(), left, "Integer");
    colBomItmID = add(QString(), left);
    colBomUnitFactor = add(QString(), middle, "Float");
    colBomRowHook = add(QString(), middle);
    colBomPropMask = add(QString(), middle);
    for (kvui::Column* c : {colBomProps, colBomID, colBomEntry, colBomItmID, colBomUnitFactor, colBomRowHook, colBomPropMask})
        c->setVisible(false);
    colBomFixed->setEditor(std::make_shared<kvui::CheckBoxProperties>());
    for (kvui::Column* c : {colBomUCurrQty, colBomUBaseQty, colBomCurrQty, colBomBaseQty})
        c->setEditor(std::make_shared<kvui::TextEditProperties>(Qt::AlignRight | Qt::AlignVCenter));

    const std::pair<kvui::Column*, const char*> bindings[] = {
        {colBomNo, "BomNo"},
        {colBomType, "BomType"},
        {colBomItmNo, "ItmNo"},
        {colBomItmName, "ItmName"},
        {colBomItmSpec, "ItmSpec"},
        {colBomFixed, "BomFixed"},
        {colBomUnit, "UntName"},
        {colBomBaseUnit, "ItmUntName"},
        {colBomBeginDate, "BomBeginDate"},
        {colBomEndDate, "BomEndDate"},
        {colBomItmTypeName, "ItmTypeName"},
        {colBomItmMrpType, "ItmMrpType"},
        {colBomNote, "BomNote"},
        {colBomUCurrQty, "BomUQty"},
        {colBomUBaseQty, "BomUBaseQty"},
        {colBomCurrQty, "BomQty"},
        {colBomBaseQty, "BomBaseQty"},
        {colBomProps, "BomProps"},
    };
    for (const auto& [column, field] : bindings)
        BindStaticColumn(column, QLatin1String(field));
    for (int i = 0; i < 10; ++i)
        BindStaticColumn(colBomProp[i], QStringLiteral("BomProp%1").arg(i + 1));
    grdExpand->endUpdate();

    grdExpand->setMultiSelect(true);
    grdExpand->setShowTreeLines(false);
    grdExpand->setEditingEnabled(false);
    grdExpand->setEditingHook([this](const kvui::RowRef& r, kvui::Column* c) {
        if (!CanEditCell(r.node, c))
            return false;
        FOldValue = r.node->value(c);
        return true;
    });
    // In edit mode a selection keeps to substitutes (or rows) of one kind.
    grdExpand->setCanSelectHook([this](kvui::TreeNode* node) {
        if (!GetEditMode() || !node)
            return true;
        const QList<kvui::TreeNode*> selected = grdExpand->selectedNodes();
        if (selected.isEmpty())
            return true;
        const int first = selected.first()->imageIndex();
        return first != nkScopeHead && first != nkGlobalSubRef && node->imageIndex() == first;
    });
    connect(grdExpand, &kvui::TreeList::nodeExpanded, this, [](kvui::TreeNode* node) {
        if (node && !node->parent() && node->childCount() > 0)
            node->child(0)->setExpanded(true);
    });
    connect(grdExpand, &kvui::BandedView::cellEdited, this,
            [this](int row, kvui::Column* column, const QVariant& oldValue, const QVariant&) {
                CellEdited(grdExpand->nodeAtRow(row), column, oldValue);
            });
    connect(cboFilterKind, &QComboBox::currentIndexChanged, this, [this] { filterChanged(); });
    connect(edtFilterText, &QLineEdit::textEdited, this, [this] { filterChanged(); });
    connect(btnOk, &QPushButton::clicked, this, &TItemSubsFrame::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &TItemSubsFrame::btnCancelClick);
    ViewComponent = grdExpand;

    FPickEditProperties = std::make_shared<TPickEditProperties>();
    FPickEditProperties->RefQuery = GlobalADOQuery;
    FFilterPick = std::make_shared<TPickEditProperties>();
    connect(edtFilterText, &kvui::ButtonEdit::buttonClicked, this, [this](int) {
        FFilterPick->Text = edtFilterText->text().trimmed();
        try {
            FFilterPick->ShowPicker(true);
        } catch (const Exception& e) {
            ShowADOError(e, GlobalADOQuery);
        }
    });
}

TItemSubsFrame::~TItemSubsFrame() = default;

void TItemSubsFrame::setupFilterPick()
{
    TPickEditProperties* props = FFilterPick.get();
    props->RefQuery = GlobalADOQuery;
    const QString number = ItemPickColumn(QStringLiteral("ItmNo"), QStringLiteral("物料代码"));
    props->SQL = BuildItemPickSQL(GetItemPropFieldNames(), PickCondition, QString());
    props->TextField = number;
    props->FixedFields = u'|' + number + u'|';
    props->AfterDataPicked = [this, number](TCustomADODataSet* data, const TBookmarks&) {
        edtFilterText->setText(GetFieldValue(data, number).toString());
        filterChanged();
    };
    FPickEditProperties->SQL = BuildItemPickSQL(QStringLiteral("ItmType") + GetItemPropFieldNames(),
                                                QStringLiteral("i.ItmType<>4 and i.ItmDisabled=0 and (") + PickCondition + u')',
                                                QString());
    FPickEditProperties->TextField = number;
    FPickEditProperties->AfterDataPicked = [this, number](TCustomADODataSet* data, const TBookmarks&) {
        kvui::TreeNode* node = grdExpand->focusedNode();
        if (!node)
            return;
        const QVariant old = node->value(colBomItmNo);
        node->setValue(colBomItmNo, GetFieldValue(data, number));
        CellEdited(node, colBomItmNo, old);
    };
    colBomItmNo->setEditor(FPickEditProperties);
}

void TItemSubsFrame::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    TInfoTreeView::InitializeView(AViewAsDetailID, AMasterView);
    bool ok = false;
    const int kind = ReadViewSchemeParam(ViewScheme.Params, OptLimitKind).trimmed().toInt(&ok);
    {
        const QSignalBlocker block(cboFilterKind);
        cboFilterKind->setCurrentIndex(ok && kind >= 0 && kind < 3 ? kind : 0);
    }
    setupFilterPick();
    auto types = std::make_shared<kvui::ImageComboProperties>();
    AddBomTypeNames(*types, ObjectDef);
    types->addItem(int(nkLocalSub), QStringLiteral("局部替代"));
    types->addItem(int(nkGlobalSub), QStringLiteral("全局替代"));
    types->addItem(int(nkGlobalSubRef), QStringLiteral("全局替代"));
    colBomType->setEditor(types);
}

void TItemSubsFrame::ApplyViewScheme()
{
    TInfoTreeView::ApplyViewScheme();
    for (kvui::Column* c : {colBomNo, colBomType, colBomItmNo})
        c->setVisible(true);
    colBomUBaseQty->setVisible(colBomUCurrQty->isVisible());
    colBomBaseQty->setVisible(colBomCurrQty->isVisible());
    setupFilterPick();
}

void TItemSubsFrame::StoreViewScheme()
{
    TInfoTreeView::StoreViewScheme();
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, OptLimitKind, QString::number(FCurFilterKind));
}

// ---- filter
// -------------------------------------------------------------------------

void TItemSubsFrame::filterChanged()
{
    if (edtFilterText->text().trimmed().isEmpty() && FCurFilterText.isEmpty()) {
        FCurFilterKind = cboFilterKind->currentIndex();
        return;
    }
    ShowFilterButtons(true);
}

void TItemSubsFrame::ShowFilterButtons(bool AShow)
{
    FFilterButtons = AShow;
    btnOk->setVisible(AShow);
    btnCancel->setVisible(AShow);
    grdExpand->setEnabled(!AShow);
}

void TItemSubsFrame::btnOkClick()
{
    const QString text = edtFilterText->text().trimmed();
    edtFilterText->setText(text);
    ShowFilterButtons(false);
    if (SameText(text, FCurFilterText) && (text.isEmpty() || cboFilterKind->currentIndex() == FCurFilterKind))
        FCurFilterKind = cboFilterKind->currentIndex();
    else
        RefreshData(true);
}

void TItemSubsFrame::btnCancelClick()
{
    {
        const QSignalBlocker block(cboFilterKind);
        cboFilterKind->setCurrentIndex(FCurFilterKind);
    }
    edtFilterText->setText(FCurFilterText);
    ShowFilterButtons(false);
}

// ---- loading
// ------------------------------------------------------------------------

void TItemSubsFrame::RefreshData(bool ARebuild)
{
    TInfoTreeView::RefreshData(ARebuild);
    if (ViewScheme.SQLParsed)
        loadData(ARebuild || BuiltSQL.isEmpty());
}

void TItemSubsFrame::fillNode(kvui::TreeNode* ANode, TCustomADODataSet* AData, int ALevel)
{
    const auto v = [AData](const char* field) { return GetFieldValue(AData, QLatin1String(field)); };
    ANode->setValue(colBomID, v("BomID"));
    ANode->setValue(colBomItmID, ALevel <= 1 ? v("BomItmID") : v("BomSubItmID"));
    ANode->setValue(colBomItmNo, v("ItmNo"));
    ANode->setValue(colBomItmName, v("ItmName"));
    ANode->setValue(colBomItmSpec, v("ItmSpec"));
    ANode->setValue(colBomItmTypeName, v("ItmTypeName"));
    if (!v("BomItmID").toString().isEmpty())
        ANode->setValue(colBomItmMrpType, v("ItmMrpType"));
    ANode->setValue(colBomFixed, v("BomFixed"));
    ANode->setValue(colBomUnit, v("UntName"));
    ANode->setValue(colBomUnitFactor, v("UntFactor"));
    ANode->setValue(colBomBaseUnit, v("ItmUntName"));
    ANode->setValue(colBomBeginDate, v("BomBeginDate"));
    ANode->setValue(colBomEndDate, v("BomEndDate"));
    ANode->setValue(colBomNote, v("BomNote"));
    if (ALevel > 0) {
        ANode->setValue(colBomUCurrQty, v("BomUQty"));
        if (!v("BomBaseQty").isNull())
            ANode->setValue(colBomUBaseQty, Round8(Num(v("BomBaseQty")) / ParentUnitFactor(ANode, colBomUnitFactor)));
        ANode->setValue(colBomCurrQty, v("BomQty"));
        ANode->setValue(colBomBaseQty, v("BomBaseQty"));
    }
    if (ALevel == 1)
        ANode->setValue(colBomRowHook, v("BomRowHook"));
    ANode->setValue(colBomPropMask, v("PropMask"));
    ANode->setValue(colBomProps, v("BomProps"));
    for (int i = 0; i < 10; ++i)
        ANode->setValue(colBomProp[i], GetFieldValue(AData, QStringLiteral("BomProp%1").arg(i + 1)));
    for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
        ANode->setValue(FColumns[i], GetFieldValue(AData, FColumnFieldNames[i]));
    ANode->setStateIndex(-1);
}

void TItemSubsFrame::loadData(bool ARebuild)
{
    WaitCursor wait;
    UpdateBracket bracket(grdExpand);
    FCurFilterKind = cboFilterKind->currentIndex();
    FCurFilterText = edtFilterText->text().trimmed();
    grdExpand->clear();
    Modified = false;
    FSubsGlobalUpdated = false;
    try {
        if (ARebuild) {
            QString itemSelect, itemJoin;
            GetItemPropSelectSQL(itemSelect, itemJoin);
            QString itemSource = QStringLiteral("QZ_Base_ItemMaster as ri with(nolock)");
            if (InfoApplication)
                if (TInfoObjectDef* items = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items"));
                    items && !items->DataSources.empty()) {
                    const QString table = items->DataSources.front().SQLData.trimmed();
                    if (!table.isEmpty() && !table.contains(u' '))
                        itemSource = table + QStringLiteral(" as ri with(nolock)");
                }
            BuiltSQL = ItemSubsListCreateSQL() +
                FormatMessage(QStringLiteral("exec QZ_MRP_GetItemSubsList @Filter=%s, "
                                             "@LimitType=%d, @LimitItmID=%s\r"),
                              {QuotedStr(ViewScheme.FilterSQL), FCurFilterKind, QuotedStr(FCurFilterText)}) +
                ItemSubsListSelectSQL(itemSelect, itemSource, itemJoin);
        }
        GlobalADOQuery->Close();
        GlobalADOQuery->SQL.Clear();
        GlobalADOQuery->SQL.Add(BuiltSQL);
        GlobalADOQuery->Open();
        kvui::TreeNode* head = nullptr;
        kvui::TreeNode* row = nullptr;
        int local = 0;
        int global = 0;
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            TCustomADODataSet* data = GlobalADOQuery;
            const int level = GetFieldValue(data, QStringLiteral("BomLevel")).toInt();
            kvui::TreeNode* node = nullptr;
            if (level == 0) {
                node = grdExpand->addNode();
                head = node;
                row = nullptr;
                node->setImageIndex(nkScopeHead);
                if (GetFieldValue(data, QStringLiteral("BomID")).toString().isEmpty()) {
                    node->setValue(colBomNo, GlobalScope);
                } else {
                    node->setValue(colBomType, GetFieldValue(data, QStringLiteral("BomType")));
                    node->setValue(colBomNo, GetFieldValue(data, QStringLiteral("BomNo")));
                }
            } else if (!head) {
                continue;
            } else if (level == 1) {
                node = grdExpand->addNode(head);
                row = node;
                local = 0;
                global = 0;
                if (!head->value(colBomID).toString().isEmpty()) {
                    node->setImageIndex(nkBomRow);
                    node->setValue(colBomNo, GetFieldValue(data, QStringLiteral("BomEntry")));
                    node->setValue(colBomEntry, GetFieldValue(data, QStringLiteral("BomEntry")));
                } else {
                    node->setImageIndex(nkGlobalItem);
                    node->setValue(colBomNo, GlobalScope);
                }
            } else if (!row) {
                continue;
            } else if (level == 2) {
                node = grdExpand->addNode(row);
                const bool underBill = !head->value(colBomID).toString().isEmpty();
                int& counter = underBill ? local : global;
                node->setImageIndex(underBill ? nkLocalSub : nkGlobalSub);
                node->setValue(colBomNo, letter(!underBill, counter));
                node->setValue(colBomType, node->imageIndex());
                node->setValue(colBomEntry, counter++);
            } else {
                node = grdExpand->addNode(row);
                node->setImageIndex(nkGlobalSubRef);
                node->setValue(colBomNo, letter(true, global));
                node->setValue(colBomType, int(nkGlobalSubRef));
                node->setValue(colBomEntry, global++);
            }
            fillNode(node, data, level);
        }
        GlobalADOQuery->Close();
    } catch (const Exception& e) {
        GlobalADOQuery->Close();
        ShowError(FormatMessage(DataLoadFailed, {e.Message}));
    } catch (const std::exception& e) {
        GlobalADOQuery->Close();
        ShowError(FormatMessage(DataLoadFailed, {QString::fromUtf8(e.what())}));
    }
}

// ---- edit mode and cells
// ------------------------------------------------------------

void TItemSubsFrame::SetSubsEditMode(bool AEditing)
{
    {
        UpdateBracket bracket(grdExpand);
        SetEditMode(AEditing);
        Modified = false;
        cboFilterKind->setEnabled(!AEditing);
        edtFilterText->setEnabled(!AEditing);
        if (AEditing) {
            grdExpand->clearSorting();
            colBomNo->setVisible(true);
            colBomItmNo->setVisible(true);
            const auto defines = [this](const QString& field) { return ObjectDef && ObjectDef->GetFieldDef(field); };
            colBomUCurrQty->setVisible(defines(QStringLiteral("BomUQty")));
            if (!colBomUCurrQty->isVisible())
                colBomCurrQty->setVisible(true);
            colBomUBaseQty->setVisible(defines(QStringLiteral("BomUBaseQty")));
            if (!colBomUBaseQty->isVisible())
                colBomBaseQty->setVisible(true);
            ShowSubstituteEditColumns(SubsColumnsOf(*this), ObjectDef);
        }
        grdExpand->setEditingEnabled(AEditing);
        SetSubstitutesEditable(SubsColumnsOf(*this), AEditing);
        grdExpand->setSortingEnabled(!AEditing);
    }
    if (!AEditing && FSubsGlobalUpdated)
        RefreshData(false);
}

bool TItemSubsFrame::CanEditCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!GetEditMode() || !isSub(ANode) || !AColumn)
        return false;
    if (AColumn->tag() < -100) {
        const int n = -100 - AColumn->tag();
        return ANode->value(colBomPropMask).toString().mid(n - 1, 1) == QLatin1String("1");
    }
    return AColumn == colBomItmNo || AColumn == colBomUCurrQty || AColumn == colBomUBaseQty || AColumn == colBomCurrQty ||
        AColumn == colBomBaseQty || AColumn == colBomBeginDate || AColumn == colBomEndDate || AColumn == colBomNote;
}

void TItemSubsFrame::CellEdited(kvui::TreeNode* ANode, kvui::Column* AColumn, const QVariant& AOldValue)
{
    if (!ANode || !AColumn)
        return;
    QVariant value = ANode->value(AColumn);
    if (value == AOldValue && value.toString() == AOldValue.toString())
        return;
    Modified = true;
    MarkSubsChanged(ANode->parent());
    const TSubsColumns cols = SubsColumnsOf(*this);
    if (ApplyQtyEdit(ANode, AColumn, cols))
        return;
    FillOpenValidity(ANode, AColumn, cols);
    if (AColumn == colBomItmNo)
        ItemNoChanged(ANode, value.isNull() ? QString() : value.toString().trimmed());
}

QString TItemSubsFrame::itemSelectSQL(const QString& AWhere)
{
    QString itemSelect, itemJoin;
    GetItemPropSelectSQL(itemSelect, itemJoin);
    return QStringLiteral("select i.ItmID, ItmNo, ItmName, ItmSpec, ItmTypeName, "
                          "ub.UntName, ItmMrpType=(case when t.ItmMrpType<>0 "
                          "then t.ItmMrpType else i.ItmType end),") +
        PropMaskSQL + itemSelect +
        QStringLiteral(" from QZ_Base_ItemMaster as i with(nolock) left join "
                       "QZ_Base_Unit as ub with(nolock) on i.ItmUnitID=ub.UntID"
                       " left join QZ_MRP_ItemSetting as t with(nolock) on "
                       "i.ItmID=t.ItmID") +
        itemJoin + QStringLiteral(" where ") + AWhere;
}

void TItemSubsFrame::ItemNoChanged(kvui::TreeNode* ANode, const QString& AItemNo)
{
    if (!ANode)
        return;
    FillSubstituteItem(ANode, AItemNo, SubsColumnsOf(*this), [this](const QString& AWhere) { return itemSelectSQL(AWhere); },
                       FColumnFieldNames.mid(FStaticColumnCount), FColumns.mid(FStaticColumnCount));
}

void TItemSubsFrame::MarkSubsChanged(kvui::TreeNode* ARow)
{
    if (!ARow || IsChanged(ARow))
        return;
    if (ARow->parent())
        ARow->parent()->setStateIndex(1);
    if (ARow->imageIndex() == nkGlobalItem || !ARow->parent()) {
        ARow->setStateIndex(1);
        return;
    }
    // Substitutes recorded for an item in a bill stand under each of its rows.
    const QString item = ARow->value(colBomItmID).toString();
    for (kvui::TreeNode* sibling : ARow->parent()->children())
        if (SameText(sibling->value(colBomItmID).toString(), item))
            sibling->setStateIndex(1);
    ARow->setStateIndex(1);
}

// ---- adding, deleting and moving
// -----------------------------------------------------

kvui::TreeNode* TItemSubsFrame::addSubNode(kvui::TreeNode* ARow, int APosition, kvui::TreeNode* AAnchor)
{
    const int kind = ARow->imageIndex() == nkGlobalItem ? nkGlobalSub : nkLocalSub;
    int largest = -1;
    int afterRun = 0;
    for (kvui::TreeNode* child : ARow->children()) {
        if (child->imageIndex() != kind)
            break;
        largest = std::max(largest, child->value(colBomEntry).toInt());
        ++afterRun;
    }
    int before = afterRun;
    if (APosition == 1)
        before = 0;
    else if (APosition == 2 && AAnchor)
        before = AAnchor->index() + 1;
    else if (APosition == 3 && AAnchor)
        before = AAnchor->index();
    kvui::TreeNode* node = grdExpand->insertNode(ARow, before);
    node->setImageIndex(kind);
    node->setValue(colBomType, kind);
    node->setStateIndex(-1);
    if (APosition == 0) {
        node->setValue(colBomEntry, largest + 1);
        node->setValue(colBomNo, letter(kind == nkGlobalSub, largest + 1));
    } else {
        // The labels stay in sequence down the run of this kind.
        int n = 0;
        for (kvui::TreeNode* child : ARow->children()) {
            if (child->imageIndex() != kind)
                break;
            child->setValue(colBomEntry, n);
            child->setValue(colBomNo, letter(kind == nkGlobalSub, n));
            ++n;
        }
    }
    return node;
}

void TItemSubsFrame::AddSubs()
{
    kvui::TreeNode* focused = grdExpand->focusedNode();
    if (!focused || !focused->parent())
        return;
    kvui::TreeNode* row = isSub(focused) || focused->imageIndex() == nkGlobalSubRef ? focused->parent() : focused;
    kvui::TreeNode* node = nullptr;
    {
        UpdateBracket bracket(grdExpand);
        row->setExpanded(true);
        node = addSubNode(row, 0, nullptr);
        node->setValue(colBomUCurrQty, 1.0);
        node->setValue(colBomUBaseQty, 1.0);
        node->setValue(colBomUnitFactor, 1.0);
        node->setValue(colBomCurrQty, 1.0);
        double factor = Num(row->value(colBomUnitFactor));
        node->setValue(colBomBaseQty, factor == 0 ? 1.0 : factor);
        node->setValue(colBomBeginDate, QDate::currentDate());
        node->setValue(colBomEndDate, EndOfTime);
        MarkSubsChanged(row);
        Modified = true;
    }
    focusCell(node, colBomItmNo);
}

void TItemSubsFrame::AddSubsEx()
{
    const QList<kvui::TreeNode*> selected = grdExpand->selectedNodes();
    if (selected.isEmpty())
        return;
    const bool rows = selected.first()->imageIndex() == nkBomRow || selected.first()->imageIndex() == nkGlobalItem;
    quint8 position = 0;
    QString itemID, note;
    double subQty = 1, baseQty = 1;
    QDate beginDate, endDate;
    if (!ShowAddItemSubsDlg(position, itemID, note, subQty, baseQty, beginDate, endDate, rows, GetItemPropFieldNames()))
        return;
    QVariantMap item;
    if (!ExecSQLText(GlobalADOQuery, itemSelectSQL(QStringLiteral("i.ItmID=") + QuotedStr(itemID)), true, false, true))
        return;
    if (!GlobalADOQuery->Eof()) {
        for (const char* f : {"ItmID", "ItmNo", "ItmName", "ItmSpec", "ItmTypeName", "UntName", "ItmMrpType", "PropMask"})
            item.insert(QLatin1String(f), GetFieldValue(GlobalADOQuery, QLatin1String(f)));
        for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
            item.insert(FColumnFieldNames[i], GetFieldValue(GlobalADOQuery, FColumnFieldNames[i]));
    }
    GlobalADOQuery->Close();

    // The rows to add to, each with the substitute the new one goes beside.
    QList<std::pair<kvui::TreeNode*, kvui::TreeNode*>> targets;
    for (kvui::TreeNode* n : selected) {
        if (rows) {
            targets.append(std::make_pair(n, static_cast<kvui::TreeNode*>(nullptr)));
            continue;
        }
        kvui::TreeNode* parent = n->parent();
        auto it = std::find_if(targets.begin(), targets.end(), [parent](const auto& t) { return t.first == parent; });
        if (it == targets.end())
            targets.append(std::make_pair(parent, n));
        else if ((position == 2 && n->index() > it->second->index()) || (position == 3 && n->index() < it->second->index()))
            it->second = n;
    }
    kvui::TreeNode* first = nullptr;
    {
        UpdateBracket bracket(grdExpand);
        for (const auto& [row, anchor] : targets) {
            kvui::TreeNode* node = addSubNode(row, position, anchor);
            node->setValue(colBomItmID, item.value(QStringLiteral("ItmID")));
            node->setValue(colBomItmNo, item.value(QStringLiteral("ItmNo")));
            node->setValue(colBomItmName, item.value(QStringLiteral("ItmName")));
            node->setValue(colBomItmSpec, item.value(QStringLiteral("ItmSpec")));
            node->setValue(colBomItmTypeName, item.value(QStringLiteral("ItmTypeName")));
            node->setValue(colBomItmMrpType, item.value(QStringLiteral("ItmMrpType")));
            node->setValue(colBomPropMask, item.value(QStringLiteral("PropMask")));
            node->setValue(colBomUCurrQty, subQty);
            node->setValue(colBomCurrQty, subQty);
            node->setValue(colBomBaseQty, baseQty);
            double factor = Num(row->value(colBomUnitFactor));
            node->setValue(colBomUBaseQty, Round8(baseQty / (factor == 0 ? 1 : factor)));
            node->setValue(colBomUnit, item.value(QStringLiteral("UntName")));
            node->setValue(colBomBaseUnit, item.value(QStringLiteral("UntName")));
            node->setValue(colBomUnitFactor, 1.0);
            node->setValue(colBomBeginDate, beginDate);
            node->setValue(colBomEndDate, endDate);
            node->setValue(colBomNote, note);
            for (int i = FStaticColumnCount; i < FColumnFieldNames.size(); ++i)
                node->setValue(FColumns[i], item.value(FColumnFieldNames[i]));
            MarkSubsChanged(row);
            row->setExpanded(true);
            if (!first)
                first = node;
        }
    }
    Modified = true;
    if (first)
        grdExpand->setFocusedNode(first);
}

void TItemSubsFrame::DelSubs()
{
    const auto markChanged = [this](kvui::TreeNode* row) { MarkSubsChanged(row); };
    if (DeleteSubstitutes(grdExpand, [](kvui::TreeNode* n) { return isSub(n); }, markChanged))
        Modified = true;
}

void TItemSubsFrame::MoveSubs(bool AUp)
{
    kvui::TreeNode* node = grdExpand->focusedNode();
    if (!isSub(node))
        return;
    kvui::TreeNode* other = AUp ? node->prevSibling() : node->nextSibling();
    if (!other || other->imageIndex() != node->imageIndex())
        return;
    MarkSubsChanged(node->parent());
    Modified = true;
    const QVariant entry = node->value(colBomEntry);
    const QVariant label = node->value(colBomNo);
    node->setValue(colBomEntry, other->value(colBomEntry));
    node->setValue(colBomNo, other->value(colBomNo));
    other->setValue(colBomEntry, entry);
    other->setValue(colBomNo, label);
    const int at = other->index();
    node->moveTo(node->parent(), AUp ? at : at + 1);
    grdExpand->setFocusedNode(node);
}

void TItemSubsFrame::focusCell(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode)
        return;
    for (kvui::TreeNode* p = ANode->parent(); p; p = p->parent())
        p->setExpanded(true);
    grdExpand->setFocusedNode(ANode);
    grdExpand->setFocusedColumn(AColumn);
    grdExpand->setFocus();
}

// ---- commands
// -----------------------------------------------------------------------

bool TItemSubsFrame::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex < Commands::FirstAction) {
        if (FFilterButtons &&
            ((ACommandIndex >= 5 && ACommandIndex <= 9) || (ACommandIndex >= 42 && ACommandIndex <= 45) || ACommandIndex == 49)) {
            AState = TCommandState();
            return true;
        }
        return TInfoTreeView::QueryCommandState(ACommandIndex, AState);
    }
    AState = TCommandState();
    if (grdExpand->topCount() == 0 || FFilterButtons)
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    const bool editing = GetEditMode();
    kvui::TreeNode* focused = grdExpand->focusedNode();
    const QList<kvui::TreeNode*> selected = grdExpand->selectedNodes();
    const bool single = selected.size() < 2;
    if (is("Update")) {
        AState = editing ? TCommandState(csEnabled | csChecked) : TCommandState(csEnabled);
    } else if (is("AddSubs")) {
        if (editing && focused && focused->parent() && single)
            AState = csEnabled;
    } else if (is("AddSubsEx")) {
        if (editing && selected.size() >= 2)
            AState = csEnabled;
    } else if (is("DelSubs")) {
        if (editing && isSub(single ? focused : selected.first()))
            AState = csEnabled;
    } else if (is("UpSubs")) {
        if (editing && single && isSub(focused) && focused->prevSibling())
            AState = csEnabled;
    } else if (is("DownSubs")) {
        if (editing && single && isSub(focused) && focused->nextSibling() && focused->nextSibling()->imageIndex() != nkGlobalSubRef)
            AState = csEnabled;
    }
    return true;
}

bool TItemSubsFrame::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex < Commands::FirstAction) {
        if (FFilterButtons &&
            ((ACommandIndex >= 5 && ACommandIndex <= 9) || (ACommandIndex >= 42 && ACommandIndex <= 45) || ACommandIndex == 49))
            return true;
        return TInfoTreeView::ExecCommand(ACommandIndex);
    }
    TCommandState state;
    QueryCommandState(ACommandIndex, state);
    if (!(state & csEnabled))
        return true;
    const QString id = ViewActions::ActionID(ObjectDef, ACommandIndex);
    const auto is = [&id](const char* name) { return id.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    if (is("Update")) {
        ViewActions::SwitchEditMode(this, false, [this](bool AEditing) { SetSubsEditMode(AEditing); });
    } else if (is("AddSubs")) {
        AddSubs();
    } else if (is("AddSubsEx")) {
        AddSubsEx();
    } else if (is("DelSubs")) {
        DelSubs();
    } else if (is("UpSubs")) {
        MoveSubs(true);
    } else if (is("DownSubs")) {
        MoveSubs(false);
    }
    return true;
}

void TItemSubsFrame::FetchCustomDrawFormat(kvui::TreeNode* ANode, kvui::Column* AColumn, bool ASelected, bool, QColor& AOutBrush, QFont&,
                                           QColor& AOutTextColor)
{
    if (!ANode)
        return;
    if (!ASelected) {
        if (ANode->imageIndex() == nkGlobalSubRef)
            AOutTextColor = QColor(0xFF, 0x00, 0xFF);
        else if ((ANode->imageIndex() == nkBomRow || ANode->imageIndex() == nkGlobalItem) && ANode->childCount() == 0)
            AOutTextColor = QApplication::palette().color(QPalette::Dark);
        else if (ANode->imageIndex() == nkScopeHead && ANode->childCount() == 1 && ANode->child(0)->childCount() == 0)
            AOutTextColor = QApplication::palette().color(QPalette::Dark);
    }
    if (GetEditMode() && CanEditCell(ANode, AColumn))
        AOutBrush = ASelected ? QColor(0xC0, 0xC0, 0x00) : QColor(0xFF, 0xFF, 0xC2);
    if (GetEditMode() && isSub(ANode) && AColumn == colBomItmNo && ANode->value(colBomItmID).toString().isEmpty())
        AOutBrush = QColor(0xFF, 0x00, 0x00);
}

// ---- saving
// ---------------------------------------------------------------------------

bool TItemSubsFrame::checkSubstitute(kvui::TreeNode* ANode)
{
    TSubstituteCheck check;
    check.Cols = SubsColumnsOf(*this);
    check.ObjectDef = ObjectDef;
    check.DuplicateMessage = DuplicateSub;
    // The global substitutes shown under a bill row are not the row's own.
    check.IsPeer = [](kvui::TreeNode* p) { return p->imageIndex() != nkGlobalSubRef; };
    check.FocusCell = [this](kvui::TreeNode* n, kvui::Column* c) { focusCell(n, c); };
    return CheckSubstitute(ANode, check);
}

void TItemSubsFrame::saveScopeDocument(kvui::TreeNode* AHead)
{
    const TSubsColumns cols = SubsColumnsOf(*this);
    IBillPtr bill;
    for (kvui::TreeNode* row : AHead->children()) {
        if (!IsChanged(row))
            continue;
        if (!bill)
            bill = NewSubstituteBill(AHead->value(colBomType), AHead->value(colBomID).toString());
        IRowListPtr list = bill->Details(QStringLiteral("ItemSubs"));
        const QString item = row->value(colBomItmID).toString();
        const QString hook = row->value(colBomRowHook).toString();
        if (row->childCount() == 0 || row->child(0)->imageIndex() == nkGlobalSubRef) {
            AddRowWithoutSubstitutes(list, item, hook);
            continue;
        }
        for (kvui::TreeNode* sub : row->children()) {
            if (sub->imageIndex() == nkGlobalSubRef)
                break;
            AddSubstituteRow(list, item, hook, sub, cols);
        }
    }
    if (bill) {
        SaveSubstituteBill(bill);
        for (kvui::TreeNode* row : AHead->children())
            row->setStateIndex(-1);
    }
    AHead->setStateIndex(-1);
    if (AHead->value(colBomID).toString().isEmpty())
        FSubsGlobalUpdated = true;
}

bool TItemSubsFrame::SaveData()
{
    WaitCursor wait;
    grdExpand->postEdit();
    for (kvui::TreeNode* node : grdExpand->allNodes())
        if (isSub(node) && !checkSubstitute(node))
            return false;
    return RunSubstituteSave([this] {
        for (kvui::TreeNode* head : grdExpand->topNodes())
            if (IsChanged(head))
                saveScopeDocument(head);
        Modified = false;
    });
}
