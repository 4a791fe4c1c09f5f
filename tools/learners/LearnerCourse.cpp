#include "LearnerCourse.h"

#include <unistd.h>

#include "data/ConfigTable.h"
#include "data/CoursePaths.h"
#include "data/ProductRecord.h"
#include "platform/Path.h"

namespace learners {

std::string LearnerCourse::ScorePath(int user, int group) const {
    return data::ScorePath(learner_dir, user, group);
}
std::string LearnerCourse::HistoryPath(int user, int group) const {
    return data::HistoryPath(learner_dir, user, group);
}
std::string LearnerCourse::ContextPath(int user, int group) const {
    return data::UserContextPath(data_dir, user, group);
}

bool LocateCourse(const std::string& course_dir, const std::string& lang, LearnerCourse& course,
                  std::string& error) {
    if (::chdir(course_dir.c_str()) != 0) {
        error = "cannot enter the course folder " + course_dir;
        return false;
    }
    data::ConfigTable config;
    const std::vector<std::string> inis = platform::FindEntries("*.INI");
    if (inis.size() == 1) {
        data::ConfigTable ini;
        if (ini.LoadConfiguration(inis[0]) == 0)
            config.Set(data::kRootDir, ini.Get(data::kRootDir));
    }
    config.Set(data::kLanguage, lang);
    data::ProductRecord product;
    const int rc = data::LoadProduct(config, platform::ProgramPath(), product);
    if (rc != 1) {
        error = rc == 0 ? "PRODUCT.DAT has no line for the language " + lang
                        : "cannot read the course's PRODUCT.DAT";
        return false;
    }
    course.lang = lang;
    course.app_name = product.app_name;
    course.data_dir = product.data_dir;
    course.product = product.product_name;
    course.group_path = data::GroupFilePath(product.data_dir, product.product_name, lang);
    course.users_path = data::UsersFilePath(product.data_dir, product.product_name, lang);
    course.learner_dir = course.users_path.substr(0, course.users_path.rfind('/') + 1);
    if (!course.learner_dir.empty()) course.learner_dir.pop_back();
    if (course.learner_dir.empty()) course.learner_dir = ".";
    return true;
}

}  // namespace learners
