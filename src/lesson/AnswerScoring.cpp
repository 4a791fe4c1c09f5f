#include "lesson/AnswerScoring.h"

#include <cstdlib>

#include "data/CommonTexts.h"
#include "lesson/LessonScreen.h"
#include "lesson/LessonServices.h"
#include "lesson/Prompter.h"

namespace lesson {

AnswerScore ScoreAnswer(int kind, const StepParameters& params, int tries,
                        const AnswerStanding& before, bool developer) {
    AnswerScore s;
    s.after = before;
    s.points = params.Points;
    s.kind = kind;
    AnswerStanding& a = s.after;
    if (before.retries == 0) {
        if (a.ask_left > 0) a.ask_left -= 1;
        AddCapped(a.step_worth, params.PointsAtStake);
        AddCapped(a.total_worth, params.PointsAtStake);
        if (a.step_score < 0) a.step_score = 0;
    } else if (kind == kEstimateStep) {
        AddCapped(a.step_worth, params.PointsAtStake);
        AddCapped(a.total_worth, params.PointsAtStake);
    }
    s.correct = kind == kPracticalStep ? params.SubAnswer == 0 : params.Given == params.Expected;
    // A practical step's answer is its sub-answer: its comment follows the verdict, not the
    // given and expected values, which a pick leaves equal.
    s.chosen = kind == kChoiceStep ? params.Given : (s.correct ? 2 : 1);
    if (!s.correct) {
        s.sound = kSoundWrong;
        if (kind == kChoiceStep) {
            s.verdict_text = data::kTextWrongAnswer;
            s.verdict_argument = s.chosen;
            s.verdict_colour = kColourRed;
        } else if (kind == kPracticalStep) {
            if (developer) s.hint_note = "\n" + std::to_string(params.Points) + " pts";
            s.box_caption = data::kTextWrong;
            s.box_icon = windows::kIconError;
            s.points = params.Points / 2;
            AddCapped(a.retries, 1);
        } else {
            s.statistics_verdict = -1;
        }
        return s;
    }
    s.sound = kSoundRight;
    int64_t gain = 0;
    if (kind == kChoiceStep) {
        gain = params.Points;
        s.verdict_text = data::kTextPoints;
        s.verdict_colour = kColourGreen;
    } else if (kind == kPracticalStep) {
        if (developer) {
            s.hint_note = "\n" + std::to_string(tries) + " < " + std::to_string(params.TryLimit) +
                          " : " + std::to_string(params.Points) + " / " +
                          std::to_string(params.TryPenalty);
        }
        s.box_caption = data::kTextRight;
        s.box_icon = windows::kIconInformation;
        // Tries beyond the limit cost the penalty each; kept in 64 bits because both numbers
        // come from the course's text.
        gain = tries < params.TryLimit
                   ? params.Points
                   : params.Points - (int64_t{tries} - params.TryLimit) * params.TryPenalty;
        s.kind = kEstimateStep;
    } else {
        gain = params.PointsAtStake;
        s.statistics_verdict = 1;
    }
    s.gain = static_cast<int>(std::clamp<int64_t>(gain, 0, INT32_MAX));
    // The verdict names the points the answer adds: a negative point value adds none.
    if (kind == kChoiceStep) s.verdict_argument = s.gain;
    AddCapped(a.step_score, s.gain);
    AddCapped(a.total, s.gain);
    a.retries = 0;
    return s;
}

int EstimateAnswer(int position, int expected, int tolerance) {
    return std::abs(int64_t{position} - expected) <= tolerance ? expected : -1;
}

}  // namespace lesson
