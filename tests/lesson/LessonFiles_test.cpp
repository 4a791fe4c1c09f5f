// The learner's score, history and context files as the session writes and reads them.
#include <gtest/gtest.h>

#include <cerrno>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "data/CoursePaths.h"
#include "data/ScoreFile.h"
#include "lesson/ContextFiles.h"
#include "lesson/HistoryFile.h"
#include "lesson/ScoreFiles.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"

namespace {

struct Box {
    std::string text, caption;
    int icon, buttons;
};

class RecordingPrompter : public lesson::Prompter {
  public:
    int Ask(const std::string& text, const std::string& caption, int icon, int buttons,
            bool) override {
        boxes.push_back({text, caption, icon, buttons});
        return windows::kResultOk;
    }
    void ShowSystemError(const std::string& text, int code) override {
        errors.push_back(text + " #" + std::to_string(code));
    }
    void ShowFailure(const platform::Status& failure) override {
        errors.push_back(failure.what() + " #" + std::to_string(failure.code()));
    }
    void ShowStatusNote(const std::string& text) override { notes.push_back(text); }

    std::vector<Box> boxes;
    std::vector<std::string> errors, notes;
};

// An engine whose Save writes an empty file and whose Restore succeeds for existing files.
class FileEngine : public lesson::LessonEngine {
  public:
    void Start() override {}
    void DrawBackground() override {}
    void SetBackgroundSize(int, int, int32_t) override {}
    void OpenScript(const std::string&) override {}
    bool ScriptAtEnd() const override { return true; }
    bool SaveObjects(const std::string& path) override {
        saved.push_back(path);
        if (fail_saves) return false;
        std::ofstream(path).put('x');
        return true;
    }
    bool RestoreObjects(const std::string& path) override {
        tried.push_back(path);
        return std::filesystem::exists(path);
    }
    int TryCount() const override { return 0; }
    std::vector<lesson::PendingPick> PendingPicks() const override { return {}; }
    void ClearPick(int, int) override {}

    bool fail_saves = false;
    std::vector<std::string> saved, tried;
};

class LessonFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        course_ = std::make_unique<data::Course>((dir_.path / "PLAYER").string());
        text::MessageContent common;
        common.texts.resize(81);
        common.formats.resize(81);
        common.texts[76] = "File error";
        common.texts[78] = "Cannot %1 the score file %2";
        common.formats[78] = "%s %s";
        common.texts[80] = "Saved in %1";
        common.formats[80] = "%s";
        const std::string path = dir_.Write("COMMON.MSG", text::EncodeMessageFile(common));
        ASSERT_TRUE(course_->Common().Open(path));
        ASSERT_TRUE(course_->Trace().Open((dir_.path / "trace.log").string()));
        course_->Config().Set(data::kDirectory, "ABC");
        course_->Product().data_dir = "DATA";
        settings_.course = course_.get();
        site_ = {(dir_.path / "USERS").string(), 1, 2, 5};
    }

    std::string TraceText() {
        return support::TempFolder::Read((dir_.path / "trace.log").string());
    }

    support::TempFolder dir_;
    std::unique_ptr<data::Course> course_;
    lesson::LessonSettings settings_;
    RecordingPrompter prompter_;
    lesson::ScoreSite site_;
};

TEST_F(LessonFilesTest, ScoresRoundTripThroughTheUsersFolder) {
    data::ScoreBook book;
    book.LevelSteps[0] = 5;
    book.StepScore[4] = 7;
    ASSERT_TRUE(lesson::SaveScores(settings_, book, site_).ok());
    const std::string path = (dir_.path / "USERS" / "SCO001.002").string();
    EXPECT_EQ(std::filesystem::file_size(path), 136u);
    data::ScoreBook back;
    ASSERT_TRUE(lesson::RestoreScores(settings_, prompter_, back, site_));
    EXPECT_EQ(back.StepScore[4], 7);
    EXPECT_EQ(back.LevelSteps[0], 5);
    EXPECT_TRUE(prompter_.boxes.empty());
}

// Saving says why it failed and shows nothing (the learner is told by the saver); restoring
// tells the learner itself.
TEST_F(LessonFilesTest, StepCountOutOfRangeFailsAndWritesNothing) {
    course_->Flags().Set(data::Trace);
    site_.step_count = 1024;
    data::ScoreBook book;
    const std::string path = (dir_.path / "USERS" / "SCO001.002").string();
    const platform::Status saved = lesson::SaveScores(settings_, book, site_);
    EXPECT_EQ(saved.code(), ERANGE);
    EXPECT_EQ(saved.what(), path);
    book.StepScore[0] = 3;
    EXPECT_FALSE(lesson::RestoreScores(settings_, prompter_, book, site_));
    EXPECT_EQ(book.StepScore[0], 3);
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "USERS" / "SCO001.002"));
    ASSERT_EQ(prompter_.boxes.size(), 1u);
    EXPECT_EQ(prompter_.boxes[0].text, "Cannot rd the score file " + path);
    EXPECT_EQ(prompter_.boxes[0].caption, "File error");
    EXPECT_EQ(prompter_.boxes[0].icon, windows::kIconError);
    EXPECT_EQ(prompter_.boxes[0].buttons, windows::kButtonOk);
    const std::string trace = TraceText();
    EXPECT_NE(trace.find(">restoreScore> 1024 1024\n"), std::string::npos) << trace;
}

TEST_F(LessonFilesTest, PresetSessionAndRemovableMediaSaveNothing) {
    data::ScoreBook book;
    course_->Flags().Set(data::PresetSession);
    EXPECT_TRUE(lesson::SaveScores(settings_, book, site_).ok());
    course_->Flags().Clear(data::PresetSession);
    course_->SetRemovableMedia(true);
    EXPECT_TRUE(lesson::SaveScores(settings_, book, site_).ok());
    EXPECT_TRUE(lesson::RestoreScores(settings_, prompter_, book, site_));
    FileEngine engine;
    EXPECT_TRUE(lesson::SaveContext(settings_, prompter_, engine, {1, 2, 1, 3}).ok());
    EXPECT_TRUE(engine.saved.empty());
    EXPECT_FALSE(std::filesystem::exists(dir_.path / "USERS"));
    EXPECT_TRUE(prompter_.boxes.empty());
    // Restoring without a score file (a preset session reads one) is reported.
    course_->SetRemovableMedia(false);
    EXPECT_FALSE(lesson::RestoreScores(settings_, prompter_, book, site_));
    EXPECT_EQ(prompter_.boxes.size(), 1u);
}

TEST_F(LessonFilesTest, HistoryLinesAppendForAReturningLearner) {
    const std::string path = data::HistoryPath(dir_.path.string(), "GROUPS", 3, 1);
    EXPECT_EQ(std::filesystem::path(path).filename(), "HST003.001");
    lesson::HistoryFile history;
    ASSERT_TRUE(history.OpenHistory(path, false));
    EXPECT_TRUE(history.WriteAnswerRecord(12, 1, 4, 2, 3, 3, "D1"));
    EXPECT_TRUE(history.WriteAbandonRecord());
    history.Close();
    ASSERT_TRUE(history.OpenHistory(path, true));
    history.WriteAnswerRecord(0, 1, 5, 1, 1, 3, "D1");
    EXPECT_EQ(support::TempFolder::Read(path),
              "#F12 E1 Q4 2:3 N3 D1\n~-1:-1\n#F0 E1 Q5 1:1 N3 D1\n");
    // A new learner's history starts empty.
    ASSERT_TRUE(history.OpenHistory(path, false));
    history.WriteAbandonRecord();
    EXPECT_EQ(support::TempFolder::Read(path), "~-1:-1\n");
    // A history cut in the middle of a line (a kill mid-write) gets the next record on a line
    // of its own.
    history.Close();
    (void)dir_.Write("GROUPS/HST003.001", "~-1:-1\n#F12 E1");
    ASSERT_TRUE(history.OpenHistory(path, true));
    history.WriteAbandonRecord();
    EXPECT_EQ(support::TempFolder::Read(path), "~-1:-1\n#F12 E1\n~-1:-1\n");
    // Closed, records are dropped without harm.
    history.Close();
    EXPECT_FALSE(history.WriteAbandonRecord());
}

TEST_F(LessonFilesTest, ContextGoesPerUserOrPerStep) {
    FileEngine engine;
    ASSERT_TRUE(lesson::SaveContext(settings_, prompter_, engine, {1, 2, 2, 7}).ok());
    EXPECT_EQ(std::filesystem::path(engine.saved.back()).filename(), "CTX001.002");
    EXPECT_TRUE(prompter_.notes.empty());

    course_->Flags().Set(data::StepContext);
    ASSERT_TRUE(lesson::SaveContext(settings_, prompter_, engine, {1, 2, 2, 7}).ok());
    const std::filesystem::path step_file = engine.saved.back();
    EXPECT_EQ(step_file.filename(), "ABCS02Q07N1.CTX");
    EXPECT_EQ(step_file.parent_path().filename(), "CTX");
    EXPECT_TRUE(std::filesystem::exists(step_file));
    ASSERT_EQ(prompter_.notes.size(), 1u);
    EXPECT_EQ(prompter_.notes[0], "Saved in \\CTX\\ABCS02Q07N1.CTX");

    engine.fail_saves = true;
    const platform::Status failed = lesson::SaveContext(settings_, prompter_, engine, {1, 2, 2, 7});
    // The engine said no reason: the status names an input/output error, never "-1".
    EXPECT_EQ(failed.code(), EIO);
    EXPECT_EQ(failed.what(), step_file.string());
    EXPECT_TRUE(prompter_.errors.empty());
}

TEST_F(LessonFilesTest, RestoreTriesTheStepThenTheUserAndReportsOnlyToDevelopers) {
    FileEngine engine;
    // Nothing done yet: nothing to restore.
    EXPECT_FALSE(lesson::RestoreContext(settings_, prompter_, engine, {1, 2, 1, 0}));
    EXPECT_TRUE(engine.tried.empty());

    EXPECT_FALSE(lesson::RestoreContext(settings_, prompter_, engine, {1, 2, 1, 3}));
    ASSERT_EQ(engine.tried.size(), 2u);
    EXPECT_EQ(std::filesystem::path(engine.tried[0]).filename(), "ABCS01Q03N1.CTX");
    EXPECT_EQ(std::filesystem::path(engine.tried[1]).filename(), "CTX001.002");
    EXPECT_TRUE(prompter_.errors.empty());

    course_->Flags().Set(data::Developer);
    EXPECT_FALSE(lesson::RestoreContext(settings_, prompter_, engine, {1, 2, 1, 3}));
    EXPECT_EQ(prompter_.errors.size(), 2u);

    // The per-user file is found; with NoStepContextRestore the step file is not tried.
    course_->Flags().Clear(data::Developer);
    (void)dir_.Write("DATA/CTX/CTX001.002", "");
    course_->Flags().Set(data::NoStepContextRestore);
    engine.tried.clear();
    EXPECT_TRUE(lesson::RestoreContext(settings_, prompter_, engine, {1, 2, 1, 3}));
    ASSERT_EQ(engine.tried.size(), 1u);
    EXPECT_EQ(std::filesystem::path(engine.tried[0]).filename(), "CTX001.002");
}

}  // namespace
