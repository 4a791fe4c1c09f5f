#include "text/LineFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <regex>

#include "support/TempFolder.h"
#include "text/TraceLog.h"

namespace text {
namespace {

TEST(LineFile, IndexAndReadByNumber) {
    support::TempFolder dir;
    dir.Write("f", "x\ny\n");
    LineFile f;
    ASSERT_TRUE(f.Open(dir / "f", 1));
    EXPECT_EQ(f.LineCount(), 3);
    EXPECT_EQ(f.LongestLine(), 1024);
    std::string line = "junk";
    EXPECT_TRUE(f.ReadLine(line, 3));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(f.ReadLine(line, 4));
    EXPECT_TRUE(f.ReadLine(line, 1));
    EXPECT_EQ(line, "x");
    EXPECT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "y");
    EXPECT_TRUE(f.ReadLine(line));
    EXPECT_FALSE(f.ReadLine(line));
}

TEST(LineFile, LineEndsAndStopBytes) {
    support::TempFolder dir;
    dir.Write("f", std::string("a\r\nb\xFFtail\n") + std::string(3000, 'z'));
    LineFile f;
    ASSERT_TRUE(f.Open(dir / "f", 1));
    EXPECT_EQ(f.LongestLine(), 3001);
    std::string line;
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "a");  // text mode: CR LF reads as a line end
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, "b");  // 0xFF ends the line
    ASSERT_TRUE(f.ReadLine(line));
    EXPECT_EQ(line, std::string(3000, 'z'));

    LineFile bin;
    ASSERT_TRUE(bin.Open(dir / "f", 1 | LineFile::kBinary, '\n'));
    ASSERT_TRUE(bin.ReadLine(line, 1));
    EXPECT_EQ(line, "a\r");
}

TEST(LineFile, AppendKeepsOneLinePerCallAndTheIndexCurrent) {
    support::TempFolder dir;
    dir.Write("f", "first\nno end");
    LineFile f;
    ASSERT_TRUE(f.Open(dir / "f", 11));
    EXPECT_TRUE(f.AppendLine("two\nparts"));
    EXPECT_TRUE(f.AppendLine("last"));
    EXPECT_EQ(support::TempFolder::Read(dir / "f"), "first\nno end\ntwo parts\nlast\n");
    EXPECT_EQ(f.LineCount(), 5);
    std::string line;
    ASSERT_TRUE(f.ReadLine(line, 3));
    EXPECT_EQ(line, "two parts");
    ASSERT_TRUE(f.ReadLine(line, 4));
    EXPECT_EQ(line, "last");
}

TEST(LineFile, AppendFormattedHasNoLengthLimit) {
    support::TempFolder dir;
    LineFile f;
    ASSERT_TRUE(f.Open(dir / "log", 11));
    std::string big(100000, 'q');
    EXPECT_TRUE(f.AppendFormatted("%s|%d|%s", big.c_str(), 42, big.c_str()));
    EXPECT_EQ(support::TempFolder::Read(dir / "log"), big + "|42|" + big + "\n");
}

TEST(LineFile, ClosedOrReadOnlyFileWritesNothing) {
    support::TempFolder dir;
    LineFile closed;
    EXPECT_FALSE(closed.AppendLine("x"));
    EXPECT_FALSE(closed.AppendFormatted("%d", 1));
    std::string line;
    EXPECT_FALSE(closed.ReadLine(line));

    dir.Write("ro", "keep\n");
    chmod((dir / "ro").c_str(), 0444);
    LineFile ro;
    ASSERT_TRUE(ro.Open(dir / "ro", 11));
    EXPECT_FALSE(ro.AppendLine("more"));
    ro.Close();
    EXPECT_EQ(support::TempFolder::Read(dir / "ro"), "keep\n");
}

TEST(TraceLog, OpenAndCloseLinesAroundEvents) {
    support::TempFolder dir;
    dir.Write("trace.log", "earlier\n");
    {
        TraceLog log;
        EXPECT_FALSE(log.AppendFormatted("LDE# %d", 1));  // closed: nothing written
        ASSERT_TRUE(log.Open(dir.path.string() + "\\trace.log"));
        EXPECT_TRUE(log.AppendFormatted("LDE# %s %d", "Play", 7));
    }  // destruction closes the log
    const std::string content = support::TempFolder::Read(dir / "trace.log");
    const std::regex stamp("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\\d \\d\\d:\\d\\d:\\d\\d \\d{4} ");
    std::smatch m;
    const std::regex whole("earlier\n>>(.{25})\nLDE# Play 7\n<<(.{25})\n");
    ASSERT_TRUE(std::regex_match(content, m, whole)) << content;
    EXPECT_TRUE(std::regex_match(m[1].str(), stamp)) << m[1];
    EXPECT_TRUE(std::regex_match(m[2].str(), stamp)) << m[2];
}

// The log is created in an existing folder only: a path through missing folders fails and
// leaves nothing behind.
TEST(TraceLog, CreatesTheFileButNoFolder) {
    support::TempFolder dir;
    TraceLog log;
    EXPECT_FALSE(log.Open(dir.path.string() + "/missing/deeper/trace.log"));
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    ASSERT_TRUE(log.Open(dir.path.string() + "/new.log"));
    log.Close();
    EXPECT_EQ(support::TempFolder::Read(dir / "new.log").rfind(">>", 0), 0u);
}

}  // namespace
}  // namespace text
