#pragma once
// The tabbed MDI manager: turns the main window's MDI area into one tab per
// child window. Each child fills the area under the tab strip; children are
// never minimised, maximised, tiled or cascaded; the main window's caption is
// composed from a mask with the active child's caption; children close through
// their tabs by their own close handling, which may refuse.
//
// Plays the role of the component library's tabbed-MDI component on top of
// QMdiArea in its tabbed view mode (the tab strip is QMdiArea's own tab bar).
#include "Exceptions.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QObject>
#include <QPointer>
#include <QString>

class QTabBar;
class QWidget;

class EexTabbedMDIManagerException : public Exception {
public:
    using Exception::Exception;
};

class TexTabbedMDIManager;

// One MDI child and its tab.
class TexTabbedMDIPage {
public:
    TexTabbedMDIPage(TexTabbedMDIManager* AManager, QMdiSubWindow* AWindow) : FTabbedMDIManager(AManager), FPage(AWindow) {}
    // The child form shown in the page.
    QWidget* MDIChild() const;
    QMdiSubWindow* SubWindow() const { return FPage; }
    // The tab image: an index into the tab properties' images, -1 = none.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int AValue);
    // The tab's position.
    int Index() const;

private:
    TexTabbedMDIManager* FTabbedMDIManager;
    QPointer<QMdiSubWindow> FPage;
    int FImageIndex = -1;
};

// Tab options and the list of pages, in tab order.
class TexTabbedMDITabProperties {
public:
    explicit TexTabbedMDITabProperties(TexTabbedMDIManager* AManager) : FTabbedMDIManager(AManager) {}

    bool CloseButtonMode = true; // a close button on every tab
    bool HotTrack = true;
    int TabHeight = 27;
    QList<QIcon> Images;

    int PageCount() const;
    // nullptr outside 0..PageCount-1.
    TexTabbedMDIPage* GetPage(int AIndex) const;
    TexTabbedMDIPage* Pages(int AIndex) const { return GetPage(AIndex); }
    TexTabbedMDIPage* ActivePage() const;
    int PageIndex() const;
    // Outside 0..PageCount-1 nothing happens; inside, that child becomes active.
    void SetPageIndex(int AValue);
    // Moves a tab and its page together.
    void MoveTab(int ACurrentIntex, int ANewIndex);

private:
    TexTabbedMDIManager* FTabbedMDIManager;
};

class TexTabbedMDIManager : public QObject {
    Q_OBJECT
public:
    // AOwner must be a window holding an MDI area; one manager per window.
    explicit TexTabbedMDIManager(QWidget* AOwner);
    ~TexTabbedMDIManager() override;

    bool Active() const { return FActive; }
    // Activation errors leave the manager inactive and are not raised.
    void SetActive(bool AValue);

    // Default "[MainFormCaption] - [ChildFormCaption]"; "%" stands for itself.
    QString FormCaptionMask() const { return FFormCaptionMask; }
    void SetFormCaptionMask(const QString& AValue);
    // The main window's own caption (without the child's part).
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& AValue);
    // The caption the main window shows now.
    QString DisplayedCaption() const;

    TexTabbedMDITabProperties* TabProperties() { return &FTabProperties; }
    QMdiArea* ClientArea() const { return FClient; }
    QTabBar* TabBar() const;
    TexTabbedMDIPage* PageOf(QMdiSubWindow* AWindow);

    void BeginUpdate();
    void EndUpdate(bool AForceUpdate = false);
    // Copies caption mask, tab properties and Active from another manager.
    void Assign(const TexTabbedMDIManager& ASource);

    // The window that counts as the application's main form (activation at
    // run time is only allowed on it while one is set).
    static QPointer<QWidget>& ApplicationMainForm();

    // The tab text of a child caption: ampersands doubled so they show.
    static QString TabCaptionOf(const QString& ACaption);

signals:
    void PageAdded(TexTabbedMDIPage* APage);

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override;

private:
    bool FActive = false;
    QString FCaption;
    QString FFormCaptionMask;
    QPointer<QWidget> FForm;
    QPointer<QMdiArea> FClient;
    // The area's viewport, watched by the event filter: compared as it is, since
    // the filter also sees events while the area itself is being destroyed
    QPointer<QWidget> FViewport;
    bool FMDIChildsMaximized = false;
    QPointer<QMdiSubWindow> FMaximizedChild;
    TexTabbedMDITabProperties FTabProperties;
    QHash<QMdiSubWindow*, TexTabbedMDIPage*> FPages;
    bool FSettingCaption = false;
    int FUpdateCount = 0;

    void Bind();
    void Unbind();
    void AddPage(QMdiSubWindow* AWindow);
    void RemovePage(QMdiSubWindow* AWindow);
    void RefreshTabCaption(QMdiSubWindow* AWindow);
    void ApplyTabProperties();
    void ResendCaption();
    friend class TexTabbedMDIPage;
    friend class TexTabbedMDITabProperties;
};

// Unit start-up: the process-wide list of managers.
void InitTabbedMDIUnit();
const QList<TexTabbedMDIManager*>& TabbedMDIManagers();
