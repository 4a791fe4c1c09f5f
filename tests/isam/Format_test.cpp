// Byte layouts of the files as built and written.
#include <fcntl.h>

#include <fstream>

#include "IsamFixture.h"

namespace isam_test {
namespace {

using namespace isam;

using IsamFormatTest = IsamTest;

TEST_F(IsamFormatTest, FreshFileHasHeaderDictionaryAndRoot) {
    int h = ISBUILD(Path("f").c_str(), 40, Key({{2, 4, KP_INT32}, {10, 3, KP_CHAR}}, KEY_DUPS),
                    OPEN_INOUT);
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISCLOSE(h), 0);
    auto idx = ReadBytes(Path("f.idx"));
    ASSERT_EQ(idx.size(), 3072u);
    const uint8_t head[] = {0xFE, 0x53, 2, 2, 4, 4, 0x03, 0xFF, 0, 1, 7, 4, 0, 0, 40};
    EXPECT_TRUE(std::equal(std::begin(head), std::end(head), idx.begin()));
    EXPECT_EQ(load_be32(&idx[15]), 2u);  // dictionary node
    EXPECT_EQ(load_be32(&idx[37]), 3u);  // highest index node
    EXPECT_EQ(load_be32(&idx[45]), 1u);  // unique id
    EXPECT_EQ(idx[54], 8);
    EXPECT_EQ(std::string(idx.begin() + 1020, idx.begin() + 1024), "kjsk");
    // Dictionary: 6-byte head, one entry of 7 + 2 * 5 bytes, duplicate bit in the first part.
    const uint8_t* d = &idx[1024];
    EXPECT_EQ(load_be16(d), 6u + 17u);
    EXPECT_EQ(load_be16(d + 6), 17u);
    EXPECT_EQ(load_be32(d + 8), 3u);
    EXPECT_EQ(d[12], 0);
    EXPECT_EQ(load_be16(d + 13), 0x8004u);
    EXPECT_EQ(load_be16(d + 15), 2u);
    EXPECT_EQ(d[17], KP_INT32);
    EXPECT_EQ(load_be16(d + 18), 3u);
    EXPECT_EQ(d[1024 - 3], 0xFF);
    EXPECT_EQ(d[1024 - 2], 0xFE);
    EXPECT_EQ(load_be16(&idx[2048]), 2u);  // empty root
    EXPECT_EQ(ReadBytes(Path("f.dat")).size(), 0u);
}

TEST_F(IsamFormatTest, SlotsAndMasks) {
    for (int masked : {0, 1}) {
        std::string name = masked ? "m" : "p";
        int h = ISBUILD(Path(name).c_str(), 40, Key({{0, 4, KP_INT32}}),
                        OPEN_INOUT | (masked ? OPEN_MASKED : 0));
        ASSERT_GE(h, 0);
        if (masked) ISSETMASK(h, 0x12345678u & ~1u);
        std::vector<uint8_t> rec(40, 'x');
        for (int i = 1; i <= 3; ++i) {
            store_be32(rec.data(), uint32_t(i));
            ASSERT_EQ(ISWRITE(h, rec.data()), 0);
            EXPECT_EQ(last_recnum, i);
        }
        ISCLOSE(h);
        auto dat = ReadBytes(Path(name + ".dat"));
        const size_t slot = masked ? 45 : 41;
        ASSERT_EQ(dat.size(), 3 * slot);
        EXPECT_EQ(load_be32(&dat[2 * slot]), 3u);  // record 3 starts at byte 82 (or 90)
        EXPECT_EQ(dat[2 * slot + 40], 0x0A);       // its flag byte, byte 122 unmasked
        if (masked) {
            EXPECT_EQ(load_be32(&dat[3 * slot - 4]), 0x12345678u & ~1u);
        }
        auto idx = ReadBytes(Path(name + ".idx"));
        EXPECT_EQ(load_be16(&idx[1018]), unsigned(masked));  // file flags
    }
}

TEST_F(IsamFormatTest, FileWithoutPrimaryKey) {
    int h = ISBUILD(Path("n").c_str(), 10, KeyDesc{}, OPEN_INOUT);
    ASSERT_GE(h, 0);
    ISCLOSE(h);
    auto idx = ReadBytes(Path("n.idx"));
    EXPECT_EQ(idx.size(), 2048u);
    EXPECT_EQ(load_be16(&idx[8]), 1u);
    EXPECT_EQ(load_be16(&idx[1024]), 13u);  // head + a 7-byte entry
    EXPECT_EQ(load_be16(&idx[1030]), 7u);
    EXPECT_EQ(load_be32(&idx[1032]), 0u);
    h = ISOPEN(Path("n").c_str(), OPEN_INOUT);
    ASSERT_GE(h, 0);
    EXPECT_EQ(IndexCount(h), 0);
    int index = -1;
    int32_t rec = -1;
    ISPOSITION(h, &index, &rec);
    EXPECT_EQ(index, 0);
    EXPECT_EQ(rec, 1);
}

TEST_F(IsamFormatTest, LockSlotCounterStartsAtFour) {
    int h = BuildSimple("l");
    ASSERT_GE(h, 0);
    EXPECT_EQ(load_be32(ReadBytes(Path("l.lck")).data()), 4u);
    int h2 = ISOPEN(Path("l").c_str(), OPEN_INOUT);  // shares the files, takes a slot on first use
    ASSERT_GE(h2, 0);
    std::vector<uint8_t> r(8);
    ISREAD(h2, r.data(), FIRST);
    EXPECT_EQ(load_be32(ReadBytes(Path("l.lck")).data()), 5u);
    EXPECT_EQ(ReadBytes(Path("l.lck")).size(), 4u);
}

TEST_F(IsamFormatTest, LinkFileRedirectsEveryFile) {
    std::filesystem::create_directory(Path("real"));
    {
        std::ofstream link(Path("alias.lnk"));
        link << Path("real/target") << "\n";
    }
    int h = BuildSimple("alias");
    ASSERT_GE(h, 0);
    ASSERT_EQ(ISWRITE(h, Rec(7).data()), 0);
    ISCLOSE(h);
    EXPECT_TRUE(std::filesystem::exists(Path("real/target.idx")));
    EXPECT_TRUE(std::filesystem::exists(Path("real/target.dat")));
    EXPECT_TRUE(std::filesystem::exists(Path("real/target.lck")));
    EXPECT_FALSE(std::filesystem::exists(Path("alias.idx")));
    h = ISOPEN(Path("real/target").c_str(), OPEN_INPUT);
    ASSERT_GE(h, 0);
    EXPECT_EQ(Scan(h), std::vector<int32_t>{7});
}

TEST_F(IsamFormatTest, HeaderCountersAfterWrites) {
    int h = BuildSimple("c");
    for (int i = 0; i < 5; ++i) ASSERT_EQ(ISWRITE(h, Rec(i).data()), 0);
    int32_t id = 0;
    ASSERT_EQ(ISUNIQUEID(h, &id), 0);
    EXPECT_EQ(id, 1);
    ASSERT_EQ(ISSETUNIQUE(h, 0x7FFFFFFF), 0);
    ASSERT_EQ(ISUNIQUEID(h, &id), 0);
    EXPECT_EQ(id, 0x7FFFFFFF);
    ASSERT_EQ(ISUNIQUEID(h, &id), 0);
    EXPECT_EQ(id, 1);  // restarted instead of turning negative
    auto idx = ReadBytes(Path("c.idx"));
    EXPECT_EQ(load_be32(&idx[33]), 5u);
    EXPECT_EQ(load_be32(&idx[41]), 9u);  // change counter: one per write operation (9 of them)
}

}  // namespace
}  // namespace isam_test
