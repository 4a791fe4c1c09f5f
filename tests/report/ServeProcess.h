// coursereport serve run as a child process on loopback, its port taken from its first line.
// Header-only: its tests define COURSEREPORT_PATH.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
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
        // "listening on http://ADDR:PORT/" or https.
        const size_t colon = line_.rfind(':');
        if (line_.rfind("listening on http", 0) != 0 || colon == std::string::npos) return false;
        port_ = std::atoi(line_.c_str() + colon + 1);
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
