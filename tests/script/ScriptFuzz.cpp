// Random bytes run as a compiled script on a headless stage: every tick must return, nothing
// may crash or read outside the script, and the run is bounded by a tick budget.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/Course.h"
#include "script/HeadlessHost.h"
#include "script/ScriptEngine.h"
#include "support/TempFolder.h"

namespace {

// An empty course folder that the scripts' file commands look into, removed at exit.
const std::string& ScratchFolder() {
    static const support::TempFolder folder;
    static const std::string path = folder.path.string();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    data::Course course(ScratchFolder() + "/player");
    course.Config().Set(data::kLanguage, "GB");
    course.Flags().Set(data::Trace);
    course.SeedRandom(1);
    script::HeadlessHost host;
    script::ScriptEngine engine(course, &host);
    size_t trace_bytes = 0;
    engine.SetTraceSink([&trace_bytes](const std::string& line) { trace_bytes += line.size(); });
    int64_t now = 1;
    engine.SetClock([&now] { return now; });
    engine.Start();
    engine.OpenScriptData(std::vector<uint8_t>(data, data + size), "FUZZ");
    for (int tick = 0; tick < 400 && !(engine.Ended() && !engine.AnythingMoving()); ++tick) {
        engine.Tick();
        now += engine.TimerInterval();
        if (engine.File().Offset() > engine.File().Size()) std::abort();
        if (engine.CallDepth() > script::kMaxCallDepth) std::abort();
        if (engine.LoopDepth() > static_cast<size_t>(script::kMaxLoopDepth)) std::abort();
    }
    return 0;
}
