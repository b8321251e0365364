#include "untItemSubsEdit.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untDllCommon.h"
#include "untInfoObjectDef.h"

#include <cmath>

namespace ItemSubsEdit {

namespace {

const QString EmptyValue = QStringLiteral("[%s]的内容不能为空!");
const QString MissingValue = QStringLiteral("[%s]的值(%s)不存在!");
const QString InvalidValue = QStringLiteral("[%s]的值(%s)无效!");
const QString SubIsAncestor = QStringLiteral("替代物料\"%s\"与被替代物料(或其上级产品)出现重复!");
const QString ConfirmBulkDelete = QStringLiteral("您已选择 %d 个项目进行批量删除, 确定?");
const QString DateOrder = QStringLiteral("[%s]的值没有大于[%s]的值!");
const QDate EndOfTime(9999, 12, 31);

bool isEmptyValue(const QVariant& v)
{
    return !v.isValid() || v.isNull() || v.toString().trimmed().isEmpty();
}

} // namespace

double Num(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return 0;
    bool ok = false;
    const double d = AValue.toDouble(&ok);
    return ok ? d : 0;
}

double Round8(double AValue)
{
    return std::nearbyint(AValue * 1e8) / 1e8;
}

QDate DateOf(const QVariant& AValue)
{
    if (!AValue.isValid() || AValue.isNull())
        return QDate();
    if (AValue.typeId() == QMetaType::QDate)
        return AValue.toDate();
    if (AValue.typeId() == QMetaType::QDateTime)
        return AValue.toDateTime().date();
    QDate d = StrToDateTime(AValue.toString()).date();
    return d.isValid() ? d : QDate::fromString(AValue.toString().left(10), Qt::ISODate);
}

bool SameText(const QString& A, const QString& B)
{
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

double ParentUnitFactor(kvui::TreeNode* ANode, kvui::Column* AUnitFactor)
{
    const double factor = ANode->parent() ? Num(ANode->parent()->value(AUnitFactor)) : 1;
    return factor == 0 ? 1 : factor;
}

void ShowSubstituteEditColumns(const TSubsColumns& ACols, TInfoObjectDef* ADef)
{
    for (kvui::Column* c : {ACols.BeginDate, ACols.EndDate, ACols.Note})
        c->setVisible(true);
    for (int i = 0; i < 10; ++i)
        if (!ACols.Prop[i]->isVisible() && ADef && ADef->GetFieldDef(QStringLiteral("BomProp%1").arg(i + 1)))
            ACols.Prop[i]->setVisible(true);
}

void SetSubstitutesEditable(const TSubsColumns& ACols, bool AEditable)
{
    for (kvui::Column* c :
         {ACols.ItmNo, ACols.UCurrQty, ACols.UBaseQty, ACols.CurrQty, ACols.BaseQty, ACols.BeginDate, ACols.EndDate, ACols.Note})
        c->setEditable(AEditable);
    for (int i = 0; i < 10; ++i)
        ACols.Prop[i]->setEditable(AEditable);
}

QString SubstituteText(kvui::TreeNode* ANode, const TSubsColumns& ACols)
{
    QString text = ANode->value(ACols.ItmNo).toString();
    const QString mask = ANode->value(ACols.PropMask).toString();
    for (int i = 0; i < 10; ++i)
        if (mask.mid(i, 1) == QLatin1String("1"))
            text += QStringLiteral(" / ") + ANode->value(ACols.Prop[i]).toString();
    return text;
}

bool ApplyQtyEdit(kvui::TreeNode* ANode, kvui::Column* AColumn, const TSubsColumns& ACols)
{
    if (AColumn != ACols.UCurrQty && AColumn != ACols.CurrQty && AColumn != ACols.UBaseQty && AColumn != ACols.BaseQty)
        return false;
    double factor = Num(ANode->value(ACols.UnitFactor));
    if (factor == 0)
        factor = 1;
    // A usage base is a quantity of the replaced row (or the parent product),
    // so it converts with that one's unit factor, as loading does.
    const double parentFactor = ParentUnitFactor(ANode, ACols.UnitFactor);
    bool ok = false;
    double q = ANode->value(AColumn).toString().trimmed().toDouble(&ok);
    if (!ok || !(q > 0))
        q = 1;
    ANode->setValue(AColumn, q);
    if (AColumn == ACols.UCurrQty)
        ANode->setValue(ACols.CurrQty, Round8(q * factor));
    else if (AColumn == ACols.CurrQty)
        ANode->setValue(ACols.UCurrQty, Round8(q / factor));
    else if (AColumn == ACols.UBaseQty)
        ANode->setValue(ACols.BaseQty, Round8(q * parentFactor));
    else
        ANode->setValue(ACols.UBaseQty, Round8(q / parentFactor));
    return true;
}

void FillOpenValidity(kvui::TreeNode* ANode, kvui::Column* AColumn, const TSubsColumns& ACols)
{
    if (AColumn == ACols.BeginDate && isEmptyValue(ANode->value(AColumn)))
        ANode->setValue(ACols.BeginDate, QDate::currentDate());
    else if (AColumn == ACols.EndDate && isEmptyValue(ANode->value(AColumn)))
        ANode->setValue(ACols.EndDate, EndOfTime);
}

void FillSubstituteItem(kvui::TreeNode* ANode, const QString& AItemNo, const TSubsColumns& ACols,
                        const std::function<QString(const QString&)>& ASelectSQL, const QStringList& AExtraFields,
                        const QList<kvui::Column*>& AExtraColumns)
{
    QVariantMap row;
    if (!AItemNo.isEmpty() &&
        ExecSQLText(GlobalADOQuery, ASelectSQL(QStringLiteral("i.ItmType<>4 and i.ItmDisabled=0 and i.ItmNo=") + QuotedStr(AItemNo)),
                    true, false, true)) {
        if (!GlobalADOQuery->Eof()) {
            for (const char* f : {"ItmID", "ItmName", "ItmSpec", "ItmTypeName", "UntName", "ItmMrpType", "PropMask"})
                row.insert(QLatin1String(f), GetFieldValue(GlobalADOQuery, QLatin1String(f)));
            for (const QString& f : AExtraFields)
                row.insert(f, GetFieldValue(GlobalADOQuery, f));
        }
        GlobalADOQuery->Close();
    }
    ANode->setValue(ACols.ItmNo, AItemNo);
    ANode->setValue(ACols.ItmID, row.value(QStringLiteral("ItmID")));
    ANode->setValue(ACols.ItmName, row.value(QStringLiteral("ItmName")));
    ANode->setValue(ACols.ItmSpec, row.value(QStringLiteral("ItmSpec")));
    ANode->setValue(ACols.ItmTypeName, row.value(QStringLiteral("ItmTypeName")));
    ANode->setValue(ACols.ItmMrpType, row.value(QStringLiteral("ItmMrpType")));
    ANode->setValue(ACols.Unit, row.value(QStringLiteral("UntName")));
    ANode->setValue(ACols.BaseUnit, row.value(QStringLiteral("UntName")));
    ANode->setValue(ACols.UnitFactor, 1.0);
    ANode->setValue(ACols.CurrQty, ANode->value(ACols.UCurrQty));
    const QString mask = row.value(QStringLiteral("PropMask")).toString();
    ANode->setValue(ACols.PropMask, mask);
    for (int i = 0; i < 10; ++i)
        if (ACols.Prop[i]->isVisible() && mask.mid(i, 1) != QLatin1String("1"))
            ANode->setValue(ACols.Prop[i], QVariant());
    for (int i = 0; i < AExtraFields.size() && i < AExtraColumns.size(); ++i)
        ANode->setValue(AExtraColumns[i], row.value(AExtraFields[i]));
}

bool DeleteSubstitutes(kvui::TreeList* ATree, const std::function<bool(kvui::TreeNode*)>& AIsSub,
                       const std::function<void(kvui::TreeNode*)>& AMarkChanged)
{
    const QList<kvui::TreeNode*> selected = ATree->selectedNodes();
    if (selected.size() < 2) {
        kvui::TreeNode* node = ATree->focusedNode();
        if (!AIsSub(node))
            return false;
        if (ShowQuestion(UCommonText::ConfirmDelete, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) != kvos::IDOK)
            return false;
        AMarkChanged(node->parent());
        ATree->deleteNode(node);
    } else {
        if (ShowWarning(FormatMessage(ConfirmBulkDelete, {int(selected.size())}), int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) !=
            kvos::IDOK)
            return false;
        UpdateBracket bracket(ATree);
        for (kvui::TreeNode* node : selected)
            if (AIsSub(node)) {
                AMarkChanged(node->parent());
                ATree->deleteNode(node);
            }
    }
    return true;
}

bool CheckSubstitute(kvui::TreeNode* ANode, const TSubstituteCheck& ACheck)
{
    const TSubsColumns& c = ACheck.Cols;
    const auto fail = [&](kvui::Column* AColumn, const QString& AMessage) {
        ACheck.FocusCell(ANode, AColumn);
        ShowWarning(AMessage);
        return false;
    };
    const QString number = ANode->value(c.ItmNo).toString().trimmed();
    if (number.isEmpty())
        return fail(c.ItmNo, FormatMessage(EmptyValue, {c.ItmNo->caption()}));
    const QString itemID = ANode->value(c.ItmID).toString();
    if (itemID.isEmpty())
        return fail(c.ItmNo, FormatMessage(MissingValue, {c.ItmNo->caption(), number}));
    const QString mask = ANode->value(c.PropMask).toString();
    if (!mask.contains(u'1')) {
        ANode->setValue(c.Props, QString());
    } else {
        QStringList args{QuotedStr(itemID)};
        for (int i = 0; i < 10; ++i) {
            const QString text = ANode->value(c.Prop[i]).toString().trimmed();
            if (mask.mid(i, 1) == QLatin1String("1") && text.isEmpty())
                return fail(c.Prop[i], FormatMessage(EmptyValue, {c.Prop[i]->caption()}));
            args << QuotedStr(ANode->value(c.Prop[i]).isNull() ? QString() : ANode->value(c.Prop[i]).toString());
        }
        QString id;
        int errNum = 0;
        bool found = false;
        if (ExecSQLText(GlobalADOQuery, QStringLiteral("exec QZ_MRP_GetItemPropsID ") + args.join(QStringLiteral(", ")), true, false, true)) {
            if (!GlobalADOQuery->Eof()) {
                found = true;
                id = GetFieldValue(GlobalADOQuery, QStringLiteral("ID")).toString().trimmed();
                errNum = GetFieldValue(GlobalADOQuery, QStringLiteral("ErrNum")).toInt();
            }
            GlobalADOQuery->Close();
        }
        if (errNum > 0 && errNum <= 10)
            return fail(c.Prop[errNum - 1],
                        FormatMessage(InvalidValue, {c.Prop[errNum - 1]->caption(), ANode->value(c.Prop[errNum - 1]).toString()}));
        if (!found || id.isEmpty()) {
            const PInfoFieldDef f = ACheck.ObjectDef ? ACheck.ObjectDef->GetFieldDef(QStringLiteral("BomProps")) : nullptr;
            return fail(c.ItmNo, FormatMessage(EmptyValue, {f ? f->Name.section(u'\\', -1) : QStringLiteral("辅助属性")}));
        }
        ANode->setValue(c.Props, id);
    }
    const QString props = ANode->value(c.Props).toString();
    const auto same = [&](kvui::TreeNode* other) {
        return SameText(other->value(c.ItmID).toString(), itemID) && SameText(other->value(c.Props).toString(), props);
    };
    for (kvui::TreeNode* p = ANode->prevSibling(); p && ACheck.IsPeer(p); p = p->prevSibling())
        if (same(p))
            return fail(c.ItmNo, FormatMessage(ACheck.DuplicateMessage, {SubstituteText(ANode, c)}));
    for (kvui::TreeNode* p = ANode->parent(); p; p = p->parent())
        if (same(p))
            return fail(c.ItmNo, FormatMessage(SubIsAncestor, {SubstituteText(ANode, c)}));
    const QDate begin = DateOf(ANode->value(c.BeginDate));
    const QDate end = DateOf(ANode->value(c.EndDate));
    // An empty date leaves that side of the validity open.
    if (begin.isValid() && end.isValid() && !(end > begin))
        return fail(c.EndDate, FormatMessage(DateOrder, {c.EndDate->caption(), c.BeginDate->caption()}));
    return true;
}

} // namespace ItemSubsEdit
