// One thing the course checker found: where (a course file in the courseware's own spelling,
// with a line of a text file or a text number of a message file), how bad, a stable code and
// a message for the author.
#pragma once

#include <string>
#include <vector>

namespace check {

enum class Severity { kWarning, kError };

struct Finding {
    std::string path;  // relative to the course folder, "MSG\GB\D1STEP01.MSG"
    int line = 0;      // line of a text file (from 1); 0 for none
    int text = -1;     // text number of a message file; -1 for none
    Severity severity = Severity::kError;
    std::string code;  // stable short name, as documented in the manual page
    std::string message;
    // The source file the author edits that compiles to path, and its line (0: none), when the
    // sources stand beside the course; empty when unknown.
    std::string source;
    int source_line = 0;

    bool operator==(const Finding&) const = default;
};

// "PATH[:LINE | #TEXT]: error|warning: message [code]", followed by " (SOURCE[:LINE])" when the
// source is known.
std::string FormatFinding(const Finding& finding);
const char* SeverityName(Severity severity);
// Sorted by path, place, severity and message; exact duplicates (the same fault seen from two
// languages or units) are dropped.
void SortFindings(std::vector<Finding>& findings);

}  // namespace check
