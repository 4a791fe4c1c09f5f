// Saving and restoring a session's score book in the learner's score file, with the notices
// the learner sees when the file cannot be written or read.
#pragma once

#include <string>

#include "data/ScoreBook.h"
#include "lesson/LessonSettings.h"
#include "lesson/Prompter.h"
#include "platform/Status.h"

namespace lesson {

// Where a learner's score file lives and how many steps it holds.
struct ScoreSite {
    std::string users_dir;  // folder of the opened USERS file, without drive
    int user = 0;
    int group = 0;
    int step_count = 0;  // the user record's StepCount
};

// The score file is <users dir>\SCO<user>.<group> (data::ScorePath), inside the course folder.
// Writes it unless the session is preset or the media removable. A step count out of range or a
// file that cannot be written gives the path with the cause.
platform::Status SaveScores(const LessonSettings& settings, const data::ScoreBook& book,
                            const ScoreSite& site);
// Reads the score file into book (nothing on removable media). Failure: trace line
// ">restoreScore> n 1024", book untouched, false. A file whose size does not fit the step
// count is renamed to <file>.damaged (numbered when taken) and reported with common text 117
// (why, the new name); other failures with common text 78 ("rd", path).
bool RestoreScores(const LessonSettings& settings, Prompter& prompter, data::ScoreBook& book,
                   const ScoreSite& site);

}  // namespace lesson
