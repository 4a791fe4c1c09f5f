#include "script/ScriptFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "support/TempFolder.h"

namespace script {
namespace {

TEST(LocateScript, FollowsTheNamingRules) {
    struct Case {
        const char* name;
        bool ends_step;
        const char* path;
    } cases[] = {
        {"STEP01-", true, ""},
        {"-", true, ""},
        {"C:\\COURSE\\LDE\\INTRO.LDE", false, "C:\\COURSE\\LDE\\INTRO"},
        {"sub\\intro.txt", false, "sub\\intro"},
        {"INTRO", false, "DATA\\LDE\\FR_INTRO"},
        {"INTRO.EXT", false, "DATA\\LDE\\FR_INTRO"},
    };
    for (const Case& c : cases) {
        ScriptLocation loc = LocateScript(c.name, "DATA", "FR_");
        EXPECT_EQ(loc.ends_step, c.ends_step) << c.name;
        EXPECT_EQ(loc.path, c.path) << c.name;
    }
}

class ScriptFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::vector<uint8_t> bytes(100);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
        file_.Assign(bytes, "LDE\\X");
    }
    ScriptFile file_;
};

TEST_F(ScriptFileTest, SeekRefusesTargetsOutsideTheFile) {
    struct Case {
        int64_t offset;
        int origin;
        bool ok;
        size_t position;
    } cases[] = {
        {120, 0, false, 0}, {100, 0, true, 100}, {-1, 0, false, 0},
        {30, 0, true, 30},  {10, 2, true, 90},   {101, 2, false, 0},
    };
    for (const Case& c : cases) {
        file_.Seek(0, 0);
        EXPECT_EQ(file_.Seek(c.offset, c.origin), c.ok) << c.offset << "/" << c.origin;
        EXPECT_EQ(file_.Offset(), c.position) << c.offset << "/" << c.origin;
    }
    file_.Seek(30, 0);
    EXPECT_TRUE(file_.Seek(5, 1));
    EXPECT_EQ(file_.Offset(), 35u);
    EXPECT_FALSE(file_.Seek(70, 1));
    EXPECT_EQ(file_.Offset(), 35u);
}

TEST_F(ScriptFileTest, ReadsStopAtTheEndAndKeepOldBytesOfACutValue) {
    file_.Seek(99, 0);
    int16_t v = -1;
    EXPECT_EQ(file_.ReadInt16(v), 1u);
    EXPECT_EQ(v, static_cast<int16_t>(0xFF63));  // low byte 99 read, high byte kept from -1
    EXPECT_EQ(file_.ReadInt16(v), 0u);
    EXPECT_TRUE(file_.AtEnd());
    uint8_t buf[8];
    EXPECT_EQ(file_.Read(buf, sizeof buf), 0u);
    file_.Seek(2, 0);
    EXPECT_EQ(file_.ReadInt16(v), 2u);
    EXPECT_EQ(v, 0x0302);
    EXPECT_EQ(file_.Name(), "X");
}

TEST(ScriptFileLoad, FailureKeepsTheCurrentScriptAndSaysWhy) {
    support::TempFolder temp;
    const std::string dir = temp.path.string();
    // A sparse file one byte past the limit, and one of twice the limit: no disk space used.
    for (const char* name : {"/BIG", "/HUGE"}) std::ofstream(dir + name).put('x');
    ASSERT_EQ(truncate((dir + "/BIG").c_str(), ScriptFile::kMaxSize + 1), 0);
    ASSERT_EQ(truncate((dir + "/HUGE").c_str(), 2 * ScriptFile::kMaxSize), 0);
    // A FIFO with no writer would block an ordinary open for ever.
    ASSERT_EQ(mkfifo((dir + "/PIPE").c_str(), 0600), 0);
    struct Case {
        std::string path;
        int error;
        const char* text;
    } cases[] = {
        {"/nonexistent/dir/SCRIPT", ENOENT, "No such file or directory"},
        {std::string(300, 'a'), ENAMETOOLONG, "too long"},
        {dir, EISDIR, "a folder, not a file"},
        {dir + "/BIG", EFBIG, "at most 16777216 bytes (16 MB)"},
        {dir + "/HUGE", EFBIG, "at most 16777216 bytes (16 MB)"},
        {dir + "/PIPE", EINVAL, "not a regular file"},
    };
    ScriptFile f;
    f.Assign({1, 2, 3}, "A");
    for (const Case& c : cases) {
        int error = 0;
        EXPECT_FALSE(f.Load(c.path, &error)) << c.path;
        EXPECT_EQ(error, c.error) << c.path;
        EXPECT_NE(ScriptFile::LoadErrorText(error).find(c.text), std::string::npos)
            << ScriptFile::LoadErrorText(error);
        EXPECT_EQ(f.Size(), 3u);
        EXPECT_EQ(f.Path(), "A");
    }
    // At the limit a script still loads.
    ASSERT_EQ(truncate((dir + "/BIG").c_str(), ScriptFile::kMaxSize), 0);
    EXPECT_TRUE(f.Load(dir + "/BIG"));
    EXPECT_EQ(f.Size(), static_cast<size_t>(ScriptFile::kMaxSize));
}

}  // namespace
}  // namespace script
