// The plan-state gate of the release run on the demo account set.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "UDBComm.h"
#include "untMRP.h"
#include "untMRPOutputState.h"

#include <gtest/gtest.h>

TEST(OutputPlanState, OnlyReleasedSchemesOrStartedOutputPass)
{
    kvtest::DemoLogin& login = kvtest::DemoLogin::instance();
    TPlanScheme scheme(GlobalADOConnection);
    ASSERT_TRUE(scheme.Load(1));
    const struct {
        int state;
        bool passes;
    } cases[] = {{8, true}, {9, true}, {7, false}, {10, false}, {6, false}};
    for (const auto& c : cases) {
        login.exec(QStringLiteral("update QZ_MRP_Schemes set SchState=%1 where SchIID=1").arg(c.state));
        scheme.PlanState = 8; // what the view saw earlier does not count: the state is read again
        ScriptedMessageBoxes boxes;
        EXPECT_EQ(CheckPlanStateForOutput(scheme), c.passes) << c.state;
        if (c.passes) {
            EXPECT_TRUE(boxes.shown.isEmpty());
        } else {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown[0].text,
                      QStringLiteral("计划方案[%1]已取消发布, 或已关闭投放, 不能继续进行投放!").arg(scheme.SchemeName));
        }
    }
    // A private scheme of the quick analyses passes whatever its state.
    scheme.PlanType = 1;
    ScriptedMessageBoxes boxes;
    EXPECT_TRUE(CheckPlanStateForOutput(scheme));
    EXPECT_TRUE(boxes.shown.isEmpty());
}
