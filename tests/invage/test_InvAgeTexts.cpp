// The age groups of the inventory-age analysis and the SQL pieces that carry
// the options: group captions and offsets from the width text, the group
// boundaries counted back from the cut-off, the stock condition and the
// quoting of the filter.
#include "untInvAgeGroups.h"
#include "untInvAgeRun.h"
#include "untInfoObjectDef.h"

#include <gtest/gtest.h>

namespace {

QString captions(const TAgeGroups& groups)
{
    QStringList out;
    for (const TAgeGroup& g : groups)
        out << QStringLiteral("%1@%2+%3").arg(g.Name).arg(g.Offset).arg(g.Days);
    return out.join(u',');
}

QString params(std::initializer_list<std::pair<const char*, const char*>> items)
{
    QStringList out;
    for (const auto& [k, v] : items)
        out << QString::fromUtf8(k) + u'=' + QString::fromUtf8(v);
    return out.join(ViewSchemeParamSeparator);
}

} // namespace

TEST(InvAgeGroups, ParsesWidthsIntoGroupsAndTheClosingGroup)
{
    QString twentyFive;
    for (int i = 0; i < 25; ++i)
        twentyFive += QStringLiteral("10|");
    QString nineteen;
    for (int i = 0; i < 19; ++i)
        nineteen += QStringLiteral("%1 - %2天@%1+10,").arg(i * 10).arg(i * 10 + 9);
    nineteen += QStringLiteral("190天以上@190+0");
    const QByteArray twentyFiveText = twentyFive.toUtf8();   // lives as long as the table below
    const struct {
        const char* text;
        QString expected;
    } cases[] = {
        {"30|30|60|", QStringLiteral("0 - 29天@0+30,30 - 59天@30+30,60 - 119天@60+60,120天以上@120+0")},
        {" 7 | 14|", QStringLiteral("0 - 6天@0+7,7 - 20天@7+14,21天以上@21+0")},
        {"30|30|60", QStringLiteral("0 - 29天@0+30,30 - 59天@30+30,60天以上@60+0")},  // text after the last "|" is no item
        {"30|x|60|", QStringLiteral("0 - 29天@0+30,30天以上@30+0")},                   // a non-number ends the list
        {"30|0|60|", QStringLiteral("0 - 29天@0+30,30天以上@30+0")},
        {"-5|30|", QString()},
        {"", QString()},
        {"45", QString()},
        {twentyFiveText.constData(), nineteen},
    };
    for (const auto& c : cases) {
        TAgeGroups groups;
        ParseAgeGroups(QString::fromUtf8(c.text), groups);
        EXPECT_EQ(captions(groups), c.expected) << c.text;
    }
}

TEST(InvAgeGroups, BoundariesCountBackFromTheCutOffOldestFirst)
{
    TAgeGroups groups;
    ParseAgeGroups(QStringLiteral("30|30|"), groups);
    EXPECT_EQ(InvAgeGroupSQL(groups, QDate(2024, 3, 31)),
              QStringLiteral(",BillGroup=(case when BillDate<'20240201' then 3 when BillDate<'20240302' then 2 else 1 end)\r"));
    EXPECT_EQ(InvAgeGroupSQL(TAgeGroups(), QDate(2024, 3, 31)), QStringLiteral("\r"));
}

TEST(InvAgeOptions, ReadWithDefaultsAndDerivedTexts)
{
    const QDate today(2026, 12, 11);
    const TInvAgeOptions none = ReadInvAgeOptions(QString(), today);
    EXPECT_FALSE(none.CurrentStock);
    EXPECT_EQ(none.CutOff, QDate(2026, 12, 10));
    EXPECT_TRUE(none.AllStocks && none.MergeBatch && none.MergeStock && none.MergePlace && none.MergeTrack);
    EXPECT_EQ(InvAgeDateLiteral(none), QStringLiteral("'20261210'"));
    EXPECT_EQ(InvAgeFilterLiteral(InvAgeStockCondition(none), QString()), QStringLiteral("''"));

    const TInvAgeOptions current =
        ReadInvAgeOptions(params({{"[InvType]", "1"}, {"[InvDate]", "2026-11-30"}, {"[MergeBatch]", "0"}}), today);
    EXPECT_TRUE(current.CurrentStock);
    EXPECT_EQ(current.CutOff, today);
    EXPECT_EQ(InvAgeDateLiteral(current), QStringLiteral("null"));
    EXPECT_FALSE(current.MergeBatch);

    const TInvAgeOptions dated = ReadInvAgeOptions(params({{"[InvDate]", "2026-11-30"}}), today);
    EXPECT_EQ(InvAgeDateLiteral(dated), QStringLiteral("'20261130'"));
    EXPECT_EQ(ReadInvAgeOptions(params({{"[InvDate]", "kein Datum"}}), today).CutOff, QDate(2026, 12, 10));

    const struct {
        const char* all;
        const char* stocks;
        const char* condition;
    } stockCases[] = {
        {"0", "A|B|", "$$StockID$$ in ('A','B')"},
        {"0", " A | |O'K|", "$$StockID$$ in ('A','O''K')"},
        {"0", "A", ""},  // no "|" after it: no item
        {"1", "A|B|", ""},
    };
    for (const auto& c : stockCases) {
        const TInvAgeOptions o =
            ReadInvAgeOptions(params({{"[AllStocks]", c.all}, {"[SelStocks]", c.stocks}}), today);
        EXPECT_EQ(InvAgeStockCondition(o), QString::fromUtf8(c.condition)) << c.stocks;
    }
    EXPECT_EQ(InvAgeFilterLiteral(QStringLiteral("$$StockID$$ in ('A','B')"), QString()),
              QStringLiteral("'$$StockID$$ in (''A'',''B'')'"));
    EXPECT_EQ(InvAgeFilterLiteral(QStringLiteral("$$StockID$$ in ('A')"), QStringLiteral("i.ItmNo like 'PT%'")),
              QStringLiteral("'($$StockID$$ in (''A'')) and (i.ItmNo like ''PT%'')'"));
}
