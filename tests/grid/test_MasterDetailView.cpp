// The master-detail view on the demo's production orders and their material
// lines: detail views made when first shown, following the focused master
// row, the detail area kept in the scheme, command 46 and closing.
#include "GridTestSupport.h"
#include "ScriptedMessageBoxes.h"
#include "clsAutoGridView.h"
#include "clsMasterDetailView.h"

#include <QPointer>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

using namespace gridtest;

TEST(DetailArea, HeightFromTheStoredFraction)
{
    struct Case {
        int client;
        const char* stored;
        int height;
    };
    const Case cases[] = {
        {500, "0.3", 150}, {500, "0.1", 100}, {500, "", 240},  {500, "0.95", 450},
        {500, "abc", 240}, {500, "0", 240},   {500, "0.2", 100}, {600, "0.5", 300},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DetailAreaHeight(c.client, c.stored), c.height) << c.client << " " << c.stored;
}

TEST(DetailArea, MasterValuesFromTheFieldMap)
{
    const auto focused = [](const QString& field) {
        if (field == "ItmID")
            return QStringLiteral("'I001'");
        if (field == "Type")
            return QStringLiteral("3");
        return QStringLiteral("null");
    };
    struct Case {
        const char* map;
        const char* values;
    };
    const Case cases[] = {
        {"ItmID=ItmID|{1}=SrcType", "ItmID='I001'\r\nSrcType=1"},
        {" ItmID = BomItmID ", "BomItmID='I001'"},
        {"Type={2}|ItmID=ItmID", ""},           // the master row is of another kind
        {"Type={3}|ItmID=ItmID", "ItmID='I001'"}, // the constant matches: nothing added for it
        {"ItmID=ItmID||=Skipped|Missing=X", "ItmID='I001'\r\nX=null"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RelationMasterValues(c.map, focused), QString::fromUtf8(c.values)) << c.map;
}

namespace {

class MasterDetailTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoAccountSet::instance();
        DemoAccountSet::instance().exec("delete QZ_SYS_ViewSchemes");
        schemeDialog() = SchemeDialogLog();
        window = std::make_unique<QWidget>();
        auto* box = new QVBoxLayout(window.get());
        box->setContentsMargins(0, 0, 0, 0);
        window->resize(1000, 600);
        window->show();
        def = InfoApplication->GetInfoObjectDef("QZ_MRP.MO");
        ASSERT_NE(def, nullptr);
        ASSERT_EQ(def->Relations.size(), 1u);
        savedMaps = def->Relations[0].FieldMaps;
    }
    void TearDown() override
    {
        closeView();
        window.reset();
        if (def) {
            def->Relations[0].FieldMaps = savedMaps;
            def->Relations[0].RelObjID = "QZ_MRP.MOBOM";
        }
    }

    void open(bool refresh = true)
    {
        md = CreateInfoView<TInfoMasterDetailView>(nullptr, def);
        md->SetParentControl(window.get());
        md->SetViewCaption(def->Name);
        md->InitializeView(QString(), IInfoViewPtr());
        if (refresh)
            md->RefreshData(true);
    }

    // What the window does when it closes: the view goes with it.
    void closeView()
    {
        QPointer<QWidget> widget = md.get();
        md.reset();
        delete widget.data();
    }

    static kvui::BandedGrid* gridOf(const IInfoViewPtr& view)
    {
        auto* grid = view ? dynamic_cast<TInfoGridView*>(view.get()) : nullptr;
        return grid ? grid->GridView() : nullptr;
    }
    kvui::BandedGrid* master() const { return gridOf(md->MasterView()); }
    kvui::BandedGrid* detail() const { return gridOf(md->DetailView(0)); }

    // The material lines of the focused production order line, counted by SQL.
    int expectedDetailRows() const
    {
        const QString moid = md->GetFocusedRecordString("MOID");
        const QString entry = md->GetFocusedRecordString("MOEntry");
        return DemoAccountSet::count("select count(*) from QZ_MRP_MOBOM where MOID=" + moid + " and MOEntry=" + entry);
    }

    std::unique_ptr<QWidget> window;
    std::shared_ptr<TInfoMasterDetailView> md;
    TInfoObjectDef* def = nullptr;
    QString savedMaps;
};

// Lets a person look at the window under a real display (KORVANE_SHOW_MS).
void showForAWhile()
{
    const int ms = qEnvironmentVariableIntValue("KORVANE_SHOW_MS");
    if (ms > 0)
        QTest::qWait(ms);
}

} // namespace

TEST_F(MasterDetailTest, DetailFollowsTheFocusedMasterRow)
{
    open();
    ASSERT_NE(master(), nullptr);
    const int orders = DemoAccountSet::count("select count(*) from QZ_MRP_MO");
    ASSERT_GE(orders, 3);
    EXPECT_EQ(master()->recordCount(), orders);
    // No relation was open last time and none is the body: no detail area yet.
    EXPECT_FALSE(md->DetailAreaExists());
    EXPECT_EQ(md->DetailView(0), nullptr);

    TCommandState state;
    EXPECT_TRUE(md->QueryCommandState(46, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    EXPECT_TRUE(md->ExecCommand(46));
    ASSERT_TRUE(md->DetailAreaOpen());
    ASSERT_NE(detail(), nullptr);
    EXPECT_EQ(md->DetailPages()->tabText(0), " 用料清单 ");
    EXPECT_EQ(md->DetailView(0)->GetViewCaption(), "用料清单");
    EXPECT_EQ(md->DetailView(0)->GetViewScheme()->ID, "QZ_MRP.MO/MOBOM");
    EXPECT_EQ(md->DetailAreaHeightNow(), md->height() / 2 - 10);
    EXPECT_TRUE(md->QueryCommandState(46, state));
    EXPECT_EQ(state, TCommandState(csEnabled | csChecked));

    int total = 0;
    for (int record = 0; record < orders; ++record) {
        ASSERT_TRUE(master()->setFocusedRecordIndex(record));
        const int expected = expectedDetailRows();
        EXPECT_EQ(detail()->recordCount(), expected) << record;
        if (expected > 0) {
            EXPECT_EQ(md->DetailView(0)->GetFocusedRecordString("MOID"), md->GetFocusedRecordString("MOID"));
        }
        total += expected;
    }
    EXPECT_EQ(total, DemoAccountSet::count("select count(*) from QZ_MRP_MOBOM"));
    ASSERT_TRUE(master()->setFocusedRecordIndex(0));
    EXPECT_GT(detail()->recordCount(), 0);
    // The page had its height when the rows came: the first row shows.
    EXPECT_EQ(detail()->verticalScrollBar()->value(), 0);
    showForAWhile();

    // Closed, the detail is relinked but not read until it shows again.
    EXPECT_TRUE(md->ExecCommand(46));
    EXPECT_FALSE(md->DetailAreaOpen());
    EXPECT_TRUE(md->QueryCommandState(46, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    ASSERT_TRUE(master()->setFocusedRecordIndex(orders - 1));
    EXPECT_FALSE(md->DetailView(0)->DataRefreshed());
    EXPECT_TRUE(md->ExecCommand(46));
    EXPECT_TRUE(md->DetailAreaOpen());
    EXPECT_TRUE(md->DetailView(0)->DataRefreshed());
    EXPECT_EQ(detail()->recordCount(), expectedDetailRows());

    // While the main window suspends syncing, nothing is relinked.
    md->FSyncRelationDisabled = true;
    const int shown = detail()->recordCount();
    ASSERT_TRUE(master()->setFocusedRecordIndex(0));
    EXPECT_EQ(detail()->recordCount(), shown);
    md->FSyncRelationDisabled = false;
    md->RefreshRelations();
    EXPECT_EQ(detail()->recordCount(), expectedDetailRows());

    // A detail builds its statement again on every refresh, rebuild asked or not.
    md->DetailView(0)->SetMasterValues("MOID='MO2612002'\r\nMOEntry=2", false);
    md->DetailView(0)->RefreshData(false);
    EXPECT_EQ(detail()->recordCount(),
              DemoAccountSet::count("select count(*) from QZ_MRP_MOBOM where MOID='MO2612002' and MOEntry=2"));

    // A refresh of the master relinks the detail to whatever row is focused then.
    DemoAccountSet::instance().exec("delete QZ_MRP_MOBOM where MOID='MO2612001'");
    EXPECT_TRUE(md->ExecCommand(49));
    EXPECT_EQ(detail()->recordCount(), expectedDetailRows());
}

TEST_F(MasterDetailTest, RelationViewsAndActiveView)
{
    open();
    EXPECT_EQ(md->GetRelationView(" "), md->MasterView());
    EXPECT_EQ(md->GetRelationView("MOBOM"), nullptr); // not created yet
    md->ShowRelation(0, false);
    EXPECT_EQ(md->GetRelationView("mobom"), md->DetailView(0));
    EXPECT_EQ(md->GetRelationView("Other"), nullptr);
    EXPECT_EQ(md->GetFocusedRecordString("MOID"), md->MasterView()->GetFocusedRecordString("MOID"));

    // The active view follows the focus between master and detail.
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    detail()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), detail());
    EXPECT_EQ(md->GetActiveView(), md->DetailView(0));
    master()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), master());
    EXPECT_EQ(md->GetActiveView(), md->MasterView());
    // With the area closed the master is active whatever had the focus.
    detail()->setFocus();
    md->CloseDetailArea();
    EXPECT_EQ(md->GetActiveView(), md->MasterView());
}

TEST_F(MasterDetailTest, ConstantsInTheFieldMap)
{
    // A constant on the detail side that the master row does not match: no rows.
    def->Relations[0].FieldMaps = "MOID=MOID|MOEntry={9}";
    open();
    md->ShowRelation(0, false);
    EXPECT_EQ(detail()->recordCount(), 0);
    // A constant on the master side feeds the detail field.
    closeView();
    def->Relations[0].FieldMaps = "MOID=MOID|{1}=MOEntry";
    open();
    md->ShowRelation(0, false);
    ASSERT_TRUE(master()->setFocusedRecordIndex(2)); // an order's second line
    EXPECT_EQ(md->GetFocusedRecordString("MOEntry"), "2");
    EXPECT_EQ(detail()->recordCount(),
              DemoAccountSet::count("select count(*) from QZ_MRP_MOBOM where MOEntry=1 and MOID="
                                    + md->GetFocusedRecordString("MOID")));
}

TEST_F(MasterDetailTest, DetailAreaSurvivesAReopen)
{
    open();
    md->ShowRelation(0, false);
    ASSERT_TRUE(md->QueryClose());
    const QString params = md->MasterView()->GetViewScheme()->Params;
    EXPECT_EQ(ReadViewSchemeParam(params, "[DetailObject]"), "MOBOM");
    const double stored = ReadViewSchemeParam(params, "[DetailHeight]").toDouble();
    EXPECT_NEAR(stored, double(md->height() / 2 - 10) / md->height(), 1e-9);
    closeView();

    // Reopened: the area shows the same relation, which waits for the master's data.
    open(false);
    ASSERT_TRUE(md->DetailAreaOpen());
    ASSERT_NE(md->DetailView(0), nullptr);
    EXPECT_FALSE(md->DetailView(0)->DataRefreshed());
    EXPECT_EQ(detail()->recordCount(), 0);
    EXPECT_EQ(md->DetailAreaHeightNow(), int(md->height() * stored));
    md->RefreshData(true);
    EXPECT_TRUE(md->DetailView(0)->DataRefreshed());
    EXPECT_EQ(detail()->recordCount(), expectedDetailRows());

    // Closed area: the remembered height is kept and no relation is named.
    md->CloseDetailArea();
    ASSERT_TRUE(md->QueryClose());
    const QString closedParams = md->MasterView()->GetViewScheme()->Params;
    EXPECT_EQ(ReadViewSchemeParam(closedParams, "[DetailObject]"), "");
    EXPECT_FALSE(ReadViewSchemeParam(closedParams, "[DetailHeight]").isEmpty());
    closeView();
    open();
    EXPECT_FALSE(md->DetailAreaExists());
}

TEST_F(MasterDetailTest, EditingDetailKeepsTheAreaAndAsksBeforeClosing)
{
    open();
    md->ShowRelation(0, false);
    auto* detailView = dynamic_cast<TCustomInfoView*>(md->DetailView(0).get());
    ASSERT_NE(detailView, nullptr);
    detailView->SetEditMode(true);
    EXPECT_TRUE(md->GetEditMode());
    {
        ScriptedMessageBoxes boxes;
        md->CloseDetailArea();
        EXPECT_TRUE(md->DetailAreaOpen());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "关联信息[用料清单]处于编辑状态, 不能隐藏!");
    }
    detailView->Modified = true;
    EXPECT_TRUE(md->NeedSave());
    {
        // The detail asks first; cancelling keeps the window open without asking the master.
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDCANCEL});
        EXPECT_FALSE(md->QueryClose());
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_TRUE(boxes.shown[0].text.contains("[用料清单]"));
    }
    detailView->Modified = false;
    detailView->SetEditMode(false);
    EXPECT_TRUE(md->QueryClose());
}

TEST_F(MasterDetailTest, ObjectsWithoutRelationsOrWithoutView)
{
    TInfoObjectDef* lines = InfoApplication->GetInfoObjectDef("QZ_MRP.MOBOM");
    ASSERT_NE(lines, nullptr);
    ASSERT_TRUE(lines->Relations.empty());
    auto view = CreateInfoView<TInfoMasterDetailView>(nullptr, lines);
    view->SetParentControl(window.get());
    view->InitializeView(QString(), IInfoViewPtr());
    TCommandState state = csEnabled;
    EXPECT_TRUE(view->QueryCommandState(46, state));
    EXPECT_EQ(state, TCommandState());
    EXPECT_TRUE(view->ExecCommand(46));
    EXPECT_FALSE(view->DetailAreaExists());
    // Other commands reach the master.
    EXPECT_TRUE(view->QueryCommandState(49, state));
    EXPECT_EQ(state, TCommandState(csEnabled));
    view.reset();

    // An object of the planning library whose library is missing: no view, silently.
    TInfoObjectDef missing;
    missing.ID = "QZ_MRP.Nothing";
    missing.ObjType = 10;
    missing.DllName = "NoSuchLibrary.dll";
    ScriptedMessageBoxes boxes;
    EXPECT_EQ(CreateRelationView(&missing), nullptr);
    EXPECT_THROW(CreateInfoView<TInfoMasterDetailView>(nullptr, &missing), EAbort);
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(MasterDetailTest, RelationWithoutDefinitionGivesNoDetail)
{
    def->Relations[0].RelObjID = "QZ_MRP.NoSuchObject";
    open();
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(md->ExecCommand(46));
    EXPECT_TRUE(md->DetailAreaOpen());
    EXPECT_EQ(md->DetailView(0), nullptr);
    EXPECT_TRUE(boxes.shown.isEmpty());
    // The master goes on working and following its rows changes nothing.
    ASSERT_TRUE(master()->setFocusedRecordIndex(1));
    EXPECT_TRUE(md->ExecCommand(46));
    EXPECT_FALSE(md->DetailAreaOpen());
    EXPECT_TRUE(md->QueryClose());
}
