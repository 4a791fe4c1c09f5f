#include "shell/Startup.h"

#include <cstdio>

#include "data/CommonTexts.h"
#include "data/CoursePaths.h"
#include "data/OpenCourse.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "shell/OpenDataAccess.h"

namespace shell {

bool RunStartup(data::Course& course, StartupState& state, int argc, const char* const* argv,
                StartupView& view, const lesson::RemoteDataFactory& make_remote) {
    data::CourseOptions options;
    options.argc = argc;
    options.argv = argv;
    std::vector<platform::Status> refused;
    const platform::Status opened = data::OpenCourse(course, options, &refused);
    for (const platform::Status& line : refused)
        course.Notifier().ShowSystemError(line.what(), line.code());
    // A log that cannot be opened leaves tracing silent, as a closed log is.
    const data::OptionFlags& flags = course.Flags();
    if (flags.Has(data::Trace) && !course.Trace().Open(course.Resolve(flags.trace_path)))
        std::fprintf(stderr, "trace log %s: %s\n", flags.trace_path.c_str(),
                     platform::SystemErrorText(-1).c_str());
    if (!opened) {
        course.Notifier().ShowSystemError(opened.what(), opened.code());
        return false;
    }

    DataOpening opening;
    const platform::Status data = OpenDataAccess(course, view, make_remote, opening);
    ReportDataOpening(data, opening, course, view);
    if (!data) return false;
    state.remote = std::move(opening.remote);

    state.caption = course.CommonText(data::kTextCaption);
    course.SetTitle(course.CommonText(data::kTextTitle, state.caption, 4, 7));
    course.SetRemovableMedia(platform::IsRemovableMedia(course.ProgramPath()));
    return true;
}

void ShutdownStartup(data::Course& course, StartupState& state) {
    if (state.remote) {
        state.remote->Close();
        state.remote.reset();
    }
    course.Trace().Close();
}

}  // namespace shell
