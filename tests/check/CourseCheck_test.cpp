// The checker on copies of the built demo course, each damaged in one way: the damage must give
// its finding code. The clean course gives no finding at all, even with its scripts run, and a
// check changes nothing in the course.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "MessageSource.h"
#include "SourceMap.h"
#include "check/CourseCheck.h"
#include "check/ScriptDecoder.h"
#include "script/Assembler.h"
#include "support/BmpWriter.h"
#include "support/TempFolder.h"
#include "text/MessageFile.h"
#include "text/MessageWriter.h"

namespace {

namespace fs = std::filesystem;

const fs::path kDemo = DEMO_COURSE_DIR;
constexpr int32_t kSeed = 1957;  // the demo's common seed

// A copy of the demo course, with a link to the built player by its absolute path.
void CopyCourse(const fs::path& to) {
    fs::create_directories(to);
    for (const auto& e : fs::recursive_directory_iterator(kDemo)) {
        const fs::path rel = e.path().lexically_relative(kDemo);
        if (e.is_symlink()) {
            fs::create_symlink(fs::canonical(e.path()), to / rel);
        } else if (e.is_directory()) {
            fs::create_directories(to / rel);
        } else {
            fs::copy_file(e.path(), to / rel, fs::copy_options::overwrite_existing);
        }
    }
}

std::string Read(const fs::path& p) {
    return support::TempFolder::Read(p.string());
}
void Write(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

// Reads a compiled message file as the player does, lets edit change its texts, and writes it
// back with the same seed and a checksum modulus.
void EditTexts(const fs::path& p, int32_t seed, uint32_t modulus,
               const std::function<void(std::vector<std::string>&)>& edit) {
    text::MessageFile file;
    ASSERT_TRUE(file.Open(p.string())) << p;
    text::MessageContent content;
    content.seed = file.Seed() != 0 ? file.Seed() : seed;
    content.modulus = modulus;
    content.major = file.MajorVersion();
    content.minor = file.MinorVersion();
    if (seed != 0) file.SetSeed(seed);
    for (int n = 0; n < file.RecordCount(); ++n) {
        content.texts.push_back(file.RawText(n));
        content.formats.push_back(file.Format(n));
    }
    edit(content.texts);
    Write(p, text::EncodeMessageFile(content));
}

void ReplaceLine(const fs::path& p, const std::string& from, const std::string& to) {
    std::string s = Read(p);
    const size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    s.replace(at, from.size(), to);
    Write(p, s);
}

void MakeFifo(const fs::path& p) {
    fs::remove(p);
    ASSERT_EQ(::mkfifo(p.c_str(), 0644), 0) << p;
}

void LinkTo(const fs::path& p, const fs::path& target) {
    fs::remove(p);
    fs::create_symlink(target, p);
}

// Bytes that are no message file, the same at every run.
std::string RandomBytes(size_t size) {
    std::string bytes(size, '\0');
    uint32_t x = 2463534242u;
    for (char& ch : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        ch = static_cast<char>(x);
    }
    return bytes;
}

struct Damage {
    const char* name;
    std::function<void(const fs::path&)> apply;
    const char* code;
    const char* path;       // where the finding must point
    const char* says = "";  // what its message must hold
    check::Severity severity = check::Severity::kError;
};

const Damage kDamages[] = {
    {"missing picture named by a script", [](const fs::path& c) { fs::remove(c / "BMP/LAMP.BMP"); },
     "script-picture", "DATA\\LDE\\D1ALARM"},
    {"mask of the wrong size",
     [](const fs::path& c) { support::WriteBmp(c / "BMP/MASK/LAMP.BMP", 3, 2, 0); }, "mask-size",
     "BMP\\MASK\\LAMP.BMP"},
    {"missing sound named by a script", [](const fs::path& c) { fs::remove(c / "SND/CLOSE.WAV"); },
     "script-sound", "DATA\\LDE\\D1INTRO"},
    {"missing called script", [](const fs::path& c) { fs::remove(c / "DATA/LDE/D1VALVE"); },
     "script-call", "DATA\\LDE\\D1INTRO"},
    {"script cut mid-instruction",
     [](const fs::path& c) {
         const std::string s = Read(c / "DATA/LDE/D1INTRO");
         Write(c / "DATA/LDE/D1INTRO", s.substr(0, s.size() - 3));
     },
     "script-cut", "DATA\\LDE\\D1INTRO"},
    {"jump into the middle of an instruction",
     [](const fs::path& c) {
         const script::AssemblyResult r = script::Assemble(".lines off\nTimer 50\nGoTo 3\n");
         ASSERT_TRUE(r.ok) << r.error;
         Write(c / "DATA/LDE/D1JUMP", std::string(r.bytes.begin(), r.bytes.end()));
     },
     "script-jump", "DATA\\LDE\\D1JUMP"},
    {"unknown opcode",
     [](const fs::path& c) { Write(c / "DATA/LDE/D1ODD", std::string("\x63\x00\x00\x00", 4)); },
     "script-opcode", "DATA\\LDE\\D1ODD"},
    {"menu naming a missing matrix cell",
     [](const fs::path& c) {
         ReplaceLine(c / "DATA/CFG/D1LEVEL01.CFG", "[V2][OPENV2][PDISCH]", "");
     },
     "menu-matrix", "MSG\\GB\\D1DISCH.MSG"},
    {"level matrix missing", [](const fs::path& c) { fs::remove(c / "DATA/CFG/D1LEVEL01.CFG"); },
     "matrix-missing", "DATA\\CFG\\D1LEVEL01.CFG"},
    {"malformed sub-step line",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1VALVE.MSG", kSeed, 1009, [](auto& t) {
             t[2] = "LDE- TPS0 MTX-\nLDEVOPEN TPS2\nLDE#2 TPS0 MTX-\nLDE- TPS0 MTX-";
         });
     },
     "menu-line", "MSG\\GB\\D1VALVE.MSG"},
    {"text missing in one language",
     [](const fs::path& c) {
         EditTexts(c / "MSG/FR/D1VENT.MSG", kSeed, 1009, [](auto& t) { t[3] = ""; });
     },
     "lang-empty", "MSG\\FR\\D1VENT.MSG", "", check::Severity::kWarning},
    {"message file missing in one language",
     [](const fs::path& c) { fs::remove(c / "MSG/FR/D1MOTOR.MSG"); }, "lang-file",
     "MSG\\FR\\D1MOTOR.MSG"},
    {"expected answer not offered",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed,
                   [](auto& t) { t[3] = "K[D1:1] BR9:0 TRY1:0 PT10 LDEINTRO F1 P2:[-]"; });
     },
     "step-answers", "MSG\\GB\\D1STEP01.MSG"},
    {"negative points",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed,
                   [](auto& t) { t[3] = "K[D1:1] BR2:0 TRY1:0 PT-10 LDEINTRO F1 P2:[-]"; });
     },
     "step-range", "MSG\\GB\\D1STEP01.MSG"},
    {"malformed parameter line",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed,
                   [](auto& t) { t[3] = "K[D1:1] BR2:0 TRY1:0 PT10 LDEAVERYLONGSCRIPTNAME12 F1"; });
     },
     "step-params", "MSG\\GB\\D1STEP01.MSG",
     "the field LDEAVERYLONGSCRIPTNAME12: a script name has at most 20 characters"},
    {"points that are no number",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed,
                   [](auto& t) { t[3] = "K[D1:1] BR2:0 TRY1:0 PTten LDEINTRO F1 P2:[-]"; });
     },
     "step-params", "MSG\\GB\\D1STEP01.MSG",
     "the field PTten is not PT and the points, a whole number"},
    {"misspelt script name in a step",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed,
                   [](auto& t) { t[3] = "K[D1:1] BR2:0 TRY1:0 PT10 LDEINTOR F1 P2:[-]"; });
     },
     "step-script", "MSG\\GB\\D1STEP01.MSG", "D1INTOR is missing; did you mean D1INTRO?"},
    {"estimate beyond the slider",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1STEP01.MSG", kSeed, kSeed, [](auto& t) {
             const size_t at = t[19].find("BR70:5");
             if (at != std::string::npos) t[19].replace(at, 6, "BR98:5");
         });
     },
     "step-estimate", "MSG\\GB\\D1STEP01.MSG"},
    {"missing comment document for one unit system",
     [](const fs::path& c) { fs::remove(c / "MSG/GB/COMMON/US/CURVE.PDF"); }, "step-document",
     "MSG\\GB\\D1STEP01.MSG"},
    {"bad checksum",
     [](const fs::path& c) {
         std::string s = Read(c / "MSG/GB/MSGBOX.MSG");
         const uint8_t* b = reinterpret_cast<const uint8_t*>(s.data());
         const size_t first = b[24] | b[25] << 8;  // where text 0 starts
         s[first] = 'X';
         Write(c / "MSG/GB/MSGBOX.MSG", s);
     },
     "msg-checksum", "MSG\\GB\\MSGBOX.MSG"},
    {"damaged text table",
     [](const fs::path& c) {
         Write(c / "MSG/GB/PASSWD.MSG", Read(c / "MSG/GB/PASSWD.MSG").substr(0, 30));
     },
     "msg-table", "MSG\\GB\\PASSWD.MSG"},
    {"engine text the player uses left empty",
     [](const fs::path& c) {
         EditTexts(c / "MSG/FR/VTE.MSG", 0, 1009, [](auto& t) { t[12] = ""; });
     },
     "text-missing", "MSG\\FR\\VTE.MSG"},
    {"text using more arguments than passed",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/VTE.MSG", 0, 1009, [](auto& t) { t[1] = "Script %1 %2"; });
     },
     "text-argument", "MSG\\GB\\VTE.MSG"},
    {"conversion without a unit's line",
     [](const fs::path& c) {
         EditTexts(c / "MSG/GB/D1UNITS.CNV", kSeed, kSeed, [](auto& t) { t[1] = "bar"; });
     },
     "msg-conversion", "MSG\\GB\\D1STEP01.MSG"},
    {"sound list naming a missing sound",
     [](const fs::path& c) { fs::remove(c / "SND/WARNING.WAV"); }, "sound-missing", "MSG\\SND.MSG"},
    {"help document missing", [](const fs::path& c) { fs::remove(c / "MSG/FR/DEMO.PDF"); },
     "help-missing", "MSG\\FR\\DEMO.PDF"},
    {"unknown option word",
     [](const fs::path& c) { ReplaceLine(c / "DEMO.INI", "Flag=-i -e", "Flag=-i -q"); }, "ini-flag",
     "DEMO.INI"},
    {"unreadable resolution",
     [](const fs::path& c) {
         ReplaceLine(c / "DEMO.INI", "Resolution=1008x749", "Resolution=big");
     },
     "ini-value", "DEMO.INI"},
    {"catalogue of another version",
     [](const fs::path& c) {
         ReplaceLine(c / "PRODUCT.DAT", "[1100:0800][1][1][FR]", "[1200:0800][1][1][FR]");
     },
     "catalogue", "PRODUCT.DAT"},
    {"picture that is no BMP",
     [](const fs::path& c) { Write(c / "BMP/LAMP.BMP", "not a picture"); }, "media-header",
     "BMP\\LAMP.BMP"},
    // Files that would block or never end a reader: refused before they are read.
    {"picture with a mask that is a FIFO", [](const fs::path& c) { MakeFifo(c / "BMP/ARROW.BMP"); },
     "file-not-regular", "BMP\\ARROW.BMP"},
    {"level table that is a FIFO",
     [](const fs::path& c) { MakeFifo(c / "DATA/CFG/D1LEVEL01.CFG"); }, "file-not-regular",
     "DATA\\CFG\\D1LEVEL01.CFG"},
    {"catalogue that is a FIFO", [](const fs::path& c) { MakeFifo(c / "PRODUCT.DAT"); },
     "file-not-regular", "PRODUCT.DAT"},
    {"catalogue linked to a random device",
     [](const fs::path& c) { LinkTo(c / "PRODUCT.DAT", "/dev/urandom"); }, "file-not-regular",
     "PRODUCT.DAT"},
    {"level table linked to a zero device",
     [](const fs::path& c) { LinkTo(c / "DATA/CFG/D1LEVEL01.CFG", "/dev/zero"); },
     "file-not-regular", "DATA\\CFG\\D1LEVEL01.CFG"},
    {"script larger than the player loads",
     [](const fs::path& c) { fs::resize_file(c / "DATA/LDE/D1INTRO", 100u << 20); },
     "file-too-large", "DATA\\LDE\\D1INTRO"},
    {"script naming a missing picture on each of its 300 lines",
     [](const fs::path& c) {
         std::string source;
         for (int i = 0; i < 300; ++i) source += "Bmp \"NOPE\", 1, 1 @ 1\n";
         const script::AssemblyResult r = script::Assemble(source);
         ASSERT_TRUE(r.ok) << r.error;
         Write(c / "DATA/LDE/D1MANY", std::string(r.bytes.begin(), r.bytes.end()));
     },
     "findings-cut", "DATA\\LDE\\D1MANY", "200 more findings"},
    // The INI's language without usable common texts.
    {"common texts of the INI's language missing",
     [](const fs::path& c) { fs::remove(c / "MSG/GB/COMMON.MSG"); }, "course-open",
     "MSG\\GB\\COMMON.MSG"},
    {"common texts of the INI's language a FIFO",
     [](const fs::path& c) { MakeFifo(c / "MSG/GB/COMMON.MSG"); }, "file-not-regular",
     "MSG\\GB\\COMMON.MSG"},
    {"common texts of the INI's language a folder",
     [](const fs::path& c) {
         fs::remove(c / "MSG/GB/COMMON.MSG");
         fs::create_directory(c / "MSG/GB/COMMON.MSG");
     },
     "file-not-regular", "MSG\\GB\\COMMON.MSG"},
    {"common texts of the INI's language random bytes",
     [](const fs::path& c) { Write(c / "MSG/GB/COMMON.MSG", RandomBytes(4096)); }, "course-open",
     "MSG\\GB\\COMMON.MSG"},
    // The link the course is started through.
    {"player link missing", [](const fs::path& c) { fs::remove(c / "DEMO"); }, "program-link",
     "DEMO"},
    {"player link dangling, as in a copy of the installed course",
     [](const fs::path& c) { LinkTo(c / "DEMO", "../../../bin/courseware-player"); },
     "program-link", "DEMO"},
    // A step that would show no question.
    {"question empty in one language",
     [](const fs::path& c) {
         EditTexts(c / "MSG/FR/D1STEP01.MSG", kSeed, kSeed, [](auto& t) { t[4] = "%[ %]"; });
     },
     "step-text", "MSG\\FR\\D1STEP01.MSG"},
    // Languages the course lets someone select without being able to run in them.
    {"INI naming a language the course lacks",
     [](const fs::path& c) { ReplaceLine(c / "DEMO.INI", "Language=GB", "Language=XX"); },
     "ini-language", "DEMO.INI"},
    {"language folder without its catalogue line",
     [](const fs::path& c) { ReplaceLine(c / "PRODUCT.DAT", "[1][1][FR]", "[1][1][DE]"); },
     "ini-language", "MSG\\FR\\COMMON.MSG"},
    {"group option file selecting a language the course lacks",
     [](const fs::path& c) { Write(c / "DATA/DEMO/GB/INI.001", "Gaz=Air\nLanguage=XX\n"); },
     "ini-language", "DATA\\DEMO\\GB\\INI.001"},
};

class DamagedCourse : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedCourse, GivesItsFinding) {
    support::TempFolder folder;
    const fs::path course = folder.path / "course";
    CopyCourse(course);
    GetParam().apply(course);
    if (HasFatalFailure()) return;
    std::vector<check::Finding> findings;
    ASSERT_TRUE(check::CheckCourse(course.string(), {}, findings).ok());
    const bool found = std::any_of(findings.begin(), findings.end(), [](const check::Finding& f) {
        return f.code == GetParam().code && f.path == GetParam().path &&
               f.message.find(GetParam().says) != std::string::npos &&
               f.severity == GetParam().severity;
    });
    std::string all;
    for (const check::Finding& f : findings) all += check::FormatFinding(f) + "\n";
    EXPECT_TRUE(found) << "expected " << GetParam().code << " at " << GetParam().path
                       << " saying \"" << GetParam().says << "\" as "
                       << check::SeverityName(GetParam().severity) << ", found:\n"
                       << all;
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedCourse, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

// Size and time of every file: a check must leave them all as they were.
std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> Snapshot(const fs::path& root) {
    std::map<std::string, std::pair<uintmax_t, fs::file_time_type>> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files[e.path().string()] = {e.file_size(), e.last_write_time()};
    }
    return files;
}

TEST(CourseCheck, TheDemoIsCleanAndUnchangedEvenWithItsScriptsRun) {
    static int argc = 1;
    static char name[] = "course_check_test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);  // the headless stage's widgets
    const auto before = Snapshot(kDemo);
    check::CheckOptions options;
    options.run_scripts = true;
    std::vector<check::Finding> findings;
    ASSERT_TRUE(check::CheckCourse(kDemo.string(), options, findings).ok());
    for (const check::Finding& f : findings) ADD_FAILURE() << check::FormatFinding(f);
    EXPECT_EQ(Snapshot(kDemo), before);
}

TEST(CourseCheck, RefusesWhatIsNoCourse) {
    std::vector<check::Finding> findings;
    support::TempFolder empty;
    EXPECT_FALSE(check::CheckCourse(empty.path.string(), {}, findings).ok());
    EXPECT_FALSE(check::CheckCourse((empty.path / "none").string(), {}, findings).ok());
    check::CheckOptions options;
    options.languages = {"XX"};
    EXPECT_FALSE(check::CheckCourse(kDemo.string(), options, findings).ok());
    EXPECT_TRUE(findings.empty());
}

const check::Finding* FindingOf(const std::vector<check::Finding>& findings, const char* code,
                                const char* path) {
    for (const check::Finding& f : findings)
        if (f.code == code && f.path == path) return &f;
    return nullptr;
}

// Zeros after a script decode as far as they go, each step once: the check ends (this test's
// time limit stands guard) and still sees the course.
TEST(CourseCheck, AScriptFollowedByAMebibyteOfZerosIsChecked) {
    support::TempFolder folder;
    const fs::path course = folder.path / "course";
    CopyCourse(course);
    Write(course / "DATA/LDE/D1INTRO",
          Read(course / "DATA/LDE/D1INTRO") + std::string(size_t{1} << 20, '\0'));
    std::vector<check::Finding> findings;
    ASSERT_TRUE(check::CheckCourse(course.string(), {}, findings).ok());
    for (const check::Finding& f : findings) {
        EXPECT_EQ(f.path, "DATA\\LDE\\D1INTRO") << check::FormatFinding(f);
    }
    EXPECT_NE(FindingOf(findings, "script-argument", "DATA\\LDE\\D1INTRO"), nullptr);
}

// A language asked for whose common texts cannot be read is checked and said to be broken, not
// called "no such language".
TEST(CourseCheck, ALanguageAskedForWithBrokenCommonTextsIsAFinding) {
    support::TempFolder folder;
    const fs::path course = folder.path / "course";
    CopyCourse(course);
    MakeFifo(course / "MSG/GB/COMMON.MSG");
    check::CheckOptions options;
    options.languages = {"GB"};
    std::vector<check::Finding> findings;
    ASSERT_TRUE(check::CheckCourse(course.string(), options, findings).ok());
    EXPECT_TRUE(std::any_of(findings.begin(), findings.end(), [](const check::Finding& f) {
        return f.code == "file-not-regular" && f.path == "MSG\\GB\\COMMON.MSG" &&
               f.severity == check::Severity::kError;
    }));
}

// The line of source that holds what.
int LineOf(const std::string& source, const std::string& what) {
    const size_t at = source.find(what);
    return at == std::string::npos
               ? 0
               : 1 + static_cast<int>(std::count(source.begin(), source.begin() + at, '\n'));
}

// With the demo's sources copied into the course (as an author keeps them), a misspelt script
// name typed in a step source and in a script source, each compiled into the course, is found
// at the line typed; a compiled file changed behind its source's back names no source.
TEST(SourceMap, FindingsNameTheSourceLineTheAuthorTyped) {
    support::TempFolder folder;
    const fs::path course = folder.path / "course";
    CopyCourse(course);
    fs::create_directories(course / "src");
    for (const char* part : {"lesson", "lde", "msg"})
        fs::copy(fs::path(DEMO_SOURCE_DIR) / part, course / "src" / part,
                 fs::copy_options::recursive);
    const fs::path step_source = course / "src/lesson/GB/STEP01.txt";
    ReplaceLine(step_source, "PT10 LDEINTRO F1", "PT10 LDEINTOR F1");
    text::MessageContent content;
    msgc::SourceError error;
    ASSERT_TRUE(msgc::ParseMessageSource(Read(step_source), content, error)) << error.message;
    Write(course / "MSG/GB/D1STEP01.MSG", text::EncodeMessageFile(content));
    const fs::path script_source = course / "src/lde/INTRO.lds";
    ReplaceLine(script_source, "Call \"VALVE\"", "Call \"VALVEX\"");
    const script::AssemblyResult assembled = script::Assemble(Read(script_source));
    ASSERT_TRUE(assembled.ok) << assembled.error;
    Write(course / "DATA/LDE/D1INTRO", std::string(assembled.bytes.begin(), assembled.bytes.end()));
    EditTexts(course / "MSG/FR/D1STEP01.MSG", kSeed, kSeed,
              [](auto& t) { t[3] = "K[D1:1] BR2:0 TRY1:0 PT10 LDEINTOR F1 P2:[-]"; });

    std::vector<check::Finding> findings;
    ASSERT_TRUE(check::CheckCourse(course.string(), {}, findings).ok());
    coursecheck::SourceMap map(course.string(), "D1", {course.string()});
    for (check::Finding& f : findings) map.Annotate(f);
    std::string all;
    for (const check::Finding& f : findings) all += check::FormatFinding(f) + "\n";

    const check::Finding* step = FindingOf(findings, "step-script", "MSG\\GB\\D1STEP01.MSG");
    ASSERT_NE(step, nullptr) << all;
    EXPECT_EQ(step->source, step_source.string()) << all;
    EXPECT_EQ(step->source_line, LineOf(Read(step_source), "LDEINTOR")) << all;
    EXPECT_NE(step->message.find("did you mean D1INTRO?"), std::string::npos) << all;

    const check::Finding* call = FindingOf(findings, "script-call", "DATA\\LDE\\D1INTRO");
    ASSERT_NE(call, nullptr) << all;
    EXPECT_EQ(call->source, script_source.string()) << all;
    EXPECT_EQ(call->source_line, LineOf(Read(script_source), "VALVEX")) << all;
    EXPECT_NE(check::FormatFinding(*call).find("(" + script_source.string() + ":"),
              std::string::npos);

    const check::Finding* changed = FindingOf(findings, "step-script", "MSG\\FR\\D1STEP01.MSG");
    ASSERT_NE(changed, nullptr) << all;
    EXPECT_EQ(changed->source, "") << all;
}

// Every cut of a real script decodes up to the cut and says it is cut, unless the cut falls
// between two instructions.
TEST(ScriptDecoder, EveryCutOfAScriptIsFound) {
    const std::string raw = Read(kDemo / "DATA/LDE/D1INTRO");
    const std::vector<uint8_t> whole(raw.begin(), raw.end());
    const check::DecodedScript full = check::DecodeScript(whole);
    ASSERT_EQ(full.stop, check::DecodedScript::Stop::kEnd);
    std::vector<size_t> starts;
    for (const auto& ins : full.instructions) starts.push_back(ins.offset);
    for (size_t size = 0; size < whole.size(); ++size) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
        const check::DecodedScript d = check::DecodeScript(cut);
        const bool boundary = std::find(starts.begin(), starts.end(), size) != starts.end();
        EXPECT_EQ(d.stop == check::DecodedScript::Stop::kEnd, boundary) << size;
    }
}

}  // namespace
