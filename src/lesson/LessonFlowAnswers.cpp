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
#include "lesson/SubStepFile.h"
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
    // The picks of a practical step: the engine counts from its last Start, which is the
    // session's start, not the step's.
    const int tries = ports_.engine.TryCount() - tries_before_step_;
    int32_t* score = StepEntry(book_->StepScore);
    int32_t* worth = StepEntry(book_->StepWorth);
    const int kind = user_.Kind;
    const AnswerScore s = ScoreAnswer(
        kind, params_, tries,
        {user_.AskLeft, user_.Retries, *score, *worth, user_.Total, user_.TotalWorth}, developer);
    user_.AskLeft = s.after.ask_left;
    user_.Retries = s.after.retries;
    user_.Total = s.after.total;
    user_.TotalWorth = s.after.total_worth;
    *score = s.after.step_score;
    *worth = s.after.step_worth;
    AddCapped(*StepEntry(book_->StepTime), ports_.clock.Now() - user_.StepStart);

    screen_.button_enabled.fill(developer);
    if (s.chosen >= 1 && s.chosen <= 6) {
        screen_.marked_answer = s.chosen;
        screen_.marked_right = s.correct;
    }
    ports_.sounds.PlayNumber(s.sound, false);
    if (s.verdict_text != 0) {
        screen_.verdict = settings_.Common(s.verdict_text, s.verdict_argument);
        screen_.verdict_colour = s.verdict_colour;
    }
    if (s.box_caption != 0) {
        screen_.hint += s.hint_note;
        Publish();
        ports_.view.Ask(screen_.hint, settings_.Common(s.box_caption), s.box_icon,
                        windows::kButtonOk, true);
    }
    params_.Points = s.points;
    user_.Kind = static_cast<int16_t>(s.kind);
    screen_.info_hand_cursor = params_.Comment != "-";
    screen_.comment_name = params_.Comment;

    text::MessageFile file;
    OpenStepFile(user_.Level, file);
    const std::string line =
        file.GetText(data::StepTextNumber(user_.Step, data::StepText::kParameters));
    const RichText comments{
        file.GetText(data::StepTextNumber(user_.Step, data::StepText::kComments)), file.Spans()};
    const std::vector<RichText> pieces = SplitRichText(comments, "\n## ");
    ShowStanding(developer ? line : std::string());
    const bool commented = s.chosen >= 0 && s.chosen < static_cast<int>(pieces.size());
    if (kind != kChoiceStep) {
        screen_.answer_window = AnswerWindowOf(kind, s, tries, file);
        if (commented) screen_.answer_window.comment = pieces[s.chosen];
    }
    if (commented && kind != kChoiceStep) {
        Publish();
        ports_.view.ShowAnswer(screen_.answer_window);
    }
    *StepEntry(book_->StepStatus) = 3;
    const SaveOutcome saved = saver_.Save(user_, *book_, true, AnswerLine());
    // Points that did not reach the learner's files are not announced as earned.
    if (s.correct && kind == kChoiceStep && !saved.PointsKept())
        screen_.verdict = settings_.Common(data::kTextRight);
    if (commented && kind == kChoiceStep) {
        screen_.info_visible = true;
        screen_.info_text = screen_.verdict + "\n" + pieces[s.chosen].text;
        screen_.info_placement = pieces[0].text;
        screen_.info_p_number = params_.PNumber;
    }
    saver_.Tell(saved);
    if (on_evaluated_) {
        Evaluation e;
        e.level = user_.Level;
        e.step = user_.Step;
        e.kind = kind;
        e.given = params_.Given;
        e.expected = params_.Expected;
        e.correct = s.correct;
        e.gain = s.gain;
        e.total = user_.Total;
        e.worth = user_.TotalWorth;
        e.saved = saved.Kept();
        if (kind == kPracticalStep) e.picked = picked_;
        if (kind == kChoiceStep) {
            e.question = screen_.question.text;
            e.verdict = screen_.verdict;
        } else {
            e.caption = screen_.answer_window.caption;
            e.question = screen_.answer_window.question.text;
            e.verdict = screen_.answer_window.verdict;
            if (!screen_.answer_window.stake.empty())
                e.verdict += " " + screen_.answer_window.stake;
        }
        on_evaluated_(e);
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

// The answer's history line: only the learner's own answers (no automatic play, no preset
// session) to recorded steps, and only when both answers are known.
// What the answer window shows after an answer to a practical or estimate step: the step's own
// question, what was answered and the verdict of this answer.
AnswerWindow LessonFlow::AnswerWindowOf(int kind, const AnswerScore& s, int tries,
                                        text::MessageFile& file) const {
    AnswerWindow w;
    const int step = user_.Step;
    w.question = {file.GetText(data::StepTextNumber(step, data::StepText::kQuestion)),
                  file.Spans()};
    if (kind == kPracticalStep) {
        w.caption = settings_.Common(s.correct ? data::kTextRight : data::kTextWrong);
        w.answer = {picked_entry_, {}};
    } else {
        w.caption = settings_.Common(data::kTextQuestionTitle);
        w.answer = {file.GetText(data::StepTextNumber(step, data::StepText::kAnswers)),
                    file.Spans()};
    }
    w.verdict_colour = s.correct ? kColourGreen : kColourRed;
    if (s.correct) {
        w.verdict = settings_.Common(data::kTextPoints, s.gain);
    } else {
        w.verdict = settings_.Common(data::kTextWrong);
        // A wrong pick leaves the step open: what it is still worth, and the picks left before
        // a right one costs points.
        if (kind == kPracticalStep) {
            w.stake = settings_.Common(data::kTextStillAtStake, s.points,
                                       std::max(params_.TryLimit - tries, 0));
        }
    }
    w.slider = kind == kEstimateStep;
    return w;
}

HistoryLine LessonFlow::AnswerLine() const {
    if (settings_.Has(data::AutoPlay) || settings_.Has(data::PresetSession) ||
        params_.NotRecorded || params_.Expected == 0 || params_.Given == 0)
        return {};
    return {HistoryLine::kAnswer, params_.FNumber, params_.Expected, params_.Given};
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
    params_.Given = EstimateAnswer(position, params_.Expected, params_.Tolerance);
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
    std::string path;
    text::MessageFile file;
    if (!OpenSubStepFile(settings_, SubStepName(pick.first_caption), file, path)) {
        Publish();
        ports_.view.Ask(settings_.Common(data::kTextSubStepMissing, path),
                        settings_.Common(data::kTextFileError), windows::kIconError,
                        windows::kButtonOk);
        ports_.engine.ClearPick(pick.kind, pick.id);
        return;
    }
    // The panel keeps the step's task; the sub-step's text goes with its verdict.
    const std::string question = file.GetText(3);
    const std::vector<std::string> lines = SubStepLines(file);
    picked_entry_ = pick.entry_caption;
    picked_ = MenuItemName(pick.first_caption) + ": " + pick.entry_caption;
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
