#pragma once
// The actions a planning view takes from its object's definition: a command
// index past the framework's own commands names one of them; and the Update
// action, which switches the view's edit mode.
#include <QString>

#include <functional>

class TInfoObjectDef;
class TCustomInfoView;

namespace ViewActions {

// The ID of the object's action that command ACommandIndex runs; empty when
// the index names none (or there is no definition).
QString ActionID(const TInfoObjectDef* AObjectDef, int ACommandIndex);

// The Update action: leaving the edit mode with unsaved edits first asks
// whether to save them (a cancel, or a failed save, keeps the mode; edits
// not saved are dropped by reading the data again, rebuilt when
// ARebuildOnDiscard); then ASetEditMode is told the other mode.
void SwitchEditMode(TCustomInfoView* AView, bool ARebuildOnDiscard, const std::function<void(bool)>& ASetEditMode);

} // namespace ViewActions
