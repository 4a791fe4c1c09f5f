#include "shell/CommonMessages.h"

#include "data/CoursePaths.h"
#include "platform/Notifier.h"
#include "platform/Path.h"

namespace shell {

int LoadCommonMessages(text::MessageFile& common, const data::ConfigTable& config,
                       const data::OptionFlags& flags, const data::ProductRecord& product,
                       int32_t& seed) {
    const std::string path =
        data::FormatPath("MSG\\%s\\%s.MSG", config.Get(data::kLanguage).c_str(), kCommonName);
    if (!common.Open(path)) {
        platform::CurrentNotifier().ShowSystemError(path, platform::kErrorFileNotFound);
        return -1;
    }
    // The main file's argument formats are the built-in ones, whatever its own block says.
    common.InstallFormats(text::MessageFile::CommonFormats());
    common.SetCheckModulus(text::MessageFile::kStandardModulus);
    common.SetShowErrors(flags.Has(data::Developer));
    common.SetLinkPath(product.product_name);
    seed = common.Seed();
    return 0;
}

std::vector<LanguageEntry> FindLanguages(const std::string& common_name, int32_t seed) {
    std::vector<LanguageEntry> languages;
    for (const std::string& entry : platform::FindEntries("MSG\\*.*")) {
        if (!platform::DirectoryExists("MSG\\" + entry)) continue;
        const std::string path =
            data::FormatPath("MSG\\%s\\%s.MSG", entry.c_str(), common_name.c_str());
        if (!platform::FileExists(path)) continue;
        text::MessageFile file;
        if (!file.Open(path)) continue;
        file.SetSeed(seed);
        LanguageEntry language;
        language.folder = entry;
        language.caption = file.GetText(0);
        const size_t open = language.caption.find('(');
        if (open != std::string::npos) {
            const size_t close = language.caption.find(')', open + 1);
            if (close != std::string::npos)
                language.name = language.caption.substr(open + 1, close - open - 1);
        }
        languages.push_back(std::move(language));
    }
    return languages;
}

}  // namespace shell
