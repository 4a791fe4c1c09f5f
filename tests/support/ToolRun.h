// Runs one of the project's programs through the shell as a user would, and keeps what it
// printed and how it ended.
#pragma once

#include <string>
#include <vector>

namespace support {

struct ToolRun {
    int status = -1;  // the exit status; -1 when it could not start or did not exit normally
    std::string out;  // its standard output (with whatever the command line sends there)
};

// Runs a shell command line (redirections included) and waits for its end.
ToolRun RunTool(const std::string& command);

// The complete lines of text, without their line ends; a last line without one is left out.
std::vector<std::string> Lines(const std::string& text);

}  // namespace support
