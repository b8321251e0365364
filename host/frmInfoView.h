#pragma once
// The window of an info object's view: a master-detail view for the object,
// its data loaded at the first idle time after the window became active, the
// action bar following the focused master or detail view. Also the host's view
// factory installed as GetInfoObjectViewProc.
#include "clsMDIChild.h"

class TInfoObjectDef;

class TInfoViewForm : public TMDIChild {
    Q_OBJECT
public:
    // Raises the silent EAbort when no view can be had for the definition.
    // AFocusRelation: the ID of a relation whose detail view gets the focus
    // once the data is loaded (the window opens on that page), or empty.
    TInfoViewForm(TInfoObjectDef* AObjectDef, const QString& ACaption, const QString& AFocusRelation = QString());
    ~TInfoViewForm() override;

    void ProcessIdle() override;
    void RefreshMainUI() override;
    bool QueryCommandState(int ACommandIndex, TCommandState& AState) override;
    bool ExecCommand(int ACommandIndex) override;

    // The hosted view (the master-detail view) and the definition whose
    // actions the bar shows.
    const IInfoViewPtr& ViewFrame() const { return FViewFrame; }
    TInfoObjectDef* ObjectDef() const { return FObjectDef; }
    bool InitDone() const { return FInitDone; }

    // While set, a change of the master's focused record does not relink the
    // detail views (around a refresh after an action).
    void SetSyncRelationDisabled(bool AValue);
    // Relinks every created detail view to the master's focused record.
    void RefreshRelations();

protected:
    bool CanClose() override;

private:
    TInfoObjectDef* FObjectDef;
    IInfoViewPtr FViewFrame;
    QString FFocusRelation;
    bool FInitDone = false;
};

// Unit start-up: installs DoGetInfoObjectView as GetInfoObjectViewProc.
void InitInfoViewFormUnit();
// The host's view for a definition: a master-detail view without owner.
IInfoViewPtr DoGetInfoObjectView(TInfoObjectDef* AObjectDef);
