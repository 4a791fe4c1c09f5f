// The two questions every program answers before it reads its arguments.
#pragma once

namespace platform {

// The project's version, from the build.
const char* ProgramVersion();

// "--help" as the only argument prints usage on stdout and gives 0; "--version" prints
// "<tool> <version>" and gives 0. Anything else gives -1: the program goes on.
int AnswerHelpOrVersion(const char* tool, const char* usage, int argc, char** argv);

}  // namespace platform
