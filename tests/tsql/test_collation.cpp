// The text order of comparisons, joins and indexes on text keys: case does
// not count, trailing blanks do not count; plain ASCII texts take a byte path
// that must order every text as the general path does.
#include "Functions.h"

#include <random>
#include <string>
#include <vector>
#include <gtest/gtest.h>

using kvtsql::compareText;
using kvtsql::compareTextUnicode;

namespace {

int order(const std::string& a, const std::string& b)
{
    return compareText(a.data(), int(a.size()), b.data(), int(b.size()));
}

int generalOrder(const std::string& a, const std::string& b)
{
    return compareTextUnicode(a.data(), int(a.size()), b.data(), int(b.size()));
}

} // namespace

TEST(TextCollation, TableOfCases)
{
    using namespace std::string_literals;
    struct Case {
        std::string a, b;
        int expected;
    };
    const Case cases[] = {
        {"", "", 0},
        {"", "   ", 0},
        {"abc", "ABC", 0},
        {"abc   ", "ABC", 0},
        {"abc", "abd", -1},
        {"ABD", "abc", 1},
        {"ab", "abc", -1},
        {" abc", "abc", -1}, // leading blanks count
        {"a", "a\t", -1},    // only blanks are trailing blanks
        {"_", "a", -1},      // '_' lies between 'Z' and 'a': case folding puts it before letters
        {"_", "A", -1},
        {"[", "b", -1},
        {"@", "a", -1},
        {"ITEM-000123-A", "item-000123-a", 0},
        {"ITEM-000123-A", "item-000123-b", -1},
        {"ITEMCODE-LONG-0000001", "itemcode-long-0000002", -1},
        {"ITEMCODEX", "itemcodeY", -1},  // difference in the ninth byte
        {"ITEMCODE", "itemcode ", 0},    // a blank after eight bytes
        {"ITEMCODE", "itemcodea", -1},
        {"a\0b"s, "a\0c"s, -1},          // embedded NULs are ordinary characters
        {"A\0B"s, "a\0b"s, 0},
        {"a\0"s, "a"s, 1},
        {"螺丝", "螺丝  ", 0},
        {"螺丝", "螺母", generalOrder("螺丝", "螺母")},
        {"ABCDEFGH螺丝", "abcdefgh螺丝", 0},
        {"ÉCROU", "écrou", 0},           // letters beyond ASCII ignore case too
        {"abcdefgh É", "ABCDEFGH é ", 0},
        {"zzzzzzzz", "zzzzzzzzé", -1},
        {"abcdefgi中", "abcdefgh中", 1}, // decided in ASCII before the Chinese text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.a + "' vs '" + c.b + "'");
        EXPECT_EQ(order(c.a, c.b), c.expected);
        EXPECT_EQ(order(c.b, c.a), -c.expected);
        EXPECT_EQ(generalOrder(c.a, c.b), c.expected);
    }
}

TEST(TextCollation, ByteOrderMatchesTheGeneralOrderForAnyText)
{
    // texts built from pieces where the orders could part: both cases of
    // letters, the characters between 'Z' and 'a', blanks, NULs, accented and
    // Chinese letters; pairs share long prefixes so that the difference falls
    // at every position of an eight-byte word
    const std::vector<std::string> pieces = {"a", "A", "z", "Z", "m", "M", "_", "[", "`", "@", "{", " ", "0", "9",
                                             std::string(1, '\0'), "\t", "é", "É", "中", "文", "ß"};
    std::mt19937 random(46);
    auto piece = [&] { return pieces[random() % pieces.size()]; };
    auto text = [&](int max) {
        std::string t;
        for (int n = int(random() % unsigned(max + 1)); n > 0; --n)
            t += piece();
        return t;
    };
    for (int i = 0; i < 50000; ++i) {
        std::string a = text(24);
        std::string b = a;
        switch (random() % 5) {
        case 0: // another text
            b = text(24);
            break;
        case 1: // one piece replaced
            if (!b.empty()) b[random() % b.size()] = pieces[random() % 14][0];
            break;
        case 2: // case changed
            for (char& c : b)
                if (c >= 'a' && c <= 'z' && random() % 2) c = char(c - 32);
            break;
        case 3: // blanks or more text after it
            b += random() % 2 ? std::string(random() % 3, ' ') : text(4);
            break;
        case 4: // shortened
            b.resize(b.size() / 2);
            break;
        }
        const int expected = generalOrder(a, b);
        ASSERT_EQ(order(a, b), expected) << "'" << a << "' vs '" << b << "'";
        ASSERT_EQ(order(b, a), -expected) << "'" << b << "' vs '" << a << "'";
    }
}
