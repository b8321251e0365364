// TBOMExpandFrame's editing: the edit mode and which cells may change, a
// cell's edit and its consequences (item picked, row bill chosen, usages),
// local substitutes added, copied, deleted and moved, and the save of every
// touched bill as one substitution document, upper levels first.
#include "famBOMExpand.h"
#include "famBOMExpandPrivate.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "dlgCopyItemSubs.h"
#include "untDllCommon.h"
#include "untItemSubsEdit.h"
#include "untItemSubsRows.h"

#include <QCheckBox>

using namespace ItemSubsEdit;
using namespace ItemSubsRows;

namespace {

const QString DuplicateLocalSub = QStringLiteral("局部替代料不允许重复, 替代物料\"%s\"已存在!");
const QString CopiedAlreadyThere = QStringLiteral("选择复制的替代料已存在于目标BOM中。");
const QString BomChoiceSeparator = QString(2, QChar(0xF8F5));
const QDate EndOfTime(9999, 12, 31);

} // namespace

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
