// Main demand and a whole MRP run on the demo account set; low-level codes
// and the run log on small fixtures.
#include "AsNobody.h"
#include "PressEscape.h"
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "untMRP.h"

#include <QHash>
#include <QKeyEvent>
#include <QWidget>
#include <cmath>
#include <sys/stat.h>
#include <memory>

using namespace enginetest;

namespace {

class RunTest : public EngineDbTest {
protected:
    // The texts the run showed, in order.
    QStringList messages;
    TAddProcessMessageNodeProc collector()
    {
        return [this](TMessageKind kind, const QString& text, const QString&, const QVariant&, const QVariant&,
                      void* parent) -> void* {
            messages << QString::number(int(kind)) + (parent ? QStringLiteral(" > ") : QStringLiteral(" ")) + text.mid(20);
            return reinterpret_cast<void*>(quintptr(messages.size()));
        };
    }
    std::unique_ptr<TPlanScheme> demo()
    {
        auto s = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(s->Load(1));
        return s;
    }
    // The demo scheme's main demand fetched and MRP run on it, as it comes.
    void runDemo()
    {
        auto s = demo();
        ASSERT_TRUE(s->RunMPS(false, false));
        ASSERT_TRUE(s->Load(1));
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(s->RunMRP(false, false, false, collector())) << messages.join('\n').toStdString();
    }
};

} // namespace

TEST_F(RunTest, DemoSchemeRunsEndToEnd)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(s->RunMRP(false, false, false, collector())) << messages.join('\n').toStdString();
    EXPECT_TRUE(boxes.shown.empty());

    // State, stamps and the run log.
    EXPECT_EQ(rows("select SchState, SchMrpCalIID, SchMrpPeriods from QZ_MRP_Schemes where SchIID=1"),
              QStringList{"6|1|46391|46398|46405|46412|46419|46426|46433|46440|46447|46454|46461|46468|46475|46482|"});
    EXPECT_EQ(value("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMrpRunTime is not null and SchMrpUpdTime is null"),
              "1");
    EXPECT_TRUE(messages.contains("1 运算第1层（共5层）物料需求计划..."));
    EXPECT_TRUE(messages.contains("1 运算第5层（共5层）物料需求计划..."));
    EXPECT_EQ(messages.count("1 > 展开BOM, 准备下层物料毛需求..."), 4);
    EXPECT_EQ(messages.last(), "1 执行完成。");
    EXPECT_EQ(value("select LogText from QZ_MRP_RunLog where LogSchIID=1 and LogIID=(select max(LogIID) from QZ_MRP_RunLog "
                    "where LogSchIID=1)"),
              "执行完成。");
    EXPECT_EQ(value("select count(*) from QZ_MRP_RunLog where LogSchIID=1"), QString::number(messages.size()));

    // Floor fan: orders 120 + 500, forecasts 150 + 200, 30 in stock. The stock
    // serves the first order line; one planned production of 970 - 30 = 940 is
    // due with the first uncovered need (2027-01-22, a Friday) and starts two
    // working days earlier.
    EXPECT_EQ(rows("select SupQty, SupAllotQty, SupRestQty, convert(char(8),SupDate,112), convert(char(8),SupDrawDate,112), "
                   "SupLeadDays, SupBomID from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-2001' and SupBillType=42"),
              QStringList{"940|940|0|20270122|20270120|2|B-FG-2001"});
    EXPECT_EQ(rows("select d.DmdBillID, d.DmdBillEntry, a.AltQty from QZ_MRP_Allots as a join QZ_MRP_Supplies as s on "
                   "s.SupSchIID=1 and s.SupIID=a.AltSupIID join QZ_MRP_Demands as d on d.DmdSchIID=1 and d.DmdIID=a.AltDmdIID "
                   "where a.AltSchIID=1 and s.SupItmID='IFG-2001' and s.SupBillType=16"),
              QStringList{"SO2612001|2|30"});
    EXPECT_EQ(rows("select BalSOQty, BalForQty, BalInvQty, BalQty, BalPMOQty, BalNetQty, BalEndQty from QZ_MRP_Balance where "
                   "BalSchIID=1 and BalItmID='IFG-2001'"),
              QStringList{"620|350|30|940|940|940|0"});

    // Gift set: 150 due Friday 2027-02-05, planned two working days earlier;
    // its colour box is bought seven working days before that (over a weekend).
    EXPECT_EQ(rows("select SupIID, SupQty, convert(char(8),SupDate,112), convert(char(8),SupDrawDate,112) from "
                   "QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-4001' and SupBillType=42")
                  .size(),
              1);
    const QString giftSupply = value("select SupIID from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-4001' and "
                                     "SupBillType=42");
    EXPECT_EQ(rows("select SupQty, convert(char(8),SupDate,112), convert(char(8),SupDrawDate,112) from QZ_MRP_Supplies "
                   "where SupSchIID=1 and SupItmID='IFG-4001' and SupBillType=42"),
              QStringList{"150|20270205|20270203"});
    EXPECT_EQ(rows("select DmdBillType, DmdNeedQty, convert(char(8),DmdDate,112), DmdPSupIID from QZ_MRP_Demands where "
                   "DmdSchIID=1 and DmdItmID='IPK-531'"),
              QStringList{"94|150|20270203|" + giftSupply});
    EXPECT_EQ(rows("select SupBillType, SupQty, convert(char(8),SupDate,112), convert(char(8),SupDrawDate,112), SupLeadDays "
                   "from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IPK-531'"),
              QStringList{"58|150|20270203|20270125|7"});

    // Screws: every demand (components, scrap, safety stock) less 8000 in
    // stock is uncovered; minimum 5000 and steps of 1000 round it up.
    EXPECT_EQ(rows("select DmdNeedQty, convert(char(8),DmdDate,112), DmdPriority from QZ_MRP_Demands where DmdSchIID=1 and "
                   "DmdItmID='IPT-601' and DmdBillType in (74, 80) order by DmdBillType"),
              (QStringList{"2000|20270103|98", "60|20270106|50"}));
    const double screwNeed = value("select sum(DmdNeedQty) from QZ_MRP_Demands where DmdSchIID=1 and DmdItmID='IPT-601'").toDouble();
    const double uncovered = screwNeed - 8000;
    const double planned = 5000 + std::ceil((uncovered - 5000) / 1000) * 1000;
    EXPECT_EQ(rows("select SupQty, SupAllotQty, SupRestQty from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IPT-601' and "
                   "SupBillType=58"),
              QStringList{QString::number(planned) + '|' + QString::number(uncovered) + '|' +
                          QString::number(planned - uncovered)});
    EXPECT_EQ(rows("select BalSafeQty, BalInvQty, BalPPOQty, BalEndQty from QZ_MRP_Balance where BalSchIID=1 and "
                   "BalItmID='IPT-601'"),
              QStringList{"2000|8000|" + QString::number(planned) + '|' + QString::number(planned - uncovered)});

    // Start dates before the horizon skip rest days too: the screws due on
    // Monday 2027-01-11 are bought seven working days earlier, over the
    // weekend and New Year's Day; no supply with a lead time starts on a rest day.
    EXPECT_EQ(rows("select convert(char(8),SupDate,112), convert(char(8),SupDrawDate,112) from QZ_MRP_Supplies where "
                   "SupSchIID=1 and SupItmID='IPT-601' and SupBillType=58"),
              QStringList{"20270111|20261230"});
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies join QZ_MRP_Holidays on CalIID=1 and CalHoliday=SupDrawDate "
                    "where SupSchIID=1 and SupBillType>=42 and SupLeadDays>0"),
              "0");

    // Stators: the motor-assembly order's line is planned on its own date
    // (2026-12-30) and sent to the item's subcontractor; the guards under the
    // planned productions go to theirs, not to a department.
    EXPECT_EQ(rows("select SupSuppID, isnull(SupDeptID,'-'), convert(char(8),SupDate,112), "
                   "convert(char(8),SupDrawDate,112) from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IPT-101' "
                   "and SupBillType=52"),
              QStringList{"S007|-|20261230|20261223"});
    EXPECT_EQ(rows("select distinct SupSuppID, isnull(SupDeptID,'-') from QZ_MRP_Supplies where SupSchIID=1 and "
                   "SupItmID in ('ISA-301', 'ISA-302') and SupBillType=52"),
              QStringList{"S003|-"});

    // Power cords: the negative stock is a demand and lowers the stock figure.
    EXPECT_EQ(rows("select DmdNeedQty from QZ_MRP_Demands where DmdSchIID=1 and DmdItmID='IPT-602' and DmdBillType=72"),
              QStringList{"20"});
    EXPECT_EQ(value("select BalInvQty from QZ_MRP_Balance where BalSchIID=1 and BalItmID='IPT-602'"), "-20");

    // Capacitors: the 500 of the second maker all serve demands of the first.
    EXPECT_EQ(rows("select sum(a.AltReplQty), min(d.DmdItmID), max(d.DmdItmID) from QZ_MRP_Allots as a join QZ_MRP_Supplies "
                   "as s on s.SupSchIID=1 and s.SupIID=a.AltSupIID join QZ_MRP_Demands as d on d.DmdSchIID=1 and "
                   "d.DmdIID=a.AltDmdIID where a.AltSchIID=1 and s.SupItmID='IPT-142' and a.AltIsRepl=1"),
              QStringList{"500|IPT-141|IPT-141"});
    EXPECT_EQ(value("select BalROutQty from QZ_MRP_Balance where BalSchIID=1 and BalItmID='IPT-142'"), "500");

    // Every stored planned supply serves a demand, and the work tables are gone.
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and isnull(SupAllotQty,0)<=0"),
              "0");
    EXPECT_EQ(value("select case when object_id('tempdb..#QZ_MRP_Demands') is null then 1 else 0 end"), "1");
}

// An order's quantity under inspection is the part of its open quantity that
// has arrived: production, outsourcing and purchase orders alike supply their
// open quantity, of which the inspected part is the supply's checked quantity.
TEST_F(RunTest, QuantitiesUnderInspectionLieInsideTheOrdersOpenQuantity)
{
    ASSERT_NO_FATAL_FAILURE(runDemo());
    EXPECT_EQ(rows("select SupBillNo, SupBillEntry, SupBillQty, SupQty, SupChkQty from QZ_MRP_Supplies where SupSchIID=1 and "
                   "SupBillType in (22, 24, 26) and SupChkQty>0 order by SupBillType"),
              (QStringList{"MO-202612-001|1|200|150|10", "OO-202612-001|1|400|400|100", "PO-202612-004|2|300|300|50"}));
    // 供需平衡 reads the checked quantity as part of the order's.
    EXPECT_EQ(rows("select BalItmID, BalMOQty, BalOOQty, BalPOQty, BalChkQty from QZ_MRP_Balance where BalSchIID=1 and "
                   "BalItmID in ('IFG-1001', 'ISA-301', 'IRM-102') order by BalItmID"),
              (QStringList{"IFG-1001|150|||10", "IRM-102|||300|50", "ISA-301||400||100"}));
    // The 16" table fan: orders 450, its share of the series forecast 1,320 and
    // a safety stock of 20, less 80 in stock and the order's 150 still to come
    // (not 140 beside 10 under inspection): 1,560 are planned.
    EXPECT_EQ(rows("select SupQty, SupAllotQty from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-1001' and "
                   "SupBillType=42"),
              QStringList{"1560|1560"});
}

// A planned supply is numbered as one: 'S-' and its identity, never the number
// of the order whose material it supplies (the planned colour boxes of the
// table-fan order's packaging kit are no "MO-202612-001").
TEST_F(RunTest, PlannedSuppliesCarryANumberOfTheirOwn)
{
    ASSERT_NO_FATAL_FAILURE(runDemo());
    EXPECT_GT(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42").toInt(), 0);
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and "
                    "(SupBillNo<>'S-'+cast(SupIID as nvarchar(8)) or SupBillEntry<>0)"),
              "0");
    // The colour boxes serve the packaging kit planned for the order's
    // material line, and that kit supply is numbered as a planned one too.
    EXPECT_EQ(rows("select distinct p.SupBillType, p.SupItmID, (case when p.SupBillNo='S-'+cast(p.SupIID as nvarchar(8)) "
                   "then 'own' else p.SupBillNo end) from QZ_MRP_Supplies as s join QZ_MRP_Demands as d "
                   "on d.DmdSchIID=1 and d.DmdIID=s.SupPDmdIID join QZ_MRP_Supplies as p on p.SupSchIID=1 and "
                   "p.SupIID=d.DmdPSupIID where s.SupSchIID=1 and s.SupBillType>=42 and s.SupItmID='IPK-511' and "
                   "d.DmdOrigNo='SO-202612-001'"),
              QStringList{"62|IPH-501|own"});
}

// The figures demo/README.md gives for a run on the demo account set as it
// comes are the program's.
TEST_F(RunTest, TheDemoReadmeFiguresAreTheRunsFigures)
{
    ASSERT_NO_FATAL_FAILURE(runDemo());
    // Main demand: six sales-order lines (1220), two export lines (800), five forecast lines (2550).
    EXPECT_EQ(rows("select ManBillType, count(*), sum(ManQty) from QZ_MRP_Main where ManSchIID=1 group by ManBillType "
                   "order by ManBillType"),
              (QStringList{"2|6|1220", "4|2|800", "8|5|2550"}));
    // Planned supplies by kind.
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42"), "62");
    EXPECT_EQ(rows("select SupBillType, count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and "
                   "SupItmID not in ('IFG-9001', 'IPH-501', 'IPH-502') group by SupBillType order by SupBillType"),
              (QStringList{"42|14", "52|4", "58|36"}));
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and SupItmID='IFG-9001'"), "3");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and SupItmID in "
                    "('IPH-501', 'IPH-502')"),
              "5");
    // Quantities in the item's decimals, and the lot rules.
    EXPECT_EQ(rows("select SupItmID, sum(SupQty) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and SupItmID in "
                   "('IPT-202', 'IPT-301', 'IRM-103', 'IPT-131', 'IPT-601') group by SupItmID order by SupItmID"),
              (QStringList{"IPT-131|7300", "IPT-202|5.75", "IPT-301|1297.3", "IPT-601|61000", "IRM-103|394.4"}));
    // Due before the horizon (the overdue period).
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1 and SupBillType>=42 and SupDate<'20270104'"), "13");
    // The substitute capacitors: two substitution rows.
    EXPECT_EQ(rows("select a.AltReplQty from QZ_MRP_Allots as a join QZ_MRP_Supplies as s on s.SupSchIID=1 and "
                   "s.SupIID=a.AltSupIID where a.AltSchIID=1 and s.SupItmID='IPT-142' and a.AltIsRepl=1 order by a.AltReplQty"),
              (QStringList{"150", "350"}));
}

TEST_F(RunTest, AFailingSaveKeepsThePreviousResult)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    const QStringList before = rows("select count(*), sum(SupQty) from QZ_MRP_Supplies where SupSchIID=1");
    const QString runTime = value("select convert(varchar(20), SchMrpRunTime, 120) from QZ_MRP_Schemes where SchIID=1");
    // The last statement of the next save collides with another scheme's log line.
    exec("delete QZ_MRP_RunLog where LogSchIID=1 and LogIID=5\r"
         "insert QZ_MRP_RunLog (LogSchIID, LogIID, LogIndent, LogKind, LogText, LogTime) values (99, 5, 0, 1, 'x', getdate())\r"
         "create unique index QZ_MRP_RunLogOne on QZ_MRP_RunLog (LogIID)\r"
         "update QZ_MRP_Schemes set SchState=3 where SchIID=1");
    ScriptedMessageBoxes boxes;
    messages.clear();
    EXPECT_FALSE(s->RunMRP(false, false, false, collector()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("MRP运算过程被中止（原因: ")) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(messages.last().startsWith("3 MRP运算过程被中止"));
    EXPECT_FALSE(messages.contains("1 执行完成。")) << "completion is told only after the commit";
    EXPECT_EQ(rows("select count(*), sum(SupQty) from QZ_MRP_Supplies where SupSchIID=1"), before);
    EXPECT_EQ(rows("select SchState, convert(varchar(20), SchMrpRunTime, 120) from QZ_MRP_Schemes where SchIID=1"),
              QStringList{"3|" + runTime});
    EXPECT_EQ(value("select case when object_id('tempdb..#QZ_MRP_Supplies') is null then 1 else 0 end"), "1");
}

TEST_F(RunTest, AMainDemandOnAReadOnlyAccountSetShowsTheDatabasesReason)
{
    // a connection of a user who may not write the account set's folder
    const QByteArray folder = QFile::encodeName(dbDir.path());
    ASSERT_EQ(chmod(QFile::encodeName(dbFile).constData(), 0666), 0);
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    TADOConnection readOnly;
    ApplyConnectionString(&readOnly, dbMSSQL, dbFile, QStringLiteral("KorvaneDemo"), QString(), QString(), QString(), false);
    {
        kvtest::AsNobody nobody;
        readOnly.Open();
    }
    chmod(folder.constData(), 0700);
    ASSERT_EQ(readOnly.ReadOnlyCause(), kvado::Driver::ReadOnlyCause::Folder);

    TPlanScheme s(&readOnly);
    ASSERT_TRUE(s.Load(1));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s.RunMPS(false, false));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("错误: Failed to update database")) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(boxes.shown[0].text.endsWith("(错误号: 3906)")) << boxes.shown[0].text.toStdString();
}

TEST_F(RunTest, AMainDemandRebuiltDuringTheRunDiscardsIt)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    auto inner = collector();
    const QString file = dbFile;
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->RunMRP(false, false, false, [&](TMessageKind k, const QString& t, const QString& p, const QVariant& a,
                                                     const QVariant& b, void* parent) {
        if (t.endsWith("保存物料需求运算结果数据..."))
            exec("update QZ_MRP_Schemes set SchMpsRunTime='20270105 10:00:00' where SchIID=1");
        return inner(k, t, p, a, b, parent);
    }));
    EXPECT_TRUE(messages.last().contains("最新状态已被改变")) << messages.last().toStdString();
    EXPECT_EQ(value("select count(*) from QZ_MRP_Supplies where SupSchIID=1"), "0");
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "2");
}

TEST_F(RunTest, EscDuringALevelStopsAfterTheQuestion)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDYES});
    auto inner = collector();
    QWidget target;
    EXPECT_FALSE(s->RunMRP(false, false, false, [&](TMessageKind k, const QString& t, const QString& p, const QVariant& a,
                                                     const QVariant& b, void* parent) {
        if (t.endsWith("运算第2层（共5层）物料需求计划...")) {
            kvtest::pressEscape(&target);
        }
        return inner(k, t, p, a, b, parent);
    }));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "您已按下[Esc]键, 中止正在执行的操作?");
    EXPECT_EQ(boxes.shown[1].text, "MRP运算过程被中止（原因: 按下[Esc]键中止操作）, 本次运算结果已取消!");
    EXPECT_FALSE(messages.contains("1 运算第3层（共5层）物料需求计划..."));
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "2");
}

TEST_F(RunTest, ADroppedConnectionEndsTheRunWithoutRaising)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    auto inner = collector();
    bool ok = true;
    EXPECT_NO_THROW(ok = s->RunMRP(false, false, false, [&](TMessageKind k, const QString& t, const QString& p,
                                                             const QVariant& a, const QVariant& b, void* parent) {
        if (t.endsWith("运算第2层（共5层）物料需求计划..."))
            GlobalADOConnection->Close();
        return inner(k, t, p, a, b, parent);
    }));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(boxes.shown.empty());
    GlobalADOConnection->Open();
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "2");
}

TEST_F(RunTest, BadMasterDataStopsTheRunNamingItemAndBom)
{
    exec("update QZ_MRP_ItemBOMLines set BomBaseQty=0 where BomID='B-FG-4001' and BomEntry=2");
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->RunMRP(false, false, false, collector()));
    EXPECT_TRUE(messages.contains("3 物料[FG-4001]的BOM[BOM-FG-4001]存在基础数量为0的子件行, 无法计算下层需求, 请修正BOM后重新运算!"))
        << messages.join('\n').toStdString();
    EXPECT_EQ(value("select count(*) from QZ_MRP_Demands where DmdSchIID=1"), "0");
}

TEST_F(RunTest, ABomLoopIsReportedByItemNumber)
{
    // The table fan's motor assembly made of table fans.
    exec("insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, BomLossRate, BomUntID, "
         "BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-SA-101', 99, 'IFG-1001', '', 1, 1, 0, 'PCS', 100, "
         "'LOOP', 0, 0)");
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->RunMRP(false, false, false, collector()));
    const int at = messages.indexOf("3 以下物料涉及BOM循环嵌套, 必须修正后才能继续!");
    ASSERT_GE(at, 0) << messages.join('\n').toStdString();
    ASSERT_GT(messages.size(), at + 2);
    EXPECT_TRUE(messages[at + 1].startsWith("3 > FG-1001 (")) << messages[at + 1].toStdString();
    EXPECT_TRUE(messages[at + 2].startsWith("3 > SA-101 (")) << messages[at + 2].toStdString();

    // Without a message callback the items go into an error box.
    boxes.shown.clear();
    EXPECT_FALSE(s->RunMRP(false, false, false));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("以下物料涉及BOM循环嵌套, 必须修正后才能继续!\rFG-1001 ("));
}

TEST_F(RunTest, AnEmptyStockListTakesEveryStock)
{
    exec("update QZ_MRP_Schemes set SchFilters='[QZ_MRP.Stocks]=' where SchIID=1");
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    // The 15 small table fans of the reject stock count too.
    EXPECT_EQ(value("select BalInvQty from QZ_MRP_Balance where BalSchIID=1 and BalItmID='IFG-1002'"), "15");
}

TEST_F(RunTest, EmptyMainDemandStillReachesState6)
{
    auto s = demo();
    s->PlanSource = 3;
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "6");
    EXPECT_GT(value("select count(*) from QZ_MRP_RunLog where LogSchIID=1").toInt(), 3);

    // Without a message callback a completed run logs nothing, not even its end.
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ASSERT_TRUE(s->RunMRP(false, false, false));
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "6");
    EXPECT_EQ(value("select count(*) from QZ_MRP_RunLog where LogSchIID=1"), "0");
}

// ---- Low-level codes and the run log on small fixtures --------------------

namespace {

class CodesTest : public EngineDbTest {
protected:
    void item(const QString& id)
    {
        exec(QStringLiteral("insert QZ_Base_ItemMaster (ItmID, ItmNo, ItmName, ItmSpec, ItmType, ItmTypeName, ItmUnitID, "
                            "ItmDecimal, ItmDisabled) values ('%1', '%1', '%1', '', 2, '自制', 'PCS', 0, 0)\r"
                            "insert QZ_MRP_ItemBOMs (BomType, BomID, BomNo, BomItmID, BomItmProps, BomOkRate, BomIsDefault, "
                            "BomStandalone, BomDate, Checked) values (0, 'B-%1', 'B-%1', '%1', '', 100, 1, 1, '20261101', 1)")
                 .arg(id));
    }
    void line(const QString& parent, const QString& child, int entry)
    {
        exec(QStringLiteral("insert QZ_MRP_ItemBOMLines (BomType, BomID, BomEntry, BomItmID, BomProps, BomQty, BomBaseQty, "
                            "BomLossRate, BomUntID, BomPercent, BomRowHook, BomOffsetDay, BomRole) values (0, 'B-%1', %3, "
                            "'%2', '', 1, 1, 0, 'PCS', 100, 'H', 0, 0)")
                 .arg(parent, child)
                 .arg(entry));
    }
    // Work tables with one demand of each product; the codes as "item=code".
    int codes(const QString& product, QStringList& out) { return codes(QStringList{product}, out); }
    int codes(const QStringList& products, QStringList& out)
    {
        q.SetConnection(GlobalADOConnection);
        CreateMRPWorkTables(&q, false, false);
        ExecSQLText(&q, QStringLiteral("if object_id('tempdb..#QZ_MRP_LastSupAdjusts') is not null\r"
                                       "drop table #QZ_MRP_LastSupAdjusts\r"
                                       "select SupItmID, SupItmProps, SupGroupType, SupGroupNo, SupTrackKey, SupBillType, "
                                       "SupBomType, SupBomID, SupAdjQty into #QZ_MRP_LastSupAdjusts from QZ_MRP_Supplies "
                                       "where 1=0"),
                    false, true, false);
        for (const QString& product : products)
            ExecSQLText(&q, QStringLiteral("insert #QZ_MRP_Demands (DmdPeriod, DmdBillType, DmdItmID, DmdNeedQty, DmdQty) "
                                           "values (1, 2, '%1', 1, 1)")
                                .arg(product),
                        false, true, false);
        const int r = CalcLowLevelCodes(&q, false, false);
        if (r >= 0)
            out = rows("select ItmID+'='+cast(LowestCode as varchar(3)) from #QZ_MRP_ItemLowestCode order by ItmID");
        else
            for (; !q.Eof(); q.Next())
                out << q.FieldByName("ItmNo")->AsString();
        return r;
    }
    TADOQuery q;
};

} // namespace

TEST_F(CodesTest, TwoComponentsOfAProduct)
{
    item("TP");
    item("TA");
    item("TB");
    line("TP", "TA", 1);
    line("TP", "TB", 2);
    QStringList out;
    EXPECT_EQ(codes("TP", out), 1);
    EXPECT_EQ(out, (QStringList{"TA=1", "TB=1", "TP=0"}));
}

TEST_F(CodesTest, AnItemUsedDirectlyAndThroughAComponentGoesDeepest)
{
    item("TP");
    item("TA");
    item("TX");
    line("TP", "TA", 1);
    line("TP", "TX", 2);
    line("TA", "TX", 1);
    QStringList out;
    EXPECT_EQ(codes("TP", out), 2);
    EXPECT_EQ(out, (QStringList{"TA=1", "TP=0", "TX=2"}));
}

TEST_F(CodesTest, AShortcutToTheBottomOfAChainStillGoesBelowTheChain)
{
    // TX is reached at once from TP and again at the end of TP-TA-TB-TC:
    // it first moves to 1 and later, step by step, below TC.
    for (const char* id : {"TP", "TA", "TB", "TC", "TX"})
        item(id);
    line("TP", "TX", 1);
    line("TP", "TA", 2);
    line("TA", "TB", 1);
    line("TB", "TC", 1);
    line("TC", "TX", 1);
    QStringList out;
    EXPECT_EQ(codes("TP", out), 4);
    EXPECT_EQ(out, (QStringList{"TA=1", "TB=2", "TC=3", "TP=0", "TX=4"}));
}

TEST_F(CodesTest, ALoopNamesItsItemsInOrder)
{
    item("TB");
    item("TA");
    line("TA", "TB", 1);
    line("TB", "TA", 1);
    QStringList out;
    EXPECT_EQ(codes("TA", out), -1);
    EXPECT_EQ(out, (QStringList{"TA", "TB"}));
}

TEST_F(CodesTest, ShapesOfBills)
{
    struct Case {
        const char* name;
        QStringList tops;
        QStringList lines;   // "parent>child"
        QStringList skipped; // items set to be left out of the run
        int highest;
        QStringList out; // "item=code", or the loop's items
    };
    const QList<Case> cases = {
        {"diamond", {"TP"}, {"TP>TL", "TP>TR", "TL>TX", "TR>TX"}, {}, 2, {"TL=1", "TP=0", "TR=1", "TX=2"}},
        {"component shared by two tops of different depth",
         {"TP1", "TP2"},
         {"TP1>TS", "TP2>TM", "TM>TS"},
         {},
         2,
         {"TM=1", "TP1=0", "TP2=0", "TS=2"}},
        // TK is left out; its bill is still read, but a component below a
        // left-out item is not pushed down by it.
        {"skipped item", {"TP"}, {"TP>TA", "TP>TK", "TK>TX"}, {"TK"}, 1, {"TA=1", "TP=0", "TX=0"}},
        {"one top is a component of the other", {"TP", "TA"}, {"TP>TA", "TA>TB"}, {}, 2, {"TA=1", "TB=2", "TP=0"}},
        // The line writes the item's key in other letters; the database still matches it.
        {"component key in other case", {"TA", "TP"}, {"TA>TB", "TP>ta"}, {}, 2, {"TA=1", "TB=2", "TP=0"}},
        {"loop reached from two tops",
         {"TP1", "TP2"},
         {"TP1>TA", "TP2>TB", "TA>TB", "TB>TC", "TC>TA", "TC>TD"},
         {},
         -1,
         {"TA", "TB", "TC"}},
    };
    QStringList made;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString& id : made)
            exec(QStringLiteral("delete QZ_MRP_ItemBOMLines where BomID='B-%1'\rdelete QZ_MRP_ItemBOMs where BomID='B-%1'\r"
                                "delete QZ_Base_ItemMaster where ItmID='%1'\rdelete QZ_MRP_ItemSetting where ItmID='%1'")
                     .arg(id));
        made.clear();
        QHash<QString, int> entries;
        for (const QString& l : c.lines)
            for (const QString& id : l.split('>'))
                if (!made.contains(id, Qt::CaseInsensitive)) {
                    item(id);
                    made << id;
                }
        for (const QString& l : c.lines) {
            const QStringList pc = l.split('>');
            line(pc[0], pc[1], ++entries[pc[0]]);
        }
        for (const QString& id : c.skipped)
            exec(QStringLiteral("insert QZ_MRP_ItemSetting (ItmID, ItmMrpSkip) values ('%1', 1)").arg(id));
        QStringList out;
        EXPECT_EQ(codes(c.tops, out), c.highest);
        EXPECT_EQ(out, c.out);
        q.Close();
    }
}

TEST_F(CodesTest, RunLogLinesAreCutToTheirColumn)
{
    q.SetConnection(GlobalADOConnection);
    CreateMRPWorkTables(&q, false, false);
    QStringList shown;
    TMRPRunLog log;
    log.Query = &q;
    log.AddMsgProc = [&](TMessageKind, const QString& text, const QString&, const QVariant&, const QVariant&, void* parent) {
        shown << QString(parent ? "> " : "") + text.mid(20);
        return reinterpret_cast<void*>(quintptr(7));
    };
    AddRunLog(log, mkInformation, QString(600, QChar(u'长')), false);
    AddRunLog(log, mkWarning, "detail", true);
    EXPECT_EQ(rows("select len(LogText), LogKind, LogIndent from #QZ_MRP_RunLog order by LogIID"),
              (QStringList{"500|1|False", "6|2|True"}));
    EXPECT_EQ(shown, (QStringList{QString(500, QChar(u'长')), "> detail"}));
    EXPECT_EQ(log.LastMainNode, reinterpret_cast<void*>(quintptr(7)));
}

TEST_F(RunTest, NeedScopesRunLevelByLevel)
{
    // Main demand with its explosion and pending issues of the same items; then
    // the gross variant with substitutes.
    exec(QStringLiteral("update QZ_MRP_MOBOM set BomNote=(case when BomEntry=1 then '定子先到' else null end), "
                        "MONote='急单' where BomID='MB2612002-1'"));
    for (int scope : {2, 4}) {
        exec(QStringLiteral("update QZ_MRP_Schemes set SchNeedScope=%1, SchState=0, SchMrpRunTime=null where SchIID=1").arg(scope));
        auto s = demo();
        ASSERT_TRUE(s->RunMPS(false, false));
        ASSERT_TRUE(s->Load(1));
        messages.clear();
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(s->RunMRP(false, false, false, collector())) << scope << messages.join('\n').toStdString();
        EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "6");
        // With the net main demand the floor fan's stock serves it as when every
        // item is planned; the gross main demand is planned whole.
        EXPECT_EQ(value("select SupQty from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-2001' and SupBillType=42"),
                  scope == 2 ? "940" : "970");
        // A material line of an open order notes the line, then the order.
        EXPECT_EQ(rows("select DmdBillEntry, DmdNote from QZ_MRP_Demands where DmdSchIID=1 and DmdBillType=84 and "
                       "DmdBillID='MB2612002-1' and DmdBillEntry in (1, 2) order by DmdBillEntry"),
                  (QStringList{"1|定子先到  急单", "2|  急单"}))
            << scope;
    }
}

TEST_F(RunTest, ShortageAnalysisReadsOrdersTiedOrFreeOnce)
{
    for (int source : {0, 1}) {
        auto s = demo();
        s->SchemeIID = 0;
        s->PlanType = 2;
        s->PlanSource = source;
        s->SchemeName = QStringLiteral("缺料分析%1").arg(source);
        ASSERT_TRUE(s->Save());
        ASSERT_TRUE(s->RunMPS(false, false));
        ASSERT_TRUE(s->Load(s->SchemeIID));
        messages.clear();
        ScriptedMessageBoxes boxes;
        ASSERT_TRUE(s->RunMRP(false, false, false, collector())) << messages.join('\n').toStdString();
        const int iid = s->SchemeIID;
        EXPECT_EQ(value(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)), "6");
        EXPECT_GT(value(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1 and SupBillType=22").arg(iid))
                      .toInt(),
                  0);
        EXPECT_EQ(value(QStringLiteral("select count(*) from (select SupBillID, SupBillEntry from QZ_MRP_Supplies where "
                                       "SupSchIID=%1 and SupBillType in (22, 24) group by SupBillType, SupBillID, "
                                       "SupBillEntry having count(*)>1) as x")
                            .arg(iid)),
                  "0");
    }
}

TEST_F(RunTest, DemandsOrderedByTheirOriginalDocumentDate)
{
    InfoApplication->WriteSystemSettingAsBoolean("QZ_MRP", "DemandOrderByOrigDate", true, true);
    exec("update QZ_MRP_MOScrap set BomNote='BOM行备注', MONote='任务备注' where MspID='MS2701001'");
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ScriptedMessageBoxes boxes;
    ASSERT_TRUE(s->RunMRP(false, false, false, collector())) << messages.join('\n').toStdString();
    EXPECT_TRUE(s->DemandByOrigDate);
    // The scrap line names its order, order line and component line, then
    // carries its own, the component line's and the order's notes.
    EXPECT_EQ(value("select DmdNote from QZ_MRP_Demands where DmdSchIID=1 and DmdBillType=80"),
              "MO-202612-001/1/8  装配损坏  BOM行备注  任务备注");

    // The shortage analysis never orders by the original date.
    s->SchemeIID = 0;
    s->PlanType = 2;
    ASSERT_TRUE(s->Save());
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(s->SchemeIID));
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    EXPECT_FALSE(s->DemandByOrigDate);
}

TEST_F(RunTest, KeptQuantityAdjustmentsComeBack)
{
    auto s = demo();
    ASSERT_TRUE(s->RunMPS(false, false));
    ASSERT_TRUE(s->Load(1));
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    // The planner raised the floor fans' planned production by 60.
    const QString sup = value("select SupIID from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-2001' and SupBillType=42");
    exec(QStringLiteral("update QZ_MRP_Supplies set SupAdjQty=60, SupQty=1000 where SupSchIID=1 and SupIID=%1\r"
                        "insert QZ_MRP_SupAdjusts (AdjSchIID, AdjSupIID, AdjOldType, AdjOldBomID, AdjOldQty) values (1, %1, 42, "
                        "'B-FG-2001', 940)\r"
                        "update QZ_MRP_Schemes set SchMrpUpdTime='20270105 09:30:00' where SchIID=1")
             .arg(sup));
    ASSERT_TRUE(s->RunMRP(false, false, true, collector()));
    EXPECT_EQ(rows("select SupBillQty, SupAdjQty, SupQty, SupAllotQty from QZ_MRP_Supplies where SupSchIID=1 and "
                   "SupItmID='IFG-2001' and SupBillType=42"),
              QStringList{"940|60|1000|940"});
    EXPECT_EQ(value("select count(*) from QZ_MRP_SupAdjusts where AdjSchIID=1"), "1");
    EXPECT_EQ(value("select convert(varchar(20), SchMrpUpdTime, 120) from QZ_MRP_Schemes where SchIID=1"),
              "2027-01-05 09:30:00");
    // Without the flag the adjustment is gone.
    ASSERT_TRUE(s->RunMRP(false, false, false, collector()));
    EXPECT_EQ(value("select SupQty from QZ_MRP_Supplies where SupSchIID=1 and SupItmID='IFG-2001' and SupBillType=42"), "940");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMrpUpdTime is null"), "1");
}
