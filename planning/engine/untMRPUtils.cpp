#include "untMRPUtils.h"
#include "Exceptions.h"
#include <QDate>
#include <QStringList>
#include <cmath>
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <vector>

namespace untMRPUtils {

namespace {
const QDate kBaseDate(1899, 12, 30);
constexpr double kResidue = 1e-9;

// 10^n for the decimals quantities carry, each taken from std::pow once, so a
// quantity rounds exactly as before without a pow call per value.
double PowerOfTen(int n)
{
    constexpr int kLow = -16, kHigh = 16;
    static const auto table = [] {
        std::array<double, kHigh - kLow + 1> t{};
        for (int i = kLow; i <= kHigh; ++i)
            t[size_t(i - kLow)] = std::pow(10.0, i);
        return t;
    }();
    return n >= kLow && n <= kHigh ? table[size_t(n - kLow)] : std::pow(10.0, n);
}
}

std::int64_t DateToDay(TDateTime date)
{
    return static_cast<std::int64_t>(std::floor(date + 1e-9));
}

QString DayToDateStr(std::int64_t day)
{
    const QDate date = kBaseDate.addDays(day);
    int y = 0, m = 0, d = 0;
    date.getDate(&y, &m, &d);
    if (!date.isValid() || y < 1 || y > 9999)
        return date.toString(QStringLiteral("yyyyMMdd"));
    // every allotment, supply and demand carries dates: digits put down directly
    const char16_t text[8] = {char16_t(u'0' + y / 1000),      char16_t(u'0' + y / 100 % 10), char16_t(u'0' + y / 10 % 10),
                              char16_t(u'0' + y % 10),        char16_t(u'0' + m / 10),       char16_t(u'0' + m % 10),
                              char16_t(u'0' + d / 10),        char16_t(u'0' + d % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 8);
}

QString DateTimeToSQLStr(TDateTime dateTime)
{
    const std::int64_t day = DateToDay(dateTime);
    qint64 secs = std::llround((dateTime - static_cast<double>(day)) * 86400.0);
    if (secs >= 86400)
        secs = 86399;
    char buf[16];
    std::snprintf(buf, sizeof buf, " %02d:%02d:%02d", int(secs / 3600), int(secs / 60 % 60), int(secs % 60));
    return DayToDateStr(day) + QLatin1String(buf);
}

QString SQLQty(double value)
{
    if (!std::isfinite(value))
        throw Exception(QStringLiteral("数量计算结果无效(%1), 不能写入数据库!").arg(value));
    // most quantities of a level are zero: one shared text serves them all
    static const QString zero = QStringLiteral("0.00000000");
    if (value == 0)
        return zero;
    // to_chars with a precision writes what printf's "%.8f" writes, without
    // the locale and stream machinery
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 8);
    const qsizetype n = res.ptr - buf;
    if (n == 11 && std::memcmp(buf, "-0.00000000", 11) == 0)
        return zero;
    return QString::fromLatin1(buf, n);
}

QString QuoteSQL(const QString& text)
{
    QString s = text;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

namespace {

// The characters of FloatToText in buf (at least 400 bytes); their count.
qsizetype FloatChars(double value, char* buf)
{
    if (!std::isfinite(value))
        throw Exception(QStringLiteral("数量计算结果无效(%1), 不能写入数据库!").arg(value));
    constexpr size_t size = 400;
    // whole quantities, the most common, need no formatting of digits
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return std::to_chars(buf, buf + size, static_cast<long long>(value)).ptr - buf;
    // 15 significant digits hide the binary residue of decimal sums
    // (0.1+0.2 gives 0.3) as the ERP's own texts do; to_chars with a
    // precision writes what printf's "%.15g" and "%.10f" write.
    qsizetype n = std::to_chars(buf, buf + size, value, std::chars_format::general, 15).ptr - buf;
    if (std::memchr(buf, 'e', size_t(n))) {
        n = std::to_chars(buf, buf + size, value, std::chars_format::fixed, 10).ptr - buf;
        if (std::memchr(buf, '.', size_t(n))) {
            while (n > 0 && buf[n - 1] == '0')
                --n;
            if (n > 0 && buf[n - 1] == '.')
                --n;
        }
    }
    if (n == 2 && buf[0] == '-' && buf[1] == '0')
        n = 1, buf[0] = '0';
    return n;
}

} // namespace

QString FloatToText(double value)
{
    char buf[400];
    const qsizetype n = FloatChars(value, buf);
    return QString::fromLatin1(buf, n);
}

void AppendFloatText(QString& text, double value)
{
    char buf[400];
    const qsizetype n = FloatChars(value, buf);
    text += QLatin1String(buf, n);
}

void AppendFloatText(std::string& text, double value)
{
    char buf[400];
    text.append(buf, size_t(FloatChars(value, buf)));
}

double TextToFloat(const QString& text, bool* ok)
{
    return TextToFloat(QStringView(text), ok);
}

namespace {

// A plain decimal ("-12.5", "3") read from its Latin-1 bytes; false for
// anything else (blanks inside, exponents, signs other than a leading minus,
// non-Latin-1 text), which the general reader handles.
bool PlainDecimal(QStringView text, double& value)
{
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == QLatin1Char(' ') || text[b] == QLatin1Char('\t')))
        ++b;
    while (e > b && (text[e - 1] == QLatin1Char(' ') || text[e - 1] == QLatin1Char('\t')))
        --e;
    const qsizetype n = e - b;
    if (n <= 0 || n > 40)
        return false;
    char buf[40];
    bool digits = false, point = false, digitsAfterPoint = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[b + i].unicode();
        if (c >= u'0' && c <= u'9') {
            digits = true;
            if (point)
                digitsAfterPoint = true;
        } else if (c == u'.' && !point && digits) {
            point = true;
        } else if (!(c == u'-' && i == 0)) {
            return false;
        }
        buf[i] = char(c);
    }
    if (!digits || (point && !digitsAfterPoint))
        return false;
    const auto res = std::from_chars(buf, buf + n, value);
    return res.ec == std::errc() && res.ptr == buf + n && std::isfinite(value);
}

} // namespace

double TextToFloat(QStringView text, bool* ok)
{
    // hints and served-demand texts of every demand pass here: plain decimals
    // skip the trimmed copy and the general reader
    double v = 0;
    if (PlainDecimal(text, v)) {
        if (ok)
            *ok = true;
        return v;
    }
    bool good = false;
    v = text.trimmed().toDouble(&good); // toDouble is C locale
    if (ok)
        *ok = good && std::isfinite(v);
    return good && std::isfinite(v) ? v : 0.0;
}

QString FormatMessage(QString text, const QStringList& args)
{
    int from = 0;
    for (const QString& arg : args) {
        int s = text.indexOf(QLatin1String("%s"), from);
        int d = text.indexOf(QLatin1String("%d"), from);
        int at = s < 0 ? d : (d < 0 ? s : std::min(s, d));
        if (at < 0)
            break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}

QString IntToBase36(std::uint32_t value, int minWidth)
{
    static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    char buf[40];
    char* end = buf + sizeof buf;
    char* p = end;
    do {
        *--p = digits[value % 36];
        value /= 36;
    } while (value != 0);
    while (end - p < minWidth && p > buf)
        *--p = '0';
    QString s = QString::fromLatin1(p, end - p);
    while (s.size() < minWidth)
        s.prepend(QLatin1Char('0'));
    return s;
}

QString PeriodKey(int periodIndex)
{
    // the keys of two digits, made once and shared by every hints line
    constexpr int kTwoDigitKeys = 36 * 36;
    static const auto keys = [] {
        std::vector<QString> k(kTwoDigitKeys);
        for (int i = 0; i < kTwoDigitKeys; ++i)
            k[size_t(i)] = IntToBase36(static_cast<std::uint32_t>(i), 2);
        return k;
    }();
    if (periodIndex < 0)
        periodIndex = 0;
    return periodIndex < kTwoDigitKeys ? keys[size_t(periodIndex)]
                                       : IntToBase36(static_cast<std::uint32_t>(periodIndex), 2);
}

int PeriodKeyToIndex(const QString& key)
{
    return PeriodKeyToIndex(QStringView(key));
}

int PeriodKeyToIndex(QStringView key)
{
    const QStringView k = key.trimmed();
    if (k.isEmpty())
        return -1;
    int v = 0;
    for (QChar c : k) {
        int d;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            d = c.unicode() - '0';
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            d = c.unicode() - 'A' + 10;
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            d = c.unicode() - 'a' + 10;
        else
            return -1;
        v = v * 36 + d;
        if (v > 1000000)
            return -1;
    }
    return v;
}

int EffectiveDecimals(int itmDecimal)
{
    return (itmDecimal < 0 || itmDecimal > 8) ? 8 : itmDecimal;
}

double QtyUnit(int itmPutInteger, int itmDecimal)
{
    return itmPutInteger == 1 ? 1.0 : PowerOfTen(-EffectiveDecimals(itmDecimal));
}

double RoundTo(double value, int decimals)
{
    const double scale = PowerOfTen(decimals);
    const double v = value * scale;
    // The nudge lies far below the eight decimals that quantities carry, so it
    // only lifts a half that binary arithmetic left just short of .5.
    const double r = std::round(v + std::copysign(kResidue + std::fabs(v) * 4e-15, v));
    return r / scale;
}

double TruncTo(double value, int decimals)
{
    const double scale = PowerOfTen(decimals);
    const double v = value * scale;
    const double r = std::trunc(v + std::copysign(kResidue + std::fabs(v) * 4e-15, v));
    return r / scale;
}

double CeilQty(double value)
{
    return std::ceil(value - (kResidue + std::fabs(value) * 4e-15));
}

double RoundItemQty(double value, int itmPutInteger, int itmDecimal)
{
    if (itmPutInteger == 1)
        return CeilQty(value);
    return RoundTo(value, EffectiveDecimals(itmDecimal));
}

double CeilItemQty(double value, int itmPutInteger, int itmDecimal)
{
    if (!std::isfinite(value))
        return value;
    const int decimals = itmPutInteger == 1 ? 0 : EffectiveDecimals(itmDecimal);
    // Eight decimals as a scaled integer; beyond 9e10 the double has no
    // eighth decimal left to round, and the residue-safe ceiling serves.
    if (std::fabs(value) >= 9e10) {
        const double scale = PowerOfTen(decimals);
        return CeilQty(value * scale) / scale;
    }
    const std::int64_t scaled = std::llround(value * 1e8);
    std::int64_t unit = 1;
    for (int i = decimals; i < 8; ++i)
        unit *= 10;
    std::int64_t units = scaled / unit;
    if (scaled % unit > 0)
        ++units;
    return static_cast<double>(units * unit) / 1e8;
}

double TruncItemQty(double value, int itmPutInteger, int itmDecimal)
{
    return TruncTo(value, itmPutInteger == 1 ? 0 : EffectiveDecimals(itmDecimal));
}

bool IsResidue(double value, double unit)
{
    return std::fabs(value) < kResidue * unit;
}

TMRPSQLBatch::TMRPSQLBatch(TExecutor executor, QString header)
    : FExecutor(std::move(executor)), FHeader(std::move(header))
{
}

void TMRPSQLBatch::Add(const QString& statement)
{
    // A statement that would carry the text beyond the limit goes into the next text.
    if (!FText.isEmpty() && FText.size() + statement.size() > MaxBatchChars)
        Flush();
    if (FText.isEmpty())
        FText = FHeader;
    FText += statement;
}

void TMRPSQLBatch::Flush()
{
    if (FText.isEmpty())
        return;
    const QString text = FText;
    FText.clear();
    if (FExecutor)
        FExecutor(text);
    else
        FExecuted << text;
}

} // namespace untMRPUtils
