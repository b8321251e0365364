#include "Decimal.h"

#include <cmath>
#include <functional>
#include <limits>
#include <gtest/gtest.h>

using kvdec::DecType;
using kvdec::Decimal;
using kvdec::Op;

namespace {

Decimal D(const char* text) { return Decimal::parse(text); }
Decimal D(const char* text, int p, int s) { return Decimal::parse(text, p, s); }

// The SQL Server error number an operation raises, 0 when it succeeds.
int errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const kvdec::DecimalError& e) {
        return e.number();
    }
    return 0;
}

std::string opName(Op op)
{
    switch (op) {
    case Op::Add: return "+";
    case Op::Sub: return "-";
    case Op::Mul: return "*";
    case Op::Div: return "/";
    }
    return "?";
}

} // namespace

TEST(Decimal, ParsesLiteralsWithTheirOwnType)
{
    struct Case { const char* text; const char* shown; int p, s; };
    const Case cases[] = {
        {"-12.5", "-12.5", 3, 1},
        {"0.00000001", "0.00000001", 8, 8},
        {"  42  ", "42", 2, 0},
        {"\t7\r\n", "7", 1, 0},
        {"0.1", "0.1", 1, 1},
        {"12.50", "12.50", 4, 2},
        {"+.5", "0.5", 1, 1},
        {"5.", "5", 1, 0},
        {"0", "0", 1, 0},
        {"-0.000", "0.000", 3, 3},
        {"000123.4500", "123.4500", 7, 4},
        {"1e-3", "0.001", 3, 3},
        {"1.5E2", "150", 3, 0},
        {"-2.5e+1", "-25", 2, 0},
        {"99999999999999999999999999999999999999", "99999999999999999999999999999999999999", 38, 0},
        // beyond 38 digits the decimals are rounded away
        {"0.123456789012345678901234567890123456789", "0.12345678901234567890123456789012345679", 38, 38},
        {"1234567890.12345678901234567890123456789", "1234567890.1234567890123456789012345679", 38, 28},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Decimal d = D(c.text);
        EXPECT_EQ(d.toString(), c.shown);
        EXPECT_EQ(d.type(), (DecType{c.p, c.s}));
        // the display text reads back as the same value and type
        EXPECT_EQ(D(d.toString().c_str()).toString(), c.shown);
    }
}

TEST(Decimal, RejectsTextThatIsNotANumber)
{
    for (const char* bad : {"", "   ", "abc", "1.2.3", "--1", "1e", "12a", ".", "-", "1 2", "0x10", "1e+"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(errorOf([&] { D(bad); }), kvdec::ErrConvert);
        EXPECT_EQ(errorOf([&] { D(bad, 28, 8); }), kvdec::ErrConvert);
        Decimal out;
        EXPECT_FALSE(Decimal::tryParse(bad, out));
    }
    EXPECT_EQ(errorOf([] { D("123456789012345678901234567890123456789"); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { D("1e40"); }), kvdec::ErrOverflow);
    try {
        D("x");
        FAIL();
    } catch (const kvdec::DecimalError& e) {
        EXPECT_STREQ(e.what(), "Error converting data type varchar to numeric.");
    }
}

TEST(Decimal, CastsRoundHalfAwayFromZero)
{
    struct Case { const char* text; int p, s; const char* shown; };
    const Case cases[] = {
        {"5", 28, 8, "5.00000000"},
        {"-0.5", 28, 8, "-0.50000000"},
        {"0", 28, 8, "0.00000000"},
        {"2.345", 10, 2, "2.35"},
        {"-2.345", 10, 2, "-2.35"},
        {"2.344999", 10, 2, "2.34"},
        {"0.005", 10, 2, "0.01"},
        {"-0.004", 10, 2, "0.00"},
        {"0.5", 1, 0, "1"},
        {"-0.5", 1, 0, "-1"},
        {"12345678901234567890.123456789", 28, 8, "12345678901234567890.12345679"},
        {"1e-20", 28, 8, "0.00000000"},
        {"1.23456789e3", 28, 2, "1234.57"},
        {"0.3333333333", 28, 10, "0.3333333333"},
        {"1234.5", 22, 2, "1234.50"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(D(c.text, c.p, c.s).toString(), c.shown);
        EXPECT_EQ(D(c.text).cast(c.p, c.s).toString(), c.shown);
    }
    // the integral part must fit the target precision
    EXPECT_EQ(errorOf([] { D("99.995", 4, 2); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { D("12345.6", 5, 1); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { D("123456789012345678901", 28, 8); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { D("99.995", 5, 2); }), 0);
    EXPECT_THROW(D("1", 39, 2), std::invalid_argument);
    EXPECT_THROW(D("1", 5, 6), std::invalid_argument);
}

TEST(Decimal, ConvertsIntegersAndFloats)
{
    EXPECT_EQ(Decimal::fromInt(7).type(), kvdec::IntType);
    EXPECT_EQ(Decimal::fromInt(-2147483648LL).type(), kvdec::IntType);
    EXPECT_EQ(Decimal::fromInt(2147483648LL).type(), kvdec::BigIntType);
    EXPECT_EQ(Decimal::fromInt(INT64_MIN).toString(), "-9223372036854775808");
    EXPECT_EQ(Decimal::fromInt(5, 28, 8).toString(), "5.00000000");

    struct Case { double value; int p, s; const char* shown; };
    const Case cases[] = {
        {0.1, 28, 8, "0.10000000"},
        {2.675, 10, 2, "2.68"},
        {-1.5, 10, 0, "-2"},
        {1e-9, 28, 8, "0.00000000"},
        {123456.789, 28, 8, "123456.78900000"},
        {0.1 + 0.2, 28, 8, "0.30000000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Decimal::fromDouble(c.value, c.p, c.s).toString(), c.shown) << c.value;
    EXPECT_EQ(Decimal::fromDouble(0.1).type(), (DecType{1, 1}));
    EXPECT_EQ(errorOf([] { Decimal::fromDouble(1e30, 28, 8); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { Decimal::fromDouble(std::nan(""), 28, 8); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { Decimal::fromDouble(std::numeric_limits<double>::infinity()); }), kvdec::ErrOverflow);

    EXPECT_EQ(D("2.9").toInt32(), 2);
    EXPECT_EQ(D("-2.9").toInt32(), -2);
    EXPECT_EQ(D("-2147483648.7").toInt32(), -2147483647 - 1);
    EXPECT_EQ(D("3000000000.5").toInt64(), 3000000000LL);
    EXPECT_DOUBLE_EQ(D("0.1").toDouble(), 0.1);
    EXPECT_DOUBLE_EQ(D("-12345.678", 28, 8).toDouble(), -12345.678);
    try {
        D("3000000000").toInt32();
        FAIL();
    } catch (const kvdec::DecimalError& e) {
        EXPECT_EQ(e.number(), kvdec::ErrOverflow);
        EXPECT_STREQ(e.what(), "Arithmetic overflow error converting expression to data type int.");
    }
    EXPECT_EQ(errorOf([] { D("10000000000000000000").toInt64(); }), kvdec::ErrOverflow);
}

TEST(Decimal, ResultTypesFollowTheServerRules)
{
    struct Case { Op op; DecType a, b, result; };
    const Case cases[] = {
        {Op::Add, {28, 8}, {28, 8}, {29, 8}},
        {Op::Sub, {18, 8}, {28, 8}, {29, 8}},
        {Op::Add, {10, 0}, {28, 8}, {29, 8}},
        {Op::Add, {38, 10}, {38, 10}, {38, 10}},
        {Op::Add, {38, 0}, {10, 10}, {38, 0}},
        {Op::Mul, {28, 8}, {28, 8}, {38, 6}},
        {Op::Mul, {18, 8}, {18, 8}, {37, 16}},
        {Op::Mul, {10, 0}, {1, 1}, {12, 1}},
        {Op::Mul, {38, 2}, {38, 2}, {38, 4}},
        {Op::Mul, {38, 7}, {38, 0}, {38, 6}},
        {Op::Div, {28, 8}, {28, 8}, {38, 10}},
        {Op::Div, {38, 10}, {38, 10}, {38, 6}},
        {Op::Div, {12, 1}, {1, 1}, {18, 6}},
        {Op::Div, {10, 0}, {10, 0}, {21, 11}},
        {Op::Div, {2, 1}, {10, 0}, {13, 12}},
        {Op::Div, {38, 0}, {38, 0}, {38, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("(" + std::to_string(c.a.precision) + "," + std::to_string(c.a.scale) + ") " + opName(c.op) + " (" +
                     std::to_string(c.b.precision) + "," + std::to_string(c.b.scale) + ")");
        EXPECT_EQ(kvdec::resultType(c.op, c.a, c.b), c.result);
        // the operators type their results the same way
        const Decimal a = Decimal::fromUnscaled(1, c.a.precision, c.a.scale);
        const Decimal b = Decimal::fromUnscaled(1, c.b.precision, c.b.scale);
        EXPECT_EQ(Decimal::apply(c.op, a, b).type(), c.result);
    }
    EXPECT_EQ(kvdec::sumType({28, 8}), (DecType{38, 8}));
    EXPECT_EQ(kvdec::avgType({28, 8}), (DecType{38, 8}));
    EXPECT_EQ(kvdec::avgType({10, 0}), (DecType{38, 6}));
}

TEST(Decimal, ArithmeticIsExact)
{
    struct Case { const char* a; Op op; const char* b; const char* result; };
    const Case cases[] = {
        {"1.5", Op::Add, "-2.25", "-0.75"},
        {"9.9", Op::Add, "0.1", "10.0"},
        {"0.1", Op::Sub, "0.3", "-0.2"},
        {"0.1", Op::Add, "0.2", "0.3"},
        {"-1.5", Op::Mul, "2", "-3.0"},
        {"3", Op::Mul, "0.1", "0.3"},
        {"0.3", Op::Div, "0.1", "3.000000"},
        {"1", Op::Div, "3", "0.333333"},
        {"-7", Op::Div, "2", "-3.500000"},
        // division truncates at the result scale
        {"2.0", Op::Div, "3", "0.666666"},
        {"-2.0", Op::Div, "3", "-0.666666"},
        {"0.00000001", Op::Mul, "0.00000001", "0.0000000000000001"},
        {"-0.5", Op::Mul, "0", "0.0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " " + opName(c.op) + " " + c.b);
        EXPECT_EQ(Decimal::apply(c.op, D(c.a), D(c.b)).toString(), c.result);
    }
    // an int divisor is decimal(10,0): 2.0/3 has 12 decimals
    EXPECT_EQ((D("2.0") / Decimal::fromInt(3)).toString(), "0.666666666666");
    // decimal(28,8) quantities
    const Decimal q = D("1.5", 28, 8), r = D("3", 28, 8);
    EXPECT_EQ((q * r).toString(), "4.500000");
    EXPECT_EQ((q / r).toString(), "0.5000000000");
    EXPECT_EQ((r / D("7", 28, 8)).toString(), "0.4285714285");
    EXPECT_EQ((q + r).toString(), "4.50000000");
    EXPECT_EQ((q - r).toString(), "-1.50000000");
    // the capped quotient still truncates: 1.67574 / 10000 at decimal(38,6)
    EXPECT_EQ((D("1.67574", 38, 10) / D("10000", 38, 10)).toString(), "0.000167");
    // a capped product rounds half away from zero to 6 decimals
    EXPECT_EQ((D("0.1234565", 38, 7) * D("1", 38, 0)).toString(), "0.123457");
    EXPECT_EQ((D("-0.1234565", 38, 7) * D("1", 38, 0)).toString(), "-0.123457");
    EXPECT_EQ((D("0.1234564", 38, 7) * D("1", 38, 0)).toString(), "0.123456");
    // an explicit result type: exact result brought to it
    EXPECT_EQ(Decimal::apply(Op::Mul, D("2.5"), D("3.25"), {28, 8}).toString(), "8.12500000");
    EXPECT_EQ(Decimal::apply(Op::Div, D("2"), D("3"), {28, 8}).toString(), "0.66666666");
    EXPECT_EQ(Decimal::apply(Op::Add, D("0.125"), D("0.25"), {10, 2}).toString(), "0.38");
}

TEST(Decimal, CeilingOfThreeTimesATenthOverATenthIsThree)
{
    // ceiling(3*0.1/0.1) with SQL Server's literal types: int * numeric(1,1) / numeric(1,1)
    const Decimal x = (Decimal::fromInt(3) * D("0.1")) / D("0.1");
    EXPECT_EQ(x.toString(), "3.000000");
    EXPECT_EQ(x.ceiling().toString(), "3");
    EXPECT_EQ(x.ceiling(), Decimal::fromInt(3));
    // the same with decimal(28,8) quantities
    const Decimal y = (D("3", 28, 8) * D("0.1", 28, 8)) / D("0.1", 28, 8);
    EXPECT_EQ(y.ceiling().toString(), "3");
}

TEST(Decimal, SumsOfManySmallQuantitiesAreExact)
{
    const Decimal unit = D("0.00000001", 28, 8);
    kvdec::DecimalSum sum;
    Decimal chained = D("0", 28, 8);
    for (int i = 0; i < 10000; ++i) {
        sum.add(unit);
        chained = chained + unit;
    }
    EXPECT_EQ(sum.sum().toString(), "0.00010000");
    EXPECT_EQ(sum.sum().type(), (DecType{38, 8}));
    EXPECT_EQ(chained.toString(), "0.00010000");
    EXPECT_EQ(chained, D("0.0001"));
    EXPECT_EQ(sum.average().toString(), "0.00000001");
    EXPECT_EQ(sum.count(), 10000);

    // mixed scales widen the sum; the average truncates at max(s,6) decimals
    kvdec::DecimalSum mixed;
    mixed.add(D("1"));
    mixed.add(D("0.5"));
    mixed.add(D("1"));
    EXPECT_EQ(mixed.sum().toString(), "2.5");
    EXPECT_EQ(mixed.average().toString(), "0.833333");

    kvdec::DecimalSum big;
    big.add(D("99999999999999999999999999999999999999"));
    EXPECT_EQ(errorOf([&] { big.add(D("1")); }), kvdec::ErrOverflow);
    kvdec::DecimalSum wide;
    wide.add(D("123456789012345678901234567890"));
    EXPECT_EQ(errorOf([&] { wide.add(D("0.000000001")); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([] { kvdec::DecimalSum().average(); }), kvdec::ErrDivideByZero);
}

TEST(Decimal, RoundingFunctions)
{
    struct Case { const char* x; int n; bool truncate; const char* result; };
    const Case rounds[] = {
        {"2.5", 0, false, "3.0"},
        {"-2.5", 0, false, "-3.0"},
        {"2.45", 1, false, "2.50"},
        {"-2.45", 1, false, "-2.50"},
        {"2.449", 1, false, "2.400"},
        {"748.58", -1, false, "750.00"},
        {"748.58", -2, false, "700.00"},
        {"748.58", -4, false, "0.00"},
        {"748.58", -100, false, "0.00"},
        {"2.59", 1, true, "2.50"},
        {"-2.59", 1, true, "-2.50"},
        {"1.23", 5, false, "1.23"},
        {"0.123456789", 8, false, "0.123456790"},
    };
    for (const Case& c : rounds) {
        SCOPED_TRACE(std::string(c.x) + " " + std::to_string(c.n));
        EXPECT_EQ(D(c.x).round(c.n, c.truncate).toString(), c.result);
    }
    // the rounded value keeps the operand's type: 1000.00 does not fit decimal(5,2)
    EXPECT_EQ(errorOf([] { D("748.58").round(-3); }), kvdec::ErrOverflow);
    EXPECT_EQ(D("748.58", 28, 8).round(-3).toString(), "1000.00000000");

    struct Unary { const char* x; const char* ceiling; const char* floor; const char* abs; const char* sign; };
    const Unary unaries[] = {
        {"2.1", "3", "2", "2.1", "1.0"},
        {"-2.1", "-2", "-3", "2.1", "-1.0"},
        {"2.0", "2", "2", "2.0", "1.0"},
        {"-0.5", "0", "-1", "0.5", "-1.0"},
        {"0.00", "0", "0", "0.00", "0.00"},
        {"7", "7", "7", "7", "1"},
    };
    for (const Unary& u : unaries) {
        SCOPED_TRACE(u.x);
        EXPECT_EQ(D(u.x).ceiling().toString(), u.ceiling);
        EXPECT_EQ(D(u.x).floor().toString(), u.floor);
        EXPECT_EQ(D(u.x).abs().toString(), u.abs);
        EXPECT_EQ(D(u.x).sign().toString(), u.sign);
    }
    EXPECT_EQ(D("1.5", 28, 8).ceiling().type(), (DecType{28, 0}));
    EXPECT_EQ((-D("1.5")).toString(), "-1.5");
    EXPECT_EQ((-D("0.0")).toString(), "0.0");
}

TEST(Decimal, ComparesByValueWhateverTheScale)
{
    struct Case { const char* a; const char* b; int order; };
    const Case cases[] = {
        {"5", "5.00000000", 0},
        {"-0.5", "0", -1},
        {"0.1", "0.10000001", -1},
        {"-1.1", "-1.09", -1},
        {"1", "0.99999999999999999999999999999999999999", 1},
        {"99999999999999999999999999999999999999", "99999999999999999999.99999999", 1},
        {"-0.00", "0", 0},
        {"10", "9.99999999", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(Decimal::compare(D(c.a), D(c.b)), c.order);
        EXPECT_EQ(Decimal::compare(D(c.b), D(c.a)), -c.order);
        EXPECT_EQ(kvdec::compareNumericText(c.a, c.b), c.order);
    }
    EXPECT_TRUE(D("5") == D("5.000"));
    EXPECT_TRUE(D("4.999") < D("5"));
}

TEST(Decimal, ComparesNumericTexts)
{
    struct Case { const char* a; const char* b; int order; };
    const Case cases[] = {
        {"10", "9", 1},
        {"-10", "-9", -1},
        {"0", "-0", 0},
        {"1e2", "100.0", 0},
        {"1.0e-08", "0.00000001", 0},
        {" 5", "5 ", 0},
        {"0.001", "0.0009", 1},
        {"007.50", "7.5", 0},
        {"+3", "3", 0},
        {"abc", "1", 1},
        {"abc", "abd", -1},
        {"", "0", 1},
        {"ab", "abc", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " vs " + c.b);
        EXPECT_EQ(kvdec::compareNumericText(c.a, c.b), c.order);
        EXPECT_EQ(kvdec::compareNumericText(c.b, c.a), -c.order);
    }
}

TEST(Decimal, OverflowAndDivideByZeroCarryTheServerNumbers)
{
    const Decimal max28 = D("99999999999999999999.99999999", 28, 8);
    EXPECT_EQ(errorOf([&] { max28* max28; }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([&] { Decimal::apply(Op::Add, max28, max28, {28, 8}); }), kvdec::ErrOverflow);
    EXPECT_EQ(errorOf([&] { max28 + max28; }), 0);
    EXPECT_EQ(errorOf([] { D("1e30", 38, 0) / D("0.0000001", 38, 7); }), kvdec::ErrOverflow);
    for (const char* zero : {"0", "0.00", "-0.0"}) {
        try {
            D("1.5") / D(zero);
            FAIL() << zero;
        } catch (const kvdec::DecimalError& e) {
            EXPECT_EQ(e.number(), 8134);
            EXPECT_STREQ(e.what(), "Divide by zero error encountered.");
        }
    }
    try {
        max28* max28;
        FAIL();
    } catch (const kvdec::DecimalError& e) {
        EXPECT_EQ(e.number(), 8115);
        EXPECT_STREQ(e.what(), "Arithmetic overflow error converting expression to data type numeric.");
    }
}

TEST(Decimal, SplitsErrorMessages)
{
    int number = -1;
    std::string text;
    EXPECT_TRUE(kvdec::splitErrorMessage("8134|Divide by zero error encountered.", number, text));
    EXPECT_EQ(number, 8134);
    EXPECT_EQ(text, "Divide by zero error encountered.");
    EXPECT_FALSE(kvdec::splitErrorMessage("no such function: dec_x", number, text));
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "no such function: dec_x");
    EXPECT_FALSE(kvdec::splitErrorMessage("|x", number, text));
}
