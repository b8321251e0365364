// Creation of a fresh demo account set: the schema and data scripts of the
// demo folder, carried as resources, run batch by batch on a new file of the
// embedded engine.
#pragma once

#include <QList>
#include <QString>

namespace kvtsql { class Connection; }

namespace kvdemo {

struct Script {
    QString name;   // "schema/01_sys.sql"
    QString text;
};

// The account set's scripts in the order they run: the schema scripts, then the
// data scripts, each group by file name.
QList<Script> accountSetScripts();

// Splits a script into its batches at lines holding only "go" (any case, blanks
// around allowed). Each batch keeps the number of its first line in the script.
struct Batch {
    int firstLine = 1;
    QString text;
};
QList<Batch> splitBatches(const QString& script);

// Runs the scripts batch by batch; stops at the first batch that reports an
// error and describes it (script, line, the engine's message) in *error.
bool runScripts(kvtsql::Connection& connection, const QList<Script>& scripts, QString* error);

// Creates the account-set file from the given scripts (the demo's own when none
// are given). An existing file is never touched. The set is built beside the
// target and takes its name only when every script ran (kvtsql::buildDatabaseFile),
// so a failed or killed build leaves no half-built account set under its name.
bool createAccountSet(const QString& fileName, QString* error);
bool createAccountSet(const QString& fileName, const QList<Script>& scripts, QString* error);

} // namespace kvdemo
