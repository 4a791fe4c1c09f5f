// coursexapi on a generated course of 10,000 learners in 40 groups (by default), each with a
// score and a history file: the statements built per second (--dry-run, the JSON lines read
// from its output) and built and sent per second (--once, to a stand-in LRS on loopback that
// takes every batch), with coursexapi's peak resident memory in each case.
//   xapi_bench [--groups N] [--users N] [--batch N]
#include <httplib.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "BenchCourse.h"

extern char** environ;

namespace {

constexpr int kSteps = 10;

// One run of coursexapi: what it printed (lines), how long it took and its peak memory.
struct Run {
    long lines = 0;
    double seconds = 0;
    double peak_mib = 0;
    int status = -1;
};

// Runs coursexapi with args, counting the lines of its standard output; its peak resident
// memory comes from the rusage of the child when it ends.
Run RunCoursexapi(const std::vector<std::string>& args) {
    Run run;
    int out[2];
    if (pipe(out) != 0) return run;
    std::vector<char*> argv;
    std::string program = COURSEXAPI_PATH;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return run;
    }
    char buffer[1 << 16];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        run.lines += std::count(buffer, buffer + n, '\n');
    close(out[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peak_mib = double(usage.ru_maxrss) / 1024;  // KiB on Linux
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// A learning record store on loopback that takes every batch with the right credentials and
// version header, and keeps the ids it was sent, to check that each statement came once.
class StandInLrs {
  public:
    StandInLrs() {
        server_.Post(
            "/xapi/statements", [this](const httplib::Request& req, httplib::Response& res) {
                if (req.get_header_value("Authorization") != "Basic YmVuY2g6YmVuY2g=" ||
                    req.get_header_value("X-Experience-API-Version") != "1.0.3") {
                    res.status = 401;
                    return;
                }
                const nlohmann::json batch = nlohmann::json::parse(req.body, nullptr, false);
                if (!batch.is_array()) {
                    res.status = 400;
                    return;
                }
                std::lock_guard lock(mutex_);
                for (const nlohmann::json& s : batch) {
                    ++received_;
                    ids_.insert(s.value("id", std::string()));
                }
                res.status = 200;
                res.set_content("[]", "application/json");
            });
        // Bound before the thread starts: a connection made before it listens waits in the queue.
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~StandInLrs() {
        server_.stop();
        thread_.join();
    }
    int port() const { return port_; }
    long received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    long distinct() {
        std::lock_guard lock(mutex_);
        return long(ids_.size());
    }

  private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::mutex mutex_;
    long received_ = 0;
    std::unordered_set<std::string> ids_;
};

void Print(const char* what, const Run& run, long statements) {
    std::printf("%-22s %10ld %9.2fs %12.0f %9.1f MiB\n", what, statements, run.seconds,
                double(statements) / run.seconds, run.peak_mib);
}

}  // namespace

int main(int argc, char** argv) {
    int groups = 40, users = 250, batch = 50;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::max(1, std::atoi(argv[i + 1]));
        if (option == "--groups")
            groups = std::min(value, 999);
        else if (option == "--users")
            users = std::min(value, 999);
        else if (option == "--batch")
            batch = std::min(value, 1000);
        else {
            std::fprintf(stderr, "usage: xapi_bench [--groups N] [--users N] [--batch N]\n");
            return 2;
        }
    }
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / ("xapi_bench_" + std::to_string(getpid()));
    const std::filesystem::path course = work / "course";
    std::printf("making a course of %d learners in %d groups (%d steps each)...\n", groups * users,
                groups, kSteps);
    if (!bench::MakeLearnerCourse(course, groups, users, kSteps)) {
        std::fprintf(stderr, "xapi_bench: cannot make the course in %s\n", course.c_str());
        return 1;
    }
    { std::ofstream(work / "auth") << "bench:bench\n"; }
    const std::vector<std::string> common = {course.string(),
                                             "--site",
                                             "https://site.example",
                                             "--iri",
                                             "https://courses.example/xapi",
                                             "--state",
                                             (work / "state").string(),
                                             "--batch",
                                             std::to_string(batch)};

    std::printf("%-22s %10s %10s %12s %13s\n", "coursexapi", "statements", "time", "statements/s",
                "peak RSS");
    std::vector<std::string> args = common;
    args.push_back("--dry-run");
    const Run dry = RunCoursexapi(args);
    if (dry.status != 0 || dry.lines == 0) {
        std::fprintf(stderr, "xapi_bench: coursexapi --dry-run failed (exit %d)\n", dry.status);
        return 1;
    }
    Print("--dry-run (built)", dry, dry.lines);

    StandInLrs lrs;
    args = common;
    args.insert(args.end(),
                {"--once", "--lrs", "http://127.0.0.1:" + std::to_string(lrs.port()) + "/xapi",
                 "--auth-file", (work / "auth").string()});
    const Run sent = RunCoursexapi(args);
    // Every statement the dry run printed must have arrived, once: a faster run that sent less
    // would measure nothing.
    if (sent.status != 0 || lrs.received() != dry.lines || lrs.distinct() != dry.lines) {
        std::fprintf(stderr,
                     "xapi_bench: coursexapi --once exit %d; the LRS got %ld statements (%ld "
                     "distinct) of %ld\n",
                     sent.status, lrs.received(), lrs.distinct(), dry.lines);
        return 1;
    }
    char what[40];
    std::snprintf(what, sizeof what, "--once (sent, by %d)", batch);
    Print(what, sent, lrs.received());
    std::filesystem::remove_all(work);
    return 0;
}
