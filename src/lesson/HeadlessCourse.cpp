#include "lesson/HeadlessCourse.h"

#include "data/LearnerFiles.h"
#include "lesson/CommonMessages.h"
#include "platform/Path.h"

namespace lesson {

bool HeadlessCourse::Fail(std::string message) {
    error_ = std::move(message);
    return false;
}

bool HeadlessCourse::Open(const std::string& folder, const std::vector<std::string>& overrides,
                          const std::string& language) {
    // Every path of the course is taken from its folder, never from the current one.
    if (folder.empty() || folder[0] != '/')
        return Fail("the course folder must be an absolute path: " + folder);
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    if (!platform::DirectoryExists(root)) return Fail("cannot enter the course folder " + folder);
    // The course's INI sits beside the player's link, named after the product.
    const std::vector<std::string> inis = platform::FindEntries(root + "/*.INI");
    if (inis.empty()) return Fail("no INI file in the course folder " + folder);
    const std::string& ini = inis.front();
    const std::string program = (root == "/" ? "" : root) + "/" + ini.substr(0, ini.size() - 4);
    course_ = std::make_unique<data::Course>(program);
    data::ConfigTable& config_ = course_->Config();
    data::OptionFlags& flags_ = course_->Flags();
    data::ProductRecord& product_ = course_->Product();
    text::MessageFile& common_ = course_->Common();
    text::TraceLog& trace_ = course_->Trace();

    if (config_.LoadConfiguration(course_->IniPath(), course_->Notifier()) != 0)
        return Fail("cannot read " + ini);
    for (const std::string& line : overrides) {
        if (!config_.ApplyOptionLine(line)) {
            if (!config_.TakeRefused().empty())
                return Fail("refused setting " + line + ": it leads out of the course folder");
            return Fail("unknown setting " + line);
        }
    }
    if (!language.empty()) {
        if (!data::ConfigTable::Accepts(data::kLanguage, language))
            return Fail("refused language " + language + ": it leads out of the course folder");
        config_.Set(data::kLanguage, language);
    }
    flags_.ParseOptionWords(config_.Get(data::kFlag));
    flags_.Clear(data::AutoPlay);
    flags_.Clear(data::PresetSession);
    if (flags_.Has(data::Trace) && !trace_.Open(course_->Resolve(flags_.trace_path))) {
        return Fail("cannot open the trace log " + flags_.trace_path);
    }
    const std::string& lang = config_.Get(data::kLanguage);
    if (data::LoadProduct(config_, program, product_, course_->Root(), course_->Notifier()) != 1) {
        return Fail("no product of the course fits language " + lang);
    }
    if (LoadCommonMessages(*course_) != 0) {
        return Fail("cannot open the common texts of language " + lang);
    }
    course_->SetTitle(product_.app_name);
    const std::string group_path = course_->GroupFile();
    const std::string users_path = course_->UsersFile();
    if (groups_.Open(group_path, isam::OPEN_INOUT) < 0) {
        return Fail(groups_.ErrorText("cannot open %s", group_path.c_str()));
    }
    if (users_.Open(users_path, isam::OPEN_INOUT) < 0) {
        return Fail(users_.ErrorText("cannot open %s", users_path.c_str()));
    }
    store_ = std::make_unique<LearnerFilesStore>(course_->Root(), groups_, users_);

    course_->SetRemovableMedia(platform::IsRemovableMedia(program));
    settings_.course = course_.get();
    settings_.quit_caption = common_.GetText(29);
    if (!settings_.quit_caption.empty()) settings_.quit_caption.erase(0, 1);
    return true;
}

std::string HeadlessCourse::UserReadError(int group, int user) {
    if (users_.Handle() < 0)
        return users_.ErrorText("cannot open %s", course_->UsersFile().c_str());
    const int found = data::FindUser(users_, group, user, nullptr);
    if (found == 0)
        return "no user " + std::to_string(user) + " in group " + std::to_string(group) + " in " +
               users_.DataPath();
    return users_.ErrorText("cannot read %s", users_.DataPath().c_str());
}

}  // namespace lesson
