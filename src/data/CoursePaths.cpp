#include "data/CoursePaths.h"

#include <cstdarg>
#include <cstdio>

#include "platform/Path.h"

namespace data {

std::string FormatPath(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string out;
    if (length > 0) {
        out.resize(static_cast<size_t>(length));
        std::vsnprintf(out.data(), out.size() + 1, format, args);
    }
    va_end(args);
    return out;
}

namespace {

// "%.*s" takes an int length; names longer than that are not paths anyone can open.
int Len(std::string_view s) {
    return s.size() > 0x7fffffff ? 0x7fffffff : static_cast<int>(s.size());
}

}  // namespace

#define SV(s) Len(s), (s).data()

std::string ConfigurationPath(std::string_view program_path) {
    return platform::NativePath(platform::IniPathFor(program_path));
}

std::string BitmapPath(std::string_view name) {
    return platform::NativePath(FormatPath("BMP\\%.*s.BMP", SV(name)));
}

std::string IconPath(std::string_view name) {
    return platform::NativePath(FormatPath("BMP\\%.*s.ICO", SV(name)));
}

std::string MaskPath(std::string_view name) {
    return platform::NativePath(FormatPath("BMP\\MASK\\%.*s.BMP", SV(name)));
}

std::string SoundPath(std::string_view name) {
    return platform::NativePath(FormatPath("SND\\%.*s.WAV", SV(name)));
}

std::string VideoPath(std::string_view name) {
    return platform::NativePath(FormatPath("AVI\\%.*s.AVI", SV(name)));
}

std::string SoundListPath() {
    return platform::NativePath("MSG\\SND.MSG");
}

std::string MessagePath(std::string_view lang, std::string_view name) {
    return platform::NativePath(FormatPath("MSG\\%.*s\\%.*s.MSG", SV(lang), SV(name)));
}

std::string SubStepMessagePath(std::string_view lang, std::string_view dir, std::string_view name) {
    return platform::NativePath(FormatPath("MSG\\%.*s\\%.*s%.*s.MSG", SV(lang), SV(dir), SV(name)));
}

std::string StepMessagePath(std::string_view lang, std::string_view dir, int level) {
    return platform::NativePath(
        FormatPath("MSG\\%.*s\\%.*sSTEP%02d.MSG", SV(lang), SV(dir), level));
}

std::string LevelConfigPath(std::string_view data, std::string_view dir, int level) {
    return platform::NativePath(
        FormatPath("%.*s\\CFG\\%.*sLEVEL%02d.CFG", SV(data), SV(dir), level));
}

std::string ScorePath(std::string_view users_dir, int user, int group) {
    return platform::NativePath(FormatPath("%.*s\\SCO%03d.%03d", SV(users_dir), user, group));
}

std::string HistoryPath(std::string_view group_dir, int user, int group) {
    return platform::NativePath(FormatPath("%.*s\\HST%03d.%03d", SV(group_dir), user, group));
}

std::string UserContextPath(std::string_view data, int user, int group) {
    return platform::NativePath(FormatPath("%.*s\\CTX\\CTX%03d.%03d", SV(data), user, group));
}

std::string StepContextPath(std::string_view data, std::string_view dir, int level, int step,
                            int n) {
    return platform::NativePath(
        FormatPath("%.*s\\CTX\\%.*sS%02dQ%02dN%d.CTX", SV(data), SV(dir), level, step, n));
}

std::string GroupFilePath(std::string_view data, std::string_view product, std::string_view lang) {
    return platform::NativePath(
        FormatPath("%.*s\\%.*s\\%.*s\\GROUP", SV(data), SV(product), SV(lang)));
}

std::string UsersFilePath(std::string_view data, std::string_view product, std::string_view lang) {
    return platform::NativePath(
        FormatPath("%.*s\\%.*s\\%.*s\\USERS", SV(data), SV(product), SV(lang)));
}

std::string ScriptPath(std::string_view data, std::string_view dir, std::string_view name) {
    return platform::NativePath(FormatPath("%.*s\\LDE\\%.*s%.*s", SV(data), SV(dir), SV(name)));
}

std::string UserOptionsPath(std::string_view folder, int user, int group) {
    return platform::NativePath(FormatPath("%.*s\\INI%03d.%03d", SV(folder), user, group));
}

std::string GroupOptionsPath(std::string_view folder, int group) {
    return platform::NativePath(FormatPath("%.*s\\INI.%03d", SV(folder), group));
}

std::string NamedOptionsPath(std::string_view name) {
    return platform::NativePath(FormatPath("%.*s.INI", SV(name)));
}

std::string FluidsPath(std::string_view data) {
    return platform::NativePath(FormatPath("%.*s\\FLUID.DAT", SV(data)));
}

std::string HelpPath(std::string_view lang, std::string_view name) {
    return platform::NativePath(FormatPath("MSG\\%.*s\\%.*s.PDF", SV(lang), SV(name)));
}

std::string CommonHelpPath(std::string_view lang, std::string_view folder, std::string_view name) {
    return platform::NativePath(
        FormatPath("MSG\\%.*s\\COMMON\\%.*s\\%.*s.PDF", SV(lang), SV(folder), SV(name)));
}

#undef SV

}  // namespace data
