#include "lesson/StepParameters.h"

#include <cstdio>

namespace lesson {

void StepParameters::Reset() {
    const bool not_recorded = NotRecorded;
    *this = StepParameters();
    NotRecorded = not_recorded;
}

int StepParameters::Parse(const std::string& line) {
    char script[kScriptNameSize + 1] = {};
    char comment[kCommentSize + 1] = {};
    // Widths bound the names: a longer script name leaves text where " F" is expected, so the
    // line counts as malformed; a longer comment is cut.
    const int n =
        std::sscanf(line.c_str(), "K[%lX:%lX] BR%d:%d TRY%d:%d PT%d LDE%20s F%d P%d:[%23[^]]",
                    &KeyHigh, &KeyLow, &Expected, &Tolerance, &TryLimit, &TryPenalty, &Points,
                    script, &FNumber, &PNumber, comment);
    if (n >= 8) ScriptName = script;
    if (n >= 11) Comment = comment;
    return n;
}

void ParseSubStepLine(const std::string& line, std::string& script, int& points,
                      std::string& matrix) {
    char s[kScriptNameSize + 1] = {};
    char m[kMatrixNameSize + 1] = {};
    const int n = std::sscanf(line.c_str(), "LDE%20s TPS%d MTX%22s", s, &points, m);
    if (n >= 1) script = s;
    if (n >= 3) matrix = m;
}

}  // namespace lesson
