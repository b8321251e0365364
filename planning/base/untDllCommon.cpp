#include "untDllCommon.h"

#include "clsPickEdit.h"

#include <QUuid>

// ---- UCommon ---------------------------------------------------------------

int CountSubStr(const QString& ASubStr, const QString& AText)
{
    if (ASubStr.isEmpty() || AText.isEmpty())
        return 0;
    int count = 0;
    qsizetype pos = 0;
    while (pos < AText.size()) {
        if (QStringView(AText).mid(pos, ASubStr.size()).compare(ASubStr, Qt::CaseInsensitive) == 0) {
            ++count;
            pos += ASubStr.size();
        } else {
            ++pos;
        }
    }
    return count;
}

QString StrToHexCodes(const QString& AText)
{
    QString result;
    result.reserve(AText.size() * 4);
    for (QChar c : AText)
        result += IntToBaseText(c.unicode(), 16, 4);
    return result;
}

QString HexCodesToStr(const QString& AText)
{
    QString result;
    // Positions counted from 1 as the stored texts were written: a group starts
    // only before the last character.
    for (qsizetype pos = 1; pos < AText.size(); pos += 4)
        result += QChar(char16_t(BaseTextToInt(AText.mid(pos - 1, 4), 16)));
    return result;
}

double IIfFloat(bool ACondition, double ATrue, double AFalse)
{
    return ACondition ? ATrue : AFalse;
}

QString NewGUIDString()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper();
}

// ---- UDBComm ---------------------------------------------------------------

QVariant GetFieldValue(TCustomADODataSet* ADataSet, const QString& AFieldName)
{
    TField* field = ADataSet ? ADataSet->FindField(AFieldName) : nullptr;
    return field ? field->Value() : QVariant();
}

int OpenSQLCount(TADOQuery* AQuery, const QString& ASQL, bool ARaise, bool AShowError)
{
    try {
        AQuery->Close();
        AQuery->SQL.SetText(ASQL);
        AQuery->Open();
        return AQuery->RecordCount();
    } catch (Exception& e) {
        if (AShowError)
            ShowADOError(e, AQuery);
        if (ARaise)
            throw;
    }
    return -1;
}

// ---- untCommonUI -----------------------------------------------------------

void SetTreeListColumnEnumEditor(kvui::Column* AColumn, PInfoFieldDef AFieldDef)
{
    if (!AColumn || !AFieldDef)
        return;
    auto props = std::make_shared<kvui::ImageComboProperties>();
    FillFieldEnumItems(*AFieldDef, *props);
    AColumn->setEditor(props);
}

void SetTreeListColumnPickEditor(kvui::Column* AColumn, PInfoFieldDef AFieldDef)
{
    if (!AColumn || !AFieldDef)
        return;
    auto props = std::make_shared<TPickEditProperties>();
    SetupPickEditProperties(*AFieldDef, props.get());
    AColumn->setEditor(props);
}

void SetupTreeListColumn(PInfoFieldDef AFieldDef, kvui::Column* AColumn)
{
    if (!AFieldDef || !AColumn)
        return;
    if (AFieldDef->EnumValues) {
        SetTreeListColumnEnumEditor(AColumn, AFieldDef);
        return;
    }
    const auto vt = AFieldDef->ValueType;
    if (vt == vtCreater || vt == vtUser || vt == vtLookup) {
        SetTreeListColumnPickEditor(AColumn, AFieldDef);
        return;
    }
    if (AFieldDef->DataType == FieldTypes::ftBoolean) {
        if (!AColumn->editor())
            AColumn->setEditor(CheckBoxItem());
        return;
    }
    namespace F = FieldTypes;
    switch (AFieldDef->DataType) {
    case F::ftSmallint: case F::ftInteger: case F::ftWord: case F::ftFloat: case F::ftCurrency: case F::ftBCD:
    case F::ftAutoInc: case F::ftLargeint: case F::ftFMTBcd: case F::ftLongWord: case F::ftShortint: case F::ftByte:
    case F::ftExtended: case F::ftSingle:
        if (!AColumn->editor())
            AColumn->setEditor(RightAlignedTextItem());
        // A number in the number format, unless the column shows a value list
        // (its editor given later by the frame): then the list's text stands.
        if (!AColumn->displayTextHook)
            AColumn->displayTextHook = [AColumn, currency = AFieldDef->DataType == F::ftCurrency](
                                           const kvui::RowRef& ARow, const QVariant& AValue, QString& AText) {
                if (AColumn->effectiveEditor(ARow)->isDropDown())
                    return;
                if (currency)
                    TCommonUI::TreeCurrencyColumnGetDisplayText(ARow, AValue, AText);
                else
                    TCommonUI::TreeFloatColumnGetDisplayText(ARow, AValue, AText);
            };
        break;
    default:
        break;
    }
}

int FindImageComboItemIndex(const QVariant& AValue, const kvui::ImageComboProperties* AImageCombo)
{
    if (!AImageCombo)
        return -1;
    for (auto i = AImageCombo->items.size(); i-- > 0;)
        if (AImageCombo->items.at(i).value == AValue)
            return int(i);
    return -1;
}

kvui::TreeNode* GetTopLevelNode(kvui::TreeNode* ANode)
{
    while (ANode && ANode->parent())
        ANode = ANode->parent();
    return ANode;
}

// ---- clsInfoView -----------------------------------------------------------

QString BuildFieldSelectList(TCustomInfoView* AView, const QString& AFieldList)
{
    if (!AView)
        return {};
    const QString bar = QStringLiteral("|");
    QString result = AView->ViewScheme.FieldsSQL;
    const QString shown = ReadViewSchemeParam(AView->ViewScheme.Params, FieldsSection);
    if (TInfoObjectDef* def = AView->ObjectDef) {
        for (auto i = def->Fields.size(); i-- > 0;) {
            const TInfoFieldDef& field = def->Fields[i];
            const bool needed = field.IsPrimary || field.HideList || field.ViewSign != vsNormal
                || DelimitedListContains(AFieldList, field.ID, bar);
            if (needed && !DelimitedListContains(shown, field.ID, bar))
                result += QStringLiteral(", ") + field.SQLExpress + QStringLiteral(" as [") + field.ID + u']';
        }
    }
    return result;
}
