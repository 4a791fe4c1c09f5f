#include "platform/Path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/Notifier.h"
#include "support/TempFolder.h"

namespace platform {
namespace {

TEST(NativePath, MapsSeparatorsDrivesAndDots) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"MSG\\FR\\COMMON.MSG", "MSG/FR/COMMON.MSG"},
        {"C:\\COURSE\\X.DAT", "/COURSE/X.DAT"},
        {"?:\\COURSE", "/COURSE"},
        {"a\\\\b//c", "a/b/c"},
        {"\\x\\y\\F.MSG\\..\\EN\\F.MSG", "/x/y/EN/F.MSG"},
        {"..\\up\\.\\f", "../up/f"},
        {"\\..\\f", "/f"},
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(NativePath(c.in), c.out) << c.in;
}

TEST(NativePath, FindsNamesInAnyCaseComponentByComponent) {
    support::TempFolder dir;
    dir.Write("Msg/fr/Common.msg", "x");
    EXPECT_EQ(NativePath(dir.path.string() + "\\MSG\\FR\\COMMON.MSG"), dir / "Msg/fr/Common.msg");
    // A missing file keeps its written name below the folders that were found.
    EXPECT_EQ(NativePath(dir.path.string() + "\\MSG\\FR\\NEW\\A.TXT"), dir / "Msg/fr/NEW/A.TXT");
    // An exact match wins over a case-insensitive one.
    dir.Write("Msg/FR/x", "y");
    EXPECT_EQ(NativePath(dir.path.string() + "/Msg/FR/x"), dir / "Msg/FR/x");
}

TEST(ProgramPath, MadeAbsoluteWithoutResolvingLinks) {
    support::TempFolder dir;
    dir.Write("bin/player", "");
    ASSERT_EQ(symlink((dir / "bin/player").c_str(), (dir / "COURSE").c_str()), 0);
    // A relative path is taken from the current folder (only read here); the link keeps its name.
    const std::filesystem::path current = std::filesystem::current_path();
    const std::filesystem::path relative = std::filesystem::relative(dir.path, current) / "COURSE";
    const std::string found = AbsoluteProgramPath(("./" / relative).c_str());
    EXPECT_EQ(found, (current / relative).string());
    EXPECT_EQ(std::filesystem::path(found).filename(), "COURSE");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(found).parent_path(), dir.path));
    EXPECT_EQ(AbsoluteProgramPath((dir / "bin/./player").c_str()), dir / "bin/player");
    EXPECT_EQ(AbsoluteProgramPath(""), "");
}

TEST(IniPathFor, ReplacesOnlyTheFileNamesExtension) {
    EXPECT_EQ(IniPathFor("/opt/course/PLAYER"), "/opt/course/PLAYER.INI");
    EXPECT_EQ(IniPathFor("/opt/v1.2/player"), "/opt/v1.2/player.INI");
    EXPECT_EQ(IniPathFor("/opt/course/Player.exe"), "/opt/course/Player.INI");
    EXPECT_EQ(IniPathFor("C:\\A.B\\P.EXE"), "C:\\A.B\\P.INI");
}

TEST(Wildcards, MatchLikeTheCoursesSystem) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    } cases[] = {
        {"*.*", "FR", true},
        {"*.*", "a.b.c", true},
        {"*.MSG", "common.msg", true},
        {"*.MSG", "COMMON.MSGX", false},
        {"C?MMON.*", "COMMON", true},
        {"STEP??.MSG", "STEP1.MSG", false},
        {"*a*b*c", "xaxxbxxxc", true},
        {"*a*b*c", "xaxxbxxx", false},
        {"", "x", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
    }
}

TEST(FindEntries, ListsMatchingNamesOfTheFolder) {
    support::TempFolder dir;
    dir.Write("MSG/FR/COMMON.MSG", "");
    dir.Write("MSG/GB/COMMON.MSG", "");
    dir.Write("MSG/SND.MSG", "");
    dir.Write("MSG/readme", "");
    EXPECT_EQ(FindEntries(dir.path.string() + "\\msg\\*.*"),
              (std::vector<std::string>{"FR", "GB", "SND.MSG", "readme"}));
    EXPECT_EQ(FindEntries(dir.path.string() + "\\MSG\\*.msg"),
              (std::vector<std::string>{"SND.MSG"}));
    EXPECT_TRUE(FindEntries(dir.path.string() + "\\NONE\\*.*").empty());
}

TEST(Folders, CreatedAndTested) {
    support::TempFolder dir;
    EXPECT_TRUE(CreateFolders(dir.path.string() + "\\A\\B\\C"));
    EXPECT_TRUE(DirectoryExists(dir / "A/B/C"));
    EXPECT_TRUE(CreateFolders(dir / "A/B"));  // existing is fine
    EXPECT_FALSE(FileExists(dir / "A/B"));
    dir.Write("A/f", "x");
    EXPECT_TRUE(FileExists(dir.path.string() + "\\a\\F"));
    EXPECT_FALSE(DirectoryExists(dir / "A/f"));
    EXPECT_FALSE(CreateFolders(dir / "A/f/sub"));  // a file stands in the way
}

TEST(SystemErrorText, FixedCodesAndLastError) {
    EXPECT_EQ(SystemErrorText(kErrorFileNotFound), "File not found");
    EXPECT_EQ(SystemErrorText(kErrorInvalidData), "Invalid data");
    EXPECT_EQ(SystemErrorText(kErrorBadCatalogue), "Malformed catalogue");
    errno = EACCES;
    EXPECT_EQ(SystemErrorText(-1), std::strerror(EACCES));
}

// What a person reads names files as Linux paths; the internal forms stay in files and on the
// wire.
TEST(PathsForPeople, WritesEveryCoursewarePathOfAMessageAsALinuxPath) {
    const struct {
        const char* text;
        const char* root;
        const char* shown;
    } cases[] = {
        {"?:\\DATA\\DEMO\\FR\\USERS", "", "DATA/DEMO/FR/USERS"},
        {".\\PRODUCT.DAT: no line for the language XX", "/srv/course",
         "/srv/course/PRODUCT.DAT: no line for the language XX"},
        {"MSG\\GB\\COMMON.MSG", "", "MSG/GB/COMMON.MSG"},
        {"cannot open (C:\\DATA\\CTX\\CTX001.001), kept", "",
         "cannot open (DATA/CTX/CTX001.001), kept"},
        {"\\tmp\\x and .\\.\\A\\B; /abs/file stays", "/r", "/tmp/x and /r/A/B; /abs/file stays"},
        {"no path: 50% done", "/r", "no path: 50% done"},
        {"refused setting Directory=..\\esc\\", "/r", "refused setting Directory=..\\esc\\"},
        {"", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PathsForPeople(c.text, c.root), c.shown) << c.text;
}

TEST(RemovableMedia, WritableFolderIsNot) {
    support::TempFolder dir;
    EXPECT_FALSE(IsRemovableMedia(dir.path.string()));
    EXPECT_FALSE(IsRemovableMedia(dir / "not/yet/there.txt"));
}

// Where nothing was handed over, each report is one line on stderr, the caption first.
TEST(Notifier, DefaultWritesOneLineToStderr) {
    testing::internal::CaptureStderr();
    StderrNotifier().ShowSystemError("PRODUCT.DAT", kErrorInvalidData);
    StderrNotifier().ShowMessage("V.MSG 2.3", "Invalid data");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Invalid data: PRODUCT.DAT\nV.MSG 2.3: Invalid data\n");
}

}  // namespace
}  // namespace platform
