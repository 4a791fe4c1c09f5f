// Checks the built demo course: it starts, and its message files hold every text the player
// asks for, in each language, with arguments that land in the text.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "data/OpenCourse.h"
#include "platform/Path.h"
#include "shell/Startup.h"
#include "shell/TStagWinLayout.h"
#include "text/MessageFile.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCourse = DEMO_COURSE_DIR;

class DemoCourse : public ::testing::Test {
  protected:
    // Relative names are completed from the folder of the course's program.
    static void Open(text::MessageFile& file, const std::string& path) {
        file.SetProgramPath((kCourse / "DEMO").string());
        ASSERT_TRUE(file.Open(path)) << path;
        file.SetCheckModulus(text::MessageFile::kStandardModulus);
        EXPECT_EQ(file.CountBadRecords(), 0) << path;
    }
};

TEST_F(DemoCourse, StartsInEachLanguage) {
    data::Course course((kCourse / "DEMO").string());
    for (const char* lang : {"GB", "FR"}) {
        shell::StartupState state;
        shell::ConsoleStartupView view;
        const char* argv[] = {"DEMO", "-l", lang};
        ASSERT_TRUE(shell::RunStartup(course, state, 3, argv, view, {})) << lang;
        EXPECT_EQ(course.Product().product_name, "DEMO");
        EXPECT_EQ(course.Product().language, lang);
        EXPECT_EQ(state.remote, nullptr);
        EXPECT_FALSE(state.caption.empty());
        EXPECT_EQ(course.Title().find(state.caption + " - version 4.7"), 0u) << course.Title();
        shell::ShutdownStartup(course, state);
    }
    const auto languages = data::FindLanguages(course, "COMMON", 1957);
    ASSERT_EQ(languages.size(), 2u);
    EXPECT_EQ(languages[0].code, "FR");
    EXPECT_EQ(languages[1].code, "GB");
}

// Common texts the player shows; the numbers not listed are unused.
const std::set<int> kUsedCommon = {
    0,   1,   2,   3,   4,   5,   6,   7,   8,   9,   10,  11,  12,  13,  14,  16,  18,  19,
    20,  21,  22,  23,  25,  26,  27,  28,  29,  30,  32,  33,  34,  35,  36,  37,  38,  40,
    42,  43,  44,  45,  46,  47,  48,  49,  50,  51,  52,  53,  54,  55,  56,  57,  58,  59,
    60,  61,  62,  65,  67,  68,  69,  71,  72,  75,  76,  77,  78,  79,  80,  81,  82,  83,
    84,  85,  86,  87,  88,  89,  90,  91,  94,  95,  96,  97,  98,  99,  100, 101, 107, 108,
    109, 110, 111, 112, 113, 114, 116, 117, 118, 119, 120, 121, 122, 123, 124, 125};

TEST_F(DemoCourse, CommonTextsAreCompleteAndAlike) {
    text::MessageFile gb, fr;
    Open(gb, "MSG\\GB\\COMMON.MSG");
    Open(fr, "MSG\\FR\\COMMON.MSG");
    EXPECT_EQ(gb.RecordCount(), 126);
    EXPECT_EQ(fr.RecordCount(), gb.RecordCount());
    EXPECT_EQ(gb.Seed(), 1957);
    EXPECT_EQ(fr.Seed(), 1957);
    for (text::MessageFile* file : {&gb, &fr}) {
        for (int n : kUsedCommon)
            EXPECT_FALSE(file->RawText(n).empty()) << file->FullPath() << " " << n;
        // Captions whose first character the callers drop.
        for (int n : {18, 19, 29}) EXPECT_EQ(file->RawText(n)[0], '&') << n;
        // Units and symbols carry their code in parentheses; text 101 is the first unit code.
        const std::string unit_code = file->RawText(101);
        const std::string metric = file->RawText(49);
        EXPECT_NE(metric.find("(" + unit_code + ")"), std::string::npos) << metric;
        for (int n : {50, 52, 53}) EXPECT_NE(file->RawText(n).find('('), std::string::npos) << n;
    }
    // The file's own formats agree with the built-in ones, so either serves.
    const char* const* builtin = text::MessageFile::CommonFormats();
    for (int n = 0; builtin[n] != nullptr; ++n) {
        if (*builtin[n] == '\0') continue;
        EXPECT_EQ(gb.Format(n), builtin[n]) << n;
        EXPECT_EQ(fr.Format(n), builtin[n]) << n;
    }
    for (int n = 0; n < gb.RecordCount(); ++n) EXPECT_EQ(gb.Format(n), fr.Format(n)) << n;
}

TEST_F(DemoCourse, ArgumentsLandInTheirTexts) {
    for (const char* lang : {"GB", "FR"}) {
        text::MessageFile common;
        Open(common, std::string("MSG\\") + lang + "\\COMMON.MSG");
        common.InstallFormats(text::MessageFile::CommonFormats());
        auto has = [&](const std::string& text, const std::string& part) {
            EXPECT_NE(text.find(part), std::string::npos) << lang << ": " << text;
        };
        has(common.GetText(5, "DEMO"), "DEMO");
        has(common.GetText(44, 3), "3");
        has(common.GetText(45, "SMITH"), "SMITH");
        has(common.GetText(55, 2), "02");
        has(common.GetText(57, 12, 45.0), "12");
        has(common.GetText(57, 12, 45.0), "45.0");
        has(common.GetText(58, 3, 9), "3/9");
        has(common.GetText(59, 7, 11, "K[1:2] BR"), "K[1:2] BR");
        has(common.GetText(68, 10), "10");
        has(common.GetText(69, 4), "4");
        has(common.GetText(75, 12), "12");
        has(common.GetText(78, "wr", "DATA\\SCO001.001"), "DATA\\SCO001.001");
        has(common.GetText(79, "MSG\\GB\\D1SUB.MSG"), "D1SUB");
        has(common.GetText(81, "10.0.0.1", 7001), "10.0.0.1");
        has(common.GetText(81, "10.0.0.1", 7001), "7001");
        has(common.GetText(82, "GROUP.dat"), "GROUP.dat");
        has(common.GetText(83, "SCO001.001"), "SCO001.001");
    }
}

TEST_F(DemoCourse, WindowEngineAndSoundTexts) {
    text::MessageFile common;
    Open(common, "MSG\\GB\\COMMON.MSG");
    for (const char* lang : {"GB", "FR"}) {
        const std::string dir = std::string("MSG\\") + lang + "\\";
        text::MessageFile box, engine, password;
        Open(box, dir + "MSGBOX.MSG");
        EXPECT_EQ(box.RecordCount(), 12);
        for (int n = 0; n < 12; ++n) EXPECT_FALSE(box.RawText(n).empty()) << lang << n;
        EXPECT_NE(box.GetText(7, "BMP\\X.BMP").find("BMP\\X.BMP"), std::string::npos);

        Open(engine, dir + "VTE.MSG");
        EXPECT_TRUE(engine.CheckVersion(common.MajorVersion(), common.MinorVersion()));
        EXPECT_EQ(engine.RecordCount(), 13);  // 12: the nesting error, beyond the built-in formats
        for (int n = 1; n < 13; ++n) EXPECT_FALSE(engine.RawText(n).empty()) << lang << n;
        const char* const* builtin = text::MessageFile::EngineFormats();
        for (int n = 0; builtin[n] != nullptr; ++n) {
            if (*builtin[n] != '\0') {
                EXPECT_EQ(engine.Format(n), builtin[n]) << n;
            }
        }
        const std::string error5 = engine.GetText(5, "PUMP", 12, "Bmp", "S01.LDE", 40);
        for (const char* part : {"PUMP", "12", "Bmp", "S01.LDE", "40"})
            EXPECT_NE(error5.find(part), std::string::npos) << error5;

        Open(password, dir + "PASSWD.MSG");
        EXPECT_EQ(password.RecordCount(), 4);
        for (int n = 0; n < 4; ++n) EXPECT_FALSE(password.RawText(n).empty()) << lang << n;
    }
    text::MessageFile sounds;
    Open(sounds, "MSG\\SND.MSG");
    for (int n : {0, 1, 2, 3, 4, 5, 6, 10, 13, 15, 16, 18, 19})
        EXPECT_FALSE(sounds.RawText(n).empty()) << n;
    EXPECT_NE(sounds.GetText(1, "SND\\X.WAV").find("SND\\X.WAV"), std::string::npos);
}

}  // namespace
