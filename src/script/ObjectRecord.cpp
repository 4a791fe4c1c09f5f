#include "script/ObjectRecord.h"

#include <cstring>

#include "platform/LittleEndian.h"

namespace script {

namespace {

void PutF32(uint8_t* p, float f) {
    int32_t v;
    std::memcpy(&v, &f, 4);
    platform::StoreLe32(p, uint32_t(v));
}
// Text into a field of size bytes, always NUL-terminated.
void PutText(uint8_t* p, size_t size, const std::string& s) {
    size_t n = std::min(s.size(), size - 1);
    std::memcpy(p, s.data(), n);
}

float GetF32(const uint8_t* p) {
    int32_t v = platform::LoadLeI32(p);
    float f;
    std::memcpy(&f, &v, 4);
    return f;
}
std::string GetText(const uint8_t* p, size_t size) {
    size_t n = 0;
    while (n < size && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

}  // namespace

std::array<uint8_t, kObjectRecordSize> EncodeObjectRecord(const ObjectRecord& r) {
    std::array<uint8_t, kObjectRecordSize> b{};
    uint8_t* p = b.data();
    platform::StoreLe32(p + 0, uint32_t(r.id));
    platform::StoreLe32(p + 4, uint32_t(r.display_class));
    PutText(p + 8, 21, r.label);
    PutText(p + 29, 21, r.tag);
    PutText(p + 50, 21, r.script);
    PutText(p + 71, 260, r.path);
    PutText(p + 331, 260, r.zoom_path);
    platform::StoreLe32(p + 592, uint32_t(r.type));
    platform::StoreLe16(p + 598, uint16_t(r.blink_period));
    platform::StoreLe16(p + 604, uint16_t(r.number_period));
    platform::StoreLe16(p + 612, uint16_t(r.blink_counter));
    platform::StoreLe16(p + 618, uint16_t(r.number_counter));
    platform::StoreLe32(p + 624, uint32_t(r.index));
    const int32_t ints[] = {
        r.target_x,      r.target_y,     r.x,          r.y,           r.start_x,
        r.start_y,       r.prev_x,       r.prev_y,     r.step_x,      r.step_y,
        r.target_height, r.target_width, r.height,     r.width,       r.before_height,
        r.before_width,  r.prev_height,  r.prev_width, r.step_height, r.step_width,
        r.zoom_height,   r.zoom_width};
    for (size_t i = 0; i < std::size(ints); ++i)
        platform::StoreLe32(p + 628 + 4 * i, uint32_t(ints[i]));
    p[716] = r.sleeping;
    p[717] = r.visible;
    p[718] = r.masked;
    p[724] = r.hint_enabled;
    PutText(p + 725, 21, r.hint);
    PutF32(p + 748, r.value);
    PutF32(p + 752, r.target_value);
    PutF32(p + 756, r.minimum);
    PutF32(p + 760, r.maximum);
    PutF32(p + 764, r.divisor);
    PutF32(p + 768, r.increment);
    platform::StoreLe32(p + 772, uint32_t(r.field_width));
    platform::StoreLe32(p + 776, uint32_t(r.decimals));
    p[780] = r.finished;
    p[781] = r.daemon;
    platform::StoreLe32(p + 784, uint32_t(r.colour));
    return b;
}

ObjectRecord DecodeObjectRecord(const uint8_t* p) {
    ObjectRecord r;
    r.id = platform::LoadLeI32(p + 0);
    r.display_class = platform::LoadLeI32(p + 4);
    r.label = GetText(p + 8, 21);
    r.tag = GetText(p + 29, 21);
    r.script = GetText(p + 50, 21);
    r.path = GetText(p + 71, 260);
    r.zoom_path = GetText(p + 331, 260);
    r.type = platform::LoadLeI32(p + 592);
    r.blink_period = platform::LoadLeI16(p + 598);
    r.number_period = platform::LoadLeI16(p + 604);
    r.blink_counter = platform::LoadLeI16(p + 612);
    r.number_counter = platform::LoadLeI16(p + 618);
    r.index = platform::LoadLeI32(p + 624);
    int32_t* ints[] = {
        &r.target_x,      &r.target_y,     &r.x,          &r.y,           &r.start_x,
        &r.start_y,       &r.prev_x,       &r.prev_y,     &r.step_x,      &r.step_y,
        &r.target_height, &r.target_width, &r.height,     &r.width,       &r.before_height,
        &r.before_width,  &r.prev_height,  &r.prev_width, &r.step_height, &r.step_width,
        &r.zoom_height,   &r.zoom_width};
    for (size_t i = 0; i < std::size(ints); ++i) *ints[i] = platform::LoadLeI32(p + 628 + 4 * i);
    r.sleeping = p[716] != 0;
    r.visible = p[717] != 0;
    r.masked = p[718] != 0;
    r.hint_enabled = p[724] != 0;
    r.hint = GetText(p + 725, 21);
    r.value = GetF32(p + 748);
    r.target_value = GetF32(p + 752);
    r.minimum = GetF32(p + 756);
    r.maximum = GetF32(p + 760);
    r.divisor = GetF32(p + 764);
    r.increment = GetF32(p + 768);
    r.field_width = platform::LoadLeI32(p + 772);
    r.decimals = platform::LoadLeI32(p + 776);
    r.finished = p[780] != 0;
    r.daemon = p[781] != 0;
    r.colour = platform::LoadLeI32(p + 784);
    return r;
}

}  // namespace script
