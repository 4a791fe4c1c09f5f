#include "lesson/LevelTable.h"

#include <cstdio>
#include <fstream>

#include "data/ProductRecord.h"
#include "platform/Path.h"

namespace lesson {
namespace {

bool Ignored(std::string_view line) {
    return line.empty() || line.front() == ';';
}

}  // namespace

std::string MenuItemName(std::string_view caption) {
    const size_t colon = caption.rfind(':');
    return std::string(colon == std::string_view::npos ? caption : caption.substr(colon + 1));
}

std::string SubStepName(std::string_view caption) {
    return std::string(caption.substr(0, caption.find(':')));
}

std::string LookupLevelTable(const std::vector<std::string>& lines, int step,
                             std::string_view matrix, std::string_view item) {
    char header[16];
    std::snprintf(header, sizeof header, "##%02d", step);
    size_t i = 0;
    size_t column = 0;
    for (; i < lines.size(); ++i) {
        if (Ignored(lines[i])) continue;
        const auto fields = data::CatalogueFields(lines[i]);
        if (fields.empty() || fields[0] != header) continue;
        for (size_t c = 1; c < fields.size() && column == 0; ++c) {
            if (fields[c] == matrix) column = c;
        }
        break;
    }
    if (i == lines.size() || column == 0) return "-";
    for (++i; i < lines.size(); ++i) {
        if (Ignored(lines[i])) continue;
        const auto fields = data::CatalogueFields(lines[i]);
        if (fields.empty() || fields[0] != item) continue;
        return column < fields.size() ? std::string(fields[column]) : "-";
    }
    return "-";
}

bool ReadLevelTable(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(platform::NativePath(path));
    if (!in) return false;
    lines.clear();
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return true;
}

}  // namespace lesson
