// The learner's answers: buttons, estimates and picks on the stage, and their evaluation.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/StepTexts.h"
#include "lesson/ContextFiles.h"
#include "lesson/LessonFlow.h"
#include "lesson/LevelTable.h"
#include "lesson/RichTextLines.h"
#include "text/MessageFile.h"

namespace lesson {

void LessonFlow::ButtonClick(int answer) {
    if (!book_ || answer < 1 || answer > 6) return;
    params_.Given = answer;
    Evaluate();
}

void LessonFlow::Evaluate() {
    const bool developer = settings_.Has(data::Developer);
    ports_.sounds.PlayNumber(kSoundEvaluate, false);
    if (user_.Retries == 0) {
        if (user_.AskLeft > 0) user_.AskLeft -= 1;
        AddCapped(*StepEntry(book_->StepWorth), params_.PointsAtStake);
        AddCapped(user_.TotalWorth, params_.PointsAtStake);
        int32_t* score = StepEntry(book_->StepScore);
        if (*score < 0) *score = 0;
    } else if (user_.Kind == kEstimateStep) {
        AddCapped(*StepEntry(book_->StepWorth), params_.PointsAtStake);
        AddCapped(user_.TotalWorth, params_.PointsAtStake);
    }
    AddCapped(*StepEntry(book_->StepTime), ports_.clock.Now() - user_.StepStart);
    const int d =
        user_.Kind == kChoiceStep ? params_.Given : (params_.Given == params_.Expected ? 2 : 1);
    screen_.button_enabled.fill(developer);
    if (d >= 1 && d <= 6) screen_.marked_answer = d;
    const bool correct =
        user_.Kind == kPracticalStep ? params_.SubAnswer == 0 : params_.Given == params_.Expected;
    const int kind = user_.Kind;
    int added = 0;
    if (correct) {
        ports_.sounds.PlayNumber(kSoundRight, false);
        int gain = 0;
        if (kind == kChoiceStep) {
            gain = params_.Points;
            screen_.verdict = settings_.Common(data::kTextPoints, gain);
            screen_.verdict_colour = kColourGreen;
        } else if (kind == kPracticalStep) {
            // The picks of this step: the engine counts from its last Start, which is
            // the session's start, not the step's.
            const int tries = ports_.engine.TryCount() - tries_before_step_;
            if (developer) {
                screen_.hint += "\n" + std::to_string(tries) + " < " +
                                std::to_string(params_.TryLimit) + " : " +
                                std::to_string(params_.Points) + " / " +
                                std::to_string(params_.TryPenalty);
            }
            Publish();
            ports_.view.Ask(screen_.hint, settings_.Common(data::kTextRight), kBoxInformation,
                            kBoxOk, true);
            // Tries beyond the limit cost the penalty each; the product is kept in 64 bits
            // because both numbers come from the course's text.
            const int64_t over = int64_t{tries} - params_.TryLimit;
            gain = tries < params_.TryLimit
                       ? params_.Points
                       : static_cast<int>(std::clamp<int64_t>(
                             params_.Points - over * params_.TryPenalty, INT32_MIN, INT32_MAX));
            user_.Kind = kEstimateStep;
        } else {
            gain = params_.PointsAtStake;
            statistics_verdict_ = 1;
        }
        added = std::max(gain, 0);
        AddCapped(*StepEntry(book_->StepScore), added);
        AddCapped(user_.Total, added);
        user_.Retries = 0;
    } else {
        ports_.sounds.PlayNumber(kSoundWrong, false);
        if (kind == kChoiceStep) {
            screen_.verdict = settings_.Common(data::kTextWrongAnswer, d);
            screen_.verdict_colour = kColourRed;
        } else if (kind == kPracticalStep) {
            if (developer) screen_.hint += "\n" + std::to_string(params_.Points) + " pts";
            Publish();
            ports_.view.Ask(screen_.hint, settings_.Common(data::kTextWrong), kBoxError, kBoxOk,
                            true);
            params_.Points /= 2;
            user_.Retries += 1;
        } else {
            statistics_verdict_ = -1;
        }
    }
    screen_.info_hand_cursor = params_.Comment != "-";
    screen_.comment_name = params_.Comment;
    if (!settings_.Has(data::AutoPlay) && !settings_.Has(data::PresetSession) &&
        !params_.NotRecorded && params_.Expected != 0 && params_.Given != 0 && history_.IsOpen()) {
        WriteHistory(history_.WriteAnswerRecord(params_.FNumber, user_.Level, user_.Step,
                                                params_.Expected, params_.Given, user_.Series,
                                                settings_.Config(data::kDirectory)));
    }
    text::MessageFile file;
    OpenStepFile(user_.Level, file);
    const std::string line =
        file.GetText(data::StepTextNumber(user_.Step, data::StepText::kParameters));
    const RichText comments{
        file.GetText(data::StepTextNumber(user_.Step, data::StepText::kComments)), file.Spans()};
    const std::vector<RichText> pieces = SplitRichText(comments, "\n## ");
    ShowStanding(developer ? line : std::string());
    if (d >= 0 && d < static_cast<int>(pieces.size())) {
        if (kind == kChoiceStep) {
            screen_.info_visible = true;
            screen_.info_text = screen_.verdict + "\n" + pieces[d].text;
            screen_.info_placement = pieces[0].text;
            screen_.info_p_number = params_.PNumber;
        } else {
            Publish();
            ports_.view.ShowComment(pieces[d], statistics_verdict_);
        }
    }
    *StepEntry(book_->StepStatus) = 3;
    SaveProgress(true);
    if (on_evaluated_) {
        on_evaluated_({user_.Level, user_.Step, kind, params_.Given, params_.Expected, correct,
                       added, user_.Total, user_.TotalWorth});
    }
    if (kind == kChoiceStep) {
        screen_.next_enabled = true;
        screen_.focus = Focus::kNext;
        if (settings_.Has(data::AutoPlay)) screen_.timer_enabled = true;
        Publish();
    } else if (user_.Kind == kEstimateStep) {
        NextStep();
    } else {
        Publish();
    }
}

void LessonFlow::AskEstimate() {
    if (user_.Kind != kEstimateStep) return;
    text::MessageFile file;
    OpenStepFile(user_.Level, file);
    const RichText title{file.GetText(data::StepTextNumber(user_.Step, data::StepText::kQuestion)),
                         file.Spans()};
    const RichText body{file.GetText(data::StepTextNumber(user_.Step, data::StepText::kAnswers)),
                        file.Spans()};
    Publish();
    const int position = ports_.view.AskEstimate(title, body);
    params_.Given =
        std::abs(int64_t{position} - params_.Expected) <= params_.Tolerance ? params_.Expected : -1;
    Evaluate();
}

void LessonFlow::OnPick() {
    if (!book_ || !ports_.engine.ScriptAtEnd()) return;
    for (const PendingPick& pick : ports_.engine.PendingPicks()) {
        // An evaluation may have ended the lesson.
        if (!book_) return;
        HandlePick(pick);
    }
}

void LessonFlow::HandlePick(const PendingPick& pick) {
    const bool developer = settings_.Has(data::Developer);
    const std::string path = settings_.course->SubStepMessage(SubStepName(pick.first_caption));
    text::MessageFile file;
    settings_.course->Prepare(file);
    if (!file.Open(path)) {
        Publish();
        ports_.view.Ask(settings_.Common(data::kTextSubStepMissing, path),
                        settings_.Common(data::kTextFileError), kBoxError, kBoxOk);
        ports_.engine.ClearPick(pick.kind, pick.id);
        return;
    }
    file.SetCheckModulus(text::MessageFile::kStandardModulus);
    file.SetSeed(settings_.CommonSeed());
    file.SetShowErrors(developer);
    file.SetConversionLine(
        settings_.Config(data::kUnit) == settings_.Common(data::kTextUnitSystem) ? 0 : 1);
    screen_.question = {file.GetText(3), file.Spans()};
    const std::string question = screen_.question.text;
    std::vector<std::string> lines;
    const std::string list = file.GetText(2);
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find('\n', start), list.size());
        lines.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    if (list.empty()) lines.clear();
    if (pick.value <= static_cast<int>(lines.size())) {
        params_.ScriptName = "-";
        params_.MatrixName = "-";
        if (pick.value < static_cast<int>(lines.size()) && !lines[pick.value].empty()) {
            int points = 0;
            ParseSubStepLine(lines[pick.value], params_.ScriptName, points, params_.MatrixName);
            params_.SubTotal += points;
        }
    }
    screen_.side_buttons_enabled = developer;
    const std::string matrix_script = LookupMatrix(pick.first_caption);
    const bool answer = !params_.ScriptName.empty() && params_.ScriptName[0] == '#';
    if (matrix_script != "-") {
        ports_.engine.OpenScript(matrix_script);
    } else if (!answer) {
        ports_.engine.OpenScript(params_.ScriptName);
    } else {
        std::sscanf(params_.ScriptName.c_str(), "#%d", &params_.SubAnswer);
        screen_.hint = question;
    }
    ports_.engine.ClearPick(pick.kind, pick.id);
    if (answer) {
        Evaluate();
    } else {
        Publish();
    }
}

std::string LessonFlow::LookupMatrix(const std::string& caption) {
    const std::string item = MenuItemName(caption);
    if (item.empty()) return "-";
    if (params_.MatrixName.empty() || params_.MatrixName == "-") return "-";
    const std::string path = settings_.course->LevelConfig(user_.Level);
    std::vector<std::string> lines;
    if (!ReadLevelTable(path, lines)) {
        Publish();
        ports_.view.ShowSystemError(path, -1);
        return "-";
    }
    return LookupLevelTable(lines, user_.Step, params_.MatrixName, item);
}

}  // namespace lesson
