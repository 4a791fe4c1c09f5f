// Sound files for the tests.
#pragma once

#include <filesystem>

namespace support {

// Writes a silent 16-bit mono PCM WAV of ms milliseconds at 8000 Hz.
void WriteWav(const std::filesystem::path& path, int ms);

}  // namespace support
