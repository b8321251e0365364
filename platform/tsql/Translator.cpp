#include "Translator.h"

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

// Length stored for (max) texts: SQLite's type names take numbers only.
static const int kMaxText = 1073741823;

QString declFromType(const TypeInfo& t)
{
    switch (t.type) {
    case SqlType::Integer: return t.precision == 19 ? "bigint" : (t.precision == 5 ? "smallint" : (t.precision == 3 ? "tinyint" : "int"));
    case SqlType::Bit: return "bit";
    case SqlType::Decimal: return QStringLiteral("decimal(%1,%2)").arg(std::clamp(t.precision, 1, 38)).arg(t.scale);
    case SqlType::Float: return "float";
    case SqlType::Text: return QString(t.fixed ? QStringLiteral("nchar(%1)") : QStringLiteral("nvarchar(%1)")).arg(t.size > 0 ? t.size : kMaxText);
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

static TypeInfo intType() { TypeInfo t; t.type = SqlType::Integer; t.precision = 10; return t; }
static TypeInfo textType(int size = 0) { TypeInfo t; t.type = SqlType::Text; t.size = size; return t; }
static TypeInfo floatType() { TypeInfo t; t.type = SqlType::Float; t.precision = 53; return t; }
static TypeInfo dateType() { TypeInfo t; t.type = SqlType::DateTime; return t; }
static TypeInfo bitType() { TypeInfo t; t.type = SqlType::Bit; return t; }
static TypeInfo decType(int p, int s) { TypeInfo t; t.type = SqlType::Decimal; t.precision = std::min(p, 38); t.scale = s; return t; }

// An operand taken as decimal: its precision and scale (integers are decimal(10,0)).
static void decimalShape(const TypeInfo& t, int& p, int& s)
{
    switch (t.type) {
    case SqlType::Decimal: p = t.precision; s = t.scale; return;
    case SqlType::Bit: p = 1; s = 0; return;
    case SqlType::Integer: p = t.precision > 0 ? t.precision : 10; s = 0; return;
    default: p = 18; s = 0;
    }
}

// Result type of decimal arithmetic, by SQL Server's rules (capped at 38 digits).
static TypeInfo decimalResult(const QString& op, const TypeInfo& a, const TypeInfo& b)
{
    int p1, s1, p2, s2;
    decimalShape(a, p1, s1);
    decimalShape(b, p2, s2);
    if (op == "%") return decType(std::max(p1, p2), std::max(s1, s2));
    kvdec::Op o = op == "+" ? kvdec::Op::Add : op == "-" ? kvdec::Op::Sub : op == "*" ? kvdec::Op::Mul : kvdec::Op::Div;
    kvdec::DecType r = kvdec::resultType(o, {std::clamp(p1, 1, 38), std::clamp(s1, 0, p1)}, {std::clamp(p2, 1, 38), std::clamp(s2, 0, p2)});
    return decType(r.precision, r.scale);
}

static QString decArgs(const TypeInfo& t) { return QStringLiteral("%1, %2").arg(std::clamp(t.precision, 1, 38)).arg(std::clamp(t.scale, 0, 38)); }

// ---------------------------------------------------------------- helpers
QString Translator::quote(const QString& name)
{
    QString n = name;
    n.replace(u'"', QLatin1String("\"\""));
    return u'"' + n + u'"';
}

QString Translator::tableName(const QStringList& parts)
{
    QString n = parts.last();
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

static QString quoteText(const QString& s)
{
    QString q = s;
    q.replace(u'\'', QLatin1String("''"));
    return u'\'' + q + u'\'';
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
    case EK::String: type = textType(std::max<int>(1, e.text.size())); return m_inlineOnly ? quoteText(e.text) : param(literalValue(e), source);
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

static bool isColumn(const ExprP& e)
{
    const Expr* x = e.get();
    while (x->kind == EK::Paren) x = x->args[0].get();
    return x->kind == EK::Column;
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

static bool decimalPair(const TypeInfo& a, const TypeInfo& b)
{
    auto numericOrNull = [](const TypeInfo& t) { return t.numeric() || !t.known(); };
    return (a.type == SqlType::Decimal && numericOrNull(b)) || (b.type == SqlType::Decimal && numericOrNull(a));
}

// ---------------------------------------------------------------- expressions
QString Translator::cond(const ExprP& e, const Scope& scope)
{
    TypeInfo t;
    return expr(e, scope, t);
}

QString Translator::comparison(const QString& op, const ExprP& a, const ExprP& b, const Scope& scope)
{
    TypeInfo ta, tb;
    QString sa = expr(a, scope, ta);
    QString sb = expr(b, scope, tb);
    // dates compare as dates: a text on the other side is read as a date
    if (decimalPair(ta, tb)) return decimalComparison(op, sa, sb, storedColumn(a, scope) && ta.type == SqlType::Decimal,
                                                      storedColumn(b, scope) && tb.type == SqlType::Decimal);
    if (ta.type == SqlType::DateTime && tb.type != SqlType::DateTime && tb.known()) sb = "kv_dt(" + sb + ")";
    else if (tb.type == SqlType::DateTime && ta.type != SqlType::DateTime && ta.known()) sa = "kv_dt(" + sa + ")";
    else if ((ta.type == SqlType::Text || !ta.known()) && (tb.type == SqlType::Text || !tb.known())
             && !isColumn(a) && !isColumn(b))
        sa = "(" + sa + ") COLLATE KV";
    else if (ta.type == SqlType::Text && tb.numeric() && !isColumn(a))
        sa = "CAST(" + sa + " AS NUMERIC)";
    else if (tb.type == SqlType::Text && ta.numeric() && !isColumn(b))
        sb = "CAST(" + sb + " AS NUMERIC)";
    return "(" + sa + " " + op + " " + sb + ")";
}

QString Translator::arithmetic(const QString& op, const ExprP& a, const ExprP& b, const Scope& scope, TypeInfo& type)
{
    TypeInfo ta, tb;
    QString sa = expr(a, scope, ta);
    QString sb = expr(b, scope, tb);
    const bool nullA = a->kind == EK::Null, nullB = b->kind == EK::Null;
    if (op == "+") {
        bool textA = ta.type == SqlType::Text, textB = tb.type == SqlType::Text;
        if ((textA && (textB || nullB)) || (textB && nullA)) {
            type = textType(ta.size && tb.size ? ta.size + tb.size : 0);
            return "(" + sa + " || " + sb + ")";
        }
        if (ta.type == SqlType::DateTime && tb.numeric()) {
            type = dateType();
            return "kv_dateadd('day', " + sb + ", " + sa + ")";
        }
        if (tb.type == SqlType::DateTime && ta.numeric()) {
            type = dateType();
            return "kv_dateadd('day', " + sa + ", " + sb + ")";
        }
        if ((!ta.known() && !nullA) || (!tb.known() && !nullB)) {
            type = ta.known() ? ta : tb;
            return "kv_add(" + sa + ", " + sb + ")";
        }
    }
    if (op == "-" && ta.type == SqlType::DateTime && tb.numeric()) {
        type = dateType();
        return "kv_dateadd('day', -(" + sb + "), " + sa + ")";
    }
    if (op == "&" || op == "|" || op == "^") {
        type = ta.type == SqlType::Bit && tb.type == SqlType::Bit ? bitType() : intType();
        if (op == "^") return "kv_xor(" + sa + ", " + sb + ")";
        return "(" + sa + " " + op + " " + sb + ")";
    }
    const bool intA = ta.type == SqlType::Integer || ta.type == SqlType::Bit;
    const bool intB = tb.type == SqlType::Integer || tb.type == SqlType::Bit;
    if (ta.type == SqlType::Float || tb.type == SqlType::Float) {
        type = floatType();
        if (op == "/") return "kv_div(" + sa + ", " + sb + ", 0)";
        return "(" + sa + " " + op + " " + sb + ")";
    }
    if ((intA || nullA) && (intB || nullB)) {
        type = intType();
        if (ta.precision == 19 || tb.precision == 19) type.precision = 19;
        if (op == "/") return "kv_div(" + sa + ", " + sb + ", 1)";
        return "(" + sa + " " + op + " " + sb + ")";
    }
    if ((ta.type == SqlType::Decimal || intA || nullA) && (tb.type == SqlType::Decimal || intB || nullB)) {
        type = decimalResult(op, ta, tb);
        // exact decimal arithmetic with the result type SQL Server gives
        static const QHash<QString, QString> fns = {{"+", "dec_add"}, {"-", "dec_sub"}, {"*", "dec_mul"}, {"/", "dec_div"}};
        if (fns.contains(op)) return fns[op] + "(" + sa + ", " + sb + ", " + decArgs(type) + ")";
        return "(" + sa + " " + op + " " + sb + ")";
    }
    // text operands of arithmetic, or types not known: let the value decide
    type = ta.known() && ta.type != SqlType::Text ? ta : (tb.type != SqlType::Text ? tb : TypeInfo());
    if (op == "/") return "kv_div(" + sa + ", " + sb + ", 0)";
    return "(" + sa + " " + op + " " + sb + ")";
}

QString Translator::expr(const ExprP& ep, const Scope& scope, TypeInfo& type)
{
    // an expression nested deeper than SQLite reads is refused before it exhausts the stack
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d)
        {
            if (++depth > 256) {
                --depth;
                raise(191, QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up into smaller queries."));
            }
        }
        ~Depth() { --depth; }
    } depth(m_depth);
    const Expr& e = *ep;
    type = TypeInfo();
    switch (e.kind) {
    case EK::Null: case EK::Integer: case EK::Number: case EK::String: case EK::BinaryLit:
        return literal(e, type);
    case EK::Column: {
        if (e.parts.size() == 1 && !scope.sources.size() && !scope.parent) {
            if (e.parts[0].compare("current_timestamp", Qt::CaseInsensitive) == 0) {
                type = dateType();
                return "kv_now()";
            }
        }
        bool found = false;
        type = columnType(e.parts, scope, &found);
        if (e.parts.size() >= 2)
            return quote(tableName(e.parts.mid(0, e.parts.size() - 1))) + "." + quote(e.parts.last());
        if (!found && e.parts[0].compare("current_timestamp", Qt::CaseInsensitive) == 0) {
            type = dateType();
            return "kv_now()";
        }
        return quote(e.parts[0]);
    }
    case EK::Star:
        if (e.parts.isEmpty()) return "*";
        return quote(tableName(e.parts)) + ".*";
    case EK::Variable: {
        const Variable* v = m_ctx.variable(e.text);
        if (!v) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(e.text));
        type = v->type;
        if (m_inlineOnly) return param(v->value, ParamSource{ParamSource::Variable, 0, e.text});
        auto it = m_varIndex.find(e.text);
        if (it != m_varIndex.end()) return u'?' + QString::number(*it);
        QString p = param(v->value, ParamSource{ParamSource::Variable, 0, e.text});
        m_varIndex.insert(e.text, m_params.size());
        return p;
    }
    case EK::System: {
        static const QSet<QString> known = {"@@error", "@@rowcount", "@@identity", "@@trancount", "@@spid",
                                            "@@version", "@@servername", "@@fetch_status", "@@datefirst",
                                            "@@language"};
        if (!known.contains(e.text)) raise(137, QStringLiteral("Must declare the scalar variable \"%1\".").arg(e.text));
        QVariant v = m_ctx.system(e.text);
        if (e.text == "@@identity") type = decType(38, 0);
        else if (v.typeId() == QMetaType::QString) type = textType();
        else type = intType();
        return param(v, ParamSource{ParamSource::System, 0, e.text});
    }
    case EK::Paren: {
        QString s = expr(e.args[0], scope, type);
        return "(" + s + ")";
    }
    case EK::Unary: {
        if (e.text == "not") return "(NOT " + cond(e.args[0], scope) + ")";
        QString s = expr(e.args[0], scope, type);
        if (e.text == "-") return "(-" + s + ")";
        return "(~" + s + ")";
    }
    case EK::Binary: {
        const QString& op = e.text;
        if (op == "and" || op == "or") {
            // the operands are nested in halves, so SQLite reads a chain of any length
            // a few levels deep
            QStringList parts;
            parts.reserve(e.args.size());
            for (const ExprP& a : e.args) parts << cond(a, scope);
            const QString join = op == "and" ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
            std::function<QString(qsizetype, qsizetype)> half = [&](qsizetype from, qsizetype to) -> QString {
                if (to - from == 1) return parts[from];
                const qsizetype mid = from + (to - from) / 2;
                return "(" + half(from, mid) + join + half(mid, to) + ")";
            };
            return half(0, parts.size());
        }
        if (op == "=" || op == "<>" || op == "<" || op == ">" || op == "<=" || op == ">=") {
            type = bitType();
            return comparison(op, e.args[0], e.args[1], scope);
        }
        return arithmetic(op, e.args[0], e.args[1], scope, type);
    }
    case EK::Func: return func(e, scope, type);
    case EK::Case: {
        QString s = "CASE";
        int i = 0;
        TypeInfo opType;
        if (e.hasOperand) {
            QString operand = expr(e.args[0], scope, opType);
            if ((opType.type == SqlType::Text || !opType.known()) && !isColumn(e.args[0]))
                operand = "(" + operand + ") COLLATE KV";
            else if (opType.type == SqlType::Decimal)
                operand = "(" + decimalKey(operand) + ")";
            s += " " + operand;
            i = 1;
        }
        int pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
        TypeInfo result;
        for (; i + 1 < pairsEnd + 1 && i < pairsEnd; i += 2) {
            TypeInfo wt, tt;
            QString w = e.hasOperand ? expr(e.args[i], scope, wt) : cond(e.args[i], scope);
            if (e.hasOperand && opType.type == SqlType::DateTime && wt.type == SqlType::Text) w = "kv_dt(" + w + ")";
            else if (e.hasOperand && opType.type == SqlType::Decimal && wt.numeric()) w = "dec_text(" + w + ")";
            QString t = expr(e.args[i + 1], scope, tt);
            if (!result.known()) result = tt;
            else if (result.type == SqlType::Decimal && tt.type == SqlType::Decimal) {
                result.scale = std::max(result.scale, tt.scale);
                result.precision = std::max(result.precision, tt.precision);
            } else if (result.type == SqlType::Integer && (tt.type == SqlType::Decimal || tt.type == SqlType::Float)) {
                result = tt;
            } else if (result.type == SqlType::Text && tt.type == SqlType::Text) {
                result.size = result.size && tt.size ? std::max(result.size, tt.size) : 0;
            }
            s += " WHEN " + w + " THEN " + t;
        }
        if (e.hasElse) {
            TypeInfo et;
            s += " ELSE " + expr(e.args.last(), scope, et);
            if (!result.known()) result = et;
            else if (result.type == SqlType::Integer && (et.type == SqlType::Decimal || et.type == SqlType::Float)) result = et;
            else if (result.type == SqlType::Text && et.type == SqlType::Text)
                result.size = result.size && et.size ? std::max(result.size, et.size) : 0;
        }
        type = result;
        return s + " END";
    }
    case EK::Cast: {
        TypeInfo from;
        QString inner = expr(e.args[0], scope, from);
        checkDecimalType(e.type, 0);
        TypeInfo to = typeFromRef(e.type);
        if (!to.known()) raise(243, QStringLiteral("Type %1 is not a defined system type.").arg(e.type.name));
        // cast(x as varchar) without a length is 30 characters long
        if (to.type == SqlType::Text && e.type.p1 < 0 && !e.type.max
            && (e.type.name == "char" || e.type.name == "nchar" || e.type.name == "varchar" || e.type.name == "nvarchar"))
            to.size = 30;
        QString style;
        if (e.args.size() > 1) {
            TypeInfo st;
            style = expr(e.args[1], scope, st);
        }
        type = to;
        if (e.type.name == "char" || e.type.name == "nchar") {
            QString s = cast(inner, from, textType(), style);
            return "kv_char(" + s + ", " + QString::number(to.size) + ")";
        }
        return cast(inner, from, to, style);
    }
    case EK::Subquery: {
        QList<OutputColumn> cols;
        bool known = false;
        QString s = selectSql(*e.sel, &scope, &cols, &known);
        if (known && !cols.isEmpty()) type = cols[0].type;
        return "(" + s + ")";
    }
    case EK::Exists: {
        type = bitType();
        QList<OutputColumn> cols;
        bool known = false;
        return "EXISTS (" + selectSql(*e.sel, &scope, &cols, &known) + ")";
    }
    case EK::InList: {
        type = bitType();
        TypeInfo t0;
        QString s = expr(e.args[0], scope, t0);
        if ((t0.type == SqlType::Text || !t0.known()) && !isColumn(e.args[0])) s = "(" + s + ") COLLATE KV";
        const bool decimalKeys = t0.type == SqlType::Decimal && !storedColumn(e.args[0], scope);
        if (decimalKeys) s = "(" + decimalKey(s) + ")";
        QStringList items;
        for (int i = 1; i < e.args.size(); ++i) {
            TypeInfo ti;
            QString x = expr(e.args[i], scope, ti);
            if (t0.type == SqlType::DateTime && ti.type == SqlType::Text) x = "kv_dt(" + x + ")";
            else if (decimalKeys && ti.numeric()) x = "dec_text(" + x + ")";
            items << x;
        }
        return "(" + s + (e.negated ? " NOT IN (" : " IN (") + items.join(", ") + "))";
    }
    case EK::InSelect: {
        type = bitType();
        TypeInfo t0;
        QString s = expr(e.args[0], scope, t0);
        if ((t0.type == SqlType::Text || !t0.known()) && !isColumn(e.args[0])) s = "(" + s + ") COLLATE KV";
        else if (t0.type == SqlType::Decimal && !storedColumn(e.args[0], scope)) s = "(" + decimalKey(s) + ")";
        QList<OutputColumn> cols;
        bool known = false;
        QString sub = selectSql(*e.sel, &scope, &cols, &known);
        return "(" + s + (e.negated ? " NOT IN (" : " IN (") + sub + "))";
    }
    case EK::Between: {
        type = bitType();
        TypeInfo t0, t1, t2;
        QString s = expr(e.args[0], scope, t0);
        QString lo = expr(e.args[1], scope, t1);
        QString hi = expr(e.args[2], scope, t2);
        if (t0.type == SqlType::DateTime) {
            if (t1.type == SqlType::Text) lo = "kv_dt(" + lo + ")";
            if (t2.type == SqlType::Text) hi = "kv_dt(" + hi + ")";
        } else if ((t0.type == SqlType::Text || !t0.known()) && !isColumn(e.args[0])) {
            s = "(" + s + ") COLLATE KV";
        } else if (decimalPair(t0, t1) || decimalPair(t0, t2)) {
            if (!storedColumn(e.args[0], scope) || t0.type != SqlType::Decimal) {
                s = "(" + decimalKey(s) + ")";
                if (t1.numeric() || !t1.known()) lo = "dec_text(" + lo + ")";
                if (t2.numeric() || !t2.known()) hi = "dec_text(" + hi + ")";
            }
        }
        return "(" + s + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + lo + " AND " + hi + ")";
    }
    case EK::Like: {
        type = bitType();
        TypeInfo t0, t1;
        QString s = expr(e.args[0], scope, t0);
        QString pat = expr(e.args[1], scope, t1);
        QString out = "(" + s + (e.negated ? " NOT LIKE " : " LIKE ") + pat;
        if (e.args.size() > 2) {
            TypeInfo t2;
            out += " ESCAPE " + expr(e.args[2], scope, t2);
        }
        return out + ")";
    }
    case EK::IsNull: {
        type = bitType();
        TypeInfo t0;
        QString s = expr(e.args[0], scope, t0);
        return "(" + s + (e.negated ? " IS NOT NULL)" : " IS NULL)");
    }
    }
    raise(102, QStringLiteral("Incorrect syntax near the expression."));
}

QString Translator::convertFor(const QString& sql, const TypeInfo& from, const TypeInfo& target, const QString& column)
{
    switch (target.type) {
    case SqlType::DateTime:
        if (target.precision == 1) return from.type == SqlType::DateTime && from.precision == 1 ? sql : "kv_sdt(" + sql + ")";
        return from.type == SqlType::DateTime ? sql : "kv_dt(" + sql + ")";
    case SqlType::Bit:
        if (from.type == SqlType::Bit) return sql;
        return from.type == SqlType::Decimal ? "kv_bit(dec_float(" + sql + "))" : "kv_bit(" + sql + ")";
    case SqlType::Integer:
        if (from.type == SqlType::Integer || from.type == SqlType::Bit) return sql;
        // a decimal is held as its text: it truncates to a whole number as a decimal, not as a varchar
        return from.type == SqlType::Decimal ? "dec_int(" + sql + ")" : "kv_toint(" + sql + ")";
    case SqlType::Decimal: {
        // a value that fits the column's digits needs no conversion; any other is cast,
        // which rounds to the scale and raises 8115 when the integral part does not fit
        int p, s;
        decimalShape(from, p, s);
        const bool fits = (from.type == SqlType::Integer || from.type == SqlType::Bit || from.type == SqlType::Decimal)
                          && s <= target.scale && p - s <= target.precision - target.scale;
        return fits ? sql : "dec_cast(" + sql + ", " + decArgs(target) + ")";
    }
    case SqlType::Text: {
        QString s = sql;
        if (from.type == SqlType::Decimal) s = "dec_text(" + sql + ", " + QString::number(from.scale) + ")";
        else if (from.type == SqlType::DateTime) s = "kv_datestr(" + sql + ")";
        else if (from.type == SqlType::Float) s = "kv_str(" + sql + ")";
        // a text longer than the column is refused (8152), as SQL Server does
        if (target.size > 0 && !(from.type == SqlType::Text && from.size > 0 && from.size <= target.size))
            s = "kv_fit(" + s + ", " + QString::number(target.size) + (column.isEmpty() ? QString() : ", " + quoteText(column)) + ")";
        // char(n) holds its text padded with blanks
        if (target.fixed && !(from.fixed && from.size == target.size)) s = "kv_char(" + s + ", " + QString::number(target.size) + ")";
        return s;
    }
    default: return sql;
    }
}

QString Translator::cast(const QString& sql, const TypeInfo& from, const TypeInfo& to, const QString& style)
{
    switch (to.type) {
    case SqlType::Text: {
        QString s;
        if (from.type == SqlType::DateTime) s = "kv_datestr(" + sql + (style.isEmpty() ? "" : ", " + style) + ")";
        else if (from.type == SqlType::Decimal) s = "dec_text(" + sql + ", " + QString::number(from.scale) + ")";
        else if (from.type == SqlType::Float) s = "kv_str(" + sql + ")";
        else if (from.type == SqlType::Text) s = sql;
        else if (from.known()) s = "CAST(" + sql + " AS TEXT)";
        else s = "kv_str(" + sql + ")";
        if (to.size > 0) s = "substr(" + s + ", 1, " + QString::number(to.size) + ")";
        return s;
    }
    case SqlType::Integer:
        if (from.type == SqlType::DateTime) return "kv_dtint(" + sql + ")";
        return from.type == SqlType::Decimal ? "dec_int(" + sql + ")" : "kv_toint(" + sql + ")";
    case SqlType::Decimal:
        return "dec_cast(" + (from.type == SqlType::DateTime ? "kv_dtnum(" + sql + ")" : sql) + ", " + decArgs(to) + ")";
    case SqlType::Float:
        if (from.type == SqlType::DateTime) return "kv_dtnum(" + sql + ")";
        return from.type == SqlType::Decimal ? "dec_float(" + sql + ")" : "CAST(" + sql + " AS REAL)";
    case SqlType::DateTime:
        if (to.precision == 1) return from.type == SqlType::DateTime && from.precision == 1 ? sql : "kv_sdt(" + sql + ")";
        return from.type == SqlType::DateTime ? sql : "kv_dt(" + sql + ")";
    case SqlType::Bit: return from.type == SqlType::Decimal ? "kv_bit(dec_float(" + sql + "))" : "kv_bit(" + sql + ")";
    case SqlType::Binary: return "CAST(" + sql + " AS BLOB)";
    case SqlType::Null: break;
    }
    return sql;
}

QString Translator::func(const Expr& e, const Scope& scope, TypeInfo& type)
{
    const QString& n = e.text;
    if (!e.parts.isEmpty())
        raise(4121, QStringLiteral("Cannot find either column \"%1\" or the user-defined function or aggregate \"%2\", or the name is ambiguous.")
                        .arg(e.parts.first(), e.parts.join(u'.')));
    QList<QString> a;
    QList<TypeInfo> t;
    auto args = [&](int minCount, int maxCount) {
        if (e.args.size() < minCount || e.args.size() > maxCount)
            raise(174, QStringLiteral("The %1 function requires %2 argument(s).").arg(n).arg(minCount));
        for (const ExprP& x : e.args) {
            TypeInfo ti;
            a << expr(x, scope, ti);
            t << ti;
        }
    };
    auto call = [&](const QString& fn) { return fn + "(" + QStringList(a).join(", ") + ")"; };

    if (n == "count" || n == "count_big") {
        type = intType();
        if (n == "count_big") type.precision = 19;
        if (e.star) return "count(*)";
        args(1, 1);
        return QStringLiteral("count(%1%2)").arg(e.distinct ? "DISTINCT " : "", a[0]);
    }
    if (n == "sum" || n == "avg" || n == "min" || n == "max") {
        args(1, 1);
        QString d = e.distinct ? "DISTINCT " : "";
        TypeInfo in = t[0];
        if (n == "min" || n == "max") {
            type = in;
            if (in.type == SqlType::Decimal && !storedColumn(e.args[0], scope)) return n + "(" + d + decimalKey(a[0]) + ")";
            return n + "(" + d + a[0] + ")";
        }
        if (in.type == SqlType::Decimal && !d.isEmpty() && !storedColumn(e.args[0], scope)) a[0] = decimalKey(a[0]);
        if (in.type == SqlType::Decimal) {
            // the result is taken at the type's scale, so values stored as doubles sum exactly
            if (n == "sum") {
                type = decType(38, in.scale);
                if (!d.isEmpty()) return "dec_cast(dec_sum(DISTINCT " + a[0] + "), " + decArgs(type) + ")";
                return "dec_sum(" + a[0] + ", " + QString::number(type.scale) + ")";
            }
            type = decType(38, std::max(6, in.scale));
            if (!d.isEmpty()) return "dec_cast(dec_avg(DISTINCT " + a[0] + "), " + decArgs(type) + ")";
            return "dec_avg(" + a[0] + ", " + QString::number(type.scale) + ")";
        }
        if (in.type == SqlType::Integer || in.type == SqlType::Bit) {
            type = intType();
            if (n == "avg") return "kv_toint(avg(" + d + a[0] + "))";
            return "sum(" + d + a[0] + ")";
        }
        type = in.type == SqlType::Float ? floatType() : TypeInfo();
        return n + "(" + d + a[0] + ")";
    }
    if (n == "isnull") {
        args(2, 2);
        type = t[0].known() ? t[0] : t[1];
        QString second = a[1];
        if (t[0].type == SqlType::DateTime && t[1].type == SqlType::Text) second = "kv_dt(" + second + ")";
        return "ifnull(" + a[0] + ", " + second + ")";
    }
    if (n == "coalesce") {
        args(1, 100);
        for (const TypeInfo& ti : t)
            if (ti.known()) { type = ti; break; }
        if (a.size() == 1) return a[0];
        return call("coalesce");
    }
    if (n == "nullif") {
        args(2, 2);
        type = t[0];
        return call("nullif");
    }
    if (n == "getdate" || n == "getutcdate" || n == "sysdatetime" || n == "current_timestamp") {
        args(0, 0);
        type = dateType();
        return "kv_now()";
    }
    if (n == "datediff") {
        args(3, 3);
        type = intType();
        return call("kv_datediff");
    }
    if (n == "dateadd") {
        args(3, 3);
        type = dateType();
        return call("kv_dateadd");
    }
    if (n == "datepart") {
        args(2, 2);
        type = intType();
        return call("kv_datepart");
    }
    if (n == "year" || n == "month" || n == "day") {
        args(1, 1);
        type = intType();
        return "kv_datepart('" + n + "', " + a[0] + ")";
    }
    if (n == "len") { args(1, 1); type = intType(); return call("kv_len"); }
    if (n == "datalength") { args(1, 1); type = intType(); return "length(CAST(" + a[0] + " AS BLOB))"; }
    if (n == "left") { args(2, 2); type = textType(t[0].size); return call("kv_left"); }
    if (n == "right") { args(2, 2); type = textType(t[0].size); return call("kv_right"); }
    if (n == "substring") { args(3, 3); type = textType(t[0].size); return call("substr"); }
    if (n == "ltrim" || n == "rtrim") { args(1, 1); type = textType(t[0].size); return call(n); }
    if (n == "trim") { args(1, 1); type = textType(t[0].size); return call("trim"); }
    if (n == "upper" || n == "lower") { args(1, 1); type = textType(t[0].size); return call(n); }
    if (n == "replace") { args(3, 3); type = textType(); return call("kv_replace"); }
    if (n == "charindex") { args(2, 3); type = intType(); return call("kv_charindex"); }
    if (n == "char" || n == "nchar") { args(1, 1); type = textType(1); return call("char"); }
    if (n == "ascii" || n == "unicode") { args(1, 1); type = intType(); return call("unicode"); }
    if (n == "space") { args(1, 1); type = textType(); return call("kv_space"); }
    if (n == "replicate") { args(2, 2); type = textType(); return call("kv_replicate"); }
    if (n == "reverse") { args(1, 1); type = textType(t[0].size); raise(195, QStringLiteral("'reverse' is not a recognized built-in function name.")); }
    if (n == "abs") { args(1, 1); type = t[0]; return call("abs"); }
    if (n == "sign") { args(1, 1); type = t[0].type == SqlType::Float ? floatType() : intType(); return call("kv_sign"); }
    if (n == "round") {
        args(2, 3);
        type = t[0];
        return call(t[0].type == SqlType::Decimal ? "dec_round" : "kv_round");
    }
    if (n == "ceiling" || n == "floor") {
        args(1, 1);
        if (t[0].type == SqlType::Decimal) {
            type = decType(t[0].precision, 0);
            return call(n == "ceiling" ? "dec_ceiling" : "dec_floor");
        }
        type = t[0];
        return call(n == "ceiling" ? "kv_ceiling" : "kv_floor");
    }
    if (n == "power") { args(2, 2); type = t[0]; return call("kv_power"); }
    if (n == "sqrt") { args(1, 1); type = floatType(); return call("kv_sqrt"); }
    if (n == "object_id") { args(1, 2); type = intType(); return "kv_object_id(" + a[0] + ")"; }
    if (n == "newid") { args(0, 0); type = textType(36); return "kv_newid()"; }
    if (n == "host_name") { args(0, 0); type = textType(128); return "kv_host_name()"; }
    if (n == "isnumeric") { args(1, 1); type = intType(); return call("kv_isnumeric"); }
    if (n == "str") {
        args(1, 3);
        type = textType(10);
        return call("kv_strfmt");
    }
    if (n == "scope_identity") {
        args(0, 0);
        type = decType(38, 0);
        return param(m_ctx.system("@@identity"), ParamSource{ParamSource::System, 0, QStringLiteral("@@identity")});
    }
    raise(195, QStringLiteral("'%1' is not a recognized built-in function name.").arg(n));
}

QString Translator::topSql(const ExprP& top, const Scope& scope)
{
    TypeInfo t;
    return expr(top, scope, t);
}

// ---------------------------------------------------------------- queries
Translator::Source Translator::namedSource(const QStringList& name, const QString& alias)
{
    Source s;
    s.table = tableName(name);
    s.alias = alias;
    if (s.table == "sysobjects") {
        s.known = true;
        s.cols = {{"id", intType()}, {"name", textType(128)}, {"xtype", textType(2)}, {"type", textType(2)}, {"uid", intType()}};
        return s;
    }
    TableInfo info = m_ctx.table(s.table);
    if (info.exists) {
        s.known = true;
        for (const TableColumn& c : info.columns) s.cols.append({c.name, c.type, !info.view});
    }
    return s;
}

QString Translator::fromSql(const TableRefP& t, Scope& scope)
{
    switch (t->kind) {
    case TableRef::Named: {
        Source s = namedSource(t->name, t->alias);
        scope.sources.append(s);
        QString sql = quote(s.table);
        if (!t->alias.isEmpty()) sql += " AS " + quote(t->alias);
        return sql;
    }
    case TableRef::Derived: {
        Source s;
        s.alias = t->alias;
        bool known = false;
        QString sub = selectSql(*t->derived, nullptr, &s.cols, &known);
        s.known = known;
        scope.sources.append(s);
        return "(" + sub + ") AS " + quote(t->alias);
    }
    case TableRef::Join: {
        QString left = fromSql(t->left, scope);
        QString right = fromSql(t->right, scope);
        if (t->right->kind == TableRef::Join) right = "(" + right + ")";
        static const QHash<QString, QString> kinds = {{"inner", " JOIN "}, {"left", " LEFT JOIN "},
                                                      {"right", " RIGHT JOIN "}, {"full", " FULL JOIN "},
                                                      {"cross", " CROSS JOIN "}};
        QString sql = left + kinds.value(t->joinType) + right;
        if (t->on) sql += " ON " + cond(t->on, scope);
        return sql;
    }
    }
    return QString();
}

QString Translator::branchSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown, bool withOrder)
{
    Scope scope;
    scope.parent = parent;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);

    QStringList items;
    cols->clear();
    *colsKnown = true;
    for (const SelectItem& it : s.items) {
        if (it.expr->kind == EK::Star) {
            TypeInfo unused;
            items << expr(it.expr, scope, unused);
            bool matched = false;
            for (const Source& src : scope.sources) {
                if (!it.expr->parts.isEmpty()) {
                    const QString& q = it.expr->parts.last();
                    if (src.alias.compare(q, Qt::CaseInsensitive) != 0
                        && !(src.alias.isEmpty() && src.table.compare(q, Qt::CaseInsensitive) == 0))
                        continue;
                }
                matched = true;
                if (!src.known) *colsKnown = false;
                for (const OutputColumn& c : src.cols) cols->append(c);
            }
            if (!matched) *colsKnown = false;
            continue;
        }
        TypeInfo t;
        QString sql = expr(it.expr, scope, t);
        QString name = it.alias;
        if (name.isEmpty() && it.expr->kind == EK::Column) name = it.expr->parts.last();
        if (!it.alias.isEmpty() || it.expr->kind != EK::Column) sql += " AS " + quote(name);
        items << sql;
        cols->append({name, t, storedColumn(it.expr, scope)});
    }
    QString sql = "SELECT ";
    if (s.distinct) sql += "DISTINCT ";
    sql += items.join(", ");
    if (!from.isEmpty()) sql += " FROM " + from.join(", ");
    if (s.where) sql += " WHERE " + cond(s.where, scope);
    if (!s.groupBy.isEmpty()) {
        QStringList g;
        for (const ExprP& x : s.groupBy) {
            TypeInfo t;
            QString k = expr(x, scope, t);
            if (t.type == SqlType::Decimal && !storedColumn(x, scope)) k = decimalKey(k);
            g << k;
        }
        sql += " GROUP BY " + g.join(", ");
    }
    if (s.having) sql += " HAVING " + cond(s.having, scope);
    if (withOrder && !s.orderBy.isEmpty()) {
        scope.outputs = cols;
        QStringList o;
        for (const OrderItem& oi : s.orderBy) {
            TypeInfo t;
            QString x;
            if (oi.expr->kind == EK::Integer) {
                x = oi.expr->text;
                m_cacheable = false;
            } else {
                x = expr(oi.expr, scope, t);
                if (t.type == SqlType::Decimal) {
                    // a name of the select list means that item, as SQLite reads it
                    bool stored = storedColumn(oi.expr, scope);
                    if (oi.expr->kind == EK::Column && oi.expr->parts.size() == 1)
                        for (const OutputColumn& c : *cols)
                            if (c.name.compare(oi.expr->parts[0], Qt::CaseInsensitive) == 0) { stored = c.stored; break; }
                    if (!stored) x = decimalKey(x);
                }
            }
            o << x + (oi.desc ? " DESC" : "");
        }
        sql += " ORDER BY " + o.join(", ");
    }
    if (s.top && !s.topPercent) sql += " LIMIT " + topSql(s.top, scope);
    return sql;
}

QString Translator::selectSql(const Select& s, const Scope* parent, QList<OutputColumn>* cols, bool* colsKnown)
{
    if (s.compound.isEmpty()) return branchSql(s, parent, cols, colsKnown, true);
    // first branch and every further one: a branch with its own TOP is wrapped so its limit stays its own
    auto wrapBranch = [&](const Select& b, QList<OutputColumn>* bc, bool* bk) {
        QString sql = b.compound.isEmpty() ? branchSql(b, parent, bc, bk, b.parenthesized)
                                           : selectSql(b, parent, bc, bk);
        if (b.top || !b.compound.isEmpty() || (b.parenthesized && !b.orderBy.isEmpty()))
            sql = "SELECT * FROM (" + sql + ")";
        return sql;
    };
    QString sql = branchSql(s, parent, cols, colsKnown, false);
    if (s.top) sql = "SELECT * FROM (" + sql + ")";
    for (const auto& [op, branch] : s.compound) {
        QList<OutputColumn> bc;
        bool bk = false;
        QString b = wrapBranch(*branch, &bc, &bk);
        // a NULL or unknown column of the first branch takes the type of a later one
        for (int i = 0; i < cols->size() && i < bc.size(); ++i) {
            if (!(*cols)[i].type.known()) (*cols)[i].type = bc[i].type;
            else if ((*cols)[i].type.type == SqlType::Text && bc[i].type.type == SqlType::Text && (*cols)[i].type.size
                     && bc[i].type.size)
                (*cols)[i].type.size = std::max((*cols)[i].type.size, bc[i].type.size);
        }
        sql += " " + op.toUpper() + " " + b;
    }
    if (!s.orderBy.isEmpty()) {
        QStringList o;
        for (const OrderItem& oi : s.orderBy) {
            QString x;
            if (oi.expr->kind == EK::Integer) {
                x = oi.expr->text;
                m_cacheable = false;
            } else if (oi.expr->kind == EK::Column) x = quote(oi.expr->parts.last());
            else {
                Scope empty;
                empty.outputs = cols;
                TypeInfo t;
                x = expr(oi.expr, empty, t);
            }
            o << x + (oi.desc ? " DESC" : "");
        }
        sql += " ORDER BY " + o.join(", ");
    }
    return sql;
}

Translated Translator::query(const Select& select)
{
    Translated out;
    out.sql = selectSql(select, nullptr, &out.columns, &out.columnsKnown);
    return finish(out);
}

Translated Translator::scalar(const ExprP& e, bool condition, TypeInfo* type)
{
    Scope scope;
    TypeInfo t;
    QString s = expr(e, scope, t);
    Translated out;
    out.sql = condition ? "SELECT CASE WHEN " + s + " THEN 1 ELSE 0 END" : "SELECT " + s;
    out = finish(out);
    if (type) *type = t;
    return out;
}

// ---------------------------------------------------------------- writes
namespace {
// Two expressions that give the same value for the same row: written alike (names,
// operators, literals) and free of anything that differs from call to call or row
// source to row source (subqueries, newid(), rand()).
bool sameValue(const Expr& a, const Expr& b)
{
    if (a.kind != b.kind || a.text != b.text || a.parts != b.parts || a.args.size() != b.args.size()
        || a.negated != b.negated || a.distinct != b.distinct || a.star != b.star || a.hasOperand != b.hasOperand
        || a.hasElse != b.hasElse || a.unicode != b.unicode || a.type.name != b.type.name || a.type.p1 != b.type.p1
        || a.type.p2 != b.type.p2 || a.type.max != b.type.max)
        return false;
    if (a.sel || b.sel) return false;
    if (a.kind == EK::Func && (a.text == u"newid" || a.text == u"rand")) return false;
    for (qsizetype i = 0; i < a.args.size(); ++i) {
        if (!a.args[i] || !b.args[i]) {
            if (a.args[i] != b.args[i]) return false;
            continue;
        }
        if (!sameValue(*a.args[i], *b.args[i])) return false;
    }
    return true;
}

// Holds a literal: statements of one shape differ in their literals' values.
bool holdsLiteral(const Expr& e)
{
    switch (e.kind) {
    case EK::Integer: case EK::Number: case EK::String: case EK::BinaryLit: return true;
    default: break;
    }
    for (const ExprP& a : e.args)
        if (a && holdsLiteral(*a)) return true;
    return false;
}

// Worth computing once: anything beyond a bare name, literal or variable.
bool computed(const Expr& e)
{
    switch (e.kind) {
    case EK::Null: case EK::Integer: case EK::Number: case EK::String: case EK::BinaryLit:
    case EK::Column: case EK::Star: case EK::Variable: case EK::System:
        return false;
    case EK::Paren: return e.args.size() == 1 && e.args[0] && computed(*e.args[0]);
    default: return true;
    }
}
} // namespace

Translated Translator::insert(const Stmt& s)
{
    const QString table = tableName(s.table);
    TableInfo info = m_ctx.table(table);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
    QList<int> targets;
    const bool explicitIdentity = info.identityColumn >= 0 && m_ctx.identityInsert
                                  && m_ctx.identityInsert().compare(info.name, Qt::CaseInsensitive) == 0;
    if (s.columns.isEmpty()) {
        if (explicitIdentity)
            raise(8101, QStringLiteral("An explicit value for the identity column in table '%1' can only be specified when a column list is used and IDENTITY_INSERT is ON.").arg(table));
        for (int i = 0; i < info.columns.size(); ++i)
            if (!info.columns[i].identity) targets << i;
    } else {
        bool named = false;
        for (const QString& c : s.columns) {
            int i = info.indexOf(c);
            if (i < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(c));
            if (info.columns[i].identity) {
                if (!explicitIdentity)
                    raise(544, QStringLiteral("Cannot insert explicit value for identity column in table '%1' when IDENTITY_INSERT is set to OFF.").arg(table));
                named = true;
            }
            targets << i;
        }
        if (explicitIdentity && !named)
            raise(545, QStringLiteral("Explicit value must be specified for identity column in table '%1' either when IDENTITY_INSERT is set to ON or when a replication user is inserting into a NOT FOR REPLICATION identity column.").arg(table));
    }
    // an increment other than 1: the engine numbers the new rows from the current value
    const bool numbered = info.identityColumn >= 0 && !explicitIdentity && info.columns[info.identityColumn].identityStep != 1;
    const qint64 step = numbered ? info.columns[info.identityColumn].identityStep : 1;
    auto current = [&]() {
        const QString key = QStringLiteral("kv_identity:") + info.name;
        return param(m_ctx.system(key), ParamSource{ParamSource::System, 0, key});
    };
    QStringList colNames;
    if (numbered) colNames << quote(info.columns[info.identityColumn].name);
    for (int i : targets) colNames << quote(info.columns[i].name);
    Translated out;
    QString head = "INSERT INTO " + quote(info.name) + " (" + colNames.join(", ") + ")";
    Scope scope;
    if (s.defaultValues) {
        out.sql = numbered ? "INSERT INTO " + quote(info.name) + " (" + quote(info.columns[info.identityColumn].name) + ") VALUES ("
                                 + current() + " + " + QString::number(step) + ")"
                           : "INSERT INTO " + quote(info.name) + " DEFAULT VALUES";
    } else if (!s.values.isEmpty()) {
        QStringList rows;
        for (const QList<ExprP>& row : s.values) {
            if (row.size() != targets.size()) {
                if (row.size() > targets.size())
                    raise(110, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
                raise(109, QStringLiteral("There are more columns in the INSERT statement than values specified in the VALUES clause. The number of values in the VALUES clause must match the number of columns specified in the INSERT statement."));
            }
            QStringList vals;
            if (numbered) vals << current() + " + " + QString::number(step * (rows.size() + 1));
            for (int k = 0; k < row.size(); ++k) {
                TypeInfo t;
                QString v = expr(row[k], scope, t);
                if (row[k]->kind != EK::Null) v = convertFor(v, t, info.columns[targets[k]].type, info.name + "." + info.columns[targets[k]].name);
                vals << v;
            }
            rows << "(" + vals.join(", ") + ")";
        }
        out.sql = head + " VALUES " + rows.join(", ");
    } else if (const QString shared = s.select && !numbered ? insertSharedValues(*s.select, info, targets, head) : QString();
               !shared.isEmpty()) {
        out.sql = shared;   // a repeated value computed once per row
    } else if (s.select) {
        QList<OutputColumn> cols;
        bool known = false;
        QString sub = selectSql(*s.select, nullptr, &cols, &known);
        if (known && cols.size() != targets.size())
            raise(120, QStringLiteral("The select list for the INSERT statement contains %1 items than the insert list. The number of SELECT values must match the number of INSERT columns.")
                           .arg(cols.size() < targets.size() ? "fewer" : "more"));
        bool needConvert = false;
        QStringList conv, names;
        if (known) {
            for (int k = 0; k < cols.size(); ++k) {
                QString name = QStringLiteral("c%1").arg(k + 1);
                names << name;
                QString c = convertFor(quote(name), cols[k].type, info.columns[targets[k]].type, info.name + "." + info.columns[targets[k]].name);
                if (c != quote(name)) needConvert = true;
                conv << c;
            }
        }
        if (numbered) {
            const QString id = current() + " + " + QString::number(step) + " * row_number() OVER ()";
            if (known)
                out.sql = "WITH \"kv_src\"(" + names.join(", ") + ") AS (" + sub + ") " + head + " SELECT " + id + ", "
                          + conv.join(", ") + " FROM \"kv_src\"";
            else
                out.sql = head + " SELECT " + id + ", \"kv_src\".* FROM (" + sub + ") AS \"kv_src\"";
        } else if (needConvert)
            out.sql = "WITH \"kv_src\"(" + names.join(", ") + ") AS (" + sub + ") " + head + " SELECT " + conv.join(", ")
                      + " FROM \"kv_src\"";
        else
            out.sql = head + " " + sub;
    } else if (!s.execSource) {
        raise(102, QStringLiteral("Incorrect syntax near 'insert'."));
    }
    out = finish(out);
    // the target column types, for an insert fed by a procedure's rows
    for (int i : targets) out.columns.append({info.columns[i].name, info.columns[i].type});
    out.columnsKnown = true;
    return out;
}

// An insert whose select list repeats one computed value (a quantity stored in three
// columns, say) computes it once per row: the select gives each distinct value once, as
// a subquery SQLite does not merge back into the insert (its OFFSET keeps it apart, read
// row by row as it is made), and the insert takes each of its columns from there.
// Empty when the select repeats nothing or is not a plain one of the insert's width.
QString Translator::insertSharedValues(const Select& select, const TableInfo& info, const QList<int>& targets,
                                       const QString& head)
{
    if (!select.compound.isEmpty() || !select.orderBy.isEmpty() || select.distinct || select.topPercent
        || !select.into.isEmpty() || !select.groupBy.isEmpty() || select.having || select.items.size() != targets.size())
        return QString();
    QList<int> source;   // for each item, the first item of the same value
    bool shared = false;
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        const SelectItem& it = select.items[k];
        if (!it.expr || it.expr->kind == EK::Star || !it.assignVar.isEmpty()) return QString();
        int first = int(k);
        if (computed(*it.expr))
            for (qsizetype j = 0; j < k; ++j)
                if (source[j] == j && sameValue(*select.items[j].expr, *it.expr)) {
                    first = int(j);
                    shared = true;
                    break;
                }
        source << first;
    }
    if (!shared) return QString();
    // Which values repeat was told from the literals' values, which the shape of the
    // statement leaves out: another statement of this shape may repeat nothing.
    for (qsizetype k = 0; k < select.items.size(); ++k)
        if (source[k] != k && holdsLiteral(*select.items[k].expr)) m_cacheable = false;
    Select once = select;
    once.items.clear();
    QHash<int, int> position;   // first item -> its place in the subquery
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        if (source[k] != k) continue;
        SelectItem it = select.items[k];
        it.alias = QStringLiteral("kv_v%1").arg(once.items.size() + 1);
        position.insert(int(k), int(once.items.size()));
        once.items << it;
    }
    QList<OutputColumn> cols;
    bool known = false;
    QString sub = branchSql(once, nullptr, &cols, &known, false);
    if (!known || cols.size() != once.items.size()) return QString();
    sub += once.top ? QStringLiteral(" OFFSET 0") : QStringLiteral(" LIMIT -1 OFFSET 0");
    QStringList conv;
    for (qsizetype k = 0; k < select.items.size(); ++k) {
        const int p = position.value(source[k]);
        const TableColumn& target = info.columns[targets[k]];
        conv << convertFor("\"kv_src\"." + quote(cols[p].name), cols[p].type, target.type, info.name + "." + target.name);
    }
    return head + " SELECT " + conv.join(", ") + " FROM (" + sub + ") AS \"kv_src\"";
}

// The FROM source an UPDATE or DELETE target names: its alias, the table named
// without an alias, or the one source of that table under an alias.
const Translator::Source* Translator::targetSource(const QString& target, const Scope& scope)
{
    for (const Source& src : scope.sources)
        if (!src.alias.isEmpty() && src.alias.compare(target, Qt::CaseInsensitive) == 0) return &src;
    for (const Source& src : scope.sources)
        if (src.alias.isEmpty() && src.table.compare(target, Qt::CaseInsensitive) == 0) return &src;
    const Source* found = nullptr;
    for (const Source& src : scope.sources)
        if (src.table.compare(target, Qt::CaseInsensitive) == 0) {
            if (found) raise(8154, QStringLiteral("The table '%1' is ambiguous.").arg(target));
            found = &src;
        }
    return found;
}

Translated Translator::update(const Stmt& s)
{
    const QString target = tableName(s.table);
    Translated out;
    if (s.from.isEmpty()) {
        TableInfo info = m_ctx.table(target);
        if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
        Scope scope;
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        QStringList sets;
        for (const Assignment& a : s.sets) {
            if (!a.variable.isEmpty()) raise(102, QStringLiteral("Incorrect syntax near '%1'.").arg(a.variable));
            int ci = info.indexOf(a.column.last());
            if (ci < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(a.column.last()));
            if (info.columns[ci].identity)
                raise(8102, QStringLiteral("Cannot update identity column '%1'.").arg(info.columns[ci].name));
            TypeInfo t;
            QString v;
            if (a.op != "=") {
                auto col = std::make_shared<Expr>();
                col->kind = EK::Column;
                col->parts = QStringList{a.column.last()};
                v = arithmetic(a.op.left(1), col, a.value, scope, t);
            } else {
                v = expr(a.value, scope, t);
            }
            if (a.value->kind != EK::Null) v = convertFor(v, t, info.columns[ci].type, info.name + "." + info.columns[ci].name);
            sets << quote(info.columns[ci].name) + " = " + v;
        }
        out.sql = "UPDATE " + quote(info.name) + " SET " + sets.join(", ");
        QString where;
        if (s.where) where = cond(s.where, scope);
        if (s.top) {
            QString lim = topSql(s.top, scope);
            out.sql += " WHERE rowid IN (SELECT rowid FROM " + quote(info.name) + (where.isEmpty() ? "" : " WHERE " + where)
                       + " LIMIT " + lim + ")";
        } else if (!where.isEmpty()) {
            out.sql += " WHERE " + where;
        }
        out = finish(out);
        return out;
    }
    // update ... from ... join: the rows to change and their new values come from the full
    // T-SQL FROM clause; the target is matched back by rowid
    Scope scope;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);
    const Source* targetSource = this->targetSource(target, scope);
    QString targetTable = targetSource ? targetSource->table : target;
    TableInfo info = m_ctx.table(targetTable);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(targetTable));
    QString ref = targetSource ? quote(targetSource->alias.isEmpty() ? targetSource->table : targetSource->alias)
                               : QString();
    if (!targetSource) {
        // target named only after UPDATE: it joins the FROM list as itself
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        from.prepend(quote(info.name));
        ref = quote(info.name);
    }
    QStringList sets, vals;
    int k = 0;
    for (const Assignment& a : s.sets) {
        if (!a.variable.isEmpty()) raise(102, QStringLiteral("Incorrect syntax near '%1'.").arg(a.variable));
        int ci = info.indexOf(a.column.last());
        if (ci < 0) raise(207, QStringLiteral("Invalid column name '%1'.").arg(a.column.last()));
        TypeInfo t;
        QString v;
        if (a.op != "=") {
            auto col = std::make_shared<Expr>();
            col->kind = EK::Column;
            col->parts = a.column.size() > 1 ? a.column : QStringList{ref.mid(1, ref.size() - 2), a.column.last()};
            v = arithmetic(a.op.left(1), col, a.value, scope, t);
        } else {
            v = expr(a.value, scope, t);
        }
        if (a.value->kind != EK::Null) v = convertFor(v, t, info.columns[ci].type, info.name + "." + info.columns[ci].name);
        QString name = QStringLiteral("v%1").arg(++k);
        vals << v + " AS " + quote(name);
        sets << quote(info.columns[ci].name) + " = \"kv_u\"." + quote(name);
    }
    QString sub = "SELECT " + ref + ".rowid AS \"kv_rid\", " + vals.join(", ") + " FROM " + from.join(", ");
    if (s.where) sub += " WHERE " + cond(s.where, scope);
    if (s.top) sub += " LIMIT " + topSql(s.top, scope);
    out.sql = "UPDATE " + quote(info.name) + " SET " + sets.join(", ") + " FROM (" + sub + ") AS \"kv_u\" WHERE "
              + quote(info.name) + ".rowid = \"kv_u\".\"kv_rid\"";
    return finish(out);
}

Translated Translator::remove(const Stmt& s)
{
    const QString target = tableName(s.table);
    Translated out;
    if (s.from.isEmpty()) {
        TableInfo info = m_ctx.table(target);
        if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(s.table.join(u'.')));
        Scope scope;
        Source src;
        src.table = info.name;
        src.known = true;
        for (const TableColumn& c : info.columns) src.cols.append({c.name, c.type, !info.view});
        scope.sources.append(src);
        out.sql = "DELETE FROM " + quote(info.name);
        QString where = s.where ? cond(s.where, scope) : QString();
        if (s.top) {
            out.sql += " WHERE rowid IN (SELECT rowid FROM " + quote(info.name) + (where.isEmpty() ? "" : " WHERE " + where)
                       + " LIMIT " + topSql(s.top, scope) + ")";
        } else if (!where.isEmpty()) {
            out.sql += " WHERE " + where;
        }
        out = finish(out);
        return out;
    }
    Scope scope;
    QStringList from;
    for (const TableRefP& t : s.from) from << fromSql(t, scope);
    const Source* targetSource = this->targetSource(target, scope);
    if (!targetSource) raise(4104, QStringLiteral("The multi-part identifier \"%1\" could not be bound.").arg(s.table.join(u'.')));
    TableInfo info = m_ctx.table(targetSource->table);
    if (!info.exists) raise(208, QStringLiteral("Invalid object name '%1'.").arg(targetSource->table));
    QString ref = quote(targetSource->alias.isEmpty() ? targetSource->table : targetSource->alias);
    QString sub = "SELECT " + ref + ".rowid FROM " + from.join(", ");
    if (s.where) sub += " WHERE " + cond(s.where, scope);
    if (s.top) sub += " LIMIT " + topSql(s.top, scope);
    out.sql = "DELETE FROM " + quote(info.name) + " WHERE rowid IN (" + sub + ")";
    return finish(out);
}

QString Translator::defaultExpression(const ExprP& e)
{
    m_inlineOnly = true;
    Scope scope;
    TypeInfo t;
    QString s = expr(e, scope, t);
    m_inlineOnly = false;
    return s;
}

static QString columnDecl(const TypeRef& r)
{
    if (r.max) return QStringLiteral("%1(%2)").arg(r.name).arg(kMaxText);
    if (r.p1 >= 0 && r.p2 >= 0) return QStringLiteral("%1(%2,%3)").arg(r.name).arg(r.p1).arg(r.p2);
    if (r.p1 >= 0) return QStringLiteral("%1(%2)").arg(r.name).arg(r.p1);
    if (r.name == "decimal" || r.name == "numeric") return r.name + "(18,0)";
    return r.name;
}

QStringList Translator::createTable(const Stmt& s)
{
    const QString name = tableName(s.table);
    const bool temp = name.startsWith(u'#');
    QStringList defs;
    int identity = -1;
    QStringList pk = s.primaryKey;
    for (int i = 0; i < s.columnDefs.size(); ++i) {
        const ColumnDef& c = s.columnDefs[i];
        TypeInfo t = typeFromRef(c.type);
        if (!t.known()) raise(2715, QStringLiteral("Column, parameter, or variable #%1: Cannot find data type %2.").arg(i + 1).arg(c.type.name));
        if (c.identity) {
            if (identity >= 0) raise(2744, QStringLiteral("Multiple identity columns specified for table '%1'. Only one identity column per table is allowed.").arg(name));
            identity = i;
        }
        if (c.primaryKey) pk = QStringList{c.name};
    }
    QStringList uniques;
    for (const QStringList& u : s.uniques) {
        QStringList q;
        for (const QString& c : u) q << quote(c);
        uniques << "UNIQUE (" + q.join(", ") + ")";
    }
    for (int i = 0; i < s.columnDefs.size(); ++i) {
        const ColumnDef& c = s.columnDefs[i];
        TypeInfo t = typeFromRef(c.type);
        QString d = quote(c.name) + " ";
        if (i == identity) {
            // identity values are never reused, as SQL Server's; an increment other than 1 rides along for the catalog
            d += "INTEGER PRIMARY KEY AUTOINCREMENT";
            if (c.identityStep == 0) raise(2749, QStringLiteral("Identity column '%1' must have a nonzero increment.").arg(c.name));
            if (c.identityStep != 1) d += QStringLiteral(" /*kv:identity %1,%2*/").arg(c.identitySeed).arg(c.identityStep);
            defs << d;
            continue;
        }
        checkDecimalType(c.type, i + 1);
        d += t.type == SqlType::Decimal ? storageDecl(t) : columnDecl(c.type);
        if (t.type == SqlType::Text) d += " COLLATE KV";
        if (c.notNull || pk.contains(c.name, Qt::CaseInsensitive)) d += " NOT NULL";
        if (c.defaultValue) d += " DEFAULT (" + convertFor(defaultExpression(c.defaultValue), TypeInfo(), t) + ")";
        if (c.unique) d += " UNIQUE";
        defs << d;
    }
    if (!pk.isEmpty()) {
        QStringList q;
        for (const QString& c : pk) q << quote(c);
        bool pkIsIdentity = identity >= 0 && pk.size() == 1 && pk[0].compare(s.columnDefs[identity].name, Qt::CaseInsensitive) == 0;
        if (!pkIsIdentity) {
            // with an identity column holding the rowid key, the declared key is kept as a unique constraint
            if (identity >= 0) defs << "UNIQUE (" + q.join(", ") + ")";
            else defs << "PRIMARY KEY (" + q.join(", ") + ")";
        }
    }
    defs << uniques;
    QStringList out;
    out << QStringLiteral("CREATE %1TABLE %2 (%3)").arg(temp ? "TEMP " : "", quote(name), defs.join(", "));
    if (identity >= 0 && (s.columnDefs[identity].identitySeed != 1 || s.columnDefs[identity].identityStep != 1)) {
        // the current value: the first insert adds the increment to it
        const ColumnDef& c = s.columnDefs[identity];
        out << QStringLiteral("INSERT INTO %1sqlite_sequence (name, seq) VALUES (%2, %3)")
                   .arg(temp ? "temp." : "main.", quoteText(name))
                   .arg(c.identityStep > 0 ? c.identitySeed - c.identityStep : c.identitySeed - 1);
    }
    return out;
}

QString Translator::createIndex(const Stmt& s)
{
    const QString table = tableName(s.table);
    const bool temp = table.startsWith(u'#');
    QStringList cols;
    for (int i = 0; i < s.columns.size(); ++i) cols << quote(s.columns[i]) + (s.columnsDesc.value(i) ? " DESC" : "");
    return QStringLiteral("CREATE %1INDEX %2%3 ON %4 (%5)")
        .arg(s.unique ? "UNIQUE " : "", temp ? "temp." : "", quote(table + "." + s.indexName), quote(table), cols.join(", "));
}

QString Translator::createView(const Stmt& s)
{
    // a view keeps its text: literals stay in it, variables are refused
    m_inlineOnly = true;
    QList<OutputColumn> cols;
    bool known = false;
    QString sql = selectSql(*s.select, nullptr, &cols, &known);
    m_inlineOnly = false;
    QString head = "CREATE VIEW " + quote(tableName(s.table));
    if (!s.columns.isEmpty()) {
        QStringList q;
        for (const QString& c : s.columns) q << quote(c);
        head += " (" + q.join(", ") + ")";
    }
    // the declared types of computed columns ride along in the view's text, for the catalog
    QStringList types;
    for (int i = 0; i < cols.size(); ++i) {
        QString name = i < s.columns.size() ? s.columns[i] : cols[i].name;
        QString decl = declFromType(cols[i].type);
        if (!decl.isEmpty() && !name.contains(u'=') && !name.contains(u';') && !name.contains(QLatin1String("*/")))
            types << name + "=" + decl;
    }
    return head + " AS " + sql + " /*kv:types " + types.join(u';') + "*/";
}

QString Translator::createTableFor(const QString& name, const QList<OutputColumn>& cols)
{
    const bool temp = name.startsWith(u'#');
    QStringList defs;
    for (int i = 0; i < cols.size(); ++i) {
        const OutputColumn& c = cols[i];
        if (c.name.isEmpty())
            raise(1038, QStringLiteral("An object or column name is missing or empty. For SELECT INTO statements, verify each column has a name."));
        for (int k = 0; k < i; ++k)
            if (cols[k].name.compare(c.name, Qt::CaseInsensitive) == 0)
                raise(2705, QStringLiteral("Column names in each table must be unique. Column name '%1' in table '%2' is specified more than once.").arg(c.name, name));
        QString d = quote(c.name);
        QString decl = storageDecl(c.type);
        if (!decl.isEmpty()) d += " " + decl;
        if (c.type.type == SqlType::Text) d += " COLLATE KV";
        defs << d;
    }
    return QStringLiteral("CREATE %1TABLE %2 (%3)").arg(temp ? "TEMP " : "", quote(name), defs.join(", "));
}

} // namespace kvtsql
