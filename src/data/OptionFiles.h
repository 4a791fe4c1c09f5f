// The per-user option files: key=value lines over the configuration table, kept beside the
// group and user files ("INI.<group>" for a group, "INI<user>.<group>" for a user), and the
// fluid list FLUID.DAT offered by the options window.
#pragma once

#include <string>
#include <vector>

#include "platform/Status.h"

namespace data {

class ConfigTable;

// Applies every line of the option file at path (either path form) to config, in file order;
// empty lines and lines naming no key are skipped. lines, when given, receives the file's lines
// (without line ends). Fails with the path and why when the file cannot be opened.
platform::Status ApplyOptionFile(ConfigTable& config, const std::string& path,
                                 std::vector<std::string>* lines = nullptr);

// The file the options window loads: the user's file when it exists, else the group's, else
// the program's INI.
std::string OptionFileToLoad(const std::string& user_path, const std::string& group_path,
                             const std::string& program_path);

// The options applied when a user is chosen: the group's file, then the user's.
struct AppliedOptions {
    std::string group_path;
    std::vector<std::string> group_lines;
    std::string user_path;
    std::vector<std::string> user_lines;
};
// Applies the group's option file, then the user's, from folder (the group file's folder, taken
// inside root, the course folder); a missing file applies nothing.
AppliedOptions ApplyUserOptions(ConfigTable& config, const std::string& root,
                                const std::string& folder, int group, int user);
// The developer's summary of what was applied: "grp: " and the group file's path with its
// lines, "usr: " and the user file's with its lines, then the resulting language, gas, units,
// symbols, lesson prefix, start and random values, one per line.
std::string OptionSummary(const AppliedOptions& applied, const ConfigTable& config);

// A user option file: the sixteen keys in table order, each followed by its value and LF.
std::string OptionFileText(const ConfigTable& config);
// Replaces the file at path with OptionFileText through a temporary file, so that a failure
// leaves the old file whole.
// Fails with the path and why when it cannot be written.
platform::Status WriteOptionFile(const ConfigTable& config, const std::string& path);

// The fluids of FLUID.DAT: every line that is not empty and does not begin with ';', in file
// order (a CR before the line end is dropped). Fails with the path and why when the file
// cannot be opened.
platform::Status ReadFluids(const std::string& path, std::vector<std::string>& fluids);

}  // namespace data
