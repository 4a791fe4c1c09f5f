#include "windows/WinBoxLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace windows {
namespace {

TEST(WinBoxLayoutTest, ShortTextKeepsTheDesignBox) {
    std::vector<int> lines = {120};
    WinBoxLayout l = LayoutWinBox(lines, 16, kButtonOk);
    EXPECT_EQ(l.label_width, 215);
    EXPECT_EQ(l.label_height, 40);  // one 16-pixel row is below the design height
    EXPECT_EQ(l.bevel_width, 266);
    EXPECT_EQ(l.bevel_height, 57);
    EXPECT_EQ(l.client_width, 282);
    EXPECT_EQ(l.client_height, 57 + 16 + 25 + 8);
    EXPECT_EQ(l.button_top, 74);
    EXPECT_EQ(l.button[0].left, 105);
    EXPECT_TRUE(l.button[0].visible);
    EXPECT_FALSE(l.button[1].visible);
    EXPECT_FALSE(l.button[2].visible);
}

TEST(WinBoxLayoutTest, LabelWidensToTheWidestLineBelow550AndLongLinesWrap) {
    // 300 widens the label; 700 is too wide, keeps it at 300 and wraps over 3 rows (700/300+1);
    // a line exactly as wide as the label counts two rows (300/300+1).
    std::vector<int> lines = {300, 700, 549};
    WinBoxLayout l = LayoutWinBox(lines, 15, kButtonsNone);
    EXPECT_EQ(l.label_width, 549);
    lines = {300, 700};
    l = LayoutWinBox(lines, 15, kButtonsNone);
    EXPECT_EQ(l.label_width, 300);
    EXPECT_EQ(l.label_height, 15 * (2 + 3));
    EXPECT_EQ(l.bevel_width, 351);
    EXPECT_EQ(l.client_width, 367);
    EXPECT_EQ(l.client_height, 75 + 17 + 16);  // no buttons: no button row
    for (const BoxButton& b : l.button) EXPECT_FALSE(b.visible);

    lines = {700};  // a single over-wide line leaves the design width
    l = LayoutWinBox(lines, 15, kButtonOk);
    EXPECT_EQ(l.label_width, 215);
    EXPECT_EQ(l.label_height, 15 * 4);
    EXPECT_EQ(l.button_top, 60 + 34);
}

TEST(WinBoxLayoutTest, ButtonSetsGiveTheirCaptionsResultsAndPlaces) {
    struct Case {
        int set;
        int text[3];  // per BitBtn1..3, -1 hidden
        int result[3];
    };
    const Case cases[] = {
        {kButtonYes, {kTextYes, -1, -1}, {6, 0, 0}},
        {kButtonNo, {kTextNo, -1, -1}, {7, 0, 0}},
        {kButtonOk, {kTextOk, -1, -1}, {1, 0, 0}},
        {kButtonIgnore, {kTextIgnore, -1, -1}, {5, 0, 0}},
        {kButtonCancel, {kTextCancel, -1, -1}, {2, 0, 0}},
        {kButtonRetry, {kTextRetry, -1, -1}, {4, 0, 0}},
        {kButtonAbort, {kTextAbort, -1, -1}, {3, 0, 0}},
        {kButtonsYesNo, {-1, kTextYes, kTextNo}, {0, 6, 7}},
        {kButtonsOkCancel, {-1, kTextOk, kTextCancel}, {0, 1, 2}},
        {kButtonsYesNoCancel, {kTextNo, kTextYes, kTextCancel}, {7, 6, 2}},
        {kButtonsAbortRetryIgnore, {kTextRetry, kTextAbort, kTextIgnore}, {4, 3, 5}},
        {kButtonsNone, {-1, -1, -1}, {0, 0, 0}},
        {42, {-1, -1, -1}, {0, 0, 0}},
    };
    std::vector<int> lines = {100};
    for (const Case& c : cases) {
        WinBoxLayout l = LayoutWinBox(lines, 16, c.set);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(l.button[i].visible, c.text[i] >= 0) << c.set << " btn " << i;
            if (c.text[i] < 0) continue;
            EXPECT_EQ(l.button[i].text, c.text[i]) << c.set << " btn " << i;
            EXPECT_EQ(l.button[i].result, c.result[i]) << c.set << " btn " << i;
        }
        // Pairs move towards the centre by 30; three-button rows keep 15-pixel gaps.
        int shift = (c.set == kButtonsYesNo || c.set == kButtonsOkCancel) ? 30 : 0;
        EXPECT_EQ(l.button[1].left, 105 - 73 - 15 + shift) << c.set;
        EXPECT_EQ(l.button[2].left, 105 + 73 + 15 - shift) << c.set;
    }
}

TEST(WinBoxLayoutTest, IconsMapToBitmapTextsAndSounds) {
    struct Case {
        int icon, bitmap, sound;
    };
    const Case cases[] = {{16, 8, 5}, {32, 10, 4}, {48, 9, 3}, {64, 11, 6}};
    for (const Case& c : cases) {
        int bitmap = -1, sound = -1;
        ASSERT_TRUE(IconResources(c.icon, bitmap, sound)) << c.icon;
        EXPECT_EQ(bitmap, c.bitmap);
        EXPECT_EQ(sound, c.sound);
    }
    int bitmap = -1, sound = -1;
    EXPECT_FALSE(IconResources(0, bitmap, sound));
    EXPECT_FALSE(IconResources(17, bitmap, sound));
}

TEST(WinBoxLayoutTest, PictureBoxPlacesOkBelowThePicture) {
    PictureBoxLayout p = LayoutPictureBox(200, 100);
    EXPECT_EQ(p.button_width, 73);
    EXPECT_EQ(p.button_left, (200 - 73 - 1) / 2);
    EXPECT_EQ(p.button_top, 105);
    EXPECT_EQ(p.client_width, 200);
    EXPECT_EQ(p.client_height, 160);
    p = LayoutPictureBox(50, 20);  // narrower than the button: the button shrinks to 46
    EXPECT_EQ(p.button_width, 46);
    EXPECT_EQ(p.button_left, 1);
    p = LayoutPictureBox(0, 0);  // an empty picture still gets a usable button
    EXPECT_GE(p.button_width, 1);
}

TEST(WinBoxLayoutTest, ScaleRoundsToNearest) {
    EXPECT_EQ(ScaleDimension(100, 1.5), 150);
    EXPECT_EQ(ScaleDimension(3, 0.5), 2);  // 1.5 rounds up
    EXPECT_EQ(ScaleDimension(101, 0.333), 34);
    EXPECT_EQ(ScaleDimension(100, -1.0), 0);
}

}  // namespace
}  // namespace windows
