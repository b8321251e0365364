// The permissions administration on the demo account set: what it shows,
// how grants change, what a save and a copy write (in one transaction), and
// what the restricted user's definitions then hold.
#include "PermsTestSupport.h"
#include "MessageBox.h"
#include "dlgPermissions.h"
#include "dlgSelectInfoObject.h"
#include "dlgSelectUser.h"
#include "untInfoObjectDef.h"

#include <QPushButton>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <sqlite3.h>

#include <memory>

namespace {

// What the user and filter dialogs answer, and what they were asked.
struct Answers {
    TUserRecs users;
    bool pickUsers = true;
    QStringList userTitles;
    TUserRecs listed;
    bool filterOk = true;
    QString filterCode, filterText;
    QStringList filterCalls; // "object|code|read-only"
};
Answers answers;

bool pickUsers(TUserRecs& AUsers, bool, const QString& ATitle, TShowUserOptions)
{
    answers.userTitles << ATitle;
    answers.listed = AUsers;
    if (!answers.pickUsers)
        return false;
    AUsers = answers.users;
    return true;
}

bool editFilter(TInfoObjectDef* ADef, QString& AText, QString& ACode, TADOQuery*, const QString&, bool AReadOnly)
{
    answers.filterCalls << (ADef ? ADef->ID : QStringLiteral("?")) + u'|' + ACode + u'|' + (AReadOnly ? "ro" : "rw");
    if (!answers.filterOk || AReadOnly)
        return false;
    AText = answers.filterText;
    ACode = answers.filterCode;
    return true;
}

TUserRec user(const char* id, const char* name, bool group)
{
    TUserRec r;
    r.UserID = QString::fromUtf8(id);
    r.UserName = QString::fromUtf8(name);
    r.IsGroup = group;
    return r;
}

QString symbol(int state)
{
    switch (state) {
    case gsGranted: return "+";
    case gsFiltered: return "F";
    case gsDenied: return "X";
    default: return "-";
    }
}

// Runs a statement on the account-set file beside the engine (fault injection).
void sqliteExec(const QString& file, const char* sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

class PermissionsTest : public PermsFixture {
protected:
    void SetUp() override
    {
        PermsFixture::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        answers = Answers();
        app->ShowSelectUserProc = &pickUsers;
        app->ShowFilterDlgProc = &editFilter;
        dlg = std::make_unique<TPermissionsDlg>();
    }
    void TearDown() override
    {
        if (dlg)
            dlg->FModified = false; // closing asks nothing
        dlg.reset();
        PermsFixture::TearDown();
    }

    QString dbFile() const { return dir.filePath(QStringLiteral("acct.db")); }

    // Focuses the left node with the text and opens it.
    void open(const QString& text)
    {
        kvui::TreeNode* n = nodeByText(dlg->trlObjects, dlg->colObjName, text);
        ASSERT_TRUE(n) << text.toStdString();
        dlg->trlObjects->setFocusedNode(n);
        dlg->actOpen->trigger();
    }
    void view(QAction* AView)
    {
        AView->setChecked(true);
        AView->trigger();
    }

    // "name: cell cell ..." per shown row; a cell is its caption (or its
    // action's name) and -, +, F or X; sub-rows are indented.
    QStringList grid() const
    {
        QStringList lines;
        kvui::TreeList* g = dlg->trlPermissions;
        for (int row = 0; row < g->rowCount(); ++row) {
            kvui::TreeNode* n = g->nodeAtRow(row);
            QStringList cells;
            for (int k = 0; dlg->GrantColumn(k); ++k) {
                kvui::Column* c = dlg->GrantColumn(k);
                TGrantInfoDef* def = dlg->RowDef(n);
                if (!c->isVisible() || !def || k >= def->Items.size() || !def->Items[k].Used)
                    continue;
                const QString text = g->cellText(row, c);
                cells << (text.isEmpty() ? c->caption() : text) + symbol(dlg->CellState(n, k));
            }
            lines << QString(n->level() * 2, u' ') + n->text(dlg->colGrantObjName) + ": " + cells.join(u' ');
        }
        return lines;
    }

    kvui::TreeNode* row(const QString& name) const { return nodeByText(dlg->trlPermissions, dlg->colGrantObjName, name); }

    // Focuses a cell by its row's name and its column (k, or the action's name).
    void focus(const QString& rowName, int k)
    {
        kvui::TreeNode* n = row(rowName);
        ASSERT_TRUE(n) << rowName.toStdString();
        dlg->trlPermissions->clearSelection();
        dlg->trlPermissions->setFocusedNode(n);
        dlg->trlPermissions->selectNode(n, true);
        dlg->trlPermissions->setFocusedColumn(dlg->GrantColumn(k));
        dlg->SyncGrantButtons();
    }
    int dynColumn(const QString& rowName, const QString& actName) const
    {
        TGrantInfoDef* def = dlg->RowDef(row(rowName));
        for (int k = GrantFixedColumns; def && k < def->Items.size(); ++k)
            if (def->Items[k].Used && def->Items[k].ActName == actName)
                return k;
        ADD_FAILURE() << actName.toStdString();
        return 0;
    }

    // Rows of QZ_SYS_Permissions, "group user object type rel kind filter", sorted.
    QStringList rows(const QString& where)
    {
        TADOQuery q;
        q.SetConnection(GlobalADOConnection);
        q.SQL.Add("select PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, isnull(PmsFilter, '') from QZ_SYS_Permissions where "
                  + where);
        q.Open();
        QStringList out;
        for (; !q.Eof(); q.Next()) {
            QStringList f;
            f << QString::number(q.Fields()->Field(0)->AsInteger());
            for (int i = 1; i < 7; ++i)
                f << q.Fields()->Field(i)->AsString();
            if (f[6].size() > 40)
                f[6] = f[6].left(20) + "...";
            out << f.join(u' ').trimmed();
        }
        out.sort();
        return out;
    }

    TInfoObjectDef* defAs(const QString& userID, const QString& groups, const QString& objectID)
    {
        login(userID, groups, false);
        return DoGetInfoObjectDef(objectID);
    }
    static QStringList actionIDs(const TInfoObjectDef* def)
    {
        QStringList ids;
        for (const auto& a : def->Actions)
            ids << a.ID;
        return ids;
    }
    static QStringList groupIDs(const TInfoObjectDef* def)
    {
        QStringList ids;
        for (const auto& a : def->AccessGroups)
            ids << a.ID;
        return ids;
    }

    std::unique_ptr<TPermissionsDlg> dlg;
};

} // namespace

TEST_F(PermissionsTest, AGroupShowsItsObjectsInMenuOrderWithEveryGrantableItem)
{
    EXPECT_EQ(dlg->lblCurObject->text(), "(无)");
    EXPECT_FALSE(dlg->actItemAdd->isEnabled());
    open("BUY (采购组)");
    EXPECT_EQ(dlg->lblCurObject->text(), "BUY (采购组)");
    EXPECT_EQ(grid(), QStringList({"物料计划参数: 打开+ 打印+ 导出+ 修改-", "即时库存: 打开+ 打印+ 导出+", "采购订单: 打开+ 打印+ 导出+",
                                   "采购在检: 打开+ 打印+ 导出+", "采购申请: 打开+ 打印+ 导出+", "MRP计划查询: 打开+",
                                   "MRP计划投放: 打开+ 打印- 导出- 投放- 投放选项- 投放生产任务- 投放委外- 投放采购申请-"}))
        << grid().join('\n').toStdString();
    // As many as the most items of one row: the output view's two actions and three bill types.
    EXPECT_EQ(dlg->FGrantDynColCount, 5);
    EXPECT_FALSE(dlg->actShowInherited->isVisible());
    EXPECT_FALSE(dlg->actSave->isEnabled());
}

TEST_F(PermissionsTest, GrantsAndDenialsToAUserReachTheUsersDefinitions)
{
    open("buy01 (李采购)");
    EXPECT_TRUE(grid().isEmpty());
    EXPECT_TRUE(dlg->actShowInherited->isVisible());
    ASSERT_TRUE(dlg->actItemAdd->isEnabled());

    // the administrator picks two objects in the real picker
    QStringList offeredAsListed;
    onNextModal([&](QWidget* w) {
        auto* picker = qobject_cast<TSelectInfoObjectDlg*>(w);
        ASSERT_TRUE(picker);
        for (const char* t : {"产品预测", "库存账龄分析"})
            picker->grdObjects->selectNode(nodeByText(picker->grdObjects, picker->colObjectName, QString::fromUtf8(t)), true);
        picker->btnOk->click();
    });
    dlg->actItemAdd->trigger();
    EXPECT_TRUE(dlg->FModified);
    const QStringList added = grid();
    ASSERT_EQ(added.size(), 2) << added.join('\n').toStdString();
    EXPECT_EQ(added[0], "产品预测: 打开+ 打印+ 导出+ 新增+ 复制+ 修改+ 删除+ 审核+ 反审核+ 关闭+ 反关闭+ 自动冲销+ 禁止自动冲销+ 允许自动冲销+");
    EXPECT_EQ(added[1], "库存账龄分析: 打开+ 打印+ 导出+ 金额+");

    // deny an action, an access group and printing; restrict the rows by a filter
    focus("产品预测", dynColumn("产品预测", "删除"));
    dlg->rbGrantNone->click();
    focus("库存账龄分析", dynColumn("库存账龄分析", "金额"));
    dlg->rbGrantNone->click();
    focus("库存账龄分析", 1);
    dlg->actGrantNone->trigger();
    focus("产品预测", 0);
    EXPECT_FALSE(dlg->actGrantNone->isEnabled()); // the open grant goes only with the row
    ASSERT_TRUE(dlg->actGrantFilter->isEnabled());
    answers.filterCode = "ItmNo='A01'";
    answers.filterText = "物料编号 等于 A01";
    dlg->rbGrantFilter->click();
    EXPECT_EQ(answers.filterCalls, QStringList{"QZ_MRP.Forcast||rw"});
    EXPECT_TRUE(dlg->rbGrantFilter->isChecked());
    focus("库存账龄分析", 0);
    EXPECT_FALSE(dlg->actGrantAll->isEnabled()); // no row filter for this object: nothing to switch
    EXPECT_FALSE(dlg->actGrantFilter->isEnabled());
    EXPECT_EQ(grid(), QStringList({"产品预测: 打开F 打印+ 导出+ 新增+ 复制+ 修改+ 删除- 审核+ 反审核+ 关闭+ 反关闭+ 自动冲销+ 禁止自动冲销+ 允许自动冲销+",
                                   "库存账龄分析: 打开+ 打印- 导出+ 金额-"}));

    dlg->actSave->trigger();
    EXPECT_FALSE(dlg->FModified);
    const QStringList saved = rows("PmsUsrID='buy01' and PmsObjID='QZ_MRP.AgeAnalyze'");
    EXPECT_EQ(saved, QStringList({"0 buy01 QZ_MRP.AgeAnalyze 0  1", "0 buy01 QZ_MRP.AgeAnalyze 1 Export 1"}));
    EXPECT_EQ(rows("PmsUsrID='buy01' and PmsObjID='QZ_MRP.Forcast' and PmsType=0"),
              QStringList{"0 buy01 QZ_MRP.Forcast 0  1 ItmNo='A01'|物料编号 等于 A01"});
    EXPECT_EQ(count("select count(*) from QZ_SYS_Permissions where PmsUsrID='buy01'"), 2 + 13);

    // the restricted user now loads what was granted
    TInfoObjectDef* forcast = defAs("buy01", "'G_BUY',null", "QZ_MRP.Forcast");
    ASSERT_TRUE(forcast);
    EXPECT_EQ(forcast->PermitCodes, "ItmNo='A01'|");
    EXPECT_FALSE(actionIDs(forcast).contains("Delete"));
    EXPECT_TRUE(actionIDs(forcast).contains("Update"));
    EXPECT_TRUE(forcast->CanPrint);
    TInfoObjectDef* age = DoGetInfoObjectDef("QZ_MRP.AgeAnalyze");
    ASSERT_TRUE(age);
    EXPECT_EQ(age->PermitCodes, "");
    EXPECT_FALSE(age->CanPrint);
    EXPECT_TRUE(age->CanExport);
    EXPECT_TRUE(groupIDs(age).isEmpty());

    // reopened, the dialog shows what it wrote
    login("admin", "'G_ADMIN',null", true);
    dlg = std::make_unique<TPermissionsDlg>();
    open("buy01 (李采购)");
    EXPECT_EQ(grid(), QStringList({"产品预测: 打开F 打印+ 导出+ 新增+ 复制+ 修改+ 删除- 审核+ 反审核+ 关闭+ 反关闭+ 自动冲销+ 禁止自动冲销+ 允许自动冲销+",
                                   "库存账龄分析: 打开+ 打印- 导出+ 金额-"}));
}

TEST_F(PermissionsTest, AGroupLosesAnObjectAndItsMembersFollow)
{
    open("BUY (采购组)");
    dlg->trlPermissions->clearSelection();
    dlg->trlPermissions->selectNode(row("物料计划参数"), true);
    dlg->trlPermissions->selectNode(row("即时库存"), true);
    dlg->trlPermissions->selectNode(row("MRP计划投放"), true);
    ASSERT_TRUE(dlg->actItemRemove->isEnabled());
    dlg->actItemRemove->trigger();
    EXPECT_EQ(dlg->FGrantDynColCount, 0); // the removed rows held every dynamic item
    EXPECT_FALSE(dlg->GrantColumn(GrantFixedColumns)->isVisible());
    focus("采购订单", 2);
    dlg->actGrantNone->trigger();
    dlg->actSave->trigger();
    EXPECT_EQ(rows("PmsUsrID='G_BUY' and PmsObjID in ('QZ_MRP.Items', 'QZ_MRP.Inventory', 'QZ_MRP.PO')"),
              QStringList({"1 G_BUY QZ_MRP.PO 0  1", "1 G_BUY QZ_MRP.PO 1 Print 1"}));

    TInfoObjectDef* items = defAs("buy01", "'G_BUY',null", "QZ_MRP.Items");
    ASSERT_TRUE(items);
    EXPECT_EQ(items->PermitCodes, "1=0");
    TInfoObjectDef* po = DoGetInfoObjectDef("QZ_MRP.PO");
    ASSERT_TRUE(po);
    EXPECT_TRUE(po->CanPrint);
    EXPECT_FALSE(po->CanExport);
}

TEST_F(PermissionsTest, AnObjectGrantsUsersAndGroupsAndTheirFilters)
{
    view(dlg->actViewInfos);
    EXPECT_FALSE(dlg->actCopy->isEnabled());
    open("采购订单");
    EXPECT_EQ(grid(), QStringList({"BUY (采购组): 打开+ 打印+ 导出+", "PLAN (计划组): 打开+ 打印+ 导出+"}));
    EXPECT_FALSE(dlg->actShowInherited->isVisible());

    answers.users = {user("plan01", "plan01 (王计划)", false), user("G_ADMIN", "ADMIN (系统管理组)", true)};
    dlg->actItemAdd->trigger();
    EXPECT_EQ(answers.userTitles, QStringList{"选择授权用户"});
    ASSERT_EQ(answers.listed.size(), 2);
    EXPECT_EQ(answers.listed[0].UserID, "G_BUY");
    EXPECT_TRUE(answers.listed[0].IsGroup);
    EXPECT_EQ(dlg->trlPermissions->focusedNode(), row("plan01 (王计划)"));

    focus("plan01 (王计划)", 2);
    dlg->actGrantNone->trigger();
    // a filter, then the filter dialog emptied: back to every row
    answers.filterCode = "BilNo like 'PO%'";
    answers.filterText = "单号 开头是 PO";
    focus("ADMIN (系统管理组)", 0);
    dlg->actGrantFilter->trigger();
    EXPECT_EQ(dlg->CellState(row("ADMIN (系统管理组)"), 0), gsFiltered);
    answers.filterCode.clear();
    answers.filterText.clear();
    dlg->actGrantFilter->trigger();
    EXPECT_EQ(answers.filterCalls.last(), "QZ_MRP.PO|BilNo like 'PO%'|rw");
    EXPECT_EQ(dlg->CellState(row("ADMIN (系统管理组)"), 0), gsGranted);
    answers.filterCode = "BilNo like 'X%'";
    answers.filterText = "单号 开头是 X";
    focus("plan01 (王计划)", 0);
    dlg->actGrantFilter->trigger();
    dlg->trlPermissions->clearSelection();
    dlg->trlPermissions->selectNode(row("BUY (采购组)"), true);
    dlg->trlPermissions->selectNode(row("PLAN (计划组)"), true);
    dlg->actItemRemove->trigger();
    EXPECT_EQ(grid(), QStringList({"plan01 (王计划): 打开F 打印+ 导出-", "ADMIN (系统管理组): 打开+ 打印+ 导出+"}));
    dlg->actSave->trigger();
    EXPECT_EQ(rows("PmsObjID='QZ_MRP.PO'"),
              QStringList({"0 plan01 QZ_MRP.PO 0  1 BilNo like 'X%'|单号 开头是 X", "0 plan01 QZ_MRP.PO 1 Print 1",
                           "1 G_ADMIN QZ_MRP.PO 0  1", "1 G_ADMIN QZ_MRP.PO 1 Export 1", "1 G_ADMIN QZ_MRP.PO 1 Print 1"}));

    TInfoObjectDef* po = defAs("buy01", "'G_BUY',null", "QZ_MRP.PO");
    ASSERT_TRUE(po);
    EXPECT_EQ(po->PermitCodes, "1=0");
    po = defAs("plan01", "'G_PLAN',null", "QZ_MRP.PO");
    ASSERT_TRUE(po);
    EXPECT_EQ(po->PermitCodes, "BilNo like 'X%'|");
    EXPECT_TRUE(po->CanPrint);
    EXPECT_FALSE(po->CanExport);
}

TEST_F(PermissionsTest, ADenialStaysADenialThroughBothViews)
{
    exec("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (0, 'buy01', 'QZ_MRP.PO', 0, '', 1, null)\n"
         "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (0, 'buy01', 'QZ_MRP.PO', 1, 'Print', 2, null)");
    EXPECT_FALSE(defAs("buy01", "'G_BUY',null", "QZ_MRP.PO")->CanPrint);
    login("admin", "'G_ADMIN',null", true);

    open("buy01 (李采购)");
    EXPECT_EQ(grid(), QStringList{"采购订单: 打开+ 打印X 导出-"});
    focus("采购订单", 1);
    EXPECT_TRUE(dlg->rbGrantNone->isChecked());
    focus("采购订单", 2);
    dlg->actGrantAll->trigger();
    dlg->actSave->trigger();
    const QStringList expected = {"0 buy01 QZ_MRP.PO 0  1", "0 buy01 QZ_MRP.PO 1 Export 1", "0 buy01 QZ_MRP.PO 1 Print 2"};
    EXPECT_EQ(rows("PmsUsrID='buy01'"), expected);

    view(dlg->actViewInfos);
    open("采购订单");
    EXPECT_EQ(grid(), QStringList({"BUY (采购组): 打开+ 打印+ 导出+", "PLAN (计划组): 打开+ 打印+ 导出+", "buy01 (李采购): 打开+ 打印X 导出+"}));
    dlg->FModified = true;
    dlg->UpdateActions();
    dlg->actSave->trigger();
    EXPECT_EQ(rows("PmsUsrID='buy01'"), expected);
    EXPECT_FALSE(defAs("buy01", "'G_BUY',null", "QZ_MRP.PO")->CanPrint);

    // granting the cell in full makes it a grant
    login("admin", "'G_ADMIN',null", true);
    focus("buy01 (李采购)", 1);
    dlg->actGrantAll->trigger();
    dlg->actSave->trigger();
    EXPECT_TRUE(rows("PmsUsrID='buy01'").contains("0 buy01 QZ_MRP.PO 1 Print 1"));
}

TEST_F(PermissionsTest, AFailingSaveLosesNoGrantAndALongSaveIsSentInPieces)
{
    const QStringList before = rows("PmsUsrID='G_BUY'");
    open("BUY (采购组)");
    // a long filter on the first row makes the batch pass 65000 characters there
    const QString longFilter = "ItmNo='A'|" + QString(70000, u'x');
    row("物料计划参数")->setValue(dlg->colGrantFilter, longFilter);
    row("物料计划参数")->setValue(dlg->colGrantOpen, gsFiltered);
    dlg->FModified = true;
    dlg->UpdateActions();
    sqliteExec(dbFile(), "create trigger QZ_TestBoom before insert on QZ_SYS_Permissions when new.PmsObjID='QZ_MRP.PR' "
                         "begin select raise(abort, 'PR refused'); end");
    dlg->actSave->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_TRUE(boxes.shown[0].text.contains("PR refused")) << boxes.shown[0].text.toStdString();
    EXPECT_TRUE(dlg->FModified);
    EXPECT_EQ(rows("PmsUsrID='G_BUY'"), before);
    TInfoObjectDef* items = defAs("buy01", "'G_BUY',null", "QZ_MRP.Items");
    ASSERT_TRUE(items);
    EXPECT_EQ(items->PermitCodes, "");
    TInfoObjectDef* pr = DoGetInfoObjectDef("QZ_MRP.PR");
    ASSERT_TRUE(pr);
    EXPECT_TRUE(pr->CanPrint);

    login("admin", "'G_ADMIN',null", true);
    sqliteExec(dbFile(), "drop trigger QZ_TestBoom");
    dlg->actSave->trigger();
    EXPECT_FALSE(dlg->FModified);
    QStringList after = before;
    after.replace(after.indexOf("1 G_BUY QZ_MRP.Items 0  1"), "1 G_BUY QZ_MRP.Items 0  1 ItmNo='A'|xxxxxxxxxx...");
    after.sort();
    EXPECT_EQ(rows("PmsUsrID='G_BUY'"), after);
    EXPECT_EQ(defAs("buy01", "'G_BUY',null", "QZ_MRP.Items")->PermitCodes, "ItmNo='A'|");
}

TEST_F(PermissionsTest, CopyingOverwritesTheTargetsInOneTransaction)
{
    exec("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (0, 'plan01', 'QZ_MRP.MRP', 0, '', 1)");
    const QStringList planBefore = rows("PmsUsrID='plan01'");
    const QStringList buyGroup = rows("PmsUsrID='G_BUY'");
    dlg->trlObjects->setFocusedNode(nodeByText(dlg->trlObjects, dlg->colObjName, "BUY (采购组)"));
    ASSERT_TRUE(dlg->actCopy->isEnabled());
    answers.users = {user("plan01", "plan01 (王计划)", false), user("old01", "old01 (赵离职)", false)};

    // the second target fails: the first keeps what it had
    sqliteExec(dbFile(), "create trigger QZ_TestBoom before insert on QZ_SYS_Permissions when new.PmsUsrID='old01' "
                         "begin select raise(abort, 'old01 refused'); end");
    boxes.answer({kvos::IDOK});
    dlg->actCopy->trigger();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "复制\"BUY (采购组)\"的权限至其他用户, 其他用户原有的权限将被覆盖, 继续?");
    EXPECT_EQ(boxes.shown[0].defaultButton(), 2);
    EXPECT_TRUE(boxes.shown[1].text.contains("old01 refused"));
    EXPECT_EQ(answers.userTitles, QStringList{"复制权限到以下选择的用户"});
    ASSERT_EQ(answers.listed.size(), 1);
    EXPECT_EQ(answers.listed[0].UserID, "G_BUY");
    EXPECT_EQ(rows("PmsUsrID='plan01'"), planBefore);

    sqliteExec(dbFile(), "drop trigger QZ_TestBoom");
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    dlg->actCopy->trigger();
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].text, "完成复制\"BUY (采购组)\"的权限至用户: plan01 (王计划), old01 (赵离职)。");
    QStringList expected;
    for (QString r : buyGroup)
        expected << r.replace("1 G_BUY ", "0 plan01 ");
    expected.sort();
    EXPECT_EQ(rows("PmsUsrID='plan01'"), expected);
    EXPECT_EQ(rows("PmsUsrID='G_BUY'"), buyGroup);

    // cancelled at the warning: nothing is asked further
    boxes.shown.clear();
    boxes.answer({kvos::IDCANCEL});
    dlg->actCopy->trigger();
    EXPECT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(answers.userTitles.size(), 2);
}

TEST_F(PermissionsTest, MoreThanTwentyDynamicItemsGetColumnsOfTheirOwn)
{
    QString sql = "insert QZ_SYS_Objects (ObjID, ObjName, ObjType, ObjInternal, ObjCanFilter, ObjModID) values ('T.Many', '多动作', 0, 0, 1, 'M_BASE')\n";
    for (int i = 1; i <= 22; ++i) {
        sql += QString("insert QZ_SYS_ObjActions (ActObjID, ActID, ActName, ActType, ActSeqNo, ActAgrID) values ('T.Many', 'A%1', '动作%1', 6, %1, '')\n").arg(i);
        sql += QString("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (1, 'G_BUY', 'T.Many', 1, 'A%1', 1)\n").arg(i);
    }
    sql += "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (1, 'G_BUY', 'T.Many', 0, '', 1)";
    exec(sql);
    const QStringList before = rows("PmsObjID='T.Many'");
    ASSERT_EQ(before.size(), 23);

    open("BUY (采购组)");
    EXPECT_EQ(dlg->FGrantDynColCount, 22);
    const QString many = grid().filter("多动作:").value(0);
    EXPECT_TRUE(many.endsWith("动作20+ 动作21+ 动作22+")) << many.toStdString();
    focus("多动作", GrantFixedColumns + 21);
    dlg->actGrantNone->trigger();
    dlg->actSave->trigger();
    QStringList expected = before;
    expected.removeAll("1 G_BUY T.Many 1 A22 1");
    EXPECT_EQ(rows("PmsObjID='T.Many'"), expected);

    // the object's own view names the same columns
    view(dlg->actViewInfos);
    open("多动作");
    EXPECT_EQ(dlg->GrantColumn(GrantFixedColumns + 21)->caption(), "动作22");
    EXPECT_TRUE(grid().value(0).endsWith("动作21+ 动作22-")) << grid().value(0).toStdString();
    focus("BUY (采购组)", GrantFixedColumns + 21);
    dlg->actGrantAll->trigger();
    dlg->actSave->trigger();
    EXPECT_EQ(rows("PmsObjID='T.Many'"), before);
    // back to an ordinary object: the extra columns go
    open("采购订单");
    EXPECT_EQ(dlg->colGrantItems.size(), GrantDesignedDynColumns);
}

TEST_F(PermissionsTest, TheInheritedViewShowsGroupRowsReadOnly)
{
    exec("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (0, 'plan01', 'QZ_MRP.PO', 0, '', 1)\n"
         "update QZ_SYS_Permissions set PmsFilter='BilNo=1|单号 等于 1' where PmsUsrID='G_PLAN' and PmsObjID='QZ_MRP.PO' and PmsType=0");
    open("plan01 (王计划)");
    EXPECT_EQ(grid(), QStringList{"采购订单: 打开+ 打印- 导出-"});
    dlg->actShowInherited->trigger();
    ASSERT_TRUE(dlg->actShowInherited->isChecked());
    const QStringList lines = grid();
    const qsizetype po = lines.indexOf("采购订单: 打开+ 打印- 导出-");
    ASSERT_GE(po, 0) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.value(po + 1), "  PLAN (计划组): 打开F 打印+ 导出+");
    EXPECT_TRUE(lines.contains("物料计划参数: 打开- 打印- 导出- 修改-")) << lines.join('\n').toStdString();
    EXPECT_FALSE(dlg->lblGrantRange->isEnabled());
    EXPECT_FALSE(dlg->actItemAdd->isEnabled());
    kvui::TreeNode* sub = row("采购订单")->child(0);
    EXPECT_FALSE(dlg->IsCellGrantable(sub, 1));
    dlg->GridDoubleClick(sub, dlg->colGrantOpen);
    EXPECT_EQ(answers.filterCalls, QStringList{"QZ_MRP.PO|BilNo=1|ro"});
    EXPECT_EQ(dlg->CellState(sub, 0), gsFiltered);
    EXPECT_FALSE(dlg->FModified);

    // a group opened switches the inherited view off
    open("PLAN (计划组)");
    EXPECT_FALSE(dlg->actShowInherited->isChecked());
    EXPECT_FALSE(dlg->actShowInherited->isVisible());
    EXPECT_TRUE(dlg->actItemAdd->isEnabled());
}

TEST_F(PermissionsTest, UnsavedChangesAreAskedForBeforeAnythingElseOpens)
{
    struct Case {
        int answer;
        const char* opened;
        bool saved;
    };
    for (const Case& c : {Case{kvos::IDCANCEL, "BUY (采购组)", false}, Case{kvos::IDNO, "PLAN (计划组)", false},
                          Case{kvos::IDYES, "PLAN (计划组)", true}}) {
        SCOPED_TRACE(c.answer);
        dlg = std::make_unique<TPermissionsDlg>();
        boxes.shown.clear();
        open("BUY (采购组)");
        focus("采购订单", 2);
        dlg->actGrantNone->trigger();
        ASSERT_TRUE(dlg->actSave->isEnabled());
        boxes.answer({c.answer});
        open("PLAN (计划组)");
        ASSERT_EQ(boxes.shown.size(), 1);
        EXPECT_EQ(boxes.shown[0].text, "对象\"BUY (采购组)\"的权限信息已修改, 保存?");
        EXPECT_EQ(dlg->lblCurObject->text(), c.opened);
        EXPECT_EQ(rows("PmsUsrID='G_BUY' and PmsObjID='QZ_MRP.PO' and PmsRelID='Export'").isEmpty(), c.saved);
        exec("delete QZ_SYS_Permissions where PmsUsrID='G_BUY' and PmsObjID='QZ_MRP.PO' and PmsRelID='Export'\n"
             "insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind) values (1, 'G_BUY', 'QZ_MRP.PO', 1, 'Export', 1)");
    }

    // revert asks, then shows the stored grants again; closing asks too
    open("BUY (采购组)");
    focus("采购订单", 2);
    dlg->actGrantNone->trigger();
    boxes.shown.clear();
    boxes.answer({kvos::IDOK});
    dlg->actRevert->trigger();
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].text, "放弃对象\"BUY (采购组)\"的权限信息修改, 确定?");
    EXPECT_EQ(boxes.shown[0].defaultButton(), 2);
    EXPECT_FALSE(dlg->FModified);
    EXPECT_TRUE(grid().contains("采购订单: 打开+ 打印+ 导出+"));
    focus("采购订单", 2);
    dlg->actGrantNone->trigger();
    boxes.answer({kvos::IDCANCEL});
    dlg->show();
    dlg->actClose->trigger();
    EXPECT_TRUE(dlg->isVisible());
    boxes.answer({kvos::IDNO});
    dlg->actClose->trigger();
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(PermissionsTest, TheLeftTreeShowsItsThreeViewsAndSearchesByName)
{
    view(dlg->actViewGrantUsers);
    EXPECT_EQ(treeLines(dlg->trlObjects, dlg->colObjName, false), QStringList({"(用户组)", "  BUY (采购组)", "  PLAN (计划组)"}));
    view(dlg->actViewInfos);
    EXPECT_TRUE(nodeByText(dlg->trlObjects, dlg->colObjName, "采购订单"));
    view(dlg->actViewUsers);
    EXPECT_TRUE(nodeByText(dlg->trlObjects, dlg->colObjName, "buy01 (李采购)"));

    QStringList found;
    for (const char* text : {"采购", "采购", "采购", "  ", "zzz"}) {
        dlg->edtSearch->setText(QString::fromUtf8(text));
        dlg->actSearch->trigger();
        found << dlg->trlObjects->focusedNode()->text(dlg->colObjName);
    }
    EXPECT_EQ(found, QStringList({"BUY (采购组)", "采购部", "buy01 (李采购)", "buy01 (李采购)", "buy01 (李采购)"}));
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[0].text, "请输入需查找的内容!");
    EXPECT_EQ(boxes.shown[1].text, "未查找到名称包含\"zzz\"的项目!");
    // a folder cannot be opened or copied
    dlg->trlObjects->setFocusedNode(nodeByText(dlg->trlObjects, dlg->colObjName, "采购部"));
    dlg->UpdateActions();
    EXPECT_FALSE(dlg->actOpen->isEnabled());
    EXPECT_FALSE(dlg->actCopy->isEnabled());
}

