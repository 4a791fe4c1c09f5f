#include "LearnerCourse.h"

#include "data/CoursePaths.h"
#include "data/OpenCourse.h"

namespace learners {

platform::Status OpenLearnerCourse(const std::string& course_dir, const std::string& lang,
                                   std::unique_ptr<data::Course>& course) {
    std::string program;
    if (platform::Status found = data::CourseProgramIn(course_dir, program); !found) return found;
    course = std::make_unique<data::Course>(program);
    data::CourseOptions options;
    options.language = lang;
    options.common_texts = false;
    return data::OpenCourse(*course, options);
}

// The score and history files lie beside the GROUP and USERS files.
std::string ScoreFile(const data::Course& course, int user, int group) {
    return data::ScorePath(course.Root(), course.LearnerFolder(), user, group);
}
std::string HistoryFile(const data::Course& course, int user, int group) {
    return data::HistoryPath(course.Root(), course.LearnerFolder(), user, group);
}
std::string ContextFile(const data::Course& course, int user, int group) {
    return course.UserContext(user, group);
}

}  // namespace learners
