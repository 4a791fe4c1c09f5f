#include "support/WavWriter.h"

#include "support/Bytes.h"

namespace support {

void WriteWav(const std::filesystem::path& path, int ms) {
    const uint32_t data = uint32_t(ms) * 16;  // 8000 samples/s * 2 bytes / 1000
    std::vector<uint8_t> b;
    PutTag(b, "RIFF"), PutLe32(b, 36 + data), PutTag(b, "WAVE");
    PutTag(b, "fmt "), PutLe32(b, 16), PutLe16(b, 1), PutLe16(b, 1), PutLe32(b, 8000);
    PutLe32(b, 16000), PutLe16(b, 2), PutLe16(b, 16);
    PutTag(b, "data"), PutLe32(b, data);
    b.resize(b.size() + data);
    SaveBytes(path, b);
}

}  // namespace support
