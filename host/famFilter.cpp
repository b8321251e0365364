#include "famFilter.h"

#include "FilterControl.h"
#include "UCommon.h"
#include "clsPickEdit.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QBuffer>
#include <QEvent>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace FT = FieldTypes;

namespace {

const QString MySelf = QStringLiteral("<我>");

QString sizedType(const char* name, int n, int minimum)
{
    return QString::fromLatin1(name) + u'(' + QString::number(n < minimum ? 100 : n) + u')';
}

kvui::FilterValueType filterValueType(int code)
{
    if (code == FT::ftBoolean)
        return kvui::FilterValueType::Boolean;
    if (FT::IsOrdinalType(code) || code == FT::ftShortint || code == FT::ftByte)
        return kvui::FilterValueType::Integer;
    if (FT::IsNumericType(code))
        return kvui::FilterValueType::Number;
    if (code == FT::ftDate)
        return kvui::FilterValueType::Date;
    if (code == FT::ftDateTime || code == FT::ftTimeStamp || code == FT::ftOraTimeStamp)
        return kvui::FilterValueType::DateTime;
    return kvui::FilterValueType::Text;
}

bool isNumericFilterField(int code)
{
    switch (code) {
    case FT::ftSmallint: case FT::ftInteger: case FT::ftWord: case FT::ftBoolean: case FT::ftFloat: case FT::ftCurrency: case FT::ftBCD:
    case FT::ftAutoInc: case FT::ftLargeint: case FT::ftFMTBcd: case FT::ftLongWord: case FT::ftShortint: case FT::ftByte:
    case FT::ftExtended: case FT::ftSingle:
        return true;
    default:
        return false;
    }
}

bool isTextFilterField(int code)
{
    switch (code) {
    case FT::ftString: case FT::ftMemo: case FT::ftFmtMemo: case FT::ftFixedChar: case FT::ftWideString: case FT::ftFixedWideChar:
    case FT::ftWideMemo:
        return true;
    default:
        return false;
    }
}

bool isFilterable(const TInfoFieldDef& field)
{
    return !field.HideFilter && !FilterFieldSQLType(field).isEmpty();
}

kvui::FilterItem filterItemOf(const TInfoFieldDef& field)
{
    kvui::FilterItem item;
    item.fieldName = FilterFieldToken(field.ID);
    item.caption = field.Name;
    item.valueType = filterValueType(field.DataType);
    if (field.DataType == FT::ftBoolean) {
        item.choices = {{1, QStringLiteral("是")}, {0, QStringLiteral("否")}};
    } else if (field.EnumValues) {
        kvui::ImageComboProperties properties;
        FillFieldEnumItems(field, properties);
        for (const auto& entry : properties.items)
            item.choices.append({entry.value, entry.description});
    } else if (field.ValueType == vtCreater || field.ValueType == vtUser || field.ValueType == vtLookup) {
        auto picker = std::make_shared<TPickEditProperties>();
        SetupPickEditProperties(field, picker.get(), true);
        item.editor = picker;
        if (field.ValueType != vtLookup)
            item.specialValues << MySelf;
    }
    return item;
}

// Literals of the expression text, set aside while the text around them is
// rewritten so that no rewrite ever reaches inside a value the user typed.
constexpr QChar MarkOpen = QChar(0xE000);
constexpr QChar MarkClose = QChar(0xE001);

struct ProtectedText {
    QString text;          // literals replaced by '<MarkOpen>index<MarkClose>'
    QStringList literals;  // their contents, quotes still doubled
    bool unterminated = false;
};

ProtectedText protectLiterals(const QString& source)
{
    ProtectedText result;
    int i = 0;
    const int n = int(source.size());
    while (i < n) {
        const QChar c = source.at(i);
        if (c != u'\'') {
            result.text += c;
            ++i;
            continue;
        }
        int j = i + 1;
        QString content;
        bool closed = false;
        while (j < n) {
            if (source.at(j) == u'\'') {
                if (j + 1 < n && source.at(j + 1) == u'\'') {
                    content += QStringLiteral("''");
                    j += 2;
                    continue;
                }
                closed = true;
                break;
            }
            content += source.at(j++);
        }
        if (!closed) {
            // An unclosed value ends the text; it is closed so that nothing after it can act as SQL.
            result.unterminated = true;
        }
        if (content.isEmpty()) {
            result.text += QStringLiteral("''");
        } else {
            result.text += u'\'' + QString(MarkOpen) + QString::number(result.literals.size()) + MarkClose + u'\'';
            result.literals << content;
        }
        i = closed ? j + 1 : n;
    }
    return result;
}

QString restoreLiterals(const QString& text, const QStringList& literals)
{
    QString out;
    out.reserve(text.size());
    int i = 0;
    const int n = int(text.size());
    while (i < n) {
        if (text.at(i) == MarkOpen) {
            const int close = int(text.indexOf(MarkClose, i));
            if (close > i) {
                const int index = QStringView(text).mid(i + 1, close - i - 1).toInt();
                if (index >= 0 && index < literals.size())
                    out += literals.at(index);
                i = close + 1;
                continue;
            }
        }
        out += text.at(i++);
    }
    return out;
}

int literalIndexAt(const QString& text, int pos)
{
    // pos is at the opening quote of a protected literal.
    if (pos + 1 >= text.size() || text.at(pos + 1) != MarkOpen)
        return -1;
    const int close = int(text.indexOf(MarkClose, pos + 1));
    return close > 0 ? QStringView(text).mid(pos + 2, close - pos - 2).toInt() : -1;
}

// The values of LIKE and NOT LIKE are what the user typed for "contains" and "does
// not contain": a plain value is wrapped in "%" so that it matches anywhere in the
// text, a value holding "%" or "_" is a pattern and stays as typed. Either way the
// value stays one protected literal, so no pattern can end the quoted text.
void wrapLikeValues(QString& text, QStringList& literals, const QString& prefix)
{
    auto isPattern = [](const QString& value) { return value.contains(u'%') || value.contains(u'_'); };
    int from = 0;
    while ((from = int(text.indexOf(prefix, from, Qt::CaseInsensitive))) >= 0) {
        const int quote = from + int(prefix.size()) - 1;
        const int index = literalIndexAt(text, quote);
        if (index >= 0) {
            QString& value = literals[index];
            if (!isPattern(value))
                value = u'%' + value + u'%';
        } else if (quote + 1 < text.size() && text.at(quote + 1) == u'\'') {
            text.insert(quote + 1, QStringLiteral("%%"));
        }
        from = quote + 1;
    }
}

using Rule = std::pair<const char*, const char*>;

const Rule NumericRules[] = {
    {"@ = '", "ISNULL(@, 0) = '"},
    {"@ <> '", "ISNULL(@, 0) <> '"},
    {"@ < '", "ISNULL(@, 0) < '"},
    {"@ > '", "ISNULL(@, 0) > '"},
    {"@ <= '", "ISNULL(@, 0) <= '"},
    {"@ >= '", "ISNULL(@, 0) >= '"},
    {"@ IS NULL", "@ IS NULL OR @ = 0"},
    {"@ IS NOT NULL", "@ <> 0"},
    {"@ < NULL", "@ < 0"},
    {"@ > NULL", "@ > 0"},
    {"@ <= NULL", "@ IS NULL OR @ <= 0"},
    {"@ >= NULL", "@ IS NULL OR @ >= 0"},
    {"@ BETWEEN '", "ISNULL(@, 0) BETWEEN '"},
    {"@ NOT BETWEEN '", "ISNULL(@, 0) NOT BETWEEN '"},
    {"@ BETWEEN NULL AND NULL", "@ IS NULL OR @ = 0"},
    {"@ NOT BETWEEN NULL AND NULL", "@ <> 0"},
    {"@ BETWEEN NULL AND ", "@ IS NULL OR @ BETWEEN 0 AND "},
    {"@ NOT BETWEEN NULL AND ", "@ NOT BETWEEN 0 AND "},
    {"@ IN (NULL)", "@ IS NULL OR @ = 0"},
    {"@ NOT IN (NULL)", "@ <> 0"},
    {"@ IN (", "ISNULL(@, 0) IN ("},
    {"@ NOT IN (", "ISNULL(@, 0) NOT IN ("},
};

const Rule OtherRules[] = {
    {"@ = '", "ISNULL(@, '') = '"},
    {"@ <> '", "ISNULL(@, '') <> '"},
    {"@ < '", "ISNULL(@, '') < '"},
    {"@ IS NULL", "@ IS NULL OR @ = ''"},
    {"@ IS NOT NULL", "@ <> ''"},
    {"@ <= '", "@ IS NULL OR @ <= '"},
    {"@ >= '", "ISNULL(@, '') >= '"},
    {"@ < NULL", "@ < ''"},
    {"@ > NULL", "@ > ''"},
    {"@ <= NULL", "@ IS NULL OR @ <= ''"},
    {"@ >= NULL", "@ IS NULL OR @ >= ''"},
    {"@ BETWEEN '", "ISNULL(@, '') BETWEEN '"},
    {"@ NOT BETWEEN '", "ISNULL(@, '') NOT BETWEEN '"},
    {"@ BETWEEN NULL AND NULL", "@ IS NULL OR @ = ''"},
    {"@ NOT BETWEEN NULL AND NULL", "@ <> ''"},
    {"@ BETWEEN NULL AND ", "@ IS NULL OR @ BETWEEN '' AND "},
    {"@ NOT BETWEEN NULL AND ", "@ NOT BETWEEN '' AND "},
    {"@ IN (NULL)", "@ IS NULL OR @ = ''"},
    {"@ NOT IN (NULL)", "@ <> ''"},
    {"@ IN (", "ISNULL(@, '') IN ("},
    {"@ NOT IN (", "ISNULL(@, '') NOT IN ("},
};

QString withToken(const char* pattern, const QString& token)
{
    return QString::fromLatin1(pattern).replace(u'@', token);
}

} // namespace

QString FilterFieldToken(const QString& AFieldID)
{
    return QStringLiteral("$$") + AFieldID + QStringLiteral("$$");
}

QString FilterFieldSQLType(const TInfoFieldDef& AField)
{
    const int n = AField.Precision;
    switch (AField.DataType) {
    case FT::ftString: return sizedType("varchar", n, 1);
    case FT::ftSmallint: return QStringLiteral("smallint");
    case FT::ftInteger: case FT::ftWord: case FT::ftAutoInc: return QStringLiteral("int");
    case FT::ftBoolean: case FT::ftShortint: case FT::ftByte: return QStringLiteral("tinyint");
    case FT::ftFloat: case FT::ftCurrency: case FT::ftBCD: case FT::ftFMTBcd: case FT::ftExtended: case FT::ftSingle: return QStringLiteral("real");
    case FT::ftDate: case FT::ftDateTime: return QStringLiteral("datetime");
    case FT::ftTime: return QStringLiteral("time");
    case FT::ftBytes: return sizedType("binary", n, 1);
    case FT::ftVarBytes: case FT::ftTypedBinary: return sizedType("varbinary", n, 10);
    case FT::ftBlob: case FT::ftGraphic: case FT::ftParadoxOle: case FT::ftDBaseOle: case FT::ftOraBlob: case FT::ftObject:
        return QStringLiteral("image");
    case FT::ftMemo: case FT::ftFmtMemo: return QStringLiteral("text");
    case FT::ftFixedChar: return sizedType("char", n, 1);
    case FT::ftWideString: return sizedType("nvarchar", n, 1);
    case FT::ftFixedWideChar: return sizedType("nchar", n, 1);
    case FT::ftWideMemo: return QStringLiteral("ntext");
    case FT::ftLargeint: case FT::ftLongWord: return QStringLiteral("bigint");
    case FT::ftGuid: return QStringLiteral("uniqueidentifier");
    case FT::ftTimeStamp: case FT::ftOraTimeStamp: return QStringLiteral("timestamp");
    case FT::ftTimeStampOffset: return QStringLiteral("datetimeoffset");
    default: return QString(); // no SQL type: such fields are not offered for filtering
    }
}

QString FilterBindingSQL(TInfoObjectDef* AObjectDef)
{
    if (!AObjectDef)
        return QString();
    QString columns;
    for (const TInfoFieldDef& field : AObjectDef->Fields) {
        if (!isFilterable(field))
            continue;
        columns += QStringLiteral(", [") + FilterFieldToken(field.ID) + QStringLiteral("]=cast(null as ")
            + FilterFieldSQLType(field) + u')';
    }
    if (columns.isEmpty())
        return QString();
    columns[0] = u' ';
    return QStringLiteral("select") + columns;
}

void BindFilterFields(kvui::FilterControl* AFilterControl, TInfoObjectDef* AObjectDef, TADOQuery* AByQuery)
{
    if (!AFilterControl)
        return;
    AFilterControl->beginUpdate();
    struct EndUpdate {
        kvui::FilterControl* control;
        ~EndUpdate() { control->endUpdate(); }
    } endUpdate{AFilterControl};
    AFilterControl->clearCriteria();
    AFilterControl->clearItems();
    const QString sql = FilterBindingSQL(AObjectDef);
    if (sql.isEmpty())
        return;
    if (AByQuery) {
        if (!ExecSQLText(AByQuery, sql, true, false, true))
            return;
    }
    // The field list offers the filterable fields in definition order.
    QList<kvui::FilterItem> items;
    for (const TInfoFieldDef& field : AObjectDef->Fields)
        if (isFilterable(field))
            items << filterItemOf(field);
    AFilterControl->setItems(items);
}

bool LoadFilterCriteria(kvui::FilterControl* AFilterControl, const QString& AFilterCode)
{
    if (!AFilterControl)
        return false;
    AFilterControl->clearCriteria();
    const QString code = AFilterCode.trimmed();
    if (code.isEmpty())
        return true;
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    HexTextToStream(code, buffer);
    if (buffer.size() == 0)
        return true;
    buffer.seek(0);
    return AFilterControl->loadFromStream(buffer);
}

QString SaveFilterCriteria(const kvui::FilterControl* AFilterControl)
{
    if (!AFilterControl)
        return QString();
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    AFilterControl->saveToStream(buffer);
    return StreamToHexText(buffer, -1);
}

void FilterTextToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterText, QString& ASQL)
{
    ProtectedText p = protectLiterals(AFilterText);
    QString& s = p.text;

    // The current user stands for "<我>" inside values; the name is a value too.
    const QString userName = InfoApplication ? InfoApplication->LoginInfo.UserName : QString();
    QString quotedUserName = userName;
    quotedUserName.replace(u'\'', QStringLiteral("''"));
    for (QString& literal : p.literals)
        literal.replace(MySelf, quotedUserName, Qt::CaseInsensitive);

    s.replace(QStringLiteral(", NULL"), QString(), Qt::CaseInsensitive);
    s.replace(QStringLiteral(" IN (NULL, "), QStringLiteral(" IN ("), Qt::CaseInsensitive);
    s.replace(QStringLiteral("$$ IS '')"), QStringLiteral("$$ IS NULL)"), Qt::CaseInsensitive);
    s.replace(QStringLiteral("$$ IS NOT '')"), QStringLiteral("$$ IS NOT NULL)"), Qt::CaseInsensitive);

    if (AObjectDef) {
        for (auto it = AObjectDef->Fields.rbegin(); it != AObjectDef->Fields.rend(); ++it) {
            const TInfoFieldDef& field = *it;
            const QString token = FilterFieldToken(field.ID);
            const bool numeric = isNumericFilterField(field.DataType);
            const Rule* rules = numeric ? NumericRules : OtherRules;
            const size_t count = numeric ? std::size(NumericRules) : std::size(OtherRules);
            for (size_t i = 0; i < count; ++i)
                s.replace(withToken(rules[i].first, token), withToken(rules[i].second, token), Qt::CaseInsensitive);
            if (isTextFilterField(field.DataType)) {
                wrapLikeValues(s, p.literals, token + QStringLiteral(" LIKE '"));
                wrapLikeValues(s, p.literals, token + QStringLiteral(" NOT LIKE '"));
                s.replace(token + QStringLiteral(" NOT LIKE "), token + QStringLiteral(" IS NULL OR ") + token
                          + QStringLiteral(" NOT LIKE "), Qt::CaseInsensitive);
            }
            s.replace(token, field.SQLExpress, Qt::CaseInsensitive);
        }
    }
    ASQL = restoreLiterals(s, p.literals);
}

QString FilterTextToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterText)
{
    QString sql;
    FilterTextToSQL(AObjectDef, AFilterText, sql);
    return sql;
}

namespace {

// Whether a criterion's field is one of the definition's fields; a field the
// user's permissions hide is not among them.
bool namesDefinedField(TInfoObjectDef* AObjectDef, const QString& AFieldName)
{
    if (!AObjectDef || AFieldName.size() <= 4 || !AFieldName.startsWith(QStringLiteral("$$"))
        || !AFieldName.endsWith(QStringLiteral("$$")))
        return false;
    return AObjectDef->IndexOfField(AFieldName.mid(2, AFieldName.size() - 4)) >= 0;
}

int leaveOutUndefinedFields(kvui::FilterCriteria& ACriteria, TInfoObjectDef* AObjectDef)
{
    return ACriteria.removeCriteria([AObjectDef](const QString& field) { return !namesDefinedField(AObjectDef, field); });
}

} // namespace

QString FilterCodeWithoutHiddenFields(TInfoObjectDef* AObjectDef, const QString& AFilterCode, int* ALeftOut)
{
    if (ALeftOut)
        *ALeftOut = 0;
    if (!AObjectDef || AFilterCode.trimmed().isEmpty())
        return AFilterCode;
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    HexTextToStream(AFilterCode.trimmed(), buffer);
    kvui::FilterCriteria criteria;
    if (!criteria.load(buffer.data()))
        return AFilterCode;   // not a criteria stream: its translation says so
    const int leftOut = leaveOutUndefinedFields(criteria, AObjectDef);
    if (leftOut == 0)
        return AFilterCode;
    if (ALeftOut)
        *ALeftOut = leftOut;
    QBuffer out;
    out.open(QIODevice::ReadWrite);
    out.write(criteria.save());
    return StreamToHexText(out, -1);
}

QString HiddenFieldCriteriaNotice(int ALeftOut)
{
    return QStringLiteral("筛选条件中有%1项条件所用的字段您无权查看, 这些条件已略去。").arg(ALeftOut);
}

namespace {

// A filter code as SQL; a code that cannot be read lets no row through rather
// than every row, and so does, for a restriction, one that names a field the
// definition lacks (a restriction is never widened).
QString translateCode(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery, bool ARestriction)
{
    if (AFilterCode.trimmed().isEmpty())
        return QString();
    kvui::FilterControl control;
    BindFilterFields(&control, AObjectDef, AByQuery);
    if (!LoadFilterCriteria(&control, AFilterCode))
        return QStringLiteral("1=0");
    if (ARestriction) {
        bool unknown = false;
        control.criteria().removeCriteria([&unknown, AObjectDef](const QString& field) {
            unknown = unknown || !namesDefinedField(AObjectDef, field);
            return false;
        });
        if (unknown)
            return QStringLiteral("1=0");
    }
    return FilterTextToSQL(AObjectDef, control.filterText());
}

} // namespace

QString DoTranslatePermitCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery)
{
    return translateCode(AObjectDef, AFilterCode, AByQuery, true);
}

QString DoTranslateFilterCodeToSQL(TInfoObjectDef* AObjectDef, const QString& AFilterCode, TADOQuery* AByQuery)
{
    return translateCode(AObjectDef, AFilterCode, AByQuery, false);
}

// ---------------------------------------------------------------------------

TFilterFrame::TFilterFrame(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("famFilter"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    cxSplitter1 = new QSplitter(Qt::Vertical, this);
    cxSplitter1->setObjectName(QStringLiteral("cxSplitter1"));
    cxSplitter1->setChildrenCollapsible(false);
    layout->addWidget(cxSplitter1);

    gbxCriteria = new QGroupBox(QStringLiteral("条件设置(&S):"), cxSplitter1);
    gbxCriteria->setObjectName(QStringLiteral("gbxCriteria"));
    auto* criteriaLayout = new QVBoxLayout(gbxCriteria);
    fltCriteria = new kvui::FilterControl(gbxCriteria);
    fltCriteria->setObjectName(QStringLiteral("fltCriteria"));
    fltCriteria->setDateFormat(QStringLiteral("yyyy/MM/dd"));
    criteriaLayout->addWidget(fltCriteria);

    gbxCriteriaText = new QGroupBox(QStringLiteral("条件说明(&C):"), cxSplitter1);
    gbxCriteriaText->setObjectName(QStringLiteral("gbxCriteriaText"));
    gbxCriteriaText->setMinimumHeight(50);
    auto* textLayout = new QVBoxLayout(gbxCriteriaText);
    memCriteriaText = new QPlainTextEdit(gbxCriteriaText);
    memCriteriaText->setObjectName(QStringLiteral("memCriteriaText"));
    memCriteriaText->setReadOnly(true);
    memCriteriaText->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textLayout->addWidget(memCriteriaText);

    cxSplitter1->setStretchFactor(0, 1);
    cxSplitter1->setStretchFactor(1, 0);
    cxSplitter1->setSizes({272, 107});

    fltCriteria->installEventFilter(this);
    fltCriteria->tree()->installEventFilter(this);
    fltCriteria->tree()->viewport()->installEventFilter(this);
    connect(fltCriteria, &kvui::FilterControl::criteriaChanged, this, [this] { RefreshCriteriaText(); });
}

void TFilterFrame::LoadFilterItems(TInfoObjectDef* AObjectDef, TADOQuery* AByQuery)
{
    FObjectDef = AObjectDef;
    BindFilterFields(fltCriteria, AObjectDef, AByQuery);
    memCriteriaText->clear();
}

QString TFilterFrame::FilterText() const { return fltCriteria->filterCaption(); }

QString TFilterFrame::FilterSQL() const { return FilterTextToSQL(FObjectDef, fltCriteria->filterText()); }

QString TFilterFrame::FilterCode() const { return SaveFilterCriteria(fltCriteria); }

void TFilterFrame::SetFilterCode(const QString& AValue)
{
    if (!LoadFilterCriteria(fltCriteria, AValue))
        ShowWarning(QStringLiteral("保存的筛选条件无法识别, 请重新设置!"));
    // A criterion on a field the user may not see is neither shown nor kept.
    if (FObjectDef) {
        kvui::FilterCriteria criteria;
        criteria.root.boolOperator = fltCriteria->criteria().root.boolOperator;
        criteria.root.negated = fltCriteria->criteria().root.negated;
        for (const auto& child : fltCriteria->criteria().root.children)
            criteria.root.children.push_back(child->clone());
        if (const int leftOut = leaveOutUndefinedFields(criteria, FObjectDef)) {
            fltCriteria->setCriteria(criteria);
            ShowInfo(HiddenFieldCriteriaNotice(leftOut));
        }
    }
    RefreshCriteriaText();
}

bool TFilterFrame::eventFilter(QObject* AObject, QEvent* AEvent)
{
    switch (AEvent->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        RefreshCriteriaText();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (fltCriteria->isAncestorOf(QApplication::focusWidget()) || fltCriteria->hasFocus())
            RefreshCriteriaText();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(AObject, AEvent);
}

void TFilterFrame::RefreshCriteriaText() { memCriteriaText->setPlainText(FilterText()); }

void InitFilterFrameUnit()
{
    if (InfoApplication)
    {
        InfoApplication->TranslateFilterCodeToSQLProc = &DoTranslateFilterCodeToSQL;
        InfoApplication->TranslatePermitCodeToSQLProc = &DoTranslatePermitCodeToSQL;
    }
}
