#pragma once
// The permissions administration ("用户权限"): on the left all users and
// groups, those holding permissions, or the info objects; on the right the
// grants of the one opened: objects, their print, export and other actions,
// their access groups and row filters. Reads and writes QZ_SYS_Permissions.
#include "TreeList.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSplitter;
class QTimer;
class QToolButton;

enum TGrantObjectType { gotGroup, gotUser, gotInfo };

// One permission column of an object: what a grant in it writes.
struct TGrantInfoAction {
    bool Used = false;
    int ActType = 0;  // the PmsType: 0 open, 1 action, 2 access group
    QString ActID;    // the PmsRelID
    QString ActName;  // shown in the cell of a dynamic column
};

// The permission columns of one object: 0 open, 1 print, 2 export, then one
// per further action or access group.
class TGrantInfoDef {
public:
    TGrantInfoDef();
    bool CanFilter = false;
    QList<TGrantInfoAction> Items;
    // Grows the list so that index k exists.
    TGrantInfoAction& Item(int k);
};

// Cell states, also the indexes of their pictures.
constexpr int gsNone = -1;
constexpr int gsGranted = 16;
constexpr int gsFiltered = 17;
// A denial written elsewhere: kept as it is when saved.
constexpr int gsDenied = 18;

constexpr int GrantFixedColumns = 3;      // open, print, export
constexpr int GrantDesignedDynColumns = 20;

class TPermissionsDlg : public QDialog {
    Q_OBJECT
public:
    explicit TPermissionsDlg(QWidget* parent = nullptr);
    ~TPermissionsDlg() override;

    // left side
    QGroupBox* gbxObjects;
    QAction* actViewUsers;
    QAction* actViewGrantUsers;
    QAction* actViewInfos;
    QAction* actSearch;
    QAction* actOpen;
    QAction* actCopy;
    QAction* actShowInherited;
    QLineEdit* edtSearch;
    kvui::TreeList* trlObjects;
    kvui::Column* colObjID;
    kvui::Column* colObjName;
    // right side
    QLabel* lblCurObject;
    kvui::TreeList* trlPermissions;
    kvui::Column* colGrantObjID;
    kvui::Column* colGrantObjName;
    kvui::Column* colGrantOpen;
    kvui::Column* colGrantPrint;
    kvui::Column* colGrantExport;
    QList<kvui::Column*> colGrantItems;   // the dynamic columns, 1 .. 20 and any more an object needs
    kvui::Column* colGrantFilter;
    kvui::Column* colGrantIndex;
    QAction* actItemAdd;
    QAction* actItemRemove;
    QLabel* lblGrantRange;
    QAction* actGrantNone;
    QAction* actGrantAll;
    QAction* actGrantFilter;
    QRadioButton* rbGrantNone;
    QRadioButton* rbGrantAll;
    QRadioButton* rbGrantFilter;
    QAction* actSave;
    QAction* actRevert;
    QAction* actClose;
    QSplitter* splitter;

    TGrantObjectType FCurObjectType = gotUser;
    QString FCurObjectID;
    int FGrantDynColCount = 0;
    int FGrantDynRowIndex = 0;
    TGrantInfoDef* FGrantInfoDef;
    bool FGrantButtonSetting = false;
    bool FModified = false;
    bool FNodeJustFound = false;

    // Permission column k (0 open, 1 print, 2 export, 3.. dynamic), and back.
    kvui::Column* GrantColumn(int k) const;
    int GrantColumnIndex(const kvui::Column* AColumn) const;
    // The definition of a grid row (a sub-row uses its parent's).
    TGrantInfoDef* RowDef(kvui::TreeNode* ANode) const;
    int CellState(kvui::TreeNode* ANode, int k) const;
    bool IsCellGrantable(kvui::TreeNode* ANode, int k) const;
    bool IsCellFilterable(kvui::TreeNode* ANode, int k) const;
    bool InheritedView() const;

    // The left tree by the chosen view.
    void LoadObjectTree();
    // Opens the focused leaf of the left tree (AForce: reload even when open).
    bool OpenGrantTarget(bool AForce = false);
    bool OpenGrantTarget(TGrantObjectType AType, const QString& AID, const QString& ACaption, bool AForce);
    void LoadSubjectGrants(const QStringList& AAddObjectIDs = QStringList());
    void LoadObjectGrants();
    bool ConfirmSaveChanges();
    bool SaveGrants();
    void UpdateActions();
    void SyncGrantButtons();
    void SetFocusedCellState(int AState);
    void GridDoubleClick(kvui::TreeNode* ANode, kvui::Column* AColumn);

    void actViewExecute();
    void actSearchExecute();
    void actOpenExecute();
    void actCopyExecute();
    void actShowInheritedExecute();
    void actItemAddExecute();
    void actItemRemoveExecute();
    void actGrantNoneExecute();
    void actGrantAllExecute();
    void actGrantFilterExecute();
    void actSaveExecute();
    void actRevertExecute();

    void done(int r) override;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;
    void resizeEvent(QResizeEvent* AEvent) override;

private:
    void ClearGrid();
    void UseDynColumn(int k);
    void RecountDynColumns();
    int ObjectMenuPosition(const QString& AObjectID);
    kvui::TreeNode* AddGrantRow(kvui::TreeNode* AParent, const QString& AID, const QString& AText, int AImage, int AKind);
    void KeepRightSideWidth();
    void InstallCellText(kvui::Column* AColumn);
    QStringList FObjectOrder;     // object IDs in menu order (upper case), filled on first use
    bool FObjectOrderLoaded = false;
    QTimer* FIdleTimer;
};

// Shows the dialog modally.
void ShowPermissionsDlg(QWidget* AParent = nullptr);
