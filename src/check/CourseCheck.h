// Checks a whole course folder: its settings and catalogue, every message file, the steps of
// each level, the scripts and what they name, the stage menus and the level matrix, and every
// language against the others. The course is only read, never changed.
#pragma once

#include <string>
#include <vector>

#include "check/Finding.h"
#include "platform/Status.h"

namespace check {

struct CheckOptions {
    // Language folders to check; empty: every language of the course.
    std::vector<std::string> languages;
    // Unit= values to check; empty: the unit systems the options window offers.
    std::vector<std::string> units;
    // Also run every step script, menu script and matrix cell on a headless stage (needs a
    // QApplication).
    bool run_scripts = false;
};

// Appends what is wrong with the course in folder to findings (sorted, without duplicates).
// Fails only when folder is no folder or holds no INI, or a language asked for is not in it.
platform::Status CheckCourse(const std::string& folder, const CheckOptions& options,
                             std::vector<Finding>& findings);

}  // namespace check
