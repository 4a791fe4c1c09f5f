#include "data/CoursePaths.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

// Relative paths are taken from the course folder; absolute ones (and drive forms) stand.
TEST(CoursePaths, FormatsOfThePathTable) {
    const std::string root = "/nonexistent/course";
    const std::pair<std::string, std::string> cases[] = {
        {data::MessagePath(root, "FR", "COMMON"), root + "/MSG/FR/COMMON.MSG"},
        {data::ScorePath(root, "DATA/U", 7, 2), root + "/DATA/U/SCO007.002"},
        {data::HistoryPath(root, "DATA/G", 7, 1234), root + "/DATA/G/HST007.1234"},
        {data::UserContextPath(root, "DATA", 7, 2), root + "/DATA/CTX/CTX007.002"},
        {data::GroupFilePath(root, "DATA", "DEMO", "FR"), root + "/DATA/DEMO/FR/GROUP"},
        {data::UsersFilePath(root, "DATA", "DEMO", "FR"), root + "/DATA/DEMO/FR/USERS"},
        {data::LearnerFolderPath(root, "DATA", "DEMO", "FR"), root + "/DATA/DEMO/FR"},
        {data::UserOptionsPath(root, "DATA", 7, 2), root + "/DATA/INI007.002"},
        {data::GroupOptionsPath(root, "DATA", 2), root + "/DATA/INI.002"},
        {data::FluidsPath(root, "E:\\DATA"), "/DATA/FLUID.DAT"},
        {data::ScorePath(root, "/elsewhere/U", 7, 2), "/elsewhere/U/SCO007.002"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
}

TEST(CoursePaths, ExistingFilesAreFoundWhateverTheirCase) {
    support::TempFolder dir;
    dir.Write("data/ctx/ctx007.002", "x");
    EXPECT_EQ(data::UserContextPath(dir.path.string(), "DATA", 7, 2),
              (dir.path / "data" / "ctx" / "ctx007.002").string());
}

TEST(CoursePaths, LongNamesAreNotCut) {
    const std::string name(5000, 'N');
    EXPECT_EQ(data::MessagePath("/c", "GB", name), "/c/MSG/GB/" + name + ".MSG");
}

}  // namespace
