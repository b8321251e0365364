// Evaluation of stepped loss texts and the two loss formulas.
#include "untLossRate.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

struct StepCase {
    const char* text;
    double qty;
    double defaultRate;
    bool divide;
    double expected;
};

class LossStepsTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(LossStepsTest, TotalLoss)
{
    const StepCase& c = GetParam();
    SetLossRateTypeForTest(c.divide);
    EXPECT_DOUBLE_EQ(ParseLossRateSteps(QString::fromUtf8(c.text), c.qty, c.defaultRate), c.expected)
        << c.text << " on " << c.qty;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LossStepsTest,
    ::testing::Values(
        // no text: the plain rate
        StepCase{"", 50, 10, false, 5}, StepCase{"   ", 50, 0, false, 0}, StepCase{"", 200, 5, true, 10.52631579},
        // one percentage on any quantity, both formulas
        StepCase{"5%", 200, 0, false, 10}, StepCase{"5%", 200, 0, true, 10.52631579},
        // progressive percentages
        StepCase{"100:3%|2%", 250, 0, false, 6},
        // a fixed quantity counts once; nothing above the last bound
        StepCase{"2|100:3%", 250, 0, false, 5}, StepCase{"2|100:3%", 50, 0, false, 3.5},
        // a smooth step interpolates inside its range and charges its own rate above it
        StepCase{"100:2%|200:4%-", 150, 0, false, 3.5}, StepCase{"100:2%|200:4%-", 200, 0, false, 6},
        StepCase{"100:2%|200:4%-", 500, 0, false, 6}, StepCase{"100:4%|200:2%+", 150, 0, false, 5.5},
        // the editor's longer example
        StepCase{"2|100:3%|500:4%-|1.5%", 300, 0, false, 2 + 3 + 7}, StepCase{"2|100:3%|500:4%-|1.5%", 600, 0, false, 2 + 3 + 16 + 1.5},
        // 100 % or more in the divide mode is no loss for that step
        StepCase{"100%", 50, 0, true, 0}, StepCase{"100:150%|2%", 150, 0, true, 1.02040816},
        StepCase{"150%", 10, 0, false, 15},
        // a closing bar and spaces change nothing
        StepCase{"100:3%|2%|", 250, 0, false, 6}, StepCase{" 100 : 3 % | 2 % ", 250, 0, false, 6},
        // unreadable numbers read as 0
        StepCase{"x:3%|abc%", 100, 0, false, 0}, StepCase{"abc", 100, 0, false, 0}));

TEST(LossFormulas, RateOfALoss)
{
    SetLossRateTypeForTest(false);
    EXPECT_DOUBLE_EQ(CalcLossRateQty(200, 10), 5);
    EXPECT_DOUBLE_EQ(CalcLossRateQty(200, 0), 0);
    EXPECT_DOUBLE_EQ(CalcLossRateQty(200, -3), 0);
    // no standard quantity leaves the rate undefined
    EXPECT_DOUBLE_EQ(CalcLossRateQty(0, 3), 0);
    SetLossRateTypeForTest(true);
    EXPECT_DOUBLE_EQ(CalcLossRateQty(200, 10), 4.76190476);
    EXPECT_DOUBLE_EQ(CalcLossRateQty(0, 3), 100);
}

TEST(LossFormulas, LossOfARate)
{
    SetLossRateTypeForTest(false);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(200, 0), 0);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(200, -5), 0);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(3, 100.0 / 3), 1);
    SetLossRateTypeForTest(true);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(200, 50), 200);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(200, 150), 0);
    EXPECT_DOUBLE_EQ(CalcStepLossRateQty(200, 100), 0);
}

TEST(LossNumbers, IndependentOfTheLocale)
{
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German));
    EXPECT_EQ(LossFloatToText(1.5), QStringLiteral("1.5"));
    EXPECT_DOUBLE_EQ(LossTextToFloat(QStringLiteral("1.5")), 1.5);
    // texts written where a comma was the decimal separator still read
    EXPECT_DOUBLE_EQ(LossTextToFloat(QStringLiteral("1,5")), 1.5);
    SetLossRateTypeForTest(false);
    EXPECT_DOUBLE_EQ(ParseLossRateSteps(QStringLiteral("100:1.5%|2%"), 200, 0), 3.5);
    QLocale::setDefault(previous);
}

} // namespace
