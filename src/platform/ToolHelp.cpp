#include "platform/ToolHelp.h"

#include <cstdio>
#include <cstring>

namespace platform {

const char* ProgramVersion() {
    return PLAYER_VERSION;
}

int AnswerHelpOrVersion(const char* tool, const char* usage, int argc, char** argv) {
    if (argc != 2) return -1;
    if (std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", tool, ProgramVersion());
        return 0;
    }
    return -1;
}

}  // namespace platform
