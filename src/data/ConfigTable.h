// The sixteen course settings read from the program's INI file ("Language=" to "Random="),
// shared by the shell, the options window, the user list and the script engine.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Status.h"

namespace data {

enum ConfigKey {
    kLanguage = 0,
    kGaz,
    kUnit,
    kCheckID,
    kEvaluate,
    kStart,
    kLevel,
    kIPserv,
    kIPport,
    kRootDir,
    kDirectory,
    kEditor,
    kFlag,
    kSymbol,
    kResolution,
    kRandom,
    kConfigKeyCount
};

// "Language=", "Gaz=", ... in table order, each with its trailing '='.
extern const char* const kConfigKeys[kConfigKeyCount];

// The index of the first key that matches the start of line case-insensitively over the key's
// length, or -1.
int FindConfigKey(std::string_view line);

class ConfigTable {
  public:
    // Value of index; an index outside 0..15 reads as the empty string.
    const std::string& Get(int index) const;
    // Sets value of index; an index outside 0..15 is ignored.
    void Set(int index, std::string value);

    // Applies one "key=value" line: the first matching key receives the rest of the line after
    // its '='. A trailing CR and anything from a NUL byte on are dropped. False when no key
    // matches (the line is then ignored), or when the value would lead a path out of the course
    // (the line is then kept for TakeRefused and not applied).
    bool ApplyOptionLine(std::string_view line);
    // Whether value may stand for key: the keys whose values become parts of file names
    // (Language=, Gaz=, Unit=, Level=, Directory=, Symbol=) take no folder separator, drive
    // mark, ".." or control character; RootDir= no ".." part.
    static bool Accepts(int key, std::string_view value);
    // The lines refused since the last call, as they were written.
    std::vector<std::string> TakeRefused() { return std::move(refused_); }

    // Reads every line of path through ApplyOptionLine; a later line for a key wins. A missing
    // file fails with (path, 2), a folder or special file with its own number. Refused lines
    // are kept for TakeRefused: the caller reports them, the rest of the file applies.
    platform::Status LoadConfiguration(const std::string& path);

    // Writes the values into the INI at path: each line of a key the table owns gets the
    // current value (the key as written there, the line end kept), a key missing from the file
    // is appended, and every other line (comments, sections, unknown keys) stays as it was. A
    // new file holds the sixteen lines in table order. The file is replaced whole, so a failure
    // leaves the old one untouched and says why.
    platform::Status SaveConfiguration(const std::string& path) const;

    // The text SaveConfiguration writes over a file that holds old_text.
    std::string RewriteConfiguration(std::string_view old_text) const;

    // The leading decimal integer of a value (atoi rules: blanks, sign, digits; 0 without
    // digits; clamped to the int range).
    int GetInt(int index) const;

  private:
    std::array<std::string, kConfigKeyCount> values_;
    std::vector<std::string> refused_;
};

// atoi-style reading that never overflows: leading blanks, an optional sign, digits; 0 when
// there are none; clamped to the int range.
int LeadingInt(std::string_view text);

}  // namespace data
