#include "frmInfoFrame.h"

#include "untMDIHost.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untLibraryLoader.h"

#include <QVBoxLayout>

namespace {

IInfoFramePtr LoadFrame(TInfoObjectDef* AObjectDef)
{
    IInfoFramePtr frame;
    if (!AObjectDef)
        return frame;
    auto proc = reinterpret_cast<TLoadInfoFrameProc>(GetDllProc(AObjectDef->DllName, QStringLiteral("LoadInfoFrame")));
    if (proc)
        proc(frame, InfoApplication, AObjectDef);
    return frame;
}

} // namespace

TInfoFrameForm::TInfoFrameForm(TInfoObjectDef* AObjectDef, const QString& ACaption)
    : FObjectDef(AObjectDef), FObjFrame(LoadFrame(AObjectDef))
{
    if (!FObjFrame)
        Abort();
    setWindowTitle(ACaption);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, TColorToQColor(ContentColor()));
    setPalette(pal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FObjFrame->SetParentControl(this);
    ShowChild();
}

TInfoFrameForm::~TInfoFrameForm() = default;

void TInfoFrameForm::ProcessIdle()
{
    if (!MDIHost() || MDIHost()->ActiveMDIChild() != this || !FObjFrame)
        return;
    try {
        FObjFrame->ProcessIdle();
    } catch (...) {
    }
}

void TInfoFrameForm::RefreshMainUI()
{
    if (!FObjFrame)
        return;
    try {
        FObjFrame->RefreshMainUI(); // the frame sets the action bar itself
    } catch (...) {
    }
}

bool TInfoFrameForm::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    try {
        return FObjFrame->QueryCommandState(ACommandIndex, AState);
    } catch (...) {
        return TMDIChild::QueryCommandState(ACommandIndex, AState);
    }
}

bool TInfoFrameForm::ExecCommand(int ACommandIndex)
{
    try {
        return FObjFrame->ExecCommand(ACommandIndex);
    } catch (...) {
        return TMDIChild::ExecCommand(ACommandIndex);
    }
}

bool TInfoFrameForm::CanClose()
{
    return !FObjFrame || FObjFrame->QueryClose();
}
