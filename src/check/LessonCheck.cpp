// The steps of each level: four texts per step, a parameter line the player's own parser reads
// with values in range, the script and comment document it names, answers that cover the
// expected one, a sane estimate range.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "check/CheckContext.h"
#include "data/CommonTexts.h"
#include "data/StepTexts.h"
#include "lesson/StepParameters.h"
#include "script/ScriptFile.h"
#include "text/MessageFile.h"

namespace check {

namespace {

constexpr int kMaxAnswers = 6;
constexpr int kSliderMax = 100;  // the estimate slider runs from 0 to 100

std::string StepName(int level, int step) {
    return "level " + std::to_string(level) + " step " + std::to_string(step);
}

// Levels with a step file in any language folder checked: <dir>STEPnn.MSG.
std::vector<int> FindLevels(const CheckContext& c) {
    std::vector<int> levels;
    const std::string prefix = Upper(c.dir) + "STEP";
    for (const LanguageCourse& l : c.languages) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(c.Native("MSG\\" + l.lang), ec)) {
            const std::string name = Upper(e.path().filename().string());
            int level = 0;
            char extra = 0;
            if (name.rfind(prefix, 0) != 0 || !name.ends_with(".MSG")) continue;
            if (std::sscanf(name.c_str() + prefix.size(), "%2d.MS%c", &level, &extra) == 2 &&
                level > 0 && std::find(levels.begin(), levels.end(), level) == levels.end())
                levels.push_back(level);
        }
    }
    std::sort(levels.begin(), levels.end());
    return levels;
}

// The fields of a parameter line, "K[<hex>:<hex>] BR<n>:<n> TRY<n>:<n> PT<n> LDE<name> F<n>
// P<n>:[<name>]", by the value the player's parser reads: the word (blank-separated) holding
// it and what it must be.
struct ParameterField {
    int word;
    const char* expected;
};
constexpr ParameterField kParameterFields[lesson::kParameterCount] = {
    {0, "K[ and the key's first half in hexadecimal"},
    {0, "K[<hex>: and the key's second half in hexadecimal, then ]"},
    {1, "BR and the expected answer, a whole number"},
    {1, "BR<answer>: and the tolerance, a whole number"},
    {2, "TRY and the number of tries, a whole number"},
    {2, "TRY<tries>: and the penalty per try, a whole number"},
    {3, "PT and the points, a whole number"},
    {4, "LDE and a script name (or -)"},
    {5, "F and a whole number"},
    {6, "P and a whole number"},
    {6, "P<number>:[ and the comment document's name (or -), then ]"},
};

// Which field of the parameter line the parser stopped at (after read values), as written,
// and what was expected there.
std::string ParameterProblem(const std::string& line, int read) {
    const std::vector<std::string> words = [&] {
        std::vector<std::string> w;
        for (const std::string& piece : SplitText(line, " "))
            if (!piece.empty()) w.push_back(piece);
        return w;
    }();
    auto field = [&](int word) {
        return word < static_cast<int>(words.size()) ? "the field " + words[word]
                                                     : std::string("the line's end");
    };
    // A script name too long for the parser leaves its rest where F is expected.
    constexpr int kScriptValue = 7;
    if (read == kScriptValue + 1 && words.size() > 4 &&
        words[4].size() > 3 + static_cast<size_t>(lesson::kScriptNameSize))
        return field(4) + ": a script name has at most " + std::to_string(lesson::kScriptNameSize) +
               " characters";
    const ParameterField& f = kParameterFields[std::clamp(read, 0, lesson::kParameterCount - 1)];
    return field(f.word) + " is not " + f.expected;
}

void CheckStep(CheckContext& c, LanguageCourse& l, text::MessageFile& file, const std::string& path,
               int level, int s, CheckContext::StepKind& kind, bool record) {
    using data::StepText;
    const int param_text = data::StepTextNumber(s, StepText::kParameters);
    const std::string where = StepName(level, s);
    // The learner would face a blank question: nothing shown but markup or blanks.
    const std::string question = file.GetText(data::StepTextNumber(s, StepText::kQuestion));
    if (question.find_first_not_of(" \t\r\n") == std::string::npos)
        c.Error(path, "step-text", where + ": the question is empty in " + l.lang, 0,
                data::StepTextNumber(s, StepText::kQuestion));
    const std::vector<std::string> answers =
        SplitText(file.GetText(data::StepTextNumber(s, StepText::kAnswers)), "\n");
    const std::vector<std::string> comments =
        SplitText(file.GetText(data::StepTextNumber(s, StepText::kComments)), "\n## ");

    lesson::StepParameters p;
    const std::string line = file.GetText(param_text);
    const int read = p.Parse(line);
    kind = answers[0].empty()                          ? CheckContext::StepKind::kChoice
           : kind == CheckContext::StepKind::kEstimate ? CheckContext::StepKind::kEstimate
                                                       : CheckContext::StepKind::kPractical;
    if (record) c.steps.push_back(CheckContext::Step{level, s, p.ScriptName, kind});
    if (read != lesson::kParameterCount) {
        c.Error(path, "step-params",
                where + ": the parameter line \"" + line +
                    "\" is malformed: " + ParameterProblem(line, read),
                0, param_text);
        if (kind == CheckContext::StepKind::kPractical) kind = CheckContext::StepKind::kEstimate;
        return;
    }
    if (p.Points < 0 || p.TryLimit < 0 || p.TryPenalty < 0 || p.Tolerance < 0)
        c.Error(path, "step-range",
                where + ": points, tries, penalty and tolerance cannot be negative", 0, param_text);
    if (p.ScriptName != "-" && !p.ScriptName.ends_with("-")) {
        const std::string script = c.ScriptPath(p.ScriptName);
        c.named_scripts.insert(Upper(p.ScriptName));
        if (!c.Exists(script))
            c.Error(path, "step-script",
                    where + ": the script " + script + " is missing" +
                        (c.Full(path) ? "" : c.ScriptSuggestion(script)),
                    0, param_text);
    }
    if (p.Comment != "-") {
        for (const UnitSystem& u : c.units) {
            const std::string doc =
                "MSG\\" + l.lang + "\\COMMON\\" + u.value + "\\" + p.Comment + ".PDF";
            if (!c.Exists(doc))
                c.Error(path, "step-document",
                        where + ": the comment document " + doc + " is missing", 0, param_text);
        }
    }
    int x = 0, y = 0, w = 0;
    const char* placement = comments[0].c_str();
    if (std::sscanf(placement, "X%d Y%d W%d", &x, &y, &w) != 3 &&
        std::sscanf(placement, "X%d Y%d", &x, &y) != 2 && std::sscanf(placement, "Y%d", &y) != 1)
        c.Warning(path, "step-comments",
                  where + ": the comments do not begin with the panel's place (X.. Y.. W..)", 0,
                  data::StepTextNumber(s, StepText::kComments));
    switch (kind) {
        case CheckContext::StepKind::kChoice: {
            const int count = static_cast<int>(answers.size()) - 1;
            if (count < 1 || count > kMaxAnswers) {
                c.Error(path, "step-answers",
                        where + ": " + std::to_string(count) + " answers offered (1 to 6)", 0,
                        data::StepTextNumber(s, StepText::kAnswers));
            } else if (p.Expected < 1 || p.Expected > count) {
                c.Error(path, "step-answers",
                        where + ": the expected answer " + std::to_string(p.Expected) +
                            " is not among the " + std::to_string(count) + " offered",
                        0, param_text);
            }
            if (static_cast<int>(comments.size()) < count + 1)
                c.Warning(path, "step-comments", where + ": an answer has no comment", 0,
                          data::StepTextNumber(s, StepText::kComments));
            break;
        }
        case CheckContext::StepKind::kEstimate:
            if (p.Expected - p.Tolerance < 0 || p.Expected + p.Tolerance > kSliderMax)
                c.Error(path, "step-estimate",
                        where + ": the estimate " + std::to_string(p.Expected) + " +/- " +
                            std::to_string(p.Tolerance) + " leaves the slider's 0 to 100",
                        0, param_text);
            [[fallthrough]];
        case CheckContext::StepKind::kPractical:
            if (comments.size() < 3)
                c.Warning(path, "step-comments",
                          where + ": no comment for a wrong and a right answer", 0,
                          data::StepTextNumber(s, StepText::kComments));
            break;
    }
    // A solved practical step turns the next steps into estimates.
    if (kind == CheckContext::StepKind::kPractical) kind = CheckContext::StepKind::kEstimate;
}

}  // namespace

int CheckContext::ConversionLine(LanguageCourse& l, const std::string& unit) const {
    if (!l.opened) return 0;
    return l.course->CommonText(data::kTextUnitSystem) == unit ? 0 : 1;
}

void CheckSteps(CheckContext& c) {
    c.levels = FindLevels(c);
    bool recorded = false;
    for (LanguageCourse& l : c.languages) {
        if (!l.opened) continue;
        const bool record = !recorded;
        recorded = true;
        for (int level : c.levels) {
            const std::string path = c.StepFile(l.lang, level);
            text::MessageFile file(c.Program());
            if (!file.Open(c.Native(path))) {
                c.Error(path, "step-file",
                        "the step texts of level " + std::to_string(level) + " are missing in " +
                            l.lang);
                continue;
            }
            file.SetSeed(l.Seed());
            file.SetCheckModulus(static_cast<unsigned>(l.Seed()));
            if (file.RecordCount() % data::kTextsPerStep != 0 || file.RecordCount() == 0)
                c.Error(path, "step-count",
                        std::to_string(file.RecordCount()) +
                            " texts: a step file holds four texts per step");
            const int steps = file.RecordCount() / data::kTextsPerStep;
            for (size_t u = 0; u < c.units.size(); ++u) {
                file.SetConversionLine(c.ConversionLine(l, c.units[u].value));
                CheckContext::StepKind kind = CheckContext::StepKind::kChoice;
                for (int s = 1; s <= steps; ++s)
                    CheckStep(c, l, file, path, level, s, kind, record && u == 0);
            }
        }
    }
}

}  // namespace check
