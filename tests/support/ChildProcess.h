// A program started as a child process whose first line on stdout says where it listens; its
// stderr goes to a log file. Header-only, for the server tests and benchmarks.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace support {

// Runs args[0] with args, stdout piped, stderr into log_path. pid receives the child's id
// (-1 when it could not be started); returns the first line it wrote (empty when none).
inline std::string StartWithFirstLine(std::vector<std::string> args, const std::string& log_path,
                                      pid_t& pid) {
    int out[2];
    pid = -1;
    if (pipe(out) != 0) return {};
    pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        const int err = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (err >= 0) dup2(err, 2);
        close(out[0]);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    std::string line;
    char c;
    while (pid > 0 && read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    return line;
}

}  // namespace support
