#include "data/OptionFiles.h"

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string_view>

#include "data/ConfigTable.h"
#include "data/CoursePaths.h"
#include "platform/Path.h"
#include "platform/ReadFile.h"
#include "platform/ReplaceFile.h"

namespace data {
namespace {

// Reads the lines of a text file without their line ends (LF or CR LF). Fails with the path
// and why when the file cannot be opened.
platform::Status ReadLines(const std::string& path, std::vector<std::string>& lines) {
    // Only a regular file: a FIFO in its place would wait for a writer for ever.
    std::string bytes;
    if (const int error = platform::ReadRegularFile(platform::NativePath(path), bytes))
        return {error > 0 ? error : ENOENT, path};
    std::istringstream in(bytes);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return {};
}

void AppendSection(std::string& out, const char* label, const std::string& path,
                   const std::vector<std::string>& lines) {
    out += label;
    out += path;
    out += '\n';
    for (const std::string& line : lines) {
        out += line;
        out += '\n';
    }
}

}  // namespace

platform::Status ApplyOptionFile(ConfigTable& config, const std::string& path,
                                 std::vector<std::string>* lines) {
    std::vector<std::string> read;
    if (platform::Status status = ReadLines(path, read); !status) return status;
    for (const std::string& line : read) config.ApplyOptionLine(line);
    if (lines != nullptr) *lines = std::move(read);
    return {};
}

std::string OptionFileToLoad(const std::string& user_path, const std::string& group_path,
                             const std::string& program_path) {
    if (platform::FileExists(user_path)) return user_path;
    if (platform::FileExists(group_path)) return group_path;
    return program_path;
}

AppliedOptions ApplyUserOptions(ConfigTable& config, const std::string& root,
                                const std::string& folder, int group, int user) {
    AppliedOptions applied;
    applied.group_path = GroupOptionsPath(root, folder, group);
    applied.user_path = UserOptionsPath(root, folder, user, group);
    // A missing file applies nothing; the summary shows what was read.
    (void)ApplyOptionFile(config, applied.group_path, &applied.group_lines);
    (void)ApplyOptionFile(config, applied.user_path, &applied.user_lines);
    return applied;
}

std::string OptionSummary(const AppliedOptions& applied, const ConfigTable& config) {
    std::string out;
    AppendSection(out, "grp: ", applied.group_path, applied.group_lines);
    AppendSection(out, "usr: ", applied.user_path, applied.user_lines);
    const std::pair<const char*, int> values[] = {
        {"lang: ", kLanguage}, {"gaz: ", kGaz},     {"unit: ", kUnit},   {"symb: ", kSymbol},
        {"dir: ", kDirectory}, {"start: ", kStart}, {"rand: ", kRandom},
    };
    for (const auto& [label, key] : values) {
        out += label;
        out += config.Get(key);
        out += '\n';
    }
    out.pop_back();
    return out;
}

std::string OptionFileText(const ConfigTable& config) {
    std::string text;
    for (int i = 0; i < kConfigKeyCount; ++i) {
        // A value never spans lines: what followed a line end would read as another key.
        std::string_view value = config.Get(i);
        value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
        text += kConfigKeys[i];
        text += value;
        text += '\n';
    }
    return text;
}

platform::Status WriteOptionFile(const ConfigTable& config, const std::string& path) {
    errno = 0;
    if (!platform::ReplaceFile(path, OptionFileText(config)))
        return {errno != 0 ? errno : EIO, path};
    return {};
}

platform::Status ReadFluids(const std::string& path, std::vector<std::string>& fluids) {
    std::vector<std::string> lines;
    if (platform::Status status = ReadLines(path, lines); !status) return status;
    for (std::string& line : lines)
        if (!line.empty() && line[0] != ';') fluids.push_back(std::move(line));
    return {};
}

}  // namespace data
