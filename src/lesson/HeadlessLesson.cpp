#include "lesson/HeadlessLesson.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "lesson/LevelTable.h"
#include "lesson/SubStepFile.h"
#include "platform/Path.h"

namespace lesson {
namespace {

// Ticks a step's script may take (at 50 ms, more than an hour and a half of lesson time).
constexpr long kTickBudget = 120000;

const char* KindName(int kind) {
    return kind == kChoiceStep ? "choice" : kind == kPracticalStep ? "practical" : "estimate";
}

}  // namespace

int RunnerHost::Ask(const script::Question& question) {
    HeadlessHost::Ask(question);
    if (question.icon == windows::kIconError && on_error_)
        on_error_(question.caption + ": " + question.text);
    return question.buttons == 8 || question.buttons == 16 ? windows::kResultYes
                                                           : windows::kResultOk;
}

void RunnerNotifier::ShowSystemError(const std::string& text, int code) {
    if (on_error_) on_error_(text + ": " + platform::SystemErrorText(code));
}

void RunnerNotifier::ShowError(const std::string& caption, const std::string& text) {
    if (on_error_) on_error_(caption + ": " + text);
}

HeadlessLesson::HeadlessLesson(const LessonSettings& settings, LearnerStore& store,
                               data::Course& course)
    : course_(course),
      settings_(settings),
      notifier_([this](const std::string& text) { ErrorBox(text); }),
      host_(queue_, [this](const std::string& text) { ErrorBox(text); }),
      picture_(kStageWidth, kStageHeight, QImage::Format_RGB32),
      engine_(course, &host_),
      link_(engine_),
      start_(static_cast<int64_t>(std::time(nullptr))) {
    stage_.resize(kStageWidth, kStageHeight);
    picture_.fill(Qt::white);
    engine_.SetClock([this] { return now_ms_; });
    course.SeedRandom(1957);  // one stream for the engine and the flow, so runs replay
    engine_.Bind(&stage_, nullptr, &picture_);
    flow_ = std::make_unique<LessonFlow>(settings,
                                         LessonFlow::Ports{*this, link_, store, *this, *this});
    course_.SetNotifier(&notifier_);
}

HeadlessLesson::~HeadlessLesson() {
    course_.SetNotifier(nullptr);
}

void HeadlessLesson::SetEvaluationObserver(std::function<void(const Evaluation&)> observer) {
    flow_->SetEvaluationObserver([this, observer = std::move(observer)](const Evaluation& e) {
        if (!observer) return;
        if (e.kind != kPracticalStep) return observer(e);
        Evaluation named = e;
        named.expected_pick = RightPicks();
        observer(named);
    });
}

std::string HeadlessLesson::RightPicks() {
    std::string right;
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        for (const script::StageObject* o : engine_.ObjectsInOrder(kind)) {
            if (o->menu.empty()) continue;
            const std::string& first = o->menu.front().caption;
            text::MessageFile file;
            std::string path;
            if (!OpenSubStepFile(settings_, SubStepName(first), file, path)) continue;
            for (int line : RightSubStepLines(SubStepLines(file))) {
                for (int i = 0; i < static_cast<int>(o->menu.size()); ++i) {
                    if (o->menu[i].caption == "-" || script::MenuTag(o->menu, i) != line) continue;
                    right += (right.empty() ? "" : " or ") + MenuItemName(first) + ": " +
                             o->menu[i].caption;
                }
            }
        }
    }
    return right;
}

void HeadlessLesson::ErrorBox(const std::string& text) {
    errors_.push_back(text);
    if (notice_) notice_(text);
}

void HeadlessLesson::SetAnswers(std::vector<std::string> answers, bool automatic) {
    answers_.assign(answers.begin(), answers.end());
    automatic_ = automatic;
}

int HeadlessLesson::Ask(const std::string& text, const std::string& caption, int icon, int buttons,
                        bool quiet) {
    // A quiet box is a wrong pick's verdict, not a fault.
    if (icon == windows::kIconError && !quiet) ErrorBox(caption + ": " + text);
    return buttons == windows::kButtonsYesNo ? windows::kResultYes : windows::kResultOk;
}

void HeadlessLesson::ShowSystemError(const std::string& text, int code) {
    ErrorBox(text + ": " + platform::SystemErrorText(code));
}

void HeadlessLesson::ShowFailure(const platform::Status& failure) {
    ErrorBox(failure.Text());
}

int HeadlessLesson::AskEstimate(const RichText&, const RichText&) {
    if (!answers_.empty()) {
        const std::string answer = answers_.front();
        answers_.pop_front();
        int value = 0;
        char rest = 0;
        if (std::sscanf(answer.c_str(), "est:%d%c", &value, &rest) == 1) return value;
        Fail(answer, "the step asks an estimate");
        return 0;
    }
    if (!automatic_) Fail("", "the step asks an estimate and no answer is left");
    return static_cast<int>(Random() % 101);
}

std::string HeadlessLesson::Where() const {
    const data::UserRecord& u = flow_->User();
    return "step " + std::to_string(u.Level) + "." + std::to_string(u.Step) + " (" +
           KindName(u.Kind) + ")";
}

bool HeadlessLesson::Fail(const std::string& answer, const std::string& why) {
    if (error_.empty()) {
        error_ = (answer.empty() ? std::string() : "answer '" + answer + "' does not fit ") +
                 Where() + ": " + why;
    }
    return false;
}

void HeadlessLesson::Deliver() {
    while (!queue_.empty() && error_.empty() && !Halted()) {
        const int message = queue_.front();
        queue_.pop_front();
        flow_->UserMessage(message);
    }
}

// Runs the step's script in simulated time until it has ended and its moves are done.
void HeadlessLesson::RunScript() {
    for (long ticks = 0; ticks < kTickBudget && engine_.TimerActive() && !Halted(); ++ticks) {
        if (engine_.Ended() && engine_.AllMovesDone()) break;
        engine_.Tick();
        now_ms_ += engine_.TimerInterval();
        Deliver();
    }
}

bool HeadlessLesson::Pick(const std::string& answer) {
    int id = 0, entry = 0;
    char rest = 0;
    if (std::sscanf(answer.c_str(), "pick:%d:%d%c", &id, &entry, &rest) != 2) {
        return Fail(answer, "a pick is written pick:ID:N");
    }
    if (!engine_.ScriptAtEnd()) return Fail(answer, "its script has not ended");
    for (int kind = 0; kind < script::kKindCount; ++kind) {
        const script::StageObject* o = engine_.Find(kind, id);
        if (!o || o->menu.empty()) continue;
        for (int i = 0; i < static_cast<int>(o->menu.size()); ++i) {
            if (o->menu[i].caption == "-" || script::MenuTag(o->menu, i) != entry) continue;
            engine_.PickMenuEntry(kind, id, i);
            return true;
        }
        return Fail(answer,
                    "object " + std::to_string(id) + " has no menu entry " + std::to_string(entry));
    }
    return Fail(answer, "no stage object " + std::to_string(id) + " with a pop-up menu");
}

bool HeadlessLesson::Answer(const std::string& answer) {
    const LessonScreen& s = flow_->Screen();
    if (answer.size() == 1 && answer[0] >= '1' && answer[0] <= '6') {
        const int j = answer[0] - '1';
        if (!s.control_panel || !s.answer_visible[j] || !s.button_enabled[j]) {
            return Fail(answer, "answer button " + answer + " is not offered");
        }
        flow_->ButtonClick(j + 1);
    } else if (answer == "next") {
        if (!s.next_enabled) return Fail(answer, "Next is not enabled");
        flow_->NextClick();
    } else if (answer == "prev") {
        if (!s.prev_enabled) return Fail(answer, "Prev is not enabled");
        flow_->PrevClick();
    } else if (answer == "exit") {
        flow_->ExitClick();
    } else if (answer == "stop") {
        flow_->StopClick();
    } else if (answer.rfind("pick:", 0) == 0) {
        return Pick(answer);
    } else if (answer.rfind("est:", 0) == 0) {
        return Fail(answer, "no estimate is asked");
    } else {
        return Fail(answer, "unknown answer");
    }
    return true;
}

bool HeadlessLesson::Run(int tag) {
    // The stage as the player's start timer leaves it: its background object made and drawn.
    engine_.Start();
    engine_.DrawBackground();
    flow_->SetUserTag(tag);
    flow_->StartSession();
    // Each round: the posted messages, the script, then one answer of the learner's.
    for (long round = 0; error_.empty() && !Halted(); ++round) {
        Deliver();
        if (!flow_->InSession() || Halted()) break;
        RunScript();
        Deliver();
        if (!flow_->InSession() || !error_.empty() || Halted()) break;
        const auto start = std::chrono::steady_clock::now();
        std::string answer = automatic_ ? "auto" : "stop";
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
            Answer(answer);
        } else if (automatic_) {
            flow_->AutoClick();
        } else {
            flow_->StopClick();
        }
        if (on_answer_) {
            on_answer_(answer, std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now() - start)
                                   .count());
        }
        if (round > 1000000) return Fail("", "the lesson does not end");
    }
    // An error box ended the run: the session stops as Stop does, keeping what was saved.
    if (Halted() && flow_->InSession()) {
        keep_going_ = true;  // the stop's own boxes are kept, and do not halt it
        flow_->StopClick();
        keep_going_ = false;
    }
    return error_.empty();
}

}  // namespace lesson
