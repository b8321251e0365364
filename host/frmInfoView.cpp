#include "frmInfoView.h"

#include "frmMain.h"
#include "clsInfoView.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"

#include <QVBoxLayout>

#if __has_include("clsMasterDetailView.h")
#include "clsMasterDetailView.h"
#define KV_HAVE_MASTER_DETAIL_VIEW 1
#endif

namespace {

// The master-detail view's relation syncing, reached only where the view has
// the member (a view without relations needs none of it).
template <typename T>
auto setSyncDisabled(T* AView, bool AValue, int) -> decltype(AView->FSyncRelationDisabled = AValue, void())
{
    AView->FSyncRelationDisabled = AValue;
}
template <typename T>
void setSyncDisabled(T*, bool, long)
{
}
template <typename T>
auto refreshRelations(T* AView, int) -> decltype(AView->RefreshRelations(), void())
{
    AView->RefreshRelations();
}
template <typename T>
void refreshRelations(T*, long)
{
}

#ifdef KV_HAVE_MASTER_DETAIL_VIEW
using THostView = TInfoMasterDetailView;
#else
using THostView = TCustomInfoView;
#endif

} // namespace

void InitInfoViewFormUnit()
{
    if (InfoApplication)
        InfoApplication->GetInfoObjectViewProc = DoGetInfoObjectView;
}

IInfoViewPtr DoGetInfoObjectView(TInfoObjectDef* AObjectDef)
{
    if (!AObjectDef)
        return IInfoViewPtr();
    return CreateInfoView<THostView>(nullptr, AObjectDef);
}

TInfoViewForm::TInfoViewForm(TInfoObjectDef* AObjectDef, const QString& ACaption) : FObjectDef(AObjectDef)
{
    FViewFrame = DoGetInfoObjectView(AObjectDef);
    if (!FViewFrame)
        Abort();
    setWindowTitle(ACaption);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, TColorToQColor(ContentColor()));
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FViewFrame->SetParentControl(this);
    FViewFrame->SetViewCaption(ACaption);
    ShowChild();
    FViewFrame->InitializeView(QString(), IInfoViewPtr());
}

TInfoViewForm::~TInfoViewForm() = default;

void TInfoViewForm::ProcessIdle()
{
    if (!MainForm || MainForm->ActiveMDIChild() != this)
        return;
    try {
        if (!FInitDone) {
            FInitDone = true;
            RefreshMainUI();
            FViewFrame->RefreshData(true);
            FViewFrame->MakeFocus();
            return;
        }
        const IInfoViewPtr active = FViewFrame->GetActiveView();
        TInfoObjectDef* def = active ? active->GetObjectDef() : nullptr;
        if (def && def != FObjectDef) {
            FObjectDef = def;
            RefreshMainUI();
        }
    } catch (...) {
        // Idle work never stops the application.
    }
}

void TInfoViewForm::RefreshMainUI()
{
    if (FInitDone && InfoApplication)
        InfoApplication->ResetMainActionsBar(FObjectDef, false);
}

bool TInfoViewForm::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    return FViewFrame->QueryCommandState(ACommandIndex, AState);
}

bool TInfoViewForm::ExecCommand(int ACommandIndex)
{
    return FViewFrame->ExecCommand(ACommandIndex);
}

bool TInfoViewForm::CanClose()
{
    return FViewFrame->QueryClose();
}

void TInfoViewForm::SetSyncRelationDisabled(bool AValue)
{
    if (auto* view = dynamic_cast<THostView*>(FViewFrame.get()))
        setSyncDisabled(view, AValue, 0);
}

void TInfoViewForm::RefreshRelations()
{
    if (auto* view = dynamic_cast<THostView*>(FViewFrame.get()))
        refreshRelations(view, 0);
}
