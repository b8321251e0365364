// Translating expressions: operators, comparisons, arithmetic with SQL Server's
// result types, conversions and casts, functions.
#include "TranslatorTypes.h"

#include "Decimal.h"

#include <QRegularExpression>

#include <limits>

namespace kvtsql {

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
            type.unicode = ta.unicode || tb.unicode;
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
    // every operation checks its result as SQL Server does: an integer beyond its
    // type, a float beyond its range or a zero divisor is an error, never a wrapped,
    // widened or missing value
    if (op == "%") {
        type = ta.known() && ta.type != SqlType::Text ? ta : (tb.type != SqlType::Text ? tb : TypeInfo());
        int precision = 0;
        if ((intA || nullA) && (intB || nullB)) {
            type = intType();
            precision = ta.precision == 19 || tb.precision == 19 ? 19 : 10;
            type.precision = precision;
        } else if (decimalPair(ta, tb)) {
            type = decimalResult(op, ta, tb);
        }
        return "kv_mod(" + sa + ", " + sb + ", " + QString::number(precision) + ")";
    }
    if (ta.type == SqlType::Float || tb.type == SqlType::Float) {
        type = floatType();
        if (op == "/") return "kv_div(" + sa + ", " + sb + ", 0)";
        return checkedChain(QStringLiteral("kv_float("), QStringLiteral(")"), sa, op, sb);
    }
    if ((intA || nullA) && (intB || nullB)) {
        type = intType();
        if (ta.precision == 19 || tb.precision == 19) type.precision = 19;
        const QString precision = QString::number(type.precision);
        if (op == "/") return "kv_div(" + sa + ", " + sb + ", " + precision + ")";
        // SQLite's whole numbers are 64 bits, and one that overflows becomes a float,
        // which kv_toint refuses as bigint's overflow
        return checkedChain(QStringLiteral("kv_toint("), ", " + precision + ")", sa, op, sb);
    }
    if ((ta.type == SqlType::Decimal || intA || nullA) && (tb.type == SqlType::Decimal || intB || nullB)) {
        type = decimalResult(op, ta, tb);
        // exact decimal arithmetic with the result type SQL Server gives
        static const QHash<QString, QString> fns = {{"+", "dec_add"}, {"-", "dec_sub"}, {"*", "dec_mul"}, {"/", "dec_div"}};
        return fns[op] + "(" + sa + ", " + sb + ", " + decArgs(type) + ")";
    }
    // text operands of arithmetic, or types not known: let the value decide
    type = ta.known() && ta.type != SqlType::Text ? ta : (tb.type != SqlType::Text ? tb : TypeInfo());
    if (op == "/") return "kv_div(" + sa + ", " + sb + ", 0)";
    return checkedChain(QStringLiteral("kv_float("), QStringLiteral(")"), sa, op, sb);
}

QString Translator::checkedChain(const QString& head, const QString& tail, const QString& a, const QString& op, const QString& b)
{
    // a chain of the same checked operation (1 + 2 + 3...) is checked once, around the
    // whole chain: SQLite's parser reads only a few dozen calls nested in each other
    auto inner = [&](const QString& sql) {
        const auto it = m_checked.constFind(sql);
        return it != m_checked.constEnd() && it->first == head + tail ? it->second : sql;
    };
    const QString chain = "(" + inner(a) + " " + op + " " + inner(b) + ")";
    const QString sql = head + chain + tail;
    m_checked.insert(sql, {head + tail, chain});
    return sql;
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
        if (e.text == "-" && type.type == SqlType::Integer && e.args[0]->kind != EK::Integer)
            return "kv_ineg(" + s + ", " + QString::number(type.precision == 19 ? 19 : 10) + ")";
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

// A value as an integer of the target's type, its range checked (220 for tinyint and
// smallint, 8115 for int and bigint) unless the value's own type fits.
static QString integerFor(const QString& sql, const TypeInfo& from, const TypeInfo& target)
{
    const int to = target.precision > 0 ? target.precision : 10;
    const int own = from.precision > 0 ? from.precision : 10;
    if (from.type == SqlType::Bit || (from.type == SqlType::Integer && own <= to)) return sql;
    // a decimal is held as its text: it truncates to a whole number as a decimal, not as a varchar
    const QString whole = from.type == SqlType::Decimal ? "dec_int(" + sql + ")" : sql;
    return "kv_toint(" + whole + ", " + QString::number(to) + ")";
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
    case SqlType::Integer: return integerFor(sql, from, target);
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
        if (from.type == SqlType::DateTime) return integerFor("kv_dtint(" + sql + ")", intType(), to);
        if (from.type == SqlType::Integer && from.precision == 10 && to.precision == 10) return "kv_toint(" + sql + ")";
        return integerFor(sql, from, to);
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

// What kv_datalength needs to know of a value's type: its bytes as SQL Server keeps them.
static QString dataLengthKind(const TypeInfo& t)
{
    switch (t.type) {
    case SqlType::Text: return t.unicode ? QStringLiteral("'n'") : QStringLiteral("'v'");
    case SqlType::Binary: return QStringLiteral("'b'");
    case SqlType::Integer: return QString::number(t.precision == 19 ? 8 : t.precision == 5 ? 2 : t.precision == 3 ? 1 : 4);
    case SqlType::Bit: return QStringLiteral("1");
    case SqlType::Float: return QStringLiteral("8");
    case SqlType::DateTime: return QString::number(t.precision == 1 ? 4 : 8);
    case SqlType::Decimal: return QString::number(t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17);
    case SqlType::Null: break;
    }
    return QStringLiteral("'v'");
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
            if (in.precision == 19) type.precision = 19;
            if (n == "avg") return "kv_toint(avg(" + d + a[0] + "), " + QString::number(type.precision) + ")";
            // a sum of ints is an int, as SQL Server's: beyond its range it overflows
            if (type.precision == 19) return "sum(" + d + a[0] + ")";
            return "kv_toint(sum(" + d + a[0] + "), 10)";
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
    if (n == "datalength") {
        args(1, 1);
        type = intType();
        return "kv_datalength(" + a[0] + ", " + dataLengthKind(t[0]) + ")";
    }
    // a text function's result is Unicode when its text is
    auto textOf = [&](int size) {
        TypeInfo r = textType(size);
        r.unicode = t.value(0).unicode;
        return r;
    };
    if (n == "left") { args(2, 2); type = textOf(t[0].size); return call("kv_left"); }
    if (n == "right") { args(2, 2); type = textOf(t[0].size); return call("kv_right"); }
    if (n == "substring") { args(3, 3); type = textOf(t[0].size); return call("substr"); }
    if (n == "ltrim" || n == "rtrim") { args(1, 1); type = textOf(t[0].size); return call(n); }
    if (n == "trim") { args(1, 1); type = textOf(t[0].size); return call("trim"); }
    if (n == "upper" || n == "lower") { args(1, 1); type = textOf(t[0].size); return call(n); }
    if (n == "replace") { args(3, 3); type = textOf(0); return call("kv_replace"); }
    if (n == "charindex") { args(2, 3); type = intType(); return call("kv_charindex"); }
    if (n == "char" || n == "nchar") {
        args(1, 1);
        type = textType(1);
        type.unicode = n == "nchar";
        return "kv_charcode(" + a[0] + (n == "char" ? ", 255)" : ", 65535)");
    }
    if (n == "ascii" || n == "unicode") { args(1, 1); type = intType(); return call("unicode"); }
    if (n == "space") { args(1, 1); type = textType(); return call("kv_space"); }
    if (n == "replicate") { args(2, 2); type = textOf(0); return call("kv_replicate"); }
    if (n == "reverse") { args(1, 1); type = textType(t[0].size); raise(195, QStringLiteral("'reverse' is not a recognized built-in function name.")); }
    if (n == "abs") {
        args(1, 1);
        type = t[0];
        if (t[0].type == SqlType::Integer && t[0].precision != 19) return "kv_toint(abs(" + a[0] + "), 10)";
        return call("abs");
    }
    if (n == "xact_state") {
        // 1 while a transaction is open; a transaction that cannot commit is never left open here
        args(0, 0);
        type = intType();
        return "(CASE WHEN " + param(m_ctx.system("@@trancount"), ParamSource{ParamSource::System, 0, QStringLiteral("@@trancount")})
               + " > 0 THEN 1 ELSE 0 END)";
    }
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
    if (n == "power") {
        args(2, 2);
        type = t[0];
        // the result takes the first argument's type, and its range
        int kind = 0;
        if (t[0].type == SqlType::Integer || t[0].type == SqlType::Bit) {
            type = intType();
            kind = t[0].precision == 19 ? 19 : 10;
            type.precision = kind;
        } else if (t[0].type == SqlType::Decimal) {
            kind = 38;
        }
        return "kv_power(" + a[0] + ", " + a[1] + ", " + QString::number(kind) + ")";
    }
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

} // namespace kvtsql
