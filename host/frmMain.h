#pragma once
// The main window: navigator of modules and functions (per user), the tabbed
// MDI area with the desktop picture, menus and toolbars whose commands go to
// the active window, twenty info-action slots for the focused info object's
// actions, the status bar, idle processing and the input lock of long work.
// Also the host routines that open an info object's editor and show status
// messages.
#include "untMDIHost.h"
#include "untApplication.h"
#include "untLibraryExports.h"

#include <QIcon>
#include <QImage>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QToolBox;
class QTreeWidget;
class QTreeWidgetItem;
class QUrl;
class TMDIChild;
class TexTabbedMDIManager;

// One navigator function, in QZ_SYS_Functions order.
struct TFunctionDef {
    QString FunID;
    QString FunName;
    int FunType = 0;
    QString FunObject;
    QString FunAction;
    QString FunParams;
};

// The command number an action carries (0: none).
int ActionTag(const QAction* AAction);
void SetActionTag(QAction* AAction, int ATag);

// Roles of navigator nodes: the function's index (-1 for module nodes) and
// the node's image index.
inline constexpr int NavStateRole = Qt::UserRole + 1;
inline constexpr int NavImageRole = Qt::UserRole + 2;

// Navigator and tab images: the small (16) and large (24) lists and the cache
// key -> index; "/System" 0, "/Folder" 1, "/FolderOpen" 2, "/Form" 3,
// "/Dialog" 4 are there from the start (5 is the editor's tab image).
struct TNavigatorImages {
    QList<QIcon> Small;
    QList<QIcon> Large;
    QList<QPair<QString, int>> Cache;
};
TNavigatorImages& NavigatorImages();
// The image of an image file and ID: image files are folders beside the
// program (a library name stands for the folder of its base name) holding
// "<ID>_<size>.png"; magenta is transparent. ADefault when there is none.
int NavImage(const QString& AImgFile, const QString& AImgID, int ADefault, QList<QIcon>& AList, int ASize);

class TMainForm : public QMainWindow, public IMDIHost {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* AParent = nullptr);
    ~TMainForm() override;

    // System
    QAction* actSystemLogin;
    QAction* actSystemLogout;
    QAction* actSystemPermission;
    QAction* actSystemExit;
    // File
    QAction* actFileSave;
    QAction* actFileRevert;
    QAction* actFileExport;
    QAction* actFilePageSetup;
    QAction* actFileReportSetup;
    QAction* actFilePrint;
    QAction* actFilePreview;
    // Edit
    QAction* actEditUndo;
    QAction* actEditRedo;
    QAction* actEditCut;
    QAction* actEditCopy;
    QAction* actEditPaste;
    QAction* actEditFill;
    QAction* actEditClear;
    QAction* actEdtSelectAll;
    // View
    QAction* actViewParams;
    QAction* actViewFields;
    QAction* actViewSort;
    QAction* actViewFilter;
    QAction* actViewCustom;
    QAction* actViewRelation;
    QAction* actViewExpandAll;
    QAction* actViewCollapseAll;
    QAction* actViewRefresh;
    QAction* actViewResultCount;
    QAction* actViewNavigator;
    QAction* actViewToolStandard;
    QAction* actViewToolActions;
    QAction* actViewStatusBar;
    // Window and help
    QAction* actWindowClose;
    QAction* actWindowCloseAll;
    QAction* actHelpManual;
    QAction* actHelpAbout;
    // Info-action slots with their group separators in the actions menu and
    // toolbar, and the toolbar's placeholder shown while no action is.
    QAction* actInfoActions[Commands::ActionSlots];
    QAction* InfoMenuSeparators[Commands::ActionSlots];
    QAction* InfoToolSeparators[Commands::ActionSlots];
    QAction* actInfoPlaceholder;
    QList<QAction*> MainActions; // every main action (tagged or not)
    QList<QAction*> InfoActions;

    QMenu* mnuActions = nullptr;
    QMenu* mnuWindow = nullptr;
    QMenu* mnuPopup = nullptr;
    QToolBar* tbrStandard = nullptr;
    QToolBar* tbrActions = nullptr;
    QSplitter* splMain = nullptr;
    QToolBox* nabNavigator = nullptr;
    QTreeWidget* trlNoCategory = nullptr; // the no-category group's tree
    QMdiArea* MDIClient = nullptr;
    TexTabbedMDIManager* FTabbedMDIManager = nullptr;
    QLabel* StatusPanels[6];
    std::vector<TFunctionDef> FFunctionDefs;

    // Rebuilds the navigator for the logged-in user.
    void LoadNavigator();
    // Opens the node's function, or brings its open window to the front.
    void OpenFunction(QTreeWidgetItem* ANode);
    void ExecuteMainAction(QAction* AAction);
    void UpdateActionState(QAction* AAction, TMDIChild* AChild);
    void RefreshActionState(const QList<QAction*>& AActions);
    void AppIdle();
    // Hides every info action (no window left).
    void CloseMDIChildUI() override;
    QMdiArea* MDIArea() const override { return MDIClient; }
    void ShowInfoActions(const QList<TInfoActionSlot>& ASlots) override;
    void BeginBarUpdate();
    void EndBarUpdate();
    // The desktop picture composed for the MDI area's size.
    void PrepareDesktopImage();
    const QImage& ClientImage() const { return FClientImage; }
    QImage DesktopImages[3]; // background (stretched), picture (fitted, ".dgm"), mark (bottom right)

    TMDIChild* ActiveMDIChild() const override;
    QList<TMDIChild*> MDIChildren() const override; // in tab order
    int MDIChildCount() const;
    // The action images by index (24 new ... 29 other).
    QIcon ActionImage(int AIndex) const;

    // Commands without a number.
    void actSystemLoginExecute();
    // False when a window refused to close (the user stays logged in).
    bool actSystemLogoutExecute();
    void actWindowCloseExecute();
    void actWindowCloseAllExecute();
    void actHelpManualExecute();
    void actHelpAboutExecute();
    void actSystemPermissionExecute();

    // Opens a file or address with the desktop; tests replace it.
    static std::function<bool(const QUrl&)>& ShellOpen();
    // The program path with another extension (".dgm", ".pdf" folder...).
    static QString ProgramFolder();

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;
    void closeEvent(QCloseEvent* AEvent) override;

private:
    QImage FClientImage;
    bool FDeferEraseBackground = false;
    int FBarUpdateCount = 0;
    QTimer* FIdleTimer = nullptr;
    bool FIdlePending = false;
    bool FInIdle = false;
    // Set whenever a count is shown in the status bar; the idle update clears
    // a count the active window did not report again.
    bool FCountShown = false;

    void CreateActions();
    void CreateMenusAndBars();
    void CreateNavigator();
    void CreateStatusBar();
    void LoadTranslation();
    void LoadDesktopPicture();
    void ClearNavigator();
    QTreeWidget* NewNavigatorTree();
    void SetStatusPanel(int AIndex, const QString& AText);
    void ScheduleIdle();
    // The application's message handling: input lock of long work (while
    // LockMsgHWnd names a window, input to any other window is dropped), the
    // main popup menu over the active window, grid shortcuts.
    bool AppMessage(QObject* AObject, QEvent* AEvent);
    void FillWindowMenu();
    void MDIChildActivated();
    void PlaceNewTab(int APreviousIndex, int AImageIndex);
    friend IInfoEditPtr DoShowInfoObjectEditor(TInfoObjectDef*, const QString&, const QString&);
    friend void DoShowStatusMessage(const QString&, TShowStatusMessageKind);
};

// The one main window of the run (nullptr before and after it).
extern TMainForm* MainForm;

// Unit start-up: the editor and status-message hooks, the navigator images.
void InitMainFormUnit();

// Opens (or brings to the front) the edit window of an object for the key
// values and hands the data to its editor; nullptr when none could be made.
IInfoEditPtr DoShowInfoObjectEditor(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID);
void DoShowStatusMessage(const QString& AMessage, TShowStatusMessageKind AKind);
