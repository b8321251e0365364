// Definition lookups, the permit filter walk, the view-scheme parameter text
// and the view-scheme statements.
#include "untInfoObjectDef.h"

#include <gtest/gtest.h>

namespace {

const QString S = ViewSchemeParamSeparator;

TEST(InfoObjectDef, LookupsIgnoreCaseAndTheLastDuplicateWins)
{
    TInfoObjectDef def;
    def.Fields = {{.ID = "ItmID", .Name = "first"}, {.ID = "ItmNo"}, {.ID = "itmid", .Name = "second"}};
    def.Actions = {{.ID = "New", .Name = "a"}, {.ID = "NEW", .Name = "b"}};
    def.AccessGroups = {{"G1", "one"}, {"g1", "two"}};
    def.Relations = {{.ID = "R", .Name = "x"}, {.ID = "r", .Name = "y"}};

    ASSERT_NE(def.GetFieldDef("ITMID"), nullptr);
    EXPECT_EQ(def.GetFieldDef("ITMID")->Name, "second");
    EXPECT_EQ(def.GetFieldDef("ItmID"), &def.Fields[2]);
    EXPECT_EQ(def.IndexOfField("itmNO"), 1);
    EXPECT_EQ(def.GetActionDef("new")->Name, "b");
    EXPECT_EQ(def.GetAccessGroup("G1")->Name, "two");
    EXPECT_EQ(def.GetRelationDef("R")->Name, "y");
    EXPECT_EQ(def.GetFieldDef("Missing"), nullptr);
    EXPECT_EQ(def.GetActionDef(""), nullptr);
    EXPECT_EQ(def.IndexOfAction("none"), -1);
}

TEST(InfoObjectDef, PermitFilterJoinsTranslatedCodes)
{
    struct Case {
        QString codes;
        QString expected;
    } cases[] = {
        {"", ""},
        {"1=0", "1=0"},
        {"A|", "(sql:A)"},
        {"A|B|", "(sql:A) or (sql:B)"},
        {"A||B|", "(sql:A) or (sql:B)"},  // empty items are skipped
        {"A|tail", "(sql:A)"},            // text after the last bar is no code
        {"|", ""},
    };
    for (const Case& c : cases) {
        TInfoObjectDef def;
        def.PermitCodes = c.codes;
        EXPECT_EQ(def.GetPermitFilter([](const QString& code) { return "sql:" + code; }), c.expected)
            << c.codes.toStdString();
    }
}

TEST(ViewSchemeParams, ReadAndWriteSections)
{
    // Names compare without case; the separator is two U+F8F5.
    const QString list = "[Sorts]=x" + S + "[Fields]=|a|b|";
    EXPECT_EQ(ReadViewSchemeParam(list, "[fields]"), "|a|b|");
    EXPECT_EQ(ReadViewSchemeParam(list, "[Sorts]"), "x");
    EXPECT_EQ(ReadViewSchemeParam(list, "[Filter]"), "");
    EXPECT_EQ(ReadViewSchemeParam(list, ""), "");

    // An empty value removes the last item alone: the separator before it stays.
    EXPECT_EQ(WriteViewSchemeParam(list, "[Fields]", ""), "[Sorts]=x" + S);
    // ... and an inner item with the separator after it.
    EXPECT_EQ(WriteViewSchemeParam(list, "[SORTS]", ""), "[Fields]=|a|b|");
    // Replacing in place keeps the rest of the list.
    EXPECT_EQ(WriteViewSchemeParam(list, "[Sorts]", "y:10"), "[Sorts]=y:10" + S + "[Fields]=|a|b|");
    // Appending after a list that ends with the separator adds none.
    EXPECT_EQ(WriteViewSchemeParam("[Sorts]=x" + S, "[Total]", "11"), "[Sorts]=x" + S + "[Total]=11");
    EXPECT_EQ(WriteViewSchemeParam("", "[Total]", "11"), "[Total]=11");
    EXPECT_EQ(WriteViewSchemeParam(list, "[Total]", ""), list);
    EXPECT_EQ(WriteViewSchemeParam(list, "", "v"), list);
}

TEST(ViewSchemeParams, SingleBlockSeparatorInsideAValueSurvives)
{
    // Option values of the planning dialogs may hold single U+F8F5 characters.
    const QString inner = "a" + QString(BlockSeparatorChar) + "b";
    QString list = WriteViewSchemeParam("", "[Opt]", inner);
    list = WriteViewSchemeParam(list, "[Next]", "n");
    EXPECT_EQ(ReadViewSchemeParam(list, "[Opt]"), inner);
    EXPECT_EQ(ReadViewSchemeParam(list, "[Next]"), "n");
    // Values holding "=" or "|" are plain text.
    list = WriteViewSchemeParam(list, "[Filter]", "x=1|y");
    EXPECT_EQ(ReadViewSchemeParam(list, "[Filter]"), "x=1|y");
    EXPECT_EQ(ReadViewSchemeParam(list, "[Opt]"), inner);
}

TEST(ViewSchemeStatements, TextsQuoteEveryValue)
{
    TViewScheme v;
    v.ID = "QZ_MRP.Items";
    EXPECT_EQ(ViewSchemeLoadSQL(v, "u'1"),
              "select top 1 * from QZ_SYS_ViewSchemes with(nolock) where ViwID='QZ_MRP.Items' and "
              "(ViwUsrID='u''1' and ViwKind=0 or ViwUsrID='' and ViwKind=2) order by ViwKind");
    v.IID = 7;
    EXPECT_EQ(ViewSchemeLoadSQL(v, "u"),
              "select top 1 * from QZ_SYS_ViewSchemes with(nolock) where ViwID='QZ_MRP.Items' and ViwIID=7");
    EXPECT_EQ(ViewSchemeDeleteSQL(v, "u"), "delete QZ_SYS_ViewSchemes where ViwIID=7 and ViwID='QZ_MRP.Items' and ViwUsrID='u'");
    EXPECT_EQ(ViewSchemeMaskSQL(v), "select ViwMask from QZ_SYS_ViewMasks with(nolock) where ViwID='QZ_MRP.Items'");

    // Texts holding % signs and quotes pass through unchanged.
    v.IID = 0;
    v.Name = "A'%1";
    v.Kind = vkPrivate;
    v.Params = "[Filter]=like '%2%'";
    v.PrintSetting = "p";
    EXPECT_EQ(ViewSchemeInsertSQL(v, "u", false),
              "declare @e int\rbegin tran\r"
              "delete QZ_SYS_ViewSchemes where ViwID='QZ_MRP.Items' and ViwUsrID='u' and ViwKind<>0 and ViwName='A''%1'\r"
              "set @e=@@error\rif @e=0 begin\r"
              "insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting, ViwTime) values "
              "('QZ_MRP.Items', 'u', 'A''%1', 1, '[Filter]=like ''%2%''', null, getdate())\r"
              "set @e=@@error\rend\r"
              "if @e=0 begin commit tran select ViwIID=@@identity end else rollback tran");
    v.Kind = vkLastUsed;
    EXPECT_TRUE(ViewSchemeInsertSQL(v, "u", true).contains(
        "delete QZ_SYS_ViewSchemes where ViwID='QZ_MRP.Items' and ViwUsrID='u' and ViwKind=0\rset @e=@@error\r"));
    EXPECT_TRUE(ViewSchemeInsertSQL(v, "u", true).contains(", 'p', getdate())"));
}

TEST(ViewSchemeStatements, MaskLosesBlanksAndGetsBars)
{
    EXPECT_EQ(ViewMaskFromStored("f1 | f2"), "|f1|f2|");
    EXPECT_EQ(ViewMaskFromStored("a|b"), "|a|b|");
}

TEST(FieldTypeClasses, CodesFallIntoTheirClasses)
{
    using namespace FieldTypes;
    for (int t : {ftString, ftMemo, ftFmtMemo, ftFixedChar, ftWideString, ftFixedWideChar, ftWideMemo})
        EXPECT_TRUE(IsStringType(t)) << t;
    for (int t : {ftSmallint, ftInteger, ftWord, ftFloat, ftCurrency, ftBCD, ftAutoInc, ftLargeint, ftFMTBcd,
                  ftLongWord, ftShortint, ftByte, ftExtended, ftSingle})
        EXPECT_TRUE(IsNumericType(t)) << t;
    EXPECT_TRUE(IsDateType(ftDate));
    EXPECT_FALSE(IsDateTimeType(ftDate));
    EXPECT_TRUE(IsDateTimeType(ftDateTime));
    EXPECT_FALSE(IsNumericType(ftBoolean));
    EXPECT_FALSE(IsStringType(ftBlob));
    EXPECT_EQ(int(ftWideString), 24);
}

} // namespace
