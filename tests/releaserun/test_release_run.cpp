// The release run on the demo account set with the planner logged in through
// the stand-in ERP: material lists exploded on the account set (nested lists
// of virtual sub-assemblies, substitutes, offsets in working days, refused
// bills of materials), and the whole road from a new scheme over main demand,
// MRP and release to saved ERP bills and a second MRP run.
#include "DemoLogin.h"
#include "DemoPlanning.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "ReleaseThroughDialog.h"
#include "dlgViewScheme.h"
#include "famDoResults.h"
#include "famMRPOutput.h"
#include "untLossRate.h"
#include "untMRP.h"
#include "untMRPCalendar.h"
#include "untMRPOutputBills.h"
#include "untMRPOutputOptions.h"
#include "untMRPSupplyBOM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QApplication>
#include <QKeyEvent>
#include <QRegularExpression>
#include <QTimer>
#include <QVBoxLayout>
#include <map>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using kvtest::DemoLogin;

namespace {

// A virtual kit inside the 16" packaging kit (itself virtual), and a virtual
// kit in the stator's bill: products three list levels deep. Also a virtual
// item whose bill holds itself and one whose bill line has base quantity 0.
void addTestBoms()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    kvtest::demoPlanningLogin();
    const QString item = QStringLiteral(
        "insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmSpec, ItmType, ItmTypeName, ItmUnitID, ItmInvUnitID, ItmProdUnitID, "
        "ItmBuyUnitID, ItmSaleUnitID, ItmDecimal, ItmDisabled) values ('%1', '%2', '%3', '', 5, '虚拟件', 'SET', 'SET', 'SET', 'SET', "
        "'SET', 0, 0)\n"
        "insert QZ_MRP_ItemSetting (ItmID, ItmMrpType, ItmMrpGroup, ItmMrpTrack, ItmPutLossType, ItmPutInteger, ItmMOBomSkip, "
        "ItmOOBomSkip, ItmMrpSkip, ItmSuitSkip, ItmOutSkip) values ('%1', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0)\n"
        "insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, BomStandalone, BomDate, "
        "Checked) values (0, 'B-%2', 'BOM-%2', '%1', '', 100, 1, 1, '20261101', 1)\n");
    const QString line = QStringLiteral(
        "insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, "
        "BomPercent, BomRowHook, BomOffsetDay, BomItmBomType, BomItmBomID, BomRole) values (0, '%1', %2, '%3', '', %4, %5, 0, 'PCS', "
        "100, '%1-%2', %6, %7, %8, 0)\n");
    QString sql = item.arg("IPH-503", "PH-503", "说明书袋") + item.arg("IPH-509", "PH-509", "循环套件")
        + item.arg("IPH-508", "PH-508", "零基数套件");
    sql += line.arg("B-PH-503").arg(1).arg("IPK-521").arg(2).arg(1).arg(0).arg("null", "null");
    sql += line.arg("B-PH-503").arg(2).arg("IPK-551").arg(1).arg(1).arg(1).arg("null", "null");
    sql += line.arg("B-PH-501").arg(6).arg("IPH-503").arg(1).arg(1).arg(0).arg("0", "'B-PH-503'");
    sql += line.arg("B-SA-301").arg(3).arg("IPH-503").arg(1).arg(1).arg(0).arg("0", "'B-PH-503'");
    sql += line.arg("B-PH-509").arg(1).arg("IPH-509").arg(1).arg(1).arg(0).arg("0", "'B-PH-509'");
    sql += line.arg("B-PH-508").arg(1).arg("IPK-521").arg(1).arg(0).arg(0).arg("null", "null");
    DemoLogin::instance().exec(sql);
}

struct ListedBill {
    IBillPtr bill;
    QStringList names;   // lists asked for, in order
};

// Runs one material list on a bill of the stand-in ERP.
struct BomFixture {
    TSupplyBOMRun run;
    TMRPOutputRec rec;
    BomFixture(int ABillType = 22)
    {
        addTestBoms();
        run.Query = GlobalADOQuery;
        run.Bill = InfoApplication->ERPAccess->NewBill(ABillType == 22 ? 10 : 8);
        run.SchemeIID = 1;
        run.BillType = ABillType;
        EXPECT_TRUE(LoadCalendarHolidays(1, run.Holidays, GlobalADOQuery, QDate(1899, 12, 30).daysTo(QDate(2026, 12, 1))));
    }
    TSupplyBOMCall call(const QString& AItem, const QString& ABom, double AQty, int AItemSubs = 2)
    {
        TSupplyBOMCall c;
        c.ItemID = AItem;
        c.BomID = ABom;
        c.SupIID = "-1";
        c.ListName = "1";
        c.Qty = AQty;
        c.DrawDate = QDate(2027, 1, 8);   // a Friday
        c.ItemSubs = AItemSubs;
        return c;
    }
    IRowListPtr list(const QString& AName) { return run.Bill->Details(AName); }
    QStringList items(const QString& AName)
    {
        QStringList r;
        IRowListPtr l = list(AName);
        for (int i = 0; i < l->GetCount(); ++i)
            r << l->GetRow(i)->GetValue("ItemID").toString();
        return r;
    }
    IValueListPtr row(const QString& AName, const QString& AItem)
    {
        IRowListPtr l = list(AName);
        for (int i = 0; i < l->GetCount(); ++i)
            if (l->GetRow(i)->GetValue("ItemID").toString() == AItem)
                return l->GetRow(i);
        return nullptr;
    }
};

QDate dateOf(const QVariant& v)
{
    return QDate(1899, 12, 30).addDays(qint64(v.toDouble()));
}

double num(const QVariant& v)
{
    return v.isNull() ? 0 : v.toDouble();
}

// A new scheme made from the demo's first one with its main demand fetched and
// MRP run, released through the release dialog as a planner does it: in
// place, output allowed, plan01 receiving it.
int releasedScheme(const QString& AName, TPlanScheme& AScheme)
{
    EXPECT_TRUE(AScheme.Load(1));
    AScheme.SchemeIID = 0;
    AScheme.SchemeName = AName;
    AScheme.PlanState = 0;
    EXPECT_TRUE(AScheme.Save());
    const int iid = DemoLogin::count("select max(SchIID) from QZ_MRP_Schemes");
    EXPECT_TRUE(AScheme.Load(iid));
    EXPECT_TRUE(AScheme.RunMPS(false, false));
    EXPECT_TRUE(AScheme.Load(iid));
    EXPECT_TRUE(AScheme.RunMRP(false, false, false));

    EXPECT_TRUE(kvtest::releaseThroughDialog(iid)) << "the finished scheme is offered for release";
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 8);
    return iid;
}

// The output view as the navigator opens it, in a window of its own.
struct OutputView {
    QWidget window;
    decltype(CreateInfoView<TMRPOutputFrame>(nullptr, nullptr)) view;
    TMRPOutputFrame* v = nullptr;
    OutputView()
    {
        window.resize(1380, 860);
        new QVBoxLayout(&window);
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(QStringLiteral("QZ_MRP.MRPOutput"));
        view = CreateInfoView<TMRPOutputFrame>(nullptr, def);
        view->SetParentControl(&window);
        view->InitializeView(QString(), nullptr);
        InfoApplication->ParseViewSchemeSQL(def, view->GetViewScheme(), GlobalADOQuery);
        view->RefreshData(true);
        v = view.get();
    }
};

// Whether a day is a rest day of the demo's standard calendar.
bool restDay(const QDate& ADay)
{
    return DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_Holidays where CalIID=1 and CalHoliday='%1'")
                                .arg(ADay.toString("yyyyMMdd")))
        > 0;
}

} // namespace

TEST(SupplyBOM, NestedListsOfVirtualSubAssemblies)
{
    BomFixture f;
    LoadSupplyBOM(f.run, f.rec, f.call("IFG-1001", "B-FG-1001", 10));
    EXPECT_EQ(f.items("1").size(), 10);
    IValueListPtr kit = f.row("1", "IPH-501");
    ASSERT_NE(kit, nullptr);
    EXPECT_EQ(kit->GetValue("SupBomSkip").toInt(), 2) << "a virtual item under a production order";
    EXPECT_EQ(kit->GetValue("SupBomBody").toString(), "1/9");
    EXPECT_EQ(kit->GetValue("SupIID").toString(), "-1") << "no planned supply in the scheme";
    EXPECT_EQ(f.row("1", "ISA-101")->GetValue("SupBomID").toString(), "") << "a made item gets its own order";
    EXPECT_EQ(f.items("1/9"), QStringList({"IPK-501", "IPK-511", "IPK-521", "IPK-541", "IPK-551", "IPH-503"}));
    EXPECT_EQ(f.row("1/9", "IPH-503")->GetValue("SupBomBody").toString(), "1/9/6");
    EXPECT_EQ(f.items("1/9/6"), QStringList({"IPK-521", "IPK-551"}));
    // Quantities carry down the levels; whole units round up.
    EXPECT_EQ(f.row("1/9", "IPK-541")->GetValue("PutDecimal").toInt(), 0);
    EXPECT_DOUBLE_EQ(f.row("1/9", "IPK-541")->GetValue("UnitQty").toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(f.row("1/9", "IPK-541")->GetValue("NetQty").toDouble(), 3) << "2.5 to no decimals";
    EXPECT_DOUBLE_EQ(f.row("1/9", "IPK-541")->GetValue("Qty").toDouble(), 3);
    EXPECT_DOUBLE_EQ(f.row("1/9/6", "IPK-521")->GetValue("Qty").toDouble(), 20);
    // One working day after Friday 2027-01-08 is Monday the 11th.
    EXPECT_EQ(dateOf(f.row("1/9/6", "IPK-551")->GetValue("DrawDate")), QDate(2027, 1, 11));
    EXPECT_EQ(dateOf(f.row("1/9/6", "IPK-521")->GetValue("DrawDate")), QDate(2027, 1, 8));
    EXPECT_EQ(f.row("1", "IPT-601")->GetValue("SupSubBody").toString(), "") << "no substitutes asked for";

    // Under a subcontract order the same virtual kit is listed below the stator.
    BomFixture o(24);
    LoadSupplyBOM(o.run, o.rec, o.call("ISA-301", "B-SA-301", 4));
    EXPECT_EQ(o.items("1"), QStringList({"IPT-301", "IPT-302", "IPH-503"}));
    EXPECT_EQ(o.items("1/3"), QStringList({"IPK-521", "IPK-551"}));
}

TEST(SupplyBOM, SubstitutesAsTheOptionAsks)
{
    struct Case {
        int itemSubs;
        QString supIIDs;
        bool listed;
    };
    // An earlier output of supply 9001 used the second capacitor for its
    // component line 6; supply 9002 has no such record.
    static bool recorded = false;
    if (!recorded) {
        recorded = true;
        addTestBoms();
        DemoLogin::instance().exec(
            "insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdPSupIID, DmdBillEntry, DmdItmID, DmdItmProps, DmdNeedQty, DmdQty) "
            "values (1, 9001, 0, 9001, 6, 'IPT-141', '', 10, 10)\n"
            "insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdPSupIID, DmdBillEntry, DmdItmID, DmdItmProps, DmdNeedQty, DmdQty) "
            "values (1, 9002, 0, 9002, 6, 'IPT-141', '', 10, 10)\n"
            "insert QZ_MRP_DestAlters (DstSchIID, DstSupIID, DstDmdIID, DstItmID, DstItmProps, DstQty) values (1, 9001, 9001, "
            "'IPT-142', '', 4)");
    }
    for (const Case& c : {Case{1, "", true}, Case{0, "", false}, Case{0, "9001", true}, Case{0, "9002", false},
                          Case{2, "9001", false}, Case{7, "", false}}) {
        SCOPED_TRACE(QStringLiteral("%1 %2").arg(c.itemSubs).arg(c.supIIDs).toStdString());
        BomFixture f;
        TSupplyBOMCall call = f.call("ISA-101", "B-SA-101", 10, c.itemSubs);
        call.SupIIDs = c.supIIDs;
        LoadSupplyBOM(f.run, f.rec, call);
        IValueListPtr cap = f.row("1", "IPT-141");
        ASSERT_NE(cap, nullptr);
        EXPECT_EQ(cap->GetValue("SupSubBody").toString(), c.listed ? "1/6R" : "");
        if (c.listed) {
            EXPECT_EQ(f.items("1/6R"), QStringList({"IPT-142"}));
            EXPECT_DOUBLE_EQ(f.row("1/6R", "IPT-142")->GetValue("Qty").toDouble(), 10);
            EXPECT_DOUBLE_EQ(f.row("1/6R", "IPT-142")->GetValue("SubRQty").toDouble(), 1);
        }
    }
}

TEST(SupplyBOM, ACyclicOrZeroBaseBillIsRefusedWithItsReason)
{
    BomFixture f;
    try {
        LoadSupplyBOM(f.run, f.rec, f.call("IPH-509", "B-PH-509", 1));
        FAIL() << "the cycle was not noticed";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "物料IPH-509的物料清单B-PH-509包含了它自身(循环引用), 无法展开用料!");
    }
    BomFixture z;
    try {
        LoadSupplyBOM(z.run, z.rec, z.call("IPH-508", "B-PH-508", 1));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "物料IPK-521在物料清单中的基础数量为0, 无法计算用料!");
    }
}

// Log in, make a scheme, fetch its main demand, run MRP, release it and output
// checked rows of every kind; then run MRP again.
TEST(ReleaseRun, FromANewSchemeToSavedBillsAndASecondRun)
{
    addTestBoms();
    ScriptedMessageBoxes boxes;
    // Subcontracting is output as bill type 24; material lists with all substitutes.
    InfoApplication->WriteSystemSettingAsBoolean("QZ_MRP", "OutputDirectOO", true, true);
    for (int type : {22, 24, 38}) {
        TMRPOutputOptions o;
        LoadMRPOutputOptions(type, o);
        o.OutPBoms = true;
        o.ItemSubs = 1;
        o.MaxRows = 3;
        o.EmployeeID = "E01";
        o.DepartmentID = "D01";
        SaveMRPOutputOptions(type, o);
    }

    TPlanScheme scheme(GlobalADOConnection);
    const int iid = releasedScheme(QStringLiteral("投放测试"), scheme);
    ASSERT_GT(iid, 1);

    OutputView ov;
    TMRPOutputFrame* v = ov.v;
    ASSERT_EQ(v->PlanScheme() ? v->PlanScheme()->SchemeIID : 0, iid);

    // One open supply of each target: the 16" fan (three list levels), the
    // stator (subcontracted) and a purchased part with its supplier.
    std::map<int, kvui::TreeNode*> picked;
    for (kvui::TreeNode* n : v->grdSupplies->topNodes()) {
        const int type = n->value(v->colSupDestType).toInt();
        const QString item = n->value(v->colSupItmID).toString();
        const bool wanted = (type == 22 && item == "IFG-1001") || (type == 24 && item == "ISA-301")
            || (type == 38 && !n->value(v->colSupDeptID).toString().isEmpty() && item == "IPT-121");
        if (wanted && !picked.count(type) && num(n->value(v->colSupDoDestQty)) > 0)
            picked[type] = n;
    }
    ASSERT_EQ(picked.size(), 3u);
    std::map<int, int> supplyOf;
    std::map<int, double> qtyOf;
    for (auto [type, n] : picked) {
        n->setCheckState(Qt::Checked);
        supplyOf[type] = n->value(v->colSupIID).toInt();
        qtyOf[type] = num(n->value(v->colSupDoDestQty));
    }
    // The capacitor's demand is partly met by its substitute.
    kvui::TreeNode* cap = nullptr;
    v->chkReplace->setChecked(true);
    v->btnOkClick();
    for (kvui::TreeNode* n : v->grdSupplies->topNodes())
        if (n->value(v->colSupItmID).toString() == "IPT-141" && n->stateIndex() == 1)
            cap = n;
    ASSERT_NE(cap, nullptr);
    // (the reload dropped the check marks)
    for (auto& [type, n] : picked) {
        for (kvui::TreeNode* m : v->grdSupplies->topNodes())
            if (m->value(v->colSupIID).toInt() == supplyOf[type])
                n = m;
        n->setCheckState(Qt::Checked);
    }
    ASSERT_TRUE(v->LoadSupplies(cap));
    kvui::TreeNode* demand = nullptr;
    for (int i = 0; i < cap->childCount(); ++i)
        if (cap->child(i)->childCount() > 0)
            demand = cap->child(i);
    ASSERT_NE(demand, nullptr);
    kvui::TreeNode* sub = demand->child(0);
    ASSERT_TRUE(v->ToggleNode(sub));
    const double subQty = num(sub->value(v->colSupDoDestQty));
    ASSERT_GT(subQty, 0);
    for (int i = 0; i < cap->childCount(); ++i)
        if (cap->child(i)->childCount() == 0 && cap->child(i) != demand)
            cap->child(i)->setValue(v->colSupDoDestQty, 0.0);
    cap->setCheckState(Qt::Checked);
    const int capIID = cap->value(v->colSupIID).toInt();

    boxes.answer({kvos::IDYES});
    const int billsBefore = DemoLogin::count("select count(*) from ERP_Bills");
    v->ExecCommand(v->ActionCommand(QStringLiteral("Output")));
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_TRUE(boxes.shown.last().text.startsWith(QStringLiteral("执行完成。\r\r共生成"))) << boxes.shown.last().text.toStdString();
    EXPECT_TRUE(boxes.shown.last().text.contains(QStringLiteral("0行失败保存, 0行未保存!"))) << boxes.shown.last().text.toStdString();

    // Bills of kinds 10, 8 and 4 (production and subcontract orders, purchase
    // requisitions), numbered, within the row caps.
    std::map<int, int> kinds;
    EXPECT_TRUE(ExecSQLText(GlobalADOQuery, QStringLiteral("select BillID, BillKind, BillNo, (select count(*) from ERP_BillRows as r "
                                                           "where r.BillID=b.BillID and r.ListName='Rows') as Rows from ERP_Bills as b "
                                                           "where BillID>%1")
                                                .arg(billsBefore),
                            true, false, false));
    for (GlobalADOQuery->First(); !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
        const int kind = GlobalADOQuery->FieldByName("BillKind")->AsInteger();
        ++kinds[kind];
        EXPECT_FALSE(GlobalADOQuery->FieldByName("BillNo")->AsString().isEmpty());
        EXPECT_LE(GlobalADOQuery->FieldByName("Rows")->AsInteger(), std::min<int>(3, InfoApplication->ERPAccess->GetMaxBillRows(kind)));
    }
    GlobalADOQuery->Close();
    EXPECT_GT(kinds[10], 0);
    EXPECT_GT(kinds[8], 0);
    EXPECT_GT(kinds[4], 0);

    // The supplies record the release; the substitute's share is kept.
    for (auto [type, supIID] : supplyOf) {
        SCOPED_TRACE(type);
        EXPECT_NEAR(DemoLogin::value(QStringLiteral("select SupDestQty from QZ_MRP_Supplies where SupSchIID=%1 and SupIID=%2")
                                         .arg(iid)
                                         .arg(supIID))
                        .toDouble(),
                    qtyOf[type], 1e-6);
        EXPECT_EQ(DemoLogin::value(QStringLiteral("select SupDester from QZ_MRP_Supplies where SupSchIID=%1 and SupIID=%2").arg(iid).arg(supIID))
                      .toString(),
                  "plan01");
        EXPECT_FALSE(DemoLogin::value(QStringLiteral("select SupDestTime from QZ_MRP_Supplies where SupSchIID=%1 and SupIID=%2").arg(iid).arg(supIID))
                         .isNull());
    }
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_DestAlters where DstSchIID=%1 and DstSupIID=%2 and "
                                              "DstItmID='IPT-142'")
                                   .arg(iid)
                                   .arg(capIID)),
              1);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), 9);

    // Production and subcontract orders carry their nested material lists.
    EXPECT_GT(DemoLogin::count("select count(*) from ERP_BillRows as r join ERP_Bills as b on r.BillID=b.BillID where "
                               "b.BillKind=10 and r.ListName like '%/9/6'"),
              0);
    EXPECT_GT(DemoLogin::count("select count(*) from ERP_BillRows as r join ERP_Bills as b on r.BillID=b.BillID where "
                               "b.BillKind=8 and r.ListName like '%/3'"),
              0);
    // The orders are open in the ERP's tables, their components issued from the leaves of the lists.
    EXPECT_GT(DemoLogin::count("select count(*) from QZ_MRP_MO where MOItmID='IFG-1001' and MOStatus='计划'"), 0);
    EXPECT_GT(DemoLogin::count("select count(*) from QZ_MRP_MOBOM as c join QZ_MRP_MO as m on c.MOID=m.MOID where "
                               "m.MOStatus='计划' and c.BomItmID='IPK-551'"),
              0);
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_MOBOM as c join QZ_MRP_MO as m on c.MOID=m.MOID where "
                               "m.MOStatus='计划' and c.BomItmID like 'IPH-%'"),
              0);
    EXPECT_GT(DemoLogin::count("select count(*) from QZ_MRP_OO where OOItmID='ISA-301' and OOStatus='计划'"), 0);
    // Purchase requisitions are requisitions, not orders.
    EXPECT_GT(DemoLogin::count("select count(*) from QZ_MRP_PR where PRItmID='IPT-121' and CanMRP=1"), 0);
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_PO where PONo like 'P_2%'"), 0);
    // Released dates fall on working days, not before today, and no line is
    // due after the supply it comes from.
    struct Line {
        const char* table;
        const char* p;
        bool drawn;
    };
    for (const Line& t : {Line{"QZ_MRP_MO", "MO", true}, Line{"QZ_MRP_OO", "OO", true}, Line{"QZ_MRP_PR", "PR", false}}) {
        SCOPED_TRACE(t.table);
        const QString sql = QStringLiteral("select convert(varchar(8), %1DelivDate, 112), %2, %1ItmID from %3 where %1No like '%1%4%%'")
                                .arg(t.p, t.drawn ? QStringLiteral("convert(varchar(8), %1DrawDate, 112)").arg(t.p) : QStringLiteral("''"), t.table,
                                     QDate::currentDate().toString("yyyyMMdd"));
        ASSERT_TRUE(ExecSQLText(GlobalADOQuery, sql, true, false, false));
        QList<QStringList> lines;
        for (GlobalADOQuery->First(); !GlobalADOQuery->Eof(); GlobalADOQuery->Next())
            lines << QStringList{GlobalADOQuery->Fields()->Field(0)->AsString(), GlobalADOQuery->Fields()->Field(1)->AsString(),
                                 GlobalADOQuery->Fields()->Field(2)->AsString()};
        GlobalADOQuery->Close();
        EXPECT_FALSE(lines.isEmpty());
        for (const QStringList& l : lines) {
            for (int i : {0, 1}) {
                if (l[i].isEmpty())
                    continue;
                const QDate d = QDate::fromString(l[i], "yyyyMMdd");
                EXPECT_FALSE(restDay(d)) << l[2].toStdString() << " " << l[i].toStdString();
                EXPECT_GE(d, QDate::currentDate()) << l[2].toStdString();
            }
            if (!l[1].isEmpty()) {
                EXPECT_LE(l[1], l[0]) << "drawn before it is due";
            }
        }
    }
    for (auto [type, supIID] : supplyOf) {
        const QString planned = DemoLogin::value(QStringLiteral("select convert(varchar(8), SupDate, 112) from QZ_MRP_Supplies where "
                                                                "SupSchIID=%1 and SupIID=%2")
                                                     .arg(iid)
                                                     .arg(supIID))
                                    .toString();
        const QString table = type == 22 ? "MO" : type == 24 ? "OO" : "PR";
        const QString item = type == 22 ? "IFG-1001" : type == 24 ? "ISA-301" : "IPT-121";
        const QString first = DemoLogin::value(QStringLiteral("select convert(varchar(8), min(%1DelivDate), 112) from QZ_MRP_%1 where "
                                                              "%1ItmID='%2' and %1No like '%1%3%%'")
                                                   .arg(table, item, QDate::currentDate().toString("yyyyMMdd")))
                                  .toString();
        EXPECT_LE(first, std::max(planned, QDate::currentDate().toString("yyyyMMdd"))) << type;
    }

    // The tree shows the release; after a reload the fully output supplies are gone.
    EXPECT_FALSE(picked[22]->isChecked());
    v->RefreshData(true);
    for (kvui::TreeNode* n : v->grdSupplies->topNodes())
        for (auto [type, supIID] : supplyOf)
            EXPECT_NE(n->value(v->colSupIID).toInt(), supIID) << type;

    // A second run plans nothing again for what was released.
    const auto planned = [&](const QString& AItem) {
        return DemoLogin::value(QStringLiteral("select sum(SupQty) from QZ_MRP_Supplies where SupSchIID=%1 and SupItmID='%2' and "
                                               "SupBillType in (42, 52, 58)")
                                    .arg(iid)
                                    .arg(AItem))
            .toDouble();
    };
    const double fanBefore = planned("IFG-1001"), statorBefore = planned("ISA-301"), partBefore = planned("IPT-121");
    ASSERT_TRUE(scheme.Load(iid));
    ASSERT_TRUE(scheme.RunMRP(false, false, false));
    EXPECT_NEAR(planned("IFG-1001"), fanBefore - qtyOf[22], 1e-6);
    EXPECT_NEAR(planned("ISA-301"), std::max(0.0, statorBefore - qtyOf[24]), 1e-6);
    EXPECT_NEAR(planned("IPT-121"), std::max(0.0, partBefore - qtyOf[38]), 1e-6);
}

TEST(ReleaseRun, OutputStartsOnlyOnAReleasedScheme)
{
    addTestBoms();
    // A close (10) or withdrawal (7) made while the bills were written stays.
    struct Case {
        int before, after;
    };
    for (const Case& c : {Case{8, 9}, Case{9, 9}, Case{10, 10}, Case{7, 7}}) {
        DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchState=%1 where SchIID=1").arg(c.before));
        ASSERT_TRUE(ExecSQLText(GlobalADOQuery, PlanStateOutputStartedSQL(1), false, false, false));
        EXPECT_EQ(DemoLogin::count("select SchState from QZ_MRP_Schemes where SchIID=1"), c.after) << c.before;
    }
    DemoLogin::instance().exec("update QZ_MRP_Schemes set SchState=0 where SchIID=1");
}

TEST(ReleaseRun, AFailingWriteBackStoresNoOrder)
{
    addTestBoms();
    const int bills = DemoLogin::count("select count(*) from ERP_Bills");
    const int orders = DemoLogin::count("select count(*) from QZ_MRP_MO");
    IBillPtr bill = InfoApplication->ERPAccess->NewBill(10);
    bill->Head()->SetValue("UserID", "plan01");
    IValueListPtr row = bill->Details("Rows")->Add();
    row->SetValue("ItemID", "IFG-1001");
    row->SetValue("StdQty", 5.0);
    row->SetValue("BomID", "B-FG-1001");
    // The supply's write-back meets an error: its block rolls the bill back.
    row->SetValue("WriteBackSQL", FormatWriteBack(SupplyWriteBackTemplate("plan01", QDateTime::currentDateTime(), 1),
                                                  {"", "1", "5.00000000", "'x'"})
                                      + "insert QZ_MRP_DestAlters (DstSchIID) values (1)\rif @@error<>0\rbegin\rrollback\rreturn\rend\r");
    QString error;
    EXPECT_FALSE(bill->Save(error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(DemoLogin::count("select count(*) from ERP_Bills"), bills);
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_MO"), orders);

    // Without the failing statement the order and its components are written.
    IBillPtr good = InfoApplication->ERPAccess->NewBill(10);
    IValueListPtr r = good->Details("Rows")->Add();
    r->SetValue("ItemID", "IFG-1001");
    r->SetValue("StdQty", 5.0);
    r->SetValue("BomID", "B-FG-1001");
    r->SetValue("Note", "100%1 备注");
    ASSERT_TRUE(good->Save(error)) << error.toStdString();
    const QString id = QStringLiteral("'10-%1'").arg(good->Head()->GetValue("BillID").toInt());
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_MO"), orders + 1);
    EXPECT_EQ(DemoLogin::value("select MONote from QZ_MRP_MO where MOID=" + id).toString(), "100%1 备注");
    EXPECT_EQ(DemoLogin::count("select count(*) from QZ_MRP_MOBOM where MOID=" + id), 10) << "the lines of its bill of materials";
    EXPECT_DOUBLE_EQ(DemoLogin::value("select BomQty from QZ_MRP_MOBOM where BomItmID='IPT-601' and MOID=" + id).toDouble(), 30);
}

// Esc during the output, answered 是: the bill being saved stays, nothing after
// it is written, the summary says what was saved and the list shows it without
// a reload. An Esc pressed before the output started asks nothing.
TEST(ReleaseRun, EscStopsTheOutputAfterTheBillBeingSaved)
{
    addTestBoms();
    TMRPOutputOptions o;
    LoadMRPOutputOptions(38, o);
    o.MaxRows = 1;
    o.ItemSubs = 2;
    o.EmployeeID = "E01";
    o.DepartmentID = "D01";
    SaveMRPOutputOptions(38, o);
    TPlanScheme scheme(GlobalADOConnection);
    const int iid = releasedScheme(QStringLiteral("中止测试"), scheme);
    OutputView ov;
    TMRPOutputFrame* v = ov.v;
    ASSERT_EQ(v->PlanScheme() ? v->PlanScheme()->SchemeIID : 0, iid);

    QList<kvui::TreeNode*> checked;
    for (kvui::TreeNode* n : v->grdSupplies->topNodes())
        if (n->value(v->colSupDestType).toInt() == 38 && !n->value(v->colSupDeptID).toString().isEmpty()
            && num(n->value(v->colSupDoDestQty)) > 0 && checked.size() < 4) {
            n->setCheckState(Qt::Checked);
            checked << n;
        }
    ASSERT_EQ(checked.size(), 4);

    const auto pressEsc = [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(v->grdSupplies, &press);
        QApplication::sendEvent(v->grdSupplies, &release);
    };
    pressEsc();   // left over from a cell edit before the output
    {
        // and one whose release never arrived (the box it closed was gone)
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(v->grdSupplies, &press);
    }

    QStringList boxes;
    int escQuestions = 0;
    const auto previous = kvos::setMessageBoxPresenter([&](const QString& AText, const QString&, unsigned AFlags) {
        boxes << AText;
        if (AText.contains(QStringLiteral("[Esc]"))) {
            ++escQuestions;
            return kvos::IDYES;
        }
        if (AText.contains(QStringLiteral("继续执行投放")))
            return kvos::IDYES;
        return kvos::defaultButtonOf(AFlags);
    });
    // Esc is pressed while the first bill is reported, as the run lets events in.
    const int before = DemoLogin::count("select count(*) from ERP_Bills");
    bool pressed = false;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (!pressed && DemoLogin::count("select count(*) from ERP_Bills") > before) {
            pressed = true;
            pressEsc();
        }
    });
    timer.start();
    v->ExecCommand(v->ActionCommand(QStringLiteral("Output")));
    timer.stop();
    kvos::setMessageBoxPresenter(previous);

    EXPECT_TRUE(pressed);
    EXPECT_EQ(escQuestions, 1) << "only the press during the run asks";
    EXPECT_EQ(DemoLogin::count("select count(*) from ERP_Bills"), before + 1);
    ASSERT_FALSE(boxes.isEmpty());
    // (each demand of a supply is a bill row of its own here)
    EXPECT_TRUE(boxes.last().startsWith(QStringLiteral("执行已被中止!\r\r共生成"))) << boxes.last().toStdString();
    EXPECT_TRUE(boxes.last().contains(QStringLiteral("其中1行成功保存(1张单据), 0行失败保存"))) << boxes.last().toStdString();
    int shownSaved = 0, inDatabase = 0;
    for (kvui::TreeNode* n : checked) {
        const bool saved = num(n->value(v->colSupDestQty)) > 0;
        shownSaved += saved ? 1 : 0;
        EXPECT_EQ(n->isChecked(), num(n->value(v->colSupDoDestQty)) > 0) << "checked while something is left to output";
        inDatabase += DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and SupIID=%2 and "
                                                      "SupDestQty>0")
                                           .arg(iid)
                                           .arg(n->value(v->colSupIID).toInt()));
    }
    EXPECT_EQ(shownSaved, 1);
    EXPECT_EQ(inDatabase, 1);
}

// The demo's planned purchases with the periods kept apart: one line per
// period, due on working days; the motor shaft PT-133 (planned 400, 370 and
// 320 for the weeks of 01-11, 01-18 and 01-25, seven working days of lead
// time) comes out as three lines due on those Mondays. The status line carries
// the release's text until the run ends, and then is cleared.
TEST(ReleaseRun, PlannedPurchasesReleaseOneLinePerPeriodOnWorkingDays)
{
    addTestBoms();
    TMRPOutputOptions o;
    LoadMRPOutputOptions(38, o);
    o.MergePeriods = false;
    o.MaxRows = 1;   // a result line per bill: more lines than the pane shows
    o.EmployeeID = "E01";
    o.DepartmentID = "D01";
    ASSERT_TRUE(SaveMRPOutputOptions(38, o));
    TPlanScheme scheme(GlobalADOConnection);
    const int iid = releasedScheme(QStringLiteral("分期投放"), scheme);
    OutputView ov;
    TMRPOutputFrame* v = ov.v;
    ASSERT_EQ(v->PlanScheme() ? v->PlanScheme()->SchemeIID : 0, iid);
    int checked = 0;
    for (kvui::TreeNode* n : v->grdSupplies->topNodes())
        if (n->value(v->colSupDestType).toInt() == 38 && !n->value(v->colSupDeptID).toString().isEmpty()
            && num(n->value(v->colSupDoDestQty)) > 0) {
            n->setCheckState(Qt::Checked);
            ++checked;
        }
    ASSERT_GT(checked, 0);

    static QStringList status;
    status.clear();
    const auto previousStatus = InfoApplication->ShowStatusMessageProc;
    InfoApplication->ShowStatusMessageProc = [](const QString& AText, TShowStatusMessageKind AKind) {
        if (AKind == mkHint)
            status << AText;
    };
    ScriptedMessageBoxes boxes;
    const auto previous = kvos::setMessageBoxPresenter([&](const QString& AText, const QString&, unsigned AFlags) {
        if (AText.contains(QStringLiteral("继续执行投放")))
            return kvos::IDYES;
        return kvos::defaultButtonOf(AFlags);
    });
    // Whenever the run lets events in while bills are written, the result
    // pane shows its newest line.
    int samples = 0, newest = 0;
    QTimer follow;
    follow.setInterval(0);
    QObject::connect(&follow, &QTimer::timeout, [&] {
        if (!v->Resulter())
            return;
        kvui::TreeNode* f = v->Resulter()->grdResults->focusedNode();
        if (!f || !f->parent() || !f->parent()->value(v->Resulter()->colText).toString().startsWith(QStringLiteral("投放生成目标单据")))
            return;
        ++samples;
        kvui::TreeList* g = v->Resulter()->grdResults;
        const int row = g->rowOfNode(f);
        if (f == f->parent()->child(f->parent()->childCount() - 1) && row >= 0
            && g->viewport()->rect().contains(g->rowRect(row)))
            ++newest;
    });
    follow.start();
    v->ExecCommand(v->ActionCommand(QStringLiteral("Output")));
    follow.stop();
    kvos::setMessageBoxPresenter(previous);
    InfoApplication->ShowStatusMessageProc = previousStatus;
    EXPECT_GT(samples, 0);
    EXPECT_EQ(newest, samples);

    const QString running = QStringLiteral("正在投放计划数据, 按[Esc]键可以中止...");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.first(), running);
    EXPECT_EQ(status.last(), QString()) << "cleared at the end";
    EXPECT_EQ(status.mid(1, status.size() - 2).filter(QRegularExpression("^$")).size(), 0)
        << "nothing clears the release's text while it runs: " << status.join("|").toStdString();

    ASSERT_NE(v->LastRun(), nullptr);
    QStringList shaft;
    QMap<QString, int> linesOfPeriod;
    for (const TMRPOutputRec& r : v->LastRun()->Records()) {
        EXPECT_FALSE(restDay(r.SupDate)) << r.SupItmNo.toStdString() << " due " << r.SupDate.toString("MM-dd").toStdString();
        EXPECT_FALSE(restDay(r.SupDrawDate)) << r.SupItmNo.toStdString() << " starts " << r.SupDrawDate.toString("MM-dd").toStdString();
        EXPECT_LE(r.SupDrawDate, r.SupDate);
        const QString key = r.SupItmID + u'|' + r.SupSuppID + u'|'
            + QString::number(FindPlanPeriodIndex(v->PlanScheme()->MrpPeriods, double(QDate(1899, 12, 30).daysTo(r.SupDate))));
        EXPECT_EQ(++linesOfPeriod[key], 1) << "one line per period: " << key.toStdString();
        if (r.SupItmID == QLatin1String("IPT-133"))
            shaft << QStringLiteral("%1@%2/%3").arg(r.SupStdQty).arg(r.SupDate.toString("MM-dd"), r.SupDrawDate.toString("MM-dd"));
    }
    // What the shaft's planned purchase asks for, period by period: each on its
    // period's Monday, started seven working days before.
    ASSERT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and SupItmID='IPT-133' and "
                                              "SupBillType=58").arg(iid)),
              1);
    TADOQuery q;
    q.SetConnection(GlobalADOConnection);
    ASSERT_TRUE(ExecSQLText(&q, QStringLiteral("select SupHints from QZ_MRP_Supplies where SupSchIID=%1 and SupItmID='IPT-133' and "
                                               "SupBillType=58").arg(iid), true, false, false));
    const QString hints = q.Fields()->Field(0)->AsString();
    q.Close();
    TInt64DynArray holidays;
    for (QDate d(2026, 11, 1); d <= QDate(2027, 12, 31); d = d.addDays(1))
        if (restDay(d))
            holidays.push_back(DayOfDate(d));
    QStringList expected;
    for (const THintEntry& e : ParseHints(hints)) {
        const TPlanPeriod& p = v->PlanScheme()->MrpPeriods[size_t(e.Period)];
        const std::int64_t due = WorkDayOnOrAfter(holidays, std::int64_t(p.DateBegin));
        expected << QStringLiteral("%1@%2/%3").arg(e.Qty).arg(DateOfDay(due).toString("MM-dd"),
                                                              DateOfDay(LeadTimeStart(holidays, 7, due)).toString("MM-dd"));
    }
    EXPECT_EQ(shaft, expected) << hints.toStdString();
}

// A database that refuses the output options shows one error box, not one per setting.
TEST(ReleaseRun, OptionsTheDatabaseRefusesShowOneBox)
{
    addTestBoms();
    TMRPOutputOptions o;
    LoadMRPOutputOptions(38, o);
    ExecSQLText(GlobalADOQuery, "select * into QZ_SYS_UserSettingsAway from QZ_SYS_UserSettings\rdrop table QZ_SYS_UserSettings",
                false, false, true);
    int errors = 0;
    const auto previous = kvos::setMessageBoxPresenter([&](const QString&, const QString&, unsigned AFlags) {
        ++errors;
        return kvos::defaultButtonOf(AFlags);
    });
    const bool saved = SaveMRPOutputOptions(38, o);
    kvos::setMessageBoxPresenter(previous);
    ExecSQLText(GlobalADOQuery, "select * into QZ_SYS_UserSettings from QZ_SYS_UserSettingsAway\rdrop table QZ_SYS_UserSettingsAway",
                false, false, true);
    EXPECT_FALSE(saved);
    EXPECT_EQ(errors, 1);
}
