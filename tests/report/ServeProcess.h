// coursereport serve run as a child process on loopback, its port taken from its first line.
// Header-only: its tests define COURSEREPORT_PATH.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/TempFolder.h"

namespace reporttest {

class ServeProcess {
  public:
    // Runs coursereport serve COURSE extra...; true once it said where it listens.
    bool Start(const std::string& course, std::vector<std::string> extra = {}) {
        int out[2];
        if (pipe(out) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            const int err = open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (err >= 0) dup2(err, 2);
            close(out[0]);
            std::vector<std::string> args = {COURSEREPORT_PATH, "serve", course};
            args.insert(args.end(), extra.begin(), extra.end());
            std::vector<char*> argv;
            for (auto& a : args) argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line_ += c;
        close(out[0]);
        const std::string prefix = "listening on http://127.0.0.1:";
        if (line_.compare(0, prefix.size(), prefix) != 0) return false;
        port_ = std::stoi(line_.substr(prefix.size()));
        return port_ > 0;
    }
    // Sends the signal and gives the exit status (128 + signal when killed by one).
    int Stop(int signal = SIGTERM) {
        if (pid_ <= 0) return -1;
        kill(pid_, signal);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~ServeProcess() {
        if (pid_ > 0) Stop(SIGKILL);
    }
    int Port() const { return port_; }
    const std::string& FirstLine() const { return line_; }
    std::string Log() const { return support::TempFolder::Read(log_); }

  private:
    support::TempFolder temp_;
    std::string log_ = temp_ / "serve.log";
    pid_t pid_ = -1;
    int port_ = 0;
    std::string line_;
};

}  // namespace reporttest
