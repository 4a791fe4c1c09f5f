#include "windows/WavInfo.h"

#include <fstream>
#include <vector>

#include "platform/LittleEndian.h"

namespace windows {

namespace {

bool Tag(std::span<const uint8_t> b, size_t at, const char* tag) {
    return b[at] == uint8_t(tag[0]) && b[at + 1] == uint8_t(tag[1]) &&
           b[at + 2] == uint8_t(tag[2]) && b[at + 3] == uint8_t(tag[3]);
}

}  // namespace

int64_t WavInfo::DurationMs() const {
    if (byte_rate == 0) return 0;
    return int64_t(data_bytes) * 1000 / byte_rate;
}

// Layout: "RIFF" size32 "WAVE", then chunks of id(4) size32(4) body (padded to even size).
// fmt body: format16 channels16 rate32 byte_rate32 block_align16 bits16 [...].
bool DecodeWavHeader(std::span<const uint8_t> b, WavInfo& info) {
    info = WavInfo{};
    if (b.size() < 12 || !Tag(b, 0, "RIFF") || !Tag(b, 8, "WAVE")) return false;
    bool have_fmt = false;
    size_t at = 12;
    while (at + 8 <= b.size()) {
        uint32_t size = platform::LoadLeU32(&b[at + 4]);
        size_t body = at + 8;
        if (Tag(b, at, "fmt ")) {
            if (size < 16 || body + 16 > b.size()) return false;
            info.format_tag = platform::LoadLeU16(&b[body]);
            info.channels = platform::LoadLeU16(&b[body + 2]);
            info.sample_rate = int(platform::LoadLeU32(&b[body + 4]));
            info.byte_rate = platform::LoadLeU32(&b[body + 8]);
            info.bits_per_sample = platform::LoadLeU16(&b[body + 14]);
            have_fmt = true;
        } else if (Tag(b, at, "data")) {
            if (!have_fmt || info.channels == 0 || info.sample_rate <= 0 || info.byte_rate == 0)
                return false;
            info.data_bytes = size;
            info.data_offset = uint32_t(body);
            return true;
        }
        // Skip the chunk body, padded to an even length; stop on sizes past the buffer.
        uint64_t next = uint64_t(body) + size + (size & 1);
        if (next > b.size()) return false;
        at = size_t(next);
    }
    return false;
}

bool ReadWavInfo(const std::string& path, WavInfo& info) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff file_size = in.tellg();
    in.seekg(0);
    std::vector<uint8_t> head(size_t(std::min<std::streamoff>(file_size, 64 * 1024)));
    if (!in.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()))) return false;
    if (!DecodeWavHeader(head, info)) return false;
    // A truncated file plays only what it holds.
    uint64_t available = uint64_t(file_size) - info.data_offset;
    if (info.data_bytes > available) info.data_bytes = uint32_t(available);
    return true;
}

}  // namespace windows
