#include "frmInfoEdit.h"

#include "untMDIHost.h"
#include "untCommonUI.h"
#include "untInfoObjectDef.h"
#include "untLibraryLoader.h"

#include <QApplication>
#include <QVBoxLayout>

namespace {

IInfoEditPtr LoadEditor(TInfoObjectDef* AObjectDef)
{
    IInfoEditPtr editor;
    if (!AObjectDef)
        return editor;
    auto proc = reinterpret_cast<TLoadInfoEditProc>(GetDllProc(AObjectDef->DllName, QStringLiteral("LoadInfoEdit")));
    if (proc)
        proc(editor, InfoApplication, AObjectDef);
    return editor;
}

QColor ButtonFaceColor()
{
    return QApplication::palette().color(QPalette::Button);
}

} // namespace

TInfoEditForm::TInfoEditForm(TInfoObjectDef* AObjectDef) : FObjectDef(AObjectDef), FEditor(LoadEditor(AObjectDef))
{
    if (!FEditor)
        Abort();
    setWindowTitle(FEditor->GetCaption());
    setAutoFillBackground(true);
    SetFormColor(ButtonFaceColor());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    FEditor->SetParentControl(this);
    ShowChild();
}

TInfoEditForm::~TInfoEditForm() = default;

void TInfoEditForm::SetFormColor(const QColor& AColor)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, AColor);
    setPalette(pal);
}

void TInfoEditForm::ProcessIdle()
{
    if (!MDIHost() || MDIHost()->ActiveMDIChild() != this || !FEditor)
        return;
    try {
        FEditor->ProcessIdle();
        const TEditMode mode = FEditor->GetEditMode();
        if (mode != FLastEditMode) {
            FLastEditMode = mode;
            const QString caption = FEditor->GetCaption();
            switch (mode) {
            case emNone: setWindowTitle(caption); break;
            case emNew: setWindowTitle(caption + QStringLiteral(" - ") + QStringLiteral("新建")); break;
            case emModify: setWindowTitle(caption + QStringLiteral(" - ") + QStringLiteral("修改")); break;
            }
            SetFormColor(mode != emNone ? TColorToQColor(EditModeColor) : ButtonFaceColor());
        }
    } catch (...) {
    }
}

void TInfoEditForm::RefreshMainUI()
{
    if (!FEditor || !InfoApplication)
        return;
    try {
        InfoApplication->ResetMainActionsBar(FObjectDef, true);
    } catch (...) {
    }
}

bool TInfoEditForm::QueryCommandState(int ACommandIndex, TCommandState& AState)
{
    try {
        return FEditor->QueryCommandState(ACommandIndex, AState);
    } catch (...) {
        return TMDIChild::QueryCommandState(ACommandIndex, AState);
    }
}

bool TInfoEditForm::ExecCommand(int ACommandIndex)
{
    try {
        return FEditor->ExecCommand(ACommandIndex);
    } catch (...) {
        return TMDIChild::ExecCommand(ACommandIndex);
    }
}

bool TInfoEditForm::CanClose()
{
    return !FEditor || FEditor->QueryClose();
}
