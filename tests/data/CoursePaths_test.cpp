#include "data/CoursePaths.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

TEST(CoursePaths, FormatsOfThePathTable) {
    const std::pair<std::string, std::string> cases[] = {
        {data::MessagePath("FR", "COMMON"), "MSG/FR/COMMON.MSG"},
        {data::ScorePath("DATA/U", 7, 2), "DATA/U/SCO007.002"},
        {data::HistoryPath("DATA/G", 7, 1234), "DATA/G/HST007.1234"},
        {data::UserContextPath("DATA", 7, 2), "DATA/CTX/CTX007.002"},
        {data::GroupFilePath("DATA", "DEMO", "FR"), "DATA/DEMO/FR/GROUP"},
        {data::UsersFilePath("DATA", "DEMO", "FR"), "DATA/DEMO/FR/USERS"},
        {data::UserOptionsPath("DATA", 7, 2), "DATA/INI007.002"},
        {data::GroupOptionsPath("DATA", 2), "DATA/INI.002"},
        {data::FluidsPath("E:\\DATA"), "/DATA/FLUID.DAT"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST(CoursePaths, ExistingFilesAreFoundWhateverTheirCase) {
    support::TempFolder dir;
    dir.Write("ctx/ctx007.002", "x");
    EXPECT_EQ(data::UserContextPath(dir.path.string(), 7, 2),
              (dir.path / "ctx" / "ctx007.002").string());
}

TEST(CoursePaths, LongNamesAreNotCut) {
    const std::string name(5000, 'N');
    EXPECT_EQ(data::MessagePath("GB", name), "MSG/GB/" + name + ".MSG");
}

}  // namespace
