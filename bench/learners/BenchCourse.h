// A course made for benchmarks: one level of choice steps in English and GROUPS x USERS
// learners, each with a random progress, a score file and a history file.
#pragma once

#include <filesystem>

namespace bench {

// Makes the course in root (its learners' files under DATA/BENCH/GB); false on a failed write.
// The same arguments always make the same course.
bool MakeLearnerCourse(const std::filesystem::path& root, int groups, int users, int steps);

}  // namespace bench
