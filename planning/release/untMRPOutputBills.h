#pragma once
// Writing the records of a release run as ERP bills: the write-back templates
// each bill row carries, the head and row values of a bill, and the walk that
// opens, fills and saves one bill after another through the ERP integration
// interface. Nothing here touches widgets or the database itself: the output
// view hands in what it does around each bill (material lists, the plan state,
// result lines, the tree).
#include "untApplication.h"
#include "untERPaccess.h"
#include "untMRPOutputRecs.h"
#include "untMRPOutputTree.h"

#include <QDateTime>
#include <functional>

// The statement that records a released quantity on a planned supply
// (placeholders of TMRPOutputRun::SupplyWriteBackFmt); its error block rolls
// back the ERP's transaction.
QString SupplyWriteBackTemplate(const QString& AUserID, const QDateTime& ANow, int ASchemeIID);
// The statement that adds a released substitute quantity to QZ_MRP_DestAlters
// (placeholders of TMRPOutputRun::AlterWriteBackFmt).
QString AlterWriteBackTemplate(int ASchemeIID);
// Marks a released scheme as output started (9). A scheme closed or withdrawn
// meanwhile is no longer released (8) and keeps its state.
QString PlanStateOutputStartedSQL(int ASchemeIID);

// A date as the ERP takes it: days since 1899-12-30 (null for no date).
QVariant OutputDateValue(const QDate& ADate);

// Sets the head values of a new bill for its first record and option record.
void SetOutputBillHead(IValueList& AHead, const TMRPOutputRec& ARec, const TMRPOutputOptions& AOptions,
                       const QString& AUserID);
// Fills a new "Rows" row for a record: origin, item and BOM, the lot rule
// (stored back into the record), quantities, dates, note and write-back; for
// purchase rows also the substitute groups, in lists named ARowNo "/" group.
void SetOutputBillRow(IBill& ABill, IValueList& ARow, TMRPOutputRec& ARec, const TMRPOutputOptions& AOptions,
                      int ARowNo);

// What the output view does around the bills of a run.
struct TMRPOutputBillEvents {
    // Esc was pressed and the user confirmed stopping (tested between bills).
    std::function<bool()> Escape;
    // Adds the material list of a production or subcontract row (row number
    // ARowNo) to the open bill; an exception ends the run.
    std::function<void(TMRPOutputRec& ARec, const IBillPtr& ABill, int ARowNo)> LoadBOM;
    // The first bill of the run was saved.
    std::function<void()> FirstSaved;
    // A result line under the generation header.
    std::function<void(TMessageKind AKind, const QString& AText)> Line;
    // A record of a saved bill, to be shown as output.
    std::function<void(const TMRPOutputRec& ARec)> Saved;
    // The name of a bill type in the result lines.
    std::function<QString(int ABillType)> TypeName;
};

struct TMRPOutputBillResult {
    int Rows = 0;            // records of the run
    int RowsSaved = 0;
    int BillsSaved = 0;
    int RowsFailed = 0;
    bool Aborted = false;    // stopped with Esc before the last bill
    bool Stopped = false;    // ended at once: the database takes no more writes
    QString StopReason;      // the refusal that ended it
    TMessageKind Kind = mkInformation;
    QString Summary;
};

// The generation header line of a run of ARows records.
QString OutputGenerationHeader(int ARows);

// Whether a refused save says the database can take no more writes: a full
// disk or log, a read-only database, a lost connection.
bool OutputSaveErrorEndsRun(const QString& AError);

// Orders the run's records, cuts them into bills and saves each bill through
// AERP. A refused save is reported and the next bill follows, unless the
// refusal ends the run (OutputSaveErrorEndsRun): then nothing more is tried
// and the summary says why it stopped; an exception of the integration
// library or of LoadBOM leaves the walk (bills saved before stay saved).
TMRPOutputBillResult WriteOutputBills(TMRPOutputRun& ARun, IERPAccess& AERP, const QString& AUserID,
                                      const TMRPOutputBillEvents& AEvents);

// Moves a saved quantity onto a tree row and the rows above it: the row and
// each ancestor count it as released and no longer to release (a demand row's
// sibling alternatives without children count it as released too); leaving a
// substitute row for its demand the quantity is converted by their planned
// quantities. Answers the level-0 row reached.
const void* ApplyOutputToNode(TMRPOutputTreeAccess& A, const void* ANode, double AQty);
