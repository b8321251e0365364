#include "clsMasterDetailView.h"

#include "UCommon.h"
#include "clsAutoGridView.h"
#include "untCommonUI.h"
#include "untLibraryLoader.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScopeGuard>
#include <QLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QString DetailObjectSection = QStringLiteral("[DetailObject]");
const QString DetailHeightSection = QStringLiteral("[DetailHeight]");
const QString DetailInEditMode = QStringLiteral("关联信息[%s]处于编辑状态, 不能隐藏!");

} // namespace

// The bottom splitter above the detail area (the role of the component
// suite's splitter): a 4-pixel bar that resizes the area below it by dragging
// and opens or closes it by a click on the hot zone in its middle (a tenth of
// its width). It remembers the area's height while closed.
class TDetailSplitter : public QWidget {
public:
    TDetailSplitter(QWidget* AParent, QWidget* AControl)
        : QWidget(AParent)
        , FControl(AControl)
    {
        setObjectName(QStringLiteral("DetailSplitter"));
        setFixedHeight(4);
        setCursor(Qt::SplitVCursor);
        setMouseTracking(true);
    }

    std::function<void()> OnBeforeOpen;
    std::function<void()> OnAfterOpen;
    std::function<bool()> OnBeforeClose; // false refuses the close
    std::function<void()> OnAfterClose;

    QColor Color = QColor(0xd4, 0xd0, 0xc8);

    bool IsOpen() const { return FOpen; }
    int RememberedSize() const { return FRemembered; }
    int ControlHeight() const { return FHeight; }

    void SetControlHeight(int AHeight)
    {
        FHeight = std::max(0, AHeight);
        FControl->setFixedHeight(FHeight);
    }

    void OpenSplitter()
    {
        if (FOpen)
            return;
        if (OnBeforeOpen)
            OnBeforeOpen();
        FOpen = true;
        SetControlHeight(FRemembered);
        FControl->show();
        update();
        if (OnAfterOpen)
            OnAfterOpen();
    }

    void CloseSplitter()
    {
        if (!FOpen)
            return;
        if (OnBeforeClose && !OnBeforeClose())
            return;
        FRemembered = FHeight;
        FOpen = false;
        FControl->hide();
        update();
        if (OnAfterClose)
            OnAfterClose();
    }

protected:
    QRect hotZone() const
    {
        const int w = std::max(20, width() / 10);
        return QRect((width() - w) / 2, 0, w, height());
    }

    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Color);
        const QRect zone = hotZone();
        p.fillRect(zone, Color.darker(115));
        // Small arrows tell which way a click moves the area.
        p.setPen(Color.darker(200));
        for (int x = zone.left() + 6; x < zone.right() - 4; x += 8) {
            if (FOpen) {
                p.drawLine(x, 1, x + 2, 3);
                p.drawLine(x + 2, 3, x + 4, 1);
            } else {
                p.drawLine(x, 3, x + 2, 1);
                p.drawLine(x + 2, 1, x + 4, 3);
            }
        }
    }

    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() != Qt::LeftButton)
            return;
        if (hotZone().contains(e->position().toPoint())) {
            FOpen ? CloseSplitter() : OpenSplitter();
            return;
        }
        if (!FOpen)
            return;
        FDragging = true;
        FDragStartY = int(e->globalPosition().y());
        FDragStartHeight = FHeight;
    }

    void mouseMoveEvent(QMouseEvent* e) override
    {
        setCursor(hotZone().contains(e->position().toPoint()) ? Qt::PointingHandCursor : Qt::SplitVCursor);
        if (!FDragging)
            return;
        int h = FDragStartHeight - (int(e->globalPosition().y()) - FDragStartY);
        const int most = parentWidget() ? parentWidget()->height() - 50 : h;
        h = std::clamp(h, 20, std::max(20, most));
        SetControlHeight(h);
    }

    void mouseReleaseEvent(QMouseEvent*) override { FDragging = false; }

private:
    QWidget* FControl;
    bool FOpen = true;
    int FHeight = 0;
    int FRemembered = 0;
    bool FDragging = false;
    int FDragStartY = 0;
    int FDragStartHeight = 0;
};

// ---- free routines ----------------------------------------------------------------

IInfoViewPtr CreateRelationView(TInfoObjectDef* AObjectDef)
{
    if (!AObjectDef)
        return IInfoViewPtr();
    if (AObjectDef->ObjType == 10) {
        auto proc = reinterpret_cast<TLoadInfoViewProc>(GetDllProc(AObjectDef->DllName, QStringLiteral("LoadInfoView")));
        if (!proc)
            return IInfoViewPtr();
        IInfoViewPtr view;
        proc(view, InfoApplication, AObjectDef);
        return view;
    }
    return CreateInfoView<TAutoGridView>(nullptr, AObjectDef);
}

int DetailAreaHeight(int AClientHeight, const QString& ADetailHeight)
{
    bool ok = false;
    const double fraction = ADetailHeight.trimmed().toDouble(&ok);
    const int h = ok ? int(AClientHeight * fraction) : 0;
    if (h == 0)
        return AClientHeight / 2 - 10;
    if (h > 99)
        return std::min(h, AClientHeight - 50);
    return 100;
}

QString RelationMasterValues(const QString& AFieldMaps, const std::function<QString(const QString&)>& AFocusedValue)
{
    QString values;
    for (const QString& line : AFieldMaps.split(u'|')) {
        const qsizetype eq = line.indexOf(u'=');
        const QString left = (eq < 0 ? line : line.left(eq)).trimmed();
        QString right = eq < 0 ? QString() : line.mid(eq + 1).trimmed();
        if (left.isEmpty())
            continue;
        QString leftValue;
        if (left.startsWith(u'{'))
            leftValue = QString(left).remove(u'{').remove(u'}');
        else
            leftValue = AFocusedValue(left);
        if (right.startsWith(u'{')) {
            right.remove(u'{').remove(u'}');
            if (right.compare(leftValue, Qt::CaseInsensitive) != 0)
                return QString(); // the master row is not of the detail's kind
            continue;
        }
        values += QStringLiteral("\r\n") + right + u'=' + leftValue;
    }
    return values.mid(2);
}

// ---- TInfoMasterDetailView ------------------------------------------------------------

TInfoMasterDetailView::TInfoMasterDetailView(QWidget* AOwner, TInfoObjectDef* AObjectDef)
    : TCustomInfoView(AOwner, AObjectDef)
{
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    FMasterHost = new QWidget(this);
    FMasterHost->setObjectName(QStringLiteral("MasterHost"));
    auto* hostBox = new QVBoxLayout(FMasterHost);
    hostBox->setContentsMargins(0, 0, 0, 0);
    box->addWidget(FMasterHost, 1);

    FViewFrames.resize(size_t(relationCount()) + 1);
    FViewFrames[0] = CreateRelationView(AObjectDef);
    if (!FViewFrames[0])
        Abort();
    FViewFrames[0]->SetParentControl(FMasterHost);
    FActiveView = FViewFrames[0];
    if (relationCount() > 0)
        FViewFrames[0]->SetOnFocusedRecordChanged([this](QObject*) {
            if (!FSyncRelationDisabled)
                RefreshRelations();
        });
}

TInfoMasterDetailView::~TInfoMasterDetailView()
{
    if (FSplitter) {
        FSplitter->OnBeforeOpen = nullptr;
        FSplitter->OnAfterOpen = nullptr;
        FSplitter->OnBeforeClose = nullptr;
        FSplitter->OnAfterClose = nullptr;
    }
    if (FDetailPages)
        FDetailPages->disconnect(this);
    if (!FViewFrames.empty() && FViewFrames[0])
        FViewFrames[0]->SetOnFocusedRecordChanged(nullptr);
    FActiveView.reset();
    // The views placed in this view's controls go with them.
    for (auto it = FViewFrames.rbegin(); it != FViewFrames.rend(); ++it)
        it->reset();
}

int TInfoMasterDetailView::relationCount() const
{
    return ObjectDef ? int(ObjectDef->Relations.size()) : 0;
}

IInfoViewPtr TInfoMasterDetailView::DetailView(int AIndex) const
{
    return AIndex >= 0 && size_t(AIndex) + 1 < FViewFrames.size() ? FViewFrames[size_t(AIndex) + 1] : IInfoViewPtr();
}

bool TInfoMasterDetailView::DetailAreaOpen() const
{
    return FSplitter && FSplitter->IsOpen();
}

void TInfoMasterDetailView::CloseDetailArea()
{
    if (FSplitter)
        FSplitter->CloseSplitter();
}

int TInfoMasterDetailView::DetailAreaHeightNow() const
{
    return FSplitter ? FSplitter->ControlHeight() : 0;
}

IInfoViewPtr TInfoMasterDetailView::activePageView() const
{
    return FDetailPages ? DetailView(FDetailPages->currentIndex()) : IInfoViewPtr();
}

void TInfoMasterDetailView::lockUpdates()
{
    if (FUpdateLocks++ == 0)
        setUpdatesEnabled(false);
}

void TInfoMasterDetailView::unlockUpdates()
{
    if (FUpdateLocks > 0 && --FUpdateLocks == 0)
        setUpdatesEnabled(true);
}

void TInfoMasterDetailView::InitializeView(const QString& AViewAsDetailID, const IInfoViewPtr& AMasterView)
{
    const IInfoViewPtr master = MasterView();
    master->InitializeView(AViewAsDetailID, AMasterView);
    if (relationCount() == 0)
        return;
    const PViewScheme scheme = master->GetViewScheme();
    const QString detailObject = scheme ? ReadViewSchemeParam(scheme->Params, DetailObjectSection) : QString();
    int found = -1;
    int body = -1;
    for (int i = relationCount() - 1; i >= 0; --i) {
        const TInfoRelationDef& relation = ObjectDef->Relations[size_t(i)];
        if (!detailObject.isEmpty() && relation.ID.compare(detailObject, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
        if (relation.AsBody)
            body = i;
    }
    if (found >= 0)
        ShowRelation(found, true);
    else if (body >= 0)
        ShowRelation(body, true);
}

void TInfoMasterDetailView::ShowRelation(int AIndex, bool AInitializing)
{
    if (FRelationOpening || relationCount() == 0 || AIndex < 0 || AIndex >= relationCount())
        return;
    FRelationOpening = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    lockUpdates();
    const auto restore = qScopeGuard([this] {
        unlockUpdates();
        QApplication::restoreOverrideCursor();
        FRelationOpening = false;
    });
    const IInfoViewPtr master = MasterView();
    try {
        if (!FSplitter) {
            // The height is measured once the window has laid this view out.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            const int client = contentsRect().height();
            const PViewScheme scheme = master->GetViewScheme();
            FDetailPages = new QTabWidget(this);
            FDetailPages->setObjectName(QStringLiteral("DetailPages"));
            FDetailPages->setDocumentMode(true);
            FSplitter = new TDetailSplitter(this, FDetailPages);
            FSplitter->Color = TColorToQColor(ContentColor());
            FSplitter->OnBeforeOpen = [this] { lockUpdates(); };
            FSplitter->OnAfterOpen = [this] {
                if (const IInfoViewPtr view = activePageView(); view && !view->DataRefreshed())
                    view->RefreshData(true);
                unlockUpdates();
            };
            FSplitter->OnBeforeClose = [this] {
                for (int i = relationCount() - 1; i >= 0; --i) {
                    const IInfoViewPtr view = DetailView(i);
                    if (view && view->GetEditMode()) {
                        FDetailPages->setCurrentIndex(i);
                        ShowInfo(FormatMessage(DetailInEditMode, {view->GetViewCaption()}));
                        return false;
                    }
                }
                lockUpdates();
                return true;
            };
            FSplitter->OnAfterClose = [this] {
                if (const IInfoViewPtr m = MasterView())
                    m->MakeFocus();
                unlockUpdates();
            };
            layout()->addWidget(FSplitter);
            layout()->addWidget(FDetailPages);
            FSplitter->show();
            FDetailPages->show();
            FSplitter->SetControlHeight(
                DetailAreaHeight(client, scheme ? ReadViewSchemeParam(scheme->Params, DetailHeightSection) : QString()));
            for (const TInfoRelationDef& relation : ObjectDef->Relations) {
                auto* page = new QWidget(FDetailPages);
                auto* pageBox = new QVBoxLayout(page);
                pageBox->setContentsMargins(0, 0, 0, 0);
                FDetailPages->addTab(page, u' ' + relation.Name + u' ');
            }
            FDetailPages->setCurrentIndex(AIndex);
            connect(FDetailPages, &QTabWidget::currentChanged, this, &TInfoMasterDetailView::pageChanged);
        } else if (FDetailPages->currentIndex() != AIndex) {
            FDetailPages->setCurrentIndex(AIndex);
        }

        if (!DetailView(AIndex)) {
            const TInfoRelationDef& relation = ObjectDef->Relations[size_t(AIndex)];
            TInfoObjectDef* def = InfoApplication->GetInfoObjectDef(relation.RelObjID);
            if (const IInfoViewPtr view = def ? CreateRelationView(def) : IInfoViewPtr()) {
                FViewFrames[size_t(AIndex) + 1] = view;
                view->SetParentControl(FDetailPages->widget(AIndex));
                view->SetViewCaption(FDetailPages->tabText(AIndex).trimmed());
                master->NotifyDetailCreated(view);
                view->InitializeView(relation.ID, master);
                if (!AInitializing)
                    LinkRelationView(AIndex);
            }
        }

        FSplitter->OpenSplitter();
        // The new page gets its size now, so the rows are read into a grid of its real height.
        if (QLayout* box = layout())
            box->activate();
        for (int level = 0; level < 4; ++level) // view, page, stack: one posted request each
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);

        if (!AInitializing)
            if (const IInfoViewPtr view = DetailView(AIndex); view && !view->DataRefreshed() && !view->GetEditMode())
                view->RefreshData(true);
    } catch (const std::exception& e) {
        ShowExceptionMessage(e);
    }
}

bool TInfoMasterDetailView::FocusRelation(const QString& ARelID)
{
    const QString id = ARelID.trimmed();
    for (int i = 0; i < relationCount(); ++i) {
        if (id.isEmpty() || ObjectDef->Relations[size_t(i)].ID.compare(id, Qt::CaseInsensitive) != 0)
            continue;
        ShowRelation(i, false);
        const IInfoViewPtr view = DetailView(i);
        if (!view)
            return false;
        if (!view->DataRefreshed() && !view->GetEditMode())
            view->RefreshData(true);
        view->MakeFocus();
        return true;
    }
    return false;
}

void TInfoMasterDetailView::pageChanged(int AIndex)
{
    if (FRelationOpening || AIndex < 0)
        return;
    if (const IInfoViewPtr view = DetailView(AIndex)) {
        if (!view->DataRefreshed() && !view->GetEditMode())
            view->RefreshData(true);
    } else {
        ShowRelation(AIndex, false);
    }
}

void TInfoMasterDetailView::LinkRelationView(int AIndex)
{
    const IInfoViewPtr view = DetailView(AIndex);
    const IInfoViewPtr master = MasterView();
    if (!view || !master || AIndex >= relationCount())
        return;
    const QString values = RelationMasterValues(ObjectDef->Relations[size_t(AIndex)].FieldMaps,
                                                [&master](const QString& field) { return master->GetFocusedRecordString(field); });
    view->SetMasterValues(values, false);
}

void TInfoMasterDetailView::RefreshRelations()
{
    for (int i = 0; i < relationCount(); ++i)
        if (DetailView(i))
            LinkRelationView(i);
    if (DetailAreaOpen())
        if (const IInfoViewPtr view = activePageView(); view && !view->GetEditMode())
            view->RefreshData(true);
}

IInfoViewPtr TInfoMasterDetailView::GetActiveView()
{
    QWidget* focused = QApplication::focusWidget();
    if (focused && focused != FActiveControl && isAncestorOf(focused)) {
        FActiveControl = focused;
        const IInfoViewPtr view = activePageView();
        FActiveView = DetailAreaOpen() && view && view->IsFocused() ? view : MasterView();
    }
    return FActiveView;
}

IInfoViewPtr TInfoMasterDetailView::GetRelationView(const QString& ARelID)
{
    const QString id = ARelID.trimmed();
    if (id.isEmpty())
        return MasterView();
    for (int i = relationCount() - 1; i >= 0; --i)
        if (ObjectDef->Relations[size_t(i)].ID.compare(id, Qt::CaseInsensitive) == 0)
            return DetailView(i);
    return IInfoViewPtr();
}

bool TInfoMasterDetailView::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    if (ACommandIndex == Commands::Relations) {
        if (relationCount() == 0) {
            AState = TCommandState();
            return true;
        }
        AState = csEnabled;
        if (DetailAreaOpen())
            AState |= csChecked;
        return true;
    }
    IInfoViewPtr view = GetActiveView();
    if (!view)
        view = MasterView();
    return view ? view->QueryCommandState(ACommandIndex, AState) : false;
}

bool TInfoMasterDetailView::ExecCommand(int ACommandIndex)
{
    if (ACommandIndex == Commands::Relations) {
        if (relationCount() == 0)
            return true;
        if (!FSplitter)
            ShowRelation(0, false);
        else if (!FSplitter->IsOpen())
            ShowRelation(FDetailPages->currentIndex(), false);
        else
            FSplitter->CloseSplitter();
        return true;
    }
    IInfoViewPtr view = GetActiveView();
    if (!view)
        view = MasterView();
    return view ? view->ExecCommand(ACommandIndex) : false;
}

bool TInfoMasterDetailView::QueryClose()
{
    const IInfoViewPtr master = MasterView();
    if (FSplitter) {
        const int client = contentsRect().height();
        if (const PViewScheme scheme = master->GetViewScheme(); scheme && client > 0) {
            if (!FSplitter->IsOpen()) {
                scheme->Params = WriteViewSchemeParam(scheme->Params, DetailHeightSection,
                                                      QString::number(double(FSplitter->RememberedSize()) / client, 'g', 15));
                scheme->Params = WriteViewSchemeParam(scheme->Params, DetailObjectSection, QString());
            } else {
                scheme->Params = WriteViewSchemeParam(scheme->Params, DetailHeightSection,
                                                      QString::number(double(FSplitter->ControlHeight()) / client, 'g', 15));
                scheme->Params = WriteViewSchemeParam(scheme->Params, DetailObjectSection,
                                                      ObjectDef->Relations[size_t(FDetailPages->currentIndex())].ID);
            }
        }
    }
    for (int i = relationCount() - 1; i >= 0; --i) {
        const IInfoViewPtr view = DetailView(i);
        if (!view)
            continue;
        if (view->NeedSave())
            FDetailPages->setCurrentIndex(i);
        if (!view->QueryClose()) {
            FDetailPages->setCurrentIndex(i);
            view->MakeFocus();
            return false;
        }
    }
    const bool result = master->QueryClose();
    if (!result)
        master->MakeFocus();
    return result;
}

void TInfoMasterDetailView::SetViewID(const QString& AID)
{
    MasterView()->SetViewID(AID);
}

void TInfoMasterDetailView::SetViewCaption(const QString& ACaption)
{
    ViewCaption = ACaption;
    MasterView()->SetViewCaption(ACaption);
}

void TInfoMasterDetailView::SetDataFilter(const QString& AFilterSQL, bool ARefrehData)
{
    MasterView()->SetDataFilter(AFilterSQL, ARefrehData);
}

void TInfoMasterDetailView::SetMasterValues(const QString& AValues, bool ARefrehData)
{
    MasterView()->SetMasterValues(AValues, ARefrehData);
}

void TInfoMasterDetailView::MakeFocus()
{
    MasterView()->MakeFocus();
}

void TInfoMasterDetailView::RefreshData(bool ARebuild)
{
    MasterView()->RefreshData(ARebuild);
}

QString TInfoMasterDetailView::GetFocusedRecordString(const QString& AFieldID)
{
    return MasterView()->GetFocusedRecordString(AFieldID);
}

bool TInfoMasterDetailView::DataRefreshed()
{
    return MasterView()->DataRefreshed();
}

void TInfoMasterDetailView::CloseData()
{
    for (const IInfoViewPtr& view : FViewFrames)
        if (view)
            view->CloseData();
}

bool TInfoMasterDetailView::GetEditMode()
{
    for (const IInfoViewPtr& view : FViewFrames)
        if (view && view->GetEditMode())
            return true;
    return false;
}

bool TInfoMasterDetailView::NeedSave()
{
    for (const IInfoViewPtr& view : FViewFrames)
        if (view && view->NeedSave())
            return true;
    return false;
}
