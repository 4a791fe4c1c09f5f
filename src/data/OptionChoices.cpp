#include "data/OptionChoices.h"

#include "data/Course.h"
#include "data/OpenCourse.h"
#include "platform/Path.h"
#include "text/MessageFile.h"

namespace data {
namespace {

constexpr size_t kMaxCodeLength = 20;

}  // namespace

OptionChoice ParseOptionChoice(std::string_view text) {
    OptionChoice choice;
    if (size_t open = text.find('('); open != std::string_view::npos) {
        std::string_view rest = text.substr(open + 1);
        rest = rest.substr(0, rest.find(')'));
        choice.code = std::string(rest.substr(0, kMaxCodeLength));
    }
    choice.name = std::string(text.substr(0, text.find(" (")));
    return choice;
}

std::vector<OptionChoice> FindLanguageChoices(const Course& course, const std::string& common_name,
                                              int32_t seed, const std::string& language,
                                              bool developer) {
    std::vector<OptionChoice> choices;
    const std::string wanted = "(" + language + ")";
    for (const LanguageEntry& entry : FindLanguages(course, common_name, seed)) {
        if (!developer && entry.caption.find(wanted) == std::string::npos) continue;
        choices.push_back({entry.code, ParseOptionChoice(entry.caption).name});
    }
    return choices;
}

}  // namespace data
