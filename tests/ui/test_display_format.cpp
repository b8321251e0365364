#include "DisplayFormat.h"

#include <QDate>
#include <gtest/gtest.h>

using namespace kvui;

TEST(DisplayFormat, PicturesOfTheViews)
{
    struct Case { const char* picture; double value; const char* text; };
    const Case cases[] = {
        {"###,###,###,##0.########", 1234.5, "1,234.5"},
        {"###,###,###,##0.########", 0, "0"},
        {"###,###,###,##0.########", -1234567.125, "-1,234,567.125"},
        {"###,###,###,##0.########", 0.000000001, "0"},
        {"###,###,###,##0.########", 12.3456789012, "12.3456789"},
        {"###,###,###,##0.00", 5, "5.00"},
        {"###,###,###,##0.00", 1234567.005, "1,234,567.01"},
        {"#,##0.00", 999.999, "1,000.00"},
        {"0", 3.6, "4"},
        {"0.00", 0.125, "0.13"},
        {"0.00", 0.994, "0.99"},
        {"0.00", 9.995, "10.00"},
        {"0.##", 0.001, "0"},
        {"#,##0", 123456789012.0, "123,456,789,012"},
        {"000", 7, "007"},
        {"#.##", 0.5, ".5"},
        {"≥###,###,###,##0.########;≥-###,###,###,##0.########", 12.5, "≥12.5"},
        {"≥###,###,###,##0.########;≥-###,###,###,##0.########", -12.5, "≥-12.5"},
        {"≤###,###,###,##0.########;≤-###,###,###,##0.########", 1000, "≤1,000"},
        {"0.00;(0.00);零", 0, "零"},
        {"0.00;(0.00);零", -2, "(2.00)"},
        {"\"合计: \"#,##0", 1500, "合计: 1,500"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatFloat(QString::fromUtf8(c.picture), c.value), QString::fromUtf8(c.text))
            << c.picture << " " << c.value;
}

TEST(DisplayFormat, CompareValuesSortsNullFirstAndTextWithoutCase)
{
    EXPECT_LT(compareValues(QVariant(), 1), 0);
    EXPECT_EQ(compareValues(QVariant(), QVariant()), 0);
    EXPECT_LT(compareValues(2, 10), 0);             // numbers by value, not as text
    EXPECT_EQ(compareValues("abc", "ABC"), 0);
    EXPECT_LT(compareValues("apple", "Banana"), 0);
    EXPECT_LT(compareValues(QDate(2024, 1, 2), QDate(2024, 1, 10)), 0);
}

TEST(DisplayFormat, ConvertEditedValue)
{
    bool ok = false;
    EXPECT_EQ(convertEditedValue("1,234.5", QMetaType::Double, &ok).toDouble(), 1234.5);
    EXPECT_TRUE(ok);
    convertEditedValue("abc", QMetaType::Double, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(convertEditedValue("42", QMetaType::Int, &ok).toLongLong(), 42);
    convertEditedValue("4.5", QMetaType::Int, &ok);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(convertEditedValue("", QMetaType::Double, &ok).isNull());
    EXPECT_TRUE(ok);
    EXPECT_EQ(convertEditedValue("2024/3/5", QMetaType::QDate, &ok).toDate(), QDate(2024, 3, 5));
    convertEditedValue("2024/13/5", QMetaType::QDate, &ok);
    EXPECT_FALSE(ok);
}
