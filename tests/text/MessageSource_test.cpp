#include "MessageSource.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"
#include "text/MessageFile.h"

namespace msgc {
namespace {

const char* const kSource =
    "# a comment\r\n"
    "@seed 4711\r\n"
    "@version 1.2\n"
    "@modulus 1009\n"
    "\n"
    "[0]\n"
    "Text of record 0\n"
    "[1] %s %d\n"
    "Score of %1: %2\n"
    "[3]\n"
    "\\[not a header]\n"
    "# not a comment here\n"
    "\\\\x caf\xC3\xA9 \xE2\x82\xAC\n"
    "\n"
    "\n"
    "[5]\n"
    "A text of\n"
    "\n"
    "several lines\n";

TEST(MessageSource, CompilesToAFileThatReadsBack) {
    text::MessageContent content;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource(kSource, content, error)) << error.line << error.message;
    EXPECT_EQ(content.seed, 4711);
    EXPECT_EQ(content.modulus, 1009u);

    support::TempFolder dir;
    dir.Write("T.MSG", text::EncodeMessageFile(content));
    text::MessageFile mf;
    ASSERT_TRUE(mf.Open(dir / "T.MSG"));
    mf.SetCheckModulus(1009);
    EXPECT_EQ(mf.CountBadRecords(), 0);
    EXPECT_EQ(mf.Seed(), 4711);
    EXPECT_EQ(mf.MajorVersion(), 1);
    EXPECT_EQ(mf.MinorVersion(), 2);
    ASSERT_EQ(mf.RecordCount(), 6);
    EXPECT_EQ(mf.GetText(0), "Text of record 0");
    EXPECT_EQ(mf.GetText(1, "Ann", 7), "Score of Ann: 7");
    EXPECT_EQ(mf.RawText(2), "");
    EXPECT_EQ(mf.RawText(3), "[not a header]\n# not a comment here\n\\x caf\xE9 \x80");
    EXPECT_EQ(mf.RawText(4), "");
    EXPECT_EQ(mf.RawText(5), "A text of\n\nseveral lines");
    EXPECT_EQ(mf.Format(1), "%s %d");
}

TEST(MessageSource, OneRecordMakesALinkFile) {
    text::MessageContent content;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource("[0]\n%@[..\\GB -1]\n", content, error));
    support::TempFolder dir;
    dir.Write("FR/COMMON.MSG", text::EncodeMessageFile(content));
    text::MessageContent target;
    ASSERT_TRUE(ParseMessageSource("[0]\nEnglish\n[1]\nyes\n", target, error));
    dir.Write("FR/GB/COMMON.MSG", text::EncodeMessageFile(target));
    text::MessageFile mf;
    ASSERT_TRUE(mf.Open(dir / "FR/COMMON.MSG"));
    EXPECT_EQ(mf.GetText(1), "yes");
}

TEST(MessageSource, ErrorsNameTheLine) {
    struct Case {
        std::string source;
        int line;
        const char* words;
    } cases[] = {
        {"hello\n[0]\n", 1, "before the first record header"},
        {"@colour red\n[0]\n", 1, "unknown directive"},
        {"@seed x\n", 1, "@seed"},
        {"@version 1\n", 1, "@version"},
        {"@modulus -1\n", 1, "@modulus"},
        {"[0]\na\n[x]\n", 3, "malformed record header"},
        {"[0]\n[-1]\n", 2, "malformed record header"},
        {"[2]\n[1]\n", 2, "must increase"},
        {"[0]%d\n", 1, "blank"},
        {"[0] %#x\n", 1, "'#'"},
        {"[0]\nok\n\xE4\xB8\xAD\n", 3, "Windows-1252"},
        {"[0]\n\xFF\n", 2, "not valid UTF-8"},
        {std::string("[0]\na\0b\n", 8), 2, "NUL"},
        {"# only a comment\n", 0, "no record header"},
        {"[99999999]\n", 1, "above"},
    };
    for (const Case& c : cases) {
        text::MessageContent content;
        SourceError error;
        EXPECT_FALSE(ParseMessageSource(c.source, content, error)) << c.source;
        EXPECT_EQ(error.line, c.line) << c.source;
        EXPECT_NE(error.message.find(c.words), std::string::npos) << error.message;
    }
}

// CR LF, LF and a lone CR all end a line: the same source with any of them compiles alike, and
// errors name the same line.
TEST(MessageSource, ReadsEveryKindOfLineEnd) {
    const std::string lf = "@seed 4711\n[0]\nFirst\n\nsecond\n[1] %s\nScore %1\n";
    text::MessageContent want;
    SourceError error;
    ASSERT_TRUE(ParseMessageSource(lf, want, error)) << error.message;
    for (const char* end : {"\r\n", "\r"}) {
        std::string source;
        for (char c : lf) source += c == '\n' ? std::string(end) : std::string(1, c);
        text::MessageContent got;
        ASSERT_TRUE(ParseMessageSource(source, got, error)) << error.line << error.message;
        EXPECT_EQ(got.texts, want.texts);
        EXPECT_EQ(got.formats, want.formats);
        EXPECT_EQ(got.seed, 4711);
    }
    EXPECT_EQ(want.texts[0], "First\n\nsecond");
    struct Case {
        std::string source;
        int line;
    } errors[] = {
        {"[0]\ra\r[0]\r", 3},
        {"[0]\r\n\r\n[0]", 3},
        {"[0]\r\ra\n[0]", 4},
        {std::string("[0]\ra\r\nb\0", 10), 3},
    };
    for (const Case& c : errors) {
        text::MessageContent content;
        EXPECT_FALSE(ParseMessageSource(c.source, content, error));
        EXPECT_EQ(error.line, c.line) << error.message;
    }
}

TEST(MessageSource, JsonLinesShowWindows1252AsUnicode) {
    std::vector<text::TextSpan> spans = {{0, 3, 0x19, ""}, {4, 2, 0x20, "Ar\"ial"}};
    EXPECT_EQ(
        JsonRecord(7, "say \"hi\"\n\x01\xE9\xFF\\", spans),
        "{\"n\": 7, \"text\": \"say \\\"hi\\\"\\n\\u0001\xC3\xA9\xC3\xBF\\\\\", \"spans\": ["
        "{\"start\": 0, \"length\": 3, \"colour\": 1, \"style\": 9, \"font\": \"\"}, "
        "{\"start\": 4, \"length\": 2, \"colour\": 2, \"style\": 0, \"font\": \"Ar\\\"ial\"}]}");
    EXPECT_EQ(JsonRecord(0, "", {}), "{\"n\": 0, \"text\": \"\", \"spans\": []}");
}

}  // namespace
}  // namespace msgc
