// The level configuration file "<data>\CFG\<dir>LEVEL<nn>.CFG": bracketed-field lines that
// map, for each step, a pop-up menu item and a matrix column to the script to run.
//   [##03][VALVES][PUMPS]      header of step 3, naming its matrix columns
//   [Open][VOPEN][POPEN]       item "Open": column VALVES runs VOPEN, column PUMPS POPEN
// Empty lines and lines starting with ';' are ignored.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lesson {

// The item named by a menu caption: the text after its last ':' (all of it when none).
std::string MenuItemName(std::string_view caption);
// The sub-step named by a menu caption: the text before its first ':' (all of it when none).
std::string SubStepName(std::string_view caption);

// The script the table gives for step, matrix column and item; "-" when there is none.
std::string LookupLevelTable(const std::vector<std::string>& lines, int step,
                             std::string_view matrix, std::string_view item);

// Reads a level configuration file as lines; false when it cannot be opened.
bool ReadLevelTable(const std::string& path, std::vector<std::string>& lines);

}  // namespace lesson
