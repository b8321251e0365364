#pragma once
// The deduction actions of the bill lists (forecasts, sales orders, export
// orders) and of the deduction log: run the automatic deduction, keep selected
// lines out of it or admit them again, and delete deduction records giving
// their quantities back. Each routine clears the refresh flag first and sets
// it when the list should be read again.
#include "untApplication.h"

#include <QString>

// Options dialog, then the engine's automatic deduction; the outcome is told.
void ExecAutoDeductAction(const IInfoViewPtr& AView, bool& ARefresh);
// Sets (ADisable) or clears the "no automatic deduction" flag of the selected
// lines of bill kind AKind (8 forecast, 2 sales order, otherwise export order),
// creating their extension rows when they have none.
void SetAutoDeductDisabled(const IInfoViewPtr& AView, int AKind, bool ADisable, bool& ARefresh);
// Deletes the selected deduction records and takes their quantities off the
// deducted totals of both lines, one transaction per batch.
void ClearDeductions(const IInfoViewPtr& AView, bool& ARefresh);

// Dispatchers of the sales-order, export-order and deduction-log lists by
// action ID (compared without regard to case; other IDs do nothing).
void ExecSODeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh);
void ExecSIDeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh);
void ExecDeductLogAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh);
// The deduction actions of the forecast list; True when the ID was one of them.
bool ExecForcastDeductAction(const IInfoViewPtr& AView, const QString& AActionID, bool& ARefresh);

// Longest batch text sent at once.
inline constexpr int DeductBatchLimit = 65000;
