// The automatic deduction's options: their stored text and the dialog that
// shows and keeps the user's last choices.
#include "DeductFixture.h"
#include "dlgDeductAuto.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>

using namespace deductui;

namespace {

double Day(int y, int m, int d) { return double(QDate(1899, 12, 30).daysTo(QDate(y, m, d))); }

QString describe(const TAuotDeductOptions& o)
{
    return QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
        .arg(o.SpanDeduct)
        .arg(o.Span1Week)
        .arg(o.Span2Month)
        .arg(o.Span2Date)
        .arg(o.DaysBefore)
        .arg(o.DaysAfter)
        .arg(o.KeepLast);
}

} // namespace

TEST(AutoDeductOptionsText, ReadingFallsBackItemByItem)
{
    struct Case {
        const char* text;
        QString expected;
    };
    const Case cases[] = {
        {"", QStringLiteral("1 1 0 0 0 30 1")},
        {"1,0,1,2027-03-01,5,10,0", QStringLiteral("1 0 1 %1 5 10 0").arg(Day(2027, 3, 1))},
        {"0, 1 ,0,20270301,2,4,1", QStringLiteral("0 1 0 %1 2 4 1").arg(Day(2027, 3, 1))},
        {"yes,1,x,03/01/2027,five,-3", QStringLiteral("0 1 0 0 0 -3 0")},
    };
    for (const Case& c : cases) {
        TAuotDeductOptions o;
        ReadAutoDeductOptionsText(QString::fromUtf8(c.text), o);
        EXPECT_EQ(describe(o), c.expected) << c.text;
    }
}

TEST(AutoDeductOptionsText, TheStoredTextIsTheSameInEveryLocale)
{
    TAuotDeductOptions o;
    o.SpanDeduct = true;
    o.Span1Week = true;
    o.Span2Month = true;
    o.Span2Date = Day(2027, 3, 1);
    o.DaysBefore = 1;
    o.DaysAfter = 12;
    const QLocale previous;
    for (const char* name : {"de_DE", "zh_CN", "en_US"}) {
        QLocale::setDefault(QLocale(QLatin1String(name)));
        EXPECT_EQ(AutoDeductOptionsText(o), QStringLiteral("1,1,1,2027-03-01,1,12,0")) << name;
        TAuotDeductOptions back;
        ReadAutoDeductOptionsText(AutoDeductOptionsText(o), back);
        EXPECT_EQ(describe(back), describe(o)) << name;
    }
    QLocale::setDefault(previous);
}

namespace {

class DeductAutoDlgTest : public DeductDbTest {
protected:
    void TearDown() override
    {
        TDeductAutoDlg::ExecHook = nullptr;
        DeductDbTest::TearDown();
    }
    QString setting(const char* key)
    {
        return InfoApplication->ReadSystemSettingAsString(QStringLiteral("QZ_MRP"), QLatin1String(key), QString(), false);
    }
    void setSetting(const char* key, const QString& value)
    {
        InfoApplication->WriteSystemSettingAsString(QStringLiteral("QZ_MRP"), QLatin1String(key), value, false);
    }
};

bool FilterPicked(TInfoObjectDef*, QString& AText, QString& ACode, TADOQuery*, const QString&, bool)
{
    AText.clear();
    ACode = QStringLiteral("code-of-empty-text");
    return true;
}

} // namespace

TEST_F(DeductAutoDlgTest, FirstUseProposesWeeksAndKeepsWhatWasChosen)
{
    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg& dlg) {
        EXPECT_TRUE(dlg.rdbSpan->isChecked());
        EXPECT_EQ(dlg.cboSpan->currentIndex(), 0);
        EXPECT_TRUE(dlg.chkDate->isEnabled());
        EXPECT_FALSE(dlg.chkDate->isChecked());
        EXPECT_FALSE(dlg.edtDate->isEnabled());
        EXPECT_EQ(dlg.edtDate->date(), QDate::currentDate().addMonths(1));
        EXPECT_EQ(dlg.edtBefore->value(), 0);
        EXPECT_EQ(dlg.edtAfter->value(), 30);
        EXPECT_TRUE(dlg.chkKeep->isChecked());
        EXPECT_EQ(dlg.memSO->toPlainText(), QStringLiteral("(默认范围)"));
        // A filter with an empty text shows, and is stored as, the placeholder.
        dlg.btnSOClick();
        EXPECT_EQ(dlg.memSO->toPlainText(), QStringLiteral("(默认范围)"));
        dlg.chkDate->setChecked(true);
        dlg.edtDate->setDate(QDate(2027, 3, 1));
        dlg.done(QDialog::Accepted);
        return dlg.result();
    };
    InfoApplication->ShowFilterDlgProc = &FilterPicked;
    TAuotDeductOptions o;
    ASSERT_TRUE(ShowDeductAutoDlg(o));
    EXPECT_EQ(describe(o), QStringLiteral("1 1 1 %1 0 30 1").arg(Day(2027, 3, 1)));
    EXPECT_EQ(o.SOFilterCode, QStringLiteral("code-of-empty-text"));
    EXPECT_EQ(setting("AutoDeductOptions"), QStringLiteral("1,1,1,2027-03-01,0,30,1"));
    EXPECT_EQ(setting("AutoDeductSOFilterCode"), QStringLiteral("code-of-empty-text"));
    EXPECT_EQ(setting("AutoDeductSOFilterText"), QStringLiteral("(默认范围)"));
    EXPECT_EQ(setting("AutoDeductForFilterText"), QStringLiteral("(默认范围)"));
}

TEST_F(DeductAutoDlgTest, EnablingFollowsTheKindAndTheSpan)
{
    setSetting("AutoDeductOptions", QStringLiteral("1,1,1,1999-05-01,2,9,0"));
    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg& dlg) {
        // A switch date before 2000 is not shown.
        EXPECT_EQ(dlg.edtDate->date(), QDate::currentDate().addMonths(1));
        EXPECT_TRUE(dlg.edtDate->isEnabled());
        dlg.cboSpan->setCurrentIndex(1);
        EXPECT_FALSE(dlg.chkDate->isEnabled());
        EXPECT_FALSE(dlg.edtDate->isEnabled());
        dlg.rdbOrder->setChecked(true);
        EXPECT_FALSE(dlg.cboSpan->isEnabled());
        EXPECT_TRUE(dlg.edtBefore->isEnabled());
        dlg.done(QDialog::Accepted);
        return dlg.result();
    };
    TAuotDeductOptions o;
    ASSERT_TRUE(ShowDeductAutoDlg(o));
    // The period choices still come back, without a switch date.
    EXPECT_EQ(describe(o), QStringLiteral("0 0 1 0 2 9 0"));
    EXPECT_EQ(setting("AutoDeductOptions"), QStringLiteral("0,0,1,1899-12-30,2,9,0"));
}

TEST_F(DeductAutoDlgTest, AnEmptyEnabledDateKeepsTheDialogOpen)
{
    TDeductAutoDlg::ExecHook = [](TDeductAutoDlg& dlg) {
        ScriptedMessageBoxes boxes;
        dlg.chkDate->setChecked(true);
        dlg.SetDateEmpty();
        dlg.setResult(-1);
        dlg.done(QDialog::Accepted);
        EXPECT_EQ(dlg.result(), -1);
        EXPECT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown.value(0).text, QStringLiteral("[日期]的内容不能为空!"));
        dlg.done(QDialog::Rejected);
        return dlg.result();
    };
    setSetting("AutoDeductSIFilterCode", QStringLiteral("kept"));
    TAuotDeductOptions o;
    o.SIFilterCode = QStringLiteral("before");
    EXPECT_FALSE(ShowDeductAutoDlg(o));
    EXPECT_EQ(o.SIFilterCode, QStringLiteral("before"));
    EXPECT_EQ(setting("AutoDeductOptions"), QString());
}
