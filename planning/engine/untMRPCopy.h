#pragma once
// Copying a plan scheme's stored results into another scheme row for row,
// every row identity kept, so that the pegging between demands, supplies and
// allotments stays valid in the copy.
class TADOQuery;

// Copies the main demand of the source scheme to the target scheme and, unless
// AMainDemandOnly, its MRP results (demands, supplies, supply adjustments,
// allotments, balance and run log); released quantities are not carried into
// the copied supplies. The caller creates the target row first. Each table is
// one statement on the query; the first database error is shown and raised to
// the caller, and what was copied before it stays (the caller decides).
void CopySchemeResults(int ASrcSchemeIID, int ATgtSchemeIID, TADOQuery* AQuery, bool AMainDemandOnly);
