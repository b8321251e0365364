// The routines only the planning library's copies of the shared units carry.
#include "AccountSetFixture.h"
#include "untDllCommon.h"
#include "untForcastState.h"
#include "clsPickEdit.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(DllCommon, CountSubStrCountsWithoutOverlapsIgnoringCase)
{
    const struct { const char* sub; const char* text; int count; } cases[] = {
        {"aa", "aaaa", 2}, {"aa", "aaa", 1}, {"Ab", "xabyAB", 2}, {"", "abc", 0}, {"a", "", 0}, {"abc", "ab", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountSubStr(c.sub, c.text), c.count) << c.sub << " in " << c.text;
}

TEST(DllCommon, HexCodesRoundTrip)
{
    EXPECT_EQ(StrToHexCodes(""), "");
    EXPECT_EQ(StrToHexCodes("abc"), "006100620063");
    EXPECT_EQ(StrToHexCodes("计划"), "8BA15212");
    EXPECT_EQ(HexCodesToStr("006100620063"), "abc");
    EXPECT_EQ(HexCodesToStr("8ba15212"), "计划");
    // a lone last digit is ignored; a short last group is read as it is
    EXPECT_EQ(HexCodesToStr("00610"), "a");
    EXPECT_EQ(HexCodesToStr("006162"), QString("a") + QChar(0x62));
    EXPECT_EQ(HexCodesToStr(""), "");
}

TEST(DllCommon, SmallHelpers)
{
    EXPECT_EQ(IIfFloat(true, 1.5, 2.5), 1.5);
    EXPECT_EQ(IIfFloat(false, 1.5, 2.5), 2.5);
    const QString guid = NewGUIDString();
    EXPECT_TRUE(QRegularExpression("^\\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\}$").match(guid).hasMatch())
        << guid.toStdString();
    EXPECT_NE(NewGUIDString(), guid);
}

TEST(DllCommon, ImageComboAndTopLevelNode)
{
    kvui::ImageComboProperties combo;
    EXPECT_EQ(FindImageComboItemIndex(1, &combo), -1);
    combo.addItem(1, "a");
    combo.addItem(2, "b");
    combo.addItem(1, "c");
    EXPECT_EQ(FindImageComboItemIndex(1, &combo), 2); // the last one wins
    EXPECT_EQ(FindImageComboItemIndex(2, &combo), 1);
    EXPECT_EQ(FindImageComboItemIndex(3, &combo), -1);

    kvui::TreeList tree;
    kvui::TreeNode* top = tree.addNode();
    kvui::TreeNode* child = tree.addNode(top);
    kvui::TreeNode* grandChild = tree.addNode(child);
    EXPECT_EQ(GetTopLevelNode(grandChild), top);
    EXPECT_EQ(GetTopLevelNode(top), top);
    EXPECT_EQ(GetTopLevelNode(nullptr), nullptr);
}

TEST(DllCommon, SetupTreeListColumnByFieldKind)
{
    kvui::TreeList tree;
    TSystemEnumList states;
    states.Add("开立", 0);
    states.Add("审核", 1);

    TInfoFieldDef enumField;
    enumField.EnumValues = &states;
    enumField.ValueType = vtSysEnum;
    auto* enumColumn = tree.addColumn();
    SetupTreeListColumn(&enumField, enumColumn);
    auto* combo = dynamic_cast<kvui::ImageComboProperties*>(enumColumn->editor().get());
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->items.size(), 2);

    TInfoFieldDef qty;
    qty.DataType = FieldTypes::ftFloat;
    auto* qtyColumn = tree.addColumn();
    SetupTreeListColumn(&qty, qtyColumn);
    EXPECT_EQ(qtyColumn->editor(), RightAlignedTextItem());
    ASSERT_TRUE(bool(qtyColumn->displayTextHook));
    QString text = "x";
    qtyColumn->displayTextHook(kvui::RowRef(), QVariant(0.0), text);
    EXPECT_EQ(text, ""); // zero shows empty

    // a column with its own editor and display handler keeps both
    auto* own = tree.addColumn();
    auto ownEditor = LeftAlignedTextItem();
    own->setEditor(ownEditor);
    bool ownHandlerCalled = false;
    own->displayTextHook = [&](const kvui::RowRef&, const QVariant&, QString&) { ownHandlerCalled = true; };
    SetupTreeListColumn(&qty, own);
    EXPECT_EQ(own->editor(), ownEditor);
    own->displayTextHook(kvui::RowRef(), QVariant(1.0), text);
    EXPECT_TRUE(ownHandlerCalled);

    TInfoFieldDef flag;
    flag.DataType = FieldTypes::ftBoolean;
    auto* flagColumn = tree.addColumn();
    SetupTreeListColumn(&flag, flagColumn);
    EXPECT_EQ(flagColumn->editor(), CheckBoxItem());

    TInfoFieldDef user;
    user.ValueType = vtUser;
    auto* userColumn = tree.addColumn();
    SetupTreeListColumn(&user, userColumn);
    EXPECT_NE(dynamic_cast<TPickEditProperties*>(userColumn->editor().get()), nullptr);

    TInfoFieldDef plain;
    plain.DataType = FieldTypes::ftWideString;
    auto* plainColumn = tree.addColumn();
    SetupTreeListColumn(&plain, plainColumn);
    EXPECT_EQ(plainColumn->editor(), nullptr);
    EXPECT_FALSE(bool(plainColumn->displayTextHook));
}

TEST(DllCommon, UpdateForcastStatementQuotesEveryText)
{
    const struct { int kind; const char* type; } kinds[] = {{0, "1"}, {1, "-1"}, {2, "2"}, {3, "-2"}, {4, "3"}};
    for (const auto& k : kinds)
        EXPECT_EQ(UpdateForcastStateSQL("F1", "2", k.kind, "u1"),
                  QString("exec QZ_MRP_UpdateForcast @ForID='F1', @ForEntry='2', @UpdateType=%1, @UserID='u1'\rselect 1")
                      .arg(k.type));
    EXPECT_EQ(UpdateForcastStateSQL("F'1; drop table x", "0", 0, "o'neil"),
              "exec QZ_MRP_UpdateForcast @ForID='F''1; drop table x', @ForEntry='0', @UpdateType=1, @UserID='o''neil'\rselect 1");
}

class DllDataTest : public AccountSetFixture {};

TEST_F(DllDataTest, FieldValueAndCountHelpers)
{
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    EXPECT_EQ(OpenSQLCount(&q, "select ForID, ForEntry from QZ_MRP_Forcast", false, false), 5);
    EXPECT_EQ(GetFieldValue(&q, "forid").toString(), "FC2612001");
    const QVariant missing = GetFieldValue(&q, "NoSuchField");
    EXPECT_FALSE(missing.isValid());
    EXPECT_FALSE(GetFieldValue(nullptr, "ForID").isValid());

    // a failing statement: silent -1, or shown, or raised
    EXPECT_EQ(OpenSQLCount(&q, "select * from NoSuchTable", false, false), -1);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(OpenSQLCount(&q, "select * from NoSuchTable", false, true), -1);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("错误: ")) << boxes.shown[0].text.toStdString();
    EXPECT_THROW(OpenSQLCount(&q, "select * from NoSuchTable", true, false), Exception);
}

namespace {

class TSchemeView : public TCustomInfoView {
public:
    using TCustomInfoView::TCustomInfoView;
};

} // namespace

TEST_F(DllDataTest, ViewSelectListAddsNeededFieldsOnce)
{
    login("admin", "null", true);
    TInfoObjectDef* def = app->GetInfoObjectDef("QZ_MRP.SO");
    ASSERT_NE(def, nullptr);
    TSchemeView view(nullptr, def);
    view.ViewScheme.FieldsSQL = "s.SOID as [SOID], s.SONo as [SONo]";
    view.ViewScheme.Params = WriteViewSchemeParam(QString(), "[Fields]", "SOID|SONo");
    const QString list = BuildFieldSelectList(&view, "SONo|SODate");
    // SOID is listed by the scheme already; SOEntry is a key; SODate was asked for
    EXPECT_EQ(list.count("as [SOID]"), 1) << list.toStdString();
    EXPECT_EQ(list.count("as [SONo]"), 1);
    EXPECT_TRUE(list.contains(", s.SOEntry as [SOEntry]"));
    EXPECT_TRUE(list.contains(", s.SODate as [SODate]"));
    EXPECT_TRUE(list.contains("as [ItmID]")); // hidden from lists: always carried
    EXPECT_FALSE(list.contains("as [CustName]"));
    // fields walked from the last to the first
    EXPECT_LT(list.indexOf("[SODate]"), list.indexOf("[SOEntry]"));

    view.ViewScheme.FieldsSQL.clear();
    EXPECT_TRUE(BuildFieldSelectList(&view, QString()).startsWith(", "));
}
