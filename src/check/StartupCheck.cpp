// The course's settings (the sixteen INI keys, the option words of Flag=) and its catalogue.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "data/ConfigTable.h"
#include "data/OptionFlags.h"
#include "data/ProductRecord.h"
#include "platform/Path.h"

namespace check {

namespace {

// The option letters of Flag= (a letter followed by ':' takes an argument).
constexpr const char* kFlagSpec = "r:x:SDiwCtgbeV?";

bool IsNumber(const std::string& s, long low, long high) {
    if (s.empty() || s.size() > 9) return false;
    for (char ch : s)
        if (ch < '0' || ch > '9') return false;
    const long v = std::stol(s);
    return v >= low && v <= high;
}

// Why a value cannot stand for its key, or "" when it can.
std::string ValueProblem(int key, const std::string& value, const data::ConfigTable& config) {
    if (!data::ConfigTable::Accepts(key, value)) return "leads out of the course";
    int a = 0, b = 0;
    char extra = 0;
    switch (key) {
        case data::kLanguage:
        case data::kDirectory:
            if (value.empty()) return "is empty";
            break;
        case data::kEvaluate:
            if (!value.empty() && !IsNumber(value, 0, 9999)) return "is not a number of steps";
            break;
        case data::kStart: {
            const std::string first = value.substr(0, value.find('#'));
            if (!value.empty() && !IsNumber(first, 0, 99)) return "does not begin with a level";
            break;
        }
        case data::kIPserv:
            if (value.empty()) return "is empty: the player would look for a data server";
            break;
        case data::kIPport:
            if (config.Get(data::kIPserv) != "127.0.0.1" && !IsNumber(value, 1, 65535))
                return "is not a TCP port";
            break;
        case data::kResolution:
            if (!value.empty() &&
                (std::sscanf(value.c_str(), "%dx%d%c", &a, &b, &extra) != 2 || a <= 0 || b <= 0))
                return "is not WIDTHxHEIGHT";
            break;
        case data::kRandom:
            for (const std::string& range : SplitText(value, ";")) {
                if (value.empty()) break;
                if (std::sscanf(range.c_str(), "%d-%d%c", &a, &b, &extra) != 2 || a < 0 || b < a)
                    return "holds " + range + ", not a range FIRST-LAST";
            }
            break;
        default:
            break;
    }
    return {};
}

void CheckFlag(CheckContext& c, const std::string& ini, int line, const std::string& value) {
    data::OptionScanner scanner =
        data::OptionScanner::ForOptionWords(data::SplitOptionWords(value));
    const std::vector<std::string> words = data::SplitOptionWords(value);
    if (!words.empty() && words[0][0] != '-' && words[0][0] != '/') {
        c.Error(ini, "ini-flag", "Flag= " + value + ": option words start with - or /", line);
        return;
    }
    for (int letter; (letter = scanner.Next(kFlagSpec)) != -1;) {
        if (letter == '?') {
            c.Error(ini, "ini-flag",
                    "Flag= " + value + ": an unknown option or one without its argument", line);
        } else if (letter == 'x' && !IsNumber(scanner.Argument(), 1, 3600)) {
            c.Error(ini, "ini-flag", "Flag= -x takes a number of seconds", line);
        }
    }
}

// The link the player is started through, named after the product: a course without it, or
// with a link leading nowhere, cannot be started.
void CheckProgramLink(CheckContext& c) {
    const std::string& program = c.Program();
    const std::string name = program.substr(program.rfind('/') + 1);
    struct stat st;
    if (::lstat(program.c_str(), &st) != 0) {
        c.Error(name, "program-link",
                "the link " + name +
                    " to the player is missing: the course is started through "
                    "it (ln -s /usr/bin/courseware-player " +
                    name + ")");
        return;
    }
    if (!S_ISLNK(st.st_mode)) return;  // the player itself, or a copy of it
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096), '\0');
    const ssize_t n = ::readlink(program.c_str(), target.data(), target.size());
    target.resize(n > 0 ? static_cast<size_t>(n) : 0);
    struct stat to;
    if (::stat(program.c_str(), &to) != 0) {
        c.Error(name, "program-link",
                "the link " + name + " points to " + target +
                    ", which does not exist: the course cannot be started (a copy of the course "
                    "needs a link to the player by its absolute path)");
    } else if (!S_ISREG(to.st_mode) || ::access(program.c_str(), X_OK) != 0) {
        c.Error(name, "program-link",
                "the link " + name + " points to " + target + ", which is no program");
    }
}

}  // namespace

void CheckStartup(CheckContext& c) {
    CheckProgramLink(c);
    // The INI beside the player's link: <program>.INI.
    const std::string native_ini = platform::IniPathFor(c.Program());
    const std::string ini = native_ini.substr(native_ini.rfind('/') + 1);
    c.ini = ini;
    std::string text;
    if (!c.ReadFile(ini, kSettingsCap, "ini-missing", text)) return;
    data::ConfigTable config;
    bool seen[data::kConfigKeyCount] = {};
    int line_of[data::kConfigKeyCount] = {};
    int number = 0;
    for (std::string line : SplitText(text, "\n")) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#' || line[0] == '[') continue;
        const int key = data::FindConfigKey(line);
        if (key < 0) {
            c.Warning(ini, "ini-key", "not a setting the player reads: " + line, number);
            continue;
        }
        seen[key] = true;
        line_of[key] = number;
        config.ApplyOptionLine(line);
        config.TakeRefused();
        config.Set(key, line.substr(std::string(data::kConfigKeys[key]).size()));
    }
    c.language_line = line_of[data::kLanguage];
    for (int key = 0; key < data::kConfigKeyCount; ++key) {
        const std::string name = data::kConfigKeys[key];
        if (!seen[key]) {
            c.Warning(ini, "ini-key", "no " + name + " line");
            continue;
        }
        const std::string& value = config.Get(key);
        const std::string problem = ValueProblem(key, value, config);
        if (!problem.empty())
            c.Error(ini, "ini-value", name + value + ": " + problem, line_of[key]);
        if (key == data::kFlag) CheckFlag(c, ini, line_of[key], value);
    }

    // The catalogue: a whole line of the right version for each language checked.
    const std::string catalogue = data::CataloguePath(config, c.Program());
    if (LookAt(c.Native(catalogue)).kind == FileLook::kMissing) {
        c.Error("PRODUCT.DAT", "catalogue", "the catalogue " + catalogue + " is missing");
    } else {
        c.Readable(catalogue.rfind(".\\", 0) == 0 ? catalogue.substr(2) : catalogue, kSettingsCap);
    }
}

}  // namespace check
