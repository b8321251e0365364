// The filter control's criteria: the saved stream, the expression and
// readable texts, and typed-in values.
#include "FilterControl.h"
#include "FilterTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace kvui;

namespace {

TEST(FilterCriteriaStream, RoundTripKeepsEveryNode)
{
    FilterCriteria criteria;
    criteria.root.boolOperator = FilterBoolOperator::Or;
    criteria.root.addCriterion(QStringLiteral("$$A$$"), FilterOperator::InList, {QStringLiteral("x"), 2, QDate(2024, 1, 2)});
    auto* group = criteria.root.addGroup(FilterBoolOperator::And, true);
    group->addCriterion(QStringLiteral("$$B$$"), FilterOperator::Between, {1.5, QVariant()});
    const QByteArray bytes = criteria.save();
    FilterCriteria loaded;
    ASSERT_TRUE(loaded.load(bytes));
    EXPECT_EQ(loaded.expressionText(), criteria.expressionText());
    EXPECT_EQ(loaded.save(), bytes);
    EXPECT_EQ(loaded.expressionText(),
              QStringLiteral("(($$A$$ IN ('x', '2', '2024/01/02')) OR (NOT (($$B$$ BETWEEN '1.5' AND NULL))))"));
}

TEST(FilterCriteriaStream, RejectsWhatIsNotAStream)
{
    FilterCriteria criteria;
    criteria.root.addCriterion(QStringLiteral("$$A$$"), FilterOperator::Equal, {1});
    const QByteArray good = criteria.save();
    for (const QByteArray& bad : {QByteArray("\x01\x02\x03"), good.left(good.size() - 3), QByteArray(64, '\xff')}) {
        FilterCriteria loaded;
        loaded.root.addCriterion(QStringLiteral("$$old$$"), FilterOperator::IsEmpty);
        EXPECT_FALSE(loaded.load(bad));
        EXPECT_TRUE(loaded.isEmpty());
    }
    EXPECT_TRUE(FilterCriteria().save().isEmpty());
}

TEST(FilterCriteriaText, ReadableTextUsesCaptionsAndChoices)
{
    FilterItem no{QStringLiteral("$$No$$"), QStringLiteral("编号"), FilterValueType::Text, {}, {}, {}};
    FilterItem flag{QStringLiteral("$$Flag$$"), QStringLiteral("有效"), FilterValueType::Boolean,
                    {{1, QStringLiteral("是")}, {0, QStringLiteral("否")}}, {}, {}};
    FilterCriteria criteria;
    criteria.root.addCriterion(QStringLiteral("$$No$$"), FilterOperator::Like, {QStringLiteral("ab")});
    criteria.root.addCriterion(QStringLiteral("$$Flag$$"), FilterOperator::Equal, {0});
    auto* group = criteria.root.addGroup(FilterBoolOperator::Or);
    group->addCriterion(QStringLiteral("$$Made$$"), FilterOperator::Between, {QDate(2024, 3, 5), QDate(2024, 3, 6)});
    group->addCriterion(QStringLiteral("$$No$$"), FilterOperator::IsEmpty);
    EXPECT_EQ(criteria.readableText({no, flag}),
              QStringLiteral("编号 包含 ab 并且 有效 等于 否 并且 ($$Made$$ 介于 2024/03/05 和 2024/03/06 或者 编号 为空)"));
}

TEST(FilterValues, TypedInTextBecomesTypedValues)
{
    EXPECT_EQ(FilterValueFromText(QStringLiteral(" 12 "), FilterValueType::Integer), QVariant(qlonglong(12)));
    EXPECT_EQ(FilterValueFromText(QStringLiteral("1.25"), FilterValueType::Number), QVariant(1.25));
    EXPECT_EQ(FilterValueFromText(QStringLiteral("2024/3/5"), FilterValueType::Date), QVariant(QDate(2024, 3, 5)));
    EXPECT_EQ(FilterValueFromText(QStringLiteral("2024/03/05 08:30:00"), FilterValueType::DateTime),
              QVariant(QDateTime(QDate(2024, 3, 5), QTime(8, 30))));
    EXPECT_EQ(FilterValueFromText(QStringLiteral("<我>"), FilterValueType::Integer), QVariant(QStringLiteral("<我>")));
    EXPECT_FALSE(FilterValueFromText(QStringLiteral("  "), FilterValueType::Text).isValid());
    EXPECT_EQ(FilterLiteral(QVariant(std::nan(""))), QStringLiteral("NULL"));
    EXPECT_EQ(FilterLiteral(0.1), QStringLiteral("'0.1'"));
    EXPECT_EQ(FilterLiteral(-3.0), QStringLiteral("'-3'"));
}

TEST(FilterControlWidget, EditingThroughTheRows)
{
    FilterControl control;
    control.setItems({{QStringLiteral("$$No$$"), QStringLiteral("编号"), FilterValueType::Text, {}, {}, {}},
                      {QStringLiteral("$$Qty$$"), QStringLiteral("数量"), FilterValueType::Number, {}, {}, {}}});
    auto button = [&](const char* name) { return control.findChild<QPushButton*>(QString::fromLatin1(name)); };
    button("btnAddCriterion")->click();
    button("btnAddGroup")->click();
    button("btnAddCriterion")->click(); // goes into the new group
    button("btnAddCriterion")->click();
    ASSERT_EQ(control.criteria().root.children.size(), 2u);
    FilterNode* group = control.criteria().root.children[1].get();
    ASSERT_TRUE(group->isGroup);
    EXPECT_EQ(group->children.size(), 2u);

    // The user picks the second field and a "between" on the group's first row, and types the bounds.
    QTreeWidget* tree = control.tree();
    QTreeWidgetItem* row = tree->topLevelItem(0)->child(1)->child(0);
    auto* field = qobject_cast<QComboBox*>(tree->itemWidget(row, 0));
    ASSERT_NE(field, nullptr);
    field->setCurrentIndex(1);
    emit field->activated(1);
    QApplication::processEvents();
    row = tree->topLevelItem(0)->child(1)->child(0);
    auto* op = qobject_cast<QComboBox*>(tree->itemWidget(row, 1));
    const int between = op->findData(int(FilterOperator::Between));
    op->setCurrentIndex(between);
    emit op->activated(between);
    QApplication::processEvents();
    row = tree->topLevelItem(0)->child(1)->child(0);
    qobject_cast<QComboBox*>(tree->itemWidget(row, 2))->setEditText(QStringLiteral("1.5"));
    qobject_cast<QComboBox*>(tree->itemWidget(row, 3))->setEditText(QStringLiteral("3"));
    EXPECT_EQ(control.filterText(), QStringLiteral("(($$No$$ IS NULL) AND (($$Qty$$ BETWEEN '1.5' AND '3') OR ($$No$$ IS NULL)))"));

    // Removing the group removes its rows.
    tree->setCurrentItem(tree->topLevelItem(0)->child(1));
    button("btnRemove")->click();
    EXPECT_EQ(control.filterText(), QStringLiteral("($$No$$ IS NULL)"));

    // Read-only: nothing can be added or removed.
    control.setReadOnly(true);
    EXPECT_EQ(control.addCriterion(&control.criteria().root), nullptr);
    control.removeNode(control.criteria().root.children[0].get());
    EXPECT_EQ(control.criteria().root.children.size(), 1u);
}

} // namespace
