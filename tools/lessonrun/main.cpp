// lessonrun: plays a course's lesson with the player's own flow on a headless stage, as a
// learner's session, and prints one JSON line per evaluation and one at the end.
//   lessonrun COURSE --user G:U [--lang L] [--set KEY=VALUE]... [--answer A]... [--auto]
//             [--keep-going]
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "data/UserChoice.h"
#include "lesson/HeadlessCourse.h"
#include "lesson/HeadlessLesson.h"
#include "platform/GuardedMain.h"
#include "platform/Path.h"
#include "platform/ToolHelp.h"
#include "text/Codepage.h"

namespace {

const char kUsage[] =
    "usage: lessonrun COURSE --user G:U [--lang L] [--set KEY=VALUE]...\n"
    "                 [--answer A]... [--auto] [--keep-going]\n"
    "       lessonrun --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// A failure on stderr, its files named as Linux paths (completed from the course folder root).
int Fail(const std::string& message, const std::string& root = {}) {
    std::fprintf(stderr, "lessonrun: %s\n", platform::PathsForPeople(message, root).c_str());
    return 1;
}

const char* KindName(int kind) {
    return kind == lesson::kChoiceStep      ? "choice"
           : kind == lesson::kPracticalStep ? "practical"
                                            : "estimate";
}

int Run(int argc, char** argv) {
    std::string course, lang;
    int group = -1, user = -1;
    bool automatic = false, keep_going = false;
    std::vector<std::string> sets, answers;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--user") {
            char rest = 0;
            if (!value(v) || std::sscanf(v.c_str(), "%d:%d%c", &group, &user, &rest) != 2 ||
                group < 0 || group > 255 || user < 0 || user > 255) {
                return Usage();
            }
        } else if (a == "--lang") {
            if (!value(lang)) return Usage();
        } else if (a == "--set") {
            if (!value(v)) return Usage();
            sets.push_back(v);
        } else if (a == "--answer") {
            if (!value(v)) return Usage();
            answers.push_back(v);
        } else if (a == "--auto") {
            automatic = true;
        } else if (a == "--keep-going") {
            keep_going = true;
        } else if (a.rfind("--", 0) == 0 || !course.empty()) {
            return Usage();
        } else {
            course = a;
        }
    }
    if (course.empty() || group < 0) return Usage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);

    lesson::HeadlessCourse headless;
    // The folder as the command line gives it, taken from the current folder once.
    std::error_code ec;
    const std::string folder = std::filesystem::absolute(course, ec).lexically_normal().string();
    if (ec) return Fail("cannot enter the course folder " + course);
    if (!headless.Open(folder, sets, lang)) return Fail(headless.error(), folder);
    for (const platform::Status& refused : headless.Notices())
        std::fprintf(stderr, "lessonrun: %s\n",
                     platform::PathsForPeople(refused.Text(), folder).c_str());
    data::UserRecord record;
    if (!headless.Store().ReadUser(group, user, record))
        return Fail(headless.UserReadError(group, user), folder);

    lesson::HeadlessLesson runner(headless.Settings(), headless.Store(), headless.Course());
    runner.SetAnswers(answers, automatic);
    runner.SetNoticeSink([&folder](const std::string& notice) {
        std::fprintf(stderr, "lessonrun: %s\n",
                     text::Cp1252ToUtf8(platform::PathsForPeople(notice, folder)).c_str());
    });
    runner.SetKeepGoing(keep_going);
    runner.SetEvaluationObserver([](const lesson::Evaluation& e) {
        // A practical step's answer is named in its own terms: object and menu entry.
        const bool practical = e.kind == lesson::kPracticalStep;
        const std::string given =
            practical ? text::Cp1252ToJson(e.picked) : std::to_string(e.given);
        const std::string expected =
            practical ? text::Cp1252ToJson(e.expected_pick) : std::to_string(e.expected);
        std::printf(
            "{\"level\": %d, \"step\": %d, \"kind\": \"%s\", \"given\": %s, \"expected\": %s, "
            "\"correct\": %s, \"gain\": %d, \"total\": %d, \"worth\": %d, \"caption\": %s, "
            "\"question\": %s, \"verdict\": %s}\n",
            e.level, e.step, KindName(e.kind), given.c_str(), expected.c_str(),
            e.correct ? "true" : "false", e.gain, e.total, e.worth,
            text::Cp1252ToJson(e.caption).c_str(), text::Cp1252ToJson(e.question).c_str(),
            text::Cp1252ToJson(e.verdict).c_str());
        std::fflush(stdout);
    });
    const bool ok = runner.Run(data::UserTag(group, user));
    headless.Trace().Close();
    if (!ok) return Fail(runner.error(), folder);
    // A refused session, or progress that could not be saved, is a failed run.
    if (!runner.Flow().Failure().empty())
        return Fail(text::Cp1252ToUtf8(runner.Flow().Failure()), folder);
    // Every error box the lesson raised is a fault of the course: the run ended at the first
    // one, unless told to keep going.
    const std::vector<std::string>& errors = runner.Errors();
    const bool halted = !errors.empty() && !keep_going;
    std::string more;
    if (halted) {
        more += ", \"reason\": " +
                text::Cp1252ToJson("an error box: " + platform::PathsForPeople(errors[0], folder));
    }
    if (!errors.empty()) {
        more += ", \"errors\": [";
        for (size_t i = 0; i < errors.size(); ++i)
            more +=
                (i ? ", " : "") + text::Cp1252ToJson(platform::PathsForPeople(errors[i], folder));
        more += "]";
    }
    const data::UserRecord& u = runner.Flow().User();
    std::printf(
        "{\"ended\": %s, \"level\": %d, \"step\": %d, \"state\": %d, \"total\": %d, "
        "\"worth\": %d%s}\n",
        runner.Flow().LessonEnded() && !halted ? "true" : "false", u.Level, u.Step, u.State,
        u.Total, u.TotalWorth, more.c_str());
    return halted ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("lessonrun", kUsage, argc, argv); rc >= 0)
        return rc;
    return platform::GuardedMain("lessonrun", argc, argv, Run);
}
