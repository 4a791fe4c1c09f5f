#include "check/CourseCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "check/CheckContext.h"
#include "data/CommonTexts.h"
#include "data/OpenCourse.h"
#include "data/OptionChoices.h"
#include "platform/AsciiCase.h"
#include "platform/Path.h"

namespace check {

namespace {

// The course as its INI says, for what every language shares (the language list, the units).
bool OpenBase(data::Course& course) {
    data::CourseOptions options;
    options.catalogue_optional = true;
    if (data::OpenCourse(course, options)) return true;
    options.common_texts = false;
    return static_cast<bool>(data::OpenCourse(course, options));
}

}  // namespace

std::string Upper(std::string text) {
    return platform::ToUpperAscii(std::move(text));
}

std::vector<std::string> SplitText(const std::string& text, const std::string& sep) {
    std::vector<std::string> parts;
    size_t pos = 0;
    for (;;) {
        const size_t at = text.find(sep, pos);
        parts.push_back(text.substr(pos, at == std::string::npos ? std::string::npos : at - pos));
        if (at == std::string::npos) return parts;
        pos = at + sep.size();
    }
}

std::string CheckContext::Native(const std::string& path) const {
    return platform::NativePathIn(root_, path);
}

bool CheckContext::Exists(const std::string& path) const {
    return platform::FileExists(Native(path));
}

std::string CheckContext::ScriptPath(const std::string& name) const {
    return data + "\\LDE\\" + dir + name;
}

std::string CheckContext::MessagePath(const std::string& lang, const std::string& name) const {
    return "MSG\\" + lang + "\\" + name + ".MSG";
}

std::string CheckContext::StepFile(const std::string& lang, int level) const {
    char number[16];
    std::snprintf(number, sizeof number, "STEP%02d", level);
    return MessagePath(lang, dir + number);
}

std::string CheckContext::LevelTable(int level) const {
    char number[16];
    std::snprintf(number, sizeof number, "LEVEL%02d.CFG", level);
    return data + "\\CFG\\" + dir + number;
}

platform::Status CheckCourse(const std::string& folder, const CheckOptions& options,
                             std::vector<Finding>& findings) {
    std::string program;
    if (platform::Status found = data::CourseProgramIn(folder, program); !found) return found;
    const std::string root = program.substr(0, program.rfind('/'));
    CheckContext c(root.empty() ? "/" : root, program, options, findings);

    data::Course base(program);
    const bool base_opened = OpenBase(base);
    const int32_t base_seed = base.CommonSeed();
    c.dir = base.Config().Get(data::kDirectory);

    // The languages: those asked for, else every folder with common texts.
    std::vector<std::string> langs = options.languages;
    const std::vector<data::LanguageEntry> present =
        data::FindLanguages(base, data::kCommonName, base_seed);
    if (langs.empty()) {
        for (const data::LanguageEntry& e : present) langs.push_back(e.folder);
        if (langs.empty() && !base.Config().Get(data::kLanguage).empty())
            langs.push_back(base.Config().Get(data::kLanguage));
    } else {
        for (const std::string& lang : langs) {
            const bool known = std::any_of(present.begin(), present.end(), [&](const auto& e) {
                return Upper(e.folder) == Upper(lang);
            });
            if (!known) return {EINVAL, lang, "no such language in the course"};
        }
    }

    // The unit systems: those asked for, else the options window's choices, else Unit=.
    std::vector<std::string> units = options.units;
    if (units.empty() && base_opened) {
        for (int number : data::kUnitChoiceTexts) {
            const data::OptionChoice choice = data::ParseOptionChoice(base.CommonText(number));
            if (!choice.code.empty() &&
                std::find(units.begin(), units.end(), choice.code) == units.end())
                units.push_back(choice.code);
        }
    }
    if (units.empty()) units.push_back(base.Config().Get(data::kUnit));
    for (const std::string& u : units) c.units.push_back(UnitSystem{u, 0});

    CheckStartup(c);
    for (const std::string& lang : langs) {
        LanguageCourse l;
        l.lang = lang;
        l.course = std::make_unique<data::Course>(program);
        data::CourseOptions open;
        open.language = lang;
        if (platform::Status s = data::OpenCourse(*l.course, open); !s) {
            const bool catalogue =
                s.code() == platform::kErrorInvalidData || s.code() == platform::kErrorBadCatalogue;
            c.Error(catalogue ? "PRODUCT.DAT" : c.MessagePath(lang, "COMMON"),
                    catalogue ? "catalogue" : "course-open", "language " + lang + ": " + s.Text());
        } else {
            l.opened = true;
            if (c.data.empty()) {
                c.data = l.course->Product().data_dir;
                c.product = l.course->Product().product_name;
            }
        }
        c.languages.push_back(std::move(l));
    }
    if (c.data.empty()) c.data = base.Product().data_dir.empty() ? "." : base.Product().data_dir;

    CheckMessageFiles(c);
    CheckUsedTexts(c);
    CheckSteps(c);
    CheckScripts(c);
    CheckLanguagesAgree(c);
    if (options.run_scripts) RunScripts(c);
    SortFindings(findings);
    return {};
}

}  // namespace check
