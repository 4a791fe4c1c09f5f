// The player: creates the main window (which runs the start-up) and the windows around it, in
// the order the rest of the program relies on, then runs the event loop.
#include <memory>

#include "app/PlayerApplication.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "shell/TStagWin.h"
#include "shell/TStagWinHost.h"
#include "shell/TStagWinLesson.h"
#include "windows/SoundPlayer.h"
#include "windows/StandardBoxes.h"
#include "windows/TAVIview.h"
#include "windows/TApropos.h"
#include "windows/TEditView.h"
#include "windows/TStat.h"
#include "windows/TWinBox.h"

int main(int argc, char** argv) {
    platform::SetProgramPath(argv[0]);
    app::PlayerApplication application(argc, argv);
    windows::WindowNotifier notifier;
    platform::SetNotifier(&notifier);

    int result = 1;
    {
        shell::TStagWin main_window(argc, argv);
        if (main_window.FormCreate()) {
            // The windows that live for the whole run, after the main window.
            windows::TApropos about;
            windows::TApropos::SetShared(&about);
            windows::TWinBox box;
            windows::TWinBox::SetShared(&box);
            windows::TEditView edit_view;
            main_window.CreateUserWindows(&edit_view);
            windows::TAVIview video;
            if (shell::TStagWinHost* host = main_window.Host()) host->SetVideoWindow(&video);
            windows::TStat stat;
            shell::TStagWinLesson lesson(main_window);
            main_window.show();
            result = application.exec();
            windows::TWinBox::SetShared(nullptr);
            windows::TApropos::SetShared(nullptr);
        }
    }
    windows::ShutdownSounds();
    platform::SetNotifier(nullptr);
    return result;
}
