// The grid view and the automatic grid view on tables of their own in a demo
// account set: scheme sections, summaries, literals, commands, row signs,
// the row cap and failures.
#include "GridTestSupport.h"
#include "ScriptedMessageBoxes.h"
#include "clsAutoGridView.h"
#include "PrintLink.h"
#include "untCommonUI.h"
#include "untGridExportLink.h"
#include "ColumnFilter.h"
#include "ColumnFilterWidgets.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

using namespace gridtest;

namespace {

TInfoFieldDef field(const QString& id, const QString& name, quint8 type, TInfoFieldLayout layout = flNormal)
{
    TInfoFieldDef f;
    f.ID = id;
    f.Name = name;
    f.DataType = type;
    f.SQLExpress = QStringLiteral("t.") + id;
    f.Layout = layout;
    return f;
}

// A definition over one table of the account set, alias t.
std::unique_ptr<TInfoObjectDef> tableDef(const QString& id, const QString& table, std::vector<TInfoFieldDef> fields)
{
    auto def = std::make_unique<TInfoObjectDef>();
    def->ID = id;
    def->Name = id;
    def->ObjType = 0;
    TInfoDataSourceDef source;
    source.ID = QStringLiteral("t");
    source.IsMain = true;
    source.DataType = dsTable;
    source.SQLData = table;
    def->DataSources.push_back(source);
    def->Fields = std::move(fields);
    return def;
}

class GridViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoAccountSet::instance();
        schemeDialog() = SchemeDialogLog();
        statusLog().messages.clear();
        window = std::make_unique<QWidget>();
        auto* box = new QVBoxLayout(window.get());
        box->setContentsMargins(0, 0, 0, 0);
        window->resize(900, 500);
        window->show();
    }
    void TearDown() override
    {
        closeView();
        window.reset();
        InfoApplication->MaxResultRowCount = 20000;
    }

    // A fresh table T (ID int key, Nm text, Qty decimal, Dt datetime, Flag bit).
    void makeTable(const QString& table, const QString& rows)
    {
        DemoAccountSet::instance().exec(QStringLiteral("if object_id('") + table + QStringLiteral("') is not null drop table ") + table
                                        + QStringLiteral("\rcreate table ") + table
                                        + QStringLiteral(" (ID int, Nm nvarchar(40), Qty decimal(28,8), Dt datetime, Flag bit)\r")
                                        + rows);
    }

    std::unique_ptr<TInfoObjectDef> casesDef(const QString& id, const QString& table)
    {
        std::vector<TInfoFieldDef> fields{field("ID", "编号", FieldTypes::ftInteger, flFixedLeft),
                                          field("Nm", "名称", FieldTypes::ftWideString),
                                          field("Qty", "数量", FieldTypes::ftFloat),
                                          field("Dt", "日期", FieldTypes::ftDateTime, flFixedRight),
                                          field("Flag", "标记", FieldTypes::ftBoolean, flDefaultHide)};
        fields[0].IsPrimary = true;
        return tableDef(id, table, std::move(fields));
    }

    std::shared_ptr<TAutoGridView> open(TInfoObjectDef* def, bool refresh = true)
    {
        view = CreateInfoView<TAutoGridView>(nullptr, def);
        view->SetParentControl(window.get());
        view->InitializeView(QString(), IInfoViewPtr());
        if (refresh)
            view->RefreshData(true);
        return view;
    }

    // What the window does when it closes: the view goes with it.
    void closeView()
    {
        QPointer<QWidget> widget = view.get();
        view.reset();
        delete widget.data();
    }

    kvui::BandedGrid* grid() const { return view->GridView(); }
    kvui::Column* column(const QString& id) const { return grid()->columnByField(id); }

    std::unique_ptr<QWidget> window;
    std::shared_ptr<TAutoGridView> view;
};

} // namespace

TEST(GridPositionCode, EncodesAndClampsEveryPart)
{
    struct Case {
        int band, col, row, lines, width;
        const char* code;
    };
    const Case cases[] = {
        {1, 2, 0, 1, 70, "10201" "1Y"},
        {1, 0, 0, 1, 1300, "10001" "ZZ"},   // wider than two digits hold
        {0, 0, 0, 1, 5, "00001" "0K"},      // narrower than 20
        {2, 40, 1, 2, 120, "21412" "3C"},
        {40, 1300, 36, 0, 20, "ZZZZ0" "0K"}, // every part clamped to its digits
    };
    for (const Case& c : cases)
        EXPECT_EQ(EncodeColumnPosition(c.band, c.col, c.row, c.lines, c.width), QString::fromLatin1(c.code)) << c.code;
}

TEST(GridPositionCode, DecodesUpToTheFirstBadPart)
{
    struct Case {
        const char* code;
        int read, band, col, row, lines, width;
    };
    const Case cases[] = {
        {"102011Y", 5, 1, 2, 0, 1, 70},
        {"1020", 3, 1, 2, 0, 9, 99},       // line count and width missing
        {"10#011Y", 1, 1, 8, 8, 9, 99},    // column index is not base 36
        {"", 0, 7, 8, 8, 9, 99},
        {"2a3b1zz", 5, 2, 363, 11, 1, 1295}, // lower case reads as upper
    };
    for (const Case& c : cases) {
        int band = 7, col = 8, row = 8, lines = 9, width = 99;
        EXPECT_EQ(DecodeColumnPosition(QString::fromLatin1(c.code), band, col, row, lines, width), c.read) << c.code;
        EXPECT_EQ(band, c.band) << c.code;
        EXPECT_EQ(col, c.col) << c.code;
        EXPECT_EQ(row, c.row) << c.code;
        EXPECT_EQ(lines, c.lines) << c.code;
        EXPECT_EQ(width, c.width) << c.code;
    }
}

TEST(GridSummaryCode, KindsAndFormats)
{
    EXPECT_EQ(SummaryKindOfCode("1"), kvui::SummaryKind::Sum);
    EXPECT_EQ(SummaryKindOfCode("2"), kvui::SummaryKind::Count);
    EXPECT_EQ(SummaryKindOfCode("3"), kvui::SummaryKind::Max);
    EXPECT_EQ(SummaryKindOfCode("4"), kvui::SummaryKind::Min);
    for (const char* bad : {"0", "5", "x", "", "1a"})
        EXPECT_EQ(SummaryKindOfCode(bad), kvui::SummaryKind::None) << bad;
}

TEST(GridVariantSign, SignsOfValues)
{
    EXPECT_EQ(GetVariantSign(QVariant()), 0);
    EXPECT_EQ(GetVariantSign(QVariant(QString())), 0);
    EXPECT_EQ(GetVariantSign(true), -1);
    EXPECT_EQ(GetVariantSign(false), 0);
    EXPECT_EQ(GetVariantSign(-5), -1);
    EXPECT_EQ(GetVariantSign(5), 1);
    EXPECT_EQ(GetVariantSign(0.0), 0);
    EXPECT_EQ(GetVariantSign(-0.25), -1);
    EXPECT_EQ(GetVariantSign(QStringLiteral("-3")), -1);
    EXPECT_EQ(GetVariantSign(QStringLiteral("abc")), 0);
}

TEST_F(GridViewTest, ColumnsFromTheDefinitionInTheirBands)
{
    makeTable("T_Bands", "insert T_Bands values (1, 'a', 1, '20270104', 1)");
    auto def = casesDef("T.Bands", "T_Bands");
    def->Fields.push_back(field("Secret", "隐藏", FieldTypes::ftWideString));
    def->Fields.back().HideList = true;
    def->Fields.back().SQLExpress = "t.Nm";
    TInfoActionDef action;
    action.ID = "Big";
    action.Name = "大";
    action.Filter = "t.Qty>10";
    def->Actions.push_back(action);
    open(def.get());

    ASSERT_EQ(grid()->recordCount(), 1);
    // Bands by layout: fixed left, middle (also for default-hide), fixed right.
    EXPECT_EQ(column("ID")->bandIndex(), 0);
    EXPECT_EQ(column("Nm")->bandIndex(), 1);
    EXPECT_EQ(column("Dt")->bandIndex(), 2);
    EXPECT_EQ(grid()->band(0).fixed, kvui::BandFixed::Left);
    EXPECT_EQ(grid()->band(2).fixed, kvui::BandFixed::Right);
    EXPECT_EQ(column("Nm")->caption(), "名称");
    EXPECT_EQ(column("Nm")->width(), 70);
    // Shown: the default field list; keys, hidden fields and action columns exist hidden.
    EXPECT_EQ(ReadViewSchemeParam(view->ViewScheme.Params, "[Fields]"), "|ID|Nm|Qty|Dt|");
    EXPECT_TRUE(column("ID")->isVisible());
    EXPECT_EQ(column("Flag"), nullptr);              // default-hide and not shown: no column
    ASSERT_NE(column("Secret"), nullptr);
    EXPECT_FALSE(column("Secret")->isVisible());
    ASSERT_NE(column("#Big"), nullptr);
    EXPECT_FALSE(column("#Big")->isVisible());
    EXPECT_EQ(column("#Big")->bandIndex(), 1);
    // The hidden action column carries the filter's answer for the row.
    EXPECT_EQ(view->GetFocusedRecordString("#Big"), "0");
}

TEST_F(GridViewTest, DefaultLayoutFollowsTheFieldOrderInEachBand)
{
    makeTable("T_Order", "");
    auto def = casesDef("T.Order", "T_Order");
    def->Fields.insert(def->Fields.begin() + 1, field("Nm2", "名称2", FieldTypes::ftWideString));
    def->Fields[1].SQLExpress = "t.Nm";
    open(def.get());
    EXPECT_EQ(column("Nm2")->colIndex(), 0);
    EXPECT_EQ(column("Nm")->colIndex(), 1);
    EXPECT_EQ(column("Qty")->colIndex(), 2);
    for (const char* id : {"ID", "Nm2", "Nm", "Qty", "Dt"}) {
        EXPECT_EQ(column(id)->rowIndex(), 0) << id;
        EXPECT_EQ(column(id)->lineCount(), 1) << id;
    }
}

TEST_F(GridViewTest, SchemeSurvivesStoreApplyAndReopen)
{
    makeTable("T_Round", "insert T_Round values (1, 'b', 5, '20270104', 1)\rinsert T_Round values (2, 'a', 7, '20270105', 0)\r"
                         "insert T_Round values (3, 'a', 0, '20270106', 0)");
    auto def = casesDef("T.Round", "T_Round");
    open(def.get());

    // The user rearranges the grid by hand.
    column("Qty")->setPosition(1, 0, 0);
    column("Qty")->setWidth(1500);
    column("Nm")->setWidth(5);
    column("Dt")->setWidth(111);
    column("Dt")->setVisible(false);
    grid()->groupBy(column("Nm"));
    grid()->sortBy(column("Qty"), Qt::DescendingOrder);
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Total]", "11");
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Summaries]", "Qty:1|ID:2|Nm:3|Dt:x");
    view->StoreViewScheme();

    const QString params = view->ViewScheme.Params;
    // Grouped columns lead the field list and the sorts; hidden ones are not listed.
    EXPECT_EQ(ReadViewSchemeParam(params, "[Fields]"), "|Nm|ID|Qty|");
    EXPECT_EQ(ReadViewSchemeParam(params, "[Sorts]"), "Nm:01|Qty:10");
    const QString positions = ReadViewSchemeParam(params, "[Positions]");
    EXPECT_TRUE(positions.endsWith(u'|'));
    EXPECT_TRUE(positions.contains("Qty:10001ZZ|")) << positions.toStdString();   // 1295 at most
    EXPECT_TRUE(positions.contains("ID:000011Y|")) << positions.toStdString();
    EXPECT_TRUE(positions.contains("Dt:2000133|")) << positions.toStdString();    // 111, its own width while shown

    ASSERT_TRUE(view->QueryClose());
    closeView();

    // Reopened: the last-used scheme comes back with everything in it.
    open(def.get());
    EXPECT_EQ(view->ViewScheme.Params, params);
    EXPECT_EQ(column("Qty")->colIndex(), 0);
    EXPECT_LT(column("Qty")->colIndex(), column("Nm")->colIndex());
    EXPECT_EQ(column("Qty")->width(), 1295);
    EXPECT_EQ(column("Nm")->width(), 20);
    EXPECT_EQ(column("Dt"), nullptr); // not shown: the automatic view makes no column for it
    ASSERT_EQ(grid()->groupedColumns().size(), 1);
    EXPECT_EQ(grid()->groupedColumns()[0], column("Nm"));
    EXPECT_FALSE(column("Nm")->isVisible());
    ASSERT_EQ(grid()->sortedColumns().size(), 1);
    EXPECT_EQ(grid()->sortedColumns()[0], column("Qty"));
    EXPECT_EQ(column("Qty")->sortOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(grid()->showFooter());
    EXPECT_EQ(grid()->groupFooterMode(), kvui::BandedGrid::GroupFootersWhenExpanded);
    EXPECT_EQ(column("Qty")->footerSummary().kind, kvui::SummaryKind::Sum);
    EXPECT_EQ(column("Qty")->groupSummary().kind, kvui::SummaryKind::Sum);
    EXPECT_EQ(column("ID")->footerSummary().kind, kvui::SummaryKind::Count);
    EXPECT_EQ(column("Nm")->footerSummary().kind, kvui::SummaryKind::Max);
    EXPECT_EQ(column("Nm")->footerSummary().format, SummaryMaxFormat);
    // 5 + 7 (the zero is not counted); three records counted by ID.
    EXPECT_EQ(grid()->footerValue(column("Qty")).toDouble(), 12.0);
    EXPECT_EQ(grid()->footerValue(column("ID")).toInt(), 3);

    // A second store without changes writes the same text.
    view->StoreViewScheme();
    EXPECT_EQ(view->ViewScheme.Params, params);
}

TEST_F(GridViewTest, HiddenColumnKeepsItsStoredWidth)
{
    makeTable("T_Hidden", "");
    auto def = casesDef("T.Hidden", "T_Hidden");
    open(def.get());
    // The key column exists while not shown; its stored width comes back.
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Positions]", "ID:00001" "4M|");
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Fields]", "|Nm|Qty|Dt|");
    view->ApplyViewScheme();
    ASSERT_NE(column("ID"), nullptr);
    EXPECT_FALSE(column("ID")->isVisible());
    EXPECT_EQ(column("ID")->width(), 166);
    column("ID")->setWidth(300); // a width given while hidden is not stored
    view->StoreViewScheme();
    EXPECT_TRUE(ReadViewSchemeParam(view->ViewScheme.Params, "[Positions]").contains("ID:000014M|"));
    EXPECT_EQ(ReadViewSchemeParam(view->ViewScheme.Params, "[Fields]"), "|Nm|Qty|Dt|");
}

TEST_F(GridViewTest, CorruptSchemeValuesNeverRaise)
{
    makeTable("T_Corrupt", "insert T_Corrupt values (1, 'a', 1, null, 0)");
    auto def = casesDef("T.Corrupt", "T_Corrupt");
    open(def.get());
    const int nmBand = column("Nm")->bandIndex();
    // Unknown band 9, a bad column index, an unknown field; a sort on a missing field.
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Positions]", "Nm:9|Qty:1%%|Nobody:1000000|");
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Sorts]", "Nobody:11|ID:1");
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Summaries]", "Qty:abc|ID:9");
    view->ApplyViewScheme();
    EXPECT_EQ(column("Nm")->bandIndex(), nmBand);
    EXPECT_EQ(column("Qty")->bandIndex(), 1);
    EXPECT_EQ(column("ID")->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(column("Qty")->footerSummary().kind, kvui::SummaryKind::None);
    EXPECT_EQ(column("ID")->footerSummary().kind, kvui::SummaryKind::None);
}

TEST_F(GridViewTest, TotalSwitchesFooterAndGroupFooters)
{
    makeTable("T_Total", "");
    auto def = casesDef("T.Total", "T_Total");
    open(def.get());
    struct Case {
        const char* total;
        bool footer;
        kvui::BandedGrid::GroupFooterMode groups;
        kvui::SummaryKind groupKind;
    };
    const Case cases[] = {
        {"00", false, kvui::BandedGrid::NoGroupFooters, kvui::SummaryKind::None},
        {"01", false, kvui::BandedGrid::NoGroupFooters, kvui::SummaryKind::None},
        {"10", true, kvui::BandedGrid::NoGroupFooters, kvui::SummaryKind::None},
        {"11", true, kvui::BandedGrid::GroupFootersWhenExpanded, kvui::SummaryKind::Sum},
        {"", true, kvui::BandedGrid::GroupFootersWhenExpanded, kvui::SummaryKind::Sum},
    };
    for (const Case& c : cases) {
        view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Total]", c.total);
        view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Summaries]", "Qty:1");
        view->ApplyViewScheme();
        EXPECT_EQ(grid()->showFooter(), c.footer) << c.total;
        EXPECT_EQ(grid()->groupFooterMode(), c.groups) << c.total;
        EXPECT_EQ(column("Qty")->groupSummary().kind, c.groupKind) << c.total;
    }
}

TEST_F(GridViewTest, SummariesSkipZerosBlanksAndNulls)
{
    makeTable("T_Zero", "insert T_Zero values (0, '', 0, null, 0)\rinsert T_Zero values (null, '  ', null, null, null)\r"
                        "insert T_Zero values (0, null, 0, null, 0)");
    auto def = casesDef("T.Zero", "T_Zero");
    def->Fields[0].IsPrimary = false;
    open(def.get());
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Summaries]", "Qty:1|Nm:2|ID:2|Dt:4");
    view->ApplyViewScheme();
    ASSERT_EQ(grid()->recordCount(), 3);
    EXPECT_FALSE(grid()->footerValue(column("Qty")).isValid());
    EXPECT_EQ(grid()->footerText(column("Qty")), "");
    EXPECT_EQ(grid()->footerValue(column("Nm")).toInt(), 0);
    EXPECT_EQ(grid()->footerValue(column("ID")).toInt(), 0);
    EXPECT_FALSE(grid()->footerValue(column("Dt")).isValid());

    // With values: minimum and maximum keep the extreme, sums add.
    makeTable("T_Zero", "insert T_Zero values (1, 'x', 2.5, '20270104', 1)\rinsert T_Zero values (2, 'y', -1, '20270102', 1)\r"
                        "insert T_Zero values (3, 'z', 0, '20270103', 0)");
    view->RefreshData(true);
    EXPECT_DOUBLE_EQ(grid()->footerValue(column("Qty")).toDouble(), 1.5);
    EXPECT_EQ(grid()->footerValue(column("ID")).toInt(), 3);
    EXPECT_EQ(grid()->footerValue(column("Dt")).toDateTime().date(), QDate(2027, 1, 2));
    EXPECT_EQ(grid()->footerText(column("Qty")), "1.5");
    // With more than one record selected the footer sums the selection.
    grid()->setMultiSelect(true);
    grid()->clearSelection();
    grid()->selectRecord(0, true);
    grid()->selectRecord(1, true);
    EXPECT_DOUBLE_EQ(grid()->footerValue(column("Qty")).toDouble(), 1.5);
    grid()->selectRecord(1, false);
    grid()->selectRecord(2, true);
    EXPECT_DOUBLE_EQ(grid()->footerValue(column("Qty")).toDouble(), 2.5);
    EXPECT_EQ(grid()->footerValue(column("ID")).toInt(), 2);
}

TEST_F(GridViewTest, FocusedRecordStringsAreSqlLiterals)
{
    makeTable("T_Lit", "insert T_Lit values (42, 'O''Brien', 1.25, '20270104 08:30:00', 1)\r"
                       "insert T_Lit values (7, '', 3, '20270105', 0)\r"
                       "insert T_Lit values (8, null, 0.00000001, null, null)");
    auto def = casesDef("T.Lit", "T_Lit");
    open(def.get());
    ASSERT_EQ(grid()->recordCount(), 3);
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Fields]", "|ID|Nm|Qty|Dt|Flag|");
    view->ViewScheme.SQLParsed = false;
    view->RefreshData(true);
    struct Case {
        int record;
        const char* field;
        const char* literal;
    };
    // Records in key order: 7, 8, 42.
    const Case cases[] = {
        {2, "Nm", "'O''Brien'"}, {2, "ID", "42"},      {2, "Qty", "1.25"}, {2, "Dt", "'20270104 08:30:00'"},
        {2, "Flag", "1"},        {2, "Nobody", "null"}, {0, "Nm", "null"}, {0, "Dt", "'20270105'"},
        {0, "Flag", "0"},        {1, "Nm", "null"},     {1, "Dt", "null"}, {1, "Qty", "0.00000001"},
        {1, "Flag", "null"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(grid()->setFocusedRecordIndex(c.record));
        EXPECT_EQ(view->GetFocusedRecordString(c.field), QString::fromUtf8(c.literal)) << c.record << c.field;
    }
    // Each literal is valid SQL that finds its row again.
    ASSERT_TRUE(grid()->setFocusedRecordIndex(2));
    EXPECT_EQ(DemoAccountSet::count("select count(*) from T_Lit where Nm=" + view->GetFocusedRecordString("Nm")
                                    + " and Dt=" + view->GetFocusedRecordString("Dt")),
              1);
}

TEST_F(GridViewTest, ViewPositionAndSelectedValues)
{
    makeTable("T_Pos", "insert T_Pos values (1, 'a', 1, null, 0)\rinsert T_Pos values (2, 'b', 2, null, 0)\r"
                       "insert T_Pos values (3, 'c', 3, null, 0)");
    auto def = casesDef("T.Pos", "T_Pos");
    open(def.get());
    view->SetViewPosition("2");
    EXPECT_EQ(view->GetViewPosition(), "2");
    view->SetViewPosition("x"); // not a number: ignored
    EXPECT_EQ(view->GetViewPosition(), "2");
    view->SetViewPosition("99");
    EXPECT_EQ(view->GetViewPosition(), "2");
    EXPECT_EQ(view->GetSelectedRecordCount(), 1);
    EXPECT_EQ(view->GetSelectedRecordValue(0, "Nm").toString(), "c");
    EXPECT_FALSE(view->GetSelectedRecordValue(1, "Nm").isValid());
    EXPECT_FALSE(view->GetSelectedRecordValue(0, "Nobody").isValid());
    // The automatic view is read-only: writing changes nothing.
    view->SetSelectedRecordValue(0, "Nm", "z");
    EXPECT_EQ(view->GetSelectedRecordValue(0, "Nm").toString(), "c");
}

TEST_F(GridViewTest, RowSignColours)
{
    DemoAccountSet::instance().exec(
        "if object_id('T_Signs') is not null drop table T_Signs\r"
        "create table T_Signs (ID int, Err int, Warn int, Cls bit, ToDo int)\r"
        "insert T_Signs values (1, -5, 0, 0, 0)\rinsert T_Signs values (2, 5, -1, 0, 0)\r"
        "insert T_Signs values (3, 0, 0, 1, 0)\rinsert T_Signs values (4, 0, 0, 0, -1)\r"
        "insert T_Signs values (5, 0, 0, 1, 1)\rinsert T_Signs values (6, 0, 0, 0, 1)\r"
        "insert T_Signs values (7, 0, 3, 0, 0)");
    std::vector<TInfoFieldDef> fields{field("ID", "编号", FieldTypes::ftInteger), field("Err", "错误", FieldTypes::ftInteger),
                                      field("Warn", "警告", FieldTypes::ftInteger), field("Cls", "关闭", FieldTypes::ftBoolean),
                                      field("ToDo", "待办", FieldTypes::ftInteger)};
    fields[0].IsPrimary = true;
    fields[1].ViewSign = vsBizError;
    fields[2].ViewSign = vsBizWarning;
    fields[3].ViewSign = vsBizClosed;
    fields[4].ViewSign = vsBizToDo;
    auto def = tableDef("T.Signs", "T_Signs", std::move(fields));
    open(def.get());
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Sorts]", "ID:00");
    view->ApplyViewScheme();
    ASSERT_EQ(grid()->recordCount(), 7);
    const QColor white = grid()->viewPalette().content;
    const QColor black = grid()->viewPalette().text;
    struct Case {
        int id;
        QColor background, text;
    };
    const Case cases[] = {
        {1, QColor(255, 0, 0), black}, {2, white, QColor(255, 0, 0)}, {3, white, QColor(0, 161, 0)},
        {4, white, QColor(255, 0, 255)}, {5, white, QColor(0, 0, 255)}, {6, white, black}, {7, white, black},
    };
    grid()->clearFocus();
    for (const Case& c : cases) {
        const int row = grid()->rowOfRecord(c.id - 1);
        ASSERT_GE(row, 0);
        // Printing asks with selected off; a selected row is never coloured.
        const kvui::CellFormat f = grid()->cellFormat(row, column("ID"), true);
        EXPECT_EQ(f.background, c.background) << c.id;
        EXPECT_EQ(f.textColor, c.text) << c.id;
    }
    QColor brush = Qt::white, text = Qt::black;
    QFont font;
    kvui::RowRef ref;
    ref.record = 0;
    view->FetchCustomDrawFormat(ref, column("ID"), true, false, brush, font, text);
    EXPECT_EQ(brush, QColor(Qt::white));

    // The export asks the view named by the grid's Tag for the same colours.
    QTemporaryDir dir;
    grid()->setProperty(GridOwnerViewProperty, QVariant::fromValue<QObject*>(view.get()));
    ExportGridAsXml(dir.filePath("signs.xml"), grid(), true, true, "xml");
    grid()->setProperty(GridOwnerViewProperty, QVariant());
    QFile file(dir.filePath("signs.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(xml.contains("<Interior ss:Color=\"#FF0000\"")) << "error rows have a red background";
    EXPECT_TRUE(xml.contains("ss:Color=\"#00A100\"/>")) << "closed rows have green text";
}

// The user narrows an automatic grid by its columns: without regard to case,
// a field hidden from filtering gets no button, the custom dialog has the
// shared look, and the count panel and the export follow the filtered rows.
TEST_F(GridViewTest, ColumnFilteringFollowsTheFieldsAndReachesCountAndExport)
{
    makeTable("T_Filter", "insert T_Filter values (1, 'Bolt', 1, null, 0)\rinsert T_Filter values (2, 'nut', 2, null, 0)\r"
                          "insert T_Filter values (3, 'BOLT', 3, null, 0)");
    auto def = casesDef("T.Filter", "T_Filter");
    def->Fields[2].HideFilter = true;   // Qty
    open(def.get());
    kvui::BandedGrid* g = grid();
    ASSERT_TRUE(g->columnFilteringEnabled());
    EXPECT_FALSE(g->filterButtonRect(column("Nm")).isEmpty());
    EXPECT_TRUE(g->filterButtonRect(column("Qty")).isEmpty());

    g->columnFilter()->setColumnValue(column("Nm"), "bolt");
    EXPECT_EQ(g->shownRecordOrder().size(), 2);
    TCommandState state;
    ASSERT_TRUE(g->setFocusedRecordIndex(g->shownRecordOrder().last()));
    EXPECT_TRUE(view->QueryCommandState(50, state));
    EXPECT_EQ(statusLog().messages.last().first, "2 / 2");
    QTemporaryDir dir;
    ExportGridAsText(dir.filePath("f.txt"), g, true, true, QString(), QString(), QString(), "txt");
    QFile file(dir.filePath("f.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count("Bolt") + text.count("BOLT"), 2);
    EXPECT_FALSE(text.contains("nut"));

    kvui::ColumnFilterDialog::ExecHook = [](kvui::ColumnFilterDialog& dlg) {
        EXPECT_EQ(dlg.windowTitle(), "自定义快速筛选方式");
        EXPECT_TRUE(dlg.lblTitle->isHidden());
        EXPECT_TRUE(dlg.lblHint->isHidden());
        EXPECT_FALSE(dlg.fltConditions->isHidden());
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(kvui::RunColumnFilterDialog(g, column("Nm")));
    kvui::ColumnFilterDialog::ExecHook = nullptr;
}

TEST_F(GridViewTest, RowCapShowsTheLimitAndTellsOnlyWhenCut)
{
    makeTable("T_Cap", "insert T_Cap values (1, 'a', 1, null, 0)\rinsert T_Cap values (2, 'b', 1, null, 0)\r"
                       "insert T_Cap values (3, 'c', 1, null, 0)");
    auto def = casesDef("T.Cap", "T_Cap");
    InfoApplication->MaxResultRowCount = 3;
    {
        ScriptedMessageBoxes boxes;
        open(def.get());
        EXPECT_EQ(grid()->recordCount(), 3);
        EXPECT_TRUE(boxes.shown.isEmpty()); // exactly the limit: nothing was cut
    }
    DemoAccountSet::instance().exec("insert T_Cap values (4, 'd', 1, null, 0)");
    {
        ScriptedMessageBoxes boxes;
        view->RefreshData(true);
        EXPECT_EQ(grid()->recordCount(), 3);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].text.contains("超过3行")) << boxes.shown[0].text.toStdString();
    }
    EXPECT_EQ(InfoApplication->MaxResultRowCount, 3);
}

TEST_F(GridViewTest, LoadFailureLeavesAnEmptyGridAndAMessage)
{
    makeTable("T_Gone", "insert T_Gone values (1, 'a', 1, null, 0)");
    auto def = casesDef("T.Gone", "T_Gone");
    open(def.get());
    ASSERT_EQ(grid()->recordCount(), 1);
    DemoAccountSet::instance().exec("drop table T_Gone");
    ScriptedMessageBoxes boxes;
    EXPECT_NO_THROW(view->RefreshData(true));
    EXPECT_EQ(grid()->recordCount(), 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("读取数据失败")) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.contains("T_Gone")) << boxes.shown[0].text.toStdString();
}

TEST_F(GridViewTest, FirstRefreshAsksForTheSchemeAndACancelLoadsNothing)
{
    makeTable("T_First", "insert T_First values (1, 'a', 1, null, 0)");
    auto def = casesDef("T.First", "T_First");
    schemeDialog().answer = false;
    open(def.get());
    EXPECT_EQ(schemeDialog().calls, 1);
    EXPECT_FALSE(schemeDialog().lastFieldsPageFirst);
    EXPECT_EQ(grid()->recordCount(), 0);
    EXPECT_FALSE(view->DataRefreshed());
    schemeDialog().answer = true;
    view->RefreshData(false);
    EXPECT_EQ(grid()->recordCount(), 1);
    EXPECT_TRUE(view->DataRefreshed());
    view->RefreshData(false); // parsed now: no dialog
    EXPECT_EQ(schemeDialog().calls, 2);
}

TEST_F(GridViewTest, SchemeCommandsStoreTheLayoutFirstAndApplyTheResult)
{
    makeTable("T_Cmd", "insert T_Cmd values (1, 'a', 1, null, 0)\rinsert T_Cmd values (2, 'b', 2, null, 0)");
    auto def = casesDef("T.Cmd", "T_Cmd");
    open(def.get());
    TCommandState state;
    for (int command : {42, 43, 44, 45, 49}) {
        state = TCommandState();
        EXPECT_TRUE(view->QueryCommandState(command, state)) << command;
        EXPECT_TRUE(state.testFlag(csEnabled)) << command;
    }
    column("Qty")->setVisible(false);
    schemeDialog().newParams = WriteViewSchemeParam(QString(), "[Fields]", "|ID|Qty|");
    ASSERT_TRUE(view->ExecCommand(42));
    EXPECT_TRUE(schemeDialog().lastFieldsPageFirst);
    EXPECT_EQ(schemeDialog().lastCaption, view->ViewCaption);
    EXPECT_EQ(ReadViewSchemeParam(schemeDialog().paramsSeen, "[Fields]"), "|ID|Nm|Dt|");
    EXPECT_TRUE(column("Qty")->isVisible());
    EXPECT_EQ(column("Nm"), nullptr);
    EXPECT_EQ(grid()->recordCount(), 2);
    ASSERT_TRUE(view->ExecCommand(44));
    EXPECT_FALSE(schemeDialog().lastFieldsPageFirst);
    // In edit mode the scheme and refresh commands are off.
    view->SetEditMode(true);
    for (int command : {42, 44, 45, 49, 6}) {
        state = csEnabled;
        EXPECT_TRUE(view->QueryCommandState(command, state));
        EXPECT_FALSE(state.testFlag(csEnabled)) << command;
    }
}

TEST_F(GridViewTest, FillCountAndActionCommands)
{
    makeTable("T_States", "insert T_States values (1, 'a', 1, null, 0)\rinsert T_States values (2, 'b', 2, null, 0)");
    auto def = casesDef("T.States", "T_States");
    // 25 actions: more than the main window's 20 slots.
    for (int i = 0; i < 25; ++i) {
        TInfoActionDef a;
        a.ID = QStringLiteral("A%1").arg(i);
        a.Kind = i == 24 ? akGlobal : akSimple;
        def->Actions.push_back(a);
    }
    def->Actions[21].Filter = "t.ID>1";
    open(def.get());

    // Fill: the automatic grid is read-only, so never with rows selected.
    TCommandState state = csEnabled;
    ASSERT_GT(view->GetSelectedRecordCount(), 0);
    EXPECT_TRUE(view->QueryCommandState(26, state));
    EXPECT_FALSE(state.testFlag(csEnabled));
    grid()->setReadOnly(false);
    grid()->setEditingEnabled(true);
    EXPECT_TRUE(view->QueryCommandState(26, state));
    EXPECT_TRUE(state.testFlag(csEnabled));

    // Count panel: the focused row and the row count.
    ASSERT_TRUE(grid()->setFocusedRecordIndex(1));
    EXPECT_TRUE(view->QueryCommandState(50, state));
    ASSERT_FALSE(statusLog().messages.isEmpty());
    EXPECT_EQ(statusLog().messages.last().first, "2 / 2");
    EXPECT_EQ(statusLog().messages.last().second, mkCount);
    // Grouped, the grid shows a group row above each record: still records are counted.
    grid()->groupBy(column("Nm"));
    grid()->expandAllGroups();
    ASSERT_EQ(grid()->rowCount(), 4);
    ASSERT_TRUE(grid()->setFocusedRecordIndex(1));
    EXPECT_TRUE(view->QueryCommandState(50, state));
    EXPECT_EQ(statusLog().messages.last().first, "2 / 2");
    grid()->ungroup(column("Nm"));

    // Actions past the 20th are answered by their own definition.
    state = TCommandState();
    EXPECT_TRUE(view->QueryCommandState(100 + 23, state));
    EXPECT_TRUE(state.testFlag(csEnabled));
    state = TCommandState();
    EXPECT_TRUE(view->QueryCommandState(100 + 21, state)); // filter holds for ID 2
    EXPECT_TRUE(state.testFlag(csEnabled));
    ASSERT_TRUE(grid()->setFocusedRecordIndex(0));
    state = TCommandState();
    EXPECT_TRUE(view->QueryCommandState(100 + 21, state));
    EXPECT_FALSE(state.testFlag(csEnabled));
    EXPECT_FALSE(view->QueryCommandState(100 + 25, state)); // no such action
    EXPECT_FALSE(view->ExecCommand(100 + 25));

    // Without records: the count panel is cleared, row actions are off, global ones not.
    DemoAccountSet::instance().exec("delete T_States");
    view->RefreshData(true);
    ASSERT_EQ(grid()->recordCount(), 0);
    EXPECT_TRUE(view->QueryCommandState(50, state));
    EXPECT_EQ(statusLog().messages.last().first, "");
    state = csEnabled;
    EXPECT_TRUE(view->QueryCommandState(100, state));
    EXPECT_FALSE(state.testFlag(csEnabled));
    state = TCommandState();
    EXPECT_TRUE(view->QueryCommandState(100 + 24, state));
    EXPECT_TRUE(state.testFlag(csEnabled));
}

TEST_F(GridViewTest, ExportChoosesTheWriterByExtension)
{
    makeTable("T_Exp", "insert T_Exp values (1, 'a', 1, null, 0)");
    auto def = casesDef("T.Exp", "T_Exp");
    def->CanExport = true;
    open(def.get());
    TCommandState state;
    EXPECT_TRUE(view->QueryCommandState(5, state));
    EXPECT_TRUE(state.testFlag(csEnabled));

    QString chosen;
    QString proposedName, filter;
    SetSaveFileDialogHook([&](const QString& title, const QString& name, const QString& ext, const QString& f, QString& out) {
        EXPECT_EQ(title, "导出数据");
        EXPECT_EQ(ext, "xls");
        proposedName = name;
        filter = f;
        out = chosen;
        return !chosen.isEmpty();
    });
    const auto restoreHook = qScopeGuard([] { SetSaveFileDialogHook({}); });

    // Without writers the user is told the kind cannot be exported.
    const TGridExportProcs installedWriters = GridExportProcs();
    GridExportProcs() = TGridExportProcs();
    const auto restoreWriters = qScopeGuard([&] { GridExportProcs() = installedWriters; });
    for (const char* name : {"/tmp/a.html", "/tmp/a.XML", "/tmp/a.txt", "/tmp/a.xls", "/tmp/a.dat"}) {
        chosen = name;
        ScriptedMessageBoxes boxes;
        EXPECT_TRUE(view->ExecCommand(5));
        ASSERT_EQ(boxes.shown.size(), 1) << name;
        const QString ext = QString::fromLatin1(name).endsWith(".dat") ? "xls" : QFileInfo(name).suffix().toLower();
        EXPECT_EQ(boxes.shown[0].text, "很抱歉, 暂时不能导出此类文档(*." + ext + ")!");
    }
    EXPECT_EQ(proposedName, "T.Exp.xls");
    EXPECT_EQ(filter, "Excel 工作簿 (*.xls)|*.xls|网页 (*.html)|*.html|XML 数据 (*.xml)|*.xml|文本文档 (*.txt)|*.txt");

    // The installed writers write the file of the chosen kind.
    GridExportProcs() = installedWriters;
    {
        QTemporaryDir dir;
        for (const char* name : {"a.txt", "a.xml", "a.html", "a.xls"}) {
            chosen = dir.filePath(name);
            ScriptedMessageBoxes boxes;
            view->ExecCommand(5);
            ASSERT_EQ(boxes.shown.size(), 1) << name;
            EXPECT_EQ(boxes.shown[0].text, "执行完成。") << name;
            EXPECT_GT(QFileInfo(chosen).size(), 0) << name;
        }
    }
    GridExportProcs() = TGridExportProcs();

    // With writers: the one of the extension runs while the grid names its view.
    QStringList calls;
    QObject* ownerSeen = nullptr;
    GridExportProcs().ExportGridAsHtml = [&](const QString& file, kvui::BandedGrid* g, bool expand, bool all, const QString& ext) {
        calls << "html:" + file + ":" + ext + (expand && all ? ":all" : "");
        ownerSeen = g->property(GridOwnerViewProperty).value<QObject*>();
    };
    GridExportProcs().ExportGridAsExcel = [&](const QString& file, kvui::BandedGrid*, bool, bool, bool native, const QString& ext) {
        calls << "xls:" + file + ":" + ext + (native ? ":native" : "");
        throw Exception("disk full");
    };
    {
        chosen = "/tmp/b.HTML";
        ScriptedMessageBoxes boxes;
        view->ExecCommand(5);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "执行完成。");
        EXPECT_EQ(ownerSeen, view.get());
        EXPECT_FALSE(grid()->property(GridOwnerViewProperty).value<QObject*>());
    }
    {
        chosen = "/tmp/b.xls";
        ScriptedMessageBoxes boxes;
        view->ExecCommand(5);
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "导出数据至文档\"/tmp/b.xls\"出现错误!");
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(calls, QStringList({"html:/tmp/b.HTML:html:all", "xls:/tmp/b.xls:xls:native"}));
    {
        chosen.clear(); // cancelled
        ScriptedMessageBoxes boxes;
        EXPECT_TRUE(view->ExecCommand(5));
        EXPECT_TRUE(boxes.shown.isEmpty());
    }
}

TEST_F(GridViewTest, ReportDesignKeepsItsSettingInTheScheme)
{
    makeTable("T_Print", "insert T_Print values (1, 'a', 1, null, 0)");
    auto def = casesDef("T.Print", "T_Print");
    def->CanPrint = true;
    open(def.get());
    TCommandState state;
    EXPECT_TRUE(view->QueryCommandState(7, state));
    EXPECT_TRUE(state.testFlag(csEnabled));
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<kvui::ReportDesignDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->titleEdit()->setText("生产任务清单");
        dlg->accept();
    });
    EXPECT_TRUE(view->ExecCommand(7));
    EXPECT_EQ(kvui::PrintSettings::fromText(view->ViewScheme.PrintSetting).title, "生产任务清单");
    // The setting goes to the database with the scheme and comes back.
    ASSERT_TRUE(view->QueryClose());
    closeView();
    open(def.get());
    EXPECT_EQ(kvui::PrintSettings::fromText(view->ViewScheme.PrintSetting).title, "生产任务清单");
}

TEST_F(GridViewTest, DemoObjectOpensAndKeepsItsScheme)
{
    TInfoObjectDef* def = InfoApplication->GetInfoObjectDef("QZ_MRP.MO");
    ASSERT_NE(def, nullptr);
    open(def);
    EXPECT_EQ(grid()->recordCount(), DemoAccountSet::count("select count(*) from QZ_MRP_MO"));
    EXPECT_EQ(column("MONo")->bandIndex(), 0);                 // fixed left by its layout
    EXPECT_EQ(column("MOQty")->caption(), "未完成数量");
    EXPECT_EQ(grid()->displayText(0, column("MOBillQty")), "200");
    EXPECT_FALSE(column("MOID")->isVisible());                  // a hidden key
    EXPECT_EQ(column("MORemark"), nullptr);                     // hidden by default

    // Group by department, sort by quantity, move and widen a column, total the quantities.
    grid()->groupBy(column("DeptName"));
    grid()->sortBy(column("MOQty"), Qt::DescendingOrder);
    column("ItmName")->setPosition(1, 0, 0);
    column("ItmName")->setWidth(150);
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Total]", "11");
    view->ViewScheme.Params = WriteViewSchemeParam(view->ViewScheme.Params, "[Summaries]", "MOQty:1|MONo:2");
    view->StoreViewScheme();
    view->ApplyViewScheme();
    const QString params = view->ViewScheme.Params;
    const double total = grid()->footerValue(column("MOQty")).toDouble();
    EXPECT_DOUBLE_EQ(total, DemoAccountSet::count("select sum(MOQty) from QZ_MRP_MO"));
    ASSERT_TRUE(view->QueryClose());
    closeView();

    open(def);
    EXPECT_EQ(view->ViewScheme.Params, params);
    EXPECT_EQ(grid()->groupedColumns(), QList<kvui::Column*>({column("DeptName")}));
    EXPECT_EQ(grid()->sortedColumns(), QList<kvui::Column*>({column("MOQty")}));
    EXPECT_EQ(column("MOQty")->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(column("ItmName")->colIndex(), 0);
    EXPECT_EQ(column("ItmName")->width(), 150);
    EXPECT_TRUE(grid()->showFooter());
    EXPECT_DOUBLE_EQ(grid()->footerValue(column("MOQty")).toDouble(), total);
    EXPECT_EQ(grid()->footerValue(column("MONo")).toInt(), grid()->recordCount());
    // The statement ordered the rows by the scheme's sorts.
    EXPECT_TRUE(view->BuiltSQL.contains("[DeptName]")) << view->BuiltSQL.toStdString();
}
