// The lines of a learner's history journal, decoded:
//   "#F<f> E<level> Q<step> <expected>:<given> N<series> <directory>"  an evaluated answer
//   "~-1:-1"                                                            a step left with Exit
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace report {

struct HistoryLine {
    bool abandon = false;
    int f = 0, level = 0, step = 0, expected = 0, given = 0, series = 0;
    std::string directory;
};

struct HistoryText {
    std::vector<HistoryLine> lines;
    // The first line that is neither record (1-based), 0 when every line is one. A last line
    // without its line end is a record being written: it is left out, not counted as bad.
    int bad_line = 0;
};

HistoryText ParseHistory(std::string_view text);

}  // namespace report
