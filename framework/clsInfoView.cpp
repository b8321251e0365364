#include "clsInfoView.h"

#include "MessageBox.h"
#include "UCommon.h"

#include <QApplication>
#include <QLayout>
#include <QLocale>
#include <QStringList>

#include <chrono>

namespace {

// Where the quoted text starting at `from` (on its opening quote) ends: just past
// its closing quote; -1 when it is never closed.
qsizetype quotedEnd(const QString& text, qsizetype from)
{
    qsizetype i = from + 1;
    while (i < text.size()) {
        if (text[i] != u'\'')
            ++i;
        else if (i + 1 < text.size() && text[i + 1] == u'\'')
            i += 2;
        else
            return i + 1;
    }
    return -1;
}

// One whole text literal ('...' or N'...', quotes inside doubled), nothing before or after it.
bool isQuotedLiteral(const QString& v)
{
    const qsizetype open = v.startsWith(u'N') || v.startsWith(u'n') ? 1 : 0;
    return v.size() >= open + 2 && v[open] == u'\'' && quotedEnd(v, open) == v.size();
}

// A master date value: the local date-time text of the grid, or a quoted
// 'yyyymmdd' / 'yyyymmdd hh:nn:ss' literal.
QDateTime masterDate(const QString& value)
{
    QString v = value.trimmed();
    if (isQuotedLiteral(v))
        v = v.mid(1, v.size() - 2).trimmed();
    QDateTime dt = StrToDateTime(v);
    if (dt.isValid())
        return dt;
    for (const char* format : {"yyyyMMdd", "yyyyMMdd hh:mm:ss", "yyyyMMdd hh:mm:ss.zzz", "yyyy-MM-dd", "yyyy-MM-dd hh:mm:ss",
                               "yyyy-MM-ddThh:mm:ss", "yyyy/MM/dd hh:mm:ss.zzz"}) {
        dt = QDateTime::fromString(v, QLatin1String(format));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}

} // namespace

QString BuildMasterValueCondition(TInfoObjectDef* AObjectDef, const QString& AFieldID, const QString& AValue)
{
    const PInfoFieldDef field = AObjectDef ? AObjectDef->GetFieldDef(AFieldID) : nullptr;
    if (!field)
        return QStringLiteral("1=0");
    const QString& e = field->SQLExpress;
    if (AValue.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
        return e + QStringLiteral(" is null");
    const int type = field->DataType;
    if (FieldTypes::IsStringType(type)) {
        const QString v = AValue.trimmed();
        if (v.isEmpty())
            return u'(' + e + QStringLiteral("='' or ") + e + QStringLiteral(" is null)");
        // Values come as SQL literals; anything else is quoted here, never pasted as SQL.
        return e + u'=' + (isQuotedLiteral(v) ? v : QuotedStr(AValue));
    }
    if (FieldTypes::IsNumericType(type)) {
        if (AValue.isEmpty() || AValue == QLatin1String("''") || AValue == QLatin1String("0"))
            return u'(' + e + QStringLiteral("=0 or ") + e + QStringLiteral(" is null)");
        // Numbers come in the C locale; anything else cannot match a number.
        bool ok = false;
        QLocale::c().toDouble(AValue.trimmed(), &ok);
        if (!ok)
            return QStringLiteral("1=0");
        return e + u'=' + AValue.trimmed();
    }
    if (type == FieldTypes::ftBoolean) {
        if (AValue == QLatin1String("1") || AValue.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return e + QStringLiteral("=1");
        return u'(' + e + QStringLiteral("=0 or ") + e + QStringLiteral(" is null)");
    }
    if (FieldTypes::IsDateType(type)) {
        if (AValue.isEmpty() || AValue == QLatin1String("''"))
            return e + QStringLiteral(" is null");
        const QDateTime dt = masterDate(AValue);
        if (!dt.isValid())
            return QStringLiteral("1=0");
        QString text;
        if (!FieldTypes::IsDateTimeType(type))
            text = dt.date().toString(QStringLiteral("yyyyMMdd"));
        else if (dt.time().msec() != 0)
            text = dt.toString(QStringLiteral("yyyyMMdd hh:mm:ss.zzz"));
        else
            text = dt.toString(QStringLiteral("yyyyMMdd hh:mm:ss"));
        return e + QStringLiteral("='") + text + u'\'';
    }
    return QStringLiteral("1=0");
}

TMasterValues ReadMasterValues(const QString& AText)
{
    TMasterValues values;
    const qsizetype n = AText.size();
    auto lineBreak = [&](qsizetype i) { return AText[i] == u'\r' || AText[i] == u'\n'; };
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && AText[i] != u'=' && !lineBreak(i))
            ++i;
        QString name = AText.mid(start, i - start);
        QString value;
        if (i < n && AText[i] == u'=') {
            const qsizetype valueStart = ++i;
            qsizetype j = i;
            while (j < n && (AText[j] == u' ' || AText[j] == u'\t'))
                ++j;
            if (j + 1 < n && (AText[j] == u'N' || AText[j] == u'n') && AText[j + 1] == u'\'')
                ++j;
            if (j < n && AText[j] == u'\'') {
                const qsizetype end = quotedEnd(AText, j);   // line breaks inside the quotes are the value's own
                i = end < 0 ? n : end;
            }
            while (i < n && !lineBreak(i))
                ++i;
            value = AText.mid(valueStart, i - valueStart);
        }
        if (i < n && AText[i] == u'\r')
            ++i;
        if (i < n && AText[i] == u'\n')
            ++i;
        if (name.trimmed().isEmpty() && value.trimmed().isEmpty())
            continue;
        values.append({name, value});
    }
    return values;
}

QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const QString& AMasterValues, const QString& AFieldID)
{
    return BuildMasterValuesCondition(AObjectDef, ReadMasterValues(AMasterValues), AFieldID);
}

QString BuildMasterValuesCondition(TInfoObjectDef* AObjectDef, const TMasterValues& AMasterValues, const QString& AFieldID)
{
    const TMasterValues& lines = AMasterValues;
    if (!AFieldID.isEmpty()) {
        QString value;
        for (const auto& line : lines)
            if (line.first.compare(AFieldID, Qt::CaseInsensitive) == 0) {
                value = line.second;
                break;
            }
        return BuildMasterValueCondition(AObjectDef, AFieldID, value);
    }
    if (lines.isEmpty())
        return QStringLiteral("1=0");
    QStringList parts;
    for (const auto& line : lines)
        parts.append(BuildMasterValueCondition(AObjectDef, line.first, line.second));
    return parts.join(QStringLiteral(" and "));
}

// ---- TCustomInfoView -------------------------------------------------------

namespace {

const QString SavingDataHint = QStringLiteral("正在保存数据, 请稍候...");
const QString ConfirmCancelEdits = QStringLiteral("所有未保存过的编辑内容将被放弃, 确定?");
const QString ConfirmSaveOnClose = QStringLiteral("您将退出[%s]的当前编辑状态, 对未保存过的内容进行保存?");
// Background of views in edit mode.
const QColor EditModeColor(0xFF, 0x00, 0xFF);
// Row limit of view queries when the system settings have not been read.
constexpr int DefaultMaxResultRowCount = 20000;

} // namespace

quint32 CurrentTickCount()
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TCustomInfoView::TCustomInfoView(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : QFrame(AOwner)
    , ObjectDef(AObjectDef)
{
}

TCustomInfoView::~TCustomInfoView() = default;

void TCustomInfoView::MakeNameUnique(const QString& ADesignedName)
{
    setObjectName(ADesignedName + QString::number(CurrentTickCount()));
}

void TCustomInfoView::ApplyViewScheme() {}
void TCustomInfoView::StoreViewScheme() {}

void TCustomInfoView::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    MasterView = AMasterView;
    AsDetailID = AViewAsDetailID.trimmed();
    AsDetail = !AsDetailID.isEmpty();
    if (ViewScheme.ID.isEmpty()) {
        if (AsDetail && MasterView && MasterView->GetViewScheme())
            ViewScheme.ID = MasterView->GetViewScheme()->ID + u'/' + AsDetailID;
        else if (ObjectDef)
            ViewScheme.ID = ObjectDef->ID;
    }
    if (ViewCaption.isEmpty()) {
        if (AsDetail && MasterView && MasterView->GetObjectDef()) {
            if (const PInfoRelationDef rel = MasterView->GetObjectDef()->GetRelationDef(AsDetailID))
                ViewCaption = rel->Name;
        } else if (ObjectDef) {
            ViewCaption = ObjectDef->Name;
        }
    }
    if (AsDetail)
        ViewScheme.Supports &= ~TViewSupports(voSupportFilter);
    LoadViewScheme(ViewScheme);
    ApplyViewScheme();
}

void TCustomInfoView::NotifyDetailCreated(const IInfoViewPtr&) {}

void TCustomInfoView::SetViewID(const QString& AID)
{
    ViewScheme.ID = AID;
}

void TCustomInfoView::SetViewCaption(const QString& ACaption)
{
    ViewCaption = ACaption;
}

QString TCustomInfoView::GetViewCaption()
{
    return ViewCaption;
}

QString TCustomInfoView::PrintTitle() const
{
    if (!ViewCaption.trimmed().isEmpty())
        return ViewCaption.trimmed();
    return ObjectDef ? ObjectDef->Name : QString();
}

void TCustomInfoView::SetParentControl(QWidget* AParent)
{
    setParent(AParent);
    if (!AParent)
        return;
    if (AParent->layout())
        AParent->layout()->addWidget(this);
    else
        resize(AParent->size());
    show();
}

void TCustomInfoView::SetOnFocusedRecordChanged(TNotifyEvent AValue)
{
    FOnFocusedRecordChanged = std::move(AValue);
}

void TCustomInfoView::SetDataFilter(const QString& AFilterSQL, bool ARefrehData)
{
    DataIsFresh = false;
    DataFilter = AFilterSQL;
    if (ARefrehData)
        RefreshData(true);
}

void TCustomInfoView::SetMasterValues(const QString& AValues, bool ARefrehData)
{
    DataIsFresh = false;
    MasterValues = AValues;
    if (ARefrehData)
        RefreshData(true);
}

void TCustomInfoView::SetSelectedRecordValue(int, const QString&, const QVariant&) {}
void TCustomInfoView::SetViewPosition(const QString&) {}

void TCustomInfoView::SetFocus()
{
    QWidget::setFocus();
}

void TCustomInfoView::MakeFocus()
{
    // A view that cannot take the focus now (hidden, disabled) keeps it where it is.
    if (isVisible() && isEnabled())
        SetFocus();
}

void TCustomInfoView::RefreshData(bool)
{
    FDataTimeStamp = CurrentTickCount();
    DataIsFresh = true;
}

void TCustomInfoView::CloseData()
{
    DataIsFresh = false;
}

TInfoObjectDef* TCustomInfoView::GetObjectDef()
{
    return ObjectDef;
}

PViewScheme TCustomInfoView::GetViewScheme()
{
    return &ViewScheme;
}

QString TCustomInfoView::GetViewPosition()
{
    return QString();
}

bool TCustomInfoView::GetEditMode()
{
    return FEditMode;
}

IInfoViewPtr TCustomInfoView::GetActiveView()
{
    return Self();
}

IInfoViewPtr TCustomInfoView::GetRelationView(const QString& ARelID)
{
    return ARelID.trimmed().isEmpty() ? Self() : IInfoViewPtr();
}

QString TCustomInfoView::GetFocusedRecordString(const QString&)
{
    return QString();
}

int TCustomInfoView::GetSelectedRecordCount()
{
    return 0;
}

QVariant TCustomInfoView::GetSelectedRecordValue(int, const QString&)
{
    return QVariant();
}

bool TCustomInfoView::IsFocused()
{
    QWidget* focused = QApplication::focusWidget();
    return focused && (focused == this || isAncestorOf(focused));
}

bool TCustomInfoView::DataRefreshed()
{
    return DataIsFresh;
}

bool TCustomInfoView::NeedSave()
{
    return GetEditMode() && Modified;
}

bool TCustomInfoView::SaveData()
{
    return false;
}

void TCustomInfoView::SetEditMode(bool AValue)
{
    if (AValue == FEditMode)
        return;
    FEditMode = AValue;
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, AValue ? EditModeColor : QApplication::palette().color(QPalette::Button));
    setPalette(p);
    const int padding = AValue ? 3 : 0;
    setContentsMargins(padding, padding, padding, padding);
}

void TCustomInfoView::DoFocusedRecordChanged()
{
    if (FOnFocusedRecordChanged)
        FOnFocusedRecordChanged(this);
}

bool TCustomInfoView::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex >= Commands::FirstAction) {
        const int index = ACommandIndex - Commands::FirstAction;
        if (!ObjectDef || index >= int(ObjectDef->Actions.size()))
            return false;
        const TInfoActionDef& action = ObjectDef->Actions[size_t(index)];
        if (action.Filter.isEmpty())
            AState = csEnabled;
        else if (GetFocusedRecordString(u'#' + action.ID) == QLatin1String("1"))
            AState = csEnabled;
        return true;
    }
    if (ACommandIndex == Commands::Save || ACommandIndex == Commands::CancelEdits) {
        AState = (GetEditMode() && Modified) ? TCommandState(csEnabled) : TCommandState();
        return true;
    }
    return false;
}

bool TCustomInfoView::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex >= Commands::FirstAction) {
        const int index = ACommandIndex - Commands::FirstAction;
        if (!ObjectDef || !ObjectDef->HasEditor || index >= int(ObjectDef->Actions.size()))
            return false;
        const TInfoActionDef& action = ObjectDef->Actions[size_t(index)];
        if (action.ActType != atNew && action.ActType != atUpdate && action.ActType != atCopy)
            return false;
        ShowEditor(action.ID);
        return true;
    }
    if (ACommandIndex == Commands::Save) {
        InfoApplication->ShowStatusMessage(SavingDataHint, mkHint);
        SaveData();
        InfoApplication->ShowStatusMessage(QString(), mkHint);
        return true;
    }
    if (ACommandIndex == Commands::CancelEdits) {
        if (ShowWarning(ConfirmCancelEdits, int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2)) == kvos::IDOK) {
            try {
                const QString position = GetViewPosition();
                RefreshData(false);
                SetViewPosition(position);
            } catch (...) {
                // a failing refresh leaves the view as it was
            }
        }
        return true;
    }
    return false;
}

bool TCustomInfoView::QueryClose()
{
    if (NeedSave() && !AskSaveEdits())
        return false;
    if (!GetEditMode())
        StoreViewScheme();
    SaveViewScheme(ViewScheme, true);
    return true;
}

bool TCustomInfoView::AskSaveEdits(bool* ADiscarded)
{
    const int answer = ShowQuestion(FormatMessage(ConfirmSaveOnClose, {ViewCaption}), int(kvos::MB_YESNOCANCEL | kvos::MB_DEFBUTTON3));
    if (ADiscarded)
        *ADiscarded = answer == kvos::IDNO;
    if (answer == kvos::IDCANCEL)
        return false;
    return answer != kvos::IDYES || SaveData();
}

IInfoEditPtr TCustomInfoView::ShowEditor(const QString& AActionID)
{
    if (!ObjectDef || !ObjectDef->HasEditor)
        return IInfoEditPtr();
    QString keyValues;
    const PInfoActionDef action = AActionID.isEmpty() ? nullptr : ObjectDef->GetActionDef(AActionID);
    if (!action || action->ActType != atNew)
        for (const TInfoFieldDef& field : ObjectDef->Fields)
            if (field.IsPrimary)
                keyValues += field.ID + u'=' + GetFocusedRecordString(field.ID) + QStringLiteral("\r\n");
    return InfoApplication->ShowInfoObjectEditor(ObjectDef, keyValues, AActionID);
}

QString TCustomInfoView::defaultFieldList() const
{
    QString list = QStringLiteral("|");
    if (ObjectDef)
        for (const TInfoFieldDef& field : ObjectDef->Fields)
            if (!field.HideList && field.Layout != flDefaultHide
                && !DelimitedListContains(ViewScheme.Mask, field.ID, QStringLiteral("|")))
                list += field.ID + u'|';
    return list;
}

QString TCustomInfoView::GetSchemeFieldList()
{
    const QString stored = ReadViewSchemeParam(ViewScheme.Params, FieldsSection);
    if (!stored.isEmpty() && ObjectDef) {
        // A stored list counts while it names at least one field that still exists.
        for (const QString& id : stored.split(u'|', Qt::SkipEmptyParts))
            if (ObjectDef->IndexOfField(id) >= 0)
                return stored;
    }
    const QString list = defaultFieldList();
    ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, FieldsSection, list);
    return list;
}

QString TCustomInfoView::BuildMasterCondition(const QString& AFieldID)
{
    return BuildMasterValuesCondition(ObjectDef, MasterValues, AFieldID);
}

QString TCustomInfoView::BuildSelectSQL(const QString& ARequiredFields, const QString& AExtSelect, const QString& AExtFilter,
                                        const QString& ADefaultOrder, bool ARowLimit)
{
    if (AsDetail && !DetailSQLPattern.isEmpty()) {
        QString sql = DetailSQLPattern;
        const qsizetype at = sql.indexOf(MasterPlaceholder);
        if (at >= 0)
            sql.replace(at, MasterPlaceholder.size(), BuildMasterCondition(QString()));
        return sql;
    }
    const QString bar = QStringLiteral("|");
    QString fieldsSQL = ViewScheme.FieldsSQL;
    QString shown = ReadViewSchemeParam(ViewScheme.Params, FieldsSection);
    if (fieldsSQL.trimmed().isEmpty() && ObjectDef) {
        // Nothing of the scheme's field list is left: show the default fields.
        shown = defaultFieldList();
        QStringList items;
        for (const TInfoFieldDef& field : ObjectDef->Fields)
            if (DelimitedListContains(shown, field.ID, bar))
                items.append(field.SQLExpress + QStringLiteral(" as [") + field.ID + u']');
        fieldsSQL = items.join(QStringLiteral(", "));
    }
    QString select = fieldsSQL;
    QString keyOrder;
    if (ObjectDef) {
        for (auto i = ObjectDef->Fields.size(); i-- > 0;) {
            const TInfoFieldDef& field = ObjectDef->Fields[i];
            const bool needed = field.IsPrimary || field.HideList || field.ViewSign != vsNormal
                || DelimitedListContains(ARequiredFields, field.ID, bar);
            if (needed && !DelimitedListContains(shown, field.ID, bar))
                select += QStringLiteral(", ") + field.SQLExpress + QStringLiteral(" as [") + field.ID + u']';
            if (field.IsPrimary && ViewScheme.OrderBySQL.isEmpty() && ADefaultOrder.isEmpty())
                keyOrder = QStringLiteral(", [") + field.ID + u']' + keyOrder;
        }
    }
    if (!AExtSelect.isEmpty())
        select += QStringLiteral(", ") + AExtSelect;
    if (ObjectDef)
        for (auto i = ObjectDef->Actions.size(); i-- > 0;) {
            const TInfoActionDef& action = ObjectDef->Actions[i];
            if (!action.Filter.isEmpty())
                select += QStringLiteral(", [#") + action.ID + QStringLiteral("]=(case when ") + action.Filter
                    + QStringLiteral(" then 1 else 0 end)");
        }
    if (select.startsWith(QStringLiteral(", ")))
        select.remove(0, 2);
    if (ARowLimit) {
        const int limit = InfoApplication->MaxResultRowCount > 0 ? InfoApplication->MaxResultRowCount
                                                                   : DefaultMaxResultRowCount;
        select = QStringLiteral("top ") + QString::number(limit) + u' ' + select;
    }

    QString where;
    QString master;
    if (AsDetail) {
        master = BuildMasterCondition(QString());
        where = QStringLiteral(" and ") + MasterPlaceholder;
    }
    for (const QString& condition : {DataFilter, AExtFilter, ViewScheme.FilterSQL})
        if (!condition.isEmpty())
            where += QStringLiteral(" and (") + condition + u')';
    QString order;
    if (!keyOrder.isEmpty())
        order = keyOrder.mid(2);
    else if (!ViewScheme.OrderBySQL.isEmpty())
        order = ViewScheme.OrderBySQL;
    else
        order = ADefaultOrder;

    const QString sql = InfoApplication->GetInfoObjectSelectSQL(ObjectDef, select, where.mid(5), order, master, QString(),
                                                                 QString());
    if (!AsDetail)
        return sql;
    // The pattern is kept only once the master values name fields, so that
    // the sources their conditions need are joined in it.
    if (!MasterValues.trimmed().isEmpty())
        DetailSQLPattern = sql;
    QString result = sql;
    const qsizetype at = result.indexOf(MasterPlaceholder);
    if (at >= 0)
        result.replace(at, MasterPlaceholder.size(), master);
    return result;
}

bool TCustomInfoView::EnsureViewSchemeParsed()
{
    if (ViewScheme.SQLParsed)
        return true;
    // A detail view, and a view that found a stored scheme (the user's last
    // one or a shared default, already applied), open on it at once: the
    // dialog asks only where the account set keeps no scheme for the view.
    if (AsDetail || ViewScheme.IID != 0) {
        InfoApplication->ParseViewSchemeSQL(ObjectDef, &ViewScheme, GlobalADOQuery);
        return true;
    }
    if (!InfoApplication->ShowViewSchemeDlg(ObjectDef, &ViewScheme, GlobalADOQuery, false, ViewCaption))
        return false;
    ApplyViewScheme();
    return true;
}

bool TCustomInfoView::QueryViewCommandState(int ACommandIndex, TCommandState& AState)
{
    const auto enabledWhen = [&AState](bool condition) {
        AState = condition ? TCommandState(csEnabled) : TCommandState();
        return true;
    };
    const bool editing = GetEditMode();
    switch (ACommandIndex) {
    case Commands::Export:
        return enabledWhen(ObjectDef && ObjectDef->CanExport);
    case Commands::PageSetup:
    case Commands::ReportDesign:
    case Commands::Print:
    case Commands::PrintPreview:
        return enabledWhen(!editing && ObjectDef && ObjectDef->CanPrint);
    case Commands::SchemeFields:
    case Commands::SchemeSort:
        return enabledWhen(!editing && (ViewScheme.Supports & voSupportFields));
    case Commands::SchemeFilter:
        return enabledWhen(!editing && (ViewScheme.Supports & voSupportFilter));
    case Commands::SchemeCustomView:
    case Commands::Refresh:
        return enabledWhen(!editing);
    default:
        return false;
    }
}

bool TCustomInfoView::ExecViewSchemeCommand(int ACommandIndex)
{
    switch (ACommandIndex) {
    case Commands::SchemeFields:
    case Commands::SchemeSort:
        ShowSchemeDialog(true);
        return true;
    case Commands::SchemeFilter:
    case Commands::SchemeCustomView:
        ShowSchemeDialog(false);
        return true;
    case Commands::Refresh:
        RefreshData(true);
        return true;
    default:
        return false;
    }
}

bool TCustomInfoView::ShowSchemeDialog(bool AFieldsPageFirst)
{
    StoreViewScheme();
    if (!InfoApplication->ShowViewSchemeDlg(ObjectDef, &ViewScheme, GlobalADOQuery, AFieldsPageFirst, ViewCaption))
        return false;
    ApplyViewScheme();
    DetailSQLPattern.clear();
    RefreshData(true);
    return true;
}
