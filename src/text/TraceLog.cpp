#include "text/TraceLog.h"

#include <ctime>

namespace text {
namespace {

// The C library's ctime text of the current local time (24 characters and a line end).
std::string Now() {
    std::time_t now = std::time(nullptr);
    char buf[64];
    if (!ctime_r(&now, buf)) return "\n";
    return buf;
}

}  // namespace

TraceLog::~TraceLog() {
    Close();
}

bool TraceLog::Open(std::string_view path) {
    Close();
    // Only the log file is created: a folder that is missing is an error, not made on the way.
    if (!LineFile::Open(path, kRead | kWrite | kAppend | kNoCreateFolders, '\n')) return false;
    AppendFormatted(">>%s", Now().c_str());
    return true;
}

void TraceLog::Close() {
    if (!IsOpen()) return;
    AppendFormatted("<<%s", Now().c_str());
    LineFile::Close();
}

}  // namespace text
