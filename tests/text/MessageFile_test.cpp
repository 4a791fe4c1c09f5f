#include "text/MessageFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/LittleEndian.h"
#include "platform/Path.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"
#include "text/MessageCodec.h"
#include "text/MessageWriter.h"

namespace text {
namespace {

class MessageFileTest : public ::testing::Test {
  protected:
    // Writes a message file with the given texts into the test folder.
    std::string Make(const std::string& name, std::vector<std::string> texts, int32_t seed = 0,
                     uint32_t modulus = 1009, std::vector<std::string> formats = {}) {
        MessageContent c;
        c.texts = std::move(texts);
        c.seed = seed;
        c.modulus = modulus;
        c.formats = std::move(formats);
        c.major = 2;
        c.minor = 3;
        dir.Write(name, EncodeMessageFile(c));
        return dir / name;
    }
    support::TempFolder dir;
    MessageFile mf;
};

TEST(MessageCodec, KnownAnswers) {
    // Reversed, then XORed with the seed's digits "12"; a '-' counts as the value -3.
    std::string s = "B@@";
    Unscramble(s.data(), s.size(), 12);
    EXPECT_EQ(s, "ABC");
    s = "a\x9C";
    Unscramble(s.data(), s.size(), -3);
    EXPECT_EQ(s, "ab");
    Scramble(s.data(), s.size(), -3);
    EXPECT_EQ(s, "a\x9C");
    EXPECT_EQ(TextChecksum("AB", 1009), 190u);
    EXPECT_EQ(TextChecksum(std::string_view("AB\0CD", 5), 1009), 190u);  // up to the NUL
    EXPECT_EQ(TextChecksum("AB", 0), 0u);
    // The multiplication wraps at 32 bits before the remainder is taken.
    EXPECT_EQ(TextChecksum("\xFF\xFF\xFF\xFF\xFF\xFF", 4294967291u), 3272356031u);
}

TEST_F(MessageFileTest, ReadsPlainAndScrambledFiles) {
    for (int32_t seed : {0, 4711, -305}) {
        Make("M.MSG", {"zero", "", "two\r\nlines", std::string(3000, 'w')}, seed, 1009, {"", "%d"});
        ASSERT_TRUE(mf.Open(dir / "M.MSG")) << seed;
        EXPECT_EQ(mf.State(), MessageFile::kOpen);
        EXPECT_EQ(mf.Seed(), seed);
        EXPECT_EQ(mf.RecordCount(), 4);
        EXPECT_EQ(mf.MajorVersion(), 2);
        EXPECT_EQ(mf.MinorVersion(), 3);
        EXPECT_EQ(mf.RawText(0), "zero");
        EXPECT_EQ(mf.RawText(1), "");
        EXPECT_EQ(mf.RawText(2), "two\nlines");
        EXPECT_EQ(mf.RawText(3), std::string(3000, 'w'));
        EXPECT_EQ(mf.RawText(4), "");
        EXPECT_EQ(mf.RawText(-1), "");
        EXPECT_EQ(mf.RecordSize(0), 9);
        EXPECT_EQ(mf.RecordSize(4), 0);
        EXPECT_EQ(mf.FormatCount(), 2);
        EXPECT_EQ(mf.Format(1), "%d");
        mf.SetKeepCrLf(true);
        EXPECT_EQ(mf.RawText(2), "two\r\nlines");
    }
}

TEST_F(MessageFileTest, ChecksumMismatchGivesFFBytesOfTheSameLength) {
    std::string path = Make("C.MSG", {"good", "bad!"}, 77, 1009);
    std::string bytes = support::TempFolder::Read(dir / "C.MSG");
    const uint32_t record1_end = platform::LoadLeU32(bytes.data() + 32);
    bytes[record1_end - 1] ^= 0x40;  // the stored checksum of record 1
    dir.Write("C.MSG", bytes);
    ASSERT_TRUE(mf.Open(path));
    EXPECT_EQ(mf.RawText(1), "bad!");  // no checking without a modulus
    EXPECT_EQ(mf.CountBadRecords(), 0);
    mf.SetCheckModulus(MessageFile::kStandardModulus);
    EXPECT_EQ(mf.RawText(0), "good");
    EXPECT_EQ(mf.RawText(1), "\xFF\xFF\xFF\xFF");
    EXPECT_EQ(mf.CountBadRecords(), 1);
    mf.SetCheckModulus(13);  // the wrong modulus fails every non-trivial text
    EXPECT_EQ(mf.CountBadRecords(), 2);
}

// Byte surgery on a valid file: each corruption must give a clean failure or empty texts.
TEST_F(MessageFileTest, CorruptFilesNeverReadOutside) {
    const std::string good = [&] {
        MessageContent c;
        c.texts = {"aa", "bb", "cc"};
        c.formats = {"%d", "%s"};
        c.seed = 12;
        return EncodeMessageFile(c);
    }();
    auto put32 = [](std::string s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
        return s;
    };
    struct Case {
        const char* what;
        std::string bytes;
        int state;
        int records;
    } cases[] = {
        {"decreasing table", put32(good, 28, 60), MessageFile::kBadTable, 0},
        {"entry past the end", put32(good, 32, 100000), MessageFile::kBadTable, 0},
        {"table past the end", put32(good, 24, 0x7FFFFFF0), MessageFile::kBadTable, 0},
        {"first entry before table", put32(good, 24, 8), MessageFile::kBadTable, 0},
        {"negative table offset", good.substr(0, 2) + "\xFF\xFF" + good.substr(4),
         MessageFile::kBadTable, 0},
        {"short header", good.substr(0, 10), MessageFile::kBadTable, 0},
        {"empty file", "", MessageFile::kBadTable, 0},
        {"cut in the records", good.substr(0, 50), MessageFile::kBadTable, 0},
        {"format length lies", put32(good, good.size() - 12, 0xFFFFFF00), MessageFile::kOpen, 3},
    };
    for (const Case& c : cases) {
        dir.Write("X.MSG", c.bytes);
        mf.Open(dir / "X.MSG", 1009);
        EXPECT_EQ(mf.State(), c.state) << c.what;
        EXPECT_EQ(mf.RecordCount(), c.records) << c.what;
        for (int i = -1; i < 5; ++i) {
            mf.GetText(i, 1, "x");
            mf.RawText(i);
        }
        EXPECT_EQ(mf.FormatCount(), 0) << c.what;  // no formats from a damaged block
        mf.CountBadRecords();
        mf.PreloadAll();
    }
}

TEST_F(MessageFileTest, RecordsTooShortForTheirChecksumAreEmpty) {
    std::string bytes = EncodeMessageFile(MessageContent{.texts = {"abc", "def"}, .formats = {}});
    // Move the boundary between the records so record 0 is 3 bytes long.
    bytes[28] = static_cast<char>(platform::LoadLeU32(bytes.data() + 24) + 3);
    dir.Write("S.MSG", bytes);
    ASSERT_TRUE(mf.Open(dir / "S.MSG", 1009));
    EXPECT_EQ(mf.RawText(0), "");
    EXPECT_EQ(mf.CountBadRecords(), 2);
}

TEST_F(MessageFileTest, LinkFileOpensTheFileItNames) {
    Make("EN/LESSON.MSG", {"english"});
    Make("LESSON.MSG", {"%@[..\\EN -1]"});
    ASSERT_TRUE(mf.Open(dir / "LESSON.MSG"));
    EXPECT_EQ(mf.FullPath(), dir / "EN/LESSON.MSG");
    EXPECT_EQ(mf.RawText(0), "english");

    Make("ONE.MSG", {"just one"});
    ASSERT_TRUE(mf.Open(dir / "ONE.MSG"));
    EXPECT_EQ(mf.GetText(0), "just one");
}

TEST_F(MessageFileTest, LinkFilesThatLoopFailCleanly) {
    Make("SELF.MSG", {"%@[.. -1]"});  // names itself
    EXPECT_FALSE(mf.Open(dir / "SELF.MSG"));
    EXPECT_EQ(mf.RecordCount(), 0);
    Make("A/F.MSG", {"%@[..\\..\\B -1]"});
    Make("B/F.MSG", {"%@[..\\..\\A -1]"});
    EXPECT_FALSE(mf.Open(dir / "A/F.MSG"));
    EXPECT_EQ(mf.GetText(0), "");
    Make("A/F.MSG", {"%@[..\\..\\B -1]"});
    Make("B/F.MSG", {"%@[F 0]"});  // a link file that includes from itself
    mf.Open(dir / "B/F.MSG");
}

TEST_F(MessageFileTest, IncludesFromThisAndOtherFiles) {
    Make("OTHER.MSG", {"o0", "o1 %1 %@[0]"}, 555, 555);
    // Scrambled with this file's seed but without a seed of its own in the header.
    Make("PLAIN.MSG", {"p0"}, 99, 1009);
    std::string plain = support::TempFolder::Read(dir / "PLAIN.MSG");
    plain.replace(4, 4, 4, '\0');
    dir.Write("PLAIN.MSG", plain);
    Make("M.MSG", {"zero", "[%@[0]|%@[OTHER 1]|%@[2]|%@[NONE 0]|%@[9]]", "two", "%@[? 0]"}, 99,
         1009);
    ASSERT_TRUE(mf.Open(dir / "M.MSG"));
    mf.SetCheckModulus(1009);
    // Included texts are inserted as they are; their own codes are not expanded again.
    EXPECT_EQ(mf.GetText(1, "A"), "[zero|o1 A %@[0]|two||]");
    mf.SetLinkPath("PLAIN");
    EXPECT_EQ(mf.GetText(3), "p0");
}

TEST_F(MessageFileTest, OtherFilesAreCheckedWithTheirSeedAsModulus) {
    Make("OWN.MSG", {"own"}, 4711, 4711);
    Make("WRONG.MSG", {"wrong"}, 4711, 1009);
    Make("M.MSG", {"%@[OWN 0] %@[WRONG 0]", "x"});
    ASSERT_TRUE(mf.Open(dir / "M.MSG"));
    EXPECT_EQ(mf.GetText(0), "own wrong");
    mf.SetCheckModulus(1009);
    EXPECT_EQ(mf.GetText(0), "own \xFF\xFF\xFF\xFF\xFF");
}

TEST_F(MessageFileTest, MissingFilesAreReportedWhenAsked) {
    support::RecordingNotifier recorder;
    mf.SetNotifier(&recorder);
    Make("M.MSG", {"[%@[GONE 1]]", "%#[2]"});
    ASSERT_TRUE(mf.Open(dir / "M.MSG"));
    EXPECT_EQ(mf.GetText(0), "[]");
    EXPECT_EQ(recorder.Count(), 0u);
    mf.SetShowErrors(true);
    EXPECT_EQ(mf.GetText(1), "");
    ASSERT_EQ(recorder.Count(), 1u);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], dir / "M.CNV|File not found");
    EXPECT_FALSE(mf.Open(dir / "NOPE.MSG"));
    EXPECT_EQ(mf.State(), MessageFile::kClosed);
    EXPECT_EQ(recorder.Count(), 2u);
    mf.SetNotifier(nullptr);
}

TEST_F(MessageFileTest, RelativePathsAreCompletedFromTheProgramPath) {
    Make("MSG/FR/COMMON.MSG", {"bonjour"});
    Make("PLAYER.MSG", {"default"});
    mf.SetProgramPath("");
    EXPECT_FALSE(mf.Open("MSG\\FR\\COMMON.MSG"));
    EXPECT_EQ(mf.State(), MessageFile::kNoPath);
    EXPECT_FALSE(mf.OpenDefault());
    EXPECT_EQ(mf.State(), MessageFile::kNoPath);
    mf.SetProgramPath(dir / "PLAYER");
    ASSERT_TRUE(mf.Open("MSG\\FR\\COMMON"));
    EXPECT_EQ(mf.RawText(0), "bonjour");
    ASSERT_TRUE(mf.OpenDefault());
    EXPECT_EQ(mf.RawText(0), "default");
}

TEST_F(MessageFileTest, ArgumentsFollowTheFormatEntry) {
    Make("A.MSG",
         {"Score %1 of %2", "%2 only", "%0 and %% stay, %g%", "%1", "%1|%2|%3|%4", "%1 %A"}, 0, 0,
         {"%d %d", "%d %d", "", "", "%c %05.1lf %x %-4s"});
    ASSERT_TRUE(mf.Open(dir / "A.MSG"));
    EXPECT_EQ(mf.GetText(0, 3, 10), "Score 3 of 10");
    EXPECT_EQ(mf.GetText(1, 3, 10), "10 only");
    mf.SetRaw(true);  // keep the markup letters so the copies can be seen
    EXPECT_EQ(mf.GetText(2, 1), "%0 and %% stay, %g%");
    mf.SetRaw(false);
    EXPECT_EQ(mf.GetText(3, std::string(100, 'x')), std::string(80, 'x'));
    EXPECT_EQ(mf.GetText(3, 2.5), "2.5");  // no format entry: as a string
    // Types converted to what the entry asks for.
    EXPECT_EQ(mf.GetText(4, 65, "3", 255, 7), "A|003.0|ff|7   ");
    EXPECT_EQ(mf.GetText(4, TextArg::Char('z'), 2, "x", "long"), "z|002.0|0|long");
    // Missing arguments insert nothing.
    EXPECT_EQ(mf.GetText(5, "one"), "one ");
}

TEST_F(MessageFileTest, ConversionLinesComeFromTheConversionFile) {
    Make("LESSON.CNV", {"", "", "", "metric\r\nimperial", "only"});
    Make("UNITS.CNV", {"", "", "bar\npsi"});
    Make("LESSON.MSG", {"[%#[3]] [%#[UNITS 2]] [%#[4]] [%#[9]] [%#[NONE 1]]"});
    ASSERT_TRUE(mf.Open(dir / "LESSON.MSG"));
    EXPECT_EQ(mf.GetText(0), "[metric] [bar] [only] [] []");
    mf.SetConversionLine(1);
    EXPECT_EQ(mf.GetText(0), "[imperial] [psi] [] [] []");
}

TEST_F(MessageFileTest, MarkupBecomesSpans) {
    Make("K.MSG", {"%r%[Red%] and %o%i%[Bold italic%]", "%[%rRed%]", "%$[Arial]%u%[a%[b%]c%]d",
                   "x%[open", "100%% %q %$[Courier", "", "%]%]x"});
    ASSERT_TRUE(mf.Open(dir / "K.MSG"));
    EXPECT_EQ(mf.GetText(0), "Red and Bold italic");
    ASSERT_EQ(mf.SpanCount(), 2);
    EXPECT_EQ(std::make_tuple(mf.SpanStart(0), mf.SpanLength(0), mf.SpanColour(0), mf.SpanStyle(0)),
              std::make_tuple(0, 3, 1, 0));
    EXPECT_EQ(std::make_tuple(mf.SpanStart(1), mf.SpanLength(1), mf.SpanColour(1), mf.SpanStyle(1)),
              std::make_tuple(8, 11, 0, MessageFile::kBold | MessageFile::kItalic));

    EXPECT_EQ(mf.GetText(1), "Red");
    ASSERT_EQ(mf.SpanCount(), 1);
    EXPECT_EQ(mf.SpanColour(0), 0);  // the colour came after the span began

    EXPECT_EQ(mf.GetText(2), "abcd");
    ASSERT_EQ(mf.SpanCount(), 2);
    EXPECT_EQ(mf.SpanFont(0), "Arial");
    EXPECT_EQ(std::make_tuple(mf.SpanStart(0), mf.SpanLength(0)), std::make_tuple(0, 3));
    EXPECT_EQ(std::make_tuple(mf.SpanStart(1), mf.SpanLength(1), mf.SpanColour(1)),
              std::make_tuple(1, 1, 3));

    EXPECT_EQ(mf.GetText(3), "xopen");  // an unended span runs to the end
    ASSERT_EQ(mf.SpanCount(), 1);
    EXPECT_EQ(std::make_tuple(mf.SpanStart(0), mf.SpanLength(0)), std::make_tuple(1, 4));

    EXPECT_EQ(mf.GetText(4), "100%% %q ");
    EXPECT_EQ(mf.SpanCount(), 0);
    EXPECT_EQ(mf.GetText(5), "");
    EXPECT_EQ(mf.SpanCount(), 0);
    EXPECT_EQ(mf.GetText(6), "x");  // ends without a begin are dropped

    mf.SetRaw(true);
    EXPECT_EQ(mf.GetText(1), "%[%rRed%]");
}

TEST_F(MessageFileTest, ShowNumbersReplacesEveryText) {
    std::vector<std::string> texts(13, "t");
    texts[12] = "a %@[0] b";
    texts[11] = "plain";
    Make("N.MSG", texts);
    ASSERT_TRUE(mf.Open(dir / "N.MSG"));
    mf.SetShowNumbers(true);
    EXPECT_EQ(mf.GetText(12), "#12@");
    EXPECT_EQ(mf.GetText(11), "#11");
}

TEST_F(MessageFileTest, PreloadServesRawTextsFromMemory) {
    Make("P.MSG", {"alpha", "beta"});
    ASSERT_TRUE(mf.Open(dir / "P.MSG"));
    mf.PreloadAll();
    {
        std::fstream f(dir / "P.MSG", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(24 + 12);
        f << "ALPHA";
    }
    EXPECT_EQ(mf.RawText(0), "alpha");
    EXPECT_EQ(mf.GetText(1), "beta");
}

TEST_F(MessageFileTest, VersionCheckReportsMismatch) {
    support::RecordingNotifier recorder;
    mf.SetNotifier(&recorder);
    Make("V.MSG", {"v"});
    ASSERT_TRUE(mf.Open(dir / "V.MSG"));
    EXPECT_TRUE(mf.CheckVersion(2, 3));
    EXPECT_FALSE(mf.CheckVersion(2, 4));
    EXPECT_EQ(recorder.Count(), 0u);
    mf.SetShowErrors(true);
    EXPECT_FALSE(mf.CheckVersion(1, 3));
    ASSERT_EQ(recorder.Count(), 1u);
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0], "V.MSG 2.3|Invalid data");
    mf.SetNotifier(nullptr);
}

TEST_F(MessageFileTest, BuiltInFormatTables) {
    Make("COMMON.MSG", {"%1 %2 %3", "%1"});
    ASSERT_TRUE(mf.Open(dir / "COMMON.MSG"));
    mf.InstallFormats(MessageFile::CommonFormats());
    EXPECT_EQ(mf.FormatCount(), 126);
    EXPECT_EQ(mf.Format(7), "%s %d %d");
    EXPECT_EQ(mf.Format(100), "%lX %lX %lX %lX");
    EXPECT_EQ(mf.Format(8), "");
    mf.InstallFormats(MessageFile::EngineFormats());
    EXPECT_EQ(mf.FormatCount(), 12);
    EXPECT_EQ(mf.Format(5), "%s %d %s %s %d");
}

}  // namespace
}  // namespace text
