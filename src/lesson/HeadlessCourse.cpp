#include "lesson/HeadlessCourse.h"

#include "data/CommonTexts.h"
#include "data/LearnerFiles.h"
#include "data/OpenCourse.h"
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
    std::string program;
    if (platform::Status found = data::CourseProgramIn(folder, program); !found)
        return Fail(found.Text());
    course_ = std::make_unique<data::Course>(program);
    data::CourseOptions options;
    options.overrides = overrides;
    options.language = language;
    options.answers_drive = true;
    if (platform::Status opened = data::OpenCourse(*course_, options, &notices_); !opened)
        return Fail(opened.Text());
    const data::OptionFlags& flags = course_->Flags();
    if (flags.Has(data::Trace) && !course_->Trace().Open(course_->Resolve(flags.trace_path)))
        return Fail("cannot open the trace log " + flags.trace_path);
    course_->SetTitle(course_->Product().app_name);
    const std::string group_path = course_->GroupFile();
    const std::string users_path = course_->UsersFile();
    if (const platform::Status opened = groups_.Open(group_path, isam::OPEN_INOUT); !opened)
        return Fail("cannot open " + group_path + " : " + opened.Cause());
    if (const platform::Status opened = users_.Open(users_path, isam::OPEN_INOUT); !opened)
        return Fail("cannot open " + users_path + " : " + opened.Cause());
    store_ = std::make_unique<LearnerFilesStore>(course_->Root(), groups_, users_);

    course_->SetRemovableMedia(platform::IsRemovableMedia(program));
    settings_.course = course_.get();
    return true;
}

std::string HeadlessCourse::UserReadError(int group, int user) {
    if (users_.Handle() < 0) return "cannot open " + course_->UsersFile();
    data::UserRecord record;
    const platform::Status found = data::FindUser(users_, group, user, record);
    if (found.code() == data::kNotFound)
        return "no user " + std::to_string(user) + " in group " + std::to_string(group) + " in " +
               users_.DataPath();
    return "cannot read " + found.what() + " : " + found.Cause();
}

}  // namespace lesson
