// The hold this process keeps on its database files, whatever other code in the
// process does with them; and what a connection does when it finds its hold gone.
#pragma once

#include <sqlite3.h>

namespace kvtsql {

struct SqlError;

// Makes SQLite's record locks in this process belong to one open file description
// per file, kept by this unit, instead of to the process: a descriptor of the
// database, its log or its shared memory that other code opens and closes (a file
// dialog reading the files it lists, a QFile) then releases nothing, where a
// POSIX record lock would be dropped by any close of any descriptor of the file.
// The locks still conflict with the ordinary record locks of other programs.
// Idempotent and thread-safe; called before the process opens its first database.
void installFileLocks();

// Watches the connection's hold on its file: a commit finding the log or shared
// memory it writes through removed or replaced by another program is refused
// (and so is every later one), and the connection's closing then writes nothing
// back into the database file.
void watchHold(sqlite3* db);

// Before a connection closes: when its hold is lost, its stale log is not copied
// into the database file.
void beforeClose(sqlite3* db);

// The error a commit refused for a lost hold answers (false for any other failure).
bool holdLostError(sqlite3* db, int resultCode, SqlError& error);

} // namespace kvtsql
