#include "data/OptionFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "data/ConfigTable.h"
#include "data/Course.h"
#include "data/CoursePaths.h"
#include "data/OpenCourse.h"
#include "data/OptionChoices.h"
#include "data/ScoreFile.h"
#include "platform/Path.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"
#include "text/MessageWriter.h"

namespace {

using data::ConfigTable;

TEST(OptionFiles, LinesApplyByKeyIgnoringCaseAndOtherNamesAreIgnored) {
    support::TempFolder dir;
    const std::string path = dir.Write("INI.001",
                                       "gaz=Argon\r\n"
                                       "Gas=Helium\n"  // not a key: ignored
                                       "\n"
                                       "unit=US\n"
                                       "Unit=SI\n");  // a later line wins
    ConfigTable config;
    config.Set(data::kGaz, "Air");
    std::vector<std::string> lines;
    ASSERT_TRUE(data::ApplyOptionFile(config, path, &lines).ok());
    EXPECT_EQ(config.Get(data::kGaz), "Argon");
    EXPECT_EQ(config.Get(data::kUnit), "SI");
    EXPECT_EQ(lines,
              (std::vector<std::string>{"gaz=Argon", "Gas=Helium", "", "unit=US", "Unit=SI"}));

    const std::string missing = (dir.path / "INI.002").string();
    const platform::Status status = data::ApplyOptionFile(config, missing);
    EXPECT_EQ(status.code(), ENOENT);
    EXPECT_EQ(status.what(), missing);
    EXPECT_EQ(config.Get(data::kGaz), "Argon");
}

TEST(OptionFiles, TheOptionsWindowLoadsTheUserFileElseTheGroupFileElseTheProgramIni) {
    support::TempFolder dir;
    const std::string root = dir.path.string();
    const std::string user = data::UserOptionsPath(root, "OPT", 7, 2);
    const std::string group = data::GroupOptionsPath(root, "OPT", 2);
    const std::string ini = dir.Write("DEMO.INI", "Gaz=Air\n");
    EXPECT_EQ(data::OptionFileToLoad(user, group, ini), ini);
    dir.Write("OPT/INI.002", "Gaz=Nitrogen\n");
    EXPECT_EQ(data::OptionFileToLoad(user, group, ini), group);
    dir.Write("OPT/INI007.002", "Gaz=Argon\n");
    EXPECT_EQ(data::OptionFileToLoad(user, group, ini), user);
}

TEST(OptionFiles, ChoosingAUserAppliesTheGroupFileThenTheUserFile) {
    support::TempFolder dir;
    dir.Write("INI.002", "Gaz=Nitrogen\nUnit=US\nLanguage=FR\n");
    dir.Write("INI007.002", "Gaz=Argon\n");
    ConfigTable config;
    config.Set(data::kLanguage, "GB");
    config.Set(data::kDirectory, "D1");
    const data::AppliedOptions applied =
        data::ApplyUserOptions(config, dir.path.string(), ".", 2, 7);
    EXPECT_EQ(config.Get(data::kGaz), "Argon");
    EXPECT_EQ(config.Get(data::kUnit), "US");
    EXPECT_EQ(config.Get(data::kLanguage), "FR");
    EXPECT_EQ(data::OptionSummary(applied, config),
              "grp: " + (dir.path / "INI.002").string() +
                  "\nGaz=Nitrogen\nUnit=US\nLanguage=FR\n"
                  "usr: " +
                  (dir.path / "INI007.002").string() +
                  "\nGaz=Argon\n"
                  "lang: FR\ngaz: Argon\nunit: US\nsymb: \ndir: D1\nstart: \nrand: ");

    // Another user of the group has no file of their own: the group's values hold.
    ConfigTable other;
    const data::AppliedOptions group_only =
        data::ApplyUserOptions(other, dir.path.string(), ".", 2, 8);
    EXPECT_EQ(other.Get(data::kGaz), "Nitrogen");
    EXPECT_TRUE(group_only.user_lines.empty());
}

TEST(OptionFiles, AUserFileHoldsTheSixteenKeysInTableOrderWithLf) {
    ConfigTable config;
    config.Set(data::kLanguage, "FR");
    config.Set(data::kGaz, "Argon");
    config.Set(data::kSymbol, "US\nFlag=-D");  // a line end never starts another key
    const std::string text = data::OptionFileText(config);
    EXPECT_EQ(text,
              "Language=FR\nGaz=Argon\nUnit=\nCheckID=\nEvaluate=\nStart=\nLevel=\nIPserv=\n"
              "IPport=\nRootDir=\nDirectory=\nEditor=\nFlag=\nSymbol=US\nResolution=\n"
              "Random=\n");

    support::TempFolder dir;
    const std::string path = dir.Write("INI007.002", "old contents that are longer than the new");
    ASSERT_TRUE(data::WriteOptionFile(config, path).ok());
    EXPECT_EQ(support::TempFolder::Read(path), text);
    ConfigTable back;
    ASSERT_TRUE(data::ApplyOptionFile(back, path).ok());
    for (int i = 0; i < data::kConfigKeyCount; ++i)
        EXPECT_EQ(back.Get(i), i == data::kSymbol ? "US" : config.Get(i)) << i;

    EXPECT_EQ(data::WriteOptionFile(config, (dir.path / "missing" / "INI001.001").string()).code(),
              ENOENT);
}

TEST(OptionFiles, FluidsSkipCommentAndEmptyLines) {
    support::TempFolder dir;
    const std::string path =
        dir.Write("FLUID.DAT", "; gases offered\r\nAir\r\n\r\n;Helium\nArgon\n R134a ;x");
    std::vector<std::string> fluids;
    ASSERT_TRUE(data::ReadFluids(path, fluids).ok());
    EXPECT_EQ(fluids, (std::vector<std::string>{"Air", "Argon", " R134a ;x"}));
    std::vector<std::string> none;
    const std::string missing = (dir.path / "NONE.DAT").string();
    const platform::Status status = data::ReadFluids(missing, none);
    EXPECT_EQ(status.code(), ENOENT);
    EXPECT_EQ(status.what(), missing);
    EXPECT_TRUE(none.empty());
}

TEST(OptionChoices, SourceTextGivesNameAndCode) {
    struct Case {
        const char* text;
        const char* name;
        const char* code;
    };
    const Case cases[] = {
        {"English (GB)", "English", "GB"},
        {"Metric (SI)", "Metric", "SI"},
        {"Plain", "Plain", ""},
        {"Open (XY", "Open", "XY"},
        {"Long (ABCDEFGHIJKLMNOPQRSTUVWXYZ)", "Long", "ABCDEFGHIJKLMNOPQRST"},
        {"Tight(CD) more", "Tight(CD) more", "CD"},
    };
    for (const Case& c : cases) {
        const data::OptionChoice choice = data::ParseOptionChoice(c.text);
        EXPECT_EQ(choice.name, c.name) << c.text;
        EXPECT_EQ(choice.code, c.code) << c.text;
    }
}

// A course folder with language folders; the current folder stays where it is.
struct LanguageFolders : support::TempFolder {
    static constexpr int32_t kSeed = 1957;
    LanguageFolders() {
        Common("MSG/FR/COMMON.MSG",
               "Fran\xE7"
               "ais (FR)");
        Common("MSG/GB/COMMON.MSG", "English (GB)");
        Common("MSG/XX/COMMON.MSG", "No code here");
        Common("MSG/DE/OTHER.MSG", "Deutsch (DE)");  // not the main file's name
        Write("MSG/SND.MSG", "");                    // a file, not a folder
    }
    void Common(const std::string& name, const std::string& text0) {
        text::MessageContent content;
        content.seed = kSeed;
        content.texts = {text0};
        Write(name, text::EncodeMessageFile(content));
    }
};

TEST(OptionChoices, LanguagesComeFromTheLanguageFoldersMainFiles) {
    LanguageFolders course;
    const data::Course running((course.path / "DEMO").string());
    const auto learner =
        data::FindLanguageChoices(running, "COMMON", LanguageFolders::kSeed, "GB", false);
    ASSERT_EQ(learner.size(), 1u);
    EXPECT_EQ(learner[0].code, "GB");
    EXPECT_EQ(learner[0].name, "English");

    const auto developer =
        data::FindLanguageChoices(running, "COMMON", LanguageFolders::kSeed, "GB", true);
    ASSERT_EQ(developer.size(), 3u);
    EXPECT_EQ(developer[0].code, "FR");
    EXPECT_EQ(developer[0].name,
              "Fran\xE7"
              "ais");
    EXPECT_EQ(developer[1].code, "GB");
    // Without a code in its text a language is stored under its folder's name.
    EXPECT_EQ(developer[2].code, "XX");
    EXPECT_EQ(developer[2].name, "No code here");

    // The language menu reads the same codes from the one scan.
    std::vector<std::string> codes;
    for (const data::LanguageEntry& entry :
         data::FindLanguages(running, "COMMON", LanguageFolders::kSeed))
        codes.push_back(entry.folder + "=" + entry.code);
    EXPECT_EQ(codes, (std::vector<std::string>{"FR=FR", "GB=GB", "XX=XX"}));
}

}  // namespace

// A FIFO, a folder or a link to a FIFO where a learner's option, INI or score file should be
// is refused at once with a reason, never waited on.
TEST(SpecialFiles, LearnerFilesThatAreNotRegularFilesAreRefusedAtOnce) {
    support::TempFolder dir;
    ASSERT_EQ(mkfifo((dir.path / "fifo").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.path / "folder");
    std::filesystem::create_symlink(dir.path / "fifo", dir.path / "link");
    const struct {
        const char* name;
        int error;
    } cases[] = {{"fifo", platform::kErrorNotRegularFile},
                 {"folder", EISDIR},
                 {"link", platform::kErrorNotRegularFile}};
    for (const auto& c : cases) {
        const std::string path = (dir.path / c.name).string();
        data::ConfigTable config;
        EXPECT_EQ(data::ApplyOptionFile(config, path).code(), c.error) << c.name;
        data::ScoreBook book;
        EXPECT_EQ(data::ReadScoreFile(path, 2, book).code(), c.error) << c.name;
        EXPECT_EQ(config.LoadConfiguration(path).code(), c.error) << c.name;
        EXPECT_EQ(platform::SystemErrorText(platform::kErrorNotRegularFile), "Not a regular file");
    }
}
