#include "data/ConfigTable.h"

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "platform/Notifier.h"
#include "platform/Path.h"

namespace data {

const char* const kConfigKeys[kConfigKeyCount] = {
    "Language=", "Gaz=",    "Unit=",       "CheckID=", "Evaluate=",  "Start=",
    "Level=",    "IPserv=", "IPport=",     "RootDir=", "Directory=", "Editor=",
    "Flag=",     "Symbol=", "Resolution=", "Random=",
};

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

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
        if (line.size() < key.size()) continue;
        bool same = true;
        for (size_t k = 0; k < key.size() && same; ++k) same = Lower(line[k]) == Lower(key[k]);
        if (same) return i;
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
    Set(key, std::string(line.substr(std::string_view(kConfigKeys[key]).size())));
    return true;
}

int ConfigTable::LoadConfiguration(const std::string& path) {
    std::ifstream in(platform::NativePath(path), std::ios::binary);
    if (!in) {
        platform::CurrentNotifier().ShowSystemError(path, platform::kErrorFileNotFound);
        return -1;
    }
    for (std::string line; std::getline(in, line);) ApplyOptionLine(line);
    return 0;
}

bool ConfigTable::SaveConfiguration(const std::string& path) const {
    std::FILE* f = std::fopen(platform::NativePath(path).c_str(), "wb");
    if (f == nullptr) {
        platform::CurrentNotifier().ShowSystemError(path, -1);
        return false;
    }
    bool ok = true;
    for (int i = 0; i < kConfigKeyCount; ++i) {
        // A value never spans lines: anything from a line end on would become another key.
        std::string_view value = values_[static_cast<size_t>(i)];
        value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
        ok = ok && std::fprintf(f, "%s%.*s\n", kConfigKeys[i], static_cast<int>(value.size()),
                                value.data()) >= 0;
    }
    if (std::fclose(f) != 0) ok = false;
    if (!ok) platform::CurrentNotifier().ShowSystemError(path, -1);
    return ok;
}

}  // namespace data
