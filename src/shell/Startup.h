// The start-up of the player up to the point where windows take over: configuration, option
// words and command line, product catalogue, common messages, local or remote data, and the
// removable-media flag. Windows call RunStartup from their creation and stop when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/Course.h"
#include "lesson/RemoteData.h"
#include "shell/StartupView.h"

namespace shell {

// What start-up establishes besides the course; the main window owns it for the whole run.
struct StartupState {
    std::unique_ptr<lesson::RemoteData> remote;  // empty for local data
    std::string caption;                         // common text 1
};

// Runs the start-up steps in order, stopping at the first failure (already reported): the
// course is opened (its INI, option words and command line, catalogue and common texts; see
// data::OpenCourse), the Flag= word r opens the trace log (its ">>" line), then OpenDataAccess.
// Then sets the caption, the course's title and removable-media flag. The files are the course's:
// its INI beside its program path, the rest inside its root.
bool RunStartup(data::Course& course, StartupState& state, int argc, const char* const* argv,
                StartupView& view, const lesson::RemoteDataFactory& make_remote);

// The end of the run: closes the remote link and, with Trace, the log (its "<<" line).
void ShutdownStartup(data::Course& course, StartupState& state);

}  // namespace shell
