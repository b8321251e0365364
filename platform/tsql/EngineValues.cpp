// Values: stored values as the caller receives them, result sets with typed
// columns, a value as a variable of a type holds it, expressions evaluated.
#include "EngineImpl.h"

namespace kvtsql {

QVariant Connection::Impl::toApi(const QVariant& raw, const ColumnInfo& c)
{
    if (raw.isNull()) return QVariant();
    const int t = raw.typeId();
    switch (c.type) {
    case SqlType::Integer:
        if (t == QMetaType::LongLong) return raw;
        if (t == QMetaType::Double) {
            const double d = std::trunc(raw.toDouble());
            return std::fabs(d) < 9.2e18 ? QVariant(qlonglong(d)) : raw;
        }
        {
            bool ok = false;
            qlonglong v = raw.toString().trimmed().toLongLong(&ok);
            return ok ? QVariant(v) : raw;
        }
    case SqlType::Bit:
        if (t == QMetaType::QString) {
            QString s = raw.toString().trimmed();
            if (s.compare("true", Qt::CaseInsensitive) == 0) return qlonglong(1);
            if (s.compare("false", Qt::CaseInsensitive) == 0) return qlonglong(0);
        }
        return qlonglong(raw.toDouble() != 0 ? 1 : 0);
    case SqlType::Float: return raw.toDouble();
    case SqlType::Decimal: {
        QString f = formatDecimal(raw, c.scale);
        return f.isEmpty() ? raw : QVariant(f);
    }
    case SqlType::DateTime: {
        if (t == QMetaType::QString) {
            QDateTime d;
            if (parseDateText(raw.toString(), d)) return QDateTime(d.date(), d.time());
        }
        return raw;
    }
    case SqlType::Text:
        if (t == QMetaType::LongLong) return QString::number(raw.toLongLong());
        if (t == QMetaType::Double) return QString::number(raw.toDouble(), 'g', 15);
        if (t == QMetaType::QByteArray) return QString::fromUtf8(raw.toByteArray());
        return raw;
    case SqlType::Binary: return raw.toByteArray();
    case SqlType::Null: return raw;
    }
    return raw;
}

ColumnInfo Connection::Impl::columnInfo(const QString& name, const TypeInfo& t)
{
    ColumnInfo c;
    c.name = name;
    c.type = t.type;
    c.precision = t.precision;
    c.scale = t.scale;
    c.size = t.size;
    return c;
}

ResultSet Connection::Impl::makeResult(const Rows& r, const Translated& tr)
{
    ResultSet rs;
    const int n = r.names.size();
    for (int i = 0; i < n; ++i) {
        TypeInfo t;
        if (tr.columnsKnown && tr.columns.size() == n) t = tr.columns[i].type;
        if (!t.known() && !r.declTypes[i].isEmpty()) t = typeFromDecl(r.declTypes[i]);
        if (!t.known()) {
            for (const auto& row : r.rows) {
                const QVariant& v = row[i];
                if (v.isNull()) continue;
                if (v.typeId() == QMetaType::LongLong) t.type = SqlType::Integer;
                else if (v.typeId() == QMetaType::Double) t.type = SqlType::Float;
                else if (v.typeId() == QMetaType::QByteArray) t.type = SqlType::Binary;
                else t.type = SqlType::Text;
                break;
            }
            if (!t.known()) t.type = SqlType::Text;
        }
        rs.columns << columnInfo(r.names[i], t);
    }
    rs.rows.reserve(r.rows.size());
    for (const auto& row : r.rows) {
        QList<QVariant> out;
        out.reserve(n);
        for (int i = 0; i < n; ++i) out << toApi(row[i], rs.columns[i]);
        rs.rows.append(out);
    }
    return rs;
}

QVariant Connection::Impl::storedValue(sqlite3_value* v, int kind)
{
    switch (kind) {
    case SQLITE_INTEGER: return qlonglong(sqlite3_value_int64(v));
    case SQLITE_FLOAT: return sqlite3_value_double(v);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
    case SQLITE_BLOB: return QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
    default: return QVariant();
    }
}

QVariant Connection::Impl::apiValue(sqlite3_stmt* st, int i, const ColumnInfo& c)
{
    sqlite3_value* v = sqlite3_column_value(st, i);
    const int kind = sqlite3_value_type(v);
    if (kind == SQLITE_NULL) return QVariant();
    switch (c.type) {
    case SqlType::Integer:
        if (kind == SQLITE_INTEGER) return qlonglong(sqlite3_value_int64(v));
        break;
    case SqlType::Text:
        if (kind == SQLITE_TEXT)
            return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        break;
    case SqlType::Decimal:
        if (kind == SQLITE_TEXT) {
            QString f;
            const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
            if (formatPlainDecimal(text, sqlite3_value_bytes(v), c.scale, f)) return f;
        }
        break;
    case SqlType::DateTime:
        if (kind == SQLITE_TEXT) {
            const char* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
            const int size = sqlite3_value_bytes(v);
            if (size > 64) break;
            const QByteArray key = QByteArray::fromRawData(text, size);
            const auto it = dateValues.constFind(key);
            if (it != dateValues.constEnd()) return *it;
            QVariant value = toApi(storedValue(v, kind), c);
            if (dateValues.size() >= 4096) dateValues.clear();
            dateValues.insert(QByteArray(text, size), value);
            return value;
        }
        break;
    default: break;
    }
    return toApi(storedValue(v, kind), c);
}

ResultSet Connection::Impl::queryResult(const Translated& q)
{
    sqlite3_stmt* st = prepare(q.sql, q.params);
    const int n = sqlite3_column_count(st);
    ResultSet rs;
    for (int i = 0; i < n; ++i) {
        TypeInfo t;
        if (q.columnsKnown && q.columns.size() == n) t = q.columns[i].type;
        if (!t.known()) {
            const char* d = sqlite3_column_decltype(st, i);
            if (d && *d) t = typeFromDecl(QString::fromUtf8(d));
        }
        if (!t.known()) {
            release(st);
            return makeResult(fetch(q.sql, q.params), q);
        }
        rs.columns << columnInfo(QString::fromUtf8(sqlite3_column_name(st, i)), t);
    }
    sqlite3_mutex* lock = sqlite3_db_mutex(db);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        QList<QVariant> row;
        row.reserve(n);
        {
            const RowLock held(lock);
            for (int i = 0; i < n; ++i) row.append(apiValue(st, i, rs.columns[i]));
        }
        rs.rows.append(std::move(row));
    }
    finishSteps(st, rc);
    return rs;
}

QVariant Connection::Impl::coerce(const QVariant& raw, const TypeInfo& t)
{
    if (raw.isNull()) return QVariant();
    const int rt = raw.typeId();
    switch (t.type) {
    case SqlType::Integer: {
        qlonglong v = 0;
        if (rt == QMetaType::LongLong) {
            v = raw.toLongLong();
        } else if (rt == QMetaType::Double) {
            const double d = std::trunc(raw.toDouble());
            if (!(std::fabs(d) < 9.2e18)) raise(8115, integerOverflowMessage(t.precision));
            v = qlonglong(d);
        } else {
            bool ok = false;
            QString s = raw.toString().trimmed();
            const int dot = s.indexOf(u'.');
            v = s.toLongLong(&ok);
            if (!ok && dot >= 0) {
                // a decimal's text: its whole part
                const QString whole = s.left(dot);
                bool digits = true;
                for (int i = dot + 1; i < s.size(); ++i) digits = digits && s[i].isDigit();
                if (digits) v = whole == u'-' || whole.isEmpty() ? 0 : whole.toLongLong(&ok);
            }
            if (!ok && !s.isEmpty())
                raise(245, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(raw.toString()));
        }
        // each integer type holds its own range, checked as columns and expressions check it
        int number = 0;
        QString message;
        if (integerOutOfRange(v, t.precision, number, message)) raise(number, message);
        return v;
    }
    case SqlType::Bit:
        if (rt == QMetaType::QString) {
            QString s = raw.toString().trimmed();
            if (s.compare("true", Qt::CaseInsensitive) == 0) return qlonglong(1);
            if (s.compare("false", Qt::CaseInsensitive) == 0) return qlonglong(0);
        }
        return qlonglong(raw.toDouble() != 0 ? 1 : 0);
    case SqlType::Decimal: {
        // exact: the value brought to the variable's precision and scale
        const int p = std::clamp(t.precision > 0 ? t.precision : 18, 1, 38), sc = std::clamp(t.scale, 0, p);
        try {
            kvdec::Decimal d;
            if (rt == QMetaType::LongLong || rt == QMetaType::Int) d = kvdec::Decimal::fromInt(raw.toLongLong(), p, sc);
            else if (rt == QMetaType::Double) d = kvdec::Decimal::fromDouble(raw.toDouble(), p, sc);
            else d = kvdec::Decimal::parse(raw.toString().toStdString(), p, sc);
            return QString::fromStdString(d.toString());
        } catch (const kvdec::DecimalError& e) {
            raise(e.number(), QString::fromUtf8(e.what()));
        }
    }
    case SqlType::Float: return raw.toDouble();
    case SqlType::DateTime: {
        if (rt == QMetaType::QString) {
            QDateTime d;
            if (!parseDateText(raw.toString(), d))
                raise(241, QStringLiteral("Conversion failed when converting date and/or time from character string."));
            return canonicalDateTime(t.precision == 1 ? roundToMinute(d) : d);
        }
        if (rt == QMetaType::LongLong || rt == QMetaType::Double) {
            double v = raw.toDouble();
            if (!(std::fabs(v) < 3e6))
                raise(8115, QStringLiteral("Arithmetic overflow error converting expression to data type datetime."));
            double days = std::floor(v);
            QDateTime d = QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC)
                              .addDays(qint64(days))
                              .addMSecs(qint64(std::llround((v - days) * 86400000.0)));
            return canonicalDateTime(t.precision == 1 ? roundToMinute(d) : d);
        }
        return raw;
    }
    case SqlType::Text: {
        QString s;
        if (rt == QMetaType::LongLong) s = QString::number(raw.toLongLong());
        else if (rt == QMetaType::Double) s = QString::number(raw.toDouble(), 'g', 15);
        else s = raw.toString();
        if (t.size > 0 && s.size() > t.size) s.truncate(t.size);
        if (t.fixed && s.size() < t.size) s = s.leftJustified(t.size, u' ');
        return s;
    }
    case SqlType::Binary: return raw.toByteArray();
    case SqlType::Null: return raw;
    }
    return raw;
}

QVariant Connection::Impl::evaluate(const ExprP& e, TypeInfo* type)
{
    Translator tr(ctx);
    TypeInfo t;
    Translated q = tr.scalar(e, false, &t);
    Rows r = fetch(q.sql, q.params);
    if (type) *type = t;
    return r.rows.isEmpty() ? QVariant() : r.rows[0][0];
}

bool Connection::Impl::condition(const ExprP& e)
{
    Translator tr(ctx);
    Translated q = tr.scalar(e, true);
    Rows r = fetch(q.sql, q.params);
    return !r.rows.isEmpty() && r.rows[0][0].toLongLong() != 0;
}

void Connection::Impl::setVariable(const QString& name, const QVariant& raw)
{
    auto it = frame->vars.find(name);
    if (it == frame->vars.end()) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(name));
    it->value = coerce(raw, it->type);
}

void Connection::Impl::changed(qint64 n)
{
    rowcount = n;
    out->rowsAffected = n;
}

} // namespace kvtsql
