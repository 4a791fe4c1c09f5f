#include "text/ArgFormat.h"

#include <gtest/gtest.h>

#include "text/Codepage.h"

namespace text {
namespace {

TEST(FormatArgument, EachSpecificationGetsTheTypeItAsksFor) {
    struct Case {
        const char* spec;
        TextArg arg;
        const char* out;
    } cases[] = {
        {"%d", 42, "42"},
        {"%d", "17abc", "17"},
        {"%d", 2.9, "2"},
        {"%d", "not a number", "0"},
        {"%02d", 5, "05"},
        {"%-4d", 5, "5   "},
        {"%d", 4294967297LL, "1"},  // integers are 32-bit unless "ll" asks for more
        {"%lld", 4294967297LL, "4294967297"},
        {"%x", -1, "ffffffff"},
        {"%lX", 3054, "BEE"},
        {"%02X", 10, "0A"},
        {"%u", -1, "4294967295"},
        {"%c", 65, "A"},
        {"%c", "Hello", "H"},
        {"%.10s", "abcdefghijkl", "abcdefghij"},
        {"%s", 12, "12"},
        {"%s", TextArg::Char('q'), "q"},
        {"%02.1lf", 3, "3.0"},
        {"%.2f", "2.5", "2.50"},
        {"%.9f", 0.1, "0.100000001"},  // single precision without "l"
        {"%.9lf", 0.1, "0.100000000"},
        {"%E", 1.0, "1.000000E+00"},
        {"%n", 5, "5"},      // never written through
        {"%*d", 5, "5"},     // no width from the argument list
        {"%5$s", "x", "x"},  // malformed: as a string
        {"%", "y", "y"},
        {"%-D", 7, "7"},
        {"%999999999d", 1, nullptr},
    };
    for (const Case& c : cases) {
        std::string out = FormatArgument(c.spec, c.arg);
        if (c.out) {
            EXPECT_EQ(out, c.out) << c.spec;
        } else {
            EXPECT_EQ(out.size(), static_cast<size_t>(kMaxFieldWidth)) << c.spec;
        }
    }
}

TEST(FormatArgument, LongStringsAreCutWithoutFormatting) {
    EXPECT_EQ(FormatArgument("%-100s", std::string(81, 'a')), std::string(80, 'a'));
    EXPECT_EQ(FormatArgument("%-82s", std::string(80, 'a')), std::string(80, 'a') + "  ");
}

TEST(Codepage, RoundTripsAndRejectsWhatItCannotHold) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    std::string back;
    ASSERT_TRUE(Utf8ToCp1252(Cp1252ToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(Cp1252ToUtf8("\x80 caf\xE9 \x9C"), "\u20AC caf\u00E9 \u0153");

    size_t bad = 0;
    EXPECT_FALSE(Utf8ToCp1252("ok \u4E2D", back, &bad));
    EXPECT_EQ(bad, 3u);
    EXPECT_FALSE(Utf8ToCp1252("a\xC3", back, &bad));  // cut short
    EXPECT_EQ(bad, 1u);
    EXPECT_FALSE(Utf8ToCp1252("\xC0\xAF", back, &bad));  // overlong
}

TEST(Codepage, LetterCaseMapsPairsBothWays) {
    // Explicit pairs, in Windows-1252: e/E acute, s/S caron, oe/OE, y/Y diaeresis.
    const std::pair<char, char> pairs[] = {
        {'a', 'A'}, {'\xE9', '\xC9'}, {'\x9A', '\x8A'}, {'\x9C', '\x8C'}, {'\xFF', '\x9F'}};
    for (const auto& [lower, upper] : pairs) {
        EXPECT_EQ(Cp1252Upper(lower), upper) << int(static_cast<unsigned char>(lower));
        EXPECT_EQ(Cp1252Lower(upper), lower) << int(static_cast<unsigned char>(upper));
    }
    // Signs, digits and the undefined bytes have no case; every mapped byte maps back.
    for (char c : {'\xD7', '\xF7', '1', '\x81', '@'}) {
        EXPECT_EQ(Cp1252Upper(c), c);
        EXPECT_EQ(Cp1252Lower(c), c);
    }
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        if (Cp1252Upper(c) != c) {
            EXPECT_EQ(Cp1252Lower(Cp1252Upper(c)), c) << b;
        }
        if (Cp1252Lower(c) != c) {
            EXPECT_EQ(Cp1252Upper(Cp1252Lower(c)), c) << b;
        }
    }
}

}  // namespace
}  // namespace text
