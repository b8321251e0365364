// The decimal functions, aggregates and collation of the embedded engine's
// SQLite connections (storage form and error messages: Decimal.h).
#include "Decimal.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <new>

namespace kvdec {

namespace {

std::string shortestText(double value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

// Thrown for misuse by the caller (bad type arguments), reported without a number.
struct UsageError {
    std::string text;
};

void reportError(sqlite3_context* ctx, const DecimalError& e)
{
    const std::string msg = std::to_string(e.number()) + "|" + e.what();
    sqlite3_result_error(ctx, msg.c_str(), int(msg.size()));
}

// Runs a function body, turning exceptions into SQLite errors.
template <class F>
void guarded(sqlite3_context* ctx, F&& body)
{
    try {
        body();
    } catch (const DecimalError& e) {
        reportError(ctx, e);
    } catch (const UsageError& e) {
        sqlite3_result_error(ctx, e.text.c_str(), int(e.text.size()));
    } catch (const std::invalid_argument& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        // nothing may unwind through SQLite's C frames
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

bool anyNull(int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
    return false;
}

Decimal valueOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
        return Decimal::fromInt(0);
    case SQLITE_INTEGER:
        return Decimal::fromInt(sqlite3_value_int64(v));
    case SQLITE_FLOAT:
        return Decimal::fromDouble(sqlite3_value_double(v));
    default: {
        const char* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
        return Decimal::parse(std::string_view(t ? t : "", std::size_t(sqlite3_value_bytes(v))));
    }
    }
}

int intArg(sqlite3_value* v, const char* function, const char* what)
{
    if (sqlite3_value_type(v) != SQLITE_INTEGER)
        throw UsageError{std::string(function) + ": " + what + " must be an integer"};
    const sqlite3_int64 n = sqlite3_value_int64(v);
    if (n < -1000 || n > 1000) throw UsageError{std::string(function) + ": " + what + " out of range"};
    return int(n);
}

int scaleArg(sqlite3_value* v, const char* function)
{
    const int s = intArg(v, function, "scale");
    if (s < 0 || s > MaxPrecision) throw UsageError{std::string(function) + ": scale out of range"};
    return s;
}

DecType typeArgs(sqlite3_value** argv, const char* function)
{
    return checkedType(intArg(argv[0], function, "precision"), intArg(argv[1], function, "scale"));
}

// A value whose type came from its own digits gets room to grow to 38 digits,
// so that rounding 9.9 up does not overflow a type the value never declared.
Decimal widened(const Decimal& d) { return Decimal::fromUnscaled(d.unscaled(), MaxPrecision, d.scale()); }

void resultText(sqlite3_context* ctx, const Decimal& d)
{
    char text[Decimal::MaxTextLength];
    sqlite3_result_text(ctx, text, int(d.toChars(text)), SQLITE_TRANSIENT);
}

// The Number form: INTEGER for a whole value within 64 bits, REAL when the
// double reads back as exactly the value, the canonical TEXT otherwise.
void resultNumber(sqlite3_context* ctx, const Decimal& d)
{
    Int128 unit = 1;
    for (int i = 0; i < d.scale(); ++i)
        unit *= 10;
    if (d.unscaled() % unit == 0) {
        const Int128 q = d.unscaled() / unit;
        if (q >= INT64_MIN && q <= INT64_MAX) return sqlite3_result_int64(ctx, sqlite3_int64(q));
    }
    const double v = d.toDouble();
    Decimal back;
    if (std::isfinite(v) && Decimal::tryParse(shortestText(v), back) && back == d) return sqlite3_result_double(ctx, v);
    resultText(ctx, d);
}

void resultDecimal(sqlite3_context* ctx, const Decimal& d)
{
    if (*static_cast<const SqliteForm*>(sqlite3_user_data(ctx)) == SqliteForm::Number)
        resultNumber(ctx, d);
    else
        resultText(ctx, d);
}

template <Op op>
void arithmetic(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(2, argv)) return sqlite3_result_null(ctx);
        const Decimal a = valueOf(argv[0]), b = valueOf(argv[1]);
        if (argc == 4)
            resultDecimal(ctx, Decimal::apply(op, a, b, typeArgs(argv + 2, "decimal operator")));
        else if (argc == 3)
            resultDecimal(ctx, Decimal::apply(op, a, b, {MaxPrecision, scaleArg(argv[2], "decimal operator")}));
        else
            resultDecimal(ctx, Decimal::apply(op, a, b));
    });
}

template <Decimal (Decimal::*fn)() const>
void unary(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(1, argv)) return sqlite3_result_null(ctx);
        resultDecimal(ctx, (widened(valueOf(argv[0])).*fn)());
    });
}

void decRound(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
        const int n = intArg(argv[1], "dec_round", "length");
        const bool truncate = argc > 2 && intArg(argv[2], "dec_round", "function") != 0;
        resultDecimal(ctx, widened(valueOf(argv[0])).round(n, truncate));
    });
}

void decCast(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        const DecType t = typeArgs(argv + 1, "dec_cast");
        if (anyNull(1, argv)) return sqlite3_result_null(ctx);
        sqlite3_value* v = argv[0];
        switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            return resultDecimal(ctx, Decimal::fromInt(sqlite3_value_int64(v), t.precision, t.scale));
        case SQLITE_FLOAT:
            return resultDecimal(ctx, Decimal::fromDouble(sqlite3_value_double(v), t.precision, t.scale));
        default: {
            const char* s = reinterpret_cast<const char*>(sqlite3_value_text(v));
            return resultDecimal(ctx, Decimal::parse(std::string_view(s ? s : "", std::size_t(sqlite3_value_bytes(v))),
                                                     t.precision, t.scale));
        }
        }
    });
}

void decInt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(1, argv)) return sqlite3_result_null(ctx);
        sqlite3_result_int64(ctx, valueOf(argv[0]).toInt64());
    });
}

void decFloat(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(1, argv)) return sqlite3_result_null(ctx);
        sqlite3_result_double(ctx, valueOf(argv[0]).toDouble());
    });
}

void decText(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(argc, argv)) return sqlite3_result_null(ctx);
        const Decimal d = valueOf(argv[0]);
        if (argc > 1) return resultText(ctx, d.withScale(scaleArg(argv[1], "dec_text")));
        resultText(ctx, d);
    });
}

void decCmp(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        if (anyNull(2, argv)) return sqlite3_result_null(ctx);
        sqlite3_result_int(ctx, Decimal::compare(valueOf(argv[0]), valueOf(argv[1])));
    });
}

// Aggregate state in SQLite's zeroed aggregate memory; resultScale is the
// optional second argument plus one (0: none given).
struct SumState {
    DecimalSum sum;
    int resultScale;
};

SumState* sumState(sqlite3_context* ctx, bool create)
{
    // SQLite's aggregate memory is only 8-byte aligned; the 128-bit sum needs its own alignment
    void* mem = sqlite3_aggregate_context(ctx, create ? int(sizeof(SumState) + alignof(SumState)) : 0);
    if (!mem) return nullptr;
    std::size_t room = sizeof(SumState) + alignof(SumState);
    return static_cast<SumState*>(std::align(alignof(SumState), sizeof(SumState), mem, room)); // all-zero bytes are an empty DecimalSum
}

void sumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    guarded(ctx, [&] {
        SumState* st = sumState(ctx, true);
        if (!st) return sqlite3_result_error_nomem(ctx);
        if (argc > 1 && st->resultScale == 0) st->resultScale = scaleArg(argv[1], "decimal aggregate") + 1;
        if (anyNull(1, argv)) return;
        st->sum.add(valueOf(argv[0]));
    });
}

void sumFinal(sqlite3_context* ctx)
{
    guarded(ctx, [&] {
        SumState* st = sumState(ctx, false);
        if (!st || st->sum.empty()) return sqlite3_result_null(ctx);
        const Decimal sum = st->sum.sum();
        resultDecimal(ctx, st->resultScale ? sum.cast(MaxPrecision, st->resultScale - 1) : sum);
    });
}

void avgFinal(sqlite3_context* ctx)
{
    guarded(ctx, [&] {
        SumState* st = sumState(ctx, false);
        if (!st || st->sum.empty()) return sqlite3_result_null(ctx);
        if (!st->resultScale) return resultDecimal(ctx, st->sum.average());
        const DecType t{MaxPrecision, st->resultScale - 1};
        resultDecimal(ctx, Decimal::apply(Op::Div, st->sum.sum(), Decimal::fromInt(st->sum.count()), t));
    });
}

int collate(void*, int n1, const void* s1, int n2, const void* s2)
{
    return compareNumericText(std::string_view(static_cast<const char*>(s1), std::size_t(n1)),
                              std::string_view(static_cast<const char*>(s2), std::size_t(n2)));
}

} // namespace

Decimal fromSqliteValue(sqlite3_value* value) { return valueOf(value); }

void registerSqliteFunctions(sqlite3* db, SqliteForm results)
{
    static const SqliteForm forms[] = {SqliteForm::Text, SqliteForm::Number};
    void* form = const_cast<SqliteForm*>(&forms[results == SqliteForm::Number ? 1 : 0]);
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    struct Fn {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
    };
    const Fn scalars[] = {
        {"dec_add", -1, arithmetic<Op::Add>},
        {"dec_sub", -1, arithmetic<Op::Sub>},
        {"dec_mul", -1, arithmetic<Op::Mul>},
        {"dec_div", -1, arithmetic<Op::Div>},
        {"dec_neg", 1, unary<&Decimal::operator- >},
        {"dec_abs", 1, unary<&Decimal::abs>},
        {"dec_sign", 1, unary<&Decimal::sign>},
        {"dec_ceiling", 1, unary<&Decimal::ceiling>},
        {"dec_floor", 1, unary<&Decimal::floor>},
        {"dec_round", 2, decRound}, {"dec_round", 3, decRound},
        {"dec_cast", 3, decCast},
        {"dec_int", 1, decInt},
        {"dec_float", 1, decFloat},
        {"dec_text", 1, decText}, {"dec_text", 2, decText},
        {"dec_cmp", 2, decCmp},
    };
    for (const Fn& f : scalars) {
        if (f.args >= 0) {
            sqlite3_create_function_v2(db, f.name, f.args, flags, form, f.fn, nullptr, nullptr, nullptr);
            continue;
        }
        for (int args = 2; args <= 4; ++args) // x, y [, s | , p, s]
            sqlite3_create_function_v2(db, f.name, args, flags, form, f.fn, nullptr, nullptr, nullptr);
    }
    for (int args = 1; args <= 2; ++args) { // x [, s]
        sqlite3_create_function_v2(db, "dec_sum", args, flags, form, nullptr, sumStep, sumFinal, nullptr);
        sqlite3_create_function_v2(db, "dec_avg", args, flags, form, nullptr, sumStep, avgFinal, nullptr);
    }
    sqlite3_create_collation_v2(db, "DECIMAL", SQLITE_UTF8, nullptr, collate, nullptr);
}

} // namespace kvdec
