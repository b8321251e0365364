#pragma once
// The window of a frame that a library supplies for an info object.
#include "clsMDIChild.h"
#include "untLibraryExports.h"

class TInfoObjectDef;

class TInfoFrameForm : public TMDIChild {
    Q_OBJECT
public:
    // Raises the silent EAbort when the library, its export or the frame is missing.
    TInfoFrameForm(TInfoObjectDef* AObjectDef, const QString& ACaption);
    ~TInfoFrameForm() override;

    void ProcessIdle() override;
    void RefreshMainUI() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    TInfoObjectDef* ObjectDef() const { return FObjectDef; }
    const IInfoFramePtr& ObjFrame() const { return FObjFrame; }

protected:
    bool CanClose() override;

private:
    TInfoObjectDef* FObjectDef;
    IInfoFramePtr FObjFrame;
};
