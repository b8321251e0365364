#include "dlgCopyItemSubs.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "famItemSetting.h"
#include "famItemSubs.h"
#include "untDllCommon.h"
#include "untItemSubsEdit.h"
#include "untItemSubsRows.h"
#include "untTreeColumns.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using ItemSubsEdit::Num;
using ItemSubsEdit::ParentUnitFactor;
using ItemSubsEdit::Round8;
using ItemSubsEdit::SameText;

namespace {

const QString NothingToSearch = QStringLiteral("请输入需复制替代料信息的来源产品搜索内容!");
const QString NothingFound = QStringLiteral("未搜索到与复制目标产品相同BOM用料子项的替代料数据!");
const QString NothingChecked = QStringLiteral("请勾选需复制的替代料数据!");
const QString SeveralBills = QStringLiteral("您选择从 %d 个不同的BOM中复制替代料数据, 确定?");
const QString DataLoadFailed = QStringLiteral("读取数据失败, 数据库连接可能不可用!\r\r原因: %s");
const QString PickCondition = QStringLiteral("i.ItmDisabled=0 and (i.ItmNo like '%%'+%0:s+'%%' or i.ItmName like '%%'+%0:s+'%%' or "
                                             "i.ItmSpec like '%%'+%0:s+'%%')");

QDate dateOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::QDate)
        return v.toDate();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().date();
    return v.isNull() ? QDate() : StrToDateTime(v.toString()).date();
}

QString fieldCaption(TInfoObjectDef* ADef, const QString& AField)
{
    const PInfoFieldDef f = ADef ? ADef->GetFieldDef(AField) : nullptr;
    return f ? f->Name.section(u'\\', -1) : QString();
}

QString valueTypeOf(int ADataType)
{
    switch (ADataType) {
    case 2: case 3: case 4: case 16: case 17:
        return QStringLiteral("Integer");
    case 5:
        return QStringLiteral("Boolean");
    case 6: case 7: case 8: case 37: case 38: case 39:
        return QStringLiteral("Float");
    case 9: case 10: case 11:
        return QStringLiteral("DateTime");
    case 14: case 25: case 35:
        return QStringLiteral("LargeInt");
    default:
        return QStringLiteral("String");
    }
}

} // namespace

TCopyItemSubsDlg::TCopyItemSubsDlg(QWidget* AParent) : TDialog(AParent)
{
    setWindowTitle(QStringLiteral("复制替代料"));
    resize(684, 462);
    setMinimumSize(600, 400);
    auto* grid = new QGridLayout(ClientArea());
    lblItmNo = new QLabel(QStringLiteral("来源产品(&S):"), ClientArea());
    FPick = std::make_shared<TPickEditProperties>();
    FPick->RefQuery = GlobalADOQuery;
    edtItmNo = new TPickEdit(kvui::ButtonEditProperties(), ClientArea());   // the dialog's own handler picks
    edtItmNo->setObjectName(QStringLiteral("edtItmNo"));
    lblItmNo->setBuddy(edtItmNo);
    btnSearch = new QPushButton(QStringLiteral("搜索"), ClientArea());
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setToolTip(QStringLiteral("搜索替代料"));
    btnSearch->setAutoDefault(false);
    cxLabel1 = new QLabel(QStringLiteral("目标产品(&D):"), ClientArea());
    edtTarget = new QLineEdit(ClientArea());
    edtTarget->setReadOnly(true);
    edtTarget->setStyleSheet(QStringLiteral("background: palette(window)"));
    cxLabel1->setBuddy(edtTarget);
    grdExpand = new kvui::TreeList(ClientArea());
    grdExpand->setObjectName(QStringLiteral("grdExpand"));
    chkOverwrite = new QCheckBox(QStringLiteral("完全覆盖目标BOM相应用料子项已有的替代料数据(&O)"), ClientArea());
    chkOverwrite->setObjectName(QStringLiteral("chkOverwrite"));
    grid->addWidget(lblItmNo, 0, 0);
    grid->addWidget(edtItmNo, 0, 1);
    grid->addWidget(btnSearch, 0, 2);
    grid->addWidget(cxLabel1, 1, 0);
    grid->addWidget(edtTarget, 1, 1, 1, 2);
    grid->addWidget(grdExpand, 2, 0, 1, 3);
    grid->addWidget(chkOverwrite, 3, 0, 1, 3);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(1, 1);

    const int fixed = grdExpand->addBand(QString(), kvui::BandFixed::Left);
    const int rest = grdExpand->addBand(QString());
    const auto add = [this](const QString& caption, int band, const char* valueType, int width = 80) {
        return TreeColumns::AddReadOnly(grdExpand, caption, band, valueType, width);
    };
    grdExpand->beginUpdate();
    colBomNo = add(QStringLiteral("源BOM/行号"), fixed, "String", 120);
    colBomType = add(QStringLiteral("BOM类别"), fixed, "Integer", 70);
    colBomItmNo = add(QStringLiteral("物料代码"), fixed, "String", 100);
    colBomItmName = add(QStringLiteral("物料名称"), rest, "String", 110);
    colBomItmSpec = add(QStringLiteral("规格型号"), rest, "String", 100);
    colBomFixed = add(QStringLiteral("固定用量"), rest, "Boolean", 60);
    colBomUnit = add(QStringLiteral("单位"), rest, "String", 50);
    colBomUCurrQty = add(QStringLiteral("用量"), rest, "Float", 70);
    colBomUBaseQty = add(QStringLiteral("用量基数"), rest, "Float", 70);
    colBomBaseUnit = add(QStringLiteral("单位(基本)"), rest, "String", 60);
    colBomCurrQty = add(QStringLiteral("用量(基本)"), rest, "Float", 70);
    colBomBaseQty = add(QStringLiteral("用量基数(基本)"), rest, "Float", 90);
    colBomBeginDate = add(QStringLiteral("生效日期"), rest, "DateTime");
    colBomEndDate = add(QStringLiteral("失效日期"), rest, "DateTime");
    colBomItmTypeName = add(QStringLiteral("物料属性"), rest, "String", 60);
    colBomItmMrpType = add(QStringLiteral("计划属性"), rest, "Integer", 60);
    colBomNote = add(QStringLiteral("备注"), rest, "String", 120);
    for (int i = 0; i < 10; ++i)
        colBomProp[i] = add(QStringLiteral("辅助项%1").arg(i + 1), rest, "String");
    colBomProps = add(QString(), rest, "String");
    colBomID = add(QString(), fixed, "String");
    colBomEntry = add(QString(), fixed, "Integer");
    colBomItmID = add(QString(), fixed, "String");
    colBomUnitFactor = add(QString(), rest, "Float");
    colBomPropMask = add(QString(), rest, "String");
    for (kvui::Column* c : {colBomProps, colBomID, colBomEntry, colBomItmID, colBomUnitFactor, colBomPropMask})
        c->setVisible(false);
    grdExpand->endUpdate();
    grdExpand->setShowCheckBoxes(true);
    grdExpand->setMultiSelect(true);
    grdExpand->setSortingEnabled(false);
    grdExpand->setEditingEnabled(false);

    // Substitutes show whether they will be copied: blue when checked, magenta when not.
    grdExpand->setCustomDrawHook([](kvui::CellDraw& cell) {
        if (cell.row.node && cell.row.node->imageIndex() == nkLocalSub && !cell.selected)
            cell.textColor = cell.row.node->isChecked() ? QColor(0x00, 0x00, 0xFF) : QColor(0xFF, 0x00, 0xFF);
    });
    connect(btnSearch, &QPushButton::clicked, this, &TCopyItemSubsDlg::btnSearchClick);
    connect(grdExpand, &kvui::TreeList::nodeCheckChanged, this, &TCopyItemSubsDlg::checkChanged);
    edtItmNo->installEventFilter(this);
    btnOk->setEnabled(false);
    edtItmNo->setFocus();
}

TCopyItemSubsDlg::~TCopyItemSubsDlg() = default;

void TCopyItemSubsDlg::Setup(kvui::TreeNode* ATargetBOM, kvui::Column* AItemIDCol, kvui::Column* AItemPropsCol, int ATargetBomType,
                             const QString& ATargetBomID, const QString& ATargetText, const QString& AFreeFields)
{
    FTargetBOM = ATargetBOM;
    FItemIDCol = AItemIDCol;
    FItemPropsCol = AItemPropsCol;
    FTargetBomType = ATargetBomType;
    FTargetBomID = ATargetBomID;
    edtTarget->setText(ATargetText);
    btnOk->setEnabled(false);

    TInfoObjectDef* def = InfoApplication ? InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.ItemSubs")) : nullptr;
    const std::pair<kvui::Column*, const char*> captions[] = {
        {colBomType, "BomType"},     {colBomItmNo, "ItmNo"},         {colBomItmName, "ItmName"},     {colBomItmSpec, "ItmSpec"},
        {colBomFixed, "BomFixed"},   {colBomUnit, "UntName"},        {colBomUCurrQty, "BomUQty"},    {colBomUBaseQty, "BomUBaseQty"},
        {colBomBaseUnit, "ItmUntName"}, {colBomCurrQty, "BomQty"},   {colBomBaseQty, "BomBaseQty"},  {colBomBeginDate, "BomBeginDate"},
        {colBomEndDate, "BomEndDate"}, {colBomNote, "BomNote"},
    };
    if (def) {
        colBomNo->setCaption(QStringLiteral("源") + fieldCaption(def, QStringLiteral("BomNo")));
        for (const auto& [column, field] : captions) {
            const QString caption = fieldCaption(def, QLatin1String(field));
            column->setVisible(!caption.isEmpty());
            if (!caption.isEmpty())
                column->setCaption(caption);
        }
        for (int i = 0; i < 10; ++i) {
            const QString caption = fieldCaption(def, QStringLiteral("BomProp%1").arg(i + 1));
            colBomProp[i]->setVisible(!caption.isEmpty());
            if (!caption.isEmpty())
                colBomProp[i]->setCaption(caption);
        }
        // The planning type shows its name, as the substitutes view shows it.
        SetupTreeListColumn(def->GetFieldDef(QStringLiteral("ItmMrpType")), colBomItmMrpType);
        // The caller's item fields that the substitutes object also defines.
        for (const TInfoFieldDef& field : def->Fields) {
            if (!DelimitedListContains(AFreeFields, field.ID, QStringLiteral("|")))
                continue;
            kvui::Column* c = grdExpand->addColumn(field.Name.section(u'\\', -1), QString(), 1);
            c->setWidth(70);
            c->setEditable(false);
            c->setValueType(valueTypeOf(field.DataType));
            FItemFreeColumns.append({field.ID, c});
            FItemFreeFieldsSQL += QStringLiteral(", [") + field.ID + QStringLiteral("]=") + field.SQLExpress;
        }
        if (!FItemFreeColumns.isEmpty()) {
            QString mainFilter;
            const QString from = InfoApplication->GetInfoObjectDataSourceSQL(def, FItemFreeFieldsSQL, mainFilter);
            const qsizetype at = from.indexOf(QStringLiteral("i.ItmID"), 0, Qt::CaseInsensitive);
            FItemFreeFromSQL = at < 0 ? QString() : from.mid(at + 7);
        }
        auto types = std::make_shared<kvui::ImageComboProperties>();
        ItemSubsRows::AddBomTypeNames(*types, def);
        types->addItem(int(nkLocalSub), QStringLiteral("局部替代"));
        colBomType->setEditor(types);
    }
    colBomFixed->setEditor(std::make_shared<kvui::CheckBoxProperties>());

    QString caption = QStringLiteral("物料代码");
    if (InfoApplication)
        if (TInfoObjectDef* items = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.Items")))
            if (!fieldCaption(items, QStringLiteral("ItmNo")).isEmpty())
                caption = fieldCaption(items, QStringLiteral("ItmNo"));
    FPick->SQL = BuildItemPickSQL(AFreeFields, PickCondition, QString());
    FPick->TextField = caption;
    FPick->FixedFields = u'|' + caption + u'|';
    FPick->AfterDataPicked = [this, caption](TCustomADODataSet* data, const TBookmarks&) {
        edtItmNo->setText(GetFieldValue(data, caption).toString());
    };
    connect(edtItmNo, &kvui::ButtonEdit::buttonClicked, this, [this](int) {
        FPick->Text = edtItmNo->text().trimmed();
        try {
            FPick->ShowPicker(true);
        } catch (const Exception& e) {
            ShowADOError(e, GlobalADOQuery);
        }
    });
}

bool TCopyItemSubsDlg::targetHasRow(const QString& AItemID, const QString& AProps) const
{
    if (!FTargetBOM)
        return false;
    for (kvui::TreeNode* row : FTargetBOM->children())
        if (row->imageIndex() >= 2 && SameText(row->value(FItemIDCol).toString(), AItemID) &&
            SameText(row->value(FItemPropsCol).toString(), AProps))
            return true;
    return false;
}

void TCopyItemSubsDlg::fillNode(kvui::TreeNode* ANode, TADOQuery* AData, int ALevel)
{
    const auto v = [AData](const char* field) { return GetFieldValue(AData, QLatin1String(field)); };
    ANode->setValue(colBomID, v("BomID"));
    ANode->setValue(colBomItmID, ALevel <= 1 ? v("BomItmID") : v("BomSubItmID"));
    ANode->setValue(colBomItmNo, v("ItmNo"));
    ANode->setValue(colBomItmName, v("ItmName"));
    ANode->setValue(colBomItmSpec, v("ItmSpec"));
    ANode->setValue(colBomItmTypeName, v("ItmTypeName"));
    ANode->setValue(colBomItmMrpType, v("ItmMrpType"));
    ANode->setValue(colBomFixed, v("BomFixed"));
    ANode->setValue(colBomUnit, v("UntName"));
    ANode->setValue(colBomUnitFactor, v("UntFactor"));
    ANode->setValue(colBomBaseUnit, v("ItmUntName"));
    ANode->setValue(colBomNote, v("BomNote"));
    if (ALevel > 0) {
        ANode->setValue(colBomUCurrQty, v("BomUQty"));
        ANode->setValue(colBomUBaseQty, Round8(Num(v("BomBaseQty")) / ParentUnitFactor(ANode, colBomUnitFactor)));
        ANode->setValue(colBomCurrQty, v("BomQty"));
        ANode->setValue(colBomBaseQty, v("BomBaseQty"));
    }
    ANode->setValue(colBomBeginDate, v("BomBeginDate"));
    ANode->setValue(colBomEndDate, v("BomEndDate"));
    ANode->setValue(colBomPropMask, v("PropMask"));
    ANode->setValue(colBomProps, v("BomProps"));
    for (int i = 0; i < 10; ++i)
        ANode->setValue(colBomProp[i], GetFieldValue(AData, QStringLiteral("BomProp%1").arg(i + 1)));
    for (const auto& [id, column] : FItemFreeColumns)
        ANode->setValue(column, GetFieldValue(AData, id));
}

void TCopyItemSubsDlg::btnSearchClick()
{
    QString text = edtItmNo->text().trimmed();
    if (text.isEmpty()) {
        ShowInfo(NothingToSearch);
        edtItmNo->selectAll();
        edtItmNo->setFocus();
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    grdExpand->beginUpdate();
    grdExpand->clear();
    if (!text.contains(u'%') && !text.contains(u'_'))
        text = u'%' + text + u'%';
    try {
        const QString sql = ItemSubsRows::ItemSubsListCreateSQL() + QStringLiteral("exec QZ_MRP_GetItemSubsList @Filter=") +
            QuotedStr(QStringLiteral("$$ItemNo$$ like ") + QuotedStr(text)) + QStringLiteral(", @LimitType=0, @LimitItmID=''\r") +
            ItemSubsRows::ItemSubsListSelectSQL(FItemFreeFieldsSQL, QStringLiteral("QZ_Base_ItemMaster as ri with(nolock)"), FItemFreeFromSQL);
        GlobalADOQuery->Close();
        GlobalADOQuery->SQL.Clear();
        GlobalADOQuery->SQL.Add(sql);
        GlobalADOQuery->Open();
        kvui::TreeNode* head = nullptr;
        kvui::TreeNode* row = nullptr;
        int counter = 0;
        const auto dropChildless = [this](kvui::TreeNode*& node) {
            if (node && node->childCount() == 0)
                grdExpand->deleteNode(node);
            node = nullptr;
        };
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            const int level = GetFieldValue(GlobalADOQuery, QStringLiteral("BomLevel")).toInt();
            const QString bomID = GetFieldValue(GlobalADOQuery, QStringLiteral("BomID")).toString();
            if (level == 0) {
                dropChildless(row);
                const bool skip = bomID.isEmpty() ||
                    (GetFieldValue(GlobalADOQuery, QStringLiteral("BomType")).toInt() == FTargetBomType && SameText(bomID, FTargetBomID));
                if (skip) {
                    dropChildless(head);
                    continue;
                }
                if (!head || head->childCount() > 0)
                    head = grdExpand->addNode();
                head->setImageIndex(nkScopeHead);
                head->setValue(colBomType, GetFieldValue(GlobalADOQuery, QStringLiteral("BomType")));
                head->setValue(colBomNo, GetFieldValue(GlobalADOQuery, QStringLiteral("BomNo")));
                fillNode(head, GlobalADOQuery, 0);
            } else if (level == 1) {
                if (!head)
                    continue;
                const QString item = GetFieldValue(GlobalADOQuery, QStringLiteral("BomItmID")).toString();
                const QString props = GetFieldValue(GlobalADOQuery, QStringLiteral("BomProps")).toString();
                if (!targetHasRow(item, props)) {
                    dropChildless(row);
                    continue;
                }
                if (!row || row->childCount() > 0)
                    row = grdExpand->addNode(head);
                row->setImageIndex(nkBomRow);
                row->setValue(colBomNo, GetFieldValue(GlobalADOQuery, QStringLiteral("BomEntry")));
                row->setValue(colBomEntry, GetFieldValue(GlobalADOQuery, QStringLiteral("BomEntry")));
                fillNode(row, GlobalADOQuery, 1);
                counter = 0;
            } else if (level == 2 && row) {
                kvui::TreeNode* sub = grdExpand->addNode(row);
                sub->setImageIndex(nkLocalSub);
                sub->setValue(colBomType, int(nkLocalSub));
                sub->setValue(colBomNo, QString(QChar(u'a' + counter % 26)));
                sub->setValue(colBomEntry, counter++);
                fillNode(sub, GlobalADOQuery, 2);
            }
        }
        GlobalADOQuery->Close();
        dropChildless(row);
        if (!grdExpand->topNodes().isEmpty() && grdExpand->topNodes().last()->childCount() == 0)
            grdExpand->deleteNode(grdExpand->topNodes().last());
    } catch (const Exception& e) {
        GlobalADOQuery->Close();
        grdExpand->endUpdate();
        QApplication::restoreOverrideCursor();
        ShowError(FormatMessage(DataLoadFailed, {e.Message}));
        return;
    } catch (const std::exception& e) {
        GlobalADOQuery->Close();
        grdExpand->endUpdate();
        QApplication::restoreOverrideCursor();
        ShowError(FormatMessage(DataLoadFailed, {QString::fromUtf8(e.what())}));
        return;
    }
    grdExpand->endUpdate();
    QApplication::restoreOverrideCursor();
    UpdateOkButton();
    if (grdExpand->topCount() == 0) {
        ShowInfo(NothingFound);
        edtItmNo->selectAll();
        edtItmNo->setFocus();
        return;
    }
    kvui::TreeNode* first = grdExpand->topNode(0);
    grdExpand->setFocusedNode(first);
    first->setExpanded(true);
    for (kvui::TreeNode* r : first->children())
        r->setExpanded(true);
    grdExpand->setFocus();
}

// Checking a node checks everything below it; a parent shows whether all,
// some or none of its children are checked.
void TCopyItemSubsDlg::checkChanged(kvui::TreeNode* ANode)
{
    static bool busy = false;
    if (busy || !ANode)
        return;
    busy = true;
    const Qt::CheckState state = ANode->checkState() == Qt::PartiallyChecked ? Qt::Checked : ANode->checkState();
    ANode->setCheckState(state);
    std::function<void(kvui::TreeNode*)> down = [&](kvui::TreeNode* n) {
        for (kvui::TreeNode* c : n->children()) {
            c->setCheckState(state);
            down(c);
        }
    };
    down(ANode);
    for (kvui::TreeNode* p = ANode->parent(); p; p = p->parent()) {
        int checked = 0, partly = 0;
        for (kvui::TreeNode* c : p->children()) {
            checked += c->checkState() == Qt::Checked;
            partly += c->checkState() == Qt::PartiallyChecked;
        }
        p->setCheckState(checked == p->childCount() ? Qt::Checked : (checked + partly > 0 ? Qt::PartiallyChecked : Qt::Unchecked));
    }
    busy = false;
    UpdateOkButton();
    grdExpand->viewport()->update();
}

void TCopyItemSubsDlg::UpdateOkButton()
{
    bool any = false;
    for (kvui::TreeNode* head : grdExpand->topNodes())
        any = any || head->checkState() != Qt::Unchecked;
    btnOk->setEnabled(any);
}

bool TCopyItemSubsDlg::CanClose()
{
    int heads = 0;
    for (kvui::TreeNode* head : grdExpand->topNodes())
        heads += head->checkState() != Qt::Unchecked;
    if (heads == 0) {
        ShowWarning(NothingChecked);
        return false;
    }
    if (heads > 1 &&
        ShowQuestion(FormatMessage(SeveralBills, {heads}), int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
        return false;
    return true;
}

void TCopyItemSubsDlg::done(int r)
{
    if (r == QDialog::Accepted && !CanClose())
        return;
    TDialog::done(r);
}

void TCopyItemSubsDlg::Result(TItemSubRecs& ASubs) const
{
    for (kvui::TreeNode* n : grdExpand->allNodes()) {
        if (n->imageIndex() != nkLocalSub || !n->isChecked())
            continue;
        kvui::TreeNode* row = n->parent();
        TItemSubRec rec;
        rec.ItemID = row->value(colBomItmID).toString();
        rec.ItemProps = row->value(colBomProps).toString();
        rec.SubItemID = n->value(colBomItmID).toString();
        rec.SubItemProps = n->value(colBomProps).toString();
        const bool known = std::any_of(ASubs.begin(), ASubs.end(), [&rec](const TItemSubRec& s) {
            return SameText(s.ItemID, rec.ItemID) && SameText(s.ItemProps, rec.ItemProps) && SameText(s.SubItemID, rec.SubItemID) &&
                SameText(s.SubItemProps, rec.SubItemProps);
        });
        if (known)
            continue;
        rec.SubItemNo = n->value(colBomItmNo).toString();
        rec.SubItemName = n->value(colBomItmName).toString();
        rec.SubItemSpec = n->value(colBomItmSpec).toString();
        for (int i = 0; i < 10; ++i)
            rec.SubProp[i] = n->value(colBomProp[i]).toString();
        rec.SubPropMask = n->value(colBomPropMask).toString();
        rec.SubTypeName = n->value(colBomItmTypeName).toString();
        rec.SubMrpType = n->value(colBomItmMrpType).toInt();
        rec.SubUnit = n->value(colBomUnit).toString();
        rec.SubFactor = n->value(colBomUnitFactor).isNull() ? 1 : Num(n->value(colBomUnitFactor));
        rec.ItemUQty = Num(n->value(colBomUBaseQty));
        rec.SubUQty = Num(n->value(colBomUCurrQty));
        rec.SubBaseUnit = n->value(colBomBaseUnit).toString();
        rec.ItemQty = Num(n->value(colBomBaseQty));
        rec.SubQty = Num(n->value(colBomCurrQty));
        rec.BeginDate = dateOf(n->value(colBomBeginDate));
        rec.EndDate = dateOf(n->value(colBomEndDate));
        rec.Note = n->value(colBomNote).toString();
        for (const auto& [id, column] : FItemFreeColumns)
            rec.FreeFields << n->value(column);
        ASubs << rec;
    }
}

QString TCopyItemSubsDlg::FreeFieldIDs() const
{
    QString ids;
    for (const auto& [id, column] : FItemFreeColumns)
        ids += id + u'\n';
    return ids;
}

bool TCopyItemSubsDlg::eventFilter(QObject* AObject, QEvent* AEvent)
{
    // While the source box has the focus Enter searches instead of closing.
    if (AObject == edtItmNo) {
        if (AEvent->type() == QEvent::FocusIn)
            btnOk->setDefault(false);
        if (AEvent->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(AEvent)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                btnSearchClick();
                return true;
            }
        }
    }
    return TDialog::eventFilter(AObject, AEvent);
}

bool ShowCopyItemSubsDlg(kvui::TreeNode* ATargetBOM, kvui::Column* AItemIDCol, kvui::Column* AItemPropsCol, int ATargetBomType,
                         const QString& ATargetBomID, const QString& ATargetText, QString& AFreeFields, TItemSubRecs& ASubs,
                         bool& AOverwrite)
{
    ASubs.clear();
    TCopyItemSubsDlg dlg(QApplication::activeWindow());
    dlg.Setup(ATargetBOM, AItemIDCol, AItemPropsCol, ATargetBomType, ATargetBomID, ATargetText, AFreeFields);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    dlg.Result(ASubs);
    AFreeFields = dlg.FreeFieldIDs();
    AOverwrite = dlg.chkOverwrite->isChecked();
    return true;
}
