// The administrator's operations on a course's learners; each returns the exit status (0, or 1
// after printing why on stderr).
#pragma once

#include <optional>
#include <string>

#include "LearnerCourse.h"

namespace learners {

struct Request {
    int group = 0;
    int user = 0;
    std::string name;  // Windows-1252
    std::optional<std::string> password;
    bool may_configure = false;
    // set-progress
    std::optional<int> state, level, step, total, worth;
};

int InitFiles(const data::Course& course);
int AddGroup(const data::Course& course, const Request& r);
int AddUser(const data::Course& course, const Request& r);
int RemoveUser(const data::Course& course, const Request& r);
int RemoveGroup(const data::Course& course, const Request& r);
int ResetUser(const data::Course& course, const Request& r);
int SetProgress(const data::Course& course, const Request& r);

}  // namespace learners
