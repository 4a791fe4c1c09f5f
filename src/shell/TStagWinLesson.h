// The lesson flow bound to the main window: the window's clicks, keys, timer and posted
// messages go to the flow, and the flow's screen, boxes, estimate and comment windows, sounds
// and clock come from the window and its toolkit.
#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "lesson/LearnerFilesStore.h"
#include "lesson/LessonFlow.h"
#include "lesson/ScriptEngineLink.h"
#include "shell/TStagWin.h"

namespace windows {
class TStat;
}

namespace shell {

class TStagWinLesson : public TStagWinEvents,
                       public lesson::LessonView,
                       public lesson::LessonSounds,
                       public lesson::LessonClock {
  public:
    // window has been created (FormCreate succeeded); the lesson installs itself as its events.
    explicit TStagWinLesson(TStagWin& window);
    ~TStagWinLesson() override;

    lesson::LessonFlow& Flow() { return *flow_; }

    // TStagWinEvents.
    void CommencerClick() override { flow_->TimerTick(); }
    void NextClick() override { flow_->NextClick(); }
    void StopClick() override { flow_->StopClick(); }
    void PrevClick() override { flow_->PrevClick(); }
    void ExitClick() override { flow_->ExitClick(); }
    void AnswerClick(int tag) override { flow_->ButtonClick(tag); }
    void KeyPress(int key) override;
    void UserMessage(int message, long param) override;
    bool CloseQuery() override { return flow_->CloseRequest(); }
    void ConfigClick() override { flow_->OptionsAccepted(); }

    // LessonView.
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
            bool quiet) override;
    void ShowSystemError(const std::string& text, int code) override;
    void ShowStatusNote(const std::string& text) override;
    void Show(const lesson::LessonScreen& screen) override;
    bool StopShown() const override;
    int AskEstimate(const lesson::RichText& title, const lesson::RichText& text) override;
    void ShowComment(const lesson::RichText& text, int verdict) override;
    void ShowUserList() override;
    void PostMessage(int message) override { window_.PostUserMessage(message); }
    void CloseDocumentWindow() override { window_.CloseDocumentWindow(); }
    void CloseWindow() override;
    int StageWidth() const override;
    int StageHeight() const override;

    // LessonSounds and LessonClock.
    void PlayNumber(int number, bool wait) override;
    void PlayNamed(const std::string& name) override;
    int64_t Now() override;
    uint32_t Random() override;

    // A request to the data server lasts: a busy cursor and a status text while waiting is
    // true, the window repainted; both go when it is false.
    void ShowServerWait(bool waiting);
    bool ServerWaitShown() const { return server_wait_shown_; }

  private:
    windows::TStat& Statistics();
    void CloseByItself(windows::TStat& stat, bool answer);
    // The window's GROUP and USERS files, opened when the user list has not opened them yet.
    void OpenLearnerFiles();

    TStagWin& window_;
    std::unique_ptr<lesson::LearnerFilesStore> store_;
    std::unique_ptr<lesson::ScriptEngineLink> link_;
    std::unique_ptr<lesson::LessonFlow> flow_;
    QPointer<windows::TStat> statistics_;
    std::string shown_info_;  // the info panel's text as last shown
    bool server_wait_shown_ = false;
    data::RemoteClient* client_ = nullptr;  // the data server's, owned by the window's state
};

}  // namespace shell
