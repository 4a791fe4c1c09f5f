// Byte-building helpers for the test writers: little-endian fields, four-letter tags, and
// saving the bytes to a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace support {

inline void PutLe16(std::vector<uint8_t>& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void PutLe32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
inline void PutTag(std::vector<uint8_t>& b, const char* tag) {
    b.insert(b.end(), tag, tag + 4);
}

// Writes bytes to path, making its folders first.
inline void SaveBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace support
