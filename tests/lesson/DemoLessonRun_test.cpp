// lessonrun on the built demo lesson: played right to its end in each language and unit
// system, and stopped in step 4 then resumed in a new process.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempFolder.h"
#include "support/ToolRun.h"

namespace {

// The right answer of each step of the demo lesson.
const char* const kRightAnswers =
    "--answer 2 --answer next --answer 3 --answer next --answer 1 --answer next "
    "--answer pick:31:1 --answer est:70 --answer 4 --answer next --answer pick:62:2 "
    "--answer est:61 --answer 1 --answer next --answer 2 --answer next";

struct Result {
    int status = -1;
    std::vector<std::string> lines;
};

class LessonRunOnDemo : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::copy(DEMO_COURSE_DIR, course_.path / "course",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
    }

    Result Run(const std::string& args) {
        Result r;
        const std::string command = std::string(LESSONRUN) + " " +
                                    (course_.path / "course").string() + " --user 1:2 " + args +
                                    " 2>&1";
        const support::ToolRun run = support::RunTool(command);
        r.status = run.status;
        for (const std::string& line : support::Lines(run.out))
            if (line.rfind("{", 0) == 0) r.lines.push_back(line);
        return r;
    }

    support::TempFolder course_;
};

// The same learner plays each time: a finished lesson starts afresh.
TEST_F(LessonRunOnDemo, RightAnswersScoreEveryPointInEachLanguageAndUnitSystem) {
    for (const char* lang : {"GB", "FR"}) {
        for (const char* unit : {"SI", "US"}) {
            const std::string where = std::string(lang) + " " + unit;
            const std::string users = (course_.path / "course/DATA/DEMO" / lang).string();
            const Result r =
                Run(std::string("--lang ") + lang + " --set Unit=" + unit + " " + kRightAnswers);
            ASSERT_EQ(r.status, 0) << where;
            ASSERT_EQ(r.lines.size(), 11u) << where;
            for (int i = 0; i < 10; ++i) {
                EXPECT_NE(r.lines[i].find("\"step\": " + std::to_string(i + 1) + ","),
                          std::string::npos)
                    << where << ": " << r.lines[i];
                EXPECT_NE(r.lines[i].find("\"correct\": true"), std::string::npos)
                    << where << ": " << r.lines[i];
            }
            const std::string& last = r.lines.back();
            EXPECT_EQ(last.rfind("{\"ended\": true, \"level\": 1, \"step\": 10, \"state\": -1", 0),
                      0u)
                << where << ": " << last;
            const size_t total = last.find("\"total\": ");
            const size_t worth = last.find("\"worth\": ");
            EXPECT_EQ(last.substr(total + 9, last.find(',', total) - total - 9),
                      last.substr(worth + 9, last.find('}', worth) - worth - 9))
                << where << ": " << last;
            EXPECT_EQ(std::filesystem::file_size(users + "/SCO002.001"), 16u + 24 * 10) << where;
        }
    }
}

TEST_F(LessonRunOnDemo, StoppedInStepFourResumesThereInANewProcess) {
    Result r = Run(
        "--answer 2 --answer next --answer 3 --answer next --answer 1 --answer next --answer stop");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 4u);
    EXPECT_NE(r.lines[3].find("\"ended\": false, \"level\": 1, \"step\": 3, \"state\": 1"),
              std::string::npos)
        << r.lines[3];
    EXPECT_GT(std::filesystem::file_size(course_.path / "course/DATA/CTX/CTX002.001"), 0u);

    r = Run("--answer pick:31:1 --answer est:70 --auto");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 8u);
    EXPECT_NE(r.lines[0].find("\"step\": 4, \"kind\": \"practical\""), std::string::npos)
        << r.lines[0];
    EXPECT_NE(r.lines[1].find("\"step\": 5, \"kind\": \"estimate\", \"given\": 70"),
              std::string::npos)
        << r.lines[1];
    EXPECT_NE(r.lines[7].find("\"ended\": true"), std::string::npos) << r.lines[7];
    const std::string history =
        support::TempFolder::Read((course_.path / "course/DATA/DEMO/GB/HST002.001").string());
    EXPECT_EQ(history.rfind("#F", 0), 0u) << history;
    EXPECT_NE(history.find(" E1 Q5 70:70 N3 D1\n"), std::string::npos) << history;
}

// Each answer's line tells what the learner reads after it: a practical step's verdict is that
// pick's, with that step's question, never the last estimate's.
TEST_F(LessonRunOnDemo, EachAnswerLineCarriesTheTextsTheLearnerReads) {
    const Result r =
        Run("--answer 2 --answer next --answer 3 --answer next --answer 1 --answer next "
            "--answer pick:34:1 --answer pick:31:1 --answer est:70 --answer 4 --answer next "
            "--answer pick:62:3 --answer pick:62:2 --answer est:61 --answer stop");
    ASSERT_EQ(r.status, 0);
    ASSERT_EQ(r.lines.size(), 10u);
    auto has = [&](int line, const std::string& part) {
        EXPECT_NE(r.lines[line].find(part), std::string::npos) << part << " in " << r.lines[line];
    };
    has(0, "\"caption\": \"\", \"question\": \"Suction valve V1 opens");
    has(0, "\"verdict\": \"Right! You earn 10 points.\"");
    has(3, "\"step\": 4, \"kind\": \"practical\"");
    has(3, "\"caption\": \"Right\"");
    has(3, "Prime it before it is started");
    has(3, "\"verdict\": \"Right! You earn 20 points.\"");
    // V1's body (object 34) carries the valve's menu as its wheel does: opening V1 first is
    // no answer. Practical answers are named by object and menu entry.
    has(3,
        "\"given\": \"VC1: Open the vent cock until liquid comes out\", "
        "\"expected\": \"VC1: Open the vent cock until liquid comes out\"");
    has(6, "\"given\": \"V2: Close fully\", \"expected\": \"V2: Throttle halfway\"");
    has(4, "\"caption\": \"Estimate\", \"question\": \"Estimate the level in tank T1.\"");
    has(6, "\"step\": 7, \"kind\": \"practical\"");
    has(6, "\"correct\": false");
    has(6, "\"caption\": \"Wrong\"");
    has(6, "Reduce the flow with the right valve");
    has(6, "\"verdict\": \"Wrong Still at stake: 10 points, 3 tries before a penalty.\"");
    has(7, "\"caption\": \"Right\"");
    has(7, "\"verdict\": \"Right! You earn 10 points.\"");
}

}  // namespace
