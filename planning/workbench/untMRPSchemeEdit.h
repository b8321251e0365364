#pragma once
// What the workbench writes when a plan scheme is saved, copied or deleted
// and which schemes it lists: the state a saved scheme gets from what the
// edit changed, the list's SQL and captions, the main-demand copy and the
// delete batch. No widgets here: the workbench frame gathers the inputs.
#include <QString>

// The parameters of a scheme that decide whether its main demand or its MRP
// result is out of date.
struct TSchemeParamValues {
    int PlanSource = 0;
    int PlanNeedScope = 0;
    int CareItemSafety = 0;
    int CareItemReplace = 0;
    int CareItemSuites = 0;
    int CareMRPTrackMode = 0;
    bool CareItemMRPTrack = false;
    bool CareItemLossRate = false;
    bool CareItemLotRule = false;
    QString PeriodsText;
    QString DataFilters;
};

// The state of a saved existing scheme (or copy) in state AState whose
// parameters went from AOld to ANew: main demand to fetch again (1), or ready
// again for an imported schedule (2, or 4 past it), or MRP to run again (4);
// otherwise unchanged.
int SavedSchemeState(int AState, const TSchemeParamValues& AOld, const TSchemeParamValues& ANew);

// The state of a new scheme: ready when its main demand is imported (source 3).
int NewSchemeState(int APlanSource);

// The visible-scheme list: the editable workbench lists the user's own
// schemes, the read-only one released schemes the user owns or that were
// shared with him or one of his groups. Unreleased first, newest first.
QString BuildSchemeListSQL(bool AMaintainMode, const QString& AUserID, const QString& AUserGroups);
// The list caption of a scheme row: its name, its release state and, for
// another user's scheme, the owner's name.
QString SchemeListCaption(const QString& AName, int AState, const QString& AOwnerID, const QString& AOwnerName,
                          const QString& ALoginUserID);

// Main-demand rows a copy takes over without the results: free needs always,
// orders while the source still gathers orders, forecasts while it still
// gathers forecasts.
QString CopiedMainBillTypes(int APlanSource);
QString BuildCopyMainSQL(int ASrcSchemeIID, int ADestSchemeIID, int APlanSource);
// The run times (and, as asked, the main-demand and MRP periods) of the
// source scheme written into its copy.
QString BuildCopySchemeTimesSQL(int ASrcSchemeIID, int ADestSchemeIID, bool ACopyMpsPeriods, bool ACopyResults);

// Deletes a scheme with every row of its results and its release receivers.
QString BuildDeleteSchemeSQL(int ASchemeIID);
