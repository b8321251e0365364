#pragma once
// The user picker: groups and users (users under their categories) as a tree;
// returns the users and groups chosen. Installed as the application's
// ShowSelectUserProc, so the planning library picks users through it too.
// Also holds what the pickers and the permissions dialog share: the picture
// list of node kinds and grant states, and the tree search.
#include "TreeList.h"
#include "clsDialog.h"
#include "untApplication.h"

#include <QIcon>
#include <QList>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

// The permission picture list (indexes as the trees and the grant grid use them):
// 0/1 folder closed/open, 2 user, 3 disabled user, 4 user group, 5-7 the same
// already in the caller's list, 8 info object, 9 form object, 12/13 the same
// already listed, 16 granted, 17 granted with a row filter, 18 denied.
QList<QIcon> PermissionImages();
enum {
    piFolder = 0, piFolderOpen = 1, piUser = 2, piUserDisabled = 3, piGroup = 4,
    piInfo = 8, piInfoForm = 9, piGranted = 16, piGrantedFiltered = 17, piDenied = 18
};

int UserImageIndex(bool AIsGroup, bool ADisabled, bool AExisting);

// Fills the tree (cleared first) with the groups under "(用户组)" and the users
// under their categories or "(未分类)"; empty folders go, the rest is expanded.
// AOnlyWithPermissions: only groups and users holding permission rows, disabled
// users included; otherwise enabled users only. Errors are shown, not raised.
void LoadUserTree(kvui::TreeList* ATreeList, kvui::Column* AIDColumn, kvui::Column* ATextColumn, int AGroupState,
                  int AUserState, bool AOnlyWithPermissions, TShowUserOptions AOptions, const TUserRecs& AExisting);

// Folders (state -1) show the open picture while expanded.
void ToggleFolderImages(kvui::TreeList* ATreeList);

// The next node whose text contains the text (without regard to case), from
// the focused node on (after it when ASkipFocused), once more from the top.
kvui::TreeNode* SearchTreeNode(kvui::TreeList* ATreeList, kvui::Column* ATextColumn, const QString& AText,
                               bool ASkipFocused);

// The tree of a picker: no headers, not editable, the permission pictures;
// only items whose picture is selectable join the selection, OK follows the
// choice, a double click opens or closes a folder or answers a choice that OK
// would take, items already listed are drawn in the panel colour. Called
// before the columns are added (it gives the tree its band).
void SetupPickerTree(TDialog* ADialog, kvui::TreeList* ATree, bool ATreeLines, std::function<bool(int)> ASelectable,
                     std::function<bool(int)> AListed);

// The picker's tree under what the client already holds, OK and Cancel in a
// column right of it.
void PutButtonsBesideTree(TDialog* ADialog, QVBoxLayout* AClient, QWidget* ATree);

class TSelectUserDlg : public TDialog {
    Q_OBJECT
public:
    explicit TSelectUserDlg(QWidget* parent = nullptr);

    kvui::TreeList* grdUsers;
    kvui::Column* colUserID;
    kvui::Column* colUserText;
    QLabel* cxLabel1;
    QLineEdit* edtSearch;
    QToolButton* btnSearch;
    TUserRecs FUsers;
    bool FNodeJustFound = false;

    void btnSearchClick();
    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;
};

bool DoShowSelectUser(TUserRecs& AUsers, bool AMultiSelect, const QString& ATitle, TShowUserOptions AOptions);

// Installs the picker in the application object.
void InitSelectUserUnit();
