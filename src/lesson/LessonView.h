// What the lesson flow needs from the main window besides showing its screen: the modal
// windows it waits for and the messages it posts to itself.
#pragma once

#include "lesson/LessonScreen.h"
#include "lesson/Prompter.h"

namespace lesson {

// The posted window messages.
inline constexpr int kMsgPick = 1024;        // a stage object's menu entry was picked
inline constexpr int kMsgScriptDone = 1025;  // the step's script has ended
inline constexpr int kMsgUserChosen = 1026;  // a user was chosen: start the session

class LessonView : public Prompter {
  public:
    // The screen changed; draw it.
    virtual void Show(const LessonScreen& screen) = 0;
    // Stop is shown (the collapsed control panel hides it).
    virtual bool StopShown() const = 0;
    // The statistics window asks an estimate on its track bar: returns the position.
    virtual int AskEstimate(const RichText& title, const RichText& text) = 0;
    // The statistics window shows the verdict of a practical or estimate answer modally.
    virtual void ShowAnswer(const AnswerWindow& window) = 0;
    virtual void ShowUserList() = 0;
    // Queues message to the flow; it arrives after the current handler has returned.
    virtual void PostMessage(int message) = 0;
    virtual void CloseDocumentWindow() = 0;
    // Closes the main window (Escape outside a session).
    virtual void CloseWindow() = 0;
    // The stage's size: client width, client height minus the status bar.
    virtual int StageWidth() const = 0;
    virtual int StageHeight() const = 0;
};

}  // namespace lesson
