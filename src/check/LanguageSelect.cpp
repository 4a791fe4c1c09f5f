// Every language the course lets someone select can run: the INI's Language=, the languages the
// options window offers (the codes of the common texts' captions) and the Language= lines of
// the group and user option files the course ships. Each needs its catalogue line, its folder
// under MSG and common texts that open.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "data/ConfigTable.h"
#include "data/OpenCourse.h"
#include "data/OptionChoices.h"
#include "data/ProductRecord.h"
#include "platform/AsciiCase.h"
#include "platform/Path.h"
#include "text/MessageFile.h"

namespace check {

namespace {

// Why the player cannot run in language code, or "" when it can.
std::string LanguageProblem(CheckContext& c, const data::ConfigTable& settings,
                            const std::string& code) {
    if (!data::ConfigTable::Accepts(data::kLanguage, code)) return "it leads out of the course";
    std::string why;
    auto add = [&](const std::string& reason) { why += (why.empty() ? "" : "; ") + reason; };
    data::ConfigTable config = settings;
    config.Set(data::kLanguage, code);
    std::string catalogue = data::CataloguePath(config, c.Program());
    if (catalogue.rfind(".\\", 0) == 0) catalogue.erase(0, 2);
    data::ProductRecord record;
    // A catalogue that is missing or cannot be read is a finding of its own.
    if (c.Exists(catalogue)) {
        if (platform::Status s = data::LoadProduct(config, c.Program(), record, c.Root()); !s)
            add(s.Text());
    }
    const std::string folder = "MSG\\" + code;
    const std::string common = c.MessagePath(code, data::kCommonName);
    text::MessageFile file(c.Program());
    if (!platform::DirectoryExists(c.Native(folder))) {
        add("there is no folder " + folder);
    } else if (!c.Present(common)) {
        add(common + " is missing");
    } else if (!c.Readable(common, kMessageCap) || !file.Open(c.Native(common)) ||
               file.RecordCount() == 0) {
        add(common + " cannot be opened");
    }
    return why;
}

// INI.<group> or INI<user>.<group>, numbers of up to three digits.
bool IsOptionFileName(const std::string& upper) {
    const size_t dot = upper.find('.');
    if (upper.rfind("INI", 0) != 0 || dot == std::string::npos) return false;
    auto digits = [](const std::string& s) {
        return s.size() <= 3 && s.find_first_not_of("0123456789") == std::string::npos;
    };
    const std::string user = upper.substr(3, dot - 3), group = upper.substr(dot + 1);
    return digits(user) && !group.empty() && digits(group);
}

// The group and user option files in the learners' folders (<data>\<product>\<lang>), in the
// courseware's form.
std::vector<std::string> OptionFiles(const CheckContext& c) {
    std::vector<std::string> files;
    if (c.product.empty()) return files;
    const std::string base = c.data + "\\" + c.product;
    std::error_code ec;
    for (const auto& lang : std::filesystem::directory_iterator(c.Native(base), ec)) {
        if (!lang.is_directory(ec)) continue;
        const std::string folder = base + "\\" + lang.path().filename().string();
        std::error_code inner;
        for (const auto& e : std::filesystem::directory_iterator(lang.path(), inner)) {
            const std::string name = e.path().filename().string();
            if (IsOptionFileName(Upper(name))) files.push_back(folder + "\\" + name);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// The languages the options window offers: each folder's caption (common text 0, read with
// the file's own seed) and the code it carries.
std::vector<data::LanguageEntry> OfferedLanguages(CheckContext& c) {
    std::vector<data::LanguageEntry> offered;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(c.Native("MSG"), ec)) {
        if (!e.is_directory(ec)) continue;
        const std::string folder = e.path().filename().string();
        const std::string common = c.MessagePath(folder, data::kCommonName);
        text::MessageFile file(c.Program());
        if (!c.Readable(common, kMessageCap) || !file.Open(c.Native(common))) continue;
        file.SetCheckModulus(text::MessageFile::kStandardModulus);
        data::LanguageEntry entry{folder, file.RawText(0), {}};
        entry.code = data::ParseOptionChoice(entry.caption).code;
        if (entry.code.empty()) entry.code = folder;
        offered.push_back(std::move(entry));
    }
    std::sort(offered.begin(), offered.end(),
              [](const auto& a, const auto& b) { return a.folder < b.folder; });
    return offered;
}

}  // namespace

void CheckSelectableLanguages(CheckContext& c, const data::ConfigTable& settings) {
    const std::vector<data::LanguageEntry> offered = OfferedLanguages(c);
    const std::string& language = settings.Get(data::kLanguage);
    if (!language.empty() && c.language_line > 0) {
        if (const std::string why = LanguageProblem(c, settings, language); !why.empty())
            c.Error(c.ini, "ini-language",
                    "Language=" + language + ": the player cannot run in it: " + why,
                    c.language_line);
    }
    for (const data::LanguageEntry& e : offered) {
        if (e.code.empty() || platform::EqualNoCase(e.code, language)) continue;
        if (const std::string why = LanguageProblem(c, settings, e.code); !why.empty())
            c.Error(c.MessagePath(e.folder, data::kCommonName), "ini-language",
                    "its caption \"" + e.caption.substr(0, 60) + "\" offers the language " +
                        e.code + " in the options window, but the player cannot run in it: " + why,
                    0, 0);
    }
    for (const std::string& path : OptionFiles(c)) {
        std::string text;
        if (!c.ReadFile(path, kSettingsCap, "ini-missing", text)) continue;
        int number = 0;
        for (std::string line : SplitText(text, "\n")) {
            ++number;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (data::FindConfigKey(line) != data::kLanguage) continue;
            const std::string code =
                line.substr(std::string(data::kConfigKeys[data::kLanguage]).size());
            if (code.empty()) continue;
            if (const std::string why = LanguageProblem(c, settings, code); !why.empty())
                c.Error(path, "ini-language",
                        "Language=" + code + ": the player cannot run in it: " + why, number);
        }
    }
}

}  // namespace check
