// The group and user records' byte layouts, the template and the stored password.
#include <gtest/gtest.h>

#include <cstring>

#include "data/GroupRecord.h"
#include "data/RecordBytes.h"
#include "data/UserRecord.h"

namespace data {
namespace {

TEST(UserRecordTest, EveryNamedFieldSitsAtItsOffset) {
    UserRecord r = UserTemplate();
    r.UserNo = 7;
    r.GroupNo = 200;
    r.UserName = "Dupont";
    r.Level = 2;
    r.FirstLevel = 3;
    r.Series = 4;
    r.Step = 5;
    r.Retries = 6;
    r.StepCount = 8;
    r.StepsBefore = 9;
    r.AskLeft = 10;
    r.State = -1;
    r.Total = 12;
    r.TotalWorth = 13;
    r.reserved = 14;
    r.StepStart = 1700000000;
    r.MayConfigure = 1;
    r.password = ScramblePassword("secret");
    r.Kind = 2;
    r.after_kind = {0xAA, 0xBB};
    r.MaxLevel = 17;
    r.tail[27] = 0x5A;
    uint8_t b[kUserRecordSize];
    std::memset(b, 0xEE, sizeof b);
    EncodeUserRecord(r, b);

    const struct {
        int offset;
        int32_t value;
    } ints[] = {{0, 148}, {4, 7},   {8, 200}, {36, 2},          {40, 3},  {44, 4},
                {48, 5},  {52, 6},  {56, 8},  {60, 9},          {64, 10}, {68, -1},
                {72, 12}, {76, 13}, {80, 14}, {84, 1700000000}, {116, 17}};
    for (const auto& c : ints) EXPECT_EQ(LoadLe32(b + c.offset), c.value) << "offset " << c.offset;
    EXPECT_EQ(b[4], 7) << "little-endian";
    EXPECT_EQ(LoadLe16(b + 88), 1);
    EXPECT_EQ(LoadLe16(b + 112), 2);
    EXPECT_EQ(b[114], 0xAA);
    EXPECT_EQ(b[147], 0x5A);
    EXPECT_STREQ(reinterpret_cast<const char*>(b + 12), "Dupont");
    EXPECT_EQ(b[12 + 23], 0) << "the name field is zero-filled";

    const UserRecord back = DecodeUserRecord(b);
    uint8_t again[kUserRecordSize];
    EncodeUserRecord(back, again);
    EXPECT_EQ(std::memcmp(b, again, sizeof b), 0);
    EXPECT_EQ(back.password, r.password);
}

// The marker at 88 is 16 bits: a stored password right behind it must not read as "may
// configure".
TEST(UserRecordTest, MayConfigureIgnoresThePasswordBehindIt) {
    UserRecord r = UserTemplate();
    r.password = ScramblePassword("pw");
    uint8_t b[kUserRecordSize];
    EncodeUserRecord(r, b);
    EXPECT_NE(b[90], 0);
    EXPECT_EQ(DecodeUserRecord(b).MayConfigure, 0);
}

TEST(UserRecordTest, TemplateBytes) {
    uint8_t b[kUserRecordSize];
    EncodeUserRecord(UserTemplate(), b);
    for (int off = 0; off < kUserRecordSize; off += 4) {
        int32_t want = 0;
        if (off == 0) want = 148;
        if (off == 4 || off == 8 || off == 36 || off == 40 || off == 44 || off == 116) want = 1;
        if (off == 64) want = -1;
        EXPECT_EQ(LoadLe32(b + off), want) << "offset " << off;
    }
    uint8_t g[kGroupRecordSize];
    std::memset(g, 0xEE, sizeof g);
    EncodeGroupRecord(GroupTemplate(), g);
    EXPECT_EQ(LoadLe32(g), 96);
    EXPECT_EQ(LoadLe32(g + 4), 1);
    for (int i = 8; i < kGroupRecordSize; ++i) EXPECT_EQ(g[i], 0) << i;
}

TEST(GroupRecordTest, RoundTripKeepsTheUnreadBytes) {
    uint8_t g[kGroupRecordSize];
    for (int i = 0; i < kGroupRecordSize; ++i) g[i] = uint8_t(i);
    StoreText(g + 8, kGroupNameSize, "Night shift");
    GroupRecord r = DecodeGroupRecord(g);
    EXPECT_EQ(r.name, "Night shift");
    EXPECT_EQ(r.group_no, LoadLe32(g + 4));
    uint8_t again[kGroupRecordSize];
    EncodeGroupRecord(r, again);
    EXPECT_EQ(std::memcmp(g, again, sizeof g), 0);
}

TEST(UserRecordTest, NamesAndPasswordsAreCutToTheirFields) {
    UserRecord r = UserTemplate();
    r.UserName = std::string(40, 'n');
    r.password = std::string(40, 'p');
    r.Kind = 0x0102;
    uint8_t b[kUserRecordSize];
    EncodeUserRecord(r, b);
    const UserRecord back = DecodeUserRecord(b);
    EXPECT_EQ(back.UserName, std::string(23, 'n'));
    EXPECT_EQ(back.password.size(), size_t(kMaxPasswordLength));
    EXPECT_EQ(back.Kind, 0x0102) << "a long password never reaches Kind";
}

TEST(PasswordTest, StoredScrambledAndComparedInUpperCase) {
    const std::string stored = ScramblePassword("Valve7\xe9");  // é in Windows-1252
    EXPECT_NE(stored, "VALVE7\xc9");
    EXPECT_EQ(stored.size(), 7u);
    EXPECT_EQ(stored.find('\0'), std::string::npos);
    EXPECT_EQ(UnscramblePassword(stored), "VALVE7\xc9");
    EXPECT_TRUE(PasswordMatches("valve7\xe9", stored));
    EXPECT_TRUE(PasswordMatches("VALVE7\xc9", stored));
    EXPECT_FALSE(PasswordMatches("valve7", stored));
    EXPECT_FALSE(PasswordMatches("", stored));
}

}  // namespace
}  // namespace data
