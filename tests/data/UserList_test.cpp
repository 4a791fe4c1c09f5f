#include "data/UserList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "data/ConfigTable.h"
#include "data/DataAccess.h"
#include "data/UserChoice.h"
#include "support/LearnerFolder.h"

namespace {

using data::UserItem;

// The groups of path, which must list without failure.
std::vector<data::GroupEntry> Groups(data::DataAccess& groups, const std::string& path) {
    std::vector<data::GroupEntry> list;
    const platform::Status listed = data::ListGroups(groups, path, list);
    EXPECT_TRUE(listed.ok()) << listed.Text();
    return list;
}

// The users of group in course's users file, which must list without failure.
std::vector<UserItem> Users(data::DataAccess& users, support::LearnerFolder& course, int32_t group,
                            bool developer = false) {
    std::vector<UserItem> list;
    const platform::Status listed = data::ListUsers(users, course.path.string(), course.users_path,
                                                    group, developer, course.common, list);
    EXPECT_TRUE(listed.ok()) << listed.Text();
    return list;
}

std::vector<int32_t> Numbers(const std::vector<UserItem>& items) {
    std::vector<int32_t> numbers;
    for (const UserItem& item : items) numbers.push_back(item.user);
    return numbers;
}

// Empty files list nothing; files that do not open list nothing and say why.
TEST(UserList, WithoutGroupsOrFilesNothingIsListed) {
    support::LearnerFolder course;  // learners init: both files, empty
    data::DataAccess groups, users;
    EXPECT_TRUE(Groups(groups, course.groups_path).empty());
    EXPECT_TRUE(Users(users, course, 1).empty());

    std::vector<data::GroupEntry> group_list{{1, "stale"}};
    const platform::Status no_groups =
        data::ListGroups(groups, course.folder + "/NOGROUP", group_list);
    EXPECT_FALSE(no_groups.ok());
    EXPECT_NE(no_groups.what().find("NOGROUP"), std::string::npos) << no_groups.Text();
    EXPECT_TRUE(group_list.empty());
    std::vector<UserItem> user_list(1);
    const platform::Status no_users =
        data::ListUsers(users, course.path.string(), course.folder + "/NOUSERS", 1, false,
                        course.common, user_list);
    EXPECT_FALSE(no_users.ok());
    EXPECT_NE(no_users.what().find("NOUSERS"), std::string::npos) << no_users.Text();
    EXPECT_TRUE(user_list.empty());
}

TEST(UserList, EveryGroupIsListedByName) {
    support::LearnerFolder course;
    course.AddGroup(1, "Morning");
    course.AddGroup(200, "evening");  // key order puts 200 before 1
    course.AddGroup(2, "Afternoon");
    data::DataAccess groups;
    const auto list = Groups(groups, course.groups_path);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Afternoon");
    EXPECT_EQ(list[1].name, "evening");
    EXPECT_EQ(list[1].number, 200);
    EXPECT_EQ(list[2].number, 1);
}

TEST(UserList, EveryUserOfTheGroupWhateverItsNumber) {
    support::LearnerFolder course;
    for (int32_t group : {2, 3, 131}) course.AddGroup(group, "G" + std::to_string(group));
    // Users whose numbers are 128 or more sort before small numbers in the key.
    for (int32_t user : {200, 1, 128, 2, 255, 127})
        course.AddUser(3, user, "U" + std::to_string(user));
    course.AddUser(2, 5, "Other group");
    course.AddUser(131, 1, "Group 131");
    data::DataAccess users;
    EXPECT_EQ(Numbers(Users(users, course, 3)), (std::vector<int32_t>{1, 2, 127, 128, 200, 255}));
    EXPECT_EQ(Numbers(Users(users, course, 131)), std::vector<int32_t>{1});
    EXPECT_EQ(Users(users, course, 4).size(), 0u);
    EXPECT_EQ(Users(users, course, 131 + 256).size(), 0u);
}

TEST(UserList, StatusAndIconsFollowTheRecordAndTheScoreFile) {
    support::LearnerFolder course;
    struct Case {
        const char* name;
        int32_t state, level, step, step_count;
        bool scores;  // a score file with the bounds 100 and 40
        const char* status;
        int icon;
    };
    const Case cases[] = {
        {"finished", -1, 1, 3, 5, true, "Completed", 26},
        {"new", 0, 1, 0, 0, false, "", 25},
        {"passed bound", 1, 1, 120, 5, true, "Level 2", 25},
        {"at bound", 1, 1, 100, 5, true, "Level 2", 25},
        {"below bound", 1, 1, 99, 5, true, "Level 1", 25},
        {"second level", 1, 2, 39, 5, true, "Level 2", 25},
        {"no scores yet", 1, 1, 120, 0, true, "", 25},
        {"too many steps", 1, 1, 120, 1024, true, "", 25},
        {"score file lost", 1, 1, 120, 5, false, "", 25},
    };
    std::map<int32_t, const Case*> by_user;
    int32_t number = 1;
    course.AddGroup(1, "G");
    for (const Case& c : cases) {
        course.AddUser(1, number, c.name);
        course.Change(1, number, [&](data::UserRecord& u) {
            u.State = c.state;
            u.Level = c.level;
            u.Step = c.step;
            u.StepCount = c.step_count;
        });
        if (c.scores) course.WriteScores(1, number, 100, 40);
        by_user[number++] = &c;
    }
    data::DataAccess users;
    const auto items = Users(users, course, 1);
    ASSERT_EQ(items.size(), std::size(cases));
    for (const UserItem& item : items) {
        const Case& c = *by_user.at(item.user);
        EXPECT_EQ(item.name, c.name);
        EXPECT_EQ(item.status, c.status) << c.name;
        EXPECT_EQ(item.icon, c.icon) << c.name;
        EXPECT_EQ(item.marker_icon, 0);
        EXPECT_EQ(item.password_icon, 0);
    }
}

TEST(UserList, MarkerPasswordAndDeveloperNames) {
    support::LearnerFolder course;
    course.AddGroup(2, "G");
    course.AddUser(2, 7, "Dupont", "--password secret --may-configure");
    data::DataAccess users;
    const auto items = Users(users, course, 2, true);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].name, "Dupont (grp:2 - id:7)");
    EXPECT_EQ(items[0].marker_icon, 28);
    EXPECT_EQ(items[0].password_icon, 27);
}

TEST(UserList, SortingByNameOrStatusBothWays) {
    std::vector<UserItem> items(4);
    const char* names[] = {"bravo", "Alpha", "delta", "Charlie"};
    const char* status[] = {"Level 2", "", "Completed", "level 1"};
    for (int i = 0; i < 4; ++i) items[i] = {i + 1, 1, names[i], status[i]};
    data::SortUserItems(items, 3, false);
    EXPECT_EQ(Numbers(items), (std::vector<int32_t>{2, 1, 4, 3}));
    data::SortUserItems(items, 3, true);
    EXPECT_EQ(Numbers(items), (std::vector<int32_t>{3, 4, 1, 2}));
    data::SortUserItems(items, 4, false);
    EXPECT_EQ(Numbers(items), (std::vector<int32_t>{2, 3, 4, 1}));
    data::SortUserItems(items, 4, true);
    EXPECT_EQ(Numbers(items), (std::vector<int32_t>{1, 4, 3, 2}));
    data::SortUserItems(items, 0, false);  // an icon column: nothing moves
    EXPECT_EQ(Numbers(items), (std::vector<int32_t>{1, 4, 3, 2}));
}

TEST(UserList, ResetWipesTheChosenLearnersProgressOnly) {
    support::LearnerFolder course;
    course.AddGroup(1, "G");
    course.AddUser(1, 1, "First");
    course.Learners("set-progress", "--group 1 --user 1 --state 1 --total 30 --worth 40");
    course.AddUser(1, 200, "Chosen", "--password pw --may-configure");
    course.Change(1, 200, [](data::UserRecord& u) {
        u.State = -1;
        u.Level = 2;
        u.Step = 9;
        u.StepCount = 9;
        u.Total = 40;
        u.AskLeft = 3;
        u.Kind = 2;
    });

    data::DataAccess users;
    ASSERT_TRUE(users.Open(course.users_path, isam::OPEN_INOUT).ok());
    ASSERT_TRUE(data::ResetUser(users, 1, 200).ok());
    data::UserRecord after;
    ASSERT_TRUE(data::FindUser(users, 1, 200, after).ok());
    data::UserRecord expected = data::UserTemplate();
    expected.GroupNo = 1;
    expected.UserNo = 200;
    expected.UserName = "Chosen";
    expected.MayConfigure = 1;
    expected.password = data::ScramblePassword("pw");
    uint8_t a[data::kUserRecordSize], b[data::kUserRecordSize];
    data::EncodeUserRecord(after, a);
    data::EncodeUserRecord(expected, b);
    EXPECT_EQ(std::memcmp(a, b, sizeof a), 0);

    data::UserRecord untouched;
    ASSERT_TRUE(data::FindUser(users, 1, 1, untouched).ok());
    EXPECT_EQ(untouched.Total, 30);
    EXPECT_EQ(data::ResetUser(users, 1, 5).code(), data::kNotFound);
}

// Records the boxes the choice shows and answers them as told.
struct FakeDialogs : data::ChoiceDialogs {
    bool yes = true;
    data::PasswordAnswer password = data::PasswordAnswer::Ok;
    std::vector<std::string> shown;
    void ShowError(const std::string& text) override { shown.push_back("error: " + text); }
    void ShowSummary(const std::string& text, const std::string& caption) override {
        shown.push_back("summary " + caption + ": " + text);
    }
    bool ConfirmIdentity(const data::UserRecord& record) override {
        shown.push_back("identity: " + record.UserName);
        return yes;
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        shown.push_back("ask " + caption + ": " + text);
        return yes;
    }
    data::PasswordAnswer AskPassword(const std::string& stored) override {
        shown.push_back("password: " + data::UnscramblePassword(stored));
        return password;
    }
    void ShowWrongPassword(const std::string& text, const std::string& caption) override {
        shown.push_back("wrong " + caption + ": " + text);
    }
};

struct ChoiceTest : ::testing::Test {
    void SetUp() override {
        course.AddGroup(2, "Morning");
        course.AddUser(2, 130, "MARTIN", "--password open");
        course.AddUser(2, 1, "DURAND");
        course.Write("DATA/DEMO/GB/INI.002", "Gaz=Nitrogen\nUnit=US\n");
        course.Write("DATA/DEMO/GB/INI130.002", "gaz=Argon\n");
        ASSERT_TRUE(users.Open(course.users_path, isam::OPEN_INOUT).ok());
        context.users = &users;
        context.config = &config;
        context.common = &course.common;
        context.root = course.path.string();
        context.options_folder = course.folder;
        context.group_name = "Morning";
    }
    support::LearnerFolder course;
    data::DataAccess users;
    data::ConfigTable config;
    data::ChoiceContext context;
    FakeDialogs dialogs;
};

TEST_F(ChoiceTest, ConfirmedUserWithoutPasswordIsAcceptedAtOnce) {
    data::UserRecord chosen;
    EXPECT_TRUE(data::ChooseUser(context, dialogs, 2, 1, &chosen));
    EXPECT_EQ(chosen.UserName, "DURAND");
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{"ask Morning: Are you DURAND?"});
    EXPECT_EQ(config.Get(data::kGaz), "Nitrogen");
    EXPECT_EQ(data::UserTag(2, 1), 513);
}

TEST_F(ChoiceTest, PasswordAnswersDecide) {
    dialogs.password = data::PasswordAnswer::Ok;
    EXPECT_TRUE(data::ChooseUser(context, dialogs, 2, 130));
    EXPECT_EQ(dialogs.shown,
              (std::vector<std::string>{"ask Morning: Are you MARTIN?", "password: OPEN"}));
    // The user's file is applied after the group's.
    EXPECT_EQ(config.Get(data::kGaz), "Argon");
    EXPECT_EQ(config.Get(data::kUnit), "US");

    dialogs.shown.clear();
    dialogs.password = data::PasswordAnswer::Wrong;
    EXPECT_FALSE(data::ChooseUser(context, dialogs, 2, 130));
    EXPECT_EQ(dialogs.shown.back(), "wrong Password: Wrong password.");

    dialogs.shown.clear();
    dialogs.password = data::PasswordAnswer::Cancel;
    EXPECT_FALSE(data::ChooseUser(context, dialogs, 2, 130));
    EXPECT_EQ(dialogs.shown.size(), 2u);  // no box after a cancelled password
}

TEST_F(ChoiceTest, NoToTheConfirmationAsksNoPassword) {
    dialogs.yes = false;
    EXPECT_FALSE(data::ChooseUser(context, dialogs, 2, 130));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{"ask Morning: Are you MARTIN?"});
    // CheckID= set: the identification window confirms instead of the question.
    config.Set(data::kCheckID, "1");
    dialogs.shown.clear();
    dialogs.yes = true;
    EXPECT_TRUE(data::ChooseUser(context, dialogs, 2, 1));
    EXPECT_EQ(dialogs.shown, std::vector<std::string>{"identity: DURAND"});
}

TEST_F(ChoiceTest, AFailedReadIsReportedAndNothingIsAsked) {
    EXPECT_FALSE(data::ChooseUser(context, dialogs, 2, 99));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0],
              "error: " + users.DataPath() + " : " + isam::ErrorText(isam::kNoRecord));
    EXPECT_EQ(config.Get(data::kGaz), "");
}

// A learner's option file that would lead a path out of the course: the line is named and not
// applied; the rest of the file is.
TEST_F(ChoiceTest, AnOptionLineLeadingOutOfTheCourseIsNamedAndNotApplied) {
    course.Write("DATA/DEMO/GB/INI001.002", "Directory=..\\..\\esc\\\nSymbol=US\n");
    config.Set(data::kDirectory, "D1");
    EXPECT_TRUE(data::ChooseUser(context, dialogs, 2, 1));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0],
              "error: Directory=..\\..\\esc\\ : The setting leads out of the course folder");
    EXPECT_EQ(config.Get(data::kDirectory), "D1");
    EXPECT_EQ(config.Get(data::kSymbol), "US");
}

TEST_F(ChoiceTest, DeveloperSeesTheOptionsApplied) {
    context.developer = true;
    EXPECT_TRUE(data::ChooseUser(context, dialogs, 2, 1));
    ASSERT_EQ(dialogs.shown.size(), 2u);
    EXPECT_EQ(dialogs.shown[0].rfind("summary Error: grp: " + course.folder + "/INI.002\n", 0), 0u)
        << dialogs.shown[0];
    EXPECT_NE(dialogs.shown[0].find("\ngaz: Nitrogen\nunit: US\n"), std::string::npos);
}

}  // namespace
