#pragma once
// The filter control: a visual editor of row criteria (rows of field,
// operator and value, nested groups joined by AND or OR). It plays the
// component suite's filter-control role: its criteria are saved as a binary
// stream, it writes them as an expression text over the items' field names
// (values always as quoted literals) and as a readable text over the items'
// captions.
//
// Expression shapes, each criterion in brackets:
//   (F = 'v')  (F <> 'v')  (F < 'v')  (F > 'v')  (F <= 'v')  (F >= 'v')
//   (F LIKE 'v')  (F NOT LIKE 'v')  (F BETWEEN 'a' AND 'b')  (F NOT BETWEEN 'a' AND 'b')
//   (F IN ('a', 'b'))  (F NOT IN ('a', 'b'))  (F IS NULL)  (F IS NOT NULL)
// A missing value is NULL ("F < NULL", "F BETWEEN NULL AND 'b'", "F IN (NULL, 'a')");
// equal and not equal to nothing are written IS NULL and IS NOT NULL.
// Quotes inside values are doubled; numbers are written in the C locale,
// dates as yyyy/MM/dd (with hh:mm:ss when they carry a time of day).
#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QIODevice;
class QTreeWidget;
class QTreeWidgetItem;

namespace kvui {

class EditorProperties;

enum class FilterValueType : quint8 { Text, Number, Integer, Date, DateTime, Boolean };

enum class FilterOperator : quint8 {
    Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, Like, NotLike,
    Between, NotBetween, InList, NotInList, IsEmpty, IsNotEmpty,
};
enum class FilterBoolOperator : quint8 { And, Or };

// A field the user may filter on.
struct FilterItem {
    QString fieldName;  // the name used in the expression text
    QString caption;    // the name shown to the user
    FilterValueType valueType = FilterValueType::Text;
    // Fixed choices (value, description): offered in a drop-down, shown by description.
    QList<QPair<QVariant, QString>> choices;
    // Extra texts offered besides typed values (for instance "<我>").
    QStringList specialValues;
    // A value editor of its own (a pick editor, for instance) in place of the typed-in text.
    std::shared_ptr<EditorProperties> editor;
};

// One node of the criteria: a group of nodes, or a criterion on one field.
struct FilterNode {
    bool isGroup = false;
    // group
    FilterBoolOperator boolOperator = FilterBoolOperator::And;
    bool negated = false;
    std::vector<std::unique_ptr<FilterNode>> children;
    // criterion
    QString fieldName;
    FilterOperator op = FilterOperator::Equal;
    QVariantList values;

    FilterNode* addCriterion(const QString& field, FilterOperator op, const QVariantList& values = {});
    FilterNode* addGroup(FilterBoolOperator boolOp, bool negated = false);
    std::unique_ptr<FilterNode> clone() const;
};

// The criteria of a filter control: a root group.
class FilterCriteria {
public:
    FilterCriteria() { root.isGroup = true; }
    FilterNode root;

    void clear();
    // No criterion in any group.
    bool isEmpty() const;
    // The saved stream; empty when there is no criterion.
    QByteArray save() const;
    // False (and no criteria) when the bytes are not a criteria stream.
    bool load(const QByteArray& bytes);

    // Removes every criterion whose field the predicate names (in any group);
    // the number removed.
    int removeCriteria(const std::function<bool(const QString& fieldName)>& which);

    QString expressionText() const;
    QString readableText(const QList<FilterItem>& items, const QString& dateFormat = QStringLiteral("yyyy/MM/dd")) const;
};

// A value as a literal of the expression text ("NULL" when missing or empty).
QString FilterLiteral(const QVariant& value, const QString& dateFormat = QStringLiteral("yyyy/MM/dd"));
// Whether a value counts as missing: null or an empty text.
bool FilterValueIsNull(const QVariant& value);
// The readable word of an operator.
QString FilterOperatorText(FilterOperator op);
// How many values an operator takes: 0, 1, 2 or -1 (a list).
int FilterOperatorValueCount(FilterOperator op);
// A typed-in text as a value of the given type (an invalid variant when empty; a
// text that does not read as the type stays text).
QVariant FilterValueFromText(const QString& text, FilterValueType type);

// The editor widget.
class FilterControl : public QWidget {
    Q_OBJECT
public:
    explicit FilterControl(QWidget* parent = nullptr);
    ~FilterControl() override;

    void beginUpdate();
    void endUpdate();

    void setItems(const QList<FilterItem>& items);
    const QList<FilterItem>& items() const { return FItems; }
    void clearItems();
    const FilterItem* findItem(const QString& fieldName) const;

    FilterCriteria& criteria() { return FCriteria; }
    const FilterCriteria& criteria() const { return FCriteria; }
    void clearCriteria();
    void setCriteria(const FilterCriteria& criteria);

    // Writes the saved stream at the device's position (nothing without criteria).
    void saveToStream(QIODevice& device) const;
    // Reads the rest of the device; False when it holds no criteria stream.
    bool loadFromStream(QIODevice& device);

    QString filterText() const { return FCriteria.expressionText(); }
    QString filterCaption() const { return FCriteria.readableText(FItems, FDateFormat); }

    void setDateFormat(const QString& format) { FDateFormat = format; }
    QString dateFormat() const { return FDateFormat; }

    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return FReadOnly; }

    // The tree showing the criteria (for focus and key handling by the owner).
    QTreeWidget* tree() const { return FTree; }

    // Editing operations, also reached through the buttons and the context menu.
    FilterNode* addCriterion(FilterNode* group);
    FilterNode* addGroup(FilterNode* group);
    void removeNode(FilterNode* node);
    FilterNode* currentNode() const;
    FilterNode* currentGroup() const;

signals:
    void criteriaChanged();

private:
    void rebuild();
    void buildNode(FilterNode* node, QTreeWidgetItem* parentItem);
    void fillCriterionRow(FilterNode* node, QTreeWidgetItem* item);
    FilterNode* parentOf(FilterNode* node, FilterNode* from = nullptr) const;
    void changed();
    void changedLater();

    QList<FilterItem> FItems;
    FilterCriteria FCriteria;
    QString FDateFormat = QStringLiteral("yyyy/MM/dd");
    bool FReadOnly = false;
    int FUpdateCount = 0;
    FilterNode* FCurrent = nullptr;
    QTreeWidget* FTree;
    QWidget* FButtons;
};

} // namespace kvui
