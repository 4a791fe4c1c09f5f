#include "lesson/LessonFlow.h"

#include <algorithm>
#include <cerrno>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/LearnerFiles.h"
#include "data/LearnerLock.h"
#include "data/RemoteClient.h"
#include "data/StepTexts.h"
#include "data/UserChoice.h"
#include "lesson/ContextFiles.h"
#include "lesson/ScoreFiles.h"
#include "platform/Path.h"
#include "platform/ReplaceFile.h"
#include "text/MessageFile.h"

namespace lesson {
namespace {

// Field k of a '#'-separated setting.
std::string HashField(const std::string& value, int k) {
    size_t start = 0;
    for (int i = 0; i < k; ++i) {
        const size_t hash = value.find('#', start);
        if (hash == std::string::npos) return {};
        start = hash + 1;
    }
    return value.substr(start, value.find('#', start) - start);
}

}  // namespace

LessonFlow::LessonFlow(const LessonSettings& settings, Ports ports)
    : settings_(settings),
      ports_(ports),
      saver_(settings_, ports_.view, ports_.engine, ports_.store, screen_) {
    screen_.stop_enabled =
        settings_.Has(data::Developer) || settings_.ConfigInt(data::kEvaluate) == 0;
}

LessonFlow::~LessonFlow() = default;

int LessonFlow::EvaluateQuota() const {
    const int quota = settings_.ConfigInt(data::kEvaluate);
    return quota == 0 ? -1 : quota;
}

bool LessonFlow::StartLimitsLesson() const {
    const std::string field = HashField(settings_.Config(data::kStart), 2);
    return !field.empty() && field[0] == 'X';
}

int LessonFlow::LevelSteps(int level) const {
    return book_ && level >= 1 && level <= data::kLevelCapacity ? book_->LevelSteps[level - 1] : 0;
}

void LessonFlow::SetLevelSteps(int level, int steps) {
    if (book_ && level >= 1 && level <= data::kLevelCapacity) book_->LevelSteps[level - 1] = steps;
}

int LessonFlow::LevelState(int level) const {
    return book_ && level >= 1 && level <= data::kLevelCapacity ? book_->LevelState[level - 1] : 0;
}

void LessonFlow::SetLevelState(int level, int state) {
    if (book_ && level >= 1 && level <= data::kLevelCapacity) book_->LevelState[level - 1] = state;
}

int32_t* LessonFlow::StepEntry(data::ScoreBook::StepArray& array) {
    const int index = StepIndex();
    if (index < 0 || index >= data::kStepCapacity) {
        scratch_ = 0;
        return &scratch_;
    }
    return &array[index];
}

int LessonFlow::StepScoreOf(int step) const {
    const int index = user_.StepsBefore + step - 1;
    if (!book_ || index < 0 || index >= data::kStepCapacity) return -1;
    return book_->StepScore[index];
}

void LessonFlow::Publish() {
    ports_.view.Show(screen_);
}

int LessonFlow::Ask(int text, const std::string& caption, int icon, int buttons) {
    Publish();
    return ports_.view.Ask(settings_.Common(text), caption, icon, buttons);
}

void LessonFlow::ShowStanding(const std::string& text) {
    screen_.status_simple = false;
    screen_.standing = {group_.name,     user_.UserName,          user_.Level,
                        user_.Step,      LevelSteps(user_.Level), user_.Total,
                        user_.TotalWorth};
    screen_.standing_text = text;
}

void LessonFlow::TimerTick() {
    if (auto_click_timer_) {
        AutoClick();
    } else {
        CommencerClick();
    }
}

void LessonFlow::CommencerClick() {
    if (screen_.timer_enabled) screen_.timer_enabled = false;
    // The learner given on the command line stands for the list's first choice only: after
    // that session the list comes back, and the learners chosen there save their progress.
    if (settings_.Has(data::PresetSession)) {
        if (!preset_applied_) {
            user_tag_ = data::UserTag(settings_.Flags().group, settings_.Flags().user);
            preset_applied_ = true;
        } else {
            settings_.course->Flags().Clear(data::PresetSession);
        }
    }
    if (settings_.Has(data::AutoPlay)) {
        screen_.timer_interval_ms = settings_.Flags().auto_delay * 1000;
        auto_click_timer_ = true;
    }
    screen_.window_visible = true;
    screen_.control_panel = false;
    screen_.info_visible = false;
    screen_.status_simple = true;
    screen_.status_text.clear();
    ports_.engine.Start();
    ports_.engine.DrawBackground();
    Publish();
    if (settings_.Has(data::AutoPlay) && !settings_.Has(data::PresetSession) &&
        !settings_.Has(data::StepContext) && user_tag_ != -1) {
        ports_.view.PostMessage(kMsgUserChosen);
    } else {
        ports_.view.ShowUserList();
    }
}

void LessonFlow::UserMessage(int message) {
    switch (message) {
        case kMsgPick:
            OnPick();
            break;
        case kMsgScriptDone:
            OnScriptDone();
            break;
        case kMsgUserChosen:
            StartSession();
            break;
        default:
            break;
    }
}

void LessonFlow::StartSession() {
    if (user_tag_ < 0) return;
    const int group = data::UserTagGroup(user_tag_);
    const int user = data::UserTagUser(user_tag_);
    failure_.clear();
    data::GroupRecord group_record = data::GroupTemplate();
    if (!ports_.store.ReadGroup(group, group_record)) group_record.group_no = group;
    data::UserRecord user_record;
    // Without the learner's record there is nothing to run or save: back to the list. The
    // users file is named from the course, which knows it even when the store could not open it.
    if (const platform::Status read = ports_.store.ReadUser(group, user, user_record); !read) {
        if (read.code() == data::kNotFound) {
            failure_ = settings_.course->UsersFile() + ": no user " + std::to_string(user) +
                       " in group " + std::to_string(group);
            ports_.view.ShowSystemError(settings_.course->UsersFile(),
                                        platform::kErrorFileNotFound);
        } else {
            failure_ = read.Text();
            ports_.view.ShowFailure(read);
        }
        user_tag_ = -1;
        CommencerClick();
        return;
    }
    // A record with values no session writes is damaged: it is reported and left as it is.
    if (const std::string damage = RecordDamage(user_record); !damage.empty()) {
        RefuseSession(data::kTextRecordDamaged, damage, platform::kErrorInvalidData,
                      "the learner's record is damaged: " + damage);
        return;
    }
    // A lesson that cannot be opened leaves the learner's record as it was.
    std::string missing;
    if (!LessonOpens(user_record, missing)) {
        RefuseSession(data::kTextLessonCannotOpen, missing, platform::kErrorFileNotFound,
                      "the lesson cannot be opened: " + missing);
        return;
    }
    // One session per learner: on this computer, then on the server.
    if (settings_.SavesProgress()) {
        const platform::Status held = ports_.store.HoldLearner(group, user);
        if (held.code() == data::kLearnerBusy) {
            RefuseSession(data::kTextLearnerBusy, user_record.UserName, EBUSY,
                          user_record.UserName + " is already in a session");
            return;
        }
        // A folder where no lock can be made (read-only media) cannot be saved to either; a
        // lock that cannot be taken otherwise (a FIFO or a link in its place) stops the session.
        if (!held) settings_.Trace(">hold> %s", held.Text().c_str());
        if (!held && held.code() != data::kLearnerFolderReadOnly) {
            failure_ = "the learner cannot be held: " + held.Text();
            ports_.store.ReleaseLearner();
            ShowReport({}, settings_.AppName(), held.Text(), held.code(), windows::kIconError);
            user_tag_ = -1;
            CommencerClick();
            return;
        }
    }
    data::UserRecord server_record;
    bool server_behind = false;
    if (ports_.store.HasRemote()) {
        const platform::Status opened =
            ports_.store.OpenRemote(settings_.AppName(), group_record, user_record, server_record);
        if (opened.code() == data::kLearnerBusy) {
            RefuseSession(data::kTextLearnerBusy, user_record.UserName, EBUSY,
                          user_record.UserName + " is in a session on another workstation");
            return;
        }
        if (!opened) {
            // A server that cannot be reached is named with its address; a refusal of the
            // server's file with the file and the engine's error.
            const bool unreachable = opened.code() == ENOTCONN;
            const std::string& address = settings_.Config(data::kIPserv);
            const int port = settings_.ConfigInt(data::kIPport);
            // The server's file is named as a path of its data folder, with the cause in words
            // (the course has no text for it).
            const std::string refused =
                "The data server " + address + " (port " + std::to_string(port) + ") cannot open " +
                platform::PathsForPeople(opened.what()) + ": " + opened.Cause();
            failure_ =
                unreachable ? address + ":" + std::to_string(port) + ": not reachable" : refused;
            ports_.store.ReleaseLearner();
            ShowReport(unreachable ? settings_.Common(data::kTextServerUnreachable, address, port)
                                   : refused,
                       settings_.AppName(), opened.what(), opened.code(), windows::kIconError);
            user_tag_ = -1;
            CommencerClick();
            return;
        }
        // Progress made here while the server was away goes to it now.
        server_behind = user_record.StepStart > server_record.StepStart;
    }
    group_ = group_record;
    user_ = user_record;
    saver_.Begin(user_, server_behind);
    user_.Series = 3;
    user_.Retries = 0;
    book_ = std::make_unique<data::ScoreBook>();
    lesson_ended_ = false;
    // A learner who never began starts afresh like one who finished, so that the evaluation
    // quota holds from the first lesson on.
    if (user_.State == data::kStateFinished || user_.State == data::kStateNotStarted) {
        user_.State = data::kStateNotStarted;
        user_.Level = 1;
        user_.Step = 0;
        user_.StepCount = 0;
        user_.StepsBefore = 0;
        user_.Total = 0;
        user_.TotalWorth = 0;
        user_.AskLeft = EvaluateQuota();
        book_->LevelSteps[0] = 0;
        book_->LevelState[0] = 0;
    }
    saver_.OpenHistory(user_, user_.State != data::kStateNotStarted);
    screen_.config_menu = user_.MayConfigure != 0;
    ports_.engine.SetBackgroundSize(ports_.view.StageWidth(), ports_.view.StageHeight(), 0xFFFFFF);
    if (user_.State != data::kStateNotStarted) {
        Publish();
        RestoreScores(settings_, ports_.view, *book_,
                      {ports_.store.UsersFolder(), user_.UserNo, user_.GroupNo, user_.StepCount});
    } else {
        if (!settings_.Has(data::AutoPlay)) {
            Ask(data::kTextNewLearner, settings_.Common(data::kTextNewLearnerCaption),
                windows::kIconInformation, windows::kButtonOk);
        }
        user_.State = data::kStateBegun;
    }
    InitLevels();
    RestoreContext(settings_, ports_.view, ports_.engine,
                   {user_.UserNo, user_.GroupNo, user_.Level, user_.Step});
    NextStep();
}

// What is out of range in a user record, in words; empty for a sound record. Only the values
// a session goes on from are checked: a learner who finished or never began starts afresh.
std::string LessonFlow::RecordDamage(const data::UserRecord& u) {
    auto field = [](const char* name, int32_t value) {
        return std::string(name) + " " + std::to_string(value);
    };
    if (u.State != data::kStateFinished && u.State != data::kStateNotStarted &&
        u.State != data::kStateBegun)
        return field("State", u.State);
    if (u.Total < 0) return field("Total", u.Total);
    if (u.TotalWorth < 0) return field("TotalWorth", u.TotalWorth);
    if (u.State != data::kStateBegun) return {};
    if (u.Level < 1 || u.Level > data::kLevelCapacity) return field("Level", u.Level);
    if (u.Step < 0 || u.Step >= data::kStepCapacity) return field("Step", u.Step);
    if (u.StepCount < 0 || u.StepCount >= data::kStepCapacity)
        return field("StepCount", u.StepCount);
    if (u.StepsBefore < 0 || u.StepsBefore >= data::kStepCapacity)
        return field("StepsBefore", u.StepsBefore);
    return {};
}

// The level the session will show first (the start level of Start= for a learner starting
// there, else the learner's level) must have a step file that opens.
bool LessonFlow::LessonOpens(const data::UserRecord& user, std::string& path) const {
    const int start = data::LeadingInt(HashField(settings_.Config(data::kStart), 0));
    const bool afresh = user.State == data::kStateFinished || user.State == data::kStateNotStarted;
    const int level = start != user.FirstLevel ? start : afresh ? 1 : user.Level;
    text::MessageFile file;
    if (OpenStepFile(level, file, &path) && level >= 1 && file.RecordCount() >= 4) return true;
    if (path.empty()) path = "STEP" + std::to_string(level);
    return false;
}

// Tells why the chosen learner's session does not start (the course's text, or the system's
// error box where the course has none) and goes back to the user list.
void LessonFlow::RefuseSession(int text, const std::string& argument, int code,
                               const std::string& reason) {
    failure_ = reason;
    ports_.store.ReleaseLearner();
    Report(text, argument, code);
    user_tag_ = -1;
    CommencerClick();
}

void LessonFlow::Report(int text, const std::string& argument, int code) {
    ShowReport(settings_.Common(text, argument), settings_.Common(data::kTextFileError), argument,
               code, windows::kIconError);
}

// The course's message in its box; where the course has no such text, the system's error box
// with the subject and the error code.
void LessonFlow::ShowReport(const std::string& message, const std::string& caption,
                            const std::string& subject, int code, int icon) {
    if (message.empty()) {
        ports_.view.ShowSystemError(subject, code);
    } else {
        Publish();
        ports_.view.Ask(message, caption, icon, windows::kButtonOk);
    }
}

void LessonFlow::InitLevels() {
    const int start = data::LeadingInt(HashField(settings_.Config(data::kStart), 0));
    text::MessageFile file;
    std::string path;
    if (start == user_.FirstLevel) {
        user_.StepCount = 0;
        for (int i = 1; i <= user_.MaxLevel && i <= 1; ++i) {
            if (OpenStepFile(i, file, &path)) {
                SetLevelSteps(i, file.RecordCount() / 4);
                user_.StepCount += LevelSteps(i);
            } else {
                ports_.view.ShowSystemError(path, platform::kErrorFileNotFound);
            }
        }
        return;
    }
    user_.FirstLevel = user_.Level = start;
    user_.Step = 0;
    user_.StepsBefore = 0;
    user_.State = data::kStateBegun;
    user_.Series = 3;
    choice_steps_.clear();
    for (int i = 1; i <= start && i <= 1; ++i) {
        const bool open = OpenStepFile(i, file, &path);
        if (!open && settings_.Has(data::Developer)) {
            ports_.view.ShowSystemError(path, platform::kErrorFileNotFound);
        }
        SetLevelSteps(i, open ? file.RecordCount() / 4 : 0);
        if (i < start) {
            for (int s = 1; s <= LevelSteps(i); ++s) {
                const std::string& answers =
                    file.RawText(data::StepTextNumber(s, data::StepText::kAnswers));
                choice_steps_.push_back(answers.empty() || answers[0] == '\n');
            }
            user_.StepsBefore += LevelSteps(i);
        }
    }
    const bool limited = StartLimitsLesson();
    const int c = limited ? LevelSteps(start) : user_.StepCount - user_.StepsBefore;
    if (c > 0 && user_.StepsBefore + c <= data::kStepCapacity) {
        book_->ClearSteps(user_.StepsBefore, c);
    }
    if (user_.Level < 2) {
        user_.StepCount = LevelSteps(user_.Level);
    } else if (limited && user_.StepsBefore < user_.StepCount) {
        user_.StepCount -= c;
    } else {
        user_.StepCount = user_.StepsBefore;
    }
    const ContextSite site{user_.UserNo, user_.GroupNo, user_.Level, 0};
    if (user_.Level > 1 && !platform::FileExists(StepContextFile(settings_, site))) {
        user_.Level -= 1;
        user_.Step = LevelSteps(user_.Level);
        user_.StepsBefore -= user_.Step;
        while (user_.Step >= 2 && !IsChoiceStep(user_.Step)) --user_.Step;
        if (!IsChoiceStep(user_.Step)) --user_.Step;
    }
}

bool LessonFlow::IsChoiceStep(int step) const {
    return step >= 1 && step <= static_cast<int>(choice_steps_.size()) && choice_steps_[step - 1];
}

// The order that lets a kill between two writes lose at most the event in progress.
void LessonFlow::SaveProgress(bool with_context, const HistoryLine& line) {
    saver_.Tell(saver_.Save(user_, *book_, with_context, line));
}

void LessonFlow::StopClick() {
    StopSession();
}

void LessonFlow::StopSession() {
    ports_.view.CloseDocumentWindow();
    if (Ask(data::kTextStopAsk, settings_.QuitCaption(), windows::kIconQuestion,
            windows::kButtonsYesNo) != windows::kResultYes)
        return;
    ports_.sounds.PlayNumber(kSoundStop, false);
    if (StepInProgress()) {
        AddCapped(*StepEntry(book_->StepTime), ports_.clock.Now() - user_.StepStart);
        StepBack(1, false);
        SaveProgress(false);
    }
    const bool had_session = book_ != nullptr;
    book_.reset();
    user_tag_ = -1;
    if (had_session) EndSession();
    screen_.config_menu = false;
    CommencerClick();
}

// The session is over: the server gets the learner's files, announced in the status bar, and
// the learner is free again.
void LessonFlow::EndSession() {
    saver_.End(user_, [this](const std::string& note) {
        screen_.status_note = note;
        ports_.view.ShowStatusNote(note);
    });
    ports_.store.ReleaseLearner();
}

bool LessonFlow::CloseRequest() {
    if (Ask(data::kTextQuitAsk, settings_.QuitCaption(), windows::kIconQuestion,
            windows::kButtonsYesNo) != windows::kResultYes) {
        return false;
    }
    if (user_tag_ != -1 && StepInProgress()) {
        AddCapped(*StepEntry(book_->StepTime), ports_.clock.Now() - user_.StepStart);
        StepBack(1, false);
        SaveProgress(false);
    }
    const bool had_session = book_ != nullptr;
    book_.reset();
    if (had_session) {
        saver_.Close();
        ports_.store.ReleaseLearner();
    }
    ports_.view.CloseDocumentWindow();
    ports_.sounds.PlayNamed(settings_.Common(data::kTextSoundClose));
    return true;
}

void LessonFlow::KeyPress(int key) {
    if (!ports_.engine.ScriptAtEnd()) return;
    if (key == kKeyEnter || key == kKeySpace) return;
    if (key == kKeyEscape) {
        if (screen_.stop_enabled && (ports_.view.StopShown() || screen_.side_panel)) {
            StopClick();
        } else {
            ports_.view.CloseWindow();
        }
        return;
    }
    if (key >= '1' && key <= '6') {
        const int j = key - '1';
        if (screen_.answer_visible[j] && screen_.button_enabled[j]) ButtonClick(j + 1);
    }
}

void LessonFlow::OptionsAccepted() {
    if (!book_) return;
    StepBack(screen_.next_enabled && screen_.answer_visible[0] ? 0 : 1, true);
}

}  // namespace lesson
