// The interpreter: ticks, control keywords, calls, waiting and errors.
#include <gtest/gtest.h>

#include "EngineFixture.h"

namespace script {
namespace {

// A marker instruction: asks a question whose text records that this point was reached.
std::string Mark(const std::string& name) {
    return "$99 = DialogBox \"" + name + "\", OK\n";
}

class InterpreterTest : public EngineFixture {
  protected:
    std::vector<std::string> Marks() const {
        std::vector<std::string> out;
        for (const Question& q : host_.questions) {
            if (q.icon == 48) out.push_back(q.text);
        }
        return out;
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> out;
        for (const Question& q : host_.questions) {
            if (q.icon == 16) out.push_back(q.text);
        }
        return out;
    }
};

TEST_F(InterpreterTest, OneInstructionPerTickThenTheEnd) {
    WriteScript("THREE", ".lines off\n" + Mark("a") + Mark("b") + Mark("c"));
    engine_->OpenScript("THREE");
    EXPECT_TRUE(engine_->TimerActive());
    Ticks(3);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(engine_->Ended());
    EXPECT_EQ(host_.ended_count, 0);
    Ticks(1);
    EXPECT_TRUE(engine_->Ended());
    EXPECT_EQ(host_.ended_count, 1);
    EXPECT_FALSE(engine_->TimerActive());
    Ticks(5);
    EXPECT_EQ(host_.ended_count, 1);  // told once
    EXPECT_EQ(TraceLines("LDE# read").size(), 4u);
    EXPECT_TRUE(Traced("LDE# open THREE @ -1"));
}

TEST_F(InterpreterTest, EmptyScriptEndsOnTheFirstTickAndMinusNameOpensNothing) {
    WriteScript("EMPTY", "");
    engine_->OpenScript("EMPTY");
    Ticks(1);
    EXPECT_EQ(host_.ended_count, 1);
    engine_->OpenScript("STEP-");
    EXPECT_EQ(host_.ended_count, 2);
    EXPECT_TRUE(TraceLines("LDE# open STEP-").empty());
}

TEST_F(InterpreterTest, IfComparesIgnoringCase) {
    host_.AddAnswer("YES");
    WriteScript("IF",
                ".lines off\n$0 = DialogBox \"q\", YESNO\n"
                "If &1, \"yes\", a\n" +
                    Mark("equal") +
                    "a:\n"
                    "If &1, \"no\", b\n" +
                    Mark("different") + "b:\n");
    RunToEnd("IF");
    EXPECT_EQ(Marks(), (std::vector<std::string>{"q", "equal"}));
    EXPECT_TRUE(Traced("LDE# sval:yes data:YES"));
}

TEST_F(InterpreterTest, IfReadsConfigurationValues) {
    config_.Set(data::kLanguage, "FR");
    WriteScript("CFG", ".lines off\nIf LANG, \"fr\", x\n" + Mark("french") +
                           "x:\n"
                           "If RAND, \"\", y\n" +
                           Mark("empty") + "y:\n");
    RunToEnd("CFG");
    EXPECT_EQ(Marks(), (std::vector<std::string>{"french", "empty"}));
}

TEST_F(InterpreterTest, SwitchTakesOneCaseAndCaseTakenCarriesOverUntilAJump) {
    host_.AddAnswer("NO");
    WriteScript("SW",
                ".lines off\n$0 = DialogBox \"q\", YESNO\n"
                "Switch\n"
                "Case &1, \"yes\", c2\n" +
                    Mark("yes") +
                    "EndCase end1\n"
                    "c2:\nCase &1, \"no\", c3\n" +
                    Mark("no") +
                    "EndCase end1\n"
                    "c3:\nCase &1, \"no\", end1\n" +
                    Mark("no again") +
                    "EndCase end1\n"
                    "end1:\nEndSwitch\n"
                    // Case-taken is still on: this Case does not test and runs its body.
                    "Switch\nCase &1, \"cancel\", end2\n" +
                    Mark("carried") +
                    "EndCase end2\n"
                    "end2:\nEndSwitch\nGoTo next\nnext:\n"
                    // After a GoTo the Case tests again.
                    "Case &1, \"cancel\", end3\n" +
                    Mark("tested") + "end3:\n");
    RunToEnd("SW");
    EXPECT_EQ(Marks(), (std::vector<std::string>{"q", "no", "carried"}));
}

TEST_F(InterpreterTest, LoopRunsItsBodyCountTimes) {
    for (int count : {1, 3, 5}) {
        host_.questions.clear();
        WriteScript("LOOP", ".lines off\nhead:\nLoop " + std::to_string(count) + ", out\n" +
                                Mark("body") + "EndLoop head\nout:\n" + Mark("after"));
        RunToEnd("LOOP");
        std::vector<std::string> expected(static_cast<size_t>(count), "body");
        expected.push_back("after");
        EXPECT_EQ(Marks(), expected) << count;
        EXPECT_EQ(engine_->LoopDepth(), 0u);
    }
}

TEST_F(InterpreterTest, LoopCountZeroNeverEnds) {
    WriteScript("FOREVER",
                ".lines off\nhead:\nLoop 0, out\n" + Mark("body") + "EndLoop head\nout:\n");
    Run("FOREVER", 300);
    EXPECT_FALSE(engine_->Ended());
    EXPECT_EQ(Marks().size(), 100u);
}

TEST_F(InterpreterTest, NestedLoopsKeepTheirOwnCounters) {
    WriteScript("NEST", ".lines off\nouter:\nSyncLoop 2, out\n" + Mark("o") +
                            "inner:\nLoop 3, in_out\n" + Mark("i") +
                            "EndLoop inner\nin_out:\n"
                            "EndSyncLoop outer\nout:\n");
    RunToEnd("NEST");
    EXPECT_EQ(Marks(), (std::vector<std::string>{"o", "i", "i", "i", "o", "i", "i", "i"}));
}

TEST_F(InterpreterTest, SixthNestedLoopIsRefusedAndSkipped) {
    std::string src = ".lines off\n";
    for (int d = 1; d <= 6; ++d)
        src += "h" + std::to_string(d) + ":\nLoop 1, x" + std::to_string(d) + "\n";
    src += Mark("deepest");
    for (int d = 6; d >= 1; --d) {
        if (d == 5) src += Mark("level5");
        src += "EndLoop h" + std::to_string(d) + "\nx" + std::to_string(d) + ":\n";
    }
    WriteScript("DEEP", src);
    RunToEnd("DEEP");
    EXPECT_TRUE(engine_->Ended());
    EXPECT_EQ(engine_->LastError(), kErrNesting);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"level5"}));
    EXPECT_EQ(engine_->LoopDepth(), 0u);
}

TEST_F(InterpreterTest, CallRunsTheScriptAndReturnsWithTheCallersVariablesCleared) {
    WriteScript("SUB", ".lines off\n$0 = DialogBox \"in sub\", OK\n$1 = BmpExist 3\n");
    WriteScript("MAIN",
                ".lines off\n$0 = DialogBox \"before\", OK\nCall \"SUB\"\n"
                "$5 = BmpExist 4\n");
    engine_->OpenScript("MAIN");
    Ticks(3);  // before, Call, "in sub"
    EXPECT_EQ(engine_->CallDepth(), 1);
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"OK"}));
    EXPECT_EQ(Vars(1), (std::vector<std::string>{"OK"}));
    Ticks(2);  // BmpExist in SUB, end of SUB: back in MAIN
    EXPECT_EQ(engine_->CallDepth(), 0);
    EXPECT_TRUE(Vars(0).empty());
    Ticks(2);
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"FALSE"}));
    EXPECT_TRUE(engine_->Ended());
    EXPECT_EQ(host_.ended_count, 1);
    EXPECT_EQ(TraceLines("LDE# open .\\LDE\\MAIN @ ").size(), 1u);
}

TEST_F(InterpreterTest, FifthNestedCallIsRefused) {
    WriteScript("R", ".lines off\nCall \"R\"\n" + Mark("after call"));
    RunToEnd("R");
    EXPECT_TRUE(engine_->Ended());
    EXPECT_EQ(engine_->LastError(), kErrNesting);
    EXPECT_EQ(Errors().size(), 1u);
    EXPECT_EQ(Marks().size(), 5u);  // each of the five levels goes on after its call
}

TEST_F(InterpreterTest, ReducedMotionShowsMovesAndSizesAtTheirEnd) {
    engine_->SetReduceMotion(true);
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("CALM",
                ".lines off\nBmp \"P\", 0, 0 @ 5\nMoveTo 20, 0, 7 @ 5\n"
                "Width 30, 2 @ 5\nHide @ 5\n");
    engine_->OpenScript("CALM");
    Ticks(3);  // created, moved, widened: nothing left to wait for
    const StageObject* o = engine_->Find(kBmp, 5);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->rec.x, 20);
    EXPECT_EQ(o->rec.width, 30);
    Ticks(1);
    EXPECT_FALSE(o->rec.visible);
}

TEST_F(InterpreterTest, ObjectCommandWaitsForItsTargetToStopMoving) {
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("WAIT", ".lines off\nBmp \"P\", 0, 0 @ 5\nMoveTo 20, 0, 7 @ 5\nHide @ 5\n");
    engine_->OpenScript("WAIT");
    Ticks(2);  // created, moving: x = 7 after the second tick's animation
    const StageObject* o = engine_->Find(kBmp, 5);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(o->rec.x, 7);
    Ticks(2);  // Hide waits while x goes 14, 20
    EXPECT_TRUE(o->rec.visible);
    EXPECT_EQ(o->rec.x, 20);
    Ticks(1);
    EXPECT_FALSE(o->rec.visible);
    const auto reads = TraceLines("LDE# read WAIT @ 40");
    EXPECT_GE(reads.size(), 2u);
}

TEST_F(InterpreterTest, SyncWaitsForEveryMovingImage) {
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("SYNC",
                ".lines off\nBmp \"P\", 0, 0 @ 1\nBmp \"P\", 0, 0 @ 2\n"
                "MoveX 30, 10 @ 1\nMoveY 50, 10 @ 2\nSync\n" +
                    Mark("done"));
    engine_->OpenScript("SYNC");
    int ticks = 0;
    while (Marks().empty() && ticks < 50) {
        Ticks(1);
        ++ticks;
    }
    EXPECT_EQ(engine_->Find(kBmp, 1)->rec.x, 30);
    EXPECT_EQ(engine_->Find(kBmp, 2)->rec.y, 50);
    EXPECT_EQ(ticks, 9);  // MoveY starts on tick 4 and needs five steps; Sync lets go on tick 9
}

TEST_F(InterpreterTest, SuspendPausesForTimerIntervals) {
    WriteScript("NAP", ".lines off\nTimer 100\nSuspend 3\n" + Mark("awake"));
    engine_->OpenScript("NAP");
    Ticks(2);
    EXPECT_EQ(engine_->TimerInterval(), 100);
    EXPECT_NE(engine_->WakeUp(), 0);
    Ticks(3);
    EXPECT_TRUE(Marks().empty());
    Ticks(1);
    EXPECT_EQ(Marks(), (std::vector<std::string>{"awake"}));
}

TEST_F(InterpreterTest, DialogAnswersAndAutomaticPlay) {
    config_.Set(data::kLanguage, "GB");
    for (const char* a : {"YES", "NO", "CANCEL"}) host_.AddAnswer(a);
    WriteScript("ASK",
                ".lines off\n$0 = DialogBox \"Lang %LANG% %LANG%\", YESNO\n"
                "$1 = DialogBox \"b\", YESNOCANCEL, 30, 40\n$0 = DialogBox \"c\", OK\n");
    RunToEnd("ASK");
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"CANCEL", "NO"}));
    ASSERT_EQ(host_.questions.size(), 3u);
    EXPECT_EQ(host_.questions[0].text, "Lang GB %LANG%");  // first occurrence only
    EXPECT_EQ(host_.questions[0].buttons, 8);
    EXPECT_EQ(host_.questions[0].caption, "Course");
    EXPECT_EQ(host_.questions[1].buttons, 16);
    EXPECT_TRUE(host_.questions[1].placed);
    EXPECT_EQ(host_.questions[1].x, 30);
    EXPECT_EQ(host_.questions[1].y, 40);

    options_.Set(data::AutoPlay);
    host_.questions.clear();
    RunToEnd("ASK");
    EXPECT_TRUE(host_.questions.empty());
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"OK", "OK"}));
}

TEST_F(InterpreterTest, ReadMessageStoresTheTextOrNothing) {
    config_.Set(data::kLanguage, "GB");
    config_.Set(data::kDirectory, "D_");
    WriteMessages("GB", "D_TEXTS", {"zero", "one", "two"});
    // The script's own message file: the prefix, then the script's name (which has it too).
    WriteMessages("GB", "D_D_RM", {"own zero", "own one"});
    WriteScript("D_RM",
                ".lines off\n$0 = ReadMessage 2, \"TEXTS\"\n$1 = ReadMessage 1\n"
                "$2 = ReadMessage 1, \"MISSING\"\n");
    RunToEnd("RM");
    EXPECT_EQ(Vars(0), (std::vector<std::string>{"two", "own one"}));
}

TEST_F(InterpreterTest, TopLevelEndKeepsTheTimerWhileObjectsMove) {
    WritePicture("P", 4, 4, Qt::red);
    WriteScript("GO", ".lines off\nBmp \"P\", 0, 0 @ 1\nMoveTo 100, 0, 10 @ 1\n");
    Run("GO", 3);
    EXPECT_TRUE(engine_->Ended());
    EXPECT_TRUE(engine_->TimerActive());
    Ticks(20);
    EXPECT_EQ(engine_->Find(kBmp, 1)->rec.x, 100);
    EXPECT_FALSE(engine_->TimerActive());
}

struct ErrorCase {
    const char* name;
    const char* source;
    int code;
    int tick;  // the tick that reports it
    const char* trace;
};

class ErrorTest : public InterpreterTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorTest, ReportsWithItsTextAndTraceLineThenGoesOn) {
    const ErrorCase& c = GetParam();
    WritePicture("P", 4, 4, Qt::red);
    WriteScript(c.name, std::string(c.source) + "$9 = BmpExist 1\n");
    engine_->OpenScript(c.name);
    Ticks(c.tick);
    EXPECT_EQ(engine_->LastError(), c.code);
    EXPECT_TRUE(Traced(c.trace)) << c.trace << "\nlast: " << TraceLines("LDE# **error**").back();
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_EQ(host_.questions.back().caption, "Lesson script error");
    EXPECT_EQ(host_.questions.back().buttons, 3);
    for (int i = 0; i < 50 && !engine_->Ended(); ++i) Ticks(1);
    EXPECT_TRUE(engine_->Ended());
    ASSERT_FALSE(Vars(0).empty());  // the instruction after the failing one ran
    EXPECT_EQ(Vars(0).back(), "FALSE");
}

INSTANTIATE_TEST_SUITE_P(
    Codes, ErrorTest,
    ::testing::Values(
        ErrorCase{"OPCODE", ".lines off\n.word 2000\n", kErrUnknownOpcode, 1,
                  "LDE# **error** Unknown command #2000 (2000) in OPCODE, line 0 (errno 1, "
                  "function 2000) @ 0 (id -1/)"},
        ErrorCase{"PICTURE", "Bmp \"NONE\", 1, 2 @ 4\n", kErrPicture, 2,
                  "LDE# **error** Picture BMP\\NONE.BMP cannot be loaded (errno 2)"},
        ErrorCase{"SCRIPT", ".lines off\nCall \"NOWHERE\"\n", kErrScript, 1,
                  "LDE# **error** Script .\\LDE\\NOWHERE cannot be opened (errno 3)"},
        ErrorCase{"EXISTS", ".lines off\nBmp \"P\", 1, 2 @ 4\nBmp \"P\", 3, 4 @ 4\n", kErrExists, 2,
                  "LDE# **error** Object P (4) already exists: Bmp in EXISTS, line 0 (errno 13, "
                  "function 0) @ 0 (id 4/P)"},
        ErrorCase{"MISSING", "Show @ 77\n", kErrNotFound, 2,
                  "LDE# **error** Object 77 not found: Show in MISSING, line 1 (errno 15, "
                  "function 8) @ 1 (id 77/)"},
        ErrorCase{"CURSOR", ".lines off\nBmp \"P\", 1, 2 @ 4\nSetCursor \"curs77\" @ 4\n",
                  kErrCreate, 2,
                  "LDE# **error** Object 50 cannot be created: SetCursor in CURSOR, line 0 "
                  "(errno 8, function 25) @ 0 (id 50/curs77)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InterpreterTest, TheHundredAndFirstObjectIsRefused) {
    WritePicture("P", 2, 2, Qt::red);
    std::string src = ".lines off\n";
    for (int id = 1; id <= 101; ++id) src += "Bmp \"P\", 0, 0 @ " + std::to_string(id) + "\n";
    WriteScript("MANY", src);
    RunToEnd("MANY", 200);
    EXPECT_EQ(engine_->LastError(), kErrCreate);
    EXPECT_EQ(engine_->Find(kBmp, 101), nullptr);
    EXPECT_EQ(engine_->Identifiers(kBmp).size(), 100u);
    EXPECT_EQ(engine_->ObjectsInOrder(kBmp).size(), 100u);
    EXPECT_TRUE(
        Traced("LDE# **error** Object 101 cannot be created: Bmp in MANY, line 0 "
               "(errno 8, function 0) @ 0 (id 101/P)"));
}

TEST_F(InterpreterTest, EngineMessageFileSuppliesErrorTexts) {
    config_.Set(data::kLanguage, "GB");
    WriteMessages(
        "GB", "VTE",
        {"", "No script %1", "", "", "", "", "Nothing numbered %1 here", "", "Script trouble"});
    engine_->Start();
    WriteScript("V", "Hide @ 12\n");
    RunToEnd("V");
    ASSERT_EQ(Errors().size(), 1u);
    EXPECT_NE(Errors()[0].find("12"), std::string::npos) << Errors()[0];
    EXPECT_EQ(host_.questions.back().caption, "Script trouble");
}

}  // namespace
}  // namespace script
