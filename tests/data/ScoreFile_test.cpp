#include "data/ScoreFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>

#include "support/TempFolder.h"

namespace {

int32_t IntAt(const std::string& bytes, size_t offset) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
    return static_cast<int32_t>(uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) |
                                (uint32_t{p[3]} << 24));
}

// A book whose every entry is distinct, so a block at the wrong offset shows.
data::ScoreBook NumberedBook() {
    data::ScoreBook book;
    book.LevelSteps = {5, 7};
    book.LevelState = {-1, 0};
    for (int i = 0; i < data::kStepCapacity; ++i) {
        book.StepScore[i] = 1000 + i;
        book.StepWorth[i] = 2000 + i;
        book.StepBonus[i] = 3000 + i;
        book.StepTime[i] = 4000 + i;
        book.StepVisits[i] = 5000 + i;
        book.StepStatus[i] = -6000 - i;
    }
    return book;
}

TEST(ScoreBook, StartsWithUnscoredSteps) {
    data::ScoreBook book;
    EXPECT_EQ(book.LevelSteps[1], 0);
    EXPECT_EQ(book.StepScore[0], -1);
    EXPECT_EQ(book.StepScore[1023], -1);
    EXPECT_EQ(book.StepWorth[1023], 0);
}

TEST(ScoreBook, ClearStepsResetsOnlyTheRangeInsideTheArrays) {
    struct Case {
        int first, count;
        int cleared_first, cleared_end;
    } cases[] = {{3, 2, 3, 5},  {1020, 10, 1020, 1024}, {-5, 7, 0, 2},           {0, 0, 0, 0},
                 {5, -3, 5, 5}, {2000, 5, 0, 0},        {1, 2147483647, 1, 1024}};
    for (const Case& c : cases) {
        data::ScoreBook book = NumberedBook();
        book.ClearSteps(c.first, c.count);
        for (int i = 0; i < data::kStepCapacity; ++i) {
            const bool cleared = i >= c.cleared_first && i < c.cleared_end;
            ASSERT_EQ(book.StepScore[i], cleared ? -1 : 1000 + i) << c.first << "+" << c.count;
            ASSERT_EQ(book.StepStatus[i], cleared ? 0 : -6000 - i) << c.first << "+" << c.count;
        }
        EXPECT_EQ(book.LevelSteps[0], 5);
    }
}

TEST(ScoreFile, LayoutIsSixteenBytesOfLevelsThenSixBlocksOfN) {
    const std::string bytes = data::EncodeScores(NumberedBook(), 5);
    ASSERT_EQ(bytes.size(), 136u);
    EXPECT_EQ(IntAt(bytes, 0), 5);
    EXPECT_EQ(IntAt(bytes, 4), 7);
    EXPECT_EQ(IntAt(bytes, 8), -1);
    EXPECT_EQ(IntAt(bytes, 12), 0);
    const int32_t bases[] = {1000, 2000, 3000, 4000, 5000};
    for (int block = 0; block < 5; ++block) {
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(IntAt(bytes, 16 + 20 * block + 4 * i), bases[block] + i) << block;
        }
    }
    EXPECT_EQ(IntAt(bytes, 16 + 100 + 16), -6004);
    // Little-endian: -6000 is 0x FFFF E890, lowest byte first.
    EXPECT_EQ(static_cast<unsigned char>(bytes[116]), 0x90);
    EXPECT_EQ(static_cast<unsigned char>(bytes[119]), 0xFF);
}

TEST(ScoreFile, StepCountRange) {
    struct Case {
        int n;
        bool valid;
    } cases[] = {{-1, false}, {0, false}, {1, true}, {1023, true}, {1024, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(data::IsScoreStepCount(c.n), c.valid) << c.n;
        const std::string bytes = data::EncodeScores(NumberedBook(), c.n);
        EXPECT_EQ(bytes.size(), c.valid ? data::ScoreFileSize(c.n) : 0u) << c.n;
        data::ScoreBook back;
        EXPECT_EQ(data::DecodeScores(bytes, c.n, back), c.valid) << c.n;
    }
}

TEST(ScoreFile, RoundTripKeepsEntriesBeyondNUntouched) {
    const std::string bytes = data::EncodeScores(NumberedBook(), 9);
    data::ScoreBook back;
    ASSERT_TRUE(data::DecodeScores(bytes, 9, back));
    const data::ScoreBook expected = NumberedBook();
    EXPECT_EQ(back.LevelSteps, expected.LevelSteps);
    EXPECT_EQ(back.LevelState, expected.LevelState);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(back.StepScore[i], expected.StepScore[i]);
        EXPECT_EQ(back.StepTime[i], expected.StepTime[i]);
        EXPECT_EQ(back.StepStatus[i], expected.StepStatus[i]);
    }
    EXPECT_EQ(back.StepScore[9], -1);
    EXPECT_EQ(back.StepStatus[9], 0);
}

TEST(ScoreFile, SizeThatDoesNotFitTheStepCountIsRefused) {
    const std::string bytes = data::EncodeScores(NumberedBook(), 5);
    for (const std::string& wrong : {bytes.substr(0, bytes.size() - 1), bytes + '\0',
                                     data::EncodeScores(NumberedBook(), 4), std::string()}) {
        data::ScoreBook book;
        EXPECT_FALSE(data::DecodeScores(wrong, 5, book)) << wrong.size();
        EXPECT_EQ(book.LevelSteps[0], 0);
        EXPECT_EQ(book.StepScore[0], -1);
    }
}

TEST(ScoreFile, WriteCreatesFoldersAndReadsBack) {
    support::TempFolder dir;
    const std::string path = (dir.path / "DATA" / "DEMO" / "GB" / "SCO001.002").string();
    ASSERT_TRUE(data::WriteScoreFile(path, 5, NumberedBook()).ok());
    EXPECT_EQ(support::TempFolder::Read(path), data::EncodeScores(NumberedBook(), 5));
    data::ScoreBook back;
    ASSERT_TRUE(data::ReadScoreFile(path, 5, back).ok());
    EXPECT_EQ(back.StepVisits[4], 5004);
    // A later, shorter write leaves exactly the new image and no temporary file.
    ASSERT_TRUE(data::WriteScoreFile(path, 2, NumberedBook()).ok());
    EXPECT_EQ(std::filesystem::file_size(path), 64u);
    int entries = 0;
    for ([[maybe_unused]] const auto& e :
         std::filesystem::directory_iterator(dir.path / "DATA" / "DEMO" / "GB")) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(ScoreFile, FailuresLeaveFileAndBookAlone) {
    support::TempFolder dir;
    const std::string path = (dir.path / "SCO001.001").string();
    data::ScoreBook book;
    EXPECT_EQ(data::ReadScoreFile(path, 5, book).code(), ENOENT);
    EXPECT_EQ(data::WriteScoreFile(path, 1024, NumberedBook()).code(), ERANGE);
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_TRUE(data::WriteScoreFile(path, 5, NumberedBook()).ok());
    EXPECT_EQ(data::ReadScoreFile(path, 6, book).code(), EBADMSG);
    EXPECT_EQ(book.StepScore[0], -1);
    EXPECT_EQ(data::ReadScoreFile(path, 0, book).code(), ERANGE);

    // A score file made read-only is not replaced.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(path.c_str(), 0444), 0);
        EXPECT_EQ(data::WriteScoreFile(path, 3, NumberedBook()).code(), EACCES);
        EXPECT_EQ(std::filesystem::file_size(path), 136u);
    }
}

}  // namespace
