// lessonrun on a small course: a learner's session played by given answers, stopped and
// resumed in a new process, and answers that do not fit the waiting step.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "data/GroupRecord.h"
#include "data/LearnerFiles.h"
#include "data/LearnerLock.h"
#include "data/ScoreFile.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "script/Assembler.h"
#include "script/ObjectRecord.h"
#include "support/BmpWriter.h"
#include "support/TempFolder.h"
#include "support/ToolRun.h"
#include "text/MessageWriter.h"

namespace {

struct Result {
    int status = -1;
    std::vector<std::string> lines;
    std::string err;
};

class LessonRunTest : public ::testing::Test {
  protected:
    static constexpr int32_t kSeed = 1957;

    void SetUp() override {
        (void)dir_.Write("TEST.INI",
                         "Language=GB\nUnit=SI\nEvaluate=0\nStart=1#1#\nIPserv=127.0.0.1\n"
                         "Directory=D1\nFlag=\nRandom=\n");
        (void)dir_.Write("PRODUCT.DAT", "[Test course][X][DATA][TEST.EXE][1100:0800][1][x][GB]\n");
        text::MessageContent common;
        common.seed = kSeed;
        common.texts.resize(102);
        common.texts[29] = "&Quit";
        common.texts[101] = "SI";
        common.texts[65] = "Estimate";
        common.texts[68] = "Right: %1 points";
        common.texts[71] = "Right";
        common.texts[72] = "Wrong";
        (void)dir_.Write("MSG/GB/COMMON.MSG", text::EncodeMessageFile(common));

        text::MessageContent steps;
        steps.seed = kSeed;
        steps.modulus = kSeed;
        steps.texts = {
            "Q1",
            "\nA\nB",
            "-\n## c1\n## c2",
            "K[0:0] BR2:0 TRY0:0 PT10 LDES1 F1 P0:[-]",
            "Q2",
            "Open the valve",
            "-",
            "K[0:0] BR0:0 TRY3:2 PT8 LDES2 F2 P0:[-]",
            "Q3",
            "How far?",
            "-\n## far\n## near",
            "K[0:0] BR50:5 TRY0:0 PT6 LDES0 F3 P0:[-]",
            "Q4",
            "\nX\nY\nZ",
            "-",
            "K[0:0] BR3:0 TRY0:0 PT4 LDES0 F4 P0:[-]",
        };
        (void)dir_.Write("MSG/GB/D1STEP01.MSG", text::EncodeMessageFile(steps));
        text::MessageContent valve;
        valve.seed = kSeed;
        valve.texts = {"Valve:item", "head\nOpen\nClose", "head\nLDE#0 TPS2 MTX-\nLDE#1 TPS0 MTX-",
                       "The valve is open"};
        (void)dir_.Write("MSG/GB/D1VALVE.MSG", text::EncodeMessageFile(valve));

        support::WriteBmp(dir_.path / "BMP" / "P.BMP", 8, 8, 0xFF0000);
        Script("S0", "Sync\n");
        Script("S1", "Bmp \"P\", 10, 10 @ 5\n");
        Script("S2", "Bmp \"P\", 40, 10 @ 6\nTag \"VALVE\" @ 6\n");

        MakeLearner();
    }

    // A fresh group and learner, with no score, history or context yet.
    void MakeLearner() {
        std::filesystem::remove_all(dir_.path / "DATA" / "TEST");
        std::filesystem::remove_all(dir_.path / "DATA" / "CTX");
        const std::string folder = (dir_.path / "DATA" / "TEST" / "GB").string();
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(data::BuildGroupFile(folder + "/GROUP").ok());
        ASSERT_TRUE(data::BuildUsersFile(folder + "/USERS").ok());
        const int groups = isam::ISOPEN((folder + "/GROUP").c_str(), isam::OPEN_INOUT);
        data::GroupRecord g = data::GroupTemplate();
        g.name = "Class";
        uint8_t gb[data::kGroupRecordSize];
        data::EncodeGroupRecord(g, gb);
        ASSERT_EQ(isam::ISWRITE(groups, gb), 0);
        isam::ISCLOSE(groups);
        const int users = isam::ISOPEN((folder + "/USERS").c_str(), isam::OPEN_INOUT);
        data::UserRecord u = data::UserTemplate();
        u.UserName = "Ada";
        uint8_t ub[data::kUserRecordSize];
        data::EncodeUserRecord(u, ub);
        ASSERT_EQ(isam::ISWRITE(users, ub), 0);
        isam::ISCLOSE(users);
    }

    void Script(const std::string& name, const std::string& source) {
        const script::AssemblyResult r = script::Assemble(source);
        ASSERT_TRUE(r.ok) << r.error;
        (void)dir_.Write("DATA/LDE/D1" + name, std::string(r.bytes.begin(), r.bytes.end()));
    }

    // prefix goes before the command (a time limit, say).
    Result Run(const std::string& args, const std::string& prefix = "") {
        Result r;
        const std::string err = (dir_.path / "err.txt").string();
        const std::string command = prefix + std::string(LESSONRUN) + " " + dir_.path.string() +
                                    " --user 1:1 " + args + " 2>" + err;
        const support::ToolRun run = support::RunTool(command);
        r.status = run.status;
        r.lines = support::Lines(run.out);
        r.err = support::TempFolder::Read(err);
        return r;
    }

    std::string Learner(const std::string& name) {
        return (dir_.path / "DATA" / "TEST" / "GB" / name).string();
    }

    // The identifiers of the stage objects saved in the learner's context.
    std::vector<int> ContextObjects() {
        const std::string bytes =
            support::TempFolder::Read((dir_.path / "DATA/CTX/CTX001.001").string());
        std::vector<int> ids;
        for (size_t at = 0; at + script::kObjectRecordSize <= bytes.size();
             at += script::kObjectRecordSize) {
            const auto rec =
                script::DecodeObjectRecord(reinterpret_cast<const uint8_t*>(bytes.data() + at));
            if (rec.display_class == script::kClassImage) ids.push_back(rec.id);
        }
        return ids;
    }

    support::TempFolder dir_;
};

TEST_F(LessonRunTest, PlaysTheLessonToItsEndWithTheGivenAnswers) {
    const Result r =
        Run("--answer 2 --answer next --answer pick:6:1 --answer est:53 --answer 3 --answer next");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 5u) << r.err;
    EXPECT_EQ(r.lines[0],
              "{\"level\": 1, \"step\": 1, \"kind\": \"choice\", \"given\": 2, \"expected\": 2, "
              "\"correct\": true, \"gain\": 10, \"total\": 10, \"worth\": 10, \"caption\": \"\", "
              "\"question\": \"Q1\", \"verdict\": \"Right: 10 points\"}");
    EXPECT_EQ(
        r.lines[1],
        "{\"level\": 1, \"step\": 2, \"kind\": \"practical\", \"given\": \"item: Open\", "
        "\"expected\": \"item: Open\", "
        "\"correct\": true, \"gain\": 8, \"total\": 18, \"worth\": 18, \"caption\": \"Right\", "
        "\"question\": \"Q2\", \"verdict\": \"Right: 8 points\"}");
    EXPECT_EQ(
        r.lines[2],
        "{\"level\": 1, \"step\": 3, \"kind\": \"estimate\", \"given\": 50, \"expected\": 50, "
        "\"correct\": true, \"gain\": 6, \"total\": 24, \"worth\": 24, \"caption\": \"Estimate\", "
        "\"question\": \"Q3\", \"verdict\": \"Right: 6 points\"}");
    EXPECT_EQ(r.lines[3],
              "{\"level\": 1, \"step\": 4, \"kind\": \"choice\", \"given\": 3, \"expected\": 3, "
              "\"correct\": true, \"gain\": 4, \"total\": 28, \"worth\": 28, \"caption\": \"\", "
              "\"question\": \"Q4\", \"verdict\": \"Right: 4 points\"}");
    EXPECT_EQ(r.lines[4],
              "{\"ended\": true, \"level\": 1, \"step\": 4, \"state\": -1, \"total\": 28, "
              "\"worth\": 28}");
    EXPECT_EQ(std::filesystem::file_size(Learner("SCO001.001")), 16u + 24 * 4);
    data::ScoreBook book;
    ASSERT_TRUE(data::ReadScoreFile(Learner("SCO001.001"), 4, book).ok());
    EXPECT_EQ(book.StepScore[1], 8);
    EXPECT_EQ(book.LevelState[0], -1);
    EXPECT_EQ(support::TempFolder::Read(Learner("HST001.001")),
              "#F1 E1 Q1 2:2 N3 D1\n#F3 E1 Q3 50:50 N3 D1\n#F4 E1 Q4 3:3 N3 D1\n");
}

// Every error box of a broken course is reported, on stderr and in the last line; the first one
// ends the run with exit 1, unless the run is told to keep going.
TEST_F(LessonRunTest, AnErrorBoxFailsTheRunUnlessToldToKeepGoing) {
    std::filesystem::remove(dir_.path / "DATA" / "LDE" / "D1S1");  // step 1's script
    Result r = Run("--auto");
    EXPECT_EQ(r.status, 1) << r.err;
    ASSERT_FALSE(r.lines.empty()) << r.err;
    const std::string halted = r.lines.back();
    EXPECT_EQ(halted.rfind("{\"ended\": false, ", 0), 0u) << halted;
    EXPECT_NE(halted.find("\"reason\": \"an error box: "), std::string::npos) << halted;
    EXPECT_NE(halted.find("\"errors\": [\""), std::string::npos) << halted;
    EXPECT_NE(halted.find("D1S1"), std::string::npos) << halted;
    EXPECT_NE(r.err.find("D1S1"), std::string::npos) << r.err;
    EXPECT_EQ(r.lines.size(), 1u) << "no step was answered after the error";

    r = Run("--auto --keep-going");
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(r.lines.empty()) << r.err;
    const std::string& played = r.lines.back();
    EXPECT_EQ(played.rfind("{\"ended\": true, ", 0), 0u) << played;
    EXPECT_EQ(played.find("\"reason\""), std::string::npos) << played;
    EXPECT_NE(played.find("\"errors\": [\""), std::string::npos) << played;
}

TEST_F(LessonRunTest, StoppedSessionResumesInANewProcessWithItsStage) {
    Result r = Run("--answer 2 --answer next");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 2u);
    // Out of answers on step 2: stopped as Stop does, back to the last step answered.
    EXPECT_EQ(r.lines[1],
              "{\"ended\": false, \"level\": 1, \"step\": 1, \"state\": 1, \"total\": 10, "
              "\"worth\": 10}");
    EXPECT_EQ(ContextObjects(), std::vector<int>{5});

    r = Run("--answer pick:6:2 --answer pick:6:1 --auto");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.lines.size(), 5u) << r.err;
    EXPECT_NE(r.lines[0].find("\"step\": 2, \"kind\": \"practical\""), std::string::npos);
    EXPECT_NE(r.lines[0].find("\"correct\": false, \"gain\": 0, \"total\": 10, \"worth\": 18"),
              std::string::npos);
    // Halved once: 8 becomes 4.
    EXPECT_NE(r.lines[1].find("\"gain\": 4, \"total\": 14"), std::string::npos);
    EXPECT_NE(r.lines[4].find("\"ended\": true"), std::string::npos);
    // Step 1's picture came back with the stage and was saved again with step 2's.
    const std::vector<int> ids = ContextObjects();
    EXPECT_NE(std::find(ids.begin(), ids.end(), 5), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), 6), ids.end());
}

// A session that cannot run fails the run with the reason, and the learner's record and files
// stay as they were: a lesson that cannot be opened, or a learner another session holds.
TEST_F(LessonRunTest, ARefusedSessionFailsAndLeavesTheLearnerAlone) {
    const std::string users_before = support::TempFolder::Read(Learner("USERS.dat"));
    Result r = Run("--set Directory=XX --auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("XXSTEP01.MSG"), std::string::npos) << r.err;
    EXPECT_TRUE(r.lines.empty());
    // A setting that would lead out of the course is refused before anything is opened.
    r = Run("--set 'Directory=..\\..\\esc\\' --auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("refused setting Directory=..\\..\\esc\\"), std::string::npos) << r.err;
    // A file is named as a Linux path of the course folder.
    r = Run("--lang XX --auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(dir_.path.string() + "/PRODUCT.DAT: no line for the language"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find(".\\"), std::string::npos) << r.err;
    r = Run("--lang ../GB --auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("refused language ../GB"), std::string::npos) << r.err;

    data::LearnerLock other;
    const platform::Status held = other.Take(Learner(""), 1, 1);
    ASSERT_TRUE(held.ok()) << held.Text();
    r = Run("--auto");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Ada is already in a session"), std::string::npos) << r.err;
    EXPECT_EQ(support::TempFolder::Read(Learner("USERS.dat")), users_before);
    EXPECT_FALSE(std::filesystem::exists(Learner("SCO001.001")));
    EXPECT_FALSE(std::filesystem::exists(Learner("HST001.001")));

    other.Release();
    r = Run("--auto");
    EXPECT_EQ(r.status, 0) << r.err;
}

// A FIFO, a folder or a link to a FIFO in place of one of the learner's files never holds the
// lesson up: the run ends (a time limit stands guard) and a FIFO is never waited on.
TEST_F(LessonRunTest, ASpecialFileInPlaceOfALearnerFileHangsNothing) {
    for (const char* file :
         {"DATA/TEST/GB/SCO001.001", "DATA/CTX/CTX001.001", "DATA/TEST/GB/HST001.001"}) {
        for (const char* kind : {"fifo", "folder", "link"}) {
            MakeLearner();
            ASSERT_EQ(Run("--answer 2 --answer next").status, 0);  // a learner who has begun
            const std::filesystem::path path = dir_.path / file;
            std::filesystem::remove(path);
            if (std::string(kind) == "fifo") {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else if (std::string(kind) == "folder") {
                std::filesystem::create_directory(path);
            } else {
                ASSERT_EQ(mkfifo((dir_.path / "elsewhere").c_str(), 0600), 0);
                std::filesystem::create_symlink(dir_.path / "elsewhere", path);
            }
            const Result r = Run("--auto", "timeout 60 ");
            EXPECT_NE(r.status, 124) << file << " " << kind << ": timed out";
            EXPECT_GE(r.status, 0) << file << " " << kind;
            std::filesystem::remove_all(path);
            std::filesystem::remove(dir_.path / "elsewhere");
        }
    }
}

TEST_F(LessonRunTest, AnswerThatDoesNotFitNamesTheStep) {
    struct Case {
        const char* args;
        const char* message;
    } cases[] = {
        {"--answer next", "answer 'next' does not fit step 1.1 (choice): Next is not enabled"},
        {"--answer 3", "answer '3' does not fit step 1.1 (choice)"},
        {"--answer 1 --answer next --answer 1", "answer '1' does not fit step 1.2 (practical)"},
        {"--answer 2 --answer next --answer pick:7:1", "no stage object 7"},
        {"--answer 2 --answer next --answer pick:6:1 --answer 2", "step 1.3 (estimate)"},
    };
    for (const Case& c : cases) {
        MakeLearner();
        const Result r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << ": " << r.err;
    }
}

TEST_F(LessonRunTest, CourseOrLearnerThatCannotBeOpened) {
    Result r = Run("--lang FR");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("FR"), std::string::npos) << r.err;
    r = Run("--user 1:9");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no user 9 in group 1"), std::string::npos) << r.err;
    // A damaged users file is named with the engine's reason, not taken for a missing learner.
    const std::string users = Learner("USERS.dat");
    std::string bytes = support::TempFolder::Read(users);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(0xA5);
    (void)dir_.Write("DATA/TEST/GB/USERS.dat", bytes);
    r = Run("");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.find("no user"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("USERS"), std::string::npos) << r.err;
    std::filesystem::remove(dir_.path / "DATA" / "TEST" / "GB" / "USERS.dat");
    r = Run("");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("USERS"), std::string::npos) << r.err;
}

// A learners' lock file that cannot be locked (a FIFO, a link to another file) would let two
// sessions run on one learner: the session does not start, says why, and leaves the learner.
TEST_F(LessonRunTest, ALockFileThatCannotBeLockedStopsTheSession) {
    for (const char* kind : {"fifo", "link"}) {
        MakeLearner();
        const std::string lock = Learner("SESSION.LCK");
        std::filesystem::remove(lock);
        if (std::string(kind) == "fifo")
            ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
        else
            std::filesystem::create_symlink(Learner("GROUP.dat"), lock);
        const std::string users_before = support::TempFolder::Read(Learner("USERS.dat"));
        const Result r = Run("--auto", "timeout 60 ");
        EXPECT_EQ(r.status, 1) << kind << ": " << r.err;
        EXPECT_NE(r.err.find("SESSION.LCK"), std::string::npos) << kind << ": " << r.err;
        EXPECT_EQ(support::TempFolder::Read(Learner("USERS.dat")), users_before) << kind;
        EXPECT_FALSE(std::filesystem::exists(Learner("SCO001.001"))) << kind;
        EXPECT_FALSE(std::filesystem::exists(Learner("HST001.001"))) << kind;
    }
}

// A history file that is a FIFO is called what it is, not "File not found".
TEST_F(LessonRunTest, AFifoHistoryIsNamedForWhatItIs) {
    ASSERT_EQ(mkfifo(Learner("HST001.001").c_str(), 0600), 0);
    const Result r = Run("--auto", "timeout 60 ");
    EXPECT_NE(r.err.find("HST001.001: Not a regular file"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("File not found"), std::string::npos) << r.err;
}

}  // namespace
