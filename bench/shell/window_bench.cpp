// The demo lesson in the real main window: the time from a click on Next to the next step's
// question painted with its script started, for the choice steps 1 to 3 (their scripts run in
// real time between the clicks); on step 2 (the impeller turning) one animation tick with the
// repaint it asks for, and a whole frame of the scaled stage. The window is laid out for
// 1008x749 and scaled to the display: run it under xvfb-run at the screen size wanted, with
// QT_SCALE_FACTOR for a high-density screen; "full" switches to full screen. Prints a table.
// The first session is the preset learner's; each later one starts as a learner starts it: Stop
// ends the session, the learner's progress is reset in the user list (Option > Reset) and the
// learner is chosen there again, so that every session plays steps 1 to 3.
// "silent" plays one session of learner 2 through a data server that falls silent (accepts,
// never answers) once the first step is shown: the event loop's lag plus a repaint, sampled
// every 10 ms, stands for the time from an input to its repaint; then Stop's duration against
// the server bound (COURSEWARE_SERVER_WAIT_MS, 3000 by default). "silent stop" keeps the server
// answering until the last answer is given, so that Stop meets requests still waiting.
// Given a course folder, times first the player's start to its user list shown (no preset
// learner), then plays that course's first steps as the demo's.
//   window_bench [SESSIONS] [full]
//   window_bench SESSIONS full|window COURSE
//   window_bench silent [stop]
//   xvfb-run -s "-screen 0 3840x2160x24" env QT_SCALE_FACTOR=2 window_bench 1 full
#include <signal.h>
#include <sys/wait.h>

#include <QApplication>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SilentRelay.h"
#include "data/Course.h"
#include "data/UserChoice.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "shell/TStagWin.h"
#include "support/ChildProcess.h"
#include "windows/ScaledScreen.h"
#include "windows/SoundBackend.h"
#include "windows/SoundPlayer.h"
#include "windows/TEditView.h"
#include "windows/TUsrList.h"
#include "windows/TWinBox.h"

namespace {

// Runs the event loop until done() holds or the seconds run out.
template <class F>
bool WaitFor(F done, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

double Ms(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since)
        .count();
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int count = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++count;
        return false;
    }
};

// The learner confirms being the one chosen; no password is stored for the bench's learner.
struct AcceptingDialogs : data::ChoiceDialogs {
    void ShowError(const std::string&) override {}
    void ShowSummary(const std::string&, const std::string&) override {}
    bool ConfirmIdentity(const data::UserRecord&) override { return true; }
    bool AskYesNo(const std::string&, const std::string&) override { return true; }
    data::PasswordAnswer AskPassword(const std::string&) override {
        return data::PasswordAnswer::Ok;
    }
    void ShowWrongPassword(const std::string&, const std::string&) override {}
};

// The user list's learners (the list with the progress column), and the row of learner user.
QTreeWidget* Learners(windows::TUsrList& list) {
    for (QTreeWidget* tree : list.findChildren<QTreeWidget*>())
        if (tree->columnCount() == 5) return tree;
    return nullptr;
}
int RowOf(QTreeWidget& learners, int user) {
    for (int row = 0; row < learners.topLevelItemCount(); ++row)
        if (learners.topLevelItem(row)->data(0, Qt::UserRole).toInt() == user) return row;
    return -1;
}

// The scripts' questions and the flow's boxes are confirmed as they open: Yes of a question,
// else the box's one button.
void ConfirmBoxes(QTimer& closer, windows::TWinBox& box) {
    QObject::connect(&closer, &QTimer::timeout, [&box] {
        if (!box.isVisible()) return;
        QPushButton* yes = box.BitBtn(1)->isVisible() ? box.BitBtn(1) : box.BitBtn(0);
        yes->click();
    });
    closer.start(20);
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

// One session of learner 2 against a server that falls silent after the first step is shown.
int SilentServerSession(char** argv, bool at_stop) {
    char pattern[] = "/tmp/window_bench_XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    for (const char* copy : {"course", "server"})
        std::filesystem::copy(DEMO_COURSE_DIR, root / copy,
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::copy_symlinks);
    pid_t server = -1;
    const std::string line = support::StartWithFirstLine(
        {DATASERVER_PATH, "--root", (root / "server").string(), "--port", "0"},
        (root / "server.log").string(), server);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.compare(0, prefix.size(), prefix) != 0) {
        std::fprintf(stderr, "window_bench: the data server did not start: %s\n", line.c_str());
        return 1;
    }
    bench::SilentRelay relay(std::stoi(line.substr(prefix.size())));
    std::ofstream(root / "course" / "DEMO.INI", std::ios::app)
        << "Resolution=1008x749\nFlag=-w\nIPserv=localhost\nIPport=" << relay.Port() << "\n";
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    int status = 1;
    {
        data::Course course((root / "course" / "DEMO").string());
        windows::SoundPlayer sounds(course, std::make_unique<windows::RecordingSoundBackend>());
        windows::TWinBox box(course, sounds);
        const char* args[] = {"DEMO", nullptr};
        shell::TStagWin window(course, sounds, box, 1, args);
        if (!window.FormCreate()) return 1;
        windows::TEditView edit_view(course, box);
        window.CreateUserWindows(&edit_view);
        window.findChild<QTimer*>("Timer")->stop();
        window.show();
        QWidget* stage = window.findChild<windows::ScaledScreen*>()->Content();
        QWidget* viewport = window.findChild<windows::ScaledScreen*>()->viewport();
        QTimer closer;
        ConfirmBoxes(closer, box);
        auto* list = window.findChild<windows::TUsrList*>();
        AcceptingDialogs dialogs;
        list->SetDialogs(&dialogs);
        window.CommencerClick();
        QTreeWidget* learners = nullptr;
        if (!WaitFor([&] { return list->isVisible() && (learners = Learners(*list)); }, 10)) {
            std::fprintf(stderr, "window_bench: the user list never came\n");
            return 1;
        }
        list->ChooseRow(RowOf(*learners, 2));
        auto button = [stage](int n) {
            return stage->findChild<QPushButton*>(QString("Button%1").arg(n));
        };
        const int answers[] = {2, 3, 1};
        if (!WaitFor([&] { return button(answers[0])->isVisible(); }, 60)) {
            std::fprintf(stderr, "window_bench: the session did not start\n");
            return 1;
        }
        if (!at_stop) relay.Silence();
        // Every 10 ms: how late the timer fires (the event loop's lag: what an input event
        // waits) plus a repaint of the stage.
        std::vector<double> probes;
        int waiting_shown = 0;
        QTimer probe;
        auto expected = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const auto now = std::chrono::steady_clock::now();
            const double lag =
                std::max(0.0, std::chrono::duration<double, std::milli>(now - expected).count());
            viewport->repaint();
            probes.push_back(lag + Ms(now));
            waiting_shown += window.statusBar()->currentMessage().startsWith("Waiting");
            expected = std::chrono::steady_clock::now() + std::chrono::milliseconds(10);
        });
        probe.start(10);
        std::vector<double> clicks;
        for (int answer : answers) {
            if (!WaitFor([&] { return button(answer)->isVisible() && button(answer)->isEnabled(); },
                         60)) {
                std::fprintf(stderr, "window_bench: a step never offered its answers\n");
                return 1;
            }
            if (at_stop && answer == answers[2]) break;
            auto t0 = std::chrono::steady_clock::now();
            button(answer)->click();
            QApplication::processEvents();
            viewport->repaint();
            clicks.push_back(Ms(t0));
            t0 = std::chrono::steady_clock::now();
            stage->findChild<QPushButton*>("BitBtn1")->click();
            QApplication::processEvents();
            viewport->repaint();
            clicks.push_back(Ms(t0));
        }
        if (at_stop) {
            // The last answer's record is on its way when the server falls silent.
            relay.Silence();
            button(answers[2])->click();
        }
        const auto stop = std::chrono::steady_clock::now();
        stage->findChild<QPushButton*>("BitBtn2")->click();
        const double stop_ms = Ms(stop);
        WaitFor([&] { return list->isVisible(); }, 10);
        probe.stop();
        std::printf("%-44s %8s %10s %10s %10s\n", "silent data server, demo session", "count",
                    "median ms", "p99 ms", "worst ms");
        std::printf("%-44s %8zu %10.3f %10.3f %10.3f\n", "event loop lag + repaint (every 10 ms)",
                    probes.size(), Percentile(probes, 0.5), Percentile(probes, 0.99),
                    Percentile(probes, 1.0));
        std::printf("%-44s %8zu %10.3f %10.3f %10.3f\n", "answer or Next click to its repaint",
                    clicks.size(), Percentile(clicks, 0.5), Percentile(clicks, 0.99),
                    Percentile(clicks, 1.0));
        std::printf("Stop (confirmed) returned after %.0f ms; server wait shown in %d samples\n",
                    stop_ms, waiting_shown);
        status = 0;
    }
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    std::filesystem::remove_all(root);
    return status;
}

}  // namespace

// Milliseconds from the course opened to the user list shown with its learners, as the player
// starts without a preset learner.
double StartToUserList(const std::string& program) {
    const auto start = std::chrono::steady_clock::now();
    data::Course course(program);
    windows::SoundPlayer sounds(course, std::make_unique<windows::RecordingSoundBackend>());
    windows::TWinBox box(course, sounds);
    const char* args[] = {"DEMO", nullptr};
    shell::TStagWin window(course, sounds, box, 1, args);
    if (!window.FormCreate()) return -1;
    windows::TEditView edit_view(course, box);
    window.CreateUserWindows(&edit_view);
    window.findChild<QTimer*>("Timer")->stop();
    window.show();
    window.CommencerClick();
    auto* list = window.findChild<windows::TUsrList*>();
    const bool shown =
        list && WaitFor(
                    [&] {
                        QTreeWidget* learners = Learners(*list);
                        return list->isVisible() && learners && learners->topLevelItemCount() > 0;
                    },
                    30);
    if (!shown) return -1;
    list->repaint();
    const double ms = Ms(start);
    list->hide();
    return ms;
}

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "silent")
        return SilentServerSession(argv, argc > 2 && std::string(argv[2]) == "stop");
    const int sessions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const bool full = argc > 2 && std::string(argv[2]) == "full";
    const bool given = argc > 3;
    char pattern[] = "/tmp/window_bench_XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::copy(
        given ? argv[3] : DEMO_COURSE_DIR, root / "course",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    std::ofstream(root / "course" / "DEMO.INI", std::ios::app) << "Resolution=1008x749\nFlag=-w\n";
    const std::string program = (root / "course" / "DEMO").string();
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);
    const double start_ms = given ? StartToUserList(program) : 0;
    if (start_ms < 0) {
        std::fprintf(stderr, "window_bench: the user list never came\n");
        return 1;
    }

    data::Course course(program);
    windows::SoundPlayer sounds(course, std::make_unique<windows::RecordingSoundBackend>());
    windows::TWinBox box(course, sounds);
    // A preset learner: nothing is saved, so the figures are the flow's and the window's.
    const char* args[] = {"DEMO", "-s", "1:2:1:0", nullptr};
    shell::TStagWin window(course, sounds, box, 3, args);
    if (!window.FormCreate()) return 1;
    windows::TEditView edit_view(course, box);
    window.CreateUserWindows(&edit_view);
    window.findChild<QTimer*>("Timer")->stop();
    window.show();
    if (full) window.ToggleFullScreen();
    // The stage's widgets are shown by the scaled screen, not children of the window.
    auto* screen = window.findChild<windows::ScaledScreen*>();
    QWidget* stage = screen->Content();
    QWidget* viewport = screen->viewport();
    PaintCounter paints;
    viewport->installEventFilter(&paints);
    lesson::LessonFlow& flow = *window.Flow();
    QTimer closer;
    ConfirmBoxes(closer, box);

    auto button = [stage](int n) {
        return stage->findChild<QPushButton*>(QString("Button%1").arg(n));
    };
    const int answers[] = {2, 3, 1};
    std::vector<double> ms, ticks, frames;
    std::vector<std::pair<int, double>> first;  // the first session's Next, by step
    int unpainted = 0;
    auto* list = window.findChild<windows::TUsrList*>();
    AcceptingDialogs dialogs;
    list->SetDialogs(&dialogs);
    for (int s = 0; s < sessions; ++s) {
        if (s == 0) {
            // Started as the start timer starts it: the preset learner stands for the list's
            // choice, the window opens the learners' files, then the flow reads the learner.
            window.CommencerClick();
        } else {
            // Stop brought the user list back: the learner starts again from the beginning.
            QTreeWidget* learners = Learners(*list);
            if (!WaitFor([&] { return list->isVisible() && learners; }, 10)) {
                std::fprintf(stderr, "window_bench: session %d: the user list never came\n", s + 1);
                return 1;
            }
            const int row = RowOf(*learners, 2);
            if (row < 0) {
                std::fprintf(stderr, "window_bench: learner 2 is not in the user list\n");
                return 1;
            }
            learners->setCurrentItem(learners->topLevelItem(row));
            window.ResetClick();
            list->ChooseRow(RowOf(*learners, 2));
        }
        for (int answer : answers) {
            if (!WaitFor([&] { return button(answer)->isVisible() && button(answer)->isEnabled(); },
                         60)) {
                std::fprintf(stderr,
                             "window_bench: session %d, step %d never offered its answers\n", s + 1,
                             flow.User().Step);
                return 1;
            }
            if (answer == 3) {
                // Step 2 turns the impeller: one animation tick with the repaint it asks for,
                // then a whole frame of the scaled screen painted again.
                for (int i = 0; i < 40; ++i) {
                    const int painted = paints.count;
                    auto t0 = std::chrono::steady_clock::now();
                    window.Engine()->Animate();
                    QApplication::processEvents();
                    ticks.push_back(Ms(t0));
                    if (paints.count == painted) ++unpainted;
                    t0 = std::chrono::steady_clock::now();
                    viewport->repaint();
                    frames.push_back(Ms(t0));
                }
            }
            const int step = flow.User().Step;
            button(answer)->click();
            const auto start = std::chrono::steady_clock::now();
            stage->findChild<QPushButton*>("BitBtn1")->click();
            QApplication::processEvents();  // the scene's changes reach the view
            viewport->repaint();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
            if (s == 0) first.emplace_back(step, ms.back());
        }
        // Stop, confirmed, ends the session as the learner ends it; the user list comes back.
        stage->findChild<QPushButton*>("BitBtn2")->click();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s %8s %12s %12s\n", given ? "course, main window" : "demo lesson, main window",
                "count", "median ms", "worst ms");
    if (given)
        std::printf("%-40s %8d %12.3f %12.3f\n", "start to user list shown", 1, start_ms, start_ms);
    for (const auto& [step, next] : first)
        std::printf("%-40s %8d %12.3f %12.3f\n", ("Next at step " + std::to_string(step)).c_str(),
                    1, next, next);
    std::printf("%-40s %8zu %12.3f %12.3f\n", "Next to next question painted + script", ms.size(),
                ms[ms.size() / 2], ms.back());
    std::sort(ticks.begin(), ticks.end());
    std::sort(frames.begin(), frames.end());
    std::printf("%-40s %8zu %12.3f %12.3f\n", "animation tick + its repaint (impeller)",
                ticks.size(), ticks[ticks.size() / 2], ticks.back());
    std::printf("%-40s %8zu %12.3f %12.3f\n", "whole scaled frame repainted", frames.size(),
                frames[frames.size() / 2], frames.back());
    std::printf("stage scale %.3f, window %dx%d, device pixel ratio %.2f, ticks unpainted %d\n",
                screen->Scale(), window.width(), window.height(), window.devicePixelRatioF(),
                unpainted);
    std::filesystem::remove_all(root);
    return 0;
}
