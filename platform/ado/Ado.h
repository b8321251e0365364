#pragma once
// Data-access components as the system's units use them: TADOConnection,
// TADOQuery, TADOCommand and TCustomADODataSet with fields, navigation,
// Locate, transactions and the provider's error collection.
//
// Conventions: plain settings are public fields (KeepConnection, LoginPrompt,
// CommandTimeout, Prepared, ParamCheck, CursorLocation, CursorType); settings
// with side effects are Set*/getter pairs (ConnectionString, Connection, Active).
// Data sets are client-side and static: Open fetches the first result set of
// the command whole and keeps it in memory.
//
// A failure of the provider raises EOleException with the text of its first
// error and leaves every error in the connection's Errors collection; misuse
// of a component (unknown field, a command without rows opened) raises
// EDatabaseError.
#include "AdoDriver.h"
#include "Exceptions.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class TADOConnection;
class TCustomADODataSet;

// A provider failure (the OLE error the components pass on).
class EOleException : public Exception {
public:
    explicit EOleException(QString message, int errorCode = int(0x80040E14), QString source = QString())
        : Exception(std::move(message)), ErrorCode(errorCode), Source(std::move(source)) {}
    int ErrorCode;
    QString Source;
};

// Misuse of a data-access component.
class EDatabaseError : public Exception {
public:
    using Exception::Exception;
};

enum TCursorLocation { clUseServer, clUseClient };
enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };

enum TFieldType {
    ftUnknown, ftWideString, ftInteger, ftLargeint, ftBoolean, ftFloat, ftBCD, ftDateTime, ftVarBytes
};

enum TLocateOption { loCaseInsensitive = 0x1, loPartialKey = 0x2 };
using TLocateOptions = unsigned;

// One entry of the provider's error collection.
struct TADOError {
    QString Description;
    int NativeError = 0;
    QString SQLState;
    QString Source;
    int Number = int(0x80040E14);
};

class TADOErrors {
public:
    int Count() const { return int(FItems.size()); }
    const TADOError& Item(int index) const;
    const TADOError& operator[](int index) const { return Item(index); }
    void Clear() { FItems.clear(); }
    void Assign(const QList<kvado::ProviderError>& errors);

private:
    QList<TADOError> FItems;
};

class TADOConnection : public QObject {
    Q_OBJECT
public:
    explicit TADOConnection(QObject* owner = nullptr);
    ~TADOConnection() override;

    QString ConnectionString() const { return FConnectionString; }
    // Closes an open connection before the new text takes effect.
    void SetConnectionString(const QString& text);

    bool KeepConnection = true;
    bool LoginPrompt = true;    // kept for the callers; no login dialog is ever shown
    int CommandTimeout = 30;    // seconds, for Execute
    int ConnectionTimeout = 15; // seconds

    void Open();
    // Closes every data set that runs on this connection, rolls back an open
    // transaction and disconnects.
    void Close();
    bool Connected() const { return FDriver != nullptr; }
    void SetConnected(bool value) { value ? Open() : Close(); }

    // Runs a statement without a result set; returns the rows affected (-1 when unknown).
    int Execute(const QString& commandText);

    // Runs a statement with typed parameters once for every row of values,
    // prepared once (see kvado::Driver::executeBulk); returns the rows
    // changed. Raises EOleException at the first row that fails.
    qint64 ExecuteBulk(const QList<kvado::BulkParam>& params, const QString& statement,
                       const QList<QList<QVariant>>& rows);

    int BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return FTransactionLevel > 0; }

    TADOErrors* Errors() { return &FErrors; }
    QString ProviderName() const;
    // Why the open database refuses writes (None when it takes them, or when closed).
    kvado::Driver::ReadOnlyCause ReadOnlyCause() const;

    // Runs one batch on the connection, opening it first when needed. Fills
    // Errors; raises EOleException when the batch reported errors.
    kvado::BatchResult RunBatch(const QString& commandText, int timeoutSeconds);

private:
    friend class TCustomADODataSet;
    void raiseProviderError(const QList<kvado::ProviderError>& errors);
    template <typename F> void transactionStep(F f);

    QString FConnectionString;
    std::unique_ptr<kvado::Driver> FDriver;
    TADOErrors FErrors;
    int FTransactionLevel = 0;
    QList<QPointer<TCustomADODataSet>> FDataSets;
};

class TField {
public:
    TField(TCustomADODataSet* dataSet, int index, const kvado::ColumnInfo& column);

    QString FieldName() const { return FColumn.name; }
    TFieldType DataType() const;
    int Index() const { return FIndex; }
    int Size() const { return FColumn.size; }
    int Precision() const { return FColumn.precision; }
    int NumericScale() const { return FColumn.scale; }
    TCustomADODataSet* DataSet() const { return FDataSet; }

    // The value of the current record: null for NULL and when there is no
    // record; decimals as double, bits as bool, dates as QDateTime.
    QVariant Value() const;
    bool IsNull() const;
    QString AsString() const;
    int AsInteger() const;
    qint64 AsLargeInt() const;
    double AsFloat() const;
    QDateTime AsDateTime() const;  // invalid for NULL
    bool AsBoolean() const;
    // A decimal exactly as the provider gave it ("5.00000000"); other values as AsString.
    QString AsDecimalText() const;

private:
    QVariant rawValue() const;
    TCustomADODataSet* FDataSet;
    int FIndex;
    kvado::ColumnInfo FColumn;
};

class TFields {
public:
    int Count() const { return int(FItems.size()); }
    TField* Field(int index) const;
    TField* operator[](int index) const { return Field(index); }
    TField* FindField(const QString& name) const;

private:
    friend class TCustomADODataSet;
    void clear();
    void add(std::unique_ptr<TField> field);
    std::vector<std::unique_ptr<TField>> FItems;
    // Field lookup by name without a case-insensitive walk per value: the
    // first field of each case-folded name, and the names as they are spelled
    // when that spelling leads to the same field.
    QHash<QString, int> FByFoldedName;
    QHash<QString, int> FByName;
};

class TCustomADODataSet : public QObject {
    Q_OBJECT
public:
    explicit TCustomADODataSet(QObject* owner = nullptr);
    ~TCustomADODataSet() override;

    TADOConnection* Connection() const { return FConnection; }
    // Binding to a connection drops the data set's own connection string.
    void SetConnection(TADOConnection* connection);
    QString ConnectionString() const { return FConnectionString; }
    // Binding to a connection string drops the connection.
    void SetConnectionString(const QString& text);
    // The connection the command runs on: the bound one, or the data set's own
    // connection made from its connection string (nullptr when neither).
    TADOConnection* ActiveConnection() const;

    int CommandTimeout = 30;
    TCursorLocation CursorLocation = clUseClient;
    TCursorType CursorType = ctStatic;

    void Open();
    void Close();
    bool Active() const { return FActive; }
    void SetActive(bool value) { value ? Open() : Close(); }
    // Runs the command without a result set; returns the rows affected.
    int ExecSQL();
    int RowsAffected() const { return FRowsAffected; }
    // Moves to the next result set of the last batch; False (and closed) when there is none.
    bool NextRecordset();

    bool Eof() const;
    bool Bof() const;
    bool IsEmpty() const;
    void First();
    void Next();
    void Prior();
    void Last();
    int MoveBy(int distance);
    int RecordCount() const;
    int RecNo() const; // 1-based; 0 when there is no record
    void SetRecNo(int value);

    // keyFields separated by ';'; values a single value or a QVariantList.
    bool Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options = 0);

    TFields* Fields() { return &FFields; }
    int FieldCount() const { return FFields.Count(); }
    TField* FindField(const QString& name) const { return FFields.FindField(name); }
    // Raises EDatabaseError when the data set has no such field.
    TField* FieldByName(const QString& name) const;
    QVariant FieldValues(const QString& name) const { return FieldByName(name)->Value(); }

protected:
    virtual QString CommandText() const = 0;
    void raiseError(const QString& text) const;

private:
    friend class TField;
    friend class TADOConnection;
    TADOConnection* requireConnection();
    void loadResultSet(int index);
    void releaseResults();
    const QVariant* currentValue(int field) const;

    QPointer<TADOConnection> FConnection;
    QString FConnectionString;
    std::unique_ptr<TADOConnection> FOwnConnection;
    bool FActive = false;
    QList<kvado::ResultSet> FResultSets;
    int FResultIndex = -1;
    TFields FFields;
    int FCurrent = -1;
    bool FEof = true;
    bool FBof = true;
    int FRowsAffected = -1;
};

// The SQL text of a query, line by line; any change closes the query.
class TSQLLines {
public:
    explicit TSQLLines(TCustomADODataSet* owner) : FOwner(owner) {}
    void Clear();
    void Add(const QString& line);
    int Count() const { return int(FLines.size()); }
    QString operator[](int index) const { return FLines.at(index); }
    // Lines joined by CR LF, each line ended by it.
    QString Text() const;
    void SetText(const QString& text);

private:
    TCustomADODataSet* FOwner;
    QStringList FLines;
};

class TADOQuery : public TCustomADODataSet {
    Q_OBJECT
public:
    explicit TADOQuery(QObject* owner = nullptr) : TCustomADODataSet(owner), SQL(this) {}
    TSQLLines SQL;
    bool Prepared = false;
    bool ParamCheck = true;

protected:
    QString CommandText() const override { return SQL.Text(); }
};

class TADOCommand : public QObject {
    Q_OBJECT
public:
    explicit TADOCommand(QObject* owner = nullptr);
    ~TADOCommand() override;

    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* connection);
    QString ConnectionString() const { return FConnectionString; }
    void SetConnectionString(const QString& text);
    TADOConnection* ActiveConnection() const;

    QString CommandText;
    int CommandTimeout = 30;
    // Runs the command; returns the rows affected.
    int Execute();

private:
    QPointer<TADOConnection> FConnection;
    QString FConnectionString;
    std::unique_ptr<TADOConnection> FOwnConnection;
};

namespace kvado {

// Whether a transaction begun with BeginTrans is open on any connection of this
// program.
bool TransactionOpen();
// Runs the work at once when no transaction is open, else once the last one has
// ended (committed, rolled back or closed). A box that reports a failure inside
// a transaction goes this way: shown while the transaction stood open, it would
// keep the account set locked for every other program as long as it is up.
void WhenNoTransactionOpen(std::function<void()> work);

// One transaction around a multi-statement write: begun when constructed,
// rolled back when the scope is left without Commit (an exception included).
class ScopedTransaction {
public:
    explicit ScopedTransaction(TADOConnection* connection);
    ~ScopedTransaction();
    ScopedTransaction(const ScopedTransaction&) = delete;
    ScopedTransaction& operator=(const ScopedTransaction&) = delete;
    void Commit();

private:
    TADOConnection* FConnection;
    bool FOpen = false;
};

} // namespace kvado
