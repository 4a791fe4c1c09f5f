#include "check/MediaHeaders.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "platform/LittleEndian.h"
#include "windows/WavInfo.h"

namespace check {

namespace {

constexpr size_t kBitmapHeader = 26;  // file header (14) and the info header up to the height

bool ReadStart(const std::string& path, unsigned char* out, size_t size) {
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    return in.gcount() == static_cast<std::streamsize>(size);
}

}  // namespace

bool BitmapSize(const std::string& native_path, int& width, int& height) {
    unsigned char b[kBitmapHeader];
    if (!ReadStart(native_path, b, sizeof b) || b[0] != 'B' || b[1] != 'M') return false;
    width = platform::LoadLeI32(b + 18);
    height = std::abs(platform::LoadLeI32(b + 22));
    return width > 0 && height > 0;
}

std::string MediaProblem(const std::string& native_path, Media kind) {
    switch (kind) {
        case Media::kPicture: {
            int width = 0, height = 0;
            return BitmapSize(native_path, width, height) ? "" : "not a BMP picture";
        }
        case Media::kSound: {
            windows::WavInfo info;
            return windows::ReadWavInfo(native_path, info) ? "" : "not a WAV sound";
        }
        case Media::kClip: {
            unsigned char b[12];
            const bool riff = ReadStart(native_path, b, sizeof b) && b[0] == 'R' && b[1] == 'I' &&
                              b[2] == 'F' && b[3] == 'F' && b[8] == 'A' && b[9] == 'V' &&
                              b[10] == 'I';
            return riff ? "" : "not an AVI clip";
        }
    }
    return {};
}

}  // namespace check
