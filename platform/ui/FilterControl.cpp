#include "FilterControl.h"

#include "Editors.h"

#include <QBuffer>
#include <QComboBox>
#include <QDataStream>
#include <QDate>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIODevice>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

#include <cmath>

namespace kvui {

namespace {

constexpr quint32 StreamMagic = 0x4B564643; // "KVFC"
constexpr quint16 StreamVersion = 1;
constexpr int MaxDepth = 64;
constexpr QChar ListSeparator = u';';

const FilterOperator AllOperators[] = {
    FilterOperator::Equal, FilterOperator::NotEqual, FilterOperator::Less, FilterOperator::Greater,
    FilterOperator::LessEqual, FilterOperator::GreaterEqual, FilterOperator::Like, FilterOperator::NotLike,
    FilterOperator::Between, FilterOperator::NotBetween, FilterOperator::InList, FilterOperator::NotInList,
    FilterOperator::IsEmpty, FilterOperator::IsNotEmpty,
};

bool validOperator(quint8 op) { return op <= quint8(FilterOperator::IsNotEmpty); }

void writeNode(QDataStream& out, const FilterNode& node)
{
    out << node.isGroup;
    if (node.isGroup) {
        out << quint8(node.boolOperator) << node.negated << quint32(node.children.size());
        for (const auto& child : node.children)
            writeNode(out, *child);
    } else {
        out << node.fieldName << quint8(node.op) << node.values;
    }
}

bool readNode(QDataStream& in, FilterNode& node, int depth)
{
    if (depth > MaxDepth)
        return false;
    in >> node.isGroup;
    if (node.isGroup) {
        quint8 boolOp = 0;
        quint32 count = 0;
        in >> boolOp >> node.negated >> count;
        if (in.status() != QDataStream::Ok || boolOp > quint8(FilterBoolOperator::Or) || count > 100000)
            return false;
        node.boolOperator = FilterBoolOperator(boolOp);
        for (quint32 i = 0; i < count; ++i) {
            auto child = std::make_unique<FilterNode>();
            if (!readNode(in, *child, depth + 1))
                return false;
            node.children.push_back(std::move(child));
        }
    } else {
        quint8 op = 0;
        in >> node.fieldName >> op >> node.values;
        if (in.status() != QDataStream::Ok || !validOperator(op))
            return false;
        node.op = FilterOperator(op);
    }
    return in.status() == QDataStream::Ok;
}

bool hasCriterion(const FilterNode& node)
{
    if (!node.isGroup)
        return true;
    for (const auto& child : node.children)
        if (hasCriterion(*child))
            return true;
    return false;
}

QVariant valueAt(const FilterNode& node, int index)
{
    return index < node.values.size() ? node.values.at(index) : QVariant();
}

QString criterionExpression(const FilterNode& node, const QString& dateFormat)
{
    const QString& f = node.fieldName;
    auto lit = [&](int i) { return FilterLiteral(valueAt(node, i), dateFormat); };
    const bool missing = FilterValueIsNull(valueAt(node, 0));
    switch (node.op) {
    case FilterOperator::Equal:
        return missing ? f + QStringLiteral(" IS NULL") : f + QStringLiteral(" = ") + lit(0);
    case FilterOperator::NotEqual:
        return missing ? f + QStringLiteral(" IS NOT NULL") : f + QStringLiteral(" <> ") + lit(0);
    case FilterOperator::Less: return f + QStringLiteral(" < ") + lit(0);
    case FilterOperator::Greater: return f + QStringLiteral(" > ") + lit(0);
    case FilterOperator::LessEqual: return f + QStringLiteral(" <= ") + lit(0);
    case FilterOperator::GreaterEqual: return f + QStringLiteral(" >= ") + lit(0);
    case FilterOperator::Like:
        return missing ? f + QStringLiteral(" IS NULL") : f + QStringLiteral(" LIKE ") + lit(0);
    case FilterOperator::NotLike:
        return missing ? f + QStringLiteral(" IS NOT NULL") : f + QStringLiteral(" NOT LIKE ") + lit(0);
    case FilterOperator::Between:
        return f + QStringLiteral(" BETWEEN ") + lit(0) + QStringLiteral(" AND ") + lit(1);
    case FilterOperator::NotBetween:
        return f + QStringLiteral(" NOT BETWEEN ") + lit(0) + QStringLiteral(" AND ") + lit(1);
    case FilterOperator::InList:
    case FilterOperator::NotInList: {
        QStringList parts;
        for (const QVariant& v : node.values)
            parts << FilterLiteral(v, dateFormat);
        if (parts.isEmpty())
            parts << QStringLiteral("NULL");
        return f + (node.op == FilterOperator::InList ? QStringLiteral(" IN (") : QStringLiteral(" NOT IN ("))
            + parts.join(QStringLiteral(", ")) + u')';
    }
    case FilterOperator::IsEmpty: return f + QStringLiteral(" IS NULL");
    case FilterOperator::IsNotEmpty: return f + QStringLiteral(" IS NOT NULL");
    }
    return QString();
}

QString groupExpression(const FilterNode& group, const QString& dateFormat)
{
    QStringList parts;
    for (const auto& child : group.children) {
        if (!hasCriterion(*child))
            continue;
        parts << u'(' + (child->isGroup ? groupExpression(*child, dateFormat) : criterionExpression(*child, dateFormat))
                + u')';
    }
    QString text = parts.join(group.boolOperator == FilterBoolOperator::Or ? QStringLiteral(" OR ")
                                                                            : QStringLiteral(" AND "));
    if (group.negated && !text.isEmpty())
        text = QStringLiteral("NOT (") + text + u')';
    return text;
}

QString displayValue(const QVariant& value, const FilterItem* item, const QString& dateFormat)
{
    if (FilterValueIsNull(value))
        return QStringLiteral("空");
    if (item)
        for (const auto& choice : item->choices)
            if (choice.first == value || choice.first.toString() == value.toString())
                return choice.second;
    switch (value.typeId()) {
    case QMetaType::QDate: return value.toDate().toString(dateFormat);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(dateFormat)
                                        : dt.toString(dateFormat + QStringLiteral(" hh:mm:ss"));
    }
    case QMetaType::Bool: return value.toBool() ? QStringLiteral("是") : QStringLiteral("否");
    case QMetaType::Double: return QString::number(value.toDouble(), 'g', 15);
    default: return value.toString();
    }
}

QString criterionReadable(const FilterNode& node, const QList<FilterItem>& items, const QString& dateFormat)
{
    const FilterItem* item = nullptr;
    for (const FilterItem& candidate : items)
        if (candidate.fieldName.compare(node.fieldName, Qt::CaseInsensitive) == 0) {
            item = &candidate;
            break;
        }
    QString text = (item ? item->caption : node.fieldName) + u' ' + FilterOperatorText(node.op);
    auto value = [&](int i) { return displayValue(valueAt(node, i), item, dateFormat); };
    switch (FilterOperatorValueCount(node.op)) {
    case 0: break;
    case 1: text += u' ' + value(0); break;
    case 2: text += u' ' + value(0) + QStringLiteral(" 和 ") + value(1); break;
    default: {
        QStringList parts;
        for (int i = 0; i < node.values.size(); ++i)
            parts << value(i);
        text += QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + u')';
    }
    }
    return text;
}

QString groupReadable(const FilterNode& group, const QList<FilterItem>& items, const QString& dateFormat)
{
    QStringList parts;
    for (const auto& child : group.children) {
        if (!hasCriterion(*child))
            continue;
        parts << (child->isGroup ? u'(' + groupReadable(*child, items, dateFormat) + u')'
                                 : criterionReadable(*child, items, dateFormat));
    }
    QString text = parts.join(group.boolOperator == FilterBoolOperator::Or ? QStringLiteral(" 或者 ")
                                                                            : QStringLiteral(" 并且 "));
    if (group.negated && !text.isEmpty())
        text = QStringLiteral("非 (") + text + u')';
    return text;
}

QString editText(const QVariant& value, const QString& dateFormat)
{
    if (FilterValueIsNull(value))
        return QString();
    if (value.typeId() == QMetaType::QDate || value.typeId() == QMetaType::QDateTime
        || value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Bool)
        return displayValue(value, nullptr, dateFormat);
    return value.toString();
}

} // namespace

FilterNode* FilterNode::addCriterion(const QString& field, FilterOperator anOp, const QVariantList& someValues)
{
    auto node = std::make_unique<FilterNode>();
    node->fieldName = field;
    node->op = anOp;
    node->values = someValues;
    children.push_back(std::move(node));
    return children.back().get();
}

FilterNode* FilterNode::addGroup(FilterBoolOperator boolOp, bool isNegated)
{
    auto node = std::make_unique<FilterNode>();
    node->isGroup = true;
    node->boolOperator = boolOp;
    node->negated = isNegated;
    children.push_back(std::move(node));
    return children.back().get();
}

std::unique_ptr<FilterNode> FilterNode::clone() const
{
    auto copy = std::make_unique<FilterNode>();
    copy->isGroup = isGroup;
    copy->boolOperator = boolOperator;
    copy->negated = negated;
    copy->fieldName = fieldName;
    copy->op = op;
    copy->values = values;
    for (const auto& child : children)
        copy->children.push_back(child->clone());
    return copy;
}

void FilterCriteria::clear()
{
    root.children.clear();
    root.boolOperator = FilterBoolOperator::And;
    root.negated = false;
}

bool FilterCriteria::isEmpty() const { return !hasCriterion(root); }

QByteArray FilterCriteria::save() const
{
    if (isEmpty())
        return QByteArray();
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << StreamMagic << StreamVersion;
    writeNode(out, root);
    return bytes;
}

bool FilterCriteria::load(const QByteArray& bytes)
{
    clear();
    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_0);
    quint32 magic = 0;
    quint16 version = 0;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != StreamMagic || version != StreamVersion)
        return false;
    FilterNode loaded;
    if (!readNode(in, loaded, 0) || !loaded.isGroup) {
        clear();
        return false;
    }
    root.boolOperator = loaded.boolOperator;
    root.negated = loaded.negated;
    root.children = std::move(loaded.children);
    return true;
}

namespace {
int removeFrom(FilterNode& group, const std::function<bool(const QString&)>& which)
{
    int removed = 0;
    for (auto it = group.children.begin(); it != group.children.end();) {
        FilterNode& node = **it;
        if (node.isGroup) {
            removed += removeFrom(node, which);
            ++it;
        } else if (which(node.fieldName)) {
            it = group.children.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed;
}
} // namespace

int FilterCriteria::removeCriteria(const std::function<bool(const QString& fieldName)>& which)
{
    return removeFrom(root, which);
}

QString FilterCriteria::expressionText() const
{
    QString text = groupExpression(root, QStringLiteral("yyyy/MM/dd"));
    int count = 0;
    for (const auto& child : root.children)
        count += hasCriterion(*child) ? 1 : 0;
    // Several criteria keep together when a caller joins the text to more conditions.
    return count > 1 && !root.negated ? u'(' + text + u')' : text;
}

QString FilterCriteria::readableText(const QList<FilterItem>& items, const QString& dateFormat) const
{
    return groupReadable(root, items, dateFormat);
}

bool FilterValueIsNull(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return true;
    return value.typeId() == QMetaType::QString && value.toString().isEmpty();
}

QString FilterLiteral(const QVariant& value, const QString& dateFormat)
{
    if (FilterValueIsNull(value))
        return QStringLiteral("NULL");
    QString text;
    switch (value.typeId()) {
    case QMetaType::Bool: text = value.toBool() ? QStringLiteral("1") : QStringLiteral("0"); break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::LongLong: text = QString::number(value.toLongLong()); break;
    case QMetaType::ULongLong: text = QString::number(value.toULongLong()); break;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            return QStringLiteral("NULL");
        // QString::number always writes the C locale: a point, no group separators.
        text = QString::number(d, 'f', 10);
        if (text.contains(u'.')) {
            while (text.endsWith(u'0'))
                text.chop(1);
            if (text.endsWith(u'.'))
                text.chop(1);
        }
        break;
    }
    case QMetaType::QDate: text = value.toDate().toString(dateFormat); break;
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        text = dt.time() == QTime(0, 0) ? dt.date().toString(dateFormat)
                                        : dt.toString(dateFormat + QStringLiteral(" hh:mm:ss"));
        break;
    }
    default: text = value.toString(); break;
    }
    text.replace(u'\'', QStringLiteral("''"));
    return u'\'' + text + u'\'';
}

QString FilterOperatorText(FilterOperator op)
{
    switch (op) {
    case FilterOperator::Equal: return QStringLiteral("等于");
    case FilterOperator::NotEqual: return QStringLiteral("不等于");
    case FilterOperator::Less: return QStringLiteral("小于");
    case FilterOperator::Greater: return QStringLiteral("大于");
    case FilterOperator::LessEqual: return QStringLiteral("小于等于");
    case FilterOperator::GreaterEqual: return QStringLiteral("大于等于");
    case FilterOperator::Like: return QStringLiteral("包含");
    case FilterOperator::NotLike: return QStringLiteral("不包含");
    case FilterOperator::Between: return QStringLiteral("介于");
    case FilterOperator::NotBetween: return QStringLiteral("不介于");
    case FilterOperator::InList: return QStringLiteral("属于");
    case FilterOperator::NotInList: return QStringLiteral("不属于");
    case FilterOperator::IsEmpty: return QStringLiteral("为空");
    case FilterOperator::IsNotEmpty: return QStringLiteral("不为空");
    }
    return QString();
}

int FilterOperatorValueCount(FilterOperator op)
{
    switch (op) {
    case FilterOperator::Between:
    case FilterOperator::NotBetween: return 2;
    case FilterOperator::InList:
    case FilterOperator::NotInList: return -1;
    case FilterOperator::IsEmpty:
    case FilterOperator::IsNotEmpty: return 0;
    default: return 1;
    }
}

QVariant FilterValueFromText(const QString& text, FilterValueType type)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QVariant();
    switch (type) {
    case FilterValueType::Integer: {
        bool ok = false;
        const qlonglong n = t.toLongLong(&ok);
        if (ok)
            return n;
        [[fallthrough]];
    }
    case FilterValueType::Number: {
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (ok && std::isfinite(d))
            return d;
        return text;
    }
    case FilterValueType::Boolean: {
        if (t == QLatin1String("1") || t == QStringLiteral("是") || t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        if (t == QLatin1String("0") || t == QStringLiteral("否") || t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            return false;
        return text;
    }
    case FilterValueType::Date:
    case FilterValueType::DateTime: {
        for (const char* format : {"yyyy/M/d", "yyyy-M-d", "yyyyMMdd"}) {
            const QDate d = QDate::fromString(t, QLatin1String(format));
            if (d.isValid())
                return d;
        }
        if (type == FilterValueType::DateTime)
            for (const char* format : {"yyyy/M/d h:m:s", "yyyy-M-d h:m:s", "yyyy/M/d h:m", "yyyy-M-d h:m"}) {
                const QDateTime dt = QDateTime::fromString(t, QLatin1String(format));
                if (dt.isValid())
                    return dt;
            }
        return text;
    }
    case FilterValueType::Text: break;
    }
    return text;
}

// ---------------------------------------------------------------------------
// The widget

namespace {
constexpr int NodeRole = Qt::UserRole + 1;

FilterNode* nodeOf(QTreeWidgetItem* item)
{
    return item ? static_cast<FilterNode*>(item->data(0, NodeRole).value<void*>()) : nullptr;
}
} // namespace

FilterControl::FilterControl(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FTree = new QTreeWidget(this);
    FTree->setColumnCount(4);
    FTree->setHeaderLabels({QStringLiteral("字段"), QStringLiteral("运算符"), QStringLiteral("值"), QStringLiteral("值2")});
    FTree->header()->setSectionResizeMode(QHeaderView::Interactive);
    FTree->setColumnWidth(0, 190);
    FTree->setColumnWidth(1, 100);
    FTree->setColumnWidth(2, 130);
    FTree->setRootIsDecorated(true);
    FTree->setSelectionMode(QAbstractItemView::SingleSelection);
    FTree->setToolTip(QStringLiteral("在组上添加条件或子组；列表值以分号分隔"));
    layout->addWidget(FTree, 1);

    FButtons = new QWidget(this);
    auto* buttons = new QHBoxLayout(FButtons);
    buttons->setContentsMargins(0, 0, 0, 0);
    auto* add = new QPushButton(QStringLiteral("添加条件"), FButtons);
    add->setObjectName(QStringLiteral("btnAddCriterion"));
    auto* addGroupButton = new QPushButton(QStringLiteral("添加组"), FButtons);
    addGroupButton->setObjectName(QStringLiteral("btnAddGroup"));
    auto* remove = new QPushButton(QStringLiteral("删除"), FButtons);
    remove->setObjectName(QStringLiteral("btnRemove"));
    buttons->addWidget(add);
    buttons->addWidget(addGroupButton);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    layout->addWidget(FButtons);

    connect(add, &QPushButton::clicked, this, [this] { addCriterion(currentGroup()); });
    connect(addGroupButton, &QPushButton::clicked, this, [this] { addGroup(currentGroup()); });
    connect(remove, &QPushButton::clicked, this, [this] { removeNode(currentNode()); });
    rebuild();
}

FilterControl::~FilterControl() = default;

void FilterControl::beginUpdate() { ++FUpdateCount; }

void FilterControl::endUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        rebuild();
}

void FilterControl::setItems(const QList<FilterItem>& items)
{
    FItems = items;
    rebuild();
}

void FilterControl::clearItems()
{
    FItems.clear();
    rebuild();
}

const FilterItem* FilterControl::findItem(const QString& fieldName) const
{
    for (const FilterItem& item : FItems)
        if (item.fieldName.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &item;
    return nullptr;
}

void FilterControl::clearCriteria()
{
    FCriteria.clear();
    rebuild();
    emit criteriaChanged();
}

void FilterControl::setCriteria(const FilterCriteria& criteria)
{
    FCriteria.clear();
    FCriteria.root.boolOperator = criteria.root.boolOperator;
    FCriteria.root.negated = criteria.root.negated;
    for (const auto& child : criteria.root.children)
        FCriteria.root.children.push_back(child->clone());
    rebuild();
    emit criteriaChanged();
}

void FilterControl::saveToStream(QIODevice& device) const { device.write(FCriteria.save()); }

bool FilterControl::loadFromStream(QIODevice& device)
{
    const bool ok = FCriteria.load(device.readAll());
    rebuild();
    emit criteriaChanged();
    return ok;
}

void FilterControl::setReadOnly(bool readOnly)
{
    FReadOnly = readOnly;
    FButtons->setEnabled(!readOnly);
    rebuild();
}

FilterNode* FilterControl::currentNode() const { return nodeOf(FTree->currentItem()); }

FilterNode* FilterControl::currentGroup() const
{
    FilterNode* node = currentNode();
    if (!node)
        return &const_cast<FilterCriteria&>(FCriteria).root;
    return node->isGroup ? node : parentOf(node);
}

FilterNode* FilterControl::parentOf(FilterNode* node, FilterNode* from) const
{
    FilterNode* group = from ? from : &const_cast<FilterCriteria&>(FCriteria).root;
    for (const auto& child : group->children) {
        if (child.get() == node)
            return group;
        if (child->isGroup)
            if (FilterNode* found = parentOf(node, child.get()))
                return found;
    }
    return nullptr;
}

FilterNode* FilterControl::addCriterion(FilterNode* group)
{
    if (FReadOnly || !group || !group->isGroup)
        return nullptr;
    FilterNode* node = group->addCriterion(FItems.isEmpty() ? QString() : FItems.first().fieldName,
                                           FilterOperator::Equal);
    FCurrent = group; // further criteria go to the same group
    changed();
    return node;
}

FilterNode* FilterControl::addGroup(FilterNode* group)
{
    if (FReadOnly || !group || !group->isGroup)
        return nullptr;
    FilterNode* node = group->addGroup(group->boolOperator == FilterBoolOperator::And ? FilterBoolOperator::Or
                                                                                     : FilterBoolOperator::And);
    FCurrent = node; // the new group receives the next criteria
    changed();
    return node;
}

void FilterControl::removeNode(FilterNode* node)
{
    if (FReadOnly || !node || node == &FCriteria.root)
        return;
    FilterNode* group = parentOf(node);
    if (!group)
        return;
    for (auto it = group->children.begin(); it != group->children.end(); ++it)
        if (it->get() == node) {
            group->children.erase(it);
            break;
        }
    FCurrent = group;
    changed();
}

void FilterControl::changed()
{
    rebuild();
    emit criteriaChanged();
}

// The row's own editors are rebuilt after the signal that changed them has returned.
void FilterControl::changedLater()
{
    QMetaObject::invokeMethod(this, [this] { changed(); }, Qt::QueuedConnection);
}

void FilterControl::rebuild()
{
    if (FUpdateCount > 0)
        return;
    FTree->clear();
    auto* rootItem = new QTreeWidgetItem(FTree);
    buildNode(&FCriteria.root, rootItem);
    FTree->expandAll();
    // The node worked on last stays current when it still exists.
    for (QTreeWidgetItemIterator it(FTree); *it; ++it)
        if (nodeOf(*it) == FCurrent) {
            FTree->setCurrentItem(*it);
            break;
        }
    FCurrent = nullptr;
}

void FilterControl::buildNode(FilterNode* node, QTreeWidgetItem* item)
{
    item->setData(0, NodeRole, QVariant::fromValue<void*>(node));
    if (!node->isGroup) {
        fillCriterionRow(node, item);
        return;
    }
    auto* combo = new QComboBox;
    combo->addItem(QStringLiteral("并且 (全部满足)"));
    combo->addItem(QStringLiteral("或者 (任一满足)"));
    combo->addItem(QStringLiteral("非并且 (不全部满足)"));
    combo->addItem(QStringLiteral("非或者 (全部不满足)"));
    combo->setCurrentIndex((node->negated ? 2 : 0) + (node->boolOperator == FilterBoolOperator::Or ? 1 : 0));
    combo->setEnabled(!FReadOnly);
    FTree->setItemWidget(item, 0, combo);
    connect(combo, &QComboBox::activated, this, [this, node](int index) {
        node->boolOperator = (index % 2) ? FilterBoolOperator::Or : FilterBoolOperator::And;
        node->negated = index >= 2;
        emit criteriaChanged();
    });
    for (const auto& child : node->children)
        buildNode(child.get(), new QTreeWidgetItem(item));
}

void FilterControl::fillCriterionRow(FilterNode* node, QTreeWidgetItem* item)
{
    auto* fieldCombo = new QComboBox;
    int fieldIndex = -1;
    for (int i = 0; i < FItems.size(); ++i) {
        fieldCombo->addItem(FItems.at(i).caption, FItems.at(i).fieldName);
        if (FItems.at(i).fieldName.compare(node->fieldName, Qt::CaseInsensitive) == 0)
            fieldIndex = i;
    }
    if (fieldIndex < 0 && !node->fieldName.isEmpty()) {
        fieldCombo->addItem(node->fieldName, node->fieldName);
        fieldIndex = fieldCombo->count() - 1;
    }
    fieldCombo->setCurrentIndex(fieldIndex);
    fieldCombo->setEnabled(!FReadOnly);
    FTree->setItemWidget(item, 0, fieldCombo);
    connect(fieldCombo, &QComboBox::activated, this, [this, node, fieldCombo](int index) {
        node->fieldName = fieldCombo->itemData(index).toString();
        node->values.clear();
        changedLater();
    });

    auto* opCombo = new QComboBox;
    for (FilterOperator op : AllOperators)
        opCombo->addItem(FilterOperatorText(op), int(op));
    opCombo->setCurrentIndex(opCombo->findData(int(node->op)));
    opCombo->setEnabled(!FReadOnly);
    FTree->setItemWidget(item, 1, opCombo);
    connect(opCombo, &QComboBox::activated, this, [this, node, opCombo](int index) {
        const auto op = FilterOperator(opCombo->itemData(index).toInt());
        const int count = FilterOperatorValueCount(op);
        node->op = op;
        if (count >= 0)
            while (node->values.size() > count)
                node->values.removeLast();
        changedLater();
    });

    const FilterItem* filterItem = findItem(node->fieldName);
    const FilterValueType type = filterItem ? filterItem->valueType : FilterValueType::Text;
    const int count = FilterOperatorValueCount(node->op);
    auto makeEditor = [&](int column, int valueIndex) {
        const bool list = count < 0;
        QList<QPair<QVariant, QString>> choices = filterItem ? filterItem->choices : QList<QPair<QVariant, QString>>();
        if (choices.isEmpty() && type == FilterValueType::Boolean)
            choices = {{true, QStringLiteral("是")}, {false, QStringLiteral("否")}};
        if (filterItem && filterItem->editor && !list && choices.isEmpty()) {
            QWidget* editor = filterItem->editor->createEditor(nullptr);
            filterItem->editor->setEditorValue(editor, valueAt(*node, valueIndex));
            editor->setEnabled(!FReadOnly);
            FTree->setItemWidget(item, column, editor);
            if (auto* line = qobject_cast<QLineEdit*>(editor))
                connect(line, &QLineEdit::textChanged, this, [this, node, valueIndex, type](const QString& value) {
                    while (node->values.size() <= valueIndex)
                        node->values.append(QVariant());
                    node->values[valueIndex] = FilterValueFromText(value, type);
                    emit criteriaChanged();
                });
            return;
        }
        auto* combo = new QComboBox;
        combo->setEnabled(!FReadOnly);
        FTree->setItemWidget(item, column, combo);
        if (!choices.isEmpty() && !list) {
            combo->addItem(QString(), QVariant());
            for (const auto& choice : choices)
                combo->addItem(choice.second, choice.first);
            const QVariant current = valueAt(*node, valueIndex);
            int index = 0;
            for (int i = 1; i < combo->count(); ++i)
                if (combo->itemData(i) == current || combo->itemData(i).toString() == current.toString())
                    index = i;
            combo->setCurrentIndex(index);
            connect(combo, &QComboBox::activated, this, [this, node, valueIndex, combo](int index) {
                while (node->values.size() <= valueIndex)
                    node->values.append(QVariant());
                node->values[valueIndex] = combo->itemData(index);
                emit criteriaChanged();
            });
            return;
        }
        combo->setEditable(true);
        if (filterItem)
            combo->addItems(filterItem->specialValues);
        QString text;
        if (list) {
            QStringList parts;
            for (const QVariant& v : node->values)
                parts << editText(v, FDateFormat);
            text = parts.join(ListSeparator);
        } else {
            text = editText(valueAt(*node, valueIndex), FDateFormat);
        }
        combo->setEditText(text);
        connect(combo, &QComboBox::editTextChanged, this, [this, node, valueIndex, list, type](const QString& value) {
            if (list) {
                node->values.clear();
                for (const QString& part : value.split(ListSeparator, Qt::SkipEmptyParts))
                    node->values.append(FilterValueFromText(part, type));
            } else {
                while (node->values.size() <= valueIndex)
                    node->values.append(QVariant());
                node->values[valueIndex] = FilterValueFromText(value, type);
            }
            emit criteriaChanged();
        });
    };
    if (count != 0)
        makeEditor(2, 0);
    if (count == 2)
        makeEditor(3, 1);
}

} // namespace kvui
