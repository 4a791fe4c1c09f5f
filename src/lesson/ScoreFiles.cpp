#include "lesson/ScoreFiles.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/ScoreFile.h"
#include "platform/Path.h"

namespace lesson {
namespace {

void ReportScoreFile(const LessonSettings& settings, Prompter& prompter, const char* direction,
                     const std::string& path) {
    prompter.Ask(settings.Common(data::kTextScoreFile, direction, platform::NativePath(path)),
                 settings.Common(data::kTextFileError), windows::kIconError, windows::kButtonOk);
}

// Renames the file at path to path.damaged (or .damaged2, ...), never over an earlier one.
bool KeepAside(const std::string& path, std::string& kept) {
    for (int n = 1; n < 100; ++n) {
        kept = path + ".damaged" + (n == 1 ? std::string() : std::to_string(n));
        struct stat st;
        if (::lstat(kept.c_str(), &st) == 0) continue;
        return std::rename(path.c_str(), kept.c_str()) == 0;
    }
    return false;
}

}  // namespace

platform::Status SaveScores(const LessonSettings& settings, const data::ScoreBook& book,
                            const ScoreSite& site) {
    if (!settings.SavesProgress()) return {};
    return data::WriteScoreFile(
        data::ScorePath(settings.course->Root(), site.users_dir, site.user, site.group),
        site.step_count, book);
}

bool RestoreScores(const LessonSettings& settings, Prompter& prompter, data::ScoreBook& book,
                   const ScoreSite& site) {
    if (settings.RemovableMedia()) return true;
    const std::string path =
        data::ScorePath(settings.course->Root(), site.users_dir, site.user, site.group);
    const int error = data::ReadScoreFile(path, site.step_count, book).code();
    if (error == 0) return true;
    settings.Trace(">restoreScore> %d %d", site.step_count, data::kStepCapacity);
    // A file that does not fit the learner's record is kept aside before the session writes a
    // new one over it: the scores in it may still be recovered.
    std::string kept;
    if ((error == EBADMSG || error == ERANGE) && settings.SavesProgress() &&
        KeepAside(path, kept)) {
        struct stat st {};
        ::stat(kept.c_str(), &st);
        const std::string why = "size " + std::to_string(st.st_size) + " bytes, " +
                                (data::IsScoreStepCount(site.step_count)
                                     ? std::to_string(data::ScoreFileSize(site.step_count))
                                     : std::string("none")) +
                                " expected for " + std::to_string(site.step_count) + " steps";
        const std::string text = settings.Common(data::kTextScoreKeptAside, why, kept);
        if (!text.empty()) {
            prompter.Ask(text, settings.Common(data::kTextFileError), windows::kIconError,
                         windows::kButtonOk);
            return false;
        }
    }
    ReportScoreFile(settings, prompter, "rd", path);
    return false;
}

}  // namespace lesson
