// Releasing plan schemes to receivers: in place and as a copy, withdrawal,
// closing and reopening output, the receivers, and the release settings'
// checks, on hand-made schemes of plan01 in the demo account set.
#include "DemoLogin.h"
#include "ScriptedMessageBoxes.h"
#include "dlgMRPRelease.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

using kvtest::DemoLogin;

namespace {

// The picker: what the next calls answer, and what they were shown.
struct PickerScript {
    bool ok = false;
    TUserRecs picked;
    int calls = 0;
    TUserRecs shown;
    QString title;
};
PickerScript Picker;

bool scriptedPicker(TUserRecs& AUsers, bool, const QString& ATitle, TShowUserOptions)
{
    ++Picker.calls;
    Picker.shown = AUsers;
    Picker.title = ATitle;
    if (!Picker.ok)
        return false;
    AUsers = Picker.picked;
    return true;
}

TUserRec user(const QString& id, const QString& name, bool group = false)
{
    TUserRec r;
    r.UserID = id;
    r.UserName = name;
    r.IsGroup = group;
    return r;
}

// How the release settings are answered.
struct SetScript {
    bool accept = true;
    bool direct = false;
    QString name;            // copy mode: the new name
    bool onlyMainDemand = false;
    bool canOutput = true;
    // what the dialog showed
    bool copyEnabled = true, onlyEnabled = true, onlyChecked = false, canOutputShown = true;
    QString offeredName;
};

class ReleaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DemoLogin::instance();
        // only this test's schemes are listed
        DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchState=0 where SchUsrID='plan01'\n"
                                                  "delete QZ_SYS_DataPermissions where DpmObjID='QZ_MRP.MRP'"));
        InfoApplication->ShowSelectUserProc = &scriptedPicker;
        Picker = PickerScript();
    }
    void TearDown() override { TMRPReleaseSetDlg::ExecHook = nullptr; }

    // A scheme of plan01 in a state; with MRP results it carries an MRP
    // calendar and one planned supply (with a BOM unless told otherwise).
    static int scheme(const QString& name, int state, bool mrp, bool bom = true, const QString& owner = QStringLiteral("plan01"),
                      int type = 0)
    {
        const QString sql = QStringLiteral(
            "insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchUsrID, SchState, SchMpsCalIID, SchMpsPeriods, SchMpsRunTime, "
            "SchMrpCalIID, SchMrpPeriods, SchMrpRunTime, SchNewTime) values (%1, %2, 1, %3, %4, 1, '46391|', '20270105', %5, %6, %7, "
            "'20270104')\rselect SchIID=@@identity")
                                .arg(type)
                                .arg(QuotedStr(name), QuotedStr(owner))
                                .arg(state)
                                .arg(mrp ? 1 : 0)
                                .arg(mrp ? QStringLiteral("'46391|'") : QStringLiteral("''"),
                                     mrp ? QStringLiteral("'20270106'") : QStringLiteral("null"));
        const int id = DemoLogin::value(sql).toInt();
        if (mrp)
            DemoLogin::instance().exec(
                QStringLiteral("insert QZ_MRP_Supplies (SupSchIID, SupIID, SupPeriod, SupBillType, SupItmID, SupQty, SupRestQty, SupBomID) "
                               "values (%1, 1, 0, 42, 'I-MOTOR', 10, 10, %2)")
                    .arg(id)
                    .arg(bom ? QStringLiteral("'B1'") : QStringLiteral("null")));
        return id;
    }
    static int state(int id) { return DemoLogin::count(QStringLiteral("select SchState from QZ_MRP_Schemes where SchIID=%1").arg(id)); }
    static int receivers(int id)
    {
        return DemoLogin::count(
            QStringLiteral("select count(*) from QZ_SYS_DataPermissions where DpmObjID='QZ_MRP.MRP' and DpmDataID='%1'").arg(id));
    }
    static void select(TMRPReleaseDlg& dlg, int id)
    {
        for (int i = 0; i < dlg.cboScheme->count(); ++i)
            if (dlg.cboScheme->itemData(i, TMRPReleaseDlg::ValueRole).toInt() == id) {
                dlg.cboScheme->setCurrentIndex(i);
                return;
            }
        ADD_FAILURE() << "scheme " << id << " is not listed";
    }
    static void answerSettings(SetScript* s)
    {
        TMRPReleaseSetDlg::ExecHook = [s](TMRPReleaseSetDlg& d) {
            s->copyEnabled = d.rdbCopyMode->isEnabled();
            s->onlyEnabled = d.chkOnlyMPS->isEnabled();
            s->onlyChecked = d.chkOnlyMPS->isChecked();
            s->canOutputShown = d.chkCanOutput->isVisibleTo(&d);
            s->offeredName = d.edtSchemeName->text();
            if (!s->accept)
                return int(QDialog::Rejected);
            if (s->direct) {
                d.rdbDirectMode->setChecked(true);
            } else {
                d.edtSchemeName->setText(s->name);
            }
            if (d.chkOnlyMPS->isEnabled())
                d.chkOnlyMPS->setChecked(s->onlyMainDemand);
            d.chkCanOutput->setChecked(s->canOutput);
            d.accept();
            return d.result() == QDialog::Accepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
        };
    }
};

TEST_F(ReleaseTest, NoReleasableSchemeShowsAnEmptyEntryAndTheRefreshEntry)
{
    TMRPReleaseDlg dlg;
    ASSERT_EQ(dlg.cboScheme->count(), 2);
    EXPECT_EQ(dlg.cboScheme->itemText(0), QString());
    EXPECT_EQ(dlg.cboScheme->itemText(1), QStringLiteral("(刷新)"));
    for (QAction* a : {dlg.actRelease, dlg.actUnrelease, dlg.actAddUser, dlg.actRemoveUser, dlg.actStopOutput, dlg.actOpenOutput})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_EQ(dlg.grdUsers->topLevelItemCount(), 0);
}

TEST_F(ReleaseTest, OnlyOwnOrdinarySchemesInReleasableStatesAreListedNewestFirst)
{
    const int older = scheme(QStringLiteral("旧方案"), 6, true);
    DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchMrpRunTime='20270101' where SchIID=%1").arg(older));
    const int newer = scheme(QStringLiteral("新方案"), 8, true);
    scheme(QStringLiteral("运算中"), 3, false);
    scheme(QStringLiteral("别人的"), 6, true, true, QStringLiteral("buy01"));
    scheme(QStringLiteral("齐套分析"), 6, true, true, QStringLiteral("plan01"), 1);
    TMRPReleaseDlg dlg;
    ASSERT_EQ(dlg.cboScheme->count(), 3);
    EXPECT_EQ(dlg.cboScheme->itemData(0, TMRPReleaseDlg::ValueRole).toInt(), newer);
    EXPECT_TRUE(dlg.cboScheme->itemText(0).startsWith(QStringLiteral("新方案 (已发布 ")));
    EXPECT_EQ(dlg.cboScheme->itemData(1, TMRPReleaseDlg::ValueRole).toInt(), older);
    EXPECT_EQ(dlg.cboScheme->itemText(1), QStringLiteral("旧方案"));
}

TEST_F(ReleaseTest, DirectReleaseToPickedUsersAndGroups)
{
    const int id = scheme(QStringLiteral("直接发布"), 6, true);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    SetScript s;
    s.direct = true;
    answerSettings(&s);
    Picker.ok = true;
    Picker.picked = {user(QStringLiteral("buy01"), QStringLiteral("buy01 (李采购)")), user(QStringLiteral("G_BUY"), QStringLiteral("BUY (采购组)"), true)};
    ScriptedMessageBoxes boxes;
    dlg.actRelease->trigger();

    EXPECT_EQ(Picker.calls, 1) << "a release without receivers asks for them";
    EXPECT_EQ(Picker.title, QStringLiteral("选择计划发布的接收用户"));
    EXPECT_EQ(state(id), 8);
    EXPECT_EQ(receivers(id), 2);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_SYS_DataPermissions where DpmDataID='%1' and DpmUsrID='G_BUY' "
                                              "and DpmIsGroup=1 and DpmActID=''")
                                   .arg(id)),
              1);
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.last().text, QStringLiteral("执行完成。"));
    EXPECT_TRUE(dlg.cboScheme->currentText().startsWith(QStringLiteral("直接发布 (已发布 ")));
    ASSERT_EQ(dlg.grdUsers->topLevelItemCount(), 2);
    EXPECT_EQ(dlg.grdUsers->topLevelItem(0)->text(TMRPReleaseDlg::colUserID), QStringLiteral("G_BUY")) << "groups come first";
    EXPECT_TRUE(dlg.actUnrelease->isEnabled());
    EXPECT_TRUE(dlg.actStopOutput->isEnabled());
    EXPECT_TRUE(dlg.actAddUser->isEnabled());

    // reloading shows the receivers as the database holds them
    TMRPReleaseDlg again;
    select(again, id);
    ASSERT_EQ(again.grdUsers->topLevelItemCount(), 2);
    EXPECT_EQ(again.grdUsers->topLevelItem(0)->text(TMRPReleaseDlg::colUserName), QStringLiteral("BUY (采购组)"));
    EXPECT_EQ(again.grdUsers->topLevelItem(1)->text(TMRPReleaseDlg::colUserName), QStringLiteral("buy01 (李采购)"));
}

TEST_F(ReleaseTest, ReleaseWithoutOutputLandsInOutputClosed)
{
    const int id = scheme(QStringLiteral("只看不投"), 6, true);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    SetScript s;
    s.direct = true;
    s.canOutput = false;
    answerSettings(&s);
    Picker.ok = true;
    Picker.picked = {user(QStringLiteral("buy01"), QStringLiteral("buy01"))};
    ScriptedMessageBoxes boxes;
    dlg.actRelease->trigger();
    EXPECT_EQ(state(id), 10);
    EXPECT_TRUE(dlg.actOpenOutput->isEnabled());
}

TEST_F(ReleaseTest, CopyReleaseLeavesTheSourceAndAsksForTheCopysOwnReceivers)
{
    const int source = scheme(QStringLiteral("源方案"), 6, true);
    // the source already has a receiver from elsewhere
    DemoLogin::instance().exec(QStringLiteral("insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID, DpmActID) "
                                              "values ('old01', 0, 'QZ_MRP.MRP', '%1', '')")
                                   .arg(source));
    TMRPReleaseDlg dlg;
    select(dlg, source);
    ASSERT_EQ(dlg.grdUsers->topLevelItemCount(), 1);
    EXPECT_EQ(dlg.grdUsers->topLevelItem(0)->data(0, TMRPReleaseDlg::NodeImageRole).toInt(), 2) << "a disabled user";
    SetScript s;
    s.name = QStringLiteral("发布's 副本");
    answerSettings(&s);
    Picker.ok = true;
    Picker.picked = {user(QStringLiteral("G_PLAN"), QStringLiteral("PLAN (计划组)"), true)};
    ScriptedMessageBoxes boxes;
    dlg.actRelease->trigger();

    const int copy = DemoLogin::count(QStringLiteral("select SchIID from QZ_MRP_Schemes where SchName='发布''s 副本'"));
    ASSERT_GT(copy, 0);
    EXPECT_EQ(s.offeredName, QStringLiteral("源方案"));
    EXPECT_EQ(state(source), 6);
    EXPECT_EQ(receivers(source), 1);
    EXPECT_EQ(state(copy), 8);
    EXPECT_EQ(Picker.calls, 1) << "the copy starts with no receivers and asks for its own";
    EXPECT_EQ(receivers(copy), 1);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_MRP_Supplies where SupSchIID=%1").arg(copy)), 1);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select SchMrpCalIID from QZ_MRP_Schemes where SchIID=%1").arg(copy)), 1);
    EXPECT_EQ(dlg.cboScheme->currentData(TMRPReleaseDlg::ValueRole).toInt(), copy);
}

TEST_F(ReleaseTest, SchemeWithOnlyItsMainDemandIsReleasedWithoutMRPResults)
{
    const int id = scheme(QStringLiteral("主需求方案"), 2, false);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    EXPECT_FALSE(dlg.actStopOutput->isEnabled());
    SetScript s;
    s.name = QStringLiteral("主需求副本");
    answerSettings(&s);
    Picker.ok = true;
    Picker.picked = {user(QStringLiteral("buy01"), QStringLiteral("buy01"))};
    ScriptedMessageBoxes boxes;
    dlg.actRelease->trigger();

    EXPECT_FALSE(s.onlyEnabled);
    EXPECT_TRUE(s.onlyChecked);
    EXPECT_FALSE(s.canOutputShown);
    const int copy = DemoLogin::count(QStringLiteral("select SchIID from QZ_MRP_Schemes where SchName='主需求副本'"));
    ASSERT_GT(copy, 0);
    EXPECT_EQ(state(copy), 8);
    EXPECT_EQ(state(id), 2);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select SchMrpCalIID from QZ_MRP_Schemes where SchIID=%1").arg(copy)), 0);
    EXPECT_FALSE(DemoLogin::value(QStringLiteral("select SchMrpRunTime from QZ_MRP_Schemes where SchIID=%1").arg(copy)).isValid()
                 && !DemoLogin::value(QStringLiteral("select SchMrpRunTime from QZ_MRP_Schemes where SchIID=%1").arg(copy)).isNull());
    EXPECT_FALSE(dlg.actStopOutput->isEnabled()) << "no MRP results: nothing to close";
}

TEST_F(ReleaseTest, WithdrawnSchemeIsOfferedUnderItsBareNameWithoutCopy)
{
    const int id = scheme(QStringLiteral("再发布"), 8, true);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK});
    dlg.actUnrelease->trigger();
    EXPECT_EQ(boxes.shown.first().defaultButton(), kvos::IDCANCEL);
    EXPECT_EQ(state(id), 7);
    EXPECT_TRUE(dlg.cboScheme->currentText().startsWith(QStringLiteral("再发布 (已取消发布 ")));

    SetScript s;
    s.direct = true;
    answerSettings(&s);
    Picker.ok = false;
    dlg.actRelease->trigger();
    EXPECT_FALSE(s.copyEnabled);
    EXPECT_EQ(s.offeredName, QStringLiteral("再发布"));
    EXPECT_EQ(Picker.calls, 1);
    EXPECT_TRUE(std::any_of(boxes.shown.begin(), boxes.shown.end(),
                            [](const ShownBox& b) { return b.text.startsWith(QStringLiteral("提示: 您刚取消了选择计划发布的接收用户")); }))
        << "cancelling the picker still releases, with the hint";
    EXPECT_EQ(state(id), 8);
}

TEST_F(ReleaseTest, CloseAndReopenOutput)
{
    struct Case {
        const char* what;
        bool output; // some supply was output already
        int reopened;
    };
    for (const Case& c : {Case{"nothing output yet", false, 8}, Case{"output already", true, 9}}) {
        SCOPED_TRACE(c.what);
        const int id = scheme(QStringLiteral("投放开关"), 8, true);
        if (c.output)
            DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Supplies set SupDestQty=4 where SupSchIID=%1").arg(id));
        TMRPReleaseDlg dlg;
        select(dlg, id);
        ScriptedMessageBoxes boxes;
        boxes.answer({kvos::IDOK});
        dlg.actStopOutput->trigger();
        EXPECT_EQ(state(id), 10);
        boxes.answer({kvos::IDOK});
        dlg.actOpenOutput->trigger();
        EXPECT_EQ(state(id), c.reopened);
        EXPECT_TRUE(dlg.cboScheme->currentText().contains(c.reopened == 9 ? QStringLiteral("已投放") : QStringLiteral("已发布")));
        DemoLogin::instance().exec(QStringLiteral("update QZ_MRP_Schemes set SchState=0 where SchIID=%1").arg(id));
    }
}

TEST_F(ReleaseTest, CancelledQuestionChangesNothing)
{
    const int id = scheme(QStringLiteral("不动"), 8, true);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    ScriptedMessageBoxes boxes; // Enter: the default Cancel
    dlg.actUnrelease->trigger();
    dlg.actStopOutput->trigger();
    EXPECT_EQ(state(id), 8);
}

TEST_F(ReleaseTest, StateChangedElsewhereIsRefused)
{
    const int id = scheme(QStringLiteral("两个窗口"), 8, true);
    TMRPReleaseDlg first;
    select(first, id);
    TMRPReleaseDlg second;
    select(second, id);
    ScriptedMessageBoxes boxes;
    boxes.answer({kvos::IDOK, kvos::IDOK, kvos::IDOK});
    first.actUnrelease->trigger();
    ASSERT_EQ(state(id), 7);
    const QString before = second.cboScheme->currentText();
    second.actStopOutput->trigger();
    EXPECT_EQ(state(id), 7);
    EXPECT_TRUE(boxes.shown.last().text.contains(QStringLiteral("可能原因: 计划方案最新状态已被改变, 请刷新计划方案列表后再试!")));
    EXPECT_EQ(second.cboScheme->currentText(), before);
    EXPECT_EQ(second.SelectedState(), 8);
}

TEST_F(ReleaseTest, MissingBomWarningCanStopTheRelease)
{
    const int id = scheme(QStringLiteral("缺BOM"), 6, true, false);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    SetScript s;
    s.direct = true;
    answerSettings(&s);
    ScriptedMessageBoxes boxes; // Cancel is the default
    dlg.actRelease->trigger();
    ASSERT_FALSE(boxes.shown.isEmpty());
    EXPECT_EQ(boxes.shown.first().text,
              QStringLiteral("所选方案存在1条非采购性质的MRP供应计划缺少BOM, 这意味着MRP数据可能不完整, 确定发布?"));
    EXPECT_EQ(state(id), 6);
    EXPECT_EQ(s.offeredName, QString()) << "the settings were never shown";
}

TEST_F(ReleaseTest, ReceiversAreAddedAndRemoved)
{
    const int id = scheme(QStringLiteral("接收人"), 8, true);
    TMRPReleaseDlg dlg;
    select(dlg, id);
    Picker.ok = true;
    Picker.picked = {user(QStringLiteral("buy01"), QStringLiteral("buy01 (李采购)")), user(QStringLiteral("G_PLAN"), QStringLiteral("PLAN"), true)};
    dlg.actAddUser->trigger();
    ASSERT_EQ(receivers(id), 2);

    Picker.picked = {user(QStringLiteral("admin"), QStringLiteral("admin"))};
    dlg.actAddUser->trigger();
    EXPECT_EQ(Picker.shown.size(), 2) << "the picker is shown the current receivers";
    ASSERT_EQ(receivers(id), 3);

    dlg.grdUsers->clearSelection();
    for (int i = 0; i < dlg.grdUsers->topLevelItemCount(); ++i)
        if (dlg.grdUsers->topLevelItem(i)->text(TMRPReleaseDlg::colUserID) != QLatin1String("admin"))
            dlg.grdUsers->topLevelItem(i)->setSelected(true);
    ASSERT_TRUE(dlg.actRemoveUser->isEnabled());
    dlg.actRemoveUser->trigger();
    EXPECT_EQ(receivers(id), 1);
    EXPECT_EQ(DemoLogin::count(QStringLiteral("select count(*) from QZ_SYS_DataPermissions where DpmDataID='%1' and DpmUsrID='admin'").arg(id)), 1);
    EXPECT_EQ(dlg.grdUsers->topLevelItemCount(), 1);
}

TEST_F(ReleaseTest, CopyNameChecks)
{
    scheme(QStringLiteral("已有方案"), 0, false);
    scheme(QStringLiteral("别人方案"), 0, false, true, QStringLiteral("buy01"));
    scheme(QStringLiteral("分析方案"), 0, false, true, QStringLiteral("plan01"), 1);
    struct Case {
        QString name;
        QString warning; // empty: accepted
    };
    const Case cases[] = {
        {QStringLiteral("  "), QStringLiteral("名称不能为空, 请输入!")},
        {QStringLiteral("MRP方案a"), QStringLiteral("您选择复制方案方式发布, 原计划方案\"MRP方案a\"将被保留, 请输入新名称进行发布!")},
        {QStringLiteral(" 已有方案 "), QStringLiteral("计划方案\"已有方案\"已存在, 请输入新名称进行发布!")},
        {QStringLiteral("别人方案"), QString()},
        {QStringLiteral("分析方案"), QString()},
        {QStringLiteral("x' or 1=1 --"), QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        TMRPReleaseSetDlg dlg;
        dlg.FSchemeName = QStringLiteral("MRP方案A");
        dlg.edtSchemeName->setText(c.name);
        ScriptedMessageBoxes boxes;
        dlg.accept();
        if (c.warning.isEmpty()) {
            EXPECT_TRUE(boxes.shown.isEmpty());
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
        } else {
            ASSERT_EQ(boxes.shown.size(), 1);
            EXPECT_EQ(boxes.shown.first().text, c.warning);
            EXPECT_NE(dlg.result(), QDialog::Accepted);
        }
    }
}

TEST_F(ReleaseTest, DirectModeTakesTheCurrentNameReadOnly)
{
    TMRPReleaseSetDlg dlg;
    dlg.FSchemeName = QStringLiteral("方案一");
    dlg.edtSchemeName->setText(QStringLiteral("新名字"));
    dlg.rdbDirectMode->setChecked(true);
    EXPECT_EQ(dlg.edtSchemeName->text(), QStringLiteral("方案一"));
    EXPECT_TRUE(dlg.edtSchemeName->isReadOnly());
    dlg.rdbCopyMode->setChecked(true);
    dlg.rdbReleaseModeClick();
    EXPECT_FALSE(dlg.edtSchemeName->isReadOnly());
    dlg.chkOnlyMPS->setChecked(true);
    EXPECT_FALSE(dlg.chkCanOutput->isVisibleTo(&dlg));
}

TEST(GetReleaseSchemeText, StateWordsAndTime)
{
    const QDateTime t(QDate(2027, 1, 5), QTime(8, 3, 9));
    EXPECT_EQ(GetReleaseSchemeText(QStringLiteral("A"), 6, t), QStringLiteral("A"));
    EXPECT_EQ(GetReleaseSchemeText(QStringLiteral("A"), 7, t), QStringLiteral("A (已取消发布 2027/01/05 08:03:09)"));
    EXPECT_EQ(GetReleaseSchemeText(QStringLiteral("A"), 8, t), QStringLiteral("A (已发布 2027/01/05 08:03:09)"));
    EXPECT_EQ(GetReleaseSchemeText(QStringLiteral("A"), 9, t), QStringLiteral("A (已投放 2027/01/05 08:03:09)"));
    EXPECT_EQ(GetReleaseSchemeText(QStringLiteral("A"), 10, t), QStringLiteral("A (已关闭投放 2027/01/05 08:03:09)"));
}

} // namespace
