#include "check/CourseCheck.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "data/CommonTexts.h"
#include "data/OpenCourse.h"
#include "data/OptionChoices.h"
#include "data/ProductRecord.h"
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

// The folders under MSG, in name order.
std::vector<std::string> LanguageFolders(const CheckContext& c) {
    std::vector<std::string> folders;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(c.Native("MSG"), ec)) {
        if (e.is_directory(ec)) folders.push_back(e.path().filename().string());
    }
    std::sort(folders.begin(), folders.end());
    return folders;
}

// Whether the INI and the catalogue it names can be read, each a regular file within its cap.
bool SettingsReadable(CheckContext& c) {
    const std::string native_ini = platform::IniPathFor(c.Program());
    const std::string ini = native_ini.substr(native_ini.rfind('/') + 1);
    if (!c.Readable(ini, kSettingsCap)) return !c.Present(ini);
    data::Course probe(c.Program());
    if (!probe.Config().LoadConfiguration(probe.IniPath())) return true;  // said by the checks
    std::string catalogue = data::CataloguePath(probe.Config(), c.Program());
    if (catalogue.rfind(".\\", 0) == 0) catalogue.erase(0, 2);
    return !c.Present(catalogue) || c.Readable(catalogue, kSettingsCap);
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

void CheckContext::Add(Severity severity, const std::string& path, const std::string& code,
                       const std::string& message, int line, int text) {
    Finding f{path, line, text, severity, code, message, {}, 0};
    if (!seen_.insert(FormatFinding(f)).second) return;
    if (++per_file_[path] > kMaxFindingsPerFile) {
        ++cut_[path];
        return;
    }
    out_.push_back(std::move(f));
}

void CheckContext::Finish() {
    for (const auto& [path, count] : cut_) {
        out_.push_back(Finding{path,
                               0,
                               -1,
                               Severity::kError,
                               "findings-cut",
                               std::to_string(count) + " more findings in this file are not shown",
                               {},
                               0});
    }
    cut_.clear();
}

std::string CheckContext::Native(const std::string& path) const {
    auto [it, added] = native_.try_emplace(path);
    if (added) it->second = platform::NativePathIn(root_, path);
    return it->second;
}

bool CheckContext::Exists(const std::string& path) const {
    auto [it, added] = exists_.try_emplace(path);
    if (added) it->second = platform::FileExists(Native(path));
    return it->second;
}

namespace {

// Letters to change, add or remove to turn a into b, in any case.
size_t EditDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            auto up = [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; };
            const bool same = up(a[i - 1]) == up(b[j - 1]);
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string CheckContext::ScriptSuggestion(const std::string& missing) {
    if (!lde_listed_) {
        lde_listed_ = true;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(Native(data + "\\LDE"), ec))
            lde_names_.push_back(e.path().filename().string());
        std::sort(lde_names_.begin(), lde_names_.end());
    }
    const std::string name = missing.substr(missing.find_last_of('\\') + 1);
    const std::string* best = nullptr;
    size_t best_distance = 0;
    for (const std::string& candidate : lde_names_) {
        const size_t d = EditDistance(name, candidate);
        if (!best || d < best_distance) {
            best = &candidate;
            best_distance = d;
        }
    }
    // Near: a slip of a letter or two, not another name altogether.
    const size_t near = std::max<size_t>(1, std::min<size_t>(2, name.size() / 3));
    if (!best || best_distance == 0 || best_distance > near) return {};
    return "; did you mean " + *best + "?";
}

bool CheckContext::Present(const std::string& path) const {
    auto [it, added] = present_.try_emplace(path);
    if (added) it->second = LookAt(Native(path)).kind != FileLook::kMissing;
    return it->second;
}

bool CheckContext::Readable(const std::string& path, uint64_t cap) {
    const FileLook look = LookAt(Native(path));
    if (look.kind == FileLook::kMissing) return false;
    if (look.kind == FileLook::kRegular && look.size <= cap) return true;
    if (refused_.insert(path).second) {
        if (look.kind != FileLook::kRegular)
            Error(path, "file-not-regular",
                  "it is " + look.what + ", not a file: the player cannot read it");
        else
            Error(path, "file-too-large",
                  std::to_string(look.size) + " bytes, more than the " + std::to_string(cap) +
                      " such a file may hold");
    }
    return false;
}

bool CheckContext::ReadFile(const std::string& path, uint64_t cap,
                            const std::string& unreadable_code, std::string& out) {
    if (Present(path) && !Readable(path, cap)) return false;
    std::string why;
    if (ReadBounded(Native(path), cap, out, why)) return true;
    Error(path, unreadable_code, "cannot be read: " + why);
    return false;
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

    // Opening the course reads its INI and its catalogue whole: when either cannot be read
    // safely (a FIFO, a device, far too large), nothing is opened and that is the finding.
    if (!SettingsReadable(c)) {
        CheckStartup(c);
        c.Finish();
        SortFindings(findings);
        return {};
    }

    data::Course base(program);
    const bool base_opened = OpenBase(base);
    c.dir = base.Config().Get(data::kDirectory);

    // The languages: those asked for, else every folder under MSG with an entry COMMON.MSG
    // (whether it opens or not: one that does not is a finding, not a language less), and the
    // INI's language when its folder is there.
    std::vector<std::string> langs = options.languages;
    const std::string& ini_language = base.Config().Get(data::kLanguage);
    const std::vector<std::string> folders = LanguageFolders(c);
    auto has_folder = [&](const std::string& lang) {
        return std::any_of(folders.begin(), folders.end(),
                           [&](const std::string& f) { return Upper(f) == Upper(lang); });
    };
    if (langs.empty()) {
        for (const std::string& f : folders) {
            if (c.Present(c.MessagePath(f, data::kCommonName))) langs.push_back(f);
        }
        if (!ini_language.empty() && has_folder(ini_language) &&
            std::none_of(langs.begin(), langs.end(),
                         [&](const std::string& l) { return Upper(l) == Upper(ini_language); }))
            langs.push_back(ini_language);
    } else {
        for (const std::string& lang : langs) {
            if (!has_folder(lang)) return {EINVAL, lang, "no such language in the course"};
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
        const std::string common = c.MessagePath(lang, data::kCommonName);
        if (c.Present(common) && !c.Readable(common, kMessageCap)) {
            c.languages.push_back(std::move(l));
            continue;
        }
        if (platform::Status s = data::OpenCourse(*l.course, open); !s) {
            // A damaged common file is invalid data too: it is named by its path.
            const bool catalogue =
                s.what().rfind("MSG\\", 0) != 0 && (s.code() == platform::kErrorInvalidData ||
                                                    s.code() == platform::kErrorBadCatalogue);
            c.Error(catalogue ? "PRODUCT.DAT" : c.MessagePath(lang, "COMMON"),
                    catalogue ? "catalogue" : "course-open",
                    catalogue
                        ? "language " + lang + ": " + s.Text()
                        : "the common texts of language " + lang +
                              " cannot be opened, so the player cannot run in it: " + s.Text());
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
    if (c.product.empty()) c.product = base.Product().product_name;
    CheckSelectableLanguages(c, base.Config());

    CheckMessageFiles(c);
    CheckUsedTexts(c);
    CheckSteps(c);
    CheckScripts(c);
    CheckLanguagesAgree(c);
    if (options.run_scripts) RunScripts(c);
    c.Finish();
    SortFindings(findings);
    return {};
}

}  // namespace check
