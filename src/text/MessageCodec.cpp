#include "text/MessageCodec.h"

#include <algorithm>
#include <cstdio>

namespace text {
namespace {

// XORs each byte with the value of the seed's decimal digit at its position, repeated.
void XorWithSeedDigits(char* data, size_t n, int32_t seed) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(seed));
    unsigned char key[24];
    for (int i = 0; i < length; ++i) key[i] = static_cast<unsigned char>(digits[i] - 48);
    int k = 0;
    for (size_t j = 0; j < n; ++j) {
        data[j] = static_cast<char>(data[j] ^ key[k]);
        if (++k == length) k = 0;
    }
}

}  // namespace

void Unscramble(char* data, size_t n, int32_t seed) {
    if (seed == 0 || n == 0) return;
    std::reverse(data, data + n);
    XorWithSeedDigits(data, n, seed);
}

void Scramble(char* data, size_t n, int32_t seed) {
    if (seed == 0 || n == 0) return;
    XorWithSeedDigits(data, n, seed);
    std::reverse(data, data + n);
}

uint32_t TextChecksum(std::string_view text, uint32_t modulus) {
    if (modulus == 0) return 0;
    // a mod modulus through a precomputed reciprocal (exact for every 32-bit a): a division
    // per byte would dominate the cost of reading a text.
    const uint64_t reciprocal = UINT64_MAX / modulus + 1;
    uint32_t sum = 0;
    for (char c : text) {
        if (c == '\0') break;
        const uint32_t a = sum * 64u + static_cast<unsigned char>(c);
        const uint64_t low = reciprocal * a;
        sum = static_cast<uint32_t>((static_cast<unsigned __int128>(low) * modulus) >> 64);
    }
    return sum;
}

}  // namespace text
