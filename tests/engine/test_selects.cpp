// The selects that feed the level planner.
#include "untMRPLevelSelects.h"
#include <gtest/gtest.h>

using namespace untMRPLevelSelects;

TEST(LevelSelects, TrackingKey)
{
    struct Case { int mode; bool item; const char* expected; };
    const Case cases[] = {
        {9, true, "TrackKey=''"},
        {9, false, "TrackKey=''"},
        {5, false, "TrackKey=rtrim(isnull(DmdOrigTag,''))"},
        {2, false, "TrackKey=cast(isnull(DmdOrigType,0) as nvarchar(2))+'|'+rtrim(isnull(DmdOrigID,''))"},
        {7, false, "TrackKey=cast(isnull(DmdOrigType,0) as nvarchar(2))+'|'+rtrim(isnull(DmdOrigID,''))+'|'+"
                   "cast(isnull(DmdOrigEntry,0) as nvarchar(10))"},
        {4, true, "TrackKey=(case isnull(t.ItmMrpTrack,0) when 9 then '' else rtrim(isnull(DmdOrigCustID,'')) end)"},
        {3, true, "TrackKey=(case isnull(t.ItmMrpTrack,0) when 9 then '' when 4 then rtrim(isnull(DmdOrigCustID,'')) "
                  "else rtrim(isnull(DmdOrigCustID,''))+'|'+rtrim(isnull(DmdOrigItmID,'')) end)"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildTrackKeySQL(c.mode, c.item), QString::fromUtf8(c.expected)) << c.mode << " " << c.item;
    const QString line = BuildTrackKeySQL(0, true);
    for (const char* code : {" when 9 then ''", " when 4 then ", " when 5 then ", " when 3 then ", " when 2 then ",
                             " when 1 then "})
        EXPECT_TRUE(line.contains(code)) << code;
    EXPECT_TRUE(line.endsWith("+'|'+cast(isnull(DmdOrigEntry,0) as nvarchar(10)) end)"));
    EXPECT_FALSE(BuildTrackKeySQL(2, true).contains(" when 2 then "));
    EXPECT_TRUE(BuildTrackKeySQL(1, true).contains(" when 2 then "));
}

TEST(LevelSelects, Texts)
{
    const QString d = BuildLevelDemandSelectSQL(3, true, "TrackKey=''");
    EXPECT_TRUE(d.startsWith("exec QZ_MRP_SetBOMForDemand 3\rselect d.DmdIID, "));
    EXPECT_TRUE(d.contains("DmdOrigDate=isnull(ManBillDate, '99991231'), "));
    EXPECT_TRUE(d.contains("when 1 then 58 when 2 then (case when DmdBillType=94 and DmdBomSkip=2 then 64"));
    EXPECT_TRUE(d.endsWith(" where LowestCode=3 and DmdQty>0 order by DmdItmID, DmdItmProps, DmdGroupType, "
                           "DmdGroupNo, DmdDate, DmdPriority desc, DmdBillType, DmdBillID, DmdBillEntry"));
    EXPECT_FALSE(BuildLevelDemandSelectSQL(3, false, "TrackKey=''").contains("MainOrigDates"));
    EXPECT_TRUE(BuildLevelSupplySelectSQL(1).contains("(SupBillType<=38 and SupRestQty>0 or SupBillType=16)"));
    EXPECT_TRUE(BuildLevelSubstituteSQL(2, 7).contains("exec QZ_MRP_GetItemSubsForMRPDemand 2,1\r"));
    EXPECT_TRUE(BuildLevelSubstituteSQL(2, 5).contains("exec QZ_MRP_GetItemSubsForMRPDemand 2,0\r"));
}
