#include "data/ProductRecord.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "data/ConfigTable.h"
#include "platform/AsciiCase.h"
#include "platform/Notifier.h"
#include "platform/Path.h"

namespace data {

namespace {

// One hexadecimal part of a version, wrapping in 32 bits; 0 when empty or not hexadecimal.
uint32_t HexPart(std::string_view part) {
    if (part.size() >= 2 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X'))
        part.remove_prefix(2);
    if (part.empty()) return 0;
    uint32_t value = 0;
    for (char c : part) {
        uint32_t digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<uint32_t>(c - 'A' + 10);
        else
            return 0;
        value = (value << 4) | digit;
    }
    return value;
}

bool HasDriveLetter(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

}  // namespace

uint32_t ReduceVersion(std::string_view text) {
    const size_t colon = text.find(':');
    const uint32_t a = HexPart(text.substr(0, colon));
    const uint32_t b = colon == std::string_view::npos ? 0 : HexPart(text.substr(colon + 1));
    return ((a & ~0xFFu) << 16) + (b & ~0xFFu);
}

std::string CatalogueField(std::string_view line, int k) {
    if (k < 1) return {};
    size_t pos = 0;
    for (int i = 0; i < k; ++i) {
        pos = line.find('[', pos);
        if (pos == std::string_view::npos) return {};
        ++pos;
    }
    const size_t end = line.find(']', pos);
    return std::string(line.substr(pos, end == std::string_view::npos ? end : end - pos));
}

std::vector<std::string_view> CatalogueFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t close = 0;       // the first ']' at or after the current field's start
    bool searched = false;  // close is valid
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '[') continue;
        const size_t start = i + 1;
        if (!searched || (close != std::string_view::npos && close < start)) {
            close = line.find(']', start);
            searched = true;
        }
        const size_t end = close == std::string_view::npos ? line.size() : close;
        fields.push_back(line.substr(start, end - start));
    }
    return fields;
}

std::string ReplaceDriveMark(std::string_view path, std::string_view program_path) {
    if (path.empty() || path[0] != '?') return std::string(path);
    if (HasDriveLetter(program_path))
        return std::string(1, program_path[0]) + std::string(path.substr(1));
    path.remove_prefix(path.size() >= 2 && path[1] == ':' ? 2 : 1);
    return std::string(path);
}

std::string CataloguePath(const ConfigTable& config, std::string_view program_path) {
    const std::string& root = config.Get(kRootDir);
    return ReplaceDriveMark((root.empty() ? std::string(".") : root) + "\\PRODUCT.DAT",
                            program_path);
}

std::string BadVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "%s: bad version %lX:%lX", "PRODUCT.DAT",
                  static_cast<unsigned long>(kProgramVersionMajor),
                  static_cast<unsigned long>(kProgramVersionMinor));
    return text;
}

namespace {

// A language as a message may quote it: a name from the command line can be of any length.
std::string Quoted(std::string_view language) {
    constexpr size_t kShown = 40;
    if (language.size() <= kShown) return std::string(language);
    return std::string(language.substr(0, kShown)) + "...";
}

// Fields of a line up to the first empty one, as the record takes them.
size_t LeadingFields(std::vector<std::string_view>& fields) {
    for (size_t k = 0; k < fields.size(); ++k) {
        if (fields[k].empty()) {
            fields.resize(k);
            break;
        }
    }
    return fields.size();
}

std::string ShortLineText(const std::string& path, int line, size_t fields) {
    return path + ": line " + std::to_string(line) + " has " + std::to_string(fields) +
           " of its 8 fields";
}

}  // namespace

platform::Status LoadProduct(const ConfigTable& config, std::string_view program_path,
                             ProductRecord& record, std::string_view root) {
    const std::string path = CataloguePath(config, program_path);
    const std::string native = platform::NativePathIn(root, path);
    if (platform::DirectoryExists(native)) return {EISDIR, path};
    std::ifstream in(native, std::ios::binary);
    if (!in) return {platform::kErrorFileNotFound, path};
    char program_version[32];
    std::snprintf(program_version, sizeof program_version, "%04lX:%04lX",
                  static_cast<unsigned long>(kProgramVersionMajor),
                  static_cast<unsigned long>(kProgramVersionMinor));
    const uint32_t wanted = ReduceVersion(program_version);
    const std::string& language = config.Get(kLanguage);

    // What the lines that were passed over say, for the report when none is taken.
    bool other_version = false;
    int short_line = 0;
    size_t short_fields = 0;
    int number = 0;
    for (std::string raw; std::getline(in, raw);) {
        ++number;
        std::string_view line = raw;
        // Lines are C strings: a NUL ends one, and its line end is not part of it.
        if (size_t nul = line.find('\0'); nul != std::string_view::npos) line = line.substr(0, nul);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line[0] == '#') continue;
        if (!platform::EqualNoCase(CatalogueField(line, 8), language)) {
            if (!short_line && line.find('[') != std::string_view::npos) {
                std::vector<std::string_view> fields = CatalogueFields(line);
                if (const size_t n = LeadingFields(fields); n < 8) {
                    short_line = number;
                    short_fields = n;
                }
            }
            continue;
        }
        if (ReduceVersion(CatalogueField(line, 5)) != wanted) {
            other_version = true;
            continue;
        }

        std::vector<std::string_view> fields = CatalogueFields(line);
        if (LeadingFields(fields) < 8)
            return {platform::kErrorBadCatalogue, ShortLineText(path, number, fields.size())};
        record = ProductRecord{};
        record.app_name = fields[0];
        record.field2 = fields[1];
        record.data_dir = ReplaceDriveMark(fields[2], program_path);
        record.product_file = fields[3];
        record.product_name = fields[3].substr(0, fields[3].find('.'));
        record.version = fields[4];
        record.field7 = fields[6];
        record.language = fields[7];
        return {};
    }
    if (other_version) return {platform::kErrorInvalidData, BadVersionText()};
    if (short_line)
        return {platform::kErrorBadCatalogue, ShortLineText(path, short_line, short_fields) +
                                                  ", and no line is for the language " +
                                                  Quoted(language)};
    return {platform::kErrorInvalidData, path + ": no line for the language " + Quoted(language)};
}

}  // namespace data
