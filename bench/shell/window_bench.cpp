// The demo lesson in the real main window: the time from a click on Next to the next step's
// question painted with its script started, for the choice steps 1 to 3 (their scripts run in
// real time between the clicks); on step 2 (the impeller turning) one animation tick with the
// repaint it asks for, and a whole frame of the scaled stage. The window is laid out for
// 1008x749 and scaled to the display: run it under xvfb-run at the screen size wanted, with
// QT_SCALE_FACTOR for a high-density screen; "full" switches to full screen. Prints a table.
// The first session is the preset learner's; each later one starts as a learner starts it: Stop
// ends the session, the learner's progress is reset in the user list (Option > Reset) and the
// learner is chosen there again, so that every session plays steps 1 to 3.
//   window_bench [SESSIONS] [full]
//   xvfb-run -s "-screen 0 3840x2160x24" env QT_SCALE_FACTOR=2 window_bench 1 full
#include <QApplication>
#include <QPushButton>
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

#include "data/Course.h"
#include "data/UserChoice.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "shell/TStagWin.h"
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

}  // namespace

int main(int argc, char** argv) {
    const int sessions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const bool full = argc > 2 && std::string(argv[2]) == "full";
    char pattern[] = "/tmp/window_bench_XXXXXX";
    const std::filesystem::path root = mkdtemp(pattern);
    std::filesystem::copy(
        DEMO_COURSE_DIR, root / "course",
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
    std::ofstream(root / "course" / "DEMO.INI", std::ios::app) << "Resolution=1008x749\nFlag=-w\n";
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
    if (full) window.ToggleFullScreen();
    // The stage's widgets are shown by the scaled screen, not children of the window.
    auto* screen = window.findChild<windows::ScaledScreen*>();
    QWidget* stage = screen->Content();
    QWidget* viewport = screen->viewport();
    PaintCounter paints;
    viewport->installEventFilter(&paints);
    lesson::LessonFlow& flow = *window.Flow();
    // The scripts' questions and the flow's boxes are confirmed as they open: Yes of a
    // question, else the box's one button.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&box] {
        if (!box.isVisible()) return;
        QPushButton* yes = box.BitBtn(1)->isVisible() ? box.BitBtn(1) : box.BitBtn(0);
        yes->click();
    });
    closer.start(20);

    auto button = [stage](int n) {
        return stage->findChild<QPushButton*>(QString("Button%1").arg(n));
    };
    const int answers[] = {2, 3, 1};
    std::vector<double> ms, ticks, frames;
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
            button(answer)->click();
            const auto start = std::chrono::steady_clock::now();
            stage->findChild<QPushButton*>("BitBtn1")->click();
            QApplication::processEvents();  // the scene's changes reach the view
            viewport->repaint();
            ms.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count());
        }
        // Stop, confirmed, ends the session as the learner ends it; the user list comes back.
        stage->findChild<QPushButton*>("BitBtn2")->click();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-40s %8s %12s %12s\n", "demo lesson, main window", "count", "median ms",
                "worst ms");
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
