#include "data/ConfigTable.h"

#include <gtest/gtest.h>

#include "platform/Path.h"
#include "support/FileSizeLimit.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"

namespace {

using data::ConfigTable;

TEST(ConfigTable, KeyTableOrder) {
    EXPECT_STREQ(data::kConfigKeys[data::kLanguage], "Language=");
    EXPECT_STREQ(data::kConfigKeys[data::kIPserv], "IPserv=");
    EXPECT_STREQ(data::kConfigKeys[data::kFlag], "Flag=");
    EXPECT_STREQ(data::kConfigKeys[data::kRandom], "Random=");
}

TEST(ConfigTable, LoadAppliesLinesByKeyPrefix) {
    support::TempFolder dir;
    const std::string path = dir.Write("DEMO.INI",
                                       "language=FR\r\n"  // any case, CR dropped
                                       "Lang=DE\n"        // shorter than the key: ignored
                                       "\n"
                                       "Unknown=1\n"
                                       "Directory=D1\n"
                                       "LANGUAGE=GB\n"  // a later line wins
                                       "Flag=-D -x 5 -w\n"
                                       "Resolution=1024x768=x\n"  // rest of the line, '=' kept
                                       "Start=");                 // no final line end
    ConfigTable config;
    ASSERT_TRUE(config.LoadConfiguration(path).ok());
    EXPECT_TRUE(config.TakeRefused().empty());
    EXPECT_EQ(config.Get(data::kLanguage), "GB");
    EXPECT_EQ(config.Get(data::kDirectory), "D1");
    EXPECT_EQ(config.Get(data::kFlag), "-D -x 5 -w");
    EXPECT_EQ(config.Get(data::kResolution), "1024x768=x");
    EXPECT_EQ(config.Get(data::kStart), "");
    EXPECT_EQ(config.Get(data::kGaz), "");
}

// Values that become parts of file names never lead out of the course; the line is refused and
// reported with its key and value, and the value before it stays.
TEST(ConfigTable, SettingsThatLeadOutOfTheCourseAreRefused) {
    const struct {
        const char* line;
        bool taken;
    } cases[] = {{"Directory=D1", true},
                 {"Directory=..\\..\\..\\esc\\", false},
                 {"Directory=../x", false},
                 {"Directory=a\\b", false},
                 {"Language=..", false},
                 {"Language=C:", false},
                 {"Unit=SI\x01", false},
                 {"Symbol=EU", true},
                 {"RootDir=?:\\COURSE", true},
                 {"RootDir=..\\..\\etc", false},
                 {"RootDir=a..b", true},
                 {"Start=1#1#", true},
                 {"Editor=/usr/bin/xdg-open", true}};
    for (const auto& c : cases) {
        ConfigTable config;
        EXPECT_EQ(config.ApplyOptionLine(c.line), c.taken) << c.line;
        const std::vector<std::string> refused = config.TakeRefused();
        EXPECT_EQ(refused.empty(), c.taken) << c.line;
        if (!c.taken) {
            EXPECT_EQ(refused[0], c.line);
        }
        EXPECT_TRUE(config.TakeRefused().empty());
    }
    support::TempFolder dir;
    const std::string path = dir.Write("A.INI", "Directory=D1\nDirectory=..\\esc\n");
    ConfigTable config;
    EXPECT_TRUE(config.LoadConfiguration(path).ok());
    EXPECT_EQ(config.Get(data::kDirectory), "D1");
    EXPECT_EQ(config.TakeRefused(), std::vector<std::string>{"Directory=..\\esc"});
}

TEST(ConfigTable, MissingFileReportsPathWithCode2) {
    support::TempFolder dir;
    ConfigTable config;
    const std::string path = (dir.path / "NONE.INI").string();
    const platform::Status status = config.LoadConfiguration(path);
    EXPECT_EQ(status.what(), path);
    EXPECT_EQ(status.code(), 2);
}

TEST(ConfigTable, OverlongLinesAndBinaryGarbage) {
    support::TempFolder dir;
    std::string bytes = "Language=" + std::string(100000, 'L') + "\n";
    bytes += std::string("\xff\xfe\0\x01garbage\0Unit=x\n", 19);
    bytes += std::string(
        "Directory=AB\0"
        "CD\n",
        16);  // a value ends at a NUL
    bytes += std::string(70000, '\x80') + "\n";
    bytes += "Unit=SI\n";
    const std::string path = dir.Write("G.INI", bytes);
    ConfigTable config;
    ASSERT_TRUE(config.LoadConfiguration(path).ok());
    EXPECT_EQ(config.Get(data::kLanguage), std::string(100000, 'L'));
    EXPECT_EQ(config.Get(data::kDirectory), "AB");
    EXPECT_EQ(config.Get(data::kUnit), "SI");
}

TEST(ConfigTable, SaveWritesSixteenLinesThatLoadBack) {
    support::TempFolder dir;
    ConfigTable config;
    config.Set(data::kLanguage, "FR");
    config.Set(data::kRandom, "1-3;5-6");
    config.Set(data::kEditor, "a\nGaz=injected");  // a value cannot add a line
    const std::string path = (dir.path / "OUT.INI").string();
    ASSERT_TRUE(config.SaveConfiguration(path).ok());

    std::string expected;
    for (int i = 0; i < data::kConfigKeyCount; ++i)
        expected += std::string(data::kConfigKeys[i]) +
                    (i == data::kLanguage ? "FR"
                     : i == data::kRandom ? "1-3;5-6"
                     : i == data::kEditor ? "a"
                                          : "") +
                    "\n";
    EXPECT_EQ(support::TempFolder::Read(path), expected);

    ConfigTable back;
    ASSERT_TRUE(back.LoadConfiguration(path).ok());
    EXPECT_EQ(back.Get(data::kRandom), "1-3;5-6");
    EXPECT_EQ(back.Get(data::kGaz), "");
}

TEST(ConfigTable, SaveFailureIsReported) {
    support::TempFolder dir;
    ConfigTable config;
    const std::string path = (dir.path / "missing" / "OUT.INI").string();
    const platform::Status status = config.SaveConfiguration(path);
    EXPECT_EQ(status.what(), path);
    EXPECT_EQ(status.code(), ENOENT);
}

TEST(ConfigTable, SaveKeepsTheLinesItDoesNotOwn) {
    support::TempFolder dir;
    const std::string path = dir.Write("DEMO.INI",
                                       "; set up by the trainer\r\n"
                                       "[Course]\r\n"
                                       "language=GB\r\n"  // the key keeps its spelling
                                       "Lang=DE\r\n"
                                       "Trainer=Smith\r\n"
                                       "Flag=-i -w\r\n"
                                       "\r\n"
                                       "[Other]\r\n"
                                       "LANGUAGE=IT\r\n"  // every line of a key agrees
                                       "Evaluate=3");     // no final line end
    ConfigTable config;
    ASSERT_TRUE(config.LoadConfiguration(path).ok());
    config.Set(data::kLanguage, "FR");
    ASSERT_TRUE(config.SaveConfiguration(path).ok());

    std::string expected =
        "; set up by the trainer\r\n"
        "[Course]\r\n"
        "language=FR\r\n"
        "Lang=DE\r\n"
        "Trainer=Smith\r\n"
        "Flag=-i -w\r\n"
        "\r\n"
        "[Other]\r\n"
        "LANGUAGE=FR\r\n"
        "Evaluate=3\r\n";
    for (int i = 0; i < data::kConfigKeyCount; ++i)  // missing keys, in the file's line ends
        if (i != data::kLanguage && i != data::kFlag && i != data::kEvaluate)
            expected += std::string(data::kConfigKeys[i]) + "\r\n";
    EXPECT_EQ(support::TempFolder::Read(path), expected);

    // Saving again changes nothing more.
    ASSERT_TRUE(config.SaveConfiguration(path).ok());
    EXPECT_EQ(support::TempFolder::Read(path), expected);
}

TEST(ConfigTable, SaveOnAFullDiskLeavesTheOldFile) {
    support::TempFolder dir;
    std::string old = "; " + std::string(3000, '-') + "\nLanguage=GB\nFlag=-i -w -D\nRandom=1\n";
    const std::string path = dir.Write("DEMO.INI", old);
    ConfigTable config;
    ASSERT_TRUE(config.LoadConfiguration(path).ok());
    config.Set(data::kLanguage, "FR");
    {
        support::FileSizeLimit full_disk(1000);
        const platform::Status status = config.SaveConfiguration(path);
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(status.what(), path);
    }
    EXPECT_EQ(support::TempFolder::Read(path), old);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 1);
}

TEST(ConfigTable, OutOfRangeIndexAndLeadingInt) {
    ConfigTable config;
    config.Set(16, "x");
    config.Set(-1, "x");
    EXPECT_EQ(config.Get(16), "");
    EXPECT_EQ(config.Get(-1), "");
    const std::pair<const char*, int> cases[] = {
        {"", 0},
        {"12 steps", 12},
        {"  -4", -4},
        {"x3", 0},
        {"+7", 7},
        {"99999999999999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (auto [text, value] : cases) EXPECT_EQ(data::LeadingInt(text), value) << text;
}

}  // namespace
