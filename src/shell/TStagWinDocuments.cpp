#include "shell/TStagWinDocuments.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

#include "platform/AsciiCase.h"

extern char** environ;

namespace shell {

namespace {

std::string Lower(std::string s, size_t limit = std::string::npos) {
    if (s.size() > limit) s.resize(limit);
    return platform::ToLowerAscii(std::move(s));
}

bool InPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace

std::string SpawnErrorText(int error) {
    switch (error) {
        case ENOENT:
            return "Path or file name not found";
        case ENOMEM:
            return "Not enough memory";
        case EINVAL:
            return "Invalid argument";
        case E2BIG:
            return "Arg list too long";
        case ENOEXEC:
            return "Exec format error";
        default:
            return "Unknown error";
    }
}

std::string AssociatedProgram(const std::string&) {
    // Viewers that stay the process we start, so closing the document window can end them.
    for (const char* viewer : {"evince", "okular", "qpdfview", "atril", "zathura", "mupdf", "xpdf"})
        if (InPath(viewer)) return viewer;
    return InPath("xdg-open") ? "xdg-open" : "";
}

DocumentViewers::~DocumentViewers() {
    Reap();
}

int DocumentViewers::Start(const std::string& program, const std::string& document,
                           const std::string& title) {
    std::vector<char*> argv = {const_cast<char*>(program.c_str()),
                               const_cast<char*>(document.c_str()), nullptr};
    pid_t pid = 0;
    int error = posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) return error;
    viewers_.push_back({pid, title});
    return 0;
}

void DocumentViewers::Reap() {
    std::erase_if(viewers_, [](const Viewer& v) {
        int status = 0;
        return waitpid(v.pid, &status, WNOHANG) != 0;
    });
}

bool DocumentViewers::IsOpen(const std::string& text) {
    Reap();
    std::string want = Lower(text, 128);
    return std::any_of(viewers_.begin(), viewers_.end(), [&](const Viewer& v) {
        return Lower(v.title).find(want) != std::string::npos;
    });
}

bool DocumentViewers::CloseMatching(const std::string& text,
                                    const std::function<void(int, const std::string&)>& scan) {
    Reap();
    std::string want = Lower(text, 128);
    int number = 0;
    for (auto it = viewers_.begin(); it != viewers_.end(); ++it) {
        if (scan) scan(number++, it->title);
        if (Lower(it->title).find(want) == std::string::npos) continue;
        // Ask the viewer to end; one that ignores it for a second is killed.
        kill(it->pid, SIGTERM);
        int status = 0;
        bool ended = false;
        for (int i = 0; i < 100 && !ended; ++i) {
            ended = waitpid(it->pid, &status, WNOHANG) != 0;
            if (!ended) usleep(10000);
        }
        if (!ended) {
            kill(it->pid, SIGKILL);
            waitpid(it->pid, &status, 0);
        }
        viewers_.erase(it);
        return true;
    }
    return false;
}

}  // namespace shell
