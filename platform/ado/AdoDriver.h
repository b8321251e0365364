#pragma once
// The provider layer under TADOConnection: one interface, two drivers.
//  - embedded: the T-SQL engine on a local SQLite file;
//  - ODBC: unixODBC, FreeTDS's driver for a SQL Server, or any ODBC driver
//    named through the MSDASQL provider.
// The OLE DB connection string the system's units build is parsed and mapped
// to a driver here, in one place.
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>
#include <exception>
#include <memory>

namespace kvado {

enum class ColumnType { Null, Integer, Decimal, Float, Text, DateTime, Bit, Binary };

struct ColumnInfo {
    QString name;
    ColumnType type = ColumnType::Text;
    int precision = 0;
    int scale = 0;
    int size = 0;
};

// Values as drivers hand them over: NULL -> null QVariant; Integer -> qlonglong;
// Bit -> bool; Float -> double; Decimal -> QString ("5.00000000");
// Text -> QString; DateTime -> QDateTime; Binary -> QByteArray.
struct ResultSet {
    QList<ColumnInfo> columns;
    QList<QList<QVariant>> rows;
};

// One entry of the provider's error collection.
struct ProviderError {
    QString description;
    int nativeError = 0;
    QString sqlState;
    QString source;
    bool isError = true; // false for informational messages
};

struct BatchResult {
    QList<ResultSet> resultSets;
    QList<ProviderError> errors; // errors and informational messages, in order
    qint64 rowsAffected = -1;
    bool hasErrors() const;
};

// Raised by a driver that cannot connect or whose connection became unusable.
class DriverError : public std::exception {
public:
    explicit DriverError(QList<ProviderError> errors);
    const char* what() const noexcept override { return FText.c_str(); }
    QList<ProviderError> errors;

private:
    std::string FText;
};

// A parameter of a bulk statement: its name as the statement writes it
// ("@Qty") and its SQL type ("decimal(28,8)", "nvarchar(max)", "int").
struct BulkParam {
    QString name;
    QString sqlType;
};

class Driver {
public:
    virtual ~Driver() = default;
    // Runs one batch; SQL errors come back in the result. Throws DriverError
    // when the connection is unusable.
    virtual BatchResult execute(const QString& batch, int timeoutSeconds) = 0;
    // Runs one statement (or short batch) for every row of values, prepared
    // once: the row's values bind to `params` in order. rowsAffected totals
    // the rows changed; the first failing row ends the run with its errors.
    virtual BatchResult executeBulk(const QList<BulkParam>& params, const QString& statement,
                                    const QList<QList<QVariant>>& rows, int timeoutSeconds) = 0;
    virtual void beginTransaction() = 0;
    virtual void commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // Rolls back what a failed batch left open of a transaction it began (its
    // caller began none). A server keeps such a transaction and its locks for
    // the session, as ADO over SQL Server does; the embedded engine ends it.
    virtual void rollbackLeftOver() {}
    virtual QString providerName() const = 0;
    // Why the database refuses writes: its file, or the folder of its file, may
    // not be written by this user (an embedded account set); None when it may be written.
    enum class ReadOnlyCause { None, File, Folder };
    virtual ReadOnlyCause readOnlyCause() const { return ReadOnlyCause::None; }
};

// Keyword/value pairs of a connection string. Keywords are compared without
// regard to case; values may be quoted with ' or " (the quote doubled inside).
class ConnectionStringParts {
public:
    static ConnectionStringParts parse(const QString& text);
    QString value(const QString& keyword) const;
    bool contains(const QString& keyword) const;
    QStringList keywords() const { return FOrder; }

private:
    QMap<QString, QString> FValues; // lower-case keyword -> value
    QStringList FOrder;
};

// Quotes a connection-string value when it would otherwise be misread:
// values holding ';', '=', a quote, or leading or trailing blanks are put in
// double quotes (single quotes when the value holds a double quote, the
// delimiter doubled when it holds both). Ordinary values come back unchanged.
QString quoteConnectionValue(const QString& value);

// Where a connection string leads.
struct DriverTarget {
    enum Kind { None, Embedded, Odbc } kind = None;
    QString databaseFile;     // Embedded
    QString odbcConnection;   // Odbc
};

// Maps an OLE DB connection string to a driver:
//  - Data Source holding a '/' (a local file path) opens the embedded engine
//    on that file, for any provider of the SQL Server family;
//  - Provider=MSDASQL passes "Extended Properties" (or a DSN in Data Source)
//    to the ODBC driver manager unchanged: this is how tests reach the SQLite
//    ODBC driver, e.g. Provider=MSDASQL;Extended Properties="Driver=SQLite3;Database=/tmp/x.db";
//  - any other Data Source is a SQL Server reached through FreeTDS: server,
//    Initial Catalog, User ID and Password; a blank User ID or Integrated
//    Security asks for a trusted (Kerberos) login.
DriverTarget resolveConnectionString(const QString& connectionString);

// Opens the driver for a connection string. Throws DriverError.
std::unique_ptr<Driver> openDriver(const QString& connectionString, int loginTimeoutSeconds);

// The name FreeTDS's driver is registered under; KORVANE_SQLSERVER_ODBC_DRIVER overrides it.
QString sqlServerOdbcDriverName();

} // namespace kvado
