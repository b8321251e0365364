#pragma once
// The procedures a library named in an info-object definition exports by name,
// as the host calls them and the planning library implements them: one
// declaration for both sides.
#include "clsInfoView.h"
#include "untApplication.h"

class QWidget;

using TSetDllEnvironmentProc = void (*)(TInfoApplication* AApplication);
// The library's view for the definition, or nil for an identifier it does not know.
using TLoadInfoViewProc = void (*)(IInfoViewPtr& AView, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
using TLoadInfoFrameProc = void (*)(IInfoFramePtr& AFrame, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
using TLoadInfoFormProc = QWidget* (*)(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
using TLoadInfoEditProc = void (*)(IInfoEditPtr& AEdit, TInfoApplication* AApplication, TInfoObjectDef* AObjectDef);
using TLoadInfoActionProc = void (*)(TInfoApplication* AApplication, TInfoObjectDef* AObjectDef, const QString& AActionID,
                                     const IInfoViewPtr& AView, bool& ARefresh);
