#pragma once
// The window of an info object's editor, supplied by a library: its caption
// and colour follow the editor's edit mode.
#include "clsMDIChild.h"
#include "untLibraryExports.h"

class TInfoObjectDef;

class TInfoEditForm : public TMDIChild {
    Q_OBJECT
public:
    // Raises the silent EAbort when the library, its export or the editor is missing.
    explicit TInfoEditForm(TInfoObjectDef* AObjectDef);
    ~TInfoEditForm() override;

    void ProcessIdle() override;
    void RefreshMainUI() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    TInfoObjectDef* ObjectDef() const { return FObjectDef; }
    const IInfoEditPtr& Editor() const { return FEditor; }

protected:
    bool CanClose() override;

private:
    TInfoObjectDef* FObjectDef;
    IInfoEditPtr FEditor;
    TEditMode FLastEditMode = emNone;
    void SetFormColor(const QColor& AColor);
};
