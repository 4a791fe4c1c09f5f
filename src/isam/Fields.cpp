// Record field helpers for callers laying out records: big-endian integers, blank-padded text
// fields, and floating-point values in the processor's own byte order.
#include <cmath>
#include <cstring>

#include "isam/Format.h"
#include "isam/Isam.h"

namespace isam {

unsigned load_be16(const void* p) {
    return detail::Be16(static_cast<const uint8_t*>(p));
}
void store_be16(void* p, unsigned value) {
    detail::PutBe16(static_cast<uint8_t*>(p), value & 0xFFFF);
}
uint32_t load_be32(const void* p) {
    return detail::Be32(static_cast<const uint8_t*>(p));
}
void store_be32(void* p, uint32_t value) {
    detail::PutBe32(static_cast<uint8_t*>(p), value);
}

void store_field_string(void* field, size_t n, const char* text) {
    auto* out = static_cast<char*>(field);
    std::memset(out, ' ', n);
    for (size_t i = 0; i < n && text && text[i]; ++i) out[i] = text[i];
}

void load_field_string(char* out, const void* field, size_t n) {
    std::memcpy(out, field, n);
    while (n > 0 && out[n - 1] == ' ') --n;
    out[n] = '\0';
}

float load_float(const void* p) {
    float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void store_float(void* p, float value) {
    std::memcpy(p, &value, sizeof value);
}
double load_double(const void* p) {
    double v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
void store_double(void* p, double value) {
    std::memcpy(p, &value, sizeof value);
}

void store_float_null(void* p, float value, bool is_null) {
    store_float(p, is_null ? 0.0f : value);
}
void store_double_null(void* p, double value, bool is_null) {
    store_double(p, is_null ? 0.0 : value);
}

float load_float_null(const void* p, bool* is_null) {
    float v = load_float(p);
    if (is_null) *is_null = v == 0.0f || std::isnan(v);
    return v;
}
double load_double_null(const void* p, bool* is_null) {
    double v = load_double(p);
    if (is_null) *is_null = v == 0.0 || std::isnan(v);
    return v;
}

}  // namespace isam
