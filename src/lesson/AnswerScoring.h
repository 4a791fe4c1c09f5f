// How an answer scores: a pure function of the step's parameters, the answer given, the tries and
// the learner's standing. It touches no file, window or clock; the lesson flow applies the result
// to the learner's record, the score book and the screen.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "lesson/StepParameters.h"

namespace lesson {

// Kinds of step.
inline constexpr int kChoiceStep = 0;
inline constexpr int kPracticalStep = 1;
inline constexpr int kEstimateStep = 2;

// Adds to a stored sum, holding it at the ends of its range instead of wrapping round.
inline void AddCapped(int32_t& sum, int64_t add) {
    const int64_t total = int64_t{sum} + add;
    sum = static_cast<int32_t>(std::clamp<int64_t>(total, INT32_MIN, INT32_MAX));
}

// The learner's standing on the step and in the lesson, before or after an answer.
struct AnswerStanding {
    int32_t ask_left = -1;    // steps still to evaluate in the level; -1 no limit
    int32_t retries = 0;      // wrong answers given on the step
    int32_t step_score = -1;  // the step's points obtained (-1 never evaluated) and at stake
    int32_t step_worth = 0;
    int32_t total = 0;  // the lesson's points obtained and at stake
    int32_t total_worth = 0;

    bool operator==(const AnswerStanding&) const = default;
};

// What an answer earns and what the learner is shown of it.
struct AnswerScore {
    bool correct = false;
    // The answer marked and whose comment is shown: the button of a choice step; for the other
    // kinds 2 when the answer is right, else 1.
    int chosen = 0;
    int gain = 0;  // points added, never negative
    AnswerStanding after;
    int points = 0;  // the step's point value from now on: a wrong practical answer halves it
    int kind = 0;    // the step's kind from now on: a right practical answer leads to estimates
    int sound = 0;   // kSoundRight or kSoundWrong
    // Choice steps: the verdict line's common text, its argument and colour; text 0 for none.
    int verdict_text = 0;
    int verdict_argument = 0;
    int32_t verdict_colour = 0;
    // Practical steps: the quiet box over the hint, its caption's common text and icon; 0 none.
    int box_caption = 0;
    int box_icon = 0;
    // Estimate steps: the statistics window's verdict, 1 right, -1 wrong, 0 unchanged.
    int statistics_verdict = 0;
    // Developer mode, practical steps: appended to the hint.
    std::string hint_note;
};

// Scores the answer params.Given (SubAnswer for a practical step) to a step of kind. tries: the
// picks made on this practical step. The step's worth is counted at its first answer (and at
// every answer of an estimate step); a right practical answer past TryLimit tries loses
// TryPenalty per extra try.
AnswerScore ScoreAnswer(int kind, const StepParameters& params, int tries,
                        const AnswerStanding& before, bool developer);

// The answer of an estimate step: the expected value when position lies within the tolerance
// of it, else -1.
int EstimateAnswer(int position, int expected, int tolerance);

}  // namespace lesson
