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
    };
    for (const Case& c : cases) {
        AssemblyResult r = Assemble(c.source);
        EXPECT_FALSE(r.ok) << c.source;
        EXPECT_EQ(r.error, c.error) << c.source;
    }
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
