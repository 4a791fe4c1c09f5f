// Every language checked holds the same lesson: the same message files with the same number of
// texts and the same argument formats, the same parameter and sub-step lines, and no text that
// one language has and another leaves empty.
#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "check/CheckContext.h"
#include "data/StepTexts.h"
#include "text/MessageFile.h"

namespace check {

namespace {

std::map<std::string, std::string> FilesIn(const CheckContext& c, const std::string& lang) {
    std::map<std::string, std::string> files;  // upper-case name -> name
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(c.Native("MSG\\" + lang), ec)) {
        if (!e.is_regular_file(ec)) continue;
        const std::string name = e.path().filename().string();
        const std::string upper = Upper(name);
        if (upper.ends_with(".MSG") || upper.ends_with(".CNV")) files[upper] = name;
    }
    return files;
}

// Whether texts of this file must be the same in every language (not translated): the
// parameter lines of steps and the sub-step lines of menus.
bool SameEverywhere(const CheckContext& c, const std::string& upper, int number) {
    const std::string dir = Upper(c.dir);
    if (dir.empty() || upper.rfind(dir, 0) != 0 || !upper.ends_with(".MSG")) return false;
    if (upper.rfind(dir + "STEP", 0) == 0)
        return number % data::kTextsPerStep == static_cast<int>(data::StepText::kParameters);
    return number == 2;
}

void Compare(CheckContext& c, LanguageCourse& a, LanguageCourse& b, const std::string& upper,
             const std::string& name_a, const std::string& name_b) {
    const std::string path_a = "MSG\\" + a.lang + "\\" + name_a;
    const std::string path_b = "MSG\\" + b.lang + "\\" + name_b;
    text::MessageFile fa(c.Program()), fb(c.Program());
    if (!fa.Open(c.Native(path_a)) || !fb.Open(c.Native(path_b))) return;  // reported already
    const bool lesson =
        !c.dir.empty() && upper.rfind(Upper(c.dir), 0) == 0 && upper.ends_with(".MSG");
    if (lesson) {
        fa.SetSeed(a.Seed());
        fb.SetSeed(b.Seed());
    }
    if (fa.RecordCount() != fb.RecordCount()) {
        c.Error(path_b, "lang-texts",
                std::to_string(fb.RecordCount()) + " texts, " + path_a + " holds " +
                    std::to_string(fa.RecordCount()));
    }
    const int count = std::min(fa.RecordCount(), fb.RecordCount());
    for (int n = 0; n < count; ++n) {
        const std::string ta = fa.RawText(n), tb = fb.RawText(n);
        if (ta.empty() != tb.empty()) {
            c.Warning(ta.empty() ? path_a : path_b, "lang-empty",
                      "empty here but not in " + (ta.empty() ? path_b : path_a), 0, n);
        }
        if (fa.Format(n) != fb.Format(n)) {
            c.Error(path_b, "lang-format",
                    "format \"" + fb.Format(n) + "\", in " + path_a + " \"" + fa.Format(n) + "\"",
                    0, n);
        }
        if (SameEverywhere(c, upper, n) && ta != tb) {
            c.Error(path_b, "lang-params",
                    "\"" + tb + "\" differs from " + path_a + ": \"" + ta + "\"", 0, n);
        }
        if (upper.rfind(Upper(c.dir) + "STEP", 0) == 0 &&
            n % data::kTextsPerStep == static_cast<int>(data::StepText::kAnswers) &&
            SplitText(ta, "\n").size() != SplitText(tb, "\n").size()) {
            c.Error(path_b, "lang-answers",
                    std::to_string(SplitText(tb, "\n").size() - 1) + " answers, " + path_a +
                        " offers " + std::to_string(SplitText(ta, "\n").size() - 1),
                    0, n);
        }
    }
}

}  // namespace

void CheckLanguagesAgree(CheckContext& c) {
    if (c.languages.size() < 2) return;
    LanguageCourse& first = c.languages.front();
    const std::map<std::string, std::string> reference = FilesIn(c, first.lang);
    for (size_t i = 1; i < c.languages.size(); ++i) {
        LanguageCourse& other = c.languages[i];
        const std::map<std::string, std::string> files = FilesIn(c, other.lang);
        for (const auto& [upper, name] : reference) {
            auto it = files.find(upper);
            if (it == files.end()) {
                c.Error("MSG\\" + other.lang + "\\" + name, "lang-file",
                        "missing; MSG\\" + first.lang + "\\" + name + " has it");
                continue;
            }
            Compare(c, first, other, upper, name, it->second);
        }
        for (const auto& [upper, name] : files) {
            if (!reference.count(upper))
                c.Error("MSG\\" + first.lang + "\\" + name, "lang-file",
                        "missing; MSG\\" + other.lang + "\\" + name + " has it");
        }
    }
}

}  // namespace check
