#include "data/CoursePaths.h"

#include <gtest/gtest.h>

#include "TempFolder.h"

namespace {

TEST(CoursePaths, FormatsOfThePathTable) {
    const std::pair<std::string, std::string> cases[] = {
        {data::ConfigurationPath("/opt/c/DEMO"), "/opt/c/DEMO.INI"},
        {data::BitmapPath("DEMO"), "BMP/DEMO.BMP"},
        {data::IconPath("DEMO"), "BMP/DEMO.ICO"},
        {data::MaskPath("VALVE"), "BMP/MASK/VALVE.BMP"},
        {data::SoundPath("BIP"), "SND/BIP.WAV"},
        {data::VideoPath("PUMP"), "AVI/PUMP.AVI"},
        {data::SoundListPath(), "MSG/SND.MSG"},
        {data::MessagePath("FR", "COMMON"), "MSG/FR/COMMON.MSG"},
        {data::SubStepMessagePath("FR", "D1", "SUB"), "MSG/FR/D1SUB.MSG"},
        {data::StepMessagePath("GB", "D1", 3), "MSG/GB/D1STEP03.MSG"},
        {data::LevelConfigPath("DATA", "D1", 12), "DATA/CFG/D1LEVEL12.CFG"},
        {data::ScorePath("DATA/U", 7, 2), "DATA/U/SCO007.002"},
        {data::HistoryPath("DATA/G", 7, 1234), "DATA/G/HST007.1234"},
        {data::UserContextPath("DATA", 7, 2), "DATA/CTX/CTX007.002"},
        {data::StepContextPath("DATA", "D1", 2, 5), "DATA/CTX/D1S02Q05N1.CTX"},
        {data::GroupFilePath("DATA", "DEMO", "FR"), "DATA/DEMO/FR/GROUP"},
        {data::UsersFilePath("DATA", "DEMO", "FR"), "DATA/DEMO/FR/USERS"},
        {data::ScriptPath("DATA", "D1", "S0101.LDE"), "DATA/LDE/D1S0101.LDE"},
        {data::UserOptionsPath("DATA", 7, 2), "DATA/INI007.002"},
        {data::GroupOptionsPath("DATA", 2), "DATA/INI.002"},
        {data::NamedOptionsPath("DATA\\DEFAULT"), "DATA/DEFAULT.INI"},
        {data::FluidsPath("E:\\DATA"), "/DATA/FLUID.DAT"},
        {data::HelpPath("FR", "HELP"), "MSG/FR/HELP.PDF"},
        {data::CommonHelpPath("FR", "DEMO", "TOPIC"), "MSG/FR/COMMON/DEMO/TOPIC.PDF"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST(CoursePaths, ExistingFilesAreFoundWhateverTheirCase) {
    TempFolder dir;
    dir.Write("cfg/d1level01.cfg", "x");
    EXPECT_EQ(data::LevelConfigPath(dir.path.string(), "D1", 1),
              (dir.path / "cfg" / "d1level01.cfg").string());
}

TEST(CoursePaths, LongNamesAreNotCut) {
    const std::string name(5000, 'N');
    EXPECT_EQ(data::ScriptPath("DATA", "D", name), "DATA/LDE/D" + name);
}

}  // namespace
