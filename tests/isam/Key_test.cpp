// Key validation, building and ordering.
#include <cstring>

#include "IsamFixture.h"
#include "isam/Key.h"

namespace isam_test {
namespace {

using namespace isam;
using isam::detail::BuildKey;
using isam::detail::CompareKeys;
using isam::detail::IsNullKey;
using isam::detail::ValidateKey;

TEST(IsamKeyTest, Validation) {
    struct Case {
        KeyDesc key;
        int reclen;
        bool valid;
    } cases[] = {
        {Key({{0, 4, KP_INT32}}), 8, true},
        {Key({}), 8, true},
        {Key({{0, 3, KP_INT32}}), 8, false},  // not a multiple of the unit
        {Key({{6, 4, KP_INT32}}), 8, false},  // beyond the record
        {Key({{6, 4, KP_INT32}}), 0, true},   // index-only: no record bound
        {Key({{-1, 2, KP_CHAR}}), 8, false},
        {Key({{0, 2, 8}}), 8, false},                                // unknown type
        {Key({{0, 4, KP_INT32}}, 0x40), 8, false},                   // flag above 0x20
        {Key({{0, 200, KP_CHAR}, {200, 57, KP_CHAR}}), 300, false},  // 257 bytes
        {Key({{0, 200, KP_CHAR}, {200, 56, KP_CHAR}}), 300, true},
        {Key({{0, 8, KP_DOUBLE | KP_DESC}}), 8, true},
    };
    for (auto& c : cases) EXPECT_EQ(ValidateKey(c.key, c.reclen), c.valid) << c.key.parts[0].type;
    KeyDesc nine = Key({{0, 1, KP_CHAR}});
    nine.nparts = 9;
    EXPECT_FALSE(ValidateKey(nine, 100));
}

TEST(IsamKeyTest, OrderByType) {
    struct Case {
        int type;
        std::vector<uint8_t> low, high;
    } cases[] = {
        {KP_INT16, {0xFF, 0xFF}, {0x00, 0x00}},  // -1 before 0
        {KP_INT16, {0x00, 0x7F}, {0x00, 0x80}},  // low byte compared unsigned
        {KP_INT32, {0x80, 0, 0, 0}, {0x7F, 0xFF, 0xFF, 0xFF}},
        {KP_CHAR, {0x00}, {0xFF}},
        {KP_STRING, {'a', 0}, {'b', 0}},
        {KP_NATIVE_INT32,
         {0xFF, 0xFF, 0xFF, 0xFF},
         {0x01, 0, 0, 0}},  // -1 before 1 (little-endian)
    };
    for (auto& c : cases) {
        KeyDesc k = Key({{0, int(c.low.size()), c.type}});
        ASSERT_TRUE(ValidateKey(k, 0));
        EXPECT_LT(CompareKeys(k, c.low.data(), c.high.data(), k.keylen), 0) << c.type;
        EXPECT_GT(CompareKeys(k, c.high.data(), c.low.data(), k.keylen), 0) << c.type;
        k.parts[0].type |= KP_DESC;
        EXPECT_GT(CompareKeys(k, c.low.data(), c.high.data(), k.keylen), 0) << c.type;
    }
    double a = -2.5, b = 1.0;
    uint8_t ka[8], kb[8];
    store_double(ka, a);
    store_double(kb, b);
    KeyDesc d = Key({{0, 8, KP_DOUBLE}});
    ValidateKey(d, 0);
    EXPECT_LT(CompareKeys(d, ka, kb, 8), 0);
    // Multi-unit parts order unit by unit: the sign of the second value counts.
    KeyDesc two = Key({{0, 4, KP_INT16}});
    ValidateKey(two, 0);
    uint8_t x[] = {0, 1, 0xFF, 0xFF}, y[] = {0, 1, 0, 0};
    EXPECT_LT(CompareKeys(two, x, y, 4), 0);
}

TEST(IsamKeyTest, StringPartsStopAtNulAndNullKeys) {
    KeyDesc k = Key({{2, 6, KP_STRING}, {0, 2, KP_CHAR | (0x20 << 8)}}, KEY_NULL_SUPPRESS);
    ASSERT_TRUE(ValidateKey(k, 8));
    uint8_t rec[8] = {'a', 'b', 'x', 'y', 0, 'z', 'z', 'z'};
    uint8_t key[8];
    BuildKey(k, rec, key);
    const uint8_t want[8] = {'x', 'y', 0, 0, 0, 0, 'a', 'b'};
    EXPECT_EQ(0, std::memcmp(key, want, 8));
    EXPECT_FALSE(IsNullKey(k, key));
    KeyDesc blank = Key({{0, 10, KP_CHAR | (0x20 << 8)}}, KEY_NULL_SUPPRESS);
    ASSERT_TRUE(ValidateKey(blank, 10));
    uint8_t spaces[10];
    std::memset(spaces, ' ', 10);
    EXPECT_TRUE(IsNullKey(blank, spaces));
    spaces[9] = 'x';
    EXPECT_FALSE(IsNullKey(blank, spaces));
}

TEST(IsamKeyTest, FieldHelpers) {
    uint8_t b[8];
    store_be16(b, 0xFFFF);
    EXPECT_EQ(load_be16(b), 65535u);
    store_be32(b, 0x01020304);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[3], 4);
    char field[6];
    store_field_string(field, 6, "abcdefgh");
    EXPECT_EQ(std::string(field, 6), "abcdef");
    store_field_string(field, 6, "ab");
    EXPECT_EQ(std::string(field, 6), "ab    ");
    char out[7];
    load_field_string(out, field, 6);
    EXPECT_STREQ(out, "ab");
    bool is_null = false;
    store_double_null(b, 3.5, true);
    EXPECT_EQ(load_double_null(b, &is_null), 0.0);
    EXPECT_TRUE(is_null);
    store_float_null(b, 2.0f, false);
    EXPECT_EQ(load_float_null(b, &is_null), 2.0f);
    EXPECT_FALSE(is_null);
}

}  // namespace
}  // namespace isam_test
