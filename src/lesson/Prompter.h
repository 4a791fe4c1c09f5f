// The boxes the lesson flow shows and waits for: the course's message box and the system
// error box, with the message box's icons, button sets and results (windows/WinBoxLayout.h).
// Answers come back synchronously.
#pragma once

#include <string>

#include "platform/Status.h"
#include "windows/WinBoxLayout.h"

namespace lesson {

class Prompter {
  public:
    virtual ~Prompter() = default;
    // The message box: text and caption in the courseware code page; quiet plays no sound.
    virtual int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
                    bool quiet = false) = 0;
    // The error box with the system's text for code as caption.
    virtual void ShowSystemError(const std::string& text, int code) = 0;
    // The error box for a call that failed: its cause as caption, what failed as text.
    virtual void ShowFailure(const platform::Status& failure) = 0;
    // The last panel of the status bar (context and upload notices), shown at once.
    virtual void ShowStatusNote(const std::string& text) = 0;
};

}  // namespace lesson
