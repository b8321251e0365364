#include "Functions.h"
#include "FunctionsSqlite.h"
#include "TsqlEngine.h"

#include <QSysInfo>
#include <QRegularExpression>
#include <QUuid>

#include <sqlite3.h>

#include "Decimal.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

namespace kvtsql {

namespace sqlfn {

QString textArg(sqlite3_value* v)
{
    const unsigned char* t = sqlite3_value_text(v);
    int n = sqlite3_value_bytes(v);
    return t ? QString::fromUtf8(reinterpret_cast<const char*>(t), n) : QString();
}

void resultText(sqlite3_context* ctx, const QString& s)
{
    QByteArray b = s.toUtf8();
    sqlite3_result_text(ctx, b.constData(), b.size(), SQLITE_TRANSIENT);
}

void resultError(sqlite3_context* ctx, int number, const QString& message)
{
    QByteArray b = QStringLiteral("kv:%1:%2").arg(number).arg(message).toUtf8();
    sqlite3_result_error(ctx, b.constData(), b.size());
}

// A text result of that many UTF-8 bytes may be made; otherwise the function's
// error is set (7119) and nothing is built.
bool mayGrowTo(sqlite3_context* ctx, double bytes)
{
    if (bytes <= double(kMaxValueBytes)) return true;
    resultError(ctx, 7119, valueTooLongMessage());
    return false;
}

// An integer result checked against its type's range.
void resultInteger(sqlite3_context* ctx, qint64 v, int precision)
{
    int number = 0;
    QString message;
    if (integerOutOfRange(v, precision, number, message)) resultError(ctx, number, message);
    else sqlite3_result_int64(ctx, v);
}

// A float result: an infinite one overflowed (8115), one that is not a number came
// of an invalid operation (3623), as SQL Server answers them.
void resultFloat(sqlite3_context* ctx, double v)
{
    if (std::isnan(v)) resultError(ctx, 3623, QStringLiteral("An invalid floating point operation occurred."));
    else if (std::isinf(v)) resultError(ctx, 8115, QStringLiteral("Arithmetic overflow error converting expression to data type float."));
    else sqlite3_result_double(ctx, v);
}

} // namespace sqlfn

using namespace sqlfn;

namespace {

// ---------------------------------------------------------------- collation
// Trailing blanks do not count.
int trimmedLength(const char* p, int n)
{
    while (n > 0 && p[n - 1] == ' ') --n;
    return n;
}

// Plain ASCII texts byte by byte; any other through compareTextUnicode.
int textOrder(const char* a, int n1, const char* b, int n2)
{
    n1 = trimmedLength(a, n1);
    n2 = trimmedLength(b, n2);
    const int n = std::min(n1, n2);
    for (int i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) return compareTextUnicode(a, n1, b, n2);
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return x < y ? -1 : 1;
    }
    return n1 == n2 ? 0 : (n1 < n2 ? -1 : 1);
}

// SQL Server's default collation: case-insensitive, trailing blanks ignored.
int kvCollate(void*, int n1, const void* p1, int n2, const void* p2) noexcept
{
    try {
        return textOrder(static_cast<const char*>(p1), n1, static_cast<const char*>(p2), n2);
    } catch (...) {
        // out of memory for the general order: the bytes' order, never an exception through SQLite
        const int c = std::memcmp(p1, p2, size_t(std::min(n1, n2)));
        return c != 0 ? (c < 0 ? -1 : 1) : (n1 == n2 ? 0 : (n1 < n2 ? -1 : 1));
    }
}

// ---------------------------------------------------------------- numbers
bool numberFromText(const QString& text, double& out, bool& integral, qint64& iv)
{
    QString s = text.trimmed();
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!re.match(s).hasMatch()) return false;
    bool ok = false;
    iv = s.toLongLong(&ok);
    integral = ok;
    out = s.toDouble();
    return true;
}

// kv_toint(x [, precision]): x as a whole number of the integer type of that
// precision (10, int, when not given), within its range.
void fnToInt(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const int precision = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: resultInteger(ctx, sqlite3_value_int64(argv[0]), precision); return;
    case SQLITE_FLOAT: {
        const double d = std::trunc(sqlite3_value_double(argv[0]));
        if (!(std::fabs(d) < 9.2e18)) {
            resultError(ctx, 8115, integerOverflowMessage(precision));
            return;
        }
        resultInteger(ctx, qint64(d), precision);
        return;
    }
    default: {
        QString s = textArg(argv[0]);
        bool ok = false;
        qint64 v = s.trimmed().toLongLong(&ok);
        if (s.trimmed().isEmpty()) { sqlite3_result_int64(ctx, 0); return; }
        if (!ok) {
            resultError(ctx, 245, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(s));
            return;
        }
        resultInteger(ctx, v, precision);
    }
    }
}

// 10^n for the scales ROUND and numeric sums use, each taken from std::pow
// once, so results stay bit for bit those of a pow call per value.
double powerOfTen(int n)
{
    constexpr int kLow = -38, kHigh = 38;
    static const auto table = [] {
        std::array<double, kHigh - kLow + 1> t{};
        for (int i = kLow; i <= kHigh; ++i)
            t[size_t(i - kLow)] = std::pow(10.0, i);
        return t;
    }();
    return n >= kLow && n <= kHigh ? table[size_t(n - kLow)] : std::pow(10.0, n);
}

double roundTo(double v, int scale, bool truncate = false)
{
    if (scale > 15) scale = 15;
    double f = powerOfTen(scale);
    double x = v * f;
    // a value a hair off its decimal (0.30000000000000004) is meant as that decimal
    double nearest = std::round(x);
    if (std::fabs(x - nearest) < 1e-7 * std::max(1.0, std::fabs(x)) / 1e6 + 1e-9) x = nearest;
    double r = truncate ? std::trunc(x) : std::round(x);
    return r / f;
}

bool numberArg(sqlite3_context* ctx, sqlite3_value* v, double& out)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: out = double(sqlite3_value_int64(v)); return true;
    case SQLITE_FLOAT: out = sqlite3_value_double(v); return true;
    default: {
        QString s = textArg(v);
        bool integral = false;
        qint64 iv = 0;
        if (s.trimmed().isEmpty() || !numberFromText(s, out, integral, iv)) {
            resultError(ctx, 8114, QStringLiteral("Error converting data type varchar to numeric."));
            return false;
        }
        return true;
    }
    }
}

void resultNumber(sqlite3_context* ctx, double v, int scale)
{
    if (scale == 0 && std::fabs(v) < 9.2e18) sqlite3_result_int64(ctx, qint64(v));
    else sqlite3_result_double(ctx, v);
}

// Decimal seam: every arithmetic on decimal-typed operands goes through these
// functions with the result's scale, so the exact decimal type can replace them.
void fnToDec(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    int scale = sqlite3_value_int(argv[1]);
    resultNumber(ctx, roundTo(v, scale), scale);
}

void decimalOp(sqlite3_context* ctx, sqlite3_value** argv, char op)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    double a, b;
    if (!numberArg(ctx, argv[0], a) || !numberArg(ctx, argv[1], b)) return;
    int scale = sqlite3_value_int(argv[2]);
    double r = 0;
    switch (op) {
    case '+': r = a + b; break;
    case '-': r = a - b; break;
    case '*': r = a * b; break;
    case '/':
        if (b == 0) { resultError(ctx, 8134, QStringLiteral("Divide by zero error encountered.")); return; }
        r = a / b;
        break;
    }
    resultNumber(ctx, roundTo(r, scale), scale);
}

void fnDAdd(sqlite3_context* ctx, int, sqlite3_value** argv) { decimalOp(ctx, argv, '+'); }
void fnDSub(sqlite3_context* ctx, int, sqlite3_value** argv) { decimalOp(ctx, argv, '-'); }
void fnDMul(sqlite3_context* ctx, int, sqlite3_value** argv) { decimalOp(ctx, argv, '*'); }
void fnDDiv(sqlite3_context* ctx, int, sqlite3_value** argv) { decimalOp(ctx, argv, '/'); }

// Division of integers (truncating) or floats, with SQL Server's divide-by-zero error.
void fnDiv(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    // the third argument: 0 for floats, else the integer result's precision (1: int)
    const int integral = sqlite3_value_int(argv[2]);
    if (integral) {
        const int precision = integral == 19 ? 19 : 10;
        qint64 b = sqlite3_value_int64(argv[1]);
        if (b == 0) { resultError(ctx, 8134, QStringLiteral("Divide by zero error encountered.")); return; }
        qint64 a = sqlite3_value_int64(argv[0]);
        if (b == -1 && a == std::numeric_limits<qint64>::min()) {
            resultError(ctx, 8115, integerOverflowMessage(19));
            return;
        }
        resultInteger(ctx, b == -1 ? -a : a / b, precision);
        return;
    }
    double a, b;
    if (!numberArg(ctx, argv[0], a) || !numberArg(ctx, argv[1], b)) return;
    if (b == 0) { resultError(ctx, 8134, QStringLiteral("Divide by zero error encountered.")); return; }
    resultFloat(ctx, a / b);
}

// Unary minus of an integer: -(-2147483648) does not fit an int.
void fnIntNeg(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    const int precision = sqlite3_value_int(argv[1]) == 19 ? 19 : 10;
    const qint64 a = sqlite3_value_int64(argv[0]);
    if (a == std::numeric_limits<qint64>::min()) { resultError(ctx, 8115, integerOverflowMessage(19)); return; }
    resultInteger(ctx, -a, precision);
}

// kv_mod(a, b, precision): the remainder, of integers when precision is given
// (10 or 19), else of the operands' numbers; a zero divisor is 8134.
void fnMod(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    const int precision = sqlite3_value_int(argv[2]);
    if (precision && sqlite3_value_type(argv[0]) == SQLITE_INTEGER && sqlite3_value_type(argv[1]) == SQLITE_INTEGER) {
        const qint64 a = sqlite3_value_int64(argv[0]), b = sqlite3_value_int64(argv[1]);
        if (b == 0) { resultError(ctx, 8134, QStringLiteral("Divide by zero error encountered.")); return; }
        sqlite3_result_int64(ctx, b == -1 ? 0 : a % b);
        return;
    }
    double a, b;
    if (!numberArg(ctx, argv[0], a) || !numberArg(ctx, argv[1], b)) return;
    if (b == 0) { resultError(ctx, 8134, QStringLiteral("Divide by zero error encountered.")); return; }
    const double r = std::fmod(a, b);
    if (precision && std::fabs(r) < 9.2e18) sqlite3_result_int64(ctx, qint64(r));
    else resultFloat(ctx, r);
}

// A float operation's result as SQL Server gives it: overflow and invalid
// operations are errors, not infinities.
void fnFloat(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_FLOAT) { sqlite3_result_value(ctx, argv[0]); return; }
    resultFloat(ctx, sqlite3_value_double(argv[0]));
}

void fnDecStr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QVariant v;
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER: v = qlonglong(sqlite3_value_int64(argv[0])); break;
    case SQLITE_FLOAT: v = sqlite3_value_double(argv[0]); break;
    default: v = textArg(argv[0]);
    }
    resultText(ctx, formatDecimal(v, sqlite3_value_int(argv[1])));
}

void fnRound(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    int n = sqlite3_value_int(argv[1]);
    bool trunc = argc > 2 && !isNull(argv[2]) && sqlite3_value_int(argv[2]) != 0;
    double r;
    if (n >= 0) r = roundTo(v, n, trunc);
    else {
        double f = powerOfTen(-n);
        r = (trunc ? std::trunc(v / f) : std::round(v / f)) * f;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER && std::fabs(r) < 9.2e18) sqlite3_result_int64(ctx, qint64(r));
    else sqlite3_result_double(ctx, r);
}

void unaryMath(sqlite3_context* ctx, sqlite3_value** argv, double (*f)(double), bool keepInt)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    if (keepInt && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
        return;
    }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    // decimals carried as doubles: 2.9999999999999996 is 3 for ceiling/floor
    double nearest = std::round(v);
    if (keepInt && std::fabs(v - nearest) < 1e-9 * std::max(1.0, std::fabs(v))) v = nearest;
    double r = f(v);
    if (keepInt && std::fabs(r) < 9.2e18) sqlite3_result_int64(ctx, qint64(r));
    else sqlite3_result_double(ctx, r);
}

void fnCeiling(sqlite3_context* ctx, int, sqlite3_value** argv) { unaryMath(ctx, argv, [](double x) { return std::ceil(x); }, true); }
void fnFloor(sqlite3_context* ctx, int, sqlite3_value** argv) { unaryMath(ctx, argv, [](double x) { return std::floor(x); }, true); }
void fnSqrt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    resultFloat(ctx, std::sqrt(v));
}

void fnSign(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    sqlite3_result_int64(ctx, v > 0 ? 1 : (v < 0 ? -1 : 0));
}

// power(a, b) [, kind]: the result has the first argument's type: kind 10 or 19 an
// integer of that precision, 38 a decimal, 0 (or none) a float.
void fnPower(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    double a, b;
    if (!numberArg(ctx, argv[0], a) || !numberArg(ctx, argv[1], b)) return;
    const int kind = argc > 2 ? sqlite3_value_int(argv[2]) : 0;
    const double r = std::pow(a, b);
    if (std::isnan(r)) { resultError(ctx, 3623, QStringLiteral("An invalid floating point operation occurred.")); return; }
    if (kind == 10 || kind == 19 || (kind == 0 && sqlite3_value_type(argv[0]) == SQLITE_INTEGER)) {
        const int precision = kind ? kind : 19;
        if (!(std::fabs(r) < 9.2e18)) { resultError(ctx, 8115, integerOverflowMessage(precision)); return; }
        resultInteger(ctx, qint64(r), precision);
        return;
    }
    if (std::isinf(r) && kind == 38) {
        resultError(ctx, 8115, QStringLiteral("Arithmetic overflow error converting float to data type numeric."));
        return;
    }
    resultFloat(ctx, r);
}

void fnBit(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_INTEGER: sqlite3_result_int(ctx, sqlite3_value_int64(argv[0]) != 0); return;
    case SQLITE_FLOAT: sqlite3_result_int(ctx, sqlite3_value_double(argv[0]) != 0); return;
    default: {
        QString s = textArg(argv[0]).trimmed();
        if (s.compare("true", Qt::CaseInsensitive) == 0) { sqlite3_result_int(ctx, 1); return; }
        if (s.compare("false", Qt::CaseInsensitive) == 0) { sqlite3_result_int(ctx, 0); return; }
        double v;
        bool integral;
        qint64 iv;
        if (!numberFromText(s, v, integral, iv)) {
            resultError(ctx, 245, QStringLiteral("Conversion failed when converting the varchar value '%1' to data type bit.").arg(s));
            return;
        }
        sqlite3_result_int(ctx, v != 0);
    }
    }
}

// Text of a value converted to varchar: integers plain, reals without needless digits.
void fnStr(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_NULL: sqlite3_result_null(ctx); return;
    case SQLITE_FLOAT: resultText(ctx, QString::number(sqlite3_value_double(argv[0]), 'g', 15)); return;
    default: sqlite3_result_value(ctx, argv[0]);
    }
}

// str(x [, length [, decimals]]): x as float, rounded, right-aligned in length
// characters (10, no decimals); decimals give way when the number does not fit,
// and a number whose whole part does not fit is all '*'.
void fnStrFmt(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    for (int i = 0; i < argc; ++i)
        if (isNull(argv[i])) { sqlite3_result_null(ctx); return; }
    const int length = argc > 1 ? sqlite3_value_int(argv[1]) : 10;
    const int decimals = argc > 2 ? std::min(sqlite3_value_int(argv[2]), 16) : 0;
    if (length <= 0 || length > 8000 || decimals < 0) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    if (std::isfinite(v)) {
        for (int k = decimals; k >= 0; --k) {
            try {
                const std::string t = kvdec::Decimal::fromDouble(v).cast(38, k).toString();
                if (int(t.size()) <= length) {
                    resultText(ctx, QString::fromStdString(t).rightJustified(length, u' '));
                    return;
                }
            } catch (const std::exception&) {
                // too many digits at this scale: try fewer decimals
            }
        }
    }
    resultText(ctx, QString(length, u'*'));
}

// char(n) and nchar(n): the character of that code, NULL outside the codes the
// type has (0-255 for char, 0-65535 for nchar).
void fnCharCode(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    double v;
    if (!numberArg(ctx, argv[0], v)) return;
    const qint64 code = std::fabs(v) < 1e12 ? qint64(std::trunc(v)) : -1;
    if (code < 0 || code > sqlite3_value_int64(argv[1])) { sqlite3_result_null(ctx); return; }
    resultText(ctx, QString(QChar(char16_t(code))));
}

// datalength(x) with the bytes SQL Server keeps: kind 'n' a Unicode text (two
// bytes a character), 'v' a text of the code page (one byte for ASCII, two for
// other characters), 'b' bytes as they stand, or the fixed size of a number or
// date given as a number.
void fnDataLength(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    if (sqlite3_value_type(argv[1]) == SQLITE_INTEGER) { sqlite3_result_int64(ctx, sqlite3_value_int64(argv[1])); return; }
    const QString kindText = textArg(argv[1]);
    const char kind = kindText.isEmpty() ? 'v' : char(kindText[0].toLatin1());
    if (kind == 'b' || sqlite3_value_type(argv[0]) == SQLITE_BLOB) { sqlite3_result_int64(ctx, sqlite3_value_bytes(argv[0])); return; }
    const QString s = textArg(argv[0]);
    if (kind == 'n') { sqlite3_result_int64(ctx, 2 * qint64(s.size())); return; }
    qint64 n = 0;
    for (QChar c : s) n += c.unicode() < 0x80 ? 1 : (c.isLowSurrogate() ? 0 : 2);
    sqlite3_result_int64(ctx, n);
}

void fnChar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QString s = textArg(argv[0]);
    int n = sqlite3_value_int(argv[1]);
    if (s.size() > n) s.truncate(n);
    else s = s.leftJustified(n, QLatin1Char(' '));
    resultText(ctx, s);
}

// A text stored into a column of n characters: longer is an error (trailing blanks aside).
void fnFit(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) { sqlite3_result_value(ctx, argv[0]); return; }
    const int n = sqlite3_value_int(argv[1]);
    // at most 4 bytes per character: a short text needs no decoding
    if (sqlite3_value_bytes(argv[0]) <= n) { sqlite3_result_value(ctx, argv[0]); return; }
    QString s = textArg(argv[0]);
    int len = s.size();
    while (len > n && s[len - 1] == u' ') --len;
    if (len > n) {
        // the message of the server versions account sets run on, which name no column
        resultError(ctx, 8152, QStringLiteral("String or binary data would be truncated."));
        return;
    }
    resultText(ctx, s.left(std::max(len, std::min<int>(n, s.size()))));
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QString s = textArg(argv[0]);
    int n = s.size();
    while (n > 0 && s[n - 1] == u' ') --n;
    sqlite3_result_int(ctx, n);
}

void fnRight(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    int n = sqlite3_value_int(argv[1]);
    if (n < 0) { resultError(ctx, 536, QStringLiteral("Invalid length parameter passed to the right function.")); return; }
    resultText(ctx, textArg(argv[0]).right(n));
}

void fnLeft(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    int n = sqlite3_value_int(argv[1]);
    if (n < 0) { resultError(ctx, 536, QStringLiteral("Invalid length parameter passed to the left function.")); return; }
    resultText(ctx, textArg(argv[0]).left(n));
}

void fnCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    QString needle = textArg(argv[0]);
    QString hay = textArg(argv[1]);
    int start = argc > 2 && !isNull(argv[2]) ? std::max(1, sqlite3_value_int(argv[2])) : 1;
    if (needle.isEmpty()) { sqlite3_result_int(ctx, 0); return; }
    int i = hay.indexOf(needle, start - 1, Qt::CaseInsensitive);
    sqlite3_result_int(ctx, i + 1);
}

void fnReplicate(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    const qint64 n = sqlite3_value_int64(argv[1]);
    if (n < 0) { sqlite3_result_null(ctx); return; }
    if (!mayGrowTo(ctx, double(sqlite3_value_bytes(argv[0])) * double(n))) return;
    resultText(ctx, textArg(argv[0]).repeated(qsizetype(n)));
}

void fnSpace(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    const qint64 n = sqlite3_value_int64(argv[0]);
    if (n < 0) { sqlite3_result_null(ctx); return; }
    if (!mayGrowTo(ctx, double(n))) return;
    resultText(ctx, QString(qsizetype(n), QLatin1Char(' ')));
}

void fnReplace(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1]) || isNull(argv[2])) { sqlite3_result_null(ctx); return; }
    QString s = textArg(argv[0]);
    QString from = textArg(argv[1]);
    if (from.isEmpty()) { resultText(ctx, s); return; }
    const QString to = textArg(argv[2]);
    // the result's size is known before it is made: the matches counted first
    qint64 matches = 0;
    for (qsizetype at = s.indexOf(from, 0, Qt::CaseInsensitive); at >= 0; at = s.indexOf(from, at + from.size(), Qt::CaseInsensitive))
        ++matches;
    const double bytes = double(sqlite3_value_bytes(argv[0]))
                         + double(matches) * (double(sqlite3_value_bytes(argv[2])) - double(sqlite3_value_bytes(argv[1])));
    if (!mayGrowTo(ctx, bytes)) return;
    resultText(ctx, s.replace(from, to, Qt::CaseInsensitive));
}

// '+' whose operand types were not known when the statement was translated.
void fnAdd(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    int ta = sqlite3_value_type(argv[0]), tb = sqlite3_value_type(argv[1]);
    bool textA = ta == SQLITE_TEXT, textB = tb == SQLITE_TEXT;
    if (textA && textB) {
        if (!mayGrowTo(ctx, double(sqlite3_value_bytes(argv[0])) + double(sqlite3_value_bytes(argv[1])))) return;
        resultText(ctx, textArg(argv[0]) + textArg(argv[1]));
        return;
    }
    if (ta == SQLITE_INTEGER && tb == SQLITE_INTEGER) {
        qint64 sum = 0;
        if (__builtin_add_overflow(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), &sum)) {
            resultError(ctx, 8115, QStringLiteral("Arithmetic overflow error converting expression to data type bigint."));
            return;
        }
        sqlite3_result_int64(ctx, sum);
        return;
    }
    double a, b;
    if (!numberArg(ctx, argv[0], a) || !numberArg(ctx, argv[1], b)) return;
    if ((ta == SQLITE_INTEGER || textA) && (tb == SQLITE_INTEGER || textB) && a == std::trunc(a) && b == std::trunc(b))
        if (std::fabs(a + b) < 9.2e18) sqlite3_result_int64(ctx, qint64(a + b));
        else resultError(ctx, 8115, integerOverflowMessage(19));
    else
        resultFloat(ctx, a + b);
}

void fnObjectId(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0])) { sqlite3_result_null(ctx); return; }
    QString name = textArg(argv[0]).trimmed();
    // tempdb..#t, dbo.T, [T]
    int dot = name.lastIndexOf(u'.');
    if (dot >= 0) name = name.mid(dot + 1);
    if (name.startsWith(u'[') && name.endsWith(u']')) name = name.mid(1, name.size() - 2);
    // SQLite's own tables are no objects of the account set
    if (name.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)) { sqlite3_result_null(ctx); return; }
    sqlite3* db = sqlite3_context_db_handle(ctx);
    const bool temp = name.startsWith(u'#');
    const char* sql = temp
        ? "select -rowid from sqlite_temp_master where type in ('table','view') and name=?1 collate nocase"
        : "select rowid from main.sqlite_master where type in ('table','view') and name=?1 collate nocase";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) { sqlite3_result_null(ctx); return; }
    QByteArray b = name.toUtf8();
    sqlite3_bind_text(st, 1, b.constData(), b.size(), SQLITE_TRANSIENT);
    if (sqlite3_step(st) == SQLITE_ROW) sqlite3_result_int64(ctx, sqlite3_column_int64(st, 0));
    else sqlite3_result_null(ctx);
    sqlite3_finalize(st);
}

void fnXor(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]) ^ sqlite3_value_int64(argv[1]));
}

void fnNewId(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
}

void fnHostName(sqlite3_context* ctx, int, sqlite3_value**)
{
    resultText(ctx, QSysInfo::machineHostName());
}

void fnIsNumeric(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    switch (sqlite3_value_type(argv[0])) {
    case SQLITE_INTEGER: case SQLITE_FLOAT: sqlite3_result_int(ctx, 1); return;
    case SQLITE_NULL: sqlite3_result_int(ctx, 0); return;
    default: {
        double v;
        bool integral;
        qint64 iv;
        sqlite3_result_int(ctx, numberFromText(textArg(argv[0]), v, integral, iv) ? 1 : 0);
    }
    }
}

// SQL Server's LIKE: % _ [abc] [a-z] [^a], case-insensitive. Every element but %
// stands for one character, so a mismatch need only go back to the last %, which
// then takes one character more: no recursion, however many % the pattern holds.
bool likeMatch(const QString& p, const QString& s, QChar esc)
{
    // the element at pi against one character: its length in the pattern, or 0 when it does not match
    auto element = [&](int pi, QChar ch) -> int {
        const QChar c = p[pi];
        if (!esc.isNull() && c == esc && pi + 1 < p.size()) return ch.toLower() == p[pi + 1].toLower() ? 2 : 0;
        if (c == u'_') return 1;
        if (c == u'[') {
            const int close = p.indexOf(u']', pi + 1);
            if (close > pi + 1) {
                QString set = p.mid(pi + 1, close - pi - 1);
                const bool neg = set.startsWith(u'^');
                if (neg) set = set.mid(1);
                const QChar lower = ch.toLower();
                bool in = false;
                for (int k = 0; k < set.size(); ++k) {
                    if (k + 2 < set.size() && set[k + 1] == u'-') {
                        if (lower >= set[k].toLower() && lower <= set[k + 2].toLower()) in = true;
                        k += 2;
                    } else if (set[k].toLower() == lower) {
                        in = true;
                    }
                }
                return in != neg ? close - pi + 1 : 0;
            }
        }
        return c.toLower() == ch.toLower() ? 1 : 0;
    };
    auto isPercent = [&](int pi) { return p[pi] == u'%' && !(!esc.isNull() && esc == u'%'); };
    int pi = 0, si = 0, starAt = -1, starFrom = 0;
    while (si < s.size()) {
        if (pi < p.size() && isPercent(pi)) {
            while (pi < p.size() && isPercent(pi)) ++pi;
            starAt = pi;
            starFrom = si;
            continue;
        }
        const int len = pi < p.size() ? element(pi, s[si]) : 0;
        if (len > 0) {
            pi += len;
            ++si;
        } else if (starAt >= 0) {
            pi = starAt;
            si = ++starFrom;
        } else {
            return false;
        }
    }
    while (pi < p.size() && isPercent(pi)) ++pi;
    return pi == p.size();
}

void fnLike(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (isNull(argv[0]) || isNull(argv[1])) { sqlite3_result_null(ctx); return; }
    QString pattern = textArg(argv[0]);
    QString value = textArg(argv[1]);
    QChar esc;
    if (argc > 2 && !isNull(argv[2])) {
        QString e = textArg(argv[2]);
        if (!e.isEmpty()) esc = e[0];
    }
    sqlite3_result_int(ctx, likeMatch(pattern, value, esc) ? 1 : 0);
}

// Exact sum of decimals: each value is taken at the column's scale as a scaled integer.
struct DSumCtx {
    __int128 total = 0;
    int scale = 0;
    bool any = false;
};

void dsumStep2(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    auto* s = static_cast<DSumCtx*>(sqlite3_aggregate_context(ctx, sizeof(DSumCtx)));
    if (!s) return;
    int scale = std::clamp(sqlite3_value_int(argv[1]), 0, 18);
    s->scale = scale;
    if (isNull(argv[0])) return;
    if (sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
        __int128 v = sqlite3_value_int64(argv[0]);
        for (int i = 0; i < scale; ++i) v *= 10;
        s->total += v;
    } else {
        double v;
        if (!numberArg(ctx, argv[0], v)) return;
        const double scaled = std::round(v * powerOfTen(scale));
        if (!(std::fabs(scaled) < 9.2e18)) {
            resultError(ctx, 8115, QStringLiteral("Arithmetic overflow error converting expression to data type numeric."));
            return;
        }
        s->total += __int128(qint64(scaled));
    }
    s->any = true;
}

void dsumFinalScaled(sqlite3_context* ctx)
{
    auto* s = static_cast<DSumCtx*>(sqlite3_aggregate_context(ctx, 0));
    if (!s || !s->any) { sqlite3_result_null(ctx); return; }
    if (s->scale == 0) { sqlite3_result_int64(ctx, qint64(s->total)); return; }
    __int128 t = s->total;
    bool neg = t < 0;
    if (neg) t = -t;
    __int128 f = 1;
    for (int i = 0; i < s->scale; ++i) f *= 10;
    qint64 whole = qint64(t / f);
    qint64 frac = qint64(t % f);
    // give the sum back as text so no digit is lost; numeric affinity and kv functions read it
    QString txt = QStringLiteral("%1%2.%3").arg(neg ? "-" : "").arg(whole).arg(frac, s->scale, 10, QLatin1Char('0'));
    sqlite3_result_double(ctx, txt.toDouble());
}

} // namespace

int compareText(const char* a, int n1, const char* b, int n2) { return textOrder(a, n1, b, n2); }

int compareTextUnicode(const char* a, int n1, const char* b, int n2)
{
    const QString s1 = QString::fromUtf8(a, trimmedLength(a, n1));
    const QString s2 = QString::fromUtf8(b, trimmedLength(b, n2));
    const int c = s1.compare(s2, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

QString formatDecimal(const QVariant& value, int scale)
{
    if (value.isNull()) return QString();
    try {
        const int s = std::clamp(scale, 0, 38);
        kvdec::Decimal d;
        if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
            d = kvdec::Decimal::fromInt(value.toLongLong()).withScale(s);
        else if (value.typeId() == QMetaType::Double)
            d = kvdec::Decimal::fromDouble(value.toDouble(), 38, s);
        else
            d = kvdec::Decimal::parse(value.toString().toStdString(), 38, s);
        return QString::fromStdString(d.cast(38, s).toString());
    } catch (const std::exception&) {
        // not a number: fall through to the plain conversion
    }
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int) {
        QString s = QString::number(value.toLongLong());
        if (scale > 0) s += "." + QString(scale, QLatin1Char('0'));
        return s;
    }
    double v = value.toDouble();
    QString s = QString::number(roundTo(v, scale), 'f', std::min(scale, 17));
    if (scale > 17) s += QString(scale - 17, QLatin1Char('0'));
    if (s.startsWith("-") && s.mid(1).count(QLatin1Char('0')) + (scale > 0 ? 1 : 0) == s.size() - 1) s = s.mid(1);
    return s;
}

bool formatPlainDecimal(const char* text, int size, int scale, QString& out)
{
    if (scale < 0 || scale > 38 || size <= 0) return false;
    int i = 0;
    const bool negative = text[0] == '-';
    if (negative) ++i;
    const int intFrom = i;
    while (i < size && text[i] >= '0' && text[i] <= '9') ++i;
    const int intDigits = i - intFrom;
    if (intDigits == 0 || (intDigits > 1 && text[intFrom] == '0') || intDigits > 38 - scale) return false;
    int fracDigits = 0;
    if (i < size) {
        if (text[i] != '.') return false;
        const int fracFrom = ++i;
        while (i < size && text[i] >= '0' && text[i] <= '9') ++i;
        fracDigits = i - fracFrom;
        if (i < size || fracDigits == 0 || fracDigits > scale) return false;
    }
    if (negative) {
        bool nonZero = false;
        for (int k = intFrom; k < size && !nonZero; ++k) nonZero = text[k] >= '1' && text[k] <= '9';
        if (!nonZero) return false;   // "-0.0" prints without its sign
    }
    const int pad = scale - fracDigits;
    QString s;
    s.reserve(size + pad + 1);
    s.append(QLatin1String(text, size));
    if (scale > 0 && fracDigits == 0) s.append(u'.');
    if (pad > 0) s.append(QString(pad, u'0'));
    out = std::move(s);
    return true;
}

QString valueTooLongMessage()
{
    return QStringLiteral("Attempting to grow LOB beyond maximum allowed size of %1 bytes.").arg(kMaxValueBytes);
}

QString integerOverflowMessage(int precision)
{
    return QStringLiteral("Arithmetic overflow error converting expression to data type %1.").arg(precision == 19 ? "bigint" : "int");
}

bool integerOutOfRange(long long v, int precision, int& number, QString& message)
{
    if (precision == 3 && (v < 0 || v > 255)) {
        number = 220;
        message = QStringLiteral("Arithmetic overflow error for data type tinyint, value = %1.").arg(v);
        return true;
    }
    if (precision == 5 && (v < -32768 || v > 32767)) {
        number = 220;
        message = QStringLiteral("Arithmetic overflow error for data type smallint, value = %1.").arg(v);
        return true;
    }
    if ((precision == 10 || precision == 0) && (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())) {
        number = 8115;
        message = integerOverflowMessage(10);
        return true;
    }
    return false;
}

bool parseFunctionError(const QString& msg, int& number, QString& message)
{
    std::string text;
    if (kvdec::splitErrorMessage(msg.toStdString(), number, text) && number != 0) {
        message = QString::fromStdString(text);
        return true;
    }
    int k = msg.indexOf(QLatin1String("kv:"));
    if (k < 0) return false;
    int colon = msg.indexOf(u':', k + 3);
    if (colon < 0) return false;
    bool ok = false;
    number = msg.mid(k + 3, colon - k - 3).toInt(&ok);
    if (!ok) return false;
    message = msg.mid(colon + 1);
    return true;
}

void registerFunctions(sqlite3* db)
{
    sqlite3_create_collation_v2(db, "KV", SQLITE_UTF8, nullptr, kvCollate, nullptr);
    // exact decimals; results come back as SQLite numbers so comparisons and ORDER BY stay native
    kvdec::registerSqliteFunctions(db, kvdec::SqliteForm::Text);
    registerDateFunctions(db);
    fn<fnToInt>(db, "kv_toint", 1);
    fn<fnToDec>(db, "kv_todec", 2);
    fn<fnDAdd>(db, "kv_dadd", 3);
    fn<fnDSub>(db, "kv_dsub", 3);
    fn<fnDMul>(db, "kv_dmul", 3);
    fn<fnDDiv>(db, "kv_ddiv", 3);
    fn<fnDiv>(db, "kv_div", 3);
    fn<fnDecStr>(db, "kv_decstr", 2);
    fn<fnRound>(db, "kv_round", 2);
    fn<fnRound>(db, "kv_round", 3);
    fn<fnCeiling>(db, "kv_ceiling", 1);
    fn<fnFloor>(db, "kv_floor", 1);
    fn<fnSqrt>(db, "kv_sqrt", 1);
    fn<fnSign>(db, "kv_sign", 1);
    fn<fnPower>(db, "kv_power", 2);
    fn<fnBit>(db, "kv_bit", 1);
    fn<fnStr>(db, "kv_str", 1);
    fn<fnStrFmt>(db, "kv_strfmt", 1);
    fn<fnStrFmt>(db, "kv_strfmt", 2);
    fn<fnStrFmt>(db, "kv_strfmt", 3);
    fn<fnChar>(db, "kv_char", 2);
    fn<fnLen>(db, "kv_len", 1);
    fn<fnFit>(db, "kv_fit", 2);
    fn<fnFit>(db, "kv_fit", 3);
    fn<fnLeft>(db, "kv_left", 2);
    fn<fnRight>(db, "kv_right", 2);
    fn<fnCharIndex>(db, "kv_charindex", 2);
    fn<fnCharIndex>(db, "kv_charindex", 3);
    fn<fnReplicate>(db, "kv_replicate", 2);
    fn<fnSpace>(db, "kv_space", 1);
    fn<fnReplace>(db, "kv_replace", 3);
    fn<fnAdd>(db, "kv_add", 2);
    fn<fnObjectId>(db, "kv_object_id", 1, false);
    fn<fnNewId>(db, "kv_newid", 0, false);
    fn<fnXor>(db, "kv_xor", 2);
    fn<fnHostName>(db, "kv_host_name", 0);
    fn<fnIsNumeric>(db, "kv_isnumeric", 1);
    fn<fnLike>(db, "like", 2);
    fn<fnLike>(db, "like", 3);
    sqlite3_create_function_v2(db, "kv_dsum", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, nullptr, guarded<dsumStep2>,
                               guardedFinal<dsumFinalScaled>, nullptr);
    fn<fnToInt>(db, "kv_toint", 2);
    fn<fnIntNeg>(db, "kv_ineg", 2);
    fn<fnMod>(db, "kv_mod", 3);
    fn<fnFloat>(db, "kv_float", 1);
    fn<fnPower>(db, "kv_power", 3);
    fn<fnCharCode>(db, "kv_charcode", 2);
    fn<fnDataLength>(db, "kv_datalength", 2);
    // SQLite makes no text or blob longer than the engine's functions do
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, int(kMaxValueBytes));
}

} // namespace kvtsql
