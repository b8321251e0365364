#pragma once
// What the result views of a plan scheme share: the hourglass of a load, SQL
// patterns with numbered arguments, dates as day numbers, and the scheme's
// state label.
#include "BandedGrid.h"
#include "TreeList.h"
#include "untMRPDataTypes.h"

#include <QApplication>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QLabel;
class TPlanScheme;

// The hourglass for the rest of a scope.
class TMRPWaitCursor {
public:
    TMRPWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TMRPWaitCursor() { QApplication::restoreOverrideCursor(); }
    TMRPWaitCursor(const TMRPWaitCursor&) = delete;
    TMRPWaitCursor& operator=(const TMRPWaitCursor&) = delete;
};

// One update of a tree list for the rest of a scope.
class TMRPTreeUpdate {
public:
    explicit TMRPTreeUpdate(kvui::TreeList* ATree) : FTree(ATree) { FTree->beginUpdate(); }
    ~TMRPTreeUpdate() { FTree->endUpdate(); }
    TMRPTreeUpdate(const TMRPTreeUpdate&) = delete;
    TMRPTreeUpdate& operator=(const TMRPTreeUpdate&) = delete;

private:
    kvui::TreeList* FTree;
};

// The four bands of a result grid with period columns: fixed left, scrolling,
// the periods (their own columns only) and fixed right, each identified by its
// index and not movable. Returns the index of the period band.
int AddPeriodGridBands(kvui::BandedGrid* AGrid);

// Fills "%N:d" and "%N:s" with the N-th argument in one pass, so no text of
// an argument is ever read as a placeholder; other "%" stay as they are.
QString FillPositionalArgs(const QString& APattern, const QStringList& AArgs);

// A date, date-time or date text as a day number (days since 1899-12-30 with
// the time as a fraction); a number stays; none is 0.
double VariantToDayNumber(const QVariant& AValue);

// "(" + the scheme's state text + ")", red for the states that ask for a new
// main demand or MRP run; empty without a scheme.
void ShowPlanStateLabel(QLabel* ALabel, const TPlanScheme* AScheme);

// Replaces the period columns of a grid: the old ones (last first) go, and
// one column per period is made in the band, captioned as the period, named
// the prefix and its index, bound to the field, 70 wide, right-aligned, not
// editable, movable or filterable, tagged with its index + 1 (which keeps it
// out of the stored layout); its values and texts come from the two hooks
// with the period's index.
void RebuildPeriodColumns(kvui::BandedGrid* AGrid, int ABand, const TPlanPeriods& APeriods, const QString& ANamePrefix,
                          const QString& AFieldName, TPlanPeriodCols& ACols,
                          const std::function<QVariant(int ARecord, int APeriod)>& AValue,
                          const std::function<QString(const QVariant& AValue)>& AText);
// Gives every period column the footer summary of the quantity column (and
// its group summary when it has one), or none; true when there is one.
bool CopyPeriodSummaries(const kvui::Column* AQtyColumn, const TPlanPeriodCols& ACols);
