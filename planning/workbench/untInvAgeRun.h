#pragma once
// The inventory-age analysis run: the options read from the view scheme's
// parameter text, the SQL texts of each step, and the run itself on the
// library's query. The stock on hand at the cut-off is explained pass by pass
// by its newest receipts, the explained quantities are dated and bucketed
// into age groups, and the result is stored as one result set of
// QZ_MRP_InvAgeScheme with its item rows and receipt lines.
#include "untInvAgeGroups.h"

#include <QDate>
#include <QString>
#include <functional>

class TADOQuery;
class TInfoObjectDef;

// The options of one analysis, as the settings dialog writes them.
struct TInvAgeOptions {
    bool CurrentStock = false;  // "[InvType]" non-zero: the stock of today
    QDate CutOff;               // today for the current stock, else "[InvDate]"
    bool AllStocks = true;
    QString SelStocks;          // stock IDs, each followed by "|"
    QString Criteria;           // filter code over QZ_MRP.InvFilter
    bool MergeBatch = true;
    bool MergeStock = true;
    bool MergePlace = true;
    bool MergeTrack = true;
    int AgeType = 0;            // 0 weighted average, 1 oldest, else newest
    QString AgeGroups;
    int PlanScheme = 0;
};

// Reads the options of a parameter text; ATODAY stands in for the date of
// today (a missing or unreadable "[InvDate]" is the day before).
TInvAgeOptions ReadInvAgeOptions(const QString& AParams, const QDate& AToday);

// "null" for the current stock, else the cut-off as 'yyyymmdd'.
QString InvAgeDateLiteral(const TInvAgeOptions& AOptions);
// "$$StockID$$ in ('A','B')" from the "|"-terminated stock IDs; empty when
// all stocks take part or no ID is given.
QString InvAgeStockCondition(const TInvAgeOptions& AOptions);
// The stock condition and the criteria condition joined and quoted as one SQL
// text literal ('' when both are empty).
QString InvAgeFilterLiteral(const QString& AStockCondition, const QString& ACriteriaCondition);
// The age-group part of the date update: "\r" with no group, else the case
// expression that sets BillGroup (1-based) by the receipt date.
QString InvAgeGroupSQL(const TAgeGroups& AGroups, const QDate& ACutOff);
// Spreads the explained quantity of each receipt line of a pass over the
// stock row it belongs to (and adds it to the row's explained quantity).
QString InvAgeAssignSQL();
// The step that dates the receipt lines and builds the item rows.
QString InvAgeBuildSQL(const TInvAgeOptions& AOptions, const QString& AFilterLiteral);

// Deletes the rows of a result set (ADropScheme False), or the result set
// with the user's sets older than 7 days and every orphaned row (True).
// True while AResultSchemeIID is 0.
bool ClearInvAgeResults(TADOQuery* AQuery, int AResultSchemeIID, bool ADropScheme, const QString& AUserID);

class TInvAgeRun {
public:
    TInvAgeRun(TADOQuery* AQuery, TInfoObjectDef* AObjectDef);

    // Polled between receipt passes; True stops the run (nothing is saved).
    std::function<bool()> OnCheckEscape;
    // The date of today (the clock's unless a caller says otherwise).
    QDate Today = QDate::currentDate();

    // Runs the analysis for the options of AParams into the result set
    // AResultSchemeIID (made when 0). True only when the results are saved;
    // a run that finds no stock empties the result set and answers how that
    // went.
    bool Execute(const QString& AParams, int& AResultSchemeIID);

private:
    TADOQuery* FQuery;
    TInfoObjectDef* FObjectDef;

    bool exec(const QString& ASQL, bool AOpen);
    bool receiptPasses(const QString& ADateLiteral, const QString& AUndoSQL);
    bool origins();
    bool save(int& AResultSchemeIID);
};
