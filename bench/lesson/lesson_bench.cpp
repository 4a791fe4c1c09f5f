// The demo lesson played headless with its right answers: how long the flow takes from an
// answer to the next step's question with its script started (Next), or to the evaluation
// saved (answers), and how long a whole `lessonrun --auto` process takes. Prints a table.
//   lesson_bench [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "lesson/HeadlessCourse.h"
#include "lesson/HeadlessLesson.h"

namespace {

const std::vector<std::string> kRightAnswers = {
    "2", "next", "3",         "next",   "1", "next", "pick:31:1", "est:70",
    "4", "next", "pick:62:2", "est:61", "1", "next", "2",         "next"};

struct Series {
    std::vector<double> ms;
    void Add(double v) { ms.push_back(v); }
    double Median() {
        std::sort(ms.begin(), ms.end());
        return ms.empty() ? 0 : ms[ms.size() / 2];
    }
    double Worst() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void Row(const char* what, Series& s) {
    std::printf("%-34s %8zu %12.3f %12.3f\n", what, s.ms.size(), s.Median(), s.Worst());
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char pattern[] = "/tmp/lesson_bench_XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string course = root + "/course";
    std::filesystem::copy(
        DEMO_COURSE_DIR, course,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);

    // Whole processes first.
    Series process;
    for (int i = 0; i < std::min(runs, 10); ++i) {
        const std::string command =
            std::string(LESSONRUN) + " " + course + " --user 1:2 --auto >/dev/null 2>&1";
        const auto start = std::chrono::steady_clock::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "lesson_bench: lessonrun failed\n");
            return 1;
        }
        process.Add(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }

    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    lesson::HeadlessCourse headless;
    if (!headless.Open(course, {}, "")) {
        std::fprintf(stderr, "lesson_bench: %s\n", headless.error().c_str());
        return 1;
    }
    Series next, answer, lesson;
    for (int i = 0; i < runs; ++i) {
        lesson::HeadlessLesson run(headless.Settings(), headless.Store(), headless.Course());
        run.SetAnswers(kRightAnswers, false);
        run.SetAnswerObserver([&](const std::string& a, int64_t us) {
            (a == "next" ? next : answer).Add(us / 1000.0);
        });
        const auto start = std::chrono::steady_clock::now();
        if (!run.Run((1 << 8) + 2) || !run.Flow().LessonEnded()) {
            std::fprintf(stderr, "lesson_bench: %s\n", run.error().c_str());
            return 1;
        }
        lesson.Add(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::printf("%-34s %8s %12s %12s\n", "demo lesson, GB, headless", "count", "median ms",
                "worst ms");
    Row("Next to next question + script", next);
    Row("answer to evaluation saved", answer);
    Row("whole lesson in process", lesson);
    Row("lessonrun --auto process", process);
    std::filesystem::remove_all(root);
    return 0;
}
