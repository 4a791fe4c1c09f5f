// Every path the player builds inside a course folder, one function per use. Each builds the
// path in the courseware's own form (backslashes, relative to the current folder) and returns
// it as a native path. <data> is the product's data directory, <dir> the Directory= prefix,
// <lang> the Language= value.
#pragma once

#include <string>
#include <string_view>

namespace data {

// printf-style formatting into a std::string, safe at any length.
std::string FormatPath(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string ConfigurationPath(std::string_view program_path);  // <program>.INI
std::string BitmapPath(std::string_view name);                 // BMP\<name>.BMP
std::string IconPath(std::string_view name);                   // BMP\<name>.ICO
std::string MaskPath(std::string_view name);                   // BMP\MASK\<name>.BMP
std::string SoundPath(std::string_view name);                  // SND\<name>.WAV
std::string VideoPath(std::string_view name);                  // AVI\<name>.AVI
std::string SoundListPath();                                   // MSG\SND.MSG
// MSG\<lang>\<name>.MSG
std::string MessagePath(std::string_view lang, std::string_view name);
// MSG\<lang>\<dir><name>.MSG
std::string SubStepMessagePath(std::string_view lang, std::string_view dir, std::string_view name);
// MSG\<lang>\<dir>STEP<level:02>.MSG
std::string StepMessagePath(std::string_view lang, std::string_view dir, int level);
// <data>\CFG\<dir>LEVEL<level:02>.CFG
std::string LevelConfigPath(std::string_view data, std::string_view dir, int level);
// <users dir>\SCO<user:03>.<group:03>
std::string ScorePath(std::string_view users_dir, int user, int group);
// <group dir>\HST<user:03>.<group:03>
std::string HistoryPath(std::string_view group_dir, int user, int group);
// <data>\CTX\CTX<user:03>.<group:03>
std::string UserContextPath(std::string_view data, int user, int group);
// <data>\CTX\<dir>S<level:02>Q<step:02>N<n>.CTX
std::string StepContextPath(std::string_view data, std::string_view dir, int level, int step,
                            int n = 1);
// <data>\<product>\<lang>\GROUP and ...\USERS (the ISAM file names, without extension)
std::string GroupFilePath(std::string_view data, std::string_view product, std::string_view lang);
std::string UsersFilePath(std::string_view data, std::string_view product, std::string_view lang);
// <data>\LDE\<dir><name>
std::string ScriptPath(std::string_view data, std::string_view dir, std::string_view name);
// Per-user options: <folder>\INI<user:03>.<group:03>, <folder>\INI.<group:03>, <name>.INI
std::string UserOptionsPath(std::string_view folder, int user, int group);
std::string GroupOptionsPath(std::string_view folder, int group);
std::string NamedOptionsPath(std::string_view name);
// <data>\FLUID.DAT
std::string FluidsPath(std::string_view data);
// MSG\<lang>\<name>.PDF and MSG\<lang>\COMMON\<folder>\<name>.PDF
std::string HelpPath(std::string_view lang, std::string_view name);
std::string CommonHelpPath(std::string_view lang, std::string_view folder, std::string_view name);

}  // namespace data
