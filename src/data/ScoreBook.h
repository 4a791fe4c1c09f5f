// The score book of a lesson session: per-level and per-step arrays, the in-memory image of a
// learner's score file. Per-step arrays are indexed by the global step index (steps of all
// earlier levels + step within the level - 1).
#pragma once

#include <array>
#include <cstdint>

namespace data {

// Levels a lesson can hold, and entries of each per-step array.
inline constexpr int kLevelCapacity = 2;
inline constexpr int kStepCapacity = 1024;

struct ScoreBook {
    using LevelArray = std::array<int32_t, kLevelCapacity>;
    using StepArray = std::array<int32_t, kStepCapacity>;

    ScoreBook() { Clear(); }

    // Every array back to its initial value: StepScore -1, everything else 0.
    void Clear();
    // Entries first .. first+count-1 of the per-step arrays back to their initial values; the
    // part of the range outside the arrays is ignored.
    void ClearSteps(int first, int count);

    LevelArray LevelSteps;  // steps of level 1 and 2
    LevelArray LevelState;  // 0 while a level is open, -1 once left
    StepArray StepScore;    // points obtained; -1 never evaluated or abandoned
    StepArray StepWorth;    // points at stake
    StepArray StepBonus;    // sub-step points collected, on abandon
    StepArray StepTime;     // seconds spent, accumulated
    StepArray StepVisits;   // times the step was started
    StepArray StepStatus;   // 3 once evaluated
};

}  // namespace data
