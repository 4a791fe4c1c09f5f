#include "Po.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace msgc {
namespace {

void AppendEscaped(std::string& out, std::string_view s) {
    for (char c : s) {
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
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\%03o", static_cast<unsigned char>(c));
                    out += buf;
                } else {
                    out.push_back(c);
                }
        }
    }
}

void AppendKeyword(std::string& out, std::string_view keyword, std::string_view value) {
    out += keyword;
    const size_t lf = value.find('\n');
    if (lf == std::string_view::npos || lf + 1 == value.size()) {
        out += " \"";
        AppendEscaped(out, value);
        out += "\"\n";
        return;
    }
    out += " \"\"\n";
    size_t pos = 0;
    while (pos < value.size()) {
        size_t end = value.find('\n', pos);
        end = end == std::string_view::npos ? value.size() : end + 1;
        out += "\"";
        AppendEscaped(out, value.substr(pos, end - pos));
        out += "\"\n";
        pos = end;
    }
}

// Reads the C string starting at s[0] == '"'; false when it is not closed or has a bad escape.
bool ReadQuoted(std::string_view s, std::string& out, std::string& why) {
    size_t i = 1;
    while (i < s.size() && s[i] != '"') {
        if (s[i] != '\\') {
            out.push_back(s[i++]);
            continue;
        }
        if (++i == s.size()) break;
        const char e = s[i++];
        switch (e) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'a':
                out.push_back('\a');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'v':
                out.push_back('\v');
                break;
            case '"':
            case '\\':
            case '\'':
            case '?':
                out.push_back(e);
                break;
            case 'x': {
                int value = 0, digits = 0;
                while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i]))) {
                    const char h = s[i++];
                    value = value * 16 + (h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
                    if (++digits > 2) break;
                }
                if (digits == 0 || digits > 2) {
                    why = "a bad \\x escape";
                    return false;
                }
                out.push_back(static_cast<char>(value));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0';
                    for (int k = 0; k < 2 && i < s.size() && s[i] >= '0' && s[i] <= '7'; ++k)
                        value = value * 8 + (s[i++] - '0');
                    out.push_back(static_cast<char>(value & 0xFF));
                } else {
                    why = std::string("an unknown escape \\") + e;
                    return false;
                }
        }
    }
    if (i >= s.size()) {
        why = "a string without its closing quote";
        return false;
    }
    const std::string_view rest = s.substr(i + 1);
    if (rest.find_first_not_of(" \t") != std::string_view::npos) {
        why = "text after a string's closing quote";
        return false;
    }
    return true;
}

std::string_view TrimLeft(std::string_view s) {
    const size_t a = s.find_first_not_of(" \t");
    return a == std::string_view::npos ? std::string_view() : s.substr(a);
}

}  // namespace

bool PoEntry::HasFlag(std::string_view flag) const {
    return std::find(flags.begin(), flags.end(), flag) != flags.end();
}

std::string FormatPoEntry(const PoEntry& entry) {
    std::string out;
    for (const std::string& c : entry.comments) out += c.empty() ? "#.\n" : "#. " + c + "\n";
    if (!entry.flags.empty()) {
        out += "#,";
        for (size_t i = 0; i < entry.flags.size(); ++i) out += (i ? ", " : " ") + entry.flags[i];
        out += "\n";
    }
    if (entry.has_context) AppendKeyword(out, "msgctxt", entry.context);
    AppendKeyword(out, "msgid", entry.id);
    AppendKeyword(out, "msgstr", entry.translation);
    out += "\n";
    return out;
}

bool ParsePo(std::string_view text, std::vector<PoEntry>& entries, int& error_line,
             std::string& why) {
    entries.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    PoEntry entry;
    bool started = false;  // a comment or keyword of the entry was read
    bool has_id = false, has_str = false;
    std::string* target = nullptr;  // the string continuation lines extend
    auto finish = [&]() -> bool {
        if (started && (has_id || has_str)) {
            if (!has_id || !has_str) {
                why = has_id ? "an entry without msgstr" : "an entry without msgid";
                return false;
            }
            entries.push_back(std::move(entry));
        }
        entry = PoEntry();
        started = has_id = has_str = false;
        target = nullptr;
        return true;
    };
    int number = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = TrimLeft(line);
        error_line = number;
        if (line.empty()) {
            if (!finish()) return false;
            continue;
        }
        if (line[0] == '#') {
            // A comment after the strings starts the next entry.
            if (has_str && !finish()) return false;
            if (line.substr(0, 2) == "#~") {
                target = nullptr;
                continue;  // obsolete entries are not texts of the course any more
            }
            if (!started) entry.line = number;
            started = true;
            if (line.substr(0, 2) == "#.") {
                entry.comments.emplace_back(TrimLeft(line.substr(2)));
            } else if (line.substr(0, 2) == "#,") {
                std::string_view rest = line.substr(2);
                while (!rest.empty()) {
                    const size_t comma = rest.find(',');
                    std::string_view flag = TrimLeft(rest.substr(0, comma));
                    while (!flag.empty() && (flag.back() == ' ' || flag.back() == '\t'))
                        flag.remove_suffix(1);
                    if (!flag.empty()) entry.flags.emplace_back(flag);
                    if (comma == std::string_view::npos) break;
                    rest = rest.substr(comma + 1);
                }
            }
            target = nullptr;
            continue;
        }
        if (line[0] == '"') {
            if (!target) {
                why = "a string continues no keyword";
                return false;
            }
            if (!ReadQuoted(line, *target, why)) return false;
            continue;
        }
        const size_t space = line.find_first_of(" \t");
        const std::string_view keyword = line.substr(0, space);
        const std::string_view value =
            space == std::string_view::npos ? std::string_view() : TrimLeft(line.substr(space));
        if (keyword == "msgctxt" || (keyword == "msgid" && !entry.has_context)) {
            if (has_str && !finish()) return false;
        }
        if (!started) entry.line = number;
        started = true;
        if (keyword == "msgctxt") {
            entry.has_context = true;
            target = &entry.context;
        } else if (keyword == "msgid") {
            has_id = true;
            target = &entry.id;
        } else if (keyword == "msgid_plural") {
            entry.plural = true;
            target = &entry.translation;  // read and dropped below
        } else if (keyword == "msgstr" || keyword.substr(0, 7) == "msgstr[") {
            has_str = true;
            entry.translation_line = number;
            if (keyword != "msgstr") entry.plural = true;
            target = &entry.translation;
        } else {
            why = "unknown keyword " + std::string(keyword);
            return false;
        }
        if (value.empty() || value[0] != '"') {
            why = std::string(keyword) + " without a string";
            return false;
        }
        if (entry.plural && keyword == "msgid_plural") {
            std::string dropped;
            if (!ReadQuoted(value, dropped, why)) return false;
            target = nullptr;
            continue;
        }
        if (!ReadQuoted(value, *target, why)) return false;
    }
    return finish();
}

std::string PoHeaderField(const std::string& header, std::string_view field) {
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find('\n', pos);
        if (end == std::string::npos) end = header.size();
        std::string_view line(header.data() + pos, end - pos);
        pos = end + 1;
        if (line.size() > field.size() && line.substr(0, field.size()) == field &&
            line[field.size()] == ':') {
            std::string_view value = TrimLeft(line.substr(field.size() + 1));
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.remove_suffix(1);
            return std::string(value);
        }
    }
    return {};
}

}  // namespace msgc
