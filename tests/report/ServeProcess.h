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

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace reporttest {

class ServeProcess {
  public:
    // Runs coursereport serve COURSE extra...; true once it said where it listens.
    bool Start(const std::string& course, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {COURSEREPORT_PATH, "serve", course};
        args.insert(args.end(), extra.begin(), extra.end());
        line_ = support::StartWithFirstLine(std::move(args), log_, pid_);
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
