#include "Decimal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace kvdec {

namespace {

using U128 = unsigned __int128;
using u64 = std::uint64_t;

const char* const OverflowText = "Arithmetic overflow error converting expression to data type numeric.";
const char* const DivideByZeroText = "Divide by zero error encountered.";
const char* const ConvertText = "Error converting data type varchar to numeric.";

[[noreturn]] void overflow() { throw DecimalError(ErrOverflow, OverflowText); }
[[noreturn]] void overflowInt(const char* type)
{
    throw DecimalError(ErrOverflow, std::string("Arithmetic overflow error converting expression to data type ") + type + ".");
}

struct Pow10Table {
    U128 v[39];
    constexpr Pow10Table() : v()
    {
        U128 p = 1;
        for (int i = 0; i <= 38; ++i) {
            v[i] = p;
            p *= 10;
        }
    }
};
constexpr Pow10Table Pow10;

U128 magnitude(Int128 v) { return v < 0 ? U128(0) - U128(v) : U128(v); }

// Unsigned 512-bit integer, little-endian 64-bit limbs: wide enough for any
// product or aligned quotient of two 38-digit decimals.
struct Big {
    static constexpr int N = 8;
    std::array<u64, N> d{};

    static Big of(U128 v)
    {
        Big b;
        b.d[0] = u64(v);
        b.d[1] = u64(v >> 64);
        return b;
    }
    bool fitsU128() const
    {
        for (int i = 2; i < N; ++i)
            if (d[i]) return false;
        return true;
    }
    U128 low() const { return (U128(d[1]) << 64) | d[0]; }
    bool isZero() const
    {
        for (u64 x : d)
            if (x) return false;
        return true;
    }
    // false when the product leaves 512 bits
    bool mulSmall(u64 m)
    {
        U128 carry = 0;
        for (int i = 0; i < N; ++i) {
            const U128 t = U128(d[i]) * m + carry;
            d[i] = u64(t);
            carry = t >> 64;
        }
        return carry == 0;
    }
    void addSmall(u64 a)
    {
        U128 carry = a;
        for (int i = 0; i < N && carry; ++i) {
            const U128 t = U128(d[i]) + carry;
            d[i] = u64(t);
            carry = t >> 64;
        }
    }
    u64 divSmall(u64 m)
    {
        U128 rem = 0;
        for (int i = N - 1; i >= 0; --i) {
            const U128 cur = (rem << 64) | d[i];
            d[i] = u64(cur / m);
            rem = cur % m;
        }
        return u64(rem);
    }
    bool mulPow10(int n)
    {
        while (n > 0) {
            const int k = std::min(n, 19);
            if (!mulSmall(u64(Pow10.v[k]))) return false;
            n -= k;
        }
        return true;
    }
    void divPow10(int n)
    {
        while (n > 0) {
            const int k = std::min(n, 19);
            divSmall(u64(Pow10.v[k]));
            n -= k;
        }
    }
    int bitLength() const
    {
        for (int i = N - 1; i >= 0; --i)
            if (d[i]) return i * 64 + (64 - __builtin_clzll(d[i]));
        return 0;
    }
    bool bit(int i) const { return (d[i / 64] >> (i % 64)) & 1; }
    void setBit(int i) { d[i / 64] |= u64(1) << (i % 64); }
    void shl1()
    {
        for (int i = N - 1; i > 0; --i)
            d[i] = (d[i] << 1) | (d[i - 1] >> 63);
        d[0] <<= 1;
    }
    static int cmp(const Big& a, const Big& b)
    {
        for (int i = N - 1; i >= 0; --i)
            if (a.d[i] != b.d[i]) return a.d[i] < b.d[i] ? -1 : 1;
        return 0;
    }
    static Big add(const Big& a, const Big& b)
    {
        Big r;
        U128 carry = 0;
        for (int i = 0; i < N; ++i) {
            const U128 t = U128(a.d[i]) + b.d[i] + carry;
            r.d[i] = u64(t);
            carry = t >> 64;
        }
        return r;
    }
    // a - b for a >= b
    static Big sub(const Big& a, const Big& b)
    {
        Big r;
        u64 borrow = 0;
        for (int i = 0; i < N; ++i) {
            const U128 t = U128(a.d[i]) - b.d[i] - borrow;
            r.d[i] = u64(t);
            borrow = (t >> 64) ? 1 : 0;
        }
        return r;
    }
    static Big mul(U128 a, U128 b)
    {
        const u64 a0 = u64(a), a1 = u64(a >> 64), b0 = u64(b), b1 = u64(b >> 64);
        Big r;
        const U128 p00 = U128(a0) * b0, p01 = U128(a0) * b1, p10 = U128(a1) * b0, p11 = U128(a1) * b1;
        r.d[0] = u64(p00);
        U128 mid = (p00 >> 64) + u64(p01) + u64(p10);
        r.d[1] = u64(mid);
        U128 high = (mid >> 64) + (p01 >> 64) + (p10 >> 64) + u64(p11);
        r.d[2] = u64(high);
        r.d[3] = u64((high >> 64) + (p11 >> 64));
        return r;
    }
    // truncating quotient; divisor non-zero
    static Big div(const Big& n, const Big& dv)
    {
        if (n.fitsU128() && dv.fitsU128()) return of(n.low() / dv.low());
        Big q, r;
        for (int i = n.bitLength() - 1; i >= 0; --i) {
            r.shl1();
            if (n.bit(i)) r.d[0] |= 1;
            if (cmp(r, dv) >= 0) {
                r = sub(r, dv);
                q.setBit(i);
            }
        }
        return q;
    }
};

// An exact signed intermediate: (-1)^neg * mag / 10^scale.
struct Exact {
    bool neg = false;
    Big mag;
    int scale = 0;
};

// Brings an exact value to decimal(p, s): rounds half away from zero (or
// truncates) when decimals are dropped, 8115 when the integral part does not fit.
Int128 finish(Exact e, int p, int s, bool truncate)
{
    if (e.scale > s) {
        const int k = e.scale - s;
        if (truncate) {
            e.mag.divPow10(k);
        } else {
            e.mag.divPow10(k - 1);
            const u64 digit = e.mag.divSmall(10);
            if (digit >= 5) e.mag.addSmall(1);
        }
    } else if (e.scale < s) {
        if (!e.mag.mulPow10(s - e.scale)) overflow();
    }
    if (!e.mag.fitsU128()) overflow();
    const U128 m = e.mag.low();
    if (m >= Pow10.v[p]) overflow();
    return e.neg ? -Int128(m) : Int128(m);
}

// q = m / 10^k with the remainder, in 64 bits when both fit
U128 divPow10(U128 m, int k, U128& rest)
{
    if (k <= 19 && (m >> 64) == 0) {
        const u64 x = u64(m), d = u64(Pow10.v[k]);
        rest = x % d;
        return x / d;
    }
    const U128 q = m / Pow10.v[k];
    rest = m - q * Pow10.v[k];
    return q;
}

// finish for an exact value whose magnitude fits 128 bits: the same rounding
// and overflow, without the wide arithmetic; false when scaling up leaves 128
// bits or more than 38 decimals are dropped (finish takes those).
bool finishNarrow(bool neg, U128 m, int scale, int p, int s, bool truncate, Int128& out)
{
    if (scale > s) {
        const int k = scale - s;
        if (k > MaxPrecision) return false;
        U128 rest;
        m = divPow10(m, k, rest);
        if (!truncate && rest >= 5 * Pow10.v[k - 1]) ++m;
    } else if (scale < s) {
        if (__builtin_mul_overflow(m, Pow10.v[s - scale], &m)) return false;
    }
    if (m >= Pow10.v[p]) overflow();
    out = neg ? -Int128(m) : Int128(m);
    return true;
}

Exact exactOf(const Decimal& v)
{
    Exact e;
    e.neg = v.unscaled() < 0;
    e.mag = Big::of(magnitude(v.unscaled()));
    e.scale = v.scale();
    return e;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads a number's text: sign, digits (integral leading zeros dropped) and the
// count of those digits that are decimals (negative: that many zeros follow).
bool scanNumber(std::string_view t, bool& neg, std::string& digits, long& frac)
{
    std::size_t i = 0, n = t.size();
    while (i < n && isBlank(t[i])) ++i;
    while (n > i && isBlank(t[n - 1])) --n;
    neg = false;
    if (i < n && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    digits.clear();
    frac = 0;
    bool any = false, point = false;
    for (; i < n; ++i) {
        const char c = t[i];
        if (c >= '0' && c <= '9') {
            any = true;
            if (point) {
                digits += c;
                ++frac;
            } else if (c != '0' || !digits.empty()) {
                digits += c;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return false;
    if (i < n) {
        if (t[i] != 'e' && t[i] != 'E') return false;
        ++i;
        bool eneg = false;
        if (i < n && (t[i] == '+' || t[i] == '-')) eneg = t[i++] == '-';
        if (i == n) return false;
        long ex = 0;
        for (; i < n; ++i) {
            if (t[i] < '0' || t[i] > '9') return false;
            if (ex < 100000) ex = ex * 10 + (t[i] - '0');
        }
        frac += eneg ? ex : -ex;
    }
    // all zeros: a plain zero keeping the decimals written
    if (digits.find_first_not_of('0') == std::string::npos) {
        digits.clear();
        neg = false;
        if (frac < 0) frac = 0;
    }
    return true;
}

// The common form of stored values, "[-+]digits[.digits]" with at most 38
// digits and blanks around it, read without allocating; false for anything
// else (which the general reader takes).
bool scanPlain(std::string_view t, bool& neg, U128& m, int& integral, int& frac)
{
    const char* p = t.data();
    const char* e = p + t.size();
    while (p < e && isBlank(*p)) ++p;
    while (e > p && isBlank(e[-1])) --e;
    neg = false;
    if (p < e && (*p == '+' || *p == '-')) neg = *p++ == '-';
    m = 0;
    integral = frac = 0;
    const char* const start = p;
    while (p < e && *p == '0') ++p; // integral leading zeros are not counted
    bool any = p != start;
    // the first 19 significant digits gather in 64 bits, the rest go to 128
    u64 head = 0;
    int counted = 0;
    U128 wide = 0;
    auto take = [&](unsigned digit) {
        if (counted < 19)
            head = head * 10 + digit;
        else
            wide = wide * 10 + digit;
        ++counted;
    };
    for (; p < e; ++p) {
        const unsigned digit = unsigned(*p) - '0';
        if (digit > 9) break;
        take(digit);
    }
    integral = counted;
    any = any || counted > 0;
    if (p < e && *p == '.') {
        ++p;
        for (; p < e; ++p) {
            const unsigned digit = unsigned(*p) - '0';
            if (digit > 9) break;
            any = true;
            if (counted < MaxPrecision) {
                take(digit);
            } else {
                ++counted;
                break;
            }
        }
        frac = counted - integral;
    }
    if (p != e || !any || counted > MaxPrecision) return false;
    m = counted <= 19 ? U128(head) : U128(head) * Pow10.v[counted - 19] + wide;
    if (m == 0) neg = false;
    return true;
}

// digits/10^frac brought to decimal(p, s).
Decimal fromDigits(bool neg, const std::string& digits, long frac, int p, int s)
{
    const long len = long(digits.size());
    long keep = len; // digits kept before scaling up
    bool roundUp = false;
    if (frac > s) {
        const long cut = frac - s;
        keep = len - cut;
        if (keep >= 0 && keep < len) roundUp = digits[keep] >= '5';
        if (keep < 0) keep = 0;
    }
    const long zeros = frac < s ? s - frac : 0; // decimals to append (frac may be negative)
    // skip leading zeros of what is kept
    long first = 0;
    while (first < keep && digits[first] == '0') ++first;
    if ((keep - first) + zeros > p) overflow();
    U128 m = 0;
    for (long i = first; i < keep; ++i)
        m = m * 10 + U128(digits[i] - '0');
    for (long i = 0; i < zeros; ++i)
        m *= 10;
    if (roundUp) ++m;
    if (m >= Pow10.v[p]) overflow();
    return Decimal::fromUnscaled(neg && m ? -Int128(m) : Int128(m), p, s);
}

std::string shortestText(double value)
{
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

} // namespace

// ---- types -------------------------------------------------------------

DecType checkedType(int precision, int scale)
{
    if (precision < 1 || precision > MaxPrecision || scale < 0 || scale > precision)
        throw std::invalid_argument("invalid decimal type (" + std::to_string(precision) + "," + std::to_string(scale) + ")");
    return {precision, scale};
}

DecType resultType(Op op, DecType a, DecType b)
{
    const int p1 = a.precision, s1 = a.scale, p2 = b.precision, s2 = b.scale;
    int p = 0, s = 0;
    switch (op) {
    case Op::Add:
    case Op::Sub: {
        const int integral = std::max(p1 - s1, p2 - s2);
        s = std::max(s1, s2);
        p = integral + s + 1;
        if (p > MaxPrecision) {
            s = std::max(0, std::min(s, MaxPrecision - integral));
            p = MaxPrecision;
        }
        return {p, s};
    }
    case Op::Mul:
        p = p1 + p2 + 1;
        s = s1 + s2;
        break;
    case Op::Div:
        s = std::max(6, s1 + p2 + 1);
        p = p1 - s1 + s2 + s;
        break;
    }
    if (p > MaxPrecision) {
        const int integral = p - s;
        s = std::max(MaxPrecision - integral, std::min(s, 6));
        p = MaxPrecision;
    }
    return {p, s};
}

DecType sumType(DecType a) { return {MaxPrecision, a.scale}; }
DecType avgType(DecType a) { return {MaxPrecision, std::max(a.scale, 6)}; }

// ---- construction --------------------------------------------------------

Decimal Decimal::fromUnscaled(Int128 unscaled, int precision, int scale)
{
    const DecType t = checkedType(precision, scale);
    if (magnitude(unscaled) >= Pow10.v[t.precision]) overflow();
    return Decimal(unscaled, t.precision, t.scale);
}

Decimal Decimal::fromInt(std::int64_t value)
{
    const bool small = value >= INT32_MIN && value <= INT32_MAX;
    return Decimal(value, small ? IntType.precision : BigIntType.precision, 0);
}

Decimal Decimal::fromInt(std::int64_t value, int precision, int scale)
{
    return fromInt(value).cast(precision, scale);
}

Decimal Decimal::fromDouble(double value, int precision, int scale)
{
    checkedType(precision, scale);
    if (!std::isfinite(value)) overflow();
    return parse(shortestText(value), precision, scale);
}

Decimal Decimal::fromDouble(double value)
{
    if (!std::isfinite(value)) overflow();
    return parse(shortestText(value));
}

Decimal Decimal::parse(std::string_view text)
{
    bool neg;
    {
        U128 m;
        int integral, frac;
        if (scanPlain(text, neg, m, integral, frac))
            return Decimal(neg ? -Int128(m) : Int128(m), std::max(1, integral + frac), frac);
    }
    return parseWide(text);
}

Decimal Decimal::parseWide(std::string_view text)
{
    bool neg;
    std::string digits;
    long frac;
    if (!scanNumber(text, neg, digits, frac)) throw DecimalError(ErrConvert, ConvertText);
    if (!digits.empty() && frac < -MaxPrecision) overflow();
    if (frac < 0) {
        digits.append(std::size_t(-frac), '0');
        frac = 0;
    }
    const long integral = std::max(0L, long(digits.size()) - frac);
    if (integral > MaxPrecision) overflow();
    const int s = int(std::min<long>(frac, MaxPrecision - integral));
    const int p = std::max(1, int(integral) + s);
    return fromDigits(neg, digits, frac, p, s);
}

Decimal Decimal::parse(std::string_view text, int precision, int scale)
{
    checkedType(precision, scale);
    bool neg;
    {
        U128 m;
        int integral, frac;
        if (scanPlain(text, neg, m, integral, frac))
            return Decimal(neg ? -Int128(m) : Int128(m), std::max(1, integral + frac), frac).cast(precision, scale);
    }
    std::string digits;
    long frac;
    if (!scanNumber(text, neg, digits, frac)) throw DecimalError(ErrConvert, ConvertText);
    if (frac < -MaxPrecision) overflow();
    return fromDigits(neg, digits, frac, precision, scale);
}

bool Decimal::tryParse(std::string_view text, Decimal& out)
{
    try {
        out = parse(text);
        return true;
    } catch (const DecimalError&) {
        return false;
    }
}

// ---- conversions ---------------------------------------------------------

namespace {

// Writes v's digits backwards ending before d, at least minDigits of them
// (zeros in front); returns the first. In 64-bit pieces of 19 digits (no
// 128-bit division below 2^64), two digits at a time.
char* writeDigits(char* d, U128 v, int minDigits)
{
    static constexpr auto Pairs = [] {
        std::array<char, 200> t{};
        for (int i = 0; i < 100; ++i) {
            t[std::size_t(2 * i)] = char('0' + i / 10);
            t[std::size_t(2 * i + 1)] = char('0' + i % 10);
        }
        return t;
    }();
    char* const stop = d - minDigits;
    auto piece = [&d](u64 x) {
        while (x >= 100) {
            const std::size_t pair = std::size_t(x % 100) * 2;
            x /= 100;
            d -= 2;
            d[0] = Pairs[pair];
            d[1] = Pairs[pair + 1];
        }
        if (x >= 10) {
            d -= 2;
            d[0] = Pairs[std::size_t(x) * 2];
            d[1] = Pairs[std::size_t(x) * 2 + 1];
        } else {
            *--d = char('0' + x);
        }
    };
    while ((v >> 64) != 0) {
        const U128 high = v / Pow10.v[19];
        char* const pieceEnd = d;
        piece(u64(v - high * Pow10.v[19]));
        while (d > pieceEnd - 19)
            *--d = '0';
        v = high;
    }
    piece(u64(v));
    while (d > stop)
        *--d = '0';
    return d;
}

} // namespace

std::size_t Decimal::toChars(char* out) const
{
    // written backwards to the middle of a buffer twice the text's room, so
    // that one fixed-size copy moves it out
    char buf[2 * MaxTextLength];
    char* const end = buf + MaxTextLength;
    char* d = end;
    const U128 m = magnitude(FValue);
    if (FScale == 0) {
        d = writeDigits(d, m, 1);
    } else {
        U128 rest;
        const U128 integral = divPow10(m, FScale, rest);
        d = writeDigits(d, rest, FScale);
        *--d = '.';
        d = writeDigits(d, integral, 1);
    }
    if (FValue < 0) *--d = '-';
    std::memcpy(out, d, MaxTextLength);
    return std::size_t(end - d);
}

std::string Decimal::toString() const
{
    char buf[MaxTextLength];
    return std::string(buf, toChars(buf));
}

Decimal Decimal::cast(int precision, int scale) const
{
    const DecType t = checkedType(precision, scale);
    if (t.scale >= FScale) {
        // widening: no rounding, the scaled value fits 128 bits when it fits 38 digits
        const int k = t.scale - FScale;
        const U128 m = magnitude(FValue);
        if (m >= Pow10.v[MaxPrecision - k]) overflow();
        const U128 r = m * Pow10.v[k];
        if (r >= Pow10.v[t.precision]) overflow();
        return Decimal(FValue < 0 ? -Int128(r) : Int128(r), t.precision, t.scale);
    }
    Int128 v;
    if (!finishNarrow(FValue < 0, magnitude(FValue), FScale, t.precision, t.scale, false, v))
        v = finish(exactOf(*this), t.precision, t.scale, false);
    return Decimal(v, t.precision, t.scale);
}

Decimal Decimal::withScale(int scale) const
{
    if (scale < 0 || scale > MaxPrecision) checkedType(MaxPrecision, scale);
    const int p = std::max(1, std::min(MaxPrecision, FPrecision - FScale + 1 + scale));
    return cast(std::max(p, scale), scale);
}

std::int64_t Decimal::toInt64() const
{
    const Int128 q = FValue / Int128(Pow10.v[FScale]);
    if (q > INT64_MAX || q < INT64_MIN) overflowInt("bigint");
    return std::int64_t(q);
}

std::int32_t Decimal::toInt32() const
{
    const Int128 q = FValue / Int128(Pow10.v[FScale]);
    if (q > INT32_MAX || q < INT32_MIN) overflowInt("int");
    return std::int32_t(q);
}

double Decimal::toDouble() const
{
    const std::string t = toString();
    double d = 0;
    std::from_chars(t.data(), t.data() + t.size(), d);
    return d;
}

// ---- functions -----------------------------------------------------------

Decimal Decimal::ceiling() const
{
    const Int128 unit = Int128(Pow10.v[FScale]);
    Int128 q = FValue / unit;
    if (FValue % unit > 0) ++q;
    return fromUnscaled(q, FPrecision, 0);
}

Decimal Decimal::floor() const
{
    const Int128 unit = Int128(Pow10.v[FScale]);
    Int128 q = FValue / unit;
    if (FValue % unit < 0) --q;
    return fromUnscaled(q, FPrecision, 0);
}

Decimal Decimal::round(int digits, bool truncate) const
{
    if (digits >= FScale) return *this;
    digits = std::max(digits, -2 * MaxPrecision);
    const int k = FScale - digits; // trailing digits of the unscaled value to clear
    if (k > MaxPrecision) return Decimal(0, FPrecision, FScale);
    U128 m = magnitude(FValue);
    const U128 unit = Pow10.v[k];
    const U128 rest = m % unit;
    m -= rest;
    if (!truncate && rest / Pow10.v[k - 1] >= 5) m += unit;
    if (m >= Pow10.v[FPrecision]) overflow();
    return Decimal(FValue < 0 ? -Int128(m) : Int128(m), FPrecision, FScale);
}

Decimal Decimal::abs() const { return Decimal(FValue < 0 ? -FValue : FValue, FPrecision, FScale); }

Decimal Decimal::sign() const
{
    // The sign keeps the operand's type; one integral digit is always made room for.
    int p = FPrecision, s = FScale;
    if (p == s) {
        if (p < MaxPrecision)
            ++p;
        else
            --s;
    }
    const Int128 one = Int128(Pow10.v[s]);
    return Decimal(FValue > 0 ? one : FValue < 0 ? -one : 0, p, s);
}

Decimal Decimal::operator-() const { return Decimal(-FValue, FPrecision, FScale); }

// ---- arithmetic ----------------------------------------------------------

// `a op b` for the common operands whose exact result fits 128 bits: the
// same result as the wide path below, which takes the rest (false).
bool Decimal::applyNarrow(Op op, const Decimal& a, const Decimal& b, DecType t, Int128& out)
{
    const bool an = a.FValue < 0, bn = b.FValue < 0;
    const U128 am = magnitude(a.FValue), bm = magnitude(b.FValue);
    switch (op) {
    case Op::Add:
    case Op::Sub: {
        const int scale = std::max<int>(a.FScale, b.FScale);
        U128 x = am, y = bm;
        if (a.FScale < scale && __builtin_mul_overflow(x, Pow10.v[scale - a.FScale], &x)) return false;
        if (b.FScale < scale && __builtin_mul_overflow(y, Pow10.v[scale - b.FScale], &y)) return false;
        const bool yn = op == Op::Sub ? !bn : bn;
        U128 m;
        bool neg;
        if (an == yn) {
            if (__builtin_add_overflow(x, y, &m)) return false;
            neg = an;
        } else if (x >= y) {
            m = x - y;
            neg = an;
        } else {
            m = y - x;
            neg = yn;
        }
        return finishNarrow(neg && m != 0, m, scale, t.precision, t.scale, false, out);
    }
    case Op::Mul: {
        U128 m;
        if (__builtin_mul_overflow(am, bm, &m)) return false;
        return finishNarrow(an != bn && m != 0, m, a.FScale + b.FScale, t.precision, t.scale, false, out);
    }
    case Op::Div: {
        if (bm == 0) return false;
        const int shift = t.scale - a.FScale + b.FScale;
        U128 n = am, d = bm;
        if (shift > MaxPrecision || shift < -MaxPrecision) return false;
        if (shift >= 0 ? __builtin_mul_overflow(n, Pow10.v[shift], &n) : __builtin_mul_overflow(d, Pow10.v[-shift], &d))
            return false;
        const U128 q = (n >> 64) == 0 && (d >> 64) == 0 ? U128(u64(n) / u64(d)) : n / d;
        return finishNarrow(an != bn && q != 0, q, t.scale, t.precision, t.scale, true, out);
    }
    }
    return false;
}

Decimal Decimal::apply(Op op, const Decimal& a, const Decimal& b)
{
    return apply(op, a, b, resultType(op, a.type(), b.type()));
}

Decimal Decimal::apply(Op op, const Decimal& a, const Decimal& b, DecType result)
{
    const DecType t = checkedType(result.precision, result.scale);
    Int128 v;
    if (applyNarrow(op, a, b, t, v)) return Decimal(v, t.precision, t.scale);
    return applyWide(op, a, b, t);
}

Decimal Decimal::applyWide(Op op, const Decimal& a, const Decimal& b, DecType result)
{
    const DecType t = checkedType(result.precision, result.scale);
    Exact e;
    switch (op) {
    case Op::Add:
    case Op::Sub: {
        Exact x = exactOf(a), y = exactOf(b);
        if (op == Op::Sub) y.neg = !y.neg;
        e.scale = std::max(x.scale, y.scale);
        x.mag.mulPow10(e.scale - x.scale);
        y.mag.mulPow10(e.scale - y.scale);
        if (x.neg == y.neg) {
            e.mag = Big::add(x.mag, y.mag);
            e.neg = x.neg;
        } else if (Big::cmp(x.mag, y.mag) >= 0) {
            e.mag = Big::sub(x.mag, y.mag);
            e.neg = x.neg;
        } else {
            e.mag = Big::sub(y.mag, x.mag);
            e.neg = y.neg;
        }
        break;
    }
    case Op::Mul:
        e.mag = Big::mul(magnitude(a.FValue), magnitude(b.FValue));
        e.scale = a.FScale + b.FScale;
        e.neg = (a.FValue < 0) != (b.FValue < 0);
        break;
    case Op::Div: {
        if (b.FValue == 0) throw DecimalError(ErrDivideByZero, DivideByZeroText);
        // quotient at the result scale: |a| * 10^(s - sa + sb) / |b|, truncated
        const int shift = t.scale - a.FScale + b.FScale;
        Big n = Big::of(magnitude(a.FValue)), d = Big::of(magnitude(b.FValue));
        if (shift >= 0)
            n.mulPow10(shift);
        else
            d.mulPow10(-shift);
        e.mag = Big::div(n, d);
        e.scale = t.scale;
        e.neg = (a.FValue < 0) != (b.FValue < 0);
        break;
    }
    }
    if (e.mag.isZero()) e.neg = false;
    return Decimal(finish(e, t.precision, t.scale, op == Op::Div), t.precision, t.scale);
}

int Decimal::compare(const Decimal& a, const Decimal& b)
{
    if (a.FScale == b.FScale) return a.FValue < b.FValue ? -1 : a.FValue > b.FValue ? 1 : 0;
    const bool an = a.FValue < 0, bn = b.FValue < 0;
    if (an != bn) return an ? -1 : 1;
    Exact x = exactOf(a), y = exactOf(b);
    const int s = std::max(x.scale, y.scale);
    x.mag.mulPow10(s - x.scale);
    y.mag.mulPow10(s - y.scale);
    const int c = Big::cmp(x.mag, y.mag);
    return an ? -c : c;
}

// ---- sums ----------------------------------------------------------------

void DecimalSum::add(const Decimal& v)
{
    int s = v.scale();
    Int128 x = v.unscaled();
    if (s > FScale) {
        if (__builtin_mul_overflow(FValue, Int128(Pow10.v[s - FScale]), &FValue)) overflow();
        FScale = s;
    } else if (s < FScale) {
        if (__builtin_mul_overflow(x, Int128(Pow10.v[FScale - s]), &x)) overflow();
    }
    if (__builtin_add_overflow(FValue, x, &FValue)) overflow();
    if (magnitude(FValue) >= Pow10.v[MaxPrecision]) overflow();
    ++FCount;
}

Decimal DecimalSum::sum() const { return Decimal::fromUnscaled(FValue, MaxPrecision, FScale); }

Decimal DecimalSum::average() const
{
    if (FCount == 0) throw DecimalError(ErrDivideByZero, DivideByZeroText);
    return Decimal::apply(Op::Div, sum(), Decimal::fromInt(FCount), avgType({MaxPrecision, FScale}));
}

// ---- numeric text comparison ---------------------------------------------

namespace {

// A number's text read as significant digits d1 d2 ... and a decimal exponent:
// value = 0.d1d2... * 10^exp. The digits are read in place (the '.' skipped).
struct NumText {
    bool ok = false;
    bool neg = false;
    const char* first = nullptr; // first significant digit
    const char* last = nullptr;  // one past the last non-zero digit
    long exp = 0;
    bool zero() const { return first == last; }
};

NumText readNumText(std::string_view t)
{
    NumText r;
    const char* p = t.data();
    const char* e = p + t.size();
    while (p < e && isBlank(*p)) ++p;
    while (e > p && isBlank(e[-1])) --e;
    if (p < e && (*p == '+' || *p == '-')) r.neg = *p++ == '-';
    long intDigits = 0; // significant digits before the point
    long leadFrac = 0;  // zeros after the point before the first significant digit
    bool any = false, point = false;
    const char* q = p;
    for (; q < e; ++q) {
        const char c = *q;
        if (c >= '0' && c <= '9') {
            any = true;
            if (!r.first) {
                if (c != '0') {
                    r.first = q;
                    r.last = q + 1;
                    if (!point) intDigits = 1;
                } else if (point) {
                    ++leadFrac;
                }
            } else {
                if (!point) ++intDigits;
                if (c != '0') r.last = q + 1;
            }
        } else if (c == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (!any) return r;
    long ex = 0;
    if (q < e) {
        if (*q != 'e' && *q != 'E') return r;
        ++q;
        bool eneg = false;
        if (q < e && (*q == '+' || *q == '-')) eneg = *q++ == '-';
        if (q == e) return r;
        for (; q < e; ++q) {
            if (*q < '0' || *q > '9') return r;
            if (ex < 100000000) ex = ex * 10 + (*q - '0');
        }
        if (eneg) ex = -ex;
    }
    r.ok = true;
    if (!r.first) {
        r.first = r.last = p; // zero
        r.neg = false;
        return r;
    }
    r.exp = (intDigits > 0 ? intDigits : -leadFrac) + ex;
    return r;
}

int compareMagnitude(const NumText& a, const NumText& b)
{
    if (a.exp != b.exp) return a.exp < b.exp ? -1 : 1;
    const char* x = a.first;
    const char* y = b.first;
    for (;;) {
        if (x < a.last && *x == '.') ++x;
        if (y < b.last && *y == '.') ++y;
        const bool xe = x >= a.last, ye = y >= b.last;
        if (xe || ye) return xe && ye ? 0 : xe ? -1 : 1;
        if (*x != *y) return *x < *y ? -1 : 1;
        ++x;
        ++y;
    }
}

} // namespace

int compareNumericText(std::string_view a, std::string_view b)
{
    const NumText x = readNumText(a), y = readNumText(b);
    if (x.ok != y.ok) return x.ok ? -1 : 1;
    if (!x.ok) {
        const int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
        if (c != 0) return c < 0 ? -1 : 1;
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }
    const int sx = x.zero() ? 0 : x.neg ? -1 : 1;
    const int sy = y.zero() ? 0 : y.neg ? -1 : 1;
    if (sx != sy) return sx < sy ? -1 : 1;
    if (sx == 0) return 0;
    const int c = compareMagnitude(x, y);
    return sx < 0 ? -c : c;
}

bool splitErrorMessage(std::string_view message, int& number, std::string& text)
{
    number = 0;
    std::size_t i = 0;
    int n = 0;
    while (i < message.size() && i < 9 && message[i] >= '0' && message[i] <= '9')
        n = n * 10 + (message[i++] - '0');
    if (i == 0 || i >= message.size() || message[i] != '|') {
        text = std::string(message);
        return false;
    }
    number = n;
    text = std::string(message.substr(i + 1));
    return true;
}

} // namespace kvdec
