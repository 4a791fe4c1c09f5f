// Reports on a course's learners: the list of users with their progress, and the per-step
// export. Both print UTF-8.
#pragma once

#include <string>

#include "LearnerCourse.h"

namespace learners {

// One line per user of every group, in number order: group, user, names, level, status,
// score (Total/TotalWorth) and the seconds spent from the score file; JSON lines with json.
int ListUsers(const data::Course& course, bool json);
// A CSV file with a heading and one row per user and step of the score file: group, user,
// name, level, step, score, worth, bonus, seconds, visits, status.
int ExportSteps(const data::Course& course, const std::string& csv_path);

}  // namespace learners
