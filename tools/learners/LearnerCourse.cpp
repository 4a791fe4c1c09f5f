#include "LearnerCourse.h"

#include "data/CoursePaths.h"
#include "data/OpenCourse.h"

namespace learners {

std::string LearnerCourse::ScorePath(int user, int group) const {
    return data::ScorePath(root, learner_dir, user, group);
}
std::string LearnerCourse::HistoryPath(int user, int group) const {
    return data::HistoryPath(root, learner_dir, user, group);
}
std::string LearnerCourse::ContextPath(int user, int group) const {
    return data::UserContextPath(root, data_dir, user, group);
}

bool LocateCourse(const std::string& course_dir, const std::string& lang, LearnerCourse& course,
                  std::string& error) {
    std::string program;
    if (platform::Status found = data::CourseProgramIn(course_dir, program); !found) {
        error = found.Text();
        return false;
    }
    data::Course opened(program);
    data::CourseOptions options;
    options.language = lang;
    options.common_texts = false;
    if (platform::Status status = data::OpenCourse(opened, options); !status) {
        error = status.Text();
        return false;
    }
    const data::ProductRecord& product = opened.Product();
    course.root = opened.Root();
    course.lang = opened.Language();
    course.app_name = product.app_name;
    course.data_dir = product.data_dir;
    course.product = product.product_name;
    course.group_path = opened.GroupFile();
    course.users_path = opened.UsersFile();
    // The folder of the USERS file; "." when the path names none.
    const std::size_t slash = course.users_path.rfind('/');
    course.learner_dir =
        slash == std::string::npos || slash == 0 ? "." : course.users_path.substr(0, slash);
    return true;
}

}  // namespace learners
