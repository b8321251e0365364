// The allotment tree on the demo account set after a real MRP run: every
// line's children are the component demands of the supply planned for it,
// and the line's planned supply is one the run allotted to it, down three
// levels of a product; both kinds of pending issue get a group line; the
// filter bar keeps only the chains leading to an item, and a quote in the
// filter text stays text.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "QueryRows.h"
#include "SchemeTab.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "UCommon.h"
#include "dlgViewScheme.h"
#include "famMRPAllot.h"
#include "untMRP.h"
#include "untTLExportLink.h"
#include "XlsReadBack.h"

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QProcessEnvironment>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

using kvtest::DemoLogin;
using kvtest::demoSchemeAfterRun;
using kvtest::rows;

namespace {

struct Harness : kvtest::SchemeTab<TMRPAllotFrame> {
    explicit Harness(TPlanScheme* AScheme) : SchemeTab(QStringLiteral("QZ_MRP.MRP.Allot"), AScheme, QSize(1380, 800)) {}
    kvui::TreeList* tree() const { return view->grdAllot; }
    // Shows more fields, as the view-scheme dialog would.
    void showFields(const QStringList& fields)
    {
        TViewScheme* scheme = view->GetViewScheme();
        scheme->Params = WriteViewSchemeParam(scheme->Params, FieldsSection,
                                              view->GetSchemeFieldList() + fields.join(u'|') + u'|');
        view->ApplyViewScheme();
        InfoApplication->ParseViewSchemeSQL(def, scheme, GlobalADOQuery);
    }
};

const QStringList AllottedFields{"DmdInvQty", "DmdMOQty", "DmdOOQty", "DmdPOQty", "DmdMRQty", "DmdORQty", "DmdPRQty", "DmdReplQty"};

int count(const QString& sql)
{
    return DemoLogin::count(sql);
}

kvui::TreeNode* topLine(Harness& h, const QString& billNo, const QString& itmNo)
{
    for (kvui::TreeNode* n : h.tree()->topNodes())
        if (n->value(h.view->colDmdBillNo).toString() == billNo && n->value(h.view->colDmdItmNo).toString() == itmNo)
            return n;
    return nullptr;
}

// Walks a line and its children down to the depth: each demand line's planned
// supply is the supply the run planned or allotted for it (and the allotments
// say so), and its children are exactly the demands that supply's bill of
// materials produced. Returns the depth reached.
int checkPegging(Harness& h, kvui::TreeNode* line, int depth, int maxDepth)
{
    const QString sup = line->value(h.view->colSupIID).toString();
    const QString dmd = line->value(h.view->colDmdIID).toString();
    if (line->level() > 0 || !dmd.isEmpty()) {
        const QStringList planned = rows("select SupIID from QZ_MRP_Supplies where SupSchIID=1 and SupPDmdIID=" + dmd);
        EXPECT_EQ(sup.isEmpty() ? QStringList() : QStringList{sup}, planned) << "demand " << dmd.toStdString();
        // What the allotments give the demand, by kind of supply, is what the
        // line shows in its allotted columns.
        QMap<QString, double> allotted;
        const QMap<int, QString> kinds{{16, "DmdInvQty"}, {22, "DmdMOQty"}, {24, "DmdOOQty"}, {26, "DmdPOQty"},
                                       {28, "DmdPOQty"},  {34, "DmdMRQty"}, {36, "DmdORQty"}, {38, "DmdPRQty"}};
        for (const QString& r : rows("select s.SupBillType, a.AltIsRepl, a.AltQty, a.AltReplQty from QZ_MRP_Allots a join "
                                     "QZ_MRP_Supplies s on a.AltSchIID=s.SupSchIID and a.AltSupIID=s.SupIID where "
                                     "a.AltSchIID=1 and a.AltDmdIID=" + dmd)) {
            const QStringList c = r.split(u'|');
            if (c[1] == "1" || c[1].compare("true", Qt::CaseInsensitive) == 0)
                allotted["DmdReplQty"] += c[3].toDouble();
            else if (kinds.contains(c[0].toInt()))
                allotted[kinds[c[0].toInt()]] += c[2].toDouble();
        }
        for (const char* field : {"DmdInvQty", "DmdMOQty", "DmdOOQty", "DmdPOQty", "DmdMRQty", "DmdORQty", "DmdPRQty", "DmdReplQty"}) {
            kvui::Column* column = h.view->FindFieldColumn(field);
            EXPECT_NEAR(line->value(column).toDouble(), allotted.value(field), 1e-6)
                << "demand " << dmd.toStdString() << " " << field;
        }
    }
    if (sup.isEmpty() || depth >= maxDepth)
        return depth;
    h.tree()->expandNode(line);
    QStringList shown;
    for (kvui::TreeNode* c : line->children())
        shown << c->value(h.view->colDmdIID).toString();
    shown.sort();
    QStringList stored = rows("select DmdIID from QZ_MRP_Demands where DmdSchIID=1 and DmdPSupIID=" + sup);
    stored.sort();
    EXPECT_EQ(shown, stored) << "children of supply " << sup.toStdString();
    int reached = depth;
    for (kvui::TreeNode* c : line->children())
        reached = std::max(reached, checkPegging(h, c, depth + 1, maxDepth));
    return reached;
}

} // namespace

// The finished fan's sales-order line, its assemblies, their parts: three
// levels pegged as the run stored them.
TEST(AllotDemo, PegsThreeLevelsAsTheRunStored)
{
    Harness h(demoSchemeAfterRun());
    h.showFields(AllottedFields);
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(h.view->lblPlanState->text(), "(MRP运算完成)");
    // Every independent demand is a top-level line.
    const QList<kvui::TreeNode*> tops = h.tree()->topNodes();
    EXPECT_EQ(int(std::count_if(tops.begin(), tops.end(),
                                [&](kvui::TreeNode* n) { return !n->value(h.view->colDmdIID).toString().isEmpty()
                                                                && n->value(h.view->colDmdBillType).toInt() <= 12; })),
              count("select count(*) from QZ_MRP_Demands where DmdSchIID=1 and DmdBillType in (2, 4, 8, 12)"));
    const QString itm = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-2001'").value(0);
    kvui::TreeNode* so = topLine(h, "SO-202612-001", itm);
    ASSERT_TRUE(so);
    EXPECT_GE(checkPegging(h, so, 0, 3), 2);
    // The assembly planned for the fan shows its own parts one level lower.
    const QString asm402 = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='ISA-402'").value(0);
    kvui::TreeNode* assembly = nullptr;
    for (kvui::TreeNode* c : so->children())
        if (c->value(h.view->colDmdItmNo).toString() == asm402)
            assembly = c;
    ASSERT_TRUE(assembly);
    EXPECT_EQ(assembly->childCount(),
              count("select count(*) from QZ_MRP_Demands d join QZ_MRP_Supplies s on d.DmdSchIID=s.SupSchIID and "
                    "d.DmdPSupIID=s.SupIID where d.DmdSchIID=1 and s.SupItmID='ISA-402'"));
    // A group line lists the demands of its type.
    for (kvui::TreeNode* n : h.tree()->topNodes()) {
        const int type = n->value(h.view->colDmdBillType).toInt();
        if (type != 72 && type != 74 && type != 79 && type != 80)
            continue;
        h.tree()->expandNode(n);
        EXPECT_EQ(n->childCount(), count("select count(*) from QZ_MRP_Demands where DmdSchIID=1 and DmdBillType=" + QString::number(type)));
    }
}

// How many sets a line allows now is an answer even when it is none: a demand
// line shows 0 where its kit quantity is 0, a group line shows nothing; and
// the export writes the lines' dates as dates.
TEST(AllotDemo, AKitQuantityOfNoneShowsAsZeroAndDatesExportAsDates)
{
    Harness h(demoSchemeAfterRun());
    h.showFields({"DmdASetQty"});
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    kvui::Column* kit = h.view->FindFieldColumn("DmdASetQty");
    ASSERT_TRUE(kit);
    int zeros = 0, groups = 0;
    for (kvui::TreeNode* n : h.tree()->topNodes()) {
        const int type = n->value(h.view->colDmdBillType).toInt();
        const QString dmd = n->value(h.view->colDmdIID).toString();
        if (type == 72 || type == 74 || type == 79 || type == 80) {
            EXPECT_EQ(n->text(kit), QString());
            ++groups;
        } else if (type <= 12 && !dmd.isEmpty()
                   && rows("select isnull(DmdASetQty,0) from QZ_MRP_Demands where DmdSchIID=1 and DmdIID=" + dmd).value(0).toDouble() == 0) {
            EXPECT_EQ(n->text(kit), QStringLiteral("0")) << dmd.toStdString();
            ++zeros;
        }
    }
    EXPECT_GT(zeros, 0);
    EXPECT_GT(groups, 0);

    h.window.show();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("allot.xls"));
    ExportTreeListAsExcel(file, h.tree(), false, true, true, QStringLiteral("xls"));
    const XlsSheet sheet = ReadXlsSheet(file);
    ASSERT_EQ(sheet.error, 0);
    int dateColumn = -1;
    for (int c = 0; c < sheet.rows.value(1).size() && dateColumn < 0; ++c)
        if (sheet.at(1, c).toString() == QStringLiteral("需求日期"))
            dateColumn = c;
    ASSERT_GE(dateColumn, 0);
    int dates = 0;
    for (int r = 2; r < sheet.rows.size(); ++r) {
        const QVariant v = sheet.at(r, dateColumn);
        if (v.isValid() && !v.isNull()) {
            EXPECT_EQ(v.typeId(), QMetaType::QDate) << r << " " << v.toString().toStdString();
            ++dates;
        }
    }
    EXPECT_GT(dates, 0);
}

// The wait shows while the top lines are read: the hint in the status bar
// from before the reading to its end, with the tree still empty when it
// appears, and "就绪" again afterwards.
std::vector<std::pair<QString, int>> statusTrail;
kvui::TreeList* watchedTree = nullptr;

TEST(AllotDemo, TheWaitShowsWhileTheTopLinesAreRead)
{
    Harness h(demoSchemeAfterRun());
    ScriptedMessageBoxes boxes;
    statusTrail.clear();
    watchedTree = h.tree();
    InfoApplication->ShowStatusMessageProc = [](const QString& AText, TShowStatusMessageKind AKind) {
        if (AKind == mkHint)
            statusTrail.emplace_back(AText, watchedTree->topCount());
    };
    h.view->RefreshData(true);
    InfoApplication->ShowStatusMessageProc = nullptr;
    ASSERT_EQ(statusTrail.size(), 2u);
    EXPECT_EQ(statusTrail[0].first, QStringLiteral("正在读取数据, 请稍候..."));
    EXPECT_EQ(statusTrail[0].second, 0);
    EXPECT_EQ(statusTrail[1].first, QString());
    EXPECT_GT(statusTrail[1].second, 0);
}

// Pending issues of both kinds: one group line each, each with its own demands.
TEST(AllotGroups, BothPendingIssueKindsShow)
{
    demoSchemeAfterRun();
    TPlanScheme scheme(GlobalADOConnection);
    scheme.SchemeIID = 89;
    scheme.PlanState = psMRPDone;
    const QString dmd = "insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdBillType, DmdBillNo, DmdItmID, "
                        "DmdNeedQty, DmdQty) values (89, ";
    DemoLogin::instance().exec(dmd + "1, 1, 79, 'OB-1', 'IPT-601', 5, 5)\r" + dmd + "2, 1, 79, 'OB-2', 'IPT-602', 6, 6)\r" +
                               dmd + "3, 1, 80, 'MB-1', 'IPT-603', 7, 7)\r" + dmd + "4, 1, 72, 'NEG', 'IPT-603', 8, 8)");
    Harness h(&scheme);
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    QMap<int, QStringList> groups;
    for (kvui::TreeNode* n : h.tree()->topNodes()) {
        h.tree()->expandNode(n);
        QStringList bills;
        for (kvui::TreeNode* c : n->children())
            bills << c->value(h.view->colDmdBillNo).toString();
        bills.sort();
        groups[n->value(h.view->colDmdBillType).toInt()] = bills;
    }
    EXPECT_EQ(groups.keys(), (QList<int>{72, 79, 80}));
    EXPECT_EQ(groups[79], (QStringList{"OB-1", "OB-2"}));
    EXPECT_EQ(groups[80], (QStringList{"MB-1"}));
}

// The item filter keeps the chains that lead to the item; a quote in the
// text is text, and finds nothing instead of breaking the statement.
TEST(AllotFilter, ItemChainsAndQuotedText)
{
    Harness h(demoSchemeAfterRun());
    ScriptedMessageBoxes boxes;
    const QString part = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IPT-401'").value(0);
    h.view->cboFilterKind->setCurrentIndex(0);
    h.view->edtFilterText->setText(part);
    h.view->btnOkClick();
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    // The fan's order leads to the part through its assembly; the clock's does not.
    const QString fan = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-2001'").value(0);
    const QString other = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-4001'").value(0);
    kvui::TreeNode* so = topLine(h, "SO-202612-001", fan);
    ASSERT_TRUE(so);
    EXPECT_FALSE(topLine(h, "SO-202612-002", other));
    h.tree()->expandNode(so);
    ASSERT_EQ(so->childCount(), 1);
    kvui::TreeNode* assembly = so->child(0);
    EXPECT_EQ(assembly->value(h.view->colDmdItmNo).toString(), rows("select ItmNo from QZ_Base_ItemMaster where ItmID='ISA-402'").value(0));
    h.tree()->expandNode(assembly);
    ASSERT_EQ(assembly->childCount(), 1);
    EXPECT_EQ(assembly->child(0)->value(h.view->colDmdItmNo).toString(), part);
    EXPECT_FALSE(assembly->child(0)->hasChildren());

    h.view->edtFilterText->setText("PT'401");
    h.view->btnOkClick();
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(h.tree()->topCount(), 0);
}

// The top level is the info object's statement over the run's lines: the view
// scheme's filter and order apply to it, and the fields come from the
// object's sources.
TEST(AllotDemo, TopLevelFollowsTheViewSchemesFilterAndOrder)
{
    Harness h(demoSchemeAfterRun());
    // Every field shown, so that every field expression and its sources run.
    QStringList all;
    for (const TInfoFieldDef& field : h.def->Fields)
        all << field.ID;
    h.showFields(all);
    TViewScheme* scheme = h.view->GetViewScheme();
    scheme->FilterSQL = "s.DmdBillType in (2, 4, 22, 24)";
    scheme->OrderBySQL = "s.DmdBillNo desc, i.ItmNo";
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    ASSERT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    QStringList shown, types;
    for (kvui::TreeNode* n : h.tree()->topNodes()) {
        shown << n->value(h.view->colDmdBillNo).toString();
        types << n->value(h.view->colDmdBillType).toString();
    }
    ASSERT_FALSE(shown.isEmpty());
    QStringList sorted = shown;
    std::sort(sorted.begin(), sorted.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) > 0;
    });
    EXPECT_EQ(shown, sorted);
    for (const QString& t : types)
        EXPECT_TRUE(t == "2" || t == "4" || t == "22" || t == "24") << t.toStdString();
    EXPECT_EQ(int(types.count("2") + types.count("4")),
              count("select count(*) from QZ_MRP_Demands where DmdSchIID=1 and DmdBillType in (2, 4)"));
    // The customer comes from the object's customer source.
    const QString fan = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-2001'").value(0);
    kvui::TreeNode* so = topLine(h, "SO-202612-001", fan);
    ASSERT_TRUE(so);
    EXPECT_EQ(so->value(h.view->FindFieldColumn("OrigCust")).toString(),
              rows("select CustName from QZ_Base_Customer c join QZ_MRP_SO s on s.SOCustID=c.CustID where s.SONo='SO-202612-001'")
                  .value(0));
}

// A top-level supply line shows its own figures on the secondary colour: unit,
// planned quantity and type and its own quantities, not the item's settings
// or its text cells; a demand line keeps the plain background there.
TEST(AllotDemo, TopLevelSupplyLinesShadeTheirOwnFigures)
{
    Harness h(demoSchemeAfterRun());
    ScriptedMessageBoxes boxes;
    h.view->RefreshData(true);
    kvui::TreeNode* supply = nullptr;
    kvui::TreeNode* demand = nullptr;
    for (kvui::TreeNode* n : h.tree()->topNodes()) {
        const int type = n->value(h.view->colDmdBillType).toInt();
        if (!supply && (type == 22 || type == 24 || type == 34 || type == 36))
            supply = n;
        if (!demand && (type == 2 || type == 4))
            demand = n;
    }
    ASSERT_TRUE(supply && demand);
    auto brush = [&](kvui::TreeNode* n, const char* field, bool selected = false) {
        QColor b = Qt::white, t = Qt::black;
        QFont f;
        h.view->FetchCustomDrawFormat(n, h.view->FindFieldColumn(field), selected, false, b, f, t);
        return b;
    };
    const QColor plain = Qt::white;
    for (const char* field : {"UntName", "SupQty", "SupBillType", "DmdNeedQty", "DmdBillQty"}) {
        EXPECT_NE(brush(supply, field), plain) << field;
        EXPECT_EQ(brush(demand, field), plain) << field;
        // Selected, the line keeps the selection's background under its white text.
        EXPECT_EQ(brush(supply, field, true), plain) << field;
    }
    for (const char* field : {"ItmName", "ItmMinQty", "BalInvQty"})
        EXPECT_EQ(brush(supply, field), plain) << field;
}

// Not a test of behaviour: with KORVANE_ALLOT_SHOT set to a file name, the
// tree on the demo run is shown with the fan's order opened two levels and
// grabbed into that file.
TEST(AllotDemo, Screenshot)
{
    const QString file = QProcessEnvironment::systemEnvironment().value("KORVANE_ALLOT_SHOT");
    if (file.isEmpty())
        GTEST_SKIP() << "no screenshot asked for";
    Harness h(demoSchemeAfterRun());
    h.window.setWindowTitle("供需分配 - " + demoSchemeAfterRun()->SchemeName);
    h.window.show();
    h.view->RefreshData(true);
    const QString fan = rows("select ItmNo from QZ_Base_ItemMaster where ItmID='IFG-2001'").value(0);
    kvui::TreeNode* so = topLine(h, "SO-202612-001", fan);
    ASSERT_TRUE(so);
    h.tree()->expandNode(so);
    for (kvui::TreeNode* c : so->children())
        if (c->hasChildren()) {
            h.tree()->expandNode(c);
            break;
        }
    h.tree()->setFocusedNode(so);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    EXPECT_TRUE(h.window.grab().save(file));
}
