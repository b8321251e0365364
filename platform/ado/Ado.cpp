#include "Ado.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <functional>
#include <vector>

namespace kvado {
// The count of connections in a transaction begun with BeginTrans.
void transactionOpened();
void transactionEnded();
} // namespace kvado

// --- errors ---------------------------------------------------------------

const TADOError& TADOErrors::Item(int index) const
{
    if (index < 0 || index >= FItems.size())
        throw EOleException(QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."),
                            int(0x800A0CC1));
    return FItems.at(index);
}

void TADOErrors::Assign(const QList<kvado::ProviderError>& errors)
{
    FItems.clear();
    for (const kvado::ProviderError& e : errors) {
        TADOError item;
        item.Description = e.description;
        item.NativeError = e.nativeError;
        item.SQLState = e.sqlState;
        item.Source = e.source;
        FItems.append(item);
    }
}

// --- connection -----------------------------------------------------------

namespace {

// Anything else a driver lets escape still reaches the caller as a provider error.
kvado::ProviderError unexpected(const std::exception& e)
{
    kvado::ProviderError error;
    error.description = QString::fromUtf8(e.what());
    return error;
}

} // namespace

TADOConnection::TADOConnection(QObject* owner)
    : QObject(owner)
{
}

TADOConnection::~TADOConnection()
{
    try {
        Close();
    } catch (...) {
    }
}

void TADOConnection::SetConnectionString(const QString& text)
{
    if (text == FConnectionString)
        return;
    Close();
    FConnectionString = text;
}

void TADOConnection::raiseProviderError(const QList<kvado::ProviderError>& errors)
{
    // Only the errors stay in the collection, so its first entry is the first error.
    QList<kvado::ProviderError> failures;
    for (const kvado::ProviderError& e : errors)
        if (e.isError)
            failures.append(e);
    if (failures.isEmpty())
        failures = errors;
    FErrors.Assign(failures);
    const QString text = failures.isEmpty() ? QStringLiteral("Unspecified error") : failures.first().description;
    throw EOleException(text, int(0x80040E14), failures.isEmpty() ? QString() : failures.first().source);
}

void TADOConnection::Open()
{
    if (FDriver)
        return;
    FErrors.Clear();
    try {
        FDriver = kvado::openDriver(FConnectionString, ConnectionTimeout);
    } catch (const kvado::DriverError& e) {
        raiseProviderError(e.errors);
    } catch (const std::exception& e) {
        raiseProviderError({unexpected(e)});
    }
}

void TADOConnection::Close()
{
    for (const QPointer<TCustomADODataSet>& ds : FDataSets)
        if (ds)
            ds->Close();
    const bool inTransaction = FTransactionLevel > 0;
    if (FDriver && inTransaction) {
        try {
            FDriver->rollbackTransaction();
        } catch (const kvado::DriverError&) {
        }
    }
    FTransactionLevel = 0;
    FDriver.reset();
    if (inTransaction)
        kvado::transactionEnded();
}

kvado::BatchResult TADOConnection::RunBatch(const QString& commandText, int timeoutSeconds)
{
    Open();
    FErrors.Clear();
    kvado::BatchResult result;
    try {
        result = FDriver->execute(commandText, timeoutSeconds);
    } catch (const kvado::DriverError& e) {
        raiseProviderError(e.errors);
    } catch (const std::exception& e) {
        raiseProviderError({unexpected(e)});
    }
    if (result.hasErrors()) {
        // A failed batch never leaves a transaction of its own open behind a
        // caller that began none: nobody would end it, and it would keep the
        // account set locked (or its log from being written back) meanwhile.
        if (FTransactionLevel == 0)
            FDriver->rollbackLeftOver();
        raiseProviderError(result.errors);
    }
    FErrors.Assign(result.errors); // informational messages of a batch that ran
    return result;
}

qint64 TADOConnection::ExecuteBulk(const QList<kvado::BulkParam>& params, const QString& statement,
                                   const QList<QList<QVariant>>& rows)
{
    if (rows.isEmpty())
        return 0;
    Open();
    FErrors.Clear();
    kvado::BatchResult result;
    try {
        result = FDriver->executeBulk(params, statement, rows, CommandTimeout);
    } catch (const kvado::DriverError& e) {
        raiseProviderError(e.errors);
    } catch (const std::exception& e) {
        raiseProviderError({unexpected(e)});
    }
    if (result.hasErrors())
        raiseProviderError(result.errors);
    FErrors.Assign(result.errors);
    return result.rowsAffected;
}

int TADOConnection::Execute(const QString& commandText)
{
    return int(RunBatch(commandText, CommandTimeout).rowsAffected);
}

template <typename F>
void TADOConnection::transactionStep(F f)
{
    Open();
    FErrors.Clear();
    try {
        f();
    } catch (const kvado::DriverError& e) {
        raiseProviderError(e.errors);
    } catch (const std::exception& e) {
        raiseProviderError({unexpected(e)});
    }
}

int TADOConnection::BeginTrans()
{
    transactionStep([&] { FDriver->beginTransaction(); });
    if (++FTransactionLevel == 1)
        kvado::transactionOpened();
    return FTransactionLevel;
}

void TADOConnection::CommitTrans()
{
    if (FTransactionLevel == 0)
        throw EOleException(QStringLiteral("No transaction is active."), int(0x8004D00E));
    transactionStep([&] { FDriver->commitTransaction(); });
    if (--FTransactionLevel == 0)
        kvado::transactionEnded();
}

void TADOConnection::RollbackTrans()
{
    if (FTransactionLevel == 0)
        throw EOleException(QStringLiteral("No transaction is active."), int(0x8004D00E));
    FTransactionLevel = 0;
    try {
        transactionStep([&] { FDriver->rollbackTransaction(); });
    } catch (...) {
        kvado::transactionEnded();
        throw;
    }
    kvado::transactionEnded();
}

QString TADOConnection::ProviderName() const
{
    return FDriver ? FDriver->providerName() : QString();
}

kvado::Driver::ReadOnlyCause TADOConnection::ReadOnlyCause() const
{
    return FDriver ? FDriver->readOnlyCause() : kvado::Driver::ReadOnlyCause::None;
}

// --- fields ---------------------------------------------------------------

namespace {

const QDate kDayZero(1899, 12, 30);

QString formatDateTime(const QDateTime& dt)
{
    if (dt.time() == QTime(0, 0))
        return dt.date().toString(QStringLiteral("yyyy/MM/dd"));
    return dt.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

QString trimDecimal(QString text)
{
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

double toDayNumber(const QDateTime& dt)
{
    const double days = double(kDayZero.daysTo(dt.date()));
    const double fraction = dt.time().msecsSinceStartOfDay() / 86400000.0;
    return days >= 0 ? days + fraction : days - fraction;
}

QDateTime fromDayNumber(double value)
{
    const double whole = std::trunc(value);
    const double fraction = std::fabs(value - whole);
    return QDateTime(kDayZero.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(int(std::llround(fraction * 86400000.0)) % 86400000));
}

// A decimal's plain text ("-12.50000000": digits, one point, a leading minus) read as
// a double without a locale; false for any other text. Correctly rounded, as the
// C locale's reading is, so both give the same double.
bool plainDecimalToDouble(const QString& text, double& value)
{
    char buffer[64];
    const qsizetype n = text.size();
    if (n == 0 || n > qsizetype(sizeof buffer))
        return false;
    const QChar* c = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ch = c[i].unicode();
        if (!((ch >= u'0' && ch <= u'9') || ch == u'.' || (ch == u'-' && i == 0)))
            return false;
        buffer[i] = char(ch);
    }
    const auto [end, ec] = std::from_chars(buffer, buffer + n, value);
    return ec == std::errc() && end == buffer + n;
}

double parseFloat(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    double v = QLocale::c().toDouble(t, ok);
    if (!*ok)
        v = QLocale::system().toDouble(t, ok);
    return v;
}

QDateTime parseDateTime(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    static const char* const formats[] = {
        "yyyy/M/d H:m:s", "yyyy/M/d H:m", "yyyy/M/d", "yyyy-M-d H:m:s", "yyyy-M-d H:m:s.z", "yyyy-M-dTH:m:s",
        "yyyy-M-d", "yyyyMMdd H:m:s", "yyyyMMdd"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid()) {
            *ok = true;
            return dt;
        }
    }
    *ok = false;
    return {};
}

} // namespace

TField::TField(TCustomADODataSet* dataSet, int index, const kvado::ColumnInfo& column)
    : FDataSet(dataSet), FIndex(index), FColumn(column)
{
}

TFieldType TField::DataType() const
{
    switch (FColumn.type) {
    case kvado::ColumnType::Integer: return ftInteger;
    case kvado::ColumnType::Decimal: return ftBCD;
    case kvado::ColumnType::Float: return ftFloat;
    case kvado::ColumnType::Text: return ftWideString;
    case kvado::ColumnType::DateTime: return ftDateTime;
    case kvado::ColumnType::Bit: return ftBoolean;
    case kvado::ColumnType::Binary: return ftVarBytes;
    case kvado::ColumnType::Null: return ftUnknown;
    }
    return ftUnknown;
}

QVariant TField::rawValue() const
{
    const QVariant* v = FDataSet->currentValue(FIndex);
    return v ? *v : QVariant();
}

QVariant TField::Value() const
{
    const QVariant* v = FDataSet->currentValue(FIndex);
    if (!v || v->isNull())
        return {};
    if (FColumn.type == kvado::ColumnType::Decimal) {
        double d = 0;
        if (v->typeId() == QMetaType::QString && plainDecimalToDouble(*static_cast<const QString*>(v->constData()), d))
            return d;
        bool ok = false;
        d = QLocale::c().toDouble(v->toString().trimmed(), &ok);
        return ok ? QVariant(d) : *v;
    }
    return *v;
}

bool TField::IsNull() const
{
    return rawValue().isNull();
}

QString TField::AsDecimalText() const
{
    const QVariant v = rawValue();
    if (FColumn.type == kvado::ColumnType::Decimal && !v.isNull())
        return v.toString();
    return AsString();
}

QString TField::AsString() const
{
    const QVariant v = rawValue();
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double: return QString::number(v.toDouble(), 'g', 15);
    case QMetaType::QDateTime: return formatDateTime(v.toDateTime());
    case QMetaType::QDate: return v.toDate().toString(QStringLiteral("yyyy/MM/dd"));
    case QMetaType::QByteArray: return QString::fromLatin1(v.toByteArray());
    default: break;
    }
    if (FColumn.type == kvado::ColumnType::Decimal)
        return trimDecimal(v.toString());
    return v.toString();
}

qint64 TField::AsLargeInt() const
{
    const QVariant v = rawValue();
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::LongLong: case QMetaType::Int: case QMetaType::ULongLong: case QMetaType::UInt:
        return v.toLongLong();
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::Double:
        return std::llround(v.toDouble());
    case QMetaType::QDateTime:
        return std::llround(toDayNumber(v.toDateTime()));
    default:
        break;
    }
    const QString text = v.toString().trimmed();
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (ok)
        return n;
    if (FColumn.type == kvado::ColumnType::Decimal) {
        const double d = QLocale::c().toDouble(text, &ok);
        if (ok)
            return std::llround(d);
    }
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}

int TField::AsInteger() const
{
    return int(AsLargeInt());
}

double TField::AsFloat() const
{
    const QVariant v = rawValue();
    if (v.isNull())
        return 0;
    switch (v.typeId()) {
    case QMetaType::Double: case QMetaType::LongLong: case QMetaType::Int:
        return v.toDouble();
    case QMetaType::Bool:
        return v.toBool() ? 1 : 0;
    case QMetaType::QDateTime:
        return toDayNumber(v.toDateTime());
    default:
        break;
    }
    bool ok = false;
    const double d = parseFloat(v.toString(), &ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
    return d;
}

QDateTime TField::AsDateTime() const
{
    const QVariant v = rawValue();
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDateTime: return v.toDateTime();
    case QMetaType::QDate: return QDateTime(v.toDate(), QTime(0, 0));
    case QMetaType::Double: case QMetaType::LongLong: case QMetaType::Int: return fromDayNumber(v.toDouble());
    default: break;
    }
    if (FColumn.type == kvado::ColumnType::Decimal)
        return fromDayNumber(AsFloat());
    bool ok = false;
    const QDateTime dt = parseDateTime(v.toString(), &ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid date and time").arg(v.toString()));
    return dt;
}

bool TField::AsBoolean() const
{
    const QVariant v = rawValue();
    if (v.isNull())
        return false;
    switch (v.typeId()) {
    case QMetaType::Bool: return v.toBool();
    case QMetaType::LongLong: case QMetaType::Int: return v.toLongLong() != 0;
    case QMetaType::Double: return v.toDouble() != 0;
    default: break;
    }
    if (FColumn.type == kvado::ColumnType::Decimal)
        return AsFloat() != 0;
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return false;
    const QChar c = text.front().toUpper();
    if (c == QLatin1Char('T') || c == QLatin1Char('Y') || c == QLatin1Char('1'))
        return true;
    if (c == QLatin1Char('F') || c == QLatin1Char('N') || c == QLatin1Char('0'))
        return false;
    throw EConvertError(QStringLiteral("'%1' is not a valid boolean value").arg(text));
}

TField* TFields::Field(int index) const
{
    if (index < 0 || index >= Count())
        throw EDatabaseError(QStringLiteral("List index out of bounds (%1)").arg(index));
    return FItems[size_t(index)].get();
}

TField* TFields::FindField(const QString& name) const
{
    auto it = FByName.constFind(name);
    if (it == FByName.constEnd()) {
        it = FByFoldedName.constFind(name.toCaseFolded());
        if (it == FByFoldedName.constEnd())
            return nullptr;
    }
    return FItems[size_t(*it)].get();
}

void TFields::clear()
{
    FItems.clear();
    FByFoldedName.clear();
    FByName.clear();
}

void TFields::add(std::unique_ptr<TField> field)
{
    const int index = int(FItems.size());
    const QString name = field->FieldName();
    const QString folded = name.toCaseFolded();
    if (!FByFoldedName.contains(folded)) {
        FByFoldedName.insert(folded, index);
        FByName.insert(name, index);
    }
    FItems.push_back(std::move(field));
}

// --- data set -------------------------------------------------------------

TCustomADODataSet::TCustomADODataSet(QObject* owner)
    : QObject(owner)
{
}

TCustomADODataSet::~TCustomADODataSet()
{
    if (FConnection)
        FConnection->FDataSets.removeAll(this);
}

void TCustomADODataSet::raiseError(const QString& text) const
{
    const QString name = objectName();
    throw EDatabaseError(name.isEmpty() ? text : name + QStringLiteral(": ") + text);
}

void TCustomADODataSet::SetConnection(TADOConnection* connection)
{
    if (connection == FConnection.data() && FConnectionString.isEmpty())
        return;
    Close();
    if (FConnection)
        FConnection->FDataSets.removeAll(this);
    FConnection = connection;
    if (connection) {
        connection->FDataSets.append(this);
        FConnectionString.clear();
        FOwnConnection.reset();
    }
}

void TCustomADODataSet::SetConnectionString(const QString& text)
{
    Close();
    if (FConnection) {
        FConnection->FDataSets.removeAll(this);
        FConnection = nullptr;
    }
    FConnectionString = text;
    FOwnConnection.reset();
}

TADOConnection* TCustomADODataSet::ActiveConnection() const
{
    if (FConnection)
        return FConnection.data();
    return FOwnConnection.get();
}

TADOConnection* TCustomADODataSet::requireConnection()
{
    if (FConnection)
        return FConnection.data();
    if (FConnectionString.isEmpty())
        raiseError(QStringLiteral("Missing Connection or ConnectionString"));
    if (!FOwnConnection) {
        FOwnConnection = std::make_unique<TADOConnection>();
        FOwnConnection->SetConnectionString(FConnectionString);
    }
    return FOwnConnection.get();
}

void TCustomADODataSet::releaseResults()
{
    FResultSets.clear();
    FResultIndex = -1;
    FFields.clear();
    FCurrent = -1;
    FEof = FBof = true;
}

void TCustomADODataSet::loadResultSet(int index)
{
    FResultIndex = index;
    FFields.clear();
    const kvado::ResultSet& set = FResultSets.at(index);
    for (int i = 0; i < set.columns.size(); ++i)
        FFields.add(std::make_unique<TField>(this, i, set.columns[i]));
    FActive = true;
    First();
}

void TCustomADODataSet::Open()
{
    if (FActive)
        return;
    TADOConnection* connection = requireConnection();
    const QString text = CommandText();
    if (text.trimmed().isEmpty())
        raiseError(QStringLiteral("CommandText not set"));
    kvado::BatchResult result = connection->RunBatch(text, CommandTimeout);
    releaseResults();
    FRowsAffected = int(result.rowsAffected);
    if (result.resultSets.isEmpty()) {
        connection->FErrors.Clear(); // the provider reported nothing wrong
        raiseError(QStringLiteral("CommandText does not return a result set"));
    }
    FResultSets = std::move(result.resultSets);
    loadResultSet(0);
}

void TCustomADODataSet::Close()
{
    FActive = false;
    releaseResults();
}

int TCustomADODataSet::ExecSQL()
{
    Close();
    TADOConnection* connection = requireConnection();
    const QString text = CommandText();
    if (text.trimmed().isEmpty())
        raiseError(QStringLiteral("CommandText not set"));
    const kvado::BatchResult result = connection->RunBatch(text, CommandTimeout);
    FRowsAffected = int(result.rowsAffected);
    return FRowsAffected;
}

bool TCustomADODataSet::NextRecordset()
{
    if (!FActive || FResultIndex + 1 >= FResultSets.size()) {
        Close();
        return false;
    }
    loadResultSet(FResultIndex + 1);
    return true;
}

const QVariant* TCustomADODataSet::currentValue(int field) const
{
    if (!FActive || FCurrent < 0)
        return nullptr;
    const QList<QVariant>& row = FResultSets.at(FResultIndex).rows.at(FCurrent);
    return field < row.size() ? &row.at(field) : nullptr;
}

int TCustomADODataSet::RecordCount() const
{
    return FActive ? int(FResultSets.at(FResultIndex).rows.size()) : 0;
}

bool TCustomADODataSet::Eof() const { return !FActive || FEof; }
bool TCustomADODataSet::Bof() const { return !FActive || FBof; }
bool TCustomADODataSet::IsEmpty() const { return RecordCount() == 0; }

void TCustomADODataSet::First()
{
    if (!FActive)
        raiseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const int count = RecordCount();
    FCurrent = count > 0 ? 0 : -1;
    FBof = true;
    FEof = count == 0;
}

void TCustomADODataSet::Last()
{
    if (!FActive)
        raiseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const int count = RecordCount();
    FCurrent = count - 1;
    FEof = true;
    FBof = count == 0;
}

int TCustomADODataSet::MoveBy(int distance)
{
    if (!FActive)
        raiseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const int count = RecordCount();
    if (count == 0) {
        FEof = FBof = true;
        return 0;
    }
    const int target = qBound(0, FCurrent + distance, count - 1);
    const int moved = target - FCurrent;
    FEof = distance > 0 && moved < distance;
    FBof = distance < 0 && moved > distance;
    if (distance != 0 && moved != 0) {
        if (distance > 0)
            FBof = false;
        else
            FEof = false;
    }
    FCurrent = target;
    return moved;
}

void TCustomADODataSet::Next() { MoveBy(1); }
void TCustomADODataSet::Prior() { MoveBy(-1); }

int TCustomADODataSet::RecNo() const
{
    return FActive && FCurrent >= 0 ? FCurrent + 1 : 0;
}

void TCustomADODataSet::SetRecNo(int value)
{
    if (!FActive)
        raiseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    const int count = RecordCount();
    if (value < 1 || value > count)
        return;
    FCurrent = value - 1;
    FEof = FBof = false;
}

TField* TCustomADODataSet::FieldByName(const QString& name) const
{
    TField* f = FFields.FindField(name);
    if (!f)
        raiseError(QStringLiteral("Field '%1' not found").arg(name));
    return f;
}

namespace {

bool valueMatches(const TField* field, const QVariant& wanted, TLocateOptions options)
{
    if (wanted.isNull() || !wanted.isValid())
        return field->IsNull();
    if (field->IsNull())
        return false;
    switch (field->DataType()) {
    case ftInteger: case ftLargeint: case ftFloat: case ftBCD: {
        bool ok = false;
        const double w = wanted.toString().trimmed().isEmpty() ? 0 : QLocale::c().toDouble(wanted.toString().trimmed(), &ok);
        if (ok || wanted.typeId() == QMetaType::Double || wanted.typeId() == QMetaType::Int || wanted.typeId() == QMetaType::LongLong)
            return field->AsFloat() == (ok ? w : wanted.toDouble());
        return false;
    }
    case ftBoolean:
        return field->AsBoolean() == wanted.toBool();
    case ftDateTime:
        if (wanted.typeId() == QMetaType::QDateTime)
            return field->AsDateTime() == wanted.toDateTime();
        if (wanted.typeId() == QMetaType::QDate)
            return field->AsDateTime() == QDateTime(wanted.toDate(), QTime(0, 0));
        break;
    default:
        break;
    }
    const QString have = field->AsString();
    const QString want = wanted.toString();
    const Qt::CaseSensitivity cs = (options & loCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (options & loPartialKey)
        return have.startsWith(want, cs);
    return have.compare(want, cs) == 0;
}

} // namespace

bool TCustomADODataSet::Locate(const QString& keyFields, const QVariant& keyValues, TLocateOptions options)
{
    if (!FActive)
        raiseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    QList<TField*> fields;
    for (const QString& name : keyFields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        fields.append(FieldByName(name.trimmed()));
    QVariantList values;
    if (fields.size() > 1 || keyValues.typeId() == QMetaType::QVariantList)
        values = keyValues.toList();
    else
        values.append(keyValues);
    if (fields.isEmpty() || values.size() != fields.size())
        raiseError(QStringLiteral("Locate needs one value per key field"));
    const int saved = FCurrent;
    const bool savedEof = FEof, savedBof = FBof;
    const int count = RecordCount();
    for (int row = 0; row < count; ++row) {
        FCurrent = row;
        bool all = true;
        for (int i = 0; i < fields.size() && all; ++i)
            all = valueMatches(fields[i], values[i], options);
        if (all) {
            FEof = FBof = false;
            return true;
        }
    }
    FCurrent = saved;
    FEof = savedEof;
    FBof = savedBof;
    return false;
}

// --- query text -----------------------------------------------------------

void TSQLLines::Clear()
{
    FOwner->Close();
    FLines.clear();
}

void TSQLLines::Add(const QString& line)
{
    FOwner->Close();
    FLines.append(line);
}

QString TSQLLines::Text() const
{
    QString text;
    for (const QString& line : FLines)
        text += line + QStringLiteral("\r\n");
    return text;
}

void TSQLLines::SetText(const QString& text)
{
    FOwner->Close();
    FLines.clear();
    if (text.isEmpty())
        return;
    QString t = text;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (t.endsWith(QLatin1Char('\n')))
        t.chop(1);
    FLines = t.split(QLatin1Char('\n'));
}

// --- command --------------------------------------------------------------

TADOCommand::TADOCommand(QObject* owner)
    : QObject(owner)
{
}

TADOCommand::~TADOCommand() = default;

void TADOCommand::SetConnection(TADOConnection* connection)
{
    FConnection = connection;
    if (connection) {
        FConnectionString.clear();
        FOwnConnection.reset();
    }
}

void TADOCommand::SetConnectionString(const QString& text)
{
    FConnection = nullptr;
    FConnectionString = text;
    FOwnConnection.reset();
}

TADOConnection* TADOCommand::ActiveConnection() const
{
    if (FConnection)
        return FConnection.data();
    return FOwnConnection.get();
}

int TADOCommand::Execute()
{
    TADOConnection* connection = FConnection.data();
    if (!connection) {
        if (FConnectionString.isEmpty())
            throw EDatabaseError(QStringLiteral("Missing Connection or ConnectionString"));
        if (!FOwnConnection) {
            FOwnConnection = std::make_unique<TADOConnection>();
            FOwnConnection->SetConnectionString(FConnectionString);
        }
        connection = FOwnConnection.get();
    }
    return int(connection->RunBatch(CommandText, CommandTimeout).rowsAffected);
}

// --- transactions of the program ------------------------------------------

namespace kvado {

namespace {

int gOpenTransactions = 0;

std::vector<std::function<void()>>& afterTransactions()
{
    static std::vector<std::function<void()>> work;
    return work;
}

} // namespace

void transactionOpened()
{
    ++gOpenTransactions;
}

void transactionEnded()
{
    if (gOpenTransactions > 0)
        --gOpenTransactions;
    if (gOpenTransactions > 0)
        return;
    // Taken first: the work may begin and end transactions of its own.
    std::vector<std::function<void()>> work;
    work.swap(afterTransactions());
    for (const std::function<void()>& w : work) {
        try {
            w();
        } catch (...) {
            // a report that could not be shown ends nothing else (this runs as a scope ends)
        }
    }
}

bool TransactionOpen()
{
    return gOpenTransactions > 0;
}

void WhenNoTransactionOpen(std::function<void()> work)
{
    if (!work)
        return;
    if (gOpenTransactions == 0)
        work();
    else
        afterTransactions().push_back(std::move(work));
}

} // namespace kvado

// --- scoped transaction ---------------------------------------------------

namespace kvado {

ScopedTransaction::ScopedTransaction(TADOConnection* connection)
    : FConnection(connection)
{
    FConnection->BeginTrans();
    FOpen = true;
}

ScopedTransaction::~ScopedTransaction()
{
    if (!FOpen)
        return;
    try {
        FConnection->RollbackTrans();
    } catch (...) {
        // The connection is gone or already rolled back; nothing is left to undo.
    }
}

void ScopedTransaction::Commit()
{
    if (!FOpen)
        return;
    FOpen = false;
    FConnection->CommitTrans();
}

} // namespace kvado
