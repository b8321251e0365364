#pragma once
// The six entry points of the planning library QZ_MRP, exported by name with
// C linkage. Each Load... export first adopts the host's application object
// (SetDllEnvironment), then creates the library's view, frame, form or editor
// chosen by the definition's ID, or runs a named action on the rows selected
// in a host view. IDs are compared without regard to letter case.
//
// The host reaches them through GetDllProc by name and calls them through the
// procedure types of untLibraryExports.
#include "untLibraryExports.h"

class QWidget;

#define QZ_MRP_EXPORT __attribute__((visibility("default")))

extern "C" {
QZ_MRP_EXPORT void SetDllEnvironment(TInfoApplication* AApplication);
QZ_MRP_EXPORT void LoadInfoView(IInfoViewPtr& AView, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
QZ_MRP_EXPORT void LoadInfoFrame(IInfoFramePtr& AFrame, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
QZ_MRP_EXPORT QWidget* LoadInfoForm(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
QZ_MRP_EXPORT void LoadInfoEdit(IInfoEditPtr& AEdit, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
QZ_MRP_EXPORT void LoadInfoAction(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef, const QString& AActionID,
                                  const IInfoViewPtr& AView, bool& ARefresh);
}

// The forecast actions of the forecast view: state changes of the selected
// rows' bills or lines ("Delete", "Check", "UnCheck", "Close", "UnClose").
void ExecForcastAction(const IInfoViewPtr& AView, TInfoObjectDef* AObjectDef, const QString& AActionID, bool& ARefresh);
// AKind as UpdateForcastState's. Asks, runs the change once per bill (check,
// uncheck, delete) or once per line (close, reopen) and reports the outcome.
void ExecForcastStateAction(const IInfoViewPtr& AView, TInfoObjectDef* ADef, const QString& AActionID, bool& ARefresh,
                            int AKind);
