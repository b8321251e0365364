#pragma once
// The output options of one target bill type: how tracking and plan periods
// are merged, how many rows one output bill may hold, the keys by which rows
// are split into bills and sorted inside a bill, substitutes, material use,
// the lot rule, and the department and employee that head the bills. Each
// user keeps them per bill type in the settings.
#include <QString>

struct TMRPOutputOptions {
    int MergeTrack = 0;       // 0: the tracking of the MRP results; k + 1: merge by "MrpTrackType" value k
    bool MergePeriods = false; // merge the quantities of all plan periods
    int MaxRows = 1;          // detail rows of one output bill, at least 1
    int SplitBy1 = 0, SplitBy2 = 0, SplitBy3 = 0; // key codes splitting rows into bills; 0 = none
    int SortBy1 = 0, SortBy2 = 0, SortBy3 = 0;    // key codes ordering rows inside a bill; 0 = none
    int ItemSubs = 0;         // 0 what the run and output produced, 1 all, 2 none
    bool OutPBoms = false;    // output the material use of the supplies
    bool LotRule = false;     // enforce the lot rule
    QString DepartmentID;     // DeptID written into the bills
    QString EmployeeID;       // EmpID written into the bills (salesman or applicant)
};

// Key codes of the split and sort lists.
enum TMRPOutputKey {
    okNone = 0,
    okSupplier = 1, // "供应单位"
    okBuyer = 2,    // "采购员"
    okPlanner = 3,  // "计划员"
    okOrigin = 4,   // "主需求"
    okItemNo = 5,   // "物料代码"
    okDate = 6,     // "交货日期"
};

// The ERP bill kind a planning bill type is output as; 0 for any type that is
// not output.
int BillTypeToOutputSlot(int ABillType);
// Subcontracted supplies are output as bill type 24 instead of 36 (system-wide).
bool GetOutputDirectOO();
// Reads the login user's stored options of a bill type over the family presets
// and the ERP's row limit; fields without preset or stored value keep what
// AOptions holds. A failure of the ERP library raises.
void LoadMRPOutputOptions(int ABillType, TMRPOutputOptions& AOptions);
// Stores the options of a bill type for the login user, all or none; False
// (after one error box) when the database refused them.
bool SaveMRPOutputOptions(int ABillType, const TMRPOutputOptions& AOptions);
