// The lesson session: from a chosen learner to the end of the lesson. It decides which step
// comes next, asks each step's question, scores the answers (ScoreAnswer) and saves the
// learner's progress after every event (AnswerSaver: user record, context, scores, history
// line). It owns no widget: the main window (or a headless runner) shows its screen and
// forwards clicks, keys, the timer and the three posted messages.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/GroupRecord.h"
#include "data/ScoreBook.h"
#include "data/UserRecord.h"
#include "lesson/AnswerSaver.h"
#include "lesson/AnswerScoring.h"
#include "lesson/LearnerStore.h"
#include "lesson/LessonEngine.h"
#include "lesson/LessonScreen.h"
#include "lesson/LessonServices.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonView.h"
#include "lesson/StepParameters.h"

namespace text {
class MessageFile;
}

namespace lesson {

// Keys the flow handles.
inline constexpr int kKeyEnter = '\r';
inline constexpr int kKeySpace = ' ';
inline constexpr int kKeyEscape = 27;

// One evaluated answer, as the flow reports it after saving it.
struct Evaluation {
    int level = 0;
    int step = 0;
    int kind = 0;  // of the step when it was answered
    int given = 0;
    int expected = 0;
    bool correct = false;
    int gain = 0;  // points the answer added
    int total = 0;
    int worth = 0;
    bool saved = false;  // the answer reached the learner's files (or none are kept)
    // What the learner reads after the answer, in the courseware code page: the answer window's
    // caption, question and verdict; for a choice step the question box and the verdict line.
    std::string caption;
    std::string question;
    std::string verdict;
    // A practical step's answer in its own terms: the picked object's name and menu entry
    // ("VC1: Open the vent cock"); and, from a runner that sees the stage, the entries that
    // would have been right.
    std::string picked;
    std::string expected_pick;
};

class LessonFlow {
  public:
    struct Ports {
        LessonView& view;
        LessonEngine& engine;
        LearnerStore& store;
        LessonSounds& sounds;
        LessonClock& clock;
    };

    LessonFlow(const LessonSettings& settings, Ports ports);
    ~LessonFlow();
    LessonFlow(const LessonFlow&) = delete;
    LessonFlow& operator=(const LessonFlow&) = delete;

    // Events forwarded by the window.
    void TimerTick();  // CommencerClick until automatic play makes it AutoClick
    void CommencerClick();
    void AutoClick();
    void UserMessage(int message);                 // kMsgPick, kMsgScriptDone, kMsgUserChosen
    void SetUserTag(int tag) { user_tag_ = tag; }  // the user list's choice
    void StartSession();
    void OnScriptDone();
    void OnPick();
    void ButtonClick(int answer);  // answer buttons 1 to 6
    void NextClick();
    void PrevClick();
    void ExitClick();
    void StopClick();
    void KeyPress(int key);
    // The options window closed with OK: the step restarts with the new options.
    void OptionsAccepted();
    // The window is asked to close: false when the learner says No.
    bool CloseRequest();

    // Called after every evaluation, once the progress is saved or its failure told.
    void SetEvaluationObserver(std::function<void(const Evaluation&)> observer) {
        on_evaluated_ = std::move(observer);
    }
    // The last session reached the end of the lesson.
    bool LessonEnded() const { return lesson_ended_; }
    // Why the last session was refused, or why its progress could not be saved; empty when
    // all went well.
    const std::string& Failure() const { return failure_.empty() ? saver_.Failure() : failure_; }

    // State, for the window, the runner and tests.
    const LessonScreen& Screen() const { return screen_; }
    const data::UserRecord& User() const { return user_; }
    const data::GroupRecord& Group() const { return group_; }
    const data::ScoreBook* Book() const { return book_.get(); }
    const StepParameters& Params() const { return params_; }
    int UserTag() const { return user_tag_; }
    bool InSession() const { return book_ != nullptr; }
    // The step's question is shown and its script runs or has run (Next not yet enabled).
    bool StepInProgress() const { return book_ && !screen_.next_enabled; }
    // The global index of the current step in the score book.
    int StepIndex() const { return user_.StepsBefore + user_.Step - 1; }
    int LevelSteps(int level) const;

  private:
    // Session (LessonFlow.cpp).
    void InitLevels();
    void StopSession();
    void EndSession();
    bool LessonOpens(const data::UserRecord& user, std::string& path) const;
    static std::string RecordDamage(const data::UserRecord& user);
    void RefuseSession(int text, const std::string& argument, int code, const std::string& reason);
    void Report(int text, const std::string& argument, int code);
    void ShowReport(const std::string& message, const std::string& caption,
                    const std::string& subject, int code, int icon);
    // Saves the learner's progress and tells what failed.
    void SaveProgress(bool with_context, const HistoryLine& line = {});
    void Publish();
    int Ask(int text, const std::string& caption, int icon, int buttons);
    void ShowStanding(const std::string& text);

    // Steps (LessonFlowSteps.cpp).
    void NextStep();
    bool DrawRandomLevel();
    void EndLesson();
    void ShowStep();
    void StepBack(int count, bool run);
    void ExitStep();
    bool OpenStepFile(int level, text::MessageFile& file, std::string* path = nullptr) const;
    bool IsChoiceStep(int step) const;

    // Answers (LessonFlowAnswers.cpp).
    void Evaluate();
    HistoryLine AnswerLine() const;
    AnswerWindow AnswerWindowOf(int kind, const AnswerScore& s, int tries,
                                text::MessageFile& file) const;
    void AskEstimate();
    void HandlePick(const PendingPick& pick);
    std::string LookupMatrix(const std::string& caption);

    // Level and step arrays, guarded against indexes the score book does not hold.
    void SetLevelSteps(int level, int steps);
    int LevelState(int level) const;
    void SetLevelState(int level, int state);
    int32_t* StepEntry(data::ScoreBook::StepArray& array);
    int StepScoreOf(int step) const;
    int EvaluateQuota() const;
    bool StartLimitsLesson() const;

    LessonSettings settings_;
    Ports ports_;
    LessonScreen screen_;
    data::UserRecord user_;
    data::GroupRecord group_;
    std::unique_ptr<data::ScoreBook> book_;
    AnswerSaver saver_;
    StepParameters params_;
    std::vector<bool> choice_steps_;  // of level 1, when the lesson starts above it
    int user_tag_ = -1;
    bool auto_click_timer_ = false;  // the timer's handler is AutoClick
    std::string picked_entry_;       // the caption of the menu entry picked last
    std::string picked_;             // its object's name and that caption
    bool estimate_pending_ = false;  // the estimate step waits for its script's end
    int tries_before_step_ = 0;      // the engine's try counter when the step was shown
    int32_t scratch_ = 0;            // where writes to entries outside the score book go
    std::function<void(const Evaluation&)> on_evaluated_;
    bool lesson_ended_ = false;
    std::string failure_;
    bool preset_applied_ = false;  // the command line's learner was chosen once
};

}  // namespace lesson
