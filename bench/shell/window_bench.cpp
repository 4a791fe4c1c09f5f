// The demo lesson in the real main window: the time from a click on Next to the next step's
// question painted with its script started, for the choice steps 1 to 3 (their scripts run in
// real time between the clicks). Run it on a display (xvfb-run) or offscreen. Prints a table.
//   window_bench [SESSIONS]
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "data/Course.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "shell/TStagWin.h"
#include "windows/SoundBackend.h"
#include "windows/SoundPlayer.h"
#include "windows/TEditView.h"
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

}  // namespace

int main(int argc, char** argv) {
    const int sessions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    char pattern[] = "/tmp/window_bench_XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::copy(
        DEMO_COURSE_DIR, root / "course",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    std::ofstream(root / "course" / "DEMO.INI", std::ios::app) << "Resolution=640x480\nFlag=-w\n";
    const std::string program = (root / "course" / "DEMO").string();
    if (qEnvironmentVariableIsEmpty("DISPLAY")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int qt_argc = 1;
    QApplication app(qt_argc, argv);

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
    lesson::LessonFlow& flow = *window.Flow();
    // The scripts' questions and the flow's boxes are confirmed as they open.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&box] {
        if (box.isVisible()) box.BitBtn(0)->click();
    });
    closer.start(20);

    auto button = [&window](int n) {
        return window.findChild<QPushButton*>(QString("Button%1").arg(n));
    };
    const int answers[] = {2, 3, 1};
    std::vector<double> ms;
    for (int s = 0; s < sessions; ++s) {
        // Started as the start timer starts it: the preset learner stands for the list's choice,
        // the window opens the learners' files, then the flow reads the learner.
        window.CommencerClick();
        for (int answer : answers) {
            if (!WaitFor([&] { return button(answer)->isEnabled(); }, 60)) {
                std::fprintf(stderr, "window_bench: step %d never offered its answers\n",
                             flow.User().Step);
                return 1;
            }
            button(answer)->click();
            const auto start = std::chrono::steady_clock::now();
            window.findChild<QPushButton*>("BitBtn1")->click();
            window.repaint();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        flow.CloseRequest();  // the step in progress is kept; the session ends
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s %8s %12s %12s\n", "demo lesson, main window", "count", "median ms",
                "worst ms");
    std::printf("%-40s %8zu %12.3f %12.3f\n", "Next to next question painted + script", ms.size(),
                ms[ms.size() / 2], ms.back());
    std::filesystem::remove_all(root);
    return 0;
}
