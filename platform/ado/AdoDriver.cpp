#include "AdoDriver.h"

#include "OdbcConnection.h"

#ifdef KV_HAVE_TSQL
#include "TsqlEngine.h"
#endif

#include <QDir>

namespace kvado {

bool BatchResult::hasErrors() const
{
    for (const ProviderError& e : errors)
        if (e.isError)
            return true;
    return false;
}

DriverError::DriverError(QList<ProviderError> list)
    : errors(std::move(list))
{
    FText = errors.isEmpty() ? std::string("Provider error") : errors.first().description.toStdString();
}

namespace {

ProviderError providerError(const QString& text, int native = 0)
{
    ProviderError e;
    e.description = text;
    e.nativeError = native;
    return e;
}

} // namespace

// --- connection strings ---------------------------------------------------

ConnectionStringParts ConnectionStringParts::parse(const QString& text)
{
    ConnectionStringParts parts;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // keyword: up to '=', where "==" stands for a literal '='
        QString keyword;
        while (i < n) {
            const QChar c = text[i];
            if (c == QLatin1Char('=')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('=')) {
                    keyword += c;
                    i += 2;
                    continue;
                }
                break;
            }
            if (c == QLatin1Char(';'))
                break;
            keyword += c;
            ++i;
        }
        keyword = keyword.trimmed();
        QString value;
        if (i < n && text[i] == QLatin1Char('=')) {
            ++i;
            while (i < n && text[i].isSpace())
                ++i;
            if (i < n && (text[i] == QLatin1Char('"') || text[i] == QLatin1Char('\''))) {
                const QChar quote = text[i++];
                while (i < n) {
                    if (text[i] == quote) {
                        if (i + 1 < n && text[i + 1] == quote) {
                            value += quote;
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    value += text[i++];
                }
                while (i < n && text[i] != QLatin1Char(';'))
                    ++i;
            } else {
                const qsizetype start = i;
                while (i < n && text[i] != QLatin1Char(';'))
                    ++i;
                value = text.mid(start, i - start).trimmed();
            }
        }
        if (i < n && text[i] == QLatin1Char(';'))
            ++i;
        if (keyword.isEmpty())
            continue;
        const QString key = keyword.toLower();
        if (!parts.FValues.contains(key))
            parts.FOrder.append(keyword);
        parts.FValues.insert(key, value);
    }
    return parts;
}

QString ConnectionStringParts::value(const QString& keyword) const
{
    return FValues.value(keyword.toLower());
}

bool ConnectionStringParts::contains(const QString& keyword) const
{
    return FValues.contains(keyword.toLower());
}

QString quoteConnectionValue(const QString& value)
{
    const bool needs = value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('='))
        || value.contains(QLatin1Char('"')) || value.contains(QLatin1Char('\''))
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needs)
        return value;
    if (!value.contains(QLatin1Char('"')))
        return QLatin1Char('"') + value + QLatin1Char('"');
    if (!value.contains(QLatin1Char('\'')))
        return QLatin1Char('\'') + value + QLatin1Char('\'');
    QString inner = value;
    inner.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString sqlServerOdbcDriverName()
{
    const QString name = qEnvironmentVariable("KORVANE_SQLSERVER_ODBC_DRIVER");
    return name.isEmpty() ? QStringLiteral("FreeTDS") : name;
}

namespace {

bool isLocalFilePath(const QString& dataSource)
{
    // Server names never hold a forward slash (a named instance uses '\').
    return dataSource.contains(QLatin1Char('/'));
}

bool isSqlServerProvider(const QString& provider)
{
    const QString p = provider.trimmed().toLower();
    return p.isEmpty() || p.startsWith(QLatin1String("sqloledb")) || p.startsWith(QLatin1String("sqlncli"))
        || p.startsWith(QLatin1String("msoledbsql"));
}

bool isTrue(const QString& value)
{
    const QString v = value.trimmed().toLower();
    return v == QLatin1String("sspi") || v == QLatin1String("true") || v == QLatin1String("yes");
}

QString odbcPair(const QString& keyword, const QString& value)
{
    return keyword + QLatin1Char('=') + kvodbc::Connection::quoteValue(value) + QLatin1Char(';');
}

} // namespace

DriverTarget resolveConnectionString(const QString& connectionString)
{
    const ConnectionStringParts parts = ConnectionStringParts::parse(connectionString);
    const QString provider = parts.value(QStringLiteral("Provider")).trimmed();
    const QString dataSource = parts.value(QStringLiteral("Data Source"));
    DriverTarget target;
    if (provider.toLower().startsWith(QLatin1String("msdasql"))) {
        target.kind = DriverTarget::Odbc;
        target.odbcConnection = parts.value(QStringLiteral("Extended Properties"));
        if (target.odbcConnection.isEmpty() && !dataSource.isEmpty())
            target.odbcConnection = odbcPair(QStringLiteral("DSN"), dataSource);
        if (!parts.value(QStringLiteral("User ID")).isEmpty())
            target.odbcConnection += odbcPair(QStringLiteral("UID"), parts.value(QStringLiteral("User ID")));
        if (parts.contains(QStringLiteral("Password")) && !parts.value(QStringLiteral("User ID")).isEmpty())
            target.odbcConnection += odbcPair(QStringLiteral("PWD"), parts.value(QStringLiteral("Password")));
        if (target.odbcConnection.isEmpty())
            target.kind = DriverTarget::None;
        return target;
    }
    if (!isSqlServerProvider(provider) || dataSource.trimmed().isEmpty())
        return target;
    if (isLocalFilePath(dataSource)) {
        target.kind = DriverTarget::Embedded;
        target.databaseFile = QDir::cleanPath(dataSource.trimmed());
        return target;
    }
    // A SQL Server through FreeTDS: "host", "host\instance" or "host,port".
    QString server = dataSource.trimmed();
    QString port;
    if (const qsizetype comma = server.lastIndexOf(QLatin1Char(',')); comma > 0) {
        port = server.mid(comma + 1).trimmed();
        server = server.left(comma).trimmed();
    }
    // The local machine's names that only the server's own client knows.
    const qsizetype slash = server.indexOf(QLatin1Char('\\'));
    const QString host = slash < 0 ? server : server.left(slash);
    if (host == QLatin1String(".") || host.compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        server = QStringLiteral("localhost") + (slash < 0 ? QString() : server.mid(slash));
    QString odbc = odbcPair(QStringLiteral("DRIVER"), sqlServerOdbcDriverName());
    odbc += odbcPair(QStringLiteral("SERVER"), server);
    if (!port.isEmpty())
        odbc += odbcPair(QStringLiteral("PORT"), port);
    if (!parts.value(QStringLiteral("Initial Catalog")).isEmpty())
        odbc += odbcPair(QStringLiteral("DATABASE"), parts.value(QStringLiteral("Initial Catalog")));
    const QString login = parts.value(QStringLiteral("User ID"));
    if (login.trimmed().isEmpty() || isTrue(parts.value(QStringLiteral("Integrated Security"))))
        odbc += QStringLiteral("Trusted_Connection=Yes;");
    else
        odbc += odbcPair(QStringLiteral("UID"), login) + odbcPair(QStringLiteral("PWD"), parts.value(QStringLiteral("Password")));
    odbc += QStringLiteral("ClientCharset=UTF-8;");
    target.kind = DriverTarget::Odbc;
    target.odbcConnection = odbc;
    return target;
}

// --- ODBC driver ----------------------------------------------------------

namespace {

ProviderError fromOdbc(const kvodbc::Diagnostic& d)
{
    ProviderError e;
    e.description = d.message;
    e.nativeError = d.nativeError;
    e.sqlState = d.sqlState;
    e.source = QStringLiteral("ODBC");
    e.isError = d.isError;
    return e;
}

QList<ProviderError> fromOdbc(const QList<kvodbc::Diagnostic>& list)
{
    QList<ProviderError> out;
    for (const kvodbc::Diagnostic& d : list)
        out.append(fromOdbc(d));
    return out;
}

ColumnType fromOdbc(kvodbc::ValueType type)
{
    switch (type) {
    case kvodbc::ValueType::Integer: return ColumnType::Integer;
    case kvodbc::ValueType::Decimal: return ColumnType::Decimal;
    case kvodbc::ValueType::Float: return ColumnType::Float;
    case kvodbc::ValueType::Text: return ColumnType::Text;
    case kvodbc::ValueType::DateTime: return ColumnType::DateTime;
    case kvodbc::ValueType::Bit: return ColumnType::Bit;
    case kvodbc::ValueType::Binary: return ColumnType::Binary;
    }
    return ColumnType::Text;
}

// The statement with each named parameter replaced by a '?' marker (names
// inside quotes and @@ names left alone), and for each marker in order the
// value it takes and its type.
QString bulkMarkers(const QList<BulkParam>& params, const QString& statement,
                    QList<kvodbc::Connection::ArrayParam>& markers)
{
    QString out;
    out.reserve(statement.size());
    QChar quote;
    for (qsizetype i = 0; i < statement.size();) {
        const QChar c = statement[i];
        if (!quote.isNull()) {
            out += c;
            ++i;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"' || c == u'[') {
            quote = c == u'[' ? QChar(u']') : c;
            out += c;
            ++i;
            continue;
        }
        if (c == u'@' && !(i + 1 < statement.size() && statement[i + 1] == u'@') && !(i > 0 && statement[i - 1] == u'@')) {
            qsizetype end = i + 1;
            while (end < statement.size() && (statement[end].isLetterOrNumber() || statement[end] == u'_'))
                ++end;
            const QString name = statement.mid(i, end - i);
            for (int p = 0; p < params.size(); ++p) {
                if (params[p].name.compare(name, Qt::CaseInsensitive) != 0)
                    continue;
                kvodbc::Connection::ArrayParam m;
                m.value = p;
                const QString type = params[p].sqlType.trimmed().toLower();
                if (type == QLatin1String("bit"))
                    m.type = kvodbc::ValueType::Bit;
                else if (type.endsWith(QLatin1String("int")))
                    m.type = kvodbc::ValueType::Integer;
                else if (type.startsWith(QLatin1String("decimal")) || type.startsWith(QLatin1String("numeric"))) {
                    m.type = kvodbc::ValueType::Decimal;
                    const QStringList ps = type.section(u'(', 1).remove(u')').split(u',');
                    m.precision = ps.value(0).trimmed().toInt();
                    m.scale = ps.value(1).trimmed().toInt();
                    if (m.precision <= 0)
                        m.precision = 18;
                }
                markers.append(m);
                out += u'?';
                i = end;
                break;
            }
            if (i == end)
                continue;
        }
        out += c;
        ++i;
    }
    return out;
}

class OdbcDriver : public Driver {
public:
    explicit OdbcDriver(std::unique_ptr<kvodbc::Connection> c) : FConnection(std::move(c)) {}

    BatchResult execute(const QString& batch, int timeoutSeconds) override
    {
        try {
            const kvodbc::BatchResult r = FConnection->execute(batch, timeoutSeconds);
            BatchResult out;
            out.rowsAffected = r.rowsAffected;
            out.errors = fromOdbc(r.diagnostics);
            for (const kvodbc::ResultSet& set : r.resultSets) {
                ResultSet s;
                for (const kvodbc::Column& c : set.columns)
                    s.columns.append(ColumnInfo{c.name, fromOdbc(c.type), c.precision, c.scale, c.size});
                s.rows = set.rows;
                out.resultSets.append(std::move(s));
            }
            return out;
        } catch (const kvodbc::OdbcError& e) {
            throw DriverError(fromOdbc(e.diagnostics));
        }
    }
    BatchResult executeBulk(const QList<BulkParam>& params, const QString& statement,
                            const QList<QList<QVariant>>& rows, int timeoutSeconds) override
    {
        QList<kvodbc::Connection::ArrayParam> markers;
        const QString text = bulkMarkers(params, statement, markers);
        try {
            const kvodbc::BatchResult r = FConnection->executeArray(text, markers, rows, timeoutSeconds);
            BatchResult out;
            out.rowsAffected = r.rowsAffected;
            out.errors = fromOdbc(r.diagnostics);
            return out;
        } catch (const kvodbc::OdbcError& e) {
            throw DriverError(fromOdbc(e.diagnostics));
        }
    }
    void beginTransaction() override { guarded([&] { FConnection->beginTransaction(); }); }
    void commitTransaction() override { guarded([&] { FConnection->commit(); }); }
    void rollbackTransaction() override { guarded([&] { FConnection->rollback(); }); }
    QString providerName() const override { return QStringLiteral("ODBC (%1)").arg(FConnection->driverName()); }

private:
    template <typename F>
    void guarded(F f)
    {
        try {
            f();
        } catch (const kvodbc::OdbcError& e) {
            throw DriverError(fromOdbc(e.diagnostics));
        }
    }
    std::unique_ptr<kvodbc::Connection> FConnection;
};

// --- embedded driver ------------------------------------------------------

#ifdef KV_HAVE_TSQL

ProviderError fromTsql(const kvtsql::SqlError& e)
{
    ProviderError out;
    out.description = e.message;
    out.nativeError = e.number;
    out.source = QStringLiteral("Korvane T-SQL");
    out.isError = e.severity > 10;
    return out;
}

QList<ProviderError> fromTsql(const QList<kvtsql::SqlError>& list)
{
    QList<ProviderError> out;
    for (const kvtsql::SqlError& e : list)
        out.append(fromTsql(e));
    return out;
}

ColumnType fromTsql(kvtsql::SqlType type)
{
    switch (type) {
    case kvtsql::SqlType::Null: return ColumnType::Null;
    case kvtsql::SqlType::Integer: return ColumnType::Integer;
    case kvtsql::SqlType::Decimal: return ColumnType::Decimal;
    case kvtsql::SqlType::Float: return ColumnType::Float;
    case kvtsql::SqlType::Text: return ColumnType::Text;
    case kvtsql::SqlType::DateTime: return ColumnType::DateTime;
    case kvtsql::SqlType::Bit: return ColumnType::Bit;
    case kvtsql::SqlType::Binary: return ColumnType::Binary;
    }
    return ColumnType::Text;
}

class EmbeddedDriver : public Driver {
public:
    explicit EmbeddedDriver(std::unique_ptr<kvtsql::Connection> c) : FConnection(std::move(c)) {}

    BatchResult execute(const QString& batch, int) override
    {
        try {
            kvtsql::BatchResult r = FConnection->execute(batch);
            BatchResult out;
            out.rowsAffected = r.rowsAffected;
            out.errors = fromTsql(r.errors);
            for (kvtsql::ResultSet& set : r.resultSets) {
                ResultSet s;
                QList<int> bits;
                for (int i = 0; i < set.columns.size(); ++i) {
                    const kvtsql::ColumnInfo& c = set.columns[i];
                    s.columns.append(ColumnInfo{c.name, fromTsql(c.type), c.precision, c.scale, c.size});
                    if (c.type == kvtsql::SqlType::Bit)
                        bits.append(i);
                }
                s.rows = std::move(set.rows);   // taken, so bits below change the rows in place
                for (QList<QVariant>& row : s.rows)
                    for (int i : bits)
                        if (i < row.size() && !row[i].isNull())
                            row[i] = QVariant(row[i].toLongLong() != 0);
                out.resultSets.append(std::move(s));
            }
            return out;
        } catch (const kvtsql::SqlException& e) {
            throw DriverError(fromTsql(e.errors));
        }
    }
    BatchResult executeBulk(const QList<BulkParam>& params, const QString& statement,
                            const QList<QList<QVariant>>& rows, int) override
    {
        QStringList decl;
        for (const BulkParam& p : params)
            decl << p.name + QLatin1Char(' ') + p.sqlType;
        try {
            const kvtsql::BatchResult r = FConnection->executeBulk(decl.join(QStringLiteral(", ")), statement, rows);
            BatchResult out;
            out.rowsAffected = r.rowsAffected;
            out.errors = fromTsql(r.errors);
            return out;
        } catch (const kvtsql::SqlException& e) {
            throw DriverError(fromTsql(e.errors));
        }
    }
    void beginTransaction() override { control(QStringLiteral("begin tran")); }
    void commitTransaction() override { control(QStringLiteral("commit tran")); }
    void rollbackTransaction() override { control(QStringLiteral("rollback tran")); }
    void rollbackLeftOver() override
    {
        if (FConnection->transactionCount() > 0)
            FConnection->rollbackAll();
    }
    QString providerName() const override { return QStringLiteral("Korvane T-SQL (%1)").arg(FConnection->fileName()); }
    ReadOnlyCause readOnlyCause() const override
    {
        switch (FConnection->readOnlyCause()) {
        case kvtsql::Connection::ReadOnlyCause::File: return ReadOnlyCause::File;
        case kvtsql::Connection::ReadOnlyCause::Folder: return ReadOnlyCause::Folder;
        case kvtsql::Connection::ReadOnlyCause::None: break;
        }
        return ReadOnlyCause::None;
    }

private:
    void control(const QString& sql)
    {
        const BatchResult r = execute(sql, 0);
        if (r.hasErrors())
            throw DriverError(r.errors);
    }
    std::unique_ptr<kvtsql::Connection> FConnection;
};

#endif

} // namespace

std::unique_ptr<Driver> openDriver(const QString& connectionString, int loginTimeoutSeconds)
{
    const DriverTarget target = resolveConnectionString(connectionString);
    switch (target.kind) {
    case DriverTarget::Embedded:
#ifdef KV_HAVE_TSQL
        try {
            return std::make_unique<EmbeddedDriver>(kvtsql::Connection::open(target.databaseFile));
        } catch (const kvtsql::SqlException& e) {
            throw DriverError(fromTsql(e.errors));
        }
#else
        throw DriverError({providerError(QStringLiteral("The embedded database engine is not part of this build"))});
#endif
    case DriverTarget::Odbc:
        try {
            return std::make_unique<OdbcDriver>(kvodbc::Connection::open(target.odbcConnection, loginTimeoutSeconds));
        } catch (const kvodbc::OdbcError& e) {
            throw DriverError(fromOdbc(e.diagnostics));
        }
    case DriverTarget::None:
        break;
    }
    if (connectionString.trimmed().isEmpty())
        throw DriverError({providerError(QStringLiteral("The connection string is empty"))});
    throw DriverError({providerError(QStringLiteral("No provider for this connection string"))});
}

} // namespace kvado
