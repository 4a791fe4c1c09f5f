#include "data/ConfigTable.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/AsciiCase.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"

namespace data {

const char* const kConfigKeys[kConfigKeyCount] = {
    "Language=", "Gaz=",    "Unit=",       "CheckID=", "Evaluate=",  "Start=",
    "Level=",    "IPserv=", "IPport=",     "RootDir=", "Directory=", "Editor=",
    "Flag=",     "Symbol=", "Resolution=", "Random=",
};

namespace {

const std::string& EmptyString() {
    static const std::string empty;
    return empty;
}

// A line as the C string it would be: cut at the first NUL, without its line end.
std::string_view CleanLine(std::string_view line) {
    if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    return line;
}

}  // namespace

int FindConfigKey(std::string_view line) {
    for (int i = 0; i < kConfigKeyCount; ++i) {
        std::string_view key = kConfigKeys[i];
        if (platform::StartsWithNoCase(line, key)) return i;
    }
    return -1;
}

int LeadingInt(std::string_view text) {
    size_t p = 0;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' ||
                               text[p] == '\r' || text[p] == '\v' || text[p] == '\f'))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
    long long value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        if (value <= 2147483648LL) value = value * 10 + (text[p] - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) return 2147483647;
    if (value < -2147483648LL) return -2147483647 - 1;
    return static_cast<int>(value);
}

const std::string& ConfigTable::Get(int index) const {
    if (index < 0 || index >= kConfigKeyCount) return EmptyString();
    return values_[static_cast<size_t>(index)];
}

void ConfigTable::Set(int index, std::string value) {
    if (index < 0 || index >= kConfigKeyCount) return;
    values_[static_cast<size_t>(index)] = std::move(value);
}

int ConfigTable::GetInt(int index) const {
    return LeadingInt(Get(index));
}

bool ConfigTable::ApplyOptionLine(std::string_view line) {
    line = CleanLine(line);
    if (line.empty()) return false;
    const int key = FindConfigKey(line);
    if (key < 0) return false;
    const std::string_view value = line.substr(std::string_view(kConfigKeys[key]).size());
    if (!Accepts(key, value)) {
        refused_.emplace_back(line);
        return false;
    }
    Set(key, std::string(value));
    return true;
}

bool ConfigTable::Accepts(int key, std::string_view value) {
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    auto has_dot_dot_part = [](std::string_view v) {
        size_t start = 0;
        while (start <= v.size()) {
            const size_t end = std::min(v.find_first_of("\\/", start), v.size());
            if (v.substr(start, end - start) == "..") return true;
            start = end + 1;
        }
        return false;
    };
    switch (key) {
        case kLanguage:
        case kGaz:
        case kUnit:
        case kLevel:
        case kDirectory:
        case kSymbol:
            return value.find_first_of("\\/:") == std::string_view::npos &&
                   value.find("..") == std::string_view::npos;
        case kRootDir:
            return !has_dot_dot_part(value);
        default:
            return true;
    }
}

platform::Status ConfigTable::LoadConfiguration(const std::string& path) {
    const std::string native = platform::NativePath(path);
    // A folder opens as a stream that reads nothing: it is named as what it is.
    if (platform::DirectoryExists(native)) return {EISDIR, path};
    // Only a regular file: a FIFO in its place would wait for a writer for ever.
    std::string bytes;
    if (const int error = platform::ReadRegularFile(native, bytes))
        return {error == ENOENT ? platform::kErrorFileNotFound : error, path};
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) ApplyOptionLine(line);
    return {};
}

std::string ConfigTable::RewriteConfiguration(std::string_view old_text) const {
    // A value never spans lines: anything from a line end on would become another key.
    auto value_of = [this](int key) {
        std::string_view value = values_[static_cast<size_t>(key)];
        return value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
    };
    std::string out;
    out.reserve(old_text.size() + 256);
    bool present[kConfigKeyCount] = {};
    std::string_view newline = "\n";
    bool first_end = true;
    for (size_t pos = 0; pos < old_text.size();) {
        size_t end = old_text.find('\n', pos);
        end = end == std::string_view::npos ? old_text.size() : end + 1;
        std::string_view line = old_text.substr(pos, end - pos);
        pos = end;
        std::string_view terminator = line.ends_with("\r\n") ? "\r\n"
                                      : line.ends_with('\n') ? "\n"
                                                             : "";
        if (first_end && !terminator.empty()) {
            newline = terminator;
            first_end = false;
        }
        const int key = line.empty() ? -1 : FindConfigKey(CleanLine(line));
        if (key < 0) {
            out += line;
            continue;
        }
        // Every line of the key gets the value, so whichever one a reader takes agrees.
        present[key] = true;
        out += line.substr(0, std::string_view(kConfigKeys[key]).size());
        out += value_of(key);
        out += terminator;
    }
    if (!out.empty() && out.back() != '\n') out += newline;
    for (int i = 0; i < kConfigKeyCount; ++i) {
        if (present[i]) continue;
        out += kConfigKeys[i];
        out += value_of(i);
        out += newline;
    }
    return out;
}

platform::Status ConfigTable::SaveConfiguration(const std::string& path) const {
    // The lines the player does not own are kept, so the old file is read first; one that
    // exists but cannot be read is not overwritten.
    std::string old_text;
    const std::string native = platform::NativePath(path);
    if (const int error = platform::ReadRegularFile(native, old_text);
        error != 0 && error != ENOENT)
        return {error, path};
    if (!platform::ReplaceFile(native, RewriteConfiguration(old_text)))
        return platform::Status::FromErrno(path);
    return {};
}

}  // namespace data
