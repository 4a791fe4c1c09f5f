// The texts of a step in its level's step message file: step s (from 1) owns the four texts
// 4s-4 to 4s-1, one per slot.
#pragma once

namespace data {

enum class StepText {
    kQuestion = 0,    // the question (rich text)
    kAnswers = 1,     // the answer lines
    kComments = 2,    // the comments shown after each answer, "\n## " between them
    kParameters = 3,  // the step's parameter line
};

inline constexpr int kTextsPerStep = 4;

// The text number of a step's slot.
constexpr int StepTextNumber(int step, StepText slot) {
    return kTextsPerStep * (step - 1) + static_cast<int>(slot);
}

}  // namespace data
