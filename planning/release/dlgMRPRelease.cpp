#include "dlgMRPRelease.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "untApplication.h"
#include "untMRPCopy.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

const QString kSchemesSQL = QStringLiteral(
    "select SchIID, SchName, SchState, SchMrpCalIID, SchRelTime from QZ_MRP_Schemes where SchType=%1 and (SchState=%2 or "
    "SchState>=%3) and SchUsrID=%4 order by (case when SchState=%5 then (case when SchMpsUpdTime>SchMpsRunTime then "
    "SchMpsUpdTime else SchMpsRunTime end) else (case when SchMrpUpdTime>SchMrpRunTime then SchMrpUpdTime else "
    "SchMrpRunTime end) end) desc");
const QString kReceiversSQL = QStringLiteral(
    "select IsGroup=cast(0 as bit), UsrID, UsrNo, UsrName, UsrDisabled from QZ_SYS_DataPermissions with(nolock) join "
    "QZ_SYS_Users with(nolock) on DpmUsrID=UsrID and DpmIsGroup=0 where DpmObjID='QZ_MRP.MRP' and DpmDataID='%1'"
    "\runion\r"
    "select IsGroup=cast(1 as bit), GrpID, GrpNo, GrpName, GrpDisabled=cast(0 as bit) from QZ_SYS_DataPermissions "
    "with(nolock) join QZ_SYS_UserGroups with(nolock) on DpmUsrID=GrpID and DpmIsGroup=1 where DpmObjID='QZ_MRP.MRP' "
    "and DpmDataID='%1' order by IsGroup desc, UsrNo");
const QString kLackBomSQL = QStringLiteral(
    "select Cnt=count(*) from QZ_MRP_Supplies with(nolock) where SupSchIID=%1 and SupBillType in (%2, %3, %4, %5, %6, %7, "
    "%8) and (SupBomID is null or SupBomID='')");
const QString kRefreshText = QStringLiteral("(") + QStringLiteral("刷新") + QStringLiteral(")");
const QString kCancelledWord = QStringLiteral("已取消发布");

constexpr int kOkCancelDef2 = int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2);

QString copyError(const QString& AFrom, const QString& ATo)
{
    return QStringLiteral("复制计划方案[%1]至新方案[%2]出现错误, 复制方案发布被中止!").arg(AFrom, ATo);
}

// The hourglass for the rest of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

} // namespace

QString GetReleaseSchemeText(const QString& AName, int AState, const QDateTime& ARelTime)
{
    QString word;
    switch (AState) {
    case 7: word = kCancelledWord; break;
    case 8: word = QStringLiteral("已发布"); break;
    case 9: word = QStringLiteral("已投放"); break;
    case 10: word = QStringLiteral("已关闭投放"); break;
    default: return AName;
    }
    return AName + QStringLiteral(" (") + word + QLatin1Char(' ') + ARelTime.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
        + QLatin1Char(')');
}

// ---- the release dialog ------------------------------------------------------

TMRPReleaseDlg::TMRPReleaseDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("MRPReleaseDlg"));
    setWindowTitle(QStringLiteral("计划发布管理"));
    setMinimumSize(550, 400);
    btnOk->hide();
    btnCancel->setText(QStringLiteral("关闭(&X)"));

    lblScheme = new QLabel(QStringLiteral("计划方案(&S):"), ClientArea());
    cboScheme = new QComboBox(ClientArea());
    cboScheme->setObjectName(QStringLiteral("cboScheme"));
    cboScheme->setMaxVisibleItems(20);
    lblScheme->setBuddy(cboScheme);
    lblUsers = new QLabel(QStringLiteral("接收用户(&O):"), ClientArea());
    grdUsers = new QTreeWidget(ClientArea());
    grdUsers->setObjectName(QStringLiteral("grdUsers"));
    grdUsers->setColumnCount(3);
    grdUsers->setHeaderHidden(true);
    grdUsers->setRootIsDecorated(false);
    grdUsers->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grdUsers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdUsers->setColumnHidden(colUserID, true);
    grdUsers->setColumnHidden(colUserType, true);
    grdUsers->header()->setStretchLastSection(false);
    grdUsers->header()->setSectionResizeMode(colUserName, QHeaderView::Stretch);
    lblUsers->setBuddy(grdUsers);

    actRelease = new QAction(QStringLiteral("发布(&R)"), this);
    actUnrelease = new QAction(QStringLiteral("取消发布(&U)"), this);
    actAddUser = new QAction(QStringLiteral(" 增加用户(&A)..."), this);
    actRemoveUser = new QAction(QStringLiteral("移除用户(&D)"), this);
    actStopOutput = new QAction(QStringLiteral("关闭投放(&C)"), this);
    actOpenOutput = new QAction(QStringLiteral("允许投放(&O)"), this);

    auto* buttons = new QVBoxLayout;
    auto bind = [this, buttons](QAction* a, const char* name) {
        auto* b = new QPushButton(a->text(), ClientArea());
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, a, &QAction::trigger);
        connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
        buttons->addWidget(b);
    };
    bind(actRelease, "btnRelease");
    bind(actUnrelease, "btnUnrelease");
    bind(actOpenOutput, "btnOpenOutput");
    bind(actStopOutput, "btnStopOutput");
    bind(actAddUser, "btnAddUser");
    bind(actRemoveUser, "btnRemoveUser");
    buttons->addStretch(1);

    auto* grid = new QGridLayout(ClientArea());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(lblScheme, 0, 0);
    grid->addWidget(cboScheme, 1, 0);
    grid->addWidget(lblUsers, 2, 0);
    grid->addWidget(grdUsers, 3, 0);
    grid->addLayout(buttons, 1, 1, 3, 1);
    grid->setRowStretch(3, 1);
    grid->setColumnStretch(0, 1);
    resize(560, 420);

    connect(actRelease, &QAction::triggered, this, [this] { actReleaseExecute(); });
    connect(actUnrelease, &QAction::triggered, this, [this] { actUnreleaseExecute(); });
    connect(actOpenOutput, &QAction::triggered, this, [this] { actOpenOutputExecute(); });
    connect(actStopOutput, &QAction::triggered, this, [this] { actStopOutputExecute(); });
    connect(actAddUser, &QAction::triggered, this, [this] { actAddUserExecute(true); });
    connect(actRemoveUser, &QAction::triggered, this, [this] { actRemoveUserExecute(); });
    connect(grdUsers, &QTreeWidget::itemDoubleClicked, this, [this] { actAddUserExecute(true); });
    connect(grdUsers, &QTreeWidget::itemSelectionChanged, this, [this] { ActionListUpdate(); });
    connect(cboScheme, &QComboBox::currentIndexChanged, this, [this] {
        if (!FLoading)
            cboSchemePropertiesChange();
    });

    // groups before users, each by name
    grdUsers->setSortingEnabled(false);
    LoadReleaseSchemes();
}

int TMRPReleaseDlg::SelectedSchemeIID() const
{
    const int i = cboScheme->currentIndex();
    return i >= 0 ? cboScheme->itemData(i, ValueRole).toInt() : 0;
}

int TMRPReleaseDlg::SelectedState() const
{
    const int i = cboScheme->currentIndex();
    return i >= 0 ? cboScheme->itemData(i, TagRole).toInt() : -1;
}

int TMRPReleaseDlg::SelectedMarker() const
{
    const int i = cboScheme->currentIndex();
    return i >= 0 ? cboScheme->itemData(i, ImageRole).toInt() : 0;
}

bool TMRPReleaseDlg::UsersGreyed() const
{
    const int s = SelectedState();
    return s != 8 && s != 9 && s != 10;
}

void TMRPReleaseDlg::LoadReleaseSchemes()
{
    FLoading = true;
    cboScheme->clear();
    const QString sql = kSchemesSQL.arg(0).arg(2).arg(6).arg(QuotedStr(InfoApplication->LoginInfo.UserID)).arg(2);
    int rows = 0;
    if (ExecSQLText(GlobalADOQuery, sql, true, false, true)) {
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next(), ++rows) {
            auto f = [](const char* n) { return GlobalADOQuery->FieldByName(QLatin1String(n)); };
            const int state = f("SchState")->AsInteger();
            cboScheme->addItem(GetReleaseSchemeText(f("SchName")->AsString(), state, f("SchRelTime")->AsDateTime()));
            const int i = cboScheme->count() - 1;
            cboScheme->setItemData(i, f("SchIID")->AsInteger(), ValueRole);
            cboScheme->setItemData(i, state, TagRole);
            cboScheme->setItemData(i, f("SchMrpCalIID")->IsNull() ? 0 : f("SchMrpCalIID")->AsInteger(), ImageRole);
        }
        GlobalADOQuery->Close();
    }
    if (rows == 0) {
        cboScheme->addItem(QString());
        cboScheme->setItemData(0, 0, TagRole);
    }
    cboScheme->addItem(kRefreshText);
    cboScheme->setItemData(cboScheme->count() - 1, -1, TagRole);
    cboScheme->setCurrentIndex(0);
    cboSchemePropertiesChange();
    FLoading = false;
}

void TMRPReleaseDlg::addUserNode(const QString& AID, const QString& AName, bool AIsGroup, bool ADisabled)
{
    auto* node = new QTreeWidgetItem;
    node->setText(colUserName, AName);
    node->setText(colUserID, AID);
    node->setText(colUserType, AIsGroup ? QStringLiteral("0") : QStringLiteral("1"));
    const int image = AIsGroup ? 0 : (ADisabled ? 2 : 1);
    node->setData(colUserName, NodeImageRole, image);
    static const QStyle::StandardPixmap images[] = {QStyle::SP_DirIcon, QStyle::SP_FileIcon, QStyle::SP_DialogCancelButton};
    node->setIcon(colUserName, style()->standardIcon(images[image]));
    // groups before users, each by name
    int at = 0;
    while (at < grdUsers->topLevelItemCount()) {
        const QTreeWidgetItem* n = grdUsers->topLevelItem(at);
        const int type = n->text(colUserType).toInt();
        const int mine = AIsGroup ? 0 : 1;
        if (type > mine || (type == mine && n->text(colUserName).compare(AName, Qt::CaseInsensitive) > 0))
            break;
        ++at;
    }
    grdUsers->insertTopLevelItem(at, node);
    if (UsersGreyed())
        node->setForeground(colUserName, palette().color(QPalette::Disabled, QPalette::Text));
}

void TMRPReleaseDlg::cboSchemePropertiesChange()
{
    grdUsers->clear();
    const int i = cboScheme->currentIndex();
    if (i > 0 && i == cboScheme->count() - 1) { // the refresh entry
        LoadReleaseSchemes();
        return;
    }
    if (i < 0 || !cboScheme->itemData(i, ValueRole).isValid()) {
        ActionListUpdate();
        return;
    }
    const int schIID = SelectedSchemeIID();
    if (ExecSQLText(GlobalADOQuery, kReceiversSQL.arg(schIID), true, false, true)) {
        for (; !GlobalADOQuery->Eof(); GlobalADOQuery->Next()) {
            const bool group = GlobalADOQuery->Fields()->Field(0)->AsBoolean();
            const QString id = GlobalADOQuery->Fields()->Field(1)->AsString();
            const QString no = GlobalADOQuery->Fields()->Field(2)->AsString();
            const QString name = GlobalADOQuery->Fields()->Field(3)->AsString();
            const bool disabled = GlobalADOQuery->Fields()->Field(4)->AsBoolean();
            const QString shown = no.compare(name, Qt::CaseInsensitive) == 0 ? no : no + QStringLiteral(" (") + name + QLatin1Char(')');
            addUserNode(id, shown, group, disabled);
        }
        GlobalADOQuery->Close();
    }
    ActionListUpdate();
}

void TMRPReleaseDlg::ActionListUpdate()
{
    const int s = SelectedState();
    const int m = SelectedMarker();
    actRelease->setEnabled(s == 2 || s == 6 || s == 7);
    actUnrelease->setEnabled(s == 8);
    actOpenOutput->setEnabled(s == 10);
    actStopOutput->setEnabled((s == 8 && m != 0) || s == 9);
    actAddUser->setEnabled(s == 8 || s == 9 || s == 10);
    actRemoveUser->setEnabled(actAddUser->isEnabled() && !grdUsers->selectedItems().isEmpty());
    // the receivers of a scheme that is not released are drawn greyed
    const QColor colour = UsersGreyed() ? palette().color(QPalette::Disabled, QPalette::Text) : palette().color(QPalette::Text);
    for (int i = 0; i < grdUsers->topLevelItemCount(); ++i)
        grdUsers->topLevelItem(i)->setForeground(colUserName, colour);
}

void TMRPReleaseDlg::ChangeSchemeReleaseState(int ANewState)
{
    const int schIID = SelectedSchemeIID();
    const int state = SelectedState();
    QString batch = QStringLiteral("declare @state tinyint\r") + QStringLiteral("select @state=%1\r").arg(ANewState);
    if (state == 10)
        batch += QStringLiteral("if exists (select * from QZ_MRP_Supplies with(nolock) where SupSchIID=%1 and SupDestQty>0)\r")
                     .arg(schIID)
            + QStringLiteral("select @state=%1\r").arg(9);
    batch += QStringLiteral("update QZ_MRP_Schemes set SchState=@state, SchRelTime=getdate(), SchMaxTime=getdate() where "
                            "SchIID=%1 and SchState=%2\r")
                 .arg(schIID)
                 .arg(state)
        + QStringLiteral("select SchName, SchState, SchRelTime from QZ_MRP_Schemes where SchIID=%1 and @@rowcount>0").arg(schIID);
    bool changed = false;
    if (ExecSQLText(GlobalADOQuery, batch, true, false, true)) {
        if (GlobalADOQuery->Active() && !GlobalADOQuery->IsEmpty()) {
            const int i = cboScheme->currentIndex();
            const int newState = GlobalADOQuery->FieldByName(QStringLiteral("SchState"))->AsInteger();
            const QSignalBlocker block(cboScheme);
            cboScheme->setItemData(i, newState, TagRole);
            cboScheme->setItemText(i, GetReleaseSchemeText(GlobalADOQuery->FieldByName(QStringLiteral("SchName"))->AsString(),
                                                            newState,
                                                            GlobalADOQuery->FieldByName(QStringLiteral("SchRelTime"))->AsDateTime()));
            changed = true;
        }
        GlobalADOQuery->Close();
        if (!changed)
            ShowError(QStringLiteral("执行过程中发现错误, 操作被停止!") + QStringLiteral("\r\n\r\n")
                      + QStringLiteral("可能原因: 计划方案最新状态已被改变, 请刷新计划方案列表后再试!"));
    }
    ActionListUpdate();
    if (changed)
        ShowInfo(QStringLiteral("执行完成。"));
    cboScheme->setFocus();
}

void TMRPReleaseDlg::actReleaseExecute()
{
    if (!actRelease->isEnabled())
        return;
    const int s = SelectedState();
    const int schIID = SelectedSchemeIID();
    const QString entryText = cboScheme->currentText();
    bool onlyMainDemand = s == 2 || SelectedMarker() == 0;
    if (!onlyMainDemand) {
        const QString sql = kLackBomSQL.arg(schIID).arg(42).arg(44).arg(52).arg(54).arg(62).arg(64).arg(66);
        if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
            return;
        const int cnt = GlobalADOQuery->FieldByName(QStringLiteral("Cnt"))->AsInteger();
        GlobalADOQuery->Close();
        if (cnt > 0
            && ShowWarning(QStringLiteral("所选方案存在%1条非采购性质的MRP供应计划缺少BOM, 这意味着MRP数据可能不完整, 确定发布?").arg(cnt),
                           kOkCancelDef2)
                != kvos::IDOK)
            return;
    }
    bool asCopy = s == 2 || s == 6;
    QString name = entryText;
    if (s == 7)
        name = ExtractDelimitedItems(entryText, QStringLiteral(" (") + kCancelledWord, 1, 1).trimmed();
    bool canOutput = false;
    if (!ShowMRPReleaseSetDlg(name, asCopy, onlyMainDemand, canOutput))
        return;

    if (asCopy) {
        WaitCursor wait;
        const QString insert =
            QStringLiteral(
                "insert QZ_MRP_Schemes (SchType, SchName, SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, "
                "SchCareReplace, SchCareSuites,SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, "
                "SchNewTime, SchUpdTime, SchRelTime, SchState, SchMpsCalIID,SchMpsPeriods, SchMpsRunTime, SchMpsUpdTime, "
                "SchMrpCalIID, SchMrpPeriods, SchMrpRunTime, SchMrpUpdTime, SchMaxTime)\r")
            + QStringLiteral("select SchType, ") + QuotedStr(name)
            + QStringLiteral(", SchCalIID, SchPeriods, SchMpsSource, SchNeedScope, SchCareSafety, SchCareReplace, SchCareSuites,")
            + QStringLiteral("SchTrackMode, SchItemTrack, SchCareLoss, SchCareLot, SchFilters, SchUsrID, SchNewTime, SchUpdTime, "
                             "SchRelTime, SchState, SchMpsCalIID,")
            + QStringLiteral("SchMpsPeriods, SchMpsRunTime, SchMpsUpdTime,")
            // this account set keeps "no MRP calendar" as 0 and no periods as an empty text
            + IIfString(onlyMainDemand, QStringLiteral("0, '', null, null"),
                        QStringLiteral("SchMrpCalIID, SchMrpPeriods, SchMrpRunTime, SchMrpUpdTime"))
            + QStringLiteral(", SchMaxTime") + QStringLiteral(" from QZ_MRP_Schemes with(nolock) where SchIID=")
            + QString::number(schIID) + QStringLiteral("\r") + QStringLiteral("select SchIID=@@identity");
        FLoading = true;
        bool ok = false;
        if (ExecSQLText(GlobalADOQuery, insert, true, false, true) && GlobalADOQuery->Active() && !GlobalADOQuery->IsEmpty()) {
            const int newIID = GlobalADOQuery->Fields()->Field(0)->AsInteger();
            GlobalADOQuery->Close();
            try {
                InfoApplication->ShowStatusMessage(
                    QStringLiteral("正在从计划方案[%1]复制全部数据至[%2], 请稍候...").arg(entryText, name), mkHint);
                CopySchemeResults(schIID, newIID, GlobalADOQuery, onlyMainDemand);
                const int i = cboScheme->currentIndex();
                cboScheme->setItemData(i, newIID, ValueRole);
                cboScheme->setItemData(i, onlyMainDemand ? 0 : 1, ImageRole);
                cboScheme->setItemText(i, name);
                cboScheme->setCurrentIndex(i);
                // the copy starts with no receivers: it asks for its own
                grdUsers->clear();
                ok = true;
            } catch (const std::exception&) {
                ShowError(copyError(entryText, name));
            }
        } else {
            if (GlobalADOQuery->Active())
                GlobalADOQuery->Close();
            ShowError(copyError(entryText, name));
        }
        InfoApplication->ShowStatusMessage(QString(), mkHint);
        FLoading = false;
        if (!ok)
            return;
    }

    if (grdUsers->topLevelItemCount() == 0) {
        actAddUserExecute(false);
        if (grdUsers->topLevelItemCount() == 0)
            ShowInfo(QStringLiteral("提示: 您刚取消了选择计划发布的接收用户, 发布完成后可以通过\"增加用户\"功能再作选择。"));
    }
    ChangeSchemeReleaseState(onlyMainDemand || canOutput ? 8 : 10);
}

void TMRPReleaseDlg::actUnreleaseExecute()
{
    if (actUnrelease->isEnabled()
        && ShowQuestion(QStringLiteral("计划方案取消发布后, 您可以修改计划和再发布。确定取消所选计划方案的发布?"), kOkCancelDef2)
            == kvos::IDOK)
        ChangeSchemeReleaseState(7);
}

void TMRPReleaseDlg::actOpenOutputExecute()
{
    if (actOpenOutput->isEnabled()
        && ShowQuestion(QStringLiteral("允许所选计划方案的发布接收用户投放计划结果至ERP系统?"), kOkCancelDef2) == kvos::IDOK)
        ChangeSchemeReleaseState(8);
}

void TMRPReleaseDlg::actStopOutputExecute()
{
    if (actStopOutput->isEnabled()
        && ShowQuestion(QStringLiteral("计划方案关闭投放后, 发布接收用户可以继续查询计划。确定对所选的计划方案关闭投放?"), kOkCancelDef2)
            == kvos::IDOK)
        ChangeSchemeReleaseState(10);
}

void TMRPReleaseDlg::actAddUserExecute(bool AFromUser)
{
    if (AFromUser && !actAddUser->isEnabled())
        return;
    const int schIID = SelectedSchemeIID();
    if (schIID == 0)
        return;
    TUserRecs users;
    for (int i = 0; i < grdUsers->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* n = grdUsers->topLevelItem(i);
        TUserRec r;
        r.UserID = n->text(colUserID);
        r.UserName = n->text(colUserName);
        r.IsGroup = n->data(colUserName, NodeImageRole).toInt() == 0;
        users.append(r);
    }
    if (!InfoApplication->ShowSelectUser(users, true, QStringLiteral("选择计划发布的接收用户"), TShowUserOptions()))
        return;
    grdUsers->clearSelection();
    QTreeWidgetItem* focused = nullptr;
    for (const TUserRec& u : users) {
        const QString sql = QStringLiteral("insert QZ_SYS_DataPermissions (DpmUsrID, DpmIsGroup, DpmObjID, DpmDataID, DpmActID)")
            + QStringLiteral(" values (%1, %2, 'QZ_MRP.MRP', '%3', '')").arg(QuotedStr(u.UserID)).arg(u.IsGroup ? 1 : 0).arg(schIID);
        if (!ExecSQLText(GlobalADOQuery, sql, false, false, true))
            break;
        addUserNode(u.UserID, u.UserName, u.IsGroup, u.IsDisabled);
        QTreeWidgetItem* node = nullptr;
        for (int i = 0; i < grdUsers->topLevelItemCount() && !node; ++i)
            if (grdUsers->topLevelItem(i)->text(colUserID) == u.UserID
                && (grdUsers->topLevelItem(i)->text(colUserType) == QLatin1String("0")) == u.IsGroup)
                node = grdUsers->topLevelItem(i);
        if (!node)
            continue;
        if (!focused) {
            focused = node;
            grdUsers->setCurrentItem(node, 0, QItemSelectionModel::NoUpdate);
        } else {
            node->setSelected(true);
        }
    }
    if (focused)
        grdUsers->scrollToItem(focused);
    ActionListUpdate();
}

void TMRPReleaseDlg::actRemoveUserExecute()
{
    if (!actRemoveUser->isEnabled())
        return;
    const int schIID = SelectedSchemeIID();
    for (int i = grdUsers->topLevelItemCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* n = grdUsers->topLevelItem(i);
        if (!n->isSelected())
            continue;
        const QString sql = QStringLiteral("delete QZ_SYS_DataPermissions")
            + QStringLiteral(" where DpmUsrID=%1 and DpmIsGroup=%2 and DpmObjID='QZ_MRP.MRP' and DpmDataID='%3'")
                  .arg(QuotedStr(n->text(colUserID)))
                  .arg(n->data(colUserName, NodeImageRole).toInt() == 0 ? 1 : 0)
                  .arg(schIID);
        if (!ExecSQLText(GlobalADOQuery, sql, false, false, true))
            break;
        delete n;
    }
    ActionListUpdate();
}

void ShowMRPReleaseDlg()
{
    auto dlg = std::make_unique<TMRPReleaseDlg>(QApplication::activeWindow());
    dlg->exec();
}

// ---- the release settings ----------------------------------------------------

std::function<int(TMRPReleaseSetDlg&)> TMRPReleaseSetDlg::ExecHook;

TMRPReleaseSetDlg::TMRPReleaseSetDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("MRPReleaseSetDlg"));
    setWindowTitle(QStringLiteral("计划发布"));
    lblMode = new QLabel(QStringLiteral("发布方式(&N):"), ClientArea());
    rdbCopyMode = new QRadioButton(QStringLiteral("复制方案发布(&1)"), ClientArea());
    rdbCopyMode->setObjectName(QStringLiteral("rdbCopyMode"));
    rdbCopyMode->setChecked(true);
    rdbDirectMode = new QRadioButton(QStringLiteral("直接发布(&2)"), ClientArea());
    rdbDirectMode->setObjectName(QStringLiteral("rdbDirectMode"));
    lblMode->setBuddy(rdbCopyMode);
    lblSchemeName = new QLabel(QStringLiteral("发布名称(&N):"), ClientArea());
    edtSchemeName = new QLineEdit(ClientArea());
    edtSchemeName->setObjectName(QStringLiteral("edtSchemeName"));
    edtSchemeName->setMaxLength(80);
    lblSchemeName->setBuddy(edtSchemeName);
    chkOnlyMPS = new QCheckBox(QStringLiteral("仅发布主需求(&M)"), ClientArea());
    chkOnlyMPS->setObjectName(QStringLiteral("chkOnlyMPS"));
    chkCanOutput = new QCheckBox(QStringLiteral("允许投放(&E)"), ClientArea());
    chkCanOutput->setObjectName(QStringLiteral("chkCanOutput"));
    chkCanOutput->setChecked(true);

    auto* modes = new QHBoxLayout;
    modes->addWidget(rdbCopyMode);
    modes->addWidget(rdbDirectMode);
    modes->addStretch(1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(chkOnlyMPS);
    checks->addWidget(chkCanOutput);
    checks->addStretch(1);
    auto* grid = new QGridLayout(ClientArea());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(lblMode, 0, 0);
    grid->addLayout(modes, 0, 1);
    grid->addWidget(lblSchemeName, 1, 0);
    grid->addWidget(edtSchemeName, 1, 1);
    grid->addLayout(checks, 2, 1);
    setFixedSize(420, sizeHint().height());

    connect(rdbCopyMode, &QRadioButton::clicked, this, [this] { rdbReleaseModeClick(); });
    connect(rdbDirectMode, &QRadioButton::toggled, this, [this] { rdbReleaseModeClick(); });
    connect(chkOnlyMPS, &QCheckBox::toggled, this, [this] { chkOnlyMDSPropertiesChange(); });
}

void TMRPReleaseSetDlg::rdbReleaseModeClick()
{
    const bool direct = rdbDirectMode->isChecked();
    if (direct || edtSchemeName->text().trimmed().isEmpty())
        edtSchemeName->setText(FSchemeName);
    edtSchemeName->setReadOnly(direct);
    QPalette p = edtSchemeName->palette();
    p.setColor(QPalette::Base, direct ? palette().color(QPalette::Window) : palette().color(QPalette::Base));
    edtSchemeName->setPalette(p);
}

void TMRPReleaseSetDlg::chkOnlyMDSPropertiesChange()
{
    chkCanOutput->setVisible(!chkOnlyMPS->isChecked());
}

void TMRPReleaseSetDlg::accept()
{
    if (rdbCopyMode->isChecked() && !edtSchemeName->isReadOnly()) {
        const QString name = edtSchemeName->text().trimmed();
        edtSchemeName->setText(name);
        if (name.isEmpty()) {
            ShowWarning(QStringLiteral("名称不能为空, 请输入!"));
            edtSchemeName->setFocus();
            return;
        }
        if (name.compare(FSchemeName, Qt::CaseInsensitive) == 0) {
            ShowWarning(QStringLiteral("您选择复制方案方式发布, 原计划方案\"%1\"将被保留, 请输入新名称进行发布!").arg(name));
            edtSchemeName->setFocus();
            return;
        }
        const QString sql = QStringLiteral("select SchIID from QZ_MRP_Schemes where SchName=%1 and SchType=%2 and SchUsrID=%3")
                                .arg(QuotedStr(name))
                                .arg(0)
                                .arg(QuotedStr(InfoApplication->LoginInfo.UserID));
        if (!ExecSQLText(GlobalADOQuery, sql, true, false, true))
            return;
        const bool taken = !GlobalADOQuery->IsEmpty();
        GlobalADOQuery->Close();
        if (taken) {
            ShowWarning(QStringLiteral("计划方案\"%1\"已存在, 请输入新名称进行发布!").arg(name));
            edtSchemeName->setFocus();
            return;
        }
    }
    TDialog::accept();
}

bool ShowMRPReleaseSetDlg(QString& AName, bool& AAsCopy, bool& AOnlyMainDemand, bool& ACanOutput)
{
    auto dlg = std::make_unique<TMRPReleaseSetDlg>(QApplication::activeWindow());
    dlg->FSchemeName = AName;
    if (AAsCopy) {
        dlg->edtSchemeName->setText(AName);
    } else {
        dlg->rdbCopyMode->setEnabled(false);
        dlg->rdbDirectMode->setChecked(true);
        dlg->rdbReleaseModeClick();
    }
    if (AOnlyMainDemand) {
        dlg->chkOnlyMPS->setEnabled(false);
        dlg->chkOnlyMPS->setChecked(true);
    } else {
        dlg->chkOnlyMPS->setEnabled(AAsCopy);
    }
    dlg->chkOnlyMDSPropertiesChange();
    const int result = TMRPReleaseSetDlg::ExecHook ? TMRPReleaseSetDlg::ExecHook(*dlg) : dlg->exec();
    if (result != QDialog::Accepted)
        return false;
    AName = dlg->edtSchemeName->text();
    AAsCopy = dlg->rdbCopyMode->isChecked();
    AOnlyMainDemand = dlg->chkOnlyMPS->isChecked();
    ACanOutput = !AOnlyMainDemand && dlg->chkCanOutput->isChecked();
    return true;
}
