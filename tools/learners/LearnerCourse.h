// Where a course keeps its learners: the product line of a language gives the data folder and
// the product name, and from them the GROUP and USERS files and the per-user files.
#pragma once

#include <string>

namespace learners {

struct LearnerCourse {
    std::string root;  // the course folder, absolute
    std::string lang;
    std::string app_name;
    std::string data_dir;  // as the catalogue writes it
    std::string product;
    std::string group_path;  // native ISAM base paths (no extension)
    std::string users_path;
    std::string learner_dir;  // native folder holding both

    // Native paths of a user's score, history and context files.
    std::string ScorePath(int user, int group) const;
    std::string HistoryPath(int user, int group) const;
    std::string ContextPath(int user, int group) const;
};

// Reads the catalogue of the course in course_dir for lang (RootDir= of the folder's INI file,
// when it has exactly one); every path is taken inside the course folder. False with a message
// in error when the folder or the product line is missing.
bool LocateCourse(const std::string& course_dir, const std::string& lang, LearnerCourse& course,
                  std::string& error);

}  // namespace learners
