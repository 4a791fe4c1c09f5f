// dataserver: serves a course's data folder to players over TCP.
//   dataserver --root DIR [--bind ADDR] [--port N] [--trace FILE] [--idle S] [--max-clients N]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "DataServer.h"
#include "platform/ToolHelp.h"

namespace {

const char kUsage[] =
    "usage: dataserver --root DIR [--bind ADDR] [--port N] [--trace FILE] [--idle S]\n"
    "                  [--max-clients N]\n"
    "       dataserver --help | --version\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

bool ParseNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high) return false;
    out = int(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const int rc = platform::AnswerHelpOrVersion("dataserver", kUsage, argc, argv); rc >= 0)
        return rc;
    server::ServerOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return Usage();
        const char* v = argv[++i];
        if (a == "--root") {
            options.root = v;
        } else if (a == "--bind") {
            options.bind = v;
        } else if (a == "--trace") {
            options.trace = v;
        } else if (a == "--port") {
            if (!ParseNumber(v, 0, 65535, options.port)) return Usage();
        } else if (a == "--idle") {
            if (!ParseNumber(v, 1, 1 << 30, options.idle_seconds)) return Usage();
        } else if (a == "--max-clients") {
            if (!ParseNumber(v, 1, 1 << 20, options.max_clients)) return Usage();
        } else {
            return Usage();
        }
    }
    if (options.root.empty()) return Usage();
    server::DataServer server(options);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "dataserver: %s\n", error.c_str());
        return 1;
    }
    std::printf("listening on %s\n", server.Address().c_str());
    std::fflush(stdout);
    server.Run();
    return 0;
}
