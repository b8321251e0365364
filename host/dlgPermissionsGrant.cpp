// The permissions dialog: setting cells, adding and removing rows, saving, reverting and copying grants.
#include "dlgPermissions.h"

#include "MessageBox.h"
#include "UCommon.h"
#include "UDBComm.h"
#include "clsPickEdit.h"
#include "dlgSelectInfoObject.h"
#include "dlgSelectUser.h"
#include "untApplication.h"
#include "untCommonUI.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QSplitter>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QHelpEvent>
#include <QVBoxLayout>

#include <memory>

namespace {

// Written whenever the batch passes this length, and once more at the end.
constexpr int MaxBatchLength = 65000;
const QChar CR = u'\r';

} // namespace

// ---------------------------------------------------------------- grants

void TPermissionsDlg::SetFocusedCellState(int AState)
{
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    if (!n || k < 0 || !IsCellGrantable(n, k))
        return;
    if (CellState(n, k) != AState) {
        n->setValue(GrantColumn(k), AState);
        if (k == 0 && AState != gsFiltered)
            n->setValue(colGrantFilter, QVariant());
        FModified = true;
    }
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::actGrantNoneExecute()
{
    if (FGrantButtonSetting)
        return;
    // The open grant goes only with its row.
    if (GrantColumnIndex(trlPermissions->focusedColumn()) == 0) {
        SyncGrantButtons();
        return;
    }
    SetFocusedCellState(gsNone);
}

void TPermissionsDlg::actGrantAllExecute()
{
    if (FGrantButtonSetting)
        return;
    SetFocusedCellState(gsGranted);
}

void TPermissionsDlg::actGrantFilterExecute()
{
    if (FGrantButtonSetting)
        return;
    kvui::TreeNode* n = trlPermissions->focusedNode();
    if (!n)
        return;
    kvui::TreeNode* top = n->parent() ? n->parent() : n;
    const QString objectID = FCurObjectType == gotInfo ? FCurObjectID : top->text(colGrantObjID);
    QString code = ExtractDelimitedItems(n->value(colGrantFilter).toString(), QStringLiteral("|"), 1, 1);
    QString text;
    TInfoObjectDef* def = nullptr;
    try {
        def = InfoApplication->GetInfoObjectDef(objectID);
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
        SyncGrantButtons();
        return;
    }
    if (!InfoApplication->ShowFilterDlg(def, text, code, GlobalADOQuery, QString(), InheritedView())) {
        SyncGrantButtons();
        return;
    }
    if (InheritedView() || n->parent()) {
        SyncGrantButtons();
        return;
    }
    if (!text.isEmpty()) {
        n->setValue(colGrantFilter, code + u'|' + text);
        n->setValue(colGrantOpen, gsFiltered);
        FModified = true;
        trlPermissions->setFocusedColumn(colGrantOpen);
        SyncGrantButtons();
        UpdateActions();
    } else {
        n->setValue(colGrantFilter, QVariant());
        trlPermissions->setFocusedColumn(colGrantOpen);
        if (CellState(n, 0) != gsGranted) {
            n->setValue(colGrantOpen, gsGranted);
            FModified = true;
        }
        SyncGrantButtons();
        UpdateActions();
    }
}

void TPermissionsDlg::GridDoubleClick(kvui::TreeNode* ANode, kvui::Column* AColumn)
{
    if (!ANode || !AColumn || trlPermissions->selectedCount() > 1)
        return;
    if (AColumn == colGrantObjName) {
        if (ANode->childCount() > 0)
            ANode->setExpanded(!ANode->isExpanded());
        return;
    }
    const int k = GrantColumnIndex(AColumn);
    if (k < 0)
        return;
    trlPermissions->setFocusedNode(ANode);
    trlPermissions->setFocusedColumn(AColumn);
    const int state = CellState(ANode, k);
    if (InheritedView()) {
        if (state == gsFiltered && k == 0)
            actGrantFilterExecute();
    } else if (IsCellGrantable(ANode, k)) {
        const bool ctrl = QApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
        if (state == gsGranted) {
            if (IsCellFilterable(ANode, k))
                actGrantFilterExecute();
            else
                actGrantNoneExecute();
        } else if (state == gsFiltered && ctrl) {
            actGrantFilterExecute();
        } else {
            actGrantAllExecute();
        }
    }
    SyncGrantButtons();
}

void TPermissionsDlg::SyncGrantButtons()
{
    FGrantButtonSetting = true;
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    const int state = n && k >= 0 ? CellState(n, k) : gsNone;
    rbGrantAll->setChecked(state == gsGranted);
    rbGrantFilter->setChecked(state == gsFiltered);
    rbGrantNone->setChecked(state != gsGranted && state != gsFiltered);
    FGrantButtonSetting = false;
    UpdateActions();
}

void TPermissionsDlg::UpdateActions()
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    actOpen->setEnabled(leaf && leaf->stateIndex() >= 0);
    actCopy->setEnabled(actOpen->isEnabled() && !actViewInfos->isChecked());
    actShowInherited->setVisible(!FCurObjectID.isEmpty() && FCurObjectType == gotUser);
    actSave->setEnabled(FModified);
    actRevert->setEnabled(FModified);
    lblGrantRange->setEnabled(!InheritedView());
    actItemAdd->setEnabled(lblGrantRange->isEnabled() && !FCurObjectID.isEmpty());
    actItemRemove->setEnabled(actItemAdd->isEnabled() && trlPermissions->selectedCount() > 0);
    kvui::TreeNode* n = trlPermissions->focusedNode();
    const int k = GrantColumnIndex(trlPermissions->focusedColumn());
    actGrantAll->setEnabled(actItemAdd->isEnabled() && trlPermissions->selectedCount() <= 1 && IsCellGrantable(n, k));
    actGrantNone->setEnabled(actGrantAll->isEnabled() && k != 0);
    actGrantFilter->setEnabled(actItemAdd->isEnabled() && n && !n->parent() && IsCellFilterable(n, k));
}

// ---------------------------------------------------------------- add, remove

void TPermissionsDlg::actItemAddExecute()
{
    if (FCurObjectID.isEmpty())
        return;
    if (FCurObjectType != gotInfo) {
        QStringList objects;
        for (kvui::TreeNode* n : trlPermissions->topNodes())
            objects.append(n->text(colGrantObjID));
        if (!ShowSelectInfoObjectDlg(objects, true, QStringLiteral("选择授权信息对象")))
            return;
        QStringList ids;
        for (const QString& line : objects) {
            const QString id = line.section(u'=', 0, 0);
            if (!id.isEmpty())
                ids.append(id);
        }
        if (ids.isEmpty())
            return;
        trlPermissions->clearSorting();
        LoadSubjectGrants(ids);
        FModified = true;
    } else {
        TUserRecs users;
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            TUserRec rec;
            rec.UserID = n->text(colGrantObjID);
            rec.IsGroup = n->stateIndex() == gotGroup;
            users.append(rec);
        }
        if (!InfoApplication->ShowSelectUser(users, true, QStringLiteral("选择授权用户"), TShowUserOptions()))
            return;
        kvui::TreeNode* first = nullptr;
        for (const TUserRec& u : users) {
            kvui::TreeNode* row = AddGrantRow(nullptr, u.UserID, u.UserName, UserImageIndex(u.IsGroup, u.IsDisabled, false),
                                              u.IsGroup ? gotGroup : gotUser);
            for (int k = 0; k < FGrantInfoDef->Items.size(); ++k)
                if (FGrantInfoDef->Items[k].Used)
                    row->setValue(GrantColumn(k), gsGranted);
            if (!first)
                first = row;
        }
        if (first) {
            trlPermissions->clearSelection();
            trlPermissions->setFocusedNode(first);
            trlPermissions->selectNode(first, true);
            trlPermissions->makeRowVisible(trlPermissions->rowOfNode(first));
        }
        trlPermissions->bestFitColumn(colGrantObjName);
        FModified = true;
    }
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::actItemRemoveExecute()
{
    const QList<kvui::TreeNode*> selected = trlPermissions->selectedNodes();
    if (selected.isEmpty())
        return;
    for (kvui::TreeNode* n : selected) {
        if (n->parent())
            continue;
        if (FCurObjectType != gotInfo)
            delete static_cast<TGrantInfoDef*>(n->object());
        n->setObject(nullptr);
        trlPermissions->deleteNode(n);
    }
    if (FCurObjectType != gotInfo)
        RecountDynColumns();
    FModified = true;
    SyncGrantButtons();
    UpdateActions();
}

void TPermissionsDlg::RecountDynColumns()
{
    int highest = 0;
    for (kvui::TreeNode* n : trlPermissions->topNodes())
        if (auto* def = static_cast<TGrantInfoDef*>(n->object()))
            for (int k = GrantFixedColumns; k < def->Items.size(); ++k)
                if (def->Items[k].Used)
                    highest = qMax(highest, k - GrantFixedColumns + 1);
    for (int i = highest; i < colGrantItems.size(); ++i)
        colGrantItems[i]->setVisible(false);
    FGrantDynColCount = highest;
}

// ---------------------------------------------------------------- save, revert, copy

bool TPermissionsDlg::SaveGrants()
{
    if (FCurObjectID.isEmpty())
        return true;
    const bool objectView = FCurObjectType == gotInfo;
    QString batch = objectView
                        ? QStringLiteral("delete QZ_SYS_Permissions where PmsObjID=") + QuotedStr(FCurObjectID)
                        : QStringLiteral("delete QZ_SYS_Permissions where PmsIsGroup=") + (FCurObjectType == gotGroup ? u'1' : u'0')
                              + QStringLiteral(" and PmsUsrID=") + QuotedStr(FCurObjectID);
    TADOQuery* q = GlobalADOQuery;
    // One transaction over every piece: a failing piece takes back the delete
    // and the pieces before it, so no grant is lost.
    try {
        kvado::ScopedTransaction transaction(q->Connection());
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            TGrantInfoDef* def = objectView ? FGrantInfoDef : static_cast<TGrantInfoDef*>(n->object());
            if (!def)
                continue;
            const bool isGroup = objectView ? n->stateIndex() == gotGroup : FCurObjectType == gotGroup;
            const QString usrID = objectView ? n->text(colGrantObjID) : FCurObjectID;
            const QString objID = objectView ? FCurObjectID : n->text(colGrantObjID);
            for (int k = 0; k < FGrantDynColCount + GrantFixedColumns && k < def->Items.size(); ++k) {
                const int state = CellState(n, k);
                if (state == gsNone)
                    continue;
                const TGrantInfoAction& item = def->Items[k];
                const QString filter = n->value(colGrantFilter).toString();
                const bool writeFilter = k == 0 && !filter.isEmpty() && (state == gsFiltered || state == gsDenied);
                batch += CR
                         + FormatMessage(QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter) values (%d, %s, %s, %d, %s, %d, %s)"),
                                         {isGroup ? 1 : 0, QuotedStr(usrID), QuotedStr(objID), item.ActType, QuotedStr(item.ActID),
                                          state == gsDenied ? 2 : 1, writeFilter ? QuotedStr(filter) : QStringLiteral("null")});
                if (batch.size() > MaxBatchLength) {
                    if (!ExecSQLText(q, batch, false, false, true))
                        return false;
                    batch.clear();
                }
            }
        }
        if (!batch.isEmpty() && !ExecSQLText(q, batch, false, false, true))
            return false;
        transaction.Commit();
    } catch (const Exception& e) {
        ShowADOError(e, q);
        return false;
    }
    FModified = false;
    trlPermissions->setFocus();
    UpdateActions();
    return true;
}

void TPermissionsDlg::actSaveExecute()
{
    SaveGrants();
}

bool TPermissionsDlg::ConfirmSaveChanges()
{
    if (!FModified)
        return true;
    switch (ShowQuestion(FormatMessage(QStringLiteral("对象\"%s\"的权限信息已修改, 保存?"), {lblCurObject->text()}),
                         int(kvos::MB_YESNOCANCEL))) {
    case kvos::IDYES:
        return SaveGrants();
    case kvos::IDNO:
        return true;
    default:
        return false;
    }
}

void TPermissionsDlg::actRevertExecute()
{
    if (ShowQuestion(FormatMessage(QStringLiteral("放弃对象\"%s\"的权限信息修改, 确定?"), {lblCurObject->text()}),
                     int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
        != kvos::IDOK)
        return;
    FModified = false;
    OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
}

void TPermissionsDlg::actShowInheritedExecute()
{
    if (FCurObjectType != gotUser || FCurObjectID.isEmpty())
        return;
    if (!ConfirmSaveChanges()) {
        actShowInherited->setChecked(!actShowInherited->isChecked());
        return;
    }
    FModified = false;
    OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
}

void TPermissionsDlg::actCopyExecute()
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    if (!leaf || leaf->stateIndex() < 0 || leaf->stateIndex() == gotInfo)
        return;
    const bool sourceIsGroup = leaf->stateIndex() == gotGroup;
    const QString sourceID = leaf->text(colObjID);
    const QString sourceName = leaf->text(colObjName);
    // Unsaved changes of the source are settled first: saved, or thrown away.
    if (FModified && !FCurObjectID.isEmpty() && (FCurObjectType == gotGroup) == sourceIsGroup
        && sourceID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
        const int answer = ShowQuestion(FormatMessage(QStringLiteral("对象\"%s\"的权限信息已修改, 保存?"), {lblCurObject->text()}),
                                        int(kvos::MB_YESNOCANCEL));
        if (answer == kvos::IDCANCEL)
            return;
        if (answer == kvos::IDYES) {
            if (!SaveGrants())
                return;
        } else {
            FModified = false;
            OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
        }
    }
    if (ShowWarning(FormatMessage(QStringLiteral("复制\"%s\"的权限至其他用户, 其他用户原有的权限将被覆盖, 继续?"), {sourceName}),
                    int(kvos::MB_OKCANCEL | kvos::MB_DEFBUTTON2))
        != kvos::IDOK)
        return;
    TUserRecs targets;
    TUserRec source;
    source.UserID = sourceID;
    source.UserName = sourceName;
    source.IsGroup = sourceIsGroup;
    targets.append(source);
    if (!InfoApplication->ShowSelectUser(targets, true, QStringLiteral("复制权限到以下选择的用户"), TShowUserOptions()))
        return;
    if (targets.isEmpty())
        return;
    TADOQuery* q = GlobalADOQuery;
    QStringList names;
    QString batch;
    try {
        kvado::ScopedTransaction transaction(q->Connection());
        for (const TUserRec& t : targets) {
            if (t.IsGroup == sourceIsGroup && t.UserID.compare(sourceID, Qt::CaseInsensitive) == 0)
                continue; // copying onto itself would only empty it
            batch += FormatPositional(QStringLiteral("delete QZ_SYS_Permissions where PmsIsGroup=%0:d and PmsUsrID=%1:s") + CR
                                   + QStringLiteral("insert QZ_SYS_Permissions (PmsIsGroup, PmsUsrID, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter)") + CR
                                   + QStringLiteral("select %0:d, %1:s, PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%2:d and PmsUsrID=%3:s")
                                   + CR,
                               {t.IsGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(t.UserID),
                                sourceIsGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(sourceID)});
            names.append(t.UserName);
            if (batch.size() > MaxBatchLength) {
                if (!ExecSQLText(q, batch, false, false, true))
                    return;
                batch.clear();
            }
        }
        if (!batch.isEmpty() && !ExecSQLText(q, batch, false, false, true))
            return;
        transaction.Commit();
    } catch (const Exception& e) {
        ShowADOError(e, q);
        return;
    }
    if (names.isEmpty())
        return;
    ShowInfo(FormatMessage(QStringLiteral("完成复制\"%s\"的权限至用户: %s。"), {sourceName, names.join(QStringLiteral(", "))}));
    // A target on show shows what it holds now.
    if (!FCurObjectID.isEmpty() && FCurObjectType != gotInfo && !FModified)
        for (const TUserRec& t : targets)
            if ((FCurObjectType == gotGroup) == t.IsGroup && t.UserID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
                OpenGrantTarget(FCurObjectType, FCurObjectID, lblCurObject->text(), true);
                break;
            }
}
