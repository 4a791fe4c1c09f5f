#include "shell/TStagWinLayout.h"

#include <gtest/gtest.h>

#include <vector>

namespace shell {
namespace {

TEST(TStagWinLayoutTest, PlacementFormats) {
    struct Case {
        const char* text;
        int x, y, w;
    };
    const Case cases[] = {
        {"X10 Y20 W300", 10, 20, 300},
        {"X10 Y20", 10, 20, 0},
        {"Y120", 0, 120, 0},
        {"", 0, 0, 0},
        {"X15", 15, 0, 0},
        {"garbage", 0, 0, 0},
    };
    for (const Case& c : cases) {
        InfoPlacement p = ParseInfoPlacement(c.text);
        EXPECT_EQ(p.x, c.x) << c.text;
        EXPECT_EQ(p.y, c.y) << c.text;
        EXPECT_EQ(p.w, c.w) << c.text;
    }
}

TEST(TStagWinLayoutTest, InfoPanelSizesToItsLines) {
    // Automatic width: the widest line + 5 margins, centred, height (lines + 1) x font x 1.18.
    std::vector<int> lines = {200, 300};
    InfoPanelGeometry g = LayoutInfoPanel(ParseInfoPlacement("Y120"), lines, 16, 4, 1000, 7);
    EXPECT_EQ(g.top, 120);
    EXPECT_EQ(g.width, 320);
    EXPECT_EQ(g.left, (1000 - 320) / 2);
    EXPECT_EQ(g.height, 57);  // 3 x 16 x 1.18 = 56.64
    // Fixed width: each line too wide for it adds a font height; X places it; no Y keeps top.
    g = LayoutInfoPanel(ParseInfoPlacement("X30 Y0 W250"), lines, 16, 4, 1000, 7);
    EXPECT_EQ(g.width, 250);
    EXPECT_EQ(g.left, 30);
    EXPECT_EQ(g.top, 7);
    EXPECT_EQ(g.height, 57 + 16);  // only the 300-pixel line overflows 250 - 20
}

TEST(TStagWinLayoutTest, StandingPercentIsZeroWithNothingAtStake) {
    EXPECT_DOUBLE_EQ(StandingPercent(0, 0), 0.0);
    EXPECT_DOUBLE_EQ(StandingPercent(7, 0), 0.0);
    EXPECT_DOUBLE_EQ(StandingPercent(10, 10), 99.9);
    EXPECT_DOUBLE_EQ(StandingPercent(5, 20), 24.975);
}

TEST(TStagWinLayoutTest, DisplayCheck) {
    struct Case {
        const char* resolution;
        int sw, sh, bits;
        int w, h;
        bool fits;
    };
    const Case cases[] = {
        {"", 1008, 749, 8, 1008, 749, true},       {"", 1008, 749, 7, 1008, 749, false},
        {"", 1007, 749, 24, 1008, 749, false},     {"800x600", 800, 600, 24, 800, 600, true},
        {"junk", 1280, 1024, 24, 1008, 749, true}, {"-5x10", 1280, 1024, 24, 1008, 749, true},
    };
    for (const Case& c : cases) {
        DisplayCheck d = CheckDisplaySize(c.resolution, c.sw, c.sh, c.bits);
        EXPECT_EQ(d.width, c.w) << c.resolution;
        EXPECT_EQ(d.height, c.h) << c.resolution;
        EXPECT_EQ(d.fits, c.fits) << c.resolution << " " << c.sw << "x" << c.sh;
    }
}

TEST(TStagWinLayoutTest, ControlPanelFollowsTheStageWidth) {
    ControlPanelLayout l = LayoutControlPanel(0, 1000, 700, 36, 10, 90, 28, 28, 30);
    EXPECT_EQ(l.panel1, (Rect{0, 555, 1000, 145}));
    EXPECT_EQ(l.panel4, (Rect{36, 10, 1000 - 36 - 90 - 20, 50}));
    EXPECT_EQ(l.label40, (Rect{5, 5, l.panel4.width - 10, 40}));
    int command_left = 36 + l.panel4.width + 10;
    EXPECT_EQ(l.stop, (Rect{command_left, 10, 90, 28}));
    EXPECT_EQ(l.next.top, 44);
    EXPECT_EQ(l.prev.top, 78);
    EXPECT_EQ(l.exit.top, 112);
    EXPECT_EQ(l.next.left, command_left);
    EXPECT_EQ(l.button[0], (Rect{36, 70, 28, 28}));
    EXPECT_EQ(l.button[1], (Rect{36, 110, 28, 28}));
    EXPECT_EQ(l.button[2].left, 36 + l.panel4.width / 2 + 10);
    EXPECT_EQ(l.button[3].top, 110);
    EXPECT_EQ(l.label[0].left, 36 + 28 + 10);
    EXPECT_EQ(l.label[0].width, l.panel4.width / 2 - l.label[0].left);
    EXPECT_EQ(l.label[2].left, l.button[2].left + 28 + 10);
    EXPECT_EQ(l.label[3].left, l.label[2].left);
    EXPECT_EQ(l.speed_button.top, 10);
}

// The verdict band sits on the control panel, expanded or collapsed, above the question box.
TEST(TStagWinLayoutTest, VerdictLineSitsAboveTheQuestion) {
    ControlPanelLayout l = LayoutControlPanel(0, 1000, 700, 36, 10, 90, 28, 28, 30);
    const Rect question{l.panel1.left + l.panel4.left, l.panel1.top + l.panel4.top, l.panel4.width,
                        l.panel4.height};
    Rect v = LayoutVerdictLine(l.panel1, l.panel4);
    EXPECT_EQ(v, (Rect{36, 555 - kVerdictHeight, l.panel4.width, kVerdictHeight}));
    EXPECT_LE(v.top + v.height, question.top);
    const Rect collapsed{0, 700 - kCollapsedPanelHeight, 1000, kCollapsedPanelHeight};
    EXPECT_EQ(LayoutVerdictLine(collapsed, l.panel4).top, 700 - kCollapsedPanelHeight - 24);
}

}  // namespace
}  // namespace shell
