// kv-sql-session's commands on the account set's files (see kv_sql_session.cpp).
#pragma once

#include <QString>

// Opens and closes the account set, its log and its shared memory as other code
// of the program (a file check, a copy) would.
void touchFiles(const QString& file);

// Shows the account set's folder in each of the program's file dialogs, lets each
// list it, and closes it. Answers "dialogs N read M [names]": N dialogs shown, M
// of the folder's files opened meanwhile (by anyone) and their names.
QString showFileDialogs(const QString& file);
