// Compiled scripts: each decodes whole, its jumps land on instructions, and everything it names
// (scripts it calls, pictures and their masks, picture series, clips, sounds, texts, the tag
// files of its menus) exists in every language and unit system checked.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "check/MediaHeaders.h"
#include "check/ScriptDecoder.h"
#include "data/ConfigTable.h"
#include "lesson/LevelTable.h"
#include "lesson/StepParameters.h"
#include "script/CommandTable.h"
#include "script/ScriptFile.h"
#include "text/MessageFile.h"

namespace check {

namespace {

constexpr int kSoundStop = 3;  // the STOP word of Play: no sound is named

// The engine's configuration substitution: the first %NAME% of each setting is replaced.
std::string Substitute(const std::string& text, const data::ConfigTable& config,
                       const std::string& unit) {
    std::string out = text;
    for (size_t i = 0; i < script::kConfigNames.size(); ++i) {
        const std::string key = std::string("%") + script::kConfigNames[i] + "%";
        const size_t at = out.find(key);
        const std::string value =
            static_cast<int>(i) == data::kUnit ? unit : config.Get(static_cast<int>(i));
        if (at != std::string::npos) out.replace(at, key.size(), value);
    }
    return out;
}

std::string Where(const std::string& name, const DecodedInstruction& ins) {
    const script::CommandInfo* info = script::FindInstruction(ins.opcode);
    std::string where = info ? info->name : "?";
    if (ins.line > 0) where += " (line " + std::to_string(ins.line) + ")";
    (void)name;
    return where;
}

struct ScriptUse {
    std::set<std::string> calls;  // upper-case names of the scripts it calls
    std::set<std::string> tags;   // upper-case tags of its menus
};

class ScriptChecker {
  public:
    explicit ScriptChecker(CheckContext& c) : c_(c) {}

    void Check(const std::string& file) {
        const std::string path = c_.data + "\\LDE\\" + file;
        std::string raw;
        if (!c_.ReadFile(path, kScriptCap, "script-open", raw)) return;
        const std::vector<uint8_t> bytes(raw.begin(), raw.end());
        const DecodedScript decoded = DecodeScript(bytes);
        if (decoded.stop == DecodedScript::Stop::kCut) {
            c_.Error(path, "script-cut",
                     "the instruction at byte " + std::to_string(decoded.stop_offset) +
                         " is cut by the end of the file");
        } else if (decoded.stop == DecodedScript::Stop::kUnknownOpcode) {
            c_.Error(path, "script-opcode",
                     "unknown opcode " + std::to_string(decoded.stop_opcode) + " at byte " +
                         std::to_string(decoded.stop_offset));
        }
        if (decoded.bad_tag_offset >= 0) {
            c_.Error(path, "script-argument",
                     "the instruction at byte " + std::to_string(decoded.bad_tag_offset) +
                         " has an argument of no known kind (" + std::to_string(decoded.bad_tag) +
                         "): the script is damaged");
        }
        std::set<size_t> starts;
        for (const DecodedInstruction& ins : decoded.instructions) starts.insert(ins.offset);
        starts.insert(bytes.size());
        for (const auto& [from, target] : decoded.jumps) {
            if (target < 0 || !starts.count(static_cast<size_t>(target)))
                c_.Error(path, "script-jump",
                         "the jump at byte " + std::to_string(from) + " goes to byte " +
                             std::to_string(target) + ", which starts no instruction");
        }
        std::string base = file;
        if (!c_.dir.empty() && Upper(base).rfind(Upper(c_.dir), 0) == 0)
            base = base.substr(c_.dir.size());
        ScriptUse& use = uses_[Upper(base)];
        for (const DecodedInstruction& ins : decoded.instructions) References(path, file, ins, use);
    }

    const std::map<std::string, ScriptUse>& Uses() const { return uses_; }

  private:
    void Need(const std::string& path, const std::string& code, const std::string& what,
              const std::string& target, const DecodedInstruction& ins, Media media) {
        if (!c_.Present(target)) {
            c_.Error(path, code, Where(path, ins) + ": the " + what + " " + target + " is missing",
                     ins.line);
        } else if (!headers_read_.insert(target).second) {
            return;  // its header was looked at for an earlier instruction
        } else if (!c_.Readable(target, UINT64_MAX)) {
            return;  // a FIFO or device: said by Readable
        } else if (const std::string bad = MediaProblem(c_.Native(target), media); !bad.empty()) {
            c_.Error(target, "media-header", bad);
        }
    }

    void Picture(const std::string& path, const std::string& name, const DecodedInstruction& ins,
                 bool with_mask) {
        for (LanguageCourse& l : c_.languages) {
            if (!l.opened) continue;
            for (const UnitSystem& u : c_.units) {
                const std::string subst = Substitute(name, l.course->Config(), u.value);
                const std::string picture = data::Course::BitmapName(subst);
                Need(path, "script-picture", "picture", picture, ins, Media::kPicture);
                const std::string mask = data::Course::MaskName(script::BaseNameOf(subst));
                int pw = 0, ph = 0, mw = 0, mh = 0;
                if (with_mask && masks_read_.insert(picture + "|" + mask).second &&
                    c_.Exists(mask) && BitmapSize(c_.Native(picture), pw, ph) &&
                    (!BitmapSize(c_.Native(mask), mw, mh) || mw != pw || mh != ph)) {
                    c_.Error(mask, "mask-size",
                             "the mask is " + std::to_string(mw) + "x" + std::to_string(mh) +
                                 ", its picture " + picture + " " + std::to_string(pw) + "x" +
                                 std::to_string(ph));
                }
            }
        }
    }

    void References(const std::string& path, const std::string& file, const DecodedInstruction& ins,
                    ScriptUse& use) {
        const DecodedArgument* s = ins.StringArgument();
        if (!s) return;  // a name in a variable is known only when the script runs
        const std::string& name = s->text;
        switch (ins.opcode) {
            case script::kOpBmp:
            case script::kOpLoad:
            case script::kOpLoadAt:
                Picture(path, name, ins, true);
                break;
            case script::kOpZoomBmp:
            case script::kOpDisplay:
            case script::kOpDisplayStretch:
            case script::kOpDisplayZoom:
                Picture(path, name, ins, false);
                break;
            case script::kOpSeries:
                Picture(path, name + "#00", ins, false);
                break;
            case script::kOpAvi:
            case script::kOpAviPlay:
                for (LanguageCourse& l : c_.languages) {
                    if (!l.opened) continue;
                    for (const UnitSystem& u : c_.units)
                        Need(path, "script-clip", "clip",
                             data::Course::VideoName(Substitute(name, l.course->Config(), u.value)),
                             ins, Media::kClip);
                }
                break;
            case script::kOpPlay: {
                const bool stop =
                    ins.args.size() > 1 && ins.args[1].tag == 5 && ins.args[1].number == kSoundStop;
                if (!stop && !name.empty())
                    Need(path, "script-sound", "sound", "SND\\" + name + ".WAV", ins,
                         Media::kSound);
                break;
            }
            case script::kOpReadMessage:
            case script::kOpReadMessageFrom: {
                const std::string from = ins.opcode == script::kOpReadMessage ? file : name;
                const bool literal = !ins.args.empty() && ins.args[0].tag == 5;
                for (LanguageCourse& l : c_.languages) {
                    const std::string msg = c_.MessagePath(l.lang, c_.dir + from);
                    auto [it, added] = texts_.try_emplace(msg);
                    if (added) {
                        it->second = std::make_unique<text::MessageFile>(c_.Program());
                        if (!it->second->Open(c_.Native(msg))) it->second.reset();
                    }
                    text::MessageFile* texts = it->second.get();
                    if (!texts) {
                        c_.Error(path, "script-text",
                                 Where(path, ins) + ": the texts " + msg + " are missing",
                                 ins.line);
                    } else if (literal && texts->RecordSize(ins.args[0].number) <= 5) {
                        c_.Error(path, "script-text",
                                 Where(path, ins) + ": text " + std::to_string(ins.args[0].number) +
                                     " of " + msg + " is missing or empty",
                                 ins.line);
                    }
                }
                break;
            }
            case script::kOpCall:
            case script::kOpCallBack: {
                const script::ScriptLocation loc = script::LocateScript(name, c_.data, c_.dir);
                if (loc.ends_step) break;
                if (!c_.Exists(loc.path))
                    c_.Error(path, "script-call",
                             Where(path, ins) + ": the script " + loc.path + " is missing" +
                                 (c_.Full(path) ? "" : c_.ScriptSuggestion(loc.path)),
                             ins.line);
                use.calls.insert(Upper(script::BaseNameOf(name)));
                c_.named_scripts.insert(Upper(script::BaseNameOf(name)));
                break;
            }
            case script::kOpTag:
                use.tags.insert(Upper(name.substr(0, 20)));
                break;
            default:
                break;
        }
    }

    CheckContext& c_;
    std::map<std::string, ScriptUse> uses_;
    // What instructions name is read once, however many name it.
    std::set<std::string> headers_read_;
    std::set<std::string> masks_read_;
    std::map<std::string, std::unique_ptr<text::MessageFile>> texts_;
};

// The tags of the menus a step script leaves, through the scripts it calls.
std::set<std::string> TagsOf(const std::map<std::string, ScriptUse>& uses,
                             const std::string& name) {
    std::set<std::string> tags, seen;
    std::vector<std::string> todo{Upper(name)};
    while (!todo.empty()) {
        const std::string s = todo.back();
        todo.pop_back();
        if (!seen.insert(s).second) continue;
        auto it = uses.find(s);
        if (it == uses.end()) continue;
        tags.insert(it->second.tags.begin(), it->second.tags.end());
        todo.insert(todo.end(), it->second.calls.begin(), it->second.calls.end());
    }
    return tags;
}

void CheckMenu(CheckContext& c, LanguageCourse& l, const CheckContext::Step& step,
               const std::string& tag, const std::vector<std::string>& matrix, bool has_matrix) {
    const std::string path = c.MessagePath(l.lang, c.dir + tag);
    text::MessageFile file(c.Program());
    if (!file.Open(c.Native(path))) {
        c.Error(c.ScriptPath(step.script), "menu-file",
                "the menu " + tag + " has no texts " + path);
        return;
    }
    file.SetSeed(l.Seed());
    file.SetCheckModulus(text::MessageFile::kStandardModulus);
    const std::string item = lesson::MenuItemName(file.GetText(0));
    const std::vector<std::string> entries = SplitText(file.GetText(1), "\n");
    const std::vector<std::string> lines = SplitText(file.GetText(2), "\n");
    if (file.GetText(1).empty()) return;  // the texts of a script, not a menu
    if (lines.size() != entries.size())
        c.Error(path, "menu-line",
                std::to_string(entries.size() - 1) + " menu entries but " +
                    std::to_string(lines.size() - 1) + " sub-step lines",
                0, 2);
    for (size_t j = 1; j < entries.size(); ++j) {
        const size_t colon = entries[j].find(':');
        if (colon != std::string::npos) {
            const std::string picture = data::Course::BitmapName(entries[j].substr(colon + 1));
            if (!c.Exists(picture))
                c.Warning(path, "media-missing",
                          "menu entry " + std::to_string(j) + " names the picture " + picture +
                              ", which is missing",
                          0, 1);
        }
    }
    for (size_t j = 1; j < lines.size(); ++j) {
        char script[lesson::kScriptNameSize + 1] = {}, column[lesson::kMatrixNameSize + 1] = {};
        int points = 0;
        if (std::sscanf(lines[j].c_str(), "LDE%20s TPS%d MTX%22s", script, &points, column) != 3) {
            c.Error(path, "menu-line",
                    "sub-step line " + std::to_string(j) + " \"" + lines[j] +
                        "\" is not LDE<script> TPS<points> MTX<column>",
                    0, 2);
            continue;
        }
        const std::string name = script, col = column;
        std::string cell = "-";
        if (col != "-") {
            if (!has_matrix) {
                c.Error(c.LevelTable(step.level), "matrix-missing",
                        "the level matrix is missing; " + path + " names its column " + col);
                continue;
            }
            cell = lesson::LookupLevelTable(matrix, step.number, col, item);
            if (cell == "-") {
                c.Error(path, "menu-matrix",
                        "sub-step line " + std::to_string(j) + ": no matrix cell for item " + item +
                            ", column " + col + " in step " + std::to_string(step.number) + " of " +
                            c.LevelTable(step.level),
                        0, 2);
                continue;
            }
        }
        const std::string run = cell != "-" ? cell : name;
        if (run == "-" || run[0] == '#' || run.ends_with("-")) continue;
        c.named_scripts.insert(Upper(run));
        if (!c.Exists(c.ScriptPath(run)))
            c.Error(path, "menu-script",
                    "sub-step line " + std::to_string(j) + ": the script " + c.ScriptPath(run) +
                        " is missing" + (c.Full(path) ? "" : c.ScriptSuggestion(c.ScriptPath(run))),
                    0, 2);
    }
}

}  // namespace

void CheckScripts(CheckContext& c) {
    if (!std::filesystem::is_directory(c.Native(c.data))) {
        c.Error(c.data, "data-folder", "the data folder the catalogue names is missing");
        return;
    }
    std::error_code ec;
    // Every entry but folders: a FIFO or device in place of a script is refused when read.
    for (const auto& e : std::filesystem::directory_iterator(c.Native(c.data + "\\LDE"), ec)) {
        if (!e.is_directory(ec)) c.script_files.push_back(e.path().filename().string());
    }
    std::sort(c.script_files.begin(), c.script_files.end());
    ScriptChecker checker(c);
    for (const std::string& file : c.script_files) checker.Check(file);

    // The menus each step's script leaves on the stage.
    std::map<int, std::vector<std::string>> matrices;
    std::map<int, bool> has_matrix;
    for (const CheckContext::Step& step : c.steps) {
        if (step.script == "-") continue;
        if (!has_matrix.count(step.level)) {
            const std::string table = c.LevelTable(step.level);
            has_matrix[step.level] = c.Readable(table, kSettingsCap) &&
                                     lesson::ReadLevelTable(c.Native(table), matrices[step.level]);
        }
        for (const std::string& tag : TagsOf(checker.Uses(), step.script)) {
            c.tags.insert(tag);
            for (LanguageCourse& l : c.languages) {
                if (l.opened)
                    CheckMenu(c, l, step, tag, matrices[step.level], has_matrix[step.level]);
            }
        }
    }
}

}  // namespace check
