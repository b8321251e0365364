// The supply plan view on a small scheme of hand-made rows: which cells each
// kind of supply lets the planner edit, a scheme without MRP periods, and a
// save in an account set of an older layout whose MRP group numbers may be
// null (the supply and its balance row then still meet).
#include "SuppliesHarness.h"
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "dlgViewScheme.h"

#include <QComboBox>
#include <QFile>
#include <QRegularExpression>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace suppliestest;
using kvtest::DemoLogin;

namespace {

// The demo's create statement of a table, with its group number nullable.
QString olderLayout(const QString& ATable, const QString& AGroupColumn)
{
    QFile f(QStringLiteral(":/demo/schema/02_mrp.sql"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const QRegularExpression table(QStringLiteral("create table %1 \\((.*?)\\n\\)").arg(ATable),
                                   QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = table.match(text);
    EXPECT_TRUE(m.hasMatch()) << ATable.toStdString();
    QString create = m.captured(0);
    const QString strict = AGroupColumn + QStringLiteral(" nvarchar(100) not null default('')");
    EXPECT_TRUE(create.contains(strict)) << ATable.toStdString();
    return create.replace(strict, AGroupColumn + QStringLiteral(" nvarchar(100) null"));
}

// Scheme 1 without a run: no MRP periods; its supplies and one balance row
// written by hand, every group number null.
TPlanScheme* handScheme()
{
    static std::unique_ptr<TPlanScheme> scheme;
    if (!scheme) {
        kvtest::demoPlanningLogin();
        const QString sup = QStringLiteral(
            "insert QZ_MRP_Supplies (SupSchIID, SupIID, SupPeriod, SupBillType, SupBillNo, SupGroupNo, SupItmID, SupItmProps, "
            "SupDate, SupDrawDate, SupBillQty, SupQty, SupAllotQty, SupRestQty, SupBomLocked, SupBomType, SupBomID, "
            "SupHints, SupPHints) values (1, ");
        DemoLogin::instance().exec(
            QStringLiteral("drop table QZ_MRP_Supplies\rdrop table QZ_MRP_Balance\r") +
            olderLayout(QStringLiteral("QZ_MRP_Supplies"), QStringLiteral("SupGroupNo")) + u'\r' +
            olderLayout(QStringLiteral("QZ_MRP_Balance"), QStringLiteral("BalGroupNo")) + u'\r' +
            sup + "1, 0, 58, 'PLN-1', null, 'IRM-201', '', '20270111', '20270104', 100, 100, 0, 100, 0, 0, null, '01=100', '01=100')\r" +
            sup + "2, 0, 42, 'PLN-2', null, 'ISA-101', '', '20270111', '20270104', 50, 50, 50, 0, 0, 0, 'B-SA-101', null, null)\r" +
            sup + "3, 0, 42, 'PLN-3', null, 'ISA-102', '', '20270111', '20270104', 50, 50, 50, 0, 1, 0, 'B-SA-102', null, null)\r" +
            sup + "4, 0, 52, 'PLN-4', null, 'ISA-301', '', '20270111', '20270104', 50, 50, 50, 0, 0, 0, 'B-SA-301', null, null)\r" +
            sup + "5, 0, 34, 'MR-1', null, 'ISA-201', '', '20270111', '20270104', 50, 50, 50, 0, 0, 0, 'B-SA-201', null, null)\r" +
            sup + "6, 0, 36, 'OR-1', null, 'ISA-302', '', '20270111', '20270104', 50, 50, 50, 0, 1, 0, 'B-SA-302', null, null)\r" +
            sup + "7, 0, 22, 'MO-1', null, 'ISA-202', '', '20270111', '20270104', 50, 50, 50, 0, 0, 0, 'B-SA-202', null, null)\r" +
            sup + "8, 0, 64, 'PLN-8', null, 'IPH-501', '', '20270111', '20270104', 50, 50, 50, 0, 0, 0, 'B-PH-501', null, null)\r" +
            sup + "9, 0, 16, 'STK', null, 'IPT-601', '', '20270111', null, 80, 80, 0, 80, 0, 0, null, null, null)\r" +
            "insert QZ_MRP_Balance (BalSchIID, BalIID, BalGroupType, BalGroupNo, BalItmID, BalItmProps, BalPPOQty, BalQty, "
            "BalEndQty) values (1, 1, 0, null, 'IRM-201', '', 100, 100, 100)\r" +
            "update QZ_MRP_Schemes set SchState=6 where SchIID=1");
        scheme = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(scheme->Load(1));
        scheme->MrpPeriods.clear();
    }
    return scheme.get();
}

} // namespace

TEST(SupplyRows, EditableCellsByKindOfSupply)
{
    SuppliesHarness h(handScheme());
    ScriptedMessageBoxes boxes;
    h.view->cboPlanType->setCurrentIndex(9);
    // No MRP periods, no period columns.
    EXPECT_TRUE(h.view->PeriodCols().empty());
    ASSERT_EQ(h.view->SupplyRowCount(), 9);
    TMRPSuppliesFrame* v = h.view.get();
    const struct {
        int supIID;
        const char* kind;
        bool typeAndQty;
        bool bom;
    } cases[] = {
        {1, "planned purchase", true, false},
        {2, "planned production", true, true},
        {3, "planned production, BOM locked", true, false},
        {4, "planned outsourcing", true, true},
        {5, "production request", false, true},
        {6, "outsourcing request, BOM locked", false, false},
        {7, "production order", false, false},
        {8, "skipped level", false, false},
        {9, "stock", false, false},
    };
    for (const auto& c : cases) {
        const int r = h.recordOf(c.supIID);
        ASSERT_GE(r, 0) << c.kind;
        for (kvui::Column* column : {v->colSupBillType, v->colSupQty, v->colSupAdjQty})
            EXPECT_EQ(v->IsCellEditable(r, column), c.typeAndQty) << c.kind << " " << column->objectName().toStdString();
        EXPECT_EQ(v->IsCellEditable(r, v->colSupBOM), c.bom) << c.kind;
        for (kvui::Column* column : {v->colSupDate, v->colSupDrawDate, v->colSupItmNo, v->colSupAllotQty, v->colSupRestQty})
            EXPECT_FALSE(v->IsCellEditable(r, column)) << c.kind << " " << column->objectName().toStdString();
    }
    // Outside edit mode the grid takes no edit at all.
    EXPECT_FALSE(h.edit(1, v->colSupQty, 5));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(SupplyRows, ARowWithoutGroupNumberIsSaved)
{
    TPlanScheme* scheme = handScheme();
    SuppliesHarness h(scheme);
    ScriptedMessageBoxes boxes;
    h.view->cboPlanType->setCurrentIndex(9);
    h.view->ExecCommand(h.action("Update"));
    ASSERT_TRUE(h.view->GetEditMode());
    ASSERT_TRUE(h.edit(1, h.view->colSupQty, 120));
    EXPECT_TRUE(h.view->SaveData());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.shown.first().text.toStdString();
    EXPECT_EQ(DemoLogin::value("select SupQty from QZ_MRP_Supplies where SupSchIID=1 and SupIID=1").toDouble(), 120);
    EXPECT_EQ(DemoLogin::value("select BalPPOQty from QZ_MRP_Balance where BalSchIID=1 and BalItmID='IRM-201'").toDouble(), 120);
    EXPECT_EQ(DemoLogin::value("select BalEndQty from QZ_MRP_Balance where BalSchIID=1 and BalItmID='IRM-201'").toDouble(), 120);
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_SupAdjusts where AdjSchIID=1 and AdjSupIID=1 and AdjPending=0"), 1);
    // A planned purchase's quantity changes nothing below it: the state stays.
    EXPECT_EQ(DemoLogin::count("select SchState from QZ_MRP_Schemes where SchIID=1"), 6);
    h.view->ExecCommand(h.action("Update"));
    EXPECT_FALSE(scheme->Editing);
}
