// The player: builds the course and the application's services, creates the main window (which
// runs the start-up) and the windows around it, in the order the rest of the program relies on,
// then runs the event loop.
#include <cstdio>
#include <memory>

#include "app/PlayerApplication.h"
#include "data/Course.h"
#include "data/OptionFlags.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "platform/ToolHelp.h"
#include "shell/TStagWin.h"
#include "windows/SoundPlayer.h"
#include "windows/TAVIview.h"
#include "windows/TEditView.h"
#include "windows/TWinBox.h"

namespace {

const char kUsage[] =
    "usage: courseware-player [-l LANG] [-s GROUP:USER:LEVEL:DELAY]\n"
    "       courseware-player --help | --version\n";

// True when every option is one the start-up reads (-l, -s), each with its value.
bool KnownOptions(int argc, char** argv) {
    data::OptionScanner scanner = data::OptionScanner::ForCommandLine(argc, argv);
    for (int c; (c = scanner.Next(data::kCommandLineSpec)) != -1;)
        if (c == '?') return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window, so they work without a display.
    if (const int rc = platform::AnswerHelpOrVersion("courseware-player", kUsage, argc, argv);
        rc >= 0)
        return rc;
    if (!KnownOptions(argc, argv)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The course is the folder of the program's own path (the link named after the product).
    data::Course course(platform::AbsoluteProgramPath(argv[0]));
    app::PlayerApplication application(argc, argv, course);
    course.SetNotifier(&application.Notifier());

    int result = 1;
    {
        // The shared message box exists before the start-up, so its failure boxes have the
        // course's texts and icons as soon as the configuration is read.
        windows::TWinBox box(course, application.Sounds());
        shell::TStagWin main_window(course, application.Sounds(), box, argc, argv);
        if (main_window.FormCreate()) {
            // The windows that live for the whole run, after the main window.
            windows::TEditView edit_view(course, box);
            main_window.CreateUserWindows(&edit_view);
            windows::TAVIview video;
            main_window.SetVideoWindow(&video);
            main_window.show();
            result = application.exec();
        }
    }
    return result;
}
