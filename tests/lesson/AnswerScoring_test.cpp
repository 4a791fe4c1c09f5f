// What an answer earns, for every kind of step, without a flow, a window or a file.
#include "lesson/AnswerScoring.h"

#include <gtest/gtest.h>

#include <climits>

#include "data/CommonTexts.h"
#include "lesson/LessonScreen.h"
#include "lesson/LessonServices.h"
#include "lesson/Prompter.h"

namespace {

using lesson::AnswerStanding;

struct ScoreCase {
    const char* name;
    int kind;
    int given, expected, sub_answer;
    int points, at_stake, limit, penalty, tries;
    AnswerStanding before;
    // Expected:
    bool correct;
    int chosen, gain;
    AnswerStanding after;
    int points_after, kind_after;
};

constexpr int kChoice = lesson::kChoiceStep;
constexpr int kPractical = lesson::kPracticalStep;
constexpr int kEstimate = lesson::kEstimateStep;

// Columns: kind; given, expected, sub-answer; points, at stake, try limit, penalty, tries;
// standing before (ask_left, retries, step_score, step_worth, total, total_worth); then the
// result: correct, chosen, gain, standing after, points and kind after.
// clang-format off
const ScoreCase kCases[] = {
    {"choice right at the first answer",
     kChoice, 2, 2, 0, 10, 10, 0, 0, 0, {3, 0, -1, 0, 5, 8},
     true, 2, 10, {2, 0, 10, 10, 15, 18}, 10, kChoice},
    {"choice wrong: scores 0 and counts the worth",
     kChoice, 3, 2, 0, 10, 10, 0, 0, 0, {3, 0, -1, 0, 5, 8},
     false, 3, 0, {2, 0, 0, 10, 5, 18}, 10, kChoice},
    {"no quota and a step answered before",
     kChoice, 1, 1, 0, 4, 4, 0, 0, 0, {-1, 0, 4, 4, 4, 4},
     true, 1, 4, {-1, 0, 8, 8, 8, 8}, 4, kChoice},
    {"a negative point value adds nothing",
     kChoice, 1, 1, 0, -5, -5, 0, 0, 0, {0, 0, -1, 0, 5, 8},
     true, 1, 0, {0, 0, 0, -5, 5, 3}, -5, kChoice},
    {"practical wrong halves the points",
     kPractical, 0, 0, 1, 10, 10, 5, 3, 1, {-1, 0, -1, 0, 0, 0},
     false, 1, 0, {-1, 1, 0, 10, 0, 10}, 5, kPractical},
    {"practical wrong again: the worth counts once",
     kPractical, 0, 0, 1, 5, 10, 5, 3, 2, {-1, 1, 0, 10, 0, 10},
     false, 1, 0, {-1, 2, 0, 10, 0, 10}, 2, kPractical},
    {"practical right within the tries: estimates follow",
     kPractical, 0, 0, 0, 2, 10, 5, 3, 3, {-1, 2, 0, 10, 0, 10},
     true, 2, 2, {-1, 0, 2, 10, 2, 10}, 2, kEstimate},
    {"two tries over the limit cost the penalty each",
     kPractical, 0, 0, 0, 10, 10, 5, 3, 7, {-1, 0, -1, 0, 0, 0},
     true, 2, 4, {-1, 0, 4, 10, 4, 10}, 10, kEstimate},
    {"a penalty beyond the points counts as 0",
     kPractical, 0, 0, 0, 10, 10, 5, 3, 9, {-1, 0, -1, 0, 0, 0},
     true, 2, 0, {-1, 0, 0, 10, 0, 10}, 10, kEstimate},
    {"a huge penalty does not wrap round",
     kPractical, 0, 0, 0, 10, 10, 0, INT_MIN, 5, {-1, 0, -1, 0, 0, 0},
     true, 2, INT_MAX, {-1, 0, INT_MAX, 10, INT_MAX, 10}, 10, kEstimate},
    {"estimate within the tolerance",
     kEstimate, 50, 50, 0, 6, 6, 0, 0, 0, {-1, 0, -1, 0, 1, 1},
     true, 2, 6, {-1, 0, 6, 6, 7, 7}, 6, kEstimate},
    {"estimate outside the tolerance",
     kEstimate, -1, 50, 0, 6, 6, 0, 0, 0, {-1, 0, -1, 0, 1, 1},
     false, 1, 0, {-1, 0, 0, 6, 1, 7}, 6, kEstimate},
    {"estimate after a wrong practical answer: its worth counts",
     kEstimate, 50, 50, 0, 6, 6, 0, 0, 0, {-1, 1, 0, 10, 0, 10},
     true, 2, 6, {-1, 0, 6, 16, 6, 16}, 6, kEstimate},
    {"sums stay at their limit",
     kChoice, 1, 1, 0, 10, 10, 0, 0, 0, {-1, 0, -1, 0, INT_MAX - 1, INT_MAX},
     true, 1, 10, {-1, 0, 10, 10, INT_MAX, INT_MAX}, 10, kChoice},
};
// clang-format on

TEST(ScoreAnswer, PointsWorthAndStandingForEveryKindOfStep) {
    for (const ScoreCase& c : kCases) {
        lesson::StepParameters p;
        p.Given = c.given;
        p.Expected = c.expected;
        p.SubAnswer = c.sub_answer;
        p.Points = c.points;
        p.PointsAtStake = c.at_stake;
        p.TryLimit = c.limit;
        p.TryPenalty = c.penalty;
        const lesson::AnswerScore s = lesson::ScoreAnswer(c.kind, p, c.tries, c.before, false);
        EXPECT_EQ(s.correct, c.correct) << c.name;
        EXPECT_EQ(s.chosen, c.chosen) << c.name;
        EXPECT_EQ(s.gain, c.gain) << c.name;
        EXPECT_EQ(s.after, c.after)
            << c.name << ": total " << s.after.total << ", worth " << s.after.total_worth
            << ", step " << s.after.step_score << "/" << s.after.step_worth << ", retries "
            << s.after.retries << ", ask " << s.after.ask_left;
        EXPECT_EQ(s.points, c.points_after) << c.name;
        EXPECT_EQ(s.kind, c.kind_after) << c.name;
        EXPECT_EQ(s.sound, c.correct ? lesson::kSoundRight : lesson::kSoundWrong) << c.name;
        EXPECT_TRUE(s.hint_note.empty()) << c.name;
    }
}

// What each kind shows: the verdict line (choice), the box over the hint (practical) or the
// statistics window's verdict (estimate); the developer sees the arithmetic in the hint.
TEST(ScoreAnswer, WhatTheLearnerIsShown) {
    lesson::StepParameters p;
    p.Given = 3;
    p.Expected = 2;
    p.Points = p.PointsAtStake = 10;
    p.TryLimit = 5;
    p.TryPenalty = 3;
    const AnswerStanding first{-1, 0, -1, 0, 0, 0};

    lesson::AnswerScore s = lesson::ScoreAnswer(kChoice, p, 0, first, true);
    EXPECT_EQ(s.verdict_text, data::kTextWrongAnswer);
    EXPECT_EQ(s.verdict_argument, 3);
    EXPECT_EQ(s.verdict_colour, lesson::kColourRed);
    EXPECT_EQ(s.box_caption, 0);
    p.Given = 2;
    s = lesson::ScoreAnswer(kChoice, p, 0, first, true);
    EXPECT_EQ(s.verdict_text, data::kTextPoints);
    EXPECT_EQ(s.verdict_argument, 10);
    EXPECT_EQ(s.verdict_colour, lesson::kColourGreen);
    EXPECT_TRUE(s.hint_note.empty());

    p.SubAnswer = 1;
    s = lesson::ScoreAnswer(kPractical, p, 7, first, true);
    EXPECT_EQ(s.verdict_text, 0);
    EXPECT_EQ(s.box_caption, data::kTextWrong);
    EXPECT_EQ(s.box_icon, windows::kIconError);
    EXPECT_EQ(s.hint_note, "\n10 pts");
    p.SubAnswer = 0;
    s = lesson::ScoreAnswer(kPractical, p, 7, first, true);
    EXPECT_EQ(s.box_caption, data::kTextRight);
    EXPECT_EQ(s.box_icon, windows::kIconInformation);
    EXPECT_EQ(s.hint_note, "\n7 < 5 : 10 / 3");
    EXPECT_EQ(lesson::ScoreAnswer(kPractical, p, 7, first, false).hint_note, "");

    EXPECT_EQ(lesson::ScoreAnswer(kEstimate, p, 0, first, true).statistics_verdict, 1);
    p.Given = -1;
    s = lesson::ScoreAnswer(kEstimate, p, 0, first, true);
    EXPECT_EQ(s.statistics_verdict, -1);
    EXPECT_EQ(s.verdict_text, 0);
    EXPECT_EQ(s.box_caption, 0);
}

TEST(EstimateAnswer, TheExpectedValueWithinTheToleranceElseMinusOne) {
    const struct {
        int position, expected, tolerance, answer;
    } cases[] = {
        {50, 50, 0, 50},
        {54, 50, 5, 50},
        {55, 50, 5, 50},
        {56, 50, 5, -1},
        {45, 50, 5, 50},
        {44, 50, 5, -1},
        {INT_MIN, INT_MAX, 5, -1},
        {INT_MAX, INT_MIN, INT_MAX, -1},
        {3, 3, -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lesson::EstimateAnswer(c.position, c.expected, c.tolerance), c.answer)
            << c.position << " for " << c.expected << " +- " << c.tolerance;
    }
}

}  // namespace
