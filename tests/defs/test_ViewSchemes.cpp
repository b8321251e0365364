// View schemes in QZ_SYS_ViewSchemes and QZ_SYS_ViewMasks, and the base
// view's loading and saving of its scheme.
#include "AccountSetFixture.h"
#include "clsInfoView.h"
#include "untInfoObjectDef.h"

namespace {

const QString S = ViewSchemeParamSeparator;

class ViewSchemeTest : public AccountSetFixture {
protected:
    void SetUp() override
    {
        AccountSetFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        login("plan01", "'G_PLAN',null", false);
    }
    int insertRow(const QString& user, int kind, const QString& name, const QString& params, const QString& print = "")
    {
        exec(QStringLiteral("insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwPSetting) values "
                            "('V', %1, %2, %3, %4, %5)")
                 .arg(QuotedStr(user), QuotedStr(name), QString::number(kind), QuotedStr(params), QuotedStr(print)));
        return count("select max(ViwIID) from QZ_SYS_ViewSchemes");
    }
    int rows(const QString& where) { return count("select count(*) from QZ_SYS_ViewSchemes where " + where); }
};

TEST_F(ViewSchemeTest, LoadPrefersTheUsersLastUsedScheme)
{
    const int shared = insertRow("", 2, "默认", "[Fields]=|a|", "P0");
    const int own = insertRow("plan01", 0, "", "[Fields]=|b|");
    insertRow("buy01", 0, "", "[Fields]=|c|");
    exec("insert QZ_SYS_ViewMasks (ViwID, ViwMask) values ('V', 'f1 | f2')");

    TViewScheme v;
    v.ID = "V";
    v.PrintSetting = "mine";
    ASSERT_TRUE(LoadViewScheme(v));
    EXPECT_EQ(v.IID, own);
    EXPECT_EQ(v.Kind, vkLastUsed);
    EXPECT_EQ(v.Params, "[Fields]=|b|");
    EXPECT_EQ(v.PrintSetting, "mine"); // an empty stored print setting keeps the record's
    EXPECT_EQ(v.Mask, "|f1|f2|");

    // A particular row by its identity.
    v.IID = shared;
    ASSERT_TRUE(LoadViewScheme(v));
    EXPECT_EQ(v.Name, "默认");
    EXPECT_EQ(v.Kind, vkPublic);
    EXPECT_EQ(v.PrintSetting, "P0");

    // Nothing stored: IID 0, empty texts.
    TViewScheme none;
    none.ID = "Other";
    none.Name = "x";
    ASSERT_TRUE(LoadViewScheme(none));
    EXPECT_EQ(none.IID, 0);
    EXPECT_EQ(none.Name, "");
    EXPECT_EQ(none.Mask, "");
}

TEST_F(ViewSchemeTest, LastUsedSavedTwiceLeavesOneRow)
{
    TViewScheme v;
    v.ID = "V";
    v.Params = "[Fields]=|a|" + S + "[Sorts]=";
    v.PrintSetting = "P";
    ASSERT_TRUE(SaveViewScheme(v, true));
    const int first = v.IID;
    EXPECT_GT(first, 0);
    v.IID = 0;
    v.Params = "[Fields]=|b|";
    ASSERT_TRUE(SaveViewScheme(v, false));
    EXPECT_EQ(rows("ViwID='V' and ViwUsrID='plan01'"), 1);
    EXPECT_EQ(rows("ViwID='V' and ViwPSetting is null"), 1);

    // Saving a stored row updates it in place.
    v.Params = "[Fields]=|c|";
    const int iid = v.IID;
    ASSERT_TRUE(SaveViewScheme(v, true));
    EXPECT_EQ(v.IID, iid);
    EXPECT_EQ(rows("ViwIID=" + QString::number(iid) + " and ViwParams='[Fields]=|c|' and ViwPSetting='P'"), 1);
}

TEST_F(ViewSchemeTest, NamedSchemeReplacesTheUsersSchemeOfTheSameName)
{
    insertRow("plan01", 2, "A", "old");
    insertRow("plan01", 0, "", "last used");
    insertRow("buy01", 2, "A", "other user's");
    TViewScheme v;
    v.ID = "V";
    v.Name = "A";
    v.Kind = vkPrivate;
    v.Params = "new";
    ASSERT_TRUE(SaveViewScheme(v, false));
    EXPECT_EQ(rows("ViwUsrID='plan01' and ViwName='A'"), 1);
    EXPECT_EQ(rows("ViwUsrID='plan01' and ViwName='A' and ViwKind=1 and ViwParams='new'"), 1);
    EXPECT_EQ(rows("ViwUsrID='plan01' and ViwKind=0"), 1);
    EXPECT_EQ(rows("ViwUsrID='buy01'"), 1);
}

TEST_F(ViewSchemeTest, LayoutStartedFromTheSharedDefaultIsKeptAsTheUsersOwn)
{
    const int shared = insertRow("", 2, "默认", "[Fields]=|a|");
    TViewScheme v;
    v.ID = "V";
    ASSERT_TRUE(LoadViewScheme(v));
    ASSERT_EQ(v.IID, shared);

    // The user rearranges the view and closes it.
    v.Params = "[Fields]=|a|b|";
    ASSERT_TRUE(SaveViewScheme(v, true));
    EXPECT_NE(v.IID, shared);
    EXPECT_EQ(v.Kind, vkLastUsed);
    EXPECT_EQ(rows("ViwIID=" + QString::number(shared) + " and ViwParams='[Fields]=|a|'"), 1); // the default is untouched

    TViewScheme reopened;
    reopened.ID = "V";
    ASSERT_TRUE(LoadViewScheme(reopened));
    EXPECT_EQ(reopened.IID, v.IID);
    EXPECT_EQ(reopened.Params, "[Fields]=|a|b|");

    // A stored row deleted meanwhile is written again as it was.
    TViewScheme named;
    named.ID = "V";
    named.Name = "B";
    named.Kind = vkPrivate;
    ASSERT_TRUE(SaveViewScheme(named, false));
    exec("delete QZ_SYS_ViewSchemes where ViwName='B'");
    named.Params = "p";
    ASSERT_TRUE(SaveViewScheme(named, false));
    EXPECT_EQ(rows("ViwUsrID='plan01' and ViwName='B' and ViwKind=1 and ViwParams='p'"), 1);
}

TEST_F(ViewSchemeTest, DeleteTouchesOnlyTheUsersRows)
{
    const int shared = insertRow("", 2, "默认", "x");
    const int own = insertRow("plan01", 1, "A", "y");
    TViewScheme v;
    v.ID = "V";
    v.IID = shared;
    ASSERT_TRUE(DeleteViewScheme(v));
    EXPECT_EQ(v.IID, 0);
    EXPECT_EQ(rows("ViwIID=" + QString::number(shared)), 1);
    v.IID = own;
    ASSERT_TRUE(DeleteViewScheme(v));
    EXPECT_EQ(rows("ViwIID=" + QString::number(own)), 0);
}

TEST_F(ViewSchemeTest, TextsWithQuotesSeparatorsAndEmptyValuesRoundTrip)
{
    TViewScheme v;
    v.ID = "V'1";
    v.Name = "O'Brien %1";
    v.Kind = vkPublic;
    QString params = WriteViewSchemeParam("", "[Filter]", "a='x' and b like '%1%'");
    params = WriteViewSchemeParam(params, "[Opt]", "x" + QString(BlockSeparatorChar) + "y");
    params = WriteViewSchemeParam(params, "[Total]", "10");
    params = WriteViewSchemeParam(params, "[Opt]", "");
    v.Params = params;
    ASSERT_TRUE(SaveViewScheme(v, false));
    TViewScheme back;
    back.ID = "V'1";
    back.IID = v.IID;
    ASSERT_TRUE(LoadViewScheme(back));
    EXPECT_EQ(back.Name, v.Name);
    EXPECT_EQ(back.Params, params);
    EXPECT_EQ(ReadViewSchemeParam(back.Params, "[filter]"), "a='x' and b like '%1%'");
    EXPECT_EQ(ReadViewSchemeParam(back.Params, "[Opt]"), "");
    EXPECT_EQ(ReadViewSchemeParam(back.Params, "[Total]"), "10");
}

TEST_F(ViewSchemeTest, AFailedSaveLeavesTheStoredSchemeAsItWas)
{
    const int own = insertRow("plan01", 0, "", "[Fields]=|b|");
    // the new last-used row cannot be written (its name is longer than the column):
    // the row it would replace stays
    TViewScheme v;
    v.ID = "V";
    v.Kind = vkLastUsed;
    v.Name = QString(100, u'x');
    v.Params = "new";
    EXPECT_FALSE(SaveViewScheme(v, false));
    EXPECT_EQ(v.IID, 0);
    EXPECT_EQ(rows(QStringLiteral("ViwIID=%1 and ViwParams='[Fields]=|b|'").arg(own)), 1);
    EXPECT_EQ(rows("ViwID='V'"), 1);
    EXPECT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(count("select @@trancount"), 0);
    // a save that can be written replaces it
    v.Name.clear();
    ASSERT_TRUE(SaveViewScheme(v, false));
    EXPECT_EQ(rows("ViwKind=0 and ViwUsrID='plan01'"), 1);
    EXPECT_EQ(rows(QStringLiteral("ViwIID=%1 and ViwParams='new'").arg(v.IID)), 1);
}

TEST_F(ViewSchemeTest, DatabaseErrorsAreShownAndReportedAsFalse)
{
    exec("drop table QZ_SYS_ViewSchemes");
    TViewScheme v;
    v.ID = "V";
    v.IID = 5;
    v.Params = "keep";
    EXPECT_FALSE(LoadViewScheme(v));
    EXPECT_EQ(v.Params, "keep");
    EXPECT_FALSE(SaveViewScheme(v, true));
    EXPECT_EQ(v.IID, 5);
    EXPECT_FALSE(DeleteViewScheme(v));
    EXPECT_EQ(v.IID, 5);
    ASSERT_GE(boxes.shown.size(), 3);
    EXPECT_EQ(boxes.shown[0].caption, "错误");
}

// ---- the base view with its scheme --------------------------------------

class TSchemeView : public TCustomInfoView {
public:
    using TCustomInfoView::TCustomInfoView;
    int stores = 0, applies = 0, saves = 0;
    bool saveResult = true;
    void ApplyViewScheme() override { ++applies; }
    void StoreViewScheme() override
    {
        ++stores;
        ViewScheme.Params = WriteViewSchemeParam(ViewScheme.Params, "[Positions]", "stored");
    }
    bool SaveData() override
    {
        ++saves;
        return saveResult;
    }
};

TEST_F(ViewSchemeTest, ViewsLoadTheirSchemeAndSaveItOnClose)
{
    TInfoObjectDef master;
    master.ID = "T.Items";
    master.Name = "物料";
    master.Relations = {{.ID = "R1", .Name = "单据"}};
    TInfoObjectDef detailDef;
    detailDef.ID = "T.Docs";
    detailDef.Name = "单据列表";
    insertRow("plan01", 0, "", "[Fields]=|x|");

    auto m = CreateInfoView<TSchemeView>(nullptr, &master);
    m->ViewScheme.Supports = voSupportAll;
    m->InitializeView("", nullptr);
    EXPECT_FALSE(m->AsDetail);
    EXPECT_EQ(m->ViewScheme.ID, "T.Items");
    EXPECT_EQ(m->ViewCaption, "物料");
    EXPECT_EQ(m->applies, 1);

    auto d = CreateInfoView<TSchemeView>(nullptr, &detailDef);
    d->ViewScheme.Supports = voSupportAll;
    d->InitializeView(" R1 ", m);
    EXPECT_TRUE(d->AsDetail);
    EXPECT_EQ(d->AsDetailID, "R1");
    EXPECT_EQ(d->ViewScheme.ID, "T.Items/R1");
    EXPECT_EQ(d->ViewCaption, "单据");
    EXPECT_EQ(d->ViewScheme.Supports, voSupportAll & ~TViewSupports(voSupportFilter));

    // Closing saves the layout as the user's last-used scheme.
    ASSERT_TRUE(d->QueryClose());
    EXPECT_EQ(d->stores, 1);
    EXPECT_EQ(rows("ViwID='T.Items/R1' and ViwUsrID='plan01' and ViwKind=0 and ViwParams='[Positions]=stored'"), 1);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ViewSchemeTest, ClosingWithUnsavedEdits)
{
    TInfoObjectDef def;
    def.ID = "T.Items";
    auto v = CreateInfoView<TSchemeView>(nullptr, &def);
    v->InitializeView("", nullptr);
    v->ViewCaption = "物料";
    v->SetEditMode(true);
    v->Modified = true;

    boxes.answer({kvos::IDCANCEL});
    EXPECT_FALSE(v->QueryClose());
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "您将退出[物料]的当前编辑状态, 对未保存过的内容进行保存?");
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(rows("ViwID='T.Items'"), 0);

    v->saveResult = false;
    boxes.answer({kvos::IDYES});
    EXPECT_FALSE(v->QueryClose());
    EXPECT_EQ(v->saves, 1);

    // No: closes without saving the rows, still keeps the scheme; in edit
    // mode the layout is not taken from the controls.
    boxes.answer({kvos::IDNO});
    EXPECT_TRUE(v->QueryClose());
    EXPECT_EQ(v->saves, 1);
    EXPECT_EQ(v->stores, 0);
    EXPECT_EQ(rows("ViwID='T.Items' and ViwKind=0"), 1);
}

} // namespace
