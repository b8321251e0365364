#include "ColumnFilter.h"
#include "BandedGrid.h"

#include <QDate>
#include <QDateTime>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <functional>

namespace kvui {

namespace {

bool isNumber(const QVariant& v, double& out)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
        out = v.toDouble();
        return true;
    case QMetaType::QString: {
        bool ok = false;
        out = v.toString().trimmed().remove(u',').toDouble(&ok);
        return ok;
    }
    default:
        return false;
    }
}

bool isDate(const QVariant& v, QDateTime& out)
{
    if (v.typeId() == QMetaType::QDate) {
        out = v.toDate().startOfDay();
        return out.isValid();
    }
    if (v.typeId() == QMetaType::QDateTime) {
        out = v.toDateTime();
        return out.isValid();
    }
    if (v.typeId() == QMetaType::QString) {
        const QString t = v.toString().trimmed();
        for (const char* f : {"yyyy/MM/dd", "yyyy-MM-dd", "yyyy/MM/dd hh:mm:ss", "yyyy-MM-dd hh:mm:ss"}) {
            out = QDateTime::fromString(t, QLatin1String(f));
            if (out.isValid())
                return true;
        }
    }
    return false;
}

bool missing(const QVariant& v) { return FilterValueIsNull(v); }

// -1, 0, 1: the record's value against a criterion value, as numbers, dates or texts.
int compare(const QVariant& value, const QString& text, const QVariant& wanted, bool ci)
{
    double a = 0, b = 0;
    if (isNumber(value, a) && isNumber(wanted, b) && value.typeId() != QMetaType::QString)
        return a < b ? -1 : a > b ? 1 : 0;
    QDateTime da, db;
    if ((value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime) && isDate(value, da)
        && isDate(wanted, db)) {
        if (value.typeId() == QMetaType::QDate || wanted.typeId() == QMetaType::QDate
            || (wanted.typeId() == QMetaType::QString && wanted.toString().trimmed().size() <= 10))
            return da.date() < db.date() ? -1 : da.date() > db.date() ? 1 : 0;
        return da < db ? -1 : da > db ? 1 : 0;
    }
    const QString w = wanted.typeId() == QMetaType::QString ? wanted.toString() : FilterLiteral(wanted).remove(u'\'');
    const int c = QString::compare(text, w, ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

// A LIKE pattern ("%" any text, "_" one character) as an anchored expression.
bool likeMatches(const QString& text, QString pattern, bool ci)
{
    if (!pattern.contains(u'%') && !pattern.contains(u'_'))
        pattern = u'%' + pattern + u'%';
    QString rx;
    for (const QChar ch : std::as_const(pattern)) {
        if (ch == u'%')
            rx += QStringLiteral(".*");
        else if (ch == u'_')
            rx += u'.';
        else
            rx += QRegularExpression::escape(QString(ch));
    }
    QRegularExpression re(QRegularExpression::anchoredPattern(rx),
                          QRegularExpression::DotMatchesEverythingOption
                              | (ci ? QRegularExpression::CaseInsensitiveOption : QRegularExpression::NoPatternOption));
    return re.match(text).hasMatch();
}

bool hasCriterion(const FilterNode& node)
{
    if (!node.isGroup)
        return true;
    return std::any_of(node.children.begin(), node.children.end(), [](const auto& c) { return hasCriterion(*c); });
}

} // namespace

bool ColumnCriterionMatches(FilterOperator AOp, const QVariantList& AValues, const QVariant& AValue, const QString& AText,
                            bool ACaseInsensitive)
{
    const QVariant first = AValues.value(0);
    const bool empty = missing(AValue) || AText.isEmpty();
    const auto equal = [&](const QVariant& w) {
        if (missing(w))
            return empty;
        if (empty)
            return false;
        return compare(AValue, AText, w, ACaseInsensitive) == 0
            || QString::compare(AText, w.toString(), ACaseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
    };
    switch (AOp) {
    case FilterOperator::Equal: return equal(first);
    case FilterOperator::NotEqual: return !equal(first);
    case FilterOperator::Less: return !empty && !missing(first) && compare(AValue, AText, first, ACaseInsensitive) < 0;
    case FilterOperator::Greater: return !empty && !missing(first) && compare(AValue, AText, first, ACaseInsensitive) > 0;
    case FilterOperator::LessEqual: return !empty && !missing(first) && compare(AValue, AText, first, ACaseInsensitive) <= 0;
    case FilterOperator::GreaterEqual:
        return !empty && !missing(first) && compare(AValue, AText, first, ACaseInsensitive) >= 0;
    case FilterOperator::Like:
        return missing(first) ? empty : !empty && likeMatches(AText, first.toString(), ACaseInsensitive);
    case FilterOperator::NotLike:
        return missing(first) ? !empty : empty || !likeMatches(AText, first.toString(), ACaseInsensitive);
    case FilterOperator::Between:
    case FilterOperator::NotBetween: {
        const QVariant second = AValues.value(1);
        const bool in = !empty && (missing(first) || compare(AValue, AText, first, ACaseInsensitive) >= 0)
            && (missing(second) || compare(AValue, AText, second, ACaseInsensitive) <= 0);
        return AOp == FilterOperator::Between ? in : !in;
    }
    case FilterOperator::InList:
    case FilterOperator::NotInList: {
        const bool in = std::any_of(AValues.begin(), AValues.end(), equal);
        return AOp == FilterOperator::InList ? in : !in;
    }
    case FilterOperator::IsEmpty: return empty;
    case FilterOperator::IsNotEmpty: return !empty;
    }
    return true;
}

ColumnFilter::ColumnFilter(BandedGrid* grid) : QObject(grid), m_grid(grid) {}

void ColumnFilter::setActive(bool on)
{
    if (m_active == on)
        return;
    m_active = on;
    emit changed();
}

void ColumnFilter::setCaseInsensitive(bool on)
{
    if (m_caseInsensitive == on)
        return;
    m_caseInsensitive = on;
    if (isFiltering())
        emit changed();
}

QString ColumnFilter::columnKey(const Column* c)
{
    if (!c)
        return QString();
    return c->fieldName().isEmpty() ? QStringLiteral("#%1").arg(c->index()) : c->fieldName();
}

Column* ColumnFilter::columnOfKey(const QString& key) const
{
    for (Column* c : m_grid->columns())
        if (columnKey(c).compare(key, Qt::CaseInsensitive) == 0)
            return c;
    return nullptr;
}

int ColumnFilter::indexOfColumn(const Column* c) const
{
    const QString key = columnKey(c);
    for (size_t i = 0; i < m_criteria.root.children.size(); ++i) {
        const FilterNode& group = *m_criteria.root.children[i];
        for (const auto& child : group.children)
            if (!child->isGroup && child->fieldName.compare(key, Qt::CaseInsensitive) == 0)
                return int(i);
    }
    return -1;
}

const FilterNode* ColumnFilter::columnCriteria(const Column* c) const
{
    const int i = indexOfColumn(c);
    return i >= 0 ? m_criteria.root.children[size_t(i)].get() : nullptr;
}

void ColumnFilter::setColumnCriteria(const Column* c, const FilterCriteria& criteria)
{
    const int i = indexOfColumn(c);
    if (i >= 0)
        m_criteria.root.children.erase(m_criteria.root.children.begin() + i);
    if (!criteria.isEmpty()) {
        // Kept as one group per column, whatever shape the criteria came in.
        auto group = criteria.root.clone();
        group->isGroup = true;
        const QString key = columnKey(c);
        std::function<void(FilterNode&)> rename = [&](FilterNode& n) {
            if (!n.isGroup)
                n.fieldName = key;
            for (auto& child : n.children)
                rename(*child);
        };
        rename(*group);
        m_criteria.root.children.push_back(std::move(group));
        m_active = true;
    }
    emit changed();
}

void ColumnFilter::setColumnValue(const Column* c, const QString& text)
{
    FilterCriteria criteria;
    criteria.root.addCriterion(columnKey(c), FilterOperator::Equal, {text});
    setColumnCriteria(c, criteria);
}

void ColumnFilter::clearColumn(const Column* c)
{
    setColumnCriteria(c, FilterCriteria());
}

void ColumnFilter::clear()
{
    if (m_criteria.isEmpty())
        return;
    m_criteria.clear();
    emit changed();
}

FilterItem ColumnFilter::itemFor(const Column* c) const
{
    FilterItem item;
    item.fieldName = columnKey(c);
    item.caption = c->caption();
    const QString type = c->valueType();
    if (type == QLatin1String("Float") || type == QLatin1String("Currency"))
        item.valueType = FilterValueType::Number;
    else if (type == QLatin1String("Integer"))
        item.valueType = FilterValueType::Integer;
    else if (type == QLatin1String("DateTime"))
        item.valueType = FilterValueType::Date;
    return item;
}

bool ColumnFilter::matches(const FilterNode& node, int record) const
{
    if (node.isGroup) {
        bool any = false;
        bool result = node.boolOperator == FilterBoolOperator::And;
        for (const auto& child : node.children) {
            if (!hasCriterion(*child))
                continue;
            any = true;
            const bool m = matches(*child, record);
            result = node.boolOperator == FilterBoolOperator::And ? result && m : result || m;
        }
        if (!any)
            return true;
        return node.negated ? !result : result;
    }
    Column* c = columnOfKey(node.fieldName);
    if (!c)
        return true;
    return ColumnCriterionMatches(node.op, node.values, m_grid->value(record, c), m_grid->displayText(record, c),
                                  m_caseInsensitive);
}

bool ColumnFilter::accepts(int record) const
{
    return !isFiltering() || matches(m_criteria.root, record);
}

QStringList ColumnFilter::distinctTexts(const Column* c) const
{
    QStringList out;
    QSet<QString> seen;
    Column* column = const_cast<Column*>(c);
    for (int r = 0; r < m_grid->recordCount(); ++r) {
        const QString t = m_grid->displayText(r, column);
        const QString key = m_caseInsensitive ? t.toLower() : t;
        if (t.isEmpty() || seen.contains(key))
            continue;
        seen.insert(key);
        out << t;
    }
    // Numbers in their order, texts alphabetically.
    std::sort(out.begin(), out.end(), [&](const QString& a, const QString& b) {
        bool oa = false, ob = false;
        const double da = QString(a).remove(u',').toDouble(&oa), db = QString(b).remove(u',').toDouble(&ob);
        if (oa && ob)
            return da < db;
        return QString::localeAwareCompare(a, b) < 0;
    });
    return out;
}

QString ColumnFilter::readableText() const
{
    QList<FilterItem> items;
    for (Column* c : m_grid->columns())
        items << itemFor(c);
    return m_criteria.readableText(items);
}

} // namespace kvui
