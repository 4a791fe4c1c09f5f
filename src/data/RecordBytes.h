// Little-endian integer fields and NUL-terminated text fields of the group and user records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace data {

inline int32_t LoadLe32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}
inline void StoreLe32(uint8_t* p, int32_t value) {
    const uint32_t v = uint32_t(value);
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
inline int16_t LoadLe16(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | p[1] << 8));
}
inline void StoreLe16(uint8_t* p, int16_t value) {
    p[0] = uint8_t(uint16_t(value));
    p[1] = uint8_t(uint16_t(value) >> 8);
}

// The text of a field of size bytes, up to its first NUL (the whole field when it has none).
inline std::string LoadText(const uint8_t* p, size_t size) {
    size_t n = 0;
    while (n < size && p[n] != 0) ++n;
    return std::string(reinterpret_cast<const char*>(p), n);
}
// Writes text cut to size - 1 bytes, then zeros to the end of the field.
inline void StoreText(uint8_t* p, size_t size, std::string_view text) {
    const size_t n = text.size() < size ? text.size() : size - 1;
    for (size_t i = 0; i < size; ++i) p[i] = i < n ? uint8_t(text[i]) : 0;
}

}  // namespace data
