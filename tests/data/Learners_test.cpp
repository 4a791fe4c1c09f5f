// The learners tool end to end on a small course folder.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "data/DataAccess.h"
#include "data/LearnerFiles.h"
#include "data/LearnerLock.h"
#include "data/ScoreFile.h"
#include "data/UserRecord.h"
#include "support/LearnersTool.h"
#include "support/TempFolder.h"

namespace data {
namespace {

struct LearnersCourse : support::TempFolder {
    LearnersCourse() {
        Write("PRODUCT.DAT", "[Demo Course][DEMO][DATA][DEMO.PRD][1100:0800][1][1][GB]\n");
        Write("DEMO.INI", "Language=GB\nIPserv=127.0.0.1\n");
    }
    // Runs learners with args after the course folder; the exit status and what it printed.
    std::pair<int, std::string> Run(const std::string& cmd, const std::string& args) const {
        support::ToolRun run = support::RunLearners(path, cmd, args);
        return {run.status, std::move(run.out)};
    }
    std::string Users() const { return (path / "DATA/DEMO/GB/USERS").string(); }
    std::string Groups() const { return (path / "DATA/DEMO/GB/GROUP").string(); }
    std::vector<UserRecord> AllUsers() const {
        DataAccess users;
        std::vector<UserRecord> out;
        EXPECT_TRUE(users.Open(Users(), isam::OPEN_INPUT).ok());
        EXPECT_TRUE(ReadAllUsers(users, out).ok());
        return out;
    }
    std::vector<GroupRecord> AllGroups() const {
        DataAccess groups;
        std::vector<GroupRecord> out;
        EXPECT_TRUE(groups.Open(Groups(), isam::OPEN_INPUT).ok());
        EXPECT_TRUE(ReadAllGroups(groups, out).ok());
        return out;
    }
};

TEST(LearnersToolTest, BuildsGroupsAndUsersAndRefusesBadRequests) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 200 --name 'Équipe B'").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 1 --name Day").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 2 --name Bob --password s3cret").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 200 --user 1 --name Zoë --may-configure").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 1 --name Ann").first, 0);

    const auto before = support::TempFolder::Read(c.Users() + ".dat");
    const struct {
        const char* cmd;
        const char* args;
        const char* says;
    } refused[] = {
        {"init", "", "exists already"},
        {"add-group", "--group 1 --name Again", "group 1 exists already"},
        {"add-user", "--group 3 --user 1 --name X", "group 3 does not exist"},
        {"add-user", "--group 1 --user 1 --name X", "user 1 of group 1 exists already"},
        {"add-user", "--group 1 --user 256 --name X", "1 to 255"},
        {"add-user", "--group 0 --user 1 --name X", "1 to 255"},
        {"add-user", "--group 1 --user 9 --name 123456789012345678901234", "1 to 23"},
        {"add-user", "--group 1 --user 9 --name '日本'", "Windows-1252"},
        {"add-user", "--group 1 --user 9 --name X --password 1234567890123456789012", "1 to 21"},
        {"remove-group", "--group 1", "still has users"},
        {"remove-user", "--group 1 --user 7", "does not exist"},
        {"add-user", "--group ' 1' --user 9 --name X", "1 to 255, not  1"},
        {"add-user", "--group '1 ' --user 9 --name X", "1 to 255, not 1 "},
        {"add-user", "--group 1 --group 200 --user 9 --name X", "--group is given twice"},
    };
    for (const auto& r : refused) {
        const auto [status, out] = c.Run(r.cmd, r.args);
        EXPECT_EQ(status, 1) << r.cmd << " " << r.args;
        EXPECT_NE(out.find(r.says), std::string::npos) << r.cmd << " " << r.args << ": " << out;
    }
    EXPECT_EQ(support::TempFolder::Read(c.Users() + ".dat"), before) << "refusals change nothing";

    const auto groups = c.AllGroups();
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[1].group_no, 200);
    EXPECT_EQ(groups[1].name, "\xc9quipe B");
    const auto users = c.AllUsers();
    ASSERT_EQ(users.size(), 3u);
    EXPECT_EQ(users[0].UserName, "Ann");
    EXPECT_EQ(users[1].UserName, "Bob");
    EXPECT_TRUE(PasswordMatches("S3CRET", users[1].password));
    EXPECT_TRUE(users[0].password.empty());
    EXPECT_EQ(users[2].UserName, "Zo\xeb");
    EXPECT_EQ(users[2].MayConfigure, 1);
    EXPECT_EQ(users[1].MayConfigure, 0);
    EXPECT_EQ(users[2].AskLeft, -1) << "from the template";
    EXPECT_EQ(users[2].MaxLevel, 1);
}

TEST(LearnersToolTest, ResetAndRemoveTakeTheLearnersFilesAlong) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 2 --name Night").first, 0);
    ASSERT_EQ(
        c.Run("add-user", "--group 2 --user 5 --name Eve --password pw --may-configure").first, 0);
    ASSERT_EQ(c.Run("set-progress",
                    "--group 2 --user 5 --state -1 --level 1 --step 4 "
                    "--total 30 --worth 40")
                  .first,
              0);
    const std::string files[] = {"DATA/DEMO/GB/SCO005.002", "DATA/DEMO/GB/HST005.002",
                                 "DATA/CTX/CTX005.002"};
    for (const std::string& f : files) c.Write(f, "x");
    c.Write("DATA/DEMO/GB/SCO005.003", "another group's");
    EXPECT_EQ(c.AllUsers()[0].State, -1);

    ASSERT_EQ(c.Run("reset-user", "--group 2 --user 5").first, 0);
    UserRecord u = c.AllUsers()[0];
    EXPECT_EQ(u.State, 0);
    EXPECT_EQ(u.Total, 0);
    EXPECT_EQ(u.Step, 0);
    EXPECT_EQ(u.UserName, "Eve");
    EXPECT_EQ(u.MayConfigure, 1);
    EXPECT_TRUE(PasswordMatches("pw", u.password));
    for (const std::string& f : files) EXPECT_FALSE(std::filesystem::exists(c.path / f)) << f;
    EXPECT_TRUE(std::filesystem::exists(c.path / "DATA/DEMO/GB/SCO005.003"));

    c.Write(files[0], "x");
    ASSERT_EQ(c.Run("remove-user", "--group 2 --user 5").first, 0);
    EXPECT_TRUE(c.AllUsers().empty());
    EXPECT_FALSE(std::filesystem::exists(c.path / files[0]));
    ASSERT_EQ(c.Run("remove-group", "--group 2").first, 0);
    EXPECT_TRUE(c.AllGroups().empty());
}

TEST(LearnersToolTest, ListAndExportReportProgressFromTheScoreFile) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 3 --name 'Équipe'").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 3 --user 2 --name 'Zoë \"Z\"'").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 3 --user 1 --name Al").first, 0);
    ASSERT_EQ(c.Run("set-progress", "--group 3 --user 2 --state 1 --total 7 --worth 9").first, 0);
    {
        // Three steps in the record and its score file.
        DataAccess users;
        ASSERT_TRUE(users.Open(c.Users(), isam::OPEN_INOUT).ok());
        UserRecord u = UserTemplate();
        u.GroupNo = 3;
        u.UserNo = 2;
        uint8_t b[kUserRecordSize];
        EncodeUserRecord(u, b);
        ASSERT_TRUE(users.SelectKey(kUserKey).ok());
        ASSERT_TRUE(users.Start(0, b, isam::EQUAL).ok());
        ASSERT_TRUE(users.Read(b, isam::EQUAL).ok());
        u = DecodeUserRecord(b);
        u.StepCount = 3;
        EncodeUserRecord(u, b);
        ASSERT_TRUE(users.Rewrite(b).ok());
        ScoreBook book;
        book.LevelSteps = {3, 0};
        for (int i = 0; i < 3; ++i) {
            book.StepScore[i] = i;
            book.StepWorth[i] = 10 + i;
            book.StepBonus[i] = 20 + i;
            book.StepTime[i] = 30 + i;
            book.StepVisits[i] = 40 + i;
            book.StepStatus[i] = 3;
        }
        ASSERT_TRUE(WriteScoreFile((c.path / "DATA/DEMO/GB/SCO002.003").string(), 3, book).ok());
    }
    const auto [status, out] = c.Run("list", "--json");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(
        out,
        "{\"group\": 3, \"group_name\": \"Équipe\", \"user\": 1, \"name\": \"Al\", "
        "\"level\": 1, \"status\": 0, \"score\": 0, \"worth\": 0, \"seconds\": null}\n"
        "{\"group\": 3, \"group_name\": \"Équipe\", \"user\": 2, \"name\": \"Zoë \\\"Z\\\"\", "
        "\"level\": 1, \"status\": 1, \"score\": 7, \"worth\": 9, \"seconds\": 93}\n");
    const auto [plain_status, plain] = c.Run("list", "");
    EXPECT_EQ(plain_status, 0);
    EXPECT_NE(plain.find("in progress  score 7/9  time 93 s"), std::string::npos) << plain;

    const std::string csv = (c.path / "out.csv").string();
    ASSERT_EQ(c.Run("export", "--csv '" + csv + "'").first, 0);
    EXPECT_EQ(support::TempFolder::Read(csv),
              "group,user,name,level,step,score,worth,bonus,seconds,visits,status\n"
              "3,2,\"Zoë \"\"Z\"\"\",1,1,0,10,20,30,40,3\n"
              "3,2,\"Zoë \"\"Z\"\"\",1,2,1,11,21,31,41,3\n"
              "3,2,\"Zoë \"\"Z\"\"\",1,3,2,12,22,32,42,3\n");
}

// Names written by other programs reach the terminal with their control characters escaped:
// an escape sequence in a learner's or a group's name cannot act on the trainer's terminal.
TEST(LearnersToolTest, ListShowsControlCharactersInNamesEscaped) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    {
        DataAccess groups, users;
        ASSERT_TRUE(groups.Open(c.Groups(), isam::OPEN_INOUT).ok());
        ASSERT_TRUE(users.Open(c.Users(), isam::OPEN_INOUT).ok());
        GroupRecord g = GroupTemplate();
        g.group_no = 1;
        g.name = "Night\x07";
        uint8_t gb[kGroupRecordSize];
        EncodeGroupRecord(g, gb);
        ASSERT_TRUE(groups.Write(gb).ok());
        UserRecord u = UserTemplate();
        u.GroupNo = 1;
        u.UserNo = 1;
        u.UserName = "\x1b]0;x\x07\x1b[31mA\\b\x8d";
        uint8_t ub[kUserRecordSize];
        EncodeUserRecord(u, ub);
        ASSERT_TRUE(users.Write(ub).ok());
    }
    const auto [status, out] = c.Run("list", "");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.find_first_of("\x07\x1b"), std::string::npos) << out;
    EXPECT_EQ(out.find("\xc2\x8d"), std::string::npos) << out;
    EXPECT_NE(out.find("Night\\x07"), std::string::npos) << out;
    EXPECT_NE(out.find("\\x1b]0;x\\x07\\x1b[31mA\\\\b\\x8d"), std::string::npos) << out;
    const auto [json_status, json] = c.Run("list", "--json");
    EXPECT_EQ(json_status, 0);
    EXPECT_NE(json.find("\"name\": \"\\u001b]0;x\\u0007\\u001b[31mA\\\\b\\u008d\""),
              std::string::npos)
        << json;
}

// The files holding learners' records, and the folders made for them, have no access for
// other accounts, whatever the caller's umask.
TEST(LearnersToolTest, InitMakesFilesClosedToOtherAccounts) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 1 --name Day").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 1 --name Ann").first, 0);
    ASSERT_EQ(c.Run("set-progress", "--group 1 --user 1 --level 2").first, 0);
    size_t files = 0;
    for (const auto& e : std::filesystem::recursive_directory_iterator(c.path / "DATA")) {
        const auto perms = e.status().permissions();
        EXPECT_EQ(perms & std::filesystem::perms::others_all, std::filesystem::perms::none)
            << e.path();
        ++files;
    }
    EXPECT_GE(files, 9u) << "folders, GROUP and USERS with their lock files, SESSION.LCK";
}

// Run as root in a course another account owns, the tool leaves every file and folder it makes
// (records, lock files, the session lock) to that account, which can then use them.
TEST(LearnersToolTest, RunAsRootInAnotherAccountsCourseLeavesFilesItCanUse) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    const uid_t uid = 65534;
    const gid_t gid = 65534;
    LearnersCourse c;
    std::filesystem::permissions(c.path, std::filesystem::perms::owner_all |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::group_exec);
    for (const auto& e : std::filesystem::recursive_directory_iterator(c.path))
        ASSERT_EQ(lchown(e.path().c_str(), uid, gid), 0);
    ASSERT_EQ(chown(c.path.c_str(), uid, gid), 0);
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 1 --name Day").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 1 --name Ann").first, 0);
    ASSERT_EQ(c.Run("set-progress", "--group 1 --user 1 --level 2").first, 0);
    for (const auto& e : std::filesystem::recursive_directory_iterator(c.path)) {
        struct stat st;
        ASSERT_EQ(lstat(e.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, uid) << e.path();
        EXPECT_EQ(st.st_gid, gid) << e.path();
    }
    EXPECT_TRUE(std::filesystem::exists(c.path / "DATA/DEMO/GB" / kLearnerLockFile));
    const pid_t pid = fork();
    if (pid == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(126);
        // A build tree in a folder closed to the account: nothing to run as it.
        if (access(LEARNERS_PATH, X_OK) != 0) _exit(77);
        const support::ToolRun run =
            support::RunLearners(c.path, "set-progress", "--group 1 --user 1 --level 3");
        const support::ToolRun add =
            support::RunLearners(c.path, "add-user", "--group 1 --user 2 --name Bob");
        _exit(run.status == 0 && add.status == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "the account cannot reach " << LEARNERS_PATH;
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the account cannot use them";
    EXPECT_EQ(c.AllUsers().size(), 2u);
}

// Each failure is said once, naming the file and the cause.
TEST(LearnersToolTest, FailuresNameTheFileAndTheCause) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 1 --name Day").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 1 --name Ann").first, 0);
    // A damaged data file: the records are garbage past the header.
    const std::string dat = c.Users() + ".dat";
    std::string bytes = support::TempFolder::Read(dat);
    for (size_t i = bytes.size() / 2; i < bytes.size(); ++i) bytes[i] = char(0xA5);
    (void)c.Write("DATA/DEMO/GB/USERS.dat", bytes);
    const auto [status, out] = c.Run("list", "");
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find(dat), std::string::npos) << out;

    // A folder that is no course: one line, naming the folder and what it lacks.
    const support::ToolRun root = support::RunLearners("/", "list", "");
    EXPECT_EQ(root.status, 1);
    EXPECT_EQ(support::Lines(root.out).size(), 1u) << root.out;
    EXPECT_NE(root.out.find("/: no INI file in the course"), std::string::npos) << root.out;
}

// A learner in a lesson session is not changed under it: remove, reset and set-progress wait
// for the session's end.
TEST(LearnersToolTest, ALearnerInASessionIsLeftAlone) {
    LearnersCourse c;
    ASSERT_EQ(c.Run("init", "").first, 0);
    ASSERT_EQ(c.Run("add-group", "--group 1 --name Day").first, 0);
    ASSERT_EQ(c.Run("add-user", "--group 1 --user 1 --name Ann").first, 0);
    const std::string before = support::TempFolder::Read(c.Users() + ".dat");
    LearnerLock session;
    ASSERT_TRUE(session.Take((c.path / "DATA/DEMO/GB").string(), 1, 1).ok());
    for (const char* cmd : {"remove-user", "reset-user", "set-progress"}) {
        const auto [status, out] = c.Run(cmd, "--group 1 --user 1");
        EXPECT_EQ(status, 1) << cmd;
        EXPECT_NE(out.find("is in a lesson session now"), std::string::npos) << cmd << ": " << out;
    }
    EXPECT_EQ(support::TempFolder::Read(c.Users() + ".dat"), before);
    session.Release();
    EXPECT_EQ(c.Run("remove-user", "--group 1 --user 1").first, 0);
}

TEST(LearnersToolTest, ACourseWithoutItsLanguageIsRefused) {
    LearnersCourse c;
    const std::string line =
        std::string(LEARNERS_PATH) + " init '" + c.path.string() + "' --lang DE 2>/dev/null";
    const int status = std::system(line.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_FALSE(std::filesystem::exists(c.path / "DATA"));
}

}  // namespace
}  // namespace data
