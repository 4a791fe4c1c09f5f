#include "platform/ReplaceFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "support/FileSizeLimit.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

size_t EntryCount(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST(ReplaceFile, ReplacesCreatesAndKeepsPermissionBits) {
    support::TempFolder dir;
    dir.Write("A.INI", "old contents that are longer than the new ones\n");
    ASSERT_EQ(chmod((dir / "A.INI").c_str(), 0640), 0);
    ASSERT_TRUE(ReplaceFile(dir / "A.INI", "new\n"));
    EXPECT_EQ(support::TempFolder::Read(dir / "A.INI"), "new\n");
    struct stat st;
    ASSERT_EQ(stat((dir / "A.INI").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    ASSERT_TRUE(ReplaceFile(dir / "B.INI", ""));  // a new, empty file
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "B.INI"));
    EXPECT_EQ(EntryCount(dir.path.string()), 2u);  // no temporary file left
}

TEST(ReplaceFile, FollowsALinkToItsTarget) {
    support::TempFolder dir;
    dir.Write("real/A.INI", "old\n");
    std::filesystem::create_symlink(dir / "real/A.INI", dir / "A.INI");
    ASSERT_TRUE(ReplaceFile(dir / "A.INI", "new\n"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "A.INI"));
    EXPECT_EQ(support::TempFolder::Read(dir / "real/A.INI"), "new\n");
}

TEST(ReplaceFile, FailureLeavesTheOldFileWhole) {
    support::TempFolder dir;
    const std::string old(4000, 'x');
    dir.Write("A.INI", old);
    {
        support::FileSizeLimit full_disk(1000);
        errno = 0;
        EXPECT_FALSE(ReplaceFile(dir / "A.INI", std::string(3000, 'y')));
        EXPECT_EQ(errno, EFBIG);
    }
    EXPECT_EQ(support::TempFolder::Read(dir / "A.INI"), old);
    EXPECT_EQ(EntryCount(dir.path.string()), 1u);

    EXPECT_FALSE(ReplaceFile(dir / "missing/A.INI", "x"));
    EXPECT_EQ(errno, ENOENT);
    std::filesystem::create_directory(dir / "folder");
    EXPECT_FALSE(ReplaceFile(dir / "folder", "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "folder"));
}

}  // namespace
}  // namespace platform
