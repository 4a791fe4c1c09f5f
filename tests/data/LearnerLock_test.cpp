// The lock that holds a learner for one session on a computer: taken, refused to a second
// session, and refused in words when something else lies in the lock file's place.
#include "data/LearnerLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/Path.h"
#include "support/TempFolder.h"

namespace data {
namespace {

namespace fs = std::filesystem;

TEST(LearnerLockTest, OneSessionPerLearner) {
    support::TempFolder folder;
    LearnerLock first, second;
    ASSERT_TRUE(first.Take(folder.path.string(), 1, 2).ok());
    EXPECT_EQ(second.Take(folder.path.string(), 1, 2).code(), kLearnerBusy);
    EXPECT_TRUE(second.Take(folder.path.string(), 1, 3).ok()) << "another learner is free";
    first.Release();
    EXPECT_TRUE(second.Take(folder.path.string(), 1, 2).ok());
}

// A FIFO, a folder or a link in place of the lock file holds nobody: the hold fails with what is
// wrong (so the session stops), nothing waits, and the thing in its place is left alone.
TEST(LearnerLockTest, SomethingElseInPlaceOfTheLockFileIsNamed) {
    for (const char* kind : {"fifo", "folder", "link to a file", "link to nothing"}) {
        SCOPED_TRACE(kind);
        support::TempFolder folder;
        const fs::path lock = folder.path / kLearnerLockFile;
        const std::string other = folder.Write("other", "keep");
        const std::string k = kind;
        if (k == "fifo")
            ASSERT_EQ(::mkfifo(lock.c_str(), 0600), 0);
        else if (k == "folder")
            fs::create_directory(lock);
        else
            fs::create_symlink(k == "link to a file" ? other : folder / "none", lock);
        LearnerLock hold;
        const platform::Status taken = hold.Take(folder.path.string(), 1, 1);
        EXPECT_EQ(taken.code(), platform::kErrorNotRegularFile) << taken.Text();
        EXPECT_NE(taken.code(), kLearnerFolderReadOnly);
        EXPECT_EQ(taken.what(), lock.string());
        EXPECT_FALSE(hold.Held());
        EXPECT_EQ(support::TempFolder::Read(other), "keep");
        EXPECT_FALSE(fs::exists(folder.path / "none"));
    }
}

}  // namespace
}  // namespace data
