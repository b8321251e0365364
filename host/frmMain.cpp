#include "frmMain.h"

#include "UCommon.h"
#include "UDBComm.h"
#include "clsInfoView.h"
#include "clsMDIChild.h"
#include "dlgAbout.h"
#include "dlgPermissions.h"
#include "frmInfoEdit.h"
#include "frmInfoFrame.h"
#include "frmInfoView.h"
#include "untAppFrame.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untLibraryLoader.h"
#include "untTabbedMDI.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLibraryInfo>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>
#include <QToolBox>
#include <QTranslator>
#include <QTreeWidget>
#include <QUrl>

TMainForm* MainForm = nullptr;

namespace {

const char* const TagProperty = "kvCommandTag";

QString Trimmed(const QVariant& v)
{
    return v.toString().trimmed();
}

QIcon StandardIcon(QStyle::StandardPixmap APixmap)
{
    return QApplication::style()->standardIcon(APixmap);
}

// The mark drawn in the desktop's bottom-right corner.
QImage ProductMark()
{
    QImage image(180, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = QApplication::font();
    font.setPointSize(16);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(255, 255, 255, 170));
    p.drawText(image.rect().adjusted(0, 0, -12, 0), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Korvane"));
    return image;
}

QImage DesktopBackground()
{
    QImage image(64, 256, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, image.height());
    g.setColorAt(0, QColor(0x3A, 0x5F, 0x8F));
    g.setColorAt(1, QColor(0x9A, 0xB8, 0xD8));
    p.fillRect(image.rect(), g);
    return image;
}

} // namespace

int ActionTag(const QAction* AAction)
{
    return AAction ? AAction->property(TagProperty).toInt() : 0;
}

void SetActionTag(QAction* AAction, int ATag)
{
    AAction->setProperty(TagProperty, ATag);
}

// ---------------------------------------------------------------- navigator images

TNavigatorImages& NavigatorImages()
{
    static TNavigatorImages images;
    if (images.Small.isEmpty()) {
        const QList<QIcon> fixed = {StandardIcon(QStyle::SP_ComputerIcon), StandardIcon(QStyle::SP_DirClosedIcon),
                                    StandardIcon(QStyle::SP_DirOpenIcon), StandardIcon(QStyle::SP_FileIcon),
                                    StandardIcon(QStyle::SP_FileDialogDetailedView),
                                    StandardIcon(QStyle::SP_FileDialogContentsView)};
        images.Small = fixed;
        images.Large = fixed;
        images.Cache = {{QStringLiteral("/System"), 0}, {QStringLiteral("/Folder"), 1},
                        {QStringLiteral("/FolderOpen"), 2}, {QStringLiteral("/Form"), 3}, {QStringLiteral("/Dialog"), 4}};
    }
    return images;
}

int NavImage(const QString& AImgFile, const QString& AImgID, int ADefault, QList<QIcon>& AList, int ASize)
{
    const QString file = AImgFile.trimmed();
    const QString id = AImgID.trimmed();
    if (id.isEmpty())
        return ADefault;
    TNavigatorImages& images = NavigatorImages();
    const QString key = file + u'/' + id + u'_' + QString::number(ASize);
    for (const auto& entry : images.Cache)
        if (entry.first.compare(key, Qt::CaseInsensitive) == 0)
            return entry.second;
    if (file.isEmpty())
        return ADefault;
    const QString folder = TMainForm::ProgramFolder() + u'/' + QFileInfo(file).completeBaseName();
    const QString path = folder + u'/' + id + u'_' + QString::number(ASize) + QStringLiteral(".png");
    QImage image;
    if (!QFileInfo::exists(path) || !image.load(path))
        return ADefault;
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(QColor(255, 0, 255)));
    AList.append(QIcon(pixmap));
    const int index = int(AList.size()) - 1;
    images.Cache.append({key, index});
    return index;
}

// ---------------------------------------------------------------- unit

void InitMainFormUnit()
{
    if (InfoApplication) {
        InfoApplication->ShowInfoObjectEditorProc = DoShowInfoObjectEditor;
        InfoApplication->ShowStatusMessageProc = DoShowStatusMessage;
    }
    NavigatorImages();
}

std::function<bool(const QUrl&)>& TMainForm::ShellOpen()
{
    static std::function<bool(const QUrl&)> open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return open;
}

QString TMainForm::ProgramFolder()
{
    const QString folder = AppFramePaths().ProgramFolder;
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

// ---------------------------------------------------------------- creation

TMainForm::TMainForm(QWidget* AParent) : QMainWindow(AParent)
{
    MainForm = this;
    SetMDIHost(this);
    TexTabbedMDIManager::ApplicationMainForm() = this;
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Korvane"));
    setMinimumSize(800, 600);

    // 1. The desktop's work area.
    if (QScreen* screen = QApplication::primaryScreen())
        setGeometry(screen->availableGeometry());

    CreateActions();
    CreateMenusAndBars();

    splMain = new QSplitter(Qt::Horizontal, this);
    splMain->setObjectName(QStringLiteral("splMain"));
    splMain->setChildrenCollapsible(true);
    CreateNavigator();
    MDIClient = new QMdiArea(splMain);
    MDIClient->setObjectName(QStringLiteral("MDIClient"));
    splMain->addWidget(MDIClient);
    splMain->setStretchFactor(0, 0);
    splMain->setStretchFactor(1, 1);
    splMain->setSizes({200, qMax(600, width() - 200)});
    setCentralWidget(splMain);
    CreateStatusBar();

    // 2. The tab strip over the MDI area.
    FTabbedMDIManager = new TexTabbedMDIManager(this);
    FTabbedMDIManager->TabProperties()->CloseButtonMode = true;
    FTabbedMDIManager->TabProperties()->HotTrack = true;
    FTabbedMDIManager->TabProperties()->TabHeight = 27;
    FTabbedMDIManager->TabProperties()->Images = NavigatorImages().Small;
    FTabbedMDIManager->SetActive(true);
    if (QTabBar* bar = FTabbedMDIManager->TabBar()) {
        QFont bold = bar->font();
        bar->setStyleSheet(QStringLiteral("QTabBar::tab:selected { font-weight: bold; }"));
        Q_UNUSED(bold);
    }
    connect(MDIClient, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow*) { MDIChildActivated(); });

    // 3. Chinese texts of the platform's own dialogs.
    LoadTranslation();

    // 4. The desktop picture.
    DesktopImages[0] = DesktopBackground();
    DesktopImages[2] = ProductMark();
    LoadDesktopPicture();

    // 5. Colours.
    const QColor panel = TColorToQColor(ContentColor());
    const QColor window = QApplication::palette().color(QPalette::Base);
    const QColor tree = TColorToQColor(BlendColors(ContentColor(), QColorToTColor(window), 50));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, panel);
    setPalette(pal);
    QPalette navPal = nabNavigator->palette();
    navPal.setColor(QPalette::Base, tree);
    navPal.setColor(QPalette::Window, panel);
    nabNavigator->setPalette(navPal);

    // 6. Commands go through ExecuteMainAction (the tags are set in CreateActions).
    for (QAction* a : MainActions)
        if (ActionTag(a) > 0)
            connect(a, &QAction::triggered, this, [this, a] { ExecuteMainAction(a); });
    for (QAction* a : InfoActions)
        connect(a, &QAction::triggered, this, [this, a] { ExecuteMainAction(a); });

    // 7. Idle and message handling.
    FIdleTimer = new QTimer(this);
    FIdleTimer->setInterval(200);
    connect(FIdleTimer, &QTimer::timeout, this, [this] { AppIdle(); });
    FIdleTimer->start();
    qApp->installEventFilter(this);
    DoShowStatusMessage(QString(), mkHint);
    AppIdle();

    // 8. The MDI area paints the desktop; the navigator of the user.
    MDIClient->viewport()->installEventFilter(this);
    PrepareDesktopImage();
    try {
        LoadNavigator();
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
}

TMainForm::~TMainForm()
{
    qApp->removeEventFilter(this);
    // Children go first, while the bar they reset still exists.
    for (QMdiSubWindow* sub : MDIClient->subWindowList())
        delete sub;
    ResetMainActionsBarReference();
    if (MainForm == this)
        MainForm = nullptr;
    if (MDIHost() == this)
        SetMDIHost(nullptr);
    if (TexTabbedMDIManager::ApplicationMainForm() == this)
        TexTabbedMDIManager::ApplicationMainForm() = nullptr;
}

void TMainForm::CreateActions()
{
    auto make = [this](QAction*& a, const char* name, const QString& caption, const QKeySequence& key, int tag) {
        a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        SetActionTag(a, tag);
        MainActions.append(a);
    };
    make(actSystemLogin, "actSystemLogin", QStringLiteral("登录(&L)..."), QKeySequence(Qt::CTRL | Qt::Key_L), 0);
    make(actSystemLogout, "actSystemLogout", QStringLiteral("注销(&O)"), {}, 0);
    make(actSystemPermission, "actSystemPermission", QStringLiteral("用户权限(&P)..."), {}, 0);
    make(actSystemExit, "actSystemExit", QStringLiteral("退出(&X)"), {}, 0);
    make(actFileSave, "actFileSave", QStringLiteral("保存(&S)"), QKeySequence(Qt::CTRL | Qt::Key_S), Commands::Save);
    make(actFileRevert, "actFileRevert", QStringLiteral("放弃更改(&R)"), {}, Commands::CancelEdits);
    make(actFileExport, "actFileExport", QStringLiteral("导出(&E)..."), QKeySequence(Qt::Key_F12), Commands::Export);
    make(actFilePageSetup, "actFilePageSetup", QStringLiteral("页面设置(&G)..."), {}, Commands::PageSetup);
    make(actFileReportSetup, "actFileReportSetup", QStringLiteral("报表设置(&D)..."), {}, Commands::ReportDesign);
    make(actFilePrint, "actFilePrint", QStringLiteral("打印(&P)..."), QKeySequence(Qt::CTRL | Qt::Key_P), Commands::Print);
    make(actFilePreview, "actFilePreview", QStringLiteral("打印预览(&V)"), QKeySequence(Qt::CTRL | Qt::Key_F2),
         Commands::PrintPreview);
    make(actEditUndo, "actEditUndo", QStringLiteral("撤消(&U)"), QKeySequence(Qt::CTRL | Qt::Key_Z), Commands::Undo);
    make(actEditRedo, "actEditRedo", QStringLiteral("重做(&R)"), QKeySequence(Qt::CTRL | Qt::Key_Y), Commands::Redo);
    make(actEditCut, "actEditCut", QStringLiteral("剪切(&T)"), QKeySequence(Qt::CTRL | Qt::Key_X), Commands::Cut);
    make(actEditCopy, "actEditCopy", QStringLiteral("复制(&C)"), QKeySequence(Qt::CTRL | Qt::Key_C), Commands::Copy);
    actEditCopy->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)});
    make(actEditPaste, "actEditPaste", QStringLiteral("粘贴(&P)"), QKeySequence(Qt::CTRL | Qt::Key_V), Commands::Paste);
    make(actEditFill, "actEditFill", QStringLiteral("批量填充(&F)"), {}, Commands::Fill);
    make(actEditClear, "actEditClear", QStringLiteral("清除(&E)"), {}, Commands::Clear);
    make(actEdtSelectAll, "actEdtSelectAll", QStringLiteral("全选(&A)"), QKeySequence(Qt::CTRL | Qt::Key_A), Commands::SelectAll);
    make(actViewParams, "actViewParams", QStringLiteral("查询参数(&Q)..."), {}, Commands::Parameters);
    make(actViewFields, "actViewFields", QStringLiteral("字段显示/隐藏(&F)..."), {}, Commands::SchemeFields);
    make(actViewSort, "actViewSort", QStringLiteral("排序(&S)..."), {}, Commands::SchemeSort);
    make(actViewFilter, "actViewFilter", QStringLiteral("筛选(&E)..."), {}, Commands::SchemeFilter);
    make(actViewCustom, "actViewCustom", QStringLiteral("视图定义(&D)..."), QKeySequence(Qt::Key_F9), Commands::SchemeCustomView);
    make(actViewRelation, "actViewRelation", QStringLiteral("关联信息(&L)"), QKeySequence(Qt::Key_F6), Commands::Relations);
    make(actViewExpandAll, "actViewExpandAll", QStringLiteral("展开全部(&A)"), {}, Commands::ExpandAll);
    make(actViewCollapseAll, "actViewCollapseAll", QStringLiteral("折叠全部(&Z)"), {}, Commands::CollapseAll);
    make(actViewRefresh, "actViewRefresh", QStringLiteral("刷新(&R)"), QKeySequence(Qt::Key_F5), Commands::Refresh);
    make(actViewResultCount, "actViewResultCount", QString(), {}, Commands::RecordCount);
    actViewResultCount->setToolTip(QStringLiteral("在状态栏中显示视图结果数"));
    actViewResultCount->setStatusTip(QStringLiteral("在状态栏中显示视图结果数"));
    make(actViewNavigator, "actViewNavigator", QStringLiteral("导航窗格(&N)"), QKeySequence(Qt::Key_F8), 0);
    make(actViewToolStandard, "actViewToolStandard", QStringLiteral("常用(&S)"), {}, 0);
    make(actViewToolActions, "actViewToolActions", QStringLiteral("操作(&A)"), {}, 0);
    make(actViewStatusBar, "actViewStatusBar", QStringLiteral("状态栏(&U)"), {}, 0);
    make(actWindowClose, "actWindowClose", QStringLiteral("关闭窗口(&C)"), {}, 0);
    make(actWindowCloseAll, "actWindowCloseAll", QStringLiteral("关闭全部窗口(&A)"), {}, 0);
    make(actHelpManual, "actHelpManual", QStringLiteral("用户手册(&M)"), QKeySequence(Qt::Key_F1), 0);
    make(actHelpAbout, "actHelpAbout", QStringLiteral("关于本系统(&A)..."), {}, 0);
    for (QAction* a : {actViewNavigator, actViewToolStandard, actViewToolActions, actViewStatusBar})
        a->setCheckable(true);

    actFileSave->setIcon(StandardIcon(QStyle::SP_DialogSaveButton));
    actFileRevert->setIcon(StandardIcon(QStyle::SP_DialogResetButton));
    actFileExport->setIcon(StandardIcon(QStyle::SP_DriveFDIcon));
    actFilePrint->setIcon(StandardIcon(QStyle::SP_FileDialogListView));
    actViewFilter->setIcon(StandardIcon(QStyle::SP_FileDialogContentsView));
    actViewRefresh->setIcon(StandardIcon(QStyle::SP_BrowserReload));
    actViewRelation->setIcon(StandardIcon(QStyle::SP_FileDialogDetailedView));
    actViewResultCount->setIcon(StandardIcon(QStyle::SP_MessageBoxInformation));
    actSystemLogin->setIcon(StandardIcon(QStyle::SP_DialogYesButton));

    connect(actSystemLogin, &QAction::triggered, this, [this] { actSystemLoginExecute(); });
    connect(actSystemLogout, &QAction::triggered, this, [this] { actSystemLogoutExecute(); });
    connect(actSystemPermission, &QAction::triggered, this, [this] { actSystemPermissionExecute(); });
    connect(actSystemExit, &QAction::triggered, this, [this] { close(); });
    connect(actWindowClose, &QAction::triggered, this, [this] { actWindowCloseExecute(); });
    connect(actWindowCloseAll, &QAction::triggered, this, [this] { actWindowCloseAllExecute(); });
    connect(actHelpManual, &QAction::triggered, this, [this] { actHelpManualExecute(); });
    connect(actHelpAbout, &QAction::triggered, this, [this] { actHelpAboutExecute(); });
    connect(actViewNavigator, &QAction::triggered, this, [this](bool on) { nabNavigator->setVisible(on); });
    connect(actViewToolStandard, &QAction::triggered, this, [this](bool on) { tbrStandard->setVisible(on); });
    connect(actViewToolActions, &QAction::triggered, this, [this](bool on) { tbrActions->setVisible(on); });
    connect(actViewStatusBar, &QAction::triggered, this, [this](bool on) { statusBar()->setVisible(on); });

    for (int i = 0; i < Commands::ActionSlots; ++i) {
        QAction* a = new QAction(this);
        a->setObjectName(QStringLiteral("actInfoAction%1").arg(i));
        SetActionTag(a, 0);
        a->setVisible(false);
        actInfoActions[i] = a;
        InfoActions.append(a);
        InfoMenuSeparators[i] = new QAction(this);
        InfoMenuSeparators[i]->setSeparator(true);
        InfoMenuSeparators[i]->setVisible(false);
        InfoToolSeparators[i] = new QAction(this);
        InfoToolSeparators[i]->setSeparator(true);
        InfoToolSeparators[i]->setVisible(false);
    }
    actInfoPlaceholder = new QAction(QStringLiteral("(无操作)"), this);
    actInfoPlaceholder->setObjectName(QStringLiteral("actInfoPlaceholder"));
    actInfoPlaceholder->setEnabled(false);
}

void TMainForm::CreateMenusAndBars()
{
    QMenu* system = menuBar()->addMenu(QStringLiteral("系统(&S)"));
    system->addActions({actSystemLogin, actSystemLogout});
    system->addSeparator();
    system->addAction(actSystemPermission);
    system->addSeparator();
    system->addAction(actSystemExit);

    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    file->addActions({actFileSave, actFileRevert});
    file->addSeparator();
    file->addAction(actFileExport);
    file->addSeparator();
    file->addActions({actFilePageSetup, actFileReportSetup, actFilePrint, actFilePreview});

    QMenu* edit = menuBar()->addMenu(QStringLiteral("编辑(&E)"));
    edit->addActions({actEditUndo, actEditRedo});
    edit->addSeparator();
    edit->addActions({actEditCut, actEditCopy, actEditPaste});
    edit->addSeparator();
    edit->addActions({actEditFill, actEditClear});
    edit->addSeparator();
    edit->addAction(actEdtSelectAll);

    QMenu* view = menuBar()->addMenu(QStringLiteral("查看(&V)"));
    view->addAction(actViewParams);
    view->addSeparator();
    view->addActions({actViewFields, actViewSort, actViewFilter, actViewCustom});
    view->addSeparator();
    view->addActions({actViewRelation, actViewExpandAll, actViewCollapseAll});
    view->addSeparator();
    view->addAction(actViewRefresh);
    view->addSeparator();
    QMenu* bars = view->addMenu(QStringLiteral("工具栏(&T)"));
    bars->addActions({actViewToolStandard, actViewToolActions});
    view->addActions({actViewNavigator, actViewStatusBar});

    mnuActions = menuBar()->addMenu(QStringLiteral("操作(&A)"));
    mnuActions->setObjectName(QStringLiteral("mnuActions"));
    for (int i = 0; i < Commands::ActionSlots; ++i) {
        mnuActions->addAction(InfoMenuSeparators[i]);
        mnuActions->addAction(actInfoActions[i]);
    }

    mnuWindow = menuBar()->addMenu(QStringLiteral("窗口(&W)"));
    mnuWindow->setObjectName(QStringLiteral("mnuWindow"));
    connect(mnuWindow, &QMenu::aboutToShow, this, [this] { FillWindowMenu(); });
    FillWindowMenu();

    QMenu* help = menuBar()->addMenu(QStringLiteral("帮助(&H)"));
    help->addAction(actHelpManual);
    help->addSeparator();
    help->addAction(actHelpAbout);

    tbrStandard = addToolBar(QStringLiteral("常用"));
    tbrStandard->setObjectName(QStringLiteral("tbrStandard"));
    tbrStandard->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbrStandard->addActions({actFileSave, actFileRevert});
    tbrStandard->addSeparator();
    tbrStandard->addActions({actFileExport, actFilePrint});
    tbrStandard->addSeparator();
    tbrStandard->addActions({actViewFilter, actViewRelation, actViewRefresh, actViewResultCount});

    // Beside the standard bar when the screen is wide enough, else below it.
    if (width() <= 800)
        addToolBarBreak();
    tbrActions = addToolBar(QStringLiteral("操作"));
    tbrActions->setObjectName(QStringLiteral("tbrActions"));
    tbrActions->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbrActions->addAction(actInfoPlaceholder);
    for (int i = 0; i < Commands::ActionSlots; ++i) {
        tbrActions->addAction(InfoToolSeparators[i]);
        tbrActions->addAction(actInfoActions[i]);
    }

    mnuPopup = new QMenu(this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    mnuPopup->addActions({actEditCopy, actEdtSelectAll});
    mnuPopup->addSeparator();
    mnuPopup->addActions({actEditFill, actEditClear});
    mnuPopup->addSeparator();
    mnuPopup->addActions({actViewFilter, actViewRefresh});
    mnuPopup->addSeparator();
    mnuPopup->addActions({actFileExport, actFilePrint});
}

QTreeWidget* TMainForm::NewNavigatorTree()
{
    auto* tree = new QTreeWidget;
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    tree->setIndentation(12);
    tree->setRootIsDecorated(true);
    tree->setFrameShape(QFrame::NoFrame);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setIconSize(QSize(16, 16));
    tree->setUniformRowHeights(true);
    tree->setMouseTracking(true);
    tree->setStyleSheet(QStringLiteral("QTreeView::item { height: 22px; }"));
    QPalette pal = tree->palette();
    pal.setColor(QPalette::Base, TColorToQColor(BlendColors(ContentColor(),
                                                            QColorToTColor(QApplication::palette().color(QPalette::Base)), 50)));
    tree->setPalette(pal);
    connect(tree, &QTreeWidget::itemExpanded, this, [](QTreeWidgetItem* item) {
        if (item->data(0, NavImageRole).toInt() == 1) {
            item->setData(0, NavImageRole, 2);
            item->setIcon(0, NavigatorImages().Small.value(2));
        }
    });
    connect(tree, &QTreeWidget::itemCollapsed, this, [](QTreeWidgetItem* item) {
        if (item->data(0, NavImageRole).toInt() == 2) {
            item->setData(0, NavImageRole, 1);
            item->setIcon(0, NavigatorImages().Small.value(1));
        }
    });
    connect(tree, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) { OpenFunction(item); });
    tree->installEventFilter(this);
    return tree;
}

void TMainForm::CreateNavigator()
{
    nabNavigator = new QToolBox(splMain);
    nabNavigator->setObjectName(QStringLiteral("nabNavigator"));
    nabNavigator->setMinimumWidth(160);
    trlNoCategory = NewNavigatorTree();
    trlNoCategory->setObjectName(QStringLiteral("trlNoCategory"));
    nabNavigator->addItem(trlNoCategory, QStringLiteral("(未登录)"));
    splMain->addWidget(nabNavigator);
}

void TMainForm::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    for (int i = 0; i < 6; ++i) {
        StatusPanels[i] = new QLabel(bar);
        StatusPanels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    }
    bar->addWidget(StatusPanels[0], 1);
    bar->addPermanentWidget(StatusPanels[1]);
    bar->addPermanentWidget(StatusPanels[2]);
    bar->addPermanentWidget(StatusPanels[3]);
    bar->addPermanentWidget(StatusPanels[4]);
    bar->addPermanentWidget(StatusPanels[5]);
    StatusPanels[2]->setFixedWidth(20);
    StatusPanels[5]->setFixedWidth(20);
    StatusPanels[1]->setFixedWidth(10);
    StatusPanels[3]->setFixedWidth(50);
    StatusPanels[4]->setFixedWidth(50);
}

void TMainForm::SetStatusPanel(int AIndex, const QString& AText)
{
    QLabel* panel = StatusPanels[AIndex];
    panel->setText(AText);
    panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(AText) + 10);
}

void TMainForm::LoadTranslation()
{
    // The Chinese texts of the platform's standard dialogs and buttons: beside
    // the program, one folder up, else where the platform keeps them.
    static QTranslator* translator = nullptr;
    if (translator)
        return;
    const QString name = QStringLiteral("qtbase_zh_CN.qm");
    const QStringList folders = {ProgramFolder(), ProgramFolder() + QStringLiteral("/.."),
                                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(name);
        if (!QFileInfo::exists(path))
            continue;
        auto* t = new QTranslator(qApp);
        if (t->load(path)) {
            QCoreApplication::installTranslator(t);
            translator = t;
            return;
        }
        delete t;
    }
}

void TMainForm::LoadDesktopPicture()
{
    const QString path = ProgramFolder() + u'/' + QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
        + QStringLiteral(".dgm");
    if (!QFileInfo::exists(path))
        return;
    QImageReader reader(path, "png");
    const QImage image = reader.read();
    if (!image.isNull())
        DesktopImages[1] = image;
}

// ---------------------------------------------------------------- MDI children

TMDIChild* TMainForm::ActiveMDIChild() const
{
    QMdiSubWindow* sub = MDIClient ? MDIClient->currentSubWindow() : nullptr;
    return sub ? qobject_cast<TMDIChild*>(sub->widget()) : nullptr;
}

QList<TMDIChild*> TMainForm::MDIChildren() const
{
    QList<TMDIChild*> result;
    if (!MDIClient)
        return result;
    for (QMdiSubWindow* sub : MDIClient->subWindowList(QMdiArea::CreationOrder))
        if (auto* child = qobject_cast<TMDIChild*>(sub->widget()))
            result.append(child);
    return result;
}

int TMainForm::MDIChildCount() const
{
    return int(MDIChildren().size());
}

void TMainForm::MDIChildActivated()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->Activated();
    ScheduleIdle();
}

void TMainForm::PlaceNewTab(int APreviousIndex, int AImageIndex)
{
    TexTabbedMDITabProperties* tabs = FTabbedMDIManager->TabProperties();
    TexTabbedMDIPage* page = tabs->ActivePage();
    if (!page)
        return;
    page->SetImageIndex(AImageIndex);
    const int target = APreviousIndex + 1;
    if (page->Index() != target && target >= 0 && target < tabs->PageCount())
        tabs->MoveTab(page->Index(), target);
    tabs->SetPageIndex(page->Index());
}

void TMainForm::FillWindowMenu()
{
    mnuWindow->clear();
    mnuWindow->addActions({actWindowClose, actWindowCloseAll});
    TexTabbedMDITabProperties* tabs = FTabbedMDIManager ? FTabbedMDIManager->TabProperties() : nullptr;
    if (!tabs || tabs->PageCount() == 0)
        return;
    mnuWindow->addSeparator();
    const int active = tabs->PageIndex();
    for (int i = 0; i < tabs->PageCount(); ++i) {
        TexTabbedMDIPage* page = tabs->GetPage(i);
        QWidget* child = page ? page->MDIChild() : nullptr;
        if (!child)
            continue;
        QAction* a = mnuWindow->addAction(TexTabbedMDIManager::TabCaptionOf(child->windowTitle()));
        a->setCheckable(true);
        a->setChecked(i == active);
        QPointer<QWidget> guard(child);
        connect(a, &QAction::triggered, this, [guard] {
            if (auto* c = qobject_cast<TMDIChild*>(guard.data()))
                c->BringToFront();
        });
    }
}

// ---------------------------------------------------------------- navigator

void TMainForm::ClearNavigator()
{
    while (nabNavigator->count() > 0) {
        QWidget* page = nabNavigator->widget(0);
        nabNavigator->removeItem(0);
        if (page != trlNoCategory)
            page->deleteLater();
    }
    trlNoCategory->clear();
    FFunctionDefs.clear();
}

void TMainForm::LoadNavigator()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    struct CursorGuard {
        ~CursorGuard() { QApplication::restoreOverrideCursor(); }
    } cursorGuard;

    const TLoginInfo& info = InfoApplication->LoginInfo;
    actSystemPermission->setEnabled(info.UserIsAdmin);
    actSystemLogout->setEnabled(true);
    SetStatusPanel(3, info.DBAlias);
    SetStatusPanel(4, info.UserNo.compare(info.UserName, Qt::CaseInsensitive) == 0
                          ? info.UserNo
                          : info.UserNo + QStringLiteral(" (") + info.UserName + u')');

    ClearNavigator();
    TADOQuery* q = GlobalADOQuery;

    // Functions the user may open.
    QString sql;
    if (info.UserIsAdmin) {
        sql = QStringLiteral("select * from QZ_SYS_Functions with(nolock) order by FunModID, FunSeqNo");
    } else {
        sql = QStringLiteral(
                "select f.* from QZ_SYS_Functions as f with(nolock) left join QZ_SYS_Objects as o with(nolock) on FunType=0 and FunObject=ObjID "
                "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind<>%2:d) as p1 on FunType=0 and FunObject=p1.PmsObjID and FunAction=p1.PmsRelID "
                "left join (select distinct PmsObjID, PmsRelID from QZ_SYS_Functions with(nolock) join QZ_SYS_Permissions with(nolock) on FunType=0 and PmsType in (0,1) and FunObject=PmsObjID and FunAction=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind=%2:d) as p2 on FunType=0 and FunObject=p2.PmsObjID and FunAction=p2.PmsRelID "
                "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID "
                "join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind<>%2:d) as p3 on FunType=0 and FunObject=p3.ActObjID and FunAction=p3.ActID "
                "left join (select distinct ActObjID, ActID from QZ_SYS_Functions with(nolock) join QZ_SYS_ObjActions with(nolock) on FunType=0 and FunObject=ActObjID and FunAction=ActID "
                "join QZ_SYS_Permissions with(nolock) on PmsType=2 and ActObjID=PmsObjID and ActAgrID=PmsRelID "
                "where (PmsUsrID=%0:s and PmsIsGroup=0 or PmsUsrID in (%1:s) and PmsIsGroup=1) and PmsKind=%2:d) as p4 on FunType=0 and FunObject=p4.ActObjID and FunAction=p4.ActID "
                "where FunType<>0 or o.ObjInternal=1 or p1.PmsObjID is not null and p2.PmsObjID is null or p3.ActObjID is not null and p4.ActObjID is null "
                "order by FunModID, FunSeqNo");
        sql.replace(QStringLiteral("%0:s"), QuotedStr(info.UserID))
            .replace(QStringLiteral("%1:s"), info.UserGroups)
            .replace(QStringLiteral("%2:d"), QStringLiteral("2"));
    }

    struct FunctionRow {
        QString ModID;
        QTreeWidgetItem* Node;
    };
    QList<FunctionRow> functionRows;
    QMap<QString, QString> neededModules; // upper-case ID -> ID
    // The no-category group goes last: "(未分类)" while it holds nodes,
    // "(无授权资料)" when nothing else is there, otherwise left out.
    const auto finishGroups = [this] {
        if (trlNoCategory->topLevelItemCount() > 0)
            nabNavigator->addItem(trlNoCategory, QStringLiteral("(未分类)"));
        else if (nabNavigator->count() == 0)
            nabNavigator->addItem(trlNoCategory, QStringLiteral("(无授权资料)"));
        if (nabNavigator->count() > 0)
            nabNavigator->setCurrentIndex(0);
    };
    if (!ExecSQLText(q, sql, true, false, true)) {
        finishGroups();
        return;
    }
    TNavigatorImages& images = NavigatorImages();
    while (!q->Eof()) {
        TFunctionDef f;
        f.FunID = q->FieldByName(QStringLiteral("FunID"))->AsString();
        f.FunName = q->FieldByName(QStringLiteral("FunName"))->AsString();
        f.FunType = q->FieldByName(QStringLiteral("FunType"))->AsInteger();
        f.FunObject = q->FieldByName(QStringLiteral("FunObject"))->AsString();
        f.FunAction = q->FieldByName(QStringLiteral("FunAction"))->AsString();
        f.FunParams = q->FieldByName(QStringLiteral("FunParams"))->AsString();
        const int image = NavImage(q->FieldByName(QStringLiteral("FunImgFile"))->AsString(),
                                   q->FieldByName(QStringLiteral("FunImgID"))->AsString(), 3, images.Small, 16);
        auto* node = new QTreeWidgetItem(QStringList{f.FunName});
        node->setData(0, NavStateRole, int(FFunctionDefs.size()));
        node->setData(0, NavImageRole, image);
        node->setIcon(0, images.Small.value(image));
        FFunctionDefs.push_back(f);
        const QString modID = q->FieldByName(QStringLiteral("FunModID"))->AsString().trimmed();
        functionRows.append({modID, node});
        if (!modID.isEmpty())
            neededModules.insert(modID.toUpper(), modID);
        q->Next();
    }
    q->Close();

    // Modules: groups for roots, nodes for the rest, as far as functions need them.
    struct ModuleRow {
        QString ID, Name, Parent, ImgFile, ImgID;
    };
    QList<ModuleRow> modules;
    if (!ExecSQLText(q, QStringLiteral("select * from QZ_SYS_Modules with(nolock) order by ModParent, ModSeqNo"), true, false,
                     true)) {
        for (const FunctionRow& r : functionRows)
            trlNoCategory->addTopLevelItem(r.Node);
        finishGroups();
        return;
    }
    QSet<QString> moduleRows;
    while (!q->Eof()) {
        ModuleRow m{Trimmed(q->FieldValues(QStringLiteral("ModID"))), q->FieldByName(QStringLiteral("ModName"))->AsString(),
                    Trimmed(q->FieldValues(QStringLiteral("ModParent"))), q->FieldByName(QStringLiteral("ModImgFile"))->AsString(),
                    q->FieldByName(QStringLiteral("ModImgID"))->AsString()};
        modules.append(m);
        moduleRows.insert(m.ID.toUpper());
        q->Next();
    }
    q->Close();

    struct BuiltModule {
        QTreeWidget* Tree = nullptr;     // a group: its tree
        QTreeWidgetItem* Node = nullptr; // a module below a group
    };
    QMap<QString, BuiltModule> built;
    bool changed = true;
    while (changed) {
        changed = false;
        for (const ModuleRow& m : modules) {
            const QString id = m.ID.toUpper();
            if (!neededModules.contains(id) || built.contains(id))
                continue;
            const QString parent = m.Parent.toUpper();
            if (parent.isEmpty() || !moduleRows.contains(parent)) {
                QTreeWidget* tree = NewNavigatorTree();
                tree->setObjectName(QStringLiteral("trl") + m.ID);
                const int image = NavImage(m.ImgFile, m.ImgID, 0, images.Small, 16);
                NavImage(m.ImgFile, m.ImgID, -1, images.Large, 24);
                nabNavigator->addItem(tree, images.Small.value(image), m.Name);
                built.insert(id, BuiltModule{tree, nullptr});
                changed = true;
            } else if (built.contains(parent)) {
                const BuiltModule& p = built[parent];
                auto* node = new QTreeWidgetItem(QStringList{m.Name});
                const int image = NavImage(m.ImgFile, m.ImgID, 1, images.Small, 16);
                node->setData(0, NavStateRole, -1);
                node->setData(0, NavImageRole, image);
                node->setIcon(0, images.Small.value(image));
                if (p.Tree)
                    p.Tree->addTopLevelItem(node);
                else
                    p.Node->addChild(node);
                built.insert(id, BuiltModule{nullptr, node});
                changed = true;
            } else if (!neededModules.contains(parent)) {
                neededModules.insert(parent, m.Parent);
                changed = true;
            }
        }
    }

    // Functions under their modules; those of unknown modules stay uncategorised.
    for (const FunctionRow& r : functionRows) {
        const auto it = built.constFind(r.ModID.toUpper());
        if (it == built.constEnd())
            trlNoCategory->addTopLevelItem(r.Node);
        else if (it->Tree)
            it->Tree->addTopLevelItem(r.Node);
        else
            it->Node->addChild(r.Node);
    }

    finishGroups();
}

void TMainForm::OpenFunction(QTreeWidgetItem* ANode)
{
    if (!ANode)
        return;
    const int index = ANode->data(0, NavStateRole).isValid() ? ANode->data(0, NavStateRole).toInt() : -1;
    if (index < 0 || index >= int(FFunctionDefs.size()))
        return;
    const TFunctionDef f = FFunctionDefs[size_t(index)];
    const QString key = f.FunObject + u'|' + f.FunAction + u'|' + f.FunParams;
    if (auto* open = qobject_cast<TMDIChild*>(FindViewForm(key))) {
        open->BringToFront();
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    MDIClient->setUpdatesEnabled(false);
    struct Restore {
        QMdiArea* Area;
        ~Restore()
        {
            Area->setUpdatesEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    } restore{MDIClient};
    const int previous = FTabbedMDIManager->TabProperties()->PageIndex();
    try {
        TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(f.FunObject);
        if (!def) {
            ShowError(QStringLiteral("装载信息对象出现错误!"));
            return;
        }
        QWidget* form = nullptr;
        if (def->ObjType == 11) {
            form = new TInfoFrameForm(def, f.FunName);
        } else if (def->ObjType == 12) {
            auto proc = reinterpret_cast<TLoadInfoFormProc>(GetDllProc(def->DllName, QStringLiteral("LoadInfoForm")));
            if (!proc)
                return;
            form = proc(InfoApplication, def);
        } else {
            form = new TInfoViewForm(def, f.FunName);
        }
        if (!form)
            return;
        RegisterViewForm(key, form);
        if (qobject_cast<TMDIChild*>(form))
            PlaceNewTab(previous, ANode->data(0, NavImageRole).toInt());
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        ShowADOError(e, GlobalADOQuery);
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
    ScheduleIdle();
}

// ---------------------------------------------------------------- commands

void TMainForm::UpdateActionState(QAction* AAction, TMDIChild* AChild)
{
    const int tag = ActionTag(AAction);
    if (tag <= 0)
        return;
    TCommandState state;
    bool decided = false;
    if (AChild)
        decided = AChild->QueryCommandState(tag, state);
    if (!decided && tag < Commands::FirstAction) {
        if (tag == Commands::RecordCount)
            DoShowStatusMessage(QString(), mkCount);
        else
            QueryEditCommandState(tag, state);
    }
    AAction->setEnabled(state.testFlag(csEnabled));
    const bool checked = state.testFlag(csChecked);
    if (checked != AAction->isChecked() || checked != AAction->isCheckable()) {
        AAction->setCheckable(checked);
        AAction->setChecked(checked);
    }
    AAction->setVisible(!state.testFlag(csHidden));
}

void TMainForm::RefreshActionState(const QList<QAction*>& AActions)
{
    TMDIChild* child = ActiveMDIChild();
    for (qsizetype i = AActions.size() - 1; i >= 0; --i)
        UpdateActionState(AActions.at(i), child);
}

void TMainForm::ExecuteMainAction(QAction* AAction)
{
    TMDIChild* child = ActiveMDIChild();
    if (!child)
        return;
    const int tag = ActionTag(AAction);
    try {
        UpdateActionState(AAction, child);
        if (!AAction->isEnabled())
            return;
        if (child->ExecCommand(tag))
            return;
        if (tag < Commands::FirstAction) {
            ExecEditCommand(tag);
            return;
        }
    } catch (const EAbort&) {
        return;
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
        return;
    }
    auto* viewForm = qobject_cast<TInfoViewForm*>(child);
    if (!viewForm || !viewForm->ViewFrame())
        return;
    IInfoViewPtr view = viewForm->ViewFrame()->GetActiveView();
    TInfoObjectDef* def = view ? view->GetObjectDef() : nullptr;
    const int index = tag - Commands::FirstAction;
    if (!def || index < 0 || index >= int(def->Actions.size()))
        return;
    const TInfoActionDef action = def->Actions[size_t(index)];
    bool refresh = false;
    QString position;
    try {
        position = view->GetViewPosition();
        auto proc = reinterpret_cast<TLoadInfoActionProc>(GetDllProc(action.DllName, QStringLiteral("LoadInfoAction")));
        if (proc)
            proc(InfoApplication, def, action.ID, view, refresh);
    } catch (...) {
        // A failing library action leaves the view as it was.
        refresh = false;
    }
    if (!refresh)
        return;
    viewForm->SetSyncRelationDisabled(true);
    try {
        view->RefreshData(false);
        view->SetViewPosition(position);
        viewForm->SetSyncRelationDisabled(false);
        if (view == viewForm->ViewFrame()->GetRelationView(QString()))
            viewForm->RefreshRelations();
    } catch (...) {
        viewForm->SetSyncRelationDisabled(false);
    }
}

void TMainForm::ScheduleIdle()
{
    if (FIdlePending)
        return;
    FIdlePending = true;
    QTimer::singleShot(0, this, [this] {
        FIdlePending = false;
        AppIdle();
    });
}

void TMainForm::AppIdle()
{
    if (FInIdle)
        return;
    FInIdle = true;
    struct Leave {
        bool& Flag;
        ~Leave() { Flag = false; }
    } leave{FInIdle};
    if (MDIChildCount() == 0 && FDeferEraseBackground)
        MDIClient->viewport()->update();
    actViewNavigator->setChecked(nabNavigator->isVisible());
    actViewToolStandard->setChecked(tbrStandard->isVisible());
    actViewToolActions->setChecked(tbrActions->isVisible());
    actViewStatusBar->setChecked(statusBar()->isVisible());
    TMDIChild* child = ActiveMDIChild();
    actWindowClose->setEnabled(child != nullptr);
    actWindowCloseAll->setEnabled(child != nullptr);
    try {
        if (child)
            child->ProcessIdle();
        RefreshActionState(MainActions);
        RefreshActionState(InfoActions);
    } catch (...) {
        // Idle work never stops the application; the next idle time tries again.
    }
}

void TMainForm::BeginBarUpdate()
{
    if (FBarUpdateCount++ == 0) {
        tbrActions->setUpdatesEnabled(false);
        mnuActions->setUpdatesEnabled(false);
    }
}

void TMainForm::EndBarUpdate()
{
    if (FBarUpdateCount > 0 && --FBarUpdateCount == 0) {
        tbrActions->setUpdatesEnabled(true);
        mnuActions->setUpdatesEnabled(true);
    }
}

void TMainForm::CloseMDIChildUI()
{
    BeginBarUpdate();
    for (int i = 0; i < Commands::ActionSlots; ++i) {
        SetActionTag(actInfoActions[i], 0);
        actInfoActions[i]->setVisible(false);
        InfoMenuSeparators[i]->setVisible(false);
        InfoToolSeparators[i]->setVisible(false);
    }
    actInfoPlaceholder->setVisible(true);
    EndBarUpdate();
}

void TMainForm::ShowInfoActions(const QList<TInfoActionSlot>& ASlots)
{
    BeginBarUpdate();
    struct EndUpdate {
        TMainForm* form;
        ~EndUpdate() { form->EndBarUpdate(); }
    } endUpdate{this};
    const int shown = std::min(int(ASlots.size()), int(Commands::ActionSlots));
    for (int k = 0; k < shown; ++k) {
        const TInfoActionSlot& slot = ASlots[k];
        QAction* act = actInfoActions[k];
        act->setText(slot.Caption);
        SetActionTag(act, slot.Tag);
        act->setIcon(ActionImage(slot.ImageIndex));
        act->setChecked(false);
        act->setEnabled(true);
        act->setVisible(true);
        InfoMenuSeparators[k]->setVisible(slot.BeginGroup);
        InfoToolSeparators[k]->setVisible(slot.BeginGroup);
    }
    for (int j = shown; j < Commands::ActionSlots; ++j) {
        SetActionTag(actInfoActions[j], 0);
        actInfoActions[j]->setVisible(false);
        InfoMenuSeparators[j]->setVisible(false);
        InfoToolSeparators[j]->setVisible(false);
    }
    actInfoPlaceholder->setVisible(shown == 0);
    RefreshActionState(InfoActions);
}

QIcon TMainForm::ActionImage(int AIndex) const
{
    switch (AIndex) {
    case 24: return StandardIcon(QStyle::SP_FileDialogNewFolder);
    case 25: return StandardIcon(QStyle::SP_FileLinkIcon);
    case 26: return StandardIcon(QStyle::SP_FileDialogDetailedView);
    case 27: return StandardIcon(QStyle::SP_TrashIcon);
    case 28: return StandardIcon(QStyle::SP_DialogApplyButton);
    default: return StandardIcon(QStyle::SP_ArrowRight);
    }
}

void TMainForm::actSystemLoginExecute()
{
    if (!actSystemLogoutExecute())
        return;
    try {
        if (InfoApplication->LoginInfo.UserID.isEmpty() && SystemLogin())
            LoadNavigator();
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
}

bool TMainForm::actSystemLogoutExecute()
{
    actWindowCloseAllExecute();
    if (MDIChildCount() > 0)
        return false;
    actSystemPermission->setEnabled(false);
    actSystemLogout->setEnabled(false);
    StatusPanels[3]->clear();
    StatusPanels[3]->setFixedWidth(50);
    StatusPanels[4]->clear();
    StatusPanels[4]->setFixedWidth(50);
    ClearNavigator();
    nabNavigator->addItem(trlNoCategory, QStringLiteral("(未登录)"));
    nabNavigator->setCurrentIndex(0);
    SystemLogout();
    return true;
}

void TMainForm::actWindowCloseExecute()
{
    if (TMDIChild* child = ActiveMDIChild())
        child->Close();
}

void TMainForm::actWindowCloseAllExecute()
{
    TMDIChild* last = nullptr;
    for (;;) {
        TMDIChild* child = ActiveMDIChild();
        if (!child) {
            // A child that is not the current one (none is current) still counts.
            const QList<TMDIChild*> rest = MDIChildren();
            if (rest.isEmpty())
                break;
            child = rest.last();
            child->BringToFront();
        }
        if (child == last)
            break; // it refused
        last = child;
        child->Close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!MDIChildren().contains(last))
            last = nullptr;
    }
    if (MDIChildCount() == 0)
        CloseMDIChildUI();
}

void TMainForm::actHelpManualExecute()
{
    const QString path = ProgramFolder() + QStringLiteral("/Korvane-用户手册.pdf");
    if (!QFileInfo::exists(path) || !ShellOpen()(QUrl::fromLocalFile(path)))
        ShowError(FormatMessage(QStringLiteral("打开用户手册文件\"%s\"出现错误!"), {QDir::toNativeSeparators(path)}));
}

void TMainForm::actHelpAboutExecute()
{
    TAboutDlg dlg(this);
    dlg.exec();
}

void TMainForm::actSystemPermissionExecute()
{
    ShowPermissionsDlg(this);
}

void TMainForm::closeEvent(QCloseEvent* AEvent)
{
    if (!actSystemLogoutExecute() || MDIChildCount() > 0) {
        AEvent->ignore();
        return;
    }
    AEvent->accept();
}

// ---------------------------------------------------------------- desktop

void TMainForm::PrepareDesktopImage()
{
    const QSize size = MDIClient->viewport()->size();
    if (!FClientImage.isNull() && FClientImage.size() == size)
        return;
    FClientImage = QImage(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    QPainter p(&FClientImage);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRect area(QPoint(0, 0), size);
    if (!DesktopImages[0].isNull())
        p.drawImage(area, DesktopImages[0]);
    else
        p.fillRect(area, palette().color(QPalette::Dark));
    const QImage& picture = DesktopImages[1];
    if (!picture.isNull() && size.width() > 0 && size.height() > 0) {
        // Fitted inside the area keeping its proportions, centred.
        QSize fit;
        if (double(picture.width()) / size.width() > double(picture.height()) / size.height())
            fit = QSize(size.width(), int(qint64(picture.height()) * size.width() / picture.width()));
        else
            fit = QSize(int(qint64(picture.width()) * size.height() / picture.height()), size.height());
        const QRect target(QPoint((size.width() - fit.width()) / 2, (size.height() - fit.height()) / 2), fit);
        p.drawImage(target, picture);
    }
    const QImage& mark = DesktopImages[2];
    if (!mark.isNull())
        p.drawImage(QPoint(size.width() - mark.width(), size.height() - mark.height()), mark);
}

// ---------------------------------------------------------------- messages

bool TMainForm::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (MDIClient && AObject == MDIClient->viewport() && AEvent->type() == QEvent::Paint) {
        if (MDIChildCount() == 0) {
            FDeferEraseBackground = false;
            PrepareDesktopImage();
            QPainter p(MDIClient->viewport());
            p.drawImage(0, 0, FClientImage);
            return true;
        }
        FDeferEraseBackground = true;
        return false;
    }
    if (AEvent->type() == QEvent::KeyPress) {
        auto* tree = qobject_cast<QTreeWidget*>(AObject);
        const int key = static_cast<QKeyEvent*>(AEvent)->key();
        if (tree && tree->window() == this && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            OpenFunction(tree->currentItem());
            return true;
        }
    }
    return AppMessage(AObject, AEvent);
}

bool TMainForm::AppMessage(QObject* AObject, QEvent* AEvent)
{
    const QEvent::Type type = AEvent->type();
    // While long work runs, input reaches only its window.
    if (InfoApplication && InfoApplication->LockMsgHWnd != 0) {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::Close: {
            bool allowed = false;
            // The lock names a window by its address or its native window id;
            // it and everything inside it keep their input.
            const quintptr lock = InfoApplication->LockMsgHWnd;
            for (QObject* o = AObject; o && !allowed; o = o->parent()) {
                auto* w = qobject_cast<QWidget*>(o);
                allowed = quintptr(o) == lock || (w && w->internalWinId() && quintptr(w->internalWinId()) == lock);
            }
            if (!allowed) {
                AEvent->ignore();
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    if (type == QEvent::ContextMenu) {
        TMDIChild* child = ActiveMDIChild();
        auto* widget = qobject_cast<QWidget*>(AObject);
        if (child && widget && child->isAncestorOf(widget) && QApplication::activeModalWidget() == nullptr) {
            child->BringToFront();
            mnuPopup->popup(static_cast<QContextMenuEvent*>(AEvent)->globalPos());
            return true;
        }
    }
    if (type == QEvent::KeyPress || type == QEvent::MouseButtonPress) {
        if (type == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(AEvent)->button() != Qt::LeftButton)
            return false;
        if (qobject_cast<QWidget*>(AObject) && HandleGridShortcutMessage(AObject, AEvent))
            return true;
        ScheduleIdle();
    }
    return false;
}

// ---------------------------------------------------------------- hooks

IInfoEditPtr DoShowInfoObjectEditor(TInfoObjectDef* AObjectDef, const QString& AKeyValues, const QString& AActionID)
{
    IInfoEditPtr edit;
    if (!MainForm || !AObjectDef)
        return edit;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    MainForm->setUpdatesEnabled(false);
    struct Restore {
        ~Restore()
        {
            if (MainForm)
                MainForm->setUpdatesEnabled(true);
            QApplication::restoreOverrideCursor();
        }
    } restore;
    const QList<TMDIChild*> children = MainForm->MDIChildren();
    for (qsizetype i = children.size() - 1; i >= 0 && !edit; --i) {
        auto* form = qobject_cast<TInfoEditForm*>(children.at(i));
        if (!form || !form->Editor())
            continue;
        TInfoObjectDef* def = form->Editor()->GetObjectDef();
        if (def && def->ID.compare(AObjectDef->ID, Qt::CaseInsensitive) == 0 && form->Editor()->DataInEdit(AKeyValues)) {
            form->BringToFront();
            edit = form->Editor();
        }
    }
    if (!edit) {
        TexTabbedMDITabProperties* tabs = MainForm->FTabbedMDIManager->TabProperties();
        const int previous = tabs->PageIndex();
        MainForm->FTabbedMDIManager->BeginUpdate();
        try {
            auto* form = new TInfoEditForm(AObjectDef);
            MainForm->PlaceNewTab(previous, 5);
            edit = form->Editor();
        } catch (const EAbort&) {
        }
        MainForm->FTabbedMDIManager->EndUpdate();
    }
    if (edit)
        edit->OpenData(AKeyValues, AActionID);
    return edit;
}

void DoShowStatusMessage(const QString& AMessage, TShowStatusMessageKind AKind)
{
    if (!MainForm)
        return;
    if (AKind == mkCount) {
        QLabel* panel = MainForm->StatusPanels[1];
        if (panel->text() != AMessage) {
            panel->setText(AMessage);
            panel->setFixedWidth(panel->fontMetrics().horizontalAdvance(AMessage) + 10);
        }
        return;
    }
    QLabel* panel = MainForm->StatusPanels[0];
    if (!AMessage.isEmpty()) {
        panel->setText(u' ' + AMessage);
        panel->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    } else {
        panel->setText(QStringLiteral(" 就绪"));
        panel->setStyleSheet(QString());
    }
    panel->repaint();
}
