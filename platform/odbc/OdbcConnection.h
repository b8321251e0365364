#pragma once
// A connection to a data source through the ODBC driver manager.
// Batches run as one SQLExecDirect; every result set the server sends back is
// fetched whole, together with the diagnostics (errors and informational
// messages) the driver reported on the way.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <exception>
#include <memory>

namespace kvodbc {

enum class ValueType { Integer, Decimal, Float, Text, DateTime, Bit, Binary };

struct Column {
    QString name;
    ValueType type = ValueType::Text;
    int precision = 0;
    int scale = 0;
    int size = 0;
};

// One diagnostic record. Errors have isError set; informational messages
// (SQLSTATE class 01, SQL Server's PRINT and warnings) do not.
struct Diagnostic {
    QString sqlState;
    int nativeError = 0;
    QString message;      // the driver's text, vendor prefixes removed
    bool isError = true;
};

// Values: NULL -> null QVariant; Integer -> qlonglong; Bit -> bool; Float -> double;
// Decimal -> QString as the driver formats it; Text -> QString;
// DateTime -> QDateTime; Binary -> QByteArray.
struct ResultSet {
    QList<Column> columns;
    QList<QList<QVariant>> rows;
};

struct BatchResult {
    QList<ResultSet> resultSets;
    QList<Diagnostic> diagnostics;
    qint64 rowsAffected = -1;
    bool hasErrors() const;
};

// Raised when the connection cannot be made or becomes unusable.
class OdbcError : public std::exception {
public:
    explicit OdbcError(QList<Diagnostic> diagnostics);
    const char* what() const noexcept override { return FText.c_str(); }
    QList<Diagnostic> diagnostics;

private:
    std::string FText;
};

class Connection {
public:
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Connects without prompting. Throws OdbcError.
    static std::unique_ptr<Connection> open(const QString& connectionString, int loginTimeoutSeconds = 15);

    // Runs a batch; SQL errors come back in the diagnostics. Throws OdbcError
    // only when no statement could be allocated.
    BatchResult execute(const QString& batch, int timeoutSeconds = 0);

    // Runs one statement for many rows of values with ODBC parameter arrays
    // (prepared once, bound by column): `markers` gives, for each '?' of the
    // statement in order, the index of its value in a row and the value's SQL
    // type. Diagnostics of the first failing rows come back; rowsAffected
    // totals the rows changed.
    struct ArrayParam {
        int value = 0;
        ValueType type = ValueType::Text;
        int precision = 0;
        int scale = 0;
    };
    BatchResult executeArray(const QString& statement, const QList<ArrayParam>& markers,
                             const QList<QList<QVariant>>& rows, int timeoutSeconds = 0);
    // Manual-commit mode while a transaction is open; nesting is counted.
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return FTransactionLevel > 0; }

    QString driverName() const;

    // Quotes a value for an ODBC connection string when it needs it: {value}
    // with inner closing braces doubled.
    static QString quoteValue(const QString& value);

private:
    Connection() = default;
    void endTransaction(bool commit);
    struct Handles;
    std::unique_ptr<Handles> FHandles;
    int FTransactionLevel = 0;
};

} // namespace kvodbc
