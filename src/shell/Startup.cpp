#include "shell/Startup.h"

#include <cstdio>

#include "data/CoursePaths.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "shell/CommonMessages.h"
#include "shell/OpenDataAccess.h"

namespace shell {

std::string BadVersionText() {
    return data::FormatPath("%s: bad version %lX:%lX", "PRODUCT.DAT",
                            static_cast<unsigned long>(data::kProgramVersionMajor),
                            static_cast<unsigned long>(data::kProgramVersionMinor));
}

bool RunStartup(StartupState& state, const std::string& program_path, int argc,
                const char* const* argv, StartupView& view, const RemoteDataFactory& make_remote) {
    if (state.config.LoadConfiguration(platform::IniPathFor(program_path)) != 0) return false;

    state.flags.ParseOptionWords(state.config.Get(data::kFlag));
    // A log that cannot be opened leaves tracing silent, as a closed log is.
    if (state.flags.Has(data::Trace) && !state.trace.Open(state.flags.trace_path))
        std::fprintf(stderr, "trace log %s: %s\n", state.flags.trace_path.c_str(),
                     platform::SystemErrorText(-1).c_str());

    state.flags.ParseCommandLine(argc, argv, state.config);

    switch (data::LoadProduct(state.config, program_path, state.product)) {
        case 1:
            break;
        case 0:
            platform::CurrentNotifier().ShowSystemError(BadVersionText(),
                                                        platform::kErrorInvalidData);
            return false;
        default:
            return false;
    }

    if (LoadCommonMessages(state.common, state.config, state.flags, state.product,
                           state.common_seed) != 0)
        return false;

    if (!OpenDataAccess(state.config, state.product, state.common, view, make_remote, state.remote))
        return false;

    state.caption = state.common.GetText(1);
    state.title = state.common.GetText(7, state.caption, 4, 7);
    state.removable_media = platform::IsRemovableMedia(program_path);
    return true;
}

void ShutdownStartup(StartupState& state) {
    if (state.remote) {
        state.remote->Close();
        state.remote.reset();
    }
    state.trace.Close();
}

}  // namespace shell
