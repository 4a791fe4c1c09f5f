#include "lesson/ContextFiles.h"

#include <cerrno>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace lesson {

std::string UserContextFile(const LessonSettings& settings, const ContextSite& site) {
    return settings.course->UserContext(site.user, site.group);
}

std::string StepContextFile(const LessonSettings& settings, const ContextSite& site) {
    return settings.course->StepContext(site.level, site.step);
}

platform::Status SaveContext(const LessonSettings& settings, Prompter& prompter,
                             LessonEngine& engine, const ContextSite& site) {
    if (!settings.SavesProgress()) return {};
    std::string path;
    if (settings.Has(data::StepContext)) {
        path = StepContextFile(settings, site);
        // The note names the file from the data directory on, as the courseware writes it.
        prompter.ShowStatusNote(settings.Common(
            data::kTextContextSaved, text::FormatString("\\CTX\\%sS%02dQ%02dN%d.CTX",
                                                        settings.Config(data::kDirectory).c_str(),
                                                        site.level, site.step, 1)));
    } else {
        path = UserContextFile(settings, site);
    }
    // The engine writes the file itself; its folder may not exist yet for a new course.
    const std::string native = platform::NativePath(path);
    const size_t slash = native.rfind('/');
    if (slash != std::string::npos && slash > 0) platform::CreateFolders(native.substr(0, slash));
    errno = 0;
    if (engine.SaveObjects(path)) return {};
    return {errno != 0 ? errno : EIO, native};
}

bool RestoreContext(const LessonSettings& settings, Prompter& prompter, LessonEngine& engine,
                    const ContextSite& site) {
    if (site.level == 1 && site.step == 0) return false;
    const bool developer = settings.Has(data::Developer);
    if (!settings.Has(data::NoStepContextRestore)) {
        const std::string path = StepContextFile(settings, site);
        if (engine.RestoreObjects(path)) return true;
        if (developer) prompter.ShowSystemError(path, -1);
    }
    const std::string path = UserContextFile(settings, site);
    if (engine.RestoreObjects(path)) return true;
    if (developer) prompter.ShowSystemError(path, -1);
    return false;
}

}  // namespace lesson
