#include "dlgSelectInfoObject.h"

#include "UDBComm.h"
#include "dlgSelectUser.h"
#include "untCommonUI.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

int InfoObjectImageIndex(int AObjType, bool AExisting)
{
    if (AObjType == 12)
        return AExisting ? 13 : piInfoForm;
    return AExisting ? 12 : piInfo;
}

void LoadInfoObjectTree(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ANameColumn, int AObjectState,
                        const QStringList& AExisting)
{
    ATreeList->beginUpdate();
    struct Restore {
        kvui::TreeList* tree;
        ~Restore() { tree->endUpdate(); }
    } restore{ATreeList};
    ATreeList->clear();
    TADOQuery* q = GlobalADOQuery;
    const auto finish = [&] {
        PruneTreeLeaves(ATreeList, -1);
        ATreeList->expandAll();
        ToggleFolderImages(ATreeList);
    };

    TTreeNodeMap modules;
    if (!ExecSQLText(q, QStringLiteral("select [ID]=ModID, [Name]=ModName, [Parent]=ModParent from QZ_SYS_Modules with(nolock) order by ModParent, ModSeqNo"),
                     true, false, true)) {
        finish();
        return;
    }
    FillTreeListFromQuery(ATreeList, AIDColumn, ANameColumn, piFolder, -1, q, modules);
    q->Close();

    // An object is offered when it is not internal, or when access groups or
    // actions not tied to the "*" group make it grantable; within a module in
    // the order of its first menu entry, objects without one last.
    const QString sql = QStringLiteral(
        "select ObjModID, ObjID, ObjName, ObjType from QZ_SYS_Objects with(nolock) "
        "left join (select distinct AgrObjID from QZ_SYS_ObjAccessGroups with(nolock)) as g on ObjID=AgrObjID "
        "left join (select distinct ActObjID from QZ_SYS_ObjActions with(nolock) where isnull(ActAgrID,'')<>'*') as t on ObjID=ActObjID "
        "left join (select FunModID, FunObject, FunSeqNo=min(FunSeqNo) from QZ_SYS_Functions with(nolock) where FunType=0 group by FunModID, FunObject) as r "
        "on ObjModID=FunModID and ObjID=FunObject "
        "where ObjInternal=0 or AgrObjID is not null or ActObjID is not null "
        "order by ObjModID, isnull(FunSeqNo, 32767), ObjID");
    kvui::TreeNode* unsorted = ATreeList->addNode();
    unsorted->setValue(ANameColumn, QStringLiteral("(未分类)"));
    unsorted->setImageIndex(piFolder);
    unsorted->setStateIndex(-1);
    if (!ExecSQLText(q, sql, true, false, true)) {
        finish();
        return;
    }
    for (q->First(); !q->Eof(); q->Next()) {
        const QString id = q->FieldByName("ObjID")->AsString();
        bool existing = false;
        for (const QString& e : AExisting)
            if (e.compare(id, Qt::CaseInsensitive) == 0) {
                existing = true;
                break;
            }
        kvui::TreeNode* parent = modules.Node(q->FieldByName("ObjModID")->AsString());
        kvui::TreeNode* n = (parent ? parent : unsorted)->addChild();
        n->setValue(AIDColumn, id);
        n->setValue(ANameColumn, q->FieldByName("ObjName")->AsString());
        n->setImageIndex(InfoObjectImageIndex(q->FieldByName("ObjType")->AsInteger(), existing));
        n->setStateIndex(AObjectState);
    }
    q->Close();
    finish();
}

namespace {

bool selectableObjectImage(int AImage)
{
    return AImage >= 8 && AImage <= 11;
}

} // namespace

TSelectInfoObjectDlg::TSelectInfoObjectDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("SelectInfoObjectDlg"));
    setWindowTitle(QStringLiteral("选择信息对象"));
    resize(384, 412);
    setMinimumSize(350, 400);

    auto* client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    lblObjects = new QLabel(QStringLiteral("选择信息对象(&S):"), ClientArea());
    client->addWidget(lblObjects);
    grdObjects = new kvui::TreeList(ClientArea());
    grdObjects->setObjectName(QStringLiteral("grdObjects"));
    lblObjects->setBuddy(grdObjects);
    SetupPickerTree(this, grdObjects, true, [](int image) { return selectableObjectImage(image); },
                    [](int image) { return image >= 12 && image <= 15; });
    colObjectID = grdObjects->addColumn(QString());
    colObjectID->setObjectName(QStringLiteral("colObjectID"));
    colObjectID->setVisible(false);
    colObjectName = grdObjects->addColumn(QString());
    colObjectName->setObjectName(QStringLiteral("colObjectName"));
    colObjectName->setWidth(250);
    PutButtonsBesideTree(this, client, grdObjects);
}

void TSelectInfoObjectDlg::done(int r)
{
    if (r == QDialog::Accepted && FInfoObjects) {
        FInfoObjects->clear();
        QList<kvui::TreeNode*> chosen = grdObjects->selectedNodes();
        if (!grdObjects->multiSelect() && chosen.isEmpty() && grdObjects->focusedNode())
            chosen = {grdObjects->focusedNode()};
        for (kvui::TreeNode* n : chosen)
            if (selectableObjectImage(n->imageIndex()))
                FInfoObjects->append(n->text(colObjectID) + u'=' + n->text(colObjectName));
    }
    TDialog::done(r);
}

bool ShowSelectInfoObjectDlg(QStringList& AInfoObjects, bool AMultiSelect, const QString& ALabel)
{
    auto dlg = std::make_unique<TSelectInfoObjectDlg>();
    if (!ALabel.trimmed().isEmpty())
        dlg->lblObjects->setText(ALabel + QStringLiteral("(&S):"));
    dlg->FInfoObjects = &AInfoObjects;
    dlg->grdObjects->setMultiSelect(AMultiSelect);
    LoadInfoObjectTree(dlg->grdObjects, dlg->colObjectID, dlg->colObjectName, 0, AInfoObjects);
    return dlg->exec() == QDialog::Accepted;
}
