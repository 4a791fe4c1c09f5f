#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace windows {

// What the header of a RIFF WAVE file says about its sound.
struct WavInfo {
    int channels = 0;
    int sample_rate = 0;
    int bits_per_sample = 0;
    int format_tag = 0;  // 1 = PCM
    uint32_t byte_rate = 0;
    uint32_t data_bytes = 0;   // as the data chunk declares it (clamped to the file by ReadWavInfo)
    uint32_t data_offset = 0;  // where the samples start
    int64_t DurationMs() const;
};

// Decodes a WAV header from the file's first bytes (the fmt and data chunks must be within
// them); false for anything that is not a well-formed RIFF WAVE header.
bool DecodeWavHeader(std::span<const uint8_t> bytes, WavInfo& info);
// Reads the header of the file at path (at most its first 64 KiB).
bool ReadWavInfo(const std::string& path, WavInfo& info);

}  // namespace windows
