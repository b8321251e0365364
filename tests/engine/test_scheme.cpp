// The plan scheme's row, the planning SELECT builders over the demo's info
// objects and the main demand, on a fresh demo account set.
#include "EngineDbFixture.h"
#include "ScriptedMessageBoxes.h"
#include "untInfoObjectDef.h"
#include "untMRP.h"
#include "untMRPUtils.h"

#include <memory>

using namespace enginetest;
using untMRPUtils::DayToDateStr;

namespace {

constexpr int kDemoScheme = 1;

QString TranslateForTest(TInfoObjectDef*, const QString& code, TADOQuery*)
{
    return QStringLiteral("XL(") + code + u')';
}

// Periods from day numbers: the begins of the normal periods and of the exceed period.
TPlanPeriods Periods(const QString& text)
{
    TPlanPeriods p;
    TextToPlanPeriods(text, p);
    return p;
}

class SchemeTest : public EngineDbTest {
protected:
    std::unique_ptr<TPlanScheme> loadDemo()
    {
        auto s = std::make_unique<TPlanScheme>(GlobalADOConnection);
        EXPECT_TRUE(s->Load(kDemoScheme));
        return s;
    }
};

} // namespace

TEST_F(SchemeTest, LoadReadsTheRowAndRefusesAnotherType)
{
    auto s = loadDemo();
    EXPECT_EQ(s->SchemeName, "2027年第一季度MRP");
    EXPECT_EQ(s->Creater, "王计划");
    EXPECT_EQ(s->PlanPeriods.size(), 15u); // delay, 13 weeks, exceed
    EXPECT_EQ(DayToDateStr(untMRPUtils::DateToDay(GetPlanBeginDate(s->PlanPeriods))), "20270104");
    EXPECT_EQ(s->PlanState, psWaitMainDemand);
    EXPECT_EQ(s->GetPlanStateText(), "待获取主需求数据");
    EXPECT_EQ(s->CareItemSafety, 2);
    EXPECT_TRUE(s->CareItemLotRule);

    TPlanScheme other(GlobalADOConnection);
    other.PlanType = 2;
    EXPECT_FALSE(other.Load(kDemoScheme));
    EXPECT_EQ(other.SchemeIID, 0);
    other.PlanState = 6;
    EXPECT_EQ(other.GetPlanStateText(), "");
}

TEST_F(SchemeTest, SaveInsertsThenUpdatesKeepingApostrophes)
{
    TPlanScheme s(GlobalADOConnection);
    s.SchemeName = "O'Brien's plan %4";
    s.DataFilters = "[Excludes]=QZ_MRP.PR|it's %11";
    s.PlanCalIID = 1;
    TextToPlanPeriods("46391|46398|", s.PlanPeriods);
    s.Creater = InfoApplication->LoginInfo.UserID;
    ASSERT_TRUE(s.Save());
    ASSERT_GT(s.SchemeIID, kDemoScheme);
    EXPECT_GT(s.CreateTime, 0);
    const int iid = s.SchemeIID;
    EXPECT_EQ(value(QStringLiteral("select SchName from QZ_MRP_Schemes where SchIID=%1").arg(iid)), "O'Brien's plan %4");
    EXPECT_EQ(value(QStringLiteral("select SchFilters from QZ_MRP_Schemes where SchIID=%1").arg(iid)),
              "[Excludes]=QZ_MRP.PR|it's %11");
    EXPECT_EQ(value(QStringLiteral("select SchPeriods from QZ_MRP_Schemes where SchIID=%1").arg(iid)), "46391|46398|");

    s.SchemeName = "renamed %2";
    s.PlanState = psSchemeChangedRefetch;
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(s.SchemeIID, iid);
    EXPECT_GT(s.UpdateTime, 0);
    EXPECT_EQ(rows(QStringLiteral("select SchName, SchState from QZ_MRP_Schemes where SchIID=%1").arg(iid)),
              QStringList{"renamed %2|1"});
}

TEST_F(SchemeTest, SaveOfASchemeDeletedMeanwhileFails)
{
    auto s = loadDemo();
    exec("delete QZ_MRP_Schemes where SchIID=1");
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->Save());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.contains("2027年第一季度MRP"));
    EXPECT_EQ(value("select count(*) from QZ_MRP_Schemes where SchIID=1"), "0");
}

TEST_F(SchemeTest, SavingALoadedSchemeAsNewWritesTheUserID)
{
    auto s = loadDemo();
    s->SchemeIID = 0;
    s->SchemeName = "副本";
    ASSERT_TRUE(s->Save());
    EXPECT_EQ(value(QStringLiteral("select SchUsrID from QZ_MRP_Schemes where SchIID=%1").arg(s->SchemeIID)), "plan01");
    TPlanScheme again(GlobalADOConnection);
    ASSERT_TRUE(again.Load(s->SchemeIID));
    EXPECT_EQ(again.Creater, "王计划");
}

TEST_F(SchemeTest, CheckStateNoticesAnotherUsersChange)
{
    auto s = loadDemo();
    EXPECT_TRUE(s->CheckState());
    exec("update QZ_MRP_Schemes set SchState=6, SchMrpRunTime='20270105 10:00:00' where SchIID=1");
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->CheckState());
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "计划方案[2027年第一季度MRP]最新状态已被改变, 不能执行本操作!");
    EXPECT_EQ(boxes.shown[0].caption, "错误");
    EXPECT_EQ(s->PlanState, psMRPDone);
    EXPECT_GT(s->MrpRunTime, 0);
}

TEST_F(SchemeTest, CalendarHolidaysFromAFirstDate)
{
    TInt64DynArray holidays;
    std::unique_ptr<TADOQuery> q(NewPluginQuery());
    ASSERT_TRUE(LoadCalendarHolidays(1, holidays, q.get(), 46391)); // 2027-01-04
    ASSERT_FALSE(holidays.empty());
    EXPECT_EQ(DayToDateStr(holidays.front()), "20270109"); // the first Saturday after
    EXPECT_TRUE(std::is_sorted(holidays.begin(), holidays.end()));
    // Five working days back from Monday 2027-01-11 is Monday 2027-01-04.
    EXPECT_EQ(DayToDateStr(std::int64_t(ShiftWorkDays(holidays, 5, 46398))), "20270104");
}

TEST_F(SchemeTest, FieldMacrosExpandToTheObjectsExpressions)
{
    TInfoObjectDef* so = InfoApplication->GetInfoObjectDef("QZ_MRP.SO");
    ASSERT_NE(so, nullptr);
    const QString itm = so->GetFieldDef("ItmID") ? so->GetFieldDef("ItmID")->SQLExpress : QString("null");
    EXPECT_EQ(ExpandFieldMacros(so, "$$ItmID$$=1"), itm + "=1");
    EXPECT_EQ(ExpandFieldMacros(so, "$$NoSuchField$$=1"), "null=1");
    EXPECT_EQ(ExpandFieldMacros(so, "a and $$NoSuchField"), "a and null");
    EXPECT_EQ(ExpandFieldMacros(so, "no macro"), "no macro");
    EXPECT_EQ(ExpandFieldMacros(nullptr, "x=$$ItmID$$"), "x=null");
}

TEST_F(SchemeTest, SelectSkeletonsFollowTheAliasesOfEachSelect)
{
    TPlanScheme s(GlobalADOConnection);
    TMRPSelectCache cache;
    const QString first = BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.SO", "s.SOID", "s.SOQty>0", "");
    ASSERT_FALSE(first.isEmpty());
    EXPECT_FALSE(first.contains("QZ_Base_Customer"));
    // The same object with a select list that names the customer gets its join.
    const QString second = BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.SO", "s.SOID, c.CustName", "s.SOQty>0", "");
    EXPECT_TRUE(second.contains("QZ_Base_Customer"));
    EXPECT_EQ(rows(second).size(), 7);
    EXPECT_EQ(BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.NoSuch", "s.SOID", "", ""), "");

    // A new login never reuses the texts of the last one.
    const int kept = cache.Count();
    EXPECT_GT(kept, 0);
    ++InfoApplication->LoginTick;
    EXPECT_TRUE(cache.Find(InfoApplication->LoginTick, "anything").isNull());
    EXPECT_EQ(cache.Count(), 0);
}

TEST_F(SchemeTest, MainSourceFilterAndTheEnginesFilterAreCombined)
{
    SystemLogout();
    exec("update QZ_SYS_ObjDataSources set DtsFilter='s.Checked=1' where DtsObjID='QZ_MRP.SO' and DtsID='s'");
    ASSERT_TRUE(SystemLogin());
    TPlanScheme s(GlobalADOConnection);
    TMRPSelectCache cache;
    const QString sql = BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.SO", "s.SOID, s.SOEntry", "s.CanMRP<>0", "", "s.SOID",
                                                 "", " left join QZ_MRP_SOExt as y with(nolock) on y.SOID=s.SOID");
    EXPECT_EQ(sql.count("where"), 1) << sql.toStdString();
    // Eight lines, one not checked, one closed and not plannable: six remain.
    EXPECT_EQ(rows(sql).size(), 6);
    // Without a filter of the engine's own the data source's filter still holds.
    const QString all = BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.SO", "s.SOID", "", "");
    EXPECT_EQ(rows(all).size(), 7);
}

TEST_F(SchemeTest, ExcludedObjectsLoseTheirSectionFilterButKeepTheirCode)
{
    const auto previous = InfoApplication->TranslateFilterCodeToSQLProc;
    InfoApplication->TranslateFilterCodeToSQLProc = TranslateForTest;
    TPlanScheme s(GlobalADOConnection);
    s.DataFilters = WriteViewSchemeParam(WriteViewSchemeParam(QString(), "[QZ_MRP.SO]", "SECTION"), "[Excludes]",
                                         "QZ_MRP.PO|QZ_MRP.SO|");
    TMRPSelectCache cache;
    const QString excluded = BuildInfoObjectSelectSQL(s, cache, "QZ_MRP.SO", "s.SOID", "", "ARG");
    EXPECT_FALSE(excluded.contains("XL(SECTION)"));
    EXPECT_TRUE(excluded.contains("XL(ARG)"));
    s.DataFilters = WriteViewSchemeParam(QString(), "[QZ_MRP.SO]", "SECTION");
    TMRPSelectCache cache2;
    const QString filtered = BuildInfoObjectSelectSQL(s, cache2, "QZ_MRP.SO", "s.SOID", "", "ARG");
    EXPECT_TRUE(filtered.contains("XL(SECTION)"));
    EXPECT_TRUE(filtered.contains("XL(ARG)"));
    InfoApplication->TranslateFilterCodeToSQLProc = previous;
}

TEST_F(SchemeTest, FieldValueCaseQuotesEnumTexts)
{
    TInfoObjectDef* so = InfoApplication->GetInfoObjectDef("QZ_MRP.SO");
    ASSERT_NE(so, nullptr);
    TSystemEnumList list;
    list.Add("it's", 1);
    list.Add("plain", 2);
    TInfoFieldDef f;
    f.ID = "XEnum";
    f.Name = "枚举";
    f.SQLExpress = "s.SOBomType";
    f.EnumValues = &list;
    so->Fields.push_back(f);
    TInfoFieldDef h = f;
    h.ID = "XHidden";
    h.HideList = true;
    so->Fields.push_back(h);
    QString r;
    EXPECT_TRUE(BuildFieldValueCaseSQL("QZ_MRP.SO", "XEnum", r));
    EXPECT_EQ(r, "[枚举]=(case s.SOBomType when 1 then 'it''s' when 2 then 'plain' else null end),");
    EXPECT_FALSE(BuildFieldValueCaseSQL("QZ_MRP.SO", "XHidden", r));
    EXPECT_EQ(r, "");
    EXPECT_FALSE(BuildFieldValueCaseSQL("QZ_MRP.SO", "Nothing", r));
    so->Fields.pop_back();
    so->Fields.pop_back();
}

TEST(PeriodCase, BranchesAndDegenerateArrays)
{
    const TPlanPeriods three = Periods("45292|45299|");
    EXPECT_EQ(BuildPeriodCaseSQL(three, "d"), "(case when d<'20240101' then 0 when d<'20240108' then 1 else 2 end)");
    TPlanPeriods one(1);
    EXPECT_EQ(BuildPeriodCaseSQL(one, "d"), "(0)");
    EXPECT_EQ(BuildPeriodCaseSQL(TPlanPeriods(), "d"), "(0)");
}

TEST(ItemJoins, ScopesOfTheLevelRun)
{
    QString join, where;
    BuildLevelItemJoinDefault(0, 2, "s.ItmID", true, join, where);
    EXPECT_EQ(join, "");
    BuildLevelItemJoinDefault(1, 2, "s.ItmID", true, join, where);
    EXPECT_EQ(join, " join #QZ_MRP_ItemLowestCode as tmpitm with(nolock) on s.ItmID=tmpitm.ItmID and tmpitm.LowestCode=2");
    EXPECT_EQ(where, "");
    BuildLevelItemJoinDefault(1, 2, "s.ItmID", false, join, where);
    EXPECT_EQ(join, " join #QZ_MRP_CurLevelDmdItems as tmpitm with(nolock) on s.ItmID=tmpitm.DmdItmID");
    EXPECT_EQ(where, " and isnull($$ItmProps$$, '')=tmpitm.DmdItmProps and isnull($$MRPGroupType$$, 0)=tmpitm.DmdGroupType "
                     "and isnull($$MRPGroupNo$$, '')=tmpitm.DmdGroupNo");
    where.clear();
    BuildMainItemJoin("s.X", where, join);
    EXPECT_TRUE(join.startsWith(" left join #QZ_MRP_MainItems as tmpi with(nolock) on s.X=tmpi.ManItmID"));
    EXPECT_EQ(where, " and (tmpi.ManItmID is null or tmpd.DmdItmID is not null)");
}

TEST(MergeHints, CarriesQuantitiesIntoTheNewPeriods)
{
    // Old weekly periods from 2024-01-01; new ones merge the first two weeks.
    const TPlanPeriods oldP = Periods("45292|45299|45306|45313|");
    const TPlanPeriods newP = Periods("45292|45306|45313|");
    struct Case {
        const char* hints;
        double qty;
        const char* expected;
    } cases[] = {
        {"02=30\r\n", 30, "01=30\r\n"},              // old week 2 lies in the merged first period
        {"02=30\r\n", 20, "01=20\r\n"},              // only the row's quantity is carried
        {"01=10\r\n02=30\r\n", 35, "01=35\r\n"},     // from the last line up: 30, then 5 of 10
        {"01=10\r\n03=5\r\n", 25, "02=15\r\n01=10\r\n"}, // the rest goes to the first period met
        {"", 10, ""},
        {"01=10\r\n", 0, ""},
        {"ZZ=10\r\n", 10, ""},                       // a key beyond the old periods is dropped
    };
    for (const Case& c : cases)
        EXPECT_EQ(MergeHintsText(c.hints, c.qty, oldP, newP), c.expected) << c.hints << " " << c.qty;
}

// ---- Main demand ---------------------------------------------------------

TEST_F(SchemeTest, RunMPSFillsTheMainDemandOfTheDemoScheme)
{
    auto s = loadDemo();
    ASSERT_TRUE(s->RunMPS(false, false));
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1"), "13");
    EXPECT_EQ(rows("select ManBillType, count(*), sum(ManQty) from QZ_MRP_Main where ManSchIID=1 group by ManBillType "
                   "order by ManBillType"),
              (QStringList{"2|6|1220", "4|2|800", "8|5|2550"}));
    // The first line of SO-202612-001: due 2027-01-15, in the second week.
    EXPECT_EQ(rows("select ManPeriod, ManBillNo, ManItmID, ManPriority, ManOrigType, ManOrigCustID, ManNeedQty, ManQty, "
                   "ManExeQty from QZ_MRP_Main where ManSchIID=1 and ManBillID='SO2612001' and ManBillEntry=1"),
              QStringList{"2|SO-202612-001|IFG-1001|2|2|C001|200|200|100"});
    // The March forecast of the series falls in the exceed period... no: the
    // horizon ends 2027-04-04, so 2027-03-31 lies in week 13.
    EXPECT_EQ(value("select ManPeriod from QZ_MRP_Main where ManSchIID=1 and ManBillID='FC2612001' and ManBillEntry=3"), "13");
    EXPECT_EQ(rows("select SchState, SchMpsCalIID, SchMpsPeriods from QZ_MRP_Schemes where SchIID=1"),
              QStringList{"2|1|46391|46398|46405|46412|46419|46426|46433|46440|46447|46454|46461|46468|46475|46482|"});
    EXPECT_FALSE(value("select SchMpsRunTime from QZ_MRP_Schemes where SchIID=1").isEmpty());
    EXPECT_EQ(value("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMpsUpdTime is null"), "1");
    // The work table is gone.
    EXPECT_EQ(value("select case when object_id('tempdb..#QZ_MRP_Main') is null then 1 else 0 end"), "1");

    // After an MRP run a new main demand moves the scheme to 3.
    exec("update QZ_MRP_Schemes set SchMrpRunTime='20270105 09:00:00', SchState=6 where SchIID=1");
    ASSERT_TRUE(s->RunMPS(false, false));
    EXPECT_EQ(value("select SchState from QZ_MRP_Schemes where SchIID=1"), "3");
}

TEST_F(SchemeTest, RunMPSFromForecastsNetOfDeductions)
{
    exec("insert QZ_MRP_ForcastExt (ForID, ForEntry, ForItmID, ForDedAQty, ForDedMQty) values ('FC2612001', 1, 'IFG-9001', 100, 50)\r"
         "insert QZ_MRP_ForcastExt (ForID, ForEntry, ForItmID, ForDedAQty, ForDedMQty) values ('FC2612001', 2, 'IFG-9001', 800, 0)");
    auto s = loadDemo();
    s->PlanSource = 2;
    ASSERT_TRUE(s->RunMPS(false, false));
    EXPECT_EQ(rows("select ManBillEntry, ManDedQty, ManNeedQty, ManQty from QZ_MRP_Main where ManSchIID=1 order by ManBillEntry"),
              (QStringList{"1|150|450|450", "3|0|800|800",
                           "4|0|150|150", "5|0|200|200"}));
}

TEST_F(SchemeTest, RunMPSLeavesOutOrdersDatedAfterTheHorizon)
{
    // The horizon ends 2027-04-04: an order of the day after is left out even
    // though it is due inside the horizon; one of the last day stays.
    exec("update QZ_MRP_SO set SODate='20270405', SODelivDate='20270301' where SOID='SO2701001' and SOEntry=1\r"
         "update QZ_MRP_SO set SODate='20270404' where SOID='SO2701001' and SOEntry=2");
    auto s = loadDemo();
    s->PlanSource = 1;
    ASSERT_TRUE(s->RunMPS(false, false));
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillID='SO2701001' and ManBillEntry=1"), "0");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillID='SO2701001' and ManBillEntry=2"), "1");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1"), "7");
}

TEST_F(SchemeTest, RunMPSKeepsFreeNeedsAdjustmentsAndHints)
{
    auto s = loadDemo();
    // In state 0 nothing is kept but the free needs themselves.
    exec("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManDate, ManItmID, "
         "ManNeedQty, ManAdjQty, ManQty, ManHints) values (1, 900, 3, 12, 'F1', '', 1, '20270118', 'IPT-131', 40, 0, 40, "
         "'03=40\r\n')");
    ASSERT_TRUE(s->RunMPS(true, true));
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1"), "14");
    EXPECT_EQ(value("select isnull(ManHints,'') from QZ_MRP_Main where ManSchIID=1 and ManBillType=12"), "");

    // An adjusted order line and the free need's hints survive the next run.
    exec("update QZ_MRP_Main set ManAdjQty=30, ManQty=ManQty+30, ManHints='03=230\r\n' where ManSchIID=1 and "
         "ManBillID='SO2612001' and ManBillEntry=1\r"
         "update QZ_MRP_Main set ManHints='03=15\r\n04=25\r\n' where ManSchIID=1 and ManBillType=12\r"
         "update QZ_MRP_Schemes set SchMpsUpdTime='20270104 12:00:00' where SchIID=1");
    ASSERT_TRUE(s->LoadState());
    ASSERT_TRUE(s->Load(kDemoScheme));
    ASSERT_TRUE(s->RunMPS(true, true));
    EXPECT_EQ(rows("select ManAdjQty, ManQty, ManHints from QZ_MRP_Main where ManSchIID=1 and ManBillID='SO2612001' and "
                   "ManBillEntry=1"),
              QStringList{"30|230|03=230\r\n"});
    EXPECT_EQ(value("select ManHints from QZ_MRP_Main where ManSchIID=1 and ManBillType=12"), "04=25\r\n03=15\r\n");
    // Kept adjustments keep the time of the last change.
    EXPECT_EQ(value("select count(*) from QZ_MRP_Schemes where SchIID=1 and SchMpsUpdTime='20270104 12:00:00'"), "1");

    // Without the keep flags the adjustment is gone.
    ASSERT_TRUE(s->Load(kDemoScheme));
    ASSERT_TRUE(s->RunMPS(false, false));
    EXPECT_EQ(value("select ManQty from QZ_MRP_Main where ManSchIID=1 and ManBillID='SO2612001' and ManBillEntry=1"),
              "200");
    EXPECT_EQ(value("select count(*) from QZ_MRP_Main where ManSchIID=1 and ManBillType=12"), "0");
}

TEST_F(SchemeTest, AFailedStoreLeavesTheFormerMainDemandAndState)
{
    exec("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, ManDate, ManItmID, "
         "ManNeedQty, ManQty) values (1, 1, 1, 12, 'OLD', 'OLD', 1, '20270105', 'IFG-1001', 5, 5)\r"
         "update QZ_MRP_Schemes set SchState=2 where SchIID=1\r"
         // Two rows of one item cannot both be stored any more.
         "create unique index QZ_MRP_MainOneItem on QZ_MRP_Main (ManSchIID, ManItmID)");
    auto s = loadDemo();
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(s->RunMPS(false, false));
    // the database's own reason is shown
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("错误: Cannot insert duplicate key row")) << boxes.shown[0].text.toStdString();
    EXPECT_EQ(rows("select ManBillID, ManQty from QZ_MRP_Main where ManSchIID=1"), QStringList{"OLD|5"});
    EXPECT_EQ(rows("select SchState, isnull(SchMpsPeriods,'') from QZ_MRP_Schemes where SchIID=1"), QStringList{"2|"});
}

TEST_F(SchemeTest, CopyMPSFromAnotherScheme)
{
    auto src = loadDemo();
    ASSERT_TRUE(src->RunMPS(false, false));
    exec("update QZ_MRP_Main set ManHints='02=120\r\n03=80\r\n' where ManSchIID=1 and ManBillID='SO2612001' and ManBillEntry=1");

    // A target with two-week periods from 2027-01-04 and a row the source lacks.
    TPlanScheme target(GlobalADOConnection);
    target.SchemeName = "目标";
    target.PlanCalIID = 2;
    TextToPlanPeriods("46391|46405|46419|", target.PlanPeriods);
    target.Creater = "plan01";
    ASSERT_TRUE(target.Save());
    const int t = target.SchemeIID;
    exec(QStringLiteral("insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
                        "ManDate, ManItmID, ManNeedQty, ManQty) values (%1, 1, 1, 12, 'OWN', 'OWN', 1, '20270105', 'IFG-1001', "
                        "5, 5)\r"
                        "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManBillID, ManBillNo, ManBillEntry, "
                        "ManDate, ManItmID, ManNeedQty, ManQty) values (%1, 2, 1, 2, 'SO2612001', 'x', 1, '20270105', "
                        "'IFG-1001', 1, 1)")
             .arg(t));

    ASSERT_TRUE(target.CopyMPS(kDemoScheme, wtInsertOrUpdate, false));
    EXPECT_EQ(value(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(t)), "14");
    EXPECT_EQ(value(QStringLiteral("select ManQty from QZ_MRP_Main where ManSchIID=%1 and ManBillID='SO2612001' and "
                                   "ManBillEntry=1")
                        .arg(t)),
              "200");
    // Weeks 2 and 3 of the source lie in the first two-week period.
    EXPECT_EQ(value(QStringLiteral("select ManHints from QZ_MRP_Main where ManSchIID=%1 and ManBillID='SO2612001' and "
                                   "ManBillEntry=1")
                        .arg(t)),
              "02=80\r\n01=120\r\n");
    EXPECT_EQ(value(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1 and ManBillID='OWN'").arg(t)), "1");
    EXPECT_EQ(rows(QStringLiteral("select SchState, SchCalIID, SchPeriods from QZ_MRP_Schemes where SchIID=%1").arg(t)),
              QStringList{"2|2|46391|46405|46419|"});

    ASSERT_TRUE(target.CopyMPS(kDemoScheme, wtOverwriteAll, true));
    EXPECT_EQ(value(QStringLiteral("select count(*) from QZ_MRP_Main where ManSchIID=%1").arg(t)), "13");
    EXPECT_EQ(rows(QStringLiteral("select SchCalIID, SchMpsCalIID from QZ_MRP_Schemes where SchIID=%1").arg(t)),
              QStringList{"1|1"});

    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(target.CopyMPS(999, wtOverwriteAll, true));
}

TEST_F(SchemeTest, HintsColumnsHoldALineForEveryPeriod)
{
    // 400 daily periods with a quantity each: far beyond a thousand characters.
    QString hints;
    for (int i = 0; i < 400; ++i)
        hints += untMRPUtils::PeriodKey(i) + "=12345.67891234\r\n";
    ASSERT_GT(hints.size(), 4000);
    std::unique_ptr<TADOQuery> q(NewPluginQuery());
    CreateMainTempTable(q.get());
    const QString h = untMRPUtils::QuoteSQL(hints);
    EXPECT_TRUE(ExecSQLText(q.get(),
                            "insert #QZ_MRP_Main (ManPeriod, ManBillType, ManDate, ManItmID, ManQty, ManHints) values (1, 12, "
                            "'20270104', 'IFG-1001', 1, " + h + ")\r"
                            "insert QZ_MRP_Main (ManSchIID, ManIID, ManPeriod, ManBillType, ManDate, ManItmID, ManQty, ManHints) "
                            "values (1, 1, 1, 12, '20270104', 'IFG-1001', 1, " + h + ")\r"
                            "insert QZ_MRP_Supplies (SupSchIID, SupIID, SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty, "
                            "SupHints, SupPHints) values (1, 1, 1, 58, 'IFG-1001', 1, 1, " + h + ", " + h + ")\r"
                            "insert QZ_MRP_Demands (DmdSchIID, DmdIID, DmdPeriod, DmdItmID, DmdNeedQty, DmdQty, DmdHints, "
                            "DmdPHints) values (1, 1, 1, 'IFG-1001', 1, 1, " + h + ", " + h + ")",
                            false, false, false));
    EXPECT_EQ(value("select len(SupHints) from QZ_MRP_Supplies where SupSchIID=1"), QString::number(hints.size()));
}
