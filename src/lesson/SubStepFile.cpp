#include "lesson/SubStepFile.h"

#include <algorithm>

#include "lesson/StepParameters.h"

namespace lesson {

bool OpenSubStepFile(const LessonSettings& settings, const std::string& name,
                     text::MessageFile& file, std::string& path) {
    path = settings.course->SubStepMessage(name);
    settings.course->Prepare(file);
    if (!file.Open(path)) return false;
    file.SetCheckModulus(text::MessageFile::kStandardModulus);
    file.SetSeed(settings.CommonSeed());
    file.SetShowErrors(settings.Has(data::Developer));
    file.SetConversionLine(
        settings.Config(data::kUnit) == settings.Common(data::kTextUnitSystem) ? 0 : 1);
    return true;
}

std::vector<std::string> SubStepLines(text::MessageFile& file) {
    std::vector<std::string> lines;
    const std::string list = file.GetText(2);
    if (list.empty()) return lines;
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find('\n', start), list.size());
        lines.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<int> RightSubStepLines(const std::vector<std::string>& lines) {
    std::vector<int> right;
    for (size_t k = 0; k < lines.size(); ++k) {
        if (lines[k].empty()) continue;
        std::string script, matrix;
        int points = 0;
        ParseSubStepLine(lines[k], script, points, matrix);
        if (script == "#0") right.push_back(static_cast<int>(k));
    }
    return right;
}

}  // namespace lesson
