#pragma once
// The run-MRP command of the plan-scheme workbench: which manual supply
// adjustments to keep, the engine's run with the run-log panel as its message
// sink (progress lines as they come, Esc to stop), the refresh afterwards.
#include "untMRPCommandHost.h"

class TMRPRunLogPanel;

// The keep choices of a run: a first run keeps nothing and only asks for a
// go-ahead; a re-run asks which kinds of adjustments to keep. False when the
// user cancelled.
bool AskMRPKeepChoices(const TPlanScheme& AScheme, bool& AKeepTypeAdjusts, bool& AKeepBomAdjusts, bool& AKeepQtyAdjusts);

// actRunMRPExecute: True when the run finished and was stored.
bool ExecuteRunMRP(const TMRPCommandHost& AHost, TMRPRunLogPanel& ALog);
