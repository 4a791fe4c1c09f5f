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

// "PRODUCT.DAT: bad version 1100:800", the text shown when the language's line has another
// version.
std::string BadVersionText();

// Runs the start-up steps in order, stopping at the first failure (already reported):
// LoadConfiguration of the program's INI; the Flag= words (r opens the trace log, which writes
// its ">>" line); the command line; a language must then be set (13 names the INI); LoadProduct
// (0: why no line fits, "bad version" with 13 when only the version differs); the common
// messages; OpenDataAccess. Then sets the caption, the course's title and removable-media flag.
// The files are the course's: its INI beside its program path, the rest inside its root.
bool RunStartup(data::Course& course, StartupState& state, int argc, const char* const* argv,
                StartupView& view, const lesson::RemoteDataFactory& make_remote);

// The end of the run: closes the remote link and, with Trace, the log (its "<<" line).
void ShutdownStartup(data::Course& course, StartupState& state);

}  // namespace shell
