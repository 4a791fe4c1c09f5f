#include "script/ObjectRecord.h"

#include <gtest/gtest.h>

#include <cstring>

namespace script {
namespace {

int32_t I32At(const std::array<uint8_t, kObjectRecordSize>& b, size_t at) {
    return static_cast<int32_t>(b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
                                (static_cast<uint32_t>(b[at + 3]) << 24));
}

ObjectRecord Distinct() {
    ObjectRecord r;
    r.id = 0x01020304;
    r.display_class = 2;
    r.label = "label";
    r.tag = "tag";
    r.script = "SCRIPT";
    r.path = "BMP\\CAR.BMP";
    r.zoom_path = "BMP\\BIG.BMP";
    r.type = 35;
    r.blink_period = -3;
    r.number_period = 7;
    r.blink_counter = 2;
    r.number_counter = 5;
    r.index = 9;
    r.target_x = 101;
    r.target_y = 102;
    r.x = 103;
    r.y = 104;
    r.start_x = 105;
    r.start_y = 106;
    r.prev_x = 107;
    r.prev_y = 108;
    r.step_x = 109;
    r.step_y = 110;
    r.target_height = 111;
    r.target_width = 112;
    r.height = 113;
    r.width = 114;
    r.before_height = 115;
    r.before_width = 116;
    r.prev_height = 117;
    r.prev_width = 118;
    r.step_height = 119;
    r.step_width = 120;
    r.zoom_height = 121;
    r.zoom_width = 122;
    r.sleeping = true;
    r.visible = false;
    r.masked = false;
    r.hint_enabled = true;
    r.hint = "hint";
    r.value = 1.5f;
    r.target_value = 2.5f;
    r.minimum = -1;
    r.maximum = 9;
    r.divisor = 4;
    r.increment = 0.25f;
    r.field_width = 6;
    r.decimals = 2;
    r.finished = false;
    r.daemon = true;
    r.colour = 0x00FF00;
    return r;
}

TEST(ObjectRecord, FieldsSitAtTheirOffsets) {
    auto b = EncodeObjectRecord(Distinct());
    EXPECT_EQ(I32At(b, 0), 0x01020304);
    EXPECT_EQ(I32At(b, 4), 2);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[8]), "label");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[29]), "tag");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[50]), "SCRIPT");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[71]), "BMP\\CAR.BMP");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[331]), "BMP\\BIG.BMP");
    EXPECT_EQ(I32At(b, 592), 35);
    EXPECT_EQ(static_cast<int16_t>(b[598] | (b[599] << 8)), -3);
    EXPECT_EQ(b[604], 7);
    EXPECT_EQ(b[612], 2);
    EXPECT_EQ(b[618], 5);
    EXPECT_EQ(I32At(b, 624), 9);
    for (int i = 0; i < 22; ++i) EXPECT_EQ(I32At(b, 628 + 4 * i), 101 + i) << 628 + 4 * i;
    EXPECT_EQ(b[716], 1);
    EXPECT_EQ(b[717], 0);
    EXPECT_EQ(b[718], 0);
    EXPECT_EQ(b[724], 1);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[725]), "hint");
    float f;
    std::memcpy(&f, &b[748], 4);
    EXPECT_FLOAT_EQ(f, 1.5f);
    std::memcpy(&f, &b[768], 4);
    EXPECT_FLOAT_EQ(f, 0.25f);
    EXPECT_EQ(I32At(b, 772), 6);
    EXPECT_EQ(I32At(b, 776), 2);
    EXPECT_EQ(b[780], 0);
    EXPECT_EQ(b[781], 1);
    EXPECT_EQ(I32At(b, 784), 0x00FF00);
    // Padding and reserved bytes stay zero.
    for (size_t at : {591u, 596u, 600u, 606u, 614u, 620u, 719u, 720u, 746u, 782u, 783u}) {
        EXPECT_EQ(b[at], 0) << at;
    }
}

TEST(ObjectRecord, RoundTripsAndCutsLongTexts) {
    ObjectRecord r = Distinct();
    r.label = std::string(40, 'L');
    r.path = std::string(400, 'p');
    auto b = EncodeObjectRecord(r);
    ObjectRecord back = DecodeObjectRecord(b.data());
    EXPECT_EQ(back.label, std::string(20, 'L'));
    EXPECT_EQ(back.path, std::string(259, 'p'));
    EXPECT_EQ(back.tag, r.tag);
    EXPECT_EQ(back.hint, r.hint);
    EXPECT_EQ(back.width, r.width);
    EXPECT_EQ(back.prev_height, r.prev_height);
    EXPECT_FLOAT_EQ(back.target_value, r.target_value);
    EXPECT_EQ(back.blink_period, r.blink_period);
    EXPECT_EQ(back.daemon, r.daemon);
    EXPECT_EQ(back.colour, r.colour);
}

TEST(ObjectRecord, DecodesUnterminatedTextFieldsWithinTheirBounds) {
    std::array<uint8_t, kObjectRecordSize> b;
    b.fill('x');
    ObjectRecord r = DecodeObjectRecord(b.data());
    EXPECT_EQ(r.label.size(), 21u);
    EXPECT_EQ(r.path.size(), 260u);
    EXPECT_EQ(r.hint.size(), 21u);
}

}  // namespace
}  // namespace script
