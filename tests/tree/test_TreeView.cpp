// The info view on a tree list: binding of columns, the scheme round trip,
// item-property columns, commands and the focused record's SQL text.
#include "ScriptedMessageBoxes.h"
#include "clsGridView.h"
#include "clsTreeView.h"
#include "untCommonUI.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

void EnsureApplication()
{
    static std::unique_ptr<TInfoApplication> app;
    if (!InfoApplication) {
        app = std::make_unique<TInfoApplication>();
        InfoApplication = app.get();
    }
}

TInfoFieldDef Field(const QString& id, const QString& name, quint8 type, const QString& expr = QString())
{
    TInfoFieldDef f;
    f.ID = id;
    f.Name = name;
    f.DataType = type;
    f.SQLExpress = expr.isEmpty() ? QStringLiteral("t.") + id : expr;
    return f;
}

TInfoObjectDef MakeDef()
{
    namespace FT = FieldTypes;
    TInfoObjectDef def;
    def.ID = QStringLiteral("MrpResult");
    def.Name = QStringLiteral("运算结果");
    def.CanExport = true;
    def.Fields = {Field("ID", "编号", FT::ftString), Field("Name", "物料\\名称", FT::ftString), Field("Qty", "数量", FT::ftFloat),
                  Field("Tm", "时间", FT::ftTime), Field("G", "标识", FT::ftGuid), Field("Item_Color", "颜色", FT::ftString, "i.Color")};
    return def;
}

class TProbeTreeView : public TInfoTreeView {
public:
    explicit TProbeTreeView(TInfoObjectDef* def)
        : TInfoTreeView(nullptr, def)
    {
        tree = new kvui::TreeList(this);
        tree->addBand();
        colID = tree->addColumn(QStringLiteral("ID"));
        ViewComponent = tree;
        BindStaticColumn(colID, QStringLiteral("ID"));
    }
    kvui::TreeList* tree;
    kvui::Column* colID;
    using TInfoTreeView::FColumnFieldNames;
    using TInfoTreeView::FStaticColumnCount;
};

const QString Fields = QStringLiteral("[Fields]");
const QString Sorts = QStringLiteral("[Sorts]");

struct Fixture {
    TInfoObjectDef def = MakeDef();
    std::unique_ptr<TProbeTreeView> view;
    Fixture()
    {
        EnsureApplication();
        view = std::make_unique<TProbeTreeView>(&def);
    }
    void apply(const QString& fields, const QString& sorts = QString())
    {
        QString params = WriteViewSchemeParam(QString(), Fields, fields);
        if (!sorts.isEmpty())
            params = WriteViewSchemeParam(params, Sorts, sorts);
        view->ViewScheme.Params = params;
        view->ApplyViewScheme();
    }
};

QString BindError(const std::function<void()>& f)
{
    try {
        f();
    } catch (const Exception& e) {
        return e.Message;
    }
    return QString();
}

} // namespace

TEST(InfoTreeView, StaticColumnsAreBoundOnceAndBeforeDynamicOnes)
{
    Fixture f;
    EXPECT_EQ(f.view->ViewScheme.Supports, TViewSupports(voSupportFilter | voSupportFields | voSupportSort));
    kvui::Column* other = f.view->tree->addColumn("x");
    EXPECT_EQ(BindError([&] { f.view->BindStaticColumn(other, "id"); }), "Bind static column error !");
    EXPECT_EQ(BindError([&] { f.view->BindStaticColumn(other, "Qty"); }), QString());
    EXPECT_EQ(f.view->FStaticColumnCount, 2);
    EXPECT_EQ(f.view->FindFieldColumn("QTY"), other);
    EXPECT_EQ(f.view->GetColumnFieldName(other->index()), "Qty");

    f.apply("|ID|Name|");
    ASSERT_NE(f.view->FindFieldColumn("Name"), nullptr);
    EXPECT_EQ(f.view->FindFieldColumn("Name")->caption(), QStringLiteral("物料\\名称"));
    kvui::Column* late = f.view->tree->addColumn("late");
    EXPECT_EQ(BindError([&] { f.view->BindStaticColumn(late, "Tm"); }), "Bind static column error !");

    // applying again replaces the view's own columns, never the bound ones
    f.apply("|ID|Tm|");
    EXPECT_EQ(f.view->FindFieldColumn("Name"), nullptr);
    EXPECT_EQ(f.view->FindFieldColumn("Qty"), other);
    EXPECT_EQ(f.view->FColumnFieldNames, (QStringList{"ID", "Qty", "Tm"}));
}

TEST(InfoTreeView, ValueTypesOfCreatedColumns)
{
    namespace FT = FieldTypes;
    const struct {
        int type;
        const char* word;
    } cases[] = {{FT::ftFloat, "Float"},       {FT::ftCurrency, "Float"},     {FT::ftFMTBcd, "Float"},    {FT::ftSingle, "Float"},
                 {FT::ftSmallint, "Integer"},  {FT::ftByte, "Integer"},       {FT::ftAutoInc, "LargeInt"}, {FT::ftLargeint, "LargeInt"},
                 {FT::ftLongWord, "LargeInt"}, {FT::ftTime, "DateTime"},      {FT::ftDate, "DateTime"},   {FT::ftBoolean, "Boolean"},
                 {FT::ftGuid, "String"},       {FT::ftWideString, "String"}};
    for (const auto& c : cases)
        EXPECT_EQ(TreeColumnValueType(c.type), QString::fromLatin1(c.word)) << c.type;

    Fixture f;
    f.apply("|ID|Qty|Tm|G|");
    EXPECT_EQ(f.view->FindFieldColumn("Tm")->valueType(), "DateTime");
    EXPECT_EQ(f.view->FindFieldColumn("G")->valueType(), "String");
    EXPECT_EQ(f.view->FindFieldColumn("Qty")->valueType(), "Float");
    EXPECT_FALSE(f.view->FindFieldColumn("Qty")->isEditable());
}

TEST(InfoTreeView, SchemeRoundTrip)
{
    Fixture f;
    f.apply("|ID|Name|Qty|", "Qty:1|Name:0");
    kvui::Column* qty = f.view->FindFieldColumn("Qty");
    kvui::Column* name = f.view->FindFieldColumn("Name");
    ASSERT_TRUE(qty && name);
    EXPECT_EQ(f.view->tree->sortedColumns(), (QList<kvui::Column*>{qty, name}));
    EXPECT_EQ(qty->sortOrder(), Qt::DescendingOrder);
    EXPECT_EQ(name->sortOrder(), Qt::AscendingOrder);
    EXPECT_TRUE(qty->isVisible());

    name->setWidth(5);    // clamped to 20 when stored
    qty->setWidth(2000);  // and to 1295
    f.view->StoreViewScheme();
    const QString params = f.view->ViewScheme.Params;
    EXPECT_EQ(ReadViewSchemeParam(params, Sorts), "Qty:1|Name:0");
    EXPECT_EQ(ReadViewSchemeParam(params, Fields), "|ID|Name|Qty|");
    const QString positions = ReadViewSchemeParam(params, "[Positions]");
    EXPECT_TRUE(positions.contains("Name:" + EncodeColumnPosition(f.view->tree->band(0).id, name->colIndex(), 0, 1, 20) + "|"))
        << positions.toStdString();
    EXPECT_TRUE(positions.contains("Qty:" + EncodeColumnPosition(f.view->tree->band(0).id, qty->colIndex(), 0, 1, 1295) + "|"));
    EXPECT_TRUE(ReadViewSchemeParam(params, "[Total]").isEmpty());

    // the stored text gives the same columns, order and sorting back
    TProbeTreeView again(&f.def);
    again.ViewScheme.Params = params;
    again.ApplyViewScheme();
    ASSERT_NE(again.FindFieldColumn("Qty"), nullptr);
    EXPECT_EQ(again.FindFieldColumn("Qty")->width(), 1295);
    EXPECT_EQ(again.FindFieldColumn("Qty")->colIndex(), qty->colIndex());
    EXPECT_EQ(again.FindFieldColumn("Qty")->sortOrder(), Qt::DescendingOrder);
    again.StoreViewScheme();
    EXPECT_EQ(again.ViewScheme.Params, params);
}

TEST(InfoTreeView, ItemPropertyColumns)
{
    Fixture f;
    EXPECT_EQ(f.view->GetItemPropFieldNames(), QString());
    QString select, join;
    f.view->GetItemPropSelectSQL(select, join);
    EXPECT_TRUE(select.isEmpty() && join.isEmpty());

    f.apply("|ID|Item_Color|Name|");
    EXPECT_EQ(f.view->GetItemPropFieldNames(), "|Item_Color|");

    static QString referred;
    referred.clear();
    InfoApplication->GetInfoObjectDataSourceSQLProc = [](TInfoObjectDef*, const QString& ARefered, QString&) {
        referred = ARefered;
        return QStringLiteral("select * from Items i left join Colors c on c.ItmID=i.ItmID where 1=1");
    };
    f.view->GetItemPropSelectSQL(select, join);
    EXPECT_EQ(select, ", [Item_Color]=i.Color");
    EXPECT_EQ(referred, select);
    EXPECT_EQ(join, " where 1=1");

    // an object definition without the field gives null for it
    TInfoObjectDef other;
    f.view->GetItemPropSelectSQL(select, join, &other);
    EXPECT_EQ(select, ", [Item_Color]=null");
    InfoApplication->GetInfoObjectDataSourceSQLProc = nullptr;
}

TEST(InfoTreeView, RecordCountText)
{
    Fixture f;
    static QString shown;
    InfoApplication->ShowStatusMessageProc = [](const QString& AMessage, TShowStatusMessageKind) { shown = AMessage; };
    TCommandState state;
    shown = "x";
    EXPECT_TRUE(f.view->QueryCommandState(Commands::RecordCount, state));
    EXPECT_EQ(shown, QString());

    kvui::TreeNode* a = f.view->tree->addNode();
    f.view->tree->addNode();
    kvui::TreeNode* child = f.view->tree->addNode(a);
    f.view->tree->addNode(a);
    f.view->tree->addNode(a);
    f.view->tree->setFocusedNode(a);
    f.view->QueryCommandState(Commands::RecordCount, state);
    EXPECT_EQ(shown, "1 / 2");
    f.view->tree->expandNode(a);
    f.view->tree->setFocusedNode(child->nextSibling());
    f.view->QueryCommandState(Commands::RecordCount, state);
    EXPECT_EQ(shown, "2 / 3");
    InfoApplication->ShowStatusMessageProc = nullptr;
}

TEST(InfoTreeView, CommandStates)
{
    Fixture f;
    TCommandState state;
    const struct {
        int command;
        bool enabled;
    } cases[] = {{Commands::Export, true},        {Commands::Print, false},  {Commands::SchemeFields, true},
                 {Commands::SchemeFilter, true},  {Commands::Refresh, true}, {Commands::Fill, false}};
    for (const auto& c : cases) {
        state = {};
        EXPECT_TRUE(f.view->QueryCommandState(c.command, state)) << c.command;
        EXPECT_EQ(bool(state & csEnabled), c.enabled) << c.command;
    }
    f.view->SetEditMode(true);
    EXPECT_TRUE(f.view->QueryCommandState(Commands::Refresh, state));
    EXPECT_FALSE(state & csEnabled);
}

TEST(InfoTreeView, ExportAsksWhetherToLoadEverything)
{
    Fixture f;
    f.view->tree->addNode()->setValue(f.view->colID, "A");
    int dialogs = 0;
    QString proposed;
    SetSaveFileDialogHook([&](const QString&, const QString& file, const QString&, const QString&, QString&) {
        ++dialogs;
        proposed = file;
        return false;
    });
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDCANCEL});
    EXPECT_TRUE(f.view->ExecCommand(Commands::Export));
    EXPECT_EQ(dialogs, 0); // cancel: nothing exported, no file dialog
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text,
              QStringLiteral("导出数据前强制展开装载全部结点的内容?\r\r提示: 全部装载可能大量耗时, 过程中可以按[Esc]键中止。"));
    EXPECT_EQ(boxes.shown[0].buttons(), (QList<int>{kvos::IDYES, kvos::IDNO, kvos::IDCANCEL}));
    EXPECT_EQ(boxes.shown[0].defaultButton(), kvos::IDNO);

    boxes.answer({kvos::IDNO});
    EXPECT_TRUE(f.view->ExecCommand(Commands::Export));
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(proposed, QStringLiteral("运算结果.xls"));
    EXPECT_FALSE(f.view->tree->property(TreeListOwnerViewProperty).isValid()); // restored
    SetSaveFileDialogHook({});
}

TEST(InfoTreeView, FocusedRecordString)
{
    Fixture f;
    f.apply("|ID|Qty|Tm|");
    kvui::TreeNode* node = f.view->tree->addNode();
    const struct {
        const char* field;
        QVariant value;
        const char* sql;
    } cases[] = {
        {"ID", QStringLiteral("O'Brien"), "'O''Brien'"},
        {"ID", QString(), "null"},
        {"ID", 12, "12"},
        {"Qty", 1.5, "1.5"},
        {"Qty", QVariant(), "null"},
        {"Tm", QDateTime(QDate(2026, 12, 10), QTime(10, 30)), "'20261210 10:30:00'"},
        {"Tm", QDate(2026, 1, 2), "'20260102'"},
        {"Nope", 1, "null"},
    };
    f.view->tree->setFocusedRow(-1);
    EXPECT_EQ(f.view->GetFocusedRecordString("ID"), "null");
    f.view->tree->setFocusedNode(node);
    for (const auto& c : cases) {
        if (kvui::Column* col = f.view->FindFieldColumn(c.field))
            node->setValue(col, c.value);
        EXPECT_EQ(f.view->GetFocusedRecordString(c.field), QString::fromLatin1(c.sql)) << c.field;
    }
}
