#pragma once
// The row arithmetic of the output supply tree, apart from any widget: which
// rows are still open, how a quantity to release is entered in the stock unit
// or in the target unit, how a row's quantity follows its children's, how a
// sub-row is switched on and off, how a supply's quantity spreads over the
// plan periods, and what the substitutes of a demand come to. The output view
// reaches its tree nodes through TMRPOutputTreeAccess; tests use a plain tree.
#include <QMap>
#include <QString>
#include <QVariant>
#include <vector>

// The quantities of an output row.
enum TMRPOutputQtyField {
    oqQty,        // planned quantity (colSupQty)
    oqDestQty,    // released so far (colSupDestQty), empty counts 0
    oqDoDestQty,  // to release now, stock unit (colSupDoDestQty)
    oqDoDestQtyU, // to release now, target unit (colSupDoDestQtyU)
    oqUnDestQty,  // not released (colSupUnDestQty)
    oqUnitRate,   // stock units per target unit (colSupDestUntRate)
};

// How the arithmetic reaches the rows of a tree. A node is whatever the
// caller's tree uses; nullptr is no node.
class TMRPOutputTreeAccess {
public:
    virtual ~TMRPOutputTreeAccess() = default;
    virtual const void* Parent(const void* ANode) const = 0;
    virtual int ChildCount(const void* ANode) const = 0;
    virtual const void* Child(const void* ANode, int AIndex) const = 0;
    virtual int Level(const void* ANode) const = 0;
    virtual QVariant Get(const void* ANode, TMRPOutputQtyField AField) const = 0;
    virtual void Set(const void* ANode, TMRPOutputQtyField AField, const QVariant& AValue) = 0;
    // The row's message about a quantity that could not be worked out; an
    // empty text clears it.
    virtual void SetMessage(const void* ANode, const QString& AText) = 0;
};

// Whether a cell holds no value (invalid or null).
bool OutputIsNone(const QVariant& AValue);
// A cell's value as a number; none, or a value that is no number, counts 0.
double OutputNumber(const QVariant& AValue);

// Messages a row gets instead of a division by zero.
extern const QString OutputMsgZeroUnitRate;   // the target unit has no rate
extern const QString OutputMsgZeroPlanQty;    // a sub-row without planned quantity
extern const QString OutputMsgZeroSubQty;     // a substitute ratio with a zero side

// Rounds to 8 decimals as quantities are stored.
double OutputRound8(double AValue);
// A > B beyond the rounding noise of two quantities.
bool OutputQtyGreater(double A, double B);

// The row and every row above it still have planned quantity beyond what was
// released.
bool IsOutputRowOpen(const TMRPOutputTreeAccess& A, const void* ANode);

// AQty in the target unit: AQty / ARate rounded. False (and an empty value)
// when the rate is 0 or missing.
bool OutputQtyInUnit(double AQty, const QVariant& ARate, QVariant& AResult);

// Entering the quantity to release of a row in the stock unit (AInStockUnit)
// or in the target unit; an empty value counts 0. The row's other quantities
// and every row above it follow.
void EditOutputQty(TMRPOutputTreeAccess& A, const void* ANode, const QVariant& AValue, bool AInStockUnit);

// Sets a row's quantity to release to the sum of its children's (a deeper
// row's quantity counted in the row's item by the ratio of the planned
// quantities) and carries the change to its parent.
void RecalcOutputFromChildren(TMRPOutputTreeAccess& A, const void* ARow);

// Switches a sub-row: with nothing to release it takes its whole open
// quantity, else it gives it back; the rows above follow.
void ToggleOutputRow(TMRPOutputTreeAccess& A, const void* ANode);

// The spread of a supply over the plan periods.
struct TMRPPeriodSpread {
    QMap<int, double> Periods; // period index -> quantity
    double LimitedSum = 0;     // what falls in the periods up to the end period, added exactly
    bool BeyondEnd = false;    // some quantity falls in a period after the end period
};
// Reads a hints text ("0A=12.5" lines); without hints the whole quantity
// lies in the row's own period. Periods without a column (at or beyond
// APeriodCount) and unreadable lines are skipped. Periods up to AEndPeriod
// add to LimitedSum.
TMRPPeriodSpread SpreadOutputPeriods(const QString& AHints, double AQty, int AOwnPeriod, int APeriodCount, int AEndPeriod);
// A supply row's quantity to release: the limited sum when the release is
// limited by period and some quantity lies beyond the end period, else the
// whole planned quantity, less what was released; never below 0 and never
// above what is open, worked out exactly at AScale decimals (the item's).
double OutputQtyToRelease(const TMRPPeriodSpread& ASpread, double AQty, double ADestQty, bool ALimitByPeriod, int AScale = 8);

// One demand a supply covers, read from the supply's demand list.
struct TMRPOutputDemand {
    QString IID;
    double Qty = 0;
    int Period = 0;
    QString Hints; // its hint lines, each closed by CR LF
};
// Reads a demand list ("|IID:0A=12.5" lines): consecutive lines of one demand
// make one demand; lines without ":" are skipped, unreadable quantities count 0.
std::vector<TMRPOutputDemand> ParseOutputDemands(const QString& APDmdIIDs);
// The inserts of the demands into #QZ_MRP_OutputDmds.
QString OutputDemandInsertSQL(const std::vector<TMRPOutputDemand>& ADemands);

// A substitute's quantity for a demand quantity by its ratio (ASubQty of the
// demand's item : ASubRQty of the substitute). False when the ratio has a 0.
bool OutputSubstituteQty(double AQty, double ASubQty, double ASubRQty, double& AResult);

// What the MRP group of a substitute is worked out from: the supply row's
// origin and group.
struct TMRPOutputOrigin {
    int OrigType = 0;
    QString OrigID, OrigNo;
    int OrigEntry = 0;
    QString OrigTag, OrigSubTag, CustName;
    int GroupType = 0;
    QString GroupNo;
};
// The select items SubGroupType and SubGroupNo by the substitute's MRP group
// rule (mt.ItmMrpGroup).
QString OutputSubstituteGroupSQL(const TMRPOutputOrigin& AOrigin);
