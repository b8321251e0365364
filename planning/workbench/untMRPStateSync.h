#pragma once
// The state of a loaded plan scheme as the database holds it now: a release,
// a withdrawal or another planner's run changes it behind an open workbench,
// and what the new state forbids should be greyed before the user tries it.
class TPlanScheme;

// Reads the scheme's state without a box on failure; when it differs from the
// one the scheme holds, reloads the scheme's state fields and answers true.
// A scheme without identity, or one being edited (whose change must still be
// caught and refused when it is saved), is left alone.
bool SyncPlanState(TPlanScheme& AScheme);
