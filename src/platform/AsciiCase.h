// Case folding and comparison of ASCII letters only: courseware names, keys and commands are
// Windows-1252 bytes, and folding must not change with the process's locale.
#pragma once

#include <string>
#include <string_view>

namespace platform {

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

inline std::string ToLowerAscii(std::string s) {
    for (char& c : s) c = LowerAscii(c);
    return s;
}
inline std::string ToUpperAscii(std::string s) {
    for (char& c : s) c = UpperAscii(c);
    return s;
}

constexpr bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}
constexpr bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualNoCase(s.substr(0, prefix.size()), prefix);
}
constexpr bool EndsWithNoCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && EqualNoCase(s.substr(s.size() - suffix.size()), suffix);
}

}  // namespace platform
