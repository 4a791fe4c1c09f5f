// A dataserver process on loopback over a small learner folder, started on a free port.
// Header-only: its tests link the data library and define DATASERVER_PATH, the server.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "data/LearnerFiles.h"
#include "data/UserRecord.h"
#include "isam/Isam.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace support {

// Builds DATA/DEMO/GB/GROUP and USERS under root with groups 1..groups and users 1..users each.
inline void MakeLearners(const std::filesystem::path& root, int groups, int users) {
    std::filesystem::create_directories(root / "DATA/DEMO/GB");
    const std::string base = (root / "DATA/DEMO/GB").string();
    ASSERT_TRUE(data::BuildGroupFile(base + "/GROUP").ok());
    ASSERT_TRUE(data::BuildUsersFile(base + "/USERS").ok());
    const int h = isam::ISOPEN((base + "/USERS").c_str(), isam::OPEN_INOUT);
    ASSERT_GE(h, 0);
    for (int g = 1; g <= groups; ++g) {
        for (int u = 1; u <= users; ++u) {
            data::UserRecord r = data::UserTemplate();
            r.GroupNo = g;
            r.UserNo = u;
            r.UserName = "user " + std::to_string(g) + ":" + std::to_string(u);
            uint8_t b[data::kUserRecordSize];
            data::EncodeUserRecord(r, b);
            ASSERT_EQ(isam::ISWRITE(h, b), 0);
        }
    }
    isam::ISCLOSE(h);
}

struct ServerProcess {
    pid_t pid = -1;
    int port = 0;
    std::string stderr_path;

    // Starts dataserver --root root --port 0 [extra...]; the port comes from its first line.
    bool Start(const std::string& root, std::vector<std::string> extra = {}) {
        stderr_path = root + "/../server-" + std::to_string(getpid()) + ".log";
        std::vector<std::string> args = {DATASERVER_PATH, "--root", root, "--port", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        const std::string line = support::StartWithFirstLine(std::move(args), stderr_path, pid);
        const std::string prefix = "listening on 127.0.0.1:";
        if (line.compare(0, prefix.size(), prefix) != 0) return false;
        port = std::stoi(line.substr(prefix.size()));
        return port > 0;
    }
    // SIGTERM; the exit status.
    int Stop() {
        if (pid <= 0) return -1;
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    ~ServerProcess() {
        if (pid > 0) Stop();
        if (!stderr_path.empty()) unlink(stderr_path.c_str());
    }
    std::string Log() const { return TempFolder::Read(stderr_path); }
};

}  // namespace support
