#pragma once
// Checking, unchecking, closing, reopening and deleting forecasts through the
// account set's stored procedure QZ_MRP_UpdateForcast, which decides whether
// the change is allowed and refuses it with a database error.
#include <QString>

// AKind: 0 check, 1 uncheck, 2 close, 3 reopen, 4 delete. AForEntry "0" is the
// whole bill. True when the change went through; a refusal or any other
// database error only gives False (the callers report it).
bool UpdateForcastState(const QString& AForID, const QString& AForEntry, int AKind);

// The statement UpdateForcastState runs on the library's global query.
QString UpdateForcastStateSQL(const QString& AForID, const QString& AForEntry, int AKind, const QString& AUserID);
