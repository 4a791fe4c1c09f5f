#include "data/ProductRecord.h"

#include <gtest/gtest.h>

#include "data/ConfigTable.h"
#include "support/RecordingNotifier.h"
#include "support/TempFolder.h"

namespace {

using data::ProductRecord;

TEST(ProductRecord, VersionReductionComparesHighBytesOnly) {
    const std::pair<const char*, uint32_t> cases[] = {
        {"1100:0800", 0x11000800u},     {"11FF:08AA", 0x11000800u},
        {"0x11ff:0X08aa", 0x11000800u}, {"1200:0800", 0x12000800u},
        {"1100", 0x11000000u},          {"11G0:0800", 0x00000800u},
        {":0800", 0x00000800u},         {"", 0u},
        {"0x:0800", 0x00000800u},       {"FFFFFFFFF:1", 0xFF000000u},  // wraps in 32 bits
    };
    for (auto [text, value] : cases) EXPECT_EQ(data::ReduceVersion(text), value) << text;
}

TEST(ProductRecord, CatalogueFields) {
    const char* line = "x[A][][C]] [D";
    EXPECT_EQ(data::CatalogueField(line, 1), "A");
    EXPECT_EQ(data::CatalogueField(line, 2), "");
    EXPECT_EQ(data::CatalogueField(line, 3), "C");
    EXPECT_EQ(data::CatalogueField(line, 4), "D");  // no ']': up to the end of the line
    EXPECT_EQ(data::CatalogueField(line, 5), "");
    EXPECT_EQ(data::CatalogueField(line, 0), "");
    // The one-pass split agrees with the field rule, overlapping fields included.
    for (const char* text : {"x[A][][C]] [D", "[a[b]c]", "[[[", "]][x]", ""}) {
        const auto fields = data::CatalogueFields(text);
        for (size_t k = 0; k < fields.size(); ++k)
            EXPECT_EQ(std::string(fields[k]), data::CatalogueField(text, int(k) + 1)) << text;
        EXPECT_EQ(data::CatalogueField(text, int(fields.size()) + 1), "") << text;
    }
}

TEST(ProductRecord, DriveMark) {
    EXPECT_EQ(data::ReplaceDriveMark("?:\\COURSE", "E:\\PLAYER\\DEMO.EXE"), "E:\\COURSE");
    EXPECT_EQ(data::ReplaceDriveMark("?:\\COURSE", "/opt/course/DEMO"), "\\COURSE");
    EXPECT_EQ(data::ReplaceDriveMark("DATA?", "E:\\DEMO.EXE"), "DATA?");
    data::ConfigTable config;
    EXPECT_EQ(data::CataloguePath(config, "E:\\DEMO.EXE"), ".\\PRODUCT.DAT");
    config.Set(data::kRootDir, "?:\\COURSE");
    EXPECT_EQ(data::CataloguePath(config, "E:\\DEMO.EXE"), "E:\\COURSE\\PRODUCT.DAT");
}

class LoadProductTest : public ::testing::Test {
  protected:
    platform::Status Load(const std::string& catalogue, const std::string& language = "FR",
                          const std::string& program = "/opt/DEMO") {
        dir_.Write("PRODUCT.DAT", catalogue);
        config_.Set(data::kRootDir, dir_.path.string());
        config_.Set(data::kLanguage, language);
        return data::LoadProduct(config_, program, record_, dir_.path.string());
    }
    support::TempFolder dir_;
    data::ConfigTable config_;
    ProductRecord record_;
};

TEST_F(LoadProductTest, FirstLineMatchingLanguageAndVersion) {
    const std::string catalogue =
        "# comment [App][2][D][X.PRD][1100:0800][6][7][FR]\r\n"
        "\r\n"
        "[Other][2][D0][OTHER.PRD][1100:0800][6][7][GB]\r\n"
        "[Old][2][D1][OLD.PRD][1000:0800][6][7][FR]\r\n"
        "[Demo course][two][?:\\DATA][DEMO.PRD.X][11FF:08AA][six][seven][fr]\r\n"
        "[Second][2][D2][SECOND.PRD][1100:0800][6][7][FR]\r\n";
    ASSERT_TRUE(Load(catalogue, "FR", "E:\\PLAYER\\DEMO.EXE").ok());
    EXPECT_EQ(record_.app_name, "Demo course");
    EXPECT_EQ(record_.field2, "two");
    EXPECT_EQ(record_.data_dir, "E:\\DATA");
    EXPECT_EQ(record_.product_file, "DEMO.PRD.X");
    EXPECT_EQ(record_.product_name, "DEMO");
    EXPECT_EQ(record_.version, "11FF:08AA");
    EXPECT_EQ(record_.field7, "seven");
    EXPECT_EQ(record_.language, "fr");
    EXPECT_EQ(record_.value1, 1);
    EXPECT_EQ(record_.value0, 0);
}

TEST_F(LoadProductTest, NoMatchingLineSaysWhy) {
    const platform::Status other_version =
        Load("[App][2][D][X.PRD][1200:0800][6][7][FR]\n[App][2][D][X][1100:0800][6][7][GB]\n");
    EXPECT_EQ(other_version.code(), 13);
    EXPECT_EQ(other_version.what(), data::BadVersionText());
    const platform::Status no_line = Load("[App][2][D][X][1100:0800][6][7][GB]\n");
    EXPECT_EQ(no_line.code(), 13);
    EXPECT_EQ(no_line.what(), dir_.path.string() + "\\PRODUCT.DAT: no line for the language FR");
}

TEST_F(LoadProductTest, MatchingLineWithAnEmptyFieldIsMalformed) {
    const platform::Status status =
        Load("[App][2][D][X.PRD][1100:0800][][7][FR]\n[App][2][D][X][1100:0800][6][7][FR]\n");
    EXPECT_EQ(status.code(), 19);
    EXPECT_EQ(status.what(), dir_.path.string() + "\\PRODUCT.DAT: line 1 has 5 of its 8 fields");
}

TEST_F(LoadProductTest, MissingCatalogueReportsCode2) {
    config_.Set(data::kRootDir, (dir_.path / "nowhere").string());
    const platform::Status status =
        data::LoadProduct(config_, "/opt/DEMO", record_, dir_.path.string());
    EXPECT_EQ(status.code(), 2);
    EXPECT_EQ(status.what(), (dir_.path / "nowhere").string() + "\\PRODUCT.DAT");
}

TEST_F(LoadProductTest, GarbageAndOverlongLinesAreSkipped) {
    std::string catalogue(200000, '[');
    catalogue += "\n";
    catalogue += std::string("\x00[A][2][D][X][1100:0800][6][7][FR]\n", 35);  // NUL ends the line
    catalogue += std::string(50000, '\xee') + "]]]\n";
    catalogue += "[App][2][D][" + std::string(5000, 'P') + ".PRD][1100:0800][6][7][FR]";
    ASSERT_TRUE(Load(catalogue).ok());
    EXPECT_EQ(record_.product_name, std::string(5000, 'P'));
}

TEST_F(LoadProductTest, MatchingLineWithVeryManyFields) {
    std::string line = "[App][2][D][X.PRD][1100:0800][6][7][FR]";
    for (int i = 0; i < 100000; ++i) line += "[x]";
    line += std::string(100000, '[');  // unclosed fields running to the end of the line
    ASSERT_TRUE(Load(line + "\n").ok());
    EXPECT_EQ(record_.app_name, "App");
    EXPECT_EQ(record_.language, "FR");
}

}  // namespace
