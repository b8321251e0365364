// Filter codes into SQL: the rewriting of the control's expression text, the
// round trip criteria -> code -> condition, the typed-null binding query, and
// the conditions run against an embedded database.
#include "ScratchDatabase.h"
#include "Ado.h"
#include "FilterControl.h"
#include "FilterTestSupport.h"
#include "ScriptedMessageBoxes.h"
#include "famFilter.h"

#include <QBuffer>
#include <QDate>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using kvui::FilterBoolOperator;
using kvui::FilterCriteria;
using kvui::FilterOperator;

namespace {

QString codeOf(const FilterCriteria& criteria)
{
    kvui::FilterControl control;
    control.setCriteria(criteria);
    return SaveFilterCriteria(&control);
}

TEST(FilterTextToSQL, RewritesEachShape)
{
    TInfoObjectDef def = filterTestObject();
    ScopedUserName user(QStringLiteral("O'Brien"));
    struct Case {
        const char* what;
        const char* text;
        const char* sql;
    };
    const Case cases[] = {
        {"text equal", "($$ItmNo$$ = 'A1')", "(ISNULL(s.ItmNo, '') = 'A1')"},
        {"text empty", "($$ItmNo$$ IS NULL)", "(s.ItmNo IS NULL OR s.ItmNo = '')"},
        {"text not empty", "($$ItmNo$$ IS NOT NULL)", "(s.ItmNo <> '')"},
        {"text soft empty", "($$ItmNo$$ IS '')", "(s.ItmNo IS NULL OR s.ItmNo = '')"},
        {"text at most", "($$ItmNo$$ <= 'b')", "(s.ItmNo IS NULL OR s.ItmNo <= 'b')"},
        {"text greater stays", "($$ItmNo$$ > 'b')", "(s.ItmNo > 'b')"},
        {"text between open start", "($$ItmNo$$ BETWEEN NULL AND 'k')", "(s.ItmNo IS NULL OR s.ItmNo BETWEEN '' AND 'k')"},
        {"text in list without nulls", "($$ItmNo$$ IN (NULL, 'a', NULL))", "(ISNULL(s.ItmNo, '') IN ('a'))"},
        {"text in null only", "($$ItmNo$$ IN (NULL))", "(s.ItmNo IS NULL OR s.ItmNo = '')"},
        {"plain like is contains", "($$ItmNo$$ LIKE 'abc')", "(s.ItmNo LIKE '%abc%')"},
        // a value with a wildcard is a pattern the user typed and stays as it is
        {"percent typed", "($$ItmNo$$ LIKE 'a%c')", "(s.ItmNo LIKE 'a%c')"},
        {"underscore typed", "($$ItmNo$$ LIKE 'a_c')", "(s.ItmNo LIKE 'a_c')"},
        {"pattern in not like", "($$ItmNo$$ NOT LIKE '%x_')", "(s.ItmNo IS NULL OR s.ItmNo NOT LIKE '%x_')"},
        {"brackets alone are no wildcard", "($$ItmNo$$ LIKE '[a-c]')", "(s.ItmNo LIKE '%[a-c]%')"},
        {"a pattern cannot leave its quotes", "($$ItmNo$$ LIKE 'a%'' OR 1=1 --')", "(s.ItmNo LIKE 'a%'' OR 1=1 --')"},
        {"doubled quote does not end the value", "($$ItmNo$$ LIKE 'it''s')", "(s.ItmNo LIKE '%it''s%')"},
        {"not like also matches null", "($$ItmNo$$ NOT LIKE 'x')", "(s.ItmNo IS NULL OR s.ItmNo NOT LIKE '%x%')"},
        {"keywords and tokens in any case", "($$itmno$$ like 'abc')", "(s.ItmNo like '%abc%')"},
        {"number equal", "($$Qty$$ = '5')", "(ISNULL(s.Qty, 0) = '5')"},
        {"number empty", "($$Qty$$ IS NULL)", "(s.Qty IS NULL OR s.Qty = 0)"},
        {"number not empty", "($$Qty$$ IS NOT NULL)", "(s.Qty <> 0)"},
        {"number between open start", "($$Qty$$ BETWEEN NULL AND '5')", "(s.Qty IS NULL OR s.Qty BETWEEN 0 AND '5')"},
        {"number between nothing", "($$Level$$ NOT BETWEEN NULL AND NULL)", "(s.Level <> 0)"},
        {"number not in list", "($$Level$$ NOT IN ('1', '2'))", "(ISNULL(s.Level, 0) NOT IN ('1', '2'))"},
        {"boolean is a number", "($$Flag$$ = '1')", "(ISNULL(s.Flag, 0) = '1')"},
        {"date", "($$Made$$ >= '2024/03/05')", "(ISNULL(s.Made, '') >= '2024/03/05')"},
        {"the current user, quoted as a value", "($$Creator$$ = '<我>')", "(ISNULL(s.Creator, '') = 'O''Brien')"},
        {"unknown field keeps its token", "($$Gone$$ = 'x')", "($$Gone$$ = 'x')"},
        {"patterns inside a value are left alone", "($$ItmNo$$ = '$$Qty$$ IS NULL, NULL')",
         "(ISNULL(s.ItmNo, '') = '$$Qty$$ IS NULL, NULL')"},
        {"an unclosed value is closed", "($$ItmNo$$ = 'x) OR (1=1", "(ISNULL(s.ItmNo, '') = 'x) OR (1=1'"},
        {"groups", "(($$ItmNo$$ = 'a') OR ($$Qty$$ > '2')) AND ($$Flag$$ IS NULL)",
         "((ISNULL(s.ItmNo, '') = 'a') OR (ISNULL(s.Qty, 0) > '2')) AND (s.Flag IS NULL OR s.Flag = 0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString sql;
        FilterTextToSQL(&def, QString::fromUtf8(c.text), sql);
        EXPECT_EQ(sql, QString::fromUtf8(c.sql));
    }
}

TEST(FilterCodeToSQL, EmptyBlankAndUnreadableCodes)
{
    TInfoObjectDef def = filterTestObject();
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, QString(), nullptr), QString());
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, QStringLiteral("   "), nullptr), QString());
    // A damaged code lets no row through instead of every row.
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, QStringLiteral("0123456789ABCDEF"), nullptr), QStringLiteral("1=0"));
    FilterCriteria criteria;
    criteria.root.addCriterion(QStringLiteral("$$ItmNo$$"), FilterOperator::Equal, {QStringLiteral("A")});
    const QString code = codeOf(criteria);
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, code.left(code.size() - 6), nullptr), QStringLiteral("1=0"));
    // No criteria: an empty code.
    EXPECT_EQ(codeOf(FilterCriteria()), QString());
}

TEST(FilterCodeToSQL, ValuesFromTheControl)
{
    TInfoObjectDef def = filterTestObject();
    ScopedUserName user(QStringLiteral("张三"));
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German)); // numbers in SQL ignore the user's locale
    struct Case {
        const char* what;
        const char* field;
        FilterOperator op;
        QVariantList values;
        const char* sql;
    };
    const Case cases[] = {
        {"quote in a value", "$$ItmNo$$", FilterOperator::Equal, {QStringLiteral("a'); drop table t; --")},
         "ISNULL(s.ItmNo, '') = 'a''); drop table t; --'"},
        {"empty text is empty", "$$ItmNo$$", FilterOperator::Equal, {QString()}, "s.ItmNo IS NULL OR s.ItmNo = ''"},
        {"fraction in the C locale", "$$Qty$$", FilterOperator::Greater, {1234.5}, "ISNULL(s.Qty, 0) > '1234.5'"},
        {"whole number", "$$Level$$", FilterOperator::LessEqual, {qlonglong(3)}, "ISNULL(s.Level, 0) <= '3'"},
        {"boolean choice", "$$Flag$$", FilterOperator::Equal, {1}, "ISNULL(s.Flag, 0) = '1'"},
        {"date", "$$Made$$", FilterOperator::Between, {QDate(2024, 3, 5), QDate(2024, 4, 1)},
         "ISNULL(s.Made, '') BETWEEN '2024/03/05' AND '2024/04/01'"},
        {"date and time", "$$Made$$", FilterOperator::Less, {QDateTime(QDate(2024, 3, 5), QTime(8, 30))},
         "ISNULL(s.Made, '') < '2024/03/05 08:30:00'"},
        {"list with a quote", "$$ItmNo$$", FilterOperator::InList, {QStringLiteral("a"), QStringLiteral("b'c")},
         "ISNULL(s.ItmNo, '') IN ('a', 'b''c')"},
        {"contains", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("bc")}, "s.ItmNo LIKE '%bc%'"},
        {"does not contain", "$$ItmNo$$", FilterOperator::NotLike, {QStringLiteral("bc")},
         "s.ItmNo IS NULL OR s.ItmNo NOT LIKE '%bc%'"},
        {"is empty", "$$Qty$$", FilterOperator::IsEmpty, {}, "s.Qty IS NULL OR s.Qty = 0"},
        {"is not empty", "$$Qty$$", FilterOperator::IsNotEmpty, {}, "s.Qty <> 0"},
        {"me", "$$Creator$$", FilterOperator::Equal, {QStringLiteral("<我>")}, "ISNULL(s.Creator, '') = '张三'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FilterCriteria criteria;
        criteria.root.addCriterion(QString::fromUtf8(c.field), c.op, c.values);
        EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, codeOf(criteria), nullptr), u'(' + QString::fromUtf8(c.sql) + u')');
    }
    QLocale::setDefault(previous);
}

TEST(FilterCodeToSQL, GroupsKeepTogether)
{
    TInfoObjectDef def = filterTestObject();
    FilterCriteria criteria;
    criteria.root.boolOperator = FilterBoolOperator::Or;
    criteria.root.addCriterion(QStringLiteral("$$ItmNo$$"), FilterOperator::Equal, {QStringLiteral("a")});
    auto* group = criteria.root.addGroup(FilterBoolOperator::And, true);
    group->addCriterion(QStringLiteral("$$Qty$$"), FilterOperator::Greater, {2});
    group->addCriterion(QStringLiteral("$$Level$$"), FilterOperator::Equal, {1});
    criteria.root.addGroup(FilterBoolOperator::And); // an empty group adds nothing
    EXPECT_EQ(DoTranslateFilterCodeToSQL(&def, codeOf(criteria), nullptr),
              QStringLiteral("((ISNULL(s.ItmNo, '') = 'a') OR (NOT ((ISNULL(s.Qty, 0) > '2') AND (ISNULL(s.Level, 0) = '1'))))"));
}

TEST(FilterBinding, SQLTypesOfFields)
{
    namespace FT = FieldTypes;
    struct Case {
        quint8 type;
        int precision;
        const char* sql;
    };
    const Case cases[] = {
        {FT::ftString, 8, "varchar(8)"}, {FT::ftString, 0, "varchar(100)"}, {FT::ftVarBytes, 8, "varbinary(100)"},
        {FT::ftVarBytes, 10, "varbinary(10)"}, {FT::ftTypedBinary, 0, "varbinary(100)"}, {FT::ftBytes, 4, "binary(4)"},
        {FT::ftSmallint, 0, "smallint"}, {FT::ftAutoInc, 0, "int"}, {FT::ftBoolean, 0, "tinyint"}, {FT::ftCurrency, 0, "real"},
        {FT::ftDate, 0, "datetime"}, {FT::ftTime, 0, "time"}, {FT::ftGraphic, 0, "image"}, {FT::ftMemo, 0, "text"},
        {FT::ftFixedChar, -1, "char(100)"}, {FT::ftWideString, 30, "nvarchar(30)"}, {FT::ftFixedWideChar, 2, "nchar(2)"},
        {FT::ftWideMemo, 0, "ntext"}, {FT::ftLongWord, 0, "bigint"}, {FT::ftGuid, 0, "uniqueidentifier"},
        {FT::ftOraTimeStamp, 0, "timestamp"}, {FT::ftTimeStampOffset, 0, "datetimeoffset"}, {FT::ftVariant, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        EXPECT_EQ(FilterFieldSQLType(filterTestField("F", "F", c.type, "s.F", c.precision)), QString::fromUtf8(c.sql));
    }
}

TEST(FilterBinding, QueryOfFilterableFields)
{
    namespace FT = FieldTypes;
    TInfoObjectDef def;
    def.Fields = {filterTestField("A", "甲", FT::ftString, "s.A", 8), filterTestField("B", "乙", FT::ftInteger, "s.B"),
                  filterTestField("C", "丙", FT::ftVariant, "s.C"), filterTestField("D", "丁", FT::ftVarBytes, "s.D", 8)};
    def.Fields[1].HideFilter = true;
    EXPECT_EQ(FilterBindingSQL(&def),
              QStringLiteral("select  [$$A$$]=cast(null as varchar(8)), [$$D$$]=cast(null as varbinary(100))"));
    for (auto& f : def.Fields)
        f.HideFilter = true;
    EXPECT_EQ(FilterBindingSQL(&def), QString());
    kvui::FilterControl control;
    BindFilterFields(&control, &def, nullptr);
    EXPECT_TRUE(control.items().isEmpty());
}

TEST(FilterBinding, FieldListKeepsTheDefinitionOrder)
{
    namespace FT = FieldTypes;
    TInfoObjectDef def;
    def.Fields = {filterTestField("ID", "单据内码", FT::ftString, "s.ID", 20), filterTestField("No", "单据编号", FT::ftString, "s.No", 20),
                  filterTestField("Note", "备注", FT::ftString, "s.Note", 20), filterTestField("Qty", "数量", FT::ftFloat, "s.Qty"),
                  filterTestField("P1", "属性1", FT::ftInteger, "s.P1")};
    def.Fields[0].HideList = true;
    def.Fields[2].Layout = flDefaultHide;
    def.Fields[4].HideList = true;
    kvui::FilterControl control;
    BindFilterFields(&control, &def, nullptr);
    QStringList captions;
    for (const kvui::FilterItem& item : control.items())
        captions << item.caption;
    // Hidden and internal fields stay where the definition puts them.
    EXPECT_EQ(captions, QStringList({"单据内码", "单据编号", "备注", "数量", "属性1"}));
    // So does the typed-null query.
    EXPECT_TRUE(FilterBindingSQL(&def).startsWith("select  [$$ID$$]"));
}

// The conditions on real rows of the embedded engine.
class FilterOnDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        connection.SetConnectionString(
            QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=f").arg(scratchDatabase(dir.filePath(QStringLiteral("f.db")))));
        connection.Open();
        query.SetConnection(&connection);
        query.SQL.Clear();
        query.SQL.Add(QStringLiteral(
            "create table FT (ItmNo varchar(20) null, Qty decimal(28,8) null, Made datetime null, Creator varchar(20) null)"));
        query.ExecSQL();
        query.SQL.Clear();
        query.SQL.Add(QStringLiteral(
            "insert FT (ItmNo, Qty, Made, Creator) values ('abcd', 5, '2024/03/05', 'O''Brien')\r"
            "insert FT (ItmNo, Qty, Made, Creator) values ('xbcx', 0, '2024/04/10', 'Li')\r"
            "insert FT (ItmNo, Qty, Made, Creator) values (null, null, null, null)\r"
            "insert FT (ItmNo, Qty, Made, Creator) values ('it''s', 12.5, '2024/03/06 10:00:00', 'Li')\r"
            "insert FT (ItmNo) values ('rate 5%')\rinsert FT (ItmNo) values ('rate 50')\r"
            "insert FT (ItmNo) values ('M8_20')\rinsert FT (ItmNo) values ('M8x20')\r"
            "insert FT (ItmNo) values ('[b]')"));
        query.ExecSQL();
        def = filterTestObject();
    }

    int count(const FilterCriteria& criteria)
    {
        const QString sql = DoTranslateFilterCodeToSQL(&def, codeOf(criteria), &query);
        query.SQL.Clear();
        query.SQL.Add(QStringLiteral("select count(*) as n from FT s where ") + sql);
        query.Open();
        const int n = query.FieldByName(QStringLiteral("n"))->AsInteger();
        query.Close();
        return n;
    }

    QTemporaryDir dir;
    TADOConnection connection;
    TADOQuery query;
    TInfoObjectDef def;
};

TEST_F(FilterOnDatabase, ConditionsSelectTheExpectedRows)
{
    ScopedUserName user(QStringLiteral("O'Brien"));
    ScriptedMessageBoxes boxes;
    struct Case {
        const char* what;
        const char* field;
        FilterOperator op;
        QVariantList values;
        int rows;
    };
    const Case cases[] = {
        {"number equal", "$$Qty$$", FilterOperator::Equal, {5}, 1},
        {"number with a fraction", "$$Qty$$", FilterOperator::GreaterEqual, {12.5}, 1},
        {"zero counts as empty", "$$Qty$$", FilterOperator::IsEmpty, {}, 7},
        {"not empty number", "$$Qty$$", FilterOperator::IsNotEmpty, {}, 2},
        {"contains", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("bc")}, 2},
        {"does not contain, nulls included", "$$ItmNo$$", FilterOperator::NotLike, {QStringLiteral("abc")}, 8},
        // a value with "%" or "_" is the user's own pattern
        {"a typed percent sign is a wildcard", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("rate 5%")}, 2},
        {"a typed underscore is a wildcard", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("M8_20")}, 2},
        {"a typed pattern is not wrapped", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("M8_2")}, 0},
        {"a typed pattern in does not contain", "$$ItmNo$$", FilterOperator::NotLike, {QStringLiteral("M8_20")}, 7},
        {"a pattern with a quote stays a value", "$$ItmNo$$", FilterOperator::Like, {QStringLiteral("%' or '1'='1")}, 0},
        {"value with a quote", "$$ItmNo$$", FilterOperator::Equal, {QStringLiteral("it's")}, 1},
        {"text injection stays a value", "$$ItmNo$$", FilterOperator::Equal, {QStringLiteral("x' or '1'='1")}, 0},
        {"dates", "$$Made$$", FilterOperator::Between, {QDate(2024, 3, 5), QDate(2024, 3, 31)}, 2},
        {"me, with a quote in the name", "$$Creator$$", FilterOperator::Equal, {QStringLiteral("<我>")}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FilterCriteria criteria;
        criteria.root.addCriterion(QString::fromUtf8(c.field), c.op, c.values);
        EXPECT_EQ(count(criteria), c.rows);
    }
    EXPECT_TRUE(boxes.shown.isEmpty());
}

} // namespace
