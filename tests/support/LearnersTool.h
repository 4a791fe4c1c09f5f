// The learners tool run on a course folder as its administrator would, for English (GB), with
// its error output captured too. Header-only: the tests that use it define LEARNERS_PATH.
#pragma once

#include <filesystem>
#include <string>

#include "support/ToolRun.h"

namespace support {

// learners <command> '<course>' --lang GB <args>
inline ToolRun RunLearners(const std::filesystem::path& course, const std::string& command,
                           const std::string& args) {
    return RunTool(std::string(LEARNERS_PATH) + " " + command + " '" + course.string() +
                   "' --lang GB " + args + " 2>&1");
}

}  // namespace support
