// The check-options dialog.
#include "dlgCheckOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Runs the steps on the dialog that opens next; a dialog left open is cancelled.
void WhenShown(std::function<void(TCheckOptionsDlg*)> steps)
{
    QTimer::singleShot(0, [steps] {
        auto* dlg = qobject_cast<TCheckOptionsDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            ADD_FAILURE() << "the dialog is not shown";
            if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                other->reject();
            return;
        }
        steps(dlg);
        if (dlg->isVisible())
            dlg->reject();
    });
}

QList<bool> Ticks(TCheckOptionsDlg* dlg)
{
    QList<bool> r;
    for (QCheckBox* b : dlg->Items)
        r << b->isChecked();
    return r;
}

} // namespace

TEST(CheckOptionsDlg, InitialTicksAndTheResultOnOk)
{
    const QStringList captions{QStringLiteral("保留类型调整"), QStringLiteral("保留BOM调整"), QStringLiteral("保留数量调整")};
    const struct {
        QList<bool> in;
        QList<bool> shown;
    } cases[] = {
        {{true, false, true, true, true}, {true, false, true}}, // extra checks are ignored
        {{false, true}, {false, true, false}},                  // missing ones start unticked
        {{}, {false, false, false}},
    };
    for (const auto& c : cases) {
        QList<bool> checks = c.in;
        QList<bool> shown;
        WhenShown([&](TCheckOptionsDlg* dlg) {
            shown = Ticks(dlg);
            dlg->Items[2]->setChecked(!dlg->Items[2]->isChecked());
            dlg->btnOk->click();
        });
        EXPECT_TRUE(ShowCheckOptionsDlg(captions, checks, "选项", QString()));
        EXPECT_EQ(shown, c.shown);
        QList<bool> expected = c.shown;
        expected[2] = !expected[2];
        EXPECT_EQ(checks, expected); // exactly one entry per caption
    }
}

TEST(CheckOptionsDlg, CancelLeavesTheChecksAsTheyWere)
{
    QList<bool> checks{true};
    WhenShown([](TCheckOptionsDlg* dlg) {
        dlg->Items[0]->setChecked(false);
        dlg->Items[1]->setChecked(true);
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(ShowCheckOptionsDlg({"a", "b"}, checks, "g", QString()));
    EXPECT_EQ(checks, QList<bool>{true});
}

TEST(CheckOptionsDlg, Captions)
{
    QList<bool> checks;
    QString group, title;
    QStringList items;
    WhenShown([&](TCheckOptionsDlg* dlg) {
        group = dlg->FItems->title();
        title = dlg->windowTitle();
        for (QCheckBox* b : dlg->Items)
            items << b->text();
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowCheckOptionsDlg({"甲", "乙"}, checks, "重算选项", QString()));
    EXPECT_EQ(group, QStringLiteral(" 重算选项 "));
    EXPECT_EQ(title, QStringLiteral("指定选项"));
    EXPECT_EQ(items, (QStringList{"甲", "乙"}));
    EXPECT_EQ(checks, (QList<bool>{false, false}));

    WhenShown([&](TCheckOptionsDlg* dlg) {
        title = dlg->windowTitle();
        dlg->btnCancel->click();
    });
    ShowCheckOptionsDlg({"甲"}, checks, "g", QStringLiteral("重算"));
    EXPECT_EQ(title, QStringLiteral("重算"));
}
