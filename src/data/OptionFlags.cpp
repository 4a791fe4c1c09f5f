#include "data/OptionFlags.h"

#include "data/ConfigTable.h"

namespace data {

namespace {

// Reads one sscanf-style "%d" at pos: blanks, an optional sign, digits (clamped to int).
// False, with pos unchanged, when no digit follows.
bool ScanInt(std::string_view text, size_t& pos, int& out) {
    size_t p = pos;
    while (p < text.size() && (text[p] == ' ' || text[p] == '\t' || text[p] == '\n' ||
                               text[p] == '\r' || text[p] == '\v' || text[p] == '\f'))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return false;
    long long value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        if (value <= 2147483648LL) value = value * 10 + (text[p] - '0');
        ++p;
    }
    if (negative) value = -value;
    if (value > 2147483647LL) value = 2147483647LL;
    if (value < -2147483648LL) value = -2147483648LL;
    out = static_cast<int>(value);
    pos = p;
    return true;
}

}  // namespace

OptionScanner::OptionScanner(std::vector<std::string> words, size_t first, bool option_words)
    : words_(std::move(words)), index_(first), option_words_(option_words) {}

OptionScanner OptionScanner::ForOptionWords(std::vector<std::string> words) {
    return OptionScanner(std::move(words), 0, true);
}

OptionScanner OptionScanner::ForCommandLine(int argc, const char* const* argv) {
    std::vector<std::string> words;
    for (int i = 0; i < argc && argv != nullptr; ++i) words.emplace_back(argv[i] ? argv[i] : "");
    return OptionScanner(std::move(words), 1, false);
}

int OptionScanner::Next(std::string_view spec) {
    argument_.clear();
    if (pos_ == 0) {
        if (index_ >= words_.size()) return -1;
        const std::string& word = words_[index_];
        if (switch_char_ == 0) {
            if (word.empty() || (word[0] != '-' && word[0] != '/')) return -1;
            switch_char_ = word[0];
        }
        if (word.empty() || word[0] != switch_char_) return -1;
        if (word.size() == 2 && word[1] == switch_char_) {
            ++index_;
            return -1;
        }
        // A lone switch character is an operand, not an option.
        if (word.size() == 1) return -1;
        pos_ = 1;
    }

    const std::string& word = words_[index_];
    const char letter = word[pos_++];
    const bool last_letter = pos_ >= word.size();
    const size_t at = letter == ':' ? std::string_view::npos : spec.find(letter);

    auto next_word = [this] {
        ++index_;
        pos_ = 0;
    };

    if (at == std::string_view::npos) {
        if (option_words_ || last_letter) next_word();
        return '?';
    }
    const bool takes_argument = at + 1 < spec.size() && spec[at + 1] == ':';
    if (!takes_argument) {
        if (last_letter) next_word();
        return static_cast<unsigned char>(letter);
    }
    if (!last_letter) {
        argument_ = word.substr(pos_);
        next_word();
        return static_cast<unsigned char>(letter);
    }
    next_word();
    if (index_ >= words_.size()) return '?';
    argument_ = words_[index_];
    next_word();
    return static_cast<unsigned char>(letter);
}

std::vector<std::string> SplitOptionWords(std::string_view value) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < value.size()) {
        while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
        size_t start = i;
        while (i < value.size() && value[i] != ' ' && value[i] != '\t') ++i;
        if (i > start) words.emplace_back(value.substr(start, i - start));
    }
    return words;
}

void OptionFlags::ParseOptionWords(std::string_view flag_value) {
    OptionScanner scanner = OptionScanner::ForOptionWords(SplitOptionWords(flag_value));
    for (int c; (c = scanner.Next(kFlagWordsSpec)) != -1;) {
        switch (c) {
            case 'r':
                Set(Trace);
                trace_path = scanner.Argument();
                break;
            case 'x':
                Set(AutoPlay);
                auto_delay = LeadingInt(scanner.Argument());
                break;
            case 'S':
                Set(Silent);
                break;
            case 'D':
                Set(Developer);
                break;
            case 'i':
                Set(LanguageMenu);
                break;
            case 'w':
                Set(NoSplash);
                break;
            case 'C':
                Set(StepContext);
                break;
            case 't':
                Set(NoStepContextRestore);
                break;
            case 'g':
                Set(SkipScripts);
                break;
            case 'b':
                Set(PrevButton);
                break;
            case 'e':
                Set(OptionsMenu);
                break;
            default:
                break;  // V, '?' and unknown letters are accepted and ignored
        }
    }
}

void OptionFlags::ParseCommandLine(int argc, const char* const* argv, ConfigTable& config) {
    OptionScanner scanner = OptionScanner::ForCommandLine(argc, argv);
    for (int c; (c = scanner.Next(kCommandLineSpec)) != -1;) {
        if (c == 'l') {
            // A language that would lead out of the course is not taken.
            config.ApplyOptionLine("Language=" + scanner.Argument());
        } else if (c == 's') {
            Set(PresetSession);
            const std::string& text = scanner.Argument();
            int* fields[] = {&group, &user, &level, &auto_delay};
            size_t pos = 0;
            for (size_t i = 0; i < 4; ++i) {
                if (i > 0) {
                    if (pos >= text.size() || text[pos] != ':') break;
                    ++pos;
                }
                if (!ScanInt(text, pos, *fields[i])) break;
            }
            if (auto_delay != 0) Set(AutoPlay);
        }
    }
}

}  // namespace data
