// Pictures for the tests.
#pragma once

#include <filesystem>

namespace support {

// Writes a w x h 24-bit BMP filled with one colour (0xRRGGBB).
void WriteBmp(const std::filesystem::path& path, int w, int h, unsigned rgb);

}  // namespace support
