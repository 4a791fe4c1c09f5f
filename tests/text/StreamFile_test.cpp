#include "text/StreamFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TempFolder.h"

namespace text {
namespace {

TEST(StreamFile, ModeTableAfterTheReadOnlyAdjustment) {
    struct Case {
        unsigned flags;
        bool exists, read_only;
        const char* mode;  // nullptr: the open fails
    } cases[] = {
        {11, true, false, "a+"}, {8, false, false, "a+"},    {160, true, false, "r+b"},
        {160, true, true, "rb"}, {144, false, false, "w+b"}, {16, true, false, "w+"},
        {0, false, false, "r+"}, {1, true, false, "r+"},     {11, true, true, "r"},
        {24, true, false, "a+"}, {152, true, true, "rb"},    {32 | 128, false, false, "r+b"},
    };
    for (const Case& c : cases) {
        const char* mode = StreamFile::ModeFor(c.flags, c.exists, c.read_only, nullptr);
        ASSERT_NE(mode, nullptr) << c.flags;
        EXPECT_STREQ(mode, c.mode) << "flags " << c.flags << " ro " << c.read_only;
    }
}

TEST(StreamFile, CreatesMissingFoldersUnlessAskedNotTo) {
    support::TempFolder dir;
    StreamFile f;
    ASSERT_TRUE(f.Open(dir.path.string() + "\\A\\B\\C.TXT", 11));
    EXPECT_EQ(f.Write("hi", 1, 2), 2u);
    f.Close();
    EXPECT_EQ(support::TempFolder::Read(dir / "A/B/C.TXT"), "hi");
    EXPECT_EQ(f.FileName(), "C.TXT");
    EXPECT_EQ(f.Directory(), dir / "A/B");

    EXPECT_FALSE(f.Open(dir.path.string() + "\\X\\Y.TXT", 11 | StreamFile::kNoCreateFolders));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.Read(nullptr, 1, 1), 0u);
    EXPECT_NE(f.LastErrorText("open %s", "Y.TXT").find("open Y.TXT : "), std::string::npos);
}

TEST(StreamFile, ExistingContentByFlag) {
    support::TempFolder dir;
    struct Case {
        unsigned flags;
        const char* after;  // file content after writing "X"
    } cases[] = {
        {11, "oldX"},       // append, kept
        {16, "X"},          // truncate
        {3 | 128, "Xld"},   // read-write at the start
        {4 | 2, "oldX"},    // seek to the end
        {8 | 16 | 2, "X"},  // deleted, then appended
    };
    for (const Case& c : cases) {
        dir.Write("f", "old");
        StreamFile f;
        ASSERT_TRUE(f.Open(dir / "f", c.flags)) << c.flags;
        EXPECT_TRUE(f.Existed());
        f.Write("X", 1, 1);
        f.Close();
        EXPECT_EQ(support::TempFolder::Read(dir / "f"), c.after) << c.flags;
    }
}

TEST(StreamFile, ReadOnlyFileIsOpenedForReadingOnly) {
    support::TempFolder dir;
    dir.Write("ro.txt", "keep\n");
    chmod((dir / "ro.txt").c_str(), 0444);
    // The permission bits decide, even for a user who could still write.
    StreamFile f;
    ASSERT_TRUE(f.Open(dir / "ro.txt", 11));
    EXPECT_EQ(f.Flags() & 59, 1u);
    EXPECT_EQ(f.Write("more", 1, 4), 0u);
    f.Close();
    EXPECT_EQ(support::TempFolder::Read(dir / "ro.txt"), "keep\n");
}

TEST(StreamFile, SwitchesBetweenReadingAndWriting) {
    support::TempFolder dir;
    dir.Write("f", "abcdef");
    StreamFile f;
    ASSERT_TRUE(f.Open(dir / "f", StreamFile::kBinary));  // r+b
    char buf[3] = {};
    ASSERT_EQ(f.Read(buf, 1, 2), 2u);
    EXPECT_EQ(f.Write("XY", 1, 2), 2u);  // at the current position
    ASSERT_EQ(f.Read(buf, 1, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(f.Size(), 6);
    EXPECT_EQ(f.Tell(), 6);
    EXPECT_EQ(f.LastErrorText(), "");
    f.Close();
    EXPECT_EQ(support::TempFolder::Read(dir / "f"), "abXYef");
}

TEST(StreamFile, FolderOrOverlongPathFails) {
    support::TempFolder dir;
    StreamFile f;
    EXPECT_FALSE(f.Open(dir.path.string(), 11));
    EXPECT_FALSE(f.Open(std::string(5000, 'a'), 11));
    EXPECT_FALSE(f.LastErrorText().empty());
}

}  // namespace
}  // namespace text
