// The embedded T-SQL engine: runs the system's SQL Server batches on a SQLite
// database file. A Connection is one session: its own #temp tables, variables
// of the running batch, transaction count and @@identity.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace kvtsql {

enum class SqlType { Null, Integer, Decimal, Float, Text, DateTime, Bit, Binary };

struct ColumnInfo {
    QString name;
    SqlType type = SqlType::Text;
    int precision = 0;
    int scale = 0;
    int size = 0;
};

struct SqlError {
    int number = 0;
    int severity = 16;
    int state = 1;
    QString message;
    int resultSetsBefore = 0;   // result sets the batch had returned when this was raised
};

class SqlException : public std::exception {
public:
    SqlException() = default;
    explicit SqlException(QList<SqlError> errs);
    SqlException(int number, const QString& message);
    QList<SqlError> errors;
    const char* what() const noexcept override;

private:
    std::string m_what;
};

// Values: NULL -> null QVariant; Integer -> qlonglong; Bit -> qlonglong 0/1; Float -> double;
// Decimal -> QString with exactly `scale` decimals ("5.00000000"); Text -> QString;
// DateTime -> QDateTime (no time zone); Binary -> QByteArray.
struct ResultSet {
    QList<ColumnInfo> columns;
    QList<QList<QVariant>> rows;
};

struct BatchResult {
    QList<ResultSet> resultSets;   // in the order the batch produced them
    QList<SqlError> errors;        // every error raised while the batch ran, in order
    qint64 rowsAffected = -1;      // rows changed by the last statement that changed rows (-1: none)
};

class Connection;

// What a native stored procedure receives: its arguments by position and by
// name (names lower-case, without '@'), and the caller's connection, on which
// it runs SQL (it sees the caller's #temp tables and transaction).
struct ProcedureCall {
    Connection* connection = nullptr;
    QList<QVariant> positional;            // arguments given without a name, in order
    QMap<QString, QVariant> named;         // arguments given as @name=value
    QList<ResultSet> resultSets;           // result sets the procedure returns to the caller
    int returnValue = 0;

    // Argument by name, else by position; null when absent.
    QVariant arg(const QString& name, int position = -1) const;
    // Runs SQL on the caller's connection; SQL errors raise SqlException.
    BatchResult run(const QString& batch);
};
using NativeProcedure = std::function<void(ProcedureCall&)>;

// Registry of native procedures shared by every embedded connection. A
// procedure signals an error by throwing SqlException.
void registerProcedure(const QString& name, NativeProcedure procedure);
void unregisterProcedure(const QString& name);
bool hasProcedure(const QString& name);
// The procedure modules: shared libraries named "libkv_procedures_*.so" beside
// this engine's own library, which register native procedures when they load
// (the bodies of the stored procedures an account set's server would hold).
// Loaded once per process, when the first database file opens; a module that
// cannot load is passed over. Returns the names of the modules loaded.
QStringList loadProcedureModules();

class Connection {
public:
    // Opens an existing database file; a file that is missing, empty or no database
    // is refused (SqlException 4060) and left untouched. A file this user may not
    // write, or one in a folder this user may not write, opens read-only: writes
    // answer 3906.
    static std::unique_ptr<Connection> open(const QString& databaseFile);
    // Creates a new database file (refused when the file exists), for the tools that
    // make account sets; ":memory:" gives a private database in memory.
    static std::unique_ptr<Connection> create(const QString& databaseFile);
    bool readOnly() const;
    // Why a connection is read-only: the file, or its folder, may not be written.
    enum class ReadOnlyCause { None, File, Folder };
    ReadOnlyCause readOnlyCause() const;
    // A storage setting as SQLite reports it ("journal_mode", "synchronous", "temp.page_size"), for diagnostics.
    QString pragma(const QString& name) const;
    ~Connection();

    // SQL errors come back in BatchResult::errors; throws only when the connection is unusable.
    BatchResult execute(const QString& batch);
    // Runs a batch once per row of values, parsed once: `declarations` declares
    // the parameters ("@p1 int, @p2 nvarchar(max)"), which take a row's values
    // in order as assignments to them would. rowsAffected is the total of the
    // rows changed; the first row whose batch raised an error ends the run.
    BatchResult executeBulk(const QString& declarations, const QString& batch, const QList<QList<QVariant>>& rows);
    int transactionCount() const;   // @@trancount
    void rollbackAll();             // rolls back an open transaction a failed batch left behind
    QString fileName() const;
    // Copies the database as it stands committed to a new file (refused when the
    // file exists: SqlException 4060), through SQLite, so the copy is whole while
    // other connections and programs work on, and none of them loses its locks.
    void copyTo(const QString& newFile) const;

    struct Impl;
    Impl* impl() const { return d.get(); }

private:
    Connection();
    static std::unique_ptr<Connection> openFile(const QString& databaseFile, bool create);
    std::unique_ptr<Impl> d;
};

// Type name as SQL Server prints it ("decimal", "datetime"...), for messages.
QString sqlTypeName(SqlType type);

// Makes a new database file `target`: `fill` works on a connection to a file of
// its own beside the target ("<target>.<process>.<n>.tmp"), which takes the
// target's name only when `fill` answered true and the connection is closed,
// never over a file that appeared meanwhile. A maker that fails or is killed
// midway so leaves nothing that opens under the target's name; what a killed
// maker left beside the target is removed by the next make of it. False when
// `fill` answered false (nothing is left); SqlException 4060 when the target
// exists or the file cannot be made or named.
bool buildDatabaseFile(const QString& target, const std::function<bool(Connection&)>& fill);

} // namespace kvtsql
