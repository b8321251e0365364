#pragma once
// The main-demand command of the plan-scheme workbench: a scheme fed by
// forecasts and orders has its main demand rebuilt by the engine; a scheme
// whose main demand is imported takes rows picked from business bills or
// another scheme's supplies, another scheme's main demand, or rows read from
// an external file by the host's import wizard. Picked and imported rows are
// gathered in #QZ_MRP_Main on the scheme's connection and then replace the
// scheme's rows in one transaction.
#include "clsPickEdit.h"
#include "dlgMRPMainSrc.h"
#include "untApplication.h"
#include "untMRPCommandHost.h"

#include <QSet>
#include <QString>
#include <array>
#include <memory>

class TADOQuery;
class TCustomADODataSet;

// ---- Pure helpers --------------------------------------------------------

// The main-demand period of a date: the period holding it; a date before the
// first period goes to the delay period (0), one after the last to the exceed
// period (the last), one in a gap between periods to the next period.
int MainDemandPeriodIndex(const TPlanPeriods& APeriods, TDateTime ADate);

// The source of a pick import (types 0-6 and 11).
struct TMRPMainPickSource {
    QString ObjectID;
    int BillType = 0;     // 0 for another scheme's supplies (they keep their own)
    QString Condition;    // with "%d" for the source scheme of supplies
    QString ExtJoin;
    QString OrderBy;
};
// False for an import type that is no pick import.
bool GetMainPickSource(TMRPMainImportType AType, TMRPMainPickSource& ASource);
// The select list of a pick source; the property, tag and group columns come
// from the source's definition (BuildFieldValueCaseSQL).
QString BuildMainPickSelect(TMRPMainImportType AType);

// The bill lookup of an external import for one source object, select list
// and condition with the placeholders %0:d bill type, %1:s quoted bill number,
// %2:d line and %3:s quoted item number.
QString BuildBillLookupSelect(const QString& AObjectID);
QString BuildBillLookupCondition(const QString& AObjectID);
// The bill-lookup statements of external imports, built on first use and
// kept while the plug-in is loaded; a new login drops them (the statements
// follow the user's definitions).
TMRPSelectCache& MainImportLookupCache();
// Fills the four placeholders of a kept lookup statement.
QString FormatBillLookup(const QString& AStatement, int ABillType, const QString& ABillNo, int ALine, const QString& AItemNo);

// The carry-over of write type 0: the scheme's rows that no gathered row
// stands for. A row with a bill ID is matched by bill type, bill ID and line;
// a free-demand row (no bill ID) by bill number, line, item and properties;
// any other row without a bill ID is never matched, so it is kept.
QString BuildMainCarryOverSQL(int ASchemeIID);
// Replaces the scheme's rows by the gathered ones and moves its state.
QString BuildMainReplaceSQL(int ASchemeIID);

// ---- The command ---------------------------------------------------------

class TMRPMainFetch {
public:
    explicit TMRPMainFetch(const TMRPCommandHost& AHost);
    ~TMRPMainFetch();
    TMRPMainFetch(const TMRPMainFetch&) = delete;
    TMRPMainFetch& operator=(const TMRPMainFetch&) = delete;

    // actRunMPSExecute: True when the main demand was rebuilt or imported.
    bool Execute();

    bool ImportFromBusinessData(int ASrcSchemeIID, bool AShowFilter);
    // The pick list's after-pick event; raises on a database error.
    void WriteImportedMainRows(TCustomADODataSet* ADataSet, const TBookmarks& ASelRecords);
    bool ImportFromExternalData();
    // The import wizard's per-record callback.
    void ImportMainRecord(const TVariantArray& ARecord, TMessageKind& AMessageKind, QString& AMessageText, int& AMessageField);
    // Offers an optional free-demand field; its position, 0 when not offered.
    int AddImportField(const QString& AFieldID);
    // The exchange fields of an external import of the current type.
    void BuildImportFields();

    TExchangeFieldRecs FImportFields;
    TMRPMainImportType FImportType = itSelectSO;
    TMPSOverwriteType FImportWriteType = wtInsertOrUpdate;
    int FImportVarCount = 0;
    std::array<int, 10> FImportVarProps{};
    int FImportVarTag = 0;
    int FImportVarSubTag = 0;
    int FImportVarGroupNo = 0;
    QString FImportSQL;

private:
    // Appends a statement with its error guard; runs the text once it is long.
    void AddImportStatement(const QString& AStatement);
    void RunImportSQL();
    // Runs a batch on the scheme's connection; with AShowError a failure
    // shows the database error and answers False, else it raises.
    bool RunOnScheme(const QString& ASQL, bool AShowError);
    bool ReplaceMainDemand();
    void DropMainTempTable();

    TMRPCommandHost FHost;
    std::unique_ptr<TADOQuery> FWriteQuery;
    std::unique_ptr<TADOQuery> FReadQuery;
    // Positions of the date, quantity, adjustment and first period columns.
    int FDatePos = 0;
    int FQtyPos = 0;
    int FAdjPos = -1;
    int FPeriodPos = 0;
    // Merge keys of rows written by statements still waiting in FImportSQL.
    QSet<QString> FPendingKeys;
};
