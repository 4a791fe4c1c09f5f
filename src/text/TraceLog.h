// The trace log: a LineFile that components write event lines to. Lines are flushed one by one
// so the log survives a crash; while closed, writing does nothing.
#pragma once

#include <string_view>

#include "text/LineFile.h"

namespace text {

class TraceLog : public LineFile {
  public:
    TraceLog() = default;
    ~TraceLog() override;

    // Opens path for appending (flags 11, LF lines) and writes ">>" with the current time.
    // The file is created when missing, its folder never: a missing folder fails the open.
    bool Open(std::string_view path);
    // Writes "<<" with the current time, then closes. Nothing happens while closed.
    void Close();
};

}  // namespace text
