// The loss formula read from the account set, and the demo account set's
// item settings procedure, with plan01 logged in.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "StandInProcedures.h"
#include "untLossRate.h"

#include <gtest/gtest.h>

using kvtest::DemoLogin;

namespace {

QString row(const QString& sql)
{
    EXPECT_TRUE(ExecSQLText(GlobalADOQuery, sql, true, false, false));
    QStringList parts;
    if (!GlobalADOQuery->IsEmpty())
        for (int i = 0; i < GlobalADOQuery->FieldCount(); ++i)
            parts << GlobalADOQuery->Fields()->Field(i)->AsString();
    GlobalADOQuery->Close();
    return parts.join(u'|');
}

class ItemSettingDbTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kvdemo::registerStandInProcedures();
        DemoLogin::instance();
    }
};

TEST_F(ItemSettingDbTest, LossFormulaIsReadOnceAndKept)
{
    ResetLossRateType();
    EXPECT_FALSE(GetLossRateType());
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_LossRateType set LosType=1"));
    EXPECT_FALSE(GetLossRateType()) << "the formula is read once per process";
    ResetLossRateType();
    EXPECT_TRUE(GetLossRateType());
    // no row reads as the multiply mode
    DemoLogin::instance().exec(QStringLiteral("delete QZ_MRP_LossRateType"));
    ResetLossRateType();
    EXPECT_FALSE(GetLossRateType());
    DemoLogin::instance().exec(QStringLiteral("insert QZ_MRP_LossRateType (LosType) values (0)"));
    ResetLossRateType();
}

TEST_F(ItemSettingDbTest, FailedReadIsShownAndTriedAgain)
{
    ResetLossRateType();
    DemoLogin::instance().exec(QStringLiteral("drop table QZ_MRP_LossRateType"));
    ScriptedMessageBoxes boxes;
    EXPECT_ANY_THROW(GetLossRateType());
    EXPECT_EQ(boxes.shown.size(), 1);
    DemoLogin::instance().exec(QStringLiteral("create table QZ_MRP_LossRateType (LosType int not null default(0))\rinsert QZ_MRP_LossRateType (LosType) values (0)"));
    EXPECT_FALSE(GetLossRateType());
}

TEST_F(ItemSettingDbTest, ProcedureInsertsAndUpdates)
{
    const QString call = QStringLiteral(
        "exec QZ_MRP_UpdateItemSetting @ItmID='%1', @ItmMrpType=1, @ItmMrpSkip=0, @ItmPlannerID='E01', @ItmBuyerID='', "
        "@ItmMrpGroup=0, @ItmMrpTrack=0, @ItmPreLeadTime=1,@ItmFixLeadTime=%2, @ItmVarLeadTime=0, @ItmVarLeadLot=0.00000000, "
        "@ItmPostLeadTime=0, @ItmSafeQty=%3, @ItmMinQty=0.00000000, @ItmLotQty=0.00000000, @ItmMaxQty=0.00000000, "
        "@ItmPutLossType=2, @ItmPutLossRate='100:3%%|2%%',@ItmPutInteger=1, @ItmSuitSkip=0, @ItmOutSkip=0, "
        "@ItmMOBomSkip=0, @ItmOOBomSkip=0, @ItmMODeptID='', @ItmPOSuppID='S001', @ItmOOSuppID='', @ItmPlanItmID=''");
    // an item without settings gets a row
    const QString item = QStringLiteral("ISA-102");
    DemoLogin::instance().exec(QStringLiteral("delete QZ_MRP_ItemSetting where ItmID='ISA-102'"));
    const int before = DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_ItemSetting"));
    ASSERT_TRUE(ExecSQLText(GlobalADOQuery, QString(call).replace(QStringLiteral("%%"), QStringLiteral("%")).arg(item, "4", "12.50000000"), false, false, false));
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_ItemSetting")), before + 1);
    EXPECT_EQ(row(QStringLiteral("select ItmMrpType, ItmFixLeadTime, ItmSafeQty, ItmMinQty, ItmPutLossType, ItmPutLossRate, "
                                 "ItmPlannerID, ItmBuyerID, ItmPOSuppID from QZ_MRP_ItemSetting where ItmID='%1'").arg(item)),
              QStringLiteral("1|4|12.5||2|100:3%|2%|E01||S001"));
    // a second call updates it
    ASSERT_TRUE(ExecSQLText(GlobalADOQuery, QString(call).replace(QStringLiteral("%%"), QStringLiteral("%")).arg(item, "6", "0.00000000"), false, false, false));
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_ItemSetting")), before + 1);
    EXPECT_EQ(row(QStringLiteral("select ItmFixLeadTime, ItmSafeQty from QZ_MRP_ItemSetting where ItmID='%1'").arg(item)),
              QStringLiteral("6|"));
    // an unknown item is refused
    ScriptedMessageBoxes boxes;
    EXPECT_FALSE(ExecSQLText(GlobalADOQuery, QString(call).replace(QStringLiteral("%%"), QStringLiteral("%")).arg("NO-SUCH", "1", "0"), false, false, false));
}

} // namespace
