// The text source form of message and conversion files, and the JSON lines of a dump.
//
//   # comment (only before the first record header)
//   @seed 4711        scramble seed; 0 or absent: texts stored plain
//   @version 1.0      major.minor
//   @modulus 1009     modulus of the stored checksums (default 1009)
//   @time 1700000000  the file's time stamp (else SOURCE_DATE_EPOCH or the current time)
//   [N] fmt           starts record N; after one blank, the record's format entry
//   text lines        joined with LF, trailing empty lines dropped; a leading '\' is removed
// Lines end with LF, CR LF or CR alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "text/MessageFile.h"
#include "text/MessageWriter.h"

namespace msgc {

struct SourceError {
    int line = 0;  // 1-based line of the source, 0 for the whole file
    std::string message;
};

// Parses a UTF-8 source into the file's content (texts in Windows-1252). False with the first
// error: a malformed directive or header, numbers out of order, a character the code page
// cannot hold, a '#' in a format entry, a NUL byte.
// has_time, when given, says whether the source set the time stamp (@time); header_lines, when
// given, receives the source line of each record's header (0 for a record the source skips).
bool ParseMessageSource(std::string_view source, text::MessageContent& out, SourceError& error,
                        bool* has_time = nullptr, std::vector<int>* header_lines = nullptr);

// One dump line: {"n": N, "text": "...", "spans": [...]} with the bytes shown as Windows-1252
// characters.
std::string JsonRecord(int number, const std::string& text,
                       const std::vector<text::TextSpan>& spans);

}  // namespace msgc
