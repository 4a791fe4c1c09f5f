// The demo lesson played headless with its right answers: how long the flow takes from an
// answer to the next step's question with its script started (Next), or to the evaluation
// saved (answers), and how long a whole `lessonrun --auto` process takes. Prints a table.
// Given a course folder, plays its first level with the automatic answers instead, and times
// each round (answer, evaluation, Next) at the first step, at the last and over the level.
//   lesson_bench [RUNS] [COURSE]
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

// The first level of course (a copy), played RUNS times in process with automatic answers.
int PlayCourse(const std::string& course, int runs, Series& process, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    lesson::HeadlessCourse headless;
    if (!headless.Open(course, {}, "")) {
        std::fprintf(stderr, "lesson_bench: %s\n", headless.error().c_str());
        return 1;
    }
    Series first, last, all, lesson;
    int steps = 0;
    for (int i = 0; i < runs; ++i) {
        lesson::HeadlessLesson run(headless.Settings(), headless.Store(), headless.Course());
        run.SetAnswers({}, true);
        std::vector<std::pair<int, double>> rounds;
        run.SetAnswerObserver([&](const std::string&, int64_t us) {
            rounds.emplace_back(run.Flow().User().Step, us / 1000.0);
        });
        const auto start = std::chrono::steady_clock::now();
        if (!run.Run((1 << 8) + 2) || !run.Flow().LessonEnded()) {
            std::fprintf(stderr, "lesson_bench: %s\n", run.error().c_str());
            return 1;
        }
        lesson.Add(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
        // A round is filed under the step it led to: the first step's is the first round, the
        // last step's the last one that reached it.
        for (const auto& [step, ms] : rounds) {
            all.Add(ms);
            steps = std::max(steps, step);
        }
        if (!rounds.empty()) first.Add(rounds.front().second);
        if (!rounds.empty()) last.Add(rounds.back().second);
    }
    std::printf("%-34s %8s %12s %12s\n", "first level, GB, headless, auto", "count", "median ms",
                "worst ms");
    Row("round (answer + Next), first step", first);
    Row(("round (answer + Next), step " + std::to_string(steps)).c_str(), last);
    Row("round (answer + Next), every step", all);
    Row("whole level in process", lesson);
    Row("lessonrun --auto process", process);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    char pattern[] = "/tmp/lesson_bench_XXXXXX";
    const std::string root = mkdtemp(pattern);
    const std::string course = root + "/course";
    const bool given = argc > 2;
    std::filesystem::copy(
        given ? argv[2] : DEMO_COURSE_DIR, course,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);

    // Whole processes first.
    Series process;
    for (int i = 0; i < std::min(runs, given ? 3 : 10); ++i) {
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

    if (given) {
        const int status = PlayCourse(course, runs, process, argv);
        std::filesystem::remove_all(root);
        return status;
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
