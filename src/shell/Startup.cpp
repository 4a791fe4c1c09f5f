#include "shell/Startup.h"

#include <cstdio>

#include "data/CoursePaths.h"
#include "lesson/CommonMessages.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "shell/OpenDataAccess.h"

namespace shell {

std::string BadVersionText() {
    return data::BadVersionText();
}

bool RunStartup(data::Course& course, StartupState& state, int argc, const char* const* argv,
                StartupView& view, const lesson::RemoteDataFactory& make_remote) {
    data::ConfigTable& config = course.Config();
    data::OptionFlags& flags = course.Flags();
    if (config.LoadConfiguration(course.IniPath(), course.Notifier()) != 0) return false;

    flags.ParseOptionWords(config.Get(data::kFlag));
    // A log that cannot be opened leaves tracing silent, as a closed log is.
    if (flags.Has(data::Trace) && !course.Trace().Open(course.Resolve(flags.trace_path)))
        std::fprintf(stderr, "trace log %s: %s\n", flags.trace_path.c_str(),
                     platform::SystemErrorText(-1).c_str());

    flags.ParseCommandLine(argc, argv, config);

    // Without a language no catalogue line can fit: an INI that is empty, unreadable as text or
    // without the key is said to be so, rather than taken for a catalogue fault.
    if (config.Get(data::kLanguage).empty()) {
        course.Notifier().ShowSystemError(course.IniPath() + ": no Language= setting",
                                          platform::kErrorInvalidData);
        return false;
    }

    data::ProductMiss miss;
    switch (data::LoadProduct(config, course.ProgramPath(), course.Product(), course.Root(),
                              course.Notifier(), &miss)) {
        case 1:
            break;
        case 0:
            course.Notifier().ShowSystemError(miss.text, miss.code);
            return false;
        default:
            return false;
    }

    if (lesson::LoadCommonMessages(course) != 0) return false;

    if (!OpenDataAccess(course, view, make_remote, state.remote)) return false;

    state.caption = course.CommonText(1);
    course.SetTitle(course.CommonText(7, state.caption, 4, 7));
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
