#include "script/Animation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace script {

namespace {
int ClampDecimals(int d) {
    return std::clamp(d, 0, 9);
}
}  // namespace

int StepToward(int value, int step, int target) {
    int64_t next = static_cast<int64_t>(value) + step;
    if ((step < 0 && next < target) || (step > 0 && next > target)) return target;
    return static_cast<int>(std::clamp<int64_t>(next, INT32_MIN, INT32_MAX));
}

int OrientStep(int step, int new_target, int reference) {
    if ((new_target < reference && step > 0) || (new_target > reference && step < 0)) {
        return step == INT32_MIN ? INT32_MAX : -step;
    }
    return step;
}

bool AdvanceMove(ObjectRecord& o) {
    o.x = StepToward(o.x, o.step_x, o.target_x);
    o.prev_x = o.x;
    o.y = StepToward(o.y, o.step_y, o.target_y);
    o.prev_y = o.y;
    return o.x == o.target_x && o.y == o.target_y;
}

int DigitPicture(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c == '.') return 10;
    if (c == '-') return 11;
    if (c == ' ') return 12;
    return -1;
}

std::string InsertBeforeDot(const std::string& path, const std::string& text) {
    size_t dot = path.find('.');
    if (dot == std::string::npos) return path + text;
    return path.substr(0, dot) + text + path.substr(dot);
}

std::string FormatNumber(float value, int field_width, int decimals) {
    char buf[128];
    int width = std::clamp(field_width, 0, 60);
    int n = std::snprintf(buf, sizeof buf, "%*.*f", width, ClampDecimals(decimals),
                          static_cast<double>(value));
    if (n < 0) return {};
    return std::string(buf, std::min<size_t>(static_cast<size_t>(n), sizeof buf - 1));
}

int FieldWidthFor(float a, float b, int decimals) {
    return static_cast<int>(
        std::max(FormatNumber(a, 0, decimals).size(), FormatNumber(b, 0, decimals).size()));
}

void SetupLinear(ObjectRecord& o, float from, float to, int decimals, int pace, int period) {
    o.value = from;
    o.target_value = to;
    o.decimals = ClampDecimals(decimals);
    o.number_period = static_cast<int16_t>(period);
    o.number_counter = 0;
    o.finished = false;
    o.field_width = FieldWidthFor(from, to, o.decimals);
    if (pace != 0) {
        o.increment = static_cast<float>(period) * (to - from) / (3.0f * static_cast<float>(pace));
        if (o.increment == 0) o.increment = from > to ? -1.0f : 1.0f;
    } else {
        o.increment = 0;
    }
    o.type = kAnimLinear;
}

void SetupProgressive(ObjectRecord& o, float from, float to, int decimals, int divisor,
                      int period) {
    SetupLinear(o, from, to, decimals, divisor, period);
    o.index = 0;
    o.divisor = static_cast<float>(divisor);
    if (divisor != 0) {
        float diff = to - from;
        o.increment = diff + (diff < 0 ? -1.0f : 1.0f);
    } else {
        o.increment = 0;
    }
    o.type = kAnimProgressive;
}

void SetupRandom(ObjectRecord& o, float a, float b, int decimals, int period) {
    o.minimum = std::min(a, b);
    o.maximum = std::max(a, b);
    o.decimals = ClampDecimals(decimals);
    o.number_period = static_cast<int16_t>(period);
    o.number_counter = 0;
    o.finished = false;
    o.daemon = true;
    if (o.field_width == 0) o.field_width = FieldWidthFor(o.minimum, o.maximum, o.decimals);
    o.type = kAnimRandom;
}

bool AdvanceNumber(ObjectRecord& o) {
    if (o.increment != 0) {
        float step = o.increment;
        if (o.type == kAnimProgressive) {
            int k = o.index;
            if (o.index < INT32_MAX) ++o.index;
            step = o.divisor != 0
                       ? o.increment * (1.0f - std::exp(-static_cast<float>(k) / o.divisor))
                       : o.increment;
        }
        o.value += step;
        if ((o.increment < 0 && o.value <= o.target_value) ||
            (o.increment > 0 && o.value >= o.target_value) || !std::isfinite(o.value)) {
            o.value = o.target_value;
        }
    } else {
        o.value = o.target_value;
    }
    return o.value == o.target_value;
}

bool NumberPeriodDue(ObjectRecord& o) {
    if (o.number_counter == o.number_period) {
        o.number_counter = 0;
        return true;
    }
    // A negative period would never be reached: let it count up through the 16 bits.
    o.number_counter = static_cast<int16_t>(o.number_counter + 1);
    return false;
}

float RandomIncrement(const ObjectRecord& o, uint32_t r) {
    double k = std::pow(10.0, ClampDecimals(o.decimals));
    double span = std::trunc((static_cast<double>(o.maximum) - o.minimum) * k);
    if (!std::isfinite(span) || span < 0) span = 0;
    span = std::min(span, 4294967294.0);
    uint64_t modulus = static_cast<uint64_t>(span) + 1;
    uint64_t pick = modulus ? r % modulus : 0;
    return static_cast<float>((static_cast<double>(pick) + 1.0) / k);
}

float RandomShownValue(ObjectRecord& o, uint32_t r) {
    float saved_value = o.value, saved_target = o.target_value, saved_inc = o.increment;
    o.value = o.minimum;
    o.target_value = o.maximum;
    o.increment = RandomIncrement(o, r);
    AdvanceNumber(o);
    float shown = o.value;
    o.value = saved_value;
    o.target_value = saved_target;
    o.increment = saved_inc;
    return shown;
}

BlinkAction AdvanceBlink(ObjectRecord& o, bool series) {
    if (o.blink_period <= 0) {
        o.finished = true;
        o.daemon = false;  // stopped: it leaves the moving list
        return o.blink_period == 0 ? BlinkAction::kHide : BlinkAction::kShow;
    }
    if (o.blink_counter == o.blink_period) {
        o.blink_counter = 0;
        return series ? BlinkAction::kNextPicture : BlinkAction::kToggle;
    }
    ++o.blink_counter;
    return BlinkAction::kNone;
}

void SetupMove(ObjectRecord& o, int x, int y, int speed, bool move_x, bool move_y) {
    o.step_x = o.step_y = speed;
    o.finished = speed == 0;
    o.start_x = o.prev_x = o.x;
    o.start_y = o.prev_y = o.y;
    int tx = move_x ? x : o.x;
    int ty = move_y ? y : o.y;
    // Oriented from where the object stands, so a move never starts away from its target.
    o.step_x = OrientStep(o.step_x, tx, o.x);
    o.step_y = OrientStep(o.step_y, ty, o.y);
    o.target_x = tx;
    o.target_y = ty;
    o.type = kAnimMove;
}

void SetupSize(ObjectRecord& o, int value, int speed, bool height) {
    int& step = height ? o.step_height : o.step_width;
    int& current = height ? o.height : o.width;
    int& target = height ? o.target_height : o.target_width;
    int& prev = height ? o.prev_height : o.prev_width;
    step = speed;
    o.finished = speed == 0;
    prev = current;
    step = OrientStep(step, value, current);
    target = value;
}

}  // namespace script
