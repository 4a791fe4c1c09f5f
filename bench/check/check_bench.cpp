// Times a whole check of the demo course (every language and unit system) without and with
// --run-scripts, and prints a table: fastest and median of several runs against the goals of
// 1 s and 5 s. Then times copies whose script D1INTRO is followed by 1, 4 and 15 MiB of zeros:
// the check of a script grows with its size, not its square.
// Given a course folder, times that course instead (RUNS runs each), against the goals of a
// large course: 5 s files only and 60 s with its scripts run.
//   check_bench [COURSE [RUNS]]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/CourseCheck.h"

namespace {

int runs = 7;

// Milliseconds of each run of the course in folder; findings must number from least to most,
// or the figures mean nothing.
std::vector<double> Time(const std::string& folder, bool run_scripts, size_t least, size_t most,
                         bool& clean) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        check::CheckOptions options;
        options.run_scripts = run_scripts;
        std::vector<check::Finding> findings;
        const auto start = std::chrono::steady_clock::now();
        const bool ok = check::CheckCourse(folder, options, findings).ok();
        const auto end = std::chrono::steady_clock::now();
        clean = clean && ok && findings.size() >= least && findings.size() <= most;
        ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

// A copy of the demo course in the system's temporary folder whose D1INTRO ends with mib MiB
// of zeros.
std::string PaddedCopy(int mib) {
    namespace fs = std::filesystem;
    const fs::path to = fs::temp_directory_path() / ("check_bench_" + std::to_string(mib));
    fs::remove_all(to);
    fs::copy(DEMO_COURSE_DIR, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    std::ofstream(to / "DATA/LDE/D1INTRO", std::ios::binary | std::ios::app)
        << std::string(static_cast<size_t>(mib) << 20, '\0');
    return to.string();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool clean = true;
    const bool given = argc > 1;
    const std::string course = given ? argv[1] : DEMO_COURSE_DIR;
    if (argc > 2) runs = std::max(1, std::atoi(argv[2]));
    std::printf("%-22s %10s %10s %10s\n", given ? "course check" : "demo course check", "min ms",
                "median ms", "goal ms");
    const struct {
        const char* name;
        bool run;
        double goal;
    } rows[] = {{"files only", false, given ? 5000.0 : 1000.0},
                {"with --run-scripts", true, given ? 60000.0 : 5000.0}};
    for (const auto& row : rows) {
        const std::vector<double> ms = Time(course, row.run, 0, 0, clean);
        std::printf("%-22s %10.1f %10.1f %10.0f%s\n", row.name, ms.front(), ms[ms.size() / 2],
                    row.goal, ms[ms.size() / 2] > row.goal ? "  (over the goal)" : "");
    }
    if (given) {
        if (clean) return 0;
        std::fprintf(stderr, "check_bench: %s gave findings\n", course.c_str());
        return 1;
    }
    // Zeros decode as instructions with arguments of no kind: one script-argument finding, and
    // one script-cut when the zeros end mid-instruction.
    std::printf("%-22s %10s %10s %10s\n", "script + zeros", "min ms", "median ms", "ms/MiB");
    for (int mib : {1, 4, 15}) {
        const std::string folder = PaddedCopy(mib);
        const std::vector<double> ms = Time(folder, false, 1, 2, clean);
        std::printf("%-22s %10.1f %10.1f %10.1f\n", (std::to_string(mib) + " MiB").c_str(),
                    ms.front(), ms[ms.size() / 2], ms[ms.size() / 2] / mib);
        std::filesystem::remove_all(folder);
    }
    if (!clean) {
        std::fprintf(stderr,
                     "check_bench: the demo course gave findings, or a padded copy other "
                     "than its one or two\n");
        return 1;
    }
    return 0;
}
