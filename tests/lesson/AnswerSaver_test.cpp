// One failure policy for the four writes of an answer (the learner's record, with its server
// copy, the stage's context, the score file and the history line): each failure is told once,
// in the course's texts, and nothing claims the points when they were not saved.
#include <gtest/gtest.h>

#include <filesystem>

#include "LessonFakes.h"

namespace lesson_test {
namespace {

enum class Broken { kRecord, kServer, kContext, kScores, kHistory };

struct FailureCase {
    const char* name;
    Broken broken;
    const char* told;  // the start of the one box the learner sees
    int icon;
    // What reaches the files when that write fails.
    bool record, context, scores, history;
    bool points_announced;  // the verdict names the points earned
    bool failure_kept;      // the session's failure is kept for the tools
};

void PrintTo(const FailureCase& c, std::ostream* out) {
    *out << c.name;
}

class SaveFailureTest : public LessonTest, public ::testing::WithParamInterface<FailureCase> {
  protected:
    std::filesystem::path Learners() const { return dir_.path / "DATA" / "DEMO" / "GB"; }
    // Breaks the write before the session starts; the server goes away once it has started.
    void Break(Broken broken) {
        switch (broken) {
            case Broken::kRecord:
                store_.read_only = true;
                break;
            case Broken::kServer:
                store_.remote = true;
                break;
            case Broken::kContext:
                engine_.context_fails = true;
                break;
            case Broken::kScores:  // a folder where the file should be
                std::filesystem::create_directories(Learners() / "SCO001.001");
                break;
            case Broken::kHistory:
                std::filesystem::create_directories(Learners() / "HST001.001");
                break;
        }
    }
    // Boxes other than the new learner's welcome.
    std::vector<Box> Warnings() const {
        std::vector<Box> told;
        for (const Box& box : view_.boxes)
            if (box.icon != windows::kIconInformation) told.push_back(box);
        return told;
    }
};

TEST_P(SaveFailureTest, IsToldOnceAndNothingClaimsWhatWasNotSaved) {
    const FailureCase& c = GetParam();
    WriteSteps(1, {Choice(1, 2), Choice(1, 3), Choice(1, 1)});
    std::vector<lesson::Evaluation> evaluations;
    Flow().SetEvaluationObserver([&](const lesson::Evaluation& e) { evaluations.push_back(e); });
    Break(c.broken);
    Begin();
    ASSERT_TRUE(Flow().InSession());
    if (c.broken == Broken::kServer) store_.server_up = false;
    journal_.clear();
    Answer(1);
    EXPECT_EQ(view_.screen.verdict, c.points_announced ? "Right: 2 points" : "Right");
    EXPECT_EQ(view_.screen.info_text, view_.screen.verdict + "\nfirst is wrong");
    Flow().NextClick();
    Answer(1);  // the same write fails again: not told twice

    const std::vector<Box> told = Warnings();
    ASSERT_EQ(told.size(), 1u) << told.back().text;
    EXPECT_EQ(told[0].text.rfind(c.told, 0), 0u) << told[0].text;
    EXPECT_EQ(told[0].caption, "File error");
    EXPECT_EQ(told[0].icon, c.icon);
    EXPECT_TRUE(view_.errors.empty()) << view_.errors[0];

    EXPECT_EQ(store_.rewrites > 0, c.record);
    // The context is attempted whenever the record was saved.
    EXPECT_EQ(Journaled("save context CTX001.001"), c.record);
    EXPECT_EQ(std::filesystem::exists(dir_.path / "DATA" / "CTX" / "CTX001.001"), c.context);
    EXPECT_EQ(std::filesystem::is_regular_file(Learners() / "SCO001.001"), c.scores);
    if (c.scores) {
        EXPECT_EQ(ScoreFile(3).StepScore[1], 3);
    }
    if (c.broken != Broken::kHistory) {
        EXPECT_EQ(History(), c.history ? "#F7 E1 Q1 1:1 N3 D1\n#F7 E1 Q2 1:1 N3 D1\n" : "");
    }
    EXPECT_EQ(Flow().Failure().empty(), !c.failure_kept) << Flow().Failure();
    ASSERT_EQ(evaluations.size(), 2u);
    EXPECT_EQ(evaluations[1].saved, !c.failure_kept);
    // The session goes on with the learner's standing.
    EXPECT_EQ(Flow().User().Total, 5);
}

INSTANTIATE_TEST_SUITE_P(
    EachWrite, SaveFailureTest,
    ::testing::Values(
        // The record is the anchor: nothing else is written after it failed.
        FailureCase{"Record", Broken::kRecord, "Record not saved: USERS: cannot write",
                    windows::kIconError, false, false, false, false, false, true},
        // The server's copy follows later; the progress is kept here and is no failure.
        FailureCase{"Server", Broken::kServer, "Server ", windows::kIconWarning, true, true, true,
                    true, true, false},
        FailureCase{"Context", Broken::kContext, "Context: ", windows::kIconError, true, false,
                    true, true, true, true},
        FailureCase{"Scores", Broken::kScores, "Cannot wr ", windows::kIconError, true, true, false,
                    true, false, true},
        FailureCase{"History", Broken::kHistory, "History not written: ", windows::kIconError, true,
                    true, true, false, true, true}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lesson_test
