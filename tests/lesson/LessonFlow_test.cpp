// The lesson flow's decisions and arithmetic, driven without windows.
#include <gtest/gtest.h>

#include "LessonFakes.h"

namespace lesson_test {
namespace {

using lesson::Focus;

TEST_F(LessonTest, NewLearnerPlaysChoiceStepsToTheEndOfTheLesson) {
    WriteSteps(1, {Choice(2, 10), Choice(1, 5), Choice(3, 4)});
    Begin();
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].text, "Welcome");
    EXPECT_EQ(engine_.scripts, std::vector<std::string>{"S"});
    EXPECT_TRUE(view_.screen.control_panel);
    EXPECT_EQ(view_.screen.question.text, "Question");
    EXPECT_EQ(view_.screen.answers[2].text, "Three");
    EXPECT_EQ(view_.screen.answer_visible, (std::array<bool, 6>{true, true, true}));
    // Answers wait for the script's end.
    EXPECT_EQ(view_.screen.button_enabled, (std::array<bool, 6>{}));
    Flow().UserMessage(lesson::kMsgScriptDone);
    EXPECT_EQ(view_.screen.button_enabled, (std::array<bool, 6>{true, true, true}));
    EXPECT_EQ(view_.screen.focus, Focus::kAnswer1);

    services_.now = 1012;
    Flow().ButtonClick(2);
    EXPECT_EQ(view_.screen.verdict, "Right: 10 points");
    EXPECT_EQ(view_.screen.verdict_colour, lesson::kColourGreen);
    EXPECT_EQ(view_.screen.info_text, "Right: 10 points\nsecond");
    EXPECT_EQ(view_.screen.info_placement, "Y120");
    EXPECT_TRUE(view_.screen.next_enabled);
    EXPECT_EQ(view_.screen.marked_answer, 2);
    EXPECT_TRUE(view_.screen.marked_right) << "framed green";
    EXPECT_EQ(User().Total, 10);
    EXPECT_EQ(User().TotalWorth, 10);
    EXPECT_EQ(User().State, data::kStateBegun);

    const int closed = view_.documents_closed;
    Flow().NextClick();
    EXPECT_EQ(view_.documents_closed, closed + 1) << "the step's comment document goes with it";
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(3);  // wrong: scores 0 and waits for Next
    EXPECT_EQ(view_.screen.verdict, "Answer 3 is wrong");
    EXPECT_EQ(view_.screen.info_text, "Answer 3 is wrong\nthird");
    EXPECT_EQ(view_.screen.marked_answer, 3);
    EXPECT_FALSE(view_.screen.marked_right) << "framed red";
    EXPECT_TRUE(view_.screen.next_enabled);
    EXPECT_EQ(Flow().Book()->StepScore[1], 0);

    Flow().NextClick();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(3);
    Flow().NextClick();  // past the last step: the lesson ends
    EXPECT_EQ(view_.boxes.back().text, "Lesson over");
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(view_.user_lists, 1);

    EXPECT_EQ(User().State, data::kStateFinished);
    EXPECT_EQ(User().Total, 14);
    EXPECT_EQ(User().TotalWorth, 19);
    EXPECT_EQ(User().Level, 1);
    EXPECT_EQ(User().FirstLevel, 2);
    EXPECT_EQ(User().Step, 3);
    EXPECT_EQ(User().StepCount, 3);
    const data::ScoreBook book = ScoreFile(3);
    EXPECT_EQ(book.LevelSteps[0], 3);
    EXPECT_EQ(book.LevelState[0], -1);
    EXPECT_EQ(book.StepScore[0], 10);
    EXPECT_EQ(book.StepScore[1], 0);
    EXPECT_EQ(book.StepScore[2], 4);
    EXPECT_EQ(book.StepWorth[1], 5);
    EXPECT_EQ(book.StepTime[0], 12);
    EXPECT_EQ(book.StepVisits[2], 1);
    EXPECT_EQ(book.StepStatus[2], 3);
    EXPECT_EQ(History(), "#F7 E1 Q1 2:2 N3 D1\n#F7 E1 Q2 1:3 N3 D1\n#F7 E1 Q3 3:3 N3 D1\n");
    EXPECT_EQ(std::count(services_.sounds.begin(), services_.sounds.end(), "13"), 3);
}

TEST_F(LessonTest, EachEventSavesUserRecordThenContextThenScores) {
    WriteSteps(1, {Choice(1, 3), Choice(1, 3)});
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    const std::string score = (dir_.path / "DATA/DEMO/GB/SCO001.001").string();
    EXPECT_FALSE(std::filesystem::exists(score));
    journal_.clear();
    Flow().ButtonClick(1);
    std::vector<std::string> saves;
    for (const std::string& e : journal_) {
        if (e == "rewrite user" || e.starts_with("save context")) saves.push_back(e);
    }
    EXPECT_EQ(saves, (std::vector<std::string>{"rewrite user", "save context CTX001.001"}));
    // The score file comes last: it is there now and holds the evaluation.
    EXPECT_EQ(ScoreFile(2).StepStatus[0], 3);
}

// Evaluate= limits the steps asked per level; the learner's first lesson included.
TEST_F(LessonTest, EvaluationQuotaEndsTheLevelAndTheLesson) {
    config_.Set(data::kEvaluate, "2");
    WriteSteps(1, {Choice(1, 1), Choice(1, 1), Choice(1, 1), Choice(1, 1), Choice(1, 1)});
    Begin();
    for (int i = 0; i < 2; ++i) {
        Flow().UserMessage(lesson::kMsgScriptDone);
        Flow().ButtonClick(1);
        Flow().NextClick();
    }
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(User().State, data::kStateFinished);
    EXPECT_EQ(User().Step, 5);
    EXPECT_EQ(User().Total, 2);
    EXPECT_EQ(engine_.scripts.size(), 2u);
    // Stop is only offered when the lesson is not evaluated.
    EXPECT_FALSE(view_.screen.stop_enabled);
}

// A practical step: picks on the stage lead to sub-step lines; "#0" is the right answer.
struct TryCase {
    int wrong_before;
    int tries;
    int limit, penalty, points;
    int gain;
};

TEST_F(LessonTest, PracticalStepGainDependsOnWrongAnswersAndTries) {
    const TryCase cases[] = {
        {2, 3, 5, 3, 10, 2},  // halved twice: 10, 5, 2
        {0, 7, 5, 3, 10, 4},  // two tries over the limit cost 3 each
        {0, 9, 5, 3, 10, 0},  // a negative gain counts as 0
        {1, 1, 5, 0, 7, 3},
    };
    for (const TryCase& c : cases) {
        Restart();
        store_.users[{1, 1}] = [] {
            data::UserRecord u = data::UserTemplate();
            u.UserName = "Ada";
            return u;
        }();
        WriteSteps(1, {{"Open the valve", "task", "-\n## wrong\n## right",
                        Params(0, c.points, "S", 0, c.limit, c.penalty)},
                       Choice(1, 1)});
        WriteSubStep("VALVE", "head\nLDE#0 TPS2 MTX-\nLDE#1 TPS0 MTX-", "Which way?");
        Begin();
        Flow().UserMessage(lesson::kMsgScriptDone);
        // The task and Stop stay on the panel while the step waits for picks.
        EXPECT_TRUE(view_.screen.control_panel);
        EXPECT_EQ(view_.screen.question.text, "Open the valve");
        EXPECT_EQ(view_.screen.answer_visible, (std::array<bool, 6>{}));
        EXPECT_EQ(view_.screen.focus, Focus::kStop);
        for (int i = 0; i < c.wrong_before; ++i) Pick("VALVE", 2);
        EXPECT_EQ(User().Retries, c.wrong_before);
        EXPECT_EQ(view_.screen.question.text, "Open the valve") << "a pick keeps the task shown";
        Pick("VALVE", 1, c.tries);
        EXPECT_EQ(User().Total, c.gain) << c.tries << " tries, " << c.wrong_before << " wrong";
        EXPECT_EQ(User().TotalWorth, c.points);
        // A right answer moves on by itself.
        EXPECT_EQ(Flow().User().Step, 2);
        EXPECT_EQ(view_.boxes.back().caption, "Right");
        EXPECT_TRUE(view_.boxes.back().quiet);
        EXPECT_EQ(view_.boxes.back().text, "Which way?");
        EXPECT_EQ(ScoreFile(2).StepScore[0], c.gain);
    }
}

// The engine counts picks from the session's start: only this step's picks cost points.
TEST_F(LessonTest, PicksOfAnEarlierStepDoNotCountAsTries) {
    WriteSteps(1, {{"First", "task", "-", Params(0, 6, "S", 0, 2, 3)},
                   Choice(1, 1),
                   {"Second", "task", "-", Params(0, 10, "S", 0, 2, 3)},
                   Choice(1, 1)});
    WriteSubStep("VALVE", "head\nLDE#0 TPS0 MTX-\nLDEPART TPS0 MTX-", "Q");
    Begin();
    for (int i = 0; i < 4; ++i) Pick("VALVE", 2);  // scripts, no answer: tries 1 to 4
    Pick("VALVE", 1);                              // fifth try, three over the limit of 2
    EXPECT_EQ(Flow().User().Total, 0);             // 6 - 3 x 3 counts as 0
    EXPECT_EQ(Flow().User().Step, 2);
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    Flow().NextClick();
    Pick("VALVE", 1);  // the sixth pick of the session, the first of this step
    EXPECT_EQ(Flow().User().Total, 11);
}

TEST_F(LessonTest, EstimateFollowsARightPracticalAnswerAndMovesOnByItself) {
    WriteSteps(1, {{"Open", "task", "-", Params(0, 4)},
                   {"How far?", "0..100", "-\n## too far\n## well done", Params(50, 6, "S", 5)},
                   {"Again?", "0..100", "-\n## no\n## yes", Params(50, 6, "S", 5)},
                   Choice(1, 1)});
    WriteSubStep("VALVE", "head\nLDE#0 TPS0 MTX-", "Good");
    view_.estimates = {54, 80};
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Pick("VALVE", 1);
    // Step 2 is an estimate: asked at once, right within the tolerance.
    EXPECT_TRUE(Journaled("estimate How far?"));
    EXPECT_TRUE(Journaled("estimate Again?"));
    EXPECT_EQ(view_.comments,
              (std::vector<std::string>{"well done (Right: 6 points)", "no (Wrong)"}));
    EXPECT_EQ(Flow().User().Step, 4);
    EXPECT_EQ(User().Total, 10);
    EXPECT_EQ(User().TotalWorth, 16);
    // The wrong estimate's given answer is -1, written as it stands.
    EXPECT_EQ(History(), "#F7 E1 Q2 50:50 N3 D1\n#F7 E1 Q3 50:-1 N3 D1\n");
}

// An estimate is asked once its script has drawn what it is about: the window then finds the
// stage as the learner reads it.
TEST_F(LessonTest, AnEstimateIsAskedWhenItsScriptHasEnded) {
    WriteSteps(1, {{"Open", "task", "-", Params(0, 4)},
                   {"How far?", "0..100", "-", Params(50, 6, "S", 5)},
                   Choice(1, 1)});
    WriteSubStep("VALVE", "head\nLDE#0 TPS0 MTX-", "Good");
    view_.estimates = {50};
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    engine_.scripts_run = true;
    engine_.picks.push_back({2, 6, 1, "VALVE:item", ""});
    Flow().UserMessage(lesson::kMsgPick);
    EXPECT_EQ(Flow().User().Step, 2);
    EXPECT_FALSE(Journaled("estimate How far?")) << "asked before the script ran";
    engine_.at_end = true;
    Flow().UserMessage(lesson::kMsgScriptDone);
    EXPECT_TRUE(Journaled("estimate How far?"));
    EXPECT_EQ(Flow().User().Step, 3);
}

// The answer window after a pick shows that step's texts and the verdict of that pick, whatever
// an earlier estimate showed.
TEST_F(LessonTest, APracticalAnswerWindowShowsItsOwnStepAndVerdict) {
    WriteSteps(
        1, {{"Prime the pump", "task", "Y30\n## not so\n## primed", Params(0, 20, "S", 0, 3, 2)},
            {"Estimate the level", "slider", "-\n## too far\n## well done", Params(70, 10, "S", 5)},
            Choice(1, 1),
            {"Throttle V2", "task", "Y30\n## V2 is still open\n## throttled",
             Params(0, 20, "S", 0, 4, 2)},
            Choice(1, 1)});
    WriteSubStep("VALVE", "head\nLDE#0 TPS0 MTX-\nLDE#1 TPS0 MTX-", "Valve");
    view_.estimates = {20};  // wrong
    // The learner picks entry value, the try-th pick of the session, captioned entry.
    auto pick = [&](int value, int tries, const std::string& entry) {
        Flow().UserMessage(lesson::kMsgScriptDone);
        engine_.picks.push_back({2, 6, value, "VALVE:item", entry});
        engine_.tries = tries;
        Flow().UserMessage(lesson::kMsgPick);
        Pump();
    };
    Begin();
    pick(1, 1, "Open the vent cock");
    ASSERT_EQ(Flow().User().Step, 3);
    Answer(1);
    Flow().NextClick();
    pick(2, 2, "Leave V2 open");  // one try of step 4's four used
    const struct {
        const char *caption, *question, *answer, *verdict;
        int32_t colour;
        const char* comment;
    } shown[] = {
        {"Right", "Prime the pump", "Open the vent cock", "Right: 20 points", lesson::kColourGreen,
         "primed"},
        {"Estimate", "Estimate the level", "slider", "Wrong", lesson::kColourRed, "too far"},
        {"Wrong", "Throttle V2", "Leave V2 open", "Wrong", lesson::kColourRed, "V2 is still open"},
    };
    ASSERT_EQ(view_.answer_windows.size(), std::size(shown));
    for (size_t i = 0; i < std::size(shown); ++i) {
        const lesson::AnswerWindow& w = view_.answer_windows[i];
        EXPECT_EQ(w.caption, shown[i].caption) << i;
        EXPECT_EQ(w.question.text, shown[i].question) << i;
        EXPECT_EQ(w.answer.text, shown[i].answer) << i;
        EXPECT_EQ(w.verdict, shown[i].verdict) << i;
        EXPECT_EQ(w.verdict_colour, shown[i].colour) << i;
        EXPECT_EQ(w.comment.text, shown[i].comment) << i;
    }
    EXPECT_EQ(view_.answer_windows[2].stake, "10 points left, 3 tries");
    EXPECT_TRUE(view_.answer_windows[1].slider);
    EXPECT_FALSE(view_.answer_windows[2].slider);
    EXPECT_EQ(Flow().Screen().answer_window.question.text, "Throttle V2");
}

// Prev goes back two steps and forward one, skipping steps never scored.
TEST_F(LessonTest, PrevSkipsUnscoredSteps) {
    struct Case {
        bool answer_step1;
        int expected_step;
    } cases[] = {{true, 2}, {false, 1}};
    for (const Case& c : cases) {
        Restart();
        store_.users[{1, 1}].State = data::kStateFinished;
        WriteSteps(1, {Choice(1, 1), Choice(1, 1), Choice(1, 1), Choice(1, 1)});
        Begin();
        Flow().UserMessage(lesson::kMsgScriptDone);
        if (c.answer_step1) {
            Flow().ButtonClick(1);
            Flow().NextClick();
        } else {
            Flow().ExitClick();  // left unscored
        }
        Flow().UserMessage(lesson::kMsgScriptDone);
        Flow().ButtonClick(2);
        Flow().NextClick();
        ASSERT_EQ(Flow().User().Step, 3);
        EXPECT_TRUE(view_.screen.prev_enabled);
        Flow().PrevClick();
        EXPECT_EQ(Flow().User().Step, c.expected_step) << c.answer_step1;
    }
}

TEST_F(LessonTest, RandomRangeOfTheDoneLevelEndsTheLesson) {
    config_.Set(data::kRandom, "1-1");
    WriteSteps(1, {Choice(1, 1)});
    services_.randoms = {5};
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    Flow().NextClick();
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(User().State, data::kStateFinished);
    EXPECT_EQ(User().FirstLevel, 2);
    EXPECT_EQ(User().MaxLevel, 2);
}

TEST_F(LessonTest, MalformedParameterLineStopsTheStep) {
    struct Case {
        std::string line;
        int values;
    } cases[] = {
        {"K[0:0] BR1:0 TRY0:0 PT5 LDES F1 P0", 10},
        {"K[0:0] BR1:0 TRY0:0 PT5 LDEAVERYLONGSCRIPTNAME1234 F1 P0:[-]", 8},
        {"BR1", 0},
    };
    for (const Case& c : cases) {
        Restart();
        view_.boxes.clear();
        engine_.scripts.clear();
        WriteSteps(1, {{"Q", "\nA\nB", "-", c.line}});
        Begin();
        ASSERT_FALSE(view_.boxes.empty());
        EXPECT_EQ(view_.boxes.back().text,
                  "Bad line: " + std::to_string(c.values) + " values in 3: " + c.line);
        EXPECT_EQ(view_.boxes.back().icon, windows::kIconError);
        EXPECT_NE(view_.boxes.back().caption.find("D1STEP01.MSG"), std::string::npos);
        EXPECT_TRUE(engine_.scripts.empty());
        EXPECT_FALSE(view_.screen.next_enabled);
    }
}

TEST_F(LessonTest, MissingSubStepFileAndLevelTable) {
    WriteSteps(1, {{"Open", "task", "-", Params(0, 4)}, Choice(1, 1)});
    Begin();
    Pick("NOPE", 1);
    EXPECT_EQ(view_.boxes.back().text.rfind("Missing ", 0), 0u);
    EXPECT_NE(view_.boxes.back().text.find("D1NOPE.MSG"), std::string::npos);
    EXPECT_EQ(view_.boxes.back().caption, "File error");
    EXPECT_TRUE(engine_.picks.empty());
    EXPECT_EQ(Flow().User().Step, 1);

    // A sub-step line naming a matrix column, without a level table: the line's own script.
    WriteSubStep("VALVE", "head\nLDEVOPEN TPS2 MTXVALVES", "Q");
    Pick("VALVE", 1);
    ASSERT_FALSE(view_.errors.empty());
    EXPECT_NE(view_.errors.back().find("D1LEVEL01.CFG #-1"), std::string::npos);
    EXPECT_EQ(engine_.scripts.back(), "VOPEN");

    // With the table, the item's column names the script.
    (void)dir_.Write("DATA/CFG/D1LEVEL01.CFG",
                     "; matrix\n[##01][PUMPS][VALVES]\n\n[item][PSTART][VSTART]\n");
    Pick("VALVE", 1);
    EXPECT_EQ(engine_.scripts.back(), "VSTART");
    EXPECT_EQ(Flow().Params().SubTotal, 4);
}

// Leaving a practical step with Exit abandons it; the step after it is not journaled.
TEST_F(LessonTest, ExitAbandonsTheStepAndTheNextGoesUnrecorded) {
    WriteSteps(1, {{"Open", "task", "-", Params(0, 4)}, Choice(1, 2), Choice(1, 2)});
    WriteSubStep("VALVE", "head\nLDEPART TPS3 MTX-", "Q");
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Pick("VALVE", 1);
    view_.yes_no = {windows::kResultNo};
    Flow().ExitClick();
    EXPECT_EQ(User().Step, 0);  // nothing saved yet on No
    Flow().ExitClick();
    EXPECT_EQ(services_.sounds.back(), "19 wait");
    const data::ScoreBook book = ScoreFile(3);
    EXPECT_EQ(book.StepScore[0], -1);
    EXPECT_EQ(book.StepWorth[0], 16);
    EXPECT_EQ(book.StepBonus[0], 3);
    EXPECT_EQ(Flow().User().Step, 2);
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    Flow().NextClick();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    EXPECT_EQ(History(), "~-1:-1\n#F7 E1 Q3 1:1 N3 D1\n");
}

// A history journal that cannot be written is said once, with the file and the cause; the
// learner's progress is saved all the same.
TEST_F(LessonTest, UnwritableHistoryIsReportedOnceAndProgressIsSaved) {
    WriteSteps(1, {Choice(1, 1), Choice(1, 1), Choice(1, 1)});
    const std::filesystem::path history = dir_.path / "DATA" / "DEMO" / "GB" / "HST001.001";
    std::filesystem::create_directories(history);  // a folder where the journal should be
    Begin();
    for (int i = 0; i < 2; ++i) {
        Flow().UserMessage(lesson::kMsgScriptDone);
        Flow().ButtonClick(1);
        Flow().NextClick();
    }
    EXPECT_EQ(BoxesStartingWith("History not written: " + history.string() + ": "), 1);
    EXPECT_EQ(User().Step, 2);
    EXPECT_EQ(ScoreFile(3).StepVisits[0], 1);
}

// The leaving question is captioned with the Quit entry's text as the course writes it, in its
// code page.
TEST_F(LessonTest, StopQuestionIsCaptionedWithTheQuitEntry) {
    WriteSteps(1, {Choice(1, 1), Choice(1, 1)});
    Begin();
    view_.boxes.clear();
    Flow().StopClick();
    ASSERT_FALSE(view_.boxes.empty());
    EXPECT_EQ(view_.boxes.front().caption, "Qu\xEFt");
}

TEST_F(LessonTest, StoppedSessionResumesAtTheStepInProgressWithItsStage) {
    WriteSteps(1, {Choice(1, 1), Choice(1, 1), Choice(1, 1), Choice(1, 1)});
    Begin();
    for (int i = 0; i < 2; ++i) {
        Flow().UserMessage(lesson::kMsgScriptDone);
        Flow().ButtonClick(1);
        Flow().NextClick();
    }
    ASSERT_EQ(Flow().User().Step, 3);
    Flow().StopClick();
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(Flow().UserTag(), -1);
    EXPECT_EQ(User().Step, 2);
    EXPECT_EQ(ScoreFile(4).StepVisits[2], 1);

    Restart();
    journal_.clear();
    view_.boxes.clear();
    Begin();
    EXPECT_TRUE(view_.boxes.empty());  // no welcome for a returning learner
    EXPECT_TRUE(Journaled("restored CTX001.001"));
    EXPECT_EQ(Flow().User().Step, 3);
    EXPECT_EQ(Flow().Book()->StepScore[1], 1);
    EXPECT_EQ(Flow().Book()->StepVisits[2], 2);
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    EXPECT_EQ(Flow().User().Total, 3);
    EXPECT_EQ(History(), "#F7 E1 Q1 1:1 N3 D1\n#F7 E1 Q2 1:1 N3 D1\n#F7 E1 Q3 1:1 N3 D1\n");
}

TEST_F(LessonTest, CloseDuringAStepSavesItLikeStop) {
    WriteSteps(1, {Choice(1, 1), Choice(1, 1)});
    Begin();
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    Flow().NextClick();
    view_.yes_no = {windows::kResultNo};
    EXPECT_FALSE(Flow().CloseRequest());
    EXPECT_TRUE(Flow().InSession());
    EXPECT_TRUE(Flow().CloseRequest());
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(User().Step, 1);
    EXPECT_EQ(services_.sounds.back(), "GOODBYE");
}

TEST_F(LessonTest, KeysAnswerOnlyWhenTheScriptHasEnded) {
    config_.Set(data::kEvaluate, "0");
    WriteSteps(1, {Choice(2, 1), Choice(1, 1)});
    Begin();
    Flow().KeyPress('2');  // buttons still disabled
    EXPECT_EQ(User().Total, 0);
    Flow().UserMessage(lesson::kMsgScriptDone);
    engine_.at_end = false;
    Flow().KeyPress('2');
    EXPECT_EQ(User().TotalWorth, 0);
    engine_.at_end = true;
    Flow().KeyPress('7');
    Flow().KeyPress(lesson::kKeyEnter);
    EXPECT_EQ(User().TotalWorth, 0);
    Flow().KeyPress('2');
    EXPECT_EQ(User().Total, 1);
    // Escape stops the session when Stop is offered and shown, else closes the window.
    view_.stop_shown = false;
    Flow().KeyPress(lesson::kKeyEscape);
    EXPECT_TRUE(Journaled("close window"));
    EXPECT_TRUE(Flow().InSession());
    view_.stop_shown = true;
    Flow().KeyPress(lesson::kKeyEscape);
    EXPECT_FALSE(Flow().InSession());
}

TEST_F(LessonTest, AutomaticPlayAnswersAndMovesOnWithoutJournal) {
    flags_.Set(data::AutoPlay);
    flags_.auto_delay = 2;
    WriteSteps(1, {Choice(2, 5), Choice(1, 5)});
    Flow().CommencerClick();
    EXPECT_EQ(view_.user_lists, 1);  // no learner chosen yet
    EXPECT_EQ(view_.screen.timer_interval_ms, 2000);
    Begin();
    EXPECT_TRUE(view_.boxes.empty());  // no welcome in automatic play
    Flow().UserMessage(lesson::kMsgScriptDone);
    EXPECT_TRUE(view_.screen.timer_enabled);
    services_.randoms = {4};  // 4 mod 3 answers: button 2
    Flow().TimerTick();
    EXPECT_EQ(User().Total, 5);
    EXPECT_TRUE(view_.screen.timer_enabled);
    Flow().TimerTick();  // Next
    EXPECT_EQ(Flow().User().Step, 2);
    Flow().UserMessage(lesson::kMsgScriptDone);
    services_.randoms = {0};
    Flow().TimerTick();
    Flow().TimerTick();
    EXPECT_FALSE(Flow().InSession());
    EXPECT_TRUE(view_.boxes.empty());  // nor at the end of the lesson
    EXPECT_EQ(History(), "");
    // Back at the start the same learner is chosen again.
    EXPECT_EQ(view_.posted, std::deque<int>{lesson::kMsgUserChosen});
}

TEST_F(LessonTest, PresetSessionAndSkippedScriptsSaveNothing) {
    flags_.Set(data::PresetSession);
    flags_.Set(data::SkipScripts);
    WriteSteps(1, {Choice(1, 2)});
    Begin();
    EXPECT_TRUE(engine_.scripts.empty());
    EXPECT_EQ(view_.screen.button_enabled[0], true);  // the skipped script ended at once
    Flow().ButtonClick(1);
    EXPECT_EQ(Flow().User().Total, 2);
    EXPECT_EQ(store_.rewrites, 0);
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "DATA/DEMO/GB/SCO001.001"));
    EXPECT_EQ(History(), "");
}

// The learner given on the command line is chosen once: Stop (or an unknown learner) brings
// the user list back, and the next learner's session saves as any other.
TEST_F(LessonTest, APresetSessionReturnsToTheUserListOnce) {
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    flags_.Set(data::PresetSession);
    flags_.group = 1;
    flags_.user = 9;  // no such learner
    Flow().CommencerClick();
    EXPECT_EQ(Flow().UserTag(), (1 << 8) + 9);
    Flow().StartSession();
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(Flow().UserTag(), -1);
    EXPECT_EQ(view_.errors.size(), 1u) << "reported once";

    Restart();
    flags_.Set(data::PresetSession);
    flags_.user = 1;
    Flow().CommencerClick();
    Flow().StartSession();
    ASSERT_TRUE(Flow().InSession());
    EXPECT_EQ(store_.rewrites, 0);
    const int lists = view_.user_lists;
    Flow().StopClick();
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(Flow().UserTag(), -1);
    EXPECT_EQ(view_.user_lists, lists + 1);
    Begin();  // chosen in the list
    Flow().UserMessage(lesson::kMsgScriptDone);
    Flow().ButtonClick(1);
    EXPECT_GT(store_.rewrites, 0);
}

TEST_F(LessonTest, StopWithAServerUploadsScoresAndHistory) {
    store_.remote = true;
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    Begin();
    Flow().StopClick();
    ASSERT_EQ(store_.sent.size(), 2u);
    EXPECT_EQ(store_.sent[0].rfind("SCO001.001 as ?:\\", 0), 0u);
    EXPECT_NE(store_.sent[0].find("\\DATA\\DEMO\\GB\\SCO001.001"), std::string::npos);
    EXPECT_EQ(store_.sent[1].rfind("HST001.001 as ?:\\", 0), 0u);
    EXPECT_EQ(view_.notes.size(), 2u);
}

TEST_F(LessonTest, UnknownLearnerStartsNoSession) {
    WriteSteps(1, {Choice(1, 2)});
    Begin((1 << 8) + 9);
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(view_.errors.size(), 1u);
    EXPECT_EQ(view_.user_lists, 1);
}

// A lesson that cannot be opened (no step file for the level to play, a start level that does
// not exist) refuses the session and leaves the learner's record as it was.
TEST_F(LessonTest, ALessonThatCannotOpenRefusesTheSessionAndKeepsTheRecord) {
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    Begun(1, 2);
    store_.users[{1, 1}].Total = 7;
    const data::UserRecord before = User();
    const struct {
        const char* directory;
        const char* start;
        const char* file;
    } cases[] = {{"XX", "1#1#", "XXSTEP01.MSG"},
                 {"D1", "0#1#", "D1STEP00.MSG"},
                 {"D1", "zz", "D1STEP00.MSG"},
                 {"D1", "2#1#", "D1STEP02.MSG"}};
    for (const auto& c : cases) {
        Restart();
        view_.boxes.clear();
        config_.Set(data::kDirectory, c.directory);
        config_.Set(data::kStart, c.start);
        Begin();
        EXPECT_FALSE(Flow().InSession()) << c.start;
        EXPECT_EQ(store_.rewrites, 0) << c.start;
        EXPECT_EQ(User().State, before.State);
        EXPECT_EQ(User().Total, 7);
        ASSERT_EQ(view_.boxes.size(), 1u) << c.start;
        EXPECT_NE(view_.boxes[0].text.find(c.file), std::string::npos) << view_.boxes[0].text;
        EXPECT_NE(Flow().Failure().find(c.file), std::string::npos) << Flow().Failure();
        EXPECT_TRUE(engine_.scripts.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "DATA/DEMO/GB/SCO001.001"));
}

// The local record cannot be written: the learner is told once, nothing else of theirs is
// written, and the failure is kept for the tools.
TEST_F(LessonTest, AFailedRecordSaveIsReportedOnceAndStopsTheOtherFiles) {
    WriteSteps(1, {Choice(1, 2), Choice(1, 2), Choice(1, 2)});
    Begin();
    store_.read_only = true;
    Answer(1);
    Flow().NextClick();
    Answer(2);
    EXPECT_EQ(BoxesStartingWith("Record not saved"), 1);
    EXPECT_NE(Flow().Failure().find("USERS: cannot write"), std::string::npos) << Flow().Failure();
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "DATA/DEMO/GB/SCO001.001"));
    EXPECT_FALSE(Journaled("save context CTX001.001"));
    EXPECT_EQ(History(), "") << "no line for an answer whose record was not saved";
}

// The server stops answering mid-session: the learner is told once, the local progress goes on,
// and the server gets the record, the scores and the history when it answers again.
TEST_F(LessonTest, ProgressMadeWhileTheServerIsDownIsSentWhenItIsBack) {
    store_.remote = true;
    WriteSteps(1, {Choice(1, 2), Choice(1, 2), Choice(1, 2)});
    Begin();
    store_.server_up = false;
    Answer(1);
    Flow().NextClick();
    Answer(1);
    EXPECT_EQ(BoxesStartingWith("Server "), 1);
    EXPECT_EQ(User().Total, 4);
    EXPECT_TRUE(store_.sent.empty());
    EXPECT_TRUE(Flow().Failure().empty());

    store_.server_up = true;
    Flow().NextClick();
    Answer(1);
    EXPECT_EQ((store_.server_users[{1, 1}].Total), 6);
    ASSERT_EQ(store_.sent.size(), 2u);
    EXPECT_EQ(store_.sent[0].rfind("SCO001.001", 0), 0u);
    EXPECT_EQ(store_.sent[1].rfind("HST001.001", 0), 0u);
}

// The server's part follows off the window's thread: Stop waits for it once, within the store's
// bound; a server that has not taken everything by then is told once in the session, however
// often it failed, and the files go to its queue whatever happened before.
TEST_F(LessonTest, StopWaitsOnceForADeferredServerAndTellsAnOutageOnce) {
    const struct {
        bool down_in_lesson;  // the server fails a save during the lesson
        bool settles;         // it has taken everything by the end of Stop's wait
        int told;
    } cases[] = {{false, true, 0}, {false, false, 1}, {true, false, 1}};
    const data::UserRecord fresh = store_.users[{1, 1}];
    for (const auto& c : cases) {
        Restart();
        store_.users[{1, 1}] = fresh;
        SCOPED_TRACE(testing::Message() << c.down_in_lesson << c.settles);
        view_.boxes.clear();
        store_.sent.clear();
        store_.remote = true;
        store_.deferred = true;
        store_.settle_waits = 0;
        store_.server_up = true;
        store_.settles = true;
        WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
        Begin();
        store_.server_up = !c.down_in_lesson;
        Answer(1);
        EXPECT_EQ(User().Total, 2) << "the answer is kept here at once";
        store_.server_up = true;
        store_.settles = c.settles;
        Flow().StopClick();
        EXPECT_EQ(store_.settle_waits, 1);
        EXPECT_EQ(BoxesStartingWith("Server "), c.told) << c.down_in_lesson << c.settles;
        EXPECT_EQ(store_.sent.size(), 2u) << "scores and history handed to the server";
        EXPECT_FALSE(Flow().InSession());
    }
}

// A learner whose local record is ahead of the server's (progress made during an outage, then
// the player closed) brings the server up to date when their next session starts.
TEST_F(LessonTest, ALocalRecordAheadOfTheServersIsSentAtTheSessionStart) {
    store_.remote = true;
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    data::UserRecord& local = Begun(1, 2);
    local.StepStart = 900;
    local.Total = 2;
    store_.server_users[{1, 1}] = local;
    store_.server_users[{1, 1}].StepStart = 800;
    store_.server_users[{1, 1}].Total = 0;
    (void)dir_.Write("DATA/DEMO/GB/SCO001.001", std::string(16 + 24 * 2, '\0'));
    (void)dir_.Write("DATA/DEMO/GB/HST001.001", "#F7 E1 Q1 1:1 N3 D1\n");
    Begin();
    EXPECT_EQ((store_.server_users[{1, 1}].Total), 2);
    ASSERT_EQ(store_.sent.size(), 2u);
    EXPECT_EQ(store_.sent[0].rfind("SCO001.001", 0), 0u);
}

// A server that cannot be reached when the session starts: its address is named, the learner
// is released and the list comes back.
TEST_F(LessonTest, AnUnreachableServerAtTheSessionStartIsNamedAndTheListComesBack) {
    store_.remote = true;
    store_.server_up = false;
    config_.Set(data::kIPserv, "10.9.8.7");
    config_.Set(data::kIPport, "7001");
    WriteSteps(1, {Choice(1, 2)});
    Begin();
    EXPECT_FALSE(Flow().InSession());
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].text, "Server 10.9.8.7 port 7001 unreachable");
    EXPECT_TRUE(Journaled("release"));
    EXPECT_EQ(view_.user_lists, 1);
    EXPECT_EQ(store_.rewrites, 0);
}

// A server that refuses its users file: the file is named as a path of its data folder, with the
// cause in words, never in the internal "?:\\" form.
TEST_F(LessonTest, AServersRefusalNamesItsFileAsALinuxPath) {
    store_.remote = true;
    store_.server_refusal = {platform::kErrorInvalidData, "?:\\DATA\\DEMO\\FR\\USERS"};
    config_.Set(data::kIPserv, "10.9.8.7");
    config_.Set(data::kIPport, "7001");
    WriteSteps(1, {Choice(1, 2)});
    Begin();
    EXPECT_FALSE(Flow().InSession());
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].text,
              "The data server 10.9.8.7 (port 7001) cannot open DATA/DEMO/FR/USERS: Invalid data");
    EXPECT_EQ(view_.errors, std::vector<std::string>{});
    EXPECT_EQ(Flow().Failure().find(":\\"), std::string::npos) << Flow().Failure();
}

// Values no session writes mark the record damaged: the session is refused and the record kept.
TEST_F(LessonTest, AnAbsurdRecordIsReportedAndLeftAsItIs) {
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    const struct {
        int32_t data::UserRecord::*field;
        int32_t value;
        const char* words;
    } cases[] = {{&data::UserRecord::Level, 1000000000, "Level 1000000000"},
                 {&data::UserRecord::Level, -5, "Level -5"},
                 {&data::UserRecord::State, 7, "State 7"},
                 {&data::UserRecord::Total, -3, "Total -3"},
                 {&data::UserRecord::StepCount, 5000, "StepCount 5000"}};
    for (const auto& c : cases) {
        Restart();
        view_.boxes.clear();
        store_.users[{1, 1}] = data::UserTemplate();
        store_.users[{1, 1}].UserName = "Ada";
        data::UserRecord& u = Begun(1, 2);
        u.*c.field = c.value;
        const data::UserRecord before = u;
        Begin();
        EXPECT_FALSE(Flow().InSession()) << c.words;
        ASSERT_EQ(view_.boxes.size(), 1u) << c.words;
        EXPECT_EQ(view_.boxes[0].text, std::string("Damaged record (") + c.words + ")");
        EXPECT_EQ(User().*c.field, before.*c.field);
        EXPECT_EQ(store_.rewrites, 0);
    }
}

// Sums stop at the top of their range instead of wrapping round to negative numbers.
TEST_F(LessonTest, SumsNearTheirLimitStayThere) {
    WriteSteps(1, {Choice(1, 10), Choice(1, 10)});
    data::UserRecord& u = Begun(0, 2);
    u.Total = INT32_MAX - 3;
    u.TotalWorth = INT32_MAX - 3;
    (void)dir_.Write("DATA/DEMO/GB/SCO001.001", std::string(16 + 24 * 2, '\0'));
    Begin();
    ASSERT_TRUE(Flow().InSession());
    Answer(1);
    EXPECT_EQ(User().Total, INT32_MAX);
    EXPECT_EQ(User().TotalWorth, INT32_MAX);
}

TEST_F(LessonTest, ALearnerInAnotherSessionIsRefused) {
    WriteSteps(1, {Choice(1, 2)});
    store_.held_elsewhere.insert({1, 1});
    Begin();
    EXPECT_FALSE(Flow().InSession());
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].text, "Ada is busy");
    EXPECT_EQ(store_.rewrites, 0);
    EXPECT_FALSE(Flow().Failure().empty());
    EXPECT_EQ(view_.user_lists, 1);
}

// A score file that does not fit the learner's record is kept aside, never written over.
TEST_F(LessonTest, ADamagedScoreFileIsKeptAsideAndReported) {
    WriteSteps(1, {Choice(1, 2), Choice(1, 2)});
    Begun(1, 2);
    const std::string score = (dir_.path / "DATA/DEMO/GB/SCO001.001").string();
    const std::string damaged(16 + 24 * 2 + 1, '\7');
    (void)dir_.Write("DATA/DEMO/GB/SCO001.001", damaged);
    // Leftovers of replacements killed half-way go at the session start.
    (void)dir_.Write("DATA/DEMO/GB/.SCO001.001.replaceAb12Cd", "cut");
    Begin();
    EXPECT_TRUE(Flow().InSession());
    EXPECT_EQ(support::TempFolder::Read(score + ".damaged"), damaged);
    ASSERT_FALSE(view_.boxes.empty());
    EXPECT_EQ(view_.boxes[0].text,
              "Damaged (size 65 bytes, 64 expected for 2 steps), kept as " + score + ".damaged");
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "DATA/DEMO/GB/.SCO001.001.replaceAb12Cd"));
}

// A learner the users file does not hold: the error names that file, and the list comes back.
TEST_F(LessonTest, UnknownLearnerNamesTheUsersFileAndReturnsToTheList) {
    WriteSteps(1, {Choice(2, 10)});
    Begin((1 << 8) + 9);
    ASSERT_EQ(view_.errors.size(), 1u);
    EXPECT_EQ(view_.errors[0],
              course_.UsersFile() + " #" + std::to_string(platform::kErrorFileNotFound));
    EXPECT_NE(course_.UsersFile().find("USERS"), std::string::npos);
    EXPECT_EQ(view_.user_lists, 1);
    EXPECT_TRUE(engine_.scripts.empty());
}

// A users file that cannot be read is told with its own cause, not as a missing learner.
TEST_F(LessonTest, AnUnreadableUsersFileIsToldWithItsCause) {
    WriteSteps(1, {Choice(2, 10)});
    store_.users_unreadable = platform::Status(EACCES, "/course/DATA/USERS.dat");
    Begin((1 << 8) + 1);
    ASSERT_EQ(view_.errors.size(), 1u);
    EXPECT_EQ(view_.errors[0], "/course/DATA/USERS.dat #" + std::to_string(EACCES));
    EXPECT_EQ(Flow().Failure(), platform::Status(EACCES, "/course/DATA/USERS.dat").Text());
    EXPECT_FALSE(Flow().InSession());
    EXPECT_EQ(view_.user_lists, 1);
}

}  // namespace
}  // namespace lesson_test
