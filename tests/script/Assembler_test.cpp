#include "script/Assembler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "script/CommandTable.h"

namespace script {
namespace {

std::vector<uint8_t> Words(std::initializer_list<int> words) {
    std::vector<uint8_t> b;
    for (int w : words) {
        b.push_back(static_cast<uint8_t>(w & 0xFF));
        b.push_back(static_cast<uint8_t>((w >> 8) & 0xFF));
    }
    return b;
}

TEST(Assemble, EncodesCommandsKeywordsAndLabels) {
    AssemblyResult r = Assemble(
        ".lines off\n"
        "top:\n"
        "  MoveTo 1, -2, &3 @ 7 Var   # object 7 of kind Var\n"
        "  $0 = BmpExist 7\n"
        "  GoTo top\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.bytes, Words({3, -1, 5, 1, 5, -2, 4, 3, 7, 4,  // MoveTo, trailer
                              87, 0, 5, 7,                     // BmpExist into slot 0
                              1012, 0}));                      // GoTo 0
}

TEST(Assemble, PicksTheFormByArgumentCountAndNamesOptions) {
    AssemblyResult r = Assemble(
        ".lines off\nMask 3 @ 1\nMask \"S\", 2 @ 1\n"
        "$1 = DialogBox \"Q\", YESNOCANCEL\nPlay \"DING\", loop\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.bytes[0], kOpBlink);
    EXPECT_EQ(r.bytes[12], kOpSeries);
    std::string dis = Disassemble(r.bytes);
    EXPECT_NE(dis.find("Mask#51 3 @ 1 Bmp"), std::string::npos) << dis;
    EXPECT_NE(dis.find("$1 = DialogBox#75 \"Q\", YESNOCANCEL"), std::string::npos) << dis;
    EXPECT_NE(dis.find("Play \"DING\", LOOP"), std::string::npos) << dis;
}

TEST(Assemble, EmitsNumlineBeforeEachCommandLine) {
    AssemblyResult r = Assemble("# comment\n\nShow @ 1\nLoop 2, out\nHide @ 1\nout:\n");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.bytes, Words({1018, 3, 8, -1, 1, 2,     // Numline 3, Show
                              1008, 2, 30,              // Loop 2 (exit at byte 30)
                              1018, 5, 9, -1, 1, 2}));  // Numline 5, Hide
}

TEST(Assemble, ReportsErrorsWithTheirLine) {
    struct Case {
        const char* source;
        const char* error;
    } cases[] = {
        {"Frobnicate 1", "line 1: unknown command Frobnicate"},
        {"\nBmp \"A\", 1 @ 1", "line 2: no form of Bmp takes 2 arguments"},
        {"Show", "line 1: Show needs an object: @ id [Kind]"},
        {"Timer 50 @ 3", "line 1: Timer takes no object"},
        {"GoTo nowhere", "line 1: unknown label nowhere"},
        {"Hint \"open", "line 1: unterminated string"},
        {"Color PURPLE @ 1", "line 1: unknown option PURPLE for Color"},
        {"a:\na:", "line 2: label a defined twice"},
        {"Show @ 1 Sprite", "line 1: unknown object kind Sprite"},
        {"Timer 70000", "line 1: bad integer 70000"},
        {"Timer hello", "line 1: bad argument hello"},
        {"Hint \"\\x4\" @ 1", "line 1: \\x needs two hex digits"},
        // Values that do not fit their 16 or 8 bits are refused, not wrapped.
        {".word 70000", "line 1: .word 70000 is out of range (-32768 to 65535)"},
        {".word 1, -32769", "line 1: .word -32769 is out of range (-32768 to 65535)"},
        {".byte 300", "line 1: .byte 300 is out of range (-128 to 255)"},
        {"$99999 = Timer 5", "line 1: result slot $99999 is out of range (-32768 to 32767)"},
        {"Size _70000, _ @ 1", "line 1: tag _70000 is out of range (-32768 to 32767)"},
        {"Show @ 1 70000", "line 1: object kind 70000 is out of range (-32768 to 32767)"},
        {".word 99999999999999999999",
         "line 1: .word 99999999999999999999 is out of range (-32768 to 65535)"},
    };
    for (const Case& c : cases) {
        AssemblyResult r = Assemble(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.error, c.error) << c.source;
    }
}

TEST(Assemble, KeepsValuesAtTheEdgesOfTheirRange) {
    AssemblyResult r = Assemble(
        ".lines off\n.word -32768, 65535\n.byte -128, 255\n$32767 = Timer 5\n$-2 = Timer 5\n");
    ASSERT_TRUE(r.ok) << r.error;
    std::vector<uint8_t> want = Words({-32768, -1});
    want.insert(want.end(), {0x80, 0xFF});
    for (int w : Words({83, 32767, 5, 5, 83, -2, 5, 5})) want.push_back(static_cast<uint8_t>(w));
    EXPECT_EQ(r.bytes, want);
}

// Numline keeps the source line in 16 bits: a command past line 32767 is refused while line
// numbers are emitted, and accepted after .lines off.
TEST(Assemble, RefusesLineNumbersNumlineCannotHold) {
    const std::string padding(32767, '\n');
    AssemblyResult with_lines = Assemble("Timer 5" + padding + "Timer 6\n");
    EXPECT_FALSE(with_lines.ok);
    EXPECT_EQ(with_lines.error,
              "line 32768: Numline holds line numbers up to 32767 (write .lines off above here)");
    AssemblyResult last = Assemble(padding.substr(1) + "Timer 6\n");
    ASSERT_TRUE(last.ok) << last.error;
    EXPECT_EQ(last.bytes, Words({1018, 32767, 83, -1, 5, 6}));
    AssemblyResult without = Assemble(".lines off" + padding + "Timer 6\n");
    ASSERT_TRUE(without.ok) << without.error;
    EXPECT_EQ(without.bytes, Words({83, -1, 5, 6}));
}

TEST(Disassemble, ReassemblesToTheSameBytes) {
    const char* source =
        "Bmp \"CAR\", 10, 20 @ 5\n"
        "Ident \"caf\xC3\xA9 \\\"1\\\"\" @ 5\n"
        "MetrixLin 0.5, 1e+10, 2, 3, 4 @ 5\n"
        "head:\n"
        "Loop 3, done\n"
        "If &1, \"yes\", done\n"
        "Case LANG, \"FR\", done\n"
        "$2 = ReadMessage 4, \"TEXTS\"\n"
        "EndLoop head\n"
        "done:\n"
        "Size _, _9 @ Background\n"
        ".word 2000\n"
        "Info 1, 2, 3, 4\n"
        "Symbol\n";
    AssemblyResult a = Assemble(source);
    ASSERT_TRUE(a.ok) << a.error;
    AssemblyResult b = Assemble(Disassemble(a.bytes));
    ASSERT_TRUE(b.ok) << b.error << "\n" << Disassemble(a.bytes);
    EXPECT_EQ(a.bytes, b.bytes);
}

// A real argument holding the 32 bits given: Timer with tag 6.
std::vector<uint8_t> TimerWithReal(uint32_t bits) {
    std::vector<uint8_t> b = Words({83, -1, 6});
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    return b;
}

TEST(Disassemble, RealsComeBackBitForBit) {
    // Printed forms of the values that have no decimal spelling.
    struct Case {
        uint32_t bits;
        const char* text;
    } named[] = {
        {0x7FC00000u, "Timer nan"},           {0xFFC00000u, "Timer -nan"},
        {0x7FC00001u, "Timer nan(0x400001)"}, {0xFF800001u, "Timer -nan(0x1)"},
        {0x7F800000u, "Timer inf"},           {0xFF800000u, "Timer -inf"},
        {0x80000000u, "Timer -0.0"},          {0x00000001u, "Timer 1.40129846e-45"},
    };
    for (const Case& c : named) {
        std::string dis = Disassemble(TimerWithReal(c.bits));
        EXPECT_NE(dis.find(std::string(c.text) + "    ;"), std::string::npos) << dis;
    }
    // Every pattern of a sweep through the 32-bit space, and the named ones, in one script.
    std::vector<uint8_t> bytes;
    auto add = [&](uint32_t bits) {
        std::vector<uint8_t> one = TimerWithReal(bits);
        bytes.insert(bytes.end(), one.begin(), one.end());
    };
    for (const Case& c : named) add(c.bits);
    for (uint32_t bits : {0x007FFFFFu, 0x00800000u, 0x7F7FFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu,
                          0x7FBFFFFFu, 0x3EAAAAABu})
        add(bits);
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 1000003) add(static_cast<uint32_t>(bits));
    for (uint32_t mantissa = 1; mantissa <= 0x7FFFFFu; mantissa += 65519) {
        add(0x7F800000u | mantissa);
        add(0xFF800000u | mantissa);
    }
    AssemblyResult back = Assemble(Disassemble(bytes));
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_TRUE(back.bytes == bytes);
    // A real also comes back where the signature expects an option word.
    AssemblyResult play = Assemble(".lines off\nPlay \"D\", -nan(0x5)\n");
    ASSERT_TRUE(play.ok) << play.error;
    AssemblyResult play_back = Assemble(Disassemble(play.bytes));
    ASSERT_TRUE(play_back.ok) << play_back.error;
    EXPECT_EQ(play_back.bytes, play.bytes);
}

TEST(Disassemble, PrintsCutAndUnknownBytesWithoutFailing) {
    std::vector<uint8_t> bytes = Words({2000, 0, -1, 7});  // unknown opcode, then a cut Bmp
    bytes.push_back('A');
    std::string dis = Disassemble(bytes);
    EXPECT_NE(dis.find(".word 2000    ; @0"), std::string::npos) << dis;
    EXPECT_NE(dis.find(".byte 65    ; @8"), std::string::npos) << dis;
    AssemblyResult back = Assemble(dis);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.bytes, bytes);
    // A jump into the middle of an instruction keeps its number instead of a label.
    std::vector<uint8_t> odd = Words({1012, 1, 1013});
    AssemblyResult odd_back = Assemble(Disassemble(odd));
    ASSERT_TRUE(odd_back.ok) << odd_back.error;
    EXPECT_EQ(odd_back.bytes, odd);
}

}  // namespace
}  // namespace script

namespace script {
namespace {

// Every script of the fuzzing seed corpus, garbage included, prints and assembles back to the
// same bytes.
TEST(Disassemble, SeedCorpusRoundTrips) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(SCRIPT_CORPUS_DIR)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
        AssemblyResult back = Assemble(Disassemble(bytes));
        ASSERT_TRUE(back.ok) << entry.path() << ": " << back.error;
        EXPECT_EQ(back.bytes, bytes) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace script
