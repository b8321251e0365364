// The base view: SELECT building, scheme field list, command state and
// execution, editor keys, names.
#include "ScriptedMessageBoxes.h"
#include "clsInfoView.h"
#include "untInfoObjectSQL.h"

#include <QMap>
#include <gtest/gtest.h>

namespace {

namespace ft = FieldTypes;
const QString S = ViewSchemeParamSeparator;

class TTestView : public TCustomInfoView {
    Q_OBJECT
public:
    using TCustomInfoView::TCustomInfoView;
    QMap<QString, QString> focused;
    int refreshes = 0;
    int saves = 0;
    bool saveResult = true;
    bool failRefresh = false;
    QString position = "pos1";
    QString restoredPosition;
    QString GetFocusedRecordString(const QString& AFieldID) override { return focused.value(AFieldID); }
    void RefreshData(bool ARebuild) override
    {
        ++refreshes;
        if (failRefresh)
            throw Exception("lost connection");
        TCustomInfoView::RefreshData(ARebuild);
    }
    bool SaveData() override
    {
        ++saves;
        return saveResult;
    }
    QString GetViewPosition() override { return position; }
    void SetViewPosition(const QString& AValue) override { restoredPosition = AValue; }
};

struct EditorCall {
    QString keys, action;
    int count = 0;
} editorCall;

IInfoEditPtr recordEditor(TInfoObjectDef*, const QString& keys, const QString& action)
{
    editorCall.keys = keys;
    editorCall.action = action;
    ++editorCall.count;
    return IInfoEditPtr();
}

QStringList hints;
void recordHint(const QString& text, TShowStatusMessageKind) { hints.append(text); }

class InfoViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = InfoApplication;
        app = std::make_unique<TInfoApplication>();
        InfoApplication = app.get();
        InstallInfoObjectSQLHooks(app.get());
        app->ShowInfoObjectEditorProc = recordEditor;
        app->ShowStatusMessageProc = recordHint;
        app->MaxResultRowCount = 500;
        editorCall = {};
        hints.clear();

        def.ID = "Items";
        def.Name = "物料";
        def.HasEditor = true;
        def.DataSources = {{.ID = "i", .IsMain = true, .DataType = dsTable, .SQLData = "QZ_Base_Items"},
                           {.ID = "u", .DataType = dsTable, .SQLData = "QZ_Base_Units", .Join = "u.UntID=i.ItmUntID"},
                           {.ID = "d", .DataType = dsTable, .SQLData = "Docs", .Join = "d.ItmID=i.ItmID"}};
        def.Fields = {
            {.ID = "ItmID", .IsPrimary = true, .DataType = ft::ftInteger, .SQLExpress = "i.ItmID", .HideList = true},
            {.ID = "ItmNo", .DataType = ft::ftWideString, .SQLExpress = "i.ItmNo"},
            {.ID = "ItmName", .DataType = ft::ftWideString, .SQLExpress = "i.ItmName"},
            {.ID = "UntName", .DataType = ft::ftWideString, .SQLExpress = "u.UntName"},
            {.ID = "Note", .DataType = ft::ftWideString, .SQLExpress = "i.ItmNote", .Layout = flDefaultHide},
            {.ID = "Closed", .DataType = ft::ftBoolean, .SQLExpress = "i.ItmClosed", .ViewSign = vsBizClosed},
            {.ID = "DocNo", .DataType = ft::ftWideString, .SQLExpress = "d.DocNo"},
        };
        def.Actions = {{.ID = "New", .ActType = atNew},
                       {.ID = "Edit", .ActType = atUpdate, .Filter = "i.ItmClosed=0"},
                       {.ID = "Print", .ActType = atPrint}};
        def.Relations = {{.ID = "Docs", .Name = "单据", .RelObjID = "Docs"}};
    }
    void TearDown() override { InfoApplication = previous; }

    std::shared_ptr<TTestView> view()
    {
        auto v = CreateInfoView<TTestView>(nullptr, &def);
        v->ViewScheme.ID = def.ID;
        return v;
    }

    TInfoApplication* previous = nullptr;
    std::unique_ptr<TInfoApplication> app;
    TInfoObjectDef def;
    ScriptedMessageBoxes boxes;
};

TEST_F(InfoViewTest, SelectStatements)
{
    struct Case {
        const char* name;
        QString fieldsSQL, fieldsParam, orderBySQL, filterSQL, dataFilter;
        QString required, extSelect, extFilter, defaultOrder;
        bool rowLimit;
        QString expected;
    } cases[] = {
        {"key, hidden and sign fields are added from the last to the first; keys order the rows",
         "i.ItmNo as [ItmNo]", "|ItmNo|", "", "", "", "", "", "", "", true,
         "select top 500 i.ItmNo as [ItmNo], i.ItmClosed as [Closed], i.ItmID as [ItmID], "
         "[#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items as i with(nolock) \rorder by [ItmID]\r"},
        {"a field already in [Fields] is not added twice; a scheme order wins over keys",
         "i.ItmID as [ItmID], u.UntName as [UntName]", "|ItmID|UntName|", "[UntName] desc", "", "", "", "", "", "", false,
         "select i.ItmID as [ItmID], u.UntName as [UntName], i.ItmClosed as [Closed], "
         "[#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items as i with(nolock) left join QZ_Base_Units "
         "as u with(nolock) on u.UntID=i.ItmUntID \rorder by [UntName] desc\r"},
        {"required fields, extra select, the filters in order, a default order",
         "i.ItmNo as [ItmNo]", "|ItmNo|", "", "(x.Perm=1) and (i.ItmNo like 'A%')", "i.ItmID>0", "|DocNo|", "1 as One",
         "d.DocNo<>''", "[ItmNo]", false,
         "select i.ItmNo as [ItmNo], d.DocNo as [DocNo], i.ItmClosed as [Closed], i.ItmID as [ItmID], 1 as One, "
         "[#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items as i with(nolock) left join Docs as d "
         "with(nolock) on d.ItmID=i.ItmID \rwhere (i.ItmID>0) and (d.DocNo<>'') and ((x.Perm=1) and (i.ItmNo like 'A%'))"
         "\rorder by [ItmNo]\r"},
        {"a permit filter allowing nothing", "i.ItmNo as [ItmNo]", "|ItmNo|", "[ItmNo]", "1=0", "", "", "", "", "", true,
         "select top 500 i.ItmNo as [ItmNo], i.ItmClosed as [Closed], i.ItmID as [ItmID], "
         "[#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items as i with(nolock) \rwhere (1=0)"
         "\rorder by [ItmNo]\r"},
        {"an empty field list falls back to the default fields", "", "|Gone|", "", "", "", "", "", "", "", true,
         "select top 500 i.ItmNo as [ItmNo], i.ItmName as [ItmName], u.UntName as [UntName], i.ItmClosed as [Closed], "
         "d.DocNo as [DocNo], i.ItmID as [ItmID], [#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items "
         "as i with(nolock) left join QZ_Base_Units as u with(nolock) on u.UntID=i.ItmUntID left join Docs as d "
         "with(nolock) on d.ItmID=i.ItmID \rorder by [ItmID]\r"},
    };
    for (const Case& c : cases) {
        auto v = view();
        v->ViewScheme.FieldsSQL = c.fieldsSQL;
        v->ViewScheme.Params = "[Fields]=" + c.fieldsParam;
        v->ViewScheme.OrderBySQL = c.orderBySQL;
        v->ViewScheme.FilterSQL = c.filterSQL;
        v->DataFilter = c.dataFilter;
        EXPECT_EQ(v->BuildSelectSQL(c.required, c.extSelect, c.extFilter, c.defaultOrder, c.rowLimit), c.expected) << c.name;
    }
}

TEST_F(InfoViewTest, RowCapFollowsTheSettingAndDefaultsWhenUnread)
{
    auto v = view();
    v->ViewScheme.FieldsSQL = "i.ItmNo as [ItmNo]";
    app->MaxResultRowCount = 0;
    EXPECT_TRUE(v->BuildSelectSQL("", "", "", "", true).startsWith("select top 20000 i.ItmNo"));
    // Numbers in SQL text never take the user's locale.
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    app->MaxResultRowCount = 1234567;
    v->MasterValues = "ItmID=1.5";
    v->AsDetail = true;
    const QString sql = v->BuildSelectSQL("", "", "", "", true);
    QLocale::setDefault(before);
    EXPECT_TRUE(sql.startsWith("select top 1234567 i.ItmNo")) << sql.toStdString();
    EXPECT_TRUE(sql.contains("where i.ItmID=1.5")) << sql.toStdString();
    v->MasterValues = "ItmID=1,5";
    EXPECT_TRUE(v->BuildSelectSQL("", "", "", "", true).contains("where 1=0"));
}

TEST_F(InfoViewTest, DetailPatternKeepsThePlaceholderAndIsReused)
{
    auto v = view();
    v->ViewScheme.FieldsSQL = "i.ItmNo as [ItmNo]";
    v->ViewScheme.Params = "[Fields]=|ItmNo|";
    v->ViewScheme.OrderBySQL = "[ItmNo]";
    v->AsDetail = true;

    // Not yet linked: no rows, and no pattern kept.
    const QString unlinked = v->BuildSelectSQL("", "", "", "", false);
    EXPECT_TRUE(unlinked.contains("\rwhere 1=0\r")) << unlinked.toStdString();
    EXPECT_TRUE(v->DetailSQLPattern.isEmpty());

    v->MasterValues = "DocNo='D1'";
    v->DataFilter = "i.ItmID>0";
    const QString first = v->BuildSelectSQL("", "", "", "", false);
    EXPECT_EQ(first, "select i.ItmNo as [ItmNo], i.ItmClosed as [Closed], i.ItmID as [ItmID], "
                     "[#Edit]=(case when i.ItmClosed=0 then 1 else 0 end)\rfrom QZ_Base_Items as i with(nolock) "
                     "left join Docs as d with(nolock) on d.ItmID=i.ItmID \rwhere d.DocNo='D1' and (i.ItmID>0)\rorder by [ItmNo]\r");
    EXPECT_EQ(v->DetailSQLPattern, QString(first).replace("d.DocNo='D1'", MasterPlaceholder));

    // Later builds only put the new master condition into the pattern.
    v->MasterValues = "DocNo='D2'";
    v->DataFilter = "ignored now";
    EXPECT_EQ(v->BuildSelectSQL("", "", "", "", false), QString(first).replace("'D1'", "'D2'"));
    v->MasterValues.clear();
    EXPECT_TRUE(v->BuildSelectSQL("", "", "", "", false).contains("\rwhere 1=0 and (i.ItmID>0)\r"));
}

TEST_F(InfoViewTest, SchemeFieldList)
{
    auto v = view();
    v->ViewScheme.Mask = "|UntName|";
    v->ViewScheme.Params = "[Sorts]=ItmNo:00";
    EXPECT_EQ(v->GetSchemeFieldList(), "|ItmNo|ItmName|Closed|DocNo|");
    EXPECT_EQ(v->ViewScheme.Params, "[Sorts]=ItmNo:00" + S + "[Fields]=|ItmNo|ItmName|Closed|DocNo|");

    v->ViewScheme.Params = "[Fields]=|Note|ItmNo|";
    EXPECT_EQ(v->GetSchemeFieldList(), "|Note|ItmNo|");
    // A stored list naming no field that still exists gives the default list.
    v->ViewScheme.Params = "[Fields]=|Gone|Old|";
    EXPECT_EQ(v->GetSchemeFieldList(), "|ItmNo|ItmName|Closed|DocNo|");
}

TEST_F(InfoViewTest, CommandStates)
{
    auto v = view();
    TCommandState state;
    // Action without filter: enabled.
    EXPECT_TRUE(v->QueryCommandState(100, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    // Action with filter: enabled only when the row's column says 1.
    state = csChecked;
    EXPECT_TRUE(v->QueryCommandState(101, state));
    EXPECT_EQ(state, TCommandState(csChecked));
    v->focused["#Edit"] = "1";
    state = {};
    EXPECT_TRUE(v->QueryCommandState(101, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    // Beyond the last action: not handled.
    EXPECT_FALSE(v->QueryCommandState(103, state));
    // Save and cancel: enabled in edit mode with changes.
    EXPECT_TRUE(v->QueryCommandState(2, state));
    EXPECT_EQ(state, TCommandState());
    v->SetEditMode(true);
    v->Modified = true;
    EXPECT_TRUE(v->QueryCommandState(3, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    EXPECT_FALSE(v->QueryCommandState(49, state));
}

TEST_F(InfoViewTest, ExecuteActionsOpenTheEditorWithKeys)
{
    auto v = view();
    v->focused["ItmID"] = "42";
    EXPECT_TRUE(v->ExecCommand(101));
    EXPECT_EQ(editorCall.keys, "ItmID=42\r\n");
    EXPECT_EQ(editorCall.action, "Edit");
    EXPECT_TRUE(v->ExecCommand(100));
    EXPECT_EQ(editorCall.keys, "");
    EXPECT_EQ(editorCall.action, "New");
    EXPECT_FALSE(v->ExecCommand(102)); // print is no editor action
    EXPECT_FALSE(v->ExecCommand(120));
    EXPECT_EQ(editorCall.count, 2);
    def.HasEditor = false;
    EXPECT_FALSE(v->ExecCommand(101));
    EXPECT_EQ(v->ShowEditor("Edit"), nullptr);
    EXPECT_EQ(editorCall.count, 2);
}

TEST_F(InfoViewTest, SaveAndCancelCommands)
{
    auto v = view();
    EXPECT_TRUE(v->ExecCommand(2));
    EXPECT_EQ(v->saves, 1);
    EXPECT_EQ(hints, (QStringList{"正在保存数据, 请稍候...", ""}));

    // Cancel: asks with Cancel preselected; OK refreshes and restores the position.
    boxes.answer({kvos::IDCANCEL});
    EXPECT_TRUE(v->ExecCommand(3));
    EXPECT_EQ(v->refreshes, 0);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "所有未保存过的编辑内容将被放弃, 确定?");
    EXPECT_EQ(boxes.shown[0].caption, "警告");
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDCANCEL);
    boxes.answer({kvos::IDOK});
    EXPECT_TRUE(v->ExecCommand(3));
    EXPECT_EQ(v->refreshes, 1);
    EXPECT_EQ(v->restoredPosition, "pos1");
    // A failing refresh is swallowed.
    v->failRefresh = true;
    boxes.answer({kvos::IDOK});
    EXPECT_NO_THROW(EXPECT_TRUE(v->ExecCommand(3)));
}

TEST_F(InfoViewTest, DefaultsOfTheBase)
{
    auto v = view();
    EXPECT_EQ(v->GetActiveView(), v);
    EXPECT_EQ(v->GetRelationView("   "), v);
    EXPECT_EQ(v->GetRelationView("Docs"), nullptr);
    EXPECT_EQ(v->GetObjectDef(), &def);
    EXPECT_EQ(v->GetViewScheme(), &v->ViewScheme);
    EXPECT_FALSE(v->NeedSave());
    EXPECT_FALSE(v->DataRefreshed());
    v->TCustomInfoView::RefreshData(false);
    EXPECT_TRUE(v->DataRefreshed());
    EXPECT_NE(v->DataTimeStamp(), 0u);
    v->CloseData();
    EXPECT_FALSE(v->DataRefreshed());
    v->SetMasterValues("ItmID=1", false);
    EXPECT_EQ(v->MasterValues, "ItmID=1");
    v->SetDataFilter("a=1", true);
    EXPECT_EQ(v->refreshes, 1);
    EXPECT_EQ(v->DataFilter, "a=1");

    int fired = 0;
    QObject* sender = nullptr;
    v->SetOnFocusedRecordChanged([&](QObject* s) { ++fired; sender = s; });
    v->DoFocusedRecordChanged();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(sender, v.get());
}

TEST_F(InfoViewTest, NamesEndInTheTickCount)
{
    auto a = view();
    EXPECT_TRUE(a->objectName().startsWith("TestView")) << a->objectName().toStdString();
    const QString digits = a->objectName().mid(8);
    bool ok = false;
    digits.toUInt(&ok);
    EXPECT_TRUE(ok);
}

TEST_F(InfoViewTest, EditModePaintsTheFrame)
{
    auto v = view();
    v->SetEditMode(true);
    EXPECT_EQ(v->contentsMargins(), QMargins(3, 3, 3, 3));
    EXPECT_TRUE(v->GetEditMode());
    v->SetEditMode(false);
    EXPECT_EQ(v->contentsMargins(), QMargins(0, 0, 0, 0));
}

TEST_F(InfoViewTest, ViewsWithoutParentGoWithTheirLastPointer)
{
    QPointer<QObject> alive;
    {
        auto v = view();
        alive = v.get();
    }
    EXPECT_TRUE(alive.isNull());
    QWidget host;
    {
        auto v = view();
        v->SetParentControl(&host);
        alive = v.get();
    }
    EXPECT_FALSE(alive.isNull()); // the parent control owns it now
}

} // namespace

#include "test_InfoView.moc"
