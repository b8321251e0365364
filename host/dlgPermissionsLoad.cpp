// The permissions dialog: opening a subject's or an object's grants into the grid.
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

const QChar CR = u'\r';

QString numberAndName(const QString& ANo, const QString& AName)
{
    return ANo.compare(AName, Qt::CaseInsensitive) == 0 ? ANo : ANo + QStringLiteral(" (") + AName + u')';
}

} // namespace

// ---------------------------------------------------------------- opening

void TPermissionsDlg::actOpenExecute()
{
    OpenGrantTarget(false);
}

bool TPermissionsDlg::OpenGrantTarget(bool AForce)
{
    kvui::TreeNode* leaf = trlObjects->focusedNode();
    if (!leaf || leaf->stateIndex() < 0)
        return false;
    return OpenGrantTarget(TGrantObjectType(leaf->stateIndex()), leaf->text(colObjID), leaf->text(colObjName), AForce);
}

bool TPermissionsDlg::OpenGrantTarget(TGrantObjectType AType, const QString& AID, const QString& ACaption, bool AForce)
{
    if (!AForce && !FCurObjectID.isEmpty() && AType == FCurObjectType && AID.compare(FCurObjectID, Qt::CaseInsensitive) == 0) {
        trlPermissions->setFocus();
        return true;
    }
    if (!ConfirmSaveChanges())
        return false;
    ClearGrid();
    if (AType != gotUser)
        actShowInherited->setChecked(false);
    const bool inherited = AType == gotUser && actShowInherited->isChecked();
    trlPermissions->setShowRoot(inherited);
    trlPermissions->setShowTreeLines(inherited);
    FModified = false;
    FCurObjectType = AType;
    FCurObjectID = AID;
    FGrantDynColCount = 0;
    FGrantDynRowIndex = 0;
    trlPermissions->clearSorting();
    lblCurObject->setText(ACaption);
    if (AType == gotInfo)
        LoadObjectGrants();
    else
        LoadSubjectGrants();
    trlPermissions->setFocus();
    // The grid was emptied: its first row takes the focus.
    if (trlPermissions->rowCount() > 0)
        trlPermissions->setFocusedRow(0);
    SyncGrantButtons();
    UpdateActions();
    return true;
}

void TPermissionsDlg::ClearGrid()
{
    if (FCurObjectType != gotInfo)
        for (kvui::TreeNode* n : trlPermissions->topNodes()) {
            delete static_cast<TGrantInfoDef*>(n->object());
            n->setObject(nullptr);
        }
    trlPermissions->clear();
    for (kvui::Column* c : colGrantItems)
        c->setVisible(false);
    // Columns added for an object with more dynamic items than designed go again.
    while (colGrantItems.size() > GrantDesignedDynColumns)
        trlPermissions->removeColumn(colGrantItems.takeLast());
    for (int k = 0; k < FGrantInfoDef->Items.size(); ++k)
        FGrantInfoDef->Items[k] = TGrantInfoAction();
    FGrantInfoDef->Items.resize(GrantFixedColumns + GrantDesignedDynColumns);
    FGrantInfoDef->Items[0].Used = true;
}

void TPermissionsDlg::UseDynColumn(int k)
{
    // An object with more dynamic items than the designed columns gets more columns.
    while (GrantColumn(k) == nullptr) {
        kvui::Column* c = trlPermissions->addColumn(QString(), QString(), colGrantOpen->bandIndex());
        c->setObjectName(QStringLiteral("colGrantItem%1").arg(colGrantItems.size() + 1));
        c->setValueType(QStringLiteral("Integer"));
        c->setEditor(colGrantOpen->editor());
        c->setMovable(false);
        c->setVisible(false);
        c->setPosition(colGrantOpen->bandIndex(), 0, colGrantFilter->colIndex());
        colGrantItems.append(c);
        InstallCellText(c);
    }
    kvui::Column* c = GrantColumn(k);
    if (!c->isVisible()) {
        c->setVisible(true);
        c->setWidth(50);
    }
    FGrantDynColCount = qMax(FGrantDynColCount, k - GrantFixedColumns + 1);
}

kvui::TreeNode* TPermissionsDlg::AddGrantRow(kvui::TreeNode* AParent, const QString& AID, const QString& AText, int AImage,
                                             int AKind)
{
    kvui::TreeNode* n = AParent ? AParent->addChild() : trlPermissions->addNode();
    n->setValue(colGrantObjID, AID);
    n->setValue(colGrantObjName, AText);
    n->setImageIndex(AImage);
    n->setStateIndex(AKind);
    return n;
}

int TPermissionsDlg::ObjectMenuPosition(const QString& AObjectID)
{
    if (!FObjectOrderLoaded) {
        FObjectOrderLoaded = true;
        kvui::TreeList hidden;
        kvui::Column* id = hidden.addColumn();
        kvui::Column* name = hidden.addColumn();
        LoadInfoObjectTree(&hidden, id, name, gotInfo, QStringList());
        for (kvui::TreeNode* n : hidden.allNodes())
            if (n->stateIndex() == gotInfo)
                FObjectOrder.append(n->text(id).toUpper());
    }
    const qsizetype i = FObjectOrder.indexOf(AObjectID.toUpper());
    return i < 0 ? FGrantDynRowIndex : int(i) + 1;
}

void TPermissionsDlg::LoadSubjectGrants(const QStringList& AAddObjectIDs)
{
    const bool adding = !AAddObjectIDs.isEmpty();
    const bool inherited = !adding && InheritedView();
    const QStringList args = {FCurObjectType == gotGroup ? QStringLiteral("1") : QStringLiteral("0"), QuotedStr(FCurObjectID)};

    QString sql = QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsObjID'))") + CR
                  + QStringLiteral("drop table #QZ_SYS_PmsObjID") + CR;
    if (adding) {
        QStringList quoted;
        for (const QString& id : AAddObjectIDs)
            quoted.append(QuotedStr(id));
        sql += QStringLiteral("select PmsObjID=ObjID into #QZ_SYS_PmsObjID from QZ_SYS_Objects with(nolock) where ObjID in (")
               + quoted.join(u',') + u')' + CR;
    } else if (inherited) {
        sql += FormatPositional(QStringLiteral("select PmsObjID into #QZ_SYS_PmsObjID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=0 and PmsUsrID=%1:s")
                             + CR + QStringLiteral("union") + CR
                             + QStringLiteral("select PmsObjID from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserBelongs with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where UsrID=%1:s")
                             + CR,
                         args);
    } else {
        sql += FormatPositional(QStringLiteral("select distinct PmsObjID into #QZ_SYS_PmsObjID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%0:d and PmsUsrID=%1:s")
                             + CR,
                         args);
    }
    sql += QStringLiteral("if exists (select * from tempdb.dbo.sysobjects where id=object_id('tempdb..#QZ_SYS_PmsActions'))") + CR
           + QStringLiteral("drop table #QZ_SYS_PmsActions") + CR;
    sql += QStringLiteral("select ObjID, ObjName, ObjType, ObjCanFilter, Type=0, ActID=cast('' as varchar(50)), ActName=cast('' as nvarchar(80)), ActSeqNo=cast(0 as smallint), ActType=0")
           + QStringLiteral(" into #QZ_SYS_PmsActions from QZ_SYS_Objects with(nolock) join #QZ_SYS_PmsObjID on ObjID=PmsObjID") + CR
           + QStringLiteral("union") + CR
           + QStringLiteral("select ActObjID, '', 0, cast(0 as bit), Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) join #QZ_SYS_PmsObjID on ActObjID=PmsObjID and isnull(ActAgrID,'')=''")
           + CR + QStringLiteral("union") + CR
           + QStringLiteral("select AgrObjID, '', 0, cast(0 as bit), Type=2, AgrID, AgrName, AgrSeqNo, 0 from QZ_SYS_ObjAccessGroups with(nolock) join #QZ_SYS_PmsObjID on AgrObjID=PmsObjID")
           + CR;
    QString result = QStringLiteral("select t.*, GrpNo, GrpName, PmsKind, PmsFilter from #QZ_SYS_PmsActions as t");
    if (inherited)
        result += QStringLiteral(" left join (select PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter, GrpNo, GrpName")
                  + QStringLiteral(" from QZ_SYS_Permissions with(nolock) left join QZ_SYS_UserBelongs as b with(nolock) on PmsIsGroup=1 and PmsUsrID=b.GrpID and UsrID=%1:s")
                  + QStringLiteral(" left join QZ_SYS_UserGroups as g with(nolock) on b.GrpID=g.GrpID where PmsIsGroup=0 and PmsUsrID=%1:s or b.GrpID is not null")
                  + CR + QStringLiteral("union all") + CR
                  + QStringLiteral("select ObjID, Type, ActID, 0, null, null, null from #QZ_SYS_PmsActions")
                  + QStringLiteral(" left join QZ_SYS_Permissions with(nolock) on PmsIsGroup=0 and PmsUsrID=%1:s and ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID")
                  + QStringLiteral(" where PmsObjID is null) as p");
    else
        result += QStringLiteral(" left join (select PmsObjID, PmsType, PmsRelID, PmsKind, PmsFilter, GrpNo=cast(null as varchar(50)), GrpName=cast(null as nvarchar(80))")
                  + QStringLiteral(" from QZ_SYS_Permissions with(nolock) where PmsIsGroup=%0:d and PmsUsrID=%1:s) as p");
    result += QStringLiteral(" on ObjID=PmsObjID and Type=PmsType and ActID=PmsRelID") + CR + QStringLiteral(" order by ObjID, GrpNo, Type, ActSeqNo");
    sql += FormatPositional(result, args);

    // The menu order is read before the grants: both use the shared query.
    if (!adding)
        ObjectMenuPosition(QString());
    TADOQuery* q = GlobalADOQuery;
    if (!ExecSQLText(q, sql, true, false, true))
        return;

    trlPermissions->beginUpdate();
    kvui::TreeNode* objectRow = nullptr;
    kvui::TreeNode* row = nullptr;
    TGrantInfoDef* def = nullptr;
    QString curObject;
    QVariant curGroup;
    int dynCount = 0;
    kvui::TreeNode* firstAdded = nullptr;
    for (q->First(); !q->Eof(); q->Next()) {
        const QString objID = q->FieldByName("ObjID")->AsString();
        const int type = q->FieldByName("Type")->AsInteger();
        const QString actID = q->FieldByName("ActID")->AsString();
        const int actType = q->FieldByName("ActType")->AsInteger();
        const QVariant grpNo = q->FieldByName("GrpNo")->Value();
        if (!objectRow || objID.compare(curObject, Qt::CaseInsensitive) != 0) {
            curObject = objID;
            def = new TGrantInfoDef;
            def->CanFilter = q->FieldByName("ObjCanFilter")->AsBoolean();
            objectRow = AddGrantRow(nullptr, objID, q->FieldByName("ObjName")->AsString(),
                                    InfoObjectImageIndex(q->FieldByName("ObjType")->AsInteger(), false), gotInfo);
            objectRow->setObject(def);
            const int order = adding ? FGrantDynRowIndex + int(AAddObjectIDs.indexOf(objID)) + 1 : ObjectMenuPosition(objID);
            objectRow->setValue(colGrantIndex, order);
            if (adding && !firstAdded)
                firstAdded = objectRow;
            row = objectRow;
            curGroup = QVariant();
            dynCount = 0;
        } else if (!grpNo.isNull() && (curGroup.isNull() || grpNo.toString() != curGroup.toString())) {
            curGroup = grpNo;
            row = AddGrantRow(objectRow, QString(), numberAndName(grpNo.toString(), q->FieldByName("GrpName")->AsString()),
                              UserImageIndex(true, false, false), gotGroup);
        }

        int k;
        if (type == 0)
            k = 0;
        else if (actType == 4)
            k = 1;
        else if (actType == 5)
            k = 2;
        else if (row != objectRow) {
            k = -1;
            for (int i = GrantFixedColumns; i < def->Items.size(); ++i)
                if (def->Items[i].Used && def->Items[i].ActType == type && def->Items[i].ActID.compare(actID, Qt::CaseInsensitive) == 0) {
                    k = i;
                    break;
                }
            if (k < 0)
                continue;
        } else {
            k = GrantFixedColumns + dynCount++;
            UseDynColumn(k);
        }
        if (row == objectRow) {
            TGrantInfoAction& item = def->Item(k);
            item.Used = true;
            item.ActType = type;
            item.ActID = actID;
            item.ActName = q->FieldByName("ActName")->AsString();
        }

        int state;
        const QVariant kind = q->FieldByName("PmsKind")->Value();
        const QString filter = q->FieldByName("PmsFilter")->AsString();
        if (adding)
            state = gsGranted;
        else if (kind.isNull() || kind.toInt() == 0)
            state = gsNone;
        else if (kind.toInt() == 2)
            state = gsDenied; // a denial stays one: shown as such and written back unchanged
        else if (type != 0)
            state = gsGranted;
        else
            state = filter.isEmpty() ? gsGranted : gsFiltered;
        if (type == 0 && !adding && !filter.isEmpty() && state != gsNone)
            row->setValue(colGrantFilter, filter);
        row->setValue(GrantColumn(k), state);
    }
    q->Close();
    trlPermissions->endUpdate();

    trlPermissions->expandAll();
    trlPermissions->bestFitColumn(colGrantObjName);
    for (int k = GrantFixedColumns; k < GrantFixedColumns + FGrantDynColCount; ++k)
        if (GrantColumn(k)->isVisible()) {
            // room for the state picture before the action's name
            trlPermissions->bestFitColumn(GrantColumn(k));
            GrantColumn(k)->setWidth(GrantColumn(k)->width() + 22);
        }
    trlPermissions->sortBy(colGrantIndex, Qt::AscendingOrder);
    if (trlPermissions->rowCount() > 0) {
        kvui::TreeNode* last = nullptr;
        for (kvui::TreeNode* n : trlPermissions->allNodes())
            if (!n->parent())
                last = n;
        // the top-level row shown last holds the highest order number
        int highest = FGrantDynRowIndex;
        for (kvui::TreeNode* n : trlPermissions->topNodes())
            highest = qMax(highest, n->value(colGrantIndex).toInt());
        Q_UNUSED(last);
        FGrantDynRowIndex = highest;
    }
    if (firstAdded) {
        trlPermissions->clearSelection();
        trlPermissions->setFocusedNode(firstAdded);
        trlPermissions->selectNode(firstAdded, true);
        trlPermissions->makeRowVisible(trlPermissions->rowOfNode(firstAdded));
    }
}

void TPermissionsDlg::LoadObjectGrants()
{
    for (TGrantInfoAction& item : FGrantInfoDef->Items)
        item.Used = false;
    FGrantInfoDef->Items[0].Used = true;
    TADOQuery* q = GlobalADOQuery;
    const QString id = QuotedStr(FCurObjectID);
    if (!ExecSQLText(q, QStringLiteral("select ObjCanFilter from QZ_SYS_Objects with(nolock) where ObjID=") + id, true, false, true))
        return;
    FGrantInfoDef->CanFilter = !q->Eof() && q->Fields()->Field(0)->AsBoolean();
    q->Close();

    if (!ExecSQLText(q,
                     FormatPositional(QStringLiteral("select Type=1, ActID, ActName, ActSeqNo, ActType from QZ_SYS_ObjActions with(nolock) where ActObjID=%0:s and isnull(ActAgrID,'')=''")
                                   + CR + QStringLiteral("union") + CR
                                   + QStringLiteral("select Type=2, AgrID, AgrName, AgrSeqNo, AgrType=0 from QZ_SYS_ObjAccessGroups with(nolock) where AgrObjID=%0:s")
                                   + CR + QStringLiteral(" order by Type, ActSeqNo"),
                               {id}),
                     true, false, true))
        return;
    int dynCount = 0;
    for (q->First(); !q->Eof(); q->Next()) {
        const int actType = q->FieldByName("ActType")->AsInteger();
        int k;
        if (actType == 4)
            k = 1;
        else if (actType == 5)
            k = 2;
        else {
            k = GrantFixedColumns + dynCount++;
            UseDynColumn(k);
            kvui::Column* c = GrantColumn(k);
            const QString caption = q->FieldByName("ActName")->AsString();
            c->setCaption(caption);
            c->setWidth(qMax(40, fontMetrics().horizontalAdvance(caption) + 10));
        }
        TGrantInfoAction& item = FGrantInfoDef->Item(k);
        item.Used = true;
        item.ActType = q->FieldByName("Type")->AsInteger();
        item.ActID = q->FieldByName("ActID")->AsString();
        item.ActName = q->FieldByName("ActName")->AsString();
    }
    q->Close();

    const QString rows = FormatPositional(
        QStringLiteral("select Type=%1:d, UsrID, UsrNo, UsrName, UsrDisabled, PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_Users with(nolock) on PmsIsGroup=0 and PmsUsrID=UsrID where PmsObjID=%0:s")
            + CR + QStringLiteral("union all") + CR
            + QStringLiteral("select Type=%2:d, GrpID, GrpNo, GrpName, cast(0 as bit), PmsType, PmsRelID, PmsKind, PmsFilter from QZ_SYS_Permissions with(nolock) join QZ_SYS_UserGroups with(nolock) on PmsIsGroup=1 and PmsUsrID=GrpID where PmsObjID=%0:s order by Type, UsrNo"),
        {id, QStringLiteral("1"), QStringLiteral("0")});
    if (!ExecSQLText(q, rows, true, false, true))
        return;
    trlPermissions->beginUpdate();
    kvui::TreeNode* row = nullptr;
    QString curID;
    int curKind = -1;
    for (q->First(); !q->Eof(); q->Next()) {
        const int rowKind = q->FieldByName("Type")->AsInteger(); // 0 group, 1 user
        const QString uid = q->FieldByName("UsrID")->AsString();
        if (!row || rowKind != curKind || uid.compare(curID, Qt::CaseInsensitive) != 0) {
            curID = uid;
            curKind = rowKind;
            row = AddGrantRow(nullptr, uid,
                              numberAndName(q->FieldByName("UsrNo")->AsString(), q->FieldByName("UsrName")->AsString()),
                              UserImageIndex(rowKind == 0, q->FieldByName("UsrDisabled")->AsBoolean(), false),
                              rowKind == 0 ? gotGroup : gotUser);
        }
        const int pmsType = q->FieldByName("PmsType")->AsInteger();
        const QString relID = q->FieldByName("PmsRelID")->AsString();
        const QString filter = q->FieldByName("PmsFilter")->AsString();
        const bool denied = q->FieldByName("PmsKind")->AsInteger() == 2;
        for (int k = 0; k < FGrantInfoDef->Items.size(); ++k) {
            const TGrantInfoAction& item = FGrantInfoDef->Items[k];
            if (!item.Used || item.ActType != pmsType || item.ActID.compare(relID, Qt::CaseInsensitive) != 0)
                continue;
            if (k == 0 && !filter.isEmpty())
                row->setValue(colGrantFilter, filter);
            row->setValue(GrantColumn(k), denied ? gsDenied : (k == 0 && !filter.isEmpty() ? gsFiltered : gsGranted));
        }
    }
    q->Close();
    trlPermissions->endUpdate();
    trlPermissions->bestFitColumn(colGrantObjName);
}
