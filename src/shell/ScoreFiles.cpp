#include "shell/ScoreFiles.h"

#include "data/CoursePaths.h"
#include "data/ScoreFile.h"
#include "platform/Path.h"
#include "shell/LessonTexts.h"

namespace shell {
namespace {

void ReportScoreFile(const LessonSettings& settings, Prompter& prompter, const char* direction,
                     const std::string& path) {
    prompter.Ask(settings.Common(kTextScoreFile, direction, platform::NativePath(path)),
                 settings.Common(kTextFileError), kBoxError, kBoxOk);
}

}  // namespace

std::string ScoreFilePath(const std::string& root, const ScoreSite& site) {
    return data::ScorePath(root, site.users_dir, site.user, site.group);
}

bool SaveScores(const LessonSettings& settings, Prompter& prompter, const data::ScoreBook& book,
                const ScoreSite& site) {
    if (!settings.SavesProgress()) return true;
    const std::string path = ScoreFilePath(settings.course->Root(), site);
    if (data::WriteScoreFile(path, site.step_count, book) == 0) return true;
    ReportScoreFile(settings, prompter, "wr", path);
    settings.Trace(">saveScore> %d %d", site.step_count, data::kStepCapacity);
    return false;
}

bool RestoreScores(const LessonSettings& settings, Prompter& prompter, data::ScoreBook& book,
                   const ScoreSite& site) {
    if (settings.RemovableMedia()) return true;
    const std::string path = ScoreFilePath(settings.course->Root(), site);
    if (data::ReadScoreFile(path, site.step_count, book) == 0) return true;
    ReportScoreFile(settings, prompter, "rd", path);
    settings.Trace(">restoreScore> %d %d", site.step_count, data::kStepCapacity);
    return false;
}

}  // namespace shell
