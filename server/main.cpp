// dataserver: serves a course's data folder to players over TCP.
//   dataserver --root DIR [--bind ADDR] [--port N] [--trace FILE] [--idle S] [--max-clients N]
//              [--max-per-address N] [--full-idle S] [--upload-space MIB]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "DataServer.h"
#include "ExposedFiles.h"
#include "LogText.h"
#include "platform/ToolHelp.h"

namespace {

const char kUsage[] =
    "usage: dataserver --root DIR [--bind ADDR] [--port N] [--trace FILE] [--idle S]\n"
    "                  [--max-clients N] [--max-per-address N] [--full-idle S]\n"
    "                  [--upload-space MIB]\n"
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

// Learners' files that every local account can read are named once at start.
void WarnOfExposedFiles(const std::string& root) {
    size_t total = 0;
    const std::vector<std::string> files = server::ExposedLearnerFiles(root, 10, total);
    if (total == 0) return;
    std::string names;
    for (const std::string& file : files)
        names += (names.empty() ? "" : ", ") + server::LogPath(file);
    if (total > files.size()) names += " and " + std::to_string(total - files.size()) + " more";
    std::fprintf(stderr,
                 "dataserver: warning: every local account can read %zu learners' files (chmod "
                 "o-rwx them or their folder): %s\n",
                 total, names.c_str());
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
        } else if (a == "--max-per-address") {
            if (!ParseNumber(v, 1, 1 << 20, options.max_per_address)) return Usage();
        } else if (a == "--full-idle") {
            if (!ParseNumber(v, 0, 1 << 30, options.full_idle_seconds)) return Usage();
        } else if (a == "--upload-space") {
            int mib = 0;
            if (!ParseNumber(v, 1, 1 << 20, mib)) return Usage();
            options.upload_space = long(mib) << 20;
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
    WarnOfExposedFiles(options.root);
    std::printf("listening on %s\n", server.Address().c_str());
    std::fflush(stdout);
    server.Run();
    return 0;
}
