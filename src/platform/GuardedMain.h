// The body of a tool's main: whatever a library throws (memory exhausted on a huge input) ends
// the run with a message naming the tool and exit status 1, never an abort.
#pragma once

#include <cstdio>
#include <exception>

namespace platform {

template <class Body>
int GuardedMain(const char* tool, int argc, char** argv, Body body) noexcept {
    try {
        return body(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", tool, e.what());
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected failure\n", tool);
    }
    return 1;
}

}  // namespace platform
