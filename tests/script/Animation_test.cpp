#include "script/Animation.h"
#include "script/MotionSetting.h"

#include <gtest/gtest.h>

namespace script {
namespace {

TEST(StepToward, ClampsAtTheTargetInTheStepsDirection) {
    struct Case {
        int value, step, target, expected;
    } cases[] = {
        {0, 7, 20, 7},
        {14, 7, 20, 20},
        {20, -7, 6, 13},
        {13, -7, 10, 10},
        {5, 0, 9, 5},
        {25, 7, 20, 20},  // already past: clamps at once
        {2147483640, 100, 2147483647, 2147483647},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StepToward(c.value, c.step, c.target), c.expected)
            << c.value << " " << c.step << " " << c.target;
    }
}

TEST(SetupMove, SpeedSevenVisitsSevenFourteenTwenty) {
    ObjectRecord o;
    SetupMove(o, 20, 0, 7, true, true);
    EXPECT_FALSE(o.finished);
    std::vector<int> xs;
    bool done = false;
    while (!done && xs.size() < 10) {
        done = AdvanceMove(o);
        xs.push_back(o.x);
    }
    EXPECT_EQ(xs, (std::vector<int>{7, 14, 20}));
    EXPECT_EQ(o.prev_x, 20);
}

TEST(SetupMove, StepIsTurnedTowardsTheTarget) {
    ObjectRecord o;
    o.x = o.target_x = 100;
    SetupMove(o, 50, 0, 7, true, false);
    EXPECT_EQ(o.step_x, -7);
    EXPECT_EQ(o.target_y, 0);  // MoveX keeps y
    ObjectRecord p;
    SetupMove(p, 50, 0, -7, true, true);
    EXPECT_EQ(p.step_x, 7);
    ObjectRecord q;
    SetupMove(q, 0, 0, 0, true, true);
    EXPECT_TRUE(q.finished);
}

TEST(NumberDisplay, LinearWithoutPaceShowsTheTargetAtOnce) {
    ObjectRecord o;
    SetupLinear(o, 0, 10, 0, 0, 5);
    EXPECT_EQ(o.increment, 0);
    EXPECT_TRUE(AdvanceNumber(o));
    EXPECT_EQ(o.value, 10);
    EXPECT_EQ(FormatNumber(o.value, o.field_width, o.decimals), "10");
}

TEST(NumberDisplay, LinearStepsAndClamps) {
    ObjectRecord o;
    SetupLinear(o, 0, 10, 1, 1, 3);  // increment = N3 * (to - from) / (3 * N2)
    EXPECT_FLOAT_EQ(o.increment, 10.0f);
    EXPECT_EQ(o.field_width, 4);  // "10.0"
    ObjectRecord d;
    SetupLinear(d, 10, 0, 0, 4, 3);  // increment = 3 * -10 / 12 = -2.5
    EXPECT_FLOAT_EQ(d.increment, -2.5f);
    int steps = 0;
    while (!AdvanceNumber(d) && steps < 100) ++steps;
    EXPECT_EQ(steps, 3);  // 7.5, 5, 2.5, then 0
    ObjectRecord same;
    SetupLinear(same, 5, 5, 0, 2, 1);
    EXPECT_FLOAT_EQ(same.increment, 1.0f);  // a zero increment becomes +-1
}

TEST(NumberDisplay, ProgressiveStartsSlowAndReachesTheTarget) {
    ObjectRecord o;
    SetupProgressive(o, 0, 100, 0, 5, 0);
    EXPECT_FLOAT_EQ(o.increment, 101.0f);
    AdvanceNumber(o);
    EXPECT_EQ(o.value, 0);  // k = 0: no step
    AdvanceNumber(o);
    EXPECT_GT(o.value, 0);
    EXPECT_LT(o.value, 100);
    int steps = 0;
    while (!AdvanceNumber(o) && steps < 100) ++steps;
    EXPECT_LT(steps, 100);
    EXPECT_EQ(o.value, 100);
}

TEST(NumberDisplay, PeriodGateCountsToThePeriod) {
    ObjectRecord o;
    o.number_period = 2;
    std::vector<bool> due;
    for (int i = 0; i < 6; ++i) due.push_back(NumberPeriodDue(o));
    EXPECT_EQ(due, (std::vector<bool>{false, false, true, false, false, true}));
}

TEST(RandomDisplay, BetweenOneAndTwoWithoutDecimalsShowsTwo) {
    ObjectRecord o;
    SetupRandom(o, 2, 1, 0, 0);
    EXPECT_EQ(o.minimum, 1);
    EXPECT_EQ(o.maximum, 2);
    EXPECT_TRUE(o.daemon);
    for (uint32_t r = 0; r < 20; ++r) EXPECT_EQ(RandomShownValue(o, r), 2.0f) << r;
}

TEST(RandomDisplay, StaysWithinTheBoundsAndKeepsTheStoredValue) {
    ObjectRecord o;
    SetupRandom(o, 0, 10, 1, 0);
    o.value = 3;
    o.target_value = 4;
    for (uint32_t r = 0; r < 300; r += 7) {
        float v = RandomShownValue(o, r);
        EXPECT_GT(v, 0.0f);
        EXPECT_LE(v, 10.0f);
    }
    EXPECT_EQ(o.value, 3);
    EXPECT_EQ(o.target_value, 4);
    ObjectRecord wide;
    SetupRandom(wide, -3e38f, 3e38f, 9, 0);  // an absurd span must not overflow
    float v = RandomShownValue(wide, 12345);
    EXPECT_LE(v, 3e38f);
}

TEST(Blink, MaskThreeTogglesOnEveryFourthTick) {
    ObjectRecord o;
    o.blink_period = 3;
    std::vector<int> toggles;
    for (int tick = 1; tick <= 12; ++tick) {
        if (AdvanceBlink(o, false) == BlinkAction::kToggle) toggles.push_back(tick);
    }
    EXPECT_EQ(toggles, (std::vector<int>{4, 8, 12}));
    ObjectRecord hide;
    hide.blink_period = 0;
    hide.finished = false;
    EXPECT_EQ(AdvanceBlink(hide, false), BlinkAction::kHide);
    EXPECT_TRUE(hide.finished);
    ObjectRecord show;
    show.blink_period = -1;
    EXPECT_EQ(AdvanceBlink(show, true), BlinkAction::kShow);
}

TEST(DigitFont, PathsAndCharacters) {
    EXPECT_EQ(InsertBeforeDot("BMP\\DIGIT.BMP", "7"), "BMP\\DIGIT7.BMP");
    EXPECT_EQ(InsertBeforeDot("BMP\\SERIES.BMP", "#03"), "BMP\\SERIES#03.BMP");
    EXPECT_EQ(InsertBeforeDot("NODOT", "#"), "NODOT#");
    EXPECT_EQ(DigitPicture('0'), 0);
    EXPECT_EQ(DigitPicture('9'), 9);
    EXPECT_EQ(DigitPicture('.'), 10);
    EXPECT_EQ(DigitPicture('-'), 11);
    EXPECT_EQ(DigitPicture(' '), 12);
    EXPECT_EQ(DigitPicture('e'), -1);
    EXPECT_EQ(FormatNumber(3.14159f, 5, 2), " 3.14");
    EXPECT_EQ(FieldWidthFor(-5, 100, 1), 5);
}

}  // namespace
}  // namespace script

TEST(ReduceMotionIn, ReadsTheSettingOffByDefault) {
    struct Case {
        const char* ini;
        bool on;
    };
    const Case cases[] = {
        {"Language=GB\n", false},
        {"ReduceMotion=1\n", true},
        {"reducemotion=Yes\r\n", true},
        {"ReduceMotion=on", true},
        {"ReduceMotion=0\n", false},
        {"ReduceMotion=\n", false},
        {"ReduceMotion=1\nReduceMotion=0\n", false},  // the later line wins
        {"; ReduceMotion=1\n", false},
        {"ReduceMotions=1\n", false},
    };
    for (const Case& c : cases) EXPECT_EQ(script::ReduceMotionIn(c.ini), c.on) << c.ini;
}
