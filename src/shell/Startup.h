// The start-up of the player up to the point where windows take over: configuration, option
// words and command line, product catalogue, common messages, local or remote data, and the
// removable-media flag. Windows call RunStartup from their creation and stop when it fails.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "shell/RemoteData.h"
#include "shell/StartupView.h"
#include "text/MessageFile.h"
#include "text/TraceLog.h"

namespace shell {

// The settings start-up establishes; the main window owns them for the whole run.
struct StartupState {
    data::ConfigTable config;
    data::OptionFlags flags;
    data::ProductRecord product;
    text::MessageFile common;
    text::TraceLog trace;
    int32_t common_seed = 0;
    std::unique_ptr<RemoteData> remote;  // empty for local data
    bool removable_media = false;
    std::string caption;  // common text 1
    std::string title;    // common text 7 with (caption, 4, 7)
};

// "PRODUCT.DAT: bad version 1100:800", the text shown when no catalogue line fits.
std::string BadVersionText();

// Runs the start-up steps in order, stopping at the first failure (already reported):
// LoadConfiguration of the program's INI; the Flag= words (r opens the trace log, which writes
// its ">>" line); the command line; LoadProduct (0: "bad version" with code 13); the common
// messages; OpenDataAccess. Then sets the caption, the title and the removable-media flag.
// program_path is the program's own path (platform::ProgramPath() in the player).
bool RunStartup(StartupState& state, const std::string& program_path, int argc,
                const char* const* argv, StartupView& view, const RemoteDataFactory& make_remote);

// The end of the run: closes the remote link and, with Trace, the log (its "<<" line).
void ShutdownStartup(StartupState& state);

}  // namespace shell
