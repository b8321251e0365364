#include "dlgSelectUser.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "untCommonUI.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <memory>

// ---------------------------------------------------------------- pictures

namespace {

QPixmap blankPixmap()
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    return pm;
}

void drawPerson(QPainter& p, const QPointF& at, const QColor& colour, qreal scale = 1.0)
{
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawEllipse(QPointF(at.x(), at.y() - 3.5 * scale), 2.6 * scale, 2.6 * scale);
    QPainterPath body;
    body.moveTo(at.x() - 4.5 * scale, at.y() + 5 * scale);
    body.quadTo(at.x() - 4.5 * scale, at.y() - 0.5 * scale, at.x(), at.y() - 0.5 * scale);
    body.quadTo(at.x() + 4.5 * scale, at.y() - 0.5 * scale, at.x() + 4.5 * scale, at.y() + 5 * scale);
    body.closeSubpath();
    p.drawPath(body);
}

QIcon userIcon(bool group, bool disabled, bool existing)
{
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = disabled ? QColor(0x9a, 0x9a, 0x9a) : QColor(0x3b, 0x7d, 0xd8);
    if (group) {
        drawPerson(p, QPointF(10.5, 8), QColor(0x5f, 0xa8, 0x4a), 0.9);
        drawPerson(p, QPointF(5.5, 9.5), QColor(0x3b, 0x7d, 0xd8), 0.9);
    } else {
        drawPerson(p, QPointF(8, 9), colour);
    }
    if (disabled) {
        p.setPen(QPen(QColor(0xc0, 0x20, 0x20), 1.6));
        p.drawLine(QPointF(10, 10), QPointF(15, 15));
        p.drawLine(QPointF(15, 10), QPointF(10, 15));
    }
    p.end();
    if (existing) {
        QPixmap faded = blankPixmap();
        QPainter f(&faded);
        f.setOpacity(0.4);
        f.drawPixmap(0, 0, pm);
        f.end();
        return QIcon(faded);
    }
    return QIcon(pm);
}

QIcon objectIcon(bool form, bool existing)
{
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setOpacity(existing ? 0.4 : 1.0);
    p.setPen(QPen(QColor(0x4a, 0x5a, 0x70), 1));
    p.setBrush(form ? QColor(0xfc, 0xe8, 0xb0) : QColor(0xff, 0xff, 0xff));
    p.drawRect(QRectF(2.5, 1.5, 11, 13));
    p.setBrush(form ? QColor(0xe0, 0x9a, 0x30) : QColor(0x3b, 0x7d, 0xd8));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(3, 2, 10, 3));
    p.setPen(QPen(QColor(0x8a, 0x9a, 0xb0), 1));
    for (qreal y = 7.5; y <= 13; y += 2.5)
        p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
    return QIcon(pm);
}

QIcon grantIcon(int kind)
{
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    if (kind == piDenied) {
        p.setPen(QPen(QColor(0xc8, 0x20, 0x20), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
        return QIcon(pm);
    }
    p.setPen(QPen(QColor(0x1f, 0x8a, 0x2e), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    QPainterPath tick;
    tick.moveTo(2.5, 8.5);
    tick.lineTo(6, 12);
    tick.lineTo(13.5, 3.5);
    p.drawPath(tick);
    if (kind == piGrantedFiltered) {
        // a funnel over the tick: only the rows of a filter
        QPainterPath funnel;
        funnel.moveTo(7.5, 7.5);
        funnel.lineTo(15.5, 7.5);
        funnel.lineTo(12.5, 11);
        funnel.lineTo(12.5, 15);
        funnel.lineTo(10.5, 14);
        funnel.lineTo(10.5, 11);
        funnel.closeSubpath();
        p.setPen(QPen(QColor(0x8a, 0x50, 0x10), 1));
        p.setBrush(QColor(0xf0, 0xb0, 0x30));
        p.drawPath(funnel);
    }
    return QIcon(pm);
}

} // namespace

QList<QIcon> PermissionImages()
{
    static QList<QIcon> images;
    if (images.isEmpty()) {
        QStyle* style = QApplication::style();
        images.resize(19);
        images[piFolder] = style->standardIcon(QStyle::SP_DirClosedIcon);
        images[piFolderOpen] = style->standardIcon(QStyle::SP_DirOpenIcon);
        for (int existing = 0; existing < 2; ++existing) {
            images[UserImageIndex(false, false, existing)] = userIcon(false, false, existing);
            images[UserImageIndex(false, true, existing)] = userIcon(false, true, existing);
            images[UserImageIndex(true, false, existing)] = userIcon(true, false, existing);
        }
        images[piInfo] = objectIcon(false, false);
        images[piInfoForm] = objectIcon(true, false);
        images[10] = images[piInfo];
        images[11] = images[piInfoForm];
        images[12] = objectIcon(false, true);
        images[13] = objectIcon(true, true);
        images[14] = images[12];
        images[15] = images[13];
        images[piGranted] = grantIcon(piGranted);
        images[piGrantedFiltered] = grantIcon(piGrantedFiltered);
        images[piDenied] = grantIcon(piDenied);
    }
    return images;
}

int UserImageIndex(bool AIsGroup, bool ADisabled, bool AExisting)
{
    if (AExisting)
        return AIsGroup ? 7 : (ADisabled ? 6 : 5);
    return AIsGroup ? 4 : (ADisabled ? 3 : 2);
}

// ---------------------------------------------------------------- tree loading

namespace {

bool userListed(const TUserRecs& AExisting, const QString& AID, bool AIsGroup)
{
    for (qsizetype i = AExisting.size() - 1; i >= 0; --i)
        if (AExisting[i].IsGroup == AIsGroup && AExisting[i].UserID.compare(AID, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString numberAndName(const QString& ANo, const QString& AName)
{
    return ANo.compare(AName, Qt::CaseInsensitive) == 0 ? ANo : ANo + QStringLiteral(" (") + AName + u')';
}

} // namespace

void LoadUserTree(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ATextColumn, int AGroupState,
                  int AUserState, bool AOnlyWithPermissions, TShowUserOptions AOptions, const TUserRecs& AExisting)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ATreeList->beginUpdate();
    struct Restore {
        kvui::TreeList* tree;
        ~Restore()
        {
            tree->endUpdate();
            QApplication::restoreOverrideCursor();
        }
    } restore{ATreeList};
    ATreeList->clear();

    const bool groups = AOptions == TShowUserOptions() || AOptions.testFlag(uoGroups);
    const bool users = AOptions == TShowUserOptions() || AOptions.testFlag(uoUsers);
    TADOQuery* q = GlobalADOQuery;
    // Whatever a failing statement leaves out stays out; the folders are still tidied.
    const auto finish = [&] {
        PruneTreeLeaves(ATreeList, -1);
        ATreeList->expandAll();
        ToggleFolderImages(ATreeList);
    };

    if (groups) {
        kvui::TreeNode* root = ATreeList->addNode();
        root->setValue(ATextColumn, QStringLiteral("(用户组)"));
        root->setImageIndex(piFolder);
        root->setStateIndex(-1);
        QString sql = QStringLiteral("select GrpID, GrpNo, GrpName from QZ_SYS_UserGroups with(nolock)");
        if (AOnlyWithPermissions)
            sql += QStringLiteral(" join (select distinct PmsUsrID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=1) as r on GrpID=PmsUsrID");
        sql += QStringLiteral(" order by GrpNo");
        if (!ExecSQLText(q, sql, true, false, true)) {
            finish();
            return;
        }
        for (q->First(); !q->Eof(); q->Next()) {
            const QString id = q->FieldByName("GrpID")->AsString();
            kvui::TreeNode* n = root->addChild();
            n->setValue(AIDColumn, id);
            n->setValue(ATextColumn, numberAndName(q->FieldByName("GrpNo")->AsString(), q->FieldByName("GrpName")->AsString()));
            n->setImageIndex(UserImageIndex(true, false, userListed(AExisting, id, true)));
            n->setStateIndex(AGroupState);
        }
        q->Close();
    }

    if (users) {
        TTreeNodeMap categories;
        if (!ExecSQLText(q, QStringLiteral("select [ID]=CatID, [Name]=CatName, [Parent]=CatParent from QZ_SYS_UserCategories with(nolock) order by CatParent, CatNo"),
                         true, false, true)) {
            finish();
            return;
        }
        FillTreeListFromQuery(ATreeList, AIDColumn, ATextColumn, piFolder, -1, q, categories);
        q->Close();
        kvui::TreeNode* unsorted = ATreeList->addNode();
        unsorted->setValue(ATextColumn, QStringLiteral("(未分类)"));
        unsorted->setImageIndex(piFolder);
        unsorted->setStateIndex(-1);

        QString sql = QStringLiteral("select UsrID, UsrNo, UsrName, UsrCatID, UsrDisabled from QZ_SYS_Users with(nolock)");
        sql += AOnlyWithPermissions
                   ? QStringLiteral(" join (select distinct PmsUsrID from QZ_SYS_Permissions with(nolock) where PmsIsGroup=0) as r on UsrID=PmsUsrID")
                   : QStringLiteral(" where UsrDisabled=0");
        sql += QStringLiteral(" order by UsrNo");
        if (!ExecSQLText(q, sql, true, false, true)) {
            finish();
            return;
        }
        for (q->First(); !q->Eof(); q->Next()) {
            const QString id = q->FieldByName("UsrID")->AsString();
            const bool disabled = q->FieldByName("UsrDisabled")->AsBoolean();
            kvui::TreeNode* parent = categories.Node(q->FieldByName("UsrCatID")->AsString());
            kvui::TreeNode* n = (parent ? parent : unsorted)->addChild();
            n->setValue(AIDColumn, id);
            n->setValue(ATextColumn, numberAndName(q->FieldByName("UsrNo")->AsString(), q->FieldByName("UsrName")->AsString()));
            n->setImageIndex(UserImageIndex(false, disabled, userListed(AExisting, id, false)));
            n->setStateIndex(AUserState);
        }
        q->Close();
    }
    finish();
}

void ToggleFolderImages(kvui::TreeList* ATreeList)
{
    for (kvui::TreeNode* n : ATreeList->allNodes())
        if (n->stateIndex() == -1 && (n->imageIndex() == piFolder || n->imageIndex() == piFolderOpen))
            n->setImageIndex(n->isExpanded() ? piFolderOpen : piFolder);
}

kvui::TreeNode* SearchTreeNode(kvui::TreeList* ATreeList, kvui::Column* ATextColumn, const QString& AText, bool ASkipFocused)
{
    kvui::TreeNode* focused = ATreeList->focusedNode();
    if (focused && !ASkipFocused && focused->text(ATextColumn).contains(AText, Qt::CaseInsensitive))
        return focused;
    // findNode starts after the given node and wraps round to the top once.
    kvui::TreeNode* found = ATreeList->findNode(AText, ATextColumn, focused);
    if (!found && focused && focused->text(ATextColumn).contains(AText, Qt::CaseInsensitive))
        return focused; // the only match is the one just found
    return found;
}

// ---------------------------------------------------------------- the pickers

void PutButtonsBesideTree(TDialog* ADialog, QVBoxLayout* AClient, QWidget* ATree)
{
    if (auto* outer = qobject_cast<QBoxLayout*>(ADialog->layout()))
        for (int i = 0; i < outer->count(); ++i)
            if (QLayout* row = outer->itemAt(i)->layout()) {
                row->removeWidget(ADialog->btnOk);
                row->removeWidget(ADialog->btnCancel);
            }
    auto* body = new QHBoxLayout;
    body->addWidget(ATree, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ADialog->btnOk);
    buttons->addWidget(ADialog->btnCancel);
    buttons->addStretch(1);
    body->addLayout(buttons);
    AClient->addLayout(body, 1);
}

void SetupPickerTree(TDialog* ADialog, kvui::TreeList* ATree, bool ATreeLines, std::function<bool(int)> ASelectable,
                     std::function<bool(int)> AListed)
{
    ATree->setShowHeaders(false);
    ATree->setShowBandHeaders(false);
    ATree->setShowIndicator(false);
    ATree->setShowTreeLines(ATreeLines);
    ATree->setShowRoot(false);
    ATree->setEditingEnabled(false);
    ATree->setSortingEnabled(false);
    ATree->setImages(PermissionImages());
    if (ATree->bandCount() == 0)
        ATree->addBand();
    ADialog->btnOk->setEnabled(false);

    // Folders and items already listed cannot be chosen.
    ATree->setCanSelectHook([ASelectable](kvui::TreeNode* n) { return n && ASelectable(n->imageIndex()); });
    const auto updateOk = [ADialog, ATree, ASelectable] {
        kvui::TreeNode* focused = ATree->focusedNode();
        ADialog->btnOk->setEnabled(ATree->multiSelect() ? ATree->selectedCount() > 0
                                                        : focused && ASelectable(focused->imageIndex()));
    };
    QObject::connect(ATree, &kvui::BandedView::selectionChanged, ADialog, updateOk);
    QObject::connect(ATree, &kvui::TreeList::focusedNodeChanged, ADialog, updateOk);
    QObject::connect(ATree, &kvui::TreeList::nodeExpanded, ADialog, [ATree] { ToggleFolderImages(ATree); });
    QObject::connect(ATree, &kvui::TreeList::nodeCollapsed, ADialog, [ATree] { ToggleFolderImages(ATree); });
    QObject::connect(ATree, &kvui::BandedView::cellDoubleClicked, ADialog, [ADialog, ATree](int row, kvui::Column*) {
        kvui::TreeNode* n = ATree->nodeAtRow(row);
        if (!n)
            return;
        if (n->childCount() > 0) {
            n->isExpanded() ? ATree->collapseNode(n) : (void)ATree->expandNode(n);
            return;
        }
        // Only a choice that OK would take closes the dialog: never an empty answer.
        if (ADialog->btnOk->isEnabled())
            ADialog->accept();
    });
    ATree->setCustomDrawHook([AListed](kvui::CellDraw& cell) {
        if (cell.row.node && AListed(cell.row.node->imageIndex()) && !cell.selected)
            cell.background = TColorToQColor(ContentColor());
    });
}

// ---------------------------------------------------------------- the user picker

namespace {

bool selectableUserImage(int AImage)
{
    return AImage == piUser || AImage == piUserDisabled || AImage == piGroup;
}

} // namespace

TSelectUserDlg::TSelectUserDlg(QWidget* parent)
    : TDialog(parent)
{
    setObjectName(QStringLiteral("SelectUserDlg"));
    setWindowTitle(QStringLiteral("选择用户"));
    resize(384, 412);
    setMinimumSize(350, 400);

    auto* client = new QVBoxLayout(ClientArea());
    client->setContentsMargins(0, 0, 0, 0);
    auto* searchRow = new QHBoxLayout;
    cxLabel1 = new QLabel(QStringLiteral("查找(&F):"), ClientArea());
    edtSearch = new QLineEdit(ClientArea());
    edtSearch->setObjectName(QStringLiteral("edtSearch"));
    cxLabel1->setBuddy(edtSearch);
    btnSearch = new QToolButton(ClientArea());
    btnSearch->setObjectName(QStringLiteral("btnSearch"));
    btnSearch->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    btnSearch->setToolTip(QStringLiteral("查找"));
    searchRow->addWidget(cxLabel1);
    searchRow->addWidget(edtSearch, 1);
    searchRow->addWidget(btnSearch);
    client->addLayout(searchRow);

    grdUsers = new kvui::TreeList(ClientArea());
    grdUsers->setObjectName(QStringLiteral("grdUsers"));
    SetupPickerTree(this, grdUsers, false, [](int image) { return selectableUserImage(image); },
                    [](int image) { return image >= 5 && image <= 7; });
    colUserID = grdUsers->addColumn(QString());
    colUserID->setObjectName(QStringLiteral("colUserID"));
    colUserID->setVisible(false);
    colUserText = grdUsers->addColumn(QString());
    colUserText->setObjectName(QStringLiteral("colUserText"));
    colUserText->setWidth(250);
    PutButtonsBesideTree(this, client, grdUsers);
    connect(grdUsers, &kvui::BandedView::selectionChanged, this, [this] { FNodeJustFound = false; });
    connect(grdUsers, &kvui::TreeList::focusedNodeChanged, this, [this] { FNodeJustFound = false; });

    connect(btnSearch, &QToolButton::clicked, this, [this] { btnSearchClick(); });
    connect(edtSearch, &QLineEdit::returnPressed, this, [this] { btnSearchClick(); });
    connect(edtSearch, &QLineEdit::textEdited, this, [this] { FNodeJustFound = false; });
    edtSearch->installEventFilter(this);
}

bool TSelectUserDlg::eventFilter(QObject* AObject, QEvent* AEvent)
{
    // While the search box has the focus, Enter searches instead of closing.
    if (AObject == edtSearch) {
        if (AEvent->type() == QEvent::FocusIn)
            btnOk->setDefault(false);
        else if (AEvent->type() == QEvent::FocusOut)
            btnOk->setDefault(true);
        else if (AEvent->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(AEvent)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                btnSearchClick();
                return true;
            }
        }
    }
    return TDialog::eventFilter(AObject, AEvent);
}

void TSelectUserDlg::btnSearchClick()
{
    const QString text = edtSearch->text().trimmed();
    if (text.isEmpty()) {
        ShowInfo(QStringLiteral("请输入需查找的内容!"));
        edtSearch->selectAll();
        edtSearch->setFocus();
        return;
    }
    kvui::TreeNode* found = SearchTreeNode(grdUsers, colUserText, text, FNodeJustFound);
    if (found) {
        grdUsers->setFocusedNode(found);
        grdUsers->makeRowVisible(grdUsers->rowOfNode(found));
        grdUsers->setFocus();
        FNodeJustFound = true;
    } else {
        ShowInfo(FormatMessage(QStringLiteral("未查找到名称包含\"%s\"的用户!"), {text}));
        edtSearch->setFocus();
        edtSearch->selectAll();
        FNodeJustFound = false;
    }
}

void TSelectUserDlg::done(int r)
{
    if (r == QDialog::Accepted) {
        FUsers.clear();
        QList<kvui::TreeNode*> chosen = grdUsers->selectedNodes();
        // A single choice is the focused node when the selection holds none.
        if (!grdUsers->multiSelect() && chosen.isEmpty() && grdUsers->focusedNode())
            chosen = {grdUsers->focusedNode()};
        for (kvui::TreeNode* n : chosen) {
            if (!selectableUserImage(n->imageIndex()))
                continue;
            TUserRec rec;
            rec.UserID = n->text(colUserID);
            rec.UserName = n->text(colUserText);
            rec.IsGroup = n->stateIndex() == 0;
            rec.IsDisabled = n->imageIndex() == piUserDisabled;
            FUsers.append(rec);
        }
    }
    TDialog::done(r);
}

bool DoShowSelectUser(TUserRecs& AUsers, bool AMultiSelect, const QString& ATitle, TShowUserOptions AOptions)
{
    auto dlg = std::make_unique<TSelectUserDlg>();
    if (!ATitle.trimmed().isEmpty())
        dlg->setWindowTitle(ATitle);
    else if (AOptions == TShowUserOptions(uoGroups))
        dlg->setWindowTitle(QStringLiteral("选择用户组"));
    dlg->grdUsers->setMultiSelect(AMultiSelect);
    LoadUserTree(dlg->grdUsers, dlg->colUserID, dlg->colUserText, 0, 1, false, AOptions, AUsers);
    if (dlg->exec() != QDialog::Accepted)
        return false;
    AUsers = dlg->FUsers;
    return true;
}

void InitSelectUserUnit()
{
    if (InfoApplication)
        InfoApplication->ShowSelectUserProc = &DoShowSelectUser;
}
