// coursereport serve on a generated course of 10,000 learners in 40 groups (by default), each
// with a score and a history file: /api/summary and /api/steps timed cold (the first request of
// a fresh server) and warm (nothing changed since), p50 and p99, asked as a browser asks (gzip)
// and for the body as it is, the server's memory, the CPU its refresher takes while nothing is
// asked, and how soon a changed learner file is served.
//   report_bench [--groups N] [--users N] [--idle-seconds N] [WARM_REQUESTS] [COLD_RUNS]
//                [COURSE_FOLDER_TO_KEEP]
#include <httplib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "BenchCourse.h"
#include "support/ChildProcess.h"

namespace {

// The course made and the idle time measured: options of the command line.
int bench_groups = 40;
int bench_users = 250;
double bench_idle_seconds = 5;
constexpr int kSteps = 10;

struct Server {
    pid_t pid = -1;
    int port = 0;
    // Starts coursereport serve on the course, its stderr into log; true once it listens.
    bool Start(const std::string& course, const std::string& log) {
        const std::string line = support::StartWithFirstLine(
            {COURSEREPORT_PATH, "serve", course, "--port", "0"}, log, pid);
        const std::string prefix = "listening on http://127.0.0.1:";
        if (line.rfind(prefix, 0) != 0) return false;
        port = std::atoi(line.c_str() + prefix.size());
        return port > 0;
    }
    // VmRSS and VmHWM of the server, in MiB.
    std::pair<double, double> Memory() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string line;
        double rss = 0, hwm = 0;
        while (std::getline(status, line)) {
            if (line.rfind("VmRSS:", 0) == 0) rss = std::atof(line.c_str() + 6) / 1024;
            if (line.rfind("VmHWM:", 0) == 0) hwm = std::atof(line.c_str() + 6) / 1024;
        }
        return {rss, hwm};
    }
    // CPU seconds the server used so far (user and system).
    double CpuSeconds() const {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const size_t close = text.rfind(')');
        if (close == std::string::npos) return 0;
        std::istringstream fields(text.substr(close + 2));
        std::string field;
        double ticks = 0;
        // Fields 14 and 15 (utime, stime); the text after ") " starts at field 3.
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i >= 14) ticks += std::atof(field.c_str());
        return ticks / double(sysconf(_SC_CLK_TCK));
    }
    void Stop() {
        if (pid <= 0) return;
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }
    ~Server() { Stop(); }
};

// How a request asks: as a browser does (gzip, and the others a browser names), or for the
// body as it is.
enum class Coding { kGzip, kPlain };

// One answer's sizes: the body (after decompression) and the bytes that crossed the socket.
struct Sizes {
    size_t body = 0, wire = 0;
};

// Times one request. The body goes into a buffer kept from one request to the next: growing a
// fresh 2 MB string 4 KiB at a time (what the client does by default) costs the client more
// than the server's whole answer, in page faults, and would hide the figure measured here.
double Milliseconds(httplib::Client& client, const char* path, Coding coding,
                    Sizes* sizes = nullptr) {
    static std::string body;
    body.clear();
    httplib::Headers headers;
    if (coding == Coding::kGzip) headers.emplace("Accept-Encoding", "gzip, deflate, br");
    const auto start = std::chrono::steady_clock::now();
    const httplib::Result res = client.Get(path, headers, [](const char* data, size_t length) {
        body.append(data, length);
        return true;
    });
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!res || res->status != 200) {
        std::fprintf(stderr, "report_bench: %s failed\n", path);
        std::exit(1);
    }
    // A server that ignored the coding asked for would be timed for the wrong path.
    if ((res->get_header_value("Content-Encoding") == "gzip") != (coding == Coding::kGzip)) {
        std::fprintf(stderr, "report_bench: %s: Content-Encoding \"%s\" for %s\n", path,
                     res->get_header_value("Content-Encoding").c_str(),
                     coding == Coding::kGzip ? "gzip" : "no coding");
        std::exit(1);
    }
    if (sizes) {
        sizes->body = body.size();
        sizes->wire = std::strtoull(res->get_header_value("Content-Length").c_str(), nullptr, 10);
    }
    return ms;
}

// The share of a core the server takes over a few seconds without requests.
double IdleCpu(const Server& server) {
    const double kSeconds = bench_idle_seconds;
    const double before = server.CpuSeconds();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSeconds));
    return (server.CpuSeconds() - before) / kSeconds;
}

// Appends an answer to learner 1:1's history and asks for that learner until the answer shows:
// the milliseconds between the write and the first answer holding it.
double ChangeServedAfter(httplib::Client& client, const std::filesystem::path& root) {
    const httplib::Result before = client.Get("/api/learners/1/1");
    if (!before || before->status != 200) return -1;
    const auto start = std::chrono::steady_clock::now();
    { std::ofstream(root / "DATA/BENCH/GB/HST001.001", std::ios::app) << "#F1 E1 Q1 2:2 N3 D1\n"; }
    for (;;) {
        const httplib::Result now = client.Get("/api/learners/1/1");
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (now && now->status == 200 && now->body != before->body) return ms;
        if (ms > 60000) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    // The options first, then the positional arguments.
    while (argc > 2 && std::string(argv[1]).rfind("--", 0) == 0) {
        const std::string option = argv[1];
        const int value = std::max(1, std::atoi(argv[2]));
        if (option == "--groups")
            bench_groups = std::min(value, 999);
        else if (option == "--users")
            bench_users = std::min(value, 999);
        else if (option == "--idle-seconds")
            bench_idle_seconds = value;
        else
            break;
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    const int warm_requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const int cold_runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    // A course folder given is made there and kept, for looking at the server by hand.
    const bool keep = argc > 3;
    const std::filesystem::path root = keep ? std::filesystem::path(argv[3])
                                            : std::filesystem::temp_directory_path() /
                                                  ("report_bench_" + std::to_string(getpid()));
    std::printf("making a course of %d learners in %d groups (%d steps each)...\n",
                bench_groups * bench_users, bench_groups, kSteps);
    if (!bench::MakeLearnerCourse(root, bench_groups, bench_users, kSteps)) {
        std::fprintf(stderr, "report_bench: cannot make the course in %s\n", root.c_str());
        return 1;
    }
    // The servers' stderr, shown when one does not start.
    const std::filesystem::path log = std::filesystem::temp_directory_path() /
                                      ("report_bench_serve_" + std::to_string(getpid()) + ".log");
    std::printf("%-14s %-6s %10s %10s %10s %10s\n", "endpoint", "coding", "cold p50", "cold max",
                "warm p50", "warm p99");
    double rss = 0, hwm = 0, idle_cpu = 0, change_ms = -1;
    Sizes summary_plain, summary_gzip;
    for (const char* path : {"/api/summary", "/api/steps"}) {
        const bool summary = path == std::string("/api/summary");
        std::vector<double> cold, warm_gzip, warm_plain;
        for (int run = 0; run < cold_runs; ++run) {
            Server server;
            if (!server.Start(root.string(), log.string())) {
                std::ifstream why(log);
                std::fprintf(stderr, "report_bench: the server did not start\n%s",
                             std::string(std::istreambuf_iterator<char>(why), {}).c_str());
                return 1;
            }
            httplib::Client client("127.0.0.1", server.port);
            // The first request of a fresh server, from a browser.
            cold.push_back(Milliseconds(client, path, Coding::kGzip));
            if (run + 1 == cold_runs) {
                // Both ways in turn, so that both see the same load from the rest of the machine.
                for (int i = 0; i < warm_requests; ++i) {
                    warm_gzip.push_back(Milliseconds(client, path, Coding::kGzip,
                                                     summary ? &summary_gzip : nullptr));
                    warm_plain.push_back(Milliseconds(client, path, Coding::kPlain,
                                                      summary ? &summary_plain : nullptr));
                }
                const auto [r, h] = server.Memory();
                rss = std::max(rss, r);
                hwm = std::max(hwm, h);
                if (change_ms < 0) {
                    idle_cpu = IdleCpu(server);
                    change_ms = ChangeServedAfter(client, root);
                }
            }
        }
        std::printf("%-14s %-6s %8.1fms %8.1fms %8.2fms %8.2fms\n", path, "gzip",
                    Percentile(cold, 0.5), Percentile(cold, 1.0), Percentile(warm_gzip, 0.5),
                    Percentile(warm_gzip, 0.99));
        std::printf("%-14s %-6s %10s %10s %8.2fms %8.2fms\n", path, "plain", "", "",
                    Percentile(warm_plain, 0.5), Percentile(warm_plain, 0.99));
    }
    std::printf("server memory: %.1f MiB resident, %.1f MiB at most\n", rss, hwm);
    std::printf("summary body: %zu bytes, %zu as gzip (decompressed: %zu)\n", summary_plain.wire,
                summary_gzip.wire, summary_gzip.body);
    std::printf("idle server: %.1f%% of a core; a changed history file served after %.0f ms\n",
                idle_cpu * 100, change_ms);
    std::printf(
        "goal: warm p99 <= 20 ms; at 100,000 learners in 400 groups cold <= 5 s, idle <= "
        "1%% of a core, resident <= 400 MiB\n");
    std::filesystem::remove(log);
    if (!keep) std::filesystem::remove_all(root);
    return 0;
}
