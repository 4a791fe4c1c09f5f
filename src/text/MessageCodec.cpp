#include "text/MessageCodec.h"

#include <algorithm>
#include <cstdio>

namespace text {
namespace {

// The XOR key of each position: the seed's decimal digits, repeated.
struct SeedKey {
    explicit SeedKey(int32_t seed) {
        length = std::snprintf(digits, sizeof digits, "%ld", static_cast<long>(seed));
    }
    unsigned char At(size_t j) const {
        return static_cast<unsigned char>(digits[j % static_cast<size_t>(length)] - 48);
    }
    char digits[24];
    int length;
};

}  // namespace

void Unscramble(char* data, size_t n, int32_t seed) {
    if (seed == 0 || n == 0) return;
    std::reverse(data, data + n);
    SeedKey key(seed);
    for (size_t j = 0; j < n; ++j) data[j] = static_cast<char>(data[j] ^ key.At(j));
}

void Scramble(char* data, size_t n, int32_t seed) {
    if (seed == 0 || n == 0) return;
    SeedKey key(seed);
    for (size_t j = 0; j < n; ++j) data[j] = static_cast<char>(data[j] ^ key.At(j));
    std::reverse(data, data + n);
}

uint32_t TextChecksum(std::string_view text, uint32_t modulus) {
    if (modulus == 0) return 0;
    uint32_t sum = 0;
    for (char c : text) {
        if (c == '\0') break;
        sum = (sum * 64u + static_cast<unsigned char>(c)) % modulus;
    }
    return sum;
}

}  // namespace text
