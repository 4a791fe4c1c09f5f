#include "lesson/AnswerSaver.h"

#include <cerrno>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/RemoteClient.h"
#include "lesson/ContextFiles.h"
#include "lesson/ScoreFiles.h"
#include "platform/Path.h"
#include "platform/ReplaceFile.h"

namespace lesson {

std::string AnswerSaver::ScorePath(const data::UserRecord& user) const {
    return data::ScorePath(settings_.course->Root(), store_.UsersFolder(), user.UserNo,
                           user.GroupNo);
}

std::string AnswerSaver::HistoryPath(const data::UserRecord& user) const {
    return data::HistoryPath(settings_.course->Root(), store_.GroupsFolder(), user.UserNo,
                             user.GroupNo);
}

void AnswerSaver::Begin(const data::UserRecord& user, bool server_behind) {
    told_ = {};
    record_failed_ = false;
    server_behind_ = server_behind;
    failure_.clear();
    history_.Close();
    if (!settings_.SavesProgress()) return;
    const std::string context =
        UserContextFile(settings_, {user.UserNo, user.GroupNo, user.Level, user.Step});
    for (const std::string& path :
         {ScorePath(user), HistoryPath(user), platform::NativePath(context)})
        platform::RemoveReplaceLeftovers(path);
    if (server_behind_) CatchUpServer(user);
}

void AnswerSaver::OpenHistory(const data::UserRecord& user, bool append) {
    if (!settings_.SavesProgress()) return;
    if (history_.OpenHistory(HistoryPath(user), append)) return;
    SaveOutcome outcome;
    HistoryFailed(user, history_.LastError(), outcome);
    Tell(outcome);
}

SaveOutcome AnswerSaver::Save(const data::UserRecord& user, const data::ScoreBook& book,
                              bool with_context, const HistoryLine& line) {
    SaveOutcome outcome;
    if (!settings_.SavesProgress()) return outcome;
    SaveRecord(user, outcome);
    if (outcome.Failed(SavedFile::kRecord)) return outcome;
    const std::string caption = settings_.Common(data::kTextFileError);
    if (with_context) {
        const platform::Status context = SaveContext(
            settings_, view_, engine_, {user.UserNo, user.GroupNo, user.Level, user.Step});
        // The context's note ("Context: <file>") in an error box names the stage not saved.
        if (!context.ok()) {
            settings_.Trace(">saveContext> %s", context.Text().c_str());
            Fail(SavedFile::kContext, outcome,
                 {settings_.Common(data::kTextContextSaved, context.Text()), caption,
                  context.what(), context.code(), windows::kIconError},
                 "the stage cannot be saved: " + context.Text());
        }
    }
    const platform::Status scores = SaveScores(
        settings_, book, {store_.UsersFolder(), user.UserNo, user.GroupNo, user.StepCount});
    if (!scores.ok()) {
        settings_.Trace(">saveScore> %d %d", user.StepCount, data::kStepCapacity);
        const std::string path = ScorePath(user);
        Fail(SavedFile::kScores, outcome,
             {settings_.Common(data::kTextScoreFile, "wr", platform::NativePath(path)), caption,
              path, scores.code(), windows::kIconError},
             "the scores cannot be saved: " + scores.Text());
    }
    WriteLine(user, line, outcome);
    // The server is back: what it missed follows the record it has just taken.
    if (server_behind_ && !outcome.Failed(SavedFile::kServer) && SendFiles(user, nullptr))
        server_behind_ = false;
    return outcome;
}

void AnswerSaver::SaveRecord(const data::UserRecord& user, SaveOutcome& outcome) {
    const RecordSave save = store_.RewriteUser(user);
    if (!save.local.ok()) {
        // The history would run ahead of the record: it stays closed for the session.
        record_failed_ = true;
        history_.Close();
        const std::string why = save.local.Text();
        settings_.Trace(">saveUser> %s", why.c_str());
        Fail(SavedFile::kRecord, outcome,
             {settings_.Common(data::kTextRecordNotSaved, why),
              settings_.Common(data::kTextFileError), why, EIO, windows::kIconError},
             "the learner's record cannot be saved: " + why);
        return;
    }
    if (!save.server.ok()) ServerBehind(outcome);
}

void AnswerSaver::WriteLine(const data::UserRecord& user, const HistoryLine& line,
                            SaveOutcome& outcome) {
    if (line.kind == HistoryLine::kNone) return;
    // A journal closed by a failure (told when it happened) drops the line.
    if (!history_.IsOpen()) {
        outcome.failed[static_cast<size_t>(SavedFile::kHistory)] = true;
        return;
    }
    errno = 0;
    const bool written = line.kind == HistoryLine::kAnswer
                             ? history_.WriteAnswerRecord(line.f_number, user.Level, user.Step,
                                                          line.expected, line.given, user.Series,
                                                          settings_.Config(data::kDirectory))
                             : history_.WriteAbandonRecord();
    if (!written) HistoryFailed(user, errno != 0 ? errno : EIO, outcome);
}

// A history that cannot be opened or written stays closed, so it never holds a line after a gap.
void AnswerSaver::HistoryFailed(const data::UserRecord& user, int error, SaveOutcome& outcome) {
    history_.Close();
    const std::string why = HistoryPath(user) + ": " + platform::SystemErrorText(error);
    settings_.Trace(">history> %s", why.c_str());
    Fail(SavedFile::kHistory, outcome,
         {settings_.Common(data::kTextHistoryNotSaved, why), settings_.Common(data::kTextFileError),
          why, error, windows::kIconError},
         "the history cannot be written: " + why);
}

void AnswerSaver::ServerBehind(SaveOutcome& outcome) {
    server_behind_ = true;
    const std::string& address = settings_.Config(data::kIPserv);
    settings_.Trace(">server> %s behind", address.c_str());
    Fail(SavedFile::kServer, outcome,
         {settings_.Common(data::kTextServerBehind, address, settings_.ConfigInt(data::kIPport)),
          settings_.Common(data::kTextFileError), address, ENOTCONN, windows::kIconWarning},
         std::string());
}

void AnswerSaver::Fail(SavedFile file, SaveOutcome& outcome, SaveNotice notice,
                       const std::string& why) {
    const auto i = static_cast<size_t>(file);
    outcome.failed[i] = true;
    // The progress is kept here while the server is away: not a failure of the session.
    if (file != SavedFile::kServer && failure_.empty()) failure_ = why;
    if (told_[i]) return;
    told_[i] = true;
    outcome.notices.push_back(std::move(notice));
}

void AnswerSaver::Tell(const SaveOutcome& outcome) {
    view_.Show(screen_);
    for (const SaveNotice& n : outcome.notices) {
        if (n.text.empty()) {
            view_.ShowSystemError(n.subject, n.code);
        } else {
            view_.Ask(n.text, n.caption, n.icon, windows::kButtonOk);
        }
    }
}

// The server copy is behind: the record, the scores and the history are sent again. A server
// still away is told at the next save.
void AnswerSaver::CatchUpServer(const data::UserRecord& user) {
    const RecordSave save = store_.RewriteUser(user);
    if (!save.server.ok() || !save.local.ok()) return;
    if (SendFiles(user, nullptr)) server_behind_ = false;
}

void AnswerSaver::End(const data::UserRecord& user,
                      const std::function<void(const std::string&)>& announce) {
    if (store_.HasRemote() && settings_.SavesProgress() && !record_failed_ && store_.Deferred()) {
        // Everything still owed goes to the server's queue, then is waited for within the
        // store's bound; what did not go stays behind for the next session, said once.
        if (server_behind_ || !store_.Settle(false)) (void)store_.RewriteUser(user);
        (void)SendFiles(user, announce);
        if (!store_.Settle(true)) {
            SaveOutcome outcome;
            ServerBehind(outcome);
            Tell(outcome);
        }
    } else if (store_.HasRemote() && settings_.SavesProgress() && !record_failed_) {
        if (server_behind_) CatchUpServer(user);
        if (!server_behind_ && !SendFiles(user, announce)) {
            SaveOutcome outcome;
            ServerBehind(outcome);
            Tell(outcome);
        }
    }
    history_.Close();
}

// Sends the score and history files that exist; true when the server took both.
bool AnswerSaver::SendFiles(const data::UserRecord& user,
                            const std::function<void(const std::string&)>& announce) {
    bool sent = true;
    for (const std::string& local : {ScorePath(user), HistoryPath(user)}) {
        if (!platform::FileExists(local)) continue;
        if (announce) announce(settings_.Common(data::kTextUpload, local));
        sent =
            store_.SendFile(local, data::RemoteFileName(settings_.course->Root(), local)) && sent;
    }
    return sent;
}

}  // namespace lesson
