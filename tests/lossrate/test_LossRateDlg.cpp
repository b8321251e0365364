// The loss-rate editor: every step form read into the table and written back,
// the rules of the table, and the dialog's accept, clear, cancel and trial.
#include "DialogDriver.h"
#include "ScriptedMessageBoxes.h"
#include "TreeList.h"
#include "dlgLossRate.h"
#include "untLossRate.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

TLossRateStepRow step(QVariant qty, QVariant type, QVariant value)
{
    return TLossRateStepRow{qty, type, value};
}

TEST(LossRateEditor, EveryStepFormRoundTrips)
{
    SetLossRateTypeForTest(false);
    for (const char* text : {"5%", "2|100:3%|500:4%-|1.5%", "100:4%|200:2%+", "100:3%|2%", "2|100:3%", "0.5|1000:2.25%|0.125%",
                             "100:2%|200:4%-|300:6%-|5%"}) {
        const QList<TLossRateStepRow> rows = LossRateTextToRows(QString::fromUtf8(text));
        const TLossRateCheck check = CheckLossRateRows(rows, false);
        EXPECT_TRUE(check.Ok) << text << ": " << check.Message.toStdString();
        EXPECT_EQ(check.Text, QString::fromUtf8(text));
    }
    // a closing bar and spaces are dropped, "%+" and "%-" follow the values
    EXPECT_EQ(CheckLossRateRows(LossRateTextToRows(QStringLiteral(" 100 : 3% | 2% |")), false).Text, QStringLiteral("100:3%|2%"));
    EXPECT_EQ(CheckLossRateRows(LossRateTextToRows(QStringLiteral("100:4%|200:2%-")), false).Text,
              QStringLiteral("100:4%|200:2%+"));
}

TEST(LossRateEditor, RangeDescriptions)
{
    const QList<TLossRateStepRow> rows{step(0, 2, 2), step(100, 0, 3), step(500, 1, 4), step(QVariant(), 0, 1.5)};
    EXPECT_EQ(LossRateRangeTexts(rows), (QStringList{QStringLiteral("任意标准用量"), QStringLiteral("标准用量 ≤ 100"),
                                                     QStringLiteral("100 < 标准用量 ≤ 500"), QStringLiteral("500 < 标准用量")}));
}

struct RuleCase {
    QList<TLossRateStepRow> rows;
    bool divide;
    int row;     // -1: accepted
    int column;
    const char* message;
};

TEST(LossRateEditor, RulesOfTheTable)
{
    const QVariant none;
    const QList<RuleCase> cases{
        {{step(-1, 0, 3)}, false, 0, 0, "[标准用量]的值(-1)没有大于或等于0 !"},
        {{step(200, 0, 3), step(100, 0, 2)}, false, 1, 0, "分段的标准用量(100)不能小于前面分段的值(200)!"},
        {{step(100, none, 3)}, false, 0, 1, "[类型]的内容不能为空!"},
        {{step(100, 1, 3)}, false, 0, 1, "[平滑至百分比]类型分段只能出现在[百分比]或[平滑至百分比]类型分段之后!"},
        {{step(0, 2, 2), step(100, 1, 3)}, false, 1, 1, "[平滑至百分比]类型分段只能出现在[百分比]或[平滑至百分比]类型分段之后!"},
        {{step(100, 0, 2), step(100, 1, 3)}, false, 1, 0, "[平滑至百分比]类型分段的标准用量(100)没有大于前面分段的值(100)!"},
        {{step(100, 0, 2), step(0, 0, 3), step(300, 0, 1)}, false, 1, 0, "分段的标准用量(0)不能小于前面分段的值(100)!"},
        {{step(0, 2, 2), step(0, 0, 3), step(300, 0, 1)}, false, 1, 0, "中间分段的标准用量不能等于0 !"},
        {{step(0, 2, 5)}, false, 0, 1, "尾分段的标准用量为0时(表示标准用量无上限), 只能设置[百分比]类型的损耗值!"},
        {{step(0, 0, 5), step(100, 0, 2)}, false, 0, 1, "首分段的标准用量为0时(表示标准用量任意), 只能设置[固定数量]类型的损耗值!"},
        {{step(100, 0, -2)}, false, 0, 2, "[损耗值]的值(-2)没有大于或等于0 !"},
        {{step(100, 2, 0)}, false, 0, 2, "[固定数量]类型的损耗值不能等于0 !"},
        {{step(100, 0, 2), step(200, 1, 2)}, false, 1, 2, "[平滑至百分比]类型的损耗值不能与前面分段的值相同!"},
        // percentages of 100 or more: fine when multiplying, refused when dividing
        {{step(0, 0, 150)}, false, -1, -1, ""},
        {{step(0, 0, 100)}, true, 0, 2, "当前系统损耗率模式下[公式: 投料数=标准用量÷(1-损耗率%)], 损耗值必须小于100% !"},
        {{step(0, 0, 99.5)}, true, -1, -1, ""},
        {{step(0, 2, 150), step(0, 0, 2)}, true, -1, -1, ""},
        // a single row of 0 must be a percentage; as the first of several a fixed quantity
        {{step(0, 0, 5)}, false, -1, -1, ""},
        {{step(0, 2, 5), step(0, 0, 2)}, false, -1, -1, ""},
    };
    for (int i = 0; i < cases.size(); ++i) {
        const RuleCase& c = cases[i];
        const TLossRateCheck check = CheckLossRateRows(c.rows, c.divide);
        EXPECT_EQ(check.Ok, c.row < 0) << "case " << i;
        EXPECT_EQ(check.Row, c.row) << "case " << i;
        EXPECT_EQ(check.Column, c.column) << "case " << i;
        EXPECT_EQ(check.Message, QString::fromUtf8(c.message)) << "case " << i;
    }
}

TEST(LossRateEditor, EmptyTextGivesOnePercentageRow)
{
    SetLossRateTypeForTest(false);
    QString text;
    kvtest::WhenShown<TLossRateDlg>([](TLossRateDlg* dlg) {
        ASSERT_EQ(dlg->trlLossRate->topCount(), 1);
        EXPECT_EQ(dlg->trlLossRate->topNode(0)->value(dlg->colType), 0);
        EXPECT_TRUE(dlg->trlLossRate->topNode(0)->value(dlg->colQty).isNull());
        EXPECT_EQ(dlg->lblFormula->text(), QStringLiteral("当前系统公式: 投料数=标准用量×(1+损耗率%)"));
        dlg->btnOk->click();
    });
    EXPECT_TRUE(ShowLossRateDlg(text));
    EXPECT_EQ(text, QStringLiteral("0%"));
}

TEST(LossRateEditor, ClearCancelAndRefusedOk)
{
    SetLossRateTypeForTest(true);
    QString text = QStringLiteral("100:3%|2%");
    kvtest::WhenShown<TLossRateDlg>([](TLossRateDlg* dlg) {
        EXPECT_EQ(dlg->lblFormula->text(), QStringLiteral("当前系统公式: 投料数=标准用量÷(1-损耗率%)"));
        EXPECT_EQ(dlg->trlLossRate->topCount(), 2);
        dlg->btnClear->click();
    });
    EXPECT_TRUE(ShowLossRateDlg(text));
    EXPECT_TRUE(text.isEmpty());

    text = QStringLiteral("100:3%|2%");
    kvtest::WhenShown<TLossRateDlg>([](TLossRateDlg* dlg) {
        dlg->trlLossRate->topNode(1)->setValue(dlg->colValue, 0.5);
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(ShowLossRateDlg(text));
    EXPECT_EQ(text, QStringLiteral("100:3%|2%"));

    // a broken rule keeps the dialog open on the row
    ScriptedMessageBoxes boxes;
    kvtest::WhenShown<TLossRateDlg>([](TLossRateDlg* dlg) {
        dlg->trlLossRate->topNode(1)->setValue(dlg->colValue, 100);
        dlg->btnOk->click();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(dlg->trlLossRate->focusedNode(), dlg->trlLossRate->topNode(1));
        EXPECT_EQ(dlg->trlLossRate->focusedColumn(), dlg->colValue);
        dlg->trlLossRate->topNode(1)->setValue(dlg->colValue, 2.5);
        dlg->btnOk->click();
    });
    EXPECT_TRUE(ShowLossRateDlg(text));
    EXPECT_EQ(text, QStringLiteral("100:3%|2.5%"));
    ASSERT_EQ(boxes.shown.size(), 1);
}

TEST(LossRateEditor, RowsAndTrial)
{
    SetLossRateTypeForTest(false);
    ScriptedMessageBoxes boxes;
    TLossRateDlg dlg;
    dlg.SetLossRateStr(QStringLiteral("100:2%|200:4%-"));
    dlg.LoadSteps();
    EXPECT_EQ(dlg.trlLossRate->topNode(1)->value(dlg.colText), QStringLiteral("100 < 标准用量 ≤ 200"));
    dlg.edtTestQty->setText(QStringLiteral("150"));
    dlg.btnTestClick();
    EXPECT_EQ(dlg.edtTestLoss->text(), QStringLiteral("3.5"));
    dlg.edtTestQty->setText(QStringLiteral("0"));
    EXPECT_TRUE(dlg.edtTestLoss->text().isEmpty());
    dlg.btnTestClick();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("[标准用量]的值不能为零!"));

    // insert after the focused row, remove it, and never leave the table empty
    dlg.trlLossRate->setFocusedNode(dlg.trlLossRate->topNode(0));
    dlg.btnAddClick(false);
    ASSERT_EQ(dlg.trlLossRate->topCount(), 3);
    EXPECT_EQ(dlg.trlLossRate->focusedNode(), dlg.trlLossRate->topNode(1));
    EXPECT_EQ(dlg.trlLossRate->topNode(1)->value(dlg.colType), 0);
    // the new row has no bound yet, so the one after it starts from nothing
    EXPECT_EQ(dlg.trlLossRate->topNode(2)->value(dlg.colText), QStringLiteral("标准用量 ≤ 200"));
    for (int i = 0; i < 3; ++i)
        dlg.btnRemoveClick();
    EXPECT_EQ(dlg.trlLossRate->topCount(), 1);
}

} // namespace
