// Little-endian 16- and 32-bit integers over bytes: the order of every binary file and record
// the programs read and write, whatever the host's own order.
#pragma once

#include <cstdint>

namespace platform {

inline uint16_t LoadLeU16(const unsigned char* p) {
    return uint16_t(p[0] | p[1] << 8);
}
// The signed loads sign-extend from the field's top bit.
inline int16_t LoadLeI16(const unsigned char* p) {
    return int16_t(LoadLeU16(p));
}
inline uint32_t LoadLeU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline int32_t LoadLeI32(const unsigned char* p) {
    return int32_t(LoadLeU32(p));
}

// The same over the bytes of a std::string or another char buffer.
inline uint16_t LoadLeU16(const char* p) {
    return LoadLeU16(reinterpret_cast<const unsigned char*>(p));
}
inline int16_t LoadLeI16(const char* p) {
    return LoadLeI16(reinterpret_cast<const unsigned char*>(p));
}
inline uint32_t LoadLeU32(const char* p) {
    return LoadLeU32(reinterpret_cast<const unsigned char*>(p));
}
inline int32_t LoadLeI32(const char* p) {
    return LoadLeI32(reinterpret_cast<const unsigned char*>(p));
}

// A signed value goes in as its two's complement bits: pass uint16_t(v) or uint32_t(v).
inline void StoreLe16(unsigned char* p, uint16_t value) {
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}
inline void StoreLe32(unsigned char* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

// Appends the bytes to a std::string or a std::vector<uint8_t>.
template <typename Bytes>
void AppendLe16(Bytes& out, uint16_t value) {
    using Byte = typename Bytes::value_type;
    out.push_back(Byte(uint8_t(value)));
    out.push_back(Byte(uint8_t(value >> 8)));
}
template <typename Bytes>
void AppendLe32(Bytes& out, uint32_t value) {
    using Byte = typename Bytes::value_type;
    for (int i = 0; i < 4; ++i) out.push_back(Byte(uint8_t(value >> (8 * i))));
}

}  // namespace platform
