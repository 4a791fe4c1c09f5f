// The saved stage of a learner: per user "<data>\CTX\CTX<user>.<group>", or per step
// "<data>\CTX\<dir>S<level>Q<step>N1.CTX"; the engine writes and reads the objects.
#pragma once

#include <string>

#include "lesson/LessonEngine.h"
#include "lesson/LessonSettings.h"
#include "lesson/Prompter.h"
#include "platform/Status.h"

namespace lesson {

struct ContextSite {
    int user = 0;
    int group = 0;
    int level = 0;
    int step = 0;
};

std::string UserContextFile(const LessonSettings& settings, const ContextSite& site);
std::string StepContextFile(const LessonSettings& settings, const ContextSite& site);

// Saves the stage (not in a preset session or from removable media): per step with the
// StepContext option, announced with common text 80 in the status bar, otherwise per user.
// A failed save gives the path with the system's error (EIO when the engine gives none).
platform::Status SaveContext(const LessonSettings& settings, Prompter& prompter,
                             LessonEngine& engine, const ContextSite& site);
// Loads the stage, except at level 1 step 0 (nothing done yet): the per-step file first
// (unless NoStepContextRestore), then the per-user file. Failures are shown in Developer mode
// only. True when a stage was loaded.
bool RestoreContext(const LessonSettings& settings, Prompter& prompter, LessonEngine& engine,
                    const ContextSite& site);

}  // namespace lesson
