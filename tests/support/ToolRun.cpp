#include "support/ToolRun.h"

#include <sys/wait.h>

#include <cstdio>

namespace support {

ToolRun RunTool(const std::string& command) {
    ToolRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) run.out.append(buf, n);
    const int status = pclose(pipe);
    if (status != -1 && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

}  // namespace support
