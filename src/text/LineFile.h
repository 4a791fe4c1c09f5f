// A StreamFile read and appended by lines. At open it indexes where each line starts, so any
// line can be read by number; appended lines are flushed one by one.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

#include "text/FormatString.h"
#include "text/StreamFile.h"

namespace text {

class LineFile : public StreamFile {
  public:
    // Opens as StreamFile (the seek-to-end flag is ignored), then builds the line index.
    bool Open(std::string_view path, unsigned flags, char separator = '\n');

    // number 0 reads the next line; 1..LineCount() reads that line. The line comes without
    // its separator; a byte 0xFF ends it like the end of the file. False when closed, past the
    // last line, or (with 0) when every line has been read.
    bool ReadLine(std::string& line, int number = 0);

    int LineCount() const { return static_cast<int>(index_.size()); }
    // The longest line's length plus one, at least 1024.
    int LongestLine() const { return longest_; }

    // Writes text (each separator inside it turned into a blank) and a separator at the end,
    // then flushes. False when closed or when the write or flush fails.
    bool AppendLine(std::string_view text);
    // printf-style; any length is formatted in full.
    bool AppendFormatted(const char* format, ...) __attribute__((format(printf, 2, 3)));
    bool AppendFormattedV(const char* format, va_list args);

    char Separator() const { return separator_; }

  private:
    bool BuildIndex();

    char separator_ = '\n';
    std::vector<int64_t> index_;  // file offset of each line, line 1 first
    int longest_ = 1024;
    int next_line_ = 1;
};

}  // namespace text
