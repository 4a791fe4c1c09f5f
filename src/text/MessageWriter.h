// Builds the bytes of a message or conversion file. The player only reads these files; the
// compiler and the tests write them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace text {

struct MessageContent {
    int major = 1;
    int minor = 0;
    int32_t seed = 0;         // 0: texts stored plain
    uint32_t modulus = 1009;  // modulus of the stored checksums (0: all checksums 0)
    uint32_t time_stamp = 0;
    std::vector<std::string> texts;    // record i; no NUL inside
    std::vector<std::string> formats;  // format entry i; no NUL or '#' inside
};

// The file image: header, offset table, records, and a format block when any entry is set.
std::string EncodeMessageFile(const MessageContent& content);

}  // namespace text
