#pragma once
// Automatic deduction of forecast lines by sales-order and export-order lines:
// each open forecast line, earliest delivery first, is consumed by the open
// order lines of its item (or of items planned under it), customer and tag
// whose delivery falls inside the forecast's date window. Every match is a
// row of QZ_MRP_Deduction plus the automatic quantities of the forecast's and
// the order's extension rows. Manual deductions are never touched.
#include "untMRPDataTypes.h"

#include <cstdint>

// The date window of a forecast delivered on ADay (a day number): first and
// last day, both inclusive.
void GetAutoDeductWindow(const TAuotDeductOptions& AOptions, std::int64_t ADay, std::int64_t& ABegin,
                         std::int64_t& AEnd);

// Deducts the open forecast lines in the user's scope, after taking back the
// earlier automatic deductions of those lines unless the options keep them.
// The whole run is one transaction on the plug-in's connection and runs
// alone: a second run, from this or another workstation, waits for the first
// to finish (or fails when it waits too long) and then sees its matches.
// True when every forecast line was processed and the run was committed; on
// False nothing of the run is left in the database.
bool RunAutoDeduction(const TAuotDeductOptions& AOptions);
