// Which step comes next, how it is shown, and going back or leaving it.
#include <algorithm>
#include <cstdio>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/StepTexts.h"
#include "lesson/ContextFiles.h"
#include "lesson/LessonFlow.h"
#include "lesson/RichTextLines.h"
#include "text/MessageFile.h"

namespace lesson {

bool LessonFlow::OpenStepFile(int level, text::MessageFile& file, std::string* path) const {
    const std::string p = settings_.course->StepMessage(level);
    if (path) *path = p;
    settings_.course->Prepare(file);
    if (!file.Open(p)) return false;
    file.SetSeed(settings_.CommonSeed());
    file.SetCheckModulus(static_cast<unsigned>(settings_.CommonSeed()));
    file.SetConversionLine(
        settings_.Config(data::kUnit) == settings_.Common(data::kTextUnitSystem) ? 0 : 1);
    return true;
}

void LessonFlow::NextClick() {
    if (!book_) return;
    // A step's comment document goes with the step.
    ports_.view.CloseDocumentWindow();
    NextStep();
}

void LessonFlow::PrevClick() {
    if (book_) StepBack(2, true);
}

void LessonFlow::ExitClick() {
    if (book_) ExitStep();
}

void LessonFlow::NextStep() {
    estimate_pending_ = false;
    screen_.next_enabled = false;
    screen_.prev_enabled = user_.Step >= 1 && user_.Level >= user_.FirstLevel;
    screen_.info_visible = false;
    screen_.verdict.clear();
    params_ = StepParameters();

    text::MessageFile file;
    std::string path;
    const bool same_level =
        user_.AskLeft != 0 && (user_.Step < LevelSteps(user_.Level) || user_.Retries < -1);
    if (same_level) {
        user_.Step += 1;
        params_.NotRecorded = user_.Kind == kPracticalStep;
    } else {
        if (!(user_.AskLeft != 0 && user_.Step == 0)) {
            SetLevelState(user_.Level, -1);
            user_.Level += 1;
            DrawRandomLevel();
        }
        if (OpenStepFile(user_.Level, file, &path)) {
            SetLevelSteps(user_.Level, file.RecordCount() / 4);
            user_.Retries = 0;
            user_.StepCount += params_.NotRecorded ? 0 : LevelSteps(user_.Level);
            user_.StepsBefore +=
                params_.NotRecorded || user_.Level < 2 ? 0 : LevelSteps(user_.Level - 1);
            user_.AskLeft = EvaluateQuota();
            user_.Step = 1;
        } else if (user_.Level == 1 && settings_.Has(data::Developer)) {
            ports_.view.ShowSystemError(path, -1);
        }
    }
    user_.MaxLevel = std::max(user_.MaxLevel, user_.Level);
    const bool open = OpenStepFile(user_.Level, file);
    if (user_.Level > 1 || (user_.Level > user_.FirstLevel && StartLimitsLesson()) || !open) {
        EndLesson();
        return;
    }
    ShowStep();
}

// Draws the next level among the first range of Random= that holds it. True when a range
// applied.
bool LessonFlow::DrawRandomLevel() {
    const std::string& ranges = settings_.Config(data::kRandom);
    size_t start = 0;
    while (start <= ranges.size()) {
        const size_t end = std::min(ranges.find(';', start), ranges.size());
        const std::string item = ranges.substr(start, end - start);
        start = end + 1;
        int lo = 0, hi = 0;
        if (std::sscanf(item.c_str(), "%d-%d", &lo, &hi) != 2) continue;
        if (lo > user_.Level || user_.Level > hi + 1) continue;
        // Ranges come from a text file: keep the arithmetic in range.
        const int64_t span = int64_t{hi} + 1 - lo;
        const int64_t d = span > 0 ? ports_.clock.Random() % span : 0;
        bool found = false;
        for (int64_t k = 0; k < span && k < data::kStepCapacity; ++k) {
            const int candidate = static_cast<int>(lo + (d + k) % span);
            if (LevelState(candidate) != -1) {
                user_.Level = candidate;
                params_.NotRecorded = true;
                found = true;
                break;
            }
        }
        if (!found) user_.Level = hi + 1;
        user_.StepsBefore = 0;
        user_.StepCount = 0;
        text::MessageFile file;
        for (int k = 1; k <= hi && k <= data::kLevelCapacity; ++k) {
            if (!OpenStepFile(k, file)) continue;
            SetLevelSteps(k, file.RecordCount() / 4);
            user_.StepCount += LevelSteps(k);
            if (k > 1 && k <= user_.Level) user_.StepsBefore += LevelSteps(k - 1);
        }
        return true;
    }
    return false;
}

void LessonFlow::EndLesson() {
    lesson_ended_ = true;
    user_.FirstLevel = user_.Level;
    user_.Level -= 1;
    user_.Step = LevelSteps(user_.Level);
    SetLevelState(user_.Level, -1);
    user_.State = data::kStateFinished;
    SaveProgress(false);
    book_.reset();
    EndSession();
    if (!(settings_.Has(data::AutoPlay) && !settings_.Has(data::StepContext))) {
        Ask(data::kTextLessonEnd, settings_.Common(data::kTextLessonEndCaption),
            windows::kIconInformation, windows::kButtonOk);
    }
    CommencerClick();
}

void LessonFlow::ShowStep() {
    const bool developer = settings_.Has(data::Developer);
    screen_.answer_visible.fill(false);
    screen_.button_enabled.fill(developer);
    screen_.marked_answer = 0;
    text::MessageFile file;
    std::string path;
    OpenStepFile(user_.Level, file, &path);
    const int s = user_.Step;
    screen_.question = {file.GetText(data::StepTextNumber(s, data::StepText::kQuestion)),
                        file.Spans()};
    const RichText answers{file.GetText(data::StepTextNumber(s, data::StepText::kAnswers)),
                           file.Spans()};
    const std::vector<RichText> lines = SplitRichText(answers, "\n");
    if (lines.empty() || lines[0].text.empty()) {
        user_.Kind = kChoiceStep;
        for (size_t j = 1; j < lines.size() && j <= 6; ++j) {
            screen_.answers[j - 1] = lines[j];
            screen_.answer_visible[j - 1] = true;
        }
    } else {
        user_.Kind = user_.Kind == kEstimateStep ? kEstimateStep : kPracticalStep;
    }
    params_.Reset();
    const std::string line = file.GetText(data::StepTextNumber(s, data::StepText::kParameters));
    if (!line.empty()) {
        const int values = params_.Parse(line);
        if (values != kParameterCount) {
            Publish();
            ports_.view.Ask(
                settings_.Common(data::kTextBadParameters, values,
                                 data::StepTextNumber(s, data::StepText::kParameters), line),
                path, windows::kIconError, windows::kButtonOk);
            Publish();
            return;
        }
    }
    params_.PointsAtStake = params_.Points;
    // A practical step keeps its task and Stop on the panel while it waits for picks; an
    // estimate step is asked in its own window.
    screen_.control_panel = user_.Kind != kEstimateStep;
    ShowStanding(developer ? line : std::string());
    Publish();
    tries_before_step_ = ports_.engine.TryCount();
    if (settings_.Has(data::SkipScripts)) {
        ports_.view.PostMessage(kMsgScriptDone);
    } else {
        ports_.engine.OpenScript(params_.ScriptName);
    }
    user_.StepStart = static_cast<int32_t>(ports_.clock.Now());
    AddCapped(*StepEntry(book_->StepVisits), 1);
    // The estimate is asked once the script has drawn what it is about (at once when it has
    // nothing left to run).
    if (user_.Kind == kEstimateStep) {
        if (ports_.engine.ScriptAtEnd()) {
            AskEstimate();
        } else {
            estimate_pending_ = true;
        }
    }
}

void LessonFlow::OnScriptDone() {
    if (!book_) return;
    if (estimate_pending_) {
        estimate_pending_ = false;
        AskEstimate();
        return;
    }
    if (screen_.control_panel) {
        bool any = false;
        for (int j = 0; j < 6; ++j) {
            screen_.button_enabled[j] = screen_.answer_visible[j];
            any = any || screen_.answer_visible[j];
        }
        if (any) {
            screen_.focus = Focus::kAnswer1;
        } else {
            screen_.next_enabled = user_.Kind == kChoiceStep;
            screen_.focus = screen_.next_enabled ? Focus::kNext : Focus::kStop;
        }
    }
    if (settings_.Has(data::AutoPlay)) screen_.timer_enabled = true;
    Publish();
}

void LessonFlow::AutoClick() {
    screen_.timer_enabled = false;
    if (!book_) return;
    if (screen_.next_enabled) {
        NextClick();
        return;
    }
    const int visible = static_cast<int>(
        std::count(screen_.answer_visible.begin(), screen_.answer_visible.end(), true));
    ButtonClick(visible > 0 ? static_cast<int>(ports_.clock.Random() % visible) + 1 : 1);
}

void LessonFlow::StepBack(int count, bool run) {
    const int old_step = user_.Step;
    if (user_.FirstLevel >= user_.Level || count < user_.Step) {
        user_.Step -= count;
    } else {
        user_.Level -= 1;
        user_.Step = LevelSteps(user_.Level) - (old_step == 1 ? count - 1 : 0);
        user_.StepsBefore = 0;
        for (int k = 1; k < user_.Level; ++k) user_.StepsBefore += LevelSteps(k);
        user_.StepCount = user_.StepsBefore + LevelSteps(user_.Level);
    }
    while (user_.Step > 1 && StepScoreOf(user_.Step) == -1) --user_.Step;
    if (user_.Step != 0 && StepScoreOf(user_.Step) == -1) --user_.Step;
    if (!run) return;
    ports_.view.CloseDocumentWindow();
    ports_.engine.Start();
    ports_.engine.SetBackgroundSize(ports_.view.StageWidth(), ports_.view.StageHeight(), 0xFFFFFF);
    RestoreContext(settings_, ports_.view, ports_.engine,
                   {user_.UserNo, user_.GroupNo, user_.Level, user_.Step});
    NextStep();
}

void LessonFlow::ExitStep() {
    if (Ask(data::kTextExitAsk, settings_.Common(data::kTextExitCaption), windows::kIconQuestion,
            windows::kButtonsYesNo) != windows::kResultYes) {
        return;
    }
    ports_.sounds.PlayNumber(kSoundExit, true);
    user_.Retries = 0;
    *StepEntry(book_->StepScore) = -1;
    *StepEntry(book_->StepWorth) = params_.Points * 4;
    *StepEntry(book_->StepBonus) = params_.SubTotal;
    AddCapped(*StepEntry(book_->StepTime), ports_.clock.Now() - user_.StepStart);
    const bool journaled = !settings_.Has(data::AutoPlay) && !settings_.Has(data::PresetSession);
    SaveProgress(true, journaled ? HistoryLine{HistoryLine::kAbandon} : HistoryLine{});
    screen_.side_panel = false;
    NextStep();
}

}  // namespace lesson
