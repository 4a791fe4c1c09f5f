#include "LearnerCourse.h"

#include <filesystem>

#include "data/ConfigTable.h"
#include "data/CoursePaths.h"
#include "data/ProductRecord.h"
#include "platform/Notifier.h"
#include "platform/Path.h"

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
    // The folder as given on the command line, made absolute once: nothing later depends on
    // the current folder.
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(course_dir, ec).lexically_normal();
    if (ec || !platform::DirectoryExists(dir.string())) {
        error = "cannot enter the course folder " + course_dir;
        return false;
    }
    std::string root = dir.string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    data::ConfigTable config;
    const std::vector<std::string> inis = platform::FindEntries(root + "/*.INI");
    if (inis.size() == 1) {
        data::ConfigTable ini;
        if (ini.LoadConfiguration(root + "/" + inis[0], platform::StderrNotifier()) == 0)
            config.Set(data::kRootDir, ini.Get(data::kRootDir));
    }
    config.Set(data::kLanguage, lang);
    data::ProductRecord product;
    // The catalogue's own complaint goes into the one message the tool prints.
    struct Collected : platform::Notifier {
        std::string text;
        void ShowSystemError(const std::string& what, int code) override {
            if (text.empty()) text = what + ": " + platform::SystemErrorText(code);
        }
        void ShowError(const std::string&, const std::string& what) override {
            if (text.empty()) text = what;
        }
        void ShowMessage(const std::string&, const std::string&) override {}
    } collected;
    // A native path has no drive for the catalogue's '?' to stand for: the folder will do.
    const int rc = data::LoadProduct(config, root, product, root, collected);
    if (rc != 1) {
        error = rc == 0
                    ? root + "/PRODUCT.DAT has no line for the language " + lang
                    : "cannot read the course's catalogue in " + root +
                          (collected.text.empty() ? std::string() : " (" + collected.text + ")");
        return false;
    }
    course.root = root;
    course.lang = lang;
    course.app_name = product.app_name;
    course.data_dir = product.data_dir;
    course.product = product.product_name;
    course.group_path = data::GroupFilePath(root, product.data_dir, product.product_name, lang);
    course.users_path = data::UsersFilePath(root, product.data_dir, product.product_name, lang);
    // The folder of the USERS file; "." when the path names none.
    const std::size_t slash = course.users_path.rfind('/');
    course.learner_dir =
        slash == std::string::npos || slash == 0 ? "." : course.users_path.substr(0, slash);
    return true;
}

}  // namespace learners
