#include "untTabbedMDI.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QRegularExpression>
#include <QTabBar>
#include <QTimer>

namespace {

const QString DefaultCaptionMask = QStringLiteral("[MainFormCaption] - [ChildFormCaption]");

QList<TexTabbedMDIManager*>*& managerList()
{
    static QList<TexTabbedMDIManager*>* list = nullptr;
    return list;
}

QList<TexTabbedMDIManager*>& managers()
{
    if (!managerList())
        managerList() = new QList<TexTabbedMDIManager*>();
    return *managerList();
}

} // namespace

void InitTabbedMDIUnit()
{
    managers();
}

const QList<TexTabbedMDIManager*>& TabbedMDIManagers()
{
    return managers();
}

// ---------------------------------------------------------------- page

QWidget* TexTabbedMDIPage::MDIChild() const
{
    return FPage ? FPage->widget() : nullptr;
}

void TexTabbedMDIPage::SetImageIndex(int AValue)
{
    FImageIndex = AValue;
    if (!FPage)
        return;
    const QList<QIcon>& images = FTabbedMDIManager->FTabProperties.Images;
    FPage->setWindowIcon(AValue >= 0 && AValue < images.size() ? images.at(AValue) : QIcon());
}

int TexTabbedMDIPage::Index() const
{
    if (!FPage || !FTabbedMDIManager->FClient)
        return -1;
    return int(FTabbedMDIManager->FClient->subWindowList(QMdiArea::CreationOrder).indexOf(FPage.data()));
}

// ---------------------------------------------------------------- tab properties

int TexTabbedMDITabProperties::PageCount() const
{
    QMdiArea* client = FTabbedMDIManager->FClient;
    return client && FTabbedMDIManager->FActive ? int(client->subWindowList(QMdiArea::CreationOrder).size()) : 0;
}

TexTabbedMDIPage* TexTabbedMDITabProperties::GetPage(int AIndex) const
{
    if (AIndex < 0 || AIndex >= PageCount())
        return nullptr;
    return FTabbedMDIManager->PageOf(FTabbedMDIManager->FClient->subWindowList(QMdiArea::CreationOrder).at(AIndex));
}

TexTabbedMDIPage* TexTabbedMDITabProperties::ActivePage() const
{
    QMdiArea* client = FTabbedMDIManager->FClient;
    if (!client || !FTabbedMDIManager->FActive || !client->currentSubWindow())
        return nullptr;
    return FTabbedMDIManager->PageOf(client->currentSubWindow());
}

int TexTabbedMDITabProperties::PageIndex() const
{
    TexTabbedMDIPage* page = ActivePage();
    return page ? page->Index() : -1;
}

void TexTabbedMDITabProperties::SetPageIndex(int AValue)
{
    TexTabbedMDIPage* page = GetPage(AValue);
    if (page && page->SubWindow())
        FTabbedMDIManager->FClient->setActiveSubWindow(page->SubWindow());
}

void TexTabbedMDITabProperties::MoveTab(int ACurrentIntex, int ANewIndex)
{
    const int count = PageCount();
    if (ACurrentIntex < 0 || ACurrentIntex >= count || ANewIndex < 0 || ANewIndex >= count || ACurrentIntex == ANewIndex)
        return;
    // The area follows its tab bar's moves, so tab and page stay together.
    if (QTabBar* bar = FTabbedMDIManager->TabBar())
        bar->moveTab(ACurrentIntex, ANewIndex);
}

// ---------------------------------------------------------------- manager

TexTabbedMDIManager::TexTabbedMDIManager(QWidget* AOwner)
    : QObject(nullptr), FFormCaptionMask(DefaultCaptionMask), FTabProperties(this)
{
    if (!AOwner || !AOwner->isWindow())
        throw EexTabbedMDIManagerException(QStringLiteral("Owner is not TForm"));
    for (TexTabbedMDIManager* m : managers())
        if (m->parent() == AOwner)
            throw EexTabbedMDIManagerException(QStringLiteral("TabbedMDIManager already exists"));
    setParent(AOwner);
    managers().append(this);
}

TexTabbedMDIManager::~TexTabbedMDIManager()
{
    SetActive(false);
    qDeleteAll(FPages);
    FPages.clear();
    managers().removeAll(this);
}

QPointer<QWidget>& TexTabbedMDIManager::ApplicationMainForm()
{
    static QPointer<QWidget> form;
    return form;
}

QString TexTabbedMDIManager::TabCaptionOf(const QString& ACaption)
{
    QString text = ACaption;
    text.replace(QStringLiteral("[*]"), QString());
    text.replace(u'&', QStringLiteral("&&"));
    return text;
}

QTabBar* TexTabbedMDIManager::TabBar() const
{
    return FClient ? FClient->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void TexTabbedMDIManager::SetActive(bool AValue)
{
    if (AValue == FActive)
        return;
    if (AValue) {
        try {
            Bind();
            FActive = true;
            ResendCaption();
        } catch (const EexTabbedMDIManagerException&) {
            FActive = false;
        }
    } else {
        Unbind();
        FActive = false;
    }
}

void TexTabbedMDIManager::Bind()
{
    QWidget* form = qobject_cast<QWidget*>(parent());
    QMdiArea* client = form ? form->findChild<QMdiArea*>() : nullptr;
    if (!client)
        throw EexTabbedMDIManagerException(QStringLiteral("Tabbed MDI manager's form is not an MDI form"));
    if (ApplicationMainForm() && ApplicationMainForm() != form)
        throw EexTabbedMDIManagerException(QStringLiteral("Tabbed MDI manager's form is not the application's main form"));
    FForm = form;
    FClient = client;
    FCaption = form->windowTitle();
    FMDIChildsMaximized = false;
    FMaximizedChild = nullptr;
    for (QMdiSubWindow* w : client->subWindowList()) {
        if (w->isMaximized()) {
            FMDIChildsMaximized = true;
            FMaximizedChild = w;
            w->showNormal();
        }
    }
    client->setViewMode(QMdiArea::TabbedView);
    client->setDocumentMode(true);
    client->setTabsMovable(true);
    ApplyTabProperties();
    form->installEventFilter(this);
    FViewport = client->viewport();
    FViewport->installEventFilter(this);
    connect(client, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) {
        if (w)
            PageOf(w);
        ResendCaption();
    });
    for (QMdiSubWindow* w : client->subWindowList(QMdiArea::CreationOrder))
        AddPage(w);
}

void TexTabbedMDIManager::Unbind()
{
    if (!FClient) {
        FForm = nullptr;
        FViewport = nullptr;
        return;
    }
    if (FForm)
        FForm->removeEventFilter(this);
    if (FViewport)
        FViewport->removeEventFilter(this);
    FViewport = nullptr;
    disconnect(FClient, nullptr, this, nullptr);
    for (auto it = FPages.begin(); it != FPages.end(); ++it) {
        if (it.key())
            it.key()->removeEventFilter(this);
        delete it.value();
    }
    FPages.clear();
    FClient->setViewMode(QMdiArea::SubWindowView);
    if (FMDIChildsMaximized && FMaximizedChild)
        FMaximizedChild->showMaximized();
    FMDIChildsMaximized = false;
    if (FForm) {
        FSettingCaption = true;
        FForm->setWindowTitle(FCaption);
        FSettingCaption = false;
    }
    FClient = nullptr;
    FForm = nullptr;
}

void TexTabbedMDIManager::ApplyTabProperties()
{
    if (!FClient)
        return;
    FClient->setTabsClosable(FTabProperties.CloseButtonMode);
    if (QTabBar* bar = TabBar()) {
        bar->setExpanding(false);
        bar->setUsesScrollButtons(true);
    }
}

TexTabbedMDIPage* TexTabbedMDIManager::PageOf(QMdiSubWindow* AWindow)
{
    if (!AWindow)
        return nullptr;
    if (!FPages.contains(AWindow))
        AddPage(AWindow);
    return FPages.value(AWindow);
}

void TexTabbedMDIManager::AddPage(QMdiSubWindow* AWindow)
{
    if (!AWindow || FPages.contains(AWindow) || !FClient)
        return;
    auto* page = new TexTabbedMDIPage(this, AWindow);
    FPages.insert(AWindow, page);
    AWindow->installEventFilter(this);
    connect(AWindow, &QObject::destroyed, this, [this, AWindow] { RemovePage(AWindow); });
    RefreshTabCaption(AWindow);
    emit PageAdded(page);
}

void TexTabbedMDIManager::RemovePage(QMdiSubWindow* AWindow)
{
    delete FPages.take(AWindow);
    // The area selects the next child's tab itself; the caption follows.
    QTimer::singleShot(0, this, [this] { ResendCaption(); });
}

void TexTabbedMDIManager::RefreshTabCaption(QMdiSubWindow* AWindow)
{
    if (!FClient || !AWindow)
        return;
    QTabBar* bar = TabBar();
    const int index = int(FClient->subWindowList(QMdiArea::CreationOrder).indexOf(AWindow));
    if (bar && index >= 0 && index < bar->count()) {
        bar->setTabText(index, TabCaptionOf(AWindow->windowTitle()));
        bar->setTabToolTip(index, AWindow->windowTitle());
    }
}

void TexTabbedMDIManager::SetFormCaptionMask(const QString& AValue)
{
    FFormCaptionMask = AValue;
    ResendCaption();
}

void TexTabbedMDIManager::SetCaption(const QString& AValue)
{
    FCaption = AValue;
    ResendCaption();
}

QString TexTabbedMDIManager::DisplayedCaption() const
{
    QMdiSubWindow* active = FActive && FClient ? FClient->currentSubWindow() : nullptr;
    if (!active)
        return FCaption;
    const QString child = active->windowTitle().replace(QStringLiteral("[*]"), QString());
    // One pass over the mask, so a caption that itself contains a placeholder
    // stays as it is and "%" stands for itself.
    static const QRegularExpression placeholder(QStringLiteral("\\[(MainFormCaption|ChildFormCaption)\\]"),
                                                QRegularExpression::CaseInsensitiveOption);
    QString result;
    qsizetype last = 0;
    auto it = placeholder.globalMatch(FFormCaptionMask);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        result += FFormCaptionMask.mid(last, m.capturedStart() - last);
        result += m.captured(1).compare(QLatin1String("MainFormCaption"), Qt::CaseInsensitive) == 0 ? FCaption : child;
        last = m.capturedEnd();
    }
    result += FFormCaptionMask.mid(last);
    return result;
}

void TexTabbedMDIManager::ResendCaption()
{
    if (!FForm || !FActive)
        return;
    FSettingCaption = true;
    FForm->setWindowTitle(DisplayedCaption());
    FSettingCaption = false;
}

void TexTabbedMDIManager::BeginUpdate()
{
    if (FUpdateCount++ == 0 && FClient)
        FClient->setUpdatesEnabled(false);
}

void TexTabbedMDIManager::EndUpdate(bool AForceUpdate)
{
    if (FUpdateCount > 0)
        --FUpdateCount;
    if ((FUpdateCount == 0 || AForceUpdate) && FClient) {
        FClient->setUpdatesEnabled(true);
        FClient->update();
    }
}

void TexTabbedMDIManager::Assign(const TexTabbedMDIManager& ASource)
{
    FTabProperties.CloseButtonMode = ASource.FTabProperties.CloseButtonMode;
    FTabProperties.HotTrack = ASource.FTabProperties.HotTrack;
    FTabProperties.TabHeight = ASource.FTabProperties.TabHeight;
    FTabProperties.Images = ASource.FTabProperties.Images;
    SetFormCaptionMask(ASource.FFormCaptionMask);
    ApplyTabProperties();
    SetActive(ASource.FActive);
}

bool TexTabbedMDIManager::eventFilter(QObject* AObject, QEvent* AEvent)
{
    if (AObject == FForm) {
        if (AEvent->type() == QEvent::WindowTitleChange && !FSettingCaption) {
            // Whatever the form sets is its own caption; it shows the composed one.
            FCaption = FForm->windowTitle();
            ResendCaption();
        }
        return false;
    }
    if (FViewport && AObject == FViewport.data()) {
        if (AEvent->type() == QEvent::ChildPolished)
            if (auto* w = qobject_cast<QMdiSubWindow*>(static_cast<QChildEvent*>(AEvent)->child()))
                AddPage(w);
        return false;
    }
    if (auto* w = qobject_cast<QMdiSubWindow*>(AObject); w && FPages.contains(w)) {
        switch (AEvent->type()) {
        case QEvent::WindowTitleChange: {
            // The area writes the tab text after this filter; ours follows it.
            QPointer<QMdiSubWindow> guard(w);
            QTimer::singleShot(0, this, [this, guard] {
                if (guard) {
                    RefreshTabCaption(guard);
                    if (FClient && FClient->currentSubWindow() == guard)
                        ResendCaption();
                }
            });
            break;
        }
        case QEvent::Show:
            RefreshTabCaption(w);
            break;
        case QEvent::WindowStateChange:
            // A tabbed child is never minimised: the request is undone.
            if (w->windowState() & Qt::WindowMinimized) {
                QPointer<QMdiSubWindow> guard(w);
                QTimer::singleShot(0, this, [guard] {
                    if (guard)
                        guard->setWindowState((guard->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
                });
            }
            break;
        default:
            break;
        }
    }
    return false;
}
