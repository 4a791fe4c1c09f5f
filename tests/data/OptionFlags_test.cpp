#include "data/OptionFlags.h"

#include <gtest/gtest.h>

#include "data/ConfigTable.h"

namespace {

using data::OptionFlags;
using data::OptionScanner;

// Runs the scanner to the end and renders each result as "letter" or "letter=arg", "?" for an
// unknown letter, then "|" and the word index where it stopped.
std::string Scan(OptionScanner scanner, std::string_view spec) {
    std::string out;
    for (int c; (c = scanner.Next(spec)) != -1;) {
        if (!out.empty()) out += ' ';
        out += static_cast<char>(c);
        if (!scanner.Argument().empty()) out += "=" + scanner.Argument();
    }
    return out + "|" + std::to_string(scanner.WordIndex());
}

struct ScanCase {
    const char* words;
    const char* expected;
};

TEST(OptionScanner, OptionWordRules) {
    const ScanCase cases[] = {
        {"", "|0"},
        {"D", "|0"},                  // no switch character: nothing
        {"-D -x 5 -w", "D x=5 w|4"},  // argument taken from the next word
        {"-Dx5 -w", "D x=5 w|2"},     // argument from the rest of the word
        {"/Dw", "D w|1"},             // grouped letters, '/' as switch
        {"/D -w", "D|1"},             // switch fixed by the first word
        {"-D -- -w", "D|2"},          // "--" consumed, ends the scan
        {"-D plain -w", "D|1"},       // a word without switch ends the scan
        {"-QDw -w", "? w|2"},         // unknown letter skips the rest of its word
        {"-:D -w", "? w|2"},          // ':' is never an option letter
        {"-D -x", "D ?|2"},           // missing argument
        {"-r -D", "r=-D|2"},          // the next word is taken whatever it is
        {"-D - -w", "D|1"},           // a lone switch character is an operand
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Scan(OptionScanner::ForOptionWords(data::SplitOptionWords(c.words)),
                       data::kFlagWordsSpec),
                  c.expected)
            << "words: \"" << c.words << "\"";
    }
}

TEST(OptionScanner, CommandLineStartsAtSecondWordAndKeepsGroupAfterUnknownLetter) {
    const char* argv1[] = {"prog", "-l", "GB", "-s2:7:1:0", "rest"};
    EXPECT_EQ(Scan(OptionScanner::ForCommandLine(5, argv1), data::kCommandLineSpec),
              "l=GB s=2:7:1:0|4");
    const char* argv2[] = {"-l", "-zl", "FR"};  // argv[0] is never an option
    EXPECT_EQ(Scan(OptionScanner::ForCommandLine(3, argv2), data::kCommandLineSpec), "? l=FR|3");
    const char* argv3[] = {"prog", "-l"};
    EXPECT_EQ(Scan(OptionScanner::ForCommandLine(2, argv3), data::kCommandLineSpec), "?|2");
    EXPECT_EQ(Scan(OptionScanner::ForCommandLine(0, nullptr), data::kCommandLineSpec), "|1");
}

TEST(OptionFlags, FlagWordsSetTheirFlags) {
    struct Case {
        const char* value;
        uint32_t bits;
        int delay;
        const char* trace;
    };
    using namespace data;
    const Case cases[] = {
        {"-D -x 5 -w", Developer | AutoPlay | NoSplash, 5, ""},
        {"/Dw", Developer | NoSplash, 0, ""},
        {"", 0, 0, ""},
        {"D", 0, 0, ""},
        {"-SiCtgbeV?",
         Silent | LanguageMenu | StepContext | NoStepContextRestore | SkipScripts | PrevButton |
             OptionsMenu,
         0, ""},
        {"-r trace.log -x12abc", Trace | AutoPlay, 12, "trace.log"},
        {"-rlog.txt", Trace, 0, "log.txt"},
        {"-x", 0, 0, ""},  // x without its argument is ignored
    };
    for (const auto& c : cases) {
        OptionFlags flags;
        flags.ParseOptionWords(c.value);
        EXPECT_EQ(flags.Bits(), c.bits) << c.value;
        EXPECT_EQ(flags.auto_delay, c.delay) << c.value;
        EXPECT_EQ(flags.trace_path, c.trace) << c.value;
    }
}

TEST(OptionFlags, CommandLinePresetSessionAndLanguage) {
    struct Case {
        std::vector<const char*> argv;
        int group, user, level, delay;
        bool preset, autoplay;
        const char* language;
    };
    const Case cases[] = {
        {{"p", "-s", "2:7:1:0"}, 2, 7, 1, 0, true, false, "FR"},
        {{"p", "-s", "2:7:1:3"}, 2, 7, 1, 3, true, true, "FR"},
        {{"p", "-s2:7"}, 2, 7, 0, 0, true, false, "FR"},          // fields not read keep 0
        {{"p", "-s", "x:1:1:1"}, 0, 0, 0, 0, true, false, "FR"},  // stops at the first bad one
        {{"p", "-s", "2:99999999999:1:4"}, 2, 2147483647, 1, 4, true, true, "FR"},
        {{"p", "-l", "GB"}, 0, 0, 0, 0, false, false, "GB"},
        {{"p", "-lDE", "-s", "1:2:3:0"}, 1, 2, 3, 0, true, false, "DE"},
        {{"p", "GB", "-l", "DE"}, 0, 0, 0, 0, false, false, "FR"},  // operand ends the options
    };
    for (const auto& c : cases) {
        data::ConfigTable config;
        config.Set(data::kLanguage, "FR");
        OptionFlags flags;
        flags.ParseCommandLine(static_cast<int>(c.argv.size()), c.argv.data(), config);
        const std::string what = c.argv.size() > 1 ? std::string(c.argv[1]) : "";
        EXPECT_EQ(flags.group, c.group) << what;
        EXPECT_EQ(flags.user, c.user) << what;
        EXPECT_EQ(flags.level, c.level) << what;
        EXPECT_EQ(flags.auto_delay, c.delay) << what;
        EXPECT_EQ(flags.Has(data::PresetSession), c.preset) << what;
        EXPECT_EQ(flags.Has(data::AutoPlay), c.autoplay) << what;
        EXPECT_EQ(config.Get(data::kLanguage), c.language) << what;
    }
}

TEST(OptionFlags, PresetDelayOfZeroKeepsAutoPlayFromFlagWords) {
    data::ConfigTable config;
    OptionFlags flags;
    flags.ParseOptionWords("-x 5");
    const char* argv[] = {"p", "-s", "2:7:1"};
    flags.ParseCommandLine(3, argv, config);
    EXPECT_TRUE(flags.Has(data::AutoPlay));
    EXPECT_EQ(flags.auto_delay, 5);
}

}  // namespace
