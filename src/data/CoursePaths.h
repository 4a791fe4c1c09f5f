// Paths of the files kept per learner and per group (records, scores, history, contexts,
// option files) and of the fluid list, which tools and tests build without a running course;
// the course's own files are named by Course, which builds them here with its root. Each builds
// the path in the courseware's form (backslashes) and returns it native, resolved inside root
// (the course folder, native): a relative path is taken from root, never the current folder, and
// an absolute folder (one already resolved, such as an opened file's) stands as it is. <data> is
// the product's data directory, <lang> the Language= value.
#pragma once

#include <string>
#include <string_view>

namespace data {

// MSG\<lang>\<name>.MSG
std::string MessagePath(std::string_view root, std::string_view lang, std::string_view name);

// <users dir>\SCO<user:03>.<group:03>
std::string ScorePath(std::string_view root, std::string_view users_dir, int user, int group);
// <group dir>\HST<user:03>.<group:03>
std::string HistoryPath(std::string_view root, std::string_view group_dir, int user, int group);
// <data>\CTX\CTX<user:03>.<group:03>
std::string UserContextPath(std::string_view root, std::string_view data, int user, int group);
// <data>\<product>\<lang>\GROUP and ...\USERS (the ISAM file names, without extension)
std::string GroupFilePath(std::string_view root, std::string_view data, std::string_view product,
                          std::string_view lang);
std::string UsersFilePath(std::string_view root, std::string_view data, std::string_view product,
                          std::string_view lang);
// The folder that holds them, native: the USERS path without its file name ("." when it names
// no folder).
std::string LearnerFolderPath(std::string_view root, std::string_view data,
                              std::string_view product, std::string_view lang);
// Per-user options: <folder>\INI<user:03>.<group:03>, <folder>\INI.<group:03>, <name>.INI
std::string UserOptionsPath(std::string_view root, std::string_view folder, int user, int group);
std::string GroupOptionsPath(std::string_view root, std::string_view folder, int group);
// <data>\FLUID.DAT
std::string FluidsPath(std::string_view root, std::string_view data);

}  // namespace data
