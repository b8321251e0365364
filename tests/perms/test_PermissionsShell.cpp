// The main window's 用户权限 for the administrator, and the navigator of a
// restricted user after the administrator changed the user's grants.
#include "shell_fixture.h"
#include "dlgPermissions.h"

#include <QTimer>

using namespace shelltest;

TEST_F(ShellTest, TheAdministratorsPermissionCommandOpensTheWindowAndTheNavigatorFollows)
{
    ASSERT_TRUE(login("admin"));
    newForm();
    ASSERT_TRUE(form->actSystemPermission->isEnabled());
    QString shown;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<TPermissionsDlg*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        shown = dlg->windowTitle();
        // the group BUY loses the purchase requests and gains the forecasts
        const auto focus = [&](const QString& text) {
            for (kvui::TreeNode* n : dlg->trlObjects->allNodes())
                if (n->text(dlg->colObjName) == text)
                    dlg->trlObjects->setFocusedNode(n);
        };
        focus("BUY (采购组)");
        dlg->actOpen->trigger();
        for (kvui::TreeNode* n : dlg->trlPermissions->topNodes())
            dlg->trlPermissions->selectNode(n, n->text(dlg->colGrantObjName) == "采购申请");
        dlg->actItemRemove->trigger();
        dlg->LoadSubjectGrants({"QZ_MRP.Forcast"});
        dlg->FModified = true;
        dlg->actSave->trigger();
        dlg->actClose->trigger();
    });
    form->actSystemPermission->trigger();
    EXPECT_EQ(shown, "用户权限");

    form->actSystemLogout->trigger();
    pump();
    ASSERT_TRUE(login("buy01"));
    form->LoadNavigator();
    const QStringList nav = navigator();
    ASSERT_EQ(nav.size(), 1);
    EXPECT_EQ(nav[0], "计划管理: 计划资料, 计划资料/物料计划参数, 需求管理, 需求管理/产品预测, 需求管理/预测冲销, 供应单据, 供应单据/即时库存, "
                      "供应单据/采购订单, 供应单据/采购在检, 计划运算, 计划运算/MRP计划查询, 计划运算/MRP计划投放");
}
