// The step arithmetic of the animation tick, kept free of drawing so it can be checked alone:
// moves and size changes with clamping, step orientation, number displays and blinking.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "script/ObjectRecord.h"

namespace script {

// value + step, clamped at target when it passes it in the step's direction.
int StepToward(int value, int step, int target);

// The step turned to point from reference towards new_target (negated when it points away).
int OrientStep(int step, int new_target, int reference);

// One advance of a move (type 3): x and y step towards their targets; previous position
// follows. Returns true when both targets are reached.
bool AdvanceMove(ObjectRecord& o);

// Digit-font picture index of a character of a number display, or -1 when it has none:
// '0'..'9' -> 0..9, '.' -> 10, '-' -> 11, ' ' -> 12.
int DigitPicture(char c);
inline constexpr const char* kDigitSuffixes = "0123456789#-";

// Inserts text before the first '.' of path (appends when there is none).
std::string InsertBeforeDot(const std::string& path, const std::string& text);

// Number display setup. from/to or the bounds are reals; decimals are clamped to 0..9.
void SetupLinear(ObjectRecord& o, float from, float to, int decimals, int pace, int period);
void SetupProgressive(ObjectRecord& o, float from, float to, int decimals, int divisor, int period);
void SetupRandom(ObjectRecord& o, float a, float b, int decimals, int period);

// Length of the longer of a and b written with decimals.
int FieldWidthFor(float a, float b, int decimals);

// One step of a number display: value moves by the increment (progressive: scaled by
// 1 - e^(-k/divisor) with k the step counter), clamped at the target; an increment of 0 jumps
// to the target. Returns true when the value equals the target.
bool AdvanceNumber(ObjectRecord& o);

// The period gate shared by number displays: true (and counter reset) when the counter has
// reached the period, otherwise the counter grows by one.
bool NumberPeriodDue(ObjectRecord& o);

// Random display increment for raw pseudo-random value r: (r mod (trunc((max-min)*K)+1) + 1)/K.
float RandomIncrement(const ObjectRecord& o, uint32_t r);
// Shows one random value: minimum + increment, clamped at the maximum; value and target are
// left as they were. Returns the value to show.
float RandomShownValue(ObjectRecord& o, uint32_t r);

// The display text: printf "%*.*f" with field width and decimals.
std::string FormatNumber(float value, int field_width, int decimals);

// Blink and picture series (types 51, 52) for one tick.
enum class BlinkAction { kNone, kHide, kShow, kToggle, kNextPicture };
BlinkAction AdvanceBlink(ObjectRecord& o, bool series);

// Movement setup shared by MoveTo, MoveX, MoveY and the size changes: step from speed,
// orientation, target; finished exactly when speed is 0.
void SetupMove(ObjectRecord& o, int x, int y, int speed, bool move_x, bool move_y);
void SetupSize(ObjectRecord& o, int value, int speed, bool height);

}  // namespace script
