// The byte-level pieces of the message file format shared by the reader and the compiler.
//
// Layout (little-endian):
//   0   1   minor version
//   1   1   major version
//   2   2   offset T of the offset table (signed 16-bit, 24 in every file written here)
//   4   4   seed (signed; 0: texts stored plain)
//   8   4   time stamp (seconds since 1970)
//   12  12  unused
//   T   4*N offset table: entry i is where record i starts, entry i+1 where it ends
//   ... records 0..N-2: text (scrambled when the seed is not 0), NUL, 4-byte checksum
//   off[N-1]  optional format block: 0xFFFF0001, length L, L bytes scrambled as one piece
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/LittleEndian.h"

namespace text {

constexpr size_t kMessageHeaderSize = 24;
constexpr uint32_t kFormatBlockMarker = 0xFFFF0001u;

// Turns n stored bytes back into text: reverse the order, then XOR byte j with the value of
// digit j mod m of the seed written in decimal ("%ld", a '-' counts as the value -3).
void Unscramble(char* data, size_t n, int32_t seed);
// The inverse of Unscramble.
void Scramble(char* data, size_t n, int32_t seed);

// checksum = (checksum * 64 + byte) mod modulus over the text up to its first NUL, in unsigned
// 32-bit arithmetic; 0 when modulus is 0.
uint32_t TextChecksum(std::string_view text, uint32_t modulus);

}  // namespace text
