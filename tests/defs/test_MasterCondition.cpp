// Conditions that tie a detail view to the master row's values.
#include "clsInfoView.h"

#include "TsqlEngine.h"

#include <gtest/gtest.h>

namespace {

TInfoObjectDef masterFields()
{
    namespace ft = FieldTypes;
    TInfoObjectDef def;
    def.Fields = {
        {.ID = "ItmNo", .DataType = ft::ftWideString, .SQLExpress = "i.ItmNo"},
        {.ID = "Qty", .DataType = ft::ftBCD, .SQLExpress = "d.Qty"},
        {.ID = "Line", .DataType = ft::ftInteger, .SQLExpress = "d.Line"},
        {.ID = "Closed", .DataType = ft::ftBoolean, .SQLExpress = "d.Closed"},
        {.ID = "BillDate", .DataType = ft::ftDate, .SQLExpress = "d.BillDate"},
        {.ID = "Stamp", .DataType = ft::ftDateTime, .SQLExpress = "d.Stamp"},
        {.ID = "Pic", .DataType = ft::ftBlob, .SQLExpress = "d.Pic"},
    };
    return def;
}

TEST(MasterCondition, OneValuePerFieldType)
{
    TInfoObjectDef def = masterFields();
    struct Case {
        const char* field;
        const char* value;
        const char* expected;
    } cases[] = {
        {"ItmNo", "'A01'", "i.ItmNo='A01'"},
        {"ItmNo", "'O''Brien'", "i.ItmNo='O''Brien'"},
        {"ItmNo", "  ", "(i.ItmNo='' or i.ItmNo is null)"},
        {"ItmNo", "", "(i.ItmNo='' or i.ItmNo is null)"},
        {"ItmNo", "A01", "i.ItmNo='A01'"},                 // a bare constant is quoted, not pasted
        {"ItmNo", "x' or 1=1 --", "i.ItmNo='x'' or 1=1 --'"},
        {"ItmNo", "N'螺丝'", "i.ItmNo=N'螺丝'"},
        // quoted at both ends but not one literal: quoted as a whole, never pasted
        {"ItmNo", "'a' or 1=1 or 'b'", "i.ItmNo='''a'' or 1=1 or ''b'''"},
        {"ItmNo", "'a''", "i.ItmNo='''a'''''"},
        {"itmno", "NULL", "i.ItmNo is null"},
        {"Qty", "2.5", "d.Qty=2.5"},
        {"Qty", "0", "(d.Qty=0 or d.Qty is null)"},
        {"Qty", "''", "(d.Qty=0 or d.Qty is null)"},
        {"Qty", "", "(d.Qty=0 or d.Qty is null)"},
        {"Qty", "null", "d.Qty is null"},
        {"Line", "-3", "d.Line=-3"},
        {"Line", "1;drop table x", "1=0"},                 // no number, no match
        {"Closed", "True", "d.Closed=1"},
        {"Closed", "1", "d.Closed=1"},
        {"Closed", "0", "(d.Closed=0 or d.Closed is null)"},
        {"Closed", "False", "(d.Closed=0 or d.Closed is null)"},
        {"BillDate", "2026/03/05", "d.BillDate='20260305'"},
        {"BillDate", "2026/03/05 13:45:10", "d.BillDate='20260305'"},
        {"BillDate", "'20260305'", "d.BillDate='20260305'"},
        {"BillDate", "", "d.BillDate is null"},
        {"BillDate", "''", "d.BillDate is null"},
        {"BillDate", "not a date", "1=0"},
        {"Stamp", "2026/03/05 13:45:10", "d.Stamp='20260305 13:45:10'"},
        {"Stamp", "2026/03/05", "d.Stamp='20260305 00:00:00'"},
        {"Pic", "x", "1=0"},
        {"Pic", "null", "d.Pic is null"},
        {"Missing", "'A'", "1=0"},
        {"Missing", "null", "1=0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildMasterValueCondition(&def, c.field, QString::fromUtf8(c.value)), c.expected)
            << c.field << " = " << c.value;
}

TEST(MasterCondition, LinesJoinedInTheirOrder)
{
    TInfoObjectDef def = masterFields();
    EXPECT_EQ(BuildMasterValuesCondition(&def, "ItmNo='A01'\r\nQty=0", ""),
              "i.ItmNo='A01' and (d.Qty=0 or d.Qty is null)");
    EXPECT_EQ(BuildMasterValuesCondition(&def, "Qty=0\r\nItmNo='A01'\r\n", ""),
              "(d.Qty=0 or d.Qty is null) and i.ItmNo='A01'");
    // One field asked for; an absent line counts as an empty value.
    EXPECT_EQ(BuildMasterValuesCondition(&def, "ItmNo='A01'\r\nQty=3", "qty"), "d.Qty=3");
    EXPECT_EQ(BuildMasterValuesCondition(&def, "ItmNo='A01'", "Line"), "(d.Line=0 or d.Line is null)");
    // A value holding "=" keeps it.
    EXPECT_EQ(BuildMasterValuesCondition(&def, "ItmNo='a=b'", ""), "i.ItmNo='a=b'");
}

TEST(MasterCondition, ALineBreakInsideAQuotedValueBelongsToTheValue)
{
    // the master row's key as the grid quotes it: a line break, then what looks like another line
    const QString key = QStringLiteral("x\nItmNo=' or 1=1 --");
    const QString quoted = "'" + QString(key).replace("'", "''") + "'";
    TInfoObjectDef def = masterFields();
    for (auto& f : def.Fields)
        f.SQLExpress = f.ID;
    for (const QString& br : {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")}) {
        const QString k = QString(key).replace(QStringLiteral("\n"), br);
        const QString q = QString(quoted).replace(QStringLiteral("\n"), br);
        const QString text = "Line=2\r\nItmNo=" + q + "\r\nQty=3";
        const TMasterValues values = ReadMasterValues(text);
        ASSERT_EQ(values.size(), 3);
        EXPECT_EQ(values[1], qMakePair(QStringLiteral("ItmNo"), q));
        EXPECT_EQ(values[2], qMakePair(QStringLiteral("Qty"), QStringLiteral("3")));

        // run with a row filter after it: the condition finds exactly that row
        auto db = kvtsql::Connection::create(QStringLiteral(":memory:"));
        kvtsql::BatchResult r = db->execute(QStringLiteral(
            "create table T (ItmNo nvarchar(40), Line int, Qty int, Allowed bit)\n"
            "insert T values ('x', 2, 3, 1)\ninsert T values (' or 1=1 --', 2, 3, 1)\n"
            "insert T values ('other', 2, 3, 1)\ninsert T values (%1, 2, 3, 0)\ninsert T values (%1, 2, 3, 1)").arg(q));
        ASSERT_TRUE(r.errors.isEmpty()) << r.errors.first().message.toStdString();
        const QString cond = BuildMasterValuesCondition(&def, text, "");
        r = db->execute("select ItmNo, Allowed from T where " + cond + " and Allowed=1");
        ASSERT_TRUE(r.errors.isEmpty()) << cond.toStdString();
        ASSERT_EQ(r.resultSets.size(), 1);
        ASSERT_EQ(r.resultSets[0].rows.size(), 1) << cond.toStdString();
        EXPECT_EQ(r.resultSets[0].rows[0][0].toString(), k);
    }
    // a quote never closed runs to the end and is quoted as a whole
    EXPECT_EQ(BuildMasterValuesCondition(&def, "ItmNo='abc\r\nQty=1", ""), "ItmNo='''abc\r\nQty=1'");
}

TEST(MasterCondition, NoMasterValuesSelectNoRows)
{
    TInfoObjectDef def = masterFields();
    EXPECT_EQ(BuildMasterValuesCondition(&def, "", ""), "1=0");
    EXPECT_EQ(BuildMasterValuesCondition(&def, "\r\n", ""), "1=0");
    EXPECT_EQ(BuildMasterValuesCondition(nullptr, "ItmNo='A'", ""), "1=0");
}

} // namespace
