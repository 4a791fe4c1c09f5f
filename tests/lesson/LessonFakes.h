// A lesson flow on a small course folder, with fakes for the window, the engine, the learner
// records, the sounds and the clock. Every fake writes to one journal, so tests can check the
// order of events.
#pragma once

#include <cerrno>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "data/LearnerFiles.h"
#include "data/LearnerLock.h"
#include "data/ScoreFile.h"
#include "lesson/LessonFlow.h"
#include "platform/Path.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"

namespace lesson_test {

using Journal = std::vector<std::string>;

struct Box {
    std::string text, caption;
    int icon = 0, buttons = 0;
    bool quiet = false;
};

class FakeView : public lesson::LessonView {
  public:
    explicit FakeView(Journal& journal) : journal_(journal) {}
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
            bool quiet) override {
        boxes.push_back({text, caption, icon, buttons, quiet});
        journal_.push_back("box " + text);
        if (buttons == windows::kButtonsYesNo) {
            if (yes_no.empty()) return windows::kResultYes;
            const int answer = yes_no.front();
            yes_no.pop_front();
            return answer;
        }
        return windows::kResultOk;
    }
    void ShowSystemError(const std::string& text, int code) override {
        errors.push_back(text + " #" + std::to_string(code));
        journal_.push_back("error " + text);
    }
    void ShowFailure(const platform::Status& failure) override {
        ShowSystemError(failure.what(), failure.code());
    }
    void ShowStatusNote(const std::string& text) override { notes.push_back(text); }
    void Show(const lesson::LessonScreen& s) override { screen = s; }
    bool StopShown() const override { return stop_shown; }
    int AskEstimate(const lesson::RichText& title, const lesson::RichText&) override {
        journal_.push_back("estimate " + title.text);
        const int position = estimates.empty() ? 0 : estimates.front();
        if (!estimates.empty()) estimates.pop_front();
        return position;
    }
    void ShowAnswer(const lesson::AnswerWindow& w) override {
        comments.push_back(w.comment.text + " (" + w.verdict + ")");
        answer_windows.push_back(w);
    }
    void ShowUserList() override {
        ++user_lists;
        journal_.push_back("user list");
    }
    void PostMessage(int message) override { posted.push_back(message); }
    void CloseDocumentWindow() override { ++documents_closed; }
    void CloseWindow() override { journal_.push_back("close window"); }
    int StageWidth() const override { return 759; }
    int StageHeight() const override { return 520; }

    lesson::LessonScreen screen;
    std::vector<Box> boxes;
    std::vector<lesson::AnswerWindow> answer_windows;
    std::vector<std::string> errors, notes, comments;
    std::deque<int> yes_no, estimates;
    std::deque<int> posted;
    int user_lists = 0;
    int documents_closed = 0;
    bool stop_shown = true;

  private:
    Journal& journal_;
};

class FakeEngine : public lesson::LessonEngine {
  public:
    explicit FakeEngine(Journal& journal) : journal_(journal) {}
    void Start() override {
        ++starts;
        tries = 0;
    }
    void DrawBackground() override {}
    void SetBackgroundSize(int, int, int32_t) override {}
    void OpenScript(const std::string& name) override {
        scripts.push_back(name);
        if (scripts_run) at_end = false;
        journal_.push_back("script " + name);
    }
    bool ScriptAtEnd() const override { return at_end; }
    bool SaveObjects(const std::string& path) override {
        journal_.push_back("save context " + std::filesystem::path(path).filename().string());
        if (context_fails) {
            errno = ENOSPC;
            return false;
        }
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path) << "stage";
        return true;
    }
    bool RestoreObjects(const std::string& path) override {
        const bool found = std::filesystem::exists(path);
        journal_.push_back(std::string(found ? "restored " : "no context ") +
                           std::filesystem::path(path).filename().string());
        return found;
    }
    int TryCount() const override { return tries; }
    std::vector<lesson::PendingPick> PendingPicks() const override { return picks; }
    void ClearPick(int kind, int id) override {
        std::erase_if(picks,
                      [&](const lesson::PendingPick& p) { return p.kind == kind && p.id == id; });
    }

    bool at_end = true;
    bool scripts_run = false;    // an opened script runs until the test ends it (at_end)
    bool context_fails = false;  // the stage cannot be saved (no space left)
    int starts = 0;
    int tries = 0;
    std::vector<std::string> scripts;
    std::vector<lesson::PendingPick> picks;

  private:
    Journal& journal_;
};

class FakeStore : public lesson::LearnerStore {
  public:
    FakeStore(Journal& journal, std::string folder)
        : folder_(std::move(folder)), journal_(journal) {
        data::UserRecord u = data::UserTemplate();
        u.UserNo = 1;
        u.GroupNo = 1;
        u.UserName = "Ada";
        users[{1, 1}] = u;
        group.name = "Class A";
    }
    bool ReadGroup(int g, data::GroupRecord& record) override {
        record = group;
        record.group_no = g;
        return true;
    }
    platform::Status ReadUser(int g, int u, data::UserRecord& record) override {
        if (!users_unreadable.ok()) return users_unreadable;
        auto it = users.find({g, u});
        if (it == users.end()) return {data::kNotFound, "USERS", "no such learner"};
        record = it->second;
        return {};
    }
    lesson::RecordSave RewriteUser(const data::UserRecord& record) override {
        lesson::RecordSave save;
        if (remote && !server_up) save.server = platform::Status(ENOTCONN, "?:\\USERS");
        if (remote && server_up) server_users[{record.GroupNo, record.UserNo}] = record;
        auto it = users.find({record.GroupNo, record.UserNo});
        if (it == users.end() || read_only) {
            save.local = platform::Status(EACCES, "USERS", "cannot write");
            return save;
        }
        it->second = record;
        ++rewrites;
        journal_.push_back("rewrite user");
        return save;
    }
    platform::Status HoldLearner(int group, int user) override {
        if (held_elsewhere.count({group, user})) return {data::kLearnerBusy, "SESSION.LCK"};
        journal_.push_back("hold " + std::to_string(group) + ":" + std::to_string(user));
        return {};
    }
    void ReleaseLearner() override { journal_.push_back("release"); }
    bool HasRemote() const override { return remote; }
    platform::Status OpenRemote(const std::string& app_name, const data::GroupRecord&,
                                const data::UserRecord& user,
                                data::UserRecord& server_record) override {
        signed_on_as.push_back(app_name);
        if (!server_up) return {ENOTCONN, "?:\\DATA\\USERS", "the data server does not answer"};
        if (!server_refusal.ok()) return server_refusal;
        auto it = server_users.find({user.GroupNo, user.UserNo});
        server_record = it == server_users.end() ? user : it->second;
        return {};
    }
    bool SendFile(const std::string& local, const std::string& remote_name) override {
        if (!server_up) return false;
        sent.push_back(std::filesystem::path(local).filename().string() + " as " + remote_name);
        return true;
    }
    // A store whose server part runs later: Settle says whether the server took it all.
    bool Deferred() const override { return deferred; }
    bool Settle(bool wait) override {
        if (wait) ++settle_waits;
        return !deferred || settles;
    }
    std::string UsersFolder() const override { return folder_; }
    std::string GroupsFolder() const override { return folder_; }

    std::map<std::pair<int, int>, data::UserRecord> users;
    data::GroupRecord group = data::GroupTemplate();
    int rewrites = 0;
    bool remote = false;
    bool server_up = true;              // the server takes requests
    bool deferred = false;              // the server's part follows off the window's thread
    bool settles = true;                // deferred: the server took what it was handed
    int settle_waits = 0;               // waits for the server (Stop, the lesson's end)
    bool read_only = false;             // the local record cannot be written
    platform::Status users_unreadable;  // why the users file cannot be read, if it cannot
    std::set<std::pair<int, int>> held_elsewhere;
    std::map<std::pair<int, int>, data::UserRecord> server_users;
    std::vector<std::string> sent;
    std::vector<std::string> signed_on_as;  // the application names given at sign-on
    platform::Status server_refusal;        // why the server refuses its users file, if it does

  private:
    std::string folder_;
    Journal& journal_;
};

class FakeServices : public lesson::LessonSounds, public lesson::LessonClock {
  public:
    void PlayNumber(int number, bool wait) override {
        sounds.push_back(std::to_string(number) + (wait ? " wait" : ""));
    }
    void PlayNamed(const std::string& name) override { sounds.push_back(name); }
    int64_t Now() override { return now; }
    uint32_t Random() override {
        if (randoms.empty()) return 0;
        const uint32_t r = randoms.front();
        randoms.pop_front();
        return r;
    }

    std::vector<std::string> sounds;
    int64_t now = 1000;
    std::deque<uint32_t> randoms;
};

// The four texts of one step.
struct Step {
    std::string question;
    std::string answers;   // "" or "\nA\nB": a choice step; "task": practical or estimate
    std::string comments;  // "placement\n## after 1\n## after 2"
    std::string params;
};

// "K[0:0] BR<e>:<tol> TRY<limit>:<penalty> PT<pts> LDE<script> F<f> P0:[-]"
inline std::string Params(int expected, int points, const std::string& script = "S",
                          int tolerance = 0, int limit = 0, int penalty = 0, int f = 7) {
    return "K[1A:2B] BR" + std::to_string(expected) + ":" + std::to_string(tolerance) + " TRY" +
           std::to_string(limit) + ":" + std::to_string(penalty) + " PT" + std::to_string(points) +
           " LDE" + script + " F" + std::to_string(f) + " P0:[-]";
}

inline Step Choice(int expected, int points) {
    return {"Question", "\nOne\nTwo\nThree", "Y120\n## first is wrong\n## second\n## third",
            Params(expected, points)};
}

class LessonTest : public ::testing::Test {
  protected:
    static constexpr int32_t kSeed = 1957;

    LessonTest()
        : view_(journal_),
          engine_(journal_),
          store_(journal_, (dir_.path / "DATA" / "DEMO" / "GB").string()) {
        WriteCommon();
        EXPECT_TRUE(course_.Common().Open((dir_.path / "MSG" / "GB" / "COMMON.MSG").string()));
        config_.Set(data::kLanguage, "GB");
        config_.Set(data::kDirectory, "D1");
        config_.Set(data::kUnit, "SI");
        config_.Set(data::kStart, "1#1#");
        config_.Set(data::kEvaluate, "0");
        course_.Product().data_dir = "DATA";
        course_.SetCommonSeed(kSeed);
        settings_.course = &course_;
    }

    void WriteCommon() {
        std::map<int, std::pair<std::string, std::string>> texts = {
            {4, {"Welcome", ""}},
            {6, {"GOODBYE", ""}},
            {29, {"&Qu\xEFt", ""}},  // the course's code page, not UTF-8
            {30, {"Exit", ""}},
            {32, {"Close?", ""}},
            {33, {"Stop?", ""}},
            {34, {"Leave the step?", ""}},
            {59, {"Bad line: %1 values in %2: %3", "%d %d %s"}},
            {60, {"End", ""}},
            {61, {"Lesson over", ""}},
            {62, {"New", ""}},
            {65, {"Estimate", ""}},
            {68, {"Right: %1 points", "%d"}},
            {69, {"Answer %1 is wrong", "%d"}},
            {71, {"Right", ""}},
            {72, {"Wrong", ""}},
            {76, {"File error", ""}},
            {78, {"Cannot %1 %2", "%s %s"}},
            {79, {"Missing %1", "%s"}},
            {80, {"Context: %1", "%s"}},
            {81, {"Server %1 port %2 unreachable", "%s %d"}},
            {83, {"Sending %1", "%s"}},
            {101, {"SI", ""}},
            {116, {"Cannot open %1", "%s"}},
            {117, {"Damaged (%1), kept as %2", "%s %s"}},
            {118, {"Record not saved: %1", "%s"}},
            {119, {"%1 is busy", "%s"}},
            {120, {"Server %1:%2 behind", "%s %d"}},
            {122, {"Damaged record (%1)", "%s"}},
            {124, {"History not written: %1", "%s"}},
            {125, {"%1 points left, %2 tries", "%d %d"}},
        };
        text::MessageContent c;
        c.texts.resize(static_cast<size_t>(texts.rbegin()->first) + 1);
        c.formats.resize(c.texts.size());
        for (const auto& [n, t] : texts) {
            c.texts[n] = t.first;
            c.formats[n] = t.second;
        }
        (void)dir_.Write("MSG/GB/COMMON.MSG", text::EncodeMessageFile(c));
    }

    void WriteSteps(int level, const std::vector<Step>& steps) {
        text::MessageContent c;
        c.seed = kSeed;
        c.modulus = kSeed;
        for (const Step& s : steps) {
            c.texts.insert(c.texts.end(), {s.question, s.answers, s.comments, s.params});
        }
        char name[32];
        std::snprintf(name, sizeof name, "MSG/GB/D1STEP%02d.MSG", level);
        (void)dir_.Write(name, text::EncodeMessageFile(c));
    }

    // Sub-step file <D1><name>.MSG: text 2 the lines, text 3 the question.
    void WriteSubStep(const std::string& name, const std::string& lines,
                      const std::string& question) {
        text::MessageContent c;
        c.seed = kSeed;
        c.texts = {name + ":item", "Hint\n" + lines, lines, question};
        (void)dir_.Write("MSG/GB/D1" + name + ".MSG", text::EncodeMessageFile(c));
    }

    lesson::LessonFlow& Flow() {
        if (!flow_) {
            flow_ = std::make_unique<lesson::LessonFlow>(
                settings_, lesson::LessonFlow::Ports{view_, engine_, store_, services_, services_});
        }
        return *flow_;
    }
    // A new process: a fresh flow over the same files and records.
    void Restart() {
        flow_.reset();
        engine_.picks.clear();
        engine_.tries = 0;
    }

    // Delivers the posted messages, as the window's event loop would.
    void Pump() {
        for (int guard = 0; guard < 100 && !view_.posted.empty(); ++guard) {
            const int m = view_.posted.front();
            view_.posted.pop_front();
            Flow().UserMessage(m);
        }
    }
    void Begin(int tag = (1 << 8) + 1) {
        Flow().SetUserTag(tag);
        Flow().StartSession();
        Pump();
    }
    // The learner picks menu entry value of a stage object tagged with sub-step name.
    void Pick(const std::string& name, int value, int tries = -1) {
        engine_.tries = tries >= 0 ? tries : engine_.tries + 1;
        engine_.picks.push_back({2, 6, value, name + ":item", ""});
        Flow().UserMessage(lesson::kMsgPick);
        Pump();
    }
    const data::UserRecord& User() { return store_.users[{1, 1}]; }
    // Learner 1:1 as a session left them: begun, at step of a lesson of step_count steps.
    data::UserRecord& Begun(int step, int step_count) {
        data::UserRecord& u = store_.users[{1, 1}];
        u.State = data::kStateBegun;
        u.Step = step;
        u.StepCount = step_count;
        return u;
    }
    // The step's script ends and the learner answers.
    void Answer(int answer) {
        Flow().UserMessage(lesson::kMsgScriptDone);
        Flow().ButtonClick(answer);
    }
    // How many boxes the flow showed whose text begins with prefix.
    int BoxesStartingWith(const std::string& prefix) const {
        int n = 0;
        for (const Box& box : view_.boxes) n += box.text.rfind(prefix, 0) == 0;
        return n;
    }
    std::string History() {
        return support::TempFolder::Read(
            (dir_.path / "DATA" / "DEMO" / "GB" / "HST001.001").string());
    }
    data::ScoreBook ScoreFile(int n) {
        data::ScoreBook book;
        EXPECT_TRUE(data::ReadScoreFile(
                        (dir_.path / "DATA" / "DEMO" / "GB" / "SCO001.001").string(), n, book)
                        .ok());
        return book;
    }
    bool Journaled(const std::string& entry) const {
        return std::find(journal_.begin(), journal_.end(), entry) != journal_.end();
    }

    support::TempFolder dir_;
    Journal journal_;
    data::Course course_{(dir_.path / "PLAYER").string()};
    data::ConfigTable& config_ = course_.Config();
    data::OptionFlags& flags_ = course_.Flags();
    lesson::LessonSettings settings_;
    FakeView view_;
    FakeEngine engine_;
    FakeStore store_;
    FakeServices services_;
    std::unique_ptr<lesson::LessonFlow> flow_;
};

}  // namespace lesson_test
