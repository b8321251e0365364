// The view-scheme parser: SELECT list, ORDER BY list and WHERE condition from
// a scheme's text and the user's row permissions; the hooks the host installs;
// views of the demo account set reading rows through them.
#include "SchemeTestSupport.h"
#include "clsAutoGridView.h"
#include "clsMasterDetailView.h"
#include "dlgViewScheme.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <memory>

using namespace schemetest;

namespace {

TInfoFieldDef field(const QString& id, const QString& expr)
{
    TInfoFieldDef f;
    f.ID = id;
    f.Name = id;
    f.SQLExpress = expr;
    return f;
}

// Fields A, B, C, D in this order, expressions t.A ... t.D.
TInfoObjectDef fourFields()
{
    TInfoObjectDef def;
    def.ID = QStringLiteral("T");
    for (const char* id : {"A", "B", "C", "D"})
        def.Fields.push_back(field(QString::fromLatin1(id), QStringLiteral("t.") + QString::fromLatin1(id)));
    return def;
}

// "¶" in a case's text stands for the item separator of scheme texts.
QString params(const char* text)
{
    return QString::fromUtf8(text).replace(QStringLiteral("¶"), ViewSchemeParamSeparator);
}

QString translateCode(TInfoObjectDef*, const QString& code, TADOQuery*)
{
    return u'<' + code + u'>';
}

// The application object with a filter translator that marks each code.
class ParseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!InfoApplication)
            InfoApplication = new TInfoApplication();
        saved = InfoApplication->TranslateFilterCodeToSQLProc;
        InfoApplication->TranslateFilterCodeToSQLProc = translateCode;
    }
    void TearDown() override { InfoApplication->TranslateFilterCodeToSQLProc = saved; }
    TTranslateFilterCodeToSQLProc saved = nullptr;
};

constexpr TViewSupports FieldsAndSort = voSupportFields | voSupportSort;

} // namespace

TEST_F(ParseTest, FieldsAndSorts)
{
    struct Case {
        const char* what;
        TViewSupports supports;
        const char* params;
        const char* fields;
        const char* order;
    };
    const Case cases[] = {
        {"shown fields come in definition order", FieldsAndSort, "[Fields]=|C|A|", "t.A as [A], t.C as [C]", ""},
        {"sort fields not shown stand in front, in sort order", FieldsAndSort, "[Fields]=|A|B|¶[Sorts]=D:10|B:1|C:00",
         "t.D as [D], t.C as [C], t.A as [A], t.B as [B]", "[D] desc, [B] desc, [C]"},
        {"unknown, nameless and empty sort entries are skipped; names ignore case", FieldsAndSort,
         "[Sorts]=x:1|d:0|B|:1||A:¶[Fields]=|A|", "t.D as [D], t.A as [A]", "[D], [A]"},
        {"a field sorted twice is ordered once", FieldsAndSort, "[Fields]=|A|¶[Sorts]=C:1|c:0", "t.C as [C], t.A as [A]",
         "[C] desc"},
        {"section names ignore case", FieldsAndSort, "[fields]=|B|¶[SORTS]=B:1", "t.B as [B]", "[B] desc"},
        {"only IDs enclosed by bars count", FieldsAndSort, "[Fields]=|A|B", "t.A as [A]", ""},
        {"no field list: only the sort fields", FieldsAndSort, "[Sorts]=B:0", "t.B as [B]", "[B]"},
        {"sorts need sort support", voSupportFields, "[Fields]=|A|¶[Sorts]=D:1", "t.A as [A]", ""},
        {"nothing without field support", voSupportFilter | voSupportSort, "[Fields]=|A|¶[Sorts]=A:1", "", ""},
        {"an empty scheme", voSupportAll, "", "", ""},
    };
    TInfoObjectDef def = fourFields();
    for (const Case& c : cases) {
        TViewScheme scheme;
        scheme.Supports = c.supports;
        scheme.Params = params(c.params);
        scheme.FieldsSQL = scheme.OrderBySQL = scheme.FilterSQL = QStringLiteral("stale");
        DoParseViewSchemeSQL(&def, &scheme, nullptr);
        EXPECT_EQ(scheme.FieldsSQL, QString::fromUtf8(c.fields)) << c.what;
        EXPECT_EQ(scheme.OrderBySQL, QString::fromUtf8(c.order)) << c.what;
        EXPECT_EQ(scheme.FilterSQL, QString()) << c.what;
        EXPECT_TRUE(scheme.SQLParsed) << c.what;
        EXPECT_EQ(scheme.Params, params(c.params)) << c.what;
    }
}

TEST_F(ParseTest, SortOnARepeatedFieldIDTakesTheLastDefinition)
{
    TInfoObjectDef def = fourFields();
    def.Fields.push_back(field(QStringLiteral("b"), QStringLiteral("t.B2")));
    TViewScheme scheme;
    scheme.Supports = FieldsAndSort;
    scheme.Params = params("[Fields]=|A|¶[Sorts]=B:1");
    DoParseViewSchemeSQL(&def, &scheme, nullptr);
    EXPECT_EQ(scheme.FieldsSQL, "t.B2 as [b], t.A as [A]");
    EXPECT_EQ(scheme.OrderBySQL, "[b] desc");
}

TEST_F(ParseTest, FilterFromPermissionsAndTheSchemeFilter)
{
    struct Case {
        const char* what;
        TViewSupports supports;
        const char* permit;
        const char* params;
        const char* filter;
    };
    const Case cases[] = {
        {"the scheme's filter alone", voSupportAll, "", "[Filter]=F1", "<F1>"},
        {"permissions and filter joined by and", voSupportAll, "P1|P2|", "[Filter]=F1", "((<P1>) or (<P2>)) and (<F1>)"},
        {"no rows allowed stays so whatever the filter", voSupportAll, "1=0", "[Filter]=F1", "1=0"},
        {"filter needs filter support", FieldsAndSort, "P1|", "[Filter]=F1", "(<P1>)"},
        {"no filter: the permissions alone", voSupportAll, "P1|", "[Fields]=|A|", "(<P1>)"},
        {"nothing at all", voSupportAll, "", "", ""},
    };
    TInfoObjectDef def = fourFields();
    for (const Case& c : cases) {
        def.PermitCodes = QString::fromUtf8(c.permit);
        TViewScheme scheme;
        scheme.Supports = c.supports;
        scheme.Params = params(c.params);
        DoParseViewSchemeSQL(&def, &scheme, nullptr);
        EXPECT_EQ(scheme.FilterSQL, QString::fromUtf8(c.filter)) << c.what;
    }
}

TEST_F(ParseTest, WithoutAFilterTranslatorTheFilterGivesNothing)
{
    InfoApplication->TranslateFilterCodeToSQLProc = nullptr;
    TInfoObjectDef def = fourFields();
    TViewScheme scheme;
    scheme.Supports = voSupportAll;
    scheme.Params = params("[Filter]=F1¶[Fields]=|B|");
    DoParseViewSchemeSQL(&def, &scheme, nullptr);
    EXPECT_EQ(scheme.FilterSQL, "");
    EXPECT_EQ(scheme.FieldsSQL, "t.B as [B]");
}

TEST(ViewSchemeHooks, InstalledAtStartUp)
{
    TInfoApplication app;
    InitViewSchemeDlgUnit(&app);
    EXPECT_EQ(app.ParseViewSchemeSQLProc, &DoParseViewSchemeSQL);
    EXPECT_EQ(app.ShowViewSchemeDlgProc, &DoShowViewSchemeDlg);
}

namespace {

// The demo's production orders in a master-detail view, as a view form shows them.
class DemoViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoLogin::instance();
        DemoLogin::instance().exec("delete QZ_SYS_ViewSchemes");
        window = std::make_unique<QWidget>();
        auto* box = new QVBoxLayout(window.get());
        box->setContentsMargins(0, 0, 0, 0);
        window->resize(1000, 600);
        window->show();
        def = InfoApplication->GetInfoObjectDef("QZ_MRP.MO");
        ASSERT_NE(def, nullptr);
    }
    void TearDown() override
    {
        QPointer<QWidget> widget = md.get();
        md.reset();
        delete widget.data();
        window.reset();
    }
    void open()
    {
        md = CreateInfoView<TInfoMasterDetailView>(nullptr, def);
        md->SetParentControl(window.get());
        md->SetViewCaption(def->Name);
        md->InitializeView(QString(), IInfoViewPtr());
        md->RefreshData(true);
    }
    static kvui::BandedGrid* gridOf(const IInfoViewPtr& view)
    {
        auto* grid = view ? dynamic_cast<TInfoGridView*>(view.get()) : nullptr;
        return grid ? grid->GridView() : nullptr;
    }

    std::unique_ptr<QWidget> window;
    std::shared_ptr<TInfoMasterDetailView> md;
    TInfoObjectDef* def = nullptr;
};

} // namespace

TEST_F(DemoViewTest, MasterAndDetailShowRowsInTheSchemeOrder)
{
    // plan01's last-used scheme: numbers and quantities, the largest quantity first.
    const QString text = params("[Fields]=|MONo|MOBillQty|¶[Sorts]=MOBillQty:10");
    DemoLogin::instance().exec("insert QZ_SYS_ViewSchemes (ViwID, ViwUsrID, ViwName, ViwKind, ViwParams, ViwTime) values "
                               "('QZ_MRP.MO', " + QuotedStr(InfoApplication->LoginInfo.UserID) + ", '', 0, "
                               + QuotedStr(text) + ", getdate())");
    // The view opens on the stored scheme at once: no dialog asks for one.
    struct DialogWatch : QObject {
        int shown = 0;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            if (e->type() == QEvent::Show)
                if (auto* dlg = qobject_cast<TViewSchemeDlg*>(o)) {
                    ++shown;
                    QTimer::singleShot(0, dlg, &QDialog::reject);
                }
            return false;
        }
    } watch;
    qApp->installEventFilter(&watch);
    open();
    qApp->removeEventFilter(&watch);
    EXPECT_EQ(watch.shown, 0);
    kvui::BandedGrid* master = gridOf(md->MasterView());
    ASSERT_NE(master, nullptr);
    const int orders = DemoLogin::value("select count(*) from QZ_MRP_MO").toInt();
    ASSERT_GT(orders, 2);
    EXPECT_EQ(master->recordCount(), orders);
    const PViewScheme scheme = md->MasterView()->GetViewScheme();
    EXPECT_TRUE(scheme->SQLParsed);
    EXPECT_EQ(scheme->OrderBySQL, "[MOBillQty] desc");
    EXPECT_EQ(scheme->FieldsSQL, "s.MONo as [MONo], s.MOBillQty as [MOBillQty]");
    ASSERT_TRUE(master->setFocusedRecordIndex(0));
    EXPECT_EQ(md->GetFocusedRecordString("MOBillQty").toDouble(),
              DemoLogin::value("select max(MOBillQty) from QZ_MRP_MO").toDouble());

    // The detail view parses its own scheme and reads the focused order's lines.
    EXPECT_TRUE(md->ExecCommand(46));
    kvui::BandedGrid* detail = gridOf(md->DetailView(0));
    ASSERT_NE(detail, nullptr);
    EXPECT_TRUE(md->DetailView(0)->GetViewScheme()->SQLParsed);
    const QString moid = md->GetFocusedRecordString("MOID");
    const QString entry = md->GetFocusedRecordString("MOEntry");
    const int lines = DemoLogin::value("select count(*) from QZ_MRP_MOBOM where MOID=" + moid + " and MOEntry=" + entry).toInt();
    EXPECT_GT(lines, 0);
    EXPECT_EQ(detail->recordCount(), lines);
}
