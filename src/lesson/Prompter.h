// The boxes the lesson flow shows and waits for: the course's message box and the system
// error box. Answers come back synchronously.
#pragma once

#include <string>

namespace lesson {

// Icons and button sets of the message box, and its answers.
enum BoxIcon : int { kBoxError = 16, kBoxQuestion = 32, kBoxWarning = 48, kBoxInformation = 64 };
enum BoxButtons : int { kBoxOk = 3, kBoxYesNo = 8 };
enum BoxAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerYes = 6, kAnswerNo = 7 };

class Prompter {
  public:
    virtual ~Prompter() = default;
    // The message box: text and caption in the courseware code page; quiet plays no sound.
    virtual int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
                    bool quiet = false) = 0;
    // The error box with the system's text for code as caption.
    virtual void ShowSystemError(const std::string& text, int code) = 0;
    // The last panel of the status bar (context and upload notices), shown at once.
    virtual void ShowStatusNote(const std::string& text) = 0;
};

}  // namespace lesson
