// The course whose learners the tool works on, opened as every program opens a course: its
// INI, the catalogue line of the language (the data folder and the product name, hence the
// GROUP and USERS files and the learners' own files).
#pragma once

#include <memory>
#include <string>

#include "data/Course.h"
#include "platform/Status.h"

namespace learners {

// Opens the course in course_dir for lang, without its common texts (RootDir= of the folder's
// INI file, when it has exactly one); every path is taken inside the course folder. Fails with
// why when the folder, its INI or the product line is missing.
platform::Status OpenLearnerCourse(const std::string& course_dir, const std::string& lang,
                                   std::unique_ptr<data::Course>& course);

// A learner's score, history and context files, native.
std::string ScoreFile(const data::Course& course, int user, int group);
std::string HistoryFile(const data::Course& course, int user, int group);
std::string ContextFile(const data::Course& course, int user, int group);

}  // namespace learners
