// The user and info-object pickers: their trees, what can be chosen, what
// they answer, and the search of the user picker.
#include "PermsTestSupport.h"
#include "dlgSelectInfoObject.h"
#include "dlgSelectUser.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

TUserRec rec(const char* id, bool group)
{
    TUserRec r;
    r.UserID = QString::fromUtf8(id);
    r.IsGroup = group;
    return r;
}

class PickerTest : public PermsFixture {};

} // namespace

TEST_F(PickerTest, UserTreeHangsUsersUnderTheirCategoriesAndMarksTheListedOnes)
{
    // a nested pair of categories without users, and a user of no known category
    exec("insert QZ_SYS_UserCategories (CatID, CatNo, CatName, CatParent) values ('C04', '04', '仓库部', 'C03')\n"
         "insert QZ_SYS_UserCategories (CatID, CatNo, CatName, CatParent) values ('C05', '05', '临时', 'C04')\n"
         "insert QZ_SYS_Users (UsrID, UsrNo, UsrName, UsrCatID, UsrAdmin, UsrDisabled) values ('guest', 'Guest', 'GUEST', 'CX', 0, 0)");
    kvui::TreeList tree;
    kvui::Column* id = tree.addColumn();
    kvui::Column* text = tree.addColumn();
    // buy01 is listed as a group, which it is not: it stays choosable
    LoadUserTree(&tree, id, text, 0, 1, false, TShowUserOptions(),
                 {rec("PLAN01", false), rec("G_BUY", true), rec("buy01", true)});
    EXPECT_EQ(treeLines(&tree, text), QStringList({"(用户组) [1]", "  ADMIN (系统管理组) [4]", "  BUY (采购组) [7]",
                                                   "  PLAN (计划组) [4]", "管理部 [1]", "  admin (系统管理员) [2]", "计划部 [1]",
                                                   "  plan01 (王计划) [5]", "采购部 [1]", "  buy01 (李采购) [2]", "(未分类) [1]",
                                                   "  Guest [2]"}));
    kvui::TreeNode* plan = nodeByText(&tree, text, "PLAN (计划组)");
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->text(id), "G_PLAN");
    EXPECT_EQ(plan->stateIndex(), 0);
    EXPECT_EQ(nodeByText(&tree, text, "Guest")->stateIndex(), 1);
    EXPECT_EQ(nodeByText(&tree, text, "计划部")->stateIndex(), -1);

    // The permissions variant lists holders only, a disabled one included;
    // without "(未分类)" users the node goes.
    exec("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (0, 'old01', 'QZ_MRP.PO', 0, '', 1)");
    LoadUserTree(&tree, id, text, 0, 1, true, TShowUserOptions(), {});
    EXPECT_EQ(treeLines(&tree, text), QStringList({"(用户组) [1]", "  BUY (采购组) [4]", "  PLAN (计划组) [4]", "计划部 [1]",
                                                   "  old01 (赵离职) [3]"}));

    LoadUserTree(&tree, id, text, 0, 1, false, uoUsers, {});
    EXPECT_EQ(tree.topNode(0)->text(text), "管理部");
}

TEST_F(PickerTest, UserTreeKeepsWhatLoadedBeforeAFailingStatement)
{
    exec("drop table QZ_SYS_UserCategories");
    kvui::TreeList tree;
    kvui::Column* id = tree.addColumn();
    kvui::Column* text = tree.addColumn();
    LoadUserTree(&tree, id, text, 0, 1, false, TShowUserOptions(), {});
    EXPECT_EQ(treeLines(&tree, text, false), QStringList({"(用户组)", "  ADMIN (系统管理组)", "  BUY (采购组)", "  PLAN (计划组)"}));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.startsWith("错误: ")) << boxes.shown[0].text.toStdString();
}

TEST_F(PickerTest, UserPickerOffersOnlyNewChoicesAndAnswersThem)
{
    app->ShowSelectUserProc = &DoShowSelectUser;
    TUserRecs users = {rec("plan01", false)};
    QStringList seen;
    onNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<TSelectUserDlg*>(w);
        ASSERT_TRUE(dlg);
        seen << dlg->windowTitle();
        kvui::TreeList* tree = dlg->grdUsers;
        seen << (dlg->btnOk->isEnabled() ? "ok" : "no ok");
        // folders and listed users refuse the selection
        for (const char* t : {"plan01 (王计划)", "计划部", "PLAN (计划组)", "buy01 (李采购)"})
            tree->selectNode(nodeByText(tree, dlg->colUserText, QString::fromUtf8(t)), true);
        seen << QString::number(tree->selectedCount()) << (dlg->btnOk->isEnabled() ? "ok" : "no ok");
        dlg->btnOk->click();
    });
    ASSERT_TRUE(app->ShowSelectUser(users, true, "选择授权用户", TShowUserOptions()));
    EXPECT_EQ(seen, QStringList({"选择授权用户", "no ok", "2", "ok"}));
    ASSERT_EQ(users.size(), 2);
    EXPECT_EQ(users[0].UserID, "G_PLAN");
    EXPECT_EQ(users[0].UserName, "PLAN (计划组)");
    EXPECT_TRUE(users[0].IsGroup);
    EXPECT_EQ(users[1].UserID, "buy01");
    EXPECT_FALSE(users[1].IsGroup);
    EXPECT_FALSE(users[1].IsDisabled);

    // Groups alone, untitled: the caption says so; cancelling leaves the list.
    onNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<TSelectUserDlg*>(w);
        ASSERT_TRUE(dlg);
        seen = QStringList{dlg->windowTitle()} + treeLines(dlg->grdUsers, dlg->colUserText, false);
        dlg->btnCancel->click();
    });
    EXPECT_FALSE(DoShowSelectUser(users, false, "  ", uoGroups));
    EXPECT_EQ(seen, QStringList({"选择用户组", "(用户组)", "  ADMIN (系统管理组)", "  BUY (采购组)", "  PLAN (计划组)"}));
    EXPECT_EQ(users.size(), 2);
}

TEST_F(PickerTest, DoubleClickingALeafAnswersOnlyWhatOkWouldTake)
{
    {
        TSelectUserDlg dlg;
        LoadUserTree(dlg.grdUsers, dlg.colUserID, dlg.colUserText, 0, 1, false, TShowUserOptions(), {rec("plan01", false)});
        kvui::TreeList* tree = dlg.grdUsers;
        const auto doubleClick = [&](const char* text) {
            kvui::TreeNode* n = nodeByText(tree, dlg.colUserText, QString::fromUtf8(text));
            tree->setFocusedNode(n);
            emit tree->cellDoubleClicked(tree->rowOfNode(n), dlg.colUserText);
        };
        doubleClick("plan01 (王计划)"); // listed already: OK is off, nothing is answered
        EXPECT_FALSE(dlg.btnOk->isEnabled());
        EXPECT_EQ(dlg.result(), 0);
        doubleClick("计划部");          // a folder
        EXPECT_EQ(dlg.result(), 0);
        doubleClick("buy01 (李采购)");
        EXPECT_EQ(dlg.result(), int(QDialog::Accepted));
        ASSERT_EQ(dlg.FUsers.size(), 1);
        EXPECT_EQ(dlg.FUsers[0].UserID, "buy01");
    }
    {
        TSelectInfoObjectDlg dlg;
        QStringList objects = {"QZ_MRP.PO"};
        dlg.FInfoObjects = &objects;
        LoadInfoObjectTree(dlg.grdObjects, dlg.colObjectID, dlg.colObjectName, 0, objects);
        kvui::TreeList* tree = dlg.grdObjects;
        kvui::TreeNode* po = nodeByText(tree, dlg.colObjectName, "采购订单");
        tree->setFocusedNode(po);
        emit tree->cellDoubleClicked(tree->rowOfNode(po), dlg.colObjectName);
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(objects, QStringList{"QZ_MRP.PO"});
    }
}

TEST_F(PickerTest, UserSearchStepsThroughTheMatchesAndStartsAgainAtTheTop)
{
    TSelectUserDlg dlg;
    LoadUserTree(dlg.grdUsers, dlg.colUserID, dlg.colUserText, 0, 1, false, TShowUserOptions(), {});
    QStringList found;
    const auto search = [&](const char* text) {
        dlg.edtSearch->setText(QString::fromUtf8(text));
        dlg.btnSearchClick();
        kvui::TreeNode* n = dlg.grdUsers->focusedNode();
        found << (n ? n->text(dlg.colUserText) : QString()) + (dlg.FNodeJustFound ? "" : " (not found)");
    };
    search(" 01 ");
    search("01");
    search("01");
    search("采购");  // from the focused match on: the group comes round again from the top
    search("nobody");
    EXPECT_EQ(found, QStringList({"plan01 (王计划)", "buy01 (李采购)", "plan01 (王计划)", "采购部", "采购部 (not found)"}));
    search("   ");
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "未查找到名称包含\"nobody\"的用户!");
    EXPECT_EQ(boxes.shown[1].text, "请输入需查找的内容!");
}

TEST_F(PickerTest, InfoObjectTreeOffersGrantableObjectsInMenuOrder)
{
    exec("insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M_EMPTY', '空模块', 'M_MRP', 50)\n"
         "insert QZ_SYS_Modules (ModID, ModName, ModParent, ModSeqNo) values ('M_EMPTY2', '空子模块', 'M_EMPTY', 10)\n"
         // internal objects: one with a grantable action, one whose only action belongs to everyone
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjModID) values ('T.Inner', '内部对象', 0, 1, 'M_BASE')\n"
         "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('T.Inner', 'Run', '执行', 6, 1, '')\n"
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjModID) values ('T.Open', '公共对象', 0, 1, 'M_BASE')\n"
         "insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('T.Open', 'Run', '执行', 6, 1, '*')\n"
         "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjModID) values ('T.Lost', '无模块对象', 12, 0, 'M_GONE')");
    kvui::TreeList tree;
    kvui::Column* id = tree.addColumn();
    kvui::Column* name = tree.addColumn();
    LoadInfoObjectTree(&tree, id, name, 0, {"qz_mrp.po", "QZ_MRP.Calendar"});
    const QStringList lines = treeLines(&tree, name);
    // The navigator's BOM展开 opens the bill list; its expansion, a detail without a menu entry, follows the menu's objects.
    const QStringList expectedBase = {"  计划资料 [1]", "    物料计划参数 [8]", "    物料替代 [8]", "    BOM清单 [8]", "    工厂日历 [13]",
                                      "    仓库 [8]", "    BOM展开 [8]", "    内部对象 [8]"};
    const qsizetype base = lines.indexOf("  计划资料 [1]");
    ASSERT_GE(base, 1) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.mid(base, expectedBase.size()), expectedBase);
    EXPECT_EQ(lines.first(), "计划管理 [1]");
    EXPECT_TRUE(lines.contains("    采购订单 [12]"));
    EXPECT_EQ(lines.mid(lines.size() - 2), QStringList({"(未分类) [1]", "  无模块对象 [9]"}));
    for (const char* absent : {"空模块", "空子模块", "公共对象", "库存筛选"})
        EXPECT_FALSE(nodeByText(&tree, name, QString::fromUtf8(absent))) << absent;
    EXPECT_EQ(nodeByText(&tree, name, "采购订单")->text(id), "QZ_MRP.PO");
}

TEST_F(PickerTest, InfoObjectPickerAnswersTheNewlyChosenObjectsOnly)
{
    QStringList objects = {"QZ_MRP.PO"};
    QString label;
    onNextModal([&](QWidget* w) {
        auto* dlg = qobject_cast<TSelectInfoObjectDlg*>(w);
        ASSERT_TRUE(dlg);
        label = dlg->lblObjects->text();
        kvui::TreeList* tree = dlg->grdObjects;
        for (const char* t : {"采购在检", "采购订单", "工厂日历", "计划资料"})
            tree->selectNode(nodeByText(tree, dlg->colObjectName, QString::fromUtf8(t)), true);
        dlg->btnOk->click();
    });
    ASSERT_TRUE(ShowSelectInfoObjectDlg(objects, true, "选择授权信息对象"));
    EXPECT_EQ(label, "选择授权信息对象(&S):");
    EXPECT_EQ(objects, QStringList({"QZ_MRP.Calendar=工厂日历", "QZ_MRP.PI=采购在检"}));

    onNextModal([](QWidget* w) { qobject_cast<TDialog*>(w)->btnCancel->click(); });
    EXPECT_FALSE(ShowSelectInfoObjectDlg(objects, false, QString()));
    EXPECT_EQ(objects.size(), 2);
}
