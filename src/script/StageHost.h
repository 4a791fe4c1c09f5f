// What the script engine needs from the main window. The engine calls these on the GUI thread;
// ScriptEnded and Picked stand for posted window messages, so an implementation must queue
// them rather than act inside the call.
#pragma once

#include <string>

#include "windows/WinBoxLayout.h"

namespace script {

// A question or notice for the message box window.
struct Question {
    std::string text;
    std::string caption;
    int icon = windows::kIconWarning;  // kIconWarning for DialogBox, kIconError for errors
    int buttons = windows::kButtonOk;  // a button set of the message box: OK, YES/NO, ...
    bool placed = false;               // x, y are stage-relative placement
    int x = 0;
    int y = 0;
};

class StageHost {
  public:
    virtual ~StageHost() = default;
    // The step's script has ended (posted message 1025).
    virtual void ScriptEnded() = 0;
    // A pop-up menu entry of a stage object was picked; tag is the entry's position
    // (0 the hint entry, 1 the first line entry, ...) (posted message 1024).
    virtual void Picked(int object_id, int tag) = 0;
    // Shows the question modally and returns the answer code.
    virtual int Ask(const Question& question) = 0;
    // Shows a picture in the message box window: its own size when height and width are 0,
    // scaled by zoom when zoom is not 0.
    virtual void ShowPicture(const std::string& path, int height, int width, double zoom) = 0;
    // Plays sound name with play flags (0 sync, 1 async, 9 loop, 16 no-stop); an empty name
    // stops the sound playing.
    virtual void PlaySound(const std::string& name, int flags) = 0;
    // Plays a video: in the stage's own player (in_stage) or in a video view at x, y with mode.
    virtual void PlayVideo(const std::string& path, int x, int y, int mode, bool in_stage) = 0;
};

}  // namespace script
