#include "MessageSource.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "text/Codepage.h"

namespace msgc {
namespace {

// Records above this number are surely a typing error, not a file anyone wants.
constexpr long kMaxRecord = 1000000;

bool ParseLong(std::string_view s, long& value) {
    std::string t(s);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(t.c_str(), &end, 10);
    return *end == '\0' && errno == 0;
}

// Where the line starting at pos ends, and where the next one starts: CR LF, LF and a lone CR
// each end a line, so sources from any system read alike.
size_t LineEnd(std::string_view source, size_t pos, size_t& next) {
    size_t eol = source.find_first_of("\r\n", pos);
    if (eol == std::string_view::npos) {
        next = source.size();
        return source.size();
    }
    next = eol + 1;
    if (source[eol] == '\r' && next < source.size() && source[next] == '\n') ++next;
    return eol;
}

std::string Trim(std::string_view s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string_view::npos) return {};
    size_t b = s.find_last_not_of(" \t");
    return std::string(s.substr(a, b - a + 1));
}

void AppendJsonString(std::string& out, std::string_view cp1252) {
    out.push_back('"');
    for (char c : text::Cp1252ToUtf8(cp1252)) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out.push_back(c);
                }
        }
    }
    out.push_back('"');
}

}  // namespace

bool ParseMessageSource(std::string_view source, text::MessageContent& out, SourceError& error,
                        bool* has_time, std::vector<int>* header_lines) {
    out = text::MessageContent();
    if (has_time) *has_time = false;
    if (header_lines) header_lines->clear();
    auto fail = [&](int line, std::string message) {
        error.line = line;
        error.message = std::move(message);
        return false;
    };
    if (const size_t nul = source.find('\0'); nul != std::string_view::npos) {
        int line = 1;
        for (size_t pos = 0, next = 0; LineEnd(source, pos, next) < nul; pos = next) ++line;
        return fail(line, "NUL byte in the source");
    }
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);  // byte-order mark

    long current = -1;               // record being collected, -1 before the first header
    std::vector<std::string> lines;  // its text lines, already in Windows-1252
    auto finish = [&]() {
        if (current < 0) return;
        while (!lines.empty() && lines.back().empty()) lines.pop_back();
        std::string text;
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i) text.push_back('\n');
            text += lines[i];
        }
        out.texts[static_cast<size_t>(current)] = std::move(text);
        lines.clear();
    };

    int number = 0;
    size_t pos = 0;
    while (pos < source.size()) {
        size_t next = 0;
        const size_t eol = LineEnd(source, pos, next);
        std::string_view line = source.substr(pos, eol - pos);
        pos = next;
        ++number;

        std::string converted;
        size_t bad = 0;
        if (!text::Utf8ToCp1252(line, converted, &bad)) {
            return fail(number, "character at byte " + std::to_string(bad + 1) +
                                    " is not valid UTF-8 or has no Windows-1252 form");
        }

        if (!converted.empty() && converted[0] == '[') {
            size_t close = converted.find(']');
            long n = -1;
            if (close == std::string::npos || !ParseLong(converted.substr(1, close - 1), n) ||
                n < 0 || converted[1] == '+' || converted[1] == '-') {
                return fail(number,
                            "malformed record header (write \\[ to start a text line with [)");
            }
            if (n > kMaxRecord)
                return fail(number, "record number above " + std::to_string(kMaxRecord));
            if (n <= current) return fail(number, "record numbers must increase");
            std::string format = converted.substr(close + 1);
            if (!format.empty()) {
                if (format[0] != ' ')
                    return fail(number, "a blank must separate the header from its format");
                format.erase(0, 1);
            }
            if (format.find('#') != std::string::npos) {
                return fail(number, "a format entry cannot hold '#'");
            }
            finish();
            current = n;
            out.texts.resize(static_cast<size_t>(n) + 1);
            if (header_lines) {
                header_lines->resize(static_cast<size_t>(n) + 1);
                header_lines->back() = number;
            }
            if (!format.empty()) {
                out.formats.resize(static_cast<size_t>(n) + 1);
                out.formats[static_cast<size_t>(n)] = format;
            }
            continue;
        }
        if (current >= 0) {
            if (!converted.empty() && converted[0] == '\\') converted.erase(0, 1);
            lines.push_back(std::move(converted));
            continue;
        }
        // Before the first header: blank lines, comments and directives.
        std::string trimmed = Trim(converted);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        if (trimmed[0] != '@') return fail(number, "text before the first record header");
        size_t space = trimmed.find_first_of(" \t");
        std::string key = trimmed.substr(0, space);
        std::string value = space == std::string::npos ? "" : Trim(trimmed.substr(space));
        long v = 0;
        if (key == "@seed") {
            if (!ParseLong(value, v) || v < INT32_MIN || v > INT32_MAX) {
                return fail(number, "@seed needs a 32-bit integer");
            }
            out.seed = static_cast<int32_t>(v);
        } else if (key == "@modulus") {
            if (!ParseLong(value, v) || v < 0 || v > static_cast<long>(UINT32_MAX)) {
                return fail(number, "@modulus needs a number from 0 to 4294967295");
            }
            out.modulus = static_cast<uint32_t>(v);
        } else if (key == "@time") {
            if (!ParseLong(value, v) || v < 0 || v > static_cast<long>(UINT32_MAX)) {
                return fail(number, "@time needs a number of seconds from 0 to 4294967295");
            }
            out.time_stamp = static_cast<uint32_t>(v);
            if (has_time) *has_time = true;
        } else if (key == "@version") {
            size_t dot = value.find('.');
            long major = 0, minor = 0;
            if (dot == std::string::npos || !ParseLong(value.substr(0, dot), major) ||
                !ParseLong(value.substr(dot + 1), minor) || major < 0 || major > 255 || minor < 0 ||
                minor > 255) {
                return fail(number, "@version needs major.minor, each from 0 to 255");
            }
            out.major = static_cast<int>(major);
            out.minor = static_cast<int>(minor);
        } else {
            return fail(number, "unknown directive " + key);
        }
    }
    finish();
    if (current < 0) return fail(0, "no record header");
    return true;
}

std::string JsonRecord(int number, const std::string& text,
                       const std::vector<text::TextSpan>& spans) {
    std::string out = "{\"n\": " + std::to_string(number) + ", \"text\": ";
    AppendJsonString(out, text);
    out += ", \"spans\": [";
    for (size_t i = 0; i < spans.size(); ++i) {
        const text::TextSpan& s = spans[i];
        if (i) out += ", ";
        out += "{\"start\": " + std::to_string(s.start) +
               ", \"length\": " + std::to_string(s.length) +
               ", \"colour\": " + std::to_string((s.attribute >> 4) & 15) +
               ", \"style\": " + std::to_string(s.attribute & 15) + ", \"font\": ";
        AppendJsonString(out, s.font);
        out += "}";
    }
    out += "]}";
    return out;
}

}  // namespace msgc
