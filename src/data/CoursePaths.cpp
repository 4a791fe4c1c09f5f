#include "data/CoursePaths.h"

#include "platform/Path.h"
#include "text/FormatString.h"

namespace data {

namespace {

// "%.*s" takes an int length; names longer than that are not paths anyone can open.
int Len(std::string_view s) {
    return s.size() > 0x7fffffff ? 0x7fffffff : static_cast<int>(s.size());
}

}  // namespace

#define SV(s) Len(s), (s).data()

std::string MessagePath(std::string_view root, std::string_view lang, std::string_view name) {
    return platform::NativePathIn(root,
                                  text::FormatString("MSG\\%.*s\\%.*s.MSG", SV(lang), SV(name)));
}

std::string ScorePath(std::string_view root, std::string_view users_dir, int user, int group) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\SCO%03d.%03d", SV(users_dir), user, group));
}

std::string HistoryPath(std::string_view root, std::string_view group_dir, int user, int group) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\HST%03d.%03d", SV(group_dir), user, group));
}

std::string UserContextPath(std::string_view root, std::string_view data, int user, int group) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\CTX\\CTX%03d.%03d", SV(data), user, group));
}

std::string GroupFilePath(std::string_view root, std::string_view data, std::string_view product,
                          std::string_view lang) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\%.*s\\%.*s\\GROUP", SV(data), SV(product), SV(lang)));
}

std::string UsersFilePath(std::string_view root, std::string_view data, std::string_view product,
                          std::string_view lang) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\%.*s\\%.*s\\USERS", SV(data), SV(product), SV(lang)));
}

std::string LearnerFolderPath(std::string_view root, std::string_view data,
                              std::string_view product, std::string_view lang) {
    const std::string users = UsersFilePath(root, data, product, lang);
    const size_t slash = users.rfind('/');
    return slash == std::string::npos || slash == 0 ? "." : users.substr(0, slash);
}

std::string UserOptionsPath(std::string_view root, std::string_view folder, int user, int group) {
    return platform::NativePathIn(
        root, text::FormatString("%.*s\\INI%03d.%03d", SV(folder), user, group));
}

std::string GroupOptionsPath(std::string_view root, std::string_view folder, int group) {
    return platform::NativePathIn(root, text::FormatString("%.*s\\INI.%03d", SV(folder), group));
}

std::string FluidsPath(std::string_view root, std::string_view data) {
    return platform::NativePathIn(root, text::FormatString("%.*s\\FLUID.DAT", SV(data)));
}

#undef SV

}  // namespace data
