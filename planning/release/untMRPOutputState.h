#pragma once
// The plan-state gate of a release run: a scheme is output only while it is
// released (8) or its output has started (9); private schemes of the quick
// analyses always pass.
class TPlanScheme;

// Reads the scheme's state again; when it may not be output, says so in an
// error box and answers False.
bool CheckPlanStateForOutput(TPlanScheme& AScheme);
