#include "data/ScoreBook.h"

#include <algorithm>
#include <cstdint>

namespace data {

void ScoreBook::Clear() {
    LevelSteps.fill(0);
    LevelState.fill(0);
    ClearSteps(0, kStepCapacity);
}

void ScoreBook::ClearSteps(int first, int count) {
    const int begin = std::clamp(first, 0, kStepCapacity);
    const int end = static_cast<int>(
        std::clamp<int64_t>(int64_t{first} + std::max(count, 0), begin, kStepCapacity));
    for (StepArray* array : {&StepWorth, &StepBonus, &StepTime, &StepVisits, &StepStatus}) {
        std::fill(array->begin() + begin, array->begin() + end, 0);
    }
    std::fill(StepScore.begin() + begin, StepScore.begin() + end, -1);
}

}  // namespace data
