#include "report/HistoryLines.h"

#include <charconv>

namespace report {

namespace {

// Reads "<prefix><int>" at pos, after one or more blanks when blank is set; false when it is
// not there.
bool Field(std::string_view line, size_t& pos, bool blank, std::string_view prefix, int& out) {
    if (blank) {
        if (pos >= line.size() || line[pos] != ' ') return false;
        while (pos < line.size() && line[pos] == ' ') ++pos;
    }
    if (line.substr(pos, prefix.size()) != prefix) return false;
    pos += prefix.size();
    const auto [end, ec] = std::from_chars(line.data() + pos, line.data() + line.size(), out);
    if (ec != std::errc()) return false;
    pos = size_t(end - line.data());
    return true;
}

bool ParseLine(std::string_view line, HistoryLine& out) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line == "~-1:-1") {
        out = HistoryLine();
        out.abandon = true;
        out.expected = out.given = -1;
        return true;
    }
    size_t pos = 0;
    if (!Field(line, pos, false, "#F", out.f) || !Field(line, pos, true, "E", out.level) ||
        !Field(line, pos, true, "Q", out.step) || !Field(line, pos, true, "", out.expected) ||
        !Field(line, pos, false, ":", out.given) || !Field(line, pos, true, "N", out.series))
        return false;
    if (pos >= line.size() || line[pos] != ' ') return false;
    out.directory = std::string(line.substr(pos + 1));
    return true;
}

}  // namespace

HistoryText ParseHistory(std::string_view text) {
    HistoryText result;
    int number = 0;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) break;  // a record still being written
        ++number;
        HistoryLine line;
        if (ParseLine(text.substr(start, end - start), line))
            result.lines.push_back(std::move(line));
        else if (result.bad_line == 0)
            result.bad_line = number;
        start = end + 1;
    }
    return result;
}

}  // namespace report
