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
#include "untLocale.h"
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
    // Children go first, while the bar they reset still exists; each form before
    // its frame, so that what a form does on leaving finds every frame whole.
    for (QMdiSubWindow* sub : MDIClient->subWindowList()) {
        delete sub->widget();
        delete sub;
    }
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
    // The Chinese texts of the platform's standard dialogs and buttons.
    LoadPlatformTranslation(ProgramFolder());
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
