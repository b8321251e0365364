#pragma once
// The databases the data-access suite runs on: a fresh file per test, reached
// through the embedded engine or through ODBC (the SQLite ODBC driver).
#include <QString>
#include <QTemporaryDir>

#ifdef KV_HAVE_TSQL
#include "ScratchDatabase.h"
#endif

enum class TestDriver { Embedded, Odbc };

inline QString testDriverName(TestDriver d)
{
    return d == TestDriver::Embedded ? QStringLiteral("Embedded") : QStringLiteral("Odbc");
}

// A connection string for a new database file in dir. The ODBC form names the
// SQLite3 ODBC driver through the MSDASQL provider.
inline QString testConnectionString(TestDriver d, const QTemporaryDir& dir)
{
    const QString file = dir.filePath(QStringLiteral("suite.db"));
#ifdef KV_HAVE_TSQL
    if (d == TestDriver::Embedded)
        return QStringLiteral("Provider=SQLOLEDB.1;Data Source=%1;Initial Catalog=suite").arg(scratchDatabase(file));
#endif
    return QStringLiteral("Provider=MSDASQL;Extended Properties=\"Driver=SQLite3;Database=%1\"").arg(file);
}

inline QList<TestDriver> availableTestDrivers()
{
#ifdef KV_HAVE_TSQL
    return {TestDriver::Embedded, TestDriver::Odbc};
#else
    return {TestDriver::Odbc};
#endif
}
