// The common paths (values within 128 bits, plain texts, stack formatting)
// held against the general readers and wide arithmetic over many values.
#include "Decimal.h"

#include <functional>
#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>

using kvdec::DecType;
using kvdec::Decimal;
using kvdec::Int128;
using kvdec::Op;

namespace {

using U128 = unsigned __int128;

U128 pow10(int n)
{
    U128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// A result or the SQL Server error number it raised, printable for a failure message.
struct Outcome {
    int error = 0;
    Int128 unscaled = 0;
    int precision = 0;
    int scale = 0;
    bool operator==(const Outcome&) const = default;
};

Outcome outcomeOf(const std::function<Decimal()>& f)
{
    try {
        const Decimal d = f();
        return {0, d.unscaled(), d.precision(), d.scale()};
    } catch (const kvdec::DecimalError& e) {
        return {e.number(), 0, 0, 0};
    }
}

std::string describe(const Outcome& o)
{
    if (o.error) return "error " + std::to_string(o.error);
    return Decimal::fromUnscaled(o.unscaled, kvdec::MaxPrecision, o.scale).toString() + " as decimal(" +
           std::to_string(o.precision) + "," + std::to_string(o.scale) + ")";
}

// Text of unscaled / 10^scale written digit by digit, independent of the formatter under test.
std::string referenceText(Int128 v, int scale)
{
    U128 m = v < 0 ? U128(0) - U128(v) : U128(v);
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(m % 10)));
        m /= 10;
    } while (m != 0);
    while (int(digits.size()) <= scale)
        digits.insert(digits.begin(), '0');
    if (scale > 0) digits.insert(digits.size() - std::size_t(scale), 1, '.');
    return (v < 0 ? "-" : "") + digits;
}

// Values across the whole range: zero, units, halves, all-nines and powers of
// ten at every length, 38 digits, and random digits of every length, each at
// several scales and both signs.
std::vector<Decimal> sampleValues()
{
    std::vector<U128> magnitudes = {0, 1, 5, 15, 25, 49, 50, 51, 95};
    for (int n = 1; n <= 38; ++n) {
        magnitudes.push_back(pow10(n) - 1);
        if (n < 38) magnitudes.push_back(pow10(n));
        if (n < 38) magnitudes.push_back(pow10(n) * 5);
    }
    std::mt19937_64 random(46);
    for (int n = 1; n <= 38; ++n)
        for (int k = 0; k < 3; ++k) {
            U128 m = 0;
            for (int i = 0; i < n; ++i)
                m = m * 10 + random() % 10;
            magnitudes.push_back(m);
        }
    std::vector<Decimal> values;
    for (U128 m : magnitudes) {
        int digits = 1;
        while (digits < 38 && m >= pow10(digits))
            ++digits;
        for (int scale : {0, 2, 6, 8, 18, 19, 30, 38}) {
            if (scale > digits + 8 && scale != 38) continue;
            const int precision = std::max(digits, scale);
            if (precision > 38) continue;
            values.push_back(Decimal::fromUnscaled(Int128(m), precision == 0 ? 1 : precision, scale));
            if (m) values.push_back(Decimal::fromUnscaled(-Int128(m), precision, scale));
        }
    }
    return values;
}

} // namespace

TEST(DecimalPaths, ArithmeticMatchesTheWidePath)
{
    const std::vector<Decimal> values = sampleValues();
    // the operands' own result type and the declared types the engine passes,
    // narrow ones among them so that overflow is reached from every path
    const std::vector<DecType> declared = {{28, 8}, {38, 8}, {38, 0}, {18, 2}, {10, 0}, {38, 38}, {38, 20}, {5, 4}};
    for (std::size_t i = 0; i < values.size(); i += 29)
        for (std::size_t j = 1; j < values.size(); j += 31)
            for (Op op : {Op::Add, Op::Sub, Op::Mul, Op::Div}) {
                const Decimal& a = values[i];
                const Decimal& b = values[j];
                std::vector<DecType> types = declared;
                types.push_back(kvdec::resultType(op, a.type(), b.type()));
                for (DecType t : types) {
                    const Outcome fast = outcomeOf([&] { return Decimal::apply(op, a, b, t); });
                    const Outcome wide = outcomeOf([&] { return Decimal::applyWide(op, a, b, t); });
                    ASSERT_EQ(fast, wide) << a.toString() << " op " << int(op) << " " << b.toString() << " as ("
                                          << t.precision << "," << t.scale << "): " << describe(fast) << " vs "
                                          << describe(wide);
                }
            }
}

TEST(DecimalPaths, CastsMatchTheWidePath)
{
    // a cast is the value times an exact 1 brought to the target type
    const Decimal one = Decimal::parse("1");
    for (const Decimal& v : sampleValues())
        for (DecType t : std::vector<DecType>{{38, 0}, {38, 38}, {18, 2}, {28, 8}, {10, 4}, {1, 0}, {38, 37}, {19, 19}}) {
            const Outcome cast = outcomeOf([&] { return v.cast(t); });
            const Outcome wide = outcomeOf([&] { return Decimal::applyWide(Op::Mul, v, one, t); });
            ASSERT_EQ(cast, wide) << v.toString() << " as (" << t.precision << "," << t.scale << ")";
        }
}

TEST(DecimalPaths, FormatsEveryValueDigitByDigit)
{
    for (const Decimal& v : sampleValues()) {
        const std::string text = v.toString();
        ASSERT_EQ(text, referenceText(v.unscaled(), v.scale()));
        char buf[Decimal::MaxTextLength];
        ASSERT_EQ(std::string(buf, v.toChars(buf)), text);
        // and reads back as the same value of the same scale
        const Decimal back = Decimal::parse(text);
        ASSERT_EQ(back.unscaled(), v.unscaled()) << text;
        ASSERT_EQ(back.scale(), v.scale()) << text;
    }
}

TEST(DecimalPaths, PlainTextsReadAsTheGeneralReaderReadsThem)
{
    std::vector<std::string> texts = {
        "0", "-0", "+0", "-0.000", "00012.50", " 7 ", "\t-3.25\n", ".5", "5.", "-.5", "+.0",
        "0.05", "000.00100", "12345678901234567890", "1234567890123456789.0123456789",
        std::string(38, '9'), "-" + std::string(38, '9'), "0." + std::string(38, '9'),
        std::string(39, '9'), "0." + std::string(39, '1'), std::string(20, '0') + std::string(38, '7'),
        "1" + std::string(37, '0') + ".", "9999999999999999999", "10000000000000000000",
        "18446744073709551615", "18446744073709551616", "-18446744073709551617.5",
        // forms only the general reader takes, and texts that are not numbers
        "1e5", "-1.5E-3", "2e+2", "1e", ".", "-", "+", "", " ", "1.2.3", "- 5", "5-", "1 2", "abc", "0x10",
        "１２",
    };
    for (const Decimal& v : sampleValues())
        texts.push_back(v.toString());
    // runs of eight digits with one character next to the digits in code
    // ('/', ':', ...) or far from them at each place, before and after the point
    for (int at = 0; at < 8; ++at)
        for (char c : {'/', ':', ';', '?', '@', ' ', '\xB9', '\xB0'}) {
            std::string run = "98765432";
            run[std::size_t(at)] = c;
            texts.push_back(run);
            texts.push_back("1" + run + "0");
            texts.push_back("-0." + run);
            texts.push_back("12345678." + run + "1");
        }
    for (const std::string& t : texts) {
        const Outcome fast = outcomeOf([&] { return Decimal::parse(t); });
        const Outcome general = outcomeOf([&] { return Decimal::parseWide(t); });
        ASSERT_EQ(fast, general) << "'" << t << "': " << describe(fast) << " vs " << describe(general);
    }
}
