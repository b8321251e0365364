#pragma once
// Exact decimal arithmetic with SQL Server's decimal(p,s) semantics, used by the
// embedded T-SQL engine in place of the server's numeric type.
//
// A Decimal is a scaled 128-bit integer: value = unscaled / 10^scale, with
// |unscaled| < 10^precision, 1 <= precision <= 38, 0 <= scale <= precision.
// Arithmetic is exact; a result is brought to its SQL Server result type
// (see resultType) by rounding half away from zero (+, -, *) or by truncation
// (/, as the server does), and raises DecimalError 8115 when its integral part
// does not fit.
//
// SQLite integration (registerSqliteFunctions) -- storage form:
//   A decimal value lives in SQLite as TEXT in canonical form: an optional '-',
//   the integral digits (at least one, no leading zeros), and when scale > 0 a
//   '.' followed by exactly `scale` digits: '5.00000000', '-0.50000000', '12'.
//   The text carries the value's scale; its precision is taken as a literal's
//   (digits written, e.g. '12.50' is decimal(4,2)) unless a function is given
//   an explicit result type.
//   Columns of decimal type are declared `TEXT COLLATE DECIMAL`: the DECIMAL
//   collation compares texts by numeric value (equal values of different
//   scales are equal: '5' = '5.00000000'), so SQLite's own =, <, ORDER BY,
//   GROUP BY, DISTINCT, indexes and min()/max() on such columns are exact and
//   need no function call. A comparison of such a column with an INTEGER or
//   REAL literal or parameter also goes through the collation (the literal
//   takes the column's TEXT affinity). Texts that are not numbers sort after
//   all numbers, among themselves by bytes.
//   Limits of the native form: the results of the dec_ functions are TEXT
//   without a collation, so comparing two such expressions, or one with a
//   number, needs dec_cmp(a, b) (or `COLLATE DECIMAL` on text operands);
//   SQLite's own sum()/avg()/+/- on the texts would convert them to doubles:
//   use dec_sum/dec_avg/dec_add... instead.
//
//   An engine that keeps decimals as SQLite numbers instead registers the
//   functions with SqliteForm::Number (below): results come back as INTEGER or
//   REAL, exact within 15 significant digits.
//
//   Arguments of every dec_ function may be INTEGER (an int32 value types as
//   int, decimal(10,0); a larger one as bigint, decimal(19,0)), REAL
//   (converted by its shortest round-trip text, as a literal) or TEXT
//   (parsed; blanks around it are ignored; an exponent is accepted).
//   NULL in any value argument gives NULL.
//
//   Scalar functions (x, y: values; p, s, n, f: INTEGER):
//     dec_add(x, y [, p, s])  dec_sub(x, y [, p, s])
//     dec_mul(x, y [, p, s])  dec_div(x, y [, p, s])
//         SQL Server's + - * / ; without p, s the result type follows the
//         operands' types by SQL Server's rules; with p, s that is the result
//         type (the caller computed it from declared types, see resultType);
//         with s alone (three arguments) the result type is decimal(38, s).
//     dec_neg(x)  dec_abs(x)  dec_sign(x)  dec_ceiling(x)  dec_floor(x)
//     dec_round(x, n [, f])   f <> 0 truncates instead of rounding
//         (these keep x's scale, ceiling/floor give scale 0; x may grow to
//         38 digits: dec_round('9.9', 0) is '10.0', no overflow)
//     dec_cast(x, p, s)       cast to decimal(p,s), rounding half away from zero
//     dec_int(x)              cast to int/bigint, truncating: INTEGER
//     dec_float(x)            cast to float: REAL
//     dec_text(x [, s])       display text (canonical form, with s decimals)
//     dec_cmp(x, y)           -1, 0 or 1 as INTEGER (NULL if either is NULL)
//   Aggregates (NULLs skipped, no rows or only NULLs give NULL):
//     dec_sum(x [, s])  exact; scale of the widest input (SQL Server:
//                       decimal(38,s)), or s decimals when given (rounded)
//     dec_avg(x [, s])  exact sum / count truncated to max(widest scale, 6)
//                       decimals, or to s decimals when given
//
//   Errors are reported with sqlite3_result_error; the message is
//   "<SQL Server error number>|<SQL Server's text>", for example
//   "8134|Divide by zero error encountered." (splitErrorMessage parses it):
//     8115 Arithmetic overflow error converting expression to data type numeric.
//     8115 Arithmetic overflow error converting expression to data type bigint. (dec_int)
//     8134 Divide by zero error encountered.
//     8114 Error converting data type varchar to numeric.
//   A bad type argument (dec_cast(x, 50, 2)) or a wrong argument count gives a
//   plain message without a number.
#include <compare>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_value;

namespace kvdec {

constexpr int MaxPrecision = 38;

using Int128 = __int128;

// SQL Server error numbers the decimal code raises.
enum ErrorNumber : int {
    ErrConvert = 8114,      // "Error converting data type varchar to numeric."
    ErrOverflow = 8115,     // "Arithmetic overflow error converting expression to data type numeric."
    ErrDivideByZero = 8134, // "Divide by zero error encountered."
};

// An error with SQL Server's number and text.
class DecimalError : public std::runtime_error {
public:
    DecimalError(int number, const std::string& text) : std::runtime_error(text), FNumber(number) {}
    int number() const { return FNumber; }

private:
    int FNumber;
};

// decimal(precision, scale)
struct DecType {
    int precision = 18;
    int scale = 0;
    bool operator==(const DecType&) const = default;
};

constexpr DecType IntType{10, 0};    // int as a decimal operand
constexpr DecType BigIntType{19, 0}; // bigint as a decimal operand

enum class Op { Add, Sub, Mul, Div };

// SQL Server's result type of `a op b`, including the cap at precision 38:
// for * and / the scale is then reduced to keep the integral digits, but not
// below min(scale, 6); for + and - it is reduced to 38 minus the wider
// integral part.
DecType resultType(Op op, DecType a, DecType b);
// Type of a SUM over decimal(p,s): decimal(38,s); of an AVG: decimal(38,max(s,6)).
DecType sumType(DecType a);
DecType avgType(DecType a);
// Validates a declared type (1..38, 0..p); throws std::invalid_argument.
DecType checkedType(int precision, int scale);

class Decimal {
public:
    // Zero as decimal(18,0), SQL Server's default decimal.
    Decimal() = default;

    // value = unscaled / 10^scale typed decimal(precision, scale); 8115 when it does not fit.
    static Decimal fromUnscaled(Int128 unscaled, int precision, int scale);
    // An integer typed as int (decimal(10,0)) when it fits 32 bits, else as bigint (decimal(19,0)).
    static Decimal fromInt(std::int64_t value);
    // An integer cast to decimal(p, s).
    static Decimal fromInt(std::int64_t value, int precision, int scale);
    // A float cast to decimal(p, s): the float's shortest round-trip decimal
    // text rounded half away from zero to s decimals; 8115 when out of range
    // (also for NaN and infinities).
    static Decimal fromDouble(double value, int precision, int scale);
    // A float typed as a literal of its shortest round-trip decimal text (0.1 is decimal(1,1)).
    static Decimal fromDouble(double value);
    // Text such as '-12.5', '0.00000001', ' 42 ', '+.5', '1e-3' (blanks around
    // it ignored), typed as SQL Server types a numeric literal: precision = the
    // digits written, scale = the decimals written (beyond 38 digits the
    // decimals are rounded away). 8114 when it is not a number, 8115 when its
    // integral part has more than 38 digits.
    static Decimal parse(std::string_view text);
    // Text cast to decimal(p, s), rounding half away from zero.
    static Decimal parse(std::string_view text, int precision, int scale);
    // As parse, but false instead of an error.
    static bool tryParse(std::string_view text, Decimal& out);

    Int128 unscaled() const { return FValue; }
    int precision() const { return FPrecision; }
    int scale() const { return FScale; }
    DecType type() const { return {FPrecision, FScale}; }
    bool isZero() const { return FValue == 0; }
    bool isNegative() const { return FValue < 0; }

    // SQL Server's display text: exactly scale() decimals, no exponent, a '0'
    // before the point: '5.00000000', '-0.50000000', '12'.
    std::string toString() const;
    // The same text written into out, which holds at least MaxTextLength
    // chars (no terminating NUL); returns its length.
    static constexpr std::size_t MaxTextLength = 48;
    std::size_t toChars(char* out) const;

    // cast(x as decimal(p, s)): rounds half away from zero; 8115 when it does not fit.
    Decimal cast(int precision, int scale) const;
    Decimal cast(DecType t) const { return cast(t.precision, t.scale); }
    // Same value with the type widened to hold `scale` decimals exactly (precision
    // grows as needed up to 38); 8115 when that is impossible.
    Decimal withScale(int scale) const;
    // cast(x as int) / cast(x as bigint): truncates toward zero; 8115 ("... int.") when out of range.
    std::int32_t toInt32() const;
    std::int64_t toInt64() const;
    // cast(x as float): the nearest double.
    double toDouble() const;

    // Functions with SQL Server's result types: ceiling and floor give
    // decimal(p,0); round, abs, sign and unary minus keep decimal(p,s).
    Decimal ceiling() const;
    Decimal floor() const;
    // round(x, n) rounds half away from zero, round(x, n, 1) truncates; n may be
    // negative (round(748.58,-1) = 750.00); 8115 when the rounded value needs
    // more integral digits than the type has (round(748.58,-3) on decimal(5,2)).
    Decimal round(int digits, bool truncate = false) const;
    Decimal abs() const;
    Decimal sign() const;
    Decimal operator-() const;

    // Arithmetic with SQL Server's result types; / truncates to the result scale.
    // 8115 on overflow, 8134 on division by zero.
    friend Decimal operator+(const Decimal& a, const Decimal& b) { return apply(Op::Add, a, b); }
    friend Decimal operator-(const Decimal& a, const Decimal& b) { return apply(Op::Sub, a, b); }
    friend Decimal operator*(const Decimal& a, const Decimal& b) { return apply(Op::Mul, a, b); }
    friend Decimal operator/(const Decimal& a, const Decimal& b) { return apply(Op::Div, a, b); }
    static Decimal apply(Op op, const Decimal& a, const Decimal& b);
    // `a op b` computed exactly and brought to the given result type (rounding
    // for + - *, truncating for /).
    static Decimal apply(Op op, const Decimal& a, const Decimal& b, DecType result);

    // The general readers and arithmetic that parse and apply fall back to
    // for forms the common paths do not take (exponents, more than 38 digits,
    // exact results beyond 128 bits); they give the same results for every
    // input, which tests hold the common paths to.
    static Decimal parseWide(std::string_view text);
    static Decimal applyWide(Op op, const Decimal& a, const Decimal& b, DecType result);

    // Numeric comparison: values compare equal whatever their scales.
    static int compare(const Decimal& a, const Decimal& b);
    friend bool operator==(const Decimal& a, const Decimal& b) { return compare(a, b) == 0; }
    friend auto operator<=>(const Decimal& a, const Decimal& b) { return compare(a, b) <=> 0; }

private:
    Decimal(Int128 v, int p, int s) : FValue(v), FPrecision(std::int8_t(p)), FScale(std::int8_t(s)) {}
    static bool applyNarrow(Op op, const Decimal& a, const Decimal& b, DecType t, Int128& out);
    Int128 FValue = 0;
    std::int8_t FPrecision = 18;
    std::int8_t FScale = 0;
};

// Exact running sum of decimals (SUM): the scale of the widest value added,
// precision 38; 8115 when the total leaves 38 digits.
class DecimalSum {
public:
    void add(const Decimal& v);
    bool empty() const { return FCount == 0; }
    std::int64_t count() const { return FCount; }
    // decimal(38, s); zero typed decimal(38,0) when nothing was added.
    Decimal sum() const;
    // sum / count truncated to max(s, 6) decimals, decimal(38, max(s,6)); 8134 when empty.
    Decimal average() const;

private:
    Int128 FValue = 0;
    int FScale = 0;
    std::int64_t FCount = 0;
};

// Compares two numeric texts by value (the DECIMAL collation); texts that are
// not numbers sort after numbers and among themselves by bytes.
int compareNumericText(std::string_view a, std::string_view b);

// The storage class of the values the dec_ functions return.
enum class SqliteForm {
    // canonical TEXT, exact and carrying the scale (the storage form above)
    Text,
    // INTEGER for a whole value within 64 bits, REAL when the nearest double
    // reads back (by its shortest text) as exactly the value, else the
    // canonical TEXT. For an engine that keeps decimals as SQLite numbers
    // (NUMERIC affinity): native comparisons and ORDER BY then work on every
    // result, and values of up to 15 significant digits stay exact.
    Number,
};

// Registers the DECIMAL collation, the dec_ scalar functions and the dec_sum /
// dec_avg aggregates on a connection (see the top of this file). dec_text
// always gives TEXT, dec_int INTEGER, dec_float REAL, dec_cmp INTEGER.
void registerSqliteFunctions(sqlite3* db, SqliteForm results = SqliteForm::Text);

// A value as SQLite holds it (INTEGER, REAL or TEXT; for a result column
// sqlite3_column_value) read as the dec_ functions read their arguments;
// throws DecimalError 8114 for a text that is not a number. NULL is the
// caller's to test first (it reads as 0).
Decimal fromSqliteValue(sqlite3_value* value);

// Splits an error message of the dec_ functions ("8134|Divide by zero error
// encountered.") into number and text; false (number 0, text unchanged) when
// the message has no number.
bool splitErrorMessage(std::string_view message, int& number, std::string& text);

} // namespace kvdec
