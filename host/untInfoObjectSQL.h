#pragma once
// The host's SQL builders for info objects: which data sources a piece of SQL
// needs (only the sources that the text refers to are joined), the FROM text
// and the whole SELECT statement. Installed in the application object as
// GetInfoObjectDataSourceSQLProc and GetInfoObjectSelectSQLProc.
#include <QString>

class TInfoObjectDef;
class TInfoApplication;

// True when ASQL names the alias as "alias." or "[alias]." outside quoted text,
// not preceded by a letter, digit or underscore.
bool SQLRefersToAlias(const QString& AAlias, const QString& ASQL);

// The FROM text (without the word from) of the sources that AReferedSQL needs;
// AMainFilter gets the first source's filter.
QString DoGetInfoObjectDataSourceSQL(TInfoObjectDef* AObjectDef, const QString& AReferedSQL, QString& AMainFilter);

// A complete SELECT statement, its lines ended by a carriage return.
QString DoGetInfoObjectSelectSQL(TInfoObjectDef* AObjectDef, const QString& AFieldsSQL, const QString& AFilterSQL,
    const QString& AOrderBySQL, const QString& AReferedSQL, const QString& AMainJoinSQL, const QString& AExtJoinSQL);

// Installs both builders in the application object.
void InstallInfoObjectSQLHooks(TInfoApplication* AApplication);
