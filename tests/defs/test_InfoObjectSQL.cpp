// The host's data-source and SELECT builders.
#include "untInfoObjectDef.h"
#include "untInfoObjectSQL.h"

#include <gtest/gtest.h>

namespace {

TEST(SQLRefersToAlias, WordBoundariesAndQuotedRuns)
{
    struct Case {
        const char* sql;
        bool refers;
    } cases[] = {
        {"select A.x", true},
        {"A.x", true},
        {"select a.x", true},
        {"select MA.x", false},
        {"select B_A.x", false},
        {"select 1A.x", false},
        {"select [A].x", true},
        {"select [a].x", true},
        {"select (A.x)", true},
        {"select 'A.x'", false},
        {"select \"A.x\"", false},
        {"select 'it''s' + A.x", true},
        {"select \"a'b\" + A.x", true},   // a single quote inside double quotes is plain text
        {"select 'a\"b' + A.x", true},
        {"select 'A.x' + B.y", false},
        {"select A.", false},             // a dot at the very end is no reference
        {"", false},
        {"select 中A.x", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SQLRefersToAlias("A", QString::fromUtf8(c.sql)), c.refers) << c.sql;
}

TInfoObjectDef threeSources()
{
    TInfoObjectDef def;
    def.ID = "Obj";
    def.DataSources = {
        {.ID = "m", .IsMain = true, .DataType = dsTable, .SQLData = "Items", .Filter = "m.Deleted=0"},
        {.ID = "u", .DataType = dsTable, .SQLData = "Units", .Join = "u.UnitID=m.UnitID"},
        {.ID = "s", .DataType = dsSelect, .SQLData = "select ItmID, sum(Qty) as Qty from Stock group by ItmID",
         .Join = "s.ItmID=m.ItmID and s.UnitID=u.UnitID"},
        {.ID = "c", .DataType = dsTable, .SQLData = "Classes", .Filter = "c.Kind=1"},
        {.ID = "k", .DataType = dsTable, .SQLData = "Kinds"},
        {.ID = "f", .DataType = dsTable, .SQLData = "Flags", .Filter = "f.On=1", .Join = "f.ItmID=m.ItmID"},
    };
    return def;
}

TEST(DataSourceSQL, OnlyReferredSourcesAreJoined)
{
    TInfoObjectDef def = threeSources();
    struct Case {
        QString refers;
        QString from;
        QString mainFilter;
    } cases[] = {
        {"", "Items as m with(nolock)", "m.Deleted=0"},
        {"'u.Name'", "Items as m with(nolock)", "m.Deleted=0"},
        {"u.Name", "Items as m with(nolock) left join Units as u with(nolock) on u.UnitID=m.UnitID", "m.Deleted=0"},
        // s names u in its join, so u comes along.
        {"s.Qty",
         "Items as m with(nolock) left join Units as u with(nolock) on u.UnitID=m.UnitID left join "
         "(select ItmID, sum(Qty) as Qty from Stock group by ItmID) as s on s.ItmID=m.ItmID and s.UnitID=u.UnitID",
         "m.Deleted=0"},
        {"c.Name", "Items as m with(nolock) left join Classes as c with(nolock) on c.Kind=1", "m.Deleted=0"},
        {"k.Name", "Items as m with(nolock) left join Kinds as k with(nolock) on 1=1", "m.Deleted=0"},
        {"[f].On", "Items as m with(nolock) left join Flags as f with(nolock) on (f.On=1) and (f.ItmID=m.ItmID)",
         "m.Deleted=0"},
    };
    for (const Case& c : cases) {
        QString mainFilter = "stale";
        EXPECT_EQ(DoGetInfoObjectDataSourceSQL(&def, c.refers, mainFilter), c.from) << c.refers.toStdString();
        EXPECT_EQ(mainFilter, c.mainFilter);
    }
}

TEST(DataSourceSQL, StatementSourceFirstAndNoSources)
{
    TInfoObjectDef def;
    def.DataSources = {{.ID = "q", .IsMain = true, .DataType = dsFunction, .SQLData = "select * from dbo.F(1)"}};
    QString mainFilter;
    EXPECT_EQ(DoGetInfoObjectDataSourceSQL(&def, "", mainFilter), "(select * from dbo.F(1)) as q");
    EXPECT_EQ(mainFilter, "");

    TInfoObjectDef empty;
    EXPECT_EQ(DoGetInfoObjectDataSourceSQL(&empty, "x.y", mainFilter), "");
    EXPECT_EQ(DoGetInfoObjectSelectSQL(&empty, "1", "", "", "", "", ""), "select 1\rfrom  \r");
}

TEST(SelectSQL, StatementParts)
{
    TInfoObjectDef def = threeSources();
    struct Case {
        QString fields, filter, order, refers, mainJoin, extJoin;
        QString expected;
    } cases[] = {
        {"m.ItmNo as [ItmNo]", "", "", "", "", "",
         "select m.ItmNo as [ItmNo]\rfrom Items as m with(nolock) \rwhere m.Deleted=0\r"},
        {"m.ItmNo as [ItmNo]", "c.Kind=2", "[ItmNo]", "", "", "",
         "select m.ItmNo as [ItmNo]\rfrom Items as m with(nolock) left join Classes as c with(nolock) on c.Kind=1 "
         "\rwhere (m.Deleted=0) and (c.Kind=2)\rorder by [ItmNo]\r"},
        {"m.ItmNo as [ItmNo]", "", "u.Name", "", "", "",
         "select m.ItmNo as [ItmNo]\rfrom Items as m with(nolock) left join Units as u with(nolock) on u.UnitID=m.UnitID "
         "\rwhere m.Deleted=0\rorder by u.Name\r"},
        // The referred text pulls sources in; main join and extra join texts do not.
        {"1", "", "", "k.Kind=1", "join X as x on x.ID=m.ID", "join Y as y on y.ID=u.ID",
         "select 1\rfrom Items as m with(nolock) join X as x on x.ID=m.ID left join Kinds as k with(nolock) on 1=1 "
         "join Y as y on y.ID=u.ID\rwhere m.Deleted=0\r"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DoGetInfoObjectSelectSQL(&def, c.fields, c.filter, c.order, c.refers, c.mainJoin, c.extJoin), c.expected)
            << c.fields.toStdString() << " / " << c.filter.toStdString();
}

TEST(SelectSQL, MainSourceWithoutFilterAndEmptyTexts)
{
    TInfoObjectDef def;
    def.DataSources = {{.ID = "m", .IsMain = true, .DataType = dsTable, .SQLData = "Items"}};
    EXPECT_EQ(DoGetInfoObjectSelectSQL(&def, "", "", "", "", "", ""), "select \rfrom Items as m with(nolock) \r");
    EXPECT_EQ(DoGetInfoObjectSelectSQL(&def, "", "a=1", "", "", "", ""),
              "select \rfrom Items as m with(nolock) \rwhere a=1\r");
}

TEST(SelectSQL, FirstSourceNeverGetsAnOnClause)
{
    // A first source carrying a join condition still opens the FROM text
    // cleanly: there is nothing before it to join to.
    TInfoObjectDef def;
    def.DataSources = {{.ID = "m", .IsMain = true, .DataType = dsTable, .SQLData = "Items", .Join = "m.x=1"},
                       {.ID = "n", .IsMain = true, .DataType = dsTable, .SQLData = "More", .Join = "n.ID=m.ID"}};
    EXPECT_EQ(DoGetInfoObjectSelectSQL(&def, "m.ID", "", "", "", "", ""),
              "select m.ID\rfrom Items as m with(nolock) left join More as n with(nolock) on n.ID=m.ID \r");
}

} // namespace
