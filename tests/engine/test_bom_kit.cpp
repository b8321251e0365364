// Quantity base of the BOM explosion and kit-complete quantities.
#include "untMRPBom.h"
#include "untMRPKit.h"
#include <gtest/gtest.h>

using namespace untMRPBom;
using namespace untMRPKit;

TEST(BomQtyBase, YieldLossAndFixedLines)
{
    struct Case { bool care; int losType; bool fixed; double sup, okRate, loss, expected; };
    const Case cases[] = {
        {false, 1, false, 100, 80, 5, 100},
        {true, 1, false, 100, 80, 5, 100.0 * 100 / 80 * 100 / 95}, // loss as a share of the issue
        {true, 2, false, 100, 80, 5, 100.0 * 100 / 80 * 105 / 100}, // loss on top
        {true, 0, false, 100, 80, 5, 131.25},
        {false, 1, true, 100, 80, 5, 1},
        {true, 1, true, 100, 80, 5, 100.0 / 95},
        {true, 2, true, 100, 0, 5, 1.05}, // a fixed line needs no yield
    };
    for (const Case& c : cases)
        EXPECT_NEAR(CalcBomQtyBase(c.care, c.losType, c.fixed, c.sup, c.okRate, c.loss), c.expected, 1e-9)
            << c.care << " " << c.losType << " " << c.fixed;
    EXPECT_EQ(BuildBomQtyBaseSQL(false, 1), "(case BomFixed when 1 then 1 else SupQty end)");
    EXPECT_EQ(BuildBomQtyBaseSQL(true, 1),
              "(case BomFixed when 1 then 1 else SupQty*100/BomPrdOkRate end)*100/(100-BomLossRate)");
    EXPECT_EQ(BuildBomQtyBaseSQL(true, 2),
              "(case BomFixed when 1 then 1 else SupQty*100/BomPrdOkRate end)*(100+BomLossRate)/100");
}

TEST(BomQtyBase, ComponentRounding)
{
    struct Case { double base, qty, baseQty, percent; int putInteger, decimals; double expected; };
    const Case cases[] = {
        {3, 0.1, 0.1, 100, 1, 0, 3},       // ceiling(3*0.1/0.1) is 3
        {10, 1, 4, 100, 1, 0, 3},          // 2.5 up to 3
        {10, 1, 3, 100, 0, 2, 3.33},
        {10, 2, 3, 100, 0, 2, 6.67},
        {1, 2.5, 1, 40, 0, 4, 1},          // a fixed line: BomQty/BomBaseQty*BomPercent/100
        {100, 1, 1, 100, 0, 12, 100},
        {1, 1, 3, 100, 0, 12, 0.33333333}, // places beyond eight keep eight
    };
    for (const Case& c : cases)
        EXPECT_NEAR(CalcBomComponentQty(c.base, c.qty, c.baseQty, c.percent, c.putInteger, c.decimals), c.expected,
                    1e-12)
            << c.base << " " << c.qty << "/" << c.baseQty;
}

TEST(BomQtyBase, BadMasterDataNamesItemAndBom)
{
    struct Case { bool care; int losType; bool fixed; double baseQty, okRate, loss; TBadBomKind expected; };
    const Case cases[] = {
        {false, 1, false, 0, 80, 5, bkBaseQty},
        {true, 1, false, 1, 0, 5, bkYield},
        {true, 1, true, 1, 0, 5, bkNone},
        {false, 1, false, 1, 0, 5, bkNone},   // yield unused without loss rates
        {true, 1, false, 1, 80, 100, bkLossRate},
        {true, 2, false, 1, 80, 100, bkNone}, // loss on top may be 100
        {true, 1, false, 1, 80, 5, bkNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckBomLine(c.care, c.losType, c.fixed, c.baseQty, c.okRate, c.loss), c.expected);
    const QString msg = BadBomMessage(bkYield, "P-100", "BOM-7");
    EXPECT_TRUE(msg.contains("[P-100]"));
    EXPECT_TRUE(msg.contains("[BOM-7]"));
    EXPECT_TRUE(BadBomMessage(bkNone, "P", "B").isEmpty());

    const QString check = BuildBadBomCheckSQL(2, true, 1, 0);
    EXPECT_TRUE(check.startsWith("select top 1 ItmNo=isnull(p.ItmNo, SupItmID)"));
    EXPECT_TRUE(check.contains("where LowestCode=2 and (SupBillType in (34, 42, 36, 52) or SupBillType in "
                               "(44, 64, 54, 66, 62)) and (t.ItmMrpSkip=0 or t.ItmMrpSkip is null) and SupQty>0 and "
                               "(isnull(BomBaseQty,0)=0 or isnull(BomFixed,0)<>1 and isnull(BomPrdOkRate,0)<=0 or "
                               "BomLossRate>=100)"))
        << check.toStdString();
    EXPECT_FALSE(BuildBadBomCheckSQL(2, false, 1, 0).contains("BomPrdOkRate"));
}

TEST(BomExplosion, BillTypesAndGroups)
{
    for (int t : {34, 42, 44, 64})
        EXPECT_EQ(BomDemandBillType(t), 94);
    for (int t : {36, 52, 54, 66})
        EXPECT_EQ(BomDemandBillType(t), 92);
    EXPECT_EQ(BomDemandBillType(62), 96);
    EXPECT_EQ(BomDemandBillType(58), 0); // planned purchases are never exploded

    struct Case { int group, origType; const char *id, *no; int entry; const char *tag, *subTag, *cust;
                  int expType; const char* expNo; };
    const Case cases[] = {
        {1, 2, "S1", "SO-1", 3, "", "", "", 1, "SO-1/3"},
        {1, 4, "S1", "SI-1", 0, "", "", "", 4, "SI-1"},
        {1, 8, "F1", "FC-1", 3, "", "", "", 0, ""},
        {2, 2, "S1", "SO-1", 3, "", "", "", 2, "SO-1"},
        {3, 0, "", "", 0, "T", "ST", "", 9, "ST"},
        {3, 0, "", "", 0, "T", "", "", 9, "T"},
        {3, 0, "", "", 0, "", "", "", 0, ""},
        {4, 2, "", "SO-1", 2, "", "", "", 9, "SO-1/2"},
        {5, 4, "", "SI-1", 2, "", "", "", 9, "SI-1"},
        {6, 0, "", "", 0, "", "", "ACME", 9, "ACME"},
        {9, 0, "", "", 0, "", "", "", 7, "G7"},
        {7, 2, "S1", "SO-1", 3, "", "", "", 0, ""},
    };
    for (const Case& c : cases) {
        const auto g = BomDemandGroup(c.group, c.origType, c.id, c.no, c.entry, c.tag, c.subTag, c.cust, 7, "G7");
        EXPECT_EQ(g.first, c.expType) << c.group << " " << c.origType;
        EXPECT_EQ(g.second, QString::fromUtf8(c.expNo)) << c.group << " " << c.origType;
    }
}

TEST(BomExplosion, StatementTexts)
{
    EXPECT_EQ(BuildBomFetchSQL(3),
              "truncate table #QZ_MRP_RefGetBOM\rtruncate table #QZ_MRP_BOM\rinsert #QZ_MRP_RefGetBOM (PrdID, "
              "BomType, BomID)\rselect distinct SupItmID, SupBomType, SupBomID from #QZ_MRP_Supplies with(nolock) "
              "join #QZ_MRP_ItemLowestCode as l with(nolock) on SupItmID=l.ItmID where LowestCode=3 and SupBillType "
              "in (34, 42, 44, 64, 36, 52, 54, 66, 62)\rexec QZ_MRP_GetBOM");
    const QString ins = BuildBomDemandInsertSQL(1, true, 1, 6, "0");
    EXPECT_TRUE(ins.contains("(case t.ItmPutInteger when 1 then cast(ceiling((case BomFixed when 1 then 1 else "
                             "SupQty*100/BomPrdOkRate end)*100/(100-BomLossRate) *BomQty/BomBaseQty*BomPercent/100) "
                             "as decimal(28,10)) else round("));
    EXPECT_TRUE(ins.contains(" and tmpman.ManItmID is not null or SupBillType in (44, 64, 54, 66, 62))"));
    EXPECT_TRUE(ins.endsWith("(SupAllotQty>0 or SupPDmdIID=-1)"));
    EXPECT_TRUE(ins.contains("round(BomQty/BomBaseQty*BomPercent/100, 10)"));
    EXPECT_FALSE(BuildBomDemandInsertSQL(1, false, 1, 0, "0").contains("tmpman"));
}

TEST(Kit, SupplyLimitedByItsScarcestComponent)
{
    auto k = CalcSupplyKit(10, {{6, 60, false}, {8, 80, false}});
    EXPECT_DOUBLE_EQ(k.first, 6);
    EXPECT_DOUBLE_EQ(k.second, 60);
    k = CalcSupplyKit(10, {{6, 60, false}, {2, 20, true}}); // a skipped component never limits
    EXPECT_DOUBLE_EQ(k.first, 6);
    k = CalcSupplyKit(10, {{2, 20, true}});
    EXPECT_DOUBLE_EQ(k.first, 10);
    EXPECT_DOUBLE_EQ(k.second, 100);
}

TEST(Kit, PlannedSupplyCreditsServedDemands)
{
    // Entries without a period (surplus taken by other buckets) do not count.
    const auto c = DistributePlannedKit(5, "|11:02=3\r\n|12=9\r\n|13:03=4\r\n|14:03=2");
    ASSERT_EQ(c.size(), 2u);
    EXPECT_EQ(c[0].DmdIID, 11);
    EXPECT_DOUBLE_EQ(c[0].Qty, 3);
    EXPECT_EQ(c[1].DmdIID, 13);
    EXPECT_DOUBLE_EQ(c[1].Qty, 2);
    EXPECT_TRUE(DistributePlannedKit(0, "|11:02=3").empty());
    const TMRPBulkStatement st = KitCreditsBulk(c);
    EXPECT_EQ(st.Statement, "update #QZ_MRP_Demands set DmdASetQty=isnull(DmdASetQty,0)+@Qty where DmdIID=@DmdIID");
    EXPECT_EQ(st.ParamNames, (QStringList{"@DmdIID", "@Qty"}));
    EXPECT_EQ(st.ParamTypes, (QStringList{"int", "decimal(28,8)"}));
    ASSERT_EQ(st.Rows.size(), 2);
    EXPECT_EQ(st.Rows[0], (QList<QVariant>{11LL, QStringLiteral("3.00000000")}));
    EXPECT_EQ(st.Rows[1], (QList<QVariant>{13LL, QStringLiteral("2.00000000")}));
}

TEST(Kit, AllotmentsCarryCompleteness)
{
    const auto c = DistributeAllotKit({
        {1, 15, 21, 10, false, 10},
        {1, 15, 22, 10, true, 5}, // 20 substitute units cover 10: half of what it gets
        {2, 4, 23, 10, true, 5},
        {2, 4, 24, 3, false, 3},
    });
    ASSERT_EQ(c.size(), 3u);
    EXPECT_DOUBLE_EQ(c[0].Qty, 10);
    EXPECT_DOUBLE_EQ(c[1].Qty, 2.5);
    EXPECT_EQ(c[2].DmdIID, 23);
    EXPECT_DOUBLE_EQ(c[2].Qty, 2);
}

TEST(Kit, DemandQuantitiesAreCutAndNeverNegative)
{
    // Order line: 10 parents, 40 of 50 components needed are available, 5 per parent.
    EXPECT_DOUBLE_EQ(CalcOrderLineKitQty(10, 50, 40, 10, 50, 1, 0), 8);
    EXPECT_DOUBLE_EQ(CalcOrderLineKitQty(10, 50, 37, 10, 50, 1, 0), 7);     // 7.4 cut to 7
    EXPECT_DOUBLE_EQ(CalcOrderLineKitQty(10, 50, 37, 10, 50, 0, 2), 7.4);
    EXPECT_DOUBLE_EQ(CalcOrderLineKitQty(10, 50, 0, 20, 50, 1, 0), 0);      // would be -10
    EXPECT_DOUBLE_EQ(CalcPlannedLineKitQty(0.7, 10, 1, 1, 0), 7);           // 0.7*10 is 7, not 6
    EXPECT_DOUBLE_EQ(CalcPlannedLineKitQty(6.99, 10, 10, 1, 0), 6);
    EXPECT_DOUBLE_EQ(CalcKitRate(7, 10), 70.00);
    EXPECT_DOUBLE_EQ(CalcKitRate(2, 3), 66.67);
    EXPECT_DOUBLE_EQ(CalcKitRate(1, 0), 0);

    const QStringList sql = BuildDemandKitSQL(2, 2);
    ASSERT_EQ(sql.size(), 4);
    EXPECT_TRUE(sql[0].startsWith("update d set DmdASetQty=isnull(DmdASetQty,0)+isnull(DmdInvQty,0)+"
                                  "isnull(DmdPOQty,0), DmdASetRate=round(("));
    EXPECT_TRUE(sql[1].contains("(case when (case t.ItmPutInteger when 1 then round("));
    EXPECT_TRUE(sql[1].contains(" else 0 end") || sql[1].contains("then 0 else"));
    EXPECT_TRUE(sql[2].endsWith("and DmdBillType>84 and DmdNeedQty>0 and (DmdASetQty>0 or DmdInvQty>0 or DmdPOQty>0)"));
    EXPECT_TRUE(sql[3].contains("DmdASetRate=(case when DmdASetQty<>0 then round(DmdASetQty*100/SupQty, 2) else 0 end)"));
}

TEST(Kit, AvailableExpressionByOption)
{
    EXPECT_EQ(BuildKitAvailableSQL(0).A, "isnull(DmdASetQty,0)+isnull(DmdInvQty,0)");
    EXPECT_EQ(BuildKitAvailableSQL(-1).C, "DmdASetQty>0 or DmdInvQty>0");
    EXPECT_EQ(BuildKitAvailableSQL(1).A, "isnull(DmdASetQty,0)+isnull(DmdInvQty,0)+isnull(DmdPChkQty,0)");
    EXPECT_EQ(BuildKitAvailableSQL(3).C, "DmdASetQty>0 or DmdInvQty>0 or DmdPOQty>0 or DmdPRQty>0");
    EXPECT_EQ(BuildKitAvailableSQL(5).A, BuildKitAvailableSQL(3).A);
    EXPECT_TRUE(BuildSupplyKitFromComponentsSQL(0).contains("where LowestCode=0 union all select SupIID from "
                                                            "#QZ_MRP_Supplies with(nolock) where SupPDmdIID<0)"));
    EXPECT_TRUE(BuildSupplyKitFromComponentsSQL(1).contains("where LowestCode=1) and DmdBillQty>0"));
}

TEST(BomExplosion, GroupNumberOfOrderGroupsIsTheOriginNumberWithItsLine)
{
    // Groups 1 and 4 number component demands by the order and its line.
    const QString sql = BuildBomGroupNoSQL();
    const QString noWithEntry = "isnull(SupOrigNo,'')+(case when isnull(SupOrigEntry,0)<>0 then '/'+cast(SupOrigEntry as "
                                "nvarchar(10)) else '' end)";
    EXPECT_TRUE(sql.contains(" when 1 then (case when SupOrigType in (2, 4) and isnull(SupOrigID,'')<>'' then " + noWithEntry +
                             " else '' end)"))
        << sql.toStdString();
    EXPECT_TRUE(sql.contains(" when 4 then (case when SupOrigType in (2, 4) and isnull(SupOrigNo,'')<>'' then " + noWithEntry +
                             " else '' end)"));
    EXPECT_FALSE(sql.contains('%'));
}
