// Saving a learner's progress after an event (an answer, a step left, a stop, the lesson's end):
// the user record (on the data server, then here), the stage's context, the score file and the
// history line, in that order, with one failure policy:
// - the record comes first: when it cannot be written here, nothing else is written, so that
//   scores and history never run ahead of the record they belong to (the history then stays
//   closed for the session, so it never holds a line after a gap);
// - a server that does not take the record is caught up later (the record, then the score and
//   history files) while the progress goes on here;
// - the context, the score file and the history line do not depend on each other: each is
//   attempted even when another failed;
// - each kind of failure is told to the learner once per session, in the course's texts, and
//   the first one here is kept for the tools (Failure).
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "data/ScoreBook.h"
#include "data/UserRecord.h"
#include "lesson/HistoryFile.h"
#include "lesson/LearnerStore.h"
#include "lesson/LessonEngine.h"
#include "lesson/LessonScreen.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonView.h"

namespace lesson {

// The history line an event adds.
struct HistoryLine {
    enum Kind { kNone, kAnswer, kAbandon };
    Kind kind = kNone;
    int f_number = 0;  // kAnswer: the step's F parameter and the two answers
    int expected = 0;
    int given = 0;
};

// The learner's files, in the order they are written.
enum class SavedFile { kRecord, kServer, kContext, kScores, kHistory };
inline constexpr int kSavedFiles = 5;

// A failure to tell the learner: the course's text (empty when the course has none: the system's
// error box then names subject and code).
struct SaveNotice {
    std::string text;
    std::string caption;
    std::string subject;
    int code = 0;
    int icon = 0;
};

// How one save went.
struct SaveOutcome {
    std::array<bool, kSavedFiles> failed{};
    std::vector<SaveNotice> notices;  // failures not told before in this session

    bool Failed(SavedFile file) const { return failed[static_cast<int>(file)]; }
    // The points reached the learner's files here: the record and the score file.
    bool PointsKept() const { return !Failed(SavedFile::kRecord) && !Failed(SavedFile::kScores); }
    // Everything asked was written here (the server's copy may follow later).
    bool Kept() const {
        return PointsKept() && !Failed(SavedFile::kContext) && !Failed(SavedFile::kHistory);
    }
};

class AnswerSaver {
  public:
    // screen: the flow's screen, shown before a failure is told.
    AnswerSaver(const LessonSettings& settings, LessonView& view, LessonEngine& engine,
                LearnerStore& store, const LessonScreen& screen)
        : settings_(settings), view_(view), engine_(engine), store_(store), screen_(screen) {}

    // A session starts for user: forgets what was told, removes the temporaries a killed save
    // left beside the learner's files and, when the server's copy is behind (server_behind),
    // sends it the record and the files.
    void Begin(const data::UserRecord& user, bool server_behind);
    // Opens the history for the session: appending for a returning learner, otherwise empty.
    // A failure is told at once.
    void OpenHistory(const data::UserRecord& user, bool append);
    // Writes the record, the context (with_context), the score file and the line, and the
    // server's catch-up; nothing when the session saves no progress. Shows nothing: Tell does.
    [[nodiscard]] SaveOutcome Save(const data::UserRecord& user, const data::ScoreBook& book,
                                   bool with_context, const HistoryLine& line);
    // Shows the screen, then the outcome's failures.
    void Tell(const SaveOutcome& outcome);
    // The session ends: with a server, the score and history files are sent to it (each first
    // announced through announce) unless the record could not be saved; the history closes.
    void End(const data::UserRecord& user, const std::function<void(const std::string&)>& announce);
    // The history closes (the window closes during a session).
    void Close() { history_.Close(); }

    // The first failure to write here in this session, in words; empty when all went well.
    const std::string& Failure() const { return failure_; }

  private:
    std::string ScorePath(const data::UserRecord& user) const;
    std::string HistoryPath(const data::UserRecord& user) const;
    void SaveRecord(const data::UserRecord& user, SaveOutcome& outcome);
    void WriteLine(const data::UserRecord& user, const HistoryLine& line, SaveOutcome& outcome);
    void HistoryFailed(const data::UserRecord& user, int error, SaveOutcome& outcome);
    void CatchUpServer(const data::UserRecord& user);
    bool SendFiles(const data::UserRecord& user,
                   const std::function<void(const std::string&)>& announce);
    // Marks file failed in outcome; the first failure of its kind in the session is told (text
    // with its caption and icon) and, for a file here, kept as the session's failure.
    void Fail(SavedFile file, SaveOutcome& outcome, SaveNotice notice, const std::string& why);
    void ServerBehind(SaveOutcome& outcome);

    const LessonSettings& settings_;
    LessonView& view_;
    LessonEngine& engine_;
    LearnerStore& store_;
    const LessonScreen& screen_;
    HistoryFile history_;
    std::array<bool, kSavedFiles> told_{};
    bool record_failed_ = false;  // the record could not be written here this session
    bool server_behind_ = false;  // the server lacks progress made in this session
    std::string failure_;
};

}  // namespace lesson
