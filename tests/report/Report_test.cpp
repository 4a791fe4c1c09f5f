// The report library on a course whose learners were made by learners and played by lessonrun
// with known answers (make_course.sh); every figure below is worked out from those answers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "CourseFixture.h"
#include "data/DataAccess.h"
#include "data/ScoreBook.h"
#include "data/ScoreFile.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "report/CourseReader.h"
#include "report/HistoryLines.h"
#include "report/ReportCache.h"
#include "report/ReportCourse.h"
#include "report/Reports.h"

namespace {

using nlohmann::json;

class ReportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(course_.Made()) << course_.Output();
        std::string error;
        ASSERT_TRUE(report_.Open(course_.Root(), "", error)) << error;
        ASSERT_EQ(reader_.Refresh(error), 0) << error;
    }
    const report::LearnerRow& Row(const report::Summary& s, int group, int user) {
        for (const report::GroupRows& g : s.groups)
            for (const report::LearnerRow& l : g.learners)
                if (l.group == group && l.user == user) return l;
        ADD_FAILURE() << "no learner " << group << ":" << user;
        static report::LearnerRow none;
        return none;
    }
    // Sets the seconds of each step in a learner's score file, as the player would have.
    void SetTimes(int group, int user, std::vector<int> seconds) {
        const report::Learner* l = reader_.Find(group, user);
        ASSERT_NE(l, nullptr);
        const std::string path = report_.ScorePath(user, group);
        data::ScoreBook book;
        ASSERT_TRUE(data::ReadScoreFile(path, l->record.StepCount, book).ok());
        for (size_t i = 0; i < seconds.size(); ++i) book.StepTime[i] = seconds[i];
        ASSERT_TRUE(data::WriteScoreFile(path, l->record.StepCount, book).ok());
    }
    void Refresh() {
        std::string error;
        ASSERT_EQ(reader_.Refresh(error), 0) << error;
    }

    reporttest::CourseCopy course_;
    support::TempFolder temp_;
    report::ReportCourse report_;
    report::CourseReader reader_{report_};
};

TEST_F(ReportTest, SummaryGivesEachLearnersProgressByGroup) {
    const report::Summary s = report::MakeSummary(reader_.Data(), report_.Name(), "GB");
    EXPECT_EQ(s.course, "TEST");
    EXPECT_EQ(s.steps, 4);
    ASSERT_EQ(s.groups.size(), 2u);
    EXPECT_EQ(s.groups[0].name, "Morning shift");
    EXPECT_EQ(s.groups[1].name, "Night <b>shift</b>");
    EXPECT_EQ(s.groups[0].learners.size(), 3u);

    // 1:1 right everywhere to the end; 1:2 one right answer of three; 1:3 never played.
    const report::LearnerRow& alice = Row(s, 1, 1);
    EXPECT_TRUE(alice.finished);
    EXPECT_EQ(alice.state, -1);
    EXPECT_EQ(alice.total, 40);
    EXPECT_EQ(alice.worth, 40);
    EXPECT_DOUBLE_EQ(alice.percent, 100.0);
    EXPECT_EQ(alice.visits, 4);
    EXPECT_TRUE(alice.last_active.has_value());
    const report::LearnerRow& bruno = Row(s, 1, 2);
    EXPECT_FALSE(bruno.finished);
    EXPECT_EQ(bruno.total, 10);
    EXPECT_EQ(bruno.worth, 30);
    EXPECT_DOUBLE_EQ(bruno.percent, 33.3);
    EXPECT_EQ(bruno.visits, 4);  // step 1 twice (Prev), step 2 twice
    const report::LearnerRow& chloe = Row(s, 1, 3);
    EXPECT_EQ(chloe.name, "Chlo\xc3\xa9 Dubois");
    EXPECT_EQ(chloe.state, 0);
    EXPECT_DOUBLE_EQ(chloe.percent, 0.0);
    EXPECT_FALSE(chloe.last_active.has_value());
    EXPECT_TRUE(chloe.unreadable.empty());
    EXPECT_EQ(Row(s, 2, 1).name, "<img src=x onerror=f()>");

    // The JSON carries exactly the names scripts rely on.
    const json j = json::parse(report::SummaryJson(s));
    const json& first = j["groups"][0]["learners"][0];
    for (const char* key : {"group", "user", "name", "state", "level", "step", "total", "worth",
                            "percent", "finished", "time_s", "visits", "last_active"})
        EXPECT_TRUE(first.contains(key)) << key;
    EXPECT_TRUE(j["groups"][0]["learners"][2]["last_active"].is_null());
    EXPECT_EQ(j["language"], "GB");
    EXPECT_EQ(j["groups"][1]["name"], "Night <b>shift</b>");
}

TEST_F(ReportTest, StepsCountAnswersFromHistoriesAndTimesFromScores) {
    SetTimes(1, 1, {30, 40, 50, 60});
    SetTimes(1, 2, {90, 20});
    SetTimes(2, 1, {10, 70});
    SetTimes(2, 2, {45});
    Refresh();
    const std::vector<report::StepRow> steps = report::MakeSteps(reader_.Data());
    ASSERT_EQ(steps.size(), 4u);
    struct Expect {
        int answered, first_right;
        std::map<int, int> given;
        double median;
        int visits;
    };
    // Step 1: 1:1 right, 1:2 wrong (2) then right, 2:1 wrong (2), 2:2 right.
    // Step 2: 1:1 right, 1:2 and 2:1 wrong (1). Steps 3 and 4: 1:1 only.
    // Medians over the learners who visited: {10,30,45,90} and {20,40,70}.
    const Expect expect[] = {{4, 2, {{1, 3}, {2, 2}}, 37.5, 5},
                             {3, 1, {{1, 2}, {3, 1}}, 40, 4},
                             {1, 1, {{2, 1}}, 50, 1},
                             {1, 1, {{4, 1}}, 60, 1}};
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(steps[i].level, 1);
        EXPECT_EQ(steps[i].step, int(i + 1));
        EXPECT_EQ(steps[i].answered, expect[i].answered);
        EXPECT_EQ(steps[i].first_try_right, expect[i].first_right);
        EXPECT_EQ(steps[i].given, expect[i].given);
        ASSERT_TRUE(steps[i].median_time_s.has_value());
        EXPECT_DOUBLE_EQ(*steps[i].median_time_s, expect[i].median);
        EXPECT_EQ(steps[i].visits, expect[i].visits);
    }
    EXPECT_EQ(steps[0].question, "Which valve opens first?");
    EXPECT_EQ(steps[0].answers, (std::vector<std::string>{"Suction valve V1", "Discharge valve V2",
                                                          "Vent cock VC1"}));
    EXPECT_EQ(steps[1].expected, 3);

    const json j = json::parse(report::StepsJson(steps));
    EXPECT_EQ(j["steps"][0]["given"], json({{"1", 3}, {"2", 2}}));
    EXPECT_EQ(j["steps"][1]["median_time_s"], 40.0);
}

TEST_F(ReportTest, DamagedFilesMarkTheirLearnerOnly) {
    std::filesystem::resize_file(course_.Learners("SCO002.001"), 20);
    { std::ofstream(course_.Learners("HST002.002"), std::ios::app) << "garbage\n"; }
    Refresh();
    const report::Summary s = report::MakeSummary(reader_.Data(), report_.Name(), "GB");
    EXPECT_NE(Row(s, 1, 2).unreadable.find("SCO002.001"), std::string::npos);
    EXPECT_EQ(Row(s, 1, 2).visits, 0);
    EXPECT_NE(Row(s, 2, 2).unreadable.find("HST002.002: line 2"), std::string::npos);
    EXPECT_TRUE(Row(s, 1, 1).unreadable.empty());
    EXPECT_EQ(Row(s, 1, 1).visits, 4);
    // The readable line of the damaged history still counts.
    EXPECT_EQ(report::MakeSteps(reader_.Data())[0].answered, 4);
    EXPECT_EQ(json::parse(report::SummaryJson(s))["groups"][0]["learners"][1]["unreadable"],
              Row(s, 1, 2).unreadable);
}

TEST_F(ReportTest, ReadsOnlyRegularLearnerFilesInsideTheCourse) {
    // A history linked to a file outside the course, with lines that would count; a score file
    // linked to a system file (its size would show); a FIFO in place of a history.
    const std::string outside =
        temp_.Write("outside", "#F1 E1 Q1 1:1 N3 D1\n#F1 E1 Q1 1:1 N3 D1\n");
    std::filesystem::remove(course_.Learners("HST002.001"));
    std::filesystem::create_symlink(outside, course_.Learners("HST002.001"));
    std::filesystem::remove(course_.Learners("SCO002.001"));
    std::filesystem::create_symlink("/etc/passwd", course_.Learners("SCO002.001"));
    std::filesystem::remove(course_.Learners("HST002.002"));
    ASSERT_EQ(::mkfifo(course_.Learners("HST002.002").c_str(), 0600), 0);
    Refresh();
    const report::Learner* hostile = reader_.Find(1, 2);
    ASSERT_NE(hostile, nullptr);
    EXPECT_TRUE(hostile->history.empty());
    EXPECT_TRUE(hostile->scores.empty());
    EXPECT_EQ(hostile->history_problem, "HST002.001: not a learner file");
    EXPECT_EQ(hostile->score_problem, "SCO002.001: not a learner file");
    EXPECT_EQ(reader_.Find(2, 2)->history_problem, "HST002.002: not a learner file");
    // Step 1 keeps only the answers of learners whose journals are theirs: 1:1 and 2:1; 2:2,
    // whose journal is not read, still counts as answering by the score file.
    const std::vector<report::StepRow> steps = report::MakeSteps(reader_.Data());
    EXPECT_EQ(steps[0].answered, 3);
    EXPECT_EQ(steps[0].given, (std::map<int, int>{{1, 1}, {2, 1}}));

    // The learners' folder itself linked out of the course: nothing in it is read.
    support::TempFolder elsewhere;
    const std::string folder = course_.Root() + "/DATA/TEST/GB";
    std::filesystem::rename(folder, elsewhere.path / "GB");
    std::filesystem::create_symlink(elsewhere.path / "GB", folder);
    report::CourseReader reader(report_);
    std::string error;
    EXPECT_EQ(reader.Refresh(error), -1);
    EXPECT_EQ(error, "the learners' folder DATA/TEST/GB leads out of the course");
}

TEST_F(ReportTest, AScoreFileOfTheWrongSizeIsDamagedWithoutBeingRead) {
    // 1 GiB, mostly a hole; its access time set before its change, which any read moves on.
    const std::string path = course_.Learners("SCO001.001");
    std::filesystem::resize_file(path, 1ull << 30);
    const struct timespec times[2] = {{1000000000, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    Refresh();
    EXPECT_EQ(reader_.Find(1, 1)->score_problem, "SCO001.001: damaged (1073741824 bytes, not 112)");
    struct stat st;
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1000000000) << "the score file was read";
}

TEST_F(ReportTest, SaysWhyTheStepsEndWhenAStepFileIsNoFile) {
    const std::string step_file = course_.Root() + "/MSG/GB/D1STEP01.MSG";
    std::filesystem::remove(step_file);
    ASSERT_EQ(::mkfifo(step_file.c_str(), 0600), 0);
    Refresh();
    const report::Summary s = report::MakeSummary(reader_.Data(), report_.Name(), "GB");
    EXPECT_EQ(s.steps, 0);
    EXPECT_EQ(s.steps_problem,
              "the step file of level 1, MSG/GB/D1STEP01.MSG, is not a regular file");
    EXPECT_EQ(json::parse(report::SummaryJson(s))["steps_problem"], s.steps_problem);
    // A link to a regular step file is read, as in a user's copy of an installed course.
    std::filesystem::remove(step_file);
    std::filesystem::create_symlink(
        reporttest::PlayedCourse::Original().Root() + "/MSG/GB/D1STEP01.MSG", step_file);
    Refresh();
    EXPECT_EQ(reader_.Data().steps.size(), 4u);
    EXPECT_EQ(reader_.Data().steps_problem, "");
}

TEST_F(ReportTest, AReadErrorNamesTheFileInsideTheCourse) {
    const std::string users = course_.Learners("USERS.dat");
    const std::string away = temp_ / "USERS.dat";
    std::filesystem::rename(users, away);
    report::CourseReader reader(report_);
    std::string error;
    ASSERT_EQ(reader.Refresh(error), -1);
    EXPECT_EQ(error.rfind("cannot open DATA/TEST/GB/USERS : ", 0), 0u) << error;
    EXPECT_EQ(error.find(course_.Root()), std::string::npos) << error;
    // The GROUP and USERS files are not read through a link either.
    std::filesystem::create_symlink(away, users);
    ASSERT_EQ(reader.Refresh(error), -1);
    EXPECT_EQ(error, "cannot open DATA/TEST/GB/USERS.dat : not a learner file");
}

TEST_F(ReportTest, AnswersOutsideOneToSixCountAsOther) {
    {
        std::ofstream(course_.Learners("HST002.002"), std::ios::app)
            << "#F1 E1 Q1 2:2000000000 N3 D1\n#F1 E1 Q1 2:-7 N3 D1\n#F1 E1 Q1 2:6 N3 D1\n";
    }
    Refresh();
    const std::vector<report::StepRow> steps = report::MakeSteps(reader_.Data());
    EXPECT_EQ(steps[0].given, (std::map<int, int>{{1, 3}, {2, 2}, {6, 1}}));
    EXPECT_EQ(steps[0].other, 2);
    const json j = json::parse(report::StepsJson(steps));
    EXPECT_EQ(j["steps"][0]["other"], 2);
    // Six answer columns (text, count), then the others.
    EXPECT_NE(report::StepsCsv(steps).find(
                  ",Suction valve V1,3,Discharge valve V2,2,Vent cock VC1,0,,,,,,1,2,0,"),
              std::string::npos);
}

TEST_F(ReportTest, ALearnerBegunWithoutAScoreFileIsNotDamaged) {
    // 2:2 in mid-session through the data server: the record is there, the score file comes
    // at the end of the session.
    std::filesystem::remove(course_.Learners("SCO002.002"));
    Refresh();
    const report::Summary s = report::MakeSummary(reader_.Data(), report_.Name(), "GB");
    const report::LearnerRow& emma = Row(s, 2, 2);
    EXPECT_TRUE(emma.unreadable.empty()) << emma.unreadable;
    EXPECT_EQ(report::StateName(emma), "begun, nothing sent yet");
    EXPECT_EQ(report::StateName(Row(s, 1, 1)), "finished");
    EXPECT_EQ(report::StateName(Row(s, 1, 2)), "begun");
    EXPECT_EQ(report::StateName(Row(s, 1, 3)), "new");
    const json j = json::parse(report::SummaryJson(s));
    EXPECT_EQ(j["groups"][1]["learners"][1]["status"], "begun, nothing sent yet");
    EXPECT_TRUE(j["groups"][1]["learners"][1]["unreadable"].is_null());
    EXPECT_EQ(j["groups"][0]["learners"][0]["state"], -1);  // the code stays beside the word
    EXPECT_NE(report::LearnersCsv(s).find(",Emma Petit,\"begun, nothing sent yet\","),
              std::string::npos);
}

TEST_F(ReportTest, LearnersWhoNeedHelpAreFlaggedWithTheirReasons) {
    // Ten days after the last activity: Bruno and the learners of group 2 have begun and not
    // finished; Alice has finished, Chloé never began.
    const int64_t later =
        *Row(report::MakeSummary(reader_.Data(), "", ""), 1, 2).last_active + 10 * 86400 + 60;
    report::HelpRule rule;
    rule.failures = 2;
    const report::Summary s = report::MakeSummary(reader_.Data(), "", "", rule, later);
    EXPECT_EQ(Row(s, 1, 1).help, std::vector<std::string>{});
    EXPECT_EQ(Row(s, 1, 3).help, std::vector<std::string>{});
    EXPECT_EQ(Row(s, 1, 2).help, std::vector<std::string>{"no progress for 10 days"});
    // 2:1 answered step 1 wrongly, then step 2 wrongly: nothing failed twice.
    EXPECT_EQ(Row(s, 2, 1).help, std::vector<std::string>{"no progress for 10 days"});
    EXPECT_EQ(Row(s, 1, 2).answered, 2);
    EXPECT_EQ(Row(s, 1, 2).first_try_right, 0);
    EXPECT_EQ(Row(s, 1, 1).first_try_right, 4);
    const json j = json::parse(report::SummaryJson(s));
    EXPECT_EQ(j["help_rule"]["idle_days"], 7);
    EXPECT_EQ(j["help_rule"]["failures"], 2);
    EXPECT_EQ(j["groups"][0]["learners"][1]["needs_help"], true);
    EXPECT_EQ(j["groups"][0]["learners"][1]["help"][0], "no progress for 10 days");
    EXPECT_EQ(j["groups"][0]["learners"][0]["needs_help"], false);
    EXPECT_EQ(j["groups"][0]["learners"][1]["help_reasons"],
              json::parse(R"([{"reason": "idle", "days": 10}])"));
    EXPECT_NE(report::LearnersCsv(s).find(",no progress for 10 days\r\n"), std::string::npos);
    // The tool takes the figures and says them.
    const support::ToolRun run = support::RunTool(std::string(COURSEREPORT_PATH) + " summary '" +
                                                  course_.Root() + "' --idle-days 3 --failures 4");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("no progress for 3 days; a step failed 4 times"), std::string::npos)
        << run.out;
    EXPECT_NE(support::RunTool(std::string(COURSEREPORT_PATH) + " summary '" + course_.Root() +
                               "' --failures x 2>&1")
                  .status,
              0);
}

TEST_F(ReportTest, ChangesAreSeenByTheFoldersWatchAndTheSlowRescan) {
    report::CourseReader watching(report_, std::chrono::hours(1));
    report::CourseReader rescanning(report_, std::chrono::seconds(0));
    std::string error;
    ASSERT_EQ(watching.Refresh(error), 0) << error;
    ASSERT_EQ(rescanning.Refresh(error), 0) << error;
    // A line appended in the folder: the watch names the file, the next refresh reads it.
    { std::ofstream(course_.Learners("HST002.002"), std::ios::app) << "#F2 E1 Q2 3:3 N3 D1\n"; }
    ASSERT_EQ(watching.Refresh(error), 0) << error;
    EXPECT_EQ(watching.Find(2, 2)->history.size(), 2u);
    // A line appended through a link from another folder, which the watch does not see (as a
    // change made on another machine of a network file system): only a rescan finds it.
    const std::string elsewhere = temp_ / "linked";
    std::filesystem::create_hard_link(course_.Learners("HST002.002"), elsewhere);
    { std::ofstream(elsewhere, std::ios::app) << "#F3 E1 Q3 2:2 N3 D1\n"; }
    ASSERT_EQ(watching.Refresh(error), 0) << error;
    EXPECT_EQ(watching.Find(2, 2)->history.size(), 2u) << "a refresh looked at every learner";
    ASSERT_EQ(rescanning.Refresh(error), 0) << error;
    EXPECT_EQ(rescanning.Find(2, 2)->history.size(), 3u);
    // A new record makes every learner be looked at.
    {
        data::DataAccess users;
        ASSERT_TRUE(users.Open(report_.UsersPath(), isam::OPEN_INOUT).ok());
        data::UserRecord r = data::UserTemplate();
        r.GroupNo = 2;
        r.UserNo = 3;
        r.UserName = "Farid";
        uint8_t bytes[data::kUserRecordSize];
        data::EncodeUserRecord(r, bytes);
        ASSERT_TRUE(users.Write(bytes).ok());
        ASSERT_TRUE(users.Close().ok());
    }
    ASSERT_EQ(watching.Refresh(error), 0) << error;
    EXPECT_EQ(watching.Find(2, 2)->history.size(), 3u);
    ASSERT_NE(watching.Find(2, 3), nullptr);
}

TEST_F(ReportTest, AnswersCsvHasARowPerRecordedAnswer) {
    const std::string csv = report::AnswersCsv(reader_.Data());
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFgroup,group_name,user,name,level,step,given,given_text,"
                        "expected,expected_text,right,step_time_s\r\n",
                        0),
              0u);
    // In French, the header row only changes.
    const std::string french = report::CsvInLanguage(csv, "fr");
    EXPECT_EQ(french.rfind("\xEF\xBB\xBFgroupe,nom du groupe,apprenant,nom,niveau,\xC3\xA9tape,"
                           "donn\xC3\xA9"
                           "e,texte donn\xC3\xA9,attendue,texte attendu,juste,",
                           0),
              0u)
        << french;
    EXPECT_EQ(french.substr(french.find("\r\n")), csv.substr(csv.find("\r\n")));
    EXPECT_EQ(report::CsvInLanguage(csv, "en"), csv);
    // Alice 4, Bruno 3, the hostile learner 2, Emma 1; each with its answer's text.
    size_t rows = 0;
    for (size_t at = csv.find("\r\n"); (at = csv.find("\r\n", at + 2)) != std::string::npos;)
        ++rows;
    EXPECT_EQ(rows, 10u);
    EXPECT_NE(csv.find("1,Morning shift,2,Bruno Leroy,1,1,2,Discharge valve V2,1,Suction valve "
                       "V1,false,"),
              std::string::npos);
    EXPECT_NE(csv.find("2,Night <b>shift</b>,2,Emma Petit,1,1,1,Suction valve V1,1,Suction "
                       "valve V1,true,"),
              std::string::npos)
        << csv;
}

TEST_F(ReportTest, TheTerminalSummaryLinesUpAccentedNames) {
    const support::ToolRun run =
        support::RunTool(std::string(COURSEREPORT_PATH) + " summary '" + course_.Root() + "' 2>&1");
    ASSERT_EQ(run.status, 0) << run.out;
    // The status column starts at the same column for Alice and for Chloé.
    auto status_column = [&](const std::string& name, const std::string& status) {
        const size_t line = run.out.find(name);
        const size_t at = run.out.find(" " + status + " ", line);
        EXPECT_NE(line, std::string::npos) << name;
        EXPECT_NE(at, std::string::npos) << name;
        const size_t start = run.out.rfind('\n', line) + 1;
        return report::DisplayWidth(run.out.substr(start, at - start));
    };
    EXPECT_EQ(status_column("Alice Martin", "finished"),
              status_column("Chlo\xc3\xa9 Dubois", "new"));
}

TEST_F(ReportTest, TheTerminalSummaryShowsControlCharactersEscaped) {
    {
        data::DataAccess users;
        ASSERT_TRUE(users.Open(report_.UsersPath(), isam::OPEN_INOUT).ok());
        data::UserRecord r = data::UserTemplate();
        r.GroupNo = 2;
        r.UserNo = 3;
        r.UserName = "\x1b]0;owned\x07\x1b[2JEve";
        uint8_t bytes[data::kUserRecordSize];
        data::EncodeUserRecord(r, bytes);
        ASSERT_TRUE(users.Write(bytes).ok());
        ASSERT_TRUE(users.Close().ok());
    }
    const support::ToolRun run =
        support::RunTool(std::string(COURSEREPORT_PATH) + " summary '" + course_.Root() + "' 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\\x1b]0;owned\\x07\\x1b[2JEve"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(run.out.find('\x07'), std::string::npos);
}

TEST_F(ReportTest, ReadsAgainOnlyWhatChanged) {
    const uint64_t generation = reader_.Data().generation;
    Refresh();
    EXPECT_EQ(reader_.Data().generation, generation);

    // The same size and modification time: taken as unchanged, so the file is not read.
    const std::string history = course_.Learners("HST002.002");
    struct stat before;
    ASSERT_EQ(::stat(history.c_str(), &before), 0);
    {
        std::fstream f(history, std::ios::in | std::ios::out);
        f.seekp(0);
        f << "X";
    }
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, history.c_str(), times, 0), 0);
    Refresh();
    EXPECT_EQ(reader_.Data().generation, generation);
    EXPECT_TRUE(reader_.Find(2, 2)->Unreadable().empty());

    // A line more: read again.
    { std::ofstream(course_.Learners("HST001.002"), std::ios::app) << "#F3 E1 Q3 2:2 N3 D1\n"; }
    Refresh();
    EXPECT_GT(reader_.Data().generation, generation);
    EXPECT_EQ(report::MakeSteps(reader_.Data())[2].answered, 2);
}

TEST_F(ReportTest, TheCacheShowsAChangeToLaterRequestsWhileOthersRead) {
    report::ReportCache cache(report_, std::chrono::milliseconds(10));
    std::string error;
    ASSERT_TRUE(cache.Start(error)) << error;
    // Step 3's learners that answered, and 2:1's history lines: -1 when a report fails.
    auto answered = [&] {
        std::string body, why;
        if (cache.Get(report::ReportCache::kStepsJson, body, why) != 0) return -1;
        return json::parse(body)["steps"][2]["answered"].get<int>();
    };
    auto lines = [&] {
        std::string body, why;
        if (cache.GetLearner(2, 1, body, why) != 1) return -1;
        return int(json::parse(body)["history"].size());
    };
    ASSERT_EQ(answered(), 1);
    const int before = lines();
    ASSERT_GT(before, 0);

    // Requests on other threads go on while the refresher swaps the snapshot; each sees the
    // old or the new figures, never anything else.
    std::atomic<bool> stop{false};
    std::atomic<int> odd{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            while (!stop) {
                const int a = answered(), l = lines();
                if ((a != 1 && a != 2) || (l != before && l != before + 1)) ++odd;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    { std::ofstream(course_.Learners("HST001.002"), std::ios::app) << "#F3 E1 Q3 2:2 N3 D1\n"; }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (answered() != 2 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    stop = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(answered(), 2);
    EXPECT_EQ(lines(), before + 1);
    EXPECT_EQ(odd, 0);

    // Stopped, the cache checks the files at each request itself.
    cache.Stop();
    { std::ofstream(course_.Learners("HST001.002"), std::ios::app) << "#F4 E1 Q4 4:4 N3 D1\n"; }
    EXPECT_EQ(lines(), before + 2);
}

TEST_F(ReportTest, NothingInTheCourseChanges) {
    // Every file's bytes and time, but the ISAM lock files, whose slot counter any reader moves.
    auto snapshot = [&] {
        std::map<std::string, std::pair<std::string, int64_t>> files;
        for (const auto& e : std::filesystem::recursive_directory_iterator(course_.Root())) {
            if (!e.is_regular_file() || e.path().extension() == ".lck") continue;
            struct stat st;
            ::stat(e.path().c_str(), &st);
            files[e.path().string()] = {
                support::TempFolder::Read(e.path().string()),
                int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
        }
        return files;
    };
    const auto before = snapshot();
    report::ReportCourse fresh;
    std::string error;
    ASSERT_TRUE(fresh.Open(course_.Root(), "GB", error));
    report::CourseReader reader(fresh);
    ASSERT_EQ(reader.Refresh(error), 0);
    (void)report::SummaryJson(report::MakeSummary(reader.Data(), fresh.Name(), "GB"));
    (void)report::StepsCsv(report::MakeSteps(reader.Data()));
    EXPECT_TRUE(before == snapshot());
}

TEST_F(ReportTest, RefusesACourseItCannotOpen) {
    const struct {
        std::string folder;
        const char* language;
        const char* says;
    } cases[] = {{"/nonexistent/course", "", "cannot enter"},
                 {MAKE_COURSE_DIR, "", "no INI file"},
                 {course_.Root(), "../GB", "leads out of the course"},
                 {course_.Root(), "DE", "no line for the language DE"}};
    for (const auto& c : cases) {
        report::ReportCourse course;
        std::string error;
        EXPECT_FALSE(course.Open(c.folder, c.language, error)) << c.folder;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(HistoryLines, DecodesAnswersAndAbandonsAndFindsDamage) {
    const struct {
        const char* text;
        size_t lines;
        int bad_line;
    } cases[] = {
        {"#F1 E1 Q2 3:1 N3 D1\n~-1:-1\n", 2, 0},
        {"#F1 E1 Q2 3:1 N3 D1\r\n", 1, 0},
        {"#F1 E1 Q2 3:1 N3 D1\n#F2 E1 Q", 1, 0},  // a line being written
        {"#F1 E1 Q2 3:1 N3\n", 0, 1},             // no directory
        {"#F1 E1 Q2 3-1 N3 D1\n", 0, 1},
        {"\n#F1 E1 Q2 3:1 N3 D1\n", 1, 1},
        {"#F99999999999 E1 Q2 3:1 N3 D1\n", 0, 1},
    };
    for (const auto& c : cases) {
        const report::HistoryText h = report::ParseHistory(c.text);
        EXPECT_EQ(h.lines.size(), c.lines) << c.text;
        EXPECT_EQ(h.bad_line, c.bad_line) << c.text;
    }
    const report::HistoryText h = report::ParseHistory("#F7 E1 Q2 3:1 N3 D1\n~-1:-1\n");
    ASSERT_EQ(h.lines.size(), 2u);
    EXPECT_EQ(h.lines[0].f, 7);
    EXPECT_EQ(h.lines[0].step, 2);
    EXPECT_EQ(h.lines[0].expected, 3);
    EXPECT_EQ(h.lines[0].given, 1);
    EXPECT_EQ(h.lines[0].directory, "D1");
    EXPECT_TRUE(h.lines[1].abandon);
}

TEST(Reports, TerminalTextEscapesControlCharacters) {
    const struct {
        std::string text, shown;
    } cases[] = {
        {"Chlo\xc3\xa9 Dubois", "Chlo\xc3\xa9 Dubois"},
        {"\x1b[2J\x1b]0;x\x07"
         "Eve",
         "\\x1b[2J\\x1b]0;x\\x07Eve"},
        {"a\nb\rc\td\x7f", "a\\x0ab\\x0dc\\x09d\\x7f"},
        {"\xc2\x9b"
         "31m",
         "\\u009b31m"},            // C1 CSI in UTF-8
        {"\xc2\xa0", "\xc2\xa0"},  // a no-break space stays
    };
    for (const auto& c : cases) EXPECT_EQ(report::TerminalText(c.text), c.shown) << c.shown;
}

TEST(Reports, PercentHasOneDecimalAndIsZeroWithoutWorth) {
    EXPECT_DOUBLE_EQ(report::Percent(1, 3), 33.3);
    EXPECT_DOUBLE_EQ(report::Percent(2, 3), 66.7);
    EXPECT_DOUBLE_EQ(report::Percent(5, 0), 0.0);
    EXPECT_EQ(report::IsoTime(0), "1970-01-01T00:00:00Z");
}

TEST(Reports, CsvQuotesAndDefusesFormulas) {
    report::Summary s;
    s.groups.push_back({1, "A, \"B\"", {}});
    report::LearnerRow l;
    l.group = 1;
    l.user = 2;
    l.name = "=HYPERLINK(\"x\")";
    s.groups[0].learners.push_back(l);
    const std::string csv = report::LearnersCsv(s);
    EXPECT_NE(csv.find("1,\"A, \"\"B\"\"\",2,\"'=HYPERLINK(\"\"x\"\")\",new,"), std::string::npos)
        << csv;
    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1);
    // Spreadsheet programs read UTF-8 by its byte order mark.
    EXPECT_EQ(csv.rfind("\xEF\xBB\xBFgroup,group_name,user,name,state,", 0), 0u);
}

// A lesson of one choice step, one practical step and one estimate step (10 points each), and
// three learners' files worked out by hand from the player's scoring: the practical step halves
// its points with each wrong try and writes no journal line; the estimate writes the value
// expected when it lies within the tolerance, -1 when not.
report::CourseData PracticalLesson() {
    report::CourseData data;
    data.steps = {{1, 1, "Choose", {"A", "B", "C"}, 2},
                  {1, 2, "Open valve V1 on the stage", {}, 0},
                  {1, 3, "Estimate the flow", {}, 40}};
    data.level_steps = {3};
    data.groups = {{1, "Day"}};
    auto learner = [&](int user, std::vector<report::StepScore> scores,
                       std::vector<report::HistoryLine> history) {
        report::Learner l;
        l.record.GroupNo = 1;
        l.record.UserNo = user;
        l.record.UserName = "L" + std::to_string(user);
        l.record.State = 1;
        l.record.StepCount = 3;
        l.scores = std::move(scores);
        l.history = std::move(history);
        data.learners.push_back(std::move(l));
    };
    auto answer = [](int step, int expected, int given) {
        report::HistoryLine h;
        h.f = step;
        h.level = 1;
        h.step = step;
        h.expected = expected;
        h.given = given;
        h.series = 3;
        return h;
    };
    // 1: choice right; practical right on the first try; estimate within the tolerance.
    learner(1, {{10, 10, 0, 20, 1, 3}, {10, 10, 0, 60, 1, 3}, {10, 10, 0, 30, 1, 3}},
            {answer(1, 2, 2), answer(3, 40, 40)});
    // 2: choice wrong; practical right on the third try (10, 5, then 2 points); estimate off.
    learner(2, {{0, 10, 0, 25, 1, 3}, {2, 10, 0, 200, 1, 3}, {0, 10, 0, 15, 1, 3}},
            {answer(1, 2, 3), answer(3, 40, -1)});
    // 3: choice right; practical tried once, wrong, and the session stopped; estimate not
    // reached.
    learner(3, {{10, 10, 0, 5, 1, 3}, {0, 10, 0, 90, 1, 3}, {-1, 0, 0, 0, 0, 0}},
            {answer(1, 2, 2)});
    return data;
}

TEST(Reports, PracticalAndEstimateStepsTakeTheirFiguresFromTheScoreFiles) {
    const report::CourseData data = PracticalLesson();
    const std::vector<report::StepRow> steps = report::MakeSteps(data);
    ASSERT_EQ(steps.size(), 3u);
    const struct {
        bool choice;
        int answered, first_try_right, solved, points, outside;
        std::map<int, int> given;
    } expect[] = {{true, 3, 2, 2, 20, 0, {{2, 2}, {3, 1}}},
                  {false, 3, 1, 2, 12, 0, {}},
                  {false, 2, 1, 1, 10, 1, {}}};
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(steps[i].choice, expect[i].choice);
        EXPECT_EQ(steps[i].answered, expect[i].answered);
        EXPECT_EQ(steps[i].first_try_right, expect[i].first_try_right);
        EXPECT_EQ(steps[i].solved, expect[i].solved);
        EXPECT_EQ(steps[i].points, expect[i].points);
        EXPECT_EQ(steps[i].outside, expect[i].outside);
        EXPECT_EQ(steps[i].given, expect[i].given);
        EXPECT_EQ(steps[i].other, 0);
    }
    const json j = json::parse(report::StepsJson(steps));
    EXPECT_EQ(j["steps"][1]["solved"], 2);
    EXPECT_EQ(j["steps"][2]["outside"], 1);
    EXPECT_NE(report::StepsCsv(steps).find("1,2,Open valve V1 on the stage,practical or estimate,0,"
                                           "3,1,2,,,,,,,,,,,,,0,0,"),
              std::string::npos);

    // Each learner's row of a step says in words how it went, and on which try.
    const json second = json::parse(report::LearnerJson(data.learners[1], data));
    EXPECT_EQ(second["scores"][1]["result"], "solved");
    EXPECT_EQ(second["scores"][1]["try"], 3);
    EXPECT_EQ(second["scores"][2]["result"], "not solved");
    EXPECT_EQ(second["history"][0]["given_text"], "C");
    EXPECT_EQ(second["history"][0]["expected_text"], "B");
    const json third = json::parse(report::LearnerJson(data.learners[2], data));
    EXPECT_EQ(third["scores"][1]["result"], "not solved");
    EXPECT_EQ(third["scores"][2]["result"], "not reached");
}

TEST(Reports, AStepsResultAndTryFromItsScoreRow) {
    const struct {
        report::StepScore score;
        const char* result;
        int on_try;
    } cases[] = {
        {{-1, 0, 0, 0, 0, 0}, "not reached", 0}, {{-1, 0, 0, 12, 1, 0}, "visited", 0},
        {{10, 10, 0, 30, 1, 3}, "solved", 1},    {{5, 10, 0, 30, 2, 3}, "solved", 2},
        {{1, 10, 0, 30, 4, 3}, "solved", 4},     {{7, 10, 0, 30, 2, 3}, "solved", 0},
        {{0, 10, 0, 30, 1, 3}, "not solved", 0}, {{-1, 40, 0, 30, 1, 3}, "left", 0},
        {{20, 20, 0, 30, 2, 3}, "solved", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.score.score) + "/" + std::to_string(c.score.worth));
        EXPECT_EQ(report::StepResult(c.score), c.result);
        EXPECT_EQ(report::SolvedOnTry(c.score), c.on_try);
    }
}

TEST(Reports, TimesAndDatesAreWrittenForPeople) {
    EXPECT_EQ(report::Duration(45), "45 s");
    EXPECT_EQ(report::Duration(185), "3 min 05 s");
    EXPECT_EQ(report::Duration(3720), "1 h 02 min");
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    ::setenv("TZ", "CET-1", 1);
    ::tzset();
    EXPECT_EQ(report::LocalTime(0), "1970-01-01 01:00:00 +01:00");
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    EXPECT_EQ(report::LocalTime(86400), "1970-01-02 00:00:00 +00:00");
    if (saved)
        ::setenv("TZ", before.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

TEST(Reports, TheNeedsHelpRule) {
    using Facts = report::HelpReasonFacts;
    auto facts = [](bool begun, int64_t idle, int failed, int answered, int right,
                    int group_answered, int group_right) {
        Facts f;
        f.begun = begun;
        f.idle_days = idle;
        f.most_failed = failed;
        f.most_failed_step = "1.2";
        f.answered = answered;
        f.first_try_right = right;
        f.group_answered = group_answered;
        f.group_first_try_right = group_right;
        return f;
    };
    report::HelpRule off_idle;
    off_idle.idle_days = 0;
    const report::HelpRule defaults;  // 7 days, 3 failures, 30 points after 3 steps
    const struct {
        const char* what;
        Facts facts;
        report::HelpRule rule;
        std::vector<std::string> reasons;
    } cases[] = {
        {"all well", facts(true, 2, 1, 4, 4, 12, 12), defaults, {}},
        {"idle 7 days", facts(true, 7, 0, 0, 0, 0, 0), defaults, {"no progress for 7 days"}},
        {"idle 6 days", facts(true, 6, 0, 0, 0, 0, 0), defaults, {}},
        {"idle but finished", facts(false, 30, 0, 0, 0, 0, 0), defaults, {}},
        {"never active", facts(true, -1, 0, 0, 0, 0, 0), defaults, {}},
        {"idle reason off", facts(true, 30, 0, 0, 0, 0, 0), off_idle, {}},
        {"failed 3 times", facts(true, 0, 3, 4, 3, 8, 6), defaults, {"step 1.2 failed 3 times"}},
        {"failed twice", facts(true, 0, 2, 4, 3, 8, 6), defaults, {}},
        // 1 of 4 right first (25 %) against the others' 6 of 6 (100 %).
        {"far below the group",
         facts(true, 0, 0, 4, 1, 10, 7),
         defaults,
         {"first-try success 25 % against 100 % in the group"}},
        // 2 of 4 (50 %) against 4 of 5 (80 %): exactly 30 points below.
        {"30 points below",
         facts(true, 0, 0, 4, 2, 9, 6),
         defaults,
         {"first-try success 50 % against 80 % in the group"}},
        {"29 points below", facts(true, 0, 0, 100, 51, 200, 131), defaults, {}},
        {"too few answers", facts(true, 0, 0, 2, 0, 10, 8), defaults, {}},
        {"alone in the group", facts(true, 0, 0, 4, 0, 4, 0), defaults, {}},
        {"every reason",
         facts(true, 9, 5, 4, 0, 8, 4),
         defaults,
         {"no progress for 9 days", "step 1.2 failed 5 times",
          "first-try success 0 % against 100 % in the group"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(report::HelpReasons(c.facts, c.rule), c.reasons) << c.what;
}

TEST(Reports, TextIsPaddedByTheColumnsItTakes) {
    const struct {
        std::string text;
        int width;
    } cases[] = {{"Alice", 5},
                 {"Chlo\xc3\xa9", 5},              // precomposed é
                 {"Chloe\xcc\x81", 5},             // e and a combining acute accent
                 {"\xe5\xb1\xb1\xe7\x94\xb0", 4},  // two wide letters
                 {"\xff", 1}};                     // not UTF-8: a column a byte
    for (const auto& c : cases) {
        EXPECT_EQ(report::DisplayWidth(c.text), c.width) << c.text;
        EXPECT_EQ(report::DisplayWidth(report::PadRight(c.text, 8)), 8) << c.text;
    }
}

}  // namespace
