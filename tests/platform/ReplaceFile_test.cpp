#include "platform/ReplaceFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <vector>

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

// A replacement killed at any moment leaves the old or the new file whole; its temporary is
// removed by the next clean-up of that file, and only its own.
TEST(ReplaceFile, AKilledReplacementLeavesAWholeFileAndALeftoverThatIsCleanedUp) {
    support::TempFolder dir;
    const std::string old(1000, 'o');
    const std::string fresh(64 << 20, 'n');
    dir.Write("SCO001.001", old);
    const pid_t child = fork();
    if (child == 0) {
        ReplaceFile(dir / "SCO001.001", fresh);
        _exit(0);
    }
    usleep(20000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string now = support::TempFolder::Read(dir / "SCO001.001");
    EXPECT_TRUE(now == old || now == fresh) << now.size();

    dir.Write(".SCO002.001.replaceAbC123", "another file's");
    dir.Write(".replaceNew123", "an older version's, recent");
    dir.Write(".replaceOld123", "an older version's, stale");
    const auto stale = std::filesystem::last_write_time(dir / "SCO001.001") - std::chrono::hours(2);
    std::filesystem::last_write_time(dir / ".replaceOld123", stale);
    RemoveReplaceLeftovers(dir / "SCO001.001");
    std::vector<std::string> left;
    for (const auto& e : std::filesystem::directory_iterator(dir.path))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{".SCO002.001.replaceAbC123", ".replaceNew123",
                                              "SCO001.001"}));
}

}  // namespace
}  // namespace platform
