// Gettext PO files as translators' tools read and write them: entries with their comments,
// flags and context, strings escaped as C strings in UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace msgc {

struct PoEntry {
    std::vector<std::string> comments;  // extracted comments ("#. "), one per line
    std::vector<std::string> flags;     // "#, " flags: "fuzzy", "qt-format", ...
    std::string context;                // msgctxt
    std::string id;                     // msgid
    std::string translation;            // msgstr
    bool has_context = false;
    bool plural = false;       // the entry has msgid_plural (not used by courses)
    int line = 0;              // first line of the entry in the file
    int translation_line = 0;  // line of its msgstr

    bool HasFlag(std::string_view flag) const;
};

// The entry in PO form: comments, flags, msgctxt, msgid, msgstr, then a blank line. Strings
// that hold line ends are written one line of the text per PO line.
std::string FormatPoEntry(const PoEntry& entry);

// Every entry of a PO file (the header, msgid "", included; obsolete "#~" entries left out).
// False with the line and why on a malformed file.
bool ParsePo(std::string_view text, std::vector<PoEntry>& entries, int& error_line,
             std::string& why);

// The value of a header field ("X-Source-Language") of the header entry's msgstr, "" if none.
std::string PoHeaderField(const std::string& header, std::string_view field);

}  // namespace msgc
