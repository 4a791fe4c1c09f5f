#include "lesson/CommonMessages.h"

#include "data/CoursePaths.h"
#include "platform/Notifier.h"
#include "platform/Path.h"
#include "text/FormatString.h"

namespace lesson {

int LoadCommonMessages(const data::Course& course, text::MessageFile& common, int32_t& seed) {
    const std::string name =
        text::FormatString("MSG\\%s\\%s.MSG", course.Language().c_str(), kCommonName);
    course.Prepare(common);
    if (!common.Open(course.Resolve(name))) {
        // A file that is there but whose table cannot be read (cut short, overwritten, a link to
        // itself or round in a circle) is damaged, not missing.
        if (common.State() == text::MessageFile::kBadTable)
            course.Notifier().ShowSystemError(name + ": the message file is damaged",
                                              platform::kErrorInvalidData);
        else
            course.Notifier().ShowSystemError(name, platform::kErrorFileNotFound);
        return -1;
    }
    // The main file's argument formats are the built-in ones, whatever its own block says.
    common.InstallFormats(text::MessageFile::CommonFormats());
    common.SetCheckModulus(text::MessageFile::kStandardModulus);
    common.SetShowErrors(course.Has(data::Developer));
    common.SetLinkPath(course.Product().product_name);
    seed = common.Seed();
    return 0;
}

int LoadCommonMessages(data::Course& course) {
    int32_t seed = 0;
    if (LoadCommonMessages(course, course.Common(), seed) != 0) return -1;
    course.SetCommonSeed(seed);
    return 0;
}

std::vector<LanguageEntry> FindLanguages(const data::Course& course, const std::string& common_name,
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

}  // namespace lesson
