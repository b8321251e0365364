// The translator of parsed T-SQL into SQLite SQL, its common ground: types from
// declarations and back, names, literals and parameters, column types, decimal
// comparison. TranslatorTypes.h lists the units that translate the rest.
#include "TranslatorTypes.h"

#include <QRegularExpression>

#include "Decimal.h"

#include <limits>

#include <algorithm>
#include <charconv>

namespace kvtsql {

void raise(int number, const QString& message)
{
    SqlError e;
    e.number = number;
    e.message = message;
    throw StatementError{e};
}

int TableInfo::indexOf(const QString& column) const
{
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].name.compare(column, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// ---------------------------------------------------------------- types
TypeInfo typeFromRef(const TypeRef& r)
{
    TypeInfo t;
    const QString& n = r.name;
    if (n == "int" || n == "integer" || n == "bigint" || n == "smallint" || n == "tinyint") {
        t.type = SqlType::Integer;
        t.precision = n == "bigint" ? 19 : (n == "smallint" ? 5 : (n == "tinyint" ? 3 : 10));
    } else if (n == "bit") {
        t.type = SqlType::Bit;
    } else if (n == "decimal" || n == "numeric" || n == "dec") {
        t.type = SqlType::Decimal;
        t.precision = r.p1 > 0 ? r.p1 : 18;
        t.scale = r.p2 >= 0 ? r.p2 : 0;
    } else if (n == "money") {
        t.type = SqlType::Decimal;
        t.precision = 19;
        t.scale = 4;
    } else if (n == "smallmoney") {
        t.type = SqlType::Decimal;
        t.precision = 10;
        t.scale = 4;
    } else if (n == "float" || n == "real" || n == "double") {
        t.type = SqlType::Float;
        t.precision = 53;
    } else if (n == "char" || n == "varchar" || n == "nchar" || n == "nvarchar" || n == "text" || n == "ntext"
               || n == "sysname" || n == "uniqueidentifier" || n == "xml" || n == "character") {
        t.type = SqlType::Text;
        if (r.max || n == "text" || n == "ntext" || n == "xml") t.size = 0;
        else if (n == "sysname") t.size = 128;
        else if (n == "uniqueidentifier") t.size = 36;
        else t.size = r.p1 > 0 ? r.p1 : (n == "char" || n == "nchar" || n == "varchar" || n == "nvarchar" ? 1 : 0);
        if (t.size > 8000) t.size = 0;   // (max)
        t.fixed = t.size > 0 && (n == "char" || n == "nchar" || n == "character");
        t.unicode = n == "nchar" || n == "nvarchar" || n == "ntext" || n == "sysname" || n == "xml";
    } else if (n == "datetime" || n == "smalldatetime" || n == "date" || n == "datetime2" || n == "time") {
        t.type = SqlType::DateTime;
        if (n == "smalldatetime") t.precision = 1;   // whole minutes
    } else if (n == "binary" || n == "varbinary" || n == "image" || n == "timestamp" || n == "rowversion") {
        t.type = SqlType::Binary;
        t.size = r.p1 > 0 ? r.p1 : 0;
    }
    return t;
}

TypeInfo typeFromDecl(const QString& decl)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z_][A-Za-z0-9_]*)(?:\\s+text\\b)?\\s*(?:\\(\\s*(\\w+)\\s*(?:,\\s*(\\d+)\\s*)?\\))?"));
    QRegularExpressionMatch m = re.match(decl);
    if (!m.hasMatch()) return {};
    TypeRef r;
    r.name = m.captured(1).toLower();
    if (m.captured(2).compare("max", Qt::CaseInsensitive) == 0) r.max = true;
    else if (!m.captured(2).isEmpty()) r.p1 = m.captured(2).toInt();
    if (!m.captured(3).isEmpty()) r.p2 = m.captured(3).toInt();
    // a stored text type without a length has no limit
    if (m.captured(2).isEmpty()) r.max = true;
    return typeFromRef(r);
}

QString declFromType(const TypeInfo& t)
{
    switch (t.type) {
    case SqlType::Integer: return t.precision == 19 ? "bigint" : (t.precision == 5 ? "smallint" : (t.precision == 3 ? "tinyint" : "int"));
    case SqlType::Bit: return "bit";
    case SqlType::Decimal: return QStringLiteral("decimal(%1,%2)").arg(std::clamp(t.precision, 1, 38)).arg(t.scale);
    case SqlType::Float: return "float";
    case SqlType::Text:
        return QString(t.fixed ? QStringLiteral("%1char(%2)") : QStringLiteral("%1varchar(%2)"))
            .arg(t.unicode ? "n" : "")
            .arg(t.size > 0 ? t.size : kMaxText);
    case SqlType::DateTime: return t.precision == 1 ? "smalldatetime" : "datetime";
    case SqlType::Binary: return "varbinary";
    case SqlType::Null: return QString();
    }
    return QString();
}

QString storageDecl(const TypeInfo& t)
{
    if (t.type == SqlType::Decimal)
        return QStringLiteral("decimal text(%1,%2) COLLATE DECIMAL").arg(std::clamp(t.precision, 1, 38)).arg(std::clamp(t.scale, 0, 38));
    return declFromType(t);
}

void checkDecimalType(const TypeRef& r, int position)
{
    if (r.name != "decimal" && r.name != "numeric" && r.name != "dec") return;
    if (r.p1 > 38)
        raise(2750, QStringLiteral("Column or parameter #%1: Specified column precision %2 is greater than the maximum precision of 38.")
                        .arg(position).arg(r.p1));
    if (r.p1 == 0) raise(2749, QStringLiteral("Column or parameter #%1: Specified column precision 0 is less than the minimum precision of 1.").arg(position));
    const int p = r.p1 > 0 ? r.p1 : 18;
    if (r.p2 > p) raise(192, QStringLiteral("The scale must be less than or equal to the precision."));
}

// ---------------------------------------------------------------- helpers
QString Translator::quote(const QString& name)
{
    QString n = name;
    n.replace(u'"', QLatin1String("\"\""));
    return u'"' + n + u'"';
}

// SQLite's own tables (the schema, identity counters, statistics), pragmas and
// table-valued functions: the account set's machinery, which T-SQL text never
// reaches. The engine reads them itself through SQL of its own.
static bool sqliteMachinery(const QString& name)
{
    static const QStringList prefixes = {QStringLiteral("sqlite_"), QStringLiteral("pragma_")};
    static const QStringList names = {QStringLiteral("dbstat"), QStringLiteral("json_each"), QStringLiteral("json_tree"),
                                      QStringLiteral("generate_series"), QStringLiteral("carray"), QStringLiteral("completion")};
    for (const QString& p : prefixes)
        if (name.startsWith(p, Qt::CaseInsensitive)) return true;
    return names.contains(name, Qt::CaseInsensitive);
}

QString Translator::tableName(const QStringList& parts)
{
    QString n = parts.last();
    // as SQL Server answers a name it does not know
    if (sqliteMachinery(n)) raise(208, QStringLiteral("Invalid object name '%1'.").arg(parts.join(u'.')));
    if (n.compare("sysobjects", Qt::CaseInsensitive) == 0
        || (n.compare("objects", Qt::CaseInsensitive) == 0 && parts.size() >= 2
            && parts[parts.size() - 2].compare("sys", Qt::CaseInsensitive) == 0))
        return "sysobjects";
    return n;
}

void Translator::setLiterals(const QList<ExprP>& literals)
{
    m_literalIndex.clear();
    for (int i = 0; i < literals.size(); ++i) m_literalIndex.insert(literals[i].get(), i);
}

Translated Translator::finish(Translated out) const
{
    // The pieces carry numbered placeholders (a variable named twice shares one);
    // SQLite looks each numbered one up in a list, so a statement with thousands of
    // values would take quadratic time. Every placeholder becomes a plain "?" bound by
    // its position in the text, with its value and source repeated where it recurs.
    const QString& sql = out.sql;
    QString text;
    text.reserve(sql.size());
    out.params.clear();
    out.sources.clear();
    QChar quoteChar;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quoteChar.isNull()) {
            if (c == quoteChar) quoteChar = QChar();   // a doubled quote closes and reopens
            text += c;
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quoteChar = c;
            text += c;
            continue;
        }
        if (c == u'?' && i + 1 < sql.size() && sql[i + 1].isDigit()) {
            qsizetype j = i + 1;
            qsizetype n = 0;
            while (j < sql.size() && sql[j].isDigit()) n = n * 10 + sql[j++].digitValue();
            if (n >= 1 && n <= m_params.size()) {
                out.params.append(m_params[n - 1]);
                out.sources.append(m_sources[n - 1]);
                text += u'?';
                i = j - 1;
                continue;
            }
        }
        text += c;
    }
    out.sql = text;
    out.cacheable = m_cacheable;
    return out;
}

QString Translator::param(const QVariant& v, const ParamSource& source)
{
    if (m_inlineOnly) raise(128, QStringLiteral("Variables are not allowed in this context."));
    if (source.kind == ParamSource::Literal && source.index < 0) m_cacheable = false;
    m_sources.append(source);
    m_params.append(v);
    return u'?' + QString::number(m_params.size());
}
// A numeric literal's value, read the same whatever the user's locale.
static double toDouble(const QString& text)
{
    QByteArray b = text.toLatin1();
    double v = 0;
    std::from_chars(b.constData(), b.constData() + b.size(), v);
    return v;
}

QVariant Translator::literalValue(const Expr& e)
{
    switch (e.kind) {
    case EK::Integer: return qlonglong(e.text.toLongLong());
    case EK::Number: {
        if (e.text.contains(u'e') || e.text.contains(u'E')) return toDouble(e.text);
        QString digits = e.text;
        digits.remove(u'-');
        digits.remove(u'.');
        while (digits.startsWith(u'0') && digits.size() > 1) digits.remove(0, 1);
        if (digits.size() > 15) return e.text;
        return toDouble(e.text);
    }
    case EK::String: return e.text.isNull() ? QStringLiteral("") : e.text;
    default: return QVariant();
    }
}

QString Translator::literal(const Expr& e, TypeInfo& type)
{
    const ParamSource source{ParamSource::Literal, m_literalIndex.value(&e, -1), QString()};
    switch (e.kind) {
    case EK::Null: type = TypeInfo(); return "NULL";
    case EK::Integer: {
        bool ok = false;
        const qlonglong v = e.text.toLongLong(&ok);
        if (ok) {
            type = intType();
            if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min()) type.precision = 19;
            return m_inlineOnly ? e.text : param(literalValue(e), source);
        }
        // beyond 64 bits: a whole decimal, carried as its exact text
        type = decType(std::min<int>(38, e.text.size()), 0);
        m_cacheable = false;
        return quoteText(e.text);
    }
    case EK::Number: {
        if (e.text.contains(u'e') || e.text.contains(u'E')) {
            type = floatType();
            return m_inlineOnly ? e.text : param(literalValue(e), source);
        }
        QString digits = e.text;
        digits.remove(u'-');
        int dot = digits.indexOf(u'.');
        int scale = dot < 0 ? 0 : digits.size() - dot - 1;
        QString allDigits = digits;
        allDigits.remove(u'.');
        while (allDigits.startsWith(u'0') && allDigits.size() > 1) allDigits.remove(0, 1);
        type = decType(std::max<int>(allDigits.size(), scale), scale);
        QString t = e.text;
        if (allDigits.size() > 15) return m_inlineOnly ? quoteText(t) : param(literalValue(e), source);
        if (t.startsWith(u'.')) t.prepend(u'0');
        if (t.startsWith(QLatin1String("-."))) t.insert(1, u'0');
        if (t.endsWith(u'.')) t += u'0';
        return m_inlineOnly ? t : param(literalValue(e), source);
    }
    case EK::String: type = textType(std::max<int>(1, e.text.size())); type.unicode = e.unicode; return m_inlineOnly ? quoteText(e.text) : param(literalValue(e), source);
    case EK::BinaryLit: type = TypeInfo(); type.type = SqlType::Binary; return QStringLiteral("X'%1'").arg(e.text.size() % 2 ? "0" + e.text : e.text);
    default: break;
    }
    return "NULL";
}

TypeInfo Translator::columnType(const QStringList& parts, const Scope& scope, bool* found, bool* stored) const
{
    if (stored) *stored = false;
    const QString& col = parts.last();
    for (const Scope* sc = &scope; sc; sc = sc->parent) {
        if (parts.size() >= 2) {
            const QString& q = parts[parts.size() - 2];
            for (const Source& s : sc->sources) {
                if (s.alias.compare(q, Qt::CaseInsensitive) == 0
                    || (s.alias.isEmpty() && s.table.compare(q, Qt::CaseInsensitive) == 0)) {
                    for (const OutputColumn& c : s.cols)
                        if (c.name.compare(col, Qt::CaseInsensitive) == 0) {
                            if (found) *found = true;
                            if (stored) *stored = c.stored;
                            return c.type;
                        }
                    if (found) *found = s.known ? false : true;
                    return TypeInfo();
                }
            }
        } else {
            for (const Source& s : sc->sources)
                for (const OutputColumn& c : s.cols)
                    if (c.name.compare(col, Qt::CaseInsensitive) == 0) {
                        if (found) *found = true;
                        if (stored) *stored = c.stored;
                        return c.type;
                    }
            if (sc->outputs)
                for (const OutputColumn& c : *sc->outputs)
                    if (c.name.compare(col, Qt::CaseInsensitive) == 0) {
                        if (found) *found = true;
                        return c.type;
                    }
        }
    }
    if (found) *found = false;
    return TypeInfo();
}
bool Translator::storedColumn(const ExprP& e, const Scope& scope) const
{
    const Expr* x = e.get();
    while (x->kind == EK::Paren) x = x->args[0].get();
    if (x->kind != EK::Column) return false;
    bool found = false, stored = false;
    columnType(x->parts, scope, &found, &stored);
    return found && stored;
}

// Decimals are stored as canonical texts under the DECIMAL collation. A stored
// column on either side makes SQLite read the other side as text and compare
// by value (and keeps an index usable); two computed values, which may come as
// INTEGER, REAL or TEXT, are compared exactly by dec_cmp.
QString Translator::decimalComparison(const QString& op, const QString& sa, const QString& sb, bool storedA, bool storedB)
{
    if (storedA || storedB) return "(" + sa + " " + op + " " + sb + ")";
    return "(dec_cmp(" + sa + ", " + sb + ") " + op + " 0)";
}

// A decimal value as a key for ordering, grouping and min/max: always its
// canonical text, ordered by value.
QString Translator::decimalKey(const QString& sql) const
{
    return "dec_text(" + sql + ") COLLATE DECIMAL";
}

} // namespace kvtsql
