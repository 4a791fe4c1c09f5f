// Runs the lesson's scripts as the player does, on a headless stage in each language and unit
// system: every step's script on the stage the steps before it left, then every script the
// menus of that stage can start (their own or the level matrix's). An error box, a script that
// does not end, or a sound that is missing is a finding.
#include <QApplication>
#include <QImage>
#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "data/OpenCourse.h"
#include "lesson/LevelTable.h"
#include "lesson/StepParameters.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"
#include "text/MessageFile.h"
#include "windows/WinBoxLayout.h"

namespace check {

namespace {

constexpr int kTickLimit = 5000;
constexpr int kStageWidth = 1008;
constexpr int kStageHeight = 749;

class Runner {
  public:
    Runner(CheckContext& c, const std::string& lang, const std::string& unit)
        : c_(c), variant_(lang + " " + unit), course_(c.Program()) {
        data::CourseOptions options;
        options.language = lang;
        options.overrides = {"Unit=" + unit};
        options.answers_drive = true;
        opened_ = static_cast<bool>(data::OpenCourse(course_, options));
        course_.SetTitle(course_.Product().app_name);
        course_.SeedRandom(1);
    }
    bool Opened() const { return opened_; }

    void StartLevel(int level) {
        level_ = level;
        engine_ = std::make_unique<script::ScriptEngine>(course_, &host_);
        engine_->SetClock([this] { return now_; });
        picture_ = QImage(kStageWidth, kStageHeight, QImage::Format_RGB32);
        picture_.fill(Qt::white);
        stage_.resize(picture_.size());
        engine_->Bind(&stage_, nullptr, &picture_);
        engine_->Start();
        matrix_.clear();
        if (c_.Readable(c_.LevelTable(level), kSettingsCap))
            lesson::ReadLevelTable(c_.Native(c_.LevelTable(level)), matrix_);
    }

    void Run(const std::string& name, const std::string& started_by) {
        const std::string path = c_.ScriptPath(name);
        if (name == "-" || name.ends_with("-") || !c_.Exists(path)) return;  // reported already
        const size_t questions = host_.questions.size();
        const size_t events = host_.events.size();
        engine_->OpenScript(name, -1);
        int ticks = 0;
        for (; !engine_->Ended() && ticks < kTickLimit; ++ticks) {
            engine_->Tick();
            now_ += engine_->TimerInterval();
        }
        if (!engine_->Ended())
            c_.Error(path, "run-hang",
                     variant_ + ", " + started_by + ": still running after " +
                         std::to_string(kTickLimit) + " ticks");
        for (size_t i = questions; i < host_.questions.size(); ++i) {
            const script::Question& q = host_.questions[i];
            if (q.icon == windows::kIconError)
                c_.Error(path, "run-error", variant_ + ", " + started_by + ": " + q.text);
        }
        for (size_t i = events; i < host_.events.size(); ++i) {
            const std::string& e = host_.events[i];
            if (e.rfind("sound ", 0) != 0) continue;
            const std::string sound = e.substr(6, e.rfind(' ') - 6);
            if (!sound.empty() && !c_.Exists("SND\\" + sound + ".WAV"))
                c_.Error(path, "run-sound",
                         variant_ + ", " + started_by + ": plays SND\\" + sound +
                             ".WAV, which is missing");
        }
    }

    // Every script the menus on the stage can start after step.
    void RunMenus(const CheckContext::Step& step) {
        std::vector<std::pair<std::string, std::string>> tagged;  // tag, item
        for (const script::StageObject* o : engine_->ObjectsInOrder(script::kBmp)) {
            if (o->rec.tag.empty() || o->menu.empty()) continue;
            tagged.emplace_back(o->rec.tag, lesson::MenuItemName(o->menu[0].caption));
        }
        for (const auto& [tag, item] : tagged) {
            text::MessageFile sub;
            course_.Prepare(sub);
            if (!sub.Open(course_.SubStepMessage(tag))) continue;  // reported by the menu check
            sub.SetSeed(course_.CommonSeed());
            const std::vector<std::string> lines = SplitText(sub.GetText(2), "\n");
            for (size_t j = 1; j < lines.size(); ++j) {
                std::string script = "-", matrix = "-";
                int points = 0;
                lesson::ParseSubStepLine(lines[j], script, points, matrix);
                std::string cell = "-";
                if (matrix != "-")
                    cell = lesson::LookupLevelTable(matrix_, step.number, matrix, item);
                const std::string by = "menu " + tag + " entry " + std::to_string(j) + " in step " +
                                       std::to_string(step.number);
                if (cell != "-") {
                    Run(cell, by);
                } else if (!script.empty() && script[0] != '#') {
                    Run(script, by);
                }
            }
        }
    }

  private:
    CheckContext& c_;
    std::string variant_;
    data::Course course_;
    bool opened_ = false;
    int level_ = 0;
    script::HeadlessHost host_;
    QWidget stage_;
    QImage picture_;
    std::unique_ptr<script::ScriptEngine> engine_;
    int64_t now_ = 1000;
    std::vector<std::string> matrix_;
};

}  // namespace

void RunScripts(CheckContext& c) {
    if (!QApplication::instance()) {
        c.Error(".", "run-error", "scripts can only be run with a QApplication");
        return;
    }
    for (const LanguageCourse& l : c.languages) {
        if (!l.opened) continue;
        for (const UnitSystem& u : c.units) {
            Runner runner(c, l.lang, u.value);
            if (!runner.Opened()) continue;  // reported by the start-up check
            int level = -1;
            for (const CheckContext::Step& step : c.steps) {
                if (step.level != level) {
                    level = step.level;
                    runner.StartLevel(level);
                }
                runner.Run(step.script, "step " + std::to_string(step.number));
                runner.RunMenus(step);
            }
        }
    }
}

}  // namespace check
