#pragma once
// The records of a release run: which rows of the output supply tree end up
// in the same detail row of a target bill and in the same bill, and in which
// order; the checks every row passes before anything is written; the lot rule
// of a bill row. Rows come in as plain values (TMRPOutputRow, filled by the
// output view from its tree) and records and bills go out: nothing here knows
// widgets or runs SQL, so every rule is tested on its own.
#include "untMRPDataTypes.h"
#include "untMRPOutputOptions.h"
#include "untMRPOutputQty.h"

#include <QDate>
#include <QHash>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

// Bill types of the output: production order, the two subcontract types,
// purchase requisition.
constexpr int obtProduction = 22;
constexpr int obtSubcontract = 24;
constexpr int obtSubcontractDirect = 36;
constexpr int obtPurchase = 38;

// One row of the output supply tree as the release run reads it. Values are
// kept by the tree's column names without their "col" prefix ("SupIID",
// "SupDestType", "ItmMinQty", ...); a missing value is empty.
struct TMRPOutputRow {
    int Level = 0;                                // 0 planned supply, 1 demand or group, 2 substitute
    const TMRPOutputRow* Parent = nullptr;
    std::vector<const TMRPOutputRow*> Children;   // loaded child rows in tree order
    bool Checked = false;                         // the check box of a level-0 row
    void* Node = nullptr;                         // the tree node the row stands for
    QHash<QString, QVariant> Values;

    QVariant Value(const QString& AColumn) const { return Values.value(AColumn); }
    bool IsEmpty(const QString& AColumn) const;
    QString Text(const QString& AColumn) const;
    // A number; an empty value gives AEmpty.
    double Number(const QString& AColumn, double AEmpty = 0) const;
    int Whole(const QString& AColumn, int AEmpty = 0) const;
    QDate Date(const QString& AColumn) const;
    // The level-0 row that holds this row.
    const TMRPOutputRow* Top() const;
    bool IsLeaf() const { return Children.empty(); }
};

struct TMRPOutputSubItem {
    QString ItemID, ItemProps;
    QString ItemProp[10];
    int MRPGroupType = 0;
    QString MRPGroupNo, SuppID;
    double SubRate = 0;
};

// One substitute group of a purchase requisition row.
struct TMRPOutputSub {
    QString Key;
    std::vector<TMRPOutputSubItem> Items;
    double Qty = 0;
};

struct TSourceNodeRec {
    const TMRPOutputRow* Node = nullptr;
    double Qty = 0;
};

// One detail row of a target bill; several tree rows may merge into it.
struct TMRPOutputRec {
    QString SupIID, SupIIDs;
    int SupType = 0;
    int SupOrigType = 0;
    QString SupOrigID, SupOrigNo;
    int SupOrigEntry = 0;
    QString SupOrigItmID, SupOrigCustID, SupOrigCustName, SupOrigCustPO, SupOrigTag, SupOrigSubTag;
    int SupGroupType = 0;
    QString SupGroupNo, SupItmID, SupItmNo, SupItmProps;
    QString SupItmProp[10];
    double SupMinQty = 0, SupLotQty = 0;
    // The quantity of the bill row, exact at the item's decimals (SupQty),
    // and the same as a number for the bill.
    TOutputQty SupQty;
    double SupStdQty = 0;
    QString SupUnitID;
    double SupUnitRate = 1;
    int SupBomType = 0;
    QString SupBomID, SupSuppID, SupCurID, SupBuyerID, SupPlannerID, SupNote;
    QDate SupDate, SupBillDate, SupDrawDate;
    QString SupUpdateSQL;
    std::vector<TMRPOutputSub> SupSubItems;
    std::vector<TSourceNodeRec> SupNodes;
};

// The working state of one release run and its record building, ordering and
// cutting into bills.
class TMRPOutputRun {
public:
    TMRPOutputOptions OptionsMO, OptionsOO, OptionsPR;
    QDate Today;                 // the server's date at the start of the run
    TInt64DynArray Holidays;     // rest days of the scheme's MRP calendar
    TPlanPeriods MrpPeriods;     // the scheme's MRP plan periods
    bool ItemSubsPR = false;     // purchase requisitions carry their substitute groups
    // Write-back templates, filled in one pass by FormatWriteBack ("%N:s"
    // piece N, "%s" the next piece, "%%" a percent sign): supply (0 bill
    // number, 1 supply ID, 2 quantity, 3 quoted note) and substitution (0
    // supply ID, 1 demand ID, 2 quoted item, 3 quoted properties, 4 quantity).
    QString SupplyWriteBackFmt, AlterWriteBackFmt;

    // The option record a bill type selects: 22 production, 24 and 36
    // subcontracting, every other type purchase.
    TMRPOutputOptions& GetOutputOptions(int ABillType);
    const TMRPOutputOptions& GetOutputOptions(int ABillType) const;

    // The merge key of a row: bill type, item, properties, group, supplier,
    // then the BOM (production and subcontracting under a tracking option) and
    // the tracking part the row's option record asks for.
    QString MergeKey(const TMRPOutputRow& ARow) const;
    // Adds a released leaf row, split over its plan periods unless its option
    // record merges them: one piece per period, each in its own period on a
    // working day and never before the piece before it. Quantities are exact
    // at the item's decimals; what is left below them is no piece.
    void AddOutputNode(const TMRPOutputRow& ARow);
    // Adds one piece of a row due ADate (already a working day, see
    // OutputPieceDate) with quantity AQty; AOffset is what earlier pieces of
    // the row already took. Its start is its due date less the row's lead
    // time in working days.
    void AddOutputRec(const TMRPOutputRow& ARow, QString AKey, QDate ADate, const TOutputQty& AQty, const TOutputQty& AOffset);
    // The due date of a row's piece of plan period APeriod (-1: the row's own
    // date ARowDate) that comes after a piece due APrevious (invalid: none).
    QDate OutputPieceDate(int APeriod, const QDate& ARowDate, const QDate& APrevious) const;

    const std::vector<TMRPOutputRec>& Records() const { return FRecs; }
    // A record as the bill writing changes it (the lot rule).
    TMRPOutputRec& Record(int AIndex) { return FRecs[size_t(AIndex)]; }

    // Compares records I and J by one split or sort key code.
    int CompareOutputRecsByKey(int AKeyNo, int I, int J) const;
    // Bill type, then the split keys; with ASplitOnly off also the sort keys
    // and at last the order of creation.
    int CompareOutputRows(int I, int J, bool ASplitOnly) const;
    // The records in output order cut into bills (lists of record indexes): a
    // bill takes the next record while it holds fewer than MaxRows rows and
    // the record has its type and split-key values.
    std::vector<std::vector<int>> CutIntoBills() const;

private:
    std::vector<TMRPOutputRec> FRecs;
    QHash<QString, int> FKeys;   // case-folded merge key -> record
    const TMRPOutputRow* FLastRow = nullptr;
};

// Fills a template in one pass with ready texts: "%N:s" or "%N:d" is text N,
// "%s" or "%d" the next one, "%%" a percent sign; a text is never read as a
// template itself.
QString FormatWriteBack(const QString& AFormat, const QStringList& AArgs);

// The lot rule of a bill row: at least the minimum, and above it whole lots.
double ApplyOutputLotRule(double AStdQty, double AMinQty, double ALotQty);
// The same on an exact quantity, the result at the quantity's decimals.
TOutputQty ApplyOutputLotRule(const TOutputQty& AStdQty, double AMinQty, double ALotQty);

// ---- the checks before output -------------------------------------------------

// One finding of the checks: a warning or an error on a column of a row.
struct TMRPOutputFinding {
    enum Kind { Warning = 2, Error = 3 };
    Kind FindingKind = Warning;
    QString Text;
    QString Column;     // the column the finding concerns
};

struct TMRPOutputPermissions {
    bool CanToMO = false;   // may output production orders
    bool CanToOR = false;   // may output subcontract orders
    bool CanToPR = false;   // may output purchase requisitions
};

struct TMRPOutputCheck {
    std::vector<TMRPOutputFinding> Findings;
    // The row is a released leaf that passed the permission check: a candidate
    // for output, added to the records when no error was found.
    bool Candidate = false;
    int Errors() const;
    int Warnings() const;
};

// The statement that tells whether a level-0 row's main demand exists and is
// checked (empty for origin types that are not checked).
QString MainDemandCheckSQL(const TMRPOutputRow& ARow);

// The checks of one row, in the order the run makes them. AMainDemandExists
// answers the statement above; ACaption names a column as the view shows it.
TMRPOutputCheck CheckOutputRow(const TMRPOutputRow& ARow, const QDate& AToday, const TMRPOutputPermissions& APermissions,
                               const std::function<bool(const QString& ASQL)>& AMainDemandExists,
                               const std::function<QString(const QString& AColumn)>& ACaption);

// The captions of the checked columns as the output view lays them out.
QString OutputColumnCaption(const QString& AColumn);

// What the run does after every row was checked.
enum TMRPOutputDecision {
    odNothingToOutput,  // "未发现有可投放的数据。"
    odStopOnErrors,     // errors found: nothing is written
    odAskOnWarnings,    // warnings found: the user decides
    odOutput,
};
TMRPOutputDecision DecideAfterChecks(int ACandidates, int AErrors, int AWarnings);
