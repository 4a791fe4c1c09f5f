// Message and conversion files: their tables, checksums, includes and conversions; the texts
// the player uses in each language, with the arguments it passes; the files texts name.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "check/CheckContext.h"
#include "check/FileLimits.h"
#include "check/MediaHeaders.h"
#include "check/MessageTexts.h"
#include "data/CommonTexts.h"
#include "data/OpenCourse.h"
#include "platform/LittleEndian.h"
#include "platform/Path.h"
#include "script/ScriptEngine.h"
#include "text/MessageFile.h"
#include "windows/TPassword.h"
#include "windows/TWinBox.h"

namespace check {

namespace {

constexpr unsigned kModulus = text::MessageFile::kStandardModulus;
constexpr uint32_t kFormatMarker = 0xFFFF0001u;

// Why the file's table cannot be read as the player reads it, or "" when it is sound.
std::string TableProblem(const std::string& b) {
    if (b.size() < 28) return "shorter than its header and table";
    const int16_t t = platform::LoadLeI16(b.data() + 2);
    if (t != 24) return "the table does not follow the header (offset " + std::to_string(t) + ")";
    const uint32_t first = platform::LoadLeU32(b.data() + 24);
    if (first < 28 || first > b.size() || (first - 24) % 4 != 0)
        return "the table's first entry " + std::to_string(first) + " is out of the file";
    const size_t n = (first - 24) / 4;
    uint32_t previous = first;
    for (size_t i = 1; i < n; ++i) {
        const uint32_t at = platform::LoadLeU32(b.data() + 24 + 4 * i);
        if (at < previous) return "table entry " + std::to_string(i) + " goes backwards";
        if (at > b.size()) return "table entry " + std::to_string(i) + " is past the end";
        const uint32_t size = at - previous;
        if (size < 5) return "text " + std::to_string(i - 1) + " is shorter than its checksum";
        if (b[at - 5] != '\0') return "text " + std::to_string(i - 1) + " has no end mark";
        if (std::memchr(b.data() + previous, 0, size - 5) != nullptr)
            return "text " + std::to_string(i - 1) + " holds a NUL byte";
        previous = at;
    }
    // The format block, when there is one, lies wholly inside the file.
    if (previous + 8 <= b.size() && platform::LoadLeU32(b.data() + previous) == kFormatMarker) {
        if (platform::LoadLeU32(b.data() + previous + 4) > b.size() - previous - 8)
            return "the format block is cut";
    }
    return {};
}

// A text the checksum refused comes back as 0xFF bytes of its length.
bool FailedChecksum(const std::string& raw) {
    return !raw.empty() && std::all_of(raw.begin(), raw.end(),
                                       [](char ch) { return static_cast<uint8_t>(ch) == 0xFF; });
}

// The role of a file in a language folder, which says how the player reads it.
struct Reading {
    int32_t seed = 0;  // 0: the file's own
    unsigned modulus = kModulus;
    bool lesson = false;  // scrambled with the common seed by the player (step, sub-step)
};

Reading ReadingOf(const CheckContext& c, const std::string& name, bool conversion,
                  int32_t common_seed, int32_t own_seed) {
    const std::string upper = Upper(name);
    const std::string dir = Upper(c.dir);
    Reading r;
    if (conversion) {
        r.modulus = own_seed != 0 ? static_cast<unsigned>(own_seed) : kModulus;
        return r;
    }
    if (!dir.empty() && upper.rfind(dir, 0) == 0) {
        r.seed = common_seed;
        r.lesson = true;
        if (upper.rfind(dir + "STEP", 0) == 0) r.modulus = static_cast<unsigned>(common_seed);
    }
    return r;
}

void CheckCodes(CheckContext& c, const std::string& path, const std::string& folder,
                text::MessageFile& file, int number, const std::string& raw) {
    for (const TextCode& code : FindTextCodes(raw)) {
        if (code.kind == TextCode::kInclude && code.number < 0) continue;  // a link path
        const bool conversion = code.kind == TextCode::kConversion;
        std::string name = code.name;
        if (name == "?") continue;  // the link path, set while the player runs
        if (name.empty() && !conversion) {
            if (code.number >= file.RecordCount())
                c.Error(path, "msg-include",
                        "includes text " + std::to_string(code.number) +
                            ", which the file does not hold",
                        0, number);
            continue;
        }
        if (name.empty()) name = std::filesystem::path(file.FileName()).stem().string();
        const std::string other = folder + "\\" + name + (conversion ? ".CNV" : ".MSG");
        text::MessageFile target(c.Program());
        if (!target.Open(c.Native(other))) {
            c.Error(path, conversion ? "msg-conversion" : "msg-include",
                    "names " + other + ", which cannot be opened", 0, number);
            continue;
        }
        if (code.number >= target.RecordCount()) {
            c.Error(path, conversion ? "msg-conversion" : "msg-include",
                    "names text " + std::to_string(code.number) + " of " + other +
                        ", which does not hold it",
                    0, number);
            continue;
        }
        if (!conversion) continue;
        const std::vector<std::string> lines = SplitText(target.RawText(code.number), "\n");
        for (size_t line = 0; line < 2; ++line) {
            if (line >= lines.size() || lines[line].empty()) {
                c.Error(path, "msg-conversion",
                        "names text " + std::to_string(code.number) + " of " + other +
                            ", which has no line " + std::to_string(line + 1) + " (unit system " +
                            std::to_string(line + 1) + ")",
                        0, number);
            }
        }
    }
}

void CheckOneFile(CheckContext& c, const std::string& path, const std::string& folder,
                  int32_t common_seed) {
    std::string bytes;
    if (!c.ReadFile(path, kMessageCap, "msg-open", bytes)) return;
    if (const std::string problem = TableProblem(bytes); !problem.empty()) {
        c.Error(path, "msg-table", "the text table is damaged: " + problem);
        return;
    }
    const bool conversion = Upper(path).ends_with(".CNV");
    text::MessageFile file(c.Program());
    if (!file.Open(c.Native(path))) {
        c.Error(path, "msg-open", "the player cannot open it");
        return;
    }
    const std::string name = std::filesystem::path(file.FileName()).stem().string();
    const Reading r = ReadingOf(c, name, conversion, common_seed, file.Seed());
    if (r.lesson && common_seed != 0 && file.Seed() != 0 && file.Seed() != common_seed) {
        c.Error(path, "msg-seed",
                "scrambled with seed " + std::to_string(file.Seed()) +
                    "; the player reads lesson files with the common seed " +
                    std::to_string(common_seed));
    }
    if (r.seed != 0) file.SetSeed(r.seed);
    file.SetCheckModulus(r.modulus);
    for (int n = 0; n < file.RecordCount(); ++n) {
        const std::string raw = file.RawText(n);
        if (FailedChecksum(raw)) {
            c.Error(path, "msg-checksum",
                    "fails its checksum (modulus " + std::to_string(r.modulus) + ")", 0, n);
            continue;
        }
        CheckCodes(c, path, folder, file, n, raw);
    }
}

std::vector<std::string> MessageFilesIn(const std::string& native_folder) {
    std::vector<std::string> names;
    std::error_code ec;
    // FIFOs and the like are listed too: reading them is refused with a finding.
    for (const auto& e : std::filesystem::directory_iterator(native_folder, ec)) {
        const std::string name = e.path().filename().string();
        const std::string upper = Upper(name);
        if (upper.ends_with(".MSG") || upper.ends_with(".CNV")) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Texts whose argument codes reach past the arguments the player passes, and format entries
// that would format an argument as another kind.
void CheckArguments(CheckContext& c, const std::string& path, text::MessageFile& file, int number,
                    const std::string& passed, bool own_formats) {
    const int used = HighestArgument(file.RawText(number));
    if (used > static_cast<int>(passed.size())) {
        c.Error(path, "text-argument",
                "uses argument %" + std::to_string(used) + " but the player passes " +
                    std::to_string(passed.size()),
                0, number);
    }
    if (!own_formats) return;
    const std::string kinds = FormatKinds(file.Format(number));
    for (size_t k = 0; k < kinds.size() && k < passed.size(); ++k) {
        if (kinds[k] != passed[k]) {
            c.Error(path, "msg-format",
                    "its format entry \"" + file.Format(number) + "\" formats argument " +
                        std::to_string(k + 1) + " as " + KindName(kinds[k]) +
                        ", the player passes " + KindName(passed[k]),
                    0, number);
        }
    }
}

void RequireText(CheckContext& c, const std::string& path, text::MessageFile& file, int number) {
    if (file.RecordSize(number) <= 5)
        c.Error(path, "text-missing", "the player uses this text; it is missing or empty", 0,
                number);
}

}  // namespace

void CheckMessageFiles(CheckContext& c) {
    for (const LanguageCourse& l : c.languages) {
        const std::string folder = "MSG\\" + l.lang;
        for (const std::string& name : MessageFilesIn(c.Native(folder)))
            CheckOneFile(c, folder + "\\" + name, folder, l.Seed());
    }
    const int32_t seed = c.languages.empty() ? 0 : c.languages.front().Seed();
    if (c.Present("MSG\\SND.MSG")) CheckOneFile(c, "MSG\\SND.MSG", "MSG", seed);
}

void CheckUsedTexts(CheckContext& c) {
    for (LanguageCourse& l : c.languages) {
        if (!l.opened) continue;
        data::Course& course = *l.course;
        const std::string common_path = c.MessagePath(l.lang, data::kCommonName);
        text::MessageFile& common = course.Common();
        for (int number : data::kCommonTextsUsed) RequireText(c, common_path, common, number);
        // The common file's formats are the player's own: a text may use the arguments that
        // table formats.
        const char* const* formats = text::MessageFile::CommonFormats();
        int count = 0;
        while (formats[count]) ++count;
        for (int number : data::kCommonTextsUsed) {
            if (number < count && formats[number][0] != '\0')
                CheckArguments(c, common_path, common, number, FormatKinds(formats[number]), false);
        }

        text::MessageFile box(c.Program());
        const std::string box_path = c.MessagePath(l.lang, "MSGBOX");
        if (!box.Open(c.Native(box_path))) {
            c.Error(box_path, "msg-missing", "the message box's texts are missing");
        } else {
            box.SetCheckModulus(kModulus);
            for (const windows::WinBoxTextUse& use : windows::kWinBoxTextsUsed) {
                RequireText(c, box_path, box, use.number);
                CheckArguments(c, box_path, box, use.number, use.arguments, true);
            }
            for (int icon = windows::kTextErrorIcon; icon <= windows::kTextInformationIcon;
                 ++icon) {
                const std::string name = box.GetText(icon);
                if (!name.empty() && !c.Exists(data::Course::BitmapName(name)))
                    c.Warning(
                        box_path, "media-missing",
                        "names the icon " + data::Course::BitmapName(name) + ", which is missing",
                        0, icon);
            }
        }

        text::MessageFile engine(c.Program());
        const std::string engine_path = c.MessagePath(l.lang, "VTE");
        if (!engine.Open(c.Native(engine_path))) {
            c.Error(engine_path, "msg-missing", "the script engine's texts are missing");
        } else {
            engine.SetCheckModulus(kModulus);
            if (engine.MajorVersion() != common.MajorVersion() ||
                engine.MinorVersion() != common.MinorVersion())
                c.Error(engine_path, "msg-version",
                        "its version differs from the common texts' version; the engine "
                        "refuses it");
            for (const script::EngineTextUse& use : script::kEngineTextsUsed) {
                RequireText(c, engine_path, engine, use.number);
                CheckArguments(c, engine_path, engine, use.number, use.arguments, false);
            }
        }

        text::MessageFile password(c.Program());
        const std::string password_path = c.MessagePath(l.lang, "PASSWD");
        if (!password.Open(c.Native(password_path))) {
            c.Error(password_path, "msg-missing", "the password window's texts are missing");
        } else {
            password.SetCheckModulus(kModulus);
            for (int number : windows::kPasswordTextsUsed) {
                RequireText(c, password_path, password, number);
                CheckArguments(c, password_path, password, number, "", true);
            }
        }

        // Files the common texts name.
        const std::string splash = course.CommonText(data::kTextSplashPicture);
        if (!splash.empty() && !c.Exists(data::Course::BitmapName(splash)))
            c.Warning(common_path, "media-missing",
                      "names the splash picture " + data::Course::BitmapName(splash) +
                          ", which is missing",
                      0, data::kTextSplashPicture);
        for (int number : {data::kTextStartSound, data::kTextSoundClose}) {
            const std::string sound = course.CommonText(number, c.product);
            if (!sound.empty() && !c.Exists("SND\\" + sound + ".WAV"))
                c.Warning(common_path, "media-missing",
                          "names the sound SND\\" + sound + ".WAV, which is missing", 0, number);
        }
        // Help > Topics.
        const std::string help = "MSG\\" + l.lang + "\\" + c.product + ".PDF";
        if (!c.Exists(help)) c.Error(help, "help-missing", "the Help > Topics document is missing");
    }

    // The sound list: every name in it is a sound of the course.
    text::MessageFile sounds(c.Program());
    if (!sounds.Open(c.Native("MSG\\SND.MSG"))) {
        c.Error("MSG\\SND.MSG", "msg-missing", "the sound list is missing");
        return;
    }
    sounds.SetCheckModulus(kModulus);
    constexpr int kFirstSound = 3;  // texts 0 to 2 are the sound player's notices
    for (int number = kFirstSound; number < sounds.RecordCount(); ++number) {
        const std::string name = sounds.GetText(number);
        if (name.empty()) continue;
        const std::string path = "SND\\" + name + ".WAV";
        if (!c.Exists(path)) {
            c.Error("MSG\\SND.MSG", "sound-missing", "names " + path + ", which is missing", 0,
                    number);
        } else if (const std::string bad = MediaProblem(c.Native(path), Media::kSound);
                   !bad.empty()) {
            c.Error(path, "media-header", bad);
        }
    }
}

}  // namespace check
