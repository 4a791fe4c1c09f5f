// The option flags of a run: the option words of "Flag=" ("r:x:SDiwCtgbeV?") and the command
// line ("l:s:"), with the option scanner both follow.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace data {

class ConfigTable;

enum OptionFlag : uint32_t {
    Developer = 0x1,
    AutoPlay = 0x2,
    LanguageMenu = 0x4,
    NoSplash = 0x20,
    StepContext = 0x80,
    Trace = 0x100,
    Silent = 0x200,
    PrevButton = 0x400,
    SkipScripts = 0x800,
    PresetSession = 0x1000,
    OptionsMenu = 0x4000,
    NoStepContextRestore = 0x10000,
};

inline constexpr const char* kFlagWordsSpec = "r:x:SDiwCtgbeV?";
inline constexpr const char* kCommandLineSpec = "l:s:";

// Option scanner shared by both parsers. Each Next call returns the next option letter, '?'
// for a letter not in the option string (or a missing argument), or -1 at the end; the
// option's argument is left in Argument().
//   - The first word must begin with '-' or '/', which becomes the switch character for all
//     later words; a word that does not begin with it ends the scan, and a word that is the
//     switch character twice ("--") is consumed and ends the scan.
//   - Letters may be grouped ("-Dwi"); a letter followed by ':' in the option string takes the
//     rest of its word, or the whole next word when the rest is empty.
//   - In option-word mode an unknown letter skips the rest of its word.
class OptionScanner {
  public:
    // The words of "Flag=": scanning starts at word 0, unknown letters skip their word.
    static OptionScanner ForOptionWords(std::vector<std::string> words);
    // argv: scanning starts at argv[1].
    static OptionScanner ForCommandLine(int argc, const char* const* argv);

    int Next(std::string_view spec);
    const std::string& Argument() const { return argument_; }
    // Index of the word the next call starts on (the first operand once Next returned -1).
    size_t WordIndex() const { return index_; }

  private:
    OptionScanner(std::vector<std::string> words, size_t first, bool option_words);

    std::vector<std::string> words_;
    size_t index_ = 0;
    size_t pos_ = 0;  // position inside words_[index_]; 0 = at the start of the word
    char switch_char_ = 0;
    bool option_words_ = false;
    std::string argument_;
};

// Splits a "Flag=" value into words at runs of blanks.
std::vector<std::string> SplitOptionWords(std::string_view value);

class OptionFlags {
  public:
    bool Has(OptionFlag flag) const { return (bits_ & flag) != 0; }
    void Set(OptionFlag flag) { bits_ |= flag; }
    void Clear(OptionFlag flag) { bits_ &= ~static_cast<uint32_t>(flag); }
    uint32_t Bits() const { return bits_; }

    // Parses the "Flag=" value with kFlagWordsSpec: D i w C S b g e t set their flag, "x n"
    // sets AutoPlay and auto_delay, "r file" sets Trace and trace_path (the caller opens the
    // log); V and '?' are ignored.
    void ParseOptionWords(std::string_view flag_value);

    // Parses argv with kCommandLineSpec: "-l lang" replaces config's Language=, "-s g:u:l:d"
    // sets PresetSession and reads group, user, level and auto_delay (sscanf "%d:%d:%d:%d"
    // rules: fields not read keep their value); a non-zero delay also sets AutoPlay.
    void ParseCommandLine(int argc, const char* const* argv, ConfigTable& config);

    int auto_delay = 0;      // seconds between automatic answers (x, -s)
    std::string trace_path;  // file named by r
    int group = 0;           // preset session (-s)
    int user = 0;
    int level = 0;

  private:
    uint32_t bits_ = 0;
};

}  // namespace data
