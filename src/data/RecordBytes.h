// Little-endian integer fields and NUL-terminated text fields of the group and user records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/LittleEndian.h"

namespace data {

// The records' integer fields are signed; the coding is the platform's.
inline int32_t LoadLe32(const uint8_t* p) {
    return platform::LoadLeI32(p);
}
inline void StoreLe32(uint8_t* p, int32_t value) {
    platform::StoreLe32(p, uint32_t(value));
}
inline int16_t LoadLe16(const uint8_t* p) {
    return platform::LoadLeI16(p);
}
inline void StoreLe16(uint8_t* p, int16_t value) {
    platform::StoreLe16(p, uint16_t(value));
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
