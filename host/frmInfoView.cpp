#include "frmInfoView.h"

#include "clsMasterDetailView.h"
#include "untMDIHost.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"

#include <QApplication>
#include <QVBoxLayout>

#include <utility>

void InitInfoViewFormUnit()
{
    if (InfoApplication)
        InfoApplication->GetInfoObjectViewProc = DoGetInfoObjectView;
}

IInfoViewPtr DoGetInfoObjectView(TInfoObjectDef* AObjectDef)
{
    if (!AObjectDef)
        return IInfoViewPtr();
    return CreateInfoView<TInfoMasterDetailView>(nullptr, AObjectDef);
}

TInfoViewForm::TInfoViewForm(TInfoObjectDef* AObjectDef, const QString& ACaption, const QString& AFocusRelation)
    : FObjectDef(AObjectDef), FFocusRelation(AFocusRelation)
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
    if (!MDIHost() || MDIHost()->ActiveMDIChild() != this)
        return;
    try {
        if (!FInitDone) {
            FInitDone = true;
            RefreshMainUI();
            FViewFrame->RefreshData(true);
            FViewFrame->MakeFocus();
            return;
        }
        // The detail page the window opens on gets the focus once the data
        // are there, no dialog (the first view scheme's) is in the way and the
        // window is active again (its frame would give the focus back to the
        // master otherwise).
        if (!FFocusRelation.isEmpty() && !QApplication::activeModalWidget() && isActiveWindow()
            && QApplication::focusWidget()) {
            const QString relation = std::exchange(FFocusRelation, QString());
            if (auto* view = dynamic_cast<TInfoMasterDetailView*>(FViewFrame.get()))
                view->FocusRelation(relation);
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
    if (auto* view = dynamic_cast<TInfoMasterDetailView*>(FViewFrame.get()))
        view->FSyncRelationDisabled = AValue;
}

void TInfoViewForm::RefreshRelations()
{
    if (auto* view = dynamic_cast<TInfoMasterDetailView*>(FViewFrame.get()))
        view->RefreshRelations();
}
