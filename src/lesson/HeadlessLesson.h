// A course's lesson played with the player's own flow on a headless stage: the flow's boxes are
// answered OK or Yes, scripts run in simulated time, and the learner's answers come from a list.
#pragma once

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/Course.h"
#include "lesson/LessonFlow.h"
#include "lesson/ScriptEngineLink.h"
#include "platform/Notifier.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"

namespace lesson {

// The script engine's host: the engine's messages (script ended, menu entry picked) go to the
// runner's queue; its questions are answered Yes when they offer Yes, else OK, and its error
// boxes go to on_error.
class RunnerHost : public script::HeadlessHost {
  public:
    RunnerHost(std::deque<int>& queue, std::function<void(const std::string&)> on_error)
        : queue_(queue), on_error_(std::move(on_error)) {}
    void ScriptEnded() override { queue_.push_back(kMsgScriptDone); }
    void Picked(int, int) override { queue_.push_back(kMsgPick); }
    int Ask(const script::Question& question) override;

  private:
    std::deque<int>& queue_;
    std::function<void(const std::string&)> on_error_;
};

// The course's own reports during a run (a file that cannot be read, say): errors go to
// on_error, notices are dropped.
class RunnerNotifier : public platform::Notifier {
  public:
    explicit RunnerNotifier(std::function<void(const std::string&)> on_error)
        : on_error_(std::move(on_error)) {}
    void ShowSystemError(const std::string& text, int code) override;
    void ShowError(const std::string& caption, const std::string& text) override;
    void ShowMessage(const std::string&, const std::string&) override {}

  private:
    std::function<void(const std::string&)> on_error_;
};

class HeadlessLesson : public LessonView, public LessonSounds, public LessonClock {
  public:
    HeadlessLesson(const LessonSettings& settings, LearnerStore& store, data::Course& course);
    ~HeadlessLesson() override;
    HeadlessLesson(const HeadlessLesson&) = delete;
    HeadlessLesson& operator=(const HeadlessLesson&) = delete;

    // Answers used in order, one each time the flow waits after a step's script: "1".."6",
    // "pick:ID:N", "next", "prev", "exit", "stop"; "est:V" is taken when the flow asks an
    // estimate. When they run out: with automatic, the automatic click (and a random estimate);
    // without, Stop (and a failed run when an estimate is asked).
    void SetAnswers(std::vector<std::string> answers, bool automatic);
    // Each evaluation; a practical step's carries the entries that were right (expected_pick).
    void SetEvaluationObserver(std::function<void(const Evaluation&)> observer);
    // Without keep_going (the default) the first error box ends the run: the session is stopped
    // as Stop does. With it the run plays on. Every error box is kept either way.
    void SetKeepGoing(bool keep_going) { keep_going_ = keep_going; }
    // The error boxes of the run (the flow's, the script engine's and the course's), in the
    // courseware code page, in order.
    const std::vector<std::string>& Errors() const { return errors_; }
    // Plays the session of the learner tag (data::UserTag) to its end or its stop. False with
    // error() set when an answer does not fit the waiting step or the lesson does not end; a
    // refused session, or progress that could not be saved, is told by Flow().Failure().
    bool Run(int tag);
    const std::string& error() const { return error_; }
    // Receives each error box as it is raised (not the warnings or notices), in the courseware
    // code page.
    void SetNoticeSink(std::function<void(const std::string&)> sink) { notice_ = std::move(sink); }
    // Called after each answer ("auto" or "stop" once the list has run out) with the time the
    // flow took to handle it, in microseconds: the evaluation and its saving and, when the
    // answer leads there, the next step's question with its script opened (not yet run).
    void SetAnswerObserver(std::function<void(const std::string&, int64_t)> observer) {
        on_answer_ = std::move(observer);
    }
    const LessonFlow& Flow() const { return *flow_; }

    // LessonView.
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
            bool quiet) override;
    void ShowSystemError(const std::string& text, int code) override;
    void ShowFailure(const platform::Status& failure) override;
    void ShowStatusNote(const std::string&) override {}
    void Show(const LessonScreen&) override {}
    bool StopShown() const override { return true; }
    int AskEstimate(const RichText& title, const RichText& text) override;
    void ShowAnswer(const AnswerWindow&) override {}
    void ShowUserList() override {}
    void PostMessage(int message) override { queue_.push_back(message); }
    void CloseDocumentWindow() override {}
    void CloseWindow() override {}
    int StageWidth() const override { return kStageWidth; }
    int StageHeight() const override { return kStageHeight; }

    // LessonSounds and LessonClock: silence; the run's start plus the simulated time; the
    // course's random stream, seeded once for the engine and the flow so that runs replay.
    void PlayNumber(int, bool) override {}
    void PlayNamed(const std::string&) override {}
    int64_t Now() override { return start_ + now_ms_ / 1000; }
    uint32_t Random() override { return course_.Random()(); }

  private:
    static constexpr int kStageWidth = 1008;
    static constexpr int kStageHeight = 749;

    void Deliver();
    void RunScript();
    bool Answer(const std::string& answer);
    bool Pick(const std::string& answer);
    std::string Where() const;
    bool Fail(const std::string& answer, const std::string& why);
    void ErrorBox(const std::string& text);
    bool Halted() const { return !keep_going_ && !errors_.empty(); }
    // The menu entries of the stage's objects that answer the step rightly, "<object>: <entry>".
    std::string RightPicks();

    data::Course& course_;
    const LessonSettings settings_;
    std::deque<int> queue_;
    std::vector<std::string> errors_;
    bool keep_going_ = false;
    RunnerNotifier notifier_;
    RunnerHost host_;
    QWidget stage_;
    QImage picture_;
    script::ScriptEngine engine_;
    ScriptEngineLink link_;
    std::unique_ptr<LessonFlow> flow_;
    std::deque<std::string> answers_;
    bool automatic_ = false;
    int64_t start_ = 0;
    int64_t now_ms_ = 0;
    std::string error_;
    std::function<void(const std::string&, int64_t)> on_answer_;
    std::function<void(const std::string&)> notice_;
};

}  // namespace lesson
