// The local role of the data access layer against real ISAM files.
#include "data/DataAccess.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/UserRecord.h"
#include "platform/Path.h"
#include "support/TempFolder.h"

namespace data {
namespace {

namespace fs = std::filesystem;

struct LearnerFolder : support::TempFolder {
    std::string group = (path / "GROUP").string();
    std::string users = (path / "USERS").string();

    LearnerFolder() {
        EXPECT_TRUE(BuildGroupFile(group).ok());
        EXPECT_TRUE(BuildUsersFile(users).ok());
    }
    void AddUser(int group_no, int user_no, const std::string& name) {
        UserRecord r = UserTemplate();
        r.GroupNo = group_no;
        r.UserNo = user_no;
        r.UserName = name;
        uint8_t b[kUserRecordSize];
        EncodeUserRecord(r, b);
        const int h = isam::ISOPEN(users.c_str(), isam::OPEN_INOUT);
        ASSERT_GE(h, 0);
        EXPECT_EQ(isam::ISWRITE(h, b), 0);
        isam::ISCLOSE(h);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(path)) out.push_back(e.path().filename());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST(DataAccessTest, OpenRefusesAMissingOrIrregularDataFileWithoutTouchingAnything) {
    LearnerFolder folder;
    fs::create_directory(folder.path / "DIR.dat");
    fs::remove(folder.path / "GROUP.dat");
    const auto before = folder.Names();
    DataAccess access;
    for (const std::string& path : {folder.group, (folder.path / "NONE").string(),
                                    (folder.path / "DIR").string(), std::string()}) {
        const platform::Status refused = access.Open(path, isam::OPEN_INOUT);
        EXPECT_FALSE(refused.ok()) << path;
        EXPECT_EQ(refused.what(), path) << "a refusal names the path as given";
        EXPECT_EQ(access.Handle(), -1);
    }
    EXPECT_EQ(folder.Names(), before);
}

// A FIFO in place of either file of a learners' file is named, and called what it is, not
// "Invalid argument" or "Illegal seek"; nothing waits on it.
TEST(DataAccessTest, AFifoInPlaceOfALearnersFileIsSaidToBeNoRegularFile) {
    for (const char* ext : {".dat", ".idx", ".lck"}) {
        LearnerFolder folder;
        const std::string fifo = folder.users + ext;
        fs::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
        DataAccess access;
        const platform::Status refused = access.Open(folder.users, isam::OPEN_INOUT);
        EXPECT_EQ(refused.code(), platform::kErrorNotRegularFile) << refused.Text();
        EXPECT_NE(refused.Text().find("Not a regular file"), std::string::npos) << refused.Text();
        EXPECT_EQ(access.Handle(), -1);
    }
}

TEST(DataAccessTest, OpenSplitsThePathAndReadsByEitherKeyKind) {
    LearnerFolder folder;
    folder.AddUser(1, 1, "Ann");
    folder.AddUser(1, 2, "Bob");
    folder.AddUser(200, 1, "Cyd");

    DataAccess users;
    // The extension given is dropped; the data file beside it must exist.
    const platform::Status opened = users.Open(folder.users + ".xyz", isam::OPEN_INOUT);
    ASSERT_TRUE(opened.ok()) << opened.Text();
    EXPECT_EQ(users.BaseName(), "USERS");
    EXPECT_EQ(users.Folder(), folder.path.string());
    EXPECT_EQ(users.DataPath(), folder.users + ".dat");
    EXPECT_EQ(users.Mode(), isam::OPEN_INOUT);

    uint8_t rec[kUserRecordSize];
    UserRecord key = UserTemplate();
    // A failure is the engine's number about the data file, with the engine's text.
    platform::Status s = users.Start(0, rec, isam::EQUAL);
    EXPECT_EQ(s.code(), isam::kBadKey) << "no key selected yet";
    EXPECT_EQ(s.what(), users.DataPath());
    EXPECT_EQ(s.Cause(), isam::ErrorText(isam::kBadKey));
    EXPECT_EQ(users.SelectKey(7).code(), isam::kBadKey);
    EXPECT_EQ(users.Key().nparts, 0);
    ASSERT_TRUE(users.SelectKey(kUserKey).ok());
    for (auto [g, u, name] : {std::tuple{1, 2, "Bob"}, {200, 1, "Cyd"}, {1, 1, "Ann"}}) {
        key.GroupNo = g;
        key.UserNo = u;
        EncodeUserRecord(key, rec);
        s = users.Start(0, rec, isam::EQUAL);
        ASSERT_TRUE(s.ok()) << g << ":" << u << " " << s.Text();
        ASSERT_TRUE(users.Read(rec, isam::EQUAL).ok());
        EXPECT_EQ(DecodeUserRecord(rec).UserName, name);
    }
    // Rewrite by primary key, seen by a second handle.
    UserRecord ann = DecodeUserRecord(rec);
    ann.State = 1;
    ann.Total = 40;
    EncodeUserRecord(ann, rec);
    EXPECT_TRUE(users.Rewrite(rec).ok());
    EXPECT_TRUE(users.Flush().ok());

    DataAccess again;
    ASSERT_TRUE(again.Open(folder.users, isam::OPEN_INPUT).ok());
    ASSERT_TRUE(again.SelectKey(kUserKey).ok());
    EncodeUserRecord(key, rec);
    ASSERT_TRUE(again.Start(0, rec, isam::EQUAL).ok());
    ASSERT_TRUE(again.Read(rec, isam::EQUAL).ok());
    EXPECT_EQ(DecodeUserRecord(rec).Total, 40);

    key.GroupNo = 2;
    EncodeUserRecord(key, rec);
    s = again.Start(0, rec, isam::EQUAL);
    EXPECT_EQ(s.code(), isam::kNoRecord);
    EXPECT_EQ(s.Text(), folder.users + ".dat: record not found");
    EXPECT_TRUE(again.Close().ok());
    EXPECT_EQ(again.Handle(), -1);
    EXPECT_EQ(again.Flush().code(), isam::kNotOpen);

    DataAccess groups;
    ASSERT_TRUE(groups.Open(folder.group, isam::OPEN_INOUT).ok());
    ASSERT_TRUE(groups.SelectKey(kGroupKey).ok());
    EXPECT_EQ(groups.Key().parts[0].start, 4);
    uint8_t g[kGroupRecordSize];
    EncodeGroupRecord(GroupTemplate(), g);
    EXPECT_FALSE(groups.Start(0, g, isam::GREATER_EQUAL).ok()) << "an empty group file";
}

// Finding by number tells a record that is not there (kNotFound) from the engine's failures.
TEST(DataAccessTest, FindTellsAMissingRecordFromAFailure) {
    LearnerFolder folder;
    folder.AddUser(3, 4, "Dee");
    DataAccess users, closed;
    ASSERT_TRUE(users.Open(folder.users, isam::OPEN_INOUT).ok());
    UserRecord found;
    ASSERT_TRUE(FindUser(users, 3, 4, found).ok());
    EXPECT_EQ(found.UserName, "Dee");
    const platform::Status missing = FindUser(users, 4, 3, found);
    EXPECT_EQ(missing.code(), kNotFound);
    EXPECT_EQ(missing.what(), users.DataPath());
    EXPECT_EQ(found.UserName, "Dee") << "a record not found leaves found alone";
    const platform::Status failed = FindUser(closed, 3, 4, found);
    EXPECT_FALSE(failed.ok());
    EXPECT_NE(failed.code(), kNotFound);
    GroupRecord group;
    EXPECT_EQ(FindGroup(closed, 3, group).code(), isam::kNotOpen);

    std::vector<UserRecord> all;
    ASSERT_TRUE(ReadAllUsers(users, all).ok()) << "the end of the file is no failure";
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(ReadAllUsers(closed, all).code(), isam::kNotOpen);
}

int g_calls = 0;
int g_modes[2];
int RefuseFirstOpen(const char* name, int mode) {
    g_modes[g_calls++ % 2] = mode;
    if (g_calls == 1) {
        isam::last_error = EACCES;
        return -1;
    }
    return isam::ISOPEN(name, mode);
}

TEST(DataAccessTest, PermissionRefusalIsRetriedWithoutLocking) {
    LearnerFolder folder;
    {
        g_calls = 0;
        DataAccess access(&RefuseFirstOpen);
        EXPECT_TRUE(access.Open(folder.users, isam::OPEN_INOUT).ok());
        EXPECT_EQ(g_calls, 2);
        EXPECT_EQ(g_modes[0], isam::OPEN_INOUT);
        EXPECT_EQ(g_modes[1], isam::OPEN_INOUT | isam::LOCKMODE_NONE);
        EXPECT_EQ(access.Mode(), isam::OPEN_INOUT | isam::LOCKMODE_NONE);
    }
    if (geteuid() == 0) return;  // the system's own refusal needs an unprivileged user
    for (const char* ext : {".dat", ".idx"}) ::chmod((folder.users + ext).c_str(), 0444);
    ::chmod(folder.path.c_str(), 0555);
    DataAccess access;
    const platform::Status opened = access.Open(folder.users, isam::OPEN_INOUT);
    EXPECT_TRUE(opened.ok()) << opened.Text();
    EXPECT_EQ(access.Mode(), isam::OPEN_INOUT | isam::LOCKMODE_NONE);
    ::chmod(folder.path.c_str(), 0755);
}

}  // namespace
}  // namespace data
