// Saving and restoring a session's score book in the learner's score file, with the notices
// the learner sees when the file cannot be written or read.
#pragma once

#include <string>

#include "data/ScoreBook.h"
#include "lesson/LessonSettings.h"
#include "lesson/Prompter.h"

namespace lesson {

// Where a learner's score file lives and how many steps it holds.
struct ScoreSite {
    std::string users_dir;  // folder of the opened USERS file, without drive
    int user = 0;
    int group = 0;
    int step_count = 0;  // the user record's StepCount
};

// <users dir>\SCO<user>.<group>, inside root (the course folder).
std::string ScoreFilePath(const std::string& root, const ScoreSite& site);

// Writes the score file unless the session is preset or the media removable. When the step
// count is out of range or the file cannot be written: common text 78 ("wr", path) captioned
// with common text 76, and with tracing the line ">saveScore> n 1024"; false.
bool SaveScores(const LessonSettings& settings, Prompter& prompter, const data::ScoreBook& book,
                const ScoreSite& site);
// Reads the score file into book (nothing on removable media). Failure: trace line
// ">restoreScore> n 1024", book untouched, false. A file whose size does not fit the step
// count is renamed to <file>.damaged (numbered when taken) and reported with common text 117
// (why, the new name); other failures with common text 78 ("rd", path).
bool RestoreScores(const LessonSettings& settings, Prompter& prompter, data::ScoreBook& book,
                   const ScoreSite& site);

}  // namespace lesson
