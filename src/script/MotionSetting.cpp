#include "script/MotionSetting.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace script {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    }
    return true;
}

}  // namespace

bool ReduceMotionIn(std::string_view ini_text) {
    constexpr std::string_view kKey = "ReduceMotion=";
    bool on = false;
    size_t pos = 0;
    while (pos < ini_text.size()) {
        size_t end = ini_text.find('\n', pos);
        if (end == std::string_view::npos) end = ini_text.size();
        std::string_view line = ini_text.substr(pos, end - pos);
        pos = end + 1;
        if (!StartsWithNoCase(line, kKey)) continue;
        std::string_view value = line.substr(kKey.size());
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.remove_suffix(1);
        on = value == "1" || StartsWithNoCase(value, "yes") || StartsWithNoCase(value, "on") ||
             StartsWithNoCase(value, "true");
    }
    return on;
}

bool ReadReduceMotion(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    return ReduceMotionIn(text.str());
}

}  // namespace script
