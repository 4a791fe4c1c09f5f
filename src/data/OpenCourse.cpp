#include "data/OpenCourse.h"

#include <filesystem>

#include "data/OptionChoices.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace data {

platform::Status CourseProgramIn(const std::string& folder, std::string& program) {
    // The folder as given, made absolute once: nothing later depends on the current folder.
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(folder, ec).lexically_normal();
    if (folder.empty() || ec || !platform::DirectoryExists(dir.string()))
        return {ENOTDIR, folder, "cannot enter the course folder"};
    std::string root = dir.string();
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // The course's INI sits beside the player's link, named after the product.
    const std::vector<std::string> inis = platform::FindEntries(root + "/*.INI");
    if (inis.empty()) return {platform::kErrorFileNotFound, root, "no INI file in the course"};
    const std::string& ini = inis.front();
    program = (root == "/" ? "" : root) + "/" + ini.substr(0, ini.size() - 4);
    return {};
}

platform::Status OpenCourse(Course& course, const CourseOptions& options,
                            std::vector<platform::Status>* notices) {
    ConfigTable& config = course.Config();
    OptionFlags& flags = course.Flags();
    const std::string ini = options.ini.empty() ? course.IniPath() : options.ini;
    if (!options.ini.empty() || !options.without_ini) {
        if (platform::Status read = config.LoadConfiguration(ini); !read) return read;
    }
    auto note_refused = [&] {
        for (const std::string& line : config.TakeRefused())
            if (notices) notices->emplace_back(platform::kErrorOutsideCourse, ini + ": " + line);
    };
    note_refused();
    for (const std::string& line : options.overrides) {
        if (config.ApplyOptionLine(line)) continue;
        if (!config.TakeRefused().empty())
            return {platform::kErrorOutsideCourse, "refused setting " + line,
                    "it leads out of the course folder"};
        return {EINVAL, "unknown setting " + line, "no such key"};
    }
    if (!options.language.empty()) {
        if (!ConfigTable::Accepts(kLanguage, options.language))
            return {platform::kErrorOutsideCourse, "refused language " + options.language,
                    "it leads out of the course folder"};
        config.Set(kLanguage, options.language);
    }
    flags.ParseOptionWords(config.Get(kFlag));
    if (options.argc > 0) flags.ParseCommandLine(options.argc, options.argv, config);
    note_refused();
    if (options.answers_drive) {
        flags.Clear(AutoPlay);
        flags.Clear(PresetSession);
    }

    // Without a language no catalogue line can fit: an INI that is empty, unreadable as text or
    // without the key is said to be so, rather than taken for a catalogue fault.
    if (config.Get(kLanguage).empty() && !options.catalogue_optional)
        return {platform::kErrorInvalidData, ini + ": no Language= setting"};
    if (platform::Status product =
            LoadProduct(config, course.ProgramPath(), course.Product(), course.Root());
        !product) {
        if (!options.catalogue_optional) return product;
        course.Product() = ProductRecord{};
    }
    if (options.common_texts) return LoadCommonTexts(course);
    return {};
}

platform::Status LoadCommonTexts(const Course& course, text::MessageFile& common, int32_t& seed) {
    const std::string name =
        text::FormatString("MSG\\%s\\%s.MSG", course.Language().c_str(), kCommonName);
    course.Prepare(common);
    if (!common.Open(course.Resolve(name))) {
        // A file that is there but whose table cannot be read (cut short, overwritten, a link to
        // itself or round in a circle) is damaged, not missing.
        if (common.State() == text::MessageFile::kBadTable)
            return {platform::kErrorInvalidData, name + ": the message file is damaged"};
        return {platform::kErrorFileNotFound, name};
    }
    // The main file's argument formats are the built-in ones, whatever its own block says.
    common.InstallFormats(text::MessageFile::CommonFormats());
    common.SetCheckModulus(text::MessageFile::kStandardModulus);
    common.SetShowErrors(course.Has(Developer));
    common.SetLinkPath(course.Product().product_name);
    seed = common.Seed();
    return {};
}

platform::Status LoadCommonTexts(Course& course) {
    int32_t seed = 0;
    if (platform::Status opened = LoadCommonTexts(course, course.Common(), seed); !opened)
        return opened;
    course.SetCommonSeed(seed);
    return {};
}

platform::Status ChangeLanguage(Course& course, const std::string& language) {
    ConfigTable& config = course.Config();
    const std::string previous = config.Get(kLanguage);
    if (language == previous) return {};
    if (!ConfigTable::Accepts(kLanguage, language))
        return {platform::kErrorOutsideCourse, "Language=" + language};
    // The new language's texts are checked before the ones in use are dropped, so that a
    // missing file leaves the course readable in the previous language.
    config.Set(kLanguage, language);
    text::MessageFile probe;
    int32_t seed = 0;
    // The catalogue's line for the language names the course (its application name, sent at
    // sign-on and shown in the titles) and its data folder in that language.
    // A course opened without its catalogue (a tool's) keeps the record it has.
    ProductRecord product = course.Product();
    platform::Status checked = LoadProduct(config, course.ProgramPath(), product, course.Root());
    if (checked.code() == platform::kErrorFileNotFound) {
        product = course.Product();
        checked = {};
    }
    if (checked) checked = LoadCommonTexts(course, probe, seed);
    if (!checked) {
        config.Set(kLanguage, previous);
        return checked;
    }
    probe.Close();
    const ProductRecord previous_product = course.Product();
    course.Product() = product;
    const bool show_numbers = course.Common().ShowNumbers();
    if (platform::Status loaded = LoadCommonTexts(course); !loaded) {
        config.Set(kLanguage, previous);
        course.Product() = previous_product;
        (void)LoadCommonTexts(course);
        return loaded;
    }
    course.Common().SetShowNumbers(show_numbers);
    return config.SaveConfiguration(course.IniPath());
}

std::vector<LanguageEntry> FindLanguages(const Course& course, const std::string& common_name,
                                         int32_t seed) {
    std::vector<LanguageEntry> languages;
    const std::string folder = course.MessageFolder();
    for (const std::string& entry : platform::FindEntries(folder + "/*.*")) {
        if (!platform::DirectoryExists(folder + "/" + entry)) continue;
        const std::string path = course.MessageIn(entry, common_name);
        if (!platform::FileExists(path)) continue;
        text::MessageFile file;
        course.Prepare(file);
        if (!file.Open(path)) continue;
        file.SetSeed(seed);
        LanguageEntry language{entry, file.GetText(0), {}};
        language.code = ParseOptionChoice(language.caption).code;
        if (language.code.empty()) language.code = entry;
        languages.push_back(std::move(language));
    }
    return languages;
}

}  // namespace data
