#include "OdbcConnection.h"

#include <QRegularExpression>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

namespace kvodbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the driver manager must use UTF-16 wide characters");

namespace {

const SQLWCHAR* wide(const QString& text)
{
    return reinterpret_cast<const SQLWCHAR*>(text.utf16());
}

QString fromWide(const SQLWCHAR* text, qsizetype length)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
}

bool succeeded(SQLRETURN rc)
{
    return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO;
}

// "[unixODBC][FreeTDS][SQL Server]Invalid object name 'x'." -> "Invalid object name 'x'."
QString stripVendorPrefixes(QString message)
{
    static const QRegularExpression prefix(QStringLiteral("^(\\[[^\\]]*\\])+\\s*"));
    message.remove(prefix);
    return message.trimmed();
}

void collectDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle, QList<Diagnostic>& into)
{
    for (SQLSMALLINT record = 1;; ++record) {
        SQLWCHAR state[6] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRecW(handleType, handle, record, state, &native, nullptr, 0, &length);
        if (!succeeded(rc))
            break;
        std::vector<SQLWCHAR> message(size_t(length) + 1, 0);
        rc = SQLGetDiagRecW(handleType, handle, record, state, &native, message.data(), SQLSMALLINT(message.size()), &length);
        if (!succeeded(rc))
            break;
        Diagnostic d;
        d.sqlState = fromWide(state, 5);
        d.nativeError = int(native);
        d.message = stripVendorPrefixes(fromWide(message.data(), qMin<qsizetype>(length, qsizetype(message.size()) - 1)));
        // Class 01 is a warning; SQL Server's informational messages come as 01000.
        d.isError = !d.sqlState.startsWith(QLatin1String("01"));
        into.append(d);
    }
}

ValueType valueTypeOf(SQLSMALLINT sqlType)
{
    switch (sqlType) {
    case SQL_TINYINT: case SQL_SMALLINT: case SQL_INTEGER: case SQL_BIGINT:
        return ValueType::Integer;
    case SQL_BIT:
        return ValueType::Bit;
    case SQL_REAL: case SQL_FLOAT: case SQL_DOUBLE:
        return ValueType::Float;
    case SQL_DECIMAL: case SQL_NUMERIC:
        return ValueType::Decimal;
    case SQL_TYPE_DATE: case SQL_TYPE_TIMESTAMP: case SQL_TYPE_TIME:
    case SQL_DATE: case SQL_TIMESTAMP: case SQL_TIME:
        return ValueType::DateTime;
    case SQL_BINARY: case SQL_VARBINARY: case SQL_LONGVARBINARY:
        return ValueType::Binary;
    default:
        return ValueType::Text;
    }
}

// Reads a variable-length value in pieces; null when the indicator says so.
template <typename Unit>
bool readLong(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType, std::vector<Unit>& out, QList<Diagnostic>& diags)
{
    out.clear();
    Unit buffer[2048];
    for (;;) {
        SQLLEN indicator = 0;
        const SQLRETURN rc = SQLGetData(stmt, column, cType, buffer, sizeof(buffer), &indicator);
        if (rc == SQL_NO_DATA)
            return true;
        if (!succeeded(rc)) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            return true;
        }
        if (indicator == SQL_NULL_DATA)
            return false;
        // Character data keeps room for its terminator; binary data does not.
        const size_t terminator = cType == SQL_C_WCHAR ? 1 : 0;
        const size_t capacity = sizeof(buffer) / sizeof(Unit) - terminator;
        size_t got = capacity;
        if (indicator != SQL_NO_TOTAL && size_t(indicator) / sizeof(Unit) <= capacity)
            got = size_t(indicator) / sizeof(Unit);
        out.insert(out.end(), buffer, buffer + got);
        if (rc == SQL_SUCCESS)
            return true;
    }
}

QVariant readValue(SQLHSTMT stmt, SQLUSMALLINT column, ValueType type, QList<Diagnostic>& diags)
{
    SQLLEN indicator = 0;
    switch (type) {
    case ValueType::Integer: {
        SQLBIGINT v = 0;
        if (!succeeded(SQLGetData(stmt, column, SQL_C_SBIGINT, &v, sizeof v, &indicator))) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            return {};
        }
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant(qlonglong(v));
    }
    case ValueType::Bit: {
        unsigned char v = 0;
        if (!succeeded(SQLGetData(stmt, column, SQL_C_BIT, &v, sizeof v, &indicator))) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            return {};
        }
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant(v != 0);
    }
    case ValueType::Float: {
        double v = 0;
        if (!succeeded(SQLGetData(stmt, column, SQL_C_DOUBLE, &v, sizeof v, &indicator))) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            return {};
        }
        return indicator == SQL_NULL_DATA ? QVariant() : QVariant(v);
    }
    case ValueType::DateTime: {
        SQL_TIMESTAMP_STRUCT ts{};
        if (!succeeded(SQLGetData(stmt, column, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator))) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            return {};
        }
        if (indicator == SQL_NULL_DATA)
            return {};
        return QDateTime(QDate(ts.year, ts.month, ts.day),
                         QTime(ts.hour, ts.minute, ts.second, int(ts.fraction / 1000000)));
    }
    case ValueType::Binary: {
        std::vector<char> bytes;
        if (!readLong(stmt, column, SQL_C_BINARY, bytes, diags))
            return {};
        return QByteArray(bytes.data(), qsizetype(bytes.size()));
    }
    case ValueType::Decimal:
    case ValueType::Text: {
        std::vector<SQLWCHAR> text;
        if (!readLong(stmt, column, SQL_C_WCHAR, text, diags))
            return {};
        return fromWide(text.data(), qsizetype(text.size()));
    }
    }
    return {};
}

ResultSet fetchResultSet(SQLHSTMT stmt, SQLSMALLINT columnCount, QList<Diagnostic>& diags)
{
    ResultSet set;
    for (SQLUSMALLINT i = 1; i <= SQLUSMALLINT(columnCount); ++i) {
        SQLWCHAR name[512] = {};
        SQLSMALLINT nameLength = 0, sqlType = 0, scale = 0, nullable = 0;
        SQLULEN size = 0;
        SQLDescribeColW(stmt, i, name, SQLSMALLINT(std::size(name)), &nameLength, &sqlType, &size, &scale, &nullable);
        Column c;
        c.name = fromWide(name, qMin<qsizetype>(nameLength, qsizetype(std::size(name)) - 1));
        c.type = valueTypeOf(sqlType);
        c.size = int(qMin<SQLULEN>(size, SQLULEN(INT_MAX)));
        if (c.type == ValueType::Decimal) {
            c.precision = c.size;
            c.scale = scale;
        }
        set.columns.append(c);
    }
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA)
            break;
        if (!succeeded(rc)) {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
            break;
        }
        if (rc == SQL_SUCCESS_WITH_INFO)
            collectDiagnostics(SQL_HANDLE_STMT, stmt, diags);
        QList<QVariant> row;
        row.reserve(set.columns.size());
        for (int i = 0; i < set.columns.size(); ++i)
            row.append(readValue(stmt, SQLUSMALLINT(i + 1), set.columns[i].type, diags));
        set.rows.append(std::move(row));
    }
    return set;
}

} // namespace

bool BatchResult::hasErrors() const
{
    for (const Diagnostic& d : diagnostics)
        if (d.isError)
            return true;
    return false;
}

OdbcError::OdbcError(QList<Diagnostic> diags)
    : diagnostics(std::move(diags))
{
    FText = diagnostics.isEmpty() ? std::string("ODBC error") : diagnostics.first().message.toStdString();
}

struct Connection::Handles {
    SQLHENV env = SQL_NULL_HENV;
    SQLHDBC dbc = SQL_NULL_HDBC;
    bool connected = false;
    ~Handles()
    {
        if (dbc != SQL_NULL_HDBC) {
            if (connected)
                SQLDisconnect(dbc);
            SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        }
        if (env != SQL_NULL_HENV)
            SQLFreeHandle(SQL_HANDLE_ENV, env);
    }
};

Connection::~Connection()
{
    if (FHandles && FTransactionLevel > 0) {
        SQLEndTran(SQL_HANDLE_DBC, FHandles->dbc, SQL_ROLLBACK);
    }
}

std::unique_ptr<Connection> Connection::open(const QString& connectionString, int loginTimeoutSeconds)
{
    std::unique_ptr<Connection> c(new Connection);
    c->FHandles = std::make_unique<Handles>();
    Handles& h = *c->FHandles;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h.env)))
        throw OdbcError({Diagnostic{QString(), 0, QStringLiteral("Cannot allocate an ODBC environment"), true}});
    SQLSetEnvAttr(h.env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_DBC, h.env, &h.dbc))) {
        QList<Diagnostic> diags;
        collectDiagnostics(SQL_HANDLE_ENV, h.env, diags);
        throw OdbcError(diags);
    }
    if (loginTimeoutSeconds > 0)
        SQLSetConnectAttr(h.dbc, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLLEN(loginTimeoutSeconds)), 0);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnectW(h.dbc, nullptr, const_cast<SQLWCHAR*>(wide(connectionString)), SQL_NTS,
                                           out, SQLSMALLINT(std::size(out)), &outLength, SQL_DRIVER_NOPROMPT);
    if (!succeeded(rc)) {
        QList<Diagnostic> diags;
        collectDiagnostics(SQL_HANDLE_DBC, h.dbc, diags);
        if (diags.isEmpty())
            diags.append(Diagnostic{QString(), 0, QStringLiteral("Cannot connect to the data source"), true});
        throw OdbcError(diags);
    }
    h.connected = true;
    return c;
}

BatchResult Connection::execute(const QString& batch, int timeoutSeconds)
{
    BatchResult result;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, FHandles->dbc, &stmt))) {
        QList<Diagnostic> diags;
        collectDiagnostics(SQL_HANDLE_DBC, FHandles->dbc, diags);
        if (diags.isEmpty())
            diags.append(Diagnostic{QString(), 0, QStringLiteral("The connection is not usable"), true});
        throw OdbcError(diags);
    }
    struct StatementGuard {
        SQLHSTMT s;
        ~StatementGuard() { SQLFreeHandle(SQL_HANDLE_STMT, s); }
    } guard{stmt};
    if (timeoutSeconds > 0)
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(timeoutSeconds)), 0);

    SQLRETURN rc = SQLExecDirectW(stmt, const_cast<SQLWCHAR*>(wide(batch)), SQL_NTS);
    // Walk every result of the batch: row sets are fetched, counts are summed,
    // failed statements leave their diagnostics and the walk goes on.
    for (int guardCount = 0; guardCount < 100000; ++guardCount) {
        if (rc == SQL_NO_DATA) {
            // A searched update or delete that touched no row.
            if (result.rowsAffected < 0)
                result.rowsAffected = 0;
        } else if (rc == SQL_ERROR) {
            const qsizetype before = result.diagnostics.size();
            collectDiagnostics(SQL_HANDLE_STMT, stmt, result.diagnostics);
            if (result.diagnostics.size() == before)
                result.diagnostics.append(Diagnostic{QString(), 0, QStringLiteral("The statement failed"), true});
        } else if (succeeded(rc)) {
            if (rc == SQL_SUCCESS_WITH_INFO)
                collectDiagnostics(SQL_HANDLE_STMT, stmt, result.diagnostics);
            SQLSMALLINT columns = 0;
            SQLNumResultCols(stmt, &columns);
            if (columns > 0) {
                result.resultSets.append(fetchResultSet(stmt, columns, result.diagnostics));
            } else {
                SQLLEN count = -1;
                if (succeeded(SQLRowCount(stmt, &count)) && count >= 0)
                    result.rowsAffected = qMax<qint64>(result.rowsAffected, 0) + count;
            }
        } else {
            collectDiagnostics(SQL_HANDLE_STMT, stmt, result.diagnostics);
            break;
        }
        rc = SQLMoreResults(stmt);
        if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE)
            break;
    }
    return result;
}

BatchResult Connection::executeArray(const QString& statement, const QList<ArrayParam>& markers,
                                     const QList<QList<QVariant>>& rows, int timeoutSeconds)
{
    BatchResult result;
    SQLHSTMT stmt = SQL_NULL_HSTMT;
    if (!succeeded(SQLAllocHandle(SQL_HANDLE_STMT, FHandles->dbc, &stmt))) {
        QList<Diagnostic> diags;
        collectDiagnostics(SQL_HANDLE_DBC, FHandles->dbc, diags);
        if (diags.isEmpty())
            diags.append(Diagnostic{QString(), 0, QStringLiteral("The connection is not usable"), true});
        throw OdbcError(diags);
    }
    struct StatementGuard {
        SQLHSTMT s;
        ~StatementGuard() { SQLFreeHandle(SQL_HANDLE_STMT, s); }
    } guard{stmt};
    if (timeoutSeconds > 0)
        SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(SQLULEN(timeoutSeconds)), 0);
    auto failed = [&](SQLSMALLINT handleType, SQLHANDLE handle) {
        const qsizetype before = result.diagnostics.size();
        collectDiagnostics(handleType, handle, result.diagnostics);
        if (result.diagnostics.size() == before)
            result.diagnostics.append(Diagnostic{QString(), 0, QStringLiteral("The statement failed"), true});
        return result;
    };
    if (!succeeded(SQLPrepareW(stmt, const_cast<SQLWCHAR*>(wide(statement)), SQL_NTS)))
        return failed(SQL_HANDLE_STMT, stmt);
    SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_BIND_TYPE, reinterpret_cast<SQLPOINTER>(SQLULEN(SQL_PARAM_BIND_BY_COLUMN)), 0);

    // Rows go in slices, so the bound columns stay a few megabytes whatever the row count.
    constexpr qsizetype slice = 1000;
    for (qsizetype first = 0; first < rows.size(); first += slice) {
        const qsizetype n = qMin(slice, rows.size() - first);
        std::vector<SQLUSMALLINT> status(size_t(n), 0);
        SQLULEN processed = 0;
        SQLSetStmtAttr(stmt, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(SQLULEN(n)), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_PARAM_STATUS_PTR, status.data(), 0);
        SQLSetStmtAttr(stmt, SQL_ATTR_PARAMS_PROCESSED_PTR, &processed, 0);
        // one column of values per marker: whole numbers as 64-bit integers,
        // everything else as UTF-16 text of the column's widest value
        std::vector<std::vector<SQLBIGINT>> numbers(size_t(markers.size()));
        std::vector<std::vector<char16_t>> texts(size_t(markers.size()));
        std::vector<std::vector<SQLLEN>> lengths(size_t(markers.size()));
        for (int m = 0; m < markers.size(); ++m) {
            const ArrayParam& p = markers[m];
            std::vector<SQLLEN>& len = lengths[size_t(m)];
            len.assign(size_t(n), SQL_NULL_DATA);
            SQLRETURN rc;
            if (p.type == ValueType::Integer || p.type == ValueType::Bit) {
                std::vector<SQLBIGINT>& col = numbers[size_t(m)];
                col.assign(size_t(n), 0);
                for (qsizetype r = 0; r < n; ++r) {
                    const QVariant& v = rows[first + r].value(p.value);
                    if (v.isNull())
                        continue;
                    col[size_t(r)] = p.type == ValueType::Bit ? (v.toLongLong() != 0 ? 1 : 0) : v.toLongLong();
                    len[size_t(r)] = sizeof(SQLBIGINT);
                }
                rc = SQLBindParameter(stmt, SQLUSMALLINT(m + 1), SQL_PARAM_INPUT, SQL_C_SBIGINT,
                                      p.type == ValueType::Bit ? SQL_BIT : SQL_BIGINT, 0, 0, col.data(),
                                      sizeof(SQLBIGINT), len.data());
            } else {
                QStringList values;
                qsizetype width = 1;
                for (qsizetype r = 0; r < n; ++r) {
                    const QVariant& v = rows[first + r].value(p.value);
                    values << (v.isNull() ? QString() : v.toString());
                    width = qMax(width, values.back().size() + 1);
                }
                std::vector<char16_t>& col = texts[size_t(m)];
                col.assign(size_t(n * width), u'\0');
                for (qsizetype r = 0; r < n; ++r) {
                    if (rows[first + r].value(p.value).isNull())
                        continue;
                    std::copy(values[r].utf16(), values[r].utf16() + values[r].size(), col.begin() + r * width);
                    len[size_t(r)] = SQLLEN(values[r].size() * sizeof(char16_t));
                }
                const bool decimal = p.type == ValueType::Decimal;
                const SQLSMALLINT sqlType = decimal ? SQL_DECIMAL : width > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
                rc = SQLBindParameter(stmt, SQLUSMALLINT(m + 1), SQL_PARAM_INPUT, SQL_C_WCHAR, sqlType,
                                      decimal ? SQLULEN(p.precision) : SQLULEN(qMax<qsizetype>(width - 1, 1)),
                                      decimal ? SQLSMALLINT(p.scale) : 0, col.data(),
                                      SQLLEN(width * sizeof(char16_t)), len.data());
            }
            if (!succeeded(rc))
                return failed(SQL_HANDLE_STMT, stmt);
        }
        SQLRETURN rc = SQLExecute(stmt);
        bool anyFailed = rc == SQL_ERROR;
        for (;;) {
            if (rc == SQL_ERROR || rc == SQL_SUCCESS_WITH_INFO)
                collectDiagnostics(SQL_HANDLE_STMT, stmt, result.diagnostics);
            if (succeeded(rc)) {
                SQLLEN count = -1;
                if (succeeded(SQLRowCount(stmt, &count)) && count >= 0)
                    result.rowsAffected = qMax<qint64>(result.rowsAffected, 0) + count;
            }
            rc = SQLMoreResults(stmt);
            if (rc == SQL_NO_DATA || rc == SQL_INVALID_HANDLE)
                break;
            anyFailed = anyFailed || rc == SQL_ERROR;
        }
        for (qsizetype r = 0; r < n && r < qsizetype(processed); ++r)
            anyFailed = anyFailed || status[size_t(r)] == SQL_PARAM_ERROR;
        SQLFreeStmt(stmt, SQL_CLOSE);
        if (anyFailed) {
            if (!result.hasErrors())
                result.diagnostics.append(Diagnostic{QString(), 0, QStringLiteral("A row of values failed"), true});
            return result;
        }
    }
    if (result.rowsAffected < 0)
        result.rowsAffected = 0;
    return result;
}

void Connection::beginTransaction()
{
    if (FTransactionLevel == 0) {
        const SQLRETURN rc = SQLSetConnectAttr(FHandles->dbc, SQL_ATTR_AUTOCOMMIT,
                                               reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
        if (!succeeded(rc)) {
            QList<Diagnostic> diags;
            collectDiagnostics(SQL_HANDLE_DBC, FHandles->dbc, diags);
            throw OdbcError(diags);
        }
    }
    ++FTransactionLevel;
}

void Connection::endTransaction(bool commitWork)
{
    if (FTransactionLevel == 0)
        throw OdbcError({Diagnostic{QStringLiteral("25000"), 0, QStringLiteral("No transaction is active"), true}});
    // Only the outermost level ends the work; a rollback at any level ends it all.
    if (commitWork && FTransactionLevel > 1) {
        --FTransactionLevel;
        return;
    }
    FTransactionLevel = 0;
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, FHandles->dbc, commitWork ? SQL_COMMIT : SQL_ROLLBACK);
    QList<Diagnostic> diags;
    if (!succeeded(rc))
        collectDiagnostics(SQL_HANDLE_DBC, FHandles->dbc, diags);
    SQLSetConnectAttr(FHandles->dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    if (!succeeded(rc))
        throw OdbcError(diags);
}

void Connection::commit() { endTransaction(true); }
void Connection::rollback() { endTransaction(false); }

QString Connection::driverName() const
{
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!succeeded(SQLGetInfoW(FHandles->dbc, SQL_DRIVER_NAME, name, sizeof(name), &length)))
        return {};
    return fromWide(name, qMin<qsizetype>(length / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(name)) - 1));
}

QString Connection::quoteValue(const QString& value)
{
    static const QRegularExpression special(QStringLiteral("[;{}=\\[\\]()',!@]|^\\s|\\s$"));
    if (!value.contains(special))
        return value;
    QString inner = value;
    inner.replace(QLatin1Char('}'), QLatin1String("}}"));
    return QLatin1Char('{') + inner + QLatin1Char('}');
}

} // namespace kvodbc
