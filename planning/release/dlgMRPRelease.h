#pragma once
// The release of a planner's finished plan schemes to receiving users and
// groups: release in place or as a copy under a new name, withdraw, close and
// reopen output, and keep the list of receivers.
#include "clsDialog.h"

#include <QDateTime>
#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

class TMRPReleaseDlg : public TDialog {
    Q_OBJECT
public:
    explicit TMRPReleaseDlg(QWidget* parent = nullptr);

    // Item data roles of a cboScheme entry.
    enum { ValueRole = Qt::UserRole, TagRole, ImageRole };
    // Columns of grdUsers (the ID and the type are hidden).
    enum { colUserName = 0, colUserID = 1, colUserType = 2 };
    // Item data role of a receiver node's image: 0 group, 1 user, 2 disabled user.
    static constexpr int NodeImageRole = Qt::UserRole;

    QLabel* lblScheme;
    QComboBox* cboScheme;
    QLabel* lblUsers;
    QTreeWidget* grdUsers;
    QAction* actRelease;
    QAction* actUnrelease;
    QAction* actAddUser;
    QAction* actRemoveUser;
    QAction* actStopOutput;
    QAction* actOpenOutput;

    void LoadReleaseSchemes();
    void ActionListUpdate();
    void ChangeSchemeReleaseState(int ANewState);
    void actReleaseExecute();
    void actUnreleaseExecute();
    void actOpenOutputExecute();
    void actStopOutputExecute();
    // AFromUser: from the button or a double-click (not from the release).
    void actAddUserExecute(bool AFromUser);
    void actRemoveUserExecute();

    // The selected entry: SchIID (0 for none), state (-1 for none), MRP-results marker.
    int SelectedSchemeIID() const;
    int SelectedState() const;
    int SelectedMarker() const;
    // Whether the receivers are drawn in the disabled colour.
    bool UsersGreyed() const;

private:
    void cboSchemePropertiesChange();
    void addUserNode(const QString& AID, const QString& AName, bool AIsGroup, bool ADisabled);
    bool FLoading = false;
};

void ShowMRPReleaseDlg();
QString GetReleaseSchemeText(const QString& AName, int AState, const QDateTime& ARelTime);

class TMRPReleaseSetDlg : public TDialog {
    Q_OBJECT
public:
    explicit TMRPReleaseSetDlg(QWidget* parent = nullptr);

    QLabel* lblMode;
    QRadioButton* rdbCopyMode;
    QRadioButton* rdbDirectMode;
    QLabel* lblSchemeName;
    QLineEdit* edtSchemeName;
    QCheckBox* chkOnlyMPS;
    QCheckBox* chkCanOutput;
    QString FSchemeName;

    void rdbReleaseModeClick();
    void chkOnlyMDSPropertiesChange();

    // Runs the dialog modally; tests replace it to answer the dialog.
    static std::function<int(TMRPReleaseSetDlg&)> ExecHook;

public slots:
    void accept() override;
};

// In: the scheme's name, whether a copy is allowed, whether only the main
// demand can be released. Out on OK: the name, copy mode, only the main
// demand, output allowed. True only on OK.
bool ShowMRPReleaseSetDlg(QString& AName, bool& AAsCopy, bool& AOnlyMainDemand, bool& ACanOutput);
