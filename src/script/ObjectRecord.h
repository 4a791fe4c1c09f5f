// The stored part of a stage object: 788 bytes, little-endian, the unit of the object part of
// context files.
//
//  off size field                         off size field
//    0  4  identifier                     644  4  start x
//    4  4  display class (0..3)           648  4  start y
//    8 21  label (NUL-terminated)         652  4  previous x (last drawn)
//   29 21  tag name                       656  4  previous y
//   50 21  creating script's name         660  4  step x
//   71 260 bitmap path as given           664  4  step y
//  331 260 magnifier bitmap path          668  4  target height
//  591  1  (padding)                      672  4  target width
//  592  4  animation type (-1 none)       676  4  height
//  596  2  (zero)                         680  4  width
//  598  2  blink/series period (i16)      684  4  height before last change
//  600  4  (zero)                         688  4  width before last change
//  604  2  number period (i16)            692  4  previous height
//  606  6  (zero)                         696  4  previous width
//  612  2  blink counter (i16)            700  4  step height
//  614  4  (zero)                         704  4  step width
//  618  2  number counter (i16)           708  4  magnifier height
//  620  4  (zero)                         712  4  magnifier width
//  624  4  series index / step counter    716  1  sleeping
//  628  4  target x                       717  1  visible
//  632  4  target y                       718  1  masked
//  636  4  x                              719  1  (padding)   720 4 (zero)
//  640  4  y                              724  1  hint enabled
//  725 21  hint text      746 2 (padding) 748  4  value (f32)     752 4 target value (f32)
//  756  4  minimum (f32)  760 4 maximum   764  4  divisor (f32)   768 4 increment (f32)
//  772  4  field width    776 4 decimals  780  1  finished        781 1 daemon
//  782  1  (zero)         783 1 (padding) 784  4  colour (blue-green-red)
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace script {

inline constexpr size_t kObjectRecordSize = 788;

enum DisplayClass : int { kClassBackground = 0, kClassPanel = 1, kClassImage = 2, kClassVideo = 3 };

// Animation types (the opcode that set them).
enum AnimType : int {
    kAnimNone = -1,
    kAnimMove = 3,
    kAnimHeight = 10,
    kAnimWidth = 11,
    kAnimFlat = 12,
    kAnimNarrow = 13,
    kAnimSize = 18,
    kAnimTrunc = 19,
    kAnimLinear = 35,
    kAnimProgressive = 36,
    kAnimRandom = 38,
    kAnimBlink = 51,
    kAnimSeries = 52,
};

struct ObjectRecord {
    int32_t id = -1;
    int32_t display_class = kClassImage;
    std::string label;      // at most 20 characters
    std::string tag;        // at most 20
    std::string script;     // at most 20
    std::string path;       // at most 259
    std::string zoom_path;  // at most 259
    int32_t type = kAnimNone;
    int16_t blink_period = 0;
    int16_t number_period = 0;
    int16_t blink_counter = 0;
    int16_t number_counter = 0;
    int32_t index = 0;  // picture-series index or progressive step counter
    int32_t target_x = 0, target_y = 0, x = 0, y = 0, start_x = 0, start_y = 0;
    int32_t prev_x = 0, prev_y = 0, step_x = 5, step_y = 5;
    int32_t target_height = 0, target_width = 0, height = 0, width = 0;
    int32_t before_height = 0, before_width = 0, prev_height = 0, prev_width = 0;
    int32_t step_height = 5, step_width = 5;
    int32_t zoom_height = 0, zoom_width = 0;
    bool sleeping = false;
    bool visible = true;
    bool masked = true;
    bool hint_enabled = false;
    std::string hint;  // at most 20
    float value = 0, target_value = 0, minimum = 0, maximum = 0, divisor = 0, increment = 0;
    int32_t field_width = 0;
    int32_t decimals = 0;
    bool finished = true;
    bool daemon = false;
    int32_t colour = 0;
};

// Writes the record's 788 bytes; texts longer than their field are cut.
std::array<uint8_t, kObjectRecordSize> EncodeObjectRecord(const ObjectRecord& rec);
// Reads 788 bytes; every text field ends at its first NUL or at the field's end.
ObjectRecord DecodeObjectRecord(const uint8_t* bytes);

}  // namespace script
