#pragma once
// SQL access shared by every unit: the connection string of a database kind,
// the standard settings of queries and connections, running one SQL text with
// the caller's choice of showing, swallowing or passing on a failure, and the
// message the user sees for a failure.
#include "Ado.h"

class QObject;

enum TDBType { dbMSSQL, dbOracle, dbAccess };

// One connection and one query per deliverable, created at start-up and kept
// until exit; the login binds them to the logged-in database.
extern TADOConnection* GlobalADOConnection;
extern TADOQuery* GlobalADOQuery;

// The connection-string text for a database kind. Values that would break the
// text (';', '=', quotes, leading or trailing blanks) are quoted; ordinary
// values stand as they are.
QString BuildConnectionString(TDBType dbType, const QString& location, const QString& database, const QString& loginID,
                              const QString& password, const QString& options, bool exclusive);

// Puts the connection string on a TADOConnection, a TCustomADODataSet or a
// TADOCommand (on its connection when it has one); any other object is left
// alone. Nothing is opened here.
void ApplyConnectionString(QObject* target, TDBType dbType, const QString& location, const QString& database,
                           const QString& loginID, const QString& password, const QString& options, bool exclusive);

void SetupADOQuery(TADOQuery* query);
void SetupADOConnection(TADOConnection* connection);

// Runs the text on the query: opens it (aOpen) or executes it. A failure is
// shown when aShow, then raised again when aReraise, else swallowed (False).
bool ExecSQLText(TADOQuery* query, const QString& sql, bool aOpen, bool aReraise, bool aShow);

// Shows a failure: nothing for EAbort; the first provider error of the data
// object's connection as "错误: %s (错误号: %d)"; the general error text when
// there is no data object or no provider error to show.
void ShowADOError(const Exception& e, QObject* dataObject);
